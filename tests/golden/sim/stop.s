# A program of stop alone: one instruction, one classical tick, no real-time entry. A
# negative budget is taken as unsigned, so it sets no limit.
        stop
#! simulate -1
#! counts: 1 instructions, 1 classical, 0 real-time
