#include "NodeConnectionClientEV.h"

#include "protocol/RecordTypes.h"

namespace Plenvar {

namespace {
const protocol::RecordTypeInfo& kInfo = protocol::kRecordTypes[static_cast<int>(protocol::RecordType::EV)];
}

NodeConnectionClientEV::NodeConnectionClientEV(ClientLogFile* logFile)
    : NodeConnectionClient(logFile, kInfo.recordSize, kInfo.streamName) {}

NodeConnectionClientEV::~NodeConnectionClientEV() { CloseServerStream(); }

void NodeConnectionClientEV::UpdateObjectNames(const std::vector<std::wstring>& names,
                                               const std::vector<std::wstring>& types) {
    KeepObjectNames(names, types, [](const std::wstring& type) { return type == kInfo.wideTypeName; });
}

void NodeConnectionClientEV::SetCallbackFunction(EVCallbackPtr callback, void* context) {
    std::lock_guard<std::mutex> lock(mLock);
    mCallback = callback;
    mCallbackContext = context;
}

// Events carry no index: they all belong to the first event object.
bool NodeConnectionClientEV::ExecuteCallback(const unsigned char*, Delivery& delivery) {
    std::lock_guard<std::mutex> lock(mLock);
    if (mCallback == nullptr || mCallbackContext == nullptr) {
        return false;
    }
    if (mChannelObjectNames.empty()) {
        delivery.objectName.clear();
    } else {
        delivery.objectName.assign(mChannelObjectNames.front());
    }
    BindCallback(delivery, mCallback, mCallbackContext);
    return true;
}

}  // namespace Plenvar
