#include "document/Document.h"

#include "errors/EngineErrors.h"
#include "files/FileSystem.h"
#include "scan/Scanner.h"

#include <utility>

namespace cl {

std::variant<OpenedDocument, FileError> Document::Open(const OpenRequest& request, const FilterList& filter,
                                                       FileSystem& fs)
{
    FileError why;
    std::optional<OpenedFile> file = OpenWholeFile(request.path, &why, fs, request.access);
    if (!file)
        return why;

    OpenedDocument opened;
    Document& document = opened.document;
    document.kind_ = request.kind;
    document.image_.path = request.path;
    // The backup keeps the file as it was before any change, taken while it is held open so
    // that it is the very content about to be read.
    const bool backupKind = request.kind != DocumentKind::Class;
    if (backupKind && request.access == OpenAccess::ReadWrite && request.backupAtOpening)
        opened.backupError = MakeBackup(request.path, fs);
    if (auto error = ReadWholeFile(*file, document.image_.bytes, document.image_.loadedSize))
        return *error;

    try {
        switch (request.kind) {
            case DocumentKind::Class: ScanClassImage(document.image_, filter, document.rows_); break;
            case DocumentKind::LanguagePack: ScanPackImage(document.image_, filter, document.rows_); break;
            case DocumentKind::Manifest: break;
        }
    } catch (const RangeError&) {
        // A pattern cut short by the end of the file: the rows found before it stay.
        opened.rangeError = true;
    }
    if (request.kind == DocumentKind::Class)
        document.ReadClassModel();
    return opened;
}

void Document::ReadClassModel()
{
    // The model shares the image's storage instead of copying it; a later replacement gives
    // the image storage of its own, so the model keeps describing the class as opened.
    classModel_ = classfile::ParseClassFile(image_.bytes);
    rowRoles_.clear();
    if (!classModel_->parsed)
        return;
    rowRoles_ = classfile::ScanRoleMap(*classModel_, classfile::ComputeRoles(*classModel_)).RolesOfRows(rows_);
}

ReplaceOutcome Document::Replace(int row, const ByteString& text)
{
    const ReplaceOutcome outcome = ReplaceSelectedString(image_, rows_, row, text);
    if (outcome == ReplaceOutcome::Replaced)
        modified_ = true;
    return outcome;
}

void Document::SetBytes(const ByteString& bytes)
{
    image_.bytes = bytes;
    modified_ = true;
}

std::optional<FileError> Document::Save(SaveBackup backup, FileSystem& fs)
{
    if (kind_ == DocumentKind::Manifest)
        backup = SaveBackup::Skip;
    // A replacement must never turn a class the JVM could load into one it cannot: the
    // patched image is parsed again, and a class that no longer parses is not written.
    if (classModel_ && classModel_->parsed && modified_) {
        const ByteString& bytes = image_.bytes;
        const classfile::ClassFile patched =
            classfile::ParseClassFile(bytes.Bytes(), static_cast<std::size_t>(bytes.ByteLength()));
        if (!patched.parsed) {
            FileError error;
            error.kind = FileError::Kind::Io;
            error.what = FileError::What::ClassNoLongerParses;
            error.path = image_.path;
            error.other = classfile::ReasonWord(patched.error);
            error.done = patched.errorOffset;
            return error;
        }
    }
    if (auto error = SaveImage(image_, fs, backup))
        return error;
    modified_ = false;
    return std::nullopt;
}

std::optional<FileError> Document::Export(const std::string& path, FileSystem& fs) const
{
    if (auto error = CheckExportTarget(path, image_.path, fs))
        return error;
    return ExportRows(rows_, path, fs);
}

}  // namespace cl
