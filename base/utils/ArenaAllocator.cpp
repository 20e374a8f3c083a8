#include "base/utils/ArenaAllocator.h"

#include <mutex>
#include <vector>

namespace arena::detail {

namespace {

constexpr std::size_t chunksPerSlab = 16;

// Slabs not yet cut into chunks: chunks are cut only when needed, so that the pages of a
// slab are touched only when they are used.
struct FreshChunks {
    char* next = nullptr;
    char* end = nullptr;
};
thread_local constinit FreshChunks t_fresh;

// Every slab ever taken stays listed here, so the memory is reachable to the end (leak
// checkers do not report it) even when the thread that took it has ended.
void registerSlab(void* slab) {
    static std::mutex* mutex = new std::mutex;
    static auto* slabs = new std::vector<void*>;
    const std::lock_guard<std::mutex> lock(*mutex);
    slabs->push_back(slab);
}

Chunk* takeChunk(Arena& arena) {
    if (arena.empty != nullptr) {
        Chunk* chunk = arena.empty;
        arena.empty = chunk->nextFree;
        return chunk;
    }
    FreshChunks& fresh = t_fresh;
    if (fresh.next == fresh.end) {
        // One chunk more than used, so that the chunks can start at multiples of their size.
        char* slab = static_cast<char*>(::operator new((chunksPerSlab + 1) * chunkSize));
        registerSlab(slab);
        const auto address = reinterpret_cast<std::uintptr_t>(slab);
        fresh.next = slab + ((chunkSize - (address & (chunkSize - 1))) & (chunkSize - 1));
        fresh.end = fresh.next + chunksPerSlab * chunkSize;
    }
    auto* chunk = reinterpret_cast<Chunk*>(fresh.next);
    fresh.next += chunkSize;
    return chunk;
}

} // namespace

void* allocateFromNewChunk(std::size_t bytes, std::size_t align) {
    Arena& arena = t_arena;
    Chunk* chunk = takeChunk(arena);
    chunk->owner = &arena;
    chunk->nextFree = nullptr;
    chunk->live = 1;
    char* block = alignUp(chunkBegin(chunk), align);
    chunk->next = block + bytes;
    // The chunk given up still holds blocks (an empty current chunk starts over instead);
    // it joins the empty chunks when its last block is released.
    arena.current = chunk;
    return block;
}

void releaseChunk(Chunk* chunk) noexcept {
    Arena& arena = t_arena;
    if (chunk == arena.current) {
        chunk->next = chunkBegin(chunk);
        return;
    }
    chunk->nextFree = arena.empty;
    arena.empty = chunk;
}

} // namespace arena::detail
