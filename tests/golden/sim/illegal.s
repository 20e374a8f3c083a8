# The illegal instruction (an all-zero word) ends the run; the entries before it stay.
        wait    8
        illegal
#! simulate 1000
#| @0ns wait 8ns
#! outcome: ILLEGAL instruction at instruction address:  1
#! counts: 1 instructions, 1 classical, 8 real-time
