// Tajima's D, Fu's Fs with its B numbers and the Ewens probabilities, the
// coalescent simulator, and the simulated p-values. Expected values come from
// the published worked examples, from Stirling numbers summed here, or from
// the moments of the coalescent.
#include "withinpop/neutrality.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "model/population.h"
#include "settings/settings.h"
#include "withinpop/coalescent.h"
#include "withinpop/log_capture.h"
#include "withinpop/random.h"

namespace {

// |s(n, j)| for j = 0..n, unsigned Stirling numbers of the first kind.
std::vector<long double> stirling_row(int n) {
  std::vector<long double> row(static_cast<size_t>(n) + 1, 0.0L);
  row[0] = 1.0L;
  for (int m = 1; m <= n; ++m) {
    for (int j = m; j >= 1; --j)
      row[static_cast<size_t>(j)] =
          (m - 1) * row[static_cast<size_t>(j)] + row[static_cast<size_t>(j) - 1];
    row[0] = 0.0L;  // |s(m, 0)| = 0 once m >= 1
  }
  return row;
}

// S' = P(K >= k) = sum_{j >= k} |s(n, j)| theta^j / (theta (theta+1) ... (theta+n-1)).
long double stirling_s_prime(int n, int k, long double theta) {
  const std::vector<long double> s = stirling_row(n);
  long double rising = 1.0L, num = 0.0L;
  for (int i = 0; i < n; ++i) rising *= theta + i;
  for (int j = k; j <= n; ++j)
    num += s[static_cast<size_t>(j)] * std::pow(theta, static_cast<long double>(j));
  return num / rising;
}

// ln S' and ln(1 - S') from log Stirling numbers, for samples too large for
// the plain sums.
void log_stirling_tails(int n, int k, double theta, double& log_sp, double& log_rest) {
  const double ninf = -INFINITY;
  auto add = [ninf](double a, double b) {
    if (a == ninf) return b;
    if (b == ninf) return a;
    const double m = std::max(a, b);
    return m + std::log(std::exp(a - m) + std::exp(b - m));
  };
  std::vector<double> row(static_cast<size_t>(n) + 1, ninf);
  row[1] = 0.0;  // |s(1,1)| = 1
  for (int m = 2; m <= n; ++m)
    for (int j = m; j >= 1; --j)
      row[static_cast<size_t>(j)] =
          add(std::log(m - 1.0) + row[static_cast<size_t>(j)], row[static_cast<size_t>(j) - 1]);
  double log_rising = 0.0;
  for (int i = 0; i < n; ++i) log_rising += std::log(theta + i);
  log_sp = log_rest = ninf;
  for (int j = 1; j <= n; ++j) {
    const double t = row[static_cast<size_t>(j)] + j * std::log(theta) - log_rising;
    if (j >= k)
      log_sp = add(log_sp, t);
    else
      log_rest = add(log_rest, t);
  }
}

double fs_of(int n, int k, double theta, int* status = nullptr) {
  PopGenetics p;
  p.sample_size = n;
  double fs = 12345.0;
  const int ok = p.Fu_Fs(theta, k, fs, false);
  if (status) *status = ok;
  return fs;
}

}  // namespace

// ---------------------------------------------------------------------------

// D from n, pi and S, by both routines. A defined D leaves the p-value alone
// (0); an undefined one (no site, n = 2 where e2 = 0, n = 1) gives D = 0, p = -1.
TEST(TajimaD, ReferenceValuesAndUndefinedCases) {
  const struct {
    int n;
    double pi;
    int s;
    double d, tol, pvalue;
  } cases[] = {
      {10, 3.888888889, 16, -1.446172076557919, 1e-9, 0.0},
      // Derived counts 1, 2, 3 of 4: pi = (3 + 4 + 3) / 6.
      {4, 10.0 / 6.0, 3, 0.1676558, 1e-7, 0.0},
      {10, 0.0, 0, 0.0, 0.0, -1.0},
      {2, 1.0, 1, 0.0, 0.0, -1.0},
      {1, 0.0, 3, 0.0, 0.0, -1.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("n " + std::to_string(c.n) + " S " + std::to_string(c.s));
    PopGenetics p;
    p.tajimaD(c.n, c.pi, c.s);
    EXPECT_NEAR(p.tajima_d, c.d, c.tol);
    EXPECT_EQ(p.tajima_d_pvalue, c.pvalue);
    PopGenetics q;
    q.fast_tajimaD(c.n, c.pi, c.s);
    EXPECT_NEAR(q.tajima_d, c.d, c.tol);
    EXPECT_EQ(q.tajima_d_pvalue, c.pvalue);
  }
}

// ---------------------------------------------------------------------------

TEST(BNumbers, MatchStirlingNumbersTimesFactorials) {
  BnumMat b;
  ASSERT_EQ(b.re_allocate_matrix(30, 12), 1);
  for (int n = 1; n <= 30; ++n) {
    const std::vector<long double> s = stirling_row(n);
    long double nfact = 1.0L;
    for (int i = 2; i <= n; ++i) nfact *= i;
    long double kfact = 1.0L;
    for (int k = 1; k <= std::min(n, 12); ++k) {
      kfact *= k;
      const long double expected = s[static_cast<size_t>(k)] * kfact / nfact;
      EXPECT_NEAR(b(n, k), static_cast<double>(expected), 1e-12 * static_cast<double>(expected))
          << n << "," << k;
    }
  }
}

TEST(BNumbers, SizeLimitsAndSharedMatrixGrowth) {
  BnumMat b;
  EXPECT_EQ(b.re_allocate_matrix(5001, 10), 0);
  EXPECT_EQ(b.re_allocate_matrix(10, 1001), 0);
  EXPECT_EQ(b.re_allocate_matrix(0, 10), 0);
  EXPECT_EQ(b.re_allocate_matrix(5000, 1000), 1);
  PopGenetics::get_B_num_mat();
  const BnumMat& shared = BnumMat::shared();
  EXPECT_GE(shared.rows(), 200);
  EXPECT_GE(shared.cols(), 80);
  (void)fs_of(1000, 300, 20.0);
  EXPECT_GE(shared.rows(), 1000);
  EXPECT_GE(shared.cols(), 300);
  const int rows = shared.rows(), cols = shared.cols();
  (void)fs_of(50, 10, 5.0);  // a smaller sample never shrinks it
  EXPECT_EQ(shared.rows(), rows);
  EXPECT_EQ(shared.cols(), cols);
}

// ---------------------------------------------------------------------------

TEST(FuFs, ReferenceTable) {
  struct Row {
    int n, k;
    double theta, fs;
  };
  const Row rows[] = {{7, 3, 1.0, 0.0285734},       {10, 10, 3.888889, -7.0273259},
                      {10, 5, 3.888889, 0.9358693}, {20, 5, 2.0, 0.6887490},
                      {50, 10, 5.0, 1.8495142},     {100, 30, 12.345, -0.7364183771}};
  for (const Row& r : rows) {
    int ok = 0;
    const double fs = fs_of(r.n, r.k, r.theta, &ok);
    EXPECT_EQ(ok, 1);
    EXPECT_NEAR(fs, r.fs, 1e-6) << r.n << " " << r.k;
    const long double sp = stirling_s_prime(r.n, r.k, r.theta);
    EXPECT_NEAR(fs, static_cast<double>(std::log(sp / (1 - sp))), 1e-8) << r.n << " " << r.k;
  }
}

TEST(FuFs, ProbabilitiesOfTheEwensFormula) {
  PopGenetics p;
  EXPECT_NEAR(static_cast<double>(p.proba_less_than_k(3, 7, 1.0)), 1.0 - 2556.0 / 5040.0, 1e-12);
  EXPECT_NEAR(static_cast<double>(stirling_s_prime(100, 30, 12.345)), 0.3237878420, 1e-10);
  // P(K = k) sums to 1 and matches |s(n,k)| theta^k / rising factorial.
  const int n = 30;
  const double theta = 2.5;
  const std::vector<long double> s = stirling_row(n);
  long double rising = 1.0L;
  for (int i = 0; i < n; ++i) rising *= theta + i;
  double total = 0.0;
  for (int k = 1; k <= n; ++k) {
    const double pk = p.proba_exactly_k(k, n, theta);
    total += pk;
    EXPECT_NEAR(pk,
                static_cast<double>(s[static_cast<size_t>(k)] *
                                    std::pow(theta, static_cast<long double>(k)) / rising),
                1e-12);
  }
  EXPECT_NEAR(total, 1.0, 1e-10);  // ln Gamma is accurate to about 1e-10
  EXPECT_EQ(p.proba_exactly_k(1, n, 0.0), 1.0);
  EXPECT_EQ(p.proba_exactly_k(2, n, 0.0), 0.0);
}

TEST(FuFs, LogSpaceRecurrenceAgreesWithReferenceAndMatrix) {
  double log_sp = 0, log_rest = 0;
  neutrality::log_prob_k_tails(100, 30, 12.345, log_sp, log_rest);
  EXPECT_NEAR(std::exp(log_sp), 0.3237878420, 1e-9);
  EXPECT_NEAR(log_sp - log_rest, -0.7364183771, 1e-8);
  neutrality::log_prob_k_tails(7, 3, 1.0, log_sp, log_rest);
  EXPECT_NEAR(std::exp(log_sp), 2556.0 / 5040.0, 1e-12);
}

TEST(FuFs, SingleHaplotypeGetsNoFs) {
  int ok = 1;
  EXPECT_EQ(fs_of(20, 1, 2.0, &ok), 12345.0);
  EXPECT_EQ(ok, 0);
}

TEST(FuFs, NoDiversityWarnsOnlyWhenReporting) {
  LogCapture log;
  PopGenetics p;
  p.sample_size = 10;
  double fs = 3.0;
  EXPECT_EQ(p.Fu_Fs(0.0, 3, fs, false), 0);
  EXPECT_EQ(log.text(), "");
  EXPECT_EQ(p.Fu_Fs(0.0, 3, fs, true), 0);
  EXPECT_NE(log.text().find("#[WARNING # "), std::string::npos);
  EXPECT_NE(log.text().find("No molecular diversity within a sample while performing Fu's test"),
            std::string::npos);
  EXPECT_EQ(fs, 3.0);
}

TEST(FuFs, SPrimeExactlyZeroLeavesFsUnset) {
  LogCapture log;
  int ok = 1;
  // all 50 copies distinct at a tiny theta: P(K < 50) rounds to 1
  EXPECT_EQ(fs_of(50, 50, 1e-4, &ok), 12345.0);
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(log.text(), "");
}

TEST(FuFs, ThetaAboveTenThousandIsNotComputed) {
  int ok = 1;
  EXPECT_EQ(fs_of(100, 50, 20000.0, &ok), 12345.0);
  EXPECT_EQ(ok, 0);
}

TEST(FuFs, LargeKWhereBNumbersOverflowStillComputed) {
  // B(2000, 950) is beyond the range of a double
  int ok = 0;
  const double fs = fs_of(2000, 950, 300.0, &ok);
  ASSERT_EQ(ok, 1);
  double log_sp = 0, log_rest = 0;
  log_stirling_tails(2000, 950, 300.0, log_sp, log_rest);
  EXPECT_NEAR(fs, log_sp - log_rest, 1e-6 * std::fabs(log_sp - log_rest));
}

TEST(FuFs, SamplesBeyondFiveThousandGenesOrAThousandHaplotypes) {
  int ok = 0;
  const double fs = fs_of(6000, 1200, 100.0, &ok);
  EXPECT_EQ(ok, 1);
  EXPECT_TRUE(std::isfinite(fs));
  EXPECT_LT(fs, -100.0);  // 1200 haplotypes where about 411 are expected
  // Across the 5,000-gene boundary the value changes smoothly.
  const double below = fs_of(4999, 300, 60.0, &ok);
  EXPECT_EQ(ok, 1);
  const double above = fs_of(5000, 300, 60.0, &ok);
  EXPECT_EQ(ok, 1);
  EXPECT_NEAR(below, above, 0.05);
  double log_sp = 0, log_rest = 0;
  log_stirling_tails(1500, 1000, 500.0, log_sp, log_rest);
  EXPECT_NEAR(fs_of(1500, 1000, 500.0, &ok), log_sp - log_rest,
              1e-6 * std::fabs(log_sp - log_rest));
}

TEST(FuFs, ThousandGenesThreeHundredHaplotypesIsFast) {
  (void)fs_of(1000, 300, 80.0);  // grows the matrix once
  const auto start = std::chrono::steady_clock::now();
  int ok = 0;
  const double fs = fs_of(1000, 300, 80.0, &ok);
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(ok, 1);
  EXPECT_TRUE(std::isfinite(fs));
  EXPECT_LT(ms, 100.0);
}

// ---------------------------------------------------------------------------

TEST(CoalescentSimulator, MomentsOfSegregatingSitesPiAndHaplotypes) {
  int seed = -2024;
  ran3(&seed);
  const int n = 10, reps = 20000;
  const double theta = 5.0;
  double a1 = 0, a2 = 0;
  for (int i = 1; i < n; ++i) {
    a1 += 1.0 / i;
    a2 += 1.0 / (i * i);
  }
  CoalescentSimulator sim;
  double sumS = 0, sumPi = 0, sumK = 0;
  for (int r = 0; r < reps; ++r) {
    sim.simulate(n, theta);
    sumS += sim.segregating_sites();
    sumPi += sim.mean_pairwise_differences();
    sumK += sim.num_haplotypes();
  }
  const double se_S = std::sqrt((theta * a1 + theta * theta * a2) / reps);
  EXPECT_NEAR(sumS / reps, theta * a1, 4 * se_S);
  EXPECT_NEAR(sumPi / reps, theta, 0.1);
  // Ewens: E[K] = sum theta / (theta + i)
  double ek = 0;
  for (int i = 0; i < n; ++i) ek += theta / (theta + i);
  EXPECT_NEAR(sumK / reps, ek, 0.05);
}

TEST(CoalescentSimulator, SummariesMatchTheSimulatedSequences) {
  int seed = -99;
  ran3(&seed);
  CoalescentSimulator sim;
  for (int rep = 0; rep < 30; ++rep) {
    sim.simulate(12, 4.0);
    const std::vector<std::string> seqs = sim.sequences();
    ASSERT_EQ(seqs.size(), 12u);
    int S = 0;
    for (int site = 0; site < sim.segregating_sites(); ++site) {
      std::set<char> states;
      for (const auto& q : seqs) states.insert(q[static_cast<size_t>(site)]);
      S += states.size() == 2;
    }
    EXPECT_EQ(S, sim.segregating_sites());
    double diff = 0;
    for (size_t a = 0; a < seqs.size(); ++a)
      for (size_t b = a + 1; b < seqs.size(); ++b)
        for (size_t i = 0; i < seqs[a].size(); ++i) diff += seqs[a][i] != seqs[b][i];
    EXPECT_NEAR(sim.mean_pairwise_differences(), diff / 66.0, 1e-12);
    EXPECT_EQ(sim.num_haplotypes(),
              static_cast<int>(std::set<std::string>(seqs.begin(), seqs.end()).size()));
  }
}

TEST(CoalescentSimulator, SameSeedSameSamplesAndDegenerateSizes) {
  CoalescentSimulator sim;
  int seed = -5;
  ran3(&seed);
  sim.simulate(15, 3.0);
  const std::vector<std::string> first = sim.sequences();
  seed = -5;
  ran3(&seed);
  sim.simulate(15, 3.0);
  EXPECT_EQ(sim.sequences(), first);
  sim.simulate(1, 3.0);
  EXPECT_EQ(sim.segregating_sites(), 0);
  EXPECT_EQ(sim.num_haplotypes(), 1);
  EXPECT_EQ(sim.mean_pairwise_differences(), 0.0);
  sim.simulate(8, 0.0);
  EXPECT_EQ(sim.segregating_sites(), 0);
  EXPECT_EQ(sim.num_haplotypes(), 1);
}

// ---------------------------------------------------------------------------

namespace {

// A sample of n copies with k distinct haplotypes, pi and S set directly.
struct NeutralitySample {
  std::vector<std::unique_ptr<HaploDef>> defs;
  PopulDNA pop;
  NeutralitySample(int n, int k, double pi, int S) {
    for (int h = 0; h < k; ++h) {
      defs.push_back(std::make_unique<HaploDef>());
      defs.back()->content = std::to_string(h);
      pop.haplotypes.Add(new PHaploDef(defs.back().get(), h == 0 ? n - k + 1 : 1));
    }
    pop.sample_size = n;
    pop.mean_pair_diff = pi;
    pop.num_subst_sites = S;
  }
};

}  // namespace

TEST(SimulatedPValues, DeterministicForAFixedSeed) {
  LogCapture log;
  settings s;
  s.NumSimulFuTest = 200;
  NeutralitySample a(20, 8, 3.0, 12);
  int seed = -31;
  ran3(&seed);
  a.pop.run_tajima_test(s);
  a.pop.run_fu_test(s);
  NeutralitySample b(20, 8, 3.0, 12);
  seed = -31;
  ran3(&seed);
  b.pop.run_tajima_test(s);
  b.pop.run_fu_test(s);
  EXPECT_EQ(a.pop.tajima_d_pvalue, b.pop.tajima_d_pvalue);
  EXPECT_EQ(a.pop.fu_fs_pvalue, b.pop.fu_fs_pvalue);
  EXPECT_GE(a.pop.tajima_d_pvalue, 0.0);
  EXPECT_LE(a.pop.tajima_d_pvalue, 1.0);
  EXPECT_GE(a.pop.fu_fs_pvalue, 0.0);
  EXPECT_LE(a.pop.fu_fs_pvalue, 1.0);
  EXPECT_NE(log.text().find("P(D simul. <= D obs.)"), std::string::npos);
  EXPECT_NE(log.text().find("P(Fs simul. <= Fs obs.)"), std::string::npos);
}

TEST(SimulatedPValues, ExtremeSamplesGetSmallPValues) {
  LogCapture log;
  settings s;
  s.NumSimulFuTest = 500;
  int seed = -8;
  ran3(&seed);
  // Many rare variants: pi far below S/a1, and many haplotypes for that pi.
  NeutralitySample x(20, 18, 2.0, 30);
  x.pop.run_tajima_test(s);
  x.pop.run_fu_test(s);
  EXPECT_LT(x.pop.tajima_d, -2.0);
  EXPECT_LT(x.pop.tajima_d_pvalue, 0.02);
  EXPECT_LT(x.pop.fu_fs, -5.0);
  EXPECT_LT(x.pop.fu_fs_pvalue, 0.02);
}

TEST(SimulatedPValues, UndefinedOrNoSimulationLeavesPValue) {
  LogCapture log;
  settings s;
  s.NumSimulFuTest = 100;
  NeutralitySample none(10, 1, 0.0, 0);
  none.pop.run_tajima_test(s);
  EXPECT_EQ(none.pop.tajima_d_pvalue, -1.0);
  none.pop.fu_fs_pvalue = 0.5;
  none.pop.run_fu_test(s);  // a single haplotype: no test
  EXPECT_EQ(none.pop.fu_fs, 0.0);
  EXPECT_EQ(none.pop.fu_fs_pvalue, 0.5);
  s.NumSimulFuTest = 0;
  NeutralitySample some(10, 4, 3.0, 8);
  some.pop.tajima_d_pvalue = 0.25;
  some.pop.run_tajima_test(s);
  EXPECT_EQ(some.pop.tajima_d_pvalue, 0.25);
}
