#pragma once
// FileError: why a file operation failed, as a value. It names what was being done, the step
// that failed, the files concerned and the system's own reason; the windows and the command
// line turn it into their sentences.

#include <cstdint>
#include <string>
#include <system_error>

namespace cl {

struct FileError {
    // What the caller acts on.
    enum class Kind {
        CannotOpen,  // the file cannot be opened
        TooLarge,    // 2 GiB or more: lengths are 32-bit
        Io,          // read, copy, create, write, flush or rename failed; a refused target
    };
    // What exactly went wrong, for the sentence that tells the user.
    enum class What {
        CannotOpen,        // the file cannot be opened (or its size taken when opening)
        TooLarge,          // 2 GiB or more
        CannotGetSize,     // the size of an opened file cannot be taken
        ReadFailed,        // reading failed
        ShortRead,         // fewer bytes than the file holds: `done` of `expected`
        AlreadyRead,       // the opened file was read and closed before
        NotReplaced,       // a step of writing a replacement failed; the old file is as it was
        FolderNotFlushed,  // the new bytes are in place, but the folder's change is not durable
        ExportOverOpened,  // the export target is the file being translated or its backup
        ClassNoLongerParses,  // a patched class would not parse: `other` says why, `done` where
    };
    // What the replacement of NotReplaced and FolderNotFlushed was for.
    enum class Task { Save, Backup, Export };
    // The step of a replacement (NotReplaced) that failed.
    enum class Step {
        ResolveLink,     // following a symbolic link at the target
        Stat,            // reading the target's attributes
        NotRegular,      // the target (`other`) is no regular file
        CreateTemp,      // creating the temporary file in folder `other`
        Permissions,     // giving the temporary file the old file's permissions
        WriteTemp,       // writing the temporary file
        OpenSource,      // (backup) opening the file to copy
        StatSource,      // (backup) reading its attributes
        SizeSource,      // (backup) taking its size
        ReadSource,      // (backup) reading it
        ShortSource,     // (backup) it gave `done` of `expected` bytes
        FlushTemp,       // making the temporary file durable
        CloseTemp,       // closing it
        Rename,          // putting it in the place of `other`
    };

    Kind kind = Kind::Io;
    What what = What::ReadFailed;
    Task task = Task::Save;
    Step step = Step::Stat;
    std::string path;   // the file concerned: the one opened, read, saved, backed up or exported to
    std::string other;  // a second path some steps name: a folder, a link's target
    std::error_code reason;
    uint64_t done = 0;
    uint64_t expected = 0;
    // A backup that failed stopped a save: the file itself was not written.
    bool saveStopped = false;

    // The backup copy could not be put in place (its name is held by a folder, or cannot be
    // replaced), although the file itself could be read: saving without a new backup is then
    // a choice the user may make, since the save itself replaces the file atomically.
    bool IsBackupFailure() const
    {
        if (task != Task::Backup)
            return false;
        if (what == What::FolderNotFlushed)
            return true;
        const bool sourceUnreadable = step == Step::OpenSource || step == Step::StatSource ||
                                      step == Step::SizeSource || step == Step::ReadSource ||
                                      step == Step::ShortSource;
        return what == What::NotReplaced && !sourceUnreadable;
    }
};

}  // namespace cl
