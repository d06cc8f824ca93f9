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
#include <string_view>
#include <vector>

struct zip;

namespace kpl {

class InputFile;
class ScanInput;

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
  explicit ZipMemberReader(const ScanInput& input);
  ~ZipMemberReader();
  ZipMemberReader(const ZipMemberReader&) = delete;
  ZipMemberReader& operator=(const ZipMemberReader&) = delete;

  const InputFile& file() const { return file_; }
  const std::string& path() const { return path_; }

  // Whether the central directory lists a member of exactly this name (the
  // input's ZIP index).
  bool contains(std::string_view name) const;
  // Whether that member is encrypted: its directory flag, or 7za's
  // "ERROR: Wrong password" on the tool path.
  bool isEncrypted(const std::string& name);
  // One member by exact name; null only when neither libzip nor 7za could
  // be used at all. The answer stays valid until the next read, and asking
  // for the same member again returns it without reading it anew (a
  // classification may look at the content types twice).
  const ZipMemberOutput* read(const std::string& name);
  // Every member whose name ends in suffix, in any folder, concatenated in
  // directory order. The fallback asks 7za for "*<suffix>", which matches
  // members at the top of the package only.
  bool readEndingWith(const std::string& suffix, ZipMemberOutput& out);

  // Tests only: route every read through 7za, as if libzip had failed.
  static void forceToolForTesting(bool force);
  static bool toolForced();

 private:
  enum class Read { ok, failed };
  bool openLibzip();
  Read readInProcess(const std::string& name, std::string& out);
  bool readWithTool(const std::string& pattern, ZipMemberOutput& out) const;
  bool readUncached(const std::string& name, ZipMemberOutput& out);

  const InputFile& file_;
  std::string path_;
  zip* archive_ = nullptr;
  std::string lastName_;
  ZipMemberOutput last_;
  bool lastValid_ = false;
  bool openTried_ = false;
};

}  // namespace kpl
