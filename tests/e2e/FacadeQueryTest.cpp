// The server queries: the commands they send and how they read the replies,
// including the edge cases of each reply form.

#include "ClientInternals.h"
#include "FacadeFixture.h"

#include <numeric>

namespace facade_test {
namespace {

using plenvar_test::Bytes;
using plenvar_test::Reply;

class FacadeQueryTest : public FacadeTest {
protected:
    void SetUp() override {
        FacadeTest::SetUp();
        server.SetObjects({{"SE1", "SEScAcqEnt"}, {"CSC1", "CscAcqEnt"}});
        ASSERT_TRUE(Connect());
    }

    std::string LastMessage() const { return server.Messages().back(); }
    size_t MessageCount() const { return server.Messages().size(); }

    static Bytes Sequence(size_t size) {
        Bytes bytes(size);
        std::iota(bytes.begin(), bytes.end(), static_cast<unsigned char>(1));
        return bytes;
    }
};

struct TypedCase {
    const char* reply;
    bool result;
    int first;
    int second;
};

// Integers are read one after the other until one is missing; the code
// decides the result, and what follows a negative code is still handed out.
const TypedCase kTwoValueCases[] = {
    {"0 10 20", true, 10, 20},
    {"0", true, 0, 0},
    {"", true, 0, 0},
    {"-1", false, 0, 0},
    {"-1 5 6", false, 5, 6},
    {"3 -4 5", true, -4, 5},
    {"not a number 5 6", true, 0, 0},
    {"0 7 x 9", true, 7, 0},
    {"0\t8\n9 trailing", true, 8, 9},
};

TEST_F(FacadeQueryTest, ADRangeAndBufferSizeReadCodeAndTwoValues) {
    for (const TypedCase& c : kTwoValueCases) {
        SCOPED_TRACE(c.reply);
        server.SetReply("-GetADRange", Reply::Text(c.reply));
        server.SetReply("-GetPlenvarDataBufferSizeCSC1", Reply::Text(c.reply));
        int first = 99;
        int second = 99;
        EXPECT_EQ(client->GetADRange(L"CSC1", first, second), c.result);
        EXPECT_EQ(LastMessage(), "-GetADRange CSC1");
        EXPECT_EQ(first, c.first);
        EXPECT_EQ(second, c.second);

        first = second = 99;
        EXPECT_EQ(client->GetRingBufferSize(L"CSC1", first, second), c.result);
        // The object name follows this keyword without a blank.
        EXPECT_EQ(LastMessage(), "-GetPlenvarDataBufferSizeCSC1");
        EXPECT_EQ(first, c.first);
        EXPECT_EQ(second, c.second);
    }
}

TEST_F(FacadeQueryTest, SamplingFrequency) {
    const TypedCase cases[] = {{"0 32000", true, 32000, 0}, {"-1", false, 0, 0}, {"0", true, 0, 0}};
    for (const TypedCase& c : cases) {
        SCOPED_TRACE(c.reply);
        server.SetReply("-GetSamplingFrequency", Reply::Text(c.reply));
        int frequency = 99;
        EXPECT_EQ(client->GetSamplingFrequency(L"CSC1", frequency), c.result);
        EXPECT_EQ(LastMessage(), "-GetSamplingFrequency CSC1");
        EXPECT_EQ(frequency, c.first);
    }
}

TEST_F(FacadeQueryTest, WaveformFeatureTakesTheRestOfTheFirstLine) {
    struct Case {
        const char* reply;
        bool result;
        const wchar_t* feature;
    };
    const Case cases[] = {
        {"0 peak 120", true, L"peak 120"},
        {"0 first line\nsecond line", true, L"first line"},
        {"0", true, L""},
        {"no code here", true, L""},
        {"2\tx y", true, L"x y"},
        {"-1 unknown feature", false, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        server.SetReply("-GetWaveformFeature", Reply::Text(c.reply));
        std::wstring feature = L"stale";
        EXPECT_EQ(client->GetFeature(L"SE1", 2, feature), c.result);
        EXPECT_EQ(feature, c.feature);
        EXPECT_EQ(LastMessage(), "-GetWaveformFeature \"SE1\" 2");
    }
}

TEST_F(FacadeQueryTest, NameAndLogMessageAreQuotedAndTheirRepliesNotExamined) {
    server.SetReply("-SetApplicationName", Reply::Text("-1"));
    server.SetReply("-LogMessage", Reply::Text("-1 refused"));
    EXPECT_TRUE(client->SetApplicationName(L"My App"));
    EXPECT_EQ(LastMessage(), "-SetApplicationName \"My App\"");
    EXPECT_TRUE(client->LogMessageZorlent(L"disk almost full", -7));
    EXPECT_EQ(LastMessage(), "-LogMessage \"disk almost full\" -7");
}

TEST_F(FacadeQueryTest, RingBufferDataIsCutToTheBufferOrPaddedWithZeros) {
    struct Case {
        size_t replySize;
        int bufferSize;
    };
    for (Case c : {Case{25, 10}, Case{10, 25}, Case{16, 16}}) {
        SCOPED_TRACE(testing::Message() << c.replySize << " bytes into " << c.bufferSize);
        Bytes body = Sequence(c.replySize);
        body[3] = 0;  // binary data: a NUL byte is not an end
        server.SetReply("-RequestRingBuffer", Reply::Body(body));
        std::vector<char> buffer(static_cast<size_t>(c.bufferSize), '\xAA');
        int copied = -1;
        ASSERT_TRUE(client->GetRingBufferData(L"CSC1", buffer.data(), c.bufferSize, copied));
        EXPECT_EQ(LastMessage(), "-RequestRingBuffer CSC1");
        size_t expected = std::min(c.replySize, buffer.size());
        EXPECT_EQ(copied, static_cast<int>(expected));
        for (size_t i = 0; i < buffer.size(); ++i) {
            char want = i < expected ? static_cast<char>(body[i]) : '\0';
            ASSERT_EQ(buffer[i], want) << "byte " << i;
        }
    }
}

TEST_F(FacadeQueryTest, RawSendCommandHandsOutTheBodyAsSent) {
    server.SetReply("-Text", Reply::Text("ok"));
    server.SetReply("-Binary", Reply::Body({0x01, 0x00, 0xFF, 0x00}));
    char* reply = nullptr;
    int size = 0;
    ASSERT_TRUE(client->SendCommand(L"-Text please", reply, size));
    EXPECT_EQ(LastMessage(), "-Text please");
    ASSERT_EQ(size, 3);
    EXPECT_EQ(std::string(reply, 3), std::string("ok\0", 3));

    // The array from the first call is released and replaced.
    ASSERT_TRUE(client->SendCommand(L"-Binary", reply, size));
    ASSERT_EQ(size, 4);
    EXPECT_EQ(std::string(reply, 4), std::string("\x01\x00\xFF\x00", 4));
    client->FreeArray(reply);
}

TEST_F(FacadeQueryTest, TextSendCommandGivesTheWholeReply) {
    server.SetReply("-Anything", Reply::Text("0 \"quoted words\" and more"));
    std::wstring reply = L"stale";
    EXPECT_TRUE(client->SendCommand(L"-Anything goes", reply));
    EXPECT_EQ(reply, L"0 \"quoted words\" and more");

    server.SetReply("-Broken", Reply::CloseMidMessage("0 cut short", 14));
    EXPECT_FALSE(client->SendCommand(L"-Broken", reply));
    EXPECT_TRUE(reply.empty());
}

TEST_F(FacadeQueryTest, ArgumentSendCommandSplitsTheReply) {
    struct Case {
        const char* reply;
        int code;
        std::vector<std::wstring> arguments;
    };
    const Case cases[] = {
        {"0 one \"two words\" three", 0, {L"one", L"two words", L"three"}},
        {"-1", -1, {}},
        {"word 5", -1, {L"5"}},
        {"0 \"unpaired", -1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        server.SetReply("-Split", Reply::Text(c.reply));
        int code = 42;
        std::vector<std::wstring> arguments{L"stale"};
        EXPECT_TRUE(client->SendCommand(L"-Split", code, arguments));
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(arguments, c.arguments);
    }
}

TEST_F(FacadeQueryTest, ArgumentSendCommandWithoutAReplyStillCountsAsSent) {
    server.SetReply("-Split", Reply::CloseMidMessage("0 a b", 9));
    int code = 42;
    std::vector<std::wstring> arguments;
    EXPECT_TRUE(client->SendCommand(L"-Split", code, arguments));
    EXPECT_EQ(code, -1);
    EXPECT_TRUE(arguments.empty());
}

// Every query reports failure once the connection is gone, without a wait.
TEST_F(FacadeQueryTest, QueriesFailWhenNotConnected) {
    ASSERT_TRUE(client->DisconnectFromServer());
    size_t before = MessageCount();
    int a = 5;
    int b = 5;
    EXPECT_FALSE(client->GetADRange(L"CSC1", a, b));
    EXPECT_EQ(a, 0);
    EXPECT_FALSE(client->GetRingBufferSize(L"CSC1", a, b));
    EXPECT_FALSE(client->GetSamplingFrequency(L"CSC1", a));
    EXPECT_FALSE(client->SetApplicationName(L"x"));
    EXPECT_FALSE(client->LogMessageZorlent(L"x", 1));
    std::wstring text;
    EXPECT_FALSE(client->GetFeature(L"SE1", 0, text));
    EXPECT_FALSE(client->SendCommand(L"-Anything", text));
    char buffer[4] = {'x', 'x', 'x', 'x'};
    EXPECT_FALSE(client->GetRingBufferData(L"CSC1", buffer, 4, a));
    EXPECT_EQ(a, 0);
    EXPECT_EQ(std::string(buffer, 4), std::string(4, '\0'));
    char* raw = nullptr;
    EXPECT_FALSE(client->SendCommand(L"-Anything", raw, a));
    EXPECT_EQ(raw, nullptr);
    int code = 0;
    std::vector<std::wstring> arguments;
    EXPECT_FALSE(client->SendCommand(L"-Anything", code, arguments));
    EXPECT_EQ(code, -1);
    EXPECT_EQ(MessageCount(), before);
}

// --- The Internal members, reached directly -------------------------------

TEST_F(FacadeQueryTest, ListMembersRefuseArraysTheCallerStillHolds) {
    size_t before = MessageCount();
    wchar_t* held[1] = {nullptr};
    wchar_t** objects = held;
    wchar_t** types = nullptr;
    int count = 77;
    EXPECT_FALSE((client.get()->*Get(ObjectsInternal{}))(objects, types, count));
    EXPECT_EQ(count, 77);
    EXPECT_EQ(types, nullptr);

    int code = 5;
    int argumentCount = 5;
    wchar_t** arguments = held;
    EXPECT_FALSE((client.get()->*Get(SendArgumentsInternal{}))(L"-Split", code, arguments, argumentCount));
    EXPECT_EQ(code, -1);
    EXPECT_EQ(argumentCount, 0);
    EXPECT_EQ(MessageCount(), before);
}

TEST_F(FacadeQueryTest, TextMembersReleaseTheArrayTheyAreGiven) {
    auto feature = Get(FeatureInternal{});
    server.SetReply("-GetWaveformFeature", Reply::Text("0 width 12"));
    wchar_t* text = nullptr;
    ASSERT_TRUE((client.get()->*feature)(L"SE1", 0, text));
    EXPECT_STREQ(text, L"width 12");
    // Handed back in: released, and a refusal leaves nothing to release twice.
    server.SetReply("-GetWaveformFeature", Reply::Text("-1"));
    EXPECT_FALSE((client.get()->*feature)(L"SE1", 0, text));
    EXPECT_EQ(text, nullptr);

    auto name = Get(ServerPCNameInternal{});
    (client.get()->*name)(text);
    std::wstring first = text;
    (client.get()->*name)(text);
    EXPECT_EQ(first, text);
    client->FreeArray(text);

    // A failed receive still hands out "-1", which the caller releases.
    server.SetReply("-Broken", Reply::CloseMidMessage("0 cut", 13));
    text = nullptr;
    EXPECT_FALSE((client.get()->*Get(SendTextInternal{}))(L"-Broken", text));
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, L"-1");
    client->FreeArray(text);
}

}  // namespace
}  // namespace facade_test
