// Pooling samples into groups, and the merge of one sample into another against
// a plain nested scan.
#include "model/pooling.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "model/haplotypes.h"
#include "model/population.h"
#include "model/sample_builders.h"
#include "model/samples.h"
#include "model/structure.h"
#include "settings/settings.h"

using test_model::add_haplotype;
using test_model::entries_of;
using test_model::genotypic_sample;
using test_model::haplotypic_sample;
using Entries = std::vector<std::pair<std::string, int>>;

namespace {

using Refs = std::vector<std::pair<const HaploDef*, int>>;

Refs refs(const Population& p) {
  Refs out;
  for (const PHaploDef* e : p.haplotypes) out.emplace_back(e->hap, e->count);
  return out;
}

// The merge as a plain nested scan: the first entry with the same content (the
// same name for frequency data, which have no content) gets the count, otherwise
// a new entry is appended.
Refs naive_merge(Refs out, const Population& from, bool by_name) {
  for (const PHaploDef* e : from.haplotypes) {
    auto same = [&](const auto& o) {
      return by_name ? o.first->name == e->hap->name : o.first->content == e->hap->content;
    };
    const auto it = std::find_if(out.begin(), out.end(), same);
    if (it == out.end())
      out.emplace_back(e->hap, e->count);
    else
      it->second += e->count;
  }
  return out;
}

}  // namespace

TEST(PopulationMerge, SameResultAsAPlainScan) {
  test_model::ProfileGlobalsGuard guard;
  std::mt19937 rng(12345);
  for (const TDataType type : {DNA, FREQUENCY}) {
    ProfileSettings::DataType = type;
    for (const int size : {3, 20, 400}) {
      // Contents repeat under different names, also within one sample.
      Haplo_DB list;
      std::vector<HaploDef*> haps;
      for (int i = 0; i < size; ++i) {
        const std::string content =
            type == FREQUENCY ? "" : "c" + std::to_string(rng() % (size / 2 + 1));
        haps.push_back(add_haplotype(list, "id" + std::to_string(i), content));
      }
      std::vector<std::pair<HaploDef*, int>> ea, eb;
      for (int i = 0; i < size; ++i) {
        ea.emplace_back(haps[rng() % haps.size()], 1 + static_cast<int>(rng() % 5));
        eb.emplace_back(haps[rng() % haps.size()], 1 + static_cast<int>(rng() % 5));
      }
      const Population a = haplotypic_sample("A", ea), b = haplotypic_sample("B", eb);
      const bool by_name = type == FREQUENCY;
      const Refs before = refs(a);
      Population into = a, twice = a;
      into += b;  // duplicates inside the receiving sample: the first one takes the count
      twice += twice;
      ASSERT_EQ(refs(into), naive_merge(refs(a), b, by_name)) << size;
      ASSERT_EQ(refs(twice), naive_merge(refs(a), a, by_name)) << size;
      EXPECT_EQ(refs(a), before);
      EXPECT_EQ(into.line_count, into.num_haplotypes());
      EXPECT_DOUBLE_EQ(into.sample_size, a.sample_size + b.sample_size);
      EXPECT_DOUBLE_EQ(into.inverse_size, 1.0 / into.sample_size);
    }
  }
}

TEST(PopulationMerge, GenotypicMembersAndSharedReferences) {
  Population a = genotypic_sample("A", {{"AC", "AG", 2}, {"CC", "CC", 1}});
  TAlleleDB db;
  int estimated = 0;
  a.allele_db = &db;
  a.estimated_haplotypes = &estimated;
  a.recessive_data = 1;
  Population pooled, empty, none;
  empty += none;
  EXPECT_DOUBLE_EQ(empty.inverse_size, 0.0);
  pooled.line_count = 7;
  pooled += a;
  pooled += a;
  ASSERT_EQ(pooled.num_individuals(), 4);
  EXPECT_NE(pooled.individuals[2], a.individuals[0]);  // deep copies
  EXPECT_EQ(pooled.individuals[3]->copy1, "CC");
  EXPECT_EQ(pooled.num_haplotypes(), 0);
  EXPECT_EQ(pooled.line_count, 7);  // not changed for genotypic data
  EXPECT_DOUBLE_EQ(pooled.inverse_size, 1.0 / 6.0);
  EXPECT_EQ(pooled.allele_db, &db);
  EXPECT_EQ(pooled.estimated_haplotypes, &estimated);
  EXPECT_EQ(pooled.recessive_data, 1);
}

// Pools the source samples into groups of the given member indexes.
struct Pooling {
  bool run(const std::vector<std::vector<int>>& groups) {
    ProfileSettings::LocusSeparator = '\0';
    for (const auto& members : groups) {
      structure.add_group();
      for (const int m : members) structure.groups.back()->Add(source[m]);
      structure.group_sizes.back() = static_cast<int>(members.size());
    }
    structure.NbGroups = static_cast<int>(structure.groups.size());
    return pooling::pool_samples_in_groups(source, structure, pooled, flat, profile, list, &s);
  }
  void add(const Population& p) { source.pops.Add(new Population(p)); }

  test_model::ProfileGlobalsGuard guard;
  Haplo_DB list;
  Samples source, pooled;
  Structure structure, flat;
  ProfileSettings profile;
  settings s;
};

TEST(PoolSamples, OneSamplePerGroupMergedInMemberOrderAndAFlatStructure) {
  Pooling p;
  ProfileSettings::DataType = DNA;
  std::vector<HaploDef*> h;
  for (const char* c : {"AAA", "AAC", "AGC", "AAA"})
    h.push_back(add_haplotype(p.list, "h" + std::to_string(h.size() + 1), c));
  p.add(haplotypic_sample("A", {{h[0], 3}, {h[1], 1}}));
  p.add(haplotypic_sample("B", {{h[1], 2}, {h[2], 5}}));
  p.add(haplotypic_sample("C", {{h[3], 6}}));
  EXPECT_FALSE(p.run({{0, 1}, {2, 0}, {}}));
  ASSERT_EQ(p.pooled.size(), 3);
  EXPECT_EQ(entries_of(*p.pooled[0]), (Entries{{"h1", 3}, {"h2", 3}, {"h3", 5}}));
  EXPECT_EQ(entries_of(*p.pooled[1]), (Entries{{"h4", 9}, {"h2", 1}}));  // h1 has h4's content
  EXPECT_EQ(p.pooled[2]->num_haplotypes() + p.pooled[2]->line_count, 0);
  for (int g = 0; g < 3; ++g) {
    EXPECT_EQ(p.pooled[g]->name, ("Group" + std::to_string(g + 1)).c_str());
    EXPECT_EQ(p.pooled[g]->index, g);
    EXPECT_EQ((*p.flat.groups.at(0))[g], p.pooled[g]);
  }
  EXPECT_EQ(entries_of(*p.source[0]), (Entries{{"h1", 3}, {"h2", 1}}));  // sources unchanged
  EXPECT_EQ(p.flat.name, "Pooled flat structure");
  EXPECT_EQ(p.flat.NbGroups * 10 + p.flat.NbSamples, 13);
  EXPECT_EQ(p.flat.groups.size(), 1u);
  EXPECT_EQ(p.flat.group_sizes, std::vector<int>{3});
  EXPECT_EQ(p.flat.groups[0]->OwnsElements(), 0);  // the pooled samples belong to `pooled`
}

TEST(PoolSamples, NoGroupsAndTheDataTypeClassOfEachPooledSample) {
  Pooling none;
  EXPECT_FALSE(none.run({}));
  EXPECT_EQ(none.pooled.size(), 0);
  EXPECT_EQ(none.flat.NbGroups * 10 + none.flat.NbSamples, 10);
  EXPECT_EQ(none.flat.group_sizes, std::vector<int>{0});
  for (const TDataType type : {DNA, RFLP, MICROSAT, STANDARD, FREQUENCY}) {
    Pooling p;
    ProfileSettings::DataType = type;
    p.source.profile.MissingData = '-';
    p.run({{}});
    ASSERT_EQ(p.pooled.size(), 1);
    const Population* pooled = p.pooled[0];
    EXPECT_EQ(pooled->profile.MissingData, '-');
    EXPECT_EQ(dynamic_cast<const PopulDNA*>(pooled) != nullptr, type == DNA) << type;
    EXPECT_EQ(dynamic_cast<const PopulRFLP*>(pooled) != nullptr, type == RFLP) << type;
    EXPECT_EQ(dynamic_cast<const PopulMicrosat*>(pooled) != nullptr, type == MICROSAT) << type;
    EXPECT_EQ(dynamic_cast<const PopulStandard*>(pooled) != nullptr, type >= STANDARD) << type;
  }
}

TEST(PoolSamples, GenotypicGroupsCopyIndividualsThenBuildGeneCopies) {
  Pooling none, p;
  none.profile.GenotypicData = p.profile.GenotypicData = 1;
  EXPECT_TRUE(none.run({}));  // processed even without groups
  p.s.TaskNumber = 512;
  p.add(genotypic_sample("A", {{"AC", "AG", 2}}));
  p.add(genotypic_sample("B", {{"AG", "TT", 1}}));
  EXPECT_TRUE(p.run({{0, 1}}));
  ASSERT_EQ(p.pooled.size(), 1);
  const Population& g = *p.pooled[0];
  ASSERT_EQ(g.num_individuals(), 2);
  EXPECT_DOUBLE_EQ(g.sample_size, 3.0);
  // Gene copies: AC x2, AG x2 + 1, TT x1, entered in the project's list.
  EXPECT_EQ(entries_of(g), (Entries{{"h1", 2}, {"h2", 3}, {"h3", 1}}));
  EXPECT_EQ(g.line_count, 3);
  EXPECT_EQ(g.gametes.size(), 4);
  ASSERT_EQ(p.list.size(), 3);
  EXPECT_EQ(p.list[1]->content, "AG");
  EXPECT_EQ(p.source[0]->num_individuals() + p.source[0]->num_haplotypes(), 1);
}
