#include "FacadeFixture.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace facade_test {

template <class Record>
void RecordCollector::On(void* context, Record* records, int numRecords, const wchar_t* objectName) {
    static const char* const kTypes[] = {"SE", "ST", "TT", "CSC", "EV", "VT"};
    constexpr int kIndex = std::is_same_v<Record, Plenvar::SERec>    ? 0
                           : std::is_same_v<Record, Plenvar::STRec>  ? 1
                           : std::is_same_v<Record, Plenvar::TTRec>  ? 2
                           : std::is_same_v<Record, Plenvar::CRRec>  ? 3
                           : std::is_same_v<Record, Plenvar::EventRec> ? 4
                                                                     : 5;
    auto* self = static_cast<RecordCollector*>(context);
    std::lock_guard<std::mutex> guard(self->mLock);
    for (int i = 0; i < numRecords; ++i) {
        self->mArrivals.push_back({kTypes[kIndex], objectName, records[i].timestamp, numRecords});
    }
    self->mArrived.notify_all();
}

void RecordCollector::RegisterAll(Plenvar::PlenvarClient& client) {
    client.SetCallbackFunctionSE(&On<Plenvar::SERec>, this);
    client.SetCallbackFunctionST(&On<Plenvar::STRec>, this);
    client.SetCallbackFunctionTT(&On<Plenvar::TTRec>, this);
    client.SetCallbackFunctionCSC(&On<Plenvar::CRRec>, this);
    client.SetCallbackFunctionEV(&On<Plenvar::EventRec>, this);
    client.SetCallbackFunctionVT(&On<Plenvar::VideoRec>, this);
}

bool RecordCollector::WaitFor(size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mLock);
    return mArrived.wait_for(lock, timeout, [&] { return mArrivals.size() >= count; });
}

std::vector<Arrival> RecordCollector::Arrivals() const {
    std::lock_guard<std::mutex> guard(mLock);
    return mArrivals;
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

size_t CountOccurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) {
        ++count;
    }
    return count;
}

void FacadeTest::SetUp() {
    ASSERT_TRUE(client);
    ASSERT_TRUE(server.Start());
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("facade-") + test->test_suite_name() + "-" + test->name() + "-" +
                       std::to_string(getpid()) + ".log";
    std::replace(name.begin(), name.end(), '/', '_');
    logPath = std::filesystem::temp_directory_path() / name;
    ASSERT_TRUE(client->SetLogFileName(logPath.wstring().c_str()));
}

void FacadeTest::TearDown() {
    client.reset();
    std::error_code ignored;
    std::filesystem::remove(logPath, ignored);
}

size_t FacadeTest::Sent(const std::string& keyword) const {
    size_t count = 0;
    for (const auto& word : server.Keywords()) {
        count += word == keyword ? 1 : 0;
    }
    return count;
}

}  // namespace facade_test
