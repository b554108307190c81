// Names from a program are only names: an entry whose name holds a line break (or any other
// control character) cannot add entries to a catalogue, is named as unreadable and copied
// unchanged; a .properties file that cannot be inflated is named as such, not taken for a
// family without a source.

#include "CliFixture.h"
#include "SamplePrograms.h"
#include "ZipBytes.h"
#include "zip/JarArchive.h"
#include "catalogue/Po.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using cltest::CliFixture;
namespace cat = cl::catalogue;

// The archive with the method of entry `name` set to `method` in its local and central record,
// as a writer using a method Java and this tool cannot read (bzip2, 12) leaves it.
std::string WithMethod(std::string zip, const std::string& name, uint16_t method)
{
    for (const uint32_t signature : {0x04034b50u, 0x02014b50u}) {
        const uint64_t nameAt = signature == 0x04034b50u ? 30 : 46;
        const uint64_t methodAt = signature == 0x04034b50u ? 8 : 10;
        for (std::size_t at = zip.find(name); at != std::string::npos; at = zip.find(name, at + 1)) {
            if (at < nameAt)
                continue;
            const std::size_t header = at - nameAt;
            const auto* p = reinterpret_cast<const unsigned char*>(zip.data() + header);
            const uint32_t found = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
            if (found != signature)
                continue;
            zip[header + methodAt] = static_cast<char>(method & 0xFF);
            zip[header + methodAt + 1] = static_cast<char>(method >> 8);
        }
    }
    return zip;
}

class CliNames : public CliFixture {};

TEST_F(CliNames, ANameWithALineBreakAddsNoEntryAndIsCopiedUnchanged)
{
    // A class and a bundle whose names would, written raw into a "#:" line, start entries of
    // their own; and a plain class beside them.
    const std::string evilClass = "app/X\nmsgid \"Injected\"\nmsgstr \"\".class";
    const std::string evilBundle = "app/Y\n#, fuzzy\nmsgid \"Also\".properties";
    const std::string evilBytes = cltest::ClassOffering("app/X", {"Hidden text"});
    const std::string input = cltest::BuildZip({
        {"app/Main.class", cltest::ClassOffering("app/Main", {"Hello"}), false, {}},
        {evilClass, evilBytes, false, {}},
        {evilBundle, "k=Bundle text\n", false, {}},
    });
    Write(Path("app.jar"), input);

    const auto extract = Run({"extract", Path("app.jar"), Path("out.po")});
    EXPECT_EQ(extract.status, 3) << extract.err;
    EXPECT_NE(extract.err.find("“app/X\\nmsgid \"Injected\"\\nmsgstr \"\".class”的名称含有换行等控制字符"),
              std::string::npos)
        << extract.err;
    const std::string po = Read(Path("out.po"));
    const cl::Result<cat::PoCatalogue> read = cat::ReadPo(po, "out.po");
    ASSERT_TRUE(read.ok()) << po;
    ASSERT_EQ(read->messages.size(), 1u) << po;
    EXPECT_EQ(read->messages.front().msgid, "Hello");
    EXPECT_EQ(po.find("Injected"), std::string::npos) << po;
    EXPECT_EQ(po.find("Hidden text"), std::string::npos) << po;

    Write(Path("app.po"), cltest::Catalogue({{"Hello", "你好"}}));
    const auto apply = Run({"apply", Path("app.jar"), Path("app.po"), Path("out.jar")});
    EXPECT_EQ(apply.status, 3) << apply.err;
    cl::Result<std::unique_ptr<cl::zip::JarArchive>> out = cl::zip::JarArchive::Open(Read(Path("out.jar")));
    ASSERT_TRUE(out.ok());
    bool copied = false;
    for (const cl::zip::JarEntry& entry : (*out)->Entries()) {
        if (entry.name == evilClass) {
            copied = true;
            EXPECT_EQ(*(*out)->Read(entry.index), evilBytes);
        }
    }
    EXPECT_TRUE(copied);
}

TEST_F(CliNames, AnUnreadableBundleSourceIsNamedNotTakenForAFamilyWithoutOne)
{
    const std::string zip = cltest::BuildZip({
        {"app/Main.class", cltest::ClassOffering("app/Main", {"app.Messages"}), false, {}},
        {"app/Messages.properties", "greeting=Hello there\n", true, {}},
        {"app/Messages_de.properties", "greeting=Hallo du\n", false, {}},
    });
    Write(Path("app.jar"), WithMethod(zip, "app/Messages.properties", 12));
    for (const char* command : {"extract", "strings"}) {
        SCOPED_TRACE(command);
        const auto run = std::string(command) == "extract" ? Run({"extract", Path("app.jar"), Path("out.po")})
                                                            : Run({"strings", Path("app.jar")});
        EXPECT_EQ(run.status, 3) << run.err;
        EXPECT_NE(run.err.find("无法读取“app/Messages.properties”（压缩方法既不是存储也不是 deflate）"), std::string::npos)
            << run.err;
        EXPECT_EQ(run.err.find("既没有基础文件也没有英文文件"), std::string::npos) << run.err;
    }
}

}  // namespace
