// Start-up, the single-instance check, the message loop and the ordered shutdown.
#include <cstdlib>

#include "app/app_win.h"
#include "app/graph_win.h"
#include "settings/registry_store_win.h"
#include "status/deliver_win.h"
#include "status/history_win.h"
#include "status/libraries_win.h"
#include "status/socket_win.h"
#include "status/text.h"

App TheApp;

namespace {
void ShowFatal(const char* text) { MessageBoxA(nullptr, text, "Error", MB_ICONWARNING); }

// Another instance's window, restored and brought forward; true when there was one.
bool HandOverToRunningInstance(ATOM classAtom) {
    HWND running = FindWindowA(MAKEINTATOM(classAtom), nullptr);
    if (!running) return false;
    if (IsIconic(running)) ShowWindow(running, SW_RESTORE);
    SetForegroundWindow(running);
    return true;
}

// Exit paths 4 to 8.
int Teardown(App& app) {
    if (app.StatusSocket != INVALID_SOCKET) closesocket(app.StatusSocket);
    app.StatusSocket = INVALID_SOCKET;
    WSACleanup();
    UnregisterClassA(GRAPH_CLASS_NAME, app.Instance);
    UnregisterClassA(MAKEINTATOM(app.ClassAtom), app.Instance);
    DestroyIcon(app.SmallClassIcon);
    DestroyIcon(app.LargeClassIcon);
    return 0;
}

void LoadUserSettings(Settings& settings) {
    RegistryStore key = UserSettingsKey();
    LoadSettings(settings, RegistryStoreSeam(key));
}

// The four shared buffers, allocated in this order and freed in the reverse one, each set empty.
// False when any of them is missing.
bool AllocateBuffers(StatusClient& client) {
    StatusBuffers& b = client.Buffers;
    b.NamesBuffer = static_cast<unsigned char*>(std::malloc(NAMES_BUFFER_SIZE));
    b.StatusBuffer = static_cast<unsigned char*>(std::malloc(STATUS_BUFFER_SIZE));
    client.ReportText = static_cast<char*>(std::malloc(REPORT_TEXT_SIZE));
    b.BannerBuffer = static_cast<char*>(std::malloc(BANNER_BUFFER_SIZE));
    if (!b.NamesBuffer || !b.StatusBuffer || !client.ReportText || !b.BannerBuffer) return false;
    b.NamesBuffer[0] = 0;
    b.StatusBuffer[0] = 0;
    client.ReportText[0] = 0;
    b.BannerBuffer[0] = 0;
    return true;
}

void FreeBuffers(StatusClient& client) {
    StatusBuffers& b = client.Buffers;
    std::free(b.BannerBuffer);
    std::free(client.ReportText);
    std::free(b.StatusBuffer);
    std::free(b.NamesBuffer);
    b.BannerBuffer = nullptr;
    client.ReportText = nullptr;
    b.StatusBuffer = nullptr;
    b.NamesBuffer = nullptr;
}

void RunMessageLoop() {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
}  // namespace

StatusLink OpenStatusLink(App& app, std::string& host, bool* connectFailed) {
    host = StatusHostFor(app.UserSettings.StatusHost);
    if (host.empty()) return StatusLink::NoHost;
    sockaddr_in address;
    if (!ResolveStatusAddress(host, address)) return StatusLink::NotFound;
    // A socket connected before is replaced, and its read notifications asked for afresh: it may hold
    // an error from the old host, and the read notification that error left switched off.
    if (app.StatusSocketConnected) {
        closesocket(app.StatusSocket);
        app.StatusSocket = INVALID_SOCKET;
        app.StatusSocketConnected = false;
        app.Client.FirstPoll = true;
    }
    if (app.StatusSocket == INVALID_SOCKET) app.StatusSocket = CreateStatusSocket();
    if (ConnectStatusSocket(app.StatusSocket, address)) {
        app.StatusSocketConnected = true;
        return StatusLink::Ready;
    }
    if (connectFailed) *connectFailed = true;
    return StatusLink::NotFound;
}

void ReopenStatusLink(HWND window) {
    App& app = TheApp;
    if (app.Client.Link == StatusLink::Ready && StatusHostFor(app.UserSettings.StatusHost) == app.Client.LinkHost) return;
    ForgetStatusLink(app.Client, GetTickCount());
    // The next tick comes now: a timer armed for later is dropped, and the tick posted in its place.
    if (app.Client.PollTimerId != 0) KillTimer(window, app.Client.PollTimerId);
    app.Client.PollTimerId = 0;
    PostMessageA(window, WM_TIMER, 0, 0);
}

void SaveUserHistory() { SaveHistoryAfterLoad(TheApp.Client.Counts, TheApp.HistoryFolder, TheApp.HistoryFile); }

void SaveUserSettings(const Settings& settings) {
    RegistryStore key = UserSettingsKey();
    SaveSettings(settings, RegistryStoreSeam(key));
}

int RunTallowin(HINSTANCE instance) {
    SearchSystemFolderOnly();
    App& app = TheApp;
    app.Instance = instance;
    // Names are cut between the characters of the system's code page, never inside one.
    NextCharacter = [](const char* text) -> const char* { return CharNextA(text); };
    if (RegisterMainClass(app) == 0) {
        ShowFatal("Fatal: Cannot register window class");
        return 0;
    }
    if (HandOverToRunningInstance(app.ClassAtom)) return 0;
    RegisterGraphClass(instance);
    if (!StartWinsock()) {
        ShowFatal("Fatal: Unable to init winsock");
        return 0;
    }
    app.StatusSocket = CreateStatusSocket();
    if (app.StatusSocket == INVALID_SOCKET) {
        ShowFatal("Fatal: Unable to create socket");
        return Teardown(app);
    }
    // The host is the user's to choose, so the settings come first. A host that cannot be found now
    // (the network is not up yet at logon) is looked up again by the poll cycle.
    LoadUserSettings(app.UserSettings);
    bool connectFailed = false;
    app.Client.Link = OpenStatusLink(app, app.Client.LinkHost, &connectFailed);
    if (connectFailed) {
        ShowFatal("Fatal: Unable to connect socket");
        return Teardown(app);
    }
    app.HistoryFolder = HistoryFolder();
    app.HistoryFile = LoadHistoryFile(app.Client.Counts, app.HistoryFolder, CurrentMinute());
    const Settings& s = app.UserSettings;
    HWND window = CreateWindowExA(0, MAKEINTATOM(app.ClassAtom), "Tallowin", WS_OVERLAPPEDWINDOW, s.X, s.Y, s.Width,
                                  s.Height, nullptr, nullptr, instance, nullptr);
    if (!window) {
        ShowFatal("Fatal: Unable to create window");
        return Teardown(app);
    }
    if (!AllocateBuffers(app.Client)) {
        // Without its buffers the poll cycle cannot run: end like a failed window creation,
        // taking the window (and its tray icon) down first; the loaded settings are not saved.
        DestroyWindow(window);
        FreeBuffers(app.Client);
        ShowFatal("Fatal: Unable to allocate memory");
        return Teardown(app);
    }
    RunMessageLoop();
    // A webhook still under way holds up the exit no more than this.
    StopWebhooks(2000);
    FreeBuffers(app.Client);
    SaveUserSettings(app.UserSettings);
    SaveUserHistory();
    return Teardown(app);
}
