// Receiving framed commands: refused pre-headers, split and oversized
// messages, start-up failures and shutting down a busy server.

#include "NetworkNodeServer.h"
#include "RouterTestSupport.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <thread>

namespace {

using namespace routertest;

// Servers whose client went away stay in the list, so one can reconnect.
class MessageServerTest : public ServerListTest {
protected:
    router::ServerOptions Options() override {
        router::ServerOptions options;
        options.monitorIntervalMs = 600000;
        return options;
    }
};

struct PreHeaderCase {
    uint32_t version;
    uint32_t code;
    const char* notice;
};

TEST_F(MessageServerTest, RefusedPreHeaderEndsOnlyThatClientAndTheServerTakesTheNext) {
    const std::string origin = "NetworkNodeServer::RecieveMessagePreHeader() - ";
    const PreHeaderCase cases[] = {
        {0, 0xA5A5A5A5u, "Error, invalid version number, data has been corrupted or improperly formatted"},
        {0xFFFFFFFFu, 0, "Error, invalid version number, data has been corrupted or improperly formatted"},
        {2, 0, "Error, this Version of Kestova Network Communication is not Supported, please update to the latest "
               "version of this software that contains Network Communication Version 2"},
        {1, 0xA5A5A5A4u, "Error, invalid validation code, data has been corrupted or improperly formatted"},
    };
    RawClient bystander;
    ASSERT_GT(ConnectClient(bystander), 0);
    RawClient first;
    const int port = ConnectClient(first);
    ASSERT_GT(port, 0);
    first.Close();

    size_t expectedNotices = 0;
    for (const PreHeaderCase& c : cases) {
        RawClient client;
        ASSERT_TRUE(client.Connect(port));
        unsigned char preHeader[12] = {};
        protocol::WriteLE32(preHeader, c.version);
        protocol::WriteLE32(preHeader + 4, c.code);
        protocol::WriteLE32(preHeader + 8, 5);
        ASSERT_TRUE(client.SendBytes(preHeader, sizeof preHeader));
        EXPECT_EQ("Error", client.ReadText()) << c.notice;
        EXPECT_TRUE(client.WaitClosed()) << c.notice;
        ++expectedNotices;
        ASSERT_TRUE(WaitUntil([&] { return Notices().size() == expectedNotices; }));
        EXPECT_EQ(origin + c.notice, Notices().back());
        EXPECT_EQ("0 Zorlent Data Router", bystander.Command("-RequestApplicationName"));
    }
    RawClient next;
    ASSERT_TRUE(next.Connect(port));
    EXPECT_EQ("0 Zorlent Data Router", next.Command("-RequestApplicationName"));
}

TEST_F(MessageServerTest, PreHeaderAndSizeArrivingInPiecesAreAssembled) {
    RawClient client;
    ASSERT_GT(ConnectClient(client), 0);
    const std::string command = "-RequestApplicationName";
    auto message = protocol::BuildMessage(command.c_str(), static_cast<int32_t>(command.size() + 1));
    const size_t cuts[] = {0, 3, 8, 10, 12, message.size()};
    for (size_t i = 0; i + 1 < std::size(cuts); ++i) {
        ASSERT_TRUE(client.SendBytes(message.data() + cuts[i], cuts[i + 1] - cuts[i]));
        std::this_thread::sleep_for(30ms);
    }
    EXPECT_EQ("0 Zorlent Data Router", client.ReadText());
}

TEST_F(MessageServerTest, BodySizesOutsideOneTo16MiBEndTheConnectionBeforeAnyBodyIsRead) {
    for (int32_t size : {protocol::kMaxCommandBodySize + 1, 0, -4}) {
        RawClient client;
        ASSERT_GT(ConnectClient(client), 0);
        unsigned char prefix[12];
        protocol::WritePreHeader(prefix);
        protocol::WriteHeader(prefix + 8, size);
        ASSERT_TRUE(client.SendBytes(prefix, sizeof prefix));
        EXPECT_EQ("Error", client.ReadText(2000)) << size;
        EXPECT_TRUE(client.WaitClosed(2000)) << size;
    }
    const std::string log = Log();
    EXPECT_NE(std::string::npos, log.find(" - Error, Message Body size of 16777217 bytes is outside the accepted "
                                          "range of 1 to 16777216 bytes"));
    EXPECT_NE(std::string::npos, log.find(" - Error, Message Body size of 0 bytes"));
}

TEST_F(MessageServerTest, MessageIsTheTextBeforeTheFirstZeroByteAndEmptyRepliesAreOneZeroByte) {
    RawClient client;
    ASSERT_GT(ConnectClient(client), 0);
    const char body[] = "-RequestApplicationName\0-Junk";
    auto message = protocol::BuildMessage(body, sizeof body);
    ASSERT_TRUE(client.SendBytes(message.data(), message.size()));
    EXPECT_EQ("0 Zorlent Data Router", client.ReadText());

    mUpstream.SetConnected(false);
    ASSERT_TRUE(client.Send("-GetApplicationName"));
    std::string reply;
    ASSERT_TRUE(client.ReadMessage(reply));
    EXPECT_EQ(std::string(1, '\0'), reply);
}

TEST_F(MessageServerTest, ClientThatLeavesMidMessageIsCleanedUpAndTheNextStartsWithoutStreams) {
    RawClient client;
    const int port = ConnectClient(client);
    ASSERT_GT(port, 0);
    DataPort data;
    ASSERT_TRUE(CreateStream(client, data, "SEScAcqEnt"));
    ASSERT_TRUE(WaitUntil([&] { return mList->GetDataStreamCount(0) == 1; }));
    unsigned char partial[5] = {1, 0, 0, 0, 0xA5};
    ASSERT_TRUE(client.SendBytes(partial, sizeof partial));
    client.Close();
    // The stream goes with its client: its data connection ends.
    EXPECT_EQ("", data.ReadAvailable(2000));
    EXPECT_TRUE(data.Closed());
    ASSERT_TRUE(WaitUntil([&] { return mList->GetClientConnectionStatus(0) == "Disconnected"; }));
    EXPECT_EQ(0, mList->GetDataStreamCount(0));

    RawClient next;
    ASSERT_TRUE(next.Connect(port));
    EXPECT_EQ("0 Zorlent Data Router", next.Command("-RequestApplicationName"));
    EXPECT_EQ("Connected", mList->GetClientConnectionStatus(0));
    EXPECT_EQ(0, mList->GetDataStreamCount(0));
}

TEST(MessageServer, InitializeFailsOnATakenPortAndRefusesASecondStart) {
    const std::string path = ::testing::TempDir() + "router-init.log";
    router::ServerLog().Open(path);
    {
        router::NetworkNodeServer first;
        first.SetLogPrefix("Node ID: 7");
        ASSERT_TRUE(first.InitializeServer(26250));
        EXPECT_FALSE(first.InitializeServer(26251));
        router::NetworkNodeServer second;
        EXPECT_FALSE(second.InitializeServer(26250));
        EXPECT_EQ("Awaiting Connection", second.GetConnectionStatus());
    }
    router::ServerLog().Close();
    const std::string log = ReadFile(path);
    EXPECT_NE(std::string::npos,
              log.find("Node ID: 7 - Cannot Initialize Message Server, Server has already been initialized"));
    EXPECT_NE(std::string::npos, log.find("Unknown ID - Error Binding Socket, error code: WSAEADDRINUSE"));
    EXPECT_NE(std::string::npos, log.find("Unknown ID - Unable to Initializing Message Server"));
    EXPECT_NE(std::string::npos, log.find("Node ID: 7NetworkNodeServer::ShutdownServer() - mMsgServerThread thread "
                                          "has been terminated successfully."));
    EXPECT_NE(std::string::npos, log.find("Node ID: 7 - Server has been Shut Down \n"));
}

TEST(MessageServer, ServesAConnectionHandedToItOnTheCallingThread) {
    router::NetworkNodeServer server;
    platform::Socket mine;
    platform::Socket theirs;
    ASSERT_TRUE(platform::Socket::CreatePair(mine, theirs));
    RawClient client;
    client.Socket() = std::move(theirs);
    std::thread serving([&] { EXPECT_TRUE(server.ServeClient(std::move(mine))); });
    EXPECT_EQ("0", client.Command("-SetApplicationName PairTool"));
    EXPECT_EQ("PairTool", server.GetApplicationName());
    EXPECT_EQ("Connected", server.GetConnectionStatus());
    ::shutdown(client.Socket().Handle(), SHUT_WR);
    EXPECT_EQ("Error", client.ReadText());
    EXPECT_TRUE(client.WaitClosed());
    serving.join();
    EXPECT_EQ("Disconnected", server.GetConnectionStatus());
}

TEST(MessageServer, ShutdownReturnsPromptlyWhileAClientIsConnectedAndSilent) {
    router::NetworkNodeServer server;
    ASSERT_TRUE(server.InitializeServer(26252));
    RawClient client;
    ASSERT_TRUE(client.Connect(26252));
    ASSERT_TRUE(WaitUntil([&] { return server.GetConnectionStatus() == "Connected"; }));
    auto start = Clock::now();
    server.ShutdownServer();
    EXPECT_LT(Clock::now() - start, 2s);
    EXPECT_EQ("Disconnected", server.GetConnectionStatus());
    EXPECT_TRUE(client.WaitClosed());
}

}  // namespace
