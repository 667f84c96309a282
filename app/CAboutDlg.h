#pragma once

#include <QImage>

#include "common/ProductVersion.h"
#include "skin/CLuDialog.h"

class CLuButton;

namespace norvale::app {

// The About panel: the panel background, the logo, "About", the product
// name with the version line beside it, and a Back button that deletes the
// panel. It is a child panel laid over the main window's body; the main
// window places it and keeps a guarded pointer to it.
class CAboutDlg : public CLuDialog {
    Q_OBJECT
  public:
    explicit CAboutDlg(QWidget* parent);

    CLuButton* BackButton() const { return back_; }
    QList<QWidget*> FocusOrder() const override;
    // The version line as drawn, e.g. "Version 1.61 (0932.001)".
    QString VersionLine() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QImage background_;
    QImage logo_;
    QImage backStrip_;
    common::ProductVersion version_;
    CLuButton* back_ = nullptr;
};

}  // namespace norvale::app
