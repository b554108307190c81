#pragma once
// The role of every CONSTANT_Utf8 entry: whether a translator may change it (a literal), must
// not because the program compares it (a key), or must not because it is also, or only, part
// of the program's structure. The byte scan's rows are looked up by their tag byte.

#include "scan/StringList.h"
#include "classfile/ClassFile.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace cl::classfile {

enum class Role : uint8_t {
    Literal,     // only the text of string constants
    Key,         // a string constant a string switch or a bootstrap method compares or parses
    Shared,      // a string constant's text that is also a name, descriptor, ...
    Annotation,  // only an annotation element's string value
    Name,
    Descriptor,
    Signature,
    Attribute,  // an attribute's name
    Other,      // the source file name, a module version, unused, or uses of several kinds
    None,       // not a Utf8 entry (for a scan row: a false match in code, flags or numbers)
};

// "literal", "key", "shared", "annotation", "name", "descriptor", "signature", "attribute",
// "other", "none".
const char* RoleWord(Role role) noexcept;

// One role per pool index (None for entries that are not Utf8). A key stays a key when it is
// also a name: changing it breaks the comparison whatever else it is. A class that did not
// parse gives None throughout, as its facts are incomplete.
std::vector<Role> ComputeRoles(const ClassFile& classFile);

// Roles of the byte scan's rows. Built once per opened file; each lookup is a binary search
// over the Utf8 entries' tag offsets.
class ScanRoleMap {
public:
    ScanRoleMap() = default;  // a language pack: no row has a role
    ScanRoleMap(const ClassFile& classFile, const std::vector<Role>& roles);

    // False for a language pack or a class that did not parse: the rows have no role then.
    bool Available() const noexcept { return available_; }
    // The role of the scan row whose tag byte is at 1-based `rowOffset`: None when no Utf8
    // entry starts there; nullopt when the map is not available.
    std::optional<Role> RoleAtRow(int64_t rowOffset) const noexcept;
    // The roles of all rows of a scan, in row order, in one pass (the scan lists rows in runs
    // of rising offsets); empty when the map is not available.
    std::vector<Role> RolesOfRows(const StringList& list) const;

private:
    struct Entry {
        uint32_t offset;  // 0-based tag offset of a Utf8 entry
        Role role;
    };
    bool available_ = false;
    std::vector<Entry> entries_;  // the Utf8 entries, offsets ascending
};

}  // namespace cl::classfile
