#pragma once
// TForm2: the manifest editor, in which a "MANIFEST.MF" file is shown as ANSI text, edited and
// saved as UTF-8. One instance lives for the whole run, hidden between showings.

#include "ByteString.h"
#include "Dialogs.h"

#include <QDialog>

class TForm2 : public QDialog {
    Q_OBJECT
public:
    // `dlgOpen3` is the main window's manifest open dialog, shared with it.
    TForm2(Dialogs& dialogs, FileDialogSpec& dlgOpen3, QWidget* parent = nullptr);

    // Opens `path` (backup, read whole); on failure shows "无法打开此文件!" owned by `owner`
    // and returns false with nothing changed.
    bool OpenManifest(const QString& path, QWidget* owner);

private:
    Dialogs& dialogs_;
    FileDialogSpec& dlgOpen3_;
};
