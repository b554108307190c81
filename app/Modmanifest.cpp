#include "Modmanifest.h"

#include "AnsiText.h"
#include "ErrorDisplay.h"
#include "EngineText.h"
#include "ErrorText.h"
#include "files/FileOps.h"
#include "ManifestGlyphs.h"
#include "text/CodePage.h"
#include "text/Utf8.h"

#include <QFile>
#include <QFont>
#include <QPlainTextEdit>
#include <QShowEvent>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <optional>
#include <string>
#include <variant>

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

QString Reason(const cl::Error& error)
{
    if (cltext::SaysCannotOpen(error))
        return QString::fromUtf8(cltext::CannotOpenText());
    return QString::fromStdString(cltext::DescribeError(error));
}

QToolButton* MakeGlyphButton(const QIcon& glyph, const QString& name, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setIcon(glyph);
    button->setIconSize(QSize(16, 16));
    button->setAutoRaise(true);  // flat: the border shows only under the mouse
    button->setFixedSize(23, 22);
    button->setFocusPolicy(Qt::NoFocus);  // the text box keeps the keyboard
    return button;
}

}  // namespace

TForm2::TForm2(Dialogs& dialogs, FileDialogSpec& dlgOpen3, QWidget* parent)
    : QDialog(parent), dialogs_(dialogs), dlgOpen3_(dlgOpen3), fs_(&cl::NativeFileSystem())
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("MANIFEST.MF"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);

    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"), QStringLiteral("SimSun"),
                      QStringLiteral("WenQuanYi Micro Hei")});
    font.setPixelSize(11);
    setFont(font);

    tlb1 = new QToolBar(this);
    tlb1->setObjectName(QStringLiteral("tlb1"));
    tlb1->setMovable(false);
    tlb1->setFloatable(false);
    tlb1->setIconSize(QSize(16, 16));
    tlb1->setFixedHeight(25);  // after setIconSize, which resets the toolbar's size limits
    // Placed by hand rather than by the toolbar's layout, which would add the style's margins.
    btn1 = MakeGlyphButton(OpenFolderGlyph(), QStringLiteral("btn1"), tlb1);
    btn1->move(0, 2);
    btn2 = MakeGlyphButton(FloppyDiskGlyph(), QStringLiteral("btn2"), tlb1);
    btn2->move(23, 2);

    mmo1 = new QPlainTextEdit(this);
    mmo1->setObjectName(QStringLiteral("mmo1"));
    mmo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    mmo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    mmo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(tlb1);
    layout->addWidget(mmo1);

    // The client area of a 395 x 319 window with the classic 4-pixel border and caption; the
    // window manager adds its own frame around it.
    move(362, 225);
    resize(387, 285);

    connect(btn1, &QToolButton::clicked, this, &TForm2::btn1Click);
    connect(btn2, &QToolButton::clicked, this, &TForm2::btn2Click);
}

bool TForm2::OpenManifest(const QString& path, QWidget* owner)
{
    cl::OpenRequest request;
    request.path = NativePath(path);
    request.kind = cl::DocumentKind::Manifest;
    cl::Result<cl::OpenedDocument> opened = cl::Document::Open(request, {}, *fs_);
    if (!opened) {
        // The previous manifest stays the one being edited: nothing half-opened to save over.
        dialogs_.ShowError(owner, Reason(opened.error()), kErrorCaption);
        return false;
    }
    cl::OpenedDocument& result = *opened;
    manifest_ = std::move(result.document);

    // The file itself is untouched and saving replaces it atomically, so the user still gets
    // it, but learns that there is no copy of it as opened.
    if (result.backupError)
        dialogs_.ShowError(owner, Reason(*result.backupError), kErrorCaption);
    return true;
}

QString TForm2::manifestPath() const
{
    return DisplayPath(manifest_.Path());
}

bool TForm2::IsModified() const
{
    return BoxText() != ShownText;
}

void TForm2::RefreshMemo()
{
    const QString text = FromAnsi(cl::DecodeUtf8ToAnsi(manifestBytes()));
    if (text.contains(QStringLiteral("\r\n")))
        lineBreak_ = QStringLiteral("\r\n");
    else if (text.contains(u'\n'))
        lineBreak_ = QStringLiteral("\n");
    else if (text.contains(u'\r'))
        lineBreak_ = QStringLiteral("\r");
    else
        lineBreak_ = QStringLiteral("\r\n");  // as jar writes manifests
    mmo1->setPlainText(text);
    ShownText = BoxText();
}

cl::ByteString TForm2::BoxText() const
{
    QString text = mmo1->toPlainText();
    if (lineBreak_ != QStringLiteral("\n"))
        text.replace(u'\n', lineBreak_);
    return ToAnsi(text);
}

bool TForm2::WriteManifest()
{
    const std::vector<std::string> outside = cl::CharactersOutsideCodePage(mmo1->toPlainText().toStdString());
    if (!outside.empty()) {
        // They would be stored as '?': nothing is written, and the text stays for the user to mend.
        dialogs_.ShowError(this,
                           QString::fromStdString(cltext::OutsideCodePageText(outside)) +
                               QStringLiteral("\n文件没有保存。"),
                           kErrorCaption);
        return false;
    }
    // The document takes the new bytes only once they are on disk.
    const cl::ByteString text = BoxText();
    if (const cl::Status saved = manifest_.SaveBytes(cl::EncodeUtf8FromAnsi(text), *fs_); !saved) {
        dialogs_.ShowError(this, Reason(saved.error()), kErrorCaption);
        return false;
    }
    // What is on disk is what the box shows: every way of saving (the save button, the question
    // before opening another file or closing) leaves nothing to ask about afterwards.
    ShownText = text;
    return true;
}

Dialogs::Answer TForm2::AskToSave()
{
    return dialogs_.Ask(this, QStringLiteral("数据已经被修改，是否保存文件？"), QStringLiteral("是否保存文件"),
                        Dialogs::Answer::Yes);
}

void TForm2::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())  // not when the window is merely restored
        Guarded(dialogs_, this, [this] { FormShow(); });
}

void TForm2::FormShow()
{
    RefreshMemo();
}

void TForm2::reject()
{
    bool CanClose = true;
    bool asked = false;
    // An error inside the question keeps the window open, with the text as it stands.
    Guarded(dialogs_, this, [&] {
        FormCloseQuery(CanClose);
        asked = true;
    });
    if (asked && CanClose)
        QDialog::reject();
}

void TForm2::FormCloseQuery(bool& CanClose)
{
    if (!IsModified())
        return;
    switch (AskToSave()) {
        case Dialogs::Answer::Yes:
            // A failed save keeps the window open so that the text is not lost.
            CanClose = WriteManifest();
            break;
        case Dialogs::Answer::No: break;
        default: CanClose = false; break;
    }
}

void TForm2::btn1Click()
{
    Guarded(dialogs_, this, [this] {
        const std::optional<QString> path = dialogs_.OpenFile(this, dlgOpen3_);
        if (!path)
            return;
        if (IsModified()) {
            switch (AskToSave()) {
                case Dialogs::Answer::Yes:
                    if (!WriteManifest())
                        return;
                    break;
                case Dialogs::Answer::No: RefreshMemo(); break;
                default: return;
            }
        }
        if (!OpenManifest(*path, this))
            return;
        RefreshMemo();
    });
}

void TForm2::btn2Click()
{
    Guarded(dialogs_, this, [this] { WriteManifest(); });
}
