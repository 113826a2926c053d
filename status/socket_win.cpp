// The status socket over Winsock: set-up, requests, and the receive and banner handlers.
#include "status/socket_win.h"

#include <ws2tcpip.h>

#include <cstring>

#ifndef TALLOWIN_DEFAULT_STATUS_HOST
#define TALLOWIN_DEFAULT_STATUS_HOST "127.0.0.1"
#endif

namespace {
enum ReceiveBox { BOX_NOTIFY_ERROR, BOX_READ_ERROR, BOX_INVALID, BOX_BANNER, BOX_KINDS };
bool receiveBoxOpen[BOX_KINDS];

// Each box runs a modal loop in which further notifications are handled. A peer that sends a
// burst of bad datagrams would stack one nested box per datagram until the stack ran out, so
// while a box of one kind is open, further failures of that kind show no second box.
void ShowReceiveBox(HWND window, ReceiveBox kind, const char* text, const char* caption = "Error",
                    UINT style = MB_ICONWARNING) {
    if (receiveBoxOpen[kind]) return;
    receiveBoxOpen[kind] = true;
    MessageBoxA(window, text, caption, style);
    receiveBoxOpen[kind] = false;
}
}  // namespace

const char* BuiltInStatusHost() { return TALLOWIN_DEFAULT_STATUS_HOST; }

std::string StatusHostFor(const std::string& setting) { return ChosenStatusHost(setting, TALLOWIN_DEFAULT_STATUS_HOST); }

bool StartWinsock() {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 0), &data) == 0;
}

SOCKET CreateStatusSocket() { return WSASocketA(AF_INET, SOCK_DGRAM, 0, nullptr, 0, WSA_FLAG_OVERLAPPED); }

bool ResolveStatusAddress(const std::string& hostAndPort, sockaddr_in& address) {
    std::string host;
    uint16_t port = 0;
    if (!SplitStatusAddress(hostAndPort, host, port)) return false;
    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return false;
    std::memset(&address, 0, sizeof address);
    std::memcpy(&address, found->ai_addr, found->ai_addrlen < sizeof address ? found->ai_addrlen : sizeof address);
    freeaddrinfo(found);
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    return true;
}

bool ConnectStatusSocket(SOCKET socket, const sockaddr_in& address) {
    return WSAConnect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address, nullptr, nullptr,
                      nullptr, nullptr) == 0;
}

int SendRequest(SOCKET socket, const unsigned char* code) {
    char request[REQUEST_SIZE];
    std::memcpy(request, code, REQUEST_SIZE);
    WSABUF buffer{REQUEST_SIZE, request};
    DWORD sent = 0;
    if (WSASend(socket, &buffer, 1, &sent, 0, nullptr, nullptr) != 0) return WSAGetLastError();
    return 0;
}

void OnSocketNotify(HWND window, SOCKET socket, StatusBuffers& buffers, LPARAM lParam) {
    switch (ClassifyNotification(static_cast<uint32_t>(lParam))) {
    case NotifyAction::NotificationError:
        ShowReceiveBox(window, BOX_NOTIFY_ERROR, NOTIFY_ERROR_TEXT);
        return;
    case NotifyAction::Ignore:
        return;
    case NotifyAction::Receive:
        break;
    }
    unsigned char area[RECEIVE_SIZE];
    std::memset(area, 0, sizeof area);
    WSABUF buffer{sizeof area, reinterpret_cast<char*>(area)};
    DWORD received = 0, flags = 0;
    if (WSARecv(socket, &buffer, 1, &received, &flags, nullptr, nullptr) != 0) {
        ShowReceiveBox(window, BOX_READ_ERROR, READ_ERROR_TEXT);
        return;
    }
    const DispatchOutcome outcome = DispatchDatagram(buffers, area, received, GetTickCount());
    if (outcome == DispatchOutcome::BannerReady) PostMessageA(window, WM_BANNERREADY, 0, 0);
    if (outcome == DispatchOutcome::Invalid) ShowReceiveBox(window, BOX_INVALID, INVALID_RESPONSE_TEXT);
    if (outcome == DispatchOutcome::ReadError) ShowReceiveBox(window, BOX_READ_ERROR, READ_ERROR_TEXT);
}

void OnBannerReady(HWND window, const StatusBuffers& buffers) {
    // A flood of banner answers is held to one open box in the same way.
    ShowReceiveBox(window, BOX_BANNER, BannerBoxText(buffers), "Chat Banner", MB_OK);
}
