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

    std::istringstream in(image);
    const seq_image_load load = loadHexImage(driver, in, kName);
    if (!load) {
        // A refusal names the file and the line; only a line can make an image malformed.
        using outcome = seq_image_load::outcome;
        if (!startsWith(load.message, kName + ":") || load.result == outcome::refused ||
            (load.result == outcome::malformed) != (load.line != 0))
            abort();
        return 0;
    }
    if (!load.message.empty() || load.words > maxWords)
        abort();

    SeqAssembler& assembler = *driver.assembler();
    if (assembler.numInstructions() != load.words)
        abort();
    std::ostringstream written;
    if (!assembler.printHexOutput(written) || written.str() != normalised(image))
        abort();
    std::ostringstream disassembly;
    const int undecodable = assembler.disassemble(disassembly);
    const std::string listing = disassembly.str();
    if (undecodable < 0 || static_cast<size_t>(undecodable) > load.words ||
        static_cast<size_t>(std::count(listing.begin(), listing.end(), '\n')) != load.words)
        abort();

    // The same image against a memory one word too small must be refused at its last word.
    if (load.words > 0) {
        seq_hex_file tooMany;
        std::istringstream again(image);
        UIStr message;
        if (tooMany.read(again, kName, load.words - 1, message) ||
            message.find(": more than ") == std::string::npos ||
            tooMany.words().size() != load.words - 1 || tooMany.errorLine() == 0)
            abort();
    }
    return 0;
}
