// The message of the exception of type E that `f` throws, for tests of exact error texts.
#pragma once

#include <string>

template <typename E, typename F> std::string messageOf(F&& f) {
    try {
        f();
    } catch (const E& e) {
        return e.what();
    }
    return "(no exception)";
}
