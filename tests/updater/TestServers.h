#pragma once

#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "UpdaterTestSupport.h"

namespace norvale::updater::test {

// A program started by a test, stopped (SIGTERM, then waited for) when dropped.
class ChildProcess {
  public:
    ChildProcess() = default;
    ~ChildProcess() { Stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts `argv` with stdout and stderr sent to `logFile`.
    bool Start(const std::vector<std::string>& argv, const std::string& logFile);
    void Stop();

  private:
    pid_t pid_ = -1;
};

// True once something accepts connections on 127.0.0.1:`port`.
bool WaitForPort(int port, int timeoutMs = 10000);

// The servers every network test talks to, started once for the test program
// and stopped at its end:
//  - nginx on https://127.0.0.1:8443 (certificate of a CA made for the run)
//    and http://127.0.0.1:8080, serving DocRoot(): the list page answers
//    pages/<fw>.html, or pages/notfound.html with status 404; /headers echoes
//    the request headers; /to-http redirects to the http site;
//  - tinyproxy on 127.0.0.1:3128 asking for the login alice / secret.
// The environment points CURL_CA_BUNDLE at the CA and NORVALE_UPDATE_SERVER at
// the https site, and holds no proxy settings.
struct TestSite {
    static constexpr int kHttpsPort = 8443;
    static constexpr int kHttpPort = 8080;
    static constexpr int kProxyPort = 3128;

    std::string folder;       // scratch folder of the run
    std::string docRoot;      // nginx's document root
    std::string caFile;       // the CA that signed the server certificate
    std::string otherCaFile;  // a CA that signed nothing here

    std::string HttpsUrl(const std::string& path) const;
    std::string HttpUrl(const std::string& path) const;
    void Serve(const std::string& path, const std::string& bytes) const;  // under DocRoot
};
const TestSite& Site();

// An HTTPS server on 127.0.0.1 (the test site's certificate; plain HTTP when
// asked, for playing a proxy) that answers every connection with the same
// script, piece by piece, pausing after each (15 ms, or the piece's own
// pause), so the client sees the body in pieces of the given sizes. A piece
// marked `hold` is followed by a wait for Release() (or the server's end).
// Connections are served one at a time.
class ScriptedHttpServer {
  public:
    struct Piece {
        std::string bytes;
        bool hold = false;
        int pauseMs = 15;
    };
    enum class Scheme { Https, Http };
    explicit ScriptedHttpServer(std::vector<Piece> answer, Scheme scheme = Scheme::Https);
    ~ScriptedHttpServer();
    ScriptedHttpServer(const ScriptedHttpServer&) = delete;
    ScriptedHttpServer& operator=(const ScriptedHttpServer&) = delete;

    std::string Url(const std::string& path) const;
    void Release();
    // Answers requests for `path` with `body` (200, whole) instead of the script.
    void Serve(const std::string& path, const std::string& body);

    // An answer with a chunked body, cut into wire pieces at `cuts` (sizes
    // in bytes that need not match the chunk borders).
    static std::vector<Piece> ChunkedAnswer(const std::string& body,
                                            const std::vector<std::size_t>& chunkSizes,
                                            const std::vector<std::size_t>& cuts);

  private:
    class Connection;
    void Run(const std::vector<Piece>& answer);
    void Answer(Connection& connection, const std::vector<Piece>& answer);

    Scheme scheme_;
    int listenFd_ = -1;
    int port_ = 0;
    std::mutex mutex_;
    std::condition_variable released_;
    bool isReleased_ = false;
    std::map<std::string, std::string> served_;  // guarded by mutex_
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace norvale::updater::test
