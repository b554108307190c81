#include "FileErrorText.h"

namespace cltext {

namespace {

using What = cl::FileError::What;
using Step = cl::FileError::Step;
using Task = cl::FileError::Task;

std::string Quoted(const std::string& path)
{
    return "“" + path + "”";
}

std::string Because(const std::error_code& reason)
{
    return reason ? "（" + reason.message() + "）" : std::string();
}

std::string StepText(const cl::FileError& e)
{
    switch (e.step) {
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

// "Could not <task> <file>: " and what a failure before the rename left alone.
std::string TaskPrefix(const cl::FileError& e)
{
    switch (e.task) {
        case Task::Save: return "无法保存文件" + Quoted(e.path) + "：";
        case Task::Backup: return "无法把文件" + Quoted(e.path) + "备份到" + Quoted(e.path + ".bak") + "：";
        case Task::Export: return "无法导出到文件" + Quoted(e.path) + "：";
    }
    return {};
}

std::string KeptNote(Task task)
{
    switch (task) {
        case Task::Save: return "原文件保持不变。";
        case Task::Backup: return "原有的备份文件保持不变。";
        case Task::Export: return "已有的同名文件保持不变。";
    }
    return {};
}

}  // namespace

std::string DescribeFileError(const cl::FileError& e)
{
    switch (e.what) {
        case What::CannotOpen:
            if (e.step == Step::SizeSource)
                return "无法取得文件" + Quoted(e.path) + "的大小" + Because(e.reason) + "。";
            return "无法打开文件" + Quoted(e.path) + Because(e.reason) + "。";
        case What::TooLarge:
            return "文件" + Quoted(e.path) + "有 " + std::to_string(e.expected) + " 字节，达到或超过 2 GiB，无法打开。";
        case What::CannotGetSize: return "无法取得文件" + Quoted(e.path) + "的大小" + Because(e.reason) + "。";
        case What::ReadFailed: return "读取文件" + Quoted(e.path) + "时出错" + Because(e.reason) + "。";
        case What::ShortRead:
            return "读取文件" + Quoted(e.path) + "时只读到 " + std::to_string(e.done) + " 字节，文件应有 " +
                   std::to_string(e.expected) + " 字节。";
        case What::AlreadyRead: return "文件" + Quoted(e.path) + "已经读过并关闭。";
        case What::NotReplaced: {
            std::string text = TaskPrefix(e) + StepText(e) + Because(e.reason) + "。" + KeptNote(e.task);
            if (e.saveStopped)
                text += "文件" + Quoted(e.path) + "因此没有保存，保持不变。";
            return text;
        }
        case What::FolderNotFlushed: {
            std::string text = TaskPrefix(e) + "新内容已写入，但无法把文件夹" + Quoted(e.other) + "的更改写入磁盘" +
                               Because(e.reason) + "，断电后可能丢失。";
            if (e.saveStopped)
                text += "文件" + Quoted(e.path) + "因此没有保存，保持不变。";
            return text;
        }
        case What::ClassNoLongerParses:
            return "不能保存文件" + Quoted(e.path) + "：替换后的类文件无法再被解析（在第 " + std::to_string(e.done) +
                   " 字节处：" + e.other + "），保存会损坏它。文件没有保存，保持不变。";
        case What::ExportOverOpened:
            return "不能导出到" + Quoted(e.path) +
                   "：它就是正在翻译的文件或其备份，导出会覆盖它。请选择其他文件名。";
    }
    return {};
}

}  // namespace cltext
