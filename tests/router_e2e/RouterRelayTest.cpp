// The router core in a process of its own (router_core_driver), a scripted
// acquisition server on port 26100 in this process, and client-library
// clients connected through the router's front port.

#include "ChildProcess.h"
#include "FakeAcquisitionServer.h"
#include "RouterE2eSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <thread>

namespace plenvar_test {
namespace {

using namespace std::chrono_literals;
using protocol::RecordType;

const std::vector<std::pair<std::string, std::string>> kObjects = {
    {"SE1", "SEScAcqEnt"}, {"ST1", "STScAcqEnt"},  {"TT1", "TTScAcqEnt"}, {"CSC1", "CscAcqEnt"},
    {"CSC2", "CscAcqEnt"}, {"Events", "EventAcqEnt"}, {"VT1", "VTAcqEnt"},
};

class RouterRelayTest : public ::testing::Test {
protected:
    void SetUp() override {
        StartFakeServer(kObjects);
        mRouter = std::make_unique<ChildProcess>(
            std::vector<std::string>{ROUTER_CORE_DRIVER, MakeLogDirectory("relay")});
        ASSERT_TRUE(mRouter->Started());
        std::string ready;
        ASSERT_TRUE(mRouter->ReadLine(ready, 10s));
        ASSERT_EQ(ready, "ready 0");
    }

    void TearDown() override {
        if (mRouter) {
            EXPECT_EQ(Command("quit"), "ok");
            EXPECT_EQ(mRouter->WaitForExit(5s), 0);
        }
    }

    void StartFakeServer(const std::vector<std::pair<std::string, std::string>>& objects) {
        mFake = std::make_unique<FakeAcquisitionServer>(26100);
        mFake->SetObjects(objects);
        ASSERT_TRUE(mFake->Start());
    }

    std::string Command(const std::string& line) {
        std::string reply;
        if (!mRouter->WriteLine(line) || !mRouter->ReadLine(reply, 20s)) {
            return "(no reply to " + line + ")";
        }
        return reply;
    }

    void ConnectRouter() {
        ASSERT_EQ(Command("connect 127.0.0.1"), "ok 1");
        for (const auto& info : protocol::kRecordTypes) {
            ASSERT_TRUE(mFake->WaitForDataStream(info.typeName, 5s)) << info.typeName;
        }
    }

    size_t UpstreamCommands(const std::string& text) {
        const auto messages = mFake->Messages();
        return static_cast<size_t>(std::count(messages.begin(), messages.end(), text));
    }

    void Push(RecordType type, const RecordBytes& records) {
        ASSERT_TRUE(mFake->PushData(protocol::Info(type).typeName, records));
    }

    std::unique_ptr<FakeAcquisitionServer> mFake;
    std::unique_ptr<ChildProcess> mRouter;
};

TEST_F(RouterRelayTest, RelaysEveryTypeByteForByteOnlyToClientsThatOpenedTheObject) {
    ConnectRouter();
    Downstream opener;
    Downstream other;
    ASSERT_TRUE(opener.Connect());
    ASSERT_TRUE(other.Connect());
    for (const wchar_t* name : {L"SE1", L"ST1", L"TT1", L"CSC1", L"Events", L"VT1"}) {
        ASSERT_TRUE(opener.Client().OpenStream(name));
    }
    ASSERT_TRUE(other.Client().OpenStream(L"CSC2"));

    // Spike types share one index numbering; the others count within their type.
    const struct {
        RecordType type;
        uint32_t index;
    } batches[] = {{RecordType::SE, 0}, {RecordType::ST, 1}, {RecordType::TT, 2},
                   {RecordType::CSC, 0}, {RecordType::EV, 0}, {RecordType::VT, 0}};
    std::map<std::string, RecordBytes> sent;
    unsigned seed = 1;
    for (const auto& batch : batches) {
        const RecordBytes records = MakeRecords(batch.type, batch.index, 3, seed++);
        Push(batch.type, records);
        sent[protocol::Info(batch.type).typeName] = records;
    }
    const RecordBytes csc2 = MakeRecords(RecordType::CSC, 1, 2, seed++);
    Push(RecordType::CSC, csc2);

    for (const auto& [typeName, records] : sent) {
        EXPECT_TRUE(opener.WaitForBytes(typeName, records.size())) << typeName;
    }
    EXPECT_TRUE(other.WaitForBytes("CscAcqEnt", csc2.size()));
    std::this_thread::sleep_for(200ms);
    for (const auto& [typeName, records] : sent) {
        EXPECT_EQ(opener.BytesOf(typeName), records) << typeName;
    }
    EXPECT_EQ(opener.NamesOf("CscAcqEnt"), std::set<std::wstring>{L"CSC1"});
    EXPECT_EQ(other.BytesOf("CscAcqEnt"), csc2);
    EXPECT_EQ(other.TotalBytes(), csc2.size());
}

TEST_F(RouterRelayTest, SharedObjectIsClosedUpstreamOnlyAfterTheLastClientClosesIt) {
    ConnectRouter();
    Downstream first;
    Downstream second;
    ASSERT_TRUE(first.Connect());
    ASSERT_TRUE(second.Connect());
    ASSERT_TRUE(first.Client().OpenStream(L"CSC1"));
    ASSERT_TRUE(second.Client().OpenStream(L"CSC1"));

    const RecordBytes before = MakeRecords(RecordType::CSC, 0, 2, 7);
    Push(RecordType::CSC, before);
    ASSERT_TRUE(first.WaitForBytes("CscAcqEnt", before.size()));
    ASSERT_TRUE(second.WaitForBytes("CscAcqEnt", before.size()));

    EXPECT_TRUE(second.Client().CloseStream(L"CSC1"));
    EXPECT_EQ(UpstreamCommands("-CloseStream CSC1 CscAcqEnt"), 0u);

    const RecordBytes after = MakeRecords(RecordType::CSC, 0, 2, 8);
    Push(RecordType::CSC, after);
    RecordBytes both = before;
    both.insert(both.end(), after.begin(), after.end());
    ASSERT_TRUE(first.WaitForBytes("CscAcqEnt", both.size()));
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(first.BytesOf("CscAcqEnt"), both);
    EXPECT_EQ(second.BytesOf("CscAcqEnt"), before);

    EXPECT_TRUE(first.Client().CloseStream(L"CSC1"));
    EXPECT_EQ(UpstreamCommands("-CloseStream CSC1 CscAcqEnt"), 1u);
}

TEST_F(RouterRelayTest, ReconnectReopensDownstreamObjectsIgnoringLetterCase) {
    mFake.reset();
    StartFakeServer({{"csc1", "CscAcqEnt"}});
    ConnectRouter();
    Downstream client;
    ASSERT_TRUE(client.Connect());
    ASSERT_TRUE(client.Client().OpenStream(L"csc1"));
    const RecordBytes first = MakeRecords(RecordType::CSC, 0, 1, 11);
    Push(RecordType::CSC, first);
    ASSERT_TRUE(client.WaitForBytes("CscAcqEnt", first.size()));

    ASSERT_EQ(Command("disconnect"), "ok");
    EXPECT_EQ(Command("connected"), "ok 0");
    EXPECT_TRUE(client.Client().AreWeConnected());

    // The server now spells the object differently; the router re-opens it
    // under the server's spelling and still delivers it to the client.
    mFake->SetObjects({{"CSC1", "CscAcqEnt"}});
    ASSERT_EQ(Command("connect 127.0.0.1"), "ok 1");
    EXPECT_EQ(UpstreamCommands("-OpenStream CSC1 CscAcqEnt"), 1u);

    const RecordBytes second = MakeRecords(RecordType::CSC, 0, 2, 12);
    Push(RecordType::CSC, second);
    RecordBytes all = first;
    all.insert(all.end(), second.begin(), second.end());
    ASSERT_TRUE(client.WaitForBytes("CscAcqEnt", all.size()));
    EXPECT_EQ(client.BytesOf("CscAcqEnt"), all);
    EXPECT_EQ(client.NamesOf("CscAcqEnt"), std::set<std::wstring>{L"csc1"});
}

TEST_F(RouterRelayTest, FailedConnectIsReportedAndLinkWatchNoticesALostServer) {
    mFake.reset();
    EXPECT_EQ(Command("connect 127.0.0.1"), "ok 0");
    EXPECT_EQ(Command("notes"), "ok Error Connecting to Zorlent");
    EXPECT_EQ(Command("connected"), "ok 0");

    StartFakeServer(kObjects);
    ASSERT_EQ(Command("connect 127.0.0.1"), "ok 1");
    EXPECT_EQ(Command("tick"), "ok 0");
    EXPECT_EQ(Command("connected"), "ok 1");
    EXPECT_EQ(UpstreamCommands("-SetApplicationName \"Router\""), 1u);

    mFake->CloseClient();
    EXPECT_EQ(Command("tick"), "ok 1");
    EXPECT_EQ(Command("connected"), "ok 0");
    EXPECT_EQ(Command("tick"), "ok 0");
    EXPECT_EQ(Command("connect 127.0.0.1"), "ok 1");
}

}  // namespace
}  // namespace plenvar_test
