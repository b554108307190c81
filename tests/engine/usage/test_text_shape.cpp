// What a text looks like on its own: data (no letter, control characters) and prose.

#include "usage/TextShape.h"

#include <gtest/gtest.h>

#include <optional>
#include <string_view>

#include <string>
#include <utility>
#include <vector>

namespace {

TEST(TextShape, DataHasNoLetterOrHoldsControlCharacters)
{
    const std::pair<std::string, bool> cases[] = {
        {"", true},
        {"12:34", true},
        {"...", true},
        {"#,##0.00", true},
        {" - ", true},
        {"\x01: \x01", true},                 // a recipe of values only
        {std::string("\0ab", 3), true},       // a NUL
        {"ab\x07", true},                     // a bell
        {"\xc2\x85text", true},               // a C1 control (U+0085)
        {"Delete\x7f", true},                 // DEL among letters
        {"\x02\x01", true},                    // a recipe's values, nothing else
        {"\x02z", false},                      // ... beside a letter
        {"a", false},
        {"Line one\nLine two\tend\r", false}, // tab and line breaks are text
        {"\x01 items", false},
        {"\xe4\xbf\x9d\xe5\xad\x98", false},  // 保存
        {"\xc3\xa9t\xc3\xa9", false},         // été
    };
    for (const auto& [text, data] : cases)
        EXPECT_EQ(cl::usage::IsData(text), data) << text;
}

TEST(TextShape, APatternsPlaceholdersAreNoLetters)
{
    using cl::usage::FormatStyle;
    const struct {
        const char* text;
        FormatStyle format;
        bool data;
    } cases[] = {
        {"%s[]", FormatStyle::Printf, true},
        {"%1$s: %2$-10.3f%n", FormatStyle::Printf, true},
        {"%<tY-%tm", FormatStyle::Printf, true},
        {"100%%", FormatStyle::Printf, true},
        {"%s files", FormatStyle::Printf, false},
        {"%zebra", FormatStyle::Printf, false},        // %z is taken as a conversion, "ebra" stays
        {"d\t%", FormatStyle::Printf, true},           // the rest of "%" + width + "d": no word
        {"s files", FormatStyle::Printf, false},       // a conversion's rest before words
        {"a file", FormatStyle::Printf, false},
        {"%s[]", FormatStyle::None, false},            // no pattern: the s is a letter
        {"{0}: {1}", FormatStyle::MessageFormat, true},
        {"{0,number,#.##} / { 1 }", FormatStyle::MessageFormat, true},
        {"{0,choice,0#none|1#one}", FormatStyle::MessageFormat, false},  // a choice shows its words
        {"{0} files", FormatStyle::MessageFormat, false},
        {"{name}", FormatStyle::MessageFormat, false},  // no argument: braces and a word
        {"%s", FormatStyle::MessageFormat, false},      // another style's placeholder is text
    };
    for (const auto& c : cases)
        EXPECT_EQ(cl::usage::IsData(c.text, c.format), c.data) << c.text;
}

TEST(TextShape, ProseIsWordsSideBySideOrACapitalisedWord)
{
    const std::pair<std::string, bool> cases[] = {
        {"Save as", true},
        {"save as", true},
        {"Cancel", true},
        {"Error:", true},
        {"(Untitled)", true},
        {"Loading...", true},
        {"don't panic", true},
        {"Found \x01 items", true},
        {"\xe4\xbf\x9d\xe5\xad\x98", true},  // 保存: a script without case
        {"\xc3\x89t\xc3\xa9", true},          // Été
        {"os.name", false},
        {"getName", false},
        {"UTF-8", false},
        {"OK", false},
        {"java.lang.String", false},
        {"/images/icon.png", false},
        {"someIdentifier", false},
        {"user_home", false},
        {"x", false},
        {"a = b", false},
        {"%s.%s", false},
        {"MyClass", false},
        {"", false},
    };
    for (const auto& [text, prose] : cases)
        EXPECT_EQ(cl::usage::ReadsAsProse(text), prose) << text;
}

TEST(TextShape, CodeIsLayoutSpecsIdentifiersAndFlagsNotWordsForPeople)
{
    const std::pair<std::string, bool> cases[] = {
        // Layout constraints: JGoodies Forms and MigLayout.
        {"p, 2dlu, p", true},
        {"pref:grow, 4dlu, fill:p", true},
        {"FILL:DEFAULT:GROW", true},
        {"right:max(40dlu;pref)", true},
        {"insets 0, wrap 2", true},
        {"[grow,fill]", true},
        {"[]10[grow]", true},
        {"growx, pushx", true},
        {"gap $lcgap", true},
        {"fill, grow", true},
        // Lone identifiers and ids.
        {"optionGroup", true},
        {"playerList", true},
        {"ownerInitialize", true},
        {"info", true},
        {"caret-end-line", true},
        {"3des-cbc", true},
        {"tagging_", true},
        {"os.name", true},
        {"text/plain", true},
        {"CENTER_ALIGN", true},
        // Flags, and words most of which are code.
        {"-n -e", true},
        {"--verbose", true},
        {"java -jar app.jar", true},
        {"text/html; charset=UTF-8", true},
        // Words for people.
        {"Cancel", false},    // a lone capitalised word is prose: its use says when it is a name
        {"Console", false},
        {"Error:", false},
        {"Re-open", false},
        {"OK", false},        // capitals: initials or a label
        {"(none)", false},    // a word in sentence marks
        {"done.", false},
        {"Save as", false},
        {"save as", false},
        {"Zoom in", false},
        {"left or right", false},
        {"Top, Bottom", false},                 // layout words, but capitalised
        {"file %s not found", false},           // more words than code
        {"Open readme.txt", false},             // a capitalised word beside the code
        {"\xe4\xbf\x9d\xe5\xad\x98 p", false},  // 保存: letters outside ASCII
        {"12:34", false},                       // no letter: data, not code
        {"", false},
    };
    for (const auto& [text, code] : cases)
        EXPECT_EQ(cl::usage::LooksLikeCode(text), code) << text;
}

TEST(TextShape, AddressesMarkupAndSeparatorsAreNeverProse)
{
    using cl::usage::Use;
    const std::pair<std::string, std::optional<Use>> cases[] = {
        {"http://www.w3.org/2000/svg", Use::Name},
        {"https://example.com/page", Use::Name},
        {"reference:file:", Use::Name},
        {"jar:file:", Use::Name},
        {"urn:color:0x000000", Use::Name},
        {"xmlns:svg", Use::Name},
        {"file:%s", Use::Name},
        {"tagging_", Use::Name},
        {"com.example.", Use::Name},
        {"plan-zoom-", Use::Name},
        {"<style>body { color: red }</style>", Use::Data},
        {"<html><base href=\"", Use::Data},
        {"</b>", Use::Data},
        {"</apply>\n", Use::Data},  // MathML a parser writes: any element, once it is closed
        {"<ci></ci>", Use::Data},
        {"</mml:mi>", Use::Data},
        {"<html><body>&nbsp;", Use::Data},
        {"<!-- generated -->", Use::Data},
        {"strong, b", Use::Data},
        {"h1, h2.title", Use::Data},
        {"a { color: red }", Use::Data},
        {"font-weight: bold;", Use::Data},
        {"color: red; margin: 0", Use::Data},
        {" x ", Use::Data},
        {" Mb", Use::Data},
        {" - ", Use::Data},
        {"\x01 x \x01", Use::Data},  // a recipe that puts an x between two values
        {"&amp;", Use::Data},         // what an escaping of HTML writes
        {"&lt;&gt;&#160;", Use::Data},
        {"-nosplash: Don't show splash screen", std::nullopt},  // a command line's help, not CSS
        {"Salt & pepper;", std::nullopt},
        // Prose, or not sure enough.
        {"<html><b>Save</b> the file?", std::nullopt},
        {"<html><b>Save</b>", std::nullopt},
        {"<none>", std::nullopt},    // not a tag of HTML: a placeholder people read
        {"<Default>", std::nullopt},
        {"<ci>", std::nullopt},  // spelt like a placeholder: not sure enough
        {"</ci> and more", std::nullopt},
        {"Error: %s", std::nullopt},
        {"note:", std::nullopt},
        {"Note: this", std::nullopt},
        {"color: red", std::nullopt},  // one declaration without a dash or ';' reads as a label
        {" of ", std::nullopt},        // a word between values
        {"\x01 items", std::nullopt},
        {"Loading...", std::nullopt},
        {"e.g.", std::nullopt},
        {"See http://example.com for more", std::nullopt},
        {"Yes, please", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [text, use] : cases) {
        SCOPED_TRACE(text);
        const std::optional<Use> got = cl::usage::NeverProseUse(text);
        ASSERT_EQ(got.has_value(), use.has_value());
        if (use) {
            EXPECT_EQ(*got, *use);
        }
        EXPECT_EQ(cl::usage::NeverProse(text), use.has_value());
    }
}

TEST(TextShape, BundleValuesThatAreDataByTheirShapeOrTheirKey)
{
    const struct {
        const char* key;
        const char* value;
        bool data;
    } cases[] = {
        // Paths, addresses, colours, booleans, numbers and sizes.
        {"planZoomIn.smallIcon", "resources/actions/plan-zoom-in.png", true},
        {"about", "/icons/x.gif", true},
        {"zoom", "zoom.png", true},
        {"defaultColor", "urn:color:0x000000", true},
        {"background", "#BBBBBB", true},
        {"highlight", "0xff00ff", true},
        {"selection", "255,0,0", true},
        {"border", "rgb(10, 20, 30)", true},
        {"magnetism", "true", true},
        {"gridVisible", "FALSE", true},
        {"count", "12", true},
        {"ratio", "1.5", true},
        {"inset", "10px", true},
        {"share", "50%", true},
        // Names of classes, constants and entries; path data; keystrokes.
        {"defaultUnit", "CENTIMETER", true},
        {"plugin", "com.x.Foo", true},
        {"bed", "maker#bed140x190", true},
        {"kind", "LENGTH_UNIT", true},
        {"shape", "M0,0 v1 h1 v-1 z", true},
        {"save.keystroke", "ctrl shift S", true},
        {"quit", "control alt DELETE", true},
        {"undo", "Ctrl+Z", true},
        {"DeleteAction.AcceleratorKey", "DELETE", true},
        {"refresh.accelerator", "F5", true},
        {"SaveAction.MnemonicKey", "S", true},
        {"file.mnemonic", "F", true},
        {"find.shortcut", "C+f", true},
        // Under a key that names a resource, whatever the value.
        {"wall.icon", "wall", true},
        {"catalog.image", "bed", true},
        {"resize.cursor", "resize", true},
        {"bed.model", "Bed", true},
        {"renderer.class", "Renderer", true},
        // A single word: a name unless the key names something shown.
        {"unit", "centimeter", false},  // a word in small letters: a lookup of the key, or its family, decides
        {"unit.label", "centimeter", false},
        {"defaultMode", "optionGroup", true},
        {"mode.name", "optionGroup", false},
        {"action", "DELETE", true},
        {"button.text", "DELETE", false},
        {"ok", "OK", false},          // capitals under five letters: initials or a label
        {"layout", "p, 2dlu, p", true},
        {"args", "-n -e", true},
        {"link", "<html><base href=\"", true},
        // Prose stays offered.
        {"zoomIn", "Zoom in", false},
        {"plan", "Plan", false},
        {"lexicon", "Lexicon", false},  // "icon" inside a word names no resource
        {"accelerators.title", "Keyboard shortcuts", false},
        {"DeleteAction.Name", "Delete", false},
        {"confirm", "<html><b>Save</b> the file?", false},
        {"count.message", "{0} files", false},
        {"greeting", "\xe4\xbd\xa0\xe5\xa5\xbd", false},  // 你好
        {"quit.label", "Ctrl+Q to quit", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(cl::usage::BundleValueIsData(c.key, c.value), c.data) << c.key << "=" << c.value;
}

TEST(TextShape, AFamilyMostOfWhoseValuesAreDataIsATable)
{
    using KeyValues = std::vector<std::pair<std::string_view, std::string_view>>;
    // Names mapped to paths and URNs: a table.
    const KeyValues resources = {
        {"wall.icon", "resources/wall.png"}, {"wall.color", "urn:color:0x000000"},
        {"wall.label", "Wall"},              {"door.icon", "resources/door.png"},
    };
    EXPECT_TRUE(cl::usage::FamilyIsTable(resources));
    // Exactly half of the values with a letter are data: not more than half, so texts.
    const KeyValues half = {
        {"open", "Open"}, {"close", "Close"}, {"open.icon", "open.png"}, {"close.icon", "close.png"},
        {"width", "12"},  // no letter: not counted
    };
    EXPECT_FALSE(cl::usage::FamilyIsTable(half));
    // One more data value tips it.
    KeyValues more = half;
    more.emplace_back("save.icon", "save.png");
    EXPECT_TRUE(cl::usage::FamilyIsTable(more));
    // Texts with a few paths beside them.
    const KeyValues texts = {
        {"title", "Sweet Home"}, {"open", "Open..."}, {"save", "Save as"}, {"about.icon", "about.png"},
    };
    EXPECT_FALSE(cl::usage::FamilyIsTable(texts));
    // Numbers only: nothing to translate, a table; nothing at all: no family to judge.
    EXPECT_TRUE(cl::usage::FamilyIsTable(KeyValues{{"width", "12"}, {"height", "30"}}));
    EXPECT_FALSE(cl::usage::FamilyIsTable(KeyValues{}));
    EXPECT_FALSE(cl::usage::FamilyIsTable(KeyValues{{"empty", ""}}));
}

}  // namespace
