#include "sequencer/seqprocessor/SeqProcError.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <typeinfo>

namespace {

struct FakeSignature {
    const char* text;
};
std::ostream& operator<<(std::ostream& out, const FakeSignature& signature) {
    return out << '<' << signature.text << '>';
}

// Each row throws one concrete class, streamed in the throw expression; the thrown object must
// be of that class and every way of catching it must report the whole message.
TEST(SeqProcErrorTest, EveryClassIsThrownAsItselfAndReportsItsMessage) {
    const struct {
        const std::type_info& type;
        std::function<void()> raise;
        std::string expected;
        bool logic;
    } rows[] = {
        {typeid(SeqProcMemoryError),
         [] {
             throw SeqProcMemoryError("Attempt to read ")
                 << std::string("instruction") << " at address " << 70 << " beyond maximum address "
                 << 63u;
         },
         "Attempt to read instruction at address 70 beyond maximum address 63", false},
        {typeid(SeqProcDuplicateError), [] { throw SeqProcDuplicateError("Duplicate id ") << 7; },
         "Duplicate id 7", true},
        {typeid(SeqProcUninitializedError),
         [] { throw SeqProcUninitializedError("Entry ") << -1L << " unset"; }, "Entry -1 unset",
         true},
        {typeid(SeqProcInstructionTableError),
         [] {
             throw SeqProcInstructionTableError("Signature ")
                 << FakeSignature{"RI"} << " defined twice";
         },
         "Signature <RI> defined twice", true},
        {typeid(SeqProcArgumentNotFoundError),
         [] { throw SeqProcArgumentNotFoundError("No field ") << std::string("imm"); },
         "No field imm", false},
        {typeid(SeqProcInstructionNotFoundError),
         [] {
             throw SeqProcInstructionNotFoundError("No instruction for ")
                 << 18446744073709551615ul << " select=" << true;
         },
         "No instruction for 18446744073709551615 select=1", false},
    };
    for (const auto& row : rows) {
        const char* name = row.type.name();
        try {
            row.raise();
            ADD_FAILURE() << name << ": nothing thrown";
        } catch (std::exception& e) {
            EXPECT_EQ(row.type, typeid(e)) << name;
            EXPECT_EQ(row.expected, e.what()) << name;
            auto* procError = dynamic_cast<SeqProcError*>(&e);
            ASSERT_NE(nullptr, procError) << name;
            EXPECT_EQ(row.expected, procError->what()) << name;
            EXPECT_EQ(row.logic, dynamic_cast<SeqProcLogicError*>(&e) != nullptr) << name;
            EXPECT_EQ(!row.logic, dynamic_cast<SeqProcRuntimeError*>(&e) != nullptr) << name;
        }
    }
}

TEST(SeqProcErrorTest, IllegalInterruptCarriesAddressApartFromMessage) {
    try {
        throw VexaIllegalInterrupt("illegal instruction", 4000000000u) << " reached";
    } catch (VexaInterrupt& e) {
        EXPECT_STREQ("illegal instruction reached", e.what());
        EXPECT_EQ(4000000000u, e.instructionAddress());
        EXPECT_NE(nullptr, dynamic_cast<VexaIllegalInterrupt*>(&e));
    }
    EXPECT_STREQ("", VexaInterrupt(nullptr, 1).what());
}

} // namespace
