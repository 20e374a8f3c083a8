# Operands that fit no variant of the instruction: one error listing the supported
# signatures, which points just after the mnemonic when there are no operands, at the
# operand when there is one, and from the first operand to the end of the line when there
# are more.
        jmp                         # error 11+1: Syntax error: Instruction "jmp" does not support argument signature ""\nSupported signatures: "R#" "#"
        upd_param R1                # error 18+2: Syntax error: Instruction "upd_param" does not support argument signature "R#"\nSupported signatures: "#"
        nop     1                   # error 16+1: Syntax error: Instruction "nop" does not support argument signature "#"\nSupported signatures: ""
        add     5, R1, R2           # error 16: Syntax error: Instruction "add" does not support argument signature "#,R#,R#"\nSupported signatures: "R#,R#,R#" "R#,#,R#"
