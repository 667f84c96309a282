#pragma once

// A private nginx speaking TLS on 127.0.0.1 with a certificate made for the
// test (openssl), serving files from a temporary folder. Tests point libcurl
// at the certificate with CURL_CA_BUNDLE and the updater at the server with
// NORVALE_UPDATE_SERVER. Runs inside the loopback-only namespace.

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QThread>

namespace norvale::updater::testing {

inline int FreeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

inline bool WriteFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

class TlsServer {
  public:
    // bytesPerSecond > 0 sends every answer that slowly.
    explicit TlsServer(int bytesPerSecond = 0) {
        const QString dir = root_.path();
        // openssl's progress output is kept out of the test's log.
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"),
                      {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                       "-nodes", "-keyout", dir + "/key.pem", "-out", dir + "/cert.pem", "-days",
                       "2", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1"});
        openssl.waitForFinished(60000);
        QDir().mkpath(dir + "/www/firmware");
        port_ = FreeLoopbackPort();
        const QString conf =
            QStringLiteral(
                "daemon off; master_process off; worker_processes 1;\n"
                "pid %1/nginx.pid; error_log %1/error.log;\n"
                "events { worker_connections 64; }\n"
                "http { access_log off; default_type text/html;\n"
                "  client_body_temp_path %1/body; proxy_temp_path %1/proxy;\n"
                "  fastcgi_temp_path %1/fcgi; uwsgi_temp_path %1/uwsgi;\n"
                "  scgi_temp_path %1/scgi;\n"
                "  server { listen 127.0.0.1:%2 ssl; root %1/www; %3\n"
                "    ssl_certificate %1/cert.pem; ssl_certificate_key %1/key.pem; } }\n")
                .arg(dir)
                .arg(port_)
                .arg(bytesPerSecond > 0 ? QStringLiteral("limit_rate %1;").arg(bytesPerSecond)
                                        : QString());
        WriteFile(dir + "/nginx.conf", conf.toUtf8());
        pid_ = ::fork();
        if (pid_ == 0) {
            const QByteArray prefix = QFile::encodeName(dir);
            const QByteArray confPath = QFile::encodeName(dir + "/nginx.conf");
            const QByteArray log = QFile::encodeName(dir + "/error.log");
            ::execl("/usr/sbin/nginx", "nginx", "-p", prefix.constData(), "-c",
                    confPath.constData(), "-e", log.constData(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        for (int i = 0; i < 500 && !Listening(); ++i) QThread::msleep(10);
    }
    ~TlsServer() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    TlsServer(const TlsServer&) = delete;
    TlsServer& operator=(const TlsServer&) = delete;

    QString Base() const { return QStringLiteral("https://127.0.0.1:%1").arg(port_); }
    QString CertificatePath() const { return root_.path() + "/cert.pem"; }
    // Places a file under the served root ("firmware/list.asp", "Norvale.zip").
    bool Put(const QString& name, const QByteArray& bytes) const {
        return WriteFile(root_.path() + "/www/" + name, bytes);
    }
    QString FilePath(const QString& name) const { return root_.path() + "/www/" + name; }
    // A list page whose first link is the upgrade link to `name` on this server.
    void PutListPage(const QString& archiveName) const {
        Put(QStringLiteral("firmware/list.asp"),
            QStringLiteral("<html><body><p>Norvale Discovery</p>"
                           "<a href=\"%1/%2\">upgrade file</a></body></html>")
                .arg(Base(), archiveName)
                .toUtf8());
    }
    bool Listening() const {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port_));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        ::close(fd);
        return ok;
    }

  private:
    QTemporaryDir root_;
    int port_ = 0;
    pid_t pid_ = -1;
};

}  // namespace norvale::updater::testing
