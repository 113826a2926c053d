// tallowin-statusd: a status service simulator on a loopback address, logging every request.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>

#include "status/protocol.h"
#include "tools/statusd/scenario.h"

namespace {
volatile std::sig_atomic_t stopRequested = 0;
void OnSignal(int) { stopRequested = 1; }

using Clock = std::chrono::steady_clock;

struct Server {
    int Socket = -1;
    Scenario Plan;
    std::FILE* Log = stdout;
    Clock::time_point Started = Clock::now();
    bool HaveClient = false;
    Clock::time_point FirstRequest;
    sockaddr_in Client{};
    std::vector<size_t> InjectionsSent;

    double Seconds(Clock::time_point t) const { return std::chrono::duration<double>(t - Started).count(); }
    double SinceFirstRequest(Clock::time_point t) const {
        return HaveClient ? std::chrono::duration<double>(t - FirstRequest).count() : 0;
    }
};

std::string Hex(const unsigned char* bytes, size_t n, size_t most = 64) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < n && i < most; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

std::string Address(const sockaddr_in& a) {
    char text[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &a.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(a.sin_port));
}

void LogLine(Server& server, nlohmann::json entry) {
    const auto now = Clock::now();
    entry["t"] = server.Seconds(now);
    entry["unix"] = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    std::fprintf(server.Log, "%s\n", entry.dump().c_str());
    std::fflush(server.Log);
}

const char* RequestName(const unsigned char* bytes, size_t n) {
    if (n == REQUEST_SIZE && std::memcmp(bytes, REQ_NAMES, 4) == 0) return "names";
    if (n == REQUEST_SIZE && std::memcmp(bytes, REQ_STATUS, 4) == 0) return "status";
    if (n == REQUEST_SIZE && std::memcmp(bytes, REQ_BANNER, 4) == 0) return "banner";
    return "unknown";
}

void SendTo(Server& server, const sockaddr_in& to, const Datagram& bytes) {
    sendto(server.Socket, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

void HandleRequest(Server& server) {
    unsigned char bytes[65536];
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    const ssize_t n = recvfrom(server.Socket, bytes, sizeof bytes, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (n < 0) return;
    const auto now = Clock::now();
    if (!server.HaveClient) {
        server.HaveClient = true;
        server.FirstRequest = now;
    }
    server.Client = from;
    const std::string kind = RequestName(bytes, static_cast<size_t>(n));
    const bool stopped = server.Plan.StopAfter > 0 && server.SinceFirstRequest(now) >= server.Plan.StopAfter;
    const Datagram* answer = nullptr;
    if (!server.Plan.Silent && !stopped) {
        if (kind == "names") answer = &server.Plan.NamesAnswer;
        else if (kind == "status") answer = &server.Plan.StatusAnswer;
        else if (kind == "banner") answer = &server.Plan.BannerAnswer;
    }
    if (answer) SendTo(server, from, *answer);
    LogLine(server, {{"event", "request"}, {"code", kind}, {"bytes", Hex(bytes, static_cast<size_t>(n))},
                     {"length", n}, {"from", Address(from)}, {"answered", answer != nullptr},
                     {"answer_length", answer ? answer->size() : 0}});
}

void SendDueInjections(Server& server) {
    if (!server.HaveClient) return;
    const double since = server.SinceFirstRequest(Clock::now());
    for (size_t i = 0; i < server.Plan.Injections.size(); ++i) {
        const Injection& injection = server.Plan.Injections[i];
        if (server.InjectionsSent[i] || since < injection.After) continue;
        server.InjectionsSent[i] = 1;
        for (int k = 0; k < injection.Count; ++k) SendTo(server, server.Client, injection.Bytes);
        LogLine(server, {{"event", "inject"}, {"bytes", Hex(injection.Bytes.data(), injection.Bytes.size(), 16)},
                         {"length", injection.Bytes.size()}, {"count", injection.Count},
                         {"to", Address(server.Client)}});
    }
}

int PollTimeoutMs(const Server& server) {
    int timeout = 200;
    if (!server.HaveClient) return timeout;
    const double since = server.SinceFirstRequest(Clock::now());
    for (size_t i = 0; i < server.Plan.Injections.size(); ++i) {
        if (server.InjectionsSent[i]) continue;
        const double wait = server.Plan.Injections[i].After - since;
        if (wait * 1000 < timeout) timeout = wait <= 0 ? 0 : static_cast<int>(wait * 1000) + 1;
    }
    return timeout;
}

bool ReadFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream content;
    content << in.rdbuf();
    text = content.str();
    return true;
}

// The scenario file's modification time and size, to notice that it was rewritten.
struct FileStamp {
    long long Seconds = -1, Nanoseconds = 0, Size = 0;
    bool operator==(const FileStamp& o) const {
        return Seconds == o.Seconds && Nanoseconds == o.Nanoseconds && Size == o.Size;
    }
};
FileStamp StampOf(const std::string& path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return FileStamp{};
    return FileStamp{static_cast<long long>(info.st_mtim.tv_sec), static_cast<long long>(info.st_mtim.tv_nsec),
                     static_cast<long long>(info.st_size)};
}

// Serves a rewritten scenario from the next request on; a file that does not parse is logged and
// the scenario in use stays.
void ReloadIfChanged(Server& server, const std::string& path, FileStamp& stamp) {
    const FileStamp now = StampOf(path);
    if (now == stamp) return;
    stamp = now;
    std::string text, error;
    Scenario plan;
    if (!ReadFile(path, text) || !ParseScenario(text, plan, error)) {
        LogLine(server, {{"event", "reload-failed"}, {"error", error}});
        return;
    }
    server.Plan = plan;
    server.InjectionsSent.assign(server.Plan.Injections.size(), 0);
    LogLine(server, {{"event", "reload"}});
}

bool WriteFile(const std::string& path, const Datagram& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}
}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Status service simulator for Tallowin: answers names, status and banner requests on loopback"};
    app.set_version_flag("--version", std::string("tallowin-statusd ") + TALLOWIN_VERSION);
    app.option_defaults()->always_capture_default();
    app.footer("Exit codes: 0 stopped (--max-seconds, SIGINT or SIGTERM) or answers written; 2 bad usage, a scenario\n"
               "that cannot be read or is no scenario, or an address that cannot be served on.");
    std::string address = "127.0.0.1", scenarioPath, logPath, answersDir;
    int port = STATUS_PORT;
    double maxSeconds = 3600;
    app.add_option("--address", address, "loopback address to serve on (127.0.0.0/8)");
    app.add_option("--port", port, "UDP port")->check(CLI::Range(1, 65535));
    app.add_option("--scenario", scenarioPath,
                   "scenario file (JSON), served anew whenever it is rewritten; the built-in scenario when left out");
    app.add_option("--log", logPath, "request log, one JSON object per line (standard output when left out)");
    app.add_option("--max-seconds", maxSeconds, "stop after this long")->check(CLI::Range(0.1, 7.0 * 86400));
    app.add_option("--write-answers", answersDir, "write names.bin, status.bin and banner.bin to this folder and exit");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 2;
    }

    std::string text = DEFAULT_SCENARIO_JSON, error;
    if (!scenarioPath.empty() && !ReadFile(scenarioPath, text)) {
        std::fprintf(stderr, "tallowin-statusd: cannot read %s\n", scenarioPath.c_str());
        return 2;
    }
    Server server;
    if (!ParseScenario(text, server.Plan, error)) {
        std::fprintf(stderr, "tallowin-statusd: bad scenario: %s\n", error.c_str());
        return 2;
    }
    server.InjectionsSent.assign(server.Plan.Injections.size(), 0);
    if (!answersDir.empty()) {
        const bool ok = WriteFile(answersDir + "/names.bin", server.Plan.NamesAnswer) &&
                        WriteFile(answersDir + "/status.bin", server.Plan.StatusAnswer) &&
                        WriteFile(answersDir + "/banner.bin", server.Plan.BannerAnswer);
        if (!ok) std::fprintf(stderr, "tallowin-statusd: cannot write to %s\n", answersDir.c_str());
        return ok ? 0 : 2;
    }

    sockaddr_in bindAddress{};
    bindAddress.sin_family = AF_INET;
    bindAddress.sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, address.c_str(), &bindAddress.sin_addr) != 1 ||
        (ntohl(bindAddress.sin_addr.s_addr) >> 24) != 127) {
        std::fprintf(stderr, "tallowin-statusd: %s is not a loopback address (127.0.0.0/8)\n", address.c_str());
        return 2;
    }
    if (!logPath.empty()) {
        server.Log = std::fopen(logPath.c_str(), "a");
        if (!server.Log) {
            std::fprintf(stderr, "tallowin-statusd: cannot open log %s\n", logPath.c_str());
            return 2;
        }
    }
    server.Socket = socket(AF_INET, SOCK_DGRAM, 0);
    if (server.Socket < 0 || bind(server.Socket, reinterpret_cast<sockaddr*>(&bindAddress), sizeof bindAddress) != 0) {
        std::fprintf(stderr, "tallowin-statusd: cannot bind %s:%d: %s\n", address.c_str(), port, std::strerror(errno));
        return 2;
    }
    int sendBuffer = 4 << 20;
    setsockopt(server.Socket, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGINT, OnSignal);
    LogLine(server, {{"event", "start"}, {"address", address}, {"port", port}});

    FileStamp scenarioStamp = scenarioPath.empty() ? FileStamp{} : StampOf(scenarioPath);
    while (!stopRequested && server.Seconds(Clock::now()) < maxSeconds) {
        pollfd fd{server.Socket, POLLIN, 0};
        const int ready = poll(&fd, 1, PollTimeoutMs(server));
        if (!scenarioPath.empty()) ReloadIfChanged(server, scenarioPath, scenarioStamp);
        if (ready > 0 && (fd.revents & POLLIN)) HandleRequest(server);
        SendDueInjections(server);
    }
    LogLine(server, {{"event", "stop"}});
    close(server.Socket);
    if (server.Log != stdout) std::fclose(server.Log);
    return 0;
}
