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


// The jar a path lies in, with its "!/" ("lib/a.jar!/"); empty for a loose file.
std::string_view JarOf(std::string_view path)
{
    const std::size_t at = path.rfind(kJarSeparator);
    return at == std::string_view::npos ? std::string_view() : path.substr(0, at + kJarSeparator.size());
}

// Where a family sits on a class path: its layout, its folder inside the jar and its base name.
using ClassPathName = std::tuple<BundleLayout, std::string, std::string>;

// A family of one jar, or files that jar holds alone, that may be one bundle with families of
// the same name in other jars.
struct JarPart {
    std::string jar;
    BundleFamily family;
    std::optional<std::size_t> found;  // the family FindBundleFamilies found in that jar, if any
};

// The files a jar's part adds to a family (none of them a source) mostly hold the source's keys:
// of their keys together, at least half. Two libraries' bundles of one name share a word or two
// at most; a program's translations hold its English keys, less the ones not yet translated and
// a few it dropped since.
bool TranslatesSource(const std::set<std::string>& source, const JarPart& part, const KeysOf& keysOf)
{
    std::set<std::string> keys;
    for (const BundleMember& member : part.family.members) {
        if (std::optional<std::set<std::string>> held = keysOf(member.path))
            keys.insert(held->begin(), held->end());
    }
    const auto shared = std::count_if(keys.begin(), keys.end(), [&](const std::string& key) { return source.count(key) != 0; });
    return !keys.empty() && static_cast<std::size_t>(shared) * 2 >= keys.size();
}

// Joins families of one name found in several jars (FindBundleFamilies says when). `files` are
// all the program's candidates, `taken` those already in a family of their jar.
void JoinAcrossJars(std::vector<BundleFamily>& families, const std::vector<File>& files, std::set<const File*>& taken,
                    const IsStringLiteral& isLiteral, const KeysOf& keysOf)
{
    std::vector<JarPart> parts;
    std::map<ClassPathName, std::set<std::string>> jarsOf;  // the jars that hold each name
    for (std::size_t f = 0; f < families.size(); ++f) {
        const std::string_view jar = JarOf(families[f].folder);
        if (jar.empty())
            continue;
        parts.push_back({std::string(jar), families[f], f});
        jarsOf[{families[f].layout, std::string(InsideJar(families[f].folder)), families[f].baseName}].insert(
            std::string(jar));
    }
    // The readings of the files left alone in their jars: base + locale, or a language folder.
    struct Reading {
        ClassPathName name;
        BundleMember member;
        std::string folder;  // the family's folder, jar included
        char separator = '_';
    };
    std::vector<std::pair<const File*, std::vector<Reading>>> alone;
    for (const File& file : files) {
        const std::string_view jar = JarOf(file.path);
        if (taken.count(&file) != 0 || jar.empty())
            continue;
        std::vector<Reading> readings;
        for (const Split& split : file.splits)
            readings.push_back({{BundleLayout::LocaleSuffix, std::string(InsideJar(file.folder)), split.base},
                                {file.path, split.locale}, file.folder, '_'});
        if (!InsideJar(file.folder).empty()) {
            if (auto locale = FolderLocale(file)) {
                const std::string parent = ParentFolder(file.folder);
                readings.push_back({{BundleLayout::LocaleFolder, std::string(InsideJar(parent)), file.name},
                                    {file.path, locale->first}, parent, locale->second});
            }
        }
        for (const Reading& reading : readings)
            jarsOf[reading.name].insert(std::string(jar));
        alone.emplace_back(&file, std::move(readings));
    }
    // A file left alone takes the reading that most jars share, among equals the longest base,
    // as within a jar; files of one jar that read alike are one part.
    std::map<std::pair<ClassPathName, std::string>, std::size_t> partOf;
    for (auto& [file, readings] : alone) {
        const Reading* best = nullptr;
        std::size_t bestJars = 1;
        for (const Reading& reading : readings) {
            const std::size_t jars = jarsOf[reading.name].size();
            if (jars > bestJars || (jars == bestJars && best != nullptr &&
                                    std::get<2>(reading.name).size() > std::get<2>(best->name).size())) {
                best = &reading;
                bestJars = jars;
            }
        }
        if (best == nullptr)
            continue;
        const std::string jar(JarOf(file->path));
        auto [at, fresh] = partOf.emplace(std::make_pair(best->name, jar), parts.size());
        if (fresh) {
            JarPart part;
            part.jar = jar;
            part.family.layout = std::get<0>(best->name);
            part.family.folder = best->folder;
            part.family.baseName = std::get<2>(best->name);
            part.family.separator = best->separator;
            if (part.family.layout == BundleLayout::LocaleSuffix)
                part.family.namedInCode =
                    NamedInCode(std::get<1>(best->name) + part.family.baseName, isLiteral);
            parts.push_back(std::move(part));
        }
        parts[at->second].family.members.push_back(best->member);
    }

    std::map<ClassPathName, std::vector<std::size_t>> byName;
    for (std::size_t p = 0; p < parts.size(); ++p) {
        const BundleFamily& family = parts[p].family;
        byName[{family.layout, std::string(InsideJar(family.folder)), family.baseName}].push_back(p);
    }
    std::set<std::size_t> joinedFamilies;  // families of one jar that went into another's
    std::vector<BundleFamily> added;
    for (const auto& [name, group] : byName) {
        if (group.size() < 2)
            continue;
        // Exactly one jar supplies the source; the parts of two jars with a source each are
        // two bundles, and a name with no source anywhere gains nothing by joining.
        std::optional<std::size_t> withSource;
        bool twoSources = false;
        std::set<std::string> jars;
        for (const std::size_t p : group) {
            jars.insert(parts[p].jar);
            if (ChooseSource(parts[p].family.members)) {
                twoSources = twoSources || withSource.has_value();
                withSource = p;
            }
        }
        if (!withSource || twoSources || jars.size() != group.size())
            continue;
        JarPart& home = parts[*withSource];
        const BundleMember& source = home.family.members[*ChooseSource(home.family.members)];
        const std::optional<std::set<std::string>> sourceKeys = keysOf(source.path);
        if (!sourceKeys)
            continue;
        std::set<std::string> languages;
        for (const BundleMember& member : home.family.members) {
            if (member.locale)
                languages.insert(member.locale->Text());
        }
        bool joined = false;
        for (const std::size_t p : group) {
            if (p == *withSource)
                continue;
            const JarPart& part = parts[p];
            // Two files of one language in two jars: the class path reads the one of the jar it
            // lists first, which the program's files do not tell.
            const bool again = std::any_of(part.family.members.begin(), part.family.members.end(),
                                           [&](const BundleMember& m) { return languages.count(m.locale->Text()) != 0; });
            if (again || !TranslatesSource(*sourceKeys, part, keysOf))
                continue;
            for (const BundleMember& member : part.family.members) {
                languages.insert(member.locale->Text());
                home.family.members.push_back(member);
            }
            home.family.namedInCode = home.family.namedInCode || part.family.namedInCode;
            if (part.found)
                joinedFamilies.insert(*part.found);
            joined = true;
        }
        if (!joined)
            continue;
        if (home.found)
            families[*home.found] = home.family;
        else
            added.push_back(home.family);
    }
    std::vector<BundleFamily> kept;
    for (std::size_t f = 0; f < families.size(); ++f) {
        if (joinedFamilies.count(f) == 0)
            kept.push_back(std::move(families[f]));
    }
    for (BundleFamily& family : added)
        kept.push_back(std::move(family));
    families = std::move(kept);
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

std::vector<BundleFamily> FindBundleFamilies(const std::vector<std::string>& paths, const IsStringLiteral& isLiteral,
                                             const KeysOf& keysOf)
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
            taken.insert(&file);
            break;
        }
    }

    if (keysOf)
        JoinAcrossJars(families, files, taken, isLiteral, keysOf);

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
