#pragma once
// What the router's end-to-end suites share: a downstream client that keeps
// every record it receives, records with chosen index fields, temporary log
// directories and reading the router's log files back.

#include "Plenvar/PlenvarClient.h"
#include "protocol/RecordTypes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace plenvar_test {

using RecordBytes = std::vector<unsigned char>;

// A client-library client, connected through the router's front port, that
// appends every record to the bytes of its type.
class Downstream {
public:
    Downstream() {
        mClient.SetCallbackFunctionSE(&Collect<Plenvar::SERec, protocol::RecordType::SE>, this);
        mClient.SetCallbackFunctionST(&Collect<Plenvar::STRec, protocol::RecordType::ST>, this);
        mClient.SetCallbackFunctionTT(&Collect<Plenvar::TTRec, protocol::RecordType::TT>, this);
        mClient.SetCallbackFunctionCSC(&Collect<Plenvar::CRRec, protocol::RecordType::CSC>, this);
        mClient.SetCallbackFunctionEV(&Collect<Plenvar::EventRec, protocol::RecordType::EV>, this);
        mClient.SetCallbackFunctionVT(&Collect<Plenvar::VideoRec, protocol::RecordType::VT>, this);
    }
    ~Downstream() { mClient.DisconnectFromServer(); }

    Plenvar::PlenvarClient& Client() { return mClient; }
    bool Connect() { return mClient.ConnectToServer(L"127.0.0.1", true); }

    RecordBytes BytesOf(const std::string& typeName) {
        std::lock_guard lock(mLock);
        return mBytes[typeName];
    }
    std::set<std::wstring> NamesOf(const std::string& typeName) {
        std::lock_guard lock(mLock);
        return mNames[typeName];
    }
    size_t TotalBytes() {
        std::lock_guard lock(mLock);
        size_t total = 0;
        for (const auto& [type, bytes] : mBytes) {
            total += bytes.size();
        }
        return total;
    }
    size_t RecordCount() {
        std::lock_guard lock(mLock);
        return mRecords;
    }
    bool WaitForBytes(const std::string& typeName, size_t size,
                      std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        std::unique_lock lock(mLock);
        return mChanged.wait_for(lock, timeout, [&] { return mBytes[typeName].size() >= size; });
    }
    bool WaitForRecords(size_t count, std::chrono::milliseconds timeout) {
        std::unique_lock lock(mLock);
        return mChanged.wait_for(lock, timeout, [&] { return mRecords >= count; });
    }

private:
    template <typename Rec, protocol::RecordType Type>
    static void Collect(void* context, Rec* records, int count, const wchar_t* name) {
        auto* self = static_cast<Downstream*>(context);
        const auto* bytes = reinterpret_cast<const unsigned char*>(records);
        const std::string typeName = protocol::Info(Type).typeName;
        {
            std::lock_guard lock(self->mLock);
            auto& kept = self->mBytes[typeName];
            kept.insert(kept.end(), bytes, bytes + sizeof(Rec) * count);
            self->mNames[typeName].insert(name);
            self->mRecords += count;
        }
        self->mChanged.notify_all();
    }

    Plenvar::PlenvarClient mClient;
    std::mutex mLock;
    std::condition_variable mChanged;
    std::map<std::string, RecordBytes> mBytes;
    std::map<std::string, std::set<std::wstring>> mNames;
    size_t mRecords = 0;
};

// `count` records of one type, random bytes but for the index field.
inline RecordBytes MakeRecords(protocol::RecordType type, uint32_t index, int count, unsigned seed) {
    const auto& info = protocol::Info(type);
    std::mt19937 random(seed);
    RecordBytes bytes(static_cast<size_t>(info.recordSize) * count);
    for (auto& byte : bytes) {
        byte = static_cast<unsigned char>(random());
    }
    for (int r = 0; r < count && info.indexOffset >= 0; ++r) {
        unsigned char* field = bytes.data() + static_cast<size_t>(r) * info.recordSize + info.indexOffset;
        for (int b = 0; b < info.indexWidth; ++b) {
            field[b] = static_cast<unsigned char>(index >> (8 * b));
        }
    }
    return bytes;
}

inline std::string MakeLogDirectory(const std::string& label) {
    static int counter = 0;
    const std::string dir = ::testing::TempDir() + "/router_e2e_" + label + "_" + std::to_string(::getpid()) +
                            "_" + std::to_string(++counter);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace plenvar_test
