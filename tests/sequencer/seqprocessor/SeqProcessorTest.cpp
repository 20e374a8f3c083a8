// The processor: its memories, its decoding of words, and the errors it throws.
#include "sequencer/seqprocessor/SeqProcessor.h"
#include "sequencer/seqprocessor/SeqMemory.h"
#include "sequencer/seqprocessor/SeqProcError.h"

#include "tests/sequencer/seqprocessor/MessageOf.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <typeinfo>
#include <vector>

namespace {

SeqInstructionSet tinySet() {
    return SeqInstructionSet("tiny", 1, 0, 1, 0, {{0, "SELECT", 58, 58}, {1, "OPCODE", 63, 59}}, {},
                             {{0, "illegal", 0}, {1, "stop", 0}});
}

TEST(SeqMemoryTest, OwnedMemoryStartsClearedAndAccessIsBoundsChecked) {
    // Dirty the heap first so that a reused block would show old contents.
    for (int i = 0; i < 4; ++i) {
        std::vector<instruction_t> junk(4096, 0xDEADBEEFDEADBEEF);
        (void)junk;
        SeqMemory<instruction_t, std::uint32_t> memory("instruction", 4096);
        for (std::uint32_t a = 0; a < memory.size(); ++a)
            ASSERT_EQ(memory.readMem(a), 0u) << "address " << a;
        memory.writeMem(4095, 0x1234);
        EXPECT_EQ(memory.readMem(4095), 0x1234u);
        EXPECT_EQ(messageOf<SeqProcMemoryError>([&] { (void)memory.readMem(4096); }),
                  "Attempt to read instruction at address 4096 beyond maximum address 4095");
        EXPECT_EQ(messageOf<SeqProcMemoryError>([&] { memory.writeMem(0xFFFFFFFF, 1); }),
                  "Attempt to write instruction at address 4294967295 beyond maximum address 4095");
    }
    SeqMemory<std::uint32_t, std::uint32_t> viaNull("data", nullptr, 64);
    EXPECT_EQ(viaNull.readMem(63), 0u);
    const SeqMemory<std::uint32_t, std::uint32_t> none("data");
    EXPECT_THROW((void)none.readMem(0), SeqProcMemoryError);
}

TEST(SeqMemoryTest, InitMemClearsUpToTheSmallerOfEndAndSize) {
    const struct {
        std::uint32_t start, end;
        std::vector<std::uint32_t> expected;
    } rows[] = {
        {0, 0xFFFFFFFF, {0, 0, 0, 0, 0, 0, 0, 0}}, {5, 3, {1, 2, 3, 4, 5, 6, 7, 8}},
        {2, 5, {1, 2, 0, 0, 0, 6, 7, 8}},          {6, 100, {1, 2, 3, 4, 5, 6, 0, 0}},
        {9, 12, {1, 2, 3, 4, 5, 6, 7, 8}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.start << ".." << r.end);
        std::vector<std::uint32_t> storage{1, 2, 3, 4, 5, 6, 7, 8};
        SeqMemory<std::uint32_t, std::uint32_t> memory("data", storage.data(), 8);
        memory.initMem(r.start, r.end);
        EXPECT_EQ(storage, r.expected);
    }
}

TEST(SeqMemoryTest, MovingHandsTheStorageOver) {
    SeqMemory<std::uint32_t, std::uint32_t> source("data", 8);
    source.writeMem(7, 42);
    SeqMemory<std::uint32_t, std::uint32_t> target(std::move(source));
    EXPECT_EQ(target.readMem(7), 42u);
    EXPECT_EQ(source.size(), 0u); // NOLINT(bugprone-use-after-move): the moved-from state
    EXPECT_THROW((void)source.readMem(0), SeqProcMemoryError);
}

TEST(SeqProcessorTest, ExternalInstructionMemoryIsUsedAsGivenAndLeftAlone) {
    std::vector<instruction_t> program(16, 0x0800000000000000);
    {
        SeqProcessor processor(tinySet(), program.data(), 16, 64);
        EXPECT_EQ(processor.readInstructionMem(3), 0x0800000000000000u);
        processor.writeInstructionMem(2, 0);
        EXPECT_EQ(processor.instructionMemSizeWords(), 16u);
        EXPECT_EQ(processor.numRegisters(), 64u);
    }
    EXPECT_EQ(program[2], 0u);
    EXPECT_EQ(std::count(program.begin(), program.end(), 0x0800000000000000u), 15);
}

// Decoding the real set's words, also undecodable ones, is in tests/sequencer/SeqAssemblerTest.
TEST(SeqProcessorTest, DecodesOpcodeAndSelectAndListsTheSet) {
    const SeqProcessor processor(tinySet(), 16, 4);
    EXPECT_EQ(processor.getInstructionOpcode(~instruction_t{0}), 31u);
    EXPECT_EQ(processor.getInstructionSelect(~instruction_t{0}), 1u);
    EXPECT_EQ(processor.findInstructionForBinary(0x0800000000000000)->mnemonic(), "stop");
    EXPECT_EQ(processor.findInstructionForBinary(0x0C00000000000000), nullptr);
    std::ostringstream out;
    processor.printInstructionSet(out);
    EXPECT_EQ(out.str(), "Instruction set:\nillegal\nstop\n");
}

// A class streamed in its throw expression must still be thrown as itself, below the logic or
// runtime branch, and report the whole message however it is caught. (What the streaming
// appends for each kind of value is tested with the assembler's exceptions.)
template <class E> void expectThrownAsItself(bool logic) {
    SCOPED_TRACE(typeid(E).name());
    try {
        throw E("Entry ") << 7 << std::string(" at ") << -1L;
    } catch (std::exception& e) {
        EXPECT_EQ(typeid(E), typeid(e));
        EXPECT_STREQ("Entry 7 at -1", e.what());
        auto* procError = dynamic_cast<SeqProcError*>(&e);
        ASSERT_NE(nullptr, procError);
        EXPECT_STREQ("Entry 7 at -1", procError->what());
        EXPECT_EQ(logic, dynamic_cast<SeqProcLogicError*>(&e) != nullptr);
        EXPECT_EQ(!logic, dynamic_cast<SeqProcRuntimeError*>(&e) != nullptr);
    }
}

TEST(SeqProcErrorTest, EveryClassIsThrownAsItselfAndReportsItsMessage) {
    expectThrownAsItself<SeqProcDuplicateError>(true);
    expectThrownAsItself<SeqProcUninitializedError>(true);
    expectThrownAsItself<SeqProcInstructionTableError>(true);
    expectThrownAsItself<SeqProcMemoryError>(false);
    expectThrownAsItself<SeqProcArgumentNotFoundError>(false);
    expectThrownAsItself<SeqProcInstructionNotFoundError>(false);
    EXPECT_STREQ("", VexaInterrupt(nullptr, 1).what());
}

} // namespace
