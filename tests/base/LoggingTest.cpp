#include "base/Logging.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <tuple>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Each test logs into its own file and leaves the logger as it found it.
class LoggingTest : public ::testing::Test {
protected:
    void SetUp() override { fs::remove(m_path); }
    void TearDown() override {
        Logging::setLogFile(nullptr);
        Logging::open("prog", 7, nullptr);
        fs::remove(m_path);
    }
    bool openLog(int level) { return Logging::open("vexatest", level, m_pathText.c_str()); }
    std::string logText() {
        Logging::flush();
        return readFile(m_path);
    }

    const fs::path m_path = fs::temp_directory_path() /
                            ("vexa_logging_" + std::to_string(getpid()) + "_" +
                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    const std::string m_pathText = m_path.string();
};

TEST_F(LoggingTest, EveryLineHasItsTagTimeStampProgramNameAndMessage) {
    ASSERT_TRUE(openLog(8));
    EXPECT_EQ(Logging::getLogFileName(), m_pathText);
    const char* tags[] = {"\\*{7}",      "\\*{6} ",   "\\*{5}  ",  "\\*{4}   ", "\\*{3}    ",
                          "\\*\\*     ", "\\+      ", "\\.      ", "       "};
    std::string expected;
    for (int level = 0; level <= 8; ++level) {
        Logging::write(level, "value %d of %s", level, "x");
        expected += std::string(tags[level]) +
                    "  (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [0-3][0-9] "
                    "[0-2][0-9]:[0-5][0-9]:[0-6][0-9]\\.[0-9]{3} vexatest: value " +
                    std::to_string(level) + " of x\n";
    }
    const std::string text = logText();
    EXPECT_TRUE(std::regex_match(text, std::regex(expected))) << text;
}

TEST_F(LoggingTest, LevelFiltersMessagesAndQuietSilencesAll) {
    ASSERT_TRUE(openLog(6));
    Logging::write(7, "debug message");
    Logging::write(6, "info message");
    const std::string text = logText();
    EXPECT_EQ(text.find("debug message"), std::string::npos);
    EXPECT_NE(text.find("info message"), std::string::npos);

    EXPECT_FALSE(Logging::setLogLevel(std::string("x")));
    EXPECT_EQ(Logging::getLogLevel(), 6);
    EXPECT_TRUE(Logging::setLogLevel(std::string("q")));
    Logging::write(0, "emergency while quiet");
    Logging::writeText(0, "text while quiet");
    EXPECT_EQ(logText(), text);
}

TEST_F(LoggingTest, WriteTextKeepsNulBytesAndFormatCharacters) {
    ASSERT_TRUE(openLog(7));
    const std::string message("before\0after %s %n", 18);
    Logging::writeText(6, message);
    EXPECT_NE(logText().find("vexatest: " + message + "\n"), std::string::npos);
}

TEST(LoggingNamesTest, LevelNamesAndShortNames) {
    const std::tuple<int, const char*, const char*> rows[] = {
        {0, "emergency", "m"}, {1, "alert", "a"},    {2, "critical", "c"}, {3, "error", "e"},
        {4, "warning", "w"},   {5, "notice", "n"},   {6, "info", "i"},     {7, "debug", "d"},
        {8, "verbose", "v"},   {-1000, "quiet", "q"}};
    for (const auto& [level, name, shortName] : rows) {
        EXPECT_EQ(Logging::logLevelFromName(name), level) << name;
        EXPECT_EQ(Logging::logLevelFromName(shortName), level) << shortName;
        EXPECT_STREQ(Logging::logLevelToName(level), name) << level;
    }
    EXPECT_STREQ(Logging::logLevelToName(9), "unknown");
    EXPECT_EQ(Logging::logLevelFromName("Info"), -1);
}

TEST_F(LoggingTest, WithoutAUsableFileLinesGoToStandardError) {
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(Logging::open("vexasm", 6, nullptr));
    Logging::write(6, "to stderr");
    const std::string bad = (m_path / "missing" / "x.log").string();
    EXPECT_FALSE(Logging::open("vexatest", 6, bad.c_str()));
    Logging::write(6, "still logged");
    const std::string text = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(text.find(" vexasm: to stderr\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Could not open log file '" + bad + "'\n"), std::string::npos) << text;
    EXPECT_NE(text.find("still logged"), std::string::npos);
}

TEST_F(LoggingTest, ReopenStartsANewFileAfterRotation) {
    ASSERT_TRUE(openLog(6));
    Logging::write(6, "first");
    const fs::path rotated = m_path.string() + ".1";
    fs::rename(m_path, rotated);
    EXPECT_TRUE(Logging::reopen());
    Logging::write(6, "second");
    EXPECT_NE(readFile(rotated).find("first"), std::string::npos);
    const std::string text = logText();
    EXPECT_EQ(text.find("first"), std::string::npos);
    EXPECT_NE(text.find("second"), std::string::npos);
    fs::remove(rotated);
}

TEST_F(LoggingTest, StringFormatWarnsWhenItTruncates) {
    ASSERT_TRUE(openLog(4));
    EXPECT_EQ(stringFormat("%d-%s", 7, "ok"), "7-ok");
    EXPECT_EQ(logText(), "");
    EXPECT_EQ(stringFormat("%s", std::string(600, 'y').c_str()), std::string(511, 'y'));
    const std::regex line("\\*{3}    [^\n]* vexatest: stringFormat: output truncated\n");
    EXPECT_TRUE(std::regex_match(logText(), line)) << logText();
}

TEST(LoggingDeathTest, ThrowBugLogsUnlessBelowLevelZeroAndExitsWithStatusOne) {
    Logging::setLogFile(nullptr);
    const auto bug = [](int level) {
        Logging::setLogLevel(level);
        throwBug("seqprocessor/SeqInstructionDef", 120, "getArg", "bad id");
    };
    EXPECT_EXIT(bug(0), ::testing::ExitedWithCode(1),
                "THROW_BUG: file='seqprocessor/SeqInstructionDef', line=120, function='getArg', "
                "error='bad id'\n");
    EXPECT_EXIT(bug(-1), ::testing::ExitedWithCode(1), "^$");
}

} // namespace
