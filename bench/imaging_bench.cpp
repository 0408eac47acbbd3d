// Times the ways of measuring a picture and records the memory each needs.
//
//   imaging-bench [--count N] [--print] [folder]
//
// Without a folder it generates N JPEGs of 4000 x 3000 and N PNGs of 2000 x 1500 (N = 20 unless
// given) in a temporary folder; with a folder it takes every file in it. For each group of
// pictures and each way it prints the time per picture (mean, median, maximum) and the peak
// memory above the starting point. Each way runs in a child process of its own, so that the
// peak of one way does not hide another's. With --print it also writes one line per picture:
// the file name, the measured width and height, and the width and height in the BMP
// re-encoding, tab-separated.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryDir>

#include "imaging/Dimensions.h"
#include "imaging/Reencode.h"

namespace {

enum class Way { Header, Reencode, Literal };

const char* WayName(Way way) {
    switch (way) {
    case Way::Header:
        return "header measurement";
    case Way::Reencode:
        return "ReencodePicture to BMP";
    case Way::Literal:
        return "width, height, ratio: 4 re-encodings";
    }
    return "";
}

struct Group {
    QString name;
    QStringList files;
};

struct Sample {
    double ms = 0;
    PictureSize size;
};

struct Run {
    std::vector<Sample> samples;
    double peakMb = 0;
};

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

long CurrentRssKb() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// One way of measuring, on one picture. The width and height come back for --print.
PictureSize Measure(Way way, const QByteArray& picture) {
    switch (way) {
    case Way::Header:
        return MeasurePicture(picture);
    case Way::Reencode: {
        QByteArray bmp;
        ReencodePicture(picture, PictureFormat::Bmp, Text(), &bmp);
        return ReadBmpSize(bmp);
    }
    case Way::Literal: {
        // As a filter with the width, height and ratio conditions would measure without the
        // shortcut: a re-encoding for the width, one for the height, two for the ratio.
        const std::int32_t width = ReadBmpSize(ToBmpImage(picture)).width;
        const std::int32_t height = ReadBmpSize(ToBmpImage(picture)).height;
        const double ratio = AspectRatioOf(
            {ReadBmpSize(ToBmpImage(picture)).width, ReadBmpSize(ToBmpImage(picture)).height});
        if (ratio != AspectRatioOf({width, height}) && !std::isnan(ratio))
            std::fprintf(stderr, "the ratio disagrees with the width and height\n");
        return {width, height};
    }
    }
    return {};
}

// Runs one way over a group in a forked child, which reports each picture's time and size and
// its own peak resident memory through a pipe.
Run RunInChild(Way way, const QStringList& files) {
    int fds[2];
    if (pipe(fds) != 0) {
        std::perror("pipe");
        std::exit(1);
    }
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid < 0) {
        std::perror("fork");
        std::exit(1);
    }
    if (pid == 0) {
        close(fds[0]);
        FILE* out = fdopen(fds[1], "w");
        const long startKb = CurrentRssKb();
        for (const QString& path : files) {
            const QByteArray picture = ReadAll(path);
            QElapsedTimer timer;
            timer.start();
            const PictureSize size = Measure(way, picture);
            const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
            std::fprintf(out, "%.6f %d %d\n", ms, size.width, size.height);
        }
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::fprintf(out, "peak %ld\n", usage.ru_maxrss - startKb);
        std::fclose(out);
        _exit(0);
    }
    close(fds[1]);
    FILE* in = fdopen(fds[0], "r");
    Run run;
    char line[256];
    while (std::fgets(line, sizeof line, in)) {
        long peakKb = 0;
        Sample s;
        if (std::sscanf(line, "peak %ld", &peakKb) == 1)
            run.peakMb = static_cast<double>(peakKb) / 1024.0;
        else if (std::sscanf(line, "%lf %d %d", &s.ms, &s.size.width, &s.size.height) == 3)
            run.samples.push_back(s);
    }
    std::fclose(in);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
        run.samples.size() != static_cast<size_t>(files.size())) {
        std::fprintf(stderr, "the child for \"%s\" failed\n", WayName(way));
        std::exit(1);
    }
    return run;
}

// A photo-like picture: smooth colour fields with fine noise, so that the encoders work about
// as hard as on a camera's pictures.
QImage PhotoLike(int w, int h, unsigned seed) {
    QImage image(w, h, QImage::Format_RGB32);
    std::minstd_rand noise(seed);
    const double phase = seed * 0.7;
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int n = static_cast<int>(noise() % 9) - 4;
            const int r = 128 + static_cast<int>(100 * std::sin(x * 0.002 + phase)) + n;
            const int g = 128 + static_cast<int>(100 * std::cos(y * 0.003 - phase)) + n;
            const int b = (x + y) / 40 % 256;
            line[x] = qRgb(std::clamp(r, 0, 255), std::clamp(g, 0, 255), b);
        }
    }
    return image;
}

void Save(const QImage& image, const QString& path, const char* format) {
    QImageWriter writer(path, format);
    if (format == QByteArray("jpeg"))
        writer.setQuality(90);
    if (!writer.write(image)) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(path));
        std::exit(1);
    }
}

std::vector<Group> Generate(const QDir& dir, int count) {
    Group jpegs{"JPEG 4000x3000", {}};
    Group pngs{"PNG 2000x1500", {}};
    for (int i = 0; i < count; ++i) {
        const QString jpeg = dir.filePath(QString("photo-%1.jpg").arg(i, 3, 10, QChar('0')));
        Save(PhotoLike(4000, 3000, static_cast<unsigned>(i + 1)), jpeg, "jpeg");
        jpegs.files << jpeg;
        const QString png = dir.filePath(QString("image-%1.png").arg(i, 3, 10, QChar('0')));
        Save(PhotoLike(2000, 1500, static_cast<unsigned>(1000 + i)), png, "png");
        pngs.files << png;
        std::fprintf(stderr, "\rgenerating: %d of %d", i + 1, count);
    }
    std::fprintf(stderr, "\n");
    return {jpegs, pngs};
}

// Loads every codec plugin in the parent, so that no child counts the loading in its figures.
void WarmUp() {
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::gray);
    for (const char* format : {"jpeg", "png", "tiff", "bmp", "ico"}) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter(&buffer, format).write(image);
        for (Way way : {Way::Header, Way::Reencode})
            Measure(way, bytes);
        QByteArray gif;
        ReencodePicture(bytes, PictureFormat::Gif, Text(), &gif);
        Measure(Way::Header, gif);
        Measure(Way::Reencode, gif);
    }
}

double Megabytes(const QStringList& files) {
    qint64 total = 0;
    for (const QString& f : files)
        total += QFileInfo(f).size();
    return files.isEmpty() ? 0.0 : static_cast<double>(total) / files.size() / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int count = 20;
    bool print = false;
    QString folder;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == "--print") {
            print = true;
        } else if (args[i] == "--count" && i + 1 < args.size()) {
            count = std::max(1, args[++i].toInt());
        } else if (args[i].startsWith("-")) {
            std::fprintf(stderr, "usage: imaging-bench [--count N] [--print] [folder]\n");
            return 2;
        } else {
            folder = args[i];
        }
    }

    AllowLargePictures();
    QTemporaryDir generated;
    std::vector<Group> groups;
    if (folder.isEmpty()) {
        if (!generated.isValid())
            return 1;
        groups = Generate(QDir(generated.path()), count);
    } else {
        QDir dir(folder);
        Group all{"folder", {}};
        for (const QString& name : dir.entryList(QDir::Files, QDir::Name))
            all.files << dir.filePath(name);
        if (all.files.isEmpty()) {
            std::fprintf(stderr, "no files in %s\n", qPrintable(folder));
            return 1;
        }
        groups.push_back(all);
    }
    WarmUp();

    std::printf("%-16s %-38s %9s %9s %9s %10s %12s\n", "pictures", "way", "mean ms", "median",
                "max", "total s", "peak MB");
    std::vector<std::pair<QString, std::pair<PictureSize, PictureSize>>> lines;
    for (const Group& group : groups) {
        std::printf("%s: %lld files, %.2f MB each on average\n", qPrintable(group.name),
                    static_cast<long long>(group.files.size()), Megabytes(group.files));
        std::vector<Run> runs;
        for (Way way : {Way::Header, Way::Reencode, Way::Literal}) {
            Run run = RunInChild(way, group.files);
            std::vector<double> ms;
            for (const Sample& s : run.samples)
                ms.push_back(s.ms);
            std::sort(ms.begin(), ms.end());
            const double total = std::accumulate(ms.begin(), ms.end(), 0.0);
            std::printf("%-16s %-38s %9.3f %9.3f %9.3f %10.2f %12.1f\n", qPrintable(group.name),
                        WayName(way), total / ms.size(), ms[ms.size() / 2], ms.back(),
                        total / 1000.0, run.peakMb);
            std::fflush(stdout);
            runs.push_back(std::move(run));
        }
        for (qsizetype i = 0; i < group.files.size(); ++i)
            lines.push_back({QFileInfo(group.files[i]).fileName(),
                             {runs[0].samples[static_cast<size_t>(i)].size,
                              runs[1].samples[static_cast<size_t>(i)].size}});
    }

    int differing = 0;
    for (const auto& [name, sizes] : lines) {
        if (!(sizes.first == sizes.second))
            ++differing;
        if (print)
            std::printf("%s\t%d\t%d\t%d\t%d\n", qPrintable(name), sizes.first.width,
                        sizes.first.height, sizes.second.width, sizes.second.height);
    }
    std::fprintf(stderr, "pictures whose header measurement differs from the re-encoding: %d\n",
                 differing);
    return 0;
}
