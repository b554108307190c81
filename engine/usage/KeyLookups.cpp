#include "usage/KeyLookups.h"

#include "classfile/ModifiedUtf8.h"

#include <algorithm>
#include <map>
#include <tuple>

namespace cl::usage {

namespace {

// The pieces of text a string constant adds to a key: a recipe's text between the places its
// markers leave for values, else the whole text; UTF-8.
void PiecesOf(const LiteralFacts& literal, std::vector<std::string>& out)
{
    std::string utf8;
    if (!classfile::Utf8FromModifiedUtf8(literal.text, utf8).Ok())
        utf8.assign(literal.text);
    if (!literal.recipe) {
        out.push_back(std::move(utf8));
        return;
    }
    std::string piece;
    for (const char ch : utf8) {
        if (ch == '\x01' || ch == '\x02') {
            if (!piece.empty())
                out.push_back(std::move(piece));
            piece.clear();
        } else {
            piece += ch;
        }
    }
    if (!piece.empty())
        out.push_back(std::move(piece));
}

const LiteralFacts* LiteralAt(const ClassFacts& c, uint16_t stringIndex)
{
    const auto it = std::lower_bound(c.literals.begin(), c.literals.end(), stringIndex,
                                     [](const LiteralFacts& l, uint16_t index) { return l.stringIndex < index; });
    return it != c.literals.end() && it->stringIndex == stringIndex ? &*it : nullptr;
}

// A letter or digit of a key (any byte of a character past ASCII counts).
bool IsKeyLetter(char ch)
{
    return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') ||
           static_cast<unsigned char>(ch) >= 0x80;
}

// A piece that narrows the keys: two characters or more, a letter or digit among them. A lone
// "." or "_" joined to a name would match nearly every key.
bool Narrows(std::string_view piece)
{
    return piece.size() >= 2 && std::any_of(piece.begin(), piece.end(), IsKeyLetter);
}

// A key known by one short piece only (`name + ".text"`, the name coming from somewhere the
// analysis does not see) matches every key of that kind: what one such lookup needs unchanged
// (Freeplane's edge widths handed to an action's constructor, merged with every action's key)
// says little of the hundreds of values it matches; what it shows still counts. A longer piece
// (".AcceleratorKey", "tagging_") or two pieces narrow it enough.
bool Specific(const std::vector<std::string>& pieces)
{
    if (pieces.size() >= 2)
        return true;
    const std::string& piece = pieces.front();
    return std::count_if(piece.begin(), piece.end(), IsKeyLetter) >= 6;
}

// How a wrapper looks its parameter up: unchanged (its caller's key is the key), or joined
// with pieces of its own.
struct Shape {
    bool passes = false;
    std::vector<std::string> pieces;
    bool operator<(const Shape& other) const { return std::tie(passes, pieces) < std::tie(other.passes, other.pieces); }
    bool operator==(const Shape&) const = default;
};

using MethodParameter = std::tuple<uint32_t, uint16_t, uint16_t>;  // class, method, parameter

// Whether the value a lookup finds is what its method returns.
}  // namespace

void KeyLookups::Build(const std::vector<ClassFacts>& classes, ClassHierarchy& hierarchy)
{
    exact_.clear();
    partial_.clear();
    auto piecesOf = [&](const ClassFacts& c, const LookupFacts& l) {
        std::vector<std::string> pieces;
        for (uint32_t k = 0; k < l.literalCount; ++k) {
            if (const LiteralFacts* literal = LiteralAt(c, c.lookupLiterals[l.firstLiteral + k]))
                PiecesOf(*literal, pieces);
        }
        return pieces;
    };
    // The methods a Call lookup's call may run.
    std::map<std::pair<uint32_t, uint32_t>, std::vector<std::pair<uint32_t, uint16_t>>> callees;
    auto calleesOf = [&](uint32_t ci, const LookupFacts& l) -> const std::vector<std::pair<uint32_t, uint16_t>>& {
        auto [it, fresh] = callees.try_emplace({ci, l.member});
        if (fresh && l.member < classes[ci].members.size()) {
            const Target& t = hierarchy.Resolve(hierarchy.TargetOf(classes[ci].members[l.member]));
            const auto methods = hierarchy.MethodsOf(t);
            it->second.assign(methods.begin(), methods.end());
        }
        return it->second;
    };

    // The wrappers: methods whose result is a lookup of their parameter, directly or through
    // another wrapper; worked out until no more are found (a chain is a few calls long).
    std::map<MethodParameter, std::vector<Shape>> wrappers;
    auto addShape = [&](const MethodParameter& at, Shape shape) {
        std::sort(shape.pieces.begin(), shape.pieces.end());
        shape.pieces.erase(std::unique(shape.pieces.begin(), shape.pieces.end()), shape.pieces.end());
        std::vector<Shape>& shapes = wrappers[at];
        if (std::find(shapes.begin(), shapes.end(), shape) != shapes.end())
            return false;
        shapes.push_back(std::move(shape));
        return true;
    };
    for (int round = 0; round < 8; ++round) {
        bool grew = false;
        for (uint32_t ci = 0; ci < classes.size(); ++ci) {
            const ClassFacts& c = classes[ci];
            for (uint32_t li = 0; li < c.lookups.size(); ++li) {
                const LookupFacts& l = c.lookups[li];
                if (l.ownParameter == 0 || !LookupReturnedBy(c, li, l.method))
                    continue;
                const MethodParameter at{ci, l.method, l.ownParameter};
                const bool passes = l.literalCount == 0 && !l.joined;
                if (l.kind == LookupKind::Table) {
                    if (round == 0)
                        grew = addShape(at, {passes, piecesOf(c, l)}) || grew;
                    continue;
                }
                for (const auto& [cc, cm] : calleesOf(ci, l)) {
                    const auto found = wrappers.find({cc, cm, l.parameter});
                    if (found == wrappers.end())
                        continue;
                    const std::vector<Shape> shapes = found->second;
                    for (const Shape& inner : shapes) {
                        Shape shape{passes && inner.passes, piecesOf(c, l)};
                        shape.pieces.insert(shape.pieces.end(), inner.pieces.begin(), inner.pieces.end());
                        grew = addShape(at, std::move(shape)) || grew;
                    }
                }
            }
        }
        if (!grew)
            break;
    }

    // The lookups whose key the program spells out: in a lookup the table knows, or passed to
    // a wrapper.
    auto add = [&](LookupRef ref, bool exact, std::vector<std::string> pieces) {
        if (exact && pieces.size() == 1) {
            exact_[pieces.front()].push_back(ref);
            return;
        }
        pieces.erase(std::remove_if(pieces.begin(), pieces.end(), [](const std::string& p) { return !Narrows(p); }),
                     pieces.end());
        if (!pieces.empty()) {
            const bool specific = Specific(pieces);
            partial_.push_back({ref, std::move(pieces), specific});
        }
    };
    for (uint32_t ci = 0; ci < classes.size(); ++ci) {
        const ClassFacts& c = classes[ci];
        for (uint32_t li = 0; li < c.lookups.size(); ++li) {
            const LookupFacts& l = c.lookups[li];
            if (l.literalCount == 0)
                continue;
            if (l.kind == LookupKind::Table) {
                add({ci, li}, l.exact, piecesOf(c, l));
                continue;
            }
            for (const auto& [cc, cm] : calleesOf(ci, l)) {
                const auto found = wrappers.find({cc, cm, l.parameter});
                if (found == wrappers.end())
                    continue;
                for (const Shape& shape : found->second) {
                    std::vector<std::string> pieces = piecesOf(c, l);
                    pieces.insert(pieces.end(), shape.pieces.begin(), shape.pieces.end());
                    add({ci, li}, l.exact && shape.passes, std::move(pieces));
                }
            }
        }
    }
}

void KeyLookups::Matching(std::string_view key, std::vector<LookupRef>& out, std::vector<LookupRef>& loose) const
{
    out.clear();
    loose.clear();
    if (const auto found = exact_.find(std::string(key)); found != exact_.end())
        out = found->second;
    for (const Partial& p : partial_) {
        const bool all = std::all_of(p.pieces.begin(), p.pieces.end(),
                                     [&](const std::string& piece) { return key.find(piece) != std::string_view::npos; });
        if (all)
            (p.specific ? out : loose).push_back(p.lookup);
    }
    for (std::vector<LookupRef>* refs : {&out, &loose}) {
        std::sort(refs->begin(), refs->end());
        refs->erase(std::unique(refs->begin(), refs->end()), refs->end());
    }
    // A lookup both ways (two call sites' shapes) counts as the specific one.
    loose.erase(std::remove_if(loose.begin(), loose.end(),
                               [&](const LookupRef& r) { return std::binary_search(out.begin(), out.end(), r); }),
                loose.end());
}

}  // namespace cl::usage
