#pragma once

#include <QString>
#include <QTemporaryDir>

// A private smbd for tests, run as root inside the test's network namespace
// on two loopback addresses: kOpen lists its shares to anyone, kRestricted
// only to a user with a password. Shares: "public" (guest), "private" (user
// only), "data" (guest, writable), "My Files", and "Public (Z:)" and
// "Video (4K)" whose names look like a mapped share's row (guest), "hidden$",
// a printer "printer", "Configuration". "public" holds hello.txt, "data"
// data.txt, "Public (Z:)" odd.txt, "Video (4K)" video.txt, each with its
// name before the dot and a line feed. The one user is kUser with kPassword. Stop()
// (also run by the destructor) ends smbd and every helper it started.
class PrivateSmbd {
  public:
    static constexpr const char* kOpen = "127.0.0.9";
    static constexpr const char* kRestricted = "127.0.0.10";
    static constexpr const char* kUser = "alice";
    static constexpr const char* kPassword = "Secret-1";

    // smbd runs only as real root: uid 0 outside any user namespace (a
    // namespace's mapped root is not enough).
    static bool CanRun();

    PrivateSmbd() = default;
    ~PrivateSmbd() { Stop(); }
    PrivateSmbd(const PrivateSmbd&) = delete;
    PrivateSmbd& operator=(const PrivateSmbd&) = delete;

    // Starts smbd and waits until it answers; false with *error when not.
    bool Start(QString* error);
    void Stop();

    // The folder behind a share.
    QString SharePath(const QString& share) const;

  private:
    bool WriteConfig(QString* error);
    QString ConfigPath() const;

    QTemporaryDir dir_;
    bool started_ = false;
};
