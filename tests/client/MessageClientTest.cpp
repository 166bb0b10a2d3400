#include "ClientSocketErrors.h"
#include "ClientTestSupport.h"

#include <chrono>
#include <sys/socket.h>
#include <thread>

using namespace plenvar_test;
using namespace std::chrono_literals;
using Plenvar::ClientSocketErrorLine;
using Plenvar::ClientSocketOp;

namespace {

const std::string kInit = "NetworkNodeClient::InitializeClient() - ";
const std::string kShutdown = "NetworkNodeClient::ShutdownClient() - ";

// ---------------------------------------------------------------- framing

class FramingThroughClient : public ClientFixture {};

TEST_F(FramingThroughClient, ConnectSendsTheExact32ByteApplicationNameFrame) {
    ASSERT_TRUE(Connect());
    ASSERT_TRUE(mServer.WaitForMessages(1, 2s));
    Bytes expected = {0x01, 0x00, 0x00, 0x00, 0xA5, 0xA5, 0xA5, 0xA5, 0x14, 0x00, 0x00, 0x00};
    expected = expected + ToBytes("-GetApplicationName") + Bytes{0x00};
    ASSERT_EQ(expected.size(), 32u);
    EXPECT_EQ(mServer.Frames().at(0), expected);
    EXPECT_EQ(mClient.GetServerApplicationName(), L" Fake Zorlent Server");
}

TEST_F(FramingThroughClient, RefusedPreHeadersAreLoggedAndLeaveTheConnectionUp) {
    const struct {
        const char* name;
        Bytes preHeader;
        std::string text;
    } cases[] = {
        {"version 2, validation not examined", PreHeader(2, 0x12345678),
         "Error, this Version of Kestova Network Communication is not Supported, please update to the "
         "latest version of the software.  Version #2"},
        {"version 0", PreHeader(0, 0xA5A5A5A5),
         "Error, invalid version number, data has been corrupted or improperly formatted"},
        {"version -1, validation not examined", PreHeader(-1, 0),
         "Error, invalid version number, data has been corrupted or improperly formatted"},
        {"validation A5 A5 A5 A4", PreHeader(1, 0xA4A5A5A5),
         "Error, invalid validation code, data has been corrupted or improperly formatted"},
    };
    ASSERT_TRUE(Connect());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Only the pre-header is sent, so nothing is left over for the next case.
        mServer.SetReply("-Bad", Reply::Raw(c.preHeader));
        std::wstring reply;
        EXPECT_FALSE(Exchange(L"-Bad", reply));
        EXPECT_EQ(reply, L"-1");
        ASSERT_FALSE(Log().empty());
        EXPECT_EQ(Log().back().tag, "ERROR");
        EXPECT_EQ(Log().back().message, c.text);
        EXPECT_TRUE(mClient.IsConnected());
    }
    std::wstring reply;
    EXPECT_TRUE(Exchange(L"-Fine", reply));
    EXPECT_EQ(reply, L"0");
}

TEST_F(FramingThroughClient, NonPositiveSizeIsRefusedBeforeAnyBodyByteIsRead) {
    ASSERT_TRUE(Connect());
    for (int32_t size : {0, -1, -70000}) {
        SCOPED_TRACE(size);
        // The refused header is followed at once by a whole message: the next
        // receive must start right behind the size.
        mServer.SetReply("-Size", Reply::Raw(PreHeader(1, protocol::kValidationCode) + SizeHeader(size) +
                                             Frame(ToBytes(std::string("0 after") + '\0'))));
        std::wstring reply;
        EXPECT_FALSE(Exchange(L"-Size", reply));
        EXPECT_TRUE(Logged("ERROR", "NetworkNodeClient::RecieveMessage() - Invalid message size for "
                                    "receiving message, messageSize: " +
                                        std::to_string(size)));
        ASSERT_TRUE(mClient.IsConnected());
        EXPECT_TRUE(mClient.RecieveMessage(reply));
        EXPECT_EQ(reply, L"0 after");
    }
}

TEST_F(FramingThroughClient, RepliesArrivingInOddSegmentsAreAssembled) {
    ASSERT_TRUE(Connect());
    mServer.SetSegmentSizes({3, 5, 1, 2, 7});
    mServer.SetReply("-Split", Reply::Text("0 assembled from many small pieces"));
    std::wstring reply;
    ASSERT_TRUE(Exchange(L"-Split", reply));
    EXPECT_EQ(reply, L"0 assembled from many small pieces");
}

TEST_F(FramingThroughClient, TextBodiesAreCutAtTheFirstNulAndNeedOne) {
    ASSERT_TRUE(Connect());
    mServer.SetReply("-Middle", Reply::Body(ToBytes(std::string("abcd\0efgh", 9))));
    mServer.SetReply("-NoNul", Reply::Body(ToBytes("abcd")));
    mServer.SetReply("-Latin", Reply::Body(Bytes{'0', ' ', 0xE9, 0xFF, 0x00}));

    std::wstring reply;
    ASSERT_TRUE(Exchange(L"-Middle", reply));
    EXPECT_EQ(reply, L"abcd");
    ASSERT_TRUE(Exchange(L"-Latin", reply));
    EXPECT_EQ(reply, L"0 \u00e9\u00ff");

    reply = L"unchanged";
    EXPECT_FALSE(Exchange(L"-NoNul", reply));
    EXPECT_EQ(reply, L"unchanged");
    EXPECT_EQ(Log().back().message, "NetworkNodeClient::RecieveMessage(wstring) could not convert "
                                    "multi-byte reply to wide characters.");
    EXPECT_TRUE(mClient.IsConnected());
}

TEST_F(FramingThroughClient, RawRepliesKeepEveryByteAndReplaceTheOldBuffer) {
    ASSERT_TRUE(Connect());
    const Bytes raw = {0x00, 0x01, 0xFF, 0x00, 0x7F};
    mServer.SetReply("-RequestRingBuffer", Reply::Body(raw));
    auto buffer = std::make_unique<char[]>(3);
    int size = 0;
    ASSERT_TRUE(mClient.SendMessage(std::wstring(L"-RequestRingBuffer x")));
    ASSERT_TRUE(mClient.RecieveMessage(buffer, size));
    ASSERT_EQ(size, 5);
    EXPECT_EQ(Bytes(buffer.get(), buffer.get() + size), raw);
}

TEST_F(FramingThroughClient, CommandWithACharacterAboveU00FFIsNeverSent) {
    ASSERT_TRUE(Connect());
    ASSERT_TRUE(mServer.WaitForMessages(1, 2s));
    EXPECT_FALSE(mClient.SendMessage(std::wstring(L"-LogMessage \u0100")));
    EXPECT_EQ(Log().back().message,
              "NetworkNodeClient::SendMessage(wstring) could not convert wstring to multi-byte characters.");
    std::wstring reply;
    ASSERT_TRUE(Exchange(L"-Next", reply));
    EXPECT_EQ(mServer.Keywords(), (std::vector<std::string>{"-GetApplicationName", "-Next"}));
}

// ------------------------------------------------ connect and shutdown

class MessageClient : public ClientFixture {};

TEST_F(MessageClient, ConnectAndShutdownWriteTheirLinesAndSetTheServerTexts) {
    EXPECT_EQ(mClient.GetServerPCName(), L"Not Connected");
    ASSERT_TRUE(Connect());
    EXPECT_TRUE(mClient.IsConnected());
    EXPECT_EQ(mClient.GetServerIPAddress(), L"127.0.0.1");
    EXPECT_EQ(mClient.GetServerPCName(), L"localhost");
    EXPECT_EQ(mClient.GetLocalIPAddress(), L"127.0.0.1");
    ASSERT_TRUE(mClient.ShutdownClient());
    EXPECT_FALSE(mClient.IsConnected());

    const std::string port = std::to_string(mServer.Port());
    std::vector<std::pair<std::string, std::string>> expected = {
        {"NOTICE", kInit + "Attempting to initialize Message Client connection.  serverName: 127.0.0.1, "
                           "portNumber: " + port},
        {"NOTICE", kInit + "Attempting to create Client Socket"},
        {"NOTICE", kInit + "Client Socket created successfully"},
        {"NOTICE", kInit + "Attempting to request information about our connection."},
        {"NOTICE", kInit + "Request for information was successful."},
        {"NOTICE", kInit + "Attempting to establish a connection to our server."},
        {"NOTICE", kInit + "Connection successfully established"},
        {"NOTICE", kInit + "Message Client successfully initialized"},
        {"NOTICE", kShutdown + "Attempting to Shutdown Message Client"},
        {"NOTICE", kShutdown + "Attempting to Close Message Client Socket"},
        {"NOTICE", kShutdown + "Attempt to Close Message Client Socket was successful"},
    };
    std::vector<std::pair<std::string, std::string>> actual;
    for (const LogLine& line : Log()) {
        actual.emplace_back(line.tag, line.message);
    }
    EXPECT_EQ(actual, expected);
    for (const std::wstring& text : {mClient.GetServerPCName(), mClient.GetServerIPAddress(),
                                     mClient.GetServerApplicationName()}) {
        EXPECT_EQ(text, L"Not Connected");
    }

    EXPECT_FALSE(mClient.ShutdownClient());
    EXPECT_EQ(Log().back().tag, "WARNING");
    EXPECT_EQ(Log().back().message,
              kShutdown + "Unable to Close Message Client, Client has not yet been initialized");
}

TEST_F(MessageClient, ServerNameIsKeptAsPassedWhenReverseLookupFails) {
    FakeAcquisitionServer anyAddress;
    ASSERT_TRUE(anyAddress.Start(true));
    ASSERT_TRUE(mClient.InitializeClient(L"127.0.0.2", anyAddress.Port()));
    EXPECT_EQ(mClient.GetServerPCName(), L"127.0.0.2");
    EXPECT_EQ(mClient.GetServerIPAddress(), L"127.0.0.2");
    EXPECT_EQ(mClient.GetLocalIPAddress(), L"127.0.0.1");
}

TEST_F(MessageClient, ApplicationNameReplyWithoutBlankLeavesTheNameAlone) {
    mServer.SetReply("-GetApplicationName", Reply::Text("0"));
    ASSERT_TRUE(Connect());
    EXPECT_EQ(mClient.GetServerApplicationName(), L"Not Connected");
}

TEST_F(MessageClient, ConnectingWhileConnectedIsRefusedAndKeepsTheConnection) {
    ASSERT_TRUE(Connect());
    EXPECT_FALSE(Connect());
    EXPECT_EQ(Log().back().tag, "WARNING");
    EXPECT_EQ(Log().back().message, kInit + "Attempting to initialize Message Client that has already been "
                                            "initialized, unable to re-initialize");
    EXPECT_EQ(mServer.ConnectionCount(), 1u);
    std::wstring reply;
    EXPECT_TRUE(Exchange(L"-Still", reply));
}

TEST_F(MessageClient, NotConnectedSendFailsSilentlyAndReceiveYieldsMinusOne) {
    const size_t before = LogSize();
    EXPECT_FALSE(mClient.SendMessage(std::wstring(L"-Anything")));
    EXPECT_FALSE(mClient.SendMessage("abc", 3));
    EXPECT_EQ(LogSize(), before);
    std::wstring reply = L"x";
    EXPECT_FALSE(mClient.RecieveMessage(reply));
    EXPECT_EQ(reply, L"-1");
}

TEST_F(MessageClient, PeerClosingMidReplyDisconnectsTheClient) {
    ASSERT_TRUE(Connect());
    mServer.SetReply("-Half", Reply::CloseMidMessage("0 a reply that never ends", 17));
    std::wstring reply;
    EXPECT_FALSE(Exchange(L"-Half", reply));
    EXPECT_EQ(reply, L"-1");
    EXPECT_FALSE(mClient.IsConnected());
    EXPECT_TRUE(Logged("NOTICE", "NetworkNodeClient::GetBuffer() - Attempting to receive data has failed, "
                                 "socket has been closed gracefully"));
    for (const std::wstring& text : {mClient.GetServerPCName(), mClient.GetServerIPAddress(),
                                     mClient.GetServerApplicationName()}) {
        EXPECT_EQ(text, L"Not Connected");
    }
    // The client can connect again afterwards.
    EXPECT_TRUE(Connect());
}

TEST_F(MessageClient, SendErrorShutsTheConnectionDown) {
    ASSERT_TRUE(Connect());
    mServer.CloseClient();
    // The first send after the peer has gone may still be accepted locally;
    // the peer's reset makes a later one fail.
    bool sent = true;
    for (int i = 0; i < 20 && sent; ++i) {
        std::this_thread::sleep_for(20ms);
        sent = mClient.SendMessage(std::wstring(L"-Lost"));
    }
    ASSERT_FALSE(sent);
    EXPECT_FALSE(mClient.IsConnected());
    EXPECT_TRUE(Logged("ERROR", "NetworkNodeClient::SendMessage() - Unable to send data, call to send() "
                                "failed, we must have lost our socket.  message: -Lost"));
    EXPECT_EQ(Log().back().message, kShutdown + "Attempt to Close Message Client Socket was successful");
}

TEST_F(MessageClient, ReplySizeAbove256MiBIsRefusedAndDisconnects) {
    ASSERT_TRUE(Connect());
    const int32_t tooLarge = protocol::kMaxReplyBodySize + 1;
    mServer.SetReply("-Huge", Reply::Raw(PreHeader(1, protocol::kValidationCode) + SizeHeader(tooLarge)));
    std::wstring reply;
    EXPECT_FALSE(Exchange(L"-Huge", reply));
    EXPECT_TRUE(Logged("ERROR", "NetworkNodeClient::RecieveMessage() - Invalid message size for receiving "
                                "message, messageSize: 268435457"));
    EXPECT_FALSE(mClient.IsConnected());
}

TEST_F(MessageClient, ReplyThatNeverBeginsTimesOutAndDisconnects) {
    mClient.SetReplyTimeout(300ms);
    ASSERT_TRUE(Connect());
    mServer.SetReply("-Silent", Reply::None());
    std::wstring reply;
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Exchange(L"-Silent", reply));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    EXPECT_FALSE(mClient.IsConnected());
    EXPECT_TRUE(Logged("ERROR", platform::WideToLatin1Lossy(ClientSocketErrorLine(ClientSocketOp::Receive, 10060))));
}

// ------------------------------------------- real failures and their texts

TEST_F(MessageClient, RefusedConnectLogsTheConnectionRefusedText) {
    const uint16_t closedPort = EphemeralPort();
    EXPECT_FALSE(mClient.InitializeClient(L"127.0.0.1", closedPort));
    EXPECT_FALSE(mClient.IsConnected());
    EXPECT_TRUE(Logged("ERROR", "NetworkNodeClient::ConnectToServer() - Error Connecting To Server, error "
                                "code: WSAECONNREFUSED - The attempt to connect was forcefully rejected."));
    EXPECT_EQ(Log().back().message, kInit + "Failed to connect to message server.");
}

TEST_F(MessageClient, UnknownHostLogsTheResolverCodeAndLaterConnectsStillWork) {
    EXPECT_FALSE(mClient.InitializeClient(L"no-such-host.invalid", mServer.Port()));
    std::vector<LogLine> lines = Log();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_TRUE(std::regex_match(lines[lines.size() - 2].message,
                                 std::regex(R"(NetworkNodeClient::GetHostInfo\(\) - GetAddrInfo failed )"
                                            R"(with error code 1100[1-4])")))
        << lines[lines.size() - 2].message;
    EXPECT_EQ(lines.back().message, kInit + "Failure: Unable to initialize message client");
    EXPECT_TRUE(Connect());
}

TEST_F(MessageClient, ConnectGivesUpAfterTheConnectTimeout) {
    // A listener that never accepts, with its queue filled, leaves further
    // connection attempts unanswered.
    platform::Socket listener = platform::Socket::CreateTcp();
    ASSERT_TRUE(listener.Bind(0x7F000001, 0));
    ASSERT_TRUE(listener.Listen(0));
    sockaddr_in bound{};
    ASSERT_TRUE(listener.LocalAddress(bound));
    std::vector<platform::Socket> fillers;
    for (int i = 0; i < 4; ++i) {
        fillers.push_back(platform::Socket::CreateTcp());
        fillers.back().Connect(bound, 200);
    }
    mClient.SetConnectTimeout(300ms);
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(mClient.InitializeClient(L"127.0.0.1", ntohs(bound.sin_port)));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    EXPECT_TRUE(Logged("ERROR", "NetworkNodeClient::ConnectToServer() - Error Connecting To Server, error "
                                "code: WSAETIMEDOUT - Attempt to connect timed out without establishing a "
                                "connection."));
}

// ------------------------------------------------ adopted connections

// A server's end of a local socket pair: what it is to send is written at
// once, then its writing side is closed.
struct PairServer {
    platform::Socket clientEnd;
    platform::Socket serverEnd;

    explicit PairServer(const Bytes& bytes) {
        EXPECT_TRUE(platform::Socket::CreatePair(clientEnd, serverEnd));
        EXPECT_EQ(serverEnd.Send(bytes.data(), bytes.size()), static_cast<long>(bytes.size()));
        ::shutdown(serverEnd.Handle(), SHUT_WR);
    }
};

long ResidentKiB() {
    std::ifstream statm("/proc/self/statm");
    long size = 0;
    long resident = 0;
    statm >> size >> resident;
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

TEST(AdoptedConnection, ServesAsTheMessageConnectionAndRefusesASecondOne) {
    PairServer server(Frame(ToBytes("0 Pair Server") + Bytes{0}) + Frame(ToBytes("0 ok") + Bytes{0}));
    Plenvar::NetworkNodeClient client;
    ASSERT_TRUE(client.AdoptConnection(std::move(server.clientEnd), L"local"));
    EXPECT_TRUE(client.IsConnected());
    EXPECT_EQ(client.GetServerApplicationName(), L" Pair Server");
    EXPECT_EQ(client.GetServerPCName(), L"local");
    EXPECT_EQ(client.GetLocalIPAddress(), L"127.0.0.1");
    int code = -1;
    std::vector<std::wstring> words;
    ASSERT_TRUE(client.ReceiveCommandReply(code, words));
    EXPECT_EQ(code, 0);
    EXPECT_EQ(words, std::vector<std::wstring>{L"ok"});

    platform::Socket other;
    platform::Socket otherPeer;
    ASSERT_TRUE(platform::Socket::CreatePair(other, otherPeer));
    EXPECT_FALSE(client.AdoptConnection(std::move(other), L"again"));
    EXPECT_EQ(client.GetServerPCName(), L"local");
}

// A reply that announces a large body and then ends must neither cost the
// announced size in memory nor hand back bytes that never arrived.
TEST(AdoptedConnection, BodyCutShortKeepsWhatArrivedAndCostsNoMemoryForTheRest) {
    const int32_t announced = 200 * 1024 * 1024;
    PairServer server(Frame(ToBytes("0 Pair Server") + Bytes{0}) + PreHeader(1, protocol::kValidationCode) +
                      SizeHeader(announced) + ToBytes("abc"));
    Plenvar::NetworkNodeClient client;
    ASSERT_TRUE(client.AdoptConnection(std::move(server.clientEnd), L"local"));
    const long before = ResidentKiB();
    std::unique_ptr<char[]> buffer;
    int size = -1;
    EXPECT_FALSE(client.RecieveMessage(buffer, size));
    EXPECT_LT(ResidentKiB() - before, 32 * 1024);
    EXPECT_EQ(size, -1);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(std::string(buffer.get(), 3), "abc");
    EXPECT_FALSE(client.IsConnected());
}

TEST(ClientSocketErrors, EachOperationHasItsOwnWording) {
    const struct {
        ClientSocketOp op;
        int code;
        std::string line;  // empty: the operation's table lacks the code
    } rows[] = {
        {ClientSocketOp::Create, 10024,
         "NetworkNodeClient::CreateSocket() - Error Creating Socket, error code: WSAEMFILE - No more socket "
         "descriptors are available."},
        {ClientSocketOp::Startup, 10036,
         "NetworkNodeClient::SocketStartup() - Error requesting Socket Startup, return code: WSAEINPROGRESS - "
         "A blocking Windows Sockets 1.1 operation is in progress."},
        {ClientSocketOp::Host, 10004,
         "NetworkNodeClient::GetHostInfo() - Error getting host name, error code: WSAEINTR - A blocking "
         "Windows Socket 1.1 call was canceled through WSACancelBlockingCall."},
        {ClientSocketOp::Close, 10004,
         "NetworkNodeClient::ProcessCloseError() - Error closing socket, error code: WSAEINTR - The (blocking) "
         "Windows Socket 1.1 call was canceled through WSACancelBlockingCall."},
        {ClientSocketOp::Connect, 10037,
         "NetworkNodeClient::ConnectToServer() - Error Connecting To Server, error code: WSAEALREADY - A "
         "nonblocking connect call is in progress on the specified socket. "},
        {ClientSocketOp::Send, 10060,
         "NetworkNodeClient::ProcessSendError() - Error sending data, error code: WSAETIMEDOUT - The "
         "connection has been dropped, because of a network failure or because the system on the other end "
         "went down without notice."},
        {ClientSocketOp::Receive, 10093,
         "NetworkNodeClient::ProcessRecieveError() - Error receiving data, error code: WSANOTINITIALISED - A "
         "successful WSAStartup call must occur before using this function."},
        {ClientSocketOp::Host, 11001,
         "NetworkNodeClient::GetHostInfo() - Error getting host name, error code: WSAHOST_NOT_FOUND - "
         "Authoritative answer host not found."},
        {ClientSocketOp::Send, 10054, ""},
        {ClientSocketOp::Receive, 10054, ""},
        {ClientSocketOp::Receive, 10065, ""},
        {ClientSocketOp::Connect, 11001, ""},
        {ClientSocketOp::Startup, 10093, ""},
        {ClientSocketOp::Close, 10999, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.code);
        EXPECT_EQ(platform::WideToLatin1Lossy(ClientSocketErrorLine(row.op, row.code)), row.line);
    }
}

}  // namespace
