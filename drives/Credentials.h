#pragma once

#include <QHash>
#include <QString>

class QWidget;

namespace drives {

// What the user typed for a server. An empty user name means anonymous.
struct Credentials {
    QString user;
    QString domain;
    QString password;
    bool remember = false;  // keep the password in the keyring
};

// Asks the user for the credentials of a server (and share, empty for the
// server itself). retry is set when the previous answer was refused. The
// fields come filled with the previous answer. Returns false when the user
// cancelled. owner may be null.
class CredentialPrompt {
  public:
    virtual ~CredentialPrompt() = default;
    virtual bool Ask(QWidget* owner, const QString& server, const QString& share, bool retry,
                     Credentials* credentials) = 0;
};

// The credentials that worked for each server during this run, so that a
// password typed once is not asked for again, neither for listing nor for
// mounting. Server names compare without regard to case.
class CredentialCache {
  public:
    const Credentials* Find(const QString& server) const {
        auto it = byServer_.constFind(server.toLower());
        return it == byServer_.constEnd() ? nullptr : &it.value();
    }
    void Store(const QString& server, const Credentials& credentials) {
        byServer_.insert(server.toLower(), credentials);
    }
    void Forget(const QString& server) { byServer_.remove(server.toLower()); }

  private:
    QHash<QString, Credentials> byServer_;
};

}  // namespace drives
