// Argument handling and the three commands of classlingo-cli. Each command loads and scans
// the file exactly as the window does, so the list printed here is the window's list.

#include "Cli.h"

#include "text/ByteString.h"
#include "text/CodePage.h"
#include "document/Document.h"
#include "text/ByteStringErrors.h"
#include "ListPrinter.h"
#include "ListWriter.h"
#include "scan/PieceScan.h"
#include "ExecutableFolder.h"
#include "EngineText.h"
#include "ProgramText.h"
#include "ErrorText.h"
#include "files/FileOps.h"
#include "files/FileSystem.h"
#include "scan/FilterList.h"
#include "CommandLine.h"
#include "ProgramCommands.h"
#include "document/Replace.h"
#include "RoleText.h"
#include "scan/Scanner.h"
#include "scan/StringList.h"
#include "text/Utf8.h"

#include <algorithm>
#include <charconv>
#include <memory>
#include <system_error>
#include <cstring>
#include <new>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace {

constexpr const char* kUsage =
    "用法：\n"
    "  classlingo-cli list [--pack] [--filter PATH] [--roles] FILE\n"
    "  classlingo-cli export [--pack] [--filter PATH] FILE OUT\n"
    "  classlingo-cli replace [--pack] [--filter PATH] [--no-backup] [--force] FILE INDEX TEXT [INDEX TEXT ...]\n"
    "  classlingo-cli --help\n"
    "\n"
    "  list      每个字符串一行：偏移<TAB>字节长度<TAB>状态<TAB>文本\n"
    "            （状态 1 为可疑，2 为普通；文本中的 \\ 制表符 回车 换行 零字节写作 \\\\ \\t \\r \\n \\0）\n"
    "  export    把字符串列表导出为 ANSI 文本文件 OUT，每行以 CR LF 结束\n"
    "  replace   把第 INDEX 行（从 0 开始，按 list 列出的顺序）替换为 TEXT（UTF-8），\n"
    "            然后保存；保存前原文件复制为 FILE.bak\n"
    "  --pack    按语言包文件扫描（默认按 class 文件扫描）；replace 时打开文件就先备份\n"
    "  --filter  从 PATH 读取词表（默认为程序所在文件夹中的 Filter.ini）\n"
    "  --no-backup  replace 时不做备份（无法创建 FILE.bak 时仍要保存）\n"
    "  --roles   list 时在每行末尾加第五个字段：该字符串在类文件中的角色\n"
    "            （literal key shared annotation name descriptor signature attribute other none；\n"
    "            语言包或无法解析的类文件为 -）\n"
    "  --force   replace 时也替换不是 literal 的行（none 行永远不替换）\n"
    "\n"
    "退出状态：0 完成；1 文件无法打开、读取或写入，或替换文本不能使用；2 用法错误；\n"
    "          3 扫描时出现 Range check error（之前找到的字符串照常列出或导出）\n";

constexpr const char* kNoBackupHint = "如果不要备份也要保存，请加上 --no-backup。\n";

enum class Command { List, Export, Replace };

struct Options {
    Command command = Command::List;
    bool pack = false;
    bool noBackup = false;  // replace: save without a backup
    bool roles = false;     // list: a fifth field with the row's role
    bool force = false;     // replace: rows that are not literals too
    std::optional<std::string> filterPath;
    std::vector<std::string> positional;
};

struct Replacement {
    std::size_t index = 0;
    cl::ByteString text;  // ANSI
};

int UsageError(std::ostream& err, const std::string& why)
{
    if (!why.empty())
        err << why << "\n";
    err << kUsage;
    return kCliUsage;
}


// Decimal digits only: no sign, no spaces, no hexadecimal.
std::optional<std::size_t> ParseIndex(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    std::size_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.front() == '+' || text.front() == '-') {
        return std::nullopt;
    }
    return value;
}

// Reports a failed open the way the window does, followed by the reason.
int ReportFileError(std::ostream& err, const cl::Error& error)
{
    if (cltext::SaysCannotOpen(error))
        err << cltext::CannotOpenText() << "\n";
    err << cltext::DescribeError(error) << "\n";
    return kCliFileError;
}

// The scan's range error, as the window's error display shows it.
int ReportRangeError(std::ostream& err)
{
    err << cltext::RangeErrorText() << ".\n";
    return kCliRangeError;
}

struct Loaded {
    cl::Document document;
    bool rangeError = false;
};

// The word list named by --filter, or the one beside the program. Returns an exit status on
// failure.
std::optional<int> LoadFilter(const Options& options, const char* argv0, cl::FileSystem& fs, std::ostream& err,
                              cl::FilterList& filter)
{
    if (options.filterPath) {
        cl::Result<cl::ByteString> text = cl::ReadFileContents(*options.filterPath, fs);
        if (!text) {
            err << "无法读取词表：" << cltext::DescribeError(text.error()) << "\n";
            return kCliFileError;
        }
        filter = cl::SplitFilterLines(*text);
    } else {
        cl::Result<cl::FilterList> list = cl::LoadFilterList(clcli::ExecutableFolder(argv0), fs);
        if (!list) {
            err << cltext::WordListUnreadableText(list.error()) << "\n";
            return kCliFileError;
        }
        filter = std::move(*list);
    }
    return std::nullopt;
}

// Loads the word list and opens the file as the window does. Returns an exit status on failure.
std::optional<int> Load(const Options& options, const char* argv0, cl::OpenAccess access, cl::FileSystem& fs,
                        std::ostream& err, Loaded& loaded)
{
    cl::FilterList filter;
    if (auto status = LoadFilter(options, argv0, fs, err, filter))
        return status;

    cl::OpenRequest request;
    request.path = options.positional.front();
    request.kind = options.pack ? cl::DocumentKind::LanguagePack : cl::DocumentKind::Class;
    request.access = access;
    request.backupAtOpening = !options.noBackup;
    cl::Result<cl::OpenedDocument> opened = cl::Document::Open(request, filter, fs);
    if (!opened)
        return ReportFileError(err, opened.error());
    cl::OpenedDocument& result = *opened;
    // A language pack opened for changing is backed up at once; without that copy nothing
    // is changed, unless the user said to go on without one.
    if (result.backupError) {
        ReportFileError(err, *result.backupError);
        err << kNoBackupHint;
        return kCliFileError;
    }
    loaded.document = std::move(result.document);
    loaded.rangeError = result.rangeError;
    return std::nullopt;
}

// The rows with their roles need the whole class parsed, so the file is opened as the window
// opens it.
int ListWithRoles(const Options& options, const char* argv0, cl::FileSystem& fs, std::ostream& out,
                  std::ostream& err)
{
    Loaded loaded;
    if (auto status = Load(options, argv0, cl::OpenAccess::ReadOnly, fs, err, loaded))
        return *status;
    const cl::Document& document = loaded.document;
    clcli::ListWriter writer(out);
    const std::vector<cl::StringRow>& rows = document.Rows().rows;
    std::string caption;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const cl::StringRow& row = rows[i];
        caption.clear();
        if (row.IsFound())
            cl::AppendCaptionAsUtf8(row.FoundBytes(), caption);
        else
            caption = cl::Utf8FromAnsi(row.Caption());
        const std::optional<cl::classfile::Role> role = document.RoleOfRow(i);
        writer.Line(row.offset, row.byteLength, row.status, caption, role ? cl::classfile::RoleWord(*role) : "-");
    }
    writer.Flush();
    out.flush();
    if (loaded.rangeError)
        return ReportRangeError(err);
    return kCliDone;
}

int RunList(const Options& options, const char* argv0, cl::FileSystem& fs, std::ostream& out, std::ostream& err)
{
    if (options.roles)
        return ListWithRoles(options, argv0, fs, out, err);
    // Without roles nothing needs a row once it is printed: the file is scanned as it is read
    // and each piece's rows printed, so that it is never held whole.
    cl::FilterList filter;
    if (auto status = LoadFilter(options, argv0, fs, err, filter))
        return *status;
    clcli::ListPrinter printer(out);
    const cl::Status scanned =
        cl::ScanFileInPieces(options.positional.front(), options.pack ? cl::ScanKind::LanguagePack : cl::ScanKind::Class,
                             filter, printer, fs);
    printer.Finish();
    out.flush();
    if (!scanned && scanned.error().kind == cl::ErrorKind::RangeError)
        return ReportRangeError(err);
    if (!scanned)
        return ReportFileError(err, scanned.error());
    return kCliDone;
}

int RunExport(const Options& options, const char* argv0, cl::FileSystem& fs, std::ostream& err)
{
    Loaded loaded;
    if (auto status = Load(options, argv0, cl::OpenAccess::ReadOnly, fs, err, loaded))
        return *status;
    // As in the window, the rows found before a range error can still be exported.
    if (cl::Status exported = loaded.document.Export(options.positional[1], fs); !exported) {
        err << cltext::DescribeError(exported.error()) << "\n";
        return kCliFileError;
    }
    if (loaded.rangeError)
        return ReportRangeError(err);
    return kCliDone;
}

int RunReplace(const Options& options, const char* argv0, cl::FileSystem& fs, std::ostream& err)
{
    // Everything that can be checked without the file is checked before it is opened, since
    // opening a language pack already writes its backup.
    std::vector<Replacement> replacements;
    for (std::size_t i = 1; i + 1 < options.positional.size(); i += 2) {
        const std::string& indexText = options.positional[i];
        const std::string& utf8 = options.positional[i + 1];
        const std::optional<std::size_t> index = ParseIndex(indexText);
        if (!index)
            return UsageError(err, "INDEX 不是行号：" + indexText);
        if (utf8.empty())
            return UsageError(err, "第 " + indexText + " 行的替换文本为空");
        cl::ReplacementText checked = cl::Document::CheckReplacementText(utf8);
        // A character the ANSI code page lacks would be written as '?' without notice.
        if (!checked.outside.empty()) {
            err << "替换文本“" << utf8 << "”不是有效的 UTF-8，或含有 ANSI 代码页无法表示的字符，不能替换。\n";
            return kCliFileError;
        }
        if (checked.tooLong) {
            err << cltext::ReplacementTooLongText() << "\n";
            return kCliFileError;
        }
        replacements.push_back({*index, std::move(checked.ansi)});
    }

    Loaded loaded;
    if (auto status = Load(options, argv0, cl::OpenAccess::ReadWrite, fs, err, loaded))
        return *status;
    if (loaded.rangeError)
        return ReportRangeError(err);
    cl::Document& document = loaded.document;
    for (const Replacement& r : replacements) {
        if (r.index >= document.Rows().rows.size()) {
            return UsageError(err, "INDEX " + std::to_string(r.index) + " 超出范围：列表共有 " +
                                       std::to_string(document.Rows().rows.size()) + " 行");
        }
    }

    // Rows that are not plain string constants are refused before anything is written: one
    // refused row refuses the whole command.
    for (const Replacement& r : replacements) {
        const int row = static_cast<int>(r.index);
        switch (document.CheckReplacementRow(row)) {
            case cl::RowReplacement::Free: break;
            case cl::RowReplacement::Refused:
                err << "INDEX " << r.index << ": " << cltext::NotAConstantText() << "\n";
                return kCliFileError;
            case cl::RowReplacement::NeedsConfirmation:
                if (options.force)
                    break;
                const cl::classfile::Role role = *document.RoleOfRow(r.index);
                err << "INDEX " << r.index << " 是 " << cl::classfile::RoleWord(role) << "（" << cltext::RoleName(role)
                    << "）：" << cltext::RoleConsequence(role) << "如确要替换，请加上 --force。\n";
                return kCliFileError;
        }
    }
    for (const Replacement& r : replacements) {
        if (document.Replace(static_cast<int>(r.index), r.text) == cl::ReplaceOutcome::TooLong) {
            err << cltext::ReplacementTooLongText() << "\n";
            return kCliFileError;
        }
    }
    const cl::SaveBackup backup = options.noBackup ? cl::SaveBackup::Skip : cl::SaveBackup::Make;
    if (cl::Status saved = document.Save(backup, fs); !saved) {
        err << cltext::DescribeError(saved.error()) << "\n";
        if (saved.error().IsBackupFailure())
            err << kNoBackupHint;
        return kCliFileError;
    }
    return kCliDone;
}

int RunCommand(const Options& options, const char* argv0, cl::FileSystem& fs, std::ostream& out, std::ostream& err)
{
    switch (options.command) {
        case Command::List:
            if (options.positional.size() != 1)
                return UsageError(err, "list 需要一个 FILE");
            return RunList(options, argv0, fs, out, err);
        case Command::Export:
            if (options.positional.size() != 2)
                return UsageError(err, "export 需要 FILE 和 OUT");
            return RunExport(options, argv0, fs, err);
        case Command::Replace:
            if (options.positional.size() < 3 || options.positional.size() % 2 == 0) {
                return UsageError(err, "replace 需要 FILE 以及成对的 INDEX TEXT");
            }
            return RunReplace(options, argv0, fs, err);
    }
    return UsageError(err, "");
}

// A command over one class file or language pack: its rows as the window lists them.
int RunFileCommand(Command command, const clcli::ParsedLine& line, const char* argv0, cl::FileSystem& fs,
                   std::ostream& out, std::ostream& err)
{
    Options options;
    options.command = command;
    options.pack = line.Has("--pack");
    options.noBackup = line.Has("--no-backup");
    options.force = line.Has("--force");
    options.roles = line.Has("--roles");
    if (const std::string* filter = line.Value("--filter"))
        options.filterPath = *filter;
    options.positional = line.operands;
    try {
        return RunCommand(options, argv0, fs, out, err);
    } catch (const cl::OutOfMemory&) {
        // Files are only ever replaced whole, so running out of memory loses nothing on disk.
        err << cltext::OutOfMemoryText() << "\n";
        return kCliFileError;
    } catch (const std::bad_alloc&) {
        err << cltext::OutOfMemoryText() << "\n";
        return kCliFileError;
    } catch (const std::length_error&) {
        err << cltext::OutOfMemoryText() << "\n";
        return kCliFileError;
    }
}

// A whole-program command.
int RunProgram(int (*run)(const clcli::ParsedLine&, std::ostream&, std::ostream&, cl::FileSystem&),
               const clcli::ParsedLine& line, std::ostream& out, std::ostream& err, cl::FileSystem& fs)
{
    // Running out of memory ends the command with a sentence and status 1, never an abort: a
    // huge reserve gives std::length_error rather than std::bad_alloc.
    try {
        return run(line, out, err, fs);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    out.flush();
    err << cltext::ProgramOutOfMemoryText() << "\n";
    return kCliFileError;
}

// replace FILE INDEX TEXT [INDEX TEXT ...]: every TEXT is taken as it is, "--force" too.
bool IsReplacementText(std::size_t position)
{
    return position >= 2 && position % 2 == 0;
}

constexpr std::string_view kFilterMissing = "--filter 后面缺少 PATH";
constexpr std::string_view kLanguageMissing = "--language 后面缺少语言代码";
constexpr std::string_view kBundlesMissing = "--bundles 后面缺少 variant 或 base";

// The two kinds of command, which differ in their usage text and in how they end.
enum class Family { File, Program };

struct CommandEntry {
    clcli::CommandSyntax syntax;
    Family family;
    Command fileCommand;  // Family::File
    int (*program)(const clcli::ParsedLine&, std::ostream&, std::ostream&, cl::FileSystem&);  // Family::Program
};

// Every command of classlingo-cli, with the options it takes.
const std::vector<CommandEntry>& Commands()
{
    using clcli::Switch;
    using clcli::Valued;
    static const std::vector<CommandEntry> commands = {
        {{"list", {Switch("--pack"), Switch("--roles"), Valued("--filter", kFilterMissing)}, nullptr},
         Family::File, Command::List, nullptr},
        {{"export", {Switch("--pack"), Valued("--filter", kFilterMissing)}, nullptr}, Family::File, Command::Export,
         nullptr},
        {{"replace", {Switch("--pack"), Switch("--no-backup"), Switch("--force"), Valued("--filter", kFilterMissing)},
          IsReplacementText},
         Family::File, Command::Replace, nullptr},
        {{"extract", {Switch("--annotations"), Switch("--all"), Valued("--language", kLanguageMissing, false)}, nullptr},
         Family::Program, Command::List, RunExtractCommand},
        {{"apply", {Switch("--annotations"), Switch("--in-place"), Valued("--bundles", kBundlesMissing, false)}, nullptr},
         Family::Program, Command::List, RunApplyCommand},
        {{"strings", {Switch("--all")}, nullptr}, Family::Program, Command::List, RunStringsCommand},
    };
    return commands;
}

}  // namespace

int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err)
{
    return RunCli(argc, argv, out, err, cl::NativeFileSystem());
}

int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err, cl::FileSystem& fs)
{
    const char* argv0 = argc > 0 ? argv[0] : nullptr;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    if (args.empty())
        return UsageError(err, "");
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        out << kUsage << "\n" << kProgramUsage;
        return kCliDone;
    }
    const auto& commands = Commands();
    const auto entry = std::find_if(commands.begin(), commands.end(),
                                    [&](const CommandEntry& command) { return command.syntax.name == args[0]; });
    if (entry == commands.end())
        return UsageError(err, "未知的命令：" + args[0]);
    const bool program = entry->family == Family::Program;

    const clcli::ParsedLine line = clcli::ParseArguments(entry->syntax, {args.begin() + 1, args.end()});
    switch (line.outcome) {
        case clcli::ParsedLine::Outcome::Parsed: break;
        case clcli::ParsedLine::Outcome::Help:
            if (program)
                out << "用法：\n" << kProgramUsage;
            else
                out << kUsage << "\n" << kProgramUsage;
            return kCliDone;
        case clcli::ParsedLine::Outcome::UnknownOption:
            return program ? ProgramUsageError(err, "未知的选项：" + line.problem)
                           : UsageError(err, "未知的选项：" + line.problem);
        case clcli::ParsedLine::Outcome::MissingValue:
            return program ? ProgramUsageError(err, line.problem) : UsageError(err, line.problem);
    }
    if (program)
        return RunProgram(entry->program, line, out, err, fs);
    return RunFileCommand(entry->fileCommand, line, argv0, fs, out, err);
}
