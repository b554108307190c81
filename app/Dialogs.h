#pragma once
// The seam through which the windows ask the user anything: message boxes, file dialogs and
// modal windows. The program uses the Qt implementation; tests answer with preset replies.

#include <QString>
#include <optional>

class QDialog;
class QWidget;

// One file dialog object of a window (dlgOpen1, dlgSave1, ...): what it offers and what it
// remembers from its last use.
struct FileDialogSpec {
    QString filter;          // Qt name filters separated by ";;", the first preselected
    QString defaultSuffix;   // added to a typed name without extension; empty for none
    QString fileName;        // preset / last chosen file
    QString selectedFilter;  // last chosen filter
};

class Dialogs {
public:
    enum class Answer { Yes, No, Cancel, Ok };

    virtual ~Dialogs() = default;

    // Yes/No/Cancel question with the question icon.
    virtual Answer Ask(QWidget* owner, const QString& text, const QString& caption, Answer defaultButton) = 0;
    // Yes/No question with the question icon; closing the box answers No.
    virtual Answer AskYesNo(QWidget* owner, const QString& text, const QString& caption, Answer defaultButton) = 0;
    // OK box with the error icon.
    virtual void ShowError(QWidget* owner, const QString& text, const QString& caption) = 0;
    // OK box with the stop (critical) icon: the top-level error display.
    virtual void ShowStop(QWidget* owner, const QString& text, const QString& caption) = 0;
    // Open/save dialogs accept typed names of files that do not exist and ask nothing before
    // an existing file is chosen. Empty when cancelled; otherwise `dialog` remembers the choice.
    virtual std::optional<QString> OpenFile(QWidget* owner, FileDialogSpec& dialog) = 0;
    virtual std::optional<QString> SaveFile(QWidget* owner, FileDialogSpec& dialog) = 0;
    // Shows a window modally and returns when it has been closed.
    virtual void ShowModal(QDialog* window) = 0;
};
