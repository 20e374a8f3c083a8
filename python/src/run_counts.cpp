#include "run_counts.h"

#include "bindings.h"
#include "text.h"

namespace vexa_py {

void init_run_counts(py::module_& m) {
    py::class_<RunCounts>(m, "RunCounts")
        .def_readonly("completed", &RunCounts::completed)
        .def_property_readonly("message", [](const RunCounts& c) { return text(c.message); })
        .def_readonly("instructions", &RunCounts::instructions)
        .def_readonly("classical_cycles", &RunCounts::classicalCycles)
        .def_readonly("realtime_cycles", &RunCounts::realtimeCycles);
}

} // namespace vexa_py
