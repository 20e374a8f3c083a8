#ifndef SEQPROCESSOR_SEQFIELD_H
#define SEQPROCESSOR_SEQFIELD_H

// A named run of adjacent bits of the 64-bit instruction word, read and written by shift and
// mask.

#include <cstdint>
#include <string>

using instruction_t = std::uint64_t;
// Identifier of a field or argument; the all-ones value means "no id".
using id_t = std::uint32_t;

// Plain record with which field tables are listed.
struct SeqFieldInit {
    std::uint32_t id;
    const char* name;
    std::uint32_t msb;
    std::uint32_t lsb;
};

class SeqField {
public:
    using value_t = instruction_t;
    static constexpr id_t s_no_id = 0xFFFFFFFF;

    // A field without id; it cannot be added to a table.
    SeqField() = default;
    // The field of bits msb..lsb; msb >= lsb is the caller's duty.
    SeqField(id_t id, const std::string& name, unsigned msb, unsigned lsb);

    id_t id() const { return m_id; }
    const std::string& name() const { return m_name; }
    bool hasId() const { return m_id != s_no_id; }
    // Right-aligned mask of the field width.
    instruction_t range() const { return m_mask; }
    // The field's bits in place.
    instruction_t bitPattern() const { return m_bitPattern; }
    // Bit number of the least significant bit.
    unsigned shift() const { return m_shift; }

    value_t get(const instruction_t& word) const { return (word >> m_shift) & m_mask; }
    // Writes v without range check; high bits beyond the field width are dropped.
    void setfast(instruction_t& word, value_t v) const {
        word = (word & ~m_bitPattern) | ((v & m_mask) << m_shift);
    }
    bool isInRange(value_t v) const { return v <= m_mask; }
    // Writes v when it fits the field; otherwise leaves the word unchanged and returns false.
    bool set(instruction_t& word, value_t v) const;

private:
    instruction_t m_mask = 0;
    instruction_t m_bitPattern = 0;
    std::uint32_t m_shift = 0;
    id_t m_id = s_no_id;
    std::string m_name;
};

#endif
