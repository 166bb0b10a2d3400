// Connecting, the connection modes, the server texts and the life of a
// client, all through the exported interface.

#include "FacadeFixture.h"

#include <thread>
#include <unistd.h>

namespace facade_test {
namespace {

using plenvar_test::FakeAcquisitionServer;
using plenvar_test::Reply;

constexpr uint16_t kRouterFrontPort = 26200;
constexpr uint16_t kHandedOutPort = 26201;

const char* const kTypeNames[] = {"SEScAcqEnt", "STScAcqEnt", "TTScAcqEnt",
                                  "CscAcqEnt",  "VTAcqEnt",   "EventAcqEnt"};

std::string HostName() {
    char name[256] = {};
    gethostname(name, sizeof name - 1);
    return name;
}

TEST(FacadeLifecycle, UnconnectedClientReportsNotConnectedAndRefusesEverything) {
    ClientPtr client(Plenvar::GetNewPlenvarClient());
    ASSERT_TRUE(client);
    EXPECT_EQ(client->GetServerPCName(), L"Not Connected");
    EXPECT_EQ(client->GetServerIPAddress(), L"Not Connected");
    EXPECT_EQ(client->GetServerApplicationName(), L"Not Connected");
    EXPECT_EQ(client->GetClientVersionString(), L"2.1.0 ");
    EXPECT_FALSE(client->AreWeConnected());
    EXPECT_FALSE(client->DisconnectFromServer());
    EXPECT_FALSE(client->OpenStream(L"SE1"));
    std::vector<std::wstring> objects{L"stale"};
    std::vector<std::wstring> types{L"stale"};
    EXPECT_FALSE(client->GetZorlentObjectsAndTypes(objects, types));
    EXPECT_TRUE(objects.empty());
    EXPECT_TRUE(types.empty());
}

TEST(FacadeLifecycle, NullPointersAreHarmless) {
    Plenvar::DeletePlenvarClient(nullptr);
    Plenvar::PlenvarClient client;
    client.FreeArray(nullptr);
    EXPECT_FALSE(client.SetLogFileName(nullptr));
    EXPECT_FALSE(client.OpenStream(nullptr));
    EXPECT_FALSE(client.CloseStream(nullptr));
}

TEST(FacadeLifecycle, ConnectWithNothingListeningFailsPromptly) {
    ClientPtr client(Plenvar::GetNewPlenvarClient());
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(client->ConnectToServer(L"127.0.0.1", false));
    EXPECT_FALSE(client->ConnectToServer(L"127.0.0.1", true));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_EQ(client->GetServerPCName(), L"Not Connected");
}

class FacadeConnectTest : public FacadeTest {
protected:
    void SetUp() override {
        FacadeTest::SetUp();
        server.SetObjects({{"SE1", "SEScAcqEnt"}, {"CSC1", "CscAcqEnt"}});
    }
};

TEST_F(FacadeConnectTest, DirectConnectSetsUpSixStreamsAndChecksTheLink) {
    ASSERT_TRUE(Connect());
    EXPECT_EQ(client->GetServerApplicationName(), L" Fake Zorlent Server");
    EXPECT_EQ(client->GetServerIPAddress(), L"127.0.0.1");
    EXPECT_NE(client->GetServerPCName(), L"Not Connected");
    for (const char* type : kTypeNames) {
        EXPECT_TRUE(server.WaitForDataStream(type, 2s)) << type;
    }
    EXPECT_EQ(Sent("-GetNextAvailablePortNumber"), 6u);
    EXPECT_EQ(Sent("-CreateStream"), 6u);
    // The connect ends with the link check, which names this computer.
    std::vector<std::string> messages = server.Messages();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), "-SetComputerName " + HostName().substr(0, 127));
    EXPECT_TRUE(client->AreWeConnected());
}

TEST_F(FacadeConnectTest, LinkCheckFailsOnceTheServerDropsADataStream) {
    ASSERT_TRUE(Connect());
    ASSERT_TRUE(server.WaitForDataStream("CscAcqEnt", 2s));
    EXPECT_TRUE(client->AreWeConnected());
    server.CloseDataStream("CscAcqEnt");
    // The stream's thread notices the close shortly after.
    bool lost = false;
    for (int i = 0; i < 40 && !lost; ++i) {
        std::this_thread::sleep_for(50ms);
        lost = !client->AreWeConnected();
    }
    EXPECT_TRUE(lost);
    EXPECT_NE(Log().find("PlenvarClient::AreWeConnected() - A data stream connection has been closed by the server"),
              std::string::npos);
    // A reconnect sets every stream up anew and the link is whole again.
    EXPECT_TRUE(client->DisconnectFromServer());
    ASSERT_TRUE(Connect());
    EXPECT_TRUE(client->AreWeConnected());
}

TEST_F(FacadeConnectTest, ConnectWhileConnectedFailsAndChangesNothing) {
    ASSERT_TRUE(Connect());
    size_t before = server.Messages().size();
    EXPECT_FALSE(Connect());
    EXPECT_EQ(server.Messages().size(), before);
    EXPECT_EQ(server.ConnectionCount(), 1u);
    EXPECT_TRUE(client->AreWeConnected());
}

TEST_F(FacadeConnectTest, DisconnectRestoresNotConnectedAndTheSameClientConnectsAgain) {
    RecordCollector records;
    records.RegisterAll(*client);
    ASSERT_TRUE(Connect());
    ASSERT_TRUE(client->OpenStream(L"SE1"));
    ASSERT_TRUE(server.WaitForDataStream("SEScAcqEnt", 2s));
    ASSERT_TRUE(server.PushData("SEScAcqEnt", RecordBytes<Plenvar::SERec>(100, 0)));
    ASSERT_TRUE(records.WaitFor(1, 2s));

    EXPECT_TRUE(client->DisconnectFromServer());
    EXPECT_EQ(client->GetServerPCName(), L"Not Connected");
    EXPECT_EQ(client->GetServerIPAddress(), L"Not Connected");
    EXPECT_EQ(client->GetServerApplicationName(), L"Not Connected");
    EXPECT_FALSE(client->AreWeConnected());
    EXPECT_FALSE(client->DisconnectFromServer());

    ASSERT_TRUE(Connect());
    EXPECT_EQ(client->GetServerIPAddress(), L"127.0.0.1");
    EXPECT_EQ(Sent("-CreateStream"), 12u);
    ASSERT_TRUE(client->OpenStream(L"SE1"));
    ASSERT_TRUE(server.WaitForDataStream("SEScAcqEnt", 2s));
    ASSERT_TRUE(server.PushData("SEScAcqEnt", RecordBytes<Plenvar::SERec>(200, 0)));
    ASSERT_TRUE(records.WaitFor(2, 2s));
    EXPECT_EQ(records.Arrivals().back().timestamp, 200u);
}

TEST_F(FacadeConnectTest, RouterModeWithNothingOnTheFrontPortFallsBackToTheServerPort) {
    ASSERT_TRUE(client->ConnectToServer(L"127.0.0.1", true));
    EXPECT_EQ(server.ConnectionCount(), 1u);
    EXPECT_EQ(Sent("-CreateStream"), 6u);
    EXPECT_EQ(CountOccurrences(Log(), "Failed to connect to message server."), 1u) << Log();
}

// A stand-in router front: it only hands out the port of a second server.
class FacadeRouterTest : public FacadeConnectTest {
protected:
    FakeAcquisitionServer front{kRouterFrontPort};
    FakeAcquisitionServer perClient{kHandedOutPort};
};

TEST_F(FacadeRouterTest, RouterModeReconnectsOnTheHandedOutPort) {
    ASSERT_TRUE(front.Start());
    ASSERT_TRUE(perClient.Start());
    front.SetReply("-GetNextAvailablePortNumber", Reply::Text("0 26201"));
    perClient.SetApplicationName("Router");
    ASSERT_TRUE(client->ConnectToServer(L"127.0.0.1", true));

    EXPECT_EQ(front.Keywords(),
              (std::vector<std::string>{"-GetApplicationName", "-GetNextAvailablePortNumber"}));
    EXPECT_EQ(client->GetServerApplicationName(), L" Router");
    EXPECT_TRUE(perClient.WaitForDataStream("VTAcqEnt", 2s));
    EXPECT_EQ(server.ConnectionCount(), 0u);
    EXPECT_TRUE(client->AreWeConnected());
}

TEST_F(FacadeRouterTest, RouterThatRefusesAPortLeavesTheClientUnconnected) {
    ASSERT_TRUE(front.Start());
    front.SetReply("-GetNextAvailablePortNumber", Reply::Text("-1"));
    EXPECT_FALSE(client->ConnectToServer(L"127.0.0.1", true));
    EXPECT_FALSE(client->AreWeConnected());
    EXPECT_EQ(client->GetServerPCName(), L"Not Connected");
    EXPECT_EQ(server.ConnectionCount(), 0u);
}

TEST_F(FacadeConnectTest, StreamSetUpRefusedLeavesTheMessageConnectionUp) {
    server.SetNthReply("-GetNextAvailablePortNumber", 4, Reply::Text("-1"));
    EXPECT_FALSE(Connect());
    EXPECT_EQ(Sent("-CreateStream"), 3u);
    EXPECT_TRUE(client->AreWeConnected());
    EXPECT_TRUE(client->DisconnectFromServer());
}

// Two clients of one process, each on its own server (the second reached
// through a router's port hand-out), used from two threads at once.
TEST_F(FacadeRouterTest, TwoClientsInOneProcessKeepTheirConnectionsApart) {
    ASSERT_TRUE(front.Start());
    ASSERT_TRUE(perClient.Start());
    front.SetReply("-GetNextAvailablePortNumber", Reply::Text("0 26201"));
    server.SetReply("-GetSamplingFrequency", Reply::Text("0 1000"));
    perClient.SetReply("-GetSamplingFrequency", Reply::Text("0 2000"));
    ClientPtr second(Plenvar::GetNewPlenvarClient());
    ASSERT_TRUE(Connect());
    ASSERT_TRUE(second->ConnectToServer(L"127.0.0.1", true));

    auto ask = [](Plenvar::PlenvarClient& c, int expected, int& wrong) {
        for (int i = 0; i < 50; ++i) {
            int frequency = 0;
            if (!c.GetSamplingFrequency(L"CSC1", frequency) || frequency != expected) {
                ++wrong;
            }
        }
    };
    int wrongFirst = 0;
    int wrongSecond = 0;
    std::thread a([&] { ask(*client, 1000, wrongFirst); });
    std::thread b([&] { ask(*second, 2000, wrongSecond); });
    a.join();
    b.join();
    EXPECT_EQ(wrongFirst, 0);
    EXPECT_EQ(wrongSecond, 0);

    second.reset();
    EXPECT_TRUE(client->AreWeConnected());
    EXPECT_EQ(client->GetServerIPAddress(), L"127.0.0.1");
}

}  // namespace
}  // namespace facade_test
