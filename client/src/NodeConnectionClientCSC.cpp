#include "NodeConnectionClientCSC.h"

namespace Plenvar {

namespace {
bool KeepsCSC(const std::wstring& type) { return type == L"CscAcqEnt"; }
}  // namespace

NodeConnectionClientCSC::NodeConnectionClientCSC(ClientLogFile* logFile)
    : TypedNodeConnectionClient(logFile, protocol::RecordType::CSC,
                                L"NodeConnectionClientCSC::ExecuteCallback() - Error, we have encountered an invalid channel number from our plenvar buffer.  chanNumber: ",
                                &KeepsCSC) {}

NodeConnectionClientCSC::~NodeConnectionClientCSC() { CloseServerStream(); }

}  // namespace Plenvar
