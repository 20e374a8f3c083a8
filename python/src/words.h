// Instruction words handed over from Python: checked where they enter, so that a value that
// is no 64-bit word is refused instead of wrapped or truncated.
#pragma once

#include "pybind.h"

#include <cstdint>
#include <vector>

namespace vexa_py {

// The words of `words`, anything numpy makes a one-dimensional array of integers from.
// Raises TypeError for values that are no integers and ValueError for another shape or a
// value outside 0 to 2**64 - 1, naming the first such value and its index.
std::vector<uint64_t> wordsFrom(const py::handle& words);

} // namespace vexa_py
