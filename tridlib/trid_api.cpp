// The four C entry points of libTrIDLib.so. Each loaded copy of the library
// has its own instance below.
#include "tridlib/library.h"

#define TRID_API extern "C" __attribute__((visibility("default")))

namespace {

tridlib::Library g_library;

}  // namespace

TRID_API int TrID_LoadDefsPack(char* path) { return g_library.loadDefinitions(path); }
TRID_API int TrID_SubmitFileA(char* path) { return g_library.submit(path); }
TRID_API int TrID_Analyze() { return g_library.analyze(); }
TRID_API int TrID_GetInfo(int what, int index, char* buffer) { return g_library.info(what, index, buffer); }
