// Builders of names and status answers for the tests, fuzz seeds and benchmarks.
#include "tests/unit/answers.h"

Bytes NamesAnswer(const std::vector<std::string>& names, int countByte) {
    Bytes bytes = {0xFF, 0xFF, 0x01, 0x00, static_cast<unsigned char>(countByte), 0x00};
    for (const std::string& name : names) {
        bytes.insert(bytes.end(), name.begin(), name.end());
        bytes.push_back(0);
    }
    return bytes;
}

Bytes StatusAnswer(const std::vector<uint16_t>& first, const std::vector<GroupRecord>& second) {
    const size_t n1 = first.size();
    Bytes bytes(6 + 2 * n1 + 4 * second.size() + (n1 == 0 ? 2 : 0), 0);
    bytes[0] = 0xFF; bytes[1] = 0xFF; bytes[2] = 0x05; bytes[3] = 0x00;
    bytes[4] = static_cast<unsigned char>(n1);
    for (size_t j = 0; j < n1; ++j) {
        bytes[5 + 2 * j] = static_cast<unsigned char>(first[j] >> 8);
        bytes[6 + 2 * j] = static_cast<unsigned char>(first[j] & 0xFF);
    }
    bytes[7] = static_cast<unsigned char>(second.size());
    for (size_t m = 0; m < second.size(); ++m) {
        const size_t at = 6 + 2 * n1 + 4 * m;
        bytes[at] = static_cast<unsigned char>(second[m].Players >> 8);
        bytes[at + 1] = static_cast<unsigned char>(second[m].Players & 0xFF);
        bytes[at + 3] = second[m].Zones;
    }
    return bytes;
}

Bytes WorkedNames() { return NamesAnswer({"Alpha", "Beta", "Gamma"}); }
Bytes WorkedStatus() { return StatusAnswer({1234}, {{123, 10}, {0xFFFF, 7}}); }

Bytes LargestNames() {
    // 6 header bytes + 127 names of 31 characters and a NUL = 4070; pad the last name to 4096.
    std::vector<std::string> names;
    for (int i = 0; i < 127; ++i) {
        std::string name = "Server" + std::to_string(1000 + i);
        name.resize(i == 126 ? 31 + 26 : 31, 'x');
        names.push_back(name);
    }
    return NamesAnswer(names);
}

Bytes LargestStatus() {
    std::vector<GroupRecord> second;
    for (int i = 0; i < 126; ++i) second.push_back({static_cast<uint16_t>(100 + 7 * i), static_cast<uint8_t>(i % 60)});
    return StatusAnswer({4321}, second);
}
