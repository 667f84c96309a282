#pragma once

#include <filesystem>

namespace norvale::zip::bench {

// Returns the benchmark archive: $NORVALE_ZIP_BENCH_ARCHIVE when set, else
// /tmp/norvale-zip-bench/bench.zip, generated on first use (about 200 MB of
// text, random and structured binary files, deflated by zip -r).
std::filesystem::path BenchArchive();

}  // namespace norvale::zip::bench
