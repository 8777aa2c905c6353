// Gene copies from genotypic data: haplotype list entries, sample entries, the
// per-gene-copy list and the separator-collapsed lookup key.
#include <gtest/gtest.h>

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

class GeneCopiesTest : public ::testing::Test {
 protected:
  void SetUp() override { ProfileSettings::LocusSeparator = '\0'; }
  test_model::ProfileGlobalsGuard guard_;
  Haplo_DB list_;
  ProfileSettings profile_;
  settings s_;
};

using GeneCopies = GeneCopiesTest;
using GeneCopyKey = GeneCopiesTest;
using GeneCopyList = GeneCopiesTest;

TEST_F(GeneCopies, HeterozygoteGivesTwoNewHaplotypes) {
  Population p = genotypic_sample("pop", {{"AC", "AG", 1}});
  p.phen_to_gam(&list_, &profile_, &s_);

  ASSERT_EQ(list_.size(), 2);
  EXPECT_EQ(list_[0]->name, "h1");
  EXPECT_EQ(list_[0]->number, 1);
  EXPECT_EQ(list_[0]->content, "AC");
  EXPECT_EQ(list_[0]->total, 1);
  EXPECT_EQ(list_[1]->name, "h2");
  EXPECT_EQ(list_[1]->number, 2);
  EXPECT_EQ(list_[1]->content, "AG");
  EXPECT_EQ(list_[1]->total, 1);
  EXPECT_EQ(entries_of(p), (Entries{{"h1", 1}, {"h2", 1}}));
  EXPECT_EQ(p.haplotypes[0]->hap, list_[0]);
  EXPECT_EQ(p.line_count, 2);
  EXPECT_EQ(p.gametes_built, 1);
  EXPECT_EQ(p.sample_size, 1.0);  // still the number of individuals
}

TEST_F(GeneCopies, HomozygoteAddsTwiceItsCountToOneEntry) {
  Population p = genotypic_sample("pop", {{"AC", "AC", 3}});
  p.phen_to_gam(&list_, &profile_, &s_);

  ASSERT_EQ(list_.size(), 1);
  EXPECT_EQ(list_[0]->total, 6);
  EXPECT_EQ(entries_of(p), (Entries{{"h1", 6}}));
  EXPECT_EQ(p.line_count, 1);
}

TEST_F(GeneCopies, FractionalCountContributesNothingButCreatesTheHaplotype) {
  Population p = genotypic_sample("pop", {{"AT", "GG", 0.7}, {"AT", "CC", 2.9}});
  p.phen_to_gam(&list_, &profile_, &s_);

  ASSERT_EQ(list_.size(), 3);
  EXPECT_EQ(list_[0]->content, "AT");
  EXPECT_EQ(list_[0]->total, 2);  // 0 + 2 (2.9 truncated)
  EXPECT_EQ(list_[1]->content, "GG");
  EXPECT_EQ(list_[1]->total, 0);
  EXPECT_EQ(list_[2]->content, "CC");
  EXPECT_EQ(list_[2]->total, 2);
  EXPECT_EQ(entries_of(p), (Entries{{"h1", 2}, {"h2", 0}, {"h3", 2}}));
  EXPECT_EQ(p.line_count, 3);
}

TEST_F(GeneCopies, KnownContentIsFoundAndNumberingContinuesFromListLength) {
  test_model::add_haplotype(list_, "read1", "AC", 5);
  test_model::add_haplotype(list_, "read2", "TT", 0);
  Population p = genotypic_sample("pop", {{"AC", "GG", 1}, {"CA", "GG", 2}});
  p.phen_to_gam(&list_, &profile_, &s_);

  ASSERT_EQ(list_.size(), 4);
  EXPECT_EQ(list_[0]->total, 6);  // 5 read + 1
  EXPECT_EQ(list_[2]->name, "h3");
  EXPECT_EQ(list_[2]->number, 3);
  EXPECT_EQ(list_[2]->total, 3);
  EXPECT_EQ(list_[3]->name, "h4");
  EXPECT_EQ(list_[3]->content, "CA");
  EXPECT_EQ(entries_of(p), (Entries{{"read1", 1}, {"h3", 3}, {"h4", 2}}));
}

TEST_F(GeneCopies, LaterSamplesReuseEarlierCopiesAndContinueNumbering) {
  Samples samples;
  samples.pops.Add(new Population(genotypic_sample("a", {{"AA", "CC", 1}})));
  samples.pops.Add(new Population(genotypic_sample("b", {{"CC", "GG", 2}})));
  samples.phen_to_gam(&list_, &profile_, &s_);

  ASSERT_EQ(list_.size(), 3);
  EXPECT_EQ(list_[1]->total, 1 + 2);  // CC in both samples
  EXPECT_EQ(list_[2]->name, "h3");
  EXPECT_EQ(entries_of(*samples[0]), (Entries{{"h1", 1}, {"h2", 1}}));
  EXPECT_EQ(entries_of(*samples[1]), (Entries{{"h2", 2}, {"h3", 2}}));
  EXPECT_EQ(samples[1]->gametes_built, 1);
}

TEST_F(GeneCopies, EntryCountsSumToTwiceTheWholeIndividuals) {
  const std::vector<Individual> inds = {{"A", "B", 2.5}, {"B", "B", 1},   {"C", "A", 4},
                                        {"D", "A", 0.2}, {"B", "C", 3.0}, {"A", "A", 1.99}};
  Population p = genotypic_sample("pop", inds);
  p.phen_to_gam(&list_, &profile_, &s_);

  // Naive recount of the copies by content, in order of first appearance.
  std::map<std::string, int> expected;
  int whole = 0;
  for (const Individual& ind : inds) {
    const int c = static_cast<int>(ind.count);
    whole += c;
    expected[ind.copy1] += c;
    expected[ind.copy2] += c;
  }
  int sum = 0;
  std::map<std::string, int> got;
  for (const PHaploDef* e : p.haplotypes) {
    sum += e->count;
    got[e->hap->content] += e->count;
    EXPECT_EQ(e->hap->total, expected[e->hap->content]);
  }
  EXPECT_EQ(sum, 2 * whole);
  EXPECT_EQ(got, expected);
  EXPECT_EQ(p.num_haplotypes(), 4);  // one entry per distinct copy
}

TEST_F(GeneCopies, ReconversionRebuildsEntriesWithoutDuplicates) {
  s_.TaskNumber = 512;
  Population p = genotypic_sample("pop", {{"X", "Y", 2}});
  p.phen_to_gam(&list_, &profile_, &s_);
  p.phen_to_gam(&list_, &profile_, &s_);

  EXPECT_EQ(list_.size(), 2);
  EXPECT_EQ(list_[0]->total, 4);  // the list only accumulates
  EXPECT_EQ(entries_of(p), (Entries{{"h1", 2}, {"h2", 2}}));
  EXPECT_EQ(p.gametes.size(), 2);
}

TEST_F(GeneCopies, SampleWithoutIndividualsGetsNoEntries) {
  Population p = genotypic_sample("pop", {});
  p.phen_to_gam(&list_, &profile_, &s_);
  EXPECT_EQ(list_.size(), 0);
  EXPECT_EQ(p.num_haplotypes(), 0);
  EXPECT_EQ(p.line_count, 0);
  EXPECT_EQ(p.gametes_built, 1);
}

// The lookup key of a gene copy: runs of the locus separator collapse to one,
// other characters and data without a separator are left as they are.
TEST_F(GeneCopyKey, SeparatorRunsCollapseToOne) {
  struct Case {
    char separator;
    const char* copy1;
    const char* copy2;
    std::vector<std::string> contents;
  };
  const Case cases[] = {
      {':', "1::2", "1:2", {"1:2"}},
      {':', "::12:::3::", "12:3", {":12:3:", "12:3"}},
      {'\0', "1::2", "1:2", {"1::2", "1:2"}},
      {' ', "AA  BB", "AA B", {"AA BB", "AA B"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.copy1) + " / " + c.copy2);
    ProfileSettings::LocusSeparator = c.separator;
    Haplo_DB list;
    Population p = genotypic_sample("pop", {{c.copy1, c.copy2, 1}});
    p.phen_to_gam(&list, &profile_, &s_);
    std::vector<std::string> contents;
    for (int i = 0; i < list.size(); ++i) contents.push_back(list[i]->content);
    EXPECT_EQ(contents, c.contents);
    // Copies with the same key share one entry.
    EXPECT_EQ(list[0]->total, c.contents.size() == 1 ? 2 : 1);
  }
}

// One pair of entries per individual line, with its count: a count of 10^9
// takes two entries, not two billion.
TEST_F(GeneCopyList, AmovaListsEachIndividualsCopiesInPairs) {
  s_.TaskNumber = 512;
  Population p = genotypic_sample("pop", {{"X", "Y", 2}, {"Z", "Z", 1e9}});
  p.phen_to_gam(&list_, &profile_, &s_);

  ASSERT_EQ(p.gametes.size(), 4);
  const std::vector<std::string> expected = {"X", "Y", "Z", "Z"};
  const std::vector<int> counts = {2, 2, 1000000000, 1000000000};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(p.gametes[i]->hap->content, expected[static_cast<size_t>(i)]);
    EXPECT_EQ(p.gametes[i]->count, counts[static_cast<size_t>(i)]);
  }
  EXPECT_EQ(p.gametes[0]->hap, list_[0]);
  EXPECT_EQ(entries_of(p), (Entries{{"h1", 2}, {"h2", 2}, {"h3", 2000000000}}));
  // A count beyond the int range fails the run ("not enough memory").
  Population q = genotypic_sample("pop", {{"W", "W", 1.5e9}});
  EXPECT_THROW(q.phen_to_gam(&list_, &profile_, &s_), ExceptionType);
}

TEST_F(GeneCopyList, PairwiseFstAlsoListsCopies) {
  s_.TaskNumber = 1024 | 1;
  Population p = genotypic_sample("pop", {{"X", "Y", 1}, {"Z", "Z", 1}});
  p.phen_to_gam(&list_, &profile_, &s_);

  ASSERT_EQ(p.gametes.size(), 4);
  EXPECT_EQ(p.gametes[2]->hap->content, "Z");
  EXPECT_EQ(p.gametes[3]->hap->content, "Z");
}

TEST_F(GeneCopyList, OtherTasksAndZeroCountsListNothing) {
  s_.TaskNumber = 1 | 2 | 2048;
  Population p = genotypic_sample("pop", {{"X", "Y", 2}});
  p.phen_to_gam(&list_, &profile_, &s_);
  EXPECT_EQ(p.gametes.size(), 0);

  s_.TaskNumber = 512;
  Population q = genotypic_sample("pop", {{"X", "Y", 0.5}});
  q.phen_to_gam(&list_, &profile_, &s_);
  EXPECT_EQ(q.gametes.size(), 0);
}

}  // namespace
