#ifndef SEQPROCESSOR_SEQARGUMENTTABLE_H
#define SEQPROCESSOR_SEQARGUMENTTABLE_H

// The instruction arguments by id and by name, together with the fields they write.

#include "sequencer/seqprocessor/SeqArgument.h"
#include "sequencer/seqprocessor/SeqFieldTable.h"
#include "sequencer/seqprocessor/SeqIdNameLUT.h"

#include <initializer_list>

class SeqArgumentTable : public SeqIdNameLUT<SeqArgument, SeqIdNameFunc<SeqArgument>> {
public:
    using Base = SeqIdNameLUT<SeqArgument, SeqIdNameFunc<SeqArgument>>;
    using Base::add;

    SeqArgumentTable() = default;
    // The field table becomes a copy of fields (sharing the field objects).
    SeqArgumentTable(const SeqFieldTable& fields, std::initializer_list<SeqArgumentInit> args);
    SeqArgumentTable(std::initializer_list<SeqFieldInit> fields,
                     std::initializer_list<SeqArgumentInit> args);

    // Creates the argument on the field with the record's fieldId; throws
    // SeqProcInstructionTableError when the field table lacks it.
    void add(const SeqArgumentInit& arg);
    void add(std::initializer_list<SeqArgumentInit> args);

    const SeqFieldTable& fieldTable() const { return m_fieldTable; }
    SeqFieldTable& fieldTable() { return m_fieldTable; }

private:
    SeqFieldTable m_fieldTable;
};

#endif
