#include "assembler/seq_asm.h"

seq_asm::seq_asm(SeqProcessor* processor, const AsmSyntax& syntax)
    : SeqAssembler(processor, syntax) {}

seq_asm::~seq_asm() = default;
