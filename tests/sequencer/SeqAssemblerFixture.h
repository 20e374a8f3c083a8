#pragma once
// A fixture with the Vexa instruction set in a processor of 4096 words and 64 registers, an
// assembler over it, and the words and errors of a standalone run.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "assembler/seq_instr_set.h"
#include "base/Logging.h"
#include "base/utils/SourceReader.h"
#include "sequencer/SeqAssembler.h"
#include "sequencer/asmparser/AsmErrorList.h"
#include "sequencer/asmparser/AsmSyntax.h"
#include "sequencer/seqprocessor/SeqProcessor.h"

class AssemblerFixture : public ::testing::Test {
protected:
    void SetUp() override { Logging::setLogLevel(3); }
    void TearDown() override { Logging::setLogLevel(m_savedLevel); }

    // A standalone run over the text (source name "test.s"); the errors land in `errors`.
    int assemble(const std::string& source) {
        errors = AsmErrorList();
        StringSourceReader reader(source, "test.s");
        return assembler.assemble(reader, errors);
    }
    std::string report() const { return errors.toStringFullReport("assembler"); }
    std::vector<uint64_t> words() const {
        std::vector<uint64_t> result;
        for (uint32_t a = 0; a < assembler.numInstructions(); ++a)
            result.push_back(processor.readInstructionMem(a));
        return result;
    }

    SeqProcessor processor{seq_instr_set(), 4096, 64};
    SeqAssembler assembler{&processor, AsmSyntax()};
    AsmErrorList errors;

private:
    const int m_savedLevel = Logging::getLogLevel();
};
