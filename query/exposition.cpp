// The exporter's metrics page in Prometheus's text format, rebuilt once a poll tick from the last report.
#include "query/exposition.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace {
void Family(std::string& out, const char* name, const char* type, const char* help) {
    out.append("# HELP ").append(name).append(" ").append(help).append("\n# TYPE ");
    out.append(name).append(" ").append(type).append("\n");
}

// One sample; labels is empty or a whole {…} block.
void Sample(std::string& out, const char* name, const std::string& labels, int64_t value) {
    char number[24];
    std::snprintf(number, sizeof number, " %" PRId64 "\n", value);
    out.append(name).append(labels).append(number);
}

// The servers to show: a name given twice (only hostile answers do that) is shown once, as first
// listed, since two series of the same name make Prometheus refuse the sample.
std::vector<const ServerEntry*> DistinctServers(const std::vector<ServerEntry>& servers) {
    std::vector<const ServerEntry*> shown;
    for (const ServerEntry& entry : servers) {
        bool seen = false;
        for (const ServerEntry* earlier : shown) seen = seen || earlier->Name == entry.Name;
        if (!seen) shown.push_back(&entry);
    }
    return shown;
}

void AppendServers(std::string& out, const std::vector<ServerEntry>& servers) {
    const std::vector<const ServerEntry*> shown = DistinctServers(servers);
    std::vector<std::string> labels;
    for (const ServerEntry* entry : shown) {
        std::string label = "{server=\"";
        AppendLabelValue(label, entry->Name);
        labels.push_back(label + "\"}");
    }
    Family(out, "tallowin_server_players", "gauge", "Players on the server; 0 while it is DOWN.");
    for (size_t i = 0; i < shown.size(); ++i)
        Sample(out, "tallowin_server_players", labels[i], shown[i]->Players < 0 ? 0 : shown[i]->Players);
    Family(out, "tallowin_server_up", "gauge", "1 when the server has a player count, 0 when it is DOWN.");
    for (size_t i = 0; i < shown.size(); ++i)
        Sample(out, "tallowin_server_up", labels[i], shown[i]->Players < 0 ? 0 : 1);
    // The first group's servers have no zone count (Zones -1).
    bool anyZones = false;
    for (const ServerEntry* entry : shown) anyZones = anyZones || entry->Zones >= 0;
    if (!anyZones) return;
    Family(out, "tallowin_server_zones", "gauge", "Zones the server reports, where the service gives them.");
    for (size_t i = 0; i < shown.size(); ++i)
        if (shown[i]->Zones >= 0) Sample(out, "tallowin_server_zones", labels[i], shown[i]->Zones);
}

bool IsWaitingText(const char* text) {
    return std::strcmp(text, WAITING_FOR_NAMES_TEXT) == 0 || std::strcmp(text, WAITING_FOR_STATUS_TEXT) == 0;
}

std::shared_ptr<const std::string> BuildPage(const ExporterMetrics& m) {
    auto page = std::make_shared<std::string>();
    std::string& out = *page;
    out.reserve(256 + 160 * m.Servers.size());
    if (m.HaveReport) {
        AppendServers(out, m.Servers);
        Family(out, "tallowin_players", "gauge", "Players on all servers in the last report.");
        Sample(out, "tallowin_players", "", m.TotalPlayers);
    }
    Family(out, "tallowin_report_fresh", "gauge",
           "1 when the last poll gave a report, 0 while the service is silent or its answers do not decode.");
    Sample(out, "tallowin_report_fresh", "", m.Fresh ? 1 : 0);
    Family(out, "tallowin_requests_total", "counter", "Requests sent to the status service.");
    Sample(out, "tallowin_requests_total", "", static_cast<int64_t>(m.Requests));
    Family(out, "tallowin_answers_total", "counter", "Answers received from the status service.");
    Sample(out, "tallowin_answers_total", "", static_cast<int64_t>(m.Answers));
    Family(out, "tallowin_failures_total", "counter",
           "Polls without a report: no answer since the poll before (silent), answers the decoder turned "
           "down (undecodable); and datagrams that were no answer (invalid).");
    Sample(out, "tallowin_failures_total", "{reason=\"silent\"}", static_cast<int64_t>(m.Silent));
    Sample(out, "tallowin_failures_total", "{reason=\"undecodable\"}", static_cast<int64_t>(m.Undecodable));
    Sample(out, "tallowin_failures_total", "{reason=\"invalid\"}", static_cast<int64_t>(m.Invalid));
    return page;
}
}  // namespace

void AppendLabelValue(std::string& out, const std::string& latin1) {
    for (const char byte : latin1) {
        const unsigned char c = static_cast<unsigned char>(byte);
        if (c == '\\') out += "\\\\";
        else if (c == '"') out += "\\\"";
        else if (c == '\n') out += "\\n";
        else if (c < 0x80) out += static_cast<char>(c);
        else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
}

void StartMetrics(ExporterMetrics& metrics, uint32_t now) {
    metrics = ExporterMetrics{};
    metrics.ReportAt = now;
    metrics.Page = BuildPage(metrics);
}

void NoteTick(ExporterMetrics& m, const StatusClient& client, const char* text, bool report, uint32_t now) {
    if (m.Ticks++ > 0 && m.Answers == m.AnswersAtLastTick) ++m.Silent;
    m.AnswersAtLastTick = m.Answers;
    m.Fresh = report;
    if (report) {
        // The decode of this tick succeeded; a failed one may have left the list half rewritten,
        // so the report is copied here and kept until the next.
        m.Servers = client.Decode.ServerList;
        m.TotalPlayers = client.Decode.TotalPlayers;
        if (!m.HaveReport || client.ObservedAnswers != m.ObservedAnswers) m.ReportAt = now;
        m.HaveReport = true;
        m.ObservedAnswers = client.ObservedAnswers;
    } else if (!IsWaitingText(text)) {
        ++m.Undecodable;
    }
    m.Page = BuildPage(m);
}

std::string MetricsAgeText(const ExporterMetrics& metrics, uint32_t now) {
    char text[200];
    std::snprintf(text, sizeof text,
                  "# HELP tallowin_report_age_seconds Seconds since the last report (since the start before "
                  "the first).\n# TYPE tallowin_report_age_seconds gauge\ntallowin_report_age_seconds %.3f\n",
                  (now - metrics.ReportAt) / 1000.0);
    return text;
}
