#include "app/Widgets.h"

#include <algorithm>
#include <cmath>

#include <QHeaderView>
#include <QImageReader>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

bool AcceptsTypedChar(InputMode mode, char32_t c) {
    if (c < 32 || c == 0x7F)
        return true;
    switch (mode) {
    case InputMode::Free:
        return true;
    case InputMode::Integer:
        return c == U'-' || (c >= U'0' && c <= U'9');
    case InputMode::Decimal:
        return c == U'-' || c == U'.' || (c >= U'0' && c <= U'9');
    }
    return true;
}

namespace {

bool AcceptsAll(InputMode mode, const QString& s) {
    for (char32_t c : s.toUcs4())
        if (!AcceptsTypedChar(mode, c))
            return false;
    return true;
}

} // namespace

FilteredLineEdit::FilteredLineEdit(InputMode mode, QWidget* parent)
    : QLineEdit(parent), mode_(mode) {}

void FilteredLineEdit::keyPressEvent(QKeyEvent* e) {
    // A key that would insert a character the mode refuses is swallowed. Editing keys insert
    // no printable text, and Ctrl or Ctrl+Shift combinations (Ctrl+V, ...) are shortcuts that
    // insert nothing themselves, so they pass; a key with Alt or Super held still types.
    const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
    const bool shortcut =
        mods == Qt::ControlModifier || mods == (Qt::ControlModifier | Qt::ShiftModifier);
    if (!shortcut && !e->text().isEmpty() && !AcceptsAll(mode_, e->text())) {
        e->accept();
        return;
    }
    QLineEdit::keyPressEvent(e);
}

void FilteredLineEdit::inputMethodEvent(QInputMethodEvent* e) {
    if (!e->commitString().isEmpty() && !AcceptsAll(mode_, e->commitString())) {
        QInputMethodEvent dropped(e->preeditString(), e->attributes());
        QLineEdit::inputMethodEvent(&dropped);
        return;
    }
    QLineEdit::inputMethodEvent(e);
}

PictureListView::PictureListView(QWidget* parent) : QTableWidget(0, 2, parent) {
    setHorizontalHeaderLabels({QString::fromUtf8("文件名"), QString::fromUtf8("大小(KB)")});
    horizontalHeaderItem(0)->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeaderItem(1)->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setColumnWidth(0, 165);
    setColumnWidth(1, 60);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setShowGrid(true);
    setWordWrap(false);
    setTabKeyNavigation(false);
    setDragEnabled(false);
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
}

void PictureListView::mousePressEvent(QMouseEvent* e) {
    if (blocked_) {
        e->accept();
        return;
    }
    QTableWidget::mousePressEvent(e);
    pressedLeft_ = e->button() == Qt::LeftButton;
    // A click below the rows leaves no row selected, so the click handler sees none.
    if (pressedLeft_ && !indexAt(e->position().toPoint()).isValid()) {
        clearSelection();
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
}

void PictureListView::mouseReleaseEvent(QMouseEvent* e) {
    if (blocked_) {
        e->accept();
        return;
    }
    QTableWidget::mouseReleaseEvent(e);
    if (e->button() == Qt::LeftButton && pressedLeft_) {
        pressedLeft_ = false;
        emit leftClicked();
    }
}

void PictureListView::mouseDoubleClickEvent(QMouseEvent* e) {
    if (blocked_) {
        e->accept();
        return;
    }
    QTableWidget::mouseDoubleClickEvent(e);
    // The first click of a double click was the click; the second one raises nothing.
    pressedLeft_ = false;
}

void PictureListView::mouseMoveEvent(QMouseEvent* e) {
    if (blocked_) {
        e->accept();
        return;
    }
    QTableWidget::mouseMoveEvent(e);
}

void PictureListView::keyPressEvent(QKeyEvent* e) {
    if (blocked_) {
        e->accept();
        return;
    }
    QTableWidget::keyPressEvent(e);
}

QRect PlacePreview(int pw, int ph, int aw, int ah) {
    if (pw <= 0 || ph <= 0)
        return QRect();
    if (pw <= aw && ph <= ah)
        return QRect((aw - pw) / 2, (ah - ph) / 2, pw, ph);
    const double s = std::min(static_cast<double>(aw) / pw, static_cast<double>(ah) / ph);
    const int w = static_cast<int>(pw * s);
    const int h = static_cast<int>(ph * s);
    return QRect((aw - w) / 2, (ah - h) / 2, w, h);
}

PreviewBox::PreviewBox(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
}

bool PreviewBox::hasPicture() const {
    return movie_ != nullptr || !image_.isNull();
}

void PreviewBox::clear() {
    if (movie_)
        movie_->stop();
    movie_.reset();
    movieBuffer_.reset();
    movieBytes_.clear();
    image_ = QImage();
    size_ = QSize();
    rect_ = QRect();
}

void PreviewBox::setPicture(const QByteArray& bytes) {
    clear();
    update();
    if (bytes.isEmpty())
        return;
    const QSize area = contentsRect().size();

    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(false);
    const QSize full = reader.size();

    // A GIF of several frames plays; the movie reads its own copy of the bytes.
    if (reader.format() == "gif" && reader.supportsAnimation() && reader.imageCount() != 1) {
        movieBytes_ = bytes;
        movieBuffer_ = std::make_unique<QBuffer>(&movieBytes_);
        movieBuffer_->open(QIODevice::ReadOnly);
        movie_ = std::make_unique<QMovie>(movieBuffer_.get(), "gif");
        if (movie_->isValid() && movie_->jumpToFrame(0)) {
            size_ = movie_->currentImage().size();
            rect_ = PlacePreview(size_.width(), size_.height(), area.width(), area.height());
            connect(movie_.get(), &QMovie::frameChanged, this, [this] { update(); });
            movie_->start();
            return;
        }
        clear();
        return;
    }

    // Large pictures are decoded straight at the size they are shown at (JPEG scales while
    // decoding), never in full when they are only shown shrunk.
    if (full.isValid()) {
        const QRect placed = PlacePreview(full.width(), full.height(), area.width(), area.height());
        if (placed.size() != full && !placed.isEmpty())
            reader.setScaledSize(placed.size());
    }
    QImage image = reader.read();
    if (image.isNull())
        return;
    size_ = full.isValid() ? full : image.size();
    image_ = std::move(image);
    rect_ = PlacePreview(size_.width(), size_.height(), area.width(), area.height());
}

void PreviewBox::paintEvent(QPaintEvent* e) {
    QFrame::paintEvent(e);
    if (!hasPicture() || rect_.isEmpty())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRect target = rect_.translated(contentsRect().topLeft());
    if (movie_)
        p.drawImage(target, movie_->currentImage());
    else
        p.drawImage(target, image_);
}
