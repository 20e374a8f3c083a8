# Section directives: lines under .SIM go to the simulator section, which takes none;
# .CODE switches back; .CPU and .END lines are dropped wherever they stand.
.CPU    vexa
        nop                         # => 1000000000000000
.SIM
        this line is not assembled
.CODE
        stop                        # => 0800000000000000
.END
