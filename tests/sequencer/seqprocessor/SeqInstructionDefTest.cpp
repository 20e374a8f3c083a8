#include "sequencer/seqprocessor/SeqInstructionDef.h"
#include "sequencer/seqprocessor/SeqArgumentTable.h"

#include "tests/sequencer/seqprocessor/MessageOf.h"
#include <gmock/gmock.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

// Word layout: OPCODE 63..59, SELECT 58, IMM 31..0, REG0 5..0, REG1 37..32, WIDE 58..40,
// IMM8 47..40.
const SeqArgumentTable& arguments() {
    static const SeqArgumentTable table({{0, "IMM", 31, 0},
                                         {1, "REG0", 5, 0},
                                         {2, "REG1", 37, 32},
                                         {3, "OPCODE", 63, 59},
                                         {4, "SELECT", 58, 58},
                                         {5, "WIDE", 58, 40},
                                         {6, "IMM8", 47, 40}},
                                        {{0, "imm", "", 0, 0, -1},
                                         {1, "src", "R", 1, 0, 63},
                                         {2, "lft", "R", 2, 0, 63},
                                         {3, "odd", "1", 1, 0, 63},
                                         {4, "imm2", "", 0, 0, 7},
                                         {5, "wide", "", 5, 0, -1},
                                         {6, "vreg", "V", 2, 0, 63},
                                         {7, "imm8", "", 6, 0, -1}});
    return table;
}

SeqInstructionDef makeDef(std::initializer_list<id_t> argIds) {
    SeqInstructionDef def(8, "add", 1);
    for (const id_t id : argIds)
        def.addArgument(arguments().find(id));
    return def;
}

// Signatures and listings of the real instruction set are covered by
// tests/assembler/seq_instr_setTest.cpp and the encoder's error messages in tests/golden/asm.
TEST(SeqInstructionDefTest, SignatureAndListingFollowTheArguments) {
    const struct {
        std::initializer_list<id_t> args;
        const char* signature;
        const char* listing;
    } rows[] = {
        {{}, "", "add"},
        {{0, 2, 7}, "#,R#,#", "add imm(#), lft(R#), imm8(#)"},
        {{3}, "#", "add odd(1#)"}, // a register name not starting with a letter is immediate
        {{6}, "V#", "add vreg(V#)"},
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

TEST(SeqInstructionDefTest, TwoArgumentsOnOneFieldAreRejected) {
    SeqInstructionDef def = makeDef({2, 0});
    EXPECT_EQ(messageOf<SeqProcDuplicateError>([&] { def.addArgument(arguments().find(4)); }),
              "Instruction \"add\" has different arguments writing into the same field:\n"
              "adding argument \"imm2\" with field=IMM (id=0)\n"
              "Existing arguments and fields:\n"
              "  lft: field=REG1 (id=2)\n"
              "  imm: field=IMM (id=0)\n"
              "  imm2: field=IMM (id=0)");
}

// Field values of the real instruction set are read in tests/assembler/seq_instr_setTest.cpp.
TEST(SeqInstructionDefTest, ReadingAFieldThatNoArgumentSetsIsRejected) {
    const SeqInstructionDef def = makeDef({2, 0});
    EXPECT_EQ(messageOf<SeqProcArgumentNotFoundError>([&] { (void)def.getFieldValue("REG0", 0); }),
              "Instruction add( opcode=8, select=1) does not have an argument that sets field "
              "with name=REG0");
}

TEST(SeqInstructionDefTest, ValidateFieldsReportsTheFirstOverlap) {
    const auto& fields = arguments().fieldTable();
    const std::vector<std::shared_ptr<const SeqField>> base{fields.find(3), fields.find(4)};
    EXPECT_NO_THROW(makeDef({2, 0}).validateFields(base));
    EXPECT_EQ(messageOf<SeqProcInstructionTableError>([&] { makeDef({5}).validateFields(base); }),
              "Instruction \"add\" has overlapping field bit patterns of fields 'SELECT'' and "
              "'WIDE'");
    // Argument fields that share bits without sharing an id (IMM and REG0).
    EXPECT_EQ(messageOf<SeqProcInstructionTableError>([&] {
                  makeDef({2, 0, 1}).validateFields(base);
              }),
              "Instruction \"add\" has overlapping field bit patterns of fields 'IMM'' and "
              "'REG0'");
}

TEST(SeqInstructionDefDeathTest, ArgumentBeyondTheLastIsAnInternalError) {
    const SeqInstructionDef def = makeDef({2, 0});
    EXPECT_EXIT((void)def.getArg(2), testing::ExitedWithCode(1),
                testing::HasSubstr("THROW_BUG: file='seqprocessor/SeqInstructionDef', line=120, "
                                   "function='getArg', error='Argument number 2 of instruction "
                                   "add is too large for 2 arguments'"));
}

} // namespace
