#pragma once
// Whether two paths name the same file: by its identity on disk, whatever path or link leads to
// it, so that no output can be written over an input by another name.

#include "files/FileSystem.h"

#include <string>

namespace cl {

// True when both exist and are the same file (or folder). Where the platform gives files no
// identity, the paths themselves are compared.
bool IsSameFile(const std::string& a, const std::string& b, FileSystem& fs = NativeFileSystem());

}  // namespace cl
