# A register read ahead of time (the left operand of arithmetic, the source of move and not,
# a wait register) sees a register's previous value until the second tick after its write;
# the right operand of arithmetic is read current. Arithmetic writes its result one tick
# after it starts (two with a register operand). A move records no write, and tick 0
# counts as every register's latest write.
        move    7, R1                       # tick 0
        add     R1, 1, R2                   # tick 1 reads R1 as before: 0 + 1
        add     R1, 1, R3                   # tick 3: 8, written at tick 4
        add     R3, 1, R4                   # tick 5: R3 as before: 0 + 1
        add     R3, 0, R5                   # tick 7: 8
        add     R0, R3, R6                  # tick 9, right operand: 8, written at tick 11
        add     R6, R6, R7                  # tick 12: 0 + 8
        move    R7, R8                      # tick 15, R7 as before: 0
        add     R0, 9, R10
        not     R10, R9                     # not 0: 4294967295
        move    5, R11
        move    R11, R12                    # no write recorded: 5
        add     R0, 9, R13                  # written at tick 23
        wait    R13                         # tick 24: as before, 0
        wait    R13                         # tick 25: 9
        wait    R2
        wait    R4
        wait    R5
        wait    R6
        wait    R7
        wait    R8
        wait    R9
        wait    R12
        stop
#! simulate 1000
#| @0ns wait 0ns
#| @0ns wait 9ns
#| @9ns wait 1ns
#| @10ns wait 1ns
#| @11ns wait 8ns
#| @19ns wait 8ns
#| @27ns wait 8ns
#| @35ns wait 0ns
#| @35ns wait 4294967295ns
#| @4294967330ns wait 5ns
#! counts: 24 instructions, 35 classical, 4294967335 real-time
