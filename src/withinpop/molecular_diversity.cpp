// Sequence polymorphism of a sample: which sites are usable and polymorphic, the
// kinds of difference at each site (DNA and RFLP data), and the molecular
// diversity indices built on them: S, private substitution sites, the mean
// number of pairwise differences pi (per sequence and per site), theta(S),
// theta(pi) and theta(k).
//
// Sites are evaluated in one pass over the distinct haplotypes' characters,
// haplotype by haplotype, into flat per-site arrays: a long alignment of many
// haplotypes costs one read per character and a few bytes per site.
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "base/errors.h"
#include "globals.h"
#include "model/population.h"
#include "model/samples.h"
#include "settings/settings.h"
#include "withinpop/ewens.h"
#include "withinpop/special_functions.h"

namespace {

// Bit of a plain base in the high nibble of a site's difference byte.
std::uint8_t base_bit(char c) {
  switch (c) {
    case 'A':
      return 0x10;
    case 'C':
      return 0x20;
    case 'G':
      return 0x40;
    case 'T':
      return 0x80;
    default:
      return 0;
  }
}

// The characters a DNA site can hold; each has a bit in a site's set of
// characters met. Any other character is not comparable with a base.
constexpr char kAlphabet[] = "ACGT-RYMKSWHBVDN0123";
constexpr int kAlphabetSize = static_cast<int>(sizeof(kAlphabet)) - 1;
constexpr std::uint32_t kPlainBases = 0xF;  // A, C, G, T

const std::array<std::uint32_t, 256>& alphabet_bits() {
  static const std::array<std::uint32_t, 256> bits = [] {
    std::array<std::uint32_t, 256> t{};
    for (int b = 0; b < kAlphabetSize; ++b) t[static_cast<unsigned char>(kAlphabet[b])] = 1U << b;
    return t;
  }();
  return bits;
}

// Number of plain bases recorded in the high nibble.
int bases_in(std::uint8_t diff) {
  int count = 0;
  for (unsigned bits = diff >> 4U; bits != 0; bits >>= 1U) count += static_cast<int>(bits & 1U);
  return count;
}

// Length of the sites of a sample: the longest haplotype content (a shorter one
// is read as missing beyond its end).
int site_count(const MY_TIArrayAsVector<PHaploDef>& haplotypes) {
  size_t len = 0;
  for (const PHaploDef* h : haplotypes) {
    if (h != nullptr && h->hap != nullptr && h->hap->content.size() > len)
      len = h->hap->content.size();
  }
  return static_cast<int>(len);
}

// The sites of a sample that are read haplotype by haplotype, and the gene
// copies with missing data at each (a haplotype shorter than L is missing
// beyond its end). Index t of the arrays stands for site sites[t].
struct ExaminedSites {
  std::vector<int> sites;
  std::vector<double> missing_copies;
};

// The sites below L to examine: all of them, except within a pass whose
// variable sites are known (`restricted`): a site outside them holds one
// character in every haplotype, the character of the first haplotype's content
// there. Each run [begin, end) of such sites is handed to
// invariant(begin, end, content, copies), with the sample's gene copies.
template <class Invariant>
ExaminedSites examined_sites(const MY_TIArrayAsVector<PHaploDef>& haplotypes, int L,
                             bool restricted, Invariant invariant) {
  const size_t num_sites = static_cast<size_t>(L);
  ExaminedSites ex;
  if (!restricted || !PopGenetics::pass_sites_restricted ||
      haplotypes.GetItemsInContainer() == 0) {
    ex.sites.resize(num_sites);
    for (size_t i = 0; i < num_sites; ++i) ex.sites[i] = static_cast<int>(i);
  } else {
    double all_copies = 0.0;  // a sum of whole numbers: exact in any order
    for (const PHaploDef* h : haplotypes) all_copies += h->count;
    // A site beyond the first content's end varies in the pass.
    const std::string& first = haplotypes[0]->hap->content;
    size_t i = 0;
    for (const int v : PopGenetics::pass_variable_sites) {
      const size_t stop = std::min(static_cast<size_t>(v), num_sites);
      if (i < stop) invariant(i, stop, first, all_copies);
      if (stop == num_sites) break;
      ex.sites.push_back(v);
      i = stop + 1;
    }
    if (i < num_sites) invariant(i, num_sites, first, all_copies);
  }
  ex.missing_copies.assign(ex.sites.size(), 0.0);
  return ex;
}

// Reads the examined sites haplotype by haplotype: calls visit(t, c) for each
// non-missing character c at site sites[t] and counts the missing ones.
template <class Visit>
void read_examined_sites(const MY_TIArrayAsVector<PHaploDef>& haplotypes, char missing,
                         ExaminedSites& ex, Visit visit) {
  const size_t examined = ex.sites.size();
  for (const PHaploDef* h : haplotypes) {
    const std::string& seq = h->hap->content;
    const double copies = h->count;
    for (size_t t = 0; t < examined; ++t) {
      const size_t i = static_cast<size_t>(ex.sites[t]);
      const char c = i < seq.size() ? seq[i] : missing;
      if (c == missing)
        ex.missing_copies[t] += copies;
      else
        visit(t, c);
    }
  }
}

void mark_global_subst_site(int site) {
  std::vector<int>& global = PopGenetics::globalSubstPolymSites;
  if (static_cast<int>(global.size()) <= site) global.resize(static_cast<size_t>(site) + 1, 0);
  global[static_cast<size_t>(site)] = 1;
}

}  // namespace

void PopGenetics::reset_site_counters(int num_sites) {
  const size_t L = static_cast<size_t>(num_sites < 0 ? 0 : num_sites);
  num_loci = static_cast<int>(L);
  missing_fraction.assign(L, 0.0);
  locus_usable.assign(L, 0);
  usable_from_pass = false;
  locus_polymorphic.assign(L, 0);
  site_diff.assign(L, 0);
  site_counted.assign(L, 0);
  num_usable_loci = num_usable_poly_loci = 0;
  num_transitions = num_transversions = num_substitutions = num_indels = 0;
  num_transition_sites = num_transversion_sites = num_subst_sites = num_indel_sites = 0;
  num_rflp_poly_sites = 0;
}

// ---------------------------------------------------------------------------
// DNA sites.
// ---------------------------------------------------------------------------

// Each site is compared with a reference character: the first plain base (A,
// C, G, T) met in haplotype order, or, at a site without one, the first
// non-missing character. The pass over the haplotypes only records which
// characters occur at each site; every character that occurs is then
// classified against the reference (compare_nucleotides), so the result does
// not depend on which haplotype comes first.
void PopulDNA::compare_DNA_sequences(const settings& s) {
  allowed_missing = s.AllowedLevelOfMissingData;
  const int L = site_count(haplotypes);
  reset_site_counters(L);
  if (L == 0) return;

  const char missing = profile.MissingData;
  const double n = gene_copies();
  const auto& bit_of = alphabet_bits();
  // A site with one character in every haplotype: usable unless that character
  // is missing or a gap, and never polymorphic.
  // Sites with one character in every haplotype: usable unless that character
  // is missing or a gap (a gap against nothing carries no information), and
  // never polymorphic; no copy is missing unless the character is.
  const auto invariant = [&](size_t begin, size_t end, const std::string& content,
                             double copies) {
    const char* c = content.data();
    std::uint8_t* usable = locus_usable.data();
    bool any_missing = false;
    int count = 0;
    const bool allowed = !(0.0 > allowed_missing);
    for (size_t i = begin; i < end; ++i) {
      const bool u = allowed & (c[i] != missing) & (c[i] != '-');
      usable[i] = u;
      count += u;
      any_missing |= c[i] == missing;
    }
    num_usable_loci += count;
    if (!any_missing || !(n > 0)) return;
    for (size_t i = begin; i < end; ++i)
      if (c[i] == missing) missing_fraction[i] = copies / n;
  };
  // Within a pass, the sites outside its variable sites of a sample that spans
  // the pass take their flags from the pass: the same as the loop above gives.
  const PassInvariantSites& inv = pass_invariant;
  const bool from_pass = pass_sites_restricted && num_haplotypes() > 0 &&
                         inv.length == static_cast<size_t>(L) && inv.missing == missing &&
                         !(0.0 > allowed_missing);
  if (from_pass) {
    std::copy(inv.usable.begin(), inv.usable.end(), locus_usable.begin());
    num_usable_loci += inv.num_usable;
    usable_from_pass = true;
    if (n > 0 && !inv.missing_sites.empty()) {
      double all_copies = 0.0;  // as examined_sites sums them
      for (const PHaploDef* h : haplotypes) all_copies += h->count;
      for (const int i : inv.missing_sites) missing_fraction[static_cast<size_t>(i)] = all_copies / n;
    }
  }
  ExaminedSites ex =
      from_pass
          ? examined_sites(haplotypes, L, true, [](size_t, size_t, const std::string&, double) {})
          : examined_sites(haplotypes, L, true, invariant);
  std::vector<char> reference(ex.sites.size(), missing);
  std::vector<std::uint32_t> present(ex.sites.size(), 0);
  read_examined_sites(haplotypes, missing, ex, [&](size_t t, char c) {
    const std::uint32_t bit = bit_of[static_cast<unsigned char>(c)];
    present[t] |= bit;
    char& ref = reference[t];
    if (ref == missing ||
        ((bit & kPlainBases) && !(bit_of[static_cast<unsigned char>(ref)] & kPlainBases)))
      ref = c;
  });
  const size_t examined = ex.sites.size();
  for (size_t t = 0; t < examined; ++t) {
    const std::uint32_t others = present[t] & ~bit_of[static_cast<unsigned char>(reference[t])];
    if (others == 0) continue;  // one character at the site
    const size_t i = static_cast<size_t>(ex.sites[t]);
    for (int b = 0; b < kAlphabetSize; ++b) {
      if (!(others & (1U << b))) continue;
      const char c = kAlphabet[b];
      if (c == missing) continue;
      switch (compare_nucleotides(reference[t], c)) {
        case 1:
          site_diff[i] |= kSiteTransition;
          break;
        case 2:
          site_diff[i] |= kSiteTransversion | base_bit(c);
          break;
        case 3:
          site_diff[i] |= kSiteIndel;
          break;
        case 4:
          site_diff[i] |= kSiteAmbiguity;
          break;
        default:
          break;
      }
    }
  }

  const bool count_ts = s.TransitionWeight > 0;
  const bool count_tv = s.TranversionWeight > 0;
  const bool count_del = s.DeletionWeight > 0;
  for (size_t t = 0; t < examined; ++t) {
    const size_t i = static_cast<size_t>(ex.sites[t]);
    if (n > 0) missing_fraction[i] = ex.missing_copies[t] / n;
    if (reference[t] == missing || missing_fraction[i] > allowed_missing) continue;
    const std::uint8_t diff = site_diff[i];
    // A site of gaps only (no base against the gap) carries no information.
    if (reference[t] == '-' && !(diff & kSiteIndel)) continue;
    locus_usable[i] = 1;
    ++num_usable_loci;

    bool polymorphic = false;
    std::uint8_t counted = 0;
    if ((diff & kSiteIndel) && count_del) {
      ++num_indel_sites;
      ++num_indels;
      polymorphic = true;
      counted |= kCountedIndel;
    }
    if ((diff & kSiteTransition) && count_ts) {
      ++num_transition_sites;
      ++num_transitions;
      ++num_subst_sites;
      ++num_substitutions;
      polymorphic = true;
      counted |= kCountedTransition;
    }
    if ((diff & kSiteTransversion) && count_tv) {
      ++num_transversion_sites;
      ++num_transversions;
      ++num_substitutions;
      polymorphic = true;
      // Two bases that are both transversions of the reference (A against C
      // and T) differ from each other by a transition.
      if (bases_in(diff) > 1 && count_ts) {
        ++num_transitions;
        ++num_substitutions;
      }
      if (!(counted & kCountedTransition)) ++num_subst_sites;
      counted |= kCountedTransversion;
    }
    if ((diff & kSiteAmbiguity) && !(diff & (kSiteTransition | kSiteTransversion)) &&
        (count_ts || count_tv)) {
      ++num_subst_sites;
      ++num_substitutions;
      polymorphic = true;
      counted |= kCountedAmbiguity;
    }
    site_counted[i] = counted;
    if (counted & (kCountedTransition | kCountedTransversion | kCountedAmbiguity))
      mark_global_subst_site(static_cast<int>(i));
    if (polymorphic) {
      locus_polymorphic[i] = 1;
      ++num_usable_poly_loci;
    }
  }
}

// ---------------------------------------------------------------------------
// RFLP sites.
// ---------------------------------------------------------------------------

// A site is polymorphic when two non-missing, non-gap states differ; it is an
// indel site when a gap meets a state.
void PopulRFLP::compare_RFLP_haplotypes(const settings& s) {
  allowed_missing = s.AllowedLevelOfMissingData;
  const int L = site_count(haplotypes);
  reset_site_counters(L);
  if (L == 0) return;

  const char missing = profile.MissingData;
  constexpr std::uint8_t kGap = 1, kState = 2, kStatesDiffer = 4;
  std::vector<char> first_state(static_cast<size_t>(L), missing);
  std::vector<std::uint8_t> seen(static_cast<size_t>(L), 0);
  // Every site is read (the pass's variable sites are known for DNA only).
  ExaminedSites ex =
      examined_sites(haplotypes, L, false, [](size_t, size_t, const std::string&, double) {});
  read_examined_sites(haplotypes, missing, ex, [&](size_t i, char c) {
    if (c == '-') {
      seen[i] |= kGap;
    } else if (first_state[i] == missing) {
      first_state[i] = c;
      seen[i] |= kState;
    } else if (c != first_state[i]) {
      seen[i] |= kStatesDiffer;
    }
  });

  const double n = gene_copies();
  for (size_t i = 0; i < static_cast<size_t>(L); ++i) {
    if (n > 0) missing_fraction[i] = ex.missing_copies[i] / n;
    const std::uint8_t f = seen[i];
    if (f == 0 || missing_fraction[i] > allowed_missing) continue;  // all missing or too many
    const bool indel = (f & kGap) && (f & kState);
    if (!(f & kState)) continue;  // gaps only
    locus_usable[i] = 1;
    ++num_usable_loci;
    std::uint8_t counted = 0;
    if (f & kStatesDiffer) {
      ++num_rflp_poly_sites;
      counted |= kCountedTransition;  // the presence/absence change is the site's substitution
      mark_global_subst_site(static_cast<int>(i));
    }
    if (indel) {
      ++num_indel_sites;
      ++num_indels;
      counted |= kCountedIndel;
    }
    site_counted[i] = counted;
    if (counted) {
      locus_polymorphic[i] = 1;
      ++num_usable_poly_loci;
    }
  }
}

// ---------------------------------------------------------------------------
// Mean number of pairwise differences.
// ---------------------------------------------------------------------------

// pi (Tajima 1983; Nei 1987) with the variance of its sampling and stochastic
// process, and its value per site. n < 2 or no usable site gives 0 for all four.
void PopGenetics::set_pairwise_diversity(double pair_sum, double n, int L) {
  mean_pair_diff = mean_pair_diff_sd = nucl_diversity = nucl_diversity_sd = 0.0;
  if (!(n > 1) || L <= 0) return;
  const double pi = pair_sum / (n * (n - 1) / 2);
  const double var_pi =
      (3 * n * (n + 1) * pi + 2 * (n * n + n + 3) * pi * pi) / (11 * n * n - 7 * n + 6);
  mean_pair_diff = pi;
  mean_pair_diff_sd = var_pi > 0 ? std::sqrt(var_pi) : 0.0;
  const double pis = pi / L;
  const double var_pis =
      (n + 1) * pis / (3 * (n - 1) * L) + 2 * (n * n + n + 3) * pis * pis / (9 * n * (n - 1));
  nucl_diversity = pis;
  nucl_diversity_sd = var_pis > 0 ? std::sqrt(var_pis) : 0.0;
}

namespace {

// Sum over pairs i > j of distinct haplotypes of c_i * c_j * d_ij, d_ij read
// below the diagonal of the matrix.
double weighted_pair_sum(const MY_TIArrayAsVector<PHaploDef>& haplotypes, const RectMat& dist) {
  const int nh = haplotypes.GetItemsInContainer();
  double sum = 0.0;
  for (int i = 1; i < nh; ++i) {
    const double ci = haplotypes[i]->count;
    for (int j = 0; j < i; ++j) sum += ci * haplotypes[j]->count * dist(i, j);
  }
  return sum;
}

}  // namespace

// The distances are computed per sequence (scaled by the usable sites for the
// per-site methods), so the sum over pairs needs no further scaling.
void PopulDNA::compute_molecular_diversity(settings& s) {
  set_pairwise_diversity(0.0, 0.0, 0);
  if (num_haplotypes() == 0) {
    E.error(Error, "PopulDNA::compute_molecular_diversity()", 108);
    return;
  }
  copy_distance_settings(s, false);  // DistanceMethod and GammaAValue
  if (!compute_distance_matrix(nullptr, s, true)) {
    E.error(Error, "PopulDNA::compute_molecular_diversity()", 136);
    return;
  }
  set_pairwise_diversity(weighted_pair_sum(haplotypes, dist_matrix), gene_copies(),
                         num_usable_loci);
}

// RFLP pi counts, over usable sites, the sites where two haplotypes carry
// different characters, neither missing (a gap against a state counts).
void PopulRFLP::compute_molecular_diversity(settings&) {
  set_pairwise_diversity(0.0, 0.0, 0);
  const int nh = num_haplotypes();
  if (nh == 0) {
    E.error(Error, "PopulRFLP::compute_molecular_diversity()", 108);
    return;
  }
  // Only the sites that vary in the sample can differ between two haplotypes.
  std::vector<int> varying;
  for (int i = 0; i < num_loci; ++i) {
    if (locus_usable[static_cast<size_t>(i)] && locus_polymorphic[static_cast<size_t>(i)])
      varying.push_back(i);
  }
  const char missing = profile.MissingData;
  auto at = [missing](const std::string& seq, int i) {
    return static_cast<size_t>(i) < seq.size() ? seq[static_cast<size_t>(i)] : missing;
  };
  double sum = 0.0;
  for (int a = 1; a < nh; ++a) {
    const std::string& sa = haplotypes[a]->hap->content;
    for (int b = 0; b < a; ++b) {
      const std::string& sb = haplotypes[b]->hap->content;
      int d = 0;
      for (const int i : varying) {
        const char x = at(sa, i), y = at(sb, i);
        if (x != y && x != missing && y != missing) ++d;
      }
      sum += static_cast<double>(haplotypes[a]->count) * haplotypes[b]->count * d;
    }
  }
  set_pairwise_diversity(sum, gene_copies(), num_usable_loci);
}

// ---------------------------------------------------------------------------
// Estimators of theta.
// ---------------------------------------------------------------------------

// theta(S) = S / a1 (Watterson 1975) with the standard deviation
// sqrt((S^2 a2 + S a1^2) / (a1^2 (a1^2 + a2))). n < 2 gives 0 and 0.
void PopGenetics::theta_S(double n, const int& S) {
  theta_s_value = theta_s_sd = 0.0;
  if (!(n > 1)) return;
  double a1 = 0.0, a2 = 0.0;
  harmonic_sums(std::floor(n) - 1, a1, a2);
  if (!(a1 > 0)) return;
  const double s = S;
  theta_s_value = s / a1;
  const double var = (s * s * a2 + s * a1 * a1) / (a1 * a1 * (a1 * a1 + a2));
  theta_s_sd = var > 0 ? std::sqrt(var) : 0.0;
}

double PopGenetics::gene_copies() const {
  if (!profile.GenotypicData) return sample_size;
  double copies = 0.0;
  for (const PHaploDef* h : haplotypes) {
    if (h != nullptr && h->count > 0) copies += h->count;
  }
  return copies > 0.0 ? copies : 2.0 * sample_size;
}

// theta(pi) = pi (Tajima 1983), with the standard deviation
// sqrt((n+1)/(3(n-1)) pi + 2(n^2+n+3)/(9n(n-1)) pi^2). n < 2 gives 0 and 0.
void PopGenetics::theta_pi(const double& pi) {
  theta_pi_value = theta_pi_sd = 0.0;
  const double n = std::floor(gene_copies());
  if (n < 2) return;
  theta_pi_value = pi;
  const double var =
      (n + 1) / (3 * (n - 1)) * pi + 2 * (n * n + n + 3) / (9 * n * (n - 1)) * pi * pi;
  theta_pi_sd = var > 0 ? std::sqrt(var) : 0.0;
}

// Expected number of alleles in a sample of n genes under the infinite-allele
// model (Ewens 1972): sum over i < n of theta / (theta + i).
double PopGenetics::k_est(const double& theta, const int& n) {
  if (n < 1) return 0.0;
  if (theta <= 0) return 1.0;
  // Beyond the loop's reach, the sum of a cost independent of n.
  if (n > kHarmonicLoopTerms) return ewens::expected_alleles(n, theta);
  double e = 0.0;
  for (int i = 0; i < n; ++i) e += theta / (theta + i);
  return e;
}

// theta(k): the theta whose expected number of alleles equals the observed k,
// by bracketing and bisection to the given width (1e-7 when not above 0).
// k < 2 gives 0. When k is not below n no finite theta exists; the search then
// stops at the largest bracket it reaches.
void PopGenetics::theta_k(const int& n, const int& k, const double& precision) {
  theta_k_value = 0.0;
  if (k < 2) return;
  const double width = precision > 0 ? precision : 1e-7;
  constexpr int kMaxRounds = 10001;
  double low = 0.1, high = 10.0;
  for (int r = 0; r < kMaxRounds && k_est(low, n) > k; ++r) low /= 10;
  for (int r = 0; r < kMaxRounds && k_est(high, n) < k && std::isfinite(high * 10); ++r) high *= 10;
  double mid = (low + high) / 2;
  for (int r = 0; r < kMaxRounds && high - low >= width; ++r) {
    mid = (low + high) / 2;
    if (mid <= low || mid >= high) break;  // no double lies between the bounds
    if (k_est(mid, n) < k)
      low = mid;
    else
      high = mid;
  }
  theta_k_value = (low + high) / 2;
}

// ---------------------------------------------------------------------------
// Private substitution sites.
// ---------------------------------------------------------------------------

// A substitution site is private to a sample when it is a transition or
// transversion site of that sample and of no other. Sites flagged in the
// process-wide list by an earlier pass are harmless: a site is only counted
// from the samples' own flags.
void Samples::computeNumPrivateSubstSitesPerPop(settings& s) {
  if (ProfileSettings::DataType != DNA || size() == 0 || !(s.TransitionWeight > 0)) return;
  const int np = size();
  for (int p = 0; p < np; ++p) pops[p]->num_private_subst_sites = 0;
  const std::vector<int>& global = PopGenetics::globalSubstPolymSites;
  constexpr std::uint8_t kSubst =
      PopGenetics::kCountedTransition | PopGenetics::kCountedTransversion;
  for (size_t site = 0; site < global.size(); ++site) {
    if (!global[site]) continue;
    int holders = 0;
    Population* holder = nullptr;
    for (int p = 0; p < np && holders < 2; ++p) {
      const std::vector<std::uint8_t>& counted = pops[p]->site_counted;
      if (site < counted.size() && (counted[site] & kSubst)) {
        ++holders;
        holder = pops[p];
      }
    }
    if (holders == 1) ++holder->num_private_subst_sites;
  }
}
