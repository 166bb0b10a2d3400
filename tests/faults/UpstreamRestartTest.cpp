// The acquisition server killed and restarted again and again while two
// clients stream through the router: the router links up again each time,
// re-opens what its clients have open, and both clients get the same whole
// records in order.

#include "FaultSupport.h"
#include "simulator/Simulator.h"

namespace faults {
namespace {

class UpstreamRestartTest : public RouterCase {
protected:
    void SetUp() override {
        ASSERT_TRUE(StartSimulator());
        StartRouter();
        TakeBaseline();
    }
    void TearDown() override {
        RouterCase::TearDown();
        mSim.reset();
    }
    bool StartSimulator() {
        sim::SimulatorOptions options;
        // Real time, so that a restarted server's clock starts after the
        // last record of the one before.
        options.rateScale = 1;
        options.log = [](const std::string&) {};
        mSim.reset();
        mSim = std::make_unique<sim::Simulator>(options);
        return mSim->Start();
    }

    std::unique_ptr<sim::Simulator> mSim;
};

TEST_F(UpstreamRestartTest, ClientsStreamAcrossRestarts) {
    constexpr int kRounds = 4;
    {
        Downstream first;
        Downstream second;
        ASSERT_TRUE(first.Connect());
        ASSERT_TRUE(second.Connect());
        ASSERT_TRUE(first.Client().OpenStream(L"CSC1"));
        ASSERT_TRUE(second.Client().OpenStream(L"CSC1"));
        for (int round = 0; round < kRounds; ++round) {
            SCOPED_TRACE("round " + std::to_string(round));
            for (Downstream* client : {&first, &second}) {
                EXPECT_TRUE(client->WaitForCount(L"CSC1", client->Count(L"CSC1") + 20, 10000ms))
                    << "records did not flow again";
            }
            if (round % 2 == 0) {
                mSim->KillConnections();
            } else {
                ASSERT_TRUE(StartSimulator()) << "the server could not start again on its port";
            }
            ASSERT_TRUE(Router().WaitForLine("down", 5s));
            ASSERT_TRUE(Router().WaitForLine("up", 10s));
        }
        for (Downstream* client : {&first, &second}) {
            EXPECT_TRUE(client->WaitForCount(L"CSC1", client->Count(L"CSC1") + 20, 10000ms));
        }

        // Both clients took the same batches from the router: the later one's
        // records are a run of the earlier one's, byte for byte.
        const Bytes a = first.BytesOf(L"CSC1");
        const Bytes b = second.BytesOf(L"CSC1");
        ASSERT_EQ(a.size() % 1044, 0u);
        ASSERT_EQ(b.size() % 1044, 0u);
        EXPECT_GE(CscGaps(CscTimestamps(a)), 0) << "records out of order or cut";
        const auto stampsA = CscTimestamps(a);
        const auto stampsB = CscTimestamps(b);
        ASSERT_FALSE(stampsB.empty());
        const auto start = std::find(stampsA.begin(), stampsA.end(), stampsB.front());
        ASSERT_NE(start, stampsA.end()) << "the second client's first record never reached the first";
        const size_t offset = static_cast<size_t>(start - stampsA.begin()) * 1044;
        const size_t common = std::min(a.size() - offset, b.size());
        EXPECT_GT(common, 60u * 1044);
        EXPECT_TRUE(std::equal(b.begin(), b.begin() + static_cast<long>(common), a.begin() + static_cast<long>(offset)))
            << "the two clients saw different records";
        EXPECT_EQ(first.BadBatches() + second.BadBatches(), 0);
    }
    ExpectBaseline();
}

}  // namespace
}  // namespace faults
