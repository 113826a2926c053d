// Test helpers under Wine: a UDP peer on a loopback address, a message pump, a watcher of boxes and a
// handle count.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using Bytes = std::vector<unsigned char>;

// Plays the status service: bound to address:24252, answering whoever wrote last.
struct LoopbackPeer {
    SOCKET Socket = INVALID_SOCKET;
    sockaddr_in Client{};
    bool HaveClient = false;

    bool Open(const char* address);
    // One datagram within timeoutMs, or an empty vector.
    Bytes Receive(int timeoutMs = 2000);
    void Send(const Bytes& datagram);
    ~LoopbackPeer();
};

// Dispatches the thread's messages for about ms milliseconds.
void PumpMessages(int ms);

// Watches for message boxes on another thread, records their texts and, when told to, closes them.
struct BoxWatcher {
    explicit BoxWatcher(int closeAfterMs = 0);
    ~BoxWatcher();
    std::vector<std::string> Texts();
    int MostOpenAtOnce() const { return mostOpen; }

    std::atomic<bool> running{true};
    std::atomic<int> closeAfter;
    std::atomic<int> mostOpen{0};
    std::mutex lock;
    std::vector<std::string> seen;
    std::vector<HWND> known;
    std::thread worker;
};

// The process's open kernel handles, counted by asking after each possible value.
int OpenHandles();

// Makes a test's own Winsock and its UDP socket connected to a peer's address, as start-up does.
SOCKET ConnectedStatusSocket(const char* address);
