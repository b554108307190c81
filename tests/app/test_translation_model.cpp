// The translation table: structure (Qt's model tester, also through the filter), what each
// column shows, the live placeholder and length check, undo of edits and of a whole import,
// filtering and sorting, and what goes into a catalogue and into the program. The engine side
// (places with their methods) is checked on a class compiled with javac.

#include "Java.h"
#include "TestFiles.h"
#include "TranslationModel.h"

#include "CatalogueNotes.h"

#include <QAbstractItemModelTester>
#include <QColor>
#include <QFile>
#include <QMap>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>

#include <deque>

namespace cat = cl::catalogue;
using Problem = cl::TranslationProblem;
using State = TranslationFilter::State;

Q_DECLARE_METATYPE(Problem)
Q_DECLARE_METATYPE(State)

namespace {

cat::SessionPlace Place(std::size_t classIndex, cat::PlaceKind kind, std::vector<std::string> methods = {})
{
    cat::SessionPlace place;
    place.classIndex = classIndex;
    place.kind = kind;
    place.methods = std::move(methods);
    return place;
}

cat::SessionEntry Entry(const std::string& msgid, std::vector<cat::SessionPlace> places, std::size_t slotCount = 0)
{
    cat::SessionEntry entry;
    entry.msgid = msgid;
    entry.references.push_back({"demo/App.class", 7});
    for (const cat::SessionPlace& place : places) {
        if (place.kind == cat::PlaceKind::Recipe)
            entry.recipe = true;
        if (place.kind != cat::PlaceKind::Annotation)
            entry.inCode = true;
        if (place.kind != cat::PlaceKind::Bundle)
            entry.inClass = true;
    }
    entry.slotCount = slotCount;
    entry.places = std::move(places);
    return entry;
}

// Rows: 0 "Hello" (two places), 1 a recipe with two slots, 2 a text with a line break and a
// tab, 3 an annotation value, 4 "Open file".
std::vector<cat::SessionEntry> FixtureEntries()
{
    std::vector<cat::SessionEntry> entries;
    entries.push_back(Entry("Hello", {Place(0, cat::PlaceKind::Literal, {"main", "greet"}),
                                      Place(1, cat::PlaceKind::Literal, {"<init>"})}));
    entries.push_back(Entry("Found {0} files in {1}", {Place(0, cat::PlaceKind::Recipe, {"count"})}, 2));
    entries.push_back(Entry("Line one\nLine\ttwo", {Place(1, cat::PlaceKind::Literal)}));
    entries.push_back(Entry("Shown in the menu", {Place(1, cat::PlaceKind::Annotation)}));
    entries.push_back(Entry("Open file", {Place(0, cat::PlaceKind::Literal, {"open"})}));
    return entries;
}

cat::ProgramSession Fixture(std::vector<cat::SessionEntry> entries = FixtureEntries())
{
    cat::ProgramFacts facts;
    facts.name = "app.jar";
    facts.classNames = {"demo.App", "demo.util.Helper"};
    return cat::ProgramSession::Assemble(std::move(facts), std::move(entries));
}

cat::PoCatalogue Catalogue(std::vector<cat::PoMessage> messages)
{
    cat::PoCatalogue catalogue;
    catalogue.messages = std::move(messages);
    return catalogue;
}

cat::PoMessage Message(const std::string& msgid, const std::string& msgstr, bool fuzzy = false)
{
    cat::PoMessage message;
    message.msgid = msgid;
    message.msgstr = msgstr;
    message.fuzzy = fuzzy;
    return message;
}

QModelIndex Cell(const TranslationModel& model, int row, int column)
{
    return model.index(row, column);
}

}  // namespace

class TranslationModelTest : public QObject {
    Q_OBJECT

    // The sessions the models show, owned here as the window owns its own.
    std::deque<cat::ProgramSession> kept_;
    cat::ProgramSession& Keep(cat::ProgramSession session)
    {
        kept_.push_back(std::move(session));
        return kept_.back();
    }

private slots:
    void structureHoldsThroughResetsEditsAndFilters()
    {
        TranslationModel model;
        TranslationFilter filter;
        filter.setSourceModel(&model);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QAbstractItemModelTester filtered(&filter, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.columnCount(), 5);

        model.Reset(Keep(Fixture()));
        QCOMPARE(model.rowCount(), 5);
        QVERIFY(model.setData(Cell(model, 0, TranslationModel::TranslationColumn), QStringLiteral("你好")));
        QVERIFY(!model.setData(Cell(model, 0, TranslationModel::SourceColumn), QStringLiteral("x")));
        filter.SetSearch(QStringLiteral("o"));
        filter.SetState(State::Translated);
        filter.SetAnnotations(true);
        model.UndoStack()->undo();
        model.Reset(Keep(Fixture()));
        QCOMPARE(model.UndoStack()->count(), 0);
        QCOMPARE(model.Translation(0), QString());
    }

    void columnsShowTextsUsesAndPlaces()
    {
        TranslationModel model;
        model.Reset(Keep(Fixture()));
        const QStringList headers{QStringLiteral("原文"), QStringLiteral("译文"), QStringLiteral("次数"),
                                  QStringLiteral("用途"), QStringLiteral("位置")};
        for (int c = 0; c < 5; ++c)
            QCOMPARE(model.headerData(c, Qt::Horizontal).toString(), headers[c]);

        // Line breaks and tabs are visible marks in the table and real in the raw text.
        const QModelIndex broken = Cell(model, 2, TranslationModel::SourceColumn);
        QCOMPARE(broken.data().toString(), QStringLiteral("Line one↵Line⇥two"));
        QCOMPARE(broken.data(TranslationModel::RawTextRole).toString(), QStringLiteral("Line one\nLine\ttwo"));
        QCOMPARE(Cell(model, 0, TranslationModel::UsesColumn).data().toInt(), 2);
        QCOMPARE(Cell(model, 0, TranslationModel::PlaceColumn).data().toString(), QStringLiteral("App.main +1"));
        QCOMPARE(Cell(model, 2, TranslationModel::PlaceColumn).data().toString(), QStringLiteral("Helper"));
        QCOMPARE(Cell(model, 3, TranslationModel::PlaceColumn).data().toString(), QStringLiteral("Helper（注解）"));
        QCOMPARE(model.Places(0), QStringList({QStringLiteral("demo.App — main、greet"),
                                               QStringLiteral("demo.util.Helper — <init>")}));

        QVERIFY(model.flags(Cell(model, 0, TranslationModel::TranslationColumn)) & Qt::ItemIsEditable);
        for (int c : {0, 2, 3, 4})
            QVERIFY(!(model.flags(Cell(model, 0, c)) & Qt::ItemIsEditable));

        // A very long text shows its beginning in the cell; the whole of it stays in the raw text.
        TranslationModel longModel;
        std::vector<cat::SessionEntry> longEntries = FixtureEntries();
        longEntries[4].msgid = std::string(50000, 'x');
        longModel.Reset(Keep(Fixture(std::move(longEntries))));
        const QString cell = Cell(longModel, 4, TranslationModel::SourceColumn).data().toString();
        QVERIFY2(cell.size() < 1000 && cell.endsWith(QChar(0x2026)), qPrintable(QString::number(cell.size())));
        QCOMPARE(Cell(longModel, 4, TranslationModel::SourceColumn).data(TranslationModel::RawTextRole).toString().size(),
                 50000);

        // A translation typed with the marks stores real line breaks.
        QVERIFY(model.setData(Cell(model, 2, TranslationModel::TranslationColumn), QStringLiteral("第一行↵第⇥二行")));
        QCOMPARE(model.Translation(2), QStringLiteral("第一行\n第\t二行"));
        QCOMPARE(Cell(model, 2, TranslationModel::TranslationColumn).data(Qt::EditRole).toString(),
                 QStringLiteral("第一行↵第⇥二行"));
    }

    void useNoteNamesEveryUse()
    {
        // The detail pane and the 用途 cell's tooltip say what the catalogue's note says: an
        // offered text every use, a withheld one the places that forbid a change.
        std::vector<cat::SessionEntry> entries = FixtureEntries();
        cat::SessionEntry& shown = entries[4];
        shown.use = cl::usage::Use::Ui;
        shown.consumer = "javax/swing/JMenuItem.<init>";
        shown.uses = {{cl::usage::Use::Ui, cl::usage::FormatStyle::None, "javax/swing/JMenuItem.<init>"},
                      {cl::usage::Use::Message, cl::usage::FormatStyle::None, "java/lang/IllegalStateException.<init>"},
                      {cl::usage::Use::Log, cl::usage::FormatStyle::None, "java/util/logging/Logger.info"}};
        cat::SessionEntry& withheld = entries[0];
        withheld.offered = false;
        withheld.use = cl::usage::Use::Key;
        withheld.consumer = "java/lang/System.getProperty";
        withheld.uses = {{cl::usage::Use::Ui, cl::usage::FormatStyle::None, "javax/swing/JLabel.<init>"},
                         {cl::usage::Use::Key, cl::usage::FormatStyle::None, "java/lang/System.getProperty"}};
        cl::usage::Finding place;
        place.use = cl::usage::Use::Key;
        place.consumer = "java/lang/System.getProperty";
        place.className = "demo/App";
        place.method = "main";
        withheld.forbidding = {place};
        TranslationModel model;
        model.Reset(Keep(Fixture(std::move(entries))));
        QCOMPARE(model.UseNote(4), QStringLiteral("用途：界面（javax/swing/JMenuItem.<init>）；"
                                                  "消息（java/lang/IllegalStateException.<init>）；"
                                                  "日志（java/util/logging/Logger.info）"));
        QCOMPARE(Cell(model, 4, TranslationModel::UseColumn).data(Qt::ToolTipRole).toString(), model.UseNote(4));
        QCOMPARE(Cell(model, 4, TranslationModel::UseColumn).data().toString(), QStringLiteral("界面"));
        const QStringList lines = model.UseNote(0).split(u'\n');
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], QStringLiteral("用途：键（java/lang/System.getProperty）"));
        QCOMPARE(lines[2], QStringLiteral("demo.App.main：键（java/lang/System.getProperty）"));
    }

    void translationsAreChecked_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("translation");
        QTest::addColumn<Problem>("problem");

        QTest::newRow("slots reordered") << 1 << QStringLiteral("在 {1} 中找到 {0} 个文件") << Problem::SlotOutOfOrder;
        QTest::newRow("slots in order") << 1 << QStringLiteral("找到 {0} 个文件，位于 {1}") << Problem::None;
        QTest::newRow("slot missing") << 1 << QStringLiteral("找到 {0} 个文件") << Problem::MissingSlot;
        QTest::newRow("slot added") << 1 << QStringLiteral("{0} 个文件，{1}，{2}") << Problem::ExtraSlot;
        QTest::newRow("slot twice") << 1 << QStringLiteral("{0}{0}{1}") << Problem::ExtraSlot;
        QTest::newRow("stray brace") << 1 << QStringLiteral("{0} 个文件 } {1}") << Problem::StrayBrace;
        QTest::newRow("doubled braces") << 1 << QStringLiteral("{{注意}} {0} {1}") << Problem::None;
        QTest::newRow("control char") << 1 << QStringLiteral("{0}\u0001{1}") << Problem::ControlChar;
        QTest::newRow("plain text keeps braces") << 4 << QStringLiteral("打开 {文件}") << Problem::None;
        QTest::newRow("emptied") << 1 << QString() << Problem::None;
        // 3 bytes per CJK character: 21845 fit in 65535 bytes, one more does not.
        QTest::newRow("at the limit") << 4 << QString(21845, QChar(0x4E2D)) << Problem::None;
        QTest::newRow("past the limit") << 4 << QString(21846, QChar(0x4E2D)) << Problem::TooLong;
        // U+0000 takes two bytes in a class file.
        QTest::newRow("zeros count twice") << 4 << QString(32768, QChar(0)) << Problem::TooLong;
        QTest::newRow("recipe past the limit")
            << 1 << QStringLiteral("{0}{1}") + QString(21846, QChar(0x4E2D)) << Problem::TooLong;
    }

    void translationsAreChecked()
    {
        QFETCH(int, row);
        QFETCH(QString, translation);
        QFETCH(Problem, problem);
        TranslationModel model;
        model.Reset(Keep(Fixture()));
        model.SetTranslation(row, translation);
        QCOMPARE(model.Problem(row), problem);
        const QModelIndex cell = Cell(model, row, TranslationModel::TranslationColumn);
        QCOMPARE(cell.data(TranslationModel::ProblemRole).toInt(), static_cast<int>(problem));
        const bool bad = problem != Problem::None;
        QCOMPARE(cell.data(Qt::ForegroundRole).isValid(), bad);
        if (bad) {
            QCOMPARE(cell.data(Qt::ForegroundRole).value<QColor>(), QColor(200, 0, 0));
            QVERIFY(cell.data(Qt::BackgroundRole).isValid());
            QCOMPARE(cell.data(Qt::ToolTipRole).toString(), TranslationModel::ProblemText(problem));
            QVERIFY(!TranslationModel::ProblemText(problem).isEmpty());
        }
        QCOMPARE(model.ProblemCount(true), bad ? 1 : 0);
        // A marked translation is never applied; a good one is.
        const std::vector<cat::PoMessage> applied = model.Session().MessagesToApply(true);
        const bool offered = !translation.isEmpty() && !bad;
        QCOMPARE(applied.size(), offered ? 1u : 0u);
        if (offered)
            QCOMPARE(QString::fromStdString(applied.front().msgstr), translation);
    }

    void editsUndoAndRedo()
    {
        TranslationModel model;
        model.Reset(Keep(Fixture()));
        QUndoStack* undo = model.UndoStack();
        QVERIFY(undo->isClean());
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

        model.SetTranslation(0, QStringLiteral("你好"));
        model.SetTranslation(4, QStringLiteral("打开文件"));
        QCOMPARE(undo->count(), 2);
        QVERIFY(!undo->isClean());
        QCOMPARE(changed.count(), 2);
        QCOMPARE(changed.last().at(0).value<QModelIndex>().row(), 4);

        undo->undo();
        QCOMPARE(model.Translation(4), QString());
        QCOMPARE(model.Translation(0), QStringLiteral("你好"));
        undo->redo();
        QCOMPARE(model.Translation(4), QStringLiteral("打开文件"));

        // Setting the same text again is no edit.
        model.SetTranslation(4, QStringLiteral("打开文件"));
        QCOMPARE(undo->count(), 2);

        // Typing into the same row makes one step; another row starts a new one.
        model.SetTranslation(1, QStringLiteral("找"), true);
        model.SetTranslation(1, QStringLiteral("找到"), true);
        model.SetTranslation(1, QStringLiteral("找到 {0}"), true);
        QCOMPARE(undo->count(), 3);
        QCOMPARE(model.Problem(1), Problem::MissingSlot);
        model.SetTranslation(2, QStringLiteral("行"), true);
        QCOMPARE(undo->count(), 4);
        undo->undo();
        undo->undo();
        QCOMPARE(model.Translation(1), QString());
        QCOMPARE(model.Problem(1), Problem::None);
        QCOMPARE(model.ProblemCount(true), 0);

        // Unsaved changes are the session's to tell: changed back to what was read, by undo or
        // by hand, nothing is unsaved.
        const cat::ProgramSession& session = model.Session();
        QVERIFY(session.IsModified());
        undo->undo();
        QCOMPARE(model.Translation(4), QString());
        QCOMPARE(model.Translation(0), QStringLiteral("你好"));
        QVERIFY(session.IsModified());
        undo->undo();
        QCOMPARE(model.Translation(0), QString());
        QVERIFY(!session.IsModified());
        model.SetTranslation(0, QStringLiteral("您好"));
        QVERIFY(session.IsModified());
        model.SetTranslation(0, QString());
        QVERIFY(!session.IsModified());
        undo->undo();
        QCOMPARE(model.Translation(0), QStringLiteral("您好"));
        QVERIFY(session.IsModified());
        undo->redo();
        QVERIFY(!session.IsModified());
    }

    void fillFromCatalogue()
    {
        TranslationModel model;
        model.Reset(Keep(Fixture()));
        model.SetTranslation(4, QStringLiteral("旧译文"));
        std::vector<cat::PoMessage> messages{
            Message("Hello", "你好"),
            Message("Open file", "打开文件"),                 // replaces the old translation
            Message("Found {0} files in {1}", "{0}{1}", true),  // fuzzy: kept, needing review
            Message("Not in this program", "不在"),
            Message("Line one\nLine\ttwo", ""),  // untranslated: nothing to count
        };
        cat::PoMessage obsolete = Message("Shown in the menu", "菜单");
        obsolete.obsolete = true;
        messages.push_back(obsolete);

        const cat::ImportSummary counts = model.Import(Catalogue(messages), "import.po");
        QCOMPARE(counts.filled, 2u);
        QCOMPARE(counts.notFound, 1u);
        QCOMPARE(counts.fuzzy, 1u);
        QCOMPARE(counts.fuzzyFilled, 1u);
        QCOMPARE(model.Translation(0), QStringLiteral("你好"));
        QCOMPARE(model.Translation(4), QStringLiteral("打开文件"));
        QCOMPARE(model.Translation(1), QStringLiteral("{0}{1}"));
        QCOMPARE(model.State(1), cat::EntryState::NeedsReview);
        QCOMPARE(model.ReviewCount(false), 1);
        QCOMPARE(model.Translation(3), QString());

        // The whole import is one undo step.
        model.UndoStack()->undo();
        QCOMPARE(model.Translation(0), QString());
        QCOMPARE(model.Translation(4), QStringLiteral("旧译文"));
        QCOMPARE(model.Translation(1), QString());
        QCOMPARE(model.ReviewCount(false), 0);
        model.UndoStack()->redo();
        QCOMPARE(model.Translation(1), QStringLiteral("{0}{1}"));
        QCOMPARE(model.State(1), cat::EntryState::NeedsReview);

        // Accepting a translation that needs review is a step of its own.
        model.Accept(1);
        QCOMPARE(model.State(1), cat::EntryState::Translated);
        QCOMPARE(model.TranslatedCount(false), 3);
        model.UndoStack()->undo();
        QCOMPARE(model.State(1), cat::EntryState::NeedsReview);

        // The catalogue found beside a program is the starting point, not an edit.
        cat::ProgramSession beside = Fixture();
        QCOMPARE(beside.ImportMessages(Catalogue(messages), cat::ImportMode::Continue, "beside.po").filled, 2u);
        TranslationModel fresh;
        fresh.Reset(Keep(std::move(beside)));
        QVERIFY(fresh.UndoStack()->isClean());
        QCOMPARE(fresh.UndoStack()->count(), 0);
        QVERIFY(!fresh.Session().IsModified());
        QCOMPARE(fresh.TranslatedCount(false), 2);
    }

    void filterNarrowsTheRows_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<State>("state");
        QTest::addColumn<bool>("annotations");
        QTest::addColumn<QList<int>>("rows");

        QTest::newRow("all of the code") << QString() << State::All << false << QList<int>{0, 1, 2, 4};
        QTest::newRow("annotations too") << QString() << State::All << true << QList<int>{0, 1, 2, 3, 4};
        QTest::newRow("source, any case") << QStringLiteral("OPEN") << State::All << false << QList<int>{4};
        QTest::newRow("translation") << QStringLiteral("你好") << State::All << false << QList<int>{0};
        QTest::newRow("line break") << QStringLiteral("one\nLine") << State::All << false << QList<int>{2};
        QTest::newRow("untranslated") << QString() << State::Untranslated << false << QList<int>{2, 4};
        QTest::newRow("translated") << QString() << State::Translated << true << QList<int>{0, 1, 3};
        QTest::newRow("with problems") << QString() << State::Problem << false << QList<int>{1};
        QTest::newRow("search and state") << QStringLiteral("e") << State::Untranslated << true
                                          << QList<int>{2, 4};
        QTest::newRow("nothing") << QStringLiteral("zzz") << State::All << true << QList<int>{};
    }

    void filterNarrowsTheRows()
    {
        QFETCH(QString, search);
        QFETCH(State, state);
        QFETCH(bool, annotations);
        QFETCH(QList<int>, rows);
        TranslationModel model;
        model.Reset(Keep(Fixture()));
        model.SetTranslation(0, QStringLiteral("你好"));
        model.SetTranslation(1, QStringLiteral("找到文件"));  // slots missing
        model.SetTranslation(3, QStringLiteral("菜单中显示"));
        TranslationFilter filter;
        filter.setSourceModel(&model);
        QAbstractItemModelTester tester(&filter, QAbstractItemModelTester::FailureReportingMode::QtTest);
        filter.SetSearch(search);
        filter.SetState(state);
        filter.SetAnnotations(annotations);
        QList<int> shown;
        for (int r = 0; r < filter.rowCount(); ++r)
            shown.append(filter.mapToSource(filter.index(r, 0)).row());
        QCOMPARE(shown, rows);
    }

    void sortingByEachColumn_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QList<int>>("ascending");
        // Rows: 0 "Banana" (10 places, Helper.zeta, "甲", 日志), 1 "Apple" (9, App.alpha, none, 消息),
        // 2 "cherry" (2, App.beta, "乙", 界面), 3 "apple" (1, Helper.alpha, "B", 格式).
        QTest::newRow("source, case set aside first") << int(TranslationModel::SourceColumn) << QList<int>{1, 3, 0, 2};
        QTest::newRow("translation, none first") << int(TranslationModel::TranslationColumn) << QList<int>{1, 3, 2, 0};
        QTest::newRow("uses, as numbers") << int(TranslationModel::UsesColumn) << QList<int>{3, 2, 1, 0};
        QTest::newRow("place") << int(TranslationModel::PlaceColumn) << QList<int>{1, 2, 3, 0};
        // As a note ranks them, 日志 after 界面 and 消息; by the characters it would come first.
        QTest::newRow("use, by rank") << int(TranslationModel::UseColumn) << QList<int>{3, 2, 1, 0};
    }

    void sortingByEachColumn()
    {
        QFETCH(int, column);
        QFETCH(QList<int>, ascending);
        auto places = [](std::size_t count, std::size_t classIndex, const std::string& method) {
            return std::vector<cat::SessionPlace>(count, Place(classIndex, cat::PlaceKind::Literal, {method}));
        };
        std::vector<cat::SessionEntry> entries{Entry("Banana", places(10, 1, "zeta")), Entry("Apple", places(9, 0, "alpha")),
                                               Entry("cherry", places(2, 0, "beta")), Entry("apple", places(1, 1, "alpha"))};
        const cl::usage::Use uses[] = {cl::usage::Use::Log, cl::usage::Use::Message, cl::usage::Use::Ui,
                                       cl::usage::Use::Format};
        for (std::size_t i = 0; i < entries.size(); ++i)
            entries[i].use = uses[i];
        TranslationModel model;
        model.Reset(Keep(Fixture(std::move(entries))));
        model.SetTranslation(0, QStringLiteral("甲"));
        model.SetTranslation(2, QStringLiteral("乙"));
        model.SetTranslation(3, QStringLiteral("B"));
        TranslationFilter filter;
        filter.setSourceModel(&model);
        QAbstractItemModelTester tester(&filter, QAbstractItemModelTester::FailureReportingMode::QtTest);
        auto shown = [&] {
            QList<int> rows;
            for (int r = 0; r < filter.rowCount(); ++r)
                rows.append(filter.mapToSource(filter.index(r, 0)).row());
            return rows;
        };
        filter.sort(column, Qt::AscendingOrder);
        QCOMPARE(shown(), ascending);
        filter.sort(column, Qt::DescendingOrder);
        QCOMPARE(shown(), QList<int>(ascending.rbegin(), ascending.rend()));
        // No column: the program's order again.
        filter.sort(-1, Qt::AscendingOrder);
        QCOMPARE(shown(), (QList<int>{0, 1, 2, 3}));
    }

    void editedRowStaysUntilTheFilterChanges()
    {
        TranslationModel model;
        model.Reset(Keep(Fixture()));
        TranslationFilter filter;
        filter.setSourceModel(&model);
        filter.SetState(State::Untranslated);
        QCOMPARE(filter.rowCount(), 4);
        model.SetTranslation(4, QStringLiteral("打开"));
        QCOMPARE(filter.rowCount(), 4);  // the translator is still typing there
        // Judged again, the translated "Open file" goes; the untranslated "Found ... files" stays.
        filter.SetSearch(QStringLiteral("file"));
        QCOMPARE(filter.rowCount(), 1);
        QCOMPARE(filter.mapToSource(filter.index(0, 0)).row(), 1);
    }

    void countsFollowEditsAndAnnotations()
    {
        TranslationModel model;
        model.Reset(Keep(Fixture()));
        QSignalSpy counts(&model, &TranslationModel::CountsChanged);
        QCOMPARE(model.TotalCount(false), 4);
        QCOMPARE(model.TotalCount(true), 5);
        model.SetTranslation(3, QStringLiteral("菜单"));
        model.SetTranslation(0, QStringLiteral("你好"));
        QCOMPARE(model.TranslatedCount(false), 1);
        QCOMPARE(model.TranslatedCount(true), 2);
        model.SetTranslation(0, QString());
        QCOMPARE(model.TranslatedCount(true), 1);
        QCOMPARE(counts.count(), 3);
    }

    void catalogueAndAppliedMessages()
    {
        TranslationModel model;
        model.Reset(Keep(Fixture()));
        model.SetTranslation(0, QStringLiteral("你好"));
        model.SetTranslation(1, QStringLiteral("找到文件"));  // marked: saved, not applied
        model.SetTranslation(3, QStringLiteral("菜单"));      // annotation value
        model.SetTranslation(2, QStringLiteral("第一行\n第二行"));

        auto saved = [&](bool annotations) {
            const auto read = cat::ReadPo(model.Session().CatalogueText({}, annotations, cltext::Notes()), "saved.po");
            return read ? read->messages : std::vector<cat::PoMessage>();
        };
        // Without annotations the catalogue still keeps a translated annotation value.
        QCOMPARE(saved(false).size(), 5u);
        model.SetTranslation(3, QString());
        QCOMPARE(saved(false).size(), 4u);
        QCOMPARE(saved(false)[0].references.size(), 1u);

        // What is saved reads back as the same translations.
        model.SetTranslation(3, QStringLiteral("菜单"));
        cat::PoCatalogue read;
        read.messages = saved(true);
        cat::ProgramSession again = Fixture();
        QCOMPARE(again.ImportMessages(read, cat::ImportMode::Continue, "saved.po").filled, 4u);
        TranslationModel reloaded;
        reloaded.Reset(Keep(std::move(again)));
        for (int r = 0; r < 5; ++r)
            QCOMPARE(reloaded.Translation(r), model.Translation(r));

        auto msgids = [](const std::vector<cat::PoMessage>& messages) {
            QStringList ids;
            for (const cat::PoMessage& m : messages)
                ids.append(QString::fromStdString(m.msgid));
            return ids;
        };
        QCOMPARE(msgids(model.Session().MessagesToApply(false)),
                 QStringList({QStringLiteral("Hello"), QStringLiteral("Line one\nLine\ttwo")}));
        QCOMPARE(msgids(model.Session().MessagesToApply(true)), QStringList({QStringLiteral("Hello"),
                                                                   QStringLiteral("Line one\nLine\ttwo"),
                                                                   QStringLiteral("Shown in the menu")}));
    }

    void visibleMarksRoundTrip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain") << QStringLiteral("abc 中文") << QStringLiteral("abc 中文");
        QTest::newRow("breaks") << QStringLiteral("a\r\nb\n") << QStringLiteral("a␍↵b↵");
        QTest::newRow("tabs") << QStringLiteral("\tx\t") << QStringLiteral("⇥x⇥");
        QTest::newRow("other controls") << QStringLiteral("a") + QChar(0) + QChar(0x1F) + QStringLiteral("b")
                                        << QStringLiteral("a␀␟b");
    }

    void visibleMarksRoundTrip()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(TranslationModel::Visible(text), shown);
        QCOMPARE(TranslationModel::FromVisible(shown), text);
    }

    void placesNameTheirMethods()
    {
        CLTEST_QT_REQUIRE_TOOL("javac", cltest::JavacPath());
        QTemporaryDir dir;
        const std::string source = (
            "import java.lang.annotation.*;\n"
            "@Retention(RetentionPolicy.RUNTIME) @interface Label { String value(); }\n"
            "public class Shop {\n"
            "    static final String TITLE = \"Shop title\";\n"
            "    @Label(\"Menu label\") int field;\n"
            "    String greet() { return \"Welcome\"; }\n"
            "    String farewell() { return \"Welcome\"; }\n"
            "    String count(int n, String where) { return \"Found \" + n + \" items in \" + where; }\n"
            "    Runnable later() { return () -> System.out.println(\"Later\"); }\n"
            "}\n");
        const std::string compiled = cltest::CompileJava(testfiles::Native(dir.path()), "Shop", source);
        QVERIFY2(compiled.empty(), compiled.c_str());
        const std::string path = QFile::encodeName(dir.filePath(QStringLiteral("Shop.class"))).toStdString();
        std::atomic<bool> cancel{false};
        QList<cat::WorkStage> stages;
        cat::Progress progress;
        progress.cancel = &cancel;
        progress.stage = [&](cat::WorkStage stage) { stages.append(stage); };
        cat::OpenOptions options;
        options.annotations = true;
        options.methods = true;
        cat::ProgramSession opened;
        QVERIFY(opened.Open(path, options, progress).ok());
        QCOMPARE(stages, QList<cat::WorkStage>({cat::WorkStage::Reading, cat::WorkStage::Analysing}));
        QCOMPARE(opened.Facts().classNames, std::vector<std::string>{"Shop"});

        TranslationModel model;
        model.Reset(Keep(std::move(opened)));
        QMap<QString, QStringList> places;
        for (int r = 0; r < model.rowCount(); ++r)
            places[model.Source(r)] = model.Places(r);
        QCOMPARE(places.value(QStringLiteral("Welcome")), QStringList{QStringLiteral("Shop — greet、farewell")});
        QCOMPARE(places.value(QStringLiteral("Found {0} items in {1}")), QStringList{QStringLiteral("Shop — count")});
        QVERIFY2(places.value(QStringLiteral("Later")).value(0).startsWith(QStringLiteral("Shop — lambda$later$")),
                 qPrintable(places.value(QStringLiteral("Later")).join(u',')));
        QCOMPARE(places.value(QStringLiteral("Menu label")), QStringList{QStringLiteral("Shop（注解）")});
        // The recipe's slots are checked; the annotation value is hidden unless asked for.
        int recipe = -1;
        int label = -1;
        for (int r = 0; r < model.rowCount(); ++r) {
            if (model.Source(r).startsWith(QStringLiteral("Found")))
                recipe = r;
            if (model.Source(r) == QStringLiteral("Menu label"))
                label = r;
        }
        QVERIFY(recipe >= 0 && label >= 0);
        model.SetTranslation(recipe, QStringLiteral("在 {1} 找到 {0} 件"));
        QCOMPARE(model.Problem(recipe), Problem::SlotOutOfOrder);
        QVERIFY(!model.Included(label, false));
        QVERIFY(model.Included(label, true));

        // A cancel seen before the analysis leaves nothing.
        cancel = true;
        cat::ProgramSession cancelled;
        const cl::Status stopped = cancelled.Open(path, options, progress);
        QVERIFY(!stopped.ok());
        QCOMPARE(stopped.error().kind, cl::ErrorKind::Cancelled);
        QVERIFY(!cancelled.IsOpen());
        QVERIFY(cancelled.Entries().empty());
    }

    void batchedOpeningMatchesTheWholeCatalogue()
    {
        // Guava's two thousand classes are analysed in batches; texts shared across batches
        // must come out as one entry with every reference, as the one-pass catalogue has them.
        const std::string jar = "/usr/share/java/guava.jar";
        if (!QFile::exists(QString::fromStdString(jar)))
            QSKIP("guava.jar (libguava-java) is not installed");
        // Kept whole, the program is analysed in one pass; otherwise a batch at a time.
        cat::OpenOptions whole;
        whole.annotations = true;
        whole.keepProgram = true;
        cat::ProgramSession expected;
        QVERIFY(expected.Open(jar, whole).ok());
        cat::OpenOptions batched;
        batched.annotations = true;
        cat::ProgramSession opened;
        QVERIFY(opened.Open(jar, batched).ok());
        QVERIFY(expected.Facts().classCount > 1000);
        QCOMPARE(opened.Facts().classNames, expected.Facts().classNames);
        QCOMPARE(opened.Facts().notOfferable, expected.Facts().notOfferable);
        QCOMPARE(opened.Entries().size(), expected.Entries().size());
        std::size_t shared = 0;
        for (std::size_t i = 0; i < expected.Entries().size(); ++i) {
            const cat::SessionEntry& entry = opened.Entries()[i];
            const cat::SessionEntry& want = expected.Entries()[i];
            QCOMPARE(entry.msgid, want.msgid);
            QCOMPARE(entry.slotCount, want.slotCount);
            QCOMPARE(entry.references.size(), want.references.size());
            QCOMPARE(entry.places.size(), want.places.size());
            for (std::size_t k = 0; k < entry.places.size(); ++k) {
                QCOMPARE(entry.references[k].file, want.references[k].file);
                QCOMPARE(entry.references[k].line, want.references[k].line);
                QCOMPARE(entry.places[k].classIndex, want.places[k].classIndex);
            }
            if (entry.places.size() > 1)
                ++shared;
        }
        // And the catalogues written from both are the same bytes.
        QCOMPARE(opened.CatalogueText({}, true, cltext::Notes()), expected.CatalogueText({}, true, cltext::Notes()));
        QVERIFY(shared > 10);
    }
};

QTEST_MAIN(TranslationModelTest)
#include "test_translation_model.moc"
