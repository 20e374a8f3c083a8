// Source text through the whole front end, the encoder and the error report: the driver's
// string assembly, then a disassembly of whatever was assembled.
#include "assembler/seq.h"
#include "fuzz/FuzzCommon.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzQuietLogging();
    static seq driver; // one driver for all inputs, as the tool's repetition loop uses it
    const std::string source(reinterpret_cast<const char*>(data), size);
    UIStr text;
    const int result = driver.assemble(source, text);
    if (result < 0)
        abort();
    if (result == 0) {
        std::string listing;
        driver.disassemble(listing);
    } else if (text.empty()) {
        abort(); // a failed assembly always explains itself
    }
    return 0;
}
