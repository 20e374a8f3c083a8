#include "base/utils/ArenaAllocator.h"
#include "base/utils/SourceLine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

bool isAligned(const void* p, std::size_t align) {
    return reinterpret_cast<std::uintptr_t>(p) % align == 0;
}

struct Block {
    void* p;
    std::size_t bytes;
    std::size_t align;
};

// Fills a block completely, so that overlapping blocks would overwrite each other.
void fill(const Block& block, unsigned char value) {
    std::memset(block.p, value, block.bytes);
}

bool holds(const Block& block, unsigned char value) {
    const auto* bytes = static_cast<const unsigned char*>(block.p);
    for (std::size_t i = 0; i < block.bytes; ++i)
        if (bytes[i] != value)
            return false;
    return true;
}

} // namespace

TEST(ArenaAllocatorTest, BlocksAreAlignedAndDoNotOverlap) {
    const struct {
        std::size_t bytes;
        std::size_t align;
    } rows[] = {{1, 1},    {3, 1},    {8, 8},   {24, 8},  {16, 16},    {40, 16},   {7, 2}, {100, 4},
                {4096, 8}, {4097, 8}, {64, 64}, {1, 128}, {70000, 16}, {4096, 16}, {5, 1}};
    std::vector<Block> blocks;
    // Enough rounds to cross several chunk boundaries.
    for (int round = 0; round < 200; ++round)
        for (const auto& row : rows) {
            const Block block{arena::allocate(row.bytes, row.align), row.bytes, row.align};
            ASSERT_TRUE(isAligned(block.p, row.align))
                << row.bytes << " bytes aligned to " << row.align;
            fill(block, static_cast<unsigned char>(blocks.size()));
            blocks.push_back(block);
        }
    for (std::size_t i = 0; i < blocks.size(); ++i)
        ASSERT_TRUE(holds(blocks[i], static_cast<unsigned char>(i))) << "block " << i;
    for (const Block& block : blocks)
        arena::deallocate(block.p, block.bytes, block.align);
}

TEST(ArenaAllocatorTest, MemoryIsReusedOnceEveryBlockIsReleased) {
#ifdef VEXA_ARENA_DISABLED
    GTEST_SKIP() << "every block comes from operator new under AddressSanitizer";
#else
    // Blocks that fill several chunks, like the objects of one assembly run.
    std::vector<void*> first;
    for (int i = 0; i < 10000; ++i)
        first.push_back(arena::allocate(48, 8));
    for (void* p : first)
        arena::deallocate(p, 48, 8);
    std::vector<void*> second;
    for (int i = 0; i < 10000; ++i)
        second.push_back(arena::allocate(48, 8));
    // The second run lives in the chunks of the first, not in new memory.
    std::vector<std::uintptr_t> firstChunks;
    for (void* p : first)
        firstChunks.push_back(reinterpret_cast<std::uintptr_t>(p) / arena::chunkSize);
    for (void* p : second) {
        const auto chunk = reinterpret_cast<std::uintptr_t>(p) / arena::chunkSize;
        ASSERT_NE(std::find(firstChunks.begin(), firstChunks.end(), chunk), firstChunks.end());
    }
    for (void* p : second)
        arena::deallocate(p, 48, 8);
#endif
}

TEST(ArenaAllocatorTest, ABlockStillHeldKeepsItsChunkFromReuse) {
    std::vector<Block> blocks;
    for (int i = 0; i < 5000; ++i)
        blocks.push_back({arena::allocate(32, 8), 32, 8});
    const Block kept = blocks[1234];
    fill(kept, 0xA5);
    for (const Block& block : blocks)
        if (block.p != kept.p)
            arena::deallocate(block.p, block.bytes, block.align);
    // New blocks must never be handed out over the one still held.
    std::vector<Block> more;
    for (int i = 0; i < 5000; ++i) {
        more.push_back({arena::allocate(32, 8), 32, 8});
        fill(more.back(), 0x5A);
    }
    EXPECT_TRUE(holds(kept, 0xA5));
    for (const Block& block : more)
        arena::deallocate(block.p, block.bytes, block.align);
    arena::deallocate(kept.p, kept.bytes, kept.align);
}

TEST(ArenaAllocatorTest, ABlockReleasedByAnotherThreadIsNeverHandedOutAgain) {
    const Block foreign{arena::allocate(64, 8), 64, 8};
    std::vector<Block> local;
    for (int i = 0; i < 100; ++i)
        local.push_back({arena::allocate(64, 8), 64, 8});
    std::thread([&] { arena::deallocate(foreign.p, foreign.bytes, foreign.align); }).join();
    for (const Block& block : local)
        arena::deallocate(block.p, block.bytes, block.align);
    // Had the other thread's release been counted in this thread's chunk, the chunk would
    // start over; it must not hand out memory a concurrent release might still touch.
    std::vector<Block> again;
    for (int i = 0; i < 100; ++i) {
        again.push_back({arena::allocate(64, 8), 64, 8});
#ifndef VEXA_ARENA_DISABLED
        EXPECT_NE(again.back().p, foreign.p);
#endif
    }
    for (const Block& block : again)
        arena::deallocate(block.p, block.bytes, block.align);
}

TEST(ArenaAllocatorTest, SharedObjectsAreConstructedAndDestroyed) {
    static int alive = 0;
    struct Counted {
        explicit Counted(std::string text) : text(std::move(text)) { ++alive; }
        ~Counted() { --alive; }
        std::string text;
    };
    {
        std::vector<std::shared_ptr<Counted>> objects;
        for (int i = 0; i < 3000; ++i)
            objects.push_back(makeArenaShared<Counted>(std::string(i % 50, 'x')));
        EXPECT_EQ(alive, 3000);
        EXPECT_EQ(objects[2999]->text, std::string(2999 % 50, 'x'));
        std::vector<int, ArenaAllocator<int>> numbers(10000, 7); // beyond a chunk's blocks
        EXPECT_EQ(numbers[9999], 7);
    }
    EXPECT_EQ(alive, 0);
}

// The text of a source line lives in arena memory; growing it must keep what it holds, also
// when the appended text is a piece of the line itself.
TEST(SourceLineStorageTest, TextSurvivesGrowthCopiesAndMoves) {
    SourceLine line("abc", 3);
    line.concatLine(line.view());
    EXPECT_EQ(line.toString(), "abc\nabc");
    line.concatLine(line.view().substr(4));
    EXPECT_EQ(line.toString(), "abc\nabc\nabc");
    line.setLine(std::string(5000, 'y'), 4); // beyond the arena's largest block
    EXPECT_EQ(line.toString(), std::string(5000, 'y'));
    line.setLine(line.view().substr(10, 3), 5);
    EXPECT_EQ(line.toString(), "yyy");
    EXPECT_EQ(line.lineNr(), 5);

    SourceLine copy(line);
    line.setLine("zz", 6);
    EXPECT_EQ(copy.toString(), "yyy");
    SourceLine moved(std::move(copy));
    EXPECT_EQ(moved.toString(), "yyy");
    copy = moved;
    EXPECT_EQ(copy.toString(), "yyy");
    copy = SourceLine("", 1);
    EXPECT_TRUE(copy.empty());
    EXPECT_EQ(copy.view(), "");
    EXPECT_EQ(copy[0], '\0');
}
