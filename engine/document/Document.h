#pragma once
// Document: the file open for translation, with everything that belongs to it: its image, its
// kind, the word list it was scanned with, its rows and whether it holds unsaved changes. The
// windows and the command line drive it; the steps it takes (OpenWholeFile, MakeBackup,
// ReadWholeFile, ScanClassImage, ScanPackImage, ReplaceSelectedString, SaveImage, ExportRows)
// stay functions of their own.

#include "text/ByteString.h"
#include "errors/Result.h"
#include "files/FileImage.h"
#include "files/FileOps.h"
#include "scan/FilterList.h"
#include "document/Replace.h"
#include "scan/StringList.h"
#include "classfile/ClassFile.h"
#include "classfile/Roles.h"
#include "usage/ProgramUsage.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cl {

class FileSystem;

enum class DocumentKind {
    Class,         // scanned with ScanClassImage; backed up at every save
    LanguagePack,  // scanned with ScanPackImage; backed up when opened and at every save
    Manifest,      // not scanned; backed up when opened, never when saved
};

class Document;

// What opening gave besides the document: the scan's range error (the rows found before it
// are kept) and a backup at opening that could not be made (the file is opened all the same).
struct OpenedDocument;

struct OpenRequest {
    std::string path;
    DocumentKind kind = DocumentKind::Class;
    // ReadOnly for a file that is only listed or exported: no backup, no write access needed.
    OpenAccess access = OpenAccess::ReadWrite;
    // Skip the backup a language pack or manifest gets when opened for changing.
    bool backupAtOpening = true;
};

// How a text typed to replace a row stands, whichever row it is for.
struct ReplacementText {
    ByteString ansi;                    // the text as it would be written, in the code page
    std::vector<std::string> outside;   // characters the code page cannot hold (UTF-8): refused
    bool tooLong = false;               // more than 255 bytes once encoded: refused
};

// Writes one caption per line (ANSI, CR LF), suspicious rows prefixed with "[可疑的]": the text
// export of a document's rows.
Status ExportRows(const StringList& list, const std::string& path, FileSystem& fs = NativeFileSystem());

// Whether a row may be replaced at all.
enum class RowReplacement {
    Free,               // a string constant's text, or a file whose rows have no roles
    NeedsConfirmation,  // a string that is also (or only) part of the class's structure: ask first
    Refused,            // no constant at all, a false match in code or numbers: never
};

class Document {
public:
    // Nothing open.
    Document() = default;

    // Opens, backs up where the kind wants it, reads and scans. On failure nothing was read
    // and the caller's current document is untouched.
    static Result<OpenedDocument> Open(const OpenRequest& request, const FilterList& filter,
                                       FileSystem& fs = NativeFileSystem());

    bool IsOpen() const { return !image_.path.empty(); }
    DocumentKind Kind() const { return kind_; }
    const std::string& Path() const { return image_.path; }
    const FileImage& Image() const { return image_; }
    const StringList& Rows() const { return rows_; }
    // The list the window's model shows; changed only through the document.
    StringList& RowsForView() { return rows_; }
    bool IsModified() const { return modified_; }

    // True when the rows have roles: a class file that parsed when it was opened.
    bool HasRoles() const { return classModel_ && classModel_->parsed; }
    // One role per row, in row order (empty without roles). A row keeps its role through
    // replacements: it is still the same constant-pool entry.
    const std::vector<classfile::Role>& RowRoles() const { return rowRoles_; }
    std::optional<classfile::Role> RoleOfRow(std::size_t row) const
    {
        if (row >= rowRoles_.size())
            return std::nullopt;
        return rowRoles_[row];
    }
    // Where the text of a literal row goes (usage/), worked out over this class alone; nothing
    // for other rows.
    struct RowUse {
        usage::Use use = usage::Use::Unknown;
        std::string consumer;
    };
    const std::vector<std::optional<RowUse>>& RowUses() const { return rowUses_; }

    // The checks both front ends make before a replacement: of the typed text (standard UTF-8),
    // and of the row (-1: none) it would replace.
    static ReplacementText CheckReplacementText(std::string_view typed);
    RowReplacement CheckReplacementRow(int row) const;

    // Replaces the text of row `row` (-1: none) with ANSI `text`; marks the document modified
    // when it did.
    ReplaceOutcome Replace(int row, const ByteString& text);
    // Writes `bytes` as the whole new contents (the manifest editor's text), as Save writes;
    // the document holds them once they are on disk, and is as it was when the write fails.
    Status SaveBytes(const ByteString& bytes, FileSystem& fs = NativeFileSystem());

    // Writes the image back to its path, with a backup first where the kind wants one and
    // `backup` allows it. A class that parsed when it was opened must still parse: otherwise
    // nothing is written (ClassNoLongerParses). Clears the modified flag on success.
    Status Save(SaveBackup backup = SaveBackup::Make, FileSystem& fs = NativeFileSystem());
    // Writes the rows as text to `path`, never over the document's file or its backup.
    Status Export(const std::string& path, FileSystem& fs = NativeFileSystem()) const;

private:
    // Parses the image as a class and gives every row its role, and every literal row its use.
    void ReadClassModel();
    void ReadUses();

    FileImage image_;
    DocumentKind kind_ = DocumentKind::Class;
    StringList rows_;
    std::optional<classfile::ClassFile> classModel_;
    std::vector<classfile::Role> rowRoles_;
    std::vector<std::optional<RowUse>> rowUses_;
    bool modified_ = false;
};

struct OpenedDocument {
    Document document;
    bool rangeError = false;           // the scan stopped at a pattern cut short (RangeError)
    std::optional<Error> backupError;  // the backup at opening failed
};

}  // namespace cl
