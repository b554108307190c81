// A small program compiled with javac and packed with jar, translated in the translation
// window as a translator would (the detail editor, Ctrl+Enter, a recipe reworded around its
// slot), generated as app_zh.jar, and run with java: the translated texts must be printed.

#include "ScriptedDialogs.h"
#include "TestFiles.h"
#include "TranslationModel.h"
#include "TranslationWindow.h"

#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

namespace {

bool Run(const QString& program, const QStringList& arguments, const QString& folder, QByteArray* out = nullptr)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
        return false;
    }
    if (out != nullptr)
        *out = process.readAllStandardOutput();
    return true;
}

QString JavaTool(const char* configured, const QString& name)
{
    const QString path = QString::fromUtf8(configured);
    if (!path.isEmpty())
        return path;
    return QFileInfo(QFileInfo(QStringLiteral(CLASSLINGO_JAVAC)).canonicalFilePath()).dir().filePath(name);
}

}  // namespace

class TranslationWindowRoundTrip : public QObject {
    Q_OBJECT

private slots:
    void translatedJarRuns()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("src/demo")));
        QVERIFY(testfiles::WriteFile(dir.filePath(QStringLiteral("src/demo/App.java")),
                                     "package demo;\n"
                                     "public class App {\n"
                                     "    public static void main(String[] args) {\n"
                                     "        int n = args.length + 3;\n"
                                     "        System.out.println(\"Hello, translator\");\n"
                                     "        System.out.println(\"Found \" + n + \" files\");\n"
                                     "        System.out.println(\"Goodbye {for now}\");\n"
                                     "    }\n"
                                     "}\n"));
        QVERIFY(testfiles::WriteFile(dir.filePath(QStringLiteral("manifest.txt")), "Main-Class: demo.App\n"));
        QVERIFY(Run(QStringLiteral(CLASSLINGO_JAVAC),
                    {QStringLiteral("-encoding"), QStringLiteral("UTF-8"), QStringLiteral("-d"),
                     QStringLiteral("classes"), QStringLiteral("src/demo/App.java")},
                    dir.path()));
        QVERIFY(Run(JavaTool(CLASSLINGO_JAR, QStringLiteral("jar")),
                    {QStringLiteral("cfm"), QStringLiteral("app.jar"), QStringLiteral("manifest.txt"),
                     QStringLiteral("-C"), QStringLiteral("classes"), QStringLiteral(".")},
                    dir.path()));

        ScriptedDialogs dialogs;
        TranslationWindow window(dialogs);
        window.show();
        window.Open(dir.filePath(QStringLiteral("app.jar")));
        QVERIFY(QTest::qWaitFor([&] { return !window.Busy(); }, 60000));
        QCOMPARE(window.Model()->rowCount(), 3);

        // Translate every row in table order through the detail editor, moving on with Ctrl+Enter.
        const QMap<QString, QString> chinese{
            {QStringLiteral("Hello, translator"), QStringLiteral("你好，译者")},
            {QStringLiteral("Found {0} files"), QStringLiteral("找到 {0} 个文件")},
            {QStringLiteral("Goodbye {for now}"), QStringLiteral("再见 {暂时} 😀")},
        };
        window.table->setCurrentIndex(window.Filter()->index(0, TranslationModel::TranslationColumn));
        for (int i = 0; i < 3; ++i) {
            const QString source = window.Model()->Source(window.CurrentRow());
            QVERIFY2(chinese.contains(source), qPrintable(source));
            window.translationEdit->setFocus();
            window.translationEdit->insertPlainText(chinese.value(source));
            QTest::keyClick(window.translationEdit, Qt::Key_Return, Qt::ControlModifier);
        }
        QCOMPARE(window.Model()->TranslatedCount(false), 3);
        QCOMPARE(window.Model()->ProblemCount(false), 0);

        const QString output = dir.filePath(QStringLiteral("app_zh.jar"));
        QString report;
        dialogs.ExpectSave(output).ExpectModal([&](QDialog& box) { report = static_cast<QMessageBox&>(box).text(); });
        window.Generate();
        QVERIFY(QTest::qWaitFor([&] { return !window.Busy(); }, 60000));
        QVERIFY2(dialogs.AllMet(), qPrintable(dialogs.Problems().join(u'\n')));
        QVERIFY2(report.contains(QStringLiteral("已写入译文 3 条")), qPrintable(report));

        QByteArray printed;
        QVERIFY(Run(QStringLiteral(CLASSLINGO_JAVA),
                    {QStringLiteral("-Dfile.encoding=UTF-8"), QStringLiteral("-Dstdout.encoding=UTF-8"),
                     QStringLiteral("-Dsun.stdout.encoding=UTF-8"), QStringLiteral("-jar"), output},
                    dir.path(), &printed));
        QCOMPARE(QString::fromUtf8(printed), QStringLiteral("你好，译者\n找到 3 个文件\n再见 {暂时} 😀\n"));

        // The original still prints English.
        QVERIFY(Run(QStringLiteral(CLASSLINGO_JAVA), {QStringLiteral("-jar"), dir.filePath(QStringLiteral("app.jar"))},
                    dir.path(), &printed));
        QCOMPARE(QString::fromUtf8(printed), QStringLiteral("Hello, translator\nFound 3 files\nGoodbye {for now}\n"));
        dialogs.ExpectAsk(Dialogs::Answer::No);
        QVERIFY(window.close());
    }
};

QTEST_MAIN(TranslationWindowRoundTrip)
#include "translation_window_roundtrip.moc"
