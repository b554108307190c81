#include "RunPane.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

// A program that writes without end must not take the window's memory with it.
constexpr int kMostLines = 20000;

}  // namespace

RunPane::RunPane(QAction* run, QAction* stop, QWidget* parent) : QDockWidget(QStringLiteral("试运行"), parent)
{
    setObjectName(QStringLiteral("runPane"));
    setAllowedAreas(Qt::BottomDockWidgetArea | Qt::RightDockWidgetArea | Qt::LeftDockWidgetArea);
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(4, 0, 4, 4);
    layout->setSpacing(2);
    auto* tools = new QToolBar(body);
    tools->setObjectName(QStringLiteral("runTools"));
    tools->setToolButtonStyle(Qt::ToolButtonTextOnly);
    tools->addAction(run);
    tools->addAction(stop);
    layout->addWidget(tools);
    output = new QPlainTextEdit(body);
    output->setObjectName(QStringLiteral("runOutput"));
    output->setReadOnly(true);
    output->setMaximumBlockCount(kMostLines);
    output->setLineWrapMode(QPlainTextEdit::NoWrap);
    output->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    layout->addWidget(output, 1);
    setWidget(body);
}

void RunPane::Begin()
{
    output->clear();
    outDecoder_.resetState();
    errorDecoder_.resetState();
    show();
    raise();
}

void RunPane::AddOutput(const QByteArray& bytes, bool error)
{
    const QString text = error ? errorDecoder_.decode(bytes) : outDecoder_.decode(bytes);
    Append(text, error ? QColor(180, 0, 0) : palette().color(QPalette::Text), false);
}

void RunPane::AddMessage(const QString& text)
{
    QString line = text;
    // On a line of its own, whatever the program left unfinished.
    if (!output->document()->lastBlock().text().isEmpty())
        line.prepend(u'\n');
    Append(line + u'\n', QColor(0, 70, 160), true);
    show();
}

QString RunPane::Text() const
{
    return output->toPlainText();
}

void RunPane::Append(const QString& text, const QColor& colour, bool bold)
{
    if (text.isEmpty())
        return;
    QScrollBar* bar = output->verticalScrollBar();
    const bool following = bar->value() == bar->maximum();
    QTextCharFormat format;
    format.setForeground(colour);
    format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    QTextCursor end(output->document());
    end.movePosition(QTextCursor::End);
    end.insertText(text, format);
    if (following)
        bar->setValue(bar->maximum());
}
