// classlingo: start-up. Builds the main window (which loads Filter.ini from the executable's
// folder) and the hidden manifest editor, then runs the event loop until the main window is
// closed or SIGTERM, SIGINT or SIGHUP arrives. An error while the windows are built is shown
// and the program ends with status 1.

#include "ErrorDisplay.h"
#include "Main.h"
#include "Modmanifest.h"
#include "QtDialogs.h"
#include "QuitOnSignal.h"
#include "WindowFont.h"

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // Where QSettings keeps what the windows remember between runs.
    QCoreApplication::setOrganizationName(QStringLiteral("classlingo"));
    QCoreApplication::setApplicationName(QStringLiteral("classlingo"));
    // Lets a Wayland desktop find the menu entry, and with it the icon, for the windows.
    QGuiApplication::setDesktopFileName(QStringLiteral("classlingo"));
    QuitOnSignals();
    RegisterSongTiSubstitutes();
    // The program speaks Chinese, so Qt's own texts (message box buttons, file dialogs) do too.
    QTranslator qtTexts;
    if (qtTexts.load(QStringLiteral("qt_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtTexts);
    QtDialogs dialogs;

    std::unique_ptr<TForm1> form1;
    std::unique_ptr<TForm2> form2;
    try {
        // An unreadable word list has been shown by the time this gives nothing.
        form1 = TForm1::Create(dialogs, QDir::toNativeSeparators(QCoreApplication::applicationDirPath()));
        if (!form1)
            return 1;
        form2 = std::make_unique<TForm2>(dialogs, form1->dlgOpen3);
        form1->SetManifestEditor(form2.get());
    } catch (...) {
        ShowTopLevelError(dialogs, nullptr, ErrorText(std::current_exception()));
        return 1;
    }
    form1->show();
    // classlingo PATH: the program opens in a translation window straight away.
    if (const QStringList arguments = QCoreApplication::arguments(); arguments.size() > 1)
        form1->OpenProgram(arguments.at(1));
    const int status = QApplication::exec();
    // The editor refers to the main window's dialog settings, so it goes first.
    form2.reset();
    form1.reset();
    return status;
}
