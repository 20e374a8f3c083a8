# reset_ph is in the instruction set, but no simulator executes it; the entries before it
# stay.
        wait    8
        reset_ph
#! simulate 1000
#| @0ns wait 8ns
#! outcome: Instruction reset_ph not yet supported.
#! counts: 1 instructions, 1 classical, 8 real-time
