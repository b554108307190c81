// The windows hand back exactly the bytes they were given and say so when they cannot: line
// breaks of a caption survive an untouched replacement, characters GBK cannot hold are refused
// instead of stored as '?', a backup that cannot be made is a question rather than a silent
// loss or a blocked save, and Enter keeps pressing Replace.

#include "Main.h"
#include "Modmanifest.h"
#include "ScriptedDialogs.h"
#include "StringListModel.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using testfiles::ReadFile;
using testfiles::Utf8Entry;
using testfiles::WriteFile;

namespace {

const QByteArray kHeader("\xCA\xFE\xBA\xBE\x00\x00\x00\x34", 8);

}  // namespace

class EveryByteKeptTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<ScriptedDialogs> dialogs_;
    std::unique_ptr<TForm1> form_;

    QString Write(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir_->filePath(name);
        if (!WriteFile(path, bytes))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }
    QByteArray Read(const QString& path) const { return ReadFile(path).value_or(QByteArray("<missing>")); }

    QString OpenClassOf(const QByteArray& entries)
    {
        const QString path = Write(QStringLiteral("A.class"), kHeader + entries + QByteArray("\x00\x00", 2));
        dialogs_->ExpectOpen(path);
        form_->btn2Click();
        return path;
    }

private slots:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        dialogs_ = std::make_unique<ScriptedDialogs>();
        form_ = std::make_unique<TForm1>(*dialogs_, dir_->path());
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    }

    void cleanup()
    {
        const QStringList problems = dialogs_->Problems();
        const int pending = dialogs_->Pending();
        form_.reset();
        dialogs_.reset();
        dir_.reset();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
        QCOMPARE(pending, 0);
    }

    void untouchedCaptionKeepsItsLineBreaks_data()
    {
        QTest::addColumn<QByteArray>("caption");
        QTest::newRow("CR LF") << QByteArray("one\r\ntwo");
        QTest::newRow("lone CR") << QByteArray("one\rtwo");
        QTest::newRow("LF") << QByteArray("one\ntwo");
        QTest::newRow("mixed") << QByteArray("a\r\nb\rc\nd\r\n");
        QTest::newRow("CR CR LF") << QByteArray("x\r\r\ny");
    }

    void untouchedCaptionKeepsItsLineBreaks()
    {
        QFETCH(QByteArray, caption);
        const QString path = OpenClassOf(Utf8Entry(caption) + Utf8Entry("Other"));
        const QByteArray before = Read(path);
        form_->lv1->selectRow(0);
        // The counter counts the caption's own bytes, CR included.
        QCOMPARE(form_->lbl2->text(), QString::number(caption.size()));
        form_->btn1Click();
        form_->btn3Click();
        QCOMPARE(Read(path), before);
    }

    void editedCaptionKeepsTheLineBreaksItStillHas()
    {
        const QString path = OpenClassOf(Utf8Entry("one\r\ntwo"));
        form_->lv1->selectRow(0);
        QTextCursor cursor = form_->mmo1->textCursor();
        cursor.movePosition(QTextCursor::End);
        form_->mmo1->setTextCursor(cursor);
        QTest::keyClicks(form_->mmo1, QStringLiteral("!"));
        QCOMPARE(form_->lbl2->text(), QStringLiteral("9"));
        form_->btn1Click();
        form_->btn3Click();
        QVERIFY(Read(path).contains(QByteArray("\x01\x00\x09one\r\ntwo!", 12)));
    }

    void charactersOutsideGbkAreRefusedNotStoredAsQuestionMarks_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("named");
        QTest::newRow("Korean") << QStringLiteral("한국어") << QStringLiteral("한 국 어");
        QTest::newRow("emoji among Chinese") << QStringLiteral("中文😀") << QStringLiteral("😀");
        QTest::newRow("repeated") << QStringLiteral("한x한") << QStringLiteral("한");
    }

    void charactersOutsideGbkAreRefusedNotStoredAsQuestionMarks()
    {
        QFETCH(QString, typed);
        QFETCH(QString, named);
        const QString path = OpenClassOf(Utf8Entry("Hello"));
        const QByteArray before = Read(path);
        form_->lv1->selectRow(0);
        form_->mmo1->setPlainText(typed);
        // Seen before Replace: the counter turns red and names what cannot be stored.
        QVERIFY(form_->lbl2->toolTip().contains(named.split(u' ').first()));
        QCOMPARE(form_->lbl2->palette().color(QPalette::WindowText), StringListModel::SuspiciousColor());
        dialogs_->ExpectError();
        form_->btn1Click();
        const auto& call = dialogs_->LastCall();
        QCOMPARE(call.caption, QStringLiteral("错误"));
        QVERIFY2(call.text.contains(named), qPrintable(call.text));
        QCOMPARE(call.text.count(named.split(u' ').first()), 1);
        QVERIFY(!form_->btn3->isEnabled());
        QCOMPARE(form_->Model()->index(0, 0).data().toString(), QStringLiteral("Hello"));
        QCOMPARE(Read(path), before);
        // Text GBK holds clears the warning.
        form_->mmo1->setPlainText(QStringLiteral("中文"));
        QVERIFY(form_->lbl2->toolTip().isEmpty());
    }

    void backupThatCannotBeMadeIsAQuestion_data()
    {
        QTest::addColumn<bool>("saveAnyway");
        QTest::newRow("No keeps everything") << false;
        QTest::newRow("Yes saves without a backup") << true;
    }

    void backupThatCannotBeMadeIsAQuestion()
    {
        QFETCH(bool, saveAnyway);
        const QString path = OpenClassOf(Utf8Entry("Hello"));
        const QByteArray before = Read(path);
        // A folder holds the backup's name, so no copy can take its place.
        QVERIFY(QDir(dir_->path()).mkdir(QStringLiteral("A.class.bak")));
        form_->lv1->selectRow(0);
        form_->mmo1->setPlainText(QStringLiteral("Howdy"));
        form_->btn1Click();
        QVERIFY(form_->btn3->isEnabled());

        dialogs_->ExpectAskYesNo(saveAnyway ? Dialogs::Answer::Yes : Dialogs::Answer::No);
        form_->btn3Click();
        const auto& question = dialogs_->LastCall();
        QVERIFY2(question.text.contains(QStringLiteral("无法创建备份文件，是否仍然保存？")), qPrintable(question.text));
        QVERIFY2(question.text.contains(QStringLiteral("A.class.bak")), qPrintable(question.text));
        QCOMPARE(question.defaultButton, Dialogs::Answer::No);
        QVERIFY(QFileInfo(path + QStringLiteral(".bak")).isDir());
        if (saveAnyway) {
            QVERIFY(Read(path).contains("Howdy"));
            QVERIFY(!form_->btn3->isEnabled());
        } else {
            QCOMPARE(Read(path), before);
            QVERIFY(form_->btn3->isEnabled());
        }
    }

    void enterStaysOnReplaceAfterTheButtonLostTheFocus()
    {
        const QString path = OpenClassOf(Utf8Entry("Hello") + Utf8Entry("World"));
        form_->activateWindow();
        form_->lv1->selectRow(0);
        form_->btn1->setFocus();
        form_->mmo1->setFocus();
        form_->mmo1->setPlainText(QStringLiteral("Howdy"));
        form_->btn2->setFocus();  // another button had the focus and lost it
        form_->mmo1->setFocus();
        QTest::keyClick(form_->mmo1, Qt::Key_Return);
        QCOMPARE(form_->Model()->index(0, 0).data().toString(), QStringLiteral("Howdy"));
        QVERIFY(form_->btn3->isEnabled());
    }

    void manifestWithCharactersOutsideGbkIsNotSaved()
    {
        const QByteArray manifest("Manifest-Version: 1.0\r\n\r\n");
        const QString path = Write(QStringLiteral("MANIFEST.MF"), manifest);
        TForm2 editor(*dialogs_, form_->dlgOpen3);
        QVERIFY(editor.OpenManifest(path, form_.get()));
        editor.show();
        editor.mmo1->setPlainText(QStringLiteral("Manifest-Version: 1.0\nX-Name: 한국\n"));
        dialogs_->ExpectError();
        editor.btn2Click();
        QVERIFY2(dialogs_->LastCall().text.contains(QStringLiteral("한")), qPrintable(dialogs_->LastCall().text));
        QCOMPARE(dialogs_->LastCall().caption, QStringLiteral("错误"));
        QCOMPARE(Read(path), manifest);
        QVERIFY(editor.IsModified());
        // Closing asks; Yes fails the same way and keeps the editor open with its text.
        dialogs_->ExpectAsk(Dialogs::Answer::Yes).ExpectError();
        editor.reject();
        QVERIFY(editor.isVisible());
        QVERIFY(editor.mmo1->toPlainText().contains(QStringLiteral("한국")));
        QCOMPARE(Read(path), manifest);
        dialogs_->ExpectAsk(Dialogs::Answer::No);
        editor.reject();
    }
};

QTEST_MAIN(EveryByteKeptTest)
#include "test_every_byte_kept.moc"
