#include "NodeConnectionClientVT.h"

#include "protocol/RecordTypes.h"

namespace Plenvar {

namespace {
const protocol::RecordTypeInfo& kInfo = protocol::kRecordTypes[static_cast<int>(protocol::RecordType::VT)];
const wchar_t kBadIndex[] =
    L"NodeConnectionClientVT::ExecuteCallback() - Error, we have encountered an invalid video tracker ID from our Plenvar buffer.  id: ";
}  // namespace

NodeConnectionClientVT::NodeConnectionClientVT(ClientLogFile* logFile)
    : NodeConnectionClient(logFile, kInfo.recordSize, kInfo.streamName) {}

NodeConnectionClientVT::~NodeConnectionClientVT() { CloseServerStream(); }

void NodeConnectionClientVT::UpdateObjectNames(const std::vector<std::wstring>& names,
                                              const std::vector<std::wstring>& types) {
    KeepObjectNames(names, types, [](const std::wstring& type) { return type == kInfo.wideTypeName; });
}

void NodeConnectionClientVT::SetCallbackFunction(VTCallbackPtr callback, void* context) {
    std::lock_guard<std::mutex> lock(mLock);
    mCallback = callback;
    mCallbackContext = context;
}

bool NodeConnectionClientVT::ExecuteCallback(const unsigned char* record, Delivery& delivery) {
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
