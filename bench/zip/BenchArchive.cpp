#include "bench/zip/BenchArchive.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace norvale::zip::bench {
namespace {

namespace fs = std::filesystem;

struct Random {
    std::uint64_t state;
    std::uint64_t Next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    }
};

std::string Text(Random& r, std::size_t size, const std::vector<std::string>& words) {
    std::string out;
    out.reserve(size + 64);
    std::size_t column = 0;
    while (out.size() < size) {
        const std::string& w = words[r.Next() % words.size()];
        out += w;
        column += w.size() + 1;
        out += column > 70 ? '\n' : ' ';
        if (column > 70) column = 0;
    }
    out.resize(size);
    return out;
}

std::string RandomBytes(Random& r, std::size_t size) {
    std::string out(size, '\0');
    for (std::size_t i = 0; i + 8 <= size; i += 8) {
        std::uint64_t v = r.Next();
        for (int k = 0; k < 8; ++k) out[i + k] = static_cast<char>(v >> (8 * k));
    }
    return out;
}

// Records of slowly changing integers with noise, like tables in a program.
std::string Structured(Random& r, std::size_t size) {
    std::string out(size, '\0');
    std::uint32_t value = 0;
    for (std::size_t i = 0; i + 4 <= size; i += 4) {
        value += static_cast<std::uint32_t>(r.Next() % 7);
        std::uint32_t v = (i % 16 == 12) ? static_cast<std::uint32_t>(r.Next()) : value;
        for (int k = 0; k < 4; ++k) out[i + k] = static_cast<char>(v >> (8 * k));
    }
    return out;
}

void Generate(const fs::path& source) {
    Random r{0x9E3779B97F4A7C15ull};
    std::vector<std::string> words;
    for (int i = 0; i < 3000; ++i) {
        std::string w;
        for (std::uint64_t n = 2 + r.Next() % 9; n > 0; --n)
            w += static_cast<char>('a' + r.Next() % 26);
        words.push_back(w);
    }
    std::size_t total = 0;
    for (int i = 0; total < 200u * 1000 * 1000; ++i) {
        std::size_t size = 1000 + r.Next() % (i % 10 == 0 ? 8000000 : 400000);
        std::string data, name;
        switch (i % 5) {
            case 0:
            case 1:
                data = Text(r, size, words), name = "doc/text";
                break;
            case 2:
                data = RandomBytes(r, size), name = "media/blob";
                break;
            default:
                data = Structured(r, size), name = "lib/table";
                break;
        }
        fs::path file = source / (name + std::to_string(i % 7)) /
                        (std::string("f") + std::to_string(i) + ".dat");
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << data;
        total += size;
    }
}

}  // namespace

fs::path BenchArchive() {
    if (const char* given = std::getenv("NORVALE_ZIP_BENCH_ARCHIVE")) return given;
    const fs::path folder = "/tmp/norvale-zip-bench";
    const fs::path archive = folder / "bench.zip";
    if (fs::exists(archive)) return archive;
    std::fprintf(stderr, "generating %s ...\n", archive.c_str());
    fs::remove_all(folder / "src");
    Generate(folder / "src");
    std::string command =
        std::string("cd ") + (folder / "src").string() + " && zip -q -r ../bench.zip .";
    if (std::system(command.c_str()) != 0) std::abort();
    fs::remove_all(folder / "src");
    return archive;
}

}  // namespace norvale::zip::bench
