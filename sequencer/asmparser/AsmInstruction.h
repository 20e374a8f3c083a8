#pragma once

// Instruction statements (AsmInstruction) and their arguments (AsmArgument). An argument says
// whether it is a register, an immediate value, an address-label reference or a symbol
// reference; all its text is held as tokens of the source line.

#include "base/utils/ArenaAllocator.h"
#include "sequencer/asmparser/AsmStatement.h"
#include "sequencer/asmparser/AsmToken.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class AsmArgument {
public:
    using int_type = int64_t;

    static constexpr char s_noRegisterName = 0;
    static constexpr char s_immediateRegisterName = '#';

    // All tokens empty, value 0, no register name, no value.
    AsmArgument() = default;
    // String value text, everything else as the default.
    explicit AsmArgument(const AsmToken& text) : m_stringValue(text) {}
    // Value v (valid), register name 0.
    explicit AsmArgument(int_type v) : m_intValue(v), m_hasIntValue(true) {}
    AsmArgument(const AsmArgument& other);
    AsmArgument(AsmArgument&&) noexcept = default;
    AsmArgument& operator=(const AsmArgument& other);
    AsmArgument& operator=(AsmArgument&&) noexcept = default;
    ~AsmArgument() = default;

    // Text as written, or the value text of a referenced symbol.
    bool hasStringValue() const { return !m_stringValue.empty(); }
    const AsmToken& stringValue() const { return m_stringValue; }
    void setStringValue(const AsmToken& value) { m_stringValue = value; }
    void setStringValue(AsmToken&& value) { m_stringValue = std::move(value); }

    bool hasIntValue() const { return m_hasIntValue; }
    int_type intValue() const { return m_intValue; }
    void setIntValue(int_type v) {
        m_intValue = v;
        m_hasIntValue = true;
    }
    // Empty string value, value 0, no value.
    void clearValue();

    bool hasAddressRef() const { return m_references && !m_references->addressLabel.empty(); }
    const AsmToken& addressLabel() const {
        return m_references ? m_references->addressLabel : AsmStatement::s_emptyToken;
    }
    void setAddressLabel(const AsmToken& label) { references().addressLabel = label; }
    // An address reference that has no number yet.
    bool hasUnresolvedAddressRef() const { return hasAddressRef() && !m_hasIntValue; }

    bool hasSymbolRef() const { return m_references && !m_references->symbolName.empty(); }
    const AsmToken& symbolName() const {
        return m_references ? m_references->symbolName : AsmStatement::s_emptyToken;
    }
    void setSymbolName(const AsmToken& name) { references().symbolName = name; }
    // A symbol reference whose value text was not substituted: the string value is empty or
    // still lies in the referencing line (a symbol's value lives in its defining line).
    bool hasUnresolvedSymbol() const;

    // A letter: register argument; '#': immediate value; 0: not classified.
    bool isRegister() const;
    bool isImmediate() const { return m_registerName == s_immediateRegisterName; }
    char registerName() const { return m_registerName; }

    void setImmediate() { m_registerName = s_immediateRegisterName; }
    void setImmediateStringValue(const AsmToken& text);
    void setImmediateIntValue(int_type v);
    void setImmediateStringIntValue(const AsmToken& text, int_type v);
    void setRegisterName(char name) { m_registerName = name; }
    void setRegisterNameStringValue(char name, const AsmToken& text);
    void setRegisterNameIntValue(char name, int_type v);

protected:
    // The tokens of an address-label or a symbol reference. Most arguments have neither, so
    // they are held apart (and made on first use) instead of as two empty tokens each.
    struct References {
        AsmToken addressLabel;
        AsmToken symbolName;
    };
    References& references();

    AsmToken m_stringValue;
    ArenaUniquePtr<References> m_references;
    int_type m_intValue = 0;
    char m_registerName = s_noRegisterName;
    bool m_hasIntValue = false;
};

class AsmInstruction : public AsmStatement {
public:
    using address_t = uint64_t;
    using ArgList =
        std::vector<std::shared_ptr<AsmArgument>, ArenaAllocator<std::shared_ptr<AsmArgument>>>;

    // EMPTY, no address.
    AsmInstruction();
    AsmInstruction(const line_ptr& line, AsmType type);
    // INSTRUCTION, line taken from the command token.
    explicit AsmInstruction(const AsmToken& command);
    explicit AsmInstruction(AsmToken&& command);
    AsmInstruction(const AsmToken& command, const AsmToken& label);
    AsmInstruction(const AsmInstruction&) = default;
    AsmInstruction& operator=(const AsmInstruction&) = default;

    ~AsmInstruction() override;
    void clear() override;
    AsmInstruction* asInstruction() noexcept override { return this; }
    const AsmInstruction* asInstruction() const noexcept override { return this; }

    // The address, -1 when none is assigned.
    int64_t address() const { return m_address; }
    bool hasAddress() const { return m_hasAddress; }
    void setAddress(address_t address) {
        m_address = static_cast<int64_t>(address);
        m_hasAddress = true;
    }
    void clearAddress() {
        m_address = -1;
        m_hasAddress = false;
    }

    // The address label defined on this line, without the label end character.
    const AsmToken& addressLabel() const { return m_label; }
    bool hasAddressLabel() const { return !m_label.empty(); }
    void setAddressLabel(const AsmToken& label) { m_label = label; }
    void clearAddressLabel() { m_label = AsmToken(); }

    // Clears the address and the values of all address-reference arguments.
    void clearAllAddresses();

    const AsmToken& command() const { return m_command; }
    void setCommand(const AsmToken& command) { m_command = command; }
    // The mnemonic becomes a token on a new line made from the text.
    void setCommand(const std::string& command) { m_command = command; }

    const ArgList& argList() const { return m_argList; }
    size_t numArgs() const { return m_argList.size(); }
    // Null when i is not below numArgs().
    std::shared_ptr<AsmArgument> getArg(unsigned i);
    std::shared_ptr<const AsmArgument> getArg(unsigned i) const;
    void reserveArgs(size_t count) { m_argList.reserve(count); }
    void addArg(const std::shared_ptr<AsmArgument>& arg) { m_argList.push_back(arg); }
    void addArg(std::shared_ptr<AsmArgument>&& arg) { m_argList.push_back(std::move(arg)); }
    void addArg(const AsmArgument& arg) { m_argList.push_back(std::make_shared<AsmArgument>(arg)); }
    void addArg(AsmArgument&& arg) {
        m_argList.push_back(std::make_shared<AsmArgument>(std::move(arg)));
    }
    void addArg(AsmArgument::int_type v) { m_argList.push_back(std::make_shared<AsmArgument>(v)); }
    // A new argument whose string value is a token made from the text.
    void addArg(const std::string& text);
    // True when any argument has an address reference.
    bool hasAddressLabelRef() const;

protected:
    AsmToken m_label;
    AsmToken m_command;
    ArgList m_argList;
    int64_t m_address = -1;
    bool m_hasAddress = false;
};
