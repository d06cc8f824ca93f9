#include "tools/result_format.h"

#include <cstdarg>
#include <cstdio>

#include <rapidjson/document.h>

#include "common/json_text.h"

namespace kpl::host {

namespace {

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

}  // namespace

// Control characters (C0, DEL and C1, which a terminal takes for commands)
// and bytes that are not UTF-8 are written as \xNN (\n, \t and \r by name),
// and a backslash as two, so that a file name can neither rewrite the
// screen nor pass for another name.
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

std::string memberValue(const std::string& json, const std::string& name) {
  rapidjson::Document doc;
  if (doc.Parse(json.c_str(), json.size()).HasParseError() || !doc.IsObject()) return std::string();
  auto it = doc.FindMember(name.c_str());
  if (it == doc.MemberEnd()) return std::string();
  if (it->value.IsString()) return std::string(it->value.GetString(), it->value.GetStringLength());
  if (it->value.IsBool()) return it->value.GetBool() ? "true" : "false";
  return std::string();
}

void formatResult(std::string& out, bool table, const std::string& path, const Outcome& outcome) {
  if (!table) {
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
    const std::string failure = "engine returned " + std::to_string(outcome.rc);
    appendf(out, "%-16s %-3s %-44s %s\n", "(failed)", "", failure.c_str(), displayText(path).c_str());
    return;
  }
  std::string enc = memberValue(outcome.json, "encrypted") == "true" ? "yes" : "";
  // The flag before the MIME type: Office types' long MIME types push only
  // the path out of line.
  appendf(out, "%-16s %-3s %-44s %s\n", displayText(memberValue(outcome.json, "typeID")).c_str(), enc.c_str(),
          displayText(memberValue(outcome.json, "type")).c_str(), displayText(path).c_str());
}

std::string tableHeader() {
  std::string out;
  appendf(out, "%-16s %-3s %-44s %s\n", "TYPE", "ENC", "MIME TYPE", "PATH");
  return out;
}

void writeLines(std::string& lines) {
  if (!lines.empty()) std::fwrite(lines.data(), 1, lines.size(), stdout);
  std::fflush(stdout);
  lines.clear();
}

void printSummary(std::size_t files, double seconds, int jobs, int failed,
                  const std::map<std::string, int>& perType) {
  std::fprintf(stderr, "%zu files in %.2f s with %d threads", files, seconds, jobs);
  if (failed) std::fprintf(stderr, ", %d failed", failed);
  std::fprintf(stderr, "\n");
  for (const auto& [type, count] : perType) std::fprintf(stderr, "  %-20s %d\n", displayText(type).c_str(), count);
}

}  // namespace kpl::host
