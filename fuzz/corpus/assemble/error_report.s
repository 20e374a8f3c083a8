# error_report.s: a program with deliberate mistakes, to show the error report.
# vexasm lists every error with its position and a marker under the offending text,
# and exits with the number of errors.

start:  move            5, R1
        wait            3                   # shorter than the minimum of 4 cycles
        jump            @start              # no such mnemonic
        add             R1, R2              # add needs three operands
        set_mrk         16                  # the marker field has 4 bits
        stop
