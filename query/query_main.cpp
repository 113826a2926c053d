// tallowin-query: asks the status service for its answers, or decodes saved ones, and prints the report;
// watches the service; prints a history file's samples; serves the last report to Prometheus.
#include <CLI/CLI.hpp>

#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <new>
#include <thread>

#include "query/query.h"
#include "query/serve.h"
#include "query/text.h"
#include "query/udp.h"
#include "settings/settings.h"
#include "status/protocol.h"

namespace {
// EXIT_USAGE also stands for a file that cannot be read and output that cannot be written.
enum ExitCode { EXIT_REPORT = 0, EXIT_ERROR_REPORT = 1, EXIT_USAGE = 2, EXIT_TIMEOUT = 3 };
const char* const EXIT_CODES_TEXT =
    "Exit codes: 0 a report; 1 a message of the decoder instead; 2 bad usage, a file that cannot be read or\n"
    "output that cannot be written; 3 no answer from the service (watch --count: of its last poll).";
const char* const HISTORY_EXIT_CODES_TEXT =
    "Exit codes: 0 the samples; 2 bad usage, a file that cannot be read or is no history file, an unknown\n"
    "server, or output that cannot be written.";
const char* const SERVE_EXIT_CODES_TEXT =
    "Exit codes: 0 stopped by SIGINT, SIGTERM or Ctrl+C; 2 bad usage or an address it cannot listen on.";
constexpr size_t HISTORY_FILE_MOST = 8 << 20;  // more than 256 servers' full week takes

struct Options {
    std::string host = StatusHostName(TALLOWIN_DEFAULT_STATUS_HOST);
    std::string primary;
    int port = STATUS_PORT, timeoutMs = 2000, retries = 2;
    bool json = false;
    int32_t sort = SORT_NONE;
};

int Fail(const std::string& message) {
    std::fprintf(stderr, "tallowin-query: %s\n", message.c_str());
    return EXIT_USAGE;
}

// Writes text and a line feed to standard output and flushes it, so that a full disk or a closed
// file shows here, not lost at exit.
bool Emit(const std::string& text) {
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size() &&
                         std::fputc('\n', stdout) != EOF && std::fflush(stdout) == 0;
    if (!written) std::fprintf(stderr, "tallowin-query: cannot write the output: %s\n", std::strerror(errno));
    return written;
}

// A name the user typed, in the terminal's UTF-8, as the service writes it; other bytes as they are.
std::string ServiceName(const std::string& typed) {
    std::string name = typed;
    Utf8ToLatin1(typed, name);
    return name;
}

// Reads a whole file of at most `most` bytes; `mostText` says the limit in the message. It reads no
// more than one byte past the limit, whatever the file (a device, a pipe) claims or goes on giving.
bool ReadFileBytes(const std::string& path, size_t most, const char* mostText, std::vector<unsigned char>& bytes,
                   std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        error = "cannot read " + path;
        return false;
    }
    bytes.resize(most + 1);
    size_t got = 0, n = 0;
    while (got < bytes.size() && (n = std::fread(bytes.data() + got, 1, bytes.size() - got, file)) > 0) got += n;
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    bytes.resize(got);
    if (failed) error = "cannot read " + path;
    else if (got > most) error = path + " holds more than " + std::to_string(most) + " bytes; " + mostText;
    return error.empty();
}

// Sends a request and waits for the answer with its code, trying again after each timeout.
bool Ask(const UdpLink& link, const unsigned char* code, int timeoutMs, int retries, Answer& answer) {
    unsigned char buffer[RECEIVE_SIZE];
    for (int attempt = 0; attempt <= retries; ++attempt) {
        UdpSend(link, code, REQUEST_SIZE);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  deadline - std::chrono::steady_clock::now()).count();
            if (left <= 0) break;
            const long n = UdpReceive(link, buffer, sizeof buffer, static_cast<int>(left));
            if (n == 0) break;
            if (n >= static_cast<long>(REQUEST_SIZE) && std::memcmp(buffer, code, REQUEST_SIZE) == 0) {
                answer.assign(buffer, buffer + n);
                return true;
            }
            // Anything else (other answers, garbage, oversize datagrams) is passed over.
        }
    }
    return false;
}

int Print(QueryResult result, const Options& options) {
    SortResult(result, options.sort);
    if (!Emit(options.json ? QueryJson(result) : TerminalReport(result))) return EXIT_USAGE;
    return result.ErrorReport ? EXIT_ERROR_REPORT : EXIT_REPORT;
}

int QueryOnce(const Options& options) {
    UdpLink link;
    std::string error;
    if (!UdpConnect(options.host, static_cast<uint16_t>(options.port), link, error)) return Fail(error);
    Answer names, status;
    const bool answered = Ask(link, REQ_NAMES, options.timeoutMs, options.retries, names) &&
                          Ask(link, REQ_STATUS, options.timeoutMs, options.retries, status);
    UdpClose(link);
    if (!answered) {
        std::fprintf(stderr, "tallowin-query: no answer from %s:%d\n", options.host.c_str(), options.port);
        return EXIT_TIMEOUT;
    }
    return Print(DecodeAnswers(names, status, options.primary), options);
}

// Polls like Tallowin: the names once (again until answered and after the decoder rejected them),
// the status every interval; one report a line, `count` of them (0: until interrupted). Exits as the
// one-shot query would have for the last poll.
int Watch(const Options& options, int intervalSeconds, int count) {
    UdpLink link;
    std::string error;
    if (!UdpConnect(options.host, static_cast<uint16_t>(options.port), link, error)) return Fail(error);
    const std::string noAnswer = "no answer from " + options.host + ":" + std::to_string(options.port);
    Answer names, status;
    int outcome = EXIT_REPORT;
    auto next = std::chrono::steady_clock::now();
    for (int reports = 0; count == 0 || reports < count; ++reports) {
        std::this_thread::sleep_until(next);
        // From this request on, so that a stalled one brings no burst of requests to catch up.
        next = std::chrono::steady_clock::now() + std::chrono::seconds(intervalSeconds);
        const bool answered = (!names.empty() || Ask(link, REQ_NAMES, options.timeoutMs, options.retries, names)) &&
                              Ask(link, REQ_STATUS, options.timeoutMs, options.retries, status);
        const std::string time = LocalTimeText(std::time(nullptr));
        std::string text;
        if (!answered) {
            outcome = EXIT_TIMEOUT;
            text = options.json ? WatchErrorJsonLine(time, noAnswer) : "== " + time + " " + noAnswer;
        } else {
            QueryResult result = DecodeAnswers(names, status, options.primary);
            if (result.NamesRejected) names.clear();
            outcome = result.ErrorReport ? EXIT_ERROR_REPORT : EXIT_REPORT;
            SortResult(result, options.sort);
            text = options.json ? WatchJsonLine(result, time, !options.primary.empty())
                                : "== " + time + "\n" + TerminalReport(result);
        }
        if (!Emit(text)) {
            outcome = EXIT_USAGE;
            break;
        }
    }
    UdpClose(link);
    return outcome;
}

int DecodeFiles(const Options& options, const std::string& namesPath, const std::string& statusPath) {
    Answer names, status;
    std::string error;
    const char* mostText = "an answer has at most 4096";
    if (!ReadFileBytes(namesPath, RECEIVE_SIZE, mostText, names, error) ||
        !ReadFileBytes(statusPath, RECEIVE_SIZE, mostText, status, error))
        return Fail(error);
    if (!IsAnswerOf(names, REQ_NAMES)) return Fail(namesPath + " is not a names answer (FF FF 01 00)");
    if (!IsAnswerOf(status, REQ_STATUS)) return Fail(statusPath + " is not a status answer (FF FF 05 00)");
    return Print(DecodeAnswers(names, status, options.primary), options);
}

int ShowHistory(const std::string& path, const std::string* serverName, bool csv) {
    std::vector<unsigned char> bytes;
    std::string error;
    if (!ReadFileBytes(path, HISTORY_FILE_MOST, "a history file has less than 8 MiB", bytes, error)) return Fail(error);
    History history;
    // A kept copy is read as it stands, however old: no trimming to the week before today.
    const HistoryLoad read = ReadHistory(history, bytes.data(), bytes.size());
    if (read == HistoryLoad::Newer) return Fail(path + " was written by a later version of Tallowin");
    if (read != HistoryLoad::Loaded) return Fail(path + " is not a history file, or it is damaged");
    const std::string name = serverName ? ServiceName(*serverName) : std::string();
    const ServerHistory* only = serverName ? FindServerHistory(history, name) : nullptr;
    if (serverName && only == nullptr) return Fail("no server named " + InertText(name) + " in " + path);
    std::string text = csv ? HistoryCsv(history, only) : HistorySummary(history, only);
    text.pop_back();  // Emit ends the last line
    return Emit(text) ? EXIT_REPORT : EXIT_USAGE;
}

// The commands each shared option serves; any other use is refused, not ignored.
struct OptionUse {
    const char* Option;
    const char* Commands;
};
const OptionUse OPTION_USES[] = {
    {"--host", " query watch serve "}, {"--port", " query watch serve "}, {"--timeout", " query watch "},
    {"--retries", " query watch "},    {"--primary", " query decode watch "}, {"--json", " query decode watch "},
    {"--sort", " query decode watch "}};

// Empty when every option given serves the command, else why not.
std::string UnusedOption(const CLI::App& app, const std::string& command, bool json) {
    for (const OptionUse& use : OPTION_USES)
        if (app.get_option(use.Option)->count() > 0 && std::strstr(use.Commands, (" " + command + " ").c_str()) == nullptr)
            return std::string(use.Option) + " does not apply to " + command;
    if (app.get_option("--primary")->count() > 0 && !json) return "--primary only adds primary_players to --json";
    return std::string();
}
}  // namespace

int main(int argc, char** argv) {
    UseBinaryStdout();
    CLI::App app{"Prints the player counts of EverQuest's servers, as Tallowin shows them"};
    app.fallthrough();
    app.allow_windows_style_options(false);  // a path like /tmp/names.bin is no option
    app.option_defaults()->always_capture_default();
    app.set_version_flag("--version", std::string("tallowin-query ") + TALLOWIN_VERSION);
    app.footer(EXIT_CODES_TEXT);
    Options options;
    std::string sortName = "none", namesPath, statusPath, historyPath, serverName;
    int intervalSeconds = 15, count = 0;
    bool csv = false;
    const std::map<std::string, int32_t> sortNames = {
        {"none", SORT_NONE}, {"name", SORT_BY_NAME}, {"players", SORT_BY_PLAYERS}};
    app.add_option("--host", options.host, "status host: TALLOWIN_STATUS_HOST, else the built-in one (query, watch, serve)");
    app.add_option("--port", options.port, "status port (query, watch, serve)")->check(CLI::Range(1, 65535));
    app.add_option("--primary", options.primary, "primary server, for primary_players in --json");
    app.add_flag("--json", options.json, "print JSON instead of the report text (query, decode, watch)");
    app.add_option("--timeout", options.timeoutMs, "milliseconds to wait for each answer (query, watch)")
        ->check(CLI::Range(1, 600000));
    app.add_option("--retries", options.retries, "requests sent again after a timeout (query, watch)")
        ->check(CLI::Range(0, 100));
    app.add_option("--sort", sortName, "server order: none (the service's), name or players (query, decode, watch)")
        ->check(CLI::IsMember({"none", "name", "players"}));
    CLI::App* decode = app.add_subcommand("decode", "decode two saved answers, each file one whole datagram");
    decode->add_option("NAMES_FILE", namesPath, "the names answer")->required();
    decode->add_option("STATUS_FILE", statusPath, "the status answer")->required();
    CLI::App* watch = app.add_subcommand("watch", "poll like Tallowin and print each report, time-stamped");
    watch->add_option("--interval", intervalSeconds, "seconds between status requests")->check(CLI::Range(1, 86400));
    watch->add_option("--count", count, "stop after this many reports (0: never)")->check(CLI::Range(0, 1000000000));
    CLI::App* historyCommand = app.add_subcommand("history", "print the samples of a Tallowin history file");
    historyCommand->add_option("FILE", historyPath, "the history file")->required();
    const CLI::Option* server = historyCommand->add_option("--server", serverName, "only this server");
    historyCommand->add_flag("--csv", csv, "print every sample as CSV instead of a summary per server");
    std::string listenAddress = DEFAULT_LISTEN_ADDRESS;
    CLI::App* serve = app.add_subcommand("serve", "poll like Tallowin and serve the last report to Prometheus at /metrics");
    serve->add_option("--listen", listenAddress,
                      "address and TCP port to serve on: 127.0.0.1:PORT, [::1]:PORT, or :PORT for every interface");
    for (CLI::App* command : {decode, watch}) command->footer(EXIT_CODES_TEXT);
    historyCommand->footer(HISTORY_EXIT_CODES_TEXT);
    serve->footer(SERVE_EXIT_CODES_TEXT);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? 0 : EXIT_USAGE;
    }
    const char* command = *historyCommand ? "history" : *watch ? "watch" : *serve ? "serve" : *decode ? "decode" : "query";
    const std::string unused = UnusedOption(app, command, options.json);
    if (!unused.empty()) return Fail(unused + " (see --help)");
    options.sort = sortNames.at(sortName);
    options.primary = ServiceName(options.primary);

    // A history or answer file is read bounded, but the process may still be short of memory.
    try {
        if (*historyCommand) return ShowHistory(historyPath, server->count() ? &serverName : nullptr, csv);
        if (*watch) return Watch(options, intervalSeconds, count);
        if (*serve) return Serve(options.host, static_cast<uint16_t>(options.port), listenAddress);
        if (*decode) return DecodeFiles(options, namesPath, statusPath);
        return QueryOnce(options);
    } catch (const std::bad_alloc&) {
        return Fail("out of memory");
    }
}
