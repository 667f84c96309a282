#include "skin/CLuScrollWnd.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLayout>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include "skin/CLuScrollBar.h"

namespace {

constexpr int kCornerColumn = 8;

}  // namespace

CLuScrollWnd* AttachSkinScrollBars(QAbstractScrollArea* area, const QImage& bitmap) {
    return area ? new CLuScrollWnd(area, bitmap) : nullptr;
}

CLuScrollWnd::CLuScrollWnd(QAbstractScrollArea* area, const QImage& bitmap)
    : QWidget(area->parentWidget()),
      area_(area),
      areaObject_(area),
      verticalPolicy_(area->verticalScrollBarPolicy()),
      horizontalPolicy_(area->horizontalScrollBarPolicy()) {
    setObjectName(QStringLiteral("SkinScrollBarFrame"));
    // A child not yet shown only because its parent is hidden counts as shown.
    const bool visible = !(area->isHidden() && area->testAttribute(Qt::WA_WState_ExplicitShowHide));
    setGeometry(area->geometry());
    if (QWidget* parent = area->parentWidget(); parent && parent->layout()) {
        delete parent->layout()->replaceWidget(area, this);
    }
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setParent(this);
    area->move(0, 0);
    area->show();

    horizontal_ = new CLuScrollBar(Qt::Horizontal, this);
    horizontal_->setObjectName(QStringLiteral("SkinScrollBar100"));
    vertical_ = new CLuScrollBar(Qt::Vertical, this);
    vertical_->setObjectName(QStringLiteral("SkinScrollBar101"));
    for (CLuScrollBar* bar : {horizontal_, vertical_}) {
        bar->hide();
        bar->installEventFilter(this);
        connect(bar, &CLuScrollBar::scrollRequested, this, [this, bar](int code, int position) {
            Forward(bar->Orientation(), code, position);
        });
    }
    for (QScrollBar* native : {area->verticalScrollBar(), area->horizontalScrollBar()}) {
        connect(native, &QAbstractSlider::rangeChanged, this, &CLuScrollWnd::Sync);
        connect(native, &QAbstractSlider::valueChanged, this, &CLuScrollWnd::Sync);
    }
    connect(area, &QObject::destroyed, this, &CLuScrollWnd::OnAreaDestroyed);
    area->installEventFilter(this);
    SetBitmap(bitmap);
    setVisible(visible);
}

CLuScrollWnd::~CLuScrollWnd() {
    // The area may die as our child after this object's own part is gone.
    if (area_) {
        area_->removeEventFilter(this);
        disconnect(area_, nullptr, this, nullptr);
        disconnect(area_->verticalScrollBar(), nullptr, this, nullptr);
        disconnect(area_->horizontalScrollBar(), nullptr, this, nullptr);
    }
}

void CLuScrollWnd::SetBitmap(const QImage& bitmap) {
    bitmap_ = bitmap;
    vertical_->SetBitmap(bitmap);
    horizontal_->SetBitmap(bitmap);
    cell_ = vertical_->CellSize();
    Sync();
    Relayout();
    update();
}

ScrollState CLuScrollWnd::StateOf(const QScrollBar& bar) {
    ScrollState state;
    state.min = bar.minimum();
    state.page = bar.pageStep();
    state.max = bar.maximum() + bar.pageStep() - 1;
    state.pos = bar.value();
    return state;
}

bool CLuScrollWnd::Wanted(Qt::Orientation orientation) const {
    if (!area_) return false;
    const Qt::ScrollBarPolicy policy =
        orientation == Qt::Vertical ? verticalPolicy_ : horizontalPolicy_;
    const QScrollBar* native =
        orientation == Qt::Vertical ? area_->verticalScrollBar() : area_->horizontalScrollBar();
    if (policy == Qt::ScrollBarAlwaysOn) return true;
    return policy == Qt::ScrollBarAsNeeded && native->maximum() > native->minimum();
}

void CLuScrollWnd::Forward(Qt::Orientation orientation, int code, int position) {
    if (!area_) return;
    QScrollBar* native =
        orientation == Qt::Vertical ? area_->verticalScrollBar() : area_->horizontalScrollBar();
    // The widget's answers to a request in progress must not feed the bar.
    forwarding_ = true;
    switch (code) {
        case kScrollFirstArrow:
            native->triggerAction(QAbstractSlider::SliderSingleStepSub);
            break;
        case kScrollSecondArrow:
            native->triggerAction(QAbstractSlider::SliderSingleStepAdd);
            break;
        case kScrollTrackBefore:
            native->triggerAction(QAbstractSlider::SliderPageStepSub);
            break;
        case kScrollTrackAfter:
            native->triggerAction(QAbstractSlider::SliderPageStepAdd);
            break;
        case kScrollThumbPosition:
        case kScrollThumbTrack:
            native->setValue(position);
            break;
        default:
            break;
    }
    forwarding_ = false;
    if (code != kScrollThumbTrack) CopyToBar(orientation);
}

void CLuScrollWnd::CopyToBar(Qt::Orientation orientation) {
    if (!area_) return;
    const QScrollBar* native =
        orientation == Qt::Vertical ? area_->verticalScrollBar() : area_->horizontalScrollBar();
    CLuScrollBar* bar = orientation == Qt::Vertical ? vertical_ : horizontal_;
    const ScrollState state = StateOf(*native);
    bar->SetScrollInfo(state);
    bar->setEnabled(state.max >= state.page);
}

void CLuScrollWnd::Sync() {
    if (forwarding_ || !area_) return;
    CopyToBar(Qt::Vertical);
    CopyToBar(Qt::Horizontal);
    if (Wanted(Qt::Vertical) != !vertical_->isHidden() ||
        Wanted(Qt::Horizontal) != !horizontal_->isHidden()) {
        Relayout();
    }
}

void CLuScrollWnd::ScheduleSync() {
    if (syncPending_) return;
    syncPending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            syncPending_ = false;
            Sync();
        },
        Qt::QueuedConnection);
}

void CLuScrollWnd::Relayout() {
    if (!area_ || inLayout_) return;
    inLayout_ = true;
    // Showing one bar narrows the widget, which may make the other needed.
    for (int pass = 0; pass < 2; ++pass) {
        const bool showV = Wanted(Qt::Vertical);
        const bool showH = Wanted(Qt::Horizontal);
        const int right = showV ? cell_ : 0;
        const int bottom = showH ? cell_ : 0;
        area_->setGeometry(0, 0, std::max(0, width() - right), std::max(0, height() - bottom));
        vertical_->setGeometry(width() - cell_, 0, cell_, std::max(0, height() - bottom));
        horizontal_->setGeometry(0, height() - cell_, std::max(0, width() - right), cell_);
        vertical_->setVisible(showV);
        horizontal_->setVisible(showH);
        corner_ = showV && showH;
    }
    inLayout_ = false;
    update();
}

void CLuScrollWnd::paintEvent(QPaintEvent*) {
    if (!corner_ || bitmap_.isNull()) return;
    QPainter painter(this);
    painter.drawImage(QRect(width() - cell_, height() - cell_, cell_, cell_), bitmap_,
                      vertical_->CellRect(kCornerColumn, 0));
}

void CLuScrollWnd::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Relayout();
}

bool CLuScrollWnd::eventFilter(QObject* watched, QEvent* event) {
    // Compared by identity only: the area sends events while it is destroyed.
    if (watched == areaObject_) {
        switch (event->type()) {
            case QEvent::Resize:
            case QEvent::Show:
            case QEvent::LayoutRequest:
                ScheduleSync();
                break;
            default:
                break;
        }
    } else if (area_ && event->type() == QEvent::Wheel &&
               (watched == vertical_ || watched == horizontal_)) {
        // The wheel over a skinned bar scrolls like the widget's own bar.
        QScrollBar* native =
            watched == vertical_ ? area_->verticalScrollBar() : area_->horizontalScrollBar();
        QWheelEvent* wheel = static_cast<QWheelEvent*>(event);
        QWheelEvent copy(QPointF(0, 0), wheel->globalPosition(), wheel->pixelDelta(),
                         wheel->angleDelta(), wheel->buttons(), wheel->modifiers(), wheel->phase(),
                         wheel->inverted());
        QCoreApplication::sendEvent(native, &copy);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void CLuScrollWnd::OnAreaDestroyed() {
    area_ = nullptr;
    areaObject_ = nullptr;
    hide();
    setParent(nullptr);
    deleteLater();
}
