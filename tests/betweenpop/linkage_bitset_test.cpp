// Linkage disequilibrium of two-allele loci counted from bit sets and from
// patterns shared by loci: every value reaching the summary lists must equal,
// bit for bit, the one of the general table counted haplotype by haplotype, with
// missing data, three alleles, counts above 1 and a count of 10^9, over more
// than one 64-bit word. Also: the order of a table's rows, loci that keep the
// general count, and coding only the candidate sites of a pass.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "betweenpop/linkage.h"
#include "globals.h"
#include "model/population.h"
#include "model/sample_builders.h"
#include "settings/settings.h"
#include "sumstat/sumstat.h"
#include "withinpop/log_capture.h"

namespace {

struct Table {
  int rows = 0, cols = 0;
  long long n = 0;
  std::vector<long long> cells, row_totals, col_totals;
  bool operator==(const Table& o) const {
    return rows == o.rows && cols == o.cols && n == o.n && cells == o.cells &&
           row_totals == o.row_totals && col_totals == o.col_totals;
  }
};

std::ostream& operator<<(std::ostream& out, const Table& t) {
  out << t.rows << "x" << t.cols << " n=" << t.n << " cells";
  for (long long c : t.cells) out << ' ' << c;
  return out;
}

Table table_of(const PopGenetics::LdWorkspace& ld) {
  return {ld.rows, ld.cols, ld.n, ld.table, ld.row_totals, ld.col_totals};
}

// Naive table of sites a and b: haplotypes in order, missing at either site
// skipped, rows and columns numbered by first appearance.
Table naive_table(const std::vector<std::string>& seqs, const std::vector<int>& weights, size_t a,
                  size_t b, char missing) {
  std::string row_alleles, col_alleles;
  Table t;
  std::vector<std::pair<std::pair<size_t, size_t>, int>> counted;
  for (size_t h = 0; h < seqs.size(); ++h) {
    const char x = seqs[h][a], y = seqs[h][b];
    if (x == missing || y == missing) continue;
    if (row_alleles.find(x) == std::string::npos) row_alleles += x;
    if (col_alleles.find(y) == std::string::npos) col_alleles += y;
    counted.push_back({{row_alleles.find(x), col_alleles.find(y)}, weights[h]});
  }
  t.rows = static_cast<int>(row_alleles.size());
  t.cols = static_cast<int>(col_alleles.size());
  t.cells.assign(row_alleles.size() * col_alleles.size(), 0);
  t.row_totals.assign(row_alleles.size(), 0);
  t.col_totals.assign(col_alleles.size(), 0);
  for (const auto& [cell, w] : counted) {
    t.cells[cell.first * col_alleles.size() + cell.second] += w;
    t.row_totals[cell.first] += w;
    t.col_totals[cell.second] += w;
    t.n += w;
  }
  return t;
}

std::vector<const std::string*> pointers(const std::vector<std::string>& v) {
  std::vector<const std::string*> p;
  for (const std::string& s : v) p.push_back(&s);
  return p;
}

// The eight lists as calc_all_gam_des must leave them for one unit, from the
// general table of every pair (no bit sets) in pair order.
struct Lists {
  std::vector<double> mean_d, mean_r, adj_d, adj_r, mean_adj_d, mean_adj_r, flank_d, flank_r;
  bool operator==(const Lists& o) const {
    return mean_d == o.mean_d && mean_r == o.mean_r && adj_d == o.adj_d && adj_r == o.adj_r &&
           mean_adj_d == o.mean_adj_d && mean_adj_r == o.mean_adj_r && flank_d == o.flank_d &&
           flank_r == o.flank_r;
  }
};

std::vector<double> values(const MY_TArrayAsVector<double>& list) {
  return std::vector<double>(list.begin(), list.end());
}

Lists record_lists() {
  return {values(SumStat.meanDprime),  values(SumStat.meanR2),        values(SumStat.adjDprime),
          values(SumStat.adjR2),       values(SumStat.meanAdjDprime), values(SumStat.meanAdjR2),
          values(SumStat.flankDprime), values(SumStat.flankR2)};
}

double mean_of(const std::vector<double>& v) {
  double sum = 0.0;
  for (double x : v) sum += x;
  return v.empty() ? 0.0 : sum / static_cast<double>(v.size());
}

Lists general_lists(const std::vector<std::string>& seqs, const std::vector<int>& counts) {
  PopGenetics g;
  g.ld.weights = counts;
  linkage::code_alleles(pointers(seqs), DNA, '\0', '?', g.ld);
  const std::vector<int> poly = g.ld.poly_loci;
  Lists l;
  double sum_d = 0.0, sum_r = 0.0;
  long long pairs = 0;
  for (size_t i = 1; i < poly.size(); ++i)
    for (size_t j = 0; j < i; ++j, ++pairs) {
      double d = 0.0, r = 0.0;
      if (g.make_all_table({2, poly[j], poly[i]}) && g.ld.rows >= 2 && g.ld.cols >= 2) {
        const linkage::CellMeasures m = linkage::cell_measures(
            g.ld.table.back(), g.ld.row_totals.back(), g.ld.col_totals.back(), g.ld.n);
        d = std::fabs(m.dprime);
        r = m.r2;
      }
      sum_d += d;
      sum_r += r;
      if (poly[i] - poly[j] == 1) {
        l.adj_d.push_back(d);
        l.adj_r.push_back(r);
      }
      if (j == 0 && i + 1 == poly.size()) {
        l.flank_d = {d};
        l.flank_r = {r};
      }
    }
  l.mean_d = {sum_d / static_cast<double>(pairs)};
  l.mean_r = {sum_r / static_cast<double>(pairs)};
  l.mean_adj_d = {mean_of(l.adj_d)};
  l.mean_adj_r = {mean_of(l.adj_r)};
  return l;
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
    const char a = bases[ia], b = bases[ib];
    const char third = bases[(ia + 1) % 4 == ib ? (ib + 1) % 4 : (ia + 1) % 4];
    const unsigned kind = gen() % 8;
    const auto& p = pool[gen() % pool.size()];
    for (int h = 0; h < haps; ++h) {
      char c = p[static_cast<size_t>(h)] ? a : b;
      if (kind == 0 && gen() % 4 == 0) c = third;
      if (kind == 1 && gen() % 7 == 0) c = '?';
      seqs[static_cast<size_t>(h)][static_cast<size_t>(s)] = c;
    }
  }
  return seqs;
}

}  // namespace

TEST(LdBitSets, EveryPathMatchesTheGeneralTable) {
  test_model::ProfileGlobalsGuard guard;
  ProfileSettings::DataType = DNA;
  ProfileSettings::LocusSeparator = '\0';
  const settings s;
  std::mt19937 gen(8128);
  // Keyword sets: everything; each mean over all pairs alone; no such mean.
  const std::vector<std::vector<bool TSumStat::*>> keyword_sets = {
      {&TSumStat::MEAN_ALL_DPRIME, &TSumStat::MEAN_ALL_R2, &TSumStat::ALL_ADJ_DPRIME,
       &TSumStat::ALL_ADJ_R2, &TSumStat::MEAN_ADJ_DPRIME, &TSumStat::MEAN_ADJ_R2,
       &TSumStat::FLANK_DPRIME, &TSumStat::FLANK_R2},
      {&TSumStat::MEAN_ALL_R2},
      {&TSumStat::MEAN_ALL_DPRIME},
      {&TSumStat::MEAN_ADJ_R2, &TSumStat::FLANK_DPRIME}};
  int table_units = 0;
  for (int round = 0; round < 24; ++round) {
    // Up to 150 haplotypes (three words); counts 1 to 4, and in every third
    // round two counts of 10^9 (a total beyond 2^31 copies).
    const int haps = 2 + static_cast<int>(gen() % 149);
    const std::vector<std::string> seqs =
        patterned_sequences(gen, haps, 20 + static_cast<int>(gen() % 40));
    std::vector<int> counts;
    for (int h = 0; h < haps; ++h) counts.push_back(1 + static_cast<int>(gen() % 4));
    if (round % 3 == 0)
      for (int twice = 0; twice < 2; ++twice) counts[gen() % counts.size()] = 1000000000;
    Haplo_DB list;
    std::vector<std::pair<HaploDef*, int>> entries;
    for (int h = 0; h < haps; ++h)
      entries.emplace_back(
          test_model::add_haplotype(list, "h" + std::to_string(h), seqs[static_cast<size_t>(h)]),
          counts[static_cast<size_t>(h)]);
    const Lists general = general_lists(seqs, counts);
    for (const auto& keywords : keyword_sets) {
      SumStat.clearValues();
      for (bool TSumStat::*k : keywords) SumStat.*k = true;
      Population p = test_model::haplotypic_sample("pop", entries);
      std::ostringstream out;
      EXPECT_EQ(p.calc_all_gam_des(out, 0, s), 1);
      // The general lists, with those of the keywords that are off left empty.
      Lists expected = general;
      const auto keep = [&](std::vector<double>& v, bool on) {
        if (!on) v.clear();
      };
      keep(expected.mean_d, SumStat.MEAN_ALL_DPRIME);
      keep(expected.mean_r, SumStat.MEAN_ALL_R2);
      keep(expected.adj_d, SumStat.ALL_ADJ_DPRIME || SumStat.MEAN_ADJ_DPRIME);
      keep(expected.adj_r, SumStat.ALL_ADJ_R2 || SumStat.MEAN_ADJ_R2);
      keep(expected.mean_adj_d, SumStat.MEAN_ADJ_DPRIME);
      keep(expected.mean_adj_r, SumStat.MEAN_ADJ_R2);
      keep(expected.flank_d, SumStat.FLANK_DPRIME);
      keep(expected.flank_r, SumStat.FLANK_R2);
      EXPECT_TRUE(record_lists() == expected) << "round " << round << ", " << haps << " haplotypes";
      for (bool TSumStat::*k : keywords) SumStat.*k = false;
    }
    // The pattern table serves units with many loci on few patterns.
    PopGenetics packed;
    packed.ld.weights = counts;
    linkage::code_alleles(pointers(seqs), DNA, '\0', '?', packed.ld);
    linkage::pack_biallelic_loci(packed.ld);
    long long with_pattern = 0;
    for (int q : packed.ld.pattern) with_pattern += q >= 0;
    const long long patterns = static_cast<long long>(packed.ld.pattern_weight.size());
    table_units += patterns > 0 && 2 * patterns * patterns <= with_pattern * with_pattern;
    // Slots follow the haplotypes whatever the counts: at most 31 weight planes
    // of one bit per haplotype.
    EXPECT_LE(static_cast<long long>(packed.ld.bit_words) * packed.ld.weight_planes,
              31LL * ((haps + 63) / 64));
  }
  EXPECT_GT(table_units, 12);
  SumStat.clearValues();
}

TEST(LdBitSets, FirstTypedHaplotypeFixesTheOrderEvenWhenItIsLate) {
  // Haplotypes 0 and 1 are missing at one locus each: the table order starts
  // with haplotype 2, whose alleles are G and T (allele 1 at both loci).
  const std::vector<std::string> seqs = {"A?", "?C", "GT", "AC", "GC", "AT"};
  const std::vector<int> weights = {3, 4, 2, 5, 1, 6};
  PopGenetics p;
  p.ld.weights = weights;
  linkage::code_alleles(pointers(seqs), DNA, '\0', '?', p.ld);
  linkage::pack_biallelic_loci(p.ld);
  ASSERT_EQ(p.make_all_table({2, 0, 1}), 1);
  // Rows G, A; columns T, C: GT 2, GC 1, AT 6, AC 5.
  EXPECT_EQ(table_of(p.ld), (Table{2, 2, 14, {2, 1, 6, 5}, {3, 11}, {8, 6}}));
}

TEST(LdBitSets, LocusTypedInOneAlleleOnlyAmongCountedHaplotypesGivesOneRow) {
  // Locus 0 varies only through haplotype 2, which is missing at locus 1.
  const std::vector<std::string> seqs = {"AC", "AT", "G?"};
  PopGenetics p;
  p.ld.weights = {2, 3, 4};
  linkage::code_alleles(pointers(seqs), DNA, '\0', '?', p.ld);
  linkage::pack_biallelic_loci(p.ld);
  ASSERT_EQ(p.make_all_table({2, 0, 1}), 1);
  EXPECT_EQ(table_of(p.ld), (Table{1, 2, 5, {2, 3}, {5}, {2, 3}}));
}

TEST(LdBitSets, ThreeAllelesOrAnAbsentHaplotypeKeepTheGeneralCount) {
  LogCapture log;
  const std::vector<std::string> seqs = {"AAC", "GCT", "TC", "AAC"};
  PopGenetics p;
  p.ld.weights = {1, 2, 3, 4};
  linkage::code_alleles(pointers(seqs), DNA, '\0', '?', p.ld);
  linkage::pack_biallelic_loci(p.ld);
  ASSERT_EQ(p.ld.poly_loci, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(p.ld.packed, (std::vector<std::uint8_t>{0, 1, 0}));  // 3 alleles; absent
  ASSERT_EQ(p.make_all_table({2, 0, 1}), 1);
  EXPECT_EQ(table_of(p.ld), naive_table(seqs, p.ld.weights, 0, 1, '?'));
  EXPECT_EQ(p.make_all_table({2, 1, 2}), 0);  // the third haplotype lacks site 2
  EXPECT_NE(log.text().find("invalid index in contingency table"), std::string::npos);
}

TEST(LdBitSets, RecodingDropsThePackingOfEarlierLoci) {
  PopGenetics p;
  p.ld.weights = {1, 1};
  const std::vector<std::string> first = {"AC", "GT"};
  linkage::code_alleles(pointers(first), DNA, '\0', '?', p.ld);
  linkage::pack_biallelic_loci(p.ld);
  EXPECT_GT(p.ld.bit_words, 0);
  const std::vector<std::string> second = {"AAC", "GCT"};
  linkage::code_alleles(pointers(second), DNA, '\0', '?', p.ld);
  EXPECT_EQ(p.ld.bit_words, 0);
  ASSERT_EQ(p.make_all_table({2, 0, 2}), 1);  // general count on the new codes
  EXPECT_EQ(table_of(p.ld), naive_table(second, {1, 1}, 0, 2, '?'));
}

TEST(LdCandidateSites, CodingOnlyTheCandidatesGivesTheSameCodes) {
  std::mt19937 gen(99);
  const std::vector<std::string> seqs = patterned_sequences(gen, 9, 30);
  PopGenetics::LdWorkspace all, some;
  linkage::code_alleles(pointers(seqs), DNA, '\0', '?', all);
  // Candidates: the polymorphic sites plus some monomorphic ones.
  std::vector<int> candidates;
  for (int site = 0; site < 30; ++site)
    if (all.position[static_cast<size_t>(site)] >= 0 || site % 4 == 0) candidates.push_back(site);
  linkage::code_alleles(pointers(seqs), DNA, '\0', '?', some, &candidates);
  EXPECT_EQ(some.poly_loci, all.poly_loci);
  EXPECT_EQ(some.position, all.position);
  EXPECT_EQ(some.num_alleles, all.num_alleles);
  EXPECT_EQ(some.codes, all.codes);
}

TEST(LdCandidateSites, SitesOutsideTheCandidatesAreNotCoded) {
  const std::vector<std::string> seqs = {"AAC", "GCT"};
  PopGenetics::LdWorkspace ld;
  const std::vector<int> candidates = {1, 7};  // 7 lies beyond the sequences
  linkage::code_alleles(pointers(seqs), DNA, '\0', '?', ld, &candidates);
  EXPECT_EQ(ld.poly_loci, (std::vector<int>{1}));
  EXPECT_EQ(ld.position, (std::vector<int>{-1, 0, -1}));
}
