# pulse_sequence.s: a pulse-and-acquire measurement.
# Sets the output gain and phase, then plays waveform pair 1/2 and acquires the response
# into bin 0, ten times, with a 1 us wait (250 cycles) between repetitions.

        set_awg_gain    16384, 16384        # half scale on both paths
        set_awg_offs    0, 0
        set_ph          0, 0, 0
        move            10, R1              # repetition counter
repeat: play            1, 2, 100           # waveform 1 on path 0, 2 on path 1
        acquire         0, 0, 100           # acquisition unit 0 into bin 0
        wait            250
        loop            R1, @repeat
        set_mrk         1                   # flag the end of the measurement
        stop
