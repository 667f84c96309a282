#pragma once

#include <QString>
#include <array>

#include "skin/CLuDialog.h"
#include "skin/MessageBoxSkin.h"

class CLuButton;
class CLuStatic;

// The skinned message box: a caption line, a message and up to four buttons
// drawn from the process-wide MessageBoxSkin. It ends only through its
// buttons, with IDYES, IDNO, IDOK or IDCANCEL: Enter, Escape and close
// requests (Alt+F4) are ignored by the box itself. It opens with the focus on
// its first button (Yes, else OK), so Enter or Space presses that button and
// Tab moves along the buttons from left to right. Assistive technology sees
// an alert named by the caption (the text when there is none) and described
// by the text. Use ShowSkinMessageBox.
class CLuMessageBox : public CLuDialog {
    Q_OBJECT

  public:
    // Index of a button in Button(): Yes, No, OK, Cancel.
    enum ButtonIndex { kYes = 0, kNo = 1, kOk = 2, kCancel = 3 };

    // Lays the box out at once: the skin's background over the owner, the
    // buttons of buttonSet (OK when the set is empty), the two texts.
    CLuMessageBox(const QString& text, const QString& caption, QWidget* owner, int buttonSet);
    ~CLuMessageBox() override;

    CLuButton* Button(int index) const { return buttons_.at(index); }
    CLuStatic* CaptionStatic() const { return caption_; }
    CLuStatic* TextStatic() const { return text_; }
    int ButtonSet() const { return buttonSet_; }

    // The shown buttons from left to right: Yes, No, OK, Cancel.
    QList<QWidget*> FocusOrder() const override;

  public slots:
    // The box's own OK and cancel operations do nothing.
    void accept() override {}
    void reject() override {}

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void PlaceWindow(const MessageBoxSkin& skin, QWidget* owner);
    void SetUpButtons(const MessageBoxSkin& skin);
    void SetUpText(CLuStatic* label, const QRect& geometry, const QString& text, QRgb color);

    std::array<CLuButton*, 4> buttons_{};
    CLuStatic* caption_ = nullptr;
    CLuStatic* text_ = nullptr;
    int buttonSet_ = 0;
};

// Shows a modal skinned message box with text and caption over owner (may be
// null) and returns the result of the button pressed. Afterwards a skinned
// button that had the focus before gets it back and is repainted. Called on
// another thread, the box runs on the user-interface thread and the caller
// waits for it; that thread must then not be waiting for the caller.
int ShowSkinMessageBox(const QString& text, const QString& caption, QWidget* owner, int buttonSet);
