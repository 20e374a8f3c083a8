// Arbitrary bytes as a .hex program image, through the loader of vexadis and vexasim. An
// accepted image must come out of the hex writer as the same text (in lower case, with a
// final line feed), hold no more words than allowed and disassemble word for word; a
// refused one must say where and why.
#include "assembler/seq.h"
#include "formats/seq_hex_file.h"
#include "fuzz/FuzzCommon.h"
#include "sequencer/SeqAssembler.h"
#include "sequencer/seqprocessor/SeqProcessor.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>

namespace {

const std::string kName = "fuzz.hex";

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// The text the hex writer makes of an accepted image.
std::string normalised(std::string image) {
    std::transform(image.begin(), image.end(), image.begin(), [](char c) {
        return c >= 'A' && c <= 'F' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    if (!image.empty() && image.back() != '\n')
        image.push_back('\n');
    return image;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzQuietLogging();
    static seq driver; // one driver for all inputs, as a long-lived tool would keep it
    const std::string image(reinterpret_cast<const char*>(data), size);
    const size_t maxWords = driver.processor()->instructionMemSizeWords();

    seq_hex_file hex;
    UIStr message;
    std::istringstream in(image);
    if (!hex.read(in, kName, maxWords, message)) {
        if (!startsWith(message, kName + ":"))
            abort(); // a refusal names the file and the line
        if (hex.words().size() > maxWords)
            abort();
        return 0;
    }
    if (!message.empty() || hex.words().size() > maxWords)
        abort();

    SeqAssembler& assembler = *driver.assembler();
    if (!driver.loadImage(hex.words(), message) ||
        assembler.numInstructions() != hex.words().size())
        abort();
    std::ostringstream written;
    if (!assembler.printHexOutput(written) || written.str() != normalised(image))
        abort();
    std::ostringstream disassembly;
    const int undecodable = assembler.disassemble(disassembly);
    const std::string listing = disassembly.str();
    if (undecodable < 0 || static_cast<size_t>(undecodable) > hex.words().size() ||
        static_cast<size_t>(std::count(listing.begin(), listing.end(), '\n')) != hex.words().size())
        abort();

    // The same image against a memory one word too small must be refused at its last word.
    if (!hex.words().empty()) {
        seq_hex_file tooMany;
        std::istringstream again(image);
        if (tooMany.read(again, kName, hex.words().size() - 1, message) ||
            message.find(": more than ") == std::string::npos ||
            tooMany.words().size() != hex.words().size() - 1)
            abort();
    }
    return 0;
}
