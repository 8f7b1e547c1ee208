#include "engine/PointerList.h"
#include "engine/SlotTable.h"

#include <gtest/gtest.h>

#include <vector>

using kavelin::PointerList;
using kavelin::SlotTable;

namespace {

struct Item {
    int value;
};

} // namespace

TEST(SlotTableTest, NumbersAreReusedLowestFirst) {
    SlotTable<Item> table;
    Item a{1}, b{2}, c{3}, d{4}, e{5};
    EXPECT_EQ(table.add(&a), 0);
    EXPECT_EQ(table.add(&b), 1);
    EXPECT_EQ(table.add(&c), 2);

    EXPECT_EQ(table.take(1), &b);
    EXPECT_EQ(table.get(1), nullptr);
    EXPECT_EQ(table.take(0), &a);
    EXPECT_EQ(table.add(&d), 0);
    EXPECT_EQ(table.add(&e), 1);
    EXPECT_EQ(table.get(2), &c);
    EXPECT_EQ(table.add(nullptr), -1);
}

TEST(SlotTableTest, FullTableDoublesAndKeepsItsSlots) {
    SlotTable<Item> table(20, 0);
    std::vector<Item> items(41);
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(table.add(&items[static_cast<size_t>(i)]), i);
    EXPECT_EQ(table.capacity(), 20);

    EXPECT_EQ(table.add(&items[20]), 20);
    EXPECT_EQ(table.capacity(), 40);
    for (int i = 0; i <= 20; ++i)
        EXPECT_EQ(table.get(i), &items[static_cast<size_t>(i)]) << i;
    for (int i = 21; i < 40; ++i)
        EXPECT_EQ(table.get(i), nullptr) << i;

    for (int i = 21; i < 40; ++i)
        ASSERT_EQ(table.add(&items[static_cast<size_t>(i)]), i);
    EXPECT_EQ(table.add(&items[40]), 40);
    EXPECT_EQ(table.capacity(), 80);

    // A freed number below the end is found before the free tail.
    table.take(7);
    EXPECT_EQ(table.add(&items[7]), 7);
}

TEST(SlotTableTest, GrowStepAndDegenerateCapacity) {
    SlotTable<Item> stepped(2, 3);
    Item x{0};
    stepped.add(&x);
    stepped.add(&x);
    EXPECT_EQ(stepped.add(&x), 2);
    EXPECT_EQ(stepped.capacity(), 5);

    // Doubling zero would never make room.
    SlotTable<Item> empty(0, 0);
    EXPECT_EQ(empty.add(&x), 0);
    EXPECT_EQ(empty.add(&x), 1);
    EXPECT_EQ(empty.capacity(), 2);
}

TEST(SlotTableTest, OutOfRangeNumbersChangeNothing) {
    SlotTable<Item> table;
    Item a{1};
    table.add(&a);
    for (int n : {-1, table.capacity(), table.capacity() + 5, 3}) {
        EXPECT_EQ(table.get(n), nullptr) << n;
        EXPECT_EQ(table.take(n), nullptr) << n;
    }
    EXPECT_EQ(table.get(0), &a);

    table.clear();
    EXPECT_EQ(table.get(0), nullptr);
    EXPECT_EQ(table.capacity(), 20);
    EXPECT_EQ(table.add(&a), 0);
}

TEST(PointerListTest, InsertKeepsOrderAndChecksPositions) {
    PointerList<Item> list;
    Item a{1}, b{2}, c{3}, d{4};
    EXPECT_TRUE(list.isEmpty());
    EXPECT_TRUE(list.append(&a));
    EXPECT_TRUE(list.append(&c));
    EXPECT_TRUE(list.insertAt(1, &b));
    EXPECT_TRUE(list.insertAt(0, &d));
    EXPECT_TRUE(list.insertAt(list.count(), &d)); // at count: appends
    EXPECT_FALSE(list.insertAt(list.count() + 1, &a));
    EXPECT_FALSE(list.insertAt(-1, &a));

    const std::vector<Item*> expected{&d, &a, &b, &c, &d};
    ASSERT_EQ(list.count(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(list.get(i), expected[static_cast<size_t>(i)]) << i;
    EXPECT_EQ(list.get(5), nullptr);
    EXPECT_EQ(list.get(-1), nullptr);
}

TEST(PointerListTest, RemoveByPositionAndIdentity) {
    PointerList<Item> list;
    Item a{1}, b{2}, twin{2};
    list.append(&a);
    list.append(&b);
    list.append(&a);

    // Identity, not equality: an equal object is not in the list.
    EXPECT_EQ(list.indexOf(&twin), -1);
    EXPECT_FALSE(list.remove(&twin));
    EXPECT_EQ(list.indexOf(&a), 0); // first occurrence

    EXPECT_EQ(list.removeAt(3), nullptr);
    EXPECT_EQ(list.removeAt(-1), nullptr);
    EXPECT_EQ(list.count(), 3);

    EXPECT_TRUE(list.remove(&a));
    EXPECT_EQ(list.count(), 2);
    EXPECT_EQ(list.get(0), &b);
    EXPECT_EQ(list.get(1), &a);
    EXPECT_EQ(list.removeAt(0), &b);
    EXPECT_EQ(list.get(0), &a);

    list.clear();
    EXPECT_TRUE(list.isEmpty());
    EXPECT_EQ(list.capacity(), 20);
}

TEST(PointerListTest, FullListDoubles) {
    PointerList<Item> list(20, 0);
    std::vector<Item> items(41);
    for (auto& item : items)
        ASSERT_TRUE(list.append(&item));
    EXPECT_EQ(list.capacity(), 80);
    EXPECT_EQ(list.count(), 41);
    EXPECT_TRUE(list.insertAt(20, &items[0]));
    EXPECT_EQ(list.get(20), &items[0]);
    EXPECT_EQ(list.get(21), &items[20]);
    EXPECT_EQ(list.get(41), &items[40]);

    PointerList<Item> empty(0, 0);
    EXPECT_TRUE(empty.append(&items[0]));
    EXPECT_EQ(empty.get(0), &items[0]);
}
