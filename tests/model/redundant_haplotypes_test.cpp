// Merging haplotype definitions with identical content: the list, the samples'
// entries, totals, line counts and the list's lookup indexes.
#include "model/redundant_haplotypes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "model/haplotypes.h"
#include "model/population.h"
#include "model/sample_builders.h"
#include "model/samples.h"

using redundant_haplotypes::merge_identical_haplotypes;
using test_model::add_haplotype;
using test_model::entries_of;
using test_model::haplotypic_sample;
using Entries = std::vector<std::pair<std::string, int>>;

namespace {

Population* add_sample(Samples& samples, const Population& p) {
  auto* q = new Population(p);
  samples.pops.Add(q);
  return q;
}

TEST(MergeIdenticalHaplotypes, SimulatorOutputCollapsesToDistinctContents) {
  // 100 identifiers, one per gene copy as a coalescent simulator writes them, with
  // three distinct sequences; ids 0-59 in sample 1, 60-99 in sample 2.
  const std::vector<std::string> contents = {"ACGTA", "ACGTT", "TCGTA"};
  auto content_of = [&](int i) { return contents[static_cast<size_t>((i * 7 / 3) % 3)]; };
  auto count_of = [](int i) { return 1 + i % 4; };
  Haplo_DB list;
  Samples samples;
  std::vector<std::pair<HaploDef*, int>> e1, e2;
  for (int i = 0; i < 100; ++i) {
    HaploDef* h = add_haplotype(list, "hap" + std::to_string(i), content_of(i), count_of(i));
    (i < 60 ? e1 : e2).emplace_back(h, count_of(i));
  }
  Population* s1 = add_sample(samples, haplotypic_sample("s1", e1));
  Population* s2 = add_sample(samples, haplotypic_sample("s2", e2));

  // Expected, by a direct recount: the first identifier of each content in list
  // order survives; per sample, entries in order of the first copy of each content.
  std::map<std::string, std::string> survivor;
  std::map<std::string, int> total;
  std::vector<Entries> expected(2);
  std::vector<std::map<std::string, size_t>> position(2);
  for (int i = 0; i < 100; ++i) {
    const std::string c = content_of(i);
    survivor.emplace(c, "hap" + std::to_string(i));
    total[c] += count_of(i);
    const size_t s = i < 60 ? 0 : 1;
    auto [it, inserted] = position[s].emplace(c, expected[s].size());
    if (inserted) expected[s].emplace_back(survivor[c], 0);
    expected[s][it->second].second += count_of(i);
  }

  EXPECT_EQ(merge_identical_haplotypes(list, samples), 97);

  ASSERT_EQ(list.size(), 3);
  for (int k = 0; k < 3; ++k) {
    const HaploDef* h = list[k];
    EXPECT_EQ(h->name, survivor[h->content].c_str());
    EXPECT_EQ(h->total, total[h->content]);
  }
  EXPECT_EQ(entries_of(*s1), expected[0]);
  EXPECT_EQ(entries_of(*s2), expected[1]);
  EXPECT_EQ(s1->line_count, s1->num_haplotypes());
  EXPECT_EQ(s2->line_count, s2->num_haplotypes());
  EXPECT_DOUBLE_EQ(s1->sample_size, 150.0);  // counts unchanged overall
  int grand_total = 0;
  for (int k = 0; k < 3; ++k) grand_total += list[k]->total;
  EXPECT_EQ(grand_total, 250);  // 25 x (1+2+3+4)
}

TEST(MergeIdenticalHaplotypes, MergedEntrySitsWhereTheSamplesFirstCopyWas) {
  Haplo_DB list;
  HaploDef* x1 = add_haplotype(list, "x1", "XX", 4);
  HaploDef* y = add_haplotype(list, "y", "YY", 1);
  HaploDef* z = add_haplotype(list, "z", "ZZ", 2);
  HaploDef* x2 = add_haplotype(list, "x2", "XX", 3);
  Samples samples;
  // The sample names the duplicate x2 before the kept x1.
  Population* p = add_sample(samples, haplotypic_sample("p", {{y, 1}, {x2, 3}, {z, 2}, {x1, 4}}));

  EXPECT_EQ(merge_identical_haplotypes(list, samples), 1);

  EXPECT_EQ(entries_of(*p), (Entries{{"y", 1}, {"x1", 7}, {"z", 2}}));
  EXPECT_EQ(p->haplotypes[1]->hap, x1);
  EXPECT_EQ(p->line_count, 3);
  ASSERT_EQ(list.size(), 3);
  EXPECT_EQ(list[0], x1);
  EXPECT_EQ(list[1], y);
  EXPECT_EQ(list[2], z);
  EXPECT_EQ(x1->total, 7);
  EXPECT_EQ(x1->number, 1);  // the kept haplotype keeps its identity
}

TEST(MergeIdenticalHaplotypes, ListIndexesDescribeTheRemainingHaplotypes) {
  Haplo_DB list;
  HaploDef* a = add_haplotype(list, "a", "AC");
  add_haplotype(list, "b", "AC");
  add_haplotype(list, "c", "GG");
  Samples samples;
  ASSERT_NE(list.find(std::string("GG")), nullptr);  // builds the content index

  merge_identical_haplotypes(list, samples);

  EXPECT_EQ(list.find_by_name("b"), nullptr);
  EXPECT_EQ(list.find_by_name("a"), a);
  EXPECT_EQ(list.find(std::string("AC")), a);
  ASSERT_NE(list.find_by_name("c"), nullptr);
  EXPECT_EQ(list.find(std::string("GG")), list.find_by_name("c"));
  // The list goes on working: a new haplotype is found by name and by content.
  HaploDef* d = add_haplotype(list, "d", "TT");
  EXPECT_EQ(list.find_by_name("d"), d);
  EXPECT_EQ(list.find(std::string("TT")), d);
  EXPECT_EQ(list.size(), 3);
}

TEST(MergeIdenticalHaplotypes, DistinctContentsChangeNothing) {
  Haplo_DB list;
  Samples none;
  EXPECT_EQ(merge_identical_haplotypes(list, none), 0);  // empty list, no samples
  EXPECT_EQ(list.size(), 0);
  HaploDef* a = add_haplotype(list, "a", "A", 1);
  HaploDef* b = add_haplotype(list, "b", "C", 2);
  Samples samples;
  Population* p = add_sample(samples, haplotypic_sample("p", {{a, 1}, {b, 2}}));
  p->line_count = 5;  // left alone when there is nothing to merge

  EXPECT_EQ(merge_identical_haplotypes(list, samples), 0);
  EXPECT_EQ(list.size(), 2);
  EXPECT_EQ(entries_of(*p), (Entries{{"a", 1}, {"b", 2}}));
  EXPECT_EQ(p->line_count, 5);
}

TEST(MergeIdenticalHaplotypes, HaplotypesWithoutContentAreNeverMerged) {
  // Frequency data carry no allelic content: every identifier is its own haplotype.
  Haplo_DB list;
  HaploDef* a = add_haplotype(list, "a", "", 3);
  HaploDef* b = add_haplotype(list, "b", "", 4);
  Samples samples;
  Population* p = add_sample(samples, haplotypic_sample("p", {{a, 3}, {b, 4}}));

  EXPECT_EQ(merge_identical_haplotypes(list, samples), 0);
  EXPECT_EQ(list.size(), 2);
  EXPECT_EQ(entries_of(*p), (Entries{{"a", 3}, {"b", 4}}));
}

TEST(MergeIdenticalHaplotypes, GeneCopyEntriesAreRedirectedNotMerged) {
  Haplo_DB list;
  HaploDef* a = add_haplotype(list, "a", "AC", 1);
  HaploDef* b = add_haplotype(list, "b", "AC", 1);
  Samples samples;
  Population* p = add_sample(samples, haplotypic_sample("p", {{a, 1}, {b, 1}}));
  auto* ind = new TPhenotype;
  ind->copy1 = "AC";
  ind->copy2 = "AC";
  ind->count = 1;
  p->individuals.Add(ind);
  p->gametes_built = 1;
  p->gametes.Add(new PHaploDef(a, 1));
  p->gametes.Add(new PHaploDef(b, 1));

  EXPECT_EQ(merge_identical_haplotypes(list, samples), 1);

  ASSERT_EQ(p->gametes.size(), 2);
  EXPECT_EQ(p->gametes[0]->hap, a);
  EXPECT_EQ(p->gametes[1]->hap, a);
  EXPECT_EQ(entries_of(*p), (Entries{{"a", 2}}));
  EXPECT_EQ(p->line_count, 1);
}

TEST(MergeIdenticalHaplotypes, UnconvertedGenotypicSampleKeepsItsLineCount) {
  Haplo_DB list;
  add_haplotype(list, "a", "AC");
  add_haplotype(list, "b", "AC");
  Samples samples;
  Population* g = add_sample(samples, test_model::genotypic_sample("g", {{"AC", "GT", 1}}));
  ASSERT_EQ(g->line_count, 2);

  merge_identical_haplotypes(list, samples);
  EXPECT_EQ(g->line_count, 2);  // two gene copies per individual, not entries
}

TEST(MergeIdenticalHaplotypes, ManyIdentifiersMergeInLinearTime) {
  // 100,000 identifiers over 50 samples: pairwise comparison would take minutes.
  constexpr int kHaplotypes = 100000;
  constexpr int kSamples = 50;
  constexpr int kDistinct = 1000;
  Haplo_DB list;
  Samples samples;
  std::vector<std::vector<std::pair<HaploDef*, int>>> per_sample(kSamples);
  for (int i = 0; i < kHaplotypes; ++i) {
    HaploDef* h =
        add_haplotype(list, "s" + std::to_string(i), "ACGT" + std::to_string(i % kDistinct), 1);
    per_sample[static_cast<size_t>(i % kSamples)].emplace_back(h, 1);
  }
  for (int s = 0; s < kSamples; ++s) {
    add_sample(samples, haplotypic_sample("p" + std::to_string(s), per_sample[s]));
  }

  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(merge_identical_haplotypes(list, samples), kHaplotypes - kDistinct);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  EXPECT_EQ(list.size(), kDistinct);
  EXPECT_EQ(list[0]->total, kHaplotypes / kDistinct);
  // Sample s holds identifiers s, s+50, ...: contents repeat every 1000, so each of
  // the 20 contents it meets (s mod 50 steps) appears 100 times.
  EXPECT_EQ(samples[0]->num_haplotypes(), kDistinct / kSamples);
  EXPECT_EQ(samples[0]->haplotypes[0]->count, kHaplotypes / kDistinct);
  EXPECT_LT(seconds, 10.0) << "merge took " << seconds << " s";
}

}  // namespace
