#include "Main.h"

#include "AnsiText.h"
#include "ErrorDisplay.h"
#include "EngineText.h"
#include "ErrorText.h"
#include "files/FileOps.h"
#include "ListHeader.h"
#include "RoleText.h"
#include "Modmanifest.h"
#include "document/Replace.h"
#include "scan/Scanner.h"
#include "StringListModel.h"
#include "TranslationWindow.h"
#include "text/CodePage.h"
#include "text/Utf8.h"
#include "WindowFont.h"

#include <QFile>
#include <QFileInfo>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTableView>

#include <variant>

namespace {

// The client area the controls were laid out for; they keep their distances to its right and
// bottom edges when the window is resized.
constexpr int kDesignWidth = 582;
constexpr int kDesignHeight = 506;
constexpr int kPnl2Height = 55;

const QString kErrorCaption = QStringLiteral("错误");
const QString kOnlyTranslatableKey = QStringLiteral("list/onlyTranslatable");

std::string NativePath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

QString DisplayPath(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

QPushButton* MakeButton(const QString& name, const QString& text, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    // Enter on a button that has the focus presses that button.
    button->setAutoDefault(true);
    return button;
}

QLabel* MakeLabel(const QString& name, const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    return label;
}

}  // namespace

std::unique_ptr<TForm1> TForm1::Create(Dialogs& dialogs, const QString& filterFolder, cl::FileSystem& fs)
{
    cl::Result<cl::FilterList> filter = cl::LoadFilterList(NativePath(filterFolder), fs);
    if (!filter) {
        ShowTopLevelError(dialogs, nullptr, QString::fromStdString(cltext::WordListUnreadableText(filter.error())));
        return nullptr;
    }
    auto form = std::make_unique<TForm1>(dialogs, std::move(*filter));
    form->SetFileSystem(fs);
    return form;
}

TForm1::TForm1(Dialogs& dialogs, cl::FilterList filter, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      dialogs_(dialogs), fs_(&cl::NativeFileSystem()), filter_(std::move(filter))
{
    setObjectName(QStringLiteral("TForm1"));

    setFont(MainWindowFont());
    setWindowTitle(BaseTitle());
    resize(kDesignWidth, kDesignHeight);
    move(259, 101);
    setMinimumHeight(kDesignHeight);

    dlgOpen1.filter = QStringLiteral("*.class (*.class);;*.* (*)");
    dlgOpen1.defaultSuffix = QStringLiteral("class");
    dlgOpen2.filter = QStringLiteral("*.* (*)");
    dlgOpen3.filter = QStringLiteral("MANIFEST.MF (MANIFEST.MF);;*.* (*)");
    dlgSave1.filter = QStringLiteral("*.txt (*.txt);;*.* (*)");
    dlgSave1.defaultSuffix = QStringLiteral("txt");
    dlgOpen4.filter = QStringLiteral("Java 程序 (*.jar *.zip *.class);;*.* (*)");
    setAcceptDrops(true);

    BuildControls();
    SetTabOrder();
    PlaceControls();
    FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::SetFileSystem(cl::FileSystem& fs)
{
    fs_ = &fs;
    if (form2_ != nullptr)
        form2_->SetFileSystem(fs);
}

QString TForm1::BaseTitle()
{
    return QStringLiteral("java Class 汉化工具(TALWENDE 专用版)");
}

const cl::StringList& TForm1::List() const
{
    return model_->List();
}

void TForm1::BuildControls()
{
    pnl1 = new QFrame(this);
    pnl1->setObjectName(QStringLiteral("pnl1"));
    pnl1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    pnl1->setLineWidth(1);

    model_ = new StringListModel(document_.RowsForView(), this);
    model_->SetRoles(&document_.RowRoles());
    model_->SetUses(&document_.RowUses());
    lv1 = new QTableView(pnl1);
    lv1->setObjectName(QStringLiteral("lv1"));
    lv1->setHorizontalHeader(new ListHeader(lv1));
    lv1->setModel(model_);
    lv1->setShowGrid(true);
    lv1->setSelectionBehavior(QAbstractItemView::SelectRows);
    lv1->setSelectionMode(QAbstractItemView::SingleSelection);
    lv1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lv1->setTabKeyNavigation(false);
    lv1->setWordWrap(false);
    lv1->setCornerButtonEnabled(false);
    lv1->setAlternatingRowColors(false);
    // Fixed row heights keep a list of a million rows as fast as a short one.
    QHeaderView* rows = lv1->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(fontMetrics().height() + 4);
    QHeaderView* columns = lv1->horizontalHeader();
    columns->setMinimumSectionSize(0);
    columns->setStretchLastSection(false);
    columns->setHighlightSections(false);
    columns->setSectionsClickable(false);
    columns->setSectionsMovable(false);
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The caption column takes whatever the other two leave; the status column starts closed
    // but can be dragged open.
    columns->setSectionResizeMode(StringListModel::CaptionColumn, QHeaderView::Stretch);
    columns->setSectionResizeMode(StringListModel::ByteLengthColumn, QHeaderView::Interactive);
    columns->setSectionResizeMode(StringListModel::StatusColumn, QHeaderView::Interactive);
    columns->resizeSection(StringListModel::ByteLengthColumn, 90);
    columns->resizeSection(StringListModel::StatusColumn, 0);
    columns->setSectionResizeMode(StringListModel::RoleColumn, QHeaderView::Interactive);
    columns->resizeSection(StringListModel::RoleColumn, 56);
    // Selected rows: white text on the highlight, whether or not the list has the focus.
    QPalette listPalette = lv1->palette();
    const QColor highlight = listPalette.color(QPalette::Active, QPalette::Highlight);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        listPalette.setColor(group, QPalette::Highlight, highlight);
        listPalette.setColor(group, QPalette::HighlightedText, Qt::white);
    }
    lv1->setPalette(listPalette);
    lv1->viewport()->installEventFilter(this);
    lv1->installEventFilter(this);
    connect(lv1->selectionModel(), &QItemSelectionModel::selectionChanged, this, &TForm1::lv1SelectItem);

    pnl2 = new QFrame(this);
    pnl2->setObjectName(QStringLiteral("pnl2"));
    pnl2->setFrameStyle(QFrame::NoFrame);

    mmo1 = new QPlainTextEdit(pnl2);
    mmo1->setObjectName(QStringLiteral("mmo1"));
    mmo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    mmo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    mmo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    mmo1->setTabChangesFocus(true);
    mmo1->installEventFilter(this);
    connect(mmo1, &QPlainTextEdit::textChanged, this, &TForm1::mmo1Change);

    lbl2 = MakeLabel(QStringLiteral("lbl2"), QStringLiteral("0"), pnl2);
    btn1 = MakeButton(QStringLiteral("btn1"), QStringLiteral("替换"), pnl2);
    btn1->setEnabled(false);
    connect(btn1, &QPushButton::clicked, this, &TForm1::btn1Click);

    lbl1 = MakeLabel(QStringLiteral("lbl1"), QString(), this);
    lbl1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    grp1 = new QGroupBox(QStringLiteral("ANSI<->UTF-8"), this);
    grp1->setObjectName(QStringLiteral("grp1"));
    lbl3 = MakeLabel(QStringLiteral("lbl3"), QStringLiteral("ANSI"), grp1);
    edt2 = new QLineEdit(grp1);
    edt2->setObjectName(QStringLiteral("edt2"));
    edt2->installEventFilter(this);
    btn5 = MakeButton(QStringLiteral("btn5"), QStringLiteral("↓"), grp1);
    btn6 = MakeButton(QStringLiteral("btn6"), QStringLiteral("↑"), grp1);
    lbl4 = MakeLabel(QStringLiteral("lbl4"), QStringLiteral("UTF-8"), grp1);
    edt3 = new QLineEdit(grp1);
    edt3->setObjectName(QStringLiteral("edt3"));
    edt3->installEventFilter(this);
    connect(btn5, &QPushButton::clicked, this, &TForm1::btn5Click);
    connect(btn6, &QPushButton::clicked, this, &TForm1::btn6Click);

    grp2 = new QGroupBox(QStringLiteral("汉化功能"), this);
    grp2->setObjectName(QStringLiteral("grp2"));
    btn2 = MakeButton(QStringLiteral("btn2"), QStringLiteral("打开Class"), grp2);
    btn4 = MakeButton(QStringLiteral("btn4"), QStringLiteral("打开语言包"), grp2);
    btn7 = MakeButton(QStringLiteral("btn7"), QStringLiteral("打开MANIFEST"), grp2);
    btn8 = MakeButton(QStringLiteral("btn8"), QStringLiteral("导出文本"), grp2);
    btn3 = MakeButton(QStringLiteral("btn3"), QStringLiteral("保存文件"), grp2);
    btn8->setEnabled(false);
    btn3->setEnabled(false);

    chk1 = new QCheckBox(QStringLiteral("只显示可翻译的字符串"), this);
    chk1->setObjectName(QStringLiteral("chk1"));
    chk1->setChecked(QSettings().value(kOnlyTranslatableKey, false).toBool());
    connect(chk1, &QCheckBox::clicked, this, &TForm1::chk1Click);
    btn9 = MakeButton(QStringLiteral("btn9"), QStringLiteral("翻译整个程序…"), this);
    connect(btn9, &QPushButton::clicked, this, &TForm1::btn9Click);
    connect(btn2, &QPushButton::clicked, this, &TForm1::btn2Click);
    connect(btn4, &QPushButton::clicked, this, &TForm1::btn4Click);
    connect(btn7, &QPushButton::clicked, this, &TForm1::btn7Click);
    connect(btn8, &QPushButton::clicked, this, &TForm1::btn8Click);
    connect(btn3, &QPushButton::clicked, this, &TForm1::btn3Click);

    // The group boxes' contents were placed for a frame line that runs through the middle of
    // the title; some styles (Fusion) put the title above the frame, where it overlaps the
    // first row of controls.
    const QString groupStyle = QStringLiteral(
        "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 6px; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; left: 7px;"
        " padding: 0px 2px; }");
    grp1->setStyleSheet(groupStyle);
    grp2->setStyleSheet(groupStyle);

    // Places inside the panels and group boxes never change.
    lbl3->move(9, 20);
    edt2->setGeometry(40, 16, 73, 20);
    btn5->setGeometry(40, 40, 38, 17);
    btn6->setGeometry(78, 40, 35, 17);
    lbl4->move(9, 68);
    edt3->setGeometry(40, 64, 73, 20);
    lbl3->adjustSize();
    lbl4->adjustSize();
    btn2->setGeometry(22, 16, 89, 25);
    btn4->setGeometry(22, 42, 89, 25);
    btn7->setGeometry(22, 68, 89, 25);
    btn8->setGeometry(22, 94, 89, 25);
    btn3->setGeometry(22, 120, 89, 25);
}

void TForm1::SetTabOrder()
{
    // List and replacement first, then the converter, then the file buttons in their group's
    // order: open class, open language pack, save, open manifest, export.
    const QList<QWidget*> order{lv1, mmo1, btn1, edt2, btn5, btn6, edt3, btn2, btn4, btn3, btn7, btn8};
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void TForm1::PlaceControls()
{
    const int w = width();
    const int h = height();
    const int right = w - kDesignWidth;    // shift for controls that keep to the right edge
    const int bottom = h - kDesignHeight;  // shift for controls that keep to the bottom edge

    pnl2->setGeometry(0, h - kPnl2Height, w, kPnl2Height);
    mmo1->setGeometry(0, 2, std::max(0, 429 + right), 49);
    lbl2->move(432 + right, 18);
    lbl2->adjustSize();
    btn1->setGeometry(462 + right, 11, 89, 25);

    pnl1->setGeometry(0, 0, std::max(0, 428 + right), std::max(0, h - kPnl2Height));
    lv1->setGeometry(pnl1->contentsRect());

    lbl1->move(440 + right, 24);
    lbl1->adjustSize();
    // In the free space below the about text, clear of every control placed above.
    chk1->setGeometry(436 + right, 130, 146, 20);
    // Between the check box and the converter, its right edge on the other buttons' right edge.
    btn9->setGeometry(444 + right, 165, 107, 25);
    grp1->setGeometry(440 + right, 203 + bottom, 129, 89);
    grp2->setGeometry(440 + right, 299 + bottom, 129, 150);
}

void TForm1::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    PlaceControls();
}

void TForm1::closeEvent(QCloseEvent* event)
{
    bool canClose = true;
    FormCloseQuery(canClose);
    if (canClose)
        event->accept();
    else
        event->ignore();
}

void TForm1::FormCloseQuery(bool& CanClose)
{
    // Stays open when the question or the save goes wrong.
    bool answered = false;
    Guarded(dialogs_, this, [&] { answered = SaveChangesFirst(); });
    CanClose = answered;
}

void TForm1::FormCreate()
{
    lbl1->setText(
        QStringLiteral("Java Class 汉化程序\n"
                       "\n"
                       "版本:0.02\n"
                       "作者:classlingo 开发组\n"
                       "鸣谢:试用并指正的译者\n"
                       "版权所有,保留一切权利"));
    lbl1->adjustSize();
}

int TForm1::SelectedRow() const
{
    const QModelIndexList selected = lv1->selectionModel()->selectedRows();
    return selected.isEmpty() ? -1 : selected.first().row();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lv1->viewport() && event->type() == QEvent::MouseButtonPress) {
        // A click on empty space below the rows deselects the selected row.
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (!lv1->indexAt(mouse->position().toPoint()).isValid())
            lv1->selectionModel()->clearSelection();
        return false;
    }
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            const bool plain = (key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) == 0;
            // Replace is the default button from the first change of the replacement box on.
            if (plain && replaceIsDefault_ && btn1->isEnabled()) {
                btn1->click();
                return true;
            }
            // The replacement box never takes a line break.
            if (watched == mmo1)
                return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TForm1::ShowFileError(const cl::Error& error)
{
    const QString text = QString::fromUtf8(cltext::SaysCannotOpen(error) ? cltext::CannotOpenText()
                                                                         : cltext::DescribeError(error).c_str());
    dialogs_.ShowError(this, text, kErrorCaption);
}

bool TForm1::SaveImageNow()
{
    cl::Status saved = document_.Save(cl::SaveBackup::Make, *fs_);
    if (!saved && saved.error().IsBackupFailure()) {
        // The save replaces the file atomically, so the original is safe without a backup;
        // whether to go on without one is the user's choice, and No is the safe default.
        const QString question = QString::fromStdString(cltext::DescribeError(saved.error())) +
                                 QStringLiteral("\n\n无法创建备份文件，是否仍然保存？");
        if (dialogs_.AskYesNo(this, question, QStringLiteral("保存？"), Dialogs::Answer::No) != Dialogs::Answer::Yes)
            return false;
        saved = document_.Save(cl::SaveBackup::Skip, *fs_);
    }
    if (!saved) {
        ShowFileError(saved.error());
        return false;
    }
    btn3->setEnabled(document_.IsModified());
    return true;
}

bool TForm1::SaveChangesFirst()
{
    if (!document_.IsModified())
        return true;
    switch (
        dialogs_.Ask(this, QStringLiteral("数据已修改，是否保存?"), QStringLiteral("保存？"), Dialogs::Answer::Yes)) {
        case Dialogs::Answer::Yes:
            // A failed save stops the open, so the changes are not thrown away with the old file.
            return SaveImageNow();
        case Dialogs::Answer::No: return true;
        default: return false;
    }
}

void TForm1::OpenImage(FileDialogSpec& dialog, cl::DocumentKind kind)
{
    if (!SaveChangesFirst())
        return;
    const std::optional<QString> chosen = dialogs_.OpenFile(this, dialog);
    if (!chosen)
        return;

    cl::OpenRequest request;
    request.path = NativePath(*chosen);
    request.kind = kind;
    // Everything is read before anything of the window changes, so that a failed open leaves
    // the previous file, its list and the buttons as they were.
    cl::Result<cl::OpenedDocument> opened = cl::Document::Open(request, filter_, *fs_);
    if (!opened) {
        ShowFileError(opened.error());
        return;
    }
    cl::OpenedDocument& result = *opened;
    // Without the backup at opening the file is still safe (every save makes its own backup
    // first), so say so and go on.
    if (result.backupError)
        ShowFileError(*result.backupError);

    model_->Refill([&](cl::StringList&) { document_ = std::move(result.document); });
    setWindowTitle(BaseTitle() + QStringLiteral(" - ") + QFileInfo(*chosen).fileName());
    btn1->setEnabled(true);
    btn8->setEnabled(true);
    btn3->setEnabled(false);
    ApplyTranslatableFilter();
    // A pattern cut short by the end of the file is shown by the error display, as an error the
    // handler did not expect; the rows found before it stay listed.
    if (result.rangeError)
        ShowTopLevelError(dialogs_, this, QString::fromUtf8(cltext::RangeErrorText()));
}

void TForm1::btn2Click()
{
    Guarded(dialogs_, this, [&] { OpenImage(dlgOpen1, cl::DocumentKind::Class); });
}

void TForm1::btn4Click()
{
    Guarded(dialogs_, this, [&] { OpenImage(dlgOpen2, cl::DocumentKind::LanguagePack); });
}

void TForm1::btn7Click()
{
    Guarded(dialogs_, this, [&] {
        const std::optional<QString> chosen = dialogs_.OpenFile(this, dlgOpen3);
        if (!chosen || form2_ == nullptr)
            return;
        if (!form2_->OpenManifest(*chosen, this))
            return;
        dialogs_.ShowModal(form2_);
    });
}

QString TForm1::ReplacementText() const
{
    return captionBreaks_.Restore(mmo1->toPlainText());
}

void TForm1::btn1Click()
{
    Guarded(dialogs_, this, [&] {
        const int row = SelectedRow();
        if (row >= 0 && !MayReplaceRow(row))
            return;
        const QString typed = ReplacementText();
        const cl::ReplacementText checked = cl::Document::CheckReplacementText(typed.toStdString());
        // On the original platform the ANSI box could not even hold such characters; here the
        // box shows them, so storing '?' in their place would be a silent loss.
        if (row >= 0 && !checked.outside.empty()) {
            dialogs_.ShowError(this,
                               QString::fromStdString(cltext::OutsideCodePageText(checked.outside)) +
                                   QStringLiteral("\n没有替换。"),
                               kErrorCaption);
            return;
        }
        // The document's own encoding of the text, the one its check was made on.
        const cl::ByteString& text = checked.ansi;
        const cl::ReplaceOutcome outcome =
            model_->Patch(row, [&](cl::StringList&) { return document_.Replace(row, text); });
        switch (outcome) {
            case cl::ReplaceOutcome::TooLong:
                dialogs_.ShowError(this, QString::fromUtf8(cltext::ReplacementTooLongText()), kErrorCaption);
                break;
            case cl::ReplaceOutcome::Replaced: btn3->setEnabled(document_.IsModified()); break;
            case cl::ReplaceOutcome::NothingToDo: break;
        }
    });
}

bool TForm1::MayReplaceRow(int row)
{
    switch (document_.CheckReplacementRow(row)) {
        case cl::RowReplacement::Free: return true;
        case cl::RowReplacement::Refused:
            dialogs_.ShowError(
                this, QStringLiteral("这一行") + QString::fromUtf8(cltext::NotAConstantText()) + QStringLiteral("没有替换。"),
                kErrorCaption);
            return false;
        case cl::RowReplacement::NeedsConfirmation: break;
    }
    const cl::classfile::Role role = *document_.RoleOfRow(static_cast<size_t>(row));
    const QString question = QStringLiteral("这一行的类型是“%1”：%2\n\n仍然替换吗？")
                                 .arg(QString::fromStdString(cltext::RoleName(role)),
                                      QString::fromStdString(cltext::RoleConsequence(role)));
    return dialogs_.AskYesNo(this, question, QStringLiteral("替换？"), Dialogs::Answer::No) == Dialogs::Answer::Yes;
}

void TForm1::chk1Click()
{
    Guarded(dialogs_, this, [&] {
        QSettings().setValue(kOnlyTranslatableKey, chk1->isChecked());
        ApplyTranslatableFilter();
    });
}

void TForm1::ApplyTranslatableFilter()
{
    const std::vector<cl::classfile::Role>& roles = document_.RowRoles();
    const bool only = chk1->isChecked();
    for (int row = 0; row < model_->rowCount() && static_cast<size_t>(row) < roles.size(); ++row)
        lv1->setRowHidden(row, only && roles[static_cast<size_t>(row)] != cl::classfile::Role::Literal);
    // A hidden selected row would still be replaced by Enter: let it go.
    const int selected = SelectedRow();
    if (selected >= 0 && lv1->isRowHidden(selected))
        lv1->selectionModel()->clearSelection();
}

void TForm1::btn3Click()
{
    Guarded(dialogs_, this, [&] { SaveImageNow(); });
}

void TForm1::btn8Click()
{
    Guarded(dialogs_, this, [&] {
        dlgSave1.fileName = DisplayPath(document_.Path()) + QStringLiteral(".txt");
        const std::optional<QString> chosen = dialogs_.SaveFile(this, dlgSave1);
        if (!chosen)
            return;
        if (const cl::Status exported = document_.Export(NativePath(*chosen), *fs_); !exported)
            ShowFileError(exported.error());
    });
}

void TForm1::btn5Click()
{
    Guarded(dialogs_, this, [&] { edt3->setText(FromAnsi(cl::EncodeUtf8FromAnsi(ToAnsi(edt2->text())))); });
}

void TForm1::btn6Click()
{
    Guarded(dialogs_, this, [&] { edt2->setText(FromAnsi(cl::DecodeUtf8ToAnsi(ToAnsi(edt3->text())))); });
}

void TForm1::lv1SelectItem(const QItemSelection& selected, const QItemSelection& deselected)
{
    Guarded(dialogs_, this, [&] {
        // Selecting shows the new row's caption; deselecting (a click on empty space) puts the
        // old row's caption back.
        const QModelIndexList rows = selected.isEmpty() ? deselected.indexes() : selected.indexes();
        if (rows.isEmpty())
            return;
        const int row = rows.first().row();
        if (row < 0 || row >= model_->rowCount())
            return;
        const QString caption = FromAnsi(model_->List().rows[static_cast<size_t>(row)].Caption());
        // Remembered first: setting the text runs mmo1Change, which counts with these breaks.
        captionBreaks_ = LineBreaks::Of(caption);
        mmo1->setPlainText(caption);
    });
}

void TForm1::mmo1Change()
{
    Guarded(dialogs_, this, [&] {
        replaceIsDefault_ = true;
        btn1->setDefault(true);
        const QString typed = ReplacementText();
        // The count is of the bytes a replacement would really write, '?' for what GBK lacks;
        // such characters turn the counter red and are named in its tooltip.
        const int32_t bytes =
            cl::EncodeUtf8FromAnsi(cl::Document::CheckReplacementText(typed.toStdString()).ansi).ByteLength();
        lbl2->setText(FromAnsi(cl::ByteString::FromInteger(bytes)));
        lbl2->adjustSize();
        const std::vector<std::string> outside = cl::CharactersOutsideCodePage(typed.toStdString());
        QPalette palette = lbl2->palette();
        palette.setColor(QPalette::WindowText, outside.empty() ? this->palette().color(QPalette::WindowText)
                                                               : StringListModel::SuspiciousColor());
        lbl2->setPalette(palette);
        lbl2->setToolTip(outside.empty() ? QString() : QString::fromStdString(cltext::OutsideCodePageText(outside)));
    });
}

void TForm1::OpenProgram(const QString& path)
{
    Guarded(dialogs_, this, [&] { OpenTranslationWindow(dialogs_, path, *fs_); });
}

void TForm1::btn9Click()
{
    Guarded(dialogs_, this, [&] {
        if (const std::optional<QString> chosen = dialogs_.OpenFile(this, dlgOpen4))
            OpenTranslationWindow(dialogs_, *chosen, *fs_);
    });
}

void TForm1::dragEnterEvent(QDragEnterEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!urls.isEmpty() && urls.first().isLocalFile())
        event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return;
    event->acceptProposedAction();
    OpenProgram(urls.first().toLocalFile());
}
