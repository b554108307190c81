#pragma once
// The translated copy of a program: checked before anything is written, made in full beside its
// destination under a temporary name (the long part), then put in its place in one step. A new
// output of the same kind as the input, or the input replaced in place:
// - a jar or a class in place: the input is first copied to INPUT.bak; where a backup of that
//   name is there already (an older original, kept as it is), to the first free INPUT.bak.N;
// - a folder in place: only the files that change are replaced, all or none: a failure part way
//   puts back every file replaced so far. Each one's original goes to the same place under
//   INPUT.bak/, or under the first free INPUT.bak.N/ where INPUT.bak/ holds an older one;
// - an input that holds what an earlier run in place wrote (InPlaceRecord.h) was read from the
//   originals that run kept: they need no new copy, and a file that no longer changes gets its
//   original back, one that run added goes;
// - in place, a translation that changes nothing writes nothing at all.
// A new folder is a copy of the input in which every file keeps its mode and time and every link
// stays a link, never followed. A new file or folder takes the input's permission bits. Nothing
// is ever written through a link: a file of the translation that would land on one (or in a
// folder that is one) is left out and named.

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
    None,      // a new output, or nothing written in place
    Made,      // INPUT.bak holds the input as it was
    Kept,      // INPUT.bak was there already and is left as it was
    Numbered,  // INPUT.bak was there already and is left as it was; `backupPath` (INPUT.bak.N)
               // holds the input as it was
};

struct OutputReport {
    bool written = false;  // false only in place when nothing changed
    BackupOutcome backup = BackupOutcome::None;
    std::string backupPath;
    std::size_t backupsAdded = 0;  // a folder in place: originals newly put under the backup folder
    std::vector<std::string> droppedSignatures;
    std::size_t filesWritten = 0;  // files of the program that changed or were added
    // In place over an earlier run's output: the original the translation was made from (a jar
    // or class), or the backup folder that holds the originals of the folder's files.
    std::string translatedFrom;
    std::size_t restored = 0;  // files that no longer change, given their originals back
    std::size_t removed = 0;   // files an earlier run added that this one does not
    // Files of the translation left unwritten because they would land on a link (LandsOnLink).
    std::vector<Error> refused;
};

// Where a translation in place of `input` (a folder when `folder`) keeps the original, for a
// front end to say before it asks: `outcome` Made (at `path`, INPUT.bak), Numbered (INPUT.bak is
// there already and stays; at `path`, INPUT.bak.N), or Kept (the input is an earlier run's
// output: it is translated again from the original at `translatedFrom`, which stays). For a
// folder, `path` is where the originals of the files it changes go (one whose place there is
// taken goes under the first free INPUT.bak.N instead).
struct InPlaceBackup {
    BackupOutcome outcome = BackupOutcome::Made;
    std::string path;
    std::string translatedFrom;
};
InPlaceBackup WhereInPlaceBackupGoes(const std::string& input, bool folder, FileSystem& fs = NativeFileSystem());

// Everything that can be checked before the long part: the output is none of the inputs (by
// any path or link) and not inside a folder input, and an existing output is of the input's
// kind (a folder output also empty).
Status CheckOutput(const Program& program, const OutputRequest& request, FileSystem& fs = NativeFileSystem());

// A translated program made and waiting to be put in place. Destroyed or discarded before it is
// committed, it leaves nothing behind.
class StagedOutput {
public:
    StagedOutput(StagedOutput&&) noexcept;
    StagedOutput& operator=(StagedOutput&&) noexcept;
    ~StagedOutput();

    // Puts the new program in its place (with the backups above); once only. On failure the
    // destination is as it was (a folder in place: InPlaceUndone), unless even putting its
    // files back failed (InPlaceHalfDone names one and where its contents are).
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
