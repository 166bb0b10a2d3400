#include "NodeConnectionClientVT.h"

namespace Plenvar {

namespace {
bool KeepsVT(const std::wstring& type) { return type == L"VTAcqEnt"; }
}  // namespace

NodeConnectionClientVT::NodeConnectionClientVT(ClientLogFile* logFile)
    : TypedNodeConnectionClient(logFile, protocol::RecordType::VT,
                                L"NodeConnectionClientVT::ExecuteCallback() - Error, we have encountered an invalid video tracker ID from our Plenvar buffer.  id: ",
                                &KeepsVT) {}

NodeConnectionClientVT::~NodeConnectionClientVT() { CloseServerStream(); }

}  // namespace Plenvar
