// The SVG timeline: well-formed, one entry group per log entry whose boxes sit in the right
// lanes at the right x and width, labels only where they fit, escaped titles.
#include "assembler/seq_timeline.h"

#include "XmlCheck.h"

#include <gtest/gtest.h>

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

Entry play(uint64_t time, uint64_t duration) {
    Entry e = entry("play", time, duration);
    e.wave_idx[0] = 1;
    e.wave_idx[1] = 2;
    e.play_valid = e.param_valid = true;
    return e;
}

Entry acquire(uint64_t time, uint64_t duration) {
    Entry e = entry("acquire", time, duration);
    e.acq_idx = 3;
    e.bin_idx = 4;
    e.acquire_valid = e.param_valid = true;
    return e;
}

std::unique_ptr<xmlcheck::Element> render(const seq_timeline::log_t& log,
                                          const std::string& title = "prog.s") {
    std::ostringstream out;
    seq_timeline(title).write(out, log);
    std::string error;
    auto root = xmlcheck::parse(out.str(), error);
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

std::vector<std::string> texts(const xmlcheck::Element& element, const std::string& cls = "") {
    std::vector<std::string> result;
    for (const xmlcheck::Element* text : element.findAll("text"))
        if (cls.empty() || text->attribute("class") == cls)
            result.push_back(text->text);
    return result;
}

// Boxes too thin for their label go without; the title is escaped.
TEST(seq_timelineTest, OneGroupPerEntryWithBoxesInTheirLanesAtTimeAndDuration) {
    const seq_timeline::log_t log = {play(0, 100), acquire(100, 100), entry("wait", 200, 250),
                                     entry("upd_param", 450, 50), play(500, 1)};
    const auto root = render(log, "a<b>&\"c'\x01\xff\xc3\xa9.s");
    ASSERT_TRUE(root);
    EXPECT_EQ(root->name, "svg");
    const auto all = texts(*root);
    ASSERT_GE(all.size(), 2u);
    EXPECT_EQ(all[0], "a<b>&\"c'??\xc3\xa9.s");
    EXPECT_EQ(all[1], "5 real-time entries, 501 ns in all");
    const auto groups = entryGroups(*root);
    ASSERT_EQ(groups.size(), log.size());

    using T = seq_timeline;
    const std::vector<std::vector<int>> lanes = {{T::PATH0, T::PATH1},
                                                 {T::ACQUISITION},
                                                 {T::WAIT_UPDATE},
                                                 {T::WAIT_UPDATE},
                                                 {T::PATH0, T::PATH1}};
    const std::vector<std::vector<std::string>> labels = {
        {"w1", "w2"}, {"a3:b4"}, {"wait"}, {"upd_param"}, {}};
    for (size_t i = 0; i < log.size(); ++i) {
        SCOPED_TRACE("entry " + std::to_string(i));
        const xmlcheck::Element& g = *groups[i];
        EXPECT_EQ(g.attribute("data-entry"), std::to_string(i));
        const auto rects = g.findAll("rect");
        ASSERT_EQ(rects.size(), lanes[i].size());
        for (size_t k = 0; k < rects.size(); ++k) {
            EXPECT_NEAR(std::stod(rects[k]->attribute("x")), log[i].time_ns * T::s_plotWidth / 501,
                        1e-3);
            EXPECT_NEAR(std::stod(rects[k]->attribute("width")),
                        log[i].duration_ns * T::s_plotWidth / 501, 1e-3);
            EXPECT_NEAR(std::stod(rects[k]->attribute("y")),
                        lanes[i][k] * (T::s_laneHeight + T::s_laneGap), 1e-3);
        }
        EXPECT_EQ(texts(g), labels[i]);
        ASSERT_EQ(g.findAll("title").size(), 1u);
        EXPECT_EQ(g.findAll("title")[0]->text.rfind(
                      "@" + std::to_string(log[i].time_ns) + "ns " + log[i].str, 0),
                  0u);
    }
}

TEST(seq_timelineTest, ALabelThatJustFitsIsDrawn) {
    const auto root = render({acquire(0, 35), entry("wait", 35, 965)}); // "a3:b4" takes 35 px
    ASSERT_TRUE(root);
    EXPECT_EQ(texts(*entryGroups(*root).at(0)), std::vector<std::string>{"a3:b4"});
}

TEST(seq_timelineTest, ScaleLabelsKeepApartAndCoverTheRun) {
    for (const uint64_t end : {uint64_t{1}, uint64_t{7}, uint64_t{500}, uint64_t{64000},
                               uint64_t{999999999}, uint64_t{1} << 40, UINT64_MAX}) {
        const uint64_t step = seq_timeline::scaleStep(end);
        const double spacing =
            static_cast<double>(step) * seq_timeline::s_plotWidth / static_cast<double>(end);
        EXPECT_GE(spacing, static_cast<double>(std::to_string(end).size()) * 7.0 + 10.0) << end;
        // Not needlessly coarse: at least two marks whenever the run is longer than one step.
        EXPECT_TRUE(step <= end || end < 10) << "end " << end << " step " << step;
        uint64_t mantissa = step;
        while (mantissa % 10 == 0)
            mantissa /= 10;
        EXPECT_TRUE(mantissa == 1 || mantissa == 2 || mantissa == 5) << "step " << step;
    }
    // Labels of 12 digits keep 20 px apart: 1e10 would leave 16.
    EXPECT_EQ(seq_timeline::scaleStep(100000000000), 20000000000u);
    const auto root = render({entry("wait", 0, 4500)});
    ASSERT_TRUE(root);
    EXPECT_EQ(texts(*root, "tick"),
              (std::vector<std::string>{"0", "500", "1000", "1500", "2000", "2500", "3000", "3500",
                                        "4000", "4500"}));
}

TEST(seq_timelineTest, EmptyLogGivesAWellFormedPicture) {
    const auto root = render({});
    ASSERT_TRUE(root);
    EXPECT_TRUE(entryGroups(*root).empty());
    EXPECT_EQ(texts(*root).at(1), "0 real-time entries, 0 ns in all");
    for (const char* bad : {"<a><b></a>", "<a x=1/>", "<a x='1' x='2'/>", "<a>&nbsp;</a>",
                            "<a>\x01</a>", "<a/><b/>", "<a>"}) {
        std::string error;
        EXPECT_FALSE(xmlcheck::parse(bad, error)) << "the check itself lets through " << bad;
    }
}

TEST(seq_timelineTest, EscapeKeepsValidUtf8AndReplacesTheRest) {
    const std::pair<std::string, std::string> cases[] = {
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

} // namespace
