// Benchmarks of DecodeStatus: the worked example and the largest answer the service can send.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "status/decode.h"
#include "status/protocol.h"
#include "tests/unit/answers.h"

namespace {
void RunDecode(benchmark::State& state, const Bytes& namesAnswer, const Bytes& statusAnswer) {
    DecodeResults results;
    static unsigned char names[NAMES_BUFFER_SIZE];
    static unsigned char status[STATUS_BUFFER_SIZE];
    static char report[REPORT_TEXT_SIZE];
    std::memcpy(names, namesAnswer.data(), namesAnswer.size());
    std::memcpy(status, statusAnswer.data(), statusAnswer.size());
    const std::string primary = "Beta";
    for (auto _ : state) {
        DecodeStatus(results, primary, report, names, static_cast<uint32_t>(namesAnswer.size()), status,
                     static_cast<uint32_t>(statusAnswer.size()));
        benchmark::DoNotOptimize(report);
        benchmark::ClobberMemory();
    }
}

void BM_DecodeWorkedExample(benchmark::State& state) { RunDecode(state, WorkedNames(), WorkedStatus()); }
void BM_DecodeLargestAnswer(benchmark::State& state) { RunDecode(state, LargestNames(), LargestStatus()); }
}  // namespace

BENCHMARK(BM_DecodeWorkedExample);
BENCHMARK(BM_DecodeLargestAnswer);
BENCHMARK_MAIN();
