// Gene copies from genotypic data against a naive recount: the haplotype list,
// the samples' entries, the per-gene-copy list and the separator-collapsed key.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "base/errors.h"
#include "model/haplotypes.h"
#include "model/population.h"
#include "model/sample_builders.h"
#include "model/samples.h"
#include "settings/settings.h"

using test_model::entries_of;
using test_model::genotypic_sample;
using test_model::Individual;
using Entries = std::vector<std::pair<std::string, int>>;

namespace {

class GeneCopies : public ::testing::Test {
 protected:
  void SetUp() override { ProfileSettings::LocusSeparator = '\0'; }
  test_model::ProfileGlobalsGuard guard_;
  Haplo_DB list_;
  ProfileSettings profile_;
  settings s_;
};

// The key of a gene copy: runs of the locus separator collapse to one.
std::string key(const std::string& copy, char separator) {
  std::string out;
  for (const char c : copy)
    if (separator == '\0' || c != separator || out.empty() || out.back() != separator) out += c;
  return out;
}

}  // namespace

TEST_F(GeneCopies, ListAndEntriesMatchANaiveRecount) {
  // Whole copies count; a fraction of an individual counts nothing but still
  // creates the haplotype. Later samples reuse earlier copies; a haplotype read
  // before is found and its total goes on.
  std::mt19937 rng(3);
  for (int round = 0; round < 30; ++round) {
    const char separator = ":\0 "[round % 3];
    ProfileSettings::LocusSeparator = separator;
    Haplo_DB list;
    test_model::add_haplotype(list, "read1", "A", 5);
    std::vector<std::vector<Individual>> samples(2);
    auto copy = [&] {
      std::string c;
      for (int n = 1 + static_cast<int>(rng() % 4); n > 0; --n) c += "AB:: "[rng() % 5];
      return c;
    };
    for (auto& individuals : samples)
      for (int n = static_cast<int>(rng() % 6); n > 0; --n)
        individuals.push_back(
            {copy(), copy(), std::vector<double>{0.2, 1, 1.99, 2.5, 3}[rng() % 5]});
    Samples all;
    for (const auto& individuals : samples)
      all.pops.Add(new Population(genotypic_sample("pop", individuals)));
    all.phen_to_gam(&list, &profile_, &s_);

    std::map<std::string, int> total = {{"A", 5}};
    std::vector<std::string> order = {"A"};  // keys in order of first appearance
    for (size_t p = 0; p < samples.size(); ++p) {
      Entries expected;
      double individuals = 0;
      for (const Individual& ind : samples[p]) {
        individuals += ind.count;
        for (const std::string& k : {key(ind.copy1, separator), key(ind.copy2, separator)}) {
          const int c = static_cast<int>(ind.count);
          total[k] += c;
          if (std::find(order.begin(), order.end(), k) == order.end()) order.push_back(k);
          const size_t at = std::find(order.begin(), order.end(), k) - order.begin();
          const std::string name = at == 0 ? "read1" : "h" + std::to_string(at + 1);
          auto it = std::find_if(expected.begin(), expected.end(),
                                 [&](const auto& e) { return e.first == name; });
          if (it == expected.end())
            expected.emplace_back(name, c);
          else
            it->second += c;
        }
      }
      const Population& got = *all[static_cast<int>(p)];
      EXPECT_EQ(entries_of(got), expected) << round;
      EXPECT_EQ(got.line_count, static_cast<int>(expected.size()));
      EXPECT_EQ(got.gametes_built, 1);
      EXPECT_EQ(got.sample_size, individuals);  // not the gene copies
    }
    ASSERT_EQ(list.size(), static_cast<int>(order.size()));
    for (int k = 0; k < list.size(); ++k) {
      EXPECT_EQ(list[k]->content, order[static_cast<size_t>(k)]);
      EXPECT_EQ(list[k]->number, k + 1);
      EXPECT_EQ(list[k]->total, total[order[static_cast<size_t>(k)]]) << k;
    }
  }
}

// AMOVA and pairwise FST list each individual's two copies once, with its count:
// a count of 10^9 takes two entries, not two billion; other tasks list nothing.
TEST_F(GeneCopies, GeneCopyListForAmovaAndPairwiseFst) {
  for (const int task : {512, 1024 | 1, 1 | 2 | 2048}) {
    s_.TaskNumber = task;
    Haplo_DB list;
    Population p = genotypic_sample("pop", {{"X", "Y", 2}, {"Z", "Z", 1e9}, {"W", "X", 0.5}});
    p.phen_to_gam(&list, &profile_, &s_);
    EXPECT_EQ(entries_of(p), (Entries{{"h1", 2}, {"h2", 2}, {"h3", 2000000000}, {"h4", 0}}));
    std::vector<std::pair<std::string, int>> copies;
    for (const PHaploDef* e : p.gametes) copies.emplace_back(e->hap->content, e->count);
    EXPECT_EQ(copies, (task & (512 | 1024)
                           ? Entries{{"X", 2}, {"Y", 2}, {"Z", 1000000000}, {"Z", 1000000000}}
                           : Entries{}))
        << task;
    EXPECT_TRUE(p.gametes.size() == 0 || p.gametes[0]->hap == list[0]);
  }
  s_.TaskNumber = 512;
  Population r = genotypic_sample("pop", {{"X", "Y", 2}});
  r.phen_to_gam(&list_, &profile_, &s_);
  r.phen_to_gam(&list_, &profile_, &s_);  // converted again: rebuilt, not doubled
  EXPECT_EQ(entries_of(r), (Entries{{"h1", 2}, {"h2", 2}}));
  EXPECT_EQ(r.gametes.size(), 2);
  EXPECT_EQ(list_[0]->total, 4);                                // the list only accumulates
  Population q = genotypic_sample("pop", {{"W", "W", 1.5e9}});  // past the int range
  EXPECT_THROW(q.phen_to_gam(&list_, &profile_, &s_), ExceptionType);
  Population empty = genotypic_sample("pop", {});
  empty.phen_to_gam(&list_, &profile_, &s_);
  EXPECT_EQ(empty.num_haplotypes() + empty.line_count, 0);
  EXPECT_EQ(empty.gametes_built, 1);
}
