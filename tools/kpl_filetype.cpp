// kpl-filetype: command-line host of the engine. It loads kpl_engine.so with
// dlopen and drives it through the exports of kpl_engine.h, as a scanning
// host does, scanning files and folders with a pool of worker threads.
#include <dlfcn.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <rapidjson/document.h>

#include "common/json_text.h"
#include "kpl_engine.h"
#include "kpl_engine_config.h"

namespace fs = std::filesystem;

namespace {

constexpr int kMaxJobs = 30;  // the engine serves at most 30 scans at once
constexpr std::size_t kOutputBlockBytes = 64 * 1024;

// The exports this host uses, resolved by name.
struct Engine {
  void* handle = nullptr;
  decltype(&::init) init = nullptr;
  decltype(&::deinit) deinit = nullptr;
  decltype(&::scan) scan = nullptr;
  decltype(&::kplFileType) kplFileType = nullptr;  // null for an engine without the entry point
  decltype(&::getInterfaceVersion) getInterfaceVersion = nullptr;
  decltype(&::getEngineType) getEngineType = nullptr;
  decltype(&::getProductName) getProductName = nullptr;
  decltype(&::getDefinitionInfo) getDefinitionInfo = nullptr;
  decltype(&::getFileTypeGroup) getFileTypeGroup = nullptr;
  decltype(&::getLastError) getLastError = nullptr;
  decltype(&::freeString) freeString = nullptr;
  decltype(&::createBasicSupportedProperties) createBasicSupportedProperties = nullptr;
  decltype(&::getEngineProperties) getEngineProperties = nullptr;
  decltype(&::validateAndSetPropertyToMap) validateAndSetPropertyToMap = nullptr;
  decltype(&::adjustConfig) adjustConfig = nullptr;
  decltype(&::convertJSON) convertJSON = nullptr;

  template <typename T>
  bool resolve(T& fn, const char* name) {
    fn = reinterpret_cast<T>(::dlsym(handle, name));
    if (fn == nullptr) std::fprintf(stderr, "kpl-filetype: the engine does not export %s\n", name);
    return fn != nullptr;
  }

  bool load(const std::string& path) {
    handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      std::fprintf(stderr, "kpl-filetype: cannot load %s: %s\n", path.c_str(), ::dlerror());
      return false;
    }
    kplFileType = reinterpret_cast<decltype(kplFileType)>(::dlsym(handle, "kplFileType"));
    return resolve(init, "init") && resolve(deinit, "deinit") && resolve(scan, "scan") &&
           resolve(getInterfaceVersion, "getInterfaceVersion") && resolve(getEngineType, "getEngineType") &&
           resolve(getProductName, "getProductName") && resolve(getDefinitionInfo, "getDefinitionInfo") &&
           resolve(getFileTypeGroup, "getFileTypeGroup") && resolve(getLastError, "getLastError") &&
           resolve(freeString, "freeString") &&
           resolve(createBasicSupportedProperties, "createBasicSupportedProperties") &&
           resolve(getEngineProperties, "getEngineProperties") &&
           resolve(validateAndSetPropertyToMap, "validateAndSetPropertyToMap") &&
           resolve(adjustConfig, "adjustConfig") && resolve(convertJSON, "convertJSON");
  }

  // Copies an engine string and gives it back.
  std::string take(const char* text) {
    std::string copy = text ? text : "";
    freeString(&text);
    return copy;
  }
};

struct Options {
  std::string home;
  bool info = false;
  bool groups = false;
  bool properties = false;
  std::vector<std::string> propertyAssignments;  // NAME=VALUE
  bool config = false;
  std::string configInput;  // a file, or "-" for standard input
  bool table = false;
  int extension = -1;  // 1: kplFileType with each file's extension, 0: scan; -1: decided by the output form
  bool recursive = true;
  int jobs = 0;
  bool version = false;
  std::string filesFrom;      // a list of paths to scan, or "-" for standard input
  bool nulSeparated = false;  // the list's entries end with NUL instead of a newline
  std::vector<std::string> paths;
};

struct Outcome {
  bool done = false;
  int rc = 0;
  std::string json;  // the engine's answer when rc == 0
};

std::string jsonEscape(const std::string& text) {
  std::string out;
  kpl::json_text::appendEscaped(out, text);
  return out;
}

// The "path" member, and for a name that is not UTF-8 (Linux names are any
// bytes) also "path_bytes": every byte of the name as two lower-case hex
// digits, so that the exact name can be recovered from the readable one,
// in which each ill-formed sequence shows as U+FFFD.
std::string pathMembers(const std::string& path) {
  std::string out = "\"path\":\"" + jsonEscape(path) + "\"";
  if (!kpl::json_text::isValidUtf8(path)) {
    out += ",\"path_bytes\":\"";
    for (unsigned char c : path) kpl::json_text::appendHexByte(out, c);
    out += '"';
  }
  return out;
}

// Text for the terminal: control characters (C0, DEL and C1, which a
// terminal takes for commands) and bytes that are not UTF-8 are written as
// \xNN (\n, \t and \r by name), and a backslash as two, so that a file name
// can neither rewrite the screen nor pass for another name.
std::string displayText(const std::string& text) {
  std::string out;
  for (std::size_t pos = 0; pos < text.size();) {
    std::size_t invalid = 1;
    std::size_t n = kpl::json_text::utf8SequenceLength(text, pos, &invalid);
    const auto c = static_cast<unsigned char>(text[pos]);
    const bool c1 = n == 2 && c == 0xC2 && static_cast<unsigned char>(text[pos + 1]) < 0xA0;
    if (n == 0 || c < 0x20 || c == 0x7F || c1) {
      for (std::size_t i = 0, count = n == 0 ? invalid : n; i < count; ++i) {
        const auto b = static_cast<unsigned char>(text[pos + i]);
        if (b == '\n') out += "\\n";
        else if (b == '\t') out += "\\t";
        else if (b == '\r') out += "\\r";
        else {
          out += "\\x";
          kpl::json_text::appendHexByte(out, b);
        }
      }
      pos += n == 0 ? invalid : n;
      continue;
    }
    if (c == '\\') out += '\\';
    out.append(text, pos, n);
    pos += n;
  }
  return out;
}

// Reads the value of a top-level member from the engine's answer: a string,
// or the text of a literal ("true", "false"); "" when absent or unreadable.
std::string memberValue(const std::string& json, const std::string& name) {
  rapidjson::Document doc;
  if (doc.Parse(json.c_str(), json.size()).HasParseError() || !doc.IsObject()) return std::string();
  auto it = doc.FindMember(name.c_str());
  if (it == doc.MemberEnd()) return std::string();
  if (it->value.IsString()) return std::string(it->value.GetString(), it->value.GetStringLength());
  if (it->value.IsBool()) return it->value.GetBool() ? "true" : "false";
  return std::string();
}

bool isFile(const std::string& path) { return ::access(path.c_str(), R_OK) == 0; }

// Reads the paths of a --files-from list. A list is the interface between a
// job runner and this worker, so it takes names exactly as find(1) writes
// them: one per line, or NUL-terminated (-print0), where a name may hold
// any byte but NUL, newlines included. Empty entries are skipped, and so is
// a CR before a newline (lists written on Windows). A last entry without a
// terminator still counts: a producer that stopped early leaves a short
// list, not a lost file. False when the list cannot be read at all.
bool readFileList(const std::string& source, bool nulSeparated, std::vector<std::string>& paths) {
  FILE* in = source == "-" ? stdin : std::fopen(source.c_str(), "rb");
  if (in == nullptr) return false;
  const int separator = nulSeparated ? '\0' : '\n';
  std::string entry;
  auto finish = [&] {
    if (!nulSeparated && !entry.empty() && entry.back() == '\r') entry.pop_back();
    if (!entry.empty()) paths.push_back(entry);
    entry.clear();
  };
  char chunk[65536];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof(chunk), in)) > 0) {
    for (std::size_t i = 0; i < n; ++i) {
      if (chunk[i] == separator)
        finish();
      else
        entry.push_back(chunk[i]);
    }
  }
  finish();
  const bool ok = !std::ferror(in);
  if (in != stdin) std::fclose(in);
  return ok;
}

std::string executableDir() {
  char buffer[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (n <= 0) return ".";
  std::string path(buffer, static_cast<size_t>(n));
  return path.substr(0, path.rfind('/'));
}

#ifndef KPL_INSTALLED_HOME
#define KPL_INSTALLED_HOME "lib/kpl-engine"
#endif

// --home, then KPL_HOME, then the home beside this program: "../home" in the
// build tree, "../<libdir>/kpl-engine" in an installed prefix.
std::string findHome(const std::string& option) {
  if (!option.empty()) return option;
  if (const char* env = std::getenv("KPL_HOME"); env && *env) return env;
  const std::string dir = executableDir();
  for (const char* candidate : {"/../home", "/../" KPL_INSTALLED_HOME, "/../lib/kpl-engine", "/home"})
    if (isFile(dir + candidate + "/kpl_engine.so")) return fs::weakly_canonical(dir + candidate).string();
  return std::string();
}

// Expands the user's paths into absolute file paths: folders are walked
// (sorted, symbolic links to folders not followed, so a link loop cannot
// trap the walk); only regular files inside folders are taken.
std::vector<std::string> collectFiles(const Options& options, int& missing) {
  std::vector<std::string> files;
  for (const std::string& arg : options.paths) {
    std::error_code ec;
    fs::path path = fs::absolute(arg, ec);
    if (ec || !fs::exists(fs::symlink_status(path, ec))) {
      std::fprintf(stderr, "kpl-filetype: %s: no such file or folder\n", displayText(arg).c_str());
      ++missing;
      continue;
    }
    if (!fs::is_directory(path, ec)) {
      files.push_back(path.lexically_normal().string());
      continue;
    }
    std::vector<std::string> found;
    auto walkOptions = fs::directory_options::skip_permission_denied;
    if (options.recursive) {
      for (fs::recursive_directory_iterator it(path, walkOptions, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file(ec)) found.push_back(it->path().lexically_normal().string());
    } else {
      for (fs::directory_iterator it(path, walkOptions, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file(ec)) found.push_back(it->path().lexically_normal().string());
    }
    std::sort(found.begin(), found.end());
    files.insert(files.end(), found.begin(), found.end());
  }
  return files;
}

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
               "  --content-only answer from the bytes alone (scan), also with --table"
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

// The versions a bug report needs. The engine is loaded but not started:
// every answer here is available without init, so --version works even
// where the home is incomplete. The definition count comes from loading
// the home's signature library into this process, since the engine keeps
// its private copies to itself; libmagic is the one the engine brought in.
void printVersion(Engine& engine, const std::string& home) {
  std::printf("kpl-filetype %s\n", KPL_HOST_VERSION);
  unsigned int interfaceVersion = 0;
  engine.getInterfaceVersion(&interfaceVersion);
  const char* name = nullptr;
  engine.getProductName(&name);
  std::printf("engine: %s, interface version %u (%s/kpl_engine.so)\n", engine.take(name).c_str(),
              interfaceVersion, home.c_str());

  const char *first = nullptr, *second = nullptr, *third = nullptr;
  uint64_t fourth = 0;
  engine.getDefinitionInfo(&first, &second, &third, &fourth);
  std::string definitionVersion = engine.take(first);
  engine.take(second);
  engine.take(third);
  int count = 0;
  if (void* trid = ::dlopen("./libTrIDLib.so", RTLD_NOW | RTLD_LOCAL)) {
    if (auto load = reinterpret_cast<int (*)(char*)>(::dlsym(trid, "TrID_LoadDefsPack"))) {
      char definitions[] = "database/trid/";
      count = load(definitions);
    }
    ::dlclose(trid);
  }
  std::printf("signature library: definitions %s, %d definitions in %s/database/trid\n",
              definitionVersion.c_str(), count, home.c_str());

  // magic_version() encodes 5.44 as 544.
  auto magicVersion = reinterpret_cast<int (*)()>(::dlsym(engine.handle, "magic_version"));
  if (magicVersion != nullptr)
    std::printf("libmagic: %d.%02d\n", magicVersion() / 100, magicVersion() % 100);
  else
    std::printf("libmagic: unknown\n");
  const char* tunables = std::getenv("GLIBC_TUNABLES");
  std::printf("allocator: %s\n", tunables != nullptr && *tunables != '\0' ? tunables : "glibc defaults");
}

void printInfo(Engine& engine, const std::string& home) {
  unsigned int version = 0, type = 0;
  engine.getInterfaceVersion(&version);
  engine.getEngineType(&type);
  const char* name = nullptr;
  engine.getProductName(&name);
  const char *first = nullptr, *second = nullptr, *third = nullptr;
  uint64_t fourth = 0;
  engine.getDefinitionInfo(&first, &second, &third, &fourth);
  std::printf("product:            %s\n", engine.take(name).c_str());
  std::printf("interface version:  %u\n", version);
  std::printf("engine type:        %u\n", type);
  std::string d1 = engine.take(first), d2 = engine.take(second), d3 = engine.take(third);
  std::printf("definitions:        %s %s %s %llu\n", d1.c_str(), d2.c_str(), d3.c_str(),
              static_cast<unsigned long long>(fourth));
  std::printf("home:               %s\n", home.c_str());
}

// printf into the end of a string.
__attribute__((format(printf, 2, 3))) void appendf(std::string& out, const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  if (n > 0) {
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(n) + 1);
    std::vsnprintf(&out[at], static_cast<std::size_t>(n) + 1, format, again);
    out.resize(at + static_cast<std::size_t>(n));
  }
  va_end(again);
}

// One line of output per file, appended to `out`.
void formatResult(std::string& out, const Options& options, const std::string& path, const Outcome& outcome) {
  if (!options.table) {
    if (outcome.rc == 0 && outcome.json.size() > 1 && outcome.json[0] == '{') {
      out += '{';
      out += pathMembers(path);
      out += ',';
      out.append(outcome.json, 1, std::string::npos);
      out += '\n';
    } else {
      appendf(out, "{%s,\"error\":\"scan failed\",\"code\":%d}\n", pathMembers(path).c_str(), outcome.rc);
    }
    return;
  }
  if (outcome.rc != 0) {
    appendf(out, "%-16s %-3s %-44s %s\n", "(failed)", "", ("engine returned " + std::to_string(outcome.rc)).c_str(),
            displayText(path).c_str());
    return;
  }
  std::string enc = memberValue(outcome.json, "encrypted") == "true" ? "yes" : "";
  // The flag before the MIME type: Office types' long MIME types push only
  // the path out of line.
  appendf(out, "%-16s %-3s %-44s %s\n", displayText(memberValue(outcome.json, "typeID")).c_str(), enc.c_str(),
          displayText(memberValue(outcome.json, "type")).c_str(), displayText(path).c_str());
}

// Whole lines to standard output, in large blocks.
void writeLines(std::string& lines) {
  if (!lines.empty()) std::fwrite(lines.data(), 1, lines.size(), stdout);
  std::fflush(stdout);
  lines.clear();
}

// Shows the engine properties, after applying NAME=VALUE assignments as a
// host would. Returns 1 when an assignment was refused.
int printProperties(Engine& engine, const Options& options) {
  kpl::PropertyMap properties;
  engine.createBasicSupportedProperties(&properties);
  int rc = 0;
  for (const std::string& assignment : options.propertyAssignments) {
    std::string name = assignment.substr(0, assignment.find('='));
    std::string value = assignment.substr(assignment.find('=') + 1);
    int status = engine.validateAndSetPropertyToMap(&properties, name.c_str(), value.c_str(), 1);
    if (status != 0) {
      std::fprintf(stderr, "kpl-filetype: %s: %s\n", assignment.c_str(),
                   status == 55 ? "no such property" : "value not accepted");
      rc = 1;
    }
  }
  const char* json = nullptr;
  engine.getEngineProperties(&properties, "", &json);
  std::printf("%s\n", engine.take(json).c_str());
  return rc;
}

// The schema this host offers its users: the engine's known options.
kpl::EngineSchema hostSchema() {
  kpl::EngineSchema schema;
  schema.id = "kpl_3_filetype";
  schema.displayName = "FileType";
  schema.version = 1.0f;
  for (const char* name : {"deep_scan", "extract_archive"}) schema.configs.emplace_back(name, 0, "bool", "");
  kpl::ValidConfig level("heuristic_scan", 0, "select", "");
  level.strValues = {"0", "1", "2", "3"};
  schema.configs.push_back(level);
  for (const char* name : {"max_file_size", "max_scan_size", "max_extract_depth"})
    schema.configs.emplace_back(name, 0, "number", "");
  return schema;
}

int printConfig(Engine& engine, const std::string& input) {
  std::string text;
  FILE* in = input == "-" ? stdin : std::fopen(input.c_str(), "rb");
  if (in == nullptr) {
    std::fprintf(stderr, "kpl-filetype: cannot read %s\n", input.c_str());
    return 2;
  }
  char chunk[4096];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof(chunk), in)) > 0;) text.append(chunk, n);
  if (in != stdin) std::fclose(in);

  kpl::EngineSchema schema = hostSchema();
  engine.adjustConfig(&schema);
  const char *schemaJson = nullptr, *configJson = nullptr, *error = nullptr;
  bool ok = engine.convertJSON(text.c_str(), &schema, &schemaJson, &configJson, &error);
  std::string schemaText = engine.take(schemaJson), configText = engine.take(configJson);
  std::string errorText = engine.take(error);
  if (!ok) {
    std::fprintf(stderr, "kpl-filetype: %s\n", errorText.c_str());
    return 1;
  }
  std::printf("%s\n%s\n", schemaText.c_str(), configText.c_str());
  return 0;
}

// The text after the last "." of the file's name, "" when there is none.
std::string extensionOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.find_last_of('.');
  return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

int scanAll(Engine& engine, const Options& options, const std::vector<std::string>& files) {
  int jobs = options.jobs > 0 ? options.jobs : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  jobs = std::min({jobs, kMaxJobs, std::max(1, static_cast<int>(files.size()))});

  // A person reading a table has named the files; a pipeline reading JSON
  // lines gets answers from the bytes alone unless it asks.
  const bool byExtension = options.extension == 1 || (options.extension == -1 && options.table);
  if (byExtension && engine.kplFileType == nullptr) {
    std::fprintf(stderr, "kpl-filetype: this engine has no kplFileType; use --content-only\n");
    return 2;
  }
  std::vector<Outcome> outcomes(files.size());
  std::mutex mutex;
  std::condition_variable ready;
  std::atomic<std::size_t> next{0};
  std::vector<std::thread> workers;
  for (int j = 0; j < jobs; ++j)
    workers.emplace_back([&] {
      for (std::size_t i; (i = next.fetch_add(1)) < files.size();) {
        unsigned int status = 0;
        const char* json = nullptr;
        Outcome outcome;
        if (byExtension)
          outcome.rc = engine.kplFileType(files[i].c_str(), extensionOf(files[i]).c_str(), &json);
        else
          outcome.rc = engine.scan(files[i].c_str(), &status, &json);
        if (json) outcome.json = engine.take(json);
        outcome.done = true;
        std::lock_guard<std::mutex> lock(mutex);
        outcomes[i] = std::move(outcome);
        ready.notify_one();
      }
    });

  if (options.table) std::printf("%-16s %-3s %-44s %s\n", "TYPE", "ENC", "MIME TYPE", "PATH");
  std::fflush(stdout);
  const bool progress = ::isatty(STDERR_FILENO) && files.size() > 50;
  const auto start = std::chrono::steady_clock::now();
  std::map<std::string, int> summary;
  int failed = 0;
  // Results are printed in the order of the file list. Lines are gathered
  // and written in blocks of whole lines, so a job runner that concatenates
  // workers' outputs, or a killed worker, never leaves half a line; whatever
  // is gathered is written before waiting for a result that is not ready,
  // so a reader of a slow scan sees each answer as soon as it is known.
  std::string pending;
  pending.reserve(kOutputBlockBytes + 4096);
  for (std::size_t i = 0; i < files.size(); ++i) {
    Outcome outcome;
    {
      std::unique_lock<std::mutex> lock(mutex);
      if (!outcomes[i].done && !pending.empty()) {
        lock.unlock();
        writeLines(pending);
        lock.lock();
      }
      ready.wait(lock, [&] { return outcomes[i].done; });
      outcome = std::move(outcomes[i]);
    }
    formatResult(pending, options, files[i], outcome);
    if (pending.size() >= kOutputBlockBytes) writeLines(pending);
    if (outcome.rc != 0) ++failed;
    ++summary[outcome.rc == 0 ? memberValue(outcome.json, "typeID") : "(failed)"];
    if (progress && (i % 50 == 0 || i + 1 == files.size())) {
      writeLines(pending);
      std::fprintf(stderr, "\r%zu/%zu files", i + 1, files.size());
    }
  }
  writeLines(pending);
  for (auto& w : workers) w.join();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (progress) std::fprintf(stderr, "\r");
  std::fprintf(stderr, "%zu files in %.2f s with %d threads", files.size(), seconds, jobs);
  if (failed) std::fprintf(stderr, ", %d failed", failed);
  std::fprintf(stderr, "\n");
  for (const auto& [type, count] : summary) std::fprintf(stderr, "  %-20s %d\n", displayText(type).c_str(), count);
  return failed ? 1 : 0;
}

// glibc reads its allocator settings only when a process starts, so the host
// restarts itself once with its own. Each of the engine's 60 libmagic
// handles compiles the patterns it meets on first use, so a run warms up 60
// pattern caches where `file` warms one; with glibc's defaults the heap
// meets that by faulting in small pages it later trims and faults in again,
// which on a virtual machine costs more than the compiling. These settings
// let the heap grow in 64 MiB steps on huge pages and keep what it has, and
// serve libmagic's per-file read buffer (up to 7 MiB) from the heap instead
// of a fresh mapping each time (bench/real_mix.sh measures both). A
// GLIBC_TUNABLES the user set, even empty, is left as it is, which is also
// how to keep glibc's defaults.
void adoptAllocatorSettings(char** argv) {
  static const char kSettings[] =
      "glibc.malloc.hugetlb=1:glibc.malloc.top_pad=67108864:"
      "glibc.malloc.trim_threshold=268435456:glibc.malloc.mmap_threshold=33554432";
  if (std::getenv("GLIBC_TUNABLES") != nullptr) return;
  if (::setenv("GLIBC_TUNABLES", kSettings, 1) != 0) return;
  ::execv("/proc/self/exe", argv);
  ::unsetenv("GLIBC_TUNABLES");  // no /proc: carry on with the defaults
}

}  // namespace

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
  Engine engine;
  if (!engine.load("./kpl_engine.so")) return 2;
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
  if (options.groups) {
    const char* json = nullptr;
    engine.getFileTypeGroup(&json);
    std::printf("%s\n", engine.take(json).c_str());
  }
  if (options.properties) rc = std::max(rc, printProperties(engine, options));
  if (options.config) rc = std::max(rc, printConfig(engine, options.configInput));
  if (!options.paths.empty() || !options.filesFrom.empty()) rc = std::max(rc, scanAll(engine, options, files));
  engine.deinit();
  return rc != 0 || missing != 0 ? 1 : 0;
}
