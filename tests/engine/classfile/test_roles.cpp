// Roles of Utf8 entries, on hand-made classes (every rule in isolation) and on classes javac
// builds (the shapes real programs have), and the role of each byte-scan row.

#include "classfile/ModifiedUtf8.h"
#include "classfile/Roles.h"

#include "ClassFileBuilder.h"
#include "ScratchFolder.h"
#include "Java.h"

#include "scan/Scanner.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using namespace cl::classfile;
using cl::testing::Bytes;
using cl::testing::ClassFileBuilder;

namespace {

int32_t HashOf(std::u16string_view text)
{
    return JavaStringHash(text);
}

void AppendLookupSwitch(Bytes& code, std::vector<int32_t> keys)
{
    code.U1(0xAB);
    while (code.size() % 4 != 0)
        code.U1(0);
    code.U4(0).U4(static_cast<uint32_t>(keys.size()));
    for (const int32_t k : keys)
        code.U4(static_cast<uint32_t>(k)).U4(0);
}

// Role of the Utf8 entry holding exactly `text` (the first one, as javac writes each once).
Role RoleOfText(const ClassFile& cf, const std::vector<Role>& roles, std::string_view text)
{
    for (uint16_t i = 1; i < cf.pool.size(); ++i) {
        if (cf.pool[i].tag == Tag::Utf8 && cf.Utf8Bytes(i) == text)
            return roles[i];
    }
    ADD_FAILURE() << "no Utf8 entry " << text;
    return Role::None;
}

cl::StringList Scan(const std::vector<uint8_t>& bytes, const cl::FilterList& filter = {})
{
    cl::FileImage image;
    image.bytes = cl::ByteString(bytes.data(), static_cast<int32_t>(bytes.size()));
    image.loadedSize = image.bytes.ByteLength();
    cl::StringList list;
    EXPECT_TRUE(cl::ScanClassImage(image, filter, list).ok());
    return list;
}

TEST(Roles, WordsAreTheOnesTheFrontEndsShow)
{
    const std::map<Role, std::string> words = {{Role::Literal, "literal"},     {Role::Key, "key"},
                                               {Role::Shared, "shared"},       {Role::Annotation, "annotation"},
                                               {Role::Name, "name"},           {Role::Descriptor, "descriptor"},
                                               {Role::Signature, "signature"}, {Role::Attribute, "attribute"},
                                               {Role::Other, "other"},         {Role::None, "none"}};
    for (const auto& [role, word] : words)
        EXPECT_EQ(RoleWord(role), word);
}

// One hand-made class exercising every rule, checked entry by entry and row by row.
class HandMadeRoles : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClassFileBuilder& b = builder_;
        const uint16_t hashCode = b.Methodref("java/lang/String", "hashCode", "()I");
        // A string switch: "open" is compared, "Unknown command" only printed.
        Bytes sw;
        sw.U1(0x12).U1(b.String("open")).U1(0x57);
        sw.U1(0x12).U1(b.String("Unknown command")).U1(0x57);
        sw.U1(0x12).U1(b.String(std::string("o\0", 2))).U1(0x57);  // not modified UTF-8
        sw.U1(0xB6).U2(hashCode);
        AppendLookupSwitch(sw, {HashOf(u"open"), HashOf(std::u16string(u"o\0", 2)), HashOf(u"Unknown")});
        sw.U1(0xB1);
        b.Method("choose", "(Ljava/lang/String;)V", {b.Code(sw.data)});
        // The same keys without a hashCode call compare nothing.
        Bytes plain;
        plain.U1(0x12).U1(b.String("save")).U1(0x57);
        AppendLookupSwitch(plain, {HashOf(u"save")});
        plain.U1(0xB1);
        b.Method("plain", "()V", {b.Code(plain.data)});
        // A tableswitch compares every value from low to high: "a" hashes to 97.
        Bytes table;
        table.U1(0x12).U1(b.String("a")).U1(0xB6).U2(hashCode).U1(0xAA);
        while (table.size() % 4 != 0)
            table.U1(0);
        table.U4(0).U4(95).U4(99);
        for (int k = 95; k <= 99; ++k)
            table.U4(0);
        table.U1(0xB1);
        b.Method("table", "()V", {b.Code(table.data)});
        // A false match in code: sipush 256, iconst_0, then three pops read as 01 00 03 "WWW".
        b.Method("numbers", "()V", {b.Code({0x11, 0x01, 0x00, 0x03, 0x57, 0x57, 0x57, 0xB1})});
        // ... and in a number: a Long whose bytes read 01 00 03 "ABC".
        b.Long(0x0100034142434445);

        b.String("Press any key");
        b.String("count");
        b.Field("count", "I");
        b.Field("values", "[Ljava/lang/String;");
        b.Class("[Ljava/lang/String;");
        const uint16_t both = b.String("Both ways");
        (void)both;
        const uint16_t doc = b.Utf8("LDoc;");
        b.ClassAttribute(b.Attr("RuntimeVisibleAnnotations", Bytes()
                                                                 .U2(1)
                                                                 .U2(doc)
                                                                 .U2(2)
                                                                 .U2(b.Utf8("value"))
                                                                 .U1('s')
                                                                 .U2(b.Utf8("Use the menu"))
                                                                 .U2(b.Utf8("also"))
                                                                 .U1('[')
                                                                 .U2(1)
                                                                 .U1('s')
                                                                 .U2(b.Utf8("Both ways"))
                                                                 .data));
        b.ClassAttribute(b.Attr("Signature", Bytes().U2(b.Utf8("Ljava/util/List<Ljava/lang/String;>;")).data));
        b.ClassAttribute(b.Attr("SourceFile", Bytes().U2(b.Utf8("Sample.java")).data));
        b.Utf8("spare");
        b.Field("I", "I");  // one text both a name and a descriptor
        // Bootstrap methods: a record's component names and a pattern switch's labels are
        // parsed by the runtime; a concatenation recipe is not.
        const uint16_t objectMethods =
            b.MethodHandle(6, b.Methodref("java/lang/runtime/ObjectMethods", "bootstrap", "()Ljava/lang/Object;"));
        const uint16_t typeSwitch = b.MethodHandle(
            6, b.Methodref("java/lang/runtime/SwitchBootstraps", "typeSwitch", "()Ljava/lang/invoke/CallSite;"));
        const uint16_t concat =
            b.MethodHandle(6, b.Methodref("java/lang/invoke/StringConcatFactory", "makeConcatWithConstants", "()V"));
        b.ClassAttribute(b.Attr("BootstrapMethods", Bytes()
                                                        .U2(3)
                                                        .U2(objectMethods)
                                                        .U2(2)
                                                        .U2(b.Class("Sample"))
                                                        .U2(b.String("x;y"))
                                                        .U2(typeSwitch)
                                                        .U2(1)
                                                        .U2(b.String("circle"))
                                                        .U2(concat)
                                                        .U2(1)
                                                        .U2(b.String("\x01 items"))
                                                        .data));
        bytes_ = b.Build();
        cf_ = ParseClassFile(bytes_.data(), bytes_.size());
        ASSERT_TRUE(cf_.parsed) << ReasonWord(cf_.error) << " at " << cf_.errorOffset;
        roles_ = ComputeRoles(cf_);
    }

    ClassFileBuilder builder_;
    std::vector<uint8_t> bytes_;
    ClassFile cf_;
    std::vector<Role> roles_;
};

TEST_F(HandMadeRoles, EachUtf8EntryGetsTheRoleOfItsUses)
{
    const std::pair<std::string, Role> expected[] = {
        {"open", Role::Key},
        {"Unknown command", Role::Literal},      // in the switch's method, hash not a key
        {std::string("o\0", 2), Role::Literal},  // its naive hash is a key, but no Java string has these bytes
        {"save", Role::Literal},                 // no hashCode call in its method
        {"a", Role::Key},                        // inside a tableswitch range
        {"x;y", Role::Key},                      // ObjectMethods argument
        {"circle", Role::Key},                   // SwitchBootstraps argument
        {"\x01 items", Role::Literal},           // other bootstrap methods do not count
        {"Press any key", Role::Literal},
        {"count", Role::Shared},      // a string constant and a field name
        {"Both ways", Role::Shared},  // a string constant and an annotation value
        {"Use the menu", Role::Annotation},
        {"value", Role::Name},
        {"choose", Role::Name},
        {"Sample", Role::Name},
        {"java/lang/runtime/ObjectMethods", Role::Name},
        {"LDoc;", Role::Descriptor},
        {"[Ljava/lang/String;", Role::Descriptor},  // an array class and a field descriptor
        {"(Ljava/lang/String;)V", Role::Descriptor},
        {"Ljava/util/List<Ljava/lang/String;>;", Role::Signature},
        {"Code", Role::Attribute},
        {"BootstrapMethods", Role::Attribute},
        {"Sample.java", Role::Other},
        {"spare", Role::Other},  // unused
        {"I", Role::Other},      // a name and a descriptor at once
    };
    for (const auto& [text, role] : expected)
        EXPECT_EQ(RoleWord(RoleOfText(cf_, roles_, text)), std::string(RoleWord(role))) << text;
    for (uint16_t i = 1; i < cf_.pool.size(); ++i)
        EXPECT_EQ(cf_.pool[i].tag == Tag::Utf8, roles_[i] != Role::None) << i;
}

TEST_F(HandMadeRoles, ScanRowsMapToTheirEntryOrToNone)
{
    const ScanRoleMap map(cf_, roles_);
    ASSERT_TRUE(map.Available());
    const cl::StringList list = Scan(bytes_);
    std::map<std::string, Role> byCaption;
    for (const cl::StringRow& row : list.rows)
        byCaption[row.Caption().ToStdString()] = map.RoleAtRow(row.offset).value();
    EXPECT_EQ(byCaption.at("Press any key"), Role::Literal);
    EXPECT_EQ(byCaption.at("open"), Role::Key);
    EXPECT_EQ(byCaption.at("count"), Role::Shared);
    EXPECT_EQ(byCaption.at("Use the menu"), Role::Annotation);
    EXPECT_EQ(byCaption.at("WWW"), Role::None);  // bytes inside code
    EXPECT_EQ(byCaption.at("ABC"), Role::None);  // bytes inside a Long
    // Offsets next to a tag byte are not entries either.
    const uint16_t press = cf_.pool[builder_.String("Press any key")].StringIndex();
    const int64_t row = cf_.pool[press].offset + 1;
    EXPECT_EQ(map.RoleAtRow(row), Role::Literal);
    EXPECT_EQ(map.RoleAtRow(row + 1), Role::None);
    EXPECT_EQ(map.RoleAtRow(row - 1), Role::None);
    EXPECT_EQ(map.RoleAtRow(0), Role::None);
    EXPECT_EQ(map.RoleAtRow(int64_t{1} << 40), Role::None);
}

TEST_F(HandMadeRoles, RolesOfAllRowsMatchOneByOneLookups)
{
    const ScanRoleMap map(cf_, roles_);
    // Suspicious rows are listed after the plain ones: two runs of rising offsets.
    const cl::StringList list = Scan(bytes_, {cl::ByteString("count"), cl::ByteString("WWW")});
    ASSERT_GT(list.PlainRowCount, 0);
    ASSERT_LT(static_cast<size_t>(list.PlainRowCount), list.rows.size());
    const std::vector<Role> all = map.RolesOfRows(list);
    ASSERT_EQ(all.size(), list.rows.size());
    for (size_t i = 0; i < list.rows.size(); ++i)
        EXPECT_EQ(all[i], map.RoleAtRow(list.rows[i].offset).value()) << list.rows[i].Caption().ToStdString();
    EXPECT_EQ(all[static_cast<size_t>(list.PlainRowCount)], Role::Shared);  // "count"
    EXPECT_EQ(all.back(), Role::None);                                      // "WWW"
    EXPECT_TRUE(ScanRoleMap().RolesOfRows(list).empty());
}

TEST_F(HandMadeRoles, AFileThatDoesNotParseHasNoRowRoles)
{
    std::vector<uint8_t> longer = bytes_;
    longer.push_back(0);
    const ClassFile cf = ParseClassFile(longer.data(), longer.size());
    ASSERT_FALSE(cf.parsed);
    const std::vector<Role> roles = ComputeRoles(cf);
    for (const Role role : roles)
        EXPECT_EQ(role, Role::None);
    const ScanRoleMap map(cf, roles);
    EXPECT_FALSE(map.Available());
    for (const cl::StringRow& row : Scan(longer).rows)
        EXPECT_FALSE(map.RoleAtRow(row.offset).has_value());
    EXPECT_FALSE(ScanRoleMap().RoleAtRow(1).has_value());  // a language pack
}

// ---- Classes javac builds

class JavacRoles : public cltest::ScratchFolder {
protected:
    void SetUp() override
    {
        ScratchFolder::SetUp();
        CLTEST_REQUIRE_TOOL("javac", cltest::JavacPath());
    }

    // Compiles `source` (file `fileName`.java) and parses the class `className`.
    void Compile(const std::string& fileName, const std::string& source, const std::string& className,
                 const std::string& options = "")
    {
        ASSERT_EQ(cltest::CompileJava(dir_.string(), fileName, source, {}, options), "");
        const std::string bytes = Read(Path(className + ".class"));
        bytes_.assign(bytes.begin(), bytes.end());
        cf_ = ParseClassFile(bytes_.data(), bytes_.size());
        ASSERT_TRUE(cf_.parsed) << ReasonWord(cf_.error) << " at " << cf_.errorOffset;
        roles_ = ComputeRoles(cf_);
    }

    void ExpectRoles(const std::vector<std::pair<std::string, Role>>& expected)
    {
        for (const auto& [text, role] : expected)
            EXPECT_EQ(RoleWord(RoleOfText(cf_, roles_, text)), std::string(RoleWord(role))) << text;
    }

    std::vector<uint8_t> bytes_;
    ClassFile cf_;
    std::vector<Role> roles_;
};

TEST_F(JavacRoles, StringSwitchesLambdasFieldNamesAndAnnotations)
{
    Compile("Menu", R"(
import java.lang.annotation.*;
import java.util.function.Function;
@Retention(RetentionPolicy.RUNTIME) @interface Help { String value(); }
public class Menu {
    int count;
    public static int pick(String command) {
        switch (command) {
            case "open": return 1;
            case "save": return 2;
            default: System.out.println("Unknown command"); return 0;
        }
    }
    public String label() { return "count"; }
    @Help("Use the arrow keys") public void annotated() {}
    public static Function<String, Integer> arrows() {
        return s -> switch (s) { case "left" -> 1; case "right" -> 2; default -> 0; };
    }
    public static String greet() { return "Welcome back"; }
}
)",
            "Menu");
    ExpectRoles({
        {"open", Role::Key},
        {"save", Role::Key},
        {"left", Role::Key},  // the lambda body is a method of its own, with its own switch
        {"right", Role::Key},
        {"Unknown command", Role::Literal},
        {"Welcome back", Role::Literal},
        {"count", Role::Shared},
        {"Use the arrow keys", Role::Annotation},
        {"pick", Role::Name},
        {"Menu", Role::Name},
        {"(Ljava/lang/String;)I", Role::Descriptor},
        {"LHelp;", Role::Descriptor},
        {"Code", Role::Attribute},
        {"Menu.java", Role::Other},
    });
    // The scan's rows of this class all fall on Utf8 entries.
    const ScanRoleMap map(cf_, roles_);
    for (const cl::StringRow& row : Scan(bytes_).rows)
        EXPECT_NE(map.RoleAtRow(row.offset), Role::None) << row.Caption().ToStdString();
}

TEST_F(JavacRoles, RecordComponentNamesAreParsedByTheRuntime)
{
    Compile("Point", "public record Point(int x, int y) { public String hint() { return \"Drag to move\"; } }\n",
            "Point");
    ExpectRoles({
        {"x;y", Role::Key},
        {"x", Role::Name},
        {"Drag to move", Role::Literal},
        {"Record", Role::Attribute},
    });
}

TEST_F(JavacRoles, PatternSwitchLabelsAreKeys)
{
    Compile("Shapes", R"(
public class Shapes {
    static String describe(String o) {
        return switch (o) {
            case "circle" -> "Round";
            case String s && s.isEmpty() -> "Nothing";
            case String s -> "Other shape";
        };
    }
}
)",
            "Shapes", "--release 17 --enable-preview");
    ExpectRoles({
        {"circle", Role::Key},
        {"Round", Role::Literal},
        {"Other shape", Role::Literal},
    });
}

TEST_F(JavacRoles, ConstantsNumbersAndGenericsInOneClass)
{
    Compile("Store", R"(
import java.util.*;
public class Store<T extends Comparable<T>> {
    public static final String TITLE = "Store title";
    static final long MAGIC = 0x0100034142434445L;
    private final List<T> items = new ArrayList<>();
    public T first() { for (T item : items) { return item; } return null; }
    public long magic() { return MAGIC + items.size(); }
}
)",
            "Store", "-g");
    ExpectRoles({
        {"Store title", Role::Literal},  // a ConstantValue string is still only a string constant
        {"TITLE", Role::Name},
        {"item", Role::Name},  // local variable
        {"Ljava/util/List<TT;>;", Role::Signature},
        {"LocalVariableTable", Role::Attribute},
    });
    const ScanRoleMap map(cf_, roles_);
    bool sawNumber = false;
    for (const cl::StringRow& row : Scan(bytes_).rows) {
        if (row.Caption().View() == "ABC") {
            sawNumber = true;
            EXPECT_EQ(map.RoleAtRow(row.offset), Role::None);
        }
    }
    EXPECT_TRUE(sawNumber);
}

}  // namespace
