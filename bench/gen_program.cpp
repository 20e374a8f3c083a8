// Writes the benchmark sources:
//   vexa_bench_gen vexa FILE             a 4096-instruction Vexa program that uses every
//                                        instruction variant, labels, address references,
//                                        symbols and comments (one line in five is a comment
//                                        or label-only line)
//   vexa_bench_gen x86 FILE LINES        an x86-64 source for GNU as of LINES lines and a
//                                        similar shape (labels, jumps, immediates, comments)
// The output is the same on every run, so timings can be compared across builds.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A small fixed-seed generator: the sources must not change between runs.
struct Lcg {
    uint64_t state = 0x2545F4914F6CDD1DULL;
    uint32_t next() {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<uint32_t>(state >> 33);
    }
    uint32_t below(uint32_t n) { return next() % n; }
};

// Operand kinds: R register, A address reference, C count (4..65535), G signed 16 bits,
// I32 32-bit immediate, and immediates up to 15, 63, 511, 1023, 8191 and 2^24 - 1.
enum Kind { R, A, C, G, I32, I15, I63, I511, I1023, I8191, I24 };

struct Variant {
    const char* mnemonic;
    std::vector<Kind> operands;
};

const std::vector<Variant>& variants() {
    static const std::vector<Variant> table = {
        {"illegal", {}},
        {"stop", {}},
        {"nop", {}},
        {"jmp", {A}},
        {"jmp", {R}},
        {"jge", {R, I32, A}},
        {"jge", {R, I32, R}},
        {"jlt", {R, I32, A}},
        {"jlt", {R, I32, R}},
        {"loop", {R, A}},
        {"loop", {R, R}},
        {"move", {I32, R}},
        {"move", {R, R}},
        {"not", {I32, R}},
        {"not", {R, R}},
        {"add", {R, I32, R}},
        {"add", {R, R, R}},
        {"sub", {R, I32, R}},
        {"sub", {R, R, R}},
        {"and", {R, I32, R}},
        {"and", {R, R, R}},
        {"or", {R, I32, R}},
        {"or", {R, R, R}},
        {"xor", {R, I32, R}},
        {"xor", {R, R, R}},
        {"asl", {R, I32, R}},
        {"asl", {R, R, R}},
        {"asr", {R, I32, R}},
        {"asr", {R, R, R}},
        {"sw_req", {I32}},
        {"sw_req", {R}},
        {"set_mrk", {I15}},
        {"set_mrk", {R}},
        {"reset_ph", {}},
        {"set_ph", {I511, I511, I8191}},
        {"set_ph", {R, R, R}},
        {"set_ph_delta", {I511, I511, I8191}},
        {"set_ph_delta", {R, R, R}},
        {"set_awg_gain", {G, G}},
        {"set_awg_gain", {R, R}},
        {"set_awg_offs", {G, G}},
        {"set_awg_offs", {R, R}},
        {"upd_param", {C}},
        {"play", {I1023, I1023, C}},
        {"play", {R, R, C}},
        {"acquire_weighed", {I63, I24, I63, I63, C}},
        {"acquire_weighed", {I63, R, R, R, C}},
        {"acquire", {I63, I24, C}},
        {"acquire", {I63, R, C}},
        {"wait", {C}},
        {"wait", {R}},
        {"wait_trigger", {C}},
        {"wait_trigger", {R}},
        {"wait_sync", {C}},
        {"wait_sync", {R}},
    };
    return table;
}

const char* const comments[] = {
    "set up the next pulse",  "counter for the sweep", "half scale on both paths",
    "acquire the response",   "wait for the trigger",  "step the phase",
    "loop back to the start", "marker for the scope",
};

std::string operand(Kind kind, Lcg& rng, int numLabels) {
    char text[32];
    switch (kind) {
    case R:
        if (rng.below(8) == 0)
            return "$IDX";
        std::snprintf(text, sizeof text, "R%u", rng.below(64));
        break;
    case A:
        if (rng.below(16) == 0)
            return "$END";
        std::snprintf(text, sizeof text, "@L%u", rng.below(static_cast<uint32_t>(numLabels)));
        break;
    case C:
        if (rng.below(8) == 0)
            return "$DURATION";
        std::snprintf(text, sizeof text, "%u", 4 + rng.below(65532));
        break;
    case G:
        std::snprintf(text, sizeof text, "%d", static_cast<int>(rng.below(65536)) - 32768);
        break;
    case I32:
        // Decimal, hexadecimal and octal forms.
        switch (rng.below(4)) {
        case 0:
            std::snprintf(text, sizeof text, "0x%X", rng.next());
            break;
        case 1:
            std::snprintf(text, sizeof text, "0%o", rng.below(4096));
            break;
        default:
            std::snprintf(text, sizeof text, "%u", rng.below(100000));
            break;
        }
        break;
    case I15:
        std::snprintf(text, sizeof text, "%u", rng.below(16));
        break;
    case I63:
        std::snprintf(text, sizeof text, "%u", rng.below(64));
        break;
    case I511:
        std::snprintf(text, sizeof text, "%u", rng.below(512));
        break;
    case I1023:
        std::snprintf(text, sizeof text, "%u", rng.below(1024));
        break;
    case I8191:
        std::snprintf(text, sizeof text, "%u", rng.below(8192));
        break;
    case I24:
        std::snprintf(text, sizeof text, "%u", rng.below(1u << 24));
        break;
    }
    return text;
}

std::string padded(std::string text, std::size_t width) {
    if (text.size() < width)
        text.append(width - text.size(), ' ');
    else
        text += ' ';
    return text;
}

// 4096 instructions; after every fourth instruction line a comment or label-only line.
void writeVexa(FILE* out) {
    constexpr int numInstructions = 4096;
    constexpr int numLabels = numInstructions / 8; // every eighth instruction is labelled
    const auto& table = variants();
    Lcg rng;

    std::fputs("# Benchmark program: every instruction variant, labels, references,\n"
               "# symbols and comments.\n",
               out);
    std::fputs(".DEF DURATION   200\n"
               ".DEF IDX        R2                          # a register symbol\n"
               ".DEF END        @L0\n",
               out);
    int label = 0;
    for (int i = 0; i < numInstructions; ++i) {
        const bool labelled = i % 8 == 0;
        const bool labelOnly = labelled && (i / 8) % 2 == 1;
        // Before every fourth instruction one line without an instruction: the label of
        // the next instruction alone on its line, or a comment.
        if (labelOnly)
            std::fprintf(out, "L%d:\n", label++);
        else if (i > 0 && i % 4 == 0)
            std::fprintf(out, "# %s\n", comments[rng.below(8)]);
        std::string line;
        if (labelled && !labelOnly)
            line = padded("L" + std::to_string(label++) + ":", 8);
        else
            line = "        ";
        // Walk the table with a stride coprime to its size, so neighbours differ.
        const Variant& v = table[(static_cast<std::size_t>(i) * 7) % table.size()];
        line += v.operands.empty() ? std::string(v.mnemonic) : padded(v.mnemonic, 16);
        for (std::size_t k = 0; k < v.operands.size(); ++k) {
            if (k > 0)
                line += ", ";
            line += operand(v.operands[k], rng, numLabels);
        }
        if (i % 3 == 0) {
            line = padded(line, 44);
            line += "# ";
            line += comments[rng.below(8)];
        }
        std::fprintf(out, "%s\n", line.c_str());
    }
}

// `lines` lines of x86-64: instructions with immediates and registers, jumps to labels,
// label-only lines and comments in the same proportions as the Vexa program.
void writeX86(FILE* out, long lines) {
    static const char* const regs[] = {"eax", "ebx", "ecx", "edx", "esi", "edi", "r8d", "r9d"};
    static const char* const alu[] = {"addl", "subl", "andl", "orl", "xorl", "movl", "cmpl"};
    static const char* const jumps[] = {"jmp", "jge", "jl", "jne"};
    Lcg rng;
    std::fputs("\t.text\n", out);
    long written = 1;
    long label = 0;
    for (long i = 0; written < lines - 5; ++i, ++written) {
        std::string line;
        if (i % 5 == 4) {
            if ((i / 5) % 2 == 0)
                std::fprintf(out, ".L%ld:\n", label++);
            else
                std::fprintf(out, "# %s\n", comments[rng.below(8)]);
            continue;
        }
        char text[96];
        switch (rng.below(4)) {
        case 0: {
            // Jumps go to labels already written or up to a few ahead.
            const long target = static_cast<long>(rng.below(static_cast<uint32_t>(label + 4)));
            std::snprintf(text, sizeof text, "\t%-8s.L%ld", jumps[rng.below(4)], target);
            break;
        }
        case 1:
            std::snprintf(text, sizeof text, "\t%-8s%%%s, %%%s", alu[rng.below(7)],
                          regs[rng.below(8)], regs[rng.below(8)]);
            break;
        default:
            std::snprintf(text, sizeof text, "\t%-8s$%u, %%%s", alu[rng.below(7)],
                          rng.below(100000), regs[rng.below(8)]);
            break;
        }
        line = text;
        if (i % 3 == 0) {
            line = padded(line, 36);
            line += "# ";
            line += comments[rng.below(8)];
        }
        std::fprintf(out, "%s\n", line.c_str());
    }
    // Labels the jumps may refer to beyond the last one written.
    for (long k = label; k < label + 4; ++k)
        std::fprintf(out, ".L%ld:\n", k);
    std::fputs("\tret\n", out);
}

} // namespace

int main(int argc, char* argv[]) {
    const bool vexa = argc == 3 && std::strcmp(argv[1], "vexa") == 0;
    const bool x86 = argc == 4 && std::strcmp(argv[1], "x86") == 0;
    if (!vexa && !x86) {
        std::fprintf(stderr, "usage: %s vexa FILE | x86 FILE LINES\n", argv[0]);
        return 2;
    }
    FILE* out = std::fopen(argv[2], "w");
    if (out == nullptr) {
        std::perror(argv[2]);
        return 1;
    }
    if (vexa)
        writeVexa(out);
    else
        writeX86(out, std::atol(argv[3]));
    return std::fclose(out) == 0 ? 0 : 1;
}
