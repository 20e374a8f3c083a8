#include "base/Logging.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
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
    void SetUp() override {
        m_path = fs::temp_directory_path() /
                 ("vexa_logging_" + std::to_string(getpid()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".log");
        fs::remove(m_path);
        m_pathText = m_path.string();
    }
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

    fs::path m_path;
    std::string m_pathText;
};

TEST_F(LoggingTest, LineHasTagTimeStampProgramNameAndMessage) {
    ASSERT_TRUE(openLog(6));
    EXPECT_EQ(Logging::getLogFileName(), m_pathText);
    Logging::write(6, "value %d of %s", 42, "x");
    const std::regex line("\\+        (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
                          "[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9]\\.[0-9]{3} "
                          "vexatest: value 42 of x\n");
    const std::string text = logText();
    EXPECT_TRUE(std::regex_match(text, line)) << text;
}

TEST_F(LoggingTest, EveryLevelHasItsSevenCharacterTag) {
    const struct {
        int level;
        const char* tag;
    } rows[] = {{0, "*******"}, {1, "****** "}, {2, "*****  "}, {3, "****   "}, {4, "***    "},
                {5, "**     "}, {6, "+      "}, {7, ".      "}, {8, "       "}};
    ASSERT_TRUE(openLog(8));
    for (const auto& row : rows)
        Logging::write(row.level, "m");
    const std::string text = logText();
    size_t pos = 0;
    for (const auto& row : rows) {
        ASSERT_LT(pos, text.size()) << "level " << row.level;
        EXPECT_EQ(text.substr(pos, 9), std::string(row.tag) + "  ") << "level " << row.level;
        pos = text.find('\n', pos) + 1;
    }
    EXPECT_EQ(pos, text.size());
}

TEST_F(LoggingTest, LevelFiltersMessages) {
    ASSERT_TRUE(openLog(6));
    Logging::write(7, "debug message");
    Logging::write(6, "info message");
    std::string text = logText();
    EXPECT_EQ(text.find("debug message"), std::string::npos);
    EXPECT_EQ(text.rfind("+      ", 0), 0u) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);

    EXPECT_TRUE(Logging::setLogLevel(std::string("q")));
    EXPECT_EQ(Logging::getLogLevel(), -1000);
    Logging::write(0, "emergency while quiet");
    Logging::writeText(0, "text while quiet");
    EXPECT_EQ(logText(), text);
}

TEST_F(LoggingTest, WriteTextKeepsNulBytesAndFormatCharacters) {
    ASSERT_TRUE(openLog(7));
    const std::string message("before\0after %s %n", 18);
    Logging::writeText(6, message);
    const std::string text = logText();
    EXPECT_NE(text.find("vexatest: " + message + "\n"), std::string::npos);
}

TEST_F(LoggingTest, LevelNamesAndShortNames) {
    const struct {
        int level;
        const char* name;
        const char* shortName;
    } rows[] = {{0, "emergency", "m"}, {1, "alert", "a"},   {2, "critical", "c"},
                {3, "error", "e"},     {4, "warning", "w"}, {5, "notice", "n"},
                {6, "info", "i"},      {7, "debug", "d"},   {8, "verbose", "v"},
                {-1000, "quiet", "q"}};
    for (const auto& row : rows) {
        EXPECT_EQ(Logging::logLevelFromName(row.name), row.level) << row.name;
        EXPECT_EQ(Logging::logLevelFromName(row.shortName), row.level) << row.shortName;
        EXPECT_STREQ(Logging::logLevelToName(row.level), row.name) << row.level;
    }
    EXPECT_STREQ(Logging::logLevelToName(9), "unknown");
    EXPECT_STREQ(Logging::logLevelToName(-1), "unknown");
    EXPECT_EQ(Logging::logLevelFromName("Info"), -1);
    EXPECT_EQ(Logging::logLevelFromName(""), -1);

    Logging::setLogLevel(6);
    EXPECT_FALSE(Logging::setLogLevel(std::string("x")));
    EXPECT_EQ(Logging::getLogLevel(), 6);
    EXPECT_STREQ(Logging::getLogLevelName(), "info");
    EXPECT_TRUE(Logging::isLogLevelActive(6));
    EXPECT_FALSE(Logging::isLogLevelActive(7));
}

TEST_F(LoggingTest, OpenWithoutFileKeepsWritingToStandardError) {
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(Logging::open("vexasm", 6, nullptr));
    Logging::write(6, "to stderr");
    const std::string text = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(text.find(" vexasm: to stderr\n"), std::string::npos) << text;
    EXPECT_EQ(Logging::getLogFileName(), "");
}

TEST_F(LoggingTest, UnopenableFileFallsBackToStandardError) {
    const std::string bad = (m_path / "missing" / "x.log").string();
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(Logging::open("vexatest", 6, bad.c_str()));
    Logging::write(6, "still logged");
    const std::string text = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(text.find("*****  "), std::string::npos);
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

TEST_F(LoggingTest, StringFormatTruncatesAt511CharactersWithWarning) {
    ASSERT_TRUE(openLog(7));
    const std::string longText(600, 'y');
    const std::string result = stringFormat("%s", longText.c_str());
    EXPECT_EQ(result, longText.substr(0, 511));
    EXPECT_NE(logText().find("***    "), std::string::npos);
    EXPECT_NE(logText().find("stringFormat: output truncated\n"), std::string::npos);

    EXPECT_EQ(stringFormat("%d-%s", 7, "ok"), "7-ok");
    const std::string text = logText();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
}

TEST(LoggingDeathTest, ThrowBugLogsAndExitsWithStatusOne) {
    EXPECT_EXIT(
        {
            Logging::setLogFile(nullptr);
            Logging::setLogLevel(0);
            throwBug("seqprocessor/SeqInstructionDef", 120, "getArg", "bad id");
        },
        ::testing::ExitedWithCode(1),
        "THROW_BUG: file='seqprocessor/SeqInstructionDef', line=120, function='getArg', "
        "error='bad id'\n");
}

TEST(LoggingDeathTest, ThrowBugWhileQuietOnlyExits) {
    EXPECT_EXIT(
        {
            Logging::setLogFile(nullptr);
            Logging::setLogLevel(-1);
            throwBug("SeqAssembler", 79, "asmSectionFinish", "x");
        },
        ::testing::ExitedWithCode(1), "^$");
}

} // namespace
