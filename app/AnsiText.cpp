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

QStringList CharactersOutsideAnsi(const QString& text)
{
    QStringList outside;
    if (FromAnsiWhole(ToAnsi(text)) == text)
        return outside;  // the common case, in one conversion
    // Whole code points, so that an emoji is named as itself and not as two halves.
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString character = text.mid(i, length);
        if (FromAnsiWhole(ToAnsi(character)) != character && !outside.contains(character))
            outside.append(character);
        i += length;
    }
    return outside;
}

QString OutsideAnsiText(const QStringList& characters)
{
    return QStringLiteral("以下字符无法用 ANSI 代码页（GBK）保存：") + characters.join(u' ');
}
