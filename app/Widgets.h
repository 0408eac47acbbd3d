#pragma once

#include <memory>

#include <QBuffer>
#include <QFrame>
#include <QImage>
#include <QLineEdit>
#include <QMovie>
#include <QTableWidget>

// Which typed characters an edit box accepts.
enum class InputMode { Free, Integer, Decimal };

// True when a character typed into a box of this mode is inserted. Control characters always
// pass; only typing is filtered, never pasted or programmatically set text.
bool AcceptsTypedChar(InputMode mode, char32_t c);

// A one-line edit box that drops typed characters its InputMode does not accept.
class FilteredLineEdit : public QLineEdit {
    Q_OBJECT
public:
    FilteredLineEdit(InputMode mode, QWidget* parent);
    InputMode mode() const { return mode_; }

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;

private:
    InputMode mode_;
};

// The picture list: a two-column report view. It tells of every left click, on a row or on the
// empty area (which clears the selection), after the selection has followed the click. While
// input is blocked, mouse and keyboard input cannot change its selection.
class PictureListView : public QTableWidget {
    Q_OBJECT
public:
    explicit PictureListView(QWidget* parent);
    void setInputBlocked(bool blocked) { blocked_ = blocked; }

signals:
    void leftClicked();

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    bool blocked_ = false;
    bool pressedLeft_ = false;
};

// Where a picture of pw x ph is drawn in an area of aw x ah: at its own size when it fits,
// otherwise shrunk by min(aw/pw, ah/ph) with the size truncated to whole pixels; always centred.
QRect PlacePreview(int pw, int ph, int aw, int ah);

// The preview box: shows one picture decoded from a file's bytes, centred and never enlarged;
// animated GIFs play.
class PreviewBox : public QFrame {
    Q_OBJECT
public:
    explicit PreviewBox(QWidget* parent);
    // Replaces the picture; bytes that give no picture leave the box empty.
    void setPicture(const QByteArray& bytes);
    bool hasPicture() const;
    bool isAnimated() const { return movie_ != nullptr; }
    // The rectangle the picture is drawn in, relative to the drawing area.
    QRect pictureRect() const { return rect_; }
    // The full size of the picture shown (before any shrinking).
    QSize pictureSize() const { return size_; }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    void clear();

    QImage image_;
    QByteArray movieBytes_;
    std::unique_ptr<QBuffer> movieBuffer_;
    std::unique_ptr<QMovie> movie_;
    QSize size_;
    QRect rect_;
};
