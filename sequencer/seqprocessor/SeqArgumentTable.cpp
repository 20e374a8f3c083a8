#include "sequencer/seqprocessor/SeqArgumentTable.h"

#include <memory>
#include <string>

SeqArgumentTable::SeqArgumentTable(const SeqFieldTable& fields,
                                   std::initializer_list<SeqArgumentInit> args)
    : m_fieldTable(fields) {
    add(args);
}

SeqArgumentTable::SeqArgumentTable(std::initializer_list<SeqFieldInit> fields,
                                   std::initializer_list<SeqArgumentInit> args)
    : m_fieldTable(fields) {
    add(args);
}

void SeqArgumentTable::add(const SeqArgumentInit& arg) {
    const auto& field = m_fieldTable.find(static_cast<id_t>(arg.fieldId));
    if (!field)
        throw SeqProcInstructionTableError(std::string("SeqArgumentTable: Argument with Id="))
            << arg.id << " (name=\"" << arg.name << "\"): "
            << "could not find SeqField with fieldId=" << arg.fieldId;
    add(std::make_shared<SeqArgument>(arg.id, arg.name, arg.registerName, field,
                                      static_cast<SeqArgument::value_t>(arg.minValue),
                                      static_cast<SeqArgument::value_t>(arg.maxValue)));
}

void SeqArgumentTable::add(std::initializer_list<SeqArgumentInit> args) {
    for (const auto& arg : args)
        add(arg);
}
