#include "ParseObjectList.h"

#include <algorithm>

namespace router {

namespace {

const char* const kWhiteSpace = " \t\r\n\v\f";

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(kWhiteSpace);
    if (first == std::string::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(kWhiteSpace);
    return text.substr(first, last - first + 1);
}

}  // namespace

int ParseObjectList(const std::string& text, std::vector<std::string>& workList) {
    workList.clear();
    std::string remaining = text;
    std::replace_if(
        remaining.begin(), remaining.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');

    while (!remaining.empty()) {
        remaining = Trimmed(remaining);
        if (remaining.empty() || remaining.front() != '"') {
            const auto space = remaining.find(' ');
            if (space == std::string::npos) {
                workList.push_back(remaining);
                remaining.clear();
            } else {
                workList.push_back(remaining.substr(0, space));
                remaining.erase(0, space);
            }
            continue;
        }
        remaining.erase(0, 1);
        const auto closing = remaining.find('"');
        if (remaining.empty() || closing == std::string::npos) {
            return -1;
        }
        workList.push_back(remaining.substr(0, closing));
        remaining.erase(0, closing + 1);
    }
    return 0;
}

}  // namespace router
