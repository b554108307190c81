// translation_open_bench [JAR] [RUNS]: how the translation window copes with a big program
// (guava.jar by default). Measures, on the same machine and in the same run:
//  - `unzip -p JAR > /dev/null`, the floor for reading every class;
//  - the window opening JAR until its table is filled and painted (worker thread included);
//  - each keystroke in the search box, filter and repaint included;
//  - the memory the opened program takes (resident set growth) against the jar's size.
// Run offscreen: QT_QPA_PLATFORM=offscreen build/bench/translation_open_bench

#include "Dialogs.h"
#include "TranslationModel.h"
#include "TranslationWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTableView>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

// Any dialog during the benchmark is a failure to report, not something to wait for.
class NoDialogs : public Dialogs {
public:
    Answer Ask(QWidget*, const QString& text, const QString&, Answer) override { return Fail(text, Answer::No); }
    Answer AskYesNo(QWidget*, const QString& text, const QString&, Answer) override { return Fail(text, Answer::No); }
    void ShowError(QWidget*, const QString& text, const QString&) override { Fail(text, Answer::Ok); }
    void ShowStop(QWidget*, const QString& text, const QString&) override { Fail(text, Answer::Ok); }
    std::optional<QString> OpenFile(QWidget*, FileDialogSpec&) override { return std::nullopt; }
    std::optional<QString> SaveFile(QWidget*, FileDialogSpec&) override { return std::nullopt; }
    void ShowModal(QDialog*) override {}
    bool failed = false;

private:
    Answer Fail(const QString& text, Answer answer)
    {
        std::fprintf(stderr, "unexpected dialog: %s\n", qPrintable(text));
        failed = true;
        return answer;
    }
};

// Resident and peak resident set sizes in KiB.
struct Memory {
    long rss = 0;
    long peak = 0;
};

Memory ReadMemory()
{
    Memory memory;
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        long value = 0;
        if (std::sscanf(line.c_str(), "VmRSS: %ld", &value) == 1)
            memory.rss = value;
        else if (std::sscanf(line.c_str(), "VmHWM: %ld", &value) == 1)
            memory.peak = value;
    }
    return memory;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double UnzipMs(const QString& jar)
{
    QElapsedTimer timer;
    timer.start();
    QProcess unzip;
    unzip.setStandardOutputFile(QProcess::nullDevice());
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), jar});
    unzip.waitForFinished(-1);
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

void Settle()
{
    QApplication::processEvents();
    QApplication::processEvents();
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // The window lists each program opened among the recent ones: not in the user's settings.
    QStandardPaths::setTestModeEnabled(true);
    const QString jar = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/usr/share/java/guava.jar");
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const double jarKiB = static_cast<double>(QFileInfo(jar).size()) / 1024.0;
    NoDialogs dialogs;

    std::vector<double> unzip;
    std::vector<double> open;
    long rssGrowth = 0;
    long peakGrowth = 0;
    int rows = 0;
    std::vector<double> keys;
    for (int run = 0; run < runs; ++run) {
        unzip.push_back(UnzipMs(jar));

        auto* window = new TranslationWindow(dialogs);
        window->show();
        Settle();
        const Memory before = ReadMemory();
        QElapsedTimer timer;
        timer.start();
        window->Open(jar);
        while (window->Busy())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        window->table->viewport()->repaint();  // a usable table is a painted one
        open.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        Settle();
        const Memory after = ReadMemory();
        rows = window->Model()->rowCount();
        if (run == 0) {
            rssGrowth = after.rss - before.rss;
            peakGrowth = after.peak - before.rss;

            // Type a word into the search box and take it back again, one key at a time.
            auto press = [&](int key, const QString& text) {
                QElapsedTimer keyTimer;
                keyTimer.start();
                QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, text);
                QApplication::sendEvent(window->searchBox, &down);
                QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, text);
                QApplication::sendEvent(window->searchBox, &up);
                window->table->viewport()->repaint();
                keys.push_back(static_cast<double>(keyTimer.nsecsElapsed()) / 1e6);
            };
            window->searchBox->setFocus();
            const QString word = QStringLiteral("argument");
            for (const QChar c : word)
                press(Qt::Key_A + (c.toLower().unicode() - 'a'), QString(c));
            std::printf("rows shown for \"%s\": %d of %d\n", qPrintable(word), window->table->model()->rowCount(),
                        rows);
            for (qsizetype i = 0; i < word.size(); ++i)
                press(Qt::Key_Backspace, QString());
        }
        delete window;
        Settle();
    }

    const double unzipMs = Median(unzip);
    const double openMs = Median(open);
    std::printf("program: %s (%.0f KiB), %d texts\n", qPrintable(jar), jarKiB, rows);
    std::printf("unzip -p > /dev/null: median %.1f ms over %d runs\n", unzipMs, runs);
    std::printf("open to a painted table: median %.1f ms (%.2f x unzip), min %.1f ms\n", openMs, openMs / unzipMs,
                *std::min_element(open.begin(), open.end()));
    std::printf("search keystrokes: %zu, median %.2f ms, max %.2f ms\n", keys.size(), Median(keys),
                *std::max_element(keys.begin(), keys.end()));
    std::printf("each keystroke (ms):");
    for (const double ms : keys)
        std::printf(" %.1f", ms);
    std::printf("\n");
    std::printf("memory: resident growth %ld KiB (%.2f x jar), peak over the start %ld KiB (%.2f x jar)\n",
                rssGrowth, static_cast<double>(rssGrowth) / jarKiB, peakGrowth,
                static_cast<double>(peakGrowth) / jarKiB);
    return dialogs.failed ? 1 : 0;
}
