#pragma once
// LineBreaks: a QPlainTextEdit keeps every line break as a bare line feed, so a text with CR LF
// or lone CR breaks would come back changed although the user changed nothing. This remembers
// the breaks of the text put into the box, in order, and puts them back into what the box
// hands out, as long as the user has not added or removed a break.

#include <QString>
#include <QStringList>

class LineBreaks {
public:
    LineBreaks() = default;
    // The breaks (CR LF, CR or LF) of `text`, in order.
    static LineBreaks Of(const QString& text);

    // `boxText` (breaks as LF) with the remembered breaks restored. When the box holds another
    // number of breaks than was remembered, each LF becomes the first remembered break (LF
    // when there was none).
    QString Restore(const QString& boxText) const;

private:
    QStringList breaks_;
};
