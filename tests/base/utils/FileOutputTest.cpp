#include "base/utils/FileOutput.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class FileOutputTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("vexa_file_output_" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    static std::string read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    static void write(const fs::path& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    size_t entries() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(dir), {}));
    }

    fs::path dir;
};

TEST_F(FileOutputTest, TheTargetChangesOnlyWhenCommitted) {
    const fs::path target = dir / "out.csv";
    write(target, "old");
    {
        FileOutput out;
        ASSERT_TRUE(out.open(target.string())) << out.error();
        // More than one block, so that some of it reaches the file before the commit.
        const std::string line(1000, 'x');
        for (int i = 0; i < 100; ++i)
            out.append(line);
        EXPECT_EQ(read(target), "old");
        ASSERT_TRUE(out.commit()) << out.error();
    }
    EXPECT_EQ(read(target), std::string(100000, 'x'));
    EXPECT_EQ(entries(), 1u);

    // Dropped without commit, as after a failure: the old file stays, nothing else remains.
    {
        FileOutput out;
        ASSERT_TRUE(out.open(target.string()));
        out.append(std::string(200000, 'y'));
    }
    EXPECT_EQ(read(target), std::string(100000, 'x'));
    EXPECT_EQ(entries(), 1u);
}

TEST_F(FileOutputTest, ASymbolicLinkStaysALink) {
    write(dir / "real.csv", "old");
    fs::create_symlink(dir / "real.csv", dir / "link.csv");
    FileOutput out;
    ASSERT_TRUE(out.open((dir / "link.csv").string()));
    out.append("new");
    ASSERT_TRUE(out.commit());
    EXPECT_TRUE(fs::is_symlink(dir / "link.csv"));
    EXPECT_EQ(read(dir / "real.csv"), "new");
}

TEST_F(FileOutputTest, FailuresNameTheFileAndTheReason) {
    write(dir / "plain", "");
    struct Case {
        std::string name;
        std::string error;
    };
    const Case cannotOpen[] = {
        {(dir / "missing" / "x.csv").string(), "No such file or directory"},
        {(dir / "plain" / "x.csv").string(), "Not a directory"},
        {dir.string(), "Is a directory"},
    };
    for (const Case& c : cannotOpen) {
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
    for (const char* field : {"plain text", "a,b", "say \"hi\"", "two\nlines"}) {
        appendCsvField(out, field);
        out.append('|');
    }
    EXPECT_EQ(out.text(), "plain text|\"a,b\"|\"say \"\"hi\"\"\"|\"two\nlines\"|");
}

} // namespace
