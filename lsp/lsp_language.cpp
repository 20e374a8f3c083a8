#include "lsp/lsp_language.h"

#include "assembler/seq.h"
#include "assembler/seq_sim.h"
#include "sequencer/SeqAssembler.h"
#include "sequencer/SeqSim.h"
#include "sequencer/asmparser/AsmSyntax.h"
#include "sequencer/seqprocessor/SeqInstructionSet.h"
#include "sequencer/seqprocessor/SeqProcessor.h"

#include <algorithm>
#include <cstdio>

namespace {

// One run of the variant at address 0 with every immediate operand set to `immediate`
// (within its range) and every register operand to register 0, followed by a nop and a stop:
// how many classical ticks it took and whether it jumped, or false when it did not run.
struct Measure {
    bool ran = false;
    bool jumped = false;
    uint64_t ticks = 0;
    bool realtime = false;
};

Measure measure(seq& driver, const SeqInstructionSet& set, const SeqInstructionDef& def,
                SeqArgument::value_t immediate) {
    Measure result;
    instruction_t word = 0;
    set.writeBaseFields(word, def);
    for (const auto& arg : def.arguments()) {
        SeqArgument::value_t value = arg->isRegister() ? 0 : immediate;
        value = std::clamp(value, arg->minValue(), arg->maxValue());
        arg->setValue(word, value);
    }
    const auto* nop = set.find(std::string_view("nop")).get();
    const auto* stop = set.find(std::string_view("stop")).get();
    if (nop == nullptr || stop == nullptr || nop->empty() || stop->empty())
        return result;
    instruction_t nopWord = 0, stopWord = 0;
    set.writeBaseFields(nopWord, *nop->front());
    set.writeBaseFields(stopWord, *stop->front());
    UIStr message;
    if (!driver.loadImage({word, nopWord, stopWord}, message))
        return result;
    seq_sim& sim = *driver.rt_simulator();
    sim.setProfiling(true);
    sim.simulate(10, message);
    const auto& profile = sim.profile();
    if (profile.size() < 3 || profile[0].count == 0)
        return result;
    result.ran = true;
    result.realtime = sim.realtimeTick() > 0;
    if (profile[1].count > 0) {
        result.ticks = profile[1].firstTick - profile[0].firstTick;
    } else if (profile[2].count > 0) {
        result.ticks = profile[2].firstTick - profile[0].firstTick;
        result.jumped = true;
    } else {
        // It stopped the run, or jumped back to itself until the budget ended it.
        result.ticks = sim.classicalTick() / profile[0].count;
        result.jumped = profile[0].count > 1;
    }
    return result;
}

std::string ticksText(uint64_t ticks) {
    return std::to_string(ticks) + (ticks == 1 ? " classical tick" : " classical ticks");
}

} // namespace

std::string lsp_language::operand::describe() const {
    if (isRegister)
        return "register " + kind.substr(0, kind.size() - 1) + std::to_string(minValue) + ".." +
               kind.substr(0, kind.size() - 1) + std::to_string(maxValue);
    return "immediate " + std::to_string(minValue) + ".." + std::to_string(maxValue);
}

lsp_language::lsp_language() {
    seq driver;
    const SeqProcessor& processor = *driver.processor();
    const SeqInstructionSet& set = processor.instructionSet();
    m_numRegisters = processor.numRegisters();
    m_realtimeClockMHz = processor.realtimeClockFreq();
    for (const auto& variations : set) {
        family f;
        f.mnemonic = variations.mnemonic();
        for (const auto& def : variations) {
            variant v;
            v.signature = def.signature();
            v.opcode = def.opcode();
            v.select = def.select();
            for (const auto& arg : def.arguments()) {
                operand o;
                o.name = arg->name();
                o.isRegister = arg->isRegister();
                o.kind = arg->registerName() + "#";
                o.minValue = arg->minValue();
                o.maxValue = arg->maxValue();
                if (o.isRegister && !arg->registerName().empty())
                    m_registerName = arg->registerName()[0];
                v.operands.push_back(std::move(o));
            }
            // Immediates at 0 and at 2 (with the jump target 2, past the nop): a conditional
            // jump takes one way in one run and the other way in the other.
            for (const SeqArgument::value_t immediate : {2, 0}) {
                const Measure m = measure(driver, set, def, immediate);
                if (!m.ran)
                    continue;
                v.simulated = true;
                f.realtime = f.realtime || m.realtime;
                (m.jumped ? v.jumpTicks : v.ticks) = m.ticks;
            }
            f.variants.push_back(std::move(v));
        }
        m_families.push_back(std::move(f));
    }
    std::sort(m_families.begin(), m_families.end(),
              [](const family& a, const family& b) { return a.mnemonic < b.mnemonic; });
    const AsmSyntax syntax;
    for (const auto& directive : syntax.symbolDirectives)
        if (!directive.empty())
            m_directives.push_back(directive);
    // The sections the driver switches between, and the two lines it drops.
    m_directives.push_back(driver.assembler()->asmSectionGetDirective());
    m_directives.push_back(driver.simulator()->asmSectionGetDirective());
    m_directives.push_back(".CPU");
    m_directives.push_back(".END");
}

const lsp_language::family* lsp_language::find(std::string_view mnemonic) const {
    const auto found =
        std::lower_bound(m_families.begin(), m_families.end(), mnemonic,
                         [](const family& f, std::string_view name) { return f.mnemonic < name; });
    return found != m_families.end() && found->mnemonic == mnemonic ? &*found : nullptr;
}

std::string lsp_language::hover(const family& f) const {
    std::string text = "**" + f.mnemonic + "**";
    if (!f.variants.empty())
        text += ": opcode " + std::to_string(f.variants.front().opcode);
    if (f.realtime) {
        char clock[64];
        std::snprintf(clock, sizeof clock, "%g MHz", m_realtimeClockMHz);
        text += "\n\nReal time: its duration operand, in cycles of the " + std::string(clock) +
                " real-time clock.";
    }
    for (const variant& v : f.variants) {
        text += "\n\n`" + f.mnemonic + (v.signature.empty() ? "" : " " + v.signature) +
                "`: select " + std::to_string(v.select) + "; ";
        if (!v.simulated)
            text += "not executed by the simulator";
        else if (v.ticks != 0 && v.jumpTicks != 0)
            text += ticksText(v.ticks) + ", " + std::to_string(v.jumpTicks) + " when it jumps";
        else if (v.jumpTicks != 0)
            text += ticksText(v.jumpTicks) + " (it jumps)";
        else
            text += ticksText(v.ticks);
        for (const operand& o : v.operands)
            text += "\n- `" + o.name + "`: " + o.describe();
    }
    return text;
}

std::string lsp_language::snippet(const std::string& mnemonic, const variant& v) {
    std::string text = mnemonic;
    for (size_t i = 0; i < v.operands.size(); ++i)
        text += (i == 0 ? " ${" : ", ${") + std::to_string(i + 1) + ":" + v.operands[i].name + "}";
    return text;
}
