// Tests of the growable arrays: growth by exactly the increment, the indexing
// rules (extending the count below the limit, a spare element beyond it),
// sorting, ownership on Flush and destruction (checked with a type that counts
// its live objects), Find/Detach, and the insertion-order stability of the
// sorted pointer array (checked against std::stable_sort).
#include "model/containers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "text/my_string.h"

namespace {

// Counts its live instances so that the tests see which array deletes what.
struct Counted {
  static inline int alive = 0;
  int key;
  int tag;
  explicit Counted(int k, int t = 0) : key(k), tag(t) { ++alive; }
  Counted(const Counted& o) : key(o.key), tag(o.tag) { ++alive; }
  Counted& operator=(const Counted&) = default;
  ~Counted() { --alive; }
  bool operator==(const Counted& o) const { return key == o.key; }
  bool operator<(const Counted& o) const { return key < o.key; }
};

class CountedTest : public ::testing::Test {
 protected:
  void SetUp() override { Counted::alive = 0; }
  void TearDown() override { EXPECT_EQ(Counted::alive, 0) << "objects leaked or deleted twice"; }
};

template <class A>
std::vector<int> keys_of(A& a) {
  std::vector<int> keys;
  for (int i = 0; i < a.GetItemsInContainer(); ++i) keys.push_back(a[i]->key);
  return keys;
}

}  // namespace

// ------------------------------------------------------------ value array

TEST(ValueArrayGrowth, GrowsByExactlyDeltaWhenFull) {
  MY_TArrayAsVector<int> a(4, 3);
  EXPECT_EQ(a.Limit(), 5);  // upper bound + 1
  EXPECT_EQ(a.GetItemsInContainer(), 0);
  for (int i = 0; i < 5; ++i) a.Add(i * 10);
  EXPECT_EQ(a.Limit(), 5);  // full, not grown yet
  a.Add(50);
  EXPECT_EQ(a.Limit(), 8);
  a.Add(60);
  a.Add(70);
  EXPECT_EQ(a.Limit(), 8);
  a.Add(80);
  EXPECT_EQ(a.Limit(), 11);
  ASSERT_EQ(a.GetItemsInContainer(), 9);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(a[i], i * 10);  // copied across growths
}

TEST(ValueArrayGrowth, HoldsStringsAcrossGrowth) {
  MY_TArrayAsVector<my_string> a(0, 1);
  std::vector<std::string> expected;
  for (int i = 0; i < 20; ++i) {
    const std::string text = "item" + std::to_string(i);
    a.Add(my_string(text.c_str()));
    expected.push_back(text);
  }
  EXPECT_EQ(a.Limit(), 20);  // 1 + 19 growths of 1
  for (int i = 0; i < 20; ++i) EXPECT_EQ(a[i].str(), expected[static_cast<size_t>(i)]);
}

TEST(ValueArrayIndexing, PastCountBelowLimitExtendsCount) {
  MY_TArrayAsVector<int> a(4, 3);
  a[2] = 7;
  EXPECT_EQ(a.GetItemsInContainer(), 3);
  EXPECT_EQ(a[0], 0);
  EXPECT_EQ(a[1], 0);
  EXPECT_EQ(a[2], 7);
  a[4] = 9;  // last slot below the limit
  EXPECT_EQ(a.GetItemsInContainer(), 5);
  EXPECT_EQ(a.Limit(), 5);
}

TEST(ValueArrayIndexing, AtOrPastLimitGivesSpareElement) {
  MY_TArrayAsVector<int> a(4, 3);
  for (int i = 0; i < 3; ++i) a.Add(i + 1);
  a[5] = 99;  // limit is 5
  a[1000] = 98;
  a[-1] = 97;
  EXPECT_EQ(a.GetItemsInContainer(), 3);
  EXPECT_EQ(a.Limit(), 5);
  EXPECT_EQ(a[0], 1);
  EXPECT_EQ(a[1], 2);
  EXPECT_EQ(a[2], 3);
  // The spare is one element kept by the array, not any of its slots.
  EXPECT_EQ(&a[5], &a[77]);
  EXPECT_NE(&a[5], &a[4]);
}

TEST(ValueArrayIndexing, FlushAndSetCountRestartAppending) {
  MY_TArrayAsVector<double> a(2, 2);
  a.Add(1.0);
  a.Add(2.0);
  a.SetCount(0);
  EXPECT_EQ(a.GetItemsInContainer(), 0);
  a.Add(5.0);
  EXPECT_EQ(a.GetItemsInContainer(), 1);
  EXPECT_EQ(a[0], 5.0);
  a.Flush();
  EXPECT_EQ(a.GetItemsInContainer(), 0);
}

TEST(ValueArrayReallocate, DiscardsContentsAndAllocatesEmptySlots) {
  MY_TArrayAsVector<int> a(2, 2);
  for (int i = 1; i <= 6; ++i) a.Add(i);
  a.Reallocate(7);
  EXPECT_EQ(a.GetItemsInContainer(), 0);
  EXPECT_EQ(a.Limit(), 7);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(a[i], 0);
  EXPECT_EQ(a.GetItemsInContainer(), 7);  // indexing extended the count
  MY_TArrayAsVector<my_string> strings(1, 1);
  strings.Add(my_string("x"));
  strings.Reallocate(3);
  EXPECT_TRUE(strings[0].is_null());
  EXPECT_TRUE(strings[2].is_null());
}

TEST(ValueArraySort, SortsTheUsedSlotsAscending) {
  struct Case {
    std::vector<int> added;
    int in_use;  // the count is cut back to this before sorting
    std::vector<int> expected;
  };
  const Case cases[] = {
      {{5, -3, 9, 0, 5, 2, -7, 1}, 8, {-7, -3, 0, 1, 2, 5, 5, 9}},
      {{3}, 1, {3}},
      {{}, 0, {}},
      {{4, 3, 2, 1}, 2, {3, 4}},  // 2 and 1 stay in unused slots
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.added.size());
    MY_TArrayAsVector<int> a(3, 5);
    for (int v : c.added) a.Add(v);
    a.SetCount(c.in_use);
    a.quickSortArray();
    std::vector<int> sorted;
    for (int i = 0; i < a.GetItemsInContainer(); ++i) sorted.push_back(a[i]);
    EXPECT_EQ(sorted, c.expected);
  }
}

TEST(ValueArraySort, SortsStringsByBytes) {
  MY_TArrayAsVector<my_string> a(2, 2);
  for (const char* t : {"b", "B", "ab", "a"}) a.Add(my_string(t));
  a.quickSortArray();
  EXPECT_EQ(a[0], "B");  // upper case orders first in byte order
  EXPECT_EQ(a[1], "a");
  EXPECT_EQ(a[2], "ab");
  EXPECT_EQ(a[3], "b");
}

// ---------------------------------------------------------- pointer array

using PointerArrayGrowth = CountedTest;
using PointerArrayIndexing = CountedTest;
using PointerArrayOwnership = CountedTest;
using PointerArrayFind = CountedTest;
using SortedArray = CountedTest;

TEST_F(PointerArrayGrowth, AddReturnsNewCountAndGrowsByExactlyDelta) {
  MY_TIArrayAsVector<Counted> a(2, 4);
  EXPECT_EQ(a.Limit(), 3);
  EXPECT_EQ(a.Add(new Counted(1)), 1);
  EXPECT_EQ(a.Add(new Counted(2)), 2);
  EXPECT_EQ(a.Add(new Counted(3)), 3);
  EXPECT_EQ(a.Limit(), 3);
  EXPECT_EQ(a.Add(new Counted(4)), 4);
  EXPECT_EQ(a.Limit(), 7);
  for (int k = 5; k <= 7; ++k) a.Add(new Counted(k));
  EXPECT_EQ(a.Limit(), 7);
  EXPECT_EQ(a.Add(new Counted(8)), 8);
  EXPECT_EQ(a.Limit(), 11);
  EXPECT_EQ(keys_of(a), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST_F(PointerArrayIndexing, PastCountBelowLimitExtendsCount) {
  MY_TIArrayAsVector<Counted> a(4, 2);
  a.Add(new Counted(1));
  a[3] = new Counted(4);
  EXPECT_EQ(a.GetItemsInContainer(), 4);
  EXPECT_EQ(a[1], nullptr);
  EXPECT_EQ(a[2], nullptr);
  EXPECT_EQ(a[3]->key, 4);
  EXPECT_EQ(a.Limit(), 5);
}

TEST_F(PointerArrayIndexing, AtOrPastLimitGivesSpare) {
  MY_TIArrayAsVector<Counted> a(2, 2);
  a.Add(new Counted(1));
  Counted* const* spare = &a[3];  // limit is 3
  EXPECT_EQ(*spare, nullptr);
  EXPECT_EQ(&a[50], spare);
  EXPECT_EQ(&a[-1], spare);
  EXPECT_EQ(a.GetItemsInContainer(), 1);
  EXPECT_EQ(a.Limit(), 3);
  EXPECT_EQ(a[0]->key, 1);
}

TEST_F(PointerArrayOwnership, OwningFlushDeletesElements) {
  MY_TIArrayAsVector<Counted> a(3, 3, true);
  for (int k = 0; k < 6; ++k) a.Add(new Counted(k));
  EXPECT_EQ(Counted::alive, 6);
  a.Flush();
  EXPECT_EQ(Counted::alive, 0);
  EXPECT_EQ(a.GetItemsInContainer(), 0);
  EXPECT_EQ(a.Add(new Counted(9)), 1);  // usable after Flush
  EXPECT_EQ(a[0]->key, 9);
}

TEST_F(PointerArrayOwnership, OwningDestructionDeletesElements) {
  {
    MY_TIArrayAsVector<Counted> a(5, 1, true);
    for (int k = 0; k < 4; ++k) a.Add(new Counted(k));
    a[5] = new Counted(99);  // an element placed by indexing is owned too
    EXPECT_EQ(a.GetItemsInContainer(), 6);
    EXPECT_EQ(Counted::alive, 5);
  }
  EXPECT_EQ(Counted::alive, 0);
}

TEST_F(PointerArrayOwnership, NonOwningFlushAndDestructionKeepElements) {
  std::vector<std::unique_ptr<Counted>> store;
  for (int k = 0; k < 4; ++k) store.push_back(std::make_unique<Counted>(k));
  {
    MY_TIArrayAsVector<Counted> a(1, 2, false);
    for (auto& p : store) a.Add(p.get());
    a.Flush();
    EXPECT_EQ(a.GetItemsInContainer(), 0);
    EXPECT_EQ(Counted::alive, 4);
    for (auto& p : store) a.Add(p.get());
  }
  EXPECT_EQ(Counted::alive, 4);
  store.clear();
}

TEST_F(PointerArrayFind, ComparesElementsNotPointersAndGivesTheCountWhenAbsent) {
  MY_TIArrayAsVector<Counted> a(4, 4);
  const Counted absent(5);
  EXPECT_EQ(a.Find(&absent), 0);
  a.Add(new Counted(10, 0));
  a.Add(new Counted(20, 1));
  a.Add(new Counted(20, 2));
  const Counted probe(20);
  EXPECT_EQ(a.Find(&probe), 1);  // the first equal element
  const Counted first(10);
  EXPECT_EQ(a.Find(&first), 0);
  EXPECT_EQ(a.Find(&absent), 3);
}

TEST_F(PointerArrayFind, DetachRemovesSlotWithoutDeleting) {
  MY_TIArrayAsVector<Counted> a(4, 4, true);
  for (int k = 1; k <= 4; ++k) a.Add(new Counted(k));
  std::unique_ptr<Counted> taken(a[1]);
  a.Detach(1);
  EXPECT_EQ(Counted::alive, 4);  // detached element still alive
  EXPECT_EQ(taken->key, 2);
  EXPECT_EQ(keys_of(a), (std::vector<int>{1, 3, 4}));
  a.Detach(3);  // out of range: nothing happens
  a.Detach(-1);
  EXPECT_EQ(a.GetItemsInContainer(), 3);
  a.Flush();
  EXPECT_EQ(Counted::alive, 1);
}

// ----------------------------------------------------------- sorted array

TEST_F(SortedArray, MatchesAStableSortOfTheInsertions) {
  MY_TISArrayAsVector<Counted> a(4, 7);
  std::vector<std::pair<int, int>> reference;  // (key, insertion tag)
  unsigned state = 12345;
  for (int i = 0; i < 300; ++i) {
    state = state * 1103515245u + 12345u;
    const int key = static_cast<int>((state >> 16) % 17);
    EXPECT_EQ(a.Add(new Counted(key, i)), i + 1);
    reference.emplace_back(key, i);
  }
  std::stable_sort(reference.begin(), reference.end(),
                   [](const auto& x, const auto& y) { return x.first < y.first; });
  ASSERT_EQ(a.GetItemsInContainer(), 300);
  for (int i = 0; i < 300; ++i) {
    ASSERT_EQ(a[i]->key, reference[static_cast<size_t>(i)].first) << "slot " << i;
    ASSERT_EQ(a[i]->tag, reference[static_cast<size_t>(i)].second) << "slot " << i;
  }
}

TEST_F(SortedArray, OwnsItsElementsByDefault) {
  {
    MY_TISArrayAsVector<Counted> a(1, 1);
    a.Add(new Counted(3));
    a.Add(new Counted(1));
    EXPECT_EQ(Counted::alive, 2);
  }
  EXPECT_EQ(Counted::alive, 0);
}
