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
// TEXT is an error's message, or a line of the log text between "Simulation start:" and
// "Simulation end"; in an error's message "\n" stands for a line break. Errors that the file
// does not expect are mismatches too, each reported at its file and line.
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
#include "base/utils/SourceReader.h"
#include "sequencer/SeqAssembler.h"
#include "sequencer/asmparser/AsmContainer.h"
#include "sequencer/asmparser/AsmErrorList.h"
#include "sequencer/asmparser/AsmException.h"
#include "sequencer/seqprocessor/SeqProcessor.h"

namespace fs = std::filesystem;

namespace {

const fs::path kFolder = fs::path(VEXA_SOURCE_DIR) / "tests" / "golden";

// An error: line (0 without a position), column (-1 without one), marker length (-1 where
// the expectation leaves it open) and message.
struct Diagnostic {
    int line = 0, column = -1, length = -1;
    std::string text;

    bool matches(const Diagnostic& actual) const {
        return line == actual.line && column == actual.column && text == actual.text &&
               (length < 0 || length == actual.length);
    }
};

struct Expectations {
    std::map<int, uint64_t> words; // by line
    std::vector<Diagnostic> errors;
    bool simulate = false;
    int budget = 1000000;
    std::string log; // the log text between its start and end lines
    std::string outcome, counts;
    std::map<std::string, int> lineOf; // where a file-level expectation stands
};

std::string trimmed(std::string text) {
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

std::string unescape(std::string text) {
    for (size_t at = text.find("\\n"); at != std::string::npos; at = text.find("\\n", at + 1))
        text.replace(at, 2, "\n");
    return text;
}

Expectations readExpectations(const std::vector<std::string>& lines) {
    Expectations e;
    for (size_t i = 0; i < lines.size(); ++i) {
        const int lineNr = static_cast<int>(i) + 1;
        const std::string& line = lines[i];
        if (line.rfind("#|", 0) == 0) {
            e.log += "\n" + line.substr(line.size() > 2 && line[2] == ' ' ? 3 : 2);
            e.lineOf.emplace("log", lineNr);
        } else if (line.rfind("#! ", 0) == 0) {
            const std::string text = line.substr(3);
            const size_t colon = text.find(": ");
            const std::string key = text.substr(0, text.find_first_of(": "));
            const std::string value = colon == std::string::npos ? "" : text.substr(colon + 2);
            e.lineOf.emplace(key, lineNr);
            if (key == "error")
                e.errors.push_back({0, -1, -1, trimmed(unescape(value))});
            else if (key == "simulate")
                e.simulate = true, e.budget = std::stoi(text.substr(9));
            else if (key == "outcome")
                e.outcome = value;
            else if (key == "counts")
                e.counts = value;
            else
                ADD_FAILURE() << "line " << lineNr << ": unknown expectation " << key;
        } else if (const size_t hash = line.find('#'); hash != std::string::npos) {
            const std::string comment = line.substr(hash + 1);
            if (comment.rfind(" => ", 0) == 0) {
                e.words[lineNr] = std::stoull(comment.substr(4), nullptr, 16);
            } else if (comment.rfind(" error", 0) == 0) {
                const size_t colon = comment.find(": ");
                const std::string where = comment.substr(6, colon - 6);
                const size_t plus = where.find('+');
                e.errors.push_back(
                    {lineNr, where.empty() ? -1 : std::stoi(where),
                     plus == std::string::npos ? -1 : std::stoi(where.substr(plus + 1)),
                     trimmed(unescape(comment.substr(colon + 2)))});
            }
        }
    }
    return e;
}

Diagnostic diagnosticOf(const AsmError& error) {
    const auto* source = dynamic_cast<const AsmSourceError*>(&error);
    if (source == nullptr || source->errorInfos().empty() || !source->errorInfos()[0].hasSource())
        return {0, -1, -1, trimmed(error.message())};
    const SourceErrorRef& where = source->errorInfos()[0];
    // The column as the report gives it (counted from 0); none for a whole line.
    const bool hasColumn = where.errorStart() != std::string::npos;
    return {where.sourceLine()->lineNr(), hasColumn ? static_cast<int>(where.errorStart()) : -1,
            static_cast<int>(where.errorLength()), trimmed(source->streamedMessage())};
}

class GoldenFileTest : public ::testing::TestWithParam<fs::path> {};

TEST_P(GoldenFileTest, ExpectationsHold) {
    const fs::path path = kFolder / GetParam();
    const std::string file = GetParam().string();
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    const Expectations expected = readExpectations(lines);

    Logging::setLogLevel(Logging::quietLevel);
    seq driver;
    UIStr report;
    driver.assembleFile(path.string(), report);

    std::vector<Diagnostic> actual;
    for (const auto& error : driver.lastErrors())
        actual.push_back(diagnosticOf(*error));
    for (const Diagnostic& e : expected.errors) {
        const auto found = std::find_if(actual.begin(), actual.end(),
                                        [&](const Diagnostic& a) { return e.matches(a); });
        if (found != actual.end())
            actual.erase(found);
        else
            ADD_FAILURE_AT(file.c_str(), e.line != 0 ? e.line : expected.lineOf.at("error"))
                << "expected error at column " << e.column << ": " << e.text;
    }
    for (const Diagnostic& a : actual)
        ADD_FAILURE_AT(file.c_str(), a.line)
            << "unexpected error at column " << a.column << "+" << a.length << ": " << a.text;

    std::map<int, uint64_t> words;
    for (const auto& statement : driver.assembler()->asmStatements()) {
        const AsmInstruction* instruction = statement->asInstruction();
        if (statement->type() == AsmType::INSTRUCTION && instruction != nullptr &&
            instruction->address() >= 0 && statement->hasSource())
            words[statement->sourceLine()->lastLineNr()] = driver.processor()->readInstructionMem(
                static_cast<uint32_t>(instruction->address()));
    }
    for (const auto& [lineNr, word] : expected.words) {
        const auto found = words.find(lineNr);
        if (found == words.end())
            ADD_FAILURE_AT(file.c_str(), lineNr) << "no instruction word for this line";
        else if (found->second != word)
            ADD_FAILURE_AT(file.c_str(), lineNr)
                << std::hex << "word " << found->second << ", expected " << word;
    }

    if (!expected.simulate)
        return;
    seq_sim& sim = *driver.rt_simulator();
    UIStr message;
    sim.simulate(expected.budget, message);
    const std::string log = sim.rt_log_text();
    const std::string start = "\nSimulation start:", end = "\nSimulation end";
    const std::string entries = log.substr(start.size(), log.size() - start.size() - end.size());
    const int simulateLine = expected.lineOf.at("simulate");
    if (entries != expected.log)
        ADD_FAILURE_AT(file.c_str(),
                       expected.lineOf.count("log") ? expected.lineOf.at("log") : simulateLine)
            << "real-time log:" << entries << "\nexpected:" << expected.log;
    if (message != expected.outcome)
        ADD_FAILURE_AT(file.c_str(), expected.lineOf.count("outcome")
                                         ? expected.lineOf.at("outcome")
                                         : simulateLine)
            << "outcome: " << message << "\nexpected: " << expected.outcome;
    if (!expected.counts.empty()) {
        std::ostringstream counts;
        counts << sim.numInstructions() << " instructions, " << sim.classicalTick()
               << " classical, " << sim.realtimeTick() << " real-time";
        if (counts.str() != expected.counts)
            ADD_FAILURE_AT(file.c_str(), expected.lineOf.at("counts"))
                << "counts: " << counts.str() << "\nexpected: " << expected.counts;
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
