#pragma once
// The six record types: object type names (object lists and stream
// commands), stream names (client log lines), record sizes and index fields.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace protocol {

enum class RecordType { SE = 0, ST, TT, CSC, EV, VT };
constexpr int kRecordTypeCount = 6;

struct RecordTypeInfo {
    RecordType type;
    const char* typeName;       // "SEScAcqEnt", ...
    const wchar_t* wideTypeName;
    const wchar_t* streamName;  // "SingleElectrode", ...
    int recordSize;             // bytes
    int indexOffset;            // -1: no index field
    int indexWidth;             // 4, 2, or 0
};

// In the order SE, ST, TT, CSC, EV, VT (RecordType's values).
extern const RecordTypeInfo kRecordTypes[kRecordTypeCount];

const RecordTypeInfo& Info(RecordType type);
// Exact, case-sensitive lookup; null for any other text.
const RecordTypeInfo* FindByTypeName(std::string_view typeName);
const RecordTypeInfo* FindByTypeName(std::wstring_view typeName);

// The index field of one whole record of the given type (0 for events).
uint32_t ReadIndex(const RecordTypeInfo& info, const unsigned char* record);

// True for the three spike types, which share one index numbering.
bool IsSpikeType(std::wstring_view typeName);

}  // namespace protocol
