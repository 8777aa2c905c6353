// Linkage disequilibrium: cell measures, allele coding and the summary lists
// of hand-worked cases (linkage_cases.txt), and random samples against naive
// contingency tables counted haplotype by haplotype with their weights: the
// bit-set and pattern paths must give the values of the general count, with
// missing data, three alleles, counts of 10^9 and more than one 64-bit word.
#include "betweenpop/linkage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "globals.h"
#include "model/population.h"
#include "model/sample_builders.h"
#include "settings/settings.h"
#include "sumstat/sumstat.h"
#include "withinpop/log_capture.h"
#include "withinpop/sample_builder.h"
#include "withinpop/table.h"

using qnd_table::list;

namespace {

using Entries = std::vector<std::pair<std::string, long long>>;

struct Table {
  std::string rows, cols;  // alleles in order of first appearance
  std::vector<long long> cells, row_totals, col_totals;
  long long n = 0;
};

// Table of sites a and b: haplotypes in order, missing or absent at either site skipped.
Table naive_table(const Entries& e, size_t a, size_t b, char missing) {
  Table t;
  Entries kept;
  for (const auto& [seq, w] : e)
    if (w > 0 && a < seq.size() && b < seq.size() && seq[a] != missing && seq[b] != missing) {
      if (t.rows.find(seq[a]) == std::string::npos) t.rows += seq[a];
      if (t.cols.find(seq[b]) == std::string::npos) t.cols += seq[b];
      kept.emplace_back(std::string{seq[a], seq[b]}, w);
    }
  t.cells.assign(t.rows.size() * t.cols.size(), 0);
  t.row_totals.assign(t.rows.size(), 0);
  t.col_totals.assign(t.cols.size(), 0);
  for (const auto& [ab, w] : kept) {
    const size_t r = t.rows.find(ab[0]), c = t.cols.find(ab[1]);
    t.cells[r * t.cols.size() + c] += w;
    t.row_totals[r] += w;
    t.col_totals[c] += w;
    t.n += w;
  }
  return t;
}

void expect_table(const PopGenetics::LdWorkspace& ld, const Table& t) {
  EXPECT_EQ(std::tie(ld.rows, ld.cols, ld.n, ld.table, ld.row_totals, ld.col_totals),
            std::make_tuple(static_cast<int>(t.rows.size()), static_cast<int>(t.cols.size()), t.n,
                            t.cells, t.row_totals, t.col_totals));
}

// |D'| and r^2 of the last cell of a pair's table; 0 without two alleles at both.
std::pair<double, double> naive_pair(const Entries& e, size_t a, size_t b, char missing) {
  const Table t = naive_table(e, a, b, missing);
  if (t.rows.size() < 2 || t.cols.size() < 2) return {0.0, 0.0};
  const double n = static_cast<double>(t.n), p = t.row_totals.back() / n,
               q = t.col_totals.back() / n, d = t.cells.back() / n - p * q;
  const double dmax =
      d <= 0 ? std::min(p * q, (1 - p) * (1 - q)) : std::min(p * (1 - q), (1 - p) * q);
  return {std::fabs(d / dmax), d * d / (p * (1 - p) * q * (1 - q))};
}

using Lists = std::vector<std::vector<double>>;  // the eight lists in record order

Lists record_lists() {
  return {list(SumStat.meanDprime),  list(SumStat.meanR2),        list(SumStat.adjDprime),
          list(SumStat.adjR2),       list(SumStat.meanAdjDprime), list(SumStat.meanAdjR2),
          list(SumStat.flankDprime), list(SumStat.flankR2)};
}

// The lists of one unit: every pair of polymorphic sites, the adjacent ones
// and the flanking one.
Lists naive_lists(const Entries& e, char missing) {
  std::vector<size_t> poly;
  for (size_t site = 0; site < e.front().first.size(); ++site) {
    std::string seen;
    for (const auto& [seq, w] : e)
      if (w > 0 && seq[site] != missing && seen.find(seq[site]) == std::string::npos)
        seen += seq[site];
    if (seen.size() >= 2) poly.push_back(site);
  }
  if (poly.size() < 2) return {{0.0}, {0.0}, {}, {}, {0.0}, {0.0}, {0.0}, {0.0}};
  Lists l(8);
  double sum_d = 0, sum_r = 0, pairs = 0;
  for (size_t i = 1; i < poly.size(); ++i)
    for (size_t j = 0; j < i; ++j, ++pairs) {
      const auto [d, r] = naive_pair(e, poly[j], poly[i], missing);
      sum_d += d;
      sum_r += r;
      if (poly[i] - poly[j] == 1) l[2].push_back(d), l[3].push_back(r);
      if (j == 0 && i + 1 == poly.size()) l[6] = {d}, l[7] = {r};
    }
  l[0] = {sum_d / pairs};
  l[1] = {sum_r / pairs};
  for (int k : {2, 3})
    l[k + 2] = {l[k].empty() ? 0.0 : std::accumulate(l[k].begin(), l[k].end(), 0.0) / l[k].size()};
  return l;
}

bool TSumStat::*const kKeywords[] = {&TSumStat::MEAN_ALL_DPRIME, &TSumStat::MEAN_ALL_R2,
                                     &TSumStat::ALL_ADJ_DPRIME,  &TSumStat::ALL_ADJ_R2,
                                     &TSumStat::MEAN_ADJ_DPRIME, &TSumStat::MEAN_ADJ_R2,
                                     &TSumStat::FLANK_DPRIME,    &TSumStat::FLANK_R2};

void set_keywords(unsigned mask) {
  for (int k = 0; k < 8; ++k) SumStat.*kKeywords[k] = (mask >> k) & 1;
}

std::vector<const std::string*> pointers(const std::vector<std::string>& v) {
  std::vector<const std::string*> out;
  for (const std::string& s : v) out.push_back(&s);
  return out;
}

// Rows: "cell n_ij row col n : fields", "code TYPE contents... : fields" and
// "ld TYPE copies*content ... [| next unit] [keys=mask] [exact=1] : fields".
void run_row(const qnd_table::Row& row) {
  const std::vector<std::string>& t = row.tokens;
  LogCapture log;
  size_t colon = 1;
  while (colon < t.size() && t[colon] != ":") ++colon;
  qnd_table::Fields f;
  if (t[0] == "cell") {
    const linkage::CellMeasures m = linkage::cell_measures(std::stoll(t[1]), std::stoll(t[2]),
                                                           std::stoll(t[3]), std::stoll(t[4]));
    qnd_table::add_fields(f, "d dprime r2 chi2 dmax", m.d, m.dprime, m.r2, m.chi2, m.dmax_positive);
    qnd_table::expect_fields(t, colon + 1, f);
    return;
  }
  test_model::ProfileGlobalsGuard guard;
  ProfileSettings::DataType = type_named(t[1]);
  ProfileSettings::LocusSeparator = t[1] == "DNA" ? '\0' : ' ';
  std::vector<std::string> contents;
  std::vector<std::vector<std::pair<HaploDef*, int>>> units(1);
  Haplo_DB haplotypes;
  settings s;
  int permutations = 0;
  SumStat.clearValues();
  set_keywords(255);
  for (size_t i = 2; i < colon; ++i) {
    std::string x = t[i];
    for (char& c : x) c = c == '_' ? ' ' : c;
    const size_t star = x.find('*');
    if (x == "|") {
      units.emplace_back();
    } else if (x.rfind("keys=", 0) == 0) {
      set_keywords(static_cast<unsigned>(std::stoi(x.substr(5))));
    } else if (x == "sep=nul") {
      ProfileSettings::LocusSeparator = '\0';
    } else if (x == "exact=1") {
      s.MakeExactTestLD = 1;
      permutations = 1000;
    } else if (t[0] == "code") {
      contents.push_back(x);
    } else {
      const std::string id = "h" + std::to_string(haplotypes.size() + 1);
      units.back().emplace_back(test_model::add_haplotype(haplotypes, id, x.substr(star + 1)),
                                std::stoi(x.substr(0, star)));
    }
  }
  PopGenetics::LdWorkspace ld;
  std::ostringstream out;
  if (t[0] == "code") {
    linkage::code_alleles(pointers(contents), ProfileSettings::DataType,
                          ProfileSettings::LocusSeparator, '?', ld);
  } else {
    for (const auto& unit : units) {
      Population p = test_model::haplotypic_sample("pop", unit);
      EXPECT_EQ(p.calc_all_gam_des(out, permutations, s), unit.empty() ? 0 : 1);
    }
  }
  std::vector<double> listed;  // n of the report lines "Pair (i, j): n = ..."
  const std::string report = out.str();
  for (size_t at = report.find("Pair ("); at != std::string::npos;
       at = report.find("Pair (", at + 1))
    listed.push_back(std::stod(report.substr(report.find("n = ", at) + 4)));
  qnd_table::add_fields(f, "poly position alleles codes pairs_listed", ld.poly_loci, ld.position,
                        ld.num_alleles, ld.codes, listed);
  const char* names[] = {"meanD",    "meanR2",    "adjD",   "adjR2",
                         "meanAdjD", "meanAdjR2", "flankD", "flankR2"};
  for (int k = 0; k < 8; ++k) f[names[k]] = [k] { return record_lists()[static_cast<size_t>(k)]; };
  qnd_table::expect_fields(t, colon + 1, f);
  if (!row.log.empty()) {
    EXPECT_NE(log.text().find(row.log) + out.str().find(row.log), 2 * std::string::npos)
        << log.text() << out.str();
  }
  set_keywords(0);
  SumStat.clearValues();
}

// Random sequences whose sites mostly repeat a few two-allele patterns (either
// way round), as sites on one genealogy do; some sites have three alleles or
// missing data.
std::vector<std::string> patterned_sequences(std::mt19937& gen, int haps, int sites) {
  std::vector<std::vector<bool>> pool(1 + gen() % 5);
  for (auto& p : pool)
    for (int h = 0; h < haps; ++h) p.push_back(gen() % 3 == 0);
  std::vector<std::string> seqs(static_cast<size_t>(haps),
                                std::string(static_cast<size_t>(sites), 'A'));
  const std::string bases = "ACGT";
  for (int s = 0; s < sites; ++s) {
    const size_t ia = gen() % 4, ib = (ia + 1 + gen() % 3) % 4;
    const char third = bases[(ia + 1) % 4 == ib ? (ib + 1) % 4 : (ia + 1) % 4];
    const unsigned kind = gen() % 8;
    const auto& p = pool[gen() % pool.size()];
    for (int h = 0; h < haps; ++h) {
      char c = p[static_cast<size_t>(h)] ? bases[ia] : bases[ib];
      if (kind == 0 && gen() % 4 == 0) c = third;
      if (kind == 1 && gen() % 7 == 0) c = '?';
      seqs[static_cast<size_t>(h)][static_cast<size_t>(s)] = c;
    }
  }
  return seqs;
}

}  // namespace

TEST(LinkageCases, EveryRow) {
  qnd_table::each_row("betweenpop/linkage_cases.txt", 25u, run_row);
}

// Small random samples (gaps, missing data, monomorphic sites) and patterned
// ones of up to 150 haplotypes with counts up to 10^9 under several keyword
// sets: the lists of calc_all_gam_des against the naive tables. The pattern
// table must serve most patterned units, and the weight planes stay small.
TEST(LinkageRandom, ListsMatchNaiveTables) {
  test_model::ProfileGlobalsGuard guard;
  ProfileSettings::DataType = DNA;
  ProfileSettings::LocusSeparator = '\0';
  const settings s;
  std::mt19937 gen(20240611);
  int table_units = 0;
  for (int round = 0; round < 44; ++round) {
    std::vector<std::string> seqs;
    if (round < 20) {
      seqs.resize(2 + gen() % 8, std::string());
      const size_t length = 1 + gen() % 12;
      for (std::string& q : seqs)
        for (size_t site = 0; site < length; ++site)
          q += gen() % 10 < 6 ? 'A' : "ACGT-?"[gen() % 6];
    } else {
      seqs = patterned_sequences(gen, 2 + static_cast<int>(gen() % 149),
                                 20 + static_cast<int>(gen() % 40));
    }
    std::vector<int> counts;
    for (size_t h = 0; h < seqs.size(); ++h) counts.push_back(1 + static_cast<int>(gen() % 6));
    if (round % 3 == 0 && round >= 20)
      for (int twice = 0; twice < 2; ++twice) counts[gen() % counts.size()] = 1000000000;
    Haplo_DB haplotypes;
    std::vector<std::pair<HaploDef*, int>> unit;
    Entries entries;
    for (size_t h = 0; h < seqs.size(); ++h) {
      unit.emplace_back(test_model::add_haplotype(haplotypes, "h" + std::to_string(h), seqs[h]),
                        counts[h]);
      entries.emplace_back(seqs[h], counts[h]);
    }
    const Lists naive = naive_lists(entries, '?');
    // everything; each mean over all pairs alone; an adjacent mean and a flanking value
    for (unsigned mask : {255u, 2u, 1u, 96u}) {
      SCOPED_TRACE("round " + std::to_string(round) + " keywords " + std::to_string(mask));
      SumStat.clearValues();
      set_keywords(mask);
      Population p = test_model::haplotypic_sample("pop", unit);
      std::ostringstream out;
      EXPECT_EQ(p.calc_all_gam_des(out, 0, s), 1);
      Lists expected = naive;
      const bool on[8] = {(mask & 1) != 0,  (mask & 2) != 0,  (mask & 20) != 0, (mask & 40) != 0,
                          (mask & 16) != 0, (mask & 32) != 0, (mask & 64) != 0, (mask & 128) != 0};
      const Lists got = record_lists();
      for (size_t k = 0; k < 8; ++k) {
        if (!on[k]) expected[k].clear();
        ASSERT_EQ(got[k].size(), expected[k].size()) << "list " << k;
        for (size_t i = 0; i < got[k].size(); ++i)
          EXPECT_NEAR(got[k][i], expected[k][i], 1e-12) << "list " << k << " entry " << i;
      }
    }
    if (round < 20) continue;
    PopGenetics packed;
    packed.ld.weights = counts;
    linkage::code_alleles(pointers(seqs), DNA, '\0', '?', packed.ld);
    linkage::pack_biallelic_loci(packed.ld);
    long long with_pattern = 0;
    for (int q : packed.ld.pattern) with_pattern += q >= 0;
    const long long patterns = static_cast<long long>(packed.ld.pattern_weight.size());
    table_units += patterns > 0 && 2 * patterns * patterns <= with_pattern * with_pattern;
    EXPECT_LE(static_cast<long long>(packed.ld.bit_words) * packed.ld.weight_planes,
              31LL * ((static_cast<long long>(seqs.size()) + 63) / 64));
    // Tables of polymorphic pairs (rows and columns in the order of the first
    // typed haplotype); coding only candidate sites (the polymorphic ones and
    // some others) codes as coding every site.
    const size_t k = packed.ld.poly_loci.size();
    for (int pair = 0; pair < 6 && k >= 2; ++pair) {
      const size_t i = gen() % k, j = (i + 1 + gen() % (k - 1)) % k;
      const int a = packed.ld.poly_loci[i], b = packed.ld.poly_loci[j];
      ASSERT_EQ(packed.make_all_table({2, a, b}), 1);
      expect_table(packed.ld,
                   naive_table(entries, static_cast<size_t>(a), static_cast<size_t>(b), '?'));
    }
    std::vector<int> candidates;
    for (int site = 0; site < static_cast<int>(seqs[0].size()); ++site)
      if (packed.ld.position[static_cast<size_t>(site)] >= 0 || site % 4 == 0)
        candidates.push_back(site);
    PopGenetics::LdWorkspace some;
    linkage::code_alleles(pointers(seqs), DNA, '\0', '?', some, &candidates);
    EXPECT_EQ(some.poly_loci, packed.ld.poly_loci);
    EXPECT_EQ(some.position, packed.ld.position);
    EXPECT_EQ(some.num_alleles, packed.ld.num_alleles);
    EXPECT_EQ(some.codes, packed.ld.codes);
  }
  EXPECT_GT(table_units, 12);
  set_keywords(0);
  SumStat.clearValues();
}

// A locus with three alleles and one absent from a haplotype keep the general
// count (an absent locus as an invalid index: linkage_cases.txt); recoding
// drops the packing; a candidate beyond the sequences is left out.
TEST(LinkageTables, GeneralCountAndCandidates) {
  const std::vector<std::string> seqs = {"AAC", "GCT", "TC", "AAC"};
  PopGenetics p;
  p.ld.weights = {1, 2, 3, 4};
  linkage::code_alleles(pointers(seqs), DNA, '\0', '?', p.ld);
  linkage::pack_biallelic_loci(p.ld);
  ASSERT_EQ(p.make_all_table({2, 0, 1}), 1);
  expect_table(p.ld, naive_table({{"AAC", 1}, {"GCT", 2}, {"TC", 3}, {"AAC", 4}}, 0, 1, '?'));
  EXPECT_EQ(p.ld.packed, (std::vector<std::uint8_t>{0, 1, 0}));  // 3 alleles; absent
  const std::vector<std::string> two = {"AAC", "GCT"};
  linkage::code_alleles(pointers(two), DNA, '\0', '?', p.ld);
  EXPECT_EQ(p.ld.bit_words, 0);
  PopGenetics::LdWorkspace some;
  const std::vector<int> only = {1, 7};  // 7 lies beyond the sequences
  linkage::code_alleles(pointers(two), DNA, '\0', '?', some, &only);
  EXPECT_EQ(some.poly_loci, (std::vector<int>{1}));
  EXPECT_EQ(some.position, (std::vector<int>{-1, 0, -1}));
}
