#include "sequencer/seqprocessor/SeqField.h"

SeqField::SeqField(id_t id, const std::string& name, unsigned msb, unsigned lsb)
    // The shift count is taken modulo 64: a 64-bit field shifts 2 out entirely and 0 - 1
    // wraps to all ones.
    : m_mask((instruction_t{2} << ((msb - lsb) & 63u)) - 1), m_bitPattern(m_mask << (lsb & 63u)),
      m_shift(lsb), m_id(id), m_name(name) {}

bool SeqField::set(instruction_t& word, value_t v) const {
    if (!isInRange(v))
        return false;
    setfast(word, v);
    return true;
}
