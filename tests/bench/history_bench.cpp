// Benchmarks of the history: a report of 127 servers, and saving and loading a full week of 64
// servers with the file (goals: 20 ms each, at most 2 MB in memory).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "status/history.h"

namespace {
constexpr uint32_t NOW = 29000000;
const char* const FILE_NAME = "history_bench.tmp";

std::vector<ServerEntry> Servers(size_t count, uint32_t minute) {
    std::vector<ServerEntry> servers;
    for (size_t i = 0; i < count; ++i)
        servers.push_back({"Server " + std::to_string(i), static_cast<int32_t>((minute * 7 + i * 13) % 4000) - 1, 0});
    return servers;
}

void BM_AddReport127(benchmark::State& state) {
    History history;
    const std::vector<ServerEntry> servers = Servers(127, 0);
    uint32_t report = NOW;
    for (auto _ : state) AddReport(history, report++ / 4, servers);  // four reports a minute
}

// Saving writes and syncs the file, as the program does on its way out; loading reads it back.
void BM_FullWeek64(benchmark::State& state) {
    History week;
    for (uint32_t m = NOW - HISTORY_MINUTES + 1; m <= NOW; ++m) AddReport(week, m, Servers(64, m));
    auto save = [&] {
        std::vector<unsigned char> bytes;
        SaveHistory(week, bytes);
        std::FILE* file = std::fopen(FILE_NAME, "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fflush(file);
        fsync(fileno(file));
        std::fclose(file);
        return bytes.size();
    };
    const size_t fileSize = save();  // as the file system would tell the loads
    for (auto _ : state) {
        if (state.range(0) == 0) { save(); continue; }
        std::vector<unsigned char> bytes(fileSize);
        std::FILE* file = std::fopen(FILE_NAME, "rb");
        bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
        std::fclose(file);
        if (LoadHistory(week, bytes.data(), bytes.size(), NOW) != HistoryLoad::Loaded) state.SkipWithError("the file did not load");
    }
    state.counters["memory_bytes"] = static_cast<double>(HistoryMemoryBytes(week));
    std::remove(FILE_NAME);
}

// The clock set 3 days ahead (0) and back (1); loads 3 days ahead (2), and of history.old 8 days ahead (3) and set right (4).
void BM_WrongClock64(benchmark::State& state) {
    const int64_t what = state.range(0);
    const uint32_t ahead = what < 3 ? 3 * 1440 : 8 * 1440;
    History week, history;
    for (uint32_t m = NOW - HISTORY_MINUTES + 1; m <= NOW; ++m) AddReport(week, m, Servers(64, m));
    if (what % 2 == 1 || what == 4) MoveHistoryClock(week, NOW + ahead, static_cast<int32_t>(ahead)), AddReport(week, NOW + ahead, Servers(64, NOW));
    std::vector<unsigned char> bytes, aside;
    SaveHistory(week, bytes), SaveAside(week, aside);
    for (auto _ : state) {
        if (what > 1) LoadHistory(history, bytes.data(), bytes.size(), what == 4 ? NOW + 2 : NOW + ahead + 1, aside.data(), aside.size());
        if (what > 1) continue;
        state.PauseTiming(), history = week, state.ResumeTiming();
        MoveHistoryClock(history, what == 0 ? NOW + ahead : NOW + 1, static_cast<int32_t>(what == 0 ? ahead : 0));
    }
}
}  // namespace

BENCHMARK(BM_AddReport127);
BENCHMARK(BM_FullWeek64)->ArgName("load")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WrongClock64)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
