// The main window says what each row of a class is: the type column, grey rows that are not
// plain string constants, a remembered "only translatable" filter, and replacement refused or
// questioned for rows whose change would break the program.

#include "SampleClasses.h"
#include "Main.h"
#include "ScriptedDialogs.h"
#include "StringListModel.h"
#include "WindowSession.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <memory>


namespace {

QByteArray RolesClass()
{
    const std::string bytes = cltest::ClassWithEveryRowKind();
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

}  // namespace

class RolesInWindowTest : public QObject {
    Q_OBJECT

private:
    WindowSession session_;
    QString path_;

    int RowOf(const QString& caption) const
    {
        for (int row = 0; row < session_.Form().Model()->rowCount(); ++row) {
            if (session_.Form().Model()->index(row, 0).data().toString() == caption)
                return row;
        }
        return -1;
    }

    void OpenFixture()
    {
        session_.Dialogs().ExpectOpen(path_);
        session_.Form().btn2Click();
    }

    void TryReplace(const QString& caption, const QString& text)
    {
        session_.Form().lv1->selectRow(RowOf(caption));
        session_.Form().mmo1->setPlainText(text);
        session_.Form().btn1Click();
    }

private slots:
    void initTestCase()
    {
        // What the window remembers goes to a test location, never the user's settings.
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("classlingo-tests"));
    }

    void init()
    {
        QSettings().clear();
        QVERIFY(session_.Start());
        path_ = session_.Write(QStringLiteral("A.class"), RolesClass());
    }

    void cleanup()
    {
        const QString problems = session_.Finish();
        QSettings().clear();
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
    }

    void typeColumnNamesEveryRowAndGreysTheUntranslatable()
    {
        OpenFixture();
        const StringListModel* model = session_.Form().Model();
        QCOMPARE(model->headerData(StringListModel::RoleColumn, Qt::Horizontal).toString(), QStringLiteral("类型"));
        const struct {
            const char* caption;
            const char* type;
        } expected[] = {{"Hello, world", "字符串"}, {"count", "共用"}, {"ABC", "非常量"}, {"Sample", "名称"}};
        for (const auto& e : expected) {
            const int row = RowOf(QString::fromUtf8(e.caption));
            QVERIFY2(row >= 0, e.caption);
            QCOMPARE(model->index(row, StringListModel::RoleColumn).data().toString(), QString::fromUtf8(e.type));
            const QVariant colour = model->index(row, 0).data(Qt::ForegroundRole);
            // A string constant's type says where its text goes when pointed at; no other row's does.
            const QString tip = model->index(row, StringListModel::RoleColumn).data(Qt::ToolTipRole).toString();
            if (QByteArray(e.type) == "字符串") {
                QVERIFY(!colour.isValid());
                QVERIFY2(tip.startsWith(QStringLiteral("用途：")), qPrintable(tip));
            } else {
                QCOMPARE(colour.value<QBrush>().color(), StringListModel::UntranslatableColor());
                QVERIFY2(tip.isEmpty(), qPrintable(tip));
            }
        }
        // The first column still takes what the others leave.
        QHeaderView* header = session_.Form().lv1->horizontalHeader();
        int sum = 0;
        for (int c = 0; c < StringListModel::ColumnCount; ++c)
            sum += header->sectionSize(c);
        QCOMPARE(sum, session_.Form().lv1->viewport()->width());
    }

    void onlyTranslatableRowsAreShownWhenAskedAndTheChoiceIsRemembered()
    {
        QVERIFY(!session_.Form().chk1->isChecked());  // a new user sees every row
        OpenFixture();
        const int hello = RowOf(QStringLiteral("Hello, world"));
        const int count = RowOf(QStringLiteral("count"));
        session_.Form().chk1->click();
        QVERIFY(!session_.Form().lv1->isRowHidden(hello));
        QVERIFY(session_.Form().lv1->isRowHidden(count));
        QVERIFY(session_.Form().lv1->isRowHidden(RowOf(QStringLiteral("ABC"))));

        // A new window (the next run) starts with the box checked and filters the next file.
        session_.Restart();
        QVERIFY(session_.Form().chk1->isChecked());
        OpenFixture();
        QVERIFY(session_.Form().lv1->isRowHidden(RowOf(QStringLiteral("count"))));
        session_.Form().chk1->click();
        QVERIFY(!session_.Form().lv1->isRowHidden(RowOf(QStringLiteral("count"))));
        QCOMPARE(QSettings().value(QStringLiteral("list/onlyTranslatable")).toBool(), false);
    }

    void falseMatchIsNeverReplaced()
    {
        OpenFixture();
        const QByteArray before = session_.Read(path_);
        session_.Dialogs().ExpectError();
        TryReplace(QStringLiteral("ABC"), QStringLiteral("XYZ"));
        QCOMPARE(session_.Dialogs().LastCall().caption, QStringLiteral("错误"));
        QVERIFY(session_.Dialogs().LastCall().text.contains(QStringLiteral("损坏")));
        QCOMPARE(session_.Form().Model()->index(RowOf(QStringLiteral("ABC")), 0).data().toString(), QStringLiteral("ABC"));
        QVERIFY(!session_.Form().btn3->isEnabled());
        QCOMPARE(session_.Read(path_), before);
    }

    void otherRolesAreReplacedOnlyAfterYes()
    {
        OpenFixture();
        session_.Dialogs().ExpectAskYesNo(Dialogs::Answer::No);
        TryReplace(QStringLiteral("count"), QStringLiteral("zahl"));
        const auto question = session_.Dialogs().LastCall();
        QVERIFY2(question.text.contains(QStringLiteral("共用")), qPrintable(question.text));
        QVERIFY2(question.text.contains(QStringLiteral("NoSuchMethodError")), qPrintable(question.text));
        QCOMPARE(question.defaultButton, Dialogs::Answer::No);
        QVERIFY(RowOf(QStringLiteral("count")) >= 0);
        QVERIFY(!session_.Form().btn3->isEnabled());

        session_.Dialogs().ExpectAskYesNo(Dialogs::Answer::Yes);
        TryReplace(QStringLiteral("count"), QStringLiteral("zahl"));
        QVERIFY(RowOf(QStringLiteral("zahl")) >= 0);
        QVERIFY(session_.Form().btn3->isEnabled());

        // A literal is replaced without a question.
        TryReplace(QStringLiteral("Hello, world"), QStringLiteral("Hallo"));
        QVERIFY(RowOf(QStringLiteral("Hallo")) >= 0);
        session_.Form().btn3Click();
        QVERIFY(session_.Read(path_).contains("Hallo"));
    }
};

QTEST_MAIN(RolesInWindowTest)
#include "test_roles_in_window.moc"
