// Helpers of the end-to-end tests: run a built tool (vexasm, vexadis, vexasim) in a
// temporary folder and look at its exit status, standard output, log lines and files.
//
// Setting VEXASM_WRAPPER runs the tool under another program, e.g.
//   VEXASM_WRAPPER="valgrind -q --error-exitcode=1 --leak-check=full" ctest -R 'Vexasm|BadInput'
// Any report such a checker writes to standard error fails the test.
#pragma once

#include <gtest/gtest.h>

#include <sys/stat.h>
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

struct LogLine {
    std::string tag;
    std::string program;
    std::string message;
};

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;

    // The log lines on standard error, split into tag, program name and message. A line
    // that does not start with a log prefix continues the message of the line before it.
    std::vector<LogLine> log() const {
        static const std::regex prefix(
            R"(^(.{7})  [A-Z][a-z]{2} \d\d \d\d:\d\d:\d\d\.\d{3} ([^:]*): ([\s\S]*)$)");
        std::vector<LogLine> lines;
        std::istringstream in(err);
        std::string text;
        while (std::getline(in, text)) {
            std::smatch match;
            if (std::regex_match(text, match, prefix)) {
                lines.push_back({match[1], match[2], match[3]});
            } else if (!lines.empty()) {
                lines.back().message += "\n" + text;
            } else {
                lines.push_back({"", "", text});
            }
        }
        return lines;
    }

    std::vector<std::string> messages() const {
        std::vector<std::string> result;
        for (const LogLine& line : log()) {
            result.push_back(line.message);
        }
        return result;
    }

    bool hasMessage(const std::string& tag, const std::string& message) const {
        for (const LogLine& line : log()) {
            if (line.tag == tag && line.message == message) {
                return true;
            }
        }
        return false;
    }
};

inline const std::string kErrorTag = "****   ";
inline const std::string kWarningTag = "***    ";
inline const std::string kInfoTag = "+      ";

inline std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void writeFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << text;
}

inline std::string quoted(const fs::path& path) {
    std::string text(1, '\'');
    text.append(path.string()).push_back('\'');
    return text;
}

// A fixture with its own empty folder per test, removed afterwards.
class ToolRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::temp_directory_path() / ("vexasm_e2e_" + std::to_string(getpid()) + "_" +
                                           info->test_suite_name() + "_" + info->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(dir, ignored);
    }

    // Runs vexasm with the arguments (already quoted as the shell needs) in `dir`. A run
    // that takes longer than `seconds` is killed and reported with status 124.
    ToolRun run(const std::string& arguments, int seconds = 120) const {
        return runTool(VEXASM_PATH, arguments, seconds);
    }

    // Assembles `source` with vexasm into `base`.hex and returns the hex text.
    std::string assemble(const std::string& source, const std::string& base) const {
        writeFile(dir / (base + ".s"), source);
        const ToolRun result = run("-l quiet -o " + base + " " + base + ".s");
        EXPECT_EQ(result.status, 0) << source;
        return readFile(dir / (base + ".hex"));
    }

    // Runs `tool` the same way.
    ToolRun runTool(const std::string& tool, const std::string& arguments,
                    int seconds = 120) const {
        const fs::path out = dir / ".stdout";
        const fs::path err = dir / ".stderr";
        const char* wrapper = std::getenv("VEXASM_WRAPPER");
        const std::string command =
            "cd '" + dir.string() + "' && timeout " + std::to_string(seconds) + " " +
            (wrapper != nullptr ? wrapper : "") + " '" + tool + "' " + arguments + " > '" +
            out.string() + "' 2> '" + err.string() + "' < /dev/null";
        const int raw = std::system(command.c_str());
        ToolRun result;
        result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        result.out = readFile(out);
        result.err = readFile(err);
        fs::remove(out);
        fs::remove(err);
        if (wrapper != nullptr) {
            static const std::regex report(R"((^|\n)==\d+== )");
            EXPECT_FALSE(std::regex_search(result.err, report)) << tool << " " << arguments << "\n"
                                                                << result.err;
        }
        return result;
    }

    fs::path dir;
};
