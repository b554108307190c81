// A program installed as a folder, listed whole: every item once, parents first, names sorted,
// however deep its folders go.

#include "files/FolderTree.h"

#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

class FolderTree : public cltest::ScratchFolder {};

TEST_F(FolderTree, NestedFoldersAreListedUnderTheirOwnNames)
{
    // Files beside each folder, so that the list grows while a folder below is being listed.
    // Sorted, "A.class" comes before the lower-case folder names: each folder, its files, then
    // the folder below it.
    std::vector<std::string> expected;
    std::string folder;
    for (const char* name : {"com", "example", "app", "ui", "dialogs"}) {
        folder += (folder.empty() ? "" : "/") + std::string(name);
        std::filesystem::create_directories(Path(folder));
        expected.push_back(folder);
        for (const char* file : {"A.class", "B.class", "C.class"}) {
            Write(Path(folder + "/" + file), "x");
            expected.push_back(folder + "/" + file);
        }
    }
    const cl::Result<std::vector<cl::TreeItem>> tree = cl::ListTree(dir_.string());
    ASSERT_TRUE(tree);
    std::vector<std::string> listed;
    for (const cl::TreeItem& item : *tree)
        listed.push_back(item.relative);
    EXPECT_EQ(listed, expected);
}

}  // namespace
