#pragma once

#include "TypedNodeConnectionClient.h"

#include "Plenvar/PlenvarRecords.h"

namespace Plenvar {

class NodeConnectionClientEV : public TypedNodeConnectionClient<EventRec> {
public:
    explicit NodeConnectionClientEV(ClientLogFile* logFile);
    // Stops the stream first, so its thread never sees a half-destroyed object.
    ~NodeConnectionClientEV() override;

protected:
    bool NameRecord(const unsigned char* record, Delivery& delivery) override;
};

}  // namespace Plenvar
