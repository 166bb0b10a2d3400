#include "CommandProcessor.h"

#include <algorithm>

// GCC 12 reports a false maybe-uninitialized inside the standard regex
// compiler when sanitizers are on; clang knows no such warning group.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <regex>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

namespace Plenvar {

CommandProcessor::CommandProcessor(ClientLogFile* logFile) : mLogFile(logFile) {}

bool CommandProcessor::ParseCommandString(std::wstring command, std::vector<std::wstring>& arguments) {
    arguments.clear();
    static const std::wregex kLineControls(L"[\t\r\n]", std::regex_constants::ECMAScript);
    // A quoted argument counts only when white space precedes its opening quote.
    static const std::wregex kArgument(L"\\s+\"([^\"]+)\"|(\\S+)", std::regex_constants::ECMAScript);

    const std::wstring cleaned = std::regex_replace(command, kLineControls, L" ");
    if (std::count(cleaned.begin(), cleaned.end(), L'"') % 2 != 0) {
        if (mLogFile != nullptr) {
            mLogFile->WriteEntry(ClientLogFile::ERROR,
                                 L"CommandProcessor::ParseCommandString() - Error Processing command string, unable "
                                 L"to find matching double quotes. command string: " +
                                     cleaned);
        }
        return false;
    }
    for (std::wsregex_iterator it(cleaned.begin(), cleaned.end(), kArgument), end; it != end; ++it) {
        const std::wsmatch& match = *it;
        arguments.push_back(match[1].matched ? match[1].str() : match[2].str());
    }
    return true;
}

}  // namespace Plenvar
