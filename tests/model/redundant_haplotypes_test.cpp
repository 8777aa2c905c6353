// Merging haplotype definitions with identical content, against a direct
// recount: the list, the samples' entries, totals, line counts, gene-copy lists
// and the list's lookup indexes.
#include "model/redundant_haplotypes.h"

#include <gtest/gtest.h>

#include <algorithm>
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

}  // namespace

TEST(MergeIdenticalHaplotypes, SimulatorOutputCollapsesToDistinctContents) {
  // 100 identifiers, one per gene copy as a coalescent simulator writes them,
  // over three sequences; ids 0-59 in sample 1, 60-99 in sample 2.
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
  // The first identifier of each content in list order survives; per sample,
  // entries in order of the first copy of each content.
  std::map<std::string, std::string> survivor;
  std::map<std::string, int> total;
  std::vector<Entries> expected(2);
  for (int i = 0; i < 100; ++i) {
    const std::string c = content_of(i);
    survivor.emplace(c, "hap" + std::to_string(i));
    total[c] += count_of(i);
    Entries& e = expected[i < 60 ? 0 : 1];
    auto it =
        std::find_if(e.begin(), e.end(), [&](const auto& x) { return x.first == survivor[c]; });
    if (it == e.end())
      e.emplace_back(survivor[c], count_of(i));
    else
      it->second += count_of(i);
  }
  EXPECT_EQ(merge_identical_haplotypes(list, samples), 97);
  ASSERT_EQ(list.size(), 3);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(list[k]->name, survivor[list[k]->content].c_str());
    EXPECT_EQ(list[k]->total, total[list[k]->content]);
    EXPECT_EQ(list.find_by_name(survivor[list[k]->content].c_str()), list[k]);
  }
  EXPECT_EQ(entries_of(*s1), expected[0]);
  EXPECT_EQ(entries_of(*s2), expected[1]);
  EXPECT_EQ(s1->line_count, s1->num_haplotypes());
  EXPECT_EQ(s2->line_count, s2->num_haplotypes());
  EXPECT_EQ(list.find_by_name("hap3"), nullptr);
}

TEST(MergeIdenticalHaplotypes, MergedEntrySitsWhereTheSamplesFirstCopyWas) {
  Haplo_DB list;
  HaploDef* x1 = add_haplotype(list, "x1", "XX", 4);
  HaploDef* y = add_haplotype(list, "y", "YY", 1);
  HaploDef* z = add_haplotype(list, "z", "ZZ", 2);
  HaploDef* x2 = add_haplotype(list, "x2", "XX", 3);
  ASSERT_EQ(list.find(std::string("ZZ")), z);  // builds the content index
  Samples samples;
  Population* p = add_sample(samples, haplotypic_sample("p", {{y, 1}, {x2, 3}, {z, 2}, {x1, 4}}));
  EXPECT_EQ(merge_identical_haplotypes(list, samples), 1);
  EXPECT_EQ(entries_of(*p), (Entries{{"y", 1}, {"x1", 7}, {"z", 2}}));
  EXPECT_EQ(p->line_count, 3);
  ASSERT_EQ(list.size(), 3);
  EXPECT_EQ(list[0], x1);
  EXPECT_EQ(list[2], z);
  EXPECT_EQ(x1->total, 7);
  EXPECT_EQ(x1->number, 1);  // the kept haplotype keeps its identity
  EXPECT_EQ(list.find(std::string("XX")), x1);
  EXPECT_EQ(list.find(std::string("ZZ")), z);
  HaploDef* d = add_haplotype(list, "d", "TT");  // the list goes on working
  EXPECT_EQ(list.find_by_name("d"), d);
  EXPECT_EQ(list.find(std::string("TT")), d);
}

TEST(MergeIdenticalHaplotypes, NothingToMergeChangesNothing) {
  // Distinct contents, and frequency data, which carry no content: every
  // identifier is its own haplotype.
  for (const auto& [first, second] : {std::pair{"A", "C"}, std::pair{"", ""}}) {
    Haplo_DB list;
    HaploDef* a = add_haplotype(list, "a", first, 1);
    HaploDef* b = add_haplotype(list, "b", second, 2);
    Samples samples;
    Population* p = add_sample(samples, haplotypic_sample("p", {{a, 1}, {b, 2}}));
    p->line_count = 5;  // left alone when there is nothing to merge
    EXPECT_EQ(merge_identical_haplotypes(list, samples), 0);
    EXPECT_EQ(list.size(), 2);
    EXPECT_EQ(entries_of(*p), (Entries{{"a", 1}, {"b", 2}}));
    EXPECT_EQ(p->line_count, 5);
  }
}

TEST(MergeIdenticalHaplotypes, GeneCopyEntriesAreRedirectedAndIndividualsKeepTheirCount) {
  Haplo_DB list;
  HaploDef* a = add_haplotype(list, "a", "AC", 1);
  HaploDef* b = add_haplotype(list, "b", "AC", 1);
  Samples samples;
  Population* p = add_sample(samples, haplotypic_sample("p", {{a, 1}, {b, 1}}));
  auto* ind = new TPhenotype;
  ind->copy1 = ind->copy2 = "AC";
  ind->count = 1;
  p->individuals.Add(ind);
  p->gametes_built = 1;
  p->gametes.Add(new PHaploDef(a, 1));
  p->gametes.Add(new PHaploDef(b, 1));
  Population* g = add_sample(samples, test_model::genotypic_sample("g", {{"AC", "GT", 1}}));
  EXPECT_EQ(merge_identical_haplotypes(list, samples), 1);
  ASSERT_EQ(p->gametes.size(), 2);
  EXPECT_EQ(p->gametes[0]->hap, a);
  EXPECT_EQ(p->gametes[1]->hap, a);
  EXPECT_EQ(entries_of(*p), (Entries{{"a", 2}}));
  EXPECT_EQ(p->line_count, 1);
  EXPECT_EQ(g->line_count, 2);  // not converted: two gene copies per individual
}
