#include "skin/CLuComboBoxListWnd.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>

#include "resources/SkinControlIds.h"
#include "skin/CLuComboBox.h"
#include "skin/CLuListBox.h"
#include "skin/CLuScrollWnd.h"

CLuComboBoxListWnd::CLuComboBoxListWnd(CLuComboBox* combo)
    : QWidget(combo, Qt::Popup | Qt::FramelessWindowHint), combo_(combo) {
    setObjectName(QStringLiteral("CLuComboBoxListWnd"));
    setMouseTracking(true);
    list_ = new CLuListBox(this);
    list_->setObjectName(QStringLiteral("ListBox%1").arg(SkinControl::kDropDownList));
    list_->installEventFilter(this);
    list_->viewport()->installEventFilter(this);
    viewport_ = list_->viewport();
    scroll_ = AttachSkinScrollBars(list_, QImage());
    setFocusProxy(list_);
}

CLuComboBoxListWnd::~CLuComboBoxListWnd() = default;

void CLuComboBoxListWnd::SetScrollBitmap(const QImage& bitmap) {
    scroll_->SetBitmap(bitmap);
}

int CLuComboBoxListWnd::DropDownHeight(int count, int maxRows, int itemHeight) {
    const int rows = maxRows > 0 ? std::min(count, maxRows) : count;
    return std::max(0, rows) * itemHeight;
}

bool CLuComboBoxListWnd::Open(const QRect& buttonRect) {
    const int count = list_->GetCount();
    if (count == 0) return false;
    const int height = DropDownHeight(count, list_->MaxVisibleRows(), list_->ItemHeight());
    dropDownRect_ = QRect(buttonRect.left(), buttonRect.bottom() + 1, buttonRect.width(), height);
    // Near the bottom of the screen the list opens above the combo instead,
    // where it would otherwise leave the screen and there is room.
    if (const QScreen* screen = combo_->screen()) {
        const QRect area = screen->availableGeometry();
        if (dropDownRect_.bottom() > area.bottom() && buttonRect.top() - height >= area.top()) {
            dropDownRect_.moveBottom(buttonRect.top() - 1);
        }
    }
    setGeometry(dropDownRect_);
    scroll_->setGeometry(rect());
    show();
    list_->setFocus(Qt::PopupFocusReason);
    if (QListWidgetItem* current = list_->currentItem()) list_->scrollToItem(current);
    return true;
}

void CLuComboBoxListWnd::Cancel() {
    if (isVisible()) hide();
}

void CLuComboBoxListWnd::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    scroll_->setGeometry(rect());
}

void CLuComboBoxListWnd::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    pressedRow_ = -1;
    // Without a choice the list goes back to the entry last chosen.
    if (!choosing_) list_->SetCurSel(list_->CommittedSelection());
    emit closed();
}

void CLuComboBoxListWnd::Choose(int index) {
    choosing_ = true;
    hide();
    choosing_ = false;
    emit chosen(index);
}

bool CLuComboBoxListWnd::OutsideBoth(const QPoint& global) const {
    const QRect button(combo_->mapToGlobal(QPoint(0, 0)), combo_->size());
    return !dropDownRect_.contains(global) && !button.contains(global);
}

void CLuComboBoxListWnd::mouseMoveEvent(QMouseEvent* event) {
    // While open the drop-down sees every pointer move, also outside itself.
    if (OutsideBoth(event->globalPosition().toPoint())) {
        Cancel();
        return;
    }
    QWidget::mouseMoveEvent(event);
}

void CLuComboBoxListWnd::mousePressEvent(QMouseEvent* event) {
    const QPoint global = event->globalPosition().toPoint();
    const QRect button(combo_->mapToGlobal(QPoint(0, 0)), combo_->size());
    // A press on the combo closes the drop-down; it must not open it again.
    if (button.contains(global)) setAttribute(Qt::WA_NoMouseReplay);
    if (!dropDownRect_.contains(global)) {
        Cancel();
        return;
    }
    QWidget::mousePressEvent(event);
}

bool CLuComboBoxListWnd::HandleKey(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (list_->GetCurSel() >= 0) {
                Choose(list_->GetCurSel());
            } else {
                Cancel();
            }
            return true;
        case Qt::Key_Escape:
        case Qt::Key_F4:
            Cancel();
            return true;
        case Qt::Key_Up:
            if (event->modifiers() & Qt::AltModifier) {
                Cancel();
                return true;
            }
            return false;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return true;
        default:
            return false;
    }
}

bool CLuComboBoxListWnd::HandleListMouse(QMouseEvent* mouse) {
    const QPoint global = mouse->globalPosition().toPoint();
    switch (mouse->type()) {
        case QEvent::MouseButtonPress:
            if (mouse->button() == Qt::LeftButton) {
                pressedRow_ = list_->indexAt(mouse->position().toPoint()).row();
            }
            return false;
        case QEvent::MouseButtonRelease: {
            if (mouse->button() != Qt::LeftButton) return false;
            const int row = list_->indexAt(mouse->position().toPoint()).row();
            const bool clicked = row >= 0 && row == pressedRow_;
            pressedRow_ = -1;
            if (!clicked || !dropDownRect_.contains(global)) return false;
            list_->SetCurSel(row);
            Choose(row);
            return true;
        }
        case QEvent::MouseMove:
            if (OutsideBoth(global)) Cancel();
            return false;
        default:
            return false;
    }
}

bool CLuComboBoxListWnd::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_ && event->type() == QEvent::KeyPress) {
        return HandleKey(static_cast<QKeyEvent*>(event));
    }
    if (watched == viewport_) {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseMove:
                if (HandleListMouse(static_cast<QMouseEvent*>(event))) return true;
                break;
            default:
                break;
        }
    }
    return QWidget::eventFilter(watched, event);
}
