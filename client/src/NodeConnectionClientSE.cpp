#include "NodeConnectionClientSE.h"

namespace Plenvar {

namespace {
// The three spike types share one numbering.
bool KeepsSpikes(const std::wstring& type) { return protocol::IsSpikeType(type); }
}  // namespace

NodeConnectionClientSE::NodeConnectionClientSE(ClientLogFile* logFile)
    : TypedNodeConnectionClient(logFile, protocol::RecordType::SE,
                                L"NodeConnectionClientSE::ExecuteCallback() - Error, we have encountered an invalid spike channel number from our Plenvar buffer.  scNumber: ",
                                &KeepsSpikes) {}

NodeConnectionClientSE::~NodeConnectionClientSE() { CloseServerStream(); }

}  // namespace Plenvar
