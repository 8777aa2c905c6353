// Site evaluation of DNA and RFLP samples, pi and its variance, the theta
// estimators and the private substitution sites. Expected values are worked by
// hand or come from naive loops over expanded gene copies written here.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "model/population.h"
#include "model/samples.h"
#include "settings/settings.h"
#include "withinpop/log_capture.h"
#include "withinpop/random.h"

namespace {

// A sample built from (sequence, copies) pairs; it owns the haplotypes.
template <class Pop>
struct TestSample {
  std::vector<std::unique_ptr<HaploDef>> defs;
  Pop pop;
  void add(const std::string& seq, int copies) {
    defs.push_back(std::make_unique<HaploDef>());
    defs.back()->content = seq;
    pop.haplotypes.Add(new PHaploDef(defs.back().get(), copies));
    pop.sample_size += copies;
  }
};

using DnaSample = TestSample<PopulDNA>;
using RflpSample = TestSample<PopulRFLP>;

bool is_base(char c) { return c == 'A' || c == 'C' || c == 'G' || c == 'T'; }

// Brute-force pi: mean over pairs of expanded copies of the usable sites
// where both carry different plain bases.
double naive_pi(const std::vector<std::pair<std::string, int>>& data,
                const std::vector<std::uint8_t>& usable) {
  std::vector<std::string> copies;
  for (const auto& [seq, c] : data)
    for (int i = 0; i < c; ++i) copies.push_back(seq);
  double sum = 0;
  int pairs = 0;
  for (size_t a = 0; a < copies.size(); ++a)
    for (size_t b = a + 1; b < copies.size(); ++b, ++pairs)
      for (size_t i = 0; i < usable.size(); ++i)
        if (usable[i] && copies[a][i] != copies[b][i] && is_base(copies[a][i]) &&
            is_base(copies[b][i]))
          ++sum;
  return pairs ? sum / pairs : 0.0;
}

}  // namespace

TEST(DnaSites, ClassifiesTransitionTransversionAndIndelSites) {
  // site 0 A/G, site 1 A/C, site 2 invariant, site 3 A against a gap, site 4 invariant
  DnaSample d;
  d.add("AAAAA", 2);
  d.add("GCA-A", 1);
  settings s;
  d.pop.compare_DNA_sequences(s);
  EXPECT_EQ(d.pop.num_loci, 5);
  EXPECT_EQ(d.pop.num_usable_loci, 5);
  EXPECT_EQ(d.pop.num_subst_sites, 2);
  EXPECT_EQ(d.pop.num_transition_sites, 1);
  EXPECT_EQ(d.pop.num_transversion_sites, 1);
  EXPECT_EQ(d.pop.num_substitutions, 2);
  EXPECT_EQ(d.pop.num_indel_sites, 1);
  EXPECT_EQ(d.pop.num_usable_poly_loci, 3);
  EXPECT_EQ(d.pop.locus_polymorphic, (std::vector<std::uint8_t>{1, 1, 0, 1, 0}));
}

TEST(DnaSites, GapAgainstBaseIsAnIndelSiteNotCountedInS) {
  DnaSample d;
  d.add("ACGT", 3);
  d.add("A-GT", 2);
  settings s;
  d.pop.compare_DNA_sequences(s);
  EXPECT_EQ(d.pop.num_subst_sites, 0);
  EXPECT_EQ(d.pop.num_indel_sites, 1);
  EXPECT_EQ(d.pop.num_usable_poly_loci, 1);
}

TEST(DnaSites, TwoTransversionStatesAlsoCountATransition) {
  // A against C and T: C-T is a transition, the site is one segregating site.
  DnaSample d;
  d.add("A", 1);
  d.add("C", 1);
  d.add("T", 1);
  settings s;
  s.AllowedLevelOfMissingData = 0.0;
  d.pop.compare_DNA_sequences(s);
  EXPECT_EQ(d.pop.num_subst_sites, 1);
  EXPECT_EQ(d.pop.num_transversion_sites, 1);
  EXPECT_EQ(d.pop.num_transition_sites, 0);
  EXPECT_EQ(d.pop.num_transversions, 1);
  EXPECT_EQ(d.pop.num_transitions, 1);
  EXPECT_EQ(d.pop.num_substitutions, 2);
}

TEST(DnaSites, TransitionAndTransversionAtOneSiteCountOnceInS) {
  DnaSample d;
  d.add("A", 1);
  d.add("G", 1);
  d.add("C", 1);
  settings s;
  d.pop.compare_DNA_sequences(s);
  EXPECT_EQ(d.pop.num_subst_sites, 1);
  EXPECT_EQ(d.pop.num_transition_sites, 1);
  EXPECT_EQ(d.pop.num_transversion_sites, 1);
}

TEST(DnaSites, ZeroTransitionWeightLeavesTransitionsUncounted) {
  DnaSample d;
  d.add("AC", 2);
  d.add("GA", 2);
  settings s;
  s.TransitionWeight = 0;
  d.pop.compare_DNA_sequences(s);
  EXPECT_EQ(d.pop.num_subst_sites, 1);  // only the C/A transversion
  EXPECT_EQ(d.pop.num_transition_sites, 0);
  EXPECT_EQ(d.pop.locus_polymorphic, (std::vector<std::uint8_t>{0, 1}));
  EXPECT_EQ(d.pop.num_usable_loci, 2);
}

TEST(DnaSites, OneMissingCopyInTenExceedsFivePercent) {
  DnaSample d;
  d.add("AG", 9);
  d.add("?A", 1);
  settings s;
  s.AllowedLevelOfMissingData = 0.05;
  d.pop.compare_DNA_sequences(s);
  EXPECT_DOUBLE_EQ(d.pop.missing_fraction[0], 0.1);
  EXPECT_EQ(d.pop.locus_usable[0], 0);
  EXPECT_EQ(d.pop.locus_usable[1], 1);
  EXPECT_EQ(d.pop.num_usable_loci, 1);
  EXPECT_EQ(d.pop.num_subst_sites, 1);
  // A fraction equal to the allowed level is still usable.
  s.AllowedLevelOfMissingData = 0.1;
  d.pop.compare_DNA_sequences(s);
  EXPECT_EQ(d.pop.locus_usable[0], 1);
  EXPECT_EQ(d.pop.num_usable_loci, 2);
}

TEST(DnaSites, GapOnlyAndAllMissingSitesAreNotUsable) {
  DnaSample d;
  d.add("-?A", 3);
  d.add("-?A", 1);
  settings s;
  s.AllowedLevelOfMissingData = 1.0;
  d.pop.compare_DNA_sequences(s);
  EXPECT_EQ(d.pop.locus_usable, (std::vector<std::uint8_t>{0, 0, 1}));
  EXPECT_EQ(d.pop.num_usable_loci, 1);
  EXPECT_DOUBLE_EQ(d.pop.missing_fraction[1], 1.0);
}

TEST(DnaSites, MissingOrGapInFirstHaplotypeDoesNotHideASubstitution) {
  DnaSample d;
  d.add("?-", 1);
  for (int i = 0; i < 20; ++i) d.add(i % 2 ? "AA" : "GG", 1);
  settings s;
  d.pop.compare_DNA_sequences(s);
  EXPECT_EQ(d.pop.locus_usable, (std::vector<std::uint8_t>{1, 1}));  // 1/21 < 0.05
  EXPECT_EQ(d.pop.num_subst_sites, 2);
  EXPECT_EQ(d.pop.num_indel_sites, 1);
}

TEST(DnaSites, EmptySampleHasNoSites) {
  DnaSample d;
  settings s;
  d.pop.compare_DNA_sequences(s);
  EXPECT_EQ(d.pop.num_loci, 0);
  EXPECT_EQ(d.pop.num_subst_sites, 0);
}

TEST(DnaSites, RandomAlignmentsMatchANaiveSiteCount) {
  int seed = -4242;
  ran3(&seed);
  int idum = 1;
  const char alphabet[] = "ACGTACGTACGT-?";
  for (int rep = 0; rep < 20; ++rep) {
    const int L = 60, nh = 8;
    std::vector<std::pair<std::string, int>> data;
    DnaSample d;
    // Mostly a shared ancestral sequence with scattered changes.
    std::string base(L, 'A');
    for (char& c : base) c = alphabet[static_cast<int>(4 * ran3(&idum))];
    for (int h = 0; h < nh; ++h) {
      std::string seq = base;
      for (char& c : seq)
        if (ran3(&idum) < 0.15) c = alphabet[static_cast<int>(14 * ran3(&idum))];
      const int copies = 1 + static_cast<int>(3 * ran3(&idum));
      data.emplace_back(seq, copies);
      d.add(seq, copies);
    }
    settings s;
    s.AllowedLevelOfMissingData = 0.2;
    d.pop.compare_DNA_sequences(s);
    int S = 0, indels = 0, usable = 0, poly = 0;
    for (int i = 0; i < L; ++i) {
      std::set<char> bases;
      bool gap = false;
      double miss = 0;
      for (const auto& [seq, c] : data) {
        if (seq[i] == '?') miss += c;
        if (seq[i] == '-') gap = true;
        if (is_base(seq[i])) bases.insert(seq[i]);
      }
      const bool use = miss / d.pop.sample_size <= 0.2 && !bases.empty();
      EXPECT_EQ(d.pop.locus_usable[i], use ? 1 : 0) << "site " << i;
      if (!use) continue;
      ++usable;
      S += bases.size() > 1;
      indels += gap;
      poly += bases.size() > 1 || gap;
    }
    EXPECT_EQ(d.pop.num_usable_loci, usable);
    EXPECT_EQ(d.pop.num_subst_sites, S);
    EXPECT_EQ(d.pop.num_indel_sites, indels);
    EXPECT_EQ(d.pop.num_usable_poly_loci, poly);
  }
}

TEST(DnaSites, HundredThousandSitesOfFiveHundredHaplotypes) {
  DnaSample d;
  int seed = -7;
  ran3(&seed);
  int idum = 1;
  std::string base(100000, 'A');
  for (int h = 0; h < 500; ++h) {
    std::string seq = base;
    for (int m = 0; m < 20; ++m) seq[static_cast<size_t>(ran3(&idum) * 100000)] = 'G';
    d.add(seq, 1);
  }
  settings s;
  d.pop.compare_DNA_sequences(s);
  EXPECT_EQ(d.pop.num_loci, 100000);
  EXPECT_GT(d.pop.num_subst_sites, 9000);  // about 100000 (1 - e^-0.1)
  EXPECT_EQ(d.pop.num_subst_sites, d.pop.num_transition_sites);
}

TEST(RflpSites, PolymorphicIndelAndUnusableSites) {
  // site 0 0/1, site 1 1 against a gap, site 2 gaps only, site 3 invariant
  RflpSample r;
  r.add("01-1", 2);
  r.add("1--1", 1);
  settings s;
  r.pop.compare_RFLP_haplotypes(s);
  EXPECT_EQ(r.pop.num_rflp_poly_sites, 1);
  EXPECT_EQ(r.pop.num_indel_sites, 1);
  EXPECT_EQ(r.pop.locus_usable, (std::vector<std::uint8_t>{1, 1, 0, 1}));
  EXPECT_EQ(r.pop.num_usable_loci, 3);
  EXPECT_EQ(r.pop.num_usable_poly_loci, 2);
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
}

TEST(PairwiseDiversity, OneGeneCopyOrNoSiteGivesZero) {
  PopGenetics p;
  p.set_pairwise_diversity(5.0, 1.0, 10);
  EXPECT_EQ(p.mean_pair_diff, 0.0);
  EXPECT_EQ(p.mean_pair_diff_sd, 0.0);
  p.set_pairwise_diversity(5.0, 4.0, 0);
  EXPECT_EQ(p.nucl_diversity, 0.0);
  EXPECT_EQ(p.nucl_diversity_sd, 0.0);
}

TEST(PairwiseDiversity, DnaPiEqualsMeanDifferencesOverExpandedCopies) {
  const std::vector<std::pair<std::string, int>> data = {
      {"ACGTACGTAA", 3}, {"ACGTACGTAG", 2}, {"GCGAACGTAA", 1}, {"ACTTACGCAG", 4}};
  DnaSample d;
  for (const auto& [seq, c] : data) d.add(seq, c);
  settings s;
  d.pop.compare_DNA_sequences(s);
  d.pop.compute_molecular_diversity(s);
  const double pi = naive_pi(data, d.pop.locus_usable);
  EXPECT_NEAR(d.pop.mean_pair_diff, pi, 1e-12);
  EXPECT_NEAR(d.pop.nucl_diversity, pi / 10, 1e-12);
}

TEST(PairwiseDiversity, SingleCopyAndEmptySample) {
  LogCapture log;
  settings s;
  DnaSample one;
  one.add("ACGT", 1);
  one.pop.compare_DNA_sequences(s);
  one.pop.compute_molecular_diversity(s);
  EXPECT_EQ(one.pop.mean_pair_diff, 0.0);
  EXPECT_EQ(one.pop.mean_pair_diff_sd, 0.0);
  DnaSample none;
  none.pop.compute_molecular_diversity(s);
  EXPECT_NE(
      log.text().find("\"PopulDNA::compute_molecular_diversity()\" : haplotype list is empty"),
      std::string::npos);
}

TEST(PairwiseDiversity, RflpPiCountsDifferencesIncludingGaps) {
  const std::vector<std::pair<std::string, int>> data = {{"0110", 2}, {"1-10", 1}, {"0?11", 3}};
  RflpSample r;
  for (const auto& [seq, c] : data) r.add(seq, c);
  settings s;
  s.AllowedLevelOfMissingData = 0.5;
  r.pop.compare_RFLP_haplotypes(s);
  r.pop.compute_molecular_diversity(s);
  // Naive count over the 15 pairs of the 6 copies.
  std::vector<std::string> copies;
  for (const auto& [seq, c] : data)
    for (int i = 0; i < c; ++i) copies.push_back(seq);
  double sum = 0;
  for (size_t a = 0; a < copies.size(); ++a)
    for (size_t b = a + 1; b < copies.size(); ++b)
      for (size_t i = 0; i < 4; ++i)
        if (r.pop.locus_usable[i] && copies[a][i] != copies[b][i] && copies[a][i] != '?' &&
            copies[b][i] != '?')
          ++sum;
  EXPECT_NEAR(r.pop.mean_pair_diff, sum / 15, 1e-12);
}

TEST(ThetaEstimators, ThetaSOfTheReferenceSample) {
  PopGenetics p;
  p.theta_S(10, 16);
  EXPECT_NEAR(p.theta_s_value, 5.655772198, 1e-8);
  const double a1 = 2.82896825397, a2 = 1.53976773117;
  EXPECT_NEAR(p.theta_s_sd, std::sqrt((256 * a2 + 16 * a1 * a1) / (a1 * a1 * (a1 * a1 + a2))),
              1e-9);
  // Watterson's variance theta/a1 + a2 theta^2/a1^2 at theta(S).
  const double t = p.theta_s_value;
  EXPECT_NEAR(t / a1 + a2 * t * t / (a1 * a1), 8.153595, 1e-6);
  p.theta_S(1, 5);
  EXPECT_EQ(p.theta_s_value, 0.0);
  EXPECT_EQ(p.theta_s_sd, 0.0);
}

TEST(ThetaEstimators, ThetaPiVarianceOfTheReferenceSample) {
  PopGenetics p;
  p.sample_size = 10;
  p.theta_pi(3.888888889);
  EXPECT_DOUBLE_EQ(p.theta_pi_value, 3.888888889);
  EXPECT_NEAR(p.theta_pi_sd * p.theta_pi_sd, 5.803993, 1e-6);
  p.sample_size = 1;
  p.theta_pi(2.0);
  EXPECT_EQ(p.theta_pi_value, 0.0);
  EXPECT_EQ(p.theta_pi_sd, 0.0);
}

TEST(ThetaEstimators, ExpectedNumberOfAlleles) {
  EXPECT_DOUBLE_EQ(PopGenetics::k_est(1.0, 3), 1.0 + 0.5 + 1.0 / 3.0);
  EXPECT_DOUBLE_EQ(PopGenetics::k_est(0.0, 50), 1.0);
  EXPECT_DOUBLE_EQ(PopGenetics::k_est(2.0, 0), 0.0);
  EXPECT_DOUBLE_EQ(PopGenetics::k_est(5.0, 1), 1.0);
  // Beyond the term-by-term sum: theta (psi(theta + n) - psi(theta)), 40 digits.
  EXPECT_NEAR(PopGenetics::k_est(2.5, 1000000000), 50.05027299575291992, 1e-13);
  EXPECT_NEAR(PopGenetics::k_est(0.001, 70000), 1.011731815324253463, 1e-15);
}

TEST(ThetaEstimators, ThetaKSolvesExpectedAllelesEqualsK) {
  PopGenetics p;
  for (const auto& [n, k] :
       std::vector<std::pair<int, int>>{{10, 3}, {50, 20}, {200, 2}, {30, 29}}) {
    p.theta_k(n, k, 1e-7);
    EXPECT_NEAR(PopGenetics::k_est(p.theta_k_value, n), k, 1e-5) << n << " " << k;
  }
  p.theta_k(10, 1, 1e-7);
  EXPECT_EQ(p.theta_k_value, 0.0);
  p.theta_k(10, 10, 1e-7);  // no finite solution: the search still ends
  EXPECT_FALSE(std::isnan(p.theta_k_value));
  EXPECT_GT(p.theta_k_value, 1e6);
}

namespace {

class PrivateSites : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = ProfileSettings::DataType;
    ProfileSettings::DataType = DNA;
    PopGenetics::globalSubstPolymSites.clear();
  }
  void TearDown() override { ProfileSettings::DataType = saved_; }
  PopulDNA* add_sample(const std::vector<std::string>& seqs) {
    auto* p = new PopulDNA();
    for (const auto& seq : seqs) {
      defs_.push_back(std::make_unique<HaploDef>());
      defs_.back()->content = seq;
      p->haplotypes.Add(new PHaploDef(defs_.back().get(), 1));
      p->sample_size += 1;
    }
    settings s;
    p->compare_DNA_sequences(s);
    samples_.pops.Add(p);
    return p;
  }
  TDataType saved_ = DNA;
  std::vector<std::unique_ptr<HaploDef>> defs_;
  Samples samples_;
};

}  // namespace

TEST_F(PrivateSites, SiteSharedByTwoSamplesIsPrivateToNeither) {
  // site 0 varies in both samples; site 1 only in the first; site 2 only in the third
  PopulDNA* a = add_sample({"AAA", "GCA"});
  PopulDNA* b = add_sample({"AAA", "GAA"});
  PopulDNA* c = add_sample({"AAA", "AAT", "AAA"});
  settings s;
  samples_.computeNumPrivateSubstSitesPerPop(s);
  EXPECT_EQ(a->num_private_subst_sites, 1);
  EXPECT_EQ(b->num_private_subst_sites, 0);
  EXPECT_EQ(c->num_private_subst_sites, 1);
}

TEST_F(PrivateSites, IndelSitesAreNeverPrivateSubstitutions) {
  PopulDNA* a = add_sample({"AA", "A-"});
  add_sample({"AA", "AA"});
  settings s;
  samples_.computeNumPrivateSubstSitesPerPop(s);
  EXPECT_EQ(a->num_private_subst_sites, 0);
}

TEST_F(PrivateSites, NothingIsDoneForOtherDataOrZeroTransitionWeight) {
  PopulDNA* a = add_sample({"AA", "GA"});
  a->num_private_subst_sites = 7;
  settings s;
  s.TransitionWeight = 0;
  samples_.computeNumPrivateSubstSitesPerPop(s);
  EXPECT_EQ(a->num_private_subst_sites, 7);
  s.TransitionWeight = 1;
  ProfileSettings::DataType = RFLP;
  samples_.computeNumPrivateSubstSitesPerPop(s);
  EXPECT_EQ(a->num_private_subst_sites, 7);
}

TEST(PairwiseDiversity, DistanceMethodGivesPerSequenceDistances) {
  // Jukes-Cantor at p = 0.1 over 10 usable sites, scaled to the sequence.
  DnaSample d;
  d.add("AAAAAAAAAA", 2);
  d.add("GAAAAAAAAA", 1);
  settings s;
  s.DistanceMethod = 1;
  d.pop.compare_DNA_sequences(s);
  d.pop.compute_molecular_diversity(s);
  const double jc = -0.75 * std::log(1 - 4 * 0.1 / 3) * 10;
  EXPECT_NEAR(d.pop.mean_pair_diff, 2 * jc / 3, 1e-12);
}

TEST(PairwiseDiversity, FailedDistanceReportsErrorAndZeroes) {
  LogCapture log;
  DnaSample d;
  d.add("AC", 1);
  d.add("CA", 1);
  settings s;
  s.DistanceMethod = 1;  // p = 1: Jukes-Cantor undefined
  d.pop.compare_DNA_sequences(s);
  d.pop.compute_molecular_diversity(s);
  EXPECT_EQ(d.pop.mean_pair_diff, 0.0);
  EXPECT_NE(
      log.text().find(
          "\"PopulDNA::compute_molecular_diversity()\" : distance matrix could not be computed"),
      std::string::npos);
}
