// The serve command's event loop: the poll cycle's timer, the service's socket and the HTTP clients
// in one readiness wait, with no thread.
#include "query/serve.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "query/exposition.h"
#include "query/http.h"
#include "query/net.h"
#include "query/udp.h"

namespace {
constexpr uint32_t READ_DEADLINE_MS = 5000;   // to send a whole request head
constexpr uint32_t WRITE_DEADLINE_MS = 10000; // to take the whole answer
constexpr uint32_t DRAIN_DEADLINE_MS = 1000;  // to close after the answer, so that it is not cut by a reset
constexpr size_t CONNECTIONS_MOST = 512;      // beyond it the oldest client still sending its request goes
constexpr int WAIT_MOST_MS = 250;             // Ctrl+C's handler runs on a thread of its own: look this often
constexpr int ARRIVALS_AT_ONCE = 64;          // datagrams or connections taken per wake-up, so neither starves

uint32_t NowMs() {
    static const auto start = std::chrono::steady_clock::now();
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
}

// Deadlines on the wrapping millisecond clock.
bool Reached(uint32_t now, uint32_t deadline) { return static_cast<int32_t>(now - deadline) >= 0; }
int MsUntil(uint32_t now, uint32_t deadline) {
    const int32_t left = static_cast<int32_t>(deadline - now);
    return left < 0 ? 0 : left < WAIT_MOST_MS ? left : WAIT_MOST_MS;
}

struct Exporter {
    UdpLink Link;
    unsigned char Names[NAMES_BUFFER_SIZE] = {};
    unsigned char Status[STATUS_BUFFER_SIZE] = {};
    char Banner[BANNER_BUFFER_SIZE] = {};
    char Report[REPORT_TEXT_SIZE] = {};
    StatusClient Client;
    Settings Options;
    ExporterMetrics Metrics;
    bool TimerArmed = false;
    uint32_t TimerDue = 0;
    bool Failed = false;
    intptr_t Listener = -1;
    std::vector<std::unique_ptr<HttpConnection>> Connections;
    std::vector<NetWaitItem> Waits;
};

Exporter& Of(void* context) { return *static_cast<Exporter*>(context); }

// The poll cycle's outside world: no tray, no balloons and no history; each tick's Render builds the page.
PollHost HostOf(Exporter& e) {
    return PollHost{
        &e,
        [](void* c, unsigned) { Of(c).TimerArmed = false; },
        [](void*) { return 0; },  // the loop itself waits for the socket
        [](void* c, const char* text) {
            std::fprintf(stderr, "tallowin-query: %s\n", text);
            Of(c).Failed = true;
        },
        [](void*) { return NowMs(); },
        [](void*) { return 0u; },
        [](void* c, const unsigned char* code) {
            UdpSend(Of(c).Link, code, REQUEST_SIZE);
            ++Of(c).Metrics.Requests;
        },
        [](void*, TrayIcon, const char*, int32_t) {},
        [](void*) { return false; },
        [](void*, const AlertNotice&) { return false; },
        [](void*, const AlertNotice&) {},
        [](void*, char* hhmm) { hhmm[0] = 0; },
        [](void* c, const char* text, bool report) { NoteTick(Of(c).Metrics, Of(c).Client, text, report, NowMs()); },
        [](void* c, unsigned event, uint32_t interval) -> unsigned {
            Of(c).TimerArmed = true;
            Of(c).TimerDue = NowMs() + interval;
            return event;
        }};
}

void ReceiveAnswers(Exporter& e) {
    unsigned char datagram[RECEIVE_SIZE];
    for (int k = 0; k < ARRIVALS_AT_ONCE; ++k) {
        const long n = UdpReceive(e.Link, datagram, sizeof datagram, 0);
        if (n == 0) return;
        // A refusal (ICMP) or an oversize datagram: passed over, and the next tick counts the silence.
        if (n < 0) continue;
        const DispatchOutcome outcome = DispatchDatagram(e.Client.Buffers, datagram, static_cast<size_t>(n), NowMs());
        if (outcome == DispatchOutcome::Invalid || outcome == DispatchOutcome::ReadError) ++e.Metrics.Invalid;
        else ++e.Metrics.Answers;
    }
}

void Close(HttpConnection& c) {
    if (c.Socket != -1) NetClose(c.Socket);
    c.Socket = -1;
}

void SendSome(HttpConnection& c, uint32_t now) {
    for (;;) {
        const char* bytes = nullptr;
        size_t n = 0;
        HttpPendingOutput(c, bytes, n);
        if (n == 0) {
            NetShutdownSend(c.Socket);
            c.Phase = HttpPhase::Draining;
            c.Deadline = now + DRAIN_DEADLINE_MS;
            c.Page.reset();
            return;
        }
        const long sent = NetSend(c.Socket, bytes, n);
        if (sent == NET_WOULD_BLOCK) return;
        if (sent <= 0) {
            Close(c);
            return;
        }
        c.Sent += static_cast<size_t>(sent);
    }
}

void Service(Exporter& e, HttpConnection& c, const NetWaitItem& w, uint32_t now) {
    if (c.Phase == HttpPhase::Reading && w.Readable) {
        const long n = NetReceive(c.Socket, c.In + c.Received, HTTP_HEAD_LIMIT - c.Received);
        if (n == 0 || n == NET_FAILED) return Close(c);
        if (n < 0) return;
        const HttpRequest request = HttpTakeBytes(c, static_cast<size_t>(n));
        if (request.Route == HttpRoute::Incomplete) return;
        const bool metrics = request.Route == HttpRoute::Metrics;
        HttpAnswer(c, request, e.Metrics.Page, metrics ? MetricsAgeText(e.Metrics, now) : std::string());
        c.Deadline = now + WRITE_DEADLINE_MS;
        return SendSome(c, now);
    }
    if (c.Phase == HttpPhase::Writing && (w.Writable || w.Broken)) return SendSome(c, now);
    if (c.Phase == HttpPhase::Draining && w.Readable) {
        unsigned char scrap[4096];
        const long n = NetReceive(c.Socket, scrap, sizeof scrap);
        if (n == 0 || n == NET_FAILED) return Close(c);
    }
    if (w.Broken && !w.Readable && c.Socket != -1) Close(c);
}

void Accept(Exporter& e, uint32_t now) {
    for (int k = 0; k < ARRIVALS_AT_ONCE; ++k) {
        const intptr_t s = NetAccept(e.Listener);
        if (s == -1) return;
        if (e.Connections.size() >= CONNECTIONS_MOST) {
            // Room for a new client: the oldest that is still sending its request (or closing) goes.
            auto oldest = e.Connections.end();
            for (auto it = e.Connections.begin(); it != e.Connections.end(); ++it)
                if ((*it)->Phase != HttpPhase::Writing &&
                    (oldest == e.Connections.end() || static_cast<int32_t>((*it)->Opened - (*oldest)->Opened) < 0))
                    oldest = it;
            if (oldest == e.Connections.end()) {
                NetClose(s);
                continue;
            }
            Close(**oldest);
            e.Connections.erase(oldest);
        }
        auto c = std::make_unique<HttpConnection>();
        c->Socket = s;
        c->Opened = now;
        c->Deadline = now + READ_DEADLINE_MS;
        e.Connections.push_back(std::move(c));
    }
}

// One wait and what follows it: a due tick, answers, clients and new connections.
void Turn(Exporter& e, const PollHost& host) {
    uint32_t now = NowMs();
    if (e.TimerArmed && Reached(now, e.TimerDue)) {
        PollTick(e.Client, e.Options, host, e.Client.PollTimerId);
        now = NowMs();
    }
    int timeout = e.TimerArmed ? MsUntil(now, e.TimerDue) : WAIT_MOST_MS;
    e.Waits.clear();
    e.Waits.push_back(NetWaitItem{e.Listener, true, false, false, false, false});
    e.Waits.push_back(NetWaitItem{e.Link.Socket, true, false, false, false, false});
    for (const auto& c : e.Connections) {
        const bool writing = c->Phase == HttpPhase::Writing;
        e.Waits.push_back(NetWaitItem{c->Socket, !writing, writing, false, false, false});
        const int left = MsUntil(now, c->Deadline);
        if (left < timeout) timeout = left;
    }
    if (NetWait(e.Waits.data(), e.Waits.size(), timeout) < 0) return;  // a signal: the caller looks at it
    now = NowMs();
    if (e.Waits[1].Readable || e.Waits[1].Broken) ReceiveAnswers(e);  // a refusal is read to clear it
    for (size_t i = 0; i < e.Connections.size(); ++i) {
        HttpConnection& c = *e.Connections[i];
        Service(e, c, e.Waits[i + 2], now);
        if (c.Socket != -1 && Reached(now, c.Deadline)) Close(c);
    }
    // Closed connections leave; the order of the others does not matter.
    for (size_t i = 0; i < e.Connections.size();) {
        if (e.Connections[i]->Socket != -1) {
            ++i;
            continue;
        }
        e.Connections[i] = std::move(e.Connections.back());
        e.Connections.pop_back();
    }
    if (e.Waits[0].Readable) Accept(e, now);
}
}  // namespace

int Serve(const std::string& host, uint16_t port, const std::string& listenAddress) {
    uint32_t address = 0;
    uint16_t listenPort = 0;
    if (!ParseListenAddress(listenAddress, address, listenPort)) {
        std::fprintf(stderr, "tallowin-query: --listen wants an IPv4 address and a port, like %s\n", DEFAULT_LISTEN_ADDRESS);
        return 2;
    }
    auto e = std::make_unique<Exporter>();
    std::string error;
    if (!UdpConnect(host, port, e->Link, error)) {
        std::fprintf(stderr, "tallowin-query: %s\n", error.c_str());
        return 2;
    }
    e->Listener = NetListen(address, listenPort, error);
    if (e->Listener == -1) {
        std::fprintf(stderr, "tallowin-query: cannot listen on %s: %s\n", listenAddress.c_str(), error.c_str());
        UdpClose(e->Link);
        return 2;
    }
    e->Client.Buffers = StatusBuffers{e->Names, 0, e->Status, 0, e->Banner, 0};
    e->Client.ReportText = e->Report;
    e->Client.RecordsHistory = false;
    SetDefaultSettings(e->Options);  // no primary server and no watch list: the alerts stay silent
    StartMetrics(e->Metrics, NowMs());
    NetCatchStop();
    std::fprintf(stderr, "tallowin-query: serving http://%s/metrics from %s:%u\n", listenAddress.c_str(), host.c_str(),
                 static_cast<unsigned>(port));
    const PollHost pollHost = HostOf(*e);
    PollTick(e->Client, e->Options, pollHost, 0);
    while (!NetStopRequested() && !e->Failed) Turn(*e, pollHost);
    for (const auto& c : e->Connections) Close(*c);
    NetClose(e->Listener);
    UdpClose(e->Link);
    if (!e->Failed) std::fprintf(stderr, "tallowin-query: stopped\n");
    return e->Failed ? 1 : 0;
}
