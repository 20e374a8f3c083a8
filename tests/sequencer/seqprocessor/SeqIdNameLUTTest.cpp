#include "sequencer/seqprocessor/SeqIdNameLUT.h"
#include "sequencer/seqprocessor/SeqArgumentTable.h"
#include "sequencer/seqprocessor/SeqFieldTable.h"

#include "tests/sequencer/seqprocessor/MessageOf.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

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
    EXPECT_EQ(table.idSlots(), 6u);
    for (const id_t absent : {3u, 6u, 0xFFFFFFFFu})
        EXPECT_EQ(table.find(absent), nullptr) << absent;
    ASSERT_NE(table.find(5), nullptr);
    EXPECT_EQ(table[5]->name(), "FIVE");
    EXPECT_EQ(table.find("FIVE"), table.find(5));

    // Unnamed elements are reachable by id only and never clash.
    table.add(SeqFieldInit{2, "", 3, 0});
    table.add(SeqFieldInit{0, "ZERO", 3, 0});
    table.add(SeqFieldInit{3, "", 3, 0});
    EXPECT_EQ(namesOf(table), (std::vector<std::string>{"ZERO", "", "", "FIVE"}));
    EXPECT_EQ(table.size(), 4u);
    EXPECT_EQ(table.front()->name(), "ZERO");
    EXPECT_NE(table.find(3), nullptr);
    EXPECT_EQ(table.find(""), nullptr);
    EXPECT_EQ(table.idSlots(), 6u);
}

TEST(SeqIdNameLUTTest, NameLookupIsExactAndAcceptsViews) {
    SeqFieldTable table{{1, "REG1", 5, 0}};
    const std::string line = "xREG1y";
    EXPECT_NE(table.find(std::string_view(line).substr(1, 4)), nullptr);
    for (const char* other : {"reg1", "REG", "REG1 ", ""})
        EXPECT_EQ(table.find(other), nullptr) << other;
    EXPECT_EQ(table["REG1"]->id(), 1u);
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
        EXPECT_EQ(table.idSlots(), 17u);
        EXPECT_EQ(table.find("X"), nullptr);
        EXPECT_EQ(table.find(17), nullptr);
        EXPECT_EQ(table.find("REG1"), table.find(16));
    }
    EXPECT_EQ(
        messageOf<SeqProcUninitializedError>([&] { table.add(SeqFieldTable::pointer_type()); }),
        "Adding nullptr to lookup table.");
    EXPECT_EQ(messageOf<SeqProcUninitializedError>([&] { table.add(SeqField()); }),
              "Adding unitialized element lookup table.");
    EXPECT_EQ(table.size(), 2u);
}

TEST(SeqIdNameLUTTest, CopiesShareElementsAndFieldTableCopyMakesNewOnes) {
    const SeqFieldTable original{{0, "A", 3, 0}, {4, "B", 9, 4}};
    const SeqFieldTable copy = original;
    EXPECT_EQ(copy.find(4), original.find(4));

    SeqFieldTable rebuilt;
    rebuilt.add(original);
    ASSERT_EQ(rebuilt.size(), 2u);
    EXPECT_NE(rebuilt.find(4), original.find(4));
    EXPECT_EQ(rebuilt.find(4)->name(), "B");
    EXPECT_EQ(rebuilt.find(4)->bitPattern(), original.find(4)->bitPattern());
    EXPECT_EQ(rebuilt.find(4)->shift(), 4u);
}

TEST(SeqArgumentTableTest, ArgumentsFindTheirFieldsByIdOrAreRejected) {
    SeqArgumentTable table({{0, "IMM", 31, 0}, {1, "REG", 37, 32}},
                           {{0, "imm", "", 0, 0, -1}, {1, "reg", "R", 1, 0, 63}});
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table.find("imm")->field(), table.fieldTable().find(0));
    EXPECT_EQ(table.find(1)->field()->name(), "REG");
    EXPECT_EQ(table.find(0)->maxValue(), 4294967295);
    EXPECT_EQ(table.find(1)->registerName(), "R");
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
