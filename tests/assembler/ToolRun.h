// Runs a built tool in an empty folder of its own and splits its standard error into log lines.
// VEXASM_WRAPPER (say "valgrind -q") runs it under a checker; its "==pid== " reports fail.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

inline const std::string kErrorTag = "****   ";
inline const std::string kWarningTag = "***    ";
inline const std::string kInfoTag = "+      ";

struct LogLine {
    std::string tag;
    std::string message;
};

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;

    // A line without a log prefix continues the message of the line before it.
    std::vector<LogLine> log() const {
        static const std::regex prefix(
            R"(^(.{7})  [A-Z][a-z]{2} \d\d \d\d:\d\d:\d\d\.\d{3} [^:]*: ([\s\S]*)$)");
        std::vector<LogLine> lines;
        std::istringstream in(err);
        for (std::string text; std::getline(in, text);) {
            std::smatch match;
            if (std::regex_match(text, match, prefix))
                lines.push_back({match[1], match[2]});
            else if (lines.empty())
                lines.push_back({"", text});
            else
                lines.back().message += "\n" + text;
        }
        return lines;
    }
    std::vector<std::string> messages() const {
        std::vector<std::string> result;
        for (const LogLine& line : log())
            result.push_back(line.message);
        return result;
    }
    // The first message that starts with `start`, or "".
    std::string messageStarting(const std::string& start) const {
        for (const std::string& message : messages())
            if (message.rfind(start, 0) == 0)
                return message;
        return "";
    }
};

inline std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void writeFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

class ToolRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::temp_directory_path() / ("vexa_e2e_" + std::to_string(getpid()) + "_" +
                                           info->test_suite_name() + "_" + info->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    // `arguments` are quoted as the shell needs them. The time limit only ends a hung run.
    ToolRun run(const std::string& tool, const std::string& arguments) const {
        const fs::path out = dir / ".stdout";
        const fs::path err = dir / ".stderr";
        const char* wrapper = std::getenv("VEXASM_WRAPPER");
        const std::string command = "cd '" + dir.string() + "' && timeout 600 " +
                                    (wrapper ? wrapper : "") + " '" + tool + "' " + arguments +
                                    " > .stdout 2> .stderr < /dev/null";
        const int raw = std::system(command.c_str());
        ToolRun result{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readFile(out), readFile(err)};
        fs::remove(out);
        fs::remove(err);
        EXPECT_FALSE(wrapper && std::regex_search(result.err, std::regex(R"((^|\n)==\d+== )")))
            << tool << " " << arguments << "\n"
            << result.err;
        return result;
    }
    ToolRun vexasm(const std::string& arguments) const { return run(VEXASM_PATH, arguments); }

    fs::path dir;
};
