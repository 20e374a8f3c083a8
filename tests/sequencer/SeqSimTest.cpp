// The generic simulator where a program file cannot show it; what programs compute is in
// tests/golden/sim, and random programs run against a reference in seq_simReferenceTest.
#include "sequencer/SeqSim.h"

#include <gtest/gtest.h>

#include <string>

#include "SeqAssemblerFixture.h"
#include "sequencer/seqprocessor/SeqProcError.h"
#include "tests/sequencer/SimulatorTestSupport.h"

namespace {

constexpr instruction_t kStop = 0x0800000000000000;
constexpr instruction_t kMove2R1 = 0x3C00004000000002; // move 2, R1
constexpr instruction_t kWait4 = 0xDC00100000000000;   // wait 4: not one of SeqSim's

class SeqSimTest : public AssemblerFixture {
protected:
    // The message of a run of `source` ("" when it ended with stop).
    std::string run(const std::string& source, int budget = 1000) {
        EXPECT_EQ(assemble(source), 0) << report();
        std::string message;
        const bool failed = sim.simulate(budget, message);
        EXPECT_EQ(failed, !message.empty());
        return message;
    }
    std::string simulate() {
        std::string message;
        sim.simulate(10, message);
        return message;
    }

    SeqSim sim{&processor};
};

// The readers that simulators built on SeqSim use; a register read ahead sees its value from
// before a write until two ticks after it.
TEST_F(SeqSimTest, OperandReadersByFieldName) {
    ASSERT_EQ(assemble("add R1, 77, R2\nadd R1, R3, R2\nnot R3, R4\n"), 0);
    const instruction_t imm = processor.readInstructionMem(0),
                        reg = processor.readInstructionMem(1),
                        notWord = processor.readInstructionMem(2);
    const auto& addImm = *processor.findInstructionForBinary(imm);
    const auto& addReg = *processor.findInstructionForBinary(reg);
    sim.initRegisters();
    processor.writeRegister(3, 33); // directly: no write tick is recorded
    EXPECT_EQ(sim.getImmediateOrRegisterValue(addImm, "IMM", "REG0", imm), 77u);
    EXPECT_EQ(sim.getImmediateOrPrefetchedRegisterValue(addReg, "IMM", "REG0", reg), 0u);

    SeqSim::ALUArgs2 two;
    sim.getALUArgs2(two, addReg, reg);
    EXPECT_EQ(two.dst_addr, 2u);
    EXPECT_EQ(two.rgt_val, 33u); // read current
    EXPECT_EQ(sim.classicalTick(), 2u);
    sim.getALUArgs2(two, addImm, imm);
    EXPECT_EQ(two.rgt_val, 77u);
    EXPECT_EQ(sim.classicalTick(), 3u);
    SeqSim::ALUArgs1 one;
    sim.getALUArgs1(one, *processor.findInstructionForBinary(notWord), notWord);
    EXPECT_EQ(one.op_val, 33u);
    EXPECT_EQ(one.dst_addr, 4u);
    EXPECT_EQ(sim.classicalTick(), 4u);

    sim.setRegister(5, 8);
    EXPECT_EQ(sim.getPrefetchedRegister(5), 0u);
    EXPECT_THROW(sim.getPrefetchedRegister(64), SeqProcMemoryError);
    EXPECT_THROW(sim.setRegister(64, 1), SeqProcMemoryError);
}

// A move whose arguments come in the reverse order works; one without its destination fails.
TEST(SeqSimFields, OperandsAreFoundByFieldName) {
    enum { IMM, REG0, REG2, SELECT, OPCODE };
    SeqProcessor processor(
        SeqInstructionSet("hand-made", 1, 0, OPCODE, SELECT,
                          {{IMM, "IMM", 31, 0},
                           {REG0, "REG0", 5, 0},
                           {REG2, "REG2", 43, 38},
                           {SELECT, "SELECT", 58, 58},
                           {OPCODE, "OPCODE", 63, 59}},
                          {{0, "alu_dst_reg", "R", REG2, 0, 63},
                           {1, "alu_src_reg", "R", REG0, 0, 63},
                           {2, "alu_src_imm", "", IMM, 0, -1}},
                          {{1, "stop", 0}, {7, "move", 1, 0, 2}, {7, "move", 0, 1}}),
        4, 8);
    SeqSim sim(&processor);
    processor.writeInstructionMem(0, instruction_t{0x3C} << 56 | instruction_t{3} << 38 | 9);
    processor.writeInstructionMem(1, instruction_t{1} << 59);
    std::string message;
    EXPECT_FALSE(sim.simulate(10, message)) << message;
    EXPECT_EQ(processor.readRegister(3), 9u);

    processor.writeInstructionMem(0, instruction_t{0x38} << 56 | 5); // move R5
    EXPECT_TRUE(sim.simulate(10, message));
    EXPECT_EQ(message, "Instruction move( opcode=7, select=0) does not have an argument that "
                       "sets field with name=REG2");
    EXPECT_EQ(sim.numInstructions(), 0u);
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
        std::string message;
        const bool failed = sim.simulate(10, message);
        EXPECT_EQ(failed, !message.empty());
        EXPECT_EQ(message, c.message);
    }
}

// The simulator once kept decoding with the tables of the set it was constructed with.
TEST_F(SeqSimTest, ReplacedInstructionSetIsDecodedAnew) {
    const std::string endless = "Maximum number of instructions reached (10). Could the program "
                                "be running an infinite loop?";
    EXPECT_EQ(run("sub R0, R0, R0\njmp R0\n", 10), endless);
    processor.instructionSet() =
        SeqInstructionSet("renumbered", 1, 0, 1, 0, {{0, "SELECT", 58, 58}, {1, "OPCODE", 63, 59}},
                          {}, {{0, "illegal", 0}, {3, "stop", 0}, {9, "nop", 0}});
    EXPECT_EQ(simulate(), "");
    EXPECT_EQ(sim.numInstructions(), 2u);
    processor.instructionSet() = seq_instr_set();
    EXPECT_EQ(simulate(), endless);
}

// Runs check their tables in one comparison while no table changes; a definition added to the
// set in place (made beforehand, so that only the addition changes a table) is seen by the
// next run.
TEST_F(SeqSimTest, DefinitionAddedInPlaceIsDecodedByTheNextRun) {
    processor.instructionSet() =
        SeqInstructionSet("renumbered", 1, 0, 1, 0,
                          {{0, "SELECT", 58, 58}, {1, "OPCODE", 63, 59}, {2, "COUNT", 7, 0}},
                          {{0, "COUNT", "", 2, 0, 255}}, {{0, "illegal", 0}, {3, "stop", 0}});
    const auto stopVariant = std::make_shared<SeqInstructionDef>(3, "stop", 1);
    stopVariant->addArgument(processor.instructionSet().argumentTable().find(0));
    processor.writeInstructionMem(0, instruction_t{3} << 59 | instruction_t{1} << 58);
    const std::string notFound = "Binary instruction with opcode=3 select=1 not supported";
    EXPECT_EQ(simulate(), notFound);
    EXPECT_EQ(simulate(), notFound);
    processor.instructionSet().add(stopVariant);
    EXPECT_EQ(simulate(), "");
}

// processInstruction() on its own, and a run after a run, decode the words as they are now.
TEST_F(SeqSimTest, ChangedWordsAreDecodedAnew) {
    ASSERT_EQ(assemble("nop\nnop\nstop\n"), 0);
    sim.initRegisters();
    EXPECT_FALSE(sim.processInstruction());
    processor.writeInstructionMem(1, kMove2R1);
    EXPECT_FALSE(sim.processInstruction());
    EXPECT_EQ(processor.readRegister(1), 2u);
    processor.writeInstructionMem(2, kWait4);
    EXPECT_TRUE(sim.processInstruction()); // not executed: nothing changes
    EXPECT_EQ(sim.pc(), 2u);
    EXPECT_EQ(sim.numInstructions(), 2u);
    EXPECT_EQ(sim.classicalTick(), 2u);
    processor.writeInstructionMem(2, instruction_t{1} << 58); // opcode 0, select 1
    EXPECT_THROW(sim.processInstruction(), SeqProcInstructionNotFoundError);

    processor.writeInstructionMem(1, kStop);
    EXPECT_EQ(simulate(), "");
    EXPECT_EQ(processor.readRegister(1), 0u);
    processor.writeInstructionMem(0, kMove2R1);
    processor.writeInstructionMem(1, kWait4);
    EXPECT_EQ(simulate(), "Instruction wait not yet supported.");
    EXPECT_EQ(processor.readRegister(1), 2u);
}

TEST_F(SeqSimTest, OneStopwatchServesEveryRunAndReportsGoToTheLog) {
    EXPECT_EQ(run("add R0, 7, R1\nstop\n"), "");
    EXPECT_EQ(run("nop\nstop\n"), "");
    EXPECT_EQ(processor.readRegister(1), 0u); // every run starts with cleared registers
    ASSERT_EQ(sim.timers().size(), 1u);
    EXPECT_EQ(sim.timers()[0]->lapCount(), 2u);
    EXPECT_FALSE(sim.timers()[0]->isRunning());

    processor.setClockFrequencies(250.0, 250.0);
    LogCapture log(6);
    sim.printStats("100% done"); // the caller's text, not a format
    const std::string text = log.text();
    EXPECT_NE(text.find(": 100% done\nSimulated 2 instructions which took 2 classical cycles "
                        "(0.008 us) and 0 real-time cycles (0.000 us).\n"),
              std::string::npos)
        << text;
    Logging::setLogLevel(5);
    sim.printStats("");
    sim.printTimers("");
    EXPECT_FALSE(sim.simulate(10));
    EXPECT_EQ(log.text(), text);
}

TEST(SeqSimSection, WithoutAProcessorARunFails) {
    SeqSim sim;
    EXPECT_EQ(sim.asmSectionGetDirective(), ".SIM");
    std::string message;
    EXPECT_TRUE(sim.simulate(10, message));
    EXPECT_FALSE(message.empty());
}

} // namespace
