#include "sequencer/asmparser/AsmInstruction.h"

#include "base/utils/CharFilter.h"

AsmArgument::AsmArgument(const AsmArgument& other)
    : m_stringValue(other.m_stringValue),
      m_references(other.m_references ? makeArenaUnique<References>(*other.m_references) : nullptr),
      m_intValue(other.m_intValue), m_registerName(other.m_registerName),
      m_hasIntValue(other.m_hasIntValue) {}

AsmArgument& AsmArgument::operator=(const AsmArgument& other) {
    if (this != &other) {
        AsmArgument copy(other);
        *this = std::move(copy);
    }
    return *this;
}

AsmArgument::References& AsmArgument::references() {
    if (!m_references)
        m_references = makeArenaUnique<References>();
    return *m_references;
}

void AsmArgument::clearValue() {
    m_stringValue = AsmToken();
    m_intValue = 0;
    m_hasIntValue = false;
}

bool AsmArgument::hasUnresolvedSymbol() const {
    return hasSymbolRef() &&
           (!hasStringValue() || m_stringValue.sourceLine() == symbolName().sourceLine());
}

bool AsmArgument::isRegister() const {
    return CharFilters::isAlpha(m_registerName);
}

void AsmArgument::setImmediateStringValue(const AsmToken& text) {
    m_registerName = s_immediateRegisterName;
    m_stringValue = text;
}

void AsmArgument::setImmediateIntValue(int_type v) {
    m_registerName = s_immediateRegisterName;
    setIntValue(v);
}

void AsmArgument::setImmediateStringIntValue(const AsmToken& text, int_type v) {
    m_registerName = s_immediateRegisterName;
    m_stringValue = text;
    setIntValue(v);
}

void AsmArgument::setRegisterNameStringValue(char name, const AsmToken& text) {
    m_registerName = name;
    m_stringValue = text;
}

void AsmArgument::setRegisterNameIntValue(char name, int_type v) {
    m_registerName = name;
    setIntValue(v);
}

AsmInstruction::AsmInstruction() : AsmStatement(AsmType::EMPTY) {}

AsmInstruction::AsmInstruction(const line_ptr& line, AsmType type) : AsmStatement(line, type) {}

AsmInstruction::AsmInstruction(const AsmToken& command)
    : AsmStatement(command.sourceLine(), AsmType::INSTRUCTION), m_command(command) {}

AsmInstruction::AsmInstruction(AsmToken&& command)
    : AsmStatement(command.sourceLine(), AsmType::INSTRUCTION), m_command(std::move(command)) {}

AsmInstruction::AsmInstruction(const AsmToken& command, const AsmToken& label)
    : AsmStatement(command.sourceLine(), AsmType::INSTRUCTION), m_label(label), m_command(command) {
}

AsmInstruction::~AsmInstruction() = default;

void AsmInstruction::clear() {
    AsmStatement::clear();
    m_label = AsmToken();
    m_command = AsmToken();
    m_argList.clear();
    clearAddress();
}

void AsmInstruction::clearAllAddresses() {
    clearAddress();
    for (const auto& arg : m_argList)
        if (arg && arg->hasAddressRef())
            arg->clearValue();
}

std::shared_ptr<AsmArgument> AsmInstruction::getArg(unsigned i) {
    return i < m_argList.size() ? m_argList[i] : nullptr;
}

std::shared_ptr<const AsmArgument> AsmInstruction::getArg(unsigned i) const {
    return i < m_argList.size() ? m_argList[i] : nullptr;
}

void AsmInstruction::addArg(const std::string& text) {
    m_argList.push_back(std::make_shared<AsmArgument>(AsmToken(text)));
}

bool AsmInstruction::hasAddressLabelRef() const {
    for (const auto& arg : m_argList)
        if (arg && arg->hasAddressRef())
            return true;
    return false;
}
