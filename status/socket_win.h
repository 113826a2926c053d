// The status socket over Winsock: set-up, requests, and the receive and banner handlers.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <string>

#include "status/protocol.h"

// Private window messages of the main window.
constexpr UINT WM_TRAYNOTIFY = WM_APP + 100;
constexpr UINT WM_SOCKETNOTIFY = WM_APP + 101;
constexpr UINT WM_BANNERREADY = WM_APP + 102;

// The host this build asks when the user names none; empty in a build made without one.
const char* BuiltInStatusHost();
// The host to ask: TALLOWIN_STATUS_HOST when set, else the StatusHost setting, else the built-in one.
std::string StatusHostFor(const std::string& setting);

// Set-up steps, in the order start-up calls them.
bool StartWinsock();
SOCKET CreateStatusSocket();
// Looks up "host" or "host:port" and gives its first IPv4 address; false when it cannot be found.
bool ResolveStatusAddress(const std::string& hostAndPort, sockaddr_in& address);
bool ConnectStatusSocket(SOCKET socket, const sockaddr_in& address);

// Sends one 4-byte request; 0 on success, else the Winsock error code.
int SendRequest(SOCKET socket, const unsigned char* code);
// WM_SOCKETNOTIFY: receives one datagram and sorts it into the buffers.
void OnSocketNotify(HWND window, SOCKET socket, StatusBuffers& buffers, LPARAM lParam);
// WM_BANNERREADY: shows the banner box.
void OnBannerReady(HWND window, const StatusBuffers& buffers);
