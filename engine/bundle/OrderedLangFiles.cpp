#include "bundle/OrderedLangFiles.h"

#include "text/CodePoints.h"

#include <algorithm>

namespace cl::bundle {

namespace {

constexpr uint16_t kPluralMark = 0xFFFF;
constexpr uint16_t kSameLength = 0xFFFE;
constexpr uint8_t kSameCount = 0xFE;
// A singular translation's length may take neither mark; a plural form's length is never a
// mark (the count says how many follow); a count may not take the same-as-English mark.
constexpr uint64_t kMaxSingularBytes = 0xFFFD;
constexpr uint64_t kMaxFormBytes = 0xFFFF;
constexpr uint64_t kMaxForms = 0xFD;

constexpr std::string_view kContextPrefix = "_:";

Error ReadFault(LangFault fault, std::size_t offset)
{
    Error error(ErrorKind::LangFileUnreadable);
    error.fault = static_cast<uint16_t>(fault);
    error.offset = offset;
    return error;
}

// One of the two files, read front to back. A read that cannot be done leaves the place as it
// was, so that a fault names where the cut thing begins.
class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}

    std::size_t at() const { return at_; }
    std::size_t left() const { return bytes_.size() - at_; }
    bool AtEnd() const { return at_ == bytes_.size(); }

    uint16_t U2()
    {
        const auto hi = static_cast<unsigned char>(bytes_[at_]);
        const auto lo = static_cast<unsigned char>(bytes_[at_ + 1]);
        at_ += 2;
        return static_cast<uint16_t>(hi << 8 | lo);
    }
    uint8_t U1() { return static_cast<uint8_t>(bytes_[at_++]); }
    std::string_view Take(std::size_t n)
    {
        const std::string_view taken = bytes_.substr(at_, n);
        at_ += n;
        return taken;
    }
    std::string_view Since(std::size_t from) const { return bytes_.substr(from, at_ - from); }

private:
    std::string_view bytes_;
    std::size_t at_ = 0;
};

// A length and the text it counts; the fault when the file ends inside either.
bool ReadText(Reader& in, std::string& text, bool& lossy)
{
    if (in.left() < 2)
        return false;
    const uint16_t length = in.U2();
    if (in.left() < length)
        return false;
    text = DecodeUtf8AsJava(in.Take(length), lossy);
    return true;
}

void SplitContext(LangEntry& entry)
{
    const std::string& key = entry.english.front();
    if (key.compare(0, kContextPrefix.size(), kContextPrefix) != 0)
        return;
    const std::size_t end = key.find('\n');
    if (end == std::string::npos)
        return;
    entry.hasContext = true;
    entry.context = key.substr(kContextPrefix.size(), end - kContextPrefix.size());
    entry.english.front() = key.substr(end + 1);
}

std::string LookupOf(std::string_view text, bool hasContext, std::string_view context)
{
    if (!hasContext)
        return std::string(text);
    std::string lookup(kContextPrefix);
    lookup.append(context).append(1, '\n').append(text);
    return lookup;
}

void AppendU2(std::string& out, uint64_t value)
{
    out += static_cast<char>((value >> 8) & 0xFF);
    out += static_cast<char>(value & 0xFF);
}

bool AllEmpty(const std::vector<std::string>& forms)
{
    return std::all_of(forms.begin(), forms.end(), [](const std::string& f) { return f.empty(); });
}

Result<void> ReadSingularPart(Reader& en, Reader* tr, LangFile& file)
{
    for (;;) {
        const std::size_t enHas = std::min<std::size_t>(en.left(), 2);
        const std::size_t trHas = tr != nullptr ? std::min<std::size_t>(tr->left(), 2) : 2;
        if (enHas == 0 && (tr == nullptr || trHas == 0))
            return {};
        if (enHas == 0)
            return ReadFault(LangFault::LanguageRunsOn, tr->at());
        if (trHas == 0)
            return ReadFault(LangFault::LanguageEndsEarly, tr->at());
        if (enHas < 2)
            return ReadFault(LangFault::EnglishCutShort, en.at());
        if (trHas < 2)
            return ReadFault(LangFault::LanguageCutShort, tr->at());

        const std::size_t enStart = en.at();
        const std::size_t trStart = tr != nullptr ? tr->at() : 0;
        const uint16_t enLength = en.U2();
        const uint16_t trLength = tr != nullptr ? tr->U2() : 0;
        if (enLength == kPluralMark) {
            if (tr != nullptr && trLength != kPluralMark)
                return ReadFault(LangFault::NoPluralMark, trStart);
            file.hasPluralPart = true;
            return {};
        }
        if (en.left() < enLength)
            return ReadFault(LangFault::EnglishCutShort, enStart);
        LangEntry entry;
        entry.english.push_back(DecodeUtf8AsJava(en.Take(enLength), entry.lossy));
        if (tr != nullptr && trLength == kSameLength) {
            entry.state = LangState::SameAsEnglish;
        } else if (tr != nullptr && trLength != 0) {
            if (tr->left() < trLength)
                return ReadFault(LangFault::LanguageCutShort, trStart);
            entry.state = LangState::Translated;
            entry.translation.push_back(DecodeUtf8AsJava(tr->Take(trLength), entry.lossy));
        }
        if (tr != nullptr)
            entry.record = std::string(tr->Since(trStart));
        SplitContext(entry);
        if (entry.state == LangState::SameAsEnglish)
            entry.translation = entry.english;
        file.entries.push_back(std::move(entry));
    }
}

Result<void> ReadPluralPart(Reader& en, Reader* tr, LangFile& file)
{
    for (;;) {
        const bool trAtEnd = tr == nullptr || tr->AtEnd();
        if (en.AtEnd() && trAtEnd)
            return {};
        if (en.AtEnd())
            return ReadFault(LangFault::LanguageRunsOn, tr->at());
        if (tr != nullptr && trAtEnd)
            return ReadFault(LangFault::LanguageEndsEarly, tr->at());

        const std::size_t enStart = en.at();
        const std::size_t trStart = tr != nullptr ? tr->at() : 0;
        const uint8_t enCount = en.U1();
        const uint8_t trCount = tr != nullptr ? tr->U1() : 0;
        LangEntry entry;
        entry.plural = true;
        for (unsigned i = 0; i < enCount; ++i) {
            const std::size_t at = en.at();
            std::string text;
            if (!ReadText(en, text, entry.lossy))
                return ReadFault(LangFault::EnglishCutShort, at);
            entry.english.push_back(std::move(text));
        }
        if (trCount == kSameCount) {
            entry.state = LangState::SameAsEnglish;
        } else if (trCount != 0) {
            // JOSM keys the forms by the first English one and fails when there is none.
            if (enCount == 0)
                return ReadFault(LangFault::NoEnglishForms, enStart);
            entry.state = LangState::Translated;
            for (unsigned i = 0; i < trCount; ++i) {
                const std::size_t at = tr->at();
                std::string text;
                if (!ReadText(*tr, text, entry.lossy))
                    return ReadFault(LangFault::LanguageCutShort, at);
                entry.translation.push_back(std::move(text));
            }
        }
        if (tr != nullptr)
            entry.record = std::string(tr->Since(trStart));
        if (!entry.english.empty())
            SplitContext(entry);
        if (entry.state == LangState::SameAsEnglish)
            entry.translation = entry.english;
        file.entries.push_back(std::move(entry));
    }
}

// The bytes of an entry written with `forms` (already checked).
void AppendTranslation(std::string& out, const LangEntry& entry, const std::vector<std::string>& forms)
{
    const bool none = forms.empty() || AllEmpty(forms) || (entry.plural && entry.english.empty());
    const bool same = !none && forms == entry.english;
    if (!entry.plural) {
        AppendU2(out, none ? 0 : same ? kSameLength : forms.front().size());
        if (!none && !same)
            out += forms.front();
        return;
    }
    out += static_cast<char>(none ? 0 : same ? kSameCount : forms.size());
    if (none || same)
        return;
    for (const std::string& form : forms) {
        AppendU2(out, form.size());
        out += form;
    }
}

// The bytes of an entry kept as it was read.
void AppendKept(std::string& out, const LangEntry& entry)
{
    if (!entry.record.empty()) {
        out += entry.record;
        return;
    }
    AppendTranslation(out, entry, entry.state == LangState::Untranslated ? std::vector<std::string>() : entry.translation);
}

}  // namespace

LangKey SingularKey(std::string_view text, std::optional<std::string_view> context)
{
    return {LookupOf(text, context.has_value(), context.value_or(std::string_view())), false};
}

LangKey PluralKey(std::string_view singular, std::optional<std::string_view> context)
{
    return {LookupOf(singular, context.has_value(), context.value_or(std::string_view())), true};
}

LangKey KeyOf(const LangEntry& entry)
{
    const std::string_view text = entry.english.empty() ? std::string_view() : std::string_view(entry.english.front());
    return {LookupOf(text, entry.hasContext, entry.context), entry.plural};
}

const LangEntry* LangFile::Find(const LangKey& key) const
{
    // KeyOf without making the key: a catalogue looks up every text of a file of thousands.
    const std::string_view lookup = key.lookup;
    for (const LangEntry& entry : entries) {
        if (entry.plural != key.plural)
            continue;
        const std::string_view text = entry.english.empty() ? std::string_view() : std::string_view(entry.english.front());
        if (!entry.hasContext) {
            if (lookup == text)
                return &entry;
            continue;
        }
        const std::size_t size = kContextPrefix.size() + entry.context.size() + 1 + text.size();
        if (lookup.size() == size && lookup.substr(0, kContextPrefix.size()) == kContextPrefix &&
            lookup.substr(kContextPrefix.size(), entry.context.size()) == entry.context &&
            lookup[kContextPrefix.size() + entry.context.size()] == '\n' &&
            lookup.substr(size - text.size()) == text)
            return &entry;
    }
    return nullptr;
}

Result<LangFile> ReadLangFiles(std::string_view english, std::optional<std::string_view> language)
{
    LangFile file;
    Reader en(english);
    std::optional<Reader> tr;
    if (language)
        tr.emplace(*language);
    Reader* trp = tr ? &*tr : nullptr;
    if (auto singular = ReadSingularPart(en, trp, file); !singular)
        return std::move(singular).error();
    if (file.hasPluralPart)
        if (auto plural = ReadPluralPart(en, trp, file); !plural)
            return std::move(plural).error();
    return file;
}

LangFault CheckLangTranslation(const LangEntry& entry, const std::vector<std::string>& forms)
{
    if (forms.empty() || AllEmpty(forms))
        return LangFault::None;
    if (!entry.plural && forms.size() > 1)
        return LangFault::FormsForSingular;
    if (entry.plural && entry.english.empty())
        return LangFault::NoEnglishForms;
    if (entry.plural && forms.size() > kMaxForms)
        return LangFault::TooManyForms;
    if (forms == entry.english)
        return LangFault::None;
    const uint64_t most = entry.plural ? kMaxFormBytes : kMaxSingularBytes;
    for (const std::string& form : forms) {
        if (form.size() > most)
            return LangFault::TextTooLong;
        if (!IsStrictUtf8(form))
            return LangFault::TextNotUtf8;
    }
    return LangFault::None;
}

Result<std::string> WriteLangFile(const LangFile& file, const LangTranslations& translations)
{
    std::string out;
    std::size_t size = 2;
    for (const LangEntry& entry : file.entries)
        size += entry.record.size() + 2;
    out.reserve(size);

    bool inPluralPart = false;
    for (const LangEntry& entry : file.entries) {
        if (entry.plural && !inPluralPart) {
            AppendU2(out, kPluralMark);
            inPluralPart = true;
        }
        const auto given = translations.find(KeyOf(entry));
        if (given == translations.end()) {
            AppendKept(out, entry);
            continue;
        }
        const std::vector<std::string>& forms = given->second;
        if (const LangFault fault = CheckLangTranslation(entry, forms); fault != LangFault::None) {
            Error error(ErrorKind::LangTextUnwritable);
            error.fault = static_cast<uint16_t>(fault);
            error.detail = given->first.lookup;
            if (fault == LangFault::TooManyForms) {
                error.expected = forms.size();
                error.limit = kMaxForms;
            } else if (fault == LangFault::TextTooLong) {
                const uint64_t most = entry.plural ? kMaxFormBytes : kMaxSingularBytes;
                for (const std::string& form : forms)
                    if (form.size() > most)
                        error.expected = std::max<uint64_t>(error.expected, form.size());
                error.limit = most;
            }
            return error;
        }
        AppendTranslation(out, entry, forms);
    }
    if (file.hasPluralPart && !inPluralPart)
        AppendU2(out, kPluralMark);
    return out;
}

std::string DecodeUtf8AsJava(std::string_view bytes, bool& lossy)
{
    // Java's own decoder (String.decodeUTF8_UTF16), step for step: how many bytes one U+FFFD
    // takes decides what follows it.
    std::string out;
    out.reserve(bytes.size());
    const std::size_t n = bytes.size();
    auto b = [&](std::size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(bytes[i])); };
    auto notContinuation = [](unsigned c) { return (c & 0xC0) != 0x80; };
    auto replace = [&] {
        lossy = true;
        out += "\xEF\xBF\xBD";
    };
    std::size_t i = 0;
    while (i < n) {
        const unsigned b1 = b(i++);
        if (b1 < 0x80) {
            out += static_cast<char>(b1);
        } else if (b1 >= 0xC2 && b1 <= 0xDF) {
            if (i < n) {
                const unsigned b2 = b(i);
                if (notContinuation(b2)) {
                    replace();
                } else {
                    ++i;
                    AppendUtf8(static_cast<char32_t>((b1 & 0x1F) << 6 | (b2 & 0x3F)), out);
                }
                continue;
            }
            replace();
            break;
        } else if (b1 >= 0xE0 && b1 <= 0xEF) {
            if (i + 1 < n) {
                const unsigned b2 = b(i);
                const unsigned b3 = b(i + 1);
                const bool badSecond = (b1 == 0xE0 && (b2 & 0xE0) == 0x80) || notContinuation(b2);
                if (badSecond || notContinuation(b3)) {
                    replace();
                    i += badSecond ? 0 : 1;
                } else {
                    i += 2;
                    const char32_t c = (b1 & 0x0F) << 12 | (b2 & 0x3F) << 6 | (b3 & 0x3F);
                    if (c >= 0xD800 && c <= 0xDFFF)
                        replace();
                    else
                        AppendUtf8(c, out);
                }
                continue;
            }
            if (i < n && ((b1 == 0xE0 && (b(i) & 0xE0) == 0x80) || notContinuation(b(i)))) {
                replace();
                continue;
            }
            replace();
            break;
        } else if (b1 >= 0xF0 && b1 <= 0xF7) {
            if (i + 2 < n) {
                const unsigned b2 = b(i);
                const unsigned b3 = b(i + 1);
                const unsigned b4 = b(i + 2);
                const char32_t c = (b1 & 0x07) << 18 | (b2 & 0x3F) << 12 | (b3 & 0x3F) << 6 | (b4 & 0x3F);
                if (notContinuation(b2) || notContinuation(b3) || notContinuation(b4) || c < 0x10000 || c > 0x10FFFF) {
                    replace();
                    // As Java's malformed4: how much of the start was a sequence.
                    if (b1 > 0xF4 || (b1 == 0xF0 && (b2 < 0x90 || b2 > 0xBF)) || (b1 == 0xF4 && (b2 & 0xF0) != 0x80) ||
                        notContinuation(b2))
                        i += 0;
                    else if (notContinuation(b3))
                        i += 1;
                    else
                        i += 2;
                } else {
                    i += 3;
                    AppendUtf8(c, out);
                }
                continue;
            }
            // Fewer than four bytes left.
            if (b1 > 0xF4 ||
                (i < n && ((b1 == 0xF0 && (b(i) < 0x90 || b(i) > 0xBF)) || (b1 == 0xF4 && (b(i) & 0xF0) != 0x80) ||
                           notContinuation(b(i))))) {
                replace();
                continue;
            }
            ++i;
            replace();
            if (i < n && notContinuation(b(i)))
                continue;
            break;
        } else {
            replace();
        }
    }
    return out;
}

}  // namespace cl::bundle
