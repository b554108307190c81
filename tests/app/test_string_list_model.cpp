// The list model over the engine's string list: structure (checked by Qt's model tester),
// headers, texts and colours, resets around scans that stop half way, and change signals.

#include "AnsiText.h"
#include "text/ByteStringErrors.h"
#include "StringListModel.h"

#include <QAbstractItemModelTester>
#include <QBrush>
#include <QSignalSpy>
#include <QTest>

namespace {

cl::StringRow Row(const char* caption, int32_t length, cl::RowStatus status, int32_t offset)
{
    cl::StringRow row;
    row.SetCaption(cl::ByteString(caption));
    row.byteLength = length;
    row.status = status;
    row.offset = offset;
    return row;
}

}  // namespace

class StringListModelTest : public QObject {
    Q_OBJECT

private slots:
    void structureAndTexts()
    {
        StringListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.columnCount(), 4);
        QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("字符串"));
        QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("长度（字节）"));
        QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("状态"));
        QCOMPARE(model.headerData(3, Qt::Horizontal).toString(), QStringLiteral("类型"));

        model.Refill([](cl::StringList& list) {
            list.rows.push_back(Row("Hello", 5, cl::RowStatus::Plain, 11));
            list.rows.push_back(Row("\xCE\xC4\xD7\xD6", 6, cl::RowStatus::Plain, 20));  // 文字 in GBK
            list.rows.push_back(Row("Bad", 3, cl::RowStatus::Suspicious, 3));
            list.PlainRowCount = 2;
        });
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("Hello"));
        QCOMPARE(model.index(1, 0).data().toString(), QStringLiteral("文字"));
        QCOMPARE(model.index(1, 1).data().toString(), QStringLiteral("6"));
        QCOMPARE(model.index(1, 2).data().toString(), QStringLiteral("2"));
        QCOMPARE(model.index(2, 2).data().toString(), QStringLiteral("1"));
        // The offset belongs to the row but is not shown.
        QCOMPARE(model.columnCount(), 4);

        QCOMPARE(model.index(2, 0).data(Qt::ForegroundRole).value<QBrush>().color(), QColor(255, 0, 0));
        QCOMPARE(model.index(2, 1).data(Qt::ForegroundRole).value<QBrush>().color(), QColor(255, 0, 0));
        QVERIFY(!model.index(0, 0).data(Qt::ForegroundRole).isValid());

        const Qt::ItemFlags flags = model.flags(model.index(0, 0));
        QVERIFY(flags & Qt::ItemIsSelectable);
        QVERIFY(!(flags & Qt::ItemIsEditable));
    }

    void roleColumnNamesEachRowAndGreysWhatIsNotALiteral()
    {
        StringListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.Refill([](cl::StringList& list) {
            list.rows.push_back(Row("Hello", 5, cl::RowStatus::Plain, 11));
            list.rows.push_back(Row("main", 4, cl::RowStatus::Plain, 20));
            list.rows.push_back(Row("ABC", 3, cl::RowStatus::Plain, 30));
            list.rows.push_back(Row("Bad", 3, cl::RowStatus::Suspicious, 40));
            list.PlainRowCount = 3;
        });
        // Without roles (a language pack) the column is blank and nothing is grey.
        for (int row = 0; row < 4; ++row)
            QCOMPARE(model.index(row, StringListModel::RoleColumn).data().toString(), QString());
        QVERIFY(!model.index(1, 0).data(Qt::ForegroundRole).isValid());

        using cl::classfile::Role;
        const std::vector<Role> roles{Role::Literal, Role::Name, Role::None, Role::Shared};
        model.SetRoles(&roles);
        const QStringList names{QStringLiteral("字符串"), QStringLiteral("名称"), QStringLiteral("非常量"),
                                QStringLiteral("共用")};
        for (int row = 0; row < 4; ++row)
            QCOMPARE(model.index(row, StringListModel::RoleColumn).data().toString(), names[row]);
        QVERIFY(!model.index(0, 0).data(Qt::ForegroundRole).isValid());
        QCOMPARE(model.index(1, 0).data(Qt::ForegroundRole).value<QBrush>().color(), QColor(128, 128, 128));
        QCOMPARE(model.index(2, 3).data(Qt::ForegroundRole).value<QBrush>().color(), QColor(128, 128, 128));
        // A suspicious row stays red whatever its role.
        QCOMPARE(model.index(3, 0).data(Qt::ForegroundRole).value<QBrush>().color(), QColor(255, 0, 0));
    }

    void captionEndsAtAZeroCharacter()
    {
        StringListModel model;
        model.Refill([](cl::StringList& list) {
            cl::StringRow row = Row("", 5, cl::RowStatus::Plain, 1);
            row.SetCaption(cl::ByteString("ab\0cd", 5));
            list.rows.push_back(row);
            list.PlainRowCount = 1;
        });
        QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("ab"));
    }

    void aFillThatThrowsStillEndsTheReset()
    {
        StringListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy aboutToReset(&model, &QAbstractItemModel::modelAboutToBeReset);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        bool thrown = false;
        try {
            model.Refill([](cl::StringList& list) {
                list.Clear();
                list.rows.push_back(Row("Found", 5, cl::RowStatus::Plain, 1));
                list.PlainRowCount = 1;
                throw cl::RangeError();
            });
        } catch (const cl::RangeError&) {
            thrown = true;
        }
        QVERIFY(thrown);
        QCOMPARE(aboutToReset.count(), 1);
        QCOMPARE(reset.count(), 1);
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("Found"));

        // A later refill replaces the rows.
        model.Refill([](cl::StringList& list) { list.Clear(); });
        QCOMPARE(model.rowCount(), 0);
    }

    void patchAnnouncesTheChangedRow()
    {
        StringListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.Refill([](cl::StringList& list) {
            for (int i = 0; i < 4; ++i)
                list.rows.push_back(Row("Row", 3, cl::RowStatus::Plain, 10 * i + 1));
            list.PlainRowCount = 4;
        });
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        const int result = model.Patch(2, [](cl::StringList& list) {
            list.rows[2].SetCaption(cl::ByteString("New"));
            list.rows[2].byteLength = 7;
            return 5;
        });
        QCOMPARE(result, 5);
        QCOMPARE(changed.count(), 1);
        const QList<QVariant> args = changed.takeFirst();
        QCOMPARE(args.at(0).toModelIndex(), model.index(2, 0));
        QCOMPARE(args.at(1).toModelIndex(), model.index(2, StringListModel::ColumnCount - 1));
        QVERIFY(args.at(2).value<QList<int>>().contains(Qt::DisplayRole));
        QCOMPARE(model.index(2, 0).data().toString(), QStringLiteral("New"));
        QCOMPARE(model.index(2, 1).data().toString(), QStringLiteral("7"));

        // Without a row every row is announced.
        model.Patch(-1, [](cl::StringList&) { return 0; });
        QCOMPARE(changed.count(), 1);
        const QList<QVariant> all = changed.takeFirst();
        QCOMPARE(all.at(0).toModelIndex(), model.index(0, 0));
        QCOMPARE(all.at(1).toModelIndex(), model.index(3, StringListModel::ColumnCount - 1));
    }
};

QTEST_MAIN(StringListModelTest)
#include "test_string_list_model.moc"
