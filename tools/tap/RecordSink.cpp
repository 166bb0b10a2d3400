#include "RecordSink.h"

#include "TapText.h"

#include <algorithm>
#include <cinttypes>
#include <cstdlib>
#include <cstring>

namespace tap {

namespace {

// The records are packed, so their arrays are copied out before use.
int Peak(const int16_t* samples, size_t count) {
    int peak = 0;
    for (size_t i = 0; i < count; ++i) {
        peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
    }
    return peak;
}

std::string Format(const char* format, auto... values) {
    char line[256];
    std::snprintf(line, sizeof line, format, values...);
    return line;
}

template <class Spike>
std::string SpikeSummary(const Spike& r) {
    int16_t samples[sizeof r.samples / sizeof(int16_t)];
    std::memcpy(samples, r.samples, sizeof samples);
    return Format("cell=%u peak=%d", static_cast<unsigned>(r.cellNumber), Peak(samples, std::size(samples)));
}

std::string Summary(const Plenvar::SERec& r) { return SpikeSummary(r); }
std::string Summary(const Plenvar::STRec& r) { return SpikeSummary(r); }
std::string Summary(const Plenvar::TTRec& r) { return SpikeSummary(r); }

std::string Summary(const Plenvar::CRRec& r) {
    int16_t samples[512];
    std::memcpy(samples, r.samples, sizeof samples);
    unsigned valid = std::min<unsigned>(r.validSamples, 512);
    auto [low, high] = std::minmax_element(samples, samples + std::max(valid, 1u));
    return Format("freq=%u samples=%u min=%d max=%d", static_cast<unsigned>(r.sampleFrequency), valid,
                  static_cast<int>(*low), static_cast<int>(*high));
}

std::string Summary(const Plenvar::EventRec& r) {
    std::string text;
    for (size_t i = 0; i < sizeof r.text && r.text[i] != '\0'; ++i) {
        unsigned char c = static_cast<unsigned char>(r.text[i]);
        text += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
    }
    return Format("id=%d ttl=0x%04x text=\"%s\"", static_cast<int>(r.eventId), static_cast<unsigned>(r.ttl),
                  text.c_str());
}

std::string Summary(const Plenvar::VideoRec& r) {
    return Format("x=%d y=%d angle=%d", static_cast<int>(r.x), static_cast<int>(r.y), static_cast<int>(r.angle));
}

const char* TypeName(const Plenvar::SERec&) { return "SEScAcqEnt"; }
const char* TypeName(const Plenvar::STRec&) { return "STScAcqEnt"; }
const char* TypeName(const Plenvar::TTRec&) { return "TTScAcqEnt"; }
const char* TypeName(const Plenvar::CRRec&) { return "CscAcqEnt"; }
const char* TypeName(const Plenvar::EventRec&) { return "EventAcqEnt"; }
const char* TypeName(const Plenvar::VideoRec&) { return "VTAcqEnt"; }

}  // namespace

RecordSink::RecordSink(Mode mode, uint64_t limit, std::FILE* out) : mMode(mode), mLimit(limit), mOut(out) {}

void RecordSink::Register(Plenvar::PlenvarClient& client) {
    client.SetCallbackFunctionSE(&OnRecords<Plenvar::SERec>, this);
    client.SetCallbackFunctionST(&OnRecords<Plenvar::STRec>, this);
    client.SetCallbackFunctionTT(&OnRecords<Plenvar::TTRec>, this);
    client.SetCallbackFunctionCSC(&OnRecords<Plenvar::CRRec>, this);
    client.SetCallbackFunctionEV(&OnRecords<Plenvar::EventRec>, this);
    client.SetCallbackFunctionVT(&OnRecords<Plenvar::VideoRec>, this);
}

void RecordSink::Stop() { mStopped = true; }

template <class Record>
void RecordSink::OnRecords(void* context, Record* records, int numRecords, const wchar_t* objectName) {
    auto* sink = static_cast<RecordSink*>(context);
    for (int i = 0; i < numRecords; ++i) {
        sink->Take(records[i], objectName != nullptr ? objectName : L"");
    }
}

template <class Record>
void RecordSink::Take(const Record& record, const wchar_t* objectName) {
    std::lock_guard<std::mutex> guard(mLock);
    if (mStopped || LimitReached()) {
        return;
    }
    ++mTotal;
    if (mMode == Mode::Rate) {
        ++mSinceLastRate[objectName];
        return;
    }
    uint64_t timestamp = record.timestamp;
    std::fprintf(mOut, "%s %s %" PRIu64 " %s\n", TypeName(record), Narrow(objectName).c_str(), timestamp,
                 Summary(record).c_str());
    std::fflush(mOut);
}

void RecordSink::PrintRates(double elapsedSeconds, const std::vector<std::wstring>& objects) {
    std::lock_guard<std::mutex> guard(mLock);
    // The given objects in their order, then any other object that sent.
    std::vector<std::wstring> order = objects;
    for (const auto& entry : mSinceLastRate) {
        if (std::find(objects.begin(), objects.end(), entry.first) == objects.end()) {
            order.push_back(entry.first);
        }
    }
    double seconds = elapsedSeconds > 0 ? elapsedSeconds : 1;
    uint64_t sum = 0;
    std::string line;
    for (const auto& name : order) {
        uint64_t count = mSinceLastRate[name];
        line += Format(" %s=%.1f/s", Narrow(name).c_str(), count / seconds);
        sum += count;
    }
    mSinceLastRate.clear();
    std::fprintf(mOut, "rate%s total=%.1f/s\n", line.c_str(), sum / seconds);
    std::fflush(mOut);
}

}  // namespace tap
