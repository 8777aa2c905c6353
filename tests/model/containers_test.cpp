// The growable arrays: growth by exactly the increment, indexing past the count
// and past the limit (a spare element), sorting, ownership on Flush and
// destruction (a type that counts its live objects), Find/Detach, and the
// sorted pointer array against std::stable_sort of the same insertions.
#include "model/containers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <utility>
#include <vector>

namespace {

struct Counted {
  static inline int alive = 0;
  int key, tag;
  explicit Counted(int k, int t = 0) : key(k), tag(t) { ++alive; }
  ~Counted() { --alive; }
  bool operator==(const Counted& o) const { return key == o.key; }
  bool operator<(const Counted& o) const { return key < o.key; }
};

}  // namespace

TEST(ValueArray, GrowsByDeltaIndexesWithASpareAndSorts) {
  MY_TArrayAsVector<int> a(4, 3);
  EXPECT_EQ(a.Limit(), 5);  // upper bound + 1
  for (int i = 0; i < 9; ++i) {
    a.Add(9 - i);
    EXPECT_EQ(a.Limit(), i < 5 ? 5 : i < 8 ? 8 : 11) << i;
  }
  EXPECT_EQ(&a[11], &a[77]);  // at or past the limit: one spare element
  EXPECT_EQ(&a[-1], &a[11]);
  a[11] = 99;
  a.SetCount(6);
  a.quickSortArray();  // only the slots in use
  std::vector<int> got(a.begin(), a.end());
  EXPECT_EQ(got, (std::vector<int>{4, 5, 6, 7, 8, 9}));
  EXPECT_EQ(a[6], 3);
  a[9] = 7;  // past the count, below the limit: extends the count
  EXPECT_EQ(a.GetItemsInContainer(), 10);
  a.Reallocate(7);
  EXPECT_EQ(a.GetItemsInContainer(), 0);
  EXPECT_EQ(a.Limit(), 7);
  EXPECT_EQ(a[6], 0);
}

TEST(PointerArray, GrowthOwnershipFindAndDetach) {
  Counted::alive = 0;
  {
    MY_TIArrayAsVector<Counted> a(2, 4);
    for (int k = 1; k <= 8; ++k) {
      EXPECT_EQ(a.Add(new Counted(k % 3, k)), k);
      EXPECT_EQ(a.Limit(), k <= 3 ? 3 : k <= 7 ? 7 : 11) << k;
    }
    a[9] = new Counted(5);  // placed by indexing: owned too
    EXPECT_EQ(a.GetItemsInContainer(), 10);
    EXPECT_EQ(a[8], nullptr);
    EXPECT_EQ(&a[11], &a[-1]);
    const Counted two(2), absent(7);
    EXPECT_EQ(a.Find(&two), 1);  // the first equal element, not the same pointer
    EXPECT_EQ(a.Find(&absent), 10);
    std::unique_ptr<Counted> taken(a[0]);
    a.Detach(0);
    a.Detach(10);  // out of range: nothing happens
    EXPECT_EQ(a.GetItemsInContainer(), 9);
    EXPECT_EQ(a[0]->tag, 2);
    EXPECT_EQ(Counted::alive, 11);
    MY_TIArrayAsVector<Counted> borrowed(1, 1, false);
    borrowed.Add(taken.get());
    borrowed.Flush();
    EXPECT_EQ(Counted::alive, 11);
    a.Flush();
    EXPECT_EQ(Counted::alive, 3);
    a.Add(new Counted(3));  // usable after Flush, and deleted with the array
  }
  EXPECT_EQ(Counted::alive, 0);
}

TEST(SortedPointerArray, MatchesAStableSortOfTheInsertions) {
  Counted::alive = 0;
  {
    MY_TISArrayAsVector<Counted> a(4, 7);
    std::vector<std::pair<int, int>> reference;  // (key, insertion tag)
    std::mt19937 rng(12345);
    for (int i = 0; i < 300; ++i) {
      const int key = static_cast<int>(rng() % 17);
      EXPECT_EQ(a.Add(new Counted(key, i)), i + 1);
      reference.emplace_back(key, i);
    }
    std::stable_sort(reference.begin(), reference.end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });
    for (int i = 0; i < 300; ++i)
      ASSERT_EQ(std::make_pair(a[i]->key, a[i]->tag), reference[static_cast<size_t>(i)]) << i;
  }
  EXPECT_EQ(Counted::alive, 0);
}
