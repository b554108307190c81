// The translation window: its title, counts and actions, saving the catalogue, the recovery file, the
// detail pane of the current text and closing. Building the window is in TranslationWindowBuild.cpp,
// the jobs (open, import, generate) in TranslationJobs.cpp, the trial run in TranslationRun.cpp.

#include "TranslationWindow.h"
#include "TranslationWindowParts.h"

#include "CatalogueNotes.h"
#include "ErrorDisplay.h"
#include "ErrorText.h"
#include "ProgramRunner.h"
#include "ProgramText.h"
#include "QProcessRunner.h"
#include "QuitOnSignal.h"
#include "RecentPrograms.h"
#include "Recovery.h"
#include "RecoveryText.h"
#include "RunPane.h"
#include "RunText.h"
#include "TranslationModel.h"
#include "UsageText.h"
#include "files/FileSystem.h"
#include "files/FolderTree.h"
#include "files/SameFile.h"
#include "run/FindJava.h"
#include "run/RunLayout.h"
#include "run/TrialRun.h"
#include "text/ByteStringErrors.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QProgressDialog>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QStringListModel>
#include <QTableView>
#include <QTextCursor>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUndoStack>
#include <QVBoxLayout>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <cstdio>
#include <new>
#include <utility>

namespace cat = cl::catalogue;
using namespace translation_window;

TranslationWindow::~TranslationWindow()
{
    if (worker_ != nullptr) {
        cancel_->store(true);
        worker_->wait();
        if (abandon_)
            abandon_();
        delete worker_;
        worker_ = nullptr;
    }
    AbandonRun();
}

QString TranslationWindow::BaseTitle()
{
    return QStringLiteral("翻译");
}

QString TranslationWindow::ProposedCatalogue(const QString& programPath)
{
    const QFileInfo info(TrimmedPath(programPath));
    const QString base = info.isDir() ? info.fileName() : info.completeBaseName();
    return QDir(info.absolutePath()).filePath(base + QStringLiteral(".zh_CN.po"));
}

QString TranslationWindow::ProposedOutput(const QString& programPath, bool folder)
{
    const QFileInfo info(TrimmedPath(programPath));
    if (folder)
        return QDir(info.absolutePath()).filePath(info.fileName() + QStringLiteral("_zh"));
    const QString suffix = info.suffix();
    return QDir(info.absolutePath())
        .filePath(info.completeBaseName() + QStringLiteral("_zh") + (suffix.isEmpty() ? QString() : u'.' + suffix));
}

bool TranslationWindow::IsModified() const
{
    return model_->Session().IsModified();
}

void TranslationWindow::UpdateTitle()
{
    QString title = BaseTitle();
    if (IsOpen())
        title += QStringLiteral(" - ") + QFileInfo(TrimmedPath(programPath_)).fileName();
    if (IsModified())
        title += u'*';
    setWindowTitle(title);
}

void TranslationWindow::UpdateCounts()
{
    const bool annotations = annotationsBox->isChecked();
    const int total = model_->TotalCount(annotations);
    const int done = model_->TranslatedCount(annotations);
    const int problems = model_->ProblemCount(annotations);
    const int review = model_->ReviewCount(annotations);
    QString text = QStringLiteral("已翻译 %1 / %2").arg(done).arg(total);
    if (problems > 0)
        text += QStringLiteral("（有问题 %1）").arg(problems);
    if (review > 0)
        text += QStringLiteral("（需要检查 %1）").arg(review);
    countLabel->setText(text);
    countBar->setRange(0, std::max(total, 1));
    countBar->setValue(done);
}

void TranslationWindow::UpdateActions()
{
    const bool idle = !Busy();
    openAction->setEnabled(idle);
    for (QAction* action : {saveAction, saveAsAction, importAction, generateAction, nextAction})
        action->setEnabled(idle && IsOpen());
    // One run at a time: from the moment its program is being generated until it has ended.
    runAction->setEnabled(idle && IsOpen() && runFolder_.empty() && !Running());
    stopAction->setEnabled(Running());
    UpdateReview();
}

void TranslationWindow::ShowError(const QString& text)
{
    dialogs_.ShowError(this, text, kErrorCaption);
}

void TranslationWindow::Report(const QString& text, bool warning)
{
    QMessageBox box(warning ? QMessageBox::Warning : QMessageBox::Information, windowTitle(), text, QMessageBox::Ok,
                    this);
    box.setObjectName(QStringLiteral("report"));
    box.setTextFormat(Qt::PlainText);
    dialogs_.ShowModal(&box);
}

bool TranslationWindow::SaveChangesFirst()
{
    if (!IsModified()) {
        // Back to what was saved: what the autosave kept is not needed any more. A recovery file
        // this window did not write (older than the catalogue, never offered) stays.
        if (recoveryMine_)
            RemoveRecovery();
        return true;
    }
    switch (dialogs_.Ask(this, QStringLiteral("译文已修改，是否保存?"), QStringLiteral("保存？"), Dialogs::Answer::Yes)) {
        case Dialogs::Answer::Yes: return Save();
        case Dialogs::Answer::No:
            // Discarded on purpose: not offered again at the next open.
            RemoveRecovery();
            return true;
        default: return false;
    }
}

QString TranslationWindow::CataloguePath() const
{
    return DisplayPath(model_->Session().CataloguePath());
}

bool TranslationWindow::Save()
{
    return SaveTo(CataloguePath());
}

bool TranslationWindow::SaveAs()
{
    return SaveTo(QString());
}

bool TranslationWindow::SaveTo(QString path)
{
    if (!IsOpen() || Busy())
        return false;
    if (path.isEmpty()) {
        if (dlgSave.fileName.isEmpty())
            dlgSave.fileName = CataloguePath().isEmpty() ? ProposedCatalogue(programPath_) : CataloguePath();
        const std::optional<QString> chosen = dialogs_.SaveFile(this, dlgSave);
        if (!chosen)
            return false;
        path = *chosen;
    }
    const cl::Status saved = model_->Session().SaveCatalogue(NativePath(path), {"", "classlingo"},
                                                             annotationsBox->isChecked(), cltext::Notes());
    if (!saved) {
        ShowError(ErrorText(saved.error()));
        return false;
    }
    RemoveRecovery();
    UpdateTitle();
    statusBar()->showMessage(QStringLiteral("已保存到") + Quoted(path) + QStringLiteral("。"), 5000);
    return true;
}

QString TranslationWindow::RecoveryPath() const
{
    return IsOpen() ? recovery::FileFor(recoveryFolder, programPath_) : QString();
}

void TranslationWindow::SetAutosaveInterval(int ms)
{
    autosaveTimer_->start(ms);
}

bool TranslationWindow::Autosave()
{
    if (!IsOpen())
        return true;
    if (!IsModified()) {
        // Undone back to what was saved.
        if (recoveryMine_)
            RemoveRecovery();
        return true;
    }
    if (!recoveryStale_)
        return true;
    std::string why;
    if (WriteRecovery(&why))
        return true;
    statusBar()->showMessage(FromUtf8(cltext::AutosaveFailedText(NativePath(RecoveryPath()), why)), 15000);
    return false;
}

bool TranslationWindow::WriteRecovery(std::string* why)
{
    const std::string path = NativePath(RecoveryPath());
    try {
        // Every entry, the untranslated and the withheld ones too, so that a restore puts back
        // exactly what the table held, a translation emptied since the last save included.
        const std::string text =
            model_->Session().CatalogueText({"", "classlingo"}, true, cltext::Notes(), true);
        if (const cl::Status written = recovery::Write(path, text, fs_); !written) {
            if (why != nullptr)
                *why = cltext::ReasonOf(written.error());
            return false;
        }
    } catch (const std::bad_alloc&) {
        if (why != nullptr)
            *why = cltext::OutOfMemoryReason();
        return false;
    }
    recoveryStale_ = false;
    recoveryMine_ = true;
    return true;
}

void TranslationWindow::RemoveRecovery()
{
    if (!IsOpen())
        return;
    // A file that cannot be removed is older than what was saved, and the next open compares.
    (void)recovery::Remove(NativePath(RecoveryPath()), fs_);
    recoveryMine_ = false;
    // Whatever is unsaved from now on goes into a new one.
    recoveryStale_ = true;
}

void TranslationWindow::OfferRecovery()
{
    recoveryMine_ = false;
    recoveryStale_ = false;
    const std::string path = NativePath(RecoveryPath());
    cl::FileInfo kept;
    if (fs_.Stat(path, kept) || !kept.exists || !kept.isRegular)
        return;
    // Saved since (the catalogue is newer): nothing to offer. The file is left as it is, since it
    // was never shown; the next save of this program removes it.
    cl::FileInfo catalogue;
    const bool hasCatalogue = !fs_.Stat(NativePath(ProposedCatalogue(programPath_)), catalogue) && catalogue.exists;
    if (hasCatalogue && catalogue.modifiedNs >= kept.modifiedNs)
        return;
    const QString when = QDateTime::fromMSecsSinceEpoch(kept.modifiedNs / 1000000).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    const QString name = QFileInfo(TrimmedPath(programPath_)).fileName();
    const QString question = FromUtf8(cltext::RestoreQuestion(name.toStdString(), when.toStdString(), hasCatalogue));
    const Dialogs::Answer answer =
        dialogs_.AskYesNo(this, question, QString::fromUtf8(cltext::RestoreCaption()), Dialogs::Answer::Yes);
    // A signal closed the box: nobody said no, and the file stays for the next open.
    if (QuitSignalled())
        return;
    if (answer != Dialogs::Answer::Yes) {
        RemoveRecovery();
        return;
    }
    const cl::Result<cat::PoCatalogue> read = cat::ReadPoFile(path, fs_);
    if (!read) {
        // Kept: what could not be read now may be read by hand.
        ShowError(ErrorText(read.error()));
        return;
    }
    const int changed = model_->Restore(*read);
    recoveryMine_ = true;
    ShowCurrent();
    UpdateTitle();
    statusBar()->showMessage(FromUtf8(cltext::RestoredText(changed)));
}

void TranslationWindow::ApplicationEnding()
{
    if (worker_ != nullptr) {
        cancel_->store(true);
        worker_->wait();
        if (abandon_)
            abandon_();
        abandon_ = nullptr;
        delete worker_;
        worker_ = nullptr;
        progress_->reset();
    }
    if (IsOpen() && IsModified()) {
        const std::string program = NativePath(programPath_);
        std::string why;
        const std::string line = WriteRecovery(&why)
                                     ? cltext::SavedOnQuitText(program, NativePath(RecoveryPath()))
                                     : cltext::NotSavedOnQuitText(program, why);
        std::fprintf(stderr, "%s\n", line.c_str());
        std::fflush(stderr);
    }
    AbandonRun();
    UpdateActions();
}

void TranslationWindow::OfferFirstProblem(const std::vector<std::size_t>& rows)
{
    QStringList lines;
    for (std::size_t i = 0; i < rows.size() && i < 10; ++i) {
        const int row = static_cast<int>(rows[i]);
        lines.append(Quoted(TranslationModel::Visible(model_->Source(row))) + QStringLiteral("：") +
                     TranslationModel::ProblemText(model_->Problem(row)));
    }
    if (rows.size() > 10)
        lines.append(QStringLiteral("……共 %1 条。").arg(rows.size()));
    const QString text = QStringLiteral("以下译文有问题，没有生成程序，没有写入任何文件：\n") + lines.join(u'\n') +
                         QStringLiteral("\n\n转到第一条有问题的译文吗？");
    if (dialogs_.AskYesNo(this, text, QStringLiteral("有问题的译文"), Dialogs::Answer::Yes) != Dialogs::Answer::Yes)
        return;
    ShowRow(static_cast<int>(rows.front()));
}

void TranslationWindow::ShowRow(int row)
{
    QModelIndex shown = filter_->mapFromSource(model_->index(row, TranslationModel::TranslationColumn));
    if (!shown.isValid()) {
        // Hidden by the search or the state filter: they give way, so that the row can be shown.
        searchBox->clear();
        stateBox->setCurrentIndex(static_cast<int>(TranslationFilter::State::All));
        if (!model_->Included(row, annotationsBox->isChecked()))
            annotationsBox->setChecked(true);
        shown = filter_->mapFromSource(model_->index(row, TranslationModel::TranslationColumn));
    }
    table->setCurrentIndex(shown);
    table->scrollTo(shown);
    translationEdit->setFocus();
}

void TranslationWindow::AcceptCurrent()
{
    if (currentRow_ >= 0)
        model_->Accept(currentRow_);
}

void TranslationWindow::NextUntranslated()
{
    // A filter that shows no row at all may still hide untranslated ones: said below.
    const int count = filter_->rowCount();
    const QModelIndex current = table->currentIndex();
    const int start = current.isValid() ? current.row() : -1;
    for (int step = 1; step <= count; ++step) {
        const int row = (start + step) % count;
        const int source = filter_->mapToSource(filter_->index(row, 0)).row();
        if (model_->Translation(source).isEmpty()) {
            table->setCurrentIndex(filter_->index(row, TranslationModel::TranslationColumn));
            table->scrollTo(table->currentIndex());
            translationEdit->setFocus();
            return;
        }
    }
    // Untranslated rows may still be there, hidden by the search or the state filter.
    int hidden = 0;
    const bool annotations = annotationsBox->isChecked();
    for (int row = 0; row < model_->rowCount(); ++row) {
        if (model_->Included(row, annotations) && model_->Translation(row).isEmpty())
            ++hidden;
    }
    if (hidden > 0)
        statusBar()->showMessage(
            QStringLiteral("查找或筛选隐藏了其余 %1 条未翻译的条目；清除查找和筛选后可以看到它们。").arg(hidden), 8000);
    else
        statusBar()->showMessage(QStringLiteral("没有未翻译的条目了。"), 5000);
}

void TranslationWindow::CurrentChanged(const QModelIndex& current)
{
    currentRow_ = current.isValid() ? filter_->mapToSource(current).row() : -1;
    ShowCurrent();
}

void TranslationWindow::ShowCurrent()
{
    showing_ = true;
    if (currentRow_ < 0 || currentRow_ >= model_->rowCount()) {
        sourceView->clear();
        places_->setStringList({});
        translationEdit->clear();
        translationEdit->setEnabled(false);
        problemLabel->clear();
        useLabel->clear();
    } else {
        sourceView->setPlainText(model_->Source(currentRow_));
        places_->setStringList(model_->Places(currentRow_));
        useLabel->setText(model_->UseNote(currentRow_));
        const QString translation = model_->Translation(currentRow_);
        if (translationEdit->toPlainText() != translation) {
            translationEdit->setPlainText(translation);
            translationEdit->moveCursor(QTextCursor::End);
        }
        translationEdit->setEnabled(true);
        ShowProblem(currentRow_);
    }
    UpdateReview();
    showing_ = false;
}

void TranslationWindow::UpdateReview()
{
    const bool review = currentRow_ >= 0 && currentRow_ < model_->rowCount() &&
                        model_->State(currentRow_) == cat::EntryState::NeedsReview;
    acceptAction->setEnabled(review && !Busy());
    if (!review) {
        reviewLabel->clear();
        reviewLabel->hide();
        return;
    }
    QString text = QStringLiteral("需要检查：这条译文被标为模糊，生成程序时不会写入；确认无误后请“接受译文”。");
    const QString previous = model_->PreviousSource(currentRow_);
    if (!previous.isEmpty())
        text += QStringLiteral("\n翻译时的原文：") + TranslationModel::Visible(previous);
    reviewLabel->setText(text);
    reviewLabel->show();
}

void TranslationWindow::ShowProblem(int row)
{
    const QString reason = TranslationModel::ProblemText(model_->Problem(row));
    problemLabel->setText(reason.isEmpty() ? QString() : reason + QStringLiteral("；此译文不会写入程序。"));
    translationEdit->setToolTip(reason);
}

void TranslationWindow::RowsChanged(const QModelIndex& first, const QModelIndex& last)
{
    // Any row may be the one whose change makes the translations unsaved, or saved again.
    UpdateTitle();
    if (currentRow_ < first.row() || currentRow_ > last.row())
        return;
    if (translationEdit->toPlainText() != model_->Translation(currentRow_)) {
        showing_ = true;
        translationEdit->setPlainText(model_->Translation(currentRow_));
        translationEdit->moveCursor(QTextCursor::End);
        showing_ = false;
    }
    ShowProblem(currentRow_);
    UpdateReview();
}

void TranslationWindow::EditorChanged()
{
    if (showing_ || currentRow_ < 0)
        return;
    const QString typed = translationEdit->toPlainText();
    // A text the program reads is translated only when the translator says so, knowing what
    // may break; No (the default) takes the typing back.
    if (!model_->Offered(currentRow_) && model_->Translation(currentRow_).isEmpty() && !typed.isEmpty()) {
        const cl::catalogue::SessionEntry& entry = model_->Session().Entries()[static_cast<std::size_t>(currentRow_)];
        const QString question = QString::fromStdString(cltext::TranslateWithheldQuestion(entry.use, entry.forbidding));
        if (dialogs_.AskYesNo(this, question, QStringLiteral("翻译程序读取的文字？"), Dialogs::Answer::No) !=
            Dialogs::Answer::Yes) {
            showing_ = true;
            translationEdit->clear();
            showing_ = false;
            return;
        }
    }
    model_->SetTranslation(currentRow_, typed, true);
}

bool TranslationWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == translationEdit && event->type() == QEvent::ShortcutOverride) {
        // Left unaccepted, these keys reach the window's actions instead of the editor.
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo) ||
            (key->modifiers() & Qt::ControlModifier && key->key() == Qt::Key_Y))
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TranslationWindow::closeEvent(QCloseEvent* event)
{
    if (Busy()) {
        CancelJob();
        event->ignore();
        return;
    }
    bool canClose = false;
    Guarded(dialogs_, this, [&] { canClose = SaveChangesFirst(); });
    if (canClose) {
        AbandonRun();
        event->accept();
    } else {
        event->ignore();
    }
}
