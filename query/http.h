// The exporter's HTTP side without sockets: the request reader, the answers and one connection's state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

constexpr size_t HTTP_HEAD_LIMIT = 8192;  // request line, headers and the blank line after them

enum class HttpRoute { Incomplete, Metrics, Index, BadRequest, NotFound, MethodNotAllowed, TooLarge };

struct HttpRequest {
    HttpRoute Route = HttpRoute::Incomplete;
    bool HeadOnly = false;  // HEAD: the answer's head without its body
};

// What the bytes received so far ask for. Incomplete until the head has ended with a blank line;
// BadRequest as soon as a byte shows it malformed, and for an HTTP/1.1 head without one Host header;
// TooLarge when HTTP_HEAD_LIMIT bytes hold no end. Only GET and HEAD are served; the target is a path
// or an absolute URL (http://host/path), and the query after '?' is ignored.
HttpRequest ReadHttpRequest(const unsigned char* bytes, size_t n);

// The --listen address: "127.0.0.1:24253", "[::1]:24253", or ":24253" for every interface (host
// empty). Only numeric addresses; an IPv4 part with a leading zero, which some readers take as
// octal, is refused.
bool ParseListenAddress(const std::string& text, std::string& host, uint16_t& port);

enum class HttpPhase { Reading, Writing, Draining };

// One client. Its answer is a head, the page shared with other clients (kept alive while it is
// sent, even when a tick has built a new one) and a tail.
struct HttpConnection {
    intptr_t Socket = -1;
    HttpPhase Phase = HttpPhase::Reading;
    uint64_t Arrival = 0;   // its place among the connections accepted, oldest first
    uint32_t Deadline = 0;  // ms clock; the phase ends here, and the connection with it
    unsigned char In[HTTP_HEAD_LIMIT];
    size_t Received = 0;
    bool LineChecked = false;   // the request line has been read whole
    std::string Head, Tail;
    std::shared_ptr<const std::string> Page;
    size_t Sent = 0;
};

// Takes n more bytes, just received after the others in In; says what the request asks for once it
// can. The request is read at most twice whatever the bytes arrive in, not once per arrival.
HttpRequest HttpTakeBytes(HttpConnection& connection, size_t n);
// Puts the answer to a request in place; page (which may be null) and tail are the metrics, used for
// a metrics request.
void HttpAnswer(HttpConnection& connection, const HttpRequest& request,
                const std::shared_ptr<const std::string>& page, const std::string& tail);
// The next bytes of the answer to send; n is 0 once all are sent.
void HttpPendingOutput(const HttpConnection& connection, const char*& bytes, size_t& n);
