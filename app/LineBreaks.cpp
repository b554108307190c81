#include "LineBreaks.h"

LineBreaks LineBreaks::Of(const QString& text)
{
    LineBreaks result;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r') {
            const bool crlf = i + 1 < text.size() && text[i + 1] == u'\n';
            result.breaks_.append(crlf ? QStringLiteral("\r\n") : QStringLiteral("\r"));
            if (crlf)
                ++i;
        } else if (text[i] == u'\n') {
            result.breaks_.append(QStringLiteral("\n"));
        }
    }
    return result;
}

QString LineBreaks::Restore(const QString& boxText) const
{
    if (breaks_.isEmpty() || !boxText.contains(u'\n'))
        return boxText;
    const bool sameCount = boxText.count(u'\n') == breaks_.size();
    QString result;
    result.reserve(boxText.size() + breaks_.size());
    qsizetype next = 0;
    for (const QChar c : boxText) {
        if (c != u'\n') {
            result += c;
            continue;
        }
        result += sameCount ? breaks_[next++] : breaks_.front();
    }
    return result;
}
