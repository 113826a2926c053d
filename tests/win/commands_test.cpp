// Tests under Wine of the pop-up menus, the menu commands and the Options and About dialogs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "app/alerts_win.h"
#include "app/app_win.h"
#include "res/resource.h"
#include "app/dialogs_win.h"
#include "app/tray_win.h"
#include "status/deliver_win.h"
#include "status/libraries_win.h"
#include "status/socket_win.h"
#include "tests/win/loopback_peer.h"

namespace {
// Plays the user inside whatever modal loop is running: each step runs on a tick of a thread
// timer, and a step that finds nothing to act on yet (returns false) is tried again on the next.
using Step = std::function<bool()>;
std::deque<Step> steps;
UINT_PTR stepTimer;

void CALLBACK NextStep(HWND, UINT, UINT_PTR, DWORD) {
    if (steps.empty()) {
        KillTimer(nullptr, stepTimer);
        stepTimer = 0;
        return;
    }
    const Step step = steps.front();
    if (step()) steps.pop_front();
}

void Script(std::initializer_list<Step> list) {
    if (stepTimer) KillTimer(nullptr, stepTimer);
    steps.assign(list);
    stepTimer = SetTimer(nullptr, 0, 100, NextStep);
}

struct Found {
    const char* cls;
    HWND owner;
    HWND window;
};
BOOL CALLBACK MatchWindow(HWND w, LPARAM param) {
    Found& f = *reinterpret_cast<Found*>(param);
    char cls[32] = "";
    GetClassNameA(w, cls, sizeof cls);
    if (std::strcmp(cls, f.cls) != 0 || !IsWindowVisible(w) || (f.owner && GetWindow(w, GW_OWNER) != f.owner)) return TRUE;
    f.window = w;
    return FALSE;
}
// A visible window of this thread by class, optionally with a given owner.
HWND FindShown(const char* cls, HWND owner = nullptr) {
    Found f{cls, owner, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), MatchWindow, reinterpret_cast<LPARAM>(&f));
    return f.window;
}

std::string Text(HWND window) {
    char text[1024] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// Reads the open pop-up menu's items (0 for a separator, -1 for a submenu, whose items' texts are
// kept too), their texts and states, and its default item, then closes it.
struct MenuSeen {
    std::vector<UINT> ids;
    std::vector<std::string> texts;
    std::vector<UINT> states;
    UINT defaultId = 0;
    RECT place{};
};
std::string ItemText(HMENU menu, int position) {
    char text[256] = "";
    GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
    return text;
}
Step ReadMenu(MenuSeen& seen) {
    return [&seen] {
        HWND tracking = FindShown("#32768");
        if (!tracking) return false;
        HMENU menu = reinterpret_cast<HMENU>(SendMessageA(tracking, MN_GETHMENU, 0, 0));
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            seen.ids.push_back((GetMenuState(menu, i, MF_BYPOSITION) & MF_SEPARATOR) ? 0 : GetMenuItemID(menu, i));
            seen.texts.push_back(ItemText(menu, i));
            seen.states.push_back(GetMenuState(menu, i, MF_BYPOSITION) & (MF_CHECKED | MF_GRAYED));
            if (HMENU sub = GetSubMenu(menu, i))
                for (int j = 0; j < GetMenuItemCount(sub); ++j) seen.texts.push_back("> " + ItemText(sub, j));
        }
        seen.defaultId = GetMenuDefaultItem(menu, FALSE, 0);
        GetWindowRect(tracking, &seen.place);
        EndMenu();
        return true;
    };
}

// Closes the box that the window owns, keeping its caption and text.
Step CloseBox(HWND& owner, std::string& seen) {
    return [&owner, &seen] {
        HWND box = FindShown("#32770", owner);
        if (!box) return false;
        seen = Text(box) + "|" + Text(GetDlgItem(box, 0xFFFF));
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        return true;
    };
}

unsigned char names[NAMES_BUFFER_SIZE];
unsigned char status[STATUS_BUFFER_SIZE];
char report[REPORT_TEXT_SIZE];
char banner[BANNER_BUFFER_SIZE];

struct Commands : testing::Test {
    static LoopbackPeer* peer;
    HWND window = nullptr;

    static void SetUpTestSuite() {
        if (peer) return;  // shared with the Options tests
        peer = new LoopbackPeer;
        ASSERT_TRUE(peer->Open("127.0.0.1"));
        TheApp.Instance = GetModuleHandleA(nullptr);
        ASSERT_NE(RegisterMainClass(TheApp), 0);
        TheApp.StatusSocket = ConnectedStatusSocket("127.0.0.1");
    }

    void SetUp() override {
        TheApp.Client = StatusClient{};
        TheApp.Client.Buffers = StatusBuffers{names, 0, status, 0, banner, 0};
        TheApp.Client.ReportText = report;
        TheApp.Client.Link = StatusLink::Ready;  // the socket is connected to the peer already
        SetDefaultSettings(TheApp.UserSettings);
        window = CreateWindowExA(0, MAKEINTATOM(TheApp.ClassAtom), "Tallowin", WS_OVERLAPPEDWINDOW, 600, 10, 300, 400,
                                 nullptr, nullptr, TheApp.Instance, nullptr);
        ASSERT_NE(window, nullptr);
        PumpMessages(100);
        while (!peer->Receive(50).empty()) {
        }
    }
    void TearDown() override {
        if (IsWindow(window)) DestroyWindow(window);
        PumpMessages(50);
    }
    std::string CommandBox(WPARAM command) {
        std::string seen;
        Script({CloseBox(window, seen)});
        SendMessageA(window, WM_COMMAND, command, 0);
        return seen;
    }
};
LoopbackPeer* Commands::peer = nullptr;
}  // namespace

TEST_F(Commands, TrayMenuOffersAllTenPositionsWithShowFirst) {
    MenuSeen seen;
    Script({ReadMenu(seen)});
    SendMessageA(window, WM_TRAYNOTIFY, 1, WM_RBUTTONUP);
    EXPECT_EQ(seen.ids, (std::vector<UINT>{40000, 40001, 40004, 40002, 0, 40006, 40003, 40005, 0, UINT(-1), 40008, 0, 40007}));
    EXPECT_EQ(seen.defaultId, static_cast<UINT>(ID_SHOW));
    EXPECT_FALSE(IsWindowVisible(window));
    MSG after;
    EXPECT_TRUE(PeekMessageA(&after, window, WM_USER, WM_USER, PM_REMOVE));
}

TEST_F(Commands, ClientMenuLeavesOutShowAndOpensAtTheSignedClickPoint) {
    MenuSeen seen;
    Script({ReadMenu(seen)});
    SendMessageA(window, WM_RBUTTONUP, 0, MAKELPARAM(-5, 7));
    EXPECT_EQ(seen.ids, (std::vector<UINT>{40001, 40004, 40002, 0, 40006, 40003, 40005, 0, UINT(-1), 40008, 0, 40007}));
    EXPECT_EQ(seen.defaultId, static_cast<UINT>(ID_OPTIONS));
    POINT at{-5, 7};
    ClientToScreen(window, &at);
    EXPECT_EQ(seen.place.left, at.x);
    EXPECT_EQ(seen.place.top, at.y);
}

TEST_F(Commands, AlertRunsCloseTheirHandlesAndFailuresAreRecentChangesNotBoxes) {
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof system);
    AlertNotice notice{};
    notice.Changes.assign(6, AlertChange{"Beta", ServerState::Down, -1, 3, "Beta is DOWN"});
    TheApp.UserSettings.AlertCommand = std::string(system) + "\\hostname.exe";
    BoxWatcher boxes(0);
    DeliverNotice(window, notice);  // the first runs open what later ones reuse
    PumpMessages(2000);
    const int before = OpenHandles();
    DeliverNotice(window, notice);  // six: four at once, two after them
    PumpMessages(2000);
    EXPECT_EQ(OpenHandles(), before);
    TheApp.UserSettings.AlertCommand = "C:\\no\\such\\program.exe";
    DeliverNotice(window, notice);  // six runs that fail alike: one line
    PumpMessages(300);
    const std::vector<std::string>& recent = TheApp.Client.Alerts.Recent;
    ASSERT_EQ(recent.size(), 1u);
    EXPECT_EQ(recent[0].substr(6), "Alert command failed: error 2");
    EXPECT_TRUE(boxes.Texts().empty());
}

// Runs still going at the time limit end with what they started; of 65 waiting, the oldest is dropped.
TEST_F(Commands, RunsEndAtTheTimeLimitAndWaitingRunsAreBounded) {
    char script[MAX_PATH];
    std::strcpy(script + GetTempPathA(MAX_PATH - 20, script), "tallowin_hang.bat");
    FILE* file = std::fopen(script, "w");
    ASSERT_TRUE(file && std::fputs("@notepad.exe\n", file) >= 0 && std::fclose(file) == 0);
    AlertNotice notice{};
    notice.Changes.assign(4, AlertChange{"Hang", ServerState::Down, -1, 3, "Hang is DOWN"});
    TheApp.UserSettings.AlertCommand = std::string("\"") + script + "\"";
    DeliverNotice(window, notice);  // four that wait for notepad
    std::vector<std::string> problems;
    for (int i = 0; i < 65; ++i) QueueAlertRun("C:\\no\\such\\program.exe", std::u16string(2, u'\0'), "W" + std::to_string(i), problems);
    for (int waited = 0; !FindWindowA("Notepad", nullptr) && waited < 100; ++waited) Sleep(100);
    Sleep(1000);
    EXPECT_FALSE(StartAlertRuns(1000, problems));  // the 64 waiting then fail to start
    const std::string ended = "Alert command for Hang ended after 1 s";
    EXPECT_EQ(problems, (std::vector<std::string>{"Alert command for W0 dropped: too many waiting", ended, ended, ended, ended,
                                                  "Alert command failed: error 2"}));
    for (int waited = 0; FindWindowA("Notepad", nullptr) && waited < 50; ++waited) Sleep(100);
    EXPECT_EQ(FindWindowA("Notepad", nullptr), nullptr);
    if (FindWindowA("Notepad", nullptr)) std::system("taskkill /f /im notepad.exe");  // they would hold the test's output
    DeleteFileA(script);
}

// A library beside the program is never loaded for a system one, by full path or with the search flags.
TEST(SystemLibraries, ComeFromTheSystemFolderOnly) {
    char exe[MAX_PATH];
    std::string folder(exe, GetModuleFileNameA(nullptr, exe, MAX_PATH));
    folder.resize(folder.rfind('\\') + 1);
    const std::string planted = folder + "tallowin_planted.dll";
    ASSERT_TRUE(CopyFileA((folder + "planted\\comdlg32.dll").c_str(), planted.c_str(), FALSE));
    for (const bool flags : {false, true}) {
        if (flags) SearchSystemFolderOnly();
        EXPECT_EQ(SystemSearchFlags, flags);
        EXPECT_EQ(LoadSystemLibrary("tallowin_planted.dll"), nullptr) << flags;
        EXPECT_NE(LoadSystemLibrary("version.dll"), nullptr) << flags;
    }
    EXPECT_EQ(LoadLibraryA("tallowin_planted.dll"), nullptr);  // not even a search by name looks beside the program
    DeleteFileA(planted.c_str());
}

TEST_F(Commands, TheAlertItemsShowThePauseAndTheRecentChanges) {
    SendMessageA(window, WM_COMMAND, ID_PAUSE_ALERTS, 0);
    TheApp.Client.Alerts.Recent = {"21:05 Beta is DOWN", "21:00 R&D is up: 5 players"};
    MenuSeen paused;
    Script({ReadMenu(paused)});
    SendMessageA(window, WM_TRAYNOTIFY, 1, WM_RBUTTONUP);
    EXPECT_EQ(paused.texts[10], "> 21:05 Beta is DOWN");
    EXPECT_EQ(paused.texts[11], "> 21:00 R&&D is up: 5 players");
    const std::string resume = paused.texts[12];
    EXPECT_EQ(resume.rfind("&Resume alerts (paused until ", 0), 0u) << resume;
    EXPECT_EQ(resume.size(), std::strlen("&Resume alerts (paused until 21:05)"));
    SendMessageA(window, WM_COMMAND, ID_PAUSE_ALERTS, 0);
    EXPECT_FALSE(AlertsPaused(TheApp.Client.Alerts, GetTickCount()));
}

TEST_F(Commands, AServersLineOffersToWatchIt) {
    TheApp.Client.Decode.ServerList = {{"Gamma", 4, 5}, {"Alpha", 1, -1}, {"Beta", 2, 3}};
    TheApp.UserSettings.PrimaryServer = "Beta";
    TheApp.UserSettings.SortOrder = SORT_BY_NAME;  // the lines drawn: Alpha, Beta, Gamma
    ShowReport("Servers\tPlayers\tZones\nGamma\t4\t5\nAlpha\t1\tNA\nBeta\t2\t3\n7 Players on EverQuest", true);
    auto clientMenuAtRow = [&](int row) {
        MenuSeen seen;
        Script({ReadMenu(seen)});
        SendMessageA(window, WM_RBUTTONUP, 0, MAKELPARAM(40, 4 + row * TheApp.Canvas.LineHeight + 2));
        return seen;
    };
    MenuSeen alpha = clientMenuAtRow(1);
    EXPECT_EQ(alpha.ids[0], static_cast<UINT>(ID_WATCH_SERVER));
    EXPECT_EQ(alpha.ids[1], static_cast<UINT>(ID_SERVER_MINIMUM));
    EXPECT_EQ(alpha.ids[2], 0u);
    EXPECT_EQ(alpha.texts[0], "&Watch Alpha");
    EXPECT_EQ(alpha.texts[1], "&Minimum for Alpha...");
    EXPECT_EQ(alpha.states[0], 0u);
    SendMessageA(window, WM_COMMAND, ID_WATCH_SERVER, 0);
    EXPECT_EQ(TheApp.UserSettings.WatchedServers, std::vector<std::string>{"Alpha"});
    EXPECT_EQ(TheApp.Canvas.RowMarks, (std::vector<unsigned char>{0, 1, 1, 0}));

    MenuSeen beta = clientMenuAtRow(2);
    EXPECT_EQ(beta.texts[0], "&Watch Beta");
    EXPECT_EQ(beta.states[0], static_cast<UINT>(MF_CHECKED | MF_GRAYED));
    for (int row : {0, 4, 9}) EXPECT_EQ(clientMenuAtRow(row).ids[0], static_cast<UINT>(ID_OPTIONS)) << row;

    // Its own minimum: a number watches it, an empty field goes back to the Options minimum.
    clientMenuAtRow(3);
    for (const char* typed : {"50", ""}) {
        std::string caption;
        Script({[&] {
            HWND dialog = FindShown("#32770", window);
            if (!dialog) return false;
            caption = Text(dialog);
            SetDlgItemTextA(dialog, IDC_SERVER_MINIMUM, typed);
            return PostMessageA(dialog, WM_COMMAND, IDOK, 0) != 0;
        }});
        SendMessageA(window, WM_COMMAND, ID_SERVER_MINIMUM, 0);
        EXPECT_EQ(caption, "Minimum for Gamma");
        EXPECT_EQ(MinimumFor(TheApp.UserSettings, "Gamma"), *typed ? 50 : TheApp.UserSettings.MinPlayers) << typed;
        EXPECT_TRUE(IsWatched(TheApp.UserSettings, "Gamma"));
    }
}

TEST_F(Commands, LaunchReportsWhatGoesWrongAndLeavesNoHandleOpen) {
    TheApp.UserSettings.EverquestExe = "C:\\no\\such\\game.exe";
    EXPECT_EQ(CommandBox(ID_LAUNCH), "Error|Unable to launch specified exe");

    // A bare file name starts from the current directory, with no working directory of its own.
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof system);
    SetCurrentDirectoryA(system);
    TheApp.UserSettings.EverquestExe = "hostname.exe";
    BoxWatcher boxes(0);
    SendMessageA(window, WM_COMMAND, ID_LAUNCH, 0);  // the first start opens what later ones reuse
    PumpMessages(300);
    const int before = OpenHandles();
    for (int i = 0; i < 3; ++i) SendMessageA(window, WM_COMMAND, ID_LAUNCH, 0);
    PumpMessages(300);
    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_EQ(OpenHandles(), before);
}

TEST_F(Commands, TheKeyboardReachesBothMenusAndTheWindow) {
    TrayIconVersion = NOTIFYICON_VERSION_4;
    POINT corner{TheApp.Canvas.Margin, TheApp.Canvas.Margin};
    ClientToScreen(window, &corner);
    const struct {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        POINT at;
        UINT defaultId;
    } cases[] = {
        {WM_TRAYNOTIFY, MAKEWPARAM(300, 400), MAKELPARAM(WM_CONTEXTMENU, TRAY_ICON_ID), {300, 400}, ID_SHOW},
        {WM_CONTEXTMENU, 0, -1, corner, ID_OPTIONS},
        {WM_SYSKEYDOWN, VK_F10, 0, corner, ID_OPTIONS},
    };
    for (const auto& c : cases) {
        MenuSeen seen;
        Script({ReadMenu(seen)});
        SendMessageA(window, c.message, c.wParam, c.lParam);
        EXPECT_EQ(seen.defaultId, c.defaultId) << c.message;
        EXPECT_EQ(seen.place.left, c.at.x) << c.message;
        EXPECT_EQ(seen.place.top, c.at.y) << c.message;
    }
    // Under version 4 the shell's own button-up messages are followed by the events above: no second menu.
    MenuSeen none;
    Script({ReadMenu(none)});
    SendMessageA(window, WM_TRAYNOTIFY, 0, MAKELPARAM(WM_RBUTTONUP, TRAY_ICON_ID));
    EXPECT_TRUE(none.ids.empty());
    Script({});
    SendMessageA(window, WM_TRAYNOTIFY, 0, MAKELPARAM(NIN_KEYSELECT, TRAY_ICON_ID));
    EXPECT_TRUE(IsWindowVisible(window));
    TrayIconVersion = 0;
}

TEST_F(Commands, ShowIsPostedLikeATrayClick) {
    SendMessageA(window, WM_COMMAND, ID_SHOW, 0);
    EXPECT_FALSE(IsWindowVisible(window));
    PumpMessages(200);
    EXPECT_TRUE(IsWindowVisible(window));
}

struct Options : Commands {
    Settings settings;
    std::vector<ServerEntry> servers{{"Vox", -1, 0}, {"Luclin", 1402, 41}, {"Luclin Two", 3, 1}};
    HWND dialog = nullptr;

    void SetUp() override {
        Commands::SetUp();
        SetDefaultSettings(settings);
        settings.EverquestExe = "C:\\EQ\\eqgame.exe";
        settings.PrimaryServer = "Luclin";
        settings.SortOrder = SORT_BY_PLAYERS;
        settings.RunOnStartup = true;
        settings.MinPlayers = 14;
    }
    Step FindDialog() {
        return [this] { return (dialog = FindShown("#32770", window)) != nullptr; };
    }
    INT_PTR Run() { return RunOptionsDialog(TheApp.Instance, window, settings, servers); }
    std::string Field(int id) { return Text(GetDlgItem(dialog, id)); }
    bool Checked(int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
};

TEST_F(Options, FillsFromTheSettingsAndOkWritesThemBack) {
    std::vector<std::string> shown;
    RECT place{};
    Script({FindDialog(), [&] {
                shown = {Field(IDC_EXE_PATH), Field(IDC_PRIMARY_SERVER), Field(IDC_MIN_PLAYERS)};
                shown.push_back(std::to_string(SendDlgItemMessageA(dialog, IDC_PRIMARY_SERVER, CB_GETCOUNT, 0, 0)));
                EXPECT_TRUE(Checked(IDC_SORT_PLAYERS));
                EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_SORT_PLAYERS)));
                SendDlgItemMessageA(dialog, IDC_SORT_NAME, BM_CLICK, 0, 0);
                EXPECT_TRUE(Checked(IDC_RUN_ON_STARTUP));
                EXPECT_TRUE(Checked(IDC_NOTIFY_CHANGES));
                SendDlgItemMessageA(dialog, IDC_NOTIFY_CHANGES, BM_CLICK, 0, 0);
                GetWindowRect(dialog, &place);
                SetDlgItemTextA(dialog, IDC_MIN_PLAYERS, "12");
                SendDlgItemMessageA(dialog, IDC_RUN_ON_STARTUP, BM_CLICK, 0, 0);
                PostMessageA(dialog, WM_COMMAND, IDOK, 0);
                return true;
            }});
    EXPECT_EQ(Run(), IDOK);
    EXPECT_EQ(shown, (std::vector<std::string>{"C:\\EQ\\eqgame.exe", "Luclin", "14", "4"}));
    EXPECT_EQ(place.top, 80);  // the owner is hidden: centred near the top of the desktop
    EXPECT_EQ(settings.MinPlayers, 12);
    EXPECT_EQ(settings.PrimaryServer, "Luclin");
    EXPECT_EQ(settings.EverquestExe, "C:\\EQ\\eqgame.exe");
    EXPECT_EQ(settings.SortOrder, SORT_BY_NAME);
    EXPECT_FALSE(settings.RunOnStartup);
    EXPECT_FALSE(settings.NotifyChanges);
}

// Where the dialog was told to move the focus: Wine may hand the focus around again as the box's
// activation settles, so the request itself is what is checked.
WNDPROC dialogProcedure;
int focusAskedFor;
LRESULT CALLBACK WatchFocusRequests(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NEXTDLGCTL && lParam) focusAskedFor = GetDlgCtrlID(reinterpret_cast<HWND>(wParam));
    return CallWindowProcA(dialogProcedure, w, message, wParam, lParam);
}

TEST_F(Options, NoneClearsThePrimaryAndASecondRequestOpensNoSecondDialog) {
    std::string selected;
    INT_PTR second = 0, about = 0;
    Script({FindDialog(), [&] {
                selected = Field(IDC_PRIMARY_SERVER);
                second = Run();
                about = RunAboutDialog(TheApp.Instance, window);
                EXPECT_EQ(FindShown("#32770", window), dialog);
                SendDlgItemMessageA(dialog, IDC_PRIMARY_SERVER, CB_SETCURSEL, 0, 0);
                return PostMessageA(dialog, WM_COMMAND, IDOK, 0) != 0;
            }});
    EXPECT_EQ(Run(), IDOK);
    EXPECT_EQ(selected, "Luclin");
    EXPECT_EQ(second, IDCANCEL);
    EXPECT_EQ(about, IDCANCEL);
    EXPECT_EQ(settings.PrimaryServer, "");
    Script({FindDialog(), [&] {
                selected = Field(IDC_PRIMARY_SERVER);
                return PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0) != 0;
            }});
    EXPECT_EQ(Run(), IDCANCEL);
    EXPECT_EQ(selected, "(none)");
}

class InvalidMinimum : public Options, public testing::WithParamInterface<const char*> {};

TEST_P(InvalidMinimum, KeepsTheDialogOpenAndChangesNothing) {
    std::string box;
    Script({FindDialog(), [&] {
                dialogProcedure = reinterpret_cast<WNDPROC>(
                    SetWindowLongPtrA(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchFocusRequests)));
                SetDlgItemTextA(dialog, IDC_MIN_PLAYERS, GetParam());
                SetDlgItemTextA(dialog, IDC_EXE_PATH, "C:\\other.exe");
                PostMessageA(dialog, WM_COMMAND, IDOK, 0);
                return true;
            },
            CloseBox(dialog, box), [&] {
                PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
                return true;
            }});
    EXPECT_EQ(Run(), IDCANCEL);
    EXPECT_EQ(box, "Error|Must specify a valid minimum number of players");
    EXPECT_EQ(focusAskedFor, IDC_MIN_PLAYERS);
    EXPECT_EQ(settings.MinPlayers, 14);
    EXPECT_EQ(settings.EverquestExe, "C:\\EQ\\eqgame.exe");
}
INSTANTIATE_TEST_SUITE_P(Options, InvalidMinimum, testing::Values("", "-1"));

OPENFILENAMEA request;
std::string startedFrom;
BOOL WINAPI FakeChooser(OPENFILENAMEA* r) {
    request = *r;
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    SetCurrentDirectoryA(windows);  // as the real chooser does on its way to the game's folder
    startedFrom = r->lpstrFile;
    lstrcpynA(r->lpstrFile, "C:\\Games\\EQ\\eqgame.exe", r->nMaxFile);
    return TRUE;
}

TEST_F(Options, BrowseFillsTheFieldAndOnlyOkKeepsIt) {
    ChooseGameFile = FakeChooser;
    char before[MAX_PATH], after[MAX_PATH];
    GetSystemDirectoryA(before, sizeof before);
    SetCurrentDirectoryA(before);
    std::string field;
    for (int button : {IDCANCEL, IDOK}) {
        Script({FindDialog(), [&] { return PostMessageA(dialog, WM_COMMAND, IDC_BROWSE, 0) != 0; }, [&, button] {
                    field = Field(IDC_EXE_PATH);
                    return PostMessageA(dialog, WM_COMMAND, button, 0) != 0;
                }});
        EXPECT_EQ(Run(), button);
        EXPECT_EQ(field, "C:\\Games\\EQ\\eqgame.exe");
        EXPECT_EQ(settings.EverquestExe, button == IDOK ? "C:\\Games\\EQ\\eqgame.exe" : "C:\\EQ\\eqgame.exe");
    }
    EXPECT_EQ(startedFrom, "C:\\EQ\\eqgame.exe");
    EXPECT_EQ(request.lStructSize, sizeof(void*) == 4 ? 76u : 136u);  // the 400 layout for the build's width
    EXPECT_EQ(request.Flags, 0x201004u);
    EXPECT_EQ(request.nMaxFile, 260u);
    EXPECT_EQ(std::string(request.lpstrFilter, 34), std::string("Executable Programs (*.exe)\0*.exe\0\0", 34));
    EXPECT_STREQ(request.lpstrTitle, "Select the EverQuest Executable");
    EXPECT_STREQ(request.lpstrDefExt, "exe");
    GetCurrentDirectoryA(sizeof after, after);
    EXPECT_STREQ(after, before);
}

TEST_F(Options, TheAlertsDialogTakesAnHttpWebhookAndOnlyOptionsOkKeepsItsChoices) {
    HWND alerts = nullptr;
    std::string box;
    const std::string command(2048, 'n');  // the longest kept
    for (int button : {IDCANCEL, IDOK}) {
        Script({FindDialog(), [&] {
                    SendDlgItemMessageA(dialog, IDC_TRAY_SHOWS_COUNT, BM_CLICK, 0, 0);
                    return PostMessageA(dialog, WM_COMMAND, IDC_ALERTS, 0) != 0;
                }, [&] {
                    if (!(alerts = FindShown("#32770", dialog))) return false;
                    // Refused once each: a command one character too long, an ftp address.
                    SetDlgItemTextA(alerts, IDC_ALERT_COMMAND, button == IDOK ? "notify.exe" : (command + "n").c_str());
                    SetDlgItemTextA(alerts, IDC_ALERT_WEBHOOK, button == IDOK ? "ftp://example.com/hook" : "https://a.b/");
                    return PostMessageA(alerts, WM_COMMAND, IDOK, 0) != 0;
                }, [&] {
                    HWND shown = FindShown("#32770", alerts);
                    if (!shown) return false;
                    box = Text(shown);
                    PostMessageA(shown, WM_COMMAND, IDOK, 0);
                    SetDlgItemTextA(alerts, IDC_ALERT_COMMAND, command.c_str());
                    SetDlgItemTextA(alerts, IDC_ALERT_WEBHOOK, "https://example.com/hook");
                    SendDlgItemMessageA(alerts, IDC_ALERT_SOUND, BM_CLICK, 0, 0);
                    return PostMessageA(alerts, WM_COMMAND, IDOK, 0) != 0;
                }, [&, button] { return !IsWindow(alerts) && PostMessageA(dialog, WM_COMMAND, button, 0) != 0; }});
        EXPECT_EQ(Run(), button);
        EXPECT_EQ(box, "Error");
        const bool kept = button == IDOK;
        EXPECT_EQ(settings.AlertCommand, kept ? command : "");
        EXPECT_EQ(settings.AlertWebhook, kept ? "https://example.com/hook" : "");
        EXPECT_EQ(settings.AlertSound, kept);
        EXPECT_EQ(settings.TrayShowsCount, kept);
    }
}

TEST(RunEntry, WrittenQuotedAndDeleted) {
    const char* scratch = "Software\\Varnok Solutions\\TallowinTest\\Run";
    const char* program = "C:\\Program Files\\Tallowin\\Tallowin.exe";
    ASSERT_TRUE(RewriteRunEntry(HKEY_CURRENT_USER, scratch, true, program));
    char data[MAX_PATH] = "";
    DWORD size = sizeof data, type = 0;
    EXPECT_EQ(RegGetValueA(HKEY_CURRENT_USER, scratch, "Tallowin", RRF_RT_ANY, &type, data, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_STREQ(data, "\"C:\\Program Files\\Tallowin\\Tallowin.exe\"");
    EXPECT_EQ(size, std::strlen(data) + 1);
    ASSERT_TRUE(RewriteRunEntry(HKEY_CURRENT_USER, scratch, false, program));
    EXPECT_EQ(RegGetValueA(HKEY_CURRENT_USER, scratch, "Tallowin", RRF_RT_ANY, nullptr, nullptr, nullptr),
              ERROR_FILE_NOT_FOUND);
    RegDeleteKeyA(HKEY_CURRENT_USER, scratch);
    EXPECT_FALSE(RewriteRunEntry(reinterpret_cast<HKEY>(0x1234), scratch, true, program));
}

TEST(About, AFileWithoutAVersionGivesNoVersionText) {
    char version[128] = "x";
    EXPECT_FALSE(ReadFileVersion("C:\\no\\such\\file.exe", version, sizeof version));
    EXPECT_STREQ(version, "");
}
