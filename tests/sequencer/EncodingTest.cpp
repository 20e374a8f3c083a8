// Instruction encoding: every variant of the table at the bounds of its operands, the
// rejected values just beyond them, and the texts of every encoding error.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "SeqAssemblerFixture.h"
#include "base/utils/SourceLine.h"
#include "sequencer/asmparser/AsmInstruction.h"
#include "sequencer/asmparser/AsmToken.h"

using ::testing::HasSubstr;
using vexa_test::Operand;
using vexa_test::Variant;

using EncodingTest = AssemblerFixture;

namespace {

std::vector<int64_t> bounds(const Variant& variant, bool maximum) {
    std::vector<int64_t> values;
    for (uint32_t id : variant.args) {
        const Operand op = vexa_test::operand(id);
        values.push_back(maximum ? op.maxValue : op.minValue);
    }
    return values;
}

} // namespace

TEST_F(EncodingTest, EveryVariantEncodesAtBothBoundsOfEachOperand) {
    ASSERT_EQ(vexa_test::variants.size(), 55u);
    for (bool maximum : {false, true}) {
        std::string source;
        std::vector<uint64_t> expected;
        for (const Variant& variant : vexa_test::variants) {
            source += vexa_test::sourceLine(variant, bounds(variant, maximum)) + "\n";
            expected.push_back(vexa_test::expectedWord(variant, bounds(variant, maximum)));
        }
        ASSERT_EQ(assemble(source), 0) << report();
        const std::vector<uint64_t> actual = words();
        ASSERT_EQ(actual.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(actual[i], expected[i])
                << (maximum ? "maximum: " : "minimum: ") << "line " << i + 1 << ": "
                << vexa_test::sourceLine(vexa_test::variants[i],
                                         bounds(vexa_test::variants[i], maximum));
        }
    }
}

TEST_F(EncodingTest, ValuesJustBeyondEitherBoundAreRejectedNamingBothBounds) {
    // One line per operand and bound, the other operands at their minimum; every line is
    // one error, and the others are still encoded.
    std::string source;
    std::vector<std::string> messages;
    for (const Variant& variant : vexa_test::variants) {
        for (size_t i = 0; i < variant.args.size(); ++i) {
            const Operand op = vexa_test::operand(variant.args[i]);
            for (int64_t bad : {op.minValue - 1, op.maxValue + 1}) {
                std::vector<int64_t> values = bounds(variant, false);
                values[i] = bad;
                source += vexa_test::sourceLine(variant, values) + "\n";
                messages.push_back("Syntax error: Instruction " + std::string(variant.mnemonic) +
                                   " argument " + std::to_string(i + 1) + " (" + op.name +
                                   ") value: " + std::to_string(bad) + " out of range (" +
                                   std::to_string(op.minValue) + "," + std::to_string(op.maxValue) +
                                   "): ");
            }
        }
    }
    ASSERT_EQ(assemble(source), static_cast<int>(messages.size()));
    for (size_t i = 0; i < messages.size(); ++i) {
        EXPECT_THAT(errorText(i), HasSubstr(messages[i])) << "error " << i;
    }
}

TEST_F(EncodingTest, KnownWords) {
    struct Row {
        const char* source;
        uint64_t word;
    };
    const Row rows[] = {
        {"illegal", 0},
        {"stop", 0x0800000000000000},
        {"nop", 0x1000000000000000},
        {"add R1, 5, R2", 0x4400008100000005},
        {"jmp 100", 0x1C00190000000000},
        {"wait 4", 0xDC00100000000000},
        {"set_awg_gain -1, 2", 0xAC0000000002FFFF},
        {"set_awg_offs 0x7fff, -32768", 0xB400000080007FFF},
        {"move 017, R5", 0x3C0001400000000F}, // an octal immediate
    };
    for (const Row& row : rows) {
        ASSERT_EQ(assemble(row.source), 0) << row.source << "\n" << report();
        EXPECT_EQ(processor.readInstructionMem(0), row.word) << row.source;
    }
}

TEST_F(EncodingTest, LabelsAndSymbolsAreEncodedWithTheirValues) {
    ASSERT_EQ(assemble(".DEF N 7\n"
                       ".DEF DST R9\n"
                       "        jmp @end\n"
                       "top:    add R1, $N, $DST\n"
                       "end:    loop R2, @top\n"),
              0)
        << report();
    EXPECT_EQ(words(), (std::vector<uint64_t>{0x1C00008000000000, 0x4400024100000007,
                                              0x3400000200000000 | (uint64_t{1} << 38)}));
}

TEST_F(EncodingTest, UnknownMnemonicPointsAtTheMnemonic) {
    ASSERT_EQ(assemble("nop\n  frob R1, 2\n"), 1);
    EXPECT_EQ(errorText(0), "test.s:2:2: Syntax error: instruction 'frob' not found: \n"
                            "  frob R1, 2\n"
                            "--^^^^\n");
}

TEST_F(EncodingTest, SignatureErrorsListTheSupportedSignatures) {
    struct Row {
        const char* source;
        const char* expected;
    };
    const Row rows[] = {
        // No operands: the place just after the mnemonic.
        {"  jmp  # to nowhere",
         "test.s:1:5: Syntax error: Instruction \"jmp\" does not support argument signature "
         "\"\"\nSupported signatures: \"R#\" \"#\": \n"
         "  jmp  # to nowhere\n"
         "-----^\n"},
        // One operand: that operand.
        {"upd_param R1",
         "test.s:1:10: Syntax error: Instruction \"upd_param\" does not support argument "
         "signature \"R#\"\nSupported signatures: \"#\": \n"
         "upd_param R1\n"
         "----------^^\n"},
        // More operands: from the first one to the end of the line.
        {"add 5, R1, R2",
         "test.s:1:4: Syntax error: Instruction \"add\" does not support argument signature "
         "\"#,R#,R#\"\nSupported signatures: \"R#,R#,R#\" \"R#,#,R#\": \n"
         "add 5, R1, R2\n"
         "----^^^^^^^^^\n"},
        {"nop 1", "test.s:1:4: Syntax error: Instruction \"nop\" does not support argument "
                  "signature \"#\"\nSupported signatures: \"\": \n"
                  "nop 1\n"
                  "----^\n"},
        // Register letters are compared exactly.
        {"move 5, r5", "test.s:1:5: Syntax error: Instruction \"move\" does not support argument "
                       "signature \"#,r#\"\nSupported signatures: \"R#,R#\" \"#,R#\": \n"
                       "move 5, r5\n"
                       "-----^^^^^\n"},
    };
    for (const Row& row : rows) {
        ASSERT_EQ(assemble(row.source), 1) << row.source;
        EXPECT_EQ(errorText(0), row.expected) << row.source;
    }
}

TEST_F(EncodingTest, OutOfRangeErrorPointsAtTheOperand) {
    ASSERT_EQ(assemble("\twait 3\n"), 1);
    EXPECT_EQ(errorText(0), "test.s:1:6: Syntax error: Instruction wait argument 1 "
                            "(seq_cnt_imm) value: 3 out of range (4,65535): \n"
                            "    wait 3\n"
                            "---------^\n");
}

// Arguments that the parser never produces are built by hand here.
class HandBuiltInstructionTest : public AssemblerFixture {
protected:
    AsmInstruction instruction(const std::string& text, size_t mnemonicLength) {
        line = std::make_shared<SourceLine>(text, 1, std::make_shared<const std::string>("h.s"));
        return AsmInstruction(AsmToken(line, 0, static_cast<int>(mnemonicLength)));
    }
    std::shared_ptr<const SourceLine> line;
};

TEST_F(HandBuiltInstructionTest, OperandOfNoKindNamesItsCharacter) {
    struct Row {
        char registerName;
        std::string expected;
    };
    const Row rows[] = {
        {'%', "registerName=% (ASCII=37)"},
        {'\0', std::string("registerName=") + '\0' + " (ASCII=0)"},
        {'\xC8', "registerName=\xC8 (ASCII=-56)"},
    };
    for (const Row& row : rows) {
        AsmInstruction wait = instruction("wait x7", 4);
        AsmArgument argument(AsmToken(line, 5, 2));
        argument.setRegisterNameIntValue(row.registerName, 7);
        wait.addArg(argument);
        try {
            assembler.assembleInstruction(wait);
            ADD_FAILURE() << "no error for register name " << int(row.registerName);
        } catch (const AsmSyntaxError& e) {
            EXPECT_EQ(e.message(), "h.s:1:5: Syntax error: Could not determine signature type "
                                   "for argument number 1: " +
                                       row.expected +
                                       " argument string value='x7': \nwait x7\n-----^^\n");
        }
    }
}

TEST_F(HandBuiltInstructionTest, OperandWithoutValueIsAnInternalError) {
    AsmInstruction wait = instruction("wait 9", 4);
    AsmArgument argument(AsmToken(line, 5, 1));
    argument.setImmediate();
    wait.addArg(argument);
    EXPECT_EXIT(assembler.assembleInstruction(wait), ::testing::ExitedWithCode(1),
                "THROW_BUG: file='SeqAssembler', line=399, function='assembleInstruction', "
                "error='No value determined for argument 1: '9''");
}
