// Times the filter pass on an offscreen window and splits the time per row into reading the
// file, showing the preview, measuring the picture and the rest (selection, scrolling, waiting
// events, the keep rules, row removal), beside the time of only reading the same files.
//
//   filter-bench                 generated folder: 40 JPEGs of 12 megapixels, 100 small PNGs
//   filter-bench --full          generated folder: 300 JPEGs of 12 megapixels, 300 small PNGs
//   filter-bench FOLDER          a copy of the pictures in FOLDER
//   --runs N                     repeats each timed pass N times and keeps the fastest (default 3)
//
// The width condition is ticked (">" 1000), so the small pictures are removed.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include "app/Dialogs.h"
#include "app/MainWindow.h"
#include "filter/Filter.h"
#include "imaging/Reencode.h"
#include "picturelist/FileSystem.h"
#include "picturelist/PictureList.h"
#include "picturelist/PicturePaths.h"

namespace {

// Answers every box at once, so nothing waits for a user.
class SilentDialogs : public Dialogs {
public:
    int ShowMessage(const Text& text, int, const Text&) override {
        std::fprintf(stderr, "message: %s\n", TextToUtf8(text).c_str());
        return ButtonOk;
    }
    Text BrowseForFolder(const Text&) override { return Text(); }
};

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// A picture with the texture of a photo: smooth gradients, shapes and some grain, so that the
// encoder and decoder do about the work a real photo gives them.
QImage PhotoLike(int width, int height, unsigned seed) {
    QImage image(width, height, QImage::Format_RGB32);
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int grain = int(random() % 24);
            line[x] = qRgb((x * 255 / width + grain) & 255, (y * 255 / height + grain) & 255,
                           ((x + y) * 127 / (width + height) + seed * 40 + grain) & 255);
        }
    }
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 60; ++i) {
        painter.setBrush(QColor::fromHsv(int(random() % 360), 160, 200, 140));
        painter.setPen(Qt::NoPen);
        const int r = int(random() % (width / 8)) + 20;
        painter.drawEllipse(QPoint(int(random() % width), int(random() % height)), r, r);
    }
    return image;
}

QByteArray Encode(const QImage& image, const char* format, int quality) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, quality);
    return bytes;
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Fills the folder with copies of a few distinct pictures of each kind.
bool Generate(const QString& folder, int jpegs, int pngs) {
    constexpr int kDistinct = 4;
    QElapsedTimer timer;
    timer.start();
    for (int k = 0; k < kDistinct && k < jpegs; ++k) {
        const QByteArray jpeg = Encode(PhotoLike(4000, 3000, k + 1), "JPG", 90);
        for (int i = k; i < jpegs; i += kDistinct)
            if (!WriteFile(QString("%1/photo%2.jpg").arg(folder).arg(i + 1, 4, 10, QChar('0')),
                           jpeg))
                return false;
    }
    for (int k = 0; k < kDistinct && k < pngs; ++k) {
        const QByteArray png = Encode(PhotoLike(640, 480, k + 11), "PNG", -1);
        for (int i = k; i < pngs; i += kDistinct)
            if (!WriteFile(QString("%1/small%2.png").arg(folder).arg(i + 1, 4, 10, QChar('0')),
                           png))
                return false;
    }
    std::printf("generated %d JPEGs (4000 x 3000) and %d PNGs (640 x 480) in %.1f s\n", jpegs, pngs,
                timer.elapsed() / 1000.0);
    return true;
}

// Copies the picture files of a folder (not its subfolders) into the work folder.
int CopyPictures(const QString& from, const QString& to) {
    const Text source = ConcatText(TextFromQString(QDir(from).absolutePath()), U8("/"));
    const Text target = ConcatText(TextFromQString(to), U8("/"));
    int copied = 0;
    for (const Text& name : fsys::ListFileNames(source))
        if (IsPictureName(name) &&
            fsys::CopyFile(ConcatText(source, name), ConcatText(target, name)))
            ++copied;
    std::printf("copied %d pictures from %s\n", copied, qPrintable(from));
    return copied;
}

struct Steps {
    Clock::duration reading{}, preview{}, measuring{};
    int rows = 0;
};

struct Split {
    Clock::duration total{};
    Steps all;
    // The same steps by file extension, to see which kind of picture costs what.
    std::map<QString, Steps> byKind;
};

void PrintRow(const char* label, Clock::duration d, int rows, Clock::duration total) {
    std::printf("  %-28s %9.2f ms/row  %6.1f %%\n", label, Ms(d) / rows,
                total.count() ? 100.0 * double(d.count()) / double(total.count()) : 0.0);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    AllowLargePictures();

    bool full = false;
    int runs = 3;
    QString sourceFolder;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--full") == 0)
            full = true;
        else if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (argv[i][0] != '-')
            sourceFolder = QString::fromLocal8Bit(argv[i]);
        else {
            std::fprintf(stderr, "usage: filter-bench [--full] [--runs N] [FOLDER]\n");
            return 2;
        }
    }

    QTemporaryDir work;
    if (!work.isValid())
        return 1;
    if (sourceFolder.isEmpty() ? !Generate(work.path(), full ? 300 : 40, full ? 300 : 100)
                               : CopyPictures(sourceFolder, work.path()) == 0)
        return 1;

    MainWindow w;
    w.setDialogs(std::make_unique<SilentDialogs>());
    w.show();
    QCoreApplication::processEvents();
    SetControlText(w.编辑框_图片路径, ConcatText(TextFromQString(work.path()), U8("/")));
    for (QCheckBox* box : {w.选择框2, w.选择框3, w.选择框4})
        box->setChecked(false);
    w.选择框1->setChecked(true);
    w.组合框1->setCurrentIndex(1);
    SetControlText(w.编辑框_宽度, U8("1000"));

    const auto rescan = [&w] {
        w.RunCommand([&w] { FillPictureList(w); });
    };
    rescan();
    const int rows = w.RowCount();
    if (rows == 0) {
        std::fprintf(stderr, "no picture was listed\n");
        return 1;
    }
    std::vector<Text> paths;
    qint64 bytes = 0;
    for (int row = 0; row < rows; ++row)
        paths.push_back(ConcatText(PictureFolder(w), w.GetCellText(row, 0)));

    // Plain reading: once to bring the files into the cache, then timed.
    for (const Text& path : paths)
        bytes += fsys::ReadWholeFile(path).size();
    Clock::duration plainRead = Clock::duration::max();
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        for (const Text& path : paths)
            (void)fsys::ReadWholeFile(path);
        plainRead = std::min(plainRead, Clock::now() - start);
    }

    // The pass as the user runs it: a click on the button.
    Clock::duration clicked = Clock::duration::max();
    int kept = 0;
    for (int run = 0; run < runs; ++run) {
        rescan();
        const auto start = Clock::now();
        w.按钮_筛选图片->click();
        clicked = std::min(clicked, Clock::now() - start);
        kept = w.RowCount();
    }

    // The same pass with its steps timed.
    Split best;
    for (int run = 0; run < runs; ++run) {
        rescan();
        Split split;
        Steps* kind = nullptr;
        const FilterPassSteps real = FilterPassSteps::Real();
        FilterPassSteps steps;
        steps.readFile = [&](const Text& path) {
            kind = &split.byKind[TextToQString(FileExtension(path)).toLower()];
            ++kind->rows;
            ++split.all.rows;
            const auto start = Clock::now();
            QByteArray picture = real.readFile(path);
            const auto spent = Clock::now() - start;
            split.all.reading += spent;
            kind->reading += spent;
            return picture;
        };
        steps.showPreview = [&](MainWindow& win, const QByteArray& picture) {
            const auto start = Clock::now();
            real.showPreview(win, picture);
            const auto spent = Clock::now() - start;
            split.all.preview += spent;
            kind->preview += spent;
        };
        steps.measure = [&](const QByteArray& picture) {
            const auto start = Clock::now();
            const PictureSize size = real.measure(picture);
            const auto spent = Clock::now() - start;
            split.all.measuring += spent;
            kind->measuring += spent;
            return size;
        };
        const auto start = Clock::now();
        w.RunCommand([&] { RunFilterPassWith(w, steps); });
        split.total = Clock::now() - start;
        if (run == 0 || split.total < best.total)
            best = split;
    }

    const Clock::duration rest =
        best.total - best.all.reading - best.all.preview - best.all.measuring;
    std::printf("%d rows, %.1f MB in all, %d kept; fastest of %d runs\n", rows, double(bytes) / 1e6,
                kept, runs);
    std::printf("  %-28s %9.2f ms/row\n", "plain reading", Ms(plainRead) / rows);
    std::printf("  %-28s %9.2f ms/row\n", "filter pass (button click)", Ms(clicked) / rows);
    std::printf("  %-28s %9.2f ms/row\n", "filter pass (timed steps)", Ms(best.total) / rows);
    PrintRow("  reading", best.all.reading, rows, best.total);
    PrintRow("  preview", best.all.preview, rows, best.total);
    PrintRow("  measurement", best.all.measuring, rows, best.total);
    PrintRow("  rest", rest, rows, best.total);
    std::printf("by kind, ms/row:            reading    preview  measurement\n");
    for (const auto& [extension, steps] : best.byKind)
        std::printf("  %-6s %5d rows         %9.2f  %9.2f  %11.3f\n", qPrintable(extension),
                    steps.rows, Ms(steps.reading) / steps.rows, Ms(steps.preview) / steps.rows,
                    Ms(steps.measuring) / steps.rows);
    return 0;
}
