#include "NodeConnectionClientCSC.h"
#include "NodeConnectionClientEV.h"
#include "NodeConnectionClientSE.h"
#include "NodeConnectionClientST.h"
#include "NodeConnectionClientTT.h"
#include "NodeConnectionClientVT.h"

#include "platform/Resolve.h"
#include "platform/Socket.h"
#include "protocol/RecordTypes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using namespace Plenvar;
using protocol::RecordType;

namespace {

using Bytes = std::vector<unsigned char>;

// What the application's callbacks received, in order.
struct Collector {
    struct Record {
        Bytes bytes;
        std::wstring name;
        int count;
    };
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Record> records;

    template <class Rec>
    static void Callback(void* context, Rec* records, int count, const wchar_t* name) {
        auto* self = static_cast<Collector*>(context);
        const auto* bytes = reinterpret_cast<const unsigned char*>(records);
        std::lock_guard<std::mutex> lock(self->mutex);
        self->records.push_back({Bytes(bytes, bytes + sizeof(Rec) * static_cast<size_t>(count)), name, count});
        self->changed.notify_all();
    }

    bool WaitForCount(size_t count, std::chrono::milliseconds timeout = 5s) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, timeout, [&] { return records.size() >= count; });
    }
    std::vector<Record> Snapshot() {
        std::lock_guard<std::mutex> lock(mutex);
        return records;
    }
};

template <class Stream, class Rec>
std::unique_ptr<NodeConnectionClient> Make(ClientLogFile* log, Collector* collector) {
    auto stream = std::make_unique<Stream>(log);
    stream->SetCallbackFunction(&Collector::Callback<Rec>, collector);
    return stream;
}

std::unique_ptr<NodeConnectionClient> MakeStream(RecordType type, ClientLogFile* log, Collector* collector) {
    switch (type) {
    case RecordType::SE: return Make<NodeConnectionClientSE, SERec>(log, collector);
    case RecordType::ST: return Make<NodeConnectionClientST, STRec>(log, collector);
    case RecordType::TT: return Make<NodeConnectionClientTT, TTRec>(log, collector);
    case RecordType::CSC: return Make<NodeConnectionClientCSC, CRRec>(log, collector);
    case RecordType::EV: return Make<NodeConnectionClientEV, EventRec>(log, collector);
    case RecordType::VT: return Make<NodeConnectionClientVT, VideoRec>(log, collector);
    }
    return nullptr;
}

// A record of the type with a recognisable byte pattern and the index field set.
Bytes MakeRecord(RecordType type, uint32_t index, unsigned char seed = 1) {
    const protocol::RecordTypeInfo& info = protocol::Info(type);
    Bytes record(static_cast<size_t>(info.recordSize));
    for (size_t i = 0; i < record.size(); ++i) {
        record[i] = static_cast<unsigned char>(seed + i * 7);
    }
    for (int b = 0; b < info.indexWidth; ++b) {
        record[static_cast<size_t>(info.indexOffset + b)] = static_cast<unsigned char>(index >> (8 * b));
    }
    return record;
}

// A port nothing listens on right now.
int FreePort() {
    platform::Socket probe = platform::Socket::CreateTcp();
    sockaddr_in address{};
    if (!probe.Bind(0x7f000001, 0) || !probe.LocalAddress(address)) {
        return 0;
    }
    return ntohs(address.sin_port);
}

// The serving side of a data connection.
platform::Socket ConnectAsServer(int port) {
    platform::Socket socket = platform::Socket::CreateTcp();
    if (!socket.Connect(platform::MakeAddress(0x7f000001, static_cast<uint16_t>(port)), 2000)) {
        return platform::Socket();
    }
    socket.SetNoDelay(true);
    return socket;
}

bool SendAll(platform::Socket& socket, const Bytes& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        long n = socket.Send(bytes.data() + sent, bytes.size() - sent);
        if (n <= 0) {
            return false;
        }
        sent += static_cast<size_t>(n);
    }
    return true;
}

class NodeConnectionClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        mLogPath = ::testing::TempDir() + "stream_" + test->name() + ".log";
        ASSERT_EQ(mLog->OpenLog(std::wstring(mLogPath.begin(), mLogPath.end())), 0);
    }
    void TearDown() override { std::remove(mLogPath.c_str()); }

    std::string LogText() const {
        std::ifstream in(mLogPath, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    bool LogHas(const std::string& part) const { return LogText().find(part) != std::string::npos; }
    bool WaitForLog(const std::string& part, std::chrono::milliseconds timeout = 5s) const {
        for (auto end = std::chrono::steady_clock::now() + timeout; std::chrono::steady_clock::now() < end;) {
            if (LogHas(part)) {
                return true;
            }
            std::this_thread::sleep_for(5ms);
        }
        return LogHas(part);
    }
    // Starts the stream on a free port and connects to it as the serving side.
    platform::Socket StartAndConnect(NodeConnectionClient& stream) {
        const int port = FreePort();
        EXPECT_TRUE(stream.InitServerStream(port));
        EXPECT_EQ(stream.PortNumber(), port);
        platform::Socket server = ConnectAsServer(port);
        EXPECT_TRUE(server.IsValid());
        return server;
    }

    std::string mLogPath;
    std::unique_ptr<ClientLogFile> mLog = std::make_unique<ClientLogFile>();
    Collector mCollector;
};

// ---- which object a record belongs to ----

enum class ObjectList { Full, None };

struct NamingCase {
    const char* label;
    ObjectList list;
    RecordType type;
    uint32_t index;
    const wchar_t* expectedName;  // null: dropped
    const char* errorLine;        // for a dropped record
};

const NamingCase kNamingCases[] = {
    {"SE index 1 names the tetrode (shared spike numbering)", ObjectList::Full, RecordType::SE, 1, L"TT1", nullptr},
    {"TT index 0 names the single electrode", ObjectList::Full, RecordType::TT, 0, L"Sc1", nullptr},
    {"ST index 1 names the tetrode", ObjectList::Full, RecordType::ST, 1, L"TT1", nullptr},
    {"ST index past the spike objects is dropped", ObjectList::Full, RecordType::ST, 2, nullptr,
     "NodeConnectionClientST::ExecuteCallback() - Error, we have encountered an invalid spike channel number from "
     "our Plenvar buffer.  scNumber: 2\r\n"},
    {"CSC index 0", ObjectList::Full, RecordType::CSC, 0, L"CSC1", nullptr},
    {"CSC index 1 is out of range", ObjectList::Full, RecordType::CSC, 1, nullptr,
     "NodeConnectionClientCSC::ExecuteCallback() - Error, we have encountered an invalid channel number from our "
     "plenvar buffer.  chanNumber: 1\r\n"},
    {"VT bytes 01 00 select the second tracker", ObjectList::Full, RecordType::VT, 0x0001, L"Vt1", nullptr},
    {"VT bytes 00 01 select the 257th tracker", ObjectList::Full, RecordType::VT, 0x0100, L"Vt256", nullptr},
    {"VT 65535 is dropped", ObjectList::Full, RecordType::VT, 65535, nullptr,
     "NodeConnectionClientVT::ExecuteCallback() - Error, we have encountered an invalid video tracker ID from our "
     "Plenvar buffer.  id: 65535\r\n"},
    {"events go to the first event object", ObjectList::Full, RecordType::EV, 0, L"Ev1", nullptr},
    {"events before any object list have no name", ObjectList::None, RecordType::EV, 0, L"", nullptr},
    {"CSC before any object list is dropped", ObjectList::None, RecordType::CSC, 0, nullptr,
     "NodeConnectionClientCSC::ExecuteCallback() - Error, we have encountered an invalid channel number from our "
     "plenvar buffer.  chanNumber: 0\r\n"},
    {"SE before any object list is dropped", ObjectList::None, RecordType::SE, 0, nullptr,
     "NodeConnectionClientSE::ExecuteCallback() - Error, we have encountered an invalid spike channel number from "
     "our Plenvar buffer.  scNumber: 0\r\n"},
};

void FullObjectList(std::vector<std::wstring>& names, std::vector<std::wstring>& types) {
    names = {L"Sc1", L"CSC1", L"Ev1", L"TT1", L"Ev2", L"Other"};
    types = {L"SEScAcqEnt", L"CscAcqEnt", L"EventAcqEnt", L"TTScAcqEnt", L"EventAcqEnt", L"cscacqent"};
    for (int i = 0; i < 300; ++i) {
        names.push_back(L"Vt" + std::to_wstring(i));
        types.push_back(L"VTAcqEnt");
    }
}

TEST_F(NodeConnectionClientTest, RecordsAreNamedFromTheObjectList) {
    std::vector<std::wstring> names, types;
    FullObjectList(names, types);
    for (const NamingCase& c : kNamingCases) {
        SCOPED_TRACE(c.label);
        Collector collector;
        auto stream = MakeStream(c.type, mLog.get(), &collector);
        if (c.list == ObjectList::Full) {
            stream->UpdateObjectNames(names, types);
        }
        platform::Socket server = StartAndConnect(*stream);
        const Bytes record = MakeRecord(c.type, c.index);
        ASSERT_TRUE(SendAll(server, record));
        if (c.expectedName != nullptr) {
            ASSERT_TRUE(collector.WaitForCount(1));
            auto got = collector.Snapshot();
            EXPECT_EQ(got[0].name, c.expectedName);
            EXPECT_EQ(got[0].count, 1);
            EXPECT_EQ(got[0].bytes, record);
        } else {
            EXPECT_TRUE(WaitForLog(c.errorLine)) << LogText();
        }
        stream->CloseServerStream();
        if (c.expectedName == nullptr) {
            EXPECT_TRUE(collector.Snapshot().empty());
        }
    }
}

TEST_F(NodeConnectionClientTest, AnUpdatedObjectListAppliesToTheNextRecord) {
    auto stream = MakeStream(RecordType::CSC, mLog.get(), &mCollector);
    stream->UpdateObjectNames({L"A"}, {L"CscAcqEnt"});
    platform::Socket server = StartAndConnect(*stream);
    ASSERT_TRUE(SendAll(server, MakeRecord(RecordType::CSC, 0)));
    ASSERT_TRUE(mCollector.WaitForCount(1));
    stream->UpdateObjectNames({L"B", L"A"}, {L"CscAcqEnt", L"CscAcqEnt"});
    ASSERT_TRUE(SendAll(server, MakeRecord(RecordType::CSC, 0)));
    ASSERT_TRUE(mCollector.WaitForCount(2));
    EXPECT_EQ(mCollector.Snapshot()[1].name, L"B");
}

// ---- exact-record receive ----

TEST_F(NodeConnectionClientTest, RecordsSplitOrJoinedInSegmentsArriveWholeAndOnce) {
    auto stream = MakeStream(RecordType::CSC, mLog.get(), &mCollector);
    stream->UpdateObjectNames({L"C0", L"C1", L"C2"}, {L"CscAcqEnt", L"CscAcqEnt", L"CscAcqEnt"});
    platform::Socket server = StartAndConnect(*stream);

    const Bytes first = MakeRecord(RecordType::CSC, 0, 11);
    size_t at = 0;
    for (size_t piece : {1, 7, 500, 536}) {
        ASSERT_TRUE(SendAll(server, Bytes(first.begin() + at, first.begin() + at + piece)));
        at += piece;
        std::this_thread::sleep_for(20ms);
        if (at < first.size()) {
            EXPECT_TRUE(mCollector.Snapshot().empty()) << "dispatched after " << at << " bytes";
        }
    }
    const Bytes second = MakeRecord(RecordType::CSC, 1, 22);
    const Bytes third = MakeRecord(RecordType::CSC, 2, 33);
    Bytes both = second;
    both.insert(both.end(), third.begin(), third.end());
    ASSERT_TRUE(SendAll(server, both));

    ASSERT_TRUE(mCollector.WaitForCount(3));
    std::this_thread::sleep_for(50ms);
    auto got = mCollector.Snapshot();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].bytes, first);
    EXPECT_EQ(got[1].bytes, second);
    EXPECT_EQ(got[2].bytes, third);
    EXPECT_EQ(got[2].name, L"C2");
}

TEST_F(NodeConnectionClientTest, APeerClosingMidRecordEndsTheStreamWithoutAPartialRecord) {
    auto stream = MakeStream(RecordType::TT, mLog.get(), &mCollector);
    stream->UpdateObjectNames({L"TT1"}, {L"TTScAcqEnt"});
    platform::Socket server = StartAndConnect(*stream);
    Bytes data = MakeRecord(RecordType::TT, 0);
    const Bytes next = MakeRecord(RecordType::TT, 0, 9);
    data.insert(data.end(), next.begin(), next.begin() + 100);
    ASSERT_TRUE(SendAll(server, data));
    ASSERT_TRUE(mCollector.WaitForCount(1));
    server.Close();

    EXPECT_TRUE(WaitForLog("-* NOTICE *- ")) << LogText();
    EXPECT_TRUE(WaitForLog(" - NodeConnectionClient::RecieveData() - Attempt to recieve data has failed, socket has "
                           "been closed gracefully.  mStreamType: Tetrode\r\n"))
        << LogText();
    EXPECT_EQ(mCollector.Snapshot().size(), 1u);
    stream->CloseServerStream();
}

TEST_F(NodeConnectionClientTest, AStreamStartedOnAnOpenConnectionReceivesFromIt) {
    auto stream = MakeStream(RecordType::CSC, mLog.get(), &mCollector);
    stream->UpdateObjectNames({L"CSC1"}, {L"CscAcqEnt"});
    platform::Socket mine;
    platform::Socket server;
    ASSERT_TRUE(platform::Socket::CreatePair(mine, server));
    ASSERT_TRUE(stream->StartOnConnection(std::move(mine)));
    const Bytes record = MakeRecord(RecordType::CSC, 0);
    ASSERT_TRUE(SendAll(server, record));
    ASSERT_TRUE(mCollector.WaitForCount(1));
    server.Close();
    EXPECT_TRUE(WaitForLog("socket has been closed gracefully.  mStreamType: CSC")) << LogText();
    EXPECT_TRUE(stream->StreamEnded());
    const auto got = mCollector.Snapshot();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].bytes, record);
    EXPECT_EQ(got[0].name, L"CSC1");
    stream->CloseServerStream();
}

// ---- the callback pair ----

TEST_F(NodeConnectionClientTest, ACallbackWithANullContextIsNeverCalled) {
    NodeConnectionClientSE stream(mLog.get());
    stream.SetCallbackFunction(&Collector::Callback<SERec>, nullptr);
    stream.UpdateObjectNames({L"Sc1"}, {L"SEScAcqEnt"});
    platform::Socket server = StartAndConnect(stream);
    ASSERT_TRUE(SendAll(server, MakeRecord(RecordType::SE, 0)));
    server.Close();
    // The thread handles records in order, so once it has seen the close it
    // has dealt with the record before it.
    ASSERT_TRUE(WaitForLog("socket has been closed gracefully.  mStreamType: SingleElectrode"));
    stream.CloseServerStream();
    EXPECT_TRUE(mCollector.Snapshot().empty());
}

// Each callback checks that it got its own context: a callback swapped in
// with the context of the one before it shows up as a mismatch.
struct PairCheck {
    std::atomic<int> calls{0};
    std::atomic<int> mismatches{0};
};
PairCheck gPairCheck;
char gContextA, gContextB;
void CallbackA(void* context, CRRec*, int, const wchar_t*) {
    ++gPairCheck.calls;
    if (context != &gContextA) {
        ++gPairCheck.mismatches;
    }
}
void CallbackB(void* context, CRRec*, int, const wchar_t*) {
    ++gPairCheck.calls;
    if (context != &gContextB) {
        ++gPairCheck.mismatches;
    }
}

TEST_F(NodeConnectionClientTest, CallbackAndContextAreSwappedAsOnePair) {
    NodeConnectionClientCSC stream(mLog.get());
    stream.UpdateObjectNames({L"C"}, {L"CscAcqEnt"});
    stream.SetCallbackFunction(&CallbackA, &gContextA);
    platform::Socket server = StartAndConnect(stream);
    std::atomic<bool> stop{false};
    std::thread sender([&] {
        const Bytes record = MakeRecord(RecordType::CSC, 0);
        while (!stop && SendAll(server, record)) {
        }
    });
    const auto end = std::chrono::steady_clock::now() + 5s;
    for (int i = 0; gPairCheck.calls < 2000 && std::chrono::steady_clock::now() < end; ++i) {
        if (i % 2 == 0) {
            stream.SetCallbackFunction(&CallbackB, &gContextB);
        } else {
            stream.SetCallbackFunction(&CallbackA, &gContextA);
        }
    }
    stop = true;
    stream.CloseServerStream();
    sender.join();
    EXPECT_GT(gPairCheck.calls.load(), 0);
    EXPECT_EQ(gPairCheck.mismatches.load(), 0);
}

// ---- open counts ----

TEST_F(NodeConnectionClientTest, OpenCountsDecideWhenAnObjectIsRemoved) {
    NodeConnectionClientCSC stream(mLog.get());
    EXPECT_TRUE(stream.AddStreamObject(L"CSC1"));
    EXPECT_TRUE(stream.AddStreamObject(L"CSC1"));
    EXPECT_EQ(stream.StreamObjectCount(L"CSC1"), 2);
    EXPECT_FALSE(stream.RemoveStreamObject(L"CSC1"));
    EXPECT_EQ(stream.StreamObjectCount(L"CSC1"), 1);
    EXPECT_TRUE(stream.RemoveStreamObject(L"CSC1"));
    EXPECT_EQ(stream.StreamObjectCount(L"CSC1"), 0);
    EXPECT_TRUE(stream.StreamObjects().empty());
    EXPECT_FALSE(stream.RemoveStreamObject(L"CSC1"));

    const std::string log = LogText();
    for (const char* line : {
             "NodeConnectionClient::AddStreamObject() - Notice, Attempting to add object to our stream list, "
             "objectName: CSC1, mStreamType CSC.\r\n",
             "NodeConnectionClient::AddStreamObject() - Notice, Attempt to add stream object to our list was "
             "successful.  objectName: CSC1, mStreamType CSC.\r\n",
             "NodeConnectionClient::AddStreamObject() - Notice, Stream Object is already in our list, count has been "
             "incremented.  count: 2, mStreamType CSC.\r\n",
             "NodeConnectionClient::RemoveStreamObject() - Notice, Attempting to remove object from our stream list, "
             "objectName: CSC1, mStreamType CSC.\r\n",
             "NodeConnectionClient::RemoveStreamObject() - Notice, Stream Object count has been decremented.  count: "
             "1, mStreamType CSC.\r\n",
             "NodeConnectionClient::RemoveStreamObject() - Notice, Stream Object count has been decremented.  count: "
             "0, mStreamType CSC.\r\n",
             "NodeConnectionClient::RemoveStreamObject() - Notice, Stream Object count was zero, therefore object has "
             "been removed.  objectName: CSC1, mStreamType CSC.\r\n",
             "-* ERROR *- ",
             "NodeConnectionClient::RemoveStreamObject() - Error, Attempt to remove object from our list failed, the "
             "object was not found.  objectName: CSC1, mStreamType CSC.\r\n",
         }) {
        EXPECT_NE(log.find(line), std::string::npos) << line;
    }
}

TEST_F(NodeConnectionClientTest, OpenCountsAreKeptPerName) {
    NodeConnectionClientSE stream(mLog.get());
    stream.AddStreamObject(L"A");
    stream.AddStreamObject(L"B");
    stream.AddStreamObject(L"a");
    EXPECT_TRUE(stream.RemoveStreamObject(L"A"));
    EXPECT_EQ(stream.StreamObjects(), (std::vector<std::wstring>{L"B", L"a"}));
    EXPECT_FALSE(stream.RemoveStreamObject(L"Never"));
    EXPECT_EQ(stream.StreamObjects().size(), 2u);
}

// ---- stopping ----

TEST_F(NodeConnectionClientTest, ClosingAStreamThatWasNeverConnectedFreesItsPort) {
    NodeConnectionClientVT stream(mLog.get());
    const int port = FreePort();
    ASSERT_TRUE(stream.InitServerStream(port));
    const auto start = std::chrono::steady_clock::now();
    stream.CloseServerStream();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_FALSE(ConnectAsServer(port).IsValid());
    EXPECT_TRUE(LogHas("NodeConnectionClient::CloseServerStream() - mDmaProcessor thread has been terminated "
                       "successfully.\r\n"));
    EXPECT_TRUE(LogHas("NodeConnectionClient::CloseServerStream() - WaitForSingleObject for mDmaProcessor thread "
                       "completed successfully.\r\n"));
    EXPECT_FALSE(LogHas("-* ERROR *- ")) << LogText();

    // A later start serves again, with the same callback and lists.
    ASSERT_TRUE(stream.InitServerStream(port));
    EXPECT_TRUE(ConnectAsServer(port).IsValid());
    stream.CloseServerStream();
}

TEST_F(NodeConnectionClientTest, ClosingEndsTheConnectionSeenByTheServingSide) {
    auto stream = MakeStream(RecordType::EV, mLog.get(), &mCollector);
    platform::Socket server = StartAndConnect(*stream);
    ASSERT_TRUE(SendAll(server, MakeRecord(RecordType::EV, 0)));
    ASSERT_TRUE(mCollector.WaitForCount(1));
    stream->CloseServerStream();
    ASSERT_TRUE(server.SetRecvTimeout(2000));
    char byte;
    EXPECT_EQ(server.Recv(&byte, 1), 0);
    EXPECT_FALSE(LogHas("closed gracefully")) << "the stream's own close is not the peer's";
}

TEST_F(NodeConnectionClientTest, ABlockedCallbackDoesNotHoldUpCloseNorOutliveWhatItUses) {
    struct Gate {
        std::mutex mutex;
        std::condition_variable changed;
        bool entered = false;
        bool released = false;
        bool left = false;
    };
    auto gate = std::make_shared<Gate>();
    // The gate outlives the stream: the test keeps its own reference.
    auto blocking = [](void* context, CRRec*, int, const wchar_t*) {
        auto* g = static_cast<Gate*>(context);
        std::unique_lock<std::mutex> lock(g->mutex);
        g->entered = true;
        g->changed.notify_all();
        g->changed.wait(lock, [g] { return g->released; });
        g->left = true;
        g->changed.notify_all();
    };
    auto stream = std::make_unique<NodeConnectionClientCSC>(mLog.get());
    stream->UpdateObjectNames({L"C"}, {L"CscAcqEnt"});
    stream->SetCallbackFunction(blocking, gate.get());
    platform::Socket server = StartAndConnect(*stream);
    // One record to block in, more behind it and a partial one.
    Bytes data;
    for (int i = 0; i < 3; ++i) {
        const Bytes record = MakeRecord(RecordType::CSC, 0, static_cast<unsigned char>(i));
        data.insert(data.end(), record.begin(), record.end());
    }
    data.resize(data.size() + 10);
    ASSERT_TRUE(SendAll(server, data));
    {
        std::unique_lock<std::mutex> lock(gate->mutex);
        ASSERT_TRUE(gate->changed.wait_for(lock, 5s, [&] { return gate->entered; }));
    }

    const auto start = std::chrono::steady_clock::now();
    stream->CloseServerStream();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_TRUE(LogHas("WaitForSingleObject for mDmaProcessor thread completed successfully."));

    // Everything the thread could reach through the stream goes away first.
    stream.reset();
    mLog.reset();
    {
        std::lock_guard<std::mutex> lock(gate->mutex);
        gate->released = true;
        gate->changed.notify_all();
    }
    std::unique_lock<std::mutex> lock(gate->mutex);
    ASSERT_TRUE(gate->changed.wait_for(lock, 5s, [&] { return gate->left; }));
    lock.unlock();
    // Let the released thread run to its end before the test (and the gate) ends.
    std::this_thread::sleep_for(200ms);
}

// ---- socket errors ----

TEST_F(NodeConnectionClientTest, APortInUseIsLoggedWithItsBindText) {
    platform::Socket holder = platform::Socket::CreateTcp();
    ASSERT_TRUE(holder.Bind(0, 0));
    ASSERT_TRUE(holder.Listen(1));
    sockaddr_in address{};
    ASSERT_TRUE(holder.LocalAddress(address));

    NodeConnectionClientST stream(mLog.get());
    EXPECT_FALSE(stream.InitServerStream(ntohs(address.sin_port)));
    EXPECT_TRUE(LogHas("-* ERROR *- "));
    EXPECT_TRUE(LogHas(
        " - NodeConnectionClient::BindSocket() - Error Binding Socket, error code: WSAEADDRINUSE - A process on the "
        "computer is already bound to the same fully-qualified address and the socket has not been marked to allow "
        "address reuse with SO_REUSEADDR.  mStreamType: Stereotrode\r\n"))
        << LogText();
    stream.CloseServerStream();
}

}  // namespace
