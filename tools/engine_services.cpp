#include "tools/engine_services.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

namespace kpl::host {

namespace {

// The property status kpl_engine_config.h gives a name the map lacks.
constexpr int kUnknownProperty = 55;

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

}  // namespace

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

void printGroups(Engine& engine) {
  const char* json = nullptr;
  engine.getFileTypeGroup(&json);
  std::printf("%s\n", engine.take(json).c_str());
}

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
                   status == kUnknownProperty ? "no such property" : "value not accepted");
      rc = 1;
    }
  }
  const char* json = nullptr;
  engine.getEngineProperties(&properties, "", &json);
  std::printf("%s\n", engine.take(json).c_str());
  return rc;
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

}  // namespace kpl::host
