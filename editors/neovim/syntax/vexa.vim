" Vexa assembly: highlighting by the same word classes as the VS Code grammar.
if exists('b:current_syntax')
  finish
endif

syntax match vexaComment '#.*$' contains=@Spell
syntax match vexaDirective '^\s*\.\(CODE\|SIM\|CPU\|END\|DEF\)\ze\($\|[^[:alnum:]_.-]\)'
syntax match vexaLabel '^\s*\h[[:alnum:]_-]*\ze\s*:'
syntax match vexaMnemonic '\<\(illegal\|stop\|nop\|jmp\|jge\|jlt\|loop\|move\|not\|add\|sub\|and\|or\|xor\|asl\|asr\|sw_req\|set_mrk\|reset_ph\|set_ph\|set_ph_delta\|set_awg_gain\|set_awg_offs\|upd_param\|play\|acquire\|acquire_weighed\|wait\|wait_trigger\|wait_sync\)\>\(\s*:\)\@!'
syntax match vexaRegister '\<[A-Za-z]-\=\d\+\>'
syntax match vexaNumber '\([[:alnum:]_$@-]\)\@<!-\=\(0[xX]\x\+\|\d\+\)\>'
syntax match vexaLabelRef '@\h[[:alnum:]_-]*'
syntax match vexaSymbol '\$\h[[:alnum:]_-]*'

highlight default link vexaComment Comment
highlight default link vexaDirective PreProc
highlight default link vexaLabel Label
highlight default link vexaMnemonic Statement
highlight default link vexaRegister Identifier
highlight default link vexaNumber Number
highlight default link vexaLabelRef Function
highlight default link vexaSymbol Constant

let b:current_syntax = 'vexa'
