// What program files cannot show of the real-time simulator's log: every run starts a new
// one; it is printed at info level; its entries go to other sinks than the in-memory log,
// also from a run cut short; and CSV and JSON Lines carry every value of it. The log of each
// instruction is in tests/golden/sim.
#include "assembler/seq_sim.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "assembler/seq.h"
#include "assembler/seq_event_writer.h"
#include "tests/sequencer/SimulatorTestSupport.h"

namespace {

// Every real-time instruction, register operands included; the comments give the addresses
// of the logged ones.
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
        upd_param 10                # 9
        play    R2, R3, 20          # 10
        acquire 1, R2, 30           # 11
        acquire_weighed 2, R3, R4, R5, 40
        wait    R4                  # 13
        wait_trigger 5
        wait_sync 6
        sw_req  3
        set_ph  4, 5, 6
        play    1, 2, 8             # 18
        stop
)";
const std::vector<uint32_t> kLoggedAddresses = {9, 10, 11, 12, 13, 14, 15, 18};

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, separator);)
        parts.push_back(part);
    return parts;
}

// An entry's columns as the CSV header names them, the way the log text shows the values.
std::vector<std::string> columns(const seq_sim::rt_info& e, uint32_t address) {
    std::vector<std::string> result = {std::to_string(e.time_ns), std::to_string(e.duration_ns),
                                       std::to_string(address), e.str};
    for (const int64_t value : {int64_t(e.play_valid),      int64_t(e.wave_idx[0]),
                                int64_t(e.wave_idx[1]),     int64_t(e.acquire_valid),
                                int64_t(e.acq_idx),         int64_t(e.bin_idx),
                                int64_t(e.weight_idx[0]),   int64_t(e.weight_idx[1]),
                                int64_t(e.param_valid),     int64_t(e.awg_gain[0]),
                                int64_t(e.awg_gain[1]),     int64_t(e.awg_offs[0]),
                                int64_t(e.awg_offs[1]),     int64_t(e.ph_coarse),
                                int64_t(e.ph_fine),         int64_t(e.ph_ufine),
                                int64_t(e.ph_delta_coarse), int64_t(e.ph_delta_fine),
                                int64_t(e.ph_delta_ufine),  int64_t(e.mrk)})
        result.push_back(std::to_string(value));
    return result;
}

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

TEST_F(seq_simTest, CsvAndJsonLinesCarryEveryValueOfTheLog) {
    assemble(kEveryRealtimeInstruction);
    StringOutput csvText, jsonText;
    seq_csv_sink csv(csvText);
    seq_jsonl_sink json(jsonText);
    seq_event_tee tee;
    for (seq_event_sink* sink :
         std::initializer_list<seq_event_sink*>{&sim.rt_log_sink(), &csv, &json})
        tee.add(sink);
    sim.set_event_sink(&tee);
    ASSERT_FALSE(simulate());
    const auto& log = sim.get_rt_log();
    ASSERT_EQ(log.size(), kLoggedAddresses.size());
    const std::vector<std::string> csvLines = split(csvText.text(), '\n');
    const std::vector<std::string> jsonLines = split(jsonText.text(), '\n');
    ASSERT_EQ(csvLines.size(), log.size() + 1);
    ASSERT_EQ(jsonLines.size(), log.size());
    EXPECT_EQ(csvLines[0], seq_csv_sink::s_header);
    const std::vector<std::string> names = split(std::string(seq_csv_sink::s_header), ',');
    for (size_t i = 0; i < log.size(); ++i) {
        const std::vector<std::string> expected = columns(log[i], kLoggedAddresses[i]);
        ASSERT_EQ(expected.size(), names.size());
        EXPECT_EQ(split(csvLines[i + 1], ','), expected) << "entry " << i;
        for (size_t c = 0; c < names.size(); ++c) {
            const bool flag = names[c].find("_valid") != std::string::npos;
            const std::string value = names[c] == "mnemonic" ? '"' + expected[c] + '"'
                                      : flag ? (expected[c] == "1" ? "true" : "false")
                                             : expected[c];
            const std::string pair = "\"" + names[c] + "\":" + value;
            EXPECT_TRUE(jsonLines[i].find(pair + ",") != std::string::npos ||
                        jsonLines[i].find(pair + "}") != std::string::npos)
                << jsonLines[i] << " lacks " << pair;
        }
    }
    // Values that the register operands and the 16-bit fields give.
    EXPECT_EQ(csvLines[2].substr(0, 22), "10,20,10,play,1,7,9,0,");
    EXPECT_EQ(split(csvLines[1], ',')[13], "65531"); // gain -5 as the field holds it
    EXPECT_EQ(split(csvLines[5], ',')[1], "11");     // wait R4
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
