// tallowin-query: asks the status service for its answers, or decodes saved ones, and prints the report.
#include <CLI/CLI.hpp>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "status/protocol.h"
#include "tools/query/query.h"
#include "tools/query/udp.h"

namespace {
enum ExitCode { EXIT_REPORT = 0, EXIT_ERROR_REPORT = 1, EXIT_USAGE = 2, EXIT_TIMEOUT = 3 };

int Fail(const std::string& message) {
    std::fprintf(stderr, "tallowin-query: %s\n", message.c_str());
    return EXIT_USAGE;
}

bool ReadAnswer(const std::string& path, Answer& answer, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    answer.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (answer.size() > RECEIVE_SIZE) {
        error = path + " holds " + std::to_string(answer.size()) + " bytes; an answer has at most 4096";
        return false;
    }
    return true;
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

int Print(const QueryResult& result, bool json) {
    if (json) std::printf("%s\n", QueryJson(result).c_str());
    else std::printf("%s\n", result.Report.c_str());
    return result.ErrorReport ? EXIT_ERROR_REPORT : EXIT_REPORT;
}
}  // namespace

int main(int argc, char** argv) {
    UseBinaryStdout();
    CLI::App app{"Prints the player counts of EverQuest's servers, as Tallowin shows them"};
    app.fallthrough();
    app.allow_windows_style_options(false);  // a path like /tmp/names.bin is no option
    std::string host = StatusHostName(TALLOWIN_DEFAULT_STATUS_HOST), primary, namesPath, statusPath;
    int port = STATUS_PORT, timeoutMs = 2000, retries = 2;
    bool json = false;
    app.add_option("--host", host, "status host (default: TALLOWIN_STATUS_HOST or the built-in host)");
    app.add_option("--port", port, "status port")->check(CLI::Range(1, 65535));
    app.add_option("--primary", primary, "primary server, for primary_players");
    app.add_flag("--json", json, "print one JSON object instead of the report text");
    app.add_option("--timeout", timeoutMs, "milliseconds to wait for each answer")->check(CLI::Range(1, 600000));
    app.add_option("--retries", retries, "requests sent again after a timeout")->check(CLI::Range(0, 100));
    CLI::App* decode = app.add_subcommand("decode", "decode two saved answers, each file one whole datagram");
    decode->add_option("NAMES_FILE", namesPath, "the names answer")->required();
    decode->add_option("STATUS_FILE", statusPath, "the status answer")->required();
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? 0 : EXIT_USAGE;
    }

    Answer names, status;
    std::string error;
    if (*decode) {
        if (!ReadAnswer(namesPath, names, error) || !ReadAnswer(statusPath, status, error)) return Fail(error);
        if (!IsAnswerOf(names, REQ_NAMES)) return Fail(namesPath + " is not a names answer (FF FF 01 00)");
        if (!IsAnswerOf(status, REQ_STATUS)) return Fail(statusPath + " is not a status answer (FF FF 05 00)");
        return Print(DecodeAnswers(names, status, primary), json);
    }

    UdpLink link;
    if (!UdpConnect(host, static_cast<uint16_t>(port), link, error)) return Fail(error);
    const bool answered = Ask(link, REQ_NAMES, timeoutMs, retries, names) &&
                          Ask(link, REQ_STATUS, timeoutMs, retries, status);
    UdpClose(link);
    if (!answered) {
        std::fprintf(stderr, "tallowin-query: no answer from %s:%d\n", host.c_str(), port);
        return EXIT_TIMEOUT;
    }
    return Print(DecodeAnswers(names, status, primary), json);
}
