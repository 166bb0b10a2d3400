#include "ClientTestSupport.h"

#include "Plenvar/PlenvarRecords.h"

#include <condition_variable>
#include <cstring>
#include <mutex>

using namespace plenvar_test;
using namespace std::chrono_literals;

namespace {

const std::vector<std::string> kTypeOrder = {"SEScAcqEnt", "STScAcqEnt", "TTScAcqEnt",
                                             "CscAcqEnt",  "VTAcqEnt",   "EventAcqEnt"};

class StreamSetup : public ClientFixture {
protected:
    void SetUp() override {
        ClientFixture::SetUp();
        mServer.SetObjects({{"SE1", "SEScAcqEnt"},
                            {"Tetrode 1", "TTScAcqEnt"},
                            {"CSC1", "CscAcqEnt"},
                            {"CSC2", "CscAcqEnt"},
                            {"Odd", "FooAcqEnt"},
                            {"Lower", "cscacqent"}});
    }

    void ConnectWithStreams() {
        ASSERT_TRUE(Connect());
        ASSERT_EQ(mClient.InitializeConnectionNodes(), 0);
        ASSERT_TRUE(mServer.WaitForMessages(13, 2s));
        mSeen = mServer.Messages().size();
    }

    // Messages the server received since the last call.
    std::vector<std::string> NewMessages() {
        std::vector<std::string> all = mServer.Messages();
        std::vector<std::string> fresh(all.begin() + static_cast<std::ptrdiff_t>(mSeen), all.end());
        mSeen = all.size();
        return fresh;
    }

    using Strings = std::vector<std::string>;
    size_t mSeen = 0;
};

TEST_F(StreamSetup, SixStreamsAreAnnouncedInOrderAndTheServerConnectsBack) {
    ConnectWithStreams();
    std::vector<std::string> messages = mServer.Messages();
    ASSERT_EQ(messages.size(), 13u);
    Plenvar::NodeConnectionClient* streams[] = {&mClient.StreamSE(),  &mClient.StreamST(), &mClient.StreamTT(),
                                                &mClient.StreamCSC(), &mClient.StreamVT(), &mClient.StreamEV()};
    for (size_t i = 0; i < kTypeOrder.size(); ++i) {
        SCOPED_TRACE(kTypeOrder[i]);
        EXPECT_EQ(messages[1 + 2 * i], "-GetNextAvailablePortNumber");
        EXPECT_EQ(messages[2 + 2 * i], "-CreateStream 127.0.0.1 " + std::to_string(streams[i]->PortNumber()) +
                                           " " + kTypeOrder[i]);
        EXPECT_TRUE(mServer.WaitForDataStream(kTypeOrder[i], 2s));
    }
    EXPECT_TRUE(mClient.StreamsInitialized());
}

TEST_F(StreamSetup, RefusedFourthPortStopsBeforeTheCscStream) {
    ASSERT_TRUE(Connect());
    mServer.SetNthReply("-GetNextAvailablePortNumber", 4, Reply::Text("-1"));
    EXPECT_EQ(mClient.InitializeConnectionNodes(), -1);
    EXPECT_EQ(mServer.Keywords(),
              (Strings{"-GetApplicationName", "-GetNextAvailablePortNumber", "-CreateStream",
                       "-GetNextAvailablePortNumber", "-CreateStream", "-GetNextAvailablePortNumber",
                       "-CreateStream", "-GetNextAvailablePortNumber"}));
    EXPECT_EQ(Log().back().message, "NetworkNodeClient::InitializeConnectionNodes() - call to get next port "
                                    "number failed, unable to initialize server streams.");
    EXPECT_FALSE(mClient.StreamsInitialized());
    EXPECT_NE(mClient.StreamTT().PortNumber(), 0);
    EXPECT_EQ(mClient.StreamCSC().PortNumber(), 0);
    EXPECT_TRUE(mServer.WaitForDataStream("TTScAcqEnt", 2s));
}

TEST_F(StreamSetup, RefreshSplitsQuotedNamesAndHandsTheListToTheStreams) {
    ConnectWithStreams();
    std::vector<std::wstring> names, types;
    ASSERT_TRUE(mClient.RefreshObjectList(names, types));
    const std::vector<std::wstring> expectedNames = {L"SE1", L"Tetrode 1", L"CSC1", L"CSC2", L"Odd", L"Lower"};
    EXPECT_EQ(names, expectedNames);
    EXPECT_EQ(mClient.ObjectNames(), expectedNames);
    EXPECT_EQ(types.at(1), L"TTScAcqEnt");
    EXPECT_EQ(mClient.ObjectTypes(), types);
    EXPECT_EQ(mClient.StreamCSC().ChannelObjectNames(), (std::vector<std::wstring>{L"CSC1", L"CSC2"}));
}

TEST_F(StreamSetup, RefreshFailsOnRefusedOrWordlessReplies) {
    ConnectWithStreams();
    const struct {
        const char* name;
        const char* keyword;
        Reply reply;
        size_t cachedNames;
    } cases[] = {
        {"objects refused", "-GetZorlentObjects", Reply::Text("-1 a b"), 0},
        {"objects without a blank", "-GetZorlentObjects", Reply::Text("0"), 0},
        {"objects not a number", "-GetZorlentObjects", Reply::Text("x a b"), 0},
        {"types refused", "-GetZorlentTypes", Reply::Text("-1"), 6},
        {"types with unpaired quotes", "-GetZorlentTypes", Reply::Text("0 \"a b"), 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        mServer.SetReply(c.keyword, c.reply);
        std::vector<std::wstring> names, types;
        EXPECT_FALSE(mClient.RefreshObjectList(names, types));
        EXPECT_EQ(mClient.ObjectNames().size(), c.cachedNames);
        EXPECT_TRUE(mClient.ObjectTypes().empty());
        mServer.ClearReply(c.keyword);
    }
}

TEST_F(StreamSetup, OpeningAnUncachedNameRefreshesExactlyOnce) {
    ConnectWithStreams();
    EXPECT_TRUE(mClient.OpenStream(L"CSC2"));
    EXPECT_EQ(NewMessages(), (Strings{"-GetZorlentObjects", "-GetZorlentTypes", "-OpenStream CSC2 CscAcqEnt"}));
    // Cached now: no refresh. A name with a blank travels unquoted.
    EXPECT_TRUE(mClient.OpenStream(L"Tetrode 1"));
    EXPECT_EQ(NewMessages(), (Strings{"-OpenStream Tetrode 1 TTScAcqEnt"}));

    EXPECT_FALSE(mClient.OpenStream(L"Missing"));
    EXPECT_EQ(NewMessages(), (Strings{"-GetZorlentObjects", "-GetZorlentTypes"}));
    EXPECT_EQ(Log().back().message, "NetworkNodeClient::OpenStream() - Error, invalid parameter, unrecognized "
                                    "object name and data type pairing.  objectName: Missing");
}

TEST_F(StreamSetup, FailedRefreshOnOpenIsReported) {
    ConnectWithStreams();
    mServer.SetReply("-GetZorlentTypes", Reply::Text("-1"));
    EXPECT_FALSE(mClient.OpenStream(L"CSC1"));
    EXPECT_EQ(Log().back().message, "NetworkNodeClient::OpenStream() - Error, invalid parameter, failed to "
                                    "refresh object list. The object CSC1 was not in the cached list.");
    EXPECT_EQ(NewMessages(), (Strings{"-GetZorlentObjects", "-GetZorlentTypes"}));
}

TEST_F(StreamSetup, OpenTwiceCloseOnceCloseAgain) {
    ConnectWithStreams();
    ASSERT_TRUE(mClient.OpenStream(L"SE1"));
    NewMessages();
    EXPECT_TRUE(mClient.OpenStream(L"SE1"));
    EXPECT_EQ(NewMessages(), (Strings{"-OpenStream SE1 SEScAcqEnt"}));
    EXPECT_EQ(mClient.StreamSE().StreamObjectCount(L"SE1"), 2);

    EXPECT_FALSE(mClient.CloseStream(L"SE1"));
    EXPECT_TRUE(NewMessages().empty());
    EXPECT_TRUE(mClient.CloseStream(L"SE1"));
    EXPECT_EQ(NewMessages(), (Strings{"-CloseStream SE1 SEScAcqEnt"}));
    EXPECT_FALSE(mClient.CloseStream(L"SE1"));
    EXPECT_TRUE(NewMessages().empty());
}

TEST_F(StreamSetup, UnknownTypesAndUncachedNamesNeverReachAStreamOrTheServer) {
    ConnectWithStreams();
    const std::string open = "NetworkNodeClient::OpenStream() - Error, invalid parameter, unrecognized data type."
                             "  dataType: ";
    const std::string close = "NetworkNodeClient::CloseStream() - Error, invalid parameter, unrecognized data "
                              "type.  dataType: ";
    EXPECT_FALSE(mClient.CloseStream(L"CSC1"));
    EXPECT_EQ(Log().back().message, "NetworkNodeClient::CloseStream() - Error, found object index was outside "
                                    "the range of available objects. objectIndex: -1");
    EXPECT_TRUE(NewMessages().empty());

    EXPECT_FALSE(mClient.OpenStream(L"Odd"));
    EXPECT_EQ(Log().back().message, open + "FooAcqEnt");
    EXPECT_FALSE(mClient.OpenStream(L"Lower"));
    EXPECT_EQ(Log().back().message, open + "cscacqent");
    EXPECT_FALSE(mClient.CloseStream(L"Odd"));
    EXPECT_EQ(Log().back().message, close + "FooAcqEnt");
    EXPECT_EQ(NewMessages(), (Strings{"-GetZorlentObjects", "-GetZorlentTypes"}));
}

TEST_F(StreamSetup, RefusedOpenAndCloseAreReported) {
    ConnectWithStreams();
    const std::string failed = ". Either the object no longer exists or an error has occurred";

    mServer.SetReply("-OpenStream", Reply::Text("-1"));
    EXPECT_FALSE(mClient.OpenStream(L"CSC1"));
    EXPECT_EQ(Log().back().message, "NetworkNodeClient::OpenStream() - Error, failed to open stream for CSC1" +
                                        failed);
    // The refusal refreshed the list once more.
    EXPECT_EQ(mServer.Keywords().back(), "-GetZorlentTypes");
    EXPECT_EQ(mClient.StreamCSC().StreamObjectCount(L"CSC1"), 1);

    mServer.SetReply("-GetZorlentObjects", Reply::Text("-1"));
    EXPECT_FALSE(mClient.OpenStream(L"CSC1"));
    EXPECT_EQ(Log().back().message, "NetworkNodeClient::OpenStream() - Error, invalid parameter, failed to "
                                    "refresh object list. Failed to open stream for CSC1" +
                                        failed);

    mServer.SetReply("-GetZorlentObjects", Reply::Text("0 CSC1"));
    mServer.SetReply("-GetZorlentTypes", Reply::Text("0 CscAcqEnt"));
    std::vector<std::wstring> names, types;
    ASSERT_TRUE(mClient.RefreshObjectList(names, types));
    mServer.SetReply("-CloseStream", Reply::Text("-1"));
    EXPECT_FALSE(mClient.CloseStream(L"CSC1"));
    EXPECT_FALSE(mClient.CloseStream(L"CSC1"));
    EXPECT_EQ(Log().back().message, "NetworkNodeClient::Close() - Error, failed to close stream for CSC1" +
                                        failed + ".");
    EXPECT_EQ(mClient.StreamCSC().StreamObjectCount(L"CSC1"), 0);
}

TEST_F(StreamSetup, EmptyRepliesCountAsSuccess) {
    ConnectWithStreams();
    mServer.SetReply("-OpenStream", Reply::Body({0}));
    mServer.SetReply("-CloseStream", Reply::Body({0}));
    EXPECT_TRUE(mClient.OpenStream(L"CSC1"));
    EXPECT_TRUE(mClient.CloseStream(L"CSC1"));
}

TEST_F(StreamSetup, OpenWhileNotConnectedFailsWithoutALine) {
    const size_t before = LogSize();
    EXPECT_FALSE(mClient.OpenStream(L"CSC1"));
    EXPECT_EQ(LogSize(), before);
}

TEST_F(StreamSetup, ShutdownClosesEachOpenObjectOnceAndStopsTheStreams) {
    ConnectWithStreams();
    ASSERT_TRUE(mClient.OpenStream(L"CSC2"));
    ASSERT_TRUE(mClient.OpenStream(L"SE1"));
    NewMessages();
    ASSERT_TRUE(mClient.ShutdownClient());
    // Cache order, not opening order; objects that are not open send nothing.
    EXPECT_TRUE(mServer.WaitForMessages(mSeen + 2, 2s));
    EXPECT_EQ(NewMessages(), (Strings{"-CloseStream SE1 SEScAcqEnt", "-CloseStream CSC2 CscAcqEnt"}));
    EXPECT_FALSE(mClient.StreamsInitialized());
    EXPECT_FALSE(mClient.IsConnected());

    // The streams are ready for the next connection.
    ConnectWithStreams();
    EXPECT_TRUE(mServer.WaitForDataStream("CscAcqEnt", 2s));
}

TEST_F(StreamSetup, ShutdownThatLosesTheConnectionInsideDoesNotCloseTwice) {
    ConnectWithStreams();
    ASSERT_TRUE(mClient.OpenStream(L"SE1"));
    ASSERT_TRUE(mClient.OpenStream(L"CSC1"));
    mServer.SetReply("-CloseStream", Reply::CloseMidMessage("0", 5));
    EXPECT_TRUE(mClient.ShutdownClient());
    EXPECT_FALSE(mClient.IsConnected());
    for (const LogLine& line : Log()) {
        EXPECT_EQ(line.message.find("Unable to Close Message Client Socket"), std::string::npos);
        EXPECT_EQ(line.message.find("ProcessCloseError"), std::string::npos);
    }
    EXPECT_EQ(mClient.GetServerPCName(), L"Not Connected");
}

TEST_F(StreamSetup, CommandRepliesAreSplitIntoCodeAndArguments) {
    ASSERT_TRUE(Connect());
    const struct {
        const char* reply;
        int code;
        std::vector<std::wstring> arguments;
    } cases[] = {
        {"0 two words", 0, {L"two", L"words"}},
        {"-1", -1, {}},
        {"first not a number", -1, {L"not", L"a", L"number"}},
        {"12 \"a b\" c", 12, {L"a b", L"c"}},
        {"", -1, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        mServer.SetReply("-Ask", Reply::Text(c.reply));
        ASSERT_TRUE(mClient.SendMessage(std::wstring(L"-Ask")));
        int code = 99;
        std::vector<std::wstring> arguments = {L"stale"};
        EXPECT_TRUE(mClient.ReceiveCommandReply(code, arguments));
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(arguments, c.arguments);
    }
    mServer.SetReply("-Ask", Reply::CloseMidMessage("0 x", 4));
    ASSERT_TRUE(mClient.SendMessage(std::wstring(L"-Ask")));
    int code = 99;
    std::vector<std::wstring> arguments = {L"stale"};
    EXPECT_FALSE(mClient.ReceiveCommandReply(code, arguments));
    EXPECT_EQ(code, -1);
    EXPECT_TRUE(arguments.empty());
}

struct Received {
    std::mutex lock;
    std::condition_variable arrived;
    std::vector<std::pair<std::wstring, uint32_t>> records;  // name, channel
};

void OnCsc(void* context, Plenvar::CRRec* records, int count, const wchar_t* name) {
    auto* received = static_cast<Received*>(context);
    std::lock_guard<std::mutex> lock(received->lock);
    for (int i = 0; i < count; ++i) {
        received->records.emplace_back(name, records[i].channel);
    }
    received->arrived.notify_all();
}

TEST_F(StreamSetup, RecordsPushedInOddSegmentsReachTheCallbackNamed) {
    ConnectWithStreams();
    Received received;
    mClient.StreamCSC().SetCallbackFunction(&OnCsc, &received);
    ASSERT_TRUE(mClient.OpenStream(L"CSC2"));
    ASSERT_TRUE(mServer.WaitForDataStream("CscAcqEnt", 2s));

    Bytes records(2 * sizeof(Plenvar::CRRec), 0);
    protocol::WriteLE32(records.data() + 8, 1);
    protocol::WriteLE32(records.data() + sizeof(Plenvar::CRRec) + 8, 0);
    ASSERT_TRUE(mServer.PushData("CscAcqEnt", records, {3, 700, 5, 1000}));

    std::unique_lock<std::mutex> lock(received.lock);
    ASSERT_TRUE(received.arrived.wait_for(lock, 2s, [&] { return received.records.size() >= 2; }));
    EXPECT_EQ(received.records,
              (std::vector<std::pair<std::wstring, uint32_t>>{{L"CSC2", 1}, {L"CSC1", 0}}));
}

}  // namespace
