# Lines that parse but do not encode: each is one error, and the others are still encoded.
        nop                         # => 1000000000000000
        jump    5                   # error 8: Syntax error: instruction 'jump' not found
        add     R1, R2              # error 16: Syntax error: Instruction "add" does not support argument signature "R#,R#"\nSupported signatures: "R#,R#,R#" "R#,#,R#"
        wait    R1, 5               # error 16: Syntax error: Instruction "wait" does not support argument signature "R#,#"\nSupported signatures: "R#" "#"
        move    1, 2                # error 16: Syntax error: Instruction "move" does not support argument signature "#,#"\nSupported signatures: "R#,R#" "#,R#"
        stop                        # => 0800000000000000
# A register is a letter of either case and a number, even a negative one; the instructions
# take only R.
        move    R-1, R2             # error 16+3: Syntax error: Instruction move argument 1 (alu_src_reg) value: -1 out of range (0,63)
        add     r1, 5, R2           # error 16: Syntax error: Instruction "add" does not support argument signature "r#,#,R#"\nSupported signatures: "R#,R#,R#" "R#,#,R#"
        wait    x1                  # error 16+2: Syntax error: Instruction "wait" does not support argument signature "x#"\nSupported signatures: "R#" "#"
