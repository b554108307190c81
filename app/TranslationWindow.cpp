#include "TranslationWindow.h"

#include "text/ByteString.h"
#include "ErrorDisplay.h"
#include "FileErrorText.h"
#include "files/FileOps.h"
#include "files/FileSystem.h"
#include "TranslationModel.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QProgressDialog>
#include <QSplitter>
#include <QStatusBar>
#include <QStringListModel>
#include <QTableView>
#include <QTextCursor>
#include <QThread>
#include <QToolBar>
#include <QUndoStack>
#include <QVBoxLayout>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace cat = cl::catalogue;

struct OpenJob {
    cat::OpenOutcome outcome;
    bool hasCatalogue = false;
    std::string cataloguePath;
    cat::PoReadResult catalogue;
};

namespace {

const QString kErrorCaption = QStringLiteral("错误");

std::string NativePath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

QString DisplayPath(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

QString FromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString Quoted(const QString& text)
{
    return QStringLiteral("“") + text + QStringLiteral("”");
}

QString Quoted(const std::string& path)
{
    return Quoted(DisplayPath(path));
}

QString Because(const std::error_code& code)
{
    return code ? QStringLiteral("（") + QString::fromLocal8Bit(code.message()) + QStringLiteral("）") : QString();
}

QString FileErrorText(const cl::FileError& error)
{
    return QString::fromStdString(cltext::DescribeFileError(error));
}

QString ProgramErrorText(const cat::ProgramError& e)
{
    using Kind = cat::ProgramError::Kind;
    const QString reason = FromUtf8(e.reason);
    switch (e.kind) {
        case Kind::CannotRead:
            if (!e.file.path.empty())
                return QStringLiteral("无法读取") + Quoted(e.file.path) + Because(e.file.reason) + QStringLiteral("。");
            return QStringLiteral("无法读取") + Quoted(e.path) + Because(e.code) + QStringLiteral("。");
        case Kind::NotAProgram:
            return Quoted(e.path) + QStringLiteral("既不是 jar/zip，也不是 class 文件或文件夹。");
        case Kind::BadArchive:
            return QStringLiteral("无法读取压缩包") + Quoted(e.path) + QStringLiteral("（") + reason + QStringLiteral("）。");
        case Kind::CannotList:
            return QStringLiteral("无法列出文件夹") + Quoted(e.path) + QStringLiteral("的内容") + Because(e.code) +
                   QStringLiteral("。");
        case Kind::OutputIsInput: return QStringLiteral("输出") + Quoted(e.path) + QStringLiteral("就是原程序本身。");
        case Kind::OutputNotEmpty: return QStringLiteral("输出文件夹") + Quoted(e.path) + QStringLiteral("已存在且不为空。");
        case Kind::OutputWrongKind:
            return QStringLiteral("输出") + Quoted(e.path) + QStringLiteral("已存在，且与原程序不是同一类（文件/文件夹）。");
        case Kind::CannotWrite:
            if (!e.file.path.empty())
                return FileErrorText(e.file);
            return QStringLiteral("无法写入") + Quoted(e.path) + Because(e.code) +
                   QStringLiteral("。原程序和已有的输出保持不变。");
        case Kind::CannotMakeFolder:
            return QStringLiteral("无法建立文件夹") + Quoted(e.path) + Because(e.code) +
                   QStringLiteral("。原程序和已有的输出保持不变。");
        case Kind::ArchiveWrite:
            return QStringLiteral("无法生成压缩包") + Quoted(e.path) + QStringLiteral("（") + reason +
                   QStringLiteral("）。原程序和已有的输出保持不变。");
    }
    return {};
}

QString PoErrorText(const cat::PoReadError& e)
{
    switch (e.kind) {
        case cat::PoReadError::Kind::CannotRead:
            return QStringLiteral("无法读取目录") + Quoted(e.file.path.empty() ? e.path : e.file.path) +
                   Because(e.file.reason) + QStringLiteral("。");
        case cat::PoReadError::Kind::Syntax: {
            QString text = QStringLiteral("目录") + Quoted(e.path);
            if (e.line != 0)
                text += QStringLiteral("第 %1 行").arg(e.line);
            return text + QStringLiteral("有语法错误：") + FromUtf8(e.reason);
        }
        case cat::PoReadError::Kind::Charset:
            return QStringLiteral("目录") + Quoted(e.path) + QStringLiteral("的文本无法按其声明的字符集 ") +
                   FromUtf8(e.reason) + QStringLiteral(" 转换。");
    }
    return {};
}

QString ApplyProblemText(const cat::ApplyProblem& p)
{
    using Kind = cat::ApplyProblem::Kind;
    QString what;
    switch (p.kind) {
        case Kind::MissingSlot: what = QStringLiteral("译文缺少占位符"); break;
        case Kind::ExtraSlot: what = QStringLiteral("译文有原文没有的或重复的占位符"); break;
        case Kind::SlotOutOfOrder: what = QStringLiteral("译文的占位符顺序与原文不同"); break;
        case Kind::StrayBrace: what = QStringLiteral("译文中有单独的 { 或 }"); break;
        case Kind::ControlChar: what = QStringLiteral("译文含有控制字符 U+0001 或 U+0002"); break;
        case Kind::BadText: what = QStringLiteral("译文不是有效的 UTF-8"); break;
        case Kind::TextTooLong: what = QStringLiteral("译文超过 65535 字节"); break;
        case Kind::PoolTooLarge: what = QStringLiteral("类的常量池将超过 65535 项"); break;
        case Kind::NotReparsed: what = QStringLiteral("改写后的类无法再次解析"); break;
    }
    if (!p.msgid.empty())
        what += QStringLiteral("：“") + TranslationModel::Visible(FromUtf8(p.msgid)) + QStringLiteral("”");
    return what + QStringLiteral("（") + FromUtf8(p.classEntry) + QStringLiteral("）");
}

QString StageText(cat::WorkStage stage)
{
    switch (stage) {
        case cat::WorkStage::Reading: return QStringLiteral("正在读取程序…");
        case cat::WorkStage::Analysing: return QStringLiteral("正在分析类文件…");
        case cat::WorkStage::Checking: return QStringLiteral("正在检查译文…");
        case cat::WorkStage::Writing: return QStringLiteral("正在写入…");
    }
    return {};
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

bool SameExistingFile(const QString& a, const QString& b)
{
    const QFileInfo x(a);
    const QFileInfo y(b);
    return x.exists() && y.exists() && x.canonicalFilePath() == y.canonicalFilePath();
}

QString TrimmedPath(QString path)
{
    while (path.size() > 1 && (path.endsWith(u'/') || path.endsWith(QDir::separator())))
        path.chop(1);
    return path;
}

}  // namespace

TranslationWindow::TranslationWindow(Dialogs& dialogs, QWidget* parent) : QMainWindow(parent), dialogs_(dialogs)
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
    connect(openAction, &QAction::triggered, this, &TranslationWindow::OpenClick);
    connect(saveAction, &QAction::triggered, this, [this] { Guarded(dialogs_, this, [this] { Save(); }); });
    connect(importAction, &QAction::triggered, this, &TranslationWindow::Import);
    connect(generateAction, &QAction::triggered, this, &TranslationWindow::Generate);
    connect(nextAction, &QAction::triggered, this, &TranslationWindow::NextUntranslated);

    QToolBar* tools = addToolBar(QStringLiteral("文件"));
    tools->setObjectName(QStringLiteral("tools"));
    tools->setMovable(false);
    tools->setToolButtonStyle(Qt::ToolButtonTextOnly);
    for (QAction* action : {openAction, saveAction, importAction, generateAction})
        tools->addAction(action);
    tools->addSeparator();
    for (QAction* action : {undoAction, redoAction, nextAction})
        tools->addAction(action);

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
    stateBox->addItems({QStringLiteral("全部"), QStringLiteral("未翻译"), QStringLiteral("已翻译"), QStringLiteral("有问题")});
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
    grid->addWidget(new QLabel(QStringLiteral("使用位置（类 — 方法）"), details), 0, 1);
    grid->addWidget(placesView, 1, 1, 4, 1);
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

    connect(model_, &TranslationModel::CountsChanged, this, &TranslationWindow::UpdateCounts);
    connect(model_, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& first, const QModelIndex& last) { RowsChanged(first, last); });
    connect(model_->UndoStack(), &QUndoStack::cleanChanged, this, &TranslationWindow::UpdateTitle);

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
    return !model_->UndoStack()->isClean();
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
    QString text = QStringLiteral("已翻译 %1 / %2").arg(done).arg(total);
    if (problems > 0)
        text += QStringLiteral("（有问题 %1）").arg(problems);
    countLabel->setText(text);
    countBar->setRange(0, std::max(total, 1));
    countBar->setValue(done);
}

void TranslationWindow::UpdateActions()
{
    const bool idle = !Busy();
    openAction->setEnabled(idle);
    for (QAction* action : {saveAction, importAction, generateAction, nextAction})
        action->setEnabled(idle && IsOpen());
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

void TranslationWindow::StartJob(const QString& label, Work work, std::function<void(bool cancelled)> done)
{
    cancel_ = std::make_shared<std::atomic<bool>>(false);
    auto cancel = cancel_;
    const cat::StageReport stage = [this](cat::WorkStage what) {
        QMetaObject::invokeMethod(this, [this, what] { StageBegun(what); }, Qt::QueuedConnection);
    };
    worker_ = QThread::create([work = std::move(work), cancel, stage] { work(*cancel, stage); });
    connect(worker_, &QThread::finished, this, [this, done = std::move(done)] {
        worker_->wait();
        delete worker_;
        worker_ = nullptr;
        abandon_ = nullptr;
        progress_->reset();
        const bool cancelled = cancel_->load();
        UpdateActions();
        Guarded(dialogs_, this, [&] { done(cancelled); });
        emit JobFinished();
    });
    progress_->reset();
    progress_->setLabelText(label);
    progress_->setValue(0);  // shown only if the job is still running after a moment
    UpdateActions();
    worker_->start();
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
    if (!IsModified())
        return true;
    switch (dialogs_.Ask(this, QStringLiteral("译文已修改，是否保存?"), QStringLiteral("保存？"), Dialogs::Answer::Yes)) {
        case Dialogs::Answer::Yes: return Save();
        case Dialogs::Answer::No: return true;
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
    StartJob(
        QStringLiteral("正在打开") + Quoted(QFileInfo(TrimmedPath(path)).fileName()) + QStringLiteral("…"),
        [job, native](const std::atomic<bool>& cancel, const cat::StageReport& stage) {
            job->outcome = cat::OpenWorkProgram(native, cancel, stage);
            GiveBackFreedMemory();
            if (job->outcome.error || job->outcome.cancelled)
                return;
            cl::FileInfo info;
            if (!cl::NativeFileSystem().Stat(job->cataloguePath, info) && info.exists && info.isRegular) {
                job->hasCatalogue = true;
                job->catalogue = cat::ReadPoFile(job->cataloguePath);
            }
        },
        [this, job, path](bool cancelled) {
            if (cancelled || job->outcome.cancelled) {
                statusBar()->showMessage(QStringLiteral("已取消打开。"), 5000);
                return;
            }
            Opened(path, *job);
        });
}

void TranslationWindow::Opened(const QString& path, OpenJob& job)
{
    if (job.outcome.error) {
        ShowError(ProgramErrorText(*job.outcome.error));
        return;
    }
    const bool folder = job.outcome.program.kind == cat::ProgramKind::Folder;
    currentRow_ = -1;
    model_->Reset(std::move(job.outcome.program));
    programPath_ = path;
    programIsFolder_ = folder;
    cataloguePath_.clear();
    dlgSave.fileName.clear();
    dlgGenerate.fileName.clear();
    UpdateTitle();
    UpdateCounts();
    UpdateActions();
    if (filter_->rowCount() > 0)
        table->setCurrentIndex(filter_->index(0, TranslationModel::TranslationColumn));
    else
        ShowCurrent();
    statusBar()->showMessage(QStringLiteral("共 %1 条文本，%2 个类。")
                                 .arg(model_->rowCount())
                                 .arg(model_->Program().classNames.size()),
                             8000);
    if (job.hasCatalogue) {
        if (!job.catalogue.ok) {
            ShowError(PoErrorText(job.catalogue.error));
            return;
        }
        const TranslationModel::FillCounts counts = model_->Fill(job.catalogue.messages, false);
        cataloguePath_ = DisplayPath(job.cataloguePath);
        statusBar()->showMessage(QStringLiteral("已从%1载入译文 %2 条。").arg(Quoted(cataloguePath_)).arg(counts.filled),
                                 8000);
        ShowCurrent();
    }
}

bool TranslationWindow::Save()
{
    if (!IsOpen() || Busy())
        return false;
    QString path = cataloguePath_;
    if (path.isEmpty()) {
        if (dlgSave.fileName.isEmpty())
            dlgSave.fileName = ProposedCatalogue(programPath_);
        const std::optional<QString> chosen = dialogs_.SaveFile(this, dlgSave);
        if (!chosen)
            return false;
        path = *chosen;
    }
    const cat::WorkProgram& program = model_->Program();
    const std::string text =
        cat::WritePo({program.name, "zh_CN", "classlingo"}, model_->Catalogue(annotationsBox->isChecked()));
    if (const auto error = cl::WriteFileSafely(NativePath(path), cl::ByteString(std::string_view(text)))) {
        ShowError(FileErrorText(*error));
        return false;
    }
    cataloguePath_ = path;
    model_->UndoStack()->setClean();
    UpdateTitle();
    statusBar()->showMessage(QStringLiteral("已保存到") + Quoted(path) + QStringLiteral("。"), 5000);
    return true;
}

void TranslationWindow::Import()
{
    Guarded(dialogs_, this, [this] {
        if (!IsOpen() || Busy())
            return;
        const std::optional<QString> chosen = dialogs_.OpenFile(this, dlgImport);
        if (!chosen)
            return;
        const cat::PoReadResult catalogue = cat::ReadPoFile(NativePath(*chosen));
        if (!catalogue.ok) {
            ShowError(PoErrorText(catalogue.error));
            return;
        }
        const TranslationModel::FillCounts counts = model_->Fill(catalogue.messages, true);
        ShowCurrent();
        Report(QStringLiteral("从%1导入：\n已填入译文 %2 条；\n程序中没有的 %3 条；\n模糊（未采用）%4 条。")
                   .arg(Quoted(*chosen))
                   .arg(counts.filled)
                   .arg(counts.notFound)
                   .arg(counts.fuzzy),
               false);
    });
}

void TranslationWindow::Generate()
{
    Guarded(dialogs_, this, [this] {
        if (!IsOpen() || Busy())
            return;
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
        request->input = NativePath(programPath_);
        request->annotations = annotationsBox->isChecked();
        if (SameExistingFile(*chosen, programPath_)) {
            const QString name = QFileInfo(TrimmedPath(programPath_)).fileName();
            const QString question = QStringLiteral("生成的程序将替换原程序%1，原程序保留为%2。\n确定要替换原程序吗？")
                                         .arg(Quoted(name), Quoted(name + QStringLiteral(".bak")));
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
        request->messages = model_->MessagesToApply(request->annotations);
        const int leftOut = model_->ProblemCount(request->annotations);
        const QString output = request->inPlace ? programPath_ : *chosen;

        auto outcome = std::make_shared<cat::GenerateOutcome>();
        abandon_ = [outcome] { cat::DiscardGenerated(*outcome); };
        StartJob(
            QStringLiteral("正在生成") + Quoted(QFileInfo(output).fileName()) + QStringLiteral("…"),
            [request, outcome](const std::atomic<bool>& cancel, const cat::StageReport& stage) {
                *outcome = cat::PrepareGenerated(*request, cancel, stage);
                GiveBackFreedMemory();
            },
            [this, request, outcome, leftOut, output](bool cancelled) {
                if (cancelled || outcome->cancelled) {
                    // Too late for the worker to notice, but nothing is in place yet.
                    cat::DiscardGenerated(*outcome);
                    statusBar()->showMessage(QStringLiteral("已取消生成，没有写入任何文件。"), 5000);
                    return;
                }
                if (outcome->error) {
                    ShowError(ProgramErrorText(*outcome->error));
                    return;
                }
                if (!outcome->problems.empty()) {
                    QStringList lines;
                    for (std::size_t i = 0; i < outcome->problems.size() && i < 10; ++i)
                        lines.append(ApplyProblemText(outcome->problems[i]));
                    if (outcome->problems.size() > 10)
                        lines.append(QStringLiteral("……共 %1 处。").arg(outcome->problems.size()));
                    ShowError(lines.join(u'\n') + QStringLiteral("\n没有写入任何文件。"));
                    return;
                }
                if (const auto error = cat::CommitGenerated(*request, *outcome)) {
                    ShowError(ProgramErrorText(*error));
                    return;
                }
                const cat::ApplySummary& s = outcome->summary;
                QString text = QStringLiteral("已生成%1。\n已写入译文 %2 条，改动 %3 处、%4 个类。")
                                   .arg(Quoted(output))
                                   .arg(s.textsApplied)
                                   .arg(s.placesChanged)
                                   .arg(s.classesChanged);
                if (request->inPlace)
                    text += QStringLiteral("\n原程序保留为%1。").arg(Quoted(output + QStringLiteral(".bak")));
                QStringList warnings;
                if (leftOut > 0)
                    warnings.append(QStringLiteral("有问题的译文 %1 条没有写入（见“有问题”）。").arg(leftOut));
                if (s.notFound > 0)
                    warnings.append(QStringLiteral("程序已改变，其中没有的译文 %1 条没有写入。").arg(s.notFound));
                if (!outcome->droppedSignatures.empty()) {
                    QStringList names;
                    for (const std::string& name : outcome->droppedSignatures)
                        names.append(FromUtf8(name));
                    warnings.append(QStringLiteral("类已改变，原签名不再有效，因此去掉了签名文件：%1。生成的 jar 不再带签名。")
                                        .arg(names.join(QStringLiteral("、"))));
                }
                for (const std::string& nested : outcome->nestedJars)
                    warnings.append(QStringLiteral("嵌套的 jar %1原样复制，未翻译。").arg(Quoted(FromUtf8(nested))));
                for (const cat::UnreadablePart& part : outcome->unreadable)
                    warnings.append(QStringLiteral("无法读取%1（%2），原样复制。")
                                        .arg(Quoted(FromUtf8(part.entry)), FromUtf8(part.reason)));
                for (const std::string& entry : outcome->unparsable)
                    warnings.append(QStringLiteral("无法解析类%1，原样复制。").arg(Quoted(FromUtf8(entry))));
                if (!warnings.isEmpty())
                    text += QStringLiteral("\n\n警告：\n") + warnings.join(u'\n');
                Report(text, !warnings.isEmpty());
            });
    });
}

void TranslationWindow::NextUntranslated()
{
    const int count = filter_->rowCount();
    if (count == 0)
        return;
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
    } else {
        sourceView->setPlainText(model_->Source(currentRow_));
        places_->setStringList(model_->Places(currentRow_));
        const QString translation = model_->Translation(currentRow_);
        if (translationEdit->toPlainText() != translation) {
            translationEdit->setPlainText(translation);
            translationEdit->moveCursor(QTextCursor::End);
        }
        translationEdit->setEnabled(true);
        ShowProblem(currentRow_);
    }
    showing_ = false;
}

void TranslationWindow::ShowProblem(int row)
{
    const QString reason = TranslationModel::ProblemText(model_->Problem(row));
    problemLabel->setText(reason.isEmpty() ? QString() : reason + QStringLiteral("；此译文不会写入程序。"));
    translationEdit->setToolTip(reason);
}

void TranslationWindow::RowsChanged(const QModelIndex& first, const QModelIndex& last)
{
    if (currentRow_ < first.row() || currentRow_ > last.row())
        return;
    if (translationEdit->toPlainText() != model_->Translation(currentRow_)) {
        showing_ = true;
        translationEdit->setPlainText(model_->Translation(currentRow_));
        translationEdit->moveCursor(QTextCursor::End);
        showing_ = false;
    }
    ShowProblem(currentRow_);
    UpdateTitle();
}

void TranslationWindow::EditorChanged()
{
    if (showing_ || currentRow_ < 0)
        return;
    model_->SetTranslation(currentRow_, translationEdit->toPlainText(), true);
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
    if (canClose)
        event->accept();
    else
        event->ignore();
}

TranslationWindow* OpenTranslationWindow(Dialogs& dialogs, const QString& path)
{
    auto* window = new TranslationWindow(dialogs);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    window->Open(path);
    return window;
}
