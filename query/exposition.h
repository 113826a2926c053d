// The exporter's metrics page in Prometheus's text format: the last report's series, built when its
// answer arrives, and the rest, written at each scrape.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "query/process.h"
#include "status/decode.h"

// A report is current (tallowin_up 1) for two of the service's 15-second poll intervals.
constexpr uint32_t REPORT_CURRENT_MS = 30000;

// What the page tells, kept between scrapes. The counters are of the status service: requests sent,
// answers received, and failures by what failed.
struct ExporterMetrics {
    std::string Version;
    double StartTime = 0;       // Unix time
    bool HaveReport = false;
    uint32_t ReportAt = 0;      // ms clock: when the status answer behind the last report arrived
    double ReportTime = 0;      // the same moment as Unix time
    uint64_t Ticks = 0, AnswersAtLastTick = 0;
    uint64_t Requests = 0, Answers = 0;
    uint64_t Silent = 0;        // poll ticks with no answer since the tick before
    uint64_t Undecodable = 0;   // answers the decoder turned down
    uint64_t Invalid = 0;       // datagrams that were no answer
    uint64_t Oversize = 0;      // datagrams over 4096 bytes
    uint64_t Unresolved = 0;    // lookups of the status host that failed
    std::shared_ptr<const std::string> ReportPage;  // the servers' series and the total
};

// A report decoded from a status answer that arrived at `arrivedAt` (ms clock) and `arrivedTime`
// (Unix time); the page's servers are rebuilt from it.
void NoteReport(ExporterMetrics& metrics, const DecodeResults& decode, uint32_t arrivedAt, double arrivedTime);
// A poll tick: silent when no answer has arrived since the tick before.
void NoteTick(ExporterMetrics& metrics);
bool ReportIsCurrent(const ExporterMetrics& metrics, uint32_t now);
// The report's part of the page at a scrape: null unless the report is current, so that Prometheus
// marks the series stale rather than keep the last counts of a silent service.
std::shared_ptr<const std::string> ScrapedReport(const ExporterMetrics& metrics, uint32_t now);
// The rest of the page at a scrape: tallowin_up, the report's time, the counters, the build and the process.
std::string ScrapedTail(const ExporterMetrics& metrics, uint32_t now, const ProcessFigures& process);
// A label value: Latin-1 bytes as UTF-8, with backslash, double quote and line feed escaped.
void AppendLabelValue(std::string& out, const std::string& latin1);
