#include "base/utils/StopWatchSet.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>

namespace {

TEST(StopWatchTest, ReportLineOfIdleStoppedAndLappedWatches) {
    const std::string number = "[0-9]\\.[0-9]{3}e[-+][0-9]{2}";
    EXPECT_EQ(StopWatch().report(), "0.000e+00 seconds\n");
    StopWatch parse("parse");
    parse.setLapCount(3); // starting forgets the laps
    parse.start();
    parse.stop();
    EXPECT_TRUE(std::regex_match(parse.report(), std::regex("parse: " + number + " seconds\n")))
        << parse.report();

    StopWatch assemble("assemble", "instruction");
    assemble.start();
    assemble.setLapCount(12);
    assemble.stop();
    const std::regex line("assemble: " + number + " seconds for 12 instructions = " + number +
                          " instructions/second = " + number + " microseconds/instruction\n");
    EXPECT_TRUE(std::regex_match(assemble.report(), line)) << assemble.report();

    // Printing leaves the stream's number format as it was.
    std::ostringstream os;
    os << StopWatch("w") << 1.5;
    EXPECT_EQ(os.str(), "w: 0.000e+00 seconds\n1.5");
}

TEST(StopWatchTest, SecondStopKeepsTheFirstStopTimeAndResetClears) {
    StopWatch watch;
    watch.start();
    watch.stop();
    const auto firstStop = watch.stopTime();
    watch.stop();
    EXPECT_EQ(watch.stopTime(), firstStop);
    watch.setLapCount(3);
    watch.reset();
    EXPECT_EQ(watch.report(), "0.000e+00 seconds\n");
}

TEST(StopWatchSetTest, SharedMembersAndReportOrder) {
    HiResStopWatchSet set;
    const auto owned = StopWatchSet::create("assemble", "instruction");
    set.add(owned);
    set.add("parse");
    owned->setLapCount(2); // visible through the set: the watch is shared
    EXPECT_EQ(set.report(), "assemble: 0.000e+00 seconds for 2 instructions = 0.000e+00 "
                            "instructions/second = 0.000e+00 microseconds/instruction\n"
                            "parse: 0.000e+00 seconds\n");
    HiResStopWatchSet all;
    all.add(set);
    all.add(all); // adding a set to itself doubles it
    EXPECT_EQ(all.size(), 4u);
    EXPECT_EQ(all[2], owned);
}

} // namespace
