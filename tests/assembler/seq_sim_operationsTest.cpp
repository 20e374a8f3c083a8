// The real-time operations as seq_sim adds them to the generic simulator: a row for every
// mnemonic of the instruction set, and the kind of every log entry by its operation.
#include "assembler/seq_sim_operations.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assembler/seq.h"
#include "assembler/seq_instr_set.h"
#include "tests/sequencer/SimulatorTestSupport.h"

namespace {

// reset_ph is in the set but executed by neither simulator.
TEST(seq_sim_operationsTest, EveryMnemonicOfTheInstructionSetHasARow) {
    const SeqInstructionSet set = seq_instr_set();
    int definitions = 0;
    for (unsigned opcode = 0; opcode < set.idSlots(); ++opcode) {
        for (unsigned select = 0; select < 2; ++select) {
            const auto& def = set.find(opcode, select);
            if (!def)
                continue;
            ++definitions;
            const std::string& mnemonic = def->mnemonic();
            const SeqOperationRow* generic = findSeqOperation(s_seqGenericOperations, mnemonic);
            const SeqOperationRow* realtime = findSeqOperation(s_seqRealtimeOperations, mnemonic);
            EXPECT_EQ(generic != nullptr || realtime != nullptr, mnemonic != "reset_ph")
                << mnemonic;
            EXPECT_FALSE(generic != nullptr && realtime != nullptr) << mnemonic;
        }
    }
    EXPECT_EQ(definitions, 55);
}

TEST(seq_sim_operationsTest, EveryLoggedEntryHasTheKindOfItsOperation) {
    LogCapture quiet{Logging::quietLevel};
    seq driver;
    UIStr report;
    ASSERT_EQ(driver.assemble(std::string("        move 7, R2\n"
                                          "        upd_param 10\n"
                                          "        play R2, R2, 20\n"
                                          "        acquire 1, 2, 30\n"
                                          "        acquire_weighed 2, 3, 4, 5, 40\n"
                                          "        wait R2\n"
                                          "        wait_trigger 5\n"
                                          "        wait_sync 6\n"
                                          "        stop\n"),
                              report),
              0)
        << report;
    seq_sim& sim = *driver.rt_simulator();
    UIStr message;
    ASSERT_FALSE(sim.simulate(100, message)) << message;
    using kind = seq_sim::event_kind;
    std::vector<kind> kinds;
    for (const seq_sim::rt_info& entry : sim.get_rt_log())
        kinds.push_back(seq_sim::kind_of(entry));
    EXPECT_EQ(kinds, (std::vector<kind>{kind::update, kind::play, kind::acquisition,
                                        kind::acquisition, kind::wait, kind::wait, kind::wait}));
    // Settings and generic instructions log nothing; a wait is an operation, not a prefix.
    for (const char* mnemonic : {"set_ph", "sw_req", "nop", "reset_ph", "waiting", ""})
        EXPECT_EQ(seq_sim::kind_of(mnemonic), kind::none) << mnemonic;
    EXPECT_EQ(seq_sim::kind_of(static_cast<const char*>(nullptr)), kind::none);
}

} // namespace
