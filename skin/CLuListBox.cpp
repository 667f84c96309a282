#include "skin/CLuListBox.h"

#include <QAbstractItemDelegate>
#include <QPainter>

#include "skin/SkinFonts.h"
#include "skin/SkinText.h"
#include "skin/SkinTypes.h"

namespace {

// Paints every entry through the list box's DrawEntry; rows are one item
// height high.
class EntryDelegate : public QAbstractItemDelegate {
  public:
    explicit EntryDelegate(CLuListBox* list) : QAbstractItemDelegate(list), list_(list) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const bool selected = option.state & QStyle::State_Selected;
        list_->DrawEntry(*painter, option.rect, index.data(Qt::DisplayRole).toString(), selected);
    }

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return QSize(list_->viewport()->width(), list_->ItemHeight());
    }

  private:
    CLuListBox* list_;
};

TextFormat EntryFormat() {
    TextFormat format;
    format.horizontal = StringAlign::Near;
    format.vertical = StringAlign::Center;
    format.noWrap = true;
    format.ellipsis = true;
    return format;
}

}  // namespace

CLuListBox::CLuListBox(QWidget* parent) : QListWidget(parent), fontFace_(SkinFaceName()) {
    EnsureSkinFonts();
    setItemDelegate(new EntryDelegate(this));
    setUniformItemSizes(true);
    setFrameShape(QFrame::NoFrame);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setMouseTracking(true);
    ApplyBaseColor();
}

int CLuListBox::AddString(const QString& text) {
    addItem(text);
    return count() - 1;
}

void CLuListBox::ResetContent() {
    clear();
}

int CLuListBox::GetCount() const {
    return count();
}

int CLuListBox::GetCurSel() const {
    return currentRow();
}

void CLuListBox::SetCurSel(int index) {
    if (index < 0 || index >= count()) {
        setCurrentRow(-1);
        clearSelection();
        return;
    }
    setCurrentRow(index);
}

QString CLuListBox::GetText(int index) const {
    const QListWidgetItem* entry = item(index);
    return entry ? entry->text() : QString();
}

void CLuListBox::SetItemHeight(int height) {
    if (height <= 0 || height == itemHeight_) return;
    itemHeight_ = height;
    scheduleDelayedItemsLayout();
    viewport()->update();
}

void CLuListBox::SetMaxVisibleRows(int rows) {
    maxVisibleRows_ = rows < 0 ? 0 : rows;
}

void CLuListBox::SetColors(QRgb background, QRgb selectedBackground, QRgb text) {
    if (background_ == background && selected_ == selectedBackground && text_ == text) return;
    background_ = background;
    selected_ = selectedBackground;
    text_ = text;
    ApplyBaseColor();
    viewport()->update();
}

void CLuListBox::SetItemFont(const QString& face, double points) {
    if (fontFace_ == face && fontSize_ == points) return;
    fontFace_ = face;
    fontSize_ = points;
    viewport()->update();
}

void CLuListBox::ApplyBaseColor() {
    // Below the last entry the list shows the band colour.
    QPalette colours = palette();
    colours.setColor(QPalette::Base, ArgbColor(background_));
    setPalette(colours);
    viewport()->setAutoFillBackground(true);
}

QRectF CLuListBox::TextRect(const QRect& entry) const {
    // Kept inside the entry so that a trailing "…" is never cut off.
    return QRectF(entry.left() + kTextLeft, entry.top(), entry.width() - kTextLeft, entry.height());
}

void CLuListBox::DrawEntry(QPainter& painter, const QRect& rect, const QString& text,
                           bool selected) const {
    painter.fillRect(rect, ArgbColor(selected ? selected_ : background_));
    SkinText::Draw(painter, text, SkinFont(fontFace_, fontSize_), ArgbColor(text_), TextRect(rect),
                   EntryFormat());
}

QString CLuListBox::ShownText(const QString& text, int width) const {
    const auto lines = SkinText::Layout(text, SkinFont(fontFace_, fontSize_),
                                        TextRect(QRect(0, 0, width, itemHeight_)), EntryFormat());
    return lines.empty() ? QString() : lines.front().text;
}
