#include "protocol/Framing.h"

#include <cstring>

namespace protocol {

void WriteLE32(unsigned char* out, uint32_t value) {
    out[0] = static_cast<unsigned char>(value);
    out[1] = static_cast<unsigned char>(value >> 8);
    out[2] = static_cast<unsigned char>(value >> 16);
    out[3] = static_cast<unsigned char>(value >> 24);
}

uint32_t ReadLE32(const unsigned char* in) {
    return static_cast<uint32_t>(in[0]) | (static_cast<uint32_t>(in[1]) << 8) |
           (static_cast<uint32_t>(in[2]) << 16) | (static_cast<uint32_t>(in[3]) << 24);
}

void WriteLE16(unsigned char* out, uint16_t value) {
    out[0] = static_cast<unsigned char>(value);
    out[1] = static_cast<unsigned char>(value >> 8);
}

uint16_t ReadLE16(const unsigned char* in) {
    return static_cast<uint16_t>(in[0] | (in[1] << 8));
}

void WritePreHeader(unsigned char out[kPreHeaderSize]) {
    WriteLE32(out, static_cast<uint32_t>(kProtocolVersion));
    WriteLE32(out + 4, kValidationCode);
}

void WriteHeader(unsigned char out[kHeaderSize], int32_t bodySize) {
    WriteLE32(out, static_cast<uint32_t>(bodySize));
}

std::vector<unsigned char> BuildMessage(const void* body, int32_t bodySize) {
    size_t size = bodySize > 0 ? static_cast<size_t>(bodySize) : 0;
    std::vector<unsigned char> message(kFrameOverhead + size, 0);
    WritePreHeader(message.data());
    WriteHeader(message.data() + kPreHeaderSize, bodySize);
    if (size > 0 && body != nullptr) {
        std::memcpy(message.data() + kFrameOverhead, body, size);
    }
    return message;
}

PreHeaderCheck CheckPreHeader(const unsigned char preHeader[kPreHeaderSize], int32_t& version) {
    version = static_cast<int32_t>(ReadLE32(preHeader));
    if (version < kProtocolVersion) {
        return PreHeaderCheck::VersionTooLow;
    }
    if (version > kProtocolVersion) {
        return PreHeaderCheck::VersionTooHigh;
    }
    if (ReadLE32(preHeader + 4) != kValidationCode) {
        return PreHeaderCheck::BadValidationCode;
    }
    return PreHeaderCheck::Accepted;
}

SizeCheck CheckMessageSize(int32_t size, int32_t limit) {
    if (size <= 0) {
        return SizeCheck::NotPositive;
    }
    if (size > limit) {
        return SizeCheck::TooLarge;
    }
    return SizeCheck::Accepted;
}

}  // namespace protocol
