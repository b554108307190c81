// 试运行 with the real process runner and a stand-in for java: a shell script that starts a
// helper in the background, as a program may, says which processes it made and what home it
// was given, and writes a settings file there. The program runs in a process group of its own;
// stopping it, closing the window, classlingo ending and the program ending by itself each leave
// no process of the group alive and the run's folder gone, also when the program ignores
// SIGTERM. It writes into the run's scratch home, never the user's (this test's HOME, a scratch
// folder), unless the translator chooses the real one.

#include "ChildProcess.h"
#include "Java.h"
#include "QProcessRunner.h"
#include "RunPane.h"
#include "RunText.h"
#include "ScriptedDialogs.h"
#include "TestFiles.h"
#include "WindowTestSetUp.h"
#include "TranslationWindow.h"
#include "Tools.h"

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

#include <memory>

namespace {

const char* const kAppSource =
    "public class App {\n"
    "    public static void main(String[] args) {\n"
    "        System.out.println(\"Hello, translator\");\n"
    "    }\n"
    "}\n";

// How the stand-in behaves.
enum class Script { Waits, IgnoresTerm, EndsAtOnce };

QByteArray ScriptText(Script kind)
{
    QByteArray text = "#!/bin/sh\n";
    // An ignored signal stays ignored in what the shell starts: the helper ignores it too.
    if (kind == Script::IgnoresTerm)
        text += "trap '' TERM\n";
    text +=
        "sleep 300 &\n"
        "echo \"pids $$ $!\"\n"
        "config=\"${XDG_CONFIG_HOME:-$HOME/.config}\"\n"
        "mkdir -p \"$config/demo\" && echo written > \"$config/demo/settings\"\n"
        "echo \"home $HOME\"\n"
        "echo \"args $*\"\n"
        "echo \"wrote $config/demo/settings\"\n";
    text += kind == Script::EndsAtOnce ? "exit 0\n" : "wait\n";
    return text;
}

// The process group of a process, from /proc; -1 when it is gone.
qint64 GroupOf(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 2 ? fields.at(2).toLongLong() : -1;
}

enum class Ending { Stop, CloseWindow, ApplicationEnds, ByItself };

}  // namespace

Q_DECLARE_METATYPE(Script)
Q_DECLARE_METATYPE(Ending)

class TrialRunTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir compiled_;
    QTemporaryDir settings_;
    QTemporaryDir home_;  // this test's HOME: the user's own home as the run sees it
    QTemporaryDir jdk_;   // bin/java: the stand-in
    QByteArray appClass_;
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<ScriptedDialogs> dialogs_;
    std::unique_ptr<TranslationWindow> window_;

    QString Java() const { return jdk_.filePath(QStringLiteral("bin/java")); }

    void UseScript(Script kind)
    {
        QVERIFY(testfiles::WriteFile(Java(), ScriptText(kind)));
        QVERIFY(QFile::setPermissions(Java(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }

    QStringList HomeEntries() const
    {
        return QDir(home_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    // 试运行, and the program running until it has written its settings; gives what it said. The
    // action itself rather than F5: a progress dialog shown while the program opened (a slow
    // machine) may have left the window without the focus its shortcut needs.
    QString StartRun()
    {
        window_->runAction->trigger();
        if (!QTest::qWaitFor([&] { return !window_->Busy(); }, 30000))
            return {};
        if (!QTest::qWaitFor([&] { return window_->runPane->Text().contains(QStringLiteral("wrote ")); }, 30000)) {
            qWarning("the run did not get going: %s", qPrintable(window_->runPane->Text()));
            return {};
        }
        return window_->runPane->Text();
    }

    // The value of the stand-in's line "`key` ...".
    static QString Said(const QString& text, const QString& key)
    {
        const QRegularExpressionMatch match =
            QRegularExpression(QStringLiteral("^") + key + QStringLiteral(" (.*)$"), QRegularExpression::MultilineOption)
                .match(text);
        return match.hasMatch() ? match.captured(1) : QString();
    }

private slots:
    void initTestCase()
    {
        CLTEST_QT_REQUIRE_TOOL("javac", cltest::JavacPath());
        std::string error;
        const std::optional<QByteArray> app = testfiles::CompiledClass(compiled_, "App", kAppSource, error);
        QVERIFY2(app, error.c_str());
        appClass_ = *app;
        testfiles::KeepSettingsIn(settings_, QStringLiteral("test_trial_run"));
        // The user's home as the program would find it, with no desktop folders of its own.
        qputenv("HOME", QFile::encodeName(home_.path()));
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"})
            qunsetenv(name);
        QVERIFY(QDir(jdk_.path()).mkpath(QStringLiteral("bin")));
    }

    void init()
    {
        QSettings().clear();
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(testfiles::WriteFile(dir_->filePath(QStringLiteral("App.class")), appClass_));
        dialogs_ = std::make_unique<ScriptedDialogs>();
        window_ = std::make_unique<TranslationWindow>(*dialogs_);
        window_->recoveryFolder = settings_.filePath(QStringLiteral("recovery"));
        window_->runEnvironment = {jdk_.filePath(QStringLiteral("bin")), QString()};
        window_->show();
        window_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
        window_->Open(dir_->filePath(QStringLiteral("App.class")));
        QVERIFY(QTest::qWaitFor([&] { return !window_->Busy(); }, 30000));
        QVERIFY(window_->IsOpen());
    }

    void cleanup()
    {
        const QStringList problems = dialogs_->Problems();
        window_.reset();
        dialogs_.reset();
        dir_.reset();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
    }

    void everyEndingEndsTheWholeGroup_data()
    {
        QTest::addColumn<Script>("script");
        QTest::addColumn<Ending>("ending");
        QTest::addColumn<QString>("message");  // the pane's last line; empty when the window went
        const QString stopped = QString::fromUtf8(cltext::RunStoppedText());
        QTest::newRow("停止") << Script::Waits << Ending::Stop << stopped;
        QTest::newRow("停止, SIGTERM ignored") << Script::IgnoresTerm << Ending::Stop << stopped;
        QTest::newRow("window closed") << Script::Waits << Ending::CloseWindow << QString();
        QTest::newRow("window closed, SIGTERM ignored") << Script::IgnoresTerm << Ending::CloseWindow << QString();
        QTest::newRow("classlingo ends") << Script::Waits << Ending::ApplicationEnds << QString();
        QTest::newRow("classlingo ends, SIGTERM ignored") << Script::IgnoresTerm << Ending::ApplicationEnds << QString();
        QTest::newRow("java ends, its helper still running")
            << Script::EndsAtOnce << Ending::ByItself << QString::fromUtf8(cltext::RunEndedText());
    }

    void everyEndingEndsTheWholeGroup()
    {
        QFETCH(Script, script);
        QFETCH(Ending, ending);
        QFETCH(QString, message);
        UseScript(script);
        const QString said = StartRun();
        const QStringList pids = Said(said, QStringLiteral("pids")).split(u' ');
        QCOMPARE(pids.size(), 2);
        const qint64 program = pids.at(0).toLongLong();
        const qint64 helper = pids.at(1).toLongLong();
        // The run's folder, as the program found its home there (a program that ends at once may
        // have taken its run with it by now).
        const QString folder = QFileInfo(Said(said, QStringLiteral("home"))).path();
        QVERIFY(QFileInfo(folder).fileName().contains(QStringLiteral("classlingo-run")));
        if (ending != Ending::ByItself) {
            QCOMPARE(window_->RunFolder(), folder);
            QVERIFY(window_->Running());
            QVERIFY(cltest::ProcessAlive(program));
            QVERIFY(cltest::ProcessAlive(helper));
            // A group of its own, named by java, and not classlingo's; the helper in it.
            QCOMPARE(GroupOf(program), program);
            QVERIFY(program != ::getpgrp());
            QCOMPARE(GroupOf(helper), program);
        }

        switch (ending) {
            case Ending::Stop: window_->stopAction->trigger(); break;
            case Ending::CloseWindow: QVERIFY(window_->close()); break;
            case Ending::ApplicationEnds: window_->ApplicationEnding(); break;
            case Ending::ByItself: break;
        }
        // Closing and classlingo ending wait for the group; the others say when it has gone.
        if (ending == Ending::Stop || ending == Ending::ByItself)
            QVERIFY(QTest::qWaitFor([&] { return !window_->Running(); }, 20000));
        QVERIFY(!window_->Running());
        QVERIFY2(!cltest::ProcessAlive(program), "java is still running");
        QVERIFY2(!cltest::ProcessAlive(helper), "what java started is still running");
        QVERIFY2(!QFileInfo::exists(folder), qPrintable(folder));
        QVERIFY(window_->RunFolder().isEmpty());
        if (!message.isEmpty())
            QVERIFY2(window_->runPane->Text().endsWith(message + u'\n'), qPrintable(window_->runPane->Text()));
        // The user's home was never written.
        QCOMPARE(HomeEntries(), QStringList());
    }

    void theProgramWritesIntoTheScratchHome()
    {
        UseScript(Script::Waits);
        const QString said = StartRun();
        const QString home = window_->RunFolder() + QStringLiteral("/home");
        QCOMPARE(Said(said, QStringLiteral("home")), home);
        QCOMPARE(Said(said, QStringLiteral("wrote")), home + QStringLiteral("/.config/demo/settings"));
        QCOMPARE(testfiles::ReadFile(home + QStringLiteral("/.config/demo/settings")).value(), QByteArray("written\n"));
        QVERIFY(Said(said, QStringLiteral("args")).contains(QStringLiteral("-Duser.home=") + home));
        window_->StopRun();
        QVERIFY(QTest::qWaitFor([&] { return !window_->Running(); }, 20000));
        QCOMPARE(HomeEntries(), QStringList());
        QVERIFY(!QFileInfo::exists(home));
    }

    void theRealHomeWhenChosen()
    {
        UseScript(Script::EndsAtOnce);
        window_->realHomeBox->setChecked(true);
        const QString said = StartRun();
        QCOMPARE(Said(said, QStringLiteral("home")), home_.path());
        QVERIFY(!Said(said, QStringLiteral("args")).contains(QStringLiteral("-Duser.home")));
        QVERIFY(QTest::qWaitFor([&] { return !window_->Running(); }, 20000));
        // What it wrote stays where the original program would read it.
        QCOMPARE(testfiles::ReadFile(home_.filePath(QStringLiteral(".config/demo/settings"))).value(),
                 QByteArray("written\n"));
        QVERIFY(QDir(home_.filePath(QStringLiteral(".config"))).removeRecursively());
    }

    void theRunnerAlone()
    {
        // Without a window: a program that cannot be started ends with a reason, and a group
        // that is gone is not alive.
        QProcessRunner runner;
        QList<RunEnd> ends;
        connect(&runner, &ProgramRunner::Ended, this, [&](const RunEnd& end) { ends.append(end); });
        cl::run::RunCommand command;
        command.program = testfiles::Native(dir_->filePath(QStringLiteral("no-such-java")));
        command.workingFolder = testfiles::Native(dir_->path());
        runner.Start(command);
        QVERIFY(QTest::qWaitFor([&] { return !ends.isEmpty(); }, 10000));
        QCOMPARE(ends.size(), 1);
        QVERIFY(!ends.first().started);
        QVERIFY(!ends.first().reason.isEmpty());
        QVERIFY(!runner.IsRunning());
        QVERIFY(!QProcessRunner::GroupAlive(0));
        QVERIFY(!QProcessRunner::GroupAlive(1));
        QVERIFY(QProcessRunner::GroupAlive(::getpgrp()));
    }
};

QTEST_MAIN(TrialRunTest)
#include "test_trial_run.moc"
