#ifndef ASSEMBLER_SEQ_ASM_H
#define ASSEMBLER_SEQ_ASM_H

// The tool's assembler section: the generic assembler over the tool's processor.

#include "sequencer/SeqAssembler.h"

class seq_asm : public SeqAssembler {
public:
    seq_asm(SeqProcessor* processor, const AsmSyntax& syntax);
    ~seq_asm() override;
};

#endif
