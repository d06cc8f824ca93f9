// Minimal ZIP packages for the package tests: stored members with correct
// checksums (libzip verifies them), optional flags per member, and the
// local header an Office writer puts first.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kpl::test {

class PackageBuilder {
 public:
  using Bytes = std::vector<uint8_t>;

  // The first local header becomes 50 4B 03 04 14 00 06 00, as Office
  // writes it; otherwise version and flags are zero.
  PackageBuilder& officeHeader() { return officeHeader_ = true, *this; }
  PackageBuilder& add(const std::string& name, const std::string& content, uint16_t flags = 0) {
    members_.push_back({name, content, flags});
    return *this;
  }
  // An Office Open XML package declaring one main part of contentType.
  static PackageBuilder office(const std::string& contentType, const std::string& mainPart = "word/document.xml",
                               const std::string& relType = kOfficeDocumentRel) {
    PackageBuilder b;
    b.add("[Content_Types].xml", "<?xml version=\"1.0\"?><Types><Override PartName=\"/" + mainPart +
                                     "\" ContentType=\"" + contentType + "\"/></Types>");
    b.add("_rels/.rels", rels("<Relationship Id=\"rId1\" Type=\"" + relType + "\" Target=\"/" + mainPart + "\"/>"));
    b.add(mainPart, "<document/>");
    return b;
  }
  static std::string rels(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Relationships>" + body + "</Relationships>";
  }
  static constexpr const char* kOfficeDocumentRel =
      "http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument";

  Bytes bytes() const {
    Bytes out, central;
    for (std::size_t i = 0; i < members_.size(); ++i) {
      const Member& m = members_[i];
      const bool office = officeHeader_ && i == 0;
      const uint32_t crc = crc32(m.content), size = static_cast<uint32_t>(m.content.size());
      const uint32_t local = static_cast<uint32_t>(out.size());
      const uint16_t version = office ? 20 : 10, flags = office ? 6 : m.flags;
      u32(out, 0x04034B50), u16(out, version), u16(out, flags), u16(out, 0), u32(out, 0), u32(out, crc);
      u32(out, size), u32(out, size), u16(out, static_cast<uint16_t>(m.name.size())), u16(out, 0);
      text(out, m.name), text(out, m.content);
      u32(central, 0x02014B50), u16(central, 20), u16(central, version), u16(central, flags), u16(central, 0);
      u32(central, 0), u32(central, crc), u32(central, size), u32(central, size);
      u16(central, static_cast<uint16_t>(m.name.size())), u16(central, 0), u16(central, 0), u16(central, 0);
      u16(central, 0), u32(central, 0), u32(central, local), text(central, m.name);
    }
    const uint32_t at = static_cast<uint32_t>(out.size());
    out.insert(out.end(), central.begin(), central.end());
    const auto count = static_cast<uint16_t>(members_.size());
    u32(out, 0x06054B50), u16(out, 0), u16(out, 0), u16(out, count), u16(out, count);
    u32(out, static_cast<uint32_t>(central.size())), u32(out, at), u16(out, 0);
    return out;
  }

  static uint32_t crc32(const std::string& data) {
    uint32_t c = 0xFFFFFFFFu;
    for (unsigned char byte : data) {
      c ^= byte;
      for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
  }

 private:
  struct Member {
    std::string name, content;
    uint16_t flags;
  };
  static void u16(Bytes& b, uint16_t v) { b.insert(b.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}); }
  static void u32(Bytes& b, uint32_t v) { u16(b, static_cast<uint16_t>(v)), u16(b, static_cast<uint16_t>(v >> 16)); }
  static void text(Bytes& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }

  std::vector<Member> members_;
  bool officeHeader_ = false;
};

}  // namespace kpl::test
