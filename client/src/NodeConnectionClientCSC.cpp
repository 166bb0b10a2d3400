#include "NodeConnectionClientCSC.h"

#include "protocol/RecordTypes.h"

namespace Plenvar {

namespace {
const protocol::RecordTypeInfo& kInfo = protocol::kRecordTypes[static_cast<int>(protocol::RecordType::CSC)];
const wchar_t kBadIndex[] =
    L"NodeConnectionClientCSC::ExecuteCallback() - Error, we have encountered an invalid channel number from our plenvar buffer.  chanNumber: ";
}  // namespace

NodeConnectionClientCSC::NodeConnectionClientCSC(ClientLogFile* logFile)
    : NodeConnectionClient(logFile, kInfo.recordSize, kInfo.streamName) {}

NodeConnectionClientCSC::~NodeConnectionClientCSC() { CloseServerStream(); }

void NodeConnectionClientCSC::UpdateObjectNames(const std::vector<std::wstring>& names,
                                              const std::vector<std::wstring>& types) {
    KeepObjectNames(names, types, [](const std::wstring& type) { return type == kInfo.wideTypeName; });
}

void NodeConnectionClientCSC::SetCallbackFunction(CSCCallbackPtr callback, void* context) {
    std::lock_guard<std::mutex> lock(mLock);
    mCallback = callback;
    mCallbackContext = context;
}

bool NodeConnectionClientCSC::ExecuteCallback(const unsigned char* record, Delivery& delivery) {
    std::lock_guard<std::mutex> lock(mLock);
    if (mCallback == nullptr || mCallbackContext == nullptr) {
        return false;
    }
    if (!SelectObjectName(protocol::ReadIndex(kInfo, record), kBadIndex, delivery)) {
        return false;
    }
    BindCallback(delivery, mCallback, mCallbackContext);
    return true;
}

}  // namespace Plenvar
