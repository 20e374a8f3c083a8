# Register values are unsigned 32-bit: results wrap, asr shifts in zeros, shift counts are
# taken modulo 64. A register wait shows a register's value as its duration.
        nop                                 # registers written at tick 0 read as 0 until tick 2
        nop
        move    0x80000000, R1
        asr     R1, 31, R2                  # 1
        asl     R1, 32, R3                  # 0: the bit leaves the 32 bits
        move    5, R4
        asl     R4, 65, R5                  # shift by 1: 10
        sub     R0, 1, R6                   # 4294967295
        move    0, R7
        loop    R7, @next                   # 0 - 1 is not 0: the loop jumps
next:   not     R6, R8                      # 0
        xor     R4, 3, R9                   # 6
        nop
        wait    R2
        wait    R3
        wait    R5
        wait    R6
        wait    R7
        wait    R8
        wait    R9
        stop
#! simulate 1000
#| @0ns wait 1ns
#| @1ns wait 0ns
#| @1ns wait 10ns
#| @11ns wait 4294967295ns
#| @4294967306ns wait 4294967295ns
#| @8589934601ns wait 0ns
#| @8589934601ns wait 6ns
#! counts: 21 instructions, 30 classical, 8589934607 real-time
