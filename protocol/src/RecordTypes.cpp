#include "protocol/RecordTypes.h"

#include "protocol/Framing.h"

namespace protocol {

const RecordTypeInfo kRecordTypes[kRecordTypeCount] = {
    {RecordType::SE, "SEScAcqEnt", L"SEScAcqEnt", L"SingleElectrode", 112, 8, 4},
    {RecordType::ST, "STScAcqEnt", L"STScAcqEnt", L"Stereotrode", 176, 8, 4},
    {RecordType::TT, "TTScAcqEnt", L"TTScAcqEnt", L"Tetrode", 304, 8, 4},
    {RecordType::CSC, "CscAcqEnt", L"CscAcqEnt", L"CSC", 1044, 8, 4},
    {RecordType::EV, "EventAcqEnt", L"EventAcqEnt", L"Event", 184, -1, 0},
    {RecordType::VT, "VTAcqEnt", L"VTAcqEnt", L"Video", 1828, 2, 2},
};

const RecordTypeInfo& Info(RecordType type) { return kRecordTypes[static_cast<int>(type)]; }

const RecordTypeInfo* FindByTypeName(std::string_view typeName) {
    for (const RecordTypeInfo& info : kRecordTypes) {
        if (typeName == info.typeName) {
            return &info;
        }
    }
    return nullptr;
}

const RecordTypeInfo* FindByTypeName(std::wstring_view typeName) {
    for (const RecordTypeInfo& info : kRecordTypes) {
        if (typeName == info.wideTypeName) {
            return &info;
        }
    }
    return nullptr;
}

uint32_t ReadIndex(const RecordTypeInfo& info, const unsigned char* record) {
    if (info.indexWidth == 4) {
        return ReadLE32(record + info.indexOffset);
    }
    if (info.indexWidth == 2) {
        return ReadLE16(record + info.indexOffset);
    }
    return 0;
}

bool IsSpikeType(std::wstring_view typeName) {
    return typeName == L"SEScAcqEnt" || typeName == L"STScAcqEnt" || typeName == L"TTScAcqEnt";
}

}  // namespace protocol
