#ifndef LSP_LSP_LANGUAGE_H
#define LSP_LSP_LANGUAGE_H

// What the language server tells about the instruction set: every mnemonic with its variants
// (signature in the assembler's notation, opcode, select bit, operands with kind and range)
// and the cost of each variant as the simulator counts it, measured once by running the
// variant in a small program. Built from the driver's processor, never from a list of its own.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class lsp_language {
public:
    struct operand {
        std::string name;
        std::string kind; // "R#" for a register, "#" for an immediate
        bool isRegister = false;
        int64_t minValue = 0;
        int64_t maxValue = 0;
        // "register R0..R63" or "immediate 0..1023".
        std::string describe() const;
    };
    struct variant {
        std::string signature;
        uint64_t opcode = 0;
        uint64_t select = 0;
        std::vector<operand> operands;
        bool simulated = false; // the simulator executes it
        // Classical ticks of a run that goes on with the next instruction and of one that
        // jumps; 0 where no run did.
        uint64_t ticks = 0;
        uint64_t jumpTicks = 0;
    };
    struct family {
        std::string mnemonic;
        std::vector<variant> variants;
        bool realtime = false; // its runs advance the real-time counter
    };

    lsp_language();

    const std::vector<family>& families() const { return m_families; }
    const family* find(std::string_view mnemonic) const;
    unsigned numRegisters() const { return m_numRegisters; }
    char registerName() const { return m_registerName; }
    double realtimeClockMHz() const { return m_realtimeClockMHz; }
    // The directives a line may start with: the symbol directive and the section directives.
    const std::vector<std::string>& directives() const { return m_directives; }

    // Markdown: the variants of the mnemonic with their operands and timing.
    std::string hover(const family& f) const;
    // "add ${1:alu_lft_reg}, ${2:alu_rgt_imm}, ${3:alu_dst_reg}"
    static std::string snippet(const std::string& mnemonic, const variant& v);

private:
    std::vector<family> m_families;
    std::vector<std::string> m_directives;
    unsigned m_numRegisters = 0;
    char m_registerName = 'R';
    double m_realtimeClockMHz = 0;
};

#endif
