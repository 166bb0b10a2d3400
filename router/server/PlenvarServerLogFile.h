#pragma once
// The router server's diagnostic log: one tagged, time-stamped line per
// event, flushed as written; lines of different threads never interleave.

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

namespace router {

class PlenvarServerLogFile {
public:
    enum Level : int32_t { FATAL = 0, ERROR = 1, WARNING = 2, NOTICE = 3, DATA = 4 };

    PlenvarServerLogFile() = default;
    // Closes the file without the closing line.
    virtual ~PlenvarServerLogFile();
    PlenvarServerLogFile(const PlenvarServerLogFile&) = delete;
    PlenvarServerLogFile& operator=(const PlenvarServerLogFile&) = delete;

    // Empties or creates the file; an open file is closed first. Always 0:
    // when the file cannot be created the log stays closed.
    virtual int32_t Open(const std::string& fileName);
    virtual void Close();

    void WriteMessage(int32_t level, const std::string& text);
    std::string FileName() const;

    static std::string LevelTag(int32_t level);
    // " hh:mm:ss.mmm" of the local time now.
    static std::string TimeStamp();
    static std::string FormatTimeStamp(int hours, int minutes, int seconds, int milliseconds);

private:
    void WriteLineLocked(const std::string& line);
    void CloseLocked();

    std::FILE* mFile = nullptr;
    std::string mFileName;
    mutable std::mutex mLock;
};

// The program's one server log.
PlenvarServerLogFile& ServerLog();

}  // namespace router
