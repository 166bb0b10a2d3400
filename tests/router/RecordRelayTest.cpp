// Record batches through the server list to the clients' data streams.

#include "RouterTestSupport.h"

#include <atomic>

#include <gtest/gtest.h>

namespace {

using namespace routertest;

std::string Records(int count, int size, char seed) {
    std::string bytes(static_cast<size_t>(count * size), '\0');
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(seed + static_cast<char>(i * 7));
    }
    return bytes;
}

class RecordRelayTest : public ServerListTest {
protected:
    // A connected client with a stream of the type and the objects open.
    struct Client {
        RawClient messages;
        DataPort data;
    };
    std::unique_ptr<Client> MakeClient(const std::string& type, std::vector<std::string> objects,
                                       int receiveBuffer = 0) {
        auto client = std::make_unique<Client>();
        client->data = DataPort(0, receiveBuffer);
        EXPECT_GT(ConnectClient(client->messages), 0);
        EXPECT_TRUE(CreateStream(client->messages, client->data, type));
        for (const std::string& object : objects) {
            EXPECT_EQ("0 Attempt to process OpenStream command was successful",
                      client->messages.Command("-OpenStream " + object + " " + type));
        }
        return client;
    }
    void Distribute(const std::string& bytes, const std::string& object, const std::string& type) {
        EXPECT_EQ(0, mList->DistributeData(bytes.data(), static_cast<int32_t>(bytes.size()), object, type));
    }
};

TEST_F(RecordRelayTest, BatchesReachOnlyStreamsOfTheirTypeWithTheirObjectOpen) {
    auto client = MakeClient("SEScAcqEnt", {"Sc1"});
    const std::string three = Records(3, 112, 1);
    Distribute(three, "Sc1", "SEScAcqEnt");
    std::string received;
    ASSERT_TRUE(client->data.ReadExact(received, 336));
    EXPECT_EQ(three, received);

    Distribute(Records(1, 112, 2), "Sc2", "SEScAcqEnt");         // not opened
    Distribute(Records(1, 112, 3), "Sc1", "sescacqent");         // type differs in case
    Distribute(Records(1, 112, 4), "Sc1", "SEScAcqEnt ");        // type differs in length
    Distribute(Records(1, 176, 5), "Sc1", "STScAcqEnt");         // no stream of the type
    const std::string upper = Records(1, 112, 6);
    Distribute(upper, "SC1", "SEScAcqEnt");                      // object differs in case only
    EXPECT_EQ(upper, client->data.ReadAvailable());
    EXPECT_EQ(std::string::npos, Log().find("Object Name: Sc2"));
}

TEST_F(RecordRelayTest, ABatchOfNRecordsArrivesAsNTimesTheRecordSize) {
    auto client = MakeClient("CscAcqEnt", {"CSC1"});
    const std::string five = Records(5, 1044, 9);
    Distribute(five, "CSC1", "CscAcqEnt");
    EXPECT_EQ(five, client->data.ReadAvailable());
}

TEST_F(RecordRelayTest, TwoClientsWithTheObjectOpenEachGetEveryBatchOnce) {
    auto first = MakeClient("VTAcqEnt", {"VT1"});
    auto second = MakeClient("VTAcqEnt", {"VT1", "VT2"});
    auto other = MakeClient("VTAcqEnt", {"VT2"});
    std::string all;
    for (int i = 0; i < 10; ++i) {
        const std::string batch = Records(1, 1828, static_cast<char>(i));
        Distribute(batch, "VT1", "VTAcqEnt");
        all += batch;
    }
    EXPECT_EQ(all, first->data.ReadAvailable());
    EXPECT_EQ(all, second->data.ReadAvailable());
    EXPECT_EQ("", other->data.ReadAvailable(100));
}

TEST_F(RecordRelayTest, ClosedObjectStopsItsRecords) {
    auto client = MakeClient("EventAcqEnt", {"Events"});
    Distribute(Records(1, 184, 1), "Events", "EventAcqEnt");
    EXPECT_EQ(184u, client->data.ReadAvailable().size());
    EXPECT_EQ("0 Attempt to process CloseStream command was successful",
              client->messages.Command("-CloseStream Events EventAcqEnt"));
    Distribute(Records(1, 184, 2), "Events", "EventAcqEnt");
    EXPECT_EQ("", client->data.ReadAvailable(100));
}

// A client that stops reading is cut off after one blocked send; the
// others keep receiving.
class StalledClientTest : public RecordRelayTest {
protected:
    // The blocked write times out either before any byte went (an error) or
    // after some did (a short write).
    static size_t StreamErrors(const std::string& log) {
        return CountOccurrences(log, "Node ID: 1001 - Object Name: CSC1 Error sending data, error code: "
                                     "WSAETIMEDOUT") +
               CountOccurrences(log, "Node ID: 1001 - Not all bytes were sent, number sent = ");
    }
};

TEST_F(StalledClientTest, StalledClientHoldsOthersUpOnceForAtMostTheSendTimeOut) {
    auto stalled = MakeClient("CscAcqEnt", {"CSC1"}, 4096);
    auto reader = MakeClient("CscAcqEnt", {"CSC1"});
    std::atomic<size_t> readerBytes{0};
    std::atomic<bool> stop{false};
    std::thread readerThread([&] {
        char buffer[65536];
        auto& socket = reader->data.Connection();
        while (!stop) {
            if (socket.WaitReadable(50) == 1) {
                long n = socket.Recv(buffer, sizeof buffer);
                if (n <= 0) {
                    break;
                }
                readerBytes += static_cast<size_t>(n);
            }
        }
    });

    const std::string batch = Records(10, 1044, 3);
    size_t sent = 0;
    auto longest = Clock::duration::zero();
    auto start = Clock::now();
    bool cutOff = false;
    while (Clock::now() - start < 15s) {
        auto before = Clock::now();
        Distribute(batch, "CSC1", "CscAcqEnt");
        longest = std::max(longest, Clock::now() - before);
        ++sent;
        if (!cutOff && StreamErrors(Log()) > 0) {
            cutOff = true;
            // Keep going a little: later batches must pass without delay.
            start = Clock::now() - 14500ms;
        }
    }
    EXPECT_TRUE(WaitUntil([&] { return readerBytes == sent * batch.size(); }, 5000ms))
        << readerBytes << " of " << sent * batch.size();
    stop = true;
    readerThread.join();
    ASSERT_TRUE(cutOff) << sent << " batches, reader got " << readerBytes;
    EXPECT_LT(longest, 3500ms);

    const std::string log = Log();
    EXPECT_EQ(1u, StreamErrors(log)) << log;
    // The stalled client sees its data connection end once it drains it.
    stalled->data.ReadAvailable(500);
    EXPECT_TRUE(stalled->data.Closed());
}

}  // namespace
