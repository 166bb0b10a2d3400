#pragma once
// What the six record-type streams share: the application's callback for
// their record structure, swapped together with its context as one pair, and
// the naming of each record from its index field.

#include "NodeConnectionClient.h"

#include "protocol/RecordTypes.h"

namespace Plenvar {

template <class Rec>
class TypedNodeConnectionClient : public NodeConnectionClient {
public:
    using Callback = void (*)(void* context, Rec* records, int numRecords, const wchar_t* objectName);
    using KeepType = bool (*)(const std::wstring& type);

    void UpdateObjectNames(const std::vector<std::wstring>& names,
                           const std::vector<std::wstring>& types) override {
        KeepObjectNames(names, types, mKeepType);
    }

    // Callback and context are swapped as one pair; a null callback or
    // context switches delivery off.
    virtual void SetCallbackFunction(Callback callback, void* context) {
        std::lock_guard<std::mutex> lock(mLock);
        mCallback = callback;
        mCallbackContext = context;
    }

protected:
    // badIndexMessage: the ERROR text a bad index is appended to (null for a
    // type without index); keepType: the object types its index counts in.
    TypedNodeConnectionClient(ClientLogFile* logFile, protocol::RecordType type, const wchar_t* badIndexMessage,
                              KeepType keepType)
        : NodeConnectionClient(logFile, protocol::Info(type).recordSize, protocol::Info(type).streamName),
          mInfo(protocol::Info(type)),
          mBadIndexMessage(badIndexMessage),
          mKeepType(keepType) {}

    bool ExecuteCallback(const unsigned char* record, Delivery& delivery) override {
        std::lock_guard<std::mutex> lock(mLock);
        if (mCallback == nullptr || mCallbackContext == nullptr) {
            return false;
        }
        if (!NameRecord(record, delivery)) {
            return false;
        }
        BindCallback(delivery, mCallback, mCallbackContext);
        return true;
    }

    // Under mLock: the name of the object the record belongs to, from its
    // index field; false (after the bad-index line) when it selects none.
    virtual bool NameRecord(const unsigned char* record, Delivery& delivery) {
        return SelectObjectName(protocol::ReadIndex(mInfo, record), mBadIndexMessage, delivery);
    }

private:
    const protocol::RecordTypeInfo& mInfo;
    const wchar_t* const mBadIndexMessage;
    const KeepType mKeepType;
    void* mCallbackContext = nullptr;
    Callback mCallback = nullptr;
};

}  // namespace Plenvar
