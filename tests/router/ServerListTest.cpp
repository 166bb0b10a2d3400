// The server list: port table, node names, monitor, status accessors, the
// front port's time-out, and bounded resources over many sessions.

#include "RouterTestSupport.h"

#include <dirent.h>

#include <gtest/gtest.h>

namespace {

using namespace routertest;

TEST(PortTable, SmallestFreeIndexFirstAndReleasedIndicesReused) {
    router::NetworkServerContainer list(nullptr);
    EXPECT_EQ(26201, list.AllocatePort());
    EXPECT_EQ(26202, list.AllocatePort());
    EXPECT_EQ(26203, list.AllocatePort());
    list.ReleasePort("26201");
    list.ReleasePort("  26202 and more");
    EXPECT_EQ((std::vector<int32_t>{3}), list.GetUsedPortIndices());
    EXPECT_EQ(26201, list.AllocatePort());
    EXPECT_EQ(26202, list.AllocatePort());
    EXPECT_EQ(26204, list.AllocatePort());
    // Indices never handed out, and texts that are no port, change nothing.
    for (const char* text : {"26299", "port", "", "26200", "-1"}) {
        list.ReleasePort(text);
    }
    EXPECT_EQ((std::vector<int32_t>{3, 1, 2, 4}), list.GetUsedPortIndices());
}

TEST(StatusAccessors, OutOfRangeIndices) {
    router::NetworkServerContainer list(nullptr);
    for (int32_t index : {-1, 0, 1}) {
        EXPECT_EQ("Error, invalid index", list.GetClientPCName(index));
        EXPECT_EQ("Error, invalid index", list.GetClientIPAddress(index));
        EXPECT_EQ("Error, invalid index", list.GetClientApplicationName(index));
        EXPECT_EQ(-1, list.GetDataStreamCount(index));
        EXPECT_EQ("", list.GetDataObjectList(index));
    }
    EXPECT_EQ(0, list.DistributeData("x", 1, "Sc1", "SEScAcqEnt"));
}

// The monitor runs only when a test asks for a pass.
class ManualMonitorTest : public ServerListTest {
protected:
    router::ServerOptions Options() override {
        router::ServerOptions options;
        options.monitorIntervalMs = 600000;
        return options;
    }
};

TEST_F(ManualMonitorTest, HandOutsNodeNamesAndStatusTexts) {
    RawClient a;
    RawClient b;
    ASSERT_EQ(26201, ConnectClient(a));
    ASSERT_EQ(26202, ConnectClient(b));
    ASSERT_EQ(2, mList->GetNumberOfClients());
    EXPECT_EQ("Node ID: 1001", mList->GetClientNodeName(0));
    EXPECT_EQ("Node ID: 1002", mList->GetClientNodeName(1));
    EXPECT_EQ("Unknown", mList->GetClientPCName(1));
    EXPECT_EQ("Unknown", mList->GetClientIPAddress(1));
    EXPECT_EQ("Unknown", mList->GetClientApplicationName(1));
    EXPECT_EQ(0, mList->GetDataStreamCount(1));
    EXPECT_EQ("", mList->GetDataObjectList(1));
    EXPECT_EQ("0", b.Command("-SetComputerName labpc"));
    EXPECT_EQ("0", b.Command("-SetApplicationName Spike Viewer"));
    EXPECT_EQ("labpc", mList->GetClientPCName(1));
    EXPECT_EQ("Spike Viewer", mList->GetClientApplicationName(1));
    EXPECT_EQ("Unknown", mList->GetClientPCName(0));
    EXPECT_EQ("Error, invalid index", mList->GetClientPCName(2));
    const std::string log = Log();
    EXPECT_NE(std::string::npos, log.find("--** NOTICE ***--  "));
    EXPECT_NE(std::string::npos, log.find(" - Node ID: 1001 - Message Server has been Initialized Successfully"));
    EXPECT_NE(std::string::npos, log.find(" - Unknown ID - Processing Internal Message: -GetNextAvailablePortNumber"));
}

TEST_F(ManualMonitorTest, MessageAndDataPortsShareOneTable) {
    RawClient first;
    ASSERT_EQ(26201, ConnectClient(first));
    std::vector<std::unique_ptr<DataPort>> ports;
    const char* types[] = {"SEScAcqEnt", "STScAcqEnt", "TTScAcqEnt", "CscAcqEnt", "EventAcqEnt", "VTAcqEnt"};
    for (int i = 0; i < 6; ++i) {
        ASSERT_EQ("0 " + std::to_string(26202 + i), first.Command("-GetNextAvailablePortNumber"));
        ports.push_back(std::make_unique<DataPort>(26202 + i));
        ASSERT_TRUE(CreateStream(first, *ports.back(), types[i]));
    }
    RawClient second;
    ASSERT_EQ(26208, ConnectClient(second));
    first.Close();
    // The six stream ports go back at once; the message port when the
    // monitor removes the server.
    ASSERT_TRUE(WaitUntil([&] { return mList->GetUsedPortIndices() == std::vector<int32_t>{1, 8}; }));
    EXPECT_TRUE(mList->RunMonitorPass());
    EXPECT_EQ((std::vector<int32_t>{8}), mList->GetUsedPortIndices());
    RawClient third;
    EXPECT_EQ(26201, ConnectClient(third));
}

TEST_F(ManualMonitorTest, OneServerDroppedPerPassAndItsPortClosed) {
    RawClient a;
    RawClient b;
    RawClient c;
    ASSERT_GT(ConnectClient(a), 0);
    ASSERT_GT(ConnectClient(b), 0);
    ASSERT_GT(ConnectClient(c), 0);
    EXPECT_EQ("0", c.Command("-SetComputerName third"));
    a.Close();
    b.Close();
    ASSERT_TRUE(WaitUntil([&] {
        return mList->GetClientConnectionStatus(0) == "Disconnected" &&
               mList->GetClientConnectionStatus(1) == "Disconnected";
    }));
    EXPECT_TRUE(mList->RunMonitorPass());
    EXPECT_EQ(2, mList->GetNumberOfClients());
    EXPECT_TRUE(mList->RunMonitorPass());
    EXPECT_EQ(1, mList->GetNumberOfClients());
    EXPECT_FALSE(mList->RunMonitorPass());
    EXPECT_EQ("third", mList->GetClientPCName(0));
    EXPECT_EQ((std::vector<int32_t>{3}), mList->GetUsedPortIndices());
    platform::Socket probe = platform::Socket::CreateTcp();
    EXPECT_FALSE(probe.Connect(Loopback(26201), 1000));
}

class AwaitingMonitorTest : public ServerListTest {
protected:
    router::ServerOptions Options() override {
        router::ServerOptions options;
        options.monitorIntervalMs = 600000;
        options.awaitingTimeoutMs = 300;
        return options;
    }
};

TEST_F(AwaitingMonitorTest, HandOutsNobodyConnectsToAreReclaimedTogether) {
    RawClient front;
    ASSERT_TRUE(front.Connect(router::NetworkServerContainer::kFrontPort));
    ASSERT_EQ("0 26201", front.Command("-GetNextAvailablePortNumber"));
    ASSERT_EQ("0 26202", front.Command("-GetNextAvailablePortNumber"));
    front.Close();
    RawClient present;
    ASSERT_EQ(26203, ConnectClient(present));
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    // Both unused hand-outs go in one pass; the connected client stays.
    EXPECT_TRUE(mList->RunMonitorPass());
    EXPECT_EQ(1, mList->GetNumberOfClients());
    EXPECT_EQ((std::vector<int32_t>{3}), mList->GetUsedPortIndices());
    EXPECT_EQ("0", present.Command("-SetComputerName still-here"));
    platform::Socket probe = platform::Socket::CreateTcp();
    EXPECT_FALSE(probe.Connect(Loopback(26201), 1000));
}

TEST_F(ManualMonitorTest, TakenPortIsSkippedAndItsServerLeftForTheMonitor) {
    platform::Socket squatter = platform::Socket::CreateTcp();
    squatter.SetReuseAddress(true);
    ASSERT_TRUE(squatter.Bind(0, 26201));
    ASSERT_TRUE(squatter.Listen(1));
    RawClient client;
    EXPECT_EQ(26202, ConnectClient(client));
    ASSERT_EQ(2, mList->GetNumberOfClients());
    EXPECT_EQ("Disconnected", mList->GetClientConnectionStatus(0));
    EXPECT_EQ("Node ID: 1002", mList->GetClientNodeName(1));
    EXPECT_TRUE(mList->RunMonitorPass());
    EXPECT_EQ(1, mList->GetNumberOfClients());
    EXPECT_EQ("Node ID: 1002", mList->GetClientNodeName(0));
    EXPECT_NE(std::string::npos,
              Log().find("Node ID: 1001 - Error Binding Socket, error code: WSAEADDRINUSE"));
}

TEST_F(ServerListTest, MonitorRemovesAGoneClientOnItsOwn) {
    RawClient client;
    ASSERT_GT(ConnectClient(client), 0);
    ASSERT_EQ(1, mList->GetNumberOfClients());
    client.Close();
    // The index goes back only after the server has let go of its port.
    EXPECT_TRUE(WaitUntil([&] { return mList->GetNumberOfClients() == 0 && mList->GetUsedPortIndices().empty(); }));
}

class IdleFrontTest : public ServerListTest {
protected:
    router::ServerOptions Options() override {
        router::ServerOptions options;
        options.idleTimeoutMs = 300;
        return options;
    }
};

TEST_F(IdleFrontTest, SilentFrontConnectionIsEndedAndDoesNotLockOutOthers) {
    RawClient idle;
    ASSERT_TRUE(idle.Connect(router::NetworkServerContainer::kFrontPort));
    std::this_thread::sleep_for(50ms);
    auto start = Clock::now();
    RawClient client;
    EXPECT_EQ(26201, ConnectClient(client));
    EXPECT_LT(Clock::now() - start, 3s);
    EXPECT_TRUE(idle.WaitClosed(1000));
    EXPECT_NE(std::string::npos,
              Log().find("Unknown ID - No Message Received for 300 ms, Closing Idle Client Connection"));
    // A per-client server has no such time-out.
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ("0 Zorlent Data Router", client.Command("-RequestApplicationName"));
}

size_t CountEntries(const char* directory) {
    size_t count = 0;
    DIR* dir = ::opendir(directory);
    while (dirent* entry = ::readdir(dir)) {
        count += entry->d_name[0] != '.';
    }
    ::closedir(dir);
    return count;
}

// The monitor removes one server per pass, so it runs often here.
class ManySessionsTest : public ServerListTest {
protected:
    router::ServerOptions Options() override {
        router::ServerOptions options;
        options.monitorIntervalMs = 5;
        return options;
    }
};

TEST_F(ManySessionsTest, DescriptorAndThreadCountsEndWhereTheyStarted) {
    auto session = [this] {
        RawClient client;
        ASSERT_GT(ConnectClient(client), 0);
        ASSERT_EQ("0", client.Command("-SetApplicationName session"));
        DataPort data;
        ASSERT_TRUE(CreateStream(client, data, "CscAcqEnt"));
        ASSERT_EQ("0 Attempt to process OpenStream command was successful",
                  client.Command("-OpenStream CSC1 CscAcqEnt"));
        // A stream whose connect is refused must not keep its socket.
        int refusing;
        {
            DataPort gone;
            refusing = gone.Port();
        }
        ASSERT_EQ("0 Attempt to process CreateStream command was successful",
                  client.Command("-CreateStream 127.0.0.1 " + std::to_string(refusing) + " EventAcqEnt"));
    };
    // A removed server is destroyed before its port index goes back.
    auto settled = [this] {
        return WaitUntil([this] { return mList->GetNumberOfClients() == 0 && mList->GetUsedPortIndices().empty(); },
                         20000ms);
    };
    session();
    ASSERT_TRUE(settled());
    const size_t fds = CountEntries("/proc/self/fd");
    const size_t threads = CountEntries("/proc/self/task");
    for (int i = 0; i < 200; ++i) {
        session();
        if (HasFatalFailure()) {
            return;
        }
    }
    ASSERT_TRUE(settled());
    EXPECT_TRUE(WaitUntil([&] { return CountEntries("/proc/self/fd") == fds; })) << CountEntries("/proc/self/fd");
    EXPECT_TRUE(WaitUntil([&] { return CountEntries("/proc/self/task") == threads; }));
}

}  // namespace
