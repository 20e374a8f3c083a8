// The assembly pass: runs over whole sources and as the driver's ".CODE" section, the
// instruction memory it fills, the errors it collects, its timers and the CPU block.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "SeqAssemblerFixture.h"
#include "base/utils/SourceLine.h"
#include "sequencer/asmparser/AsmException.h"
#include "sequencer/seqprocessor/SeqProcError.h"

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

using SeqAssemblerTest = AssemblerFixture;

namespace {

std::string repeat(const std::string& line, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += line;
    }
    return text;
}

constexpr uint64_t nopWord = 0x1000000000000000;
constexpr uint64_t stopWord = 0x0800000000000000;

} // namespace

TEST_F(SeqAssemblerTest, EmptySourceGivesNoWordsAndNoError) {
    EXPECT_EQ(assemble(""), 0);
    EXPECT_EQ(assemble("# only a comment\n\n   \n"), 0);
    EXPECT_EQ(assembler.numInstructions(), 0u);
}

TEST_F(SeqAssemblerTest, ProgramOneWordTooLongIsOneErrorAndFillsTheMemory) {
    ASSERT_EQ(assemble(repeat("nop\n", 4097)), 1);
    EXPECT_EQ(errors.front()->message(), "Program too long (4097). Maximum 4096 instructions");
    EXPECT_STREQ(errors.front()->errorType(), "Asm program too long");
    EXPECT_EQ(assembler.numInstructions(), 4096u);
    EXPECT_EQ(processor.readInstructionMem(0), nopWord);
    EXPECT_EQ(processor.readInstructionMem(4095), nopWord);
}

TEST_F(SeqAssemblerTest, EveryBadInstructionIsOneErrorAndTheOthersAreEncoded) {
    processor.writeInstructionMem(0, ~uint64_t{0});
    ASSERT_EQ(assemble("frob\nstop\nwait 3\nnop\n"), 2) << report();
    EXPECT_EQ(errors.front()->lineNr(), 1);
    EXPECT_EQ(errors.back()->lineNr(), 3);
    // Words that were not written read as 0, also where an earlier run left something.
    EXPECT_EQ(words(), (std::vector<uint64_t>{0, stopWord, 0, nopWord}));
}

TEST_F(SeqAssemblerTest, ParseAndAddressErrorsStopBeforeEncoding) {
    EXPECT_EQ(assemble("nop\nnop 1 2\n"), 1);
    EXPECT_EQ(assembler.numInstructions(), 0u);
    EXPECT_EQ(assemble("jmp @nowhere\njmp @nowhere\n"), 2);
    EXPECT_THAT(errorText(0), HasSubstr("Unresolved address label: nowhere"));
    EXPECT_EQ(assembler.numInstructions(), 0u);
}

TEST_F(SeqAssemblerTest, RunAfterAFailedRunStartsClean) {
    ASSERT_EQ(assemble("top: nop\n.DEF N 3\nwait $N\nfrob\n"), 2);
    // The same label and symbol again: no duplicates are left from the failed run.
    ASSERT_EQ(assemble("top: stop\n.DEF N 4\nwait $N\njmp @top\n"), 0) << report();
    EXPECT_EQ(words(), (std::vector<uint64_t>{stopWord, 0xDC00100000000000, 0x1C00000000000000}));
    ASSERT_EQ(assemble("nop\n"), 0);
    EXPECT_EQ(assembler.numInstructions(), 1u);
}

TEST_F(SeqAssemblerTest, WithoutInstructionMemoryNothingIsAssembled) {
    SeqProcessor noMemory(seq_instr_set());
    SeqAssembler empty(&noMemory, AsmSyntax());
    AsmErrorList list;
    StringSourceReader reader("nop\n", "test.s");
    EXPECT_EQ(empty.assemble(reader, list), 1);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list.front()->message(), "Can not assemble source: No instruction memory defined.");

    AsmErrorList sectionErrors;
    EXPECT_EQ(empty.asmSectionStart(sectionErrors), 1);
    EXPECT_EQ(sectionErrors.size(), 1u);
    empty.asmSectionFinish(sectionErrors);
    EXPECT_EQ(sectionErrors.size(), 1u);

    SeqAssembler noProcessor;
    AsmErrorList none;
    EXPECT_EQ(noProcessor.asmSectionStart(none), 1);
}

TEST_F(SeqAssemblerTest, SectionInterfaceGivesTheSameProgramAsAStandaloneRun) {
    const std::string source = "start: move 5, R1\n  loop R1, @start\nstop\n";
    ASSERT_EQ(assemble(source), 0) << report();
    const std::vector<uint64_t> standalone = words();

    AsmSection& section = assembler;
    EXPECT_EQ(section.asmSectionGetDirective(), ".CODE");
    AsmErrorList list;
    EXPECT_EQ(section.asmSectionStart(list), 0);
    EXPECT_EQ(assembler.numInstructions(), 0u);
    std::istringstream lines(source);
    std::string text;
    for (int number = 1; std::getline(lines, text); ++number) {
        EXPECT_FALSE(
            section.asmSectionProcessLine(std::make_shared<const SourceLine>(text, number), list));
    }
    section.asmSectionFinish(list);
    EXPECT_TRUE(list.empty()) << list.toStringFullReport("assembler");
    EXPECT_EQ(words(), standalone);
}

TEST_F(SeqAssemblerTest, WriteInstructionMemZeroesGapsAndRefusesAddressesBeyondTheMemory) {
    for (uint32_t a = 0; a < 8; ++a) {
        processor.writeInstructionMem(a, ~uint64_t{0});
    }
    assembler.writeInstructionMem(5, 42);
    EXPECT_EQ(assembler.numInstructions(), 6u);
    EXPECT_EQ(words(), (std::vector<uint64_t>{0, 0, 0, 0, 0, 42}));
    assembler.writeInstructionMem(2, 7);
    EXPECT_EQ(assembler.numInstructions(), 6u);
    EXPECT_EQ(processor.readInstructionMem(2), 7u);
    try {
        assembler.writeInstructionMem(4096, 1);
        ADD_FAILURE() << "no error beyond the memory";
    } catch (const SeqProcMemoryError& e) {
        EXPECT_STREQ(e.what(), "Attempt to write instruction at address 4096 beyond maximum "
                               "address 4095");
    }
    // The words up to the end of the memory are zeroed, none beyond.
    EXPECT_EQ(processor.readInstructionMem(7), 0u);
    EXPECT_EQ(assembler.numInstructions(), 6u);
}

TEST_F(SeqAssemblerTest, TimersCountTheEncodedInstructions) {
    std::FILE* log = std::tmpfile();
    ASSERT_NE(log, nullptr);
    std::FILE* previous = Logging::getLogFile();
    Logging::setLogFile(log);
    Logging::setLogLevel(6);

    assembler.printTimers("before");
    ASSERT_EQ(assemble("nop\nnop\nstop\n"), 0);
    ASSERT_EQ(assembler.getTimers().size(), 2u); // the parser's and the assembler's
    assembler.printTimers("title line");
    Logging::setLogLevel(Logging::quietLevel);
    assembler.printTimers("not written");

    Logging::setLogFile(previous);
    std::rewind(log);
    std::string text;
    for (int c; (c = std::fgetc(log)) != EOF;) {
        text += static_cast<char>(c);
    }
    std::fclose(log);

    EXPECT_THAT(text, HasSubstr(": before\n\n"));
    EXPECT_THAT(text, HasSubstr(": title line\nparse: "));
    EXPECT_THAT(text, HasSubstr("\nassemble: "));
    EXPECT_THAT(text, HasSubstr(" for 3 instructions = "));
    EXPECT_THAT(text, Not(HasSubstr("not written")));

    assembler.clearTimers();
    EXPECT_TRUE(assembler.getTimers().empty());
}

TEST_F(SeqAssemblerTest, CpuInfoBlock) {
    ::testing::internal::CaptureStdout();
    SeqAssembler::printCPU_info();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "CPU info:"
                                                        "\n\tSize of int           : 32 bits"
                                                        "\n\tSize of long int      : 64 bits"
                                                        "\n\tSize of long long int : 64 bits"
                                                        "\n\tSize of instruction_t : 64 bits"
                                                        "\n\tSize of Arg::value_t  : 64 bits\n");
}

TEST_F(SeqAssemblerTest, GenerateRandomProgramWritesNothing) {
    std::ostringstream out;
    EXPECT_FALSE(assembler.generateRandomProgram(out, 10));
    EXPECT_TRUE(out.str().empty());
}
