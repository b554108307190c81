#include "Modmanifest.h"

TForm2::TForm2(Dialogs& dialogs, FileDialogSpec& dlgOpen3, QWidget* parent)
    : QDialog(parent), dialogs_(dialogs), dlgOpen3_(dlgOpen3)
{
    setWindowTitle(QStringLiteral("MANIFEST.MF"));
}

bool TForm2::OpenManifest(const QString&, QWidget*)
{
    return false;  // the editor is being built; until then nothing opens
}
