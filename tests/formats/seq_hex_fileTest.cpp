// Reading program images, and loading them into the driver as its whole program.
#include "formats/seq_hex_file.h"

#include "assembler/seq.h"
#include "sequencer/SeqAssembler.h"
#include "sequencer/seqprocessor/SeqProcessor.h"

#include <gtest/gtest.h>

#include <sstream>
#include <streambuf>

namespace {

// Delivers its text and then fails like a device with a read error.
struct FailingBuffer : std::streambuf {
    explicit FailingBuffer(std::string text) : m_text(std::move(text)) {
        setg(m_text.data(), m_text.data(), m_text.data() + m_text.size());
    }
    int_type underflow() override { throw std::ios_base::failure("device error"); }
    std::string m_text;
};

// At most as many words as the memory holds.
TEST(seq_hex_fileTest, ReadsWordValuesInEitherCaseUpToTheMemorySize) {
    const std::string text =
        "0000000000000000\nFFFFFFFFFFFFFFFF\n0123456789abcdef\nFEDCBA9876543210";
    std::istringstream in(text), again(text);
    seq_hex_file hex;
    UIStr message;
    ASSERT_TRUE(hex.read(in, "x.hex", 4, message)) << message;
    EXPECT_EQ(hex.words(),
              (std::vector<uint64_t>{0, UINT64_MAX, 0x0123456789abcdefULL, 0xFEDCBA9876543210ULL}));
    EXPECT_FALSE(hex.read(again, "x.hex", 3, message));
    EXPECT_EQ(message, "x.hex:4: more than 3 instruction words");
}

// The text delivered before the device fails (null: no stream buffer), and the line named.
TEST(seq_hex_fileTest, ReadErrorsAreFailuresNamingTheLine) {
    const std::pair<const char*, int> rows[] = {
        {nullptr, 1}, {"", 1}, {"0800000000000000\n", 2}, {"0800000000000000\n08000", 2}};
    for (const auto& [text, line] : rows) {
        FailingBuffer buffer(text != nullptr ? text : "");
        std::istream in(text != nullptr ? &buffer : nullptr);
        seq_hex_file hex;
        UIStr message;
        EXPECT_FALSE(hex.read(in, "x.hex", 4096, message)) << line;
        EXPECT_EQ(message, "x.hex:" + std::to_string(line) + ": read error");
    }
}

TEST(seq_hex_fileTest, LoadedWordsBecomeTheDriversWholeProgram) {
    std::istringstream in("0800000000000000\n4400008100000005\n");
    seq_hex_file hex;
    UIStr message;
    ASSERT_TRUE(hex.read(in, "x.hex", 4096, message));
    seq driver;
    ASSERT_TRUE(driver.loadImage(hex.words(), message)) << message;
    EXPECT_FALSE(driver.simulate(10)) << "the image's stop ends the run";

    // An earlier, longer program is replaced, not merged.
    ASSERT_EQ(driver.assemble(std::string("nop\nnop\nnop\nnop\n"), message), 0) << message;
    ASSERT_TRUE(driver.loadImage(hex.words(), message)) << message;
    EXPECT_EQ(driver.assembler()->numInstructions(), 2u);
    EXPECT_EQ(driver.processor()->readInstructionMem(2), 0u);

    // An image larger than the memory is refused and changes nothing.
    EXPECT_FALSE(driver.loadImage(std::vector<uint64_t>(4097, 0x0800000000000000ULL), message));
    EXPECT_EQ(message, "Program of 4097 instruction words does not fit into 4096 words of "
                       "instruction memory");
    EXPECT_EQ(driver.assembler()->numInstructions(), 2u);
}

} // namespace
