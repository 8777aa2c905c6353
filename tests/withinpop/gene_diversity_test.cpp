// Allele pass, missing-allele rule, haplotype diversity and the polymorphism
// evaluation of allele-string data. Expected values are computed by hand or
// taken from the reference table of Nei's gene diversity.
#include "withinpop/gene_diversity.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <sstream>

#include "settings/settings.h"
#include "withinpop/sample_builder.h"

using qnd_diversity::is_missing_allele;
using qnd_diversity::sd_over;

namespace {

// Runs the haploid pass on a sample after evaluating its loci.
void haploid_pass(PopGenetics& pop) {
  settings s;
  pop.compare_haplotypes(s);
  std::ostringstream out;
  pop.OutputAllelelNumberAndHetPerLocusHapl(out, s, true, false, false);
}

void diploid_pass(PopGenetics& pop) {
  settings s;
  pop.compare_phenotypes(s);
  std::ostringstream out;
  pop.OutputAllelelNumberAndHetPerLocusDipl(out, s, true, false, false);
}

}  // namespace

// H = n/(n-1) (1 - sum p^2) and its standard deviation, from Nei's reference
// table (5-3-2 and 3-2-1 copies), ten distinct copies (H = 1 exactly) and a
// monomorphic sample (H = 0 exactly).
TEST(SampleGeneDiversity, MatchesNeiReferenceValues) {
  struct Case {
    std::vector<int> counts;
    double h, sd, tol;
  };
  const Case cases[] = {{{5, 3, 2}, 0.6888889, 0.1038375, 1e-7},
                        {{3, 2, 1}, 0.7333333, 0.1551583, 1e-7},
                        {std::vector<int>(10, 1), 1.0, 0.0447214, 1e-7},
                        {{7}, 0.0, 0.0, 0.0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.counts));
    SampleBuilder b(STANDARD, ' ');
    PopulStandard pop;
    double sum_sq = 0.0;
    const double n = static_cast<double>(std::accumulate(c.counts.begin(), c.counts.end(), 0));
    for (size_t i = 0; i < c.counts.size(); ++i) {
      b.add(pop, " " + std::to_string(i), c.counts[i]);
      sum_sq += (c.counts[i] / n) * (c.counts[i] / n);
    }
    pop.calc_sample_homozygosity();
    pop.calc_sample_sd_heterozygosity();
    // H = 0 and H = 1 come out exactly.
    const double h_tol = (c.h == 0.0 || c.h == 1.0) ? 0.0 : c.tol;
    EXPECT_NEAR(pop.gene_diversity, c.h, h_tol);
    EXPECT_NEAR(pop.homozygosity, 1.0 - c.h, h_tol);
    EXPECT_NEAR(pop.sum_sq_freq, sum_sq, 1e-15);
    EXPECT_NEAR(pop.sd_gene_diversity, c.sd, c.tol);
  }
  SampleBuilder b(STANDARD, ' ');
  PopulStandard pop;
  EXPECT_EQ(pop.calc_sample_homozygosity({1.0}), 1.0);
}

TEST(SampleGeneDiversity, AtMostOneCopyHasNoDiversity) {
  SampleBuilder b(STANDARD, ' ');
  PopulStandard one;
  b.add(one, " 1", 1);
  one.calc_sample_homozygosity();
  one.calc_sample_sd_heterozygosity();
  EXPECT_EQ(one.gene_diversity, 0.0);
  EXPECT_EQ(one.homozygosity, 1.0);
  EXPECT_EQ(one.sd_gene_diversity, 0.0);
  PopulStandard empty;
  empty.calc_sample_homozygosity();
  EXPECT_EQ(empty.gene_diversity, 0.0);
}

TEST(SampleGeneDiversity, FrequencyListOverloadDoesNotStore) {
  SampleBuilder b(STANDARD, ' ');
  PopulStandard pop;
  b.add(pop, " 1", 5);
  b.add(pop, " 2", 5);
  pop.gene_diversity = -3.0;
  // n = 10: H = 10/9 * (1 - 0.5) = 5/9.
  EXPECT_NEAR(pop.calc_sample_homozygosity({0.5, 0.5}), 1.0 - 5.0 / 9.0, 1e-15);
  EXPECT_EQ(pop.gene_diversity, -3.0);
}

// DNA: "?" and the ambiguity codes are missing, a gap is an allele. Other data:
// only a string starting with the missing character (or empty) is missing.
TEST(MissingAllele, PerDataType) {
  const struct {
    const char* allele;
    char missing;
    TDataType type;
    bool is_missing;
  } cases[] = {{"?", '?', DNA, true},        {"N", '?', DNA, true},     {"R", '?', DNA, true},
               {"D", '?', DNA, true},        {"-", '?', DNA, false},    {"A", '?', DNA, false},
               {"T", '?', DNA, false},       {"X", '?', DNA, false},    {"?", '?', STANDARD, true},
               {"?12", '?', MICROSAT, true}, {"", '?', MICROSAT, true}, {"N", '?', STANDARD, false},
               {"12", '?', MICROSAT, false}, {"0", '0', RFLP, true}};
  for (const auto& c : cases) {
    EXPECT_EQ(is_missing_allele(c.allele, c.missing, c.type), c.is_missing)
        << '"' << c.allele << "\" type " << c.type;
  }
}

TEST(SdOverValues, ZeroBelowTwoValuesOrWithoutPositiveVariance) {
  EXPECT_EQ(sd_over(0, 0.0, 0.0), 0.0);
  EXPECT_EQ(sd_over(1, 5.0, 25.0), 0.0);
  // Three equal values whose squares round: the bracket may come out below 0.
  const double x = 0.1;
  EXPECT_EQ(sd_over(3, 3 * x, 3 * x * x), 0.0);
  EXPECT_FALSE(std::isnan(sd_over(3, 0.3, 0.03)));
  // 1, 2, 3, 4: sample s.d. sqrt(5/3).
  EXPECT_NEAR(sd_over(4, 10.0, 30.0), std::sqrt(5.0 / 3.0), 1e-15);
}

TEST(HaploidLocusPass, CountsAllelesAndGeneDiversityPerLocus) {
  SampleBuilder b(STANDARD, ' ');
  PopulStandard pop;
  pop.index = 0;
  // Locus 1: a x5, b x3, c x2. Locus 2: all x. Locus 3: typed once.
  b.add(pop, " a x ?", 5);
  b.add(pop, " b x ?", 3);
  b.add(pop, " c x q", 2);
  haploid_pass(pop);
  ASSERT_EQ(pop.locus_num_alleles.size(), 3u);
  EXPECT_EQ(pop.locus_gene_copies[0], 10);
  EXPECT_EQ(pop.locus_num_alleles[0], 3);
  EXPECT_NEAR(pop.locus_exp_het[0], 10.0 / 9.0 * (1 - 0.38), 1e-15);
  EXPECT_EQ(pop.locus_num_alleles[1], 1);
  EXPECT_EQ(pop.locus_exp_het[1], 0.0);
  // Two copies of the same allele: n = 2, k = 1, H = 0.
  EXPECT_EQ(pop.locus_gene_copies[2], 2);
  EXPECT_EQ(pop.locus_num_alleles[2], 1);
  EXPECT_EQ(pop.locus_exp_het[2], 0.0);
  // One polymorphic locus among three: means over all three loci.
  EXPECT_NEAR(pop.mean_exp_het, 10.0 / 9.0 * 0.62 / 3.0, 1e-15);
  EXPECT_NEAR(pop.mean_num_alleles, 5.0 / 3.0, 1e-15);
  EXPECT_NEAR(pop.sd_num_alleles, std::sqrt(3.0 / 2.0 * (11.0 / 3.0 - 25.0 / 9.0)), 1e-12);
  EXPECT_NEAR(pop.mean_gene_copies, 22.0 / 3.0, 1e-12);
}

TEST(HaploidLocusPass, LocusTypedOnceHasNoDiversity) {
  SampleBuilder b(MICROSAT, ' ');
  PopulMicrosat pop;
  b.add(pop, " 10 ?", 1);
  b.add(pop, " 12 ?", 1);
  b.add(pop, " 12 14", 1);
  haploid_pass(pop);
  EXPECT_EQ(pop.locus_gene_copies[1], 1);
  EXPECT_EQ(pop.locus_num_alleles[1], 1);
  EXPECT_EQ(pop.locus_exp_het[1], 0.0);
}

TEST(HaploidLocusPass, OneLocusMeanIsItsValueWithZeroSd) {
  SampleBuilder b(STANDARD, ' ');
  PopulStandard pop;
  b.add(pop, " a", 2);
  b.add(pop, " b", 2);
  b.add(pop, " c", 1);
  haploid_pass(pop);
  EXPECT_EQ(pop.mean_num_alleles, 3.0);
  EXPECT_EQ(pop.sd_num_alleles, 0.0);
  // H = 5/4 (1 - (4+4+1)/25).
  EXPECT_NEAR(pop.mean_exp_het, 1.25 * (1.0 - 9.0 / 25.0), 1e-15);
  EXPECT_EQ(pop.sd_exp_het, 0.0);
  EXPECT_EQ(pop.mean_gene_copies, 5.0);
}

TEST(HaploidLocusPass, NoPolymorphicLocusTakesFirstLocusK) {
  SampleBuilder b(STANDARD, ' ');
  PopulStandard pop;
  b.add(pop, " a b ?", 3);
  haploid_pass(pop);
  EXPECT_EQ(pop.mean_num_alleles, 1.0);
  EXPECT_EQ(pop.sd_num_alleles, 0.0);
  EXPECT_EQ(pop.mean_exp_het, 0.0);
  // Sum of gene copies over flagged loci: none.
  EXPECT_EQ(pop.mean_gene_copies, 0.0);
}

TEST(HaploidLocusPass, AllMissingLocusContributesZero) {
  SampleBuilder b(STANDARD, ' ');
  PopulStandard pop;
  b.add(pop, " a ?", 1);
  b.add(pop, " b ?", 1);
  haploid_pass(pop);
  EXPECT_EQ(pop.locus_gene_copies[1], 0);
  EXPECT_EQ(pop.locus_num_alleles[1], 0);
  EXPECT_EQ(pop.locus_exp_het[1], 0.0);
  // Locus 1: H = 2 (1 - 1/2) = 1, k = 2, n = 2. Means over the two loci.
  EXPECT_EQ(pop.mean_exp_het, 0.5);
  EXPECT_EQ(pop.mean_num_alleles, 1.0);
  EXPECT_EQ(pop.mean_gene_copies, 1.0);
  EXPECT_NEAR(pop.sd_exp_het, std::sqrt(2.0 * (0.5 - 0.25)), 1e-15);
}

TEST(HaploidLocusPass, DnaGapIsAnAlleleAndNIsNot) {
  SampleBuilder b(DNA, '\0');
  PopulDNA pop;
  b.add(pop, "A-", 2);
  b.add(pop, "NA", 2);
  b.add(pop, "AA", 1);
  haploid_pass(pop);
  // Site 1: N missing, A x3: n = 3, k = 1.
  EXPECT_EQ(pop.locus_gene_copies[0], 3);
  EXPECT_EQ(pop.locus_num_alleles[0], 1);
  // Site 2: gap x2 and A x3: two alleles.
  EXPECT_EQ(pop.locus_gene_copies[1], 5);
  EXPECT_EQ(pop.locus_num_alleles[1], 2);
  EXPECT_NEAR(pop.locus_exp_het[1], 5.0 / 4.0 * (1 - 13.0 / 25.0), 1e-15);
}

TEST(HaploidLocusPass, NulSeparatorReadsOneCharacterPerLocus) {
  SampleBuilder b(STANDARD, '\0');
  PopulStandard pop;
  b.add(pop, "ab", 1);
  b.add(pop, "cb", 1);
  haploid_pass(pop);
  ASSERT_EQ(pop.locus_num_alleles.size(), 2u);
  EXPECT_EQ(pop.locus_num_alleles[0], 2);
  EXPECT_EQ(pop.locus_num_alleles[1], 1);
}

TEST(HaploidLocusPass, FrequencyDataIsLeftAlone) {
  SampleBuilder b(FREQUENCY, ' ');
  PopulStandard pop;
  b.add(pop, " a", 2);
  haploid_pass(pop);
  EXPECT_TRUE(pop.locus_num_alleles.empty());
  EXPECT_EQ(PopGenetics::globalAllelicDB.num_loci(), 0);
}

TEST(HaploidLocusPass, PrintsOnlyPolymorphicLoci) {
  SampleBuilder b(STANDARD, ' ');
  PopulStandard pop;
  pop.name = "pop1";
  b.add(pop, " a x", 1);
  b.add(pop, " b x", 1);
  settings s;
  pop.compare_haplotypes(s);
  std::ostringstream out;
  pop.OutputAllelelNumberAndHetPerLocusHapl(out, s, true, false, false);
  EXPECT_NE(out.str().find("Results are only shown for polymorphic loci"), std::string::npos);
  EXPECT_NE(out.str().find("\n  1\t"), std::string::npos);
  EXPECT_EQ(out.str().find("\n  2\t"), std::string::npos);
}

TEST(DiploidLocusPass, CountsCopiesAndObservedHeterozygosity) {
  SampleBuilder b(STANDARD, ' ');
  PopulStandard pop;
  // Locus 1: a/b x2, a/a x1, ?/b x1 (one copy), ?/? x1 (skipped).
  SampleBuilder::add_individual(pop, " a", " b", 2.0);
  SampleBuilder::add_individual(pop, " a", " a", 1.0);
  SampleBuilder::add_individual(pop, " ?", " b", 1.0);
  SampleBuilder::add_individual(pop, " ?", " ?", 1.0);
  diploid_pass(pop);
  // Copies: a = 2 + 2 = 4, b = 2 + 1 = 3: n = 7.
  EXPECT_EQ(pop.locus_gene_copies[0], 7);
  EXPECT_EQ(pop.locus_num_alleles[0], 2);
  EXPECT_NEAR(pop.locus_exp_het[0], 7.0 / 6.0 * (1 - 25.0 / 49.0), 1e-15);
  // Typed at both copies: 3 individuals, 2 heterozygous.
  EXPECT_NEAR(pop.locus_obs_het[0], 2.0 / 3.0, 1e-15);
}

TEST(DiploidLocusPass, NoTypedIndividualGivesZeroObservedHet) {
  SampleBuilder b(MICROSAT, ' ');
  PopulMicrosat pop;
  SampleBuilder::add_individual(pop, " 10 ?", " 12 14");
  SampleBuilder::add_individual(pop, " 10 ?", " 10 ?");
  diploid_pass(pop);
  EXPECT_EQ(pop.locus_obs_het[0], 0.5);
  EXPECT_EQ(pop.locus_obs_het[1], 0.0);
  EXPECT_EQ(pop.locus_gene_copies[1], 1);
}

TEST(AlleleDatabase, HoldsEveryAlleleWithCountsAndSampleFrequencies) {
  SampleBuilder b(STANDARD, ' ');
  TAllele::numPop = 2;
  PopulStandard p1;
  PopulStandard p2;
  p1.index = 0;
  p2.index = 1;
  b.add(p1, " a", 3);
  b.add(p1, " ?", 1);
  b.add(p1, " b", 1);
  b.add(p2, " b", 2);
  haploid_pass(p1);
  haploid_pass(p2);
  const TAlleleDB& db = PopGenetics::globalAllelicDB;
  ASSERT_EQ(db.num_loci(), 1);
  const TAllele* a = db.find(0, "a");
  const TAllele* bb = db.find(0, "b");
  const TAllele* q = db.find(0, "?");
  ASSERT_NE(a, nullptr);
  ASSERT_NE(bb, nullptr);
  ASSERT_NE(q, nullptr);
  EXPECT_EQ(a->count, 3);
  EXPECT_EQ(bb->count, 3);
  EXPECT_EQ(q->count, 0);
  EXPECT_EQ(a->pop_freq[0], 0.75);
  EXPECT_EQ(bb->pop_freq[0], 0.25);
  EXPECT_EQ(bb->pop_freq[1], 1.0);
  EXPECT_EQ(a->pop_freq[1], 0.0);
  EXPECT_EQ(qnd_diversity::pooled_num_alleles(db.loci[0], '?', STANDARD), 2);
  EXPECT_EQ(qnd_diversity::pooled_gene_diversity(db.loci[0], '?', STANDARD), 6.0 / 5.0 * 0.5);
  TAllele::numPop = 0;
}

TEST(PolymorphismEvaluation, FlagsUsableAndPolymorphicLoci) {
  SampleBuilder b(STANDARD, ' ');
  PopulStandard pop;
  b.add(pop, " a x ? y", 18);
  b.add(pop, " b x ? y", 1);
  b.add(pop, " b x q ?", 1);
  settings s;
  s.AllowedLevelOfMissingData = 0.05;
  pop.compare_haplotypes(s);
  EXPECT_EQ(pop.num_loci, 4);
  EXPECT_EQ(pop.locus_polymorphic, (std::vector<std::uint8_t>{1, 0, 0, 0}));
  // Locus 3: 19 of 20 missing; locus 4: 1 of 20 = 0.05, still usable.
  EXPECT_EQ(pop.locus_usable, (std::vector<std::uint8_t>{1, 1, 0, 1}));
  EXPECT_NEAR(pop.missing_fraction[2], 0.95, 1e-15);
  EXPECT_EQ(pop.num_usable_loci, 3);
  EXPECT_EQ(pop.num_usable_poly_loci, 1);
}

TEST(PolymorphismEvaluation, PhenotypesCountBothCopies) {
  SampleBuilder b(STANDARD, ' ');
  PopulStandard pop;
  SampleBuilder::add_individual(pop, " a b", " a ?", 1.0);
  SampleBuilder::add_individual(pop, " a b", " c b", 1.0);
  settings s;
  s.AllowedLevelOfMissingData = 0.2;
  pop.compare_phenotypes(s);
  EXPECT_EQ(pop.locus_polymorphic, (std::vector<std::uint8_t>{1, 0}));
  EXPECT_EQ(pop.missing_fraction[1], 0.25);
  EXPECT_EQ(pop.locus_usable, (std::vector<std::uint8_t>{1, 0}));
}

TEST(HaploidLocusPass, HaplotypesWithoutCopiesAreNotCounted) {
  SampleBuilder b(STANDARD, ' ');
  PopulStandard pop;
  b.add(pop, " a", 2);
  b.add(pop, " z", 0);
  haploid_pass(pop);
  EXPECT_EQ(pop.locus_num_alleles[0], 1);
  EXPECT_EQ(pop.locus_gene_copies[0], 2);
  EXPECT_EQ(pop.locus_polymorphic[0], 0);
}
