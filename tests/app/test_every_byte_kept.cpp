// The windows hand back exactly the bytes they were given and say so when they cannot: line
// breaks of a caption survive an untouched replacement, characters GBK cannot hold are refused
// instead of stored as '?', a backup that cannot be made is a question rather than a silent
// loss or a blocked save, and Enter keeps pressing Replace.

#include "Main.h"
#include "Modmanifest.h"
#include "ScriptedDialogs.h"
#include "StringListModel.h"
#include "TestFiles.h"
#include "WindowSession.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using testfiles::Utf8Entry;

namespace {

const QByteArray kHeader("\xCA\xFE\xBA\xBE\x00\x00\x00\x34", 8);

}  // namespace

class EveryByteKeptTest : public QObject {
    Q_OBJECT

private:
    WindowSession session_;

    QString Write(const QString& name, const QByteArray& bytes) { return session_.Write(name, bytes); }
    QByteArray Read(const QString& path) const { return session_.Read(path); }

    QString OpenClassOf(const QByteArray& entries)
    {
        const QString path = Write(QStringLiteral("A.class"), kHeader + entries + QByteArray("\x00\x00", 2));
        session_.Dialogs().ExpectOpen(path);
        session_.Form().btn2Click();
        return path;
    }

private slots:
    void init() { QVERIFY(session_.Start()); }

    void cleanup()
    {
        const QString problems = session_.Finish();
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
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
        session_.Form().lv1->selectRow(0);
        // The counter counts the caption's own bytes, CR included.
        QCOMPARE(session_.Form().lbl2->text(), QString::number(caption.size()));
        session_.Form().btn1Click();
        session_.Form().btn3Click();
        QCOMPARE(Read(path), before);
    }

    void editedCaptionKeepsTheLineBreaksItStillHas()
    {
        const QString path = OpenClassOf(Utf8Entry("one\r\ntwo"));
        session_.Form().lv1->selectRow(0);
        QTextCursor cursor = session_.Form().mmo1->textCursor();
        cursor.movePosition(QTextCursor::End);
        session_.Form().mmo1->setTextCursor(cursor);
        QTest::keyClicks(session_.Form().mmo1, QStringLiteral("!"));
        QCOMPARE(session_.Form().lbl2->text(), QStringLiteral("9"));
        session_.Form().btn1Click();
        session_.Form().btn3Click();
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
        session_.Form().lv1->selectRow(0);
        session_.Form().mmo1->setPlainText(typed);
        // Seen before Replace: the counter turns red and names what cannot be stored.
        QVERIFY(session_.Form().lbl2->toolTip().contains(named.split(u' ').first()));
        QCOMPARE(session_.Form().lbl2->palette().color(QPalette::WindowText), StringListModel::SuspiciousColor());
        session_.Dialogs().ExpectError();
        session_.Form().btn1Click();
        const auto& call = session_.Dialogs().LastCall();
        QCOMPARE(call.caption, QStringLiteral("错误"));
        QVERIFY2(call.text.contains(named), qPrintable(call.text));
        QCOMPARE(call.text.count(named.split(u' ').first()), 1);
        QVERIFY(!session_.Form().btn3->isEnabled());
        QCOMPARE(session_.Form().Model()->index(0, 0).data().toString(), QStringLiteral("Hello"));
        QCOMPARE(Read(path), before);
        // Text GBK holds clears the warning.
        session_.Form().mmo1->setPlainText(QStringLiteral("中文"));
        QVERIFY(session_.Form().lbl2->toolTip().isEmpty());
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
        QVERIFY(QDir().mkdir(session_.Path(QStringLiteral("A.class.bak"))));
        session_.Form().lv1->selectRow(0);
        session_.Form().mmo1->setPlainText(QStringLiteral("Howdy"));
        session_.Form().btn1Click();
        QVERIFY(session_.Form().btn3->isEnabled());

        session_.Dialogs().ExpectAskYesNo(saveAnyway ? Dialogs::Answer::Yes : Dialogs::Answer::No);
        session_.Form().btn3Click();
        const auto& question = session_.Dialogs().LastCall();
        QVERIFY2(question.text.contains(QStringLiteral("无法创建备份文件，是否仍然保存？")), qPrintable(question.text));
        QVERIFY2(question.text.contains(QStringLiteral("A.class.bak")), qPrintable(question.text));
        QCOMPARE(question.defaultButton, Dialogs::Answer::No);
        QVERIFY(QFileInfo(path + QStringLiteral(".bak")).isDir());
        if (saveAnyway) {
            QVERIFY(Read(path).contains("Howdy"));
            QVERIFY(!session_.Form().btn3->isEnabled());
        } else {
            QCOMPARE(Read(path), before);
            QVERIFY(session_.Form().btn3->isEnabled());
        }
    }

    void enterStaysOnReplaceAfterTheButtonLostTheFocus()
    {
        const QString path = OpenClassOf(Utf8Entry("Hello") + Utf8Entry("World"));
        session_.Form().activateWindow();
        session_.Form().lv1->selectRow(0);
        session_.Form().btn1->setFocus();
        session_.Form().mmo1->setFocus();
        session_.Form().mmo1->setPlainText(QStringLiteral("Howdy"));
        session_.Form().btn2->setFocus();  // another button had the focus and lost it
        session_.Form().mmo1->setFocus();
        QTest::keyClick(session_.Form().mmo1, Qt::Key_Return);
        QCOMPARE(session_.Form().Model()->index(0, 0).data().toString(), QStringLiteral("Howdy"));
        QVERIFY(session_.Form().btn3->isEnabled());
    }

    void manifestWithCharactersOutsideGbkIsNotSaved()
    {
        const QByteArray manifest("Manifest-Version: 1.0\r\n\r\n");
        const QString path = Write(QStringLiteral("MANIFEST.MF"), manifest);
        TForm2 editor(session_.Dialogs(), session_.Form().dlgOpen3);
        QVERIFY(editor.OpenManifest(path, &session_.Form()));
        editor.show();
        editor.mmo1->setPlainText(QStringLiteral("Manifest-Version: 1.0\nX-Name: 한국\n"));
        session_.Dialogs().ExpectError();
        editor.btn2Click();
        QVERIFY2(session_.Dialogs().LastCall().text.contains(QStringLiteral("한")), qPrintable(session_.Dialogs().LastCall().text));
        QCOMPARE(session_.Dialogs().LastCall().caption, QStringLiteral("错误"));
        QCOMPARE(Read(path), manifest);
        QVERIFY(editor.IsModified());
        // Closing asks; Yes fails the same way and keeps the editor open with its text.
        session_.Dialogs().ExpectAsk(Dialogs::Answer::Yes).ExpectError();
        editor.reject();
        QVERIFY(editor.isVisible());
        QVERIFY(editor.mmo1->toPlainText().contains(QStringLiteral("한국")));
        QCOMPARE(Read(path), manifest);
        session_.Dialogs().ExpectAsk(Dialogs::Answer::No);
        editor.reject();
    }
};

QTEST_MAIN(EveryByteKeptTest)
#include "test_every_byte_kept.moc"
