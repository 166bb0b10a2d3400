#pragma once
// The client library's diagnostic log: one line per event, each with a
// severity tag and the local date and time, flushed as it is written.

#include <cstdio>
#include <mutex>
#include <string>

namespace Plenvar {

class ClientLogFile {
public:
    enum Level : unsigned int { FATAL = 0, ERROR = 1, WARNING = 2, NOTICE = 3, DATA = 4 };

    ClientLogFile();
    virtual ~ClientLogFile();
    ClientLogFile(const ClientLogFile&) = delete;
    ClientLogFile& operator=(const ClientLogFile&) = delete;

    // 0 on success, -1 when the file cannot be created (the log stays closed).
    int OpenLog(const std::wstring& fileName);
    // 0 when a file was open and has been closed, -1 when none was open.
    int CloseLog();
    // 0 when the line was written, -1 when no file is open.
    int WriteEntry(unsigned int level, const std::wstring& message);
    // The text and a line end; 0, or -1 when no file is open.
    int WriteText(const std::wstring& text);

    std::wstring FileName() const;

    static std::wstring LevelTag(unsigned int level);
    // "(mm/dd/yyyy): 03/07/2012 At Time: 09:05:03", or empty when the local
    // time cannot be determined.
    static std::wstring FormatTimeStamp();

private:
    int WriteTextLocked(const std::wstring& text);

    std::wstring mName;
    std::wstring mFileName;
    std::FILE* mFile = nullptr;
    mutable std::recursive_mutex mLock;
};

}  // namespace Plenvar
