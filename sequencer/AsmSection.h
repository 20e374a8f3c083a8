#ifndef SEQUENCER_ASMSECTION_H
#define SEQUENCER_ASMSECTION_H

// The handler of one kind of source section (".CODE", ".SIM", ...). The driver
// starts every handler, feeds each the ordinary lines of its sections and
// finishes every handler once per run; errors go into the run's error list.

#include <memory>
#include <string>

class AsmErrorList;
class SourceLine;

class AsmSection {
public:
    virtual ~AsmSection() = default;

    // The directive text that selects this section, with the leading dot.
    virtual std::string asmSectionGetDirective() = 0;

    // Prepares for a new run; the driver ignores the result.
    virtual int asmSectionStart(AsmErrorList& errors) = 0;

    // Handles one source line of this section; true stops the reading of the source.
    virtual bool asmSectionProcessLine(const std::shared_ptr<const SourceLine>& line,
                                       AsmErrorList& errors) = 0;

    // Completes the run.
    virtual void asmSectionFinish(AsmErrorList& errors) = 0;
};

#endif
