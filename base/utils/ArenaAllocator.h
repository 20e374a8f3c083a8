// Allocation for the many small objects of an assembly run: source lines and their text,
// statements, arguments and argument lists. Blocks are cut one after the other from 64 KiB
// chunks, so the objects of consecutive lines lie next to each other and a pass over all
// statements walks memory in order. A chunk counts the blocks it has handed out; once all of
// them are released (when the next run starts) the whole chunk is reused, so a repeated
// assembly runs in the memory of the run before it. Chunks are kept for reuse and never
// returned to the system.
//
// Each thread cuts from its own chunks. A block released by another thread than the one
// that made it is simply not counted, which leaves its chunk in use for good: safe, if
// wasteful. Under AddressSanitizer every block comes from operator new, so that
// use-after-free and overflow checks still see each object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>

#if defined(__SANITIZE_ADDRESS__)
#define VEXA_ARENA_DISABLED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VEXA_ARENA_DISABLED 1
#endif
#endif

namespace arena {

inline constexpr std::size_t chunkSize = 64 * 1024;
// Larger blocks, and blocks aligned beyond maxAlign, come from operator new.
inline constexpr std::size_t largestBlock = 4 * 1024;
inline constexpr std::size_t maxAlign = 16;

namespace detail {

// The header at the start of every chunk; the blocks follow it.
struct Chunk {
    char* next;        // first byte not handed out
    std::size_t live;  // blocks handed out and not yet released
    Chunk* nextFree;   // link in the owner's list of empty chunks
    const void* owner; // the arena of the thread that cuts from this chunk
};

struct Arena {
    Chunk* current = nullptr; // the chunk blocks are cut from
    Chunk* empty = nullptr;   // chunks whose blocks have all been released
};

inline thread_local constinit Arena t_arena;

inline constexpr std::size_t headerSize = (sizeof(Chunk) + maxAlign - 1) / maxAlign * maxAlign;

inline char* chunkBegin(Chunk* chunk) {
    return reinterpret_cast<char*>(chunk) + headerSize;
}
inline char* chunkEnd(Chunk* chunk) {
    return reinterpret_cast<char*>(chunk) + chunkSize;
}
inline char* alignUp(char* p, std::size_t align) {
    const auto address = reinterpret_cast<std::uintptr_t>(p);
    return p + ((align - (address & (align - 1))) & (align - 1));
}
inline bool isArenaBlock(std::size_t bytes, std::size_t align) {
    return bytes <= largestBlock && align <= maxAlign;
}

// The slow paths: a new current chunk, and a chunk whose blocks are all released.
void* allocateFromNewChunk(std::size_t bytes, std::size_t align);
void releaseChunk(Chunk* chunk) noexcept;

} // namespace detail

// A block of `bytes` bytes aligned to `align` (a power of two).
inline void* allocate(std::size_t bytes, std::size_t align) {
#ifndef VEXA_ARENA_DISABLED
    if (detail::isArenaBlock(bytes, align)) {
        detail::Chunk* chunk = detail::t_arena.current;
        if (chunk != nullptr) {
            char* block = detail::alignUp(chunk->next, align);
            if (bytes <= static_cast<std::size_t>(detail::chunkEnd(chunk) - block)) {
                chunk->next = block + bytes;
                ++chunk->live;
                return block;
            }
        }
        return detail::allocateFromNewChunk(bytes, align);
    }
#endif
    return ::operator new(bytes, std::align_val_t(align));
}

// Releases a block; `bytes` and `align` must be those it was allocated with.
inline void deallocate(void* block, [[maybe_unused]] std::size_t bytes,
                       std::size_t align) noexcept {
#ifndef VEXA_ARENA_DISABLED
    if (detail::isArenaBlock(bytes, align)) {
        auto* chunk = reinterpret_cast<detail::Chunk*>(reinterpret_cast<std::uintptr_t>(block) &
                                                       ~std::uintptr_t{chunkSize - 1});
        if (chunk->owner == &detail::t_arena && --chunk->live == 0)
            detail::releaseChunk(chunk);
        return;
    }
#endif
    // The unsized form: clang declares the sized one only with -fsized-deallocation.
    ::operator delete(block, std::align_val_t(align));
}

} // namespace arena

// Standard allocator interface over the arena, for containers and std::allocate_shared.
template <class T> class ArenaAllocator {
public:
    using value_type = T;

    ArenaAllocator() noexcept = default;
    template <class U> ArenaAllocator(const ArenaAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T))
            throw std::bad_array_new_length();
        return static_cast<T*>(arena::allocate(n * sizeof(T), alignof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept {
        arena::deallocate(p, n * sizeof(T), alignof(T));
    }

    template <class U> bool operator==(const ArenaAllocator<U>&) const noexcept { return true; }
};

// std::make_shared with the object and its reference counts in one arena block.
template <class T, class... Args> std::shared_ptr<T> makeArenaShared(Args&&... args) {
    return std::allocate_shared<T>(ArenaAllocator<T>(), std::forward<Args>(args)...);
}

// Sole ownership of one object in arena memory.
template <class T> struct ArenaDelete {
    void operator()(T* p) const noexcept {
        p->~T();
        arena::deallocate(p, sizeof(T), alignof(T));
    }
};
template <class T> using ArenaUniquePtr = std::unique_ptr<T, ArenaDelete<T>>;

template <class T, class... Args> ArenaUniquePtr<T> makeArenaUnique(Args&&... args) {
    void* memory = arena::allocate(sizeof(T), alignof(T));
    try {
        return ArenaUniquePtr<T>(new (memory) T(std::forward<Args>(args)...));
    } catch (...) {
        arena::deallocate(memory, sizeof(T), alignof(T));
        throw;
    }
}
