#pragma once

// AsmContainer: the statements a parse keeps, in source order, and the address pass that
// numbers the instructions and resolves address-label references, which may point backwards
// or forwards.

#include "sequencer/asmparser/AsmInstruction.h"
#include "sequencer/asmparser/AsmStatement.h"
#include "sequencer/asmparser/AsmToken.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class AsmErrorList;

class AsmContainer {
public:
    using address_t = uint64_t;
    using Container = std::vector<std::shared_ptr<AsmStatement>>;
    using iterator = Container::iterator;
    using const_iterator = Container::const_iterator;

    // Bookkeeping of one address label: the instruction carrying it, and the instructions
    // that reference it and still wait for its address.
    class AddressLabelInfo {
    public:
        using UnresolvedRefList = std::vector<std::shared_ptr<AsmInstruction>>;

        // For a defined label; the instruction must carry a label.
        explicit AddressLabelInfo(const std::shared_ptr<AsmInstruction>& labelStatement);
        // For a label first seen in a reference: the label statement is a LABEL_ONLY
        // placeholder on the label token's line, and ref is the first unresolved reference.
        AddressLabelInfo(const AsmToken& label, const std::shared_ptr<AsmInstruction>& ref);

        bool hasAddress() const { return m_labelStatement && m_labelStatement->hasAddress(); }
        int64_t address() const { return m_labelStatement ? m_labelStatement->address() : -1; }
        bool hasLabel() const { return m_labelStatement && m_labelStatement->hasAddressLabel(); }
        const AsmToken& label() const {
            return m_labelStatement ? m_labelStatement->addressLabel() : AsmStatement::s_emptyToken;
        }
        bool hasUnresolvedRefs() const { return !m_unresolvedRefs.empty(); }
        const UnresolvedRefList& unresolvedRefs() const { return m_unresolvedRefs; }
        const std::shared_ptr<AsmInstruction>& statement() const { return m_labelStatement; }
        // True while the label is only known from references.
        bool isPlaceholder() const;

        void setLabelStatement(const std::shared_ptr<AsmInstruction>& labelStatement);
        void addRef(const std::shared_ptr<AsmInstruction>& ref) { m_unresolvedRefs.push_back(ref); }
        // Gives the argument the label statement's address.
        void resolveRef(AsmArgument& arg) const;
        // Resolves every reference to this label in the listed instructions, then empties
        // the list.
        void resolveRefs();
        void clearRefs() { m_unresolvedRefs.clear(); }

    private:
        std::shared_ptr<AsmInstruction> m_labelStatement;
        UnresolvedRefList m_unresolvedRefs;
    };

    // Keyed by the label text; looked up with the label tokens without building a string.
    using AddressLabelMap =
        std::unordered_map<std::string, AddressLabelInfo, AsmTokenHash, AsmTokenEqual>;
    using TypeCountMap = std::unordered_map<AsmType::storage_t, uint64_t>;

    AsmContainer() = default;

    // Adds one statement and registers its address label; throws
    // AsmDuplicateAddressLabelError (and keeps nothing) when the label is already defined.
    void push_back(const std::shared_ptr<AsmStatement>& statement);
    // The same; a statement that is not kept stays with the caller.
    void push_back(std::shared_ptr<AsmStatement>&& statement);
    void clear();

    size_t size() const { return m_statements.size(); }
    bool empty() const { return m_statements.empty(); }
    iterator begin() { return m_statements.begin(); }
    iterator end() { return m_statements.end(); }
    const_iterator begin() const { return m_statements.begin(); }
    const_iterator end() const { return m_statements.end(); }

    // Number of kept statements of that kind.
    size_t typeCount(AsmType::storage_t kind) const;
    size_t numberOfInstructions() const { return typeCount(AsmType::INSTRUCTION); }

    const AddressLabelMap& addressLabels() const { return m_addressLabels; }

    // For passes over all statements, which find them cold in the cache: fetches the
    // statement a few places after `it` while the pass works on `it`. The objects of one line
    // (its text, the statement, its arguments and their list) are made one after the other in
    // arena memory, so the cache lines around the statement hold them too.
    static void prefetchAhead(const_iterator it, const_iterator end) noexcept {
        constexpr std::ptrdiff_t distance = 4;
        if (end - it > distance) {
            const auto address = reinterpret_cast<std::uintptr_t>((it + distance)->get());
            for (int line = -2; line < 6; ++line)
                __builtin_prefetch(reinterpret_cast<const void*>(address + line * 64));
        }
    }

    void clearInstructionAddresses();
    // Numbers the instructions from start in steps of increment and resolves the address
    // references; one AsmUnresolvedAddressLabelError per reference to an undefined label goes
    // into errors.
    void assignInstructionAddresses(AsmErrorList& errors, address_t start, address_t increment);
    void addAddressLabel(const std::shared_ptr<AsmStatement>& statement);

private:
    void add(std::shared_ptr<AsmStatement>&& statement);

    Container m_statements;
    AddressLabelMap m_addressLabels;
    // Counts of the kinds the parser produces in an array, of any other kind in the map.
    std::array<uint64_t, AsmType::INSTRUCTION + 1> m_knownTypeCounts{};
    TypeCountMap m_typeCounts;
};
