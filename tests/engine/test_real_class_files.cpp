// Class files compiled by javac: the scan must find ordinary string literals at their
// constant-pool entries, and a replacement must keep every later row pointing at its string.

#include "document/Replace.h"
#include "scan/Scanner.h"

#include "ScratchFolder.h"
#include "Java.h"

#include <gtest/gtest.h>

#include <string>

using namespace cl;

namespace {

class RealClassFileTest : public cltest::ScratchFolder {
protected:
    void SetUp() override
    {
        ScratchFolder::SetUp();
        CLTEST_REQUIRE_TOOL("javac", cltest::JavacPath());
    }

    FileImage Compile(const std::string& className, const std::string& source)
    {
        EXPECT_EQ(cltest::CompileJava(dir_.string(), className, source), "");
        const std::string bytes = Read(Path(className + ".class"));
        FileImage image;
        image.bytes = ByteString(std::string_view(bytes));
        image.loadedSize = image.bytes.ByteLength();
        return image;
    }
};

const StringRow* FindRow(const StringList& list, std::string_view caption)
{
    for (const StringRow& row : list.rows) {
        if (row.Caption().View() == caption)
            return &row;
    }
    return nullptr;
}

}  // namespace

TEST_F(RealClassFileTest, StringLiteralsAreListedAtTheirTagByte)
{
    const FileImage image = Compile("Greeter", R"(
public class Greeter {
    public static void main(String[] args) {
        System.out.println("Hello, world");
        System.out.println("File not found");
        String title = "Settings";
        System.out.println(title);
        System.out.println("Goodbye");
    }
}
)");
    StringList list;
    ASSERT_TRUE(ScanClassImage(image, FilterList{ByteString("Settings")}, list).ok());
    for (const char* literal : {"Hello, world", "File not found", "Goodbye"}) {
        const StringRow* row = FindRow(list, literal);
        ASSERT_NE(row, nullptr) << literal;
        EXPECT_EQ(row->status, RowStatus::Plain);
        EXPECT_EQ(image.bytes.ByteAt(row->offset), 0x01) << "the CONSTANT_Utf8 tag";
        EXPECT_EQ(image.bytes.ByteAt(row->offset + 1), 0x00);
        EXPECT_EQ(image.bytes.ByteAt(row->offset + 2), std::string_view(literal).size());
        EXPECT_EQ(image.bytes.Slice(row->offset + 3, row->byteLength).View(), literal);
    }
    const StringRow* settings = FindRow(list, "Settings");
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(settings->status, RowStatus::Suspicious);
    EXPECT_EQ(&list.rows.back(), settings);
    // JDK names and descriptors are not offered for translation.
    EXPECT_EQ(FindRow(list, "java/lang/Object"), nullptr);
    EXPECT_EQ(FindRow(list, "<init>"), nullptr);
    EXPECT_EQ(FindRow(list, "([Ljava/lang/String;)V"), nullptr);
}

TEST_F(RealClassFileTest, ReplacingKeepsLaterRowsAligned)
{
    FileImage image = Compile("Messages", R"(
public class Messages {
    static final String A = "first message";
    static final String B = "second message";
    public static void main(String[] args) { System.out.println(A + B + "third message"); }
}
)");
    StringList list;
    ASSERT_TRUE(ScanClassImage(image, {}, list).ok());
    const StringRow* first = FindRow(list, "first message");
    ASSERT_NE(first, nullptr);
    const int index = static_cast<int>(first - list.rows.data());
    ASSERT_EQ(ReplaceSelectedString(image, list, index, ByteString("\xB5\xDA\xD2\xBB")),
              ReplaceOutcome::Replaced);  // 第一
    for (const StringRow& row : list.rows) {
        EXPECT_EQ(image.bytes.ByteAt(row.offset), 0x01);
        EXPECT_EQ(image.bytes.ByteAt(row.offset + 2), row.byteLength);
    }
    // A fresh scan of the patched image finds the new text at the same place.
    image.loadedSize = image.bytes.ByteLength();
    StringList rescanned;
    ASSERT_TRUE(ScanClassImage(image, {}, rescanned).ok());
    const StringRow* replaced = FindRow(rescanned, "\xB5\xDA\xD2\xBB");
    ASSERT_NE(replaced, nullptr);
    EXPECT_EQ(replaced->byteLength, 6);
    EXPECT_EQ(replaced->offset, list.rows[static_cast<size_t>(index)].offset);
}
