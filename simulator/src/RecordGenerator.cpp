#include "RecordGenerator.h"

#include "Plenvar/PlenvarRecords.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace sim {

static_assert(std::endian::native == std::endian::little,
              "records are written as little-endian structure images");

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kSineBits = 12;

const std::array<float, 1 << kSineBits>& SineTable() {
    static const auto table = [] {
        std::array<float, 1 << kSineBits> values{};
        for (size_t i = 0; i < values.size(); ++i) {
            values[i] = static_cast<float>(std::sin(2.0 * kPi * static_cast<double>(i) / values.size()));
        }
        return values;
    }();
    return table;
}

// Phase step per sample of a sine of `hertz`, as a fraction of 2^32.
uint32_t PhaseStep(double hertz) {
    return static_cast<uint32_t>(hertz * 4294967296.0 / RecordGenerator::kSampleFrequency);
}

float Sine(uint32_t phase) { return SineTable()[phase >> (32 - kSineBits)]; }

// A spike: a sharp peak at sample 8 followed by a slower, shallower trough.
double SpikeShape(int sample) {
    double peak = (sample - 8) / 1.6;
    double trough = (sample - 14) / 4.0;
    return std::exp(-peak * peak) - 0.35 * std::exp(-trough * trough);
}

int16_t Clamp16(double value) {
    return static_cast<int16_t>(std::clamp(value, -32768.0, 32767.0));
}

template <typename Record>
void AppendImage(const Record& record, std::vector<unsigned char>& out) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&record);
    out.insert(out.end(), bytes, bytes + sizeof record);
}

struct SpikeShapeParams {
    uint64_t timestamp;
    uint32_t index;
    uint32_t cell;
    std::array<double, 4> gains;       // per channel
    std::array<int16_t, 32 * 4> noise;  // per sample and channel
};

template <int Channels, typename Record>
void AppendSpikeImage(Record& record, const SpikeShapeParams& spike, std::vector<unsigned char>& out) {
    record.timestamp = spike.timestamp;
    record.spikeChannel = spike.index;
    record.cellNumber = spike.cell;
    for (int channel = 0; channel < Channels; ++channel) {
        double amplitude = 600.0 + 250.0 * spike.cell * spike.gains[channel];
        int16_t peak = 0;
        int16_t valley = 0;
        for (int sample = 0; sample < 32; ++sample) {
            int16_t value = Clamp16(amplitude * SpikeShape(sample) + spike.noise[sample * 4 + channel]);
            if constexpr (Channels == 1) {
                record.samples[sample] = value;
            } else {
                record.samples[sample][channel] = value;
            }
            peak = std::max(peak, value);
            valley = std::min(valley, value);
        }
        record.features[channel] = peak;
        record.features[4 + channel] = valley;
    }
    AppendImage(record, out);
}

}  // namespace

RecordGenerator::RecordGenerator(const ObjectCatalog& catalog, uint64_t startUs, uint32_t seed)
    : mCatalog(catalog), mStartUs(startUs), mStates(catalog.Size()), mRandom(seed) {
    for (size_t i = 0; i < mStates.size(); ++i) {
        mStates[i].next = NextTimestamp(mCatalog.Objects()[i], mStates[i]);
    }
}

void RecordGenerator::Produce(uint64_t simNowUs, std::vector<std::vector<unsigned char>>& batches) {
    batches.resize(mStates.size());
    for (size_t i = 0; i < mStates.size(); ++i) {
        batches[i].clear();
        while (mStates[i].next < simNowUs) {
            Append(i, batches[i]);
            ++mStates[i].count;
            mStates[i].next = NextTimestamp(mCatalog.Objects()[i], mStates[i]);
        }
    }
}

uint64_t RecordGenerator::NextTimestamp(const CatalogObject& object, const ObjectState& state) {
    switch (object.type->type) {
        case protocol::RecordType::CSC:
            // Derived from the count, never accumulated, so the step stays exact.
            return mStartUs + state.count * kCscStepUs;
        case protocol::RecordType::EV:
            return mStartUs + (state.count + 1) * 1000000;
        case protocol::RecordType::VT:
            return mStartUs + state.count * 1000000 / kVideoPerSecond;
        default: {
            std::exponential_distribution<double> gap(kSpikesPerSecond);
            uint64_t base = state.count == 0 ? mStartUs : state.next;
            return base + 1 + static_cast<uint64_t>(gap(mRandom) * 1e6);
        }
    }
}

void RecordGenerator::Append(size_t object, std::vector<unsigned char>& out) {
    const CatalogObject& entry = mCatalog.Objects()[object];
    ObjectState& state = mStates[object];
    switch (entry.type->type) {
        case protocol::RecordType::CSC:
            return AppendCsc(entry, state, out);
        case protocol::RecordType::EV:
            return AppendEvent(state, out);
        case protocol::RecordType::VT:
            return AppendVideo(entry, state, out);
        default:
            return AppendSpike(entry, state, out);
    }
}

int16_t RecordGenerator::Noise(int amplitude) {
    std::uniform_int_distribution<int> noise(-amplitude, amplitude);
    return static_cast<int16_t>(noise(mRandom));
}

void RecordGenerator::AppendSpike(const CatalogObject& object, ObjectState& state,
                                  std::vector<unsigned char>& out) {
    SpikeShapeParams spike{};
    spike.timestamp = state.next;
    spike.index = object.index;
    spike.cell = std::uniform_int_distribution<uint32_t>(0, 3)(mRandom);
    // Each cell looks different on each channel, as on a real tetrode.
    for (uint32_t channel = 0; channel < 4; ++channel) {
        spike.gains[channel] = 0.5 + ((spike.cell * 3 + channel * 5 + object.index) % 7) / 6.0;
    }
    for (int16_t& value : spike.noise) {
        value = Noise(40);
    }
    switch (object.type->type) {
        case protocol::RecordType::SE: {
            Plenvar::SERec record{};
            return AppendSpikeImage<1>(record, spike, out);
        }
        case protocol::RecordType::ST: {
            Plenvar::STRec record{};
            return AppendSpikeImage<2>(record, spike, out);
        }
        default: {
            Plenvar::TTRec record{};
            return AppendSpikeImage<4>(record, spike, out);
        }
    }
}

void RecordGenerator::AppendCsc(const CatalogObject& object, ObjectState& state,
                                std::vector<unsigned char>& out) {
    Plenvar::CRRec record{};
    record.timestamp = state.next;
    record.channel = object.index;
    record.sampleFrequency = kSampleFrequency;
    record.validSamples = kSamplesPerRecord;
    // A slow rhythm and a faster one, different on every channel.
    uint32_t slowStep = PhaseStep(6.0 + 0.5 * object.index);
    uint32_t fastStep = PhaseStep(40.0 + 3.0 * object.index);
    uint32_t first = static_cast<uint32_t>(state.count * kSamplesPerRecord);
    for (uint32_t i = 0; i < kSamplesPerRecord; ++i) {
        uint32_t n = first + i;
        double value = 1500.0 * Sine(n * slowStep) + 400.0 * Sine(n * fastStep) + Noise(150);
        record.samples[i] = Clamp16(value);
    }
    AppendImage(record, out);
}

void RecordGenerator::AppendEvent(ObjectState& state, std::vector<unsigned char>& out) {
    Plenvar::EventRec record{};
    record.start = 0x0800;
    record.packetId = 0x1002;
    record.dataSize = 2;
    record.timestamp = state.next;
    record.eventId = 11;
    record.ttl = static_cast<uint16_t>(state.count & 0xFFFF);
    std::snprintf(record.text, sizeof record.text, "zorlent-sim event %llu",
                  static_cast<unsigned long long>(state.count + 1));
    AppendImage(record, out);
}

void RecordGenerator::AppendVideo(const CatalogObject& object, ObjectState& state,
                                  std::vector<unsigned char>& out) {
    Plenvar::VideoRec record{};
    record.start = 0x0800;
    record.trackerId = static_cast<uint16_t>(object.index);
    record.dataSize = 2;
    record.timestamp = state.next;
    // The animal walks a circle of the arena once every 20 s.
    double turn = 2.0 * kPi * static_cast<double>(state.count) / (20.0 * kVideoPerSecond);
    record.x = static_cast<int32_t>(360.0 + 150.0 * std::cos(turn)) + Noise(2);
    record.y = static_cast<int32_t>(240.0 + 150.0 * std::sin(turn)) + Noise(2);
    record.angle = static_cast<int32_t>(std::fmod(turn * 180.0 / kPi + 90.0, 360.0));
    record.points[0] = static_cast<uint32_t>(record.x) | (static_cast<uint32_t>(record.y) << 16);
    record.targets[0] = static_cast<int32_t>(record.points[0]);
    AppendImage(record, out);
}

}  // namespace sim
