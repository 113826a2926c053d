// Counts heap allocations: a decode into a list that already has its room allocates nothing, nor do
// the report's history, order and text once its servers are known.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "status/decode.h"
#include "status/history.h"
#include "status/order.h"
#include "status/protocol.h"
#include "tests/unit/answers.h"

namespace {
long allocations = 0;
}

void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

TEST(DecodeAllocations, NoneOnceTheListHasItsRoom) {
    struct Case { const char* what; Bytes names, status; };
    const Case cases[] = {{"worked example", WorkedNames(), WorkedStatus()},
                          {"largest answer, long names", LargestNames(), LargestStatus()}};
    for (const Case& c : cases) {
        DecodeResults results;
        unsigned char names[NAMES_BUFFER_SIZE];
        unsigned char status[STATUS_BUFFER_SIZE];
        static char report[REPORT_TEXT_SIZE];
        std::memcpy(names, c.names.data(), c.names.size());
        std::memcpy(status, c.status.data(), c.status.size());
        const std::string primary = "Beta";
        History history;
        std::vector<size_t> order;
        std::string text;
        uint32_t minute = 1000;
        auto decode = [&] {
            DecodeStatus(results, primary, report, names, static_cast<uint32_t>(c.names.size()), status,
                         static_cast<uint32_t>(c.status.size()));
            AddReport(history, minute++, results.ServerList);
            ServerDisplayOrder(results.ServerList, 2, order);
            EXPECT_TRUE(ReorderReportLines(report, results.ServerList, order, text));
        };
        decode();  // the first decode gives long names their storage
        const long before = allocations;
        for (int i = 0; i < 100; ++i) decode();
        EXPECT_EQ(allocations - before, 0) << c.what;
    }
}

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
