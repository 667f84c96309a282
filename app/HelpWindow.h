#pragma once

#include <QTextBrowser>

namespace norvale::app {

// The online help: a top-level window titled "Norvale Discovery Help"
// (string 37) that shows a help page from the resources and follows its
// in-page links. Deletes itself when closed; the main window keeps a
// guarded pointer to reuse an open one.
class HelpWindow : public QTextBrowser {
    Q_OBJECT
  public:
    // page: a resource path such as ":/help/help_en.html".
    explicit HelpWindow(const QString& page, QWidget* parent = nullptr);

    QString Page() const { return page_; }

    // Shows the window normally (restoring it when minimised) and brings it
    // to the front.
    void Present();

  private:
    QString page_;
};

}  // namespace norvale::app
