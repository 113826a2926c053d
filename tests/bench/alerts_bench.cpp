// Cost of the alert rule per report: 64 watched servers of 200, steady and changing.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "status/alerts.h"

namespace {
void RunReports(benchmark::State& state, bool changing) {
    Settings settings;
    SetDefaultSettings(settings);
    std::vector<ServerEntry> up, down;
    for (int i = 0; i < 200; ++i) {
        const std::string name = "Server " + std::to_string(1000 + i);
        up.push_back({name, 100 + i, 30});
        down.push_back({name, i % 3 == 0 ? -1 : 100 + i, 30});
        if (i % 3 == 0 && settings.WatchedServers.size() < WATCHED_SERVERS_MAX) settings.WatchedServers.push_back(name);
    }
    settings.PrimaryServer = settings.WatchedServers.back();
    settings.WatchedServers.pop_back();
    AlertState alerts;
    AlertNotice notice;
    uint32_t now = 0, reports = 0;
    for (auto _ : state) {
        const bool flip = changing && (reports++ / 2) % 2 == 1;
        ObserveReport(alerts, settings, flip ? down : up, now += 15000);
        if (DueNotice(alerts, settings, now, AlertWay::Balloon, notice)) MarkNoticeTold(alerts, notice, "21:05");
        benchmark::DoNotOptimize(notice);
    }
}

void BM_AlertsSteady(benchmark::State& state) { RunReports(state, false); }
void BM_AlertsChanging(benchmark::State& state) { RunReports(state, true); }
}  // namespace

BENCHMARK(BM_AlertsSteady);
BENCHMARK(BM_AlertsChanging);
BENCHMARK_MAIN();
