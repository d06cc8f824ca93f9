// The package probes of the scan chain: OpenDocument packages, and Office
// Open XML and XPS packages, password-protected ones included. Member names
// are looked up in the ZIP directory; member bytes come from a
// ZipMemberReader (in-process, 7za as fallback).
#pragma once

#include <cstdint>
#include <string>

#include "office/ooxml_package.h"

namespace kpl {

class InputFile;
class ZipMemberReader;

extern const std::string METAINFManifestXml;

// OpenDocument kinds.
enum OpenDocumentKind : unsigned char {
  ODF_UNKNOWN = 0,
  ODF_ODT = 2,
  ODF_OTT = 3,
  ODF_ODP = 4,
  ODF_ODS = 5,
  ODF_ODT_ENCRYPTED = 6,
  ODF_OTT_ENCRYPTED = 7,
  ODF_ODP_ENCRYPTED = 8,
  ODF_ODS_ENCRYPTED = 9,
  ODF_ZIP_ENCRYPTED = 10,
};

// 1 for an Office Open XML candidate (the Office variant of the ZIP local
// header, or any ZIP holding "[Content_Types].xml" and "_rels/.rels"), 3
// for an unopenable file, 0 otherwise.
int isMSOffice2007Document(const InputFile& file);
int isMSOffice2007Document(const std::string& path, unsigned long fileSize);

// The package's kind: ZIP-ENCRYPTED, a kind from the package's parts, a
// binary workbook by part name, XPS or OpenXPS, else MSO_ZIP.
MsOfficeTypes classifyOfficeFileType(ZipMemberReader& package);
MsOfficeTypes classifyOfficeFileType(std::string path, unsigned long fileSize);

// Whether the ZIP holds the member and it is password-protected.
bool isEncryptedOfficeType(ZipMemberReader& package, const std::string& memberName);

// MSO_XPS, MSO_OXPS or 0 from "[Content_Types].xml" and the ".fdseq" parts.
unsigned char determineXPSFamilyType(ZipMemberReader& package);
unsigned char determineXPSFamilyType(const std::string& path);

// A ZIP whose local header starts like an OpenDocument package's and that
// holds "META-INF/manifest.xml".
bool isOpenOfficeDocument(const InputFile& file);
bool isOpenOfficeDocument(std::string path, unsigned long fileSize);

unsigned char determineOpenOfficeDocument(ZipMemberReader& package);
unsigned char determineOpenOfficeDocument(std::string path, unsigned long fileSize);

void adjustOpenDocumentTypes(unsigned char kind, std::string& typeId, std::string& mime, std::string& extensions,
                             std::string& description, bool& encrypted);

}  // namespace kpl
