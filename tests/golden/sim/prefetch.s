# A register read ahead of time (the left operand of arithmetic, a loop counter, a jump or
# wait register) sees a register's previous value until the second tick after its write;
# the right operand of arithmetic is always read current. A move records no write.
        nop
        nop
        move    7, R1
        add     R1, 1, R2                   # the moved value: 8
        add     R2, 1, R3                   # R2 written just before: its old 0, so 1
        add     R2, 0, R4                   # two ticks later: 8
        add     R0, R2, R5                  # right operand current: 8
        add     R5, R5, R6                  # left old (0), right current (8): 8
        nop
        wait    R3
        wait    R4
        wait    R5
        wait    R6
        stop
#! simulate 1000
#| @0ns wait 1ns
#| @1ns wait 8ns
#| @9ns wait 8ns
#| @17ns wait 8ns
#! counts: 14 instructions, 21 classical, 25 real-time
