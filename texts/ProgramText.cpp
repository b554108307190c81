#include "ProgramText.h"

#include "ErrorText.h"
#include "Escape.h"

#include <iterator>

namespace cltext {

namespace cat = cl::catalogue;

std::string StageText(cat::WorkStage stage)
{
    switch (stage) {
        case cat::WorkStage::Reading: return "正在读取程序";
        case cat::WorkStage::Analysing: return "正在分析类文件";
        case cat::WorkStage::Checking: return "正在检查译文";
        case cat::WorkStage::Writing: return "正在写入";
    }
    return {};
}

const char* CatalogueReadingText()
{
    return "正在读取目录";
}

const char* CatalogueWritingText()
{
    return "正在写入目录";
}

std::string TranslationProblemText(cl::TranslationProblem problem)
{
    using P = cl::TranslationProblem;
    switch (problem) {
        case P::None: return {};
        case P::MissingSlot: return "译文缺少占位符（原文的每个 {n} 都须保留）";
        case P::ExtraSlot: return "译文有原文没有的或重复的占位符";
        case P::SlotOutOfOrder: return "译文的占位符顺序与原文不同（须为 {0}、{1}…依次出现）";
        case P::StrayBrace: return "译文中有单独的 { 或 }（文字中的花括号须写成 {{ 或 }}）";
        case P::ControlChar: return "译文含有控制字符 U+0001 或 U+0002";
        case P::BadText: return "译文不是有效的 UTF-8";
        case P::TooLong: return "译文写入类文件后超过 65535 字节";
        case P::FormatInvalid: return "译文不是原文那种格式所能接受的模式（检查 {n}、% 和单引号）";
        case P::FormatArgumentMissing: return "译文缺少原文格式中的参数（原文的每个 {n} 或 % 转换都须保留）";
        case P::FormatArgumentExtra: return "译文有原文格式中没有的参数";
        case P::FormatArgumentChanged: return "译文中某个参数的格式与原文不同（如 {0,number} 或 %d 变成了别的类型）";
        case P::PoolTooLarge: return "类的常量池将超过 65535 项";
        case P::NotReparsed: return "改写后的类无法再次解析";
        case P::CodeNotRelaid: return "无法为显示这段文本的方法单独改写代码";
    }
    return {};
}

std::string ApplyProblemText(const cat::ApplyProblem& p)
{
    std::string what = TranslationProblemText(p.kind);
    if (!p.msgid.empty())
        what += "：msgid “" + Escaped(p.msgid) + "”";
    return what + "（" + p.classEntry + ":" + (p.key.empty() ? std::to_string(p.index) : p.key) + "）";
}

const char* NothingWrittenText()
{
    return "没有写入任何文件。";
}

const char* ProgramOutOfMemoryText()
{
    return "内存不足，命令没有完成；没有留下写了一半的文件。";
}

std::string UnreadablePartText(const cat::UnreadablePart& part)
{
    if (part.error.kind == cl::ErrorKind::UnsafeName || part.error.kind == cl::ErrorKind::DuplicateEntry)
        return DescribeError(part.error);
    const std::string reason = ReasonOf(part.error);
    return "无法读取" + Quoted(part.entry) + (reason.empty() ? std::string() : "（" + reason + "）") + "，原样复制。";
}

std::string UnparsableClassText(const std::string& entry)
{
    return "无法解析类" + Quoted(entry) + "，原样复制。";
}

std::string NestedJarText(const std::string& entry)
{
    return "嵌套的 jar " + Quoted(entry) + "原样复制，未翻译。";
}

std::string DroppedSignaturesText(const std::vector<std::string>& names)
{
    std::string list;
    for (std::size_t i = 0; i < names.size(); ++i)
        list += (i ? "、" : "") + names[i];
    return "类已改变，原签名不再有效，因此去掉了签名文件：" + list + "。输出的 jar 不再带签名。";
}

std::string PluralSkippedText(std::size_t count)
{
    return "跳过了 " + std::to_string(count) + " 个复数条目（程序中的字符串没有复数形式）。";
}

std::string BundleSummaryText(const cat::ProgramFacts& facts)
{
    if (facts.bundleFamilies == 0 && facts.bundlesWithoutSource.empty() && facts.unreadableBundles.empty() &&
        facts.bundleTables.empty())
        return {};
    std::string text = "资源包 " + std::to_string(facts.bundleFamilies) + " 组（文本 " + std::to_string(facts.bundleTexts) +
                       " 条，其中 " + std::to_string(facts.filledFromProgram) + " 条用程序自带的译文填入；不翻译的值 " +
                       std::to_string(facts.bundleValuesNotOffered) + " 个；作为资源包键而不提供的类中文本 " +
                       std::to_string(facts.keysWithheld) + " 条）。";
    for (const std::string& name : facts.bundlesWithoutSource)
        text += "\n资源包" + Quoted(name) + "既没有基础文件也没有英文文件，没有提供翻译。";
    if (!facts.bundleTables.empty()) {
        std::string names;
        for (std::size_t i = 0; i < facts.bundleTables.size(); ++i)
            names += (i ? "、" : "") + Quoted(facts.bundleTables[i]);
        text += "\n程序按名字读取" + names + "，却几乎不按名字查其中的键：当作程序读取的数据表，没有提供翻译。";
    }
    return text;
}

std::string WithheldReasonsText(const cat::ProgramFacts& facts)
{
    // In the order a translator weighs them: what code reads first, then the bundle values
    // judged by their shape or their family, for which no code was seen.
    static constexpr struct {
        cat::WithheldReason reason;
        const char* name;
    } kReasons[] = {
        {cat::WithheldReason::Key, "键"},
        {cat::WithheldReason::Name, "名称"},
        {cat::WithheldReason::Pattern, "模式"},
        {cat::WithheldReason::Data, "数据"},
        {cat::WithheldReason::ValueShape, "按形状判断为数据"},
        {cat::WithheldReason::SettingsFamily, "设置类资源包"},
        {cat::WithheldReason::Other, "其他"},
    };
    static_assert(std::size(kReasons) == cat::kWithheldReasonCount);
    std::string text;
    for (const auto& [reason, name] : kReasons) {
        const std::size_t count = facts.withheldBy[static_cast<std::size_t>(reason)];
        if (count > 0)
            text += (text.empty() ? "" : "，") + std::string(name) + " " + std::to_string(count) + " 条";
    }
    return text;
}

std::string ExtractSummaryText(const cat::ProgramFacts& facts, std::size_t entries, std::size_t places)
{
    std::string text = "提供翻译的文本 " + std::to_string(entries) + " 条（" + std::to_string(places) + " 处，" +
                       std::to_string(facts.classCount) + " 个类）；无法放入目录的文本 " +
                       std::to_string(facts.notOfferable) + " 条；嵌套的 jar " + std::to_string(facts.nestedJars.size()) +
                       " 个（未处理）；无法解析的类 " + std::to_string(facts.unparsable.size()) + " 个。";
    if (!facts.translatedFrom.empty())
        text += "\n输入是就地翻译的结果：提供的是" + Quoted(facts.translatedFrom) + "中原程序的文本。";
    if (facts.withheld > 0)
        text += "\n程序读取而不提供翻译的文本 " + std::to_string(facts.withheld) + " 条（" + WithheldReasonsText(facts) +
                "；--all 会一并列出，并注明用途）。";
    if (const std::string bundles = BundleSummaryText(facts); !bundles.empty())
        text += "\n" + bundles;
    return text;
}

std::string BundleFileText(const cat::BundleFileWritten& file)
{
    std::string text = Quoted(file.family) + "：写入" + Quoted(file.path) +
                       (file.replaces ? "（程序原有的文件，保留其中其他内容）" : "（新文件）") + "，";
    switch (file.finds) {
        case cat::RunFinds::Exact: return text + "以目录的语言运行时读到它。";
        case cat::RunFinds::Fallback:
            return text + "以目录的语言运行时读到它（程序没有更具体的语言文件，查找时退到这一个）。";
        case cat::RunFinds::Base:
            return text + "以目录的语言运行时读到它（程序没有这种语言的文件，Java 查找时最后读基本文件）。";
        case cat::RunFinds::HiddenByVariant:
            return text + "以目录的语言运行时读不到其中 " + std::to_string(file.hidden) + " 条：程序自带的" +
                   Quoted(file.hiddenBy) + "先被读到，其中这些键仍是原来的值。";
        case cat::RunFinds::OtherLanguage:
            return text + "以目录的语言运行时读不到它：它是另一种语言的文件，只有程序自己选用这种语言时才读它。";
    }
    return text;
}

std::string BundleWrittenText(const cat::GenerateReport& report)
{
    if (report.variantsWritten.empty())
        return {};
    std::string text = "\n资源包译文 " + std::to_string(report.bundleTextsWritten) + " 条，写入 " +
                       std::to_string(report.variantsWritten.size()) + " 个文件：";
    for (const cat::BundleFileWritten& file : report.bundleFiles)
        text += "\n  " + BundleFileText(file);
    return text;
}

// Said only when it happened: a translation that some class's showing methods could not take.
static std::string NotSplitText(const cat::ApplySummary& s)
{
    if (s.notSplit == 0)
        return {};
    return "同一个类中既显示又读取、无法只在显示处改写的文本 " + std::to_string(s.notSplit) + " 处，保持原文。";
}

std::string ApplySummaryText(const cat::ImportSummary& imported, const cat::GenerateReport& report)
{
    const cat::ApplySummary& s = report.summary;
    return "已写入译文 " + std::to_string(s.textsApplied) + " 条，改动 " + std::to_string(s.placesChanged) + " 处、" +
           std::to_string(s.classesChanged) + " 个类；未翻译 " + std::to_string(imported.untranslated) + " 条，模糊 " +
           std::to_string(imported.fuzzy) + " 条，程序中没有的 " + std::to_string(imported.notFound + s.notFound) +
           " 条；无法放入目录的文本 " + std::to_string(report.notOfferable) + " 条；去掉的签名文件 " +
           std::to_string(report.output.droppedSignatures.size()) + " 个；跳过的嵌套 jar " +
           std::to_string(report.nestedJars.size()) + " 个；无法解析的类 " + std::to_string(report.unparsable.size()) +
           " 个（原样复制）。" + NotSplitText(s) + BundleWrittenText(report);
}

std::string BackupText(const cat::OutputReport& output)
{
    switch (output.backup) {
        case cat::BackupOutcome::None: return {};
        case cat::BackupOutcome::Made:
            if (output.backupsAdded > 0)
                return "改动的原文件保留在" + Quoted(output.backupPath) + "中。";
            return "原程序保留为" + Quoted(output.backupPath) + "。";
        case cat::BackupOutcome::Kept:
            if (output.backupsAdded > 0)
                return "备份" + Quoted(output.backupPath) + "已存在，其中原有的文件保持不变；首次改动的 " +
                       std::to_string(output.backupsAdded) + " 个原文件已放入其中。";
            return "备份" + Quoted(output.backupPath) + "已存在，保持不变（其中是更早的原程序）。";
        case cat::BackupOutcome::Numbered:
            if (output.backupsAdded > 0)
                return "已有的备份保持不变；首次改动的 " + std::to_string(output.backupsAdded) + " 个原文件放在" +
                       Quoted(output.backupPath) + "中。";
            return "已有的备份保持不变；这次的原程序保留为" + Quoted(output.backupPath) + "。";
    }
    return {};
}

std::string InPlaceText(const cat::OutputReport& output)
{
    std::string text;
    if (!output.translatedFrom.empty())
        text += "输入是上次就地翻译的结果：这次从" + Quoted(output.translatedFrom) + "中的原程序重新翻译。";
    if (output.restored > 0)
        text += (text.empty() ? "" : "\n") + std::string("这次不再改动的 ") + std::to_string(output.restored) +
                " 个文件已恢复为原文件。";
    if (output.removed > 0)
        text += (text.empty() ? "" : "\n") + std::string("删除了上次添加、这次不再需要的 ") +
                std::to_string(output.removed) + " 个文件。";
    return text;
}

const char* NothingChangedText()
{
    return "译文没有改变程序中的任何文本，没有写入任何文件。";
}

std::string GeneratedText(const std::string& output, const cat::GenerateReport& report)
{
    if (!report.output.written)
        return NothingChangedText();
    const cat::ApplySummary& s = report.summary;
    std::string text = "已生成" + Quoted(output) + "。\n已写入译文 " + std::to_string(s.textsApplied) + " 条，改动 " +
                       std::to_string(s.placesChanged) + " 处、" + std::to_string(s.classesChanged) + " 个类。" +
                       NotSplitText(s) + BundleWrittenText(report);
    for (const std::string& line : {BackupText(report.output), InPlaceText(report.output)}) {
        if (!line.empty())
            text += "\n" + line;
    }
    for (const cl::Error& refused : report.output.refused)
        text += "\n" + DescribeError(refused);
    return text;
}

std::string ImportSummaryText(const std::string& path, const cat::ImportSummary& summary)
{
    return "从" + Quoted(path) + "导入：\n已填入译文 " + std::to_string(summary.filled) + " 条；\n程序中没有的 " +
           std::to_string(summary.notFound) + " 条；\n模糊（需要检查）" + std::to_string(summary.fuzzyFilled) + " 条。";
}

}  // namespace cltext
