// Benchmarks of the history: a report of 127 servers, and saving and loading a full week of 64
// servers with the file (goals: 20 ms each, at most 2 MB in memory).
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

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

const History& FullWeek() {
    static History history;
    if (history.Servers.empty())
        for (uint32_t m = NOW - HISTORY_MINUTES + 1; m <= NOW; ++m) AddReport(history, m, Servers(64, m));
    return history;
}

void BM_AddReport127(benchmark::State& state) {
    History history;
    const std::vector<ServerEntry> servers = Servers(127, 0);
    uint32_t minute = NOW;
    for (auto _ : state) AddReport(history, minute++ / 4, servers);  // four reports a minute
}

bool WriteAndSync(const std::vector<unsigned char>& bytes) {
    const int fd = open(FILE_NAME, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const bool written = fd >= 0 && write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) &&
                         fsync(fd) == 0;
    if (fd >= 0) close(fd);
    return written;
}

void BM_SaveFullWeek64(benchmark::State& state) {
    size_t fileBytes = 0;
    for (auto _ : state) {
        std::vector<unsigned char> bytes;
        SaveHistory(FullWeek(), bytes);
        if (!WriteAndSync(bytes)) state.SkipWithError("cannot write the file");
        fileBytes = bytes.size();
    }
    state.counters["file_bytes"] = static_cast<double>(fileBytes);
    unlink(FILE_NAME);
}

void BM_LoadFullWeek64(benchmark::State& state) {
    std::vector<unsigned char> bytes;
    SaveHistory(FullWeek(), bytes);
    WriteAndSync(bytes);
    History history;
    for (auto _ : state) {
        const int fd = open(FILE_NAME, O_RDONLY);
        struct stat info {};
        std::vector<unsigned char> file(fd >= 0 && fstat(fd, &info) == 0 ? static_cast<size_t>(info.st_size) : 0);
        const bool read = fd >= 0 && ::read(fd, file.data(), file.size()) == static_cast<ssize_t>(file.size());
        if (fd >= 0) close(fd);
        if (!read || !LoadHistory(history, file.data(), file.size(), NOW))
            state.SkipWithError("cannot load the file");
    }
    state.counters["memory_bytes"] = static_cast<double>(HistoryMemoryBytes(history));
    unlink(FILE_NAME);
}
}  // namespace

BENCHMARK(BM_AddReport127);
BENCHMARK(BM_SaveFullWeek64)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadFullWeek64)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
