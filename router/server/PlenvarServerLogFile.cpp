#include "PlenvarServerLogFile.h"

#include "platform/System.h"

namespace router {

PlenvarServerLogFile::~PlenvarServerLogFile() {
    std::lock_guard<std::mutex> lock(mLock);
    if (mFile != nullptr) {
        std::fclose(mFile);
        mFile = nullptr;
    }
}

int32_t PlenvarServerLogFile::Open(const std::string& fileName) {
    std::lock_guard<std::mutex> lock(mLock);
    CloseLocked();
    std::FILE* file = std::fopen(fileName.c_str(), "wb");
    if (file == nullptr) {
        return 0;
    }
    mFile = file;
    mFileName = fileName;
    WriteLineLocked("Kestova Base Log File Opened - File Name:  " + fileName);
    WriteLineLocked(TimeStamp());
    return 0;
}

void PlenvarServerLogFile::Close() {
    std::lock_guard<std::mutex> lock(mLock);
    CloseLocked();
}

void PlenvarServerLogFile::CloseLocked() {
    if (mFile == nullptr) {
        return;
    }
    WriteLineLocked("Log File Closed - End of File");
    std::fclose(mFile);
    mFile = nullptr;
    mFileName.clear();
}

void PlenvarServerLogFile::WriteMessage(int32_t level, const std::string& text) {
    if (text.empty()) {
        return;
    }
    std::lock_guard<std::mutex> lock(mLock);
    if (mFile == nullptr) {
        return;  // nothing to format the line for
    }
    WriteLineLocked(LevelTag(level) + TimeStamp() + " - " + text);
}

void PlenvarServerLogFile::WriteLineLocked(const std::string& line) {
    if (mFile == nullptr) {
        return;
    }
    std::fwrite(line.data(), 1, line.size(), mFile);
    std::fputc('\n', mFile);
    std::fflush(mFile);
}

std::string PlenvarServerLogFile::FileName() const {
    std::lock_guard<std::mutex> lock(mLock);
    return mFileName;
}

std::string PlenvarServerLogFile::LevelTag(int32_t level) {
    switch (level) {
    case FATAL:
        return "--**** FATAL **-- ";
    case ERROR:
        return "--*** ERROR ***-- ";
    case WARNING:
        return "--** WARNING **-- ";
    case NOTICE:
        return "--** NOTICE ***-- ";
    case DATA:
        return "--*   DATA   **-- ";
    default:
        return "--** UNKNOWN **-- ";
    }
}

std::string PlenvarServerLogFile::TimeStamp() {
    std::tm local{};
    int milliseconds = 0;
    if (!platform::LocalTimeNow(local, &milliseconds)) {
        return FormatTimeStamp(0, 0, 0, 0);
    }
    return FormatTimeStamp(local.tm_hour, local.tm_min, local.tm_sec, milliseconds);
}

std::string PlenvarServerLogFile::FormatTimeStamp(int hours, int minutes, int seconds, int milliseconds) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, " %02d:%02d:%02d.%03d", hours, minutes, seconds, milliseconds);
    return buffer;
}

PlenvarServerLogFile& ServerLog() {
    static PlenvarServerLogFile log;
    return log;
}

}  // namespace router
