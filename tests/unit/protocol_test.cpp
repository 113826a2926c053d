// Tests of the receive dispatch: which buffer each datagram reaches and what it leaves alone.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "status/protocol.h"

namespace {
using Bytes = std::vector<unsigned char>;

struct Receiver {
    unsigned char names[NAMES_BUFFER_SIZE] = {};
    unsigned char status[STATUS_BUFFER_SIZE] = {};
    char banner[BANNER_BUFFER_SIZE] = {};
    StatusBuffers buffers{names, 0, status, 0, banner, 0};

    DispatchOutcome Receive(const Bytes& datagram, uint32_t now = 777) {
        return DispatchDatagram(buffers, datagram.data(), datagram.size(), now);
    }
};

Bytes WithCode(const unsigned char* code, const std::string& payload) {
    Bytes bytes(code, code + REQUEST_SIZE);
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return bytes;
}
}  // namespace

TEST(Notification, ErrorWordWinsOverEvent) {
    EXPECT_EQ(ClassifyNotification(0x00010001u), NotifyAction::NotificationError);
    EXPECT_EQ(ClassifyNotification(0x27100020u), NotifyAction::NotificationError);
    EXPECT_EQ(ClassifyNotification(0x00000001u), NotifyAction::Receive);
    EXPECT_EQ(ClassifyNotification(0x00000002u), NotifyAction::Ignore);
    EXPECT_EQ(ClassifyNotification(0x00000003u), NotifyAction::Ignore);  // FD_READ | FD_WRITE
}

TEST(Dispatch, OnlyAStatusAnswerRefreshesTheTick) {
    const std::vector<Bytes> invalid = {
        {}, {0xFF}, {0xFF, 0xFF}, {0xFF, 0xFF, 0x01}, {0xFF, 0xFF, 0x02, 0x00}, {0xFF, 0xFF, 0x01, 0x01, 9},
        {0x00, 0xFF, 0x01, 0x00}};
    for (const Bytes& datagram : invalid) {
        Receiver r;
        r.names[0] = 0x11;
        EXPECT_EQ(r.Receive(datagram, 4242), DispatchOutcome::Invalid) << datagram.size();
        EXPECT_STREQ(DispatchOutcomeText(DispatchOutcome::Invalid), "Invalid response received");
        EXPECT_EQ(r.buffers.LastStatusTick, 0u);
        EXPECT_EQ(r.names[0], 0x11);
        EXPECT_EQ(r.buffers.NamesLength, 0u);
        EXPECT_EQ(r.status[0], 0);
        EXPECT_EQ(r.banner[0], 0);
    }
}

TEST(Dispatch, AnswersAreStoredWholeWithTheirLengths) {
    Receiver r;
    EXPECT_EQ(r.Receive(Bytes(REQ_NAMES, REQ_NAMES + 4)), DispatchOutcome::StoredNames);
    EXPECT_EQ(r.buffers.NamesLength, 4u);
    EXPECT_EQ(0, std::memcmp(r.names, REQ_NAMES, 4));
    r.Receive(WithCode(REQ_BANNER, "news"), 555);
    EXPECT_EQ(r.buffers.LastStatusTick, 0u);  // names and banners say nothing of the counts' age

    const Bytes status = WithCode(REQ_STATUS, std::string("\x01\x04\xD2\x00", 4));
    EXPECT_EQ(r.Receive(status), DispatchOutcome::StoredStatus);
    EXPECT_EQ(r.buffers.StatusLength, 8u);
    EXPECT_EQ(r.buffers.LastStatusTick, 777u);
    EXPECT_EQ(0, std::memcmp(r.status, status.data(), 8));
    EXPECT_EQ(r.buffers.NamesLength, 4u);  // the names answer is untouched
}

TEST(Dispatch, ShorterAnswerKeepsTheStaleTailBehindItsLength) {
    Receiver r;
    r.Receive(WithCode(REQ_STATUS, "ABCDEFGH"));
    r.Receive(WithCode(REQ_STATUS, "xy"));
    EXPECT_EQ(r.buffers.StatusLength, 6u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(r.status) + 4, 8), "xyCDEFGH");
}

TEST(Dispatch, FullSizeAnswerFitsAndOversizeChangesNothing) {
    Receiver r;
    Bytes full = WithCode(REQ_NAMES, std::string(RECEIVE_SIZE - 4, 'n'));
    EXPECT_EQ(r.Receive(full, 10), DispatchOutcome::StoredNames);
    EXPECT_EQ(r.buffers.NamesLength, 4096u);
    EXPECT_EQ(r.names[4095], 'n');

    Bytes over = WithCode(REQ_NAMES, std::string(RECEIVE_SIZE - 3, 'o'));
    EXPECT_EQ(r.Receive(over, 20), DispatchOutcome::ReadError);
    EXPECT_STREQ(DispatchOutcomeText(DispatchOutcome::ReadError), "Winsock read error");
    EXPECT_EQ(r.buffers.NamesLength, 4096u);
    EXPECT_EQ(r.names[4], 'n');
    EXPECT_EQ(r.buffers.LastStatusTick, 0u);
}

TEST(Dispatch, BannerCopyRule) {
    struct Case {
        const char* what;
        std::string payload;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"empty payload keeps the old text", "", "old banner"},
        {"one byte stores an empty text", "x", ""},
        {"text without zero loses its last byte", "abc", "ab"},
        {"text with its zero byte is whole", std::string("abc\0", 4), "abc"},
        {"zero in the middle ends the text", std::string("ab\0cd", 5), "ab"},
        {"long text keeps 1023 bytes", std::string(2000, 'b'), std::string(1023, 'b')},
        {"1024 bytes and a zero keep 1023", std::string(1024, 'c') + '\0', std::string(1023, 'c')},
    };
    for (const Case& c : cases) {
        Receiver r;
        std::strcpy(r.banner, "old banner");
        std::memset(r.banner + 11, 'Z', sizeof r.banner - 11);
        EXPECT_EQ(r.Receive(WithCode(REQ_BANNER, c.payload)), DispatchOutcome::BannerReady) << c.what;
        EXPECT_EQ(std::string(r.banner), c.expected) << c.what;
        EXPECT_EQ(DispatchOutcomeText(DispatchOutcome::BannerReady), nullptr);
    }
}

TEST(Dispatch, BannerBoxTextFallsBackWhenEmpty) {
    Receiver r;
    EXPECT_STREQ(BannerBoxText(r.buffers), "No banner available");
    r.Receive(WithCode(REQ_BANNER, "x"));
    EXPECT_STREQ(BannerBoxText(r.buffers), "No banner available");
    r.Receive(WithCode(REQ_BANNER, std::string("Hello\0", 6)));
    EXPECT_STREQ(BannerBoxText(r.buffers), "Hello");
}

TEST(StatusAddress, HostAndPortAreSplitAndCheckedCharacterByCharacter) {
    struct Case {
        const char* text;
        bool valid;
        const char* host = "";
        uint16_t port = 0;
    };
    const Case cases[] = {
        {"eq.example.com", true, "eq.example.com", 24252},
        {"127.0.0.5:7000", true, "127.0.0.5", 7000},
        {"a-z_A.Z09:1", true, "a-z_A.Z09", 1},
        {"h:65535", true, "h", 65535},
        {"h:65536", false}, {"h:0", false}, {"h:", false}, {"h:12a", false}, {"h:-1", false},
        {"h:123456", false}, {":24252", false}, {"", false}, {"a b", false}, {"a&b", false},
        {"a%b", false}, {"[::1]:5", false}, {"a:1:2", false}, {"\x80x", false},
    };
    for (const Case& c : cases) {
        std::string host;
        uint16_t port = 0;
        EXPECT_EQ(SplitStatusAddress(c.text, host, port), c.valid) << c.text;
        if (c.valid) {
            EXPECT_EQ(host + ":" + std::to_string(port), std::string(c.host) + ":" + std::to_string(c.port));
        }
    }
    std::string host;
    uint16_t port = 0;
    EXPECT_TRUE(SplitStatusAddress(std::string(253, 'a'), host, port));
    EXPECT_FALSE(SplitStatusAddress(std::string(254, 'a'), host, port));
}

// An empty TALLOWIN_STATUS_HOST overrides nothing: the setting comes first, then the built-in host.
TEST(StatusAddress, ChosenHostIsTheSettingElseTheBuiltInOne) {
    setenv("TALLOWIN_STATUS_HOST", "", 1);
    EXPECT_EQ(ChosenStatusHost("h:1", "built.in") + " " + ChosenStatusHost("", "built.in"), "h:1 built.in");
}
