#pragma once

#include "NodeConnectionClient.h"

#include "Plenvar/PlenvarRecords.h"

namespace Plenvar {

class NodeConnectionClientVT : public NodeConnectionClient {
public:
    explicit NodeConnectionClientVT(ClientLogFile* logFile);
    // Stops the stream first, so its thread never sees a half-destroyed object.
    ~NodeConnectionClientVT() override;

    void UpdateObjectNames(const std::vector<std::wstring>& names,
                           const std::vector<std::wstring>& types) override;
    // Callback and context are swapped as one pair; a null callback or
    // context switches delivery off.
    virtual void SetCallbackFunction(VTCallbackPtr callback, void* context);

protected:
    bool ExecuteCallback(const unsigned char* record, Delivery& delivery) override;

private:
    void* mCallbackContext = nullptr;
    VTCallbackPtr mCallback = nullptr;
};

}  // namespace Plenvar
