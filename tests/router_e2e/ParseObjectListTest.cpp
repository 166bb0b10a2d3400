#include "ParseObjectList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct ParseCase {
    const char* label;
    std::string text;
    int result;
    std::vector<std::string> tokens;
};

const ParseCase kCases[] = {
    {"empty text gives no token", "", 0, {}},
    {"white space alone gives one empty token", " \t\r\n  ", 0, {""}},
    {"plain names", "CSC1 CSC2 TT1", 0, {"CSC1", "CSC2", "TT1"}},
    {"tabs and line ends separate like blanks", "CSC1\tCSC2\r\nTT1\nVT1", 0, {"CSC1", "CSC2", "TT1", "VT1"}},
    {"runs of white space and both ends", "  CSC1    CSC2  ", 0, {"CSC1", "CSC2"}},
    {"quoted name keeps its blanks", "\"Tetrode 1\" CSC1", 0, {"Tetrode 1", "CSC1"}},
    {"quoted name keeps a tab turned blank", "\"a\tb\"", 0, {"a b"}},
    {"empty quotes give an empty token", "CSC1 \"\"", 0, {"CSC1", ""}},
    {"text after a closing quote starts the next token", "\"A B\"C", 0, {"A B", "C"}},
    {"white space after a final quoted name adds nothing", "\"A\"  ", 0, {"A"}},
    {"unbalanced quote fails, earlier tokens stay", "CSC1 \"Tetrode 1", -1, {"CSC1"}},
    {"a lone quote fails", "CSC1 \"", -1, {"CSC1"}},
    {"a quote inside an unquoted token is part of it", "ab\"c d", 0, {"ab\"c", "d"}},
};

TEST(ParseObjectListTest, SplitsObjectListTexts) {
    for (const auto& c : kCases) {
        std::vector<std::string> workList{"left over"};
        EXPECT_EQ(router::ParseObjectList(c.text, workList), c.result) << c.label;
        EXPECT_EQ(workList, c.tokens) << c.label;
    }
}

}  // namespace
