// Fuzzes LoadHistory past its checksum: the last four bytes are made the CRC-32 of the rest, so
// that the fuzzer's changes reach the reader of the servers and their minutes.
#include <vector>

#include "tests/fuzz/history_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> sealed(data, data + size);
    if (sealed.size() >= 4) {
        uint32_t crc = 0xFFFFFFFFu;
        for (size_t i = 0; i + 4 < sealed.size(); ++i) {
            crc ^= sealed[i];
            for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
        }
        crc ^= 0xFFFFFFFFu;
        for (size_t i = 0; i < 4; ++i) sealed[sealed.size() - 4 + i] = static_cast<uint8_t>(crc >> (8 * i));
    }
    CheckHistoryAfterLoad(sealed.data(), sealed.size());
    return 0;
}
