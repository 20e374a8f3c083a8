#include "signal_setup.h"

#include "bindings.h"
#include "text.h"

#include <climits>
#include <exception>
#include <string>
#include <utility>

namespace vexa_py {

namespace {

std::string typeName(const py::handle& value) {
    return py::str(py::type::handle_of(value).attr("__name__"));
}

// `value` as an array of numbers of any shape; TypeError naming `what` otherwise.
py::array numbersOf(const py::handle& value, const std::string& what) {
    py::array array = py::array::ensure(value);
    if (!array)
        raise(PyExc_TypeError,
              what + ": samples must be an array of numbers, not " + typeName(value));
    const char kind = array.dtype().kind();
    if (kind != 'f' && kind != 'i' && kind != 'u')
        raise(PyExc_TypeError,
              what + ": samples must be numbers, not " + std::string(py::str(array.dtype())));
    return array;
}

std::string shapeOf(const py::array& array) {
    return py::str(array.attr("shape"));
}

// Calls `use` with the samples of a C-contiguous array as a span of float or double: float32
// arrays are taken as they are, anything else as float64.
template <class F> void withSamples(const py::array& array, F use) {
    if (array.dtype().is(py::dtype::of<float>())) {
        const auto samples = py::array_t<float, py::array::c_style | py::array::forcecast>(array);
        use(std::span<const float>(samples.data(), static_cast<size_t>(samples.size())));
    } else {
        const auto samples = py::array_t<double, py::array::c_style | py::array::forcecast>(array);
        use(std::span<const double>(samples.data(), static_cast<size_t>(samples.size())));
    }
}

// An integer that Python gives; values beyond int64 are clamped, so that the range checks
// that follow name them.
int64_t integerOf(const py::handle& value, const std::string& what) {
    if (PyBool_Check(value.ptr()) || !PyIndex_Check(value.ptr()))
        raise(PyExc_TypeError, what + " must be an integer, not " + typeName(value));
    const py::object index = py::reinterpret_steal<py::object>(PyNumber_Index(value.ptr()));
    if (!index)
        throw py::error_already_set();
    int overflow = 0;
    const long long result = PyLong_AsLongLongAndOverflow(index.ptr(), &overflow);
    if (overflow != 0)
        return overflow > 0 ? LLONG_MAX : LLONG_MIN;
    return result;
}

// Fills entries of a table from a dict {index: samples} or a sequence of sample arrays, None
// standing for an absent entry. `set(index, samples)` sets one entry.
template <class Set>
void fillTable(const py::handle& table, const char* tableName, const char* entryName, Set set) {
    auto setEntry = [&](int64_t index, const py::handle& value) {
        if (value.is_none())
            return;
        const std::string what = std::string(entryName) + " " + std::to_string(index);
        const py::array array = numbersOf(value, what);
        if (array.ndim() != 1)
            raise(PyExc_ValueError,
                  what + ": samples must be a 1-D array, not of shape " + shapeOf(array));
        withSamples(array, [&](auto samples) { set(index, samples); });
    };
    if (table.is_none())
        return;
    if (py::isinstance<py::dict>(table)) {
        for (const auto& [key, value] : py::reinterpret_borrow<py::dict>(table)) {
            if (PyBool_Check(key.ptr()) || !PyIndex_Check(key.ptr()))
                raise(PyExc_TypeError, std::string(tableName) + ": index " +
                                           std::string(py::repr(key)) + " is not an integer");
            setEntry(integerOf(key, tableName), value);
        }
        return;
    }
    if (py::isinstance<py::array>(table) || py::isinstance<py::str>(table) ||
        py::isinstance<py::bytes>(table) || !PySequence_Check(table.ptr()))
        raise(PyExc_TypeError, std::string(tableName) +
                                   " must be a dict {index: samples} or a sequence of sample "
                                   "arrays, not " +
                                   typeName(table));
    const auto entries = py::reinterpret_borrow<py::sequence>(table);
    for (size_t i = 0; i < entries.size(); ++i)
        setEntry(static_cast<int64_t>(i), entries[i]);
}

void setInput(seq_signal_settings& settings, const py::handle& value) {
    if (py::isinstance<py::str>(value)) {
        settings.input = seq_signal_settings::parse_input(value.cast<std::string>());
        return;
    }
    const py::array array = numbersOf(value, "input");
    if (array.ndim() == 1) {
        withSamples(array, [&](auto both) { settings.set_input_samples(both); });
        return;
    }
    if (array.ndim() != 2 || array.shape(0) != 2)
        raise(PyExc_ValueError,
              "input: samples must be 1-D or of shape (2, N), not of shape " + shapeOf(array));
    withSamples(array, [&](auto rows) {
        const size_t n = rows.size() / 2;
        settings.set_input_samples(rows.first(n), rows.subspan(n));
    });
}

seq_signal_settings settingsOf(const py::dict& values) {
    seq_signal_settings settings;
    int64_t* integers[] = {&settings.integration_ns, &settings.loopback_delay_ns,
                           &settings.queue_depth, &settings.start_delay_ns, &settings.classical_ns};
    const char* integerNames[] = {"integration_ns", "loopback_delay_ns", "queue_depth",
                                  "start_delay_ns", "classical_ns"};
    for (const auto& [key, value] : values) {
        const std::string name = py::str(key);
        if (name == "input") {
            setInput(settings, value);
            continue;
        }
        if (name == "nco_hz") {
            if (PyBool_Check(value.ptr()) || !PyNumber_Check(value.ptr()) ||
                py::isinstance<py::str>(value))
                raise(PyExc_TypeError, "nco_hz must be a number, not " + typeName(value));
            settings.nco_hz = py::float_(py::reinterpret_borrow<py::object>(value));
            continue;
        }
        bool known = false;
        for (size_t i = 0; i < std::size(integerNames) && !known; ++i)
            if (name == integerNames[i]) {
                *integers[i] = integerOf(value, name);
                known = true;
            }
        if (!known)
            raise(PyExc_TypeError, "unknown signal setting " + std::string(py::repr(key)));
    }
    settings.validate();
    return settings;
}

py::array_t<float> copyOf(const std::vector<float>& samples) {
    return py::array_t<float>(static_cast<py::ssize_t>(samples.size()), samples.data());
}

} // namespace

std::shared_ptr<const SignalSetup> SignalSetup::make(const py::handle& waveforms,
                                                     const py::handle& weights,
                                                     const py::dict& settings) {
    auto setup = std::make_shared<SignalSetup>();
    auto tables = std::make_shared<seq_signal_tables>();
    fillTable(waveforms, "waveforms", "waveform",
              [&](int64_t index, auto samples) { tables->set_waveform(index, samples); });
    fillTable(weights, "weights", "weight",
              [&](int64_t index, auto samples) { tables->set_weight(index, samples); });
    setup->tables = std::move(tables);
    setup->settings = settingsOf(settings);
    return setup;
}

py::tuple SignalSetup::state() const {
    py::dict waveforms, weights, values;
    for (int64_t i = 0; i < seq_signal_tables::s_waveformCount; ++i)
        if (const std::vector<float>* samples = tables->waveform(i))
            waveforms[py::int_(i)] = copyOf(*samples);
    for (int64_t i = 0; i < seq_signal_tables::s_weightCount; ++i)
        if (const std::vector<float>* samples = tables->weight(i))
            weights[py::int_(i)] = copyOf(*samples);
    values["integration_ns"] = settings.integration_ns;
    values["loopback_delay_ns"] = settings.loopback_delay_ns;
    values["queue_depth"] = settings.queue_depth;
    values["start_delay_ns"] = settings.start_delay_ns;
    values["classical_ns"] = settings.classical_ns;
    values["nco_hz"] = settings.nco_hz;
    if (settings.input != seq_signal_input::samples) {
        values["input"] = seq_signal_settings::input_name(settings.input);
    } else if (settings.input_samples[0] == settings.input_samples[1]) {
        values["input"] = copyOf(*settings.input_samples[0]);
    } else {
        py::list rows;
        rows.append(copyOf(*settings.input_samples[0]));
        rows.append(copyOf(*settings.input_samples[1]));
        values["input"] = rows;
    }
    return py::make_tuple(waveforms, weights, values);
}

void init_signal_setup(py::module_& m) {
    // The signal layer's refusals (a setting, a window, an entry) name what is wrong.
    py::register_exception_translator([](std::exception_ptr raised) {
        try {
            if (raised)
                std::rethrow_exception(raised);
        } catch (const seq_signal_error& error) {
            PyErr_SetString(PyExc_ValueError, error.what());
        }
    });
    py::class_<SignalSetup, std::shared_ptr<SignalSetup>>(m, "SignalSetup")
        .def(py::init(
            [](const py::object& waveforms, const py::object& weights, const py::dict& settings) {
                return std::const_pointer_cast<SignalSetup>(
                    SignalSetup::make(waveforms, weights, settings));
            }))
        .def("state", &SignalSetup::state)
        .def("__reduce__", [](const py::object& self) {
            return py::make_tuple(self.attr("__class__"), self.cast<const SignalSetup&>().state());
        });
}

} // namespace vexa_py
