// Sequences read only at the sites that vary in the pass: every per-site array,
// counter and pi must be exactly those of reading every site of every
// haplotype, and those of a naive count over the sites and the expanded gene
// copies; the whole within-sample pass must give the values of a naive pass
// over every site (random data with missing data, gaps, all-missing sites,
// haplotypes without copies and contents of different lengths).
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "globals.h"
#include "model/samples.h"
#include "settings/settings.h"
#include "sumstat/sumstat.h"
#include "withinpop/sample_builder.h"

namespace {

using Unit = std::vector<std::pair<std::string, int>>;

std::vector<Unit> random_pass(std::mt19937& gen, const std::string& alphabet, bool short_contents,
                              int units, size_t L, int rate, int min_copies = 0) {
  std::string ancestor(L, 'A');
  for (char& c : ancestor) c = alphabet[gen() % 4];
  std::vector<Unit> pass(static_cast<size_t>(units));
  for (Unit& unit : pass) {
    const int haps = 2 + static_cast<int>(gen() % 6);
    for (int h = 0; h < haps; ++h) {
      std::string seq = ancestor;
      for (char& c : seq)
        if (static_cast<int>(gen() % 100) < rate) c = alphabet[gen() % alphabet.size()];
      seq[7] = '?', seq[8] = '-';  // all missing, all gap
      if (short_contents && gen() % 5 == 0) seq.resize(L - 1 - gen() % 10);
      unit.emplace_back(seq, min_copies + static_cast<int>(gen() % 4));  // 0 copies now and then
    }
    unit.front().second += 1;
  }
  return pass;
}

std::vector<double> state_of(const PopGenetics& p) {
  std::vector<double> v(p.missing_fraction.begin(), p.missing_fraction.end());
  for (const auto* a : {&p.locus_usable, &p.locus_polymorphic, &p.site_diff, &p.site_counted})
    v.insert(v.end(), a->begin(), a->end());
  for (int x :
       {p.num_loci, p.num_usable_loci, p.num_usable_poly_loci, p.num_transitions,
        p.num_transversions, p.num_substitutions, p.num_indels, p.num_transition_sites,
        p.num_transversion_sites, p.num_subst_sites, p.num_indel_sites, p.num_rflp_poly_sites})
    v.push_back(x);
  v.push_back(p.mean_pair_diff);
  return v;
}

// Without ambiguity codes: usable sites, S, indel and polymorphic sites, and
// pi as the mean number of differences (a gap included, missing data not) at
// usable sites over all pairs of expanded copies.
void expect_naive_sites(const Population& pop, const Unit& unit, bool rflp, double allowed) {
  const size_t L = unit[0].first.size();
  int S = 0, indels = 0, usable = 0, poly = 0;
  for (size_t i = 0; i < L; ++i) {
    std::set<char> states;
    bool gap = false;
    double miss = 0;
    for (const auto& [seq, c] : unit) {
      if (c == 0) continue;
      miss += seq[i] == '?' ? c : 0;
      gap = gap || seq[i] == '-';
      if (seq[i] != '?' && seq[i] != '-') states.insert(seq[i]);
    }
    const bool use = miss / pop.sample_size <= allowed && !states.empty();
    EXPECT_EQ(pop.locus_usable[i], use ? 1 : 0) << "site " << i;
    if (!use) continue;
    ++usable;
    S += states.size() > 1;
    indels += gap;
    poly += states.size() > 1 || gap;
  }
  EXPECT_EQ(
      std::vector<int>({pop.num_usable_loci, rflp ? pop.num_rflp_poly_sites : pop.num_subst_sites,
                        pop.num_indel_sites, pop.num_usable_poly_loci}),
      std::vector<int>({usable, S, indels, poly}));
  std::vector<std::string> copies;
  for (const auto& [seq, c] : unit) copies.insert(copies.end(), static_cast<size_t>(c), seq);
  double sum = 0;
  for (size_t x = 0; x < copies.size(); ++x)
    for (size_t y = x + 1; y < copies.size(); ++y)
      for (size_t i = 0; i < L; ++i) {
        const char a = copies[x][i], c = copies[y][i];
        sum += pop.locus_usable[i] && a != c && a != '?' && c != '?';  // a gap is a difference
      }
  const double pairs = copies.size() * (copies.size() - 1) / 2.0, nd = sum / pairs / usable;
  EXPECT_NEAR(pop.mean_pair_diff, sum / pairs, 1e-12);
  EXPECT_NEAR(rflp ? nd : static_cast<const PopulDNA&>(pop).nucl_diversity, nd, 1e-12);
}

}  // namespace

TEST(PassSiteScan, RestrictedScanMatchesTheFullScan) {
  std::mt19937 gen(31);
  for (int round = 0; round < 24; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const bool rflp = round >= 12;
    SampleBuilder type(rflp ? RFLP : DNA, '\0');
    const auto units = random_pass(gen,
                                   rflp        ? "0101-?"
                                   : round % 4 ? "ACGTACGT-?RYN"
                                               : "ACGTACGT-?",
                                   round % 2, 2, 80, round % 4 ? 6 : 15, round % 4 ? 0 : 1);
    std::vector<const std::string*> pointers;
    for (const Unit& unit : units)
      for (const auto& [seq, copies] : unit) pointers.push_back(&seq);
    std::vector<int> variable;  // sites not holding one character in every content
    for (size_t k = 0; k < 80; ++k) {
      bool varies = false;
      for (const std::string* c : pointers)
        varies = varies || k >= c->size() || (*c)[k] != (*pointers[0])[k];
      if (varies) variable.push_back(static_cast<int>(k));
    }
    settings s;
    s.AllowedLevelOfMissingData = 0.3;
    s.DistanceMethod = round % 4 < 2 ? 0 : 1;  // Jukes-Cantor counts invariant sites too
    for (const Unit& unit : units) {
      SampleBuilder build(ProfileSettings::DataType, '\0');
      PopulDNA dna;
      PopulRFLP rf;
      Population& pop = rflp ? static_cast<Population&>(rf) : dna;
      pop.profile.MissingData = '?';
      for (const auto& [seq, copies] : unit) build.add(pop, seq, copies);
      std::vector<double> full;
      for (bool restricted : {false, true}) {
        if (restricted) PopGenetics::begin_pass_sites(pointers, '?');
        EXPECT_EQ(restricted ? PopGenetics::pass_variable_sites : variable, variable);
        PopGenetics::pass_sites_restricted = restricted;
        rflp ? rf.compare_RFLP_haplotypes(s) : dna.compare_DNA_sequences(s);
        rflp ? rf.compute_molecular_diversity(s) : dna.compute_molecular_diversity(s);
        EXPECT_EQ(restricted ? state_of(pop) : full, full);
        full = state_of(pop);
      }
      EXPECT_TRUE(pop.missing_fraction[7] == 1.0 && pop.locus_usable[8] == 0);
      if (round % 4 == 0) expect_naive_sites(pop, unit, rflp, 0.3);
    }
  }
}

// The whole pass over sequences against per-site values summed here over all
// sites: mean and s.d. of k and H, mean copies, and the pooled H over the
// sites where it is not 0.
TEST(PassSiteScan, SequencePassMatchesNaivePerSiteSums) {
  SampleBuilder b(DNA, '\0');
  std::mt19937 rng(12345);
  const auto units = random_pass(rng, "ACGTACGT-N?", false, 3, 400, 1);
  Samples samples;
  for (const Unit& unit : units) {
    samples.pops.Add(new PopulDNA);
    for (const auto& [seq, c] : unit) b.add(*samples.pops[samples.pops.size() - 1], seq, c);
  }
  settings s;
  s.TaskNumber = kTaskStandardIndices;
  samples.compute_stuff(nullptr, s);
  std::map<size_t, std::map<char, double>> pooled;
  const auto h_of = [](const std::map<char, double>& counts, double& n) {
    double s2 = 0.0;
    n = 0;
    for (const auto& [x, c] : counts) n += c;
    for (const auto& [x, c] : counts) s2 += (c / n) * (c / n);
    return n > 1 ? n / (n - 1) * (1.0 - s2) : 0.0;
  };
  for (size_t p = 0; p < units.size(); ++p) {
    double sh = 0, sh2 = 0, sk = 0, sk2 = 0, sn = 0;
    for (size_t site = 0; site < 400; ++site) {
      std::map<char, double> counts;
      for (const auto& [seq, c] : units[p])
        if (seq[site] != '?' && seq[site] != 'N' && c > 0) counts[seq[site]] += c;
      for (const auto& [x, c] : counts) pooled[site][x] += c;
      double n = 0;
      const double h = h_of(counts, n);
      sh += h;
      sh2 += h * h;
      sk += static_cast<double>(counts.size());
      sk2 += static_cast<double>(counts.size() * counts.size());
      sn += n;
    }
    const Population* pop = samples[static_cast<int>(p)];
    EXPECT_EQ(
        std::vector<double>({pop->mean_exp_het, pop->mean_num_alleles, pop->mean_gene_copies}),
        std::vector<double>({sh / 400, sk / 400, sn / 400}));
    EXPECT_NEAR(pop->sd_num_alleles, std::sqrt(400 / 399.0 * (sk2 / 400 - sk * sk / 160000)),
                1e-12);
    EXPECT_NEAR(pop->sd_exp_het, std::sqrt(400 / 399.0 * (sh2 / 400 - sh * sh / 160000)), 1e-12);
  }
  double sum_h = 0.0, loci_h = 0, n = 0;
  for (const auto& [site, counts] : pooled)
    sum_h += h_of(counts, n), loci_h += h_of(counts, n) != 0;
  EXPECT_NEAR(SumStat.totH, sum_h / loci_h, 1e-12);
  EXPECT_EQ(PopGenetics::globalAllelicDB.loci[8].alleles.size(), 0);  // invariant: not entered
  SumStat.clearValues();
}
