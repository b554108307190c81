// The run pane's controller: 试运行 as the engine sets it up (run/TrialRun.h), started through the
// ProgramRunner, its output and its end shown in the pane, its scratch folder removed.

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

void TranslationWindow::SetRunner(ProgramRunner* runner)
{
    if (runner == nullptr || runner == runner_ || Running())
        return;
    if (runner_ != nullptr)
        delete runner_;
    runner_ = runner;
    runner_->setParent(this);
    connect(runner_, &ProgramRunner::Output, runPane, &RunPane::AddOutput);
    connect(runner_, &ProgramRunner::Ended, this, &TranslationWindow::RunEnded);
}

bool TranslationWindow::Running() const
{
    return runner_ != nullptr && runner_->IsRunning();
}

QString TranslationWindow::RunFolder() const
{
    return DisplayPath(runFolder_);
}

void TranslationWindow::Run()
{
    Guarded(dialogs_, this, [this] {
        if (!IsOpen() || Busy() || Running() || !runFolder_.empty())
            return;
        const bool annotations = annotationsBox->isChecked();
        // The run is a generate: the session's one gate stops both.
        if (const std::vector<std::size_t> bad = model_->Session().Blockers(annotations); !bad.empty()) {
            OfferFirstProblem(bad);
            return;
        }
        runPane->Begin();
        // The engine sets the run up; the window asks what only the translator can answer.
        cl::run::TrialRunRequest request;
        const cl::Result<std::string> java =
            cl::run::FindJava(NativePath(runEnvironment.path), NativePath(runEnvironment.javaHome), fs_);
        if (!java) {
            runPane->AddMessage(ErrorText(java.error()));
            return;
        }
        request.java = *java;
        if (!cl::run::StartsByManifest(model_->Facts())) {
            std::optional<std::string> chosen = MainClassToRun();
            if (!chosen)
                return;
            request.mainClass = std::move(*chosen);
        }
        request.tempFolder = NativePath(QDir::tempPath());
        request.realHome = realHomeBox->isChecked();
        request.annotations = annotations;
        cl::Result<cl::run::TrialRun> run = cl::run::SetUpTrialRun(model_->Session(), request, fs_);
        if (!run) {
            runPane->AddMessage(ErrorText(run.error()));
            return;
        }
        runFolder_ = run->folder;
        const cl::run::RunCommand command = run->command;
        const std::string home = run->home;
        auto generate = std::make_shared<cat::GenerateRequest>(run->generate);
        auto snapshot = std::make_shared<cat::ProgramSession>(model_->Session().Snapshot());
        auto prepared = std::make_shared<cl::Result<cat::PreparedGenerate>>(cl::Error(cl::ErrorKind::Cancelled));
        abandon_ = [prepared] { *prepared = cl::Error(cl::ErrorKind::Cancelled); };
        StartJob(
            QString::fromUtf8(cltext::RunPreparingText()),
            cltext::WindowJob::Run,
            [generate, snapshot, prepared](const cat::Progress& progress) {
                *prepared = snapshot->PrepareGenerate(*generate, progress);
                GiveBackFreedMemory();
            },
            [this, prepared, command, home](JobEnd end) {
                // Whatever ends the run here, the staged output goes before its folder does.
                auto drop = [&] {
                    *prepared = cl::Error(cl::ErrorKind::Cancelled);
                    RemoveRunFolder();
                    UpdateActions();
                };
                if (end == JobEnd::Failed) {
                    drop();
                    return;
                }
                if (end == JobEnd::Cancelled ||
                    (!*prepared && prepared->error().kind == cl::ErrorKind::Cancelled)) {
                    drop();
                    statusBar()->showMessage(QStringLiteral("已取消试运行。"), 5000);
                    return;
                }
                if (!*prepared) {
                    const cl::Error error = prepared->error();
                    drop();
                    runPane->AddMessage(ErrorText(error));
                    return;
                }
                if ((*prepared)->HasProblems()) {
                    const std::vector<cat::ApplyProblem> problems = (*prepared)->Problems();
                    drop();
                    ShowApplyProblems(problems);
                    return;
                }
                const cl::Result<cat::GenerateReport> report = (*prepared)->Commit();
                if (!report) {
                    drop();
                    runPane->AddMessage(ErrorText(report.error()));
                    return;
                }
                runStopping_ = false;
                runProgram_ = command.program;
                runPane->AddMessage(FromUtf8(cltext::RunStartedText(command) + '\n' + cltext::RunHomeText(home)));
                runClock_.start();
                runner_->Start(command);
                UpdateActions();
            });
    });
}

std::optional<std::string> TranslationWindow::MainClassToRun()
{
    const cat::ProgramFacts& facts = model_->Facts();
    if (facts.mainClasses.empty()) {
        runPane->AddMessage(FromUtf8(cltext::NoMainClassText(facts.name)));
        return std::nullopt;
    }
    if (facts.mainClasses.size() == 1)
        return facts.mainClasses.front();
    QStringList candidates;
    for (const std::string& name : facts.mainClasses)
        candidates.append(FromUtf8(name));
    QSettings settings;
    QVariantMap chosen = settings.value(kMainClassKey).toMap();
    const QString program = QDir::cleanPath(QFileInfo(programPath_).absoluteFilePath());
    if (const QString earlier = chosen.value(program).toString(); candidates.contains(earlier))
        return earlier.toStdString();

    QInputDialog dialog(this);
    dialog.setObjectName(QStringLiteral("mainClassDialog"));
    dialog.setWindowTitle(QString::fromUtf8(cltext::ChooseMainClassCaption()));
    dialog.setLabelText(QString::fromUtf8(cltext::ChooseMainClassText()));
    dialog.setOption(QInputDialog::UseListViewForComboBoxItems);
    dialog.setComboBoxItems(candidates);
    dialog.setComboBoxEditable(false);
    dialog.setTextValue(candidates.front());
    dialogs_.ShowModal(&dialog);
    if (dialog.result() != QDialog::Accepted || !candidates.contains(dialog.textValue()))
        return std::nullopt;
    chosen.insert(program, dialog.textValue());
    settings.setValue(kMainClassKey, chosen);
    return dialog.textValue().toStdString();
}

void TranslationWindow::RunEnded(const RunEnd& end)
{
    std::string text;
    if (!end.started)
        text = cltext::RunNotStartedText(runProgram_, end.reason.toStdString());
    else if (runStopping_)
        text = cltext::RunStoppedText();
    else if (end.crashed)
        text = cltext::RunCrashedText();
    else if (end.exitCode == 0)
        text = cltext::RunEndedText();
    else if (runClock_.elapsed() < kAtOnceMs)
        text = cltext::RunFailedAtOnceText(end.exitCode);
    else
        text = cltext::RunFailedText(end.exitCode);
    runPane->AddMessage(FromUtf8(text));
    runStopping_ = false;
    RemoveRunFolder();
    UpdateActions();
}

void TranslationWindow::StopRun()
{
    if (!Running())
        return;
    runStopping_ = true;
    stopAction->setEnabled(false);
    runner_->Stop();
}

void TranslationWindow::AbandonRun()
{
    if (Running())
        runner_->Abandon();
    RemoveRunFolder();
}

void TranslationWindow::RemoveRunFolder()
{
    cl::run::RemoveTrialRun(runFolder_, fs_);
    runFolder_.clear();
}
