#include "UsageText.h"

#include <algorithm>

namespace cltext {

namespace {

using cl::usage::Use;

std::string Dotted(std::string name)
{
    std::replace(name.begin(), name.end(), '/', '.');
    return name;
}

// What changing a text of this use breaks.
const char* Consequence(Use use)
{
    switch (use) {
        case Use::Key: return "程序用它查找或比较，译文会使它找不到要找的内容";
        case Use::Name: return "它是类、成员、文件、网址、字符集或命令等的名称，译文会使程序找不到它";
        case Use::Pattern: return "它是正则表达式、日期或数字格式、SQL 等模式，译文会改变程序的结果";
        case Use::Data: return "它是程序自己解读的数据，译文会改变程序的行为";
        default: return "程序可能依赖它的原样";
    }
}

}  // namespace

std::string UseName(Use use)
{
    switch (use) {
        case Use::Ui: return "界面";
        case Use::Message: return "消息";
        case Use::Format: return "格式";
        case Use::Log: return "日志";
        case Use::Key: return "键";
        case Use::Name: return "名称";
        case Use::Pattern: return "模式";
        case Use::Data: return "数据";
        case Use::Unknown: return "未知";
    }
    return {};
}

std::string UseLine(Use use, const std::string& consumer)
{
    std::string line = "用途：" + UseName(use);
    if (!consumer.empty())
        line += "（" + consumer + "）";
    return line;
}

std::string TranslatedByText(const std::string& call)
{
    const std::size_t dot = call.rfind('.');
    return "经 " + (dot == std::string::npos ? call : call.substr(dot + 1)) + " 翻译";
}

std::string UsesLine(Use use, const std::string& consumer, const std::vector<cl::usage::UseFound>& uses)
{
    // A message id shown through its translation call names the call rather than the consumer
    // of the call's result. The call's own MessageFormat is no use of its own beside what the
    // result is shown as (the entry's java-format says it is a pattern): "界面（经 tr 翻译）".
    auto translated = [&](Use u) -> const cl::usage::UseFound* {
        for (const cl::usage::UseFound& found : uses) {
            if (found.use == u && !found.translatedBy.empty() && cl::usage::IsShown(u))
                return &found;
        }
        return nullptr;
    };
    const cl::usage::UseFound* lead = translated(use);
    bool formatFolded = false;
    if (lead != nullptr && use == Use::Format) {
        for (const Use shown : {Use::Ui, Use::Message, Use::Log}) {
            if (const cl::usage::UseFound* found = translated(shown)) {
                lead = found;
                formatFolded = true;
                break;
            }
        }
    }
    const Use first = lead != nullptr ? lead->use : use;
    std::string line = lead != nullptr ? UseLine(first, TranslatedByText(lead->translatedBy)) : UseLine(use, consumer);
    for (const cl::usage::UseFound& other : uses) {
        if (other.use == first || other.use == Use::Unknown || (formatFolded && other.use == Use::Format))
            continue;
        line += "；" + UseName(other.use);
        const cl::usage::UseFound* through = translated(other.use);
        const std::string named = through != nullptr ? TranslatedByText(through->translatedBy) : other.consumer;
        if (!named.empty())
            line += "（" + named + "）";
    }
    return line;
}

const char* WithheldText()
{
    return "不提供翻译：程序读取这段文字，改动它会使程序出错。使用它的地方：";
}

const char* KeptText()
{
    return "译文不写入以下地方：程序在那里读取这段文字（当作数据、名称、模式或键），改动它会使程序出错。";
}

std::string FindingText(const cl::usage::Finding& finding)
{
    std::string where = Dotted(finding.className);
    if (!finding.method.empty())
        where += "." + finding.method;
    return where + "：" + UseLine(finding.use, finding.consumer).substr(std::string("用途：").size());
}

std::string TranslateWithheldQuestion(Use use, const std::vector<cl::usage::Finding>& forbidding)
{
    std::string text = std::string("这段文字的用途是“") + UseName(use) + "”：" + Consequence(use) + "。";
    if (!forbidding.empty()) {
        text += "\n\n使用它的地方：";
        for (std::size_t i = 0; i < forbidding.size() && i < 5; ++i)
            text += "\n" + FindingText(forbidding[i]);
        if (forbidding.size() > 5)
            text += "\n……共 " + std::to_string(forbidding.size()) + " 处。";
    }
    return text + "\n\n仍然翻译吗？";
}

}  // namespace cltext
