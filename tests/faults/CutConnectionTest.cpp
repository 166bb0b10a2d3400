// A peer that closes at every byte offset of a frame or of a record: the
// side that is left must notice, end every blocking step within its
// deadline, release what it held and deliver only whole records.

#include "FakeAcquisitionServer.h"
#include "FaultSupport.h"
#include "NodeConnectionClientSE.h"

#include <functional>

namespace faults {
namespace {

using plenvar_test::FakeAcquisitionServer;
using plenvar_test::Reply;

class CutConnectionTest : public FakeUpstreamCase {
public:
    FakeAcquisitionServer& Fake() { return mFake; }

protected:
    ObjectList Objects() const override { return {{"SE1", "SEScAcqEnt"}, {"CSC1", "CscAcqEnt"}}; }

    // The front still answers a whole command.
    void ExpectFrontAnswers() {
        RawClient probe;
        ASSERT_TRUE(probe.Connect(kFrontPort));
        const std::string reply = Within(3000ms, "a command on the front", [&] { return probe.Command("-GetZorlentTypes"); });
        EXPECT_EQ(reply.rfind("0", 0), 0u) << reply;
    }
};

// Bytes of one SE record with the given index field (0) and a recognisable fill.
Bytes SeRecord(unsigned char fill) {
    const auto& info = protocol::Info(protocol::RecordType::SE);
    Bytes record(static_cast<size_t>(info.recordSize));
    for (size_t i = 0; i < record.size(); ++i) {
        record[i] = static_cast<unsigned char>(fill + i);
    }
    std::fill_n(record.begin() + info.indexOffset, info.indexWidth, 0);
    return record;
}

struct CutCase {
    const char* name;
    Bytes unit;  // the frame or record that is cut short
    std::function<void(CutConnectionTest&, const Bytes& unit, size_t offset)> cutAt;
};

void CutCommandToFront(CutConnectionTest&, const Bytes& unit, size_t offset) {
    RawClient client;
    ASSERT_TRUE(client.Connect(kFrontPort));
    ASSERT_TRUE(offset == 0 || client.SendBytes(unit.data(), offset));
    client.HalfClose();
    EXPECT_TRUE(client.WaitClosed(3000)) << "the front held a cut connection, offset " << offset;
}

void CutCommandToOwnPort(CutConnectionTest&, const Bytes& unit, size_t offset) {
    const int port = AskForPort();
    ASSERT_GT(port, kFrontPort);
    RawClient client;
    ASSERT_TRUE(client.Connect(port));
    ASSERT_TRUE(offset == 0 || client.SendBytes(unit.data(), offset));
    client.HalfClose();
    EXPECT_TRUE(client.WaitClosed(3000)) << "a client's server held a cut connection, offset " << offset;
}

// The upstream server dies part-way through the reply to a command the
// router forwards: the downstream client still gets an answer in time and
// the router links up again.
void CutReplyFromUpstream(CutConnectionTest& test, const Bytes& unit, size_t offset) {
    test.Fake().SetReply("-GetSamplingFrequency", Reply::CloseAfter(Bytes(unit.begin(), unit.begin() + offset)));
    const int port = AskForPort();
    ASSERT_GT(port, kFrontPort);
    RawClient client;
    ASSERT_TRUE(client.Connect(port));
    const std::string reply =
        Within(12000ms, "a forwarded command", [&] { return client.Command("-GetSamplingFrequency CSC1", 12000); });
    EXPECT_NE(reply, "<no reply>");
    EXPECT_NE(reply.rfind("0", 0), 0u) << "a cut reply was taken as success: " << reply;
    client.Close();
    test.Fake().ClearReply("-GetSamplingFrequency");
    ASSERT_TRUE(test.Router().WaitForLine("down", 5s)) << "offset " << offset;
    ASSERT_TRUE(test.Router().WaitForLine("up", 5s)) << "offset " << offset;
}

// A data connection that ends inside a record after one whole record.
void CutRecordToStream(CutConnectionTest&, const Bytes& unit, size_t offset) {
    struct Got {
        std::mutex lock;
        Bytes bytes;
        int calls = 0;
    } got;
    auto onRecord = [](void* context, Plenvar::SERec* records, int count, const wchar_t*) {
        auto* into = static_cast<Got*>(context);
        std::lock_guard lock(into->lock);
        const auto* bytes = reinterpret_cast<const unsigned char*>(records);
        into->bytes.insert(into->bytes.end(), bytes, bytes + sizeof(Plenvar::SERec) * static_cast<size_t>(count));
        ++into->calls;
    };
    Plenvar::NodeConnectionClientSE stream(nullptr);
    stream.UpdateObjectNames({L"SE1"}, {L"SEScAcqEnt"});
    stream.SetCallbackFunction(onRecord, &got);
    const int port = 26500;
    ASSERT_TRUE(stream.InitServerStream(port));
    platform::Socket peer = platform::Socket::CreateTcp();
    ASSERT_TRUE(peer.Connect(Loopback(port), 2000));
    Bytes sent = unit;
    sent.insert(sent.end(), unit.begin(), unit.begin() + static_cast<long>(offset));
    ASSERT_EQ(peer.Send(sent.data(), sent.size()), static_cast<long>(sent.size()));
    peer.Close();
    ASSERT_TRUE(WaitUntil([&] { std::lock_guard lock(got.lock); return got.calls >= 1; }, 3000ms));
    Within(1000ms, "closing the stream", [&] { stream.CloseServerStream(); return 0; });
    std::lock_guard lock(got.lock);
    EXPECT_EQ(got.calls, 1) << "offset " << offset;
    EXPECT_EQ(got.bytes, unit) << "offset " << offset;
}

const std::vector<CutCase>& Cases() {
    static const std::vector<CutCase> cases{
        {"command frame to the front port", RawClient::Frame("-GetZorlentObjects"), CutCommandToFront},
        {"command frame to a client's own port", RawClient::Frame("-SetApplicationName Cut"), CutCommandToOwnPort},
        {"reply frame from upstream to the router", RawClient::Frame("0 32000"), CutReplyFromUpstream},
        {"record on a client's data stream", SeRecord(7), CutRecordToStream},
    };
    return cases;
}

TEST_F(CutConnectionTest, EveryOffsetOfAFrameOrRecord) {
    for (const CutCase& cut : Cases()) {
        SCOPED_TRACE(cut.name);
        for (size_t offset = 0; offset < cut.unit.size(); ++offset) {
            cut.cutAt(*this, cut.unit, offset);
            if (HasFatalFailure()) {
                return;
            }
        }
        ExpectFrontAnswers();
        ExpectBaseline();
    }

    // And the whole path still relays records unchanged.
    Downstream client;
    ASSERT_TRUE(client.Connect());
    ASSERT_TRUE(client.Client().OpenStream(L"SE1"));
    Bytes records;
    for (unsigned char fill = 0; fill < 5; ++fill) {
        Bytes one = SeRecord(fill);
        records.insert(records.end(), one.begin(), one.end());
    }
    ASSERT_TRUE(mFake.WaitForDataStream("SEScAcqEnt", 3000ms));
    ASSERT_TRUE(mFake.PushData("SEScAcqEnt", records, {5, 300, 1}));
    EXPECT_TRUE(client.WaitForCount(L"SE1", 5, 5000ms));
    EXPECT_EQ(client.BytesOf(L"SE1"), records);
    EXPECT_EQ(client.BadBatches(), 0);
}

}  // namespace
}  // namespace faults
