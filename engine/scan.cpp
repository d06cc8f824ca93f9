#include "engine/scan.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "common/limits.h"
#include "common/scan_input.h"
#include "detect/post_classification.h"
#include "detect/regexp_table.h"
#include "engine/engine_state.h"
#include "engine/result_json.h"
#include "engine/scan_chain.h"
#include "engine/string_store.h"

namespace kpl {
namespace {

// Holds a slot's lock for one scope, so that every way out (a failed
// libmagic answer, a refused file, an exception) releases it.
class SlotLock {
 public:
  explicit SlotLock(pthread_mutex_t& mutex) : mutex_(mutex) { pthread_mutex_lock(&mutex_); }
  ~SlotLock() { pthread_mutex_unlock(&mutex_); }
  SlotLock(const SlotLock&) = delete;
  SlotLock& operator=(const SlotLock&) = delete;

 private:
  pthread_mutex_t& mutex_;
};

// Extensions of Office Open XML packages: a package that reached libmagic
// was not recognised as one, so the table must see it as the ZIP it is.
bool isOfficeOpenXmlExtension(const std::string& ext) {
  return std::find(officeOpenXmlExtensions.begin(), officeOpenXmlExtensions.end(), ext) !=
         officeOpenXmlExtensions.end();
}

// Reads a text the signature library wrote, never past the buffer.
std::string bufferText(const char* buffer, std::size_t size) { return std::string(buffer, ::strnlen(buffer, size)); }

// Asks libmagic (through a pooled pair) and the slot's signature library.
// False when an answer is missing or the library refuses the file.
bool askLibmagicAndSignatures(int slot, const ScanInput& input, MappingInputs& answers) {
  const std::string& path = input.path();
  SlotLock lock(m_scanLock[slot]);
  // Taken under the slot's lock, so that no more pairs exist than slots.
  const PooledMagicPair pooled;
  const MagicPair* pair = pooled.get();
  if (pair == nullptr) return false;
  lastMagicPair[slot].store(pair);
  const char* description = magic_file(pair->description, path.c_str());
  if (description == nullptr) return false;
  answers.magicDescription = description;
  const char* mime = magic_file(pair->mime, path.c_str());
  if (mime == nullptr) return false;
  answers.magicMime = mime;

  // The signature library's native platform reads a backslash as a folder
  // separator, so a name with one would not reach the file: the library
  // gets the same open file under a name of the kernel's instead
  // (/proc/self/fd/N of this scan's descriptor), and a file cannot hide
  // its type behind its name. What did not open keeps the library out.
  std::string submitted = path;
  if (path.find('\\') != std::string::npos) {
    if (input.fd() < 0) return true;
    submitted = "/proc/self/fd/" + std::to_string(input.fd());
  }
  std::vector<char> pathCopy(submitted.begin(), submitted.end());
  pathCopy.push_back('\0');
  trid& library = trd[slot];
  if (library.SubmitFileA(pathCopy.data()) == 0) return false;
  if (library.Analyze() == 0) return false;

  char buffer[1024] = {};
  int count = library.GetInfo(1, 0, buffer);
  if (count > limits::kMaxSignatureResults) count = limits::kMaxSignatureResults;
  int bestPoints = 0;
  // From the last result to the first: with equal points the
  // higher-numbered result, met first, stays.
  for (int i = count; i >= 1; --i) {
    buffer[0] = '\0';
    library.GetInfo(2, i, buffer);
    std::string fileType = bufferText(buffer, sizeof(buffer));
    buffer[0] = '\0';
    library.GetInfo(3, i, buffer);
    std::string extension = bufferText(buffer, sizeof(buffer));
    buffer[0] = '\0';
    int points = library.GetInfo(4, i, buffer);
    if (points > bestPoints || (answers.signatureDescription.empty() && answers.signatureExtension.empty())) {
      bestPoints = points;
      answers.signatureDescription = fileType;
      answers.signatureExtension = extension;
    }
  }
  return true;
}

bool mappingInputsInSlot(int slot, const ScanInput& input, MappingInputs& answers) {
  if (!askLibmagicAndSignatures(slot, input, answers)) return false;
  if (isOfficeOpenXmlExtension(answers.signatureExtension)) {
    answers.signatureExtension = "ZIP";
    answers.signatureDescription = "ZIP archive";
  } else if (answers.signatureExtension == "XEX/EXE") {
    // An Atari executable that reached libmagic was not confirmed by its
    // own probe: the signature library's guess is not trusted.
    answers.signatureExtension = "data";
    answers.magicDescription = "data";
  }
  return true;
}

bool detectInSlot(int slot, const ScanInput& input, DetectionRecord& record) {
  // The open input knows its size; what did not open (a directory, a FIFO,
  // a file that cannot be read) is looked up by name, and a name that is
  // not there fails the scan.
  uint64_t fileSize = input.size();
  if (!input.isOpen()) {
    struct stat st {};
    if (::stat(input.path().c_str(), &st) != 0) return false;
    fileSize = static_cast<uint64_t>(st.st_size);
  }

  // The file is opened once per scan and every step reads this one input.
  // What does not open as a regular file (a directory, a FIFO, a file that
  // cannot be read) would fail every step's probe alike, so it goes straight
  // to libmagic, which names such things.
  if (input.isOpen() && recognise(input, record) != nullptr) return true;

  MappingInputs answers;
  if (!mappingInputsInSlot(slot, input, answers)) return false;
  if (regexpTable.check(answers.signatureExtension.c_str(), answers.signatureDescription.c_str(),
                        answers.magicMime.c_str(), answers.magicDescription.c_str(), record.typeId, record.mime,
                        record.description, record.extensions) != 0)
    return false;
  try {
    adjustFileTypeDetection(input, static_cast<unsigned long>(fileSize), record.typeId, record.mime,
                            record.extensions, record.description, record.encrypted);
  } catch (...) {
    // A failed correction keeps the record as far as it got.
  }
  return true;
}

}  // namespace

bool mappingInputs(const std::string& path, MappingInputs& inputs) {
  return mappingInputsInSlot(getThreadIndex(), ScanInput(path), inputs);
}

namespace {

int scanInSlot(int slot, const ScanInput* input, unsigned int* status, const char** resultJson) {
  if (status) *status = 1;
  if (resultJson) *resultJson = nullptr;
  if (input == nullptr || !engineStarted()) return 1;  // no slots before init or after deinit
  DetectionRecord record;
  if (!detectInSlot(slot, *input, record)) return 1;
  std::string json = createOutputJson(record.typeId, record.mime, record.description, record.extensions,
                                      record.encrypted, {});
  // Registered only when the host can receive it: nobody could give back
  // an answer dropped on the floor.
  if (resultJson) *resultJson = addString(json.c_str());
  return 0;
}

}  // namespace

int scanFile(const char* path, unsigned int* status, const char** resultJson) {
  const int slot = getThreadIndex();
  if (path == nullptr) return scanInSlot(slot, nullptr, status, resultJson);
  const ScanInput input(path);
  return scanInSlot(slot, &input, status, resultJson);
}

int scanFile(const ScanInput& input, unsigned int* status, const char** resultJson) {
  return scanInSlot(getThreadIndex(), &input, status, resultJson);
}

}  // namespace kpl
