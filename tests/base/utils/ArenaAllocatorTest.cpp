#include "base/utils/ArenaAllocator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <set>
#include <thread>
#include <vector>

namespace {

struct Block {
    void* p;
    std::size_t bytes;
    std::size_t align;
};

Block allocate(std::size_t bytes, std::size_t align = 8) {
    return {arena::allocate(bytes, align), bytes, align};
}

// `count` blocks of `bytes` bytes, each filled with `fill`.
std::vector<Block> allocateMany(int count, std::size_t bytes, unsigned char fill = 0) {
    std::vector<Block> blocks;
    for (int i = 0; i < count; ++i) {
        blocks.push_back(allocate(bytes));
        std::memset(blocks.back().p, fill, bytes);
    }
    return blocks;
}

void release(const std::vector<Block>& blocks) {
    for (const Block& block : blocks)
        arena::deallocate(block.p, block.bytes, block.align);
}

// Filled completely, so that overlapping blocks would overwrite each other.
bool holds(const Block& block, unsigned char value) {
    const auto* bytes = static_cast<const unsigned char*>(block.p);
    return std::all_of(bytes, bytes + block.bytes, [value](unsigned char b) { return b == value; });
}

[[maybe_unused]] std::uintptr_t chunkOf(const Block& block) {
    return reinterpret_cast<std::uintptr_t>(block.p) / arena::chunkSize;
}

} // namespace

TEST(ArenaAllocatorTest, BlocksAreAlignedAndDoNotOverlap) {
    const std::pair<std::size_t, std::size_t> rows[] = {
        {1, 1},   {3, 1},    {8, 8},    {24, 8},  {16, 16}, {40, 16},    {7, 2},
        {100, 4}, {4096, 8}, {4097, 8}, {64, 64}, {1, 128}, {70000, 16}, {4096, 16}};
    std::vector<Block> blocks;
    // Enough rounds to cross several chunk boundaries.
    for (int round = 0; round < 200; ++round)
        for (const auto& [bytes, align] : rows) {
            blocks.push_back(allocate(bytes, align));
            ASSERT_EQ(reinterpret_cast<std::uintptr_t>(blocks.back().p) % align, 0u)
                << bytes << " bytes aligned to " << align;
            std::memset(blocks.back().p, static_cast<unsigned char>(blocks.size()), bytes);
        }
    for (std::size_t i = 0; i < blocks.size(); ++i)
        ASSERT_TRUE(holds(blocks[i], static_cast<unsigned char>(i + 1))) << "block " << i;
    release(blocks);
}

// A run of blocks that fills several chunks, released, makes room for the next run.
TEST(ArenaAllocatorTest, MemoryIsReusedOnceEveryBlockIsReleased) {
#ifdef VEXA_ARENA_DISABLED
    GTEST_SKIP() << "every block comes from operator new under AddressSanitizer";
#else
    const std::vector<Block> first = allocateMany(10000, 48);
    std::set<std::uintptr_t> chunks;
    for (const Block& block : first)
        chunks.insert(chunkOf(block));
    release(first);
    const std::vector<Block> second = allocateMany(10000, 48);
    for (const Block& block : second)
        ASSERT_TRUE(chunks.count(chunkOf(block))) << "a block in new memory";
    release(second);
#endif
}

// New blocks never overlie one still held, nor one released by another thread (not counted).
TEST(ArenaAllocatorTest, HeldAndForeignReleasedBlocksAreNeverHandedOutAgain) {
    std::vector<Block> blocks = allocateMany(5000, 32, 0xA5);
    const Block kept = blocks[1234];
    blocks.erase(blocks.begin() + 1234);
    const Block foreign = blocks.back();
    blocks.pop_back();
    std::thread([&] { release({foreign}); }).join();
    release(blocks);

    const std::vector<Block> more = allocateMany(5000, 32, 0x5A);
    EXPECT_TRUE(holds(kept, 0xA5));
#ifndef VEXA_ARENA_DISABLED
    for (const Block& block : more)
        EXPECT_NE(block.p, foreign.p);
#endif
    release(more);
    release({kept});
}
