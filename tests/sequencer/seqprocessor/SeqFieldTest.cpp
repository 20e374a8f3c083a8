#include "sequencer/seqprocessor/SeqField.h"
#include "sequencer/seqprocessor/SeqArgument.h"

#include <gtest/gtest.h>

#include <memory>

// The fields and arguments of the real instruction set, and every operand at its bounds, are
// covered by tests/assembler/seq_instr_setTest.cpp and tests/golden/asm/encoding.s.
namespace {

constexpr instruction_t allOnes = ~instruction_t{0};

TEST(SeqFieldTest, WholeWordAndSingleBitFields) {
    const SeqField whole(0, "W", 63, 0); // the shift count wraps
    EXPECT_EQ(whole.range(), allOnes);
    EXPECT_EQ(whole.bitPattern(), allOnes);
    EXPECT_TRUE(whole.isInRange(allOnes));
    const SeqField bit(1, "B", 0, 0);
    EXPECT_EQ(bit.range(), 1u);
    EXPECT_EQ(bit.bitPattern(), 1u);
}

TEST(SeqFieldTest, WritesTouchOnlyTheFieldAndReadsDoNotSignExtend) {
    const SeqField field(0, "F", 9, 4); // 6 bits
    instruction_t word = allOnes;
    field.setfast(word, 0);
    EXPECT_EQ(word, allOnes & ~(instruction_t{0x3F} << 4));
    word = 0;
    field.setfast(word, 0x1FF); // cut to the field width
    EXPECT_EQ(word, instruction_t{0x3F} << 4);

    word = 0x5;
    EXPECT_TRUE(field.set(word, 63));
    EXPECT_EQ(word, (instruction_t{63} << 4) | 0x5);
    EXPECT_FALSE(field.set(word, 64));
    EXPECT_EQ(word, (instruction_t{63} << 4) | 0x5);
    EXPECT_EQ(SeqField(2, "T", 63, 48).get(allOnes >> 16), 0u);
}

TEST(SeqArgumentTest, RegisterNameMustStartWithALetter) {
    const auto field = std::make_shared<const SeqField>(0, "F", 5, 0);
    const struct {
        const char* registerName;
        bool isRegister;
    } rows[] = {{"R", true}, {"xy", true}, {"", false}, {"1R", false}, {"\xC4", false}};
    for (const auto& row : rows)
        EXPECT_EQ(SeqArgument(0, "a", row.registerName, field, 0, 63).isRegister(), row.isRegister)
            << row.registerName;
}

} // namespace
