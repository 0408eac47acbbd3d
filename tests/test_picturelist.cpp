#include <algorithm>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/MainWindow.h"
#include "picturelist/FileSize.h"
#include "picturelist/FileSystem.h"
#include "picturelist/PictureList.h"
#include "picturelist/PicturePaths.h"
#include "support/ScriptedDialogs.h"

namespace {

QString Q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

Text T(const QString& s) {
    return TextFromQString(s);
}

QByteArray Picture(int width, int height, const char* format) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A file of the given length that takes no room on disk.
bool SparseFile(const QString& path, qint64 size) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.resize(size);
}

QStringList Column(const MainWindow& w, int column) {
    QStringList out;
    for (int row = 0; row < w.RowCount(); ++row)
        out << TextToQString(w.GetCellText(row, column));
    return out;
}

QString Caption(const MainWindow& w) {
    return w.分组框1->title();
}

QString PathBox(const MainWindow& w) {
    return w.编辑框_图片路径->text();
}

void ClickRow(MainWindow& w, int row, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseClick(w.图片列表->viewport(), button, {},
                      w.图片列表->visualItemRect(w.图片列表->item(row, 0)).center());
}

void ClickBelowRows(MainWindow& w) {
    QWidget* viewport = w.图片列表->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(20, viewport->height() - 5));
}

// Picks the folder through the "..." button, answering the browser with path.
void ChooseFolder(MainWindow& w, ScriptedDialogs& d, const QString& path) {
    d.folderAnswers.push_back(path);
    QTest::mouseClick(w.浏览图片, Qt::LeftButton);
}

void Rescan(MainWindow& w) {
    QTest::mouseClick(w.按钮_重新获取图片列表, Qt::LeftButton);
}

// Records the caption of a group box each time it is painted.
class CaptionPaints : public QObject {
public:
    explicit CaptionPaints(QGroupBox* box) : box_(box) { box->installEventFilter(this); }
    QStringList titles;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (watched == box_ && e->type() == QEvent::Paint)
            titles << box_->title();
        return false;
    }

private:
    QGroupBox* box_;
};

} // namespace

class TestPictureList : public QObject {
    Q_OBJECT

private slots:
    void pictureNames_data();
    void pictureNames();
    void readWholeFile_data();
    void readWholeFile();
    void sizeOfMissingThings_data();
    void sizeOfMissingThings();
    void enumerationWalk();

    void scanListsPictureFilesOnly();
    void naturalOrder();
    void sizesInKilobytes_data();
    void sizesInKilobytes();
    void fileVanishedDuringScanGetsZero();
    void scanEndsEmpty_data();
    void scanEndsEmpty();
    void folderChoice_data();
    void folderChoice();
    void cancelChangesNothing();
    void rescanBeforeChoosingUsesCurrentDirectory();
    void cjkAndNonGbkNames();
    void nonUtf8NameIsSkipped();

    void previewFollowsLeftClicks();

    void scanShowsRowsAsTheyCome();
    void closingDuringScanStopsIt();
    void otherCommandsDuringScanChangeNothing();
};

void TestPictureList::pictureNames_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<bool>("picture");

    struct Row {
        const char* tag;
        const char* name;
        const char* extension;
        bool picture;
    };
    const Row rows[] = {
        {"upper case", "a.JPG", ".JPG", true},
        {"tif is inside tiff", "b.tif", ".tif", true},
        {"text", "c.txt", ".txt", false},
        {"no dot", "d", "", true},
        {"jpeg", "e.jpeg", ".jpeg", true},
        {"last dot counts", "a.png.txt", ".txt", false},
        {"last dot counts 2", "a.txt.Png", ".Png", true},
        {"only dot first", ".jpg", ".jpg", true},
        {"hidden", ".hidden.jpg", ".jpg", true},
        {"part of a listed one", "x.jp", ".jp", true},
        {"bare dot", "x.", ".", true},
        {"webp", "x.webp", ".webp", false},
        {"longer than listed", "x.jpeg2", ".jpeg2", false},
        {"not contiguous", "x.pg", ".pg", false},
        {"cjk", "图片.JPEG", ".JPEG", true},
        {"cjk extension", "a.图", ".图", false},
    };
    for (const Row& r : rows)
        QTest::newRow(r.tag) << Q(r.name) << Q(r.extension) << r.picture;
}

void TestPictureList::pictureNames() {
    QFETCH(QString, name);
    QFETCH(QString, extension);
    QFETCH(bool, picture);
    QCOMPARE(TextToQString(FileExtension(T(name))), extension);
    QCOMPARE(IsPictureName(T(name)), picture);
}

void TestPictureList::readWholeFile_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("content") << "file" << QByteArray("pic\0ture", 8);
    QTest::newRow("empty path") << "empty path" << QByteArray();
    QTest::newRow("missing") << "missing" << QByteArray();
    QTest::newRow("folder") << "folder" << QByteArray();
    QTest::newRow("length 0") << "empty file" << QByteArray();
    QTest::newRow("pipe, nobody writing") << "fifo" << QByteArray();
}

void TestPictureList::readWholeFile() {
    QFETCH(QString, kind);
    QFETCH(QByteArray, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath("x.jpg");
    if (kind == "file")
        QVERIFY(WriteFile(path, expected));
    else if (kind == "folder")
        QVERIFY(QDir(dir.path()).mkdir("x.jpg"));
    else if (kind == "empty file")
        QVERIFY(WriteFile(path, QByteArray()));
    else if (kind == "fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);

    const QByteArray data = ReadWholeFile(kind == "empty path" ? Text() : T(path));
    QCOMPARE(data, expected);
}

void TestPictureList::sizeOfMissingThings_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing") << "missing";
    QTest::newRow("folder") << "folder";
    QTest::newRow("empty path") << "empty path";
    QTest::newRow("below a file") << "below a file";
}

void TestPictureList::sizeOfMissingThings() {
    QFETCH(QString, kind);
    QTemporaryDir dir;
    QString path = dir.filePath("x.jpg");
    if (kind == "folder") {
        QVERIFY(QDir(dir.path()).mkdir("x.jpg"));
        SparseFile(dir.filePath("x.jpg/inner.jpg"), 5000);
    } else if (kind == "below a file") {
        QVERIFY(SparseFile(path, 5000));
        path += "/y.jpg";
    }
    const float kb = MeasureFileSizeKb(kind == "empty path" ? Text() : T(path));
    QCOMPARE(kb, 0.0f);
    QCOMPARE(TextToQString(SingleToText(kb)), Q("0"));
}

void TestPictureList::enumerationWalk() {
    QTemporaryDir dir;
    for (const char* name : {"b.jpg", "a.txt", "c"})
        QVERIFY(WriteFile(dir.filePath(name), "x"));
    QVERIFY(QDir(dir.path()).mkdir("sub"));
    const Text pattern = T(dir.path() + "/*.*");

    FileEnumeration files;
    QCOMPARE(files.next(), Text()); // nothing open yet
    QCOMPARE(files.first(pattern), U8("a.txt"));
    QVERIFY(files.isOpen());
    QCOMPARE(files.next(), U8("b.jpg"));
    // A new first starts over.
    QCOMPARE(files.first(pattern), U8("a.txt"));
    QCOMPARE(files.next(), U8("b.jpg"));
    QCOMPARE(files.next(), U8("c"));
    QCOMPARE(files.next(), Text()); // the folder "sub" is never returned
    QVERIFY(!files.isOpen());
    QCOMPARE(files.next(), Text());
    files.close();

    QCOMPARE(files.first(T(dir.path() + "/missing/*.*")), Text());
    QVERIFY(!files.isOpen());
    QTemporaryDir empty;
    QCOMPARE(files.first(T(empty.path() + "/*.*")), Text());
    QVERIFY(!files.isOpen());
}

void TestPictureList::scanListsPictureFilesOnly() {
    QTemporaryDir dir;
    const QDir d(dir.path());
    QVERIFY(SparseFile(dir.filePath("a.JPG"), 2500));
    QVERIFY(SparseFile(dir.filePath("b.tif"), 1000));
    QVERIFY(SparseFile(dir.filePath("c.txt"), 1000));
    QVERIFY(SparseFile(dir.filePath("d"), 0));
    QVERIFY(SparseFile(dir.filePath("e.jpeg"), 12345));
    QVERIFY(SparseFile(dir.filePath(".hidden.jpg"), 500));
    QVERIFY(d.mkdir("f.png"));
    QVERIFY(SparseFile(dir.filePath("f.png/inside.png"), 100));
    QVERIFY(d.mkdir("target"));
    QVERIFY(QFile::link(dir.filePath("target"), dir.filePath("g.png"))); // link to a folder
    QVERIFY(QFile::link(dir.filePath("a.JPG"), dir.filePath("h.bmp")));  // link to a file

    MainWindow w;
    ScriptedDialogs& dialogs = InstallScriptedDialogs(w);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    ChooseFolder(w, dialogs, dir.path());

    QCOMPARE(dialogs.browseTitles.size(), 1u);
    QCOMPARE(dialogs.browseTitles[0], Q("请指定图片所在目录"));
    QCOMPARE(PathBox(w), dir.path() + "/");
    const QStringList names{".hidden.jpg", "a.JPG", "b.tif", "d", "e.jpeg", "h.bmp"};
    QCOMPARE(Column(w, 0), names);
    QCOMPARE(Column(w, 1), (QStringList{"0.5", "2.5", "1", "0", "12.35", "2.5"}));
    QCOMPARE(Caption(w), Q("图片列表( 6 )"));
    QCOMPARE(w.SelectedRow(), -1);

    // A rescan starts from an empty list, not on top of the old rows.
    QVERIFY(QFile::remove(dir.filePath("b.tif")));
    Rescan(w);
    QCOMPARE(Column(w, 0), (QStringList{".hidden.jpg", "a.JPG", "d", "e.jpeg", "h.bmp"}));
    QCOMPARE(Caption(w), Q("图片列表( 5 )"));
}

void TestPictureList::naturalOrder() {
    QTemporaryDir dir;
    // 丄 and 乤 differ only in a trail byte that reads as "A" and "a"; 😀 and 😁 in a trail byte
    // that reads as a digit.
    const QStringList onDisk{"img10.png",  "Img3.png",   "img2.png",  "b.png",
                             "img1.png",   "IMG1.png",   "a02.jpg",   "a2.jpg",
                             Q("乤a.png"), Q("丄z.png"), Q("😁1.png"), Q("😀99.png")};
    for (const QString& name : onDisk)
        QVERIFY(WriteFile(dir.filePath(name), "x"));

    MainWindow w;
    ScriptedDialogs& dialogs = InstallScriptedDialogs(w);
    ChooseFolder(w, dialogs, dir.path());
    // Letters without case, digit runs by value, ties by bytes; other characters whole.
    QCOMPARE(Column(w, 0), (QStringList{"a02.jpg", "a2.jpg", "b.png", "IMG1.png", "img1.png",
                                        "img2.png", "Img3.png", "img10.png", Q("丄z.png"),
                                        Q("乤a.png"), Q("😀99.png"), Q("😁1.png")}));
}

void TestPictureList::sizesInKilobytes_data() {
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<float>("kb");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << qint64(0) << 0.0f << "0";
    QTest::newRow("1") << qint64(1) << 0.0f << "0";
    QTest::newRow("499") << qint64(499) << 0.5f << "0.5";
    QTest::newRow("999") << qint64(999) << 1.0f << "1";
    QTest::newRow("1234") << qint64(1234) << 1.23f << "1.23";
    QTest::newRow("12345 rounds up") << qint64(12345) << 12.35f << "12.35";
    QTest::newRow("102400") << qint64(102400) << 102.4f << "102.4";
    QTest::newRow("1048576") << qint64(1048576) << 1048.58f << "1048.58";
    QTest::newRow("123456789") << qint64(123456789) << 123456.7890625f << "123457";
    QTest::newRow("2147483648") << qint64(2147483648LL) << 2147483.75f << "2.14748e+006";
    QTest::newRow("1000000000") << qint64(1000000000) << 1000000.0f << "1e+006";
    QTest::newRow("past 4 GiB") << qint64(5000000000LL) << 5000000.0f << "5e+006";
}

void TestPictureList::sizesInKilobytes() {
    QFETCH(qint64, bytes);
    QFETCH(float, kb);
    QFETCH(QString, text);
    QTemporaryDir dir;
    QVERIFY(SparseFile(dir.filePath("p.jpg"), bytes));
    QCOMPARE(MeasureFileSizeKb(T(dir.filePath("p.jpg"))), kb);

    MainWindow w;
    ScriptedDialogs& dialogs = InstallScriptedDialogs(w);
    ChooseFolder(w, dialogs, dir.path());
    QCOMPARE(Column(w, 1), QStringList{text});
}

void TestPictureList::fileVanishedDuringScanGetsZero() {
    QTemporaryDir dir;
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        QVERIFY(SparseFile(dir.filePath(name), 3000));

    MainWindow w;
    ScriptedDialogs& dialogs = InstallScriptedDialogs(w);
    // b.jpg goes after the folder was read but before its row is measured.
    connect(w.图片列表->model(), &QAbstractItemModel::rowsInserted, &w, [&] {
        if (w.RowCount() == 1)
            QFile::remove(dir.filePath("b.jpg"));
    });
    ChooseFolder(w, dialogs, dir.path());
    QCOMPARE(Column(w, 0), (QStringList{"a.jpg", "b.jpg", "c.jpg"}));
    QCOMPARE(Column(w, 1), (QStringList{"3", "0", "3"}));
}

void TestPictureList::scanEndsEmpty_data() {
    QTest::addColumn<QString>("second");
    QTest::newRow("folder without pictures") << "nopics";
    QTest::newRow("folder that no longer exists") << "gone";
    QTest::newRow("file in place of the folder") << "file";
}

void TestPictureList::scanEndsEmpty() {
    QFETCH(QString, second);
    QTemporaryDir dir;
    const QDir d(dir.path());
    QVERIFY(d.mkdir("ten") && d.mkdir("nopics") && d.mkdir("gone"));
    for (int i = 1; i <= 10; ++i)
        QVERIFY(WriteFile(dir.filePath(QString("ten/%1.png").arg(i)), "x"));
    QVERIFY(WriteFile(dir.filePath("nopics/c.txt"), "x"));
    QVERIFY(WriteFile(dir.filePath("file"), "x"));

    MainWindow w;
    ScriptedDialogs& dialogs = InstallScriptedDialogs(w);
    ChooseFolder(w, dialogs, dir.filePath("ten"));
    QCOMPARE(w.RowCount(), 10);
    QCOMPARE(Caption(w), Q("图片列表( 10 )"));

    ChooseFolder(w, dialogs, dir.filePath(second));
    if (second == "gone") {
        // The folder disappears after it was chosen; the rescan button finds nothing.
        QVERIFY(d.rmdir("gone"));
        Rescan(w);
    }
    QCOMPARE(PathBox(w), dir.filePath(second) + "/");
    QCOMPARE(w.RowCount(), 0);
    QCOMPARE(Caption(w), Q("图片列表( 0 )"));
    QVERIFY(dialogs.messages.empty());
}

void TestPictureList::folderChoice_data() {
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("stored");
    QTest::newRow("root stays") << Q("/") << Q("/");
    QTest::newRow("folder gets a separator")
        << Q("/no-such-folder/pics") << Q("/no-such-folder/pics/");
    QTest::newRow("trailing separator kept")
        << Q("/no-such-folder/pics/") << Q("/no-such-folder/pics/");
    QTest::newRow("cjk folder") << Q("/图片/相册") << Q("/图片/相册/");
}

void TestPictureList::folderChoice() {
    QFETCH(QString, chosen);
    QFETCH(QString, stored);
    MainWindow w;
    ScriptedDialogs& dialogs = InstallScriptedDialogs(w);
    ChooseFolder(w, dialogs, chosen);
    QCOMPARE(PathBox(w), stored);
    QVERIFY(dialogs.folderAnswers.empty());
}

void TestPictureList::cancelChangesNothing() {
    QTemporaryDir dir;
    QVERIFY(WriteFile(dir.filePath("a.jpg"), "x"));
    QVERIFY(WriteFile(dir.filePath("b.jpg"), "x"));
    MainWindow w;
    ScriptedDialogs& dialogs = InstallScriptedDialogs(w);
    ChooseFolder(w, dialogs, dir.path());
    QCOMPARE(w.RowCount(), 2);

    // Had the cancel rescanned, b.jpg would be gone from the list.
    QVERIFY(QFile::remove(dir.filePath("b.jpg")));
    QTest::mouseClick(w.浏览图片, Qt::LeftButton); // no answer scripted: the browser cancels
    QCOMPARE(dialogs.browseTitles.size(), 2u);
    QCOMPARE(PathBox(w), dir.path() + "/");
    QCOMPARE(Column(w, 0), (QStringList{"a.jpg", "b.jpg"}));
    QCOMPARE(Caption(w), Q("图片列表( 2 )"));
    QVERIFY(dialogs.messages.empty());
}

void TestPictureList::rescanBeforeChoosingUsesCurrentDirectory() {
    QTemporaryDir dir;
    QVERIFY(WriteFile(dir.filePath("p.png"), Picture(30, 20, "PNG")));
    QVERIFY(SparseFile(dir.filePath("q.jpg"), 1234));
    QVERIFY(WriteFile(dir.filePath("r.txt"), "x"));
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));

    MainWindow w;
    InstallScriptedDialogs(w);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    Rescan(w);
    const QStringList names = Column(w, 0);
    const QStringList sizes = Column(w, 1);
    ClickRow(w, 0);
    const QSize shown = w.图片框1->pictureSize();
    QVERIFY(QDir::setCurrent(before));

    QCOMPARE(PathBox(w), QString());
    QCOMPARE(names, (QStringList{"p.png", "q.jpg"}));
    QCOMPARE(sizes.at(1), Q("1.23"));
    QCOMPARE(shown, QSize(30, 20));
}

void TestPictureList::cjkAndNonGbkNames() {
    QTemporaryDir dir;
    const QString folder = dir.filePath(Q("相册😀"));
    QVERIFY(QDir(dir.path()).mkdir(Q("相册😀")));
    QVERIFY(WriteFile(folder + Q("/图片.jpg"), Picture(30, 20, "JPEG")));
    QVERIFY(WriteFile(folder + Q("/😀.png"), Picture(50, 40, "PNG")));
    QVERIFY(WriteFile(folder + Q("/€¤.gif"), "x"));

    MainWindow w;
    ScriptedDialogs& dialogs = InstallScriptedDialogs(w);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    ChooseFolder(w, dialogs, folder);
    QCOMPARE(PathBox(w), folder + "/");
    // Beyond ASCII the names follow the byte order of their texts.
    QCOMPARE(Column(w, 0), (QStringList{Q("😀.png"), Q("€¤.gif"), Q("图片.jpg")}));
    QVERIFY(Column(w, 1).at(0) != Q("0"));
    QCOMPARE(Column(w, 1).at(1), Q("0"));
    QVERIFY(Column(w, 1).at(2) != Q("0"));

    ClickRow(w, 2);
    QCOMPARE(w.图片框1->pictureSize(), QSize(30, 20));
    ClickRow(w, 0);
    QCOMPARE(w.图片框1->pictureSize(), QSize(50, 40));
}

void TestPictureList::nonUtf8NameIsSkipped() {
    QTemporaryDir dir;
    // The raw name "pic\xff.jpg" would decode, with replacement, to the name of the other file.
    const QByteArray raw = QFile::encodeName(dir.path()) + "/pic\xff.jpg";
    const QByteArray rawContent = Picture(70, 70, "PNG");
    const int fd = ::open(raw.constData(), O_CREAT | O_WRONLY | O_EXCL, 0644);
    QVERIFY(fd >= 0);
    // QTemporaryDir cannot name this file to remove it.
    const auto removeRaw = qScopeGuard([&] { ::unlink(raw.constData()); });
    QCOMPARE(::write(fd, rawContent.constData(), rawContent.size()), ssize_t(rawContent.size()));
    ::close(fd);
    const QString lookalike = Q("pic\xEF\xBF\xBD.jpg"); // U+FFFD
    QVERIFY(WriteFile(dir.filePath(lookalike), Picture(10, 10, "PNG")));

    MainWindow w;
    ScriptedDialogs& dialogs = InstallScriptedDialogs(w);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    ChooseFolder(w, dialogs, dir.path());
    QCOMPARE(Column(w, 0), QStringList{lookalike});
    ClickRow(w, 0);
    QCOMPARE(w.图片框1->pictureSize(), QSize(10, 10));

    // The raw file was neither listed nor touched.
    struct stat st;
    QCOMPARE(::stat(raw.constData(), &st), 0);
    QCOMPARE(qint64(st.st_size), qint64(rawContent.size()));
}

void TestPictureList::previewFollowsLeftClicks() {
    QTemporaryDir dir;
    QVERIFY(WriteFile(dir.filePath("a.png"), Picture(40, 30, "PNG")));
    QVERIFY(WriteFile(dir.filePath("b.jpg"), Picture(20, 10, "JPEG")));
    QVERIFY(WriteFile(dir.filePath("c.png"), Picture(60, 50, "PNG")));
    QVERIFY(WriteFile(dir.filePath("d.gif"), "not a picture"));

    MainWindow w;
    ScriptedDialogs& dialogs = InstallScriptedDialogs(w);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    ChooseFolder(w, dialogs, dir.path());
    QCOMPARE(w.RowCount(), 4);
    QVERIFY(!w.图片框1->hasPicture());

    ClickRow(w, 0);
    QCOMPARE(w.SelectedRow(), 0);
    QCOMPARE(w.图片框1->pictureSize(), QSize(40, 30));
    ClickRow(w, 1);
    QCOMPARE(w.图片框1->pictureSize(), QSize(20, 10));

    // Keyboard moves and right clicks leave the preview alone.
    QTest::keyClick(w.图片列表, Qt::Key_Down);
    QCOMPARE(w.SelectedRow(), 2);
    QCOMPARE(w.图片框1->pictureSize(), QSize(20, 10));
    ClickRow(w, 0, Qt::RightButton);
    QCOMPARE(w.图片框1->pictureSize(), QSize(20, 10));

    // The empty area below the rows clears selection and preview.
    ClickBelowRows(w);
    QCOMPARE(w.SelectedRow(), -1);
    QVERIFY(!w.图片框1->hasPicture());

    // Bytes the box cannot decode show nothing.
    ClickRow(w, 0);
    QVERIFY(w.图片框1->hasPicture());
    ClickRow(w, 3);
    QVERIFY(!w.图片框1->hasPicture());

    // A file deleted since the scan: no picture, and its row stays.
    ClickRow(w, 0);
    QVERIFY(QFile::remove(dir.filePath("c.png")));
    ClickRow(w, 2);
    QCOMPARE(w.SelectedRow(), 2);
    QVERIFY(!w.图片框1->hasPicture());
    QCOMPARE(w.RowCount(), 4);

    // A rescan keeps the last preview and selects no row.
    ClickRow(w, 1);
    Rescan(w);
    QCOMPARE(w.RowCount(), 3);
    QCOMPARE(w.SelectedRow(), -1);
    QCOMPARE(w.图片框1->pictureSize(), QSize(20, 10));
    QVERIFY(dialogs.messages.empty());
}

void TestPictureList::scanShowsRowsAsTheyCome() {
    QTemporaryDir dir;
    const int total = 200;
    for (int i = 0; i < total; ++i)
        QVERIFY(SparseFile(dir.filePath(QString("%1.jpg").arg(i)), 1500));

    MainWindow w;
    ScriptedDialogs& dialogs = InstallScriptedDialogs(w);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    // What the event loop sees while the scan runs: the rows and the caption then.
    QList<int> seenCounts;
    bool captionLagged = false;
    bool sizeMissing = false;
    QTimer watcher;
    watcher.setInterval(0);
    connect(&watcher, &QTimer::timeout, &w, [&] {
        if (!w.IsBusy())
            return;
        const int rows = w.RowCount();
        seenCounts << rows;
        if (Caption(w) != QString("图片列表( %1 )").arg(rows))
            captionLagged = true;
        if (rows > 0 && w.GetCellText(rows - 1, 1) != U8("1.5"))
            sizeMissing = true;
    });
    // What is painted: the caption at each paint of the list's group box.
    CaptionPaints painted(w.分组框1);
    watcher.start();
    ChooseFolder(w, dialogs, dir.path());
    watcher.stop();

    QCOMPARE(w.RowCount(), total);
    QVERIFY2(seenCounts.size() >= 3, qPrintable(QString::number(seenCounts.size())));
    QVERIFY(std::is_sorted(seenCounts.begin(), seenCounts.end()));
    QVERIFY(seenCounts.first() < total);
    QVERIFY(!captionLagged);
    QVERIFY(!sizeMissing);
    // The first row is painted at once, and the window catches up with the end of the scan.
    QVERIFY(painted.titles.contains(Q("图片列表( 1 )")));
    QTRY_COMPARE(painted.titles.last(), QString("图片列表( %1 )").arg(total));
}

void TestPictureList::closingDuringScanStopsIt() {
    QTemporaryDir dir;
    const int total = 50;
    for (int i = 0; i < total; ++i)
        QVERIFY(WriteFile(dir.filePath(QString("%1.png").arg(i)), "x"));

    MainWindow w;
    ScriptedDialogs& dialogs = InstallScriptedDialogs(w);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    int rowsAtClose = -1;
    connect(w.图片列表->model(), &QAbstractItemModel::rowsInserted, &w, [&] {
        if (w.RowCount() == 3)
            QTimer::singleShot(0, &w, [&] {
                rowsAtClose = w.RowCount();
                w.close();
            });
    });
    ChooseFolder(w, dialogs, dir.path());

    QVERIFY(w.IsClosed());
    QVERIFY(rowsAtClose >= 3 && rowsAtClose < total);
    QCOMPARE(w.RowCount(), rowsAtClose); // not one row after the close
    QVERIFY(dialogs.messages.empty());
    // Closed, the window runs no command any more.
    Rescan(w);
    QCOMPARE(w.RowCount(), rowsAtClose);
}

void TestPictureList::otherCommandsDuringScanChangeNothing() {
    QTemporaryDir dir;
    QTemporaryDir other;
    const int total = 30;
    for (int i = 0; i < total; ++i)
        QVERIFY(WriteFile(dir.filePath(QString("%1.png").arg(i)), Picture(8, 8, "PNG")));
    QVERIFY(WriteFile(other.filePath("elsewhere.png"), "x"));

    MainWindow w;
    ScriptedDialogs& dialogs = InstallScriptedDialogs(w);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    bool clicked = false;
    connect(w.图片列表->model(), &QAbstractItemModel::rowsInserted, &w, [&] {
        if (w.RowCount() == 5)
            QTimer::singleShot(0, &w, [&] {
                // A folder answer is ready in case the browser wrongly opens.
                dialogs.folderAnswers.push_back(other.path());
                QTest::mouseClick(w.浏览图片, Qt::LeftButton);
                QTest::mouseClick(w.按钮_重新获取图片列表, Qt::LeftButton);
                QTest::mouseClick(w.按钮_筛选图片, Qt::LeftButton);
                QTest::mouseClick(w.按钮_执行, Qt::LeftButton);
                ClickRow(w, 1);
                QTest::keyClick(w.图片列表, Qt::Key_Down);
                clicked = true;
            });
    });
    ChooseFolder(w, dialogs, dir.path());

    QVERIFY(clicked);
    QCOMPARE(dialogs.browseTitles.size(), 1u);
    QCOMPARE(dialogs.folderAnswers.size(), 1u);
    QCOMPARE(PathBox(w), dir.path() + "/");
    QCOMPARE(w.RowCount(), total);
    QCOMPARE(Caption(w), QString("图片列表( %1 )").arg(total));
    QCOMPARE(w.SelectedRow(), -1);
    QVERIFY(!w.图片框1->hasPicture());
    QVERIFY(dialogs.messages.empty());
    for (int i = 0; i < total; ++i)
        QVERIFY(QFile::exists(dir.filePath(QString("%1.png").arg(i))));

    // Once the scan is over, the commands work again.
    ClickRow(w, 1);
    QCOMPARE(w.图片框1->pictureSize(), QSize(8, 8));
}

QTEST_MAIN(TestPictureList)
#include "test_picturelist.moc"
