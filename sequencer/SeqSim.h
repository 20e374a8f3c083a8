// Cycle-counting simulator of a sequencer processor: executes the generic instructions
// (control flow, moves, arithmetic) of the program in the processor's instruction memory,
// models the register file's write-to-read latency, and counts classical and real-time
// cycles. Mnemonics it does not execute are left to a derived simulator. It is also the
// section handler of ".SIM".
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/utils/StopWatchSet.h"
#include "base/utils/stringUtils.h"
#include "sequencer/AsmSection.h"
#include "sequencer/seqprocessor/SeqInstructionDef.h"
#include "sequencer/seqprocessor/SeqProcessor.h"

class SeqSim : public AsmSection {
public:
    using instruction_t = uint64_t;
    using address_t = uint32_t;
    using register_t = SeqProcessor::register_t;
    using value_t = uint64_t;

    struct ALUArgs1 {
        address_t dst_addr = 0;
        value_t op_val = 0;
    };
    struct ALUArgs2 {
        address_t dst_addr = 0;
        value_t lft_val = 0;
        value_t rgt_val = 0;
    };

    SeqSim();
    explicit SeqSim(SeqProcessor* processor);
    ~SeqSim() override;

    SeqSim(const SeqSim&) = delete;
    SeqSim& operator=(const SeqSim&) = delete;

    std::string asmSectionGetDirective() override;
    int asmSectionStart(AsmErrorList& errors) override;
    bool asmSectionProcessLine(const std::shared_ptr<const SourceLine>& line,
                               AsmErrorList& errors) override;
    void asmSectionFinish(AsmErrorList& errors) override;

    // One complete run from address 0; true when it did not end with "stop", `message`
    // then says why.
    virtual bool simulate(int maxInstructions, UIStr& message);
    // The same, logging the outcome and the statistics.
    virtual bool simulate(int maxInstructions);
    // Executes the instruction at the program counter; true when its mnemonic is not one
    // this simulator executes (nothing changed then).
    virtual bool processInstruction();

    // Operand reads by field name (see also the cached forms below).
    register_t getImmediateValue(const SeqInstructionDef& def, const std::string& fieldName,
                                 instruction_t word) const;
    // Register `address` as a read that was issued ahead sees it: its value before its latest
    // write until the second classical tick after that write. Rejects an address beyond the
    // register file with the data memory's read error.
    register_t getPrefetchedRegister(address_t address) const {
        if (address < m_registerWrittenAtTick.size() &&
            m_registerWrittenAtTick[address] + 1 >= m_classicalTick)
            return m_registerPreviousValues[address];
        return m_SP->readRegister(address);
    }
    register_t getPrefetchedRegisterValue(const SeqInstructionDef& def,
                                          const std::string& registerField,
                                          instruction_t word) const;
    register_t getImmediateOrPrefetchedRegisterValue(const SeqInstructionDef& def,
                                                     const std::string& immediateField,
                                                     const std::string& registerField,
                                                     instruction_t word) const;
    register_t getImmediateOrRegisterValue(const SeqInstructionDef& def,
                                           const std::string& immediateField,
                                           const std::string& registerField,
                                           instruction_t word) const;

    void setRegister(address_t address, register_t value);
    void initRegisters();
    void getALUArgs1(ALUArgs1& args, const SeqInstructionDef& def, instruction_t word);
    void getALUArgs2(ALUArgs2& args, const SeqInstructionDef& def, instruction_t word);

    void printStats(const std::string& prefix) const;
    void printTimers(const std::string& title) const;
    void stopTimers();

    // State of the latest run.
    uint32_t numInstructions() const { return m_numInstr; }
    uint64_t classicalTick() const { return m_classicalTick; }
    uint64_t realtimeTick() const { return m_realtimeTick; }
    address_t pc() const { return m_pc; }
    bool isRunning() const { return m_running; }
    const HiResStopWatchSet& timers() const { return m_timers; }

protected:
    // A field of a definition resolved once, with its name for the error of a definition
    // that lacks it (field is null then).
    struct FieldRef {
        const SeqField* field = nullptr;
        const char* name = "";
    };
    static FieldRef resolveField(const SeqInstructionDef& def, const char* name);

    register_t fieldValue(const SeqInstructionDef& def, FieldRef ref, instruction_t word) const {
        if (ref.field == nullptr)
            throwArgumentNotFound(def, ref.name);
        return static_cast<register_t>(ref.field->get(word));
    }
    register_t prefetchedRegisterValue(const SeqInstructionDef& def, FieldRef reg,
                                       instruction_t word) const {
        return getPrefetchedRegister(fieldValue(def, reg, word));
    }
    register_t immediateOrPrefetchedRegisterValue(const SeqInstructionDef& def, FieldRef imm,
                                                  FieldRef reg, instruction_t word) const {
        return def.select() != 0 ? fieldValue(def, imm, word)
                                 : prefetchedRegisterValue(def, reg, word);
    }
    register_t immediateOrRegisterValue(const SeqInstructionDef& def, FieldRef imm, FieldRef reg,
                                        instruction_t word) const {
        return def.select() != 0 ? fieldValue(def, imm, word)
                                 : m_SP->readRegister(fieldValue(def, reg, word));
    }
    [[noreturn]] static void throwArgumentNotFound(const SeqInstructionDef& def,
                                                   const char* fieldName);

    // Decoding: every definition of the instruction set gets a dense index when the
    // simulator is constructed; derived simulators keep their own tables by that index.
    static constexpr uint32_t s_no_index = 0xFFFFFFFF;
    const std::vector<std::shared_ptr<const SeqInstructionDef>>& definitions() const {
        return m_definitions;
    }
    // The index of the definition of `word`; throws SeqProcInstructionNotFoundError.
    uint32_t decode(instruction_t word) const {
        const auto opcode = static_cast<unsigned>(m_opcodeField.get(word));
        const auto select = static_cast<unsigned>(m_selectField.get(word));
        if (opcode + 1 < m_opcodeStart.size()) {
            const uint32_t start = m_opcodeStart[opcode];
            if (select < m_opcodeStart[opcode + 1] - start) {
                const uint32_t index = m_decodeBySelect[start + select];
                if (index != s_no_index)
                    return index;
            }
        }
        throwInstructionNotFound(opcode, select);
    }
    // Word and definition index of the instruction that processInstruction decoded last.
    instruction_t m_decodedWord = 0;
    uint32_t m_decodedIndex = s_no_index;

    void jumpPC(address_t target) {
        m_pc = target;
        clearClassicalPipeline();
    }
    void clearClassicalPipeline() { m_classicalTick += static_cast<uint64_t>(m_clPipeLineSize); }

    SeqProcessor* m_SP = nullptr;
    std::string simDirective;
    std::vector<uint32_t> m_registerPreviousValues;
    std::vector<uint64_t> m_registerWrittenAtTick;
    HiResStopWatchSet m_timers;
    int32_t m_clPipeLineSize = 3;
    uint64_t m_classicalTick = 0;
    uint64_t m_realtimeTick = 0;
    uint32_t m_numInstr = 0;
    address_t m_pc = 0;
    bool m_running = false;

private:
    enum class Op : uint8_t {
        Foreign, // not executed here
        Illegal,
        Stop,
        Nop,
        Jmp,
        Jge,
        Jlt,
        Loop,
        Move,
        Not,
        Add,
        Sub,
        And,
        Or,
        Xor,
        Asl,
        Asr
    };
    enum Field : uint8_t { F_IMM, F_REG0, F_REG1, F_REG2, F_INSTR_ADDR, F_COUNT_ };
    struct Resolved {
        Op op = Op::Foreign;
        FieldRef fields[F_COUNT_];
    };

    void buildDecodeTables();
    void aluArgs1(ALUArgs1& args, const SeqInstructionDef& def, const Resolved& r,
                  instruction_t word);
    void aluArgs2(ALUArgs2& args, const SeqInstructionDef& def, const Resolved& r,
                  instruction_t word);
    [[noreturn]] void throwRegisterWriteError(address_t address) const;
    [[noreturn]] static void throwInstructionNotFound(unsigned opcode, unsigned select);

    std::vector<std::shared_ptr<const SeqInstructionDef>> m_definitions;
    std::vector<Resolved> m_resolved;
    // Definition index by opcode and select: the selects of opcode k occupy
    // m_decodeBySelect[m_opcodeStart[k] .. m_opcodeStart[k + 1]).
    std::vector<uint32_t> m_opcodeStart;
    std::vector<uint32_t> m_decodeBySelect;
    // Copies of the instruction set's opcode and select fields (mask 0 when it has none).
    SeqField m_opcodeField;
    SeqField m_selectField;
};
