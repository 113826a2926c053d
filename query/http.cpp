// The exporter's HTTP side without sockets: the request reader, the answers and one connection's state.
#include "query/http.h"

#include <cstring>
#include <string>

namespace {
// A read position over bytes from the network: nothing is read at or past Size, whatever they say.
struct ByteCursor {
    const unsigned char* Bytes;
    size_t Size;
    size_t At = 0;

    bool AtEnd() const { return At >= Size; }
    unsigned char Peek() const { return At < Size ? Bytes[At] : 0; }
    bool Take(unsigned char c) {
        if (At >= Size || Bytes[At] != c) return false;
        ++At;
        return true;
    }
    size_t TakeWhile(bool (*fits)(unsigned char)) {
        const size_t start = At;
        while (At < Size && fits(Bytes[At])) ++At;
        return At - start;
    }
};

enum class Step { Done, More, Bad };

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsTokenChar(unsigned char c) {
    return IsDigit(c) || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') ||
           (c != 0 && std::strchr("!#$%&'*+-.^_`|~", c) != nullptr);
}
bool IsTargetChar(unsigned char c) { return c > 0x20 && c < 0x7F; }
// A header value: tab, visible characters, space, and bytes of other character sets (obs-text).
bool IsValueChar(unsigned char c) { return c == '\t' || (c >= 0x20 && c != 0x7F); }

struct Span {
    size_t At = 0, Length = 0;
};

// A run of at least one byte that fits, then the byte `after`.
Step Field(ByteCursor& in, bool (*fits)(unsigned char), unsigned char after, Span& span) {
    span.At = in.At;
    span.Length = in.TakeWhile(fits);
    if (in.AtEnd()) return Step::More;
    return span.Length > 0 && in.Take(after) ? Step::Done : Step::Bad;
}

Step Literal(ByteCursor& in, const char* text) {
    for (; *text; ++text) {
        if (in.AtEnd()) return Step::More;
        if (!in.Take(static_cast<unsigned char>(*text))) return Step::Bad;
    }
    return Step::Done;
}

// CR LF, or a bare LF.
Step LineEnd(ByteCursor& in) {
    in.Take('\r');
    if (in.AtEnd()) return Step::More;
    return in.Take('\n') ? Step::Done : Step::Bad;
}

unsigned char Lower(unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c; }

bool SpanIsFolded(const unsigned char* bytes, const Span& span, const char* text) {
    if (span.Length != std::strlen(text)) return false;
    for (size_t i = 0; i < span.Length; ++i)
        if (Lower(bytes[span.At + i]) != static_cast<unsigned char>(text[i])) return false;
    return true;
}

struct Head {
    Span Method, Target;
    unsigned char Minor = 0;  // HTTP/1.x
    int Hosts = 0;            // Host header lines
};

Step ReadHead(ByteCursor& in, Head& head) {
    Step step = Field(in, IsTokenChar, ' ', head.Method);
    if (step == Step::Done) step = Field(in, IsTargetChar, ' ', head.Target);
    if (step == Step::Done) step = Literal(in, "HTTP/1.");
    if (step != Step::Done) return step;
    if (in.AtEnd()) return Step::More;
    if (!IsDigit(in.Peek())) return Step::Bad;
    head.Minor = static_cast<unsigned char>(in.Bytes[in.At++] - '0');
    if ((step = LineEnd(in)) != Step::Done) return step;
    for (;;) {
        if (in.AtEnd()) return Step::More;
        if (in.Peek() == '\r' || in.Peek() == '\n') return LineEnd(in);
        Span name;
        if ((step = Field(in, IsTokenChar, ':', name)) != Step::Done) return step;
        if (SpanIsFolded(in.Bytes, name, "host")) ++head.Hosts;
        in.TakeWhile(IsValueChar);
        if ((step = LineEnd(in)) != Step::Done) return step;
    }
}

// The path of a target in origin form (/metrics) or absolute form (http://host:port/metrics, whose
// empty path is /); false for any other form.
bool TargetPath(const unsigned char* bytes, const Span& target, Span& path) {
    path = target;
    if (bytes[target.At] != '/') {
        for (const char* scheme : {"http://", "https://"}) {
            const Span start{target.At, std::strlen(scheme)};
            if (target.Length < start.Length || !SpanIsFolded(bytes, start, scheme)) continue;
            size_t at = target.At + start.Length;
            const size_t end = target.At + target.Length;
            while (at < end && bytes[at] != '/' && bytes[at] != '?') ++at;
            path = Span{at, end - at};
            return true;
        }
        return false;
    }
    return true;
}

bool SpanIs(const unsigned char* bytes, const Span& span, const char* text) {
    return span.Length == std::strlen(text) && std::memcmp(bytes + span.At, text, span.Length) == 0;
}

const char* const INDEX_PAGE =
    "<!DOCTYPE html>\n<html><head><title>Tallowin exporter</title></head>\n<body><h1>Tallowin exporter</h1>\n"
    "<p>The player counts of EverQuest's servers for Prometheus: <a href=\"/metrics\">/metrics</a></p>\n"
    "</body></html>\n";
}  // namespace

HttpRequest ReadHttpRequest(const unsigned char* bytes, size_t n) {
    ByteCursor in{bytes, n < HTTP_HEAD_LIMIT ? n : HTTP_HEAD_LIMIT};
    Head head;
    const Step step = ReadHead(in, head);
    HttpRequest request;
    if (step == Step::More) {
        request.Route = n >= HTTP_HEAD_LIMIT ? HttpRoute::TooLarge : HttpRoute::Incomplete;
        return request;
    }
    Span path;
    // HTTP/1.1 names its host exactly once.
    if (step == Step::Bad || head.Hosts > 1 || (head.Minor >= 1 && head.Hosts == 0) ||
        !TargetPath(bytes, head.Target, path)) {
        request.Route = HttpRoute::BadRequest;
        return request;
    }
    request.HeadOnly = SpanIs(bytes, head.Method, "HEAD");
    if (!request.HeadOnly && !SpanIs(bytes, head.Method, "GET")) {
        request.Route = HttpRoute::MethodNotAllowed;
        return request;
    }
    const void* query = std::memchr(bytes + path.At, '?', path.Length);
    if (query) path.Length = static_cast<size_t>(static_cast<const unsigned char*>(query) - (bytes + path.At));
    request.Route = SpanIs(bytes, path, "/metrics")                    ? HttpRoute::Metrics
                    : path.Length == 0 || SpanIs(bytes, path, "/")     ? HttpRoute::Index
                                                                       : HttpRoute::NotFound;
    return request;
}

namespace {
// Four parts of one to three digits, none above 255 and none with a leading zero.
bool IsPlainIpv4(const std::string& text) {
    ByteCursor in{reinterpret_cast<const unsigned char*>(text.data()), text.size()};
    for (int part = 0; part < 4; ++part) {
        const size_t start = in.At, digits = in.TakeWhile(IsDigit);
        if (digits == 0 || digits > 3 || (digits > 1 && text[start] == '0') || std::stoi(text.substr(start, digits)) > 255)
            return false;
        if (part < 3 && !in.Take('.')) return false;
    }
    return in.AtEnd();
}
}  // namespace

bool ParseListenAddress(const std::string& text, std::string& host, uint16_t& port) {
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos) return false;
    std::string address = text.substr(0, colon);
    const std::string portText = text.substr(colon + 1);
    if (portText.empty() || portText.size() > 5 || portText[0] == '0' ||
        portText.find_first_not_of("0123456789") != std::string::npos || std::stoul(portText) > 65535)
        return false;
    if (address.size() >= 2 && address.front() == '[' && address.back() == ']') {
        address = address.substr(1, address.size() - 2);  // the system's reader of addresses checks the rest
        if (address.find(':') == std::string::npos || address.find_first_not_of("0123456789abcdefABCDEF:.") != std::string::npos)
            return false;
    } else if (!address.empty() && !IsPlainIpv4(address)) {
        return false;
    }
    host = address;
    port = static_cast<uint16_t>(std::stoul(portText));
    return true;
}

HttpRequest HttpTakeBytes(HttpConnection& c, size_t n) {
    const size_t start = c.Received;
    c.Received += n;
    bool lineEnds = false, headEnds = false, oddByte = false;
    for (size_t i = start; i < c.Received && !headEnds; ++i) {
        oddByte = oddByte || ((c.In[i] < 0x20 || c.In[i] > 0x7E) && c.In[i] != '\r' && c.In[i] != '\n');
        if (c.In[i] != '\n') continue;
        lineEnds = true;
        headEnds = (i >= 1 && c.In[i - 1] == '\n') || (i >= 2 && c.In[i - 1] == '\r' && c.In[i - 2] == '\n');
    }
    // The whole head is read when it has ended or filled the room, and once before that as soon as
    // its first line is in, or shows a byte no request line has, so that garbage is answered at once.
    const bool firstLine = !c.LineChecked && (lineEnds || oddByte);
    if (!headEnds && c.Received < HTTP_HEAD_LIMIT && !firstLine) return HttpRequest{};
    c.LineChecked = true;
    return ReadHttpRequest(c.In, c.Received);
}

void HttpAnswer(HttpConnection& c, const HttpRequest& request, const std::shared_ptr<const std::string>& page,
                const std::string& tail) {
    const char* status = "400 Bad Request";
    const char* type = "text/plain; charset=utf-8";
    const char* body = "Bad request\n";
    switch (request.Route) {
    case HttpRoute::Metrics: status = "200 OK"; type = "text/plain; version=0.0.4; charset=utf-8"; body = ""; break;
    case HttpRoute::Index: status = "200 OK"; type = "text/html; charset=utf-8"; body = INDEX_PAGE; break;
    case HttpRoute::NotFound: status = "404 Not Found"; body = "Not found: the metrics are at /metrics\n"; break;
    case HttpRoute::MethodNotAllowed: status = "405 Method Not Allowed"; body = "Only GET and HEAD are served\n"; break;
    case HttpRoute::TooLarge: status = "431 Request Header Fields Too Large"; body = "Request head over 8 KB\n"; break;
    default: break;
    }
    const bool metrics = request.Route == HttpRoute::Metrics;
    const size_t length = metrics ? (page ? page->size() : 0) + tail.size() : std::strlen(body);
    c.Head.assign("HTTP/1.1 ").append(status).append("\r\nContent-Type: ").append(type);
    c.Head.append("\r\nContent-Length: ").append(std::to_string(length));
    if (request.Route == HttpRoute::MethodNotAllowed) c.Head.append("\r\nAllow: GET, HEAD");
    c.Head.append("\r\nConnection: close\r\n\r\n");
    if (!request.HeadOnly) {
        if (metrics) {
            c.Page = page;
            c.Tail = tail;
        } else {
            c.Head.append(body);
        }
    }
    c.Sent = 0;
    c.Phase = HttpPhase::Writing;
}

void HttpPendingOutput(const HttpConnection& c, const char*& bytes, size_t& n) {
    size_t at = c.Sent;
    const std::string* pieces[] = {&c.Head, c.Page.get(), &c.Tail};
    for (const std::string* piece : pieces) {
        if (piece == nullptr) continue;
        if (at < piece->size()) {
            bytes = piece->data() + at;
            n = piece->size() - at;
            return;
        }
        at -= piece->size();
    }
    bytes = nullptr;
    n = 0;
}
