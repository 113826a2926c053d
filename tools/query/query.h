// The query tool's core: decoding two answers and writing the report as text or JSON.
#pragma once

#include <string>
#include <vector>

#include "status/decode.h"

using Answer = std::vector<unsigned char>;

struct QueryResult {
    std::string Report;       // ReportText as the decoder left it
    DecodeResults Decode;
    bool NamesRejected = false;  // the decode marked the names answer empty
    bool ErrorReport = false;    // the report is one of the decoder's messages
};

QueryResult DecodeAnswers(const Answer& names, const Answer& status, const std::string& primary);
// One JSON object: report, servers, total_players, primary_players, names_rejected.
std::string QueryJson(const QueryResult& result);
// Whether an answer of this kind can be handed to the decoder: the right code, at most 4096 bytes.
bool IsAnswerOf(const Answer& answer, const unsigned char* code);
