// Tajima's D, Fu's Fs with its B numbers and the Ewens probabilities, the
// coalescent simulator, and the simulated p-values. Expected values come from
// the published worked examples, from values computed offline with exact or
// 40-digit arithmetic (ewens_reference.txt, harmonic_reference.txt), from
// Stirling numbers summed here, or from the moments of the coalescent.
#include "withinpop/neutrality.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "base/errors.h"
#include "globals.h"
#include "model/population.h"
#include "settings/settings.h"
#include "withinpop/coalescent.h"
#include "withinpop/ewens.h"
#include "withinpop/log_capture.h"
#include "withinpop/random.h"
#include "withinpop/special_functions.h"
#include "withinpop/table.h"

// D from n, pi and S, by both routines; an undefined D (no site, n = 2 where
// e2 = 0, n = 1) gives D = 0 and p = -1. Then a1, a2 and D against 40-digit
// values: up to the loop's last term the sums are the term-by-term sums (their
// rounding grows with m); beyond, the closed forms give the rounded double.
TEST(TajimaD, ReferenceValuesUndefinedCasesAndHarmonicSums) {
  const auto rows = qnd_table::read_rows("withinpop/harmonic_reference.txt");
  for (const qnd_table::Row& r : rows) {
    SCOPED_TRACE("harmonic_reference.txt line " + std::to_string(r.line));
    const std::vector<std::string>& t = r.tokens;
    const double m = std::stod(t.at(1)),
                 ref = std::strtod(t.at(t[0] == "sums" ? 2 : 4).c_str(), nullptr);
    if (t[0] == "sums") {
      double a1 = -1.0, a2 = -1.0;
      harmonic_sums(m, a1, a2);
      const double tol = m > kHarmonicLoopTerms ? 0.0 : 1e-16 * m;
      EXPECT_NEAR(a1, ref, tol);
      EXPECT_NEAR(a2, std::strtod(t.at(3).c_str(), nullptr), tol);
    } else if (t[0] == "tajima") {
      double D = 0.0;
      ASSERT_TRUE(neutrality::tajima_d(m, std::stod(t.at(2)), std::stod(t.at(3)), false, D));
      EXPECT_NEAR(D, ref, 1e-14 * std::fabs(ref));
    } else {  // "d n pi S D tolerance p": both routines
      PopGenetics p, q;
      p.tajimaD(static_cast<int>(m), qnd_table::eval(t.at(2)), std::stoi(t.at(3)));
      q.fast_tajimaD(static_cast<int>(m), qnd_table::eval(t.at(2)), std::stoi(t.at(3)));
      for (const PopGenetics* x : {&p, &q}) {
        EXPECT_NEAR(x->tajima_d, ref, std::stod(t.at(5)));
        EXPECT_EQ(x->tajima_d_pvalue, std::stod(t.at(6)));
      }
    }
  }
  EXPECT_GE(rows.size(), 25u);
}

// B(n, k) = |s(n, k)| k! / n!, and for n = 30 P(K = k) = |s(n, k)| theta^k /
// theta^(n rising) over every k, with P(K < k) their partial sums; the size
// limits, and the shared matrix grows to the largest sample met, never shrinks.
TEST(BNumbers, MatchStirlingNumbersAndGrowTheSharedMatrix) {
  BnumMat b;
  PopGenetics p;
  ASSERT_EQ(b.re_allocate_matrix(30, 12), 1);
  const double theta = 2.5;
  std::vector<long double> s(31, 0.0L);  // |s(n, k)|, unsigned Stirling numbers of the first kind
  s[0] = 1.0L;
  for (int n = 1; n <= 30; ++n) {
    for (size_t j = static_cast<size_t>(n); j >= 1; --j) s[j] = (n - 1) * s[j] + s[j - 1];
    s[0] = 0.0L;
    long double nfact = 1.0L, kfact = 1.0L, rising = 1.0L, below = 0.0L, total = 0.0L;
    for (int i = 1; i <= n; ++i) nfact *= i, rising *= theta + i - 1;
    for (int k = 1; k <= n; ++k) {
      kfact *= k;
      const double expected = static_cast<double>(s[static_cast<size_t>(k)] * kfact / nfact);
      EXPECT_NEAR(k <= 12 ? b(n, k) : expected, expected, 1e-12 * expected) << n << "," << k;
      if (n < 30) continue;
      const double pk = p.proba_exactly_k(k, n, theta),
                   want =
                       static_cast<double>(s[static_cast<size_t>(k)] * std::pow(theta, k) / rising);
      total += pk;
      EXPECT_NEAR(pk, want, 1e-13 * want) << k;
      EXPECT_NEAR(static_cast<double>(p.proba_less_than_k(k, n, theta)), below, 1e-13 * below) << k;
      below += want;
    }
    EXPECT_NEAR(n == 30 ? total : 1.0L, 1.0, 1e-13);
  }
  EXPECT_EQ(std::vector<double>({p.proba_exactly_k(1, 30, 0.0), p.proba_exactly_k(2, 30, 0.0),
                                 p.proba_exactly_k(31, 30, theta),
                                 static_cast<double>(p.proba_less_than_k(31, 30, theta))}),
            std::vector<double>({1, 0, 0, 1}));
  EXPECT_EQ(
      b.re_allocate_matrix(5001, 10) + b.re_allocate_matrix(10, 1001) + b.re_allocate_matrix(0, 10),
      0);
  EXPECT_EQ(b.re_allocate_matrix(5000, 1000), 1);
  PopGenetics::get_B_num_mat();
  const BnumMat& shared = BnumMat::shared();
  EXPECT_TRUE(shared.rows() >= 200 && shared.cols() >= 80);
  PopGenetics big;
  double fs = 0.0;
  big.sample_size = 1000;
  big.Fu_Fs(150.0, 300, fs, false);  // k near its mean: the B numbers serve
  const std::pair<int, int> size(shared.rows(), shared.cols());
  EXPECT_TRUE(size.first >= 1000 && size.second >= 300);
  big.sample_size = 50;
  big.Fu_Fs(5.0, 10, fs, false);
  EXPECT_EQ(std::make_pair(shared.rows(), shared.cols()), size);
}

namespace {

// Values written with 15 digits or more (offline) must hold to 1e-10 of
// max(1, |value|); published ones to 7 significant digits, or to half a unit
// in their last digit when fewer are written.
double tolerance(const std::string& w, double value) {
  const std::size_t end = std::min(w.find_first_of("eE"), w.size()), point = w.find('.');
  const auto first = w.begin() + static_cast<long>(std::min(w.find_first_of("123456789"), end));
  if (std::count_if(first, w.begin() + static_cast<long>(end), ::isdigit) >= 15 || value == 0)
    return 1e-10 * std::max(1.0, std::fabs(value));
  const double last = point == std::string::npos ? 0 : static_cast<double>(end - point - 1);
  return 0.5 * std::max(std::pow(10.0, std::floor(std::log10(std::fabs(value))) - 6),
                        std::pow(10.0, -last));
}

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
  void run(const settings& s) {
    pop.run_tajima_test(s);
    pop.run_fu_test(s);
  }
};

}  // namespace

// Every case of the table, through the program's own entry points; Fs also
// through each way of computing the tails that applies, so that both are
// checked against the references wherever they overlap.
TEST(EwensReference, EveryRow) {
  const auto rows = qnd_table::read_rows("withinpop/ewens_reference.txt");
  ASSERT_GE(rows.size(), 60u);
  for (const qnd_table::Row& r : rows) {
    SCOPED_TRACE("ewens_reference.txt line " + std::to_string(r.line));
    const std::string& quantity = r.tokens.at(0);
    const double size = std::stod(r.tokens.at(1)), theta = std::stod(r.tokens.at(3)),
                 expected = std::stod(r.tokens.at(4)), tol = tolerance(r.tokens[4], expected);
    const int n = static_cast<int>(std::min(size, 2147483647.0)), k = std::stoi(r.tokens.at(2));
    PopGenetics p;
    p.sample_size = size;
    if (quantity == "fs") {
      // Where both tails are large, the B-number formula gives Fs to 6e-8.
      double fs = 0.0;
      ASSERT_EQ(p.Fu_Fs(theta, k, fs, false), 1);
      EXPECT_NEAR(fs, expected, std::max(tol, 6e-8));
      int methods = 0;
      for (const ewens::Method m : {ewens::Method::kGeneByGene, ewens::Method::kSplit}) {
        double log_upper = 0.0, log_lower = 0.0;
        const bool done = ewens::log_tails(n, k, theta, log_upper, log_lower, m);
        methods += done;
        EXPECT_NEAR(done ? log_upper - log_lower : expected, expected, tol) << static_cast<int>(m);
      }
      EXPECT_GE(methods, 1);
    } else if (quantity == "less") {
      EXPECT_NEAR(std::log(static_cast<double>(p.proba_less_than_k(k, n, theta))), expected, tol);
    } else if (quantity == "exactly") {
      double log_p = 0.0;
      ASSERT_TRUE(ewens::log_probability_of(n, k, theta, log_p));
      EXPECT_NEAR(log_p, expected, tol);
      EXPECT_NEAR(expected > -700 ? std::log(p.proba_exactly_k(k, n, theta)) : expected, expected,
                  tol);
    } else {
      ASSERT_EQ(quantity, "unset");
      LogCapture log;
      double fs = 12345.0;
      EXPECT_TRUE(p.Fu_Fs(theta, k, fs, false) == 0 && log.text().empty());
      EXPECT_TRUE(p.Fu_Fs(theta, k, fs, true) == 0 && fs == 12345.0);
      const int warning = std::stoi(r.tokens[4]);
      EXPECT_EQ(log.text().empty(), warning == 0);
      EXPECT_TRUE(!warning || (log.has_kind("WARNING") && log.contains(E.message(warning))));
    }
  }
}

// Moments of S, pi and the number of haplotypes under the coalescent (E[S] =
// theta a1, E[pi] = theta, E[K] = sum theta/(theta + i)); the summaries agree
// with the simulated sequences; the same seed gives the same samples.
TEST(CoalescentSimulator, MomentsSummariesAndSeeds) {
  int seed = -2024;
  ran3(&seed);
  const int n = 10, reps = 20000;
  const double theta = 5.0;
  double a1 = 0, a2 = 0, ek = theta / theta, sumS = 0, sumPi = 0, sumK = 0;
  for (int i = 1; i < n; ++i) a1 += 1.0 / i, a2 += 1.0 / (i * i), ek += theta / (theta + i);
  CoalescentSimulator sim;
  for (int r = 0; r < reps; ++r) {
    sim.simulate(n, theta);
    sumS += sim.segregating_sites();
    sumPi += sim.mean_pairwise_differences();
    sumK += sim.num_haplotypes();
  }
  EXPECT_NEAR(sumS / reps, theta * a1, 4 * std::sqrt((theta * a1 + theta * theta * a2) / reps));
  EXPECT_NEAR(sumPi / reps, theta, 0.1);
  EXPECT_NEAR(sumK / reps, ek, 0.05);
  for (int rep = 0; rep < 30; ++rep) {
    sim.simulate(12, 4.0);
    const std::vector<std::string> seqs = sim.sequences();
    ASSERT_EQ(seqs.size(), 12u);
    int S = 0;
    double diff = 0;
    for (size_t site = 0; site < seqs[0].size(); ++site) {
      std::set<char> states;
      for (const auto& q : seqs) states.insert(q[site]);
      S += states.size() == 2;
      for (size_t a = 0; a < seqs.size(); ++a)
        for (size_t b = a + 1; b < seqs.size(); ++b) diff += seqs[a][site] != seqs[b][site];
    }
    EXPECT_EQ(S, sim.segregating_sites());
    EXPECT_NEAR(sim.mean_pairwise_differences(), diff / 66.0, 1e-12);
    EXPECT_EQ(sim.num_haplotypes(),
              static_cast<int>(std::set<std::string>(seqs.begin(), seqs.end()).size()));
  }
  std::vector<std::string> runs[2];
  for (std::vector<std::string>& run : runs) {
    seed = -5;
    ran3(&seed);
    sim.simulate(15, 3.0);
    run = sim.sequences();
  }
  EXPECT_EQ(runs[0], runs[1]);
  sim.simulate(1, 3.0);
  EXPECT_EQ(sim.segregating_sites() + sim.num_haplotypes() + sim.mean_pairwise_differences(), 1.0);
  sim.simulate(8, 0.0);
  EXPECT_EQ(sim.segregating_sites() + sim.num_haplotypes(), 1);
}

// p-values from simulations: the same for the same seed and within [0, 1];
// small for a sample with many rare variants; left alone when undefined or not
// asked for; a sample beyond the simulator's reach fails with "not enough memory".
TEST(SimulatedPValues, SeedsExtremesAndUndefinedCases) {
  LogCapture log;
  settings s;
  s.NumSimulFuTest = 200;
  NeutralitySample a(20, 8, 3.0, 12), b(20, 8, 3.0, 12);
  for (NeutralitySample* x : {&a, &b}) {
    int seed = -31;
    ran3(&seed);
    x->run(s);
  }
  EXPECT_EQ(a.pop.tajima_d_pvalue, b.pop.tajima_d_pvalue);
  EXPECT_EQ(a.pop.fu_fs_pvalue, b.pop.fu_fs_pvalue);
  for (double pv : {a.pop.tajima_d_pvalue, a.pop.fu_fs_pvalue}) EXPECT_TRUE(pv >= 0 && pv <= 1);
  EXPECT_TRUE(log.contains("P(D simul. <= D obs.)") && log.contains("P(Fs simul. <= Fs obs.)"));
  s.NumSimulFuTest = 500;
  int seed = -8;
  ran3(&seed);
  NeutralitySample x(20, 18, 2.0, 30);
  x.run(s);
  EXPECT_TRUE(x.pop.tajima_d < -2.0 && x.pop.tajima_d_pvalue < 0.02) << x.pop.tajima_d_pvalue;
  EXPECT_TRUE(x.pop.fu_fs < -5.0 && x.pop.fu_fs_pvalue < 0.02) << x.pop.fu_fs_pvalue;
  s.NumSimulFuTest = 100;
  NeutralitySample none(10, 1, 0.0, 0);
  none.pop.fu_fs_pvalue = 0.5;
  none.run(s);  // a single haplotype: no Fs test
  EXPECT_EQ(std::vector<double>({none.pop.tajima_d_pvalue, none.pop.fu_fs, none.pop.fu_fs_pvalue}),
            std::vector<double>({-1.0, 0.0, 0.5}));
  s.NumSimulFuTest = 0;
  NeutralitySample huge(2000000000, 4, 3.0, 8);
  huge.pop.tajima_d_pvalue = 0.25;
  huge.pop.run_tajima_test(s);
  EXPECT_NEAR(huge.pop.tajima_d, 7.441758657135111, 1e-13);
  EXPECT_EQ(huge.pop.tajima_d_pvalue, 0.25);
  s.NumSimulFuTest = 10;
  EXPECT_THROW(huge.pop.run_tajima_test(s), ExceptionType);
  EXPECT_TRUE(log.has_numbered("MEMORY", "PopGenetics::run_tajima_test()", 0));
}
