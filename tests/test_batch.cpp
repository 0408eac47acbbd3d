#include <QDirIterator>
#include <QFile>
#include <QItemSelectionModel>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

#include "app/MainWindow.h"
#include "batch/Batch.h"
#include "picturelist/FileSystem.h"
#include "support/ScriptedDialogs.h"

namespace {

QString Q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

Text T(const QString& s) {
    return TextFromQString(s);
}

// Distinct content for every file, so a file that took another's place is noticed.
QByteArray ContentOf(const QString& name) {
    QByteArray bytes = "picture " + name.toUtf8() + '\n';
    for (int i = 0; i < 300; ++i)
        bytes.append(static_cast<char>((i * 7 + name.size()) & 0xFF));
    return bytes;
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void MakeReadOnly(const QString& path) {
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
}

// Every entry under a folder, by relative path: a file's bytes, "<folder>" for a folder, and
// "<link>" plus its target for a symbolic link (never followed). Hidden entries count too, so
// a temporary file left behind shows up.
QMap<QString, QByteArray> Snapshot(const QString& root) {
    QMap<QString, QByteArray> entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        const QString key = QDir(root).relativeFilePath(path);
        if (info.isSymLink())
            entries[key] = "<link>" + info.symLinkTarget().toUtf8();
        else if (info.isDir())
            entries[key] = "<folder>";
        else
            entries[key] = ReadFile(path);
    }
    return entries;
}

QStringList RowNames(const MainWindow& w) {
    QStringList names;
    for (int r = 0; r < w.RowCount(); ++r)
        names << TextToQString(w.GetCellText(r, 0));
    return names;
}

QString CaptionOf(const MainWindow& w) {
    return w.分组框1->title();
}

QString CountCaption(int n) {
    return Q("图片列表( ") + QString::number(n) + Q(" )");
}

// A shown window over a fresh temporary tree: the pictures live in <root>/pics, a destination
// folder <root>/dest exists beside them, and the list holds the named pictures, each file
// holding ContentOf(its name). The whole tree is snapshotted to see every change.
struct BatchWindow {
    QTemporaryDir root;
    QString pics;
    QString dest;
    MainWindow w;
    ScriptedDialogs& d;

    explicit BatchWindow(const QString& rootTemplate = QString())
        : root(rootTemplate.isEmpty() ? QDir::tempPath() + "/batch-XXXXXX" : rootTemplate),
          pics(root.path() + "/pics"), dest(root.path() + "/dest"), d(InstallScriptedDialogs(w)) {
        QDir().mkpath(pics);
        QDir().mkpath(dest);
        SetControlText(w.编辑框_图片路径, T(pics + "/"));
    }

    bool Ready() {
        w.show();
        return root.isValid() && QTest::qWaitForWindowExposed(&w);
    }

    void AddPictures(const QStringList& names) {
        for (const QString& name : names) {
            WriteFile(pics + "/" + name, ContentOf(name));
            w.InsertRow(T(name));
        }
        w.UpdateListCaption();
    }

    QString Pic(const QString& name) const { return pics + "/" + name; }
    QString Dst(const QString& name) const { return dest + "/" + name; }

    void Run(QRadioButton* operation) {
        QTest::mouseClick(operation, Qt::LeftButton);
        QVERIFY(IsTicked(operation));
        QTest::mouseClick(w.按钮_执行, Qt::LeftButton);
    }
};

// Runs f once, right after the walk's first file operation: queued when the list first changes
// its current row (before the operation), it runs at the first dispatch of waiting events.
void AfterFirstOperation(MainWindow& w, std::function<void()> f) {
    w.SelectRow(-1);
    QObject::connect(
        w.图片列表->selectionModel(), &QItemSelectionModel::currentRowChanged, &w,
        [&w, f] { QTimer::singleShot(0, &w, f); }, Qt::SingleShotConnection);
}

} // namespace

class TestBatch : public QObject {
    Q_OBJECT

private slots:
    void walkPictureRows_data();
    void walkPictureRows();
    void buildNewPictureName_data();
    void buildNewPictureName();
    void plainFileName_data();
    void plainFileName();
    void chooseDestinationFolder_data();
    void chooseDestinationFolder();

    void copyPictureFile_data();
    void copyPictureFile();
    void movePictureFile_data();
    void movePictureFile();
    void movePictureFileAcrossFileSystems_data();
    void movePictureFileAcrossFileSystems();
    void renamePictureFile_data();
    void renamePictureFile();
    void folderInPlaceOfPictureIsLeftAlone();

    void emptyListIsReported_data();
    void emptyListIsReported();
    void deleteAnsweredNoChangesNothing();
    void deleteListed_data();
    void deleteListed();
    void cancelledBrowseChangesNothing_data();
    void cancelledBrowseChangesNothing();
    void copyListed_data();
    void copyListed();
    void moveListed_data();
    void moveListed();
    void intoPictureFolderItself_data();
    void intoPictureFolderItself();
    void moveAcrossFileSystems();
    void renameExamples();
    void renameListed_data();
    void renameListed();
    void renameReadsPatternForEveryPicture();

    void closingDuringBatchStopsIt_data();
    void closingDuringBatchStopsIt();
    void closingDuringDeleteQuestionDeletesNothing();
    void clicksDuringBatchAreIgnored();
};

// --- The row walk. ---

void TestBatch::walkPictureRows_data() {
    QTest::addColumn<QString>("outcomes"); // one letter per row: T processed, F kept
    QTest::newRow("empty list") << "";
    QTest::newRow("single processed") << "T";
    QTest::newRow("all processed") << "TTTTT";
    QTest::newRow("none processed") << "FFFF";
    QTest::newRow("alternating") << "TFTFT";
    QTest::newRow("failures first") << "FFTTT";
    QTest::newRow("failures last") << "TTFF";
}

void TestBatch::walkPictureRows() {
    QFETCH(QString, outcomes);
    MainWindow w;
    QStringList expectedLeft;
    for (int i = 0; i < outcomes.size(); ++i) {
        const QString name = QString("row%1").arg(i);
        w.InsertRow(T(name));
        if (outcomes[i] == 'F')
            expectedLeft << name;
    }

    QStringList visited;
    const bool finished = WalkPictureRows(w, [&](const Text& name) {
        // The action sees the row it handles selected.
        if (TextToQString(w.GetCellText(w.SelectedRow(), 0)) != TextToQString(name))
            return false;
        visited << TextToQString(name);
        return outcomes[visited.size() - 1] == 'T';
    });
    QVERIFY(finished);
    QStringList all;
    for (int i = 0; i < outcomes.size(); ++i)
        all << QString("row%1").arg(i);
    QCOMPARE(visited, all);
    QCOMPARE(RowNames(w), expectedLeft);
}

// --- Names. ---

void TestBatch::buildNewPictureName_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<int>("counter");
    QTest::addColumn<QString>("oldName");
    QTest::addColumn<QString>("expected");
    QTest::newRow("placeholder") << Q("图片[i]") << 1 << "a.jpg" << Q("图片1.jpg");
    QTest::newRow("no leading zeros") << Q("图片[i]") << 10 << "j.png" << Q("图片10.png");
    QTest::newRow("twice, both cases") << "x[i]_[I]" << 7 << "a.png"
                                       << "x7_7.png";
    // The GBK code of 盵 is B1 5B, so its trail byte and "i]" look like "[i]".
    QTest::newRow("trail byte 0x5B") << Q("盵i]") << 3 << "a.jpg" << Q("盵i].jpg");
    QTest::newRow("trail byte 0x5B, then placeholder")
        << Q("盵i][i]") << 3 << "a.jpg" << Q("盵i]3.jpg");
    QTest::newRow("adjacent placeholders") << "[i][i]" << 12 << "a.gif"
                                           << "1212.gif";
    QTest::newRow("nested brackets") << "[[i]]" << 4 << "a.gif"
                                     << "[4].gif";
    QTest::newRow("unfinished placeholder") << "[i" << 1 << "a.gif"
                                            << "[i.gif";
    QTest::newRow("no placeholder") << Q("图片") << 5 << "a.gif" << Q("图片.gif");
    QTest::newRow("empty pattern") << "" << 1 << "a.jpg"
                                   << ".jpg";
    QTest::newRow("old name without dot") << Q("图片[i]") << 1 << "readme" << Q("图片1");
    QTest::newRow("old name with several dots")
        << Q("图片[i]") << 1 << "x.tar.jpg" << Q("图片1.jpg");
    QTest::newRow("extension keeps its case") << "p[i]" << 2 << "A.JPG"
                                              << "p2.JPG";
    QTest::newRow("largest counter") << "[i]" << 2147483647 << "a.bmp"
                                     << "2147483647.bmp";
}

void TestBatch::buildNewPictureName() {
    QFETCH(QString, pattern);
    QFETCH(int, counter);
    QFETCH(QString, oldName);
    QFETCH(QString, expected);
    const Text p = T(pattern);
    if (pattern.contains(Q("盵"))) // the trap is real: the bytes hold "[i]"
        QVERIFY(p.bytes().find("[i]") != std::string::npos);
    QCOMPARE(TextToQString(BuildNewPictureName(p, counter, T(oldName))), expected);
}

void TestBatch::plainFileName_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("plain");
    QTest::newRow("picture") << "a.jpg" << true;
    QTest::newRow("chinese") << Q("图片1.jpg") << true;
    QTest::newRow("extension only") << ".jpg" << true;
    QTest::newRow("two dots and extension") << "..jpg" << true;
    QTest::newRow("backslash is a plain character") << "a\\b.jpg" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("dot") << "." << false;
    QTest::newRow("dot dot") << ".." << false;
    QTest::newRow("separator") << "sub/1.jpg" << false;
    QTest::newRow("parent") << "../1.jpg" << false;
    QTest::newRow("root") << "/" << false;
    QTest::newRow("trailing separator") << "a.jpg/" << false;
    QTest::newRow("nul") << QString("a") + QChar(0) + "b.jpg" << false;
}

void TestBatch::plainFileName() {
    QFETCH(QString, name);
    QFETCH(bool, plain);
    QCOMPARE(IsPlainFileName(T(name)), plain);
}

void TestBatch::chooseDestinationFolder_data() {
    QTest::addColumn<QString>("answer"); // empty: the browser is cancelled
    QTest::addColumn<QString>("expected");
    QTest::newRow("cancelled") << ""
                               << "";
    QTest::newRow("separator added") << "/tmp/x"
                                     << "/tmp/x/";
    QTest::newRow("separator present") << "/tmp/x/"
                                       << "/tmp/x/";
    QTest::newRow("root") << "/"
                          << "/";
    QTest::newRow("chinese") << Q("/tmp/图片") << Q("/tmp/图片/");
}

void TestBatch::chooseDestinationFolder() {
    QFETCH(QString, answer);
    QFETCH(QString, expected);
    MainWindow w;
    ScriptedDialogs& d = InstallScriptedDialogs(w);
    if (!answer.isEmpty())
        d.folderAnswers.push_back(answer);
    QCOMPARE(TextToQString(ChooseDestinationFolder(w, U8("想把图片复制到哪里去？"))), expected);
    QCOMPARE(QStringList(d.browseTitles.begin(), d.browseTitles.end()),
             QStringList{Q("想把图片复制到哪里去？")});
    QVERIFY(d.messages.empty());
}

// --- Single-file operations. ---

namespace {
enum TargetSetup {
    TargetAbsent,
    TargetFile,         // another file of the same name
    TargetReadOnly,     // another file, without write bits
    TargetFolder,       // a folder of that name
    TargetHardLink,     // the source itself under the target's name
    TargetSymLinkOther, // a link to a third file
    TargetSymLinkSource // a link to the source
};

// Prepares <root>/src/<name> (unless missing) and the target <root>/dst/<name>.
void PrepareSourceAndTarget(const QString& root, const QString& name, bool sourceMissing,
                            int setup) {
    QDir().mkpath(root + "/src");
    QDir().mkpath(root + "/dst");
    const QString src = root + "/src/" + name;
    const QString dst = root + "/dst/" + name;
    if (!sourceMissing)
        WriteFile(src, ContentOf(name));
    switch (setup) {
    case TargetFile:
        WriteFile(dst, "old target");
        break;
    case TargetReadOnly:
        WriteFile(dst, "read-only target");
        MakeReadOnly(dst);
        break;
    case TargetFolder:
        QDir().mkpath(dst);
        break;
    case TargetHardLink:
        QVERIFY(::link(QFile::encodeName(src).constData(), QFile::encodeName(dst).constData()) ==
                0);
        break;
    case TargetSymLinkOther:
        WriteFile(root + "/other", "a third file");
        QVERIFY(QFile::link(root + "/other", dst));
        break;
    case TargetSymLinkSource:
        QVERIFY(QFile::link(src, dst));
        break;
    default:
        break;
    }
}
} // namespace

void TestBatch::copyPictureFile_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("sourceMissing");
    QTest::addColumn<int>("setup");
    QTest::addColumn<bool>("expected");
    const QString longName = QString(246, 'n') + ".jpg"; // 250 bytes, the limit is 255
    QTest::newRow("new target") << "a.jpg" << false << int(TargetAbsent) << true;
    QTest::newRow("replaces a file at the target") << "a.jpg" << false << int(TargetFile) << true;
    QTest::newRow("name near the length limit") << longName << false << int(TargetAbsent) << true;
    QTest::newRow("replaces a link, not what it points to")
        << "a.jpg" << false << int(TargetSymLinkOther) << true;
    QTest::newRow("missing source") << "a.jpg" << true << int(TargetAbsent) << false;
    QTest::newRow("folder at the target") << "a.jpg" << false << int(TargetFolder) << false;
    QTest::newRow("read-only file at the target")
        << "a.jpg" << false << int(TargetReadOnly) << false;
    QTest::newRow("target is the source, hard link")
        << "a.jpg" << false << int(TargetHardLink) << false;
    QTest::newRow("target is the source, symbolic link")
        << "a.jpg" << false << int(TargetSymLinkSource) << false;
}

void TestBatch::copyPictureFile() {
    QFETCH(QString, name);
    QFETCH(bool, sourceMissing);
    QFETCH(int, setup);
    QFETCH(bool, expected);
    QTemporaryDir root;
    PrepareSourceAndTarget(root.path(), name, sourceMissing, setup);
    const QString src = root.path() + "/src/" + name;
    const QString dst = root.path() + "/dst/" + name;
    QMap<QString, QByteArray> before = Snapshot(root.path());

    QCOMPARE(CopyPictureFile(T(src), T(dst)), expected);

    QMap<QString, QByteArray> after = before;
    if (expected)
        after["dst/" + name] = ContentOf(name);
    QCOMPARE(Snapshot(root.path()), after);
}

void TestBatch::movePictureFile_data() {
    QTest::addColumn<bool>("sourceMissing");
    QTest::addColumn<int>("setup");
    QTest::addColumn<bool>("expected");
    QTest::newRow("new target") << false << int(TargetAbsent) << true;
    QTest::newRow("replaces a file at the target") << false << int(TargetFile) << true;
    QTest::newRow("replaces a link, not what it points to")
        << false << int(TargetSymLinkOther) << true;
    QTest::newRow("missing source") << true << int(TargetAbsent) << false;
    QTest::newRow("folder at the target") << false << int(TargetFolder) << false;
    QTest::newRow("read-only file at the target") << false << int(TargetReadOnly) << false;
    // The only copy of the picture must survive these.
    QTest::newRow("target is the source, hard link") << false << int(TargetHardLink) << false;
    QTest::newRow("target is the source, symbolic link")
        << false << int(TargetSymLinkSource) << false;
}

void TestBatch::movePictureFile() {
    QFETCH(bool, sourceMissing);
    QFETCH(int, setup);
    QFETCH(bool, expected);
    QTemporaryDir root;
    PrepareSourceAndTarget(root.path(), "a.jpg", sourceMissing, setup);
    const QString src = root.path() + "/src/a.jpg";
    const QString dst = root.path() + "/dst/a.jpg";
    QMap<QString, QByteArray> before = Snapshot(root.path());

    QCOMPARE(MovePictureFile(T(src), T(dst)), expected);

    QMap<QString, QByteArray> after = before;
    if (expected) {
        after.remove("src/a.jpg");
        after["dst/a.jpg"] = ContentOf("a.jpg");
    }
    QCOMPARE(Snapshot(root.path()), after);
}

void TestBatch::movePictureFileAcrossFileSystems_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<bool>("targetExists");
    QTest::newRow("plain") << "a.jpg" << false << false;
    QTest::newRow("replaces a file at the target") << "a.jpg" << false << true;
    QTest::newRow("name near the length limit") << QString(246, 'n') + ".jpg" << false << false;
    // The copy is made but the source may not be deleted: the picture is then in both folders.
    QTest::newRow("read-only source stays") << "a.jpg" << true << false;
}

void TestBatch::movePictureFileAcrossFileSystems() {
    QFETCH(QString, name);
    QFETCH(bool, readOnly);
    QFETCH(bool, targetExists);
    QTemporaryDir shm("/dev/shm/batch-XXXXXX");
    QTemporaryDir disk;
    if (!shm.isValid())
        QSKIP("/dev/shm is not available");
    struct stat a;
    struct stat b;
    QVERIFY(::stat(QFile::encodeName(shm.path()).constData(), &a) == 0);
    QVERIFY(::stat(QFile::encodeName(disk.path()).constData(), &b) == 0);
    if (a.st_dev == b.st_dev)
        QSKIP("/dev/shm and the temporary folder are one file system here");

    const QString src = shm.path() + "/" + name;
    const QString dst = disk.path() + "/" + name;
    QVERIFY(WriteFile(src, ContentOf(name)));
    if (readOnly)
        MakeReadOnly(src);
    if (targetExists)
        QVERIFY(WriteFile(dst, "old target"));

    // The rename cannot cross file systems and leaves both sides alone ...
    QVERIFY(!fsys::RenameNoReplace(T(src), T(dst)));
    QCOMPARE(ReadFile(src), ContentOf(name));
    QCOMPARE(QFileInfo::exists(dst), targetExists);

    // ... so the move goes through the copy and leaves exactly one copy.
    QVERIFY(MovePictureFile(T(src), T(dst)));
    QCOMPARE(ReadFile(dst), ContentOf(name));
    QCOMPARE(Snapshot(disk.path()).keys(), QStringList{name});
    if (readOnly)
        QCOMPARE(Snapshot(shm.path()), (QMap<QString, QByteArray>{{name, ContentOf(name)}}));
    else
        QVERIFY(Snapshot(shm.path()).isEmpty());
}

void TestBatch::renamePictureFile_data() {
    QTest::addColumn<QString>("newName");
    QTest::addColumn<bool>("sourceMissing");
    QTest::addColumn<QString>("existing"); // "file" or "folder" at the new name, or ""
    QTest::addColumn<bool>("expected");
    QTest::newRow("new name") << Q("图片1.jpg") << false << "" << true;
    QTest::newRow("the name it bears") << "a.jpg" << false << "" << true;
    QTest::newRow("file at the new name") << Q("图片1.jpg") << false << "file" << false;
    QTest::newRow("folder at the new name") << Q("图片1.jpg") << false << "folder" << false;
    QTest::newRow("missing file") << Q("图片1.jpg") << true << "" << false;
}

void TestBatch::renamePictureFile() {
    QFETCH(QString, newName);
    QFETCH(bool, sourceMissing);
    QFETCH(QString, existing);
    QFETCH(bool, expected);
    QTemporaryDir root;
    const QString oldPath = root.path() + "/a.jpg";
    const QString newPath = root.path() + "/" + newName;
    if (!sourceMissing)
        QVERIFY(WriteFile(oldPath, ContentOf("a.jpg")));
    if (existing == "file")
        QVERIFY(WriteFile(newPath, "taken"));
    else if (existing == "folder")
        QVERIFY(QDir().mkpath(newPath));
    QMap<QString, QByteArray> before = Snapshot(root.path());

    QCOMPARE(RenamePictureFile(T(oldPath), T(newPath)), expected);

    QMap<QString, QByteArray> after = before;
    if (expected) {
        after.remove("a.jpg");
        after[newName] = ContentOf("a.jpg");
    }
    QCOMPARE(Snapshot(root.path()), after);
}

// A folder that took a listed picture's name mid-batch is not the picture: neither a rename
// nor a move touches it.
void TestBatch::folderInPlaceOfPictureIsLeftAlone() {
    QTemporaryDir root;
    QVERIFY(QDir().mkpath(root.path() + "/pics/x.jpg"));
    QVERIFY(QDir().mkpath(root.path() + "/dst"));
    QVERIFY(WriteFile(root.path() + "/pics/x.jpg/inner.jpg", ContentOf("inner.jpg")));
    const QMap<QString, QByteArray> before = Snapshot(root.path());

    QVERIFY(!RenamePictureFile(T(root.path() + "/pics/x.jpg"), T(root.path() + "/pics/y.jpg")));
    QVERIFY(!MovePictureFile(T(root.path() + "/pics/x.jpg"), T(root.path() + "/dst/x.jpg")));
    QVERIFY(!DeletePictureFile(T(root.path() + "/pics/x.jpg")));
    QVERIFY(!CopyPictureFile(T(root.path() + "/pics/x.jpg"), T(root.path() + "/dst/x.jpg")));
    QCOMPARE(Snapshot(root.path()), before);
    QVERIFY(QFileInfo(root.path() + "/pics/x.jpg").isDir());
    QVERIFY(!QFileInfo::exists(root.path() + "/dst/x.jpg"));
}

// --- The batch through the window. ---

void TestBatch::emptyListIsReported_data() {
    QTest::addColumn<QString>("radio");
    QTest::newRow("delete") << "单选框1";
    QTest::newRow("copy") << "单选框2";
    QTest::newRow("move") << "单选框3";
    QTest::newRow("rename") << "单选框4";
}

void TestBatch::emptyListIsReported() {
    QFETCH(QString, radio);
    BatchWindow b;
    QVERIFY(b.Ready());
    b.d.folderAnswers.push_back(b.dest);
    b.Run(b.w.findChild<QRadioButton*>(radio));
    QCOMPARE(b.d.messages.size(), size_t(1));
    QCOMPARE(b.d.messages[0].text, Q("没有图片等待处理"));
    QCOMPARE(b.d.messages[0].caption, Q("!"));
    QCOMPARE(b.d.messages[0].flags, 64);
    QVERIFY(b.d.browseTitles.empty());
}

void TestBatch::deleteAnsweredNoChangesNothing() {
    BatchWindow b;
    QVERIFY(b.Ready());
    const QStringList names{"1.jpg", "2.jpg", "3.png", "4.gif", "5.bmp"};
    b.AddPictures(names);
    const auto before = Snapshot(b.root.path());

    b.Run(b.w.单选框1); // the unscripted question is answered No

    QCOMPARE(b.d.messages.size(), size_t(1));
    QCOMPARE(b.d.messages[0].text, Q("真的要删除这5张图片吗？"));
    QCOMPARE(b.d.messages[0].caption, Q("核对"));
    QCOMPARE(b.d.messages[0].flags, 36);
    QCOMPARE(RowNames(b.w), names);
    QCOMPARE(CaptionOf(b.w), CountCaption(5));
    QCOMPARE(Snapshot(b.root.path()), before);
}

void TestBatch::deleteListed_data() {
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("readOnly");
    QTest::addColumn<QStringList>("vanished");
    QTest::addColumn<QStringList>("folders"); // a folder in place of the listed file
    QTest::addColumn<QStringList>("left");
    const QStringList abc{"a.jpg", "b.jpg", "c.jpg"};
    QTest::newRow("all deleted") << abc << QStringList() << QStringList() << QStringList()
                                 << QStringList();
    QTest::newRow("second read-only")
        << abc << QStringList{"b.jpg"} << QStringList() << QStringList() << QStringList{"b.jpg"};
    QTest::newRow("first and last read-only")
        << abc << QStringList{"a.jpg", "c.jpg"} << QStringList() << QStringList()
        << QStringList{"a.jpg", "c.jpg"};
    QTest::newRow("vanished picture")
        << abc << QStringList() << QStringList{"a.jpg"} << QStringList() << QStringList{"a.jpg"};
    QTest::newRow("folder where a file was")
        << abc << QStringList() << QStringList() << QStringList{"c.jpg"} << QStringList{"c.jpg"};
}

void TestBatch::deleteListed() {
    QFETCH(QStringList, names);
    QFETCH(QStringList, readOnly);
    QFETCH(QStringList, vanished);
    QFETCH(QStringList, folders);
    QFETCH(QStringList, left);
    BatchWindow b;
    QVERIFY(b.Ready());
    b.AddPictures(names);
    WriteFile(b.Pic("unlisted.jpg"), "not in the list");
    for (const QString& n : readOnly)
        MakeReadOnly(b.Pic(n));
    for (const QString& n : vanished)
        QFile::remove(b.Pic(n));
    for (const QString& n : folders) {
        QFile::remove(b.Pic(n));
        QDir().mkpath(b.Pic(n));
    }
    auto expected = Snapshot(b.root.path());
    for (const QString& n : names)
        if (!left.contains(n))
            expected.remove("pics/" + n);
    b.d.messageAnswers.push_back(ButtonYes);

    b.Run(b.w.单选框1);

    QCOMPARE(RowNames(b.w), left);
    QCOMPARE(CaptionOf(b.w), CountCaption(int(left.size())));
    QCOMPARE(b.d.messages.size(), size_t(1)); // the question only, no closing message
    QCOMPARE(b.d.messages[0].text,
             Q("真的要删除这") + QString::number(names.size()) + Q("张图片吗？"));
    QCOMPARE(Snapshot(b.root.path()), expected);
}

void TestBatch::cancelledBrowseChangesNothing_data() {
    QTest::addColumn<QString>("radio");
    QTest::addColumn<QString>("prompt");
    QTest::newRow("copy") << "单选框2" << Q("想把图片复制到哪里去？");
    QTest::newRow("move") << "单选框3" << Q("想把图片剪切到哪里去？");
}

void TestBatch::cancelledBrowseChangesNothing() {
    QFETCH(QString, radio);
    QFETCH(QString, prompt);
    BatchWindow b;
    QVERIFY(b.Ready());
    b.AddPictures({"a.jpg", "b.jpg"});
    SetControlText(b.w.分组框1, U8("untouched"));
    const auto before = Snapshot(b.root.path());

    b.Run(b.w.findChild<QRadioButton*>(radio)); // the unscripted browse cancels

    QCOMPARE(QStringList(b.d.browseTitles.begin(), b.d.browseTitles.end()), QStringList{prompt});
    QVERIFY(b.d.messages.empty());
    QCOMPARE(RowNames(b.w), (QStringList{"a.jpg", "b.jpg"}));
    QCOMPARE(CaptionOf(b.w), Q("untouched"));
    QCOMPARE(Snapshot(b.root.path()), before);
}

void TestBatch::copyListed_data() {
    QTest::addColumn<QStringList>("vanished");
    QTest::addColumn<QStringList>("atTarget"); // other files of the same name in the destination
    QTest::addColumn<QStringList>("readOnlyAtTarget");
    QTest::addColumn<QStringList>("foldersAtTarget");
    QTest::addColumn<QStringList>("failed");
    QTest::newRow("all copied") << QStringList() << QStringList() << QStringList() << QStringList()
                                << QStringList();
    QTest::newRow("replaces a file at the target")
        << QStringList() << QStringList{"b.jpg"} << QStringList() << QStringList() << QStringList();
    QTest::newRow("vanished picture") << QStringList{"b.jpg"} << QStringList() << QStringList()
                                      << QStringList() << QStringList{"b.jpg"};
    QTest::newRow("read-only file at the target is kept")
        << QStringList() << QStringList() << QStringList{"a.jpg"} << QStringList()
        << QStringList{"a.jpg"};
    QTest::newRow("folder at the target")
        << QStringList() << QStringList() << QStringList() << QStringList{"a.jpg", "c.png"}
        << QStringList{"a.jpg", "c.png"};
}

void TestBatch::copyListed() {
    QFETCH(QStringList, vanished);
    QFETCH(QStringList, atTarget);
    QFETCH(QStringList, readOnlyAtTarget);
    QFETCH(QStringList, foldersAtTarget);
    QFETCH(QStringList, failed);
    BatchWindow b;
    QVERIFY(b.Ready());
    const QStringList names{"a.jpg", "b.jpg", "c.png"};
    b.AddPictures(names);
    for (const QString& n : vanished)
        QFile::remove(b.Pic(n));
    for (const QString& n : atTarget)
        WriteFile(b.Dst(n), "older picture");
    for (const QString& n : readOnlyAtTarget) {
        WriteFile(b.Dst(n), "protected picture");
        MakeReadOnly(b.Dst(n));
    }
    for (const QString& n : foldersAtTarget)
        QDir().mkpath(b.Dst(n));
    SetControlText(b.w.分组框1, U8("untouched"));
    auto expected = Snapshot(b.root.path());
    for (const QString& n : names)
        if (!failed.contains(n))
            expected["dest/" + n] = ContentOf(n);
    b.d.folderAnswers.push_back(b.dest);

    b.Run(b.w.单选框2);

    QCOMPARE(QStringList(b.d.browseTitles.begin(), b.d.browseTitles.end()),
             QStringList{Q("想把图片复制到哪里去？")});
    QCOMPARE(b.d.messages.size(), size_t(1));
    if (failed.isEmpty()) {
        QCOMPARE(b.d.messages[0].text, Q("复制完成"));
        QCOMPARE(b.d.messages[0].flags, 64);
    } else {
        QCOMPARE(b.d.messages[0].text, Q("复制已完成，但有") + QString::number(failed.size()) +
                                           Q("个图片无法复制，请检查是否已被其他程序打开"));
        QCOMPARE(b.d.messages[0].flags, 48);
    }
    QCOMPARE(b.d.messages[0].caption, Q("提示"));
    QCOMPARE(RowNames(b.w), names);
    QCOMPARE(CaptionOf(b.w), Q("untouched"));
    QCOMPARE(Snapshot(b.root.path()), expected);
}

void TestBatch::moveListed_data() {
    QTest::addColumn<QStringList>("vanished");
    QTest::addColumn<QStringList>("atTarget");
    QTest::addColumn<QStringList>("readOnlyAtTarget");
    QTest::addColumn<QStringList>("foldersAtTarget");
    QTest::addColumn<QStringList>("left");
    QTest::newRow("all moved") << QStringList() << QStringList() << QStringList() << QStringList()
                               << QStringList();
    QTest::newRow("replaces a file at the target")
        << QStringList() << QStringList{"b.jpg"} << QStringList() << QStringList() << QStringList();
    QTest::newRow("two fail both ways")
        << QStringList() << QStringList() << QStringList() << QStringList{"b.jpg", "d.gif"}
        << QStringList{"b.jpg", "d.gif"};
    QTest::newRow("vanished picture") << QStringList{"a.jpg"} << QStringList() << QStringList()
                                      << QStringList() << QStringList{"a.jpg"};
    QTest::newRow("read-only file at the target is kept")
        << QStringList() << QStringList() << QStringList{"c.png"} << QStringList()
        << QStringList{"c.png"};
}

void TestBatch::moveListed() {
    QFETCH(QStringList, vanished);
    QFETCH(QStringList, atTarget);
    QFETCH(QStringList, readOnlyAtTarget);
    QFETCH(QStringList, foldersAtTarget);
    QFETCH(QStringList, left);
    BatchWindow b;
    QVERIFY(b.Ready());
    const QStringList names{"a.jpg", "b.jpg", "c.png", "d.gif"};
    b.AddPictures(names);
    for (const QString& n : vanished)
        QFile::remove(b.Pic(n));
    for (const QString& n : atTarget)
        WriteFile(b.Dst(n), "older picture");
    for (const QString& n : readOnlyAtTarget) {
        WriteFile(b.Dst(n), "protected picture");
        MakeReadOnly(b.Dst(n));
    }
    for (const QString& n : foldersAtTarget)
        QDir().mkpath(b.Dst(n));
    auto expected = Snapshot(b.root.path());
    for (const QString& n : names) {
        if (!left.contains(n)) {
            expected.remove("pics/" + n);
            expected["dest/" + n] = ContentOf(n);
        }
    }
    b.d.folderAnswers.push_back(b.dest);

    b.Run(b.w.单选框3);

    QCOMPARE(QStringList(b.d.browseTitles.begin(), b.d.browseTitles.end()),
             QStringList{Q("想把图片剪切到哪里去？")});
    QCOMPARE(RowNames(b.w), left);
    QCOMPARE(CaptionOf(b.w), CountCaption(int(left.size())));
    QCOMPARE(b.d.messages.size(), size_t(1));
    if (left.isEmpty()) {
        QCOMPARE(b.d.messages[0].text, Q("所有图片剪切完成"));
        QCOMPARE(b.d.messages[0].flags, 64);
    } else {
        QCOMPARE(b.d.messages[0].text, Q("剪切已完成，但有") + QString::number(left.size()) +
                                           Q("个图片无法剪切，请检查是否已被其他程序打开"));
        QCOMPARE(b.d.messages[0].flags, 48);
    }
    QCOMPARE(b.d.messages[0].caption, Q("提示"));
    QCOMPARE(Snapshot(b.root.path()), expected);
}

void TestBatch::intoPictureFolderItself_data() {
    QTest::addColumn<QString>("radio");
    QTest::addColumn<QString>("spelling"); // how the destination names the picture folder
    const char* spellings[] = {"same path", "symbolic link", "dot in the path"};
    for (const char* s : spellings) {
        QTest::newRow(qPrintable(QString("copy, ") + s)) << "单选框2" << s;
        QTest::newRow(qPrintable(QString("move, ") + s)) << "单选框3" << s;
    }
}

void TestBatch::intoPictureFolderItself() {
    QFETCH(QString, radio);
    QFETCH(QString, spelling);
    BatchWindow b;
    QVERIFY(b.Ready());
    const QStringList names{"a.jpg", "b.png", "c.gif"};
    b.AddPictures(names);
    QString destination = b.pics;
    if (spelling == "symbolic link") {
        destination = b.root.path() + "/link";
        QVERIFY(QFile::link(b.pics, destination));
    } else if (spelling == "dot in the path") {
        destination = b.pics + "/.";
    }
    const auto before = Snapshot(b.root.path());
    b.d.folderAnswers.push_back(destination);

    b.Run(b.w.findChild<QRadioButton*>(radio));

    // Every picture is still there, once, with its own bytes, and nothing was added.
    QCOMPARE(Snapshot(b.root.path()), before);
    QCOMPARE(b.d.messages.size(), size_t(1));
    if (radio == "单选框2") {
        // A copy onto itself is a failed copy, and it is reported.
        QCOMPARE(b.d.messages[0].text,
                 Q("复制已完成，但有3个图片无法复制，请检查是否已被其他程序打开"));
        QCOMPARE(b.d.messages[0].flags, 48);
        QCOMPARE(RowNames(b.w), names);
    } else {
        // Each picture already is in the destination folder under its name.
        QCOMPARE(b.d.messages[0].text, Q("所有图片剪切完成"));
        QCOMPARE(RowNames(b.w), QStringList());
    }
}

void TestBatch::moveAcrossFileSystems() {
    BatchWindow b("/dev/shm/batch-XXXXXX");
    if (!b.root.isValid())
        QSKIP("/dev/shm is not available");
    QVERIFY(b.Ready());
    QTemporaryDir disk;
    struct stat a;
    struct stat c;
    QVERIFY(::stat(QFile::encodeName(b.pics).constData(), &a) == 0);
    QVERIFY(::stat(QFile::encodeName(disk.path()).constData(), &c) == 0);
    if (a.st_dev == c.st_dev)
        QSKIP("/dev/shm and the temporary folder are one file system here");
    const QStringList names{"a.jpg", Q("图片.png"), "c.gif"};
    b.AddPictures(names);
    WriteFile(disk.path() + "/c.gif", "older picture");
    b.d.folderAnswers.push_back(disk.path());

    b.Run(b.w.单选框3);

    QCOMPARE(RowNames(b.w), QStringList());
    QCOMPARE(b.d.messages.size(), size_t(1));
    QCOMPARE(b.d.messages[0].text, Q("所有图片剪切完成"));
    QMap<QString, QByteArray> moved;
    for (const QString& n : names)
        moved[n] = ContentOf(n);
    QCOMPARE(Snapshot(disk.path()), moved);
    QVERIFY(Snapshot(b.pics).isEmpty());
}

void TestBatch::renameExamples() {
    BatchWindow b;
    QVERIFY(b.Ready());
    b.AddPictures({"a.jpg", "b.png", "c.gif"});

    b.Run(b.w.单选框4);

    QCOMPARE(RowNames(b.w), QStringList());
    QCOMPARE(CaptionOf(b.w), CountCaption(0));
    QCOMPARE(b.d.messages.size(), size_t(1));
    QCOMPARE(b.d.messages[0].text, Q("所有图片改名完成"));
    QCOMPARE(b.d.messages[0].caption, Q("提示"));
    QCOMPARE(b.d.messages[0].flags, 64);
    const QMap<QString, QByteArray> expected{{Q("pics/图片1.jpg"), ContentOf("a.jpg")},
                                             {Q("pics/图片2.png"), ContentOf("b.png")},
                                             {Q("pics/图片3.gif"), ContentOf("c.gif")},
                                             {"pics", "<folder>"},
                                             {"dest", "<folder>"}};
    QCOMPARE(Snapshot(b.root.path()), expected);
}

void TestBatch::renameListed_data() {
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QStringList>("present"); // other files already in the picture folder
    QTest::addColumn<QStringList>("vanished");
    QTest::addColumn<QStringList>("renames"); // "old>new" for every rename that succeeds

    QTest::newRow("collision with an existing name")
        << QStringList{"a.jpg", "b.jpg", "c.png"} << Q("图片[i]") << QStringList{Q("图片2.jpg")}
        << QStringList() << QStringList{Q("a.jpg>图片1.jpg"), Q("c.png>图片2.png")};
    QStringList ten;
    QStringList tenRenames;
    for (int i = 1; i <= 10; ++i) {
        ten << QString("p%1.jpg").arg(i, 2, 10, QChar('0'));
        tenRenames << ten.last() + Q(">图片") + QString::number(i) + ".jpg";
    }
    QTest::newRow("ten pictures") << ten << Q("图片[i]") << QStringList() << QStringList()
                                  << tenRenames;
    QTest::newRow("vanished picture keeps the counter")
        << QStringList{"a.jpg", "b.jpg"} << Q("图片[i]") << QStringList() << QStringList{"a.jpg"}
        << QStringList{Q("b.jpg>图片1.jpg")};
    QTest::newRow("the name a picture already bears")
        << QStringList{Q("图片1.jpg"), "x.jpg"} << Q("图片[i]") << QStringList() << QStringList()
        << QStringList{Q("图片1.jpg>图片1.jpg"), Q("x.jpg>图片2.jpg")};
    QTest::newRow("no placeholder")
        << QStringList{"a.jpg", "b.jpg", "c.png"} << Q("同名") << QStringList() << QStringList()
        << QStringList{Q("a.jpg>同名.jpg"), Q("c.png>同名.png")};
    QTest::newRow("empty pattern") << QStringList{"a.jpg", "b.jpg"} << "" << QStringList()
                                   << QStringList() << QStringList{"a.jpg>.jpg"};
    QTest::newRow("names without and with several dots")
        << QStringList{"readme", "x.tar.jpg"} << "n[i]" << QStringList() << QStringList()
        << QStringList{"readme>n1", "x.tar.jpg>n2.jpg"};
    // Patterns that would lead out of the picture folder: every rename fails.
    QTest::newRow("separator") << QStringList{"a.jpg", "b.jpg"} << "sub/[i]" << QStringList()
                               << QStringList() << QStringList();
    QTest::newRow("parent folder") << QStringList{"a.jpg", "b.jpg"} << "../[i]" << QStringList()
                                   << QStringList() << QStringList();
    QTest::newRow("dot dot") << QStringList{"a", "b"} << ".." << QStringList() << QStringList()
                             << QStringList();
    QTest::newRow("dot") << QStringList{"a", "b"} << "." << QStringList() << QStringList()
                         << QStringList();
}

void TestBatch::renameListed() {
    QFETCH(QStringList, names);
    QFETCH(QString, pattern);
    QFETCH(QStringList, present);
    QFETCH(QStringList, vanished);
    QFETCH(QStringList, renames);
    BatchWindow b;
    QVERIFY(b.Ready());
    b.AddPictures(names);
    QDir().mkpath(b.Pic("sub"));
    for (const QString& n : present)
        WriteFile(b.Pic(n), "already here");
    for (const QString& n : vanished)
        QFile::remove(b.Pic(n));
    SetControlText(b.w.编辑框_改名, T(pattern));
    auto expected = Snapshot(b.root.path());
    QStringList left = names;
    for (const QString& r : renames) {
        const QString from = r.section('>', 0, 0);
        const QString to = r.section('>', 1);
        expected.remove("pics/" + from);
        expected["pics/" + to] = ContentOf(from);
        left.removeOne(from);
    }

    b.Run(b.w.单选框4);

    QCOMPARE(RowNames(b.w), left);
    QCOMPARE(CaptionOf(b.w), CountCaption(int(left.size())));
    QCOMPARE(b.d.messages.size(), size_t(1));
    if (left.isEmpty()) {
        QCOMPARE(b.d.messages[0].text, Q("所有图片改名完成"));
        QCOMPARE(b.d.messages[0].flags, 64);
    } else {
        QCOMPARE(b.d.messages[0].text, Q("改名已完成，但有") + QString::number(left.size()) +
                                           Q("个图片无法改名，请检查是否已被其他程序打开"));
        QCOMPARE(b.d.messages[0].flags, 48);
    }
    QCOMPARE(b.d.messages[0].caption, Q("提示"));
    QCOMPARE(Snapshot(b.root.path()), expected);
}

void TestBatch::renameReadsPatternForEveryPicture() {
    BatchWindow b;
    QVERIFY(b.Ready());
    b.AddPictures({"a.jpg", "b.jpg", "c.jpg"});
    AfterFirstOperation(b.w, [&b] { SetControlText(b.w.编辑框_改名, U8("新[i]")); });

    b.Run(b.w.单选框4);

    QCOMPARE(RowNames(b.w), QStringList());
    QCOMPARE(Snapshot(b.pics).keys(), (QStringList{Q("图片1.jpg"), Q("新2.jpg"), Q("新3.jpg")}));
}

// --- Closing and clicking during a batch. ---

void TestBatch::closingDuringBatchStopsIt_data() {
    QTest::addColumn<QString>("radio");
    QTest::newRow("delete") << "单选框1";
    QTest::newRow("copy") << "单选框2";
    QTest::newRow("move") << "单选框3";
    QTest::newRow("rename") << "单选框4";
}

void TestBatch::closingDuringBatchStopsIt() {
    QFETCH(QString, radio);
    BatchWindow b;
    QVERIFY(b.Ready());
    const QStringList names{"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"};
    b.AddPictures(names);
    b.d.messageAnswers.push_back(ButtonYes);
    b.d.folderAnswers.push_back(b.dest);
    AfterFirstOperation(b.w, [&b] { b.w.close(); });

    b.Run(b.w.findChild<QRadioButton*>(radio));

    QVERIFY(b.w.IsClosed());
    // Only the first picture was handled, and no closing message followed.
    const auto pics = Snapshot(b.pics);
    const auto dest = Snapshot(b.dest);
    const QStringList untouched = names.mid(1);
    for (const QString& n : untouched)
        QCOMPARE(pics.value(n), ContentOf(n));
    if (radio == "单选框1") {
        QCOMPARE(pics.keys(), untouched);
        QCOMPARE(b.d.messages.size(), size_t(1)); // the question
    } else {
        QVERIFY(b.d.messages.empty());
    }
    if (radio == "单选框2") {
        QCOMPARE(pics.keys(), names);
        QCOMPARE(dest, (QMap<QString, QByteArray>{{"a.jpg", ContentOf("a.jpg")}}));
    } else if (radio == "单选框3") {
        QCOMPARE(pics.keys(), untouched);
        QCOMPARE(dest, (QMap<QString, QByteArray>{{"a.jpg", ContentOf("a.jpg")}}));
    } else if (radio == "单选框4") {
        QCOMPARE(pics.keys(), QStringList(untouched) << Q("图片1.jpg"));
    }
}

void TestBatch::closingDuringDeleteQuestionDeletesNothing() {
    BatchWindow b;
    QVERIFY(b.Ready());
    b.AddPictures({"a.jpg", "b.jpg"});
    const auto before = Snapshot(b.root.path());
    b.d.messageAnswers.push_back(ButtonYes);
    b.d.onMessage = [&b](const ScriptedDialogs::Message&) {
        b.w.close();
    };

    b.Run(b.w.单选框1);

    QCOMPARE(b.d.messages.size(), size_t(1));
    QCOMPARE(Snapshot(b.root.path()), before);
}

void TestBatch::clicksDuringBatchAreIgnored() {
    BatchWindow b;
    QVERIFY(b.Ready());
    b.AddPictures({"a.jpg", "b.jpg", "c.jpg"});
    b.d.messageAnswers.push_back(ButtonYes); // would let a nested delete go ahead
    AfterFirstOperation(b.w, [&b] {
        QTest::mouseClick(b.w.单选框1, Qt::LeftButton);
        QTest::mouseClick(b.w.按钮_执行, Qt::LeftButton);
    });

    b.Run(b.w.单选框4);

    // The rename ran to its end; the second click on "执行" started nothing.
    QCOMPARE(b.d.messages.size(), size_t(1));
    QCOMPARE(b.d.messages[0].text, Q("所有图片改名完成"));
    QCOMPARE(Snapshot(b.pics).keys(),
             (QStringList{Q("图片1.jpg"), Q("图片2.jpg"), Q("图片3.jpg")}));
}

QTEST_MAIN(TestBatch)
#include "test_batch.moc"
