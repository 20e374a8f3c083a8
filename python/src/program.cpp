#include "program.h"

#include "base/utils/SourceReader.h"
#include "sequencer/SeqAssembler.h"
#include "sequencer/seqprocessor/SeqProcessor.h"

#include <stdexcept>
#include <utility>

namespace vexa_py {

Program::Program(Origin origin, std::string name, std::shared_ptr<const std::string> source)
    : m_driver(std::make_unique<seq>()), m_layout(m_driver->processor()->instructionSet()),
      m_origin(origin), m_name(std::move(name)), m_source(std::move(source)) {}

std::vector<uint64_t> Program::words() const {
    const SeqProcessor& processor = *m_driver->processor();
    std::vector<uint64_t> words(m_driver->assembler()->numInstructions());
    for (uint32_t address = 0; address < words.size(); ++address)
        words[address] = processor.readInstructionMem(address);
    return words;
}

const seq_listing& Program::listing() {
    if (m_listing)
        return *m_listing;
    seq_listing listing;
    std::optional<StringSourceReader> fromText;
    std::optional<FileSourceReader> fromFile;
    SourceReader* source = nullptr;
    if (m_origin == Origin::Text)
        source = &fromText.emplace(m_source, m_name);
    else if (m_origin == Origin::File)
        source = &fromFile.emplace(m_name);
    UIStr message;
    if (!listing.build(*m_driver->assembler(), source, message))
        throw std::runtime_error(message);
    m_listing = std::move(listing);
    return *m_listing;
}

} // namespace vexa_py
