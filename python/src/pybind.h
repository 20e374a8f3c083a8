// pybind11 and its numpy support for the module's files. The library's string helpers come
// first: Python.h declares a global `digit` that their local variables would shadow.
#pragma once

#include "base/utils/stringUtils.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

namespace vexa_py {

namespace py = pybind11;

} // namespace vexa_py
