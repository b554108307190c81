// The catalogue reader on arbitrary bytes: never a crash, and whatever it reads comes back
// the same after a round trip through the writer; each text also survives the way there and
// back as a concatenation recipe.

#include "FuzzCheck.h"
#include "catalogue/Po.h"
#include "catalogue/Recipe.h"

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

// libgettextpo gives up on a bad catalogue with a fatal error that must not return; the
// reader jumps out of it, and what the library had allocated by then is never freed.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libgettextpo\nleak:po_file_read\n";
}

namespace {

bool Writable(const std::string& text)
{
    return text.find('\0') == std::string::npos && text.find('\x04') == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    namespace cat = cl::catalogue;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const cl::Result<cat::PoCatalogue> read = cat::ReadPo(text, "fuzz.po");
    if (!read)
        return 0;

    std::vector<cat::PoEntry> entries;
    std::set<std::string> seen;
    for (const cat::PoMessage& message : read->messages) {
        if (message.obsolete || message.msgid.empty() || !Writable(message.msgid) || !Writable(message.msgstr) ||
            !seen.insert(message.msgid).second)
            continue;
        entries.push_back({message.msgid, message.msgstr, {"note"}, {{"a b/C.class", 7}}});

        if (message.msgid.find(cat::kRecipeConstant) == std::string::npos) {
            const std::string shown = cat::RecipeToMessage(message.msgid);
            const cat::RecipeResult back = cat::MessageToRecipe(shown, cat::CountRecipeSlots(message.msgid));
            CHECK(back.problem == cl::TranslationProblem::None);
            CHECK(back.recipe == message.msgid);
        }
        // A translation that the checks accept has exactly the slots asked for.
        const cat::RecipeResult translated = cat::MessageToRecipe(message.msgstr, 2);
        if (translated.problem == cl::TranslationProblem::None)
            CHECK(cat::CountRecipeSlots(translated.recipe) == 2);
    }

    const std::string written = cat::WritePo({"fuzz.jar", "zh_CN", "fuzz"}, entries);
    const cl::Result<cat::PoCatalogue> again = cat::ReadPo(written, "again.po");
    CHECK(again.ok());
    CHECK(again->messages.size() == entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        CHECK(again->messages[i].msgid == entries[i].msgid);
        CHECK(again->messages[i].msgstr == entries[i].msgstr);
    }
    return 0;
}
