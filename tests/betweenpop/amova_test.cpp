// AMOVA: published reference values, hand-computed individual-level cases,
// a naive expanded-copy implementation on random data, design choice,
// degenerate input and the permutation tests.
#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <random>

#include "../project/log_capture.h"
#include "amova_fixture.h"
#include "withinpop/random.h"

using qnd_amova_test::AmovaInput;
using qnd_amova_test::SumStatScope;

namespace {

// Haplotypes A, B, C with squared distances AB = 1, AC = 2, BC = 3.
void set_abc(AmovaInput& in) {
  in.set_d2('A', 'B', 1);
  in.set_d2('A', 'C', 2);
  in.set_d2('B', 'C', 3);
}

void reseed(int seed) { ran3(&seed); }

}  // namespace

TEST(AmovaGeneCopies, OneLevelReferenceCase) {
  SumStatScope scope(true);
  AmovaInput in("ABC");
  set_abc(in);
  in.haploid({{'A', 3}, {'B', 1}});
  in.haploid({{'A', 1}, {'C', 3}});
  auto a = in.run();
  EXPECT_EQ(a->design, Amova::k1GPH);
  EXPECT_EQ(in.results.design_number, 1);
  EXPECT_NEAR(a->sigma2a, 0.5, 1e-12);
  EXPECT_NEAR(a->sigma2b, 0.375, 1e-12);
  EXPECT_NEAR(a->FST, 0.5714286, 1e-7);
  EXPECT_TRUE(SumStat.hasFST);
  EXPECT_NEAR(SumStat.FST, 0.5714286, 1e-7);
  EXPECT_FALSE(SumStat.hasFIS);
}

TEST(AmovaGeneCopies, ReportIsStampedWithTheFullYear) {
  // "dd/mm/yyyy at hh:mm:ss)": the century is the real one, not a fixed "19".
  SumStatScope scope(true);
  AmovaInput in("ABC");
  set_abc(in);
  in.haploid({{'A', 3}, {'B', 1}});
  in.haploid({{'A', 1}, {'C', 3}});
  const std::time_t now = std::time(nullptr);
  const int year = std::localtime(&now)->tm_year + 1900;
  auto a = in.run();
  EXPECT_NE(a->time_text.find("/" + std::to_string(year) + " at "), std::string::npos)
      << a->time_text;
  EXPECT_EQ(a->time_text.back(), ')');
}

TEST(AmovaGeneCopies, TwoLevelUnbalancedReferenceCase) {
  SumStatScope scope(true);
  AmovaInput in("ABC");
  set_abc(in);
  in.haploid({{'A', 3}, {'B', 1}});
  in.haploid({{'A', 2}, {'B', 3}, {'C', 1}});
  in.group();
  in.haploid({{'A', 1}, {'C', 4}});
  in.haploid({{'B', 1}, {'C', 2}});
  auto a = in.run();
  EXPECT_EQ(a->design, Amova::kGPH);
  EXPECT_NEAR(a->n, 4.275, 1e-9);
  EXPECT_NEAR(a->n_prime, 4.672222, 1e-6);
  EXPECT_NEAR(a->n_second, 8.888889, 1e-6);
  EXPECT_NEAR(a->sigma2a, 0.4316004, 1e-7);
  EXPECT_NEAR(a->sigma2b, -0.0602896, 1e-7);  // negative, reported as it is
  EXPECT_NEAR(a->sigma2c, 0.5369048, 1e-7);
  EXPECT_NEAR(a->FST, 0.4088356, 1e-7);
  EXPECT_NEAR(a->FSC, -0.1264954, 1e-7);
  EXPECT_NEAR(a->FCT, 0.4752180, 1e-7);
  EXPECT_TRUE(SumStat.hasFST && SumStat.hasFSC && SumStat.hasFCT);
  EXPECT_FALSE(SumStat.hasFIS || SumStat.hasFIT);
  EXPECT_NEAR(SumStat.FCT, 0.4752180, 1e-7);
}

TEST(AmovaGeneCopies, IdenticalPopulationsGiveNegativeAmongComponent) {
  AmovaInput in("ABC");
  set_abc(in);
  in.haploid({{'A', 2}, {'B', 2}});
  in.haploid({{'A', 2}, {'B', 2}});
  auto a = in.run();
  EXPECT_LT(a->sigma2a, 0.0);
  EXPECT_LT(a->FST, 0.0);
}

TEST(AmovaGeneCopies, AllCopiesIdenticalGiveZeroFstAndTinyTotal) {
  AmovaInput in("ABC");
  set_abc(in);
  in.haploid({{'A', 3}});
  in.haploid({{'A', 4}});
  auto a = in.run();
  EXPECT_EQ(a->FST, 0.0);
  EXPECT_EQ(a->sigma2T, 1e-18);
  EXPECT_EQ(in.results.sigma2_T, 1e-18);
}

TEST(AmovaGeneCopies, GlobalIndicesReachRecordOnlyWithTheKeyword) {
  SumStatScope scope(false);
  AmovaInput in("ABC");
  set_abc(in);
  in.haploid({{'A', 3}, {'B', 1}});
  in.haploid({{'A', 1}, {'C', 3}});
  in.run();
  EXPECT_FALSE(SumStat.hasFST);
  EXPECT_EQ(SumStat.FST, 0.0);
}

TEST(AmovaGeneCopies, ConstantModeMatrixHoldsForEveryHaplotypeIndex) {
  // A constant matrix of size 2 (as built for frequency data) over five
  // haplotypes: every off-diagonal pair is at 1, whatever its index.
  AmovaInput in("ABCDE");
  in.distmat.tri.set_constant(2, 0.0, 1.0);
  in.haploid({{'A', 2}, {'D', 1}, {'E', 1}});
  in.haploid({{'C', 3}, {'E', 1}});
  auto a = in.run();
  AmovaInput ref("ABCDE");
  for (char x : std::string("ABCDE"))
    for (char y : std::string("ABCDE"))
      if (x < y) ref.set_d2(x, y, 1.0);
  ref.haploid({{'A', 2}, {'D', 1}, {'E', 1}});
  ref.haploid({{'C', 3}, {'E', 1}});
  auto b = ref.run();
  EXPECT_NEAR(a->sigma2a, b->sigma2a, 1e-12);
  EXPECT_NEAR(a->sigma2b, b->sigma2b, 1e-12);
  EXPECT_NEAR(a->FST, b->FST, 1e-12);
}

// Naive AMOVA over expanded gene copies (two levels), written from the
// definitions: sums over all pairs of copies within each unit.
struct NaiveTwoLevel {
  double sa, sb, sc;
};

NaiveTwoLevel naive_groups(const std::vector<std::vector<std::vector<int>>>& groups,
                           const std::vector<std::vector<double>>& d2) {
  auto ssd = [&](const std::vector<int>& v) {
    double s = 0;
    for (size_t i = 0; i < v.size(); ++i)
      for (size_t j = 0; j < i; ++j) s += d2[v[i]][v[j]];
    return s / v.size();
  };
  std::vector<int> all;
  double wp = 0, wg = 0, N = 0, sum_ng2 = 0, sum_np2 = 0, sum_np2_ng = 0;
  int P = 0;
  for (const auto& g : groups) {
    std::vector<int> gv;
    double np2 = 0;
    for (const auto& p : g) {
      wp += ssd(p);
      gv.insert(gv.end(), p.begin(), p.end());
      np2 += double(p.size()) * p.size();
      ++P;
    }
    wg += ssd(gv);
    all.insert(all.end(), gv.begin(), gv.end());
    sum_ng2 += double(gv.size()) * gv.size();
    sum_np2 += np2;
    sum_np2_ng += np2 / gv.size();
  }
  N = all.size();
  const int G = groups.size();
  const double tot = ssd(all);
  const double msd_wp = wp / (N - P), msd_ap = (wg - wp) / (P - G), msd_ag = (tot - wg) / (G - 1);
  const double n = (N - sum_np2_ng) / (P - G);
  const double n1 = (sum_np2_ng - sum_np2 / N) / (G - 1);
  const double n2 = (N - sum_ng2 / N) / (G - 1);
  NaiveTwoLevel r;
  r.sc = msd_wp;
  r.sb = (msd_ap - r.sc) / n;
  r.sa = (msd_ag - r.sc - n1 * r.sb) / n2;
  return r;
}

TEST(AmovaGeneCopies, MatchesNaiveExpandedCopiesOnRandomData) {
  std::mt19937 rng(7);
  for (int rep = 0; rep < 5; ++rep) {
    const std::string names = "ABCDEFGH";
    AmovaInput in(names);
    std::vector<std::vector<double>> d2(8, std::vector<double>(8, 0.0));
    std::uniform_real_distribution<double> dist(0.5, 5.0);
    for (int i = 0; i < 8; ++i)
      for (int j = 0; j < i; ++j) {
        d2[i][j] = d2[j][i] = dist(rng);
        in.set_d2(names[i], names[j], d2[i][j]);
      }
    std::vector<std::vector<std::vector<int>>> groups(3);
    for (int g = 0; g < 3; ++g) {
      if (g > 0) in.group();
      for (int p = 0; p < 2 + g; ++p) {
        std::vector<std::pair<char, int>> entries;
        std::vector<int> copies;
        for (int h = 0; h < 8; ++h) {
          const int c = static_cast<int>(rng() % 4);
          if (c == 0) continue;
          entries.push_back({names[h], c});
          copies.insert(copies.end(), c, h);
        }
        if (copies.empty()) {
          entries.push_back({'A', 1});
          copies.push_back(0);
        }
        in.haploid(entries);
        groups[g].push_back(copies);
      }
    }
    auto a = in.run();
    const NaiveTwoLevel r = naive_groups(groups, d2);
    EXPECT_NEAR(a->sigma2a, r.sa, 1e-9);
    EXPECT_NEAR(a->sigma2b, r.sb, 1e-9);
    EXPECT_NEAR(a->sigma2c, r.sc, 1e-9);
  }
}

TEST(AmovaIndividuals, OnePopulationFisByHand) {
  // AB = 1; individuals AB, AA, BB: SSD_WI = 0.5, SSD_p/n_p = 9/6 = 1.5,
  // MSD_AI = (1.5 - 0.5)/2 = 0.5, MSD_WI = 0.5/3, sigma2a = (0.5 - 1/6)/2 = 1/6,
  // sigma2b = 1/6, FIS = 0.5.
  SumStatScope scope(true);
  AmovaInput in("AB");
  in.set_d2('A', 'B', 1);
  in.diploid({"AB", "AA", "BB"});
  in.genotypic(true);
  in.s.IncludeIndividualLevel = 1;
  auto a = in.run();
  EXPECT_EQ(a->design, Amova::k1G1PI);
  EXPECT_NEAR(a->sigma2a, 1.0 / 6, 1e-12);
  EXPECT_NEAR(a->sigma2b, 1.0 / 6, 1e-12);
  EXPECT_NEAR(a->FIS, 0.5, 1e-12);
  EXPECT_TRUE(SumStat.hasFIS);
  EXPECT_FALSE(SumStat.hasFST);
}

TEST(AmovaIndividuals, TwoPopulationsByHand) {
  // AB = 1. Pop 1: AA, AB (copies A A A B); pop 2: BB, BB (B B B B).
  // SSD_1 = 3, SSD_2 = 0, SSD_12 = 3*4*1 = 12; total/N = 15/8.
  // SSD_WP = 3/4; SSD_WI = 1/2; SSD_AP = 15/8 - 3/4 = 9/8; SSD_AI = 1/4.
  // df: AP 1, AI 2, WI 4. MSD: 9/8, 1/8, 1/8. n = (8 - 32/8)/1 = 4.
  // sigma2c = 1/8, sigma2b = (1/8 - 1/8)/2 = 0, sigma2a = (9/8 - 1/8)/4 = 1/4.
  // T = 3/8: FST = 2/3, FIT = 2/3, FIS = 0.
  SumStatScope scope(true);
  AmovaInput in("AB");
  in.set_d2('A', 'B', 1);
  in.diploid({"AA", "AB"});
  in.diploid({"BB", "BB"});
  in.genotypic(true);
  in.s.IncludeIndividualLevel = 1;
  auto a = in.run();
  EXPECT_EQ(a->design, Amova::k1GPI);
  EXPECT_NEAR(a->sigma2a, 0.25, 1e-12);
  EXPECT_NEAR(a->sigma2b, 0.0, 1e-12);
  EXPECT_NEAR(a->sigma2c, 0.125, 1e-12);
  EXPECT_NEAR(a->FST, 2.0 / 3, 1e-12);
  EXPECT_NEAR(a->FIT, 2.0 / 3, 1e-12);
  EXPECT_NEAR(a->FIS, 0.0, 1e-12);
  EXPECT_TRUE(SumStat.hasFIS && SumStat.hasFST && SumStat.hasFIT);
}

TEST(AmovaIndividuals, SeveralGroupsLeaveFstUnset) {
  SumStatScope scope(true);
  AmovaInput in("AB");
  in.set_d2('A', 'B', 1);
  in.diploid({"AA", "AB"});
  in.diploid({"AB", "BB"});
  in.group();
  in.diploid({"BB", "BB"});
  in.diploid({"AB", "BB"});
  in.genotypic(true);
  in.s.IncludeIndividualLevel = 1;
  auto a = in.run();
  EXPECT_EQ(a->design, Amova::kGPI);
  EXPECT_TRUE(in.results.success);
  EXPECT_FALSE(SumStat.hasFST);
  EXPECT_TRUE(SumStat.hasFIS && SumStat.hasFSC && SumStat.hasFCT && SumStat.hasFIT);
  // The four components add up to the total.
  EXPECT_NEAR(a->sigma2T, a->sigma2a + a->sigma2b + a->sigma2c + a->sigma2d, 1e-12);
  EXPECT_NEAR(a->FIS, a->sigma2c / (a->sigma2c + a->sigma2d), 1e-12);
}

TEST(AmovaDesign, ChoiceFollowsDataAndSettings) {
  struct Case {
    bool genotypic, phase, L, CF, R;
    int groups, pops_first;
    int expected;
  };
  const Case cases[] = {
      {false, true, false, false, false, 1, 2, 3}, {false, true, false, false, false, 2, 2, 5},
      {false, true, false, false, false, 1, 1, 0}, {true, true, true, false, false, 1, 1, 2},
      {true, true, true, false, false, 1, 2, 4},   {true, true, true, false, false, 2, 1, 6},
      {true, false, false, false, true, 1, 2, 9},  {true, false, false, false, true, 2, 1, 10},
      {true, false, true, false, false, 1, 2, 4},  {true, false, true, true, false, 1, 2, 7},
      {true, false, true, false, false, 1, 1, 2},  {true, false, true, true, false, 1, 1, 0},
      {true, false, true, false, false, 2, 1, 6},  {true, false, true, true, false, 2, 1, 8},
      {true, false, false, false, false, 1, 2, 7}, {true, false, false, false, false, 2, 1, 8},
      {true, true, false, false, false, 1, 2, 3},
  };
  for (const Case& c : cases) {
    AmovaInput in("AB");
    in.set_d2('A', 'B', 1);
    for (int g = 0; g < c.groups; ++g) {
      if (g > 0) in.group();
      for (int p = 0; p < c.pops_first; ++p) in.diploid({"AB", "AA"});
    }
    if (c.genotypic)
      in.genotypic(c.phase);
    else {
      for (Population* p : in.samples.pops) p->profile.GenotypicData = 0;
    }
    in.s.IncludeIndividualLevel = c.L;
    in.s.ComputeConventionalFST = c.CF;
    in.s.RecessiveAllelesEM = c.R;
    in.s.TaskNumber = 0;  // choose only
    auto a = in.run();
    EXPECT_EQ(a->choose_design(), c.expected)
        << c.genotypic << c.phase << c.L << c.CF << c.R << ' ' << c.groups << ' ' << c.pops_first;
  }
}

TEST(AmovaDesign, ZeroDegreesOfFreedomIsAnError) {
  qnd_project_test::LogCapture log;
  SumStatScope scope(true);
  AmovaInput in("ABC");
  set_abc(in);
  in.haploid({{'A', 2}});
  in.group();
  in.haploid({{'B', 2}});  // one population per group: df among populations = 0
  auto a = in.run();
  EXPECT_EQ(a->design, Amova::kGPH);
  EXPECT_FALSE(in.results.success);
  EXPECT_TRUE(log.has_numbered("ERROR", "Amova::AMOVA_G_P_H()", 2));
  EXPECT_FALSE(SumStat.hasFST);
}

TEST(AmovaDesign, HaplotypeOutsideTheMatrixIsRejected) {
  qnd_project_test::LogCapture log;
  AmovaInput in("ABC");
  set_abc(in);
  in.distmat.tri.resize(2);  // C has no row
  in.haploid({{'A', 2}, {'C', 1}});
  in.haploid({{'B', 2}});
  in.run();
  EXPECT_FALSE(in.results.success);
  EXPECT_TRUE(log.has_numbered("ERROR", "Amova::initialize()", 135));
}

TEST(AmovaPermutations, BatchesRaiseTheNumberOfPermutations) {
  int k = 0, m = 0;
  Amova::permutation_batches(100, k, m);
  EXPECT_EQ(k, 10);
  EXPECT_EQ(m, 110);
  Amova::permutation_batches(1000, k, m);
  EXPECT_EQ(k, 31);
  EXPECT_EQ(m, (1000 / 31 + 1) * 31);
  Amova::permutation_batches(1, k, m);
  EXPECT_EQ(k, 1);
  EXPECT_EQ(m, 2);
  Amova::permutation_batches(0, k, m);
  EXPECT_EQ(m, 0);
}

TEST(AmovaPermutations, RunTheRaisedNumberAndKeepSortedNullDistribution) {
  reseed(-4711);
  AmovaInput in("ABC");
  set_abc(in);
  in.s.NumPermutationsAMOVA = 100;
  in.haploid({{'A', 3}, {'B', 1}});
  in.haploid({{'A', 1}, {'C', 3}});
  in.run();
  ASSERT_EQ(in.results.tests.size(), 1u);
  const AmovaTest& t = in.results.tests[0];
  EXPECT_EQ(t.permutations, 110);
  EXPECT_EQ(t.null_distribution.size(), 110u);
  EXPECT_TRUE(std::is_sorted(t.null_distribution.begin(), t.null_distribution.end()));
  EXPECT_EQ(t.component, "Va");
  EXPECT_NEAR(t.p_value, double(t.successes + t.equal) / 110, 1e-15);
}

TEST(AmovaPermutations, IdenticalPopulationsGiveLargePValue) {
  reseed(-12345);
  AmovaInput in("ABC");
  set_abc(in);
  in.s.NumPermutationsAMOVA = 200;
  in.haploid({{'A', 5}, {'B', 5}});
  in.haploid({{'A', 5}, {'B', 5}});
  in.run();
  ASSERT_EQ(in.results.tests.size(), 1u);
  EXPECT_GT(in.results.tests[0].p_value, 0.9);
}

TEST(AmovaPermutations, SeparatedPopulationsGiveSmallPValues) {
  reseed(-12345);
  AmovaInput in("ABC");
  set_abc(in);
  in.s.NumPermutationsAMOVA = 200;
  in.haploid({{'A', 10}});
  in.haploid({{'B', 10}});
  in.group();
  in.haploid({{'C', 10}});
  in.haploid({{'C', 9}, {'A', 1}});
  in.run();
  ASSERT_EQ(in.results.tests.size(), 3u);
  EXPECT_EQ(in.results.tests[0].component, "Vc");
  EXPECT_TRUE(in.results.tests[0].lower_tail);
  EXPECT_LT(in.results.tests[0].p_value, 0.05);  // within populations: smaller than chance
  EXPECT_LT(in.results.tests[1].p_value, 0.05);  // among populations within groups
}

TEST(AmovaPermutations, SameSeedSameResult) {
  auto once = [] {
    reseed(-99);
    AmovaInput in("ABC");
    set_abc(in);
    in.s.NumPermutationsAMOVA = 50;
    in.haploid({{'A', 3}, {'B', 2}});
    in.haploid({{'A', 1}, {'C', 3}, {'B', 1}});
    in.run();
    return in.results.tests.at(0);
  };
  const AmovaTest a = once(), b = once();
  EXPECT_EQ(a.successes, b.successes);
  EXPECT_EQ(a.equal, b.equal);
  EXPECT_EQ(a.null_distribution, b.null_distribution);
}

TEST(AmovaPermutations, ObservedStateRestoredAfterTests) {
  reseed(-5);
  AmovaInput in("ABC");
  set_abc(in);
  in.s.NumPermutationsAMOVA = 30;
  in.haploid({{'A', 3}, {'B', 1}});
  in.haploid({{'A', 2}, {'B', 3}, {'C', 1}});
  in.group();
  in.haploid({{'A', 1}, {'C', 4}});
  in.haploid({{'B', 1}, {'C', 2}});
  auto a = in.run();
  EXPECT_NEAR(a->sigma2a, 0.4316004, 1e-7);
  EXPECT_NEAR(in.results.FCT, 0.4752180, 1e-7);
  EXPECT_EQ(in.results.tests.size(), 3u);
}

TEST(AmovaPermutations, IndividualDesignsRunEverySeriesInOrder) {
  reseed(-8);
  AmovaInput in("AB");
  in.set_d2('A', 'B', 1);
  in.diploid({"AA", "AB", "BB"});
  in.diploid({"BB", "AB", "BB"});
  in.group();
  in.diploid({"AA", "AA", "AB"});
  in.diploid({"AB", "AA", "BB"});
  in.genotypic(true);
  in.s.IncludeIndividualLevel = 1;
  in.s.NumPermutationsAMOVA = 20;
  in.run();
  ASSERT_EQ(in.results.tests.size(), 4u);
  EXPECT_EQ(in.results.tests[0].component, "Vd");
  EXPECT_EQ(in.results.tests[1].component, "Vc");
  EXPECT_EQ(in.results.tests[2].component, "Vb");
  EXPECT_EQ(in.results.tests[3].component, "Va");
  for (const AmovaTest& t : in.results.tests) {
    EXPECT_GE(t.p_value, 0.0);
    EXPECT_LE(t.p_value, 1.0);
  }
}
