// The main window driven as a user drives it: opening, the state of the buttons, the
// unsaved-changes prompt, selecting and editing, Enter, replacing, saving, exporting, the
// converter and errors, with the dialogs answered by ScriptedDialogs and files checked byte
// for byte.

#include "EngineText.h"
#include "FailingFileSystem.h"
#include "FileState.h"
#include "ErrorDisplay.h"
#include "Main.h"
#include "Modmanifest.h"
#include "document/Replace.h"
#include "ScriptedDialogs.h"
#include "StringListModel.h"
#include "Java.h"
#include "TestFiles.h"
#include "WindowSession.h"

#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <memory>

using testfiles::PackEntry;
using testfiles::Utf8Entry;

namespace {

const QByteArray kHeader("\xCA\xFE\xBA\xBE\x00\x00\x00\x34", 8);
const QByteArray kWenZiUtf8("\xE6\x96\x87\xE5\xAD\x97");  // 文字
const QByteArray kWenZiGbk("\xCE\xC4\xD7\xD6");
const QByteArray kSuspiciousPrefixGbk("\x5B\xBF\xC9\xD2\xC9\xB5\xC4\x5D");  // [可疑的]
const QString kErrorCaption = QStringLiteral("错误");

// Plain strings Hello, World and 文字 around the filtered word Suspicious.
QByteArray FixtureClass()
{
    return kHeader + Utf8Entry("Hello") + QByteArray("\x07\x00\x02", 3) + Utf8Entry("Suspicious") + Utf8Entry("World") +
           Utf8Entry(kWenZiUtf8) + QByteArray("\x0C\x00\x00", 3);
}

QByteArray OtherClass()
{
    return kHeader + Utf8Entry("Another") + Utf8Entry("Second") + QByteArray("\x00\x00", 2);
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    WindowSession session_;

    TForm1& Form() { return session_.Form(); }
    const TForm1& Form() const { return session_.Form(); }
    ScriptedDialogs& Dialogs() { return session_.Dialogs(); }
    QString Path(const QString& name) const { return session_.Path(name); }
    QString Write(const QString& name, const QByteArray& bytes) { return session_.Write(name, bytes); }
    QByteArray Read(const QString& path) const { return session_.Read(path); }

    QStringList Captions() const
    {
        QStringList captions;
        const StringListModel* model = Form().Model();
        for (int row = 0; row < model->rowCount(); ++row)
            captions << model->index(row, StringListModel::CaptionColumn).data().toString();
        return captions;
    }

    void OpenClass(const QString& path)
    {
        Dialogs().ExpectOpen(path);
        Form().btn2Click();
    }

    // Selects a row and types `text` over the replacement box, as a user does.
    void SelectAndType(int row, const QString& text)
    {
        Form().lv1->selectRow(row);
        Form().mmo1->selectAll();
        QTest::keyClicks(Form().mmo1, text);
    }

    void Replace(int row, const QString& text)
    {
        Form().lv1->selectRow(row);
        Form().mmo1->setPlainText(text);
        Form().btn1Click();
    }

    // btn1, btn8, btn3
    QList<bool> States() const
    {
        return {Form().btn1->isEnabled(), Form().btn8->isEnabled(), Form().btn3->isEnabled()};
    }

private slots:
    void init()
    {
        QVERIFY(session_.Start("Suspicious\r\nNeverFound\r\n"));
        session_.AttachManifestEditor();
    }

    void cleanup()
    {
        // Unexpected dialogs and expected ones never shown.
        const QString problems = session_.Finish();
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
    }

    void startsWithNothingOpen()
    {
        QCOMPARE(States(), (QList<bool>{false, false, false}));
        QCOMPARE(Form().windowTitle(), QStringLiteral("java Class 汉化工具(TALWENDE 专用版)"));
        QVERIFY(Form().lbl1->text().startsWith(QStringLiteral("Java Class 汉化程序\n\n版本:0.02\n")));
        QVERIFY(Form().lbl1->text().count(u'\n') >= 5);
        QCOMPARE(Form().lbl2->text(), QStringLiteral("0"));
        QCOMPARE(Form().Model()->rowCount(), 0);
        QVERIFY(!Form().btn1->isDefault());
        QCOMPARE(Form().Filter().size(), size_t(2));
    }

    void openingAClassListsItsStrings()
    {
        const QString path = Write(QStringLiteral("Fixture.class"), FixtureClass());
        OpenClass(path);

        QCOMPARE(Dialogs().LastCall().dialog.filter, Form().dlgOpen1.filter);
        QCOMPARE(Captions(), (QStringList{"Hello", "World", QStringLiteral("文字"), "Suspicious"}));
        const StringListModel* model = Form().Model();
        QCOMPARE(model->index(2, StringListModel::ByteLengthColumn).data().toString(), QStringLiteral("6"));
        QCOMPARE(model->index(0, StringListModel::StatusColumn).data().toString(), QStringLiteral("2"));
        QCOMPARE(model->index(3, StringListModel::StatusColumn).data().toString(), QStringLiteral("1"));
        QCOMPARE(model->index(3, 0).data(Qt::ForegroundRole).value<QBrush>().color(), QColor(255, 0, 0));
        QVERIFY(!model->index(0, 0).data(Qt::ForegroundRole).isValid());
        QCOMPARE(Form().List().PlainRowCount, 3);
        // The offset names the tag byte, 1-based.
        QCOMPARE(Form().List().rows[0].offset, int32_t(FixtureClass().indexOf(Utf8Entry("Hello")) + 1));

        QCOMPARE(States(), (QList<bool>{true, true, false}));
        QCOMPARE(Form().windowTitle(), QStringLiteral("java Class 汉化工具(TALWENDE 专用版) - Fixture.class"));
        QCOMPARE(QString::fromStdString(Form().Image().path), path);
        QCOMPARE(Form().Image().loadedSize, int32_t(FixtureClass().size()));
        // A class file gets its backup when it is saved, not when it is opened.
        QVERIFY(!QFile::exists(path + ".bak"));
    }

    void buttonsFollowTheStateTable()
    {
        const QString path = Write(QStringLiteral("Fixture.class"), FixtureClass());
        OpenClass(path);
        QCOMPARE(States(), (QList<bool>{true, true, false}));
        Replace(1, QStringLiteral("Hi"));
        QCOMPARE(States(), (QList<bool>{true, true, true}));
        Form().btn3Click();
        QCOMPARE(States(), (QList<bool>{true, true, false}));
        Replace(1, QStringLiteral("Again"));
        QCOMPARE(States(), (QList<bool>{true, true, true}));
        Dialogs().ExpectAsk(Dialogs::Answer::No);
        OpenClass(Write(QStringLiteral("Other.class"), OtherClass()));
        QCOMPARE(States(), (QList<bool>{true, true, false}));
    }

    void cancellingTheOpenDialogOrAFailedOpenChangesNothing()
    {
        const QString path = Write(QStringLiteral("Fixture.class"), FixtureClass());
        OpenClass(path);
        Replace(0, QStringLiteral("Hey"));
        const QByteArray patched(reinterpret_cast<const char*>(Form().Image().bytes.Bytes()),
                                 Form().Image().bytes.ByteLength());
        const QString title = Form().windowTitle();

        Dialogs().ExpectAsk(Dialogs::Answer::No).ExpectOpenCancelled();
        Form().btn2Click();

        Dialogs().ExpectAsk(Dialogs::Answer::No).ExpectOpen(Path(QStringLiteral("missing.class"))).ExpectError();
        Form().btn2Click();
        const ScriptedDialogs::Call& error = Dialogs().LastCall();
        QCOMPARE(error.text, QStringLiteral("无法打开此文件!"));
        QCOMPARE(error.caption, kErrorCaption);
        QCOMPARE(error.owner, &Form());

        // A folder cannot be opened either.
        QVERIFY(QDir(session_.Folder()).mkdir(QStringLiteral("folder.class")));
        Dialogs().ExpectAsk(Dialogs::Answer::No).ExpectOpen(Path(QStringLiteral("folder.class"))).ExpectError();
        Form().btn4Click();
        QCOMPARE(Dialogs().LastCall().text, QStringLiteral("无法打开此文件!"));

        QCOMPARE(Captions(), (QStringList{"Hey", "World", QStringLiteral("文字"), "Suspicious"}));
        QCOMPARE(States(), (QList<bool>{true, true, true}));
        QCOMPARE(Form().windowTitle(), title);
        QCOMPARE(QString::fromStdString(Form().Image().path), path);
        QCOMPARE(
            QByteArray(reinterpret_cast<const char*>(Form().Image().bytes.Bytes()), Form().Image().bytes.ByteLength()),
            patched);
        QCOMPARE(Read(path), FixtureClass());
    }

    void noQuestionWhileNothingIsUnsaved()
    {
        OpenClass(Write(QStringLiteral("Fixture.class"), FixtureClass()));
        Replace(1, QStringLiteral("Hi"));
        Form().btn3Click();
        // Save is disabled again: opening asks nothing (an unexpected question fails the test).
        OpenClass(Write(QStringLiteral("Other.class"), OtherClass()));
        QCOMPARE(Captions(), (QStringList{"Another", "Second"}));
    }

    void promptYesSavesAndThenOpens()
    {
        const QString first = Write(QStringLiteral("Fixture.class"), FixtureClass());
        OpenClass(first);
        Replace(1, QStringLiteral("Hi"));

        Dialogs().ExpectAsk(Dialogs::Answer::Yes);
        OpenClass(Write(QStringLiteral("Other.class"), OtherClass()));

        const ScriptedDialogs::Call& question = Dialogs().Calls().at(Dialogs().Calls().size() - 2);
        QCOMPARE(question.kind, ScriptedDialogs::Kind::Ask);
        QCOMPARE(question.text, QStringLiteral("数据已修改，是否保存?"));
        QCOMPARE(question.caption, QStringLiteral("保存？"));
        QCOMPARE(question.defaultButton, Dialogs::Answer::Yes);
        QByteArray expected = FixtureClass();
        expected.replace(Utf8Entry("World"), Utf8Entry("Hi"));
        QCOMPARE(Read(first), expected);
        QCOMPARE(Read(first + ".bak"), FixtureClass());
        QCOMPARE(Captions(), (QStringList{"Another", "Second"}));
        QCOMPARE(States(), (QList<bool>{true, true, false}));
    }

    void promptNoDropsTheChanges()
    {
        const QString first = Write(QStringLiteral("Fixture.class"), FixtureClass());
        OpenClass(first);
        Replace(1, QStringLiteral("Hi"));
        Dialogs().ExpectAsk(Dialogs::Answer::No);
        OpenClass(Write(QStringLiteral("Other.class"), OtherClass()));
        QCOMPARE(Read(first), FixtureClass());
        QVERIFY(!QFile::exists(first + ".bak"));
        QCOMPARE(Captions(), (QStringList{"Another", "Second"}));
        QCOMPARE(States(), (QList<bool>{true, true, false}));
    }

    void promptCancelOrNoThenCancelledDialogKeepsEverything()
    {
        const QString first = Write(QStringLiteral("Fixture.class"), FixtureClass());
        OpenClass(first);
        Replace(1, QStringLiteral("Hi"));

        Dialogs().ExpectAsk(Dialogs::Answer::Cancel);  // and no open dialog after it
        Form().btn2Click();
        Dialogs().ExpectAsk(Dialogs::Answer::Cancel);
        Form().btn4Click();
        Dialogs().ExpectAsk(Dialogs::Answer::No).ExpectOpenCancelled();
        Form().btn2Click();

        QCOMPARE(Captions(), (QStringList{"Hello", "Hi", QStringLiteral("文字"), "Suspicious"}));
        QCOMPARE(States(), (QList<bool>{true, true, true}));
        QCOMPARE(Read(first), FixtureClass());
        // The changes are still there to be saved.
        Form().btn3Click();
        QByteArray expected = FixtureClass();
        expected.replace(Utf8Entry("World"), Utf8Entry("Hi"));
        QCOMPARE(Read(first), expected);
    }

    void promptYesWithAFailingSaveStopsTheOpen()
    {
        QVERIFY(QDir(session_.Folder()).mkdir(QStringLiteral("work")));
        const QString first = Write(QStringLiteral("work/Fixture.class"), FixtureClass());
        OpenClass(first);
        Replace(1, QStringLiteral("Hi"));
        QVERIFY(QDir(Path(QStringLiteral("work"))).removeRecursively());

        Dialogs().ExpectAsk(Dialogs::Answer::Yes).ExpectError();  // no open dialog: the edits would be lost
        Form().btn2Click();
        QCOMPARE(Dialogs().LastCall().caption, kErrorCaption);
        QVERIFY(!Dialogs().LastCall().text.isEmpty());
        QCOMPARE(Captions(), (QStringList{"Hello", "Hi", QStringLiteral("文字"), "Suspicious"}));
        QCOMPARE(States(), (QList<bool>{true, true, true}));
    }

    void closingWithUnsavedChangesAsksFirst()
    {
        const QString path = Write(QStringLiteral("Fixture.class"), FixtureClass());
        OpenClass(path);
        QVERIFY(Form().close());  // nothing unsaved: no question
        Form().show();

        Replace(1, QStringLiteral("Hi"));
        Dialogs().ExpectAsk(Dialogs::Answer::Cancel);
        QVERIFY(!Form().close());
        QVERIFY(Form().isVisible());
        QCOMPARE(Dialogs().LastCall().text, QStringLiteral("数据已修改，是否保存?"));
        QCOMPARE(Dialogs().LastCall().caption, QStringLiteral("保存？"));

        // Yes with a save that fails keeps the window open with the changes.
        QVERIFY(QFile::rename(path, path + ".moved"));
        QVERIFY(QDir(session_.Folder()).mkdir(QStringLiteral("Fixture.class")));  // a folder in the file's place
        Dialogs().ExpectAsk(Dialogs::Answer::Yes).ExpectError();
        QVERIFY(!Form().close());
        QVERIFY(Form().btn3->isEnabled());
        QVERIFY(QDir(session_.Folder()).rmdir(QStringLiteral("Fixture.class")));
        QVERIFY(QFile::rename(path + ".moved", path));

        Dialogs().ExpectAsk(Dialogs::Answer::Yes);
        QVERIFY(Form().close());
        QByteArray expected = FixtureClass();
        expected.replace(Utf8Entry("World"), Utf8Entry("Hi"));
        QCOMPARE(Read(path), expected);

        Form().show();
        Replace(1, QStringLiteral("Dropped"));
        Dialogs().ExpectAsk(Dialogs::Answer::No);
        QVERIFY(Form().close());
        QCOMPARE(Read(path), expected);
    }

    void selectingAndDeselectingFillsTheReplacementBox()
    {
        OpenClass(Write(QStringLiteral("Fixture.class"), FixtureClass()));
        QTableView* lv1 = Form().lv1;

        QTest::mouseClick(lv1->viewport(), Qt::LeftButton, {}, lv1->visualRect(Form().Model()->index(1, 0)).center());
        QCOMPARE(Form().SelectedRow(), 1);
        QCOMPARE(Form().mmo1->toPlainText(), QStringLiteral("World"));
        QCOMPARE(Form().lbl2->text(), QStringLiteral("5"));

        // Moving the selection ends with the new row's caption.
        QTest::keyClick(lv1, Qt::Key_Down);
        QCOMPARE(Form().SelectedRow(), 2);
        QCOMPARE(Form().mmo1->toPlainText(), QStringLiteral("文字"));
        QCOMPARE(Form().lbl2->text(), QStringLiteral("6"));

        // Typed text is replaced by the deselected row's caption when empty space is clicked.
        Form().mmo1->selectAll();
        QTest::keyClicks(Form().mmo1, QStringLiteral("typed"));
        QCOMPARE(Form().mmo1->toPlainText(), QStringLiteral("typed"));
        const QRect lastRow = lv1->visualRect(Form().Model()->index(3, 0));
        QVERIFY(lastRow.bottom() + 10 < lv1->viewport()->height());
        QTest::mouseClick(lv1->viewport(), Qt::LeftButton, {}, QPoint(20, lastRow.bottom() + 10));
        QCOMPARE(Form().SelectedRow(), -1);
        QCOMPARE(Form().mmo1->toPlainText(), QStringLiteral("文字"));

        // With no row selected Replace does nothing.
        Form().mmo1->setPlainText(QStringLiteral("nothing"));
        Form().btn1Click();
        QCOMPARE(Captions(), (QStringList{"Hello", "World", QStringLiteral("文字"), "Suspicious"}));
        QCOMPARE(States(), (QList<bool>{true, true, false}));
    }

    void byteCounterShowsTheUtf8Length()
    {
        QTest::keyClicks(Form().mmo1, QStringLiteral("abc"));
        QCOMPARE(Form().lbl2->text(), QStringLiteral("3"));
        Form().mmo1->insertPlainText(QStringLiteral("中"));
        QCOMPARE(Form().lbl2->text(), QStringLiteral("6"));
        Form().mmo1->setPlainText(QString(85, QChar(0x4E2D)));
        QCOMPARE(Form().lbl2->text(), QStringLiteral("255"));
        Form().mmo1->insertPlainText(QStringLiteral("中"));
        QCOMPARE(Form().lbl2->text(), QStringLiteral("258"));
        Form().mmo1->clear();
        QCOMPARE(Form().lbl2->text(), QStringLiteral("0"));
    }

    void enterPressesReplaceOnlyOnceItIsTheDefault()
    {
        OpenClass(Write(QStringLiteral("Fixture.class"), FixtureClass()));
        QPlainTextEdit* mmo1 = Form().mmo1;

        // Before the box first changes, Enter neither replaces nor breaks the line.
        QTest::keyClick(mmo1, Qt::Key_Return);
        QCOMPARE(mmo1->toPlainText(), QString());
        QVERIFY(!Form().btn1->isDefault());

        SelectAndType(1, QStringLiteral("Hi"));
        QVERIFY(Form().btn1->isDefault());
        QTest::keyClick(mmo1, Qt::Key_Return);
        QCOMPARE(Captions().at(1), QStringLiteral("Hi"));
        QCOMPARE(mmo1->toPlainText(), QStringLiteral("Hi"));
        QVERIFY(Form().btn3->isEnabled());

        // Shift+Enter is not Enter: nothing replaced, still no line break.
        QTest::keyClicks(mmo1, QStringLiteral("X"));
        QTest::keyClick(mmo1, Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(mmo1->toPlainText(), QStringLiteral("HiX"));
        QCOMPARE(Captions().at(1), QStringLiteral("Hi"));

        // The keypad's Enter works too, and so does Enter in the list and the converter's boxes.
        QTest::keyClick(mmo1, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(Captions().at(1), QStringLiteral("HiX"));
        mmo1->setPlainText(QStringLiteral("FromEdit"));
        QTest::keyClick(Form().edt2, Qt::Key_Return);
        QCOMPARE(Captions().at(1), QStringLiteral("FromEdit"));
        mmo1->setPlainText(QStringLiteral("FromList"));
        QTest::keyClick(Form().lv1, Qt::Key_Return);
        QCOMPARE(Captions().at(1), QStringLiteral("FromList"));

        // A button with the focus takes Enter itself.
        mmo1->setPlainText(QStringLiteral("NotThis"));
        Dialogs().ExpectSaveCancelled();
        QTest::keyClick(Form().btn8, Qt::Key_Return);
        QCOMPARE(Captions().at(1), QStringLiteral("FromList"));
    }

    void enterDoesNothingWhileReplaceIsDisabled()
    {
        QTest::keyClicks(Form().mmo1, QStringLiteral("abc"));
        QVERIFY(Form().btn1->isDefault());
        QVERIFY(!Form().btn1->isEnabled());
        QTest::keyClick(Form().mmo1, Qt::Key_Return);
        QCOMPARE(Form().mmo1->toPlainText(), QStringLiteral("abc"));
        QCOMPARE(States(), (QList<bool>{false, false, false}));
    }

    void replaceSaveAndExportWriteTheExpectedBytes()
    {
        const QString path = Write(QStringLiteral("Fixture.class"), FixtureClass());
        OpenClass(path);
        const int32_t wenZiOffset = Form().List().rows[2].offset;
        const int32_t suspiciousOffset = Form().List().rows[3].offset;

        Replace(1, QStringLiteral("Hi"));  // World (5 bytes) -> Hi (2 bytes)
        QByteArray expected = FixtureClass();
        expected.replace(Utf8Entry("World"), Utf8Entry("Hi"));
        QCOMPARE(
            QByteArray(reinterpret_cast<const char*>(Form().Image().bytes.Bytes()), Form().Image().bytes.ByteLength()),
            expected);
        QCOMPARE(Form().List().rows[2].offset, wenZiOffset - 3);
        QCOMPARE(Form().List().rows[3].offset, suspiciousOffset);  // found before World in the file
        QCOMPARE(Form().Model()->index(1, StringListModel::ByteLengthColumn).data().toString(), QStringLiteral("2"));

        Form().btn3Click();
        QCOMPARE(Read(path), expected);
        QCOMPARE(Read(path + ".bak"), FixtureClass());

        // Chinese text is written as UTF-8; a second save keeps the first save in the backup.
        Replace(0, QStringLiteral("你好"));
        Form().btn3Click();
        const QByteArray firstSave = expected;
        expected.replace(Utf8Entry("Hello"), Utf8Entry("\xE4\xBD\xA0\xE5\xA5\xBD"));
        QCOMPARE(Read(path), expected);
        QCOMPARE(Read(path + ".bak"), firstSave);

        Dialogs().ExpectSave(Path(QStringLiteral("list.txt")));
        Form().btn8Click();
        QCOMPARE(Dialogs().LastCall().dialog.fileName, path + ".txt");
        QCOMPARE(Dialogs().LastCall().dialog.filter, Form().dlgSave1.filter);
        QCOMPARE(Read(Path(QStringLiteral("list.txt"))), QByteArray("\xC4\xE3\xBA\xC3\r\nHi\r\n") + kWenZiGbk + "\r\n" +
                                                             kSuspiciousPrefixGbk + "Suspicious\r\n");

        // An existing file is overwritten without a question.
        Dialogs().ExpectSave(Path(QStringLiteral("list.txt")));
        Replace(3, QStringLiteral("Checked"));
        Form().btn8Click();
        QCOMPARE(Read(Path(QStringLiteral("list.txt"))),
                 QByteArray("\xC4\xE3\xBA\xC3\r\nHi\r\n") + kWenZiGbk + "\r\n" + kSuspiciousPrefixGbk + "Checked\r\n");
    }

    void exportProposesTheOpenedNameAndCanBeCancelled()
    {
        const QString path = Write(QStringLiteral("Fixture.class"), FixtureClass());
        OpenClass(path);
        Dialogs().ExpectSaveCancelled();
        Form().btn8Click();
        QCOMPARE(Dialogs().LastCall().dialog.fileName, path + ".txt");
        QVERIFY(!QFile::exists(path + ".txt"));
    }

    void exportFailureIsReported()
    {
        OpenClass(Write(QStringLiteral("Fixture.class"), FixtureClass()));
        Dialogs().ExpectSave(Path(QStringLiteral("no-such-folder/list.txt"))).ExpectError();
        Form().btn8Click();
        QCOMPARE(Dialogs().LastCall().caption, kErrorCaption);
        QVERIFY(!Dialogs().LastCall().text.isEmpty());
        QCOMPARE(States(), (QList<bool>{true, true, false}));
    }

    void exportOverTheOpenedFileIsRefused()
    {
        const QString path = Write(QStringLiteral("Fixture.class"), FixtureClass());
        OpenClass(path);
        Dialogs().ExpectSave(path).ExpectError();
        Form().btn8Click();
        QCOMPARE(Dialogs().LastCall().caption, kErrorCaption);
        QVERIFY(Dialogs().LastCall().text.contains(QStringLiteral("不能导出到")));
        QCOMPARE(Read(path), FixtureClass());
        QCOMPARE(States(), (QList<bool>{true, true, false}));
    }

    void overLongReplacementIsRefused()
    {
        const QString path = Write(QStringLiteral("Fixture.class"), FixtureClass());
        OpenClass(path);
        Dialogs().ExpectError();
        Replace(1, QString(86, QChar(0x4E2D)));  // 258 UTF-8 bytes
        QCOMPARE(Dialogs().LastCall().text, QString::fromUtf8(cltext::ReplacementTooLongText()));
        QCOMPARE(Dialogs().LastCall().caption, kErrorCaption);
        QCOMPARE(Captions().at(1), QStringLiteral("World"));
        QCOMPARE(Form().Image().bytes.ByteLength(), int32_t(FixtureClass().size()));
        QCOMPARE(States(), (QList<bool>{true, true, false}));

        Replace(1, QString(85, QChar(0x4E2D)));  // exactly 255
        QCOMPARE(Form().Model()->index(1, StringListModel::ByteLengthColumn).data().toString(), QStringLiteral("255"));
        Form().btn3Click();
        QByteArray expected = FixtureClass();
        QByteArray zhong255;
        for (int i = 0; i < 85; ++i)
            zhong255 += "\xE4\xB8\xAD";
        expected.replace(Utf8Entry("World"), Utf8Entry(zhong255));
        QCOMPARE(Read(path), expected);
    }

    void converterGoesBothWays()
    {
        Form().edt2->setText(QStringLiteral("文字"));
        Form().btn5Click();
        // The UTF-8 bytes E6 96 87 E5 AD 97 read as GBK.
        QCOMPARE(Form().edt3->text(), QStringLiteral("鏂囧瓧"));
        Form().edt2->clear();
        Form().btn6Click();
        QCOMPARE(Form().edt2->text(), QStringLiteral("文字"));

        Form().edt2->setText(QStringLiteral("abc"));
        Form().btn5Click();
        QCOMPARE(Form().edt3->text(), QStringLiteral("abc"));

        // GBK 涓 is E4 B8: a UTF-8 sequence cut short, so the result is empty.
        Form().edt3->setText(QStringLiteral("涓"));
        Form().btn6Click();
        QCOMPARE(Form().edt2->text(), QString());
    }

    void scanRangeErrorIsShownWithTheRowsBeforeIt_data()
    {
        QTest::addColumn<bool>("pack");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("class file ending in 0x01") << false << kHeader + Utf8Entry("Hello") + QByteArray("\x01", 1);
        QTest::newRow("class file ending in 0x01 0x00")
            << false << kHeader + Utf8Entry("Hello") + QByteArray("\x01\x00", 2);
        QTest::newRow("language pack ending in a zero byte")
            << true << QByteArray("X") + PackEntry("Hello") + QByteArray("Y\x00", 2);
    }

    void scanRangeErrorIsShownWithTheRowsBeforeIt()
    {
        QFETCH(bool, pack);
        QFETCH(QByteArray, bytes);
        const QString path = Write(QStringLiteral("Cut.bin"), bytes);
        Dialogs().ExpectOpen(path).ExpectStop();
        if (pack)
            Form().btn4Click();
        else
            Form().btn2Click();
        QCOMPARE(Dialogs().LastCall().text, QStringLiteral("Range check error."));
        QCOMPARE(Dialogs().LastCall().caption, QStringLiteral("test_main_window"));
        QCOMPARE(Dialogs().LastCall().owner, &Form());
        QCOMPARE(Captions(), QStringList{"Hello"});
        QCOMPARE(States(), (QList<bool>{true, true, false}));
        QCOMPARE(Form().windowTitle(), TForm1::BaseTitle() + QStringLiteral(" - Cut.bin"));
        // The window carries on: the listed row can be replaced and saved.
        Replace(0, QStringLiteral("Hey"));
        Form().btn3Click();
        QByteArray expected = bytes;
        expected.replace(QByteArray("\x05Hello", 6), QByteArray("\x03Hey", 4));
        QCOMPARE(Read(path), expected);
    }

    void saveFailureIsShownAndSaveStaysEnabled()
    {
        QVERIFY(QDir(session_.Folder()).mkdir(QStringLiteral("work")));
        const QString path = Write(QStringLiteral("work/Fixture.class"), FixtureClass());
        OpenClass(path);
        Replace(1, QStringLiteral("Hi"));
        QVERIFY(QDir(Path(QStringLiteral("work"))).removeRecursively());

        Dialogs().ExpectError();
        Form().btn3Click();
        QCOMPARE(Dialogs().LastCall().caption, kErrorCaption);
        QVERIFY(!Dialogs().LastCall().text.isEmpty());
        QCOMPARE(States(), (QList<bool>{true, true, true}));

        // Once the folder is back, the same changes can be saved.
        QVERIFY(QDir(session_.Folder()).mkdir(QStringLiteral("work")));
        Form().btn3Click();
        QByteArray expected = FixtureClass();
        expected.replace(Utf8Entry("World"), Utf8Entry("Hi"));
        QCOMPARE(Read(path), expected);
        QCOMPARE(States(), (QList<bool>{true, true, false}));
    }

    void failedSaveThroughTheFileSystemLeavesTheFile_data()
    {
        QTest::addColumn<int>("rename");     // which rename fails: the backup's is the first
        QTest::addColumn<bool>("backupMade");
        QTest::newRow("the backup") << 1 << false;
        QTest::newRow("the class") << 2 << true;
    }

    void failedSaveThroughTheFileSystemLeavesTheFile()
    {
        QFETCH(int, rename);
        QFETCH(bool, backupMade);
        const QString path = Write(QStringLiteral("Fixture.class"), FixtureClass());
        OpenClass(path);
        Replace(1, QStringLiteral("Hi"));
        const cltest::FileState before = cltest::FileState::Of(testfiles::Native(path));
        cltest::FailingFileSystem fs;
        fs.FailAt(cltest::FailStep::Rename, rename);
        Form().SetFileSystem(fs);
        if (!backupMade)
            Dialogs().ExpectAskYesNo(Dialogs::Answer::No);  // save without a backup? No.
        else
            Dialogs().ExpectError();
        Form().btn3Click();
        QVERIFY(fs.Injected());
        if (backupMade) {
            QCOMPARE(Dialogs().LastCall().caption, kErrorCaption);
            QVERIFY2(Dialogs().LastCall().text.contains(path), qPrintable(Dialogs().LastCall().text));
            QCOMPARE(Read(path + ".bak"), FixtureClass());
        } else {
            QCOMPARE(Dialogs().LastCall().defaultButton, Dialogs::Answer::No);
            QVERIFY(!QFile::exists(path + ".bak"));
        }
        QCOMPARE(cltest::FileState::Of(testfiles::Native(path)), before);
        QCOMPARE(States(), (QList<bool>{true, true, true}));
        QCOMPARE(Captions().at(1), QStringLiteral("Hi"));

        // The same file system, past its failure, saves the changes.
        Form().btn3Click();
        QByteArray expected = FixtureClass();
        expected.replace(Utf8Entry("World"), Utf8Entry("Hi"));
        QCOMPARE(Read(path), expected);
        QCOMPARE(States(), (QList<bool>{true, true, false}));
        Form().SetFileSystem(cl::NativeFileSystem());
    }

    void languagePackIsBackedUpAtOpeningAndListedInFileOrder()
    {
        const QByteArray pack = QByteArray("P") + PackEntry("Suspicious") + QByteArray("Q") + PackEntry("Hello") +
                                QByteArray("R") + PackEntry(kWenZiUtf8) + QByteArray("!");
        const QString path = Write(QStringLiteral("lang.pack"), pack);
        Dialogs().ExpectOpen(path);
        Form().btn4Click();
        QCOMPARE(Dialogs().LastCall().dialog.filter, Form().dlgOpen2.filter);
        QCOMPARE(Read(path + ".bak"), pack);
        QCOMPARE(Captions(), (QStringList{"Suspicious", "Hello", QStringLiteral("文字")}));
        QCOMPARE(Form().Model()->index(0, StringListModel::StatusColumn).data().toString(), QStringLiteral("2"));
        QCOMPARE(Form().List().PlainRowCount, 3);
        QCOMPARE(States(), (QList<bool>{true, true, false}));
        QCOMPARE(Form().windowTitle(), TForm1::BaseTitle() + QStringLiteral(" - lang.pack"));

        Replace(1, QStringLiteral("Hallo!"));
        Form().btn3Click();
        QByteArray expected = pack;
        expected.replace(PackEntry("Hello"), PackEntry("Hallo!"));
        QCOMPARE(Read(path), expected);
        QCOMPARE(Read(path + ".bak"), pack);

        Dialogs().ExpectSave(Path(QStringLiteral("pack.txt")));
        Form().btn8Click();
        QCOMPARE(Read(Path(QStringLiteral("pack.txt"))), QByteArray("Suspicious\r\nHallo!\r\n") + kWenZiGbk + "\r\n");
    }

    void manifestButtonShowsTheEditorOnlyForAnOpenedFile()
    {
        Dialogs().ExpectOpenCancelled();
        Form().btn7Click();
        QCOMPARE(Dialogs().LastCall().dialog.filter, Form().dlgOpen3.filter);

        const QString manifest = Write(QStringLiteral("MANIFEST.MF"), "Manifest-Version: 1.0\r\n\r\n");
        QWidget* shownWindow = nullptr;
        Dialogs().ExpectOpen(manifest).ExpectModal([&](QDialog& window) {
            shownWindow = &window;
            window.close();
        });
        Form().btn7Click();
        QCOMPARE(shownWindow, static_cast<QWidget*>(session_.ManifestEditor()));
        // The shared dialog remembers the manifest chosen last.
        QCOMPARE(Form().dlgOpen3.fileName, manifest);
    }

    void realClassFileFromJavac()
    {
        CLTEST_QT_REQUIRE_TOOL("javac", cltest::JavacPath());
        const std::string compiled =
            cltest::CompileJava(testfiles::Native(session_.Folder()), "Greeting",
                                "public class Greeting {\n"
                                "  public static String hello() { return \"Hello, translator\"; }\n"
                                "  public static String zh() { return \"你好，世界\"; }\n"
                                "}\n");
        QVERIFY2(compiled.empty(), compiled.c_str());
        const auto bytes = testfiles::ReadFile(session_.Path(QStringLiteral("Greeting.class")));
        QVERIFY(bytes.has_value());
        const QString path = Path(QStringLiteral("Greeting.class"));
        OpenClass(path);
        const QStringList captions = Captions();
        QVERIFY2(captions.contains(QStringLiteral("Hello, translator")), qPrintable(captions.join(u'|')));
        QVERIFY2(captions.contains(QStringLiteral("你好，世界")), qPrintable(captions.join(u'|')));
        QVERIFY(!captions.contains(QStringLiteral("<init>")));
        QVERIFY(!captions.contains(QStringLiteral("java/lang/Object")));

        // Translate the literal, save, and check that the JVM-side bytes are where they belong.
        const int row = static_cast<int>(captions.indexOf(QStringLiteral("Hello, translator")));
        Replace(row, QStringLiteral("译者你好"));
        Form().btn3Click();
        QByteArray expected = *bytes;
        expected.replace(Utf8Entry("Hello, translator"), Utf8Entry(QStringLiteral("译者你好").toUtf8()));
        QCOMPARE(Read(path), expected);
    }
};

QTEST_MAIN(MainWindowTest)
#include "test_main_window.moc"
