// The exporter's metrics page in Prometheus's text format, rebuilt once a poll tick from the last report.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "status/poll.h"

// What the page tells, kept between ticks. The counters are of the status service: requests sent,
// answers received, and failures by reason.
struct ExporterMetrics {
    std::vector<ServerEntry> Servers;  // the last report's, kept while the service is silent
    int32_t TotalPlayers = 0;
    bool HaveReport = false;
    bool Fresh = false;                // the last tick gave a report within the staleness limit
    uint32_t ReportAt = 0;             // ms clock of the last new report, or of the start before one
    uint32_t ObservedAnswers = 0;      // StatusClient::ObservedAnswers behind the last report
    uint64_t Ticks = 0;
    uint64_t Requests = 0, Answers = 0;
    uint64_t Silent = 0;               // ticks after which no answer had arrived since the one before
    uint64_t Undecodable = 0;          // ticks whose answers the decoder turned down
    uint64_t Invalid = 0;              // datagrams that were no answer
    uint64_t AnswersAtLastTick = 0;
    std::shared_ptr<const std::string> Page;  // everything but the report's age
};

void StartMetrics(ExporterMetrics& metrics, uint32_t now);
// The Render step of a tick: takes the report when the tick gave one, counts a failure when it did
// not, and builds the page anew.
void NoteTick(ExporterMetrics& metrics, const StatusClient& client, const char* text, bool report, uint32_t now);
// The part computed per scrape: the age of the last report.
std::string MetricsAgeText(const ExporterMetrics& metrics, uint32_t now);
// A label value: Latin-1 bytes as UTF-8, with backslash, double quote and line feed escaped.
void AppendLabelValue(std::string& out, const std::string& latin1);
