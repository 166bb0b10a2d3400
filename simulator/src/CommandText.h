#pragma once
// Splitting command texts and object-list lines into words.

#include <string>
#include <string_view>
#include <vector>

namespace sim {

// Words separated by runs of blanks (and tabs); a double-quoted word may
// hold blanks and loses its quotes. An unterminated quote runs to the end.
std::vector<std::string> SplitWords(std::string_view text);

// The word as it appears in a list reply: double-quoted when it holds a blank.
std::string QuoteIfBlank(const std::string& word);

// Joins words with single blanks (a name a client sent unquoted that was
// split at its blanks).
std::string JoinWords(const std::vector<std::string>& words, size_t first, size_t last);

}  // namespace sim
