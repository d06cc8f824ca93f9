/*
 * kpl_engine.h - C interface of kpl_engine.so, the file-type identification
 * engine.
 *
 * Loading. The host loads kpl_engine.so (normally with dlopen) and makes the
 * engine home its working directory before calling init(): the engine reads
 * "database/magic/magic.mgc", "libTrIDLib.so" with its definitions under
 * "database/trid/", and runs the program "7za", all relative to the working
 * directory.
 *
 * Status codes. Every function returning int returns 0 for success. init()
 * returns 1 on failure and gives no message of its own (getLastError() may
 * then tell libmagic's complaint).
 *
 * Ownership. Every string the engine hands out through an out-parameter is an
 * engine-owned copy; give each back with freeString() once done with it. The
 * one exception is getLastError(), which may hand out libmagic's own text
 * (freeString() on it is harmless: the engine does not find it and does
 * nothing). Strings stored with addScanString() are released with
 * freeScanString(). Arrays returned by getCharConst() and getWCharConst()
 * belong to the caller (C++ array delete).
 *
 * Threads. init() and deinit() must not overlap with any other call. Between
 * them, every other function may be called from any number of threads; the
 * engine serves up to 30 scans at once and starts no threads of its own.
 */
#ifndef KPL_ENGINE_H
#define KPL_ENGINE_H

#include <stddef.h>
#include <stdint.h>
#include <wchar.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#if defined(KPL_ENGINE_BUILD)
#define KPL_API __attribute__((visibility("default")))
#else
#define KPL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Lifecycle ------------------------------------------------------- */

/* Builds all engine state: 30 scan slots with their libmagic handles,
   signature-library instances and locks, and the detection tables.
   Call once. 0 on success, 1 on the first failure. */
KPL_API int init(void);
/* Closes the slots' libmagic handles and destroys their locks. Nothing may
   scan afterwards; registered strings stay valid until the library unloads. */
KPL_API int deinit(void);
/* Accepted for host compatibility; they do nothing and return 0. */
KPL_API int update(void);
KPL_API int reloadConfig(void);
KPL_API int reloadDatabase(void* argument);

/* ---- Slots ------------------------------------------------------------ */

/* The slot number (0..29) for the next scan, round robin. */
KPL_API int getThreadIndex(void);

/* ---- Scanning ---------------------------------------------------------- */

/* Identifies one file. *status is set to 1. On success returns 0 and sets
   *resultJson to the result JSON (give it back with freeString), e.g.
   {"typeID":"PDF","type":"application/pdf","groupIDs":["P"],"groupID":"P",
    "description":"Adobe Portable Document Format","extensions":"pdf","encrypted":false}
   Returns 1 with *resultJson NULL when the file cannot be read or named. */
KPL_API int scan(const char* path, unsigned int* status, const char** resultJson);

/* Identifies one file as scan does, then refines the answer with the
   file's extension as the host knows it (without the dot, any case, "" when
   it has none): split-archive volumes ("SPLIT_ARC"), kinds that only the
   extension tells apart (a PowerPoint show or template, Visio siblings,
   MHTML against e-mail), text and XML extensions. The answer carries
   "type_ids", every identifier the file may also be, e.g.
   {"typeID":"CSV",...,"encrypted":false,"type_ids":["TXT","CSV"]}
   Returns scan's failure (1) unchanged with *resultJson untouched; returns
   0 with *resultJson set to the answer (give it back with freeString), or
   untouched when scan's answer had no type. A NULL extension is read as "";
   with a NULL resultJson nothing is registered. */
KPL_API int kplFileType(const char* path, const char* extension, const char** resultJson);

/* ---- Identification answers -------------------------------------------- */

KPL_API int getInterfaceVersion(unsigned int* version);
KPL_API int getEngineType(unsigned int* type);
KPL_API int getProductName(const char** name);
KPL_API int getDefinitionInfo(const char** first, const char** second, const char** third, uint64_t* fourth);
/* Sets bit 0 and clears bit 1 of *capabilities; other bits are left alone. */
KPL_API int getEngineCapabilities(unsigned char* capabilities);
/* The JSON list of type groups with their type identifiers. */
KPL_API int getFileTypeGroup(const char** json);

/* ---- Errors ------------------------------------------------------------ */

/* libmagic's last error text of the slot the next scan will get, or
   "Unknown error". */
KPL_API int getLastError(const char** message);
/* The text stored under key with addScanString(), or NULL. */
KPL_API int getLastScanError(int key, const char** text);

/* ---- String hand-over ------------------------------------------------- */

/* Registers an engine-owned copy of text; NULL for NULL. */
KPL_API const char* addString(const char* text);
/* Releases a string the engine handed out and sets *text to NULL. A pointer
   the engine does not know (or one already freed) is left alone. */
KPL_API int freeString(const char** text);
/* Stores a copy of text under a fresh random key (never 0 or 1) written to
   *key; *key is 0 for NULL text. */
KPL_API const char* addScanString(const char* text, int* key);
KPL_API int freeScanString(int key);

/* ---- Conversions for the host ------------------------------------------ */

KPL_API int wcstombs_s(size_t* converted, char* destination, size_t destinationSize, const wchar_t* source,
                       size_t count);
KPL_API int mbstowcs_s(size_t* converted, wchar_t* destination, size_t destinationSize, const char* source,
                       size_t count);
/* Converts in the current locale; the caller owns the returned array. */
KPL_API char* getCharConst(const wchar_t* text);
KPL_API wchar_t* getWCharConst(const char* text);
/* UTC calendar time (month 1..12, full year) as milliseconds since 1970. */
KPL_API int64_t getTimeSinceEpochInMs(int year, int month, int day, int hour, int minute, int second);

/* ---- Settings files -------------------------------------------------------
   Services for the host; the engine itself reads no settings. Each function
   returning const char* hands out an engine-owned copy (give it back with
   freeString()) or NULL. The exports that take the host's maps and schema
   objects are C++ only and are declared in kpl_engine_config.h. */

/* text without the spaces, double quotes, tabs, CRs and LFs at its ends;
   NULL for NULL or when nothing is left. */
KPL_API const char* trim(const char* text);
/* text without any space character (0x20); NULL for NULL or "". */
KPL_API const char* removeSpace(const char* text);
/* path with a trailing "/"; NULL for NULL or "". */
KPL_API const char* ensurePathEnding(const char* path);
/* The value of key=value in [section] of an INI file. Keys written above the
   first section header count for every section; the first occurrence wins;
   blanks anywhere in key lines are ignored, and an empty value counts as
   absent. NULL when absent or the file cannot be read. */
KPL_API const char* readSettingFromConfig(const char* filePath, const char* section, const char* key);
/* readSettingFromConfig() on /var/lib/kplhome/kplConfig.ini. */
KPL_API const char* getKPLSettingStr(const char* section, const char* key);
/* A setting from the working directory's INI files, first found wins.
   mode 1: [section] of kplConfig.ini, then of kplDSConfig.ini.
   Any other mode: [engine] of kplConfig.ini, then [section] of
   kplConfig_engine.ini, then getKPLSettingStr(section, key). */
KPL_API const char* getEngineConfig(const char* section, const char* key, int mode);
/* With defaultValue false: true only for "1" and "true". With defaultValue
   true: false only for "0" and "false". Case matters; NULL gives the
   default. */
KPL_API bool getBoolValue(const char* value, bool defaultValue);

#ifdef __cplusplus
}
#endif

#endif /* KPL_ENGINE_H */
