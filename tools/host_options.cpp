#include "tools/host_options.h"

#include <cstdlib>
#include <cstring>

namespace kpl::host {

void usage(FILE* out) {
  std::fprintf(out,
               "usage: kpl-filetype [options] PATH...\n"
               "       kpl-filetype [options] --files-from LIST [-0] [PATH...]\n"
               "Identifies the type of each file; folders are scanned recursively.\n"
               "\n"
               "  --files-from LIST  also scan the paths listed in LIST, one per line (- reads stdin)\n"
               "  -0, --null     the list's entries end with NUL (find -print0)\n"
               "  --table        a readable table instead of JSON lines (implies --extension)\n"
               "  --extension    let each file's own extension refine the answer (kplFileType):\n"
               "                 show or template, split volumes, CSV; JSON lines gain \"type_ids\"\n"
               "  --content-only answer from the bytes alone (scan), also with --table\n"
               "  --jobs N       scan with N threads (default: number of cores, at most 30)\n"
               "  --no-recurse   scan only the files directly inside a folder\n"
               "  --home DIR     engine home (default: $KPL_HOME, else the home installed beside this program)\n"
               "  --info         print the engine's identification answers\n"
               "  --groups       print the type groups JSON\n"
               "  --properties [NAME=VALUE]...\n"
               "                 print the engine properties (after setting the given values)\n"
               "  --config FILE  print the schema JSON and the configuration JSON the engine makes\n"
               "                 of FILE (configuration JSON or an \"[engine]\" text; - reads stdin)\n"
               "  --version      print the versions of this program, the engine, the signature\n"
               "                 library and libmagic\n"
               "  -h, --help     this text\n"
               "\n"
               "Output: one JSON object per line, {\"path\":...} followed by the engine's members;\n"
               "a summary by type identifier goes to standard error. The exit status is 1 when\n"
               "any file failed to scan, 2 on a usage or start-up error.\n");
}

bool parseArgs(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--home" && i + 1 < argc) {
      options.home = argv[++i];
    } else if (arg == "--jobs" && i + 1 < argc) {
      options.jobs = std::atoi(argv[++i]);
      if (options.jobs < 1) return false;
    } else if (arg == "--table") {
      options.table = true;
    } else if (arg == "--extension") {
      options.extension = 1;
    } else if (arg == "--content-only") {
      options.extension = 0;
    } else if (arg == "--no-recurse") {
      options.recursive = false;
    } else if (arg == "--info") {
      options.info = true;
    } else if (arg == "--groups") {
      options.groups = true;
    } else if (arg == "--properties") {
      options.properties = true;
      while (i + 1 < argc && std::strchr(argv[i + 1], '=') != nullptr && argv[i + 1][0] != '-')
        options.propertyAssignments.push_back(argv[++i]);
    } else if (arg == "--config" && i + 1 < argc) {
      options.config = true;
      options.configInput = argv[++i];
    } else if (arg == "--files-from" && i + 1 < argc) {
      options.filesFrom = argv[++i];
      if (options.filesFrom.empty()) return false;
    } else if (arg == "-0" || arg == "--null") {
      options.nulSeparated = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "--") {
      for (++i; i < argc; ++i) options.paths.push_back(argv[i]);
    } else if (!arg.empty() && arg[0] == '-') {
      return false;
    } else {
      options.paths.push_back(arg);
    }
  }
  if (options.nulSeparated && options.filesFrom.empty()) return false;
  if (options.filesFrom == "-" && options.config && options.configInput == "-") return false;  // one stdin
  return options.info || options.groups || options.properties || options.config || options.version ||
         !options.filesFrom.empty() || !options.paths.empty();
}

}  // namespace kpl::host
