// How a run ended and what it counted; bound once as RunCounts, the `counts` of a finished
// run and of an event stream that has ended.
#pragma once

#include "assembler/seq_sim.h"

#include <cstdint>
#include <string>
#include <utility>

namespace vexa_py {

struct RunCounts {
    bool completed = false;
    std::string message;
    uint64_t instructions = 0;
    uint64_t classicalCycles = 0;
    uint64_t realtimeCycles = 0;

    void take(const seq_sim& simulator, bool failed, std::string runMessage) {
        completed = !failed;
        message = std::move(runMessage);
        instructions = simulator.numInstructions();
        classicalCycles = simulator.classicalTick();
        realtimeCycles = simulator.realtimeTick();
    }
};

} // namespace vexa_py
