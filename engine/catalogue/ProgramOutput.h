#pragma once
// The translated copy of a program: checked before anything is written, made in full beside its
// destination under a temporary name (the long part), then put in its place in one step. A new
// output of the same kind as the input, or the input replaced in place:
// - a jar or a class in place: the input is first copied to INPUT.bak, unless a backup of that
//   name already exists, which then is the original and is kept as it is;
// - a folder in place: only the files that change are replaced, each atomically, and each one's
//   original goes to the same place under INPUT.bak/ unless one is there already;
// - in place, a translation that changes nothing writes nothing at all.
// A new folder is a copy of the input in which every file keeps its mode and time and every link
// stays a link, never followed.

#include "catalogue/Program.h"
#include "catalogue/Progress.h"
#include "errors/Result.h"
#include "files/FileOps.h"
#include "files/FileSystem.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace cl::catalogue {

// A file the translation adds: a bundle's new language variant.
struct AddedFile {
    std::string entry;  // as ProgramFile::entry names files
    std::string bytes;
    std::string after;  // in an archive: the entry it follows (the family's source)
};

struct OutputChanges {
    std::map<std::string, std::string> replaced;  // entry (as ProgramFile::entry) -> new contents
    std::vector<AddedFile> added;

    bool Empty() const { return replaced.empty() && added.empty(); }
};

struct OutputRequest {
    std::string output;  // where the translated program goes; ignored in place
    bool inPlace = false;
    // Further inputs of the work (the catalogue) that the output must never be.
    std::vector<std::string> otherInputs;
};

enum class BackupOutcome {
    None,  // a new output, or nothing written in place
    Made,  // INPUT.bak holds the input as it was
    Kept,  // INPUT.bak was there already and is left as it was
};

struct OutputReport {
    bool written = false;  // false only in place when nothing changed
    BackupOutcome backup = BackupOutcome::None;
    std::string backupPath;
    std::size_t backupsAdded = 0;  // a folder in place: originals newly put under INPUT.bak/
    std::vector<std::string> droppedSignatures;
    std::size_t filesWritten = 0;  // files of the program that changed or were added
};

// Everything that can be checked before the long part: the output is none of the inputs (by
// any path or link), and an existing output is of the input's kind (a folder output also
// empty).
Status CheckOutput(const Program& program, const OutputRequest& request, FileSystem& fs = NativeFileSystem());

// A translated program made and waiting to be put in place. Destroyed or discarded before it is
// committed, it leaves nothing behind.
class StagedOutput {
public:
    StagedOutput(StagedOutput&&) noexcept;
    StagedOutput& operator=(StagedOutput&&) noexcept;
    ~StagedOutput();

    // Puts the new program in its place (with the backups above); once only. On failure the
    // destination is as it was, except for a folder in place, whose files are replaced one by
    // one: those replaced before the failure stay replaced, their originals under INPUT.bak/.
    Result<OutputReport> Commit();
    void Discard();

    struct State;

private:
    friend Result<StagedOutput> StageOutput(Program&, const OutputChanges&, const OutputRequest&, const Progress&,
                                            FileSystem&);
    explicit StagedOutput(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

// Checks (CheckOutput) and makes the translated program. A jar that changes drops its
// signature files, whose signatures it would break; in a folder, a jar with a change is made
// anew under its own name. Cancelled: an error of kind Cancelled, and nothing left behind.
Result<StagedOutput> StageOutput(Program& program, const OutputChanges& changes, const OutputRequest& request,
                                 const Progress& progress, FileSystem& fs = NativeFileSystem());

}  // namespace cl::catalogue
