// Distances between two haplotypes: nucleotide pair classes, the DNA and RFLP
// distances of worked and published cases with their diagnostics (one per
// row of distance_cases.txt), the class of a base against every ambiguity
// code, and the Tamura-Nei variance by the delta method.
#include "betweenpop/distances.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>
#include <string>

#include "globals.h"
#include "settings/settings.h"
#include "withinpop/log_capture.h"
#include "withinpop/sample_builder.h"
#include "withinpop/table.h"

namespace {

using Dist = int (PopulDNA::*)(std::string_view, std::string_view);
const std::map<std::string, Dist> kDna = {
    {"diff", &PopulDNA::diff_dist},     {"jk", &PopulDNA::jk_dist},
    {"k2p", &PopulDNA::kim2p_dist},     {"p", &PopulDNA::p_dist},
    {"tajnei", &PopulDNA::tajnei_dist}, {"tamura", &PopulDNA::tamura_dist},
    {"tamnei", &PopulDNA::tamnei_dist}};

// Rows: "define NAME content"; "name i text"; "label TYPE method text"; "pair a b : class=n";
// "METHOD s1 s2 [more contents of the sample] [settings] : fields"; settings:
// gamma wts wtv wdel usable method scale allowed (then the usable mask) sep=nul.
void run_row(const qnd_table::Row& row, std::map<std::string, std::string>& names) {
  const std::vector<std::string>& t = row.tokens;
  if (t[0] == "define") {
    names[t[1]] = t[2];
    return;
  }
  LogCapture log;
  if (t[0] == "name" || t[0] == "label") {  // '_' stands for a blank
    std::string want = t.back();
    for (char& c : want) c = c == '_' ? ' ' : c;
    fill_distance_names();
    EXPECT_EQ(t[0] == "name" ? DistanceNames[std::stoi(t[1])]
                             : qnd_dist::distance_label(type_named(t[1]), std::stoi(t[2])),
              want);
    return;
  }
  if (t[0] == "pair") {
    const int c = PopulDNA::compare_nucleotides(t[1][0], t[2][0]);
    qnd_table::expect_fields(t, 4, {{"class", [c] { return std::vector<double>{1.0 * c}; }}});
    return;
  }
  size_t colon = 1;
  while (colon < t.size() && t[colon] != ":") ++colon;
  std::vector<std::string> contents;
  std::map<std::string, std::string> set;
  for (size_t i = 1; i < colon; ++i) {
    const size_t eq = t[i].find('=');
    if (eq != std::string::npos)
      set[t[i].substr(0, eq)] = t[i].substr(eq + 1);
    else
      contents.push_back(names.count(t[i]) ? names[t[i]] : t[i]);
  }
  // "matrix|mask|conv TYPE entries": the distance matrix of a sample, its
  // usable mask only, or its conventional matrix
  const bool matrix = t[0] == "matrix" || t[0] == "mask" || t[0] == "conv", rflp = t[0][0] == 'r';
  SampleBuilder b(matrix ? type_named(contents.at(0))
                  : rflp ? RFLP
                         : DNA,
                  set.count("sep") ? '\0' : ' ');
  if (matrix) contents.erase(contents.begin());
  const auto sample = b.sample(contents);
  Population& pop = *sample;
  if (set.count("method")) pop.dist_method = std::stoi(set["method"]);
  if (set.count("usable")) {
    pop.locus_usable.clear();
    for (double u : qnd_table::eval_list(set["usable"])) pop.locus_usable.push_back(u != 0);
  }
  if (set.count("allowed")) {
    pop.allowed_missing = qnd_table::eval(set["allowed"]);
    pop.evaluate_usable_mask();
  }
  if (!matrix && !rflp) static_cast<PopulDNA&>(pop).comp_nucl_freq();
  for (const auto& [key, value] : {std::pair<const char*, double*>{"gamma", &pop.gamma_a},
                                   {"wts", &pop.w_ts}, {"wtv", &pop.w_tv}, {"wdel", &pop.w_del}})
    if (set.count(key)) *value = qnd_table::eval(set[key]);
  settings s;
  int ok = -1;
  std::ostringstream report;
  if (t[0] == "matrix") ok = pop.compute_distance_matrix(&report, s, set.count("scale") > 0);
  if (t[0] == "conv") ok = pop.compute_dist_mat_for_conventional_FST();
  if (t[0] == "rdiff")
    ok = static_cast<PopulRFLP&>(pop).diff_no_weight(contents.at(0), contents.at(1));
  if (t[0] == "rp") ok = static_cast<PopulRFLP&>(pop).p_diff(contents.at(0), contents.at(1));
  if (kDna.count(t[0]))
    ok = (static_cast<PopulDNA&>(pop).*kDna.at(t[0]))(contents.at(0), contents.at(1));
  const int n = static_cast<int>(contents.size());
  auto cells = [&](const RectMat& m, bool lower) {
    std::vector<double> v;
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < i; ++j) v.push_back(lower ? m(i, j) : m(j, i));
    return v;
  };
  std::vector<double> conv;  // over the rows the conventional matrix holds
  for (int i = 0; i < std::min(n, pop.conventional_matrix.size()); ++i)
    for (int j = 0; j <= i; ++j) conv.push_back(pop.conventional_matrix(i, j));
  const int constant = pop.conventional_matrix.is_constant(), size = pop.conventional_matrix.size();
  const std::vector<double> freq(pop.nucl_freq, pop.nucl_freq + 4);
  const double parts = pop.dist_ts_part + pop.dist_tv_part - pop.dist_d;
  qnd_table::Fields f = {{"lower", [&] { return cells(pop.dist_matrix, true); }},
                         {"upper", [&] { return cells(pop.dist_matrix, false); }}};
  qnd_table::add_fields(f, "ok conv constant size largest usable usable_n num_loci missing", ok,
                        conv, constant, size, pop.largest_distance, pop.locus_usable,
                        pop.num_usable_loci, pop.num_loci, pop.missing_fraction);
  qnd_table::add_fields(f, "L ndiff freq parts d v P Q ratio gc", pop.dist_L, pop.dist_num_diff,
                        freq, parts, pop.dist_d, pop.dist_v, pop.dist_P, pop.dist_Q, pop.dist_ratio,
                        pop.gc_content);
  qnd_table::expect_fields(t, colon + 1, f);
  if (!row.log.empty()) {
    EXPECT_NE((log.text() + report.str()).find(row.log), std::string::npos) << log.text();
  }
}

}  // namespace

TEST(DistanceCases, EveryRow) {
  std::map<std::string, std::string> names;
  const auto rows = qnd_table::read_rows("betweenpop/distance_cases.txt");
  EXPECT_GE(rows.size(), 60u);
  for (const qnd_table::Row& row : rows) {
    SCOPED_TRACE("distance_cases.txt line " + std::to_string(row.line) + ": " + row.text);
    run_row(row, names);
  }
}

// A base against an ambiguity code: 0 when the code includes the base, 2 when
// every base of the code is a transversion of it, 4 otherwise, in both orders;
// a gap against a code is 3 (digits and '?': rows of distance_cases.txt).
TEST(CompareNucleotides, BaseAgainstCodeFollowsTheBaseSetRule) {
  const std::pair<char, std::string> codes[] = {
      {'R', "AG"},  {'Y', "CT"},  {'M', "AC"},  {'K', "GT"},  {'S', "CG"},  {'W', "AT"},
      {'H', "ACT"}, {'B', "CGT"}, {'V', "ACG"}, {'D', "AGT"}, {'N', "ACGT"}};
  const std::string transitions = "AGGACTTC";
  for (char x : std::string("ACGT"))
    for (const auto& [code, bases] : codes) {
      int expected = bases.find(x) != std::string::npos ? 0 : 2;
      for (char y : bases)
        if (expected && transitions.find(std::string{x, y}) % 2 == 0) expected = 4;
      EXPECT_EQ(PopulDNA::compare_nucleotides(x, code), expected) << x << code;
      EXPECT_EQ(PopulDNA::compare_nucleotides(code, x), expected) << code << x;
      EXPECT_EQ(PopulDNA::compare_nucleotides('-', code), 3) << code;
    }
}

// Tamura-Nei variance: the delta method by finite differences of the distance
// in P1 (A-G), P2 (C-T) and Q with multinomial covariances.
TEST(TamuraNei, VarianceIsTheDeltaMethodVariance) {
  const std::string a = "GTGTGTGTCCTTACGTACGTACGTACGTACGTACGTACGT",
                    b = "GCACACGTACGTTTGTACGTGTGTACGTACATACGTACGT";
  SampleBuilder build(DNA);
  const auto sample = build.sample({"ACGTACGTACGTACGTACGTACGTACGTACGTACGTACGT", a, b});
  auto& pop = static_cast<PopulDNA&>(*sample);
  pop.comp_nucl_freq();
  ASSERT_EQ(pop.tamnei_dist(a, b), 1);
  const double gA = pop.nucl_freq[0], gC = pop.nucl_freq[1], gG = pop.nucl_freq[2],
               gT = pop.nucl_freq[3], gR = gA + gG, gY = gC + gT;
  const double k1 = 2 * gA * gG / gR, k2 = 2 * gC * gT / gY, c3 = 2 * gR * gY - k1 * gY - k2 * gR;
  auto tn = [&](const double* x) {
    return -k1 * std::log(1 - x[0] / k1 - x[2] / (2 * gR)) -
           k2 * std::log(1 - x[1] / k2 - x[2] / (2 * gY)) - c3 * std::log(1 - x[2] / (2 * gR * gY));
  };
  double x[3] = {0, 0, 0};
  for (size_t i = 0; i < a.size(); ++i) {
    const std::string pair{a[i], b[i]};
    if (a[i] != b[i])
      x[pair == "AG" || pair == "GA" ? 0 : pair == "CT" || pair == "TC" ? 1 : 2] += 1 / 40.0;
  }
  double s1 = 0, s2 = 0;
  for (int k = 0; k < 3; ++k) {
    double hi[3] = {x[0], x[1], x[2]}, lo[3] = {x[0], x[1], x[2]};
    hi[k] += 1e-6;
    lo[k] -= 1e-6;
    const double grad = (tn(hi) - tn(lo)) / 2e-6;
    s2 += grad * grad * x[k];
    s1 += grad * x[k];
  }
  EXPECT_NEAR(pop.dist_v, (s2 - s1 * s1) / 40, 1e-7);
  EXPECT_NEAR(pop.dist_d, tn(x), 1e-12);
}
