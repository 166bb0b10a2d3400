#pragma once

#include "NodeConnectionClient.h"

#include "Plenvar/PlenvarRecords.h"

namespace Plenvar {

class NodeConnectionClientSE : public NodeConnectionClient {
public:
    explicit NodeConnectionClientSE(ClientLogFile* logFile);
    // Stops the stream first, so its thread never sees a half-destroyed object.
    ~NodeConnectionClientSE() override;

    void UpdateObjectNames(const std::vector<std::wstring>& names,
                           const std::vector<std::wstring>& types) override;
    // Callback and context are swapped as one pair; a null callback or
    // context switches delivery off.
    virtual void SetCallbackFunction(SECallbackPtr callback, void* context);

protected:
    bool ExecuteCallback(const unsigned char* record, Delivery& delivery) override;

private:
    void* mCallbackContext = nullptr;
    SECallbackPtr mCallback = nullptr;
};

}  // namespace Plenvar
