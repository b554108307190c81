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
                    std::vector<uint8_t>& isKey)
{
    if (!code.callsStringHashCode || code.strings.empty() || code.switchKeys.empty())
        return;
    keys.assign(code.switchKeys.begin(), code.switchKeys.end());
    std::sort(keys.begin(), keys.end());
    for (const LoadedString& loaded : code.strings) {
        const Constant* string = cf.At(loaded.stringIndex, Tag::String);
        if (string == nullptr || isKey[string->StringIndex()] != 0)
            continue;
        if (!DecodeModifiedUtf8(cf.Utf8Bytes(string->StringIndex()), units).Ok())
            continue;  // no Java string has these bytes, so no switch can match it
        if (std::binary_search(keys.begin(), keys.end(), JavaStringHash(units)))
            isKey[string->StringIndex()] = 1;
    }
}

// Pattern-switch labels and a record's component names are parsed by the runtime's own
// bootstrap methods.
void MarkBootstrapKeys(const ClassFile& cf, std::vector<uint8_t>& isKey)
{
    for (const BootstrapMethod& method : cf.bootstrapMethods) {
        const std::optional<MemberRef> member = cf.MethodHandleMember(method.methodHandleIndex);
        if (!member || (member->className != "java/lang/runtime/SwitchBootstraps" &&
                        member->className != "java/lang/runtime/ObjectMethods"))
            continue;
        for (const uint16_t argument : cf.Arguments(method)) {
            if (const Constant* string = cf.At(argument, Tag::String))
                isKey[string->StringIndex()] = 1;
        }
    }
}

Role Decide(uint8_t uses, bool key)
{
    if (key)
        return Role::Key;
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

}  // namespace

std::vector<Role> ComputeRoles(const ClassFile& cf)
{
    std::vector<Role> roles(cf.pool.size(), Role::None);
    if (!cf.parsed || cf.utf8Uses.size() != cf.pool.size())
        return roles;
    std::vector<uint8_t> isKey(cf.pool.size(), 0);
    std::vector<int32_t> keys;
    std::u16string units;
    for (const CodeInfo& code : cf.codes)
        MarkSwitchKeys(cf, code, keys, units, isKey);
    MarkBootstrapKeys(cf, isKey);
    for (size_t i = 1; i < cf.pool.size(); ++i) {
        if (cf.pool[i].tag == Tag::Utf8)
            roles[i] = Decide(cf.utf8Uses[i], isKey[i] != 0);
    }
    return roles;
}

ScanRoleMap::ScanRoleMap(const ClassFile& cf, const std::vector<Role>& roles)
{
    if (!cf.parsed || roles.size() != cf.pool.size())
        return;
    available_ = true;
    offsets_.reserve(cf.pool.size());
    roles_.reserve(cf.pool.size());
    for (size_t i = 1; i < cf.pool.size(); ++i) {
        if (cf.pool[i].tag == Tag::Utf8) {
            offsets_.push_back(cf.pool[i].offset);  // pool entries lie in file order
            roles_.push_back(roles[i]);
        }
    }
}

std::optional<Role> ScanRoleMap::RoleAtRow(int64_t rowOffset) const noexcept
{
    if (!available_)
        return std::nullopt;
    const int64_t tagOffset = rowOffset - 1;
    if (tagOffset < 0 || tagOffset > int64_t{UINT32_MAX})
        return Role::None;
    const auto hit = std::lower_bound(offsets_.begin(), offsets_.end(), static_cast<uint32_t>(tagOffset));
    if (hit == offsets_.end() || *hit != tagOffset)
        return Role::None;
    return roles_[static_cast<size_t>(hit - offsets_.begin())];
}

std::vector<Role> ScanRoleMap::RolesOfRows(const StringList& list) const
{
    std::vector<Role> result;
    if (!available_)
        return result;
    result.reserve(list.rows.size());
    size_t at = 0;  // first Utf8 entry not before the previous row
    int64_t previous = -1;
    for (const StringRow& row : list.rows) {
        const int64_t tagOffset = int64_t{row.offset} - 1;
        if (tagOffset < previous)  // a new run of rising offsets starts
            at = static_cast<size_t>(std::lower_bound(offsets_.begin(), offsets_.end(),
                                                      static_cast<uint32_t>(std::max<int64_t>(tagOffset, 0))) -
                                     offsets_.begin());
        while (at < offsets_.size() && int64_t{offsets_[at]} < tagOffset)
            ++at;
        result.push_back(at < offsets_.size() && int64_t{offsets_[at]} == tagOffset ? roles_[at] : Role::None);
        previous = tagOffset;
    }
    return result;
}

}  // namespace cl::classfile
