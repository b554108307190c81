#pragma once
// Document: the file open for translation, with everything that belongs to it: its image, its
// kind, the word list it was scanned with, its rows and whether it holds unsaved changes. The
// windows and the command line drive it; the steps it takes (OpenWholeFile, MakeBackup,
// ReadWholeFile, ScanClassImage, ScanPackImage, ReplaceSelectedString, SaveImage, ExportRows)
// stay the engine's functions.

#include "text/ByteString.h"
#include "errors/FileError.h"
#include "scan/FileImage.h"
#include "files/FileOps.h"
#include "scan/FilterList.h"
#include "document/Replace.h"
#include "scan/StringList.h"
#include "classfile/ClassFile.h"
#include "classfile/Roles.h"

#include <cstddef>
#include <optional>
#include <string>
#include <variant>
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

class Document {
public:
    // Nothing open.
    Document() = default;

    // Opens, backs up where the kind wants it, reads and scans. On failure nothing was read
    // and the caller's current document is untouched.
    static std::variant<OpenedDocument, FileError> Open(const OpenRequest& request, const FilterList& filter,
                                                        FileSystem& fs = NativeFileSystem());

    bool IsOpen() const { return !image_.path.empty(); }
    DocumentKind Kind() const { return kind_; }
    const std::string& Path() const { return image_.path; }
    const FileImage& Image() const { return image_; }
    const StringList& Rows() const { return rows_; }
    // The list the window's model shows; changed only through the document.
    StringList& RowsForView() { return rows_; }
    bool IsModified() const { return modified_; }

    // The class model when the document is a class file (also when it did not parse).
    const classfile::ClassFile* ClassModel() const { return classModel_ ? &*classModel_ : nullptr; }
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

    // Replaces the text of row `row` (-1: none) with ANSI `text`; marks the document modified
    // when it did.
    ReplaceOutcome Replace(int row, const ByteString& text);
    // Replaces the whole contents (the manifest editor's text); marks the document modified.
    void SetBytes(const ByteString& bytes);

    // Writes the image back to its path, with a backup first where the kind wants one and
    // `backup` allows it. A class that parsed when it was opened must still parse: otherwise
    // nothing is written (What::ClassNoLongerParses). Clears the modified flag on success.
    std::optional<FileError> Save(SaveBackup backup = SaveBackup::Make, FileSystem& fs = NativeFileSystem());
    // Writes the rows as text to `path`, never over the document's file or its backup.
    std::optional<FileError> Export(const std::string& path, FileSystem& fs = NativeFileSystem()) const;

private:
    // Parses the image as a class and gives every row its role.
    void ReadClassModel();

    FileImage image_;
    DocumentKind kind_ = DocumentKind::Class;
    StringList rows_;
    std::optional<classfile::ClassFile> classModel_;
    std::vector<classfile::Role> rowRoles_;
    bool modified_ = false;
};

struct OpenedDocument {
    Document document;
    bool rangeError = false;               // the scan stopped at "Range check error"
    std::optional<FileError> backupError;  // the backup at opening failed
};

}  // namespace cl
