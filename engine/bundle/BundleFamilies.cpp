#include "bundle/BundleFamilies.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

namespace cl::bundle {

namespace {

constexpr std::string_view kExtension = ".properties";
constexpr std::string_view kJarSeparator = "!/";

struct Split {
    std::string base;
    std::optional<LocaleTag> locale;
};

struct File {
    std::string path;
    std::string folder;  // up to and with the last '/'
    std::string name;    // the file name
    std::string stem;    // without the extension
    std::vector<Split> splits;  // the readings of the stem: itself, and base + locale
};

// The ways a stem reads as base + "_" + locale, the stem as a base of its own first.
std::vector<Split> SplitsOf(const std::string& stem)
{
    std::vector<Split> splits{{stem, std::nullopt}};
    for (std::size_t at = stem.find('_'); at != std::string::npos; at = stem.find('_', at + 1)) {
        if (at == 0)
            continue;
        if (auto tag = ParseLocaleTag(std::string_view(stem).substr(at + 1)))
            splits.push_back({stem.substr(0, at), std::move(tag)});
    }
    return splits;
}

// The part of a folder path that names classes: after the jar it lies in, if any.
std::string_view InsideJar(std::string_view path)
{
    const std::size_t at = path.rfind(kJarSeparator);
    return at == std::string_view::npos ? path : path.substr(at + kJarSeparator.size());
}

// A base name ("app/Messages") appears as a literal with '.' or '/' between its parts: the
// whole of it, or, when the literal has two parts or more, an end of it.
bool NamedInCode(std::string_view basePath, const IsStringLiteral& isLiteral)
{
    if (!isLiteral)
        return false;
    std::string name(basePath);
    std::size_t from = 0;
    while (true) {
        const std::string_view tail = std::string_view(name).substr(from);
        const bool whole = from == 0;
        if (!whole && tail.find('/') == std::string_view::npos)
            return false;
        std::string dotted(tail);
        std::replace(dotted.begin(), dotted.end(), '/', '.');
        if (isLiteral(tail) || isLiteral(dotted))
            return true;
        const std::size_t slash = name.find('/', from);
        if (slash == std::string::npos)
            return false;
        from = slash + 1;
    }
}

bool LocaleLess(const BundleMember& a, const BundleMember& b)
{
    if (!a.locale || !b.locale)
        return !a.locale && b.locale;
    return a.locale->Text() < b.locale->Text();
}

std::optional<std::size_t> ChooseSource(const std::vector<BundleMember>& members)
{
    for (std::size_t i = 0; i < members.size(); ++i) {
        if (!members[i].locale)
            return i;
    }
    for (const std::string_view english : {"en", "en_US", "en_GB"}) {
        const std::optional<LocaleTag> tag = ParseLocaleTag(english);
        for (std::size_t i = 0; i < members.size(); ++i) {
            if (members[i].locale == tag)
                return i;
        }
    }
    return std::nullopt;
}

// The language folder of a file in a folder layout: its parent folder's name, read as a
// locale with '_' or '-' between the parts.
std::optional<std::pair<LocaleTag, char>> FolderLocale(const File& file)
{
    const std::string_view folder = std::string_view(file.folder).substr(0, file.folder.size() - 1);
    if (folder.empty())
        return std::nullopt;
    const std::size_t slash = folder.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? folder : folder.substr(slash + 1);
    if (auto tag = ParseLocaleTag(name, '_'))
        return std::make_pair(*tag, '_');
    if (auto tag = ParseLocaleTag(name, '-'))
        return std::make_pair(*tag, '-');
    return std::nullopt;
}

std::string ParentFolder(const std::string& folder)
{
    const std::string_view inner = std::string_view(folder).substr(0, folder.size() - 1);
    const std::size_t slash = inner.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(inner.substr(0, slash + 1));
}

}  // namespace

std::vector<LocaleTag> LookupOrder(std::string_view language)
{
    std::vector<LocaleTag> order;
    const std::optional<LocaleTag> tag = LanguageOfCatalogue(language);
    if (!tag)
        return order;
    const std::string& lang = tag->language;
    std::string script = tag->script;
    std::string country = tag->country;
    // Java files Chinese under both spellings: a program ships zh_CN or zh_Hans, zh_TW or
    // zh_Hant, and a run in either finds it. A country gives its script first thing; a script
    // gives its country only for the forms without the script.
    if (lang == "zh" && script.empty() && !country.empty()) {
        if (country == "CN" || country == "SG")
            script = "Hans";
        else if (country == "TW" || country == "HK" || country == "MO")
            script = "Hant";
    }
    // The variant, then each shorter form of it ("a_b", then "a").
    std::vector<std::string> variants;
    for (std::string v = tag->variant; !v.empty();) {
        variants.push_back(v);
        const std::size_t cut = v.rfind('_');
        v = cut == std::string::npos ? std::string() : v.substr(0, cut);
    }
    auto add = [&](const std::string& s, const std::string& c, const std::string& v) {
        LocaleTag candidate{lang, s, c, v};
        if (std::find(order.begin(), order.end(), candidate) == order.end())
            order.push_back(std::move(candidate));
    };
    for (const std::string& v : variants)
        add(script, country, v);
    if (!country.empty())
        add(script, country, {});
    if (!script.empty()) {
        add(script, {}, {});
        if (lang == "zh" && country.empty())
            country = script == "Hans" ? "CN" : script == "Hant" ? "TW" : "";
        for (const std::string& v : variants)
            add({}, country, v);
        if (!country.empty())
            add({}, country, {});
    }
    add({}, {}, {});
    return order;
}

std::string BundleFamily::Name() const
{
    return layout == BundleLayout::LocaleSuffix ? folder + baseName : folder + "*/" + baseName;
}

std::vector<BundleFamily> FindBundleFamilies(const std::vector<std::string>& paths, const IsStringLiteral& isLiteral)
{
    std::vector<File> files;
    std::set<std::string> seen;
    for (const std::string& path : paths) {
        if (path.size() <= kExtension.size() || path.compare(path.size() - kExtension.size(), kExtension.size(), kExtension) != 0)
            continue;
        if (!seen.insert(path).second)
            continue;
        File file;
        file.path = path;
        const std::size_t slash = path.rfind('/');
        file.folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
        file.name = path.substr(file.folder.size());
        if (file.name.size() == kExtension.size())
            continue;  // ".properties" names no bundle
        file.stem = file.name.substr(0, file.name.size() - kExtension.size());
        file.splits = SplitsOf(file.stem);
        files.push_back(std::move(file));
    }

    // How many files each (folder, base) could gather; a file joins the reading of its stem
    // with the most company, and among equals the longest base: "my_app" stays the base of
    // "my_app_de" rather than becoming the "app" variant of "my".
    std::map<std::pair<std::string, std::string>, int> company;
    for (const File& file : files) {
        for (const Split& split : file.splits)
            ++company[{file.folder, split.base}];
    }
    std::map<std::pair<std::string, std::string>, std::vector<std::pair<const File*, const Split*>>> groups;
    for (const File& file : files) {
        const Split* best = nullptr;
        int bestCount = 0;
        for (const Split& split : file.splits) {
            const int count = company[{file.folder, split.base}];
            if (count > bestCount || (count == bestCount && best != nullptr && split.base.size() > best->base.size())) {
                best = &split;
                bestCount = count;
            }
        }
        groups[{file.folder, best->base}].emplace_back(&file, best);
    }

    std::vector<BundleFamily> families;
    std::set<const File*> taken;
    for (const auto& [key, members] : groups) {
        if (members.size() < 2)
            continue;
        BundleFamily family;
        family.layout = BundleLayout::LocaleSuffix;
        family.folder = key.first;
        family.baseName = key.second;
        for (const auto& [file, split] : members) {
            family.members.push_back({file->path, split->locale});
            taken.insert(file);
        }
        family.namedInCode = NamedInCode(std::string(InsideJar(family.folder)) + family.baseName, isLiteral);
        families.push_back(std::move(family));
    }

    // The folder layout, among the files left: the same file name in two language folders or
    // more of one folder.
    std::map<std::pair<std::string, std::string>, std::vector<std::pair<const File*, std::pair<LocaleTag, char>>>>
        byFolder;
    for (const File& file : files) {
        if (taken.count(&file) != 0 || InsideJar(file.folder).empty())
            continue;
        if (auto locale = FolderLocale(file))
            byFolder[{ParentFolder(file.folder), file.name}].emplace_back(&file, *locale);
    }
    for (const auto& [key, members] : byFolder) {
        if (members.size() < 2)
            continue;
        BundleFamily family;
        family.layout = BundleLayout::LocaleFolder;
        family.folder = key.first;
        family.baseName = key.second;
        for (const auto& [file, locale] : members) {
            family.members.push_back({file->path, locale.first});
            if (locale.second == '-')
                family.separator = '-';
            taken.insert(file);
        }
        families.push_back(std::move(family));
    }

    // A file alone is a bundle when the program names it: "app.Messages" for
    // app/Messages.properties, or for app/Messages_en.properties when there is no base file.
    for (const File& file : files) {
        if (taken.count(&file) != 0)
            continue;
        for (const Split& split : file.splits) {
            if (!NamedInCode(std::string(InsideJar(file.folder)) + split.base, isLiteral))
                continue;
            BundleFamily family;
            family.layout = BundleLayout::LocaleSuffix;
            family.folder = file.folder;
            family.baseName = split.base;
            family.namedInCode = true;
            family.members.push_back({file.path, split.locale});
            families.push_back(std::move(family));
            break;
        }
    }

    for (BundleFamily& family : families) {
        std::stable_sort(family.members.begin(), family.members.end(), LocaleLess);
        family.source = ChooseSource(family.members);
    }
    std::sort(families.begin(), families.end(), [](const BundleFamily& a, const BundleFamily& b) {
        return std::make_tuple(a.Name(), a.layout) < std::make_tuple(b.Name(), b.layout);
    });
    return families;
}

const BundleMember* ExistingVariant(const BundleFamily& family, std::string_view language)
{
    for (const LocaleTag& wanted : LookupOrder(language)) {
        for (const BundleMember& member : family.members) {
            if (member.locale && member.locale == wanted)
                return &member;
        }
    }
    return nullptr;
}

std::optional<LocaleTag> VariantLocale(const BundleFamily& family, std::string_view language)
{
    std::optional<LocaleTag> tag = LanguageOfCatalogue(language);
    if (!tag || family.layout == BundleLayout::LocaleSuffix)
        return tag;
    const bool languagesAlone = std::all_of(family.members.begin(), family.members.end(), [](const BundleMember& m) {
        return m.locale && m.locale->LanguageOnly();
    });
    if (languagesAlone)
        return LocaleTag{tag->language, {}, {}, {}};
    return tag;
}

std::optional<std::string> VariantPath(const BundleFamily& family, std::string_view language)
{
    const std::optional<LocaleTag> tag = VariantLocale(family, language);
    if (!tag)
        return std::nullopt;
    if (family.layout == BundleLayout::LocaleSuffix)
        return family.folder + family.baseName + "_" + tag->Text('_') + std::string(kExtension);
    return family.folder + tag->Text(family.separator) + "/" + family.baseName;
}

}  // namespace cl::bundle
