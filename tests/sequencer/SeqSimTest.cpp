#include "sequencer/SeqSim.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/Logging.h"
#include "sequencer/seqprocessor/SeqProcError.h"
#include "tests/sequencer/SimulatorTestSupport.h"

namespace {

// A generic processor description with the layout of the Vexa word: the generic mnemonics
// and one ("frob") that no simulator executes.
enum { IMM, REG0, REG1, REG2, ADDR, SELECT, OPCODE };
enum { DST, SRC, SRC_IMM, LFT, RGT, RGT_IMM, ADR_IMM, ADR_REG, LOOP_CNT };

SeqInstructionSet testSet(bool moveWithoutDestination = false) {
    const std::initializer_list<SeqFieldInit> fields = {
        {IMM, "IMM", 31, 0},       {REG0, "REG0", 5, 0},         {REG1, "REG1", 37, 32},
        {REG2, "REG2", 43, 38},    {ADDR, "INSTR_ADDR", 49, 38}, {SELECT, "SELECT", 58, 58},
        {OPCODE, "OPCODE", 63, 59}};
    const std::initializer_list<SeqArgumentInit> args = {
        {DST, "alu_dst_reg", "R", REG2, 0, 63},      {SRC, "alu_src_reg", "R", REG0, 0, 63},
        {SRC_IMM, "alu_src_imm", "", IMM, 0, -1},    {LFT, "alu_lft_reg", "R", REG1, 0, 63},
        {RGT, "alu_rgt_reg", "R", REG0, 0, 63},      {RGT_IMM, "alu_rgt_imm", "", IMM, 0, -1},
        {ADR_IMM, "ins_adr_imm", "", ADDR, 0, -1},   {ADR_REG, "ins_adr_reg", "R", REG2, 0, 63},
        {LOOP_CNT, "loop_cnt_reg", "R", REG1, 0, 63}};
    if (moveWithoutDestination)
        return SeqInstructionSet("broken", 1, 0, OPCODE, SELECT, fields, args,
                                 {{0, "illegal", 0}, {7, "move", 1, SRC_IMM}});
    SeqInstructionSet set("test", 1, 0, OPCODE, SELECT, fields, args,
                          {{0, "illegal", 0}, {1, "stop", 0}, {2, "nop", 0}, {16, "frob", 0}});
    // The other mnemonics in an immediate (select 1) and a register (select 0) variant.
    const auto addVariants = [&set](uint32_t opcode, const char* mnemonic,
                                    std::vector<uint32_t> immediate,
                                    std::vector<uint32_t> registers) {
        SeqInstructionInit variant(opcode, mnemonic, 1);
        variant.argIds = std::move(immediate);
        set.add(variant);
        variant.select = 0;
        variant.argIds = std::move(registers);
        set.add(variant);
    };
    addVariants(3, "jmp", {ADR_IMM}, {ADR_REG});
    addVariants(4, "jge", {LFT, RGT_IMM, ADR_IMM}, {LFT, RGT_IMM, ADR_REG});
    addVariants(5, "jlt", {LFT, RGT_IMM, ADR_IMM}, {LFT, RGT_IMM, ADR_REG});
    addVariants(6, "loop", {LOOP_CNT, ADR_IMM}, {LOOP_CNT, ADR_REG});
    addVariants(7, "move", {SRC_IMM, DST}, {SRC, DST});
    addVariants(10, "not", {SRC_IMM, DST}, {SRC, DST});
    const std::pair<uint32_t, const char*> arithmetic[] = {
        {8, "add"}, {9, "sub"}, {11, "and"}, {12, "or"}, {13, "xor"}, {14, "asl"}, {15, "asr"}};
    for (const auto& [opcode, mnemonic] : arithmetic)
        addVariants(opcode, mnemonic, {LFT, RGT_IMM, DST}, {LFT, RGT, DST});
    return set;
}

class SeqSimTest : public ::testing::Test {
protected:
    explicit SeqSimTest(SeqProcessor::address_t words = 64, SeqProcessor::address_t regs = 64)
        : processor(testSet(), words, regs), sim(&processor) {
        processor.setClockFrequencies(250.0, 250.0);
    }

    void load(const std::vector<std::string>& program) {
        processor.initInstructionMem(0, processor.instructionMemSizeWords());
        for (size_t a = 0; a < program.size(); ++a)
            processor.writeInstructionMem(
                static_cast<uint32_t>(a),
                encodeInstruction(processor.instructionSet(), program[a]));
    }
    // Runs the program; returns the message ("" for a run that ended with stop).
    std::string run(const std::vector<std::string>& program, int budget = 1000) {
        load(program);
        std::string message;
        const bool failed = sim.simulate(budget, message);
        EXPECT_EQ(failed, !message.empty()) << message;
        return message;
    }
    uint32_t reg(uint32_t a) const { return processor.readRegister(a); }

    SeqProcessor processor;
    SeqSim sim;
};

TEST_F(SeqSimTest, StopAloneTakesOneInstructionAndOneTick) {
    LogCapture log(6);
    load({"stop"});
    EXPECT_FALSE(sim.simulate(10));
    EXPECT_EQ(sim.numInstructions(), 1u);
    EXPECT_EQ(sim.classicalTick(), 1u);
    EXPECT_EQ(sim.realtimeTick(), 0u);
    EXPECT_EQ(sim.pc(), 0u);
    EXPECT_FALSE(sim.isRunning());
    const std::string text = log.text();
    EXPECT_NE(text.find(": Simulation finished\n"), std::string::npos) << text;
    EXPECT_NE(text.find(": \nSimulated 1 instructions which took 1 classical cycles (0.004 us) "
                        "and 0 real-time cycles (0.000 us).\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("interrupted"), std::string::npos) << text;
}

TEST_F(SeqSimTest, AllZeroMemoryIsIllegalAtAddressZero) {
    LogCapture log(6);
    load({});
    EXPECT_TRUE(sim.simulate(10));
    EXPECT_EQ(sim.numInstructions(), 0u);
    EXPECT_EQ(sim.classicalTick(), 0u);
    const std::string text = log.text();
    EXPECT_NE(text.find(": ILLEGAL instruction at instruction address:  0\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find(": Simulation interrupted\n"), std::string::npos) << text;

    EXPECT_EQ(run({"nop", "nop", "illegal"}), "ILLEGAL instruction at instruction address:  2");
    EXPECT_EQ(sim.pc(), 2u);
    EXPECT_EQ(sim.numInstructions(), 2u);
}

TEST_F(SeqSimTest, BudgetEndsSelfJump) {
    EXPECT_EQ(run({"jmp 0"}, 10), "Maximum number of instructions reached (10). Could the "
                                  "program be running an infinite loop?");
    EXPECT_EQ(sim.numInstructions(), 11u);
    EXPECT_EQ(sim.classicalTick(), 44u);
    // A negative budget compares as a huge unsigned number.
    EXPECT_EQ(run({"move 30, R1", "nop", "loop R1, 2", "stop"}, -1), "");
    EXPECT_EQ(sim.numInstructions(), 33u);
    EXPECT_EQ(run({"move 30, R1", "nop", "loop R1, 2", "stop"}, 20),
              "Maximum number of instructions reached (20). Could the program be running an "
              "infinite loop?");
}

class SmallMemoryTest : public SeqSimTest {
protected:
    SmallMemoryTest() : SeqSimTest(4, 8) {}
};

TEST_F(SmallMemoryTest, RunningOffTheEndOfMemory) {
    EXPECT_EQ(run({"nop", "nop", "nop", "nop"}),
              "Attempt to read instruction at address 4 beyond maximum address 3");
    EXPECT_EQ(sim.numInstructions(), 4u);
    EXPECT_EQ(sim.classicalTick(), 4u);
    EXPECT_EQ(run({"jmp 9"}), "Attempt to read instruction at address 9 beyond maximum address 3");
}

TEST_F(SmallMemoryTest, RegisterAddressesBeyondTheRegisterFile) {
    EXPECT_EQ(run({"add R0, 1, R8"}),
              "Attempt to write register at address 8 beyond maximum address 7");
    EXPECT_EQ(run({"move 1, R9"}), "Attempt to write data at address 9 beyond maximum address 7");
    EXPECT_EQ(run({"add R10, 1, R1"}),
              "Attempt to read data at address 10 beyond maximum address 7");
    EXPECT_EQ(run({"add R1, R11, R1"}),
              "Attempt to read data at address 11 beyond maximum address 7");
    EXPECT_EQ(run({"loop R12, 0"}), "Attempt to read data at address 12 beyond maximum address 7");
    EXPECT_THROW(sim.getPrefetchedRegister(8), SeqProcMemoryError);
    EXPECT_THROW(sim.setRegister(8, 1), SeqProcMemoryError);
}

TEST_F(SeqSimTest, LeftOperandSeesWriteOfPreviousInstructionLate) {
    EXPECT_EQ(run({"nop", "move 5, R1", "nop",
                   "add R1, 10, R2", // t3: R1 current; R2 = 15 written at t4
                   "add R2, 1, R3",  // t5: R2 written at t4 reads the old 0
                   "add R2, 1, R4",  // t7: the new 15
                   "stop"}),
              "");
    EXPECT_EQ(reg(1), 5u);
    EXPECT_EQ(reg(2), 15u);
    EXPECT_EQ(reg(3), 1u);
    EXPECT_EQ(reg(4), 16u);
    EXPECT_EQ(sim.classicalTick(), 10u);
    EXPECT_EQ(sim.numInstructions(), 7u);
    EXPECT_EQ(sim.pc(), 6u);
}

TEST_F(SeqSimTest, RightOperandIsAlwaysCurrentAndRegisterFormWritesLater) {
    EXPECT_EQ(run({"nop", "move 3, R1", "nop",
                   "add R1, 4, R2",  // t3: R2 = 7 written at t4
                   "add R0, R2, R3", // t5: right operand current 7; R3 written at t7
                   "add R3, 0, R4",  // t8: R3 still old
                   "add R3, 0, R5",  // t10: R3 new
                   "stop"}),
              "");
    EXPECT_EQ(reg(3), 7u);
    EXPECT_EQ(reg(4), 0u);
    EXPECT_EQ(reg(5), 7u);
    EXPECT_EQ(sim.classicalTick(), 13u);
}

TEST_F(SeqSimTest, MoveRecordsNoWriteTick) {
    // Tick 0 counts as every register's latest write: reads in ticks 0 and 1 see 0.
    EXPECT_EQ(run({"move 5, R1", "add R1, 0, R2", "stop"}), "");
    EXPECT_EQ(reg(2), 0u);
    // From tick 2 on a prefetched read right after a move sees the moved value.
    EXPECT_EQ(run({"nop", "move 5, R1", "add R1, 0, R2", "stop"}), "");
    EXPECT_EQ(reg(2), 5u);
    EXPECT_EQ(sim.classicalTick(), 5u);
    // Register moves read their source prefetched.
    EXPECT_EQ(run({"nop", "nop", "add R0, 9, R1", "move R1, R2", "nop", "move R1, R3", "stop"}),
              "");
    EXPECT_EQ(reg(2), 0u);
    EXPECT_EQ(reg(3), 9u);
}

TEST_F(SeqSimTest, LoopCountsDownAndWrapsFromZero) {
    EXPECT_EQ(run({"move 3, R1", "nop", "nop", "loop R1, 3", "stop"}), "");
    EXPECT_EQ(reg(1), 0u);
    EXPECT_EQ(sim.numInstructions(), 7u);
    EXPECT_EQ(sim.classicalTick(), 3u + 4u + 4u + 1u + 1u);
    EXPECT_EQ(sim.pc(), 4u);

    EXPECT_EQ(run({"loop R1, 2", "illegal", "stop"}), "");
    EXPECT_EQ(reg(1), 4294967295u);
    EXPECT_EQ(sim.numInstructions(), 2u);
    EXPECT_EQ(sim.classicalTick(), 5u);
    EXPECT_EQ(sim.pc(), 2u);

    // Register target, read current.
    EXPECT_EQ(run({"move 2, R1", "move 3, R2", "nop", "loop R1, R2", "stop"}), "");
    EXPECT_EQ(reg(1), 0u);
    EXPECT_EQ(sim.numInstructions(), 6u);
}

struct AluCase {
    const char* mnemonic;
    uint32_t lft;
    uint32_t rgt;
    uint32_t expected;
};

TEST_F(SeqSimTest, AluResultsWrapAndShiftAsUnsigned32Bit) {
    const AluCase cases[] = {{"add", 0xFFFFFFFF, 2, 1},
                             {"sub", 0, 1, 0xFFFFFFFF},
                             {"and", 0xF0F0, 0xFF00, 0xF000},
                             {"or", 0xF0F0, 0x0F00, 0xFFF0},
                             {"xor", 0xFFFF, 0x0FF0, 0xF00F},
                             {"asr", 0x80000000, 31, 1},
                             {"asr", 0xFFFFFFFF, 4, 0x0FFFFFFF},
                             {"asr", 0x80, 65, 0x40},
                             {"asr", 0x80000000, 32, 0},
                             {"asl", 1, 32, 0},
                             {"asl", 1, 65, 2},
                             {"asl", 0x80000001, 1, 2},
                             {"asl", 7, 64, 7}};
    for (const auto& c : cases) {
        const std::string l = std::to_string(c.lft), r = std::to_string(c.rgt);
        const std::string name = std::string(c.mnemonic) + " " + l + ", " + r;
        // The immediate variant writes one tick, the register variant two ticks after the
        // operands are read.
        const struct {
            const char* variant;
            std::string setRight, right;
            uint64_t ticks;
        } variants[] = {{"immediate", "nop", r, 6}, {"register", "move " + r + ", R3", "R3", 7}};
        for (const auto& v : variants) {
            EXPECT_EQ(run({"move " + l + ", R1", v.setRight, "nop",
                           std::string(c.mnemonic) + " R1, " + v.right + ", R2", "stop"}),
                      "")
                << name << " (" << v.variant << ")";
            EXPECT_EQ(reg(2), c.expected) << name << " (" << v.variant << ")";
            EXPECT_EQ(sim.classicalTick(), v.ticks) << name << " (" << v.variant << ")";
        }
    }
}

TEST_F(SeqSimTest, NotComplementsImmediateOrPrefetchedRegister) {
    EXPECT_EQ(run({"not 0x0F0F0F0F, R1", "stop"}), "");
    EXPECT_EQ(reg(1), 0xF0F0F0F0u);
    EXPECT_EQ(sim.classicalTick(), 3u);
    EXPECT_EQ(run({"nop", "nop", "not 0x0F, R1", "not R1, R2", "nop", "not R1, R3", "stop"}), "");
    EXPECT_EQ(reg(1), 0xFFFFFFF0u);
    EXPECT_EQ(reg(2), 0xFFFFFFFFu); // old value 0 of R1
    EXPECT_EQ(reg(3), 0x0Fu);
}

struct BranchCase {
    uint32_t value;
    uint32_t immediate;
    bool greaterOrEqual;
};

TEST_F(SeqSimTest, ConditionalJumpsCompareUnsigned) {
    const BranchCase cases[] = {
        {0xFFFFFFFF, 0xFFFFFFFF, true},
        {0xFFFFFFFF, 0, true},
        {0x80000000, 1, true},
        {5, 5, true},
        {0, 1, false},
        {4, 5, false},
    };
    for (const auto& c : cases) {
        for (const char* mnemonic : {"jge", "jlt"}) {
            const bool taken = (std::string(mnemonic) == "jge") == c.greaterOrEqual;
            const std::string name = std::string(mnemonic) + " " + std::to_string(c.value) + ", " +
                                     std::to_string(c.immediate);
            EXPECT_EQ(run({"move " + std::to_string(c.value) + ", R1", "nop", "nop",
                           std::string(mnemonic) + " R1, " + std::to_string(c.immediate) + ", 5",
                           "stop", "stop"}),
                      "")
                << name;
            EXPECT_EQ(sim.pc(), taken ? 5u : 4u) << name;
            EXPECT_EQ(sim.classicalTick(), taken ? 8u : 5u) << name;
            EXPECT_EQ(sim.numInstructions(), 5u) << name;
        }
    }
    // The compared register is read prefetched, the register target current.
    EXPECT_EQ(run({"nop", "nop", "move 6, R2", "add R0, 9, R1", "jge R1, 1, R2", "stop", "stop"}),
              "");
    EXPECT_EQ(sim.pc(), 5u); // R1 still read as 0: not taken
    EXPECT_EQ(
        run({"nop", "nop", "move 7, R2", "add R0, 9, R1", "nop", "jge R1, 1, R2", "stop", "stop"}),
        "");
    EXPECT_EQ(sim.pc(), 7u);
    EXPECT_EQ(sim.classicalTick(), 1u + 1u + 1u + 2u + 1u + 4u + 1u);
}

TEST_F(SeqSimTest, RegisterJumpReadsTargetPrefetched) {
    // The first jmp still reads the old 0 of R1 and starts over; the second reads 4.
    EXPECT_EQ(run({"nop", "nop", "add R0, 4, R1", "jmp R1", "stop"}), "");
    EXPECT_EQ(sim.pc(), 4u);
    EXPECT_EQ(sim.numInstructions(), 9u);
    EXPECT_EQ(sim.classicalTick(), 4u + 4u + 4u + 4u + 1u);
}

TEST_F(SeqSimTest, UndecodableAndUnsupportedWords) {
    load({"nop"});
    std::string message;
    processor.writeInstructionMem(1, instruction_t{30} << 59 | instruction_t{1} << 58);
    EXPECT_TRUE(sim.simulate(10, message));
    EXPECT_EQ(message, "Binary instruction with opcode=30 select=1 not supported");
    processor.writeInstructionMem(1, instruction_t{1} << 58);
    EXPECT_TRUE(sim.simulate(10, message));
    EXPECT_EQ(message, "Binary instruction with opcode=0 select=1 not supported");
    processor.writeInstructionMem(1, instruction_t{17} << 59);
    EXPECT_TRUE(sim.simulate(10, message));
    EXPECT_EQ(message, "Binary instruction with opcode=17 select=0 not supported");

    EXPECT_EQ(run({"nop", "frob", "stop"}), "Instruction frob not yet supported.");
    EXPECT_EQ(sim.numInstructions(), 1u);
    EXPECT_EQ(sim.classicalTick(), 1u);
    EXPECT_EQ(sim.pc(), 1u);
    EXPECT_TRUE(sim.isRunning());
}

TEST(SeqSimFields, DefinitionWithoutExpectedField) {
    SeqProcessor processor(testSet(true), 4, 4);
    SeqSim sim(&processor);
    processor.writeInstructionMem(0, encodeInstruction(processor.instructionSet(), "move 5"));
    std::string message;
    EXPECT_TRUE(sim.simulate(10, message));
    EXPECT_EQ(message, "Instruction move( opcode=7, select=1) does not have an argument that "
                       "sets field with name=REG2");
    EXPECT_EQ(sim.numInstructions(), 0u);

    const auto def = processor.instructionSet().find(7, 1);
    ASSERT_TRUE(def);
    EXPECT_EQ(sim.getImmediateValue(*def, "IMM", 0x1234), 0x1234u);
    try {
        sim.getImmediateOrRegisterValue(*def, "REG1", "REG0", 0);
        FAIL() << "no exception";
    } catch (const SeqProcArgumentNotFoundError& error) {
        EXPECT_STREQ(error.what(), "Instruction move( opcode=7, select=1) does not have an "
                                   "argument that sets field with name=REG1");
    }
}

TEST(SeqSimFields, OperandsAreReadByFieldNameWhateverTheArgumentOrder) {
    // move with its destination written first: the fields, not the positions, decide.
    const std::initializer_list<SeqFieldInit> fields = {{IMM, "IMM", 31, 0},
                                                        {REG2, "REG2", 43, 38},
                                                        {SELECT, "SELECT", 58, 58},
                                                        {OPCODE, "OPCODE", 63, 59}};
    const std::initializer_list<SeqArgumentInit> args = {{DST, "alu_dst_reg", "R", REG2, 0, 63},
                                                         {SRC_IMM, "alu_src_imm", "", IMM, 0, -1}};
    SeqProcessor processor(SeqInstructionSet("reversed", 1, 0, OPCODE, SELECT, fields, args,
                                             {{1, "stop", 0}, {7, "move", 1, DST, SRC_IMM}}),
                           4, 4);
    SeqSim sim(&processor);
    processor.writeInstructionMem(0, encodeInstruction(processor.instructionSet(), "move R3, 9"));
    processor.writeInstructionMem(1, encodeInstruction(processor.instructionSet(), "stop"));
    std::string message;
    EXPECT_FALSE(sim.simulate(10, message)) << message;
    EXPECT_EQ(processor.readRegister(3), 9u);
}

TEST_F(SeqSimTest, OperandReadersByFieldName) {
    const auto& set = processor.instructionSet();
    const auto addImm = set.find(8, 1), addReg = set.find(8, 0);
    const instruction_t wImm = encodeInstruction(set, "add R1, 77, R2");
    const instruction_t wReg = encodeInstruction(set, "add R1, R3, R2");
    sim.initRegisters();
    processor.writeRegister(3, 33);
    EXPECT_EQ(sim.getImmediateOrRegisterValue(*addImm, "IMM", "REG0", wImm), 77u);
    EXPECT_EQ(sim.getImmediateOrRegisterValue(*addReg, "IMM", "REG0", wReg), 33u);
    EXPECT_EQ(sim.getImmediateOrPrefetchedRegisterValue(*addReg, "IMM", "REG0", wReg), 0u);
    EXPECT_EQ(sim.getPrefetchedRegisterValue(*addReg, "REG0", wReg), 0u);

    SeqSim::ALUArgs2 args;
    sim.getALUArgs2(args, *addReg, wReg);
    EXPECT_EQ(args.dst_addr, 2u);
    EXPECT_EQ(args.rgt_val, 33u);
    EXPECT_EQ(sim.classicalTick(), 2u);
    sim.getALUArgs2(args, *addImm, wImm);
    EXPECT_EQ(args.rgt_val, 77u);
    EXPECT_EQ(sim.classicalTick(), 3u);
    SeqSim::ALUArgs1 one;
    sim.getALUArgs1(one, *set.find(10, 0), encodeInstruction(set, "not R3, R4"));
    EXPECT_EQ(one.op_val, 33u); // tick 3: R3's write tick 0 is long past
    EXPECT_EQ(one.dst_addr, 4u);
    EXPECT_EQ(sim.classicalTick(), 4u);

    sim.setRegister(5, 8);
    EXPECT_EQ(sim.getPrefetchedRegister(5), 0u);
    EXPECT_EQ(processor.readRegister(5), 8u);
}

TEST_F(SeqSimTest, EveryRunStartsAfreshOnTheOneTimer) {
    EXPECT_EQ(run({"add R0, 7, R1", "add R0, 8, R63", "stop"}), "");
    EXPECT_EQ(reg(63), 8u);
    ASSERT_EQ(sim.timers().size(), 1u);
    EXPECT_EQ(sim.timers()[0]->name(), "Vexa processor");
    EXPECT_EQ(sim.timers()[0]->lapCount(), 3u);
    EXPECT_FALSE(sim.timers()[0]->isRunning());

    EXPECT_EQ(run({"add R1, 1, R2", "stop"}), "");
    EXPECT_EQ(reg(1), 0u);
    EXPECT_EQ(reg(2), 1u);
    EXPECT_EQ(reg(63), 0u);
    EXPECT_EQ(sim.classicalTick(), 3u);
    ASSERT_EQ(sim.timers().size(), 1u);
    EXPECT_EQ(sim.timers()[0]->lapCount(), 2u);
}

TEST_F(SeqSimTest, StatisticsAndTimerReports) {
    run({"nop", "stop"});
    {
        LogCapture log(6);
        sim.printStats("100% done");
        sim.printTimers("Run");
        const std::string text = log.text();
        EXPECT_NE(text.find(": 100% done\nSimulated 2 instructions which took 2 classical "
                            "cycles (0.008 us) and 0 real-time cycles (0.000 us).\n"),
                  std::string::npos)
            << text;
        EXPECT_NE(text.find(": Run\nSimulation time:\nVexa processor: "), std::string::npos)
            << text;
        EXPECT_NE(text.find(" for 2 instructions = "), std::string::npos) << text;
    }
    {
        LogCapture log(5);
        sim.printStats("");
        sim.printTimers("");
        EXPECT_EQ(sim.simulate(10), false);
        EXPECT_EQ(log.text(), "");
    }
}

TEST_F(SeqSimTest, ChangedProgramIsDecodedAgainOnTheNextRun) {
    EXPECT_EQ(run({"move 1, R1", "jmp 2", "stop"}), "");
    EXPECT_EQ(reg(1), 1u);
    processor.writeInstructionMem(0, encodeInstruction(processor.instructionSet(), "move 2, R1"));
    processor.writeInstructionMem(2, encodeInstruction(processor.instructionSet(), "frob"));
    std::string message;
    EXPECT_TRUE(sim.simulate(10, message));
    EXPECT_EQ(message, "Instruction frob not yet supported.");
    EXPECT_EQ(reg(1), 2u);
}

TEST_F(SeqSimTest, ProcessInstructionExecutesTheWordsAsTheyAreNow) {
    load({"nop", "nop", "stop"});
    sim.initRegisters();
    EXPECT_FALSE(sim.processInstruction());
    EXPECT_EQ(sim.pc(), 1u);
    processor.writeInstructionMem(1, encodeInstruction(processor.instructionSet(), "move 7, R1"));
    EXPECT_FALSE(sim.processInstruction());
    EXPECT_EQ(reg(1), 7u);
    processor.writeInstructionMem(2, encodeInstruction(processor.instructionSet(), "frob"));
    EXPECT_TRUE(sim.processInstruction()); // nothing changes
    EXPECT_EQ(sim.pc(), 2u);
    EXPECT_EQ(sim.numInstructions(), 2u);
    EXPECT_EQ(sim.classicalTick(), 2u);
    processor.writeInstructionMem(2, instruction_t{1} << 58);
    EXPECT_THROW(sim.processInstruction(), SeqProcInstructionNotFoundError);
    EXPECT_EQ(sim.pc(), 2u);
}

// A table of every opcode and select up to the largest defined (2^24 entries here) once ended
// the process; words decode as the instruction set decodes them, whatever its fields' widths.
TEST(SeqSimDecoding, WideOpcodeAndSelectFieldsDecodeLikeTheInstructionSet) {
    const SeqInstructionSet set(
        "wide", 1, 0, 1, 0, {{0, "SELECT", 43, 36}, {1, "OPCODE", 63, 44}}, {},
        {{0, "illegal", 0}, {1, "stop", 2}, {70000, "nop", 200}, {5, "frob", 1}});
    SeqProcessor processor(set, 8, 4);
    SeqSim sim(&processor);
    const auto word = [](uint64_t opcode, uint64_t select) { return opcode << 44 | select << 36; };
    const struct {
        instruction_t first;
        const char* message;
    } cases[] = {
        {word(70000, 200), ""}, // nop, then stop
        {word(70001, 200), "Binary instruction with opcode=70001 select=1 not supported"},
        {word(70000, 199), "Binary instruction with opcode=70000 select=1 not supported"},
        {word(70000, 201), "Binary instruction with opcode=70000 select=1 not supported"},
        {word(1048575, 0), "Binary instruction with opcode=1048575 select=0 not supported"},
        {word(1, 0), "Binary instruction with opcode=1 select=0 not supported"},
        {word(5, 1), "Instruction frob not yet supported."},
    };
    for (const auto& c : cases) {
        processor.writeInstructionMem(0, c.first);
        processor.writeInstructionMem(1, word(1, 2));
        EXPECT_EQ(static_cast<bool>(processor.findInstructionForBinary(c.first)),
                  std::string(c.message).find("Binary") == std::string::npos);
        std::string message;
        const bool failed = sim.simulate(10, message);
        EXPECT_EQ(failed, !message.empty());
        EXPECT_EQ(message, c.message);
    }
}

// The simulator once kept decoding with the tables of the set it was constructed with.
TEST(SeqSimDecoding, ReplacedInstructionSetIsDecodedAnew) {
    SeqProcessor processor(testSet(), 8, 4);
    SeqSim sim(&processor);
    // nop and stop of the set below; "sub R0, R0, R0" and "jmp R0" of testSet().
    processor.writeInstructionMem(0, instruction_t{9} << 59);
    processor.writeInstructionMem(1, instruction_t{3} << 59);
    std::string message;
    EXPECT_TRUE(sim.simulate(10, message));
    processor.instructionSet() =
        SeqInstructionSet("renumbered", 1, 0, 1, 0, {{0, "SELECT", 58, 58}, {1, "OPCODE", 63, 59}},
                          {}, {{0, "illegal", 0}, {3, "stop", 0}, {9, "nop", 0}});
    EXPECT_FALSE(sim.simulate(10, message)) << message;
    EXPECT_EQ(sim.numInstructions(), 2u);
    processor.instructionSet() = testSet();
    EXPECT_TRUE(sim.simulate(10, message));
    EXPECT_EQ(message, "Maximum number of instructions reached (10). Could the program be "
                       "running an infinite loop?");
}

TEST(SeqSimSection, DirectiveAndDefaultConstruction) {
    SeqSim sim;
    EXPECT_EQ(sim.asmSectionGetDirective(), ".SIM");
    std::string message = "old";
    EXPECT_TRUE(sim.simulate(10, message));
    EXPECT_FALSE(message.empty());
    EXPECT_NE(message, "old");
}

} // namespace
