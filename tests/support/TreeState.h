#pragma once
// TreeState: a folder and everything under it as it is on disk (each item's FileState, what
// each symbolic link holds), links described and never followed, to show that an operation left
// a whole tree exactly as it was, or that a copy kept every item's mode, time and kind.

#include "FileState.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <ostream>
#include <set>
#include <string>

namespace cltest {

struct TreeItemState {
    char type = '?';   // 'f' file, 'd' folder, 'l' link, '?' other
    FileState state;
    std::string link;  // what a link holds

    bool operator==(const TreeItemState&) const = default;
};

struct TreeState {
    bool exists = false;
    std::map<std::string, TreeItemState> items;  // by path relative to the root; "." is the root

    bool operator==(const TreeState&) const = default;

    // `folderTimes`: whether the folders' modification times count; writing a file anywhere
    // in a folder changes its time, even when the file is removed again.
    static TreeState Of(const std::string& root, bool folderTimes = true)
    {
        TreeState tree;
        struct stat st {};
        if (::lstat(root.c_str(), &st) != 0)
            return tree;
        tree.exists = true;
        tree.Add(root, ".", folderTimes);
        if (!S_ISDIR(st.st_mode))
            return tree;
        std::error_code ec;
        for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
            tree.Add(it->path().string(), it->path().lexically_relative(root).string(), folderTimes);
        return tree;
    }

    // The same tree with every item's identity on disk (its inode) forgotten: what a copy keeps.
    TreeState WithoutIdentity() const
    {
        TreeState copy = *this;
        for (auto& [name, item] : copy.items)
            item.state.inode = 0;
        return copy;
    }

    std::set<std::string> Names() const
    {
        std::set<std::string> names;
        for (const auto& [name, item] : items)
            names.insert(name);
        return names;
    }

private:
    void Add(const std::string& path, const std::string& relative, bool folderTimes)
    {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0)
            return;
        TreeItemState item;
        item.state = FileState::Of(path);
        if (S_ISREG(st.st_mode)) {
            item.type = 'f';
        } else if (S_ISDIR(st.st_mode)) {
            item.type = 'd';
            item.state.size = 0;  // what a folder's size says depends on the file system's history
            if (!folderTimes)
                item.state.mtimeNs = 0;
        } else if (S_ISLNK(st.st_mode)) {
            item.type = 'l';
            std::error_code ec;
            item.link = std::filesystem::read_symlink(path, ec).string();
        }
        items[relative] = std::move(item);
    }
};

inline std::ostream& operator<<(std::ostream& os, const TreeState& tree)
{
    if (!tree.exists)
        return os << "(nothing)";
    os << "\n";
    for (const auto& [name, item] : tree.items) {
        os << "  " << item.type << " " << name << " " << item.state;
        if (item.type == 'l')
            os << " -> " << item.link;
        os << "\n";
    }
    return os;
}

}  // namespace cltest
