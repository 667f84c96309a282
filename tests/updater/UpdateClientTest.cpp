#include <gtest/gtest.h>

#include <QRegularExpression>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "TestServers.h"
#include "updater/UpdateClient.h"
#include "updater/UpdateState.h"

namespace norvale::updater {
namespace {

using test::ReadFile;
using test::ScopedEnv;
using test::ScriptedHttpServer;
using test::Site;

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

std::string Anchor(const std::string& address) {
    return "<a href=\"" + address + "\">upgrade file</a>";
}

class UpdateClientTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetUpdateState(UpdateState::Running);
        SetProxyLoginHook({});
        ForgetProxyLogin();
    }
    void TearDown() override {
        SetProxyLoginHook({});
        ForgetProxyLogin();
    }
    test::ScratchFolder scratch_;
};

TEST_F(UpdateClientTest, ListPageRequestCarriesTheTokenUnencodedAndNoCacheHeaders) {
    EXPECT_EQ(ListPageUrl("VER:1.00.0123.045"),
              Q(Site().HttpsUrl("/firmware/list.asp?type=NORVALE_DISCOVERY&fw=VER:1.00.0123.045")));
    const std::optional<QByteArray> echo = FetchListPage(Q(Site().HttpsUrl("/headers")));
    ASSERT_TRUE(echo.has_value());
    const QRegularExpression expected("^Agent-?\\d+\\|\\*/\\*\\|no-cache\\|no-cache$");
    EXPECT_TRUE(expected.match(QString::fromLatin1(*echo)).hasMatch()) << echo->toStdString();
}

TEST_F(UpdateClientTest, ServerOfferingAnUpdateGivesItsLink) {
    Site().Serve("pages/VER:1.00.0123.045.html",
                 "<html>" + Anchor("https://127.0.0.1:8443/files/Norvale.zip") + "</html>");
    QString link;
    ASSERT_TRUE(FindUpgradeLink("VER:1.00.0123.045", &link));
    EXPECT_EQ(link, "https://127.0.0.1:8443/files/Norvale.zip");
}

TEST_F(UpdateClientTest, NoOfferMeansNoLink) {
    Site().Serve("pages/VER:9.90.0001.001.html", "<html>You are up to date.</html>");
    Site().Serve("pages/VER:9.90.0001.002.html", "upgrade file, but no link");
    QString link = "untouched";
    EXPECT_FALSE(FindUpgradeLink("VER:9.90.0001.001", &link));
    EXPECT_FALSE(FindUpgradeLink("VER:9.90.0001.002", &link));
    // A token that would change the address is not sent at all.
    EXPECT_FALSE(FindUpgradeLink("VER:1 DIR:/x", &link));
    EXPECT_FALSE(FindUpgradeLink("VER:1\r\nX: y", &link));
    {
        ScopedEnv down("NORVALE_UPDATE_SERVER", "https://127.0.0.1:1");
        EXPECT_FALSE(FindUpgradeLink("VER:1.00.0123.045", &link));
    }
    {
        ScopedEnv bad("NORVALE_UPDATE_SERVER", "ftp://127.0.0.1:8443");
        EXPECT_FALSE(FindUpgradeLink("VER:1.00.0123.045", &link));
    }
    EXPECT_EQ(link, "untouched");
}

TEST_F(UpdateClientTest, ErrorPageWithTheLinkStillCountsAndAnyStatusIsRead) {
    const std::string notFound = "<html>404 " + Anchor("https://127.0.0.1:8443/nf.zip") + "</html>";
    Site().Serve("pages/notfound.html", notFound);
    QString link;
    EXPECT_TRUE(FindUpgradeLink("VER:0.00.0000.404", &link));
    EXPECT_EQ(link, "https://127.0.0.1:8443/nf.zip");
    EXPECT_EQ(FetchListPage(Q(Site().HttpsUrl("/missing"))), QByteArray::fromStdString(notFound));
    ::unlink((Site().docRoot + "/pages/notfound.html").c_str());
}

TEST_F(UpdateClientTest, PlainHttpIsRefusedEverywhere) {
    Site().Serve("pages/VER:1.00.0000.080.html", Anchor("http://127.0.0.1:8080/files/a.zip"));
    Site().Serve("pages/VER:1.00.0000.443.html", Anchor("https://127.0.0.1:8443/files/a.zip"));
    Site().Serve("files/small.bin", "small");
    QString link;
    EXPECT_FALSE(FindUpgradeLink("VER:1.00.0000.080", &link)) << "an http archive link";
    // An http server base: refused with a word on standard error.
    ScopedEnv plain("NORVALE_UPDATE_SERVER", Site().HttpUrl("").c_str());
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(FindUpgradeLink("VER:1.00.0000.443", &link));
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("http://127.0.0.1:8080 (NORVALE_UPDATE_SERVER) is not an https:// address"),
              std::string::npos)
        << said;
    EXPECT_EQ(FetchListPage(Q(Site().HttpUrl("/headers"))), std::nullopt);
    EXPECT_FALSE(DownloadToFile(Q(Site().HttpUrl("/files/small.bin")), scratch_.QPath("a")));
    EXPECT_FALSE(test::Exists(scratch_ / "a"));
}

TEST_F(UpdateClientTest, LongPageIsCutAfter29999Bytes) {
    const std::string page = Anchor("https://127.0.0.1:8443/a.zip") + std::string(40000, 'x');
    Site().Serve("pages/VER:4.html", page);
    const std::optional<QByteArray> read =
        FetchListPage(Q(Site().HttpsUrl("/firmware/list.asp?fw=VER:4")));
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->toStdString(), page.substr(0, 29999));
}

TEST_F(UpdateClientTest, CertificateOfAnUnknownCaIsRefused) {
    Site().Serve("files/small.bin", "small");
    ScopedEnv other("CURL_CA_BUNDLE", Site().otherCaFile.c_str());
    EXPECT_EQ(FetchListPage(Q(Site().HttpsUrl("/headers"))), std::nullopt);
    EXPECT_FALSE(DownloadToFile(Q(Site().HttpsUrl("/files/small.bin")), scratch_.QPath("a")));
    ScopedEnv system("CURL_CA_BUNDLE", nullptr);
    EXPECT_EQ(FetchListPage(Q(Site().HttpsUrl("/headers"))), std::nullopt);
    EXPECT_FALSE(test::Exists(scratch_ / "a")) << "no file when nothing was received";
}

TEST_F(UpdateClientTest, LargeBodyOverTlsIsStoredByteForByte) {
    const std::string body = test::PatternBytes(3 * 1024 * 1024 + 17, 7);
    Site().Serve("files/big.bin", body);
    test::WriteFile(scratch_ / "a.zip", std::string(5000000, 'o'));  // longer: must be cut
    ASSERT_TRUE(DownloadToFile(Q(Site().HttpsUrl("/files/big.bin")), scratch_.QPath("a.zip")));
    EXPECT_TRUE(ReadFile(scratch_ / "a.zip") == body);
}

TEST_F(UpdateClientTest, BodyLongerThanTheLimitFails) {
    const std::string body = test::PatternBytes(100000, 9);
    Site().Serve("files/limit.bin", body);
    const QString url = Q(Site().HttpsUrl("/files/limit.bin"));
    EXPECT_TRUE(DownloadToFile(url, scratch_.QPath("a"), body.size()));
    EXPECT_FALSE(DownloadToFile(url, scratch_.QPath("b"), body.size() - 1));
    // Chunked, so no length is announced up front.
    ScriptedHttpServer server(ScriptedHttpServer::ChunkedAnswer(body, {30000}, {50000}));
    EXPECT_FALSE(DownloadToFile(Q(server.Url("/a.zip")), scratch_.QPath("c"), 60000));
    EXPECT_LE(ReadFile(scratch_ / "c").size(), 60000u);
}

TEST_F(UpdateClientTest, RedirectFromHttpsToHttpIsRefused) {
    Site().Serve("files/small.bin", "small");
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(DownloadToFile(Q(Site().HttpsUrl("/to-http")), scratch_.QPath("a")));
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("refused a redirect that leaves https"), std::string::npos) << said;
    ASSERT_TRUE(DownloadToFile(Q(Site().HttpsUrl("/files/small.bin")), scratch_.QPath("b")));
    EXPECT_EQ(ReadFile(scratch_ / "b"), "small");
}

TEST_F(UpdateClientTest, TricklingPageAndStalledDownloadFailWithinTheirLimits) {
    SetTransferLimits({std::chrono::milliseconds(1500), std::chrono::milliseconds(1500)});
    // One byte a second: complete after 60 s, far past the page's limit.
    std::vector<ScriptedHttpServer::Piece> trickle = {
        {"HTTP/1.1 200 OK\r\nContent-Length: 60\r\n\r\n", false, 1000}};
    for (int i = 0; i < 60; ++i) trickle.push_back({"x", false, 1000});
    {
        ScriptedHttpServer server(trickle);
        EXPECT_EQ(FetchListPage(Q(server.Url("/firmware/list.asp"))), std::nullopt);
    }
    // A download that stops sending and never ends.
    ScriptedHttpServer stalled(
        {{"HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + std::string(1000, 's'), true}});
    EXPECT_FALSE(DownloadToFile(Q(stalled.Url("/Norvale.zip")), scratch_.QPath("a")));
    stalled.Release();
    SetTransferLimits({});
}

TEST_F(UpdateClientTest, BodyInUnevenPiecesIsReassembledExactly) {
    const std::string body = test::PatternBytes(100000, 3);
    ScriptedHttpServer server(ScriptedHttpServer::ChunkedAnswer(
        body, {1, 7, 16385, 3, 40000, 999}, {5, 100, 1, 20000, 16384, 3, 7777}));
    ASSERT_TRUE(DownloadToFile(Q(server.Url("/a.zip")), scratch_.QPath("a.zip")));
    EXPECT_TRUE(ReadFile(scratch_ / "a.zip") == body);
}

TEST_F(UpdateClientTest, CancelBetweenPiecesReturnsFalseAndLeavesThePartialFile) {
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n";
    const std::string first = test::PatternBytes(20000, 5);
    ScriptedHttpServer server({{head + first, true}, {std::string(80000, 'z')}});
    std::atomic<int> result{-1};
    std::thread worker(
        [&] { result = DownloadToFile(Q(server.Url("/a.zip")), scratch_.QPath("a.zip")) ? 1 : 0; });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (ReadFile(scratch_ / "a.zip").size() < first.size() &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    SetUpdateState(UpdateState::Aborted);
    worker.join();  // ends while the server still holds the rest back
    server.Release();
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(ReadFile(scratch_ / "a.zip") == first);
    EXPECT_FALSE(DownloadToFile(Q(Site().HttpsUrl("/files/small.bin")), scratch_.QPath("b")))
        << "nothing starts once cancelled";
}

TEST_F(UpdateClientTest, FailedWriteEndsTheDownloadAsFailure) {
    Site().Serve("files/small.bin", "small");
    test::MakeFolder(scratch_ / "folder");
    EXPECT_FALSE(DownloadToFile(Q(Site().HttpsUrl("/files/small.bin")), scratch_.QPath("folder")));
    test::WriteFile(scratch_ / "target", "mine");
    ASSERT_EQ(::symlink((scratch_ / "target").c_str(), (scratch_ / "link").c_str()), 0);
    EXPECT_FALSE(DownloadToFile(Q(Site().HttpsUrl("/files/small.bin")), scratch_.QPath("link")));
    EXPECT_EQ(ReadFile(scratch_ / "target"), "mine") << "a planted symlink is never followed";
}

class ProxyLoginTest : public UpdateClientTest {
  protected:
    void UseProxy() {
        const std::string proxy = "http://127.0.0.1:" + std::to_string(test::TestSite::kProxyPort);
        http_ = std::make_unique<ScopedEnv>("http_proxy", proxy.c_str());
        https_ = std::make_unique<ScopedEnv>("https_proxy", proxy.c_str());
    }
    // Answers the login questions in turn; nullopt after the last.
    void Answer(std::vector<std::optional<ProxyCredentials>> answers) {
        SetProxyLoginHook([this, answers]() -> std::optional<ProxyCredentials> {
            const std::size_t turn = asked_++;
            return turn < answers.size() ? answers[turn] : std::nullopt;
        });
    }
    std::unique_ptr<ScopedEnv> http_, https_;
    std::size_t asked_ = 0;
};

TEST_F(ProxyLoginTest, LoginAfter407RepeatsTheRequestAndIsKeptForDownloads) {
    Site().Serve("pages/VER:7.html", "proxied " + Anchor("https://127.0.0.1:8443/files/small.bin"));
    Site().Serve("files/small.bin", "small");
    UseProxy();
    Answer({ProxyCredentials{"alice", "secret"}});
    const std::optional<QByteArray> page =
        FetchListPage(Q(Site().HttpsUrl("/firmware/list.asp?fw=VER:7")));
    ASSERT_TRUE(page.has_value());
    EXPECT_TRUE(page->startsWith("proxied"));
    EXPECT_EQ(asked_, 1u);
    // Through the tunnel of the https site, with the login kept.
    QString link;
    EXPECT_TRUE(FindUpgradeLink("VER:7", &link));
    ASSERT_TRUE(DownloadToFile(link, scratch_.QPath("a")));
    EXPECT_EQ(ReadFile(scratch_ / "a"), "small");
    EXPECT_EQ(asked_, 1u);
}

TEST_F(ProxyLoginTest, TunnelAskingForALoginIsAnsweredToo) {
    UseProxy();
    Answer({ProxyCredentials{"alice", "secret"}});
    EXPECT_TRUE(FetchListPage(Q(Site().HttpsUrl("/headers"))).has_value());
    EXPECT_EQ(asked_, 1u);
}

TEST_F(ProxyLoginTest, CancelledLoginGivesNoPage) {
    UseProxy();
    Answer({});
    EXPECT_EQ(FetchListPage(Q(Site().HttpsUrl("/headers"))), std::nullopt);
    EXPECT_EQ(asked_, 1u);
    SetProxyLoginHook({});
    EXPECT_EQ(FetchListPage(Q(Site().HttpsUrl("/headers"))), std::nullopt) << "no hook: no page";
}

TEST_F(ProxyLoginTest, RefusedLoginIsAskedAgainButNotForever) {
    ScriptedHttpServer proxy({{"HTTP/1.1 407 Proxy Authentication Required\r\n"
                               "Proxy-Authenticate: Basic realm=\"test\"\r\n"
                               "Content-Length: 0\r\nConnection: close\r\n\r\n"}},
                             ScriptedHttpServer::Scheme::Http);
    ScopedEnv https("https_proxy", proxy.Url("").c_str());
    Answer(std::vector<std::optional<ProxyCredentials>>(100, ProxyCredentials{"bob", "x"}));
    EXPECT_EQ(FetchListPage(Q(Site().HttpsUrl("/headers"))), std::nullopt);
    EXPECT_GE(asked_, 2u);
    EXPECT_LE(asked_, 20u);
}

}  // namespace
}  // namespace norvale::updater
