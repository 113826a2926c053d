// Fuzzes the receive dispatch followed by a decode: datagrams of any content and length.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "status/decode.h"
#include "status/protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Heap buffers of their exact sizes, so that ASan sees any access past them.
    std::vector<unsigned char> names(NAMES_BUFFER_SIZE), status(STATUS_BUFFER_SIZE);
    std::vector<char> banner(BANNER_BUFFER_SIZE), report(REPORT_TEXT_SIZE);
    StatusBuffers buffers{names.data(), 0, status.data(), 0, banner.data(), 0};
    DecodeResults results;
    // Each datagram: two length bytes (big-endian, up to 4097), then that many bytes.
    size_t pos = 0;
    uint32_t now = 0;
    while (pos + 2 <= size) {
        size_t n = (static_cast<size_t>(data[pos]) << 8 | data[pos + 1]) % (RECEIVE_SIZE + 2);
        pos += 2;
        if (n > size - pos) n = size - pos;
        std::vector<unsigned char> datagram(data + pos, data + pos + n);
        pos += n;
        const DispatchOutcome outcome = DispatchDatagram(buffers, datagram.data(), datagram.size(), now++);
        if (outcome == DispatchOutcome::BannerReady && std::strlen(BannerBoxText(buffers)) >= BANNER_BUFFER_SIZE)
            __builtin_trap();
        if (names[0] != 0 && status[0] != 0) {
            DecodeStatus(results, "Beta", report.data(), names.data(), buffers.NamesLength, status.data(),
                         buffers.StatusLength);
            if (std::strlen(report.data()) >= REPORT_TEXT_SIZE) __builtin_trap();
        }
    }
    return 0;
}
