// The real-time log beyond what tests/golden/sim shows: a new one for every run, printing,
// other sinks than the in-memory log, and CSV and JSON Lines carrying every value of it.
#include "assembler/seq_sim.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "assembler/seq.h"
#include "formats/seq_csv_sink.h"
#include "formats/seq_jsonl_sink.h"
#include "tests/assembler/EventRows.h"
#include "tests/sequencer/SimulatorTestSupport.h"

namespace {

// Every real-time instruction, with register operands, and the CSV line of each logged one.
const char* const kEveryRealtimeInstruction = R"(
        move    7, R2
        move    9, R3
        move    11, R4
        move    13, R5
        set_awg_gain -5, 200
        set_awg_offs R2, R3
        set_ph  1, 2, 3
        set_ph_delta R2, R3, R4
        set_mrk R2
        upd_param 10
        play    R2, R3, 20
        acquire 1, R2, 30
        acquire_weighed 2, R3, R4, R5, 40
        wait    R4
        wait_trigger 5
        wait_sync 6
        sw_req  3
        set_ph  4, 5, 6
        play    1, 2, 8
        stop
)";
// The events it logs, as column=value pairs; a line lists what changed since the line before.
const char* const kEveryRealtimeEvent = R"(
time_ns=0 duration_ns=10 address=9 mnemonic=upd_param param_valid=1 awg_gain0=65531
    awg_gain1=200 awg_offs0=7 awg_offs1=9 ph_coarse=1 ph_fine=2 ph_ufine=3 ph_delta_coarse=7
    ph_delta_fine=9 ph_delta_ufine=11 mrk=7
time_ns=10 duration_ns=20 address=10 mnemonic=play play_valid=1 wave_idx0=7 wave_idx1=9
    ph_delta_coarse=0 ph_delta_fine=0 ph_delta_ufine=0
time_ns=30 duration_ns=30 address=11 mnemonic=acquire play_valid=0 acquire_valid=1 acq_idx=1
    bin_idx=7 weight_idx0=-1 weight_idx1=-1
time_ns=60 duration_ns=40 address=12 mnemonic=acquire_weighed acq_idx=2 bin_idx=9
    weight_idx0=11 weight_idx1=13
time_ns=100 duration_ns=11 address=13 mnemonic=wait acquire_valid=0 param_valid=0
time_ns=111 duration_ns=5 address=14 mnemonic=wait_trigger
time_ns=116 duration_ns=6 address=15 mnemonic=wait_sync
time_ns=122 duration_ns=8 address=18 mnemonic=play play_valid=1 wave_idx0=1 wave_idx1=2
    param_valid=1 ph_coarse=4 ph_fine=5 ph_ufine=6
)";

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
    EXPECT_EQ(sim.rt_log_text(), "\nSimulation start:\n@0ns upd_param 4ns:"
                                 "\n\tawg_gain: 0:32767,1:32767\n\tawg_offset: 0:32767,1:32767"
                                 "\n\tphase: c:0,f:0,u:0\n\tphase delta: c:0,f:0,u:0"
                                 "\n\tmarker: 0\nSimulation end");
}

TEST_F(seq_simTest, PrintRtLogPrintsTheLogTextAtInfoLevel) {
    assemble("set_mrk 1\nplay 1, 2, 100\nwait 20\nacquire 1, 2, 30\nupd_param 4\nstop\n");
    EXPECT_FALSE(simulate());
    LogCapture log(6);
    sim.print_rt_log("not printed");
    EXPECT_EQ(log.text().substr(log.text().find(": ") + 2), sim.rt_log_text() + "\n");
}

TEST_F(seq_simTest, AnotherSinkLeavesTheInMemoryLogEmpty) {
    assemble("move 1000, R1\ntop: play 1, 2, 10\nwait 4\nloop R1, @top\nstop\n");
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

TEST_F(seq_simTest, CsvAndJsonLinesCarryEveryValueOfTheLog) {
    assemble(kEveryRealtimeInstruction);
    StringOutput csvText, jsonText;
    seq_csv_sink csv(csvText);
    seq_jsonl_sink json(jsonText);
    seq_event_tee tee;
    tee.add(&csv);
    tee.add(&json);
    sim.set_event_sink(&tee);
    ASSERT_FALSE(simulate());
    const std::string csvLines = csvText.text();
    EXPECT_EQ(csvLines.substr(0, csvLines.find('\n')),
              "time_ns,duration_ns,address,mnemonic,play_valid,wave_idx0,wave_idx1,acquire_valid,"
              "acq_idx,bin_idx,weight_idx0,weight_idx1,param_valid,awg_gain0,awg_gain1,awg_offs0,"
              "awg_offs1,ph_coarse,ph_fine,ph_ufine,ph_delta_coarse,ph_delta_fine,ph_delta_ufine,"
              "mrk");
    event_rows::expectCsvEvents(csvLines, kEveryRealtimeEvent);
    event_rows::expectJsonLinesEqualCsv(jsonText.text(), csvLines);
}

TEST(seq_event_writerTest, MnemonicsThatWouldBreakALineAreEscaped) {
    seq_sim::rt_info entry;
    entry.str = "a,\"b\"\n";
    StringOutput csvText, jsonText;
    seq_csv_sink(csvText).event(entry, 0);
    seq_jsonl_sink(jsonText).event(entry, 0);
    EXPECT_EQ(csvText.text().substr(0, 17), "0,0,0,\"a,\"\"b\"\"\n\",");
    EXPECT_NE(jsonText.text().find(R"("mnemonic":"a,\"b\"\u000a")"), std::string::npos);
}

} // namespace
