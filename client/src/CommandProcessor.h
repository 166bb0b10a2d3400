#pragma once
// Splits a command or reply text into its words; a double-quoted argument
// that follows white space may hold blanks.

#include "ClientLogFile.h"

#include <string>
#include <vector>

namespace Plenvar {

class CommandProcessor {
public:
    explicit CommandProcessor(ClientLogFile* logFile);
    virtual ~CommandProcessor() = default;

    // Empties arguments, then fills them in order. False (and an empty list)
    // when the double quotes do not pair up.
    bool ParseCommandString(std::wstring command, std::vector<std::wstring>& arguments);

private:
    ClientLogFile* mLogFile;
};

}  // namespace Plenvar
