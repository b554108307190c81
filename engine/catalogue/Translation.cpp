#include "catalogue/Translation.h"

#include "catalogue/BundleTexts.h"
#include "catalogue/ClassRewriter.h"
#include "zip/Parallel.h"
#include "catalogue/Recipe.h"
#include "catalogue/TranslationCheck.h"
#include "classfile/ConcatRecipes.h"
#include "classfile/ModifiedUtf8.h"
#include "usage/ClassAnalysis.h"

#include <algorithm>
#include <set>
#include <unordered_set>

namespace cl::catalogue {

namespace {

using classfile::ClassFile;
using classfile::Role;
using classfile::Tag;

// A text a PO entry can carry: not empty, no U+0000 (C strings) and no U+0004 (gettext's
// context separator). Unpaired surrogates already failed the conversion to UTF-8.
bool Offerable(const std::string& utf8)
{
    return !utf8.empty() && utf8.find('\0') == std::string::npos && utf8.find('\x04') == std::string::npos;
}

bool IsLiteralRole(Role role)
{
    return role == Role::Literal || role == Role::Shared;
}

// An annotation element's value, also when a string constant of the class has the same text
// (javac keeps one Utf8 entry for both): changed where it stands, it changes both, which the
// one entry of the catalogue translates alike. A value that is also a name stays as it is.
bool IsAnnotationText(const classfile::Constant& utf8, Role role)
{
    constexpr uint8_t kTextUses = classfile::use::kString | classfile::use::kAnnotation;
    return role == Role::Annotation || (role == Role::Shared && (utf8.uses & ~kTextUses) == 0);
}

std::string EntryOf(const Program& program, const Place& place)
{
    return program.classes[place.classIndex].entry;
}

}  // namespace

namespace {

// What one class offers, worked out apart from every other class.
struct ClassOffer {
    std::vector<std::pair<std::string, Place>> texts;  // UTF-8 msgid and where, in pool order
    std::size_t notOfferable = 0;
    std::vector<std::string> names;  // string constants that could name a resource
    std::vector<std::string> switchCases;  // UTF-8 texts a string switch of the class compares
};

// A string constant that could name a resource bundle ("app.Messages", "lang/menu"): what a
// program hands getBundle. Only these are kept of the class's constants.
bool CouldNameResource(std::string_view text)
{
    if (text.empty() || text.size() > 200)
        return false;
    for (const char c : text) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                        c == '/' || c == '_' || c == '-' || c == '$';
        if (!ok)
            return false;
    }
    return true;
}

void OfferClass(std::size_t ci, const ClassFile& cf, const std::vector<Role>& roles, const ExtractOptions& options,
                ClassOffer& offer)
{
    // A text that is a key anywhere in the class is left alone everywhere in it.
    std::unordered_set<std::string_view> keys;
    for (std::size_t i = 1; i < cf.pool.size(); ++i) {
        if (roles[i] == Role::Key) {
            keys.insert(cf.Utf8Bytes(static_cast<uint16_t>(i)));
            std::string utf8;
            if (classfile::Utf8FromModifiedUtf8(cf.Utf8Bytes(static_cast<uint16_t>(i)), utf8).Ok())
                offer.switchCases.push_back(std::move(utf8));
        }
    }
    for (std::size_t i = 1; i < cf.pool.size(); ++i) {
        const classfile::Constant& c = cf.pool[i];
        if (c.tag == Tag::String && CouldNameResource(cf.Utf8Bytes(c.StringIndex())))
            offer.names.emplace_back(cf.Utf8Bytes(c.StringIndex()));
    }
    const std::vector<uint16_t> recipes = classfile::ConcatRecipes(cf);
    std::set<uint16_t> annotationValues;
    if (options.annotations)
        annotationValues.insert(cf.annotationStrings.begin(), cf.annotationStrings.end());

    for (std::size_t i = 1; i < cf.pool.size(); ++i) {
        const auto index = static_cast<uint16_t>(i);
        const classfile::Constant& c = cf.pool[i];
        uint16_t utf8Index = 0;
        PlaceKind kind = PlaceKind::Literal;
        if (c.tag == Tag::String && c.StringIndex() < roles.size() && IsLiteralRole(roles[c.StringIndex()])) {
            utf8Index = c.StringIndex();
            kind = std::binary_search(recipes.begin(), recipes.end(), index) ? PlaceKind::Recipe : PlaceKind::Literal;
        } else if (c.tag == Tag::Utf8 && annotationValues.count(index) && IsAnnotationText(c, roles[i])) {
            utf8Index = index;
            kind = PlaceKind::Annotation;
        } else {
            continue;
        }
        const std::string_view modified = cf.Utf8Bytes(utf8Index);
        if (!keys.empty() && keys.count(modified))
            continue;
        std::string utf8;
        if (!classfile::Utf8FromModifiedUtf8(modified, utf8).Ok() || !Offerable(utf8)) {
            ++offer.notOfferable;
            continue;
        }
        Place place{ci, index, kind, 0};
        if (kind == PlaceKind::Recipe) {
            if (utf8.find(kRecipeConstant) != std::string::npos) {
                ++offer.notOfferable;
                continue;
            }
            place.slotCount = CountRecipeSlots(utf8);
            utf8 = RecipeToMessage(utf8);
        }
        offer.texts.emplace_back(std::move(utf8), place);
    }
}

}  // namespace

Extraction Extract(const Program& program, const ExtractOptions& options)
{
    Extraction ex;
    const std::size_t count = program.classes.size();
    ex.classFiles.resize(count);
    ex.roles.resize(count);
    if (options.usage)
        ex.usageFacts.resize(count);
    std::vector<ClassOffer> offers(count);
    // Each class is parsed and read on its own, on every core; the catalogue is then built
    // in class order, so entries and places come out in the same order every time.
    zip::ForEachInParallel(count, [&](std::size_t ci) {
        const std::string& bytes = program.classes[ci].bytes;
        ClassFile& cf = ex.classFiles[ci];
        cf = classfile::ParseClassFile(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        ex.roles[ci] = classfile::ComputeRoles(cf);
        if (cf.parsed)
            OfferClass(ci, cf, ex.roles[ci], options, offers[ci]);
        if (options.usage)
            ex.usageFacts[ci] = usage::AnalyseClass(cf);
    });

    for (std::size_t ci = 0; ci < count; ++ci) {
        if (!ex.classFiles[ci].parsed) {
            ex.unparsable.push_back(program.classes[ci].entry);
            continue;
        }
        ex.notOfferable += offers[ci].notOfferable;
        for (std::string& name : offers[ci].names)
            ex.names.push_back(std::move(name));
        for (std::string& text : offers[ci].switchCases)
            ex.switchCases.emplace(std::move(text), ci);
        for (auto& [msgid, place] : offers[ci].texts) {
            auto [it, fresh] = ex.byKey.emplace(msgid, ex.entries.size());
            if (fresh)
                ex.entries.push_back({{}, std::move(msgid), {}});
            ex.entries[it->second].places.push_back(place);
        }
        ClassOffer().texts.swap(offers[ci].texts);
    }
    return ex;
}

std::string EntryKey(std::string_view context, std::string_view msgid)
{
    std::string key;
    key.reserve(context.size() + 1 + msgid.size());
    key.append(context);
    key += '\x04';
    key.append(msgid);
    return key;
}

ApplyPlan PlanApply(const Program& program, const Extraction& ex, const std::vector<PoMessage>& messages,
                    const KeptPlaces& kept)
{
    ApplyPlan plan;
    std::vector<PoolEdits> edits(program.classes.size());
    std::vector<std::size_t> placesPerClass(program.classes.size(), 0);
    // Which msgid an in-place Utf8 edit came from, so that a second, different text for the
    // same entry gets a Utf8 of its own instead of overwriting the first.
    for (const PoMessage& message : messages) {
        if (message.obsolete)
            continue;
        if (message.plural) {
            ++plan.summary.plural;
            continue;
        }
        if (message.msgstr.empty()) {
            ++plan.summary.untranslated;
            continue;
        }
        if (message.fuzzy) {
            ++plan.summary.fuzzy;
            continue;
        }
        const auto found = ex.byKey.find(message.hasContext ? EntryKey(message.context, message.msgid) : message.msgid);
        if (found == ex.byKey.end()) {
            ++plan.summary.notFound;
            continue;
        }
        bool applied = false;
        for (const Place& place : ex.entries[found->second].places) {
            if (kept.whole.count({place.classIndex, place.index}) != 0)
                continue;
            // What this place asks of the text: the check the translator's window makes.
            TextChecks checks;
            checks.recipe = place.kind == PlaceKind::Recipe;
            checks.slotCount = place.slotCount;
            checks.inClass = true;
            std::string modified;
            if (const TranslationProblem problem = CheckTranslation(checks, message.msgid, message.msgstr, &modified);
                problem != TranslationProblem::None) {
                plan.problems.push_back({problem, message.msgid, EntryOf(program, place), place.index});
                break;  // one report per entry is enough
            }
            const ClassFile& cf = ex.classFiles[place.classIndex];
            const std::vector<Role>& roles = ex.roles[place.classIndex];
            PoolEdits& edit = edits[place.classIndex];
            const uint16_t utf8Index = place.kind == PlaceKind::Annotation ? place.index : cf.pool[place.index].StringIndex();
            applied = true;
            if (cf.Utf8Bytes(utf8Index) == modified && edit.utf8.count(utf8Index) == 0)
                continue;  // translated as itself
            if (const auto partly = kept.shownIn.find({place.classIndex, place.index});
                partly != kept.shownIn.end() && place.kind == PlaceKind::Literal) {
                edit.redirected[place.index] = {partly->second, modified};
                ++placesPerClass[place.classIndex];
                continue;
            }
            if (place.kind == PlaceKind::Annotation ||
                (roles[utf8Index] == Role::Literal &&
                 (edit.utf8.count(utf8Index) == 0 || edit.utf8[utf8Index] == modified))) {
                edit.utf8[utf8Index] = modified;
            } else {
                edit.detached[place.index] = modified;
            }
            ++placesPerClass[place.classIndex];
        }
        if (applied)
            ++plan.summary.textsApplied;
    }
    if (!plan.problems.empty())
        return plan;

    // Classes no translation touches are not rewritten at all; the others are rewritten on
    // every core and collected in class order.
    std::vector<std::size_t> touched;
    for (std::size_t ci = 0; ci < program.classes.size(); ++ci) {
        if (!edits[ci].utf8.empty() || !edits[ci].detached.empty() || !edits[ci].redirected.empty())
            touched.push_back(ci);
    }
    std::vector<RewriteResult> results(touched.size());
    zip::ForEachInParallel(touched.size(),
                      [&](std::size_t t) { results[t] = RewriteClass(ex.classFiles[touched[t]], edits[touched[t]]); });
    for (std::size_t t = 0; t < touched.size(); ++t) {
        const std::size_t ci = touched[t];
        RewriteResult& rewritten = results[t];
        if (rewritten.problem == TranslationProblem::CodeNotRelaid) {
            // The showing methods' loads cannot take a constant of their own here (a branch
            // would leave its range): the text stays as it is in this class, as it would had it
            // not been offered, rather than the whole program going unwritten.
            const std::size_t notSplit = edits[ci].redirected.size();
            edits[ci].redirected.clear();
            plan.summary.notSplit += notSplit;
            placesPerClass[ci] -= notSplit;
            if (edits[ci].utf8.empty() && edits[ci].detached.empty())
                continue;
            rewritten = RewriteClass(ex.classFiles[ci], edits[ci]);
        }
        if (rewritten.problem != TranslationProblem::None) {
            plan.problems.push_back({rewritten.problem, "", program.classes[ci].entry, rewritten.index});
            continue;
        }
        plan.summary.placesChanged += placesPerClass[ci];
        ++plan.summary.classesChanged;
        plan.changed[program.classes[ci].entry] = std::move(rewritten.bytes);
    }
    if (!plan.problems.empty())
        plan.changed.clear();
    return plan;
}

std::vector<ListedString> ListStrings(const Program& program, const Extraction& ex, bool all)
{
    std::vector<ListedString> rows;
    for (std::size_t ci = 0; ci < program.classes.size(); ++ci) {
        const ClassFile& cf = ex.classFiles[ci];
        if (!cf.parsed)
            continue;
        const std::vector<Role>& roles = ex.roles[ci];
        std::set<uint16_t> recipeTexts;
        for (const uint16_t s : classfile::ConcatRecipes(cf))
            recipeTexts.insert(cf.pool[s].StringIndex());
        // The CONSTANT_String that loads each Utf8 entry, where one does.
        std::vector<uint16_t> stringOf(cf.pool.size(), 0);
        for (std::size_t i = 1; i < cf.pool.size(); ++i) {
            if (cf.pool[i].tag == Tag::String && cf.pool[i].StringIndex() < stringOf.size() &&
                stringOf[cf.pool[i].StringIndex()] == 0)
                stringOf[cf.pool[i].StringIndex()] = static_cast<uint16_t>(i);
        }
        for (std::size_t i = 1; i < cf.pool.size(); ++i) {
            if (cf.pool[i].tag != Tag::Utf8)
                continue;
            const auto index = static_cast<uint16_t>(i);
            const bool recipe = recipeTexts.count(index) != 0;
            if (!all && !recipe && !IsLiteralRole(roles[i]) && roles[i] != Role::Key)
                continue;
            ListedString row;
            row.entry = program.classes[ci].entry;
            row.index = index;
            row.classIndex = ci;
            row.stringIndex = stringOf[i];
            row.role = recipe ? "recipe" : classfile::RoleWord(roles[i]);
            const std::string_view modified = cf.Utf8Bytes(index);
            if (!classfile::Utf8FromModifiedUtf8(modified, row.text).Ok())
                row.text.assign(modified);
            else if (recipe)
                row.text = RecipeToMessage(row.text);
            rows.push_back(std::move(row));
        }
    }
    return rows;
}

std::vector<ListedString> ListBundleStrings(const Program& program, const Extraction& extraction, bool all,
                                         std::vector<Error>& unreadable)
{
    std::vector<ListedString> rows;
    if (program.properties.empty())
        return rows;
    const std::vector<PropertiesFileBytes> files = PropertiesFilesOf(program);
    const std::set<std::string, std::less<>> names(extraction.names.begin(), extraction.names.end());
    const BundleAnalysis analysis =
        AnalyseBundles(files, [&](std::string_view name) { return names.count(name) != 0; },
                       [&](std::string_view text) { return extraction.byKey.count(std::string(text)) != 0; },
                       kDefaultLanguage);
    unreadable = analysis.unreadable;
    auto row = [](const std::string& file, const std::string& key, const std::string& value) {
        ListedString r;
        r.entry = file;
        r.role = "bundle";
        r.key = key;
        r.text = value;
        return r;
    };
    if (!all) {
        for (const BundleText& text : analysis.texts)
            rows.push_back(row(text.file, text.key, text.value));
        return rows;
    }
    for (std::size_t f = 0; f < analysis.families.size(); ++f) {
        if (const bundle::BundleMember* source = analysis.families[f].Source(); source && analysis.offered[f]) {
            for (const bundle::PropertiesEntry& entry : analysis.sources[f].entries)
                rows.push_back(row(source->path, entry.key, entry.value));
        }
    }
    return rows;
}

}  // namespace cl::catalogue
