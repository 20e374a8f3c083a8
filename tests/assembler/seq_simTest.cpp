// What program files cannot show of the real-time simulator: every run starts a new log, the
// log text is printed at info level, and the entries can go to other sinks than the
// in-memory log, also from a run cut short. The log of each instruction is in
// tests/golden/sim.
#include "assembler/seq_sim.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assembler/seq.h"
#include "assembler/seq_event_writer.h"
#include "tests/sequencer/SimulatorTestSupport.h"

namespace {

class seq_simTest : public ::testing::Test {
protected:
    void assemble(const std::string& source) {
        UIStr report;
        ASSERT_EQ(driver.assemble(source, report), 0) << report;
    }
    bool simulate(int budget = 1000) {
        UIStr message;
        return sim.simulate(budget, message);
    }

    LogCapture quiet{Logging::quietLevel};
    seq driver;
    seq_sim& sim = *driver.rt_simulator();
};

TEST_F(seq_simTest, EveryRunStartsANewLogFromTheDefaults) {
    assemble("set_awg_gain 1, 2\nset_awg_offs 3, 4\nset_mrk 5\nplay 1, 2, 100\nstop\n");
    EXPECT_FALSE(simulate());
    assemble("upd_param 4\nstop\n");
    EXPECT_FALSE(simulate());
    ASSERT_EQ(sim.get_rt_log().size(), 1u);
    EXPECT_EQ(sim.rt_log_text(), "\nSimulation start:\n@0ns upd_param 4ns:"
                                 "\n\tawg_gain: 0:32767,1:32767\n\tawg_offset: 0:32767,1:32767"
                                 "\n\tphase: c:0,f:0,u:0\n\tphase delta: c:0,f:0,u:0"
                                 "\n\tmarker: 0\nSimulation end");
}

TEST_F(seq_simTest, TextSinkWritesWhatPrintRtLogPrintsAlsoForARunCutShort) {
    assemble("set_mrk 1\nplay 1, 2, 100\nwait 20\nacquire 1, 2, 30\nupd_param 4\nstop\n");
    for (const int budget : {1000, 3, 0}) {
        StringOutput text;
        seq_text_sink writer(text);
        seq_event_tee tee;
        tee.add(&writer);
        tee.add(&sim.rt_log_sink());
        sim.set_event_sink(&tee);
        EXPECT_EQ(simulate(budget), budget != 1000);
        LogCapture log(6);
        sim.print_rt_log("not printed");
        EXPECT_EQ(log.text().substr(log.text().find(": ") + 2), text.text() + "\n");
        Logging::setLogLevel(5);
        sim.print_rt_log("");
        EXPECT_EQ(log.text().find("Simulation start"), log.text().rfind("Simulation start"));
    }
    EXPECT_EQ(sim.rt_log_text(), "\nSimulation start:\nSimulation end");
}

TEST_F(seq_simTest, AnotherSinkLeavesTheInMemoryLogEmpty) {
    assemble("        move 1000, R1\n"
             "top:    play 1, 2, 10\n"
             "        wait 4\n"
             "        loop R1, @top\n"
             "        stop\n");
    struct Counter : seq_event_sink {
        std::vector<uint32_t> addresses;
        void event(const rt_info&, address_t address) override { addresses.push_back(address); }
    } counter;
    sim.set_event_sink(&counter);
    EXPECT_FALSE(simulate(10000));
    EXPECT_EQ(counter.addresses.size(), 2000u);
    EXPECT_EQ(counter.addresses[1999], 2u);
    EXPECT_EQ(sim.get_rt_log().capacity(), 0u);
    EXPECT_EQ(sim.realtimeTick(), 14000u);

    sim.set_event_sink(nullptr); // back to the in-memory log
    EXPECT_FALSE(simulate(10000));
    EXPECT_EQ(sim.get_rt_log().size(), 2000u);
}

} // namespace
