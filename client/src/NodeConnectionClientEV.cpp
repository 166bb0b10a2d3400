#include "NodeConnectionClientEV.h"

namespace Plenvar {

namespace {
bool KeepsEV(const std::wstring& type) { return type == L"EventAcqEnt"; }
}  // namespace

NodeConnectionClientEV::NodeConnectionClientEV(ClientLogFile* logFile)
    : TypedNodeConnectionClient(logFile, protocol::RecordType::EV,
                                nullptr,
                                &KeepsEV) {}

NodeConnectionClientEV::~NodeConnectionClientEV() { CloseServerStream(); }

// Events carry no index: they all belong to the first event object.
bool NodeConnectionClientEV::NameRecord(const unsigned char*, Delivery& delivery) {
    if (mChannelObjectNames.empty()) {
        delivery.objectName.clear();
    } else {
        delivery.objectName.assign(mChannelObjectNames.front());
    }
    return true;
}

}  // namespace Plenvar
