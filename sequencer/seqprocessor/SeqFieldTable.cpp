#include "sequencer/seqprocessor/SeqFieldTable.h"

#include <memory>

SeqFieldTable::SeqFieldTable(std::initializer_list<SeqFieldInit> fields) {
    add(fields);
}

void SeqFieldTable::add(const SeqFieldInit& field) {
    add(std::make_shared<SeqField>(field.id, field.name, field.msb, field.lsb));
}

void SeqFieldTable::add(std::initializer_list<SeqFieldInit> fields) {
    for (const auto& field : fields)
        add(field);
}

void SeqFieldTable::add(const SeqFieldTable& other) {
    for (const SeqField& field : other)
        add(std::make_shared<SeqField>(field));
}
