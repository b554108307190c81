#pragma once
// Error: why an engine operation failed, as one value whatever the subsystem: what failed (the
// kind), the step that failed and what the work was for, the files concerned, the system's own
// reason, and details such as a catalogue line or an entry of an archive. Each field means one
// thing whatever the kind; a subsystem's own reason travels as its value (`fault`), never as
// words. The engine never words it; texts/ turns it into the sentence both front ends show.

#include <cstdint>
#include <string>
#include <system_error>

namespace cl {

enum class ErrorKind : uint8_t {
    // Files.
    CannotOpen,           // the file cannot be opened (or its size taken when opening)
    TooLarge,             // 2 GiB or more: lengths are 32-bit; `expected` holds the size
    CannotGetSize,        // the size of an opened file cannot be taken
    ReadFailed,           // reading failed
    ShortRead,            // fewer bytes than the file holds: `done` of `expected`
    AlreadyRead,          // the opened file was read and closed before
    NotReplaced,          // a step (`step`) of writing a replacement failed; the old file is as it was
    FolderNotFlushed,     // the new bytes are in place, but the folder's change is not durable
    ExportOverOpened,     // the export target is the file being translated or its backup
    ClassNoLongerParses,  // a patched class would not parse: `fault` (a classfile::ParseError) says
                          // why, `offset` where
    RangeError,           // a scan met a pattern cut short by the end of the file
    // Whole programs.
    NotAProgram,       // neither a zip, a class file nor a folder
    BadArchive,        // the archive cannot be read: `fault` (a zip::ZipFault) says why, `offset` where
    CannotList,        // a folder of the input cannot be listed
    OutputIsInput,     // the output is an input of the command (by any path or link)
    OutputNotEmpty,    // a folder output that exists and holds files
    OutputInsideInput, // a folder output inside the folder input (by any path or link)
    LandsOnLink,       // a file of the translation (`entry`) would be written through the link
                       // `path`: left unwritten
    InPlaceUndone,     // in place, writing `path` failed (`code`, `step`); every file replaced
                       // before was put back: the program (`other`) is as it was
    InPlaceHalfDone,   // ... and putting back `path` failed too: its contents are at `other`
    OutputWrongKind,   // the output exists and is a folder for a file input, or the other way round
    CannotWrite,       // a file of the output cannot be written (`path`, `code`)
    CannotMakeFolder,  // a folder of the output cannot be made or put in place
    ArchiveWrite,      // the new archive cannot be made: `fault` says why
    EntryTooLarge,     // an entry (`entry`) inflates past the limit (`limit`; `fault` BudgetSpent:
                       // the archive's entries together do): copied unchanged
    EntryUnreadable,   // an entry (`entry`) cannot be read: `fault` says why; copied unchanged
    DuplicateEntry,    // an archive holds `entry` more than once: Java reads the last, which is
                       // the program's; this earlier one is copied unchanged
    UnsafeName,        // an entry's name (`entry`) holds a control character: copied unchanged,
                       // never named in a catalogue, where a line break would start new entries
    // Catalogues and bundles.
    CatalogueSyntax,   // no valid PO: `line`, `detail`
    CatalogueCharset,  // the declared charset (`detail`) is unknown or a text does not fit it
    BadEscape,         // a malformed \uXXXX escape in a .properties file, at `line`
    BundleCutShort,    // a .properties file in UTF-8 whose last character is cut short: Java
                       // refuses to read it (MalformedInputException); `line` is the last line
    NotAGettextBundle, // a class that is not a bundle as msgfmt --java2 makes it: `fault` (a
                       // bundle::GettextFault) says why, `offset` where
    GettextUnwritable, // a gettext bundle's class cannot hold the messages: `fault` (a
                       // bundle::GettextFault) says which limit, `entry` the message's key
    LangFileUnreadable,  // a language file in the order of its English file (JOSM's data/*.lang) does
                         // not read beside it: `fault` (a bundle::LangFault) says why, `offset`
                         // where; `path` the language file, `other` the English one
    LangTextUnwritable,  // a translation cannot go into such a file: `fault` (a bundle::LangFault),
                         // `detail` the English text, `expected` and `limit` the size and the most
                         // its length field holds
    // Running a translated program.
    JavaNotFound,  // no executable java on PATH nor under JAVA_HOME (`path`: JAVA_HOME as given)
    // Work stopped by the user.
    Cancelled,
};

// The step of a replacement (NotReplaced) that failed.
enum class ErrorStep : uint8_t {
    None,
    ResolveLink,  // following a symbolic link at the target
    Stat,         // reading the target's attributes
    NotRegular,   // the target (`other`) is no regular file
    CreateTemp,   // creating the temporary file in folder `other`
    Permissions,  // giving the temporary file the old file's permissions
    WriteTemp,    // writing the temporary file
    OpenSource,   // (backup) opening the file to copy
    StatSource,   // (backup) reading its attributes
    SizeSource,   // (backup) taking its size
    ReadSource,   // (backup) reading it
    ShortSource,  // (backup) it gave `done` of `expected` bytes
    FlushTemp,    // making the temporary file durable
    CloseTemp,    // closing it
    Rename,       // putting it in the place of `other`
};

// What the failed work was for.
enum class ErrorTask : uint8_t {
    None,
    Save,       // saving the open file
    Backup,     // its ".bak" copy
    Export,     // the text export
    Copy,       // copying a file (a program's files into its translated copy)
    WordList,   // reading the word list (Filter.ini)
    Catalogue,  // reading or writing a PO catalogue
    Program,    // reading or writing a whole program
};

struct Error {
    ErrorKind kind = ErrorKind::ReadFailed;
    ErrorStep step = ErrorStep::None;
    ErrorTask task = ErrorTask::None;
    std::string path;    // the file or folder concerned
    std::string other;   // a second path some steps name: a folder, a link's target
    std::error_code code;  // the system's reason
    // Words from outside the engine, shown as they are: a library's own message (libgettextpo),
    // or what the input itself says (a declared charset, a malformed escape).
    std::string detail;
    std::string entry;   // an entry inside an archive or a program folder
    uint64_t line = 0;   // a line of a catalogue or bundle file; 0 when unknown
    // A finer reason within the kind, from the failing subsystem's own list (zip::ZipFault for
    // an archive, classfile::ParseError for a class); 0 when the kind says all.
    uint16_t fault = 0;
    uint64_t done = 0;      // bytes read before a read came up short
    uint64_t expected = 0;  // the size of the file, by its own account
    uint64_t offset = 0;    // where in the file the fault lies
    uint64_t limit = 0;     // the size an entry, or an archive's entries together, may not pass
    // A backup that failed stopped a save: the file itself was not written.
    bool saveStopped = false;

    Error() = default;
    Error(ErrorKind k, std::string p = {}, std::error_code c = {}) : kind(k), path(std::move(p)), code(c) {}

    // The backup copy could not be put in place (its name is held by a folder, or cannot be
    // replaced), although the file itself could be read: saving without a new backup is then
    // a choice the user may make, since the save itself replaces the file atomically.
    bool IsBackupFailure() const
    {
        if (task != ErrorTask::Backup)
            return false;
        if (kind == ErrorKind::FolderNotFlushed)
            return true;
        const bool sourceUnreadable = step == ErrorStep::OpenSource || step == ErrorStep::StatSource ||
                                      step == ErrorStep::SizeSource || step == ErrorStep::ReadSource ||
                                      step == ErrorStep::ShortSource;
        return kind == ErrorKind::NotReplaced && !sourceUnreadable;
    }
};

}  // namespace cl
