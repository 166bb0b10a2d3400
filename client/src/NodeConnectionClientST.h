#pragma once

#include "TypedNodeConnectionClient.h"

#include "Plenvar/PlenvarRecords.h"

namespace Plenvar {

class NodeConnectionClientST : public TypedNodeConnectionClient<STRec> {
public:
    explicit NodeConnectionClientST(ClientLogFile* logFile);
    // Stops the stream first, so its thread never sees a half-destroyed object.
    ~NodeConnectionClientST() override;
};

}  // namespace Plenvar
