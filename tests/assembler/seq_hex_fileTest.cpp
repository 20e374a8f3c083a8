// Reading program images: the word values, and loading them into the driver's instruction
// memory as its program.
#include "assembler/seq_hex_file.h"

#include "assembler/seq.h"
#include "sequencer/SeqAssembler.h"
#include "sequencer/seqprocessor/SeqProcessor.h"

#include <gtest/gtest.h>

#include <sstream>
#include <streambuf>
#include <string>

namespace {

// Delivers its text and then fails like a device with a read error.
class FailingBuffer : public std::streambuf {
public:
    explicit FailingBuffer(std::string text) : m_text(std::move(text)) {
        setg(m_text.data(), m_text.data(), m_text.data() + m_text.size());
    }

protected:
    int_type underflow() override { throw std::ios_base::failure("device error"); }

private:
    std::string m_text;
};

TEST(seq_hex_fileTest, ReadsWordValuesInEitherCase) {
    std::istringstream in("0000000000000000\nFFFFFFFFFFFFFFFF\n0123456789abcdef\nFEDCBA9876543210");
    seq_hex_file hex;
    UIStr message;
    ASSERT_TRUE(hex.read(in, "x.hex", 4096, message)) << message;
    EXPECT_EQ(hex.words(),
              (std::vector<uint64_t>{0, UINT64_MAX, 0x0123456789abcdefULL, 0xFEDCBA9876543210ULL}));
}

TEST(seq_hex_fileTest, ReadErrorsAreFailuresNamingTheLine) {
    const struct {
        const char* text; // delivered before the device fails
        const char* message;
        size_t wordsKept;
    } rows[] = {
        {"", "x.hex:1: read error", 0},
        {"0800000000000000\n", "x.hex:2: read error", 1},
        {"0800000000000000\n08000", "x.hex:2: read error", 1},
    };
    for (const auto& row : rows) {
        FailingBuffer buffer(row.text);
        std::istream in(&buffer);
        seq_hex_file hex;
        UIStr message;
        EXPECT_FALSE(hex.read(in, "x.hex", 4096, message)) << row.message;
        EXPECT_EQ(message, row.message);
        EXPECT_EQ(hex.words().size(), row.wordsKept) << row.message;
    }

    std::istream noBuffer(nullptr);
    seq_hex_file hex;
    UIStr message;
    EXPECT_FALSE(hex.read(noBuffer, "x.hex", 4096, message));
    EXPECT_EQ(message, "x.hex:1: read error");
}

TEST(seq_hex_fileTest, LoadedWordsBecomeTheDriversWholeProgram) {
    // An earlier, longer program is replaced, not merged.
    seq fresh;
    UIStr text;
    ASSERT_EQ(fresh.assemble(std::string("nop\nnop\nnop\nnop\n"), text), 0) << text;

    std::istringstream in("0800000000000000\n4400008100000005\n");
    seq_hex_file hex;
    UIStr message;
    ASSERT_TRUE(hex.read(in, "x.hex", 4096, message));
    seq loaded;
    EXPECT_TRUE(loaded.simulate(10)) << "nothing to simulate before a program is there";
    ASSERT_TRUE(loaded.loadImage(hex.words(), message)) << message;
    EXPECT_FALSE(loaded.simulate(10)) << "the image's stop ends the run";
    ASSERT_TRUE(fresh.loadImage(hex.words(), message)) << message;
    EXPECT_EQ(fresh.assembler()->numInstructions(), 2u);
    EXPECT_EQ(fresh.processor()->readInstructionMem(1), 0x4400008100000005ULL);
    std::ostringstream listing;
    EXPECT_EQ(fresh.assembler()->disassemble(listing), 0);
    EXPECT_EQ(listing.str(), "0:      stop\n1:      add         R1, 0x5, R2\n");
    std::ostringstream image;
    EXPECT_TRUE(fresh.assembler()->printHexOutput(image));
    EXPECT_EQ(image.str(), "0800000000000000\n4400008100000005\n");
    // The old program's third word is gone from the memory too.
    EXPECT_EQ(fresh.processor()->readInstructionMem(2), 0u);

    // An image larger than the memory is refused and changes nothing.
    EXPECT_FALSE(fresh.loadImage(std::vector<uint64_t>(4097, 0x0800000000000000ULL), message));
    EXPECT_EQ(message, "Program of 4097 instruction words does not fit into 4096 words of "
                       "instruction memory");
    EXPECT_EQ(fresh.assembler()->numInstructions(), 2u);
}

} // namespace
