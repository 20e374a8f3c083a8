#ifndef SEQPROCESSOR_SEQMEMORY_H
#define SEQPROCESSOR_SEQMEMORY_H

// A named array of words with bounds-checked and unchecked access. It either owns its storage
// (allocated cleared to 0) or borrows storage that the caller keeps alive and frees.

#include "sequencer/seqprocessor/SeqProcError.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <type_traits>
#include <utility>

template <typename memory_t, typename address_t> class SeqMemory {
    // Owned storage comes from calloc: words must be plain numbers.
    static_assert(std::is_trivially_default_constructible_v<memory_t> &&
                  std::is_trivially_destructible_v<memory_t>);

public:
    // No storage, size 0.
    explicit SeqMemory(const std::string& name) : m_name(name) {}
    // Owned storage of size words, all 0.
    SeqMemory(const std::string& name, address_t size) : m_name(name) { setMemory(size, nullptr); }
    // External storage of size words when memory is not null (used as given, never freed);
    // owned storage otherwise.
    SeqMemory(const std::string& name, memory_t* memory, address_t size) : m_name(name) {
        setMemory(size, memory);
    }
    SeqMemory(const SeqMemory&) = delete;
    SeqMemory& operator=(const SeqMemory&) = delete;
    // A moved-from memory is empty (size 0, no storage).
    SeqMemory(SeqMemory&& other) noexcept
        : m_memory(std::exchange(other.m_memory, nullptr)),
          m_size(std::exchange(other.m_size, address_t{0})), m_name(std::move(other.m_name)),
          m_ownedStorage(std::move(other.m_ownedStorage)) {}
    SeqMemory& operator=(SeqMemory&& other) noexcept {
        if (this != &other) {
            m_memory = std::exchange(other.m_memory, nullptr);
            m_size = std::exchange(other.m_size, address_t{0});
            m_name = std::move(other.m_name);
            m_ownedStorage = std::move(other.m_ownedStorage);
        }
        return *this;
    }
    ~SeqMemory() = default;

    // Sets to 0 every word from start up to, not including, min(end, size).
    void initMem(address_t start, address_t end) {
        const address_t last = std::min(end, m_size);
        if (start < last)
            std::fill(m_memory + start, m_memory + last, memory_t{});
    }

    void writeMem(address_t address, memory_t value) {
        if (address >= m_size)
            throwOutOfRange("Attempt to write ", address);
        m_memory[address] = value;
    }
    memory_t readMem(address_t address) const {
        if (address >= m_size)
            throwOutOfRange("Attempt to read ", address);
        return m_memory[address];
    }
    // Unchecked: the caller guarantees address < size().
    void writeMemFast(address_t address, memory_t value) { m_memory[address] = value; }
    memory_t readMemFast(address_t address) const { return m_memory[address]; }

    address_t size() const { return m_size; }
    const std::string& name() const { return m_name; }
    bool ownsMemory() const { return m_ownedStorage != nullptr; }
    const memory_t* data() const { return m_memory; }

    // The storage step of the constructors: owned and cleared when memory is null, external
    // otherwise. Storage owned before is freed.
    void setMemory(address_t size, memory_t* memory) {
        if (memory) {
            m_ownedStorage.reset();
            m_memory = memory;
        } else {
            // Cleared: a program that runs past its last word reads 0 ("illegal"), the same
            // on every run. calloc leaves memory fresh from the system untouched (it is zero
            // already), so the pages of a large memory are only touched where it is used.
            m_ownedStorage.reset(
                size > 0 ? static_cast<memory_t*>(std::calloc(size, sizeof(memory_t))) : nullptr);
            if (size > 0 && !m_ownedStorage)
                throw std::bad_alloc();
            m_memory = m_ownedStorage.get();
        }
        m_size = size;
    }

private:
    [[noreturn]] void throwOutOfRange(const char* what, address_t address) const {
        throw SeqProcMemoryError(std::string(what))
            << m_name << " at address " << address << " beyond maximum address "
            << static_cast<address_t>(m_size - 1);
    }

    memory_t* m_memory = nullptr;
    address_t m_size = 0;
    std::string m_name;
    struct FreeStorage {
        void operator()(memory_t* storage) const noexcept { std::free(storage); }
    };
    // Set when the storage is owned (the owning flag); freed with this object.
    std::unique_ptr<memory_t, FreeStorage> m_ownedStorage;
};

#endif
