# Real-time kernel of bench_sim and bench/sim_speed.sh: 14 instructions a pass, about
# 0.7 * 10^6 passes (10^7 instructions, 5 * 10^6 events).
        move    714286, R1              # pass counter
        move    20, R2
        set_awg_gain 16384, 16384
top:    set_ph  1, 2, 3
        set_ph_delta 0, 1, 0
        set_awg_offs 0, 0
        set_mrk 1
        play    1, 2, 100
        acquire 0, 5, 100
        set_awg_gain R2, R3
        acquire_weighed 0, 6, 1, 2, 100
        upd_param 10
        set_mrk R2
        play    R2, R3, 50
        wait    250
        wait    R2
        loop    R1, @top
        stop
