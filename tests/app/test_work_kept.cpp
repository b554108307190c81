// The translator's work through what the translation window cannot prevent. Unsaved translations
// are autosaved to a recovery file (never over the catalogue), which goes once they are saved or
// discarded; the next open of the same program offers it when it is newer than the catalogue and
// restores exactly what the table held. classlingo ended by a real SIGTERM (a window of its own
// process, with a run going) keeps them there, says where, and ends the run with everything it
// started. A job that runs out of memory says so and leaves every translation as it was.

#include "ChildProcess.h"
#include "FailingFileSystem.h"
#include "Java.h"
#include "QuitOnSignal.h"
#include "Recovery.h"
#include "RecoveryText.h"
#include "RunPane.h"
#include "ScriptedDialogs.h"
#include "TestFiles.h"
#include "WindowTestSetUp.h"
#include "Tools.h"
#include "TranslationModel.h"
#include "TranslationWindow.h"

#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUndoStack>

#include <sys/resource.h>

#include <csignal>
#include <memory>

namespace cat = cl::catalogue;
using Answer = Dialogs::Answer;
Q_DECLARE_METATYPE(cltext::WindowJob)

namespace {

const char* const kAppSource =
    "public class App {\n"
    "    public static void main(String[] args) {\n"
    "        System.out.println(\"Hello, translator\");\n"
    "        System.out.println(\"Goodbye\");\n"
    "        System.out.println(\"See you\");\n"
    "    }\n"
    "}\n";

const QString kHello = QStringLiteral("Hello, translator");
const QString kGoodbye = QStringLiteral("Goodbye");
const QString kSeeYou = QStringLiteral("See you");

// The msgid -> (msgstr, fuzzy) of a catalogue file; empty when it cannot be read.
QMap<QString, QPair<QString, bool>> Entries(const QString& path)
{
    QMap<QString, QPair<QString, bool>> entries;
    const cl::Result<cat::PoCatalogue> read = cat::ReadPoFile(testfiles::Native(path));
    if (!read)
        return entries;
    for (const cat::PoMessage& m : read->messages)
        entries.insert(QString::fromStdString(m.msgid), {QString::fromStdString(m.msgstr), m.fuzzy});
    return entries;
}

// A translator who never answers: SIGTERM arrives while the question is open, and the box
// closes as its loop ends, as a real message box would, with No.
class SignalledDialogs : public ScriptedDialogs {
public:
    int asked = 0;
    Answer AskYesNo(QWidget*, const QString&, const QString&, Answer) override
    {
        ++asked;
        std::raise(SIGTERM);
        QEventLoop box;
        QTimer::singleShot(10000, &box, &QEventLoop::quit);
        box.exec();
        return Answer::No;
    }
};

bool SetModified(const QString& path, const QDateTime& when)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite) && file.setFileTime(when, QFileDevice::FileModificationTime);
}

}  // namespace

class WorkKeptTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir compiled_;
    QTemporaryDir settings_;
    QByteArray appClass_;
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<cltest::FailingFileSystem> fs_;
    std::unique_ptr<ScriptedDialogs> dialogs_;
    std::unique_ptr<TranslationWindow> window_;

    QString Path(const QString& name) const { return dir_->filePath(name); }
    QString AppPath() const { return Path(QStringLiteral("App.class")); }
    QString CataloguePath() const { return Path(QStringLiteral("App.zh_CN.po")); }
    QString RecoveryFolder() const { return settings_.filePath(QStringLiteral("recovery")); }
    QString RecoveryFile() const { return recovery::FileFor(RecoveryFolder(), AppPath()); }

    std::unique_ptr<TranslationWindow> NewWindow()
    {
        auto window = std::make_unique<TranslationWindow>(*dialogs_, *fs_);
        window->recoveryFolder = RecoveryFolder();
        window->show();
        return window;
    }

    void OpenApp(TranslationWindow& window)
    {
        window.Open(AppPath());
        QVERIFY(QTest::qWaitFor([&] { return !window.Busy(); }, 30000));
        QVERIFY(window.IsOpen());
    }

    int RowOf(const TranslationWindow& window, const QString& source) const
    {
        for (int r = 0; r < window.Model()->rowCount(); ++r)
            if (window.Model()->Source(r) == source)
                return r;
        return -1;
    }

    void Translate(TranslationWindow& window, const QString& source, const QString& text)
    {
        const int row = RowOf(window, source);
        QVERIFY(row >= 0);
        window.Model()->SetTranslation(row, text);
    }

    QString TranslationOf(const TranslationWindow& window, const QString& source) const
    {
        const int row = RowOf(window, source);
        return row < 0 ? QStringLiteral("<no row>") : window.Model()->Translation(row);
    }

    QStringList FolderEntries() const
    {
        return QDir(dir_->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

    // The catalogue beside the program: Goodbye and See you translated, a minute ago.
    void WriteCatalogue()
    {
        const std::string po =
            cat::WritePo({"App.class", "zh_CN", "test"}, {{"Goodbye", "再见", {}, {}}, {"See you", "回头见", {}, {}}});
        QVERIFY(testfiles::WriteFile(CataloguePath(), QByteArray::fromStdString(po)));
        QVERIFY(SetModified(CataloguePath(), QDateTime::currentDateTime().addSecs(-60)));
    }

private slots:
    void initTestCase()
    {
        CLTEST_QT_REQUIRE_TOOL("javac", cltest::JavacPath());
        std::string error;
        const std::optional<QByteArray> app = testfiles::CompiledClass(compiled_, "App", kAppSource, error);
        QVERIFY2(app, error.c_str());
        appClass_ = *app;
        testfiles::KeepSettingsIn(settings_, QStringLiteral("test_work_kept"));
    }

    void init()
    {
        QSettings().clear();
        QVERIFY(QDir(RecoveryFolder()).removeRecursively());
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(testfiles::WriteFile(AppPath(), appClass_));
        fs_ = std::make_unique<cltest::FailingFileSystem>();
        dialogs_ = std::make_unique<ScriptedDialogs>();
        window_ = NewWindow();
    }

    void cleanup()
    {
        // No close prompt from what a test left unsaved: the window goes as after a crash.
        window_.reset();
        const QStringList problems = dialogs_->Problems();
        const int pending = dialogs_->Pending();
        dialogs_.reset();
        fs_.reset();
        dir_.reset();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
        QCOMPARE(pending, 0);
    }

    // First: the C library keeps the stacks of threads that have ended for the next ones, so
    // only the first worker of this process needs new address space for its stack.
    void aWorkerThatCannotBeMadeIsAMessage()
    {
        // So little address space left that the worker's stack cannot be had: the job ends as
        // out of memory, and the window is not left busy for good.
        QFile status(QStringLiteral("/proc/self/status"));
        QVERIFY(status.open(QIODevice::ReadOnly));
        const QRegularExpressionMatch size =
            QRegularExpression(QStringLiteral("VmSize:\\s*(\\d+) kB")).match(QString::fromLatin1(status.readAll()));
        QVERIFY(size.hasMatch());
        rlimit before{};
        QVERIFY(::getrlimit(RLIMIT_AS, &before) == 0);
        rlimit tight = before;
        tight.rlim_cur = static_cast<rlim_t>(size.captured(1).toLongLong() + 2048) * 1024;
        dialogs_->ExpectError();
        QVERIFY(::setrlimit(RLIMIT_AS, &tight) == 0);
        window_->Open(AppPath());
        ::setrlimit(RLIMIT_AS, &before);
        QVERIFY(!window_->Busy());
        QCOMPARE(dialogs_->LastCall().text, QString::fromStdString(cltext::JobOutOfMemoryText(cltext::WindowJob::Open)));
        QVERIFY(!window_->IsOpen());
        // With memory again, the same open works.
        QVERIFY(window_->openAction->isEnabled());
        OpenApp(*window_);
    }

    void autosaveKeepsUnsavedTranslationsApart()
    {
        WriteCatalogue();
        OpenApp(*window_);
        const QByteArray catalogue = testfiles::ReadFile(CataloguePath()).value();
        // Nothing to keep while nothing has changed.
        QVERIFY(window_->Autosave());
        QVERIFY(!QFileInfo::exists(RecoveryFile()));

        Translate(*window_, kHello, QStringLiteral("你好，译者"));
        Translate(*window_, kGoodbye, QString());  // emptied since the save
        window_->SetAutosaveInterval(50);
        QVERIFY(QTest::qWaitFor([&] { return QFileInfo::exists(RecoveryFile()); }, 10000));
        QVERIFY(RecoveryFile().startsWith(RecoveryFolder() + u'/'));
        QVERIFY(QFileInfo(RecoveryFile()).fileName().startsWith(QStringLiteral("App.class-")));
        const auto kept = Entries(RecoveryFile());
        QCOMPARE(kept.value(kHello).first, QStringLiteral("你好，译者"));
        QVERIFY(kept.contains(kGoodbye));  // listed, empty: a restore empties it again
        QCOMPARE(kept.value(kGoodbye).first, QString());
        QCOMPARE(kept.value(kSeeYou).first, QStringLiteral("回头见"));
        // The catalogue is the translator's: untouched, and the window still has unsaved work.
        QCOMPARE(testfiles::ReadFile(CataloguePath()).value(), catalogue);
        QVERIFY(window_->IsModified());

        // A later change is written at the next tick.
        Translate(*window_, kSeeYou, QStringLiteral("再会"));
        QVERIFY(QTest::qWaitFor([&] { return Entries(RecoveryFile()).value(kSeeYou).first == QStringLiteral("再会"); },
                                10000));
        // Undone back to what was saved: nothing is left to recover.
        QUndoStack* undo = window_->Model()->UndoStack();
        while (undo->canUndo())
            undo->undo();
        QVERIFY(!window_->IsModified());
        QVERIFY(QTest::qWaitFor([&] { return !QFileInfo::exists(RecoveryFile()); }, 10000));
    }

    void theRecoveryFileGoesWhenTheWorkIsSavedOrDiscarded_data()
    {
        QTest::addColumn<int>("how");  // 0 saved, 1 discarded at close, 2 close cancelled, 3 discarded at another open
        QTest::addColumn<bool>("kept");
        QTest::newRow("saved") << 0 << false;
        QTest::newRow("discarded as the window closes") << 1 << false;
        QTest::newRow("closing cancelled") << 2 << true;
        QTest::newRow("discarded as another program opens") << 3 << false;
    }

    void theRecoveryFileGoesWhenTheWorkIsSavedOrDiscarded()
    {
        QFETCH(int, how);
        QFETCH(bool, kept);
        WriteCatalogue();
        OpenApp(*window_);
        Translate(*window_, kHello, QStringLiteral("你好"));
        QVERIFY(window_->Autosave());
        QVERIFY(QFileInfo::exists(RecoveryFile()));
        switch (how) {
            case 0:
                QVERIFY(window_->Save());
                QCOMPARE(Entries(CataloguePath()).value(kHello).first, QStringLiteral("你好"));
                break;
            case 1:
                dialogs_->ExpectAsk(Answer::No);
                QVERIFY(window_->close());
                break;
            case 2:
                dialogs_->ExpectAsk(Answer::Cancel);
                QVERIFY(!window_->close());
                break;
            case 3:
                QVERIFY(testfiles::WriteFile(Path(QStringLiteral("Other.class")), appClass_));
                dialogs_->ExpectAsk(Answer::No);
                window_->Open(Path(QStringLiteral("Other.class")));
                QVERIFY(QTest::qWaitFor([&] { return !window_->Busy(); }, 30000));
                QCOMPARE(window_->ProgramPath(), Path(QStringLiteral("Other.class")));
                break;
        }
        QCOMPARE(QFileInfo::exists(RecoveryFile()), kept);
        // The next open offers nothing but what was kept.
        window_ = NewWindow();
        if (kept)
            dialogs_->ExpectAskYesNo(Answer::No);
        OpenApp(*window_);
        QVERIFY(!window_->IsModified());
        QVERIFY(!QFileInfo::exists(RecoveryFile()));
    }

    void theNextOpenOffersWhatWasKept_data()
    {
        QTest::addColumn<bool>("catalogue");     // a catalogue beside the program
        QTest::addColumn<bool>("newer");         // the recovery file is newer than it
        QTest::addColumn<int>("answer");         // -1 not asked, else Answer
        QTest::newRow("restored") << true << true << int(Answer::Yes);
        QTest::newRow("declined") << true << true << int(Answer::No);
        QTest::newRow("without a catalogue") << false << true << int(Answer::Yes);
        QTest::newRow("older than the catalogue") << true << false << -1;
    }

    void theNextOpenOffersWhatWasKept()
    {
        QFETCH(bool, catalogue);
        QFETCH(bool, newer);
        QFETCH(int, answer);
        if (catalogue)
            WriteCatalogue();
        OpenApp(*window_);
        Translate(*window_, kHello, QStringLiteral("你好，译者"));
        Translate(*window_, kGoodbye, QString());
        QVERIFY(window_->Autosave());
        const QByteArray kept = testfiles::ReadFile(RecoveryFile()).value();
        // classlingo went without a word (a crash): the window is gone, nothing was saved.
        window_.reset();
        if (!newer)
            QVERIFY(SetModified(CataloguePath(), QDateTime::currentDateTime().addSecs(60)));
        const QStringList files = FolderEntries();

        window_ = NewWindow();
        if (answer >= 0)
            dialogs_->ExpectAskYesNo(Answer(answer));
        OpenApp(*window_);
        if (answer >= 0) {
            QCOMPARE(dialogs_->LastCall().caption, QString::fromUtf8(cltext::RestoreCaption()));
            QVERIFY2(dialogs_->LastCall().text.contains(QStringLiteral("“App.class”")),
                     qPrintable(dialogs_->LastCall().text));
            QCOMPARE(dialogs_->LastCall().text.contains(QStringLiteral("比目录文件新")), catalogue);
        }
        const QString savedGoodbye = catalogue ? QStringLiteral("再见") : QString();
        if (answer == int(Answer::Yes)) {
            // Exactly as the table held it: the new translation, the emptied one, the rest.
            QCOMPARE(TranslationOf(*window_, kHello), QStringLiteral("你好，译者"));
            QCOMPARE(TranslationOf(*window_, kGoodbye), QString());
            QCOMPARE(TranslationOf(*window_, kSeeYou), catalogue ? QStringLiteral("回头见") : QString());
            QVERIFY(window_->IsModified());
            QVERIFY(window_->windowTitle().endsWith(u'*'));
            // Kept until it is saved; one undo step goes back to the catalogue.
            QVERIFY(QFileInfo::exists(RecoveryFile()));
            window_->Model()->UndoStack()->undo();
            QCOMPARE(TranslationOf(*window_, kHello), QString());
            QCOMPARE(TranslationOf(*window_, kGoodbye), savedGoodbye);
            QVERIFY(!window_->IsModified());
        } else {
            QCOMPARE(TranslationOf(*window_, kHello), QString());
            QCOMPARE(TranslationOf(*window_, kGoodbye), savedGoodbye);
            QVERIFY(!window_->IsModified());
            // Declined, it goes; older than the catalogue, it was never shown and stays.
            QCOMPARE(QFileInfo::exists(RecoveryFile()), answer < 0);
            if (answer < 0)
                QCOMPARE(testfiles::ReadFile(RecoveryFile()).value(), kept);
        }
        // Nothing written beside the program.
        QCOMPARE(FolderEntries(), files);
    }

    void aRecoveryFileThatCannotBeWrittenIsSaid()
    {
        OpenApp(*window_);
        Translate(*window_, kHello, QStringLiteral("你好"));
        // A file where the folder should be.
        QVERIFY(testfiles::WriteFile(RecoveryFolder(), "not a folder"));
        QVERIFY(!window_->Autosave());
        QVERIFY2(window_->statusBar()->currentMessage().startsWith(QStringLiteral("无法自动保存译文到")),
                 qPrintable(window_->statusBar()->currentMessage()));
        QVERIFY(window_->IsModified());
        QCOMPARE(TranslationOf(*window_, kHello), QStringLiteral("你好"));
        QVERIFY(QFile::remove(RecoveryFolder()));
    }

    void sigtermKeepsTheWorkAndEndsTheRun()
    {
        WriteCatalogue();
        const QByteArray catalogue = testfiles::ReadFile(CataloguePath()).value();
        QTemporaryDir scratch;
        const QString data = scratch.filePath(QStringLiteral("data"));
        const QString java = scratch.filePath(QStringLiteral("jdk/bin/java"));
        QVERIFY(QDir(scratch.path()).mkpath(QStringLiteral("jdk/bin")));
        QVERIFY(QDir(scratch.path()).mkpath(QStringLiteral("home")));
        // A program that starts a helper in the background and waits.
        QVERIFY(testfiles::WriteFile(java, "#!/bin/sh\nsleep 300 &\necho \"pids $$ $!\"\nwait\n"));
        QVERIFY(QFile::setPermissions(java, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        const QString ready = scratch.filePath(QStringLiteral("ready"));
        auto word = [](const QString& text) { return cltest::ShellQuoted(testfiles::Native(text)); };
        const std::string command =
            "XDG_DATA_HOME=" + word(data) + " XDG_CONFIG_HOME=" + word(scratch.filePath(QStringLiteral("config"))) +
            " HOME=" + word(scratch.filePath(QStringLiteral("home"))) + " QT_QPA_PLATFORM=offscreen " +
            word(QStringLiteral(WINDOW_CHILD)) + ' ' + word(AppPath()) + ' ' + word(kHello) + ' ' +
            word(QStringLiteral("你好，译者")) + ' ' + word(ready) + ' ' + word(QFileInfo(java).path()) +
            " & pid=$!\n"
            "i=0\n"
            "while [ ! -s " + word(ready) + " ] && [ $i -lt 600 ] && kill -0 $pid 2>/dev/null; do sleep 0.1; i=$((i+1)); done\n"
            "kill -TERM $pid\n"
            "wait $pid\n"
            "echo \"status=$?\"\n";
        const cltest::ChildRun run = cltest::RunShell(command, testfiles::Native(scratch.path()));
        QVERIFY2(run.out == "status=0\n", (run.out + run.err).c_str());

        // Where it went, said on the way out.
        const QString recoveryFile =
            recovery::FileFor(QDir(data).filePath(QStringLiteral("classlingo/recovery")), AppPath());
        const QString said = QString::fromUtf8(run.err);
        QVERIFY2(said.contains(QString::fromStdString(
                     cltext::SavedOnQuitText(testfiles::Native(AppPath()), testfiles::Native(recoveryFile)))),
                 qPrintable(said));
        QCOMPARE(Entries(recoveryFile).value(kHello).first, QStringLiteral("你好，译者"));
        QCOMPARE(testfiles::ReadFile(CataloguePath()).value(), catalogue);

        // The run it had going ended, with what it started, and its folder went.
        const QString readyText = QString::fromUtf8(testfiles::ReadFile(ready).value());
        const QString folder = readyText.section(u'\n', 0, 0).section(u'\t', 1);
        const QRegularExpressionMatch pids = QRegularExpression(QStringLiteral("pids (\\d+) (\\d+)")).match(readyText);
        QVERIFY2(pids.hasMatch() && !folder.isEmpty(), qPrintable(readyText));
        QVERIFY(!cltest::ProcessAlive(pids.captured(1).toLongLong()));
        QVERIFY(!cltest::ProcessAlive(pids.captured(2).toLongLong()));
        QVERIFY2(!QFileInfo::exists(folder), qPrintable(folder));

        // Opened again, the work is offered and comes back.
        window_->recoveryFolder = QFileInfo(recoveryFile).path();
        dialogs_->ExpectAskYesNo(Answer::Yes);
        OpenApp(*window_);
        QCOMPARE(TranslationOf(*window_, kHello), QStringLiteral("你好，译者"));
        QCOMPARE(TranslationOf(*window_, kGoodbye), QStringLiteral("再见"));
        QVERIFY(window_->IsModified());
    }

    void outOfMemoryIsAMessage_data()
    {
        QTest::addColumn<cltext::WindowJob>("job");
        QTest::newRow("open") << cltext::WindowJob::Open;
        QTest::newRow("generate") << cltext::WindowJob::Generate;
        QTest::newRow("run") << cltext::WindowJob::Run;
        QTest::newRow("import") << cltext::WindowJob::Import;
    }

    void outOfMemoryIsAMessage()
    {
        QFETCH(cltext::WindowJob, job);
        QTemporaryDir jdk;
        QVERIFY(QDir(jdk.path()).mkpath(QStringLiteral("bin")));
        QVERIFY(testfiles::WriteFile(jdk.filePath(QStringLiteral("bin/java")), "#!/bin/sh\n"));
        QVERIFY(QFile::setPermissions(jdk.filePath(QStringLiteral("bin/java")),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        window_->runEnvironment = {jdk.filePath(QStringLiteral("bin")), QString()};
        const QString po = Path(QStringLiteral("more.po"));
        QVERIFY(testfiles::WriteFile(po, QByteArray::fromStdString(cat::WritePo({"App.class", "zh_CN", "test"},
                                                                                {{"See you", "回头见", {}, {}}}))));
        QVERIFY(testfiles::WriteFile(Path(QStringLiteral("Other.class")), appClass_));
        OpenApp(*window_);
        Translate(*window_, kHello, QStringLiteral("你好，译者"));
        const QStringList files = FolderEntries();

        // The next file read, on the worker (or, for an import, on the window's thread), fails
        // to get its memory.
        fs_->RunOutOfMemoryAt(cltest::FailStep::OpenRead, fs_->Calls(cltest::FailStep::OpenRead) + 1);
        switch (job) {
            case cltext::WindowJob::Open:
                dialogs_->ExpectAsk(Answer::No).ExpectError();
                window_->Open(Path(QStringLiteral("Other.class")));
                break;
            case cltext::WindowJob::Generate:
                dialogs_->ExpectSave(Path(QStringLiteral("App_zh.class"))).ExpectError();
                window_->Generate();
                break;
            case cltext::WindowJob::Run:
                dialogs_->ExpectError();
                window_->Run();
                break;
            case cltext::WindowJob::Import:
                dialogs_->ExpectOpen(po).ExpectError();
                window_->Import();
                break;
        }
        QVERIFY(QTest::qWaitFor([&] { return !window_->Busy(); }, 30000));
        QVERIFY(fs_->Injected());
        QCOMPARE(dialogs_->LastCall().kind, ScriptedDialogs::Kind::Error);
        QCOMPARE(dialogs_->LastCall().text, QString::fromStdString(cltext::JobOutOfMemoryText(job)));
        // The program and every translation as they were; nothing written or left running.
        QCOMPARE(window_->ProgramPath(), AppPath());
        QCOMPARE(TranslationOf(*window_, kHello), QStringLiteral("你好，译者"));
        QCOMPARE(TranslationOf(*window_, kSeeYou), QString());
        QVERIFY(window_->IsModified());
        QCOMPARE(FolderEntries(), files);
        QVERIFY(!window_->Running());
        QVERIFY(window_->RunFolder().isEmpty());
        // The window goes on: the same job works once there is memory again.
        QVERIFY(window_->runAction->isEnabled() && window_->generateAction->isEnabled());
        dialogs_->ExpectOpen(po).ExpectModal();
        window_->Import();
        QCOMPARE(TranslationOf(*window_, kSeeYou), QStringLiteral("回头见"));
    }

    // Last: the signal handlers stay installed, and the loops of this process end at once from
    // now on, as they do in a classlingo that is ending.
    void aSignalDuringTheRestoreQuestionKeepsTheFile()
    {
        OpenApp(*window_);
        Translate(*window_, kHello, QStringLiteral("你好，译者"));
        QVERIFY(window_->Autosave());
        const QByteArray kept = testfiles::ReadFile(RecoveryFile()).value();
        window_.reset();

        QVERIFY(QuitOnSignals());
        QVERIFY(!QuitSignalled());
        SignalledDialogs dialogs;
        TranslationWindow window(dialogs, *fs_);
        window.recoveryFolder = RecoveryFolder();
        window.Open(AppPath());
        QVERIFY(QTest::qWaitFor([&] { return !window.Busy(); }, 30000));
        QCOMPARE(dialogs.asked, 1);
        QVERIFY(QuitSignalled());
        // Neither restored nor thrown away.
        QCOMPARE(TranslationOf(window, kHello), QString());
        QCOMPARE(testfiles::ReadFile(RecoveryFile()).value(), kept);
    }
};

QTEST_MAIN(WorkKeptTest)
#include "test_work_kept.moc"
