#include "catalogue/BundleTexts.h"

#include <algorithm>

#include "bundle/OfferedValues.h"
#include "bundle/PropertiesWriter.h"
#include "usage/TextShape.h"

#include <map>
#include <set>
#include <unordered_map>

namespace cl::catalogue {

namespace {

// Reads one file of a family; a file Java would refuse is named and left out.
const bundle::PropertiesFile* Parse(const std::string& path,
                                    const std::unordered_map<std::string, const PropertiesFileBytes*>& byPath,
                                    std::map<std::string, bundle::PropertiesFile>& parsed,
                                    std::map<std::string, bool>& refused, BundleAnalysis& analysis)
{
    if (const auto done = parsed.find(path); done != parsed.end())
        return &done->second;
    if (refused.count(path))
        return nullptr;
    const auto file = byPath.find(path);
    if (file == byPath.end() || file->second->unreadable)
        return nullptr;
    Result<bundle::PropertiesFile> read = bundle::ParseProperties(file->second->bytes);
    if (!read) {
        Error error = std::move(read).error();
        error.path = path;
        error.task = ErrorTask::Program;
        analysis.unreadable.push_back(std::move(error));
        refused[path] = true;
        return nullptr;
    }
    return &parsed.emplace(path, std::move(*read)).first->second;
}

std::unordered_map<std::string, const PropertiesFileBytes*> ByPath(const std::vector<PropertiesFileBytes>& files)
{
    std::unordered_map<std::string, const PropertiesFileBytes*> byPath;
    for (const PropertiesFileBytes& file : files)
        byPath.emplace(file.path, &file);
    return byPath;
}

bool EndsWith(std::string_view text, std::string_view tail)
{
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

}  // namespace

std::vector<PropertiesFileBytes> PropertiesFilesOf(const Program& program)
{
    std::vector<PropertiesFileBytes> files;
    files.reserve(program.properties.size());
    for (const ProgramFile& file : program.properties)
        files.push_back({file.entry, file.bytes});
    for (const UnreadablePart& part : program.unreadable) {
        // An earlier entry of a name held twice is no member: the last one is, and it was read.
        if (EndsWith(part.entry, ".properties") && part.error.kind != ErrorKind::DuplicateEntry)
            files.push_back({part.entry, {}, true});
    }
    return files;
}

BundleAnalysis AnalyseBundles(const std::vector<PropertiesFileBytes>& files, const bundle::IsStringLiteral& isLiteral,
                              const bundle::IsStringLiteral& isClassText, std::string_view language)
{
    BundleAnalysis analysis;
    std::vector<std::string> paths;
    paths.reserve(files.size());
    for (const PropertiesFileBytes& file : files)
        paths.push_back(file.path);
    const auto byPath = ByPath(files);
    std::map<std::string, bundle::PropertiesFile> parsed;
    std::map<std::string, bool> refused;
    // Whether files of one name in two jars are one bundle depends on their keys. A file read
    // for that alone is not named when Java would refuse it: only a family's members are.
    auto keysOf = [&](const std::string& path) -> std::optional<std::set<std::string>> {
        auto done = parsed.find(path);
        if (done == parsed.end()) {
            const auto file = byPath.find(path);
            if (file == byPath.end() || file->second->unreadable)
                return std::nullopt;
            Result<bundle::PropertiesFile> read = bundle::ParseProperties(file->second->bytes);
            if (!read)
                return std::nullopt;
            done = parsed.emplace(path, std::move(*read)).first;
        }
        std::set<std::string> keys;
        for (const bundle::PropertiesEntry& entry : done->second.entries)
            keys.insert(entry.key);
        return keys;
    };
    analysis.families = bundle::FindBundleFamilies(paths, isLiteral, keysOf);

    analysis.sources.resize(analysis.families.size());
    analysis.offered.assign(analysis.families.size(), false);
    for (std::size_t f = 0; f < analysis.families.size(); ++f) {
        const bundle::BundleFamily& family = analysis.families[f];
        for (const bundle::BundleMember& member : family.members) {
            if (const bundle::PropertiesFile* file = Parse(member.path, byPath, parsed, refused, analysis)) {
                for (const bundle::PropertiesEntry& entry : file->entries)
                    analysis.keys.insert(entry.key);
            }
        }
        const bundle::BundleMember* source = family.Source();
        if (source == nullptr) {
            analysis.withoutSource.push_back(family.Name());
            continue;
        }
        const bundle::PropertiesFile* sourceFile = Parse(source->path, byPath, parsed, refused, analysis);
        if (sourceFile == nullptr)
            continue;
        analysis.sources[f] = *sourceFile;
        // A program that shows a bundle's texts looks them up by keys it names; one that names
        // hardly any key of its only file (a default or two) reads it as a table, keyed by what
        // it gets elsewhere: at least one key in ten must be named.
        const auto named = std::count_if(sourceFile->entries.begin(), sourceFile->entries.end(),
                                         [&](const bundle::PropertiesEntry& entry) { return isClassText(entry.key); });
        if (family.members.size() == 1 && (named == 0 || static_cast<std::size_t>(named) * 10 < sourceFile->entries.size())) {
            analysis.tables.push_back(family.Name());
            continue;
        }
        // A family whose values are mostly paths, colours, switches, sizes and keystrokes holds
        // settings the program reads, whatever keys the code names: its values are offered only
        // where the code is seen to show them.
        std::vector<std::pair<std::string_view, std::string_view>> keyValues;
        keyValues.reserve(sourceFile->entries.size());
        for (const bundle::PropertiesEntry& entry : sourceFile->entries)
            keyValues.emplace_back(entry.key, entry.value);
        // The keys some other language of the family translates. Nobody translates settings: a
        // family whose translators changed most of its values holds texts, however its values
        // look (JabRef's "Save_all_open_databases").
        std::set<std::string, std::less<>> translated;
        std::unordered_map<std::string_view, std::string_view> sourceValues;
        for (const bundle::PropertiesEntry& entry : sourceFile->entries)
            sourceValues.emplace(entry.key, entry.value);
        for (const bundle::BundleMember& member : family.members) {
            if (&member == source)
                continue;
            const bundle::PropertiesFile* file = Parse(member.path, byPath, parsed, refused, analysis);
            if (file == nullptr)
                continue;
            for (const bundle::PropertiesEntry& entry : file->entries) {
                const auto original = sourceValues.find(entry.key);
                if (original != sourceValues.end() && !entry.value.empty() && entry.value != original->second)
                    translated.insert(entry.key);
            }
        }
        const bool settings = 2 * translated.size() <= keyValues.size() && usage::FamilyIsTable(keyValues);
        analysis.offered[f] = true;
        // The program's own translation, where it has one that differs from the source.
        std::map<std::string, std::string, std::less<>> existing;
        if (const bundle::BundleMember* variant = bundle::ExistingVariant(family, language);
            variant != nullptr && variant != source) {
            if (const bundle::PropertiesFile* file = Parse(variant->path, byPath, parsed, refused, analysis)) {
                for (const bundle::PropertiesEntry& entry : file->entries)
                    existing[entry.key] = entry.value;
            }
        }
        for (const bundle::PropertiesEntry& entry : sourceFile->entries) {
            const bundle::ValueOffer offer = bundle::OfferValue(entry.key, entry.value);
            if (!offer.offered() && !offer.oneLetter) {
                ++analysis.notOffered;
                continue;
            }
            BundleText text;
            text.family = f;
            text.file = source->path;
            text.key = entry.key;
            text.value = entry.value;
            text.javaFormat = offer.javaFormat;
            if (offer.oneLetter)
                text.withoutLookup = settings ? WithoutLookup::KeptForSettings : WithoutLookup::KeptForShape;
            else if (translated.count(entry.key) != 0)
                text.withoutLookup = WithoutLookup::Offered;
            else if (settings)
                text.withoutLookup = WithoutLookup::KeptForSettings;
            if (const auto found = existing.find(entry.key);
                found != existing.end() && !found->second.empty() && found->second != entry.value)
                text.existing = found->second;
            analysis.texts.push_back(std::move(text));
        }
    }
    return analysis;
}

namespace {

// The file a family's translations go into: the source (Base), else the first file a run in the
// language reads, else a new variant for it. Empty when the language is no locale.
std::string TargetPath(const bundle::BundleFamily& family, std::string_view language, BundleTarget target)
{
    if (target == BundleTarget::Base)
        return family.Source()->path;
    if (const bundle::BundleMember* first = bundle::ExistingVariant(family, language))
        return first->path;
    return bundle::VariantPath(family, language).value_or(std::string());
}

// Whether a run in `language` reads the translations written at `written.path` (whose locale is
// `locale`, none for a base file): Java looks a key up in each file of the lookup order the
// family has, most specific first, then in the base file, and takes the first that holds it.
void JudgeRun(const bundle::BundleFamily& family, std::string_view language, const std::optional<bundle::LocaleTag>& locale,
              const std::vector<std::string>& keys,
              const std::unordered_map<std::string, const PropertiesFileBytes*>& byPath, BundleFileWritten& written)
{
    const std::vector<bundle::LocaleTag> order = bundle::LookupOrder(language);
    const auto at = locale ? std::find(order.begin(), order.end(), *locale) : order.end();
    if (locale && at == order.end()) {
        written.finds = RunFinds::OtherLanguage;
        return;
    }
    // The files read before the one written, in the order they are read: a key any of them
    // holds never reaches the translation.
    std::vector<bool> hidden(keys.size(), false);
    for (auto wanted = order.begin(); wanted != at; ++wanted) {
        for (const bundle::BundleMember& member : family.members) {
            if (!(member.locale == *wanted) || member.path == written.path)
                continue;
            const auto file = byPath.find(member.path);
            std::optional<bundle::PropertiesFile> read;
            if (file != byPath.end() && !file->second->unreadable) {
                if (Result<bundle::PropertiesFile> parsed = bundle::ParseProperties(file->second->bytes))
                    read = std::move(*parsed);
            }
            bool hides = false;
            for (std::size_t k = 0; k < keys.size(); ++k) {
                // A file Java cannot read fails every lookup of the family.
                if (!read || read->Find(keys[k]) != nullptr) {
                    hides = hides || !hidden[k];
                    hidden[k] = true;
                }
            }
            if (hides && written.hiddenBy.empty())
                written.hiddenBy = member.path;
        }
    }
    written.hidden = static_cast<std::size_t>(std::count(hidden.begin(), hidden.end(), true));
    if (written.hidden > 0)
        written.finds = RunFinds::HiddenByVariant;
    else if (!locale)
        written.finds = RunFinds::Base;
    else
        written.finds = *locale == bundle::LanguageOfCatalogue(language) ? RunFinds::Exact : RunFinds::Fallback;
}

}  // namespace

std::vector<VariantFile> WriteVariants(const BundleAnalysis& analysis, const std::vector<PropertiesFileBytes>& files,
                                       std::string_view language,
                                       const std::function<std::optional<std::string>(const BundleText&)>& translationOf,
                                       BundleTarget target)
{
    std::vector<VariantFile> variants;
    const auto byPath = ByPath(files);
    std::vector<std::vector<const BundleText*>> textsOf(analysis.families.size());
    for (const BundleText& text : analysis.texts)
        textsOf[text.family].push_back(&text);
    for (std::size_t f = 0; f < analysis.families.size(); ++f) {
        const bundle::BundleFamily& family = analysis.families[f];
        const bundle::BundleMember* source = family.Source();
        if (source == nullptr || textsOf[f].empty())
            continue;
        const std::string path = TargetPath(family, language, target);
        if (path.empty())
            continue;
        VariantFile variant;
        BundleFileWritten& written = variant.written;
        bundle::VariantValues values;
        std::vector<std::string> keys;
        for (const BundleText* text : textsOf[f]) {
            if (std::optional<std::string> translation = translationOf(*text)) {
                values[text->key] = std::move(*translation);
                keys.push_back(text->key);
                ++written.translated;
            }
        }
        if (written.translated == 0)
            continue;
        written.family = family.Name();
        written.path = path;
        written.replaces = byPath.count(path) != 0;
        variant.source = source->path;
        // The program's own file, when the translations go into one: whatever the catalogue does
        // not touch in it stays as its translator left it, in its order with its comments.
        std::optional<bundle::PropertiesFile> own;
        std::optional<bundle::LocaleTag> locale;
        if (path == source->path) {
            own = analysis.sources[f];
            locale = source->locale;
        } else if (const auto member = std::find_if(family.members.begin(), family.members.end(),
                                                    [&](const bundle::BundleMember& m) { return m.path == path; });
                   member != family.members.end()) {
            locale = member->locale;
            if (const auto file = byPath.find(path); file != byPath.end()) {
                if (Result<bundle::PropertiesFile> read = bundle::ParseProperties(file->second->bytes))
                    own = std::move(*read);
            }
        } else {
            locale = bundle::VariantLocale(family, language);
        }
        variant.bytes = own ? bundle::UpdateVariant(*own, analysis.sources[f], values)
                            : bundle::WriteVariant(analysis.sources[f], values);
        JudgeRun(family, language, locale, keys, byPath, written);
        variants.push_back(std::move(variant));
    }
    return variants;
}

}  // namespace cl::catalogue
