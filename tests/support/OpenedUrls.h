#pragma once

#include <QDesktopServices>
#include <QObject>
#include <QStringList>
#include <QUrl>
#include <vector>

namespace norvale::test {

// Takes the place of the browser and the file manager while it lives:
// records every address of the given schemes the program asks the desktop
// to open, in order.
class OpenedUrls : public QObject {
    Q_OBJECT
  public:
    explicit OpenedUrls(QStringList schemes = {QStringLiteral("file"), QStringLiteral("smb")})
        : schemes_(std::move(schemes)) {
        for (const QString& scheme : schemes_)
            QDesktopServices::setUrlHandler(scheme, this, "Open");
    }
    ~OpenedUrls() override {
        for (const QString& scheme : schemes_) QDesktopServices::unsetUrlHandler(scheme);
    }
    std::vector<QUrl> urls;

  public slots:
    void Open(const QUrl& url) { urls.push_back(url); }

  private:
    QStringList schemes_;
};

}  // namespace norvale::test
