#ifndef SEQPROCESSOR_SEQFIELDTABLE_H
#define SEQPROCESSOR_SEQFIELDTABLE_H

// The bit fields of an instruction word, by id and by name.

#include "sequencer/seqprocessor/SeqField.h"
#include "sequencer/seqprocessor/SeqIdNameLUT.h"

#include <initializer_list>

class SeqFieldTable : public SeqIdNameLUT<SeqField, SeqIdNameFunc<SeqField>> {
public:
    using Base = SeqIdNameLUT<SeqField, SeqIdNameFunc<SeqField>>;
    using Base::add;

    SeqFieldTable() = default;
    SeqFieldTable(std::initializer_list<SeqFieldInit> fields);

    void add(const SeqFieldInit& field);
    // Adds the records in list order.
    void add(std::initializer_list<SeqFieldInit> fields);
    // Adds, in id order, a new field object equal to each field of other.
    void add(const SeqFieldTable& other);
};

#endif
