#include "words.h"

#include "text.h"

#include <string>

namespace vexa_py {

using namespace py::literals;

namespace {

[[noreturn]] void refuse(PyObject* type, size_t index, const py::handle& value,
                         const char* reason) {
    raise(type, "words[" + std::to_string(index) + "] = " + std::string(py::repr(value)) + reason);
}

// Integer arrays are checked and copied in one pass, without a Python object per word.
template <class T> void copy(const py::array& array, std::vector<uint64_t>& words) {
    const auto values = py::array_t<T, py::array::c_style | py::array::forcecast>::ensure(array);
    if (!values)
        throw py::error_already_set();
    const T* data = values.data();
    for (size_t i = 0; i < words.size(); ++i) {
        if constexpr (std::is_signed_v<T>) {
            if (data[i] < 0)
                refuse(PyExc_ValueError, i, py::int_(data[i]), " is negative");
        }
        words[i] = static_cast<uint64_t>(data[i]);
    }
}

// Python objects, each an integer (or what has __index__) from 0 to 2**64 - 1.
void copyObjects(const py::array& array, std::vector<uint64_t>& words) {
    const py::int_ zero(0);
    for (size_t i = 0; i < words.size(); ++i) {
        const py::handle item = *static_cast<PyObject* const*>(array.data(i));
        if (!PyIndex_Check(item.ptr()))
            raise(PyExc_TypeError, "words[" + std::to_string(i) + "] must be an integer, not " +
                                       std::string(py::str(item.get_type().attr("__name__"))));
        const auto value = py::reinterpret_steal<py::int_>(PyNumber_Index(item.ptr()));
        if (!value)
            throw py::error_already_set();
        if (value < zero)
            refuse(PyExc_ValueError, i, value, " is negative");
        words[i] = PyLong_AsUnsignedLongLong(value.ptr());
        if (PyErr_Occurred()) {
            PyErr_Clear();
            refuse(PyExc_ValueError, i, value, " does not fit in 64 bits");
        }
    }
}

} // namespace

std::vector<uint64_t> wordsFrom(const py::handle& object) {
    // numpy chooses the type that holds the values: a list of small integers becomes an int64
    // array, of negative ones a signed one. The values of any other sequence are taken as the
    // Python objects they are: a list that mixes words from 2**63 on with small ones would
    // otherwise become float64 and lose bits.
    const py::object asarray = py::module_::import("numpy").attr("asarray");
    auto array = py::array::ensure(asarray(object));
    char kind = array.dtype().kind();
    if (kind != 'u' && kind != 'i' && !py::isinstance<py::array>(object)) {
        array = py::array::ensure(asarray(object, "dtype"_a = "object"));
        kind = 'O';
    }
    if (array.ndim() != 1)
        raise(PyExc_ValueError, "words must be one-dimensional");
    std::vector<uint64_t> words(static_cast<size_t>(array.shape(0)));
    if (words.empty())
        return words;
    if (kind == 'u')
        copy<uint64_t>(array, words);
    else if (kind == 'i')
        copy<int64_t>(array, words);
    else if (kind == 'O')
        copyObjects(array, words);
    else
        raise(PyExc_TypeError,
              "words must be integers, not " + std::string(py::str(array.dtype())));
    return words;
}

} // namespace vexa_py
