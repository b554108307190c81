// A small program compiled with javac and packed with jar, translated in the translation
// window as a translator would (the detail editor, Ctrl+Enter, a recipe reworded around its
// slot), generated as app_zh.jar, and run with java: the translated texts must be printed.

#include "Java.h"
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

bool Run(const QString& program, const QStringList& arguments, const QString& folder)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
        return false;
    }
    return true;
}

QString JavaTool(const char* configured, const QString& name)
{
    if (cltest::ToolIsInstalled(configured))
        return QString::fromUtf8(configured);
    return QFileInfo(QFileInfo(QString::fromStdString(cltest::JavacPath())).canonicalFilePath()).dir().filePath(name);
}

}  // namespace

class TranslationWindowRoundTrip : public QObject {
    Q_OBJECT

private slots:
    void translatedJarRuns()
    {
        CLTEST_QT_REQUIRE_TOOL("javac", cltest::JavacPath());
        CLTEST_QT_REQUIRE_TOOL("java", cltest::JavaPath());
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("src/demo")));
        const std::string compiled =
            cltest::CompileJava(testfiles::Native(dir.filePath(QStringLiteral("src/demo"))), "App",
                                "package demo;\n"
                                "public class App {\n"
                                "    public static void main(String[] args) {\n"
                                "        int n = args.length + 3;\n"
                                "        System.out.println(\"Hello, translator\");\n"
                                "        System.out.println(\"Found \" + n + \" files\");\n"
                                "        System.out.println(\"Goodbye {for now}\");\n"
                                "    }\n"
                                "}\n",
                                testfiles::Native(dir.filePath(QStringLiteral("classes"))));
        QVERIFY2(compiled.empty(), compiled.c_str());
        QVERIFY(testfiles::WriteFile(dir.filePath(QStringLiteral("manifest.txt")), "Main-Class: demo.App\n"));
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

        const cltest::JavaRun translated = cltest::RunJava(testfiles::Native(output), "demo.App");
        QVERIFY2(translated.status == 0, translated.err.c_str());
        QCOMPARE(QString::fromStdString(translated.out), QStringLiteral("你好，译者\n找到 3 个文件\n再见 {暂时} 😀\n"));

        // The original still prints English.
        const cltest::JavaRun original =
            cltest::RunJava(testfiles::Native(dir.filePath(QStringLiteral("app.jar"))), "demo.App");
        QVERIFY2(original.status == 0, original.err.c_str());
        QCOMPARE(QString::fromStdString(original.out), QStringLiteral("Hello, translator\nFound 3 files\nGoodbye {for now}\n"));
        dialogs.ExpectAsk(Dialogs::Answer::No);
        QVERIFY(window.close());
    }
};

QTEST_MAIN(TranslationWindowRoundTrip)
#include "translation_window_roundtrip.moc"
