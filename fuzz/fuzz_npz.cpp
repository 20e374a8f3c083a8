// Arbitrary bytes as an .npz archive and as a single .npy array, through the readers and the
// waveform tables. A refusal names the file; an accepted array holds as many values as its
// shape says, and written again as float32 by the writer's header it reads back the same.
#include "formats/npz_file.h"
#include "formats/npz_writer.h"
#include "formats/waveform_tables.h"
#include "fuzz/FuzzCommon.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

void checkArray(const npy_array& array) {
    if (array.shape.empty() || array.shape.size() > 2)
        abort();
    std::size_t count = 1;
    for (const std::size_t extent : array.shape)
        count *= extent;
    if (count != array.values.size())
        abort();
    if (array.shape.size() != 1)
        return;
    std::string bytes = npz_writer::npyHeader("<f4", array.values.size());
    bytes.append(reinterpret_cast<const char*>(array.values.data()),
                 array.values.size() * sizeof(float));
    const npy_array again = readNpyBytes(bytes, "again.npy");
    if (again.shape != array.shape ||
        (!array.values.empty() && std::memcmp(again.values.data(), array.values.data(),
                                              array.values.size() * sizeof(float)) != 0))
        abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzQuietLogging();
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    try {
        auto arrays = readNpzBytes(bytes, "fuzz.npz", npy_dims::oneOrTwo);
        for (const auto& [name, array] : arrays)
            checkArray(array);
        try {
            makeWaveformTables(std::move(arrays), "fuzz.npz");
        } catch (const npz_error& error) {
            if (!startsWith(error.what(), "fuzz.npz: member '"))
                abort();
        }
    } catch (const npz_error& error) {
        if (!startsWith(error.what(), "fuzz.npz: "))
            abort();
    }
    try {
        checkArray(readNpyBytes(bytes, "fuzz.npy", npy_dims::oneOrTwo));
    } catch (const npz_error& error) {
        if (!startsWith(error.what(), "fuzz.npy: "))
            abort();
    }
    return 0;
}
