#include "sequencer/seqprocessor/SeqArgument.h"

#include <cctype>
#include <utility>

SeqArgument::SeqArgument(unsigned id, const std::string& name, const std::string& registerName,
                         std::shared_ptr<const SeqField> field, value_t minValue, value_t maxValue)
    : m_field(std::move(field)), m_id(id), m_minValue(minValue), m_maxValue(maxValue), m_name(name),
      m_registerName(registerName) {
    // A maximum below the minimum grants the whole unsigned range of the field.
    if (m_maxValue < m_minValue && m_field)
        m_maxValue = static_cast<value_t>(m_field->range());
}

bool SeqArgument::isRegister() const {
    return !m_registerName.empty() &&
           std::isalpha(static_cast<unsigned char>(m_registerName.front())) != 0;
}

bool SeqArgument::setValue(instruction_t& word, value_t v) const {
    if (!isInRange(v))
        return false;
    m_field->setfast(word, static_cast<SeqField::value_t>(v));
    return true;
}
