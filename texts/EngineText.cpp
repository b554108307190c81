#include "EngineText.h"

namespace cltext {

const char* RangeErrorText()
{
    return "Range check error";
}

const char* OutOfMemoryText()
{
    return "Out of memory";
}

std::string WordListUnreadableText(const cl::Error& error)
{
    return "Cannot open file " + error.path;
}

const char* ReplacementTooLongText()
{
    return "替换的字符UTF-8字节长度超过255个字符，不能替换，请减小字符长度。";
}

std::string OutsideCodePageText(const std::vector<std::string>& characters)
{
    std::string text = "以下字符无法用 ANSI 代码页（GBK）保存：";
    for (std::size_t i = 0; i < characters.size(); ++i)
        text += (i ? " " : "") + characters[i];
    return text;
}

}  // namespace cltext
