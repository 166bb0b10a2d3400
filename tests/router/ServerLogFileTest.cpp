// The server log's file layout and its behaviour under concurrent writers.

#include "PlenvarServerLogFile.h"
#include "RouterTestSupport.h"

#include <gtest/gtest.h>

#include <regex>
#include <thread>

namespace {

using router::PlenvarServerLogFile;
using routertest::ReadFile;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

class ServerLogFileTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) { return ::testing::TempDir() + "serverlog-" + name + ".txt"; }
    PlenvarServerLogFile mLog;
};

TEST_F(ServerLogFileTest, TimeStampIsZeroPaddedWithMilliseconds) {
    EXPECT_EQ(" 09:05:03.007", PlenvarServerLogFile::FormatTimeStamp(9, 5, 3, 7));
    EXPECT_EQ(" 23:59:59.999", PlenvarServerLogFile::FormatTimeStamp(23, 59, 59, 999));
}

TEST_F(ServerLogFileTest, BannerTaggedLinesAndClosingLine) {
    const std::string path = Path("layout");
    mLog.Open(path);
    mLog.WriteMessage(PlenvarServerLogFile::NOTICE, "Node ID: 1001 - Creating Server Socket");
    mLog.WriteMessage(PlenvarServerLogFile::ERROR, "e");
    mLog.WriteMessage(PlenvarServerLogFile::WARNING, "w");
    mLog.WriteMessage(PlenvarServerLogFile::FATAL, "f");
    mLog.WriteMessage(PlenvarServerLogFile::DATA, "d");
    mLog.WriteMessage(7, "u");
    mLog.WriteMessage(PlenvarServerLogFile::NOTICE, "");
    mLog.Close();
    mLog.WriteMessage(PlenvarServerLogFile::NOTICE, "after close");

    const std::string text = ReadFile(path);
    EXPECT_EQ('\n', text.back());
    EXPECT_EQ(std::string::npos, text.find('\r'));
    const auto lines = Lines(text);
    ASSERT_EQ(9u, lines.size()) << text;
    EXPECT_EQ("Kestova Base Log File Opened - File Name:  " + path, lines[0]);
    EXPECT_TRUE(std::regex_match(lines[1], std::regex(R"( \d\d:\d\d:\d\d\.\d{3})"))) << lines[1];
    const std::string time = R"( \d\d:\d\d:\d\d\.\d{3} - )";
    const std::pair<std::string, std::string> expected[] = {
        {R"(--\*\* NOTICE \*\*\*-- )", "Node ID: 1001 - Creating Server Socket"},
        {R"(--\*\*\* ERROR \*\*\*-- )", "e"},
        {R"(--\*\* WARNING \*\*-- )", "w"},
        {R"(--\*\*\*\* FATAL \*\*-- )", "f"},
        {R"(--\*   DATA   \*\*-- )", "d"},
        {R"(--\*\* UNKNOWN \*\*-- )", "u"},
    };
    for (size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_TRUE(std::regex_match(lines[i + 2], std::regex(expected[i].first + time + expected[i].second)))
            << lines[i + 2];
    }
    EXPECT_EQ("Log File Closed - End of File", lines[8]);
    EXPECT_EQ(18u, PlenvarServerLogFile::LevelTag(3).size());
}

TEST_F(ServerLogFileTest, OpeningASecondFileClosesTheFirstWithItsClosingLine) {
    mLog.Open(Path("first"));
    mLog.WriteMessage(PlenvarServerLogFile::NOTICE, "one");
    mLog.Open(Path("second"));
    mLog.WriteMessage(PlenvarServerLogFile::NOTICE, "two");
    EXPECT_EQ(Path("second"), mLog.FileName());

    const auto first = Lines(ReadFile(Path("first")));
    ASSERT_EQ(4u, first.size());
    EXPECT_EQ("Log File Closed - End of File", first.back());
    // Each line is flushed at once: the open file is complete as it stands.
    const auto second = Lines(ReadFile(Path("second")));
    ASSERT_EQ(3u, second.size());
    EXPECT_NE(std::string::npos, second[2].find(" - two"));
}

TEST_F(ServerLogFileTest, UnwritableFileLeavesTheLogClosed) {
    EXPECT_EQ(0, mLog.Open("/nonexistent-directory/log.txt"));
    EXPECT_EQ("", mLog.FileName());
    mLog.WriteMessage(PlenvarServerLogFile::NOTICE, "dropped");
}

TEST_F(ServerLogFileTest, LinesOfConcurrentWritersNeverInterleave) {
    const std::string path = Path("threads");
    mLog.Open(path);
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([this, t] {
            for (int i = 0; i < 300; ++i) {
                mLog.WriteMessage(PlenvarServerLogFile::NOTICE, "writer " + std::to_string(t) + std::string(200, 'x'));
            }
        });
    }
    for (auto& w : writers) {
        w.join();
    }
    mLog.Close();
    const auto lines = Lines(ReadFile(path));
    ASSERT_EQ(2u + 1200u + 1u, lines.size());
    const std::regex line(R"(--\*\* NOTICE \*\*\*--  \d\d:\d\d:\d\d\.\d{3} - writer [0-3]x{200})");
    for (size_t i = 2; i < lines.size() - 1; ++i) {
        ASSERT_TRUE(std::regex_match(lines[i], line)) << lines[i];
    }
}

}  // namespace
