#ifndef FORMATS_WAVEFORM_TABLES_H
#define FORMATS_WAVEFORM_TABLES_H

// The waveform and weight tables of an `.npz` archive: arrays named wave<N> (N from 0 to
// 1023) and weight<N> (N from 0 to 63), N in decimal without leading zeros, each 1-D with
// finite samples in [-1, 1]. Any other member is refused, so that a misspelt name (wave_1,
// wave01, Wave1) is an error rather than a table entry silently missing.

#include <cstddef>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct npy_array;

struct waveform_tables {
    static constexpr std::size_t s_numWaveforms = 1024;
    static constexpr std::size_t s_numWeights = 64;

    // Indexed by waveform or weight index; an entry without an array is empty (nullopt),
    // an array of length 0 is a waveform of no samples.
    std::vector<std::optional<std::vector<float>>> waveforms =
        std::vector<std::optional<std::vector<float>>>(s_numWaveforms);
    std::vector<std::optional<std::vector<float>>> weights =
        std::vector<std::optional<std::vector<float>>>(s_numWeights);
};

// Throws npz_error naming the file and the member.
waveform_tables readWaveformTables(const std::string& fileName);
// The tables of arrays read from `fileName` (taken over).
waveform_tables makeWaveformTables(std::map<std::string, npy_array> arrays,
                                   const std::string& fileName);

// Throws npz_error "<where>: sample <i> is <value>, ..." at the first sample that is not
// finite or lies outside [-1, 1].
void checkSamples(std::span<const float> samples, const std::string& where);

#endif
