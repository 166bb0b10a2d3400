#include "ClientLogFile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using Plenvar::ClientLogFile;

namespace {

const char* const kStamp = R"(\(mm/dd/yyyy\): \d{2}/\d{2}/\d{4} At Time: \d{2}:\d{2}:\d{2})";
const std::string kClosing = "Log File Closed - End of File\r\r\n\r\n";

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> Lines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::istringstream in(bytes);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

class ClientLogFileTest : public ::testing::Test {
protected:
    std::string PathFor(const std::string& leaf) {
        return ::testing::TempDir() + "/clientlog_" + std::to_string(::getpid()) + "_" + leaf;
    }
    std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }
};

TEST_F(ClientLogFileTest, FileHasBannerEntriesAndClosingBytes) {
    const std::string path = PathFor("layout.txt");
    ClientLogFile log;
    ASSERT_EQ(log.OpenLog(Wide(path)), 0);
    EXPECT_EQ(log.FileName(), Wide(path));
    EXPECT_EQ(log.WriteEntry(ClientLogFile::NOTICE, L"hello there"), 0);
    EXPECT_EQ(log.WriteEntry(ClientLogFile::ERROR, L""), 0);
    ASSERT_EQ(log.CloseLog(), 0);
    EXPECT_TRUE(log.FileName().empty());

    const std::string bytes = ReadFile(path);
    // Every line end is CR LF, and the file ends in the closing text's own
    // CR LF translated once more.
    ASSERT_GE(bytes.size(), kClosing.size());
    EXPECT_EQ(bytes.substr(bytes.size() - kClosing.size()), kClosing);
    EXPECT_EQ(bytes.find("\n"), bytes.find("\r\n") + 1);

    std::vector<std::string> lines = Lines(bytes);
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[0], "Plenvar Log File Opened - File Name:  " + path);
    EXPECT_TRUE(std::regex_match(lines[1], std::regex(std::string("Time Opened: ") + kStamp))) << lines[1];
    EXPECT_EQ(lines[2], "Plenvar Version 2.1.0");
    EXPECT_EQ(lines[3], "");
    EXPECT_TRUE(std::regex_match(lines[4], std::regex(std::string(R"(-\* NOTICE \*- )") + kStamp +
                                                      " - hello there")))
        << lines[4];
    EXPECT_TRUE(std::regex_match(lines[5], std::regex(std::string(R"(-\* ERROR \*- )") + kStamp + " - ")))
        << lines[5];
}

TEST_F(ClientLogFileTest, EveryLevelWritesItsTag) {
    const std::string path = PathFor("levels.txt");
    ClientLogFile log;
    ASSERT_EQ(log.OpenLog(Wide(path)), 0);
    const struct {
        unsigned int level;
        const char* tag;
    } rows[] = {{0, "-* FATAL *- "},   {1, "-* ERROR *- "}, {2, "-* WARNING *- "},
                {3, "-* NOTICE *- "},  {4, "-* DATA *- "},  {5, "-* UNKNOWN *- "},
                {4000000000u, "-* UNKNOWN *- "}};
    for (const auto& row : rows) {
        log.WriteEntry(row.level, L"x");
    }
    log.CloseLog();
    std::vector<std::string> lines = Lines(ReadFile(path));
    ASSERT_GE(lines.size(), 4u + std::size(rows));
    for (size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(lines[4 + i].rfind(rows[i].tag, 0), 0u) << lines[4 + i];
    }
}

TEST_F(ClientLogFileTest, EntriesWhileClosedAreDropped) {
    const std::string path = PathFor("early.txt");
    ClientLogFile log;
    EXPECT_EQ(log.WriteEntry(ClientLogFile::ERROR, L"too early"), -1);
    EXPECT_EQ(log.WriteText(L"too early"), -1);
    EXPECT_EQ(log.CloseLog(), -1);
    ASSERT_EQ(log.OpenLog(Wide(path)), 0);
    log.CloseLog();
    EXPECT_EQ(log.WriteEntry(ClientLogFile::ERROR, L"too late"), -1);
    const std::string bytes = ReadFile(path);
    EXPECT_EQ(bytes.find("too "), std::string::npos);
}

TEST_F(ClientLogFileTest, ReopeningClosesTheFirstFileAndReplacesExistingContents) {
    const std::string first = PathFor("first.txt");
    const std::string second = PathFor("second.txt");
    { std::ofstream(second) << "old contents that must vanish\n"; }
    ClientLogFile log;
    ASSERT_EQ(log.OpenLog(Wide(first)), 0);
    log.WriteEntry(ClientLogFile::NOTICE, L"in first");
    ASSERT_EQ(log.OpenLog(Wide(second)), 0);
    log.WriteEntry(ClientLogFile::NOTICE, L"in second");

    const std::string firstBytes = ReadFile(first);
    EXPECT_EQ(firstBytes.substr(firstBytes.size() - kClosing.size()), kClosing);
    EXPECT_EQ(firstBytes.find("in second"), std::string::npos);

    // The second file is complete up to its last entry while still open.
    const std::string secondBytes = ReadFile(second);
    EXPECT_EQ(secondBytes.rfind("Plenvar Log File Opened - File Name:  " + second, 0), 0u);
    EXPECT_EQ(secondBytes.find("old contents"), std::string::npos);
    EXPECT_NE(secondBytes.find("in second\r\n"), std::string::npos);
}

TEST_F(ClientLogFileTest, FileThatCannotBeCreatedLeavesTheLogClosed) {
    ClientLogFile log;
    EXPECT_EQ(log.OpenLog(L"/nonexistent-dir/sub/log.txt"), -1);
    EXPECT_TRUE(log.FileName().empty());
    EXPECT_EQ(log.WriteEntry(ClientLogFile::ERROR, L"lost"), -1);
}

TEST_F(ClientLogFileTest, CharacterWithoutEightBitFormDoesNotStopLaterEntries) {
    const std::string path = PathFor("wide.txt");
    ClientLogFile log;
    ASSERT_EQ(log.OpenLog(Wide(path)), 0);
    log.WriteEntry(ClientLogFile::NOTICE, L"snow \u2603 man \u00e9");
    log.WriteEntry(ClientLogFile::NOTICE, L"after");
    log.CloseLog();
    const std::string bytes = ReadFile(path);
    EXPECT_NE(bytes.find("snow ? man \xe9\r\n"), std::string::npos);
    EXPECT_NE(bytes.find(" - after\r\n"), std::string::npos);
}

TEST_F(ClientLogFileTest, LinesFromManyThreadsNeverInterleave) {
    const std::string path = PathFor("threads.txt");
    ClientLogFile log;
    ASSERT_EQ(log.OpenLog(Wide(path)), 0);
    constexpr int kThreads = 4;
    constexpr int kLines = 200;
    {
        std::vector<std::jthread> writers;
        for (int t = 0; t < kThreads; ++t) {
            writers.emplace_back([&log, t] {
                const std::wstring body(300, static_cast<wchar_t>(L'a' + t));
                for (int i = 0; i < kLines; ++i) {
                    log.WriteEntry(ClientLogFile::DATA, body);
                }
            });
        }
    }
    log.CloseLog();
    std::vector<std::string> lines = Lines(ReadFile(path));
    const std::regex entry(std::string(R"(-\* DATA \*- )") + kStamp + " - (a{300}|b{300}|c{300}|d{300})");
    int entries = 0;
    for (const std::string& line : lines) {
        if (line.rfind("-* DATA", 0) == 0) {
            EXPECT_TRUE(std::regex_match(line, entry)) << line.substr(0, 80);
            ++entries;
        }
    }
    EXPECT_EQ(entries, kThreads * kLines);
}

}  // namespace
