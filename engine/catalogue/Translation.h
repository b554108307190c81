#pragma once
// What a program offers for translation and how a translated catalogue goes back into it.
// Extraction walks every class of a loaded Program and gathers one entry per distinct text,
// with every place it occurs; applying checks every translation against every place first
// and only then hands back the new class bytes, so a bad translation changes nothing.

#include "catalogue/Po.h"
#include "catalogue/Program.h"
#include "classfile/ClassFile.h"
#include "classfile/Roles.h"
#include "errors/TranslationProblem.h"
#include "usage/ClassFacts.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace cl::catalogue {

enum class PlaceKind {
    Literal,     // a CONSTANT_String's text
    Recipe,      // a string-concatenation recipe, shown with {n} slots
    Annotation,  // an annotation element's string value (a CONSTANT_Utf8)
    Bundle,      // a value of a resource bundle's source file
};

struct Place {
    std::size_t classIndex = 0;  // into Program::classes
    uint16_t index = 0;          // the CONSTANT_String index; the CONSTANT_Utf8 index for an annotation
    PlaceKind kind = PlaceKind::Literal;
    std::size_t slotCount = 0;   // a recipe's slots (not "slots": Qt code includes this)
};

struct CatalogueEntry {
    std::string context;  // msgctxt; empty for a text with none
    std::string msgid;    // UTF-8
    std::vector<Place> places;
};

// How an entry is looked up: its text, preceded by its context and U+0004 when it has one, as
// gettext itself keys them (no offered text holds U+0004).
std::string EntryKey(std::string_view context, std::string_view msgid);

struct ExtractOptions {
    bool annotations = false;
    // Work out where each string constant goes (usage/), for deciding what is offered.
    bool usage = false;
};

struct Extraction {
    std::vector<CatalogueEntry> entries;  // in the order first met
    std::unordered_map<std::string, std::size_t> byKey;  // EntryKey -> index into entries
    std::vector<classfile::ClassFile> classFiles;  // parallel to Program::classes
    std::vector<std::vector<classfile::Role>> roles;
    std::size_t notOfferable = 0;          // texts a PO cannot carry, and recipes with constants
    std::vector<std::string> names;        // string constants that could name a resource bundle
    // Texts a string switch compares (its cases are compiled into their hashes), with the first
    // class that switches on each.
    std::unordered_map<std::string, std::size_t> switchCases;
    std::vector<usage::ClassFacts> usageFacts;  // parallel to Program::classes, when asked for
    std::vector<std::string> unparsable;   // classes that did not parse, copied unchanged
};

Extraction Extract(const Program& program, const ExtractOptions& options);


// A translation that cannot be applied, named by its entry and the place where it failed.
struct ApplyProblem {
    TranslationProblem kind = TranslationProblem::None;
    std::string msgid;  // empty when the class as a whole fails (PoolTooLarge, NotReparsed)
    std::string classEntry;  // or the bundle file
    uint16_t index = 0;
    std::string key{};       // a bundle value's key, which stands where a class has its index
};

struct ApplySummary {
    std::size_t textsApplied = 0;   // translations written to at least one place
    std::size_t placesChanged = 0;
    std::size_t classesChanged = 0;
    std::size_t untranslated = 0;   // catalogue entries with an empty msgstr
    std::size_t fuzzy = 0;
    std::size_t notFound = 0;       // translated msgids the input does not hold
    std::size_t plural = 0;         // plural entries, skipped
    // Places a class both shows and reads whose showing loads could not take a constant of
    // their own: left as they are.
    std::size_t notSplit = 0;
};

struct ApplyPlan {
    std::vector<ApplyProblem> problems;          // empty when everything can be applied
    std::map<std::string, std::string> changed;  // class entry -> new bytes
    ApplySummary summary;
};

// The places of classes (an index into Program::classes, and a constant) whose text stays as it
// is whatever the catalogue says: wholly, or but for the loads of some methods (indexes into the
// class's methods), which take the translation in a constant of their own.
struct KeptPlaces {
    std::set<std::pair<std::size_t, uint16_t>> whole;
    std::map<std::pair<std::size_t, uint16_t>, std::vector<uint16_t>> shownIn;
};

// Checks every translated, not fuzzy message against every place of its entry (the entry of its
// context and text) but the kept ones, then rewrites the classes they change.
ApplyPlan PlanApply(const Program& program, const Extraction& extraction, const std::vector<PoMessage>& messages,
                    const KeptPlaces& kept = {});

// One CONSTANT_Utf8 entry, or one bundle value, for the `strings` listing (not a row of the
// open document's list, which is cl::StringRow).
struct ListedString {
    std::string entry;
    uint16_t index = 0;
    std::string role;  // RoleWord, "recipe", or "bundle"
    std::string text;  // UTF-8 (a recipe in its catalogue form); the raw bytes when undecodable
    std::string key{};  // a bundle value's key, which stands where a class row has its index
    std::size_t classIndex = 0;  // into Program::classes
    uint16_t stringIndex = 0;    // the CONSTANT_String that loads the text; 0 for none
};

// Literals, recipes and keys; with `all`, every Utf8 entry. Classes that do not parse are
// named in `unparsable`.
std::vector<ListedString> ListStrings(const Program& program, const Extraction& extraction, bool all);

// The values of the program's resource bundles (their sources'), one row each with its file and
// key: those offered for translation; with `all`, every value. Files Java would refuse to read
// are named in `unreadable`.
std::vector<ListedString> ListBundleStrings(const Program& program, const Extraction& extraction, bool all,
                                         std::vector<Error>& unreadable);

}  // namespace cl::catalogue
