// Minimal ZIP packages for the package tests: optional flags per member,
// and the local header an Office writer puts first.
#pragma once

#include "archive/archive_builders.h"

namespace kpl::test {

class PackageBuilder {
 public:
  // The first local header becomes 50 4B 03 04 14 00 06 00, as Office
  // writes it; otherwise version 10 and the member's flags.
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
    ZipBuilder zip;
    for (std::size_t i = 0; i < members_.size(); ++i) {
      const bool office = officeHeader_ && i == 0;
      zip.entry(members_[i].name, members_[i].content, true, office ? 6 : members_[i].flags, office ? 20 : 10);
    }
    return zip.bytes();
  }

 private:
  struct Member {
    std::string name, content;
    uint16_t flags;
  };
  std::vector<Member> members_;
  bool officeHeader_ = false;
};

}  // namespace kpl::test
