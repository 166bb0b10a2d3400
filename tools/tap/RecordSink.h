#pragma once
// Receives the records of all six types on the library's threads and either
// prints one line per record or counts them per object for rate lines.

#include <Plenvar/PlenvarClient.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace tap {

class RecordSink {
public:
    enum class Mode { Print, Rate };

    // limit: records to take before ignoring the rest (0: no limit).
    RecordSink(Mode mode, uint64_t limit, std::FILE* out);
    RecordSink(const RecordSink&) = delete;
    RecordSink& operator=(const RecordSink&) = delete;

    // Points the client's six callbacks at this sink, which must outlive
    // the client's streams.
    void Register(Plenvar::PlenvarClient& client);

    // Records arriving from now on are ignored.
    void Stop();
    bool LimitReached() const { return mLimit != 0 && mTotal.load() >= mLimit; }
    uint64_t Total() const { return mTotal.load(); }

    // Rate mode: one line with each object's records per second since the
    // previous call; objects listed in `objects` appear even without records.
    void PrintRates(double elapsedSeconds, const std::vector<std::wstring>& objects);

private:
    template <class Record>
    static void OnRecords(void* context, Record* records, int numRecords, const wchar_t* objectName);
    template <class Record>
    void Take(const Record& record, const wchar_t* objectName);

    const Mode mMode;
    const uint64_t mLimit;
    std::FILE* const mOut;
    std::atomic<uint64_t> mTotal{0};
    std::atomic<bool> mStopped{false};
    std::mutex mLock;  // output and the per-object counts
    std::map<std::wstring, uint64_t> mSinceLastRate;
};

}  // namespace tap
