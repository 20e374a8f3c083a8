// The HTML report: a page that needs nothing outside it, hostile text kept inert, and event
// columns that decode to the run's values.
#include "formats/seq_html_report.h"

#include "tests/assembler/ToolRun.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <regex>

namespace {

const std::string kHostile = "<img src=x onerror=alert(1)></script><script>alert(2)</script>";

std::string page(const seq_html_report& report) {
    StringOutput out;
    report.write(out);
    return out.text();
}

// The bytes of the base64 text that `pattern`'s group matches, decoded and inflated.
std::string inflated(const std::string& html, const std::string& pattern, const std::string& name) {
    std::smatch match;
    if (!std::regex_search(html, match, std::regex(pattern)))
        return "no column " + name;
    std::string packed;
    uint32_t bits = 0;
    int count = 0;
    for (const char c : match[1].str()) {
        const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        if (c == '=')
            break;
        bits = bits << 6 | static_cast<uint32_t>(std::strchr(digits, c) - digits);
        if ((count += 6) >= 8)
            packed += static_cast<char>(bits >> (count -= 8));
    }
    std::string bytes(1 << 16, '\0');
    uLongf size = bytes.size();
    if (uncompress(reinterpret_cast<Bytef*>(bytes.data()), &size,
                   reinterpret_cast<const Bytef*>(packed.data()), packed.size()) != Z_OK)
        return "damaged column " + name;
    bytes.resize(size);
    return bytes;
}

// The bytes of an event column.
std::string columnBytes(const std::string& html, const std::string& name) {
    return inflated(
        html, "\\{\"name\":\"" + name + "\",\"type\":\"[a-z0-9]+\",\"data\":\"([^\"]*)\"", name);
}

template <typename T> std::vector<T> values(const std::string& bytes) {
    std::vector<T> result(bytes.size() / sizeof(T));
    std::memcpy(result.data(), bytes.data(), result.size() * sizeof(T));
    return result;
}

TEST(SeqHtmlReportTest, NeedsNothingOutsideThePageAndForbidsTheNetwork) {
    seq_html_report report("prog.s");
    report.begin();
    report.end();
    const std::string html = page(report);

    std::smatch policy;
    ASSERT_TRUE(std::regex_search(html, policy,
                                  std::regex("<meta http-equiv=\"Content-Security-Policy\" "
                                             "content=\"([^\"]*)\">")));
    const std::string csp = policy[1];
    EXPECT_EQ(csp.rfind("default-src 'none';", 0), 0u) << csp;
    EXPECT_TRUE(std::regex_search(csp, std::regex("script-src 'sha256-[A-Za-z0-9+/]{43}='; "
                                                  "style-src 'sha256-[A-Za-z0-9+/]{43}='$")))
        << csp;
    // Nothing that loads: no attribute naming another file, no URL, no CSS import.
    for (const char* pattern : {"\\s(src|href|action|srcset)\\s*=", "https?:", "url\\(", "@import",
                                "<(link|iframe|img|object|embed)"})
        EXPECT_FALSE(std::regex_search(html, std::regex(pattern))) << pattern;
    EXPECT_EQ(html.find("innerHTML"), std::string::npos);
}

TEST(SeqHtmlReportTest, HostileTextStaysInsideItsJsonString) {
    seq_html_report report(kHostile + ".s");
    report.begin();
    report.end();
    report.setListing("       0  # " + kHostile + "\n");
    report.setOutcome({.failed = true, .message = kHostile});
    const std::string html = page(report);

    // The page's own two script elements, closed once each, and no other tag of the text.
    const auto count = [&html](const std::string& text) {
        size_t found = 0;
        for (size_t at = html.find(text); at != std::string::npos; at = html.find(text, at + 1))
            ++found;
        return found;
    };
    EXPECT_EQ(count("<script"), 2u);
    EXPECT_EQ(count("</script>"), 2u);
    EXPECT_EQ(html.find("<img"), std::string::npos);
    const std::string escaped = "\\u003cimg src=x onerror=alert(1)\\u003e\\u003c/script\\u003e";
    EXPECT_NE(html.find("\"title\":\"" + escaped), std::string::npos);
    EXPECT_NE(html.find("\"message\":\"" + escaped), std::string::npos);
    EXPECT_NE(html.find("\"listing\":\"       0  # " + escaped), std::string::npos);
}

TEST(SeqHtmlReportTest, ColumnsHoldGapsDeltasAndMnemonicIndices) {
    static const char* const play = "play";
    static const char* const wait = "wait";
    seq_html_report report("prog.s");
    report.begin();
    report.event({.str = "stale", .duration_ns = 9}, 9); // dropped by the next run
    report.end();
    report.begin();
    report.event({.str = play, .wave_idx = {1, 2}, .play_valid = true, .duration_ns = 100}, 3);
    report.event({.str = wait, .wave_idx = {1, 2}, .duration_ns = 20, .time_ns = 100}, 1);
    report.event({.str = play,
                  .wave_idx = {-4, 2},
                  .play_valid = true,
                  .duration_ns = 4000000000,
                  .time_ns = 125},
                 4);
    report.end();
    EXPECT_EQ(report.eventCount(), 3u);
    const std::string html = page(report);

    EXPECT_NE(html.find("\"count\":3,\"mnemonics\":[\"play\",\"wait\"]"), std::string::npos);
    EXPECT_EQ(values<double>(columnBytes(html, "time_ns")), (std::vector<double>{0, 0, 5}));
    EXPECT_EQ(values<double>(columnBytes(html, "duration_ns")),
              (std::vector<double>{100, 20, 4e9}));
    EXPECT_EQ(values<int32_t>(columnBytes(html, "address")), (std::vector<int32_t>{3, -2, 3}));
    EXPECT_EQ(values<uint16_t>(columnBytes(html, "mnemonic")), (std::vector<uint16_t>{0, 1, 0}));
    EXPECT_EQ(columnBytes(html, "play_valid"), std::string("\1\0\1", 3));
    EXPECT_EQ(values<int32_t>(columnBytes(html, "wave_idx0")), (std::vector<int32_t>{1, 0, -5}));
    EXPECT_EQ(values<int32_t>(columnBytes(html, "mrk")), (std::vector<int32_t>{0, 0, 0}));
}

TEST(SeqHtmlReportTest, FindingsAndSignalWindowTravelAsData) {
    seq_html_report report("prog.s");
    report.begin();
    report.end();
    report.setFindings({{550, 5, 10, "cut_short", kHostile}, {1000, 7, 12, kHostile, "m"}}, 3);
    report.setSignalWindow({.start_ns = 100,
                            .step_ns = 1,
                            .low = {{0.5f, -1.0f}, {0.25f, 0.0f}},
                            .high = {{}, {}},
                            .markers = {1, 8}});
    const std::string html = page(report);

    const std::string escaped = "\\u003cimg src=x onerror=alert(1)\\u003e\\u003c/script\\u003e";
    EXPECT_NE(html.find("id=\"vexa-signals\">{\"findings\":{\"total\":3,\"rows\":[\n"
                        "[550,5,10,\"cut_short\",\"" +
                        escaped),
              std::string::npos);
    EXPECT_NE(html.find("\n[1000,7,12,\"" + escaped), std::string::npos);
    EXPECT_EQ(html.find("<img"), std::string::npos);
    // Each part has its script and style, both allowed by their hashes.
    EXPECT_TRUE(std::regex_search(html, std::regex("script-src 'sha256-[^']+' 'sha256-[^']+'; "
                                                   "style-src 'sha256-[^']+' 'sha256-[^']+'\"")));
    EXPECT_NE(html.find("\"window\":{\"start\":100,\"step\":1,\"columns\":2,"), std::string::npos);
    const auto window = [&html](const std::string& name) {
        return inflated(html, "\"" + name + "\":\"([^\"]*)\"", name);
    };
    EXPECT_EQ(values<float>(window("low0")), (std::vector<float>{0.5f, -1.0f}));
    EXPECT_EQ(values<float>(window("low1")), (std::vector<float>{0.25f, 0.0f}));
    EXPECT_EQ(window("markers"), std::string("\1\10", 2));
    // With one sample a column the highest values are the lowest ones, and not repeated.
    EXPECT_EQ(html.find("\"high0\""), std::string::npos);
}

class SeqHtmlReportToolTest : public ToolRunTest {};

TEST_F(SeqHtmlReportToolTest, VexasimWritesTheRunWithItsListingAndCounters) {
    writeFile(dir / "prog.s",
              "        play    1, 2, 100   # <b>\n        wait    20\n        stop\n");
    const ToolRun result = run(VEXASIM_PATH, "-l quiet --html run.html prog.s");
    EXPECT_EQ(result.status, 0) << result.err;
    const std::string html = readFile(dir / "run.html");
    EXPECT_NE(html.find("{\"title\":\"prog.s\",\"outcome\":{\"failed\":false,\"message\":\"\","
                        "\"instructions\":3,\"classicalTicks\":4,\"classicalUs\":\"0.016\","
                        "\"realtimeTicks\":120,\"realtimeUs\":\"0.480\"}"),
              std::string::npos);
    EXPECT_NE(html.find("\"count\":2,\"mnemonics\":[\"play\",\"wait\"]"), std::string::npos);
    EXPECT_NE(html.find("      0          1            0              0            100  "
                        "        play    1, 2, 100   # \\u003cb\\u003e\\n"),
              std::string::npos);

    const ToolRun unwritable = run(VEXASIM_PATH, "-l quiet --html no/such/dir/run.html prog.s");
    EXPECT_EQ(unwritable.status, 1);

    // With the signal layer the findings come along; without waveforms there is no window.
    const ToolRun checked = run(VEXASIM_PATH, "-l quiet --html run.html --check prog.s");
    EXPECT_EQ(checked.status, 3) << checked.err;
    const std::string withFindings = readFile(dir / "run.html");
    EXPECT_NE(withFindings.find("{\"findings\":{\"total\":2,\"rows\":[\n[0,0,1,"
                                "\"missing_waveform\",\"path 0: waveform 1 is not in the table\"]"),
              std::string::npos);
    EXPECT_EQ(withFindings.find("\"window\":"), std::string::npos);
}

} // namespace
