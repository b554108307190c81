// The real dialogs behind the Dialogs seam: message boxes with the right icon, buttons and
// default, and Qt's file dialogs accepting names of files that do not exist, asking nothing
// before overwriting, adding the default suffix and remembering the choice. Each dialog is
// answered while it runs modally.

#include "QtDialogs.h"
#include "TestFiles.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

// Runs `act` on the modal dialog as soon as one is shown.
void WhenModal(std::function<void(QWidget*)> act)
{
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            act(modal);
        }
    });
    timer->start();
}

// Types `name` into a Qt file dialog and accepts it. Waits first, as a user would, for the
// dialog to list its folder: until then it may still put the preset name back.
void TypeAndAccept(QWidget* modal, const QString& name)
{
    QTest::qWait(150);
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    QVERIFY(dialog != nullptr);
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    QVERIFY(edit != nullptr);
    edit->setText(name);
    QMetaObject::invokeMethod(dialog, "accept");
}

}  // namespace

class QtDialogsTest : public QObject {
    Q_OBJECT

private:
    QtDialogs dialogs_;

private slots:
    void questionHasYesNoCancelAndTheDefault()
    {
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString text, title;
        QMessageBox::StandardButtons buttons;
        QPushButton* defaultButton = nullptr;
        WhenModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box != nullptr);
            icon = box->icon();
            text = box->text();
            title = box->windowTitle();
            buttons = box->standardButtons();
            defaultButton = box->defaultButton();
            QVERIFY(defaultButton != nullptr);
            QCOMPARE(box->standardButton(defaultButton), QMessageBox::Yes);
            box->button(QMessageBox::No)->click();
        });
        const auto answer = dialogs_.Ask(nullptr, QStringLiteral("数据已修改，是否保存?"), QStringLiteral("保存？"),
                                         Dialogs::Answer::Yes);
        QCOMPARE(answer, Dialogs::Answer::No);
        QCOMPARE(icon, QMessageBox::Question);
        QCOMPARE(text, QStringLiteral("数据已修改，是否保存?"));
        QCOMPARE(title, QStringLiteral("保存？"));
        QCOMPARE(buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);

        // Escape is Cancel; Enter takes the default, whichever it is.
        WhenModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
        QCOMPARE(dialogs_.Ask(nullptr, "q", "c", Dialogs::Answer::Yes), Dialogs::Answer::Cancel);
        WhenModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Return); });
        QCOMPARE(dialogs_.Ask(nullptr, "q", "c", Dialogs::Answer::No), Dialogs::Answer::No);
        WhenModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Return); });
        QCOMPARE(dialogs_.Ask(nullptr, "q", "c", Dialogs::Answer::Yes), Dialogs::Answer::Yes);
    }

    void errorAndStopBoxesHaveTheErrorIconAndOk()
    {
        for (bool stop : {false, true}) {
            QMessageBox::Icon icon = QMessageBox::NoIcon;
            QMessageBox::StandardButtons buttons;
            QString text, title;
            WhenModal([&](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                QVERIFY(box != nullptr);
                icon = box->icon();
                buttons = box->standardButtons();
                text = box->text();
                title = box->windowTitle();
                box->button(QMessageBox::Ok)->click();
            });
            if (stop)
                dialogs_.ShowStop(nullptr, QStringLiteral("Range check error."), QStringLiteral("Classlingo"));
            else
                dialogs_.ShowError(nullptr, QStringLiteral("无法打开此文件!"), QStringLiteral("错误"));
            QCOMPARE(icon, QMessageBox::Critical);
            QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
            QCOMPARE(text, stop ? QStringLiteral("Range check error.") : QStringLiteral("无法打开此文件!"));
            QCOMPARE(title, stop ? QStringLiteral("Classlingo") : QStringLiteral("错误"));
        }
    }

    void openDialogAcceptsAMissingFileAndRemembersIt()
    {
        QTemporaryDir dir;
        FileDialogSpec options;
        options.filter = QStringLiteral("*.class (*.class);;*.* (*)");
        options.defaultSuffix = QStringLiteral("class");
        options.fileName = dir.filePath(QStringLiteral("Start.class"));

        QStringList filters;
        QString startFolder;
        bool native = true;
        QFileDialog::FileMode mode = QFileDialog::ExistingFile;
        WhenModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog != nullptr);
            filters = dialog->nameFilters();
            startFolder = dialog->directory().absolutePath();
            native = !dialog->testOption(QFileDialog::DontUseNativeDialog);
            mode = dialog->fileMode();
            TypeAndAccept(modal, QStringLiteral("Missing"));
        });
        const auto chosen = dialogs_.OpenFile(nullptr, options);
        QVERIFY(!native);
        QCOMPARE(mode, QFileDialog::AnyFile);
        QCOMPARE(filters, (QStringList{"*.class (*.class)", "*.* (*)"}));
        QCOMPARE(startFolder, QDir(dir.path()).absolutePath());
        QVERIFY(chosen.has_value());
        QCOMPARE(*chosen, QDir(dir.path()).absoluteFilePath(QStringLiteral("Missing.class")));
        QCOMPARE(options.fileName, *chosen);
        QCOMPARE(options.selectedFilter, QStringLiteral("*.class (*.class)"));

        // The next showing starts with the filter chosen last; cancelling changes nothing.
        options.selectedFilter = QStringLiteral("*.* (*)");
        QString shownFilter;
        WhenModal([&](QWidget* modal) {
            shownFilter = qobject_cast<QFileDialog*>(modal)->selectedNameFilter();
            qobject_cast<QDialog*>(modal)->reject();
        });
        QVERIFY(!dialogs_.OpenFile(nullptr, options).has_value());
        QCOMPARE(shownFilter, QStringLiteral("*.*"));
        QCOMPARE(options.fileName, *chosen);
        QCOMPARE(options.selectedFilter, QStringLiteral("*.* (*)"));
    }

    void saveDialogOverwritesWithoutAskingAndAddsTheSuffix()
    {
        QTemporaryDir dir;
        const QString existing = dir.filePath(QStringLiteral("list.txt"));
        QVERIFY(testfiles::WriteFile(existing, "old"));
        FileDialogSpec options;
        options.filter = QStringLiteral("*.txt (*.txt);;*.* (*)");
        options.defaultSuffix = QStringLiteral("txt");
        options.fileName = dir.filePath(QStringLiteral("A.class.txt"));

        bool confirms = true;
        QString preset;
        WhenModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog != nullptr);
            confirms = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
            preset = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
            TypeAndAccept(modal, QStringLiteral("list.txt"));  // an existing file: no question comes
        });
        const auto chosen = dialogs_.SaveFile(nullptr, options);
        QVERIFY(!confirms);
        QCOMPARE(preset, QStringLiteral("A.class.txt"));
        QCOMPARE(chosen.value_or(QString()), QDir(dir.path()).absoluteFilePath(QStringLiteral("list.txt")));

        WhenModal([](QWidget* modal) { TypeAndAccept(modal, QStringLiteral("export")); });
        QCOMPARE(dialogs_.SaveFile(nullptr, options).value_or(QString()),
                 QDir(dir.path()).absoluteFilePath(QStringLiteral("export.txt")));
    }

    void modalWindowReturnsWhenClosed()
    {
        QDialog window;
        WhenModal([&](QWidget* modal) {
            QCOMPARE(modal, &window);
            window.close();
        });
        dialogs_.ShowModal(&window);
        QVERIFY(!window.isVisible());
    }
};

QTEST_MAIN(QtDialogsTest)
#include "test_qt_dialogs.moc"
