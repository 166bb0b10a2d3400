#pragma once

#include "TypedNodeConnectionClient.h"

#include "Plenvar/PlenvarRecords.h"

namespace Plenvar {

class NodeConnectionClientTT : public TypedNodeConnectionClient<TTRec> {
public:
    explicit NodeConnectionClientTT(ClientLogFile* logFile);
    // Stops the stream first, so its thread never sees a half-destroyed object.
    ~NodeConnectionClientTT() override;
};

}  // namespace Plenvar
