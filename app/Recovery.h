#pragma once
// Where the translation window keeps a program's unsaved translations between an autosave (or a
// signal that ends classlingo) and the next open of the same program: one recovery file per
// program, a PO catalogue of every entry as it stood, in a folder of the user's data rather than
// beside the program, since the catalogue beside it is the translator's to save, and a
// half-finished state written over it unasked could be saved nowhere else.

#include "errors/Result.h"
#include "files/FileSystem.h"

#include <QString>

#include <string>
#include <string_view>

namespace recovery {

// $XDG_DATA_HOME/classlingo/recovery (~/.local/share/classlingo/recovery when it is not set).
QString DefaultFolder();

// The recovery file of a program: its file name and a digest of its absolute path, so that
// programs of the same name in different folders keep apart and the name still says which it is.
QString FileFor(const QString& folder, const QString& programPath);

// Writes `text` to `path` as a save does (a temporary file renamed over it), making the folders
// on the way when they are missing.
cl::Status Write(const std::string& path, std::string_view text, cl::FileSystem& fs);

// Removes the file; one that is not there is no error.
cl::Status Remove(const std::string& path, cl::FileSystem& fs);

}  // namespace recovery
