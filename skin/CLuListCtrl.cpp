#include "skin/CLuListCtrl.h"

#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "skin/CLuButton.h"
#include "skin/CLuDialog.h"
#include "skin/ListAccessible.h"
#include "skin/SkinAccessibility.h"
#include "skin/SkinFonts.h"
#include "skin/SkinText.h"

namespace {

ImagePart Part(const QImage& image, int x, int y, int width, int height) {
    return ImagePart{image, QRect(x, y, width, height)};
}

}  // namespace

CLuListCtrl::CLuListCtrl(QWidget* parent) : QWidget(parent) {
    EnsureSkinFonts();
    EnsureSkinAccessibility();
    WatchInputKind();
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
}

void CLuListCtrl::SetModel(QAbstractItemModel* model) {
    if (model_ == model) return;
    if (model_) disconnect(model_, nullptr, this, nullptr);
    model_ = model;
    if (model_) {
        connect(model_, &QAbstractItemModel::rowsInserted, this, &CLuListCtrl::OnRowsInserted);
        connect(model_, &QAbstractItemModel::rowsRemoved, this, &CLuListCtrl::OnRowsRemoved);
        connect(model_, &QAbstractItemModel::modelReset, this, &CLuListCtrl::OnModelReset);
        connect(model_, &QAbstractItemModel::dataChanged, this, qOverload<>(&QWidget::update));
        connect(model_, &QAbstractItemModel::layoutChanged, this, qOverload<>(&QWidget::update));
    }
    OnModelReset();
}

int CLuListCtrl::ItemCount() const {
    return model_ ? model_->rowCount() : 0;
}

QString CLuListCtrl::ItemText(int item, int column) const {
    if (!model_ || column < 0 || column >= model_->columnCount()) return {};
    return model_->index(item, column).data(Qt::DisplayRole).toString();
}

void CLuListCtrl::OnRowsInserted(const QModelIndex& parent, int first, int last) {
    if (parent.isValid()) return;
    const int before = paging_.Selected();
    paging_.ItemsInserted(first, last - first + 1);
    if (paging_.Selected() != before) emit selectionChanged(paging_.Selected());
    update();
    NotifyRowsChanged(this, QAccessibleTableModelChangeEvent::RowsInserted, first, last);
}

void CLuListCtrl::OnRowsRemoved(const QModelIndex& parent, int first, int last) {
    if (parent.isValid()) return;
    const int before = paging_.Selected();
    paging_.ItemsRemoved(first, last - first + 1);
    if (paging_.Selected() != before) emit selectionChanged(paging_.Selected());
    update();
    NotifyRowsChanged(this, QAccessibleTableModelChangeEvent::RowsRemoved, first, last);
}

void CLuListCtrl::OnModelReset() {
    const int before = paging_.Selected();
    paging_.ClearSelection();
    paging_.ResetTop();
    highlightedRow_ = -1;
    if (before != -1) emit selectionChanged(-1);
    update();
    NotifyRowsChanged(this, QAccessibleTableModelChangeEvent::ModelReset, -1, -1);
}

void CLuListCtrl::SetRowImages(const QImage& image, int x, int y, int width, int height,
                               int count) {
    if (count <= 0) return;
    for (int i = 0; i < count && i < 4; ++i) {
        const QRect cell = ImageStrip::Cell(x, y, width, height, count, i);
        rowImages_[i] = ImagePart{image, cell};
    }
    rowWidth_ = width / count;
    rowHeight_ = height;
    RecountVisibleRows();
    if (isVisible()) update();
}

void CLuListCtrl::SetSelectedImage(const QImage& image, int x, int y, int width, int height,
                                   bool repaint) {
    rowImages_[kSelected] = Part(image, x, y, width, height);
    if (repaint) update();
}

void CLuListCtrl::SetFourthStateImage(const QImage& image, int x, int y, int width, int height,
                                      bool repaint) {
    rowImages_[kFourth] = Part(image, x, y, width, height);
    if (repaint) update();
}

void CLuListCtrl::SetMarkImage(const QImage& image, int x, int y, int width, int height) {
    mark_ = Part(image, x, y, width, height);
    if (isVisible()) update();
}

void CLuListCtrl::SetTextColors(QRgb normal, QRgb highlighted, QRgb selected, QRgb fourth) {
    const QRgb colors[4] = {normal, highlighted, selected, fourth};
    if (std::equal(colors, colors + 4, textColors_)) return;
    std::copy(colors, colors + 4, textColors_);
    update();
}

void CLuListCtrl::SetTextAlign(int columnFormat) {
    if (textAlign_ == columnFormat) return;
    textAlign_ = columnFormat;
    update();
}

void CLuListCtrl::SetRowHeight(int height) {
    if (rowHeight_ == height) return;
    rowHeight_ = height;
    RecountVisibleRows();
    update();
}

void CLuListCtrl::SetRowGap(int gap) {
    if (rowGap_ == gap) return;
    rowGap_ = gap;
    RecountVisibleRows();
}

void CLuListCtrl::SetColumnWidth(int width) {
    if (columnWidth_ == width) return;
    columnWidth_ = width;
    update();
}

void CLuListCtrl::SetParentBackground(bool on) {
    if (parentBackground_ == on) return;
    parentBackground_ = on;
    update();
}

void CLuListCtrl::RecountVisibleRows() {
    paging_.SetVisibleRows(ListPaging::CountVisibleRows(height(), rowHeight_, rowGap_));
}

bool CLuListCtrl::SelectItem(int item) {
    if (!paging_.Select(item, ItemCount())) return false;
    update();
    emit selectionChanged(item);
    return true;
}

bool CLuListCtrl::ScrollPageDown() {
    const bool full = paging_.PageDown(ItemCount());
    update();
    emit topOffsetChanged(paging_.TopOffset());
    return full;
}

bool CLuListCtrl::ScrollPageUp() {
    const bool full = paging_.PageUp();
    update();
    emit topOffsetChanged(paging_.TopOffset());
    return full;
}

int CLuListCtrl::RowAt(const QPoint& pos) const {
    if (pos.x() < 0 || pos.x() >= width()) return -1;
    return paging_.RowAt(pos.y(), rowHeight_, ItemCount());
}

void CLuListCtrl::resizeEvent(QResizeEvent* event) {
    RecountVisibleRows();
    QWidget::resizeEvent(event);
}

void CLuListCtrl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    CopyParentBackground(this, painter, rect());
    const int count = ItemCount();
    for (int row = 0; rowHeight_ > 0 && row * rowHeight_ < height(); ++row) {
        const int item = paging_.ItemForRow(row);
        if (row >= count || item >= count) break;
        DrawRow(painter, row, item);
    }
    if (focusCue_.Shown(*this)) DrawFocus(painter);
}

// Around the selected row when it is on the page, else around the list.
void CLuListCtrl::DrawFocus(QPainter& painter) {
    QRect frame = rect();
    const int selected = paging_.Selected();
    const int row = selected - paging_.TopOffset();
    if (selected >= 0 && selected < ItemCount() && row >= 0 && row < paging_.VisibleRows()) {
        frame = QRect(0, row * rowHeight_, ColumnWidth(), rowHeight_);
    }
    DrawFocusMark(painter, FocusMarkFrame(frame), textColors_[kSelected]);
}

void CLuListCtrl::DrawRow(QPainter& painter, int row, int item) {
    const int column = ColumnWidth();
    const QRect rowRect(0, row * rowHeight_, column, rowHeight_);
    if (parentBackground_) CopyParentBackground(this, painter, rowRect);
    RowState state = kNormal;
    if (item == paging_.Selected()) {
        state = kSelected;
    } else if (highlightedRow_ >= 0 && item == paging_.ItemForRow(highlightedRow_)) {
        state = kHighlighted;
    }
    const ImagePart& face = rowImages_[state];
    if (face.IsSet()) painter.drawImage(rowRect, face.image, face.source);
    if (mark_.IsSet() && !ItemText(item, 2).isEmpty()) {
        painter.drawImage(QPoint(15, rowRect.top()), mark_.image, mark_.source);
    }
    TextFormat format;
    format.horizontal = textAlign_ == kAlignRight    ? StringAlign::Far
                        : textAlign_ == kAlignCenter ? StringAlign::Center
                                                     : StringAlign::Near;
    format.vertical = StringAlign::Center;
    format.noWrap = true;
    format.ellipsis = false;
    QRectF layout(0, rowRect.top(), column - 45, rowHeight_);
    if (mark_.IsSet()) {
        layout.setLeft(mark_.source.width() + 20);
        layout.setWidth(column - mark_.source.width() - 65);
    } else if (textAlign_ == kAlignLeft) {
        layout.moveLeft(5);
    }
    const QFont font = SkinFont(SkinFaceName(), 13, state == kSelected ? kFontBold : 0);
    SkinText::Draw(painter, ItemText(item, 0), font, ArgbColor(textColors_[state]), layout, format);
}

void CLuListCtrl::mouseMoveEvent(QMouseEvent* event) {
    QWidget::mouseMoveEvent(event);
    if (!QApplication::activeWindow() || (event->buttons() & Qt::LeftButton)) return;
    if (!tracking_) {
        tracking_ = true;
        setFocus(Qt::MouseFocusReason);
    }
    const int row = RowAt(event->position().toPoint());
    if (row >= 0 && row != highlightedRow_) {
        highlightedRow_ = row;
        update();
    }
}

void CLuListCtrl::leaveEvent(QEvent* event) {
    tracking_ = false;
    if (highlightedRow_ >= 0) {
        highlightedRow_ = -1;
        update();
    }
    QWidget::leaveEvent(event);
}

void CLuListCtrl::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    setFocus(Qt::MouseFocusReason);
    const int row = RowAt(event->position().toPoint());
    const int item = row >= 0 ? paging_.ItemForRow(row) : -1;
    if (item >= 0) SelectItem(item);
    update();
    emit itemClicked(item);
}

void CLuListCtrl::focusInEvent(QFocusEvent* event) {
    focusCue_.FocusIn(event->reason());
    QWidget::focusInEvent(event);
    emit focusTaken();
}

void CLuListCtrl::focusOutEvent(QFocusEvent* event) {
    focusCue_.FocusOut();
    QWidget::focusOutEvent(event);
}

bool CLuListCtrl::MoveSelectionTo(int item) {
    const int count = ItemCount();
    if (item < 0 || item >= count) return false;
    const int top = paging_.TopOffset();
    paging_.ShowItem(item, count);
    if (paging_.TopOffset() != top) emit topOffsetChanged(paging_.TopOffset());
    if (item != paging_.Selected()) {
        SelectItem(item);
        emit selectionMoved(item);
    }
    update();
    NotifyCurrentCell(this, item);
    return true;
}

bool CLuListCtrl::HandleKeyPress(QKeyEvent* event) {
    if (event->modifiers() & ~Qt::KeypadModifier) return false;
    static const std::pair<int, ListPaging::Step> kSteps[] = {
        {Qt::Key_Up, ListPaging::Step::Up},         {Qt::Key_Down, ListPaging::Step::Down},
        {Qt::Key_PageUp, ListPaging::Step::PageUp}, {Qt::Key_PageDown, ListPaging::Step::PageDown},
        {Qt::Key_Home, ListPaging::Step::Home},     {Qt::Key_End, ListPaging::Step::End}};
    const bool enter = IsEnterKey(*event);
    const auto found = std::find_if(std::begin(kSteps), std::end(kSteps),
                                    [&](const auto& entry) { return entry.first == event->key(); });
    if (!enter && found == std::end(kSteps)) return false;
    event->accept();
    if (focusCue_.KeyUsed()) update();
    if (found != std::end(kSteps)) {
        MoveSelectionTo(paging_.StepTarget(found->second, ItemCount()));
    } else if (const int item = paging_.Selected(); item >= 0 && item < ItemCount()) {
        emit itemActivated(item);  // may end the list's window: nothing after it
    }
    return true;
}

bool CLuListCtrl::event(QEvent* event) {
    if (event->type() == QEvent::KeyPress && HandleKeyPress(static_cast<QKeyEvent*>(event))) {
        return true;
    }
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space) {
        event->accept();  // a row is chosen with Enter
        return true;
    }
    if (SwallowSkinNavigationKey(event)) return true;
    return QWidget::event(event);
}
