// Tests of the serve command's metrics page and HTTP request reader.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "query/exposition.h"
#include "query/http.h"
#include "query/text.h"

using namespace std::string_literals;

namespace {
std::string Page(const ExporterMetrics& m, uint32_t now) {
    const auto report = ScrapedReport(m, now);
    return (report ? *report : std::string()) + ScrapedTail(m, now, ProcessFigures{});
}

DecodeResults Decoded(std::vector<ServerEntry> servers) {
    DecodeResults decode;
    decode.ServerList = std::move(servers);
    for (const ServerEntry& s : decode.ServerList) decode.TotalPlayers += s.Players > 0 ? s.Players : 0;
    return decode;
}

HttpRequest Read(const std::string& text) {
    return ReadHttpRequest(reinterpret_cast<const unsigned char*>(text.data()), text.size());
}

// A label value read back as Prometheus reads it: \\, \" and \n escaped, then UTF-8 to Latin-1.
std::string LabelRead(const std::string& escaped) {
    std::string utf8, latin1 = "not UTF-8 of Latin-1";
    for (size_t i = 0; i < escaped.size(); ++i)
        utf8 += escaped[i] != '\\' ? escaped[i] : escaped[++i] == 'n' ? '\n' : escaped[i];
    Utf8ToLatin1(utf8, latin1);
    return latin1;
}
}  // namespace

TEST(Exposition, HostileNamesDownServersAndAnOutage) {
    ExporterMetrics m;
    NoteTick(m);  // the first tick: nothing was asked before it
    EXPECT_EQ(Page(m, 0).find("tallowin_server"), std::string::npos);
    EXPECT_EQ(Page(m, 0).find("tallowin_last_report"), std::string::npos);  // no date before a report
    EXPECT_NE(Page(m, 0).find("\ntallowin_up 0\n"), std::string::npos);
    const std::string cor = "C\x7F\xC2\x80\xC3\xB6r\xC3\xBF";  // "C\x7F\x80\xF6r\xFF" in Latin-1
    NoteReport(m, Decoded({{"Back\\slash", 5, -1}, {"Say \"hi\"\nnow", 0, 12}, {"C\x7F\x80\xF6r\xFF", -1, 0},
                           {"Back\\slash", 9, 3}, {"", 4, 4}}), 1000, 1700000000.25);
    for (const std::string& line : {"tallowin_server_players{server=\"Back\\\\slash\"} 5\n"s,
                                    "tallowin_server_up{server=\"Say \\\"hi\\\"\\nnow\"} 1\n"s,
                                    "tallowin_server_players{server=\"" + cor + "\"} 0\n",
                                    "tallowin_server_up{server=\"" + cor + "\"} 0\n",
                                    "tallowin_server_zones{server=\"" + cor + "\"} 0\n", "tallowin_players 18\n"s,
                                    "\ntallowin_up 1\n"s, "\ntallowin_last_report_timestamp_seconds 1700000000.25\n"s,
                                    "tallowin_status_failures_total{reason=\"silent\"} 0\n"s})
        EXPECT_NE(Page(m, 30999).find(line), std::string::npos) << line;
    // The first-group server has no zones, a name given twice is shown once, an empty one not at all.
    EXPECT_EQ(Page(m, 1000).find("tallowin_server_zones{server=\"Back"), std::string::npos);
    EXPECT_EQ(Page(m, 1000).find("slash\"} 9"), std::string::npos);
    EXPECT_EQ(Page(m, 1000).find("server=\"\""), std::string::npos);
    // Two polls without a new report: the servers' series go, so that Prometheus marks them stale.
    EXPECT_EQ(Page(m, 31000).find("tallowin_server"), std::string::npos);
    EXPECT_EQ(Page(m, 31000).find("tallowin_players"), std::string::npos);
    EXPECT_NE(Page(m, 31000).find("\ntallowin_up 0\n"), std::string::npos);
    NoteTick(m);
    ++m.Answers;
    NoteTick(m);
    EXPECT_NE(Page(m, 31000).find("tallowin_status_failures_total{reason=\"silent\"} 1\n"), std::string::npos);
}

TEST(Exposition, AnyNameReadsBackFromItsLabel) {
    std::mt19937 random(23);
    for (int round = 0; round < 2000; ++round) {
        std::string name(random() % 24 + 1, ' ');
        for (char& c : name) c = static_cast<char>(random() % 255 + 1);
        ExporterMetrics m;
        NoteReport(m, Decoded({{name, 7, 0}}), 0, 0);  // a zone count of 0 is still shown
        const std::string page = Page(m, 0);
        size_t labels = 0;
        for (size_t at = 0, end; at < page.size(); at = end + 1) {
            end = page.find('\n', at);
            const std::string line = page.substr(at, end - at);
            if (line.compare(0, 2, "# ") == 0) continue;
            EXPECT_TRUE(line.compare(0, 9, "tallowin_") == 0 || line.compare(0, 8, "process_") == 0) << line;
            const size_t open = line.find("{server=\""), close = line.rfind("\"} ");
            if (open == std::string::npos) continue;
            ++labels;
            const std::string value = line.substr(open + 9, close - open - 9);
            EXPECT_EQ(LabelRead(value), name);
            for (size_t i = 0; i < value.size(); ++i)  // a quote ends the value only when not escaped
                if (value[i] == '\\') ++i;
                else EXPECT_NE(value[i], '"') << line;
            EXPECT_TRUE(line.substr(close + 3) == "7" || line.substr(close + 3) == "1" ||
                        line.substr(close + 3) == "0") << line;
        }
        EXPECT_EQ(labels, 3u);
    }
}

TEST(HttpRequestReader, Table) {
    const std::string padding(HTTP_HEAD_LIMIT, 'a');
    const std::string head = "GET /metrics HTTP/1.0\r\nX: ";
    struct Case {
        std::string text;
        HttpRoute route;
        bool headOnly = false;
    };
    const Case cases[] = {
        {"GET /metrics HTTP/1.1\r\nHost: a:1\r\nAccept: */*\r\n\r\n", HttpRoute::Metrics},
        {"GET /metrics?x=1 HTTP/1.0\n\n", HttpRoute::Metrics},
        {"HEAD /metrics HTTP/1.0\r\n\r\n", HttpRoute::Metrics, true},
        {"GET http://a:1/metrics?x HTTP/1.1\r\nhost: a:1\r\n\r\n", HttpRoute::Metrics},
        {"GET HTTPS://a?/metrics HTTP/1.0\r\n\r\n", HttpRoute::Index},  // the host ends at a query
        {"GET / HTTP/1.0\r\nX: \xE9t\xE9\r\n\r\n", HttpRoute::Index},
        {"GET /metricsx HTTP/1.0\r\n\r\n", HttpRoute::NotFound},
        {"GET /metrics/ HTTP/1.0\r\n\r\n", HttpRoute::NotFound},
        {"GET http:/metrics HTTP/1.0\r\n\r\n", HttpRoute::BadRequest},
        {"GET /metrics HTTP/1.1\r\n\r\n", HttpRoute::BadRequest},
        {"GET /metrics HTTP/1.1\r\nHost: a\r\nHOST: b\r\n\r\n", HttpRoute::BadRequest},
        {"POST /metrics HTTP/1.0\r\nContent-Length: 3\r\n\r\nabc", HttpRoute::MethodNotAllowed},
        {"get /metrics HTTP/1.0\r\n\r\n", HttpRoute::MethodNotAllowed},
        {"GET /metrics HTTP/1.1\r\nHost: a\r\n", HttpRoute::Incomplete},
        {"GET /metrics HTTP/1.1\r", HttpRoute::Incomplete},
        {"GET /met", HttpRoute::Incomplete},
        {"GET  /metrics HTTP/1.0\r\n\r\n", HttpRoute::BadRequest},
        {"GET metrics HTTP/1.0\r\n\r\n", HttpRoute::BadRequest},
        {"GET /metrics HTTP/2.0\r\n\r\n", HttpRoute::BadRequest},
        {"GET /metrics HTTP/1.x\r\n\r\n", HttpRoute::BadRequest},
        {" /metrics HTTP/1.0\r\n\r\n", HttpRoute::BadRequest},
        {"GET /metrics HTTP/1.0\r\nNo colon\r\n\r\n", HttpRoute::BadRequest},
        {"GET /metrics HTTP/1.0\r\nX: a\r\n folded\r\n\r\n", HttpRoute::BadRequest},
        {"GET /metrics HTTP/1.0\r\nX: a\rb\r\n\r\n", HttpRoute::BadRequest},
        {"GET /metrics HTTP/1.0\r\nX: \0\r\n\r\n"s, HttpRoute::BadRequest},
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
    struct Case { const char* text; bool ok; const char* host = ""; uint16_t port = 0; };
    const Case cases[] = {{"127.0.0.1:24253", true, "127.0.0.1", 24253}, {"0.0.0.0:1", true, "0.0.0.0", 1},
                          {"255.255.255.255:65535", true, "255.255.255.255", 65535}, {":80", true, "", 80},
                          {"[::1]:9", true, "::1", 9}, {"[::]:9", true, "::", 9}, {"[::ffff:1.2.3.4]:9", true, "::ffff:1.2.3.4", 9},
                          {"0127.0.0.1:80", false}, {"127.0.0.01:80", false}, {"256.0.0.1:80", false}, {"1.2.3:80", false},
                          {"1.2.3.4", false}, {"1.2.3.4:0", false}, {"1.2.3.4:080", false}, {"1.2.3.4:65536", false},
                          {"1.2.3.4:80x", false}, {"1.2.3.4.:80", false}, {"localhost:80", false}, {"::1:80", false},
                          {"[]:80", false}, {"[x::1]:80", false}, {"[::1:80", false}, {"", false}};
    for (const Case& c : cases) {
        std::string host = "unchanged";
        uint16_t port = 0;
        EXPECT_EQ(ParseListenAddress(c.text, host, port), c.ok) << c.text;
        EXPECT_EQ(host, c.ok ? c.host : "unchanged") << c.text;
        EXPECT_EQ(port, c.ok ? c.port : 0) << c.text;
    }
}
