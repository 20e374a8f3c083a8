// Five hundred random programs run in the generic and the real-time simulator, also through
// a class that replaces processInstruction(), every other run with a profile; each must end
// as the plain interpreter below, which decodes with findForBinary and reads fields by name.
#include "assembler/seq_instr_set.h"
#include "assembler/seq_sim.h"
#include "formats/seq_csv_sink.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kWords = 24;
constexpr uint32_t kRegisters = 48;

// The error of an access beyond a memory of `size` words.
[[noreturn]] void beyond(const std::string& access, uint64_t address, uint32_t size) {
    throw std::runtime_error("Attempt to " + access + " at address " + std::to_string(address) +
                             " beyond maximum address " + std::to_string(size - 1));
}

struct Reference {
    const SeqInstructionSet& set;
    const std::vector<instruction_t>& code;
    bool realtime;

    std::vector<uint32_t> reg = std::vector<uint32_t>(kRegisters), previous = reg;
    std::vector<uint64_t> writtenAt = std::vector<uint64_t>(kRegisters);
    std::vector<SeqSim::AddressProfile> profile = std::vector<SeqSim::AddressProfile>(kWords);
    uint64_t tick = 0, realtimeTick = 0;
    uint32_t numInstr = 0, pc = 0;
    bool running = true;
    seq_sim::rt_info rt{.awg_gain = {32767, 32767}, .awg_offs = {32767, 32767}};
    std::vector<seq_sim::rt_info> log{};
    std::string message{};
    const SeqInstructionDef* def = nullptr;

    void run(int budget) {
        try {
            while (running) {
                const uint32_t start = pc;
                const uint64_t startTick = tick, startRealtime = realtimeTick;
                if (!step()) {
                    message = "Instruction " + def->mnemonic() + " not yet supported.";
                    return;
                }
                auto& p = profile[start];
                if (p.count++ == 0)
                    p.firstTick = startTick, p.firstRealtime = startRealtime;
                p.realtime += realtimeTick - startRealtime;
                if (numInstr > static_cast<uint32_t>(budget)) {
                    message = "Maximum number of instructions reached (" + std::to_string(budget) +
                              "). Could the program be running an infinite loop?";
                    return;
                }
            }
        } catch (const std::exception& error) {
            message = error.what();
        }
    }

    uint32_t field(const char* name) const {
        return static_cast<uint32_t>(def->getFieldValue(name, code[pc]));
    }
    uint32_t current(uint32_t a) const {
        if (a >= kRegisters)
            beyond("read data", a, kRegisters);
        return reg[a];
    }
    uint32_t ahead(uint32_t a) const {
        return a < kRegisters && writtenAt[a] + 1 >= tick ? previous[a] : current(a);
    }
    uint32_t immOrAhead(const char* imm, const char* r) const {
        return def->select() != 0 ? field(imm) : ahead(field(r));
    }
    uint32_t immOrCurrent(const char* imm, const char* r) const {
        return def->select() != 0 ? field(imm) : current(field(r));
    }
    void setRegister(uint32_t a, uint32_t value) {
        if (a >= kRegisters)
            beyond("write register", a, kRegisters);
        previous[a] = reg[a];
        writtenAt[a] = tick;
        reg[a] = value;
    }
    void logEntry(uint64_t duration, bool clear) {
        rt.duration_ns = duration;
        log.push_back(rt);
        if (clear) {
            rt.play_valid = rt.acquire_valid = rt.param_valid = false;
            rt.ph_delta_ufine = rt.ph_delta_fine = rt.ph_delta_coarse = 0;
        }
        rt.time_ns = realtimeTick += duration;
    }

    // Executes the instruction at pc; false when neither simulator executes its mnemonic.
    bool step() {
        if (pc >= kWords)
            beyond("read instruction", pc, kWords);
        const auto& found = set.findForBinary(code[pc]);
        if (!found)
            throw std::runtime_error(
                "Binary instruction with opcode=" + std::to_string(set.readOpcodeField(code[pc])) +
                " select=" + (set.readSelectField(code[pc]) != 0 ? "1" : "0") + " not supported");
        def = found.get();
        const std::string& m = def->mnemonic();
        uint32_t next = pc + 1;
        const auto jump = [&](uint32_t target) { next = target, tick += 3; };
        static const std::map<std::string, uint64_t (*)(uint64_t, uint64_t)> arithmetic = {
            {"add", [](uint64_t l, uint64_t r) { return l + r; }},
            {"sub", [](uint64_t l, uint64_t r) { return l - r; }},
            {"and", [](uint64_t l, uint64_t r) { return l & r; }},
            {"or", [](uint64_t l, uint64_t r) { return l | r; }},
            {"xor", [](uint64_t l, uint64_t r) { return l ^ r; }},
            {"asl", [](uint64_t l, uint64_t r) { return l << (r % 64); }},
            {"asr", [](uint64_t l, uint64_t r) { return l >> (r % 64); }}};
        if (m == "illegal") {
            throw std::runtime_error("ILLEGAL instruction at instruction address:  " +
                                     std::to_string(pc));
        } else if (m == "stop") {
            running = false, next = pc;
        } else if (m == "jmp") {
            jump(immOrAhead("INSTR_ADDR", "REG2"));
        } else if (m == "jge" || m == "jlt") {
            const uint32_t c = ahead(field("REG1")), i = field("IMM");
            if (m == "jge" ? c >= i : c < i)
                jump(immOrCurrent("INSTR_ADDR", "REG2"));
        } else if (m == "loop") {
            const uint32_t a = field("REG1"), n = ahead(a) - 1u;
            setRegister(a, n);
            if (n != 0)
                jump(immOrCurrent("INSTR_ADDR", "REG2"));
        } else if (m == "move") {
            const uint32_t v = immOrAhead("IMM", "REG0"), d = field("REG2");
            if (d >= kRegisters)
                beyond("write data", d, kRegisters);
            reg[d] = v;
        } else if (m == "not") {
            const uint32_t v = immOrAhead("IMM", "REG0"), d = field("REG2");
            tick += 1;
            setRegister(d, ~v);
        } else if (arithmetic.count(m) != 0) {
            const uint64_t l = ahead(field("REG1")), r = immOrCurrent("IMM", "REG0");
            const uint32_t d = field("REG2");
            tick += def->select() == 0 ? 2 : 1;
            setRegister(d, static_cast<uint32_t>(arithmetic.at(m)(l, r)));
        } else if (m != "nop" && !(realtime && realtimeStep(m))) {
            return false;
        }
        pc = next;
        numInstr += 1;
        tick += 1;
        return true;
    }

    bool realtimeStep(const std::string& m) {
        rt.str = def->mnemonic().c_str();
        const auto phase = [&](int32_t& coarse, int32_t& fine, int32_t& ufine) {
            coarse = immOrAhead("PH_COARSE", "REG0");
            fine = immOrCurrent("PH_FINE", "REG1");
            ufine = immOrCurrent("PH_UFINE", "REG2");
            tick += 2;
        };
        const auto paths = [&](int32_t(&v)[2], const char* f0, const char* f1) {
            v[0] = immOrAhead(f0, "REG0");
            v[1] = immOrCurrent(f1, "REG1");
            tick += 1;
        };
        if (m == "set_mrk") {
            rt.mrk = immOrAhead("MRK", "REG0");
        } else if (m == "set_ph") {
            phase(rt.ph_coarse, rt.ph_fine, rt.ph_ufine);
        } else if (m == "set_ph_delta") {
            phase(rt.ph_delta_coarse, rt.ph_delta_fine, rt.ph_delta_ufine);
        } else if (m == "set_awg_gain") {
            paths(rt.awg_gain, "GAIN0", "GAIN1");
        } else if (m == "set_awg_offs") {
            paths(rt.awg_offs, "OFFS0", "OFFS1");
        } else if (m == "upd_param") {
            rt.param_valid = true;
            logEntry(field("COUNT"), true);
        } else if (m == "play") {
            paths(rt.wave_idx, "WAVE_IDX0", "WAVE_IDX1");
            rt.play_valid = rt.param_valid = true;
            logEntry(field("COUNT"), true);
        } else if (m == "acquire_weighed" || m == "acquire") {
            const bool weighed = m == "acquire_weighed";
            rt.acq_idx = field("ACQ_IDX");
            rt.bin_idx = immOrAhead("BIN_IDX", "REG0");
            rt.weight_idx[0] = weighed ? immOrCurrent("WEIGHT_IDX0", "REG1") : -1;
            rt.weight_idx[1] = weighed ? immOrCurrent("WEIGHT_IDX1", "REG3") : -1;
            rt.acquire_valid = rt.param_valid = true;
            logEntry(field("COUNT"), true);
            tick += weighed ? 2 : 1;
        } else if (m == "wait" || m == "wait_trigger" || m == "wait_sync") {
            logEntry(immOrAhead("COUNT", "REG0"), false);
        } else {
            return m == "sw_req";
        }
        return true;
    }
};

// Everything a run leaves behind, as text that a failure shows side by side.
std::string outcome(const std::string& message, std::initializer_list<uint64_t> counters,
                    const std::vector<uint32_t>& registers,
                    const std::vector<SeqSim::AddressProfile>& profile,
                    const std::vector<seq_sim::rt_info>& log) {
    std::ostringstream out;
    out << "message: " << message << "\ncounters";
    for (const uint64_t counter : counters)
        out << ' ' << counter;
    out << "\nregisters";
    for (const uint32_t r : registers)
        out << ' ' << r;
    out << "\nprofile";
    for (const auto& p : profile)
        out << ' ' << p.count << ':' << p.firstTick << ':' << p.firstRealtime << ':' << p.realtime;
    StringOutput entries;
    for (const auto& e : log)
        seq_csv_sink(entries).event(e, 0);
    return out.str() + "\nlog\n" + entries.text();
}

// A simulator that replaces processInstruction(): every instruction takes the virtual call.
template <class Base> struct StepCountingSim : Base {
    using Base::Base;
    bool processInstruction() override {
        ++steps;
        return Base::processInstruction();
    }
    uint64_t steps = 0;
};

// Mostly random operands of the set's definitions: registers mostly among four (at times any
// of the 6-bit field), immediates often near the program; some stops, illegal and random words.
std::vector<instruction_t> randomProgram(std::mt19937_64& random, const SeqInstructionSet& set,
                                         const std::vector<const SeqInstructionDef*>& defs) {
    std::vector<instruction_t> code(kWords);
    for (instruction_t& word : code) {
        const uint64_t kind = random() % 20;
        if (kind == 0) {
            word = random();
        } else if (kind == 1) {
            set.writeBaseFields(word, *set.find("stop", ""));
        } else if (kind > 2) {
            const SeqInstructionDef& def = *defs[random() % defs.size()];
            set.writeBaseFields(word, def);
            for (const auto& argument : def.arguments())
                argument->field()->setfast(word, argument->isRegister()
                                                     ? (random() % 8 == 0 ? random() : random() % 4)
                                                 : random() % 2 == 0 ? random()
                                                                     : random() % (kWords + 4));
        }
    }
    return code;
}

TEST(SeqSimReferenceTest, RandomProgramsRunAsTheDescriptionSays) {
    SeqProcessor processor(seq_instr_set(), kWords, kRegisters);
    const SeqInstructionSet& set = processor.instructionSet();
    std::vector<const SeqInstructionDef*> defs;
    for (const auto& variations : set)
        for (const auto& def : variations)
            defs.push_back(&def);

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
        for (SeqSim* sim : std::initializer_list<SeqSim*>{&generic, &realtime, &genericStepping,
                                                          &realtimeStepping}) {
            auto* rtSim = dynamic_cast<seq_sim*>(sim);
            Reference reference{.set = set, .code = code, .realtime = rtSim != nullptr};
            reference.run(budget);
            sim->setProfiling(n % 2 == 1);
            if (!sim->isProfiling())
                reference.profile.clear();
            UIStr message;
            const bool failed = sim->simulate(budget, message);
            EXPECT_EQ(failed, !message.empty());
            std::vector<uint32_t> registers;
            for (uint32_t r = 0; r < kRegisters; ++r)
                registers.push_back(processor.readRegister(r));
            ASSERT_EQ(outcome(message,
                              {sim->numInstructions(), sim->classicalTick(), sim->realtimeTick(),
                               sim->pc(), sim->isRunning()},
                              registers, sim->profile(),
                              rtSim ? rtSim->get_rt_log() : reference.log),
                      outcome(reference.message,
                              {reference.numInstr, reference.tick, reference.realtimeTick,
                               reference.pc, reference.running},
                              reference.reg, reference.profile, reference.log))
                << "program " << n << ", budget " << budget;
        }
    }
    // Every instruction of the replacing simulators went through processInstruction().
    EXPECT_GT(genericStepping.steps, 500u);
    EXPECT_GT(realtimeStepping.steps, genericStepping.steps);
}

} // namespace
