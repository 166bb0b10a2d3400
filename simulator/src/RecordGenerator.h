#pragma once
// Synthetic records on a simulated clock: continuous channels at 32 kHz in
// 512-sample records (sine waves plus noise), Poisson spikes of 20/s per
// object with plausible waveforms, one event per second, video at 30/s.
// Timestamps are microseconds of simulated time; records of one continuous
// channel are exactly 16000 us apart.

#include "simulator/ObjectCatalog.h"

#include <cstdint>
#include <random>
#include <vector>

namespace sim {

class RecordGenerator {
public:
    static constexpr uint32_t kSampleFrequency = 32000;
    static constexpr uint32_t kSamplesPerRecord = 512;
    static constexpr uint64_t kCscStepUs = 16000;
    static constexpr double kSpikesPerSecond = 20.0;
    static constexpr uint64_t kVideoPerSecond = 30;

    // startUs: the simulated time of the first records.
    RecordGenerator(const ObjectCatalog& catalog, uint64_t startUs, uint32_t seed);

    // Produces, for every object, each record due before simNowUs.
    // batches[i] receives object i's records back to back (it is cleared
    // first); one entry per catalog object.
    void Produce(uint64_t simNowUs, std::vector<std::vector<unsigned char>>& batches);

private:
    struct ObjectState {
        uint64_t next = 0;   // timestamp of the next record
        uint64_t count = 0;  // records produced so far
    };

    void Append(size_t object, std::vector<unsigned char>& out);
    void AppendSpike(const CatalogObject& object, ObjectState& state, std::vector<unsigned char>& out);
    void AppendCsc(const CatalogObject& object, ObjectState& state, std::vector<unsigned char>& out);
    void AppendEvent(ObjectState& state, std::vector<unsigned char>& out);
    void AppendVideo(const CatalogObject& object, ObjectState& state, std::vector<unsigned char>& out);
    uint64_t NextTimestamp(const CatalogObject& object, const ObjectState& state);
    int16_t Noise(int amplitude);

    const ObjectCatalog& mCatalog;
    uint64_t mStartUs;
    std::vector<ObjectState> mStates;
    std::mt19937 mRandom;
};

}  // namespace sim
