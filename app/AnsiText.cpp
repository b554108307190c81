#include "AnsiText.h"

#include "text/CodePage.h"

QString FromAnsiWhole(const cl::ByteString& ansi)
{
    const std::u16string units = cl::AnsiToUtf16(ansi);
    return QString::fromUtf16(units.data(), static_cast<qsizetype>(units.size()));
}

QString FromAnsi(const cl::ByteString& ansi)
{
    QString text = FromAnsiWhole(ansi);
    const qsizetype zero = text.indexOf(QChar(u'\0'));
    if (zero >= 0)
        text.truncate(zero);
    return text;
}

cl::ByteString ToAnsi(const QString& text)
{
    return cl::Utf16ToAnsi(
        std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<size_t>(text.size())));
}
