#include "sequencer/seqprocessor/SeqField.h"
#include "sequencer/seqprocessor/SeqArgument.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <memory>

namespace {

constexpr instruction_t allOnes = std::numeric_limits<instruction_t>::max();

TEST(SeqFieldTest, MaskPatternAndShiftFollowMsbAndLsb) {
    struct Row {
        unsigned msb, lsb;
        instruction_t mask, pattern;
    };
    const Row rows[] = {
        {63, 0, allOnes, allOnes},                     // whole word: the shift wraps
        {58, 58, 1, instruction_t{1} << 58},           // one bit
        {63, 59, 0x1F, instruction_t{0x1F} << 59},     // top bits
        {31, 0, 0xFFFFFFFF, 0xFFFFFFFF},               // low half
        {57, 42, 0xFFFF, instruction_t{0xFFFF} << 42}, // middle
        {0, 0, 1, 1},
    };
    for (const auto& r : rows) {
        const SeqField field(3, "F", r.msb, r.lsb);
        SCOPED_TRACE(testing::Message() << "msb=" << r.msb << " lsb=" << r.lsb);
        EXPECT_EQ(field.range(), r.mask);
        EXPECT_EQ(field.bitPattern(), r.pattern);
        EXPECT_EQ(field.shift(), r.lsb);
        EXPECT_EQ(field.id(), 3u);
        EXPECT_TRUE(field.hasId());
    }
}

TEST(SeqFieldTest, DefaultFieldHasNoId) {
    const SeqField field;
    EXPECT_FALSE(field.hasId());
    EXPECT_EQ(field.id(), SeqField::s_no_id);
    EXPECT_TRUE(field.name().empty());
}

TEST(SeqFieldTest, SetfastTouchesOnlyTheFieldAndCutsTheValue) {
    const SeqField field(0, "F", 9, 4); // 6 bits
    instruction_t word = allOnes;
    field.setfast(word, 0);
    EXPECT_EQ(word, allOnes & ~(instruction_t{0x3F} << 4));
    field.setfast(word, 0x1FF);
    EXPECT_EQ(word, allOnes);
    EXPECT_EQ(field.get(word), 0x3Fu);

    word = 0;
    field.setfast(word, 0x1FF);
    EXPECT_EQ(word, instruction_t{0x3F} << 4);
}

TEST(SeqFieldTest, SetChecksTheRange) {
    const SeqField field(0, "F", 9, 4);
    instruction_t word = 0x5;
    EXPECT_TRUE(field.set(word, 63));
    EXPECT_EQ(word, (instruction_t{63} << 4) | 0x5);
    EXPECT_FALSE(field.set(word, 64));
    EXPECT_EQ(word, (instruction_t{63} << 4) | 0x5);

    const SeqField whole(1, "W", 63, 0);
    EXPECT_TRUE(whole.isInRange(allOnes));
}

TEST(SeqFieldTest, GetDoesNotSignExtend) {
    const SeqField field(0, "F", 63, 48);
    EXPECT_EQ(field.get(allOnes), 0xFFFFu);
    EXPECT_EQ(field.get(0x0000FFFFFFFFFFFFull), 0u);
}

TEST(SeqArgumentTest, RangesAndStoredValues) {
    const auto field16 = std::make_shared<const SeqField>(0, "F16", 31, 16);
    const auto field10 = std::make_shared<const SeqField>(1, "F10", 9, 0);

    const SeqArgument gain(0, "gain", "", field16, -32768, 32767);
    EXPECT_EQ(gain.minValue(), -32768);
    EXPECT_EQ(gain.maxValue(), 32767);
    instruction_t word = 0;
    EXPECT_TRUE(gain.setValue(word, -1));
    EXPECT_EQ(word, instruction_t{0xFFFF} << 16);
    EXPECT_EQ(gain.getValue(word), 65535);
    EXPECT_FALSE(gain.setValue(word, 32768));
    EXPECT_FALSE(gain.setValue(word, -32769));
    EXPECT_EQ(word, instruction_t{0xFFFF} << 16);

    // A maximum below the minimum grants the field's whole unsigned range.
    const SeqArgument index(1, "idx", "", field10, 0, -1);
    EXPECT_EQ(index.maxValue(), 1023);
    EXPECT_TRUE(index.isInRange(0));
    EXPECT_TRUE(index.isInRange(1023));
    EXPECT_FALSE(index.isInRange(1024));
    EXPECT_FALSE(index.isInRange(-1));

    const SeqArgument count(2, "cnt", "", field16, 4, -1);
    EXPECT_EQ(count.minValue(), 4);
    EXPECT_EQ(count.maxValue(), 65535);
    EXPECT_FALSE(count.isInRange(3));
}

TEST(SeqArgumentTest, RegisterNameDecidesTheKind) {
    const auto field = std::make_shared<const SeqField>(0, "F", 5, 0);
    EXPECT_TRUE(SeqArgument(0, "a", "R", field, 0, 63).isRegister());
    EXPECT_TRUE(SeqArgument(0, "a", "xy", field, 0, 63).isRegister());
    EXPECT_FALSE(SeqArgument(0, "a", "", field, 0, 63).isRegister());
    EXPECT_FALSE(SeqArgument(0, "a", "1R", field, 0, 63).isRegister());
    EXPECT_FALSE(SeqArgument(0, "a", "\xC4", field, 0, 63).isRegister());
    EXPECT_FALSE(SeqArgument().hasId());
}

} // namespace
