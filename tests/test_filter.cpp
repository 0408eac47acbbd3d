#include <cmath>
#include <limits>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>
#include <QtTest>

#include "app/MainWindow.h"
#include "filter/Filter.h"
#include "support/ScriptedDialogs.h"

Q_DECLARE_METATYPE(Comparison)

namespace {

QString Q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// A 54-byte BMP header (no pixels) that states the given width and height.
QByteArray BmpHeader(qint32 width, qint32 height) {
    QByteArray bmp(54, '\0');
    bmp[0] = 'B';
    bmp[1] = 'M';
    qToLittleEndian<quint32>(54, bmp.data() + 2);
    qToLittleEndian<quint32>(54, bmp.data() + 10);
    qToLittleEndian<quint32>(40, bmp.data() + 14);
    qToLittleEndian<qint32>(width, bmp.data() + 18);
    qToLittleEndian<qint32>(height, bmp.data() + 22);
    qToLittleEndian<quint16>(1, bmp.data() + 26);
    qToLittleEndian<quint16>(24, bmp.data() + 28);
    return bmp;
}

QByteArray EncodedPicture(int width, int height, const char* format) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// A window over a temporary picture folder, with scripted dialogs and every condition unticked.
struct Fixture {
    QTemporaryDir dir;
    MainWindow w;
    ScriptedDialogs& d;

    Fixture() : d(InstallScriptedDialogs(w)) {
        w.show();
        SetControlText(w.编辑框_图片路径, TextFromQString(dir.path() + "/"));
        for (QCheckBox* box : {w.选择框1, w.选择框2, w.选择框3, w.选择框4})
            box->setChecked(false);
    }

    // Writes the file and lists it with its size as the scan shows it.
    void addFile(const QString& name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), bytes.size());
        file.close();
        const int row = w.InsertRow(TextFromQString(name));
        w.SetCellText(row, 1, SingleToText(float(RoundToDecimals(bytes.size() / 1000.0, 2))));
    }
    void addPicture(const QString& name, int width, int height) {
        const char* format = name.endsWith(".jpg") ? "JPG" : name.endsWith(".bmp") ? "BMP" : "PNG";
        addFile(name, EncodedPicture(width, height, format));
    }
    // A row whose file is not there (deleted since the scan).
    void addMissing(const QString& name) { w.InsertRow(TextFromQString(name)); }

    // Ticks condition 1 (width) to 4 (size) with its comparison index and value.
    void tick(int condition, int comboIndex, const QString& value) {
        QComboBox* combos[] = {w.组合框1, w.组合框2, w.组合框3, w.组合框4};
        QLineEdit* values[] = {w.编辑框_宽度, w.编辑框_高度, w.编辑框_宽高比, w.编辑框_文件大小};
        setTicked(condition, true);
        combos[condition - 1]->setCurrentIndex(comboIndex);
        SetControlText(values[condition - 1], TextFromQString(value));
    }
    void setTicked(int condition, bool ticked) {
        QCheckBox* boxes[] = {w.选择框1, w.选择框2, w.选择框3, w.选择框4};
        boxes[condition - 1]->setChecked(ticked);
    }

    void clickFilter() { QTest::mouseClick(w.按钮_筛选图片, Qt::LeftButton); }

    QStringList names() const {
        QStringList out;
        for (int row = 0; row < w.RowCount(); ++row)
            out << TextToQString(w.GetCellText(row, 0));
        return out;
    }
    QString caption() const { return w.分组框1->title(); }
};

QString CaptionFor(int rows) {
    return Q("图片列表( ") + QString::number(rows) + Q(" )");
}

} // namespace

class TestFilter : public QObject {
    Q_OBJECT

private slots:
    void comparisonFromIndex_data();
    void comparisonFromIndex();
    void keepsInteger_data();
    void keepsInteger();
    void keepsReal_data();
    void keepsReal();
    void keepsSize_data();
    void keepsSize();

    void inputErrors_data();
    void inputErrors();

    void widthCondition_data();
    void widthCondition();
    void ratioCondition_data();
    void ratioCondition();
    void sizeCondition_data();
    void sizeCondition();
    void severalConditions_data();
    void severalConditions();
    void emptyList();
    void everyRowFails();

    void eachRowReadShownAndMeasuredOnce_data();
    void eachRowReadShownAndMeasuredOnce();
    void conditionsAreReadAfreshForEachRow();
    void commandsClickedDuringPassChangeNothing();
    void closingTheWindowEndsThePass();
};

void TestFilter::comparisonFromIndex_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<Comparison>("expected");
    QTest::newRow("0 =") << 0 << Comparison::Equal;
    QTest::newRow("1 >") << 1 << Comparison::AtLeast;
    QTest::newRow("2 <") << 2 << Comparison::AtMost;
    QTest::newRow("-1 nothing selected") << -1 << Comparison::AtMost;
    QTest::newRow("3") << 3 << Comparison::AtMost;
    QTest::newRow("int min") << std::numeric_limits<int>::min() << Comparison::AtMost;
}

void TestFilter::comparisonFromIndex() {
    QFETCH(int, index);
    QFETCH(Comparison, expected);
    QCOMPARE(ComparisonFromIndex(index), expected);
}

void TestFilter::keepsInteger_data() {
    QTest::addColumn<Comparison>("comparison");
    QTest::addColumn<int>("measure");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("keep");
    const auto eq = Comparison::Equal;
    const auto ge = Comparison::AtLeast;
    const auto le = Comparison::AtMost;
    QTest::newRow("= equal") << eq << 800 << 800 << true;
    QTest::newRow("= one more") << eq << 801 << 800 << false;
    QTest::newRow("= one less") << eq << 799 << 800 << false;
    QTest::newRow("> equal") << ge << 800 << 800 << true;
    QTest::newRow("> more") << ge << 801 << 800 << true;
    QTest::newRow("> less") << ge << 799 << 800 << false;
    QTest::newRow("< equal") << le << 800 << 800 << true;
    QTest::newRow("< less") << le << 799 << 800 << true;
    QTest::newRow("< more") << le << 801 << 800 << false;
    // A top-down or unreadable picture can measure negative; compared as signed integers.
    QTest::newRow("< negative measure") << le << -480 << 0 << true;
    QTest::newRow("> negative value") << ge << 0 << -1 << true;
    QTest::newRow("> extremes") << ge << std::numeric_limits<int>::max()
                                << std::numeric_limits<int>::min() << true;
}

void TestFilter::keepsInteger() {
    QFETCH(Comparison, comparison);
    QFETCH(int, measure);
    QFETCH(int, value);
    QFETCH(bool, keep);
    QCOMPARE(KeepsInteger(comparison, measure, value), keep);
}

void TestFilter::keepsReal_data() {
    QTest::addColumn<Comparison>("comparison");
    QTest::addColumn<double>("measure");
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("keep");
    const auto eq = Comparison::Equal;
    const auto ge = Comparison::AtLeast;
    const auto le = Comparison::AtMost;
    const double wide = 1920.0 / 1080.0;
    const double tv = 1024.0 / 768.0;
    QTest::newRow("16:9 within tolerance =") << eq << wide << 1.7777778 << true;
    QTest::newRow("16:9 within tolerance >") << ge << wide << 1.7777778 << true;
    QTest::newRow("16:9 within tolerance <") << le << wide << 1.7777778 << true;
    QTest::newRow("4:3 against 1.3333 =") << eq << tv << 1.3333 << false;
    QTest::newRow("4:3 against 1.3333 >") << ge << tv << 1.3333 << true;
    QTest::newRow("4:3 against 1.3333 <") << le << tv << 1.3333 << false;
    QTest::newRow("just inside above =") << eq << 1.0 + 5e-8 << 1.0 << true;
    QTest::newRow("just outside above =") << eq << 1.0 + 2e-7 << 1.0 << false;
    QTest::newRow("just outside above <") << le << 1.0 + 2e-7 << 1.0 << false;
    QTest::newRow("just inside below >") << ge << 1.0 - 5e-8 << 1.0 << true;
    QTest::newRow("just outside below >") << ge << 1.0 - 2e-7 << 1.0 << false;
    QTest::newRow("just outside below <") << le << 1.0 - 2e-7 << 1.0 << true;
    // 0 x 0: the ratio is NaN and every ordered comparison with it is false.
    QTest::newRow("NaN =") << eq << kNaN << 1.5 << true;
    QTest::newRow("NaN >") << ge << kNaN << 1.5 << false;
    QTest::newRow("NaN <") << le << kNaN << 1.5 << true;
    // Height 0: +inf for a positive width, -inf for a negative one.
    QTest::newRow("+inf =") << eq << kInf << 1.5 << false;
    QTest::newRow("+inf >") << ge << kInf << 1.5 << true;
    QTest::newRow("+inf <") << le << kInf << 1.5 << false;
    QTest::newRow("-inf =") << eq << -kInf << 1.5 << false;
    QTest::newRow("-inf >") << ge << -kInf << 1.5 << false;
    QTest::newRow("-inf <") << le << -kInf << 1.5 << true;
}

void TestFilter::keepsReal() {
    QFETCH(Comparison, comparison);
    QFETCH(double, measure);
    QFETCH(double, value);
    QFETCH(bool, keep);
    QCOMPARE(KeepsReal(comparison, measure, value), keep);
}

void TestFilter::keepsSize_data() {
    QTest::addColumn<Comparison>("comparison");
    QTest::addColumn<QString>("sizeText");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("keep");
    const auto eq = Comparison::Equal;
    const auto ge = Comparison::AtLeast;
    const auto le = Comparison::AtMost;
    QTest::newRow("= same text") << eq << "500"
                                 << "500" << true;
    QTest::newRow("= 500.0 is not 500") << eq << "500.0"
                                        << "500" << false;
    QTest::newRow("= leading blank in entry") << eq << "500"
                                              << " 500" << false;
    QTest::newRow("= trailing zero in entry") << eq << "0.5"
                                              << "0.50" << false;
    QTest::newRow("= both empty") << eq << ""
                                  << "" << true;
    QTest::newRow("> 500.0 vs 500") << ge << "500.0"
                                    << "500" << true;
    QTest::newRow("< 500.0 vs 500") << le << "500.0"
                                    << "500" << true;
    QTest::newRow("> leading blank reads as number") << ge << "500"
                                                     << " 500" << true;
    QTest::newRow("< leading blank reads as number") << le << "500"
                                                     << " 500" << true;
    QTest::newRow("> smaller") << ge << "499.99"
                               << "500" << false;
    QTest::newRow("< larger") << le << "500.01"
                              << "500" << false;
    QTest::newRow("> exponent form") << ge << "1e+006"
                                     << "999999" << true;
    QTest::newRow("< exponent form") << le << "1e+006"
                                     << "999999" << false;
    QTest::newRow("< unavailable size -1") << le << "-1"
                                           << "0" << true;
    QTest::newRow("> entry not a number counts 0") << ge << "0.5"
                                                   << "abc" << true;
}

void TestFilter::keepsSize() {
    QFETCH(Comparison, comparison);
    QFETCH(QString, sizeText);
    QFETCH(QString, entry);
    QFETCH(bool, keep);
    QCOMPARE(KeepsSize(comparison, TextFromQString(sizeText), TextFromQString(entry)), keep);
}

void TestFilter::inputErrors_data() {
    QTest::addColumn<QList<int>>("ticked");
    QTest::addColumn<QStringList>("values"); // width, height, ratio, size
    QTest::addColumn<QString>("message");    // empty: the pass runs

    const QString width = Q("请输入宽度。例如:") + QString::number(ScreenWidth());
    const QString height = Q("请输入高度。例如:") + QString::number(ScreenHeight());
    const QString ratio =
        Q("请输入宽高比。例如:") +
        TextToQString(DoubleToText(double(ScreenWidth()) / double(ScreenHeight())));
    const QStringList allEmpty{"", "", "", ""};
    const QStringList allGiven{"1", "1", "1", "1"};

    QTest::newRow("nothing ticked") << QList<int>{} << allGiven << Q("请选择至少一个筛选条件");
    QTest::newRow("nothing ticked, nothing given")
        << QList<int>{} << allEmpty << Q("请选择至少一个筛选条件");
    QTest::newRow("width and height empty: width only") << QList<int>{1, 2} << allEmpty << width;
    QTest::newRow("height empty") << QList<int>{1, 2} << QStringList{"1", "", "", ""} << height;
    QTest::newRow("ratio empty") << QList<int>{3} << allEmpty << ratio;
    QTest::newRow("size empty, exact text")
        << QList<int>{1, 4} << QStringList{"1", "", "", ""} << Q("请输入文件大小。例如:500");
    QTest::newRow("unticked empty boxes are not looked at")
        << QList<int>{2} << QStringList{"", "1", "", ""} << QString();
    QTest::newRow("blanks are a value")
        << QList<int>{1, 2, 3, 4} << QStringList{" ", " ", " ", " "} << QString();
    QTest::newRow("all given") << QList<int>{1, 2, 3, 4} << allGiven << QString();
}

void TestFilter::inputErrors() {
    QFETCH(QList<int>, ticked);
    QFETCH(QStringList, values);
    QFETCH(QString, message);

    Fixture f;
    f.addMissing(Q("a.png"));
    f.addMissing(Q("b.png"));
    for (int condition = 1; condition <= 4; ++condition) {
        f.tick(condition, 0, values[condition - 1]);
        f.setTicked(condition, ticked.contains(condition));
    }
    f.clickFilter();

    if (message.isEmpty()) {
        QVERIFY(f.d.messages.empty());
        QCOMPARE(f.caption(), CaptionFor(f.w.RowCount())); // the pass ran to its end
        return;
    }
    QCOMPARE(f.d.messages.size(), size_t(1));
    QCOMPARE(f.d.messages[0].text, message);
    QCOMPARE(f.d.messages[0].caption, Q("错误"));
    QCOMPARE(f.d.messages[0].flags, 16);
    // Nothing was walked: rows, selection and caption as they were.
    QCOMPARE(f.names(), (QStringList{"a.png", "b.png"}));
    QCOMPARE(f.w.SelectedRow(), -1);
    SetControlText(f.w.分组框1, U8("untouched"));
    f.clickFilter();
    QCOMPARE(f.caption(), Q("untouched"));
}

void TestFilter::widthCondition_data() {
    QTest::addColumn<int>("comboIndex");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QStringList>("kept");
    QTest::newRow("= 800") << 0 << "800" << QStringList{"w800.png"};
    QTest::newRow("> 800") << 1 << "800" << QStringList{"w800.png", "w1024.jpg"};
    QTest::newRow("< 800") << 2 << "800" << QStringList{"w640.bmp", "w800.png"};
    QTest::newRow("no selection acts as <") << -1 << "800" << QStringList{"w640.bmp", "w800.png"};
    QTest::newRow("fraction read as integer") << 0 << "800.9" << QStringList{"w800.png"};
    QTest::newRow("not a number counts 0")
        << 1 << "abc" << QStringList{"w640.bmp", "w800.png", "w1024.jpg"};
}

void TestFilter::widthCondition() {
    QFETCH(int, comboIndex);
    QFETCH(QString, entry);
    QFETCH(QStringList, kept);

    Fixture f;
    f.addPicture(Q("w640.bmp"), 640, 50);
    f.addPicture(Q("w800.png"), 800, 50);
    f.addPicture(Q("w1024.jpg"), 1024, 50);
    f.tick(1, comboIndex, entry);
    f.clickFilter();

    QCOMPARE(f.names(), kept);
    QCOMPARE(f.caption(), CaptionFor(kept.size()));
    QVERIFY(f.d.messages.empty());
    QVERIFY(f.w.图片框1->hasPicture()); // the last row examined is still shown
}

void TestFilter::ratioCondition_data() {
    QTest::addColumn<QString>("picture"); // what the one listed file holds
    QTest::addColumn<int>("comboIndex");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("kept");

    for (int c = 0; c < 3; ++c)
        QTest::addRow("1920x1080 jpeg vs 1.7777778 [%d]", c)
            << "1920x1080.jpg" << c << "1.7777778" << true;
    QTest::newRow("1024x768 vs 1.3333 =") << "1024x768.png" << 0 << "1.3333" << false;
    QTest::newRow("1024x768 vs 1.3333 >") << "1024x768.png" << 1 << "1.3333" << true;
    QTest::newRow("1024x768 vs 1.3333 <") << "1024x768.png" << 2 << "1.3333" << false;
    // A missing file measures 0 x 0: NaN passes "=" and "<" and fails ">".
    QTest::newRow("missing =") << "missing" << 0 << "1.5" << true;
    QTest::newRow("missing >") << "missing" << 1 << "1.5" << false;
    QTest::newRow("missing <") << "missing" << 2 << "1.5" << true;
    QTest::newRow("not a picture =") << "text" << 0 << "0" << true;
    QTest::newRow("not a picture >") << "text" << 1 << "0" << false;
    // Height 0 with a positive width: +inf passes only ">".
    QTest::newRow("height 0 =") << "height0" << 0 << "1.5" << false;
    QTest::newRow("height 0 >") << "height0" << 1 << "1.5" << true;
    QTest::newRow("height 0 <") << "height0" << 2 << "1.5" << false;
}

void TestFilter::ratioCondition() {
    QFETCH(QString, picture);
    QFETCH(int, comboIndex);
    QFETCH(QString, entry);
    QFETCH(bool, kept);

    Fixture f;
    if (picture == "missing")
        f.addMissing(Q("gone.png"));
    else if (picture == "text")
        f.addFile(Q("notes.png"), "just some text, not a picture\n");
    else if (picture == "height0")
        f.addFile(Q("flat.bmp"), BmpHeader(100, 0));
    else {
        const QStringList size = picture.section('.', 0, 0).split('x');
        f.addPicture(picture, size[0].toInt(), size[1].toInt());
    }
    f.tick(3, comboIndex, entry);
    f.clickFilter();

    QCOMPARE(f.w.RowCount(), kept ? 1 : 0);
    QCOMPARE(f.caption(), CaptionFor(kept ? 1 : 0));
    QVERIFY(f.d.messages.empty());
}

void TestFilter::sizeCondition_data() {
    QTest::addColumn<int>("comboIndex");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QStringList>("kept");
    QTest::newRow("= 500") << 0 << "500" << QStringList{"500"};
    QTest::newRow("= 500.0") << 0 << "500.0" << QStringList{"500.0"};
    QTest::newRow("= blank 500") << 0 << " 500" << QStringList{};
    QTest::newRow("> 500") << 1 << "500" << QStringList{"500", "500.0", "1e+006"};
    QTest::newRow("> blank 500") << 1 << " 500" << QStringList{"500", "500.0", "1e+006"};
    QTest::newRow("< 500") << 2 << "500" << QStringList{"500", "500.0", "499.99"};
}

void TestFilter::sizeCondition() {
    QFETCH(int, comboIndex);
    QFETCH(QString, entry);
    QFETCH(QStringList, kept);

    // The names are the size texts, so the rows that stay are easy to read.
    Fixture f;
    for (const char* size : {"500", "500.0", "499.99", "1e+006"}) {
        const int row = f.w.InsertRow(U8(size));
        f.w.SetCellText(row, 1, U8(size));
    }
    f.tick(4, comboIndex, entry);
    f.clickFilter();
    QCOMPARE(f.names(), kept);
    QCOMPARE(f.caption(), CaptionFor(kept.size()));
}

void TestFilter::severalConditions_data() {
    QTest::addColumn<QStringList>("kept");
    QTest::addColumn<bool>("sizeTicked");
    // Width > 800, height < 600, ratio > 1.5, size < 1000 (KB), all over the same four files.
    QTest::newRow("width height ratio") << QStringList{"pass.png", "big.png"} << false;
    QTest::newRow("and size") << QStringList{"pass.png"} << true;
}

void TestFilter::severalConditions() {
    QFETCH(QStringList, kept);
    QFETCH(bool, sizeTicked);

    Fixture f;
    f.addPicture(Q("narrow.png"), 700, 300);   // fails width
    f.addPicture(Q("pass.png"), 1000, 500);    // passes everything
    f.addPicture(Q("tall.png"), 1000, 700);    // passes width, fails height
    f.addPicture(Q("squarish.png"), 820, 590); // passes width and height, fails ratio
    f.addPicture(Q("big.png"), 1200, 400);     // fails only the size below
    f.w.SetCellText(4, 1, U8("4000.5"));
    f.tick(1, 1, Q("800"));
    f.tick(2, 2, Q("600"));
    f.tick(3, 1, Q("1.5"));
    if (sizeTicked)
        f.tick(4, 2, Q("1000"));
    f.clickFilter();
    QCOMPARE(f.names(), kept);
}

void TestFilter::emptyList() {
    Fixture f;
    f.tick(1, 0, Q("800"));
    SetControlText(f.w.分组框1, U8("stale"));
    int reads = 0;
    FilterPassSteps steps = FilterPassSteps::Real();
    steps.readFile = [&](const Text&) {
        ++reads;
        return QByteArray();
    };
    f.w.RunCommand([&] { RunFilterPassWith(f.w, steps); });
    QCOMPARE(reads, 0);
    QCOMPARE(f.caption(), CaptionFor(0));
    QVERIFY(f.d.messages.empty());
}

void TestFilter::everyRowFails() {
    Fixture f;
    f.addPicture(Q("a.png"), 10, 10);
    f.addMissing(Q("b.png"));
    f.addPicture(Q("c.jpg"), 20, 10);
    f.tick(1, 1, Q("5000"));
    f.clickFilter();
    QCOMPARE(f.w.RowCount(), 0);
    QCOMPARE(f.caption(), CaptionFor(0));
    QVERIFY(f.d.messages.empty());
}

void TestFilter::eachRowReadShownAndMeasuredOnce_data() {
    QTest::addColumn<QList<int>>("ticked");
    QTest::addColumn<int>("measurementsPerRow");
    QTest::newRow("width") << QList<int>{1} << 1;
    QTest::newRow("width height ratio") << QList<int>{1, 2, 3} << 1;
    QTest::newRow("ratio") << QList<int>{3} << 1;
    QTest::newRow("all four") << QList<int>{1, 2, 3, 4} << 1;
    QTest::newRow("size only: no measurement") << QList<int>{4} << 0;
}

void TestFilter::eachRowReadShownAndMeasuredOnce() {
    QFETCH(QList<int>, ticked);
    QFETCH(int, measurementsPerRow);

    Fixture f;
    f.addPicture(Q("one.png"), 640, 480);
    f.addPicture(Q("two.jpg"), 320, 200);
    f.addMissing(Q("three.png"));
    // Values that keep every row (the missing file's NaN ratio included), so all three rows are
    // judged by every ticked condition.
    const QStringList values{"0", "100000", "100000", "100000"};
    const int combos[] = {1, 2, 2, 2};
    for (int condition : ticked)
        f.tick(condition, combos[condition - 1], values[condition - 1]);

    QStringList reads;
    QList<QByteArray> shown;
    QList<int> shownRows;
    int measurements = 0;
    FilterPassSteps steps = FilterPassSteps::Real();
    const FilterPassSteps real = FilterPassSteps::Real();
    steps.readFile = [&](const Text& path) {
        reads << TextToQString(path);
        return real.readFile(path);
    };
    steps.showPreview = [&](MainWindow& w, const QByteArray& picture) {
        shown << picture;
        shownRows << w.SelectedRow();
        real.showPreview(w, picture);
    };
    steps.measure = [&](const QByteArray& picture) {
        ++measurements;
        return real.measure(picture);
    };
    f.w.RunCommand([&] { RunFilterPassWith(f.w, steps); });

    const QString folder = f.dir.path() + "/";
    QCOMPARE(reads, (QStringList{folder + "one.png", folder + "two.jpg", folder + "three.png"}));
    QCOMPARE(shownRows, (QList<int>{0, 1, 2}));
    QCOMPARE(shown.size(), 3);
    QFile one(folder + "one.png");
    QVERIFY(one.open(QIODevice::ReadOnly));
    QCOMPARE(shown[0], one.readAll());
    QVERIFY(shown[2].isEmpty());
    QCOMPARE(measurements, 3 * measurementsPerRow);
    QCOMPARE(f.w.RowCount(), 3);
}

void TestFilter::conditionsAreReadAfreshForEachRow() {
    Fixture f;
    for (const char* name : {"a.png", "b.png", "c.png", "d.png"})
        f.addPicture(Q(name), 500, 100);
    f.tick(1, 1, Q("100")); // everything passes at first

    int row = 0;
    FilterPassSteps steps = FilterPassSteps::Real();
    const FilterPassSteps real = FilterPassSteps::Real();
    steps.readFile = [&](const Text& path) {
        // While the second row is read the user raises the width; while the fourth is read
        // they untick the condition again.
        if (row == 1)
            SetControlText(f.w.编辑框_宽度, U8("600"));
        if (row == 3)
            f.w.选择框1->setChecked(false);
        ++row;
        return real.readFile(path);
    };
    f.w.RunCommand([&] { RunFilterPassWith(f.w, steps); });
    QCOMPARE(f.names(), (QStringList{"a.png", "d.png"}));
}

void TestFilter::commandsClickedDuringPassChangeNothing() {
    Fixture f;
    QVERIFY(QTest::qWaitForWindowExposed(&f.w));
    f.addPicture(Q("small.png"), 100, 100);
    f.addPicture(Q("large.png"), 900, 100);
    f.addPicture(Q("small2.png"), 100, 100);
    f.tick(1, 1, Q("500"));
    QTemporaryDir other;
    f.d.folderAnswers.push_back(other.path());
    f.d.messageAnswers.push_back(ButtonYes);

    // Runs during the first row's waiting events: rescan, filter again, execute, browse.
    bool clicked = false;
    QTimer::singleShot(0, &f.w, [&] {
        QTest::mouseClick(f.w.按钮_重新获取图片列表, Qt::LeftButton);
        QTest::mouseClick(f.w.按钮_筛选图片, Qt::LeftButton);
        QTest::mouseClick(f.w.按钮_执行, Qt::LeftButton);
        QTest::mouseClick(f.w.浏览图片, Qt::LeftButton);
        clicked = true;
    });
    f.clickFilter();

    QVERIFY(clicked);
    QCOMPARE(f.names(), QStringList{"large.png"});
    QCOMPARE(f.caption(), CaptionFor(1));
    QVERIFY(f.d.browseTitles.empty());
    QVERIFY(f.d.messages.empty());
    QCOMPARE(TextToQString(ControlText(f.w.编辑框_图片路径)), f.dir.path() + "/");
    for (const char* name : {"small.png", "large.png", "small2.png"})
        QVERIFY(QFile::exists(f.dir.filePath(Q(name))));
}

void TestFilter::closingTheWindowEndsThePass() {
    Fixture f;
    QVERIFY(QTest::qWaitForWindowExposed(&f.w));
    for (const char* name : {"a.png", "b.png", "c.png"})
        f.addPicture(Q(name), 100, 100);
    f.tick(1, 1, Q("5000")); // every row would fail
    SetControlText(f.w.分组框1, U8("stale"));

    int reads = 0;
    FilterPassSteps steps = FilterPassSteps::Real();
    const FilterPassSteps real = FilterPassSteps::Real();
    steps.readFile = [&](const Text& path) {
        ++reads;
        return real.readFile(path);
    };
    QTimer::singleShot(0, &f.w, [&] { f.w.close(); });
    f.w.RunCommand([&] { RunFilterPassWith(f.w, steps); });

    // The first row was read and shown, then the window closed: nothing judged, nothing more
    // read, no caption written.
    QCOMPARE(reads, 1);
    QCOMPARE(f.w.RowCount(), 3);
    QCOMPARE(f.caption(), Q("stale"));
    QVERIFY(f.d.messages.empty());
}

QTEST_MAIN(TestFilter)
#include "test_filter.moc"
