// Loading a jar program within its archive's budget, and listing its classes without their
// bytes for a caller that reads them a batch at a time: the same classes, the same bytes and
// the same unreadable entries either way.

#include "catalogue/Program.h"
#include "zip/ZipFault.h"

#include "HandZip.h"
#include "SamplePrograms.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

namespace cat = cl::catalogue;
namespace hz = cltest::handzip;

constexpr uint64_t kMiB = uint64_t{1} << 20;

class ProgramLoading : public cltest::ScratchFolder {
protected:
    // A jar of a real class, three classes of 50 MiB of zeros (the third passes the 128 MiB
    // budget), a bundle and another real class after them.
    std::string WriteJar()
    {
        std::vector<hz::Entry> entries(6);
        entries[0].name = "app/Main.class";
        entries[0].contents = cltest::MainClass();
        for (std::size_t i = 1; i <= 3; ++i) {
            entries[i].name = "app/Zero" + std::to_string(i) + ".class";
            entries[i].contents = std::string(50 * kMiB, '\0');
        }
        entries[4].name = "app/Messages.properties";
        entries[4].contents = "hello=Hello\n";
        entries[5].name = "app/lib/Other.class";
        entries[5].contents = cltest::OtherClass();
        contents_.clear();
        for (const hz::Entry& e : entries)
            contents_.push_back(e.contents);
        const std::string path = Path("app.jar");
        Write(path, hz::Build(entries));
        return path;
    }
    std::vector<std::string> contents_;
};

TEST_F(ProgramLoading, ClassesListedUnreadAreReadAsTheyWouldHaveBeen)
{
    const std::string path = WriteJar();
    for (const bool classBytes : {true, false}) {
        SCOPED_TRACE(classBytes ? "bytes kept" : "listed unread");
        cl::Result<cat::Program> program = cat::LoadProgram(path, cl::NativeFileSystem(), cat::LoadOptions{classBytes});
        ASSERT_TRUE(program);
        std::vector<std::string> names;
        for (const cat::ProgramFile& c : program->classes)
            names.push_back(c.entry);
        EXPECT_EQ(names, (std::vector<std::string>{"app/Main.class", "app/Zero1.class", "app/Zero2.class",
                                                   "app/lib/Other.class"}));
        ASSERT_EQ(program->unreadable.size(), 1u);
        EXPECT_EQ(program->unreadable[0].entry, "app/Zero3.class");
        EXPECT_EQ(program->unreadable[0].error.kind, cl::ErrorKind::EntryTooLarge);
        EXPECT_EQ(program->unreadable[0].error.fault, static_cast<uint16_t>(cl::zip::ZipFault::BudgetSpent));
        ASSERT_EQ(program->properties.size(), 1u);
        EXPECT_EQ(program->properties[0].bytes, contents_[4]) << "bundles are always read";

        for (const cat::ProgramFile& c : program->classes) {
            EXPECT_EQ(c.unread, !classBytes) << c.entry;
            EXPECT_EQ(c.bytes.empty(), !classBytes) << c.entry;
        }
        // A batch at a time: only the batch's classes are read.
        ASSERT_TRUE(cat::ReadClassBytes(*program, 1, 3));
        EXPECT_EQ(program->classes[0].bytes.empty(), !classBytes);
        EXPECT_EQ(program->classes[3].bytes.empty(), !classBytes);
        ASSERT_TRUE(cat::ReadClassBytes(*program, 0, 1));
        ASSERT_TRUE(cat::ReadClassBytes(*program, 3, 99));
        const std::vector<std::size_t> source = {0, 1, 2, 5};
        for (std::size_t c = 0; c < program->classes.size(); ++c) {
            EXPECT_FALSE(program->classes[c].unread);
            EXPECT_TRUE(program->classes[c].bytes == contents_[source[c]]) << program->classes[c].entry;
        }
    }
}

}  // namespace
