#ifndef SEQPROCESSOR_SEQARGUMENT_H
#define SEQPROCESSOR_SEQARGUMENT_H

// An instruction argument: writes one integer of a permitted range into one field. Register
// arguments carry the register prefix ("R"), immediates an empty register name.

#include "sequencer/seqprocessor/SeqField.h"

#include <cstdint>
#include <memory>
#include <string>

// Plain record with which argument tables are listed. A maxValue below minValue grants the
// field's whole unsigned range above minValue.
struct SeqArgumentInit {
    std::uint32_t id;
    const char* name;
    const char* registerName;
    std::uint32_t fieldId;
    std::int32_t minValue;
    std::int32_t maxValue;
};

class SeqArgument {
public:
    using value_t = std::int64_t;
    static constexpr id_t s_no_id = 0xFFFFFFFF;

    // An argument without id; it cannot be added to a table.
    SeqArgument() = default;
    // When maxValue < minValue the maximum becomes the field's range (its mask).
    SeqArgument(unsigned id, const std::string& name, const std::string& registerName,
                std::shared_ptr<const SeqField> field, value_t minValue, value_t maxValue);

    id_t id() const { return m_id; }
    const std::string& name() const { return m_name; }
    bool hasId() const { return m_id != s_no_id; }
    value_t minValue() const { return m_minValue; }
    value_t maxValue() const { return m_maxValue; }
    const std::shared_ptr<const SeqField>& field() const { return m_field; }
    const std::string& registerName() const { return m_registerName; }

    // True when the register name starts with a letter.
    bool isRegister() const;
    bool isInRange(value_t v) const { return m_minValue <= v && v <= m_maxValue; }
    // Writes v (negative values in two's complement, cut to the field width) when it is in
    // range; otherwise leaves the word unchanged and returns false.
    bool setValue(instruction_t& word, value_t v) const;
    // The raw field contents, without sign extension.
    value_t getValue(const instruction_t& word) const {
        return static_cast<value_t>(m_field->get(word));
    }

private:
    std::shared_ptr<const SeqField> m_field;
    id_t m_id = s_no_id;
    value_t m_minValue = 0;
    value_t m_maxValue = 0;
    std::string m_name;
    std::string m_registerName;
};

#endif
