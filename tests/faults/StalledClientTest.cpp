// A downstream client that stops reading: the router gives up on that
// client's stream after its send time-out and keeps relaying to the others.
// The upstream here never drops anything, so the healthy client must get
// every record, byte for byte and in order, and the stalled one a whole
// prefix of them.

#include "FakeAcquisitionServer.h"
#include "FaultSupport.h"

#include <random>

namespace faults {
namespace {

class StalledClientTest : public FakeUpstreamCase {};

// More than the socket buffers between the router and a client can hold.
constexpr int kRecords = 16000;
constexpr size_t kRecordSize = 1044;

Bytes CscRecords() {
    Bytes records(kRecords * kRecordSize);
    std::mt19937 random(99);
    for (auto& byte : records) {
        byte = static_cast<unsigned char>(random());
    }
    for (size_t r = 0; r < kRecords; ++r) {
        std::fill_n(records.begin() + static_cast<long>(r * kRecordSize + 8), 4, 0);
    }
    return records;
}

TEST_F(StalledClientTest, OthersGetEveryRecordWhole) {
    const Bytes records = CscRecords();
    {
        Downstream healthy;
        Downstream stalled;
        ASSERT_TRUE(healthy.Connect());
        ASSERT_TRUE(stalled.Connect());
        ASSERT_TRUE(healthy.Client().OpenStream(L"CSC1"));
        ASSERT_TRUE(stalled.Client().OpenStream(L"CSC1"));
        ASSERT_TRUE(mFake.WaitForDataStream("CscAcqEnt", 3000ms));
        stalled.Stall(true);

        std::thread pusher([&] { mFake.PushData("CscAcqEnt", records); });
        // One send time-out (2 s) for the stalled stream plus the transfer.
        const bool all = healthy.WaitForCount(L"CSC1", kRecords, 20000ms);
        stalled.Stall(false);
        pusher.join();
        EXPECT_TRUE(all) << "the healthy client got " << healthy.Count(L"CSC1") << " of " << kRecords;
        EXPECT_TRUE(healthy.BytesOf(L"CSC1") == records) << "the healthy client's records differ";

        const Bytes prefix = stalled.BytesOf(L"CSC1");
        EXPECT_LT(prefix.size(), records.size()) << "the stall never held the router up";
        EXPECT_EQ(prefix.size() % kRecordSize, 0u);
        EXPECT_TRUE(std::equal(prefix.begin(), prefix.end(), records.begin())) << "the stalled client's records differ";
        EXPECT_EQ(healthy.BadBatches() + stalled.BadBatches(), 0);

        Within(3000ms, "disconnecting the stalled client", [&] { return stalled.Client().DisconnectFromServer(); });
        Within(3000ms, "disconnecting the healthy client", [&] { return healthy.Client().DisconnectFromServer(); });
    }
    ExpectBaseline();
}

}  // namespace
}  // namespace faults
