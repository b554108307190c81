// A small program compiled with javac and packed with jar, translated in the translation
// window as a translator would (the detail editor, Ctrl+Enter, a recipe reworded around its
// slot), generated as app_zh.jar, and run with java: the translated texts must be printed.
// Then every jar shape of jar and zip through the window's generate. Then the same through "试运行": the real java started from the window, its output in the run
// pane, a program that cannot start, one still running when the window closes, and one that
// writes its settings into its home (user.home, java.util.prefs), which is the run's own.

#include "RunPane.h"
#include "RunText.h"
#include "Java.h"
#include "ScriptedDialogs.h"
#include "TestFiles.h"
#include "TranslationModel.h"
#include "TranslationWindow.h"

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>

#include <pwd.h>
#include <unistd.h>

#include <memory>

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

// Compiles `source` (the class `mainClass`, in package demo) under `folder` and packs it as
// `jar` there, with `mainClass` as its manifest's Main-Class (`manifestClass` when given).
bool BuildJar(const QString& folder, const QString& mainClass, const QByteArray& source, const QString& jar,
              const QString& manifestClass = QString())
{
    const QString name = QStringLiteral("src-%1/demo/%1.java").arg(mainClass);
    const QString classes = QStringLiteral("classes-") + mainClass;
    const QString manifest = QStringLiteral("manifest-") + mainClass + QStringLiteral(".txt");
    const QString started = manifestClass.isEmpty() ? QStringLiteral("demo.") + mainClass : manifestClass;
    return QDir(folder).mkpath(QFileInfo(name).path()) && testfiles::WriteFile(QDir(folder).filePath(name), source) &&
           testfiles::WriteFile(QDir(folder).filePath(manifest), "Main-Class: " + started.toUtf8() + "\n") &&
           Run(QStringLiteral(CLASSLINGO_JAVAC),
               {QStringLiteral("-encoding"), QStringLiteral("UTF-8"), QStringLiteral("-d"), classes, name}, folder) &&
           Run(JavaTool(CLASSLINGO_JAR, QStringLiteral("jar")),
               {QStringLiteral("cfm"), jar, manifest, QStringLiteral("-C"), classes, QStringLiteral(".")}, folder);
}

QString Text(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

// How many processes have `text` in their command line (Linux: read from /proc).
int ProcessesMentioning(const QString& text)
{
    int found = 0;
    const QByteArray wanted = text.toUtf8();
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const std::optional<QByteArray> line = testfiles::ReadFile(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (line && line->contains(wanted))
            ++found;
    }
    return found;
}

}  // namespace

class TranslationWindowRoundTrip : public QObject {
    Q_OBJECT

private:
    QTemporaryDir settings_;

    // A window on `jar` with `source` translated to `translation`, java to be found where the
    // build found it.
    std::unique_ptr<TranslationWindow> Translated(ScriptedDialogs& dialogs, const QString& jar, const QString& source,
                                                  const QString& translation)
    {
        auto window = std::make_unique<TranslationWindow>(dialogs);
        window->show();
        window->runEnvironment = {QFileInfo(QStringLiteral(CLASSLINGO_JAVA)).path(), QString()};
        window->Open(jar);
        if (!QTest::qWaitFor([&] { return !window->Busy(); }, 60000))
            return nullptr;
        for (int row = 0; row < window->Model()->rowCount(); ++row)
            if (window->Model()->Source(row) == source)
                window->Model()->SetTranslation(row, translation);
        return window;
    }

private slots:
    void initTestCase()
    {
        // The windows remember programs and choices: in a scratch place, never the user's.
        QStandardPaths::setTestModeEnabled(true);
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings_.path());
        QCoreApplication::setOrganizationName(QStringLiteral("classlingo-tests"));
        // The programs run in a locale that is not UTF-8: what they print must still come out
        // in UTF-8, as the window asks java for it.
        qputenv("LC_ALL", "C");
    }

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

    // The jar shapes translators' programs come in, generated through the window: nothing
    // crashes, unzip accepts the output, and java runs the translation.
    void everyJarShapeIsGenerated_data()
    {
        QTest::addColumn<QString>("pack");
        const QString zip = QStringLiteral(CLASSLINGO_ZIP);
        const QString jar = JavaTool(CLASSLINGO_JAR, QStringLiteral("jar"));
        QTest::newRow("jar cf") << jar + QStringLiteral(" cfe ../app.jar demo.Shape .");
        QTest::newRow("jar cf0") << jar + QStringLiteral(" cf0e ../app.jar demo.Shape .");
        QTest::newRow("zip -r") << zip + QStringLiteral(" -qr ../app.jar .");
        QTest::newRow("zip -r -D") << zip + QStringLiteral(" -qrD ../app.jar .");
        QTest::newRow("zip streamed") << zip + QStringLiteral(" -qr - . | cat > ../app.jar");
        QTest::newRow("zip comment") << QStringLiteral("echo 'a comment' | ") + zip + QStringLiteral(" -qrz ../app.jar .");
    }

    void everyJarShapeIsGenerated()
    {
        QFETCH(QString, pack);
        CLTEST_QT_REQUIRE_TOOL("javac", cltest::JavacPath());
        CLTEST_QT_REQUIRE_TOOL("zip", CLASSLINGO_ZIP);
        CLTEST_QT_REQUIRE_TOOL("unzip", CLASSLINGO_UNZIP);
        QTemporaryDir dir;
        const std::string compiled = cltest::CompileJava(
            testfiles::Native(dir.path()), "Shape",
            "package demo;\n"
            "public class Shape {\n"
            "    public static void main(String[] args) { System.out.println(\"Hello, world\"); }\n"
            "}\n",
            testfiles::Native(dir.filePath(QStringLiteral("classes"))));
        QVERIFY2(compiled.empty(), compiled.c_str());
        QVERIFY(Run(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), pack}, dir.filePath(QStringLiteral("classes"))));

        ScriptedDialogs dialogs;
        const std::unique_ptr<TranslationWindow> window =
            Translated(dialogs, dir.filePath(QStringLiteral("app.jar")), QStringLiteral("Hello, world"), QStringLiteral("你好，世界"));
        QVERIFY(window);
        const QString output = dir.filePath(QStringLiteral("app_zh.jar"));
        dialogs.ExpectSave(output).ExpectModal();
        window->Generate();
        QVERIFY(QTest::qWaitFor([&] { return !window->Busy(); }, 60000));
        QVERIFY2(dialogs.AllMet(), qPrintable(dialogs.Problems().join(u'\n')));
        QVERIFY(Run(QStringLiteral(CLASSLINGO_UNZIP), {QStringLiteral("-tq"), output}, dir.path()));
        const cltest::JavaRun translated = cltest::RunJava(testfiles::Native(output), "demo.Shape");
        QVERIFY2(translated.status == 0, translated.err.c_str());
        QCOMPARE(QString::fromStdString(translated.out), QStringLiteral("你好，世界\n"));
        // Nothing but the output is left beside the program.
        QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("*.jar*"), QStringLiteral(".*")}, QDir::Files | QDir::Hidden),
                 (QStringList{QStringLiteral("app.jar"), QStringLiteral("app_zh.jar")}));
    }

    void runShowsTheTranslatedProgram()
    {
        QTemporaryDir dir;
        QVERIFY(BuildJar(dir.path(), QStringLiteral("Hello"),
                         "package demo;\n"
                         "public class Hello {\n"
                         "    public static void main(String[] args) throws Exception {\n"
                         "        System.out.println(\"Hello, world\");\n"
                         "        System.out.println(java.util.Locale.getDefault());\n"
                         "        System.out.println(new java.io.File(\".\").getCanonicalPath());\n"
                         "        System.err.println(\"Done\");\n"
                         "    }\n"
                         "}\n",
                         QStringLiteral("hello.jar")));
        const QString jar = dir.filePath(QStringLiteral("hello.jar"));
        const QByteArray original = testfiles::ReadFile(jar).value();
        const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        ScriptedDialogs dialogs;
        const std::unique_ptr<TranslationWindow> window =
            Translated(dialogs, jar, QStringLiteral("Hello, world"), QStringLiteral("你好，世界"));
        QVERIFY(window);

        QTest::keyClick(window.get(), Qt::Key_F5);
        QVERIFY(QTest::qWaitFor([&] { return !window->Busy(); }, 60000));
        const QString folder = window->RunFolder();
        QVERIFY(!folder.isEmpty());
        const QString ended = Text(cltext::RunEndedText());
        QVERIFY2(QTest::qWaitFor([&] { return window->runPane->Text().contains(ended); }, 60000),
                 qPrintable(window->runPane->Text()));
        // In Chinese, in the catalogue's language, from the jar's own folder, its errors too. The
        // two streams are read apart, so only the order within each is the program's own.
        QString shown = window->runPane->Text();
        QVERIFY2(shown.count(QStringLiteral("Done\n")) == 1, qPrintable(shown));
        shown.remove(QStringLiteral("Done\n"));
        const QString expected = QStringLiteral("你好，世界\nzh_CN\n") + QFileInfo(dir.path()).canonicalFilePath() +
                                 u'\n' + ended + u'\n';
        QVERIFY2(shown.endsWith(expected), qPrintable(window->runPane->Text()));
        QVERIFY(!QFileInfo::exists(folder));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
        QCOMPARE(testfiles::ReadFile(jar).value(), original);
        QVERIFY(dialogs.AllMet());
    }

    void runThatFailsAtOnce()
    {
        QTemporaryDir dir;
        // The manifest names a class the jar does not hold.
        QVERIFY(BuildJar(dir.path(), QStringLiteral("Lost"),
                         "package demo;\n"
                         "public class Lost {\n"
                         "    public static void main(String[] args) { System.out.println(\"Lost\"); }\n"
                         "}\n",
                         QStringLiteral("lost.jar"), QStringLiteral("demo.Missing")));
        ScriptedDialogs dialogs;
        const std::unique_ptr<TranslationWindow> window =
            Translated(dialogs, dir.filePath(QStringLiteral("lost.jar")), QStringLiteral("Lost"), QStringLiteral("迷路"));
        QVERIFY(window);
        QTest::keyClick(window.get(), Qt::Key_F5);
        QVERIFY(QTest::qWaitFor([&] { return !window->Busy(); }, 60000));
        const QString failed = QString::fromStdString(cltext::RunFailedAtOnceText(1));
        QVERIFY2(QTest::qWaitFor([&] { return window->runPane->Text().contains(failed); }, 60000),
                 qPrintable(window->runPane->Text()));
        QVERIFY2(window->runPane->Text().contains(QStringLiteral("demo.Missing")), qPrintable(window->runPane->Text()));
        QVERIFY(window->RunFolder().isEmpty());
    }

    void closingTheWindowEndsTheProgram()
    {
        QTemporaryDir dir;
        QVERIFY(BuildJar(dir.path(), QStringLiteral("Waiter"),
                         "package demo;\n"
                         "public class Waiter {\n"
                         "    public static void main(String[] args) throws Exception {\n"
                         "        System.out.println(\"Waiting\");\n"
                         "        Thread.sleep(120000);\n"
                         "    }\n"
                         "}\n",
                         QStringLiteral("waiter.jar")));
        ScriptedDialogs dialogs;
        std::unique_ptr<TranslationWindow> window =
            Translated(dialogs, dir.filePath(QStringLiteral("waiter.jar")), QStringLiteral("Waiting"), QStringLiteral("等待中"));
        QVERIFY(window);
        QTest::keyClick(window.get(), Qt::Key_F5);
        QVERIFY(QTest::qWaitFor([&] { return !window->Busy(); }, 60000));
        QVERIFY2(QTest::qWaitFor([&] { return window->runPane->Text().contains(QStringLiteral("等待中\n")); }, 60000),
                 qPrintable(window->runPane->Text()));
        QVERIFY(window->Running());
        const QString folder = window->RunFolder();
        QCOMPARE(ProcessesMentioning(folder), 1);
        QElapsedTimer clock;
        clock.start();
        dialogs.ExpectAsk(Dialogs::Answer::No);  // the translation is not kept
        QVERIFY(window->close());
        QVERIFY(!window->Running());
        QVERIFY(clock.elapsed() < 10000);
        QCOMPARE(ProcessesMentioning(folder), 0);
        QVERIFY(!QFileInfo::exists(folder));
    }

    void runGivesJavaAScratchHome()
    {
        QTemporaryDir dir;
        QVERIFY(BuildJar(dir.path(), QStringLiteral("Settings"),
                         "package demo;\n"
                         "import java.nio.file.*;\n"
                         "public class Settings {\n"
                         "    public static void main(String[] args) throws Exception {\n"
                         "        String home = System.getProperty(\"user.home\");\n"
                         "        Path settings = Paths.get(home, \".classlingo-e2e\", \"settings.txt\");\n"
                         "        Files.createDirectories(settings.getParent());\n"
                         "        Files.write(settings, \"translated\".getBytes(\"UTF-8\"));\n"
                         "        java.util.prefs.Preferences prefs =\n"
                         "            java.util.prefs.Preferences.userRoot().node(\"classlingo-e2e\");\n"
                         "        prefs.put(\"language\", \"zh\");\n"
                         "        prefs.flush();\n"
                         "        System.out.println(\"home=\" + home);\n"
                         "        System.out.println(\"HOME=\" + System.getenv(\"HOME\"));\n"
                         "        System.out.println(\"config=\" + System.getenv(\"XDG_CONFIG_HOME\"));\n"
                         "        System.out.println(\"settings=\" + Files.exists(settings));\n"
                         "        System.out.println(\"prefs=\" + Files.exists(Paths.get(home, \".java\", \".userPrefs\",\n"
                         "            \"classlingo-e2e\", \"prefs.xml\")));\n"
                         "        System.out.println(\"Settings saved\");\n"
                         "    }\n"
                         "}\n",
                         QStringLiteral("settings.jar")));
        // The user's home, as far as the environment says: it must stay empty. Java itself takes
        // its home from the password database, which must not be written either.
        QTemporaryDir userHome;
        const QByteArray savedHome = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(userHome.path()));
        const passwd* entry = ::getpwuid(::getuid());
        const QString passwdHome = entry != nullptr ? QFile::decodeName(entry->pw_dir) : QString();
        const QStringList written{QStringLiteral(".classlingo-e2e"), QStringLiteral(".java/.userPrefs/classlingo-e2e")};
        QStringList there;
        for (const QString& name : written)
            if (!passwdHome.isEmpty() && QFileInfo::exists(QDir(passwdHome).filePath(name)))
                there.append(name);

        ScriptedDialogs dialogs;
        const std::unique_ptr<TranslationWindow> window = Translated(
            dialogs, dir.filePath(QStringLiteral("settings.jar")), QStringLiteral("Settings saved"), QStringLiteral("设置已保存"));
        QVERIFY(window);
        QVERIFY(!window->realHomeBox->isChecked());
        window->runAction->trigger();
        QVERIFY(QTest::qWaitFor([&] { return !window->Busy(); }, 60000));
        const QString ended = Text(cltext::RunEndedText());
        const bool done = QTest::qWaitFor([&] { return window->runPane->Text().contains(ended); }, 60000);
        qputenv("HOME", savedHome);
        QVERIFY2(done, qPrintable(window->runPane->Text()));
        const QString shown = window->runPane->Text();
        // The home the program had: the run's folder's, which has gone with it.
        const QString home = QRegularExpression(QStringLiteral("^home=(.*)$"), QRegularExpression::MultilineOption)
                                 .match(shown)
                                 .captured(1);
        QVERIFY2(home.startsWith(QDir::tempPath() + QStringLiteral("/.classlingo-run")) &&
                     home.endsWith(QStringLiteral("/home")),
                 qPrintable(shown));
        for (const QString& line : {QStringLiteral("home=") + home, QStringLiteral("HOME=") + home,
                                    QStringLiteral("config=") + home + QStringLiteral("/.config"),
                                    QStringLiteral("settings=true"), QStringLiteral("prefs=true"),
                                    QStringLiteral("设置已保存")})
            QVERIFY2(shown.contains(line + u'\n'), qPrintable(line + QStringLiteral(" in:\n") + shown));
        QVERIFY(!QFileInfo::exists(home));
        QCOMPARE(QDir(userHome.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
        for (const QString& name : written)
            if (!there.contains(name))
                QVERIFY2(passwdHome.isEmpty() || !QFileInfo::exists(QDir(passwdHome).filePath(name)), qPrintable(name));
        QVERIFY(dialogs.AllMet());
    }
};

QTEST_MAIN(TranslationWindowRoundTrip)
#include "translation_window_roundtrip.moc"
