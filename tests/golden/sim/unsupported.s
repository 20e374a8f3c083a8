# reset_ph is in the instruction set, but no simulator executes it.
        play    1, 2, 100
        reset_ph
#! simulate 1000
#| @0ns play 100ns:
#| 	wave idx: 0:1,1:2
#| 	awg_gain: 0:32767,1:32767
#| 	awg_offset: 0:32767,1:32767
#| 	phase: c:0,f:0,u:0
#| 	phase delta: c:0,f:0,u:0
#| 	marker: 0
#! outcome: Instruction reset_ph not yet supported.
#! counts: 1 instructions, 2 classical, 100 real-time
