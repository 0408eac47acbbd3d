// Times the batch copy, move and rename of the window over generated files, beside cp and mv
// of the same files. Usage: batch-bench [file count] [bytes per file]
#include <cstdio>
#include <cstdlib>
#include <deque>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "app/MainWindow.h"

namespace {

// Answers every folder question from a queue and every message with OK.
class BenchDialogs : public Dialogs {
public:
    std::deque<QString> folders;
    int ShowMessage(const Text&, int, const Text&) override { return ButtonOk; }
    Text BrowseForFolder(const Text&) override {
        const QString f = folders.front();
        folders.pop_front();
        return TextFromQString(f);
    }
};

int CountFiles(const QString& folder) {
    return static_cast<int>(QDir(folder).entryList(QDir::Files | QDir::Hidden).size());
}

void Report(const char* what, double seconds, int files, int expected) {
    std::printf("%-34s %8.3f s %10.0f files/s%s\n", what, seconds, files / seconds,
                files == expected ? "" : "   (file count is wrong!)");
}

// Runs a shell command in a folder and returns the seconds it took.
double TimeShell(const QString& folder, const QString& command) {
    QProcess p;
    p.setWorkingDirectory(folder);
    QElapsedTimer t;
    t.start();
    p.start("/bin/sh", {"-c", command});
    p.waitForFinished(-1);
    const double s = t.nsecsElapsed() / 1e9;
    if (p.exitCode() != 0)
        std::printf("   (%s failed)\n", qPrintable(command));
    return s;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int size = argc > 2 ? std::atoi(argv[2]) : 32 * 1024;

    QTemporaryDir disk;
    QTemporaryDir shm("/dev/shm/batch-bench-XXXXXX");
    const QString src = disk.path() + "/src";
    const QString copyDest = disk.path() + "/copy";
    const QString cpDest = disk.path() + "/cp";
    const QString moveDest = disk.path() + "/move";
    const QString shmDest = shm.path() + "/move";
    for (const QString& f : {src, copyDest, cpDest, moveDest, shmDest})
        QDir().mkpath(f);

    QStringList names;
    QByteArray content(size, '\0');
    for (int i = 0; i < count; ++i) {
        names << QString("picture_%1.jpg").arg(i, 5, 10, QChar('0'));
        content[0] = static_cast<char>(i);
        QFile f(src + "/" + names.last());
        if (!f.open(QIODevice::WriteOnly) || f.write(content) != size) {
            std::printf("cannot write the files\n");
            return 1;
        }
    }
    std::printf("%d files of %d bytes; pictures on %s, /dev/shm for the cross-device move\n", count,
                size, qPrintable(disk.path()));

    MainWindow w;
    auto dialogs = std::make_unique<BenchDialogs>();
    BenchDialogs& d = *dialogs;
    w.setDialogs(std::move(dialogs));
    w.show();
    SetControlText(w.编辑框_图片路径, TextFromQString(src + "/"));
    auto fillList = [&] {
        w.ClearRows();
        for (const QString& n : names)
            w.InsertRow(TextFromQString(n));
    };
    auto runBatch = [&](QRadioButton* operation) {
        operation->setChecked(true);
        QElapsedTimer t;
        t.start();
        w.按钮_执行->click();
        return t.nsecsElapsed() / 1e9;
    };

    // Each figure is taken before the files are counted: arguments have no order of evaluation.
    double seconds = 0;
    fillList();
    d.folders.push_back(copyDest);
    seconds = runBatch(w.单选框2);
    Report("copy (batch)", seconds, CountFiles(copyDest), count);
    seconds = TimeShell(src, "cp -- * " + cpDest + "/");
    Report("cp", seconds, CountFiles(cpDest), count);

    d.folders.push_back(moveDest);
    seconds = runBatch(w.单选框3);
    Report("move, same file system (batch)", seconds, CountFiles(moveDest), count);
    seconds = TimeShell(moveDest, "mv -- * " + src + "/");
    Report("mv, same file system", seconds, CountFiles(src), count);

    if (shm.isValid()) {
        fillList();
        d.folders.push_back(shmDest);
        seconds = runBatch(w.单选框3);
        Report("move, across file systems (batch)", seconds, CountFiles(shmDest), count);
        // mv the same files in the same direction: back first, untimed, then across again.
        TimeShell(shmDest, "mv -- * " + src + "/");
        seconds = TimeShell(src, "mv -- * " + shmDest + "/");
        Report("mv, across file systems", seconds, CountFiles(shmDest), count);
        TimeShell(shmDest, "mv -- * " + src + "/");
    }

    fillList();
    seconds = runBatch(w.单选框4);
    Report("rename (batch)", seconds, count - w.RowCount(), count);
    return 0;
}
