// window_child: classlingo's translation window as its own process, for tests that end it with a
// real signal. It starts as the program does (QuitOnSignals, the application's names), opens a
// program, gives one text a translation without saving it and, when asked, starts a run with a
// given java; then it writes READY (the run's folder, and what the run pane shows) and waits in
// its event loop until a signal ends it. Its exit status is the event loop's.
//
//   window_child PROGRAM SOURCE TRANSLATION READY [JAVA_FOLDER]
//
// Every dialog is answered as cancelled (there is nobody to answer); QT_QPA_PLATFORM=offscreen.

#include "QuitOnSignal.h"
#include "RunPane.h"
#include "ScriptedDialogs.h"
#include "TranslationModel.h"
#include "TranslationWindow.h"

#include <QApplication>
#include <QFile>
#include <QSaveFile>
#include <QTest>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("classlingo-tests"));
    QCoreApplication::setApplicationName(QStringLiteral("window_child"));
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 5) {
        std::fprintf(stderr, "usage: window_child PROGRAM SOURCE TRANSLATION READY [JAVA_FOLDER]\n");
        return 2;
    }
    if (!QuitOnSignals()) {
        std::fprintf(stderr, "window_child: the signal handlers could not be installed\n");
        return 2;
    }
    ScriptedDialogs dialogs;
    TranslationWindow window(dialogs);
    window.show();
    window.Open(arguments.at(1));
    if (!QTest::qWaitFor([&] { return !window.Busy(); }, 60000) || !window.IsOpen()) {
        std::fprintf(stderr, "window_child: the program did not open\n");
        return 2;
    }
    int row = -1;
    for (int r = 0; r < window.Model()->rowCount(); ++r)
        if (window.Model()->Source(r) == arguments.at(2))
            row = r;
    if (row < 0) {
        std::fprintf(stderr, "window_child: no such text\n");
        return 2;
    }
    window.Model()->SetTranslation(row, arguments.at(3));
    QString ready = QStringLiteral("folder\t") + window.RunFolder();
    if (arguments.size() > 5) {
        window.runEnvironment = {arguments.at(5), QString()};
        window.Run();
        // Running once the program has said what it started.
        if (!QTest::qWaitFor([&] { return window.Running() && window.runPane->Text().contains(QStringLiteral("pids ")); },
                             60000)) {
            std::fprintf(stderr, "window_child: the run did not start: %s\n", qPrintable(window.runPane->Text()));
            return 2;
        }
        ready = QStringLiteral("folder\t") + window.RunFolder() + QStringLiteral("\n") + window.runPane->Text();
    }
    QSaveFile file(arguments.at(4));
    if (!file.open(QIODevice::WriteOnly) || file.write(ready.toUtf8()) < 0 || !file.commit()) {
        std::fprintf(stderr, "window_child: READY could not be written\n");
        return 2;
    }
    return QApplication::exec();
}
