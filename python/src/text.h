// Library text handed to Python, and Python exceptions raised with library messages.
#pragma once

#include "pybind.h"

#include <optional>
#include <string>
#include <string_view>

namespace vexa_py {

// Library text as a Python string: bytes that are no UTF-8 (a source may hold any) become
// U+FFFD instead of failing the call.
inline py::str text(std::string_view bytes) {
    PyObject* object =
        PyUnicode_DecodeUTF8(bytes.data(), static_cast<Py_ssize_t>(bytes.size()), "replace");
    if (object == nullptr)
        throw py::error_already_set();
    return py::reinterpret_steal<py::str>(object);
}

inline py::object optionalText(const std::optional<std::string>& bytes) {
    return bytes ? py::object(text(*bytes)) : py::none();
}

// Raises the exception `type` (PyExc_OSError, PyExc_ValueError, ...) with `message` as its
// text; with the interpreter lock held.
[[noreturn]] inline void raise(PyObject* type, std::string_view message) {
    PyErr_SetObject(type, text(message).ptr());
    throw py::error_already_set();
}

} // namespace vexa_py
