#pragma once
// How the router's server reads command texts: words split at white space
// the way a text stream reads them, names compared ignoring letter case.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace router {

// The first `count` words (fewer when the text has fewer).
std::vector<std::string> ReadTokens(std::string_view text, size_t count);
// The word at `index`, or "" when the text has fewer words.
std::string TokenAt(std::string_view text, size_t index);

// Case-insensitive for the letters of the one-byte character set.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// A leading decimal integer after optional blanks (and sign); 0 when there is none.
int32_t LeadingInteger(std::string_view text);

// The word without any double quotes at its start and end.
std::string StripOuterQuotes(std::string_view word);

}  // namespace router
