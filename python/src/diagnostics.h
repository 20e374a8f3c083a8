// The errors of a failed assembly as the package's AssemblyError: the report as vexasm logs
// it, and a Diagnostic per block of the report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class AsmErrorList;

namespace vexa_py {

// One block of an error report: where, what, and the line it quotes.
struct DiagnosticData {
    std::optional<std::string> filename;
    std::optional<int64_t> line;
    std::optional<size_t> column;
    size_t length = 0;
    std::string message;
    std::optional<std::string> source;
};

// A block per quoted source line, in report order; an error without a usable source line is
// one block without a position, named `name`. Needs no interpreter lock.
std::vector<DiagnosticData> diagnosticsOf(const AsmErrorList& errors, const std::string& name);

// Raises vexa.AssemblyError(report, [vexa.Diagnostic, ...]); with the interpreter lock held.
[[noreturn]] void raiseAssemblyError(const std::string& report,
                                     const std::vector<DiagnosticData>& diagnostics);

} // namespace vexa_py
