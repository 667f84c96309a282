#pragma once

#include <QDialog>
#include <QImage>
#include <QRgb>

class QPainter;

// The skinned dialog base of both programs. It keeps a cached background of
// its client size: the pixels of the nearest skinned dialog behind it (or the
// fill colour, opaque black by default) with an optional image part drawn
// over them, stretched or tiled. Skinned child controls copy the pixels behind
// themselves out of that cache (CopyParentBackground) so that they look
// transparent. The dialog does not own any image: images are shared values.
//
// A CLuDialog with a parent widget (a child panel, or a window owned by
// another) tells its parent that the pointer moved over it through
// pointerEntered(ControlId(), position).
class CLuDialog : public QDialog {
    Q_OBJECT

  public:
    // With `swallow`, Enter and Esc never end the dialog: the keys are taken
    // before the dialog's own handling (windows and panels that end only by
    // their own buttons).
    void SetSwallowDialogKeys(bool swallow) { swallowDialogKeys_ = swallow; }

    // tileMode value that repeats the source part across the width.
    static constexpr int kTile = 1;

    explicit CLuDialog(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
    ~CLuDialog() override;

    // Draws the part (sx, sy, sw, sh) of image over the background behind
    // the dialog: repeated across the width (each copy sw wide, as high as
    // the client area) when tileMode is kTile, else stretched over the whole
    // client area. A null image leaves only the parent background or fill.
    void SetBackground(const QImage& image, int sx, int sy, int sw, int sh, int tileMode);

    // Like SetBackground, but the pixels under the image are what the parent
    // window shows at its (0, 0), taken now. Used by windows laid over
    // another window (the message box over its owner).
    void SetBackgroundOverParent(const QImage& image, int sx, int sy, int sw, int sh);

    // ARGB colour used where there is neither image nor parent background.
    void SetFillColor(QRgb argb);
    QRgb FillColor() const { return fillColor_; }

    // Left-button presses inside `band` (dialog coordinates) move the window:
    // the window manager moves it where it can, else the window follows the
    // pointer until the button is released. Empty (the default): no band.
    void SetDragBand(const QRect& band) { dragBand_ = band; }

    // Identifier reported with pointerEntered (the control id of a panel).
    void SetControlId(int id) { controlId_ = id; }
    int ControlId() const { return controlId_; }

    bool HasBackgroundImage() const { return !image_.isNull(); }

    // The cached background of the client size, rebuilt first when the size
    // or the background changed since the last use.
    const QImage& BackgroundCache() const;

    // The controls Tab visits in this dialog, in order (Shift+Tab the other
    // way round); hidden, disabled and unfocusable ones are skipped. In a
    // window Tab cycles through its own order; a panel inside a window is
    // visited as part of the window's order. Empty: Qt's focus chain.
    virtual QList<QWidget*> FocusOrder() const { return {}; }
    // Gives the focus to the first control of FocusOrder() that can take it.
    void FocusFirstControl(Qt::FocusReason reason = Qt::OtherFocusReason);

  signals:
    // The pointer moved over this dialog; pos in dialog coordinates.
    void pointerEntered(int controlId, const QPoint& pos);
    // The help key was pressed; the base does nothing else with it.
    void helpRequested();
    // The background image or fill changed; children repaint by themselves.
    void backgroundChanged();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;

  private:
    bool swallowDialogKeys_ = false;
    void InvalidateCache();
    void MarkDescendantsStale();
    void RebuildCache() const;
    void DrawImagePart(QPainter& painter, const QSize& size) const;

    QImage image_;
    QRect source_;
    int tileMode_ = 0;
    QRgb fillColor_ = 0xFF000000;
    int controlId_ = 0;
    bool overParent_ = false;
    QImage parentSnapshot_;  // what the parent showed at (0, 0), for overParent_
    QRect dragBand_;
    bool dragging_ = false;  // following the pointer (no window-manager move)
    QPoint dragOffset_;      // pointer minus window position while dragging
    mutable QImage cache_;
    mutable bool cacheValid_ = false;
};

// Moves the top-level `window` (already of its size) so that it is centred
// over the window `owner` belongs to, or over the primary screen's
// available area when owner is null: where the skinned pop-ups (message
// boxes, questions, the updater's windows, the help window) open.
void CenterPopup(QWidget* window, const QWidget* owner);

// The nearest CLuDialog among the ancestors of control (not control itself);
// null when there is none.
CLuDialog* FindSkinnedDialog(const QWidget* control);

// Paints into painter, over area (control coordinates), exactly the pixels of
// the nearest skinned dialog's background cache that lie behind that part of
// control. Where the area reaches outside the dialog, the dialog's fill colour
// is used. Returns false (painting nothing) when no skinned dialog is behind
// the control.
bool CopyParentBackground(const QWidget* control, QPainter& painter, const QRect& area);
