// The real-time log beyond what tests/golden/sim shows: a new one for every run, printing,
// other sinks than the in-memory log, and CSV and JSON Lines carrying every value of it.
#include "assembler/seq_sim.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "assembler/seq.h"
#include "assembler/seq_event_writer.h"
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
const std::string kEveryRealtimeCsv =
    "0,10,9,upd_param,0,0,0,0,0,0,0,0,1,65531,200,7,9,1,2,3,7,9,11,7\n"
    "10,20,10,play,1,7,9,0,0,0,0,0,1,65531,200,7,9,1,2,3,0,0,0,7\n"
    "30,30,11,acquire,0,7,9,1,1,7,-1,-1,1,65531,200,7,9,1,2,3,0,0,0,7\n"
    "60,40,12,acquire_weighed,0,7,9,1,2,9,11,13,1,65531,200,7,9,1,2,3,0,0,0,7\n"
    "100,11,13,wait,0,7,9,0,2,9,11,13,0,65531,200,7,9,1,2,3,0,0,0,7\n"
    "111,5,14,wait_trigger,0,7,9,0,2,9,11,13,0,65531,200,7,9,1,2,3,0,0,0,7\n"
    "116,6,15,wait_sync,0,7,9,0,2,9,11,13,0,65531,200,7,9,1,2,3,0,0,0,7\n"
    "122,8,18,play,1,1,2,0,2,9,11,13,1,65531,200,7,9,4,5,6,0,0,0,7\n";

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
    EXPECT_EQ(csvText.text(), std::string(seq_csv_sink::s_header) + "\n" + kEveryRealtimeCsv);

    // JSON Lines: the same values, named as in the CSV header.
    const std::string lines = jsonText.text();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 8);
    EXPECT_NE(
        lines.find(R"({"time_ns":60,"duration_ns":40,"address":12,"mnemonic":"acquire_weighed",)"
                   R"("play_valid":false,"wave_idx0":7,"wave_idx1":9,"acquire_valid":true,)"
                   R"("acq_idx":2,"bin_idx":9,"weight_idx0":11,"weight_idx1":13,)"
                   R"("param_valid":true,"awg_gain0":65531,"awg_gain1":200,"awg_offs0":7,)"
                   R"("awg_offs1":9,"ph_coarse":1,"ph_fine":2,"ph_ufine":3,"ph_delta_coarse":0,)"
                   R"("ph_delta_fine":0,"ph_delta_ufine":0,"mrk":7})"
                   "\n"),
        std::string::npos)
        << lines;
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
