#include "NodeConnectionClientSE.h"

#include "protocol/RecordTypes.h"

namespace Plenvar {

namespace {
const protocol::RecordTypeInfo& kInfo = protocol::kRecordTypes[static_cast<int>(protocol::RecordType::SE)];
const wchar_t kBadIndex[] =
    L"NodeConnectionClientSE::ExecuteCallback() - Error, we have encountered an invalid spike channel number from our Plenvar buffer.  scNumber: ";
}  // namespace

NodeConnectionClientSE::NodeConnectionClientSE(ClientLogFile* logFile)
    : NodeConnectionClient(logFile, kInfo.recordSize, kInfo.streamName) {}

NodeConnectionClientSE::~NodeConnectionClientSE() { CloseServerStream(); }

void NodeConnectionClientSE::UpdateObjectNames(const std::vector<std::wstring>& names,
                                              const std::vector<std::wstring>& types) {
    KeepObjectNames(names, types, [](const std::wstring& type) { return protocol::IsSpikeType(type); });
}

void NodeConnectionClientSE::SetCallbackFunction(SECallbackPtr callback, void* context) {
    std::lock_guard<std::mutex> lock(mLock);
    mCallback = callback;
    mCallbackContext = context;
}

bool NodeConnectionClientSE::ExecuteCallback(const unsigned char* record, Delivery& delivery) {
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
