// The SVG timeline: well-formed, one entry group per log entry whose boxes sit in the right
// lanes at the right x and width, labels only where they fit, escaped titles.
#include "assembler/seq_timeline.h"

#include "XmlCheck.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

namespace {

using Entry = seq_sim::rt_info;

Entry entry(const char* mnemonic, uint64_t time, uint64_t duration) {
    Entry e;
    e.str = mnemonic;
    e.time_ns = time;
    e.duration_ns = duration;
    return e;
}

Entry play(uint64_t time, uint64_t duration, int32_t wave0, int32_t wave1) {
    Entry e = entry("play", time, duration);
    e.wave_idx[0] = wave0;
    e.wave_idx[1] = wave1;
    e.play_valid = e.param_valid = true;
    return e;
}

Entry acquire(uint64_t time, uint64_t duration, int32_t acq, int32_t bin) {
    Entry e = entry("acquire", time, duration);
    e.acq_idx = acq;
    e.bin_idx = bin;
    e.acquire_valid = e.param_valid = true;
    return e;
}

std::unique_ptr<xmlcheck::Element> render(const seq_timeline::log_t& log,
                                          const std::string& title = "prog.s") {
    std::ostringstream out;
    seq_timeline(title).write(out, log);
    std::string error;
    auto root = xmlcheck::Reader().parse(out.str(), error);
    EXPECT_TRUE(root) << error << "\n" << out.str().substr(0, 2000);
    return root;
}

std::vector<const xmlcheck::Element*> entryGroups(const xmlcheck::Element& root) {
    std::vector<const xmlcheck::Element*> groups;
    for (const xmlcheck::Element* g : root.findAll("g"))
        if (g->attribute("class") == "entry")
            groups.push_back(g);
    return groups;
}

double number(const xmlcheck::Element& element, const std::string& key) {
    return std::stod(element.attribute(key));
}

double laneY(int lane) {
    return lane * (seq_timeline::s_laneHeight + seq_timeline::s_laneGap);
}

TEST(seq_timelineTest, OneGroupPerEntryWithBoxesInTheirLanesAtTimeAndDuration) {
    const seq_timeline::log_t log = {play(0, 100, 1, 2), acquire(100, 100, 3, 4),
                                     entry("wait", 200, 250), entry("upd_param", 450, 50)};
    const auto root = render(log);
    ASSERT_TRUE(root);
    EXPECT_EQ(root->name, "svg");
    const auto groups = entryGroups(*root);
    ASSERT_EQ(groups.size(), log.size());

    const double scale = seq_timeline::s_plotWidth / 500.0;
    const std::vector<std::vector<int>> lanes = {{seq_timeline::PATH0, seq_timeline::PATH1},
                                                 {seq_timeline::ACQUISITION},
                                                 {seq_timeline::WAIT_UPDATE},
                                                 {seq_timeline::WAIT_UPDATE}};
    const std::vector<std::vector<std::string>> labels = {
        {"w1", "w2"}, {"a3:b4"}, {"wait"}, {"upd_param"}};
    for (size_t i = 0; i < log.size(); ++i) {
        const xmlcheck::Element& g = *groups[i];
        EXPECT_EQ(g.attribute("data-entry"), std::to_string(i));
        const auto rects = g.findAll("rect");
        ASSERT_EQ(rects.size(), lanes[i].size()) << "entry " << i;
        for (size_t k = 0; k < rects.size(); ++k) {
            EXPECT_NEAR(number(*rects[k], "x"), static_cast<double>(log[i].time_ns) * scale, 1e-3)
                << "entry " << i;
            EXPECT_NEAR(number(*rects[k], "width"), static_cast<double>(log[i].duration_ns) * scale,
                        1e-3)
                << "entry " << i;
            EXPECT_NEAR(number(*rects[k], "y"), laneY(lanes[i][k]), 1e-3) << "entry " << i;
        }
        std::vector<std::string> texts;
        for (const xmlcheck::Element* text : g.findAll("text"))
            texts.push_back(text->text);
        EXPECT_EQ(texts, labels[i]) << "entry " << i;
        ASSERT_EQ(g.findAll("title").size(), 1u);
        EXPECT_EQ(g.findAll("title")[0]->text.rfind(
                      "@" + std::to_string(log[i].time_ns) + "ns " + log[i].str, 0),
                  0u);
    }
}

TEST(seq_timelineTest, ThousandsOfEntriesGiveThinUnlabelledBoxes) {
    seq_timeline::log_t log;
    for (uint64_t i = 0; i < 5000; ++i)
        log.push_back(i % 2 == 0 ? play(i * 10, 10, 1, 2) : entry("wait", i * 10, 10));
    const auto root = render(log);
    ASSERT_TRUE(root);
    const auto groups = entryGroups(*root);
    ASSERT_EQ(groups.size(), log.size());
    for (size_t i : {size_t{0}, size_t{2501}, size_t{4999}}) {
        const auto rects = groups[i]->findAll("rect");
        ASSERT_FALSE(rects.empty());
        EXPECT_NEAR(number(*rects[0], "x"), static_cast<double>(i) * 10 * 1000.0 / 50000.0, 1e-3);
        EXPECT_NEAR(number(*rects[0], "width"), 0.2, 1e-3);
        EXPECT_TRUE(groups[i]->findAll("text").empty()) << "entry " << i;
    }
}

TEST(seq_timelineTest, ScaleLabelsKeepApartAndCoverTheRun) {
    for (const uint64_t end :
         {uint64_t{1}, uint64_t{7}, uint64_t{500}, uint64_t{4500}, uint64_t{64000},
          uint64_t{999999999}, uint64_t{1} << 40, UINT64_MAX}) {
        const uint64_t step = seq_timeline::scaleStep(end);
        const double spacing =
            static_cast<double>(step) * seq_timeline::s_plotWidth / static_cast<double>(end);
        const double widestLabel = static_cast<double>(std::to_string(end).size()) * 7.0;
        EXPECT_GE(spacing, widestLabel + 10.0) << "end " << end;
        // Not needlessly coarse: at least two marks whenever the run is longer than one step.
        EXPECT_TRUE(step <= end || end < 10) << "end " << end << " step " << step;
        uint64_t mantissa = step;
        while (mantissa % 10 == 0)
            mantissa /= 10;
        EXPECT_TRUE(mantissa == 1 || mantissa == 2 || mantissa == 5) << "step " << step;
    }

    const auto root = render({entry("wait", 0, 4500)});
    ASSERT_TRUE(root);
    std::vector<std::string> marks;
    for (const xmlcheck::Element* text : root->findAll("text"))
        if (text->attribute("class") == "tick")
            marks.push_back(text->text);
    EXPECT_EQ(marks, (std::vector<std::string>{"0", "500", "1000", "1500", "2000", "2500", "3000",
                                               "3500", "4000", "4500"}));
}

TEST(seq_timelineTest, EmptyLogAndHostileTitleStillGiveAWellFormedPicture) {
    const auto root = render({}, "a<b>&\"c'\x01\xff\xc3\xa9.s");
    ASSERT_TRUE(root);
    EXPECT_TRUE(entryGroups(*root).empty());
    const auto texts = root->findAll("text");
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[0]->text, "a<b>&\"c'??\xc3\xa9.s");
    EXPECT_EQ(texts[1]->text, "0 real-time entries, 0 ns in all");
}

TEST(seq_timelineTest, EscapeKeepsValidUtf8AndReplacesTheRest) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"plain", "plain"},
        {"<&>\"'", "&lt;&amp;&gt;&quot;&apos;"},
        {std::string("a\0b\x1f\tc\n", 7), "a?b?\tc\n"},
        {"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80", "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80"},
        {"\xc3", "?"},                // sequence cut short
        {"\xc0\xaf", "??"},           // overlong
        {"\xed\xa0\x80", "???"},      // surrogate
        {"\xef\xbf\xbe", "???"},      // U+FFFE
        {"\xf4\x90\x80\x80", "????"}, // beyond U+10FFFF
        {"\x80x", "?x"},
    };
    for (const auto& [text, escaped] : cases)
        EXPECT_EQ(seq_timeline::escape(text), escaped) << text;
}

TEST(seq_timelineTest, TheXmlCheckRejectsWhatIsNotWellFormed) {
    for (const char* bad : {"<a><b></a>", "<a x=1/>", "<a x='1' x='2'/>", "<a>&nbsp;</a>",
                            "<a>\x01</a>", "<a>\xff</a>", "<a>x<</a>", "<a/><b/>", "<a>"}) {
        std::string error;
        EXPECT_FALSE(xmlcheck::Reader().parse(bad, error)) << bad;
    }
    std::string error;
    const auto root =
        xmlcheck::Reader().parse("<?xml version=\"1.0\"?>\n<a x='&lt;'>t&amp;<b/></a>\n", error);
    ASSERT_TRUE(root) << error;
    EXPECT_EQ(root->attribute("x"), "<");
    EXPECT_EQ(root->text, "t&");
    EXPECT_EQ(root->findAll("b").size(), 1u);
}

TEST(seq_timelineTest, SaveReportsAFileThatCannotBeWritten) {
    UIStr message;
    EXPECT_FALSE(seq_timeline("t").save("/nonexistent-dir/x.svg", {}, message));
    EXPECT_EQ(message, "Could not open output file '/nonexistent-dir/x.svg' for writing");
}

} // namespace
