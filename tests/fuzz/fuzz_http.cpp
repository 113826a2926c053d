// Fuzzes the HTTP request reader fed in pieces, as a connection receives them: nothing is read past
// the bytes, the pieces give the answer reading them at once gives, and a head that has ended or
// filled the room always has its answer.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "query/http.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t piece = data[0] % 16 + 1;  // the first byte sets the size of the pieces
    ++data;
    --size;
    static HttpConnection c;
    c = HttpConnection{};
    HttpRequest request;
    for (size_t fed = 0; fed < size && c.Received < HTTP_HEAD_LIMIT && request.Route == HttpRoute::Incomplete;) {
        const size_t n = std::min({piece, size - fed, HTTP_HEAD_LIMIT - c.Received});
        std::memcpy(c.In + c.Received, data + fed, n);
        fed += n;
        request = HttpTakeBytes(c, n);
    }
    const HttpRequest whole = ReadHttpRequest(data, c.Received);
    if (request.Route != HttpRoute::Incomplete && request.Route != whole.Route) __builtin_trap();
    bool ended = c.Received == HTTP_HEAD_LIMIT;
    for (size_t i = 1; i < c.Received; ++i)
        ended = ended || (data[i] == '\n' && (data[i - 1] == '\n' || (i >= 2 && data[i - 1] == '\r' && data[i - 2] == '\n')));
    if (ended && request.Route == HttpRoute::Incomplete) __builtin_trap();
    return 0;
}
