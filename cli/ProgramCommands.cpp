// extract, apply and strings: a few calls to the program session each. The engine hands back
// values (counts, problems, errors with their paths and reasons); texts/ words them.

#include "ProgramCommands.h"

#include "CommandLine.h"

#include "CatalogueNotes.h"
#include "ErrorText.h"
#include "Escape.h"
#include "ProgramText.h"
#include "catalogue/ProgramSession.h"
#include "files/SameFile.h"

#include <unistd.h>

#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

// The default language named is the engine's own constant, so the help cannot drift from it.
const std::string kProgramUsage = std::string(
    "  classlingo-cli extract [--annotations] [--all] [--language LL] INPUT OUT.po\n"
    "  classlingo-cli apply [--annotations] [--bundles variant|base] INPUT IN.po OUTPUT\n"
    "  classlingo-cli apply --in-place [--annotations] [--bundles variant|base] INPUT IN.po\n"
    "  classlingo-cli strings [--all] INPUT\n"
    "\n"
    "  INPUT 可以是 jar/zip（按内容识别）、文件夹（其下所有 .class、.jar 和 .properties）或单个 .class；\n"
    "            OUTPUT 与之同类\n"
    "  extract   把所有可翻译的文本（类中的字符串和资源包 .properties 的文本）写成 PO 目录 OUT.po\n"
    "            （UTF-8，语言默认 ") + cl::catalogue::kDefaultLanguage + "；程序自带该语言的资源包时，其译文作为起点）；\n"
    "            默认只提供程序显示给人看的文本（界面、消息、格式、日志）；--all 也列出程序读取的\n"
    "            文本（键、名称、模式、数据），并在注释中说明其用途\n"
    "  apply     把 IN.po 中已翻译（非模糊）的条目写回程序，生成 OUTPUT；--in-place 直接替换 INPUT 中\n"
    "            改动的文件，原文件保留在 INPUT.bak 中（已有的 .bak 保持不变）\n"
    "  strings   每个 Utf8 常量一行：条目<TAB>索引<TAB>角色<TAB>用途<TAB>文本（默认只列文字、拼接模板和键；\n"
    "            --all 列出全部）；资源包的每个值一行：文件<TAB>键<TAB>bundle<TAB>-<TAB>文本\n"
    "            用途：ui message format log key name pattern data unknown，不是字符串常量的为 -\n"
    "  --annotations  同时处理注解中的字符串值\n"
    "  --bundles variant  （默认）资源包的译文写入以目录语言运行时 Java 读到的语言文件：程序自带的\n"
    "            （如目录为 zh_CN、程序只有 Messages_zh.properties 时写入它），没有时新建\n"
    "            Messages_zh_CN.properties\n"
    "  --bundles base     译文直接写入每个资源包的源文件（如 Messages.properties），不新建语言文件；\n"
    "            用于按自己的设置而不是按运行语言选择语言的程序\n"
    "  退出状态：0 完成；1 无法读取输入、无法写入输出、目录有误或译文无法写回；2 用法错误；\n"
    "            3 完成，但有条目、类或资源包无法读取（原样复制）\n";

namespace {

namespace cat = cl::catalogue;
namespace usage = cl::usage;

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsageError = 2;
constexpr int kPartly = 3;

constexpr const char* kInPlaceHint = "要直接替换输入，请使用 --in-place。\n";

int Usage(std::ostream& err, const std::string& why)
{
    if (!why.empty())
        err << why << "\n";
    err << "用法：\n" << kProgramUsage;
    return kUsageError;
}

int Fail(std::ostream& err, const cl::Error& error)
{
    err << cltext::DescribeError(error) << "\n";
    return kFailed;
}

// Progress on stderr, only for a person watching a terminal and only once the work has taken
// more than a second.
class Progress {
public:
    explicit Progress(std::ostream& err) : err_(err), tty_(::isatty(2) != 0), start_(Clock::now()) {}
    void Step(const std::string& what)
    {
        if (!tty_ || Clock::now() - start_ < std::chrono::seconds(1))
            return;
        err_ << "\r\x1b[K" << what << "…" << std::flush;
        shown_ = true;
    }
    // The session's stages, told as they begin.
    cat::Progress Stages()
    {
        cat::Progress progress;
        progress.stage = [this](cat::WorkStage stage) { Step(cltext::StageText(stage)); };
        return progress;
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
bool ReportUnreadable(std::ostream& err, const std::vector<cat::UnreadablePart>& unreadable,
                      const std::vector<std::string>& unparsable, const std::vector<cl::Error>& bundles = {})
{
    for (const cat::UnreadablePart& part : unreadable)
        err << cltext::UnreadablePartText(part) << "\n";
    for (const std::string& entry : unparsable)
        err << cltext::UnparsableClassText(entry) << "\n";
    for (const cl::Error& bundle : bundles)
        err << cltext::DescribeError(bundle) << "\n";
    return !unreadable.empty() || !unparsable.empty() || !bundles.empty();
}

int RunExtract(bool annotations, bool all, const std::string& language, const std::string& input,
               const std::string& poPath, cl::FileSystem& fs, std::ostream& err)
{
    if (cl::IsSameFile(input, poPath, fs)) {
        cl::Error error(cl::ErrorKind::OutputIsInput, poPath);
        return Fail(err, error);
    }
    Progress progress(err);
    cat::ProgramSession session(fs);
    cat::OpenOptions options;
    options.annotations = annotations;
    options.language = language;
    if (cl::Status opened = session.Open(input, options, progress.Stages()); !opened)
        return Fail(err, opened.error());
    progress.Step(cltext::CatalogueWritingText());
    if (cl::Status saved = session.SaveCatalogue(poPath, {"", "classlingo-cli"}, annotations, cltext::Notes(), all);
        !saved)
        return Fail(err, saved.error());
    std::size_t entries = 0;
    std::size_t places = 0;
    for (const cat::SessionEntry& entry : session.Entries()) {
        if (!entry.offered && !all)
            continue;
        ++entries;
        places += entry.places.size();
    }
    const cat::ProgramFacts& facts = session.Facts();
    const bool partly = ReportUnreadable(err, facts.unreadable, facts.unparsable, facts.unreadableBundles);
    err << cltext::ExtractSummaryText(facts, entries, places) << "\n";
    return partly ? kPartly : kDone;
}

int RunApply(bool annotations, bool inPlace, cat::BundleTarget bundles, const std::string& input,
             const std::string& poPath, const std::string& output, cl::FileSystem& fs, std::ostream& err)
{
    Progress progress(err);
    progress.Step(cltext::CatalogueReadingText());
    cl::Result<cat::PoCatalogue> catalogue = cat::ReadPoFile(poPath, fs);
    if (!catalogue)
        return Fail(err, catalogue.error());
    cat::ProgramSession session(fs);
    cat::OpenOptions options;
    options.annotations = annotations;
    options.keepProgram = true;
    if (!catalogue->language.empty())
        options.language = catalogue->language;
    if (cl::Status opened = session.Open(input, options, progress.Stages()); !opened)
        return Fail(err, opened.error());
    // The translations go on from this catalogue, which is an input the output must not be.
    const cat::ImportSummary imported = session.ImportMessages(*catalogue, cat::ImportMode::Continue, poPath);

    cat::GenerateRequest request;
    request.output = output;
    request.inPlace = inPlace;
    request.annotations = annotations;
    request.bundles = bundles;
    cl::Result<cat::PreparedGenerate> prepared = session.PrepareGenerate(request, progress.Stages());
    if (!prepared) {
        Fail(err, prepared.error());
        if (prepared.error().kind == cl::ErrorKind::OutputIsInput && !inPlace && cl::IsSameFile(output, input, fs))
            err << kInPlaceHint;
        return kFailed;
    }
    if (prepared->HasProblems()) {
        for (const cat::ApplyProblem& problem : prepared->Problems())
            err << cltext::ApplyProblemText(problem) << "\n";
        err << cltext::NothingWrittenText() << "\n";
        return kFailed;
    }
    if (imported.plural > 0)
        err << "警告：" << cltext::PluralSkippedText(imported.plural) << "\n";
    cl::Result<cat::GenerateReport> report = prepared->Commit();
    if (!report)
        return Fail(err, report.error());
    if (!report->output.droppedSignatures.empty())
        err << "警告：" << cltext::DroppedSignaturesText(report->output.droppedSignatures) << "\n";
    for (const std::string& nested : report->nestedJars)
        err << cltext::NestedJarText(nested) << "\n";
    bool partly = ReportUnreadable(err, report->unreadable, report->unparsable, session.Facts().unreadableBundles);
    for (const cl::Error& refused : report->output.refused) {
        err << cltext::DescribeError(refused) << "\n";
        partly = true;
    }
    if (inPlace) {
        if (!report->output.written) {
            err << cltext::NothingChangedText() << "\n";
        } else {
            for (const std::string& line : {cltext::BackupText(report->output), cltext::InPlaceText(report->output)}) {
                if (!line.empty())
                    err << line << "\n";
            }
        }
    }
    err << cltext::ApplySummaryText(imported, *report) << "\n";
    return partly ? kPartly : kDone;
}

int RunStrings(bool all, const std::string& input, cl::FileSystem& fs, std::ostream& out, std::ostream& err)
{
    Progress progress(err);
    const cat::ProgramSession session(fs);
    cl::Result<cat::StringListing> listing = session.ListStrings(input, all, progress.Stages());
    if (!listing)
        return Fail(err, listing.error());
    for (const cat::StringListing::ClassString& string : listing->classStrings) {
        const cat::ListedString& row = string.row;
        out << row.entry << '\t' << row.index << '\t' << row.role << '\t'
            << (string.use ? usage::UseWord(*string.use) : "-") << '\t' << cltext::Escaped(row.text) << '\n';
    }
    for (const cat::ListedString& row : listing->bundleStrings)
        out << row.entry << '\t' << cltext::Escaped(row.key) << '\t' << row.role << "\t-\t" << cltext::Escaped(row.text)
            << '\n';
    out.flush();
    return ReportUnreadable(err, listing->unreadable, listing->unparsable, listing->unreadableBundles) ? kPartly
                                                                                                     : kDone;
}

}  // namespace

int ProgramUsageError(std::ostream& err, const std::string& why)
{
    return Usage(err, why);
}

int RunExtractCommand(const clcli::ParsedLine& line, std::ostream&, std::ostream& err, cl::FileSystem& fs)
{
    if (line.operands.size() != 2)
        return Usage(err, "extract 需要 INPUT 和 OUT.po");
    const std::string* language = line.Value("--language");
    return RunExtract(line.Has("--annotations"), line.Has("--all"), language ? *language : cat::kDefaultLanguage,
                      line.operands[0], line.operands[1], fs, err);
}

int RunApplyCommand(const clcli::ParsedLine& line, std::ostream&, std::ostream& err, cl::FileSystem& fs)
{
    const bool inPlace = line.Has("--in-place");
    if (line.operands.size() != (inPlace ? 2u : 3u))
        return Usage(err, inPlace ? "apply --in-place 需要 INPUT 和 IN.po" : "apply 需要 INPUT、IN.po 和 OUTPUT");
    cat::BundleTarget bundles = cat::BundleTarget::Variant;
    if (const std::string* given = line.Value("--bundles")) {
        if (*given == "base")
            bundles = cat::BundleTarget::Base;
        else if (*given != "variant")
            return Usage(err, "--bundles 只能是 variant 或 base：" + *given);
    }
    return RunApply(line.Has("--annotations"), inPlace, bundles, line.operands[0], line.operands[1],
                    inPlace ? std::string() : line.operands[2], fs, err);
}

int RunStringsCommand(const clcli::ParsedLine& line, std::ostream& out, std::ostream& err, cl::FileSystem& fs)
{
    if (line.operands.size() != 1)
        return Usage(err, "strings 需要一个 INPUT");
    return RunStrings(line.Has("--all"), line.operands[0], fs, out, err);
}
