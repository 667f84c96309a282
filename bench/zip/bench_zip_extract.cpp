// Extraction speed on one ~200 MB deflated archive: ExtractArchive, unzip,
// bsdtar, and the practical limit, a bare raw-inflate + CRC-32 loop over the
// same entries in memory. Targets: ExtractArchive at least as fast as bsdtar
// and within 1.1x of the bare loop.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <zlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/zip/BenchArchive.h"
#include "zip/ExtractArchive.h"
#include "zip/ZipArchive.h"

namespace {

namespace fs = std::filesystem;
using norvale::zip::bench::BenchArchive;

const fs::path kOut = "/tmp/norvale-zip-bench/out";

std::int64_t UncompressedTotal() {
    norvale::zip::CZipArchive zip;
    if (!zip.Open(BenchArchive())) std::abort();
    std::int64_t total = 0;
    for (std::size_t i = 0; i < zip.GetCount(); ++i) total += zip.GetFileInfo(i).uncompressedSize;
    return total;
}

// Processor seconds used so far by this process and its finished children
// (the machine is shared, so wall time alone says little).
double CpuSeconds() {
    double seconds = 0;
    for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage u{};
        getrusage(who, &u);
        seconds +=
            u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    }
    return seconds;
}

// Runs `extract` once per iteration into a fresh, empty output folder.
template <typename Extract>
void ExtractBench(benchmark::State& state, Extract extract) {
    const fs::path archive = BenchArchive();
    const std::int64_t total = UncompressedTotal();
    double cpu = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(kOut);
        fs::create_directories(kOut);
        double start = CpuSeconds();
        state.ResumeTiming();
        if (!extract(archive)) state.SkipWithError("extraction failed");
        state.PauseTiming();
        cpu += CpuSeconds() - start;
        state.ResumeTiming();
    }
    state.SetBytesProcessed(total * state.iterations());
    state.counters["cpu_s_per_run"] = cpu / static_cast<double>(state.iterations());
    fs::remove_all(kOut);
}

bool Shell(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

void BM_ExtractArchive(benchmark::State& state) {
    ExtractBench(state, [](const fs::path& a) { return norvale::zip::ExtractArchive(a, kOut); });
}

void BM_Unzip(benchmark::State& state) {
    ExtractBench(state, [](const fs::path& a) {
        return Shell(std::string("unzip -o -q ") + a.string() + " -d " + kOut.string());
    });
}

void BM_Bsdtar(benchmark::State& state) {
    ExtractBench(state, [](const fs::path& a) {
        return Shell(std::string("cd ") + kOut.string() + " && bsdtar -xf " + a.string());
    });
}

// Raw inflate and CRC-32 of every entry from the archive held in memory.
void BM_BareInflateLoop(benchmark::State& state) {
    norvale::zip::CZipArchive zip;
    if (!zip.Open(BenchArchive())) std::abort();
    std::ifstream in(BenchArchive(), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    const auto* base = reinterpret_cast<const Bytef*>(bytes.data());
    std::vector<Bytef> out(256 * 1024);
    double start = CpuSeconds();
    for (auto _ : state) {
        for (std::size_t i = 0; i < zip.GetCount(); ++i) {
            const auto& h = zip.GetFileInfo(i);
            const Bytef* local = base + h.localHeaderOffset;
            const Bytef* data =
                local + 30 + (local[26] | local[27] << 8) + (local[28] | local[29] << 8);
            uLong crc = 0;
            if (h.method == 0) {
                crc = crc32(0, data, h.compressedSize);
            } else {
                z_stream s{};
                inflateInit2(&s, -MAX_WBITS);
                s.next_in = const_cast<Bytef*>(data);
                s.avail_in = h.compressedSize;
                int r = Z_OK;
                while (r == Z_OK) {
                    s.next_out = out.data();
                    s.avail_out = static_cast<uInt>(out.size());
                    r = inflate(&s, Z_NO_FLUSH);
                    crc = crc32(crc, out.data(), static_cast<uInt>(out.size() - s.avail_out));
                }
                inflateEnd(&s);
            }
            if (crc != h.crc32) state.SkipWithError("CRC-32 differs");
        }
    }
    state.counters["cpu_s_per_run"] =
        (CpuSeconds() - start) / static_cast<double>(state.iterations());
    state.SetBytesProcessed(UncompressedTotal() * state.iterations());
}

BENCHMARK(BM_ExtractArchive)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Unzip)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Bsdtar)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_BareInflateLoop)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
