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
      Population pooled, into = a;
      pooled += a;
      pooled += b;
      into += b;  // duplicates inside the receiving sample: the first one takes the count
      ASSERT_EQ(refs(pooled), naive_merge(naive_merge({}, a, by_name), b, by_name)) << size;
      ASSERT_EQ(refs(into), naive_merge(refs(a), b, by_name)) << size;
      EXPECT_EQ(refs(a), before);
      EXPECT_EQ(pooled.line_count, pooled.num_haplotypes());
      EXPECT_EQ(into.line_count, into.num_haplotypes());
      EXPECT_DOUBLE_EQ(pooled.sample_size, a.sample_size + b.sample_size);
      EXPECT_DOUBLE_EQ(pooled.inverse_size, 1.0 / pooled.sample_size);
      EXPECT_NE(pooled.haplotypes[0], a.haplotypes[0]);  // new entries
    }
  }
}

TEST(PopulationMerge, GenotypicMembersSharedReferencesEmptyAndSelf) {
  Population a = genotypic_sample("A", {{"AC", "AG", 2}, {"CC", "CC", 1}});
  TAlleleDB db;
  int estimated = 0;
  a.allele_db = &db;
  a.estimated_haplotypes = &estimated;
  a.recessive_data = 1;
  Population pooled;
  pooled.line_count = 7;
  pooled += a;
  ASSERT_EQ(pooled.num_individuals(), 2);
  EXPECT_NE(pooled.individuals[0], a.individuals[0]);  // deep copies
  EXPECT_EQ(pooled.individuals[0]->copy2, "AG");
  EXPECT_DOUBLE_EQ(pooled.individuals[0]->count, 2.0);
  EXPECT_EQ(pooled.num_haplotypes(), 0);
  EXPECT_EQ(pooled.line_count, 7);  // not changed for genotypic data
  EXPECT_DOUBLE_EQ(pooled.inverse_size, 1.0 / 3.0);
  EXPECT_EQ(pooled.allele_db, &db);
  EXPECT_EQ(pooled.estimated_haplotypes, &estimated);
  EXPECT_EQ(pooled.recessive_data, 1);
  a += a;  // into itself: doubled
  ASSERT_EQ(a.num_individuals(), 4);
  EXPECT_EQ(a.individuals[3]->copy1, "CC");
  Haplo_DB list;
  Population h = haplotypic_sample(
      "H", {{add_haplotype(list, "h1", "A"), 1}, {add_haplotype(list, "h2", "C"), 4}});
  h += h;
  EXPECT_EQ(entries_of(h), (Entries{{"h1", 2}, {"h2", 8}}));
  EXPECT_DOUBLE_EQ(h.sample_size, 10.0);
  Population empty, none;
  empty += none;
  EXPECT_DOUBLE_EQ(empty.inverse_size, 0.0);
}

class PoolSamples : public ::testing::Test {
 protected:
  void SetUp() override {
    ProfileSettings::DataType = DNA;
    ProfileSettings::LocusSeparator = '\0';
  }
  Population* add_source(const Population& p) {
    auto* q = new Population(p);
    source_.pops.Add(q);
    return q;
  }
  void add_group(const std::vector<Population*>& members) {
    structure_.add_group();
    for (Population* p : members) structure_.groups.back()->Add(p);
    structure_.group_sizes.back() = static_cast<int>(members.size());
    structure_.NbGroups = static_cast<int>(structure_.groups.size());
  }
  bool pool() {
    return pooling::pool_samples_in_groups(source_, structure_, pooled_, flat_, project_profile_,
                                           list_, &s_);
  }

  test_model::ProfileGlobalsGuard guard_;
  Haplo_DB list_;
  Samples source_, pooled_;
  Structure structure_, flat_;
  ProfileSettings project_profile_;
  settings s_;
};

TEST_F(PoolSamples, OneSamplePerGroupMergedInMemberOrderAndAFlatStructure) {
  HaploDef* h1 = add_haplotype(list_, "h1", "AAA");
  HaploDef* h2 = add_haplotype(list_, "h2", "AAC");
  HaploDef* h3 = add_haplotype(list_, "h3", "AGC");
  HaploDef* h4 = add_haplotype(list_, "h4", "AAA");
  Population* a = add_source(haplotypic_sample("A", {{h1, 3}, {h2, 1}}));
  Population* b = add_source(haplotypic_sample("B", {{h2, 2}, {h3, 5}}));
  Population* c = add_source(haplotypic_sample("C", {{h4, 6}}));
  add_group({a, b});
  add_group({c, a});
  add_group({});
  EXPECT_FALSE(pool());
  ASSERT_EQ(pooled_.size(), 3);
  EXPECT_EQ(entries_of(*pooled_[0]), (Entries{{"h1", 3}, {"h2", 3}, {"h3", 5}}));
  EXPECT_EQ(entries_of(*pooled_[1]), (Entries{{"h4", 9}, {"h2", 1}}));  // h1 has h4's content
  EXPECT_EQ(pooled_[2]->num_haplotypes() + pooled_[2]->line_count, 0);
  for (int g = 0; g < 3; ++g) {
    EXPECT_EQ(pooled_[g]->name, ("Group" + std::to_string(g + 1)).c_str());
    EXPECT_EQ(pooled_[g]->index, g);
  }
  EXPECT_EQ(entries_of(*a), (Entries{{"h1", 3}, {"h2", 1}}));  // sources unchanged
  EXPECT_EQ(flat_.name, "Pooled flat structure");
  EXPECT_EQ(flat_.NbGroups, 1);
  EXPECT_EQ(flat_.NbSamples, 3);
  ASSERT_EQ(flat_.groups.size(), 1u);
  EXPECT_EQ(flat_.group_sizes, std::vector<int>{3});
  const auto& members = *flat_.groups[0];
  ASSERT_EQ(members.size(), 3);
  for (int g = 0; g < 3; ++g) EXPECT_EQ(members[g], pooled_[g]);
  EXPECT_EQ(members.OwnsElements(), 0);  // the pooled samples belong to `pooled`
}

TEST_F(PoolSamples, NoGroupsAndTheDataTypeClassOfEachPooledSample) {
  EXPECT_FALSE(pool());
  EXPECT_EQ(pooled_.size(), 0);
  EXPECT_EQ(flat_.NbGroups + flat_.NbSamples, 1);
  ASSERT_EQ(flat_.group_sizes, std::vector<int>{0});
  source_.profile.MissingData = '-';
  add_group({});
  for (const TDataType type : {DNA, RFLP, MICROSAT, STANDARD, FREQUENCY}) {
    ProfileSettings::DataType = type;
    Samples pooled;
    Structure flat;
    pooling::pool_samples_in_groups(source_, structure_, pooled, flat, project_profile_, list_,
                                    &s_);
    ASSERT_EQ(pooled.size(), 1);
    const Population* p = pooled[0];
    EXPECT_EQ(p->profile.MissingData, '-');
    EXPECT_EQ(dynamic_cast<const PopulDNA*>(p) != nullptr, type == DNA) << type;
    EXPECT_EQ(dynamic_cast<const PopulRFLP*>(p) != nullptr, type == RFLP) << type;
    EXPECT_EQ(dynamic_cast<const PopulMicrosat*>(p) != nullptr, type == MICROSAT) << type;
    EXPECT_EQ(dynamic_cast<const PopulStandard*>(p) != nullptr, type >= STANDARD) << type;
  }
}

TEST_F(PoolSamples, GenotypicGroupsCopyIndividualsThenBuildGeneCopies) {
  project_profile_.GenotypicData = 1;
  Samples none;
  Structure flat;
  EXPECT_TRUE(pooling::pool_samples_in_groups(source_, structure_, none, flat, project_profile_,
                                              list_, &s_));  // processed even without groups
  s_.TaskNumber = 512;
  Population* a = add_source(genotypic_sample("A", {{"AC", "AG", 2}}));
  Population* b = add_source(genotypic_sample("B", {{"AG", "TT", 1}}));
  add_group({a, b});
  EXPECT_TRUE(pool());
  ASSERT_EQ(pooled_.size(), 1);
  const Population& g = *pooled_[0];
  ASSERT_EQ(g.num_individuals(), 2);
  EXPECT_DOUBLE_EQ(g.sample_size, 3.0);
  // Gene copies: AC x2, AG x2 + 1, TT x1, entered in the project's list.
  EXPECT_EQ(entries_of(g), (Entries{{"h1", 2}, {"h2", 3}, {"h3", 1}}));
  EXPECT_EQ(g.line_count, 3);
  EXPECT_EQ(g.gametes.size(), 4);
  ASSERT_EQ(list_.size(), 3);
  EXPECT_EQ(list_[1]->content, "AG");
  EXPECT_EQ(a->num_individuals() + a->num_haplotypes(), 1);  // members unchanged
}
