// Random programs against a reference: five hundred programs of words drawn from the whole
// Vexa instruction set (register fields beyond a short register file, jumps anywhere, words
// no definition matches, programs that run off the end of memory, small budgets) run in
// the generic simulator, the real-time simulator and a simulator that replaces
// processInstruction(); each result must equal that of a plain interpreter written here
// from the description of the simulators: decode by findForBinary, compare mnemonics, read
// operands by field name.
#include "assembler/seq_instr_set.h"
#include "assembler/seq_sim.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kWords = 24;
constexpr uint32_t kRegisters = 48;

std::string text(uint64_t value) {
    return std::to_string(value);
}

// The interpreter of the description.
class Reference {
public:
    Reference(const SeqInstructionSet& set, const std::vector<instruction_t>& code, bool realtime)
        : m_set(set), m_code(code), m_realtime(realtime) {}

    void run(int budget) {
        reg.assign(kRegisters, 0);
        previous.assign(kRegisters, 0);
        writtenAt.assign(kRegisters, 0);
        rt = seq_sim::rt_info();
        rt.awg_gain[0] = rt.awg_gain[1] = rt.awg_offs[0] = rt.awg_offs[1] = 32767;
        running = true;
        try {
            while (running) {
                if (!step()) {
                    message = "Instruction " + definition().mnemonic() + " not yet supported.";
                    return;
                }
                if (numInstr > static_cast<uint32_t>(budget)) {
                    message = "Maximum number of instructions reached (" + std::to_string(budget) +
                              "). Could the program be running an infinite loop?";
                    return;
                }
            }
        } catch (const Illegal&) {
            message = "ILLEGAL instruction at instruction address:  " + text(pc);
        } catch (const std::exception& error) {
            message = error.what();
        }
    }

    std::vector<uint32_t> reg, previous;
    std::vector<uint64_t> writtenAt;
    uint64_t tick = 0, realtimeTick = 0;
    uint32_t numInstr = 0, pc = 0;
    bool running = false;
    seq_sim::rt_info rt;
    std::vector<seq_sim::rt_info> log;
    std::string message;

private:
    struct Illegal {};

    const SeqInstructionDef& definition() {
        if (pc >= kWords)
            throw std::runtime_error("Attempt to read instruction at address " + text(pc) +
                                     " beyond maximum address " + text(kWords - 1));
        const auto& def = m_set.findForBinary(m_code[pc]);
        if (!def)
            throw std::runtime_error(
                "Binary instruction with opcode=" + text(m_set.readOpcodeField(m_code[pc])) +
                " select=" + (m_set.readSelectField(m_code[pc]) != 0 ? "1" : "0") +
                " not supported");
        return *def;
    }
    uint32_t field(const char* name) {
        return static_cast<uint32_t>(m_def->getFieldValue(name, m_code[pc]));
    }
    uint32_t current(uint32_t a) {
        if (a >= kRegisters)
            throw std::runtime_error("Attempt to read data at address " + text(a) +
                                     " beyond maximum address " + text(kRegisters - 1));
        return reg[a];
    }
    uint32_t prefetched(uint32_t a) {
        return a < kRegisters && writtenAt[a] + 1 >= tick ? previous[a] : current(a);
    }
    uint32_t immOrPrefetched(const char* imm, const char* r) {
        return m_def->select() != 0 ? field(imm) : prefetched(field(r));
    }
    uint32_t immOrCurrent(const char* imm, const char* r) {
        return m_def->select() != 0 ? field(imm) : current(field(r));
    }
    void setRegister(uint32_t a, uint32_t value) {
        if (a >= kRegisters)
            throw std::runtime_error("Attempt to write register at address " + text(a) +
                                     " beyond maximum address " + text(kRegisters - 1));
        previous[a] = reg[a];
        writtenAt[a] = tick;
        reg[a] = value;
    }
    void jump(uint32_t target) {
        pc = target;
        tick += 3;
        m_jumped = true;
    }
    void logEntry(uint64_t duration, bool update) {
        rt.duration_ns = duration;
        log.push_back(rt);
        if (update) {
            rt.play_valid = rt.acquire_valid = rt.param_valid = false;
            rt.ph_delta_ufine = rt.ph_delta_fine = rt.ph_delta_coarse = 0;
        }
        realtimeTick += duration;
        rt.time_ns = realtimeTick;
    }

    // processInstruction(): false when neither simulator part executes the instruction.
    bool step() {
        m_def = &definition();
        m_jumped = false;
        const std::string& mnemonic = m_def->mnemonic();
        uint64_t ticks = 1;
        if (mnemonic == "illegal") {
            throw Illegal();
        } else if (mnemonic == "stop") {
            running = false;
            m_jumped = true; // the program counter stays
        } else if (mnemonic == "nop") {
        } else if (mnemonic == "jmp") {
            jump(immOrPrefetched("INSTR_ADDR", "REG2"));
        } else if (mnemonic == "jge" || mnemonic == "jlt") {
            const uint32_t c = prefetched(field("REG1"));
            const uint32_t i = field("IMM");
            if (mnemonic == "jge" ? c >= i : c < i)
                jump(immOrCurrent("INSTR_ADDR", "REG2"));
        } else if (mnemonic == "loop") {
            const uint32_t a = field("REG1");
            const uint32_t n = prefetched(a) - 1u;
            setRegister(a, n);
            if (n != 0)
                jump(immOrCurrent("INSTR_ADDR", "REG2"));
        } else if (mnemonic == "move") {
            const uint32_t v = immOrPrefetched("IMM", "REG0");
            const uint32_t d = field("REG2");
            if (d >= kRegisters)
                throw std::runtime_error("Attempt to write data at address " + text(d) +
                                         " beyond maximum address " + text(kRegisters - 1));
            reg[d] = v;
        } else if (mnemonic == "not") {
            const uint64_t v = immOrPrefetched("IMM", "REG0");
            const uint32_t d = field("REG2");
            tick += 1;
            setRegister(d, static_cast<uint32_t>(~v));
        } else if (mnemonic == "add" || mnemonic == "sub" || mnemonic == "and" ||
                   mnemonic == "or" || mnemonic == "xor" || mnemonic == "asl" ||
                   mnemonic == "asr") {
            const uint64_t l = prefetched(field("REG1"));
            const uint64_t r = immOrCurrent("IMM", "REG0");
            if (m_def->select() == 0)
                tick += 1;
            const uint32_t d = field("REG2");
            tick += 1;
            const uint64_t result = mnemonic == "add"   ? l + r
                                    : mnemonic == "sub" ? l - r
                                    : mnemonic == "and" ? l & r
                                    : mnemonic == "or"  ? l | r
                                    : mnemonic == "xor" ? l ^ r
                                    : mnemonic == "asl" ? l << (r % 64)
                                                        : l >> (r % 64);
            setRegister(d, static_cast<uint32_t>(result));
        } else if (!m_realtime) {
            return false;
        } else if (!realtimeStep(mnemonic, ticks)) {
            return false;
        }
        if (!m_jumped)
            pc += 1;
        numInstr += 1;
        tick += ticks;
        return true;
    }

    bool realtimeStep(const std::string& mnemonic, uint64_t& ticks) {
        rt.str = m_def->mnemonic().c_str();
        const auto s32 = [](uint32_t v) { return static_cast<int32_t>(v); };
        if (mnemonic == "sw_req") {
        } else if (mnemonic == "set_mrk") {
            rt.mrk = s32(immOrPrefetched("MRK", "REG0"));
        } else if (mnemonic == "set_ph" || mnemonic == "set_ph_delta") {
            const bool delta = mnemonic == "set_ph_delta";
            (delta ? rt.ph_delta_coarse : rt.ph_coarse) = s32(immOrPrefetched("PH_COARSE", "REG0"));
            (delta ? rt.ph_delta_fine : rt.ph_fine) = s32(immOrCurrent("PH_FINE", "REG1"));
            (delta ? rt.ph_delta_ufine : rt.ph_ufine) = s32(immOrCurrent("PH_UFINE", "REG2"));
            ticks = 3;
        } else if (mnemonic == "set_awg_gain") {
            rt.awg_gain[0] = s32(immOrPrefetched("GAIN0", "REG0"));
            rt.awg_gain[1] = s32(immOrCurrent("GAIN1", "REG1"));
            ticks = 2;
        } else if (mnemonic == "set_awg_offs") {
            rt.awg_offs[0] = s32(immOrPrefetched("OFFS0", "REG0"));
            rt.awg_offs[1] = s32(immOrCurrent("OFFS1", "REG1"));
            ticks = 2;
        } else if (mnemonic == "upd_param") {
            rt.param_valid = true;
            logEntry(field("COUNT"), true);
        } else if (mnemonic == "play") {
            rt.wave_idx[0] = s32(immOrPrefetched("WAVE_IDX0", "REG0"));
            rt.wave_idx[1] = s32(immOrCurrent("WAVE_IDX1", "REG1"));
            rt.play_valid = rt.param_valid = true;
            logEntry(field("COUNT"), true);
            ticks = 2;
        } else if (mnemonic == "acquire_weighed" || mnemonic == "acquire") {
            rt.acq_idx = s32(field("ACQ_IDX"));
            rt.bin_idx = s32(immOrPrefetched("BIN_IDX", "REG0"));
            const bool weighed = mnemonic == "acquire_weighed";
            rt.weight_idx[0] = weighed ? s32(immOrCurrent("WEIGHT_IDX0", "REG1")) : -1;
            rt.weight_idx[1] = weighed ? s32(immOrCurrent("WEIGHT_IDX1", "REG3")) : -1;
            rt.acquire_valid = rt.param_valid = true;
            logEntry(field("COUNT"), true);
            ticks = weighed ? 3 : 2;
        } else if (mnemonic == "wait" || mnemonic == "wait_trigger" || mnemonic == "wait_sync") {
            logEntry(immOrPrefetched("COUNT", "REG0"), false);
        } else {
            return false;
        }
        return true;
    }

    const SeqInstructionSet& m_set;
    const std::vector<instruction_t>& m_code;
    bool m_realtime;
    const SeqInstructionDef* m_def = nullptr;
    bool m_jumped = false;
};

std::string entryText(const seq_sim::rt_info& e) {
    std::ostringstream out;
    out << (e.str ? e.str : "") << ' ' << e.time_ns << ' ' << e.duration_ns << ' ' << e.play_valid
        << e.acquire_valid << e.param_valid << ' ' << e.wave_idx[0] << ',' << e.wave_idx[1] << ' '
        << e.acq_idx << ' ' << e.bin_idx << ' ' << e.weight_idx[0] << ',' << e.weight_idx[1] << ' '
        << e.awg_gain[0] << ',' << e.awg_gain[1] << ' ' << e.awg_offs[0] << ',' << e.awg_offs[1]
        << ' ' << e.ph_coarse << ',' << e.ph_fine << ',' << e.ph_ufine << ' ' << e.ph_delta_coarse
        << ',' << e.ph_delta_fine << ',' << e.ph_delta_ufine << ' ' << e.mrk << '\n';
    return out.str();
}

// Everything a run leaves behind, as text that a failure shows side by side.
std::string outcome(const std::string& message, uint32_t instructions, uint64_t ticks,
                    uint64_t realtimeTicks, uint32_t pc, bool running,
                    const std::vector<uint32_t>& registers,
                    const std::vector<seq_sim::rt_info>& log) {
    std::ostringstream out;
    out << "message: " << message << "\ninstructions " << instructions << ", ticks " << ticks
        << ", real time " << realtimeTicks << ", pc " << pc << ", running " << running
        << "\nregisters";
    for (const uint32_t r : registers)
        out << ' ' << r;
    out << '\n';
    for (const auto& entry : log)
        out << entryText(entry);
    return out.str();
}

// A simulator that replaces processInstruction(): every instruction takes the virtual call.
template <class Base> class StepCountingSim : public Base {
public:
    using Base::Base;
    bool processInstruction() override {
        ++steps;
        return Base::processInstruction();
    }
    uint64_t steps = 0;
};

// A program of kWords words: mostly definitions of the set with random field values (the
// immediates often small, so that jumps land in the program and counts stay short), and
// some stops, all-zero (illegal) and random words.
std::vector<instruction_t> randomProgram(std::mt19937_64& random, const SeqInstructionSet& set,
                                         const std::vector<const SeqInstructionDef*>& defs) {
    std::vector<instruction_t> code;
    for (uint32_t a = 0; a < kWords; ++a) {
        const uint64_t kind = random() % 20;
        instruction_t word = 0;
        if (kind == 0) {
            word = random();
        } else if (kind == 1) {
            set.writeBaseFields(word, *set.find("stop", ""));
        } else if (kind > 2) {
            const SeqInstructionDef& def = *defs[random() % defs.size()];
            set.writeBaseFields(word, def);
            for (const auto& argument : def.arguments()) {
                // Mostly four registers, so that instructions read what others have just
                // written, at times any in the 6-bit field; an immediate often in or near
                // the program, to jump there and to count little.
                const uint64_t value = argument->isRegister()
                                           ? (random() % 8 == 0 ? random() : random() % 4)
                                       : random() % 2 == 0 ? random()
                                                           : random() % (kWords + 4);
                argument->field()->setfast(word, value);
            }
        }
        code.push_back(word);
    }
    return code;
}

TEST(SeqSimReferenceTest, RandomProgramsRunAsTheDescriptionSays) {
    SeqProcessor processor(seq_instr_set(), kWords, kRegisters);
    processor.setClockFrequencies(250.0, 250.0);
    const SeqInstructionSet& set = processor.instructionSet();
    std::vector<const SeqInstructionDef*> defs;
    for (const auto& variations : set)
        for (const auto& def : variations)
            defs.push_back(&def);
    ASSERT_EQ(defs.size(), 55u);

    SeqSim generic(&processor);
    seq_sim realtime(&processor);
    StepCountingSim<SeqSim> genericStepping(&processor);
    StepCountingSim<seq_sim> realtimeStepping(&processor);
    std::mt19937_64 random(20240607);
    for (int n = 0; n < 500; ++n) {
        const std::vector<instruction_t> code = randomProgram(random, set, defs);
        for (uint32_t a = 0; a < kWords; ++a)
            processor.writeInstructionMem(a, code[a]);
        const int budget = static_cast<int>(random() % 160);
        std::ostringstream program;
        for (const instruction_t word : code)
            program << std::hex << word << ' ';

        for (SeqSim* sim : std::initializer_list<SeqSim*>{&generic, &realtime, &genericStepping,
                                                          &realtimeStepping}) {
            auto* rtSim = dynamic_cast<seq_sim*>(sim);
            Reference reference(set, code, rtSim != nullptr);
            reference.run(budget);
            UIStr message;
            const bool failed = sim->simulate(budget, message);
            EXPECT_EQ(failed, !message.empty());
            std::vector<uint32_t> registers;
            for (uint32_t r = 0; r < kRegisters; ++r)
                registers.push_back(processor.readRegister(r));
            const std::vector<seq_sim::rt_info> none;
            ASSERT_EQ(outcome(message, sim->numInstructions(), sim->classicalTick(),
                              sim->realtimeTick(), sim->pc(), sim->isRunning(), registers,
                              rtSim ? rtSim->get_rt_log() : none),
                      outcome(reference.message, reference.numInstr, reference.tick,
                              reference.realtimeTick, reference.pc, reference.running,
                              reference.reg, reference.log))
                << "program " << n << " (budget " << budget << "): " << program.str();
        }
    }
    // Every instruction of the replacing simulators went through processInstruction().
    EXPECT_GT(genericStepping.steps, 500u);
    EXPECT_GT(realtimeStepping.steps, genericStepping.steps);
}

} // namespace
