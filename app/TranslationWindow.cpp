#include "TranslationWindow.h"

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

struct OpenJob {
    cl::Result<cat::ProgramSession> session = cl::Error(cl::ErrorKind::Cancelled);
    bool hasCatalogue = false;
    std::string cataloguePath;
    std::optional<cl::Error> catalogueError;
    cat::ImportSummary catalogue;
};

namespace {

const QString kErrorCaption = QStringLiteral("错误");
// The class a run starts, per program, for programs with several that could.
const QString kMainClassKey = QStringLiteral("translation/runMainClass");
// Whether a run uses the user's own home rather than a scratch one.
const QString kRealHomeKey = QStringLiteral("translation/runRealHome");
// A run that ends with an error sooner than this failed as it started (a class Java cannot load,
// a missing library), rather than in the middle of what the translator was trying.
constexpr qint64 kAtOnceMs = 5000;

std::string NativePath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

QString DisplayPath(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

QString Quoted(const QString& text)
{
    return QStringLiteral("“") + text + QStringLiteral("”");
}

QString ErrorText(const cl::Error& error)
{
    return QString::fromStdString(cltext::DescribeError(error));
}

QString FromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString StageText(cat::WorkStage stage)
{
    return QString::fromStdString(cltext::StageText(stage)) + QStringLiteral("…");
}

// Reading a program takes several times its size for a moment (every class, parsed); the
// table keeps only its texts. Without this the allocator would keep the rest of the moment's
// memory resident for as long as the window stays open.
void GiveBackFreedMemory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

QString TrimmedPath(QString path)
{
    while (path.size() > 1 && (path.endsWith(u'/') || path.endsWith(QDir::separator())))
        path.chop(1);
    return path;
}

}  // namespace

TranslationWindow::TranslationWindow(Dialogs& dialogs, cl::FileSystem& fs, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs), fs_(fs)
{
    setObjectName(QStringLiteral("TranslationWindow"));
    model_ = new TranslationModel(this);
    filter_ = new TranslationFilter(this);
    filter_->setSourceModel(model_);
    places_ = new QStringListModel(this);

    dlgOpen.filter = QStringLiteral("Java 程序 (*.jar *.zip *.class);;*.* (*)");
    dlgSave.filter = QStringLiteral("PO 目录 (*.po);;*.* (*)");
    dlgSave.defaultSuffix = QStringLiteral("po");
    dlgImport.filter = QStringLiteral("PO 目录 (*.po *.pot);;*.* (*)");

    openAction = new QAction(QStringLiteral("打开…"), this);
    openAction->setShortcut(QKeySequence::Open);
    saveAction = new QAction(QStringLiteral("保存"), this);
    saveAction->setShortcut(QKeySequence::Save);
    saveAsAction = new QAction(QStringLiteral("另存为…"), this);
    saveAsAction->setShortcut(QKeySequence::SaveAs);
    importAction = new QAction(QStringLiteral("导入译文…"), this);
    generateAction = new QAction(QStringLiteral("生成…"), this);
    // Plain names: the stack's own actions would grow the tool bar with each step's name.
    QUndoStack* undo = model_->UndoStack();
    undoAction = new QAction(QStringLiteral("撤销"), this);
    undoAction->setShortcut(QKeySequence::Undo);
    undoAction->setEnabled(false);
    connect(undoAction, &QAction::triggered, undo, &QUndoStack::undo);
    connect(undo, &QUndoStack::canUndoChanged, undoAction, &QAction::setEnabled);
    redoAction = new QAction(QStringLiteral("重做"), this);
    redoAction->setEnabled(false);
    connect(redoAction, &QAction::triggered, undo, &QUndoStack::redo);
    connect(undo, &QUndoStack::canRedoChanged, redoAction, &QAction::setEnabled);
    redoAction->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    nextAction = new QAction(QStringLiteral("下一条未翻译"), this);
    nextAction->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});
    nextAction->setToolTip(QStringLiteral("下一条未翻译（Ctrl+Enter）"));
    acceptAction = new QAction(QStringLiteral("接受译文"), this);
    acceptAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_U));
    acceptAction->setToolTip(QStringLiteral("需要检查的译文无误：去掉模糊标记（Ctrl+U）"));
    acceptAction->setEnabled(false);
    connect(acceptAction, &QAction::triggered, this, &TranslationWindow::AcceptCurrent);
    connect(openAction, &QAction::triggered, this, &TranslationWindow::OpenClick);
    connect(saveAction, &QAction::triggered, this, [this] { Guarded(dialogs_, this, [this] { Save(); }); });
    connect(saveAsAction, &QAction::triggered, this, [this] { Guarded(dialogs_, this, [this] { SaveAs(); }); });
    connect(importAction, &QAction::triggered, this, &TranslationWindow::Import);
    connect(generateAction, &QAction::triggered, this, &TranslationWindow::Generate);
    connect(nextAction, &QAction::triggered, this, &TranslationWindow::NextUntranslated);
    runAction = new QAction(QStringLiteral("试运行"), this);
    runAction->setShortcut(QKeySequence(Qt::Key_F5));
    runAction->setToolTip(QStringLiteral("生成翻译后的程序，用 java 以目录的语言运行它（F5）"));
    stopAction = new QAction(QStringLiteral("停止"), this);
    stopAction->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F5));
    stopAction->setToolTip(QStringLiteral("停止试运行的程序（Shift+F5）"));
    connect(runAction, &QAction::triggered, this, &TranslationWindow::Run);
    connect(stopAction, &QAction::triggered, this, &TranslationWindow::StopRun);
    // Off unless the translator asks: a translated program that writes its settings into the real
    // home can break the original program, which reads them too.
    realHomeBox = new QCheckBox(QStringLiteral("使用真实主文件夹"), this);
    realHomeBox->setObjectName(QStringLiteral("realHomeBox"));
    realHomeBox->setToolTip(QStringLiteral("不勾选时，试运行的程序以一个临时文件夹为主文件夹（HOME、user.home），"
                                           "它写的设置在试运行结束后删除，不影响原程序；勾选后它读写你自己的主文件夹。"));
    realHomeBox->setChecked(QSettings().value(kRealHomeKey, false).toBool());
    connect(realHomeBox, &QCheckBox::toggled, this, [](bool real) { QSettings().setValue(kRealHomeKey, real); });
    // The recent programs hang below the open action, listed afresh each time they are shown.
    recentMenu = new QMenu(this);
    recentMenu->setObjectName(QStringLiteral("recentMenu"));
    openAction->setMenu(recentMenu);
    connect(recentMenu, &QMenu::aboutToShow, this, &TranslationWindow::FillRecentMenu);

    QToolBar* tools = addToolBar(QStringLiteral("文件"));
    tools->setObjectName(QStringLiteral("tools"));
    tools->setMovable(false);
    tools->setToolButtonStyle(Qt::ToolButtonTextOnly);
    for (QAction* action : {openAction, saveAction, saveAsAction, importAction, generateAction})
        tools->addAction(action);
    if (auto* open = qobject_cast<QToolButton*>(tools->widgetForAction(openAction)))
        open->setPopupMode(QToolButton::MenuButtonPopup);
    tools->addSeparator();
    for (QAction* action : {undoAction, redoAction, nextAction, acceptAction})
        tools->addAction(action);
    tools->addSeparator();
    tools->addAction(runAction);
    tools->addAction(stopAction);
    tools->addWidget(realHomeBox);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(6, 4, 6, 0);

    auto* filters = new QHBoxLayout;
    auto* searchLabel = new QLabel(QStringLiteral("查找："), central);
    searchBox = new QLineEdit(central);
    searchBox->setObjectName(QStringLiteral("searchBox"));
    searchBox->setPlaceholderText(QStringLiteral("查找"));
    searchBox->setClearButtonEnabled(true);
    searchLabel->setBuddy(searchBox);
    stateBox = new QComboBox(central);
    stateBox->setObjectName(QStringLiteral("stateBox"));
    stateBox->addItems({QStringLiteral("全部"), QStringLiteral("未翻译"), QStringLiteral("已翻译"), QStringLiteral("有问题"),
                        QStringLiteral("需要检查"), QStringLiteral("未提供")});
    stateBox->setItemData(static_cast<int>(TranslationFilter::State::Withheld),
                          QStringLiteral("程序读取而不提供翻译的文字（键、名称、模式、数据）；原因见“用途”"),
                          Qt::ToolTipRole);
    annotationsBox = new QCheckBox(QStringLiteral("包括注解"), central);
    annotationsBox->setObjectName(QStringLiteral("annotationsBox"));
    filters->addWidget(searchLabel);
    filters->addWidget(searchBox, 1);
    filters->addWidget(new QLabel(QStringLiteral("显示："), central));
    filters->addWidget(stateBox);
    filters->addWidget(annotationsBox);
    layout->addLayout(filters);
    connect(searchBox, &QLineEdit::textChanged, filter_, &TranslationFilter::SetSearch);
    connect(stateBox, &QComboBox::currentIndexChanged, this,
            [this](int index) { filter_->SetState(static_cast<TranslationFilter::State>(index)); });
    connect(annotationsBox, &QCheckBox::toggled, this, [this](bool shown) {
        filter_->SetAnnotations(shown);
        UpdateCounts();
    });

    auto* splitter = new QSplitter(Qt::Vertical, central);
    splitter->setObjectName(QStringLiteral("splitter"));
    splitter->setChildrenCollapsible(false);
    table = new QTableView(splitter);
    table->setObjectName(QStringLiteral("table"));
    table->setModel(filter_);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                           QAbstractItemView::SelectedClicked);
    table->setWordWrap(false);
    table->setTextElideMode(Qt::ElideRight);
    table->setAlternatingRowColors(true);
    table->setTabKeyNavigation(false);
    // Fixed row heights keep scrolling through tens of thousands of texts as fast as through ten.
    QHeaderView* rows = table->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(table->fontMetrics().height() + 6);
    QHeaderView* columns = table->horizontalHeader();
    columns->setHighlightSections(false);
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setStretchLastSection(true);
    const int em = table->fontMetrics().horizontalAdvance(QChar(0x4E2D));
    columns->resizeSection(TranslationModel::SourceColumn, em * 26);
    columns->resizeSection(TranslationModel::TranslationColumn, em * 22);
    columns->resizeSection(TranslationModel::UsesColumn, em * 3 + 12);
    columns->resizeSection(TranslationModel::UseColumn, em * 3 + 12);
    // A click sorts by the column, a second the other way round, a third brings back the order in
    // which the program holds its texts.
    columns->setSortIndicatorShown(true);
    columns->setSortIndicatorClearable(true);
    columns->setSortIndicator(-1, Qt::AscendingOrder);
    table->setSortingEnabled(true);
    connect(table->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { CurrentChanged(current); });

    auto* details = new QWidget(splitter);
    details->setObjectName(QStringLiteral("details"));
    auto* grid = new QGridLayout(details);
    grid->setContentsMargins(0, 4, 0, 4);
    sourceView = new QPlainTextEdit(details);
    sourceView->setObjectName(QStringLiteral("sourceView"));
    sourceView->setReadOnly(true);
    sourceView->setTabChangesFocus(true);
    placesView = new QListView(details);
    placesView->setObjectName(QStringLiteral("placesView"));
    placesView->setModel(places_);
    placesView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // A class name and a list of methods can be long: wrapped, nothing is hidden to the right.
    placesView->setWordWrap(true);
    placesView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    placesView->setResizeMode(QListView::Adjust);
    translationEdit = new QPlainTextEdit(details);
    translationEdit->setObjectName(QStringLiteral("translationEdit"));
    translationEdit->setTabChangesFocus(true);
    // Ctrl+Z belongs to the window's undo stack, which also holds the edits made here.
    translationEdit->setUndoRedoEnabled(false);
    translationEdit->setEnabled(false);
    translationEdit->installEventFilter(this);
    problemLabel = new QLabel(details);
    problemLabel->setObjectName(QStringLiteral("problemLabel"));
    problemLabel->setTextFormat(Qt::PlainText);
    problemLabel->setWordWrap(true);
    QPalette red = problemLabel->palette();
    red.setColor(QPalette::WindowText, QColor(200, 0, 0));
    problemLabel->setPalette(red);
    auto* sourceLabel = new QLabel(QStringLiteral("原文"), details);
    auto* translationLabel = new QLabel(QStringLiteral("译文（Ctrl+Enter：下一条未翻译）"), details);
    translationLabel->setBuddy(translationEdit);
    grid->addWidget(sourceLabel, 0, 0);
    grid->addWidget(sourceView, 1, 0);
    grid->addWidget(translationLabel, 2, 0);
    grid->addWidget(translationEdit, 3, 0);
    grid->addWidget(problemLabel, 4, 0);
    reviewLabel = new QLabel(details);
    reviewLabel->setObjectName(QStringLiteral("reviewLabel"));
    reviewLabel->setTextFormat(Qt::PlainText);
    reviewLabel->setWordWrap(true);
    QPalette brown = reviewLabel->palette();
    brown.setColor(QPalette::WindowText, QColor(140, 90, 0));
    reviewLabel->setPalette(brown);
    reviewLabel->hide();
    grid->addWidget(reviewLabel, 5, 0);
    useLabel = new QLabel(details);
    useLabel->setObjectName(QStringLiteral("useLabel"));
    useLabel->setTextFormat(Qt::PlainText);
    useLabel->setWordWrap(true);
    useLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(useLabel, 6, 0);
    grid->addWidget(new QLabel(QStringLiteral("使用位置（类 — 方法）"), details), 0, 1);
    grid->addWidget(placesView, 1, 1, 5, 1);
    grid->setColumnStretch(0, 3);
    grid->setColumnStretch(1, 2);
    connect(translationEdit, &QPlainTextEdit::textChanged, this, &TranslationWindow::EditorChanged);

    splitter->addWidget(table);
    splitter->addWidget(details);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);
    // The table is what the translator scans; the pane below needs a few lines of each text.
    sourceView->setMinimumHeight(table->fontMetrics().lineSpacing() * 3);
    translationEdit->setMinimumHeight(table->fontMetrics().lineSpacing() * 3);
    splitter->setSizes({440, 210});
    layout->addWidget(splitter, 1);
    setCentralWidget(central);

    countLabel = new QLabel(this);
    countLabel->setObjectName(QStringLiteral("countLabel"));
    countBar = new QProgressBar(this);
    countBar->setObjectName(QStringLiteral("countBar"));
    countBar->setTextVisible(false);
    countBar->setMaximumWidth(200);
    statusBar()->addPermanentWidget(countLabel);
    statusBar()->addPermanentWidget(countBar);

    progress_ = new QProgressDialog(this);
    progress_->setObjectName(QStringLiteral("progress"));
    progress_->setWindowTitle(QStringLiteral("请稍候"));
    progress_->setCancelButtonText(QStringLiteral("取消"));
    progress_->setWindowModality(Qt::WindowModal);
    progress_->setAutoReset(false);
    progress_->setAutoClose(true);
    progress_->setMinimumDuration(400);
    progress_->setRange(0, 5);
    progress_->reset();
    connect(progress_, &QProgressDialog::canceled, this, &TranslationWindow::CancelJob);

    runPane = new RunPane(runAction, stopAction, this);
    addDockWidget(Qt::BottomDockWidgetArea, runPane);
    runPane->hide();
    runEnvironment.path = qEnvironmentVariable("PATH");
    runEnvironment.javaHome = qEnvironmentVariable("JAVA_HOME");
    SetRunner(new QProcessRunner(this));

    recoveryFolder = recovery::DefaultFolder();
    autosaveTimer_ = new QTimer(this);
    autosaveTimer_->setObjectName(QStringLiteral("autosaveTimer"));
    autosaveTimer_->setInterval(kAutosaveMs);
    connect(autosaveTimer_, &QTimer::timeout, this, &TranslationWindow::Autosave);
    autosaveTimer_->start();
    connect(model_, &QAbstractItemModel::dataChanged, this, [this] { recoveryStale_ = true; });
    // A window still open when classlingo ends (a signal, the session ending) asks nothing.
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, &TranslationWindow::ApplicationEnding);

    connect(model_, &TranslationModel::CountsChanged, this, &TranslationWindow::UpdateCounts);
    connect(model_, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& first, const QModelIndex& last) { RowsChanged(first, last); });
    // Every edit, undo and redo may change whether anything is unsaved, which the session says.
    connect(model_->UndoStack(), &QUndoStack::indexChanged, this, &TranslationWindow::UpdateTitle);

    resize(1120, 720);
    UpdateTitle();
    UpdateCounts();
    UpdateActions();
}

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
        opened += QStringLiteral("；程序读取的 %1 条未提供").arg(facts.withheld);
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

void TranslationWindow::FillRecentMenu()
{
    recentMenu->clear();
    const QStringList programs = recent::ExistingPrograms();
    if (programs.isEmpty()) {
        recentMenu->addAction(QStringLiteral("（没有最近打开的程序）"))->setEnabled(false);
        return;
    }
    int number = 0;
    for (const QString& program : programs) {
        QString shown = QDir::toNativeSeparators(program);
        shown.replace(u'&', QStringLiteral("&&"));
        QAction* action = recentMenu->addAction(QStringLiteral("&%1 %2").arg(++number % 10).arg(shown));
        action->setData(program);
        connect(action, &QAction::triggered, this, [this, program] { Guarded(dialogs_, this, [&] { Open(program); }); });
    }
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

TranslationWindow* OpenTranslationWindow(Dialogs& dialogs, const QString& path, cl::FileSystem& fs)
{
    auto* window = new TranslationWindow(dialogs, fs);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    window->Open(path);
    return window;
}
