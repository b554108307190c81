#pragma once
// What a translation written in place leaves beside the program: which files it wrote, what
// each held once written, and where the original of each one went. The next run reads it to
// tell its own earlier output from an original: a file that still holds what was written is
// the translation of the original in the backup, so a second run translates that original
// again instead of the first run's Chinese (in place twice gives what once gives), and needs no
// new backup of it; a file that holds anything else is an original of its own (a new version
// dropped in, an edit by hand) and is backed up before it is replaced.
//
// The record is a small text file named after the program (".app.jar.classlingo" beside
// app.jar): it survives moving the folder that holds both, and losing it loses nothing but the
// knowledge, since a file it does not vouch for is always treated as an original.

#include "errors/Result.h"
#include "files/FileSystem.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace cl::catalogue {

struct RecordedFile {
    std::string relative;  // in the program folder; empty for a jar or class input itself
    uint64_t size = 0;     // of what was written
    uint64_t hash = 0;     // ContentHash of what was written
    // Where the original went, relative to the folder that holds the input ("app.jar.bak",
    // "prog.bak/lib/x.jar"); empty for a file the run added, which has no original.
    std::string original;
};

// Where a program's files are read from when the input holds an earlier in-place run's output.
struct InPlaceOrigin {
    // relative ("" for a jar or class input) -> the path of the original it was made from
    std::map<std::string, std::string> originals;
    // Files an earlier run added that still hold what it wrote: not the program's own.
    std::set<std::string> added;
    // The whole record as read, for the next run's record to carry forward.
    std::vector<RecordedFile> recorded;

    bool Empty() const { return originals.empty() && added.empty(); }
    // Where the record says the original of `relative` went, as the record writes it; empty for
    // a file that run added or did not write.
    std::string RecordedOriginal(const std::string& relative) const;
    // Whether the file `relative` holds exactly `bytes` as that run wrote them.
    bool StillHolds(const std::string& relative, std::string_view bytes) const;
    // The path to read the input's file `relative` from.
    std::string PathOf(const std::string& input, const std::string& relative) const;
};

// Where the originals are, to name to the user: the backup of a jar or class input, the backup
// folder of a folder's (that of the first original, should they lie in several); empty when the
// input holds no earlier run's output.
std::string TranslatedFrom(const InPlaceOrigin& origin);

// A 64-bit FNV-1a of the bytes: with the size, what tells a file written by a run from any other.
uint64_t ContentHash(std::string_view bytes);

std::string InPlaceRecordPath(const std::string& input);

// The record beside `input`, checked against the files as they are now: only files that still
// hold what was written, and whose original is still a regular file, count. No record, or one
// that cannot be read, gives an empty origin (everything is an original).
InPlaceOrigin FindInPlaceOrigin(const std::string& input, bool folder, FileSystem& fs);

// Writes the record (atomically). An empty list removes it.
Status WriteInPlaceRecord(const std::string& input, const std::vector<RecordedFile>& files, FileSystem& fs);

}  // namespace cl::catalogue
