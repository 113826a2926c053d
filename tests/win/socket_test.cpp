// Tests of the socket path under Wine against a loopback peer: requests, receive sizes and boxes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "status/socket_win.h"
#include "tests/win/loopback_peer.h"

namespace {
// Wine binds a socket to 0.0.0.0 for loopback addresses other than 127.0.0.1, and the
// connected status socket then drops the peer's answers: the peer takes 127.0.0.1 itself.
const char* const PEER = "127.0.0.1";

struct SocketPath : testing::Test {
    LoopbackPeer peer;
    SOCKET link = INVALID_SOCKET;
    unsigned char names[NAMES_BUFFER_SIZE] = {};
    unsigned char status[STATUS_BUFFER_SIZE] = {};
    char banner[BANNER_BUFFER_SIZE] = {};
    StatusBuffers buffers{names, 0, status, 0, banner, 0};

    void SetUp() override {
        ASSERT_TRUE(peer.Open(PEER));
        link = ConnectedStatusSocket(PEER);
        ASSERT_NE(link, INVALID_SOCKET);
        // The peer learns the client's address from a first request.
        ASSERT_EQ(SendRequest(link, REQ_NAMES), 0);
        ASSERT_EQ(peer.Receive().size(), 4u);
    }
    void TearDown() override { closesocket(link); }

    // The peer sends, then the test handles the notification as the window would.
    void Deliver(const Bytes& datagram) {
        peer.Send(datagram);
        Sleep(30);
        OnSocketNotify(nullptr, link, buffers, FD_READ);
    }
};

Bytes Answer(const unsigned char* code, size_t size, unsigned char fill) {
    Bytes bytes(size, fill);
    std::memcpy(bytes.data(), code, 4);
    return bytes;
}
}  // namespace

TEST(SocketSetup, HostsAreLookedUpWithTheirPorts) {
    ASSERT_TRUE(StartWinsock());
    sockaddr_in address;
    EXPECT_FALSE(ResolveStatusAddress("no..such.host", address));
    EXPECT_FALSE(ResolveStatusAddress("", address));
    ASSERT_TRUE(ResolveStatusAddress("127.0.0.98:7000", address));
    EXPECT_EQ(ntohs(address.sin_port), 7000);
    EXPECT_EQ(ntohl(address.sin_addr.s_addr), 0x7F000062u);
    ASSERT_TRUE(ResolveStatusAddress("localhost", address));
    EXPECT_EQ(ntohs(address.sin_port), 24252);
}

TEST(SocketSetup, StatusHostComesFromTheEnvironmentThenTheSetting) {
    _putenv("TALLOWIN_STATUS_HOST=127.0.0.99");
    EXPECT_EQ(StatusHostFor("status.example"), "127.0.0.99");
    _putenv("TALLOWIN_STATUS_HOST=");
    EXPECT_EQ(StatusHostFor("status.example"), "status.example");
    EXPECT_EQ(StatusHostFor(""), TALLOWIN_DEFAULT_STATUS_HOST);
}

TEST_F(SocketPath, RequestsAreTheFourByteCodes) {
    for (const unsigned char* code : {REQ_NAMES, REQ_STATUS, REQ_BANNER}) {
        ASSERT_EQ(SendRequest(link, code), 0);
        const Bytes got = peer.Receive();
        ASSERT_EQ(got.size(), 4u);
        EXPECT_EQ(0, std::memcmp(got.data(), code, 4));
    }
}

TEST_F(SocketPath, FullSizeAnswerIsStoredWhole) {
    BoxWatcher boxes;
    Deliver(Answer(REQ_NAMES, 4096, 'n'));
    EXPECT_EQ(buffers.NamesLength, 4096u);
    EXPECT_EQ(names[4095], 'n');
    EXPECT_EQ(buffers.LastStatusTick, 0u);  // a names answer says nothing of the counts
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(SocketPath, OversizeDatagramIsAReadErrorAndStoresNothing) {
    BoxWatcher boxes(50);
    Deliver(Answer(REQ_NAMES, 4097, 'o'));
    EXPECT_EQ(buffers.NamesLength, 0u);
    EXPECT_EQ(names[0], 0);
    EXPECT_EQ(buffers.LastStatusTick, 0u);
    ASSERT_EQ(boxes.Texts().size(), 1u);
    EXPECT_EQ(boxes.Texts()[0], "Winsock read error");
}

TEST_F(SocketPath, ShorterAnswerLeavesTheStaleTail) {
    Deliver(Answer(REQ_STATUS, 40, 'a'));
    Deliver(Answer(REQ_STATUS, 12, 'b'));
    EXPECT_EQ(buffers.StatusLength, 12u);
    EXPECT_EQ(status[11], 'b');
    EXPECT_EQ(status[12], 'a');
}

TEST_F(SocketPath, ShortAndUnknownDatagramsShowTheirBox) {
    BoxWatcher boxes(50);
    Deliver(Bytes{0xFF, 0xFF});
    Deliver(Bytes{0xFF, 0xFF, 0x02, 0x00});
    Deliver(Bytes{});
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>(3, "Invalid response received")));
    EXPECT_EQ(buffers.LastStatusTick, 0u);
    EXPECT_EQ(buffers.NamesLength, 0u);
}

TEST_F(SocketPath, NotificationErrorsAndOtherEventsReadNothing) {
    BoxWatcher boxes(50);
    peer.Send(Answer(REQ_NAMES, 10, 'x'));
    Sleep(30);
    OnSocketNotify(nullptr, link, buffers, WSAMAKESELECTREPLY(FD_READ, WSAECONNRESET));
    OnSocketNotify(nullptr, link, buffers, FD_WRITE);
    EXPECT_EQ(buffers.NamesLength, 0u);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Winsock notification error"});
    OnSocketNotify(nullptr, link, buffers, FD_READ);  // the datagram is still waiting
    EXPECT_EQ(buffers.NamesLength, 10u);
}

TEST_F(SocketPath, BannerAnswerShowsTheBannerBox) {
    BoxWatcher boxes(50);
    Bytes banner = Answer(REQ_BANNER, 4, 0);
    for (char c : std::string("Hello Norrath")) banner.push_back(static_cast<unsigned char>(c));
    banner.push_back(0);
    Deliver(banner);
    OnBannerReady(nullptr, buffers);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Hello Norrath"});
}
