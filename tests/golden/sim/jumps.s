# A taken jump takes 1 + 3 ticks, one not taken 1. jge and jlt compare a register, read
# ahead, with an immediate, unsigned; their register target is read current, that of jmp
# ahead. loop counts its register down (read ahead, written at the tick it starts) and
# jumps unless the result is 0; from 0 it wraps.
        move    0xFFFFFFFF, R1
        move    @e1, R4
        move    @top, R7
        jge     R1, 0xFFFFFFFF, @a          # taken
        wait    100
a:      jlt     R1, 1, @b                   # not taken: unsigned
        wait    4
b:      add     R0, 9, R3
        jge     R3, 1, @c                   # R3 as before: 0, not taken
        wait    5
c:      add     R0, @d, R2
        jge     R1, 0, R2                   # to d
        wait    200
d:      add     R0, @e2, R4
        jmp     R4                          # R4 as before: to e1
e2:     wait    300
e1:     move    3, R5
top:    wait    6
        loop    R5, R7                      # three waits
        add     R0, 2, R6
        loop    R6, @f                      # R6 as before: 0 - 1
        wait    400
f:      wait    R6
        stop
#! simulate 1000
#| @0ns wait 4ns
#| @4ns wait 5ns
#| @9ns wait 6ns
#| @15ns wait 6ns
#| @21ns wait 6ns
#| @27ns wait 4294967295ns
#! counts: 24 instructions, 46 classical, 4294967322 real-time
