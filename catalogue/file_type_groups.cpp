#include "catalogue/file_type_groups.h"

#include <cctype>

#include "catalogue/file_type_catalogue.h"

namespace kpl {

std::map<std::string, std::vector<std::string>> map_TypeToGroupId;
std::string cacheFileTypeGroups;

namespace {

std::string defaultExtensions(const std::string& typeId) {
  std::string ext = ".";
  for (char c : typeId) ext.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  return ext;
}

// Drops one trailing comma left by the member and group loops.
void dropTrailingComma(std::string& text) {
  if (!text.empty() && text.back() == ',') text.pop_back();
}

}  // namespace

void insertToFileTypeList(std::list<FileTypeInputStructure>& list, const std::string& typeId,
                          const std::string& extensions, int beta) {
  FileTypeInputStructure member;
  member.typeId = typeId;
  if (typeId.empty()) {
    member.description = "-";
    member.extensions = "-";
  } else {
    member.description = (beta == 1 ? "[BETA] " : "") + describe(typeId);
    member.extensions = extensions;
  }
  list.push_back(member);
}

void initFileTypeGroup() {
  std::list<FileTypeGroup> groups;
  std::list<FileTypeInputStructure> members;
  for (const GroupRow& row : fileTypeGroupTable()) {
    for (const GroupMemberRow& m : row.members)
      insertToFileTypeList(members, m.typeId, m.extensions ? m.extensions : defaultExtensions(m.typeId),
                           m.beta ? 1 : 0);
    groups.emplace_back(row.id, row.name, members);
    members.clear();
  }
  cacheFileTypeGroupToJson(groups);
  map_TypeToGroupId.clear();  // init after deinit starts from empty, not from the last run's groups
  for (const FileTypeGroup& group : groups)
    for (const FileTypeInputStructure& member : group.types) map_TypeToGroupId[member.typeId].push_back(group.id);
}

// Nothing here is escaped: the catalogue's texts hold no quote or backslash
// (a table test checks that).
int cacheFileTypeGroupToJson(std::list<FileTypeGroup> groups) {
  std::string json = "{";
  for (const FileTypeGroup& group : groups) {
    json += "\"" + group.id + "\":{\"types\":[";
    for (const FileTypeInputStructure& m : group.types)
      json += "{\"id\":\"" + m.typeId + "\",\"description\":\"" + m.description + "\",\"extensions\":\"" +
              m.extensions + "\"},";
    dropTrailingComma(json);
    json += "],\"description\":\"" + group.description + "\"},";
  }
  dropTrailingComma(json);
  json += "}";
  cacheFileTypeGroups = json;
  return 0;
}

}  // namespace kpl
