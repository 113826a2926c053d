// Tests of the serve command's metrics page and HTTP request reader.
#include <gtest/gtest.h>

#include <string>

#include "query/exposition.h"
#include "query/http.h"

using namespace std::string_literals;

namespace {
std::string Page(const ExporterMetrics& m) { return *m.Page; }

void Report(ExporterMetrics& m, StatusClient& client, std::vector<ServerEntry> servers, uint32_t now) {
    client.Decode.ServerList = std::move(servers);
    client.Decode.TotalPlayers = 0;
    for (const ServerEntry& s : client.Decode.ServerList) client.Decode.TotalPlayers += s.Players > 0 ? s.Players : 0;
    ++client.ObservedAnswers;
    ++m.Answers;
    NoteTick(m, client, "Servers\t...", true, now);
}

HttpRequest Read(const std::string& text) {
    return ReadHttpRequest(reinterpret_cast<const unsigned char*>(text.data()), text.size());
}
}  // namespace

TEST(Exposition, HostileNamesDownServersAndDroppedOnes) {
    ExporterMetrics m;
    StatusClient client;
    StartMetrics(m, 1000);
    NoteTick(m, client, WAITING_FOR_NAMES_TEXT, false, 1000);  // the first tick: nothing was asked before it
    EXPECT_EQ(Page(m).find("tallowin_server"), std::string::npos);
    const std::string cor = "C\x7F\xC2\x80\xC3\xB6r\xC3\xBF";  // "C\x7F\x80\xF6r\xFF" in Latin-1
    Report(m, client, {{"Back\\slash", 5, -1}, {"Say \"hi\"\nnow", 0, 12}, {"C\x7F\x80\xF6r\xFF", -1, 0},
                       {"Back\\slash", 9, 3}}, 2000);
    for (const std::string& line : {"tallowin_server_players{server=\"Back\\\\slash\"} 5\n"s,
                                    "tallowin_server_up{server=\"Say \\\"hi\\\"\\nnow\"} 1\n"s,
                                    "tallowin_server_players{server=\"" + cor + "\"} 0\n",
                                    "tallowin_server_up{server=\"" + cor + "\"} 0\n",
                                    "tallowin_server_zones{server=\"" + cor + "\"} 0\n", "tallowin_players 14\n"s,
                                    "tallowin_report_fresh 1\n"s, "tallowin_failures_total{reason=\"silent\"} 0\n"s})
        EXPECT_NE(Page(m).find(line), std::string::npos) << line;
    // The first-group server has no zones, and a name given twice is shown once.
    EXPECT_EQ(Page(m).find("tallowin_server_zones{server=\"Back"), std::string::npos);
    EXPECT_EQ(Page(m).find("slash\"} 9"), std::string::npos);
    EXPECT_NE(MetricsAgeText(m, 4500).find("\ntallowin_report_age_seconds 2.500\n"), std::string::npos);

    Report(m, client, {{"C\x7F\x80\xF6r\xFF", 40, 2}}, 3000);
    EXPECT_EQ(Page(m).find("Back"), std::string::npos);
    EXPECT_NE(Page(m).find("tallowin_server_up{server=\"" + cor + "\"} 1\n"), std::string::npos);

    // The same answer decoded again is no new report; silence keeps the last report, not fresh; an
    // answer the decoder turns down is counted.
    NoteTick(m, client, "Servers\t...", true, 10000);
    NoteTick(m, client, WAITING_FOR_STATUS_TEXT, false, 18000);
    ++m.Answers;
    NoteTick(m, client, "Server number mismatch- resubmitting...", false, 33000);
    for (const std::string& line : {"tallowin_server_players{server=\"" + cor + "\"} 40\n", "tallowin_report_fresh 0\n"s,
                                    "tallowin_failures_total{reason=\"silent\"} 2\n"s,
                                    "tallowin_failures_total{reason=\"undecodable\"} 1\n"s})
        EXPECT_NE(Page(m).find(line), std::string::npos) << line;
    EXPECT_NE(MetricsAgeText(m, 33000).find(" 30.000\n"), std::string::npos);
}

TEST(Exposition, AnyNameKeepsEveryLineASampleOrComment) {
    std::string every;
    for (int c = 1; c < 256; ++c) every += static_cast<char>(c);
    ExporterMetrics m;
    StatusClient client;
    StartMetrics(m, 0);
    Report(m, client, {{every, 1, 1}}, 0);
    const std::string page = Page(m);
    for (size_t at = 0; at < page.size(); at = page.find('\n', at) + 1)
        EXPECT_TRUE(page.compare(at, 2, "# ") == 0 || page.compare(at, 9, "tallowin_") == 0) << page.substr(at, 40);
}

TEST(HttpRequestReader, Table) {
    const std::string padding(HTTP_HEAD_LIMIT, 'a');
    const std::string head = "GET /metrics HTTP/1.1\r\nX: ";
    struct Case {
        std::string text;
        HttpRoute route;
        bool headOnly = false;
    };
    const Case cases[] = {
        {"GET /metrics HTTP/1.1\r\nHost: a:1\r\nAccept: */*\r\n\r\n", HttpRoute::Metrics},
        {"GET /metrics?x=1 HTTP/1.0\n\n", HttpRoute::Metrics},
        {"HEAD /metrics HTTP/1.1\r\n\r\n", HttpRoute::Metrics, true},
        {"GET / HTTP/1.1\r\nX: \xE9t\xE9\r\n\r\n", HttpRoute::Index},
        {"GET /metricsx HTTP/1.1\r\n\r\n", HttpRoute::NotFound},
        {"GET /metrics/ HTTP/1.1\r\n\r\n", HttpRoute::NotFound},
        {"POST /metrics HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc", HttpRoute::MethodNotAllowed},
        {"get /metrics HTTP/1.1\r\n\r\n", HttpRoute::MethodNotAllowed},
        {"GET /metrics HTTP/1.1\r\nHost: a\r\n", HttpRoute::Incomplete},
        {"GET /metrics HTTP/1.1\r", HttpRoute::Incomplete},
        {"GET /met", HttpRoute::Incomplete},
        {"GET  /metrics HTTP/1.1\r\n\r\n", HttpRoute::BadRequest},
        {"GET metrics HTTP/1.1\r\n\r\n", HttpRoute::BadRequest},
        {"GET /metrics HTTP/2.0\r\n\r\n", HttpRoute::BadRequest},
        {"GET /metrics HTTP/1.x\r\n\r\n", HttpRoute::BadRequest},
        {" /metrics HTTP/1.1\r\n\r\n", HttpRoute::BadRequest},
        {"GET /metrics HTTP/1.1\r\nNo colon\r\n\r\n", HttpRoute::BadRequest},
        {"GET /metrics HTTP/1.1\r\nX: a\r\n folded\r\n\r\n", HttpRoute::BadRequest},
        {"GET /metrics HTTP/1.1\r\nX: a\rb\r\n\r\n", HttpRoute::BadRequest},
        {"GET /metrics HTTP/1.1\r\nX: \0\r\n\r\n"s, HttpRoute::BadRequest},
        {"\x16\x03\x01\x02\x00\x01", HttpRoute::BadRequest},  // a TLS hello, before any line ends
        {head + padding.substr(0, HTTP_HEAD_LIMIT - head.size() - 4) + "\r\n\r\n", HttpRoute::Metrics},
        {head + padding.substr(0, HTTP_HEAD_LIMIT - head.size() - 3) + "\r\n\r\n", HttpRoute::TooLarge},
        {"GET /" + padding.substr(0, HTTP_HEAD_LIMIT - 5), HttpRoute::TooLarge},
    };
    for (const Case& c : cases) {
        const HttpRequest request = Read(c.text);
        EXPECT_EQ(request.Route, c.route) << c.text.substr(0, 60);
        EXPECT_EQ(request.HeadOnly, c.headOnly) << c.text.substr(0, 60);
    }
}

TEST(HttpConnection, ByteByByteAndTheAnswersLength) {
    HttpConnection c;
    HttpRequest request;
    for (const std::string text : {"GET /metrics HTTP/1.1\nHost: a\n\n", "GET /metrics HTTP/1.1\r\nHost: a\r\n\r\n"}) {
        c = HttpConnection{};
        for (size_t i = 0; i < text.size(); ++i) {
            c.In[c.Received] = static_cast<unsigned char>(text[i]);
            request = HttpTakeBytes(c, 1);
            EXPECT_EQ(request.Route == HttpRoute::Incomplete, i + 1 < text.size()) << i;
        }
    }
    HttpConnection garbage;
    garbage.In[0] = 0x16;  // a TLS hello's first byte: answered before any line ends
    EXPECT_EQ(HttpTakeBytes(garbage, 1).Route, HttpRoute::BadRequest);
    HttpAnswer(c, request, std::make_shared<const std::string>("page\n"), "tail\n");
    std::string sent;
    for (;;) {
        const char* bytes;
        size_t n;
        HttpPendingOutput(c, bytes, n);
        if (n == 0) break;
        const size_t part = n < 3 ? n : 3;  // as a socket that takes a little at a time
        sent.append(bytes, part);
        c.Sent += part;
    }
    EXPECT_EQ(sent, "HTTP/1.1 200 OK\r\nContent-Type: text/plain; version=0.0.4; charset=utf-8\r\n"
                    "Content-Length: 10\r\nConnection: close\r\n\r\npage\ntail\n");
}

TEST(ListenAddress, Table) {
    struct Case { const char* text; bool ok; uint32_t address; uint16_t port; };
    const Case cases[] = {{"127.0.0.1:24253", true, 0x7F000001, 24253}, {"0.0.0.0:1", true, 0, 1},
                          {"255.255.255.255:65535", true, 0xFFFFFFFF, 65535}, {"256.0.0.1:80", false, 0, 0},
                          {"1.2.3:80", false, 0, 0}, {"1.2.3.4", false, 0, 0}, {"1.2.3.4:0", false, 0, 0},
                          {"1.2.3.4:65536", false, 0, 0}, {"1.2.3.4:80x", false, 0, 0}, {":80", false, 0, 0}};
    for (const Case& c : cases) {
        uint32_t address = 0;
        uint16_t port = 0;
        EXPECT_EQ(ParseListenAddress(c.text, address, port), c.ok) << c.text;
        EXPECT_EQ(address, c.address) << c.text;
        EXPECT_EQ(port, c.port) << c.text;
    }
}
