// How the main window looks: places and sizes, what follows the window's edges when it is
// resized, the list's columns, texts that must fit their controls, the row colours as drawn,
// and the tab order. With CLASSLINGO_SCREENSHOT_DIR set it also saves pictures of the window
// (run it under a real display, e.g. xvfb, to look at them).

#include "Main.h"
#include "ScriptedDialogs.h"
#include "StringListModel.h"
#include "Java.h"
#include "TestFiles.h"
#include "WindowSession.h"

#include <QDir>
#include <QFontInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <memory>

using testfiles::Utf8Entry;

class WindowLayoutTest : public QObject {
    Q_OBJECT

private:
    WindowSession session_;

    TForm1& Form() { return session_.Form(); }
    ScriptedDialogs& Dialogs() { return session_.Dialogs(); }

    void OpenFixture()
    {
        QByteArray bytes("\xCA\xFE\xBA\xBE\x00\x00\x00\x34", 8);
        for (const char* text : {"Hello", "Open the file", "Suspicious", "Save", "\xE6\x96\x87\xE5\xAD\x97"})
            bytes += Utf8Entry(text);
        bytes += QByteArray("\x00\x00", 2);
        const QString path = session_.Path(QStringLiteral("Look.class"));
        QVERIFY(testfiles::WriteFile(path, bytes));
        Dialogs().ExpectOpen(path);
        Form().btn2Click();
        QCOMPARE(Form().Model()->rowCount(), 5);
    }

    static int ColumnSum(const QTableView* view)
    {
        const QHeaderView* header = view->horizontalHeader();
        return header->sectionSize(0) + header->sectionSize(1) + header->sectionSize(2) + header->sectionSize(3);
    }

    void SaveShot(const QString& name, QWidget* widget)
    {
        const QString folder = qEnvironmentVariable("CLASSLINGO_SCREENSHOT_DIR");
        if (folder.isEmpty())
            return;
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(widget->grab().save(QDir(folder).filePath(name)));
    }

private slots:
    void init() { QVERIFY(session_.Start("Suspicious\n")); }

    void cleanup()
    {
        const QString problems = session_.Finish();
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
    }

    void controlsSitWhereTheyWereDesigned()
    {
        QCOMPARE(Form().size(), QSize(582, 506));
        QCOMPARE(Form().minimumHeight(), 506);
        QVERIFY(!(Form().windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(Form().windowFlags() & Qt::WindowMinimizeButtonHint);

        QCOMPARE(Form().pnl1->geometry(), QRect(0, 0, 428, 451));
        QVERIFY(Form().pnl1->geometry().contains(Form().lv1->geometry().translated(Form().pnl1->pos())));
        QCOMPARE(Form().pnl2->geometry(), QRect(0, 451, 582, 55));
        QCOMPARE(Form().mmo1->geometry(), QRect(0, 2, 429, 49));
        QCOMPARE(Form().lbl2->pos(), QPoint(432, 18));
        QCOMPARE(Form().btn1->geometry(), QRect(462, 11, 89, 25));
        QCOMPARE(Form().lbl1->pos(), QPoint(440, 24));
        QCOMPARE(Form().grp1->geometry(), QRect(440, 203, 129, 89));
        QCOMPARE(Form().grp2->geometry(), QRect(440, 299, 129, 150));
        QCOMPARE(Form().edt2->geometry(), QRect(40, 16, 73, 20));
        QCOMPARE(Form().btn5->geometry(), QRect(40, 40, 38, 17));
        QCOMPARE(Form().btn6->geometry(), QRect(78, 40, 35, 17));
        QCOMPARE(Form().edt3->geometry(), QRect(40, 64, 73, 20));
        int y = 16;
        for (QPushButton* button : {Form().btn2, Form().btn4, Form().btn7, Form().btn8, Form().btn3}) {
            QCOMPARE(button->geometry(), QRect(22, y, 89, 25));
            y += 26;
        }
        QCOMPARE(Form().font().pixelSize(), 12);
    }

    void resizingWidensTheListAndKeepsTheRightHandSide()
    {
        Form().resize(800, 650);
        QTRY_COMPARE(Form().size(), QSize(800, 650));
        QCOMPARE(Form().pnl1->geometry(), QRect(0, 0, 646, 595));
        QCOMPARE(Form().pnl2->geometry(), QRect(0, 595, 800, 55));
        QCOMPARE(Form().mmo1->geometry(), QRect(0, 2, 647, 49));
        QCOMPARE(Form().lbl2->pos(), QPoint(650, 18));
        QCOMPARE(Form().btn1->geometry(), QRect(680, 11, 89, 25));
        QCOMPARE(Form().lbl1->pos(), QPoint(658, 24));  // keeps to the top
        QCOMPARE(Form().grp1->geometry(), QRect(658, 347, 129, 89));
        QCOMPARE(Form().grp2->geometry(), QRect(658, 443, 129, 150));
    }

    void firstColumnTakesWhatTheOthersLeave()
    {
        const QHeaderView* header = Form().lv1->horizontalHeader();
        const int viewport = Form().lv1->viewport()->width();
        QCOMPARE(header->sectionSize(1), 90);
        QCOMPARE(header->sectionSize(2), 0);
        QCOMPARE(ColumnSum(Form().lv1), viewport);

        Form().resize(900, 600);
        QTRY_COMPARE(Form().lv1->viewport()->width(), viewport + 318);
        QCOMPARE(ColumnSum(Form().lv1), viewport + 318);
        QCOMPARE(header->sectionSize(1), 90);

        // The status column can be opened like any other column, and it shows the status.
        Form().lv1->horizontalHeader()->resizeSection(2, 40);
        QCOMPARE(header->sectionSize(2), 40);
        QCOMPARE(ColumnSum(Form().lv1), viewport + 318);
        QCOMPARE(header->sectionResizeMode(2), QHeaderView::Interactive);
    }

    void statusColumnIsDraggedOpenByItsDivider()
    {
        QHeaderView* header = Form().lv1->horizontalHeader();
        const int total = ColumnSum(Form().lv1);
        const int right = header->sectionViewportPosition(2);  // where the closed column sits
        QCOMPARE(right, header->viewport()->width() - header->sectionSize(3));  // before the type column
        const int y = header->height() / 2;
        QTest::mousePress(header->viewport(), Qt::LeftButton, {}, QPoint(right - 1, y));
        QTest::mouseMove(header->viewport(), QPoint(right - 21, y));
        QTest::mouseMove(header->viewport(), QPoint(right - 41, y));
        QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, QPoint(right - 41, y));
        QVERIFY2(std::abs(header->sectionSize(2) - 40) <= 1, qPrintable(QString::number(header->sectionSize(2))));
        QCOMPARE(header->sectionSize(1), 90);
        QCOMPARE(ColumnSum(Form().lv1), total);

        // Once open it is an ordinary column: its left divider (the length column's) narrows the
        // length column, and it can be dragged shut again.
        const int open = header->sectionViewportPosition(2);
        QTest::mousePress(header->viewport(), Qt::LeftButton, {}, QPoint(open - 1, y));
        QTest::mouseMove(header->viewport(), QPoint(open - 11, y));
        QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, QPoint(open - 11, y));
        QCOMPARE(header->sectionSize(1), 80);
    }

    void textsFitTheirControls()
    {
        // The window font must have Chinese glyphs, or every Chinese text shows as boxes.
        QVERIFY(QFontMetrics(Form().font()).inFont(QChar(0x6C49)));
        for (QPushButton* button : Form().findChildren<QPushButton*>()) {
            const int needed = button->fontMetrics().horizontalAdvance(button->text()) + 4;
            QVERIFY2(needed <= button->width(), qPrintable(button->objectName()));
        }
        for (QGroupBox* group : {Form().grp1, Form().grp2})
            QVERIFY2(group->fontMetrics().horizontalAdvance(group->title()) + 16 <= group->width(),
                     qPrintable(group->objectName()));
        // The about text stays inside the window and above the converter.
        const QRect about = Form().lbl1->geometry();
        QVERIFY2(about.right() < Form().width(), qPrintable(QString::number(about.right())));
        QVERIFY(about.bottom() < Form().grp1->y());
        // Labels inside the converter end before the edit boxes.
        QVERIFY(Form().lbl3->geometry().right() < Form().edt2->x());
        QVERIFY(Form().lbl4->geometry().right() < Form().edt3->x());
        // A three-digit byte count fits between the replacement box and Replace.
        Form().mmo1->setPlainText(QString(85, QChar(0x4E2D)));
        QCOMPARE(Form().lbl2->text(), QStringLiteral("255"));
        QVERIFY(Form().lbl2->geometry().right() < Form().btn1->x());
        // The header's texts fit their columns.
        const QHeaderView* header = Form().lv1->horizontalHeader();
        QVERIFY(header->fontMetrics().horizontalAdvance(QStringLiteral("长度（字节）")) + 8 <= header->sectionSize(1));
    }

    void rowsAreDrawnInTheirColours()
    {
        OpenFixture();
        QTableView* lv1 = Form().lv1;
        lv1->selectRow(0);
        Form().mmo1->setFocus();
        QApplication::processEvents();
        QVERIFY(!lv1->hasFocus());
        const QImage image = lv1->viewport()->grab().toImage();
        const qreal ratio = image.devicePixelRatio();
        auto count = [&](int row, auto&& predicate) {
            const QRect rect = lv1->visualRect(Form().Model()->index(row, 0));
            int hits = 0;
            for (int y = rect.top(); y <= rect.bottom(); ++y)
                for (int x = rect.left(); x <= rect.right(); ++x)
                    if (predicate(image.pixelColor(QPoint(int(x * ratio), int(y * ratio)))))
                        ++hits;
            return hits;
        };
        const QColor highlight = lv1->palette().color(QPalette::Active, QPalette::Highlight);
        auto isRed = [](const QColor& c) { return c.red() > 200 && c.green() < 80 && c.blue() < 80; };
        auto isHighlight = [&](const QColor& c) { return c == highlight; };
        auto isWhite = [](const QColor& c) { return c.red() > 240 && c.green() > 240 && c.blue() > 240; };
        const int suspicious = 4;  // listed after the plain rows
        QCOMPARE(Form().Model()->index(suspicious, 0).data().toString(), QStringLiteral("Suspicious"));
        QVERIFY(count(suspicious, isRed) > 10);
        QCOMPARE(count(1, isRed), 0);
        // The selected row: highlight background with white text, also without the focus.
        QVERIFY(count(0, isHighlight) > 100);
        QVERIFY(count(0, isWhite) > 5);

        // A selected suspicious row is white on the highlight, not red.
        lv1->selectRow(suspicious);
        QApplication::processEvents();
        const QImage selected = lv1->viewport()->grab().toImage();
        const QRect rect = lv1->visualRect(Form().Model()->index(suspicious, 0));
        int red = 0;
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x <= rect.right(); ++x)
                if (isRed(selected.pixelColor(QPoint(int(x * ratio), int(y * ratio)))))
                    ++red;
        QCOMPARE(red, 0);
    }

    void tabOrderFollowsTheGroups()
    {
        QList<QWidget*> chain;
        QWidget* widget = Form().lv1;
        for (int i = 0; i < 300 && chain.size() < 12; ++i) {
            if (widget->focusPolicy() & Qt::TabFocus)
                chain << widget;
            widget = widget->nextInFocusChain();
        }
        const QList<QWidget*> expected{Form().lv1,  Form().mmo1, Form().btn1, Form().edt2, Form().btn5, Form().btn6,
                                       Form().edt3, Form().btn2, Form().btn4, Form().btn3, Form().btn7, Form().btn8};
        QCOMPARE(chain, expected);
    }

    void screenshots()
    {
        if (qEnvironmentVariableIsEmpty("CLASSLINGO_SCREENSHOT_DIR"))
            QSKIP("set CLASSLINGO_SCREENSHOT_DIR to save pictures of the window");
        SaveShot(QStringLiteral("main-empty.png"), &Form());
        OpenFixture();
        Form().lv1->selectRow(1);
        Form().lv1->horizontalHeader()->resizeSection(2, 30);
        Form().edt2->setText(QStringLiteral("文字"));
        Form().btn5Click();
        QApplication::processEvents();
        SaveShot(QStringLiteral("main-open.png"), &Form());
        Form().resize(760, 600);
        QApplication::processEvents();
        SaveShot(QStringLiteral("main-wide.png"), &Form());

        // A real class: the type column, grey rows, and a counter warning about Korean text.
        CLTEST_QT_REQUIRE_TOOL("javac", cltest::JavacPath());
        const std::string compiled = cltest::CompileJava(
            testfiles::Native(session_.Folder()), "Menu",
            std::string("public class Menu {\n"
                        "    static int count;\n"
                        "    public static void main(String[] args) {\n"
                        "        switch (args.length > 0 ? args[0] : \"open\") {\n"
                        "            case \"open\": System.out.println(\"Opening the file\"); break;\n"
                        "            default: System.out.println(\"Unknown command\\r\\nTry again\");\n"
                        "        }\n"
                        "        System.out.println(\"count\");\n"
                        "    }\n"
                        "}\n"));
        QVERIFY2(compiled.empty(), compiled.c_str());
        const QString menu = session_.Path(QStringLiteral("Menu.class"));
        Dialogs().ExpectOpen(menu);
        Form().btn2Click();
        Form().resize(760, 600);
        for (int row = 0; row < Form().Model()->rowCount(); ++row) {
            if (Form().Model()->index(row, 0).data().toString().startsWith(QStringLiteral("Unknown")))
                Form().lv1->selectRow(row);
        }
        QApplication::processEvents();
        SaveShot(QStringLiteral("main-roles.png"), &Form());
        Form().mmo1->setPlainText(QStringLiteral("알 수 없는 명령"));
        QApplication::processEvents();
        SaveShot(QStringLiteral("main-korean.png"), &Form());
    }
};

QTEST_MAIN(WindowLayoutTest)
#include "test_window_layout.moc"
