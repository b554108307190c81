#pragma once
// ScriptedDialogs: a Dialogs double for window tests. The test queues the dialogs it expects,
// in order, with the answer or file name each one gives; every dialog the window shows is
// logged. A dialog that was not queued (or of another kind than the next one queued) fails
// the running test at once and is answered with Cancel / no file.

#include "Dialogs.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <optional>

class ScriptedDialogs : public Dialogs {
public:
    enum class Kind { Ask, AskYesNo, Error, Stop, OpenFile, SaveFile, Modal };

    // One dialog as the window showed it.
    struct Call {
        Kind kind = Kind::Ask;
        QWidget* owner = nullptr;
        QString text;                        // Ask, AskYesNo, Error, Stop
        QString caption;                     // Ask, AskYesNo, Error, Stop
        Answer defaultButton = Answer::Yes;  // Ask, AskYesNo
        FileDialogSpec dialog;               // OpenFile, SaveFile: as handed in, before the answer
        QDialog* window = nullptr;           // Modal
    };

    // Runs while a modal window is shown (the window is visible); it should close the window.
    using ModalSession = std::function<void(QDialog& window)>;

    // Queue the next expected dialog. Returns *this so that expectations can be chained.
    ScriptedDialogs& ExpectAsk(Answer reply);
    ScriptedDialogs& ExpectAskYesNo(Answer reply);
    ScriptedDialogs& ExpectError();
    ScriptedDialogs& ExpectStop();
    ScriptedDialogs& ExpectOpen(const QString& path);  // the user picks or types `path`
    ScriptedDialogs& ExpectOpenCancelled();
    ScriptedDialogs& ExpectSave(const QString& path);
    ScriptedDialogs& ExpectSaveCancelled();
    // Shows the window (show(), so its show event runs), runs `session`, then closes the window
    // with close() if it is still visible. Without a session the window is just closed. A
    // window that still refuses to close fails the test (a real modal loop would not return).
    ScriptedDialogs& ExpectModal(ModalSession session = {});

    // Every dialog shown so far, in order (unexpected ones included).
    const QList<Call>& Calls() const { return calls_; }
    const Call& LastCall() const;
    // Expectations queued but not yet met.
    int Pending() const { return static_cast<int>(expected_.size()); }
    // Descriptions of unexpected dialogs; empty when everything went as scripted.
    const QStringList& Problems() const { return problems_; }
    // True when every expectation was met and nothing unexpected came.
    bool AllMet() const { return expected_.empty() && problems_.isEmpty(); }
    // Forgets the log, the queue and the problems.
    void Reset();

    Answer Ask(QWidget* owner, const QString& text, const QString& caption, Answer defaultButton) override;
    Answer AskYesNo(QWidget* owner, const QString& text, const QString& caption, Answer defaultButton) override;
    void ShowError(QWidget* owner, const QString& text, const QString& caption) override;
    void ShowStop(QWidget* owner, const QString& text, const QString& caption) override;
    std::optional<QString> OpenFile(QWidget* owner, FileDialogSpec& dialog) override;
    std::optional<QString> SaveFile(QWidget* owner, FileDialogSpec& dialog) override;
    void ShowModal(QDialog* window) override;

    static QString KindName(Kind kind);

private:
    struct Expectation {
        Kind kind;
        Answer reply = Answer::Cancel;
        std::optional<QString> path;
        ModalSession session;
    };

    // Takes the next expectation if it is of `kind`; otherwise records and reports the problem.
    std::optional<Expectation> Take(const Call& call);
    std::optional<QString> ChooseFile(Kind kind, QWidget* owner, FileDialogSpec& dialog);
    Answer Question(Kind kind, QWidget* owner, const QString& text, const QString& caption, Answer defaultButton,
                    Answer unanswered);

    std::deque<Expectation> expected_;
    QList<Call> calls_;
    QStringList problems_;
};
