// The commands a router message server answers itself, the stream
// commands, and what goes upstream.

#include "RouterTestSupport.h"

#include <gtest/gtest.h>

namespace {

using namespace routertest;

class CommandHandlingTest : public ServerListTest {};

struct ReplyCase {
    const char* command;
    const char* reply;
};

TEST_F(CommandHandlingTest, EveryReplyText) {
    RawClient client;
    ASSERT_GT(ConnectClient(client), 0);
    mUpstream.SetRawReply({'r', '\0', 'b'});
    const ReplyCase cases[] = {
        {"-RequestApplicationName", "0 Zorlent Data Router"},
        {"-SetPortNumberUnused 26299", "Command processed successfully"},
        {"-SetPortNumberUnused", "Command processed successfully"},
        {"-SetPortNumberUnused notanumber", "Command processed successfully"},
        {"-SetComputerName pc-7", "0"},
        {"-setcomputername pc-8 extra", "0"},
        {"-SetApplicationName \"My App\" v2", "0"},
        {"-OpenStream Sc1 SEScAcqEnt",
         "-1 Attempt to process OpenStream command failed, a connection does not exist for the requested data type"},
        {"-CloseStream Sc1 SEScAcqEnt",
         "-1 Attempt to process CloseStream command failed, a connection does not exist for the requested data type"},
        {"-GetApplicationName", "0 upstream answer to -GetApplicationName"},
        {"-GetZorlentObjects", "0 upstream answer to -GetZorlentObjects"},
        {"-getzorlentobjects", "0 upstream answer to -getzorlentobjects"},
        {"-requestapplicationname", "0 upstream answer to -requestapplicationname"},
        {"-SomethingNew \"a b\"", "0 upstream answer to -SomethingNew \"a b\""},
    };
    for (const ReplyCase& c : cases) {
        EXPECT_EQ(c.reply, client.Command(c.command)) << c.command;
    }
    DataPort data;
    const std::string create = "-CreateStream 127.0.0.1 " + std::to_string(data.Port()) + " SEScAcqEnt";
    EXPECT_EQ("0 Attempt to process CreateStream command was successful", client.Command(create));
    EXPECT_EQ("-1 Unable to process CreateStream command, a stream already exists with the requested data type",
              client.Command(create));
    EXPECT_EQ("pc-8", mList->GetClientPCName(0));
    EXPECT_EQ("\"My App\" v2", mList->GetClientApplicationName(0));
    EXPECT_EQ("127.0.0.1", mList->GetClientIPAddress(0));

    ASSERT_TRUE(client.Send("-RequestRingBuffer 5 10"));
    std::string raw;
    ASSERT_TRUE(client.ReadMessage(raw));
    EXPECT_EQ(std::string("r\0b", 3), raw);

    const std::vector<std::wstring> upstream = mUpstream.Calls();
    const std::vector<std::wstring> expected = {
        L"text -GetApplicationName", L"refresh", L"text -GetZorlentObjects", L"refresh",
        L"text -getzorlentobjects", L"text -requestapplicationname", L"text -SomethingNew \"a b\"",
        L"raw -RequestRingBuffer 5 10"};
    EXPECT_EQ(expected, upstream);
}

TEST_F(CommandHandlingTest, FrontServerAnswersTheSameCommandsAndForwardsTheRest) {
    RawClient front;
    ASSERT_TRUE(front.Connect(router::NetworkServerContainer::kFrontPort));
    EXPECT_EQ("0 Zorlent Data Router", front.Command("-RequestApplicationName"));
    EXPECT_EQ("Command processed successfully", front.Command("-SetPortNumberUnused 26201"));
    EXPECT_EQ("0 upstream answer to -GetApplicationName", front.Command("-GetApplicationName"));
    EXPECT_EQ("0 26201", front.Command("-GetNextAvailablePortNumber"));
    EXPECT_EQ(1, mList->GetNumberOfClients());
}

TEST_F(CommandHandlingTest, ApplicationNameWithoutArgumentGetsTwoReplies) {
    RawClient client;
    ASSERT_GT(ConnectClient(client), 0);
    EXPECT_EQ("Application Name Received, Thank you", client.Command("-SetApplicationName"));
    EXPECT_EQ("0", client.ReadText());
    EXPECT_EQ("Unknown", mList->GetClientApplicationName(0));
    EXPECT_EQ("0 Zorlent Data Router", client.Command("-RequestApplicationName"));
}

TEST_F(CommandHandlingTest, WithoutUpstreamForwardedCommandsGetEmptyRepliesAndStreamsStillWork) {
    router::ServerOptions options;
    mList.reset();
    mList = std::make_unique<router::NetworkServerContainer>(nullptr, options);
    ASSERT_EQ(0, mList->StartServer());
    RawClient client;
    ASSERT_GT(ConnectClient(client), 0);
    EXPECT_EQ("", client.Command("-GetApplicationName"));
    EXPECT_EQ("", client.Command("-GetZorlentObjects"));
    EXPECT_EQ("Error receiving message from zorlent, unable to grant request", client.Command("-RequestRingBuffer"));
    DataPort data;
    ASSERT_TRUE(CreateStream(client, data, "CscAcqEnt"));
    EXPECT_EQ("0 Attempt to process OpenStream command was successful", client.Command("-OpenStream CSC1 CscAcqEnt"));
    EXPECT_EQ("0 Attempt to process CloseStream command was successful",
              client.Command("-CloseStream CSC1 CscAcqEnt"));
}

TEST_F(CommandHandlingTest, FailingUpstreamRingBufferGetsTheRefusalText) {
    RawClient client;
    ASSERT_GT(ConnectClient(client), 0);
    mUpstream.SetRawReply({});
    EXPECT_EQ("Error receiving message from zorlent, unable to grant request", client.Command("-RequestRingBuffer"));
    mUpstream.SetRawReply({'x'});
    mUpstream.SetConnected(false);
    EXPECT_EQ("Error receiving message from zorlent, unable to grant request", client.Command("-RequestRingBuffer"));
}

TEST_F(CommandHandlingTest, PortsOnAPerClientServerComeFromTheTableAndStartNoServer) {
    RawClient client;
    ASSERT_EQ(26201, ConnectClient(client));
    EXPECT_EQ("0 26202", client.Command("-GetNextAvailablePortNumber"));
    EXPECT_EQ("0 26203", client.Command("-GetNextAvailablePortNumber"));
    EXPECT_EQ(1, mList->GetNumberOfClients());
    EXPECT_EQ("Command processed successfully", client.Command("-SetPortNumberUnused 26202"));
    EXPECT_EQ("0 26202", client.Command("-GetNextAvailablePortNumber"));
}

TEST_F(CommandHandlingTest, OpenAndCloseKeepOneEntryPerObjectAndAlwaysCallUpstream) {
    RawClient client;
    ASSERT_GT(ConnectClient(client), 0);
    DataPort se;
    DataPort csc;
    ASSERT_TRUE(CreateStream(client, se, "SEScAcqEnt"));
    ASSERT_TRUE(CreateStream(client, csc, "CscAcqEnt"));
    const std::string opened = "0 Attempt to process OpenStream command was successful";
    EXPECT_EQ(opened, client.Command("-OpenStream Sc1 SEScAcqEnt"));
    EXPECT_EQ(opened, client.Command("-OpenStream \"Sc1\" SEScAcqEnt"));
    EXPECT_EQ(opened, client.Command("-OpenStream SC1 SEScAcqEnt"));
    EXPECT_EQ(opened, client.Command("-OpenStream Sc2 SEScAcqEnt"));
    EXPECT_EQ(opened, client.Command("-OpenStream CSC1 CscAcqEnt"));
    EXPECT_EQ("Sc1 Sc2 CSC1 ", mList->GetDataObjectList(0));
    EXPECT_EQ(2, mList->GetDataStreamCount(0));
    // The type must match exactly.
    EXPECT_EQ("-1 Attempt to process OpenStream command failed, a connection does not exist for the requested data "
              "type",
              client.Command("-OpenStream Tt1 sescacqent"));

    EXPECT_EQ("0 Attempt to process CloseStream command was successful", client.Command("-CloseStream sc1 SEScAcqEnt"));
    EXPECT_EQ("0 Attempt to process CloseStream command was successful", client.Command("-CloseStream Nope SEScAcqEnt"));
    EXPECT_EQ("Sc2 CSC1 ", mList->GetDataObjectList(0));

    const std::vector<std::wstring> expected = {L"open Sc1",  L"open Sc1",   L"open SC1",  L"open Sc2",
                                                L"open CSC1", L"close sc1", L"close Nope"};
    EXPECT_EQ(expected, mUpstream.Calls());
    const std::string log = Log();
    EXPECT_EQ(2u, CountOccurrences(log, "Node ID: 1001 - Object name already exists in  object name list"));
    EXPECT_EQ(1u, CountOccurrences(log, "Node ID: 1001 - Unable to Remove Object Name From Our List, Object Was Not "
                                        "Found"));
}

TEST_F(CommandHandlingTest, DuplicateTypeRefusedPerClientButAcceptedOnAnotherClient) {
    RawClient a;
    RawClient b;
    ASSERT_GT(ConnectClient(a), 0);
    ASSERT_GT(ConnectClient(b), 0);
    DataPort first;
    DataPort second;
    DataPort other;
    ASSERT_TRUE(CreateStream(a, first, "VTAcqEnt"));
    EXPECT_EQ("-1 Unable to process CreateStream command, a stream already exists with the requested data type",
              a.Command("-CreateStream 127.0.0.1 " + std::to_string(second.Port()) + " VTAcqEnt"));
    EXPECT_FALSE(second.Accept(300));
    EXPECT_TRUE(CreateStream(b, other, "VTAcqEnt"));
    EXPECT_EQ(1, mList->GetDataStreamCount(0));
    EXPECT_EQ(1, mList->GetDataStreamCount(1));
    EXPECT_NE(std::string::npos,
              Log().find("Node ID: 1001 - Unable to Create Stream, A Stream already exists for Data Type VTAcqEnt"));
}

TEST_F(CommandHandlingTest, FailedStreamConnectStillRepliesSuccessAndTheTypeCanBeCreatedAgain) {
    RawClient client;
    ASSERT_GT(ConnectClient(client), 0);
    int closedPort;
    {
        DataPort gone;
        closedPort = gone.Port();
    }
    EXPECT_EQ("0 Attempt to process CreateStream command was successful",
              client.Command("-CreateStream 127.0.0.1 " + std::to_string(closedPort) + " EventAcqEnt"));
    EXPECT_EQ("0 Attempt to process CreateStream command was successful",
              client.Command("-CreateStream no-such-host.invalid 5 EventAcqEnt"));
    const std::string log = Log();
    EXPECT_NE(std::string::npos, log.find("Node ID: 1001 - Error Connecting To Server, error code: WSAECONNREFUSED - "
                                          "The attempt to connect was forcefully rejected."));
    EXPECT_NE(std::string::npos, log.find("Node ID: 1001 - Error Getting Server Name, error code: "));
    EXPECT_EQ(2u, CountOccurrences(log, "Node ID: 1001 - Unable to Initializing Client Stream"));
    EXPECT_EQ("-1 Attempt to process OpenStream command failed, a connection does not exist for the requested data "
              "type",
              client.Command("-OpenStream Events EventAcqEnt"));
    DataPort data;
    EXPECT_TRUE(CreateStream(client, data, "EventAcqEnt"));
    EXPECT_EQ(3, mList->GetDataStreamCount(0));
}

// Connecting to an address that never answers gives up after the connect
// time-out; the reply is the success text all the same.
class StreamConnectTimeoutTest : public ServerListTest {
protected:
    router::ServerOptions Options() override {
        router::ServerOptions options;
        options.connectTimeoutMs = 300;
        return options;
    }
};

TEST_F(StreamConnectTimeoutTest, ConnectThatNeverCompletesGivesUp) {
    RawClient client;
    ASSERT_GT(ConnectClient(client), 0);
    // A listener whose backlog is full leaves further connects unanswered.
    platform::Socket listener = platform::Socket::CreateTcp();
    ASSERT_TRUE(listener.Bind(0x7F000001u, 0));
    ASSERT_TRUE(listener.Listen(0));
    sockaddr_in address{};
    listener.LocalAddress(address);
    std::vector<platform::Socket> fillers;
    for (int i = 0; i < 4; ++i) {
        fillers.push_back(platform::Socket::CreateTcp());
        fillers.back().Connect(address, 200);
    }
    auto start = Clock::now();
    EXPECT_EQ("0 Attempt to process CreateStream command was successful",
              client.Command("-CreateStream 127.0.0.1 " + std::to_string(ntohs(address.sin_port)) + " STScAcqEnt"));
    EXPECT_LT(Clock::now() - start, 2500ms);
    EXPECT_NE(std::string::npos, Log().find("Node ID: 1001 - Error Connecting To Server, error code: WSAETIMEDOUT"));
}

}  // namespace
