// The query tool's core: decoding two answers, writing the report as text or JSON, and a history file's samples.
#include "query/query.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstring>
#include <ctime>

#include "query/text.h"
#include "status/order.h"
#include "status/protocol.h"

namespace {
bool IsDecoderMessage(const std::string& report) {
    for (const char* message : {BAD_STATUS_TEXT, BAD_NAMES_TEXT, COUNT_MISMATCH_TEXT, EXTRA_NAMES_TEXT})
        if (report == message) return true;
    return false;
}

// A count the service did not give (a DOWN server's players, a first-group server's zones) is null.
nlohmann::json CountJson(int32_t count) { return count < 0 ? nlohmann::json() : nlohmann::json(count); }

nlohmann::json ServersJson(const std::vector<ServerEntry>& list) {
    nlohmann::json servers = nlohmann::json::array();
    for (const ServerEntry& entry : list)
        servers.push_back({{"name", Latin1ToUtf8(entry.Name)}, {"players", CountJson(entry.Players)},
                           {"zones", CountJson(entry.Zones)}});
    return servers;
}

// The primary server's players only when the last decode listed it: a count kept from an earlier
// answer, or 0, would be a figure the service never gave.
void AddPrimary(nlohmann::json& doc, const DecodeResults& decode) {
    if (decode.PrimaryListed) doc["primary_players"] = CountJson(decode.PrimaryPlayers);
}

// The servers to show: one, or all.
std::vector<const ServerHistory*> Shown(const History& history, const ServerHistory* only) {
    if (only != nullptr) return {only};
    std::vector<const ServerHistory*> shown;
    for (const ServerHistory& server : history.Servers) shown.push_back(&server);
    return shown;
}

// Calls visit(minute, sample) for each minute of the server's 7 days that was seen, oldest first.
template <typename Visit>
void ForEachSeenMinute(const ServerHistory& server, Visit visit) {
    const uint32_t newest = NewestMinute(server);
    const uint32_t first = newest >= HISTORY_MINUTES - 1 ? newest - (HISTORY_MINUTES - 1) : 0;
    for (uint32_t minute = first;; ++minute) {
        const MinuteSample sample = SampleAt(server, minute);
        if (sample.Players != HISTORY_NONE) visit(minute, sample);
        if (minute == newest) break;
    }
}

std::string MinuteText(uint32_t minute) { return LocalTimeText(int64_t{minute} * 60); }

std::string CountField(int32_t count) { return count < 0 ? std::string() : std::to_string(count); }
}  // namespace

QueryResult DecodeAnswers(const Answer& names, const Answer& status, const std::string& primary) {
    std::vector<unsigned char> namesBuffer(NAMES_BUFFER_SIZE, 0), statusBuffer(STATUS_BUFFER_SIZE, 0);
    std::vector<char> report(REPORT_TEXT_SIZE, 0);
    const size_t namesLength = names.size() < NAMES_BUFFER_SIZE ? names.size() : NAMES_BUFFER_SIZE;
    const size_t statusLength = status.size() < STATUS_BUFFER_SIZE ? status.size() : STATUS_BUFFER_SIZE;
    std::memcpy(namesBuffer.data(), names.data(), namesLength);
    std::memcpy(statusBuffer.data(), status.data(), statusLength);
    QueryResult result;
    DecodeStatus(result.Decode, primary, report.data(), namesBuffer.data(), static_cast<uint32_t>(namesLength),
                 statusBuffer.data(), static_cast<uint32_t>(statusLength));
    result.Report = report.data();
    result.NamesRejected = namesLength > 0 && namesBuffer[0] == 0;
    result.ErrorReport = IsDecoderMessage(result.Report);
    return result;
}

std::string QueryJson(const QueryResult& result) {
    nlohmann::json doc = {{"report", TerminalReport(result)},
                          {"servers", ServersJson(result.Decode.ServerList)},
                          {"total_players", result.Decode.TotalPlayers},
                          {"names_rejected", result.NamesRejected}};
    AddPrimary(doc, result.Decode);
    return doc.dump(2);
}

bool IsAnswerOf(const Answer& answer, const unsigned char* code) {
    return answer.size() >= REQUEST_SIZE && answer.size() <= RECEIVE_SIZE &&
           std::memcmp(answer.data(), code, REQUEST_SIZE) == 0;
}

void SortResult(QueryResult& result, int32_t sortOrder) {
    std::vector<ServerEntry>& list = result.Decode.ServerList;
    std::vector<size_t> order;
    ServerDisplayOrder(list, sortOrder, order);
    std::vector<ServerEntry> sorted;
    for (size_t i : order) sorted.push_back(list[i]);
    list = std::move(sorted);
}

std::string WatchJsonLine(const QueryResult& result, const std::string& time, bool withPrimary) {
    if (result.ErrorReport) return WatchErrorJsonLine(time, result.Report);
    nlohmann::json doc = {{"time", time},
                          {"servers", ServersJson(result.Decode.ServerList)},
                          {"total_players", result.Decode.TotalPlayers}};
    if (withPrimary) AddPrimary(doc, result.Decode);
    return doc.dump();
}

std::string WatchErrorJsonLine(const std::string& time, const std::string& error) {
    return nlohmann::json{{"time", time}, {"error", Latin1ToUtf8(error)}}.dump();
}

std::string HistoryCsv(const History& history, const ServerHistory* only) {
    std::string csv = "time,server,players,peak\n";
    for (const ServerHistory* server : Shown(history, only)) {
        const std::string name = CsvCell(server->Name);
        ForEachSeenMinute(*server, [&](uint32_t minute, const MinuteSample& sample) {
            csv += MinuteText(minute) + ',' + name + ',' + CountField(sample.Players) + ',' +
                   CountField(sample.Peak) + '\n';
        });
    }
    return csv;
}

std::string HistorySummary(const History& history, const ServerHistory* only) {
    std::string summary;
    for (const ServerHistory* server : Shown(history, only)) {
        uint32_t samples = 0, firstMinute = 0, peakMinute = 0;
        int32_t peak = HISTORY_DOWN;
        ForEachSeenMinute(*server, [&](uint32_t minute, const MinuteSample& sample) {
            if (samples++ == 0) firstMinute = minute;
            if (sample.Peak > peak) {
                peak = sample.Peak;
                peakMinute = minute;
            }
        });
        summary += InertText(server->Name) + ": " + std::to_string(samples) + " samples, " + MinuteText(firstMinute) + " to " +
                   MinuteText(NewestMinute(*server));
        if (peak < 0) summary += ", always DOWN\n";
        else summary += ", peak " + std::to_string(peak) + " at " + MinuteText(peakMinute) + "\n";
    }
    return summary.empty() ? "no samples\n" : summary;
}

std::string CsvCell(const std::string& text) {
    std::string cell = InertText(text);
    // A tab or carriage return is already \x09 or \x0D here; the quote mark covers the rest.
    if (!cell.empty() && std::strchr("=+-@", cell[0]) != nullptr) cell.insert(0, "'");
    if (cell.find_first_of(",\"") == std::string::npos) return cell;
    std::string quoted = "\"";
    for (char c : cell) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string TerminalReport(const QueryResult& result) {
    if (result.ErrorReport) return InertText(result.Report);
    std::string text = "Servers\tPlayers\tZones\n";
    for (const ServerEntry& entry : result.Decode.ServerList)
        text += InertText(entry.Name) + '\t' + (entry.Players < 0 ? "DOWN" : std::to_string(entry.Players)) + '\t' +
                (entry.Zones < 0 ? "NA" : std::to_string(entry.Zones)) + '\n';
    return text + std::to_string(result.Decode.TotalPlayers) + " Players on EverQuest";
}
