// Microsatellite sizes, allelic range, Garza-Williamson index (GW = k/(r+1)),
// pooled ranges and the modified index NGW = k/(R+1), checked by hand.
#include "withinpop/microsat.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <sstream>

#include "settings/settings.h"
#include "withinpop/sample_builder.h"

namespace {

void haploid_pass(PopGenetics& pop) {
  settings s;
  pop.compare_haplotypes(s);
  std::ostringstream out;
  pop.OutputAllelelNumberAndHetPerLocusHapl(out, s, false, false, false);
}

}  // namespace

TEST(AlleleSize, RoundsHalfUp) {
  EXPECT_EQ(qnd_diversity::allele_size("21"), 21);
  EXPECT_EQ(qnd_diversity::allele_size("20.5"), 21);
  EXPECT_EQ(qnd_diversity::allele_size("20.4"), 20);
  EXPECT_EQ(qnd_diversity::allele_size("abc"), 0);
}

TEST(AlleleSize, AbsurdSizesAreClampedSoRangesStayWithinInt) {
  // A file can hold any text as an allele: sizes stop at +-(2^30 - 1), NaN
  // reads as 0, so the range and the range + 1 of the index never overflow.
  const int limit = (1 << 30) - 1;
  EXPECT_EQ(qnd_diversity::allele_size("2.63333e43"), limit);
  EXPECT_EQ(qnd_diversity::allele_size("-1e300"), -limit);
  EXPECT_EQ(qnd_diversity::allele_size("2000000000"), limit);
  EXPECT_EQ(qnd_diversity::allele_size("-2147483648"), -limit);
  EXPECT_EQ(qnd_diversity::allele_size("inf"), limit);
  EXPECT_EQ(qnd_diversity::allele_size("nan"), 0);
  EXPECT_EQ(qnd_diversity::allele_size("1073741823"), limit);  // the limit itself is kept
  SampleBuilder b(MICROSAT, ' ');
  PopulMicrosat pop;
  b.add(pop, " 1e300", 1);
  b.add(pop, " -1e300", 1);
  haploid_pass(pop);
  EXPECT_EQ(pop.locus_range[0], 2 * limit);
  EXPECT_EQ(pop.locus_gw[0], 2.0 / (2.0 * limit + 1.0));
}

TEST(GarzaWilliamson, ReferenceLoci) {
  SampleBuilder b(MICROSAT, ' ');
  PopulMicrosat pop;
  // Locus 1: 10 12 13 14 17 -> 5/8. Locus 2: 20 21 22 -> 1. Locus 3: 20 22 25 -> 3/6.
  // Locus 4: monomorphic -> 1.
  b.add(pop, " 10 20 20 30", 1);
  b.add(pop, " 12 21 22 30", 1);
  b.add(pop, " 13 22 25 30", 1);
  b.add(pop, " 14 22 25 30", 1);
  b.add(pop, " 17 21 20 30", 1);
  haploid_pass(pop);
  EXPECT_EQ(pop.locus_range[0], 7);
  EXPECT_EQ(pop.locus_gw[0], 0.625);
  EXPECT_EQ(pop.locus_range[1], 2);
  EXPECT_EQ(pop.locus_gw[1], 1.0);
  EXPECT_EQ(pop.locus_range[2], 5);
  EXPECT_EQ(pop.locus_gw[2], 0.5);
  EXPECT_EQ(pop.locus_range[3], 0);
  EXPECT_EQ(pop.locus_gw[3], 1.0);
  EXPECT_EQ(pop.locus_min_size[0], 10);
  EXPECT_EQ(pop.locus_max_size[0], 17);
  EXPECT_NEAR(pop.locus_mean_size[0], (10 + 12 + 13 + 14 + 17) / 5.0, 1e-12);
  // Mean over the three polymorphic loci only; the monomorphic locus stays out.
  EXPECT_NEAR(pop.mean_gw, (0.625 + 1.0 + 0.5) / 3.0, 1e-15);
  EXPECT_NEAR(pop.mean_range, 14.0 / 3.0, 1e-15);
  const double m = 14.0 / 3.0;
  EXPECT_NEAR(pop.sd_range, std::sqrt(1.5 * ((49.0 + 4.0 + 25.0) / 3.0 - m * m)), 1e-12);
}

TEST(GarzaWilliamson, SingleLocusSampleSumsFlaggedLoci) {
  SampleBuilder b(MICROSAT, ' ');
  PopulMicrosat pop;
  b.add(pop, " 20", 2);
  b.add(pop, " 25", 1);
  haploid_pass(pop);
  EXPECT_EQ(pop.mean_range, 5.0);
  EXPECT_NEAR(pop.mean_gw, 2.0 / 6.0, 1e-15);
  EXPECT_EQ(pop.sd_range, 0.0);
  EXPECT_EQ(pop.sd_gw, 0.0);
}

TEST(GarzaWilliamson, UntypedLocusHasNoAllelesAndZeroIndex) {
  SampleBuilder b(MICROSAT, ' ');
  PopulMicrosat pop;
  b.add(pop, " 20 ?", 2);
  b.add(pop, " 22 ?", 1);
  haploid_pass(pop);
  EXPECT_EQ(pop.locus_num_alleles[1], 0);
  EXPECT_EQ(pop.locus_gw[1], 0.0);
  EXPECT_EQ(pop.locus_mean_size[1], 0.0);
}

TEST(PooledRange, SpansTheSamplesAndIgnoresUntypedLoci) {
  SampleBuilder b(MICROSAT, ' ');
  PopulMicrosat p1;
  PopulMicrosat p2;
  b.add(p1, " 10 ?", 1);
  b.add(p1, " 14 ?", 1);
  b.add(p2, " 12 30", 1);
  b.add(p2, " 18 30", 1);
  haploid_pass(p1);
  haploid_pass(p2);
  const std::vector<int> r = qnd_microsat::pooled_ranges({&p1, &p2}, 2);
  EXPECT_EQ(r, (std::vector<int>{8, 0}));
}

TEST(ModifiedGarzaWilliamson, EqualsGwWhenSampleSpansPooledRange) {
  SampleBuilder b(MICROSAT, ' ');
  PopulMicrosat p1;
  PopulMicrosat p2;
  b.add(p1, " 10 20", 1);
  b.add(p1, " 12 24", 1);
  b.add(p1, " 16 22", 1);
  b.add(p2, " 10 20", 1);
  b.add(p2, " 16 24", 1);
  haploid_pass(p1);
  haploid_pass(p2);
  const std::vector<int> r = qnd_microsat::pooled_ranges({&p1, &p2}, 2);
  p1.compute_modified_gw(r);
  p2.compute_modified_gw(r);
  EXPECT_NEAR(p1.locus_ngw[0], p1.locus_gw[0], 1e-15);
  EXPECT_NEAR(p1.locus_ngw[1], p1.locus_gw[1], 1e-15);
  EXPECT_NEAR(p1.mean_ngw, p1.mean_gw, 1e-15);
  // p2 spans the range too: NGW = 2/7 and 2/5.
  EXPECT_NEAR(p2.mean_ngw, (2.0 / 7.0 + 2.0 / 5.0) / 2.0, 1e-15);
}

TEST(ModifiedGarzaWilliamson, NarrowSampleIsComparedWithPooledRange) {
  SampleBuilder b(MICROSAT, ' ');
  PopulMicrosat p1;
  PopulMicrosat p2;
  // Locus 1 pooled range 10..19 (R = 9); locus 2 monomorphic everywhere.
  b.add(p1, " 10 5", 1);
  b.add(p1, " 19 5", 1);
  b.add(p2, " 12 5", 1);
  b.add(p2, " 13 5", 1);
  b.add(p2, " 14 5", 1);
  haploid_pass(p1);
  haploid_pass(p2);
  const std::vector<int> r = qnd_microsat::pooled_ranges({&p1, &p2}, 2);
  p2.compute_modified_gw(r);
  // NGW = 3/10 at locus 1 and 1/1 at locus 2: the monomorphic locus counts.
  EXPECT_NEAR(p2.locus_ngw[0], 0.3, 1e-15);
  EXPECT_EQ(p2.locus_ngw[1], 1.0);
  EXPECT_NEAR(p2.mean_ngw, 0.65, 1e-15);
  EXPECT_NEAR(p2.sd_ngw, std::sqrt(2.0 * ((0.09 + 1.0) / 2.0 - 0.65 * 0.65)), 1e-12);
  // GW of p2 is 1 at locus 1 (3 alleles over 12..14) and excludes locus 2.
  EXPECT_EQ(p2.mean_gw, 1.0);
}

TEST(MeanAlleleSizes, WeightedByCopiesAndZeroWithoutData) {
  SampleBuilder b(MICROSAT, ' ');
  PopulMicrosat pop;
  b.add(pop, " 10 ?", 3);
  b.add(pop, " 20 ?", 1);
  pop.computeMeanAlleleSizes();
  ASSERT_EQ(pop.mean_allele_sizes.size(), 2u);
  EXPECT_EQ(pop.mean_allele_sizes[0], 12.5);
  EXPECT_EQ(pop.mean_allele_sizes[1], 0.0);
  PopulMicrosat dip;
  dip.profile.GenotypicData = 1;
  SampleBuilder::add_individual(dip, " 10", " 14", 1.0);
  SampleBuilder::add_individual(dip, " 12", " ?", 2.0);
  dip.computeMeanAlleleSizes();
  // (10 + 14 + 2*12) / 4.
  EXPECT_EQ(dip.mean_allele_sizes[0], 12.0);
}
