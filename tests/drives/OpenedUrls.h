#pragma once

#include <QDesktopServices>
#include <QObject>
#include <QUrl>
#include <vector>

namespace norvale::test {

// Takes the place of the file manager while it lives: records every file and
// smb location the program asks to open, in order.
class OpenedUrls : public QObject {
    Q_OBJECT
  public:
    OpenedUrls() {
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "Open");
        QDesktopServices::setUrlHandler(QStringLiteral("smb"), this, "Open");
    }
    ~OpenedUrls() override {
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("smb"));
    }
    std::vector<QUrl> urls;

  public slots:
    void Open(const QUrl& url) { urls.push_back(url); }
};

}  // namespace norvale::test
