# sections.s: a program with a simulator section.
# Lines after .SIM go to the simulator section and are ignored by the assembler;
# .CODE switches back. .CPU and .END lines are accepted and dropped anywhere.

.CPU
        move            5, R1
.SIM
        these lines are notes for the simulator, not instructions
.CODE
count:  sub             R1, 1, R1
        jge             R1, 1, @count
        stop
.END
