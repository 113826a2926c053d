// The query tool's core: decoding two answers, writing the report as text or JSON, and a history file's samples.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "status/decode.h"
#include "status/history.h"

using Answer = std::vector<unsigned char>;

struct QueryResult {
    std::string Report;       // ReportText as the decoder left it
    DecodeResults Decode;
    bool NamesRejected = false;  // the decode marked the names answer empty
    bool ErrorReport = false;    // the report is one of the decoder's messages
};

QueryResult DecodeAnswers(const Answer& names, const Answer& status, const std::string& primary);
// One JSON object: report (the terminal's text), servers, total_players, primary_players (only when the
// primary server is listed; null while it is DOWN), names_rejected. A missing count is null.
std::string QueryJson(const QueryResult& result);
// Whether an answer of this kind can be handed to the decoder: the right code, at most 4096 bytes.
bool IsAnswerOf(const Answer& answer, const unsigned char* code);
// Puts the server list in the order of a stored SortOrder.
void SortResult(QueryResult& result, int32_t sortOrder);
// One line of JSON for the watch command: time, servers, total_players and, when asked for and
// listed, primary_players; for a decoder message, time and error.
std::string WatchJsonLine(const QueryResult& result, const std::string& time, bool withPrimary);
std::string WatchErrorJsonLine(const std::string& time, const std::string& error);

// The samples of one server (or of all when `only` is null) as CSV: time,server,players,peak, the time
// with its UTC offset, DOWN as an empty field, minutes not seen left out.
std::string HistoryCsv(const History& history, const ServerHistory* only);
// One line per server: its samples, the first and last time, and its peak with the time.
std::string HistorySummary(const History& history, const ServerHistory* only);

// A CSV field that a spreadsheet takes as text: control bytes made inert, a start that would make a
// formula (=, +, -, @, tab, carriage return) behind a quote mark, and quoted where it must be.
std::string CsvCell(const std::string& text);
// The report for a terminal, written from the server list in its order: a header line, one line a
// server with its name made inert, and the total; a decoder message made inert.
std::string TerminalReport(const QueryResult& result);
