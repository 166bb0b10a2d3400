#include "ClientLogFile.h"

#include "platform/Latin1.h"
#include "platform/System.h"

#include <cstdio>

namespace Plenvar {

namespace {

// The file is written as 8-bit text with CR LF line ends, the way a
// text-mode stream writes "\n". A character with no 8-bit form becomes '?'.
std::string ToFileBytes(const std::wstring& text) {
    std::string narrow = platform::WideToLatin1Lossy(text);
    std::string bytes;
    bytes.reserve(narrow.size() + 8);
    for (char c : narrow) {
        if (c == '\n') {
            bytes.push_back('\r');
        }
        bytes.push_back(c);
    }
    return bytes;
}

std::wstring TwoDigits(int value) {
    wchar_t buffer[8];
    std::swprintf(buffer, 8, L"%02d", value);
    return buffer;
}

}  // namespace

ClientLogFile::ClientLogFile() : mName(L"ClientLogFile") {}

ClientLogFile::~ClientLogFile() { CloseLog(); }

int ClientLogFile::OpenLog(const std::wstring& fileName) {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    if (mFile != nullptr) {
        CloseLog();
    }
    std::string path = platform::WideToLatin1Lossy(fileName);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return -1;
    }
    mFile = file;
    std::wstring banner = L"Plenvar Log File Opened - File Name:  " + fileName + L"\n" +
                          L"Time Opened: " + FormatTimeStamp() + L"\n" + L"Plenvar Version " +
                          L"2.1.0" + L"\n";
    WriteTextLocked(banner);
    mFileName = fileName;
    return 0;
}

int ClientLogFile::CloseLog() {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    if (mFile == nullptr) {
        return -1;
    }
    WriteTextLocked(L"Log File Closed - End of File\r\n");
    std::fclose(mFile);
    mFile = nullptr;
    mFileName.clear();
    return 0;
}

int ClientLogFile::WriteEntry(unsigned int level, const std::wstring& message) {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    if (mFile == nullptr) {
        return -1;  // nothing to format the line for
    }
    return WriteTextLocked(LevelTag(level) + FormatTimeStamp() + L" - " + message);
}

int ClientLogFile::WriteText(const std::wstring& text) {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    return WriteTextLocked(text);
}

int ClientLogFile::WriteTextLocked(const std::wstring& text) {
    if (mFile == nullptr) {
        return -1;
    }
    std::string bytes = ToFileBytes(text + L"\n");
    std::fwrite(bytes.data(), 1, bytes.size(), mFile);
    std::fflush(mFile);
    return 0;
}

std::wstring ClientLogFile::FileName() const {
    std::lock_guard<std::recursive_mutex> lock(mLock);
    return mFileName;
}

std::wstring ClientLogFile::LevelTag(unsigned int level) {
    switch (level) {
    case FATAL:
        return L"-* FATAL *- ";
    case ERROR:
        return L"-* ERROR *- ";
    case WARNING:
        return L"-* WARNING *- ";
    case NOTICE:
        return L"-* NOTICE *- ";
    case DATA:
        return L"-* DATA *- ";
    default:
        return L"-* UNKNOWN *- ";
    }
}

std::wstring ClientLogFile::FormatTimeStamp() {
    std::tm local{};
    if (!platform::LocalTimeNow(local)) {
        return {};
    }
    return L"(mm/dd/yyyy): " + TwoDigits(local.tm_mon + 1) + L"/" + TwoDigits(local.tm_mday) + L"/" +
           std::to_wstring(local.tm_year + 1900) + L" At Time: " + TwoDigits(local.tm_hour) + L":" +
           TwoDigits(local.tm_min) + L":" + TwoDigits(local.tm_sec);
}

}  // namespace Plenvar
