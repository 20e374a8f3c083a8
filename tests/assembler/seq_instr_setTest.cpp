#include "assembler/seq_instr_set.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

const SeqInstructionSet& vexa() {
    static const SeqInstructionSet set = seq_instr_set();
    return set;
}

// Encodes as the assembler does: base fields first, then every operand into its field.
// Empty when there is no such variant or an operand is out of range.
std::optional<instruction_t> encode(const std::string& mnemonic, const std::string& signature,
                                    const std::vector<SeqArgument::value_t>& values) {
    const auto def = vexa().find(mnemonic, signature);
    if (!def || def->numArgs() != values.size())
        return std::nullopt;
    instruction_t word = 0;
    if (!vexa().writeBaseFields(word, *def))
        return std::nullopt;
    for (unsigned i = 0; i < values.size(); ++i)
        if (!def->getArg(i).setValue(word, values[i]))
            return std::nullopt;
    return word;
}

TEST(seq_instr_setTest, TablesHaveTheirSizesAndPassValidation) {
    EXPECT_EQ(vexa().fieldTable().size(), 23u);
    EXPECT_EQ(vexa().argumentTable().size(), 40u);
    EXPECT_EQ(vexa().size(), 30u);
    std::size_t definitions = 0;
    for (const SeqInstructionVariations& variations : vexa())
        definitions += variations.size();
    EXPECT_EQ(definitions, 55u);
    SeqInstructionSet::version_t major = 0, minor = 9;
    vexa().getVersion(major, minor);
    EXPECT_EQ(major, 1u);
    EXPECT_EQ(minor, 0u);
    EXPECT_EQ(vexa().opcodeField()->id(), VEXA_FLD_OPCODE);
    EXPECT_EQ(vexa().selectField()->id(), VEXA_FLD_SELECT);
    EXPECT_NO_THROW(vexa().validate());
}

TEST(seq_instr_setTest, FieldsAndArgumentsAreThoseOfTheProcessor) {
    struct FieldRow {
        id_t id;
        const char* name;
        unsigned msb, lsb;
        instruction_t mask;
    };
    const FieldRow fields[] = {
        {0, "IMM", 31, 0, 0xFFFFFFFF},    {1, "WAVE_IDX0", 9, 0, 0x3FF},
        {2, "WAVE_IDX1", 19, 10, 0x3FF},  {3, "WEIGHT_IDX0", 5, 0, 0x3F},
        {4, "WEIGHT_IDX1", 11, 6, 0x3F},  {5, "ACQ_IDX", 17, 12, 0x3F},
        {6, "BIN_IDX", 41, 18, 0xFFFFFF}, {7, "PH_UFINE", 12, 0, 0x1FFF},
        {8, "PH_FINE", 21, 13, 0x1FF},    {9, "PH_COARSE", 30, 22, 0x1FF},
        {10, "GAIN0", 15, 0, 0xFFFF},     {11, "GAIN1", 31, 16, 0xFFFF},
        {12, "OFFS0", 15, 0, 0xFFFF},     {13, "OFFS1", 31, 16, 0xFFFF},
        {14, "MRK", 3, 0, 0xF},           {15, "REG0", 5, 0, 0x3F},
        {16, "REG1", 37, 32, 0x3F},       {17, "REG2", 43, 38, 0x3F},
        {18, "REG3", 11, 6, 0x3F},        {19, "INSTR_ADDR", 49, 38, 0xFFF},
        {20, "COUNT", 57, 42, 0xFFFF},    {21, "SELECT", 58, 58, 0x1},
        {22, "OPCODE", 63, 59, 0x1F},
    };
    for (const auto& r : fields) {
        SCOPED_TRACE(r.name);
        const auto& field = vexa().fieldTable().find(r.id);
        ASSERT_NE(field, nullptr);
        EXPECT_EQ(field->name(), r.name);
        EXPECT_EQ(field->shift(), r.lsb);
        EXPECT_EQ(field->range(), r.mask);
        EXPECT_EQ(field->bitPattern(), r.mask << r.lsb);
        EXPECT_EQ(field->range() >> (r.msb - r.lsb), 1u);
    }

    struct ArgumentRow {
        id_t id;
        const char* name;
        const char* registerName;
        const char* field;
        SeqArgument::value_t min, max;
    };
    const ArgumentRow arguments[] = {
        {0, "alu_dst_reg", "R", "REG2", 0, 63},
        {1, "alu_src_reg", "R", "REG0", 0, 63},
        {2, "alu_src_imm", "", "IMM", 0, 4294967295},
        {3, "alu_lft_reg", "R", "REG1", 0, 63},
        {4, "alu_rgt_reg", "R", "REG0", 0, 63},
        {5, "alu_rgt_imm", "", "IMM", 0, 4294967295},
        {6, "ins_adr_imm", "", "INSTR_ADDR", 0, 4095},
        {7, "ins_adr_reg", "R", "REG2", 0, 63},
        {8, "loop_cnt_reg", "R", "REG1", 0, 63},
        {9, "srq_imm", "", "IMM", 0, 4294967295},
        {10, "srq_reg", "R", "REG0", 0, 63},
        {11, "seq_wave_idx0_imm", "", "WAVE_IDX0", 0, 1023},
        {12, "seq_wave_idx1_imm", "", "WAVE_IDX1", 0, 1023},
        {13, "seq_wave_idx0_reg", "R", "REG0", 0, 63},
        {14, "seq_wave_idx1_reg", "R", "REG1", 0, 63},
        {15, "seq_weight_idx0_imm", "", "WEIGHT_IDX0", 0, 63},
        {16, "seq_weight_idx1_imm", "", "WEIGHT_IDX1", 0, 63},
        {17, "seq_weight_idx0_reg", "R", "REG1", 0, 63},
        {18, "seq_weight_idx1_reg", "R", "REG3", 0, 63},
        {19, "seq_acq_idx_imm", "", "ACQ_IDX", 0, 63},
        {20, "seq_bin_idx_imm", "", "BIN_IDX", 0, 16777215},
        {21, "seq_bin_idx_reg", "R", "REG0", 0, 63},
        {22, "seq_ph_ufine_imm", "", "PH_UFINE", 0, 8191},
        {23, "seq_ph_fine_imm", "", "PH_FINE", 0, 511},
        {24, "seq_ph_coarse_imm", "", "PH_COARSE", 0, 511},
        {25, "seq_ph_coarse_reg", "R", "REG0", 0, 63},
        {26, "seq_ph_fine_reg", "R", "REG1", 0, 63},
        {27, "seq_ph_ufine_reg", "R", "REG2", 0, 63},
        {28, "seq_gain0_imm", "", "GAIN0", -32768, 32767},
        {29, "seq_gain1_imm", "", "GAIN1", -32768, 32767},
        {30, "seq_gain0_reg", "R", "REG0", 0, 63},
        {31, "seq_gain1_reg", "R", "REG1", 0, 63},
        {32, "seq_offs0_imm", "", "OFFS0", -32768, 32767},
        {33, "seq_offs1_imm", "", "OFFS1", -32768, 32767},
        {34, "seq_offs0_reg", "R", "REG0", 0, 63},
        {35, "seq_offs1_reg", "R", "REG1", 0, 63},
        {36, "seq_mrk_imm", "", "MRK", 0, 15},
        {37, "seq_mrk_reg", "R", "REG0", 0, 63},
        {38, "seq_cnt_imm", "", "COUNT", 4, 65535},
        {39, "seq_cnt_reg", "R", "REG0", 0, 63},
    };
    for (const auto& r : arguments) {
        SCOPED_TRACE(r.name);
        const auto& arg = vexa().argumentTable().find(r.id);
        ASSERT_NE(arg, nullptr);
        EXPECT_EQ(arg->name(), r.name);
        EXPECT_EQ(arg->registerName(), r.registerName);
        EXPECT_EQ(arg->field()->name(), r.field);
        EXPECT_EQ(arg->minValue(), r.min);
        EXPECT_EQ(arg->maxValue(), r.max);
        EXPECT_EQ(arg->field(), vexa().fieldTable().find(r.field));
    }
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

TEST(seq_instr_setTest, EncodesThroughTheArgumentTable) {
    struct Row {
        const char* mnemonic;
        const char* signature;
        std::vector<SeqArgument::value_t> values;
        instruction_t word;
    };
    const Row rows[] = {
        {"illegal", "", {}, 0},
        {"stop", "", {}, 0x0800000000000000},
        {"nop", "", {}, 0x1000000000000000},
        {"add", "R#,#,R#", {1, 5, 2}, 0x4400008100000005},
        {"jmp", "#", {100}, 0x1C00190000000000},
        {"wait", "#", {4}, 0xDC00100000000000},
        {"set_awg_gain", "#,#", {-1, 2}, 0xAC0000000002FFFF},
        {"set_awg_offs", "#,#", {-32768, 32767}, 0xB40000007FFF8000},
        {"move", "R#,R#", {63, 1}, 0x380000400000003F},
        {"acquire_weighed", "#,#,#,#,#", {1, 2, 3, 4, 5}, 0xD400140000081103},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.mnemonic);
        const auto word = encode(r.mnemonic, r.signature, r.values);
        ASSERT_TRUE(word.has_value());
        EXPECT_EQ(*word, r.word) << std::hex << *word;
    }
}

TEST(seq_instr_setTest, OperandRangesHaveTheirBoundaries) {
    struct Row {
        const char* mnemonic;
        const char* signature;
        std::vector<SeqArgument::value_t> values;
        bool accepted;
    };
    const Row rows[] = {
        {"wait", "#", {3}, false},
        {"wait", "#", {4}, true},
        {"wait", "#", {65535}, true},
        {"wait", "#", {65536}, false},
        {"wait", "R#", {0}, true},
        {"wait", "R#", {63}, true},
        {"wait", "R#", {64}, false},
        {"set_awg_offs", "#,#", {-32768, 32767}, true},
        {"set_awg_offs", "#,#", {32768, 0}, false},
        {"set_awg_offs", "#,#", {0, -32769}, false},
        {"jmp", "#", {0}, true},
        {"jmp", "#", {4095}, true},
        {"jmp", "#", {4096}, false},
        {"jmp", "#", {-1}, false},
        {"move", "#,R#", {4294967295, 0}, true},
        {"move", "#,R#", {4294967296, 0}, false},
        {"play", "#,#,#", {1023, 1023, 4}, true},
        {"play", "#,#,#", {1024, 0, 4}, false},
        {"acquire", "#,#,#", {63, 16777215, 65535}, true},
        {"set_mrk", "#", {16}, false},
        {"set_ph", "#,#,#", {511, 511, 8191}, true},
        {"set_ph", "#,#,#", {511, 511, 8192}, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message()
                     << r.mnemonic << " " << r.signature << " " << r.values.front());
        EXPECT_EQ(encode(r.mnemonic, r.signature, r.values).has_value(), r.accepted);
    }
}

TEST(seq_instr_setTest, VariantsAreFoundByMnemonicAndSignature) {
    ASSERT_NE(vexa().find("jmp", "#"), nullptr);
    EXPECT_EQ(vexa().find("jmp", "#")->select(), 1u);
    EXPECT_EQ(vexa().find("jmp", "R#")->select(), 0u);
    EXPECT_EQ(vexa().find("jmp", ""), nullptr);
    EXPECT_EQ(vexa().find("upd_param", "R#"), nullptr);
    EXPECT_EQ(vexa().find("upd_param", "#")->opcode(), 23u);
    EXPECT_EQ(vexa().find("play", "R#,R#,#")->select(), 0u);
    EXPECT_EQ(vexa().find("acquire", "#,R#,#")->opcode(), 25u);
}

TEST(seq_instr_setTest, DecodesBinaryWords) {
    EXPECT_EQ(vexa().findForBinary(0)->mnemonic(), "illegal");
    EXPECT_EQ(vexa().findForBinary(0x0400000000000000), nullptr);
    EXPECT_EQ(vexa().findForBinary(instruction_t{30} << 59), nullptr);
    EXPECT_EQ(vexa().findForBinary(~instruction_t{0}), nullptr);
    const auto add = vexa().findForBinary(0x4400008100000005);
    ASSERT_NE(add, nullptr);
    EXPECT_EQ(add->mnemonic(), "add");
    EXPECT_EQ(add->getFieldValue("IMM", 0x4400008100000005), 5u);
    EXPECT_EQ(add->getFieldValue("REG1", 0x4400008100000005), 1u);
    EXPECT_EQ(add->getFieldValue("REG2", 0x4400008100000005), 2u);
    EXPECT_THROW((void)vexa().find("add", "R#,R#,R#")->getFieldValue("IMM", 0),
                 SeqProcArgumentNotFoundError);
    const auto gain = vexa().findForBinary(0xAC0000000002FFFF);
    ASSERT_NE(gain, nullptr);
    EXPECT_EQ(gain->getArg(0).getValue(0xAC0000000002FFFF), 65535);
    EXPECT_EQ(gain->getArg(1).getValue(0xAC0000000002FFFF), 2);
}

} // namespace
