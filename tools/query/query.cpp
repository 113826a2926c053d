// The query tool's core: decoding two answers, writing the report as text or JSON, and a history file's samples.
#include "tools/query/query.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstring>
#include <ctime>

#include "status/order.h"
#include "status/protocol.h"

namespace {
// Name bytes are single-byte characters; JSON wants UTF-8, so read them as Latin-1.
std::string Latin1ToUtf8(const std::string& bytes) {
    std::string text;
    for (unsigned char c : bytes) {
        if (c < 0x80) {
            text += static_cast<char>(c);
        } else {
            text += static_cast<char>(0xC0 | (c >> 6));
            text += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return text;
}

bool IsDecoderMessage(const std::string& report) {
    for (const char* message : {BAD_STATUS_TEXT, BAD_NAMES_TEXT, COUNT_MISMATCH_TEXT, EXTRA_NAMES_TEXT})
        if (report == message) return true;
    return false;
}

nlohmann::json ServersJson(const std::vector<ServerEntry>& list) {
    nlohmann::json servers = nlohmann::json::array();
    for (const ServerEntry& entry : list)
        servers.push_back({{"name", Latin1ToUtf8(entry.Name)}, {"players", entry.Players}, {"zones", entry.Zones}});
    return servers;
}

// Days from 1970-01-01 to a date of the Gregorian calendar.
int64_t DaysFromCivil(int64_t year, int month, int day) {
    if (month <= 2) --year;  // the year counted from March, so that February's length comes last
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    return era * 146097 + yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear - 719468;
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

std::string MinuteText(uint32_t minute) {
    char text[20];
    LocalMinuteText(minute, text);
    return text;
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

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
    const nlohmann::json doc = {{"report", Latin1ToUtf8(result.Report)},
                                {"servers", ServersJson(result.Decode.ServerList)},
                                {"total_players", result.Decode.TotalPlayers},
                                {"primary_players", result.Decode.PrimaryPlayers},
                                {"names_rejected", result.NamesRejected}};
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
    std::string report;
    ReorderReportLines(result.Report.c_str(), list, order, report);  // a decoder message stays as it is
    result.Report = std::move(report);
    std::vector<ServerEntry> sorted;
    for (size_t i : order) sorted.push_back(list[i]);
    list = std::move(sorted);
}

std::string WatchJsonLine(const QueryResult& result, const std::string& time, bool withPrimary) {
    if (result.ErrorReport) return WatchErrorJsonLine(time, result.Report);
    nlohmann::json doc = {{"time", time},
                          {"servers", ServersJson(result.Decode.ServerList)},
                          {"total_players", result.Decode.TotalPlayers}};
    if (withPrimary) doc["primary_players"] = result.Decode.PrimaryPlayers;
    return doc.dump();
}

std::string WatchErrorJsonLine(const std::string& time, const std::string& error) {
    return nlohmann::json{{"time", time}, {"error", Latin1ToUtf8(error)}}.dump();
}

std::string LocalTimeText(int64_t secondsSince1970, bool withOffset) {
    const std::time_t time = static_cast<std::time_t>(secondsSince1970);
    const std::tm* local = std::localtime(&time);
    if (local == nullptr) return std::to_string(secondsSince1970);  // beyond what the C library converts
    char text[64];
    const int n = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", local->tm_year + 1900,
                                local->tm_mon + 1, local->tm_mday, local->tm_hour, local->tm_min, local->tm_sec);
    if (withOffset && n > 0) {
        // The offset is the local clock's reading taken as UTC, less the true time.
        const int64_t localSeconds = DaysFromCivil(local->tm_year + 1900, local->tm_mon + 1, local->tm_mday) * 86400 +
                                     local->tm_hour * 3600 + local->tm_min * 60 + local->tm_sec;
        const int64_t offset = (localSeconds - secondsSince1970) / 60;
        const int64_t magnitude = offset < 0 ? -offset : offset;
        std::snprintf(text + n, sizeof text - static_cast<size_t>(n), "%c%02d:%02d", offset < 0 ? '-' : '+',
                      static_cast<int>(magnitude / 60), static_cast<int>(magnitude % 60));
    }
    return text;
}

std::string HistoryCsv(const History& history, const ServerHistory* only) {
    std::string csv = "time,server,players,peak\n";
    for (const ServerHistory* server : Shown(history, only)) {
        const std::string name = CsvField(Latin1ToUtf8(server->Name));
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
        summary += server->Name + ": " + std::to_string(samples) + " samples, " + MinuteText(firstMinute) + " to " +
                   MinuteText(NewestMinute(*server));
        if (peak < 0) summary += ", always DOWN\n";
        else summary += ", peak " + std::to_string(peak) + " at " + MinuteText(peakMinute) + "\n";
    }
    return summary.empty() ? "no samples\n" : summary;
}
