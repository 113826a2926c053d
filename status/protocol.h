// Request codes of the status service, the receive buffers and the sorting of arriving datagrams.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

constexpr uint16_t STATUS_PORT = 24252;
constexpr size_t REQUEST_SIZE = 4;
constexpr size_t RECEIVE_SIZE = 4096;  // largest answer the service sends, code included
constexpr size_t NAMES_BUFFER_SIZE = 4096;
constexpr size_t STATUS_BUFFER_SIZE = 4096;
constexpr size_t REPORT_TEXT_SIZE = 8192;
constexpr size_t BANNER_BUFFER_SIZE = 1024;

extern const unsigned char REQ_NAMES[REQUEST_SIZE];
extern const unsigned char REQ_STATUS[REQUEST_SIZE];
extern const unsigned char REQ_BANNER[REQUEST_SIZE];

// Texts of the receive path's boxes.
extern const char* const NOTIFY_ERROR_TEXT;
extern const char* const READ_ERROR_TEXT;
extern const char* const INVALID_RESPONSE_TEXT;
extern const char* const NO_BANNER_TEXT;

// The answers as received, code included. The storage belongs to start-up; a buffer whose first
// byte is 0 holds no answer.
struct StatusBuffers {
    unsigned char* NamesBuffer = nullptr;   // NAMES_BUFFER_SIZE bytes
    uint32_t NamesLength = 0;
    unsigned char* StatusBuffer = nullptr;  // STATUS_BUFFER_SIZE bytes
    uint32_t StatusLength = 0;
    char* BannerBuffer = nullptr;           // BANNER_BUFFER_SIZE bytes, zero-terminated text
    // When the last status answer arrived: only that answer says the report is fresh. Names, banners
    // and stray datagrams keep coming from a service whose counts may be long gone.
    uint32_t LastStatusTick = 0;
    uint32_t StatusAnswers = 0;             // status answers stored so far, to tell a new one
};

// What a socket notification asks for, from its lParam (event low word, error high word).
enum class NotifyAction { Receive, Ignore, NotificationError };
NotifyAction ClassifyNotification(uint32_t lParam);

enum class DispatchOutcome { StoredNames, StoredStatus, BannerReady, Invalid, ReadError };

// Sorts one received datagram of n bytes into its buffer. `now` is the receive time in ms, kept for a
// status answer.
// A datagram over RECEIVE_SIZE bytes is a read failure and changes nothing.
DispatchOutcome DispatchDatagram(StatusBuffers& buffers, const unsigned char* datagram, size_t n,
                                 uint32_t now);

// The box text that goes with an outcome, or nullptr when the outcome shows none.
const char* DispatchOutcomeText(DispatchOutcome outcome);

// The status host: TALLOWIN_STATUS_HOST when set and not empty, else the compiled-in default.
const char* StatusHostName(const char* compiledDefault);
// The host the program asks: TALLOWIN_STATUS_HOST when set and not empty, else the user's setting when
// not empty, else the compiled-in default (which a build may leave empty).
std::string ChosenStatusHost(const std::string& setting, const char* compiledDefault);
// Splits "host" or "host:port" (STATUS_PORT when none is given). False for an empty host, a host of
// more than 253 characters or with a character no host name or IPv4 address has, or a port outside
// 1 to 65535.
bool SplitStatusAddress(const std::string& text, std::string& host, uint16_t& port);

// The text of the chat banner box.
const char* BannerBoxText(const StatusBuffers& buffers);
