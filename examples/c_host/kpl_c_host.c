/* kpl_c_host: scans the files named on its command line with the installed
 * engine and writes one JSON line per file, {"path":...} followed by the
 * engine's answer, as kpl-filetype does. The engine home is $KPL_HOME, else
 * the one the CMake package names. */
#define _POSIX_C_SOURCE 200809L
#include <dlfcn.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "kpl_engine.h"

typedef int (*init_fn)(void);
typedef int (*scan_fn)(const char*, unsigned int*, const char**);
typedef int (*free_fn)(const char**);

static void put_json_string(const char* text) {
  putchar('"');
  for (const unsigned char* p = (const unsigned char*)text; *p; ++p) {
    switch (*p) {
      case '"': fputs("\\\"", stdout); break;
      case '\\': fputs("\\\\", stdout); break;
      case '\n': fputs("\\n", stdout); break;
      case '\r': fputs("\\r", stdout); break;
      case '\t': fputs("\\t", stdout); break;
      default:
        if (*p < 0x20)
          printf("\\u%04x", *p);
        else
          putchar(*p);
    }
  }
  putchar('"');
}

int main(int argc, char** argv) {
  const char* home = getenv("KPL_HOME");
  if (home == NULL || *home == '\0') home = KPL_ENGINE_HOME;

  /* Paths are made absolute before the host moves into the engine home. */
  char cwd[PATH_MAX];
  if (getcwd(cwd, sizeof(cwd)) == NULL) return 2;
  char** paths = calloc((size_t)argc, sizeof(char*));
  if (paths == NULL) return 2;
  for (int i = 1; i < argc; ++i) {
    size_t n = strlen(cwd) + strlen(argv[i]) + 2;
    paths[i] = malloc(n);
    if (paths[i] == NULL) return 2;
    if (argv[i][0] == '/')
      snprintf(paths[i], n, "%s", argv[i]);
    else
      snprintf(paths[i], n, "%s/%s", cwd, argv[i]);
  }

  if (chdir(home) != 0) {
    fprintf(stderr, "kpl_c_host: cannot enter the engine home %s\n", home);
    return 2;
  }
  void* engine = dlopen("./kpl_engine.so", RTLD_NOW | RTLD_LOCAL);
  if (engine == NULL) {
    fprintf(stderr, "kpl_c_host: %s\n", dlerror());
    return 2;
  }
  /* Function pointers through a cast of the object pointer, as POSIX allows. */
  init_fn engine_init;
  scan_fn engine_scan;
  free_fn engine_free;
  *(void**)&engine_init = dlsym(engine, "init");
  *(void**)&engine_scan = dlsym(engine, "scan");
  *(void**)&engine_free = dlsym(engine, "freeString");
  if (!engine_init || !engine_scan || !engine_free || engine_init() != 0) {
    fprintf(stderr, "kpl_c_host: the engine failed to start in %s\n", home);
    return 2;
  }

  int failed = 0;
  for (int i = 1; i < argc; ++i) {
    unsigned int status = 0;
    const char* json = NULL;
    int rc = engine_scan(paths[i], &status, &json);
    fputs("{\"path\":", stdout);
    put_json_string(paths[i]);
    if (rc == 0 && json != NULL && json[0] == '{') {
      printf(",%s\n", json + 1);
    } else {
      printf(",\"error\":\"scan failed\",\"code\":%d}\n", rc);
      failed = 1;
    }
    engine_free(&json);
    free(paths[i]);
  }
  free(paths);
  return failed;
}
