#include "bundle/OfferedValues.h"

#include "bundle/Letters.h"
#include "formats/MessageFormat.h"
#include "text/CodePoints.h"

#include <string>
#include <vector>

namespace cl::bundle {

namespace {

bool IsUpper(char c)
{
    return c >= 'A' && c <= 'Z';
}
bool IsLower(char c)
{
    return c >= 'a' && c <= 'z';
}

// The words of a key, lower-cased. "saveAsHTMLShortcut" gives save, as, html, shortcut.
std::vector<std::string> Words(std::string_view key)
{
    std::vector<std::string> words;
    std::string word;
    auto flush = [&]() {
        if (!word.empty())
            words.push_back(word);
        word.clear();
    };
    for (std::size_t i = 0; i < key.size(); ++i) {
        const char c = key[i];
        if (c == '.' || c == '_' || c == '-') {
            flush();
            continue;
        }
        if (IsUpper(c) && i > 0) {
            const char before = key[i - 1];
            const bool afterLower = IsLower(before) || (before >= '0' && before <= '9');
            // The last capital of a run starts the next word: "HTMLShortcut".
            const bool endsRun = IsUpper(before) && i + 1 < key.size() && IsLower(key[i + 1]);
            if (afterLower || endsRun)
                flush();
        }
        word += IsUpper(c) ? static_cast<char>(c - 'A' + 'a') : c;
    }
    flush();
    return words;
}

}  // namespace

bool NamesKeyboardKey(std::string_view key)
{
    const std::vector<std::string> words = Words(key);
    if (words.empty())
        return false;
    const std::string& last = words.back();
    if (last == "mnemonic" || last == "accelerator" || last == "shortcut" || last == "keystroke")
        return true;
    // "KeyStroke" and "ShortCut" are two words in camelCase but one name.
    if (words.size() >= 2) {
        const std::string joined = words[words.size() - 2] + last;
        return joined == "keystroke" || joined == "shortcut";
    }
    return false;
}

ValueOffer OfferValue(std::string_view key, std::string_view value)
{
    ValueOffer offer;
    const std::u32string points = DecodeUtf8Lenient(value);
    if (points.empty()) {
        offer.reason = NotOffered::Empty;
        return offer;
    }
    if (points.size() == 1) {
        offer.reason = NotOffered::OneCharacter;
        offer.oneLetter = IsLetter(points[0]) && !NamesKeyboardKey(key);
        return offer;
    }
    bool letter = false;
    for (const char32_t c : points) {
        if (c == 0 || (c >= 0xD800 && c <= 0xDFFF)) {
            offer.reason = NotOffered::NotCatalogueText;
            return offer;
        }
        letter = letter || IsLetter(c);
    }
    if (!letter) {
        offer.reason = NotOffered::NoLetter;
        return offer;
    }
    if (NamesKeyboardKey(key)) {
        offer.reason = NotOffered::KeyboardKey;
        return offer;
    }
    offer.javaFormat = formats::ParseMessageFormat(value).HasArguments();
    return offer;
}

}  // namespace cl::bundle
