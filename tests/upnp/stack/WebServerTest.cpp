#include <gtest/gtest.h>

#include <cstdio>

#include "tests/upnp/stack/HttpTestSupport.h"
#include "upnp/stack/Packet.h"
#include "upnp/stack/WebServer.h"

using namespace norvale::stack;
using namespace norvale::stack::testing;

namespace {

constexpr const char* kHost = "127.0.0.22";

// Answers every complete request with 200 and "<tag> <path>" as the body.
struct Site {
    std::mutex mutex;
    std::condition_variable changed;
    int sessions = 0;
    int ended = 0;
    std::vector<std::string> paths;

    static void OnSession(WebSession* session, void* user) {
        WebSession_SetUser(session, user);
        WebSession_SetOnReceive(session, &OnReceive);
        WebSession_SetOnDone(session, &OnDone);
        auto* site = static_cast<Site*>(user);
        std::lock_guard<std::mutex> guard(site->mutex);
        ++site->sessions;
        site->changed.notify_all();
    }
    static void Answer(WebSession* session, Packet* request, const char* tag) {
        const std::string body =
            std::string(tag) + " " + std::string(request->path, request->pathLength);
        Packet* response = NewPacket();
        SetStatus(response, 200, "OK", 2);
        SetPacketVersion(response, "1.1", 3);
        const std::string length = std::to_string(body.size());
        AddHeader(response, "Content-Length", 14, length.data(), static_cast<int>(length.size()));
        SetPacketBody(response, body.data(), static_cast<int>(body.size()));
        WebSession_SendPacket(session, response);
        auto* site = static_cast<Site*>(WebSession_GetUser(session));
        std::lock_guard<std::mutex> guard(site->mutex);
        site->paths.push_back(body);
        site->changed.notify_all();
    }
    static void OnReceive(WebSession* session, int, Packet* packet, char*, int* consumed,
                          int length, int done) {
        *consumed = length;
        if (done == -1) Answer(session, packet, "main");
    }
    static void OnEvent(WebSession* session, int, Packet* packet, char*, int* consumed, int length,
                        int done) {
        *consumed = length;
        if (done == -1) Answer(session, packet, "event");
    }
    static void OnDone(WebSession* session) {
        auto* site = static_cast<Site*>(WebSession_GetUser(session));
        std::lock_guard<std::mutex> guard(site->mutex);
        ++site->ended;
        site->changed.notify_all();
    }
    bool WaitEnded(int count) {
        return WaitUntil(mutex, changed, [&] { return ended >= count; });
    }
    bool WaitSessions(int count) {
        return WaitUntil(mutex, changed, [&] { return sessions >= count; });
    }
};

std::string Shell(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    std::size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
    pclose(pipe);
    return output;
}

std::string Url(WebServer* server, const std::string& path) {
    return std::string("http://") + kHost + ":" + std::to_string(WebServer_LocalPort(server)) +
           path;
}

int RawConnect(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);  // curl must not inherit it
    sockaddr_in target = Endpoint(kHost, port);
    connect(fd, reinterpret_cast<sockaddr*>(&target), sizeof target);
    return fd;
}

// Reads until the peer closes; returns what arrived.
std::string ReadToClose(int fd) {
    std::string text;
    char buffer[1024];
    ssize_t got;
    while ((got = recv(fd, buffer, sizeof buffer, 0)) > 0)
        text.append(buffer, static_cast<std::size_t>(got));
    return text;
}

class WebServerCurl : public ::testing::Test {
  protected:
    void Open(const WebServerOptions& options = {}, int slots = 5) {
        server_ = WebServer_CreateWithOptions(chain_.chain(), slots, 0, &Site::OnSession, &site_,
                                              options);
        ASSERT_NE(server_, nullptr);
        WebServer_AddHandler(server_, "event", &Site::OnEvent);
        chain_.Start();
    }
    Site site_;  // outlives the chain, whose callbacks use it
    ChainThread chain_;
    WebServer* server_ = nullptr;
};

TEST_F(WebServerCurl, Http11WithoutHostGetsThe400Text) {
    Open();
    const std::string out = Shell("curl -s -i --http1.1 -H 'Host:' " + Url(server_, "/x"));
    EXPECT_EQ(out, "HTTP/1.1 400 Bad Request (Missing Host Field)\r\n\r\n");
}

TEST_F(WebServerCurl, OversizedHeadGetsThe413Text) {
    Open();
    const std::string out =
        Shell("curl -s -i -H 'X-Big: " + std::string(4000, 'x') + "' " + Url(server_, "/x"));
    EXPECT_EQ(out, "HTTP/1.1 413 Request Too Big (MaxHeader=3072)\r\n\r\n");
}

TEST_F(WebServerCurl, Http10IsAnsweredThenClosed) {
    Open();
    const std::string out = Shell("curl -s --http1.0 " + Url(server_, "/old"));
    EXPECT_EQ(out, "main /old");
    EXPECT_TRUE(site_.WaitEnded(1));
}

TEST_F(WebServerCurl, Http11ConnectionIsKeptForTheNextRequestThenTimesOut) {
    WebServerOptions options;
    options.keepAliveTimeoutMs = 300;
    Open(options);
    const std::string out = Shell("curl -s " + Url(server_, "/a") + " " + Url(server_, "/event/b"));
    EXPECT_EQ(out, "main /aevent /b");
    {
        std::lock_guard<std::mutex> guard(site_.mutex);
        EXPECT_EQ(site_.sessions, 1);  // both requests on one connection
    }

    // A raw client that keeps quiet after its answer is closed by the server.
    const int fd = RawConnect(WebServer_LocalPort(server_));
    WriteAll(fd, "GET http://" + std::string(kHost) + ":" +
                     std::to_string(WebServer_LocalPort(server_)) +
                     "/abs HTTP/1.1\r\nHost: h\r\n\r\n");
    const std::string answer = ReadToClose(fd);
    close(fd);
    EXPECT_NE(answer.find("main /abs"), std::string::npos);  // absolute target rewritten
}

TEST_F(WebServerCurl, SilentConnectionIsClosed) {
    WebServerOptions options;
    options.firstRequestTimeoutMs = 200;
    Open(options);
    const int fd = RawConnect(WebServer_LocalPort(server_));
    EXPECT_EQ(ReadToClose(fd), "");
    close(fd);
    EXPECT_TRUE(site_.WaitEnded(1));
}

TEST_F(WebServerCurl, SixthConnectionWaitsForAFreeSlot) {
    WebServerOptions options;
    options.firstRequestTimeoutMs = 60000;
    Open(options);
    std::vector<int> holders;
    for (int i = 0; i < 5; ++i) holders.push_back(RawConnect(WebServer_LocalPort(server_)));
    ASSERT_TRUE(site_.WaitSessions(5));
    auto curl =
        std::async(std::launch::async, [&] { return Shell("curl -s " + Url(server_, "/sixth")); });
    EXPECT_EQ(curl.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
    close(holders[0]);
    EXPECT_EQ(curl.get(), "main /sixth");
    for (std::size_t i = 1; i < holders.size(); ++i) close(holders[i]);
}

TEST_F(WebServerCurl, PostBodyReachesTheHandlerWhole) {
    Open();
    const std::string out = Shell("curl -s -X POST --data-binary 'a=1&b=2' -H 'Expect:' " +
                                  Url(server_, "/event/post"));
    EXPECT_EQ(out, "event /post");
}

}  // namespace
