#pragma once
// The command line of plenvar-tap.

#include <cstdint>
#include <string>
#include <vector>

namespace tap {

struct TapOptions {
    std::string host;
    bool router = false;
    bool list = false;
    std::vector<std::string> open;
    bool openAll = false;
    double seconds = 0;  // 0: until interrupted
    uint64_t count = 0;  // 0: no limit
    bool rate = false;   // per-object rates instead of one line per record
    std::string logFile;

    bool OpensAnything() const { return openAll || !open.empty(); }
};

// Fills options from the command line. Returns -1 when the program should go
// on, else the exit status (0 after --help, non-zero after a usage error; the
// text has been printed).
int ParseTapOptions(int argc, char** argv, TapOptions& options);

}  // namespace tap
