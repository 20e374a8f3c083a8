// The native part of the vexa Python package: programs held in their own driver, assembled,
// disassembled and simulated by the library, with the results handed to Python as numpy
// arrays and objects with named attributes. The package's Python layer (vexa/__init__.py)
// gives them their public classes.
//
// Long calls release the interpreter lock; see program.h for how programs share threads.

#include "bindings.h"

#include "base/Logging.h"

#include <string>

PYBIND11_MODULE(_vexa, m) {
    namespace py = vexa_py::py;
    m.doc() = "Native part of the vexa package; use the vexa module.";
    m.attr("__version__") = VEXA_VERSION;

    // Library code logs through the process-wide logger; a Python program sees failures as
    // exceptions, so only errors are logged by default.
    Logging::open("vexa", 3, nullptr);
    m.def("set_log_level", [](const py::object& name) {
        if (!Logging::setLogLevel(name.cast<std::string>()))
            throw py::value_error("unknown log level: " + std::string(py::repr(name)));
    });
    m.def("log_level", [] { return std::string(Logging::getLogLevelName()); });

    vexa_py::init_programs(m);
    vexa_py::init_run_counts(m);
    vexa_py::init_signal_setup(m);
    vexa_py::init_runs(m);
    vexa_py::init_signals(m);
    vexa_py::init_run_state(m);
    vexa_py::init_streams(m);
    vexa_py::init_lanes(m);
    vexa_py::init_report(m);
}
