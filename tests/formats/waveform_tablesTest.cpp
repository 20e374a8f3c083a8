// Waveform and weight tables from numpy archives.
#ifdef VEXA_NPZ // numpy archives are built where libzip is
#include "formats/waveform_tables.h"
#include "formats/npz_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(waveform_tablesTest, EntriesByIndexFromNumpysArchive) {
    const auto tables = readWaveformTables(VEXA_TEST_DATA_DIR "/npz/tables_compressed.npz");
    ASSERT_EQ(tables.waveforms.size(), 1024u);
    ASSERT_EQ(tables.weights.size(), 64u);
    EXPECT_EQ(tables.waveforms[0], (std::vector<float>{0, 0.5f, -0.5f, 1}));
    EXPECT_EQ(tables.waveforms[1023], (std::vector<float>{-1, 0.25f}));
    EXPECT_EQ(tables.waveforms[7], std::vector<float>{}) << "empty, not missing";
    EXPECT_EQ(tables.weights[63], (std::vector<float>{1, 0, -1}));
    EXPECT_EQ(std::count(tables.waveforms.begin(), tables.waveforms.end(), std::nullopt), 1021);
    EXPECT_EQ(std::count(tables.weights.begin(), tables.weights.end(), std::nullopt), 63);
}

TEST(waveform_tablesTest, RefusesMisnamedEntriesAndBadSamples) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        const char* name;
        std::vector<float> values;
        const char* message;
    } rows[] = {
        {"wave_1",
         {},
         "not a table entry (the names are wave0 to wave1023 and weight0 to weight63)"},
        {"wave01",
         {},
         "not a table entry (the names are wave0 to wave1023 and weight0 to weight63)"},
        {"Wave1",
         {},
         "not a table entry (the names are wave0 to wave1023 and weight0 to weight63)"},
        {"wave", {}, "not a table entry (the names are wave0 to wave1023 and weight0 to weight63)"},
        {"wave1024", {}, "waveform index 1024 outside 0 to 1023"},
        {"weight64", {}, "weight index 64 outside 0 to 63"},
        {"wave9999999",
         {},
         "not a table entry (the names are wave0 to wave1023 and weight0 to weight63)"},
        {"wave2", {0, 1, -1, 1.5f}, "sample 3 is 1.5, outside [-1, 1]"},
        {"weight0", {-1.0001f}, "sample 0 is -1.0001, outside [-1, 1]"},
        {"wave3", {0, nan}, "sample 1 is NaN, not a finite number"},
        {"wave4", {-inf}, "sample 0 is -inf, not a finite number"},
    };
    for (const auto& row : rows) {
        std::map<std::string, npy_array> arrays;
        arrays["wave5"] = {{1}, {0.5f}};
        arrays[row.name] = {{row.values.size()}, row.values};
        try {
            makeWaveformTables(std::move(arrays), "t.npz");
            ADD_FAILURE() << "accepted: " << row.name;
        } catch (const npz_error& error) {
            EXPECT_EQ(error.what(),
                      "t.npz: member '" + std::string(row.name) + ".npy': " + row.message);
        }
    }
    std::map<std::string, npy_array> twoD;
    twoD["wave1"] = {{1, 1}, {0}};
    EXPECT_THROW(makeWaveformTables(std::move(twoD), "t.npz"), npz_error);
}

} // namespace

#endif
