# ALU kernel of bench_sim and bench/sim_speed.sh: 10 instructions a pass, 10^7 passes.
        move    10000000, R1            # pass counter
        move    3, R2
        move    5, R3
top:    add     R2, 7, R4
        sub     R4, R3, R5              # R4 was written just before: reads its old value
        and     R5, 0xFFFF, R6
        xor     R6, R2, R7
        add     R7, R3, R2              # register operands
        asl     R2, 1, R8
        jlt     R8, 0, @top             # never taken: unsigned compare
        jmp     @next
next:   xor     R8, R5, R3
        loop    R1, @top
        stop
