#include "base/utils/StopWatchSet.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>

namespace {

const std::string number = "[0-9]\\.[0-9]{3}e[-+][0-9]{2}";

TEST(StopWatchTest, NeverStartedWatchReportsZero) {
    const StopWatch watch("idle");
    EXPECT_FALSE(watch.isRunning());
    EXPECT_EQ(watch.elapsedSeconds(), 0.0);
    EXPECT_EQ(watch.report(), "idle: 0.000e+00 seconds\n");
    EXPECT_EQ(StopWatch().report(), "0.000e+00 seconds\n");
}

TEST(StopWatchTest, StoppedWatchWithoutLapsPrintsNameAndTime) {
    StopWatch watch("parse");
    watch.start();
    EXPECT_TRUE(watch.isRunning());
    watch.stop();
    EXPECT_TRUE(watch.hasDuration());
    EXPECT_TRUE(std::regex_match(watch.report(), std::regex("parse: " + number + " seconds\n")))
        << watch.report();
}

TEST(StopWatchTest, LapsAddRatesToTheReportLine) {
    StopWatch watch("assemble", "instruction");
    watch.start();
    watch.setLapCount(11);
    watch.addLap();
    watch.stop();
    EXPECT_EQ(watch.lapCount(), 12u);
    const std::regex line("assemble: " + number + " seconds for 12 instructions = " + number +
                          " instructions/second = " + number + " microseconds/instruction\n");
    EXPECT_TRUE(std::regex_match(watch.report(), line)) << watch.report();
}

TEST(StopWatchTest, SecondStopKeepsTheFirstStopTimeAndResetClears) {
    StopWatch watch;
    watch.start();
    watch.stop();
    const auto firstStop = watch.stopTime();
    watch.stop();
    EXPECT_EQ(watch.stopTime(), firstStop);
    EXPECT_GE(watch.stopTime(), watch.startTime());

    watch.setLapCount(3);
    watch.reset();
    EXPECT_EQ(watch.lapCount(), 0u);
    EXPECT_FALSE(watch.hasDuration());
    EXPECT_EQ(watch.elapsedSeconds(), 0.0);
    EXPECT_EQ(watch.startTime(), StopWatch::time_point_t{});

    watch.setLapCount(3);
    watch.start();
    EXPECT_EQ(watch.lapCount(), 0u);
    EXPECT_GT(StopWatch::clockTick(), 0.0);
}

TEST(StopWatchTest, PrintLeavesTheStreamFormatAlone) {
    std::ostringstream os;
    os << StopWatch("w") << 1.5;
    EXPECT_EQ(os.str(), "w: 0.000e+00 seconds\n1.5");
}

TEST(StopWatchSetTest, SharedMembersAndReportOrder) {
    HiResStopWatchSet set;
    const auto owned = StopWatchSet::create("assemble", "instruction");
    EXPECT_EQ(set.add(owned), owned);
    const auto parse = set.add("parse");
    set.add("simulate", "cycle");
    EXPECT_EQ(set.size(), 3u);
    EXPECT_EQ(set[1], parse);
    EXPECT_EQ(set[2]->lapName(), "cycle");

    owned->setLapCount(2); // visible through the set: the watch is shared
    const std::string report = set.report();
    EXPECT_EQ(report, "assemble: 0.000e+00 seconds for 2 instructions = 0.000e+00 "
                      "instructions/second = 0.000e+00 microseconds/instruction\n"
                      "parse: 0.000e+00 seconds\n"
                      "simulate: 0.000e+00 seconds\n");

    HiResStopWatchSet all;
    all.add(set);
    all.add(all);
    EXPECT_EQ(all.size(), 6u);
    EXPECT_EQ(all[3], owned);
}

} // namespace
