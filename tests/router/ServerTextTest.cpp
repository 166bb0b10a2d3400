// Socket error texts and the reading of command words.

#include "CommandText.h"
#include "PlenvarServerBase.h"
#include "platform/Socket.h"
#include "platform/SocketError.h"

#include <gtest/gtest.h>

namespace {

using router::PlenvarServerBase;
using Call = PlenvarServerBase::SocketCall;

struct TextCase {
    Call call;
    int code;
    const char* text;
};

TEST(SocketErrorTexts, KnownCodesCarryThePrefixUnknownOnesTheNotFoundTextAlone) {
    const TextCase cases[] = {
        {Call::Send, 10057, "Error sending data, error code: WSAENOTCONN - The socket is not connected."},
        {Call::Send, 10054, "Send Error Code Not Found"},
        {Call::Bind, 10061, "Bind Socket Error Code Not Found"},
        {Call::Bind, 10048,
         "Error Binding Socket, error code: WSAEADDRINUSE - A process on the computer is already bound to the same "
         "fully-qualified address and the socket has not been marked to allow address reuse with SO_REUSEADDR."},
        {Call::Connect, 10061,
         "Error Connecting To Server, error code: WSAECONNREFUSED - The attempt to connect was forcefully rejected."},
        {Call::Connect, 10037,
         "Error Connecting To Server, error code: WSAEALREADY - A nonblocking connect call is in progress on the "
         "specified socket. "},
        {Call::Accept, 10054, "Accept Socket Error Code Not Found"},
        {Call::Accept, 10024,
         "Error Accepting Socket, error code: WSAEMFILE - The queue is nonempty upon entry to accept and there are "
         "no descriptors available."},
        {Call::CloseSocket, 10038, "Error closing socket, error code: WSAENOTSOCK - The descriptor is not a socket."},
        {Call::CloseSocket, 10022, "Close Socket Error Code Not Found"},
        {Call::CreateSocket, 10024,
         "Error Creating Socket, error code: WSAEMFILE - No more socket descriptors are available."},
        {Call::CreateSocket, 10999, "Create Socket Error Code Not Found"},
        {Call::Listen, 10022,
         "Error Listening To Socket, error code: WSAEINVAL - The socket has not been bound with bind."},
        {Call::Listen, 10061, "Listen Socket Error Code Not Found"},
        {Call::GetHostByName, 11001,
         "Error Getting Server Name, error code: WSAHOST_NOT_FOUND - Authoritative answer host not found."},
        {Call::GetHostByName, 10061, "Get Host By Name Error Code Not Found"},
        {Call::Connect, 10054, "Connect To Server Error Code Not Found"},
    };
    for (const TextCase& c : cases) {
        EXPECT_EQ(c.text, PlenvarServerBase::ErrorText(c.call, c.code)) << c.code;
    }
}

TEST(SocketErrorTexts, StartupTextsAndNoTextForOtherResults) {
    EXPECT_EQ("Error requesting Socket Startup, return code: WSAVERNOTSUPPORTED - The version of Windows Sockets "
              "support requested is not provided by this particular Windows Sockets implementation.",
              PlenvarServerBase::StartupErrorText(10092));
    EXPECT_EQ("", PlenvarServerBase::StartupErrorText(0));
    EXPECT_EQ("", PlenvarServerBase::StartupErrorText(10061));
}

TEST(SocketErrorTexts, ReadTheLastErrorOfARealFailedCall) {
    platform::Socket first = platform::Socket::CreateTcp();
    ASSERT_TRUE(first.Bind(0x7F000001u, 0));
    sockaddr_in taken{};
    ASSERT_TRUE(first.LocalAddress(taken));
    platform::Socket second = platform::Socket::CreateTcp();
    ASSERT_FALSE(second.Bind(0x7F000001u, ntohs(taken.sin_port)));
    PlenvarServerBase base;
    EXPECT_NE(std::string::npos, base.BindErrorText().find("WSAEADDRINUSE"));
}

TEST(CommandWords, SplitAtWhiteSpaceWithoutQuoteHandling) {
    using router::ReadTokens;
    EXPECT_EQ((std::vector<std::string>{"-CreateStream", "host", "26202"}),
              ReadTokens("  -CreateStream\thost \n 26202  SEScAcqEnt", 3));
    EXPECT_EQ((std::vector<std::string>{"-SetApplicationName", "\"My"}), ReadTokens("-SetApplicationName \"My App\"", 2));
    EXPECT_TRUE(ReadTokens("   ", 2).empty());
    EXPECT_EQ("", router::TokenAt("-OpenStream", 1));
}

TEST(CommandWords, NumbersQuotesAndLetterCase) {
    EXPECT_EQ(26201, router::LeadingInteger("  26201xyz"));
    EXPECT_EQ(0, router::LeadingInteger("port"));
    EXPECT_EQ(0, router::LeadingInteger(""));
    EXPECT_EQ(-5, router::LeadingInteger("-5"));
    EXPECT_EQ("Sc1", router::StripOuterQuotes("\"\"Sc1\""));
    EXPECT_EQ("a\"b", router::StripOuterQuotes("\"a\"b\""));
    EXPECT_EQ("", router::StripOuterQuotes("\"\""));
    EXPECT_TRUE(router::EqualsIgnoreCase("-getZORLENTobjects", "-GetZorlentObjects"));
    EXPECT_TRUE(router::EqualsIgnoreCase("\xC9l\xE9", "\xE9L\xC9"));  // Latin-1 E acute in both cases
    EXPECT_FALSE(router::EqualsIgnoreCase("Sc1", "Sc1 "));
    EXPECT_FALSE(router::EqualsIgnoreCase("\xD7", "\xF7"));  // multiplication vs division sign
}

}  // namespace
