#pragma once
// A private X server (Xvfb) for one test process, so the window tests need
// no display of the host. It picks a free display number itself (-displayfd),
// so parallel test processes never race for one.

#include <string>
#include <sys/types.h>

namespace gui_test {

class VirtualDisplay {
public:
    VirtualDisplay() = default;
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    // Starts the server and sets DISPLAY; false (reason in Error()) when it
    // cannot start within 10 s.
    bool Start();
    const std::string& Error() const { return mError; }

private:
    pid_t mPid = -1;
    std::string mError;
};

}  // namespace gui_test
