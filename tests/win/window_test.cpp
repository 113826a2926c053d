// Tests of the main window procedure under Wine: placement, minimising, the tray record and the tick.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/app_win.h"
#include "app/tray_win.h"
#include "res/resource.h"
#include "settings/registry_store_win.h"
#include "status/socket_win.h"
#include "tests/win/loopback_peer.h"

namespace {
// Wine binds a socket to 0.0.0.0 for loopback addresses other than 127.0.0.1, and the
// connected status socket then drops the peer's answers: the peer takes 127.0.0.1 itself.
const char* const PEER = "127.0.0.1";

unsigned char names[NAMES_BUFFER_SIZE];
unsigned char status[STATUS_BUFFER_SIZE];
char report[REPORT_TEXT_SIZE];
char banner[BANNER_BUFFER_SIZE];

// The real window class and procedure, with a socket connected to a loopback peer.
struct MainWindow : testing::Test {
    static LoopbackPeer* peer;
    HWND window = nullptr;

    static void SetUpTestSuite() {
        peer = new LoopbackPeer;
        ASSERT_TRUE(peer->Open(PEER));
        TheApp.Instance = GetModuleHandleA(nullptr);
        ASSERT_NE(RegisterMainClass(TheApp), 0);
        TheApp.StatusSocket = ConnectedStatusSocket(PEER);
        ASSERT_NE(TheApp.StatusSocket, INVALID_SOCKET);
    }
    static void TearDownTestSuite() { delete peer; }

    void SetUp() override {
        TheApp.Client = StatusClient{};
        names[0] = status[0] = 0;
        report[0] = banner[0] = 0;
        TheApp.Client.Buffers = StatusBuffers{names, 0, status, 0, banner, 0};
        TheApp.Client.ReportText = report;
        TheApp.Client.Link = StatusLink::Ready;  // the socket is connected to the peer already
        SetDefaultSettings(TheApp.UserSettings);
        const Settings& s = TheApp.UserSettings;
        window = CreateWindowExA(0, MAKEINTATOM(TheApp.ClassAtom), "Tallowin", WS_OVERLAPPEDWINDOW, s.X, s.Y, s.Width,
                                 s.Height, nullptr, nullptr, TheApp.Instance, nullptr);
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override {
        if (IsWindow(window)) DestroyWindow(window);
        PumpMessages(50);
        while (!peer->Receive(50).empty()) {
        }
    }
};
LoopbackPeer* MainWindow::peer = nullptr;
}  // namespace

TEST(TrayRecord, FirstLayoutWithTheTipCutAt63) {
    NOTIFYICONDATAA record;
    const std::string tip(100, 't');
    HICON icon = LoadIcon(nullptr, IDI_APPLICATION);
    FillTrayRecord(record, reinterpret_cast<HWND>(0x1234), NIM_MODIFY, icon, tip.c_str());
    // The first layout's size for the build's pointer width: real Windows checks it.
    EXPECT_EQ(record.cbSize, sizeof(void*) == 4 ? 88u : 104u);
    EXPECT_EQ(record.uID, 1u);
    EXPECT_EQ(record.uFlags, 7u);
    EXPECT_EQ(record.uCallbackMessage, 0x8064u);
    EXPECT_EQ(record.hIcon, icon);
    EXPECT_EQ(std::strlen(record.szTip), 63u);
    FillTrayRecord(record, nullptr, NIM_DELETE, icon, nullptr);
    EXPECT_EQ(record.uFlags, 7u);
    EXPECT_EQ(record.hIcon, nullptr);
    EXPECT_STREQ(record.szTip, "");
    const std::string twoLines = std::string(60, 'n') + ",\r\n8098";
    FillTrayRecord(record, nullptr, NIM_ADD, icon, twoLines.c_str());
    EXPECT_EQ(std::string(record.szTip), twoLines.substr(0, 63));
}

TEST(TrayRecord, BalloonTouchesNeitherIconNorTip) {
    NOTIFYICONDATAA record;
    FillBalloonRecord(record, reinterpret_cast<HWND>(0x1234), "Tallowin", std::string(300, 'b').c_str(), false);
    EXPECT_EQ(record.cbSize, sizeof(void*) == 4 ? 488u : 504u);  // the second layout, with the balloon's fields
    EXPECT_EQ(record.uFlags, static_cast<UINT>(NIF_INFO));
    EXPECT_EQ(record.uID, 1u);
    EXPECT_STREQ(record.szInfoTitle, "Tallowin");
    EXPECT_EQ(std::strlen(record.szInfo), 255u);
    EXPECT_EQ(record.dwInfoFlags, static_cast<DWORD>(NIIF_INFO | NIIF_NOSOUND));
    FillBalloonRecord(record, nullptr, "Tallowin", "Beta is DOWN", true);
    EXPECT_EQ(record.dwInfoFlags, static_cast<DWORD>(NIIF_INFO));
}

TEST_F(MainWindow, StartsHiddenAndTheFirstTickAsksForNames) {
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(TheApp.Client.PollTimerId, 0u);
    PumpMessages(200);
    const Bytes request = peer->Receive(1000);
    ASSERT_EQ(request.size(), 4u);
    EXPECT_EQ(0, std::memcmp(request.data(), REQ_NAMES, 4));
    EXPECT_EQ(TheApp.Client.PollTimerId, 1u);
    EXPECT_STREQ(report, "Waiting for server names...");
    EXPECT_GT(TheApp.Canvas.ReportWidth, 0);
}

TEST_F(MainWindow, ForeignTimerIdsChangeNothing) {
    PumpMessages(200);
    peer->Receive(500);
    SendMessageA(window, WM_TIMER, 0, 0);
    SendMessageA(window, WM_TIMER, 7, 0);
    EXPECT_TRUE(peer->Receive(300).empty());
    EXPECT_EQ(TheApp.Client.PollTimerId, 1u);
}

TEST_F(MainWindow, RecordsTheNormalPlacementOnly) {
    Settings& s = TheApp.UserSettings;
    SetWindowPos(window, nullptr, 50, 60, 300, 400, SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ((std::vector<int>{s.X, s.Y, s.Width, s.Height, s.Maximized}), (std::vector<int>{50, 60, 300, 400, 0}));
    ShowWindow(window, SW_SHOWMAXIMIZED);
    EXPECT_EQ(s.Maximized, 1);
    EXPECT_EQ((std::vector<int>{s.X, s.Y, s.Width, s.Height}), (std::vector<int>{50, 60, 300, 400}));
    ShowWindow(window, SW_MINIMIZE);
    EXPECT_EQ(s.Maximized, 1);  // minimising a maximised window keeps the flag
    ShowWindow(window, SW_RESTORE);  // back to maximised, as it was before minimising
    ShowWindow(window, SW_RESTORE);  // then to the normal placement
    EXPECT_EQ(s.Maximized, 0);
}

TEST_F(MainWindow, MinimisingHidesAndTheTrayClickShowsAgain) {
    ShowWindow(window, SW_SHOWNORMAL);
    SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_TRUE(IsIconic(window));
    SendMessageA(window, WM_TRAYNOTIFY, 1, WM_LBUTTONUP);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_FALSE(IsIconic(window));
    EXPECT_FALSE(IsZoomed(window));
    SendMessageA(window, WM_TRAYNOTIFY, 1, WM_LBUTTONDBLCLK);  // no handling of its own
    SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    SendMessageA(window, WM_TRAYNOTIFY, 1, NIN_BALLOONUSERCLICK);  // a click on the balloon
    EXPECT_TRUE(IsWindowVisible(window));
    TheApp.UserSettings.Maximized = 1;
    SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    SendMessageA(window, WM_TRAYNOTIFY, 1, WM_LBUTTONUP);
    EXPECT_TRUE(IsZoomed(window));
}

TEST_F(MainWindow, ReportingTickDecodesWhatArrived) {
    TheApp.UserSettings.PrimaryServer = "Beta";
    PumpMessages(200);
    ASSERT_EQ(peer->Receive(1000).size(), 4u);
    peer->Send({0xFF, 0xFF, 0x01, 0x00, 0x02, 0x00, 'A', 0, 'B', 'e', 't', 'a', 0});
    PumpMessages(1300);  // the second tick asks for the status
    ASSERT_EQ(peer->Receive(500).size(), 4u);
    peer->Send({0xFF, 0xFF, 0x05, 0x00, 0x01, 0x00, 0x05, 0x01, 0x00, 0x07, 0x00, 0x03});
    PumpMessages(1300);
    EXPECT_STREQ(report, "Servers\tPlayers\tZones\nA\t5\tNA\nBeta\t7\t3\n12 Players on EverQuest");
    EXPECT_EQ(TheApp.Client.Decode.PrimaryPlayers, 7);
    EXPECT_EQ(TheApp.Client.PollFailures, 0u);
    SetWindowPos(window, nullptr, 0, 0, 160, 300, SWP_NOMOVE | SWP_NOZORDER | SWP_SHOWWINDOW | SWP_NOACTIVATE);
    UpdateWindow(window);  // narrow: no graph column
    status[0] = 0;  // a one-line waiting text in place of the report: the old lines are painted over
    SendMessageA(window, WM_TIMER, TheApp.Client.PollTimerId, 0);
    EXPECT_TRUE(TheApp.Canvas.GraphWidth == 0 && GetUpdateRect(window, nullptr, FALSE));
}

TEST_F(MainWindow, ABurstOfBadDatagramsOpensOneBoxAtATime) {
    PumpMessages(200);
    ASSERT_EQ(peer->Receive(1000).size(), 4u);
    BoxWatcher boxes(1500);  // the user takes a while to close each box
    for (int i = 0; i < 1000; ++i) peer->Send({0xFF, 0xFF});
    PumpMessages(3000);
    peer->Send({0xFF, 0xFF, 0x01, 0x00, 0x01, 0x00, 'A', 0});  // the receive path still works afterwards
    PumpMessages(2000);
    EXPECT_EQ(boxes.MostOpenAtOnce(), 1);
    EXPECT_GE(boxes.Texts().size(), 1u);
    for (const std::string& text : boxes.Texts()) EXPECT_EQ(text, "Invalid response received");
    EXPECT_EQ(TheApp.Client.Buffers.NamesLength, 8u);  // the answer behind the burst still arrived
}

TEST_F(MainWindow, EndOfSessionSavesTheSettingsOnce) {
    RegDeleteKeyA(HKEY_CURRENT_USER, SETTINGS_KEY);
    TheApp.SavedAtSessionEnd = false;
    TheApp.UserSettings.PrimaryServer = "Luclin";
    SendMessageA(window, WM_ENDSESSION, FALSE, 0);
    Settings loaded;
    RegistryStore key = UserSettingsKey();
    LoadSettings(loaded, RegistryStoreSeam(key));
    EXPECT_EQ(loaded.PrimaryServer, "");  // a cancelled end of session saves nothing
    SendMessageA(window, WM_ENDSESSION, TRUE, 0);
    LoadSettings(loaded, RegistryStoreSeam(key));
    EXPECT_EQ(loaded.PrimaryServer, "Luclin");
    EXPECT_TRUE(TheApp.SavedAtSessionEnd);
    RegDeleteKeyA(HKEY_CURRENT_USER, SETTINGS_KEY);
}

TEST_F(MainWindow, DestroyReleasesTheDrawingStateAndTheTimer) {
    PumpMessages(200);
    HPEN pen = TheApp.Canvas.ReportPen;
    HBITMAP bitmap = TheApp.Canvas.ReportBitmap;
    DestroyWindow(window);
    EXPECT_EQ(GetObjectType(pen), 0u);
    EXPECT_EQ(GetObjectType(bitmap), 0u);
    EXPECT_EQ(TheApp.IconNeutral, nullptr);
    MSG quit;
    EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST_F(MainWindow, HighContrastIsFollowedAtOnce) {
    bool (*const system)() = HighContrastOn;
    HighContrastOn = [] { return true; };
    SendMessageA(window, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
    HighContrastOn = system;
    EXPECT_EQ(TheApp.Canvas.Colours.Background, GetSysColor(COLOR_WINDOW));
}
