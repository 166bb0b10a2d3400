// Garbage on every port the router listens on (the front and a client's own
// port): each connection is refused or ended within its deadline, the router
// keeps serving, and the record path stays byte-exact.

#include "FakeAcquisitionServer.h"
#include "FaultSupport.h"

#include <random>

namespace faults {
namespace {

class GarbageTest : public FakeUpstreamCase {};

Bytes Prefix(int32_t version, uint32_t code, int32_t size) {
    Bytes bytes(protocol::kFrameOverhead);
    protocol::WriteLE32(bytes.data(), static_cast<uint32_t>(version));
    protocol::WriteLE32(bytes.data() + 4, code);
    protocol::WriteLE32(bytes.data() + 8, static_cast<uint32_t>(size));
    return bytes;
}

struct Garbage {
    const char* name;
    Bytes bytes;
};

std::vector<Garbage> GarbageKinds() {
    std::mt19937 random(20261210);
    Bytes noise(4096);
    for (auto& byte : noise) {
        byte = static_cast<unsigned char>(random());
    }
    Bytes noNul = Prefix(1, protocol::kValidationCode, 5);
    noNul.insert(noNul.end(), {'-', 'G', 'e', 't', 'Z'});
    Bytes longText = Prefix(1, protocol::kValidationCode, 300000);
    longText.resize(longText.size() + 300000, 'A');
    longText.back() = 0;
    return {
        {"random bytes", noise},
        {"plain text", {'G', 'E', 'T', ' ', '/', ' ', 'H', 'T', 'T', 'P', '/', '1', '.', '1', '\r', '\n', '\r', '\n'}},
        {"version 0", Prefix(0, protocol::kValidationCode, 4)},
        {"version 2", Prefix(2, protocol::kValidationCode, 4)},
        {"wrong validation code", Prefix(1, 0x5A5A5A5A, 4)},
        {"size 0", Prefix(1, protocol::kValidationCode, 0)},
        {"negative size", Prefix(1, protocol::kValidationCode, -1)},
        {"size above the limit", Prefix(1, protocol::kValidationCode, protocol::kMaxCommandBodySize + 1)},
        {"largest size", Prefix(1, protocol::kValidationCode, 0x7FFFFFFF)},
        {"body without its zero byte", noNul},
        {"one long word", longText},
    };
}

TEST_F(GarbageTest, EveryListeningPortSurvivesGarbage) {
    for (const Garbage& garbage : GarbageKinds()) {
        SCOPED_TRACE(garbage.name);
        const int ownPort = AskForPort();
        ASSERT_GT(ownPort, kFrontPort);
        for (int port : {kFrontPort, ownPort}) {
            RawClient client;
            ASSERT_TRUE(client.Connect(port)) << port;
            client.SendBytes(garbage.bytes.data(), garbage.bytes.size());
            // The end of the stream tells a router still waiting for the rest
            // of a message that none will come.
            client.HalfClose();
            EXPECT_TRUE(Within(3000ms, "the router ending a garbage connection", [&] { return client.WaitClosed(3000); }))
                << port;
        }
        RawClient probe;
        ASSERT_TRUE(probe.Connect(kFrontPort));
        EXPECT_EQ(probe.Command("-GetZorlentTypes", 3000).rfind("0", 0), 0u);
    }
    ExpectBaseline();

    Downstream client;
    ASSERT_TRUE(client.Connect());
    ASSERT_TRUE(client.Client().OpenStream(L"CSC1"));
    ASSERT_TRUE(mFake.WaitForDataStream("CscAcqEnt", 3000ms));
    Bytes records(1044 * 4);
    std::mt19937 random(7);
    for (auto& byte : records) {
        byte = static_cast<unsigned char>(random());
    }
    for (int r = 0; r < 4; ++r) {
        std::fill_n(records.begin() + r * 1044 + 8, 4, 0);
    }
    ASSERT_TRUE(mFake.PushData("CscAcqEnt", records, {1000, 3, 2000}));
    EXPECT_TRUE(client.WaitForCount(L"CSC1", 4, 5000ms));
    EXPECT_EQ(client.BytesOf(L"CSC1"), records);
}

}  // namespace
}  // namespace faults
