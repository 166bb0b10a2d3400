#include "NodeConnectionClientTT.h"

namespace Plenvar {

namespace {
// The three spike types share one numbering.
bool KeepsSpikes(const std::wstring& type) { return protocol::IsSpikeType(type); }
}  // namespace

NodeConnectionClientTT::NodeConnectionClientTT(ClientLogFile* logFile)
    : TypedNodeConnectionClient(logFile, protocol::RecordType::TT,
                                L"NodeConnectionClientTT::ExecuteCallback() - Error, we have encountered an invalid spike channel number from our Plenvar buffer.  scNumber: ",
                                &KeepsSpikes) {}

NodeConnectionClientTT::~NodeConnectionClientTT() { CloseServerStream(); }

}  // namespace Plenvar
