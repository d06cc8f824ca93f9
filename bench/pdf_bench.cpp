// Cost of the PDF step on hostile PDFs: time and peak memory of the header
// and Illustrator probe and of the password test (libqpdf) on files built
// here. Each case runs in a child process of its own, so its peak resident
// memory is its own.
//
//   pdf_bench [--size-mib N] [--keep DIR]
//
// Cases: a damaged PDF of N MiB (default 200) full of objects and without
// a usable cross-reference table, once without "/Encrypt" and once with it
// in its trailer (so libqpdf runs); an encryption dictionary nested 200,000
// levels deep; one reached through 100,000 chained references beside a
// trailer nested 100,000 levels; 20,000 chained cross-reference sections;
// and a cross-reference stream that inflates to 1 GiB.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "detect/pdf_probe.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

const char kEncryptDictionary[] =
    "<< /Filter /Standard /V 1 /R 2 /P -4 /O <0000000000000000000000000000000000000000000000000000000000000000>"
    " /U <0000000000000000000000000000000000000000000000000000000000000000>";

void writeDamaged(const std::string& path, uint64_t bytes, bool withEncrypt) {
  std::ofstream out(path, std::ios::binary);
  out << "%PDF-1.7\n";
  uint64_t written = 9;
  char line[128];
  for (unsigned n = 1; written < bytes; ++n) {
    int len = std::snprintf(line, sizeof(line), "%u 0 obj << /Type /Thing /Kids [%u 0 R] /V %u >> endobj\n", n, n + 1,
                            n);
    out.write(line, len);
    written += static_cast<uint64_t>(len);
  }
  out << "trailer << /Size 5 /Root 1 0 R " << (withEncrypt ? "/Encrypt 2 0 R " : "") << ">>\nstartxref\n123\n%%EOF\n";
}

// Objects laid out with a correct classic cross-reference table.
std::string withXref(const std::vector<std::string>& objects, const std::string& trailerExtra) {
  std::string out = "%PDF-1.7\n";
  std::vector<std::size_t> offsets;
  for (std::size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(out.size());
    out += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  std::size_t xref = out.size();
  out += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  char entry[32];
  for (std::size_t o : offsets) {
    std::snprintf(entry, sizeof(entry), "%010zu 00000 n \n", o);
    out += entry;
  }
  out += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R " + trailerExtra + ">>\nstartxref\n" +
         std::to_string(xref) + "\n%%EOF\n";
  return out;
}

void writeDeepEncrypt(const std::string& path) {
  const int depth = 200000;
  std::string deep = std::string(kEncryptDictionary) + " /Deep " + std::string(depth, '[') + std::string(depth, ']') + " >>";
  std::ofstream(path, std::ios::binary) << withXref({"<< /Type /Catalog >>", deep}, "/Encrypt 2 0 R ");
}

// /Encrypt reached through a chain of 100,000 objects, each a reference to
// the next, and a trailer nested 100,000 dictionaries deep.
void writeReferenceChain(const std::string& path) {
  std::vector<std::string> objects = {"<< /Type /Catalog >>"};
  const int chain = 100000;
  for (int i = 0; i < chain; ++i) objects.push_back(std::to_string(i + 3) + " 0 R");
  objects.push_back(kEncryptDictionary + std::string(" >>"));
  std::string nested;
  for (int i = 0; i < 100000; ++i) nested += "<< /A ";
  for (int i = 0; i < 100000; ++i) nested += ">> ";
  std::ofstream(path, std::ios::binary) << withXref(objects, "/Encrypt 2 0 R /Deep " + nested);
}

void writePrevChain(const std::string& path) {
  std::string out = withXref({"<< /Type /Catalog >>", kEncryptDictionary + std::string(" >>")}, "/Encrypt 2 0 R ");
  std::size_t last = out.rfind("xref\n");
  for (int i = 0; i < 20000; ++i) {
    std::size_t at = out.size();
    out += "xref\n0 1\n0000000000 65535 f \ntrailer\n<< /Size 3 /Root 1 0 R /Encrypt 2 0 R /Prev " +
           std::to_string(last) + " >>\nstartxref\n" + std::to_string(at) + "\n%%EOF\n";
    last = at;
  }
  std::ofstream(path, std::ios::binary) << out;
}

void writeXrefStreamBomb(const std::string& path) {
  std::string raw(1u << 30, '\0');
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  std::string packed(packedSize, '\0');
  compress2(reinterpret_cast<Bytef*>(&packed[0]), &packedSize, reinterpret_cast<const Bytef*>(raw.data()),
            static_cast<uLong>(raw.size()), 9);
  packed.resize(packedSize);
  raw.clear();
  raw.shrink_to_fit();
  std::string out = "%PDF-1.7\n1 0 obj\n<< /Type /Catalog >>\nendobj\n2 0 obj\n" + std::string(kEncryptDictionary) +
                    " >>\nendobj\n";
  std::size_t xref = out.size();
  out += "3 0 obj\n<< /Type /XRef /Size 4 /W [1 4 2] /Root 1 0 R /Encrypt 2 0 R /Filter /FlateDecode /Length " +
         std::to_string(packed.size()) + " >>\nstream\n" + packed + "\nendstream\nendobj\nstartxref\n" +
         std::to_string(xref) + "\n%%EOF\n";
  std::ofstream(path, std::ios::binary) << out;
}

void runCase(const char* name, const std::string& path) {
  std::fflush(stdout);
  pid_t child = ::fork();
  if (child == 0) {
    auto start = Clock::now();
    const std::string p = path;
    unsigned char kind = kpl::classifyPDFType(p, static_cast<unsigned long>(fs::file_size(p)));
    double classify = std::chrono::duration<double>(Clock::now() - start).count();
    start = Clock::now();
    bool locked = kpl::isPDFPasswordProtection(p);
    double password = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("%-28s %8.1f MiB  kind %d  protected %d  classify %7.3f s  password test %7.3f s", name,
                static_cast<double>(fs::file_size(p)) / (1024.0 * 1024.0), kind, locked ? 1 : 0, classify, password);
    std::fflush(stdout);
    std::_Exit(0);
  }
  int status = 0;
  struct rusage usage {};
  ::wait4(child, &status, 0, &usage);
  std::printf("  peak RSS %6.1f MiB%s\n", static_cast<double>(usage.ru_maxrss) / 1024.0,
              WIFEXITED(status) && WEXITSTATUS(status) == 0 ? "" : "  (child failed)");
}

}  // namespace

int main(int argc, char** argv) {
  uint64_t sizeMiB = 200;
  std::string keep;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--size-mib") == 0) sizeMiB = std::strtoull(argv[i + 1], nullptr, 10);
    if (std::strcmp(argv[i], "--keep") == 0) keep = argv[i + 1];
  }
  const fs::path dir = keep.empty() ? fs::temp_directory_path() / ("pdf_bench_" + std::to_string(::getpid())) : fs::path(keep);
  fs::create_directories(dir);
  struct Case {
    const char* name;
    std::string file;
    std::function<void(const std::string&)> write;
  };
  const uint64_t bytes = sizeMiB * 1024 * 1024;
  const std::vector<Case> cases = {
      {"damaged, no /Encrypt", "damaged.pdf", [&](const std::string& p) { writeDamaged(p, bytes, false); }},
      {"damaged, /Encrypt in trailer", "damaged_encrypt.pdf", [&](const std::string& p) { writeDamaged(p, bytes, true); }},
      {"encrypt dict 200000 deep", "deep.pdf", writeDeepEncrypt},
      {"100000 chained references", "reference_chain.pdf", writeReferenceChain},
      {"20000 chained xref sections", "prev_chain.pdf", writePrevChain},
      {"xref stream inflating 1 GiB", "xref_bomb.pdf", writeXrefStreamBomb},
  };
  for (const Case& c : cases) {
    const std::string path = (dir / c.file).string();
    if (!fs::exists(path)) c.write(path);
    runCase(c.name, path);
  }
  if (keep.empty()) fs::remove_all(dir);
  return 0;
}
