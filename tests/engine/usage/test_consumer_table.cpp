// The table of consumers: which lines apply to a call, the most precise class first, and the
// words the table is written in.

#include "usage/ConsumerTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

using cl::usage::Action;
using cl::usage::ClassMatch;
using cl::usage::ConsumerLine;
using cl::usage::ConsumerTable;
using cl::usage::Use;

namespace {

std::vector<const ConsumerLine*> Find(const char* owner, const char* method, const char* descriptor,
                                      ClassMatch match = ClassMatch::Any)
{
    std::vector<const ConsumerLine*> lines;
    ConsumerTable::Builtin().Find(owner, method, descriptor, match, lines);
    return lines;
}

// The use a call gives parameter `p`, or Unknown when no line names it.
Use UseOf(const char* owner, const char* method, const char* descriptor, unsigned p,
          ClassMatch match = ClassMatch::Any)
{
    for (const ConsumerLine* line : Find(owner, method, descriptor, match)) {
        if (line->action == Action::Consume && line->Names(p))
            return line->use;
    }
    return Use::Unknown;
}

TEST(ConsumerTable, TheMostPreciseClassThatHasTheMethodWins)
{
    struct Case {
        const char* owner;
        const char* method;
        const char* descriptor;
        unsigned parameter;
        Use use;
    };
    const Case cases[] = {
        // A prefix line for any Swing class...
        {"javax/swing/JLabel", "setText", "(Ljava/lang/String;)V", 1, Use::Ui},
        {"javax/swing/JLabel", "<init>", "(Ljava/lang/String;)V", 1, Use::Ui},
        {"javax/swing/border/TitledBorder", "<init>", "(Ljava/lang/String;)V", 1, Use::Ui},
        // ... but the exact class's own line for the same method before it.
        {"javax/swing/ImageIcon", "<init>", "(Ljava/lang/String;)V", 1, Use::Name},
        {"javax/swing/JEditorPane", "<init>", "(Ljava/lang/String;Ljava/lang/String;)V", 1, Use::Name},
        {"javax/swing/JEditorPane", "<init>", "(Ljava/lang/String;Ljava/lang/String;)V", 2, Use::Ui},
        // The exact class has lines, but none for this method: the prefix line applies.
        {"javax/swing/JEditorPane", "setToolTipText", "(Ljava/lang/String;)V", 1, Use::Ui},
        // Descriptors tell overloads apart.
        {"java/io/PrintStream", "printf", "(Ljava/lang/String;[Ljava/lang/Object;)Ljava/io/PrintStream;", 1,
         Use::Format},
        {"java/io/PrintStream", "printf", "(Ljava/util/Locale;Ljava/lang/String;[Ljava/lang/Object;)Ljava/io/PrintStream;",
         2, Use::Format},
        {"java/io/PrintStream", "printf", "(Ljava/util/Locale;Ljava/lang/String;[Ljava/lang/Object;)Ljava/io/PrintStream;",
         1, Use::Unknown},
        // A method-name pattern.
        {"java/util/prefs/Preferences", "getInt", "(Ljava/lang/String;I)I", 1, Use::Key},
        {"java/lang/invoke/MethodHandles$Lookup", "findVirtual", "*", 2, Use::Name},
        // A suffix line: any exception's constructor.
        {"java/io/IOException", "<init>", "(Ljava/lang/String;)V", 1, Use::Message},
        {"com/example/BadThingError", "<init>", "(Ljava/lang/String;)V", 1, Use::Message},
        // Nothing for a method the table does not know.
        {"javax/swing/JLabel", "getText", "()Ljava/lang/String;", 0, Use::Unknown},
        {"com/example/Anything", "setText", "(Ljava/lang/String;)V", 1, Use::Unknown},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.owner) + "." + c.method + c.descriptor);
        EXPECT_EQ(UseOf(c.owner, c.method, c.descriptor, c.parameter), c.use);
    }
}

// The rule the table is documented by, read straight off its lines: the lines of the most
// precise class pattern (the class itself, then prefixes longest first, then with Any suffixes
// longest first) that has a line for the method and descriptor.
std::vector<const ConsumerLine*> ByTheRule(std::string_view owner, std::string_view method, std::string_view descriptor,
                                           ClassMatch match)
{
    auto matches = [](std::string_view pattern, std::string_view text) {
        if (pattern == "*")
            return true;
        if (pattern.back() == '*')
            return text.substr(0, pattern.size() - 1) == pattern.substr(0, pattern.size() - 1);
        return pattern == text;
    };
    std::vector<std::string_view> patterns;  // class patterns, in the order they are tried
    for (const ConsumerLine& line : ConsumerTable::Builtin().Lines()) {
        const std::string_view c = line.className;
        if (std::find(patterns.begin(), patterns.end(), c) == patterns.end())
            patterns.push_back(c);
    }
    auto rank = [&](std::string_view c) {  // lower is tried first; -1: does not apply
        if (c.back() == '*')
            return owner.substr(0, c.size() - 1) == c.substr(0, c.size() - 1) ? 100000 - int(c.size()) : -1;
        if (c.front() == '*')
            return match == ClassMatch::Any && owner.size() >= c.size() - 1 &&
                           owner.substr(owner.size() - (c.size() - 1)) == c.substr(1)
                       ? 200000 - int(c.size())
                       : -1;
        return c == owner ? 0 : -1;
    };
    std::stable_sort(patterns.begin(), patterns.end(),
                     [&](std::string_view a, std::string_view b) { return rank(a) < rank(b); });
    for (const std::string_view c : patterns) {
        if (rank(c) < 0)
            continue;
        std::vector<const ConsumerLine*> lines;
        for (const ConsumerLine& line : ConsumerTable::Builtin().Lines()) {
            if (line.className == c && matches(line.method, method) && matches(line.descriptor, descriptor))
                lines.push_back(&line);
        }
        if (!lines.empty())
            return lines;
    }
    return {};
}

TEST(ConsumerTable, LookingUpTheClassOnceFindsWhatTheRuleGives)
{
    // Every line of the table asked about through a class each of its patterns matches, a
    // method and a descriptor each of its patterns matches, and calls the table knows nothing of.
    struct Call {
        std::string owner, method, descriptor;
    };
    std::vector<Call> calls = {
        {"com/example/Anything", "setText", "(Ljava/lang/String;)V"},
        {"javax/swing/JLabel", "getText", "()Ljava/lang/String;"},
        {"java/lang/String", "no such method", "()V"},
        {"", "", ""},
    };
    auto instance = [](std::string_view pattern, const char* filler) {
        std::string s(pattern);
        if (!s.empty() && s.back() == '*')
            s.back() = filler[0], s += filler + 1;
        return s;
    };
    for (const ConsumerLine& line : ConsumerTable::Builtin().Lines()) {
        std::string owner(line.className);
        if (owner.front() == '*')
            owner = "com/example/My" + owner.substr(1);
        else if (owner.back() == '*')
            owner = instance(owner, "sub/Widget");
        const std::string method = line.method == "*" ? "anything" : instance(line.method, "Value");
        const std::string descriptor = line.descriptor == "*" ? "(Ljava/lang/String;I)V" : instance(line.descriptor, ")V");
        calls.push_back({owner, method, descriptor});
        calls.push_back({owner, method, "(J)J"});
        calls.push_back({owner, "otherMethod", descriptor});
    }
    const ConsumerTable& table = ConsumerTable::Builtin();
    for (const Call& call : calls) {
        const ConsumerTable::Owner owner = table.OwnerOf(call.owner);
        for (const ClassMatch match : {ClassMatch::ExactOrPrefix, ClassMatch::Any}) {
            SCOPED_TRACE(call.owner + "." + call.method + call.descriptor +
                         (match == ClassMatch::Any ? " any" : " exact or prefix"));
            std::vector<const ConsumerLine*> found;
            table.Find(owner, call.method, call.descriptor, match, found);
            EXPECT_EQ(found, ByTheRule(call.owner, call.method, call.descriptor, match));
        }
    }
}

// True when a line that applies gives parameter `p` the use (every line of the most precise
// class applies: log4j's "every method logs" and "getAppender names" both).
bool Gives(const char* owner, const char* method, const char* descriptor, unsigned p, Use use)
{
    for (const ConsumerLine* line : Find(owner, method, descriptor)) {
        if (line->action == Action::Consume && line->Names(p) && line->use == use)
            return true;
    }
    return false;
}

TEST(ConsumerTable, DesktopLibrariesReadLayoutsNamesAndPatterns)
{
    struct Case {
        const char* owner;
        const char* method;
        const char* descriptor;
        unsigned parameter;
        Use use;
    };
    const Case cases[] = {
        // JGoodies Forms: constraints are patterns, labels are shown, I15d texts are keys.
        {"com/jgoodies/forms/layout/FormLayout", "<init>", "(Ljava/lang/String;Ljava/lang/String;)V", 1, Use::Pattern},
        {"com/jgoodies/forms/layout/FormLayout", "<init>", "(Ljava/lang/String;Ljava/lang/String;)V", 2, Use::Pattern},
        {"com/jgoodies/forms/layout/ColumnSpec", "decode", "(Ljava/lang/String;)Lcom/jgoodies/forms/layout/ColumnSpec;", 1,
         Use::Pattern},
        {"com/jgoodies/forms/layout/RowSpec", "decodeSpecs", "(Ljava/lang/String;)[Lcom/jgoodies/forms/layout/RowSpec;", 1,
         Use::Pattern},
        {"com/jgoodies/forms/layout/CellConstraints", "xyw",
         "(IIILjava/lang/String;)Lcom/jgoodies/forms/layout/CellConstraints;", 4, Use::Pattern},
        {"com/jgoodies/forms/factories/CC", "xy", "(IILjava/lang/String;)Lcom/jgoodies/forms/layout/CellConstraints;", 3,
         Use::Pattern},
        {"com/jgoodies/forms/builder/PanelBuilder", "addLabel", "(Ljava/lang/String;Ljava/lang/String;)Ljavax/swing/JLabel;", 1,
         Use::Ui},
        {"com/jgoodies/forms/builder/PanelBuilder", "addLabel", "(Ljava/lang/String;Ljava/lang/String;)Ljavax/swing/JLabel;", 2,
         Use::Pattern},
        {"com/jgoodies/forms/builder/DefaultFormBuilder", "appendI15d", "(Ljava/lang/String;)Ljavax/swing/JLabel;", 1, Use::Key},
        // MigLayout.
        {"net/miginfocom/swing/MigLayout", "<init>", "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;)V", 3, Use::Pattern},
        {"net/miginfocom/layout/CC", "width", "(Ljava/lang/String;)Lnet/miginfocom/layout/CC;", 1, Use::Pattern},
        {"net/miginfocom/layout/CC", "id", "(Ljava/lang/String;)Lnet/miginfocom/layout/CC;", 1, Use::Name},
        // Logging: messages are logs; loggers, appenders and plugins are names; layouts patterns.
        {"org/apache/log4j/Logger", "info", "(Ljava/lang/Object;)V", 1, Use::Log},
        {"org/apache/log4j/Logger", "getAppender", "(Ljava/lang/String;)Lorg/apache/log4j/Appender;", 1, Use::Name},
        {"org/apache/log4j/ConsoleAppender", "setName", "(Ljava/lang/String;)V", 1, Use::Name},
        {"org/apache/log4j/PatternLayout", "<init>", "(Ljava/lang/String;)V", 1, Use::Pattern},
        {"org/apache/logging/log4j/core/config/builder/api/ConfigurationBuilder", "newAppender",
         "(Ljava/lang/String;Ljava/lang/String;)Lorg/apache/logging/log4j/core/config/builder/api/AppenderComponentBuilder;", 2,
         Use::Name},
        {"org/apache/logging/log4j/core/config/builder/api/AppenderComponentBuilder", "addAttribute",
         "(Ljava/lang/String;Ljava/lang/String;)Ljava/lang/Object;", 2, Use::Data},
        {"org/apache/logging/log4j/core/appender/ConsoleAppender$Builder", "setName", "(Ljava/lang/String;)Ljava/lang/Object;", 1,
         Use::Name},
        {"org/apache/logging/log4j/Level", "getLevel", "(Ljava/lang/String;)Lorg/apache/logging/log4j/Level;", 1, Use::Name},
        {"org/slf4j/MarkerFactory", "getMarker", "(Ljava/lang/String;)Lorg/slf4j/Marker;", 1, Use::Name},
        {"java/util/logging/Level", "parse", "(Ljava/lang/String;)Ljava/util/logging/Level;", 1, Use::Name},
        // XML: element and attribute names are names, values and text data.
        {"org/w3c/dom/Element", "getElementsByTagName", "(Ljava/lang/String;)Lorg/w3c/dom/NodeList;", 1, Use::Name},
        {"org/w3c/dom/Element", "setAttribute", "(Ljava/lang/String;Ljava/lang/String;)V", 1, Use::Name},
        {"org/w3c/dom/Element", "setAttribute", "(Ljava/lang/String;Ljava/lang/String;)V", 2, Use::Data},
        {"org/w3c/dom/Document", "createElement", "(Ljava/lang/String;)Lorg/w3c/dom/Element;", 1, Use::Name},
        {"javax/xml/stream/XMLStreamWriter", "writeStartElement", "(Ljava/lang/String;)V", 1, Use::Name},
        {"javax/xml/stream/XMLStreamWriter", "writeAttribute", "(Ljava/lang/String;Ljava/lang/String;)V", 1, Use::Name},
        {"javax/xml/stream/XMLStreamWriter", "writeAttribute", "(Ljava/lang/String;Ljava/lang/String;)V", 2, Use::Data},
        {"javax/xml/stream/XMLStreamReader", "getAttributeValue", "(Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String;", 2,
         Use::Name},
        // Java 3D: the text a scene draws is shown; a 2D text's font is named.
        {"javax/media/j3d/Text3D", "<init>", "(Ljavax/media/j3d/Font3D;Ljava/lang/String;Ljavax/vecmath/Point3f;II)V", 2,
         Use::Ui},
        {"javax/media/j3d/Text3D", "setString", "(Ljava/lang/String;)V", 1, Use::Ui},
        {"com/sun/j3d/utils/geometry/Text2D", "<init>",
         "(Ljava/lang/String;Ljavax/vecmath/Color3f;Ljava/lang/String;II)V", 1, Use::Ui},
        {"com/sun/j3d/utils/geometry/Text2D", "<init>",
         "(Ljava/lang/String;Ljavax/vecmath/Color3f;Ljava/lang/String;II)V", 3, Use::Name},
        // Values parsed, and a text field's first content.
        {"java/lang/Boolean", "parseBoolean", "(Ljava/lang/String;)Z", 1, Use::Data},
        {"javax/swing/JTextField", "<init>", "(Ljava/lang/String;I)V", 1, Use::Data},
        {"javax/swing/JTextArea", "<init>", "(Ljava/lang/String;)V", 1, Use::Ui},  // often a message shown read-only
        {"javax/swing/JTextField", "setToolTipText", "(Ljava/lang/String;)V", 1, Use::Ui},
    };
    // A text field's first content is data only: no line of the Swing prefix makes it shown too.
    EXPECT_FALSE(Gives("javax/swing/JTextField", "<init>", "(Ljava/lang/String;)V", 1, Use::Ui));
    // An element name is no longer a key, only a name.
    EXPECT_FALSE(Gives("org/w3c/dom/Element", "getAttribute", "(Ljava/lang/String;)Ljava/lang/String;", 1, Use::Key));
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.owner) + "." + c.method + c.descriptor + " " + std::to_string(c.parameter));
        EXPECT_TRUE(Gives(c.owner, c.method, c.descriptor, c.parameter, c.use)) << cl::usage::UseWord(c.use);
    }
}

TEST(ConsumerTable, SuffixLinesWaitUntilTheClassIsKnownNotToBeTheProgramsOwn)
{
    EXPECT_TRUE(Find("com/example/ParseException", "<init>", "(Ljava/lang/String;)V", ClassMatch::ExactOrPrefix).empty());
    EXPECT_EQ(UseOf("com/example/ParseException", "<init>", "(Ljava/lang/String;)V", 1, ClassMatch::Any), Use::Message);
}

TEST(ConsumerTable, AKeyMadeFromBytesNamesItsAlgorithmWhateverThePackage)
{
    for (const char* owner : {"com/example/crypto/HmacKeySpec", "org/example/keys/EncodedKeySpec"}) {
        SCOPED_TRACE(owner);
        EXPECT_EQ(UseOf(owner, "<init>", "([BLjava/lang/String;)V", 2), Use::Name);
        EXPECT_EQ(UseOf(owner, "<init>", "([BIILjava/lang/String;)V", 4), Use::Name);
        EXPECT_EQ(UseOf(owner, "<init>", "([BIILjava/lang/String;)V", 2), Use::Unknown);
    }
    // The program's own key class is followed into, not looked up by its name's ending.
    EXPECT_TRUE(Find("com/example/crypto/HmacKeySpec", "<init>", "([BLjava/lang/String;)V", ClassMatch::ExactOrPrefix).empty());
}

TEST(ConsumerTable, ParametersCountFromOneAndZeroIsTheObjectCalledOn)
{
    const auto equals = Find("java/lang/String", "equals", "(Ljava/lang/Object;)Z");
    ASSERT_EQ(equals.size(), 1u);
    EXPECT_TRUE(equals[0]->Names(0));
    EXPECT_TRUE(equals[0]->Names(1));
    EXPECT_FALSE(equals[0]->Names(2));
    EXPECT_TRUE(equals[0]->equalsStyle);
    const auto join = Find("java/lang/String", "join", "(Ljava/lang/CharSequence;[Ljava/lang/CharSequence;)Ljava/lang/String;");
    ASSERT_EQ(join.size(), 1u);
    EXPECT_EQ(join[0]->action, Action::Result);
    EXPECT_FALSE(join[0]->Names(0));  // "*" is every parameter, not the object
    EXPECT_TRUE(join[0]->Names(1));
    EXPECT_TRUE(join[0]->Names(200));
}

TEST(ConsumerTable, EveryLineIsWellFormed)
{
    for (const ConsumerLine& line : ConsumerTable::Builtin().Lines()) {
        SCOPED_TRACE(std::string(line.className) + "." + std::string(line.method));
        EXPECT_FALSE(line.className.empty());
        EXPECT_NE(line.className, "*");
        EXPECT_FALSE(line.method.empty());
        EXPECT_TRUE(line.descriptor == "*" || line.descriptor.front() == '(');
        EXPECT_NE(line.parameters, 0u);
        if (line.action == Action::Consume) {
            EXPECT_NE(line.use, Use::Unknown);
        } else {
            EXPECT_NE(line.className.front(), '*');  // flows are followed before the program is known
        }
    }
}

TEST(ConsumerTable, BuildersAndListsAreFollowedWhereTheyAreMade)
{
    const ConsumerTable& table = ConsumerTable::Builtin();
    EXPECT_TRUE(table.Collects("java/lang/StringBuilder"));
    EXPECT_TRUE(table.Collects("java/text/MessageFormat"));
    EXPECT_TRUE(table.Collects("java/util/ArrayList"));
    EXPECT_FALSE(table.Collects("javax/swing/JLabel"));
}

}  // namespace
