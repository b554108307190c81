#pragma once
// TForm2: the manifest editor, in which a "MANIFEST.MF" file is shown as ANSI text, edited and
// saved as UTF-8. One instance lives for the whole run, hidden between showings.

#include "text/ByteString.h"
#include "Dialogs.h"
#include "document/Document.h"

#include <QDialog>
#include <QString>

class QCloseEvent;
class QPlainTextEdit;
class QShowEvent;
class QToolBar;
class QToolButton;

namespace cl {
class FileSystem;
}

class TForm2 : public QDialog {
    Q_OBJECT
public:
    // `dlgOpen3` is the main window's manifest open dialog, shared with it.
    TForm2(Dialogs& dialogs, FileDialogSpec& dlgOpen3, QWidget* parent = nullptr);

    // Opens `path` (backup, read whole); on failure shows "无法打开此文件!" (or the reason the
    // file could not be read) owned by `owner` and returns false with nothing changed.
    bool OpenManifest(const QString& path, QWidget* owner);

    QPlainTextEdit* mmo1 = nullptr;
    QToolBar* tlb1 = nullptr;
    QToolButton* btn1 = nullptr;  // open another manifest
    QToolButton* btn2 = nullptr;  // save

    // The manifest's UTF-8 bytes as last read from the file or last written to it.
    const cl::ByteString& manifestBytes() const { return manifest_.Image().bytes; }
    // The file being edited, as the open dialog returned it.
    QString manifestPath() const;
    // The box's text as read back after the last fill or save; edits are measured against it.
    const cl::ByteString& shownText() const { return ShownText; }
    // True when the box's text differs from shownText() in any byte.
    bool IsModified() const;

    // The file system the editor's reads, backups and saves go through (the native one unless
    // a test puts one that fails here).
    void SetFileSystem(cl::FileSystem& fs) { fs_ = &fs; }

public slots:
    void btn1Click();
    void btn2Click();
    // Every way of closing (close box, Alt+F4, Esc) ends here.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void FormCloseQuery(bool& CanClose);

    void RefreshMemo();
    // Saves the box's text; on failure reports why and returns false with the file untouched.
    bool WriteManifest();
    // The box's text as ANSI bytes, line breaks written as the file writes them.
    cl::ByteString BoxText() const;
    // Asks whether to save the changed text; the answer to the one question both the close and
    // the open-another paths put.
    Dialogs::Answer AskToSave();

    Dialogs& dialogs_;
    FileDialogSpec& dlgOpen3_;
    cl::FileSystem* fs_;

    // The open file (its path and its bytes as last read or written) and its steps (open,
    // backup, read, safe write) are the engine document's.
    cl::Document manifest_;
    cl::ByteString ShownText;
    // The line break of the file last shown. The box keeps line breaks only as bare line feeds,
    // so every one read back from it is written as the file wrote its own.
    QString lineBreak_ = QStringLiteral("\r\n");
};
