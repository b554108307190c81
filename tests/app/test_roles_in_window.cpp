// The main window says what each row of a class is: the type column, grey rows that are not
// plain string constants, a remembered "only translatable" filter, and replacement refused or
// questioned for rows whose change would break the program.

#include "SampleClasses.h"
#include "Main.h"
#include "ScriptedDialogs.h"
#include "StringListModel.h"
#include "TestFiles.h"

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

using testfiles::ReadFile;
using testfiles::WriteFile;

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
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<ScriptedDialogs> dialogs_;
    std::unique_ptr<TForm1> form_;
    QString path_;

    int RowOf(const QString& caption) const
    {
        for (int row = 0; row < form_->Model()->rowCount(); ++row) {
            if (form_->Model()->index(row, 0).data().toString() == caption)
                return row;
        }
        return -1;
    }

    void MakeWindow()
    {
        form_ = std::make_unique<TForm1>(*dialogs_, dir_->path());
        form_->show();
    }

    void OpenFixture()
    {
        dialogs_->ExpectOpen(path_);
        form_->btn2Click();
    }

    void TryReplace(const QString& caption, const QString& text)
    {
        form_->lv1->selectRow(RowOf(caption));
        form_->mmo1->setPlainText(text);
        form_->btn1Click();
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
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        path_ = dir_->filePath(QStringLiteral("A.class"));
        QVERIFY(WriteFile(path_, RolesClass()));
        dialogs_ = std::make_unique<ScriptedDialogs>();
        MakeWindow();
    }

    void cleanup()
    {
        const QStringList problems = dialogs_->Problems();
        const int pending = dialogs_->Pending();
        form_.reset();
        dialogs_.reset();
        dir_.reset();
        QSettings().clear();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
        QCOMPARE(pending, 0);
    }

    void typeColumnNamesEveryRowAndGreysTheUntranslatable()
    {
        OpenFixture();
        const StringListModel* model = form_->Model();
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
            if (QByteArray(e.type) == "字符串")
                QVERIFY(!colour.isValid());
            else
                QCOMPARE(colour.value<QBrush>().color(), StringListModel::UntranslatableColor());
        }
        // The first column still takes what the others leave.
        QHeaderView* header = form_->lv1->horizontalHeader();
        int sum = 0;
        for (int c = 0; c < StringListModel::ColumnCount; ++c)
            sum += header->sectionSize(c);
        QCOMPARE(sum, form_->lv1->viewport()->width());
    }

    void onlyTranslatableRowsAreShownWhenAskedAndTheChoiceIsRemembered()
    {
        QVERIFY(!form_->chk1->isChecked());  // a new user sees every row
        OpenFixture();
        const int hello = RowOf(QStringLiteral("Hello, world"));
        const int count = RowOf(QStringLiteral("count"));
        form_->chk1->click();
        QVERIFY(!form_->lv1->isRowHidden(hello));
        QVERIFY(form_->lv1->isRowHidden(count));
        QVERIFY(form_->lv1->isRowHidden(RowOf(QStringLiteral("ABC"))));

        // A new window (the next run) starts with the box checked and filters the next file.
        form_.reset();
        MakeWindow();
        QVERIFY(form_->chk1->isChecked());
        OpenFixture();
        QVERIFY(form_->lv1->isRowHidden(RowOf(QStringLiteral("count"))));
        form_->chk1->click();
        QVERIFY(!form_->lv1->isRowHidden(RowOf(QStringLiteral("count"))));
        QCOMPARE(QSettings().value(QStringLiteral("list/onlyTranslatable")).toBool(), false);
    }

    void falseMatchIsNeverReplaced()
    {
        OpenFixture();
        const QByteArray before = ReadFile(path_).value();
        dialogs_->ExpectError();
        TryReplace(QStringLiteral("ABC"), QStringLiteral("XYZ"));
        QCOMPARE(dialogs_->LastCall().caption, QStringLiteral("错误"));
        QVERIFY(dialogs_->LastCall().text.contains(QStringLiteral("损坏")));
        QCOMPARE(form_->Model()->index(RowOf(QStringLiteral("ABC")), 0).data().toString(), QStringLiteral("ABC"));
        QVERIFY(!form_->btn3->isEnabled());
        QCOMPARE(ReadFile(path_).value(), before);
    }

    void otherRolesAreReplacedOnlyAfterYes()
    {
        OpenFixture();
        dialogs_->ExpectAskYesNo(Dialogs::Answer::No);
        TryReplace(QStringLiteral("count"), QStringLiteral("zahl"));
        const auto question = dialogs_->LastCall();
        QVERIFY2(question.text.contains(QStringLiteral("共用")), qPrintable(question.text));
        QVERIFY2(question.text.contains(QStringLiteral("NoSuchMethodError")), qPrintable(question.text));
        QCOMPARE(question.defaultButton, Dialogs::Answer::No);
        QVERIFY(RowOf(QStringLiteral("count")) >= 0);
        QVERIFY(!form_->btn3->isEnabled());

        dialogs_->ExpectAskYesNo(Dialogs::Answer::Yes);
        TryReplace(QStringLiteral("count"), QStringLiteral("zahl"));
        QVERIFY(RowOf(QStringLiteral("zahl")) >= 0);
        QVERIFY(form_->btn3->isEnabled());

        // A literal is replaced without a question.
        TryReplace(QStringLiteral("Hello, world"), QStringLiteral("Hallo"));
        QVERIFY(RowOf(QStringLiteral("Hallo")) >= 0);
        form_->btn3Click();
        QVERIFY(ReadFile(path_).value().contains("Hallo"));
    }
};

QTEST_MAIN(RolesInWindowTest)
#include "test_roles_in_window.moc"
