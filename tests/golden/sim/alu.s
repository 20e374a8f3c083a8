# Registers are unsigned 32-bit: results wrap, asr shifts in zeros, shift counts are taken
# modulo 64. Arithmetic takes 2 ticks with an immediate, 3 with a register right operand.
# A register wait shows the register's value as its duration.
        nop
        nop
        move    0x80000000, R1
        move    0xFFFFFFFF, R2
        move    5, R3
        move    65, R4
        add     R2, 2, R10                  # 1
        sub     R0, 1, R11                  # 4294967295
        and     R2, R3, R12                 # 5
        or      R3, 10, R13                 # 15
        xor     R3, 3, R14                  # 6
        not     R3, R15                     # 4294967290
        asr     R1, 31, R16                 # 1, not 4294967295
        asr     R1, R4, R17                 # by 1: 1073741824
        asl     R3, 32, R18                 # 0: the bits leave the 32
        asl     R3, R4, R19                 # by 1: 10
        wait    R10
        wait    R11
        wait    R12
        wait    R13
        wait    R14
        wait    R15
        wait    R16
        wait    R17
        wait    R18
        wait    R19
        stop
#! simulate 1000
#| @0ns wait 1ns
#| @1ns wait 4294967295ns
#| @4294967296ns wait 5ns
#| @4294967301ns wait 15ns
#| @4294967316ns wait 6ns
#| @4294967322ns wait 4294967290ns
#| @8589934612ns wait 1ns
#| @8589934613ns wait 1073741824ns
#| @9663676437ns wait 0ns
#| @9663676437ns wait 10ns
#! counts: 27 instructions, 40 classical, 9663676447 real-time
