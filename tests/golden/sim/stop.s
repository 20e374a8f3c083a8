# A program of stop alone: one instruction, one classical tick, no real-time entry.
        stop
#! simulate 1000
#! counts: 1 instructions, 1 classical, 0 real-time
