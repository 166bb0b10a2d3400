#pragma once
// The six record structures as the application's callbacks receive them:
// fixed-size little-endian byte images, no padding. Timestamps are in
// microseconds. Only the index fields are read by the library; every other
// byte is the acquisition server's and arrives unchanged.

#include <cstddef>
#include <cstdint>

namespace Plenvar {

#pragma pack(push, 1)

// Single-electrode spike.
struct SERec {
    uint64_t timestamp;
    uint32_t spikeChannel;  // index field
    uint32_t cellNumber;
    int32_t features[8];
    int16_t samples[32];
};

// Stereotrode spike.
struct STRec {
    uint64_t timestamp;
    uint32_t spikeChannel;  // index field
    uint32_t cellNumber;
    int32_t features[8];
    int16_t samples[32][2];
};

// Tetrode spike.
struct TTRec {
    uint64_t timestamp;
    uint32_t spikeChannel;  // index field
    uint32_t cellNumber;
    int32_t features[8];
    int16_t samples[32][4];
};

// One block of a continuously sampled channel.
struct CRRec {
    uint64_t timestamp;
    uint32_t channel;  // index field
    uint32_t sampleFrequency;
    uint32_t validSamples;
    int16_t samples[512];
};

// Event (no index field: events belong to the first event object).
struct EventRec {
    uint16_t start;
    uint16_t packetId;
    uint16_t dataSize;
    uint64_t timestamp;
    int16_t eventId;
    uint16_t ttl;
    int16_t crc;
    int16_t reserved[2];
    int32_t extra[8];
    char text[128];
};

// Video-tracker sample.
struct VideoRec {
    uint16_t start;
    uint16_t trackerId;  // index field
    uint16_t dataSize;
    uint64_t timestamp;
    uint32_t points[400];
    int16_t crc;
    int32_t x;
    int32_t y;
    int32_t angle;
    int32_t targets[50];
};

#pragma pack(pop)

static_assert(sizeof(SERec) == 112 && offsetof(SERec, spikeChannel) == 8);
static_assert(sizeof(STRec) == 176 && offsetof(STRec, spikeChannel) == 8);
static_assert(sizeof(TTRec) == 304 && offsetof(TTRec, spikeChannel) == 8);
static_assert(sizeof(CRRec) == 1044 && offsetof(CRRec, channel) == 8);
static_assert(sizeof(EventRec) == 184);
static_assert(sizeof(VideoRec) == 1828 && offsetof(VideoRec, trackerId) == 2);

// Record callbacks: called on the library's receiving thread of the record
// type, one record per call; records and name are valid during the call only.
typedef void (*SECallbackPtr)(void* context, SERec* records, int numRecords, const wchar_t* objectName);
typedef void (*STCallbackPtr)(void* context, STRec* records, int numRecords, const wchar_t* objectName);
typedef void (*TTCallbackPtr)(void* context, TTRec* records, int numRecords, const wchar_t* objectName);
typedef void (*CSCCallbackPtr)(void* context, CRRec* records, int numRecords, const wchar_t* objectName);
typedef void (*EVCallbackPtr)(void* context, EventRec* records, int numRecords, const wchar_t* objectName);
typedef void (*VTCallbackPtr)(void* context, VideoRec* records, int numRecords, const wchar_t* objectName);

}  // namespace Plenvar
