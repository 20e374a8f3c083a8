#include "sequencer/asmparser/AsmContainer.h"

#include "base/Logging.h"
#include "sequencer/asmparser/AsmErrorList.h"
#include "sequencer/asmparser/AsmException.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

// Builds statements the way the parser would, from lines such as "end: jmp @a, 5", numbered
// from 1 in the order they are made.
class Program {
public:
    std::shared_ptr<AsmInstruction> instr(const std::string& text) {
        const auto src = std::make_shared<const SourceLine>(text, m_lineNr++);
        AsmToken rest(src);
        AsmToken label;
        if (const size_t colon = text.find(':'); colon != std::string::npos) {
            label = AsmToken(src, 0, static_cast<int>(colon));
            rest = AsmToken(src, colon + 1);
        }
        rest.stripFront();
        const size_t blank = rest.find(' ');
        AsmToken command = rest.substr(0, blank == std::string::npos ? INT_MAX : int(blank));
        auto result = std::make_shared<AsmInstruction>(command, label);
        if (blank != std::string::npos) {
            AsmToken args = rest.substr(blank, INT_MAX);
            args.stripFront();
            while (!args.empty()) {
                const size_t comma = args.find(',');
                AsmToken arg = args.substr(0, comma == std::string::npos ? INT_MAX : int(comma));
                auto a = std::make_shared<AsmArgument>(arg);
                if (arg.front() == '@')
                    a->setAddressLabel(arg.substr(1, INT_MAX));
                else
                    a->setIntValue(std::stoll(arg.toString()));
                a->setImmediate();
                result->addArg(a);
                args = comma == std::string::npos ? AsmToken() : args.substr(comma + 1, INT_MAX);
                args.stripFront();
            }
        }
        return result;
    }
    std::shared_ptr<AsmStatement> other(AsmType type) {
        return std::make_shared<AsmStatement>(
            std::make_shared<const SourceLine>("# other", m_lineNr++), type);
    }

private:
    int m_lineNr = 1;
};

TEST(AsmContainerTest, ForwardAndBackwardReferences) {
    Program p;
    AsmContainer c;
    const auto jmp = p.instr("jmp @end");
    c.push_back(jmp);
    for (int i = 2; i < 10; ++i)
        c.push_back(p.instr("nop"));
    const auto end = p.instr("end: jmp @end, @start");
    c.push_back(end);
    c.push_back(p.instr("start: nop"));
    const auto back = p.instr("jmp @end");
    c.push_back(back);

    AsmErrorList errors;
    c.assignInstructionAddresses(errors, 0, 1);
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(end->address(), 9);
    EXPECT_EQ(jmp->getArg(0)->intValue(), 9);
    EXPECT_TRUE(jmp->getArg(0)->hasIntValue());
    EXPECT_EQ(end->getArg(0)->intValue(), 9);
    EXPECT_EQ(end->getArg(1)->intValue(), 10);
    EXPECT_EQ(back->getArg(0)->intValue(), 9);
    EXPECT_EQ(c.typeCount(AsmType::INSTRUCTION), 12u);

    // Start and increment apply to labels and references alike.
    c.assignInstructionAddresses(errors, 100, 2);
    EXPECT_EQ(end->address(), 118);
    EXPECT_EQ(jmp->getArg(0)->intValue(), 118);
    EXPECT_EQ(back->address(), 122);
}

TEST(AsmContainerTest, SelfReferenceAndRepeatedPass) {
    Program p;
    AsmContainer c;
    c.push_back(p.instr("nop"));
    const auto loop = p.instr("loop: jmp @loop");
    c.push_back(loop);
    AsmErrorList errors;
    c.assignInstructionAddresses(errors, 0, 1);
    EXPECT_EQ(loop->getArg(0)->intValue(), 1);
    c.assignInstructionAddresses(errors, 0, 1);
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(loop->address(), 1);
    EXPECT_EQ(loop->getArg(0)->intValue(), 1);
    EXPECT_FALSE(loop->getArg(0)->hasStringValue());
}

TEST(AsmContainerTest, OtherStatementsGetNoAddress) {
    Program p;
    AsmContainer c;
    c.push_back(p.other(AsmType::COMMENT_ONLY));
    const auto first = p.instr("nop");
    c.push_back(first);
    const auto directive = p.other(AsmType::DIRECTIVE);
    c.push_back(directive);
    const auto second = p.instr("nop");
    c.push_back(second);
    AsmErrorList errors;
    c.assignInstructionAddresses(errors, 0, 1);
    EXPECT_EQ(first->address(), 0);
    EXPECT_EQ(second->address(), 1);
    EXPECT_EQ(c.size(), 4u);
    EXPECT_EQ(c.typeCount(AsmType::DIRECTIVE), 1u);
    EXPECT_EQ(c.typeCount(AsmType::LABEL_ONLY), 0u);
    EXPECT_EQ(c.numberOfInstructions(), 2u);
}

TEST(AsmContainerTest, EveryUnresolvedReferenceIsOneError) {
    Program p;
    AsmContainer c;
    c.push_back(p.instr("jmp @missing"));
    c.push_back(p.instr("nop"));
    const auto twice = p.instr("jmp @missing, @missing");
    c.push_back(twice);
    AsmErrorList errors;
    c.assignInstructionAddresses(errors, 0, 1);
    ASSERT_EQ(errors.size(), 3u);
    const int expectedLines[] = {1, 3, 3};
    for (size_t i = 0; i < 3; ++i) {
        const auto& e = *(errors.begin() + i);
        EXPECT_EQ(e->lineNr(), expectedLines[i]);
        EXPECT_STREQ(e->errorType(), "Unresolved address label error");
        EXPECT_NE(e->message().find("Unresolved address label: missing. "), std::string::npos);
        EXPECT_NE(dynamic_cast<AsmUnresolvedAddressLabelError*>(e.get()), nullptr);
    }
    EXPECT_FALSE(twice->getArg(1)->hasIntValue());

    // A repeated pass reports the same errors, not twice as many.
    AsmErrorList again;
    c.assignInstructionAddresses(again, 0, 1);
    EXPECT_EQ(again.size(), 3u);

    // Defining the label later resolves the references instead of clashing with them.
    c.push_back(p.instr("missing: nop"));
    AsmErrorList resolved;
    c.assignInstructionAddresses(resolved, 0, 1);
    EXPECT_TRUE(resolved.empty());
    EXPECT_EQ(twice->getArg(1)->intValue(), 3);
}

TEST(AsmContainerTest, DuplicateLabelIsRejected) {
    Program p;
    AsmContainer c;
    c.push_back(p.instr("nop"));
    c.push_back(p.instr("here: nop"));
    const auto again = p.instr("here: jmp @here");
    try {
        c.push_back(again);
        FAIL() << "no error thrown";
    } catch (const AsmDuplicateAddressLabelError& e) {
        EXPECT_EQ(e.numberOfErrorSources(), 2u);
        EXPECT_EQ(e.lineNr(), 2);
        EXPECT_EQ(e.definition(), "here");
    }
    EXPECT_EQ(c.size(), 2u);
    EXPECT_EQ(c.typeCount(AsmType::INSTRUCTION), 2u);
    AsmErrorList errors;
    c.assignInstructionAddresses(errors, 0, 1);
    EXPECT_FALSE(again->hasAddress());
    EXPECT_EQ(c.addressLabels().at("here").address(), 1);
}

TEST(AsmContainerTest, TraceOnlyAboveDebugLevel) {
    Program p;
    AsmContainer c;
    c.push_back(p.instr("jmp @end"));
    c.push_back(p.instr("end: nop"));
    AsmErrorList errors;
    const int level = Logging::getLogLevel();
    Logging::setLogLevel(7);
    testing::internal::CaptureStderr();
    c.assignInstructionAddresses(errors, 0, 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    Logging::setLogLevel(8);
    testing::internal::CaptureStderr();
    c.assignInstructionAddresses(errors, 0, 1);
    const std::string trace = testing::internal::GetCapturedStderr();
    Logging::setLogLevel(level);
    EXPECT_NE(trace.find("adding another unresolved reference to address label 'end'"),
              std::string::npos);
    EXPECT_NE(trace.find("assigning address 1 to existing label 'end'"), std::string::npos);
    EXPECT_NE(trace.find("Resolving address label 'end' reference to address 1"),
              std::string::npos);
}

TEST(AsmContainerDeathTest, LabelOnlyStatementIsAnInternalError) {
    auto labelOnly = std::make_shared<AsmInstruction>(std::make_shared<const SourceLine>("x:", 1),
                                                      AsmType::LABEL_ONLY);
    AsmContainer c;
    EXPECT_EXIT(c.push_back(labelOnly), testing::ExitedWithCode(1),
                "THROW_BUG: file='asmparser/AsmContainer', line=[0-9]+, function='push_back', "
                "error='Can not add LABEL_ONLY statements to AsmContainer. Merge with next real "
                "instruction before adding'");
    EXPECT_EXIT(AsmContainer::AddressLabelInfo(AsmToken(), nullptr), testing::ExitedWithCode(1),
                "AddressLabelInfo created from empty AsmToken label\\.");
}

} // namespace
