#include "formats/waveform_tables.h"

#include "formats/npz_file.h"

#include <charconv>
#include <cmath>
#include <string_view>

namespace {

// The index of a table entry's name `prefix<N>`, or -1 when the name is not of that form.
long entryIndex(std::string_view name, std::string_view prefix) {
    if (name.substr(0, prefix.size()) != prefix)
        return -1;
    const std::string_view digits = name.substr(prefix.size());
    if (digits.empty() || digits.size() > 6 || (digits.size() > 1 && digits[0] == '0'))
        return -1;
    long index = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return -1;
        index = index * 10 + (c - '0');
    }
    return index;
}

} // namespace

void checkSamples(std::span<const float> samples, const std::string& where) {
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const float sample = samples[i];
        if (sample >= -1.0f && sample <= 1.0f)
            continue;
        std::string text = "sample " + std::to_string(i) + " is ";
        if (std::isnan(sample)) {
            text += "NaN, not a finite number";
        } else if (std::isinf(sample)) {
            text += sample > 0 ? "inf, not a finite number" : "-inf, not a finite number";
        } else {
            char value[32];
            const auto end = std::to_chars(value, value + sizeof value, sample).ptr;
            text.append(value, end).append(", outside [-1, 1]");
        }
        throw npz_error(where + ": " + text);
    }
}

waveform_tables makeWaveformTables(std::map<std::string, npy_array> arrays,
                                   const std::string& fileName) {
    waveform_tables tables;
    for (auto& [name, array] : arrays) {
        const std::string where = fileName + ": member " + npzQuoted(name + ".npy");
        // "weight" before "wave": neither is a prefix of the other, but the order keeps
        // the message for an index out of range about the table the name meant.
        auto* table = &tables.weights;
        const char* what = "weight";
        long index = entryIndex(name, "weight");
        if (index < 0) {
            table = &tables.waveforms;
            what = "waveform";
            index = entryIndex(name, "wave");
        }
        if (index < 0)
            throw npz_error(where + ": not a table entry (the names are wave0 to wave1023 and "
                                    "weight0 to weight63)");
        if (static_cast<std::size_t>(index) >= table->size())
            throw npz_error(where + ": " + what + " index " + std::to_string(index) +
                            " outside 0 to " + std::to_string(table->size() - 1));
        if (array.shape.size() != 1)
            throw npz_error(where + ": not a 1-D array");
        checkSamples(array.values, where);
        (*table)[static_cast<std::size_t>(index)] = std::move(array.values);
    }
    return tables;
}

waveform_tables readWaveformTables(const std::string& fileName) {
    return makeWaveformTables(readNpz(fileName, npy_dims::one), fileName);
}
