#include "sequencer/seqprocessor/SeqInstructionSet.h"

#include "tests/sequencer/seqprocessor/MessageOf.h"
#include <gmock/gmock.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

enum : id_t { IMM, REG0, REG1, ADDR, SELECT, OPCODE, LOW_SELECT };
enum : id_t { ARG_IMM, ARG_SRC, ARG_LFT, ARG_ADR, ARG_SRC2 };

// A small processor: opcode 63..59, select 58, IMM 31..0, REG0 5..0,
// REG1 37..32, ADDR 49..38; LOW_SELECT (bit 0) is a bad select field for the overlap test.
const SeqArgumentTable& arguments() {
    static const SeqArgumentTable table({{IMM, "IMM", 31, 0},
                                         {REG0, "REG0", 5, 0},
                                         {REG1, "REG1", 37, 32},
                                         {ADDR, "ADDR", 49, 38},
                                         {SELECT, "SELECT", 58, 58},
                                         {OPCODE, "OPCODE", 63, 59},
                                         {LOW_SELECT, "LOW", 0, 0}},
                                        {{ARG_IMM, "imm", "", IMM, 0, -1},
                                         {ARG_SRC, "src", "R", REG0, 0, 63},
                                         {ARG_LFT, "lft", "R", REG1, 0, 63},
                                         {ARG_ADR, "adr", "", ADDR, 0, -1},
                                         {ARG_SRC2, "src2", "R", REG0, 0, 63}});
    return table;
}

// Opcode 31 and select 1 are the largest values the base fields hold.
SeqInstructionSet smallSet() {
    return SeqInstructionSet(2, 3, OPCODE, SELECT, arguments(),
                             {{0, "illegal", 0},
                              {3, "jmp", 1, ARG_ADR},
                              {3, "jmp", 0, ARG_SRC},
                              {8, "add", 1, ARG_LFT, ARG_IMM},
                              {8, "add", 0, ARG_LFT, ARG_SRC},
                              {5, "imm_only", 1, ARG_IMM},
                              {31, "top", 1}});
}

std::string listing(const SeqInstructionSet& set) {
    std::ostringstream out;
    out << set;
    return out.str();
}

// The real instruction set's look-ups and decoding are covered by
// tests/assembler/seq_instr_setTest.cpp.
TEST(SeqInstructionSetTest, RecordsOfOneMnemonicFormOneFamily) {
    const SeqInstructionSet set = smallSet();
    EXPECT_EQ(set.size(), 5u);
    EXPECT_EQ(set.find("jmp")->size(), 2u);
    EXPECT_EQ(set.find(3u, 0u)->signature(), "R#");
    EXPECT_EQ(set.find(3u, 1u)->signature(), "#");
    EXPECT_EQ(set.find("jmp", "#"), set.find(3u, 1u));
    EXPECT_EQ(listing(set), "illegal\n"
                            "jmp src(R#)\n"
                            "jmp adr(#)\n"
                            "imm_only imm(#)\n"
                            "add lft(R#), src(R#)\n"
                            "add lft(R#), imm(#)\n"
                            "top\n");
    EXPECT_NO_THROW(set.validate());
}

TEST(SeqInstructionSetTest, MissingEntriesGiveNull) {
    const SeqInstructionSet set = smallSet();
    // Beyond the table, empty slots, selects missing in or beyond a family.
    const std::pair<unsigned, unsigned> missing[] = {{32, 0}, {0xFFFFFFFF, 0}, {4, 0},  {30, 0},
                                                     {5, 0},  {0, 1},          {31, 0}, {3, 7}};
    for (const auto& [opcode, select] : missing) {
        EXPECT_EQ(set.find(opcode, select), nullptr) << opcode << "," << select;
        if (opcode < 32 && select < 2) {
            EXPECT_EQ(set.findForBinary(instruction_t{opcode} << 59 | instruction_t{select} << 58),
                      nullptr)
                << opcode << "," << select;
        }
    }
    EXPECT_EQ(set.find("sub", "#"), nullptr);
    EXPECT_EQ(set.find("jmp", ""), nullptr);
    EXPECT_EQ(set.find("JMP", "#"), nullptr);
    EXPECT_EQ(set.find("jmp", "r#"), nullptr);
    EXPECT_EQ(SeqInstructionSet().findForBinary(0), nullptr);
    EXPECT_EQ(set.findForBinary(0x18000000FFFFFFFF)->signature(), "R#"); // arguments ignored
    EXPECT_EQ(set.findForBinary(~instruction_t{0})->mnemonic(), "top");
}

TEST(SeqInstructionSetTest, WritesBaseFieldsUpToTheirMaskAndLeavesTheOtherBits) {
    const SeqInstructionSet set = smallSet();
    instruction_t word = ~instruction_t{0};
    EXPECT_TRUE(set.writeOpcodeField(word, 3));
    EXPECT_TRUE(set.writeSelectField(word, 0));
    EXPECT_EQ(word, 0x1BFFFFFFFFFFFFFF);
    word = 0;
    EXPECT_TRUE(set.writeOpcodeField(word, 31));
    EXPECT_TRUE(set.writeSelectField(word, 1));
    EXPECT_EQ(word, 0xFC00000000000000);
}

TEST(SeqInstructionSetTest, InconsistentRecordsAreRejectedAndTheSetUnchanged) {
    const struct {
        SeqInstructionInit record;
        const char* message;
    } rows[] = {
        {{3, "jmp", 1, ARG_IMM},
         "Instruction with opcode=3 mnemonic=\"jmp\" is already defined for select=1 "
         "signature=\"#\""},
        {{3, "jmp", 2, ARG_ADR},
         "Instruction with opcode=3 mnemonic=\"jmp\" is already defined for select=2 "
         "signature=\"#\""},
        {{4, "jmp", 2, ARG_LFT},
         "Instruction with mnemonic \"jmp\" is defined with different opcodes: 3 and 4"},
        {{8, "sub", 1, ARG_LFT, ARG_IMM},
         "Instruction with opcode 8 is defined with different mnemonics: \"add\" and \"sub\""},
        {{9, "sub", 1, ARG_LFT, 17},
         "Instruction sub (opcode=9 refers to non-existing Argument ID=17"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.message);
        SeqInstructionSet set = smallSet();
        EXPECT_EQ(messageOf<SeqProcInstructionTableError>([&] { set.add(r.record); }), r.message);
        EXPECT_EQ(listing(set), listing(smallSet()));
        EXPECT_EQ(set.size(), 5u);
        EXPECT_EQ(set.find("sub"), nullptr);
    }
    SeqInstructionSet set = smallSet();
    EXPECT_THAT(messageOf<SeqProcDuplicateError>(
                    [&] { set.add(SeqInstructionInit(9, "sub", 1, ARG_SRC, ARG_SRC2)); }),
                testing::StartsWith("Instruction \"sub\" has different arguments writing into "
                                    "the same field:"));
    EXPECT_EQ(set.find("sub"), nullptr);
}

TEST(SeqInstructionSetTest, MissingBaseFieldsAreRejected) {
    SeqInstructionSet set = smallSet();
    EXPECT_EQ(messageOf<SeqProcInstructionTableError>([&] { set.setBaseFields(40, SELECT); }),
              "Opcode SeqField with Id=40 not found");
    EXPECT_EQ(messageOf<SeqProcInstructionTableError>([&] { set.setBaseFields(OPCODE, 41); }),
              "Select SeqField with Id=41 not found");
    EXPECT_EQ(set.opcodeField()->name(), "OPCODE");
    EXPECT_EQ(set.selectField()->name(), "SELECT");
}

TEST(SeqInstructionSetTest, ValidateChecksRangesAndOverlaps) {
    const struct {
        SeqInstructionInit record;
        id_t selectField;
        const char* message;
    } rows[] = {
        {{32, "big", 0}, SELECT, "Instruction \"big\" has opcode 32 out of range (0,31)"},
        {{9, "sel", 2}, SELECT, "Instruction \"sel\" has select 2 out of range (0,1)"},
        // "illegal" has no arguments and passes; "jmp" R# writes bit 0.
        {{9, "low", 1, ARG_LFT},
         LOW_SELECT,
         "Instruction \"jmp\" has overlapping field bit patterns of fields 'LOW'' and "
         "'REG0'"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.message);
        SeqInstructionSet set = smallSet();
        set.add(r.record);
        set.setBaseFields(OPCODE, r.selectField);
        EXPECT_EQ(messageOf<SeqProcInstructionTableError>([&] { set.validate(); }), r.message);
    }
}

TEST(SeqInstructionSetDeathTest, InternalErrors) {
    SeqInstructionSet set = smallSet();
    instruction_t word = 0;
    const std::string prefix = "THROW_BUG: file='seqprocessor/SeqInstructionSet', ";
    EXPECT_EXIT(set.writeOpcodeField(word, 32), testing::ExitedWithCode(1),
                testing::HasSubstr(prefix + "line=212, function='writeOpcodeField', "
                                            "error='opcode 32 is out of range 31'"));
    EXPECT_EXIT(set.writeSelectField(word, 2), testing::ExitedWithCode(1),
                testing::HasSubstr("line=221, function='writeSelectField', error='select 2 is "
                                   "out of range 1'"));
    EXPECT_EXIT(set.add(std::shared_ptr<SeqInstructionDef>()), testing::ExitedWithCode(1),
                testing::HasSubstr("line=155, function='add', error='Adding null pointer "
                                   "SeqInstructionDef to SeqInstructionSet'"));
    EXPECT_EXIT(set.add(SeqInstructionDef()), testing::ExitedWithCode(1),
                testing::HasSubstr("line=158, function='add', error='Adding uninitialized "
                                   "SeqInstructionDef to SeqInstructionSet'"));
    EXPECT_EXIT(SeqInstructionSet().validateFields(*set.find(3u, 1u)), testing::ExitedWithCode(1),
                testing::HasSubstr("line=81, function='validateFields', error='opcodeField "
                                   "pointer not set'"));
    const SeqInstructionVariations empty;
    EXPECT_EXIT((void)empty.opcode(), testing::ExitedWithCode(1),
                testing::HasSubstr("line=99, function='opcode', error='Requesting opcode from "
                                   "empty SeqInstructionVariations'"));
    EXPECT_EXIT((void)empty.mnemonic(), testing::ExitedWithCode(1),
                testing::HasSubstr(prefix + "line=104, function='mnemonic', error='Requesting "
                                            "mnemonic from empty SeqInstructionVariations'"));
}

} // namespace
