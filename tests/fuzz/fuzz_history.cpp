// Fuzzes LoadHistory with any bytes: a history that loads bears a report, a trim and a round trip.
#include "tests/fuzz/history_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CheckHistoryAfterLoad(data, size);
    return 0;
}
