// fuzz_lang_files: the reader and writer of language files in the order of an English file
// (JOSM's data/*.lang) on arbitrary pairs. The input is a flag byte (bit 0: there is a language
// file), a big-endian u2 where the English file ends, then the English file and the language
// file. Nothing crashes; a fault is a reading fault placed inside the file it names; what the
// reader keeps is bounded by the input; a pair that reads is written back to the language
// file's own bytes; written with translations (new ones, the English, cleared, kept) it fails
// exactly when some translation cannot be written, and otherwise reads back with each entry as
// given.

#include "bundle/OrderedLangFiles.h"
#include "text/CodePoints.h"

#include "FuzzCheck.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace b = cl::bundle;

bool IsReadingFault(b::LangFault fault)
{
    switch (fault) {
        case b::LangFault::EnglishCutShort:
        case b::LangFault::LanguageCutShort:
        case b::LangFault::LanguageEndsEarly:
        case b::LangFault::LanguageRunsOn:
        case b::LangFault::NoPluralMark:
        case b::LangFault::NoEnglishForms: return true;
        default: return false;
    }
}

bool None(const std::vector<std::string>& forms)
{
    return std::all_of(forms.begin(), forms.end(), [](const std::string& f) { return f.empty(); });
}

void CheckChanges(const b::LangFile& file, std::string_view english)
{
    b::LangTranslations translations;
    for (std::size_t i = 0; i < file.entries.size(); ++i) {
        const b::LangEntry& entry = file.entries[i];
        const b::LangKey key = b::KeyOf(entry);
        if (translations.count(key) != 0)
            continue;
        switch (i % 4) {
            case 0: {
                std::vector<std::string> forms;
                for (const std::string& text : entry.english)
                    forms.push_back("\xE8\xAF\x91" + text);  // 译
                if (forms.empty())
                    forms.push_back("x");
                translations[key] = forms;
                break;
            }
            case 1: translations[key] = entry.english; break;
            case 2: translations[key] = {}; break;
            default: break;  // kept
        }
    }
    bool writable = true;
    for (const b::LangEntry& entry : file.entries) {
        const auto given = translations.find(b::KeyOf(entry));
        if (given != translations.end() && b::CheckLangTranslation(entry, given->second) != b::LangFault::None)
            writable = false;
    }
    const auto written = b::WriteLangFile(file, translations);
    CHECK(written.ok() == writable);
    if (!written) {
        CHECK(written.error().kind == cl::ErrorKind::LangTextUnwritable);
        const auto fault = static_cast<b::LangFault>(written.error().fault);
        CHECK(!IsReadingFault(fault) || fault == b::LangFault::NoEnglishForms);
        CHECK(fault != b::LangFault::None);
        return;
    }
    const auto again = b::ReadLangFiles(english, *written);
    CHECK(again.ok());
    CHECK(again->entries.size() == file.entries.size());
    CHECK(again->hasPluralPart == file.hasPluralPart);
    for (std::size_t i = 0; i < file.entries.size(); ++i) {
        const b::LangEntry& was = file.entries[i];
        const b::LangEntry& now = again->entries[i];
        CHECK(now.english == was.english);
        const auto given = translations.find(b::KeyOf(was));
        if (given == translations.end()) {
            CHECK(now.record == was.record || was.record.empty());
            CHECK(now.state == was.state);
            CHECK(now.translation == was.translation);
            continue;
        }
        const std::vector<std::string>& forms = given->second;
        if (forms.empty() || None(forms) || was.english.empty()) {
            CHECK(now.state == b::LangState::Untranslated);
        } else if (forms == was.english) {
            CHECK(now.state == b::LangState::SameAsEnglish);
            CHECK(now.translation == was.english);
        } else {
            CHECK(now.state == b::LangState::Translated);
            CHECK(now.translation == forms);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size < 3)
        return 0;
    const bool hasLanguage = (data[0] & 1) != 0;
    const std::size_t split = std::min<std::size_t>(static_cast<std::size_t>(data[1] << 8 | data[2]), size - 3);
    const std::string_view rest(reinterpret_cast<const char*>(data) + 3, size - 3);
    const std::string_view english = rest.substr(0, split);
    const std::optional<std::string_view> language =
        hasLanguage ? std::optional<std::string_view>(rest.substr(split)) : std::nullopt;

    const auto file = b::ReadLangFiles(english, language);
    if (!file) {
        const auto fault = static_cast<b::LangFault>(file.error().fault);
        CHECK(file.error().kind == cl::ErrorKind::LangFileUnreadable);
        CHECK(IsReadingFault(fault));
        const bool inEnglish = fault == b::LangFault::EnglishCutShort || fault == b::LangFault::NoEnglishForms;
        CHECK(inEnglish || hasLanguage);
        CHECK(file.error().offset <= (inEnglish ? english.size() : language->size()));
        return 0;
    }

    // What the reader keeps: each English text once (a same-as-English translation again), a
    // malformed byte at most three times over as U+FFFD, each record once.
    std::size_t kept = 0;
    for (const b::LangEntry& entry : file->entries) {
        for (const std::string& text : entry.english)
            kept += text.size();
        for (const std::string& text : entry.translation)
            kept += text.size();
        kept += entry.record.size() + entry.context.size();
        for (const std::string& text : entry.english)
            CHECK(cl::IsStrictUtf8(text));
        for (const std::string& text : entry.translation)
            CHECK(cl::IsStrictUtf8(text));
    }
    CHECK(kept <= 7 * english.size() + 4 * (language ? language->size() : 0));
    CHECK(file->entries.size() <= english.size());

    const auto unchanged = b::WriteLangFile(*file, {});
    CHECK(unchanged.ok());
    if (language) {
        CHECK(*unchanged == *language);
    } else {
        const auto again = b::ReadLangFiles(english, *unchanged);
        CHECK(again.ok());
        CHECK(again->entries.size() == file->entries.size());
        for (const b::LangEntry& entry : again->entries)
            CHECK(entry.state == b::LangState::Untranslated);
    }
    CheckChanges(*file, english);
    return 0;
}
