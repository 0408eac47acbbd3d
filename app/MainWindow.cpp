#include "app/MainWindow.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>

#include "imaging/Reencode.h"

namespace {

QString Q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

template <typename W, typename... Args>
W* Make(QWidget* parent, const char* name, int x, int y, int w, int h, Args&&... args) {
    W* widget = new W(std::forward<Args>(args)..., parent);
    widget->setObjectName(Q(name));
    widget->setGeometry(x, y, w, h);
    return widget;
}

QComboBox* MakeCombo(QWidget* parent, const char* name, int x, int y) {
    auto* box = Make<QComboBox>(parent, name, x, y, 32, 20);
    box->addItems({Q("="), Q(">"), Q("<")});
    box->setCurrentIndex(0);
    box->setEditable(false);
    return box;
}

QLabel* MakeLabel(QWidget* parent, const char* name, int x, int y, int w, int h, const char* text) {
    auto* label = Make<QLabel>(parent, name, x, y, w, h);
    label->setText(Q(text));
    return label;
}

} // namespace

// Paces the repaints of a window while a loop pumps its events: at most one repaint per frame,
// the ones in between held back and done at the end of the frame. A loop adds a row in far less
// time than a repaint of the window takes, so without this the repaints would set its pace.
// Every other event is still dispatched at once.
class PaintPacer : public QObject {
public:
    static constexpr int kFrameMs = 30;

    explicit PaintPacer(QWidget* window) : QObject(window), window_(window) {
        timer_.setSingleShot(true);
        connect(&timer_, &QTimer::timeout, this, [this] { RepaintNow(); });
        window->installEventFilter(this);
    }

    void Pump() {
        ++pumping_;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        --pumping_;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (watched != window_ || e->type() != QEvent::UpdateRequest || pumping_ == 0 ||
            repainting_)
            return false;
        if (!frame_.isValid() || frame_.elapsed() >= kFrameMs) {
            frame_.restart();
            return false;
        }
        // The window keeps its dirty areas; the timer repaints them once this frame is over.
        if (!timer_.isActive())
            timer_.start(static_cast<int>(kFrameMs - frame_.elapsed()));
        return true;
    }

private:
    void RepaintNow() {
        frame_.restart();
        repainting_ = true;
        QEvent update(QEvent::UpdateRequest);
        QCoreApplication::sendEvent(window_, &update);
        repainting_ = false;
    }

    QWidget* window_;
    QTimer timer_;
    QElapsedTimer frame_;
    int pumping_ = 0;
    bool repainting_ = false;
};

MainWindow::MainWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      dialogs_(std::make_unique<QtDialogs>(this)), pacer_(new PaintPacer(this)) {
    // The preview decodes photos of 100 megapixels and more too.
    AllowLargePictures();
    setObjectName(Q("MainWindow"));
    setWindowTitle(Q("砚澜图片筛选器 v1.0"));
    setFixedSize(kClientWidth, kClientHeight);
    // Centred on the primary screen by the outer size, halves truncated toward zero.
    move((ScreenWidth() - kOuterWidth) / 2, (ScreenHeight() - kOuterHeight) / 2);
    BuildControls();
    // The window's controls all exist and it is not yet shown: fill the screen-size defaults.
    FillConditionDefaults(*this);
    BindHandlers(*this);
}

MainWindow::~MainWindow() = default;

void MainWindow::BuildControls() {
    标签1 = MakeLabel(this, "标签1", 8, 8, 80, 24, "图片路径:");
    编辑框_图片路径 =
        Make<FilteredLineEdit>(this, "编辑框_图片路径", 64, 9, 448, 20, InputMode::Free);
    编辑框_图片路径->setEnabled(false);
    浏览图片 = Make<QPushButton>(this, "浏览图片", 512, 9, 32, 20);
    浏览图片->setText(Q("..."));

    分组框1 = Make<QGroupBox>(this, "分组框1", 8, 40, 536, 432);
    分组框1->setTitle(Q("图片列表( 0 )"));
    图片列表 = Make<PictureListView>(分组框1, "图片列表", 8, 16, 256, 408);
    图片框1 = Make<PreviewBox>(分组框1, "图片框1", 272, 16, 256, 160);
    按钮_重新获取图片列表 = Make<QPushButton>(分组框1, "按钮_重新获取图片列表", 272, 312, 112, 32);
    按钮_重新获取图片列表->setText(Q("重新获取图片列表"));
    按钮_筛选图片 = Make<QPushButton>(分组框1, "按钮_筛选图片", 448, 312, 80, 32);
    按钮_筛选图片->setText(Q("筛选图片"));

    分组框3 = Make<QGroupBox>(this, "分组框3", 280, 224, 256, 120);
    分组框3->setTitle(Q("筛选条件"));
    选择框1 = Make<QCheckBox>(分组框3, "选择框1", 8, 16, 48, 24);
    选择框2 = Make<QCheckBox>(分组框3, "选择框2", 8, 40, 48, 24);
    选择框3 = Make<QCheckBox>(分组框3, "选择框3", 8, 64, 56, 24);
    选择框4 = Make<QCheckBox>(分组框3, "选择框4", 8, 88, 72, 24);
    选择框1->setText(Q("宽度"));
    选择框2->setText(Q("高度"));
    选择框3->setText(Q("宽高比"));
    选择框4->setText(Q("文件大小"));
    选择框1->setChecked(true);
    选择框2->setChecked(true);
    选择框3->setChecked(true);
    组合框1 = MakeCombo(分组框3, "组合框1", 80, 18);
    组合框2 = MakeCombo(分组框3, "组合框2", 80, 42);
    组合框3 = MakeCombo(分组框3, "组合框3", 80, 66);
    组合框4 = MakeCombo(分组框3, "组合框4", 80, 91);
    编辑框_宽度 =
        Make<FilteredLineEdit>(分组框3, "编辑框_宽度", 120, 18, 80, 20, InputMode::Integer);
    编辑框_高度 =
        Make<FilteredLineEdit>(分组框3, "编辑框_高度", 120, 42, 80, 20, InputMode::Integer);
    编辑框_宽高比 =
        Make<FilteredLineEdit>(分组框3, "编辑框_宽高比", 120, 66, 80, 20, InputMode::Decimal);
    编辑框_文件大小 =
        Make<FilteredLineEdit>(分组框3, "编辑框_文件大小", 120, 91, 80, 20, InputMode::Decimal);
    编辑框_文件大小->setEnabled(false);
    标签2 = MakeLabel(分组框3, "标签2", 205, 16, 40, 24, "像素");
    标签3 = MakeLabel(分组框3, "标签3", 205, 40, 40, 24, "像素");
    标签4 = MakeLabel(分组框3, "标签4", 205, 88, 40, 24, "KB");

    分组框4 = Make<QGroupBox>(this, "分组框4", 280, 392, 256, 72);
    分组框4->setTitle(Q("操作"));
    单选框1 = Make<QRadioButton>(分组框4, "单选框1", 8, 16, 48, 24);
    单选框2 = Make<QRadioButton>(分组框4, "单选框2", 56, 16, 80, 24);
    单选框3 = Make<QRadioButton>(分组框4, "单选框3", 104, 16, 48, 24);
    单选框4 = Make<QRadioButton>(分组框4, "单选框4", 8, 40, 48, 24);
    单选框1->setText(Q("删除"));
    单选框2->setText(Q("复制"));
    单选框3->setText(Q("剪切"));
    单选框4->setText(Q("改名"));
    auto* group = new QButtonGroup(this);
    group->setExclusive(true);
    for (QRadioButton* r : {单选框1, 单选框2, 单选框3, 单选框4})
        group->addButton(r);
    单选框1->setChecked(true);
    编辑框_改名 = Make<FilteredLineEdit>(分组框4, "编辑框_改名", 56, 42, 88, 20, InputMode::Free);
    编辑框_改名->setText(Q("图片[i]"));
    按钮_执行 = Make<QPushButton>(分组框4, "按钮_执行", 168, 22, 80, 32);
    按钮_执行->setText(Q("执行"));

    // The condition and operation boxes lie over the list's group box; keep them on top.
    分组框3->raise();
    分组框4->raise();

    for (QCheckBox* box : {选择框1, 选择框2, 选择框3, 选择框4})
        connect(box, &QCheckBox::clicked, this, [this, box] { ToggleConditionInput(*this, box); });
}

void MainWindow::BindCommand(QAbstractButton* button, void (*handler)(MainWindow&)) {
    connect(button, &QAbstractButton::clicked, this,
            [this, handler] { RunCommand([this, handler] { handler(*this); }); });
}

void MainWindow::RunCommand(const std::function<void()>& handler) {
    if (busy_ || closed_)
        return;
    busy_ = true;
    图片列表->setInputBlocked(true);
    handler();
    图片列表->setInputBlocked(false);
    busy_ = false;
}

bool MainWindow::PumpEvents() {
    if (!closed_)
        pacer_->Pump();
    return !closed_;
}

void MainWindow::closeEvent(QCloseEvent* e) {
    // Closing during a loop is allowed: the loop sees it at its next PumpEvents and stops.
    closed_ = true;
    e->accept();
}

void MainWindow::setDialogs(std::unique_ptr<Dialogs> dialogs) {
    dialogs_ = std::move(dialogs);
}

int MainWindow::ShowMessage(const Text& text, int flags, const Text& caption) {
    return dialogs_->ShowMessage(text, flags, caption);
}

Text MainWindow::BrowseForFolder(const Text& title) {
    return dialogs_->BrowseForFolder(title);
}

// --- Picture list ---

int MainWindow::RowCount() const {
    return 图片列表->rowCount();
}

int MainWindow::InsertRow(const Text& name) {
    const int row = 图片列表->rowCount();
    const int scroll = 图片列表->verticalScrollBar()->value();
    图片列表->insertRow(row);
    auto* nameItem = new QTableWidgetItem(TextToQString(name));
    auto* sizeItem = new QTableWidgetItem(QString());
    nameItem->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    sizeItem->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    图片列表->setItem(row, 0, nameItem);
    图片列表->setItem(row, 1, sizeItem);
    图片列表->verticalScrollBar()->setValue(scroll);
    return row;
}

void MainWindow::SetCellText(int row, int column, const Text& text) {
    if (row < 0 || row >= RowCount() || column < 0 || column > 1)
        return;
    图片列表->item(row, column)->setText(TextToQString(text));
}

Text MainWindow::GetCellText(int row, int column) const {
    if (row < 0 || row >= RowCount() || column < 0 || column > 1)
        return Text();
    return TextFromQString(图片列表->item(row, column)->text());
}

void MainWindow::RemoveRow(int row) {
    if (row < 0 || row >= RowCount())
        return;
    // The list would hand the selection of a removed row on to its neighbour; it goes instead.
    const bool wasSelected = SelectedRow() == row;
    图片列表->removeRow(row);
    if (wasSelected)
        SelectRow(-1);
}

void MainWindow::ClearRows() {
    图片列表->setRowCount(0);
}

int MainWindow::SelectedRow() const {
    const QModelIndexList rows = 图片列表->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void MainWindow::SelectRow(int row) {
    if (row >= RowCount())
        return;
    QItemSelectionModel* model = 图片列表->selectionModel();
    if (row < 0) {
        model->clearSelection();
        model->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
        return;
    }
    // Selecting never scrolls; EnsureRowVisible does that.
    const int scroll = 图片列表->verticalScrollBar()->value();
    model->setCurrentIndex(图片列表->model()->index(row, 0),
                           QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    图片列表->verticalScrollBar()->setValue(scroll);
}

void MainWindow::EnsureRowVisible(int row) {
    if (row < 0 || row >= RowCount())
        return;
    图片列表->scrollToItem(图片列表->item(row, 0), QAbstractItemView::EnsureVisible);
}

void MainWindow::FocusList() {
    图片列表->setFocus(Qt::OtherFocusReason);
}

void MainWindow::UpdateListCaption() {
    SetControlText(分组框1, ConcatText(U8("图片列表( "), IntToText(RowCount()), U8(" )")));
}

void MainWindow::SetPreviewPicture(const QByteArray& bytes) {
    图片框1->setPicture(bytes);
}

// --- Accessors ---

Text ControlText(const QLineEdit* box) {
    return TextFromQString(box->text());
}

void SetControlText(QLineEdit* box, const Text& text) {
    box->setText(TextToQString(text));
}

void SetControlText(QGroupBox* box, const Text& text) {
    box->setTitle(TextToQString(text));
}

bool IsTicked(const QAbstractButton* box) {
    return box->isChecked();
}

int ComboIndex(const QComboBox* box) {
    return box->currentIndex();
}

void SetEnabled(QWidget* control, bool enabled) {
    control->setEnabled(enabled);
}

int ScreenWidth() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().width() : 0;
}

int ScreenHeight() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().height() : 0;
}

void FillConditionDefaults(MainWindow& w) {
    SetControlText(w.编辑框_宽度, IntToText(ScreenWidth()));
    SetControlText(w.编辑框_高度, IntToText(ScreenHeight()));
    const double ratio = static_cast<double>(ScreenWidth()) / static_cast<double>(ScreenHeight());
    SetControlText(w.编辑框_宽高比, DoubleToText(ratio));
}

void ToggleConditionInput(MainWindow& w, QCheckBox* box) {
    QLineEdit* value = box == w.选择框1   ? w.编辑框_宽度
                       : box == w.选择框2 ? w.编辑框_高度
                       : box == w.选择框3 ? w.编辑框_宽高比
                       : box == w.选择框4 ? w.编辑框_文件大小
                                          : nullptr;
    if (value)
        SetEnabled(value, IsTicked(box));
}
