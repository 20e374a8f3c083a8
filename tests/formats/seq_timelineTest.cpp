// The SVG timeline: one group per log entry, boxes in lanes, labels where they fit, escaping.
#include "formats/seq_timeline.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string_view>

namespace {

using Entry = seq_sim::rt_info;

// A play of waves 1 and 2, an acquisition 3 into bin 4, or another entry.
Entry entry(const char* mnemonic, uint64_t time, uint64_t duration) {
    const bool play = std::string_view(mnemonic) == "play";
    const bool acquire = std::string_view(mnemonic) == "acquire";
    return {.str = mnemonic,
            .wave_idx = {1, 2},
            .play_valid = play,
            .bin_idx = 4,
            .acq_idx = 3,
            .acquire_valid = acquire,
            .param_valid = play || acquire,
            .duration_ns = duration,
            .time_ns = time};
}

// Whether `svg` starts with the prolog, ends with the root and closes what it opens.
bool wellFormed(const std::string& svg) {
    const auto count = [&](const std::string& pattern) {
        const std::regex tag(pattern);
        return std::distance(std::sregex_iterator(svg.begin(), svg.end(), tag), {});
    };
    for (const std::string name : {"svg", "g", "text", "title", "style"})
        if (count("<" + name + "[ >]") != count("</" + name + ">"))
            return false;
    return svg.rfind("<?xml", 0) == 0 && svg.ends_with("</svg>\n");
}

// The texts of `svg` of a class, in order.
std::vector<std::string> texts(const std::string& svg, const std::string& cls) {
    const std::regex text("<text class=\"" + cls + "\"[^>]*>([^<]*)</text>");
    std::vector<std::string> found;
    for (std::sregex_iterator it(svg.begin(), svg.end(), text), end; it != end; ++it)
        found.push_back((*it)[1]);
    return found;
}

struct Group {
    std::string title;
    std::vector<double> boxes; // x, y and width of each
    std::vector<std::string> labels;
};

// The picture of `log`, checked to be well-formed.
std::string render(const seq_timeline::log_t& log, const std::string& title = "prog.s") {
    std::ostringstream out;
    seq_timeline(title).write(out, log);
    EXPECT_TRUE(wellFormed(out.str())) << out.str().substr(0, 3000);
    return out.str();
}

// The groups of the entries of a picture.
std::vector<Group> entryGroups(const std::string& svg) {
    static const std::regex group("<g class=\"entry\" data-entry=\"(\\d+)\"><title>([^<]*)"
                                  "</title>(.*)</g>");
    static const std::regex rect("<rect x=\"([^\"]*)\" y=\"([^\"]*)\" width=\"([^\"]*)\"");
    std::vector<Group> groups;
    for (std::sregex_iterator g(svg.begin(), svg.end(), group), end; g != end; ++g) {
        EXPECT_EQ((*g)[1], std::to_string(groups.size()));
        const std::string body = (*g)[3];
        Group& added = groups.emplace_back(Group{(*g)[2], {}, texts(body, "label")});
        for (std::sregex_iterator r(body.begin(), body.end(), rect); r != end; ++r)
            for (int k = 1; k <= 3; ++k)
                added.boxes.push_back(std::stod((*r)[k]));
    }
    return groups;
}

// Boxes too thin for their label go without; the title is escaped.
TEST(seq_timelineTest, OneGroupPerEntryWithBoxesInTheirLanesAtTimeAndDuration) {
    const seq_timeline::log_t log = {entry("play", 0, 100), entry("acquire", 100, 100),
                                     entry("wait", 200, 250), entry("upd_param", 450, 50),
                                     entry("play", 500, 1)};
    const std::string svg = render(log, "a<b>&\"c'\x01\xff\xc3\xa9.s");
    const std::vector<Group> groups = entryGroups(svg);
    EXPECT_NE(svg.find(">a&lt;b&gt;&amp;&quot;c&apos;??\xc3\xa9.s</text>"), std::string::npos);
    EXPECT_NE(svg.find(">5 real-time entries, 501 ns in all</text>"), std::string::npos);
    ASSERT_EQ(groups.size(), log.size());
    // The lanes: paths 0 and 1, acquisition, wait / update.
    const std::vector<std::vector<int>> lanes = {{0, 1}, {2}, {3}, {3}, {0, 1}};
    const double scale = seq_timeline::s_plotWidth / 501;
    const double laneStep = seq_timeline::s_laneHeight + seq_timeline::s_laneGap;
    const std::vector<std::vector<std::string>> labels = {
        {"w1", "w2"}, {"a3:b4"}, {"wait"}, {"upd_param"}, {}};
    for (size_t i = 0; i < log.size(); ++i) {
        SCOPED_TRACE("entry " + std::to_string(i));
        const std::vector<double>& boxes = groups[i].boxes;
        ASSERT_EQ(boxes.size(), 3 * lanes[i].size());
        for (size_t k = 0; k < lanes[i].size(); ++k) {
            EXPECT_NEAR(boxes[3 * k], log[i].time_ns * scale, 1e-3);
            EXPECT_NEAR(boxes[3 * k + 1], lanes[i][k] * laneStep, 1e-3);
            EXPECT_NEAR(boxes[3 * k + 2], log[i].duration_ns * scale, 1e-3);
        }
        EXPECT_EQ(groups[i].labels, labels[i]);
        EXPECT_EQ(groups[i].title.rfind(
                      "@" + std::to_string(log[i].time_ns) + "ns " + log[i].str + " ", 0),
                  0u);
    }
}

// "a3:b4" takes 35 px.
TEST(seq_timelineTest, ALabelThatJustFitsIsDrawn) {
    const auto groups = entryGroups(render({entry("acquire", 0, 35), entry("wait", 35, 965)}));
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].labels, std::vector<std::string>{"a3:b4"});
}

// Plays are coloured by wave index and acquisitions by acquisition index (a negative index
// as its 32-bit pattern); in the wait and update lane a wait is told by its operation.
TEST(seq_timelineTest, BoxesHaveTheColoursOfTheirIndexOrKind) {
    Entry play = entry("play", 0, 10);
    play.wave_idx[0] = 9;
    play.wave_idx[1] = -1;
    Entry acquisition = entry("acquire", 10, 10);
    acquisition.acq_idx = 5;
    const std::string svg = render({play, acquisition, entry("wait_sync", 20, 10),
                                    entry("upd_param", 30, 10), entry("waiting", 40, 10)});
    const std::regex box("<rect x=\"[^\"]*\" y=\"[^\"]*\" width=\"[^\"]*\" "
                         "height=\"30.0\" fill=\"([^\"]*)\"");
    std::vector<std::string> fills;
    for (std::sregex_iterator r(svg.begin(), svg.end(), box), end; r != end; ++r)
        fills.push_back((*r)[1]);
    EXPECT_EQ(fills, (std::vector<std::string>{"#59a14f", "#86bcb6", "#e15759", "#bab0ac",
                                               "#8c8fd6", "#8c8fd6"}));
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
    EXPECT_EQ(texts(render({entry("wait", 0, 4500)}), "tick"),
              (std::vector<std::string>{"0", "500", "1000", "1500", "2000", "2500", "3000", "3500",
                                        "4000", "4500"}));
}

TEST(seq_timelineTest, EmptyLogGivesAWellFormedPicture) {
    const std::string svg = render({});
    EXPECT_NE(svg.find(">0 real-time entries, 0 ns in all</text>"), std::string::npos);
}

} // namespace
