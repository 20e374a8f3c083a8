// The language server on a 4096-instruction document, measured in-process on the server's
// message handling: diagnostics after a one-character change (the change's handling: edit,
// assembly, analysis, publishing), hover, definition and completion, inlay hints with a
// 10^6-instruction budget after a change (the simulation on the worker included), and the
// resident memory before and after 10,000 edits.
#include "base/Logging.h"
#include "lsp/lsp_server.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

const char* const kUri = "file:///bench.s";

// 4096 instructions: ALU, real-time and jump lines with labels every 16 lines, references
// to them, symbols and comments; the last instruction jumps back to the start, so a
// simulation always runs to its budget.
std::string benchDocument() {
    std::string text = ".DEF COUNT 100\n.DEF GAIN -1\n";
    const char* const body[] = {
        "add     R1, 1, R2",  "move    $COUNT, R3",    "play    1, 2, 8", "sub     R2, R1, R4",
        "jlt     R3, 0, @L0", "set_awg_gain $GAIN, 5", "wait    4",       "xor     R4, 0x1F, R5"};
    for (int i = 0; i < 4095; ++i) {
        if (i % 16 == 0)
            text += "L" + std::to_string(i / 16) + ":\n";
        text += "        ";
        text += body[i % 8];
        if (i % 4 == 0)
            text += "    # step " + std::to_string(i);
        text += '\n';
    }
    text += "        jmp     @L0\n";
    return text;
}

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '\n')
            out += "\\n";
        else if (c == '"' || c == '\\')
            out += std::string("\\") + c;
        else
            out += c;
    }
    return out + "\"";
}

struct Fixture {
    size_t bytes = 0;
    int id = 0;
    int version = 1;
    lsp_server server{[this](const std::string& m) { bytes += m.size(); }};

    // Without hints no simulation follows a change, which leaves the diagnostics alone in
    // the measurement.
    explicit Fixture(bool hints = true) {
        server.handle(std::string(R"({"jsonrpc":"2.0","id":0,"method":"initialize","params":{)") +
                      R"("capabilities":{},"initializationOptions":{"inlayHints":)" +
                      (hints ? "true" : "false") + "}}}");
        server.handle(
            R"({"jsonrpc":"2.0","method":"textDocument/didOpen","params":{"textDocument":{"uri":")" +
            std::string(kUri) + R"(","version":1,"text":)" + quoted(benchDocument()) + "}}}");
    }
    // Types or deletes one character in the comment of line 3.
    void edit() {
        const bool insert = version % 2 == 1;
        ++version;
        server.handle(
            R"({"jsonrpc":"2.0","method":"textDocument/didChange","params":{"textDocument":{"uri":")" +
            std::string(kUri) + R"(","version":)" + std::to_string(version) +
            R"(},"contentChanges":[{"range":{"start":{"line":3,"character":30},"end":{"line":3,"character":)" +
            (insert ? "30" : "31") + R"(}},"text":")" + (insert ? "x" : "") + "\"}]}}");
    }
    void at(const char* method, int line, int character) {
        server.handle(R"({"jsonrpc":"2.0","id":)" + std::to_string(++id) + R"(,"method":")" +
                      method + R"(","params":{"textDocument":{"uri":")" + kUri +
                      R"("},"position":{"line":)" + std::to_string(line) + R"(,"character":)" +
                      std::to_string(character) + "}}}");
    }
};

void quiet() {
    Logging::setLogLevel(Logging::quietLevel);
}

void BM_DiagnosticsAfterOneCharacterChange(benchmark::State& state) {
    quiet();
    Fixture f(state.range(0) != 0);
    for (auto _ : state)
        f.edit();
}
// Argument: whether each change also starts a simulation on the worker thread.
BENCHMARK(BM_DiagnosticsAfterOneCharacterChange)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_Request(benchmark::State& state, const char* method, int line, int character) {
    quiet();
    Fixture f;
    for (auto _ : state)
        f.at(method, line, character);
}
// Line 3 is "        add     R1, 1, R2    # step 0"; line 7 "        jlt     R3, 0, @L0".
BENCHMARK_CAPTURE(BM_Request, hover_mnemonic, "textDocument/hover", 3, 9)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Request, definition, "textDocument/definition", 7, 28)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Request, completion_operand, "textDocument/completion", 3, 20)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Request, completion_label, "textDocument/completion", 7, 27)
    ->Unit(benchmark::kMicrosecond);

// A change, then the hints: the simulation of 10^6 instructions starts with the change.
void BM_InlayHintsAfterChange(benchmark::State& state) {
    quiet();
    Fixture f;
    const std::string request =
        R"({"jsonrpc":"2.0","id":1,"method":"textDocument/inlayHint","params":{"textDocument":{"uri":")" +
        std::string(kUri) + R"("}}})";
    for (auto _ : state) {
        f.edit();
        f.server.handle(request);
    }
}
BENCHMARK(BM_InlayHintsAfterChange)->Unit(benchmark::kMillisecond);

long residentKiB() {
    long pages = 0, resident = 0;
    FILE* file = std::fopen("/proc/self/statm", "r");
    if (file == nullptr)
        return 0;
    if (std::fscanf(file, "%ld %ld", &pages, &resident) != 2)
        resident = 0;
    std::fclose(file);
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

void BM_MemoryOver10000Edits(benchmark::State& state) {
    quiet();
    for (auto _ : state) {
        Fixture f;
        for (int i = 0; i < 100; ++i)
            f.edit();
        const long before = residentKiB();
        for (int i = 0; i < 10000; ++i)
            f.edit();
        const long after = residentKiB();
        state.counters["rss_before_KiB"] = static_cast<double>(before);
        state.counters["rss_after_KiB"] = static_cast<double>(after);
        state.counters["growth_percent"] =
            before > 0 ? 100.0 * static_cast<double>(after - before) / static_cast<double>(before)
                       : 0;
    }
}
BENCHMARK(BM_MemoryOver10000Edits)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
