// Runs every assembly file in this folder's subfolders through the driver and checks the
// expectations written in its own comments, next to the lines they concern:
//
//     add  R1, 5, R2      # => 4400008100000005    the word this line's instruction encodes to
//     wait 3              # error 13: TEXT         an error at this line, column 13 (from 0)
//     wait 3              # error 13+1: TEXT       ... whose marker is 1 character long
//     #! error: TEXT                               an error without a position
//     #! simulate 1000                             run the simulator with this budget
//     #| TEXT                                      a line of the expected real-time log
//     #! outcome: TEXT                             why the run ended (else it ends with stop)
//     #! counts: 3 instructions, 4 classical, 120 real-time
//
// TEXT is an error's message ("\n" for a line break) or a line of the log between "Simulation
// start:" and "Simulation end". Unexpected errors are mismatches too; each is reported at its line.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "assembler/seq.h"
#include "assembler/seq_sim.h"
#include "base/Logging.h"
#include "sequencer/SeqAssembler.h"
#include "sequencer/asmparser/AsmContainer.h"
#include "sequencer/asmparser/AsmErrorList.h"
#include "sequencer/asmparser/AsmException.h"
#include "sequencer/seqprocessor/SeqProcessor.h"

namespace fs = std::filesystem;

namespace {

const fs::path kFolder = fs::path(VEXA_SOURCE_DIR) / "tests" / "golden";

// An error's line (0: none), "COLUMN+LENGTH" ("" for the whole line) and the line to report at.
struct Error {
    int line, reportAt;
    std::string where, text;
};

std::string trimmed(std::string text) {
    return text.erase(text.find_last_not_of(' ') + 1);
}

std::string unescape(std::string text) {
    for (size_t at = text.find("\\n"); at != std::string::npos; at = text.find("\\n", at + 1))
        text.replace(at, 2, "\n");
    return trimmed(text);
}

Error errorOf(const AsmError& error) {
    const auto* source = dynamic_cast<const AsmSourceError*>(&error);
    if (source == nullptr || source->errorInfos().empty() || !source->errorInfos()[0].hasSource())
        return {0, 0, "", trimmed(error.message())};
    const SourceErrorRef& at = source->errorInfos()[0];
    const int line = at.sourceLine()->lineNr();
    const std::string where =
        std::to_string(at.errorStart()) + "+" + std::to_string(at.errorLength());
    return {line, line, at.errorStart() == std::string::npos ? "" : where,
            trimmed(source->streamedMessage())};
}

class GoldenFileTest : public ::testing::TestWithParam<fs::path> {};

TEST_P(GoldenFileTest, ExpectationsHold) {
    const std::string file = (kFolder / GetParam()).string();
    std::vector<Error> errors;
    std::map<int, uint64_t> words;                          // by line
    std::map<std::string, std::pair<int, std::string>> run; // line and value of each key
    std::ifstream in(file, std::ios::binary);
    std::string line;
    for (int lineNr = 1; std::getline(in, line); ++lineNr) {
        const size_t hash = line.find('#');
        const std::string comment = hash == std::string::npos ? "" : line.substr(hash + 1);
        if (line.rfind("#|", 0) == 0) {
            run.try_emplace("log", lineNr, "").first->second.second +=
                "\n" + line.substr(line.size() > 2 && line[2] == ' ' ? 3 : 2);
        } else if (line.rfind("#! ", 0) == 0) {
            const std::string text = line.substr(3), key = text.substr(0, text.find_first_of(": "));
            const std::string value =
                text.substr(std::min(text.find_first_not_of(": ", key.size()), text.size()));
            if (key == "error")
                errors.push_back({0, lineNr, "", unescape(value)});
            else if (key == "simulate" || key == "outcome" || key == "counts")
                run[key] = {lineNr, value};
            else
                ADD_FAILURE_AT(file.c_str(), lineNr) << "unknown expectation " << key;
        } else if (comment.rfind(" => ", 0) == 0) {
            words[lineNr] = std::stoull(comment.substr(4), nullptr, 16);
        } else if (comment.rfind(" error", 0) == 0) {
            const size_t colon = comment.find(": ");
            std::string where = comment.substr(6, colon - 6);
            where.erase(0, where.find_first_not_of(' '));
            errors.push_back({lineNr, lineNr, where, unescape(comment.substr(colon + 2))});
        }
    }

    Logging::setLogLevel(Logging::quietLevel);
    seq driver;
    UIStr report;
    driver.assembleFile(file, report);
    std::vector<Error> actual;
    for (const auto& error : driver.lastErrors())
        actual.push_back(errorOf(*error));
    for (const Error& e : errors) {
        const auto found = std::find_if(actual.begin(), actual.end(), [&](const Error& a) {
            return a.line == e.line && a.text == e.text &&
                   (a.where == e.where || a.where.substr(0, a.where.find('+')) == e.where);
        });
        if (found == actual.end())
            ADD_FAILURE_AT(file.c_str(), e.reportAt)
                << "expected error " << e.where << ": " << e.text;
        else
            actual.erase(found);
    }
    for (const Error& a : actual)
        ADD_FAILURE_AT(file.c_str(), a.line) << "unexpected error " << a.where << ": " << a.text;

    for (const auto& statement : driver.assembler()->asmStatements()) {
        const AsmInstruction* instruction = statement->asInstruction();
        if (instruction == nullptr || instruction->address() < 0 || !statement->hasSource())
            continue;
        const auto expected = words.find(statement->sourceLine()->lastLineNr());
        if (expected == words.end())
            continue;
        const uint64_t word =
            driver.processor()->readInstructionMem(static_cast<uint32_t>(instruction->address()));
        if (expected->second != word)
            ADD_FAILURE_AT(file.c_str(), expected->first)
                << std::hex << "word " << word << ", expected " << expected->second;
        words.erase(expected);
    }
    for (const auto& [lineNr, word] : words)
        ADD_FAILURE_AT(file.c_str(), lineNr) << "no instruction word for this line";

    if (run.count("simulate") == 0)
        return;
    seq_sim& sim = *driver.rt_simulator();
    UIStr message;
    sim.simulate(std::stoi(run["simulate"].second), message);
    const std::string log = sim.rt_log_text();
    const size_t start = std::string("\nSimulation start:").size();
    std::ostringstream counts;
    counts << sim.numInstructions() << " instructions, " << sim.classicalTick() << " classical, "
           << sim.realtimeTick() << " real-time";
    const std::pair<std::string, std::string> results[] = {
        {"log", log.substr(start, log.size() - start - std::string("\nSimulation end").size())},
        {"outcome", message},
        {"counts", counts.str()}};
    for (const auto& [key, result] : results) {
        if (key == "counts" && run.count(key) == 0)
            continue; // checked only where the file gives them
        const auto [at, expected] = run.try_emplace(key, run["simulate"].first, "").first->second;
        if (result != expected)
            ADD_FAILURE_AT(file.c_str(), at) << key << ": " << result << "\nexpected: " << expected;
    }
}

std::vector<fs::path> goldenFiles() {
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(kFolder))
        if (entry.path().extension() == ".s")
            files.push_back(fs::relative(entry.path(), kFolder));
    std::sort(files.begin(), files.end());
    return files;
}

INSTANTIATE_TEST_SUITE_P(Files, GoldenFileTest, ::testing::ValuesIn(goldenFiles()),
                         [](const ::testing::TestParamInfo<fs::path>& param) {
                             std::string name = param.param.string();
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

} // namespace
