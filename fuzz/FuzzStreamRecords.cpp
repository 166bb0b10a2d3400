// Record dispatch of a client stream connection. The input chooses the
// stream's record type and an object list, the rest is the byte stream the
// serving side writes to the stream's data connection (one end of a local
// socket pair) before closing it.
// Every whole record must reach the callback byte for byte, in order, under
// the name its index selects (events: the first event object), and records
// with an index past the list must be dropped; a trailing partial record is
// never delivered.

#include "FuzzSupport.h"
#include "NodeConnectionClientCSC.h"
#include "NodeConnectionClientEV.h"
#include "NodeConnectionClientSE.h"
#include "NodeConnectionClientST.h"
#include "NodeConnectionClientTT.h"
#include "NodeConnectionClientVT.h"
#include "protocol/RecordTypes.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Expected {
    std::vector<const uint8_t*> records;
    std::vector<std::wstring> names;
    size_t recordSize = 0;
    std::atomic<size_t> delivered{0};
    std::atomic<bool> wrong{false};
};

template <class Rec>
void OnRecords(void* context, Rec* records, int count, const wchar_t* name) {
    auto& expected = *static_cast<Expected*>(context);
    size_t at = expected.delivered.load();
    if (count != 1 || at >= expected.records.size() ||
        std::memcmp(records, expected.records[at], expected.recordSize) != 0 || name == nullptr ||
        expected.names[at] != name) {
        expected.wrong = true;
    }
    expected.delivered = at + 1;
}

template <class Stream, class Rec>
void Run(const protocol::RecordTypeInfo& info, const std::vector<std::wstring>& names,
         const std::vector<std::wstring>& types, const uint8_t* bytes, size_t size) {
    Expected expected;
    expected.recordSize = static_cast<size_t>(info.recordSize);
    std::vector<std::wstring> kept;
    for (size_t i = 0; i < names.size(); ++i) {
        bool keep = info.type == protocol::RecordType::SE || info.type == protocol::RecordType::ST ||
                            info.type == protocol::RecordType::TT
                        ? protocol::IsSpikeType(types[i])
                        : types[i] == info.wideTypeName;
        if (keep) {
            kept.push_back(names[i]);
        }
    }
    for (size_t offset = 0; offset + expected.recordSize <= size; offset += expected.recordSize) {
        const uint8_t* record = bytes + offset;
        if (info.indexOffset < 0) {
            expected.records.push_back(record);
            expected.names.push_back(kept.empty() ? std::wstring() : kept.front());
            continue;
        }
        uint32_t index = protocol::ReadIndex(info, record);
        if (index < kept.size()) {
            expected.records.push_back(record);
            expected.names.push_back(kept[index]);
        }
    }

    fuzzsupport::FedConnection server(bytes, size, 10000, "stream closing its data connection");
    Stream stream(nullptr);
    stream.UpdateObjectNames(names, types);
    stream.SetCallbackFunction(&OnRecords<Rec>, &expected);
    if (!stream.StartOnConnection(server.Take())) {
        std::abort();
    }

    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (expected.delivered.load() < expected.records.size()) {
        if (std::chrono::steady_clock::now() > end) {
            fuzzsupport::Hang("record delivery");
        }
        std::this_thread::yield();
    }
    stream.CloseServerStream();
    if (expected.wrong || expected.delivered.load() != expected.records.size()) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    const auto& info = protocol::kRecordTypes[data[0] % protocol::kRecordTypeCount];
    // data[1]: how many objects; each then takes one byte for its type.
    size_t objectCount = data[1] % 8;
    if (size < 2 + objectCount) {
        return 0;
    }
    std::vector<std::wstring> names;
    std::vector<std::wstring> types;
    for (size_t i = 0; i < objectCount; ++i) {
        names.push_back(L"Obj" + std::to_wstring(i));
        types.push_back(protocol::kRecordTypes[data[2 + i] % protocol::kRecordTypeCount].wideTypeName);
    }
    const uint8_t* bytes = data + 2 + objectCount;
    size_t length = size - 2 - objectCount;
    using protocol::RecordType;
    switch (info.type) {
    case RecordType::SE: Run<Plenvar::NodeConnectionClientSE, Plenvar::SERec>(info, names, types, bytes, length); break;
    case RecordType::ST: Run<Plenvar::NodeConnectionClientST, Plenvar::STRec>(info, names, types, bytes, length); break;
    case RecordType::TT: Run<Plenvar::NodeConnectionClientTT, Plenvar::TTRec>(info, names, types, bytes, length); break;
    case RecordType::CSC: Run<Plenvar::NodeConnectionClientCSC, Plenvar::CRRec>(info, names, types, bytes, length); break;
    case RecordType::EV: Run<Plenvar::NodeConnectionClientEV, Plenvar::EventRec>(info, names, types, bytes, length); break;
    case RecordType::VT: Run<Plenvar::NodeConnectionClientVT, Plenvar::VideoRec>(info, names, types, bytes, length); break;
    }
    return 0;
}
