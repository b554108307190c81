// extract, apply and strings. The engine hands back values (counts, problems, errors with
// their paths and reasons); the sentences the translator reads are made here.

#include "ProgramCommands.h"

#include "text/ByteString.h"
#include "Escape.h"
#include "files/FileOps.h"
#include "files/FileSystem.h"
#include "catalogue/Po.h"
#include "catalogue/Program.h"
#include "catalogue/Translation.h"

#include <unistd.h>

#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

const char* const kProgramUsage =
    "  classlingo-cli extract [--annotations] [--language LL] INPUT OUT.po\n"
    "  classlingo-cli apply [--annotations] INPUT IN.po OUTPUT\n"
    "  classlingo-cli apply --in-place [--annotations] INPUT IN.po\n"
    "  classlingo-cli strings [--all] INPUT\n"
    "\n"
    "  INPUT 可以是 jar/zip（按内容识别）、文件夹（其下所有 .class）或单个 .class；OUTPUT 与之同类\n"
    "  extract   把所有可翻译的文本写成 PO 目录 OUT.po（UTF-8，语言默认 zh_CN）\n"
    "  apply     把 IN.po 中已翻译（非模糊）的条目写回程序，生成 OUTPUT；\n"
    "            --in-place 直接替换 INPUT，并保留 INPUT.bak\n"
    "  strings   每个 Utf8 常量一行：条目<TAB>索引<TAB>角色<TAB>文本（默认只列文字、拼接模板和键；\n"
    "            --all 列出全部）\n"
    "  --annotations  同时处理注解中的字符串值\n"
    "  退出状态：0 完成；1 无法读取输入、无法写入输出、目录有误或译文无法写回；2 用法错误；\n"
    "            3 完成，但有条目或类无法读取（原样复制）\n";

namespace {

namespace cat = cl::catalogue;

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsageError = 2;
constexpr int kPartly = 3;

std::string Quoted(const std::string& path)
{
    return "“" + path + "”";
}

int Usage(std::ostream& err, const std::string& why)
{
    if (!why.empty())
        err << why << "\n";
    err << "用法：\n" << kProgramUsage;
    return kUsageError;
}

std::string FileReason(const cl::FileError& error)
{
    std::string text = Quoted(error.path.empty() ? std::string("?") : error.path);
    if (error.kind == cl::FileError::Kind::TooLarge)
        return text + "（文件达到或超过 2 GiB）";
    if (error.reason)
        text += "（" + error.reason.message() + "）";
    return text;
}

// The file a read or write of a program failed on, with the system's reason: the engine's file
// error when there is one, else the program's path and code.
std::string FailedFile(const cat::ProgramError& e)
{
    if (!e.file.path.empty())
        return FileReason(e.file);
    return Quoted(e.path) + (e.code ? "（" + e.code.message() + "）" : "");
}

void ReportProgramError(std::ostream& err, const cat::ProgramError& e)
{
    using Kind = cat::ProgramError::Kind;
    switch (e.kind) {
        case Kind::CannotRead:
            err << "无法读取" << FailedFile(e) << "。\n";
            break;
        case Kind::NotAProgram:
            err << Quoted(e.path) << "既不是 jar/zip，也不是 class 文件或文件夹。\n";
            break;
        case Kind::BadArchive: err << "无法读取压缩包" << Quoted(e.path) << "（" << e.reason << "）。\n"; break;
        case Kind::CannotList:
            err << "无法列出文件夹" << Quoted(e.path) << "的内容（" << e.code.message() << "）。\n";
            break;
        case Kind::OutputIsInput:
            err << "输出" << Quoted(e.path) << "就是输入本身；要直接替换输入，请使用 --in-place。\n";
            break;
        case Kind::OutputNotEmpty: err << "输出文件夹" << Quoted(e.path) << "已存在且不为空。\n"; break;
        case Kind::OutputWrongKind: err << "输出" << Quoted(e.path) << "已存在，且与输入不是同一类（文件/文件夹）。\n"; break;
        case Kind::CannotWrite:
            err << "无法写入" << FailedFile(e) << "。输入和已有的输出保持不变。\n";
            break;
        case Kind::CannotMakeFolder:
            err << "无法建立文件夹" << Quoted(e.path) << "（" << e.code.message() << "）。输入和已有的输出保持不变。\n";
            break;
        case Kind::ArchiveWrite:
            err << "无法生成压缩包" << Quoted(e.path) << "（" << e.reason << "）。输入和已有的输出保持不变。\n";
            break;
    }
}

// Progress on stderr, only for a person watching a terminal and only once the work has taken
// more than a second.
class Progress {
public:
    explicit Progress(std::ostream& err) : err_(err), tty_(::isatty(2) != 0), start_(Clock::now()) {}
    void Step(const char* what)
    {
        if (!tty_ || Clock::now() - start_ < std::chrono::seconds(1))
            return;
        err_ << "\r\x1b[K" << what << "…" << std::flush;
        shown_ = true;
    }
    ~Progress()
    {
        if (shown_)
            err_ << "\r\x1b[K" << std::flush;
    }

private:
    using Clock = std::chrono::steady_clock;
    std::ostream& err_;
    bool tty_;
    Clock::time_point start_;
    bool shown_ = false;
};

// Parts of the input that could not be read or parsed; true when there were any.
bool ReportUnreadable(std::ostream& err, const cat::Program& program, const cat::Extraction& extraction)
{
    for (const cat::UnreadablePart& part : program.unreadable)
        err << "无法读取" << Quoted(part.entry) << "（" << part.reason << "），原样复制。\n";
    for (const std::string& entry : extraction.unparsable)
        err << "无法解析类" << Quoted(entry) << "，原样复制。\n";
    return !program.unreadable.empty() || !extraction.unparsable.empty();
}

std::optional<int> Load(const std::string& input, bool annotations, cl::FileSystem& fs, std::ostream& err,
                        Progress& progress, cat::Program& program, cat::Extraction& extraction)
{
    progress.Step("正在读取输入");
    if (auto error = cat::LoadProgram(input, program, fs)) {
        ReportProgramError(err, *error);
        return kFailed;
    }
    progress.Step("正在分析类文件");
    extraction = cat::Extract(program, cat::ExtractOptions{annotations});
    return std::nullopt;
}

bool SameFile(const std::string& a, const std::string& b, cl::FileSystem& fs)
{
    cl::FileInfo x;
    cl::FileInfo y;
    if (fs.Stat(a, x) || fs.Stat(b, y) || !x.exists || !y.exists)
        return false;
    return (x.inode != 0 || x.device != 0) && x.device == y.device && x.inode == y.inode;
}

int RunExtract(bool annotations, const std::string& language, const std::string& input, const std::string& poPath,
               cl::FileSystem& fs, std::ostream& err)
{
    if (SameFile(input, poPath, fs)) {
        err << "输出" << Quoted(poPath) << "就是输入本身，不能覆盖。\n";
        return kFailed;
    }
    Progress progress(err);
    cat::Program program;
    cat::Extraction extraction;
    if (auto status = Load(input, annotations, fs, err, progress, program, extraction))
        return *status;
    const std::vector<cat::PoEntry> entries = cat::CatalogueEntries(program, extraction);
    progress.Step("正在写入目录");
    const std::string text = cat::WritePo({program.name, language, "classlingo-cli"}, entries);
    if (auto error = cl::WriteFileSafely(poPath, cl::ByteString(std::string_view(text)), fs)) {
        err << "无法写入" << FileReason(*error) << "。已有的文件保持不变。\n";
        return kFailed;
    }
    std::size_t places = 0;
    for (const cat::CatalogueEntry& entry : extraction.entries)
        places += entry.places.size();
    const bool partly = ReportUnreadable(err, program, extraction);
    err << "提供翻译的文本 " << entries.size() << " 条（" << places << " 处，" << program.classes.size()
        << " 个类）；无法放入目录的文本 " << extraction.notOfferable << " 条；嵌套的 jar " << program.nestedJars.size()
        << " 个（未处理）；无法解析的类 " << extraction.unparsable.size() << " 个。\n";
    return partly ? kPartly : kDone;
}

const char* ProblemText(cat::ApplyProblem::Kind kind)
{
    using Kind = cat::ApplyProblem::Kind;
    switch (kind) {
        case Kind::MissingSlot: return "译文缺少占位符";
        case Kind::ExtraSlot: return "译文有原文没有的或重复的占位符";
        case Kind::SlotOutOfOrder: return "译文的占位符顺序与原文不同（须为 {0}、{1}…依次出现）";
        case Kind::StrayBrace: return "译文中有单独的 { 或 }（文字中的花括号须写成 {{ 或 }}）";
        case Kind::ControlChar: return "译文含有控制字符 U+0001 或 U+0002";
        case Kind::BadText: return "译文不是有效的 UTF-8";
        case Kind::TextTooLong: return "译文超过 65535 字节";
        case Kind::PoolTooLarge: return "类的常量池将超过 65535 项";
        case Kind::NotReparsed: return "改写后的类无法再次解析";
    }
    return "";
}

int RunApply(bool annotations, bool inPlace, const std::string& input, const std::string& poPath,
             const std::string& output, cl::FileSystem& fs, std::ostream& err)
{
    Progress progress(err);
    progress.Step("正在读取目录");
    const cat::PoReadResult catalogue = cat::ReadPoFile(poPath, fs);
    if (!catalogue.ok) {
        const cat::PoReadError& e = catalogue.error;
        switch (e.kind) {
            case cat::PoReadError::Kind::CannotRead: err << "无法读取目录" << FileReason(e.file) << "。\n"; break;
            case cat::PoReadError::Kind::Syntax:
                err << "目录" << Quoted(e.path);
                if (e.line != 0)
                    err << "第 " << e.line << " 行";
                err << "有语法错误：" << e.reason << "\n";
                break;
            case cat::PoReadError::Kind::Charset:
                err << "目录" << Quoted(e.path) << "的文本无法按其声明的字符集 " << e.reason << " 转换。\n";
                break;
        }
        return kFailed;
    }
    cat::Program program;
    cat::Extraction extraction;
    if (auto status = Load(input, annotations, fs, err, progress, program, extraction))
        return *status;

    progress.Step("正在检查译文");
    cat::ApplyPlan plan = cat::PlanApply(program, extraction, catalogue.messages);
    if (!plan.problems.empty()) {
        for (const cat::ApplyProblem& p : plan.problems) {
            err << ProblemText(p.kind);
            if (!p.msgid.empty())
                err << "：msgid “" << clcli::Escaped(p.msgid) << "”";
            err << "（" << p.classEntry << ":" << p.index << "）\n";
        }
        err << "没有写入任何文件。\n";
        return kFailed;
    }
    if (plan.summary.plural > 0)
        err << "警告：跳过了 " << plan.summary.plural << " 个复数条目（程序中的字符串没有复数形式）。\n";

    progress.Step("正在写入输出");
    std::vector<std::string> dropped;
    if (auto error = cat::WriteProgram(program, plan.changed, output, inPlace, dropped, fs)) {
        ReportProgramError(err, *error);
        return kFailed;
    }
    if (!dropped.empty()) {
        err << "警告：类已改变，原签名不再有效，因此去掉了签名文件：";
        for (std::size_t i = 0; i < dropped.size(); ++i)
            err << (i ? "、" : "") << dropped[i];
        err << "。输出的 jar 不再带签名。\n";
    }
    for (const std::string& nested : program.nestedJars)
        err << "嵌套的 jar " << Quoted(nested) << "原样复制，未翻译。\n";
    const bool partly = ReportUnreadable(err, program, extraction);
    const cat::ApplySummary& s = plan.summary;
    err << "已写入译文 " << s.textsApplied << " 条，改动 " << s.placesChanged << " 处、" << s.classesChanged
        << " 个类；未翻译 " << s.untranslated << " 条，模糊 " << s.fuzzy << " 条，程序中没有的 " << s.notFound
        << " 条；无法放入目录的文本 " << extraction.notOfferable << " 条；去掉的签名文件 " << dropped.size()
        << " 个；跳过的嵌套 jar " << program.nestedJars.size() << " 个；无法解析的类 " << extraction.unparsable.size()
        << " 个（原样复制）。\n";
    return partly ? kPartly : kDone;
}

int RunStrings(bool all, const std::string& input, cl::FileSystem& fs, std::ostream& out, std::ostream& err)
{
    Progress progress(err);
    cat::Program program;
    cat::Extraction extraction;
    if (auto status = Load(input, false, fs, err, progress, program, extraction))
        return *status;
    for (const cat::StringRow& row : cat::ListStrings(program, extraction, all))
        out << row.entry << '\t' << row.index << '\t' << row.role << '\t' << clcli::Escaped(row.text) << '\n';
    out.flush();
    return ReportUnreadable(err, program, extraction) ? kPartly : kDone;
}

}  // namespace

bool IsProgramCommand(const std::string& command)
{
    return command == "extract" || command == "apply" || command == "strings";
}

int RunProgramCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, cl::FileSystem& fs)
{
    const std::string& command = args.at(0);
    bool annotations = false;
    bool inPlace = false;
    bool all = false;
    std::string language = "zh_CN";
    std::vector<std::string> positional;
    bool optionsEnded = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.rfind("--", 0) != 0) {
            positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help") {
            out << "用法：\n" << kProgramUsage;
            return kDone;
        } else if (arg == "--annotations" && command != "strings") {
            annotations = true;
        } else if (arg == "--language" && command == "extract") {
            if (i + 1 >= args.size() || args[i + 1].empty())
                return Usage(err, "--language 后面缺少语言代码");
            language = args[++i];
        } else if (arg == "--in-place" && command == "apply") {
            inPlace = true;
        } else if (arg == "--all" && command == "strings") {
            all = true;
        } else {
            return Usage(err, "未知的选项：" + arg);
        }
    }
    if (command == "extract") {
        if (positional.size() != 2)
            return Usage(err, "extract 需要 INPUT 和 OUT.po");
        return RunExtract(annotations, language, positional[0], positional[1], fs, err);
    }
    if (command == "apply") {
        if (positional.size() != (inPlace ? 2u : 3u))
            return Usage(err, inPlace ? "apply --in-place 需要 INPUT 和 IN.po" : "apply 需要 INPUT、IN.po 和 OUTPUT");
        return RunApply(annotations, inPlace, positional[0], positional[1], inPlace ? std::string() : positional[2],
                        fs, err);
    }
    if (positional.size() != 1)
        return Usage(err, "strings 需要一个 INPUT");
    return RunStrings(all, positional[0], fs, out, err);
}
