// Fields, arguments and the tables that find them by id and by name; those of the real set, with
// every operand at its bounds, are in tests/golden/asm/encoding.s.
#include "sequencer/seqprocessor/SeqArgumentTable.h"
#include "sequencer/seqprocessor/SeqFieldTable.h"
#include "sequencer/seqprocessor/SeqIdNameLUT.h"

#include "tests/sequencer/seqprocessor/MessageOf.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

constexpr instruction_t allOnes = ~instruction_t{0};

TEST(SeqFieldTest, WholeWordAndSingleBitFields) {
    const SeqField whole(0, "W", 63, 0); // the shift count wraps
    EXPECT_EQ(whole.range(), allOnes);
    EXPECT_EQ(whole.bitPattern(), allOnes);
    EXPECT_TRUE(whole.isInRange(allOnes));
    const SeqField bit(1, "B", 0, 0);
    EXPECT_EQ(bit.range(), 1u);
    EXPECT_EQ(bit.bitPattern(), 1u);
}

TEST(SeqFieldTest, WritesTouchOnlyTheFieldAndReadsDoNotSignExtend) {
    const SeqField field(0, "F", 9, 4); // 6 bits
    instruction_t word = allOnes;
    field.setfast(word, 0);
    EXPECT_EQ(word, allOnes & ~(instruction_t{0x3F} << 4));
    word = 0;
    field.setfast(word, 0x1FF); // cut to the field width
    EXPECT_EQ(word, instruction_t{0x3F} << 4);

    word = 0x5;
    EXPECT_TRUE(field.set(word, 63));
    EXPECT_EQ(word, (instruction_t{63} << 4) | 0x5);
    EXPECT_FALSE(field.set(word, 64));
    EXPECT_EQ(word, (instruction_t{63} << 4) | 0x5);
    EXPECT_EQ(SeqField(2, "T", 63, 48).get(allOnes >> 16), 0u);
}

std::vector<std::string> namesOf(const SeqFieldTable& table) {
    std::vector<std::string> names;
    for (const SeqField& field : table)
        names.push_back(field.name());
    return names;
}

TEST(SeqIdNameLUTTest, SparseIdsLeaveEmptySlotsThatIterationSkips) {
    SeqFieldTable table;
    EXPECT_TRUE(table.empty());
    EXPECT_EQ(table.front(), nullptr);
    table.add(SeqFieldInit{5, "FIVE", 3, 0});
    for (const id_t absent : {3u, 6u, 0xFFFFFFFFu})
        EXPECT_EQ(table.find(absent), nullptr) << absent;
    EXPECT_EQ(table[5], table.find("FIVE"));
    EXPECT_EQ(table["FIVE"]->id(), 5u);
    // Names are found exactly, also from a view into a longer text.
    EXPECT_NE(table.find(std::string_view("xFIVEy").substr(1, 4)), nullptr);
    for (const char* other : {"five", "FIV", "FIVE "})
        EXPECT_EQ(table.find(other), nullptr) << other;

    // Unnamed elements never clash.
    table.add(SeqFieldInit{2, "", 3, 0});
    table.add(SeqFieldInit{0, "ZERO", 3, 0});
    table.add(SeqFieldInit{3, "", 3, 0});
    EXPECT_EQ(namesOf(table), (std::vector<std::string>{"ZERO", "", "", "FIVE"}));
    EXPECT_EQ(table.front()->name(), "ZERO");
}

// Small tables are searched by comparing names, larger ones through a name index made when
// they grow; both must find exactly the names present, also past empty id slots and unnamed
// elements, and reject a name given twice.
TEST(SeqIdNameLUTTest, NameLookupFindsTheSameInSmallAndLargeTables) {
    for (id_t size = 1; size <= 40; ++size) {
        SCOPED_TRACE("elements: " + std::to_string(size));
        SeqFieldTable table;
        // Every third id stays empty, and one element has no name.
        for (id_t id = 0; id < size; ++id) {
            const std::string name = id == 1 ? "" : "F" + std::to_string(id + id / 2);
            table.add(SeqFieldInit{id + id / 2, name.c_str(), 3, 0});
        }
        for (id_t id = 0; id < size; ++id) {
            const auto found = table.find("F" + std::to_string(id + id / 2));
            EXPECT_EQ(found ? found->id() : 0xFFFFFFFFu, id == 1 ? 0xFFFFFFFFu : id + id / 2);
        }
        for (const char* absent : {"", "F", "F99"})
            EXPECT_EQ(table.find(absent), nullptr) << absent;
        EXPECT_THROW(table.add(SeqFieldInit{99, "F0", 3, 0}), SeqProcDuplicateError);
        EXPECT_EQ(table.find(99), nullptr);
        EXPECT_EQ(table.size(), size);
    }
}

TEST(SeqIdNameLUTTest, DuplicatesAndEmptyElementsAreRejectedAndLeaveTheTableUnchanged) {
    SeqFieldTable table{{16, "REG1", 5, 0}, {3, "", 5, 0}};
    const std::pair<SeqFieldInit, const char*> rows[] = {
        {{16, "REG2", 5, 0},
         R"(Duplicate SeqIdNameLUT 8SeqField entry with (id1=16, name1="REG1")& (id2=16, name2="REG2"))"},
        {{17, "REG1", 5, 0},
         R"(Duplicate SeqIdNameLUT 8SeqField entry with (id1=16, name1="REG1")& (id2=17, name2="REG1"))"},
        {{3, "X", 5, 0},
         R"(Duplicate SeqIdNameLUT 8SeqField entry with (id1=3)& (id2=3, name2="X"))"},
        {{16, "", 5, 0},
         R"(Duplicate SeqIdNameLUT 8SeqField entry with (id1=16, name1="REG1")& (id2=16))"},
    };
    for (const auto& [added, message] : rows) {
        SCOPED_TRACE(message);
        EXPECT_EQ(messageOf<SeqProcDuplicateError>([&] { table.add(added); }), message);
        EXPECT_EQ(table.size(), 2u);
        EXPECT_EQ(table.find("X"), nullptr);
        EXPECT_EQ(table.find("REG1"), table.find(16));
    }
    EXPECT_EQ(
        messageOf<SeqProcUninitializedError>([&] { table.add(SeqFieldTable::pointer_type()); }),
        "Adding nullptr to lookup table.");
    EXPECT_EQ(messageOf<SeqProcUninitializedError>([&] { table.add(SeqField()); }),
              "Adding unitialized element lookup table.");
    EXPECT_EQ(table.size(), 2u);
}

TEST(SeqArgumentTableTest, ArgumentsFindTheirFieldsByIdOrAreRejected) {
    SeqArgumentTable table({{0, "IMM", 31, 0}, {1, "REG", 37, 32}},
                           {{0, "imm", "", 0, 0, -1}, {1, "reg", "R", 1, 0, 63}});
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table.find("imm")->field(), table.fieldTable().find(0));
    EXPECT_EQ(table.find(1)->field()->name(), "REG");
    EXPECT_EQ(table.find(0)->maxValue(), 4294967295);
    // A register name starts with a letter.
    EXPECT_TRUE(table.find(1)->isRegister());
    for (const char* other : {"", "1R", "\xC4"})
        EXPECT_FALSE(SeqArgument(2, "a", other, table.find(1)->field(), 0, 63).isRegister())
            << other;
    const SeqArgumentTable shared(table.fieldTable(), {{7, "other", "", 1, 0, 1}});
    EXPECT_EQ(shared.find(7)->field(), table.fieldTable().find(1));

    EXPECT_EQ(messageOf<SeqProcInstructionTableError>([&] {
                  table.add(SeqArgumentInit{3, "lost", "R", 9, 0, 63});
              }),
              "SeqArgumentTable: Argument with Id=3 (name=\"lost\"): could not find SeqField "
              "with fieldId=9");
    EXPECT_EQ(
        messageOf<SeqProcDuplicateError>([&] {
            table.add(SeqArgumentInit{0, "again", "", 0, 0, -1});
        }),
        R"(Duplicate SeqIdNameLUT 11SeqArgument entry with (id1=0, name1="imm")& (id2=0, name2="again"))");
    EXPECT_EQ(table.size(), 2u);
    EXPECT_EQ(table.find("lost"), nullptr);
}

} // namespace
