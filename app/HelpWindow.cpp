#include "app/HelpWindow.h"

#include <QUrl>

#include "resources/MainStringIds.h"
#include "skin/CLuDialog.h"
#include "skin/StringTable.h"

namespace norvale::app {

HelpWindow::HelpWindow(const QString& page, QWidget* parent) : QTextBrowser(parent), page_(page) {
    setWindowFlag(Qt::Window);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(LoadSkinString(MainString::kHelpTitle));
    setOpenExternalLinks(true);
    resize(760, 600);
    // Centred on the screen: without a window manager it would cover the
    // main window's buttons at (0, 0).
    CenterPopup(this, nullptr);
    // ":/help/x.html" is the resource URL "qrc:/help/x.html"; relative links
    // and anchors resolve against it.
    setSource(QUrl(QStringLiteral("qrc") + page));
}

void HelpWindow::Present() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

}  // namespace norvale::app
