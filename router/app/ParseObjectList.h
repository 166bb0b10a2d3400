#pragma once
// Splits a downstream client's object-list text into object names.

#include <string>
#include <vector>

namespace router {

// Tokens are separated by blanks, tabs and line ends; a token in double
// quotes may hold blanks. The work list is emptied first. Returns 0, or -1
// on an unbalanced quote (the tokens before it stay in the work list).
// White space alone yields one empty token; empty text yields none.
int ParseObjectList(const std::string& text, std::vector<std::string>& workList);

}  // namespace router
