#pragma once

#include "TypedNodeConnectionClient.h"

#include "Plenvar/PlenvarRecords.h"

namespace Plenvar {

class NodeConnectionClientSE : public TypedNodeConnectionClient<SERec> {
public:
    explicit NodeConnectionClientSE(ClientLogFile* logFile);
    // Stops the stream first, so its thread never sees a half-destroyed object.
    ~NodeConnectionClientSE() override;
};

}  // namespace Plenvar
