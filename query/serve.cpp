// The serve command's event loop: the poll cycle's timer, the service's socket and the HTTP clients
// in one readiness wait; only a lookup of the status host runs on a thread of its own.
#include "query/serve.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "query/exposition.h"
#include "query/http.h"
#include "query/net.h"
#include "query/udp.h"
#include "status/poll.h"

namespace {
constexpr uint32_t READ_DEADLINE_MS = 5000;   // to send a whole request head
constexpr uint32_t WRITE_DEADLINE_MS = 10000; // to take the whole answer
constexpr uint32_t DRAIN_DEADLINE_MS = 1000;  // to close after the answer, so that it is not cut by a reset
constexpr size_t CONNECTIONS_MOST = 512;      // beyond it the oldest client still sending its request goes
constexpr size_t DESCRIPTORS_KEPT = 32;       // below the process's limit: listener, service, lookups, /proc
constexpr uint32_t LISTENER_REST_MS = 100;    // out of descriptors with no client to close: no spinning
constexpr uint32_t NAMES_EVERY_MS = 60000;    // a server renamed (same count of servers) is relabelled this soon
constexpr int WAIT_MOST_MS = 250;             // Ctrl+C's handler runs on a thread of its own: look this often
constexpr int ARRIVALS_AT_ONCE = 64;          // datagrams or connections taken per wake-up, so neither starves

uint32_t NowMs() {
    static const auto start = std::chrono::steady_clock::now();
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
}

double UnixTimeNow() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// Deadlines on the wrapping millisecond clock.
bool Reached(uint32_t now, uint32_t deadline) { return static_cast<int32_t>(now - deadline) >= 0; }
int MsUntil(uint32_t now, uint32_t deadline) {
    const int32_t left = static_cast<int32_t>(deadline - now);
    return left < 0 ? 0 : left < WAIT_MOST_MS ? left : WAIT_MOST_MS;
}

// A lookup of the status host and the connect after it, on a thread of its own so that a slow
// resolver holds up no scrape. Shared with the thread, which may outlive the loop at exit.
struct Lookup {
    std::atomic<bool> Done{false};
    UdpLink Link;
    std::string Error;
};

struct Exporter {
    std::string Host;
    uint16_t Port = 0;
    UdpLink Link;
    std::shared_ptr<Lookup> Pending;
    bool LookupFailing = false;
    uint32_t NamesAskedAt = 0;
    unsigned char Names[NAMES_BUFFER_SIZE] = {};
    unsigned char Status[STATUS_BUFFER_SIZE] = {};
    char Banner[BANNER_BUFFER_SIZE] = {};
    char Report[REPORT_TEXT_SIZE] = {};
    char ArrivedReport[REPORT_TEXT_SIZE] = {};
    DecodeResults Arrived;     // the report decoded when its answer arrived
    StatusClient Client;
    Settings Options;
    ExporterMetrics Metrics;
    bool TimerArmed = false;
    uint32_t TimerDue = 0;
    bool Failed = false;
    intptr_t Listener = -1;
    uint32_t ListenerRestsUntil = 0;
    bool ListenerResting = false;
    std::vector<std::unique_ptr<HttpConnection>> Connections;  // in no order
    uint64_t Arrivals = 0;
    std::vector<NetWaitItem> Waits;
};

Exporter& Of(void* context) { return *static_cast<Exporter*>(context); }

// The connections the descriptor limit leaves room for; the limit may change while the exporter runs
// (prlimit), and a wait on more sockets than it allows fails.
size_t ConnectionsMost() {
    const size_t limit = NetDescriptorLimit();
    return std::min(CONNECTIONS_MOST, limit > 2 * DESCRIPTORS_KEPT ? limit - DESCRIPTORS_KEPT : limit / 2);
}

void StartLookup(Exporter& e) {
    auto lookup = std::make_shared<Lookup>();
    e.Pending = lookup;
    std::thread([lookup, host = e.Host, port = e.Port] {
        UdpConnect(host, port, lookup->Link, lookup->Error);
        lookup->Done = true;
    }).detach();
}

// The poll cycle asks for the link at start, while the host cannot be found (at its back-off's pace)
// and when a report has gone stale (the service may have moved). A tick takes the link of a lookup
// done since the one before, or starts one.
StatusLink OpenLink(Exporter& e, std::string& host) {
    host = e.Host;
    if (e.Pending && e.Pending->Done) {
        const std::shared_ptr<Lookup> lookup = std::move(e.Pending);
        if (lookup->Link.Socket != -1) {
            UdpClose(e.Link);
            e.Link = lookup->Link;
            e.LookupFailing = false;
            return StatusLink::Ready;
        }
        ++e.Metrics.Unresolved;
        if (!e.LookupFailing) std::fprintf(stderr, "tallowin-query: %s; trying again\n", lookup->Error.c_str());
        e.LookupFailing = true;
    }
    if (!e.Pending) StartLookup(e);
    return StatusLink::NotFound;
}

void SendCode(Exporter& e, const unsigned char* code, uint32_t now) {
    if (code == REQ_NAMES) e.NamesAskedAt = now;
    UdpSend(e.Link, code, REQUEST_SIZE);
    ++e.Metrics.Requests;
}

// A request of the poll cycle; the names go with a status request once a minute, so that a rename
// shows soon.
void SendRequest(Exporter& e, const unsigned char* code) {
    const uint32_t now = NowMs();
    SendCode(e, code, now);
    if (code == REQ_STATUS && now - e.NamesAskedAt >= NAMES_EVERY_MS) SendCode(e, REQ_NAMES, now);
}

// The poll cycle's outside world: no tray, no balloons and no history. Its ticks ask; the report is
// taken when its answer arrives.
PollHost HostOf(Exporter& e) {
    return PollHost{
        &e,
        [](void* c, unsigned) { Of(c).TimerArmed = false; },
        [](void* c, std::string& host) { return OpenLink(Of(c), host); },
        [](void*) { return 0; },  // the loop itself waits for the socket
        [](void* c, const char* text) {
            std::fprintf(stderr, "tallowin-query: %s\n", text);
            Of(c).Failed = true;
        },
        [](void*) { return NowMs(); },
        [](void*) { return 0u; },
        [](void* c, const unsigned char* code) { SendRequest(Of(c), code); },
        [](void*, TrayIcon, const char*, int32_t) {},
        [](void*) { return false; },
        [](void*, const AlertNotice&) { return false; },
        [](void*, const AlertNotice&) {},
        [](void*, char* hhmm) { hhmm[0] = 0; },
        [](void* c, const char*, bool) { NoteTick(Of(c).Metrics); },
        [](void* c, unsigned event, uint32_t interval) -> unsigned {
            Of(c).TimerArmed = true;
            Of(c).TimerDue = NowMs() + interval;
            return event;
        }};
}

// A new status answer, or new names for the held one, is decoded at once: the page shows it at the
// next scrape, dated by the status answer's arrival.
void TakeReport(Exporter& e) {
    StatusBuffers& b = e.Client.Buffers;
    if (b.NamesBuffer[0] == 0 || b.StatusBuffer[0] == 0) return;
    if (!DecodeStatus(e.Arrived, "", e.ArrivedReport, b.NamesBuffer, b.NamesLength, b.StatusBuffer, b.StatusLength)) {
        ++e.Metrics.Undecodable;
        return;
    }
    NoteReport(e.Metrics, e.Arrived, b.LastStatusTick, UnixTimeNow() - (NowMs() - b.LastStatusTick) / 1000.0);
}

void ReceiveAnswers(Exporter& e) {
    unsigned char datagram[RECEIVE_SIZE];
    for (int k = 0; k < ARRIVALS_AT_ONCE; ++k) {
        const long n = UdpReceive(e.Link, datagram, sizeof datagram, 0);
        if (n == 0) return;
        if (n == UDP_OVERSIZE) ++e.Metrics.Oversize;
        if (n < 0) continue;  // a refusal (ICMP): the next tick counts the silence
        const DispatchOutcome outcome = DispatchDatagram(e.Client.Buffers, datagram, static_cast<size_t>(n), NowMs());
        if (outcome == DispatchOutcome::Invalid || outcome == DispatchOutcome::ReadError) {
            ++e.Metrics.Invalid;
            continue;
        }
        ++e.Metrics.Answers;
        if (outcome == DispatchOutcome::StoredStatus || outcome == DispatchOutcome::StoredNames) TakeReport(e);
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
        if (request.Route == HttpRoute::Metrics)
            HttpAnswer(c, request, ScrapedReport(e.Metrics, now), ScrapedTail(e.Metrics, now, ReadProcessFigures()));
        else
            HttpAnswer(c, request, nullptr, std::string());
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

// Makes room for a new client: the one that has waited longest without its answer under way goes.
// False when every client is being answered.
bool CloseOldestIdle(Exporter& e) {
    auto oldest = e.Connections.end();
    for (auto it = e.Connections.begin(); it != e.Connections.end(); ++it)
        if ((*it)->Phase != HttpPhase::Writing &&
            (oldest == e.Connections.end() || (*it)->Arrival < (*oldest)->Arrival))
            oldest = it;
    if (oldest == e.Connections.end()) return false;
    Close(**oldest);
    e.Connections.erase(oldest);
    return true;
}

void Accept(Exporter& e, uint32_t now) {
    for (int k = 0; k < ARRIVALS_AT_ONCE; ++k) {
        bool outOfDescriptors = false;
        const bool full = e.Connections.size() >= ConnectionsMost();
        const intptr_t s = full && !CloseOldestIdle(e) ? -1 : NetAccept(e.Listener, outOfDescriptors);
        if (s == -1) {
            // A client left waiting keeps the listener ready: make room, or rest it rather than spin.
            if (outOfDescriptors && CloseOldestIdle(e)) continue;
            if (full || outOfDescriptors) {
                e.ListenerResting = true;
                e.ListenerRestsUntil = now + LISTENER_REST_MS;
            }
            return;
        }
        auto c = std::make_unique<HttpConnection>();
        c->Socket = s;
        c->Arrival = ++e.Arrivals;
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
    while (e.Connections.size() > ConnectionsMost() && CloseOldestIdle(e)) {
    }
    if (e.ListenerResting && Reached(now, e.ListenerRestsUntil)) e.ListenerResting = false;
    int timeout = e.TimerArmed ? MsUntil(now, e.TimerDue) : WAIT_MOST_MS;
    if (e.ListenerResting) timeout = std::min(timeout, MsUntil(now, e.ListenerRestsUntil));
    e.Waits.clear();
    e.Waits.push_back(NetWaitItem{e.Listener, !e.ListenerResting, false, false, false, false});
    for (const auto& c : e.Connections) {
        const bool writing = c->Phase == HttpPhase::Writing;
        e.Waits.push_back(NetWaitItem{c->Socket, !writing, writing, false, false, false});
        timeout = std::min(timeout, MsUntil(now, c->Deadline));
    }
    const bool linked = e.Link.Socket != -1;
    if (linked) e.Waits.push_back(NetWaitItem{e.Link.Socket, true, false, false, false, false});
    // A failed wait (a signal, which the caller looks at) leaves every item not ready; deadlines still count.
    NetWait(e.Waits.data(), e.Waits.size(), timeout);
    now = NowMs();
    if (linked && (e.Waits.back().Readable || e.Waits.back().Broken)) ReceiveAnswers(e);  // a refusal is read to clear it
    for (size_t i = 0; i < e.Connections.size(); ++i) {
        HttpConnection& c = *e.Connections[i];
        Service(e, c, e.Waits[i + 1], now);
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
    std::string listenHost;
    uint16_t listenPort = 0;
    if (!ParseListenAddress(listenAddress, listenHost, listenPort)) {
        std::fprintf(stderr, "tallowin-query: --listen wants a numeric address and a port, like %s, [::1]:24253 or "
                             ":24253 (every interface)\n", DEFAULT_LISTEN_ADDRESS);
        return 2;
    }
    auto e = std::make_unique<Exporter>();
    std::string error;
    e->Listener = NetListen(listenHost, listenPort, error);
    if (e->Listener == -1) {
        std::fprintf(stderr, "tallowin-query: cannot listen on %s: %s\n", listenAddress.c_str(), error.c_str());
        return 2;
    }
    e->Host = host;
    e->Port = port;
    // The first lookup is done here, so that the first tick has its link.
    e->Pending = std::make_shared<Lookup>();
    UdpConnect(host, port, e->Pending->Link, e->Pending->Error);
    e->Pending->Done = true;
    e->Client.Buffers = StatusBuffers{e->Names, 0, e->Status, 0, e->Banner, 0};
    e->Client.ReportText = e->Report;
    SetDefaultSettings(e->Options);  // no primary server and no watch list: the alerts stay silent
    e->Metrics.Version = TALLOWIN_VERSION;
    e->Metrics.StartTime = UnixTimeNow();
    NetCatchStop();
    std::fprintf(stderr, "tallowin-query: serving /metrics on %s from %s:%u\n", listenAddress.c_str(), host.c_str(),
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
