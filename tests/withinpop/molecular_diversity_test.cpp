// Site evaluation and pi of DNA and RFLP samples against naive loops over the
// sites and the expanded gene copies, pi's variances and the theta estimators
// against their published formulas.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "model/population.h"
#include "settings/settings.h"
#include "withinpop/random.h"
#include "withinpop/sample_builder.h"

namespace {

bool is_base(char c) { return c == 'A' || c == 'C' || c == 'G' || c == 'T'; }

// Random alignments: an ancestor with scattered changes drawn from alphabet.
std::vector<std::pair<std::string, int>> random_alignment(int& idum, const char* alphabet,
                                                          int letters) {
  std::string base(60, 'A');
  for (char& c : base) c = alphabet[static_cast<int>((letters > 6 ? 4 : 2) * ran3(&idum))];
  std::vector<std::pair<std::string, int>> data;
  for (int h = 0; h < 8; ++h) {
    std::string seq = base;
    for (char& c : seq)
      if (ran3(&idum) < 0.15) c = alphabet[static_cast<int>(letters * ran3(&idum))];
    data.emplace_back(seq, 1 + static_cast<int>(3 * ran3(&idum)));
  }
  return data;
}

}  // namespace

// Usable sites, S, indel and polymorphic sites, and pi as the mean number of
// differences (a gap included, missing data not) at usable sites over all
// pairs of expanded copies.
TEST(SiteEvaluation, RandomAlignmentsMatchNaiveCounts) {
  int seed = -4242;
  ran3(&seed);
  int idum = 1;
  for (int rep = 0; rep < 24; ++rep) {
    const bool rflp = rep % 3 == 2;
    SampleBuilder b(rflp ? RFLP : DNA, '\0');
    const auto data =
        rflp ? random_alignment(idum, "0101-?", 6) : random_alignment(idum, "ACGTACGTACGT-?", 14);
    PopulDNA dna;
    PopulRFLP rf;
    Population& pop = rflp ? static_cast<Population&>(rf) : dna;
    for (const auto& [seq, c] : data) b.add(pop, seq, c);
    settings s;
    s.AllowedLevelOfMissingData = 0.2;
    rflp ? rf.compare_RFLP_haplotypes(s) : dna.compare_DNA_sequences(s);
    rflp ? rf.compute_molecular_diversity(s) : dna.compute_molecular_diversity(s);
    int S = 0, indels = 0, usable = 0, poly = 0;
    for (int i = 0; i < 60; ++i) {
      std::set<char> states;
      bool gap = false;
      double miss = 0;
      for (const auto& [seq, c] : data) {
        miss += seq[i] == '?' ? c : 0;
        gap = gap || seq[i] == '-';
        if (rflp ? seq[i] == '0' || seq[i] == '1' : is_base(seq[i])) states.insert(seq[i]);
      }
      const bool use = miss / pop.sample_size <= 0.2 && !states.empty();
      EXPECT_EQ(pop.locus_usable[i], use ? 1 : 0) << "site " << i;
      if (!use) continue;
      ++usable;
      S += states.size() > 1;
      indels += gap;
      poly += states.size() > 1 || gap;
    }
    EXPECT_EQ(pop.num_usable_loci, usable);
    EXPECT_EQ(rflp ? pop.num_rflp_poly_sites : pop.num_subst_sites, S);
    EXPECT_EQ(pop.num_indel_sites, indels);
    EXPECT_EQ(pop.num_usable_poly_loci, poly);
    std::vector<std::string> copies;
    for (const auto& [seq, c] : data) copies.insert(copies.end(), c, seq);
    double sum = 0;
    for (size_t x = 0; x < copies.size(); ++x)
      for (size_t y = x + 1; y < copies.size(); ++y)
        for (size_t i = 0; i < 60; ++i) {
          const char a = copies[x][i], c = copies[y][i];
          sum += pop.locus_usable[i] && a != c && a != '?' && c != '?';  // a gap is a difference
        }
    const double pairs = copies.size() * (copies.size() - 1) / 2.0;
    EXPECT_NEAR(pop.mean_pair_diff, sum / pairs, 1e-12) << "rep " << rep;
    if (!rflp) {
      EXPECT_NEAR(pop.nucl_diversity, sum / pairs / usable, 1e-12);
    }
  }
}

TEST(PairwiseDiversity, PiAndVariancesOnAHandExample) {
  // counts 2, 1, 1 at distances d10 = 1, d20 = 2, d21 = 3: sum = 2 + 4 + 3 = 9,
  // n = 4, pi = 9 / 6 = 1.5, V = (3*4*5*1.5 + 2*23*2.25) / (176 - 28 + 6).
  PopGenetics p;
  p.set_pairwise_diversity(9.0, 4.0, 10);
  EXPECT_DOUBLE_EQ(p.mean_pair_diff, 1.5);
  EXPECT_NEAR(p.mean_pair_diff_sd, std::sqrt(193.5 / 154.0), 1e-12);
  EXPECT_DOUBLE_EQ(p.nucl_diversity, 0.15);
  EXPECT_NEAR(p.nucl_diversity_sd, std::sqrt(0.75 / 90.0 + 1.035 / 108.0), 1e-12);
  p.set_pairwise_diversity(5.0, 1.0, 10);
  EXPECT_EQ(p.mean_pair_diff + p.mean_pair_diff_sd, 0.0);
  p.set_pairwise_diversity(5.0, 4.0, 0);
  EXPECT_EQ(p.nucl_diversity + p.nucl_diversity_sd, 0.0);
}

// theta(S) = S/a1 with Tajima's variance; theta(pi) with its variance; E[k]
// = sum theta/(theta + i) (beyond the term-by-term sum: theta (psi(theta + n) -
// psi(theta)), 40 digits); theta(k) solves E[k] = k.
TEST(ThetaEstimators, ReferenceSampleAndExpectedAlleles) {
  PopGenetics p;
  p.theta_S(10, 16);
  EXPECT_NEAR(p.theta_s_value, 5.655772198, 1e-8);
  const double a1 = 2.82896825397, a2 = 1.53976773117;
  EXPECT_NEAR(p.theta_s_sd, std::sqrt((256 * a2 + 16 * a1 * a1) / (a1 * a1 * (a1 * a1 + a2))),
              1e-9);
  p.theta_S(1, 5);
  EXPECT_EQ(p.theta_s_value + p.theta_s_sd, 0.0);
  p.sample_size = 10;
  p.theta_pi(3.888888889);
  EXPECT_DOUBLE_EQ(p.theta_pi_value, 3.888888889);
  EXPECT_NEAR(p.theta_pi_sd * p.theta_pi_sd, 5.803993, 1e-6);
  p.sample_size = 1;
  p.theta_pi(2.0);
  EXPECT_EQ(p.theta_pi_value + p.theta_pi_sd, 0.0);
  EXPECT_DOUBLE_EQ(PopGenetics::k_est(1.0, 3), 1.0 + 0.5 + 1.0 / 3.0);
  EXPECT_DOUBLE_EQ(PopGenetics::k_est(0.0, 50), 1.0);
  EXPECT_DOUBLE_EQ(PopGenetics::k_est(2.0, 0), 0.0);
  EXPECT_DOUBLE_EQ(PopGenetics::k_est(5.0, 1), 1.0);
  EXPECT_NEAR(PopGenetics::k_est(2.5, 1000000000), 50.05027299575291992, 1e-13);
  EXPECT_NEAR(PopGenetics::k_est(0.001, 70000), 1.011731815324253463, 1e-15);
  for (const auto& [n, k] :
       std::vector<std::pair<int, int>>{{10, 3}, {50, 20}, {200, 2}, {30, 29}}) {
    p.theta_k(n, k, 1e-7);
    EXPECT_NEAR(PopGenetics::k_est(p.theta_k_value, n), k, 1e-5) << n << " " << k;
  }
  p.theta_k(10, 1, 1e-7);
  EXPECT_EQ(p.theta_k_value, 0.0);
  p.theta_k(10, 10, 1e-7);  // no finite solution: the search still ends
  EXPECT_GT(p.theta_k_value, 1e6);
}
