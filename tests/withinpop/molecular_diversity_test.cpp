// Site evaluation and pi of DNA and RFLP samples against naive loops over the
// sites and the expanded gene copies.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "model/population.h"
#include "settings/settings.h"
#include "withinpop/random.h"
#include "withinpop/sample_builder.h"

namespace {

bool is_base(char c) { return c == 'A' || c == 'C' || c == 'G' || c == 'T'; }

// Random alignments: an ancestor with scattered changes drawn from alphabet.
std::vector<std::pair<std::string, int>> random_alignment(int& idum, const char* alphabet,
                                                          int letters) {
  std::string base(60, 'A');
  for (char& c : base) c = alphabet[static_cast<int>((letters > 6 ? 4 : 2) * ran3(&idum))];
  std::vector<std::pair<std::string, int>> data;
  for (int h = 0; h < 8; ++h) {
    std::string seq = base;
    for (char& c : seq)
      if (ran3(&idum) < 0.15) c = alphabet[static_cast<int>(letters * ran3(&idum))];
    data.emplace_back(seq, 1 + static_cast<int>(3 * ran3(&idum)));
  }
  return data;
}

}  // namespace

// Usable sites, S, indel and polymorphic sites, and pi as the mean number of
// differences (a gap included, missing data not) at usable sites over all
// pairs of expanded copies.
TEST(SiteEvaluation, RandomAlignmentsMatchNaiveCounts) {
  int seed = -4242;
  ran3(&seed);
  int idum = 1;
  for (int rep = 0; rep < 24; ++rep) {
    const bool rflp = rep % 3 == 2;
    SampleBuilder b(rflp ? RFLP : DNA, '\0');
    const auto data =
        rflp ? random_alignment(idum, "0101-?", 6) : random_alignment(idum, "ACGTACGTACGT-?", 14);
    PopulDNA dna;
    PopulRFLP rf;
    Population& pop = rflp ? static_cast<Population&>(rf) : dna;
    for (const auto& [seq, c] : data) b.add(pop, seq, c);
    settings s;
    s.AllowedLevelOfMissingData = 0.2;
    rflp ? rf.compare_RFLP_haplotypes(s) : dna.compare_DNA_sequences(s);
    rflp ? rf.compute_molecular_diversity(s) : dna.compute_molecular_diversity(s);
    int S = 0, indels = 0, usable = 0, poly = 0;
    for (int i = 0; i < 60; ++i) {
      std::set<char> states;
      bool gap = false;
      double miss = 0;
      for (const auto& [seq, c] : data) {
        miss += seq[i] == '?' ? c : 0;
        gap = gap || seq[i] == '-';
        if (rflp ? seq[i] == '0' || seq[i] == '1' : is_base(seq[i])) states.insert(seq[i]);
      }
      const bool use = miss / pop.sample_size <= 0.2 && !states.empty();
      EXPECT_EQ(pop.locus_usable[i], use ? 1 : 0) << "site " << i;
      if (!use) continue;
      ++usable;
      S += states.size() > 1;
      indels += gap;
      poly += states.size() > 1 || gap;
    }
    EXPECT_EQ(pop.num_usable_loci, usable);
    EXPECT_EQ(rflp ? pop.num_rflp_poly_sites : pop.num_subst_sites, S);
    EXPECT_EQ(pop.num_indel_sites, indels);
    EXPECT_EQ(pop.num_usable_poly_loci, poly);
    std::vector<std::string> copies;
    for (const auto& [seq, c] : data) copies.insert(copies.end(), c, seq);
    double sum = 0;
    for (size_t x = 0; x < copies.size(); ++x)
      for (size_t y = x + 1; y < copies.size(); ++y)
        for (size_t i = 0; i < 60; ++i) {
          const char a = copies[x][i], c = copies[y][i];
          sum += pop.locus_usable[i] && a != c && a != '?' && c != '?';  // a gap is a difference
        }
    const double pairs = copies.size() * (copies.size() - 1) / 2.0;
    EXPECT_NEAR(pop.mean_pair_diff, sum / pairs, 1e-12) << "rep " << rep;
    if (!rflp) {
      EXPECT_NEAR(pop.nucl_diversity, sum / pairs / usable, 1e-12);
    }
  }
}
