#pragma once
// The message framing both sides of a message connection speak: an 8-byte
// pre-header (version, validation code), a 4-byte header (body size) and the
// body. All integers little-endian.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace protocol {

constexpr int32_t kProtocolVersion = 1;
constexpr uint32_t kValidationCode = 0xA5A5A5A5u;
constexpr size_t kPreHeaderSize = 8;
constexpr size_t kHeaderSize = 4;
constexpr size_t kFrameOverhead = kPreHeaderSize + kHeaderSize;

// Largest body each side accepts; larger sizes are refused before anything
// is allocated.
constexpr int32_t kMaxReplyBodySize = 256 * 1024 * 1024;   // client side
constexpr int32_t kMaxCommandBodySize = 16 * 1024 * 1024;  // router side

void WriteLE32(unsigned char* out, uint32_t value);
uint32_t ReadLE32(const unsigned char* in);
void WriteLE16(unsigned char* out, uint16_t value);
uint16_t ReadLE16(const unsigned char* in);

// One contiguous, zero-initialised message: pre-header, header, body.
std::vector<unsigned char> BuildMessage(const void* body, int32_t bodySize);

// The pre-header and header alone (used by the side that sends the parts
// separately).
void WritePreHeader(unsigned char out[kPreHeaderSize]);
void WriteHeader(unsigned char out[kHeaderSize], int32_t bodySize);

enum class PreHeaderCheck {
    Accepted,
    VersionTooLow,      // version below 1: invalid version number
    VersionTooHigh,     // version above 1: not supported
    BadValidationCode,  // version 1, validation code wrong
};

// Checks a received pre-header; the version is handed out for the message
// that names it. The validation code is looked at only with version 1.
PreHeaderCheck CheckPreHeader(const unsigned char preHeader[kPreHeaderSize], int32_t& version);

enum class SizeCheck {
    Accepted,
    NotPositive,  // 0 or negative
    TooLarge,     // above the receiver's limit
};

SizeCheck CheckMessageSize(int32_t size, int32_t limit);

}  // namespace protocol
