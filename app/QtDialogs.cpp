#include "QtDialogs.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>

namespace {

QMessageBox::StandardButton ToButton(Dialogs::Answer answer)
{
    switch (answer) {
        case Dialogs::Answer::Yes: return QMessageBox::Yes;
        case Dialogs::Answer::No: return QMessageBox::No;
        case Dialogs::Answer::Cancel: return QMessageBox::Cancel;
        case Dialogs::Answer::Ok: return QMessageBox::Ok;
    }
    return QMessageBox::NoButton;
}

void ShowOk(QWidget* owner, QMessageBox::Icon icon, const QString& text, const QString& caption)
{
    QMessageBox box(icon, caption, text, QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

// The entry of `filters` that the dialog shows as `shown` (with HideNameFilterDetails the dialog
// names "*.class (*.class)" just "*.class").
QString FullFilter(const QStringList& filters, const QString& shown)
{
    for (const QString& filter : filters) {
        if (filter == shown || filter.startsWith(shown + QStringLiteral(" (")))
            return filter;
    }
    return shown;
}

std::optional<QString> RunFileDialog(QWidget* owner, FileDialogSpec& options, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(owner);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // Only the descriptions are shown, as "*.class" rather than "*.class (*.class)".
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(mode);
    if (mode == QFileDialog::AcceptOpen) {
        // A typed name of a file that does not exist is accepted; opening it then fails with
        // the window's own message.
        dialog.setFileMode(QFileDialog::AnyFile);
    } else {
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    }
    const QStringList filters = options.filter.split(QStringLiteral(";;"), Qt::SkipEmptyParts);
    dialog.setNameFilters(filters);
    if (!options.selectedFilter.isEmpty())
        dialog.selectNameFilter(options.selectedFilter);
    dialog.setDefaultSuffix(options.defaultSuffix);
    if (!options.fileName.isEmpty()) {
        const QFileInfo preset(options.fileName);
        if (preset.isAbsolute() || options.fileName.contains(u'/'))
            dialog.setDirectory(preset.absolutePath());
        dialog.selectFile(preset.fileName());
    }
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty())
        return std::nullopt;
    options.fileName = chosen.first();
    options.selectedFilter = FullFilter(filters, dialog.selectedNameFilter());
    return options.fileName;
}

}  // namespace

Dialogs::Answer QtDialogs::Ask(QWidget* owner, const QString& text, const QString& caption, Answer defaultButton)
{
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                    owner);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(ToButton(defaultButton));
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
        case QMessageBox::Yes: return Answer::Yes;
        case QMessageBox::No: return Answer::No;
        default: return Answer::Cancel;
    }
}

Dialogs::Answer QtDialogs::AskYesNo(QWidget* owner, const QString& text, const QString& caption,
                                   Answer defaultButton)
{
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, owner);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(ToButton(defaultButton));
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

void QtDialogs::ShowError(QWidget* owner, const QString& text, const QString& caption)
{
    ShowOk(owner, QMessageBox::Critical, text, caption);
}

void QtDialogs::ShowStop(QWidget* owner, const QString& text, const QString& caption)
{
    ShowOk(owner, QMessageBox::Critical, text, caption);
}

std::optional<QString> QtDialogs::OpenFile(QWidget* owner, FileDialogSpec& dialog)
{
    return RunFileDialog(owner, dialog, QFileDialog::AcceptOpen);
}

std::optional<QString> QtDialogs::SaveFile(QWidget* owner, FileDialogSpec& dialog)
{
    return RunFileDialog(owner, dialog, QFileDialog::AcceptSave);
}

void QtDialogs::ShowModal(QDialog* window)
{
    if (window != nullptr)
        window->exec();
}
