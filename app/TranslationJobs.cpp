// The translation window's jobs: opening a program, importing a catalogue and generating the
// translated program, each on a worker thread behind the progress dialog.

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

struct OpenJob {
    cl::Result<cat::ProgramSession> session = cl::Error(cl::ErrorKind::Cancelled);
    bool hasCatalogue = false;
    std::string cataloguePath;
    std::optional<cl::Error> catalogueError;
    cat::ImportSummary catalogue;
};

void TranslationWindow::StartJob(const QString& label, cltext::WindowJob job, Work work,
                                 std::function<void(JobEnd end)> done)
{
    cancel_ = std::make_shared<std::atomic<bool>>(false);
    auto cancel = cancel_;
    cat::Progress progress;
    progress.cancel = cancel.get();
    progress.stage = [this](cat::WorkStage what) {
        QMetaObject::invokeMethod(this, [this, what] { StageBegun(what); }, Qt::QueuedConnection);
    };
    auto failure = std::make_shared<std::exception_ptr>();
    worker_ = QThread::create([work = std::move(work), cancel, progress, failure] {
        // An exception leaving the thread would end classlingo on the spot (std::terminate), with
        // every unsaved translation: it is shown instead, once the job is over.
        try {
            work(progress);
        } catch (...) {
            *failure = std::current_exception();
        }
    });
    QThread* thread = worker_;
    auto finish = [this, thread, job, failure, done = std::move(done)] {
        if (worker_ != thread)
            return;  // already waited for, as classlingo ends
        worker_->wait();
        delete worker_;
        worker_ = nullptr;
        abandon_ = nullptr;
        progress_->reset();
        JobEnd end = cancel_->load() ? JobEnd::Cancelled : JobEnd::Finished;
        UpdateActions();
        if (*failure) {
            end = JobEnd::Failed;
            ShowJobFailure(job, *failure);
        }
        try {
            done(end);
        } catch (...) {
            ShowJobFailure(job, std::current_exception());
        }
        emit JobFinished();
    };
    connect(worker_, &QThread::finished, this, finish);
    progress_->reset();
    progress_->setLabelText(label);
    progress_->setValue(0);  // shown only if the job is still running after a moment
    UpdateActions();
    worker_->start();
    // A thread that could not be made (no memory for its stack) neither runs nor finishes: the job
    // ends here as one that ran out of memory, rather than leaving the window busy for good.
    if (!thread->isRunning() && !thread->isFinished()) {
        *failure = std::make_exception_ptr(std::bad_alloc());
        finish();
    }
}

void TranslationWindow::ShowJobFailure(cltext::WindowJob job, const std::exception_ptr& failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const std::bad_alloc&) {
        ShowError(FromUtf8(cltext::JobOutOfMemoryText(job)));
    } catch (const cl::OutOfMemory&) {
        ShowError(FromUtf8(cltext::JobOutOfMemoryText(job)));
    } catch (...) {
        ShowTopLevelError(dialogs_, this, ErrorText(failure));
    }
}

void TranslationWindow::StageBegun(cat::WorkStage stage)
{
    if (!Busy() || cancel_->load())
        return;
    progress_->setValue(static_cast<int>(stage) + 1);
    progress_->setLabelText(StageText(stage));
}

void TranslationWindow::CancelJob()
{
    if (!Busy())
        return;
    cancel_->store(true);
    statusBar()->showMessage(QStringLiteral("正在取消…"));
}

void TranslationWindow::OpenClick()
{
    Guarded(dialogs_, this, [this] {
        if (Busy() || !SaveChangesFirst())
            return;
        if (const std::optional<QString> chosen = dialogs_.OpenFile(this, dlgOpen))
            Open(*chosen);
    });
}

void TranslationWindow::Open(const QString& path)
{
    if (Busy() || !SaveChangesFirst())
        return;
    auto job = std::make_shared<OpenJob>();
    job->cataloguePath = NativePath(ProposedCatalogue(path));
    const std::string native = NativePath(path);
    cl::FileSystem* fs = &fs_;
    StartJob(
        QStringLiteral("正在打开") + Quoted(QFileInfo(TrimmedPath(path)).fileName()) + QStringLiteral("…"),
        cltext::WindowJob::Open,
        [job, native, fs](const cat::Progress& progress) {
            // The catalogue beside the program is where the translation goes on from; its
            // language decides which of the program's own bundle variants gives a start.
            std::optional<cl::Result<cat::PoCatalogue>> beside;
            cl::FileInfo info;
            if (!fs->Stat(job->cataloguePath, info) && info.exists && info.isRegular)
                beside = cat::ReadPoFile(job->cataloguePath, *fs);
            cat::ProgramSession session(*fs);
            cat::OpenOptions options;
            options.annotations = true;  // the window can hide them
            options.methods = true;
            if (beside && *beside && !(*beside)->language.empty())
                options.language = (*beside)->language;
            cl::Status opened = session.Open(native, options, progress);
            GiveBackFreedMemory();
            if (!opened) {
                job->session = std::move(opened).error();
                return;
            }
            if (beside) {
                job->hasCatalogue = true;
                if (*beside)
                    job->catalogue = session.ImportMessages(**beside, cat::ImportMode::Continue, job->cataloguePath);
                else
                    job->catalogueError = beside->error();
            }
            job->session = std::move(session);
        },
        [this, job, path](JobEnd end) {
            if (end == JobEnd::Failed)
                return;
            if (end == JobEnd::Cancelled ||
                (!job->session && job->session.error().kind == cl::ErrorKind::Cancelled)) {
                statusBar()->showMessage(QStringLiteral("已取消打开。"), 5000);
                return;
            }
            Opened(path, *job);
        });
}

void TranslationWindow::Opened(const QString& path, OpenJob& job)
{
    if (!job.session) {
        ShowError(ErrorText(job.session.error()));
        return;
    }
    const bool folder = job.session->Facts().kind == cat::ProgramKind::Folder;
    currentRow_ = -1;
    session_ = std::move(*job.session);
    model_->Reset(session_);
    programPath_ = path;
    programIsFolder_ = folder;
    recent::Add(path);
    dlgSave.fileName.clear();
    dlgGenerate.fileName.clear();
    UpdateTitle();
    UpdateCounts();
    UpdateActions();
    if (filter_->rowCount() > 0)
        table->setCurrentIndex(filter_->index(0, TranslationModel::TranslationColumn));
    else
        ShowCurrent();
    // What the program holds stays in the status line until the next message: how many texts
    // it offers, what its bundles gave (the texts its own translation filled among them), and
    // what it withholds; the bundles' whole summary is the line's tooltip.
    const cl::catalogue::ProgramFacts& facts = model_->Facts();
    QString opened = QStringLiteral("共 %1 条文本").arg(model_->TotalCount(annotationsBox->isChecked()));
    if (facts.bundleTexts > 0)
        opened += QStringLiteral("（资源包 %1 条，其中 %2 条已用程序自带的译文填入）")
                      .arg(facts.bundleTexts)
                      .arg(facts.filledFromProgram);
    opened += QStringLiteral("，%1 个类").arg(facts.classCount);
    if (facts.withheld > 0)
        opened += QStringLiteral("；程序读取的 %1 条未提供（%2）")
                      .arg(facts.withheld)
                      .arg(QString::fromStdString(cltext::WithheldReasonsText(facts)));
    opened += QStringLiteral("。");
    statusBar()->setToolTip(QString::fromStdString(cltext::BundleSummaryText(facts)));
    if (job.catalogueError) {
        statusBar()->showMessage(opened);
        ShowError(ErrorText(*job.catalogueError));
        OfferRecovery();
        return;
    }
    if (job.hasCatalogue) {
        opened = QStringLiteral("已从%1载入译文 %2 条。")
                     .arg(Quoted(CataloguePath()))
                     .arg(job.catalogue.filled + job.catalogue.fuzzyFilled) +
                 opened;
        ShowCurrent();
    }
    statusBar()->showMessage(opened);
    OfferRecovery();
}

void TranslationWindow::Import()
{
    // Read on this thread; out of memory is told as for the jobs on a worker.
    try {
        if (!IsOpen() || Busy())
            return;
        const std::optional<QString> chosen = dialogs_.OpenFile(this, dlgImport);
        if (!chosen)
            return;
        const std::string native = NativePath(*chosen);
        const cl::Result<cat::PoCatalogue> catalogue = cat::ReadPoFile(native, fs_);
        if (!catalogue) {
            ShowError(ErrorText(catalogue.error()));
            return;
        }
        const cat::ImportSummary summary = model_->Import(*catalogue, native);
        ShowCurrent();
        Report(QString::fromStdString(cltext::ImportSummaryText(native, summary)), false);
    } catch (...) {
        ShowJobFailure(cltext::WindowJob::Import, std::current_exception());
    }
}

void TranslationWindow::Generate()
{
    Guarded(dialogs_, this, [this] {
        if (!IsOpen() || Busy())
            return;
        const bool annotations = annotationsBox->isChecked();
        // Nothing is written while a translation has a problem: say which, and offer the first.
        if (const std::vector<std::size_t> bad = model_->Session().Blockers(annotations); !bad.empty()) {
            OfferFirstProblem(bad);
            return;
        }
        if (dlgGenerate.fileName.isEmpty())
            dlgGenerate.fileName = ProposedOutput(programPath_, programIsFolder_);
        const QString suffix = QFileInfo(TrimmedPath(programPath_)).suffix();
        dlgGenerate.filter = programIsFolder_ || suffix.isEmpty()
                                 ? QStringLiteral("*.* (*)")
                                 : QStringLiteral("*.%1 (*.%1);;*.* (*)").arg(suffix);
        const std::optional<QString> chosen = dialogs_.SaveFile(this, dlgGenerate);
        if (!chosen)
            return;
        auto request = std::make_shared<cat::GenerateRequest>();
        request->annotations = annotations;
        if (cl::IsSameFile(NativePath(*chosen), NativePath(programPath_), fs_)) {
            const QString name = QFileInfo(TrimmedPath(programPath_)).fileName();
            // The engine says where the original goes; the window only words it.
            const cat::InPlaceBackup where =
                cat::WhereInPlaceBackupGoes(NativePath(TrimmedPath(programPath_)), programIsFolder_, fs_);
            const QString backup = Quoted(QFileInfo(QString::fromStdString(where.path)).fileName());
            QString question;
            if (programIsFolder_)
                question = QStringLiteral("生成的程序将替换原程序%1中改动的文件，改动的原文件放入%2（其中已有的文件保持不变）。")
                               .arg(Quoted(name), backup);
            else if (where.outcome == cat::BackupOutcome::Kept)
                question = QStringLiteral("生成的程序将替换原程序%1。它是上次就地翻译的结果：这次从%2中的原程序重新翻译，"
                                          "%2保持不变。")
                               .arg(Quoted(name), backup);
            else if (where.outcome == cat::BackupOutcome::Numbered)
                question = QStringLiteral("生成的程序将替换原程序%1。备份%2已存在，保持不变；现在的%1保留为%3。")
                               .arg(Quoted(name), Quoted(name + QStringLiteral(".bak")), backup);
            else
                question = QStringLiteral("生成的程序将替换原程序%1，原程序保留为%2。").arg(Quoted(name), backup);
            question += QStringLiteral("\n确定要替换原程序吗？");
            if (dialogs_.AskYesNo(this, question, QStringLiteral("替换原程序？"), Dialogs::Answer::No) !=
                Dialogs::Answer::Yes)
                return;
            request->inPlace = true;
        } else {
            const QFileInfo target(*chosen);
            if (target.exists() && !target.isDir()) {
                const QString question = Quoted(*chosen) + QStringLiteral("已存在，要替换它吗？");
                if (dialogs_.AskYesNo(this, question, QStringLiteral("替换？"), Dialogs::Answer::No) !=
                    Dialogs::Answer::Yes)
                    return;
            }
            request->output = NativePath(*chosen);
        }
        const QString output = request->inPlace ? programPath_ : *chosen;

        // The job works on the translations as they stand now, whatever is typed meanwhile.
        auto snapshot = std::make_shared<cat::ProgramSession>(model_->Session().Snapshot());
        auto prepared = std::make_shared<cl::Result<cat::PreparedGenerate>>(cl::Error(cl::ErrorKind::Cancelled));
        abandon_ = [prepared] { *prepared = cl::Error(cl::ErrorKind::Cancelled); };
        StartJob(
            QStringLiteral("正在生成") + Quoted(QFileInfo(output).fileName()) + QStringLiteral("…"),
            cltext::WindowJob::Generate,
            [request, snapshot, prepared](const cat::Progress& progress) {
                *prepared = snapshot->PrepareGenerate(*request, progress);
                GiveBackFreedMemory();
            },
            [this, prepared, output](JobEnd end) {
                if (end == JobEnd::Failed) {
                    *prepared = cl::Error(cl::ErrorKind::Cancelled);
                    return;
                }
                if (end == JobEnd::Cancelled ||
                    (!*prepared && prepared->error().kind == cl::ErrorKind::Cancelled)) {
                    // Too late for the worker to notice, but nothing is in place yet.
                    *prepared = cl::Error(cl::ErrorKind::Cancelled);
                    statusBar()->showMessage(QStringLiteral("已取消生成，没有写入任何文件。"), 5000);
                    return;
                }
                if (!*prepared) {
                    ShowError(ErrorText(prepared->error()));
                    return;
                }
                if ((*prepared)->HasProblems()) {
                    ShowApplyProblems((*prepared)->Problems());
                    return;
                }
                const cl::Result<cat::GenerateReport> report = (*prepared)->Commit();
                if (!report) {
                    ShowError(ErrorText(report.error()));
                    return;
                }
                ReportGenerated(NativePath(output), *report);
            });
    });
}

void TranslationWindow::ShowApplyProblems(const std::vector<cat::ApplyProblem>& problems)
{
    QStringList lines;
    for (std::size_t i = 0; i < problems.size() && i < 10; ++i)
        lines.append(QString::fromStdString(cltext::ApplyProblemText(problems[i])));
    if (problems.size() > 10)
        lines.append(QStringLiteral("……共 %1 处。").arg(problems.size()));
    ShowError(lines.join(u'\n') + u'\n' + QString::fromUtf8(cltext::NothingWrittenText()));
}

void TranslationWindow::ReportGenerated(const std::string& output, const cat::GenerateReport& report)
{
    QString text = QString::fromStdString(cltext::GeneratedText(output, report));
    QStringList warnings;
    if (report.summary.notFound > 0)
        warnings.append(QStringLiteral("程序已改变，其中没有的译文 %1 条没有写入。").arg(report.summary.notFound));
    if (!report.output.droppedSignatures.empty())
        warnings.append(QString::fromStdString(cltext::DroppedSignaturesText(report.output.droppedSignatures)));
    for (const std::string& nested : report.nestedJars)
        warnings.append(QString::fromStdString(cltext::NestedJarText(nested)));
    for (const cat::UnreadablePart& part : report.unreadable)
        warnings.append(QString::fromStdString(cltext::UnreadablePartText(part)));
    for (const std::string& entry : report.unparsable)
        warnings.append(QString::fromStdString(cltext::UnparsableClassText(entry)));
    if (!warnings.isEmpty())
        text += QStringLiteral("\n\n警告：\n") + warnings.join(u'\n');
    Report(text, !warnings.isEmpty());
}
