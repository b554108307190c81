// The document that owns the open file: what opening does for each kind of file (backups,
// read-only access, the scan's range error), the role of every row of a class, the modified
// flag, the last check before a class is written, and where each literal row's text goes.

#include "SampleClasses.h"
#include "document/Document.h"
#include "ErrorText.h"
#include "ErrorOf.h"
#include "Java.h"
#include "ScratchFolder.h"
#include "usage/Use.h"

#include <filesystem>
#include <variant>

namespace {

using cl::Document;
using cl::DocumentKind;
using cl::classfile::Role;
using cltest::ScratchFolder;

class DocumentTest : public ScratchFolder {
protected:
    cl::OpenedDocument Open(const std::string& path, DocumentKind kind,
                            cl::OpenAccess access = cl::OpenAccess::ReadWrite)
    {
        cl::OpenRequest request;
        request.path = path;
        request.kind = kind;
        request.access = access;
        cl::Result<cl::OpenedDocument> opened = Document::Open(request, {});
        if (!opened) {
            ADD_FAILURE() << cltext::DescribeError(opened.error());
            return {};
        }
        return std::move(*opened);
    }

    int RowOf(const Document& document, std::string_view caption)
    {
        const auto& rows = document.Rows().rows;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].Caption().View() == caption)
                return static_cast<int>(i);
        }
        ADD_FAILURE() << "no row " << caption;
        return -1;
    }
};

TEST_F(DocumentTest, EachKindIsBackedUpWhenItsRulesSay)
{
    const struct {
        DocumentKind kind;
        cl::OpenAccess access;
        bool backupAtOpening;
    } cases[] = {
        {DocumentKind::Class, cl::OpenAccess::ReadWrite, false},
        {DocumentKind::LanguagePack, cl::OpenAccess::ReadWrite, true},
        {DocumentKind::LanguagePack, cl::OpenAccess::ReadOnly, false},  // only listed: nothing written
        {DocumentKind::Manifest, cl::OpenAccess::ReadWrite, true},
    };
    for (const auto& c : cases) {
        const std::string path = Path("file");
        Write(path, std::string("\x00\x05Hello", 7));
        std::filesystem::remove(path + ".bak");
        const cl::OpenedDocument opened = Open(path, c.kind, c.access);
        EXPECT_FALSE(opened.backupError.has_value());
        EXPECT_EQ(std::filesystem::exists(path + ".bak"), c.backupAtOpening) << static_cast<int>(c.kind);
        EXPECT_EQ(opened.document.Image().bytes.View(), std::string_view("\x00\x05Hello", 7));
        EXPECT_FALSE(opened.document.IsModified());
    }
}

TEST_F(DocumentTest, ClassRowsCarryTheirRolesThroughReplacements)
{
    const std::string path = Path("A.class");
    Write(path, cltest::ClassWithEveryRowKind());
    cl::OpenedDocument opened = Open(path, DocumentKind::Class);
    Document& document = opened.document;
    ASSERT_TRUE(document.HasRoles());
    ASSERT_EQ(document.RowRoles().size(), document.Rows().rows.size());
    const int hello = RowOf(document, "Hello, world");
    const int count = RowOf(document, "count");
    const int abc = RowOf(document, "ABC");
    EXPECT_EQ(document.RoleOfRow(hello), Role::Literal);
    EXPECT_EQ(document.RoleOfRow(count), Role::Shared);
    EXPECT_EQ(document.RoleOfRow(abc), Role::None);

    ASSERT_EQ(document.Replace(hello, "Hi"), cl::ReplaceOutcome::Replaced);
    EXPECT_TRUE(document.IsModified());
    EXPECT_EQ(document.RoleOfRow(count), Role::Shared);  // a later row, shifted, same entry
    ASSERT_TRUE(document.Save().ok());
    EXPECT_FALSE(document.IsModified());
    EXPECT_EQ(Read(path + ".bak"), cltest::ClassWithEveryRowKind());

    // A language pack and a file that does not parse have no roles.
    Write(Path("Broken.class"), cltest::ClassWithEveryRowKind() + "!");
    EXPECT_FALSE(Open(Path("Broken.class"), DocumentKind::Class).document.HasRoles());
    EXPECT_EQ(Open(Path("Broken.class"), DocumentKind::Class).document.RoleOfRow(0), std::nullopt);
    EXPECT_FALSE(Open(Path("Broken.class"), DocumentKind::LanguagePack).document.HasRoles());
}

TEST_F(DocumentTest, ClassThatWouldNoLongerParseIsNotWritten)
{
    const std::string path = Path("A.class");
    Write(path, cltest::ClassWithEveryRowKind());
    cl::OpenedDocument opened = Open(path, DocumentKind::Class);
    Document& document = opened.document;
    // Lengthening the false match inside the long constant shifts every later byte.
    ASSERT_EQ(document.Replace(RowOf(document, "ABC"), "ABCD"), cl::ReplaceOutcome::Replaced);
    const auto error = cltest::ErrorOf(document.Save());
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->kind, cl::ErrorKind::ClassNoLongerParses);
    EXPECT_NE(cltext::DescribeError(*error).find(path), std::string::npos);
    // The parser's reason travels as its own value and offset; only texts/ words it.
    const cl::classfile::ClassFile patched = cl::classfile::ParseClassFile(document.Image().bytes);
    ASSERT_FALSE(patched.parsed);
    EXPECT_EQ(error->fault, static_cast<uint16_t>(patched.error));
    EXPECT_NE(error->fault, 0);
    EXPECT_EQ(error->offset, patched.errorOffset);
    EXPECT_TRUE(error->detail.empty());
    EXPECT_NE(cltext::DescribeError(*error).find("在第 " + std::to_string(patched.errorOffset) + " 字节处：" +
                                                 cl::classfile::ReasonWord(patched.error) + "）"),
              std::string::npos)
        << cltext::DescribeError(*error);
    EXPECT_EQ(Read(path), cltest::ClassWithEveryRowKind());
    EXPECT_FALSE(std::filesystem::exists(path + ".bak"));
    EXPECT_TRUE(document.IsModified());

    // A file that did not parse when opened is saved as before: there is nothing to keep.
    Write(Path("Broken.class"), std::string("\x01\x00\x03" "ABC", 6));
    cl::OpenedDocument broken = Open(Path("Broken.class"), DocumentKind::Class);
    ASSERT_EQ(broken.document.Replace(0, "ABCD"), cl::ReplaceOutcome::Replaced);
    EXPECT_TRUE(broken.document.Save().ok());
}

TEST_F(DocumentTest, ScanRangeErrorKeepsTheRowsFoundBeforeIt)
{
    Write(Path("Cut.class"), std::string("\x01\x00\x02Hi\x01\x00", 7));
    const cl::OpenedDocument opened = Open(Path("Cut.class"), DocumentKind::Class);
    EXPECT_TRUE(opened.rangeError);
    ASSERT_EQ(opened.document.Rows().rows.size(), 1u);
    EXPECT_EQ(opened.document.Rows().rows[0].Caption().View(), "Hi");
}


TEST_F(DocumentTest, LiteralRowsSayWhereTheirTextGoes)
{
    CLTEST_REQUIRE_TOOL("javac", CLASSLINGO_JAVAC);
    const std::string said = cltest::CompileJava(Path(""), "Shown",
        "public class Shown {\n"
        "    static String title(java.util.ResourceBundle b) { return b.getString(\"menu.open\"); }\n"
        "    static javax.swing.JLabel label() { return new javax.swing.JLabel(\"Open a file\"); }\n"
        "}\n");
    ASSERT_TRUE(said.empty()) << said;
    const cl::OpenedDocument opened = Open(Path("Shown.class"), DocumentKind::Class);
    const Document& document = opened.document;
    ASSERT_EQ(document.RowUses().size(), document.Rows().rows.size());
    const struct {
        const char* caption;
        std::optional<cl::usage::Use> use;
    } cases[] = {
        {"Open a file", cl::usage::Use::Ui},
        {"menu.open", cl::usage::Use::Key},
        {"getString", std::nullopt},  // not a literal: no use of its own
    };
    for (const auto& c : cases) {
        const int row = RowOf(document, c.caption);
        ASSERT_GE(row, 0);
        const auto& use = document.RowUses()[static_cast<std::size_t>(row)];
        ASSERT_EQ(use.has_value(), c.use.has_value()) << c.caption;
        if (use) {
            EXPECT_EQ(use->use, *c.use) << c.caption;
        }
    }
    const auto& key = document.RowUses()[static_cast<std::size_t>(RowOf(document, "menu.open"))];
    EXPECT_NE(key->consumer.find("getString"), std::string::npos) << key->consumer;

    // A file that does not parse, or another kind of file, has no uses.
    EXPECT_TRUE(Open(Path("Shown.class"), DocumentKind::LanguagePack).document.RowUses().empty());
}

}  // namespace
