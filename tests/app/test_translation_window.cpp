// The translation window driven as a translator drives it, with every dialog answered through
// ScriptedDialogs: opening (and the catalogue found beside the program), typing with live
// checks and undo, Ctrl+Enter (also when the search hides the rest), filtering and sorting,
// saving (also elsewhere, and when the file system fails), importing, translations needing review
// and what the catalogue keeps of them, generating (also over the original and its earlier
// backup, and cancelled), running the translated program through a fake runner, the recent
// programs, the close prompt, and the way in from the main window. What the window remembers
// goes to a scratch settings folder, never the user's.

// Before Qt's headers, whose "slots" the class builder would meet.
#include "SampleClasses.h"
#include "SamplePrograms.h"

#include "FailingFileSystem.h"
#include "FileState.h"
#include "Java.h"
#include "Main.h"
#include "ProgramRunner.h"
#include "RecentPrograms.h"
#include "RunPane.h"
#include "RunText.h"
#include "ProgramText.h"
#include "ScriptedDialogs.h"
#include "TestFiles.h"
#include "WindowTestSetUp.h"
#include "TranslationModel.h"
#include "TranslationWindow.h"
#include "UsageText.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>

#include <memory>

namespace cat = cl::catalogue;
using Answer = Dialogs::Answer;
Q_DECLARE_METATYPE(cltest::FailStep)

namespace {

const QString kErrorCaption = QStringLiteral("错误");

const char* const kAppSource =
    "public class App {\n"
    "    @Deprecated(since = \"Menu label\")\n"
    "    static void old() {}\n"
    "    public static void main(String[] args) {\n"
    "        int n = args.length + 3;\n"
    "        System.out.println(\"Hello, translator\");\n"
    "        System.out.println(\"Found \" + n + \" files\");\n"
    "        System.out.println(\"Goodbye\");\n"
    "    }\n"
    "}\n";

const char* const kOtherSource =
    "public class Other {\n"
    "    public static void main(String[] args) {\n"
    "        System.out.println(\"Other\");\n"
    "    }\n"
    "}\n";

std::string Native(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

uint64_t Inode(const QString& path)
{
    cl::FileInfo info;
    return cl::NativeFileSystem().Stat(Native(path), info) ? 0 : info.inode;
}

QString FromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The program's part in a run: the window hands the command over, the test writes its output
// and ends it.
class FakeRunner : public ProgramRunner {
public:
    QList<cl::run::RunCommand> started;
    int stops = 0;
    int abandons = 0;

    void Start(const cl::run::RunCommand& command) override
    {
        started.append(command);
        running_ = true;
    }
    void Stop() override { ++stops; }
    void Abandon() override
    {
        ++abandons;
        running_ = false;
    }
    bool IsRunning() const override { return running_; }

    void Write(const QByteArray& bytes, bool error = false) { emit Output(bytes, error); }
    void End(int exitCode, bool crashed = false)
    {
        running_ = false;
        RunEnd end;
        end.exitCode = exitCode;
        end.crashed = crashed;
        emit Ended(end);
    }
    void FailToStart(const QString& reason)
    {
        running_ = false;
        RunEnd end;
        end.started = false;
        end.reason = reason;
        emit Ended(end);
    }
    QStringList Arguments(int run = -1) const
    {
        QStringList arguments;
        for (const std::string& argument : started.at(run < 0 ? started.size() - 1 : run).arguments)
            arguments.append(FromUtf8(argument));
        return arguments;
    }

private:
    bool running_ = false;
};

}  // namespace

class TranslationWindowTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir compiled_;
    QTemporaryDir settings_;
    QTemporaryDir jdk_;  // bin/java: a file that only has to be there and be executable
    QByteArray appClass_;
    QByteArray otherClass_;
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<ScriptedDialogs> dialogs_;
    std::unique_ptr<TranslationWindow> window_;

    QString Path(const QString& name) const { return dir_->filePath(name); }
    QString AppPath() const { return Path(QStringLiteral("App.class")); }

    bool WaitForJob() { return QTest::qWaitFor([&] { return !window_->Busy(); }, 30000); }

    void OpenApp()
    {
        window_->Open(AppPath());
        QVERIFY(WaitForJob());
        QVERIFY(window_->IsOpen());
    }

    // The source row of a text, -1 when the table does not have it.
    int RowOf(const QString& source) const
    {
        for (int r = 0; r < window_->Model()->rowCount(); ++r)
            if (window_->Model()->Source(r) == source)
                return r;
        return -1;
    }

    void Select(const QString& source)
    {
        const int row = RowOf(source);
        QVERIFY(row >= 0);
        const QModelIndex shown = window_->Filter()->mapFromSource(window_->Model()->index(row, 1));
        QVERIFY(shown.isValid());
        window_->table->setCurrentIndex(shown);
        QCOMPARE(window_->CurrentRow(), row);
    }

    void Translate(const QString& source, const QString& text)
    {
        const int row = RowOf(source);
        QVERIFY(row >= 0);
        window_->Model()->SetTranslation(row, text);
    }

    FakeRunner* UseFakeRunner()
    {
        auto* runner = new FakeRunner;
        window_->SetRunner(runner);
        window_->runEnvironment = {jdk_.filePath(QStringLiteral("bin")), QString()};
        return runner;
    }
    QString FakeJava() const { return jdk_.filePath(QStringLiteral("bin/java")); }

    // F5 and the generate it starts, done.
    void PressRun()
    {
        QTest::keyClick(window_.get(), Qt::Key_F5);
        QVERIFY(WaitForJob());
    }

    QString PaneText() const { return window_->runPane->Text(); }

    // The texts of the table as it shows them, top to bottom.
    QStringList Shown() const
    {
        QStringList texts;
        for (int r = 0; r < window_->Filter()->rowCount(); ++r)
            texts.append(window_->Filter()->index(r, 0).data(TranslationModel::RawTextRole).toString());
        return texts;
    }

    void ClickHeader(int column)
    {
        QHeaderView* header = window_->table->horizontalHeader();
        const QPoint middle(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                            header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, middle);
    }

    QStringList FolderEntries() const
    {
        return QDir(dir_->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

    // The msgid -> msgstr pairs of a saved catalogue.
    static QMap<QString, QString> ReadCatalogue(const QString& path)
    {
        const cl::Result<cat::PoCatalogue> read = cat::ReadPoFile(Native(path));
        QMap<QString, QString> pairs;
        if (!read)
            return pairs;
        for (const cat::PoMessage& m : read->messages)
            pairs.insert(QString::fromStdString(m.msgid), QString::fromStdString(m.msgstr));
        return pairs;
    }

    // The texts a generated program offers, opened as the window would.
    static QStringList TextsOf(const QString& path)
    {
        cat::OpenOptions options;
        options.annotations = true;
        options.readAs = cat::ReadAs::Found;  // what the file holds, translated or not
        cat::ProgramSession opened;
        QStringList texts;
        if (!opened.Open(Native(path), options))
            return texts;
        for (const cat::SessionEntry& entry : opened.Entries())
            texts.append(QString::fromStdString(entry.msgid));
        return texts;
    }

private slots:
    void initTestCase()
    {
        CLTEST_QT_REQUIRE_TOOL("javac", cltest::JavacPath());
        std::string error;
        const std::optional<QByteArray> app = testfiles::CompiledClass(compiled_, "App", kAppSource, error);
        QVERIFY2(app, error.c_str());
        appClass_ = *app;
        const std::optional<QByteArray> other = testfiles::CompiledClass(compiled_, "Other", kOtherSource, error);
        QVERIFY2(other, error.c_str());
        otherClass_ = *other;

        QStandardPaths::setTestModeEnabled(true);
        testfiles::KeepSettingsIn(settings_, QStringLiteral("test_translation_window"));

        QVERIFY(QDir(jdk_.path()).mkpath(QStringLiteral("bin")));
        QVERIFY(testfiles::WriteFile(FakeJava(), "#!/bin/sh\n"));
        QVERIFY(QFile::setPermissions(FakeJava(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }

    void init()
    {
        QSettings().clear();
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(testfiles::WriteFile(AppPath(), appClass_));
        dialogs_ = std::make_unique<ScriptedDialogs>();
        window_ = std::make_unique<TranslationWindow>(*dialogs_);
        // What the autosave keeps goes to the scratch settings folder, never the user's.
        window_->recoveryFolder = settings_.filePath(QStringLiteral("recovery"));
        window_->show();
        // Keyboard shortcuts reach only the active window.
        window_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    }

    void cleanup()
    {
        const QStringList problems = dialogs_->Problems();
        const int pending = dialogs_->Pending();
        window_.reset();
        dialogs_.reset();
        dir_.reset();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
        QCOMPARE(pending, 0);
    }

    void openShowsTheProgram()
    {
        QCOMPARE(window_->windowTitle(), QStringLiteral("翻译"));
        QVERIFY(!window_->saveAction->isEnabled());
        OpenApp();
        QCOMPARE(window_->windowTitle(), QStringLiteral("翻译 - App.class"));
        QVERIFY(window_->saveAction->isEnabled() && window_->generateAction->isEnabled());
        // Three texts of the code; the annotation value only on request.
        QCOMPARE(window_->Filter()->rowCount(), 3);
        QCOMPARE(window_->countLabel->text(), QStringLiteral("已翻译 0 / 3"));
        QVERIFY(RowOf(QStringLiteral("Found {0} files")) >= 0);
        QVERIFY(RowOf(QStringLiteral("Menu label")) >= 0);

        // The first row is current and shown in the detail pane.
        QVERIFY(window_->CurrentRow() >= 0);
        Select(QStringLiteral("Found {0} files"));
        QCOMPARE(window_->sourceView->toPlainText(), QStringLiteral("Found {0} files"));
        QCOMPARE(window_->placesView->model()->rowCount(), 1);
        QCOMPARE(window_->placesView->model()->index(0, 0).data().toString(), QStringLiteral("App — main"));
        QVERIFY(window_->translationEdit->isEnabled());
        QCOMPARE(window_->translationEdit->toPlainText(), QString());
    }

    void openErrorLeavesTheWindowAsItWas_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        QTest::newRow("not a program") << QStringLiteral("notes.txt") << QByteArray("just text\n")
                                       << QStringLiteral("既不是 jar/zip，也不是 class 文件或文件夹");
        QTest::newRow("broken archive") << QStringLiteral("broken.jar") << QByteArray("PK\x03\x04garbage", 11)
                                        << QStringLiteral("无法读取压缩包");
        QTest::newRow("missing") << QStringLiteral("gone.jar") << QByteArray() << QStringLiteral("无法读取");
    }

    void openErrorLeavesTheWindowAsItWas()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        OpenApp();
        Translate(QStringLiteral("Goodbye"), QStringLiteral("再见"));
        const QString title = window_->windowTitle();
        if (!bytes.isEmpty())
            QVERIFY(testfiles::WriteFile(Path(name), bytes));
        // Asked about the unsaved translation first; kept in the window all the same.
        dialogs_->ExpectAsk(Answer::No).ExpectError();
        window_->Open(Path(name));
        QVERIFY(WaitForJob());
        QCOMPARE(dialogs_->LastCall().caption, kErrorCaption);
        QVERIFY2(dialogs_->LastCall().text.contains(reason), qPrintable(dialogs_->LastCall().text));
        QVERIFY(dialogs_->LastCall().text.contains(name));
        QCOMPARE(window_->ProgramPath(), AppPath());
        QCOMPARE(window_->windowTitle(), title);
        QCOMPARE(title, QStringLiteral("翻译 - App.class*"));
        QCOMPARE(window_->Model()->Translation(RowOf(QStringLiteral("Goodbye"))), QStringLiteral("再见"));
    }

    void catalogueBesideTheProgramIsLoaded()
    {
        const std::string po = cat::WritePo({"App.class", "zh_CN", "test"},
                                            {{"Goodbye", "再见", {}, {}}, {"Hello, translator", "", {}, {}}});
        QVERIFY(testfiles::WriteFile(Path(QStringLiteral("App.zh_CN.po")), QByteArray::fromStdString(po)));
        OpenApp();
        QCOMPARE(window_->CataloguePath(), Path(QStringLiteral("App.zh_CN.po")));
        QCOMPARE(window_->Model()->Translation(RowOf(QStringLiteral("Goodbye"))), QStringLiteral("再见"));
        QVERIFY(!window_->IsModified());
        QCOMPARE(window_->windowTitle(), QStringLiteral("翻译 - App.class"));
        QCOMPARE(window_->countLabel->text(), QStringLiteral("已翻译 1 / 3"));
        QCOMPARE(window_->countBar->value(), 1);
        QCOMPARE(window_->countBar->maximum(), 3);

        // Saving goes back to that catalogue without asking where.
        Translate(QStringLiteral("Hello, translator"), QStringLiteral("你好，译者"));
        QCOMPARE(window_->windowTitle(), QStringLiteral("翻译 - App.class*"));
        QVERIFY(window_->Save());
        QCOMPARE(window_->windowTitle(), QStringLiteral("翻译 - App.class"));
        QCOMPARE(ReadCatalogue(window_->CataloguePath()).value(QStringLiteral("Hello, translator")),
                 QStringLiteral("你好，译者"));
    }

    void typingIsCheckedAndUndone()
    {
        OpenApp();
        Select(QStringLiteral("Found {0} files"));
        const int row = window_->CurrentRow();
        window_->translationEdit->setFocus();
        // Chinese arrives as an input method commits it; the ASCII keys are typed.
        window_->translationEdit->insertPlainText(QStringLiteral("找到文件"));
        QCOMPARE(window_->Model()->Translation(row), QStringLiteral("找到文件"));
        QCOMPARE(window_->windowTitle(), QStringLiteral("翻译 - App.class*"));
        // The slot is missing: marked in the pane, in the table, and in the count.
        QVERIFY2(window_->problemLabel->text().contains(QStringLiteral("缺少占位符")),
                 qPrintable(window_->problemLabel->text()));
        const QModelIndex cell = window_->Filter()->mapFromSource(window_->Model()->index(row, 1));
        QCOMPARE(cell.data(Qt::ToolTipRole).toString(),
                 TranslationModel::ProblemText(cl::TranslationProblem::MissingSlot));
        QCOMPARE(window_->countLabel->text(), QStringLiteral("已翻译 1 / 3（有问题 1）"));

        QTest::keyClicks(window_->translationEdit, QStringLiteral(" {0}"));
        QCOMPARE(window_->problemLabel->text(), QString());
        QCOMPARE(window_->Model()->UndoStack()->count(), 1);  // one row typed: one step

        // Ctrl+Z undoes the typing even with the focus in the editor, Ctrl+Y brings it back.
        QTest::keyClick(window_->translationEdit, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(window_->Model()->Translation(row), QString());
        QCOMPARE(window_->translationEdit->toPlainText(), QString());
        QCOMPARE(window_->windowTitle(), QStringLiteral("翻译 - App.class"));
        QTest::keyClick(window_->translationEdit, Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(window_->translationEdit->toPlainText(), QStringLiteral("找到文件 {0}"));

        // An edit in the table cell reaches the detail pane.
        window_->Filter()->setData(cell, QStringLiteral("共 {0} 个文件"));
        QCOMPARE(window_->translationEdit->toPlainText(), QStringLiteral("共 {0} 个文件"));
    }

    void ctrlEnterGoesToTheNextUntranslatedRow()
    {
        OpenApp();
        // Visit the rows in table order, translating every other one.
        QList<int> order;
        for (int r = 0; r < window_->Filter()->rowCount(); ++r)
            order.append(window_->Filter()->mapToSource(window_->Filter()->index(r, 0)).row());
        QCOMPARE(order.size(), 3);
        window_->Model()->SetTranslation(order[1], QStringLiteral("已译"));
        window_->table->setCurrentIndex(window_->Filter()->index(0, 1));
        window_->translationEdit->setFocus();
        QTest::keyClick(window_->translationEdit, Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(window_->CurrentRow(), order[2]);
        QVERIFY(window_->translationEdit->hasFocus());
        QTest::keyClick(window_->translationEdit, Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier);
        QCOMPARE(window_->CurrentRow(), order[0]);  // wraps round
        // The key made no line break in the translation.
        QCOMPARE(window_->Model()->Translation(order[2]), QString());
    }

    void searchAndFiltersNarrowTheTable_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<int>("state");
        QTest::addColumn<bool>("annotations");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("counts");
        QTest::newRow("everything") << QString() << 0 << false << 3 << QStringLiteral("已翻译 1 / 3");
        QTest::newRow("annotations") << QString() << 0 << true << 4 << QStringLiteral("已翻译 1 / 4");
        QTest::newRow("typed search") << QStringLiteral("good") << 0 << false << 1 << QStringLiteral("已翻译 1 / 3");
        QTest::newRow("translation searched") << QStringLiteral("再见") << 0 << false << 1
                                              << QStringLiteral("已翻译 1 / 3");
        QTest::newRow("untranslated") << QString() << 1 << false << 2 << QStringLiteral("已翻译 1 / 3");
        QTest::newRow("translated") << QString() << 2 << false << 1 << QStringLiteral("已翻译 1 / 3");
        QTest::newRow("problems") << QString() << 3 << true << 0 << QStringLiteral("已翻译 1 / 4");
    }

    void searchAndFiltersNarrowTheTable()
    {
        QFETCH(QString, search);
        QFETCH(int, state);
        QFETCH(bool, annotations);
        QFETCH(int, rows);
        QFETCH(QString, counts);
        OpenApp();
        Translate(QStringLiteral("Goodbye"), QStringLiteral("再见"));
        if (search.isEmpty() || search.front().unicode() < 128)
            QTest::keyClicks(window_->searchBox, search);
        else
            window_->searchBox->insert(search);  // as an input method commits it
        window_->stateBox->setCurrentIndex(state);
        window_->annotationsBox->setChecked(annotations);
        QCOMPARE(window_->table->model()->rowCount(), rows);
        QCOMPARE(window_->countLabel->text(), counts);
    }

    void textsTheProgramReadsAreWithheldShownOnRequestAndTranslatedOnlyWhenAsked()
    {
        const std::string compiled = cltest::CompileJava(testfiles::Native(dir_->path()), "Reader",
            "public class Reader {\n"
            "    public static void main(String[] args) {\n"
            "        System.out.println(System.getProperty(\"user.home\"));\n"
            "        System.out.println(\"Open a file\");\n"
            "    }\n"
            "}\n");
        QVERIFY2(compiled.empty(), compiled.c_str());
        window_->Open(Path(QStringLiteral("Reader.class")));
        QVERIFY(WaitForJob());
        const int key = RowOf(QStringLiteral("user.home"));
        const int shown = RowOf(QStringLiteral("Open a file"));
        QVERIFY(key >= 0 && shown >= 0);
        const TranslationModel* model = window_->Model();
        QCOMPARE(model->index(shown, TranslationModel::UseColumn).data().toString(), QStringLiteral("消息"));
        QCOMPARE(model->index(key, TranslationModel::UseColumn).data().toString(), QStringLiteral("键"));
        // The line after opening says how many it withholds, and why.
        const QString status = window_->statusBar()->currentMessage();
        QVERIFY2(status.contains(QStringLiteral("程序读取的 1 条未提供（键 1 条）")), qPrintable(status));
        // By default the table shows only what people read, and counts only that.
        QCOMPARE(Shown(), QStringList{QStringLiteral("Open a file")});
        QCOMPARE(window_->countLabel->text(), QStringLiteral("已翻译 0 / 1"));

        // 未提供 shows the rest, each with why: its use and the place that reads it.
        window_->stateBox->setCurrentIndex(static_cast<int>(TranslationFilter::State::Withheld));
        QCOMPARE(window_->stateBox->currentText(), QStringLiteral("未提供"));
        QCOMPARE(Shown(), QStringList{QStringLiteral("user.home")});
        const QString why = model->index(key, TranslationModel::UseColumn).data(Qt::ToolTipRole).toString();
        QVERIFY2(why.contains(QString::fromUtf8(cltext::WithheldText())), qPrintable(why));
        QVERIFY2(why.contains(QStringLiteral("Reader.main")) && why.contains(QStringLiteral("getProperty")), qPrintable(why));
        Select(QStringLiteral("user.home"));
        QCOMPARE(window_->useLabel->text(), why);

        // Typing asks first; No (the default) takes the typing back.
        dialogs_->ExpectAskYesNo(Answer::No);
        window_->translationEdit->insertPlainText(QStringLiteral("用户目录"));
        QCOMPARE(dialogs_->LastCall().defaultButton, Answer::No);
        QVERIFY2(dialogs_->LastCall().text.contains(QStringLiteral("键")), qPrintable(dialogs_->LastCall().text));
        QCOMPARE(window_->translationEdit->toPlainText(), QString());
        QCOMPARE(model->Translation(key), QString());
        QVERIFY(!window_->IsModified());
        // Yes translates it, asked once; the row is then shown and counted by default.
        dialogs_->ExpectAskYesNo(Answer::Yes);
        window_->translationEdit->insertPlainText(QStringLiteral("用户目录"));
        window_->translationEdit->insertPlainText(QStringLiteral("！"));
        QCOMPARE(model->Translation(key), QStringLiteral("用户目录！"));
        window_->stateBox->setCurrentIndex(static_cast<int>(TranslationFilter::State::All));
        QCOMPARE(Shown().size(), 2);
        QCOMPARE(window_->countLabel->text(), QStringLiteral("已翻译 1 / 2"));
    }

    void bundleTextsShareTheTableWithTheirFileAndKey_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("file");  // the family's source, as places name it
        QTest::newRow("jar") << QStringLiteral("app.jar") << QStringLiteral("app/Messages.properties");
        QTest::newRow("jar in a folder") << QStringLiteral("fold")
                                         << QStringLiteral("lib/app.jar!/app/Messages.properties");
    }

    void bundleTextsShareTheTableWithTheirFileAndKey()
    {
        QFETCH(QString, input);
        QFETCH(QString, file);
        // A family with the program's own Chinese for one key; one value is also a class's text.
        const std::string jar = cltest::BuildZip(
            {{"app/Main.class", cltest::ClassOffering("app/Main", {"Open the file", "Only in the class"}), false, {}},
             {"app/Messages.properties", "open=Open the file\nsave=Save the file\nquit\\ now=Quit now\n", false, {}},
             {"app/Messages_de.properties", "save=Datei speichern\n", false, {}},
             {"app/Messages_zh_CN.properties", "save=\\u4FDD\\u5B58\\u6587\\u4EF6\n", false, {}}});
        QVERIFY(QDir(dir_->path()).mkpath(QStringLiteral("fold/lib")));
        QVERIFY(testfiles::WriteFile(Path(QStringLiteral("app.jar")), QByteArray::fromStdString(jar)));
        QVERIFY(testfiles::WriteFile(Path(QStringLiteral("fold/lib/app.jar")), QByteArray::fromStdString(jar)));
        window_->Open(Path(input));
        QVERIFY(WaitForJob());
        QVERIFY(window_->IsOpen());

        // The class's texts and the bundle's in one table; a text of both is one row.
        QStringList shown = Shown();
        shown.sort();
        QCOMPARE(shown, (QStringList{QStringLiteral("Only in the class"), QStringLiteral("Open the file"),
                                     QStringLiteral("Quit now"), QStringLiteral("Save the file")}));

        // The place column names the file and the key, its tip the whole path; so does the pane.
        const TranslationModel* model = window_->Model();
        const QString fileName = file.mid(file.lastIndexOf(u'/') + 1);
        const int save = RowOf(QStringLiteral("Save the file"));
        QCOMPARE(model->index(save, TranslationModel::PlaceColumn).data().toString(), fileName + QStringLiteral(":save"));
        QCOMPARE(model->index(save, TranslationModel::PlaceColumn).data(Qt::ToolTipRole).toString(),
                 file + QStringLiteral(" — save"));
        QCOMPARE(model->index(RowOf(QStringLiteral("Open the file")), TranslationModel::PlaceColumn).data().toString(),
                 QStringLiteral("Main +1"));
        auto paneList = [&] {
            QStringList lines;
            for (int r = 0; r < window_->placesView->model()->rowCount(); ++r)
                lines.append(window_->placesView->model()->index(r, 0).data().toString());
            return lines;
        };
        Select(QStringLiteral("Save the file"));
        QCOMPARE(paneList(), QStringList{file + QStringLiteral(" — save")});
        Select(QStringLiteral("Quit now"));
        QCOMPARE(paneList(), QStringList{file + QStringLiteral(" — quit now")});
        Select(QStringLiteral("Open the file"));
        QCOMPARE(paneList(), (QStringList{QStringLiteral("app.Main"), file + QStringLiteral(" — open")}));

        // The program's own Chinese is a translation to go on from, counted on the status line.
        QCOMPARE(model->Translation(save), QStringLiteral("保存文件"));
        QCOMPARE(model->State(save), cat::EntryState::Translated);
        QCOMPARE(window_->countLabel->text(), QStringLiteral("已翻译 1 / 4"));
        const QString status = window_->statusBar()->currentMessage();
        QVERIFY2(status.contains(QStringLiteral("其中 1 条已用程序自带的译文填入")), qPrintable(status));
        QVERIFY(!window_->IsModified());
    }

    void saveAsksWhereTheFirstTime()
    {
        OpenApp();
        Translate(QStringLiteral("Goodbye"), QStringLiteral("再见"));
        const QString target = Path(QStringLiteral("mine.po"));
        dialogs_->ExpectSave(target);
        QTest::keyClick(window_->table, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(dialogs_->LastCall().dialog.fileName, Path(QStringLiteral("App.zh_CN.po")));
        QVERIFY(!window_->IsModified());
        QCOMPARE(window_->CataloguePath(), target);
        const QMap<QString, QString> saved = ReadCatalogue(target);
        QCOMPARE(saved.size(), 3);  // the annotation value is not offered
        QCOMPARE(saved.value(QStringLiteral("Goodbye")), QStringLiteral("再见"));
        QCOMPARE(saved.value(QStringLiteral("Found {0} files")), QString());

        // The next save writes there without a question.
        Translate(QStringLiteral("Goodbye"), QStringLiteral("回头见"));
        QVERIFY(window_->Save());
        QCOMPARE(ReadCatalogue(target).value(QStringLiteral("Goodbye")), QStringLiteral("回头见"));
    }

    void failedSaveKeepsTheChanges()
    {
        OpenApp();
        Translate(QStringLiteral("Goodbye"), QStringLiteral("再见"));
        dialogs_->ExpectSave(Path(QStringLiteral("no-such-folder/App.po"))).ExpectError();
        QVERIFY(!window_->Save());
        QCOMPARE(dialogs_->LastCall().caption, kErrorCaption);
        QVERIFY(dialogs_->LastCall().text.contains(QStringLiteral("no-such-folder")));
        QVERIFY(window_->IsModified());
        QVERIFY(window_->CataloguePath().isEmpty());
        dialogs_->ExpectSaveCancelled();
        QVERIFY(!window_->Save());
        QVERIFY(window_->IsModified());
    }

    void importFillsAndSummarises()
    {
        OpenApp();
        QString po = QStringLiteral(
            "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
            "msgid \"Goodbye\"\nmsgstr \"再见\"\n\n"
            "#, fuzzy\nmsgid \"Hello, translator\"\nmsgstr \"你好\"\n\n"
            "msgid \"Not in the program\"\nmsgstr \"没有\"\n\n"
            "msgid \"Found {0} files\"\nmsgstr \"找到 {0} 个文件\"\n");
        QVERIFY(testfiles::WriteFile(Path(QStringLiteral("from-poedit.po")), po.toUtf8()));
        QString summary;
        dialogs_->ExpectOpen(Path(QStringLiteral("from-poedit.po"))).ExpectModal([&](QDialog& box) {
            summary = static_cast<QMessageBox&>(box).text();
        });
        window_->importAction->trigger();
        QVERIFY2(summary.contains(QStringLiteral("已填入译文 2 条")), qPrintable(summary));
        QVERIFY(summary.contains(QStringLiteral("程序中没有的 1 条")));
        QVERIFY(summary.contains(QStringLiteral("模糊（需要检查）1 条")));
        QCOMPARE(window_->Model()->Translation(RowOf(QStringLiteral("Goodbye"))), QStringLiteral("再见"));
        // A fuzzy translation is kept, as needing review: shown, counted apart, not written.
        const int fuzzy = RowOf(QStringLiteral("Hello, translator"));
        QCOMPARE(window_->Model()->Translation(fuzzy), QStringLiteral("你好"));
        QCOMPARE(window_->Model()->State(fuzzy), cl::catalogue::EntryState::NeedsReview);
        QVERIFY2(window_->countLabel->text().contains(QStringLiteral("需要检查 1")), qPrintable(window_->countLabel->text()));
        QVERIFY(window_->IsModified());
        // One undo takes the whole import back.
        window_->undoAction->trigger();
        QCOMPARE(window_->Model()->TranslatedCount(true), 0);
        QCOMPARE(window_->Model()->ReviewCount(true), 0);
        QVERIFY(!window_->IsModified());

        // A catalogue that does not parse is an error, and changes nothing.
        QVERIFY(testfiles::WriteFile(Path(QStringLiteral("bad.po")), "msgid \"open\nmsgstr 12\n"));
        dialogs_->ExpectOpen(Path(QStringLiteral("bad.po"))).ExpectError();
        window_->importAction->trigger();
        QCOMPARE(dialogs_->LastCall().caption, kErrorCaption);
        QVERIFY(dialogs_->LastCall().text.contains(QStringLiteral("bad.po")));
        QCOMPARE(window_->Model()->TranslatedCount(true), 0);
    }

    void generateWritesTheTranslatedProgram()
    {
        OpenApp();
        Translate(QStringLiteral("Goodbye"), QStringLiteral("再见"));
        Translate(QStringLiteral("Found {0} files"), QStringLiteral("{0} 个文件"));
        Translate(QStringLiteral("Hello, translator"), QStringLiteral("你好"));  // and then broken:
        Translate(QStringLiteral("Hello, translator"), QStringLiteral("你好"));
        const int found = RowOf(QStringLiteral("Found {0} files"));
        window_->Model()->SetTranslation(found, QStringLiteral("文件"));  // slot lost
        // Nothing is written while a translation has a problem; the window offers the first.
        Select(QStringLiteral("Goodbye"));
        dialogs_->ExpectAskYesNo(Answer::Yes);
        window_->generateAction->trigger();
        QCOMPARE(dialogs_->LastCall().kind, ScriptedDialogs::Kind::AskYesNo);
        QVERIFY2(dialogs_->LastCall().text.contains(QStringLiteral("Found {0} files")),
                 qPrintable(dialogs_->LastCall().text));
        QCOMPARE(dialogs_->LastCall().defaultButton, Answer::Yes);
        QCOMPARE(window_->CurrentRow(), found);
        QVERIFY(!window_->Busy());
        QCOMPARE(FolderEntries(), QStringList({QStringLiteral("App.class")}));

        window_->Model()->SetTranslation(found, QStringLiteral("{0} 个文件"));
        const QString output = Path(QStringLiteral("App_zh.class"));
        QString report;
        dialogs_->ExpectSave(output).ExpectModal([&](QDialog& box) { report = static_cast<QMessageBox&>(box).text(); });
        window_->generateAction->trigger();
        QCOMPARE(dialogs_->LastCall().kind, ScriptedDialogs::Kind::SaveFile);
        QCOMPARE(dialogs_->LastCall().dialog.fileName, output);
        QVERIFY(WaitForJob());
        QVERIFY2(report.contains(QStringLiteral("已写入译文 3 条")), qPrintable(report));
        const QStringList texts = TextsOf(output);
        QVERIFY2(texts.contains(QStringLiteral("再见")) && texts.contains(QStringLiteral("你好")) &&
                     texts.contains(QStringLiteral("{0} 个文件")),
                 qPrintable(texts.join(u',')));
        QVERIFY(!texts.contains(QStringLiteral("Found {0} files")));
        QCOMPARE(testfiles::ReadFile(AppPath()).value(), appClass_);
        QCOMPARE(FolderEntries(), QStringList({QStringLiteral("App.class"), QStringLiteral("App_zh.class")}));
    }

    void generateOverTheOriginalAsksAndKeepsABackup()
    {
        OpenApp();
        Translate(QStringLiteral("Goodbye"), QStringLiteral("再见"));
        dialogs_->ExpectSave(AppPath()).ExpectAskYesNo(Answer::No);
        window_->generateAction->trigger();
        QVERIFY(WaitForJob());
        QCOMPARE(dialogs_->LastCall().defaultButton, Answer::No);
        QCOMPARE(testfiles::ReadFile(AppPath()).value(), appClass_);
        QCOMPARE(FolderEntries(), QStringList{QStringLiteral("App.class")});

        dialogs_->ExpectSave(AppPath()).ExpectAskYesNo(Answer::Yes).ExpectModal();
        window_->generateAction->trigger();
        QVERIFY(WaitForJob());
        QCOMPARE(testfiles::ReadFile(AppPath() + QStringLiteral(".bak")).value(), appClass_);
        QVERIFY(TextsOf(AppPath()).contains(QStringLiteral("再见")));
        // Beside them, the record that tells the next run this file is a translation of the backup.
        QCOMPARE(FolderEntries(), QStringList({QStringLiteral(".App.class.classlingo"), QStringLiteral("App.class"),
                                               QStringLiteral("App.class.bak")}));
    }

    void cancelledGenerateLeavesNothingBehind()
    {
        OpenApp();
        Translate(QStringLiteral("Goodbye"), QStringLiteral("再见"));
        const QStringList before = FolderEntries();
        dialogs_->ExpectSave(Path(QStringLiteral("App_zh.class")));
        window_->generateAction->trigger();
        QVERIFY(window_->Busy());
        QVERIFY(!window_->generateAction->isEnabled());
        emit window_->Progress()->canceled();
        QVERIFY(WaitForJob());
        QCOMPARE(FolderEntries(), before);
        QVERIFY(window_->generateAction->isEnabled());
        QCOMPARE(window_->Model()->Translation(RowOf(QStringLiteral("Goodbye"))), QStringLiteral("再见"));
    }

    void cancelledOpenKeepsTheProgramShown()
    {
        OpenApp();
        QVERIFY(testfiles::WriteFile(Path(QStringLiteral("Other.class")), appClass_));
        window_->Open(Path(QStringLiteral("Other.class")));
        window_->CancelJob();
        QVERIFY(WaitForJob());
        QCOMPARE(window_->ProgramPath(), AppPath());
        QCOMPARE(window_->windowTitle(), QStringLiteral("翻译 - App.class"));
    }

    void closingAsksAboutUnsavedTranslations_data()
    {
        QTest::addColumn<Answer>("answer");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<bool>("saved");
        QTest::newRow("save") << Answer::Yes << true << true;
        QTest::newRow("discard") << Answer::No << true << false;
        QTest::newRow("stay") << Answer::Cancel << false << false;
    }

    void closingAsksAboutUnsavedTranslations()
    {
        QFETCH(Answer, answer);
        QFETCH(bool, closed);
        QFETCH(bool, saved);
        OpenApp();
        // Nothing to save: no question.
        QVERIFY(window_->close());
        window_->show();
        Translate(QStringLiteral("Goodbye"), QStringLiteral("再见"));
        const QString target = Path(QStringLiteral("App.zh_CN.po"));
        dialogs_->ExpectAsk(answer);
        if (answer == Answer::Yes)
            dialogs_->ExpectSave(target);
        QCOMPARE(window_->close(), closed);
        QCOMPARE(dialogs_->Calls().first().defaultButton, Answer::Yes);
        QCOMPARE(QFile::exists(target), saved);
        QCOMPARE(window_->IsModified(), !saved);
    }

    void fuzzyTranslationsAreKeptForReview()
    {
        // A catalogue as msgmerge leaves it: a translation made for an older text, marked fuzzy,
        // one for a text the program no longer has, and an obsolete one.
        const QString catalogue = Path(QStringLiteral("App.zh_CN.po"));
        QVERIFY(testfiles::WriteFile(catalogue,
                                     "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
                                     "#, fuzzy\n#| msgid \"Hello, translater\"\nmsgid \"Hello, translator\"\n"
                                     "msgstr \"你好，译者\"\n\n"
                                     "msgid \"Goodbye\"\nmsgstr \"再见\"\n\n"
                                     "msgid \"Removed text\"\nmsgstr \"删除的文字\"\n\n"
                                     "#~ msgid \"Old\"\n#~ msgstr \"旧\"\n"));
        OpenApp();
        const int hello = RowOf(QStringLiteral("Hello, translator"));
        QCOMPARE(window_->Model()->State(hello), cat::EntryState::NeedsReview);
        QCOMPARE(window_->Model()->Translation(hello), QStringLiteral("你好，译者"));
        QCOMPARE(window_->countLabel->text(), QStringLiteral("已翻译 1 / 3（需要检查 1）"));
        QVERIFY(!window_->IsModified());

        // The state filter's last choice shows just the rows needing review.
        window_->stateBox->setCurrentIndex(4);
        QCOMPARE(window_->stateBox->currentText(), QStringLiteral("需要检查"));
        QCOMPARE(window_->table->model()->rowCount(), 1);
        window_->table->setCurrentIndex(window_->table->model()->index(0, 1));
        QCOMPARE(window_->CurrentRow(), hello);
        QVERIFY(window_->reviewLabel->isVisible());
        QVERIFY2(window_->reviewLabel->text().contains(QStringLiteral("翻译时的原文：Hello, translater")),
                 qPrintable(window_->reviewLabel->text()));
        QVERIFY(window_->acceptAction->isEnabled());

        // Ctrl+U accepts it, as one undoable step.
        window_->translationEdit->setFocus();
        QTest::keyClick(window_->translationEdit, Qt::Key_U, Qt::ControlModifier);
        QCOMPARE(window_->Model()->State(hello), cat::EntryState::Translated);
        QVERIFY(!window_->reviewLabel->isVisible());
        QVERIFY(!window_->acceptAction->isEnabled());
        QCOMPARE(window_->countLabel->text(), QStringLiteral("已翻译 2 / 3"));
        QVERIFY(window_->IsModified());
        QCOMPARE(window_->Model()->Translation(hello), QStringLiteral("你好，译者"));
        window_->undoAction->trigger();
        QCOMPARE(window_->Model()->State(hello), cat::EntryState::NeedsReview);
        QVERIFY(window_->reviewLabel->isVisible());
        QVERIFY(!window_->IsModified());
        window_->redoAction->trigger();
        QCOMPARE(window_->Model()->State(hello), cat::EntryState::Translated);
        window_->undoAction->trigger();

        // Saved back, the catalogue keeps the mark, the older text and the entries the program
        // does not hold.
        Translate(QStringLiteral("Goodbye"), QStringLiteral("回头见"));
        QVERIFY(window_->Save());
        const QString saved = QString::fromUtf8(testfiles::ReadFile(catalogue).value());
        QVERIFY2(saved.contains(QStringLiteral("#, fuzzy\n#| msgid \"Hello, translater\"\nmsgid \"Hello, translator\"\n"
                                               "msgstr \"你好，译者\"\n")),
                 qPrintable(saved));
        QVERIFY2(saved.contains(QStringLiteral("#~ msgid \"Removed text\"\n#~ msgstr \"删除的文字\"\n")), qPrintable(saved));
        QVERIFY2(saved.contains(QStringLiteral("#~ msgid \"Old\"\n#~ msgstr \"旧\"\n")), qPrintable(saved));
        QCOMPARE(ReadCatalogue(catalogue).value(QStringLiteral("Goodbye")), QStringLiteral("回头见"));
    }

    void importedFuzzyTranslationIsSavedAsFuzzy()
    {
        OpenApp();
        QVERIFY(testfiles::WriteFile(Path(QStringLiteral("from-poedit.po")),
                                     "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
                                     "#, fuzzy\n#| msgid \"Goodby\"\nmsgid \"Goodbye\"\nmsgstr \"再见\"\n"));
        dialogs_->ExpectOpen(Path(QStringLiteral("from-poedit.po"))).ExpectModal();
        window_->importAction->trigger();
        QCOMPARE(window_->Model()->State(RowOf(QStringLiteral("Goodbye"))), cat::EntryState::NeedsReview);
        const QString target = Path(QStringLiteral("mine.po"));
        dialogs_->ExpectSave(target);
        QVERIFY(window_->Save());
        const cl::Result<cat::PoCatalogue> read = cat::ReadPoFile(Native(target));
        QVERIFY(read.ok());
        bool found = false;
        for (const cat::PoMessage& message : read->messages) {
            if (message.msgid != "Goodbye")
                continue;
            found = true;
            QCOMPARE(QString::fromStdString(message.msgstr), QStringLiteral("再见"));
            QVERIFY(message.fuzzy);
            QCOMPARE(QString::fromStdString(message.previousMsgid), QStringLiteral("Goodby"));
        }
        QVERIFY(found);
    }

    void fuzzyTranslationWithAProblemStopsNeitherGeneratingNorRunning_data()
    {
        QTest::addColumn<bool>("run");
        QTest::newRow("生成") << false;
        QTest::newRow("试运行") << true;
    }

    void fuzzyTranslationWithAProblemStopsNeitherGeneratingNorRunning()
    {
        // Not written into the program, a translation needing review keeps nothing out: 生成 and
        // 试运行 pass the same gate, which is the one apply passes.
        QFETCH(bool, run);
        QVERIFY(testfiles::WriteFile(Path(QStringLiteral("App.zh_CN.po")),
                                     "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
                                     "#, fuzzy\nmsgid \"Found {0} files\"\nmsgstr \"文件\"\n\n"
                                     "msgid \"Goodbye\"\nmsgstr \"再见\"\n"));
        OpenApp();
        const int found = RowOf(QStringLiteral("Found {0} files"));
        QCOMPARE(window_->Model()->State(found), cat::EntryState::NeedsReview);
        QVERIFY(window_->Model()->Problem(found) != cl::TranslationProblem::None);
        QString output = Path(QStringLiteral("App_zh.class"));
        FakeRunner* runner = nullptr;
        if (run) {
            runner = UseFakeRunner();
            PressRun();
            QCOMPARE(runner->started.size(), 1);
            output = window_->RunFolder() + QStringLiteral("/program/App.class");
        } else {
            dialogs_->ExpectSave(output).ExpectModal();
            window_->generateAction->trigger();
            QVERIFY(WaitForJob());
        }
        const QStringList texts = TextsOf(output);
        QVERIFY2(texts.contains(QStringLiteral("再见")) && texts.contains(QStringLiteral("Found {0} files")),
                 qPrintable(texts.join(u',')));
        if (runner != nullptr)
            runner->End(0);
    }

    void ctrlEnterSaysWhenTheSearchHidesTheRest()
    {
        OpenApp();
        Translate(QStringLiteral("Goodbye"), QStringLiteral("再见"));
        QTest::keyClicks(window_->searchBox, QStringLiteral("good"));
        QCOMPARE(window_->table->model()->rowCount(), 1);
        window_->table->setCurrentIndex(window_->table->model()->index(0, 1));
        const int current = window_->CurrentRow();
        window_->translationEdit->setFocus();
        QTest::keyClick(window_->translationEdit, Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(window_->CurrentRow(), current);
        QVERIFY2(window_->statusBar()->currentMessage().contains(QStringLiteral("查找或筛选隐藏了其余 2 条未翻译的条目")),
                 qPrintable(window_->statusBar()->currentMessage()));

        // A search that finds nothing hides them all.
        window_->statusBar()->clearMessage();
        window_->searchBox->clear();
        QTest::keyClicks(window_->searchBox, QStringLiteral("no such text"));
        QCOMPARE(window_->table->model()->rowCount(), 0);
        window_->nextAction->trigger();
        QVERIFY2(window_->statusBar()->currentMessage().contains(QStringLiteral("查找或筛选隐藏了其余 2 条未翻译的条目")),
                 qPrintable(window_->statusBar()->currentMessage()));

        // With every text translated, none is left.
        window_->searchBox->clear();
        Translate(QStringLiteral("Hello, translator"), QStringLiteral("你好"));
        Translate(QStringLiteral("Found {0} files"), QStringLiteral("{0} 个文件"));
        window_->nextAction->trigger();
        QCOMPARE(window_->statusBar()->currentMessage(), QStringLiteral("没有未翻译的条目了。"));
    }

    void generateOverTheOriginalKeepsAnEarlierBackup()
    {
        const QByteArray earlier("an earlier original");
        QVERIFY(testfiles::WriteFile(AppPath() + QStringLiteral(".bak"), earlier));
        OpenApp();
        Translate(QStringLiteral("Goodbye"), QStringLiteral("再见"));
        QString question;
        QString report;
        dialogs_->ExpectSave(AppPath()).ExpectAskYesNo(Answer::Yes).ExpectModal([&](QDialog& box) {
            report = static_cast<QMessageBox&>(box).text();
        });
        window_->generateAction->trigger();
        question = dialogs_->Calls().at(1).text;
        QVERIFY(WaitForJob());
        // The earlier backup stays as it is and the program replaced now goes to the next free
        // name; the question and the report say so.
        QVERIFY2(question.contains(QStringLiteral("“App.class.bak”已存在，保持不变")), qPrintable(question));
        QVERIFY2(question.contains(QStringLiteral("保留为“App.class.bak.2”")), qPrintable(question));
        QVERIFY2(report.contains(QStringLiteral("这次的原程序保留为")), qPrintable(report));
        QCOMPARE(testfiles::ReadFile(AppPath() + QStringLiteral(".bak")).value(), earlier);
        QCOMPARE(testfiles::ReadFile(AppPath() + QStringLiteral(".bak.2")).value(), appClass_);
        QVERIFY(TextsOf(AppPath()).contains(QStringLiteral("再见")));

        // Generating again changes nothing, so nothing is written.
        const cltest::FileState translated = cltest::FileState::Of(Native(AppPath()));
        dialogs_->Reset();
        dialogs_->ExpectSave(AppPath()).ExpectAskYesNo(Answer::Yes).ExpectModal([&](QDialog& box) {
            report = static_cast<QMessageBox&>(box).text();
        });
        window_->generateAction->trigger();
        QVERIFY(WaitForJob());
        QVERIFY2(report.startsWith(QString::fromUtf8(cltext::NothingChangedText())), qPrintable(report));
        QCOMPARE(cltest::FileState::Of(Native(AppPath())), translated);
        QCOMPARE(testfiles::ReadFile(AppPath() + QStringLiteral(".bak")).value(), earlier);
    }

    void failedSaveKeepsTheOldCatalogueAndTheChanges_data()
    {
        QTest::addColumn<cltest::FailStep>("step");
        QTest::newRow("temporary file") << cltest::FailStep::Create;
        QTest::newRow("disk full") << cltest::FailStep::HalfWrite;
        QTest::newRow("flush") << cltest::FailStep::Flush;
        QTest::newRow("rename") << cltest::FailStep::Rename;
    }

    void failedSaveKeepsTheOldCatalogueAndTheChanges()
    {
        QFETCH(cltest::FailStep, step);
        const QString catalogue = Path(QStringLiteral("App.zh_CN.po"));
        QVERIFY(testfiles::WriteFile(catalogue, "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
                                                "msgid \"Goodbye\"\nmsgstr \"再见\"\n"));
        const cltest::FileState before = cltest::FileState::Of(Native(catalogue));
        cltest::FailingFileSystem fs;
        // Opened the way the main window opens programs, with the file system it is given.
        QPointer<TranslationWindow> opened = OpenTranslationWindow(*dialogs_, AppPath(), fs);
        QVERIFY(QTest::qWaitFor([&] { return !opened->Busy(); }, 30000));
        QCOMPARE(opened->CataloguePath(), catalogue);
        int goodbye = -1;
        for (int r = 0; r < opened->Model()->rowCount(); ++r)
            if (opened->Model()->Source(r) == QStringLiteral("Goodbye"))
                goodbye = r;
        QVERIFY(goodbye >= 0);
        opened->Model()->SetTranslation(goodbye, QStringLiteral("回头见"));

        fs.FailAt(step, fs.Calls(step) + 1);
        dialogs_->ExpectError();
        QVERIFY(!opened->Save());
        QVERIFY(fs.Injected());
        QCOMPARE(dialogs_->LastCall().caption, kErrorCaption);
        QVERIFY2(dialogs_->LastCall().text.contains(catalogue), qPrintable(dialogs_->LastCall().text));
        QCOMPARE(cltest::FileState::Of(Native(catalogue)), before);
        QCOMPARE(FolderEntries(), QStringList({QStringLiteral("App.class"), QStringLiteral("App.zh_CN.po")}));
        QVERIFY(opened->IsModified());
        QVERIFY(opened->windowTitle().endsWith(u'*'));
        QCOMPARE(opened->Model()->Translation(goodbye), QStringLiteral("回头见"));

        // The next save, with nothing failing, writes the changes.
        QVERIFY(opened->Save());
        QCOMPARE(ReadCatalogue(catalogue).value(QStringLiteral("Goodbye")), QStringLiteral("回头见"));
        QVERIFY(opened->close());
        QTRY_VERIFY(opened.isNull());
    }

    void mainWindowOpensPrograms()
    {
        QVERIFY(testfiles::WriteFile(Path(QStringLiteral("Filter.ini")), "Suspicious\n"));
        const std::unique_ptr<TForm1> main = TForm1::Create(*dialogs_, dir_->path());
        QVERIFY(main != nullptr);
        TForm1& form = *main;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        // Right-aligned with the other buttons, between the check box and the converter.
        auto place = [&] {
            QCOMPARE(form.btn9->text(), QStringLiteral("翻译整个程序…"));
            QCOMPARE(form.btn9->geometry().right(), form.btn1->geometry().right());
            QCOMPARE(form.btn9->geometry().right(), form.grp2->x() + form.btn2->geometry().right());
            QVERIFY(form.btn9->y() > form.chk1->geometry().bottom());
            QVERIFY(form.btn9->geometry().bottom() < form.grp1->y());
            QVERIFY(form.btn9->fontMetrics().horizontalAdvance(form.btn9->text()) + 4 <= form.btn9->width());
        };
        place();
        form.resize(800, 650);
        QTRY_COMPARE(form.size(), QSize(800, 650));
        place();

        window_->hide();
        auto translationWindows = [&] {
            QList<TranslationWindow*> found;
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (auto* window = qobject_cast<TranslationWindow*>(widget);
                    window && window != window_.get() && window->isVisible())
                    found.append(window);
            return found;
        };
        dialogs_->ExpectOpen(AppPath());
        form.btn9->click();
        QCOMPARE(translationWindows().size(), 1);
        TranslationWindow* opened = translationWindows().first();
        QVERIFY(QTest::qWaitFor([&] { return !opened->Busy(); }, 30000));
        QCOMPARE(opened->windowTitle(), QStringLiteral("翻译 - App.class"));
        QCOMPARE(opened->Model()->rowCount(), 4);
        QVERIFY(opened->testAttribute(Qt::WA_DeleteOnClose));
        QVERIFY(opened->close());

        // A program dropped on the main window opens the same way.
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(AppPath())});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&form, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&form, &drop);
        QTRY_COMPARE(translationWindows().size(), 1);
        opened = translationWindows().first();
        QVERIFY(QTest::qWaitFor([&] { return !opened->Busy(); }, 30000));
        QCOMPARE(opened->ProgramPath(), AppPath());
        QVERIFY(opened->close());
    }

    void saveAsWritesWhereChosenAndTheCatalogueFollows()
    {
        const std::string po = cat::WritePo({"App.class", "zh_CN", "test"}, {{"Goodbye", "再见", {}, {}}});
        const QString beside = Path(QStringLiteral("App.zh_CN.po"));
        QVERIFY(testfiles::WriteFile(beside, QByteArray::fromStdString(po)));
        OpenApp();
        Translate(QStringLiteral("Hello, translator"), QStringLiteral("你好，译者"));
        QVERIFY(QDir(dir_->path()).mkpath(QStringLiteral("elsewhere")));
        const QString target = Path(QStringLiteral("elsewhere/mine.po"));
        // What is at the chosen name is replaced whole, by a rename, not written over.
        QVERIFY(testfiles::WriteFile(target, "old contents\n"));
        const uint64_t before = Inode(target);
        dialogs_->ExpectSave(target);
        window_->saveAsAction->trigger();
        QCOMPARE(dialogs_->LastCall().dialog.fileName, beside);
        QCOMPARE(window_->CataloguePath(), target);
        QVERIFY(!window_->IsModified());
        QCOMPARE(ReadCatalogue(target).value(QStringLiteral("Hello, translator")), QStringLiteral("你好，译者"));
        QCOMPARE(ReadCatalogue(target).value(QStringLiteral("Goodbye")), QStringLiteral("再见"));
        QVERIFY(Inode(target) != before);
        // Nothing left beside it, and the catalogue it came from is as it was.
        QCOMPARE(QDir(Path(QStringLiteral("elsewhere"))).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("mine.po")});
        QCOMPARE(testfiles::ReadFile(beside).value(), QByteArray::fromStdString(po));

        // Save now writes there, without asking.
        Translate(QStringLiteral("Goodbye"), QStringLiteral("回头见"));
        QTest::keyClick(window_->table, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(ReadCatalogue(target).value(QStringLiteral("Goodbye")), QStringLiteral("回头见"));
        QCOMPARE(testfiles::ReadFile(beside).value(), QByteArray::fromStdString(po));
        // Cancelled, Save As changes nothing.
        Translate(QStringLiteral("Goodbye"), QStringLiteral("再会"));
        dialogs_->ExpectSaveCancelled();
        QVERIFY(!window_->SaveAs());
        QCOMPARE(window_->CataloguePath(), target);
        QVERIFY(window_->IsModified());
    }

    void headerClicksSortThroughFilterAndSearch()
    {
        OpenApp();
        Translate(QStringLiteral("Goodbye"), QStringLiteral("再见"));
        QAbstractItemModelTester tester(window_->Filter(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        window_->annotationsBox->setChecked(true);
        window_->stateBox->setCurrentIndex(static_cast<int>(TranslationFilter::State::Untranslated));
        QTest::keyClicks(window_->searchBox, QStringLiteral("l"));
        const QStringList programOrder = Shown();
        QCOMPARE(programOrder.size(), 3);  // "Goodbye" is translated and has no "l"
        const QStringList ascending{QStringLiteral("Found {0} files"), QStringLiteral("Hello, translator"),
                                    QStringLiteral("Menu label")};
        QVERIFY(programOrder != ascending);
        QHeaderView* header = window_->table->horizontalHeader();

        ClickHeader(TranslationModel::SourceColumn);
        QCOMPARE(Shown(), ascending);
        QCOMPARE(header->sortIndicatorSection(), int(TranslationModel::SourceColumn));
        QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
        ClickHeader(TranslationModel::SourceColumn);
        QCOMPARE(Shown(), QStringList(ascending.rbegin(), ascending.rend()));
        QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
        ClickHeader(TranslationModel::SourceColumn);
        QCOMPARE(Shown(), programOrder);
        QCOMPARE(header->sortIndicatorSection(), -1);

        // Sorted, a changed filter puts the rows it lets in where the order wants them.
        ClickHeader(TranslationModel::SourceColumn);
        window_->stateBox->setCurrentIndex(static_cast<int>(TranslationFilter::State::All));
        window_->searchBox->clear();
        QCOMPARE(Shown(), (QStringList{QStringLiteral("Found {0} files"), QStringLiteral("Goodbye"),
                                       QStringLiteral("Hello, translator"), QStringLiteral("Menu label")}));

        // By translation: a row being translated stays where it is until the order is asked for again.
        ClickHeader(TranslationModel::TranslationColumn);
        QCOMPARE(Shown().last(), QStringLiteral("Goodbye"));
        const QString first = Shown().first();
        window_->table->setCurrentIndex(window_->Filter()->index(0, TranslationModel::TranslationColumn));
        window_->translationEdit->setFocus();
        window_->translationEdit->insertPlainText(QStringLiteral("啊"));
        QCOMPARE(Shown().first(), first);
        QCOMPARE(window_->CurrentRow(), RowOf(first));
    }

    void runStartsTheTranslatedProgramInTheCataloguesLanguage()
    {
        // The catalogue beside the program is in Traditional Chinese for Taiwan.
        const std::string po = cat::WritePo({"App.class", "zh_TW", "test"}, {{"Goodbye", "再見", {}, {}}});
        const QString catalogue = Path(QStringLiteral("App.zh_CN.po"));
        QVERIFY(testfiles::WriteFile(catalogue, QByteArray::fromStdString(po)));
        OpenApp();
        FakeRunner* runner = UseFakeRunner();
        QVERIFY(window_->runAction->isEnabled() && !window_->stopAction->isEnabled());
        PressRun();
        QCOMPARE(runner->started.size(), 1);
        const cl::run::RunCommand command = runner->started.first();
        QCOMPARE(FromUtf8(command.program), FakeJava());
        QCOMPARE(FromUtf8(command.workingFolder), dir_->path());
        const QStringList arguments = runner->Arguments();
        for (const char* option : {"-Duser.language=zh", "-Duser.country=TW", "-Dfile.encoding=UTF-8",
                                   "-Dstdout.encoding=UTF-8"})
            QVERIFY2(arguments.contains(QString::fromUtf8(option)), option);
        // The translated copy lies in a scratch folder of its own, on the class path.
        const QString folder = window_->RunFolder();
        QVERIFY(!folder.isEmpty());
        QVERIFY(!folder.startsWith(dir_->path()));
        const QString copy = folder + QStringLiteral("/program");
        QCOMPARE(arguments.mid(arguments.size() - 3), (QStringList{QStringLiteral("-cp"), copy, QStringLiteral("App")}));
        QVERIFY(TextsOf(copy + QStringLiteral("/App.class")).contains(QStringLiteral("再見")));
        // Nothing beside the user's program, the catalogue as it was, the translations unchanged.
        QCOMPARE(FolderEntries(), (QStringList{QStringLiteral("App.class"), QStringLiteral("App.zh_CN.po")}));
        QCOMPARE(testfiles::ReadFile(catalogue).value(), QByteArray::fromStdString(po));
        QCOMPARE(testfiles::ReadFile(AppPath()).value(), appClass_);
        QVERIFY(!window_->IsModified());
        QVERIFY(!window_->runAction->isEnabled() && window_->stopAction->isEnabled());
        QVERIFY(window_->runPane->isVisible());
        QVERIFY2(PaneText().contains(FromUtf8(cltext::RunStartedText(command))), qPrintable(PaneText()));
        QVERIFY2(PaneText().contains(FromUtf8(cltext::RunHomeText(Native(folder + QStringLiteral("/home"))))),
                 qPrintable(PaneText()));

        // The output as it comes, a character cut in two between pieces.
        const QByteArray greeting = QStringLiteral("你好，世界\n").toUtf8();
        runner->Write(greeting.left(4));
        runner->Write(greeting.mid(4));
        runner->Write("warning: slow\n", true);
        QVERIFY2(PaneText().contains(QStringLiteral("你好，世界\nwarning: slow\n")), qPrintable(PaneText()));
        runner->End(0);
        QVERIFY(PaneText().endsWith(QString::fromUtf8(cltext::RunEndedText()) + u'\n'));
        QVERIFY(!QFileInfo::exists(folder));
        QVERIFY(window_->RunFolder().isEmpty());
        QVERIFY(window_->runAction->isEnabled() && !window_->stopAction->isEnabled());

        // The next run starts with an empty pane.
        PressRun();
        QCOMPARE(runner->started.size(), 2);
        QVERIFY(!PaneText().contains(QStringLiteral("你好")));
        runner->End(0);
    }

    void runHasAScratchHomeUnlessTheRealOneIsChosen()
    {
        OpenApp();
        FakeRunner* runner = UseFakeRunner();
        QVERIFY(!window_->realHomeBox->isChecked());
        QVERIFY(window_->realHomeBox->isVisible());
        PressRun();
        const QString home = window_->RunFolder() + QStringLiteral("/home");
        QVERIFY(QFileInfo(home).isDir());
        const cl::run::RunCommand scratch = runner->started.last();
        QVERIFY(runner->Arguments().contains(QStringLiteral("-Duser.home=") + home));
        QCOMPARE(scratch.environment, cl::run::HomeEnvironment(Native(home)));
        runner->End(0);
        QVERIFY(!QFileInfo::exists(home));

        // The real home, chosen: nothing of the program's environment or of Java's home changes,
        // and the pane says so. The choice is remembered for the next window.
        window_->realHomeBox->click();
        PressRun();
        const cl::run::RunCommand real = runner->started.last();
        QVERIFY(real.environment.empty());
        for (const QString& argument : runner->Arguments())
            QVERIFY2(!argument.startsWith(QStringLiteral("-Duser.home")), qPrintable(argument));
        QVERIFY2(PaneText().contains(FromUtf8(cltext::RunHomeText(""))), qPrintable(PaneText()));
        runner->End(0);
        TranslationWindow next(*dialogs_);
        QVERIFY(next.realHomeBox->isChecked());
        next.realHomeBox->click();
        TranslationWindow after(*dialogs_);
        QVERIFY(!after.realHomeBox->isChecked());
    }

    void stoppingOrClosingEndsTheRun()
    {
        OpenApp();
        FakeRunner* runner = UseFakeRunner();
        PressRun();
        QString folder = window_->RunFolder();
        QVERIFY(QFileInfo(folder).isDir());
        QTest::keyClick(window_.get(), Qt::Key_F5, Qt::ShiftModifier);
        QCOMPARE(runner->stops, 1);
        QVERIFY(!window_->stopAction->isEnabled());
        runner->End(143, true);
        QVERIFY(PaneText().endsWith(QString::fromUtf8(cltext::RunStoppedText()) + u'\n'));
        QVERIFY(!QFileInfo::exists(folder));

        PressRun();
        folder = window_->RunFolder();
        QVERIFY(QFileInfo(folder).isDir());
        QVERIFY(window_->close());
        QCOMPARE(runner->abandons, 1);
        QVERIFY(!runner->IsRunning());
        QVERIFY(!QFileInfo::exists(folder));
        QCOMPARE(FolderEntries(), QStringList{QStringLiteral("App.class")});
    }

    void runThatCannotStart_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<bool>("java");
        QTest::addColumn<QString>("message");
        QTest::newRow("no java") << QStringLiteral("App.class") << false << FromUtf8(cltext::NoJavaText(""));
        QTest::newRow("no main class") << QStringLiteral("Sample.class") << true
                                       << FromUtf8(cltext::NoMainClassText("Sample.class"));
    }

    void runThatCannotStart()
    {
        QFETCH(QString, program);
        QFETCH(bool, java);
        QFETCH(QString, message);
        QVERIFY(testfiles::WriteFile(Path(QStringLiteral("Sample.class")),
                                     QByteArray::fromStdString(cltest::ClassWithEveryRowKind())));
        window_->Open(Path(program));
        QVERIFY(WaitForJob());
        window_->Model()->SetTranslation(0, QStringLiteral("译文"));
        FakeRunner* runner = UseFakeRunner();
        if (!java)
            window_->runEnvironment = {QStringLiteral("relative/bin:") + dir_->path(), QString()};
        const QStringList entries = FolderEntries();
        PressRun();
        QVERIFY(runner->started.isEmpty());
        QCOMPARE(PaneText(), message + u'\n');
        QVERIFY(window_->runPane->isVisible());
        QVERIFY(window_->RunFolder().isEmpty());
        QVERIFY(window_->runAction->isEnabled());
        QCOMPARE(FolderEntries(), entries);
        QCOMPARE(window_->Model()->Translation(0), QStringLiteral("译文"));
        QVERIFY(window_->IsModified());
    }

    void runEndingInAnError()
    {
        OpenApp();
        FakeRunner* runner = UseFakeRunner();
        PressRun();
        QString folder = window_->RunFolder();
        runner->Write("Error: Could not find or load main class App\n", true);
        runner->End(1);
        QVERIFY2(PaneText().endsWith(QStringLiteral("Error: Could not find or load main class App\n") +
                                     FromUtf8(cltext::RunFailedAtOnceText(1)) + u'\n'),
                 qPrintable(PaneText()));
        QVERIFY(!QFileInfo::exists(folder));
        QVERIFY(!window_->IsModified());
        QCOMPARE(window_->ProgramPath(), AppPath());

        // java itself would not start.
        PressRun();
        folder = window_->RunFolder();
        runner->FailToStart(QStringLiteral("Permission denied"));
        QVERIFY2(PaneText().endsWith(FromUtf8(cltext::RunNotStartedText(Native(FakeJava()), "Permission denied")) +
                                     u'\n'),
                 qPrintable(PaneText()));
        QVERIFY(!QFileInfo::exists(folder));
        QVERIFY(window_->runAction->isEnabled());
    }

    void translationsWithProblemsStopTheRun()
    {
        OpenApp();
        Translate(QStringLiteral("Found {0} files"), QStringLiteral("文件"));
        FakeRunner* runner = UseFakeRunner();
        dialogs_->ExpectAskYesNo(Answer::No);
        PressRun();
        QVERIFY2(dialogs_->LastCall().text.contains(QStringLiteral("Found {0} files")),
                 qPrintable(dialogs_->LastCall().text));
        QVERIFY(runner->started.isEmpty());
        QVERIFY(window_->RunFolder().isEmpty());
        QVERIFY(!window_->runPane->isVisible());
    }

    void severalMainClassesAreAskedOnceAndRemembered()
    {
        const QString program = Path(QStringLiteral("prog"));
        QVERIFY(QDir(dir_->path()).mkpath(QStringLiteral("prog")));
        QVERIFY(testfiles::WriteFile(Path(QStringLiteral("prog/App.class")), appClass_));
        QVERIFY(testfiles::WriteFile(Path(QStringLiteral("prog/Other.class")), otherClass_));
        window_->Open(program);
        QVERIFY(WaitForJob());
        FakeRunner* runner = UseFakeRunner();

        // Asked, and cancelled: nothing runs.
        QStringList offered;
        dialogs_->ExpectModal([&](QDialog& shown) {
            auto* dialog = qobject_cast<QInputDialog*>(&shown);
            QVERIFY(dialog != nullptr);
            offered = dialog->comboBoxItems();
            dialog->reject();
        });
        PressRun();
        QCOMPARE(offered, (QStringList{QStringLiteral("App"), QStringLiteral("Other")}));
        QVERIFY(runner->started.isEmpty());
        QVERIFY(window_->RunFolder().isEmpty());

        // Asked, and answered.
        dialogs_->ExpectModal([&](QDialog& shown) {
            auto* dialog = qobject_cast<QInputDialog*>(&shown);
            QVERIFY(dialog != nullptr);
            dialog->setTextValue(QStringLiteral("Other"));
            dialog->accept();
        });
        PressRun();
        QCOMPARE(runner->started.size(), 1);
        QCOMPARE(runner->Arguments().last(), QStringLiteral("Other"));
        QCOMPARE(FromUtf8(runner->started.first().workingFolder), program);  // a folder starts in itself
        runner->End(0);

        // Not asked again, in this window or the next.
        PressRun();
        QCOMPARE(runner->Arguments().last(), QStringLiteral("Other"));
        runner->End(0);
        window_ = std::make_unique<TranslationWindow>(*dialogs_);
        window_->show();
        window_->Open(program);
        QVERIFY(WaitForJob());
        runner = UseFakeRunner();
        PressRun();
        QCOMPARE(runner->started.size(), 1);
        QCOMPARE(runner->Arguments().last(), QStringLiteral("Other"));
        runner->End(0);
    }

    void recentProgramsInTheOpenMenu()
    {
        QCOMPARE(window_->openAction->menu(), window_->recentMenu);
        auto listed = [&] {
            emit window_->recentMenu->aboutToShow();
            QStringList paths;
            for (QAction* action : window_->recentMenu->actions())
                paths.append(action->data().toString());
            return paths;
        };
        QCOMPARE(listed(), QStringList{QString()});  // only the note that there are none
        QVERIFY(!window_->recentMenu->actions().first()->isEnabled());

        // Twelve programs opened one after the other: the last ten, the most recent first.
        QStringList opened;
        for (int i = 1; i <= 12; ++i) {
            const QString path = Path(QStringLiteral("App%1.class").arg(i));
            QVERIFY(testfiles::WriteFile(path, appClass_));
            window_->Open(path);
            QVERIFY(WaitForJob());
            opened.prepend(path);
        }
        QCOMPARE(listed(), opened.mid(0, recent::kMost));
        // Opened again, a program goes to the top, once; one that failed to open does not count.
        window_->Open(opened[4]);
        QVERIFY(WaitForJob());
        opened.move(4, 0);
        dialogs_->ExpectError();
        window_->Open(Path(QStringLiteral("missing.jar")));
        QVERIFY(WaitForJob());
        QCOMPARE(listed(), opened.mid(0, recent::kMost));

        // One no longer there is dropped when the menu is shown, and forgotten.
        QVERIFY(QFile::remove(opened[1]));
        const QString gone = opened.takeAt(1);
        QCOMPARE(listed(), opened.mid(0, 9));
        QVERIFY(!recent::Programs().contains(gone));

        // Chosen from the menu, a program opens.
        window_->recentMenu->actions().at(3)->trigger();
        QVERIFY(WaitForJob());
        QCOMPARE(window_->ProgramPath(), opened[3]);
        QCOMPARE(recent::Programs().first(), opened[3]);

        // Opened from the main window (as the command line and a drop open it), it counts too.
        const std::unique_ptr<TForm1> main = TForm1::Create(*dialogs_, dir_->path());
        QVERIFY(main != nullptr);
        main->OpenProgram(opened[6]);
        TranslationWindow* other = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* window = qobject_cast<TranslationWindow*>(widget); window && window != window_.get())
                other = window;
        QVERIFY(other != nullptr);
        QVERIFY(QTest::qWaitFor([&] { return !other->Busy(); }, 30000));
        QCOMPARE(recent::Programs().first(), opened[6]);
        QVERIFY(other->close());
    }

    void screenshots()
    {
        const QString folder = qEnvironmentVariable("CLASSLINGO_SCREENSHOT_DIR");
        if (folder.isEmpty())
            QSKIP("set CLASSLINGO_SCREENSHOT_DIR to save pictures of the window");
        QVERIFY(QDir().mkpath(folder));
        auto shot = [&](const QString& name) {
            QApplication::processEvents();
            QVERIFY(window_->grab().save(QDir(folder).filePath(name)));
        };
        // The small program: Chinese translations, the detail pane, and a marked slot error.
        OpenApp();
        Translate(QStringLiteral("Hello, translator"), QStringLiteral("你好，译者"));
        Translate(QStringLiteral("Goodbye"), QStringLiteral("再见"));
        Select(QStringLiteral("Found {0} files"));
        window_->translationEdit->insertPlainText(QStringLiteral("找到文件"));
        shot(QStringLiteral("translation-small-error.png"));
        Select(QStringLiteral("Goodbye"));
        shot(QStringLiteral("translation-small-marked.png"));
        Select(QStringLiteral("Found {0} files"));
        window_->translationEdit->insertPlainText(QStringLiteral(" {0} 个"));
        window_->annotationsBox->setChecked(true);
        shot(QStringLiteral("translation-small.png"));

        const QString guava = QStringLiteral("/usr/share/java/guava.jar");
        if (!QFile::exists(guava))
            return;
        dialogs_->ExpectAsk(Answer::No);  // the small program's translations are not kept
        window_->annotationsBox->setChecked(false);
        window_->Open(guava);
        QVERIFY(WaitForJob());
        const QStringList chinese{QStringLiteral("索引超出范围"), QStringLiteral("参数无效"),
                                  QStringLiteral("不能为空"), QStringLiteral("预期的大小"),
                                  QStringLiteral("键不存在"), QStringLiteral("值不能为负数")};
        // Translated rows around the current one; Debian's guava targets Java 8, so it has no
        // concatenation recipes whose slots could be lost (the small program shows that).
        const int around = 40;
        for (int k = 0; k < chinese.size(); ++k) {
            const int row = around - 6 + 2 * k + (k >= 3 ? 1 : 0);
            if (row >= 0 && row != around)
                window_->Model()->SetTranslation(
                    window_->Filter()->mapToSource(window_->Filter()->index(row, 0)).row(), chinese[k]);
        }
        window_->table->setCurrentIndex(window_->Filter()->index(around, 1));
        window_->table->scrollTo(window_->table->currentIndex(), QAbstractItemView::PositionAtCenter);
        shot(QStringLiteral("translation-guava.png"));
        QTest::keyClicks(window_->searchBox, QStringLiteral("index"));
        shot(QStringLiteral("translation-guava-search.png"));
    }
};

QTEST_MAIN(TranslationWindowTest)
#include "test_translation_window.moc"
