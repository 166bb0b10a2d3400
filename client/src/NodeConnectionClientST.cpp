#include "NodeConnectionClientST.h"

namespace Plenvar {

namespace {
// The three spike types share one numbering.
bool KeepsSpikes(const std::wstring& type) { return protocol::IsSpikeType(type); }
}  // namespace

NodeConnectionClientST::NodeConnectionClientST(ClientLogFile* logFile)
    : TypedNodeConnectionClient(logFile, protocol::RecordType::ST,
                                L"NodeConnectionClientST::ExecuteCallback() - Error, we have encountered an invalid spike channel number from our Plenvar buffer.  scNumber: ",
                                &KeepsSpikes) {}

NodeConnectionClientST::~NodeConnectionClientST() { CloseServerStream(); }

}  // namespace Plenvar
