// The manifest editor driven as the user drives it: opened, typed into, saved through its
// buttons and closed through its close box or Esc, with every question and error answered by
// ScriptedDialogs and the files on disk checked byte for byte.

#include "FailingFileSystem.h"
#include "text/ByteStringErrors.h"
#include "Main.h"
#include "Modmanifest.h"
#include "ScriptedDialogs.h"

#include <QApplication>
#include <QDir>
#include <QInputMethodEvent>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QToolBar>
#include <QToolButton>

#include <memory>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

namespace {

using Answer = Dialogs::Answer;

// A manifest as jar writes it (CR LF), with a Chinese value.
const QByteArray kManifest = QByteArray(
    "Manifest-Version: 1.0\r\n"
    "Created-By: 17 (\xE4\xB8\xAD\xE6\x96\x87)\r\n"
    "Main-Class: Main\r\n\r\n");
// The same text as the ANSI (GBK) bytes the editor holds.
const QByteArray kManifestAnsi = QByteArray(
    "Manifest-Version: 1.0\r\n"
    "Created-By: 17 (\xD6\xD0\xCE\xC4)\r\n"
    "Main-Class: Main\r\n\r\n");
const QByteArray kOther = QByteArray("Manifest-Version: 1.0\r\nClass-Path: lib/a.jar\r\n\r\n");

const QString kSaveQuestion = QStringLiteral("数据已经被修改，是否保存文件？");
const QString kSaveCaption = QStringLiteral("是否保存文件");
const QString kCannotOpen = QStringLiteral("无法打开此文件!");
const QString kErrorCaption = QStringLiteral("错误");

QByteArray Bytes(const cl::ByteString& value)
{
    return QByteArray(reinterpret_cast<const char*>(value.Bytes()), value.ByteLength());
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

// The file's bytes, or a marker that no file content can equal when it cannot be read.
QByteArray Contents(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArrayLiteral("<no such file>");
    return file.readAll();
}

QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Types Latin-1 text as key presses and anything else as an input method would commit it.
void Type(QPlainTextEdit* box, const QString& text)
{
    for (const QChar ch : text) {
        if (ch.unicode() < 0x80) {
            QTest::keyClicks(box, QString(ch));
        } else {
            QInputMethodEvent commit;
            commit.setCommitString(QString(ch));
            QApplication::sendEvent(box, &commit);
        }
    }
}

void TypeAtEnd(QPlainTextEdit* box, const QString& text)
{
    box->moveCursor(QTextCursor::End);
    Type(box, text);
}

// A file system that runs out of memory as a file is renamed into place.
class ExhaustedFileSystem : public cltest::FailingFileSystem {
public:
    std::error_code Rename(const std::string&, const std::string&) override { throw cl::OutOfMemory(); }
};

#ifdef Q_OS_UNIX
// Makes every file write beyond `limit` bytes fail (EFBIG) while it lives; root is no exception.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit lowered = saved_;
        lowered.rlim_cur = limit;
        ok_ = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved_); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool Ok() const { return ok_; }

private:
    rlimit saved_{};
    bool ok_ = false;
};
#endif

}  // namespace

class ManifestEditorTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowLayout();
    void mainWindowShowsTheEditorModally();
    void openingShowsTheTextAndBacksUp();
    void unopenableFileChangesNothing();
    void tooLargeFileIsRefusedWithItsReason();
    void failedReadChangesNothing();
    void closingUnmodifiedAsksNothing();
    void closingYesSavesTheText();
    void closingNoDropsTheEdits();
    void closingCancelKeepsTheEditorOpen();
    void restoredTextIsNotModified();
    void saveButtonWritesWithoutBackup();
    void reopeningReplacesTheBackup();
    void openAnotherYes();
    void openAnotherNo();
    void openAnotherCancelledChangesNothing();
    void openAnotherYesThenUnopenableFile();
    void openAnotherNoThenUnopenableFile();
    void emptyFile();
    void byteOrderMarkIsAnOrdinaryCharacter();
    void malformedUtf8OpensAsEmptyText();
    void zeroByteEndsTheShownText();
    void lineFeedManifestKeepsItsLineBreaks();
    void failedSaveLeavesTheManifestIntact();
    void failedBackupIsReportedAndTheFileOpens();
    void errorEscapingAHandlerIsShownAndKeepsTheText();

private:
    QString PathOf(const QString& name) const { return dir_->filePath(name); }
    // What the main window's open-manifest button does, short of the modal loop.
    bool OpenAndShow(const QString& path);
    // Edits the opened manifest: a new header on a line of its own, typed with Enter.
    void AddHeader();

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<ScriptedDialogs> dialogs_;
    std::unique_ptr<QWidget> mainWindow_;
    FileDialogSpec dlgOpen3_;
    std::unique_ptr<TForm2> form_;
};

// The text AddHeader leaves in a manifest that ended with an empty line.
static const QByteArray kEditedAnsi = kManifestAnsi + QByteArray("X-Note: \xD6\xD0\r\nB");
static const QByteArray kEditedUtf8 = kManifest + QByteArray("X-Note: \xE4\xB8\xAD\r\nB");

void ManifestEditorTest::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    dialogs_ = std::make_unique<ScriptedDialogs>();
    mainWindow_ = std::make_unique<QWidget>();
    dlgOpen3_ = FileDialogSpec{QStringLiteral("MANIFEST.MF (MANIFEST.MF);;*.* (*)"), {}, {}, {}};
    form_ = std::make_unique<TForm2>(*dialogs_, dlgOpen3_);
}

void ManifestEditorTest::cleanup()
{
    form_.reset();
    QVERIFY2(dialogs_->AllMet(),
             qPrintable(dialogs_->Problems().join(u'\n') +
                        QStringLiteral("; %1 expected dialogs not shown").arg(dialogs_->Pending())));
}

bool ManifestEditorTest::OpenAndShow(const QString& path)
{
    if (!form_->OpenManifest(path, mainWindow_.get()))
        return false;
    form_->show();
    return true;
}

void ManifestEditorTest::AddHeader()
{
    TypeAtEnd(form_->mmo1, QStringLiteral("X-Note: 中"));
    QTest::keyClick(form_->mmo1, Qt::Key_Return);
    QTest::keyClicks(form_->mmo1, QStringLiteral("B"));
}

void ManifestEditorTest::windowLayout()
{
    QVERIFY(!form_->isVisible());
    QCOMPARE(form_->windowTitle(), QStringLiteral("MANIFEST.MF"));
    QVERIFY(form_->windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(form_->windowFlags() & Qt::WindowMaximizeButtonHint);
    QVERIFY(form_->mmo1->toPlainText().isEmpty());

    const QString path = PathOf(QStringLiteral("MANIFEST.MF"));
    WriteFile(path, kManifest);
    QVERIFY(OpenAndShow(path));
    QCOMPARE(form_->pos(), QPoint(362, 225));

    // Toolbar along the top, 25 high; the two flat glyph buttons without caption or tooltip.
    QCOMPARE(form_->tlb1->geometry(), QRect(0, 0, form_->width(), 25));
    QCOMPARE(form_->btn1->geometry(), QRect(0, 2, 23, 22));
    QCOMPARE(form_->btn2->geometry(), QRect(23, 2, 23, 22));
    for (QToolButton* button : {form_->btn1, form_->btn2}) {
        QVERIFY(button->autoRaise());
        QVERIFY(button->text().isEmpty());
        QVERIFY(button->toolTip().isEmpty());
        QVERIFY(!button->icon().pixmap(16, 16).isNull());
        QCOMPARE(button->focusPolicy(), Qt::NoFocus);
    }
    QVERIFY(form_->btn1->icon().pixmap(16, 16).toImage() != form_->btn2->icon().pixmap(16, 16).toImage());

    // The box fills the rest and follows the window's size; it wraps and has no scroll bars.
    QCOMPARE(form_->mmo1->geometry(), QRect(0, 25, 387, 260));
    form_->resize(500, 400);
    QCOMPARE(form_->mmo1->geometry(), QRect(0, 25, 500, 375));
    QCOMPARE(form_->mmo1->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    QCOMPARE(form_->mmo1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(form_->mmo1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QVERIFY(!form_->mmo1->isReadOnly());

    // Enter inserts a line break into the box rather than doing anything to the window.
    form_->mmo1->moveCursor(QTextCursor::Start);
    QTest::keyClick(form_->mmo1, Qt::Key_Return);
    QVERIFY(form_->isVisible());
    QVERIFY(form_->mmo1->toPlainText().startsWith(QStringLiteral("\nManifest-Version")));
    QVERIFY(form_->IsModified());
    dialogs_->ExpectAsk(Answer::No);
    form_->close();
    QVERIFY(!form_->isVisible());
}

void ManifestEditorTest::mainWindowShowsTheEditorModally()
{
    TForm1 main(*dialogs_, cl::FilterList());
    TForm2 editor(*dialogs_, main.dlgOpen3);
    main.SetManifestEditor(&editor);
    const QString path = PathOf(QStringLiteral("MANIFEST.MF"));
    WriteFile(path, kManifest);

    // Cancelled dialog, then a file that cannot be opened: the editor is not shown.
    dialogs_->ExpectOpenCancelled();
    QTest::mouseClick(main.btn7, Qt::LeftButton);
    dialogs_->ExpectOpen(PathOf(QStringLiteral("missing.MF"))).ExpectError();
    QTest::mouseClick(main.btn7, Qt::LeftButton);
    QCOMPARE(dialogs_->LastCall().text, kCannotOpen);
    QCOMPARE(dialogs_->LastCall().owner, &main);
    QVERIFY(editor.manifestPath().isEmpty());
    QVERIFY(!QFile::exists(path + ".bak"));

    // Opened: shown modally with the file's text; edited and closed with Yes.
    bool shownWithText = false;
    dialogs_->ExpectOpen(path)
        .ExpectModal([&](QDialog& window) {
            shownWithText = window.isVisible() && editor.shownText() == cl::ByteString(kManifestAnsi.constData());
            TypeAtEnd(editor.mmo1, QStringLiteral("X-Note: 中"));
            QTest::keyClick(editor.mmo1, Qt::Key_Return);
            QTest::keyClicks(editor.mmo1, QStringLiteral("B"));
            window.close();
        })
        .ExpectAsk(Answer::Yes);
    QTest::mouseClick(main.btn7, Qt::LeftButton);
    QVERIFY(shownWithText);
    QVERIFY(!editor.isVisible());
    QCOMPARE(Contents(path), kEditedUtf8);
    QCOMPARE(Contents(path + ".bak"), kManifest);

    // Opened again: the backup now holds the saved version, and the editor's open dialog is the
    // main window's, starting from the file chosen there.
    dialogs_->ExpectOpen(path).ExpectModal([&](QDialog& window) {
        dialogs_->ExpectOpenCancelled();
        QTest::mouseClick(editor.btn1, Qt::LeftButton);
        window.close();
    });
    QTest::mouseClick(main.btn7, Qt::LeftButton);
    QCOMPARE(Contents(path + ".bak"), kEditedUtf8);
    QCOMPARE(dialogs_->LastCall().kind, ScriptedDialogs::Kind::OpenFile);
    QCOMPARE(dialogs_->LastCall().dialog.fileName, path);
    QCOMPARE(dialogs_->LastCall().dialog.filter, main.dlgOpen3.filter);
    QCOMPARE(Bytes(editor.shownText()), kEditedAnsi);
}

void ManifestEditorTest::openingShowsTheTextAndBacksUp()
{
    // A folder with a Chinese name: the path must reach the file system intact.
    QVERIFY(QDir(dir_->path()).mkdir(QStringLiteral("清单")));
    const QString path = PathOf(QStringLiteral("清单/MANIFEST.MF"));
    WriteFile(path, kManifest);

    QVERIFY(form_->OpenManifest(path, mainWindow_.get()));
    QCOMPARE(form_->manifestPath(), path);
    QCOMPARE(Bytes(form_->manifestBytes()), kManifest);
    QCOMPARE(Contents(path + ".bak"), kManifest);
    QCOMPARE(Contents(path), kManifest);
    QCOMPARE(Entries(PathOf(QStringLiteral("清单"))),
             QStringList({QStringLiteral("MANIFEST.MF"), QStringLiteral("MANIFEST.MF.bak")}));
    // Filling the box is the showing's business.
    QVERIFY(form_->mmo1->toPlainText().isEmpty());

    form_->show();
    QCOMPARE(form_->mmo1->toPlainText(),
             QString::fromUtf8(kManifest).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    QCOMPARE(Bytes(form_->shownText()), kManifestAnsi);
    QVERIFY(!form_->IsModified());
}

void ManifestEditorTest::unopenableFileChangesNothing()
{
    const QString path = PathOf(QStringLiteral("MANIFEST.MF"));
    WriteFile(path, kManifest);
    QVERIFY(OpenAndShow(path));
    form_->close();

    for (const QString& bad : {PathOf(QStringLiteral("typed-name-that-does-not-exist.MF")), dir_->path()}) {
        dialogs_->ExpectError();
        QVERIFY(!form_->OpenManifest(bad, mainWindow_.get()));
        const ScriptedDialogs::Call& call = dialogs_->LastCall();
        QCOMPARE(call.text, kCannotOpen);
        QCOMPARE(call.caption, kErrorCaption);
        QCOMPARE(call.owner, mainWindow_.get());
        QCOMPARE(form_->manifestPath(), path);
        QCOMPARE(Bytes(form_->manifestBytes()), kManifest);
        QCOMPARE(Bytes(form_->shownText()), kManifestAnsi);
    }
    QCOMPARE(Entries(dir_->path()), QStringList({QStringLiteral("MANIFEST.MF"), QStringLiteral("MANIFEST.MF.bak")}));
}

void ManifestEditorTest::tooLargeFileIsRefusedWithItsReason()
{
    const QString huge = PathOf(QStringLiteral("huge.MF"));
    {
        QFile file(huge);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(qint64(1) << 31));  // sparse: costs no disk space
    }
    dialogs_->ExpectError();
    QVERIFY(!form_->OpenManifest(huge, mainWindow_.get()));
    const ScriptedDialogs::Call& error = dialogs_->LastCall();
    QCOMPARE(error.caption, kErrorCaption);
    QVERIFY2(error.text.contains(huge) && error.text != kCannotOpen, qPrintable(error.text));
    QVERIFY(form_->manifestPath().isEmpty());
    QVERIFY(form_->manifestBytes().IsEmpty());
    QVERIFY(!QFile::exists(huge + ".bak"));
}

void ManifestEditorTest::failedReadChangesNothing()
{
    const QString first = PathOf(QStringLiteral("MANIFEST.MF"));
    const QString second = PathOf(QStringLiteral("second.mf"));
    WriteFile(first, kManifest);
    WriteFile(second, kOther);

    // Count the reads one opening takes (the backup's, then the file's own), so that the
    // last of them, the file's own, can be cut short.
    cltest::FailingFileSystem counting;
    form_->SetFileSystem(counting);
    QVERIFY(OpenAndShow(first));
    const int readsPerOpening = counting.Calls(cltest::FailStep::Read);
    QVERIFY(readsPerOpening >= 2);
    AddHeader();

    cltest::FailingFileSystem failing;
    failing.FailAt(cltest::FailStep::ShortRead, readsPerOpening);
    form_->SetFileSystem(failing);
    dialogs_->ExpectOpen(second).ExpectAsk(Answer::No).ExpectError();
    QTest::mouseClick(form_->btn1, Qt::LeftButton);
    QVERIFY(failing.Injected());
    const ScriptedDialogs::Call& error = dialogs_->LastCall();
    QCOMPARE(error.caption, kErrorCaption);
    QCOMPARE(error.owner, form_.get());
    QVERIFY2(error.text.contains(second) && error.text != kCannotOpen, qPrintable(error.text));

    // Still editing the first file, as the question's No left it; nothing to save over.
    QCOMPARE(form_->manifestPath(), first);
    QCOMPARE(Bytes(form_->manifestBytes()), kManifest);
    QCOMPARE(Bytes(form_->shownText()), kManifestAnsi);
    QVERIFY(!form_->IsModified());
    QCOMPARE(Contents(first), kManifest);
    QCOMPARE(Contents(second), kOther);
    form_->SetFileSystem(cl::NativeFileSystem());
    form_->close();
}

void ManifestEditorTest::closingUnmodifiedAsksNothing()
{
    const QString path = PathOf(QStringLiteral("MANIFEST.MF"));
    WriteFile(path, kManifest);
    QVERIFY(OpenAndShow(path));

    QSignalSpy rejected(form_.get(), &QDialog::rejected);
    form_->close();
    QVERIFY(!form_->isVisible());
    QCOMPARE(rejected.count(), 1);
    QVERIFY(dialogs_->Calls().isEmpty());
    QCOMPARE(Contents(path), kManifest);
    QCOMPARE(Contents(path + ".bak"), kManifest);
    QCOMPARE(Entries(dir_->path()), QStringList({QStringLiteral("MANIFEST.MF"), QStringLiteral("MANIFEST.MF.bak")}));
    // Hidden, the editor keeps what it had.
    QCOMPARE(form_->manifestPath(), path);
    QCOMPARE(Bytes(form_->manifestBytes()), kManifest);
    QCOMPARE(Bytes(form_->shownText()), kManifestAnsi);
}

void ManifestEditorTest::closingYesSavesTheText()
{
    const QString path = PathOf(QStringLiteral("MANIFEST.MF"));
    WriteFile(path, kManifest);
    QVERIFY(OpenAndShow(path));
    AddHeader();
    QVERIFY(form_->IsModified());

    dialogs_->ExpectAsk(Answer::Yes);
    form_->close();
    const ScriptedDialogs::Call& ask = dialogs_->LastCall();
    QCOMPARE(ask.text, kSaveQuestion);
    QCOMPARE(ask.caption, kSaveCaption);
    QCOMPARE(ask.defaultButton, Answer::Yes);
    QCOMPARE(ask.owner, form_.get());

    QVERIFY(!form_->isVisible());
    QCOMPARE(Contents(path), kEditedUtf8);
    QCOMPARE(Contents(path + ".bak"), kManifest);  // no backup at saving
    QCOMPARE(Entries(dir_->path()), QStringList({QStringLiteral("MANIFEST.MF"), QStringLiteral("MANIFEST.MF.bak")}));
    QCOMPARE(Bytes(form_->manifestBytes()), kEditedUtf8);
    QCOMPARE(Bytes(form_->shownText()), kEditedAnsi);  // saved: the text shown is the file's
    QCOMPARE(form_->manifestPath(), path);

    // The next showing starts from the bytes written.
    form_->show();
    QCOMPARE(Bytes(form_->shownText()), kEditedAnsi);
    form_->close();
}

void ManifestEditorTest::closingNoDropsTheEdits()
{
    const QString path = PathOf(QStringLiteral("MANIFEST.MF"));
    WriteFile(path, kManifest);
    QVERIFY(OpenAndShow(path));
    AddHeader();

    dialogs_->ExpectAsk(Answer::No);
    form_->close();
    QVERIFY(!form_->isVisible());
    QCOMPARE(Contents(path), kManifest);
    QCOMPARE(Bytes(form_->manifestBytes()), kManifest);
    QCOMPARE(Bytes(form_->shownText()), kManifestAnsi);

    form_->show();
    QCOMPARE(Bytes(form_->shownText()), kManifestAnsi);
    QVERIFY(!form_->mmo1->toPlainText().contains(QStringLiteral("X-Note")));
    form_->close();
    QVERIFY(!form_->isVisible());
}

void ManifestEditorTest::closingCancelKeepsTheEditorOpen()
{
    const QString path = PathOf(QStringLiteral("MANIFEST.MF"));
    WriteFile(path, kManifest);
    QVERIFY(OpenAndShow(path));
    AddHeader();
    const QString edited = form_->mmo1->toPlainText();

    dialogs_->ExpectAsk(Answer::Cancel);
    form_->close();
    QVERIFY(form_->isVisible());
    QCOMPARE(form_->mmo1->toPlainText(), edited);

    // Esc is a way of closing too, and asks again.
    dialogs_->ExpectAsk(Answer::Cancel);
    QTest::keyClick(form_->mmo1, Qt::Key_Escape);
    QCOMPARE(dialogs_->Calls().size(), 2);
    QVERIFY(form_->isVisible());
    QCOMPARE(form_->mmo1->toPlainText(), edited);
    QCOMPARE(Contents(path), kManifest);

    dialogs_->ExpectAsk(Answer::No);
    QTest::keyClick(form_->mmo1, Qt::Key_Escape);
    QVERIFY(!form_->isVisible());
    QCOMPARE(Contents(path), kManifest);
}

void ManifestEditorTest::restoredTextIsNotModified()
{
    const QString path = PathOf(QStringLiteral("MANIFEST.MF"));
    WriteFile(path, kManifest);
    QVERIFY(OpenAndShow(path));

    TypeAtEnd(form_->mmo1, QStringLiteral("ab"));
    QTest::keyClick(form_->mmo1, Qt::Key_Return);
    QVERIFY(form_->IsModified());
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(form_->mmo1, Qt::Key_Backspace);
    QVERIFY(!form_->IsModified());

    // A changed case is a change.
    form_->mmo1->moveCursor(QTextCursor::Start);
    QTest::keyClick(form_->mmo1, Qt::Key_Delete);
    QTest::keyClicks(form_->mmo1, QStringLiteral("m"));
    QVERIFY(form_->IsModified());
    QTest::keyClick(form_->mmo1, Qt::Key_Backspace);
    QTest::keyClicks(form_->mmo1, QStringLiteral("M"));
    QVERIFY(!form_->IsModified());

    form_->close();  // asks nothing
    QVERIFY(!form_->isVisible());
    QCOMPARE(Contents(path), kManifest);
}

void ManifestEditorTest::saveButtonWritesWithoutBackup()
{
    const QString path = PathOf(QStringLiteral("MANIFEST.MF"));
    WriteFile(path, kManifest);
    QVERIFY(OpenAndShow(path));
    AddHeader();

    QTest::mouseClick(form_->btn2, Qt::LeftButton);
    QVERIFY(dialogs_->Calls().isEmpty());
    QCOMPARE(Contents(path), kEditedUtf8);
    QCOMPARE(Contents(path + ".bak"), kManifest);
    QCOMPARE(Entries(dir_->path()), QStringList({QStringLiteral("MANIFEST.MF"), QStringLiteral("MANIFEST.MF.bak")}));
    QCOMPARE(Bytes(form_->manifestBytes()), kEditedUtf8);
    QCOMPARE(Bytes(form_->shownText()), kEditedAnsi);
    QVERIFY(!form_->IsModified());

    // Saving unmodified text still writes the file, from the text shown.
    WriteFile(path, QByteArrayLiteral("changed behind the editor's back"));
    QTest::mouseClick(form_->btn2, Qt::LeftButton);
    QCOMPARE(Contents(path), kEditedUtf8);

    form_->close();  // asks nothing
    QVERIFY(!form_->isVisible());
}

void ManifestEditorTest::reopeningReplacesTheBackup()
{
    const QString path = PathOf(QStringLiteral("MANIFEST.MF"));
    WriteFile(path, kManifest);
    QVERIFY(OpenAndShow(path));
    AddHeader();
    QTest::mouseClick(form_->btn2, Qt::LeftButton);
    form_->close();
    QCOMPARE(Contents(path + ".bak"), kManifest);

    QVERIFY(OpenAndShow(path));
    QCOMPARE(Contents(path + ".bak"), kEditedUtf8);
    QCOMPARE(Bytes(form_->shownText()), kEditedAnsi);
    form_->close();
}

void ManifestEditorTest::openAnotherYes()
{
    const QString first = PathOf(QStringLiteral("MANIFEST.MF"));
    QVERIFY(QDir(dir_->path()).mkdir(QStringLiteral("other")));
    const QString second = PathOf(QStringLiteral("other/MANIFEST.MF"));
    WriteFile(first, kManifest);
    WriteFile(second, kOther);
    QVERIFY(OpenAndShow(first));
    AddHeader();

    dialogs_->ExpectOpen(second).ExpectAsk(Answer::Yes);
    QTest::mouseClick(form_->btn1, Qt::LeftButton);
    QCOMPARE(dialogs_->Calls().at(0).owner, form_.get());
    QCOMPARE(dialogs_->Calls().at(1).text, kSaveQuestion);
    QCOMPARE(dlgOpen3_.fileName, second);  // the main window's dialog remembers the choice

    QCOMPARE(Contents(first), kEditedUtf8);
    QCOMPARE(Contents(first + ".bak"), kManifest);
    QCOMPARE(Contents(second), kOther);
    QCOMPARE(Contents(second + ".bak"), kOther);
    QCOMPARE(form_->manifestPath(), second);
    QCOMPARE(Bytes(form_->manifestBytes()), kOther);
    QCOMPARE(form_->mmo1->toPlainText(), QStringLiteral("Manifest-Version: 1.0\nClass-Path: lib/a.jar\n\n"));
    QCOMPARE(Bytes(form_->shownText()), kOther);
    QVERIFY(form_->isVisible());

    // The save went to the file it was edited from; the new one is untouched by closing.
    form_->close();
    QCOMPARE(Contents(second), kOther);
}

void ManifestEditorTest::openAnotherNo()
{
    const QString first = PathOf(QStringLiteral("MANIFEST.MF"));
    const QString second = PathOf(QStringLiteral("second.mf"));
    WriteFile(first, kManifest);
    WriteFile(second, kOther);
    QVERIFY(OpenAndShow(first));
    AddHeader();

    dialogs_->ExpectOpen(second).ExpectAsk(Answer::No);
    QTest::mouseClick(form_->btn1, Qt::LeftButton);
    QCOMPARE(Contents(first), kManifest);
    QCOMPARE(Contents(first + ".bak"), kManifest);
    QCOMPARE(Contents(second + ".bak"), kOther);
    QCOMPARE(Entries(dir_->path()), QStringList({QStringLiteral("MANIFEST.MF"), QStringLiteral("MANIFEST.MF.bak"),
                                                 QStringLiteral("second.mf"), QStringLiteral("second.mf.bak")}));
    QCOMPARE(form_->manifestPath(), second);
    QCOMPARE(Bytes(form_->manifestBytes()), kOther);
    QCOMPARE(Bytes(form_->shownText()), kOther);
    QVERIFY(!form_->IsModified());

    // Unmodified text: choosing another file asks nothing.
    dialogs_->ExpectOpen(first);
    QTest::mouseClick(form_->btn1, Qt::LeftButton);
    QCOMPARE(form_->manifestPath(), first);
    QCOMPARE(Bytes(form_->shownText()), kManifestAnsi);
    form_->close();
}

void ManifestEditorTest::openAnotherCancelledChangesNothing()
{
    const QString first = PathOf(QStringLiteral("MANIFEST.MF"));
    const QString second = PathOf(QStringLiteral("second.mf"));
    WriteFile(first, kManifest);
    WriteFile(second, kOther);
    QVERIFY(OpenAndShow(first));
    AddHeader();
    const QString edited = form_->mmo1->toPlainText();

    // Cancelled file dialog: no question even though the text is modified.
    dialogs_->ExpectOpenCancelled();
    QTest::mouseClick(form_->btn1, Qt::LeftButton);
    QCOMPARE(dialogs_->Calls().size(), 1);

    // Cancel at the question.
    dialogs_->ExpectOpen(second).ExpectAsk(Answer::Cancel);
    QTest::mouseClick(form_->btn1, Qt::LeftButton);

    QCOMPARE(form_->manifestPath(), first);
    QCOMPARE(Bytes(form_->manifestBytes()), kManifest);
    QCOMPARE(Bytes(form_->shownText()), kManifestAnsi);
    QCOMPARE(form_->mmo1->toPlainText(), edited);
    QCOMPARE(Contents(first), kManifest);
    QCOMPARE(Entries(dir_->path()), QStringList({QStringLiteral("MANIFEST.MF"), QStringLiteral("MANIFEST.MF.bak"),
                                                 QStringLiteral("second.mf")}));
    dialogs_->ExpectAsk(Answer::No);
    form_->close();
}

void ManifestEditorTest::openAnotherYesThenUnopenableFile()
{
    const QString path = PathOf(QStringLiteral("MANIFEST.MF"));
    WriteFile(path, kManifest);
    QVERIFY(OpenAndShow(path));
    AddHeader();
    const QString edited = form_->mmo1->toPlainText();

    dialogs_->ExpectOpen(PathOf(QStringLiteral("missing.MF"))).ExpectAsk(Answer::Yes).ExpectError();
    QTest::mouseClick(form_->btn1, Qt::LeftButton);
    const ScriptedDialogs::Call& error = dialogs_->LastCall();
    QCOMPARE(error.text, kCannotOpen);
    QCOMPARE(error.caption, kErrorCaption);
    QCOMPARE(error.owner, form_.get());

    QCOMPARE(Contents(path), kEditedUtf8);  // saved before the failed open
    QCOMPARE(form_->manifestPath(), path);
    QCOMPARE(Bytes(form_->manifestBytes()), kEditedUtf8);
    QCOMPARE(form_->mmo1->toPlainText(), edited);
    QCOMPARE(Bytes(form_->shownText()), kEditedAnsi);  // the saved text is now the one shown
    QVERIFY(!form_->IsModified());

    // The text shown is the one saved: closing asks nothing and writes nothing more.
    form_->close();  // asks nothing
    QVERIFY(!form_->isVisible());
    QCOMPARE(Contents(path), kEditedUtf8);
}

void ManifestEditorTest::openAnotherNoThenUnopenableFile()
{
    const QString path = PathOf(QStringLiteral("MANIFEST.MF"));
    WriteFile(path, kManifest);
    QVERIFY(OpenAndShow(path));
    AddHeader();

    dialogs_->ExpectOpen(PathOf(QStringLiteral("missing.MF"))).ExpectAsk(Answer::No).ExpectError();
    QTest::mouseClick(form_->btn1, Qt::LeftButton);
    QCOMPARE(dialogs_->LastCall().text, kCannotOpen);

    QCOMPARE(Contents(path), kManifest);
    QCOMPARE(form_->manifestPath(), path);
    QCOMPARE(Bytes(form_->shownText()), kManifestAnsi);
    QVERIFY(!form_->mmo1->toPlainText().contains(QStringLiteral("X-Note")));
    QVERIFY(!form_->IsModified());
    form_->close();  // asks nothing
    QVERIFY(!form_->isVisible());
}

void ManifestEditorTest::emptyFile()
{
    const QString path = PathOf(QStringLiteral("MANIFEST.MF"));
    WriteFile(path, {});
    QVERIFY(OpenAndShow(path));
    QVERIFY(form_->mmo1->toPlainText().isEmpty());
    QVERIFY(form_->shownText().IsEmpty());
    QVERIFY(QFile::exists(path + ".bak"));
    QCOMPARE(Contents(path + ".bak"), QByteArray());

    // Line breaks typed into a file that has none are written as jar writes them.
    QTest::keyClicks(form_->mmo1, QStringLiteral("Manifest-Version: 1.0"));
    QTest::keyClick(form_->mmo1, Qt::Key_Return);
    QTest::mouseClick(form_->btn2, Qt::LeftButton);
    QCOMPARE(Contents(path), QByteArrayLiteral("Manifest-Version: 1.0\r\n"));
    form_->close();
}

void ManifestEditorTest::byteOrderMarkIsAnOrdinaryCharacter()
{
    const QString path = PathOf(QStringLiteral("MANIFEST.MF"));
    const QByteArray withMark = QByteArray("\xEF\xBB\xBF") + kManifest;
    WriteFile(path, withMark);
    QVERIFY(OpenAndShow(path));

    // U+FEFF has no place in the ANSI code page, so it shows as its default character.
    QCOMPARE(Bytes(form_->shownText()), QByteArray("?") + kManifestAnsi);
    QVERIFY(!form_->IsModified());
    form_->close();  // asks nothing
    QCOMPARE(Contents(path), withMark);

    form_->show();
    QTest::mouseClick(form_->btn2, Qt::LeftButton);
    QCOMPARE(Contents(path), QByteArray("?") + kManifest);  // no mark of its own
    QCOMPARE(Contents(path + ".bak"), withMark);
    form_->close();
}

void ManifestEditorTest::malformedUtf8OpensAsEmptyText()
{
    const QString path = PathOf(QStringLiteral("MANIFEST.MF"));
    // 0x80 opens a two-byte sequence that 'A' does not continue.
    const QByteArray malformed = QByteArray("Manifest-Version: 1.0\r\nX: \x80") + "A\r\n";
    WriteFile(path, malformed);
    QVERIFY(OpenAndShow(path));
    QVERIFY(dialogs_->Calls().isEmpty());  // nothing reported
    QVERIFY(form_->mmo1->toPlainText().isEmpty());
    QVERIFY(form_->shownText().IsEmpty());
    QCOMPARE(Bytes(form_->manifestBytes()), malformed);

    form_->close();  // asks nothing, writes nothing
    QCOMPARE(Contents(path), malformed);

    form_->show();
    QTest::mouseClick(form_->btn2, Qt::LeftButton);
    QCOMPARE(Contents(path), QByteArray());
    QCOMPARE(Contents(path + ".bak"), malformed);
    form_->close();
}

void ManifestEditorTest::zeroByteEndsTheShownText()
{
    const QString path = PathOf(QStringLiteral("MANIFEST.MF"));
    static const char raw[] = "Manifest-Version: 1.0\r\n\0Hidden: yes\r\n";
    const QByteArray withZero(raw, sizeof raw - 1);
    WriteFile(path, withZero);
    QVERIFY(OpenAndShow(path));
    QCOMPARE(form_->mmo1->toPlainText(), QStringLiteral("Manifest-Version: 1.0\n"));
    QCOMPARE(Bytes(form_->shownText()), QByteArrayLiteral("Manifest-Version: 1.0\r\n"));
    QVERIFY(!form_->IsModified());
    form_->close();  // asks nothing
    QCOMPARE(Contents(path), withZero);

    form_->show();
    QTest::mouseClick(form_->btn2, Qt::LeftButton);
    QCOMPARE(Contents(path), QByteArrayLiteral("Manifest-Version: 1.0\r\n"));
    QCOMPARE(Contents(path + ".bak"), withZero);
    form_->close();
}

void ManifestEditorTest::lineFeedManifestKeepsItsLineBreaks()
{
    const QString path = PathOf(QStringLiteral("MANIFEST.MF"));
    const QByteArray unixManifest = QByteArrayLiteral("Manifest-Version: 1.0\nMain-Class: Main\n");
    WriteFile(path, unixManifest);
    QVERIFY(OpenAndShow(path));
    QCOMPARE(Bytes(form_->shownText()), unixManifest);

    TypeAtEnd(form_->mmo1, QStringLiteral("Sealed: true"));
    QTest::keyClick(form_->mmo1, Qt::Key_Return);
    QTest::mouseClick(form_->btn2, Qt::LeftButton);
    QCOMPARE(Contents(path), unixManifest + "Sealed: true\n");
    form_->close();
}

void ManifestEditorTest::failedSaveLeavesTheManifestIntact()
{
#ifndef Q_OS_UNIX
    QSKIP("needs a file size limit to make writes fail");
#else
    const QString path = PathOf(QStringLiteral("MANIFEST.MF"));
    const QString second = PathOf(QStringLiteral("second.mf"));
    WriteFile(path, kManifest);
    WriteFile(second, kOther);
    QVERIFY(OpenAndShow(path));
    AddHeader();
    const QString edited = form_->mmo1->toPlainText();

    {
        // Any write past 16 bytes fails: the new content cannot be written anywhere.
        FileSizeLimit limit(16);
        QVERIFY(limit.Ok());

        dialogs_->ExpectError();
        QTest::mouseClick(form_->btn2, Qt::LeftButton);

        dialogs_->ExpectAsk(Answer::Yes).ExpectError();
        form_->close();

        dialogs_->ExpectOpen(second).ExpectAsk(Answer::Yes).ExpectError();
        QTest::mouseClick(form_->btn1, Qt::LeftButton);
    }
    const QList<ScriptedDialogs::Call>& calls = dialogs_->Calls();
    QCOMPARE(calls.size(), 6);
    for (int i : {0, 2, 5}) {
        QCOMPARE(calls.at(i).kind, ScriptedDialogs::Kind::Error);
        QCOMPARE(calls.at(i).caption, kErrorCaption);
        QCOMPARE(calls.at(i).owner, form_.get());
        QVERIFY2(calls.at(i).text.contains(path), qPrintable(calls.at(i).text));
    }

    // Nothing written, nothing lost: the editor stays open on the same file with the edits.
    QVERIFY(form_->isVisible());
    QCOMPARE(Contents(path), kManifest);
    QCOMPARE(Contents(path + ".bak"), kManifest);
    QCOMPARE(Entries(dir_->path()), QStringList({QStringLiteral("MANIFEST.MF"), QStringLiteral("MANIFEST.MF.bak"),
                                                 QStringLiteral("second.mf")}));
    QCOMPARE(form_->manifestPath(), path);
    QCOMPARE(Bytes(form_->manifestBytes()), kManifest);
    QCOMPARE(Bytes(form_->shownText()), kManifestAnsi);
    QCOMPARE(form_->mmo1->toPlainText(), edited);

    // Once writing works again the same close saves.
    dialogs_->ExpectAsk(Answer::Yes);
    form_->close();
    QVERIFY(!form_->isVisible());
    QCOMPARE(Contents(path), kEditedUtf8);
#endif
}

void ManifestEditorTest::failedBackupIsReportedAndTheFileOpens()
{
    const QString path = PathOf(QStringLiteral("MANIFEST.MF"));
    WriteFile(path, kManifest);
    // A folder where the backup should go cannot be replaced by it.
    QVERIFY(QDir(dir_->path()).mkpath(QStringLiteral("MANIFEST.MF.bak/keep")));

    dialogs_->ExpectError();
    QVERIFY(OpenAndShow(path));
    const ScriptedDialogs::Call& error = dialogs_->LastCall();
    QCOMPARE(error.caption, kErrorCaption);
    QCOMPARE(error.owner, mainWindow_.get());
    QVERIFY2(error.text.contains(QStringLiteral("MANIFEST.MF.bak")), qPrintable(error.text));

    QCOMPARE(form_->manifestPath(), path);
    QCOMPARE(Bytes(form_->shownText()), kManifestAnsi);
    QVERIFY(QFileInfo(path + ".bak").isDir());
    form_->close();
}

void ManifestEditorTest::errorEscapingAHandlerIsShownAndKeepsTheText()
{
    const QString path = PathOf(QStringLiteral("MANIFEST.MF"));
    WriteFile(path, kManifest);
    QVERIFY(OpenAndShow(path));
    AddHeader();
    const QString edited = form_->mmo1->toPlainText();

    ExhaustedFileSystem exhausted;
    form_->SetFileSystem(exhausted);
    dialogs_->ExpectStop();
    QTest::mouseClick(form_->btn2, Qt::LeftButton);
    QCOMPARE(dialogs_->LastCall().text, QStringLiteral("Out of memory."));
    QCOMPARE(dialogs_->LastCall().owner, form_.get());

    // The same error while closing with Yes: the window stays open rather than losing the text.
    dialogs_->ExpectAsk(Answer::Yes).ExpectStop();
    form_->close();
    QVERIFY(form_->isVisible());
    QCOMPARE(form_->mmo1->toPlainText(), edited);
    QCOMPARE(Contents(path), kManifest);
    QVERIFY(form_->IsModified());

    form_->SetFileSystem(cl::NativeFileSystem());
    dialogs_->ExpectAsk(Answer::Yes);
    form_->close();
    QVERIFY(!form_->isVisible());
    QCOMPARE(Contents(path), kEditedUtf8);
}

QTEST_MAIN(ManifestEditorTest)
#include "test_manifest_editor.moc"
