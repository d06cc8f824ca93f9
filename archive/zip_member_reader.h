// Reads single members of a ZIP package in-process through libzip, with
// "7za" as the fallback for packages libzip cannot open and members it
// cannot fully read (damaged data, an unsupported method).
//
// What a member read answers is what 7za's output would tell: the member's
// bytes, or that the member is encrypted (the general-purpose flag's bit 0
// in the central directory; 7za reports "ERROR: Wrong password" for such a
// member). An encrypted member yields no bytes. Output is capped at
// limits::kMaxExtractOutputBytes exactly as 7za's is, and nothing is
// inflated past the cap.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct zip;

namespace kpl {

class InputFile;

// What one read gave.
struct ZipMemberOutput {
  std::string bytes;       // the member's bytes (7za's whole output when fromTool)
  bool encrypted = false;  // the member needs a password
  bool fromTool = false;   // 7za produced it, messages included
};

class ZipMemberReader {
 public:
  // `file` is the package; `path` names the same file for the 7za fallback
  // (empty for an input held in memory, which then has no fallback).
  ZipMemberReader(const InputFile& file, std::string path);
  ~ZipMemberReader();
  ZipMemberReader(const ZipMemberReader&) = delete;
  ZipMemberReader& operator=(const ZipMemberReader&) = delete;

  const InputFile& file() const { return file_; }
  const std::string& path() const { return path_; }

  // Whether the central directory lists a member of exactly this name.
  bool contains(const std::string& name);
  // Whether that member is encrypted: its directory flag, or 7za's
  // "ERROR: Wrong password" on the tool path.
  bool isEncrypted(const std::string& name);
  // One member by exact name. False only when neither libzip nor 7za could
  // be used at all.
  bool read(const std::string& name, ZipMemberOutput& out);
  // Every member whose name ends in suffix, in any folder, concatenated in
  // directory order (7za's "*<suffix>").
  bool readEndingWith(const std::string& suffix, ZipMemberOutput& out);

  // Tests only: route every read through 7za, as if libzip had failed.
  static void forceToolForTesting(bool force);
  static bool toolForced();

 private:
  enum class Read { ok, failed };
  // One central directory entry: where its name lies, and its flags.
  struct DirectoryEntry {
    uint64_t nameOffset;
    uint16_t nameLength;
    uint16_t flags;
  };
  const std::vector<DirectoryEntry>& directory();
  std::string entryName(const DirectoryEntry& entry) const;
  // The flags of the first entry of that name; 0 when there is none.
  uint16_t directoryFlags(const std::string& name);
  bool openLibzip();
  Read readInProcess(const std::string& name, std::string& out);
  bool readWithTool(const std::string& pattern, ZipMemberOutput& out) const;

  const InputFile& file_;
  std::string path_;
  std::vector<DirectoryEntry> directory_;
  bool directoryRead_ = false;
  zip* archive_ = nullptr;
  bool openTried_ = false;
};

}  // namespace kpl
