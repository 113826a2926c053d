// The status socket over Winsock: set-up, requests, and the receive and banner handlers.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include "status/protocol.h"

// Private window messages of the main window.
constexpr UINT WM_TRAYNOTIFY = WM_APP + 100;
constexpr UINT WM_SOCKETNOTIFY = WM_APP + 101;
constexpr UINT WM_BANNERREADY = WM_APP + 102;

// The status host: TALLOWIN_STATUS_HOST when set, else the compiled-in default.
const char* StatusHostName();

// Set-up steps, in the order start-up calls them.
bool StartWinsock();
SOCKET CreateStatusSocket();
const hostent* ResolveStatusHost(const char* host);
bool ConnectStatusSocket(SOCKET socket, const hostent* host);

// Sends one 4-byte request; 0 on success, else the Winsock error code.
int SendRequest(SOCKET socket, const unsigned char* code);
// WM_SOCKETNOTIFY: receives one datagram and sorts it into the buffers.
void OnSocketNotify(HWND window, SOCKET socket, StatusBuffers& buffers, LPARAM lParam);
// WM_BANNERREADY: shows the banner box.
void OnBannerReady(HWND window, const StatusBuffers& buffers);
