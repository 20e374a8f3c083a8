#ifndef SEQPROCESSOR_SEQIDNAMELUT_H
#define SEQPROCESSOR_SEQIDNAMELUT_H

// Lookup table whose elements are reachable by a small dense numeric id (a vector index) and
// by name (a hash probe, or in a small table a comparison with each name). Fields, arguments,
// instruction variants and instruction families are kept in it; the key functor F says how an
// element's id and name are found.

#include "base/utils/stringUtils.h"
#include "sequencer/seqprocessor/SeqField.h"
#include "sequencer/seqprocessor/SeqProcError.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeinfo>
#include <vector>

// A number that changes with every change of any lookup table: each table holds one of these,
// which counts its construction, copy, assignment and destruction, and add() counts itself.
// Something built from tables (the simulator's decode tables) can then tell in one comparison
// that no table has changed since, and check in full only when one has.
class SeqTableGeneration {
public:
    static uint64_t current() { return s_count.load(std::memory_order_relaxed); }
    static void advance() { s_count.fetch_add(1, std::memory_order_relaxed); }

    SeqTableGeneration() { advance(); }
    SeqTableGeneration(const SeqTableGeneration&) { advance(); }
    SeqTableGeneration& operator=(const SeqTableGeneration&) {
        advance();
        return *this;
    }
    ~SeqTableGeneration() { advance(); }

private:
    static inline std::atomic<uint64_t> s_count{0};
};

// Key functor for elements with id() and hasId().
template <typename T> struct SeqIdFunc {
    static id_t id(const T& t) { return t.id(); }
    static bool hasId(const T& t) { return t.hasId(); }
};

// Key functor for elements with id() and name(); an empty name is no name.
template <typename T> struct SeqIdNameFunc : SeqIdFunc<T> {
    static const std::string& name(const T& t) { return t.name(); }
    static bool hasName(const T& t) { return !t.name().empty(); }
};

template <typename T, typename F> class SeqIdNameLUT {
public:
    using value_type = T;
    using key_func = F;
    using pointer_type = std::shared_ptr<T>;
    using const_pointer_type = std::shared_ptr<const T>;

private:
    using id_vector = std::vector<pointer_type>;

public:
    // Iterates over the elements in ascending id order, skipping empty slots.
    template <typename Ref, typename Ptr> class container_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = std::remove_cv_t<T>;
        using difference_type = std::ptrdiff_t;
        using reference = Ref;
        using pointer = Ptr;

        container_iterator() = default;
        container_iterator(typename id_vector::const_iterator current,
                           typename id_vector::const_iterator end)
            : m_current(current), m_end(end) {
            skipEmpty();
        }

        Ref operator*() const { return **m_current; }
        Ptr operator->() const { return *m_current; }
        container_iterator& operator++() {
            ++m_current;
            skipEmpty();
            return *this;
        }
        container_iterator operator++(int) {
            container_iterator old = *this;
            ++*this;
            return old;
        }
        bool operator==(const container_iterator& other) const {
            return m_current == other.m_current;
        }

    private:
        void skipEmpty() {
            while (m_current != m_end && !*m_current)
                ++m_current;
        }

        typename id_vector::const_iterator m_current{};
        typename id_vector::const_iterator m_end{};
    };

    using iterator = container_iterator<T&, const pointer_type&>;
    using const_iterator = container_iterator<const T&, const_pointer_type>;

    SeqIdNameLUT() = default;
    SeqIdNameLUT(const SeqIdNameLUT&) = default;
    SeqIdNameLUT(SeqIdNameLUT&&) = default;
    SeqIdNameLUT& operator=(const SeqIdNameLUT&) = default;
    SeqIdNameLUT& operator=(SeqIdNameLUT&&) = default;
    virtual ~SeqIdNameLUT() = default;

    // Adds an element under its id and (when it has one) its name. Every check comes before
    // any change, so a failed add leaves the table as it was.
    void add(pointer_type p);
    // Adds a shared copy of the element.
    void add(const T& t) { add(std::make_shared<T>(t)); }

    // The element with that id or name, or a null pointer.
    const pointer_type& find(id_t id) const {
        return id < m_LUTbyId.size() ? m_LUTbyId[id] : s_null;
    }
    const pointer_type& find(std::string_view name) const {
        if (!m_nameIndex.empty()) {
            const std::size_t mask = m_nameIndex.size() - 1;
            for (std::size_t slot = hashText(name) & mask;; slot = (slot + 1) & mask) {
                const id_t entry = m_nameIndex[slot];
                if (entry == 0)
                    return s_null;
                const pointer_type& p = m_LUTbyId[entry - 1];
                if (equalText(F::name(*p), name))
                    return p;
            }
        }
        // A small table (the variants of one mnemonic, the fields of one definition) is
        // searched by comparing names; it is cheaper to fill and no slower to search than
        // a hash map.
        for (const pointer_type& p : m_LUTbyId)
            if (p && F::hasName(*p) && equalText(F::name(*p), name))
                return p;
        return s_null;
    }
    const pointer_type& operator[](id_t id) const { return find(id); }
    const pointer_type& operator[](std::string_view name) const { return find(name); }

    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    // Length of the id vector: the largest id + 1 (empty slots included).
    std::size_t idSlots() const { return m_LUTbyId.size(); }

    iterator begin() { return iterator(m_LUTbyId.cbegin(), m_LUTbyId.cend()); }
    iterator end() { return iterator(m_LUTbyId.cend(), m_LUTbyId.cend()); }
    const_iterator begin() const { return const_iterator(m_LUTbyId.cbegin(), m_LUTbyId.cend()); }
    const_iterator end() const { return const_iterator(m_LUTbyId.cend(), m_LUTbyId.cend()); }
    iterator beginById() { return begin(); }
    const_iterator beginById() const { return begin(); }

    // The element with the lowest id, or a null pointer when the table is empty.
    const pointer_type& front() const {
        for (const auto& p : m_LUTbyId)
            if (p)
                return p;
        return s_null;
    }

    // Builds (does not throw) the error for an element that clashes with one already present.
    SeqProcDuplicateError duplicateError(const T& existing, const T& added) const;

    // Type name of the element type as messages print it, for example "8SeqField".
    static const char* typeName() { return typeid(std::remove_cv_t<T>).name(); }

private:
    static inline const pointer_type s_null{};
    // Tables of this many elements and more keep a name index.
    static constexpr std::size_t s_indexFrom = 9;

    // Enters the name of the element with that id into `index`, which has a free slot.
    static void indexName(std::vector<id_t>& index, std::string_view name, std::size_t id) {
        const std::size_t mask = index.size() - 1;
        std::size_t slot = hashText(name) & mask;
        while (index[slot] != 0)
            slot = (slot + 1) & mask;
        index[slot] = static_cast<id_t>(id + 1);
    }

    SeqTableGeneration m_generation;
    std::size_t m_size = 0;
    id_vector m_LUTbyId;
    // The names of a larger table, by open addressing: a power of two of slots, at least
    // twice the elements, each 0 (free) or the id + 1 of a named element. Empty for a small
    // table, which is searched by comparing names.
    std::vector<id_t> m_nameIndex;
};

template <typename T, typename F> void SeqIdNameLUT<T, F>::add(pointer_type p) {
    if (!p)
        throw SeqProcUninitializedError(std::string("Adding nullptr to lookup table."));
    if (!F::hasId(*p))
        throw SeqProcUninitializedError(std::string("Adding unitialized element lookup table."));
    const bool named = F::hasName(*p);
    if (named) {
        const pointer_type& existing = find(std::string_view(F::name(*p)));
        if (existing)
            throw duplicateError(*existing, *p);
    }
    const std::size_t k = F::id(*p);
    if (k < m_LUTbyId.size() && m_LUTbyId[k])
        throw duplicateError(*m_LUTbyId[k], *p);
    // Allocate first, so that nothing below can fail half-way.
    if (k >= m_LUTbyId.size())
        m_LUTbyId.reserve(k + 1);
    const std::size_t elements = m_size + 1;
    if (elements >= s_indexFrom && elements * 2 > m_nameIndex.size()) {
        // A new index, twice as large as the last one.
        std::vector<id_t> index(std::max<std::size_t>(16, m_nameIndex.size() * 2), 0);
        while (index.size() < elements * 2)
            index.resize(index.size() * 2);
        for (std::size_t id = 0; id < m_LUTbyId.size(); ++id)
            if (m_LUTbyId[id] && F::hasName(*m_LUTbyId[id]))
                indexName(index, F::name(*m_LUTbyId[id]), id);
        m_nameIndex = std::move(index);
    }
    if (named && !m_nameIndex.empty())
        indexName(m_nameIndex, F::name(*p), k);
    if (k >= m_LUTbyId.size())
        m_LUTbyId.resize(k + 1);
    m_LUTbyId[k] = std::move(p);
    ++m_size;
    SeqTableGeneration::advance();
}

template <typename T, typename F>
SeqProcDuplicateError SeqIdNameLUT<T, F>::duplicateError(const T& existing, const T& added) const {
    SeqProcDuplicateError error(std::string("Duplicate SeqIdNameLUT "));
    error << typeName() << " entry with"
          << " (id1=" << static_cast<unsigned>(F::id(existing));
    if (F::hasName(existing))
        error << ", name1=\"" << std::string(F::name(existing)) << "\"";
    error << ")"
          << "& (id2=" << static_cast<unsigned>(F::id(added));
    if (F::hasName(added))
        error << ", name2=\"" << std::string(F::name(added)) << "\"";
    error << ")";
    return error;
}

#endif
