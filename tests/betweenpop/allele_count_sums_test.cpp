// Sums of squared distances from allele counts: the AMOVA and the pairwise
// comparisons give the same doubles with them as with the distance matrix, on
// random data of every data type and design (cases in count_path_cases.txt),
// and their total, and the components of samples in groups, equal naive sums
// over every pair of gene copies. Permuted gene copies must not exhaust memory.
#include "betweenpop/allele_count_sums.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "../project/log_capture.h"
#include "amova_fixture.h"
#include "betweenpop/distances.h"
#include "withinpop/random.h"
#include "withinpop/sample_builder.h"
#include "withinpop/table.h"

using qnd_amova_test::SumStatScope;
using qnd_project_test::DataTypeScope;
using qnd_project_test::LogCapture;

namespace {

std::vector<std::string> split(const std::string& text, char sep) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  for (std::string part; std::getline(in, part, sep);) parts.push_back(part);
  return parts;
}

// One row of count_path_cases.txt (its columns in order).
struct Case {
  explicit Case(const std::vector<std::string>& t)
      : type_name(t.at(0)), ploidy(t.at(2)), alleles(t.at(6)) {
    int* ints[] = {&method,  nullptr,       &s.IncludeIndividualLevel, &groups, &pops,  nullptr,
                   nullptr, &conventional, nullptr,                   &counts, &design};
    for (size_t i = 0; i < 11; ++i)
      if (ints[i]) *ints[i] = std::stoi(t.at(i + 1));
    const auto w = split(t.at(7), ','), p = split(t.at(9), ',');
    wts = s.TransitionWeight = std::stod(w.at(0)), wtv = s.TranversionWeight = std::stod(w.at(1));
    wdel = s.DeletionWeight = std::stod(w.at(2));
    s.NumPermutationsAMOVA = std::stoi(p.at(0)), s.NumPermutationsFST = std::stoi(p.at(1));
  }
  std::string type_name, ploidy, alleles;
  int method, groups, pops, conventional, counts, design;
  double wts, wtv, wdel;
  settings s;  // the settings the row gives
};

// A random project: 10 haplotypes, samples of haplotypes or of individuals
// drawn from them, and a structure.
struct Data {
  settings s;
  ProfileSettings profile;
  Haplo_DB list;
  Samples samples;
  Structure structure;
  std::vector<std::vector<int>> copies;  // per sample, the list index of each gene copy
  std::vector<int> pooled;               // copies per haplotype
  std::vector<std::vector<std::string>> alleles;  // per haplotype, its allele at each locus
};

std::unique_ptr<Data> make_data(const Case& c, std::mt19937& rng) {
  auto d = std::make_unique<Data>();
  const bool per_char = c.type_name == "DNA" || c.type_name == "RFLP";
  std::vector<std::string> pool = per_char ? std::vector<std::string>() : split(c.alleles, ',');
  if (per_char)
    for (char a : c.alleles) pool.emplace_back(1, a);
  const int loci = per_char ? 10 : 4;
  for (int h = 0; h < 10; ++h) {
    std::string content;
    d->alleles.emplace_back();
    for (int k = 0; k < loci; ++k) {
      d->alleles.back().push_back(pool[rng() % pool.size()]);
      content += (per_char || k == 0 ? "" : " ") + d->alleles.back().back();
    }
    auto def = std::make_unique<HaploDef>(my_string("h" + std::to_string(h)));
    def->content = content;
    d->list.add(def.release());
  }
  d->pooled.assign(10, 0);
  const bool diploid = c.ploidy != "h";
  d->profile.MissingData = '?';
  d->profile.GenotypicData = diploid ? 1 : 0;
  d->profile.GameticPhase = c.ploidy == "u" ? 0 : 1;
  d->samples.profile = d->profile;
  for (int g = 0; g < c.groups; ++g) {
    d->structure.add_group();
    ++d->structure.NbGroups;
    for (int p = 0; p < c.pops; ++p) {
      auto pop = std::make_unique<Population>();
      pop->profile = d->profile;
      std::vector<int> copies;
      const int n = 2 * (2 + static_cast<int>(rng() % 4));
      for (int i = 0; i < n; ++i) copies.push_back(static_cast<int>(rng() % 10));
      std::vector<int> count(10, 0);
      for (int h : copies) {
        ++count[static_cast<size_t>(h)];
        ++d->pooled[static_cast<size_t>(h)];
        if (diploid) pop->gametes.Add(new PHaploDef(d->list[h], 1));
      }
      for (int h = 0; h < 10; ++h)
        if (count[static_cast<size_t>(h)] > 0)
          pop->haplotypes.Add(new PHaploDef(d->list[h], count[static_cast<size_t>(h)]));
      pop->gametes_built = diploid ? 1 : 0;
      d->copies.push_back(copies);
      d->structure.groups.back()->Add(pop.get());
      d->samples.pops.Add(pop.release());
    }
  }
  settings& s = d->s = c.s;
  s.TaskNumber = kTaskAmova | kTaskPairwiseFst;
  s.ComputePairwiseFST = 1;
  s.ComputeConventionalFST = c.conventional;
  s.PopSpecificFST = s.PopSpecificFIS = 1;
  s.AllowedLevelOfMissingData = 0.5;
  return d;
}

// Naive distances between list haplotypes, written from the definitions: the
// alleles of every haplotype and the usable sites (missing fraction among the
// pooled copies at most 0.5).
struct Naive {
  Naive(const Case& row, const Data& d) : c(row), alleles(d.alleles) {
    double total = 0;
    for (int n : d.pooled) total += n;
    for (size_t k = 0; k < alleles[0].size(); ++k) {
      double missing = 0;
      for (size_t h = 0; h < alleles.size(); ++h)
        if (alleles[h][k] == "?") missing += d.pooled[h];
      usable.push_back(missing / total <= 0.5);
    }
    all_differ = (c.type_name == "DNA" || c.type_name == "RFLP") && c.conventional;
  }
  // The later haplotype's character comes first.
  double distance(int x, int y) const {
    if (x == y) return 0.0;
    if (all_differ) return 1.0;
    const auto& a = alleles[static_cast<size_t>(std::max(x, y))];
    const auto& b = alleles[static_cast<size_t>(std::min(x, y))];
    double dist = 0.0;
    for (size_t k = 0; k < a.size(); ++k) {
      if (!usable[k] || a[k] == "?" || b[k] == "?" || a[k] == b[k]) continue;
      if (c.type_name == "DNA" && !c.conventional) {
        const double w[5] = {0, c.wts, c.wtv, c.wdel, c.wtv < c.wts ? c.wtv : c.wts};
        const double wk = w[PopulDNA::compare_nucleotides(a[k][0], b[k][0])];
        dist += wk > 0 ? wk : 0;
      } else if (c.type_name == "MICROSAT" && !c.conventional) {
        const double diff = std::stod(a[k]) - std::stod(b[k]);
        dist += c.method == 1 ? diff * diff : diff != 0.0;
      } else {
        dist += 1;
      }
    }
    return c.conventional ? dist > 0 : dist;
  }
  const Case& c;
  std::vector<std::vector<std::string>> alleles;
  std::vector<bool> usable;
  bool all_differ = false;
};

// Every value an AMOVA and its pairwise comparisons leave, in one list.
std::vector<double> values_of(const amova_results& r, int P) {
  std::vector<double> v = {1.0 * r.success, r.SSD_total, r.sigma2_T, r.n,  r.FIS,
                           r.FIT,           r.FCT,       r.FSC,      r.FST};
  for (const auto* list : {&r.SSD, &r.MSD, &r.sigma2, &r.pop_FST, &r.pop_FIS})
    v.insert(v.end(), list->begin(), list->end());
  for (const AmovaTest& t : r.tests) {
    v.push_back(t.observed);
    v.push_back(t.p_value);
    v.insert(v.end(), t.null_distribution.begin(), t.null_distribution.end());
  }
  for (int i = 0; i < P; ++i)
    for (int j = 0; j < P; ++j) {
      v.push_back(r.pair_pi(i, j));
      if (j > i)
        for (double x :
             {r.pair_FST(i, j), r.pair_sigma2a(i, j), r.pair_FST_p(i, j), r.pair_pi_p(i, j)})
          v.push_back(x);
    }
  return v;
}

}  // namespace

TEST(AlleleCountSums, SameValuesAsTheMatrixOnRandomData) {
  const auto rows = qnd_table::read_rows("betweenpop/count_path_cases.txt");
  ASSERT_GE(rows.size(), 20u);
  LogCapture log;
  SumStatScope scope(true);
  int by_copies = 0;  // runs checked against the components by hand
  for (size_t row = 0; row < rows.size(); ++row) {
    const Case c(rows[row].tokens);
    DataTypeScope type(type_named(c.type_name), ' ');
    for (int rep = 0; rep < 3; ++rep) {
      SCOPED_TRACE("count_path_cases.txt line " + std::to_string(rows[row].line) + " repeat " +
                   std::to_string(rep));
      std::mt19937 rng(static_cast<unsigned>(100 * row + rep));
      auto d = make_data(c, rng);
      const ListCountSums run =
          count_sums_over_list(d->list, d->profile, d->pooled, d->s, c.method);
      ASSERT_EQ(run.sums != nullptr, c.counts == 1);
      if (!run.sums) continue;
      DistMat dm;
      ASSERT_EQ(calc_haplotype_dist_matrix(d->list, d->profile, d->pooled, d->s, my_string(""), dm,
                                           c.method, 0.0),
                1);
      double N = 0;
      for (int n : d->pooled) N += n;
      ASSERT_TRUE(run.sums->exact_for(N));

      int seed = -17;
      ran3(&seed);
      amova_results by_matrix, by_counts;
      Amova m(d->s, d->structure, d->samples, dm, d->list, PopGenetics::globalAllelicDB, nullptr, 0,
              0, &by_matrix);
      seed = -17;
      ran3(&seed);
      Amova n(d->s, d->structure, d->samples, dm, d->list, PopGenetics::globalAllelicDB, nullptr, 0,
              0, &by_counts, run.sums.get());
      EXPECT_EQ(by_counts.design, c.design);
      ASSERT_TRUE(by_matrix.pairwise_done && by_counts.pairwise_done);
      EXPECT_EQ(values_of(by_matrix, c.groups * c.pops), values_of(by_counts, c.groups * c.pops));

      // The sum over every pair of gene copies of a list, by hand.
      const Naive by_hand(c, *d);
      const auto pairs = [&](const std::vector<int>& v) {
        double sum = 0;
        for (size_t i = 0; i < v.size(); ++i)
          for (size_t j = 0; j < i; ++j) sum += by_hand.distance(v[i], v[j]);
        return sum;
      };
      const auto ssd = [&](const std::vector<int>& v) { return pairs(v) / v.size(); };
      std::vector<int> all;
      for (const auto& v : d->copies) all.insert(all.end(), v.begin(), v.end());
      const double naive = pairs(all);
      EXPECT_EQ(n.compute_total_SSD(), naive);
      if (c.design != 5) continue;
      // Copies in samples in groups: the components from sums over all pairs
      // of copies within each sample and each group.
      double wp = 0, wg = 0, ng2 = 0, np2 = 0, np2_ng = 0;
      for (int g = 0; g < c.groups; ++g) {
        std::vector<int> gv;
        double np2g = 0;
        for (int p = 0; p < c.pops; ++p) {
          const std::vector<int>& v = d->copies[static_cast<size_t>(g * c.pops + p)];
          wp += ssd(v);
          gv.insert(gv.end(), v.begin(), v.end());
          np2g += 1.0 * v.size() * v.size();
        }
        wg += ssd(gv);
        ng2 += 1.0 * gv.size() * gv.size();
        np2 += np2g;
        np2_ng += np2g / gv.size();
      }
      const double P = c.groups * c.pops, G = c.groups, msd_wp = wp / (N - P);
      const double msd_ap = (wg - wp) / (P - G), msd_ag = (naive / N - wg) / (G - 1);
      const double n0 = (N - np2_ng) / (P - G), n1 = (np2_ng - np2 / N) / (G - 1);
      const double n2 = (N - ng2 / N) / (G - 1);
      EXPECT_NEAR(n.sigma2c, msd_wp, 1e-9);
      EXPECT_NEAR(n.sigma2b, (msd_ap - msd_wp) / n0, 1e-9);
      EXPECT_NEAR(n.sigma2a, (msd_ag - msd_wp - n1 * (msd_ap - msd_wp) / n0) / n2, 1e-9);
      ++by_copies;
    }
  }
  EXPECT_GE(by_copies, 15);
}

TEST(AlleleCountSums, PermutationsBeyondReachFailTheRunBeforeAllocating) {
  // One sample of 2^24 + 1 copies of a haplotype: without permutations the
  // AMOVA follows the two distinct haplotypes; with them it stops with
  // "not enough memory" instead of allocating one entry per copy.
  LogCapture log;
  SumStatScope scope(true);
  qnd_amova_test::AmovaInput in("AB");
  in.set_d2('A', 'B', 1);
  in.haploid({{'A', Amova::kMaxPermutedGeneCopies}, {'B', 1}});
  in.haploid({{'B', 3}});
  auto a = in.run();
  EXPECT_TRUE(in.results.success);
  EXPECT_TRUE(a->observed_vector.empty() && a->index_vector.empty());
  // Sums of pairs at distance 1: within the first sample 2^24, between 3 (2^24).
  EXPECT_EQ(a->SSDP(0, 0), 16777216.0);
  EXPECT_EQ(a->SSDP(1, 0), 3.0 * 16777216.0);
  in.s.NumPermutationsAMOVA = 10;
  EXPECT_THROW(in.run(), ExceptionType);
  EXPECT_TRUE(log.has_numbered("MEMORY", "Amova::initialize()", 0));
}
