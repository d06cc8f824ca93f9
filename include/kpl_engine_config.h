/*
 * kpl_engine_config.h - the host objects of kpl_engine.so's configuration
 * services, and the exports that take them.
 *
 * C++ only. The functions below are exported with plain, unmangled names
 * (extern "C") like every other export of kpl_engine.h, but their parameters
 * are C++ objects: the host's maps of settings and properties and its
 * configuration schema. They are resolved by name with dlsym like the rest;
 * a C host cannot call them.
 *
 * Layout. The objects are passed by pointer and read or changed in place by
 * the engine, so host and engine must agree on their layout: build the host
 * against this header, with the same C++ standard library and ABI as the
 * engine (GNU libstdc++, the C++11 std::string ABI). The engine keeps no
 * pointer into a host object after a call returns.
 *
 * Ownership.
 * - Maps and schemas belong to the host. The engine reads them, and changes
 *   only what a function's description says (createBasicSupportedProperties
 *   replaces a property map's contents, validateAndSetPropertyToMap sets one
 *   value, parseInputJSON adds settings, adjustConfig completes a schema).
 * - Every `const char**` out-parameter receives an engine-owned copy
 *   registered like the strings of kpl_engine.h; give each back with
 *   freeString(). An out-parameter that is not written keeps its value.
 *
 * Status codes. Property functions return 0 for success, 50 for a bad
 * argument or value and 55 for an unknown property. Like every status of
 * kpl_engine.h, 1 means the engine failed inside (out of memory).
 *
 * Threads. The engine keeps no state for these functions; calls on distinct
 * objects may run at once. The host serialises calls that change one object.
 */
#ifndef KPL_ENGINE_CONFIG_H
#define KPL_ENGINE_CONFIG_H

#ifndef __cplusplus
#error "kpl_engine_config.h is a C++ header; C hosts use kpl_engine.h"
#endif

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "kpl_engine.h"

namespace kpl {

/* Settings by name: the override map of getEngineConfigMix, and the flat
   map of option name to value text that parseInputJSON fills. */
using SettingsMap = std::map<std::string, std::string>;

/* One user-visible engine property. */
struct EngineProperty {
  std::string name;
  std::string value;            /* empty until set */
  std::string availableValues;  /* empty: anything goes; else "|a|b|" */
  bool listed = true;           /* included in the property list */
  bool readOnly = false;
};

/* Properties by name; the list is written in this (ascending) order. */
using PropertyMap = std::map<std::string, EngineProperty>;

/* One configurable option of a schema.
   - type: "bool", "number", "string" or "select". An option that other
     options name as their parent is written as a "feature" holding them.
   - infos: the description ("bool", "number", "string"; only the first is
     written), or for a "select" one display text per choice.
   - intValues: "bool" its default (non-zero is true); "number" default,
     minimum, maximum; "select" the index of the default choice.
     A "number" holding fewer than three entries is written with 0 for each
     one missing, so one holding only its default has "min" 0 and "max" 0:
     read that pair as "no range given".
   - strValues: "string" its default; "select" the choice values. The
     configuration JSON carries a "select" as the text of its value; its
     default there is the value of the default choice (the index itself,
     as decimal text, when there is no such choice).
   - floatValues, boolValues: carried for the host; the engine neither reads
     nor changes them.
   - parentName: when not empty, the option is written under that option's
     "fields" instead of at the top of the schema. */
struct ValidConfig {
  std::string name;
  std::string type;
  std::string displayName;
  std::vector<std::string> infos;
  std::vector<int64_t> intValues;
  std::vector<std::string> strValues;
  std::vector<double> floatValues;
  std::vector<bool> boolValues;
  std::string parentName;

  ValidConfig() = default;
  /* An empty info is not stored. */
  ValidConfig(std::string name_, int64_t defaultValue, std::string type_, std::string displayName_,
              std::string info = std::string())
      : name(std::move(name_)), type(std::move(type_)), displayName(std::move(displayName_)), intValues{defaultValue} {
    if (!info.empty()) infos.push_back(std::move(info));
  }
  ValidConfig(std::string name_, std::string defaultValue, std::string type_, std::string displayName_,
              std::string info = std::string())
      : name(std::move(name_)), type(std::move(type_)), displayName(std::move(displayName_)),
        strValues{std::move(defaultValue)} {
    if (!info.empty()) infos.push_back(std::move(info));
  }
};

/* The schema the host hands over. The configuration JSON names this engine's
   member "engine." + id + ".config". A number between the first and the last
   "_" of that name is the interface version: when the member itself is
   absent, parseInputJSON reads the newest member written for an older
   version of the same engine (the same name apart from the number). */
struct EngineSchema {
  std::string id;
  std::string displayName;
  float version = 0;
  std::vector<ValidConfig> configs;
};

}  // namespace kpl

extern "C" {

/* ---- Settings maps ----------------------------------------------------- */

/* On a hit, *out receives a copy of map[key] and the result is true; else
   false and *out is left alone. */
KPL_API bool getEngineConfigFromMap(const kpl::SettingsMap* map, const char* key, const char** out);

/* One setting, from the overrides when that map is non-empty (a null map
   counts as empty), else from the settings files through
   getEngineConfig(section, key, 0).
   out: a `const char**` when isString is non-zero, else a `bool*` that
   receives getBoolValue(value, defaultBool).
   With overrides, a key they lack takes nothing: the result is false, a flag
   receives defaultBool and a string out is left alone. From the files the
   result is always true; an absent setting reads as the empty text. */
KPL_API bool getEngineConfigMix(const char* section, const kpl::SettingsMap* overrides, const char* key, void* out,
                                int isString, bool defaultBool);

/* ---- Engine properties ------------------------------------------------- */

/* Replaces the map's contents with the engine's basic properties
   "extract_archive" and "heuristic_scan" (values "|0|1|", listed, writable).
   0, or 50 for a null map. */
KPL_API int createBasicSupportedProperties(kpl::PropertyMap* map);

/* With a non-empty name, *out receives that property's value (0), or 55 when
   the map lacks it. With an empty name, *out receives the listed properties
   as a JSON array in name order:
     [{"prop_name":"..","prop_value":"..","available_value":"..","read_only":0},...]
   or "[]". The texts are written as they are, without JSON escaping.
   50 when map, name or out is null. */
KPL_API int getEngineProperties(const kpl::PropertyMap* map, const char* name, const char** out);

/* Sets one property's value. 0; 55 when the map lacks the property; 50 when
   map, name or value is null, when the property is read-only and
   honourReadOnly is non-zero, or when the property has available values and
   "|" + value + "|" is not among them. */
KPL_API int validateAndSetPropertyToMap(kpl::PropertyMap* map, const char* name, const char* value,
                                        int honourReadOnly);

/* ---- Configuration schema JSON ----------------------------------------- */

/* Completes each option from the engine's built-in options of the same name
   and type: an empty display name is filled in and the infos are replaced by
   the built-in ones. 0, or 50 for a null schema. */
KPL_API int adjustConfig(kpl::EngineSchema* schema);

/* Reads one configuration JSON: "temp-dir" (optional), "schema-version" and
   "config-serial" (required), and the "values" of this engine's member of the
   "config" object. Each value becomes a setting named after the part of its
   member name behind the last "." (true/false, decimal number or the text);
   a name the map already holds keeps its value.
   On success the result is true and *tempDir (when tempDir is not null)
   receives the temporary directory, or null when the input names none. On
   failure the result is false and neither settings nor *tempDir changes. */
KPL_API bool parseInputJSON(const char* input, const kpl::EngineSchema* schema, kpl::SettingsMap* settings,
                            const char** tempDir);

/* Writes the schema JSON to *schemaJson, reads input and writes the
   configuration JSON to *configJson. Input holding "[engine]" is read as
   name = value lines; empty input or input containing "invalid" yields the
   defaults; anything else is read by parseInputJSON. Returns true, or false
   with *error = "Fail to parse inputJSON" (and *configJson unset) when that
   fails. false without writing anything when schema or an out-pointer is
   null. A null input counts as empty. */
KPL_API bool convertJSON(const char* input, const kpl::EngineSchema* schema, const char** schemaJson,
                         const char** configJson, const char** error);

}  /* extern "C" */

#endif /* KPL_ENGINE_CONFIG_H */
