#include "RelayCallbacks.h"

#include "RouterCore.h"
#include "platform/Latin1.h"
#include "protocol/RecordTypes.h"

#include <string>
#include <string_view>

namespace router {

namespace {

template <protocol::RecordType Type>
void Relay(void* context, const void* records, int numRecords, const wchar_t* objectName) {
    auto* core = static_cast<RouterCore*>(context);
    if (core == nullptr || records == nullptr || numRecords <= 0 || objectName == nullptr) {
        return;
    }
    // A name with no one-byte form cannot be in any downstream object list.
    std::string name;
    if (!platform::WideToLatin1(std::wstring_view(objectName), name)) {
        return;
    }
    static const protocol::RecordTypeInfo& info = protocol::Info(Type);
    static const std::string typeName = info.typeName;
    core->Distribute(records, numRecords * info.recordSize, name, typeName);
}

}  // namespace

void RelaySE(void* context, Plenvar::SERec* records, int numRecords, const wchar_t* objectName) {
    Relay<protocol::RecordType::SE>(context, records, numRecords, objectName);
}

void RelayST(void* context, Plenvar::STRec* records, int numRecords, const wchar_t* objectName) {
    Relay<protocol::RecordType::ST>(context, records, numRecords, objectName);
}

void RelayTT(void* context, Plenvar::TTRec* records, int numRecords, const wchar_t* objectName) {
    Relay<protocol::RecordType::TT>(context, records, numRecords, objectName);
}

void RelayCSC(void* context, Plenvar::CRRec* records, int numRecords, const wchar_t* objectName) {
    Relay<protocol::RecordType::CSC>(context, records, numRecords, objectName);
}

void RelayEV(void* context, Plenvar::EventRec* records, int numRecords, const wchar_t* objectName) {
    Relay<protocol::RecordType::EV>(context, records, numRecords, objectName);
}

void RelayVT(void* context, Plenvar::VideoRec* records, int numRecords, const wchar_t* objectName) {
    Relay<protocol::RecordType::VT>(context, records, numRecords, objectName);
}

}  // namespace router
