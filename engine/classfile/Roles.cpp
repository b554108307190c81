#include "classfile/Roles.h"

#include "classfile/ModifiedUtf8.h"

#include <algorithm>
#include <string>

namespace cl::classfile {

const char* RoleWord(Role role) noexcept
{
    switch (role) {
        case Role::Literal: return "literal";
        case Role::Key: return "key";
        case Role::Shared: return "shared";
        case Role::Annotation: return "annotation";
        case Role::Name: return "name";
        case Role::Descriptor: return "descriptor";
        case Role::Signature: return "signature";
        case Role::Attribute: return "attribute";
        case Role::Other: return "other";
        case Role::None: return "none";
    }
    return "none";
}

namespace {

// Strings a compiled string switch compares: javac switches on hashCode() first, so a string
// whose hash is among the switch's keys is matched by its exact text.
void MarkSwitchKeys(const ClassFile& cf, const CodeInfo& code, std::vector<int32_t>& keys, std::u16string& units,
                    std::vector<Role>& roles)
{
    if (!code.callsStringHashCode || code.strings.empty() || code.switchKeys.empty())
        return;
    keys.assign(code.switchKeys.begin(), code.switchKeys.end());
    std::sort(keys.begin(), keys.end());
    for (const LoadedString& loaded : code.strings) {
        const Constant* string = cf.At(loaded.stringIndex, Tag::String);
        if (string == nullptr || roles[string->StringIndex()] == Role::Key)
            continue;
        if (!DecodeModifiedUtf8(cf.Utf8Bytes(string->StringIndex()), units).Ok())
            continue;  // no Java string has these bytes, so no switch can match it
        if (std::binary_search(keys.begin(), keys.end(), JavaStringHash(units)))
            roles[string->StringIndex()] = Role::Key;
    }
}

// Pattern-switch labels and a record's component names are parsed by the runtime's own
// bootstrap methods.
void MarkBootstrapKeys(const ClassFile& cf, std::vector<Role>& roles)
{
    for (const BootstrapMethod& method : cf.bootstrapMethods) {
        const std::optional<ReferencedMember> member = cf.MethodHandleMember(method.methodHandleIndex);
        if (!member || (member->className != "java/lang/runtime/SwitchBootstraps" &&
                        member->className != "java/lang/runtime/ObjectMethods"))
            continue;
        for (const uint16_t argument : cf.Arguments(method)) {
            if (const Constant* string = cf.At(argument, Tag::String))
                roles[string->StringIndex()] = Role::Key;
        }
    }
}

constexpr Role Decide(uint8_t uses)
{
    if ((uses & use::kString) != 0)
        return uses == use::kString ? Role::Literal : Role::Shared;
    switch (uses) {
        case use::kAnnotation: return Role::Annotation;
        case use::kName: return Role::Name;
        case use::kDescriptor: return Role::Descriptor;
        case use::kSignature: return Role::Signature;
        case use::kAttribute: return Role::Attribute;
        default: return Role::Other;  // unused, the source file name, or uses of several kinds
    }
}

// Decide for every combination of use bits, worked out once: the pool's entries are then
// looked up instead of branched over.
struct RoleTable {
    Role byUses[128] = {};
    constexpr RoleTable()
    {
        for (unsigned uses = 0; uses < 128; ++uses)
            byUses[uses] = Decide(static_cast<uint8_t>(uses));
    }
};
constexpr RoleTable kRoleTable;
static_assert(use::kOther < 128, "the use bits fit the table");

}  // namespace

std::vector<Role> ComputeRoles(const ClassFile& cf)
{
    std::vector<Role> roles(cf.pool.size(), Role::None);
    if (!cf.parsed)
        return roles;
    // Keys are marked first, straight in the result (a String's text is always a Utf8 entry);
    // every other Utf8 entry then gets the role its uses give it.
    std::vector<int32_t> keys;
    std::u16string units;
    for (const CodeInfo& code : cf.codes)
        MarkSwitchKeys(cf, code, keys, units, roles);
    MarkBootstrapKeys(cf, roles);
    const Constant* pool = cf.pool.data();
    for (size_t i = 1; i < cf.pool.size(); ++i) {
        if (pool[i].tag == Tag::Utf8 && roles[i] != Role::Key)
            roles[i] = kRoleTable.byUses[pool[i].uses & 0x7F];
    }
    return roles;
}

ScanRoleMap::ScanRoleMap(const ClassFile& cf, const std::vector<Role>& roles)
{
    if (!cf.parsed || roles.size() != cf.pool.size())
        return;
    available_ = true;
    entries_.reserve(cf.pool.size());
    const Constant* pool = cf.pool.data();
    for (size_t i = 1; i < cf.pool.size(); ++i) {
        if (pool[i].tag == Tag::Utf8)
            entries_.push_back({pool[i].offset, roles[i]});  // pool entries lie in file order
    }
}

std::optional<Role> ScanRoleMap::RoleAtRow(int64_t rowOffset) const noexcept
{
    if (!available_)
        return std::nullopt;
    const int64_t tagOffset = rowOffset - 1;
    if (tagOffset < 0 || tagOffset > int64_t{UINT32_MAX})
        return Role::None;
    const auto hit = std::lower_bound(entries_.begin(), entries_.end(), static_cast<uint32_t>(tagOffset),
                                      [](const Entry& e, uint32_t offset) { return e.offset < offset; });
    if (hit == entries_.end() || hit->offset != tagOffset)
        return Role::None;
    return hit->role;
}

std::vector<Role> ScanRoleMap::RolesOfRows(const StringList& list) const
{
    std::vector<Role> result;
    if (!available_)
        return result;
    result.resize(list.rows.size());
    Role* out = result.data();
    const Entry* const begin = entries_.data();
    const Entry* const end = begin + entries_.size();
    const Entry* at = begin;  // first Utf8 entry not before the previous row
    int64_t previous = -1;
    for (const StringRow& row : list.rows) {
        const int64_t tagOffset = int64_t{row.offset} - 1;
        if (tagOffset < previous)  // a new run of rising offsets starts
            at = std::lower_bound(begin, end, static_cast<uint32_t>(std::max<int64_t>(tagOffset, 0)),
                                  [](const Entry& e, uint32_t offset) { return e.offset < offset; });
        while (at != end && int64_t{at->offset} < tagOffset)
            ++at;
        *out++ = at != end && int64_t{at->offset} == tagOffset ? at->role : Role::None;
        previous = tagOffset;
    }
    return result;
}

}  // namespace cl::classfile
