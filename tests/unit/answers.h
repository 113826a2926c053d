// Builders of names and status answers for the tests, fuzz seeds and benchmarks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

// FF FF 01 00, the count byte, one unused byte, then each name and its NUL.
Bytes NamesAnswer(const std::vector<std::string>& names, int countByte);
inline Bytes NamesAnswer(const std::vector<std::string>& names) {
    return NamesAnswer(names, static_cast<int>(names.size()));
}

struct GroupRecord {
    uint16_t Players;  // 0xFFFF for DOWN
    uint8_t Zones;     // second group only
};

// FF FF 05 00, N1, the first group's counts, N2, the second group's records (for N1 = 1 the
// usual end-to-end layout; other N1 values use the decoder's positions).
Bytes StatusAnswer(const std::vector<uint16_t>& first, const std::vector<GroupRecord>& second);

Bytes WorkedNames();
Bytes WorkedStatus();
// 127 servers (1 in the first group), names filling a 4096-byte answer.
Bytes LargestNames();
Bytes LargestStatus();
