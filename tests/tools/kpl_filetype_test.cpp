// The command-line host, run as a user runs it.
#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <sys/stat.h>
#include <unistd.h>

#include <magic.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>

#include "common/common_utils.h"
#include "test_support.h"
#include "tridlib/library.h"

namespace kpl {
namespace {

struct HostRun {
  int status;
  std::string out;
};

// Where the host's standard error goes: outside the scanned folders, and
// private to this process (other test processes run at the same time).
std::string errorFile() {
  static const test::TempDir errors;
  return errors.path() + "/stderr";
}
// What the last run wrote to standard error.
std::string lastErrors() { return test::readFile(errorFile()); }

// Runs the host with standard output and standard error apart; standard
// input comes from stdinFile, or is closed when stdinFile is empty.
HostRun runHost(const std::vector<std::string>& args, const std::string& stdinFile = "/dev/null") {
  std::vector<std::string> argv = {
      "/bin/sh", "-c",
      "e=\"$0\"; i=\"$1\"; shift; if [ -z \"$i\" ]; then exec \"$@\" 2>\"$e\" <&-; fi; exec \"$@\" 2>\"$e\" <\"$i\"",
      errorFile(), stdinFile, KPL_TEST_HOST};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char> out;
  RunResult r = CommonUtils::runProgram(argv, out);
  return HostRun{r.exitStatus, std::string(out.begin(), out.end())};
}

// A file that cannot be scanned is reported and does not stop the run
// (folders: HostileNamesChangeNothing).
TEST(CommandLineHost, FailuresAreReportedAndTheRunGoesOn) {
  test::TempDir dir;
  dir.write("top.txt", "plain text here\n");
  ASSERT_EQ(::symlink("/no/such/target", (dir.path() + "/dangling").c_str()), 0);
  HostRun mixed = runHost({dir.path() + "/dangling", dir.path() + "/top.txt"});
  EXPECT_EQ(mixed.status, 1);
  EXPECT_NE(mixed.out.find("\"error\":\"scan failed\",\"code\":1"), std::string::npos) << mixed.out;
  EXPECT_NE(mixed.out.find("\"typeID\":\"TXT\""), std::string::npos);

  if (::geteuid() != 0) {  // root reads everything
    std::string locked = dir.write("locked.bin", "secret");
    ::chmod(locked.c_str(), 0);
    EXPECT_EQ(runHost({locked}).status, 1);
  }
}

// File names are chosen by whoever sent the file: none may run a command,
// change an answer, or break the JSON lines or the table. The folder is
// walked to any depth; a link to nowhere is no regular file and is skipped.
TEST(CommandLineHost, HostileNamesChangeNothing) {
  const std::vector<std::string> kFixtures = {"tridlib/program.exe", "tridlib/document.pdf", "tridlib/image.gif",
                                              "tridlib/drawing.svg", "archive/plain.zip"};
  const std::vector<std::string> kNames = {
      "$(touch kpl_marker)", "`touch kpl_marker`", "a;touch kpl_marker", "a|touch kpl_marker", "a&&touch kpl_marker",
      "\"quoted\"", "'single'", "new\nline", "-leading", "--table", "@at", "*", "?.x", "back\\slash",
      "..\\..\\up", "\xff\xfe not utf-8", "cut \xe2\x82", "\x1b]0;title\x07\x1b[2J", "tab\there", "\xc2\x9b" "31m",
      // A backslash, which the signature library would take for a folder separator.
      "a\\b.exe", "\\lead", "trail\\", "C:\\x\\y.pdf"};
  test::TempDir dir;
  std::map<std::string, std::size_t> fixtureOf;  // written path -> fixture index
  for (std::size_t f = 0; f < kFixtures.size(); ++f) {
    const std::string bytes = test::readFile(test::fixturesDir() + "/" + kFixtures[f]);
    fixtureOf[dir.write("clean/deeper/" + std::to_string(f), bytes)] = f;
    for (const std::string& name : kNames) fixtureOf[dir.write(std::to_string(f) + "/" + name, bytes)] = f;
  }
  ASSERT_EQ(::symlink("/no/such/target", (dir.path() + "/0/dangling").c_str()), 0);

  HostRun run = runHost({dir.path()});
  EXPECT_EQ(run.status, 0) << run.out;
  std::map<std::string, std::string> answerOf;  // path -> the answer without the path members
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) {
    rapidjson::Document doc;
    doc.Parse<rapidjson::kParseValidateEncodingFlag>(line.c_str(), line.size());
    ASSERT_FALSE(doc.HasParseError()) << line;
    ASSERT_TRUE(doc.IsObject() && doc["typeID"].IsString() && doc["groupIDs"].IsArray() && doc["encrypted"].IsBool())
        << line;
    std::string path = doc["path"].GetString();
    if (doc.HasMember("path_bytes")) {  // the exact name, where "path" could not carry it
      const std::string hex = doc["path_bytes"].GetString();
      path.clear();
      for (std::size_t i = 0; i + 1 < hex.size(); i += 2) path.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
      doc.EraseMember("path_bytes");
    }
    doc.EraseMember("path");  // keeps the order of the rest
    ASSERT_EQ(fixtureOf.count(path), 1u) << "unknown path in " << line;
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    doc.Accept(writer);
    answerOf[path] = buffer.GetString();
  }
  ASSERT_EQ(answerOf.size(), fixtureOf.size());
  for (const auto& [path, f] : fixtureOf)
    EXPECT_EQ(answerOf[path], answerOf[dir.path() + "/clean/deeper/" + std::to_string(f)]) << kFixtures[f] << " as " << path;

  // The same names given as arguments (after "--", so "-leading" is a file).
  std::vector<std::string> args = {"--"};
  for (const std::string& name : kNames) args.push_back(dir.path() + "/0/" + name);
  EXPECT_EQ(runHost(args).status, 0);

  // The table shows every name on one line with no control character.
  HostRun table = runHost({"--table", dir.path()});
  EXPECT_EQ(table.status, 0);
  EXPECT_EQ(std::count(table.out.begin(), table.out.end(), '\n'), static_cast<long>(fixtureOf.size() + 1));
  EXPECT_TRUE(std::none_of(table.out.begin(), table.out.end(), [](char c) {
    const auto b = static_cast<unsigned char>(c);
    return (b < 0x20 && b != '\n') || b == 0x7f || b == 0x9b;
  }));
  EXPECT_NE(table.out.find("new\\nline"), std::string::npos);
  EXPECT_NE(table.out.find("\\x1b]0;title\\x07"), std::string::npos);

  for (const std::string& where : {dir.path(), test::homeDir(), dir.path() + "/0", dir.path() + "/clean/deeper"})
    EXPECT_FALSE(test::fileExists(where + "/kpl_marker")) << "a name ran a command in " << where;
}

// Each file's own extension reaches kplFileType: by default in a table, and
// with --extension; JSON lines stay content-only unless asked.
TEST(CommandLineHost, TableSummaryExtensionModeAndUsage) {
  test::TempDir dir;
  dir.write("a.txt", "alpha\n");
  const std::string csv = dir.write("t.csv", "name,size,kind\nalpha,1,a\nbeta,2,b\ngamma,3,c\n");
  HostRun table = runHost({"--table", "--jobs", "3", dir.path()});
  EXPECT_EQ(table.status, 0);
  EXPECT_EQ(table.out.rfind("TYPE", 0), 0u) << table.out;
  EXPECT_NE(table.out.find("\nCSV "), std::string::npos) << table.out;
  EXPECT_NE(table.out.find("\nTXT "), std::string::npos) << table.out;
  const std::string summary = lastErrors();
  EXPECT_NE(summary.find("2 files"), std::string::npos) << summary;
  EXPECT_NE(summary.find("CSV"), std::string::npos) << summary;
  EXPECT_NE(runHost({"--table", "--content-only", csv}).out.find("\nTXT "), std::string::npos);

  const HostRun lines = runHost({"--extension", csv});
  EXPECT_NE(lines.out.find(R"("typeID":"CSV")"), std::string::npos) << lines.out;
  EXPECT_NE(lines.out.find(R"("type_ids":["TXT","CSV"])"), std::string::npos) << lines.out;
  const HostRun plain = runHost({csv});
  EXPECT_NE(plain.out.find(R"("typeID":"TXT")"), std::string::npos) << plain.out;
  EXPECT_EQ(plain.out.find("type_ids"), std::string::npos) << plain.out;

  EXPECT_EQ(runHost({"--no-such-option"}).status, 2);
  EXPECT_EQ(runHost({"--home", "/nonexistent", dir.path()}).status, 2);
}

// The help text lists one option per line: an option starts its line, and
// no second one follows after a column gap, as when two lines run together.
TEST(CommandLineHost, HelpNamesOneOptionPerLine) {
  const HostRun help = runHost({"--help"});
  ASSERT_EQ(help.status, 0);
  std::istringstream lines(help.out);
  int optionLines = 0;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("  -", 0) != 0) continue;
    ++optionLines;
    int options = 0;
    for (std::size_t at = 2; at < line.size(); ++at)
      if (line[at] == '-' && (at == 2 || line.compare(at - 2, 2, "  ") == 0)) ++options;
    EXPECT_EQ(options, 1) << line;
  }
  EXPECT_GE(optionLines, 10) << help.out;
}

// A home that lacks the engine is named, with what it lacks.
TEST(CommandLineHost, HomeWithoutTheEngineIsNamed) {
  test::TempDir home, files;
  const std::string file = files.write("a.txt", "alpha\n");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--home", home.path(), file}, {"--home", home.path(), "--version"}}) {
    EXPECT_EQ(runHost(args).status, 2);
    const std::string errors = lastErrors();
    EXPECT_NE(errors.find(home.path()), std::string::npos) << errors;
    EXPECT_NE(errors.find("has no kpl_engine.so"), std::string::npos) << errors;
  }
}

// The services print what the configuration exports write (their texts are
// checked with the exports): here the options reach them, one line each.
TEST(CommandLineHost, PropertiesAndConfigurationServices) {
  test::TempDir dir;
  HostRun props = runHost({"--properties", "heuristic_scan=1"});
  EXPECT_EQ(props.status, 0);
  EXPECT_NE(props.out.find(R"({"prop_name":"heuristic_scan","prop_value":"1",)"), std::string::npos) << props.out;
  EXPECT_EQ(runHost({"--properties", "heuristic_scan=9"}).status, 1);  // not an available value

  HostRun config = runHost({"--config", dir.write("engine.ini", "[engine]\nmax_file_size = 4096\n")});
  EXPECT_EQ(config.status, 0);
  EXPECT_EQ(config.out.rfind(R"({"version":)", 0), 0u) << config.out;
  EXPECT_NE(config.out.find("}\n{\"schema-version\":"), std::string::npos) << config.out;
  EXPECT_NE(config.out.find(R"("max_file_size":4096,)"), std::string::npos) << config.out;

  EXPECT_EQ(runHost({"--config", dir.write("broken.json", "{\"schema-version\": ")}).status, 1);
  EXPECT_NE(lastErrors().find("Fail to parse inputJSON"), std::string::npos);
}

// The paths of a run's JSON lines, each line checked to be one whole object.
std::multiset<std::string> scannedPaths(const std::string& out) {
  std::multiset<std::string> paths;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    rapidjson::Document doc;
    EXPECT_FALSE(doc.Parse(line.c_str()).HasParseError()) << line;
    if (doc.IsObject() && doc.HasMember("path") && doc.HasMember("typeID")) paths.insert(doc["path"].GetString());
  }
  return paths;
}

TEST(CommandLineHost, FileListsFromFilesAndStandardInput) {
  test::TempDir dir;
  const std::string a = dir.write("a.txt", "alpha\n");
  const std::string b = dir.write("b c.txt", "beta\n");
  const std::string multiLine = dir.write("two\nlines.txt", "gamma\n");
  const std::string arg = dir.write("arg.txt", "delta\n");
  const std::string missing = dir.path() + "/missing.txt";

  struct Case {
    const char* name;
    std::string list;
    std::vector<std::string> options;
    bool fromStdin;
    std::multiset<std::string> expected;
    int status;
  };
  const std::vector<Case> cases = {
      {"lines, CRLF and blank lines", a + "\r\n\n" + b + "\n", {}, false, {a, b, arg}, 0},
      {"last line without a newline", a + "\n" + b, {}, true, {a, b, arg}, 0},
      {"NUL-separated with a newline in a name", multiLine + std::string(1, '\0') + a + std::string(1, '\0'),
       {"-0"}, true, {multiLine, a, arg}, 0},
      {"a missing entry is reported, the rest scanned", a + "\n" + missing + "\n" + b + "\n", {}, false,
       {a, b, arg}, 1},
      {"an empty list", "", {}, true, {arg}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string list = dir.write("list", c.list);
    std::vector<std::string> args = c.options;
    args.insert(args.end(), {"--files-from", c.fromStdin ? "-" : list, arg});
    HostRun run = runHost(args, c.fromStdin ? list : "/dev/null");
    EXPECT_EQ(run.status, c.status) << lastErrors();
    EXPECT_EQ(scannedPaths(run.out), c.expected) << run.out;
    if (c.status != 0) {
      EXPECT_NE(lastErrors().find(missing + ": no such file"), std::string::npos);
    }
  }

  // Without -0 the name with a newline is two names, neither of them there.
  dir.write("list", multiLine + "\n");
  EXPECT_EQ(runHost({"--files-from", dir.path() + "/list"}).status, 1);
  // A closed standard input or an unreadable list is a start-up error.
  EXPECT_EQ(runHost({"--files-from", "-"}, "").status, 2);
  EXPECT_NE(lastErrors().find("cannot read the file list from standard input"), std::string::npos);
  EXPECT_EQ(runHost({"--files-from", dir.path() + "/no-such-list"}).status, 2);
  EXPECT_EQ(runHost({"-0", a}).status, 2);  // -0 describes a list
}

TEST(CommandLineHost, VersionNamesEngineDefinitionsLibmagicAndAllocator) {
  HostRun run = runHost({"--version"});
  ASSERT_EQ(run.status, 0) << lastErrors();
  tridlib::Library library;
  const int definitions = library.loadDefinitions((test::homeDir() + "/database/trid/").c_str());
  ASSERT_GT(definitions, 0);
  const int magic = magic_version();
  char magicText[32];
  std::snprintf(magicText, sizeof(magicText), "libmagic: %d.%02d\n", magic / 100, magic % 100);
  for (const std::string& expected :
       {std::string("kpl-filetype 1."), std::string("engine: FileType, interface version 3 ("),
        "signature library: definitions 5.2.11, " + std::to_string(definitions) + " definitions",
        std::string(magicText)})
    EXPECT_NE(run.out.find(expected), std::string::npos) << expected << " not in\n" << run.out;

  // The host restarts itself once with its allocator settings, and keeps
  // any the user gave instead.
  if (std::getenv("GLIBC_TUNABLES") == nullptr) {
    EXPECT_NE(run.out.find("allocator: glibc.malloc.hugetlb=1:"), std::string::npos) << run.out;
    ASSERT_EQ(::setenv("GLIBC_TUNABLES", "glibc.malloc.check=0", 1), 0);
    run = runHost({"--version"});
    ::unsetenv("GLIBC_TUNABLES");
    EXPECT_NE(run.out.find("allocator: glibc.malloc.check=0\n"), std::string::npos) << run.out;
  }
}

}  // namespace
}  // namespace kpl
