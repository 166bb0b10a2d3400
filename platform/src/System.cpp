#include "platform/System.h"

#include <chrono>
#include <climits>
#include <unistd.h>

namespace platform {

bool ComputerName(std::string& name) {
    char buffer[HOST_NAME_MAX + 1] = {};
    if (::gethostname(buffer, sizeof buffer - 1) != 0) {
        return false;
    }
    name = buffer;
    return true;
}

bool LocalTimeNow(std::tm& local, int* milliseconds) {
    auto now = std::chrono::system_clock::now();
    std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    if (::localtime_r(&seconds, &local) == nullptr) {
        return false;
    }
    if (milliseconds != nullptr) {
        auto sinceEpoch = now.time_since_epoch();
        *milliseconds = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count() % 1000);
    }
    return true;
}

std::string ProgramDirectory() {
    char buffer[PATH_MAX + 1] = {};
    ssize_t n = ::readlink("/proc/self/exe", buffer, PATH_MAX);
    if (n <= 0) {
        return {};
    }
    std::string path(buffer, static_cast<size_t>(n));
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace platform
