// numpy's array files: reading what numpy writes, refusing what is broken, and writing
// archives that read back.
#ifdef VEXA_NPZ // numpy archives are built where libzip is
#include "formats/npz_file.h"
#include "formats/npz_writer.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

const std::string kData = VEXA_TEST_DATA_DIR "/npz/";

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A zip archive in memory with the given members (stored).
std::string zipOf(const std::vector<std::pair<std::string, std::string>>& members) {
    zip_error_t error;
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_source_keep(buffer);
    zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
    for (const auto& [name, bytes] : members)
        zip_file_add(archive, name.c_str(),
                     zip_source_buffer(archive, bytes.data(), bytes.size(), 0), 0);
    zip_close(archive);
    zip_stat_t stat;
    zip_source_stat(buffer, &stat);
    std::string bytes(stat.size, '\0');
    zip_source_open(buffer);
    zip_source_read(buffer, bytes.data(), bytes.size());
    zip_source_close(buffer);
    zip_source_free(buffer);
    return bytes;
}

// An .npy array with the given header dictionary and data (version 1.0, or 2.0 / 3.0).
std::string npy(const std::string& dict, const std::string& data, int version = 1) {
    std::string bytes = "\x93NUMPY";
    bytes += static_cast<char>(version);
    bytes += '\0';
    const std::size_t lengthBytes = version == 1 ? 2 : 4;
    for (std::size_t i = 0; i < lengthBytes; ++i)
        bytes += static_cast<char>((dict.size() >> (8 * i)) & 0xff);
    return bytes + dict + data;
}

// A literal's bytes, zeros included.
template <std::size_t N> std::string bin(const char (&text)[N]) {
    return std::string(text, N - 1);
}

std::string header(const std::string& descr, const std::string& shape) {
    return "{'descr': '" + descr + "', 'fortran_order': False, 'shape': " + shape + ", }\n";
}

TEST(npz_fileTest, ReadsStoredAndDeflatedArchivesAsNumpyWritesThem) {
    for (const char* file : {"tables.npz", "tables_compressed.npz"}) {
        const auto arrays = readNpz(kData + file);
        ASSERT_EQ(arrays.size(), 4u) << file;
        EXPECT_EQ(arrays.at("wave0").values, (std::vector<float>{0, 0.5f, -0.5f, 1})) << file;
        EXPECT_EQ(arrays.at("wave1023").values, (std::vector<float>{-1, 0.25f})) << file;
        EXPECT_EQ(arrays.at("wave7").shape, std::vector<std::size_t>{0}) << file;
        EXPECT_EQ(arrays.at("weight63").values, (std::vector<float>{1, 0, -1})) << file;
    }
}

// The header's forms numpy has written over its versions, and every data type read.
TEST(npz_fileTest, ReadsHeaderVersionsFormsAndDataTypes) {
    const std::string two = std::string("\0\0\0\x40\0\0\0\x40", 8); // 2.0f, 3.0f
    const struct {
        std::string bytes;
        std::vector<float> values;
    } rows[] = {
        {npy(header("<f4", "(2,)"), std::string("\0\0\0\x40\0\0\0\x3f", 8), 2), {2, 0.5f}},
        {npy(header("<f4", "(2,)"), two, 3), {2, 2}},
        {npy("{\"shape\": (2, ), \"fortran_order\": False, \"descr\": \">f4\"}",
             std::string("\x40\0\0\0\x3f\0\0\0", 8)),
         {2, 0.5f}},
        {npy(header(">f8", "(1,)"), std::string("\xbf\xf0\0\0\0\0\0\0", 8)), {-1}},
        {npy(header("<i2", "(2,)"), std::string("\xff\xff\x02\x00", 4)), {-1, 2}},
        {npy(header("|u1", "(1,)"), "\xff"), {255}},
        {npy(header("|i1", "(0,)"), ""), {}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(readNpyBytes(row.bytes, "x.npy").values, row.values) << row.bytes;
}

TEST(npz_fileTest, ReadsTwoDimensionalArraysWhenAskedRowByRow) {
    const auto array =
        readNpyBytes(npy(header("|u1", "(2, 3)"), "\1\2\3\4\5\6"), "in.npy", npy_dims::oneOrTwo);
    EXPECT_EQ(array.shape, (std::vector<std::size_t>{2, 3}));
    EXPECT_EQ(array.values, (std::vector<float>{1, 2, 3, 4, 5, 6}));
}

TEST(npz_fileTest, RefusesBrokenArraysNamingTheProblem) {
    const std::string f4x2 = header("<f4", "(2,)");
    const std::string eight(8, '\0');
    const struct {
        std::string bytes;
        const char* message;
        npy_dims dims = npy_dims::one;
    } rows[] = {
        {bin("PK\3\4"), "not an .npy array (it does not start with \\x93NUMPY)"},
        {"\x93NUM", "truncated .npy array (4 bytes)"},
        {bin("\x93NUMPY\x04\x00"), "unsupported .npy format version 4.0"},
        {bin("\x93NUMPY\x02\x00\x10\x00"), "truncated .npy array (its header length is missing)"},
        {bin("\x93NUMPY\x01\x00\xff\x00{}"), "header length 255 runs past the end (12 bytes)"},
        {npy(f4x2, "\0\0\0\0\0\0\0\0", 2).replace(8, 4, "\0\0\0\1", 4),
         "header length 16777216 is absurd"},
        {npy(header("<c8", "(1,)"), eight),
         "unsupported dtype '<c8' (float32, float64 or an integer type needed)"},
        {npy(header("<f2", "(1,)"), "\0\0"),
         "unsupported dtype '<f2' (float32, float64 or an integer type needed)"},
        {npy(header("|b1", "(1,)"), "\1"),
         "unsupported dtype '|b1' (float32, float64 or an integer type needed)"},
        {npy("{'descr': [('a', '<f4')], 'fortran_order': False, 'shape': (1,)}", "\0\0\0\0"),
         "unsupported dtype: a structured array"},
        {npy("{'descr': '<f4', 'fortran_order': True, 'shape': (2,)}", eight),
         "Fortran order is not supported (save a C-ordered array)"},
        {npy(header("<f4", "(2, 1)"), eight), "shape (2, 1) is not 1-D"},
        {npy(header("<f4", "()"), "\0\0\0\0"), "shape () is not 1-D"},
        {npy(header("<f4", "(1, 1, 2)"), eight), "shape (1, 1, 2) is not 1-D or 2-D",
         npy_dims::oneOrTwo},
        {npy(header("<f4", "(2)"), eight), "malformed header: the shape is not a tuple"},
        {npy(header("<f4", "(02,)"), eight), "malformed header: array extent expected at byte 51"},
        {npy("{'descr': '<f4', 'shape': (2,)}", eight), "malformed header: no 'fortran_order'"},
        {npy("{'descr': '<f4', 'descr': '<f4', 'fortran_order': False, 'shape': (2,)}", eight),
         "malformed header: key 'descr' given twice"},
        {npy("{'descr': '<f4', 'fortran_order': False, 'shape': (2,), 'x': 1}", eight),
         "malformed header: unknown key 'x'"},
        {npy("{'descr': '<f4', 'fortran_order': False, 'shape': (2,)} x", eight),
         "malformed header: text after the dictionary"},
        {npy(f4x2, std::string(4, '\0')), "shape (2,) of '<f4' needs 8 bytes of data, there are 4"},
        {npy(f4x2, std::string(9, '\0')), "shape (2,) of '<f4' needs 8 bytes of data, there are 9"},
        {npy(header("<f8", "(4611686018427387904,)"), eight),
         "shape (4611686018427387904,) of '<f8' needs more bytes of data, there are 8"},
        {npy(header("<f8", "(4294967296, 4294967296)"), eight),
         "shape (4294967296, 4294967296) is absurd", npy_dims::oneOrTwo},
    };
    for (const auto& row : rows) {
        try {
            readNpyBytes(row.bytes, "x.npy", row.dims);
            ADD_FAILURE() << "accepted: " << row.message;
        } catch (const npz_error& error) {
            EXPECT_EQ(error.what(), "x.npy: " + std::string(row.message));
        }
    }
}

TEST(npz_fileTest, RefusesBrokenArchivesNamingFileAndMember) {
    const std::string good = npy(header("<f4", "(1,)"), std::string(4, '\0'));
    std::string corrupt = fileBytes(kData + "tables.npz");
    corrupt[corrupt.find("NUMPY") + 130] ^= 1; // a data byte of wave0.npy: its CRC fails
    const struct {
        std::string bytes;
        const char* message;
    } rows[] = {
        {"", "a.npz: not a zip archive (the file is empty)"},
        {good, "a.npz: not a zip archive"},
        {fileBytes(kData + "tables.npz").substr(0, 600), "a.npz: not a zip archive"},
        {zipOf({{"a.npy", good}, {"notes.txt", "x"}}),
         "a.npz: member 'notes.txt': not an .npy array (its name does not end in .npy)"},
        // libzip reads a name without the UTF-8 flag as CP437, where ESC is an arrow.
        {zipOf({{"a\x1b[1m.npy", "x"}}), "a.npz: member 'a\\xe2\\x86\\x90[1m.npy': not an .npy "
                                         "array (it does not start with \\x93NUMPY)"},
        {zipOf({{"a.npy", good.substr(0, 60)}}),
         "a.npz: member 'a.npy': header length 58 runs past the end (60 bytes)"},
        {corrupt, "a.npz: member 'wave0.npy': cannot read: CRC error"},
    };
    for (const auto& row : rows) {
        try {
            readNpzBytes(row.bytes, "a.npz");
            ADD_FAILURE() << "accepted: " << row.message;
        } catch (const npz_error& error) {
            EXPECT_EQ(error.what(), std::string(row.message));
        }
    }
    EXPECT_THROW(readNpz(kData + "missing.npz"), npz_error);
    EXPECT_THROW(readNpy(kData), npz_error);
}

class npz_writerTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir =
            fs::temp_directory_path() /
            ("npz_writerTest" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    fs::path m_dir;
};

// Longer than one chunk of the writer, so that the arrays are asked for piece by piece.
TEST_F(npz_writerTest, ArraysWrittenInChunksReadBack) {
    const std::uint64_t start = 1000, length = 70000;
    npz_writer writer;
    writer.addInt64("time_ns", length, [&](std::uint64_t first, std::span<std::int64_t> out) {
        for (std::size_t i = 0; i < out.size(); ++i)
            out[i] = static_cast<std::int64_t>(start + first + i);
    });
    writer.addFloat32("path0", length, [](std::uint64_t first, std::span<float> out) {
        for (std::size_t i = 0; i < out.size(); ++i)
            out[i] = static_cast<float>((first + i) % 7) / 8;
    });
    writer.addFloat32("path1", 0, [](std::uint64_t, std::span<float>) {});
    writer.addUInt8("markers", length, [](std::uint64_t first, std::span<std::uint8_t> out) {
        for (std::size_t i = 0; i < out.size(); ++i)
            out[i] = static_cast<std::uint8_t>((first + i) % 16);
    });
    const std::string file = (m_dir / "signals.npz").string();
    writer.write(file);
    writer.write(file); // over an existing archive

    const auto arrays = readNpz(file);
    ASSERT_EQ(arrays.size(), 4u);
    ASSERT_EQ(arrays.at("time_ns").values.size(), length);
    EXPECT_TRUE(arrays.at("path1").values.empty());
    for (std::size_t i = 0; i < length; i += 997) {
        ASSERT_EQ(arrays.at("time_ns").values[i], static_cast<float>(start + i)) << i;
        ASSERT_EQ(arrays.at("path0").values[i], static_cast<float>(i % 7) / 8) << i;
        ASSERT_EQ(arrays.at("markers").values[i], static_cast<float>(i % 16)) << i;
    }
    EXPECT_EQ(arrays.at("time_ns").values.back(), static_cast<float>(start + length - 1));
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), {}), 1) << "a temporary file is left";
}

// numpy's header, padded so that the data starts at byte 128.
TEST_F(npz_writerTest, HeaderIsNumpysOwn) {
    const std::string dict = "{'descr': '<f4', 'fortran_order': False, 'shape': (3,), }";
    EXPECT_EQ(npz_writer::npyHeader("<f4", 3), std::string("\x93NUMPY\x01\x00\x76\x00", 10) + dict +
                                                   std::string(117 - dict.size(), ' ') + "\n");
}

TEST_F(npz_writerTest, FailureLeavesTheTargetAsItWas) {
    const std::string file = (m_dir / "signals.npz").string();
    std::ofstream(file) << "before";
    npz_writer writer;
    writer.addFloat32("path0", 200000, [](std::uint64_t first, std::span<float> out) {
        if (first > 0)
            throw npz_error("render failed");
        std::fill(out.begin(), out.end(), 0.0f);
    });
    EXPECT_THROW(
        try { writer.write(file); } catch (const npz_error& error) {
            EXPECT_STREQ(error.what(), "render failed");
            throw;
        },
        npz_error);
    EXPECT_EQ(fileBytes(file), "before");
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), {}), 1) << "a temporary file is left";

    const std::string elsewhere = (m_dir / "missing" / "signals.npz").string();
    try {
        writer.write(elsewhere);
        ADD_FAILURE() << "wrote into a missing folder";
    } catch (const npz_error& error) {
        EXPECT_EQ(std::string(error.what()).rfind(elsewhere + ": cannot write: ", 0), 0u)
            << error.what();
    }
    EXPECT_THROW(npz_writer().write(file), npz_error) << "no arrays";
}

} // namespace

#endif
