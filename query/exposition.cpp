// The exporter's metrics page in Prometheus's text format: the last report's series, built when its
// answer arrives, and the rest, written at each scrape.
#include "query/exposition.h"

#include <cinttypes>
#include <cstdio>
#include <vector>

#include "query/text.h"

namespace {
const char* const POLLED = " From a poll of the status service every 15 seconds.";

void Family(std::string& out, const char* name, const char* type, const char* help, bool polled = true) {
    out.append("# HELP ").append(name).append(" ").append(help).append(polled ? POLLED : "").append("\n# TYPE ");
    out.append(name).append(" ").append(type).append("\n");
}

// One sample; labels is empty or a whole {…} block.
void Sample(std::string& out, const char* name, const std::string& labels, double value) {
    char number[32];
    std::snprintf(number, sizeof number, " %.15g\n", value);
    out.append(name).append(labels).append(number);
}

// The servers to show: a name given twice (only hostile answers do that) is shown once, as first
// listed, since two series of the same name make Prometheus refuse the sample; an empty name is left
// out, since an empty label value is no label, which would make it another series altogether.
std::vector<const ServerEntry*> ShownServers(const std::vector<ServerEntry>& servers) {
    std::vector<const ServerEntry*> shown;
    for (const ServerEntry& entry : servers) {
        bool seen = entry.Name.empty();
        for (const ServerEntry* earlier : shown) seen = seen || earlier->Name == entry.Name;
        if (!seen) shown.push_back(&entry);
    }
    return shown;
}

std::shared_ptr<const std::string> BuildReportPage(const DecodeResults& decode) {
    const std::vector<const ServerEntry*> shown = ShownServers(decode.ServerList);
    std::vector<std::string> labels;
    for (const ServerEntry* entry : shown) {
        std::string label = "{server=\"";
        AppendLabelValue(label, entry->Name);
        labels.push_back(label + "\"}");
    }
    auto page = std::make_shared<std::string>();
    std::string& out = *page;
    out.reserve(512 + 160 * shown.size());
    Family(out, "tallowin_server_players", "gauge", "Players on the server; 0 while it is DOWN.");
    for (size_t i = 0; i < shown.size(); ++i)
        Sample(out, "tallowin_server_players", labels[i], shown[i]->Players < 0 ? 0 : shown[i]->Players);
    Family(out, "tallowin_server_up", "gauge", "1 when the server has a player count, 0 when it is DOWN.");
    for (size_t i = 0; i < shown.size(); ++i) Sample(out, "tallowin_server_up", labels[i], shown[i]->Players < 0 ? 0 : 1);
    // The first group's servers have no zone count (Zones -1).
    bool anyZones = false;
    for (const ServerEntry* entry : shown) anyZones = anyZones || entry->Zones >= 0;
    if (anyZones) {
        Family(out, "tallowin_server_zones", "gauge", "Zones the server reports, where the service gives them.");
        for (size_t i = 0; i < shown.size(); ++i)
            if (shown[i]->Zones >= 0) Sample(out, "tallowin_server_zones", labels[i], shown[i]->Zones);
    }
    Family(out, "tallowin_players", "gauge", "Players on all servers.");
    Sample(out, "tallowin_players", "", decode.TotalPlayers);
    return page;
}

void Counter(std::string& out, const char* name, const char* help, uint64_t value) {
    Family(out, name, "counter", help, false);
    Sample(out, name, "", static_cast<double>(value));
}

// A process_ gauge, left out where the system does not give it.
void ProcessGauge(std::string& out, const char* name, const char* type, const char* help, double value) {
    if (value < 0) return;
    Family(out, name, type, help, false);
    Sample(out, name, "", value);
}
}  // namespace

void AppendLabelValue(std::string& out, const std::string& latin1) {
    for (const char byte : latin1) {
        if (byte == '\\') out += "\\\\";
        else if (byte == '"') out += "\\\"";
        else if (byte == '\n') out += "\\n";
        else AppendUtf8(out, static_cast<unsigned char>(byte));
    }
}

void NoteReport(ExporterMetrics& m, const DecodeResults& decode, uint32_t arrivedAt, double arrivedTime) {
    m.HaveReport = true;
    m.ReportAt = arrivedAt;
    m.ReportTime = arrivedTime;
    m.ReportPage = BuildReportPage(decode);
}

void NoteTick(ExporterMetrics& m) {
    if (m.Ticks++ > 0 && m.Answers == m.AnswersAtLastTick) ++m.Silent;
    m.AnswersAtLastTick = m.Answers;
}

bool ReportIsCurrent(const ExporterMetrics& m, uint32_t now) {
    return m.HaveReport && now - m.ReportAt < REPORT_CURRENT_MS;
}

std::shared_ptr<const std::string> ScrapedReport(const ExporterMetrics& m, uint32_t now) {
    return ReportIsCurrent(m, now) ? m.ReportPage : nullptr;
}

std::string ScrapedTail(const ExporterMetrics& m, uint32_t now, const ProcessFigures& process) {
    std::string out;
    out.reserve(3072);
    Family(out, "tallowin_up", "gauge",
           "1 while the last status answer that decoded is less than 30 seconds old (two polls), else 0; while "
           "it is 0 the servers' series are left out.");
    Sample(out, "tallowin_up", "", ReportIsCurrent(m, now) ? 1 : 0);
    if (m.HaveReport) {
        Family(out, "tallowin_last_report_timestamp_seconds", "gauge",
               "Unix time when the status answer behind the servers' series arrived.");
        Sample(out, "tallowin_last_report_timestamp_seconds", "", m.ReportTime);
    }
    Counter(out, "tallowin_status_requests_total", "Requests sent to the status service (UDP), not HTTP requests.",
            m.Requests);
    Counter(out, "tallowin_status_answers_total", "Answers received from the status service.", m.Answers);
    Family(out, "tallowin_status_failures_total", "counter",
           "Failures in talking to the status service: polls with no answer since the poll before (silent), "
           "answers the decoder turned down (undecodable), datagrams that were no answer (invalid) or over 4096 "
           "bytes (oversize), and lookups of the host that failed (unresolved).",
           false);
    const std::pair<const char*, uint64_t> failures[] = {{"silent", m.Silent}, {"undecodable", m.Undecodable},
                                                         {"invalid", m.Invalid}, {"oversize", m.Oversize},
                                                         {"unresolved", m.Unresolved}};
    for (const auto& [reason, count] : failures)
        Sample(out, "tallowin_status_failures_total", std::string("{reason=\"") + reason + "\"}", static_cast<double>(count));
    Family(out, "tallowin_build_info", "gauge", "Always 1; the exporter's version in its label.", false);
    std::string version = "{version=\"";
    AppendLabelValue(version, m.Version);
    Sample(out, "tallowin_build_info", version + "\"}", 1);
    ProcessGauge(out, "process_start_time_seconds", "gauge", "Start time of the process since unix epoch in seconds.",
                 m.StartTime);
    ProcessGauge(out, "process_cpu_seconds_total", "counter", "Total user and system CPU time spent in seconds.",
                 process.CpuSeconds);
    ProcessGauge(out, "process_resident_memory_bytes", "gauge", "Resident memory size in bytes.", process.ResidentBytes);
    ProcessGauge(out, "process_open_fds", "gauge", "Number of open file descriptors.", process.OpenDescriptors);
    ProcessGauge(out, "process_max_fds", "gauge", "Maximum number of open file descriptors.", process.MaxDescriptors);
    ProcessGauge(out, "process_handles", "gauge", "Number of handles the process holds.", process.Handles);
    return out;
}
