// Event records as numpy arrays: the structured dtype of a layout, and arrays that take the
// records' memory over.
#pragma once

#include "event_records.h"
#include "pybind.h"

namespace vexa_py {

py::dtype eventDtype(const EventLayout& layout);
// The records as an array that owns their memory; `records` is left empty.
py::array adoptRecords(const EventLayout& layout, RecordBuffer& records);

} // namespace vexa_py
