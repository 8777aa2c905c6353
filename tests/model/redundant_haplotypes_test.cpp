// Merging haplotype definitions with identical content, against a direct
// recount: the list, the samples' entries, totals, line counts, gene-copy lists
// and the list's lookup indexes.
#include "model/redundant_haplotypes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
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

TEST(MergeIdenticalHaplotypes, SameResultAsADirectRecount) {
  // Identifiers, one per gene copy as a coalescent simulator writes them, over a
  // few sequences, in two samples that name them in random order. Without
  // content (frequency data) every identifier is its own haplotype.
  std::mt19937 rng(7);
  for (int round = 0; round < 20; ++round) {
    const int n = 2 + static_cast<int>(rng() % 100), kinds = 1 + round % 5;
    Haplo_DB list;
    std::vector<std::vector<std::pair<HaploDef*, int>>> entries(2);
    std::vector<std::string> content(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
      content[i] = round == 0 ? "" : "ACGT" + std::to_string(rng() % kinds);
      const int count = 1 + static_cast<int>(rng() % 4);
      entries[rng() % 2].emplace_back(
          add_haplotype(list, "id" + std::to_string(i), content[i], count), count);
    }
    Samples samples;
    for (auto& e : entries) {
      std::shuffle(e.begin(), e.end(), rng);
      samples.pops.Add(new Population(haplotypic_sample("s", e)));
    }
    // The first identifier of each content in list order survives, with the
    // total of its content; each sample keeps one entry per content, where its
    // first copy of that content was.
    std::map<std::string, std::string> survivor;
    std::map<std::string, int> total;
    for (int i = 0; i < n; ++i) {
      const std::string key = content[i].empty() ? "id" + std::to_string(i) : content[i];
      survivor.emplace(key, "id" + std::to_string(i));
      total[key] += list[i]->total;
    }
    std::vector<Entries> expected(2);
    for (size_t s = 0; s < 2; ++s) {
      for (const auto& [h, count] : entries[s]) {
        const std::string name = survivor[h->content.empty() ? h->name.str() : h->content];
        auto it = std::find_if(expected[s].begin(), expected[s].end(),
                               [&](const auto& x) { return x.first == name; });
        if (it == expected[s].end())
          expected[s].emplace_back(name, count);
        else
          it->second += count;
      }
    }
    samples[0]->line_count = 99;  // set again only when something was merged
    EXPECT_EQ(merge_identical_haplotypes(list, samples), n - static_cast<int>(survivor.size()));
    ASSERT_EQ(list.size(), static_cast<int>(survivor.size()));
    for (int k = 0; k < list.size(); ++k) {
      const std::string key = list[k]->content.empty() ? list[k]->name.str() : list[k]->content;
      EXPECT_EQ(list[k]->name, survivor[key].c_str());
      EXPECT_EQ(list[k]->total, total[key]);
      EXPECT_EQ(list.find_by_name(list[k]->name), list[k]);
      EXPECT_TRUE(round == 0 || list.find(list[k]->content) == list[k]);
    }
    for (size_t s = 0; s < 2; ++s)
      EXPECT_EQ(entries_of(*samples[static_cast<int>(s)]), expected[s]);
    EXPECT_EQ(samples[0]->line_count,
              static_cast<int>(survivor.size()) == n ? 99 : samples[0]->num_haplotypes());
  }
}

TEST(MergeIdenticalHaplotypes, GeneCopyEntriesAreRedirectedAndIndividualsKeepTheirCount) {
  Haplo_DB list;
  HaploDef* a = add_haplotype(list, "a", "AC", 1);
  HaploDef* b = add_haplotype(list, "b", "AC", 1);
  ASSERT_EQ(list.find(std::string("AC")), a);  // builds the content index
  Samples samples;
  auto* p = new Population(haplotypic_sample("p", {{a, 1}, {b, 1}}));
  samples.pops.Add(p);
  auto* ind = new TPhenotype;
  ind->copy1 = ind->copy2 = "AC";
  ind->count = 1;
  p->individuals.Add(ind);
  p->gametes_built = 1;
  p->gametes.Add(new PHaploDef(a, 1));
  p->gametes.Add(new PHaploDef(b, 1));
  auto* g = new Population(test_model::genotypic_sample("g", {{"AC", "GT", 1}}));
  samples.pops.Add(g);
  EXPECT_EQ(merge_identical_haplotypes(list, samples), 1);
  ASSERT_EQ(p->gametes.size(), 2);
  EXPECT_EQ(p->gametes[0]->hap, a);
  EXPECT_EQ(p->gametes[1]->hap, a);
  EXPECT_EQ(entries_of(*p), (Entries{{"a", 2}}));
  EXPECT_EQ(p->line_count, 1);
  EXPECT_EQ(g->line_count, 2);  // not converted: two gene copies per individual
  EXPECT_EQ(list.find_by_name("b"), nullptr);
  HaploDef* d = add_haplotype(list, "d", "TT");  // the list goes on working
  EXPECT_EQ(list.find_by_name("d"), d);
  EXPECT_EQ(list.find(std::string("TT")), d);
}
