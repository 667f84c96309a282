// Keyed table lookups with 8, 100, 1,000 and 10,000 entries, keys shaped like
// the control point's udns: a hit, a miss, and a put + remove of a new key.
// The cost per operation should stay flat as the table grows.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "upnp/stack/KeyedTable.h"

using namespace norvale::stack;

namespace {

std::string Udn(int n) {
    std::string key = "4d696e69-444c-164e-9d41-";
    std::string tail = std::to_string(100000000000 + n);
    return key + tail;
}

struct Filled {
    KeyedTable<> table;
    std::vector<std::string> keys;
    explicit Filled(int count) {
        for (int n = 0; n < count; ++n) {
            keys.push_back(Udn(n));
            table.Put(keys.back().data(), keys.back().size(), &table);
        }
    }
};

void BM_KeyedTableHit(benchmark::State& state) {
    Filled filled(static_cast<int>(state.range(0)));
    std::size_t i = 0;
    for (auto _ : state) {
        const std::string& key = filled.keys[i++ % filled.keys.size()];
        benchmark::DoNotOptimize(filled.table.Get(key.data(), key.size()));
    }
}

void BM_KeyedTableMiss(benchmark::State& state) {
    Filled filled(static_cast<int>(state.range(0)));
    const std::string key = Udn(-1);
    for (auto _ : state) benchmark::DoNotOptimize(filled.table.Get(key.data(), key.size()));
}

void BM_KeyedTablePutRemove(benchmark::State& state) {
    Filled filled(static_cast<int>(state.range(0)));
    const std::string key = Udn(-2);
    for (auto _ : state) {
        filled.table.Put(key.data(), key.size(), nullptr);
        filled.table.Remove(key.data(), key.size());
    }
}

}  // namespace

BENCHMARK(BM_KeyedTableHit)->Arg(8)->Arg(100)->Arg(1000)->Arg(10000);
BENCHMARK(BM_KeyedTableMiss)->Arg(8)->Arg(100)->Arg(1000)->Arg(10000);
BENCHMARK(BM_KeyedTablePutRemove)->Arg(8)->Arg(100)->Arg(1000)->Arg(10000);
BENCHMARK_MAIN();
