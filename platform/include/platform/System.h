#pragma once
// Computer name, local time and the program's own directory.

#include <ctime>
#include <string>

namespace platform {

// This computer's name (gethostname); false when it cannot be read.
bool ComputerName(std::string& name);

// The local date and time now; false when it cannot be determined.
// milliseconds (optional) receives the millisecond part.
bool LocalTimeNow(std::tm& local, int* milliseconds = nullptr);

// The directory of the running program, without a trailing '/'
// (empty when it cannot be found).
std::string ProgramDirectory();

}  // namespace platform
