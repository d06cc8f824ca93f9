// Bridge to the outside signature library, libTrIDLib.so. Each scan slot
// owns one trid object with its own loaded instance of the library, so that
// the library's global state is never shared between slots.
#pragma once

#include <string>

namespace kpl {

class trid {
 public:
  trid() = default;
  ~trid();
  trid(const trid&) = delete;
  trid& operator=(const trid&) = delete;

  // Loads a private copy of "libTrIDLib.so" (read from the working
  // directory) and its definitions from "database\trid\". Returns what
  // TrID_LoadDefsPack returned, or 0 on any failure.
  int Init(int slot);

  int SubmitFileA(char* path) { return submitFileA_ ? submitFileA_(path) : 0; }
  int Analyze() { return analyze_ ? analyze_() : 0; }
  int GetInfo(int what, int index, char* buffer) { return getInfo_ ? getInfo_(what, index, buffer) : 0; }
  int LoadDefsPack(char* path) { return loadDefsPack_ ? loadDefsPack_(path) : 0; }

  // "lib.<slot>": the name of this object's private copy.
  const std::string& copyName() const { return copyName_; }
  // Where the copy was loaded from ("/proc/self/fd/N" for an in-memory copy).
  const std::string& copyPath() const { return copyPath_; }

  // Where private copies are made. In memory is preferred: nothing touches
  // the disk and nothing is left behind if the host dies. A kernel that
  // refuses executable in-memory files gets a private directory instead.
  enum class CopyPlacement { InMemory, PrivateDirectory };
  static void setCopyPlacement(CopyPlacement placement);

 private:
  void release();

  int (*analyze_)() = nullptr;
  int (*getInfo_)(int, int, char*) = nullptr;
  int (*loadDefsPack_)(char*) = nullptr;
  int (*submitFileA_)(char*) = nullptr;
  void* handle_ = nullptr;
  std::string copyName_;
  std::string copyPath_;
  int copyFd_ = -1;         // kept open while loaded: the loader knows the copy by this fd's path
  bool copyOnDisk_ = false;
};

}  // namespace kpl
