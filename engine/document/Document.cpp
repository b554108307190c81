#include "document/Document.h"

#include "classfile/ModifiedUtf8.h"
#include "files/FileSystem.h"
#include "usage/ClassAnalysis.h"
#include "text/CodePage.h"
#include "text/Utf8.h"
#include "scan/Scanner.h"

#include <unordered_map>
#include <utility>

namespace cl {

Result<OpenedDocument> Document::Open(const OpenRequest& request, const FilterList& filter, FileSystem& fs)
{
    Result<OpenedFile> file = OpenWholeFile(request.path, fs, request.access);
    if (!file)
        return std::move(file).error();

    OpenedDocument opened;
    Document& document = opened.document;
    document.kind_ = request.kind;
    document.image_.path = request.path;
    // The backup keeps the file as it was before any change, taken while it is held open so
    // that it is the very content about to be read.
    const bool backupKind = request.kind != DocumentKind::Class;
    if (backupKind && request.access == OpenAccess::ReadWrite && request.backupAtOpening) {
        if (Status backedUp = MakeBackup(request.path, fs); !backedUp)
            opened.backupError = std::move(backedUp).error();
    }
    if (Status read = ReadWholeFile(*file, document.image_.bytes, document.image_.loadedSize); !read)
        return std::move(read).error();

    // A pattern cut short by the end of the file: the rows found before it stay.
    Status scanned;
    switch (request.kind) {
        case DocumentKind::Class: scanned = ScanClassImage(document.image_, filter, document.rows_); break;
        case DocumentKind::LanguagePack: scanned = ScanPackImage(document.image_, filter, document.rows_); break;
        case DocumentKind::Manifest: break;
    }
    opened.rangeError = !scanned;
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
    rowUses_.clear();
    if (!classModel_->parsed)
        return;
    rowRoles_ = classfile::ScanRoleMap(*classModel_, classfile::ComputeRoles(*classModel_)).RolesOfRows(rows_);
    ReadUses();
}

void Document::ReadUses()
{
    // The CONSTANT_String that loads each Utf8 entry, and each Utf8 entry by its tag's place.
    const classfile::ClassFile& cf = *classModel_;
    std::unordered_map<uint32_t, uint16_t> utf8At;
    std::vector<uint16_t> stringOf(cf.pool.size(), 0);
    for (std::size_t i = 1; i < cf.pool.size(); ++i) {
        const classfile::Constant& c = cf.pool[i];
        if (c.tag == classfile::Tag::Utf8)
            utf8At.emplace(c.offset, static_cast<uint16_t>(i));
        else if (c.tag == classfile::Tag::String && c.StringIndex() < stringOf.size() && stringOf[c.StringIndex()] == 0)
            stringOf[c.StringIndex()] = static_cast<uint16_t>(i);
    }
    std::vector<usage::ClassFacts> facts;
    facts.push_back(usage::AnalyseClass(cf));
    const usage::ProgramUsage uses = usage::ProgramUsage::Solve(std::move(facts));
    rowUses_.assign(rows_.rows.size(), std::nullopt);
    for (std::size_t r = 0; r < rows_.rows.size() && r < rowRoles_.size(); ++r) {
        if (rowRoles_[r] != classfile::Role::Literal)
            continue;
        const auto utf8 = utf8At.find(static_cast<uint32_t>(rows_.rows[r].offset - 1));
        if (utf8 == utf8At.end() || stringOf[utf8->second] == 0)
            continue;
        const usage::PlaceRef place{0, stringOf[utf8->second]};
        std::string text;
        if (!classfile::Utf8FromModifiedUtf8(cf.Utf8Bytes(utf8->second), text).Ok())
            continue;
        usage::Decision decision = uses.Decide(text, std::span<const usage::PlaceRef>(&place, 1));
        rowUses_[r] = RowUse{decision.use, std::move(decision.consumer)};
    }
}

ReplacementText Document::CheckReplacementText(std::string_view typed)
{
    ReplacementText checked;
    checked.ansi = AnsiFromUtf8(typed);
    checked.outside = CharactersOutsideCodePage(typed);
    checked.tooLong = EncodeUtf8FromAnsi(checked.ansi).ByteLength() > 255;
    return checked;
}

RowReplacement Document::CheckReplacementRow(int row) const
{
    if (row < 0)
        return RowReplacement::Free;
    const std::optional<classfile::Role> role = RoleOfRow(static_cast<std::size_t>(row));
    if (!role || *role == classfile::Role::Literal)
        return RowReplacement::Free;
    return *role == classfile::Role::None ? RowReplacement::Refused : RowReplacement::NeedsConfirmation;
}

ReplaceOutcome Document::Replace(int row, const ByteString& text)
{
    const ReplaceOutcome outcome = ReplaceSelectedString(image_, rows_, row, text);
    if (outcome == ReplaceOutcome::Replaced)
        modified_ = true;
    return outcome;
}

Status Document::SaveBytes(const ByteString& bytes, FileSystem& fs)
{
    FileImage written = image_;
    written.bytes = bytes;
    const SaveBackup backup = kind_ == DocumentKind::Manifest ? SaveBackup::Skip : SaveBackup::Make;
    if (Status saved = SaveImage(written, fs, backup); !saved)
        return saved;
    image_.bytes = bytes;
    modified_ = false;
    return {};
}

Status Document::Save(SaveBackup backup, FileSystem& fs)
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
            Error error(ErrorKind::ClassNoLongerParses, image_.path);
            error.task = ErrorTask::Save;
            error.fault = static_cast<uint16_t>(patched.error);
            error.offset = patched.errorOffset;
            return error;
        }
    }
    if (Status saved = SaveImage(image_, fs, backup); !saved)
        return saved;
    modified_ = false;
    return {};
}

Status ExportRows(const StringList& list, const std::string& path, FileSystem& fs)
{
    static const ByteString suspiciousPrefix = AnsiFromUtf8("[可疑的]");
    std::string text;
    for (std::size_t i = 0; i < list.rows.size(); ++i) {
        if (static_cast<int64_t>(i) >= list.PlainRowCount)
            text += suspiciousPrefix.View();
        text += list.rows[i].Caption().View();
        text += "\r\n";
    }
    return WriteFileSafely(path, text, fs, ErrorTask::Export);
}

Status Document::Export(const std::string& path, FileSystem& fs) const
{
    if (Status allowed = CheckExportTarget(path, image_.path, fs); !allowed)
        return allowed;
    return ExportRows(rows_, path, fs);
}

}  // namespace cl
