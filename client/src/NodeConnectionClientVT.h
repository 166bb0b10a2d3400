#pragma once

#include "TypedNodeConnectionClient.h"

#include "Plenvar/PlenvarRecords.h"

namespace Plenvar {

class NodeConnectionClientVT : public TypedNodeConnectionClient<VideoRec> {
public:
    explicit NodeConnectionClientVT(ClientLogFile* logFile);
    // Stops the stream first, so its thread never sees a half-destroyed object.
    ~NodeConnectionClientVT() override;
};

}  // namespace Plenvar
