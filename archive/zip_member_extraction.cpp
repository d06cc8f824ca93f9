// Single ZIP members extracted by the outside program "7za" (p7zip), run
// without a shell, its output bounded.
#include "archive/zip_archive.h"

#include "common/common_utils.h"

namespace kpl {

std::vector<std::string> ZipArchive::sevenZipArguments(const std::string& archivePath, const std::string& memberName) {
  // A relative archive name starting with "-" would be read as a switch.
  std::string archive = archivePath;
  if (!archive.empty() && archive[0] == '-') archive.insert(0, "./");
  // "-p" with nothing after it is the empty password the shell form -p""
  // produced: an encrypted member fails with "Wrong password" instead of 7za
  // waiting for one on standard input.
  return {currentDir + "7za", "e", "-so", "-p", "-i!" + memberName, archive};
}

bool ZipArchive::readFilesInsideArchiveWith7z(const std::string& archivePath, const std::string& memberName,
                                              std::string& out) {
  out = CommonUtils::executeCommandAndGetOutput(sevenZipArguments(archivePath, memberName));
  return true;
}

bool ZipArchive::readFilesInsideArchiveWith7zChar(const std::string& archivePath, const std::string& memberName,
                                                  std::vector<char>& out) {
  CommonUtils::executeCommandAndGetOutputChar(sevenZipArguments(archivePath, memberName), out);
  return true;
}

std::string removeErrorFrom7z(std::string output) {
  static const std::string kMarker = "ERRORS:";
  if (output.empty() || output[0] != '\n') return output;
  std::size_t pos = output.find(kMarker);
  if (pos == std::string::npos) return output;
  std::size_t start = pos + kMarker.size() + 1;  // the marker and the character after it
  if (start >= output.size()) return std::string();
  // Whole lines go, up to and including the first empty one.
  std::size_t lineStart = start;
  for (;;) {
    std::size_t newline = output.find('\n', lineStart);
    if (newline == std::string::npos) return std::string();
    if (newline == lineStart) return output.substr(newline + 1);
    lineStart = newline + 1;
  }
}

}  // namespace kpl
