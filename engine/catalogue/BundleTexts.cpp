#include "catalogue/BundleTexts.h"

#include <algorithm>

#include "bundle/OfferedValues.h"
#include "bundle/PropertiesWriter.h"
#include "usage/TextShape.h"

#include <map>
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
    analysis.families = bundle::FindBundleFamilies(paths, isLiteral);
    const auto byPath = ByPath(files);
    std::map<std::string, bundle::PropertiesFile> parsed;
    std::map<std::string, bool> refused;

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
        const bool settings = usage::FamilyIsTable(keyValues);
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
            if (!offer.offered()) {
                ++analysis.notOffered;
                continue;
            }
            BundleText text;
            text.family = f;
            text.file = source->path;
            text.key = entry.key;
            text.value = entry.value;
            text.javaFormat = offer.javaFormat;
            text.settings = settings;
            if (const auto found = existing.find(entry.key);
                found != existing.end() && !found->second.empty() && found->second != entry.value)
                text.existing = found->second;
            analysis.texts.push_back(std::move(text));
        }
    }
    return analysis;
}

std::vector<VariantFile> WriteVariants(const BundleAnalysis& analysis, const std::vector<PropertiesFileBytes>& files,
                                       std::string_view language,
                                       const std::function<std::optional<std::string>(const BundleText&)>& translationOf)
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
        const std::optional<std::string> path = bundle::VariantPath(family, language);
        if (!path)
            continue;
        // The program's own file for the language, when it has one, is what the translation
        // goes into: whatever the catalogue does not touch in it stays as its translator left it.
        // A new file beside a less specific one (zh_CN beside zh) takes that one's values for the
        // keys the catalogue leaves alone, since it hides them from every lookup.
        std::optional<bundle::PropertiesFile> own;
        bundle::VariantValues values;
        if (const bundle::BundleMember* variant = bundle::ExistingVariant(family, language);
            variant != nullptr && variant != source) {
            if (const auto file = byPath.find(variant->path); file != byPath.end()) {
                if (Result<bundle::PropertiesFile> read = bundle::ParseProperties(file->second->bytes)) {
                    if (variant->path == *path) {
                        own = std::move(*read);
                    } else {
                        for (const bundle::PropertiesEntry& entry : read->entries)
                            values[entry.key] = entry.value;
                    }
                }
            }
        }
        VariantFile written;
        for (const BundleText* text : textsOf[f]) {
            if (std::optional<std::string> translation = translationOf(*text)) {
                values[text->key] = std::move(*translation);
                ++written.translated;
            }
        }
        if (written.translated == 0)
            continue;
        written.path = *path;
        written.source = source->path;
        written.replaces = byPath.count(*path) != 0;
        written.bytes = own ? bundle::UpdateVariant(*own, analysis.sources[f], values)
                            : bundle::WriteVariant(analysis.sources[f], values);
        variants.push_back(std::move(written));
    }
    return variants;
}

}  // namespace cl::catalogue
