// Distance matrices: the variable-site DNA and RFLP matrices against the
// per-pair routines on random data, the microsatellite matrix against a naive
// sum in locus order, the report of a matrix, and the AMOVA matrix over a
// haplotype list. Small hand-worked matrices are rows of distance_cases.txt.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <random>
#include <sstream>
#include <string>

#include "betweenpop/distances.h"
#include "cli/temp_dir.h"
#include "model/matrices.h"
#include "settings/settings.h"
#include "withinpop/log_capture.h"
#include "withinpop/sample_builder.h"

namespace {

// Random aligned sequences: a common ancestor mutated at a few sites per
// haplotype into bases, gaps, missing data and ambiguity codes, plus columns
// that are invariant gaps, missing data or N, and columns with much missing data.
std::vector<std::string> random_sequences(int n, size_t len, unsigned seed) {
  std::mt19937 gen(seed);
  const std::string noise = "ACGTACGTACGT--??NRYKMSW";
  std::string ancestor(len, 'A');
  for (size_t k = 0; k < len; ++k)
    ancestor[k] = k % 37 == 0 ? '-' : k % 41 == 5 ? '?' : k % 43 == 9 ? 'N' : "ACGT"[gen() % 4];
  std::vector<std::string> seqs(static_cast<size_t>(n), ancestor);
  for (std::string& s : seqs)
    for (size_t k = 1; k < len; ++k) {
      if (k % 37 == 0 || k % 41 == 5 || k % 43 == 9) continue;
      if (gen() % 25 == 0) s[k] = noise[gen() % noise.size()];
      if (k % 29 == 0 && gen() % 10 < 3) s[k] = '?';
    }
  return seqs;
}

// The number of differences (method 0) or their proportion (method 3) at the
// usable sites and its variance, written from the weighting rules: a
// difference of unknown type weighs the smaller weight (the transversion one
// when transitions weigh 0); a weight of 0 removes the difference but keeps
// the site compared.
void expect_naive_weighted(const Population& pop, const std::string& x, const std::string& y,
                           const double* w) {
  double d = 0, T = 0, diff = 0, L = 0;
  for (size_t i = 0; i < x.size(); ++i) {
    if (!pop.locus_usable[i]) continue;
    if (x[i] == y[i]) {
      T += x[i] != '?';
      L += x[i] != '?';
      continue;
    }
    const int c = PopulDNA::compare_nucleotides(x[i], y[i]);
    const double wk = c == 1   ? w[0]
                      : c == 2 ? w[1]
                      : c == 3 ? w[2]
                      : c == 4 ? (w[0] > 0 ? std::min(w[0], w[1]) : w[1])
                               : 0;
    d += c != 0 && (c != 4 || w[0] > 0) && wk > 0 ? wk : 0;
    T += c != 0 && wk > 0 ? wk : 1;
    const int cp = c == 4 ? (w[0] > 0 ? (w[1] < w[0] ? 2 : 1) : (w[1] > 0 ? 5 : 0)) : c;
    const double wp = cp == 1 ? w[0] : cp == 2 || cp == 5 ? w[1] : cp == 3 ? w[2] : 0;
    L += cp == 5 ? wp : cp != 0 && wp > 0 ? wp : 1;
    diff += cp != 5 && cp != 0 && wp > 0 ? wp : 0;
  }
  const double p = L > 0 ? diff / L : 0;
  EXPECT_NEAR(pop.dist_d, pop.dist_method == 0 ? d : p, 1e-12);
  EXPECT_NEAR(pop.dist_v,
              pop.dist_method == 0 ? (T > 0 ? d * (1 - d / T) : 0) : (L > 0 ? p * (1 - p) / L : 0),
              1e-10);
}

// Random microsatellite haplotypes (" 101 97 ? ..."), about one allele in ten
// missing; sizes of a kind: whole repeat numbers, with decimals, far apart, up to 1e200.
std::vector<std::string> random_microsats(int n, int loci, unsigned kind) {
  std::mt19937 g(7 + kind);
  std::vector<std::string> out(static_cast<size_t>(n));
  for (std::string& content : out)
    for (int k = 0; k < loci; ++k) {
      if (g() % 10 == 0) {
        content += " ?";
        continue;
      }
      const unsigned x = g(), y = g();
      content += " " + (kind == 0   ? std::to_string(90 + x % 30)
                        : kind == 1 ? std::to_string(x % 40) + "." + std::to_string(y % 10)
                        : kind == 2 ? std::to_string(x % 2 ? 5 : 900000)
                        : x % 3     ? std::string("12")
                                    : "1e200");
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

// A project haplotype list in a temporary result directory.
struct ListInput {
  void add(const std::string& content) {
    auto* h = new HaploDef(my_string(("h" + std::to_string(list.size())).c_str()));
    h->content = content;
    list.add(h);
  }
  int run(const std::vector<int>& copies, int method) {
    return calc_haplotype_dist_matrix(list, profile, copies, s, dir, distmat, method, 0.0);
  }
  qnd_test::TempDir temp;
  my_string dir{(temp.path().string() + "/").c_str()};
  Haplo_DB list;
  ProfileSettings profile;
  settings s;
  DistMat distmat;
};

// Both methods: every cell as the naive sum; the project's triangle (written
// straight from the list) holds what the sample's square matrix holds.
void expect_naive_microsat_matrix(SampleBuilder& b, const std::vector<std::string>& contents) {
  settings s;
  LogCapture log;
  const auto sample = b.sample(contents);
  sample->allowed_missing = 1.0;  // every locus usable, whatever is missing
  ListInput in;
  std::vector<int> copies;
  for (size_t i = 0; i < contents.size(); ++i) {
    in.add(contents[i]);
    copies.push_back(1 + static_cast<int>(i % 3));
  }
  in.s.TaskNumber = 512;
  in.s.AllowedLevelOfMissingData = 1.0;
  for (const int method : {0, 1}) {
    sample->dist_method = method;
    ASSERT_EQ(sample->compute_distance_matrix(nullptr, s, false), 1);
    ASSERT_EQ(in.run(copies, method), 1);
    ASSERT_EQ(in.distmat.tri.size(), static_cast<int>(contents.size()));
    for (int i = 1; i < static_cast<int>(contents.size()); ++i)
      for (int j = 0; j < i; ++j) {
        const double expected = naive_microsat(contents[static_cast<size_t>(i)],
                                               contents[static_cast<size_t>(j)], method == 1);
        ASSERT_EQ(sample->dist_matrix(i, j), expected) << method << " pair " << i << "," << j;
        ASSERT_EQ(in.distmat.tri(i, j), expected) << method << " pair " << i << "," << j;
      }
  }
}

// The list of loci as a stream with default flags writes it.
std::string stream_list(const std::vector<int>& loci) {
  std::ostringstream out;
  for (size_t i = 0; i < loci.size(); ++i) {
    out << std::setw(4) << loci[i] << ", ";
    if ((i + 1) % 15 == 0) out << '\n';
  }
  return out.str();
}

}  // namespace

// Every method, with and without gamma and scaling, on DNA under several
// weights; both RFLP methods: every cell (distance below, s.d. above the
// diagonal) as the per-pair routine gives it, and a failing pair fails the
// matrix; the per-pair number and proportion of differences as written out.
TEST(DistanceMatrix, VariableSitePathEqualsPerPairRoutines) {
  settings s;
  LogCapture log;
  int matrices = 0;
  for (unsigned seed : {1u, 2u, 3u, 4u}) {
    const bool rflp = seed == 4;
    SampleBuilder b(rflp ? RFLP : DNA);
    std::vector<std::string> seqs = random_sequences(12, 400, seed);
    if (rflp)
      for (std::string& q : seqs)
        for (char& c : q)
          c = c == '-' || c == '?' ? c : c == 'C' || c == 'T' ? '1' : '0';
    std::vector<std::string> entries;
    for (size_t i = 0; i < seqs.size(); ++i)
      entries.push_back(std::to_string(rflp ? 1 : "121131112111"[i] - '0') + "*" + seqs[i]);
    const auto sample = b.sample(entries);
    Population& pop = *sample;
    auto& dna = static_cast<PopulDNA&>(pop);
    auto& rf = static_cast<PopulRFLP&>(pop);
    pop.allowed_missing = 0.15;
    pop.evaluate_usable_mask();
    ASSERT_GT(pop.num_usable_loci, 0);
    ASSERT_LT(pop.num_usable_loci, 400);  // the mask leaves some sites out
    if (!rflp) dna.comp_nucl_freq();
    const double weights[][3] = {{1, 1, 1},   {2, 0.5, 3}, {0.5, 2, 0},
                                 {0, 1.5, 1}, {0, 0, 0},   {1, 0, 2}};
    for (const double* w : weights) {
      if (rflp && w != weights[0]) break;
      pop.w_ts = w[0], pop.w_tv = w[1], pop.w_del = w[2];
      for (int method = 0; method < (rflp ? 2 : 7); ++method)
        for (double a : {0.0, 0.7})
          for (bool scale : {false, true}) {
            pop.dist_method = method;
            pop.gamma_a = a;
            const double factor = scale && (method != 0) ? pop.num_usable_loci : 1.0;
            const int ok = pop.compute_distance_matrix(nullptr, s, scale);
            matrices += ok;
            bool all_ok = true;
            for (int i = 1; i < 12; ++i)
              for (int j = 0; j < i; ++j) {
                const std::string &x = seqs[static_cast<size_t>(i)],
                                  &y = seqs[static_cast<size_t>(j)];
                const int pair_ok = rflp ? (method ? rf.p_diff(x, y) : rf.diff_no_weight(x, y))
                                         : dna.distance(x, y);
                all_ok = pair_ok && all_ok;
                if (!rflp && (method == 0 || method == 3) && pair_ok)
                  expect_naive_weighted(pop, x, y, w);
                if (!ok) continue;
                EXPECT_EQ(pop.dist_matrix(i, j), pop.dist_d * factor)
                    << method << " " << a << " " << i << "," << j;
                const double sd = pop.dist_v > 0 ? std::sqrt(pop.dist_v) * factor : 0.0;
                EXPECT_TRUE(rflp || pop.dist_matrix(j, i) == sd) << method << " " << a;
                EXPECT_EQ(pop.dist_matrix(i, i), 0.0);
              }
            ASSERT_EQ(ok, all_ok ? 1 : 0) << method;
          }
    }
  }
  EXPECT_GE(matrices, 3 * 7 * 2 * 2 - 12);  // nearly every method succeeds on this data
}

// Whole repeat numbers (summed in integers inside), sizes with decimals, sizes
// so far apart that squared sums leave the 32-bit range, sizes up to 1e200
// whose squares overflow (a missing allele still adds nothing, no NaN), and an
// all-missing haplotype: every cell as the naive double sum, bit for bit.
TEST(DistanceMatrix, MicrosatelliteRandomDataEqualsLocusOrderSums) {
  SampleBuilder b(MICROSAT);
  const int sizes[][2] = {{41, 13}, {23, 9}, {17, 11}, {9, 5}};  // haplotypes, loci
  for (unsigned kind = 0; kind < 4; ++kind)
    expect_naive_microsat_matrix(b, random_microsats(sizes[kind][0], sizes[kind][1], kind));
  expect_naive_microsat_matrix(b, {" ? ? ?", " 10 12 ?", " ? 15 9"});
}

TEST(AmovaMatrix, KimuraConventionalAndFailingMatrices) {
  SampleBuilder type(DNA);
  LogCapture log;
  ListInput in;
  for (const char* c : {"ACGTACGTAC", "GCGTACGTAC", "GCGTACGT??"}) in.add(c);
  in.s.DistanceMethodAMOVA = 0;
  in.s.GammaAValueAMOVA = 0.3;
  in.s.TaskNumber = 512 + 1;
  in.s.HaplAMOVA = 1;
  in.s.AllowedLevelOfMissingData = 0.2;  // 1 of 5 copies missing at the last sites
  ASSERT_EQ(in.run({2, 2, 1}, 2), 1);
  EXPECT_EQ(in.s.DistanceMethodAMOVA, 0);
  EXPECT_EQ(in.s.GammaAValueAMOVA, 0.3);
  EXPECT_EQ(in.s.TaskNumber, 513);
  ASSERT_EQ(in.distmat.tri.size(), 3);
  EXPECT_EQ(in.distmat.size, 3);
  // K2P over 10 sites with one transition: P = 0.1, Q = 0, times 10 sites.
  EXPECT_DOUBLE_EQ(in.distmat.tri(1, 0), 10 * 0.5 * std::log(1 / 0.8));
  EXPECT_DOUBLE_EQ(in.distmat.tri(2, 1), 0.0);  // "?" versus C: compared, no difference
  EXPECT_EQ(in.distmat.labels[2], my_string("h2"));
  // The report (the per-locus file: UsableLociReportAndFileAsTheStreamWritesThem).
  EXPECT_NE(log.text().find("\nNumber of usable loci for distance computation : 10"),
            std::string::npos)
      << log.text();
  EXPECT_NE(log.text().find("List of loci with too much missing data :NONE"), std::string::npos);
  // A conventional matrix of frequency data is constant and not reported; a
  // failing distance is error 136 with the settings put back.
  {
    SampleBuilder frequency(FREQUENCY);
    LogCapture quiet;
    ListInput conv;
    conv.add("x");
    conv.add("y");
    conv.s.ComputeConventionalFST = 1;
    conv.s.TaskNumber = 1024;
    ASSERT_EQ(conv.run({1, 1}, 0), 1);
    EXPECT_TRUE(conv.distmat.tri.is_constant());
    EXPECT_EQ(quiet.text().find("Number of usable loci"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(conv.temp.path() / "MissDataPerLocus.txt"));
  }
  ListInput fail;
  fail.add("ACGT");
  fail.add("CATG");
  fail.s.TaskNumber = 7;
  ASSERT_EQ(fail.run({1, 1}, 1), 0);
  EXPECT_EQ(fail.s.TaskNumber, 7);
  EXPECT_EQ(fail.s.DistanceMethodAMOVA, 0);
  EXPECT_TRUE(log.has_numbered("ERROR", "Project::calc_dist_matrix()", 136)) << log.text();
}

// The pair-category table built from character classes against the category
// rule for all 65,536 ordered pairs and several missing-data characters ('?'
// and 'x' outside the alphabet; '-', 'N' and '0' inside it; NUL the first
// character of the other class), and named cells of the '?' table.
TEST(CategoryTable, EveryPairMatchesTheRule) {
  for (const char missing : {'?', '-', 'N', '0', '\0', 'x', static_cast<char>(0xFF)}) {
    const qnd_dist::CategoryTable table(missing);
    int mismatches = 0;
    for (int a = 0; a < 256; ++a)
      for (int b = 0; b < 256; ++b)
        mismatches += table(static_cast<char>(a), static_cast<char>(b)) !=
                      qnd_dist::site_category(static_cast<char>(a), static_cast<char>(b), missing);
    EXPECT_EQ(mismatches, 0) << "missing " << static_cast<int>(missing);
  }
  const qnd_dist::CategoryTable& t = qnd_dist::category_table_for('?');
  const std::pair<const char*, int> cells[] = {
      {"AG", qnd_dist::kTsAG},
      {"TC", qnd_dist::kTsCT},
      {"GT", qnd_dist::kTvGT},
      {"??", qnd_dist::kSkip},
      {"--", qnd_dist::kSameGap},
      {"CC", qnd_dist::kSameAcgt},
      {"xx", qnd_dist::kSameOther},
      {"xy", qnd_dist::kNotComparable},
      {"A?", qnd_dist::kNotComparable + qnd_dist::kSkipTamura}};  // left out by Tamura only
  for (const auto& [pair, category] : cells) EXPECT_EQ(t(pair[0], pair[1]), category) << pair;
  // With the gap as the missing-data character, a gap against a base is an
  // indel that every corrected distance leaves out.
  EXPECT_EQ(qnd_dist::category_table_for('-')('-', 'A'),
            qnd_dist::kIndel + qnd_dist::kSkipJC + qnd_dist::kSkipKimura + qnd_dist::kSkipTamura);
}

// 10,012 sites: locus numbers of five digits and missing-data levels 0, 1/7
// and 3/7 of seven copies; the report and MissDataPerLocus.txt as a stream
// writes them; a left-aligned log keeps its own formatting.
TEST(AmovaMatrix, UsableLociReportAndFileAsTheStreamWritesThem) {
  SampleBuilder type(DNA);
  LogCapture log;
  ListInput in;
  const size_t L = 10012;
  std::string a(L, 'A'), b(L, 'A');
  b[3] = 'G';
  for (size_t k = 9990; k < L; k += 3) a[k] = '?';
  b[10] = b[10011] = '?';
  in.add(a);
  in.add(b);
  in.s.TaskNumber = 1024;
  in.s.AllowedLevelOfMissingData = 0.5;
  ASSERT_EQ(in.run({3, 4}, 0), 1);
  std::ostringstream expected_file;
  expected_file << "Locus#\tFreq. missing data\n";
  std::vector<int> usable, unusable;
  for (size_t k = 0; k < L; ++k) {
    const double missing = (a[k] == '?' ? 3.0 : 0.0) + (b[k] == '?' ? 4.0 : 0.0);
    expected_file << k + 1 << '\t' << missing / 7.0 << '\n';
    (missing / 7.0 <= 0.5 ? usable : unusable).push_back(static_cast<int>(k) + 1);
  }
  std::ostringstream file;
  file << std::ifstream(in.temp.path() / "MissDataPerLocus.txt").rdbuf();
  EXPECT_EQ(file.str(), expected_file.str());
  EXPECT_FALSE(std::filesystem::exists("MissDataPerLocus.txt"));  // only in the result directory
  ASSERT_EQ(unusable.size(), 2u);
  EXPECT_NE(log.text().find("List of usable loci :\n" + stream_list(usable) + "\n\n"),
            std::string::npos);
  EXPECT_NE(log.text().find("too much missing data :" + stream_list(unusable) + "\n"),
            std::string::npos);
  LogCapture left;
  *_AOS_ << std::left;
  in.list.flush();
  in.add("ACGTA");
  in.add("A?GTT");
  in.s.AllowedLevelOfMissingData = 0.0;
  ASSERT_EQ(in.run({1, 1}, 0), 1);
  *_AOS_ << std::right;
  EXPECT_EQ(in.distmat.tri(1, 0), 1.0);  // the unusable site left out
  EXPECT_NE(left.text().find("List of usable loci :\n1   , 3   , 4   , 5   , "), std::string::npos)
      << left.text();
  EXPECT_NE(left.text().find("too much missing data :2   , "), std::string::npos) << left.text();
}
