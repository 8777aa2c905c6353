// AMOVA and pairwise comparisons: cases worked by hand or published (one per
// row of amova_cases.txt), the design chosen for each kind of data, and the
// permutation tests (the naive computation over expanded gene copies on random
// data: allele_count_sums_test.cpp).
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "../project/log_capture.h"
#include "amova_fixture.h"
#include "withinpop/random.h"
#include "withinpop/table.h"

using qnd_amova_test::AmovaInput;
using qnd_amova_test::SumStatScope;

namespace {

template <class Matrix>
std::vector<double> upper(const Matrix& m, int P, bool full = false) {
  std::vector<double> v;
  for (int i = 0; i < P; ++i)
    for (int j = full ? 0 : i + 1; j < P; ++j) v.push_back(m(i, j));
  return v;
}

// Row: names of the haplotypes, then "d2=AB:1,..." squared distances,
// "h:A3,B1" haploid and "d:AB,AA" diploid samples, "|" for a new group, and
// settings; after ":" the expected values.
void run_row(const qnd_table::Row& row) {
  const std::vector<std::string>& t = row.tokens;
  qnd_project_test::LogCapture log;
  SumStatScope scope(true);
  AmovaInput in(t.at(0));
  size_t colon = 1;
  while (colon < t.size() && t[colon] != ":") ++colon;
  int geno = -1;
  for (size_t i = 1; i < colon; ++i) {
    const std::string& x = t[i];
    const size_t eq = x.find('=');
    const std::string k = x.substr(0, eq), v = eq == std::string::npos ? "" : x.substr(eq + 1);
    if (x == "|") {
      in.group();
    } else if (k == "d2") {
      std::istringstream pairs(v);
      for (std::string p; std::getline(pairs, p, ',');)
        in.set_d2(p[0], p[1], std::stod(p.substr(3)));
    } else if (x.size() > 1 && x[1] == ':') {  // "h:" or "d:"
      std::vector<std::string> items;
      std::vector<std::pair<char, int>> entries;
      std::istringstream list_in(x.substr(2));
      for (std::string e; std::getline(list_in, e, ',');) items.push_back(e);
      for (const std::string& e : items) entries.push_back({e[0], std::atoi(e.c_str() + 1)});
      x[0] == 'h' ? in.haploid(entries) : in.diploid(items);
    } else if (k == "rows") {  // haplotypes beyond the matrix
      in.distmat.tri.resize(std::stoi(v));
    } else if (k == "const") {
      in.distmat.tri.set_constant(2, 0.0, 1.0);
    } else if (k == "sizes") {  // microsatellite contents of the haplotypes, in order
      std::istringstream items(v);
      int h = 0;
      for (std::string e; std::getline(items, e, ',');) in.list[h++]->content = " " + e;
    } else {
      const int n = std::stoi(v);
      settings& s = in.s;
      const std::map<std::string, int*> ints = {{"geno", &geno},
                                                {"ind", &s.IncludeIndividualLevel},
                                                {"conv", &s.ComputeConventionalFST},
                                                {"rec", &s.RecessiveAllelesEM},
                                                {"task", &s.TaskNumber},
                                                {"pw", &s.ComputePairwiseFST},
                                                {"dmu", &s.ComputeDeltaMuSqr},
                                                {"perm", &s.NumPermutationsAMOVA},
                                                {"fperm", &s.NumPermutationsFST},
                                                {"test", &s.TestSignificancePairewiseFST}};
      if (ints.count(k)) *ints.at(k) = n;
      if (k == "gfst") SumStat.GLOBAL_FSTAT = n;
      if (k == "keys") SumStat.PAIRWISE_FST = SumStat.PAIRWISE_PI = SumStat.PAIRWISE_DMUSQR = n;
      if (k == "seed") {
        int seed = n;
        ran3(&seed);
      }
    }
  }
  if (geno >= 0) in.genotypic(geno == 1);
  if (geno == -2)
    for (Population* p : in.samples.pops) p->profile.GenotypicData = 0;
  auto a = in.run();
  const amova_results& r = in.results;
  const int P = in.samples.size();
  // derived values: the components add up to the total, FIS is the ratio of
  // the lowest two, the flags of the record, the p-values of the tests
  const double sum = a->sigma2T - a->sigma2a - a->sigma2b - a->sigma2c - a->sigma2d;
  const double fis = a->FIS - a->sigma2c / (a->sigma2c + a->sigma2d);
  const int choose = a->choose_design(), ntests = static_cast<int>(r.tests.size());
  const std::vector<bool> has = {SumStat.hasFIS, SumStat.hasFST, SumStat.hasFCT, SumStat.hasFSC,
                                 SumStat.hasFIT};
  std::vector<double> pvalues, components, perms;  // components: the letter of Va..Vd as 0..3
  for (const AmovaTest& x : r.tests) {
    pvalues.push_back(x.p_value);
    components.push_back(x.component.at(1) - 'a');
    perms.push_back(x.permutations);
  }
  const std::vector<double> pair_fst = upper(r.pair_FST, P), pair_s2a = upper(r.pair_sigma2a, P),
                            pair_fst_p = upper(r.pair_FST_p, P),
                            pair_pi = upper(r.pair_pi, P, true),
                            pair_pi_p = upper(r.pair_pi_p, P, false);
  qnd_table::Fields f;
  qnd_table::add_fields(
      f,
      "design number choose success sigma2T rsigma2T sum fis n n1 n2 has ntests pairFST pairS2a "
      "pairFSTp pairPi pairPip ssPairFST ssPairPI ssPairDMU pvalues components perms testflag pairwise "
      "s2a s2b s2c "
      "s2d FIS FST FCT FSC FIT rFST rFCT ssFST ssFCT",
      a->design, r.design_number, choose, r.success, a->sigma2T, r.sigma2_T, sum, fis, a->n,
      a->n_prime, a->n_second, has, ntests, pair_fst, pair_s2a, pair_fst_p, pair_pi, pair_pi_p,
      SumStat.pairFST, SumStat.pairPI, SumStat.pairDMUSQ, pvalues, components, perms,
      in.s.TestSignificancePairewiseFST, r.pairwise_done, a->sigma2a, a->sigma2b, a->sigma2c,
      a->sigma2d, a->FIS, a->FST, a->FCT, a->FSC, a->FIT, r.FST, r.FCT, SumStat.FST, SumStat.FCT);
  qnd_table::expect_fields(t, colon + 1, f);
  if (!row.log.empty()) {
    std::istringstream parts(row.log);  // kind@context@number
    std::string kind, context, number;
    std::getline(parts, kind, '@');
    std::getline(parts, context, '@');
    std::getline(parts, number);
    EXPECT_TRUE(log.has_numbered(kind, context, std::stoi(number))) << log.text();
  }
}

}  // namespace

TEST(AmovaCases, EveryRow) {
  qnd_table::each_row("betweenpop/amova_cases.txt", 30u, run_row);
}

// Batches: rows of amova_cases.txt; no permutation, no batch.
TEST(AmovaPermutations, NullDistributionsAndReport) {
  int k = 0, m = 0;
  Amova::permutation_batches(0, k, m);
  EXPECT_EQ(m, 0);
  std::vector<AmovaTest> runs;
  for (int twice = 0; twice < 2; ++twice) {
    int seed = -4711;
    ran3(&seed);
    AmovaInput in("ABC");
    in.set_d2('A', 'B', 1);
    in.set_d2('A', 'C', 2);
    in.set_d2('B', 'C', 3);
    in.s.NumPermutationsAMOVA = 100;
    in.haploid({{'A', 3}, {'B', 2}});  // as a row of amova_cases.txt
    in.haploid({{'A', 1}, {'C', 3}, {'B', 1}});
    const std::time_t now = std::time(nullptr);
    auto a = in.run();
    // "dd/mm/yyyy at hh:mm:ss)": the real century, not a fixed "19"
    const int year = std::localtime(&now)->tm_year + 1900;
    EXPECT_NE(a->time_text.find("/" + std::to_string(year) + " at "), std::string::npos);
    EXPECT_EQ(a->time_text.back(), ')');
    ASSERT_EQ(in.results.tests.size(), 1u);
    runs.push_back(in.results.tests[0]);
  }
  const AmovaTest& t = runs[0];
  EXPECT_EQ(t.null_distribution.size(), 110u);
  EXPECT_TRUE(std::is_sorted(t.null_distribution.begin(), t.null_distribution.end()));
  EXPECT_NEAR(t.p_value, double(t.successes + t.equal) / 110, 1e-15);
  EXPECT_EQ(t.null_distribution, runs[1].null_distribution);  // same seed, same result
}
