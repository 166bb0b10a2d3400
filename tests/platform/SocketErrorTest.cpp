#include "platform/Latin1.h"
#include "platform/Resolve.h"
#include "platform/Socket.h"
#include "platform/SocketError.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <netdb.h>

using namespace platform;

namespace {
// Two ends of one loopback connection.
void ConnectedPair(Socket& client, Socket& server) {
    Socket listener = Socket::CreateTcp();
    ASSERT_TRUE(listener.Bind(0x7F000001, 0));
    ASSERT_TRUE(listener.Listen(1));
    sockaddr_in address{};
    ASSERT_TRUE(listener.LocalAddress(address));
    client = Socket::CreateTcp();
    ASSERT_TRUE(client.Connect(address, 2000));
    server = listener.Accept();
    ASSERT_TRUE(server.IsValid());
}
}  // namespace

TEST(SocketError, ErrnoTableMapsToWindowsSocketsCodes) {
    struct Row {
        int err;
        int wsa;
    } rows[] = {
        {EINTR, 10004},        {EACCES, 10013},      {EFAULT, 10014},     {EINVAL, 10022},
        {EMFILE, 10024},       {EAGAIN, 10035},      {EINPROGRESS, 10036}, {EALREADY, 10037},
        {ENOTSOCK, 10038},     {EMSGSIZE, 10040},    {EPROTOTYPE, 10041}, {EPROTONOSUPPORT, 10043},
        {ESOCKTNOSUPPORT, 10044}, {EOPNOTSUPP, 10045}, {EAFNOSUPPORT, 10047}, {EADDRINUSE, 10048},
        {EADDRNOTAVAIL, 10049}, {ENETDOWN, 10050},   {ENETUNREACH, 10051}, {ENETRESET, 10052},
        {ECONNABORTED, 10053}, {ECONNRESET, 10054},  {EPIPE, 10054},      {ENOBUFS, 10055},
        {EISCONN, 10056},      {ENOTCONN, 10057},    {ESHUTDOWN, 10058},  {ETIMEDOUT, 10060},
        {ECONNREFUSED, 10061}, {EHOSTUNREACH, 10065},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(WsaFromErrno(row.err), row.wsa) << "errno " << row.err;
    }
    EXPECT_EQ(WsaFromErrno(ENOENT), kWsaUnmapped);
    EXPECT_EQ(WsaFromGaiError(EAI_NONAME), 11001);
    EXPECT_EQ(WsaFromGaiError(EAI_AGAIN), 11002);
    EXPECT_EQ(WsaFromGaiError(EAI_FAIL), 11003);
}

TEST(SocketError, RealFailuresReportTheirCodes) {
    // A refused connect.
    Socket listener = Socket::CreateTcp();
    ASSERT_TRUE(listener.Bind(0x7F000001, 0));
    sockaddr_in bound{};
    ASSERT_TRUE(listener.LocalAddress(bound));
    listener.Close();
    Socket s = Socket::CreateTcp();
    EXPECT_FALSE(s.Connect(bound, 2000));
    EXPECT_EQ(LastSocketError(), kWsaEconnrefused);

    // A port in use.
    Socket a = Socket::CreateTcp();
    ASSERT_TRUE(a.Bind(0, 0));
    ASSERT_TRUE(a.Listen(1));
    sockaddr_in taken{};
    ASSERT_TRUE(a.LocalAddress(taken));
    Socket b = Socket::CreateTcp();
    EXPECT_FALSE(b.Bind(0, ntohs(taken.sin_port)));
    EXPECT_EQ(LastSocketError(), kWsaEaddrinuse);

    // An unknown host: not found, or no answer where no name server is reachable.
    std::vector<sockaddr_in> addresses;
    int code = ResolveIPv4("no-such-host.invalid", addresses);
    EXPECT_TRUE(code == kWsaHostNotFound || code == kWsaTryAgain) << code;
    EXPECT_TRUE(addresses.empty());
}

TEST(SocketError, SendOnClosedPeerDoesNotRaiseSigpipe) {
    Socket client;
    Socket server;
    ConnectedPair(client, server);
    ASSERT_FALSE(::testing::Test::HasFatalFailure());
    server.Close();
    char block[65536] = {};
    long result = 0;
    for (int i = 0; i < 100 && result >= 0; ++i) {
        result = client.Send(block, sizeof block);
    }
    EXPECT_EQ(result, -1);
    EXPECT_EQ(LastSocketError(), kWsaEconnreset);
}

TEST(Latin1, ConvertsByValueAndRefusesWideCharacters) {
    std::string out = "unchanged";
    EXPECT_TRUE(WideToLatin1(L"A\u00E9\u00FF", out));
    EXPECT_EQ(out, std::string("A\xE9\xFF"));
    out = "unchanged";
    EXPECT_FALSE(WideToLatin1(L"A\u0100", out));
    EXPECT_EQ(out, "unchanged");
    EXPECT_EQ(Latin1ToWide(std::string("ab\0cd", 5)), L"ab");
    EXPECT_EQ(Latin1ToWide("\xE9"), L"\u00E9");
}

TEST(Socket, RecvExactAssemblesPiecesAndReportsCloseAndTimeOut) {
    Socket client;
    Socket server;
    ConnectedPair(client, server);
    ASSERT_FALSE(::testing::Test::HasFatalFailure());

    ASSERT_EQ(client.Send("abc", 3), 3);
    ASSERT_EQ(client.Send("defgh", 5), 5);
    char buffer[8] = {};
    EXPECT_EQ(server.RecvExact(buffer, 8, 2000), 8);
    EXPECT_EQ(std::string(buffer, 8), "abcdefgh");

    ASSERT_EQ(client.Send("xy", 2), 2);
    EXPECT_EQ(server.RecvExact(buffer, 4, 100), -1);
    EXPECT_EQ(LastSocketError(), kWsaEtimedout);

    client.Close();
    EXPECT_EQ(server.RecvExact(buffer, 4, 2000), 0);
}
