#pragma once
// WindowSession: the main window as a window test drives it, with a scratch folder of its own
// (also the folder it reads Filter.ini from) and dialogs answered by ScriptedDialogs.

#include "Main.h"
#include "ScriptedDialogs.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <memory>

class WindowSession {
public:
    // A new folder, new dialogs and a shown main window; false when the folder cannot be made.
    bool Start();
    // A new main window over the same folder and dialogs, as at the program's next start.
    void Restart();
    // Ends the session: every dialog shown must have been expected and every expected one
    // shown. Gives what went otherwise, empty when nothing did.
    QString Finish();

    TForm1& Form() { return *form_; }
    const TForm1& Form() const { return *form_; }
    ScriptedDialogs& Dialogs() { return *dialogs_; }
    QString Path(const QString& name) const { return dir_->filePath(name); }
    // Writes a file into the folder (the test stops when it cannot) and gives its path.
    QString Write(const QString& name, const QByteArray& bytes);
    // The file's bytes, or "<missing>".
    QByteArray Read(const QString& path) const;

private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<ScriptedDialogs> dialogs_;
    std::unique_ptr<TForm1> form_;
};
