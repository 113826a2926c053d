// Test helpers under Wine: a UDP peer on a loopback address, a message pump, a watcher of boxes and a
// handle count.
#include "tests/win/loopback_peer.h"

#include <algorithm>
#include <cstring>

#include "status/socket_win.h"

bool LoopbackPeer::Open(const char* address) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 0), &data);
    Socket = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in bound{};
    bound.sin_family = AF_INET;
    bound.sin_port = htons(STATUS_PORT);
    bound.sin_addr.s_addr = inet_addr(address);
    int room = 4 << 20;
    setsockopt(Socket, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&room), sizeof room);
    return bind(Socket, reinterpret_cast<sockaddr*>(&bound), sizeof bound) == 0;
}

Bytes LoopbackPeer::Receive(int timeoutMs) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(Socket, &readable);
    timeval wait{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    if (select(0, &readable, nullptr, nullptr, &wait) <= 0) return {};
    char buffer[65536];
    int fromLength = sizeof Client;
    const int n = recvfrom(Socket, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&Client), &fromLength);
    if (n < 0) return {};
    HaveClient = true;
    return Bytes(buffer, buffer + n);
}

void LoopbackPeer::Send(const Bytes& datagram) {
    sendto(Socket, reinterpret_cast<const char*>(datagram.data()), static_cast<int>(datagram.size()), 0,
           reinterpret_cast<const sockaddr*>(&Client), sizeof Client);
}

LoopbackPeer::~LoopbackPeer() {
    if (Socket != INVALID_SOCKET) closesocket(Socket);
}

void PumpMessages(int ms) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
    MSG message;
    while (static_cast<int>(end - GetTickCount()) > 0) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

namespace {
struct OpenBoxes {
    std::vector<HWND> found;
};

BOOL CALLBACK CollectBox(HWND window, LPARAM param) {
    char cls[16] = "";
    GetClassNameA(window, cls, sizeof cls);
    if (std::strcmp(cls, "#32770") == 0 && IsWindowVisible(window))
        reinterpret_cast<OpenBoxes*>(param)->found.push_back(window);
    return TRUE;
}
}  // namespace

BoxWatcher::BoxWatcher(int closeAfterMs) : closeAfter(closeAfterMs) {
    worker = std::thread([this] {
        std::vector<std::pair<HWND, DWORD>> firstSeen;
        while (running) {
            OpenBoxes boxes;
            EnumWindows(CollectBox, reinterpret_cast<LPARAM>(&boxes));
            mostOpen = std::max<int>(mostOpen, static_cast<int>(boxes.found.size()));
            for (HWND box : boxes.found) {
                auto it = std::find_if(firstSeen.begin(), firstSeen.end(), [box](auto& e) { return e.first == box; });
                if (it == firstSeen.end()) {
                    char text[1024] = "";
                    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
                    std::lock_guard<std::mutex> guard(lock);
                    seen.push_back(text);
                    firstSeen.push_back({box, GetTickCount()});
                } else if (closeAfter >= 0 && GetTickCount() - it->second >= static_cast<DWORD>(closeAfter.load())) {
                    PostMessageA(box, WM_COMMAND, IDOK, 0);
                }
            }
            Sleep(10);
        }
    });
}

BoxWatcher::~BoxWatcher() {
    closeAfter = 0;
    Sleep(100);
    running = false;
    worker.join();
}

std::vector<std::string> BoxWatcher::Texts() {
    std::lock_guard<std::mutex> guard(lock);
    return seen;
}

int OpenHandles() {
    // GetProcessHandleCount reads 0 under Wine; asking after each handle value works everywhere.
    int count = 0;
    DWORD flags;
    for (uintptr_t h = 4; h < 0x10000; h += 4)
        if (GetHandleInformation(reinterpret_cast<HANDLE>(h), &flags)) ++count;
    return count;
}

SOCKET ConnectedStatusSocket(const char* address) {
    if (!StartWinsock()) return INVALID_SOCKET;
    SOCKET s = CreateStatusSocket();
    sockaddr_in peer;
    if (s == INVALID_SOCKET || !ResolveStatusAddress(address, peer) || !ConnectStatusSocket(s, peer)) return INVALID_SOCKET;
    return s;
}
