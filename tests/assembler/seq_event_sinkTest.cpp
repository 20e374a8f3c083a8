// The event writers: every value that CSV and JSON Lines carry for each entry of the
// real-time log, and mnemonics that would break a line.
#include "assembler/seq_event_writer.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "assembler/seq.h"
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

TEST(SeqEventWriterTest, CsvAndJsonLinesCarryEveryValueOfTheLog) {
    LogCapture quiet(Logging::quietLevel);
    seq driver;
    UIStr report;
    ASSERT_EQ(driver.assemble(std::string(kEveryRealtimeInstruction), report), 0) << report;
    seq_sim& sim = *driver.rt_simulator();
    StringOutput csvText, jsonText;
    seq_csv_sink csv(csvText);
    seq_jsonl_sink json(jsonText);
    seq_event_tee tee;
    for (seq_event_sink* sink :
         std::initializer_list<seq_event_sink*>{&sim.rt_log_sink(), &csv, &json})
        tee.add(sink);
    sim.set_event_sink(&tee);
    UIStr message;
    ASSERT_FALSE(sim.simulate(1000, message)) << message;

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

TEST(SeqEventWriterTest, MnemonicsThatWouldBreakALineAreEscaped) {
    seq_sim::rt_info entry;
    entry.str = "a,\"b\"\n";
    StringOutput csvText, jsonText;
    seq_csv_sink(csvText).event(entry, 0);
    seq_jsonl_sink(jsonText).event(entry, 0);
    EXPECT_EQ(csvText.text().substr(0, 17), "0,0,0,\"a,\"\"b\"\"\n\",");
    EXPECT_NE(jsonText.text().find(R"("mnemonic":"a,\"b\"\u000a")"), std::string::npos);
}

} // namespace
