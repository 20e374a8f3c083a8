# The real-time log: every instruction that takes real time logs the state as it started:
# its time, duration, and what it carries (a play, an acquisition, a parameter update).
# The settings change nothing in the log until the next logged instruction; the phase step
# is cleared after each entry that updates parameters, the other settings stay.
        nop
        nop
        move    3, R1
        move    4, R2
        set_awg_gain 100, -100              # in the next entry; -100 as its 16 bits, 65436
        set_ph_delta 1, 2, 3
        play    1, 2, 100                   # phase delta 1, 2, 3
        play    R1, R2, 50                  # phase delta back to 0
        set_awg_offs 7, 8
        set_ph  10, 20, 30
        set_mrk 5
        acquire 1, 2, 40                    # weight indices -1
        acquire_weighed 2, R1, R2, R1, 60
        upd_param 4
        wait_trigger 8                      # waits carry nothing: a header without colon
        wait_sync 9
        sw_req  1
        stop
#! simulate 1000
#| @0ns play 100ns:
#| 	wave idx: 0:1,1:2
#| 	awg_gain: 0:100,1:65436
#| 	awg_offset: 0:32767,1:32767
#| 	phase: c:0,f:0,u:0
#| 	phase delta: c:1,f:2,u:3
#| 	marker: 0
#| @100ns play 50ns:
#| 	wave idx: 0:3,1:4
#| 	awg_gain: 0:100,1:65436
#| 	awg_offset: 0:32767,1:32767
#| 	phase: c:0,f:0,u:0
#| 	phase delta: c:0,f:0,u:0
#| 	marker: 0
#| @150ns acquire 40ns:
#| 	acq idx: 1
#| 	bin idx: 2
#| 	weight idx: 0:-1,1:-1
#| 	awg_gain: 0:100,1:65436
#| 	awg_offset: 0:7,1:8
#| 	phase: c:10,f:20,u:30
#| 	phase delta: c:0,f:0,u:0
#| 	marker: 5
#| @190ns acquire_weighed 60ns:
#| 	acq idx: 2
#| 	bin idx: 3
#| 	weight idx: 0:4,1:3
#| 	awg_gain: 0:100,1:65436
#| 	awg_offset: 0:7,1:8
#| 	phase: c:10,f:20,u:30
#| 	phase delta: c:0,f:0,u:0
#| 	marker: 5
#| @250ns upd_param 4ns:
#| 	awg_gain: 0:100,1:65436
#| 	awg_offset: 0:7,1:8
#| 	phase: c:10,f:20,u:30
#| 	phase delta: c:0,f:0,u:0
#| 	marker: 5
#| @254ns wait_trigger 8ns
#| @262ns wait_sync 9ns
#! counts: 18 instructions, 29 classical, 271 real-time
