// Tests of the distance matrices: the variable-site DNA and RFLP matrices
// against the per-pair routines on random data, scaling and output, the
// microsatellite and standard matrices, the usable-site mask, the conventional
// matrix, and the AMOVA matrix over a haplotype list.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "betweenpop/distance_fixture.h"
#include "betweenpop/distances.h"
#include "betweenpop/haplotype_list_fixture.h"
#include "model/matrices.h"
#include "settings/settings.h"
#include "withinpop/log_capture.h"

namespace {

// Random aligned sequences: a common ancestor mutated at a few sites per
// haplotype into bases, gaps, missing data and ambiguity codes, plus columns
// that are invariant gaps, invariant missing data, invariant N, and columns
// with much missing data (unusable at the allowed level used below).
std::vector<std::string> random_sequences(int n, size_t len, unsigned seed, double rate) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  const std::string bases = "ACGT", noise = "ACGTACGTACGT--??NRYKMSW";
  std::string ancestor(len, 'A');
  for (char& c : ancestor) c = bases[gen() % 4];
  for (size_t k = 0; k < len; k += 37) ancestor[k] = '-';
  for (size_t k = 5; k < len; k += 41) ancestor[k] = '?';
  for (size_t k = 9; k < len; k += 43) ancestor[k] = 'N';
  std::vector<std::string> seqs(static_cast<size_t>(n), ancestor);
  for (std::string& s : seqs) {
    for (size_t k = 1; k < len; ++k) {
      if (k % 37 == 0 || k % 41 == 5 || k % 43 == 9) continue;  // keep the invariant columns
      if (u(gen) < rate) s[k] = noise[gen() % noise.size()];
      if (k % 29 == 0 && u(gen) < 0.3) s[k] = '?';
    }
  }
  return seqs;
}

TEST(DnaMatrix, VariableSitePathEqualsPerPairRoutinesForEveryMethod) {
  DataTypeGuard guard(DNA);
  settings s;
  LogCapture log;
  int matrices = 0;
  for (unsigned seed : {1u, 2u, 3u}) {
    SampleOf<PopulDNA> sample(random_sequences(12, 400, seed, 0.04),
                              {1, 2, 1, 1, 3, 1, 1, 1, 2, 1, 1, 1});
    PopulDNA& pop = sample.pop;
    pop.allowed_missing = 0.15;
    pop.evaluate_usable_mask();
    ASSERT_GT(pop.num_usable_loci, 0);
    ASSERT_LT(pop.num_usable_loci, 400);  // the mask leaves some sites out
    pop.comp_nucl_freq();
    for (int method = 0; method < 7; ++method) {
      for (double a : {0.0, 0.7}) {
        for (bool scale : {false, true}) {
          pop.dist_method = method;
          pop.gamma_a = a;
          const double factor = scale && method != 0 ? pop.num_usable_loci : 1.0;
          // Per-pair results first (the matrix overwrites the pair fields).
          const int n = pop.num_haplotypes();
          std::vector<double> d, sd;
          bool all_ok = true;
          for (int i = 1; i < n; ++i) {
            for (int j = 0; j < i; ++j) {
              all_ok =
                  pop.distance(pop.haplotypes[i]->hap->content, pop.haplotypes[j]->hap->content) &&
                  all_ok;
              d.push_back(pop.dist_d * factor);
              sd.push_back(pop.dist_v > 0 ? std::sqrt(pop.dist_v) * factor : 0.0);
            }
          }
          const int ok = pop.compute_distance_matrix(nullptr, s, scale);
          ASSERT_EQ(ok, all_ok ? 1 : 0) << method;
          if (!ok) continue;
          ++matrices;
          size_t at = 0;
          for (int i = 1; i < n; ++i) {
            for (int j = 0; j < i; ++j, ++at) {
              EXPECT_EQ(pop.dist_matrix(i, j), d[at]) << method << " " << a << " " << i << "," << j;
              EXPECT_EQ(pop.dist_matrix(j, i), sd[at]) << method << " " << a;
            }
            EXPECT_EQ(pop.dist_matrix(i, i), 0.0);
          }
        }
      }
    }
  }
  EXPECT_GE(matrices, 3 * 7 * 2 * 2 - 12);  // nearly every method succeeds on this data
}

TEST(DnaMatrix, ScaleFlagLargestDistanceAndOutput) {
  DataTypeGuard guard(DNA);
  settings s;
  LogCapture log;
  SampleOf<PopulDNA> sample({"ACGTACGTAC", "GCGTACGTAC", "GCGTACGTTT"});
  PopulDNA& pop = sample.pop;
  pop.dist_method = 3;  // proportion: per site, times 10 usable sites when scaled
  std::ostringstream out;
  ASSERT_EQ(pop.compute_distance_matrix(&out, s, true), 1);
  EXPECT_DOUBLE_EQ(pop.dist_matrix(1, 0), 1.0);
  EXPECT_DOUBLE_EQ(pop.dist_matrix(2, 0), 3.0);
  EXPECT_DOUBLE_EQ(pop.dist_matrix(0, 2), std::sqrt(0.3 * 0.7 / 10) * 10);
  EXPECT_EQ(pop.largest_distance, 3);
  EXPECT_EQ(out.str().rfind("\nInter-haplotypic distance matrix:\n", 0), 0u);
  EXPECT_NE(out.str().find("  0.0000  0.9487  1.4491\n"), std::string::npos) << out.str();
  EXPECT_NE(log.text().find("\t\t\tBeginning distance computations ...\n"), std::string::npos);
  EXPECT_NE(log.text().find("\t\t\tdone ! ("), std::string::npos);
  EXPECT_NE(log.text().find("\t\t\tWriting matrix to file ...\n"), std::string::npos);
  ASSERT_EQ(pop.compute_distance_matrix(nullptr, s, false), 1);
  EXPECT_DOUBLE_EQ(pop.dist_matrix(2, 0), 0.3);
  pop.dist_method = 0;  // never scaled
  ASSERT_EQ(pop.compute_distance_matrix(nullptr, s, true), 1);
  EXPECT_DOUBLE_EQ(pop.dist_matrix(2, 0), 3.0);
}

TEST(DnaMatrix, FailingPairFailsTheMatrixWithError136) {
  DataTypeGuard guard(DNA);
  settings s;
  LogCapture log;
  E.error(Warning, "", -1);
  SampleOf<PopulDNA> sample({"ACGT", "ACGT", "CATG"});
  sample.pop.dist_method = 1;
  EXPECT_EQ(sample.pop.compute_distance_matrix(nullptr, s, true), 0);
  EXPECT_NE(log.text().find("#[ERROR # 1] from function "
                            "\"PopulDNA::compute_distance_matrix(ofstream)\" : distance matrix "
                            "could not be computed"),
            std::string::npos)
      << log.text();
}

TEST(RflpMatrix, VariableSitePathEqualsPerPairRoutines) {
  DataTypeGuard guard(RFLP);
  settings s;
  LogCapture log;
  std::mt19937 gen(7);
  std::vector<std::string> seqs(9, std::string(300, '0'));
  for (size_t k = 0; k < 300; k += 3) seqs[0][k] = '1';
  for (size_t h = 1; h < seqs.size(); ++h) {
    seqs[h] = seqs[0];
    for (char& c : seqs[h]) {
      if (gen() % 10 == 0) c = "01-?"[gen() % 4];
    }
  }
  SampleOf<PopulRFLP> sample(seqs);
  PopulRFLP& pop = sample.pop;
  pop.allowed_missing = 0.0;
  pop.evaluate_usable_mask();
  for (int method : {0, 1}) {
    pop.dist_method = method;
    ASSERT_EQ(pop.compute_distance_matrix(nullptr, s, true), 1);
    const double factor = method == 1 ? pop.num_usable_loci : 1.0;
    for (int i = 1; i < 9; ++i) {
      for (int j = 0; j < i; ++j) {
        const double stored = pop.dist_matrix(i, j);
        if (method == 0) {
          ASSERT_EQ(pop.diff_no_weight(seqs[static_cast<size_t>(i)], seqs[static_cast<size_t>(j)]),
                    1);
        } else {
          ASSERT_EQ(pop.p_diff(seqs[static_cast<size_t>(i)], seqs[static_cast<size_t>(j)]), 1);
        }
        EXPECT_EQ(stored, pop.dist_d * factor);
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Microsatellite and standard data.
// ---------------------------------------------------------------------------

TEST(MicrosatMatrix, SizeDifferencesOfTwoAndOneRepeat) {
  DataTypeGuard guard(MICROSAT);
  settings s;
  LogCapture log;
  SampleOf<PopulMicrosat> sample({" 12 14 20", " 14 15 ?"});
  sample.pop.dist_method = 1;
  ASSERT_EQ(sample.pop.compute_distance_matrix(nullptr, s, true), 1);
  EXPECT_EQ(sample.pop.dist_matrix(1, 0), 5.0);
  EXPECT_EQ(sample.pop.dist_matrix(0, 1), 0.0);  // no variance
  sample.pop.dist_method = 0;
  ASSERT_EQ(sample.pop.compute_distance_matrix(nullptr, s, true), 1);
  EXPECT_EQ(sample.pop.dist_matrix(1, 0), 2.0);
}

TEST(MicrosatMatrix, UnusableLocusSkippedAndBadAlleleFails) {
  DataTypeGuard guard(MICROSAT);
  settings s;
  LogCapture log;
  E.error(Warning, "", -1);
  SampleOf<PopulMicrosat> sample({" 10 30", " 13 31"});
  sample.pop.dist_method = 1;
  sample.pop.locus_usable = {1, 0};
  ASSERT_EQ(sample.pop.compute_distance_matrix(nullptr, s, false), 1);
  EXPECT_EQ(sample.pop.dist_matrix(1, 0), 9.0);
  EXPECT_EQ(sample.pop.largest_distance, 9);
  SampleOf<PopulMicrosat> huge({" 1e999", " 12"});
  EXPECT_EQ(huge.pop.compute_distance_matrix(nullptr, s, false), 0);
  SampleOf<PopulMicrosat> text({" 12a", " 12"});
  EXPECT_EQ(text.pop.compute_distance_matrix(nullptr, s, false), 0);
  EXPECT_NE(log.text().find("ERROR # 2] from function "
                            "\"PopulMicrosat::compute_distance_matrix(ofstream)\""),
            std::string::npos)
      << log.text();
}

// Random microsatellite haplotypes (" 101 97 ? ..."), about one allele in ten
// missing; sizes drawn by the caller's rule.
template <typename Draw>
std::vector<std::string> random_microsats(int n, int loci, unsigned seed, Draw draw) {
  std::mt19937 gen(seed);
  std::vector<std::string> out;
  for (int h = 0; h < n; ++h) {
    std::string content;
    for (int k = 0; k < loci; ++k) content += gen() % 10 == 0 ? " ?" : " " + draw(gen);
    out.push_back(content);
  }
  return out;
}

// The distance written out: loci in order, skipped where either allele is
// missing, summed in double.
double naive_microsat(const std::string& a, const std::string& b, bool squared) {
  std::istringstream ia(a), ib(b);
  std::string x, y;
  double d = 0.0;
  while (ia >> x && ib >> y) {
    if (x == "?" || y == "?") continue;
    const double diff = std::strtod(x.c_str(), nullptr) - std::strtod(y.c_str(), nullptr);
    d += squared ? diff * diff : (diff != 0.0 ? 1.0 : 0.0);
  }
  return d;
}

void expect_naive_microsat_matrix(const std::vector<std::string>& contents) {
  settings s;
  LogCapture log;
  SampleOf<PopulMicrosat> sample(contents);
  sample.pop.allowed_missing = 1.0;  // every locus usable, whatever is missing
  for (const int method : {0, 1}) {
    sample.pop.dist_method = method;
    ASSERT_EQ(sample.pop.compute_distance_matrix(nullptr, s, false), 1);
    for (size_t i = 1; i < contents.size(); ++i) {
      for (size_t j = 0; j < i; ++j) {
        const double expected = naive_microsat(contents[i], contents[j], method == 1);
        ASSERT_EQ(sample.pop.dist_matrix(static_cast<int>(i), static_cast<int>(j)), expected)
            << "method " << method << " pair " << i << ", " << j;
      }
    }
  }
}

TEST(MicrosatMatrix, RandomDataEqualsLocusOrderSums) {
  DataTypeGuard guard(MICROSAT);
  // Whole repeat numbers (summed in integers inside), sizes with decimals and
  // sizes so far apart that squared sums leave the 32-bit range (summed in
  // double inside): every cell as the naive double sum, bit for bit.
  expect_naive_microsat_matrix(
      random_microsats(41, 13, 7u, [](std::mt19937& g) { return std::to_string(90 + g() % 30); }));
  expect_naive_microsat_matrix(random_microsats(23, 9, 8u, [](std::mt19937& g) {
    return std::to_string(g() % 40) + "." + std::to_string(g() % 10);
  }));
  expect_naive_microsat_matrix(random_microsats(
      17, 11, 9u, [](std::mt19937& g) { return std::to_string(g() % 2 ? 5 : 900000); }));
  // Sizes up to 1e200: squares overflow to infinity where both alleles are
  // present, and a missing allele still adds nothing (no NaN).
  expect_naive_microsat_matrix(random_microsats(
      9, 5, 10u, [](std::mt19937& g) { return g() % 3 ? std::string("12") : "1e200"; }));
}

TEST(MicrosatMatrix, AllMissingHaplotypeIsAtDistanceZero) {
  DataTypeGuard guard(MICROSAT);
  expect_naive_microsat_matrix({" ? ? ?", " 10 12 ?", " ? 15 9"});
}

TEST(StandardMatrix, CountsDifferentAllelesSkippingMissing) {
  DataTypeGuard guard(STANDARD);
  settings s;
  LogCapture log;
  SampleOf<PopulStandard> sample({" A B C D", " A X ? E", " A B C D"});
  ASSERT_EQ(sample.pop.compute_distance_matrix(nullptr, s, false), 1);
  EXPECT_EQ(sample.pop.dist_matrix(1, 0), 2.0);
  EXPECT_EQ(sample.pop.dist_matrix(2, 0), 0.0);
  EXPECT_EQ(sample.pop.dist_matrix(2, 1), 2.0);
  EXPECT_EQ(sample.pop.largest_distance, 2);
}

TEST(StandardMatrix, NulSeparatorMeansOneCharacterPerLocus) {
  DataTypeGuard guard(STANDARD, '\0');
  settings s;
  LogCapture log;
  SampleOf<PopulStandard> sample({"ABCD", "ABXY"});
  ASSERT_EQ(sample.pop.compute_distance_matrix(nullptr, s, false), 1);
  EXPECT_EQ(sample.pop.dist_matrix(1, 0), 2.0);
}

// ---------------------------------------------------------------------------
// The usable-site mask.
// ---------------------------------------------------------------------------

TEST(UsableMask, MissingFractionEqualToTheAllowedLevelIsUsable) {
  DataTypeGuard guard(DNA);
  // Ten gene copies: site 1 has 1 missing copy (0.1), site 2 has 2 (0.2).
  SampleOf<PopulDNA> sample({"A??", "AC?", "ACG"}, {1, 1, 8});
  sample.pop.allowed_missing = 0.1;
  sample.pop.evaluate_usable_mask();
  EXPECT_EQ(sample.pop.num_loci, 3);
  EXPECT_EQ(sample.pop.locus_usable, (std::vector<std::uint8_t>{1, 1, 0}));
  EXPECT_EQ(sample.pop.num_usable_loci, 2);
  EXPECT_DOUBLE_EQ(sample.pop.missing_fraction[2], 0.2);
}

TEST(UsableMask, PerLocusForMicrosatellites) {
  DataTypeGuard guard(MICROSAT);
  SampleOf<PopulMicrosat> sample({" 10 ?", " ? 12", " 11 12", " 10 12"});
  sample.pop.allowed_missing = 0.25;
  sample.pop.evaluate_usable_mask();
  EXPECT_EQ(sample.pop.locus_usable, (std::vector<std::uint8_t>{1, 1}));
  sample.pop.allowed_missing = 0.2;
  sample.pop.evaluate_usable_mask();
  EXPECT_EQ(sample.pop.num_usable_loci, 0);
}

// ---------------------------------------------------------------------------
// The conventional matrix.
// ---------------------------------------------------------------------------

TEST(ConventionalMatrix, NoHaplotypesIsError108) {
  DataTypeGuard guard(DNA);
  LogCapture log;
  E.error(Warning, "", -1);
  SampleOf<PopulDNA> sample({});
  EXPECT_EQ(sample.pop.compute_dist_mat_for_conventional_FST(), 0);
  EXPECT_NE(log.text().find("#[ERROR # 1] from function "
                            "\"PopGenetics::compute_dist_mat_for_conventional_FST()\" : haplotype "
                            "list is empty"),
            std::string::npos)
      << log.text();
}

TEST(ConventionalMatrix, FrequencyDataIsConstantTwoByTwo) {
  DataTypeGuard guard(FREQUENCY);
  SampleOf<PopulStandard> sample({"a", "b", "c"});
  ASSERT_EQ(sample.pop.compute_dist_mat_for_conventional_FST(), 1);
  EXPECT_TRUE(sample.pop.conventional_matrix.is_constant());
  EXPECT_EQ(sample.pop.conventional_matrix.size(), 2);
  EXPECT_EQ(sample.pop.conventional_matrix(0, 0), 0.0);
  EXPECT_EQ(sample.pop.conventional_matrix(1, 0), 1.0);
}

TEST(ConventionalMatrix, SequencesAreAllAtDistanceOne) {
  DataTypeGuard guard(DNA);
  SampleOf<PopulDNA> sample({"ACGT", "ACGT", "TTTT"});
  ASSERT_EQ(sample.pop.compute_dist_mat_for_conventional_FST(), 1);
  EXPECT_FALSE(sample.pop.conventional_matrix.is_constant());
  EXPECT_EQ(sample.pop.conventional_matrix(1, 0), 1.0);  // even identical contents
  EXPECT_EQ(sample.pop.conventional_matrix(2, 1), 1.0);
  EXPECT_EQ(sample.pop.conventional_matrix(2, 2), 0.0);
}

TEST(ConventionalMatrix, LociDifferOnlyAtUsableNonMissingAlleles) {
  DataTypeGuard guard(MICROSAT);
  SampleOf<PopulMicrosat> sample({" 10 20 30", " 10 ? 30", " 10 20 31", " 11 20 30"});
  sample.pop.locus_usable = {0, 1, 1};  // the first locus is not used
  ASSERT_EQ(sample.pop.compute_dist_mat_for_conventional_FST(), 1);
  const TriMat& m = sample.pop.conventional_matrix;
  EXPECT_EQ(m(1, 0), 0.0);  // differs only by a missing allele
  EXPECT_EQ(m(2, 0), 1.0);
  EXPECT_EQ(m(2, 1), 1.0);
  EXPECT_EQ(m(3, 0), 0.0);  // differs only at the unused locus
}

// ---------------------------------------------------------------------------
// The AMOVA matrix over a haplotype list.
// ---------------------------------------------------------------------------

class AmovaMatrix : public HaplotypeListFixture {};

TEST_F(AmovaMatrix, KimuraPerSequenceDistancesAndRestoredSettings) {
  DataTypeGuard guard(DNA);
  LogCapture log;
  add("a", "ACGTACGTAC");
  add("b", "GCGTACGTAC");
  add("c", "GCGTACGT??");
  s_.DistanceMethodAMOVA = 0;
  s_.GammaAValueAMOVA = 0.3;
  s_.TaskNumber = 512 + 1;
  s_.HaplAMOVA = 1;
  s_.AllowedLevelOfMissingData = 0.2;  // 1 of 5 copies missing at the last sites
  ASSERT_EQ(
      calc_haplotype_dist_matrix(list_, profile_, {2, 2, 1}, s_, result_dir_, distmat_, 2, 0.0), 1);
  EXPECT_EQ(s_.DistanceMethodAMOVA, 0);
  EXPECT_EQ(s_.GammaAValueAMOVA, 0.3);
  EXPECT_EQ(s_.TaskNumber, 513);
  ASSERT_EQ(distmat_.tri.size(), 3);
  EXPECT_EQ(distmat_.size, 3);
  // K2P over 10 sites with one transition: P = 0.1, Q = 0, times 10 sites.
  const double k2p = 0.5 * std::log(1 / 0.8);
  EXPECT_DOUBLE_EQ(distmat_.tri(1, 0), 10 * k2p);
  EXPECT_DOUBLE_EQ(distmat_.tri(2, 1), 0.0);  // "?" versus C: compared, no difference
  EXPECT_EQ(distmat_.labels[2], my_string("c"));
  // The report and the per-locus file in the result directory.
  EXPECT_NE(log.text().find("\nNumber of usable loci for distance computation : 10"),
            std::string::npos)
      << log.text();
  EXPECT_NE(log.text().find("List of loci with too much missing data :NONE"), std::string::npos);
  std::ifstream file(dir_ / "MissDataPerLocus.txt");
  ASSERT_TRUE(file.good());
  std::string line;
  std::getline(file, line);
  EXPECT_EQ(line, "Locus#\tFreq. missing data");
  int lines = 0;
  while (std::getline(file, line)) ++lines;
  EXPECT_EQ(lines, 10);
  EXPECT_FALSE(std::filesystem::exists("MissDataPerLocus.txt"));
}

TEST_F(AmovaMatrix, MicrosatTriangleEqualsTheSampleMatrix) {
  // The project's matrix is written straight into a triangle; it must hold
  // what the sample's square matrix holds below its diagonal.
  DataTypeGuard guard(MICROSAT);
  LogCapture log;
  const std::vector<std::string> contents =
      random_microsats(30, 8, 11u, [](std::mt19937& g) { return std::to_string(100 + g() % 12); });
  std::vector<int> copies;
  for (size_t i = 0; i < contents.size(); ++i) {
    add(("h" + std::to_string(i)).c_str(), contents[i].c_str());
    copies.push_back(1 + static_cast<int>(i % 3));
  }
  s_.TaskNumber = 512;
  s_.AllowedLevelOfMissingData = 1.0;
  ASSERT_EQ(calc_haplotype_dist_matrix(list_, profile_, copies, s_, result_dir_, distmat_, 1, 0.0),
            1);
  ASSERT_EQ(distmat_.tri.size(), 30);
  SampleOf<PopulMicrosat> sample(contents);
  sample.pop.allowed_missing = 1.0;
  sample.pop.dist_method = 1;
  ASSERT_EQ(sample.pop.compute_distance_matrix(nullptr, s_, false), 1);
  for (int i = 1; i < 30; ++i) {
    for (int j = 0; j < i; ++j) ASSERT_EQ(distmat_.tri(i, j), sample.pop.dist_matrix(i, j));
  }
}

TEST_F(AmovaMatrix, UnusableLociListedAndLeftOut) {
  DataTypeGuard guard(DNA);
  LogCapture log;
  add("a", "ACGTA");
  add("b", "A?GTT");
  s_.TaskNumber = 1024;
  s_.AllowedLevelOfMissingData = 0.0;
  ASSERT_EQ(calc_haplotype_dist_matrix(list_, profile_, {1, 1}, s_, result_dir_, distmat_, 0, 0.0),
            1);
  EXPECT_EQ(distmat_.tri(1, 0), 1.0);
  EXPECT_NE(log.text().find("List of usable loci :\n   1,    3,    4,    5, "), std::string::npos)
      << log.text();
  EXPECT_NE(log.text().find("too much missing data :   2, "), std::string::npos) << log.text();
}

TEST_F(AmovaMatrix, ConventionalFrequencyMatrixIsConstantAndNotReported) {
  DataTypeGuard guard(FREQUENCY);
  LogCapture log;
  add("a", "x");
  add("b", "y");
  s_.ComputeConventionalFST = 1;
  s_.TaskNumber = 1024;
  ASSERT_EQ(calc_haplotype_dist_matrix(list_, profile_, {1, 1}, s_, result_dir_, distmat_, 0, 0.0),
            1);
  EXPECT_TRUE(distmat_.tri.is_constant());
  EXPECT_EQ(log.text().find("Number of usable loci"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "MissDataPerLocus.txt"));
}

TEST_F(AmovaMatrix, FailureIsError136AndSettingsRestored) {
  DataTypeGuard guard(DNA);
  LogCapture log;
  E.error(Warning, "", -1);
  add("a", "ACGT");
  add("b", "CATG");
  s_.TaskNumber = 7;
  ASSERT_EQ(calc_haplotype_dist_matrix(list_, profile_, {1, 1}, s_, result_dir_, distmat_, 1, 0.0),
            0);
  EXPECT_EQ(s_.TaskNumber, 7);
  EXPECT_EQ(s_.DistanceMethodAMOVA, 0);
  EXPECT_NE(log.text().find("from function \"Project::calc_dist_matrix()\" : distance matrix could "
                            "not be computed"),
            std::string::npos)
      << log.text();
}

}  // namespace
