#include "usage/ClassHierarchy.h"

#include <algorithm>

namespace cl::usage {

inline uint32_t ClassHierarchy::NewStamp()
{
    if (++stamp_ == 0) {
        std::fill(metAt_.begin(), metAt_.end(), 0u);
        stamp_ = 1;
    }
    return stamp_;
}

uint32_t ClassHierarchy::TargetOf(const MemberRef& ref)
{
    for (uint64_t key = HashMember(ref);; key = NextKey(key)) {
        bool fresh = false;
        const uint32_t id = targetIds_.FindOrInsert(key, static_cast<uint32_t>(targets_.size()), fresh);
        if (fresh) {
            Target t;
            t.ref = ref;
            targets_.push_back(t);
            return id;
        }
        const MemberRef& known = targets_[id].ref;
        if (known.owner == ref.owner && known.name == ref.name && known.descriptor == ref.descriptor)
            return id;
    }
}

inline int64_t ClassHierarchy::ClassOf(std::string_view name) const
{
    for (uint64_t key = HashText(name);; key = NextKey(key)) {
        const uint32_t* found = classIds_.Find(key);
        if (found == nullptr)
            return -1;
        if ((*classes_)[*found].name == name)
            return *found;
    }
}

inline int32_t ClassHierarchy::MethodOf(uint32_t ci, std::string_view name, std::string_view descriptor) const
{
    const std::vector<MethodFacts>& methods = (*classes_)[ci].methods;
    for (size_t mi = 0; mi < methods.size(); ++mi) {
        const MethodFacts& m = methods[mi];
        if (m.name.size() == name.size() && m.descriptor.size() == descriptor.size() && m.name == name &&
            m.descriptor == descriptor)
            return static_cast<int32_t>(mi);
    }
    return -1;
}

// Which of the program's methods a call may run, and the platform class it may reach.
const Target& ClassHierarchy::Resolve(uint32_t target)
{
    Target& t = targets_[target];
    if (t.resolved)
        return t;
    t.resolved = true;
    const int64_t owner = ClassOf(t.ref.owner);
    if (owner < 0) {
        t.library = t.ref.owner;
        t.unresolvedOwner = true;
        return t;
    }
    found_.clear();
    auto take = [&](uint32_t ci) {
        const int32_t mi = MethodOf(ci, t.ref.name, t.ref.descriptor);
        if (mi < 0)
            return false;
        if ((*classes_)[ci].methods[static_cast<size_t>(mi)].hasCode)
            found_.emplace_back(ci, static_cast<uint16_t>(mi));
        return true;
    };
    auto finish = [&] {
        std::sort(found_.begin(), found_.end());
        found_.erase(std::unique(found_.begin(), found_.end()), found_.end());
        t.firstMethod = static_cast<uint32_t>(targetMethods_.size());
        t.methodCount = static_cast<uint32_t>(found_.size());
        targetMethods_.insert(targetMethods_.end(), found_.begin(), found_.end());
    };
    if (t.ref.name == "<init>" || t.ref.name == "<clinit>") {
        take(static_cast<uint32_t>(owner));
        finish();
        return t;
    }
    // Upwards: the declaration the call resolves to (a superclass's, or an interface's
    // default method), or the platform class the program's classes extend.
    interfaces_.clear();
    uint32_t met = NewStamp();
    bool declared = false;
    std::string_view at = t.ref.owner;
    int64_t ci = owner;
    for (int depth = 0; depth < 4096 && !declared; ++depth) {
        if (ci < 0) {
            if (!at.empty())
                t.library = at;
            break;
        }
        if (metAt_[static_cast<size_t>(ci)] == met)
            break;
        metAt_[static_cast<size_t>(ci)] = met;
        declared = take(static_cast<uint32_t>(ci));
        for (const uint32_t ii : InterfacesOf(static_cast<uint32_t>(ci)))
            interfaces_.push_back(ii);
        at = (*classes_)[static_cast<size_t>(ci)].superName;
        ci = superOf_[static_cast<size_t>(ci)];
    }
    for (size_t k = 0; k < interfaces_.size() && !declared; ++k) {
        const uint32_t ii = interfaces_[k];
        if (metAt_[ii] == met)
            continue;
        metAt_[ii] = met;
        declared = take(ii);
        for (const uint32_t next : InterfacesOf(ii))
            interfaces_.push_back(next);
    }
    if (declared)
        t.library = {};
    // Downwards: every override in the program's subclasses and implementations.
    met = NewStamp();
    pending_.assign(children_.begin() + childFirst_[static_cast<size_t>(owner)],
                   children_.begin() + childFirst_[static_cast<size_t>(owner) + 1]);
    while (!pending_.empty()) {
        const uint32_t ci = pending_.back();
        pending_.pop_back();
        if (metAt_[ci] == met)
            continue;
        metAt_[ci] = met;
        take(ci);
        pending_.insert(pending_.end(), children_.begin() + childFirst_[ci], children_.begin() + childFirst_[ci + 1]);
    }
    finish();
    return t;
}

// The field a reference means: declared by its class, an interface or a superclass.
std::optional<std::pair<uint32_t, uint16_t>> ClassHierarchy::ResolveField(const MemberRef& ref)
{
    for (uint64_t key = HashMember(ref);; key = NextKey(key)) {
        bool fresh = false;
        const uint32_t id = fieldRefIds_.FindOrInsert(key, static_cast<uint32_t>(fieldRefs_.size()), fresh);
        if (fresh) {
            fieldRefs_.push_back({ref, FindField(ref)});
            return fieldRefs_.back().field;
        }
        const MemberRef& known = fieldRefs_[id].ref;
        if (known.owner == ref.owner && known.name == ref.name && known.descriptor == ref.descriptor)
            return fieldRefs_[id].field;
    }
}

inline std::optional<std::pair<uint32_t, uint16_t>> ClassHierarchy::FindField(const MemberRef& ref)
{
    const int64_t owner = ClassOf(ref.owner);
    if (owner < 0)
        return std::nullopt;
    pending_.assign(1, static_cast<uint32_t>(owner));
    const uint32_t met = NewStamp();
    for (size_t k = 0; k < pending_.size() && k < 4096; ++k) {
        const uint32_t ci = pending_[k];
        if (metAt_[ci] == met)
            continue;
        metAt_[ci] = met;
        const ClassFacts& c = (*classes_)[ci];
        for (size_t fi = 0; fi < c.fields.size(); ++fi) {
            if (c.fields[fi].name == ref.name && c.fields[fi].descriptor == ref.descriptor)
                return std::make_pair(ci, static_cast<uint16_t>(fi));
        }
        for (const uint32_t ii : InterfacesOf(ci))
            pending_.push_back(ii);
        if (superOf_[ci] >= 0)
            pending_.push_back(static_cast<uint32_t>(superOf_[ci]));
    }
    return std::nullopt;
}

void ClassHierarchy::Build(const std::vector<ClassFacts>& classes, size_t targetsGuess)
{
    classes_ = &classes;
    const size_t n = classes.size();
    metAt_.assign(n, 0u);
    classIds_.Reserve(n);
    targetIds_.Reserve(targetsGuess);
    for (uint32_t ci = 0; ci < n; ++ci) {
        const ClassFacts& c = classes[ci];
        if (!c.parsed)
            continue;
        // The first class of a name is the one that runs.
        for (uint64_t key = HashText(c.name);; key = NextKey(key)) {
            bool fresh = false;
            const uint32_t id = classIds_.FindOrInsert(key, ci, fresh);
            if (fresh || classes[id].name == c.name)
                break;
        }
    }
    // Each class's superclass and interfaces among the classes, found by name once.
    superOf_.assign(n, -1);
    interfaceFirst_.assign(n + 1, 0u);
    interfaceOf_.clear();
    for (uint32_t ci = 0; ci < n; ++ci) {
        const ClassFacts& c = classes[ci];
        interfaceFirst_[ci] = static_cast<uint32_t>(interfaceOf_.size());
        if (!c.parsed)
            continue;
        superOf_[ci] = static_cast<int32_t>(ClassOf(c.superName));
        for (const std::string_view i : c.interfaces) {
            const int64_t ii = ClassOf(i);
            if (ii >= 0)
                interfaceOf_.push_back(static_cast<uint32_t>(ii));
        }
    }
    interfaceFirst_[n] = static_cast<uint32_t>(interfaceOf_.size());
    // Each class's subclasses and implementations, in class order.
    childFirst_.assign(n + 1, 0u);
    auto parents = [&](uint32_t ci, auto&& visit) {
        const int32_t sup = superOf_[ci];
        if (sup >= 0 && static_cast<uint32_t>(sup) != ci)
            visit(static_cast<uint32_t>(sup));
        for (const uint32_t ii : InterfacesOf(ci)) {
            if (ii != ci)
                visit(ii);
        }
    };
    for (uint32_t ci = 0; ci < n; ++ci) {
        if (classes[ci].parsed)
            parents(ci, [&](uint32_t parent) { ++childFirst_[parent + 1]; });
    }
    for (size_t i = 0; i < n; ++i)
        childFirst_[i + 1] += childFirst_[i];
    children_.assign(childFirst_[n], 0u);
    {
        std::vector<uint32_t> at(childFirst_.begin(), childFirst_.end() - 1);
        for (uint32_t ci = 0; ci < n; ++ci) {
            if (classes[ci].parsed)
                parents(ci, [&](uint32_t parent) { children_[at[parent]++] = ci; });
        }
    }
}

}  // namespace cl::usage
