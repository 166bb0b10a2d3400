#include "protocol/Framing.h"
#include "protocol/RecordTypes.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace protocol;

TEST(Framing, GetApplicationNameIsThirtyTwoBytes) {
    const char text[] = "-GetApplicationName";
    auto message = BuildMessage(text, sizeof text);
    ASSERT_EQ(message.size(), 32u);
    const unsigned char head[12] = {1, 0, 0, 0, 0xA5, 0xA5, 0xA5, 0xA5, 0x14, 0, 0, 0};
    EXPECT_EQ(std::memcmp(message.data(), head, 12), 0);
    EXPECT_EQ(std::memcmp(message.data() + 12, text, 20), 0);
}

TEST(Framing, PreHeaderChecks) {
    struct Case {
        int32_t version;
        uint32_t code;
        PreHeaderCheck expected;
    } cases[] = {
        {1, 0xA5A5A5A5u, PreHeaderCheck::Accepted},
        {0, 0xA5A5A5A5u, PreHeaderCheck::VersionTooLow},
        {-1, 0, PreHeaderCheck::VersionTooLow},
        {2, 0, PreHeaderCheck::VersionTooHigh},
        {1, 0xA4A5A5A5u, PreHeaderCheck::BadValidationCode},
        {1, 0, PreHeaderCheck::BadValidationCode},
    };
    for (const Case& c : cases) {
        unsigned char pre[8];
        WriteLE32(pre, static_cast<uint32_t>(c.version));
        WriteLE32(pre + 4, c.code);
        int32_t version = 99;
        EXPECT_EQ(CheckPreHeader(pre, version), c.expected) << c.version;
        EXPECT_EQ(version, c.version);
    }
}

TEST(Framing, SizeChecks) {
    EXPECT_EQ(CheckMessageSize(0, kMaxCommandBodySize), SizeCheck::NotPositive);
    EXPECT_EQ(CheckMessageSize(-5, kMaxCommandBodySize), SizeCheck::NotPositive);
    EXPECT_EQ(CheckMessageSize(1, kMaxCommandBodySize), SizeCheck::Accepted);
    EXPECT_EQ(CheckMessageSize(kMaxCommandBodySize, kMaxCommandBodySize), SizeCheck::Accepted);
    EXPECT_EQ(CheckMessageSize(kMaxCommandBodySize + 1, kMaxCommandBodySize), SizeCheck::TooLarge);
}

TEST(RecordTypes, NamesSizesAndIndexFields) {
    EXPECT_EQ(FindByTypeName(std::string_view("CscAcqEnt"))->recordSize, 1044);
    EXPECT_EQ(FindByTypeName(std::string_view("cscacqent")), nullptr);
    EXPECT_EQ(FindByTypeName(std::wstring_view(L"VTAcqEnt"))->recordSize, 1828);
    unsigned char video[1828] = {};
    video[2] = 0x01;
    EXPECT_EQ(ReadIndex(Info(RecordType::VT), video), 1u);
    video[2] = 0x00;
    video[3] = 0x01;
    EXPECT_EQ(ReadIndex(Info(RecordType::VT), video), 256u);
    unsigned char spike[112] = {};
    spike[8] = 7;
    EXPECT_EQ(ReadIndex(Info(RecordType::SE), spike), 7u);
}
