// class_window_bench: what the class-file model adds to opening a class in the main window.
// Every class of a JAR (default /usr/share/java/guava.jar) is written to a scratch folder and
// opened with the window's "打开Class" button, up to the first paint of the list; the same
// bytes are then parsed, given roles and their rows looked up, as the open does. The model's
// share is that time against the rest of the open. Best of several rounds, one run.
// Usage: class_window_bench [JAR] [ROUNDS]

#include "BenchDialogs.h"
#include "files/FileOps.h"
#include "JarClasses.h"
#include "Main.h"
#include "scan/Scanner.h"
#include "classfile/ClassFile.h"
#include "classfile/Roles.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

double Ms(const QElapsedTimer& timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const char* jar = argc > 1 ? argv[1] : "/usr/share/java/guava.jar";
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const std::vector<bench::JarClass> classes = bench::ReadJarClasses(jar).value_or(std::vector<bench::JarClass>{});
    if (classes.empty()) {
        std::fprintf(stderr, "no classes read from %s\n", jar);
        return 1;
    }
    QTemporaryDir dir;
    std::vector<QString> paths;
    for (std::size_t i = 0; i < classes.size(); ++i) {
        paths.push_back(dir.filePath(QStringLiteral("C%1.class").arg(i)));
        std::ofstream(paths.back().toStdString(), std::ios::binary) << classes[i].bytes;
    }

    BenchDialogs dialogs;
    TForm1 form(dialogs, cl::FilterList());
    form.show();
    QApplication::processEvents();

    double bestOpen = 1e300;
    double bestModel = 1e300;
    for (int round = 0; round < rounds; ++round) {
        // The window's whole open: the button, the read, the scan, the model and the first paint.
        QElapsedTimer timer;
        timer.start();
        for (const QString& path : paths) {
            dialogs.file = path;
            form.btn2Click();
            form.lv1->viewport()->repaint();
        }
        bestOpen = std::min(bestOpen, Ms(timer));

        // The class-file model's part of it, on the same bytes and rows: only the parse, the
        // roles and the row lookup are timed.
        double model = 0;
        std::size_t rowsWithRoles = 0;
        for (const bench::JarClass& c : classes) {
            cl::FileImage image;
            image.bytes = cl::ByteString(std::string_view(c.bytes));
            image.loadedSize = image.bytes.ByteLength();
            cl::StringList rows;
            // A range error keeps the rows found before it, as in the window.
            (void)cl::ScanClassImage(image, {}, rows);
            timer.restart();
            const cl::classfile::ClassFile classFile = cl::classfile::ParseClassFile(image.bytes);
            if (classFile.parsed) {
                rowsWithRoles +=
                    cl::classfile::ScanRoleMap(classFile, cl::classfile::ComputeRoles(classFile)).RolesOfRows(rows).size();
            }
            model += Ms(timer);
        }
        bestModel = std::min(bestModel, model);
        if (round == 0)
            std::printf("%zu classes, %zu rows with roles\n", classes.size(), rowsWithRoles);
    }
    const double without = bestOpen - bestModel;
    std::printf("opening every class in the window: %.1f ms, of which the class-file model %.1f ms\n", bestOpen,
                bestModel);
    std::printf("the model adds %.1f%% to opening a class in the window (limit 25%%)\n", 100.0 * bestModel / without);
    return bestModel <= 0.25 * without ? 0 : 1;
}
