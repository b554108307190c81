#include "files/FolderTree.h"

#include <algorithm>

namespace cl {

namespace {

Status ListInto(const std::string& root, const std::string& relative, FileSystem& fs, std::vector<TreeItem>& items)
{
    const std::string folder = relative.empty() ? root : JoinPath(root, relative);
    std::vector<FolderEntry> entries;
    if (auto ec = fs.ListFolder(folder, entries))
        return Error(ErrorKind::CannotList, folder, ec);
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    for (const FolderEntry& entry : entries) {
        TreeItem item;
        item.relative = relative.empty() ? entry.name : relative + "/" + entry.name;
        item.type = entry.type;
        const std::string path = JoinPath(root, item.relative);
        if (auto ec = fs.StatLink(path, item.info))
            return Error(ErrorKind::CannotList, path, ec);
        const bool folderItem = entry.type == EntryType::Folder;
        items.push_back(std::move(item));
        if (folderItem) {
            // A copy: listing the folder adds to `items`, which may move the name held there.
            const std::string sub = items.back().relative;
            if (Status listed = ListInto(root, sub, fs, items); !listed)
                return listed;
        }
    }
    return {};
}

}  // namespace

Result<std::vector<TreeItem>> ListTree(const std::string& root, FileSystem& fs)
{
    std::vector<TreeItem> items;
    if (Status listed = ListInto(WithoutTrailingSeparators(root), "", fs, items); !listed)
        return std::move(listed).error();
    return items;
}

Status RemoveTree(const std::string& path, FileSystem& fs)
{
    FileInfo info;
    if (auto ec = fs.StatLink(path, info))
        return Error(ErrorKind::CannotWrite, path, ec);
    if (!info.exists)
        return {};
    if (!info.isDirectory) {
        if (auto ec = fs.Remove(path))
            return Error(ErrorKind::CannotWrite, path, ec);
        return {};
    }
    std::vector<FolderEntry> entries;
    Status first;
    if (auto ec = fs.ListFolder(path, entries))
        first = Error(ErrorKind::CannotList, path, ec);
    for (const FolderEntry& entry : entries) {
        Status removed = RemoveTree(JoinPath(path, entry.name), fs);
        if (!removed && first)
            first = std::move(removed);
    }
    if (auto ec = fs.RemoveFolder(path); ec && first)
        first = Error(ErrorKind::CannotWrite, path, ec);
    return first;
}

}  // namespace cl
