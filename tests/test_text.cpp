#include <QtTest>

#include <bit>
#include <cmath>
#include <limits>

#include "text/Text.h"

namespace {

Text B(const QByteArray& bytes) {
    return Text::FromBytes(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}

QByteArray Bytes(const Text& t) {
    return QByteArray::fromStdString(t.bytes());
}

// QCOMPARE on doubles is fuzzy; these rules promise exact values, including the sign of zero.
bool SameDouble(double a, double b) {
    return std::bit_cast<quint64>(a) == std::bit_cast<quint64>(b) ||
           (std::isnan(a) && std::isnan(b));
}

QByteArray Describe(double actual, double expected) {
    return QByteArray("actual ") + QByteArray::number(actual, 'g', 17) + ", expected " +
           QByteArray::number(expected, 'g', 17);
}

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr float kInfF = std::numeric_limits<float>::infinity();

// GB18030 bytes used below. 귭 and 가 are four-byte codes; the second half of 귭 followed by the
// first half of 가 spells 귬, so a search that steps into the middle of 귭 finds 귬 there.
const QByteArray kTuPian("\xCD\xBC\xC6\xAC"); // 图片
const QByteArray kGrin("\x94\x39\xFC\x36");   // 😀
const QByteArray kGyeop("\x82\x38\x82\x38");  // 귭
const QByteArray kGa("\x82\x37\xCF\x35");     // 가
const QByteArray kGyeom("\x82\x38\x82\x37");  // 귬

} // namespace

class TestText : public QObject {
    Q_OBJECT

private slots:
    void intToText_data();
    void intToText();
    void singleToText_data();
    void singleToText();
    void doubleToText_data();
    void doubleToText();
    void foldFullWidth_data();
    void foldFullWidth();
    void textToInt_data();
    void textToInt();
    void textToReal_data();
    void textToReal();
    void sizeTextReadsBackAsRoundedValue();
    void roundToDecimals_data();
    void roundToDecimals();
    void findText_data();
    void findText();
    void replaceText_data();
    void replaceText();
    void rightText_data();
    void rightText();
    void compareText_data();
    void compareText();
    void concatText();
    void unicodeRoundTrip_data();
    void unicodeRoundTrip();
    void invalidUtf8HasNoText_data();
    void invalidUtf8HasNoText();
    void textWithoutPath_data();
    void textWithoutPath();
    void unfinishedCharacterIsNotDropped_data();
    void unfinishedCharacterIsNotDropped();
};

void TestText::intToText_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("1920") << 1920 << QByteArray("1920");
    QTest::newRow("zero") << 0 << QByteArray("0");
    QTest::newRow("minus one") << -1 << QByteArray("-1");
    QTest::newRow("largest") << std::numeric_limits<int>::max() << QByteArray("2147483647");
    QTest::newRow("smallest") << std::numeric_limits<int>::min() << QByteArray("-2147483648");
}

void TestText::intToText() {
    QFETCH(int, value);
    QFETCH(QByteArray, text);
    QCOMPARE(Bytes(IntToText(value)), text);
}

void TestText::singleToText_data() {
    QTest::addColumn<float>("value");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("0") << 0.0f << QByteArray("0");
    QTest::newRow("0.5") << 0.5f << QByteArray("0.5");
    QTest::newRow("-1") << -1.0f << QByteArray("-1");
    QTest::newRow("12.35") << 12.35f << QByteArray("12.35");
    QTest::newRow("500") << 500.0f << QByteArray("500");
    QTest::newRow("0.1") << 0.1f << QByteArray("0.1");
    QTest::newRow("123456.79") << 123456.79f << QByteArray("123457");
    QTest::newRow("1234567") << 1234567.0f << QByteArray("1.23457e+006");
    QTest::newRow("1000000") << 1000000.0f << QByteArray("1e+006");
    QTest::newRow("0.0001") << 0.0001f << QByteArray("0.0001");
    QTest::newRow("0.00001") << 0.00001f << QByteArray("1e-005");
    QTest::newRow("1048.58") << 1048.58f << QByteArray("1048.58");
    QTest::newRow("2147483.65") << 2147483.65f << QByteArray("2.14748e+006");
    // An exact tie: half away from zero gives ...003, printf's round-half-even would give ...002.
    QTest::newRow("tie rounds up") << 1000025.0f << QByteArray("1.00003e+006");
    QTest::newRow("negative tie") << -1000025.0f << QByteArray("-1.00003e+006");
    QTest::newRow("carry into new digit") << 999999.5f << QByteArray("1e+006");
    QTest::newRow("six digits fixed") << 999999.0f << QByteArray("999999");
    QTest::newRow("smallest exponent-free") << 0.000123456f << QByteArray("0.000123456");
    QTest::newRow("negative zero") << -0.0f << QByteArray("0");
    QTest::newRow("largest float")
        << std::numeric_limits<float>::max() << QByteArray("3.40282e+038");
    QTest::newRow("smallest normal")
        << std::numeric_limits<float>::min() << QByteArray("1.17549e-038");
    QTest::newRow("infinity") << kInfF << QByteArray("inf");
    QTest::newRow("minus infinity") << -kInfF << QByteArray("-inf");
    QTest::newRow("nan") << std::numeric_limits<float>::quiet_NaN() << QByteArray("nan");
}

void TestText::singleToText() {
    QFETCH(float, value);
    QFETCH(QByteArray, text);
    QCOMPARE(Bytes(SingleToText(value)), text);
}

void TestText::doubleToText_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("1920/1080") << 1920.0 / 1080 << QByteArray("1.777777777778");
    QTest::newRow("1366/768") << 1366.0 / 768 << QByteArray("1.778645833333");
    QTest::newRow("1280/1024") << 1280.0 / 1024 << QByteArray("1.25");
    QTest::newRow("2/3") << 2.0 / 3 << QByteArray("0.6666666666667");
    QTest::newRow("0.5") << 0.5 << QByteArray("0.5");
    QTest::newRow("500") << 500.0 << QByteArray("500");
    QTest::newRow("1e15") << 1e15 << QByteArray("1e+015");
    QTest::newRow("0.00001") << 0.00001 << QByteArray("1e-005");
    QTest::newRow("-2/3") << -2.0 / 3 << QByteArray("-0.6666666666667");
    QTest::newRow("13 digits fixed") << 1234567890123.0 << QByteArray("1234567890123");
    QTest::newRow("1e13") << 1e13 << QByteArray("1e+013");
    QTest::newRow("14 digits") << 12345678901234.0 << QByteArray("1.234567890123e+013");
    QTest::newRow("0.0001") << 0.0001 << QByteArray("0.0001");
    QTest::newRow("0.00012345") << 0.00012345 << QByteArray("0.00012345");
    QTest::newRow("rounds up to 10") << 9.99999999999999 << QByteArray("10");
    QTest::newRow("0.1+0.2") << 0.1 + 0.2 << QByteArray("0.3");
    QTest::newRow("1e100") << 1e100 << QByteArray("1e+100");
    QTest::newRow("largest double")
        << std::numeric_limits<double>::max() << QByteArray("1.797693134862e+308");
    QTest::newRow("smallest subnormal")
        << std::numeric_limits<double>::denorm_min() << QByteArray("4.940656458412e-324");
    QTest::newRow("zero") << 0.0 << QByteArray("0");
    QTest::newRow("negative zero") << -0.0 << QByteArray("0");
    QTest::newRow("infinity") << kInf << QByteArray("inf");
    QTest::newRow("minus infinity") << -kInf << QByteArray("-inf");
    QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << QByteArray("nan");
}

void TestText::doubleToText() {
    QFETCH(double, value);
    QFETCH(QByteArray, text);
    QCOMPARE(Bytes(DoubleToText(value)), text);
}

void TestText::foldFullWidth_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("folded");
    QTest::newRow("ideographic space") << QByteArray("\xA1\xA1") << QByteArray(" ");
    QTest::newRow("tilde") << QByteArray("\xA1\xAB") << QByteArray("~");
    QTest::newRow("white star") << QByteArray("\xA1\xEE") << QByteArray("*");
    QTest::newRow("black star") << QByteArray("\xA1\xEF") << QByteArray("*");
    QTest::newRow("first full-width form") << QByteArray("\xA3\xA1") << QByteArray("!");
    QTest::newRow("last full-width form") << QByteArray("\xA3\xFE") << QByteArray("~");
    QTest::newRow("digits point signs")
        << QByteArray("\xA3\xAB\xA3\xB1\xA3\xAE\xA3\xB5\xA3\xAD\xA3\xB9") << QByteArray("+1.5-9");
    QTest::newRow("A3A0 is not a form") << QByteArray("\xA3\xA0") << QByteArray("\xA3\xA0");
    QTest::newRow("other A1 kept") << QByteArray("\xA1\xA2") << QByteArray("\xA1\xA2");
    QTest::newRow("ideographs kept") << kTuPian << kTuPian;
    QTest::newRow("ASCII kept") << QByteArray("a1 ~") << QByteArray("a1 ~");
    QTest::newRow("four-byte kept") << kGrin + "1" << kGrin + "1";
    QTest::newRow("lone lead byte dropped") << QByteArray("1\xA3") << QByteArray("1");
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void TestText::foldFullWidth() {
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, folded);
    QCOMPARE(Bytes(FoldFullWidth(B(text))), folded);
}

void TestText::textToInt_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("1920") << QByteArray("1920") << 1920;
    QTest::newRow("space and unit") << QByteArray(" 42px") << 42;
    QTest::newRow("-7") << QByteArray("-7") << -7;
    QTest::newRow("+5") << QByteArray("+5") << 5;
    QTest::newRow("12.9") << QByteArray("12.9") << 12;
    QTest::newRow("1e3") << QByteArray("1e3") << 1;
    QTest::newRow("abc") << QByteArray("abc") << 0;
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("full-width 123") << QByteArray("\xA3\xB1\xA3\xB2\xA3\xB3") << 123;
    QTest::newRow("full-width 1920") << QByteArray("\xA3\xB1\xA3\xB9\xA3\xB2\xA3\xB0") << 1920;
    QTest::newRow("ideographic space") << QByteArray("\xA1\xA1"
                                                     "42")
                                       << 42;
    QTest::newRow("full-width minus") << QByteArray("\xA3\xAD\xA3\xB7") << -7;
    QTest::newRow("all white space") << QByteArray("\t\n\v\f\r 7") << 7;
    QTest::newRow("space after sign") << QByteArray("- 5") << 0;
    QTest::newRow("two signs") << QByteArray("++5") << 0;
    QTest::newRow("ideograph first") << kTuPian + "1" << 0;
    QTest::newRow("3000000000 wraps") << QByteArray("3000000000") << -1294967296;
    QTest::newRow("largest") << QByteArray("2147483647") << std::numeric_limits<int>::max();
    QTest::newRow("smallest") << QByteArray("-2147483648") << std::numeric_limits<int>::min();
    QTest::newRow("2^31 wraps") << QByteArray("2147483648") << std::numeric_limits<int>::min();
    QTest::newRow("2^32 wraps to 0") << QByteArray("4294967296") << 0;
    QTest::newRow("20 digits") << QByteArray("99999999999999999999") << 1661992959;
}

void TestText::textToInt() {
    QFETCH(QByteArray, text);
    QFETCH(int, value);
    QCOMPARE(TextToInt(B(text)), value);
}

void TestText::textToReal_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("1.78") << QByteArray("1.78") << 1.78;
    QTest::newRow("500") << QByteArray("500") << 500.0;
    QTest::newRow(" .5") << QByteArray(" .5") << 0.5;
    QTest::newRow("-2.5") << QByteArray("-2.5") << -2.5;
    QTest::newRow("1e3") << QByteArray("1e3") << 1000.0;
    QTest::newRow("2d2") << QByteArray("2d2") << 200.0;
    QTest::newRow("1e") << QByteArray("1e") << 1.0;
    QTest::newRow("1,5") << QByteArray("1,5") << 1.0;
    QTest::newRow("full-width 1.5") << QByteArray("\xA3\xB1\xA3\xAE\xA3\xB5") << 1.5;
    QTest::newRow("abc") << QByteArray("abc") << 0.0;
    QTest::newRow("empty") << QByteArray() << 0.0;
    QTest::newRow("size text") << QByteArray("1.23457e+006") << 1234570.0;
    QTest::newRow("rounded size text") << QByteArray("2.14748e+006") << 2147480.0;
    QTest::newRow("full-width -2.5") << QByteArray("\xA3\xAD\xA3\xB2\xA3\xAE\xA3\xB5") << -2.5;
    QTest::newRow("full-width 1e3") << QByteArray("\xA3\xB1\xA3\xE5\xA3\xB3") << 1000.0;
    QTest::newRow("ideographic space") << QByteArray("\xA1\xA1"
                                                     "1.5")
                                       << 1.5;
    QTest::newRow("E-2") << QByteArray("1E-2") << 0.01;
    QTest::newRow("d-2") << QByteArray("1d-2") << 0.01;
    QTest::newRow("D+2") << QByteArray("2D+2") << 200.0;
    QTest::newRow("marker and sign only") << QByteArray("1e+") << 1.0;
    QTest::newRow("trailing point") << QByteArray("5.") << 5.0;
    QTest::newRow("trailing point, exponent") << QByteArray("5.e3") << 5000.0;
    QTest::newRow("point only") << QByteArray(".") << 0.0;
    QTest::newRow("no digit before exponent") << QByteArray("-.e5") << 0.0;
    QTest::newRow("hex is not read") << QByteArray("0x10") << 0.0;
    QTest::newRow("inf is not read") << QByteArray("inf") << 0.0;
    QTest::newRow("nan is not read") << QByteArray("nan") << 0.0;
    QTest::newRow("0.1 nearest") << QByteArray("0.1") << 0.1;
    QTest::newRow("largest double")
        << QByteArray("1.7976931348623157e308") << std::numeric_limits<double>::max();
    QTest::newRow("long exponent") << QByteArray("1e0000000000000000000003") << 1000.0;
    QTest::newRow("overflow") << QByteArray("1e999") << kInf;
    QTest::newRow("negative overflow") << QByteArray("-1e999") << -kInf;
    QTest::newRow("huge exponent") << QByteArray("1e99999999999999999999") << kInf;
    QTest::newRow("underflow") << QByteArray("1e-999") << 0.0;
    QTest::newRow("negative underflow") << QByteArray("-1e-999") << -0.0;
    QTest::newRow("overflow, leading zeros") << QByteArray("0.1e310") << kInf;
    QTest::newRow("underflow, long mantissa") << QByteArray("1000e-330") << 0.0;
}

void TestText::textToReal() {
    QFETCH(QByteArray, text);
    QFETCH(double, value);
    const double actual = TextToReal(B(text));
    QVERIFY2(SameDouble(actual, value), Describe(actual, value).constData());
}

void TestText::sizeTextReadsBackAsRoundedValue() {
    // The filter pass compares the size text of a row, not the measured size.
    const double back = TextToReal(SingleToText(2147483.65f));
    QVERIFY2(SameDouble(back, 2147480.0), Describe(back, 2147480.0).constData());
}

void TestText::roundToDecimals_data() {
    QTest::addColumn<double>("x");
    QTest::addColumn<int>("n");
    QTest::addColumn<double>("result");
    QTest::newRow("12.345") << 12.345 << 2 << 12.35;
    QTest::newRow("2.675") << 2.675 << 2 << 2.68;
    QTest::newRow("1.005") << 1.005 << 2 << 1.01;
    QTest::newRow("0.125") << 0.125 << 2 << 0.13;
    QTest::newRow("-0.125") << -0.125 << 2 << -0.13;
    QTest::newRow("1.2345") << 1.2345 << 2 << 1.23;
    QTest::newRow("zero") << 0.0 << 2 << 0.0;
    QTest::newRow("negative zero") << -0.0 << 2 << -0.0;
    QTest::newRow("-2.675") << -2.675 << 2 << -2.68;
    QTest::newRow("small positive") << 0.004 << 2 << 0.0;
    QTest::newRow("small negative keeps sign") << -0.004 << 2 << -0.0;
    QTest::newRow("file size") << 1048.5799560546875 << 2 << 1048.58;
    QTest::newRow("one decimal") << 0.05 << 1 << 0.1;
    QTest::newRow("infinity") << kInf << 2 << kInf;
    QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << 2
                         << std::numeric_limits<double>::quiet_NaN();
    // Scaling overflows the double range; the value must not turn into infinity.
    QTest::newRow("scaled beyond range") << 1e300 << 10 << 1e300;
}

void TestText::roundToDecimals() {
    QFETCH(double, x);
    QFETCH(int, n);
    QFETCH(double, result);
    const double actual = RoundToDecimals(x, n);
    QVERIFY2(SameDouble(actual, result), Describe(actual, result).constData());
}

void TestText::findText_data() {
    QTest::addColumn<QByteArray>("haystack");
    QTest::addColumn<QByteArray>("needle");
    QTest::addColumn<bool>("caseInsensitive");
    QTest::addColumn<int>("position");
    const QByteArray extensions(".jpg|.jpeg|.bmp|.png|.gif|.tiff|.ico");
    QTest::newRow(".png") << extensions << QByteArray(".png") << false << 17;
    QTest::newRow(".JPG without case") << extensions << QByteArray(".JPG") << true << 1;
    QTest::newRow(".JPG with case") << extensions << QByteArray(".JPG") << false << -1;
    QTest::newRow(".tif") << extensions << QByteArray(".tif") << false << 27;
    QTest::newRow("empty needle") << extensions << QByteArray() << false << 1;
    QTest::newRow(".webp") << extensions << QByteArray(".webp") << false << -1;
    QTest::newRow("both empty") << QByteArray() << QByteArray() << false << -1;
    QTest::newRow("empty haystack") << QByteArray() << QByteArray("a") << false << -1;
    QTest::newRow("needle longer") << QByteArray("ab") << QByteArray("abc") << false << -1;
    QTest::newRow("whole haystack") << QByteArray("abc") << QByteArray("abc") << false << 1;
    QTest::newRow("at the end") << QByteArray("abc") << QByteArray("c") << false << 3;
    QTest::newRow("ideograph") << kTuPian << QByteArray("\xC6\xAC") << false << 3;
    // B1 41 is one character whose trail byte is "A"; only the "A" after it matches.
    QTest::newRow("not on a trail byte") << QByteArray("\xB1\x41"
                                                       "A")
                                         << QByteArray("A") << false << 3;
    QTest::newRow("trail byte keeps its case")
        << QByteArray("\xB1\x61") << QByteArray("\xB1\x41") << true << -1;
    QTest::newRow("full-width letters keep case")
        << QByteArray("\xA3\xC1") << QByteArray("\xA3\xE1") << true << -1;
    QTest::newRow("ASCII inside four-byte") << kGrin + "96" << QByteArray("9") << false << 5;
    QTest::newRow("four-byte needle") << "a" + kGrin << kGrin << false << 2;
    QTest::newRow("no match across four-byte halves") << kGyeop + kGa << kGyeom << false << -1;
    QTest::newRow("match after four-byte") << kGyeop + kGa + kGyeom << kGyeom << false << 9;
}

void TestText::findText() {
    QFETCH(QByteArray, haystack);
    QFETCH(QByteArray, needle);
    QFETCH(bool, caseInsensitive);
    QFETCH(int, position);
    QCOMPARE(FindText(B(haystack), B(needle), caseInsensitive), position);
}

void TestText::replaceText_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("oldText");
    QTest::addColumn<QByteArray>("newText");
    QTest::addColumn<bool>("caseSensitive");
    QTest::addColumn<QByteArray>("result");
    QTest::newRow("rename pattern")
        << kTuPian + "[I]-[i]" << QByteArray("[i]") << QByteArray("7") << false << kTuPian + "7-7";
    QTest::newRow("case-sensitive")
        << kTuPian + "[I]-[i]" << QByteArray("[i]") << QByteArray("7") << true << kTuPian + "[I]-7";
    QTest::newRow("empty old") << QByteArray("abc") << QByteArray() << QByteArray("x") << true
                               << QByteArray("abc");
    QTest::newRow("empty text") << QByteArray() << QByteArray("a") << QByteArray("x") << true
                                << QByteArray();
    QTest::newRow("old longer") << QByteArray("ab") << QByteArray("abc") << QByteArray("x") << true
                                << QByteArray("ab");
    QTest::newRow("empty new deletes")
        << QByteArray("a-b-c") << QByteArray("-") << QByteArray() << true << QByteArray("abc");
    QTest::newRow("inserted text not searched")
        << QByteArray("aa") << QByteArray("a") << QByteArray("aa") << true << QByteArray("aaaa");
    QTest::newRow("left to right, no overlap")
        << QByteArray("aaa") << QByteArray("aa") << QByteArray("b") << true << QByteArray("ba");
    QTest::newRow("not on a trail byte")
        << QByteArray("\xB1\x41"
                      "A")
        << QByteArray("A") << QByteArray("x") << true << QByteArray("\xB1\x41x");
    QTest::newRow("trail byte keeps its case")
        << QByteArray("\xB1\x61") << QByteArray("\xB1\x41") << QByteArray("x") << false
        << QByteArray("\xB1\x61");
    QTest::newRow("ASCII inside four-byte")
        << kGrin + "9" << QByteArray("9") << QByteArray("x") << true << kGrin + "x";
    QTest::newRow("no match across four-byte halves")
        << kGyeop + kGa << kGyeom << QByteArray("x") << true << kGyeop + kGa;
    QTest::newRow("four-byte old")
        << kGrin + "a" + kGrin << kGrin << QByteArray("b") << true << QByteArray("bab");
    QTest::newRow("tail shorter than old kept") << QByteArray("ab\x81") << QByteArray("zz")
                                                << QByteArray("x") << true << QByteArray("ab\x81");
    QTest::newRow("last lead byte dropped")
        << QByteArray("ab\x81") << QByteArray("z") << QByteArray("x") << true << QByteArray("ab");
}

void TestText::replaceText() {
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, oldText);
    QFETCH(QByteArray, newText);
    QFETCH(bool, caseSensitive);
    QFETCH(QByteArray, result);
    QCOMPARE(Bytes(ReplaceText(B(text), B(oldText), B(newText), caseSensitive)), result);
}

void TestText::rightText_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("n");
    QTest::addColumn<QByteArray>("result");
    QTest::newRow("drive root") << QByteArray("C:\\") << 1 << QByteArray("\\");
    QTest::newRow("zero") << QByteArray("abc") << 0 << QByteArray();
    QTest::newRow("negative") << QByteArray("abc") << -1 << QByteArray();
    QTest::newRow("whole") << QByteArray("abc") << 3 << QByteArray("abc");
    QTest::newRow("more than length") << QByteArray("abc") << 10 << QByteArray("abc");
    QTest::newRow("empty") << QByteArray() << 1 << QByteArray();
    QTest::newRow("last character") << kTuPian << 2 << QByteArray("\xC6\xAC");
    QTest::newRow("cuts a character") << kTuPian << 1 << QByteArray("\xAC");
}

void TestText::rightText() {
    QFETCH(QByteArray, text);
    QFETCH(int, n);
    QFETCH(QByteArray, result);
    QCOMPARE(Bytes(RightText(B(text), n)), result);
}

void TestText::compareText_data() {
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<QByteArray>("b");
    QTest::addColumn<int>("sign");
    QTest::newRow("both empty") << QByteArray() << QByteArray() << 0;
    QTest::newRow("equal") << kTuPian << kTuPian << 0;
    QTest::newRow("text and empty") << QByteArray("a") << QByteArray() << 1;
    QTest::newRow("empty and text") << QByteArray() << QByteArray("a") << -1;
    QTest::newRow("first difference") << QByteArray("abc") << QByteArray("abd") << -1;
    QTest::newRow("prefix is smaller") << QByteArray("ab") << QByteArray("abc") << -1;
    QTest::newRow("bytes are unsigned") << QByteArray("\x80") << QByteArray("a") << 1;
}

void TestText::compareText() {
    QFETCH(QByteArray, a);
    QFETCH(QByteArray, b);
    QFETCH(int, sign);
    const int c = CompareText(B(a), B(b));
    QCOMPARE((c > 0) - (c < 0), sign);
}

void TestText::concatText() {
    QCOMPARE(Bytes(ConcatText(B("C:\\pics\\"), B(kTuPian), B(".jpg"))),
             "C:\\pics\\" + kTuPian + ".jpg");
    QCOMPARE(Bytes(ConcatText(Text(), B("a"), Text())), QByteArray("a"));
    QVERIFY(ConcatText(Text(), Text()).isEmpty());
}

void TestText::unicodeRoundTrip_data() {
    QTest::addColumn<QString>("unicode");
    QTest::addColumn<QByteArray>("gb18030");
    QTest::newRow("CJK") << QStringLiteral("图片") << kTuPian;
    QTest::newRow("emoji") << QStringLiteral("😀") << kGrin;
    QTest::newRow("hangul") << QStringLiteral("한") << QByteArray("\x83\x36\x84\x33");
    QTest::newRow("mixed name") << QStringLiteral("图片😀한-1.jpg")
                                << kTuPian + kGrin + "\x83\x36\x84\x33" + "-1.jpg";
    // A leading U+FEFF is part of a name, not a byte-order mark to drop.
    QTest::newRow("leading U+FEFF") << QStringLiteral("\uFEFFa.jpg")
                                    << QByteArray("\x84\x31\x95\x33"
                                                  "a.jpg");
    QTest::newRow("empty") << QString() << QByteArray();
}

void TestText::unicodeRoundTrip() {
    QFETCH(QString, unicode);
    QFETCH(QByteArray, gb18030);
    const QByteArray utf8 = unicode.toUtf8();
    const std::string utf8String = utf8.toStdString();

    const Text fromQString = TextFromQString(unicode);
    QCOMPARE(Bytes(fromQString), gb18030);
    QCOMPARE(TextToQString(fromQString), unicode);

    const std::optional<Text> fromUtf8 = TextFromUtf8(utf8String);
    QVERIFY(fromUtf8.has_value());
    QCOMPARE(Bytes(*fromUtf8), gb18030);
    QCOMPARE(QByteArray::fromStdString(TextToUtf8(*fromUtf8)), utf8);

    const std::optional<Text> fromPath = TextFromPath(utf8String);
    QVERIFY(fromPath.has_value());
    QCOMPARE(QByteArray::fromStdString(TextToPath(*fromPath)), utf8);
}

void TestText::invalidUtf8HasNoText_data() {
    QTest::addColumn<QByteArray>("utf8");
    QTest::newRow("stray byte") << QByteArray("a\xFF");
    QTest::newRow("truncated") << QByteArray("a\xE5\x9B");
    QTest::newRow("overlong slash") << QByteArray("\xC0\xAF");
    QTest::newRow("encoded surrogate") << QByteArray("\xED\xA0\x80");
    QTest::newRow("GBK bytes") << QByteArray("\xD6\xD0\xCE\xC4"); // 中文
}

void TestText::invalidUtf8HasNoText() {
    QFETCH(QByteArray, utf8);
    QVERIFY(!TextFromUtf8(utf8.toStdString()).has_value());
    QVERIFY(!TextFromPath(utf8.toStdString()).has_value());
}

void TestText::textWithoutPath_data() {
    QTest::addColumn<QByteArray>("gb18030");
    QTest::newRow("unfinished lead byte") << QByteArray("a\x81");
    QTest::newRow("lead byte before ASCII") << QByteArray("\x81\x20.jpg");
    QTest::newRow("broken four-byte code") << QByteArray("\x81\x30\x20");
    QTest::newRow("zero byte") << QByteArray("a\0b.jpg", 7);
}

// A text that names no character sequence exactly must give no path rather than the path of
// a file with a similar name.
void TestText::textWithoutPath() {
    QFETCH(QByteArray, gb18030);
    const Text t = Text::FromBytes(std::string_view(gb18030.constData(), gb18030.size()));
    QCOMPARE(TextToPath(t), std::string());
}

void TestText::unfinishedCharacterIsNotDropped_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("unicode");
    QTest::newRow("lead byte") << QByteArray("a\xCD") << QStringLiteral("a\uFFFD");
    QTest::newRow("half of four-byte") << QByteArray("a\x81\x30") << QStringLiteral("a\uFFFD0");
    QTest::newRow("complete") << QByteArray("a") + kTuPian << QStringLiteral("a图片");
}

void TestText::unfinishedCharacterIsNotDropped() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, unicode);
    QCOMPARE(TextToQString(B(bytes)), unicode);
    QCOMPARE(QByteArray::fromStdString(TextToUtf8(B(bytes))), unicode.toUtf8());
}

QTEST_APPLESS_MAIN(TestText)
#include "test_text.moc"
