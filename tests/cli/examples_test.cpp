// End-to-end runs of every example project of examples/ with the bundled
// ssdefs.txt and qnd_run.qns, each in a temporary copy: one header and one value
// line of equal width, finite numbers only, a successful log, and for every
// example a few statistics recomputed here from the data written in the file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "cli/temp_dir.h"

namespace {

using qnd_test::read_file;
using qnd_test::TempDir;

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::size_t from = 0;
  for (std::size_t at = text.find(separator); at != std::string::npos;
       at = text.find(separator, from)) {
    parts.push_back(text.substr(from, at - from));
    from = at + 1;
  }
  if (from < text.size()) parts.push_back(text.substr(from));
  return parts;
}

// The output of one example run: its lines, and each column name with its value.
struct ExampleRun {
  std::vector<std::string> lines;
  std::vector<std::string> names;
  std::vector<std::string> values;
  std::string log;

  double value(const std::string& name) const {
    const auto at = std::find(names.begin(), names.end(), name);
    if (at == names.end()) {
      ADD_FAILURE() << "no column " << name;
      return NAN;
    }
    return std::strtod(values[static_cast<std::size_t>(at - names.begin())].c_str(), nullptr);
  }
};

// Copies examples/<name>.qnp with the bundled definition and settings files
// into a fresh directory and runs it there with a new output file and a header.
// A given edit rewrites the project's text first.
ExampleRun run_example(const std::string& name,
                       const std::function<std::string(const std::string&)>& edit = nullptr) {
  TempDir dir;
  const std::string examples = QND_EXAMPLES;
  for (const std::string& file :
       {name + ".qnp", std::string("ssdefs.txt"), std::string("qnd_run.qns")})
    std::filesystem::copy_file(examples + "/" + file, dir.file(file));
  if (edit) {
    const std::string text = edit(read_file(dir.file(name + ".qnp")));
    std::ofstream(dir.file(name + ".qnp"), std::ios::trunc) << text;
  }
  const std::string command = "cd '" + dir.path().string() + "' && '" + QND_EXE + "' " + name +
                              ".qnp out.txt 0 1 run_silent > /dev/null 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0);
  ExampleRun run;
  run.lines = split(read_file(dir.file("out.txt")), '\n');
  if (run.lines.size() == 2) {
    run.names = split(run.lines[0], '\t');
    run.values = split(run.lines[1], '\t');
  }
  run.log = read_file(dir.file(name + ".res/Quendris_log.txt"));
  return run;
}

std::vector<std::string> example_names() {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(QND_EXAMPLES))
    if (entry.path().extension() == ".qnp") names.push_back(entry.path().stem().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Gene diversity n/(n-1) (1 - sum p^2) of a list of counts.
double gene_diversity(const std::vector<double>& counts) {
  double n = 0.0, sum_sq = 0.0;
  for (const double c : counts) n += c;
  for (const double c : counts) sum_sq += (c / n) * (c / n);
  return n / (n - 1.0) * (1.0 - sum_sq);
}

// One sample as distinct gene copies with their counts.
using Sample = std::vector<std::pair<std::string, double>>;

// Number of positions at which two equally long texts differ.
double differences(const std::string& a, const std::string& b) {
  double d = 0.0;
  for (std::size_t i = 0; i < a.size(); ++i) d += a[i] != b[i] ? 1.0 : 0.0;
  return d;
}

// Different haplotypes are at distance 1 (frequencies alone).
double zero_one(const std::string& a, const std::string& b) { return a == b ? 0.0 : 1.0; }

// FST between two samples from an analysis of molecular variance with two
// populations: sums of squared distances
// within and between the samples over unordered pairs of gene copies.
template <typename Distance>
double amova_pair_fst(const Sample& x, const Sample& y, Distance distance) {
  auto cross = [&](const Sample& a, const Sample& b, bool same) {
    double sum = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i)
      for (std::size_t j = same ? i + 1 : 0; j < b.size(); ++j)
        sum += a[i].second * b[j].second * distance(a[i].first, b[j].first);
    return sum;
  };
  auto size = [](const Sample& s) {
    double n = 0.0;
    for (const auto& h : s) n += h.second;
    return n;
  };
  const double n1 = size(x), n2 = size(y), n = n1 + n2;
  const double ssd_1 = cross(x, x, true), ssd_2 = cross(y, y, true);
  const double ssd_within = ssd_1 / n1 + ssd_2 / n2;
  const double ssd_among = (ssd_1 + ssd_2 + cross(x, y, false)) / n - ssd_within;
  const double msd_within = ssd_within / (n - 2.0);
  const double n_coef = n - (n1 * n1 + n2 * n2) / n;
  const double sigma_a = (ssd_among - msd_within) / n_coef;
  return sigma_a / (sigma_a + msd_within);
}

constexpr double kPrinted = 5e-6;  // six significant digits of the output

TEST(ExampleProjects, EveryExampleGivesOneHeaderAndOneValueLineOfFiniteNumbers) {
  const std::vector<std::string> names = example_names();
  ASSERT_GE(names.size(), 6u);
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const ExampleRun run = run_example(name);
    ASSERT_EQ(run.lines.size(), 2u);
    EXPECT_EQ(run.lines[0].back(), '\t');
    EXPECT_EQ(run.names.size(), run.values.size());
    EXPECT_GT(run.names.size(), 5u);
    int non_zero = 0;
    for (const std::string& v : run.values) {
      char* end = nullptr;
      const double x = std::strtod(v.c_str(), &end);
      EXPECT_TRUE(!v.empty() && *end == '\0') << "not a number: '" << v << "'";
      EXPECT_TRUE(std::isfinite(x)) << v;
      non_zero += x != 0.0 ? 1 : 0;
    }
    EXPECT_GT(non_zero, static_cast<int>(run.values.size()) / 2);
    EXPECT_NE(run.log.find("Successful run of"), std::string::npos);
    EXPECT_EQ(run.log.find("[ERROR"), std::string::npos);
  }
}

// North_1 holds h1 x3 and h2 x4, which differ at one site.
TEST(ExampleProjects, DnaDemoMatchesCountsOfItsFirstSample) {
  const ExampleRun run = run_example("demo");
  EXPECT_DOUBLE_EQ(run.value("K_1"), 2.0);
  EXPECT_NEAR(run.value("H_1"), gene_diversity({3, 4}), kPrinted);
  EXPECT_DOUBLE_EQ(run.value("S_1"), 1.0);
  EXPECT_NEAR(run.value("Pi_1"), 3.0 * 4.0 * 1.0 / 21.0, kPrinted);
}

TEST(ExampleProjects, RflpSitesAndDiversities) {
  const ExampleRun run = run_example("rflp");
  // Lake_A: r1 x4, r2 x3 (site 11 lost), r3 x1 (site 1 lost).
  EXPECT_DOUBLE_EQ(run.value("K_1"), 3.0);
  EXPECT_NEAR(run.value("H_1"), gene_diversity({4, 3, 1}), kPrinted);
  EXPECT_DOUBLE_EQ(run.value("S_1"), 2.0);
  // Pairs differ at r1-r2: 1, r1-r3: 1, r2-r3: 2 sites, over 8*7/2 pairs.
  EXPECT_NEAR(run.value("Pi_1"), (4 * 3 * 1 + 4 * 1 * 1 + 3 * 1 * 2) / 28.0, kPrinted);
  // Lake_D: r4 and r5 differ at site 9; the site left unscored in one copy of
  // five (20% missing) is not used, so r7 adds no segregating site.
  EXPECT_DOUBLE_EQ(run.value("S_4"), 1.0);
  // Groups: Lake_A + Lake_B pooled hold r1 x7, r2 x5, r3 x1, r4 x1.
  EXPECT_DOUBLE_EQ(run.value("gr_K_1"), 4.0);
  EXPECT_NEAR(run.value("gr_H_1"), gene_diversity({7, 5, 1, 1}), kPrinted);
}

TEST(ExampleProjects, MicrosatLocusMeansOfDiploidGenotypes) {
  const ExampleRun run = run_example("microsat");
  // High_1, gene copies per locus: 12 x4, 13 x3, 14 x1 / 20 x4, 21 x3, 23 x1 /
  // 8 x6, 9 x2. Unknown phase: K and H are means over the three loci.
  EXPECT_NEAR(run.value("K_1"), (3.0 + 3.0 + 2.0) / 3.0, kPrinted);
  const double h = (2.0 * gene_diversity({4, 3, 1}) + gene_diversity({6, 2})) / 3.0;
  EXPECT_NEAR(run.value("H_1"), h, kPrinted);
  // Ranges 2, 3, 1; Garza-Williamson k/(r+1): 3/3, 3/4, 2/2.
  EXPECT_NEAR(run.value("R_1"), 2.0, kPrinted);
  EXPECT_NEAR(run.value("GW_1"), (1.0 + 0.75 + 1.0) / 3.0, kPrinted);
}

TEST(ExampleProjects, StandardTypesAndConventionalFst) {
  const ExampleRun run = run_example("standard");
  EXPECT_DOUBLE_EQ(run.value("K_1"), 3.0);
  EXPECT_NEAR(run.value("H_1"), gene_diversity({5, 3, 2}), kPrinted);
  const double mean_h = (gene_diversity({5, 3, 2}) + gene_diversity({2, 4, 2}) +
                         gene_diversity({4, 3, 2}) + gene_diversity({3, 2, 1, 1})) /
                        4.0;
  EXPECT_NEAR(run.value("mean_H"), mean_h, kPrinted);
  // Without molecular information types differ or not: conventional FST,
  // the same with or without the group level.
  const Sample farm_1 = {{"st1", 5}, {"st2", 3}, {"st3", 2}};
  const Sample farm_2 = {{"st1", 2}, {"st2", 4}, {"st4", 2}};
  EXPECT_NEAR(run.value("FST_2_1"), amova_pair_fst(farm_1, farm_2, zero_one), kPrinted);
}

TEST(ExampleProjects, FrequencyTableRoundedToCounts) {
  const ExampleRun run = run_example("frequency");
  // Mountain_1: 0.45, 0.35, 0.20 of 20 copies are 9, 7 and 4.
  EXPECT_DOUBLE_EQ(run.value("K_1"), 3.0);
  EXPECT_NEAR(run.value("H_1"), gene_diversity({9, 7, 4}), kPrinted);
  // Coast_1: 0.2, 0.4, 0.28, 0.12 of 25 are 5, 10, 7 and 3.
  EXPECT_DOUBLE_EQ(run.value("K_3"), 4.0);
  EXPECT_NEAR(run.value("H_3"), gene_diversity({5, 10, 7, 3}), kPrinted);
  const Sample mountain_1 = {{"R1b", 9}, {"I2", 7}, {"G2a", 4}};
  const Sample mountain_2 = {{"R1b", 6}, {"I2", 8}, {"J2", 2}};
  EXPECT_NEAR(run.value("FST_2_1"), amova_pair_fst(mountain_1, mountain_2, zero_one), kPrinted);
  // The mountain group pools R1b 15, I2 15, G2a 4, J2 2: haplogroups stay
  // apart by name.
  EXPECT_DOUBLE_EQ(run.value("gr_K_1"), 4.0);
  EXPECT_NEAR(run.value("gr_H_1"), gene_diversity({15, 15, 4, 2}), kPrinted);
}

TEST(ExampleProjects, GenotypicDnaOfUnknownPhase) {
  const ExampleRun run = run_example("genotypic");
  // Meadow, 8 gene copies of 20 sites: site 5 T x6 / C x2, site 16 T x6 / A x2.
  // K and H are means over the 20 sites.
  EXPECT_NEAR(run.value("K_1"), 22.0 / 20.0, kPrinted);
  EXPECT_NEAR(run.value("H_1"), 2.0 * gene_diversity({6, 2}) / 20.0, kPrinted);
  // FST from the gene copies, distances = number of differing sites.
  const std::string ref = "ACGTTAGCCATGACGTTAGC";
  const std::string c5 = "ACGTCAGCCATGACGTTAGC";
  const std::string a16 = "ACGTTAGCCATGACGATAGC";
  const std::string c5_t9 = "ACGTCAGCTATGACGTTAGC";
  const Sample meadow = {{ref, 4}, {c5, 2}, {a16, 2}};
  const Sample hillside = {{c5, 5}, {c5_t9, 2}, {ref, 1}};
  EXPECT_NEAR(run.value("FST_2_1"), amova_pair_fst(meadow, hillside, differences), kPrinted);
}

// Tajima's D (1989) of n gene copies with S segregating sites and pi.
double tajima_d(double n, double S, double pi) {
  double a1 = 0.0, a2 = 0.0;
  for (int i = 1; i < n; ++i) {
    a1 += 1.0 / i;
    a2 += 1.0 / (static_cast<double>(i) * i);
  }
  const double b1 = (n + 1) / (3 * (n - 1)), b2 = 2 * (n * n + n + 3) / (9 * n * (n - 1));
  const double c1 = b1 - 1 / a1, c2 = b2 - (n + 2) / (a1 * n) + a2 / (a1 * a1);
  const double e1 = c1 / a1, e2 = c2 / (a1 * a1 + a2);
  return (pi - S / a1) / std::sqrt(e1 * S + e2 * S * (S - 1));
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

TEST(ExampleProjects, GenotypicSegregatingSitesDoNotNeedThePhase) {
  // Segregating sites counted by hand from the gene copies. Meadow: site 5
  // (T/C) and 16 (T/A); Hillside: 5 and 9; Riverbank: 1 (A/G) and 16. Sites 5
  // and 16 are shared, 9 and 1 are private; the one group holds all four.
  const double pi_meadow = (4 * 2 * 1 + 4 * 2 * 1 + 2 * 2 * 2) / 28.0;  // pairs of 8 copies
  const std::map<std::string, double> by_hand = {
      {"S_1", 2}, {"S_2", 2}, {"S_3", 2}, {"prS_1", 0}, {"prS_2", 1}, {"prS_3", 1},
      {"gr_S_1", 4}, {"Pi_1", pi_meadow}, {"D_1", tajima_d(8, 2, pi_meadow)}};
  // The same gene copies with their phase known, and written as haploid data
  // (each individual's two lines become two gene copies of their own).
  const auto known_phase = [](const std::string& text) {
    return replaced(text, "  GameticPhase=0", "  GameticPhase=1");
  };
  const auto haploid = [](const std::string& text) {
    const std::regex individual(R"((\w+)( +)(\d+)( +)([ACGT]+)([^\n]*)\n +([ACGT]+)\n)");
    return std::regex_replace(replaced(text, "GenotypicData=1", "GenotypicData=0"), individual,
                              "$1a$2$3$4$5$6\n$1b$2$3$4$7\n");
  };
  const ExampleRun unknown = run_example("genotypic");
  for (const auto& [column, value] : by_hand) EXPECT_NEAR(unknown.value(column), value, 1e-5) << column;
  for (const ExampleRun& other : {run_example("genotypic", known_phase), run_example("genotypic", haploid)}) {
    for (const char* column : {"S_1", "S_2", "S_3", "prS_1", "prS_2", "prS_3", "gr_S_1", "gr_prS_1",
                               "D_1", "D_2", "D_3", "gr_D_1", "Pi_1", "Pi_2", "Pi_3"})
      EXPECT_EQ(unknown.value(column), other.value(column)) << column;
  }
}

}  // namespace
