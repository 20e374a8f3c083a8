# Running past the end of the instruction memory (4096 words) ends the run.
        move    5000, R1
        nop
        jmp     R1
#! simulate 1000
#! outcome: Attempt to read instruction at address 5000 beyond maximum address 4095
#! counts: 3 instructions, 6 classical, 0 real-time
