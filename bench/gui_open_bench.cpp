// gui_open_bench: times the main window with a language pack of 32 MiB and about a million
// strings: opening (backup, read, scan, list), the first paint, selecting a row far down,
// typing into the replacement box, replacing and saving. Prints one line per step.
// Runs offscreen unless QT_QPA_PLATFORM says otherwise. Usage: gui_open_bench [folder]

#include "BenchDialogs.h"
#include "Main.h"
#include "StringListModel.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Strings of 20 to 40 bytes, ASCII and Chinese mixed, each after a zero byte and a length.
QByteArray MakePack(qsizetype targetSize, int* strings)
{
    static const QByteArray words[] = {
        "Open file", "Save changes", "\xE6\x96\x87\xE5\xAD\x97", "\xE4\xBD\xA0\xE5\xA5\xBD", "Cancel",
        "Settings",  "Help"};
    QByteArray pack;
    pack.reserve(targetSize + 64);
    int count = 0;
    unsigned seed = 12345;
    while (pack.size() < targetSize - 64) {
        QByteArray text;
        seed = seed * 1103515245u + 12345u;
        const int wanted = 20 + static_cast<int>((seed >> 16) % 21);
        while (text.size() < wanted)
            text += words[(seed >> 8) % 7] + ' ', seed = seed * 1103515245u + 12345u;
        text.truncate(wanted);
        while (!text.isEmpty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80)
            text.chop(1);  // keep the UTF-8 whole
        while (!text.isEmpty() && static_cast<unsigned char>(text.back()) >= 0xC0)
            text.chop(1);
        pack.append('\x00').append(static_cast<char>(text.size())).append(text);
        ++count;
    }
    pack.append("END");
    *strings = count;
    return pack;
}

// A figure of /proc/self/status in MiB (0 where there is none).
double MemoryMiB(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(static_cast<qsizetype>(std::strlen(field))).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

double Ms(QElapsedTimer& timer)
{
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    timer.restart();
    return ms;
}

}  // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QTemporaryDir temp;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temp.path();
    int strings = 0;
    const QByteArray pack = MakePack(32 * 1024 * 1024, &strings);
    const QString path = QDir(folder).filePath(QStringLiteral("bench.pack"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(pack) != pack.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    std::printf("language pack: %.1f MiB, %d strings\n", pack.size() / 1048576.0, strings);

    BenchDialogs dialogs;
    dialogs.file = path;
    const std::unique_ptr<TForm1> window = TForm1::Create(dialogs, folder);
    if (!window)
        return 1;
    TForm1& form = *window;
    form.show();
    QApplication::processEvents();

    const double residentBefore = MemoryMiB("VmRSS:");
    QElapsedTimer timer;
    timer.start();
    form.btn4Click();
    const double open = Ms(timer);
    form.lv1->viewport()->repaint();
    QApplication::processEvents();
    const double paint = Ms(timer);
    std::printf("open (backup, read, scan, list): %8.1f ms, rows listed: %d\n", open, form.Model()->rowCount());
    std::printf("first paint of the list:         %8.1f ms\n", paint);
    std::printf("open to usable:                  %8.1f ms\n", open + paint);

    const int middle = form.Model()->rowCount() / 2;
    timer.restart();
    form.lv1->selectRow(middle);
    form.lv1->scrollTo(form.Model()->index(middle, 0));
    form.lv1->viewport()->repaint();
    QApplication::processEvents();
    std::printf("select row %d and scroll to it: %8.1f ms\n", middle, Ms(timer));

    timer.restart();
    const int keys = 50;
    for (int i = 0; i < keys; ++i) {
        form.mmo1->insertPlainText(QStringLiteral("译"));
        form.lbl2->repaint();
    }
    std::printf("typing, per key (with counter):  %8.3f ms\n", Ms(timer) / keys);

    form.mmo1->setPlainText(QStringLiteral("替换后的文字"));
    timer.restart();
    form.btn1Click();
    form.lv1->viewport()->repaint();
    std::printf("replace in the middle:           %8.1f ms\n", Ms(timer));

    timer.restart();
    form.btn3Click();
    std::printf("save (backup, write, flush):     %8.1f ms\n", Ms(timer));

    timer.restart();
    form.lv1->scrollToBottom();
    form.lv1->viewport()->repaint();
    std::printf("scroll to the last row:          %8.1f ms\n", Ms(timer));
    const double peakGrowth = MemoryMiB("VmHWM:") - residentBefore;
    std::printf("peak memory from opening on:     %8.1f MiB = %.2f x the file\n", peakGrowth,
                peakGrowth / (pack.size() / 1048576.0));
    return 0;
}
