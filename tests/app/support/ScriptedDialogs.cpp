#include "ScriptedDialogs.h"

#include <QDialog>
#include <QTest>

QString ScriptedDialogs::KindName(Kind kind)
{
    switch (kind) {
        case Kind::Ask: return QStringLiteral("question");
        case Kind::AskYesNo: return QStringLiteral("yes/no question");
        case Kind::Error: return QStringLiteral("error box");
        case Kind::Stop: return QStringLiteral("stop box");
        case Kind::OpenFile: return QStringLiteral("open dialog");
        case Kind::SaveFile: return QStringLiteral("save dialog");
        case Kind::Modal: return QStringLiteral("modal window");
    }
    return QStringLiteral("?");
}

ScriptedDialogs& ScriptedDialogs::ExpectAsk(Answer reply)
{
    expected_.push_back({Kind::Ask, reply, std::nullopt, {}});
    return *this;
}

ScriptedDialogs& ScriptedDialogs::ExpectAskYesNo(Answer reply)
{
    expected_.push_back({Kind::AskYesNo, reply, std::nullopt, {}});
    return *this;
}

ScriptedDialogs& ScriptedDialogs::ExpectError()
{
    expected_.push_back({Kind::Error, Answer::Ok, std::nullopt, {}});
    return *this;
}

ScriptedDialogs& ScriptedDialogs::ExpectStop()
{
    expected_.push_back({Kind::Stop, Answer::Ok, std::nullopt, {}});
    return *this;
}

ScriptedDialogs& ScriptedDialogs::ExpectOpen(const QString& path)
{
    expected_.push_back({Kind::OpenFile, Answer::Ok, path, {}});
    return *this;
}

ScriptedDialogs& ScriptedDialogs::ExpectOpenCancelled()
{
    expected_.push_back({Kind::OpenFile, Answer::Cancel, std::nullopt, {}});
    return *this;
}

ScriptedDialogs& ScriptedDialogs::ExpectSave(const QString& path)
{
    expected_.push_back({Kind::SaveFile, Answer::Ok, path, {}});
    return *this;
}

ScriptedDialogs& ScriptedDialogs::ExpectSaveCancelled()
{
    expected_.push_back({Kind::SaveFile, Answer::Cancel, std::nullopt, {}});
    return *this;
}

ScriptedDialogs& ScriptedDialogs::ExpectModal(ModalSession session)
{
    expected_.push_back({Kind::Modal, Answer::Ok, std::nullopt, std::move(session)});
    return *this;
}

const ScriptedDialogs::Call& ScriptedDialogs::LastCall() const
{
    static const Call none{};
    return calls_.isEmpty() ? none : calls_.back();
}

void ScriptedDialogs::Reset()
{
    expected_.clear();
    calls_.clear();
    problems_.clear();
}

std::optional<ScriptedDialogs::Expectation> ScriptedDialogs::Take(const Call& call)
{
    calls_.append(call);
    if (!expected_.empty() && expected_.front().kind == call.kind) {
        Expectation next = std::move(expected_.front());
        expected_.pop_front();
        return next;
    }
    QString problem = QStringLiteral("unexpected %1").arg(KindName(call.kind));
    if (!call.text.isEmpty() || !call.caption.isEmpty())
        problem += QStringLiteral(" \"%1\" (caption \"%2\")").arg(call.text, call.caption);
    problem += expected_.empty() ? QStringLiteral("; nothing was expected")
                                 : QStringLiteral("; expected a %1").arg(KindName(expected_.front().kind));
    problems_.append(problem);
    // Fails the running test function even though we are deep inside a window's handler.
    QTest::qFail(problem.toUtf8().constData(), __FILE__, __LINE__);
    return std::nullopt;
}

Dialogs::Answer ScriptedDialogs::Question(Kind kind, QWidget* owner, const QString& text, const QString& caption,
                                          Answer defaultButton, Answer unanswered)
{
    Call call;
    call.kind = kind;
    call.owner = owner;
    call.text = text;
    call.caption = caption;
    call.defaultButton = defaultButton;
    const auto next = Take(call);
    return next ? next->reply : unanswered;
}

Dialogs::Answer ScriptedDialogs::Ask(QWidget* owner, const QString& text, const QString& caption, Answer defaultButton)
{
    return Question(Kind::Ask, owner, text, caption, defaultButton, Answer::Cancel);
}

Dialogs::Answer ScriptedDialogs::AskYesNo(QWidget* owner, const QString& text, const QString& caption,
                                          Answer defaultButton)
{
    return Question(Kind::AskYesNo, owner, text, caption, defaultButton, Answer::No);
}

void ScriptedDialogs::ShowError(QWidget* owner, const QString& text, const QString& caption)
{
    Call call;
    call.kind = Kind::Error;
    call.owner = owner;
    call.text = text;
    call.caption = caption;
    Take(call);
}

void ScriptedDialogs::ShowStop(QWidget* owner, const QString& text, const QString& caption)
{
    Call call;
    call.kind = Kind::Stop;
    call.owner = owner;
    call.text = text;
    call.caption = caption;
    Take(call);
}

std::optional<QString> ScriptedDialogs::ChooseFile(Kind kind, QWidget* owner, FileDialogSpec& dialog)
{
    Call call;
    call.kind = kind;
    call.owner = owner;
    call.dialog = dialog;
    const auto next = Take(call);
    if (!next || !next->path)
        return std::nullopt;
    // Like the real dialog: the next showing starts from the file chosen now.
    dialog.fileName = *next->path;
    if (dialog.selectedFilter.isEmpty())
        dialog.selectedFilter = dialog.filter.section(QStringLiteral(";;"), 0, 0);
    return next->path;
}

std::optional<QString> ScriptedDialogs::OpenFile(QWidget* owner, FileDialogSpec& dialog)
{
    return ChooseFile(Kind::OpenFile, owner, dialog);
}

std::optional<QString> ScriptedDialogs::SaveFile(QWidget* owner, FileDialogSpec& dialog)
{
    return ChooseFile(Kind::SaveFile, owner, dialog);
}

void ScriptedDialogs::ShowModal(QDialog* window)
{
    Call call;
    call.kind = Kind::Modal;
    call.window = window;
    call.owner = window ? window->parentWidget() : nullptr;
    const auto next = Take(call);
    if (!next || window == nullptr)
        return;
    window->show();
    if (next->session)
        next->session(*window);
    if (window->isVisible())
        window->close();
    if (window->isVisible()) {
        // A real modal loop would still be running; the script did not end the session.
        const QString problem = QStringLiteral("modal window still open after its scripted session");
        problems_.append(problem);
        QTest::qFail(problem.toUtf8().constData(), __FILE__, __LINE__);
        window->hide();
    }
}
