// The control point's event listener refuses every event message.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "CpHarness.h"

namespace norvale::cp::testing {
namespace {

class EventListener : public ::testing::Test {
  protected:
    int Connect() {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<std::uint16_t>(chain.Cp()->EventListenerPort()));
        inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
        EXPECT_EQ(0, connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to));
        return fd;
    }
    static void Send(int fd, const std::string& text) {
        ASSERT_EQ(static_cast<ssize_t>(text.size()), write(fd, text.data(), text.size()));
    }
    // Reads until `wanted` bytes arrived, the peer closed, or 5 s passed.
    static std::string Read(int fd, std::size_t wanted) {
        std::string text;
        char buffer[1024];
        pollfd p{fd, POLLIN, 0};
        while (text.size() < wanted && poll(&p, 1, 5000) > 0) {
            const ssize_t n = read(fd, buffer, sizeof buffer);
            if (n <= 0) break;
            text.append(buffer, static_cast<std::size_t>(n));
        }
        return text;
    }

    Recorder recorder;
    ChainThread chain{&recorder, [] {
                          ControlPointOptions o;
                          o.search = false;
                          return o;
                      }()};
};

const char kFailed[] =
    "HTTP/1.1 412 Failed\r\nServer: WINDOWS UPnP/1.0 Quillon/1.0.2547\r\nContent-Length: 0\r\n\r\n";

TEST_F(EventListener, ContinueTokenInAnyCaseIsHonouredThenTheMessageRefused) {
    const int fd = Connect();
    Send(fd,
         "NOTIFY /evt HTTP/1.1\r\nHOST: 127.0.0.1\r\nNT: upnp:event\r\n"
         "Expect: 100-continue\r\nContent-Length: 5\r\n\r\n");
    EXPECT_EQ("HTTP/1.1 100 Continue\r\n\r\n", Read(fd, 25));
    Send(fd, "hello");
    EXPECT_EQ(kFailed, Read(fd, sizeof kFailed - 1));
    // The session stays open for the next message, which is refused too.
    Send(fd, "NOTIFY /evt HTTP/1.1\r\nHOST: 127.0.0.1\r\nContent-Length: 0\r\n\r\n");
    EXPECT_EQ(kFailed, Read(fd, sizeof kFailed - 1));
    close(fd);
}

TEST_F(EventListener, OtherExpectationIsRefusedAndTheSessionClosed) {
    const int fd = Connect();
    Send(fd,
         "NOTIFY /evt HTTP/1.1\r\nHOST: 127.0.0.1\r\nExpect: 200-ok\r\n"
         "Content-Length: 5\r\n\r\n");
    EXPECT_EQ("HTTP/1.1 417 Expectation Failed\r\n\r\n", Read(fd, 1000));  // read to the close
    close(fd);
}

}  // namespace
}  // namespace norvale::cp::testing
