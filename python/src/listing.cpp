// The timed listing of a run, as numpy records and as vexasim's text.

#include "run.h"
#include "text.h"

#include "base/utils/TextOutput.h"
#include "formats/seq_listing.h"

#include <algorithm>
#include <cstring>

namespace vexa_py {

namespace {

// The numbers of a listing record; the text follows as UCS-4, numpy's "U" type.
struct ListingFixed {
    int64_t address, count, first_tick, first_time_ns, realtime_ns;
};

py::dtype listingDtype(size_t textChars) {
    py::list fields;
    for (const char* name : {"address", "count", "first_tick", "first_time_ns", "realtime_ns"})
        fields.append(py::make_tuple(name, "<i8"));
    fields.append(py::make_tuple("text", "<U" + std::to_string(textChars)));
    return py::dtype::from_args(fields);
}

} // namespace

py::array listingArray(const Run& run) {
    Program& program = run.program();
    std::vector<seq_listing::Line> lines;
    withProgram(program, [&](seq&) { lines = program.listing().lines(); });
    std::erase_if(lines, [](const auto& line) { return line.address == seq_listing::s_noAddress; });

    std::vector<py::str> texts;
    size_t width = 1;
    for (const seq_listing::Line& line : lines) {
        texts.push_back(text(line.text));
        width = std::max(width, static_cast<size_t>(PyUnicode_GetLength(texts.back().ptr())));
    }
    py::array result(listingDtype(width), std::vector<py::ssize_t>{py::ssize_t(lines.size())});
    const auto itemsize = static_cast<size_t>(result.itemsize());
    char* records = static_cast<char*>(result.mutable_data());
    if (!lines.empty())
        std::memset(records, 0, itemsize * lines.size());
    const std::vector<SeqSim::AddressProfile>& profile = run.profile();
    for (size_t i = 0; i < lines.size(); ++i) {
        const auto address = static_cast<size_t>(lines[i].address);
        const SeqSim::AddressProfile* p = address < profile.size() ? &profile[address] : nullptr;
        const bool ran = p != nullptr && p->count > 0;
        const ListingFixed fixed{
            lines[i].address,
            ran ? static_cast<int64_t>(p->count) : 0,
            ran ? static_cast<int64_t>(p->firstTick) : -1,
            ran ? static_cast<int64_t>(p->firstRealtime) : -1,
            ran ? static_cast<int64_t>(p->realtime) : -1,
        };
        char* record = records + i * itemsize;
        std::memcpy(record, &fixed, sizeof fixed);
        if (PyUnicode_AsUCS4(texts[i].ptr(), reinterpret_cast<Py_UCS4*>(record + sizeof fixed),
                             static_cast<Py_ssize_t>(width), 0) == nullptr)
            throw py::error_already_set();
    }
    return result;
}

py::str listingText(const Run& run, bool csv) {
    Program& program = run.program();
    StringOutput out;
    withProgram(program, [&](seq&) {
        const seq_listing& listing = program.listing();
        if (csv)
            listing.writeCsv(out, run.profile());
        else
            listing.writeText(out, run.profile());
    });
    return text(out.text());
}

} // namespace vexa_py
