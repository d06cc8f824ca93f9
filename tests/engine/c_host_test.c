/* A host written in C: the public header compiles as C, and the engine's
   exports resolve by their plain names from the loaded library. */
#include <dlfcn.h>
#include <stdio.h>
#include <string.h>

#include "kpl_engine.h"

#define CHECK(cond)                                                                           \
  do {                                                                                        \
    if (!(cond)) return fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #cond), 1; \
  } while (0)

int main(int argc, char** argv) {
  void* lib;
  int (*getInterfaceVersionFn)(unsigned int*);
  int (*getProductNameFn)(const char**);
  int (*freeStringFn)(const char**);
  int (*getEngineCapabilitiesFn)(unsigned char*);
  unsigned int version = 0;
  const char* name = NULL;
  unsigned char caps = 0xFE;

  CHECK(argc == 2);
  lib = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (lib == NULL) fprintf(stderr, "%s\n", dlerror());
  CHECK(lib != NULL);
  *(void**)&getInterfaceVersionFn = dlsym(lib, "getInterfaceVersion");
  *(void**)&getProductNameFn = dlsym(lib, "getProductName");
  *(void**)&freeStringFn = dlsym(lib, "freeString");
  *(void**)&getEngineCapabilitiesFn = dlsym(lib, "getEngineCapabilities");
  CHECK(getInterfaceVersionFn && getProductNameFn && freeStringFn && getEngineCapabilitiesFn);
  CHECK(dlsym(lib, "_ZN3kpl9addStringEPKc") == NULL); /* internals stay hidden */

  CHECK(getInterfaceVersionFn(&version) == 0 && version == 3);
  CHECK(getProductNameFn(&name) == 0 && name != NULL && strcmp(name, "FileType") == 0);
  CHECK(freeStringFn(&name) == 0 && name == NULL);
  CHECK(getEngineCapabilitiesFn(&caps) == 0 && caps == 0xFD);
  CHECK(dlclose(lib) == 0);
  puts("C host: ok");
  return 0;
}
