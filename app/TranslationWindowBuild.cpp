// Building the translation window: its table, detail pane, tool bar, actions and their
// connections.

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

TranslationWindow* OpenTranslationWindow(Dialogs& dialogs, const QString& path, cl::FileSystem& fs)
{
    auto* window = new TranslationWindow(dialogs, fs);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    window->Open(path);
    return window;
}
