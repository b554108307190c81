#pragma once
// WindowSession: the main window as a window test drives it, with a scratch folder of its own
// (also the folder it reads Filter.ini from), dialogs answered by ScriptedDialogs and, when a
// test asks for one, the manifest editor the program gives it.

#include "Main.h"
#include "Modmanifest.h"
#include "ScriptedDialogs.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <memory>

class WindowSession {
public:
    // A new folder, new dialogs and a shown main window; false when the folder cannot be made
    // or the window is not shown. A `filterIni` that is not null is written as the folder's
    // Filter.ini first, as the word list the window starts with.
    bool Start(const QByteArray& filterIni = QByteArray());
    // A new main window over the same folder and dialogs, as at the program's next start (with
    // a new manifest editor if it had one).
    void Restart();
    // Gives the main window its manifest editor, as the program does at start.
    TForm2& AttachManifestEditor();
    // Ends the session: every dialog shown must have been expected and every expected one
    // shown. Gives what went otherwise, empty when nothing did.
    QString Finish();

    TForm1& Form() { return *form_; }
    const TForm1& Form() const { return *form_; }
    TForm2* ManifestEditor() { return editor_.get(); }
    ScriptedDialogs& Dialogs() { return *dialogs_; }
    QString Folder() const { return dir_->path(); }
    QString Path(const QString& name) const { return dir_->filePath(name); }
    // Writes a file into the folder (the test stops when it cannot) and gives its path.
    QString Write(const QString& name, const QByteArray& bytes);
    // The file's bytes, or "<missing>".
    QByteArray Read(const QString& path) const;

private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<ScriptedDialogs> dialogs_;
    std::unique_ptr<TForm1> form_;
    // Holds the main window's manifest dialog: goes before the window.
    std::unique_ptr<TForm2> editor_;
};
