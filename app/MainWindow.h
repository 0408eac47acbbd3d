#pragma once

#include <functional>
#include <memory>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

#include "app/Dialogs.h"
#include "app/Widgets.h"
#include "text/Text.h"

class PaintPacer;

// The program's one window. Its controls are its whole state; the handlers reach them through
// the accessors and the list, preview, message and event operations below.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    // Client area; with a usual frame and caption bar the outer size is about 559 x 508.
    static constexpr int kClientWidth = 553;
    static constexpr int kClientHeight = 479;
    static constexpr int kOuterWidth = 559;
    static constexpr int kOuterHeight = 508;

    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // --- Controls, named as the handlers know them. ---
    QLabel* 标签1;
    FilteredLineEdit* 编辑框_图片路径;
    QPushButton* 浏览图片;
    QGroupBox* 分组框1;
    PictureListView* 图片列表;
    PreviewBox* 图片框1;
    QPushButton* 按钮_重新获取图片列表;
    QPushButton* 按钮_筛选图片;
    QGroupBox* 分组框3;
    QCheckBox* 选择框1;
    QCheckBox* 选择框2;
    QCheckBox* 选择框3;
    QCheckBox* 选择框4;
    QComboBox* 组合框1;
    QComboBox* 组合框2;
    QComboBox* 组合框3;
    QComboBox* 组合框4;
    FilteredLineEdit* 编辑框_宽度;
    FilteredLineEdit* 编辑框_高度;
    FilteredLineEdit* 编辑框_宽高比;
    FilteredLineEdit* 编辑框_文件大小;
    QLabel* 标签2;
    QLabel* 标签3;
    QLabel* 标签4;
    QGroupBox* 分组框4;
    QRadioButton* 单选框1;
    QRadioButton* 单选框2;
    QRadioButton* 单选框3;
    QRadioButton* 单选框4;
    FilteredLineEdit* 编辑框_改名;
    QPushButton* 按钮_执行;

    // --- Picture list operations. Bad row indexes do nothing (GetCellText gives ""). ---
    int RowCount() const;
    int InsertRow(const Text& name);
    void SetCellText(int row, int column, const Text& text);
    Text GetCellText(int row, int column) const;
    void RemoveRow(int row);
    void ClearRows();
    int SelectedRow() const;
    void SelectRow(int row);
    void EnsureRowVisible(int row);
    void FocusList();
    void UpdateListCaption();

    // Replaces the preview picture; bytes that give no picture leave the box empty.
    void SetPreviewPicture(const QByteArray& bytes);

    // --- Dialogs, through the interface the window owns. ---
    int ShowMessage(const Text& text, int flags, const Text& caption);
    Text BrowseForFolder(const Text& title);
    Dialogs& dialogs() { return *dialogs_; }
    void setDialogs(std::unique_ptr<Dialogs> dialogs);

    // Dispatches every window event already waiting and returns. Returns false once the window
    // has been closed: a running loop must then stop at once and touch no further file.
    bool PumpEvents();
    bool IsClosed() const { return closed_; }

    // Runs a command handler unless another is still running or the window is closed: a click
    // on a command during a long loop is ignored, and the list takes no input meanwhile.
    void RunCommand(const std::function<void()>& handler);
    bool IsBusy() const { return busy_; }

    // Binds a click on a command control to a handler run through RunCommand.
    void BindCommand(QAbstractButton* button, void (*handler)(MainWindow&));

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void BuildControls();

    std::unique_ptr<Dialogs> dialogs_;
    PaintPacer* pacer_; // owned as a child object
    bool closed_ = false;
    bool busy_ = false;
};

// --- Control accessors. ---
Text ControlText(const QLineEdit* box);
void SetControlText(QLineEdit* box, const Text& text);
void SetControlText(QGroupBox* box, const Text& text);
bool IsTicked(const QAbstractButton* box);
int ComboIndex(const QComboBox* box);
void SetEnabled(QWidget* control, bool enabled);
int ScreenWidth();
int ScreenHeight();

// Fills the width, height and aspect-ratio boxes from the primary screen's size.
void FillConditionDefaults(MainWindow& w);
// Enables the value box of the condition whose check box was clicked exactly when it is ticked.
void ToggleConditionInput(MainWindow& w, QCheckBox* box);

// Binds the handlers of every module to the window's events (defined with the bindings).
void BindHandlers(MainWindow& w);
