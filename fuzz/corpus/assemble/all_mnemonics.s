.DEF n 5
.DEF target @end
start:
    nop
    move $n, R1
    add R1, 2, R2
    sub R2, R1, R3
    and R1, 0xff, R4
    or R1, R2, R5
    xor R1, 017, R6
    not R1, R7
    asl R1, 3, R8
    asr R8, R1, R9
    jmp @start
    jge R1, 10, @start
    jlt R1, 5, @end
    loop R1, @start
    wait 10
    wait R1
    wait_sync 4
    wait_trigger 30
    set_mrk 3
    set_ph 1, 2, 3
    set_ph_delta 1, 2, 3
    reset_ph
    set_awg_gain 100, -1
    set_awg_offs -32768, 5
    upd_param 8
    play 1, 2, 100
    acquire 0, 1, 20
    acquire_weighed 0, 1, 2, 3, 20
    sw_req 1
end: stop
