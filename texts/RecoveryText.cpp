#include "RecoveryText.h"

#include "ErrorText.h"

namespace cltext {

std::string RestoreQuestion(const std::string& program, const std::string& savedAt, bool catalogue)
{
    return "上次翻译" + Quoted(program) + "时有没有保存的译文（自动保存于 " + savedAt + "）" +
           (catalogue ? "，比目录文件新" : "") + "。\n要恢复这些译文吗？恢复后请保存；选“否”将删除它们。";
}

const char* RestoreCaption()
{
    return "恢复未保存的译文？";
}

std::string RestoredText(int changed)
{
    return "已恢复上次没有保存的译文（" + std::to_string(changed) + " 条有改动），尚未保存。";
}

std::string AutosaveFailedText(const std::string& path, const std::string& reason)
{
    return "无法自动保存译文到" + Quoted(path) + (reason.empty() ? std::string() : "（" + reason + "）") +
           "。请手动保存。";
}

std::string SavedOnQuitText(const std::string& program, const std::string& recovery)
{
    return "classlingo：" + Quoted(program) + "没有保存的译文已存入" + Quoted(recovery) +
           "，下次打开这个程序时可以恢复。";
}

std::string NotSavedOnQuitText(const std::string& program, const std::string& reason)
{
    return "classlingo：" + Quoted(program) + "没有保存的译文无法存入恢复文件" +
           (reason.empty() ? std::string() : "（" + reason + "）") + "。";
}

const char* OutOfMemoryReason()
{
    return "内存不足";
}

std::string JobOutOfMemoryText(WindowJob job)
{
    const char* what = "";
    switch (job) {
        case WindowJob::Open: what = "打开程序"; break;
        case WindowJob::Generate: what = "生成程序"; break;
        case WindowJob::Run: what = "准备试运行"; break;
        case WindowJob::Import: what = "导入译文"; break;
    }
    return std::string("内存不足，") + what +
           "没有完成，也没有写入任何文件。窗口中的译文都还在；请先保存译文，关闭其他程序后再试。";
}

}  // namespace cltext
