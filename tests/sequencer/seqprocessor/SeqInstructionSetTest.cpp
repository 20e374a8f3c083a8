// Instruction definitions and the set that decodes them, over a small made-up word layout.
// The real instruction set is covered by tests/assembler/seq_instr_setTest.cpp and the
// encoder's messages by tests/golden/asm.
#include "sequencer/seqprocessor/SeqInstructionSet.h"

#include "tests/sequencer/seqprocessor/MessageOf.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

enum : id_t { IMM, REG0, REG1, ADDR, SELECT, OPCODE, LOW_SELECT, WIDE, IMM8 };
enum : id_t { ARG_IMM, ARG_SRC, ARG_LFT, ARG_ADR, ARG_SRC2 };
enum : id_t { ARG_ODD = ARG_SRC2 + 1, ARG_IMM2, ARG_WIDE, ARG_IMM8 };

// Opcode 63..59, select 58, IMM 31..0, REG0 5..0, REG1 37..32, ADDR 49..38, WIDE 58..40 and
// IMM8 47..40; LOW_SELECT (bit 0) is a bad select field for the overlap test.
const SeqArgumentTable& arguments() {
    static const SeqArgumentTable table({{IMM, "IMM", 31, 0},
                                         {REG0, "REG0", 5, 0},
                                         {REG1, "REG1", 37, 32},
                                         {ADDR, "ADDR", 49, 38},
                                         {SELECT, "SELECT", 58, 58},
                                         {OPCODE, "OPCODE", 63, 59},
                                         {LOW_SELECT, "LOW", 0, 0},
                                         {WIDE, "WIDE", 58, 40},
                                         {IMM8, "IMM8", 47, 40}},
                                        {{ARG_IMM, "imm", "", IMM, 0, -1},
                                         {ARG_SRC, "src", "R", REG0, 0, 63},
                                         {ARG_LFT, "lft", "R", REG1, 0, 63},
                                         {ARG_ADR, "adr", "", ADDR, 0, -1},
                                         {ARG_SRC2, "src2", "R", REG0, 0, 63},
                                         {ARG_ODD, "odd", "1", REG0, 0, 63},
                                         {ARG_IMM2, "imm2", "", IMM, 0, 7},
                                         {ARG_WIDE, "wide", "", WIDE, 0, -1},
                                         {ARG_IMM8, "imm8", "", IMM8, 0, -1}});
    return table;
}

SeqInstructionDef makeDef(std::initializer_list<id_t> argIds) {
    SeqInstructionDef def(8, "add", 1);
    for (const id_t id : argIds)
        def.addArgument(arguments().find(id));
    return def;
}

TEST(SeqInstructionDefTest, SignatureAndListingFollowTheArguments) {
    const struct {
        std::initializer_list<id_t> args;
        const char* signature;
        const char* listing;
    } rows[] = {
        {{}, "", "add"},
        {{ARG_IMM, ARG_LFT, ARG_IMM8}, "#,R#,#", "add imm(#), lft(R#), imm8(#)"},
        {{ARG_ODD}, "#", "add odd(1#)"}, // a register name not starting with a letter is immediate
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.listing);
        SeqInstructionDef def = makeDef(r.args);
        def.addArgument(nullptr); // changes nothing
        EXPECT_EQ(def.signature(), r.signature);
        EXPECT_EQ(def.signature().numArgs(), r.args.size());
        std::ostringstream out;
        out << def;
        EXPECT_EQ(out.str(), r.listing);
    }
}

TEST(SeqInstructionDefTest, FieldsAreSetByOneArgumentEachAndReadThroughIt) {
    SeqInstructionDef def = makeDef({ARG_LFT, ARG_IMM});
    EXPECT_EQ(messageOf<SeqProcArgumentNotFoundError>([&] { (void)def.getFieldValue("REG0", 0); }),
              "Instruction add( opcode=8, select=1) does not have an argument that sets field "
              "with name=REG0");
    EXPECT_EQ(
        messageOf<SeqProcDuplicateError>([&] { def.addArgument(arguments().find(ARG_IMM2)); }),
        "Instruction \"add\" has different arguments writing into the same field:\n"
        "adding argument \"imm2\" with field=IMM (id=0)\n"
        "Existing arguments and fields:\n"
        "  lft: field=REG1 (id=2)\n"
        "  imm: field=IMM (id=0)\n"
        "  imm2: field=IMM (id=0)");
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

TEST(SeqInstructionSetTest, RecordsOfOneMnemonicFormOneFamily) {
    const SeqInstructionSet set = smallSet();
    EXPECT_EQ(set.size(), 5u);
    EXPECT_EQ(set.find("jmp")->size(), 2u);
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

// Beyond the table, empty slots, selects missing in or beyond a family; words are decoded by
// their opcode and select alone.
TEST(SeqInstructionSetTest, MissingEntriesGiveNull) {
    const SeqInstructionSet set = smallSet();
    for (const auto& [opcode, select] :
         {std::pair{32u, 0u}, {0xFFFFFFFFu, 0u}, {4u, 0u}, {5u, 0u}, {0u, 1u}, {3u, 7u}})
        EXPECT_EQ(set.find(opcode, select), nullptr) << opcode << "," << select;
    for (const instruction_t word : {0x0400000000000000u, 0x2000000000000000u, 0xF800000000000000u})
        EXPECT_EQ(set.findForBinary(word), nullptr) << word;
    for (const auto& [mnemonic, signature] :
         {std::pair{"sub", "#"}, {"jmp", ""}, {"JMP", "#"}, {"jmp", "r#"}})
        EXPECT_EQ(set.find(mnemonic, signature), nullptr) << mnemonic << signature;
    EXPECT_EQ(SeqInstructionSet().findForBinary(0), nullptr);
    EXPECT_EQ(set.findForBinary(0x18000000FFFFFFFF)->signature(), "R#");
    EXPECT_EQ(set.findForBinary(~instruction_t{0})->mnemonic(), "top");
}

TEST(SeqInstructionSetTest, WritesBaseFieldsUpToTheirMaskAndLeavesTheOtherBits) {
    const SeqInstructionSet set = smallSet();
    instruction_t ones = ~instruction_t{0}, zeros = 0;
    EXPECT_TRUE(set.writeOpcodeField(ones, 3) && set.writeSelectField(ones, 0));
    EXPECT_EQ(ones, 0x1BFFFFFFFFFFFFFF);
    EXPECT_TRUE(set.writeOpcodeField(zeros, 31) && set.writeSelectField(zeros, 1));
    EXPECT_EQ(zeros, 0xFC00000000000000);
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
        EXPECT_EQ(set.find("sub"), nullptr);
    }
    SeqInstructionSet set = smallSet();
    EXPECT_THROW(set.add(SeqInstructionInit(9, "sub", 1, ARG_SRC, ARG_SRC2)),
                 SeqProcDuplicateError);
    EXPECT_EQ(set.find("sub"), nullptr);
}

TEST(SeqInstructionSetTest, MissingBaseFieldsAreRejected) {
    SeqInstructionSet set = smallSet();
    EXPECT_EQ(messageOf<SeqProcInstructionTableError>([&] { set.setBaseFields(40, SELECT); }),
              "Opcode SeqField with Id=40 not found");
    EXPECT_EQ(messageOf<SeqProcInstructionTableError>([&] { set.setBaseFields(OPCODE, 41); }),
              "Select SeqField with Id=41 not found");
}

TEST(SeqInstructionSetTest, ValidateChecksRangesAndOverlaps) {
    const struct {
        SeqInstructionInit record;
        id_t selectField;
        const char* message;
    } rows[] = {
        {{32, "big", 0}, SELECT, "Instruction \"big\" has opcode 32 out of range (0,31)"},
        {{9, "sel", 2}, SELECT, "Instruction \"sel\" has select 2 out of range (0,1)"},
        {{9, "wide", 1, ARG_WIDE},
         SELECT,
         "Instruction \"wide\" has overlapping field bit patterns of fields 'SELECT'' and "
         "'WIDE'"},
        // Argument fields that share bits without sharing an id.
        {{9, "both", 1, ARG_LFT, ARG_IMM, ARG_SRC},
         SELECT,
         "Instruction \"both\" has overlapping field bit patterns of fields 'IMM'' and "
         "'REG0'"},
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

// Internal errors end the process with a message whose line numbers are fixed.
TEST(SeqInstructionSetDeathTest, InternalErrorsCarryTheirFixedLines) {
    SeqInstructionSet set = smallSet();
    instruction_t word = 0;
    EXPECT_EXIT(set.writeOpcodeField(word, 32), testing::ExitedWithCode(1),
                testing::HasSubstr("THROW_BUG: file='seqprocessor/SeqInstructionSet', line=212, "
                                   "function='writeOpcodeField', error='opcode 32 is out of "
                                   "range 31'"));
    EXPECT_EXIT(set.add(std::shared_ptr<SeqInstructionDef>()), testing::ExitedWithCode(1),
                testing::HasSubstr("line=155, function='add', error='Adding null pointer "
                                   "SeqInstructionDef to SeqInstructionSet'"));
    EXPECT_EXIT((void)makeDef({ARG_LFT}).getArg(1), testing::ExitedWithCode(1),
                testing::HasSubstr("THROW_BUG: file='seqprocessor/SeqInstructionDef', line=120, "
                                   "function='getArg'"));
}

} // namespace
