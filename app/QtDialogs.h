#pragma once
// QtDialogs: the program's real dialogs behind the Dialogs seam: Qt message boxes and Qt's
// own (non-native) file dialogs, so that every platform behaves alike.

#include "Dialogs.h"

class QtDialogs : public Dialogs {
public:
    Answer Ask(QWidget* owner, const QString& text, const QString& caption, Answer defaultButton) override;
    Answer AskYesNo(QWidget* owner, const QString& text, const QString& caption, Answer defaultButton) override;
    void ShowError(QWidget* owner, const QString& text, const QString& caption) override;
    void ShowStop(QWidget* owner, const QString& text, const QString& caption) override;
    std::optional<QString> OpenFile(QWidget* owner, FileDialogSpec& dialog) override;
    std::optional<QString> SaveFile(QWidget* owner, FileDialogSpec& dialog) override;
    void ShowModal(QDialog* window) override;
};
