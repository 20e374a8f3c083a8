// Assembles a small program with the installed library and prints its hex image.
#include "assembler/seq.h"
#include "sequencer/SeqAssembler.h"

#include <iostream>
#include <string>

int main() {
    seq driver;
    UIStr text;
    if (driver.assemble(std::string("start:  nop\n        jmp @start\n        stop\n"), text) !=
        0) {
        std::cerr << text << '\n';
        return 1;
    }
    return driver.assembler()->printHexOutput(std::cout) ? 0 : 1;
}
