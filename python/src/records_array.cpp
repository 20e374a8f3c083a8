#include "records_array.h"

#include <cstdlib>
#include <vector>

namespace vexa_py {

py::dtype eventDtype(const EventLayout& layout) {
    py::list names, formats, offsets;
    for (const EventField& field : layout.fields()) {
        names.append(field.name);
        formats.append(field.format);
        offsets.append(field.offset);
    }
    py::dict dtypeFields;
    dtypeFields["names"] = names;
    dtypeFields["formats"] = formats;
    dtypeFields["offsets"] = offsets;
    dtypeFields["itemsize"] = layout.itemsize();
    return py::dtype::from_args(dtypeFields);
}

py::array adoptRecords(const EventLayout& layout, RecordBuffer& records) {
    const auto count = static_cast<py::ssize_t>(records.size());
    const auto itemsize = static_cast<py::ssize_t>(layout.itemsize());
    char* data = records.release();
    if (data == nullptr)
        return py::array(eventDtype(layout), std::vector<py::ssize_t>{count});
    const py::capsule owner(data, [](void* memory) { std::free(memory); });
    return py::array(eventDtype(layout), {count}, {itemsize}, data, owner);
}

} // namespace vexa_py
