#include "CommandProcessor.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using Plenvar::ClientLogFile;
using Plenvar::CommandProcessor;

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct ParseCase {
    const char* label;
    const wchar_t* text;
    bool ok;
    std::vector<std::wstring> arguments;
};

const ParseCase kCases[] = {
    {"quoted phrase between words", L"-cmd \"two words\" third", true, {L"-cmd", L"two words", L"third"}},
    {"leading quote is not an argument", L"\"two words\" last", true, {L"\"two", L"words\"", L"last"}},
    {"empty quotes are a word", L"-cmd \"\"", true, {L"-cmd", L"\"\""}},
    {"text after closing quote is a new word", L"-cmd \"quoted\"next", true, {L"-cmd", L"quoted", L"next"}},
    {"tabs and line breaks separate words", L"-a\tb\r\nc\nd", true, {L"-a", L"b", L"c", L"d"}},
    {"line break inside quotes becomes a blank", L"-cmd \"one\ntwo\"", true, {L"-cmd", L"one two"}},
    {"runs of blanks", L"  -a   b  ", true, {L"-a", L"b"}},
    {"empty text", L"", true, {}},
    {"blanks only", L"   \t ", true, {}},
    {"unmatched quote", L"-cmd \"word", false, {}},
};

}  // namespace

TEST(CommandProcessor, ParseCommandStringCases) {
    const std::string path = testing::TempDir() + "command_processor.log";
    ClientLogFile log;
    ASSERT_EQ(log.OpenLog(std::wstring(path.begin(), path.end())), 0);
    CommandProcessor parser(&log);
    for (const ParseCase& c : kCases) {
        SCOPED_TRACE(c.label);
        std::vector<std::wstring> arguments{L"stale"};
        EXPECT_EQ(parser.ParseCommandString(c.text, arguments), c.ok);
        EXPECT_EQ(arguments, c.arguments);
    }
    log.CloseLog();

    // Only the unmatched case logs, once, with the cleaned text.
    const std::string text = ReadFile(path);
    const std::string errorTag = "-* ERROR *- ";
    const std::string message =
        " - CommandProcessor::ParseCommandString() - Error Processing command string, unable to find matching "
        "double quotes. command string: -cmd \"word\r\n";
    EXPECT_NE(text.find(message), std::string::npos) << text;
    size_t errors = 0;
    for (size_t at = text.find(errorTag); at != std::string::npos; at = text.find(errorTag, at + 1)) {
        ++errors;
    }
    EXPECT_EQ(errors, 1u);
    std::remove(path.c_str());
}

TEST(CommandProcessor, UnmatchedQuoteLogsTheCleanedText) {
    const std::string path = testing::TempDir() + "command_processor_clean.log";
    ClientLogFile log;
    ASSERT_EQ(log.OpenLog(std::wstring(path.begin(), path.end())), 0);
    CommandProcessor parser(&log);
    std::vector<std::wstring> arguments;
    EXPECT_FALSE(parser.ParseCommandString(L"-a\t\"b\nc", arguments));
    EXPECT_TRUE(arguments.empty());
    log.CloseLog();
    EXPECT_NE(ReadFile(path).find("command string: -a \"b c\r\n"), std::string::npos);
    std::remove(path.c_str());
}
