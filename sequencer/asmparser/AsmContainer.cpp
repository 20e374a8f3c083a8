#include "sequencer/asmparser/AsmContainer.h"

#include "base/Logging.h"
#include "sequencer/asmparser/AsmErrorList.h"
#include "sequencer/asmparser/AsmException.h"

#include <cstdio>

namespace {

constexpr const char* s_sourceFile = "asmparser/AsmContainer";

bool isDebugTraceActive() {
    return Logging::isLogLevelActive(LogLevel::verbose);
}

// Addresses appear in the trace as 32-bit hexadecimal numbers.
std::string hex32(int64_t address) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%x", static_cast<unsigned>(address));
    return buffer;
}

// The text may come from the source, so it is written whole rather than through a format.
void trace(const std::string& text) {
    Logging::writeText(LogLevel::debug, text);
}

// The statement as an instruction, when it is one that gets an address.
AsmInstruction* numberedInstruction(const std::shared_ptr<AsmStatement>& statement) {
    if (!statement || statement->type() != AsmType::INSTRUCTION)
        return nullptr;
    return statement->asInstruction();
}

std::shared_ptr<AsmInstruction> shareInstruction(const std::shared_ptr<AsmStatement>& statement,
                                                 AsmInstruction* instruction) {
    return std::shared_ptr<AsmInstruction>(statement, instruction);
}

} // namespace

AsmContainer::AddressLabelInfo::AddressLabelInfo(
    const std::shared_ptr<AsmInstruction>& labelStatement)
    : m_labelStatement(labelStatement) {
    if (!m_labelStatement || !m_labelStatement->hasAddressLabel())
        throwBug(s_sourceFile, __LINE__, "AddressLabelInfo",
                 "AddressLabelInfo created from AsmInstruction without a label.");
}

AsmContainer::AddressLabelInfo::AddressLabelInfo(const AsmToken& label,
                                                 const std::shared_ptr<AsmInstruction>& ref) {
    if (label.empty())
        throwBug(s_sourceFile, __LINE__, "AddressLabelInfo",
                 "AddressLabelInfo created from empty AsmToken label.");
    m_labelStatement = std::make_shared<AsmInstruction>(label.sourceLine(), AsmType::LABEL_ONLY);
    m_labelStatement->setAddressLabel(label);
    m_unresolvedRefs.push_back(ref);
}

bool AsmContainer::AddressLabelInfo::isPlaceholder() const {
    return m_labelStatement && m_labelStatement->type() == AsmType::LABEL_ONLY;
}

void AsmContainer::AddressLabelInfo::setLabelStatement(
    const std::shared_ptr<AsmInstruction>& labelStatement) {
    if (!labelStatement)
        throwBug(s_sourceFile, __LINE__, "setLabelStatement",
                 "Can not set empty label statement pointer");
    m_labelStatement = labelStatement;
}

void AsmContainer::AddressLabelInfo::resolveRef(AsmArgument& arg) const {
    const int64_t addr = address();
    arg.setIntValue(addr);
    if (isDebugTraceActive())
        trace("Resolving address label '" + label().toString() + "' reference to address " +
              hex32(addr));
}

void AsmContainer::AddressLabelInfo::resolveRefs() {
    const AsmToken& labelText = label();
    for (const auto& instruction : m_unresolvedRefs) {
        if (!instruction)
            continue;
        for (const auto& arg : instruction->argList())
            if (arg && arg->addressLabel() == labelText)
                resolveRef(*arg);
    }
    m_unresolvedRefs.clear();
}

void AsmContainer::push_back(const std::shared_ptr<AsmStatement>& statement) {
    if (statement)
        add(std::shared_ptr<AsmStatement>(statement));
}

void AsmContainer::push_back(std::shared_ptr<AsmStatement>&& statement) {
    if (statement)
        add(std::move(statement));
}

void AsmContainer::add(std::shared_ptr<AsmStatement>&& statement) {
    if (statement->type() == AsmType::LABEL_ONLY)
        throwBug(s_sourceFile, __LINE__, "push_back",
                 "Can not add LABEL_ONLY statements to AsmContainer. Merge with next real "
                 "instruction before adding");
    addAddressLabel(statement);
    const AsmType::storage_t kind = statement->type();
    m_statements.push_back(std::move(statement));
    if (kind < m_knownTypeCounts.size())
        ++m_knownTypeCounts[kind];
    else
        ++m_typeCounts[kind];
}

void AsmContainer::clear() {
    for (auto it = m_statements.begin(); it != m_statements.end(); ++it) {
        prefetchAhead(it, m_statements.end());
        it->reset();
    }
    m_statements.clear();
    m_addressLabels.clear();
    m_knownTypeCounts.fill(0);
    m_typeCounts.clear();
}

size_t AsmContainer::typeCount(AsmType::storage_t kind) const {
    if (kind < m_knownTypeCounts.size())
        return m_knownTypeCounts[kind];
    const auto found = m_typeCounts.find(kind);
    return found == m_typeCounts.end() ? 0 : found->second;
}

void AsmContainer::addAddressLabel(const std::shared_ptr<AsmStatement>& statement) {
    AsmInstruction* instruction = statement->asInstruction();
    if (!instruction || !instruction->hasAddressLabel())
        return;
    const AsmToken& label = instruction->addressLabel();
    const auto found = m_addressLabels.find(label.view());
    if (found == m_addressLabels.end()) {
        m_addressLabels.emplace(label.toString(),
                                AddressLabelInfo(shareInstruction(statement, instruction)));
        return;
    }
    // A label known only from references is defined here for the first time.
    if (found->second.isPlaceholder()) {
        found->second.setLabelStatement(shareInstruction(statement, instruction));
        return;
    }
    const std::vector<AsmSourceError::SourceLinePtr> lines{found->second.statement()->sourceLine(),
                                                           instruction->sourceLine()};
    throw AsmDuplicateAddressLabelError(lines, label.toString());
}

void AsmContainer::clearInstructionAddresses() {
    for (auto it = m_statements.cbegin(); it != m_statements.cend(); ++it) {
        prefetchAhead(it, m_statements.cend());
        if (AsmInstruction* instruction = numberedInstruction(*it))
            instruction->clearAllAddresses();
    }
}

void AsmContainer::assignInstructionAddresses(AsmErrorList& errors, address_t start,
                                              address_t increment) {
    clearInstructionAddresses();
    // References are collected afresh below; lists left by an earlier pass would report the
    // same reference again.
    for (auto& entry : m_addressLabels)
        entry.second.clearRefs();

    address_t address = start;
    for (auto it = m_statements.cbegin(); it != m_statements.cend(); ++it) {
        prefetchAhead(it, m_statements.cend());
        const auto& statement = *it;
        AsmInstruction* instruction = numberedInstruction(statement);
        if (!instruction)
            continue;
        instruction->setAddress(address);

        if (instruction->hasAddressLabel()) {
            const AsmToken& label = instruction->addressLabel();
            const auto found = m_addressLabels.find(label.view());
            if (found == m_addressLabels.end()) {
                if (isDebugTraceActive())
                    trace("assigning address " + hex32(instruction->address()) + " to new label '" +
                          label.toString() + "'");
                m_addressLabels.emplace(label.toString(),
                                        AddressLabelInfo(shareInstruction(statement, instruction)));
            } else {
                if (isDebugTraceActive())
                    trace("assigning address " + hex32(instruction->address()) +
                          " to existing label '" + label.toString() + "'");
                found->second.setLabelStatement(shareInstruction(statement, instruction));
                found->second.resolveRefs();
            }
        }

        for (const auto& arg : instruction->argList()) {
            if (!arg || !arg->hasAddressRef())
                continue;
            const AsmToken& ref = arg->addressLabel();
            const auto found = m_addressLabels.find(ref.view());
            if (found != m_addressLabels.end() && found->second.hasAddress()) {
                found->second.resolveRef(*arg);
            } else if (found != m_addressLabels.end()) {
                if (isDebugTraceActive())
                    trace("adding another unresolved reference to address label '" +
                          ref.toString() + "'");
                found->second.addRef(shareInstruction(statement, instruction));
            } else {
                if (isDebugTraceActive())
                    trace("assigning first unresolved reference to address label '" +
                          ref.toString() + "'");
                m_addressLabels.emplace(
                    ref.toString(),
                    AddressLabelInfo(ref, shareInstruction(statement, instruction)));
            }
        }
        address += increment;
    }

    for (auto& [name, info] : m_addressLabels) {
        if (info.hasAddress())
            info.resolveRefs();
        for (const auto& instruction : info.unresolvedRefs())
            if (instruction)
                errors.insert(std::make_shared<AsmUnresolvedAddressLabelError>(
                    instruction->sourceLine(), name));
    }
}
