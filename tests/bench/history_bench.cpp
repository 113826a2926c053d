// Benchmarks of the history: a report of 127 servers, saving and loading a full week of 64 servers
// with the file, and a change of the clock on the poll tick (goals: 20 ms each, at most 2 MB in
// memory while the clock is right).
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
History FullWeek64();

void BM_FullWeek64(benchmark::State& state) {
    History week = FullWeek64();
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

History FullWeek64() {
    History week;
    for (uint32_t m = NOW - HISTORY_MINUTES + 1; m <= NOW; ++m) AddReport(week, m, Servers(64, m));
    return week;
}

// The clock set 3 days ahead on the tick (arg 0), and back home (1), from a full week.
void BM_MoveClock64(benchmark::State& state) {
    History before = FullWeek64();
    if (state.range(0) == 1) {
        MoveHistoryClock(before, NOW + 3 * 1440, 3 * 1440);
        AddReport(before, NOW + 3 * 1440, Servers(64, NOW));
    }
    History history;
    for (auto _ : state) {
        state.PauseTiming();
        history = before;
        state.ResumeTiming();
        if (state.range(0) == 0) MoveHistoryClock(history, NOW + 3 * 1440, 3 * 1440);
        else MoveHistoryClock(history, NOW + 1, 0);
    }
}

// Loads at start: with the clock 3 days ahead of the file (arg 0), or with a full week set aside in
// history.old by a clock 8 days ahead, read with the clock still ahead (1) and set right (2).
void BM_LoadWrongClock64(benchmark::State& state) {
    History history = FullWeek64();
    std::vector<unsigned char> bytes, aside;
    uint32_t at = NOW + 3 * 1440;
    if (state.range(0) > 0) {
        MoveHistoryClock(history, NOW + 8 * 1440, 8 * 1440);
        AddReport(history, NOW + 8 * 1440, Servers(64, NOW));
        SaveAside(history, aside);
        at = state.range(0) == 1 ? NOW + 8 * 1440 + 1 : NOW + 2;
    }
    SaveHistory(history, bytes);
    for (auto _ : state)
        if (LoadHistory(history, bytes.data(), bytes.size(), at, aside.data(), aside.size()) != HistoryLoad::Loaded)
            state.SkipWithError("the file did not load");
}
}  // namespace

BENCHMARK(BM_AddReport127);
BENCHMARK(BM_FullWeek64)->ArgName("load")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MoveClock64)->ArgName("home")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadWrongClock64)->ArgName("aside")->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
