# The forms of a line: an optional address label, a mnemonic with operands separated by
# commas, and a comment. Registers are a letter and a number; immediates are decimal, 0x
# hexadecimal or 0-prefixed octal; @label is the address of the labelled instruction and
# $name the value of a symbol defined earlier with .DEF (its text up to the comment).

.DEF    COUNT   10
.DEF    GAIN    -1                  # negative: two's complement in the 16-bit field
.DEF    REG     R5

start:  move    $COUNT, R1          # => 3c0000400000000a
        move    0x1F, R2            # => 3c0000800000001f
        move    017, R3             # => 3c0000c00000000f  octal
        set_awg_gain $GAIN, 2       # => ac0000000002ffff
        add     $REG, 5, $REG       # => 4400014500000005
	add	R1,R2 ,  R3         # => 400000c100000002  tabs, blanks around commas
loop:nop                            # => 1000000000000000
        jmp     @done               # => 1c00034000000000  forward: address 13
        loop    R1, @loop           # => 3400018100000000  backward: address 6
again :                             # a label alone applies to the next instruction line

        jge     R1, 0, @again       # => 2400024100000000  address 9
first:
second:                             # of two labels alone, the second is taken
        jmp     @second             # => 1c00028000000000  address 10
pending:
own:    jmp     @pending            # => 1c0002c000000000  the pending label replaces own
a-b :   add     R1, 5, R2,          # => 4400008100000005  a trailing comma ends the list
done:   stop                        # => 0800000000000000
# A label may hold '-' and '_'; a label alone also waits over comment lines.
x-y_z:  jmp     @x-y_z              # => 1c00038000000000  address 14
waiting:
# not an instruction line
        jmp     @waiting            # => 1c0003c000000000  address 15
commented:                          # a comment may follow a label alone
        jmp     @commented          # => 1c00040000000000  address 16
        jmp     @commented          # => 1c00040000000000  the label stays with the first
.DEF    BACK    @waiting            # a symbol may stand for an address reference
        jmp     $BACK               # => 1c0003c000000000
