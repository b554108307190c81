// Programs that translate themselves (java/translation/Translation.java): a literal handed to a
// translation call - the program's own (a Map and its fallback, with or without MessageFormat; a
// bundle's getString that returns the key when the bundle lacks it; a helper around a library's)
// or a library's (gettext-commons' I18n.tr, GNU gettext's GettextResource.gettext) - is a message
// id, judged by what the call's result is put to, and its decision names the call. Methods
// shaped nearly alike that are none (a cache that only checks its keys, a getter with nothing to
// fall back on) leave their literals keys, and so does a key-shaped text given to a getter that
// returns its key.

#include "UsageFixture.h"

#include "usage/Use.h"

#include <gtest/gtest.h>

#include <string>

using cl::usage::FormatStyle;
using cl::usage::Use;

namespace {

class TranslationCalls : public cltest::CompiledProgramSuite<TranslationCalls> {
public:
    static std::vector<cltest::JavaSource> Sources()
    {
        const std::string java = CLASSLINGO_USAGE_JAVA;
        return {{java + "/translation/Translation.java",
                 "-nowarn -implicit:none -sourcepath " + cltest::ShellQuoted(java + "/stubs")}};
    }
};

TEST_F(TranslationCalls, AMessageIdIsJudgedByWhatTheCallsResultIsPutTo)
{
    const struct {
        const char* text;
        bool offered;
        Use use;
        FormatStyle format;
        const char* translatedBy;  // empty: through no translation call
    } cases[] = {
        // The program's own, its table a Map; formatted with MessageFormat when it has arguments.
        {"Open the map", true, Use::Format, FormatStyle::MessageFormat, "Translation$Tr.tr"},
        {"Saved {0} files", true, Use::Format, FormatStyle::MessageFormat, "Translation$Tr.tr"},
        // The text of a call with a context, which the key is joined with.
        {"Close the layer", true, Use::Format, FormatStyle::MessageFormat, "Translation$Tr.trc"},
        // A table and its fallback, nothing formatted.
        {"Zoom to selection", true, Use::Ui, FormatStyle::None, "Translation$Plain.t"},
        // A bundle's getString, the key itself on MissingResourceException.
        {"Show the credits", true, Use::Ui, FormatStyle::None, "Translation$Gt.$"},
        // A library's, known by name; one formats its arguments.
        {"Print the page", true, Use::Ui, FormatStyle::None, "org/xnap/commons/i18n/I18n.tr"},
        {"Printed {0} pages", true, Use::Format, FormatStyle::MessageFormat, "org/xnap/commons/i18n/I18n.tr"},
        {"Remove the layer", true, Use::Ui, FormatStyle::None, "gnu/gettext/GettextResource.gettext"},
        // The program's own helper around a library's.
        {"Export as image", true, Use::Ui, FormatStyle::None, "Translation.l"},
        // Keys: a bundle's key given to the getter that returns its key, a cache's key, a
        // setting's name.
        {"dialog.preferences.title", false, Use::Key, FormatStyle::None, ""},
        {"Quarterly report", false, Use::Key, FormatStyle::None, ""},
        {"Window layout", false, Use::Key, FormatStyle::None, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto* text = Decided(c.text, c.offered, c.use);
        if (text == nullptr)
            continue;
        EXPECT_EQ(text->decision.format, c.format);
        EXPECT_EQ(text->decision.translatedBy, c.translatedBy);
        // The note's uses say the call too; a withheld key names the lookup that reads it.
        bool named = false;
        for (const cl::usage::UseFound& use : text->decision.uses)
            named = named || use.translatedBy == c.translatedBy;
        EXPECT_TRUE(named || std::string(c.translatedBy).empty());
        if (!c.offered) {
            ASSERT_FALSE(text->decision.forbidding.empty());
            EXPECT_EQ(text->decision.forbidding.front().use, Use::Key);
        }
    }
}

TEST_F(TranslationCalls, TheFindingsOfAMessageIdAreThoseOfTheCallsResult)
{
    // What the call does inside (the lookup of its key) is read as the message id's lookup;
    // what its result is put to carries the call's name.
    const auto findings = program_->Findings("Zoom to selection");
    bool shownThroughCall = false;
    for (const cl::usage::Finding& f : findings) {
        SCOPED_TRACE(f.consumer);
        if (f.use == Use::Ui) {
            EXPECT_EQ(f.consumer, "javax/swing/JLabel.<init>");
            EXPECT_EQ(f.translatedBy, "Translation$Plain.t");
            shownThroughCall = true;
        }
        EXPECT_EQ(f.className, "Translation");
        EXPECT_EQ(f.method, "build");
    }
    EXPECT_TRUE(shownThroughCall);
    // The cache's key goes through no translation call.
    for (const cl::usage::Finding& f : program_->Findings("Quarterly report"))
        EXPECT_EQ(f.translatedBy, "") << f.consumer;
}

}  // namespace
