# symbols.s: named values with .DEF and address labels.
# Sweeps the waveform index held in R2 from 0 up to COUNT-1, playing each for DURATION
# cycles; the sweep ends with a jump over a trigger wait that only the first pass takes.

.DEF COUNT      8
.DEF DURATION   200
.DEF IDX        R2                          # a symbol can stand for a register too
.DEF END        @done

        move            0, $IDX
        wait_trigger    4                   # wait for the start trigger
sweep:
        play            $IDX, R3, $DURATION
        add             $IDX, 1, $IDX
        jlt             $IDX, $COUNT, @sweep
        jmp             $END
        wait_trigger    4                   # never reached
done:   stop
