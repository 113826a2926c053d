// Sorting of arriving datagrams into the names, status and banner buffers.
#include "status/protocol.h"

#include <cstdlib>
#include <cstring>

const unsigned char REQ_NAMES[REQUEST_SIZE] = {0xFF, 0xFF, 0x01, 0x00};
const unsigned char REQ_STATUS[REQUEST_SIZE] = {0xFF, 0xFF, 0x05, 0x00};
const unsigned char REQ_BANNER[REQUEST_SIZE] = {0xFF, 0xFF, 0x09, 0x00};

const char* const NOTIFY_ERROR_TEXT = "Winsock notification error";
const char* const READ_ERROR_TEXT = "Winsock read error";
const char* const INVALID_RESPONSE_TEXT = "Invalid response received";
const char* const NO_BANNER_TEXT = "No banner available";

namespace {
constexpr uint32_t FD_READ_EVENT = 1;

bool HasCode(const unsigned char* datagram, const unsigned char* code) {
    return std::memcmp(datagram, code, REQUEST_SIZE) == 0;
}

// Copies the banner text: up to a zero byte or k - 1 bytes, then a terminator; nothing for k 0.
void StoreBanner(char* banner, const unsigned char* text, size_t k) {
    if (k == 0) return;
    size_t copied = 0;
    while (copied < k - 1 && text[copied] != 0) {
        banner[copied] = static_cast<char>(text[copied]);
        ++copied;
    }
    banner[copied] = 0;
}
}  // namespace

NotifyAction ClassifyNotification(uint32_t lParam) {
    if ((lParam >> 16) != 0) return NotifyAction::NotificationError;
    if ((lParam & 0xFFFFu) != FD_READ_EVENT) return NotifyAction::Ignore;
    return NotifyAction::Receive;
}

DispatchOutcome DispatchDatagram(StatusBuffers& buffers, const unsigned char* datagram, size_t n,
                                 uint32_t now) {
    if (n > RECEIVE_SIZE) return DispatchOutcome::ReadError;
    if (n < REQUEST_SIZE) return DispatchOutcome::Invalid;
    if (HasCode(datagram, REQ_NAMES)) {
        buffers.NamesLength = static_cast<uint32_t>(n);
        std::memcpy(buffers.NamesBuffer, datagram, n);
        return DispatchOutcome::StoredNames;
    }
    if (HasCode(datagram, REQ_STATUS)) {
        buffers.StatusLength = static_cast<uint32_t>(n);
        buffers.LastStatusTick = now;
        ++buffers.StatusAnswers;
        std::memcpy(buffers.StatusBuffer, datagram, n);
        return DispatchOutcome::StoredStatus;
    }
    if (HasCode(datagram, REQ_BANNER)) {
        size_t k = n - REQUEST_SIZE;
        if (k > BANNER_BUFFER_SIZE) k = BANNER_BUFFER_SIZE;
        StoreBanner(buffers.BannerBuffer, datagram + REQUEST_SIZE, k);
        return DispatchOutcome::BannerReady;
    }
    return DispatchOutcome::Invalid;
}

const char* DispatchOutcomeText(DispatchOutcome outcome) {
    switch (outcome) {
    case DispatchOutcome::Invalid: return INVALID_RESPONSE_TEXT;
    case DispatchOutcome::ReadError: return READ_ERROR_TEXT;
    default: return nullptr;
    }
}

const char* StatusHostName(const char* compiledDefault) {
    const char* host = std::getenv("TALLOWIN_STATUS_HOST");
    return host && *host ? host : compiledDefault;
}

std::string ChosenStatusHost(const std::string& setting, const char* compiledDefault) {
    const char* host = std::getenv("TALLOWIN_STATUS_HOST");
    if (host && *host) return host;
    return setting.empty() ? compiledDefault : setting;
}

bool SplitStatusAddress(const std::string& text, std::string& host, uint16_t& port) {
    const size_t colon = text.find(':');
    host = text.substr(0, colon);
    port = STATUS_PORT;
    if (host.empty() || host.size() > 253) return false;
    for (const char c : host) {
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                             c == '.' || c == '_';
        if (!allowed) return false;
    }
    if (colon == std::string::npos) return true;
    const std::string digits = text.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) return false;
    const unsigned long number = std::strtoul(digits.c_str(), nullptr, 10);
    if (number < 1 || number > 65535) return false;
    port = static_cast<uint16_t>(number);
    return true;
}

const char* BannerBoxText(const StatusBuffers& buffers) {
    return buffers.BannerBuffer[0] == 0 ? NO_BANNER_TEXT : buffers.BannerBuffer;
}
