# Lines the parser rejects: each is one error at the text it cannot take.

add R1 R2           # error 7: Syntax error: AsmParser: spurious characters after statement
add R1, R2 junk     # error 11: Syntax error: AsmParser: spurious characters after statement
  foo.bar           # error 2: Syntax error: AsmParser: spurious characters after statement
.                   # error 0: Syntax error: AsmParser: spurious characters after statement
x^y R1              # error 0: Syntax error: AsmParser: spurious characters after statement
add R1 ; x          # error 7: Syntax error: AsmParser: spurious characters after statement
add ~ anything      # error 4: Syntax error: AsmParser: spurious characters after statement
add R1,,R2          # error 7: Syntax error: AsmParser: spurious characters after statement
% x                 # error 0: Syntax error: AsmParser: spurious characters after statement
add $1x             # error 5+2: Syntax error: Invalid symbol name
add $a$b            # error 5+3: Syntax error: Invalid symbol name
add $N              # error 5+1: Unresolved symbol: N.
jmp @1x             # error 5+2: Syntax error: Invalid address label reference
jmp R1, @a@b        # error 9+3: Syntax error: Invalid address label reference
add zz              # error 4+2: Syntax error: Invalid argument
add _a              # error 4+2: Syntax error: Invalid argument
add $               # error 4+1: Syntax error: Invalid argument
add R1, abc         # error 8+3: Syntax error: AsmParser: Invalid Immediate argument: Expected an integer number
add 08              # error 4+2: Syntax error: AsmParser: Invalid Immediate argument: Expected an integer number
add 5x              # error 4+2: Syntax error: AsmParser: Invalid Immediate argument: Expected an integer number
add R08             # error 5+2: Syntax error: AsmParser: Invalid Register argument: Expected an integer number
add R-              # error 5+1: Syntax error: AsmParser: Invalid Register argument: Expected an integer number
.DEF X 1f           # error 7+2: Syntax error: AsmParser: Invalid Immediate argument: Expected an integer number
add $X              # no second error: the value was rejected where it was defined
.DEF                # error 20: Syntax error: AsmParser: empty directive .DEF
.DEF N              # error 20: Syntax error: AsmParser: directive .DEF has no value
.def N 5            # error 0+4: Syntax error: AsmParser: directive '.def' not supported
  .FOO X 1          # error 2+4: Syntax error: AsmParser: directive '.FOO' not supported
a: nop              # error 0+1: Duplicate address label: a.
a: wait 4           # the error above names this line too
jmp @nowhere        # not looked up: labels are resolved only after a clean parse
.DEF Y 1            # error 5+1: Duplicate symbol: Y.
.DEF Y 2            # the error above names this line too
nop €ÿ              # error 4: Syntax error: AsmParser: spurious characters after statement
end:                # error: Syntax error: Label-only line without associated instruction line (expected after the label-only line)
