// Gene copies from genotypic data against a naive recount: the haplotype list,
// the samples' entries, the per-gene-copy list and the separator-collapsed key.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
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

}  // namespace

TEST_F(GeneCopies, ListAndEntriesMatchANaiveRecount) {
  test_model::add_haplotype(list_, "read1", "A", 5);  // read before: found, totals add up
  test_model::add_haplotype(list_, "read2", "TT", 0);
  // Whole copies count; a fraction of an individual counts nothing but still
  // creates the haplotype. Later samples reuse earlier copies.
  const std::vector<std::vector<Individual>> samples = {
      {{"B", "A", 2.5}, {"B", "B", 1}, {"C", "A", 4}, {"D", "A", 0.2}},
      {{"B", "C", 3.0}, {"A", "A", 1.99}, {"E", "C", 2}}};
  Samples all;
  for (const auto& individuals : samples)
    all.pops.Add(new Population(genotypic_sample("pop", individuals)));
  all.phen_to_gam(&list_, &profile_, &s_);

  std::map<std::string, int> total = {{"A", 5}};
  std::vector<std::string> order = {"A", "TT"};  // contents in order of first appearance
  for (size_t p = 0; p < samples.size(); ++p) {
    Entries expected;
    double individuals = 0;
    for (const Individual& ind : samples[p]) {
      individuals += ind.count;
      for (const std::string& copy : {ind.copy1, ind.copy2}) {
        const int c = static_cast<int>(ind.count);
        total[copy] += c;
        if (std::find(order.begin(), order.end(), copy) == order.end()) order.push_back(copy);
        const size_t k = std::find(order.begin(), order.end(), copy) - order.begin();
        const std::string name = k == 0 ? "read1" : "h" + std::to_string(k + 1);
        auto it = std::find_if(expected.begin(), expected.end(),
                               [&](const auto& e) { return e.first == name; });
        if (it == expected.end())
          expected.emplace_back(name, c);
        else
          it->second += c;
      }
    }
    EXPECT_EQ(entries_of(*all[static_cast<int>(p)]), expected) << p;
    EXPECT_EQ(all[static_cast<int>(p)]->line_count, static_cast<int>(expected.size()));
    EXPECT_EQ(all[static_cast<int>(p)]->gametes_built, 1);
    EXPECT_EQ(all[static_cast<int>(p)]->sample_size, individuals);  // not the gene copies
  }
  ASSERT_EQ(list_.size(), static_cast<int>(order.size()));
  for (int k = 0; k < list_.size(); ++k) {
    EXPECT_EQ(list_[k]->content, order[static_cast<size_t>(k)]);
    EXPECT_EQ(list_[k]->number, k + 1);
    EXPECT_EQ(list_[k]->total, total[order[static_cast<size_t>(k)]]) << k;
  }
}

// The lookup key: runs of the locus separator collapse to one; copies with the
// same key share one entry.
TEST_F(GeneCopies, SeparatorRunsCollapseToOne) {
  struct Case {
    char separator;
    const char *copy1, *copy2;
    std::vector<std::string> contents;
  };
  for (const Case& c :
       {Case{':', "1::2", "1:2", {"1:2"}}, Case{':', "::12:::3::", "12:3", {":12:3:", "12:3"}},
        Case{'\0', "1::2", "1:2", {"1::2", "1:2"}},
        Case{' ', "AA  BB", "AA B", {"AA BB", "AA B"}}}) {
    ProfileSettings::LocusSeparator = c.separator;
    Haplo_DB list;
    Population p = genotypic_sample("pop", {{c.copy1, c.copy2, 1}});
    p.phen_to_gam(&list, &profile_, &s_);
    std::vector<std::string> contents;
    for (int i = 0; i < list.size(); ++i) contents.push_back(list[i]->content);
    EXPECT_EQ(contents, c.contents) << c.copy1;
    EXPECT_EQ(list[0]->total, c.contents.size() == 1 ? 2 : 1) << c.copy1;
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
    if (task == 1 + 2 + 2048) {
      EXPECT_EQ(p.gametes.size(), 0);
      continue;
    }
    ASSERT_EQ(p.gametes.size(), 4) << task;
    const std::vector<std::pair<std::string, int>> copies = {
        {"X", 2}, {"Y", 2}, {"Z", 1000000000}, {"Z", 1000000000}};
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(std::make_pair(p.gametes[i]->hap->content, p.gametes[i]->count),
                copies[static_cast<size_t>(i)]);
    EXPECT_EQ(p.gametes[0]->hap, list[0]);
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
