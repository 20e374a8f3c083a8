# The real-time log: each instruction that takes real time logs the state as it started: its
# time, duration and what it carries (a play, an acquisition, a parameter update). Settings
# reach the log with the next logged instruction and stay; the phase step is cleared after
# each entry that carries something, not after a wait. Of the register operands of a
# real-time instruction the first is read ahead, the others current.
        move    3, R1
        move    4, R2
        set_awg_gain 100, -100              # -100 as its 16 bits: 65436
        set_ph_delta 1, 2, 3
        wait_trigger 8                      # a wait carries nothing: no colon, no details
        play    1, 2, 100                   # phase delta 1, 2, 3
        set_awg_offs 7, 8
        set_ph  10, 20, 30
        set_mrk 5
        acquire 1, 2, 40                    # weight indices -1; phase delta 0 again
        add     R2, 2, R2
        acquire_weighed 2, R2, R2, R1, 60   # bin 4 as before the add, weights 6 and 3
        upd_param 4
        wait_sync 9
        sw_req  1
        stop
#! simulate 1000
#| @0ns wait_trigger 8ns
#| @8ns play 100ns:
#| 	wave idx: 0:1,1:2
#| 	awg_gain: 0:100,1:65436
#| 	awg_offset: 0:32767,1:32767
#| 	phase: c:0,f:0,u:0
#| 	phase delta: c:1,f:2,u:3
#| 	marker: 0
#| @108ns acquire 40ns:
#| 	acq idx: 1
#| 	bin idx: 2
#| 	weight idx: 0:-1,1:-1
#| 	awg_gain: 0:100,1:65436
#| 	awg_offset: 0:7,1:8
#| 	phase: c:10,f:20,u:30
#| 	phase delta: c:0,f:0,u:0
#| 	marker: 5
#| @148ns acquire_weighed 60ns:
#| 	acq idx: 2
#| 	bin idx: 4
#| 	weight idx: 0:6,1:3
#| 	awg_gain: 0:100,1:65436
#| 	awg_offset: 0:7,1:8
#| 	phase: c:10,f:20,u:30
#| 	phase delta: c:0,f:0,u:0
#| 	marker: 5
#| @208ns upd_param 4ns:
#| 	awg_gain: 0:100,1:65436
#| 	awg_offset: 0:7,1:8
#| 	phase: c:10,f:20,u:30
#| 	phase delta: c:0,f:0,u:0
#| 	marker: 5
#| @212ns wait_sync 9ns
#! counts: 16 instructions, 27 classical, 221 real-time
