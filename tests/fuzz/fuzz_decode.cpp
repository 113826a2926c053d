// Fuzzes DecodeStatus with arbitrary names and status answers and claimed lengths.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "status/decode.h"
#include "status/protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    // First two bytes split the rest into the names answer and the status answer.
    size_t split = (static_cast<size_t>(data[0]) << 8 | data[1]);
    const uint8_t* rest = data + 2;
    const size_t restSize = size - 2;
    if (split > restSize) split = restSize;
    const size_t namesLength = split > NAMES_BUFFER_SIZE ? NAMES_BUFFER_SIZE : split;
    size_t statusLength = restSize - split;
    if (statusLength > STATUS_BUFFER_SIZE) statusLength = STATUS_BUFFER_SIZE;

    std::vector<unsigned char> names(NAMES_BUFFER_SIZE, 0xAA), status(STATUS_BUFFER_SIZE, 0xBB);
    std::vector<char> report(REPORT_TEXT_SIZE);
    std::memcpy(names.data(), rest, namesLength);
    std::memcpy(status.data(), rest + split, statusLength);
    DecodeResults results;
    const std::string primary(reinterpret_cast<const char*>(rest), namesLength > 8 ? 8 : namesLength);
    for (int pass = 0; pass < 2; ++pass) {
        DecodeStatus(results, primary, report.data(), names.data(), static_cast<uint32_t>(namesLength),
                     status.data(), static_cast<uint32_t>(statusLength));
        if (std::memchr(report.data(), 0, REPORT_TEXT_SIZE) == nullptr) __builtin_trap();
        if (results.ServerList.size() > 127) __builtin_trap();
    }
    return 0;
}
