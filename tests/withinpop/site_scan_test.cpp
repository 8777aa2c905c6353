// Site evaluation inside a pass whose variable sites are known: reading only
// those sites (the others are read once) must leave every per-site array and
// counter exactly as reading every site of every haplotype does, for DNA and
// RFLP samples with missing data, gaps, all-missing sites, haplotypes without
// copies and contents of different lengths. The variable sites are found here
// by a naive comparison of all contents of the pass.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "settings/settings.h"
#include "withinpop/sample_builder.h"

namespace {

// Every site that does not hold the same character in all contents (a site
// beyond a content's end varies).
std::vector<int> naive_variable_sites(const std::vector<std::string>& contents) {
  size_t length = 0;
  for (const std::string& c : contents) length = std::max(length, c.size());
  std::vector<int> sites;
  for (size_t k = 0; k < length; ++k) {
    bool varies = false;
    for (const std::string& c : contents)
      varies = varies || k >= c.size() || c[k] != contents.front()[k];
    if (varies) sites.push_back(static_cast<int>(k));
  }
  return sites;
}

struct SiteState {
  std::vector<double> missing_fraction;
  std::vector<std::uint8_t> usable, polymorphic, diff, counted;
  std::vector<int> counters;
  double pi;
};

SiteState state_of(const PopGenetics& p) {
  return {p.missing_fraction,
          p.locus_usable,
          p.locus_polymorphic,
          p.site_diff,
          p.site_counted,
          {p.num_loci, p.num_usable_loci, p.num_usable_poly_loci, p.num_transitions,
           p.num_transversions, p.num_substitutions, p.num_indels, p.num_transition_sites,
           p.num_transversion_sites, p.num_subst_sites, p.num_indel_sites, p.num_rflp_poly_sites},
          p.mean_pair_diff};
}

void expect_same(const SiteState& a, const SiteState& b) {
  EXPECT_EQ(a.missing_fraction, b.missing_fraction);
  EXPECT_EQ(a.usable, b.usable);
  EXPECT_EQ(a.polymorphic, b.polymorphic);
  EXPECT_EQ(a.diff, b.diff);
  EXPECT_EQ(a.counted, b.counted);
  EXPECT_EQ(a.counters, b.counters);
  EXPECT_EQ(a.pi, b.pi);
}

// Two units of a pass: a shared ancestor with scattered changes drawn from
// alphabet, some shorter contents, some haplotypes without copies, and an
// all-missing and an all-gap site.
std::vector<std::vector<std::pair<std::string, int>>> random_pass(std::mt19937& gen,
                                                                  const std::string& alphabet,
                                                                  bool short_contents) {
  const size_t L = 80;
  std::string ancestor(L, 'A');
  for (char& c : ancestor) c = alphabet[gen() % 4];
  ancestor[7] = '?';
  ancestor[8] = '-';
  std::vector<std::vector<std::pair<std::string, int>>> units(2);
  for (auto& unit : units) {
    const int haps = 2 + static_cast<int>(gen() % 6);
    for (int h = 0; h < haps; ++h) {
      std::string seq = ancestor;
      for (char& c : seq)
        if (gen() % 100 < 6) c = alphabet[gen() % alphabet.size()];
      seq[7] = '?';
      seq[8] = '-';
      if (short_contents && gen() % 5 == 0) seq.resize(L - 1 - gen() % 10);
      unit.emplace_back(seq, static_cast<int>(gen() % 4));  // 0 copies now and then
    }
    unit.front().second += 1;
  }
  return units;
}

template <class Pop, class Evaluate>
void check_pass(const std::vector<std::vector<std::pair<std::string, int>>>& units,
                Evaluate evaluate) {
  std::vector<std::string> contents;
  for (const auto& unit : units)
    for (const auto& [seq, copies] : unit) contents.push_back(seq);
  const std::vector<int> variable = naive_variable_sites(contents);
  std::vector<const std::string*> pointers;
  for (const std::string& c : contents) pointers.push_back(&c);
  settings s;
  s.AllowedLevelOfMissingData = 0.3;
  for (const auto& unit : units) {
    SampleBuilder build(ProfileSettings::DataType, '\0');
    Pop pop;
    pop.profile.MissingData = '?';
    for (const auto& [seq, copies] : unit) build.add(pop, seq, copies);
    PopGenetics::pass_sites_restricted = false;
    evaluate(pop, s);
    const SiteState full = state_of(pop);
    PopGenetics::begin_pass_sites(pointers, '?');
    EXPECT_EQ(PopGenetics::pass_variable_sites, variable);
    PopGenetics::pass_sites_restricted = true;
    evaluate(pop, s);
    const SiteState restricted = state_of(pop);
    PopGenetics::pass_sites_restricted = false;
    PopGenetics::pass_variable_sites.clear();
    expect_same(restricted, full);
    EXPECT_EQ(full.missing_fraction[7], 1.0);  // the all-missing site
    EXPECT_EQ(full.usable[8], 0);              // the all-gap site
  }
}

}  // namespace

TEST(PassSiteScan, DnaSitesMatchTheFullScan) {
  std::mt19937 gen(31);
  for (int round = 0; round < 12; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    SampleBuilder type(DNA, '\0');
    // pi from numbers of differences, and from Jukes-Cantor distances, which
    // count the invariant sites too.
    check_pass<PopulDNA>(random_pass(gen, "ACGTACGT-?RYN", round % 2 == 1),
                         [round](PopulDNA& p, settings& s) {
                           s.DistanceMethod = round % 4 < 2 ? 0 : 1;
                           p.compare_DNA_sequences(s);
                           p.compute_molecular_diversity(s);
                         });
  }
}

TEST(PassSiteScan, RflpSitesMatchTheFullScan) {
  std::mt19937 gen(32);
  for (int round = 0; round < 12; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    SampleBuilder type(RFLP, '\0');
    check_pass<PopulRFLP>(random_pass(gen, "0101-?", round % 2 == 1),
                          [](PopulRFLP& p, settings& s) {
                            p.compare_RFLP_haplotypes(s);
                            p.compute_molecular_diversity(s);
                          });
  }
}

TEST(PassSiteScan, InvariantSitesOfThePassCountOnceEach) {
  // Sites 0 and 2 hold one character in the whole pass: only site 1 is read
  // haplotype by haplotype. Site 2 is all missing: 6 of 6 copies.
  SampleBuilder build(DNA, '\0');
  PopulDNA pop;
  pop.profile.MissingData = '?';
  build.add(pop, "AC?", 2);
  build.add(pop, "AT?", 4);
  PopGenetics::pass_variable_sites = {1};
  PopGenetics::pass_sites_restricted = true;
  settings s;
  pop.compare_DNA_sequences(s);
  PopGenetics::pass_sites_restricted = false;
  PopGenetics::pass_variable_sites.clear();
  EXPECT_EQ(pop.missing_fraction, (std::vector<double>{0.0, 0.0, 1.0}));
  EXPECT_EQ(pop.locus_usable, (std::vector<std::uint8_t>{1, 1, 0}));
  EXPECT_EQ(pop.num_transition_sites, 1);  // C against T
  EXPECT_EQ(pop.num_subst_sites, 1);
}
