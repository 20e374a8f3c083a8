// Allocation for the many small shared objects of an assembly run (source lines, statements,
// arguments), which are created line by line and released together when the next run
// starts. A released block goes onto a free list for its size and is handed out again, a few
// instructions instead of a trip through the general-purpose allocator. The memory is kept
// for reuse and never returned. Under AddressSanitizer every block comes from operator new,
// so that use-after-free and overflow checks still see each object.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define VEXA_POOL_DISABLED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VEXA_POOL_DISABLED 1
#endif
#endif

namespace pool_detail {

// Every chunk ever taken stays listed here, so the memory is reachable to the end (leak
// checkers do not report it) even when all its blocks are in use or the thread that took it
// has ended.
inline void registerChunk(void* chunk) {
    static std::mutex* mutex = new std::mutex;
    static auto* chunks = new std::vector<void*>;
    const std::lock_guard<std::mutex> lock(*mutex);
    chunks->push_back(chunk);
}

// Blocks of Size bytes aligned to Align. The free lists are per thread, so no locking is
// needed; a block released in another thread joins that thread's list.
template <std::size_t Size, std::size_t Align> class FreeList {
public:
    static void* allocate() {
        if (s_head == nullptr)
            refill();
        Node* node = s_head;
        s_head = node->next;
        // A block released in an earlier run is no longer in the cache; fetching the next
        // one now hides that miss behind the work done until the next allocation.
        if (s_head != nullptr)
            for (std::size_t offset = 0; offset < s_blockSize; offset += 64)
                __builtin_prefetch(reinterpret_cast<char*>(s_head) + offset, 1);
        return node;
    }
    static void deallocate(void* block) noexcept {
        Node* node = static_cast<Node*>(block);
        node->next = s_head;
        s_head = node;
    }

private:
    struct Node {
        Node* next;
    };
    static constexpr std::size_t s_align = Align > alignof(Node) ? Align : alignof(Node);
    static constexpr std::size_t s_blockSize =
        ((Size > sizeof(Node) ? Size : sizeof(Node)) + s_align - 1) / s_align * s_align;
    static constexpr std::size_t s_blocksPerChunk =
        s_blockSize >= 1024 ? 16 : (32 * 1024) / s_blockSize;

    static void refill() {
        char* chunk = static_cast<char*>(
            ::operator new(s_blockSize* s_blocksPerChunk, std::align_val_t(s_align)));
        registerChunk(chunk);
        for (std::size_t i = s_blocksPerChunk; i-- > 0;)
            deallocate(chunk + i * s_blockSize);
    }

    static inline thread_local Node* s_head = nullptr;
};

} // namespace pool_detail

template <class T> class PoolAllocator {
public:
    using value_type = T;

    PoolAllocator() noexcept = default;
    template <class U> PoolAllocator(const PoolAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
#ifndef VEXA_POOL_DISABLED
        if (n == 1)
            return static_cast<T*>(pool_detail::FreeList<sizeof(T), alignof(T)>::allocate());
#endif
        return std::allocator<T>().allocate(n);
    }
    void deallocate(T* p, std::size_t n) noexcept {
#ifndef VEXA_POOL_DISABLED
        if (n == 1) {
            pool_detail::FreeList<sizeof(T), alignof(T)>::deallocate(p);
            return;
        }
#endif
        std::allocator<T>().deallocate(p, n);
    }

    template <class U> bool operator==(const PoolAllocator<U>&) const noexcept {
        return true;
    }
};

// std::make_shared with the object and its reference counts in one pooled block.
template <class T, class... Args> std::shared_ptr<T> makePooledShared(Args&&... args) {
    return std::allocate_shared<T>(PoolAllocator<T>(), std::forward<Args>(args)...);
}
