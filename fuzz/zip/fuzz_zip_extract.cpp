// Feeds arbitrary bytes to ExtractArchive as an archive file. Everything is
// written into a scratch folder made in the working directory; after each
// run that folder must hold nothing but the input file and the destination.

#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "zip/ExtractArchive.h"

namespace fs = std::filesystem;

namespace {

const fs::path& Scratch() {
    static const fs::path scratch = [] {
        std::string pattern = (fs::current_path() / "zip-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        std::atexit([] {
            std::error_code ec;
            fs::remove_all(Scratch(), ec);
        });
        return fs::path(pattern);
    }();
    return scratch;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path& scratch = Scratch();
    const fs::path input = scratch / "input.zip";
    const fs::path output = scratch / "out";
    {
        std::ofstream file(input, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    norvale::zip::ExtractArchive(input, output);
    for (const auto& entry : fs::directory_iterator(scratch)) {
        if (entry.path() != input && entry.path() != output) {
            std::fprintf(stderr, "written outside the destination: %s\n", entry.path().c_str());
            std::abort();
        }
    }
    std::error_code ec;
    fs::permissions(output, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(output, ec);
    return 0;
}
