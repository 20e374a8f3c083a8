// The Vexa instruction set as a whole: the sizes of its tables and its listing. What every
// variant encodes to, at both bounds of every operand, and the range errors are in
// tests/golden/asm/encoding.s; the look-ups by signature show in tests/golden/asm/signatures.s,
// those by word in DisassembleTest.
#include "assembler/seq_instr_set.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

const SeqInstructionSet& vexa() {
    static const SeqInstructionSet set = seq_instr_set();
    return set;
}

TEST(seq_instr_setTest, TablesHaveTheirSizesAndPassValidation) {
    EXPECT_EQ(vexa().fieldTable().size(), 23u);
    EXPECT_EQ(vexa().argumentTable().size(), 40u);
    EXPECT_EQ(vexa().size(), 30u);
    SeqInstructionSet::version_t major = 0, minor = 9;
    vexa().getVersion(major, minor);
    EXPECT_EQ(major, 1u);
    EXPECT_EQ(minor, 0u);
    EXPECT_EQ(vexa().opcodeField()->name(), "OPCODE");
    EXPECT_EQ(vexa().selectField()->name(), "SELECT");
    EXPECT_NO_THROW(vexa().validate());
}

TEST(seq_instr_setTest, ListingMatchesTheCheckedInText) {
    std::ifstream file(std::string(VEXA_TEST_DATA_DIR) + "/vexa_instruction_set.txt");
    ASSERT_TRUE(file) << "missing expected listing";
    std::stringstream expected;
    expected << file.rdbuf();
    std::ostringstream listing;
    listing << vexa();
    EXPECT_EQ(listing.str(), expected.str());
}

} // namespace
