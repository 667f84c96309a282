#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>

#include "tests/upnp/stack/HttpTestSupport.h"
#include "upnp/stack/LifetimeMonitor.h"
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
    std::map<WebSession*, std::string> partial;  // body bytes of the request in progress
    std::vector<std::string> bodies;             // of every finished event request
    EventChain* chain = nullptr;

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
    static void OnEvent(WebSession* session, int, Packet* packet, char* buffer, int* consumed,
                        int length, int done) {
        *consumed = length;
        auto* site = static_cast<Site*>(WebSession_GetUser(session));
        {
            std::lock_guard<std::mutex> guard(site->mutex);
            if (buffer != nullptr) site->partial[session].append(buffer, length);
            if (done == -1) {
                site->bodies.push_back(site->partial[session]);
                site->partial.erase(session);
            }
        }
        if (done == -1) Answer(session, packet, "event");
    }
    // Answers 50 ms after the request is complete, from a timer.
    static void OnLater(WebSession* session, int, Packet* packet, char*, int* consumed, int length,
                        int done) {
        *consumed = length;
        if (done != -1) return;
        auto* site = static_cast<Site*>(WebSession_GetUser(session));
        auto* later = new std::pair<WebSession*, Packet*>(session, ILibClonePacket(packet));
        LifetimeMonitor_Add(
            EventChain_Timers(site->chain), later, 50,
            [](void* data) {
                std::unique_ptr<std::pair<WebSession*, Packet*>> job(
                    static_cast<std::pair<WebSession*, Packet*>*>(data));
                Answer(job->first, job->second, "later");
                DestroyPacket(job->second);
            },
            [](void* data) {
                auto* job = static_cast<std::pair<WebSession*, Packet*>*>(data);
                DestroyPacket(job->second);
                delete job;
            });
    }
    // Leaves the body unconsumed until the request is complete.
    static void OnHold(WebSession* session, int, Packet* packet, char*, int* consumed, int length,
                       int done) {
        *consumed = done == -1 ? length : 0;
        if (done == -1) Answer(session, packet, "hold");
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
    const timeval limit{10, 0};  // a server that never answers fails the test, not hangs it
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_in target = Endpoint(kHost, port);
    connect(fd, reinterpret_cast<sockaddr*>(&target), sizeof target);
    return fd;
}

// Reads until the peer closes (or 10 s pass without a byte: *closed false);
// returns what arrived.
std::string ReadToClose(int fd, bool* closed = nullptr) {
    std::string text;
    char buffer[1024];
    ssize_t got;
    while ((got = recv(fd, buffer, sizeof buffer, 0)) > 0)
        text.append(buffer, static_cast<std::size_t>(got));
    if (closed != nullptr) *closed = got == 0;
    return text;
}

class WebServerCurl : public ::testing::Test {
  protected:
    void Open(const WebServerOptions& options = {}, int slots = 5) {
        server_ = WebServer_CreateWithOptions(chain_.chain(), slots, 0, &Site::OnSession, &site_,
                                              options);
        ASSERT_NE(server_, nullptr);
        WebServer_AddHandler(server_, "event", &Site::OnEvent);
        WebServer_AddHandler(server_, "hold", &Site::OnHold);
        WebServer_AddHandler(server_, "later", &Site::OnLater);
        site_.chain = chain_.chain();
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
    // Large enough to arrive in many pieces; every byte must be there, in order.
    std::string body;
    for (int i = 0; body.size() < 300000; ++i) body += "field" + std::to_string(i) + "&";
    char path[] = "/tmp/norvale-post.XXXXXX";
    close(mkstemp(path));
    std::ofstream(path, std::ios::binary) << body;
    const std::string out = Shell("curl -s -X POST --data-binary @" + std::string(path) +
                                  " -H 'Expect:' " + Url(server_, "/event/post"));
    std::remove(path);
    EXPECT_EQ(out, "event /post");
    std::lock_guard<std::mutex> guard(site_.mutex);
    ASSERT_EQ(site_.bodies.size(), 1u);
    EXPECT_EQ(site_.bodies[0].size(), body.size());
    EXPECT_TRUE(site_.bodies[0] == body);
}

TEST_F(WebServerCurl, PipelinedRequestIsAnsweredAfterTheFirstInOrder) {
    Open();
    const int fd = RawConnect(WebServer_LocalPort(server_));
    // The second request arrives before the first is answered.
    WriteAll(fd,
             "POST /later/one HTTP/1.1\r\nHost: h\r\nContent-Length: 3\r\n\r\nabc"
             "POST /event/two HTTP/1.1\r\nHost: h\r\nContent-Length: 3\r\n\r\nxyz"
             "GET /three HTTP/1.1\r\nHost: h\r\nConnection: close\r\n\r\n");
    const std::string answer = ReadToClose(fd);
    close(fd);
    const auto one = answer.find("later /one");
    const auto two = answer.find("event /two");
    const auto three = answer.find("main /three");
    ASSERT_NE(one, std::string::npos) << answer;
    ASSERT_NE(two, std::string::npos) << answer;
    ASSERT_NE(three, std::string::npos) << answer;
    EXPECT_LT(one, two);
    EXPECT_LT(two, three);
    std::lock_guard<std::mutex> guard(site_.mutex);
    EXPECT_EQ(site_.bodies, std::vector<std::string>{"xyz"});
    EXPECT_EQ(site_.sessions, 1);
}

TEST_F(WebServerCurl, BodyOverTheLimitGetsThe413TextAndTheConnectionEnds) {
    WebServerOptions options;
    options.maxBodyBytes = 1000;
    Open(options);
    const int fd = RawConnect(WebServer_LocalPort(server_));
    // 2000 of 5000 bytes arrive, none of them taken yet by the handler.
    WriteAll(fd, "POST /hold/x HTTP/1.1\r\nHost: h\r\nContent-Length: 5000\r\n\r\n" +
                     std::string(2000, 'b'));
    EXPECT_EQ(ReadToClose(fd), "HTTP/1.1 413 Request Too Big (MaxHeader=3072)\r\n\r\n");
    close(fd);
    EXPECT_TRUE(site_.WaitEnded(1));
    // A body within the limit is taken.
    const std::string out =
        Shell("curl -s -X POST --data-binary 'small' -H 'Expect:' " + Url(server_, "/hold/y"));
    EXPECT_EQ(out, "hold /y");
}

TEST_F(WebServerCurl, RequestThatBeganButNeverEndsIsClosed) {
    WebServerOptions options;
    options.firstRequestTimeoutMs = 200;
    options.requestTimeoutMs = 300;
    Open(options);
    // A head that stops halfway, and a body that stops halfway.
    const int head = RawConnect(WebServer_LocalPort(server_));
    WriteAll(head, "GET /x HTTP/1.1\r\nHost: h\r\n");
    const int body = RawConnect(WebServer_LocalPort(server_));
    WriteAll(body, "POST /event/y HTTP/1.1\r\nHost: h\r\nContent-Length: 10\r\n\r\nabc");
    bool closed = false;
    EXPECT_EQ(ReadToClose(head, &closed), "");
    EXPECT_TRUE(closed);
    EXPECT_EQ(ReadToClose(body, &closed), "");
    EXPECT_TRUE(closed);
    close(head);
    close(body);
    EXPECT_TRUE(site_.WaitEnded(2));
    std::lock_guard<std::mutex> guard(site_.mutex);
    EXPECT_TRUE(site_.bodies.empty());
}

}  // namespace
