// Pooling samples into groups and the merge of one sample into another.
#include "model/pooling.h"

#include <gtest/gtest.h>

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

// The merge as a plain nested scan: the first entry with the same content gets the
// count, otherwise a new entry is appended. Returns (haplotype, count) pairs.
std::vector<std::pair<HaploDef*, int>> naive_merge(const Population& into, const Population& from) {
  std::vector<std::pair<HaploDef*, int>> out;
  for (const PHaploDef* e : into.haplotypes) out.emplace_back(e->hap, e->count);
  for (const PHaploDef* e : from.haplotypes) {
    bool found = false;
    for (auto& [h, c] : out) {
      if (h->content == e->hap->content) {
        c += e->count;
        found = true;
        break;
      }
    }
    if (!found) out.emplace_back(e->hap, e->count);
  }
  return out;
}

TEST(PopulationMerge, SumsSharedHaplotypesKeepingFirstMetOrder) {
  Haplo_DB list;
  HaploDef* h1 = add_haplotype(list, "h1", "AAA");
  HaploDef* h2 = add_haplotype(list, "h2", "AAC");
  HaploDef* h3 = add_haplotype(list, "h3", "AGC");
  Population a = haplotypic_sample("A", {{h1, 3}, {h2, 1}});
  Population b = haplotypic_sample("B", {{h2, 2}, {h3, 5}});

  Population pooled;
  pooled += a;
  pooled += b;

  EXPECT_EQ(entries_of(pooled), (Entries{{"h1", 3}, {"h2", 3}, {"h3", 5}}));
  EXPECT_EQ(pooled.line_count, 3);
  EXPECT_DOUBLE_EQ(pooled.sample_size, 11.0);
  EXPECT_DOUBLE_EQ(pooled.inverse_size, 1.0 / 11.0);
  // New entries, same haplotypes; the members are untouched.
  EXPECT_NE(pooled.haplotypes[0], a.haplotypes[0]);
  EXPECT_EQ(pooled.haplotypes[0]->hap, h1);
  EXPECT_EQ(entries_of(a), (Entries{{"h1", 3}, {"h2", 1}}));
  EXPECT_EQ(entries_of(b), (Entries{{"h2", 2}, {"h3", 5}}));
}

TEST(PopulationMerge, MatchesByContentNotIdentifier) {
  Haplo_DB list;
  HaploDef* h1 = add_haplotype(list, "h1", "ACGT");
  HaploDef* h4 = add_haplotype(list, "h4", "ACGT");
  Population a = haplotypic_sample("A", {{h1, 2}});
  Population b = haplotypic_sample("B", {{h4, 7}});

  Population pooled;
  pooled += a;
  pooled += b;

  EXPECT_EQ(entries_of(pooled), (Entries{{"h1", 9}}));
  EXPECT_EQ(pooled.haplotypes[0]->hap, h1);
  EXPECT_EQ(pooled.line_count, 1);
}

// Frequency data have identifiers and counts but no content: every haplotype
// would match every other by content.
TEST(PopulationMerge, FrequencyDataMatchByIdentifier) {
  const TDataType kept = ProfileSettings::DataType;
  ProfileSettings::DataType = FREQUENCY;
  Haplo_DB list;
  HaploDef* h1 = add_haplotype(list, "R1b", "");
  HaploDef* h2 = add_haplotype(list, "I2", "");
  HaploDef* h3 = add_haplotype(list, "J2", "");
  Population a = haplotypic_sample("A", {{h1, 9}, {h2, 7}});
  Population b = haplotypic_sample("B", {{h2, 8}, {h3, 2}, {h1, 6}});
  Population pooled;
  pooled += a;
  pooled += b;
  EXPECT_EQ(entries_of(pooled), (Entries{{"R1b", 15}, {"I2", 15}, {"J2", 2}}));
  EXPECT_EQ(pooled.line_count, 3);

  // Enough entries for the indexed merge: 30 names in each sample, 10 shared.
  Haplo_DB many;
  std::vector<std::pair<HaploDef*, int>> first, second;
  for (int i = 0; i < 50; ++i) {
    HaploDef* h = add_haplotype(many, "f" + std::to_string(i), "");
    if (i < 30) first.emplace_back(h, 1);
    if (i >= 20) second.emplace_back(h, 2);
  }
  Population big;
  big += haplotypic_sample("C", first);
  big += haplotypic_sample("D", second);
  EXPECT_EQ(big.num_haplotypes(), 50);
  EXPECT_EQ(big.haplotypes[25]->count, 3);  // f25 is in both
  ProfileSettings::DataType = kept;
}

TEST(PopulationMerge, LargeSamplesGiveTheSameResultAsAPlainScan) {
  // Contents repeat under different identifiers, also within one sample, so the
  // rule "first entry with the same content" is exercised on both sides.
  std::mt19937 rng(12345);
  for (int size : {3, 20, 400}) {
    Haplo_DB list;
    std::vector<HaploDef*> haps;
    for (int i = 0; i < size; ++i) {
      haps.push_back(add_haplotype(list, "id" + std::to_string(i),
                                   "c" + std::to_string(rng() % (size / 2 + 1))));
    }
    std::vector<std::pair<HaploDef*, int>> ea, eb;
    for (int i = 0; i < size; ++i) {
      ea.emplace_back(haps[rng() % haps.size()], 1 + static_cast<int>(rng() % 5));
      eb.emplace_back(haps[rng() % haps.size()], 1 + static_cast<int>(rng() % 5));
    }
    Population a = haplotypic_sample("A", ea);
    Population b = haplotypic_sample("B", eb);
    const auto expected = naive_merge(a, b);

    a += b;
    ASSERT_EQ(a.num_haplotypes(), static_cast<int>(expected.size())) << "size " << size;
    for (int i = 0; i < a.num_haplotypes(); ++i) {
      EXPECT_EQ(a.haplotypes[i]->hap, expected[static_cast<size_t>(i)].first);
      EXPECT_EQ(a.haplotypes[i]->count, expected[static_cast<size_t>(i)].second);
    }
    EXPECT_EQ(a.line_count, a.num_haplotypes());
  }
}

TEST(PopulationMerge, GenotypicMembersAddCopiesOfTheirIndividuals) {
  Population a = genotypic_sample("A", {{"AC", "AG", 2}, {"CC", "CC", 1}});
  Population pooled;
  pooled.line_count = 7;
  pooled += a;

  ASSERT_EQ(pooled.num_individuals(), 2);
  EXPECT_NE(pooled.individuals[0], a.individuals[0]);  // deep copies
  EXPECT_EQ(pooled.individuals[0]->copy1, "AC");
  EXPECT_EQ(pooled.individuals[0]->copy2, "AG");
  EXPECT_DOUBLE_EQ(pooled.individuals[0]->count, 2.0);
  EXPECT_DOUBLE_EQ(pooled.individuals[1]->count, 1.0);
  EXPECT_EQ(pooled.num_haplotypes(), 0);
  EXPECT_EQ(pooled.line_count, 7);  // not changed for genotypic data
  EXPECT_DOUBLE_EQ(pooled.sample_size, 3.0);
  EXPECT_DOUBLE_EQ(pooled.inverse_size, 1.0 / 3.0);
}

TEST(PopulationMerge, TakesTheMembersSharedReferences) {
  TAlleleDB db;
  int estimated = 0;
  Population a;
  a.allele_db = &db;
  a.estimated_haplotypes = &estimated;
  a.recessive_data = 1;
  Population pooled;
  pooled += a;
  EXPECT_EQ(pooled.allele_db, &db);
  EXPECT_EQ(pooled.estimated_haplotypes, &estimated);
  EXPECT_EQ(pooled.recessive_data, 1);
}

TEST(PopulationMerge, EmptyMemberGivesZeroInverseSize) {
  Population pooled;
  Population empty;
  pooled += empty;
  EXPECT_DOUBLE_EQ(pooled.sample_size, 0.0);
  EXPECT_DOUBLE_EQ(pooled.inverse_size, 0.0);
  EXPECT_EQ(pooled.line_count, 0);
}

TEST(PopulationMerge, MergingASampleIntoItselfDoublesIt) {
  Haplo_DB list;
  HaploDef* h1 = add_haplotype(list, "h1", "A");
  HaploDef* h2 = add_haplotype(list, "h2", "C");
  Population a = haplotypic_sample("A", {{h1, 1}, {h2, 4}});
  a += a;
  EXPECT_EQ(entries_of(a), (Entries{{"h1", 2}, {"h2", 8}}));
  EXPECT_DOUBLE_EQ(a.sample_size, 10.0);

  Population g = genotypic_sample("G", {{"A", "C", 1}, {"A", "A", 2}});
  g += g;
  EXPECT_EQ(g.num_individuals(), 4);
  EXPECT_EQ(g.individuals[3]->copy1, "A");
  EXPECT_DOUBLE_EQ(g.individuals[3]->count, 2.0);
}

class PoolSamplesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ProfileSettings::DataType = DNA;
    ProfileSettings::LocusSeparator = '\0';
  }
  // Adds a sample to the source and returns it.
  Population* add_source(const Population& p) {
    auto* q = new Population(p);
    source_.pops.Add(q);
    return q;
  }
  // Adds a group holding the given samples to the structure.
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
  Samples source_;
  Structure structure_;
  Samples pooled_;
  Structure flat_;
  ProfileSettings project_profile_;
  settings s_;
};

using PoolSamples = PoolSamplesTest;

TEST_F(PoolSamples, OnePooledSamplePerGroupNamedInOrder) {
  HaploDef* h1 = add_haplotype(list_, "h1", "AC");
  Population* a = add_source(haplotypic_sample("A", {{h1, 1}}));
  Population* b = add_source(haplotypic_sample("B", {{h1, 2}}));
  Population* c = add_source(haplotypic_sample("C", {{h1, 4}}));
  add_group({a});
  add_group({b});
  add_group({c});

  EXPECT_FALSE(pool());

  ASSERT_EQ(pooled_.size(), 3);
  for (int g = 0; g < 3; ++g) {
    EXPECT_EQ(pooled_[g]->name, ("Group" + std::to_string(g + 1)).c_str());
    EXPECT_EQ(pooled_[g]->index, g);
  }
  EXPECT_DOUBLE_EQ(pooled_[2]->sample_size, 4.0);
  EXPECT_EQ(flat_.name, "Pooled flat structure");
  EXPECT_EQ(flat_.NbGroups, 1);
  EXPECT_EQ(flat_.NbSamples, 3);
  ASSERT_EQ(flat_.groups.size(), 1u);
  ASSERT_EQ(flat_.group_sizes.size(), 1u);
  EXPECT_EQ(flat_.group_sizes[0], 3);
  const auto& members = *flat_.groups[0];
  ASSERT_EQ(members.size(), 3);
  for (int g = 0; g < 3; ++g) EXPECT_EQ(members[g], pooled_[g]);
  EXPECT_EQ(members.OwnsElements(), 0);  // the pooled samples belong to `pooled`
}

TEST_F(PoolSamples, GroupMembersAreMergedInMemberOrder) {
  HaploDef* h1 = add_haplotype(list_, "h1", "AAA");
  HaploDef* h2 = add_haplotype(list_, "h2", "AAC");
  HaploDef* h3 = add_haplotype(list_, "h3", "AGC");
  HaploDef* h4 = add_haplotype(list_, "h4", "AAA");
  Population* a = add_source(haplotypic_sample("A", {{h1, 3}, {h2, 1}}));
  Population* b = add_source(haplotypic_sample("B", {{h2, 2}, {h3, 5}}));
  Population* c = add_source(haplotypic_sample("C", {{h4, 6}}));
  add_group({a, b});
  add_group({c, a});

  pool();

  ASSERT_EQ(pooled_.size(), 2);
  EXPECT_EQ(entries_of(*pooled_[0]), (Entries{{"h1", 3}, {"h2", 3}, {"h3", 5}}));
  EXPECT_EQ(pooled_[0]->line_count, 3);
  EXPECT_DOUBLE_EQ(pooled_[0]->sample_size, 11.0);
  EXPECT_DOUBLE_EQ(pooled_[0]->inverse_size, 1.0 / 11.0);
  // h4 comes first in group 2 and takes in h1's copies (same content).
  EXPECT_EQ(entries_of(*pooled_[1]), (Entries{{"h4", 9}, {"h2", 1}}));
  // The source samples are unchanged.
  EXPECT_EQ(entries_of(*a), (Entries{{"h1", 3}, {"h2", 1}}));
}

TEST_F(PoolSamples, GroupWithoutMembersGivesAnEmptySample) {
  HaploDef* h1 = add_haplotype(list_, "h1", "A");
  Population* a = add_source(haplotypic_sample("A", {{h1, 2}}));
  add_group({a});
  add_group({});

  pool();

  ASSERT_EQ(pooled_.size(), 2);
  EXPECT_EQ(pooled_[1]->name, "Group2");
  EXPECT_EQ(pooled_[1]->num_haplotypes(), 0);
  EXPECT_EQ(pooled_[1]->num_individuals(), 0);
  EXPECT_EQ(pooled_[1]->line_count, 0);
  EXPECT_DOUBLE_EQ(pooled_[1]->sample_size, 0.0);
  EXPECT_EQ(flat_.NbSamples, 2);
}

TEST_F(PoolSamples, NoGroupsGiveNoPooledSamplesAndAnEmptyFlatGroup) {
  HaploDef* h1 = add_haplotype(list_, "h1", "A");
  add_source(haplotypic_sample("A", {{h1, 2}}));

  EXPECT_FALSE(pool());

  EXPECT_EQ(pooled_.size(), 0);
  EXPECT_EQ(flat_.NbGroups, 1);
  EXPECT_EQ(flat_.NbSamples, 0);
  ASSERT_EQ(flat_.groups.size(), 1u);
  EXPECT_EQ(flat_.groups[0]->size(), 0);
  EXPECT_EQ(flat_.group_sizes[0], 0);
  EXPECT_EQ(flat_.name, "Pooled flat structure");
}

TEST_F(PoolSamples, PooledSamplesHaveTheSourceProfileAndDataTypeClass) {
  source_.profile.MissingData = '-';
  source_.profile.Title = "source title";
  add_group({});

  const std::vector<TDataType> types = {DNA, RFLP, MICROSAT, STANDARD, FREQUENCY};
  for (TDataType type : types) {
    ProfileSettings::DataType = type;
    Samples pooled;
    Structure flat;
    pooling::pool_samples_in_groups(source_, structure_, pooled, flat, project_profile_, list_,
                                    &s_);
    ASSERT_EQ(pooled.size(), 1);
    const Population* p = pooled[0];
    EXPECT_EQ(p->profile.MissingData, '-');
    EXPECT_EQ(p->profile.Title, "source title");
    switch (type) {
      case DNA:
        EXPECT_NE(dynamic_cast<const PopulDNA*>(p), nullptr);
        break;
      case RFLP:
        EXPECT_NE(dynamic_cast<const PopulRFLP*>(p), nullptr);
        break;
      case MICROSAT:
        EXPECT_NE(dynamic_cast<const PopulMicrosat*>(p), nullptr);
        break;
      default:
        EXPECT_NE(dynamic_cast<const PopulStandard*>(p), nullptr);
        break;
    }
  }
}

TEST_F(PoolSamples, GenotypicGroupsCopyIndividualsThenBuildGeneCopies) {
  project_profile_.GenotypicData = 1;
  s_.TaskNumber = 512;
  Population* a = add_source(genotypic_sample("A", {{"AC", "AG", 2}}));
  Population* b = add_source(genotypic_sample("B", {{"AG", "TT", 1}}));
  add_group({a, b});

  EXPECT_TRUE(pool());

  ASSERT_EQ(pooled_.size(), 1);
  const Population& g = *pooled_[0];
  ASSERT_EQ(g.num_individuals(), 2);
  EXPECT_EQ(g.individuals[1]->copy2, "TT");
  EXPECT_DOUBLE_EQ(g.sample_size, 3.0);
  // Gene copies: AC x2, AG x2 + 1, TT x1, entered in the project's list.
  EXPECT_EQ(entries_of(g), (Entries{{"h1", 2}, {"h2", 3}, {"h3", 1}}));
  EXPECT_EQ(g.line_count, 3);
  EXPECT_EQ(g.gametes_built, 1);
  EXPECT_EQ(g.gametes.size(), 4);
  ASSERT_EQ(list_.size(), 3);
  EXPECT_EQ(list_[1]->content, "AG");
  // The members keep their own individuals and get no gene copies.
  EXPECT_EQ(a->num_individuals(), 1);
  EXPECT_EQ(a->num_haplotypes(), 0);
}

TEST_F(PoolSamples, GenotypicDataWithoutGroupsStillCountAsProcessed) {
  project_profile_.GenotypicData = 1;
  EXPECT_TRUE(pool());
  EXPECT_EQ(pooled_.size(), 0);
}

}  // namespace
