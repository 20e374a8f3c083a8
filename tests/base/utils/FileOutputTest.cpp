#include "base/utils/FileOutput.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string read(const fs::path& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

class FileOutputTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::remove_all(dir);
        fs::create_directories(dir);
        std::ofstream(dir / "out.csv") << "old";
    }
    void TearDown() override { fs::remove_all(dir); }
    size_t entries() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(dir), {}));
    }

    const fs::path dir =
        fs::temp_directory_path() / ("vexa_file_output_" + std::to_string(getpid()));
};

TEST_F(FileOutputTest, TheTargetChangesOnlyWhenCommitted) {
    const fs::path target = dir / "out.csv";
    // Dropped without commit, as after a failure: the old file stays, nothing else remains.
    // More than one block, so that some of it reaches the file before the end.
    for (const bool commit : {false, true}) {
        FileOutput out;
        ASSERT_TRUE(out.open(target.string())) << out.error();
        for (int i = 0; i < 100; ++i)
            out.append(std::string(1000, 'x'));
        EXPECT_EQ(read(target), "old");
        EXPECT_TRUE(!commit || out.commit()) << out.error();
    }
    EXPECT_EQ(read(target), std::string(100000, 'x'));
    EXPECT_EQ(entries(), 1u);
}

TEST_F(FileOutputTest, ASymbolicLinkStaysALink) {
    fs::create_symlink(dir / "out.csv", dir / "link.csv");
    FileOutput out;
    ASSERT_TRUE(out.open((dir / "link.csv").string()));
    out.append("new");
    ASSERT_TRUE(out.commit());
    EXPECT_TRUE(fs::is_symlink(dir / "link.csv"));
    EXPECT_EQ(read(dir / "out.csv"), "new");
}

TEST_F(FileOutputTest, FailuresNameTheFileAndTheReason) {
    const struct {
        std::string name;
        std::string error;
    } cannotOpen[] = {
        {(dir / "missing" / "x.csv").string(), "No such file or directory"},
        {(dir / "out.csv" / "x.csv").string(), "Not a directory"},
        {dir.string(), "Is a directory"},
    };
    for (const auto& c : cannotOpen) {
        FileOutput out;
        EXPECT_FALSE(out.open(c.name)) << c.name;
        EXPECT_EQ(out.error(),
                  "Could not open output file '" + c.name + "' for writing: " + c.error);
    }

    // A device is written in place; a full one fails at the latest in commit().
    FileOutput full;
    ASSERT_TRUE(full.open("/dev/full"));
    full.append("text");
    EXPECT_FALSE(full.commit());
    EXPECT_EQ(full.error(), "Could not write output file '/dev/full': No space left on device");
    EXPECT_EQ(entries(), 1u);
}

TEST(TextOutputTest, CsvFieldsAreQuotedOnlyWhenNeeded) {
    StringOutput out;
    for (const char* field : {"plain text", "a,b", "say \"hi\"", "two\nlines", "cr\r"}) {
        appendCsvField(out, field);
        out.append('|');
    }
    EXPECT_EQ(out.text(), "plain text|\"a,b\"|\"say \"\"hi\"\"\"|\"two\nlines\"|\"cr\r\"|");
}

} // namespace
