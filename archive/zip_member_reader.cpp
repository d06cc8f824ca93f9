#include "archive/zip_member_reader.h"

#include <zip.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "archive/zip_archive.h"
#include "common/byte_reader.h"
#include "common/limits.h"
#include "common/scan_input.h"
#include "common/zip_index.h"

namespace kpl {

namespace {

std::atomic<bool> forceTool{false};

// A libzip source over the input's positioned reads: the package is never
// reopened by path, and an input held in memory is read the same way.
struct SourceState {
  const InputFile* file;
  uint64_t offset = 0;
  zip_error_t error;
};

zip_int64_t sourceCallback(void* userdata, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
  auto* s = static_cast<SourceState*>(userdata);
  switch (cmd) {
    case ZIP_SOURCE_OPEN:
      s->offset = 0;
      return 0;
    case ZIP_SOURCE_READ: {
      if (s->offset >= s->file->size()) return 0;
      const std::size_t got = s->file->readAt(s->offset, data, static_cast<std::size_t>(len));
      s->offset += got;
      return static_cast<zip_int64_t>(got);
    }
    case ZIP_SOURCE_CLOSE:
      return 0;
    case ZIP_SOURCE_STAT: {
      auto* st = static_cast<zip_stat_t*>(data);
      zip_stat_init(st);
      st->size = s->file->size();
      st->valid |= ZIP_STAT_SIZE;
      return sizeof(*st);
    }
    case ZIP_SOURCE_ERROR:
      return zip_error_to_data(&s->error, data, len);
    case ZIP_SOURCE_FREE:
      zip_error_fini(&s->error);
      delete s;
      return 0;
    case ZIP_SOURCE_SEEK: {
      const zip_int64_t to = zip_source_seek_compute_offset(s->offset, s->file->size(), data, len, &s->error);
      if (to < 0) return -1;
      s->offset = static_cast<uint64_t>(to);
      return 0;
    }
    case ZIP_SOURCE_TELL:
      return static_cast<zip_int64_t>(s->offset);
    case ZIP_SOURCE_SUPPORTS:
      return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                            ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL,
                                            ZIP_SOURCE_SUPPORTS, -1);
    default:
      zip_error_set(&s->error, ZIP_ER_OPNOTSUPP, 0);
      return -1;
  }
}

// Whether a ZIP64 end-of-directory locator stands before the end record.
// libzip reads and keeps every entry a directory lists when it opens an
// archive, and a ZIP64 directory may list any number (300,000 cost 95 MB);
// the index stops at 65,535. Such an archive is read by the extraction
// program instead, whose memory is not the host's.
bool hasZip64Locator(const InputFile& file) {
  static constexpr uint8_t kLocator[4] = {0x50, 0x4B, 0x06, 0x07};
  constexpr uint64_t kLocatorLength = 20;
  const int64_t end = file.zip().endRecordOffset();
  uint8_t locator[kLocatorLength];
  return end >= static_cast<int64_t>(kLocatorLength) &&
         file.readExact(static_cast<uint64_t>(end) - kLocatorLength, locator, sizeof locator) &&
         isZipSignature(locator, kLocator);
}

bool endsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

ZipMemberReader::ZipMemberReader(const InputFile& file, std::string path) : file_(file), path_(std::move(path)) {}
ZipMemberReader::ZipMemberReader(const ScanInput& input) : ZipMemberReader(input, input.path()) {}

ZipMemberReader::~ZipMemberReader() {
  if (archive_ != nullptr) zip_discard(archive_);
}

void ZipMemberReader::forceToolForTesting(bool force) { forceTool = force; }
bool ZipMemberReader::toolForced() { return forceTool; }

bool ZipMemberReader::contains(std::string_view name) const { return file_.zip().contains(name); }

bool ZipMemberReader::openLibzip() {
  if (openTried_) return archive_ != nullptr;
  openTried_ = true;
  if (!file_.isOpen() || hasZip64Locator(file_)) return false;
  auto* state = new SourceState{&file_, 0, {}};
  zip_error_init(&state->error);
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_function_create(sourceCallback, state, &error);
  if (source == nullptr) {
    zip_error_fini(&state->error);
    delete state;
    zip_error_fini(&error);
    return false;
  }
  archive_ = zip_open_from_source(source, ZIP_RDONLY, &error);
  if (archive_ == nullptr) zip_source_free(source);  // frees the state too
  zip_error_fini(&error);
  return archive_ != nullptr;
}

ZipMemberReader::Read ZipMemberReader::readInProcess(const std::string& name, std::string& out) {
  // libzip looks names up as C strings; a name with a NUL byte in it would
  // find another member.
  if (name.find('\0') != std::string::npos || !openLibzip()) return Read::failed;
  const zip_int64_t index = zip_name_locate(archive_, name.c_str(), ZIP_FL_ENC_RAW);
  if (index < 0) return Read::failed;
  zip_file_t* member = zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), 0);
  if (member == nullptr) return Read::failed;
  // Read in chunks and stop at the cap: a member that claims or inflates to
  // gigabytes costs at most the cap, never its own size. Room for what the
  // directory claims (up to the cap) is taken at once, so that a large
  // member is not copied while it grows.
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_stat_index(archive_, static_cast<zip_uint64_t>(index), 0, &st) == 0 && (st.valid & ZIP_STAT_SIZE))
    out.reserve(static_cast<std::size_t>(std::min<zip_uint64_t>(st.size, limits::kMaxExtractOutputBytes)));
  char chunk[64 * 1024];
  Read result = Read::ok;
  while (out.size() < limits::kMaxExtractOutputBytes) {
    const std::size_t want = std::min(sizeof chunk, limits::kMaxExtractOutputBytes - out.size());
    const zip_int64_t got = zip_fread(member, chunk, want);
    if (got < 0) {
      result = Read::failed;  // damaged data or a bad checksum
      break;
    }
    if (got == 0) break;
    out.append(chunk, static_cast<std::size_t>(got));
  }
  zip_fclose(member);
  return result;
}

bool ZipMemberReader::readWithTool(const std::string& pattern, ZipMemberOutput& out) const {
  out = ZipMemberOutput();
  out.fromTool = true;
  if (path_.empty()) return false;
  ZipArchive::readFilesInsideArchiveWith7z(path_, pattern, out.bytes);
  out.encrypted = out.bytes.find("ERROR: Wrong password") != std::string::npos;
  return true;
}

bool ZipMemberReader::isEncrypted(const std::string& name) {
  if (forceTool) {
    ZipMemberOutput out;
    return readWithTool(name, out) && out.encrypted;
  }
  const ZipEntry* entry = file_.zip().find(name);
  return entry != nullptr && entry->encrypted();
}

const ZipMemberOutput* ZipMemberReader::read(const std::string& name) {
  if (lastValid_ && lastName_ == name) return &last_;
  // The previous answer goes first, so that two large members are never
  // held at once.
  last_ = ZipMemberOutput();
  lastValid_ = readUncached(name, last_);
  lastName_ = name;
  return lastValid_ ? &last_ : nullptr;
}

bool ZipMemberReader::readUncached(const std::string& name, ZipMemberOutput& out) {
  if (forceTool) return readWithTool(name, out);
  out = ZipMemberOutput();
  const ZipEntry* entry = file_.zip().find(name);
  if (entry == nullptr) return true;  // 7za prints no member bytes either
  if (entry->encrypted()) {
    out.encrypted = true;
    return true;
  }
  if (readInProcess(name, out.bytes) == Read::ok) return true;
  return readWithTool(name, out);
}

bool ZipMemberReader::readEndingWith(const std::string& suffix, ZipMemberOutput& out) {
  if (forceTool) return readWithTool("*" + suffix, out);
  out = ZipMemberOutput();
  for (const ZipEntry& entry : file_.zip().entries()) {
    if (entry.encrypted() || !endsWith(entry.name, suffix)) continue;
    const std::string name(entry.name);
    std::string bytes;
    if (readInProcess(name, bytes) != Read::ok) return readWithTool("*" + suffix, out);
    const std::size_t room = limits::kMaxExtractOutputBytes - out.bytes.size();
    out.bytes.append(bytes, 0, std::min(room, bytes.size()));
    if (out.bytes.size() >= limits::kMaxExtractOutputBytes) break;
  }
  return true;
}

}  // namespace kpl
