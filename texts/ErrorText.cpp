#include "ErrorText.h"

#include "bundle/GettextJavaBundle.h"
#include "bundle/OrderedLangFiles.h"
#include "classfile/ClassFile.h"
#include "text/ControlEscapes.h"
#include "zip/ZipFault.h"
#include "RunText.h"

namespace cltext {

namespace {

using Kind = cl::ErrorKind;
using Step = cl::ErrorStep;
using Task = cl::ErrorTask;

std::string Because(const cl::Error& e)
{
    const std::string reason = ReasonOf(e);
    return reason.empty() ? std::string() : "（" + reason + "）";
}

std::string StepText(const cl::Error& e)
{
    switch (e.step) {
        case Step::None: return {};
        case Step::ResolveLink: return "无法解析符号链接";
        case Step::Stat: return "无法读取文件属性";
        case Step::NotRegular: return Quoted(e.other) + "不是普通文件";
        case Step::CreateTemp: return "无法在文件夹" + Quoted(e.other) + "中创建临时文件";
        case Step::Permissions: return "无法设置临时文件的权限";
        case Step::WriteTemp: return "写入临时文件失败";
        case Step::OpenSource: return "无法读取原文件";
        case Step::StatSource: return "无法读取原文件的属性";
        case Step::SizeSource: return "无法取得原文件的大小";
        case Step::ReadSource: return "读取原文件失败";
        case Step::ShortSource:
            return "读取原文件时只读到 " + std::to_string(e.done) + " 字节，文件应有 " + std::to_string(e.expected) +
                   " 字节";
        case Step::FlushTemp: return "无法把临时文件写入磁盘";
        case Step::CloseTemp: return "关闭临时文件失败";
        case Step::Rename: return "无法用临时文件替换" + Quoted(e.other);
    }
    return {};
}

// "Could not <task> <file>: " for the failed replacement of a file.
std::string TaskPrefix(const cl::Error& e)
{
    switch (e.task) {
        case Task::Backup: return "无法把文件" + Quoted(e.path) + "备份到" + Quoted(e.path + ".bak") + "：";
        case Task::Export: return "无法导出到文件" + Quoted(e.path) + "：";
        case Task::Copy: return "无法复制文件" + Quoted(e.path) + "：";
        default: return "无法保存文件" + Quoted(e.path) + "：";
    }
}

// What a failure before the rename left alone.
std::string KeptNote(Task task)
{
    switch (task) {
        case Task::Backup: return "原有的备份文件保持不变。";
        case Task::Export: return "已有的同名文件保持不变。";
        case Task::Copy: return "原程序和已有的输出保持不变。";
        default: return "原文件保持不变。";
    }
}

// Reading a file: the sentences of the single-file tools, or the shorter ones of a whole
// program or catalogue, which name the file among many.
std::string ReadFailure(const cl::Error& e)
{
    if (e.task == Task::Program || e.task == Task::Catalogue) {
        std::string reason = e.kind == Kind::TooLarge ? "文件达到或超过 2 GiB" : ReasonOf(e);
        if (e.kind == Kind::ShortRead)
            reason = "只读到 " + std::to_string(e.done) + " 字节，文件应有 " + std::to_string(e.expected) + " 字节";
        return (e.task == Task::Catalogue ? "无法读取目录" : "无法读取") + Quoted(e.path.empty() ? "?" : e.path) +
               (reason.empty() ? std::string() : "（" + reason + "）") + "。";
    }
    switch (e.kind) {
        case Kind::CannotOpen:
            if (e.step == Step::SizeSource)
                return "无法取得文件" + Quoted(e.path) + "的大小" + Because(e) + "。";
            return "无法打开文件" + Quoted(e.path) + Because(e) + "。";
        case Kind::TooLarge:
            return "文件" + Quoted(e.path) + "有 " + std::to_string(e.expected) + " 字节，达到或超过 2 GiB，无法打开。";
        case Kind::CannotGetSize: return "无法取得文件" + Quoted(e.path) + "的大小" + Because(e) + "。";
        case Kind::ReadFailed: return "读取文件" + Quoted(e.path) + "时出错" + Because(e) + "。";
        case Kind::ShortRead:
            return "读取文件" + Quoted(e.path) + "时只读到 " + std::to_string(e.done) + " 字节，文件应有 " +
                   std::to_string(e.expected) + " 字节。";
        default: return {};
    }
}

// Why an archive or an entry of it cannot be read or written, in the user's words.
const char* ZipFaultText(cl::zip::ZipFault fault)
{
    using F = cl::zip::ZipFault;
    switch (fault) {
        case F::None: return nullptr;
        case F::NoEndRecord: return "找不到压缩包的结束记录，不是 zip 文件或已被截断";
        case F::SplitArchive: return "这是分卷压缩包，无法处理";
        case F::Zip64Shape: return "其中的 Zip64 记录无法识别";
        case F::CentralDirectoryOutsideFile: return "中央目录超出了文件范围，压缩包已损坏或被截断";
        case F::BadCentralRecord: return "中央目录的记录不完整或数目不符";
        case F::BadLocalHeader: return "条目的本地文件头不在中央目录所说的位置";
        case F::Truncated: return "条目的数据超出了文件，压缩包已被截断";
        case F::OverlappingEntries: return "两个条目的数据互相重叠";
        case F::UnsupportedMethod: return "压缩方法既不是存储也不是 deflate";
        case F::Encrypted: return "条目已加密";
        case F::BadData: return "压缩数据无法解压";
        case F::SizeMismatch: return "解压后的大小与记录不符";
        case F::CrcMismatch: return "内容的 CRC 与记录不符";
        case F::TooLarge: return "解压后过大";
        case F::BudgetSpent: return "压缩包解压后的内容合计过大";
        case F::NoSuchEntry: return "没有这个条目";
        case F::NameTooLong: return "条目名称超过 65535 字节";
        case F::NeedsZip64: return "改动后的大小、位置或条目数超出了这个压缩包的记录所能表示的范围（需要 Zip64）";
    }
    return nullptr;
}

// Why a class is no gettext bundle in msgfmt's layout, or why one cannot be written.
std::string GettextFaultText(const cl::Error& e)
{
    using F = cl::bundle::GettextFault;
    const std::string at = "（第 " + std::to_string(e.offset) + " 字节处）";
    switch (static_cast<F>(e.fault)) {
        case F::None: return {};
        case F::ClassUnreadable: return "类文件无法解析" + at;
        case F::NotAResourceBundle: return "它不是 java.util.ResourceBundle 的子类";
        case F::NoTable: return "没有 String[] 或 Object[] 类型的静态字段 table";
        case F::NoInitializer: return "静态初始化代码没有填写 table";
        case F::UnknownCode: return "静态初始化代码中有 msgfmt 不会生成的指令" + at;
        case F::BadTable: return "table 中有不成对的键和译文";
        case F::BadText: return "其中的字符串常量不是有效的改进 UTF-8";
        case F::BadPluralTable: return "复数形式的原文表（get_msgid_plural_table）缺失或与译文不符";
        case F::BadClassName: return "类名" + Quoted(e.entry) + "无效";
        case F::DuplicateKey: return "原文" + Quoted(e.entry) + "出现了不止一次";
        case F::BadForms: return "原文" + Quoted(e.entry) + "没有译文，或不是复数条目却有多个译文";
        case F::TextTooLong: return "条目" + Quoted(e.entry) + "的文本超过 65535 字节";
        case F::PoolFull: return "条目太多，常量池超过 65535 项";
        case F::CodeTooLarge: return "条目" + Quoted(e.entry) + "所在方法的代码超过 65535 字节";
        case F::BadPluralForms: return "文件头的复数公式" + Quoted(e.detail) + "无法转换";
    }
    return {};
}

// Why a language file in the order of its English file cannot be read beside it, or a
// translation cannot be written into it.
std::string LangFaultText(const cl::Error& e)
{
    using F = cl::bundle::LangFault;
    const std::string at = "（在第 " + std::to_string(e.offset) + " 字节处）";
    switch (static_cast<F>(e.fault)) {
        case F::None: return {};
        case F::EnglishCutShort: return "英文文件在一个长度或文本中间就结束了" + at;
        case F::LanguageCutShort: return "语言文件在一个长度或文本中间就结束了" + at;
        case F::LanguageEndsEarly: return "语言文件比英文文件少了条目" + at;
        case F::LanguageRunsOn: return "英文文件已经结束，语言文件还有内容" + at;
        case F::NoPluralMark: return "英文文件在这里开始复数部分，语言文件却没有" + at;
        case F::NoEnglishForms: return "有一条复数文本没有英文形式，却有译文" + at;
        case F::TextTooLong:
            return "译文有 " + std::to_string(e.expected) + " 字节，超过了长度字段所能表示的 " +
                   std::to_string(e.limit) + " 字节";
        case F::TextNotUtf8: return "译文不是有效的 UTF-8，JOSM 会把它读成替换字符";
        case F::TooManyForms:
            return "译文有 " + std::to_string(e.expected) + " 个复数形式，最多只能有 " + std::to_string(e.limit) + " 个";
        case F::FormsForSingular: return "单数文本只能有一个译文，却给了多个";
    }
    return {};
}

}  // namespace

std::string Quoted(const std::string& text)
{
    // A name from a program may hold line breaks and other control characters: shown raw they
    // would break the line or the terminal.
    return "“" + cl::WithControlsEscaped(text) + "”";
}

std::string ReasonOf(const cl::Error& e)
{
    if (e.kind == Kind::EntryTooLarge && e.fault == static_cast<uint16_t>(cl::zip::ZipFault::BudgetSpent))
        return "这个压缩包解压后的内容合计超过 " + std::to_string(e.limit >> 20) + " MiB";
    if (e.kind == Kind::EntryTooLarge)
        return "解压后超过 " + std::to_string(e.limit >> 20) + " MiB";
    const bool archive = e.kind == Kind::BadArchive || e.kind == Kind::EntryUnreadable || e.kind == Kind::ArchiveWrite ||
                         e.kind == Kind::NotAProgram;
    if (archive && e.fault != 0) {
        if (const char* text = ZipFaultText(static_cast<cl::zip::ZipFault>(e.fault)))
            return text;
    }
    if (!e.detail.empty())
        return e.detail;
    if (e.code)
        return e.code.message();
    return {};
}

bool SaysCannotOpen(const cl::Error& error)
{
    return error.kind == Kind::CannotOpen && error.task != Task::Program && error.task != Task::Catalogue &&
           error.task != Task::WordList;
}

const char* CannotOpenText()
{
    return "无法打开此文件!";
}

std::string DescribeError(const cl::Error& e)
{
    switch (e.kind) {
        case Kind::CannotOpen:
        case Kind::TooLarge:
        case Kind::CannotGetSize:
        case Kind::ReadFailed:
        case Kind::ShortRead: return ReadFailure(e);
        case Kind::AlreadyRead: return "文件" + Quoted(e.path) + "已经读过并关闭。";
        case Kind::NotReplaced: {
            std::string text = TaskPrefix(e) + StepText(e) + Because(e) + "。" + KeptNote(e.task);
            if (e.saveStopped)
                text += "文件" + Quoted(e.path) + "因此没有保存，保持不变。";
            return text;
        }
        case Kind::FolderNotFlushed: {
            std::string text = TaskPrefix(e) + "新内容已写入，但无法把文件夹" + Quoted(e.other) + "的更改写入磁盘" +
                               Because(e) + "，断电后可能丢失。";
            if (e.saveStopped)
                text += "文件" + Quoted(e.path) + "因此没有保存，保持不变。";
            return text;
        }
        case Kind::ClassNoLongerParses:
            return "不能保存文件" + Quoted(e.path) + "：替换后的类文件无法再被解析（在第 " + std::to_string(e.offset) +
                   " 字节处：" + cl::classfile::ReasonWord(static_cast<cl::classfile::ParseError>(e.fault)) +
                   "），保存会损坏它。文件没有保存，保持不变。";
        case Kind::ExportOverOpened:
            return "不能导出到" + Quoted(e.path) + "：它就是正在翻译的文件或其备份，导出会覆盖它。请选择其他文件名。";
        case Kind::RangeError: return "Range check error";
        case Kind::NotAProgram: return Quoted(e.path) + "既不是 jar/zip，也不是 class 文件或文件夹。";
        case Kind::BadArchive: return "无法读取压缩包" + Quoted(e.path) + Because(e) + "。";
        case Kind::CannotList: return "无法列出文件夹" + Quoted(e.path) + "的内容" + Because(e) + "。";
        case Kind::OutputIsInput: return "输出" + Quoted(e.path) + "就是输入本身，不能覆盖。";
        case Kind::OutputNotEmpty: return "输出文件夹" + Quoted(e.path) + "已存在且不为空。";
        case Kind::OutputInsideInput:
            return "输出" + Quoted(e.path) + "在输入的文件夹里面，下次读取时会被当成程序的一部分。请选择文件夹以外的位置。";
        case Kind::LandsOnLink:
            return Quoted(e.entry) + "会经由符号链接" + Quoted(e.path) + "写到程序以外的地方，没有写入它。";
        case Kind::InPlaceUndone:
            return "无法写入" + Quoted(e.path) + Because(e) + "。已把这次替换的文件全部恢复原样，" + Quoted(e.other) +
                   "没有改变。";
        case Kind::InPlaceHalfDone:
            return "写入失败后，无法恢复" + Quoted(e.path) + Because(e) + "：它原来的内容在" + Quoted(e.other) +
                   "。其他文件已恢复原样。";
        case Kind::OutputWrongKind: return "输出" + Quoted(e.path) + "已存在，且与输入不是同一类（文件/文件夹）。";
        case Kind::CannotWrite:
            return "无法写入" + Quoted(e.path.empty() ? "?" : e.path) + Because(e) +
                   (e.task == Task::Catalogue ? "。已有的文件保持不变。" : "。原程序和已有的输出保持不变。");
        case Kind::CannotMakeFolder:
            return "无法建立文件夹" + Quoted(e.path) + Because(e) + "。原程序和已有的输出保持不变。";
        case Kind::ArchiveWrite: return "无法生成压缩包" + Quoted(e.path) + Because(e) + "。原程序和已有的输出保持不变。";
        case Kind::EntryTooLarge:
        case Kind::EntryUnreadable: return "无法读取" + Quoted(e.entry) + Because(e) + "，原样复制。";
        case Kind::DuplicateEntry:
            return "压缩包" + Quoted(e.path) + "中有不止一个" + Quoted(e.entry) +
                   "：Java 只读取最后一个，翻译的也是它；前面的原样复制。";
        case Kind::UnsafeName: return Quoted(e.entry) + "的名称含有换行等控制字符，不放入目录，原样复制。";
        case Kind::CatalogueSyntax: {
            std::string text = "目录" + Quoted(e.path);
            if (e.line != 0)
                text += "第 " + std::to_string(e.line) + " 行";
            return text + "有语法错误：" + e.detail;
        }
        case Kind::CatalogueCharset:
            return "目录" + Quoted(e.path) + "的文本无法按其声明的字符集 " + e.detail + " 转换。";
        case Kind::BadEscape:
            return Quoted(e.path) + "第 " + std::to_string(e.line) + " 行有无效的 \\uXXXX 转义" +
                   (e.detail.empty() ? std::string() : "（" + e.detail + "）") + "，跳过了这个文件。";
        case Kind::BundleCutShort:
            return Quoted(e.path) + "的最后一个字符（第 " + std::to_string(e.line) +
                   " 行）不完整，Java 无法读取这个文件，跳过了它。";
        case Kind::NotAGettextBundle:
            return Quoted(e.entry.empty() ? e.path : e.entry) + "不是 msgfmt 生成的 gettext 资源类：" +
                   GettextFaultText(e) + "。";
        case Kind::GettextUnwritable:
            return "无法写出 gettext 资源类" + Quoted(e.path.empty() ? "?" : e.path) + "：" + GettextFaultText(e) +
                   "。原来的文件保持不变。";
        case Kind::LangFileUnreadable:
            return "无法把语言文件" + Quoted(e.path.empty() ? "?" : e.path) + "与英文文件" +
                   Quoted(e.other.empty() ? "?" : e.other) + "对照读取：" + LangFaultText(e) + "。";
        case Kind::LangTextUnwritable:
            return "无法把" + Quoted(e.detail) + "的译文写入语言文件：" + LangFaultText(e) + "。";
        case Kind::JavaNotFound: return NoJavaText(e.path);
        case Kind::Cancelled: return "已取消。";
    }
    return {};
}

}  // namespace cltext
