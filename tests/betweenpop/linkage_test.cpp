// Linkage disequilibrium: cell measures against published values, allele
// numbering per data type, and the eight summary lists filled by
// calc_all_gam_des, checked by hand and against a naive computation over the
// expanded gene copies.
#include "betweenpop/linkage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "base/errors.h"
#include "globals.h"
#include "model/haplotypes.h"
#include "model/population.h"
#include "model/profile.h"
#include "model/sample_builders.h"
#include "settings/settings.h"
#include "sumstat/sumstat.h"
#include "withinpop/log_capture.h"

namespace {

using Entries = std::vector<std::pair<std::string, int>>;
using Values = std::vector<double>;

Values values_of(const MY_TArrayAsVector<double>& list) { return Values(list.begin(), list.end()); }

void expect_values(const MY_TArrayAsVector<double>& list, const Values& expected,
                   const char* what) {
  SCOPED_TRACE(what);
  const Values got = values_of(list);
  ASSERT_EQ(got.size(), expected.size());
  for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], expected[i], 1e-12) << "entry " << i;
}

void set_ld_keywords(bool on) {
  SumStat.MEAN_ALL_DPRIME = SumStat.MEAN_ALL_R2 = on;
  SumStat.ALL_ADJ_DPRIME = SumStat.ALL_ADJ_R2 = on;
  SumStat.MEAN_ADJ_DPRIME = SumStat.MEAN_ADJ_R2 = on;
  SumStat.FLANK_DPRIME = SumStat.FLANK_R2 = on;
}

// Every test starts from an empty record with the eight keywords on and DNA data.
class LdFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    SumStat.clearValues();
    set_ld_keywords(true);
    ProfileSettings::DataType = DNA;
    ProfileSettings::LocusSeparator = '\0';
  }
  void TearDown() override {
    set_ld_keywords(false);
    SumStat.clearValues();
  }

  // A sample of distinct haplotypes (content, count), in that order.
  Population sample(const Entries& entries) {
    std::vector<std::pair<HaploDef*, int>> refs;
    for (const auto& [content, count] : entries) {
      const std::string id = "h" + std::to_string(list_.size() + 1);
      refs.emplace_back(test_model::add_haplotype(list_, id, content), count);
    }
    return test_model::haplotypic_sample("pop", refs);
  }

  int run(Population& p) { return p.calc_all_gam_des(out_, 0, s_); }

  test_model::ProfileGlobalsGuard guard_;
  Haplo_DB list_;
  settings s_;
  std::ostringstream out_;
};

// ---------------------------------------------------------------------------
// Naive reference: tables built from the expanded gene copies.
// ---------------------------------------------------------------------------
struct NaivePair {
  double dprime = 0.0;  // |D'| of the last cell
  double r2 = 0.0;
};

std::vector<std::string> expand(const Entries& entries) {
  std::vector<std::string> copies;
  for (const auto& [content, count] : entries) copies.insert(copies.end(), count, content);
  return copies;
}

NaivePair naive_pair(const std::vector<std::string>& copies, size_t a, size_t b, char missing) {
  std::vector<std::pair<char, char>> kept;
  std::vector<char> alleles_a;
  std::vector<char> alleles_b;
  for (const std::string& c : copies) {
    if (c[a] == missing || c[b] == missing) continue;
    kept.emplace_back(c[a], c[b]);
    if (std::find(alleles_a.begin(), alleles_a.end(), c[a]) == alleles_a.end())
      alleles_a.push_back(c[a]);
    if (std::find(alleles_b.begin(), alleles_b.end(), c[b]) == alleles_b.end())
      alleles_b.push_back(c[b]);
  }
  if (alleles_a.size() < 2 || alleles_b.size() < 2) return {};
  const char i = alleles_a.back();
  const char j = alleles_b.back();
  double n_ij = 0.0, n_i = 0.0, n_j = 0.0;
  for (const auto& [x, y] : kept) {
    n_i += x == i;
    n_j += y == j;
    n_ij += x == i && y == j;
  }
  const double n = static_cast<double>(kept.size());
  const double p = n_i / n, q = n_j / n;
  const double d = n_ij / n - p * q;
  const double dmax =
      d <= 0 ? std::min(p * q, (1 - p) * (1 - q)) : std::min(p * (1 - q), (1 - p) * q);
  return {std::fabs(d / dmax), d * d / (p * (1 - p) * q * (1 - q))};
}

struct NaiveLists {
  Values mean_dprime, mean_r2, adj_dprime, adj_r2, mean_adj_dprime, mean_adj_r2, flank_dprime,
      flank_r2;
};

NaiveLists naive_unit(const Entries& entries, char missing) {
  const std::vector<std::string> copies = expand(entries);
  std::vector<size_t> poly;
  for (size_t site = 0; site < copies.front().size(); ++site) {
    std::vector<char> seen;
    for (const std::string& c : copies)
      if (c[site] != missing && std::find(seen.begin(), seen.end(), c[site]) == seen.end())
        seen.push_back(c[site]);
    if (seen.size() >= 2) poly.push_back(site);
  }
  NaiveLists l;
  if (poly.size() < 2) {
    l.mean_dprime = l.mean_r2 = l.mean_adj_dprime = l.mean_adj_r2 = {0.0};
    l.flank_dprime = l.flank_r2 = {0.0};
    return l;
  }
  double sum_d = 0, sum_r = 0, adj_d = 0, adj_r = 0;
  int pairs = 0, adjacent = 0;
  for (size_t i = 1; i < poly.size(); ++i)
    for (size_t j = 0; j < i; ++j) {
      const NaivePair v = naive_pair(copies, poly[j], poly[i], missing);
      ++pairs;
      sum_d += v.dprime;
      sum_r += v.r2;
      if (poly[i] - poly[j] == 1) {
        ++adjacent;
        adj_d += v.dprime;
        adj_r += v.r2;
        l.adj_dprime.push_back(v.dprime);
        l.adj_r2.push_back(v.r2);
      }
      if (j == 0 && i == poly.size() - 1) {
        l.flank_dprime.push_back(v.dprime);
        l.flank_r2.push_back(v.r2);
      }
    }
  l.mean_dprime = {sum_d / pairs};
  l.mean_r2 = {sum_r / pairs};
  l.mean_adj_dprime = {adjacent ? adj_d / adjacent : 0.0};
  l.mean_adj_r2 = {adjacent ? adj_r / adjacent : 0.0};
  return l;
}

void expect_lists_match(const NaiveLists& e) {
  expect_values(SumStat.meanDprime, e.mean_dprime, "meanDprime");
  expect_values(SumStat.meanR2, e.mean_r2, "meanR2");
  expect_values(SumStat.adjDprime, e.adj_dprime, "adjDprime");
  expect_values(SumStat.adjR2, e.adj_r2, "adjR2");
  expect_values(SumStat.meanAdjDprime, e.mean_adj_dprime, "meanAdjDprime");
  expect_values(SumStat.meanAdjR2, e.mean_adj_r2, "meanAdjR2");
  expect_values(SumStat.flankDprime, e.flank_dprime, "flankDprime");
  expect_values(SumStat.flankR2, e.flank_r2, "flankR2");
}

// ---------------------------------------------------------------------------
// One cell of a contingency table.
// ---------------------------------------------------------------------------
// cell_measures(cell, row, column, n): D, D' and r^2 of one cell; NaN is not checked.
TEST(LdCellMeasures, ReferenceTables) {
  const double na = std::nan("");
  const struct {
    const char* why;
    int cell, row, col, n;
    double d, dprime, r2;
  } cases[] = {
      // AB/Ab/aB/ab = 40/10/10/40; off the diagonal same |D'| and r^2, opposite signs.
      {"2x2 diagonal", 40, 50, 50, 100, 0.15, 0.6, 0.36},
      {"2x2 off diagonal", 10, 50, 50, 100, -0.15, -0.6, 0.36},
      // N = 50; 1a 20, 1b 5, 2a 5, 2b 10, 3a 5, 3b 5: column a holds 30 copies.
      {"3x2 row 1", 20, 25, 30, 50, 0.10, 0.5, na},
      {"3x2 row 2", 5, 15, 30, 50, -0.08, -4.0 / 9.0, na},
      {"3x2 row 3", 5, 10, 30, 50, -0.02, -1.0 / 6.0, na},
      {"complete association", 50, 50, 50, 100, na, 1.0, 1.0},
      {"independence", 25, 50, 50, 100, 0.0, 0.0, 0.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    const linkage::CellMeasures m = linkage::cell_measures(c.cell, c.row, c.col, c.n);
    if (!std::isnan(c.d)) {
      EXPECT_NEAR(m.d, c.d, 1e-12);
    }
    EXPECT_NEAR(m.dprime, c.dprime, 1e-12);
    if (!std::isnan(c.r2)) {
      EXPECT_NEAR(m.r2, c.r2, 1e-12);
    }
  }
  EXPECT_NEAR(linkage::cell_measures(40, 50, 50, 100).chi2, 36.0, 1e-9);
}

TEST(LdCellMeasures, MonomorphicLocusHasNoDmax) {
  // Allele present in every copy: p = 1, so Dmax = 0 and r^2 is undefined.
  const linkage::CellMeasures m = linkage::cell_measures(30, 50, 30, 50);
  EXPECT_FALSE(m.dmax_positive);
  EXPECT_EQ(m.dprime, 0.0);
  EXPECT_EQ(m.r2, 0.0);
  EXPECT_TRUE(std::isfinite(m.chi2));
}

// ---------------------------------------------------------------------------
// Allele numbering and polymorphic loci.
// ---------------------------------------------------------------------------
std::vector<const std::string*> pointers(const std::vector<std::string>& v) {
  std::vector<const std::string*> out;
  for (const std::string& s : v) out.push_back(&s);
  return out;
}

TEST(LdAlleleCoding, SequenceSitesIgnoreMissingButCountGaps) {
  const std::vector<std::string> seqs = {"AAC?", "AGC-", "A?CA"};
  PopGenetics::LdWorkspace ld;
  linkage::code_alleles(pointers(seqs), DNA, '\0', '?', ld);
  EXPECT_EQ(ld.poly_loci, (std::vector<int>{1, 3}));
  EXPECT_EQ(ld.position, (std::vector<int>{-1, 0, -1, 1}));
  EXPECT_EQ(ld.num_alleles, (std::vector<int>{2, 2}));
  EXPECT_EQ(ld.codes, (std::vector<int>{0, 1, linkage::kMissing, linkage::kMissing, 0, 1}));
}

TEST(LdAlleleCoding, MicrosatelliteTokensSplitAtSeparatorRuns) {
  const std::vector<std::string> haps = {" 12 14 16", "  12  15 16", " ? 14 16", " 13 140"};
  PopGenetics::LdWorkspace ld;
  linkage::code_alleles(pointers(haps), MICROSAT, ' ', '?', ld);
  // Locus 0: 12 12 ? 13 (polymorphic); locus 1: 14 15 14 140; locus 2: 16 16 16, absent.
  EXPECT_EQ(ld.poly_loci, (std::vector<int>{0, 1}));
  EXPECT_EQ(ld.num_alleles, (std::vector<int>{2, 3}));
  EXPECT_EQ(ld.codes, (std::vector<int>{0, 0, linkage::kMissing, 1, 0, 1, 0, 2}));
  EXPECT_EQ(ld.position, (std::vector<int>{0, 1, -1}));
}

TEST(LdAlleleCoding, NulSeparatorMeansOneCharacterPerLocus) {
  const std::vector<std::string> haps = {"ABC", "ABD"};
  PopGenetics::LdWorkspace ld;
  linkage::code_alleles(pointers(haps), STANDARD, '\0', '?', ld);
  EXPECT_EQ(ld.poly_loci, (std::vector<int>{2}));
}

TEST(LdAlleleCoding, RflpSitesSkipTheSeparator) {
  const std::vector<std::string> haps = {" 0 1 1", " 0 0 1", " 0 ? 1"};
  PopGenetics::LdWorkspace ld;
  linkage::code_alleles(pointers(haps), RFLP, ' ', '?', ld);
  EXPECT_EQ(ld.poly_loci, (std::vector<int>{1}));
  EXPECT_EQ(ld.codes, (std::vector<int>{0, 1, linkage::kMissing}));
}

TEST(LdAlleleCoding, ShortContentMarksTheLocusAbsent) {
  const std::vector<std::string> seqs = {"AAG", "GGA", "AG"};
  PopGenetics::LdWorkspace ld;
  linkage::code_alleles(pointers(seqs), DNA, '\0', '?', ld);
  EXPECT_EQ(ld.poly_loci, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(ld.codes[6 + 2], linkage::kAbsent);
}

// ---------------------------------------------------------------------------
// Pair values reaching the summary lists.
// ---------------------------------------------------------------------------
using LdPairValues = LdFixture;

TEST_F(LdPairValues, TwoLociAtZeroAndOneGiveOnePairAdjacentAndFlanking) {
  Population p = sample({{"AC", 40}, {"AT", 10}, {"GC", 10}, {"GT", 40}});
  EXPECT_EQ(run(p), 1);
  expect_values(SumStat.meanDprime, {0.6}, "meanDprime");
  expect_values(SumStat.meanR2, {0.36}, "meanR2");
  expect_values(SumStat.adjDprime, {0.6}, "adjDprime");
  expect_values(SumStat.adjR2, {0.36}, "adjR2");
  expect_values(SumStat.meanAdjDprime, {0.6}, "meanAdjDprime");
  expect_values(SumStat.meanAdjR2, {0.36}, "meanAdjR2");
  expect_values(SumStat.flankDprime, {0.6}, "flankDprime");
  expect_values(SumStat.flankR2, {0.36}, "flankR2");
}

// Two polymorphic loci: the pair value is D' and r^2 of the last cell of the
// table (rows and columns in order of first appearance), the same in the mean
// and the flanking lists.
TEST_F(LdPairValues, TwoLociTakeTheLastCell) {
  struct Case {
    const char* why;
    TDataType type;
    Entries haps;
    double dprime, r2;
  };
  const Case cases[] = {
      // Last cell (3, b): n = 5, row 10, column 20 of 50: D = 0.1 - 0.2*0.4 = 0.02,
      // Dmax = 0.2*0.6.
      {"last cell (3, b)",
       STANDARD,
       {{" 1 a", 20}, {" 1 b", 5}, {" 2 a", 5}, {" 2 b", 10}, {" 3 a", 5}, {" 3 b", 5}},
       0.02 / 0.12,
       0.02 * 0.02 / (0.2 * 0.8 * 0.4 * 0.6)},
      // Same counts listed backwards: the last cell is now (1, a), D = 0.1, D' = 0.5.
      {"last cell (1, a)",
       STANDARD,
       {{" 3 b", 5}, {" 3 a", 5}, {" 2 b", 10}, {" 2 a", 5}, {" 1 b", 5}, {" 1 a", 20}},
       0.5,
       0.01 / (0.5 * 0.5 * 0.6 * 0.4)},
      {"complete association", DNA, {{"AC", 30}, {"GT", 20}}, 1.0, 1.0},
      {"independent loci", DNA, {{"AC", 25}, {"AT", 25}, {"GC", 25}, {"GT", 25}}, 0.0, 0.0},
      // 10 and 100 share a first character: they must stay distinct alleles.
      {"microsatellite tokens", MICROSAT, {{" 10 200", 30}, {" 100 201", 20}}, 1.0, 1.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    SumStat.clearValues();  // a pass empties the lists before the first sample
    ProfileSettings::DataType = c.type;
    ProfileSettings::LocusSeparator = c.type == DNA ? '\0' : ' ';
    Population p = sample(c.haps);
    EXPECT_EQ(run(p), 1);
    expect_values(SumStat.meanDprime, {c.dprime}, "meanDprime");
    expect_values(SumStat.meanR2, {c.r2}, "meanR2");
    expect_values(SumStat.flankR2, {c.r2}, "flankR2");
  }
}

TEST_F(LdPairValues, MissingDataSkippedForThatPairOnly) {
  // (0,1): AA 10, GG 10, AG 5 -> last cell (G,G): p 0.4, q 0.6, D = 0.16 = Dmax,
  // r^2 = 0.16^2/(0.4*0.6*0.6*0.4) = 4/9. (0,2) and (1,2) count only the first
  // two haplotypes: complete association.
  Population p = sample({{"AAA", 10}, {"GGG", 10}, {"AG?", 5}});
  EXPECT_EQ(run(p), 1);
  expect_values(SumStat.adjDprime, {1.0, 1.0}, "adjDprime");
  expect_values(SumStat.adjR2, {4.0 / 9.0, 1.0}, "adjR2");
  expect_values(SumStat.meanR2, {(4.0 / 9.0 + 2.0) / 3.0}, "meanR2");
  expect_values(SumStat.meanAdjR2, {(4.0 / 9.0 + 1.0) / 2.0}, "meanAdjR2");
  expect_values(SumStat.flankR2, {1.0}, "flankR2");
}

TEST_F(LdPairValues, RandomSequencesMatchNaiveExpandedComputation) {
  std::mt19937 gen(20240611);
  const std::string alphabet = "ACGT-?";
  for (int round = 0; round < 20; ++round) {
    SumStat.clearValues();
    Entries entries;
    const int num_haps = 2 + static_cast<int>(gen() % 8);
    const int length = 1 + static_cast<int>(gen() % 12);
    for (int h = 0; h < num_haps; ++h) {
      std::string seq;
      for (int site = 0; site < length; ++site) {
        // Mostly 'A' so that monomorphic sites and missing data both occur.
        const unsigned roll = gen() % 10;
        seq += roll < 6 ? 'A' : alphabet[gen() % alphabet.size()];
      }
      entries.emplace_back(seq, 1 + static_cast<int>(gen() % 6));
    }
    Population p = sample(entries);
    SCOPED_TRACE("round " + std::to_string(round));
    run(p);
    expect_lists_match(naive_unit(entries, '?'));
  }
}

// ---------------------------------------------------------------------------
// Which pairs are adjacent and flanking.
// ---------------------------------------------------------------------------
using LdPairRoles = LdFixture;

TEST_F(LdPairRoles, LociZeroTwoThreeAdjacentTwoThreeFlankZeroThree) {
  // Site 1 is monomorphic. The three pairs differ so that each list entry shows
  // which pair it came from.
  const Entries entries = {{"AAAA", 10}, {"GACC", 10}, {"GAAC", 6}, {"AACA", 3}};
  Population p = sample(entries);
  EXPECT_EQ(run(p), 1);
  const std::vector<std::string> copies = expand(entries);
  const NaivePair p02 = naive_pair(copies, 0, 2, '?');
  const NaivePair p03 = naive_pair(copies, 0, 3, '?');
  const NaivePair p23 = naive_pair(copies, 2, 3, '?');
  ASSERT_NE(p03.r2, p02.r2);
  ASSERT_NE(p23.r2, p03.r2);
  expect_values(SumStat.adjDprime, {p23.dprime}, "adjDprime");
  expect_values(SumStat.adjR2, {p23.r2}, "adjR2");
  expect_values(SumStat.flankDprime, {p03.dprime}, "flankDprime");
  expect_values(SumStat.flankR2, {p03.r2}, "flankR2");
  expect_values(SumStat.meanR2, {(p02.r2 + p03.r2 + p23.r2) / 3.0}, "meanR2");
}

TEST_F(LdPairRoles, NoAdjacentPairGivesZeroMean) {
  const Entries entries = {{"AAA", 10}, {"GAC", 10}, {"GAA", 5}};
  Population p = sample(entries);
  EXPECT_EQ(run(p), 1);
  EXPECT_EQ(SumStat.adjDprime.size(), 0);
  expect_values(SumStat.meanAdjDprime, {0.0}, "meanAdjDprime");
  expect_values(SumStat.meanAdjR2, {0.0}, "meanAdjR2");
  const NaivePair p02 = naive_pair(expand(entries), 0, 2, '?');
  expect_values(SumStat.flankR2, {p02.r2}, "flankR2");
}

TEST_F(LdPairRoles, AdjacentListFilledForItsMeanEvenWithoutAllKeyword) {
  set_ld_keywords(false);
  SumStat.MEAN_ADJ_DPRIME = true;
  Population p = sample({{"AC", 40}, {"AT", 10}, {"GC", 10}, {"GT", 40}});
  EXPECT_EQ(run(p), 1);
  expect_values(SumStat.adjDprime, {0.6}, "adjDprime");
  expect_values(SumStat.meanAdjDprime, {0.6}, "meanAdjDprime");
  EXPECT_EQ(SumStat.adjR2.size(), 0);
  EXPECT_EQ(SumStat.meanDprime.size(), 0);
  EXPECT_EQ(SumStat.flankDprime.size(), 0);
}

// ---------------------------------------------------------------------------
// Units without pairs, failures, and several units.
// ---------------------------------------------------------------------------
using LdUnits = LdFixture;

TEST_F(LdUnits, OnePolymorphicLocusGivesOneZeroPerUnitList) {
  LogCapture log;
  Population p = sample({{"AC", 10}, {"AT", 10}});
  EXPECT_EQ(run(p), 1);
  NaiveLists expected;
  expected.mean_dprime = expected.mean_r2 = expected.mean_adj_dprime = expected.mean_adj_r2 =
      expected.flank_dprime = expected.flank_r2 = {0.0};
  expect_lists_match(expected);
  EXPECT_NE(log.text().find("#[WARNING # 1] from function \"PopGenetics::calc_all_gam_des()\" : "
                            "linkage disequilibrium cannot be computed on a single locus"),
            std::string::npos)
      << log.text();
}

TEST_F(LdUnits, NoHaplotypesIsAnErrorAndStillOneZeroPerUnitList) {
  LogCapture log;
  Population p = sample({});
  EXPECT_EQ(run(p), 0);
  expect_values(SumStat.meanDprime, {0.0}, "meanDprime");
  expect_values(SumStat.flankR2, {0.0}, "flankR2");
  EXPECT_EQ(SumStat.adjR2.size(), 0);
  EXPECT_NE(log.text().find("#[ERROR # 1] from function \"PopGenetics::calc_all_gam_des()\" : "
                            "haplotype list is empty"),
            std::string::npos)
      << log.text();
}

TEST_F(LdUnits, HaplotypeWithoutCopiesAddsNoAllele) {
  LogCapture log;
  // Without the empty entry only locus 0 varies: a single polymorphic locus.
  Population p = sample({{"AC", 10}, {"GC", 10}, {"AT", 0}});
  EXPECT_EQ(run(p), 1);
  expect_values(SumStat.meanDprime, {0.0}, "meanDprime");
  EXPECT_EQ(SumStat.adjDprime.size(), 0);
  EXPECT_NE(log.text().find("cannot be computed on a single locus"), std::string::npos);
}

TEST_F(LdUnits, LocusBeyondAHaplotypeFailsOnlyItsPairs) {
  LogCapture log;
  // Locus 2 is missing from the third haplotype: pairs (0,2) and (1,2) fail and
  // count 0; pair (0,1) is AA 10, GG 10, AG 5 (r^2 4/9, |D'| 1).
  Population p = sample({{"AAG", 10}, {"GGA", 10}, {"AG", 5}});
  EXPECT_EQ(run(p), 1);
  expect_values(SumStat.adjR2, {4.0 / 9.0, 0.0}, "adjR2");
  expect_values(SumStat.meanDprime, {1.0 / 3.0}, "meanDprime");
  expect_values(SumStat.flankDprime, {0.0}, "flankDprime");
  EXPECT_NE(log.text().find("from function \"PopGenetics::make_all_table()\" : invalid index in "
                            "contingency table"),
            std::string::npos)
      << log.text();
}

TEST_F(LdUnits, TwoUnitsGiveListsInUnitOrder) {
  Population first = sample({{"AC", 40}, {"AT", 10}, {"GC", 10}, {"GT", 40}});
  Population middle = sample({{"AC", 10}, {"AT", 10}});  // one polymorphic locus
  Population last = sample({{"AC", 30}, {"GT", 20}});
  run(first);
  run(middle);
  run(last);
  expect_values(SumStat.meanDprime, {0.6, 0.0, 1.0}, "meanDprime");
  expect_values(SumStat.meanR2, {0.36, 0.0, 1.0}, "meanR2");
  expect_values(SumStat.adjDprime, {0.6, 1.0}, "adjDprime");
  expect_values(SumStat.meanAdjR2, {0.36, 0.0, 1.0}, "meanAdjR2");
  expect_values(SumStat.flankDprime, {0.6, 0.0, 1.0}, "flankDprime");
  expect_values(SumStat.flankR2, {0.36, 0.0, 1.0}, "flankR2");
}

TEST_F(LdUnits, ExactTestIsReportedUnavailableAndEmptiesNothing) {
  s_.MakeExactTestLD = 1;
  Population first = sample({{"AC", 40}, {"AT", 10}, {"GC", 10}, {"GT", 40}});
  Population second = sample({{"AC", 30}, {"GT", 20}});
  first.calc_all_gam_des(out_, 1000, s_);
  second.calc_all_gam_des(out_, 1000, s_);
  expect_values(SumStat.meanDprime, {0.6, 1.0}, "meanDprime");
  EXPECT_NE(out_.str().find("exact test of linkage disequilibrium is not available in this "
                            "program\n"),
            std::string::npos);
}

TEST_F(LdUnits, PassStartEmptiesTheEightLists) {
  Population p = sample({{"AC", 40}, {"AT", 10}, {"GC", 10}, {"GT", 40}});
  run(p);
  SumStat.clearValues();
  expect_lists_match(NaiveLists{});
  run(p);  // the next pass holds its own entries only
  expect_values(SumStat.meanDprime, {0.6}, "meanDprime");
  expect_values(SumStat.adjR2, {0.36}, "adjR2");
}

TEST_F(LdUnits, ReportListsEachPair) {
  Population p = sample({{"AAA", 10}, {"GGG", 10}, {"AG?", 5}});
  run(p);
  const std::string text = out_.str();
  EXPECT_NE(text.find("3 polymorphic loci, 3 pairs"), std::string::npos) << text;
  const size_t p01 = text.find("Pair (0, 1): n = 25");
  const size_t p02 = text.find("Pair (0, 2): n = 20");
  const size_t p12 = text.find("Pair (1, 2): n = 20");
  ASSERT_NE(p01, std::string::npos) << text;
  ASSERT_NE(p02, std::string::npos) << text;
  ASSERT_NE(p12, std::string::npos) << text;
  EXPECT_LT(p01, p02);
  EXPECT_LT(p02, p12);
}

TEST_F(LdUnits, ReportListsOnlyTheFirstTenPairs) {
  // Six polymorphic loci make 15 pairs: ten lines, then one line for the rest,
  // while all 15 pairs still reach the mean.
  const Entries entries = {{"AAAAAA", 10}, {"GGGGGG", 10}, {"AGAGAG", 5}};
  Population p = sample(entries);
  run(p);
  expect_lists_match(naive_unit(entries, '?'));
  const std::string text = out_.str();
  size_t lines = 0;
  for (size_t at = text.find("Pair ("); at != std::string::npos; at = text.find("Pair (", at + 1))
    ++lines;
  EXPECT_EQ(lines, 10u) << text;
  EXPECT_NE(text.find("(5 further pairs not listed)"), std::string::npos) << text;
}

// ---------------------------------------------------------------------------
// The analysis entries run the measures under TaskNumber bit 16.
// ---------------------------------------------------------------------------
using LdAnalysisEntry = LdFixture;

TEST_F(LdAnalysisEntry, KnownGametesFillTheLists) {
  LogCapture log;
  s_.TaskNumber = kTaskLinkageDisequilibrium;
  PopulDNA dna(sample({{"AC", 40}, {"AT", 10}, {"GC", 10}, {"GT", 40}}));
  EXPECT_EQ(dna.test_methods(s_), 1);
  ProfileSettings::DataType = STANDARD;
  ProfileSettings::LocusSeparator = ' ';
  PopulStandard standard(sample({{" 1 x", 30}, {" 2 y", 20}}));
  EXPECT_EQ(standard.test_methods(s_), 1);
  expect_values(SumStat.meanDprime, {0.6, 1.0}, "meanDprime");
  expect_values(SumStat.flankR2, {0.36, 1.0}, "flankR2");
  EXPECT_NE(log.text().find("\tTesting linkage disequilibrium (haplotypic data)...\n"),
            std::string::npos)
      << log.text();
}

TEST_F(LdAnalysisEntry, UnknownPhaseOnlyAnnouncesThePhenotypicTest) {
  LogCapture log;
  s_.TaskNumber = kTaskLinkageDisequilibrium;
  s_.genotypicData = 1;
  s_.gameticPhaseKnown = 0;
  ProfileSettings::DataType = STANDARD;
  ProfileSettings::LocusSeparator = ' ';
  PopulStandard p(sample({{" 1 x", 30}, {" 2 y", 20}}));
  EXPECT_EQ(p.test_methods(s_), 1);
  expect_lists_match(NaiveLists{});
  EXPECT_NE(log.text().find("\tTesting linkage disequilibrium (phenotypic data)...\n"),
            std::string::npos)
      << log.text();
}

TEST_F(LdAnalysisEntry, OtherTasksLeaveTheListsAlone) {
  s_.TaskNumber = kTaskStandardIndices;
  PopulDNA dna(sample({{"AC", 40}, {"AT", 10}, {"GC", 10}, {"GT", 40}}));
  EXPECT_EQ(dna.test_methods(s_), 1);
  expect_lists_match(NaiveLists{});
}

}  // namespace
