#include "sequencer/asmparser/AsmInstruction.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

std::shared_ptr<const SourceLine> line(const std::string& text, int lineNr = 1) {
    return std::make_shared<const SourceLine>(text, lineNr);
}

TEST(AsmInstructionTest, NewInstructionHasNoAddress) {
    const auto src = line("loop: jmp @loop");
    AsmInstruction i(AsmToken(src, 6, 3), AsmToken(src, 0, 4));
    EXPECT_EQ(i.type(), AsmType::INSTRUCTION);
    EXPECT_EQ(i.sourceLine(), src);
    EXPECT_FALSE(i.hasAddress());
    EXPECT_EQ(i.address(), -1);
    i.setAddress(7);
    EXPECT_TRUE(i.hasAddress());
    EXPECT_EQ(i.address(), 7);
    EXPECT_FALSE(AsmInstruction().hasAddress());
    EXPECT_EQ(AsmInstruction().type(), AsmType::EMPTY);
}

TEST(AsmInstructionTest, SetAddressLabelReplacesTheLabel) {
    const auto src = line("a: b: nop");
    AsmInstruction i(AsmToken(src, 6), AsmToken(src, 0, 1));
    i.setAddressLabel(AsmToken(src, 3, 1));
    EXPECT_EQ(i.addressLabel(), "b");
    i.clearAddressLabel();
    EXPECT_FALSE(i.hasAddressLabel());
}

TEST(AsmInstructionTest, ClearAllAddressesClearsOnlyReferenceValues) {
    const auto src = line("jmp @end, 5");
    AsmInstruction i(AsmToken(src, 0, 3));
    AsmArgument ref(AsmToken(src, 4, 4));
    ref.setAddressLabel(AsmToken(src, 5, 3));
    ref.setImmediateIntValue(9);
    i.addArg(ref);
    AsmArgument five(AsmToken(src, 10, 1));
    five.setImmediateIntValue(5);
    i.addArg(std::move(five));
    i.setAddress(3);
    EXPECT_TRUE(i.hasAddressLabelRef());

    i.clearAllAddresses();
    EXPECT_FALSE(i.hasAddress());
    EXPECT_TRUE(i.getArg(0)->hasUnresolvedAddressRef());
    EXPECT_FALSE(i.getArg(0)->hasStringValue());
    EXPECT_EQ(i.getArg(0)->intValue(), 0);
    EXPECT_EQ(i.getArg(1)->intValue(), 5);
    EXPECT_EQ(i.getArg(1)->stringValue(), "5");
    EXPECT_EQ(i.getArg(2), nullptr);
}

TEST(AsmInstructionTest, BuiltFromCode) {
    AsmInstruction i;
    i.setCommand(std::string("wait"));
    i.addArg(AsmArgument::int_type{5});
    i.addArg(std::string("R3"));
    EXPECT_EQ(i.command(), "wait");
    ASSERT_EQ(i.numArgs(), 2u);
    const std::shared_ptr<const AsmArgument> five = std::as_const(i).getArg(0);
    EXPECT_EQ(five->registerName(), AsmArgument::s_noRegisterName);
    EXPECT_TRUE(five->hasIntValue());
    EXPECT_FALSE(five->isRegister());
    EXPECT_FALSE(five->isImmediate());
    EXPECT_EQ(i.getArg(1)->stringValue(), "R3");
    EXPECT_FALSE(i.getArg(1)->hasIntValue());
    EXPECT_FALSE(i.hasAddressLabelRef());
    i.clear();
    EXPECT_EQ(i.numArgs(), 0u);
    EXPECT_TRUE(i.command().empty());
}

TEST(AsmInstructionTest, ArgumentKinds) {
    AsmArgument r;
    r.setRegisterNameIntValue('r', 1);
    EXPECT_TRUE(r.isRegister());
    EXPECT_FALSE(r.isImmediate());
    EXPECT_EQ(r.registerName(), 'r');

    AsmArgument imm;
    imm.setImmediateStringIntValue(AsmToken("0x1F"), 31);
    EXPECT_TRUE(imm.isImmediate());
    EXPECT_FALSE(imm.isRegister());
    imm.clearValue();
    EXPECT_FALSE(imm.hasIntValue());
    EXPECT_TRUE(imm.isImmediate());

    // A symbol counts as resolved once its value text comes from another line.
    const auto use = line("add $n");
    AsmArgument sym(AsmToken(use, 4));
    sym.setSymbolName(AsmToken(use, 5));
    EXPECT_TRUE(sym.hasUnresolvedSymbol());
    sym.setStringValue(AsmToken(line(".DEF n 3"), 7));
    EXPECT_FALSE(sym.hasUnresolvedSymbol());
    EXPECT_FALSE(AsmArgument().hasUnresolvedSymbol());
}

} // namespace
