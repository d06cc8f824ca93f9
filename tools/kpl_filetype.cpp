// kpl-filetype: command-line host of the engine. It loads kpl_engine.so with
// dlopen and drives it through the exports of kpl_engine.h, as a scanning
// host does, scanning files and folders with a pool of worker threads.
//
//   host_options        the command line and the help text
//   file_lists          --files-from lists and folder walks
//   engine_library      loading the engine, finding its home
//   engine_services     versions, identification, groups, properties, config
//   scan_pool           the worker threads and the ordered output
//   result_format       JSON lines, the table and the summary
//   allocator_settings  the allocator settings the host restarts with
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/allocator_settings.h"
#include "tools/engine_library.h"
#include "tools/engine_services.h"
#include "tools/file_lists.h"
#include "tools/host_options.h"
#include "tools/scan_pool.h"

using namespace kpl::host;

int main(int argc, char** argv) {
  adoptAllocatorSettings(argv);
  Options options;
  if (argc > 1 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
    usage(stdout);
    return 0;
  }
  if (!parseArgs(argc, argv, options)) {
    usage(stderr);
    return 2;
  }
  if (!options.filesFrom.empty() && !readFileList(options.filesFrom, options.nulSeparated, options.paths)) {
    std::fprintf(stderr, "kpl-filetype: cannot read the file list %s\n",
                 options.filesFrom == "-" ? "from standard input" : options.filesFrom.c_str());
    return 2;
  }
  // Paths are made absolute before the host moves into the engine home.
  int missing = 0;
  std::vector<std::string> files = collectFiles(options, missing);

  std::string home = findHome(options.home);
  if (home.empty()) {
    std::fprintf(stderr, "kpl-filetype: no engine home found; use --home or set KPL_HOME\n");
    return 2;
  }
  // The engine reads its databases relative to the working directory.
  if (::chdir(home.c_str()) != 0) {
    std::fprintf(stderr, "kpl-filetype: cannot enter the engine home %s\n", home.c_str());
    return 2;
  }
  if (!isReadable(kEngineFile)) {
    std::fprintf(stderr, "kpl-filetype: the engine home %s has no %s\n", home.c_str(), kEngineFile);
    return 2;
  }
  Engine engine;
  if (!engine.load(std::string("./") + kEngineFile)) return 2;
  if (options.version) {
    printVersion(engine, home);
    if (!options.info && !options.groups && !options.properties && !options.config && options.paths.empty() &&
        options.filesFrom.empty())
      return 0;
  }
  if (engine.init() != 0) {
    const char* message = nullptr;
    engine.getLastError(&message);
    std::fprintf(stderr, "kpl-filetype: the engine failed to start in %s (%s)\n", home.c_str(),
                 message ? message : "no message");
    return 2;
  }

  int rc = 0;
  if (options.info) printInfo(engine, home);
  if (options.groups) printGroups(engine);
  if (options.properties) rc = std::max(rc, printProperties(engine, options));
  if (options.config) rc = std::max(rc, printConfig(engine, options.configInput));
  if (!options.paths.empty() || !options.filesFrom.empty()) rc = std::max(rc, scanAll(engine, options, files));
  engine.deinit();
  return rc != 0 || missing != 0 ? 1 : 0;
}
