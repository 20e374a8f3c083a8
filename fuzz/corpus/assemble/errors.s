lbl:
lbl: nop
    move 1, R64
    jmp @nowhere
    add $undefined, R1, R2
    frobnicate 1, 2
    wait 0x100000000
    play 1,
.DEF a
.DEF a 1
.DEF a 2
    stop 1
# trailing comment
