// The top-level error display: the "." rule, the program title used as caption, and what a
// guarded handler does with each kind of error; and the start-up error of an unreadable
// Filter.ini.

#include "text/ByteStringErrors.h"
#include "ErrorDisplay.h"
#include "scan/FilterList.h"
#include "Main.h"
#include "ScriptedDialogs.h"
#include "TestFiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <stdexcept>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

class ErrorDisplayTest : public QObject {
    Q_OBJECT

private slots:
    void fullStopIsAppendedAfterCharactersAboveIt_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("letter") << "Range check error"
                                << "Range check error.";
        QTest::newRow("digit") << "Error 42"
                               << "Error 42.";
        QTest::newRow("full stop") << "Done."
                                   << "Done.";
        QTest::newRow("exclamation") << "Stop!"
                                     << "Stop!";
        QTest::newRow("comma") << "a,"
                               << "a,";
        QTest::newRow("space") << "a "
                               << "a ";
        QTest::newRow("line break") << "a\n"
                                    << "a\n";
        QTest::newRow("hyphen, just below") << "a-"
                                            << "a-";
        QTest::newRow("slash, just above") << "a/"
                                           << "a/.";
        QTest::newRow("double-byte character") << QStringLiteral("无法打开") << QStringLiteral("无法打开.");
        QTest::newRow("path") << "Cannot open file /opt/x/Filter.ini"
                              << "Cannot open file /opt/x/Filter.ini.";
    }

    void fullStopIsAppendedAfterCharactersAboveIt()
    {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(ErrorDisplayText(message), shown);
    }

    void captionIsTheExecutableNameWithLaterLettersLowered()
    {
        QCOMPARE(ProgramTitleFrom(QStringLiteral("/usr/local/bin/classlingo")), QStringLiteral("classlingo"));
        QCOMPARE(ProgramTitleFrom(QStringLiteral("C:/Tools/ClassLingo.exe")), QStringLiteral("Classlingo"));
        QCOMPARE(ProgramTitleFrom(QStringLiteral("/x/MY.TOOL.EXE")), QStringLiteral("My.tool"));
        QCOMPARE(ProgramTitleFrom(QStringLiteral("/opt/bin/zHUANHUAN")), QStringLiteral("zhuanhuan"));
        // The running executable's own name: the first letter as it is, so a lower-case name stays so.
        QCOMPARE(ProgramTitle(), QStringLiteral("test_error_display"));
    }

    void guardedHandlersShowWhatEscapes_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("shown");
        QTest::newRow("range error") << 0 << "Range check error.";
        QTest::newRow("engine out of memory") << 1 << "Out of memory.";
        QTest::newRow("failed allocation") << 2 << "Out of memory.";
        QTest::newRow("other standard exception") << 3 << QStringLiteral("坏了!");
        QTest::newRow("exception without text") << 4 << QString();
    }

    void guardedHandlersShowWhatEscapes()
    {
        QFETCH(int, kind);
        QFETCH(QString, shown);
        ScriptedDialogs dialogs;
        dialogs.ExpectStop();
        QWidget owner;
        int reached = 0;
        Guarded(dialogs, &owner, [&] {
            reached = 1;
            switch (kind) {
                case 0: throw cl::RangeError();
                case 1: throw cl::OutOfMemory();
                case 2: throw std::bad_alloc();
                case 3: throw std::runtime_error("坏了!");
                default: throw 42;
            }
            reached = 2;
        });
        QCOMPARE(reached, 1);  // what ran before stays, the rest is skipped
        QVERIFY(dialogs.AllMet());
        QCOMPARE(dialogs.LastCall().kind, ScriptedDialogs::Kind::Stop);
        QCOMPARE(dialogs.LastCall().text, shown);
        QCOMPARE(dialogs.LastCall().caption, QStringLiteral("test_error_display"));
        QCOMPARE(dialogs.LastCall().owner, &owner);
    }

    void guardedHandlerWithoutErrorShowsNothing()
    {
        ScriptedDialogs dialogs;
        bool ran = false;
        Guarded(dialogs, nullptr, [&] { ran = true; });
        QVERIFY(ran);
        QVERIFY(dialogs.Calls().isEmpty());
    }

    void unreadableFilterListFailsTheMainWindow()
    {
        // A socket exists but cannot be opened as a file, whoever runs the test.
        QTemporaryDir dir;
        const QString filter = dir.filePath(QStringLiteral("Filter.ini"));
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        QVERIFY(fd >= 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray native = QFile::encodeName(filter);
        QVERIFY(native.size() < qsizetype(sizeof(address.sun_path)));
        std::memcpy(address.sun_path, native.constData(), static_cast<size_t>(native.size()));
        QCOMPARE(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);

        ScriptedDialogs dialogs;
        dialogs.ExpectStop();
        const std::unique_ptr<TForm1> form = TForm1::Create(dialogs, dir.path());
        ::close(fd);
        QVERIFY(form == nullptr);
        QVERIFY(dialogs.AllMet());
        QCOMPARE(dialogs.LastCall().kind, ScriptedDialogs::Kind::Stop);
        QCOMPARE(dialogs.LastCall().text, QStringLiteral("Cannot open file ") + filter + u'.');
        QCOMPARE(dialogs.LastCall().caption, QStringLiteral("test_error_display"));
    }

    void missingFilterListLeavesTheListEmpty()
    {
        QTemporaryDir dir;
        ScriptedDialogs dialogs;
        const std::unique_ptr<TForm1> form = TForm1::Create(dialogs, dir.path());
        QVERIFY(form != nullptr);
        QVERIFY(form->Filter().empty());
        QVERIFY(dialogs.Calls().isEmpty());
    }
};

QTEST_MAIN(ErrorDisplayTest)
#include "test_error_display.moc"
