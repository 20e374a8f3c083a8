#include "diagnostics.h"

#include "text.h"

#include "sequencer/asmparser/AsmErrorList.h"
#include "sequencer/asmparser/AsmException.h"

namespace vexa_py {

std::vector<DiagnosticData> diagnosticsOf(const AsmErrorList& errors, const std::string& name) {
    std::vector<DiagnosticData> result;
    for (const auto& error : errors) {
        const auto* sourceError = dynamic_cast<const AsmSourceError*>(error.get());
        if (sourceError == nullptr) {
            result.push_back({name, {}, {}, 0, error->what(), {}});
            continue;
        }
        const size_t before = result.size();
        for (const SourceErrorRef& ref : sourceError->errorInfos()) {
            if (!ref.hasSource())
                continue;
            const SourceLine& line = *ref.sourceLine();
            DiagnosticData d;
            if (line.sourceName())
                d.filename = *line.sourceName();
            d.line = line.lineNr();
            if (ref.errorStart() != SourceErrorRef::npos) {
                d.column = ref.errorStart();
                d.length = ref.errorLength();
            }
            d.message = sourceError->streamedMessage();
            d.source = line.toString();
            result.push_back(std::move(d));
        }
        if (result.size() == before)
            result.push_back({name, {}, {}, 0, sourceError->streamedMessage(), {}});
    }
    return result;
}

void raiseAssemblyError(const std::string& report, const std::vector<DiagnosticData>& diagnostics) {
    using namespace py::literals;
    // The exception and its records are the package's Python classes, looked up when needed:
    // the package imports this module before it defines them.
    const py::module_ package = py::module_::import("vexa");
    const py::object diagnostic = package.attr("Diagnostic");
    py::list list;
    for (const DiagnosticData& d : diagnostics) {
        list.append(diagnostic("filename"_a = optionalText(d.filename),
                               "line"_a = d.line ? py::object(py::int_(*d.line)) : py::none(),
                               "column"_a = d.column ? py::object(py::int_(*d.column)) : py::none(),
                               "length"_a = d.length, "message"_a = text(d.message),
                               "source"_a = optionalText(d.source)));
    }
    const py::object error = package.attr("AssemblyError")(text(report), list);
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error.ptr())), error.ptr());
    throw py::error_already_set();
}

} // namespace vexa_py
