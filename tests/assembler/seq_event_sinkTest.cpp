// The event sinks of the real-time simulator: what CSV, JSON Lines and the log text carry
// for each entry, and runs whose events go elsewhere than the in-memory log.
#include "assembler/seq_event_writer.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "assembler/seq.h"
#include "base/Logging.h"

namespace {

// Every real-time instruction, register operands included.
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

class SeqEventSinkTest : public ::testing::Test {
protected:
    SeqEventSinkTest() : sim(*driver.rt_simulator()) { Logging::setLogLevel(Logging::quietLevel); }
    ~SeqEventSinkTest() override { Logging::setLogLevel(6); }

    void assemble(const std::string& source) {
        UIStr report;
        ASSERT_EQ(driver.assemble(source, report), 0) << report;
    }

    seq driver;
    seq_sim& sim;
};

// Keeps the addresses and counts the entries.
struct Recorder : seq_event_sink {
    std::vector<uint32_t> addresses;
    int begins = 0;
    int ends = 0;
    void begin() override { ++begins; }
    void event(const rt_info&, address_t address) override { addresses.push_back(address); }
    void end() override { ++ends; }
};

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, separator);)
        parts.push_back(part);
    return parts;
}

// An entry's columns as the CSV header names them, the way the log text shows the values.
std::vector<std::string> columns(const seq_sim::rt_info& e, uint32_t address) {
    std::vector<int64_t> values = {
        e.play_valid,  e.wave_idx[0],     e.wave_idx[1],   e.acquire_valid,  e.acq_idx,
        e.bin_idx,     e.weight_idx[0],   e.weight_idx[1], e.param_valid,    e.awg_gain[0],
        e.awg_gain[1], e.awg_offs[0],     e.awg_offs[1],   e.ph_coarse,      e.ph_fine,
        e.ph_ufine,    e.ph_delta_coarse, e.ph_delta_fine, e.ph_delta_ufine, e.mrk};
    std::vector<std::string> result = {std::to_string(e.time_ns), std::to_string(e.duration_ns),
                                       std::to_string(address), e.str};
    for (const int64_t value : values)
        result.push_back(std::to_string(value));
    return result;
}

// The value of "name": in a JSON object of numbers, booleans and plain strings.
std::string jsonValue(const std::string& line, const std::string& name) {
    const std::string key = "\"" + name + "\":";
    const size_t start = line.find(key);
    if (start == std::string::npos)
        return "<missing>";
    const size_t begin = start + key.size();
    std::string value = line.substr(begin, line.find_first_of(",}", begin) - begin);
    if (value == "true")
        return "1";
    if (value == "false")
        return "0";
    if (value.size() >= 2 && value.front() == '"')
        return value.substr(1, value.size() - 2);
    return value;
}

TEST_F(SeqEventSinkTest, CsvAndJsonLinesCarryEveryValueOfTheLog) {
    assemble(kEveryRealtimeInstruction);
    StringOutput csvText, jsonText;
    seq_csv_sink csv(csvText);
    seq_jsonl_sink json(jsonText);
    Recorder recorder;
    seq_event_tee tee;
    for (seq_event_sink* sink :
         std::initializer_list<seq_event_sink*>{&sim.rt_log_sink(), &csv, &json, &recorder})
        tee.add(sink);
    sim.set_event_sink(&tee);
    UIStr message;
    ASSERT_FALSE(sim.simulate(1000, message)) << message;

    const auto& log = sim.get_rt_log();
    ASSERT_EQ(log.size(), kLoggedAddresses.size());
    EXPECT_EQ(recorder.addresses, kLoggedAddresses);
    EXPECT_EQ(recorder.begins, 1);
    EXPECT_EQ(recorder.ends, 1);

    const std::vector<std::string> csvLines = split(csvText.text(), '\n');
    const std::vector<std::string> jsonLines = split(jsonText.text(), '\n');
    ASSERT_EQ(csvLines.size(), log.size() + 1);
    ASSERT_EQ(jsonLines.size(), log.size());
    const std::vector<std::string> names = split(std::string(seq_csv_sink::s_header), ',');
    EXPECT_EQ(csvLines[0], seq_csv_sink::s_header);
    for (size_t i = 0; i < log.size(); ++i) {
        const std::vector<std::string> expected = columns(log[i], kLoggedAddresses[i]);
        ASSERT_EQ(expected.size(), names.size());
        EXPECT_EQ(split(csvLines[i + 1], ','), expected) << "entry " << i;
        for (size_t c = 0; c < names.size(); ++c)
            EXPECT_EQ(jsonValue(jsonLines[i], names[c]), expected[c])
                << "entry " << i << ", " << names[c];
    }
    // Spot checks of values that the register operands and the 16-bit fields give.
    EXPECT_EQ(csvLines[2].substr(0, 22), "10,20,10,play,1,7,9,0,");
    EXPECT_EQ(split(csvLines[1], ',')[13], "65531"); // gain -5 as the field holds it
    EXPECT_EQ(split(csvLines[5], ',')[1], "11");     // wait R4
}

TEST_F(SeqEventSinkTest, TheTextSinkWritesThePrintedLogAlsoWhenARunIsCutShort) {
    assemble(kEveryRealtimeInstruction);
    for (const int budget : {1000, 12, 0}) {
        StringOutput text;
        seq_text_sink writer(text);
        seq_event_tee tee;
        tee.add(&writer);
        tee.add(&sim.rt_log_sink());
        sim.set_event_sink(&tee);
        UIStr message;
        EXPECT_EQ(sim.simulate(budget, message), budget != 1000) << message;
        EXPECT_EQ(text.text(), sim.rt_log_text()) << "budget " << budget;
    }
    EXPECT_EQ(sim.rt_log_text(), "\nSimulation start:\nSimulation end");
}

TEST_F(SeqEventSinkTest, AnotherSinkLeavesTheInMemoryLogEmpty) {
    // 250,000 passes of four instructions: a million instructions, 500,000 entries.
    assemble("        move 250000, R1\n"
             "top:    play 1, 2, 10\n"
             "        wait 4\n"
             "        nop\n"
             "        loop R1, @top\n"
             "        stop\n");
    Recorder counter;
    sim.set_event_sink(&counter);
    UIStr message;
    ASSERT_FALSE(sim.simulate(2000000, message)) << message;
    EXPECT_EQ(sim.numInstructions(), 1000002u);
    EXPECT_EQ(counter.addresses.size(), 500000u);
    EXPECT_EQ(sim.get_rt_log().capacity(), 0u);
    EXPECT_EQ(sim.realtimeTick(), 250000u * 14);

    // Null gives the entries back to the in-memory log.
    sim.set_event_sink(nullptr);
    ASSERT_FALSE(sim.simulate(2000000, message)) << message;
    EXPECT_EQ(sim.get_rt_log().size(), 500000u);
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
