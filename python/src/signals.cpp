#include "signals.h"

#include "bindings.h"
#include "run.h"
#include "text.h"

#include "signals/seq_acquisitions.h"
#include "signals/seq_signal_renderer.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <numeric>
#include <string>
#include <unordered_map>

namespace vexa_py {

namespace {

// A structured dtype of named fields at the given offsets.
py::dtype recordDtype(std::initializer_list<std::pair<const char*, std::string>> fields,
                      std::initializer_list<size_t> offsets, size_t itemsize) {
    py::list names, formats, places;
    for (const auto& [name, format] : fields) {
        names.append(name);
        formats.append(format);
    }
    for (const size_t offset : offsets)
        places.append(offset);
    py::dict description;
    description["names"] = names;
    description["formats"] = formats;
    description["offsets"] = places;
    description["itemsize"] = itemsize;
    return py::dtype::from_args(description);
}

struct BinRecord {
    int64_t bin, count;
    double path0, path1;
};

// The numbers of a finding record; kind, message and source follow as UCS-4 text.
struct FindingFixed {
    uint64_t time_ns;
    int64_t line;
    uint32_t address;
};
constexpr size_t kFindingText = sizeof(uint64_t) * 2 + sizeof(uint32_t);

// Library text (ASCII) into a UCS-4 field of `width` characters.
void putAscii(char* field, std::string_view text, size_t width) {
    for (size_t i = 0; i < std::min(width, text.size()); ++i) {
        const char32_t c = static_cast<unsigned char>(text[i]);
        std::memcpy(field + i * sizeof c, &c, sizeof c);
    }
}

int64_t nonNegative(int64_t value, const char* what) {
    if (value < 0)
        throw seq_signal_error(std::string("window: ") + what + " " + std::to_string(value) +
                               " is negative");
    return value;
}

// Samples of [start, stop) of the run's output, from its stored events: time_ns, path0,
// path1, markers.
py::tuple render(const Run& run, int64_t start, int64_t stop) {
    const auto from = static_cast<uint64_t>(nonNegative(start, "start"));
    const auto to = static_cast<uint64_t>(nonNegative(stop, "stop"));
    seq_signal_renderer::check_window(from, to);
    if (!run.keptEvents())
        raise(PyExc_ValueError, "the run kept no events: simulate with events=True to render it");
    const auto n = static_cast<py::ssize_t>(to - from);
    py::array_t<int64_t> time(n);
    py::array_t<float> path0(n), path1(n);
    py::array_t<uint8_t> markers(n);
    int64_t* times = time.mutable_data();
    float* samples0 = path0.mutable_data();
    float* samples1 = path1.mutable_data();
    uint8_t* lines = markers.mutable_data();
    {
        const py::gil_scoped_release release;
        std::iota(times, times + n, start);
        const SignalSetup& setup = *run.signals().setup;
        seq_signal_renderer renderer(setup.tables, setup.settings, from, to, samples0, samples1,
                                     lines);
        run.visitEntries([&renderer](const seq_sim::rt_info& entry, uint32_t) {
            if (renderer.done())
                return false;
            renderer.event(entry);
            return true;
        });
        renderer.finish();
    }
    return py::make_tuple(time, path0, path1, markers);
}

struct WindowRecord {
    uint64_t time_ns, length0, length1;
    int32_t acq_idx, bin_idx;
};

// The input window of every acquisition of the run: where it starts and, per path, how long
// it is.
py::array acquisitionWindows(const Run& run) {
    std::vector<WindowRecord> windows;
    {
        const py::gil_scoped_release release;
        const SignalSetup& setup = *run.signals().setup;
        const seq_acquirer acquirer(setup.tables, setup.settings);
        run.forEachEntry([&](const seq_sim::rt_info& e, uint32_t) {
            if (e.acquire_valid)
                windows.push_back({e.time_ns, acquirer.window_length(e, 0),
                                   acquirer.window_length(e, 1), e.acq_idx, e.bin_idx});
        });
    }
    const py::dtype dtype =
        recordDtype({{"time_ns", "<u8"},
                     {"length0", "<u8"},
                     {"length1", "<u8"},
                     {"acq_idx", "<i4"},
                     {"bin_idx", "<i4"}},
                    {offsetof(WindowRecord, time_ns), offsetof(WindowRecord, length0),
                     offsetof(WindowRecord, length1), offsetof(WindowRecord, acq_idx),
                     offsetof(WindowRecord, bin_idx)},
                    sizeof(WindowRecord));
    py::array result(dtype, std::vector<py::ssize_t>{static_cast<py::ssize_t>(windows.size())});
    if (!windows.empty())
        std::memcpy(result.mutable_data(), windows.data(), windows.size() * sizeof(WindowRecord));
    return result;
}

} // namespace

void SignalResults::take(const seq_signal_sink& sink, Program& program) {
    acquisitions = sink.acquisitions();
    sorted = findings.sorted();
    if (sorted.empty())
        return;
    try {
        lines = program.listing().lines();
    } catch (const std::exception&) {
        lines.clear(); // the source is gone: the findings keep their addresses alone
    }
}

py::dict acquisitionsDict(const std::vector<seq_acquisition>& acquisitions) {
    const py::dtype dtype =
        recordDtype({{"bin", "<i8"}, {"count", "<i8"}, {"path0", "<f8"}, {"path1", "<f8"}},
                    {offsetof(BinRecord, bin), offsetof(BinRecord, count),
                     offsetof(BinRecord, path0), offsetof(BinRecord, path1)},
                    sizeof(BinRecord));
    py::dict result;
    for (const seq_acquisition& acquisition : acquisitions) {
        const auto size = static_cast<py::ssize_t>(acquisition.bins.size());
        py::array bins(dtype, std::vector<py::ssize_t>{size});
        auto* records = static_cast<BinRecord*>(bins.mutable_data());
        for (const seq_acquisition_bin& bin : acquisition.bins)
            *records++ = {bin.bin_idx, static_cast<int64_t>(bin.count), bin.path0, bin.path1};
        result[py::int_(acquisition.acq_idx)] = bins;
    }
    return result;
}

py::array findingsArray(const SignalResults& results) {
    // The line of each address, and each line's text as Python decodes it, once per line.
    std::unordered_map<uint32_t, size_t> lineOf;
    for (size_t i = 0; i < results.lines.size(); ++i)
        if (results.lines[i].address != seq_listing::s_noAddress)
            lineOf.emplace(static_cast<uint32_t>(results.lines[i].address), i);
    std::unordered_map<size_t, py::str> sources;
    size_t kindWidth = 1, messageWidth = 1, sourceWidth = 1;
    for (const seq_finding& finding : results.sorted) {
        kindWidth = std::max(kindWidth, std::strlen(seq_finding_kind_name(finding.kind)));
        messageWidth = std::max(messageWidth, finding.message.size());
        const auto line = lineOf.find(finding.address);
        if (line != lineOf.end() && !sources.contains(line->second)) {
            py::str source = text(results.lines[line->second].text);
            sourceWidth =
                std::max(sourceWidth, static_cast<size_t>(PyUnicode_GetLength(source.ptr())));
            sources.emplace(line->second, std::move(source));
        }
    }
    const size_t kindAt = kFindingText;
    const size_t messageAt = kindAt + kindWidth * 4;
    const size_t sourceAt = messageAt + messageWidth * 4;
    const size_t itemsize = (sourceAt + sourceWidth * 4 + 7) / 8 * 8;
    const py::dtype dtype =
        recordDtype({{"time_ns", "<u8"},
                     {"address", "<u4"},
                     {"line", "<i8"},
                     {"kind", "<U" + std::to_string(kindWidth)},
                     {"message", "<U" + std::to_string(messageWidth)},
                     {"source", "<U" + std::to_string(sourceWidth)}},
                    {offsetof(FindingFixed, time_ns), offsetof(FindingFixed, address),
                     offsetof(FindingFixed, line), kindAt, messageAt, sourceAt},
                    itemsize);
    const auto count = results.sorted.size();
    py::array result(dtype, std::vector<py::ssize_t>{static_cast<py::ssize_t>(count)});
    char* records = static_cast<char*>(result.mutable_data());
    if (count > 0)
        std::memset(records, 0, count * itemsize);
    for (size_t i = 0; i < count; ++i) {
        const seq_finding& finding = results.sorted[i];
        char* record = records + i * itemsize;
        const auto line = lineOf.find(finding.address);
        const FindingFixed fixed{finding.time_ns,
                                 line != lineOf.end() ? static_cast<int64_t>(line->second) + 1 : 0,
                                 finding.address};
        std::memcpy(record, &fixed, sizeof fixed);
        putAscii(record + kindAt, seq_finding_kind_name(finding.kind), kindWidth);
        putAscii(record + messageAt, finding.message, messageWidth);
        if (line != lineOf.end() &&
            PyUnicode_AsUCS4(sources.at(line->second).ptr(),
                             reinterpret_cast<Py_UCS4*>(record + sourceAt),
                             static_cast<Py_ssize_t>(sourceWidth), 0) == nullptr)
            throw py::error_already_set();
    }
    return result;
}

void init_signals(py::module_& m) {
    auto run = py::reinterpret_borrow<py::class_<Run, std::shared_ptr<Run>>>(m.attr("Run"));
    run.def("render", &render)
        .def("acquisition_windows", &acquisitionWindows)
        .def_property_readonly("acquisitions",
                               [](const Run& r) { return r.signals().acquisitions; })
        .def_property_readonly("findings", [](const Run& r) { return r.signals().findings; })
        .def_property_readonly("signal_setup", [](const Run& r) {
            return std::const_pointer_cast<SignalSetup>(r.signals().setup);
        });
}

} // namespace vexa_py
