#include "sequencer/asmparser/AsmInstruction.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

std::shared_ptr<const SourceLine> line(const std::string& text) {
    return std::make_shared<const SourceLine>(text, 1);
}

TEST(AsmInstructionTest, ClearAllAddressesClearsTheAddressAndOnlyReferenceValues) {
    const auto src = line("jmp @end, 5");
    AsmInstruction i(AsmToken(src, 0, 3));
    EXPECT_FALSE(i.hasAddress());
    EXPECT_EQ(i.address(), -1);
    AsmArgument five(AsmToken(src, 10, 1));
    five.setImmediateIntValue(5);
    i.addArg(std::move(five));
    EXPECT_FALSE(i.hasAddressLabelRef());
    AsmArgument ref(AsmToken(src, 4, 4));
    ref.setAddressLabel(AsmToken(src, 5, 3));
    ref.setImmediateIntValue(9);
    i.addArg(ref);
    EXPECT_TRUE(i.hasAddressLabelRef());
    i.setAddress(3);

    i.clearAllAddresses();
    EXPECT_FALSE(i.hasAddress());
    EXPECT_EQ(i.address(), -1);
    EXPECT_TRUE(i.getArg(1)->hasUnresolvedAddressRef());
    EXPECT_FALSE(i.getArg(1)->hasStringValue());
    EXPECT_EQ(i.getArg(1)->intValue(), 0);
    EXPECT_EQ(i.getArg(0)->intValue(), 5);
    EXPECT_EQ(i.getArg(0)->stringValue(), "5");
    EXPECT_EQ(i.getArg(2), nullptr);
}

TEST(AsmInstructionTest, ArgumentKinds) {
    const AsmArgument five(AsmArgument::int_type{5});
    EXPECT_EQ(five.registerName(), 0);
    EXPECT_TRUE(five.hasIntValue());
    EXPECT_FALSE(five.isRegister());
    EXPECT_FALSE(five.isImmediate());

    AsmArgument r;
    r.setRegisterNameIntValue('r', 1);
    EXPECT_TRUE(r.isRegister());
    r.setRegisterName('\xC4');
    EXPECT_FALSE(r.isRegister());

    AsmArgument imm;
    imm.setImmediateStringIntValue(AsmToken("0x1F"), 31);
    EXPECT_FALSE(imm.isRegister());
    imm.clearValue();
    EXPECT_FALSE(imm.hasIntValue());
    EXPECT_FALSE(imm.hasStringValue());
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
