// Clients that connect and vanish in a tight loop, in every way a client can
// vanish: the router must keep serving, release every per-client server and
// port, and end up holding what it held before.

#include "FakeAcquisitionServer.h"
#include "FaultSupport.h"

namespace faults {
namespace {

class ChurnTest : public FakeUpstreamCase {
protected:
    ObjectList Objects() const override { return {{"SE1", "SEScAcqEnt"}, {"CSC1", "CscAcqEnt"}}; }
};

void OneSession(int session) {
    const Bytes frame = RawClient::Frame("-SetApplicationName Churn");
    RawClient front;
    // The front serves one connection at a time with a backlog of one, so a
    // session that leaves the front waits until the router has let go of it;
    // otherwise the next connect's SYN is dropped and retried a second later.
    switch (session % 5) {
    case 0:  // connects to the front and leaves at once
        ASSERT_TRUE(front.Connect(kFrontPort));
        front.HalfClose();
        EXPECT_TRUE(front.WaitClosed(3000));
        return;
    case 1:  // half a command on the front, then gone
        ASSERT_TRUE(front.Connect(kFrontPort));
        ASSERT_TRUE(front.SendBytes(frame.data(), frame.size() / 2));
        front.HalfClose();
        EXPECT_TRUE(front.WaitClosed(3000));
        return;
    default:
        break;
    }
    const int port = AskForPort();
    ASSERT_GT(port, kFrontPort) << "session " << session;
    RawClient own;
    ASSERT_TRUE(own.Connect(port)) << "session " << session;
    if (session % 5 == 3) {  // one command, then a reset
        ASSERT_NE(own.Command("-SetApplicationName Churn"), "<no reply>");
        own.Reset();
    } else if (session % 5 == 4) {  // half a command
        ASSERT_TRUE(own.SendBytes(frame.data(), frame.size() / 2));
    }
}

// Every session that takes a port also connects to it: a client that takes a
// port and never comes is the case below.
TEST_F(ChurnTest, FiveHundredSessionsThatVanish) {
    const auto start = Clock::now();
    for (int session = 0; session < 500; ++session) {
        if (session % 50 == 49) {
            // Now and then a whole library client, set-up and all.
            Downstream client;
            ASSERT_TRUE(Within(5000ms, "a library client connecting", [&] { return client.Connect(); }));
            ASSERT_TRUE(client.Client().OpenStream(L"CSC1"));
            continue;
        }
        OneSession(session);
        if (HasFatalFailure()) {
            return;
        }
    }
    std::cout << "500 sessions in "
              << std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count() << " ms"
              << std::endl;
    ExpectBaseline();

    Downstream client;
    ASSERT_TRUE(client.Connect());
    ASSERT_TRUE(client.Client().OpenStream(L"SE1"));
    ASSERT_TRUE(mFake.WaitForDataStream("SEScAcqEnt", 3000ms));
    Bytes records(112 * 3, 0x5A);
    for (int r = 0; r < 3; ++r) {
        std::fill_n(records.begin() + r * 112 + 8, 4, 0);  // index field: SE1
    }
    ASSERT_TRUE(mFake.PushData("SEScAcqEnt", records));
    EXPECT_TRUE(client.WaitForCount(L"SE1", 3, 5000ms));
    EXPECT_EQ(client.BytesOf(L"SE1"), records);
}

// A client that asks for a port and never connects to it must not leave a
// message server (a thread and a listening socket) awaiting it for good: the
// monitor reclaims hand-outs unused for 5 s.
TEST_F(ChurnTest, PortsHandedOutButNeverUsedAreReclaimed) {
    for (int i = 0; i < 20; ++i) {
        ASSERT_GT(AskForPort(), kFrontPort);
    }
    std::this_thread::sleep_for(6000ms);
    ExpectBaseline();
}

}  // namespace
}  // namespace faults
