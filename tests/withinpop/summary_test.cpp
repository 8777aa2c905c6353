// Aggregation into the summary record: per-sample lists, means and standard
// deviations over samples, pooled (TOT_) values, the TaskNumber gates, and two
// passes in a row. Pooled values are computed by hand; the sequence pass that
// skips invariant sites is checked against a naive per-site computation.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "globals.h"
#include "model/samples.h"
#include "settings/settings.h"
#include "sumstat/sumstat.h"
#include "withinpop/log_capture.h"
#include "withinpop/sample_builder.h"

namespace {

// Clears the record before and after each test so tests stay independent.
class SummaryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SumStat.clearValues();
    SumStat.resetComputationFlags();
  }
  void TearDown() override {
    SumStat.clearValues();
    SumStat.resetComputationFlags();
    TAllele::numPop = 0;
  }
  void select_all() {
    SumStat.MEAN_K = SumStat.SD_K = SumStat.MEAN_H = SumStat.SD_H = true;
    SumStat.MEAN_S = SumStat.SD_S = SumStat.MEAN_PI = SumStat.SD_PI = true;
    SumStat.MEAN_GW = SumStat.SD_GW = SumStat.MEAN_NGW = SumStat.SD_NGW = true;
    SumStat.MEAN_TAJIMAD = SumStat.SD_TAJIMAD = SumStat.MEAN_FUFS = SumStat.SD_FUFS = true;
  }
};

std::vector<double> values(const MY_TArrayAsVector<double>& list) {
  return std::vector<double>(list.begin(), list.end());
}

template <class P>
P* new_sample(Samples& samples, const char* name) {
  auto* p = new P;
  p->name = name;
  samples.pops.Add(p);
  return p;
}

// Two samples, two loci: A = {a x: 3, b x: 1}, B = {a y: 1, c y: 1}.
void two_standard_samples(SampleBuilder& b, Samples& samples) {
  PopulStandard* a = new_sample<PopulStandard>(samples, "A");
  PopulStandard* c = new_sample<PopulStandard>(samples, "B");
  b.add(*a, " a x", 3);
  b.add(*a, " b x", 1);
  b.add(*c, " a y", 1);
  b.add(*c, " c y", 1);
}

}  // namespace

TEST_F(SummaryTest, HaplotypeModeListsAndPooledValuesOfTwoSamples) {
  SampleBuilder b(STANDARD, ' ');
  Samples samples;
  two_standard_samples(b, samples);
  select_all();
  settings s;
  s.TaskNumber = kTaskStandardIndices;
  ASSERT_EQ(samples.compute_stuff(nullptr, s), 1);
  EXPECT_EQ(values(SumStat.K), (std::vector<double>{2, 2}));
  EXPECT_EQ(values(SumStat.Ksd), (std::vector<double>{0, 0}));
  // A: 4/3 (1 - 10/16) = 0.5; B: two distinct copies = 1.
  ASSERT_EQ(SumStat.H.size(), 2);
  EXPECT_NEAR(SumStat.H[0], 0.5, 1e-15);
  EXPECT_EQ(SumStat.H[1], 1.0);
  // s.d. of A: V = 1/6 (4 (0.4375 - 0.390625) + 0.625 - 0.390625); of B: 0.5.
  EXPECT_NEAR(SumStat.Hsd[0], std::sqrt(0.0703125), 1e-12);
  EXPECT_NEAR(SumStat.Hsd[1], 0.5, 1e-12);
  EXPECT_EQ(SumStat.meanK, 2.0);
  EXPECT_EQ(SumStat.sdK, 0.0);
  EXPECT_NEAR(SumStat.meanH, 0.75, 1e-15);
  EXPECT_NEAR(SumStat.sdH, std::sqrt(0.125), 1e-12);
  // Four distinct haplotypes in the project.
  EXPECT_EQ(SumStat.totK, 4.0);
  // Pooled locus 1: a 4, b 1, c 1 -> 6/5 (1 - 18/36) = 0.6; locus 2: x 4, y 2
  // -> 6/5 (1 - 20/36) = 8/15.
  EXPECT_NEAR(SumStat.totH, (0.6 + 8.0 / 15.0) / 2.0, 1e-12);
  EXPECT_EQ(samples.num_distinct_haplotypes, 4);
}

TEST_F(SummaryTest, LocusModeTakesMeansOverLoci) {
  SampleBuilder b(STANDARD, ' ');
  Samples samples;
  PopulStandard* a = new_sample<PopulStandard>(samples, "A");
  PopulStandard* c = new_sample<PopulStandard>(samples, "B");
  SampleBuilder::add_individual(*a, " a x", " b x");
  SampleBuilder::add_individual(*a, " a x", " a x");
  SampleBuilder::add_individual(*c, " a y", " c y");
  select_all();
  settings s;
  s.TaskNumber = kTaskStandardIndices;
  s.genotypicData = 1;
  s.gameticPhaseKnown = 0;
  samples.compute_stuff(nullptr, s);
  // A: k = 2, 1 and H = 0.5, 0; B: k = 2, 1 and H = 1, 0.
  EXPECT_EQ(values(SumStat.K), (std::vector<double>{1.5, 1.5}));
  ASSERT_EQ(SumStat.Ksd.size(), 2);
  EXPECT_NEAR(SumStat.Ksd[0], std::sqrt(0.5), 1e-12);
  EXPECT_NEAR(SumStat.H[0], 0.25, 1e-15);
  EXPECT_NEAR(SumStat.Hsd[0], std::sqrt(0.125), 1e-12);
  EXPECT_NEAR(SumStat.H[1], 0.5, 1e-15);
  EXPECT_NEAR(SumStat.Hsd[1], std::sqrt(0.5), 1e-12);
  EXPECT_NEAR(SumStat.meanH, 0.375, 1e-15);
  // Pooled alleles: 3 at locus 1, 2 at locus 2, mean over all loci.
  EXPECT_EQ(SumStat.totK, 2.5);
  EXPECT_NEAR(SumStat.totH, (0.6 + 8.0 / 15.0) / 2.0, 1e-12);
}

TEST_F(SummaryTest, LocusModeDnaTotKOnlyOverLociWithSeveralAlleles) {
  SampleBuilder b(DNA, '\0');
  Samples samples;
  PopulDNA* a = new_sample<PopulDNA>(samples, "A");
  PopulDNA* c = new_sample<PopulDNA>(samples, "B");
  // Site 1: A, G, T pooled; site 2: C only; site 3: A and gap.
  SampleBuilder::add_individual(*a, "ACA", "GCA");
  SampleBuilder::add_individual(*c, "TC-", "ACA");
  settings s;
  s.TaskNumber = kTaskStandardIndices;
  s.genotypicData = 1;
  samples.compute_stuff(nullptr, s);
  EXPECT_EQ(SumStat.totK, 2.5);
}

TEST_F(SummaryTest, OneSampleHasZeroSdAndMeanEqualToItsValue) {
  SampleBuilder b(MICROSAT, ' ');
  Samples samples;
  PopulMicrosat* a = new_sample<PopulMicrosat>(samples, "A");
  b.add(*a, " 10 20", 2);
  b.add(*a, " 12 20", 1);
  b.add(*a, " 13 24", 1);
  select_all();
  settings s;
  s.TaskNumber = kTaskStandardIndices;
  samples.compute_stuff(nullptr, s);
  ASSERT_EQ(SumStat.K.size(), 1);
  EXPECT_EQ(SumStat.meanK, SumStat.K[0]);
  EXPECT_EQ(SumStat.meanH, SumStat.H[0]);
  EXPECT_EQ(SumStat.meanGW, SumStat.GW[0]);
  EXPECT_EQ(SumStat.meanNGW, SumStat.NGW[0]);
  EXPECT_EQ(SumStat.meanR, SumStat.R[0]);
  EXPECT_EQ(SumStat.sdK, 0.0);
  EXPECT_EQ(SumStat.sdH, 0.0);
  EXPECT_EQ(SumStat.sdGW, 0.0);
  EXPECT_EQ(SumStat.sdNGW, 0.0);
  EXPECT_EQ(SumStat.sdR, 0.0);
  // GW: locus 1 3/4, locus 2 2/5.
  EXPECT_NEAR(SumStat.GW[0], (0.75 + 0.4) / 2.0, 1e-15);
}

TEST_F(SummaryTest, MicrosatellitePooledRangeAndIndexes) {
  SampleBuilder b(MICROSAT, ' ');
  Samples samples;
  PopulMicrosat* a = new_sample<PopulMicrosat>(samples, "A");
  PopulMicrosat* c = new_sample<PopulMicrosat>(samples, "B");
  b.add(*a, " 10 5", 1);
  b.add(*a, " 14 5", 1);
  b.add(*c, " 12 5", 1);
  b.add(*c, " 18 6", 1);
  select_all();
  settings s;
  s.TaskNumber = kTaskStandardIndices;
  samples.compute_stuff(nullptr, s);
  // A: range 4, GW 2/5 at its one polymorphic locus. B: ranges 6 and 1, GW 2/7 and 1.
  EXPECT_EQ(values(SumStat.R), (std::vector<double>{4.0, 3.5}));
  ASSERT_EQ(SumStat.GW.size(), 2);
  EXPECT_NEAR(SumStat.GW[0], 0.4, 1e-15);
  EXPECT_NEAR(SumStat.GW[1], (2.0 / 7.0 + 1.0) / 2.0, 1e-15);
  EXPECT_EQ(SumStat.Rsd[0], 0.0);
  EXPECT_NEAR(SumStat.Rsd[1], std::sqrt(2.0 * ((36.0 + 1.0) / 2.0 - 3.5 * 3.5)), 1e-12);
  EXPECT_EQ(SumStat.meanR, 3.75);
  // Pooled ranges 8 and 1; pooled alleles 4 and 2.
  EXPECT_EQ(SumStat.totR, 4.5);
  EXPECT_NEAR(SumStat.totGW, (4.0 / 9.0 + 1.0) / 2.0, 1e-15);
  // NGW: A 2/9 and 1/2, B 2/9 and 2/2.
  ASSERT_EQ(SumStat.NGW.size(), 2);
  EXPECT_NEAR(SumStat.NGW[0], (2.0 / 9.0 + 0.5) / 2.0, 1e-15);
  EXPECT_NEAR(SumStat.NGW[1], (2.0 / 9.0 + 1.0) / 2.0, 1e-15);
  EXPECT_NEAR(SumStat.meanNGW, (4.0 / 9.0 + 1.5) / 4.0, 1e-15);
}

TEST_F(SummaryTest, MonomorphicEverywhereLocusDoesNotLowerTotH) {
  SampleBuilder b(STANDARD, ' ');
  Samples samples;
  PopulStandard* a = new_sample<PopulStandard>(samples, "A");
  PopulStandard* c = new_sample<PopulStandard>(samples, "B");
  b.add(*a, " a x z", 3);
  b.add(*a, " b x z", 1);
  b.add(*c, " a y z", 1);
  b.add(*c, " c y z", 1);
  settings s;
  s.TaskNumber = kTaskStandardIndices;
  samples.compute_stuff(nullptr, s);
  EXPECT_NEAR(SumStat.totH, (0.6 + 8.0 / 15.0) / 2.0, 1e-12);
}

TEST_F(SummaryTest, NothingStoredWithoutWithinSampleTasks) {
  SampleBuilder b(STANDARD, ' ');
  Samples samples;
  two_standard_samples(b, samples);
  SumStat.K.Add(42.0);
  SumStat.totH = 7.0;
  settings s;
  s.TaskNumber = kTaskAmova | kTaskPairwiseFst;
  samples.compute_stuff(nullptr, s);
  EXPECT_EQ(values(SumStat.K), (std::vector<double>{42.0}));
  EXPECT_EQ(SumStat.totH, 7.0);
}

TEST_F(SummaryTest, StandardIndicesOnlyUnderTheirBitAndNotForRecessiveData) {
  SampleBuilder b(STANDARD, ' ');
  Samples samples;
  two_standard_samples(b, samples);
  SumStat.K.Add(42.0);
  settings s;
  s.TaskNumber = kTaskMolecularDiversity;
  samples.compute_stuff(nullptr, s);
  EXPECT_EQ(values(SumStat.K), (std::vector<double>{42.0}));
  // STANDARD data: no molecular-diversity table either.
  EXPECT_EQ(SumStat.S.size(), 0);
  s.TaskNumber = kTaskStandardIndices;
  samples.profile.RecessiveData = 1;
  samples.compute_stuff(nullptr, s);
  EXPECT_EQ(values(SumStat.K), (std::vector<double>{42.0}));
  samples.profile.RecessiveData = 0;
  samples.compute_stuff(nullptr, s);
  EXPECT_EQ(values(SumStat.K), (std::vector<double>{2.0, 2.0}));
}

TEST_F(SummaryTest, NeutralityListsAreEmptiedAndRefilledPerSample) {
  SampleBuilder b(STANDARD, ' ');
  Samples samples;
  two_standard_samples(b, samples);
  SumStat.D.Add(5.0);
  SumStat.Dsd.Add(5.0);
  SumStat.FS.Add(5.0);
  SumStat.FSsd.Add(5.0);
  settings s;
  s.TaskNumber = kTaskTajimaTest | kTaskFuFsTest;
  samples.compute_stuff(nullptr, s);
  // Standard data give no D or Fs: each fresh sample contributes its 0.
  EXPECT_EQ(values(SumStat.D), (std::vector<double>{0.0, 0.0}));
  EXPECT_EQ(values(SumStat.FS), (std::vector<double>{0.0, 0.0}));
  EXPECT_EQ(SumStat.Dsd.size(), 0);
  EXPECT_EQ(SumStat.FSsd.size(), 0);
}

TEST_F(SummaryTest, FrequencyDataStoreUsablePolymorphicLociAsS) {
  SampleBuilder b(FREQUENCY, ' ');
  Samples samples;
  PopulStandard* a = new_sample<PopulStandard>(samples, "A");
  b.add(*a, " a x", 3);
  b.add(*a, " b x", 1);
  SumStat.Ssd.Add(9.0);
  SumStat.MEAN_S = true;
  settings s;
  s.TaskNumber = kTaskMolecularDiversity;
  samples.compute_stuff(nullptr, s);
  EXPECT_EQ(values(SumStat.S), (std::vector<double>{1.0}));
  EXPECT_EQ(SumStat.Ssd.size(), 0);
  EXPECT_EQ(SumStat.meanS, 1.0);
}

TEST_F(SummaryTest, SecondPassLeaksNothingFromTheFirst) {
  SampleBuilder b(STANDARD, ' ');
  select_all();
  settings s;
  s.TaskNumber = kTaskStandardIndices;
  {
    Samples first;
    two_standard_samples(b, first);
    first.compute_stuff(nullptr, s);
    ASSERT_EQ(SumStat.K.size(), 2);
    ASSERT_GT(SumStat.totH, 0.0);
  }
  // The second pass has one monomorphic sample; the record is not cleared in
  // between, as when the same samples are analysed again.
  Samples second;
  PopulStandard* m = new_sample<PopulStandard>(second, "M");
  b.add(*m, " a x", 4);
  second.compute_stuff(nullptr, s);
  EXPECT_EQ(values(SumStat.K), (std::vector<double>{1.0}));
  EXPECT_EQ(values(SumStat.Ksd), (std::vector<double>{0.0}));
  EXPECT_EQ(values(SumStat.H), (std::vector<double>{0.0}));
  EXPECT_EQ(SumStat.totK, 1.0);
  // Only this pass's copies count: a single allele per locus has no diversity.
  EXPECT_EQ(SumStat.totH, 0.0);
  EXPECT_EQ(SumStat.sdH, 0.0);
  // The alleles met in the first pass stay in the database, without counts.
  const TAllele* bb = PopGenetics::globalAllelicDB.find(0, "b");
  ASSERT_NE(bb, nullptr);
  EXPECT_EQ(bb->count, 0);
}

TEST_F(SummaryTest, SecondPassOfMicrosatellitesRecomputesPooledValues) {
  SampleBuilder b(MICROSAT, ' ');
  settings s;
  s.TaskNumber = kTaskStandardIndices;
  {
    Samples first;
    PopulMicrosat* a = new_sample<PopulMicrosat>(first, "A");
    b.add(*a, " 10", 1);
    b.add(*a, " 30", 1);
    first.compute_stuff(nullptr, s);
    ASSERT_EQ(SumStat.totR, 20.0);
  }
  Samples second;
  PopulMicrosat* a = new_sample<PopulMicrosat>(second, "A");
  b.add(*a, " 12", 1);
  b.add(*a, " 14", 1);
  second.compute_stuff(nullptr, s);
  EXPECT_EQ(SumStat.totR, 2.0);
  EXPECT_NEAR(SumStat.totGW, 2.0 / 3.0, 1e-15);
  EXPECT_EQ(values(SumStat.R), (std::vector<double>{2.0}));
}

namespace {

// Per-site values of a naive pass over every site of every sample.
struct NaiveSite {
  int n = 0;
  int k = 0;
  double h = 0.0;
};

NaiveSite naive_site(const std::vector<std::pair<std::string, int>>& haps, size_t site) {
  std::map<char, int> counts;
  NaiveSite r;
  for (const auto& [seq, c] : haps) {
    const char x = seq[site];
    if (x == '?' || x == 'N') continue;
    counts[x] += c;
    r.n += c;
  }
  r.k = static_cast<int>(counts.size());
  if (r.n > 1) {
    double s2 = 0.0;
    for (const auto& [x, c] : counts) s2 += (static_cast<double>(c) / r.n) * (1.0 * c / r.n);
    r.h = static_cast<double>(r.n) / (r.n - 1) * (1.0 - s2);
  }
  return r;
}

}  // namespace

TEST_F(SummaryTest, SequencePassOverVariableSitesMatchesNaivePassOverAllSites) {
  SampleBuilder b(DNA, '\0');
  std::mt19937 rng(12345);
  const int kSites = 400;
  const int kSamples = 3;
  // Mostly invariant sequences with a few mutated sites, some gaps and Ns.
  std::string ancestral;
  for (int i = 0; i < kSites; ++i) ancestral += "ACGT"[rng() % 4];
  ancestral[7] = 'N';  // an invariant untyped site
  std::vector<std::vector<std::pair<std::string, int>>> data(kSamples);
  Samples samples;
  for (int p = 0; p < kSamples; ++p) {
    PopulDNA* pop = new_sample<PopulDNA>(samples, ("P" + std::to_string(p)).c_str());
    for (int h = 0; h < 4; ++h) {
      std::string seq = ancestral;
      for (int m = 0; m < 6; ++m) seq[(rng() % 40) * 10 + p] = "ACGT-N?"[rng() % 7];
      const int copies = 1 + static_cast<int>(rng() % 3);
      data[static_cast<size_t>(p)].push_back({seq, copies});
      b.add(*pop, seq, copies);
    }
  }
  settings s;
  s.TaskNumber = kTaskStandardIndices;
  samples.compute_stuff(nullptr, s);

  std::map<size_t, std::map<char, int>> pooled;
  for (int p = 0; p < kSamples; ++p) {
    const auto& haps = data[static_cast<size_t>(p)];
    double sh = 0, sh2 = 0, sk = 0, sk2 = 0, sn = 0;
    for (size_t site = 0; site < static_cast<size_t>(kSites); ++site) {
      const NaiveSite r = naive_site(haps, site);
      sh += r.h;
      sh2 += r.h * r.h;
      sk += r.k;
      sk2 += r.k * r.k;
      sn += r.n;
      for (const auto& [seq, c] : haps)
        if (seq[site] != '?' && seq[site] != 'N') pooled[site][seq[site]] += c;
    }
    const Population* pop = samples[p];
    const double mean_k = sk / kSites;
    EXPECT_EQ(pop->mean_exp_het, sh / kSites);
    EXPECT_EQ(pop->mean_num_alleles, mean_k);
    EXPECT_EQ(pop->mean_gene_copies, sn / kSites);
    EXPECT_NEAR(pop->sd_num_alleles,
                std::sqrt(kSites / (kSites - 1.0) * (sk2 / kSites - mean_k * mean_k)), 1e-12);
    const double mean_h = sh / kSites;
    EXPECT_NEAR(pop->sd_exp_het,
                std::sqrt(kSites / (kSites - 1.0) * (sh2 / kSites - mean_h * mean_h)), 1e-12);
  }
  double sum_h = 0.0;
  int loci_h = 0;
  for (const auto& [site, counts] : pooled) {
    double n = 0.0;
    for (const auto& [x, c] : counts) n += c;
    double s2 = 0.0;
    for (const auto& [x, c] : counts) s2 += (c / n) * (c / n);
    const double h = n > 1.0 ? n / (n - 1.0) * (1.0 - s2) : 0.0;
    if (h != 0.0) {
      sum_h += h;
      ++loci_h;
    }
  }
  ASSERT_GT(loci_h, 0);
  EXPECT_NEAR(SumStat.totH, sum_h / loci_h, 1e-12);
  // Invariant sites were not entered in the allele database.
  EXPECT_EQ(PopGenetics::globalAllelicDB.loci[5].alleles.size(), 0);
}

TEST_F(SummaryTest, MicrosatelliteDiploidScaleRunsFast) {
  SampleBuilder b(MICROSAT, ' ');
  std::mt19937 rng(7);
  Samples samples;
  for (int p = 0; p < 20; ++p) {
    PopulMicrosat* pop = new_sample<PopulMicrosat>(samples, ("P" + std::to_string(p)).c_str());
    for (int i = 0; i < 50; ++i) {
      std::string c1;
      std::string c2;
      for (int l = 0; l < 20; ++l) {
        c1 += " " + std::to_string(100 + rng() % 12);
        c2 += " " + std::to_string(100 + rng() % 12);
      }
      SampleBuilder::add_individual(*pop, c1, c2);
    }
  }
  settings s;
  s.TaskNumber = kTaskStandardIndices;
  s.genotypicData = 1;
  const auto start = std::chrono::steady_clock::now();
  samples.compute_stuff(nullptr, s);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - start)
                      .count();
  EXPECT_EQ(SumStat.K.size(), 20);
  EXPECT_GT(SumStat.totH, 0.8);
  EXPECT_LT(SumStat.totH, 1.0);
  // Generous for debug and sanitizer builds; a release build takes a few ms.
  EXPECT_LT(ms, 500) << ms;
  std::printf("compute_stuff %ld ms\n", static_cast<long>(ms));
}

TEST_F(SummaryTest, PhaseKnownGenotypesUseHaplotypeMode) {
  SampleBuilder b(STANDARD, ' ');
  Samples samples;
  PopulStandard* a = new_sample<PopulStandard>(samples, "A");
  // Two individuals a-x/b-y and a-x/a-x with known phase: their gene copies.
  SampleBuilder::add_individual(*a, " a x", " b y");
  SampleBuilder::add_individual(*a, " a x", " a x");
  b.add(*a, " a x", 3);
  b.add(*a, " b y", 1);
  settings s;
  s.TaskNumber = kTaskStandardIndices;
  s.genotypicData = 1;
  s.gameticPhaseKnown = 1;
  samples.compute_stuff(nullptr, s);
  // Two distinct haplotypes; H = 4/3 (1 - 10/16) = 0.5.
  EXPECT_EQ(values(SumStat.K), (std::vector<double>{2.0}));
  EXPECT_EQ(values(SumStat.Ksd), (std::vector<double>{0.0}));
  ASSERT_EQ(SumStat.H.size(), 1);
  EXPECT_NEAR(SumStat.H[0], 0.5, 1e-15);
  s.gameticPhaseKnown = 0;
  samples.compute_stuff(nullptr, s);
  // Locus mode: k = 2 at both loci, H = 4/3 (1 - 10/16) at both.
  EXPECT_EQ(values(SumStat.K), (std::vector<double>{2.0}));
  EXPECT_NEAR(SumStat.H[0], 0.5, 1e-15);
  EXPECT_EQ(SumStat.Hsd[0], 0.0);
}

TEST_F(SummaryTest, LogsEverySampleAndAcceptsAnEmptyProject) {
  SampleBuilder b(STANDARD, ' ');
  LogCapture log;
  Samples empty;
  settings s;
  s.TaskNumber = kTaskStandardIndices;
  EXPECT_EQ(empty.compute_stuff(nullptr, s), 1);
  EXPECT_EQ(SumStat.K.size(), 0);
  Samples samples;
  two_standard_samples(b, samples);
  EXPECT_EQ(samples.compute_stuff(nullptr, s), 1);
  const std::string text = log.text();
  const size_t first = text.find("\nPopulation 'A' :done in ");
  const size_t second = text.find("\nPopulation 'B' :done in ");
  EXPECT_NE(first, std::string::npos);
  EXPECT_NE(second, std::string::npos);
  EXPECT_LT(first, second);
}

TEST_F(SummaryTest, NeutralityTestsWithoutMolecularDiversityTaskStillUsePi) {
  // Tajima's D and Fu's Fs asked for without the molecular-diversity task:
  // the same values as with it, and no S or pi columns filled.
  auto run = [](int task, std::vector<double>& d, std::vector<double>& fs) {
    SampleBuilder b(DNA, '\0');
    Samples samples;
    PopulDNA* a = new_sample<PopulDNA>(samples, "A");
    b.add(*a, "AAAA", 2);
    b.add(*a, "AGAA", 1);
    b.add(*a, "AGTA", 1);
    settings s;
    s.TaskNumber = task;
    s.NumSimulFuTest = 0;
    samples.compute_stuff(nullptr, s);
    d = values(SumStat.D);
    fs = values(SumStat.FS);
  };
  std::vector<double> d_alone, fs_alone, d_with, fs_with;
  run(kTaskTajimaTest | kTaskFuFsTest, d_alone, fs_alone);
  EXPECT_EQ(SumStat.Pi.size(), 0);
  EXPECT_EQ(SumStat.S.size(), 0);
  run(kTaskMolecularDiversity | kTaskTajimaTest | kTaskFuFsTest, d_with, fs_with);
  // n = 4, S = 2, pi = 7/6 (see the two-sample test below).
  const double n = 4.0, S = 2.0, pi = 7.0 / 6.0;
  const double a1 = 1.0 + 1.0 / 2 + 1.0 / 3, a2 = 1.0 + 1.0 / 4 + 1.0 / 9;
  const double b1 = (n + 1) / (3 * (n - 1)), b2 = 2 * (n * n + n + 3) / (9 * n * (n - 1));
  const double c1 = b1 - 1 / a1, c2 = b2 - (n + 2) / (a1 * n) + a2 / (a1 * a1);
  const double e1 = c1 / a1, e2 = c2 / (a1 * a1 + a2);
  ASSERT_EQ(d_alone.size(), 1u);
  EXPECT_NEAR(d_alone[0], (pi - S / a1) / std::sqrt(e1 * S + e2 * S * (S - 1)), 1e-12);
  EXPECT_EQ(d_alone, d_with);
  ASSERT_EQ(fs_alone.size(), 1u);
  EXPECT_NE(fs_alone[0], 0.0);
  EXPECT_EQ(fs_alone, fs_with);
}

TEST_F(SummaryTest, SequenceSitesPrivateSitesPiAndTajimaOfTwoSamples) {
  SampleBuilder b(DNA, '\0');
  Samples samples;
  PopulDNA* a = new_sample<PopulDNA>(samples, "A");
  PopulDNA* c = new_sample<PopulDNA>(samples, "B");
  // A: a transition at site 2 and a transversion at site 3; B: one at site 4.
  b.add(*a, "AAAA", 2);
  b.add(*a, "AGAA", 1);
  b.add(*a, "AGTA", 1);
  b.add(*c, "AAAA", 1);
  b.add(*c, "AAAC", 1);
  SumStat.MEAN_S = SumStat.SD_S = SumStat.MEAN_PI = SumStat.MEAN_TAJIMAD = true;
  settings s;
  s.TaskNumber = kTaskStandardIndices | kTaskMolecularDiversity | kTaskTajimaTest;
  s.NumSimulFuTest = 0;
  samples.compute_stuff(nullptr, s);
  EXPECT_EQ(values(SumStat.S), (std::vector<double>{2.0, 1.0}));
  EXPECT_EQ(values(SumStat.privS), (std::vector<double>{2.0, 1.0}));
  EXPECT_EQ(SumStat.meanS, 1.5);
  EXPECT_NEAR(SumStat.sdS, std::sqrt(0.5), 1e-12);
  // Segregating sites of the two samples together: sites 2, 3 and 4.
  EXPECT_EQ(SumStat.totS, 3.0);
  // pi of A: pairs (AAAA, AGAA) 2 x 1 x 1, (AAAA, AGTA) 2 x 1 x 2, (AGAA, AGTA)
  // 1 x 1 x 1 over 6 pairs of copies; pi of B: 1.
  ASSERT_EQ(SumStat.Pi.size(), 2);
  EXPECT_NEAR(SumStat.Pi[0], 7.0 / 6.0, 1e-12);
  EXPECT_NEAR(SumStat.Pi[1], 1.0, 1e-12);
  EXPECT_NEAR(SumStat.meanPi, 13.0 / 12.0, 1e-12);
  // Tajima's D of A (n = 4, S = 2, pi = 7/6).
  const double n = 4.0, S = 2.0, pi = 7.0 / 6.0;
  const double a1 = 1.0 + 1.0 / 2 + 1.0 / 3, a2 = 1.0 + 1.0 / 4 + 1.0 / 9;
  const double b1 = (n + 1) / (3 * (n - 1)), b2 = 2 * (n * n + n + 3) / (9 * n * (n - 1));
  const double c1 = b1 - 1 / a1, c2 = b2 - (n + 2) / (a1 * n) + a2 / (a1 * a1);
  const double e1 = c1 / a1, e2 = c2 / (a1 * a1 + a2);
  ASSERT_EQ(SumStat.D.size(), 2);
  EXPECT_NEAR(SumStat.D[0], (pi - S / a1) / std::sqrt(e1 * S + e2 * S * (S - 1)), 1e-12);
}
