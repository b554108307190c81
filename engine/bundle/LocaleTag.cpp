#include "bundle/LocaleTag.h"

#include <vector>

namespace cl::bundle {

namespace {

bool AllOf(std::string_view s, bool (*pred)(char))
{
    for (const char c : s) {
        if (!pred(c))
            return false;
    }
    return true;
}

bool IsLower(char c)
{
    return c >= 'a' && c <= 'z';
}
bool IsUpper(char c)
{
    return c >= 'A' && c <= 'Z';
}
bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}
bool IsAlnum(char c)
{
    return IsLower(c) || IsUpper(c) || IsDigit(c);
}

bool IsLanguage(std::string_view s)
{
    return (s.size() == 2 || s.size() == 3) && AllOf(s, IsLower);
}
bool IsScript(std::string_view s)
{
    return s.size() == 4 && IsUpper(s[0]) && AllOf(s.substr(1), IsLower);
}
bool IsCountry(std::string_view s)
{
    return (s.size() == 2 && AllOf(s, IsUpper)) || (s.size() == 3 && AllOf(s, IsDigit));
}

std::vector<std::string_view> Split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    std::size_t from = 0;
    while (true) {
        const std::size_t at = text.find(separator, from);
        parts.push_back(text.substr(from, at == std::string_view::npos ? std::string_view::npos : at - from));
        if (at == std::string_view::npos)
            return parts;
        from = at + 1;
    }
}

}  // namespace

std::string LocaleTag::Text(char separator) const
{
    std::string out = language;
    if (!script.empty())
        out += separator + script;
    if (!country.empty() || !variant.empty())
        out += separator + country;
    if (!variant.empty())
        out += separator + variant;
    return out;
}

std::optional<LocaleTag> ParseLocaleTag(std::string_view text, char separator)
{
    const std::vector<std::string_view> parts = Split(text, separator);
    std::size_t i = 0;
    LocaleTag tag;
    if (!IsLanguage(parts[i]))
        return std::nullopt;
    tag.language = parts[i++];
    if (i < parts.size() && IsScript(parts[i]))
        tag.script = parts[i++];
    bool countryPlace = false;
    if (i < parts.size() && IsCountry(parts[i])) {
        tag.country = parts[i++];
        countryPlace = true;
    } else if (i + 1 < parts.size() && parts[i].empty() && separator == '_') {
        ++i;  // "de__POSIX": a variant without a country
        countryPlace = true;
    }
    if (i < parts.size()) {
        if (!countryPlace || separator != '_')
            return std::nullopt;
        for (std::size_t k = i; k < parts.size(); ++k) {
            if (parts[k].empty() || !AllOf(parts[k], IsAlnum))
                return std::nullopt;
            if (!tag.variant.empty())
                tag.variant += '_';
            tag.variant += parts[k];
        }
    }
    return tag;
}

std::optional<LocaleTag> LanguageOfCatalogue(std::string_view language)
{
    std::string text(language.substr(0, language.find_first_of(".@")));
    for (char& c : text) {
        if (c == '-')
            c = '_';
    }
    // Catalogues are written by hand too: "zh_cn" and "zh_hans" mean what Java spells
    // "zh_CN" and "zh_Hans".
    std::string fixed;
    const std::vector<std::string_view> parts = Split(text, '_');
    for (std::size_t i = 0; i < parts.size(); ++i) {
        std::string part(parts[i]);
        for (std::size_t k = 0; k < part.size(); ++k) {
            const char c = part[k];
            const bool upper = i > 0 && (part.size() == 2 || (part.size() == 4 && k == 0));
            if (i == 0 || part.size() == 2 || part.size() == 4)
                part[k] = upper ? (IsLower(c) ? char(c - 'a' + 'A') : c) : (IsUpper(c) ? char(c - 'A' + 'a') : c);
        }
        if (i > 0)
            fixed += '_';
        fixed += part;
    }
    return ParseLocaleTag(fixed);
}

}  // namespace cl::bundle
