#include "base/utils/CharFilter.h"

namespace {

// Calls `apply` for every character value from -128 to 127 that `predicate` accepts.
template <typename Apply> void forEachAccepted(bool (*predicate)(char), Apply apply) {
    if (!predicate)
        return;
    for (int value = -128; value <= 127; ++value)
        if (predicate(static_cast<char>(value)))
            apply(static_cast<char>(value));
}

// The <cctype> functions are only defined for EOF and unsigned byte values, so each
// character is passed as its unsigned byte.
template <typename Apply> void forEachAccepted(int (*predicate)(int), Apply apply) {
    if (!predicate)
        return;
    for (int value = -128; value <= 127; ++value) {
        const char c = static_cast<char>(value);
        if (predicate(static_cast<unsigned char>(c)) != 0)
            apply(c);
    }
}

} // namespace

void CharFilter::include(bool (*predicate)(char)) {
    forEachAccepted(predicate, [this](char c) { include(c); });
}

void CharFilter::include(int (*predicate)(int)) {
    forEachAccepted(predicate, [this](char c) { include(c); });
}

void CharFilter::exclude(bool (*predicate)(char)) {
    forEachAccepted(predicate, [this](char c) { exclude(c); });
}

void CharFilter::exclude(int (*predicate)(int)) {
    forEachAccepted(predicate, [this](char c) { exclude(c); });
}
