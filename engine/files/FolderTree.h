#pragma once
// A folder and everything under it, as a program installed as a folder is read and copied:
// each item with its own attributes, links described and never followed.

#include "errors/Result.h"
#include "files/FileSystem.h"

#include <string>
#include <vector>

namespace cl {

struct TreeItem {
    std::string relative;  // '/'-separated, from the root
    EntryType type = EntryType::Other;
    FileInfo info;         // of the item itself (a link is described, not followed)
};

// Every item under `root`, parents before their contents, names sorted so that the order is
// the same on every machine. Fails (CannotList, naming the folder) when a folder cannot be read.
Result<std::vector<TreeItem>> ListTree(const std::string& root, FileSystem& fs = NativeFileSystem());

// Removes `path` and everything under it, links themselves and never what they point to.
// Goes on past what cannot be removed and reports the first failure.
Status RemoveTree(const std::string& path, FileSystem& fs = NativeFileSystem());

}  // namespace cl
