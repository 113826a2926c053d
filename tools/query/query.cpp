// The query tool's core: decoding two answers and writing the report as text or JSON.
#include "tools/query/query.h"

#include <nlohmann/json.hpp>

#include <cstring>

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
    nlohmann::json servers = nlohmann::json::array();
    for (const ServerEntry& entry : result.Decode.ServerList)
        servers.push_back({{"name", Latin1ToUtf8(entry.Name)}, {"players", entry.Players}, {"zones", entry.Zones}});
    const nlohmann::json doc = {{"report", Latin1ToUtf8(result.Report)},
                                {"servers", servers},
                                {"total_players", result.Decode.TotalPlayers},
                                {"primary_players", result.Decode.PrimaryPlayers},
                                {"names_rejected", result.NamesRejected}};
    return doc.dump(2);
}

bool IsAnswerOf(const Answer& answer, const unsigned char* code) {
    return answer.size() >= REQUEST_SIZE && answer.size() <= RECEIVE_SIZE &&
           std::memcmp(answer.data(), code, REQUEST_SIZE) == 0;
}
