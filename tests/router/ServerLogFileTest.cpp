// The server log's file layout and its behaviour under concurrent writers.

#include "PlenvarServerLogFile.h"
#include "RouterTestSupport.h"

#include <gtest/gtest.h>

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

// " hh:mm:ss.mmm"
bool IsTimeStamp(std::string_view text) {
    const std::string_view shape = " 00:00:00.000";
    if (text.size() != shape.size()) {
        return false;
    }
    for (size_t i = 0; i < shape.size(); ++i) {
        bool digit = text[i] >= '0' && text[i] <= '9';
        if (shape[i] == '0' ? !digit : text[i] != shape[i]) {
            return false;
        }
    }
    return true;
}

// tag + time stamp + " - " + message
bool IsLine(const std::string& line, const std::string& tag, const std::string& message) {
    const size_t stamp = tag.size();
    const size_t rest = stamp + 13;
    return line.size() == rest + 3 + message.size() && line.compare(0, stamp, tag) == 0 &&
           IsTimeStamp(std::string_view(line).substr(stamp, 13)) && line.compare(rest, 3, " - ") == 0 &&
           line.compare(rest + 3, std::string::npos, message) == 0;
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
    EXPECT_TRUE(IsTimeStamp(lines[1])) << lines[1];
    const std::pair<std::string, std::string> expected[] = {
        {"--** NOTICE ***-- ", "Node ID: 1001 - Creating Server Socket"},
        {"--*** ERROR ***-- ", "e"},
        {"--** WARNING **-- ", "w"},
        {"--**** FATAL **-- ", "f"},
        {"--*   DATA   **-- ", "d"},
        {"--** UNKNOWN **-- ", "u"},
    };
    for (size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_TRUE(IsLine(lines[i + 2], expected[i].first, expected[i].second)) << lines[i + 2];
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
    for (size_t i = 2; i < lines.size() - 1; ++i) {
        const size_t digit = lines[i].find("writer ") + 7;
        ASSERT_LT(digit, lines[i].size()) << lines[i];
        const std::string message = "writer " + std::string(1, lines[i][digit]) + std::string(200, 'x');
        ASSERT_TRUE(lines[i][digit] >= '0' && lines[i][digit] <= '3') << lines[i];
        ASSERT_TRUE(IsLine(lines[i], "--** NOTICE ***-- ", message)) << lines[i];
    }
}

}  // namespace
