#include "RunText.h"

#include "ErrorText.h"

namespace cltext {

std::string NoJavaText(const std::string& javaHome)
{
    std::string text = "找不到 java，无法试运行：PATH 中的文件夹里没有 java";
    if (javaHome.empty())
        text += "，也没有设置 JAVA_HOME";
    else
        text += "，JAVA_HOME（" + Quoted(javaHome) + "）下也没有 bin/java";
    return text + "。请安装 Java 运行环境（例如 openjdk），或把 JAVA_HOME 设为它的安装文件夹。";
}

std::string NoMainClassText(const std::string& program)
{
    return "无法试运行" + Quoted(program) +
           "：它没有可以启动的类（jar 的清单中没有 Main-Class，也没有类含有 public static void main(String[]) 方法）。";
}

const char* ChooseMainClassText()
{
    return "程序中有多个类含有 main 方法。\n试运行时启动哪一个？（以后试运行这个程序时会记住这个选择）";
}

const char* ChooseMainClassCaption()
{
    return "选择启动的类";
}

const char* RunPreparingText()
{
    return "正在生成试运行的程序…";
}

std::string RunStartedText(const cl::run::RunCommand& command)
{
    return "试运行：" + cl::run::CommandLineText(command) + "\n工作文件夹：" + command.workingFolder;
}

std::string RunHomeText(const std::string& home)
{
    if (home.empty())
        return "主文件夹：你自己的主文件夹。程序在其中写的设置会留下，原程序也会读到。";
    return "主文件夹：" + Quoted(home) + "（临时，试运行结束后删除）。程序在其中写的设置不会影响原程序。";
}

std::string RunNotStartedText(const std::string& java, const std::string& reason)
{
    return "无法启动" + Quoted(java) + (reason.empty() ? std::string() : "（" + reason + "）") + "。";
}

const char* RunEndedText()
{
    return "程序已结束。";
}

std::string RunFailedAtOnceText(int exitCode)
{
    return "程序启动后随即出错退出（退出码 " + std::to_string(exitCode) + "），原因见上面的输出。";
}

std::string RunFailedText(int exitCode)
{
    return "程序出错退出（退出码 " + std::to_string(exitCode) + "）。";
}

const char* RunStoppedText()
{
    return "已停止试运行。";
}

const char* RunCrashedText()
{
    return "程序异常终止。";
}

}  // namespace cltext
