// The eleven type groups: which group each type identifier belongs to, and
// the groups JSON handed to the host.
#pragma once

#include <list>
#include <map>
#include <string>
#include <vector>

namespace kpl {

// One member of a group.
struct FileTypeInputStructure {
  std::string typeId;
  std::string description;
  std::string extensions;  // ".gz,.tgz"
};

struct FileTypeGroup {
  FileTypeGroup(std::string groupId, std::string groupDescription, std::list<FileTypeInputStructure> groupTypes)
      : id(std::move(groupId)), description(std::move(groupDescription)), types(std::move(groupTypes)) {}
  std::string id;           // "A"
  std::string description;  // "Archive Files"
  std::list<FileTypeInputStructure> types;
};

// Type identifier -> ids of its groups, in group order (built by init).
extern std::map<std::string, std::vector<std::string>> map_TypeToGroupId;
// The groups JSON (built by init; empty before).
extern std::string cacheFileTypeGroups;

// Appends a member; the empty identifier is the placeholder "-" entry, and a
// beta member's description gets "[BETA] " in front.
void insertToFileTypeList(std::list<FileTypeInputStructure>& list, const std::string& typeId,
                          const std::string& extensions, int beta);
void initFileTypeGroup();
int cacheFileTypeGroupToJson(std::list<FileTypeGroup> groups);

// The group table's rows, for initFileTypeGroup (and table tests).
struct GroupMemberRow {
  const char* typeId;
  const char* extensions;  // null: "." and the lower-case identifier
  bool beta;
};
struct GroupRow {
  const char* id;
  const char* name;
  std::vector<GroupMemberRow> members;
};
const std::vector<GroupRow>& fileTypeGroupTable();

}  // namespace kpl
