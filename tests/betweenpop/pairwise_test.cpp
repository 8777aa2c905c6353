// Pairwise comparisons: two-population AMOVA values computed by hand, the
// order of the summary lists, degenerate samples, the permutation set-up and
// (delta mu)^2.
#include <gtest/gtest.h>

#include "amova_fixture.h"
#include "withinpop/random.h"

using qnd_amova_test::AmovaInput;
using qnd_amova_test::SumStatScope;

namespace {

void pairwise_only(AmovaInput& in) {
  in.s.TaskNumber = kTaskPairwiseFst;
  in.s.ComputePairwiseFST = 1;
}

}  // namespace

TEST(PairwiseFst, TwoIdenticalSamplesGiveNegativeFst) {
  SumStatScope scope(false);
  SumStat.PAIRWISE_FST = SumStat.PAIRWISE_PI = true;
  AmovaInput in("AB");
  in.set_d2('A', 'B', 1);
  in.haploid({{'A', 1}, {'B', 1}});
  in.haploid({{'A', 1}, {'B', 1}});
  pairwise_only(in);
  in.run();
  ASSERT_TRUE(in.results.pairwise_done);
  EXPECT_NEAR(in.results.pair_sigma2a(0, 1), -0.25, 1e-12);
  EXPECT_NEAR(in.results.pair_FST(0, 1), -1.0, 1e-12);
  EXPECT_NEAR(in.results.pair_pi(0, 1), 0.5, 1e-12);   // PiXY
  EXPECT_NEAR(in.results.pair_pi(0, 0), 1.0, 1e-12);   // PiX
  EXPECT_NEAR(in.results.pair_pi(1, 1), 1.0, 1e-12);   // PiY
  EXPECT_NEAR(in.results.pair_pi(1, 0), -0.5, 1e-12);  // corrected
  ASSERT_EQ(SumStat.pairFST.size(), 1);
  EXPECT_NEAR(SumStat.pairFST[0], -1.0, 1e-12);
  ASSERT_EQ(SumStat.pairPI.size(), 1);
  EXPECT_NEAR(SumStat.pairPI[0], -0.5, 1e-12);
}

TEST(PairwiseFst, MonomorphicIdenticalSamplesGiveZero) {
  AmovaInput in("AB");
  in.set_d2('A', 'B', 1);
  in.haploid({{'A', 3}});
  in.haploid({{'A', 2}});
  pairwise_only(in);
  in.run();
  EXPECT_EQ(in.results.pair_FST(0, 1), 0.0);
  EXPECT_EQ(in.results.pair_sigma2a(0, 1), 0.0);
}

TEST(PairwiseFst, SingleGeneCopies) {
  // N2 = 2: f = 100000, n = 2 - 2/2 = 1; W = 0, B = 3, sigma2a = 3/2, FST = 1.
  AmovaInput in("AB");
  in.set_d2('A', 'B', 3);
  in.haploid({{'A', 1}});
  in.haploid({{'B', 1}});
  pairwise_only(in);
  in.run();
  EXPECT_NEAR(in.results.pair_sigma2a(0, 1), 1.5, 1e-12);
  EXPECT_NEAR(in.results.pair_FST(0, 1), 1.0, 1e-12);
  EXPECT_NEAR(in.results.pair_pi(0, 1), 3.0, 1e-12);
}

TEST(PairwiseFst, ListOrderIsLowerTriangleRowByRow) {
  // Three samples with different distances per pair: the FST of a pair with
  // monomorphic samples at d2 is 1 whatever d2, so use PiXY-based corrected
  // values, which equal d2 here, to see the order.
  SumStatScope scope(false);
  SumStat.PAIRWISE_FST = SumStat.PAIRWISE_PI = true;
  AmovaInput in("ABC");
  in.set_d2('A', 'B', 1);
  in.set_d2('A', 'C', 2);
  in.set_d2('B', 'C', 3);
  in.haploid({{'A', 2}});
  in.haploid({{'B', 2}});
  in.haploid({{'C', 2}});
  pairwise_only(in);
  in.run();
  ASSERT_EQ(SumStat.pairPI.size(), 3);
  EXPECT_NEAR(SumStat.pairPI[0], 1.0, 1e-12);  // (2,1)
  EXPECT_NEAR(SumStat.pairPI[1], 2.0, 1e-12);  // (3,1)
  EXPECT_NEAR(SumStat.pairPI[2], 3.0, 1e-12);  // (3,2)
  ASSERT_EQ(SumStat.pairFST.size(), 3);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(SumStat.pairFST[i], 1.0, 1e-12);
}

TEST(PairwiseFst, MatchesOneLevelAmovaOfThePair) {
  // The pairwise sigma2a uses the same formula as the one-level AMOVA.
  AmovaInput in("ABC");
  in.set_d2('A', 'B', 1);
  in.set_d2('A', 'C', 2);
  in.set_d2('B', 'C', 3);
  in.haploid({{'A', 3}, {'B', 1}});
  in.haploid({{'A', 1}, {'C', 3}});
  in.s.TaskNumber = kTaskAmova | kTaskPairwiseFst;
  in.s.ComputePairwiseFST = 1;
  in.run();
  EXPECT_NEAR(in.results.pair_sigma2a(0, 1), 0.5, 1e-12);
  EXPECT_NEAR(in.results.pair_FST(0, 1), 0.5714286, 1e-7);
  EXPECT_NEAR(in.results.FST, 0.5714286, 1e-7);
}

TEST(PairwiseFst, NoPermutationsTurnsTheTestOff) {
  AmovaInput in("AB");
  in.set_d2('A', 'B', 1);
  in.haploid({{'A', 2}, {'B', 1}});
  in.haploid({{'B', 3}});
  pairwise_only(in);
  in.s.NumPermutationsFST = 0;
  in.s.TestSignificancePairewiseFST = 1;
  in.run();
  EXPECT_EQ(in.s.TestSignificancePairewiseFST, 0);
  EXPECT_TRUE(in.results.pairwise_done);
  EXPECT_EQ(in.results.pair_FST_p(0, 1), 0.0);
}

TEST(PairwiseFst, PermutationPValues) {
  int seed = -321;
  ran3(&seed);
  AmovaInput in("AB");
  in.set_d2('A', 'B', 1);
  in.haploid({{'A', 10}});
  in.haploid({{'B', 10}});
  in.haploid({{'A', 5}, {'B', 5}});
  in.haploid({{'A', 5}, {'B', 5}});
  pairwise_only(in);
  in.s.NumPermutationsFST = 100;
  in.run();
  EXPECT_EQ(in.s.TestSignificancePairewiseFST, 1);
  EXPECT_LT(in.results.pair_FST_p(0, 1), 0.05);  // fully separated
  EXPECT_GT(in.results.pair_FST_p(2, 3), 0.5);   // identical compositions
  EXPECT_LT(in.results.pair_pi_p(0, 1), 0.05);
}

TEST(DeltaMuSquared, MeanSizesOfTwoSamples) {
  // X = {10, 10, 12, 14}: mean 11.5; Y = {12, 14, 14, 16}: mean 14; (2.5)^2 = 6.25.
  EXPECT_DOUBLE_EQ(delta_mu_squared({11.5}, {14.0}), 6.25);
  // Loci with a zero mean are left out; none left gives 0.
  EXPECT_DOUBLE_EQ(delta_mu_squared({11.5, 0.0}, {14.0, 20.0}), 6.25);
  EXPECT_DOUBLE_EQ(delta_mu_squared({0.0}, {3.0}), 0.0);
  EXPECT_DOUBLE_EQ(delta_mu_squared({1.0, 2.0}, {3.0, 6.0}), (4.0 + 16.0) / 2);
}

TEST(DeltaMuSquared, FromSamplesIntoTheRecord) {
  SumStatScope scope(false);
  SumStat.PAIRWISE_DMUSQR = true;
  AmovaInput in("abcd");  // contents set below: " 10", " 12", " 14", " 16"
  const char* sizes[] = {" 10", " 12", " 14", " 16"};
  for (int i = 0; i < 4; ++i) in.list[i]->content = sizes[i];
  in.haploid({{'a', 2}, {'b', 1}, {'c', 1}});
  in.haploid({{'b', 1}, {'c', 2}, {'d', 1}});
  in.s.TaskNumber = 0;
  in.s.ComputeDeltaMuSqr = 1;
  in.run();
  ASSERT_EQ(SumStat.pairDMUSQ.size(), 1);
  EXPECT_DOUBLE_EQ(SumStat.pairDMUSQ[0], 6.25);
  EXPECT_EQ(SumStat.pairFST.size(), 0);
}
