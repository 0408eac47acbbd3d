#include <QApplication>
#include <QClipboard>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include "app/MainWindow.h"
#include "support/ScriptedDialogs.h"

namespace {

QString Q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QByteArray EncodedPicture(int w, int h, const char* format) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// A 2 x 2 GIF89a of one or two frames (red, then blue). Qt writes no GIF, so it is assembled
// here; each pixel code is followed by a clear code, so the LZW codes all stay 3 bits wide.
QByteArray TinyGif(int frames) {
    const unsigned char head[] = {
        'G',  'I',  'F',  '8',  '9', 'a', 2,   0,   2,    0,
        0x80, 0,    0,    0xFF, 0,   0,   0,   0,   0xFF, // palette: red, blue
        0x21, 0xFF, 0x0B, 'N',  'E', 'T', 'S', 'C', 'A',  'P',
        'E',  '2',  '.',  '0',  3,   1,   0,   0,   0};
    const unsigned char red[] = {0x21, 0xF9, 4, 0, 10, 0, 0, 0,    0x2C, 0,    0,    0, 0,
                                 2,    0,    2, 0, 0,  2, 4, 0x04, 0x41, 0x10, 0x05, 0};
    const unsigned char blue[] = {0x21, 0xF9, 4, 0, 10, 0, 0, 0,    0x2C, 0,    0,    0, 0,
                                  2,    0,    2, 0, 0,  2, 4, 0x0C, 0xC3, 0x30, 0x05, 0};
    QByteArray gif(reinterpret_cast<const char*>(head), sizeof head);
    gif.append(reinterpret_cast<const char*>(red), sizeof red);
    if (frames > 1)
        gif.append(reinterpret_cast<const char*>(blue), sizeof blue);
    gif.append(char(0x3B));
    return gif;
}

// Types text key by key, as a keyboard or an input method delivers it.
void TypeText(QWidget* widget, const QString& text) {
    for (QChar c : text) {
        if (c.unicode() < 128) {
            QTest::keyClick(widget, c.toLatin1());
        } else {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(widget, &press);
        }
    }
}

} // namespace

class TestApp : public QObject {
    Q_OBJECT

private slots:
    void initialControls_data();
    void initialControls();
    void windowSettings();
    void conditionDefaults();
    void radioButtonsAreExclusive();
    void tickingTogglesValueBox_data();
    void tickingTogglesValueBox();
    void typedInputIsFiltered_data();
    void typedInputIsFiltered();
    void keysWithModifiersAreFilteredToo();
    void pastedAndSetTextPassUnfiltered();
    void pathBoxTakesNoTyping();

    void insertAndRemoveRows();
    void badRowIndexesDoNothing();
    void selectRow();
    void selectRowDoesNotScroll();
    void captionRule_data();
    void captionRule();
    void clickBelowRowsClearsSelection();
    void keyboardMoveDoesNotEmitClick();
    void doubleClickIsOneClick();
    void removingSelectedRowLeavesNoSelection();

    void previewPlacement_data();
    void previewPlacement();
    void previewShowsAndClears();
    void previewOfLargeJpegIsDecodedSmall();
    void previewPlaysAnimatedGif();

    void messagesGoThroughDialogs();
    void chosenFolderText_data();
    void chosenFolderText();
    void pumpEventsWithEmptyQueueReturns();
    void nestedCommandsAreIgnoredDuringLoop();
    void closingDuringLoopStopsIt();
    void closingDuringLoopEndsEventLoopWithZero();
};

void TestApp::initialControls_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("ticked"); // -1: not a check box or radio button

    struct Row {
        const char* name;
        const char* parent;
        QRect geometry;
        const char* text;
        bool enabled;
        int ticked;
    };
    const Row rows[] = {
        {"标签1", "MainWindow", {8, 8, 80, 24}, "图片路径:", true, -1},
        {"编辑框_图片路径", "MainWindow", {64, 9, 448, 20}, "", false, -1},
        {"浏览图片", "MainWindow", {512, 9, 32, 20}, "...", true, -1},
        {"分组框1", "MainWindow", {8, 40, 536, 432}, "图片列表( 0 )", true, -1},
        {"图片列表", "分组框1", {8, 16, 256, 408}, "", true, -1},
        {"图片框1", "分组框1", {272, 16, 256, 160}, "", true, -1},
        {"按钮_重新获取图片列表", "分组框1", {272, 312, 112, 32}, "重新获取图片列表", true, -1},
        {"按钮_筛选图片", "分组框1", {448, 312, 80, 32}, "筛选图片", true, -1},
        {"分组框3", "MainWindow", {280, 224, 256, 120}, "筛选条件", true, -1},
        {"选择框1", "分组框3", {8, 16, 48, 24}, "宽度", true, 1},
        {"选择框2", "分组框3", {8, 40, 48, 24}, "高度", true, 1},
        {"选择框3", "分组框3", {8, 64, 56, 24}, "宽高比", true, 1},
        {"选择框4", "分组框3", {8, 88, 72, 24}, "文件大小", true, 0},
        {"组合框1", "分组框3", {80, 18, 32, 20}, "=", true, -1},
        {"组合框2", "分组框3", {80, 42, 32, 20}, "=", true, -1},
        {"组合框3", "分组框3", {80, 66, 32, 20}, "=", true, -1},
        {"组合框4", "分组框3", {80, 91, 32, 20}, "=", true, -1},
        {"编辑框_宽度", "分组框3", {120, 18, 80, 20}, nullptr, true, -1},
        {"编辑框_高度", "分组框3", {120, 42, 80, 20}, nullptr, true, -1},
        {"编辑框_宽高比", "分组框3", {120, 66, 80, 20}, nullptr, true, -1},
        {"编辑框_文件大小", "分组框3", {120, 91, 80, 20}, "", false, -1},
        {"标签2", "分组框3", {205, 16, 40, 24}, "像素", true, -1},
        {"标签3", "分组框3", {205, 40, 40, 24}, "像素", true, -1},
        {"标签4", "分组框3", {205, 88, 40, 24}, "KB", true, -1},
        {"分组框4", "MainWindow", {280, 392, 256, 72}, "操作", true, -1},
        {"单选框1", "分组框4", {8, 16, 48, 24}, "删除", true, 1},
        {"单选框2", "分组框4", {56, 16, 80, 24}, "复制", true, 0},
        {"单选框3", "分组框4", {104, 16, 48, 24}, "剪切", true, 0},
        {"单选框4", "分组框4", {8, 40, 48, 24}, "改名", true, 0},
        {"编辑框_改名", "分组框4", {56, 42, 88, 20}, "图片[i]", true, -1},
        {"按钮_执行", "分组框4", {168, 22, 80, 32}, "执行", true, -1},
    };
    for (const Row& r : rows)
        QTest::newRow(r.name) << Q(r.name) << Q(r.parent) << r.geometry
                              << (r.text ? Q(r.text) : QString()) << r.enabled << r.ticked;
}

void TestApp::initialControls() {
    QFETCH(QString, name);
    QFETCH(QString, parent);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QFETCH(bool, enabled);
    QFETCH(int, ticked);

    MainWindow w;
    QWidget* control = w.findChild<QWidget*>(name);
    QVERIFY2(control, qPrintable(name));
    QCOMPARE(control->parentWidget()->objectName(), parent);
    QCOMPARE(control->geometry(), geometry);
    QCOMPARE(control->isEnabled(), enabled);

    QString shown;
    if (auto* e = qobject_cast<QLineEdit*>(control))
        shown = e->text();
    else if (auto* b = qobject_cast<QAbstractButton*>(control))
        shown = b->text();
    else if (auto* g = qobject_cast<QGroupBox*>(control))
        shown = g->title();
    else if (auto* l = qobject_cast<QLabel*>(control))
        shown = l->text();
    else if (auto* c = qobject_cast<QComboBox*>(control)) {
        shown = c->currentText();
        QCOMPARE(c->count(), 3);
        QCOMPARE(c->itemText(1), Q(">"));
        QCOMPARE(c->itemText(2), Q("<"));
        QCOMPARE(ComboIndex(c), 0);
    }
    if (!text.isNull())
        QCOMPARE(shown, text);
    if (ticked >= 0)
        QCOMPARE(IsTicked(qobject_cast<QAbstractButton*>(control)), ticked == 1);
}

void TestApp::windowSettings() {
    MainWindow w;
    QCOMPARE(w.windowTitle(), Q("砚澜图片筛选器 v1.0"));
    QCOMPARE(w.minimumSize(), w.maximumSize());
    QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    QCOMPARE(w.pos(), QPoint((ScreenWidth() - 559) / 2, (ScreenHeight() - 508) / 2));
    QCOMPARE(w.RowCount(), 0);
    QCOMPARE(w.SelectedRow(), -1);
    QVERIFY(!w.图片框1->hasPicture());

    // The list: two columns, single full-row selection, no editing, no sorting.
    QCOMPARE(w.图片列表->columnCount(), 2);
    QCOMPARE(w.图片列表->horizontalHeaderItem(0)->text(), Q("文件名"));
    QCOMPARE(w.图片列表->horizontalHeaderItem(1)->text(), Q("大小(KB)"));
    QCOMPARE(w.图片列表->columnWidth(0), 165);
    QCOMPARE(w.图片列表->columnWidth(1), 60);
    QCOMPARE(w.图片列表->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(w.图片列表->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(w.图片列表->editTriggers(), QAbstractItemView::NoEditTriggers);
    QVERIFY(w.图片列表->showGrid());
    QVERIFY(!w.图片列表->isSortingEnabled());
}

void TestApp::conditionDefaults() {
    MainWindow w;
    QCOMPARE(ControlText(w.编辑框_宽度), IntToText(ScreenWidth()));
    QCOMPARE(ControlText(w.编辑框_高度), IntToText(ScreenHeight()));
    QCOMPARE(ControlText(w.编辑框_宽高比),
             DoubleToText(static_cast<double>(ScreenWidth()) / ScreenHeight()));
    QVERIFY(ControlText(w.编辑框_文件大小).isEmpty());
}

void TestApp::radioButtonsAreExclusive() {
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QList<QRadioButton*> radios{w.单选框1, w.单选框2, w.单选框3, w.单选框4};
    for (QRadioButton* chosen : radios) {
        QTest::mouseClick(chosen, Qt::LeftButton);
        for (QRadioButton* r : radios)
            QCOMPARE(IsTicked(r), r == chosen);
    }
}

void TestApp::tickingTogglesValueBox_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("value");
    QTest::newRow("width") << Q("选择框1") << Q("编辑框_宽度");
    QTest::newRow("height") << Q("选择框2") << Q("编辑框_高度");
    QTest::newRow("ratio") << Q("选择框3") << Q("编辑框_宽高比");
    QTest::newRow("size") << Q("选择框4") << Q("编辑框_文件大小");
}

void TestApp::tickingTogglesValueBox() {
    QFETCH(QString, box);
    QFETCH(QString, value);
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto* check = w.findChild<QCheckBox*>(box);
    auto* edit = w.findChild<QLineEdit*>(value);
    const QString before = edit->text();
    const bool wasTicked = check->isChecked();
    QCOMPARE(edit->isEnabled(), wasTicked);

    QTest::mouseClick(check, Qt::LeftButton);
    QCOMPARE(check->isChecked(), !wasTicked);
    QCOMPARE(edit->isEnabled(), !wasTicked);
    QCOMPARE(edit->text(), before);

    QTest::mouseClick(check, Qt::LeftButton);
    QCOMPARE(edit->isEnabled(), wasTicked);
    QCOMPARE(edit->text(), before);
    // The comparison stays usable whatever the tick.
    const QString combo = Q("组合框") + box.right(1);
    QVERIFY(w.findChild<QComboBox*>(combo)->isEnabled());
}

void TestApp::typedInputIsFiltered_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    QTest::newRow("integer digits and minus") << Q("编辑框_宽度") << Q("-12") << Q("-12");
    QTest::newRow("integer drops letters and dot") << Q("编辑框_宽度") << Q("1a.2") << Q("12");
    QTest::newRow("integer drops space") << Q("编辑框_高度") << Q("3 4") << Q("34");
    QTest::newRow("integer drops CJK") << Q("编辑框_高度") << Q("5宽") << Q("5");
    QTest::newRow("decimal takes dot") << Q("编辑框_宽高比") << Q("1.5") << Q("1.5");
    QTest::newRow("decimal drops letters") << Q("编辑框_宽高比") << Q("1e5") << Q("15");
    QTest::newRow("decimal size") << Q("编辑框_文件大小") << Q("-0.5x") << Q("-0.5");
    QTest::newRow("free takes all") << Q("编辑框_改名") << Q("a b.[i]图") << Q("a b.[i]图");
}

void TestApp::typedInputIsFiltered() {
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto* edit = w.findChild<QLineEdit*>(box);
    edit->setEnabled(true);
    edit->clear();
    edit->setFocus();
    TypeText(edit, typed);
    QCOMPARE(edit->text(), expected);
    // Backspace is never filtered.
    QTest::keyClick(edit, Qt::Key_Backspace);
    QCOMPARE(edit->text(), expected.left(expected.size() - 1));
}

void TestApp::keysWithModifiersAreFilteredToo() {
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.编辑框_宽度->clear();
    w.编辑框_宽度->setFocus();
    QTest::keyClick(w.编辑框_宽度, 'a', Qt::AltModifier);
    QTest::keyClick(w.编辑框_宽度, 'b', Qt::MetaModifier);
    QTest::keyClick(w.编辑框_宽度, 'c', Qt::ControlModifier | Qt::AltModifier);
    QTest::keyClick(w.编辑框_宽度, 'D', Qt::ShiftModifier);
    QCOMPARE(w.编辑框_宽度->text(), QString());
    QTest::keyClick(w.编辑框_宽度, '7', Qt::KeypadModifier);
    QCOMPARE(w.编辑框_宽度->text(), Q("7"));
}

void TestApp::pastedAndSetTextPassUnfiltered() {
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.编辑框_宽度->clear();
    QApplication::clipboard()->setText(Q("abc-1.5"));
    w.编辑框_宽度->setFocus();
    QTest::keyClick(w.编辑框_宽度, Qt::Key_V, Qt::ControlModifier);
    if (QApplication::clipboard()->text() == Q("abc-1.5"))
        QCOMPARE(w.编辑框_宽度->text(), Q("abc-1.5"));
    else
        w.编辑框_宽度->paste(); // platforms without a clipboard: still the paste path
    SetControlText(w.编辑框_宽高比, U8("x-y"));
    QCOMPARE(ControlText(w.编辑框_宽高比), U8("x-y"));
}

void TestApp::pathBoxTakesNoTyping() {
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTest::keyClicks(w.编辑框_图片路径, Q("abc"));
    QCOMPARE(w.编辑框_图片路径->text(), QString());
    QCOMPARE(w.编辑框_图片路径->focusPolicy() == Qt::NoFocus || !w.编辑框_图片路径->isEnabled(),
             true);
}

void TestApp::insertAndRemoveRows() {
    MainWindow w;
    QCOMPARE(w.InsertRow(U8("a.jpg")), 0);
    for (int i = 1; i < 5; ++i)
        w.InsertRow(U8("x"));
    QCOMPARE(w.InsertRow(U8("f.png")), 5);
    QCOMPARE(w.RowCount(), 6);
    w.SetCellText(5, 1, U8("12.35"));
    QCOMPARE(w.GetCellText(5, 0), U8("f.png"));
    QCOMPARE(w.GetCellText(5, 1), U8("12.35"));
    QCOMPARE(w.GetCellText(0, 1), Text());

    w.ClearRows();
    w.InsertRow(U8("r0"));
    w.InsertRow(U8("r1"));
    w.InsertRow(U8("r2"));
    w.RemoveRow(0);
    QCOMPARE(w.RowCount(), 2);
    QCOMPARE(w.GetCellText(0, 0), U8("r1"));
    QCOMPARE(w.GetCellText(1, 0), U8("r2"));
    w.ClearRows();
    QCOMPARE(w.RowCount(), 0);
}

void TestApp::badRowIndexesDoNothing() {
    MainWindow w;
    w.InsertRow(U8("a"));
    w.InsertRow(U8("b"));
    QCOMPARE(w.GetCellText(-1, 0), Text());
    QCOMPARE(w.GetCellText(w.RowCount(), 0), Text());
    QCOMPARE(w.GetCellText(0, 2), Text());
    w.SetCellText(2, 1, U8("x"));
    w.SetCellText(-1, 1, U8("x"));
    w.RemoveRow(2);
    w.RemoveRow(-1);
    w.EnsureRowVisible(7);
    QCOMPARE(w.RowCount(), 2);
    QCOMPARE(w.GetCellText(1, 1), Text());
}

void TestApp::selectRow() {
    MainWindow w;
    w.InsertRow(U8("a"));
    w.InsertRow(U8("b"));
    w.SelectRow(1);
    QCOMPARE(w.SelectedRow(), 1);
    w.SelectRow(2); // beyond the rows: selection stays
    QCOMPARE(w.SelectedRow(), 1);
    w.SelectRow(0);
    QCOMPARE(w.SelectedRow(), 0);
    QCOMPARE(w.图片列表->selectionModel()->selectedRows().size(), 1);
    w.SelectRow(-1);
    QCOMPARE(w.SelectedRow(), -1);
    // The answer does not depend on focus.
    w.SelectRow(1);
    w.编辑框_改名->setFocus();
    QCOMPARE(w.SelectedRow(), 1);
}

void TestApp::selectRowDoesNotScroll() {
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    for (int i = 0; i < 200; ++i)
        w.InsertRow(IntToText(i));
    QScrollBar* bar = w.图片列表->verticalScrollBar();
    QCOMPARE(bar->value(), 0);
    w.SelectRow(150);
    QCOMPARE(bar->value(), 0);
    w.EnsureRowVisible(150);
    QVERIFY(bar->value() > 0);
    const QRect rowRect = w.图片列表->visualItemRect(w.图片列表->item(150, 0));
    QVERIFY(w.图片列表->viewport()->rect().contains(rowRect));
    // Inserting keeps the scroll position and the selection.
    const int scrolled = bar->value();
    w.InsertRow(U8("more"));
    QCOMPARE(bar->value(), scrolled);
    QCOMPARE(w.SelectedRow(), 150);
}

void TestApp::captionRule_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("caption");
    QTest::newRow("0") << 0 << Q("图片列表( 0 )");
    QTest::newRow("1") << 1 << Q("图片列表( 1 )");
    QTest::newRow("120") << 120 << Q("图片列表( 120 )");
}

void TestApp::captionRule() {
    QFETCH(int, rows);
    QFETCH(QString, caption);
    MainWindow w;
    w.InsertRow(U8("x"));
    w.UpdateListCaption();
    w.ClearRows();
    for (int i = 0; i < rows; ++i)
        w.InsertRow(U8("x"));
    w.UpdateListCaption();
    QCOMPARE(w.分组框1->title(), caption);
}

void TestApp::clickBelowRowsClearsSelection() {
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.InsertRow(U8("a"));
    w.InsertRow(U8("b"));
    QSignalSpy clicks(w.图片列表, &PictureListView::leftClicked);
    int selectedAtClick = -2;
    connect(w.图片列表, &PictureListView::leftClicked, &w,
            [&] { selectedAtClick = w.SelectedRow(); });

    QWidget* viewport = w.图片列表->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {},
                      w.图片列表->visualItemRect(w.图片列表->item(1, 0)).center());
    QCOMPARE(clicks.size(), 1);
    QCOMPARE(selectedAtClick, 1);

    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(20, viewport->height() - 5));
    QCOMPARE(clicks.size(), 2);
    QCOMPARE(selectedAtClick, -1);
    QCOMPARE(w.SelectedRow(), -1);

    // A right click is no left click.
    QTest::mouseClick(viewport, Qt::RightButton, {},
                      w.图片列表->visualItemRect(w.图片列表->item(0, 0)).center());
    QCOMPARE(clicks.size(), 2);
}

void TestApp::keyboardMoveDoesNotEmitClick() {
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.InsertRow(U8("a"));
    w.InsertRow(U8("b"));
    w.FocusList();
    w.SelectRow(0);
    QSignalSpy clicks(w.图片列表, &PictureListView::leftClicked);
    QTest::keyClick(w.图片列表, Qt::Key_Down);
    QCOMPARE(w.SelectedRow(), 1);
    QCOMPARE(clicks.size(), 0);
}

void TestApp::doubleClickIsOneClick() {
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.InsertRow(U8("a"));
    QSignalSpy clicks(w.图片列表, &PictureListView::leftClicked);
    const QPoint row = w.图片列表->visualItemRect(w.图片列表->item(0, 0)).center();
    // A double click as the window system delivers it: a click, then a double-click press and
    // its release.
    QWidget* viewport = w.图片列表->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, row);
    QMouseEvent dbl(QEvent::MouseButtonDblClick, row, viewport->mapToGlobal(row), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &dbl);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, row);
    QCOMPARE(clicks.size(), 1);
}

void TestApp::removingSelectedRowLeavesNoSelection() {
    MainWindow w;
    for (int i = 0; i < 4; ++i)
        w.InsertRow(IntToText(i));
    w.FocusList();
    w.SelectRow(1);
    w.RemoveRow(1);
    QCOMPARE(w.SelectedRow(), -1);
    QCOMPARE(w.GetCellText(1, 0), U8("2"));
    // Removing another row keeps the selected one selected.
    w.SelectRow(0);
    w.RemoveRow(2);
    QCOMPARE(w.SelectedRow(), 0);
    QCOMPARE(w.RowCount(), 2);
}

void TestApp::previewPlacement_data() {
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QRect>("drawn");
    QTest::newRow("fits, centred") << QSize(100, 50) << QRect(77, 54, 100, 50);
    QTest::newRow("too wide") << QSize(508, 158) << QRect(0, 39, 254, 79);
    QTest::newRow("too tall") << QSize(508, 632) << QRect(63, 0, 127, 158);
    QTest::newRow("exactly the area") << QSize(254, 158) << QRect(0, 0, 254, 158);
    QTest::newRow("one pixel") << QSize(1, 1) << QRect(126, 78, 1, 1);
    QTest::newRow("odd halves truncated") << QSize(3, 3) << QRect(125, 77, 3, 3);
}

void TestApp::previewPlacement() {
    QFETCH(QSize, picture);
    QFETCH(QRect, drawn);
    QCOMPARE(PlacePreview(picture.width(), picture.height(), 254, 158), drawn);

    // The box itself offers exactly that drawing area and places a real picture so.
    MainWindow w;
    QCOMPARE(w.图片框1->contentsRect().size(), QSize(254, 158));
    w.SetPreviewPicture(EncodedPicture(picture.width(), picture.height(), "PNG"));
    QVERIFY(w.图片框1->hasPicture());
    QCOMPARE(w.图片框1->pictureRect(), drawn);
}

void TestApp::previewShowsAndClears() {
    MainWindow w;
    const char* formats[] = {"BMP", "JPEG", "PNG", "ICO", "TIFF"};
    for (const char* format : formats) {
        w.SetPreviewPicture(EncodedPicture(40, 30, format));
        QVERIFY2(w.图片框1->hasPicture(), format);
        QCOMPARE(w.图片框1->pictureSize(), QSize(40, 30));
    }
    w.SetPreviewPicture(TinyGif(1));
    QVERIFY(w.图片框1->hasPicture());
    QVERIFY(!w.图片框1->isAnimated());
    QCOMPARE(w.图片框1->pictureSize(), QSize(2, 2));
    w.SetPreviewPicture(QByteArray("just some text, no picture\n"));
    QVERIFY(!w.图片框1->hasPicture());
    w.SetPreviewPicture(EncodedPicture(40, 30, "PNG"));
    w.SetPreviewPicture(QByteArray());
    QVERIFY(!w.图片框1->hasPicture());
    // The kind comes from the bytes: a truncated JPEG gives nothing.
    w.SetPreviewPicture(EncodedPicture(40, 30, "JPEG").left(4));
    QVERIFY(!w.图片框1->hasPicture());
}

void TestApp::previewOfLargeJpegIsDecodedSmall() {
    MainWindow w;
    w.SetPreviewPicture(EncodedPicture(4000, 3000, "JPEG"));
    QVERIFY(w.图片框1->hasPicture());
    QCOMPARE(w.图片框1->pictureSize(), QSize(4000, 3000));
    QCOMPARE(w.图片框1->pictureRect(), PlacePreview(4000, 3000, 254, 158));
}

void TestApp::previewPlaysAnimatedGif() {
    MainWindow w;
    w.SetPreviewPicture(TinyGif(2));
    QVERIFY(w.图片框1->hasPicture());
    QVERIFY(w.图片框1->isAnimated());
    QCOMPARE(w.图片框1->pictureRect(), QRect(126, 78, 2, 2));
    w.SetPreviewPicture(QByteArray());
    QVERIFY(!w.图片框1->isAnimated());
}

void TestApp::messagesGoThroughDialogs() {
    MainWindow w;
    ScriptedDialogs& dialogs = InstallScriptedDialogs(w);
    dialogs.messageAnswers = {ButtonYes, ButtonNo};
    QCOMPARE(w.ShowMessage(U8("删吗？"), FlagsQuestion, U8("核对")), int(ButtonYes));
    QCOMPARE(w.ShowMessage(U8("删吗？"), FlagsQuestion, U8("核对")), int(ButtonNo));
    QCOMPARE(w.ShowMessage(U8("错了"), FlagsError, U8("错误")), int(ButtonOk));
    QCOMPARE(dialogs.messages.size(), size_t(3));
    QCOMPARE(dialogs.messages[0].text, Q("删吗？"));
    QCOMPARE(dialogs.messages[0].flags, 36);
    QCOMPARE(dialogs.messages[2].caption, Q("错误"));
    QCOMPARE(dialogs.messages[2].flags, 16);
}

void TestApp::chosenFolderText_data() {
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("text");
    QTest::newRow("cancel") << QString() << QString();
    QTest::newRow("root") << Q("/") << Q("/");
    QTest::newRow("CJK and emoji") << Q("/home/u/图片😀") << Q("/home/u/图片😀");
    QTest::newRow("name not valid UTF-8") << QString::fromUtf8("/tmp/a\xff") << QString();
}

void TestApp::chosenFolderText() {
    QFETCH(QString, chosen);
    QFETCH(QString, text);
    QCOMPARE(TextToQString(ChosenFolderText(chosen)), text);
}

void TestApp::pumpEventsWithEmptyQueueReturns() {
    MainWindow w;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 100; ++i)
        QVERIFY(w.PumpEvents());
    QVERIFY(timer.elapsed() < 5000); // returns without waiting for events
}

void TestApp::nestedCommandsAreIgnoredDuringLoop() {
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    InstallScriptedDialogs(w);
    int nestedRuns = 0;
    QPushButton probe(&w);
    w.BindCommand(&probe, [](MainWindow& win) { win.ClearRows(); });
    connect(&probe, &QPushButton::clicked, &w, [&] { ++nestedRuns; });

    for (int i = 0; i < 5; ++i)
        w.InsertRow(IntToText(i));
    int iterations = 0;
    w.RunCommand([&] {
        for (int i = 0; i < 5; ++i) {
            w.FocusList();
            w.SelectRow(i);
            if (i == 2) {
                // The user clicks other commands and another row while the loop runs.
                QTimer::singleShot(0, &w, [&] {
                    QTest::mouseClick(&probe, Qt::LeftButton);
                    QTest::mouseClick(w.按钮_重新获取图片列表, Qt::LeftButton);
                    QTest::mouseClick(w.按钮_执行, Qt::LeftButton);
                    QTest::mouseClick(w.按钮_筛选图片, Qt::LeftButton);
                    QTest::mouseClick(w.浏览图片, Qt::LeftButton);
                    QTest::mouseClick(w.图片列表->viewport(), Qt::LeftButton, {},
                                      w.图片列表->visualItemRect(w.图片列表->item(4, 0)).center());
                    QTest::keyClick(w.图片列表, Qt::Key_Down);
                });
            }
            QVERIFY(w.PumpEvents());
            QCOMPARE(w.SelectedRow(), i);
            ++iterations;
        }
    });
    QCOMPARE(iterations, 5);
    QCOMPARE(nestedRuns, 1);   // the click arrived ...
    QCOMPARE(w.RowCount(), 5); // ... but its command did not run
    // After the loop the same command runs again.
    QTest::mouseClick(&probe, Qt::LeftButton);
    QCOMPARE(w.RowCount(), 0);
}

void TestApp::closingDuringLoopStopsIt() {
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    int operations = 0;
    bool stoppedByClose = false;
    w.RunCommand([&] {
        for (int i = 0; i < 1000; ++i) {
            ++operations; // stands for one file operation
            if (i == 3)
                QTimer::singleShot(0, &w, [&] { w.close(); });
            if (!w.PumpEvents()) {
                stoppedByClose = true;
                return;
            }
        }
    });
    QVERIFY(stoppedByClose);
    QCOMPARE(operations, 4);
    QVERIFY(w.IsClosed());
    QVERIFY(!w.isVisible());
    // Once closed, no command runs any more.
    bool ran = false;
    w.RunCommand([&] { ran = true; });
    QVERIFY(!ran);
}

// As at start-up: the window runs in the application's event loop; closing it inside a loop
// stops the loop, and the event loop then ends with 0.
void TestApp::closingDuringLoopEndsEventLoopWithZero() {
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    int operations = 0;
    QTimer::singleShot(0, &w, [&] {
        w.RunCommand([&] {
            for (int i = 0; i < 1000; ++i) {
                ++operations;
                if (i == 2)
                    QTimer::singleShot(0, &w, [&] { w.close(); });
                if (!w.PumpEvents())
                    return;
            }
        });
    });
    QTimer neverHang; // ends the event loop with 1 should the close not end it
    neverHang.setSingleShot(true);
    connect(&neverHang, &QTimer::timeout, qApp, [] { QCoreApplication::exit(1); });
    neverHang.start(10000);
    QCOMPARE(QApplication::exec(), 0);
    QCOMPARE(operations, 3);
}

QTEST_MAIN(TestApp)
#include "test_app.moc"
