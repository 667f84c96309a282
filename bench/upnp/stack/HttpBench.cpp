// 1,000 GETs of an 8 KB document from a private nginx: through one
// ILibWebClient, and with libcurl's multi interface limited the same way
// (one connection to the host, kept alive, no pipelining). Run inside the
// loopback-only namespace: /work/shared/tools/netns-run build/bench/bench_http
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <memory>
#include <string>

#include "tests/upnp/stack/HttpTestSupport.h"
#include "upnp/stack/EventChain.h"
#include "upnp/stack/WebClient.h"

using namespace norvale::stack;
using namespace norvale::stack::testing;

namespace {

constexpr const char* kHost = "127.0.0.23";
constexpr int kRequests = 1000;
constexpr std::size_t kDocumentSize = 8192;

Nginx& Server() {
    static Nginx nginx(kHost, {{"doc.txt", std::string(kDocumentSize, 'n')}});
    return nginx;
}

struct Progress {
    EventChain* chain;
    int finished = 0;
    int good = 0;
    std::size_t bytes = 0;
};

void OnResponse(ConnectionRecord*, int, Packet* packet, char*, int* consumed, int length, int done,
                void* user1, void*, int*) {
    auto* progress = static_cast<Progress*>(user1);
    *consumed = length;
    progress->bytes += static_cast<std::size_t>(length);
    if (done != -1) return;
    if (packet != nullptr && packet->statusCode == 200) ++progress->good;
    if (++progress->finished == kRequests) EventChain_RequestStop(progress->chain);
}

void BM_WebClient_1000Gets(benchmark::State& state) {
    const int port = Server().port();
    static std::string header;
    header = std::string("GET /doc.txt HTTP/1.1\r\nHost: ") + kHost + ":" + std::to_string(port) +
             "\r\n\r\n";
    const sockaddr_in server = Endpoint(kHost, port);
    for (auto _ : state) {
        EventChain* chain = EventChain_Create();
        ILibWebClient* client = WebClient_Create(5, chain);
        Progress progress{chain};
        for (int i = 0; i < kRequests; ++i) {
            WebClient_Request(client, &server, header.data(), static_cast<int>(header.size()),
                              kBufferStatic, nullptr, 0, kBufferStatic, &OnResponse, nullptr,
                              &progress, nullptr);
        }
        EventChain_Run(chain);
        if (progress.good != kRequests || progress.bytes != kRequests * kDocumentSize)
            state.SkipWithError("not every GET succeeded");
    }
    state.SetItemsProcessed(state.iterations() * kRequests);
}

std::size_t Discard(char*, std::size_t size, std::size_t count, void* user) {
    *static_cast<std::size_t*>(user) += size * count;
    return size * count;
}

// Reads every finished-transfer message waiting on `multi`; the result is
// how many of them ended without error and with status 200.
int TakeGoodTransfers(CURLM* multi) {
    int good = 0, queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
        long status = 0;
        curl_easy_getinfo(message->easy_handle, CURLINFO_RESPONSE_CODE, &status);
        if (message->msg == CURLMSG_DONE && message->data.result == CURLE_OK && status == 200)
            ++good;
    }
    return good;
}

// All 1,000 transfers added at once: libcurl queues them behind the one
// allowed connection.
void BM_Curl_1000Gets(benchmark::State& state) {
    const std::string url =
        std::string("http://") + kHost + ":" + std::to_string(Server().port()) + "/doc.txt";
    for (auto _ : state) {
        CURLM* multi = curl_multi_init();
        curl_multi_setopt(multi, CURLMOPT_MAX_HOST_CONNECTIONS, 1L);
        curl_multi_setopt(multi, CURLMOPT_MAX_TOTAL_CONNECTIONS, 1L);
        curl_multi_setopt(multi, CURLMOPT_PIPELINING, CURLPIPE_NOTHING);
        std::size_t bytes = 0;
        std::vector<CURL*> handles;
        for (int i = 0; i < kRequests; ++i) {
            CURL* easy = curl_easy_init();
            curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
            curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Discard);
            curl_easy_setopt(easy, CURLOPT_WRITEDATA, &bytes);
            curl_multi_add_handle(multi, easy);
            handles.push_back(easy);
        }
        int running = 1, good = 0;
        while (running > 0) {
            curl_multi_perform(multi, &running);
            good += TakeGoodTransfers(multi);
            if (running > 0) curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
        }
        for (CURL* easy : handles) {
            curl_multi_remove_handle(multi, easy);
            curl_easy_cleanup(easy);
        }
        curl_multi_cleanup(multi);
        if (good != kRequests || bytes != kRequests * kDocumentSize)
            state.SkipWithError("not every GET succeeded");
    }
    state.SetItemsProcessed(state.iterations() * kRequests);
}

// The same transfers one after another on one multi handle (the next is
// added when the last is done): libcurl's best case on one connection.
void BM_CurlSequential_1000Gets(benchmark::State& state) {
    const std::string url =
        std::string("http://") + kHost + ":" + std::to_string(Server().port()) + "/doc.txt";
    for (auto _ : state) {
        CURLM* multi = curl_multi_init();
        curl_multi_setopt(multi, CURLMOPT_MAX_HOST_CONNECTIONS, 1L);
        curl_multi_setopt(multi, CURLMOPT_MAX_TOTAL_CONNECTIONS, 1L);
        CURL* easy = curl_easy_init();
        std::size_t bytes = 0;
        curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Discard);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, &bytes);
        int good = 0;
        for (int i = 0; i < kRequests; ++i) {
            curl_multi_add_handle(multi, easy);
            int running = 1;
            while (running > 0) {
                curl_multi_perform(multi, &running);
                if (running > 0) curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
            }
            good += TakeGoodTransfers(multi);
            curl_multi_remove_handle(multi, easy);
        }
        curl_easy_cleanup(easy);
        curl_multi_cleanup(multi);
        if (good != kRequests || bytes != kRequests * kDocumentSize)
            state.SkipWithError("not every GET succeeded");
    }
    state.SetItemsProcessed(state.iterations() * kRequests);
}

BENCHMARK(BM_WebClient_1000Gets)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_Curl_1000Gets)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_CurlSequential_1000Gets)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    benchmark::Initialize(&argc, argv);
    if (!Server().running()) {
        std::fprintf(stderr, "bench_http: nginx did not start (run inside netns-run)\n");
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    curl_global_cleanup();
    return 0;
}
