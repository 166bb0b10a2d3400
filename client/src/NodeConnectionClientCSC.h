#pragma once

#include "TypedNodeConnectionClient.h"

#include "Plenvar/PlenvarRecords.h"

namespace Plenvar {

class NodeConnectionClientCSC : public TypedNodeConnectionClient<CRRec> {
public:
    explicit NodeConnectionClientCSC(ClientLogFile* logFile);
    // Stops the stream first, so its thread never sees a half-destroyed object.
    ~NodeConnectionClientCSC() override;
};

}  // namespace Plenvar
