// The growable arrays: growth by exactly the increment, indexing past the count
// and past the limit (a spare element), sorting, ownership on Flush (a type that
// counts its live objects), Find/Detach, and the sorted pointer array against
// std::stable_sort of the same insertions.
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

TEST(Arrays, GrowByDeltaIndexWithASpareSortAndOwnTheirElements) {
  MY_TArrayAsVector<int> a(4, 3);
  MY_TIArrayAsVector<Counted> owning(2, 4), borrowing(1, 1, false);
  Counted::alive = 0;
  for (int i = 0; i < 9; ++i) {
    a.Add(9 - i);
    EXPECT_EQ(owning.Add(new Counted(i % 3, i)), i + 1);
    borrowing.Add(owning[i]);
    EXPECT_EQ(a.Limit(), i < 5 ? 5 : i < 8 ? 8 : 11) << i;  // upper bound + 1, then delta
    EXPECT_EQ(owning.Limit(), i < 3 ? 3 : i < 7 ? 7 : 11) << i;
  }
  EXPECT_EQ(&a[11], &a[-1]);  // at or past the limit: one spare element
  EXPECT_EQ(&owning[11], &owning[-1]);
  a.SetCount(6);
  a.quickSortArray();  // only the slots in use
  EXPECT_EQ(std::vector<int>(a.begin(), a.end()), (std::vector<int>{4, 5, 6, 7, 8, 9}));
  a[9] = 7;  // past the count, below the limit: extends the count
  EXPECT_EQ(a.GetItemsInContainer(), 10);
  const Counted two(2);
  EXPECT_EQ(owning.Find(&two), 2);  // the first equal element, not the same pointer
  const std::unique_ptr<Counted> taken(owning[0]);
  owning.Detach(0);
  owning.Detach(20);  // out of range: nothing happens
  EXPECT_EQ(owning.GetItemsInContainer(), 8);
  borrowing.Flush();
  EXPECT_EQ(Counted::alive, 10);
  owning.Flush();
  EXPECT_EQ(Counted::alive, 2);  // the detached element and `two`
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
