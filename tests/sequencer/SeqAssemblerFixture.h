#pragma once
// Test support for the assembler: the tables of the Vexa processor as test data (an
// instruction set is built from them through the generic table constructors, and the tests
// compute the expected instruction words from the same bit positions on their own), and a
// fixture with a processor of 4096 words and an assembler over it.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/Logging.h"
#include "base/utils/SourceReader.h"
#include "sequencer/SeqAssembler.h"
#include "sequencer/asmparser/AsmErrorList.h"
#include "sequencer/asmparser/AsmSyntax.h"
#include "sequencer/seqprocessor/SeqArgumentTable.h"
#include "sequencer/seqprocessor/SeqInstructionSet.h"
#include "sequencer/seqprocessor/SeqProcessor.h"

namespace vexa_test {

inline const std::vector<SeqFieldInit> fields = {
    {0, "IMM", 31, 0},        {1, "WAVE_IDX0", 9, 0},     {2, "WAVE_IDX1", 19, 10},
    {3, "WEIGHT_IDX0", 5, 0}, {4, "WEIGHT_IDX1", 11, 6},  {5, "ACQ_IDX", 17, 12},
    {6, "BIN_IDX", 41, 18},   {7, "PH_UFINE", 12, 0},     {8, "PH_FINE", 21, 13},
    {9, "PH_COARSE", 30, 22}, {10, "GAIN0", 15, 0},       {11, "GAIN1", 31, 16},
    {12, "OFFS0", 15, 0},     {13, "OFFS1", 31, 16},      {14, "MRK", 3, 0},
    {15, "REG0", 5, 0},       {16, "REG1", 37, 32},       {17, "REG2", 43, 38},
    {18, "REG3", 11, 6},      {19, "INSTR_ADDR", 49, 38}, {20, "COUNT", 57, 42},
    {21, "SELECT", 58, 58},   {22, "OPCODE", 63, 59},
};

inline const std::vector<SeqArgumentInit> arguments = {
    {0, "alu_dst_reg", "R", 17, 0, 63},
    {1, "alu_src_reg", "R", 15, 0, 63},
    {2, "alu_src_imm", "", 0, 0, -1},
    {3, "alu_lft_reg", "R", 16, 0, 63},
    {4, "alu_rgt_reg", "R", 15, 0, 63},
    {5, "alu_rgt_imm", "", 0, 0, -1},
    {6, "ins_adr_imm", "", 19, 0, -1},
    {7, "ins_adr_reg", "R", 17, 0, 63},
    {8, "loop_cnt_reg", "R", 16, 0, 63},
    {9, "srq_imm", "", 0, 0, -1},
    {10, "srq_reg", "R", 15, 0, 63},
    {11, "seq_wave_idx0_imm", "", 1, 0, -1},
    {12, "seq_wave_idx1_imm", "", 2, 0, -1},
    {13, "seq_wave_idx0_reg", "R", 15, 0, 63},
    {14, "seq_wave_idx1_reg", "R", 16, 0, 63},
    {15, "seq_weight_idx0_imm", "", 3, 0, -1},
    {16, "seq_weight_idx1_imm", "", 4, 0, -1},
    {17, "seq_weight_idx0_reg", "R", 16, 0, 63},
    {18, "seq_weight_idx1_reg", "R", 18, 0, 63},
    {19, "seq_acq_idx_imm", "", 5, 0, -1},
    {20, "seq_bin_idx_imm", "", 6, 0, -1},
    {21, "seq_bin_idx_reg", "R", 15, 0, 63},
    {22, "seq_ph_ufine_imm", "", 7, 0, -1},
    {23, "seq_ph_fine_imm", "", 8, 0, -1},
    {24, "seq_ph_coarse_imm", "", 9, 0, -1},
    {25, "seq_ph_coarse_reg", "R", 15, 0, 63},
    {26, "seq_ph_fine_reg", "R", 16, 0, 63},
    {27, "seq_ph_ufine_reg", "R", 17, 0, 63},
    {28, "seq_gain0_imm", "", 10, -32768, 32767},
    {29, "seq_gain1_imm", "", 11, -32768, 32767},
    {30, "seq_gain0_reg", "R", 15, 0, 63},
    {31, "seq_gain1_reg", "R", 16, 0, 63},
    {32, "seq_offs0_imm", "", 12, -32768, 32767},
    {33, "seq_offs1_imm", "", 13, -32768, 32767},
    {34, "seq_offs0_reg", "R", 15, 0, 63},
    {35, "seq_offs1_reg", "R", 16, 0, 63},
    {36, "seq_mrk_imm", "", 14, 0, -1},
    {37, "seq_mrk_reg", "R", 15, 0, 63},
    {38, "seq_cnt_imm", "", 20, 4, -1},
    {39, "seq_cnt_reg", "R", 15, 0, 63},
};

struct Variant {
    uint32_t opcode;
    const char* mnemonic;
    uint32_t select;
    std::vector<uint32_t> args;
};

inline const std::vector<Variant> variants = {
    {0, "illegal", 0, {}},
    {1, "stop", 0, {}},
    {2, "nop", 0, {}},
    {3, "jmp", 1, {6}},
    {3, "jmp", 0, {7}},
    {4, "jge", 1, {3, 5, 6}},
    {4, "jge", 0, {3, 5, 7}},
    {5, "jlt", 1, {3, 5, 6}},
    {5, "jlt", 0, {3, 5, 7}},
    {6, "loop", 1, {8, 6}},
    {6, "loop", 0, {8, 7}},
    {7, "move", 1, {2, 0}},
    {7, "move", 0, {1, 0}},
    {10, "not", 1, {2, 0}},
    {10, "not", 0, {1, 0}},
    {8, "add", 1, {3, 5, 0}},
    {8, "add", 0, {3, 4, 0}},
    {9, "sub", 1, {3, 5, 0}},
    {9, "sub", 0, {3, 4, 0}},
    {11, "and", 1, {3, 5, 0}},
    {11, "and", 0, {3, 4, 0}},
    {12, "or", 1, {3, 5, 0}},
    {12, "or", 0, {3, 4, 0}},
    {13, "xor", 1, {3, 5, 0}},
    {13, "xor", 0, {3, 4, 0}},
    {14, "asl", 1, {3, 5, 0}},
    {14, "asl", 0, {3, 4, 0}},
    {15, "asr", 1, {3, 5, 0}},
    {15, "asr", 0, {3, 4, 0}},
    {16, "sw_req", 1, {9}},
    {16, "sw_req", 0, {10}},
    {17, "set_mrk", 1, {36}},
    {17, "set_mrk", 0, {37}},
    {18, "reset_ph", 0, {}},
    {19, "set_ph", 1, {24, 23, 22}},
    {19, "set_ph", 0, {25, 26, 27}},
    {20, "set_ph_delta", 1, {24, 23, 22}},
    {20, "set_ph_delta", 0, {25, 26, 27}},
    {21, "set_awg_gain", 1, {28, 29}},
    {21, "set_awg_gain", 0, {30, 31}},
    {22, "set_awg_offs", 1, {32, 33}},
    {22, "set_awg_offs", 0, {34, 35}},
    {23, "upd_param", 1, {38}},
    {24, "play", 1, {11, 12, 38}},
    {24, "play", 0, {13, 14, 38}},
    {26, "acquire_weighed", 1, {19, 20, 15, 16, 38}},
    {26, "acquire_weighed", 0, {19, 21, 17, 18, 38}},
    {25, "acquire", 1, {19, 20, 38}},
    {25, "acquire", 0, {19, 21, 38}},
    {27, "wait", 1, {38}},
    {27, "wait", 0, {39}},
    {28, "wait_trigger", 1, {38}},
    {28, "wait_trigger", 0, {39}},
    {29, "wait_sync", 1, {38}},
    {29, "wait_sync", 0, {39}},
};

inline SeqInstructionSet instructionSet() {
    SeqArgumentTable table;
    for (const SeqFieldInit& field : fields) {
        table.fieldTable().add(field);
    }
    for (const SeqArgumentInit& argument : arguments) {
        table.add(argument);
    }
    SeqInstructionSet set(1, 0, 22, 21, table, {});
    for (const Variant& variant : variants) {
        SeqInstructionInit record(variant.opcode, variant.mnemonic, variant.select);
        for (uint32_t id : variant.args) {
            record.addArg(id);
        }
        set.add(record);
    }
    return set;
}

// The bit layout of an operand as the tables give it, independent of the processor model.
struct Operand {
    std::string name;
    bool isRegister;
    unsigned lsb;
    uint64_t mask;
    int64_t minValue;
    int64_t maxValue;
};

inline Operand operand(uint32_t argumentId) {
    const SeqArgumentInit& argument = arguments.at(argumentId);
    const SeqFieldInit& field = fields.at(argument.fieldId);
    const unsigned width = field.msb - field.lsb + 1;
    const uint64_t mask = width == 64 ? ~uint64_t{0} : (uint64_t{1} << width) - 1;
    const int64_t minValue = argument.minValue;
    const int64_t maxValue =
        argument.maxValue < argument.minValue ? static_cast<int64_t>(mask) : argument.maxValue;
    return {argument.name, argument.registerName[0] != '\0', field.lsb, mask, minValue, maxValue};
}

inline uint64_t baseWord(const Variant& variant) {
    return (uint64_t{variant.opcode} << 59) | (uint64_t{variant.select} << 58);
}

// The operand text of a value: "R<v>" for a register, the decimal number for an immediate.
inline std::string operandText(const Operand& op, int64_t value) {
    std::string text = op.isRegister ? "R" : "";
    text += std::to_string(value);
    return text;
}

// One source line of the variant with the given operand values.
inline std::string sourceLine(const Variant& variant, const std::vector<int64_t>& values) {
    std::string line = variant.mnemonic;
    for (size_t i = 0; i < values.size(); ++i) {
        line += i == 0 ? " " : ", ";
        line += operandText(operand(variant.args[i]), values[i]);
    }
    return line;
}

// The word the tables give for the variant with the given operand values.
inline uint64_t expectedWord(const Variant& variant, const std::vector<int64_t>& values) {
    uint64_t word = baseWord(variant);
    for (size_t i = 0; i < values.size(); ++i) {
        const Operand op = operand(variant.args[i]);
        word |= (static_cast<uint64_t>(values[i]) & op.mask) << op.lsb;
    }
    return word;
}

} // namespace vexa_test

class AssemblerFixture : public ::testing::Test {
protected:
    void SetUp() override {
        m_savedLevel = Logging::getLogLevel();
        Logging::setLogLevel(3);
    }
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
        for (uint32_t a = 0; a < assembler.numInstructions(); ++a) {
            result.push_back(processor.readInstructionMem(a));
        }
        return result;
    }
    std::string errorText(size_t index) const {
        auto it = errors.begin();
        std::advance(it, static_cast<std::ptrdiff_t>(index));
        return (*it)->message();
    }

    SeqProcessor processor{vexa_test::instructionSet(), 4096, 64};
    SeqAssembler assembler{&processor, AsmSyntax()};
    AsmErrorList errors;

private:
    int m_savedLevel = 7;
};
