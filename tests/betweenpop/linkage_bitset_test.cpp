// Linkage disequilibrium of two-allele loci counted from bit sets: every pair
// table must equal the one counted haplotype by haplotype (and a naive count
// over the haplotypes written here), with missing data, with one bit per gene
// copy or per haplotype, over more than one 64-bit word; loci with three
// alleles or an absent haplotype keep the general count. Also: coding only the
// candidate sites of a pass, and a pair's values whether or not it is listed.
#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "betweenpop/linkage.h"
#include "globals.h"
#include "model/population.h"
#include "settings/settings.h"
#include "sumstat/sumstat.h"
#include "withinpop/log_capture.h"

namespace {

struct Table {
  int rows = 0, cols = 0, n = 0;
  std::vector<int> cells, row_totals, col_totals;
  bool operator==(const Table& o) const {
    return rows == o.rows && cols == o.cols && n == o.n && cells == o.cells &&
           row_totals == o.row_totals && col_totals == o.col_totals;
  }
};

std::ostream& operator<<(std::ostream& out, const Table& t) {
  out << t.rows << "x" << t.cols << " n=" << t.n << " cells";
  for (int c : t.cells) out << ' ' << c;
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
  std::vector<std::pair<std::pair<int, int>, int>> counted;
  Table t;
  for (size_t h = 0; h < seqs.size(); ++h) {
    const char x = seqs[h][a], y = seqs[h][b];
    if (x == missing || y == missing) continue;
    if (row_alleles.find(x) == std::string::npos) row_alleles += x;
    if (col_alleles.find(y) == std::string::npos) col_alleles += y;
    counted.push_back(
        {{static_cast<int>(row_alleles.find(x)), static_cast<int>(col_alleles.find(y))},
         weights[h]});
  }
  t.rows = static_cast<int>(row_alleles.size());
  t.cols = static_cast<int>(col_alleles.size());
  t.cells.assign(static_cast<size_t>(t.rows * t.cols), 0);
  t.row_totals.assign(static_cast<size_t>(t.rows), 0);
  t.col_totals.assign(static_cast<size_t>(t.cols), 0);
  for (const auto& [cell, w] : counted) {
    t.cells[static_cast<size_t>(cell.first * t.cols + cell.second)] += w;
    t.row_totals[static_cast<size_t>(cell.first)] += w;
    t.col_totals[static_cast<size_t>(cell.second)] += w;
    t.n += w;
  }
  return t;
}

std::vector<const std::string*> pointers(const std::vector<std::string>& v) {
  std::vector<const std::string*> p;
  for (const std::string& s : v) p.push_back(&s);
  return p;
}

// Random sequences: each site draws two (sometimes three) alleles, with some
// missing data.
std::vector<std::string> random_sequences(std::mt19937& gen, int haps, int sites) {
  std::vector<std::string> seqs(static_cast<size_t>(haps), std::string(sites, 'A'));
  const std::string bases = "ACGT";
  for (int s = 0; s < sites; ++s) {
    const char first = bases[gen() % 4], second = bases[gen() % 4], third = bases[gen() % 4];
    const bool three = gen() % 6 == 0;
    const unsigned missing_rate = gen() % 3 == 0 ? 0 : 15;  // percent
    for (int h = 0; h < haps; ++h) {
      const unsigned roll = gen() % 100;
      char c = roll < 55 ? first : (three && roll < 75 ? third : second);
      if (gen() % 100 < missing_rate) c = '?';
      seqs[static_cast<size_t>(h)][static_cast<size_t>(s)] = c;
    }
  }
  return seqs;
}

// Checks every pair of polymorphic loci: the packed count against the general
// count of the same workspace and against the naive table. Returns the number
// of pairs that took the packed count.
int check_all_pairs(const std::vector<std::string>& seqs, const std::vector<int>& weights) {
  PopGenetics general;
  general.ld.weights = weights;
  linkage::code_alleles(pointers(seqs), DNA, '\0', '?', general.ld);
  PopGenetics packed;
  packed.ld = general.ld;
  linkage::pack_biallelic_loci(packed.ld);
  EXPECT_GT(packed.ld.bit_words, 0);
  int fast_pairs = 0;
  const std::vector<int>& poly = general.ld.poly_loci;
  for (size_t i = 1; i < poly.size(); ++i)
    for (size_t j = 0; j < i; ++j) {
      const PopGenetics::LocusPair pair{2, poly[j], poly[i]};
      EXPECT_EQ(general.make_all_table(pair), 1);
      EXPECT_EQ(packed.make_all_table(pair), 1);
      const Table expected = naive_table(seqs, weights, static_cast<size_t>(poly[j]),
                                         static_cast<size_t>(poly[i]), '?');
      EXPECT_EQ(table_of(general.ld), expected) << "pair " << poly[j] << "," << poly[i];
      EXPECT_EQ(table_of(packed.ld), expected) << "pair " << poly[j] << "," << poly[i];
      fast_pairs += packed.ld.packed[i] && packed.ld.packed[j];
    }
  return fast_pairs;
}

}  // namespace

TEST(LdBitSets, BothLayoutsMatchTheNaiveTables) {
  // Small counts take one bit per gene copy; large counts take weight planes,
  // here over two or three 64-bit words.
  struct Case {
    unsigned seed;
    int rounds, min_haps, extra_haps, sites, max_weight;
    bool planes;
  };
  for (const Case& c :
       {Case{777, 6, 3, 40, 14, 3, false}, Case{4242, 4, 65, 100, 10, 1000, true}}) {
    std::mt19937 gen(c.seed);
    for (int round = 0; round < c.rounds; ++round) {
      const int haps = c.min_haps + static_cast<int>(gen() % static_cast<unsigned>(c.extra_haps));
      const std::vector<std::string> seqs = random_sequences(gen, haps, c.sites);
      std::vector<int> weights;
      for (int h = 0; h < haps; ++h)
        weights.push_back(1 + static_cast<int>(gen() % static_cast<unsigned>(c.max_weight)));
      SCOPED_TRACE("seed " + std::to_string(c.seed) + " round " + std::to_string(round));
      EXPECT_GT(check_all_pairs(seqs, weights), 0);
      PopGenetics p;
      p.ld.weights = weights;
      linkage::code_alleles(pointers(seqs), DNA, '\0', '?', p.ld);
      linkage::pack_biallelic_loci(p.ld);
      if (c.planes) {
        EXPECT_GT(p.ld.weight_planes, 1);
        EXPECT_GE(p.ld.bit_words, 2);
      } else {
        EXPECT_EQ(p.ld.weight_planes, 1);  // one bit per copy
      }
    }
  }
}

TEST(LdBitSets, FirstTypedHaplotypeFixesTheOrderEvenWhenItIsLate) {
  // Haplotypes 0 and 1 are missing at one locus each: the table order starts
  // with haplotype 2, whose alleles are G and T (allele 1 at both loci).
  const std::vector<std::string> seqs = {"A?", "?C", "GT", "AC", "GC", "AT"};
  const std::vector<int> weights = {3, 4, 2, 5, 1, 6};
  EXPECT_EQ(check_all_pairs(seqs, weights), 1);
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
  EXPECT_EQ(check_all_pairs(seqs, {2, 3, 4}), 1);
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
  const std::vector<std::string> seqs = random_sequences(gen, 9, 30);
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

TEST(LdPairListing, ListedAndUnlistedPairsGiveTheSameValues) {
  SumStat.clearValues();
  SumStat.MEAN_ALL_DPRIME = SumStat.MEAN_ALL_R2 = true;
  std::mt19937 gen(5);
  const std::vector<std::string> seqs = random_sequences(gen, 12, 12);
  PopGenetics p;
  for (int h = 0; h < 12; ++h) p.ld.weights.push_back(1 + static_cast<int>(gen() % 5));
  linkage::code_alleles(pointers(seqs), DNA, '\0', '?', p.ld);
  linkage::pack_biallelic_loci(p.ld);
  const settings s;
  std::ostringstream listed;
  std::ostream unlisted(nullptr);
  int nontrivial = 0;
  const std::vector<int> poly = p.ld.poly_loci;
  for (size_t i = 1; i < poly.size(); ++i)
    for (size_t j = 0; j < i; ++j) {
      const PopGenetics::LocusPair pair{2, poly[j], poly[i]};
      double d_listed = 0, r_listed = 0, d_unlisted = 0, r_unlisted = 0;
      p.calc_d_sd_values(pair, s, d_listed, r_listed, -1, -1, listed);
      p.calc_d_sd_values(pair, s, d_unlisted, r_unlisted, -1, -1, unlisted);
      EXPECT_EQ(d_listed, d_unlisted);
      EXPECT_EQ(r_listed, r_unlisted);
      nontrivial += r_listed > 0;
    }
  EXPECT_GT(nontrivial, 0);
  SumStat.MEAN_ALL_DPRIME = SumStat.MEAN_ALL_R2 = false;
  SumStat.clearValues();
}
