#include "base/utils/ArenaAllocator.h"
#include "base/utils/SourceLine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
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

void release(const std::vector<Block>& blocks) {
    for (const Block& block : blocks)
        arena::deallocate(block.p, block.bytes, block.align);
}

// Filled completely, so that overlapping blocks would overwrite each other.
bool holds(const Block& block, unsigned char value) {
    const auto* bytes = static_cast<const unsigned char*>(block.p);
    return std::all_of(bytes, bytes + block.bytes, [value](unsigned char b) { return b == value; });
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

TEST(ArenaAllocatorTest, MemoryIsReusedOnceEveryBlockIsReleased) {
#ifdef VEXA_ARENA_DISABLED
    GTEST_SKIP() << "every block comes from operator new under AddressSanitizer";
#else
    // Blocks that fill several chunks, like the objects of one assembly run.
    std::vector<Block> first, second;
    for (int i = 0; i < 10000; ++i)
        first.push_back(allocate(48));
    std::set<std::uintptr_t> chunks;
    for (const Block& block : first)
        chunks.insert(reinterpret_cast<std::uintptr_t>(block.p) / arena::chunkSize);
    release(first);
    // The second run lives in the chunks of the first, not in new memory.
    for (int i = 0; i < 10000; ++i) {
        second.push_back(allocate(48));
        ASSERT_TRUE(
            chunks.count(reinterpret_cast<std::uintptr_t>(second.back().p) / arena::chunkSize))
            << "block " << i;
    }
    release(second);
#endif
}

// New blocks are never handed out over one still held, nor over one that another thread
// released: that release is not counted in this thread's chunk, which must not start over
// under memory a concurrent release might still touch.
TEST(ArenaAllocatorTest, HeldAndForeignReleasedBlocksAreNeverHandedOutAgain) {
    std::vector<Block> blocks;
    for (int i = 0; i < 5000; ++i)
        blocks.push_back(allocate(32));
    const Block kept = blocks[1234];
    std::memset(kept.p, 0xA5, kept.bytes);
    blocks.erase(blocks.begin() + 1234);
    const Block foreign = blocks.back();
    blocks.pop_back();
    std::thread([&] { release({foreign}); }).join();
    release(blocks);

    std::vector<Block> more;
    for (int i = 0; i < 5000; ++i) {
        more.push_back(allocate(32));
        std::memset(more.back().p, 0x5A, 32);
#ifndef VEXA_ARENA_DISABLED
        EXPECT_NE(more.back().p, foreign.p);
#endif
    }
    EXPECT_TRUE(holds(kept, 0xA5));
    release(more);
    release({kept});
}

TEST(ArenaAllocatorTest, SharedObjectsAreConstructedAndDestroyed) {
    static int alive = 0;
    struct Counted {
        explicit Counted(std::string s) : text(std::move(s)) { ++alive; }
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
    EXPECT_EQ(copy[0], '\0');
}
