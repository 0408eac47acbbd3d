// Times the scan of a folder of many small pictures: the real FillPictureList on a shown window
// (offscreen unless QT_QPA_PLATFORM says otherwise), run as a click on the rescan button runs it.
//   scan-bench [files=10000] [runs=3]
#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include "app/MainWindow.h"
#include "picturelist/PictureList.h"

namespace {

// Counts the paints of the list, to show that it is seen to grow while the scan runs.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int files = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;

    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QByteArray content(700, 'x');
    for (int i = 0; i < files; ++i) {
        QFile f(dir.filePath(QString("photo %1.jpg").arg(i)));
        if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
            return 1;
    }

    MainWindow w;
    w.show();
    PaintCounter counter;
    w.图片列表->viewport()->installEventFilter(&counter);
    SetControlText(w.编辑框_图片路径, TextFromQString(dir.path() + "/"));
    for (int run = 1; run <= runs; ++run) {
        counter.paints = 0;
        QElapsedTimer timer;
        timer.start();
        w.RunCommand([&] { FillPictureList(w); });
        const qint64 ms = timer.elapsed();
        const int rows = w.RowCount();
        std::printf("run %d: %d files, %d rows in %lld ms (%.1f us per row), %d list repaints, "
                    "caption \"%s\"\n",
                    run, files, rows, static_cast<long long>(ms),
                    rows ? 1000.0 * static_cast<double>(ms) / rows : 0.0, counter.paints,
                    w.分组框1->title().toUtf8().constData());
    }
    return 0;
}
