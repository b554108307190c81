#pragma once
// The program's class hierarchy, for the program-wide step: each class found by name (the
// first of a name is the one that runs), its superclass and interfaces among the program's
// classes, its subclasses and implementations; and member resolution on it. A call resolves
// upwards to the declaration it names (a superclass's method, an interface's default method,
// or the platform class the program's classes extend) and downwards to every override, since
// any of them may run; a field reference resolves to the class or interface that declares it.
// Each member reference is resolved once, however many calls name it.

#include "usage/ClassFacts.h"
#include "usage/FlatMap.h"
#include "usage/TextHash.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

namespace cl::usage {

inline uint64_t HashMember(const MemberRef& ref) noexcept
{
    return HashText(ref.descriptor, HashText(ref.name, HashText(ref.owner)));
}

// A member a call names and what it may run. Every view points into the classes' own text,
// which lives as long as the program-wide step.
struct Target {
    MemberRef ref;
    bool resolved = false;
    bool unresolvedOwner = false;
    std::string_view library;  // the first platform class it is inherited from, if any
    uint32_t firstMethod = 0;  // the (class, method) pairs it may run, in ClassHierarchy::MethodsOf
    uint32_t methodCount = 0;
};

class ClassHierarchy {
public:
    // Indexes `classes`, which must outlive this; `targetsGuess` sizes the table of targets.
    void Build(const std::vector<ClassFacts>& classes, size_t targetsGuess);

    std::span<const uint32_t> InterfacesOf(uint32_t ci) const
    {
        return {interfaceOf_.data() + interfaceFirst_[ci], interfaceFirst_[ci + 1] - interfaceFirst_[ci]};
    }

    // The target of a member reference, the same for the same owner, name and descriptor.
    uint32_t TargetOf(const MemberRef& ref);
    const Target& TargetAt(uint32_t target) const { return targets_[target]; }
    // Which of the program's methods a call of `target` may run, and the platform class it may
    // reach; worked out the first time it is asked for.
    const Target& Resolve(uint32_t target);
    std::span<const std::pair<uint32_t, uint16_t>> MethodsOf(const Target& t) const
    {
        return {targetMethods_.data() + t.firstMethod, t.methodCount};
    }

    // The field a reference means, as (class, field): declared by its class, an interface or
    // a superclass; none when the program does not declare it.
    std::optional<std::pair<uint32_t, uint16_t>> ResolveField(const MemberRef& ref);

private:
    // The class of that internal name among the program's, or -1.
    int64_t ClassOf(std::string_view name) const;
    // The method of that name and descriptor declared by class `ci`, or -1.
    int32_t MethodOf(uint32_t ci, std::string_view name, std::string_view descriptor) const;
    std::optional<std::pair<uint32_t, uint16_t>> FindField(const MemberRef& ref);
    uint32_t NewStamp();

    const std::vector<ClassFacts>* classes_ = nullptr;
    FlatMap classIds_;                     // hash of a class name -> the first class of that name
    std::vector<int32_t> superOf_;         // per class: its superclass among the classes, or -1
    std::vector<uint32_t> interfaceFirst_;  // per class, into interfaceOf_; one more at the end
    std::vector<uint32_t> interfaceOf_;    // the interfaces among the classes, in order
    std::vector<uint32_t> childFirst_;     // per class, into children_; one more at the end
    std::vector<uint32_t> children_;

    std::vector<Target> targets_;
    FlatMap targetIds_;  // hash of a member -> its index in targets_
    std::vector<std::pair<uint32_t, uint16_t>> targetMethods_;

    // Field references resolved: hash of the reference -> its index in fieldRefs_.
    struct FieldRef {
        MemberRef ref;
        std::optional<std::pair<uint32_t, uint16_t>> field;
    };
    std::vector<FieldRef> fieldRefs_;
    FlatMap fieldRefIds_;

    // Scratch of the resolutions: the classes met (a class is met when it holds the current
    // stamp) and the classes still to look at.
    std::vector<uint32_t> metAt_;
    uint32_t stamp_ = 0;
    std::vector<uint32_t> pending_;
    std::vector<uint32_t> interfaces_;
    std::vector<std::pair<uint32_t, uint16_t>> found_;
};

}  // namespace cl::usage
