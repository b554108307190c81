#pragma once
// The translation window's run pane: a dock with what the translated program writes, as it
// writes it (standard error in red), and the window's own sentences about the run between the
// program's lines.

#include <QDockWidget>
#include <QStringDecoder>

class QAction;
class QPlainTextEdit;

class RunPane : public QDockWidget {
    Q_OBJECT
public:
    // The pane's tool bar holds `run` and `stop`.
    RunPane(QAction* run, QAction* stop, QWidget* parent = nullptr);

    // A new run: the text of the last one goes, and the pane shows.
    void Begin();
    // Bytes the program wrote, decoded as UTF-8 (a character split between two pieces is kept
    // whole).
    void AddOutput(const QByteArray& bytes, bool error);
    // A sentence of the window's own, on a line of its own; shows the pane.
    void AddMessage(const QString& text);
    // Everything the pane shows, as plain text.
    QString Text() const;

    QPlainTextEdit* output = nullptr;

private:
    void Append(const QString& text, const QColor& colour, bool bold);

    QStringDecoder outDecoder_{QStringDecoder::Utf8};
    QStringDecoder errorDecoder_{QStringDecoder::Utf8};
};
