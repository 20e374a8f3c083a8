// The Vexa instruction set's listing; what each variant encodes to is in
// tests/golden/asm/encoding.s, the look-ups in signatures.s and SeqAssemblerTest.
#include "assembler/seq_instr_set.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

TEST(seq_instr_setTest, ListingMatchesTheCheckedInText) {
    const SeqInstructionSet set = seq_instr_set();
    EXPECT_NO_THROW(set.validate());
    std::ifstream file(std::string(VEXA_TEST_DATA_DIR) + "/vexa_instruction_set.txt");
    ASSERT_TRUE(file) << "missing expected listing";
    std::ostringstream expected, listing;
    expected << file.rdbuf();
    listing << set;
    EXPECT_EQ(listing.str(), expected.str());
}
