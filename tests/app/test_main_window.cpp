// The main window driven as a user drives it: opening, the state of the buttons, the
// unsaved-changes prompt, selecting and editing, Enter, replacing, saving, exporting, the
// converter and errors, with the dialogs answered by ScriptedDialogs and files checked byte
// for byte.

#include "EngineText.h"
#include "ErrorDisplay.h"
#include "Main.h"
#include "Modmanifest.h"
#include "document/Replace.h"
#include "ScriptedDialogs.h"
#include "StringListModel.h"
#include "Java.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using testfiles::PackEntry;
using testfiles::ReadFile;
using testfiles::Utf8Entry;
using testfiles::WriteFile;

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
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<ScriptedDialogs> dialogs_;
    std::unique_ptr<TForm1> form_;
    std::unique_ptr<TForm2> form2_;

    QString Path(const QString& name) const { return dir_->filePath(name); }

    QString Write(const QString& name, const QByteArray& bytes)
    {
        const QString path = Path(name);
        if (!WriteFile(path, bytes))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    QByteArray Read(const QString& path) const { return ReadFile(path).value_or(QByteArray("<missing>")); }

    QStringList Captions() const
    {
        QStringList captions;
        const StringListModel* model = form_->Model();
        for (int row = 0; row < model->rowCount(); ++row)
            captions << model->index(row, StringListModel::CaptionColumn).data().toString();
        return captions;
    }

    void OpenClass(const QString& path)
    {
        dialogs_->ExpectOpen(path);
        form_->btn2Click();
    }

    // Selects a row and types `text` over the replacement box, as a user does.
    void SelectAndType(int row, const QString& text)
    {
        form_->lv1->selectRow(row);
        form_->mmo1->selectAll();
        QTest::keyClicks(form_->mmo1, text);
    }

    void Replace(int row, const QString& text)
    {
        form_->lv1->selectRow(row);
        form_->mmo1->setPlainText(text);
        form_->btn1Click();
    }

    // btn1, btn8, btn3
    QList<bool> States() const
    {
        return {form_->btn1->isEnabled(), form_->btn8->isEnabled(), form_->btn3->isEnabled()};
    }

private slots:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        Write(QStringLiteral("Filter.ini"), "Suspicious\r\nNeverFound\r\n");
        dialogs_ = std::make_unique<ScriptedDialogs>();
        form_ = TForm1::Create(*dialogs_, dir_->path());
        form2_ = std::make_unique<TForm2>(*dialogs_, form_->dlgOpen3);
        form_->SetManifestEditor(form2_.get());
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    }

    void cleanup()
    {
        const QStringList problems = dialogs_->Problems();
        const int pending = dialogs_->Pending();
        form2_.reset();
        form_.reset();
        dialogs_.reset();
        dir_.reset();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
        QCOMPARE(pending, 0);
    }

    void startsWithNothingOpen()
    {
        QCOMPARE(States(), (QList<bool>{false, false, false}));
        QCOMPARE(form_->windowTitle(), QStringLiteral("java Class 汉化工具(TALWENDE 专用版)"));
        QVERIFY(form_->lbl1->text().startsWith(QStringLiteral("Java Class 汉化程序\n\n版本:0.02\n")));
        QVERIFY(form_->lbl1->text().count(u'\n') >= 5);
        QCOMPARE(form_->lbl2->text(), QStringLiteral("0"));
        QCOMPARE(form_->Model()->rowCount(), 0);
        QVERIFY(!form_->btn1->isDefault());
        QCOMPARE(form_->Filter().size(), size_t(2));
    }

    void openingAClassListsItsStrings()
    {
        const QString path = Write(QStringLiteral("Fixture.class"), FixtureClass());
        OpenClass(path);

        QCOMPARE(dialogs_->LastCall().dialog.filter, form_->dlgOpen1.filter);
        QCOMPARE(Captions(), (QStringList{"Hello", "World", QStringLiteral("文字"), "Suspicious"}));
        const StringListModel* model = form_->Model();
        QCOMPARE(model->index(2, StringListModel::ByteLengthColumn).data().toString(), QStringLiteral("6"));
        QCOMPARE(model->index(0, StringListModel::StatusColumn).data().toString(), QStringLiteral("2"));
        QCOMPARE(model->index(3, StringListModel::StatusColumn).data().toString(), QStringLiteral("1"));
        QCOMPARE(model->index(3, 0).data(Qt::ForegroundRole).value<QBrush>().color(), QColor(255, 0, 0));
        QVERIFY(!model->index(0, 0).data(Qt::ForegroundRole).isValid());
        QCOMPARE(form_->List().PlainRowCount, 3);
        // The offset names the tag byte, 1-based.
        QCOMPARE(form_->List().rows[0].offset, int32_t(FixtureClass().indexOf(Utf8Entry("Hello")) + 1));

        QCOMPARE(States(), (QList<bool>{true, true, false}));
        QCOMPARE(form_->windowTitle(), QStringLiteral("java Class 汉化工具(TALWENDE 专用版) - Fixture.class"));
        QCOMPARE(QString::fromStdString(form_->Image().path), path);
        QCOMPARE(form_->Image().loadedSize, int32_t(FixtureClass().size()));
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
        form_->btn3Click();
        QCOMPARE(States(), (QList<bool>{true, true, false}));
        Replace(1, QStringLiteral("Again"));
        QCOMPARE(States(), (QList<bool>{true, true, true}));
        dialogs_->ExpectAsk(Dialogs::Answer::No);
        OpenClass(Write(QStringLiteral("Other.class"), OtherClass()));
        QCOMPARE(States(), (QList<bool>{true, true, false}));
    }

    void cancellingTheOpenDialogOrAFailedOpenChangesNothing()
    {
        const QString path = Write(QStringLiteral("Fixture.class"), FixtureClass());
        OpenClass(path);
        Replace(0, QStringLiteral("Hey"));
        const QByteArray patched(reinterpret_cast<const char*>(form_->Image().bytes.Bytes()),
                                 form_->Image().bytes.ByteLength());
        const QString title = form_->windowTitle();

        dialogs_->ExpectAsk(Dialogs::Answer::No).ExpectOpenCancelled();
        form_->btn2Click();

        dialogs_->ExpectAsk(Dialogs::Answer::No).ExpectOpen(Path(QStringLiteral("missing.class"))).ExpectError();
        form_->btn2Click();
        const ScriptedDialogs::Call& error = dialogs_->LastCall();
        QCOMPARE(error.text, QStringLiteral("无法打开此文件!"));
        QCOMPARE(error.caption, kErrorCaption);
        QCOMPARE(error.owner, form_.get());

        // A folder cannot be opened either.
        QVERIFY(QDir(dir_->path()).mkdir(QStringLiteral("folder.class")));
        dialogs_->ExpectAsk(Dialogs::Answer::No).ExpectOpen(Path(QStringLiteral("folder.class"))).ExpectError();
        form_->btn4Click();
        QCOMPARE(dialogs_->LastCall().text, QStringLiteral("无法打开此文件!"));

        QCOMPARE(Captions(), (QStringList{"Hey", "World", QStringLiteral("文字"), "Suspicious"}));
        QCOMPARE(States(), (QList<bool>{true, true, true}));
        QCOMPARE(form_->windowTitle(), title);
        QCOMPARE(QString::fromStdString(form_->Image().path), path);
        QCOMPARE(
            QByteArray(reinterpret_cast<const char*>(form_->Image().bytes.Bytes()), form_->Image().bytes.ByteLength()),
            patched);
        QCOMPARE(Read(path), FixtureClass());
    }

    void noQuestionWhileNothingIsUnsaved()
    {
        OpenClass(Write(QStringLiteral("Fixture.class"), FixtureClass()));
        Replace(1, QStringLiteral("Hi"));
        form_->btn3Click();
        // Save is disabled again: opening asks nothing (an unexpected question fails the test).
        OpenClass(Write(QStringLiteral("Other.class"), OtherClass()));
        QCOMPARE(Captions(), (QStringList{"Another", "Second"}));
    }

    void promptYesSavesAndThenOpens()
    {
        const QString first = Write(QStringLiteral("Fixture.class"), FixtureClass());
        OpenClass(first);
        Replace(1, QStringLiteral("Hi"));

        dialogs_->ExpectAsk(Dialogs::Answer::Yes);
        OpenClass(Write(QStringLiteral("Other.class"), OtherClass()));

        const ScriptedDialogs::Call& question = dialogs_->Calls().at(dialogs_->Calls().size() - 2);
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
        dialogs_->ExpectAsk(Dialogs::Answer::No);
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

        dialogs_->ExpectAsk(Dialogs::Answer::Cancel);  // and no open dialog after it
        form_->btn2Click();
        dialogs_->ExpectAsk(Dialogs::Answer::Cancel);
        form_->btn4Click();
        dialogs_->ExpectAsk(Dialogs::Answer::No).ExpectOpenCancelled();
        form_->btn2Click();

        QCOMPARE(Captions(), (QStringList{"Hello", "Hi", QStringLiteral("文字"), "Suspicious"}));
        QCOMPARE(States(), (QList<bool>{true, true, true}));
        QCOMPARE(Read(first), FixtureClass());
        // The changes are still there to be saved.
        form_->btn3Click();
        QByteArray expected = FixtureClass();
        expected.replace(Utf8Entry("World"), Utf8Entry("Hi"));
        QCOMPARE(Read(first), expected);
    }

    void promptYesWithAFailingSaveStopsTheOpen()
    {
        QVERIFY(QDir(dir_->path()).mkdir(QStringLiteral("work")));
        const QString first = Write(QStringLiteral("work/Fixture.class"), FixtureClass());
        OpenClass(first);
        Replace(1, QStringLiteral("Hi"));
        QVERIFY(QDir(Path(QStringLiteral("work"))).removeRecursively());

        dialogs_->ExpectAsk(Dialogs::Answer::Yes).ExpectError();  // no open dialog: the edits would be lost
        form_->btn2Click();
        QCOMPARE(dialogs_->LastCall().caption, kErrorCaption);
        QVERIFY(!dialogs_->LastCall().text.isEmpty());
        QCOMPARE(Captions(), (QStringList{"Hello", "Hi", QStringLiteral("文字"), "Suspicious"}));
        QCOMPARE(States(), (QList<bool>{true, true, true}));
    }

    void closingWithUnsavedChangesAsksFirst()
    {
        const QString path = Write(QStringLiteral("Fixture.class"), FixtureClass());
        OpenClass(path);
        QVERIFY(form_->close());  // nothing unsaved: no question
        form_->show();

        Replace(1, QStringLiteral("Hi"));
        dialogs_->ExpectAsk(Dialogs::Answer::Cancel);
        QVERIFY(!form_->close());
        QVERIFY(form_->isVisible());
        QCOMPARE(dialogs_->LastCall().text, QStringLiteral("数据已修改，是否保存?"));
        QCOMPARE(dialogs_->LastCall().caption, QStringLiteral("保存？"));

        // Yes with a save that fails keeps the window open with the changes.
        QVERIFY(QFile::rename(path, path + ".moved"));
        QVERIFY(QDir(dir_->path()).mkdir(QStringLiteral("Fixture.class")));  // a folder in the file's place
        dialogs_->ExpectAsk(Dialogs::Answer::Yes).ExpectError();
        QVERIFY(!form_->close());
        QVERIFY(form_->btn3->isEnabled());
        QVERIFY(QDir(dir_->path()).rmdir(QStringLiteral("Fixture.class")));
        QVERIFY(QFile::rename(path + ".moved", path));

        dialogs_->ExpectAsk(Dialogs::Answer::Yes);
        QVERIFY(form_->close());
        QByteArray expected = FixtureClass();
        expected.replace(Utf8Entry("World"), Utf8Entry("Hi"));
        QCOMPARE(Read(path), expected);

        form_->show();
        Replace(1, QStringLiteral("Dropped"));
        dialogs_->ExpectAsk(Dialogs::Answer::No);
        QVERIFY(form_->close());
        QCOMPARE(Read(path), expected);
    }

    void selectingAndDeselectingFillsTheReplacementBox()
    {
        OpenClass(Write(QStringLiteral("Fixture.class"), FixtureClass()));
        QTableView* lv1 = form_->lv1;

        QTest::mouseClick(lv1->viewport(), Qt::LeftButton, {}, lv1->visualRect(form_->Model()->index(1, 0)).center());
        QCOMPARE(form_->SelectedRow(), 1);
        QCOMPARE(form_->mmo1->toPlainText(), QStringLiteral("World"));
        QCOMPARE(form_->lbl2->text(), QStringLiteral("5"));

        // Moving the selection ends with the new row's caption.
        QTest::keyClick(lv1, Qt::Key_Down);
        QCOMPARE(form_->SelectedRow(), 2);
        QCOMPARE(form_->mmo1->toPlainText(), QStringLiteral("文字"));
        QCOMPARE(form_->lbl2->text(), QStringLiteral("6"));

        // Typed text is replaced by the deselected row's caption when empty space is clicked.
        form_->mmo1->selectAll();
        QTest::keyClicks(form_->mmo1, QStringLiteral("typed"));
        QCOMPARE(form_->mmo1->toPlainText(), QStringLiteral("typed"));
        const QRect lastRow = lv1->visualRect(form_->Model()->index(3, 0));
        QVERIFY(lastRow.bottom() + 10 < lv1->viewport()->height());
        QTest::mouseClick(lv1->viewport(), Qt::LeftButton, {}, QPoint(20, lastRow.bottom() + 10));
        QCOMPARE(form_->SelectedRow(), -1);
        QCOMPARE(form_->mmo1->toPlainText(), QStringLiteral("文字"));

        // With no row selected Replace does nothing.
        form_->mmo1->setPlainText(QStringLiteral("nothing"));
        form_->btn1Click();
        QCOMPARE(Captions(), (QStringList{"Hello", "World", QStringLiteral("文字"), "Suspicious"}));
        QCOMPARE(States(), (QList<bool>{true, true, false}));
    }

    void byteCounterShowsTheUtf8Length()
    {
        QTest::keyClicks(form_->mmo1, QStringLiteral("abc"));
        QCOMPARE(form_->lbl2->text(), QStringLiteral("3"));
        form_->mmo1->insertPlainText(QStringLiteral("中"));
        QCOMPARE(form_->lbl2->text(), QStringLiteral("6"));
        form_->mmo1->setPlainText(QString(85, QChar(0x4E2D)));
        QCOMPARE(form_->lbl2->text(), QStringLiteral("255"));
        form_->mmo1->insertPlainText(QStringLiteral("中"));
        QCOMPARE(form_->lbl2->text(), QStringLiteral("258"));
        form_->mmo1->clear();
        QCOMPARE(form_->lbl2->text(), QStringLiteral("0"));
    }

    void enterPressesReplaceOnlyOnceItIsTheDefault()
    {
        OpenClass(Write(QStringLiteral("Fixture.class"), FixtureClass()));
        QPlainTextEdit* mmo1 = form_->mmo1;

        // Before the box first changes, Enter neither replaces nor breaks the line.
        QTest::keyClick(mmo1, Qt::Key_Return);
        QCOMPARE(mmo1->toPlainText(), QString());
        QVERIFY(!form_->btn1->isDefault());

        SelectAndType(1, QStringLiteral("Hi"));
        QVERIFY(form_->btn1->isDefault());
        QTest::keyClick(mmo1, Qt::Key_Return);
        QCOMPARE(Captions().at(1), QStringLiteral("Hi"));
        QCOMPARE(mmo1->toPlainText(), QStringLiteral("Hi"));
        QVERIFY(form_->btn3->isEnabled());

        // Shift+Enter is not Enter: nothing replaced, still no line break.
        QTest::keyClicks(mmo1, QStringLiteral("X"));
        QTest::keyClick(mmo1, Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(mmo1->toPlainText(), QStringLiteral("HiX"));
        QCOMPARE(Captions().at(1), QStringLiteral("Hi"));

        // The keypad's Enter works too, and so does Enter in the list and the converter's boxes.
        QTest::keyClick(mmo1, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(Captions().at(1), QStringLiteral("HiX"));
        mmo1->setPlainText(QStringLiteral("FromEdit"));
        QTest::keyClick(form_->edt2, Qt::Key_Return);
        QCOMPARE(Captions().at(1), QStringLiteral("FromEdit"));
        mmo1->setPlainText(QStringLiteral("FromList"));
        QTest::keyClick(form_->lv1, Qt::Key_Return);
        QCOMPARE(Captions().at(1), QStringLiteral("FromList"));

        // A button with the focus takes Enter itself.
        mmo1->setPlainText(QStringLiteral("NotThis"));
        dialogs_->ExpectSaveCancelled();
        QTest::keyClick(form_->btn8, Qt::Key_Return);
        QCOMPARE(Captions().at(1), QStringLiteral("FromList"));
    }

    void enterDoesNothingWhileReplaceIsDisabled()
    {
        QTest::keyClicks(form_->mmo1, QStringLiteral("abc"));
        QVERIFY(form_->btn1->isDefault());
        QVERIFY(!form_->btn1->isEnabled());
        QTest::keyClick(form_->mmo1, Qt::Key_Return);
        QCOMPARE(form_->mmo1->toPlainText(), QStringLiteral("abc"));
        QCOMPARE(States(), (QList<bool>{false, false, false}));
    }

    void replaceSaveAndExportWriteTheExpectedBytes()
    {
        const QString path = Write(QStringLiteral("Fixture.class"), FixtureClass());
        OpenClass(path);
        const int32_t wenZiOffset = form_->List().rows[2].offset;
        const int32_t suspiciousOffset = form_->List().rows[3].offset;

        Replace(1, QStringLiteral("Hi"));  // World (5 bytes) -> Hi (2 bytes)
        QByteArray expected = FixtureClass();
        expected.replace(Utf8Entry("World"), Utf8Entry("Hi"));
        QCOMPARE(
            QByteArray(reinterpret_cast<const char*>(form_->Image().bytes.Bytes()), form_->Image().bytes.ByteLength()),
            expected);
        QCOMPARE(form_->List().rows[2].offset, wenZiOffset - 3);
        QCOMPARE(form_->List().rows[3].offset, suspiciousOffset);  // found before World in the file
        QCOMPARE(form_->Model()->index(1, StringListModel::ByteLengthColumn).data().toString(), QStringLiteral("2"));

        form_->btn3Click();
        QCOMPARE(Read(path), expected);
        QCOMPARE(Read(path + ".bak"), FixtureClass());

        // Chinese text is written as UTF-8; a second save keeps the first save in the backup.
        Replace(0, QStringLiteral("你好"));
        form_->btn3Click();
        const QByteArray firstSave = expected;
        expected.replace(Utf8Entry("Hello"), Utf8Entry("\xE4\xBD\xA0\xE5\xA5\xBD"));
        QCOMPARE(Read(path), expected);
        QCOMPARE(Read(path + ".bak"), firstSave);

        dialogs_->ExpectSave(Path(QStringLiteral("list.txt")));
        form_->btn8Click();
        QCOMPARE(dialogs_->LastCall().dialog.fileName, path + ".txt");
        QCOMPARE(dialogs_->LastCall().dialog.filter, form_->dlgSave1.filter);
        QCOMPARE(Read(Path(QStringLiteral("list.txt"))), QByteArray("\xC4\xE3\xBA\xC3\r\nHi\r\n") + kWenZiGbk + "\r\n" +
                                                             kSuspiciousPrefixGbk + "Suspicious\r\n");

        // An existing file is overwritten without a question.
        dialogs_->ExpectSave(Path(QStringLiteral("list.txt")));
        Replace(3, QStringLiteral("Checked"));
        form_->btn8Click();
        QCOMPARE(Read(Path(QStringLiteral("list.txt"))),
                 QByteArray("\xC4\xE3\xBA\xC3\r\nHi\r\n") + kWenZiGbk + "\r\n" + kSuspiciousPrefixGbk + "Checked\r\n");
    }

    void exportProposesTheOpenedNameAndCanBeCancelled()
    {
        const QString path = Write(QStringLiteral("Fixture.class"), FixtureClass());
        OpenClass(path);
        dialogs_->ExpectSaveCancelled();
        form_->btn8Click();
        QCOMPARE(dialogs_->LastCall().dialog.fileName, path + ".txt");
        QVERIFY(!QFile::exists(path + ".txt"));
    }

    void exportFailureIsReported()
    {
        OpenClass(Write(QStringLiteral("Fixture.class"), FixtureClass()));
        dialogs_->ExpectSave(Path(QStringLiteral("no-such-folder/list.txt"))).ExpectError();
        form_->btn8Click();
        QCOMPARE(dialogs_->LastCall().caption, kErrorCaption);
        QVERIFY(!dialogs_->LastCall().text.isEmpty());
        QCOMPARE(States(), (QList<bool>{true, true, false}));
    }

    void exportOverTheOpenedFileIsRefused()
    {
        const QString path = Write(QStringLiteral("Fixture.class"), FixtureClass());
        OpenClass(path);
        dialogs_->ExpectSave(path).ExpectError();
        form_->btn8Click();
        QCOMPARE(dialogs_->LastCall().caption, kErrorCaption);
        QVERIFY(dialogs_->LastCall().text.contains(QStringLiteral("不能导出到")));
        QCOMPARE(Read(path), FixtureClass());
        QCOMPARE(States(), (QList<bool>{true, true, false}));
    }

    void overLongReplacementIsRefused()
    {
        const QString path = Write(QStringLiteral("Fixture.class"), FixtureClass());
        OpenClass(path);
        dialogs_->ExpectError();
        Replace(1, QString(86, QChar(0x4E2D)));  // 258 UTF-8 bytes
        QCOMPARE(dialogs_->LastCall().text, QString::fromUtf8(cltext::ReplacementTooLongText()));
        QCOMPARE(dialogs_->LastCall().caption, kErrorCaption);
        QCOMPARE(Captions().at(1), QStringLiteral("World"));
        QCOMPARE(form_->Image().bytes.ByteLength(), int32_t(FixtureClass().size()));
        QCOMPARE(States(), (QList<bool>{true, true, false}));

        Replace(1, QString(85, QChar(0x4E2D)));  // exactly 255
        QCOMPARE(form_->Model()->index(1, StringListModel::ByteLengthColumn).data().toString(), QStringLiteral("255"));
        form_->btn3Click();
        QByteArray expected = FixtureClass();
        QByteArray zhong255;
        for (int i = 0; i < 85; ++i)
            zhong255 += "\xE4\xB8\xAD";
        expected.replace(Utf8Entry("World"), Utf8Entry(zhong255));
        QCOMPARE(Read(path), expected);
    }

    void converterGoesBothWays()
    {
        form_->edt2->setText(QStringLiteral("文字"));
        form_->btn5Click();
        // The UTF-8 bytes E6 96 87 E5 AD 97 read as GBK.
        QCOMPARE(form_->edt3->text(), QStringLiteral("鏂囧瓧"));
        form_->edt2->clear();
        form_->btn6Click();
        QCOMPARE(form_->edt2->text(), QStringLiteral("文字"));

        form_->edt2->setText(QStringLiteral("abc"));
        form_->btn5Click();
        QCOMPARE(form_->edt3->text(), QStringLiteral("abc"));

        // GBK 涓 is E4 B8: a UTF-8 sequence cut short, so the result is empty.
        form_->edt3->setText(QStringLiteral("涓"));
        form_->btn6Click();
        QCOMPARE(form_->edt2->text(), QString());
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
        dialogs_->ExpectOpen(path).ExpectStop();
        if (pack)
            form_->btn4Click();
        else
            form_->btn2Click();
        QCOMPARE(dialogs_->LastCall().text, QStringLiteral("Range check error."));
        QCOMPARE(dialogs_->LastCall().caption, QStringLiteral("test_main_window"));
        QCOMPARE(dialogs_->LastCall().owner, form_.get());
        QCOMPARE(Captions(), QStringList{"Hello"});
        QCOMPARE(States(), (QList<bool>{true, true, false}));
        QCOMPARE(form_->windowTitle(), TForm1::BaseTitle() + QStringLiteral(" - Cut.bin"));
        // The window carries on: the listed row can be replaced and saved.
        Replace(0, QStringLiteral("Hey"));
        form_->btn3Click();
        QByteArray expected = bytes;
        expected.replace(QByteArray("\x05Hello", 6), QByteArray("\x03Hey", 4));
        QCOMPARE(Read(path), expected);
    }

    void saveFailureIsShownAndSaveStaysEnabled()
    {
        QVERIFY(QDir(dir_->path()).mkdir(QStringLiteral("work")));
        const QString path = Write(QStringLiteral("work/Fixture.class"), FixtureClass());
        OpenClass(path);
        Replace(1, QStringLiteral("Hi"));
        QVERIFY(QDir(Path(QStringLiteral("work"))).removeRecursively());

        dialogs_->ExpectError();
        form_->btn3Click();
        QCOMPARE(dialogs_->LastCall().caption, kErrorCaption);
        QVERIFY(!dialogs_->LastCall().text.isEmpty());
        QCOMPARE(States(), (QList<bool>{true, true, true}));

        // Once the folder is back, the same changes can be saved.
        QVERIFY(QDir(dir_->path()).mkdir(QStringLiteral("work")));
        form_->btn3Click();
        QByteArray expected = FixtureClass();
        expected.replace(Utf8Entry("World"), Utf8Entry("Hi"));
        QCOMPARE(Read(path), expected);
        QCOMPARE(States(), (QList<bool>{true, true, false}));
    }

    void languagePackIsBackedUpAtOpeningAndListedInFileOrder()
    {
        const QByteArray pack = QByteArray("P") + PackEntry("Suspicious") + QByteArray("Q") + PackEntry("Hello") +
                                QByteArray("R") + PackEntry(kWenZiUtf8) + QByteArray("!");
        const QString path = Write(QStringLiteral("lang.pack"), pack);
        dialogs_->ExpectOpen(path);
        form_->btn4Click();
        QCOMPARE(dialogs_->LastCall().dialog.filter, form_->dlgOpen2.filter);
        QCOMPARE(Read(path + ".bak"), pack);
        QCOMPARE(Captions(), (QStringList{"Suspicious", "Hello", QStringLiteral("文字")}));
        QCOMPARE(form_->Model()->index(0, StringListModel::StatusColumn).data().toString(), QStringLiteral("2"));
        QCOMPARE(form_->List().PlainRowCount, 3);
        QCOMPARE(States(), (QList<bool>{true, true, false}));
        QCOMPARE(form_->windowTitle(), TForm1::BaseTitle() + QStringLiteral(" - lang.pack"));

        Replace(1, QStringLiteral("Hallo!"));
        form_->btn3Click();
        QByteArray expected = pack;
        expected.replace(PackEntry("Hello"), PackEntry("Hallo!"));
        QCOMPARE(Read(path), expected);
        QCOMPARE(Read(path + ".bak"), pack);

        dialogs_->ExpectSave(Path(QStringLiteral("pack.txt")));
        form_->btn8Click();
        QCOMPARE(Read(Path(QStringLiteral("pack.txt"))), QByteArray("Suspicious\r\nHallo!\r\n") + kWenZiGbk + "\r\n");
    }

    void manifestButtonShowsTheEditorOnlyForAnOpenedFile()
    {
        dialogs_->ExpectOpenCancelled();
        form_->btn7Click();
        QCOMPARE(dialogs_->LastCall().dialog.filter, form_->dlgOpen3.filter);

        const QString manifest = Write(QStringLiteral("MANIFEST.MF"), "Manifest-Version: 1.0\r\n\r\n");
        QWidget* shownWindow = nullptr;
        dialogs_->ExpectOpen(manifest).ExpectModal([&](QDialog& window) {
            shownWindow = &window;
            window.close();
        });
        form_->btn7Click();
        QCOMPARE(shownWindow, static_cast<QWidget*>(form2_.get()));
        // The shared dialog remembers the manifest chosen last.
        QCOMPARE(form_->dlgOpen3.fileName, manifest);
    }

    void realClassFileFromJavac()
    {
        CLTEST_QT_REQUIRE_TOOL("javac", cltest::JavacPath());
        const std::string compiled =
            cltest::CompileJava(testfiles::Native(dir_->path()), "Greeting",
                                "public class Greeting {\n"
                                "  public static String hello() { return \"Hello, translator\"; }\n"
                                "  public static String zh() { return \"你好，世界\"; }\n"
                                "}\n");
        QVERIFY2(compiled.empty(), compiled.c_str());
        const auto bytes = testfiles::ReadFile(dir_->filePath(QStringLiteral("Greeting.class")));
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
        form_->btn3Click();
        QByteArray expected = *bytes;
        expected.replace(Utf8Entry("Hello, translator"), Utf8Entry(QStringLiteral("译者你好").toUtf8()));
        QCOMPARE(Read(path), expected);
    }
};

QTEST_MAIN(MainWindowTest)
#include "test_main_window.moc"
