#include <gtest/gtest.h>
#include <netinet/tcp.h>

#include <map>

#include "tests/upnp/stack/HttpTestSupport.h"
#include "upnp/stack/WebClient.h"

using namespace norvale::stack;
using namespace norvale::stack::testing;

namespace {

constexpr const char* kHost = "127.0.0.21";

// What one request ended with.
struct Outcome {
    int calls = 0;
    std::vector<int> codes;  // status of every delivered head
    std::string body;
    bool done = false;
    int interrupt = -1;
    int status = -1;  // final status; 0 when the last call had no packet
    bool hadConnection = false;
};

class Responses {
  public:
    static void OnResponse(ConnectionRecord* connection, int interrupt, Packet* packet,
                           char* buffer, int* consumed, int length, int done, void* user1,
                           void* user2, int*) {
        auto* self = static_cast<Responses*>(user1);
        std::lock_guard<std::mutex> guard(self->mutex_);
        Outcome& o = self->outcomes_[reinterpret_cast<std::intptr_t>(user2)];
        ++o.calls;
        if (packet != nullptr && (o.codes.empty() || o.codes.back() != packet->statusCode))
            o.codes.push_back(packet->statusCode);
        if (buffer != nullptr) o.body.append(buffer, static_cast<std::size_t>(length));
        *consumed = length;
        if (done == -1) {
            o.done = true;
            o.interrupt = interrupt;
            o.status = packet != nullptr ? packet->statusCode : 0;
            o.hadConnection = connection != nullptr;
        }
        self->changed_.notify_all();
    }
    // Keeps every body byte unconsumed until the last call.
    static void OnResponseHold(ConnectionRecord* connection, int interrupt, Packet* packet,
                               char* buffer, int* consumed, int length, int done, void* user1,
                               void* user2, int* pause) {
        if (done == -1) {
            OnResponse(connection, interrupt, packet, buffer, consumed, length, done, user1, user2,
                       pause);
        }
    }
    static void OnSendOk(ConnectionRecord*, void*, void*) {}

    bool WaitDone(std::vector<int> ids, int seconds = 20) {
        return WaitUntil(
            mutex_, changed_,
            [&] {
                for (int id : ids) {
                    if (!outcomes_[id].done) return false;
                }
                return true;
            },
            seconds);
    }
    Outcome Get(int id) {
        std::lock_guard<std::mutex> guard(mutex_);
        return outcomes_[id];
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::intptr_t, Outcome> outcomes_;
};

WebRequestToken Send(ILibWebClient* client, Responses& responses, const sockaddr_in& server,
                     const std::string& method, const std::string& path, int id,
                     bool streaming = false) {
    std::string header = method + " " + path + " HTTP/1.1\r\nHost: " + kHost + "\r\n\r\n";
    return WebClient_Request(client, &server, header.data(), static_cast<int>(header.size()),
                             kBufferCopy, nullptr, 0, kBufferStatic, &Responses::OnResponse,
                             streaming ? &Responses::OnSendOk : nullptr, &responses,
                             reinterpret_cast<void*>(static_cast<std::intptr_t>(id)));
}

WebClientOptions FastOptions() {
    WebClientOptions options;
    options.retryUnitMs = 5;
    options.idleTimeoutMs = 200;
    options.responseTimeoutMs = 5000;
    return options;
}

int Attempts(ChainThread& chain, ILibWebClient* client) {
    int attempts = 0;
    chain.Post([&] { attempts = client->ConnectAttempts(); });
    return attempts;
}

const std::string kDocument = [] {
    std::string text;
    for (int i = 0; text.size() < 8192; ++i)
        text += "line " + std::to_string(i) + " of the document\n";
    text.resize(8192);
    return text;
}();

TEST(WebClientNginx, QueuedRequestsShareOneKeptAliveConnection) {
    Nginx nginx(kHost, {{"doc.txt", kDocument}});
    ASSERT_TRUE(nginx.running());
    Responses responses;
    ChainThread chain;
    ILibWebClient* client = WebClient_Create(5, chain.chain());
    const sockaddr_in server = Endpoint(kHost, nginx.port());
    Send(client, responses, server, "GET", "/doc.txt", 1);
    Send(client, responses, server, "HEAD", "/doc.txt", 2);
    Send(client, responses, server, "GET", "/missing", 3);
    chain.Start();
    ASSERT_TRUE(responses.WaitDone({1, 2, 3}));
    EXPECT_EQ(responses.Get(1).status, 200);
    EXPECT_EQ(responses.Get(1).body, kDocument);
    EXPECT_EQ(responses.Get(2).status, 200);  // HEAD: finished at the blank line
    EXPECT_EQ(responses.Get(2).body, "");
    EXPECT_EQ(responses.Get(3).status, 404);
    EXPECT_NE(responses.Get(3).body.find("404 Not Found"), std::string::npos);
    EXPECT_EQ(Attempts(chain, client), 1);
}

TEST(WebClientScripted, InterimAnswerIsSkippedUnlessStreaming) {
    ScriptedServer server(kHost, [](int fd, int) {
        while (!ReadHead(fd).empty()) {
            WriteAll(fd, "HTTP/1.1 100 Continue\r\n\r\n");
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            WriteAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\ndone");
        }
    });
    Responses responses;
    ChainThread chain;
    ILibWebClient* client = WebClient_CreateWithOptions(5, chain.chain(), FastOptions());
    Send(client, responses, Endpoint(kHost, server.port()), "POST", "/a", 1);
    Send(client, responses, Endpoint(kHost, server.port()), "POST", "/b", 2, true);
    chain.Start();
    ASSERT_TRUE(responses.WaitDone({1, 2}));
    EXPECT_EQ(responses.Get(1).codes, std::vector<int>({200}));
    EXPECT_EQ(responses.Get(1).body, "done");
    EXPECT_EQ(responses.Get(2).codes, std::vector<int>({100, 200}));
}

TEST(WebClientScripted, ChunkedBodyTricklingInByteByByte) {
    const std::string response =
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
        "4;ext=\"a;b\"\r\nWiki\r\n5\r\npedia\r\nE\r\n in\r\n\r\nchunks.\r\n0\r\nExpires: "
        "never\r\n\r\n";
    ScriptedServer server(kHost, [&](int fd, int) {
        const int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        ReadHead(fd);
        for (char c : response) {
            WriteAll(fd, std::string(1, c));
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        }
        ReadHead(fd);
    });
    Responses responses;
    ChainThread chain;
    ILibWebClient* client = WebClient_CreateWithOptions(5, chain.chain(), FastOptions());
    Send(client, responses, Endpoint(kHost, server.port()), "GET", "/c", 1);
    chain.Start();
    ASSERT_TRUE(responses.WaitDone({1}));
    const Outcome o = responses.Get(1);
    EXPECT_EQ(o.status, 200);
    EXPECT_EQ(o.body, "Wikipedia in\r\n\r\nchunks.");
}

TEST(WebClientScripted, BodyWithoutLengthEndsWithTheConnection) {
    ScriptedServer server(kHost, [](int fd, int) {
        ReadHead(fd);
        WriteAll(fd, "HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\n\r\n<root>");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        WriteAll(fd, "</root>");
    });
    Responses responses;
    ChainThread chain;
    ILibWebClient* client = WebClient_CreateWithOptions(5, chain.chain(), FastOptions());
    Send(client, responses, Endpoint(kHost, server.port()), "GET", "/d", 1);
    chain.Start();
    ASSERT_TRUE(responses.WaitDone({1}));
    EXPECT_EQ(responses.Get(1).status, 200);
    EXPECT_EQ(responses.Get(1).body, "<root></root>");
}

TEST(WebClientScripted, ClosingAnswersMoveTheNextRequestToANewConnection) {
    // HTTP/1.0 answers and "Connection: close" answers both end their connection.
    ScriptedServer server(kHost, [](int fd, int index) {
        ReadHead(fd);
        WriteAll(fd, index % 2 == 0
                         ? "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nv0"
                         : "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 2\r\n\r\nv1");
    });
    Responses responses;
    ChainThread chain;
    ILibWebClient* client = WebClient_CreateWithOptions(5, chain.chain(), FastOptions());
    for (int id = 1; id <= 3; ++id)
        Send(client, responses, Endpoint(kHost, server.port()), "GET", "/", id);
    chain.Start();
    ASSERT_TRUE(responses.WaitDone({1, 2, 3}));
    EXPECT_EQ(responses.Get(1).body, "v0");
    EXPECT_EQ(responses.Get(2).body, "v1");
    EXPECT_EQ(responses.Get(3).body, "v0");
    EXPECT_EQ(server.connections(), 3);
}

TEST(WebClientScripted, Http10RequestKeepsItsConnectionOnlyWhenBothSidesSaidSo) {
    // The server answers "HTTP/1.1" without "Connection: close" but, as the
    // request was HTTP/1.0, ends the connection: a request sent into it is lost.
    std::atomic<int> lost{0};
    ScriptedServer closing(kHost, [&](int fd, int) {
        ReadHead(fd);
        WriteAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
        if (!ReadHead(fd).empty()) ++lost;
    });
    ScriptedServer keeping(kHost, [](int fd, int) {
        while (!ReadHead(fd).empty())
            WriteAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
    });
    Responses responses;
    ChainThread chain;
    ILibWebClient* client = WebClient_CreateWithOptions(5, chain.chain(), FastOptions());
    auto send = [&](int port, const std::string& extra, int id) {
        std::string header = "GET / HTTP/1.0\r\nHost: x\r\n" + extra + "\r\n";
        const sockaddr_in server = Endpoint(kHost, port);
        WebClient_Request(client, &server, header.data(), static_cast<int>(header.size()),
                          kBufferCopy, nullptr, 0, kBufferStatic, &Responses::OnResponse, nullptr,
                          &responses, reinterpret_cast<void*>(static_cast<std::intptr_t>(id)));
    };
    send(closing.port(), "", 1);
    send(closing.port(), "", 2);
    send(keeping.port(), "Connection: keep-alive\r\n", 3);
    send(keeping.port(), "Connection: keep-alive\r\n", 4);
    chain.Start();
    ASSERT_TRUE(responses.WaitDone({1, 2, 3, 4}));
    for (int id = 1; id <= 4; ++id) EXPECT_EQ(responses.Get(id).body, "ok") << id;
    EXPECT_EQ(closing.connections(), 2);
    EXPECT_EQ(lost.load(), 0);
    EXPECT_EQ(keeping.connections(), 1);
}

TEST(WebClientScripted, RequestOnAConnectionTheServerDroppedIsSentAgain) {
    ScriptedServer server(kHost, [](int fd, int index) {
        ReadHead(fd);
        WriteAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nfirst");
        if (index == 0) {
            ReadHead(fd);  // the second request arrives; the server had decided to close
            return;
        }
        WriteAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\nsecond");
    });
    Responses responses;
    ChainThread chain;
    ILibWebClient* client = WebClient_CreateWithOptions(5, chain.chain(), FastOptions());
    Send(client, responses, Endpoint(kHost, server.port()), "GET", "/1", 1);
    Send(client, responses, Endpoint(kHost, server.port()), "GET", "/2", 2);
    chain.Start();
    ASSERT_TRUE(responses.WaitDone({1, 2}));
    EXPECT_EQ(responses.Get(1).body, "first");
    EXPECT_EQ(responses.Get(2).status, 200);
    EXPECT_EQ(server.connections(), 2);
}

TEST(WebClientScripted, RefusedServerIsTriedSevenTimesThenEveryRequestGetsInterrupt5) {
    const int port = FreePort(kHost);  // nothing listens there
    Responses responses;
    ChainThread chain;
    ILibWebClient* client = WebClient_CreateWithOptions(5, chain.chain(), FastOptions());
    for (int id = 1; id <= 3; ++id) Send(client, responses, Endpoint(kHost, port), "GET", "/", id);
    chain.Start();
    ASSERT_TRUE(responses.WaitDone({1, 2, 3}));
    for (int id = 1; id <= 3; ++id) {
        EXPECT_EQ(responses.Get(id).interrupt, kWebInterruptGivenUp);
        EXPECT_EQ(responses.Get(id).status, 0);
        EXPECT_EQ(responses.Get(id).calls, 1);
    }
    EXPECT_EQ(Attempts(chain, client), 7);
}

TEST(WebClientScripted, CancelOfTheRequestInProgressLetsTheNextOneGoOnANewConnection) {
    ScriptedServer server(kHost, [](int fd, int index) {
        ReadHead(fd);
        if (index == 0) {
            char c;
            while (recv(fd, &c, 1, 0) > 0) {
            }  // silent until the client closes
            return;
        }
        WriteAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
        ReadHead(fd);
    });
    Responses responses;
    ChainThread chain;
    ILibWebClient* client = WebClient_CreateWithOptions(5, chain.chain(), FastOptions());
    WebRequestToken first =
        Send(client, responses, Endpoint(kHost, server.port()), "GET", "/slow", 1);
    Send(client, responses, Endpoint(kHost, server.port()), "GET", "/next", 2);
    chain.Start();
    for (int i = 0; i < 2000 && server.connections() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    chain.Post([&] { WebClient_Cancel(client, first); });
    ASSERT_TRUE(responses.WaitDone({1, 2}));
    EXPECT_EQ(responses.Get(1).status, 0);
    EXPECT_EQ(responses.Get(1).calls, 1);
    EXPECT_EQ(responses.Get(2).body, "ok");
    chain.Post([&] { WebClient_Cancel(client, first); });  // a finished token is harmless
}

TEST(WebClientScripted, DroppedServerRequestsGetInterrupt6WithoutConnection) {
    ScriptedServer server(kHost, [](int fd, int) {
        char c;
        while (recv(fd, &c, 1, 0) > 0) {
        }
    });
    Responses responses;
    ChainThread chain;
    ILibWebClient* client = WebClient_CreateWithOptions(5, chain.chain(), FastOptions());
    for (int id = 1; id <= 3; ++id)
        Send(client, responses, Endpoint(kHost, server.port()), "GET", "/", id);
    chain.Start();
    for (int i = 0; i < 2000 && server.connections() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    chain.Post([&] { WebClient_DropServerRequests(client, kHost, server.port()); });
    ASSERT_TRUE(responses.WaitDone({1, 2, 3}));
    for (int id = 1; id <= 3; ++id) {
        EXPECT_EQ(responses.Get(id).interrupt, kWebInterruptDropped);
        EXPECT_FALSE(responses.Get(id).hadConnection);
    }
}

TEST(WebClientScripted, HostilePeersEndOnlyTheirOwnRequest) {
    // Each hostile server gets one request; a good server is asked meanwhile.
    const std::vector<std::string> hostile = {
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nFFFFFFFFFFFFFFFFFFFFFFFF\r\n",
        "HTTP/1.1 200 OK\r\nContent-Length: 1099511627776\r\n\r\nabc",  // then silence
        "HTTP/1.1 200 OK\r\nX-Endless: " + std::string(20000, 'x'),
    };
    std::vector<std::unique_ptr<ScriptedServer>> servers;
    for (const std::string& text : hostile) {
        servers.push_back(std::make_unique<ScriptedServer>(kHost, [text](int fd, int) {
            ReadHead(fd);
            WriteAll(fd, text);
            char c;
            while (recv(fd, &c, 1, 0) > 0) {
            }
        }));
    }
    ScriptedServer trickle(kHost, [](int fd, int) {
        ReadHead(fd);
        for (char c : std::string("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n")) {
            if (send(fd, &c, 1, MSG_NOSIGNAL) != 1) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
        }
    });
    ScriptedServer good(kHost, [](int fd, int) {
        while (!ReadHead(fd).empty())
            WriteAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\ngood");
    });
    ScriptedServer huge(kHost, [](int fd, int) {  // more than the caller may hold
        ReadHead(fd);
        WriteAll(fd,
                 "HTTP/1.1 200 OK\r\nContent-Length: 3000000\r\n\r\n" + std::string(3000000, 'h'));
    });
    Responses responses;
    ChainThread chain;
    WebClientOptions options = FastOptions();
    options.responseTimeoutMs = 1000;
    options.limits.maxBufferedBytes = 1 << 20;
    ILibWebClient* client = WebClient_CreateWithOptions(5, chain.chain(), options);
    for (std::size_t i = 0; i < servers.size(); ++i)
        Send(client, responses, Endpoint(kHost, servers[i]->port()), "GET", "/",
             static_cast<int>(i) + 1);
    Send(client, responses, Endpoint(kHost, trickle.port()), "GET", "/", 4);
    Send(client, responses, Endpoint(kHost, good.port()), "GET", "/", 5);
    std::string header = "GET / HTTP/1.1\r\nHost: h\r\n\r\n";
    const sockaddr_in hugeServer = Endpoint(kHost, huge.port());
    WebClient_Request(client, &hugeServer, header.data(), static_cast<int>(header.size()),
                      kBufferCopy, nullptr, 0, kBufferStatic, &Responses::OnResponseHold, nullptr,
                      &responses, reinterpret_cast<void*>(std::intptr_t{6}));
    chain.Start();
    ASSERT_TRUE(responses.WaitDone({1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(responses.Get(6).status, 0);
    for (int id = 1; id <= 4; ++id) EXPECT_EQ(responses.Get(id).status, 0) << id;
    EXPECT_EQ(responses.Get(5).body, "good");
}

TEST(WebClientScripted, WaitingServerGetsAnIdleSocketAtOnce) {
    ScriptedServer a(kHost, [](int fd, int) {
        while (!ReadHead(fd).empty()) WriteAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\na");
    });
    ScriptedServer b(kHost, [](int fd, int) {
        while (!ReadHead(fd).empty()) WriteAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nb");
    });
    Responses responses;
    ChainThread chain;
    WebClientOptions options = FastOptions();
    options.idleTimeoutMs = 600000;  // only the waiting server can free the one socket
    ILibWebClient* client = WebClient_CreateWithOptions(1, chain.chain(), options);
    Send(client, responses, Endpoint(kHost, a.port()), "GET", "/", 1);
    Send(client, responses, Endpoint(kHost, b.port()), "GET", "/", 2);
    chain.Start();
    ASSERT_TRUE(responses.WaitDone({1, 2}));
    EXPECT_EQ(responses.Get(1).body, "a");
    EXPECT_EQ(responses.Get(2).body, "b");
}

TEST(WebClientScripted, IdleTableKeepsAtMostItsLimit) {
    std::vector<std::unique_ptr<ScriptedServer>> servers;
    for (int i = 0; i < 4; ++i) {
        servers.push_back(std::make_unique<ScriptedServer>(kHost, [](int fd, int) {
            while (!ReadHead(fd).empty())
                WriteAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
        }));
    }
    Responses responses;
    ChainThread chain;
    WebClientOptions options = FastOptions();
    options.idleTimeoutMs = 1;
    options.maxIdleConnections = 2;
    ILibWebClient* client = WebClient_CreateWithOptions(5, chain.chain(), options);
    chain.Start();
    for (int i = 0; i < 4; ++i) {
        Send(client, responses, Endpoint(kHost, servers[static_cast<std::size_t>(i)]->port()),
             "GET", "/", i);
        ASSERT_TRUE(responses.WaitDone({i}));
    }
    std::size_t idle = 0, connections = 0;
    for (int i = 0; i < 2000 && !(idle == 2 && connections == 2); ++i) {
        chain.Post([&] {
            idle = client->IdleCount();
            connections = client->ConnectionCount();
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_EQ(idle, 2u);         // the two most recent
    EXPECT_EQ(connections, 2u);  // the older ones were forgotten altogether
}

}  // namespace
