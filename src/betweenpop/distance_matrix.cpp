// Matrices of distances between the haplotypes of a sample, for every data type,
// the conventional matrix for F-statistics from frequencies, and the project's
// matrix over its distinct haplotypes for AMOVA.
//
// DNA and RFLP matrices cost O(n^2 x variable sites): the sites where the
// haplotypes differ are found once and packed into one flat byte array, the
// invariant usable sites are counted once by kind, and each pair walks only the
// packed sites. The per-site rules are those of the per-pair routines
// (distances.cpp), whose formulas the matrix reuses.
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <iomanip>
#include <limits>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "base/errors.h"
#include "betweenpop/allele_count_sums.h"
#include "betweenpop/distances.h"
#include "globals.h"
#include "model/population.h"
#include "model/project.h"
#include "settings/settings.h"
#include "text/byte_table.h"

namespace qnd_dist {

void allele_tokens(std::string_view content, std::vector<std::string_view>& tokens) {
  tokens.clear();
  const char sep = ProfileSettings::LocusSeparator;
  if (sep == '\0') {
    for (size_t i = 0; i < content.size(); ++i) tokens.push_back(content.substr(i, 1));
    return;
  }
  size_t i = 0;
  while (i < content.size()) {
    const size_t end = std::min(content.find(sep, i), content.size());
    if (end > i) tokens.push_back(content.substr(i, end - i));
    i = end + 1;
  }
}

std::vector<std::string_view> allele_tokens(std::string_view content) {
  std::vector<std::string_view> tokens;
  allele_tokens(content, tokens);
  return tokens;
}

size_t longest_content(const PopGenetics& pop) {
  size_t len = 0;
  for (const PHaploDef* h : pop.haplotypes) len = std::max(len, h->hap->content.size());
  return len;
}

static char site_char(const std::string& seq, size_t k, char missing) {
  return k < seq.size() ? seq[k] : missing;
}

VariableSites find_variable_sites(const PopGenetics& pop, size_t len, char missing,
                                  const std::vector<int>* candidates) {
  VariableSites vs;
  const int n = pop.num_haplotypes();
  vs.reference.assign(len, missing);
  if (n == 0) return vs;
  const std::string& first = pop.haplotypes[0]->hap->content;
  std::copy(first.begin(), first.begin() + static_cast<std::ptrdiff_t>(std::min(len, first.size())),
            vs.reference.begin());
  const char* ref = vs.reference.data();
  if (candidates != nullptr) {
    std::vector<size_t> sites;
    for (const int k : *candidates) {
      if (static_cast<size_t>(k) >= len) break;
      sites.push_back(static_cast<size_t>(k));
    }
    std::vector<std::uint8_t> varies(sites.size(), 0);
    for (int h = 1; h < n; ++h) {
      const std::string& seq = pop.haplotypes[h]->hap->content;
      for (size_t t = 0; t < sites.size(); ++t)
        varies[t] |= static_cast<std::uint8_t>(site_char(seq, sites[t], missing) != ref[sites[t]]);
    }
    for (size_t t = 0; t < sites.size(); ++t) {
      if (varies[t] && pop.site_usable(sites[t])) vs.sites.push_back(sites[t]);
    }
  } else {
    std::vector<std::uint8_t> varies(len, 0);
    std::uint8_t* v = varies.data();
    for (int h = 1; h < n; ++h) {
      const std::string& seq = pop.haplotypes[h]->hap->content;
      const size_t common = std::min(len, seq.size());
      const char* c = seq.data();
      // Branch-free so that the compiler can compare many sites at once.
      for (size_t k = 0; k < common; ++k) v[k] |= static_cast<std::uint8_t>(c[k] != ref[k]);
      for (size_t k = common; k < len; ++k) v[k] |= static_cast<std::uint8_t>(missing != ref[k]);
    }
    for (size_t k = 0; k < len; ++k) {
      if (varies[k] && pop.site_usable(k)) vs.sites.push_back(k);
    }
  }
  vs.packed.resize(static_cast<size_t>(n) * vs.sites.size());
  for (int h = 0; h < n; ++h) {
    const std::string& seq = pop.haplotypes[h]->hap->content;
    char* out = vs.packed.data() + static_cast<size_t>(h) * vs.sites.size();
    for (size_t t = 0; t < vs.sites.size(); ++t) out[t] = site_char(seq, vs.sites[t], missing);
  }
  return vs;
}

bool allele_value(std::string_view text, double& value) {
  if (!text.empty() && text.size() <= 9) {
    long whole = 0;
    bool digits = true;
    for (const char c : text) {
      if (c < '0' || c > '9') {
        digits = false;
        break;
      }
      whole = whole * 10 + (c - '0');
    }
    if (digits) {
      value = static_cast<double>(whole);
      return true;
    }
  }
  const std::string copy(text);
  char* end = nullptr;
  errno = 0;
  value = std::strtod(copy.c_str(), &end);
  return end != copy.c_str() && *end == '\0' && errno != ERANGE && std::isfinite(value);
}

namespace {

constexpr double kMissingMicrosat = -99999.0;

const char* const kDistanceLabels[9] = {"Pairwise difference",
                                        "Jukes and Cantor",
                                        "Kimura 2P",
                                        "Proportion of difference",
                                        "Tajima and Nei",
                                        "Tamura",
                                        "Tamura and Nei",
                                        "No. of different alleles (FST)",
                                        "Sum of squared size difference (RST)"};

int count_usable(const PopGenetics& pop, size_t len) {
  int n = 0;
  for (size_t k = 0; k < len; ++k) n += pop.site_usable(k) ? 1 : 0;
  return n;
}

void write_matrix(std::ostream& out, const RectMat& m) {
  const std::ios::fmtflags flags = out.flags();
  const std::streamsize precision = out.precision();
  out << "\nInter-haplotypic distance matrix:\n" << std::fixed << std::setprecision(4);
  for (int i = 0; i < m.rows(); ++i) {
    for (int j = 0; j < m.cols(); ++j) out << std::setw(8) << m(i, j);
    out << '\n';
  }
  out.flags(flags);
  out.precision(precision);
}

// The whole part of a distance for the largest distance kept, clamped to the
// int range (a distance can be huge or infinite for absurd allele sizes).
int whole_part(double d) {
  if (!(d > -2147483648.0)) return std::numeric_limits<int>::min();
  if (!(d < 2147483647.0)) return std::numeric_limits<int>::max();
  return static_cast<int>(d);
}

// Opens a matrix computation: the square matrix of zeros and the message.
void begin_matrix(PopGenetics& pop) {
  const int n = pop.num_haplotypes();
  if (pop.lower_target)
    pop.lower_target->resize(n);
  else
    pop.dist_matrix.resize(n, n);
  pop.largest_distance = 0;
  *_AOS_ << "\t\t\tBeginning distance computations ...\n";
}

// Stores one pair: distance below the diagonal, standard deviation above.
void store_pair(PopGenetics& pop, int i, int j, double scale) {
  const double d = pop.dist_d * scale;
  if (pop.lower_target) {
    pop.lower_target->row(i)[j] = d;
  } else {
    pop.dist_matrix(i, j) = d;
    pop.dist_matrix(j, i) = pop.dist_v > 0 ? std::sqrt(pop.dist_v) * scale : 0.0;
  }
  pop.largest_distance = std::max(pop.largest_distance, whole_part(d));
}

void end_matrix(PopGenetics& pop, std::ostream* out, std::clock_t start) {
  const double ms = 1000.0 * static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
  *_AOS_ << "\t\t\tdone ! (" << static_cast<long>(ms) << " ms)\n";
  if (out && !pop.lower_target) {
    *_AOS_ << "\t\t\tWriting matrix to file ...\n";
    write_matrix(*out, pop.dist_matrix);
  }
}

// The allele texts of every haplotype, and the largest number of loci.
std::vector<std::vector<std::string_view>> haplotype_tokens(const PopGenetics& pop,
                                                            size_t& num_loci) {
  const size_t n = static_cast<size_t>(pop.num_haplotypes());
  std::vector<std::vector<std::string_view>> tokens(n);
  num_loci = 0;
  for (size_t h = 0; h < n; ++h) {
    allele_tokens(pop.haplotypes[static_cast<int>(h)]->hap->content, tokens[h]);
    num_loci = std::max(num_loci, tokens[h].size());
  }
  return tokens;
}

// Allele sizes at the usable loci, locus by locus (loci x n: the sizes of
// locus t are sizes[t * n .. t * n + n - 1]); missing alleles take the marker
// value. False when an allele is not a finite number.
bool read_allele_sizes(const PopGenetics& pop,
                       const std::vector<std::vector<std::string_view>>& tokens, size_t num_loci,
                       std::vector<double>& sizes, int& loci) {
  const std::string missing(1, pop.profile.MissingData);
  const size_t n = tokens.size();
  std::vector<size_t> usable;
  for (size_t k = 0; k < num_loci; ++k) {
    if (pop.site_usable(k)) usable.push_back(k);
  }
  loci = static_cast<int>(usable.size());
  sizes.assign(n * usable.size(), kMissingMicrosat);
  for (size_t h = 0; h < n; ++h) {
    for (size_t t = 0; t < usable.size(); ++t) {
      if (usable[t] >= tokens[h].size() || tokens[h][usable[t]] == missing) continue;
      if (!allele_value(tokens[h][usable[t]], sizes[t * n + h])) return false;
    }
  }
  return true;
}

// Whether every distance of the microsatellite matrix can be summed in 32-bit
// integers: every size a whole number and the largest possible distance,
// loci x (largest size difference)^2, below 2^31. Then the integer sums equal
// the double sums exactly (every partial sum is a whole number far below 2^53).
bool integer_sizes(const std::vector<double>& sizes, int loci) {
  double low = 0.0, high = 0.0;
  bool any = false;
  for (const double v : sizes) {
    if (v == kMissingMicrosat) continue;
    if (v != std::floor(v) || std::fabs(v) > 1e6) return false;
    low = any ? std::min(low, v) : v;
    high = any ? std::max(high, v) : v;
    any = true;
  }
  const double span = high - low;
  return static_cast<double>(loci) * span * span < 2147483648.0;
}

// Distances from haplotype i to haplotypes 0 .. i-1, summed locus by locus in
// locus order, into d[0 .. i-1]. Loci where either allele is missing are
// skipped. T is the type of the sums (int32_t when integer_sizes holds).
template <typename T>
void microsat_row(const std::vector<T>& sizes, const std::vector<T>& present, size_t n, int loci,
                  bool squared, size_t i, T* d) {
  std::fill(d, d + i, T(0));
  for (int t = 0; t < loci; ++t) {
    const T* col = sizes.data() + static_cast<size_t>(t) * n;
    const T* ok = present.data() + static_cast<size_t>(t) * n;
    if (ok[i] == T(0)) continue;
    const T a = col[i];
    // Two plain loops (no method test inside) that the compiler vectorises; a
    // missing allele adds nothing (ok[j] is 1 or 0, and adding 0 leaves a sum
    // of squares unchanged).
    if (squared) {
      for (size_t j = 0; j < i; ++j) {
        const T diff = a - col[j];
        const T square = diff * diff;
        const T present_j = ok[j];
        d[j] += present_j != T(0) ? square : T(0);
      }
    } else {
      for (size_t j = 0; j < i; ++j) d[j] += static_cast<T>(a != col[j]) * ok[j];
    }
  }
}

template <typename T>
void fill_microsat_matrix(PopGenetics& pop, const std::vector<double>& column_sizes, int loci,
                          bool squared) {
  const size_t n = static_cast<size_t>(pop.num_haplotypes());
  // A missing allele takes a size met elsewhere, so that differences computed
  // (and then discarded) with it stay within the range of the real ones.
  T filler = T(0);
  for (const double v : column_sizes) {
    if (v != kMissingMicrosat) {
      filler = static_cast<T>(v);
      break;
    }
  }
  std::vector<T> sizes(column_sizes.size()), present(column_sizes.size());
  for (size_t c = 0; c < column_sizes.size(); ++c) {
    const bool missing = column_sizes[c] == kMissingMicrosat;
    sizes[c] = missing ? filler : static_cast<T>(column_sizes[c]);
    present[c] = missing ? T(0) : T(1);
  }
  std::vector<T> row(n);
  for (size_t i = 1; i < n; ++i) {
    microsat_row(sizes, present, n, loci, squared, i, row.data());
    if (pop.lower_target) {
      // The same cells and largest distance as store_pair, without a call per
      // pair: there is no standard deviation to keep.
      double* cells = pop.lower_target->row(static_cast<int>(i));
      int largest = pop.largest_distance;
      for (size_t j = 0; j < i; ++j) {
        cells[j] = static_cast<double>(row[j]);
        largest = std::max(largest, whole_part(cells[j]));
      }
      pop.largest_distance = largest;
      continue;
    }
    for (size_t j = 0; j < i; ++j) {
      pop.dist_d = static_cast<double>(row[j]);
      pop.dist_v = 0.0;
      store_pair(pop, static_cast<int>(i), static_cast<int>(j), 1.0);
    }
  }
}

}  // namespace

const char* distance_label(TDataType type, int method) {
  switch (type) {
    case DNA:
      return kDistanceLabels[method >= 0 && method <= 6 ? method : 0];
    case RFLP:
      return kDistanceLabels[method == 1 ? 3 : 0];
    case MICROSAT:
      return kDistanceLabels[method == 1 ? 8 : 7];
    default:
      return "Pairwise differences";
  }
}

}  // namespace qnd_dist

void fill_distance_names() {
  for (int i = 0; i < 9; ++i) {
    std::memset(DistanceNames[i], 0, sizeof DistanceNames[i]);
    std::strncpy(DistanceNames[i], qnd_dist::kDistanceLabels[i], sizeof DistanceNames[i] - 1);
  }
}

using namespace qnd_dist;

// ---------------------------------------------------------------------------
// Settings and the usable-site mask.
// ---------------------------------------------------------------------------

void PopGenetics::copy_distance_settings(const settings& s, bool amova) {
  dist_method = amova ? s.DistanceMethodAMOVA : s.DistanceMethod;
  gamma_a = amova ? s.GammaAValueAMOVA : s.GammaAValue;
  w_ts = s.TransitionWeight;
  w_tv = s.TranversionWeight;
  w_del = s.DeletionWeight;
  allowed_missing = s.AllowedLevelOfMissingData;
}

void PopGenetics::evaluate_usable_mask() {
  usable_from_pass = false;
  const bool per_site = ProfileSettings::DataType == DNA || ProfileSettings::DataType == RFLP;
  const char m = profile.MissingData;
  const std::string missing_text(1, m);
  std::vector<double> missing;
  double copies = 0.0;
  std::vector<size_t> have;  // sites (loci) of each haplotype
  have.reserve(static_cast<size_t>(num_haplotypes()));
  std::vector<std::string_view> tokens;
  for (const PHaploDef* h : haplotypes) {
    const std::string& content = h->hap->content;
    copies += h->count;
    if (per_site) {
      if (missing.size() < content.size()) missing.resize(content.size(), 0.0);
      // Missing data are rare: jump from one to the next.
      const char* const begin = content.data();
      const char* const end = begin + content.size();
      for (const char* at = begin;
           (at = static_cast<const char*>(std::memchr(at, m, static_cast<size_t>(end - at)))) !=
           nullptr;
           ++at)
        missing[static_cast<size_t>(at - begin)] += h->count;
      have.push_back(content.size());
    } else {
      allele_tokens(content, tokens);
      if (missing.size() < tokens.size()) missing.resize(tokens.size(), 0.0);
      for (size_t k = 0; k < tokens.size(); ++k) {
        if (tokens[k] == missing_text) missing[k] += h->count;
      }
      have.push_back(tokens.size());
    }
  }
  // A haplotype shorter than the others lacks the sites beyond its end.
  for (size_t i = 0; i < have.size(); ++i) {
    for (size_t k = have[i]; k < missing.size(); ++k)
      missing[k] += haplotypes[static_cast<int>(i)]->count;
  }
  num_loci = static_cast<int>(missing.size());
  missing_fraction.assign(missing.size(), 0.0);
  locus_usable.assign(missing.size(), 0);
  num_usable_loci = 0;
  for (size_t k = 0; k < missing.size(); ++k) {
    missing_fraction[k] = copies > 0 ? missing[k] / copies : 0.0;
    locus_usable[k] = missing_fraction[k] <= allowed_missing ? 1 : 0;
    num_usable_loci += locus_usable[k];
  }
}

int PopGenetics::compute_amova_distance_matrix(settings& s) {
  allowed_missing = s.AllowedLevelOfMissingData;
  evaluate_usable_mask();
  conventional_computed = false;
  if (s.ComputeConventionalFST) return compute_dist_mat_for_conventional_FST();
  copy_distance_settings(s, true);
  Population* self = dynamic_cast<Population*>(this);
  if (!self) return 0;
  return self->compute_distance_matrix(nullptr, s, dist_method != 0);
}

int PopGenetics::compute_dist_mat_for_conventional_FST() {
  const int n = num_haplotypes();
  if (n == 0) {
    E.error(Error, "PopGenetics::compute_dist_mat_for_conventional_FST()", 108);
    return 0;
  }
  conventional_computed = true;
  if (ProfileSettings::DataType == FREQUENCY) {
    conventional_matrix.set_constant(2, 0.0, 1.0);
    return 1;
  }
  conventional_matrix.resize(n);
  const bool by_locus =
      ProfileSettings::DataType == MICROSAT || ProfileSettings::DataType == STANDARD;
  const std::string missing(1, profile.MissingData);
  std::vector<std::vector<std::string_view>> tokens;
  if (by_locus) {
    for (const PHaploDef* h : haplotypes) tokens.push_back(allele_tokens(h->hap->content));
  }
  for (int i = 1; i < n; ++i) {
    for (int j = 0; j < i; ++j) {
      double d = 1.0;
      if (by_locus) {
        d = 0.0;
        const size_t loci = std::min(tokens[i].size(), tokens[j].size());
        for (size_t k = 0; k < loci && d == 0.0; ++k) {
          const std::string_view a = tokens[i][k], b = tokens[j][k];
          if (site_usable(k) && a != b && a != missing && b != missing) d = 1.0;
        }
      }
      conventional_matrix.at(i, j) = d;
    }
  }
  return 1;
}

// ---------------------------------------------------------------------------
// The matrix of each data type.
// ---------------------------------------------------------------------------

int Population::compute_distance_matrix(std::ostream*, settings&, bool) { return 0; }

int PopulDNA::compute_distance_matrix(std::ostream* out, settings&, bool scale) {
  const std::clock_t start = std::clock();
  const int n = num_haplotypes();
  const char m = profile.MissingData;
  const size_t len = longest_content(*this);
  if (locus_usable.size() != len) evaluate_usable_mask();
  const int method = dist_method >= 0 && dist_method <= 6 ? dist_method : kPairwiseDifference;
  if (method == kTajimaNei || method == kTamura || method == kTamuraNei) comp_nucl_freq();
  const double factor = scale && method != kPairwiseDifference ? count_usable(*this, len) : 1.0;
  begin_matrix(*this);

  const CategoryTable& table = category_table_for(m);
  // Within a pass only the pass's variable sites can vary in the sample.
  const VariableSites vs = find_variable_sites(
      *this, len, m, pass_sites_restricted ? &pass_variable_sites : nullptr);
  // Invariant usable sites: the same character in every haplotype.
  SiteCounts invariant{};
  std::vector<std::uint8_t> variable(len, 0);
  for (size_t k : vs.sites) variable[k] = 1;
  const PassInvariantSites& inv = pass_invariant;
  if (pass_sites_restricted && usable_from_pass && inv.length == len && inv.missing == m) {
    // The usable sites outside the pass's variable sites, counted by character
    // for the pass; then those of the pass's variable sites that the sample
    // does not vary at.
    for (int c = 0; c < 256; ++c) {
      const int count = inv.usable_chars[static_cast<size_t>(c)];
      if (count != 0) invariant[table(static_cast<char>(c), static_cast<char>(c))] += count;
    }
    for (const int site : pass_variable_sites) {
      const size_t k = static_cast<size_t>(site);
      if (k >= len) break;
      if (!variable[k] && site_usable(k)) ++invariant[table(vs.reference[k], vs.reference[k])];
    }
  } else {
    for (size_t k = 0; k < len; ++k) {
      if (!variable[k] && site_usable(k)) ++invariant[table(vs.reference[k], vs.reference[k])];
    }
  }
  const std::uint8_t* cells = table.data();
  const size_t width = vs.width();
  for (int i = 1; i < n; ++i) {
    const unsigned char* a = reinterpret_cast<const unsigned char*>(vs.row(i));
    for (int j = 0; j < i; ++j) {
      const unsigned char* b = reinterpret_cast<const unsigned char*>(vs.row(j));
      // Two tallies in turn keep consecutive increments independent.
      SiteCounts c0 = invariant;
      SiteCounts c1{};
      size_t t = 0;
      for (; t + 1 < width; t += 2) {
        ++c0[cells[a[t] * 256u + b[t]]];
        ++c1[cells[a[t + 1] * 256u + b[t + 1]]];
      }
      if (t < width) ++c0[cells[a[t] * 256u + b[t]]];
      for (int k = 0; k < kNumCategories; ++k) c0[k] += c1[k];
      if (!finish_dna_distance(*this, method, c0)) {
        E.error(Error, "PopulDNA::compute_distance_matrix(ofstream)", 136);
        return 0;
      }
      store_pair(*this, i, j, factor);
    }
  }
  end_matrix(*this, out, start);
  return 1;
}

int PopulRFLP::compute_distance_matrix(std::ostream* out, settings&, bool scale) {
  const std::clock_t start = std::clock();
  const int n = num_haplotypes();
  const char m = profile.MissingData;
  const size_t len = longest_content(*this);
  if (locus_usable.size() != len) evaluate_usable_mask();
  const bool proportion = dist_method == 1;
  const double factor = scale && proportion ? count_usable(*this, len) : 1.0;
  begin_matrix(*this);
  const VariableSites vs = find_variable_sites(*this, len, m);
  std::vector<std::uint8_t> variable(len, 0);
  for (size_t k : vs.sites) variable[k] = 1;
  int invariant_compared = 0;
  for (size_t k = 0; k < len; ++k) {
    if (!variable[k] && site_usable(k) && vs.reference[k] != m) ++invariant_compared;
  }
  const size_t width = vs.width();
  for (int i = 1; i < n; ++i) {
    const char* a = vs.row(i);
    for (int j = 0; j < i; ++j) {
      const char* b = vs.row(j);
      int diff = 0, compared = invariant_compared;
      for (size_t t = 0; t < width; ++t) {
        if (a[t] == m || b[t] == m) continue;
        ++compared;
        diff += a[t] != b[t] ? 1 : 0;
      }
      dist_v = 0.0;
      dist_L = compared;
      dist_num_diff = diff;
      dist_d = proportion ? (compared > 0 ? static_cast<double>(diff) / compared : 0.0) : diff;
      store_pair(*this, i, j, factor);
    }
  }
  end_matrix(*this, out, start);
  return 1;
}

int PopulMicrosat::compute_distance_matrix(std::ostream* out, settings&, bool) {
  const std::clock_t start = std::clock();
  size_t loci_count = 0;
  const std::vector<std::vector<std::string_view>> tokens = haplotype_tokens(*this, loci_count);
  if (locus_usable.size() != loci_count) evaluate_usable_mask();
  std::vector<double> sizes;
  int loci = 0;
  if (!read_allele_sizes(*this, tokens, loci_count, sizes, loci)) {
    E.error(Error, "PopulMicrosat::compute_distance_matrix(ofstream)", 136);
    return 0;
  }
  const bool squared = dist_method == 1;
  begin_matrix(*this);
  if (integer_sizes(sizes, loci))
    fill_microsat_matrix<std::int32_t>(*this, sizes, loci, squared);
  else
    fill_microsat_matrix<double>(*this, sizes, loci, squared);
  end_matrix(*this, out, start);
  return 1;
}

int PopulStandard::compute_distance_matrix(std::ostream* out, settings&, bool) {
  const std::clock_t start = std::clock();
  const int n = num_haplotypes();
  std::vector<std::vector<std::string_view>> tokens;
  size_t loci = 0;
  for (const PHaploDef* h : haplotypes) {
    tokens.push_back(allele_tokens(h->hap->content));
    loci = std::max(loci, tokens.back().size());
  }
  if (locus_usable.size() != loci) evaluate_usable_mask();
  const std::string missing(1, profile.MissingData);
  begin_matrix(*this);
  for (int i = 1; i < n; ++i) {
    for (int j = 0; j < i; ++j) {
      const size_t common = std::min(tokens[i].size(), tokens[j].size());
      int d = 0;
      for (size_t k = 0; k < common; ++k) {
        const std::string_view a = tokens[i][k], b = tokens[j][k];
        if (site_usable(k) && a != missing && b != missing && a != b) ++d;
      }
      dist_d = d;
      dist_v = 0.0;
      store_pair(*this, i, j, 1.0);
    }
  }
  end_matrix(*this, out, start);
  return 1;
}

// ---------------------------------------------------------------------------
// The project's matrix for AMOVA.
// ---------------------------------------------------------------------------

namespace {

// Writes numbers right-aligned in a field of width characters (wider values
// take their own width), as setw does for a stream with default flags, each
// followed by a tail of at most 4 characters. The lists run to thousands of
// loci, mostly consecutive: the digits are kept in a staging block, where the
// next number is one increment away, and each entry is copied out as a block
// of kEntryRoom bytes (the bytes after the returned end are scratch).
constexpr size_t kEntryRoom = 32;
class PaddedNumbers {
 public:
  PaddedNumbers() { std::memset(stage_, ' ', sizeof stage_); }

  template <size_t N>
  char* put(char* out, unsigned long long value, int width, const char (&tail)[N]) {
    static_assert(N >= 1 && N <= 5, "a tail of at most 4 characters");
    if (value == last_ + 1 && last_ != kNone)
      increment();
    else
      set(value);
    last_ = value;
    const int digits = static_cast<int>(stage_ + kDigitsEnd - first_);
    const int field = std::min(kDigitsEnd - 4, std::max(width, digits));
    std::memcpy(stage_ + kDigitsEnd, tail, N - 1);
    std::memcpy(out, stage_ + kDigitsEnd - field, kEntryRoom);
    return out + field + (N - 1);
  }

 private:
  static constexpr int kDigitsEnd = 24;  // room for 20 digits and 4 of padding before them
  static constexpr unsigned long long kNone = ~0ULL;

  void set(unsigned long long value) {
    static constexpr char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    std::memset(stage_, ' ', kDigitsEnd);
    first_ = stage_ + kDigitsEnd;
    while (value >= 100) {
      first_ -= 2;
      std::memcpy(first_, kPairs + 2 * (value % 100), 2);
      value /= 100;
    }
    if (value >= 10) {
      first_ -= 2;
      std::memcpy(first_, kPairs + 2 * value, 2);
    } else {
      *--first_ = static_cast<char>('0' + value);
    }
  }
  void increment() {
    char* p = stage_ + kDigitsEnd - 1;
    while (*p == '9') *p-- = '0';
    if (*p == ' ') {
      *p = '1';
      first_ = p;
    } else {
      ++*p;
    }
  }

  char stage_[kDigitsEnd + kEntryRoom];
  char* first_ = stage_ + kDigitsEnd;
  unsigned long long last_ = kNone;
};

// The list, fifteen loci a line. A long sequence has thousands of loci, so the
// text is built in one string and written once.
void print_locus_list(std::ostream& out, const std::vector<int>& loci) {
  if (loci.empty()) {
    out << "NONE";
    return;
  }
  const bool default_format =
      out.fill() == ' ' && !(out.flags() & std::ios::left) && !(out.flags() & std::ios::internal) &&
      (out.flags() & std::ios::basefield) == std::ios::dec && !(out.flags() & std::ios::showpos);
  if (!default_format) {
    for (size_t i = 0; i < loci.size(); ++i) {
      out << std::setw(4) << loci[i] << ", ";
      if ((i + 1) % 15 == 0) out << '\n';
    }
    return;
  }
  // Left uninitialised: every byte written out is put there first.
  const std::unique_ptr<char[]> text(new char[(loci.size() + 1) * kEntryRoom]);
  char* end = text.get();
  PaddedNumbers numbers;
  for (size_t i = 0; i < loci.size(); ++i) {
    const auto locus = static_cast<unsigned long long>(loci[i]);  // numbers from 1
    end = (i + 1) % 15 == 0 ? numbers.put(end, locus, 4, ", \n") : numbers.put(end, locus, 4, ", ");
  }
  out.write(text.get(), end - text.get());
}

// One line per locus: its number and its fraction of missing gene copies. Most
// fractions are 0, written directly; the others go through the stream's own
// formatting.
void write_missing_per_locus(std::ostream& file, const std::vector<double>& fractions) {
  file << "Locus#\tFreq. missing data\n";
  const std::unique_ptr<char[]> text(new char[(fractions.size() + 1) * kEntryRoom]);
  char* const begin = text.get();
  char* end = begin;
  PaddedNumbers numbers;
  for (size_t k = 0; k < fractions.size(); ++k) {
    if (fractions[k] == 0.0 && !std::signbit(fractions[k])) {
      end = numbers.put(end, k + 1, 0, "\t0\n");
      continue;
    }
    end = numbers.put(end, k + 1, 0, "\t");
    file.write(begin, end - begin);
    end = begin;
    file << fractions[k] << '\n';
  }
  file.write(begin, end - begin);
}

// Usable loci and missing data per locus, in the log and in
// "MissDataPerLocus.txt" of the result directory (never the working
// directory, so that concurrent runs of other projects cannot collide). The
// log text and the file's path are kept in log_text and file_path: a later pass
// on the same population repeats the text from there (repeat_usable_loci).
void report_usable_loci(const settings& s, const my_string& result_directory,
                        const Population& pop, std::string& log_text, std::string& file_path) {
  std::ostream& log = *_AOS_;
  std::ostringstream out;
  out.copyfmt(log);  // the log's number format
  std::vector<int> usable, unusable;
  for (size_t k = 0; k < pop.locus_usable.size(); ++k) {
    (pop.locus_usable[k] ? usable : unusable).push_back(static_cast<int>(k) + 1);
  }
  out << "\nNumber of usable loci for distance computation : " << pop.num_usable_loci
      << "\nAllowed level of missing data                  : " << s.AllowedLevelOfMissingData
      << "\n\nList of usable loci :\n";
  print_locus_list(out, usable);
  out << "\n\nList of loci with too much missing data :";
  print_locus_list(out, unusable);
  out << '\n';
  log_text = std::move(out).str();
  log.write(log_text.data(), static_cast<std::streamsize>(log_text.size()));
  file_path.clear();
  if (result_directory.length() == 0) return;
  const std::string path = std::string(result_directory.c_str()) + "MissDataPerLocus.txt";
  std::ofstream file(path);
  if (!file) return;
  write_missing_per_locus(file, pop.missing_fraction);
  file.close();
  if (file) file_path = path;
}

// The report of report_usable_loci again, from its kept text, when there is
// one: the file holds the same lines already when it was written to the same
// path. False when the report must be made anew.
bool repeat_usable_loci(const my_string& result_directory, const std::string& log_text,
                        const std::string& file_path) {
  const bool same_file = result_directory.length() == 0
                             ? file_path.empty()
                             : file_path == std::string(result_directory.c_str()) +
                                                "MissDataPerLocus.txt";
  if (log_text.empty() || !same_file) return false;
  _AOS_->write(log_text.data(), static_cast<std::streamsize>(log_text.size()));
  return true;
}

}  // namespace

namespace {

// A working population of the project's data type holding every listed
// haplotype with its pooled count.
std::unique_ptr<Population> working_population(const Haplo_DB& list, const ProfileSettings& profile,
                                               const std::vector<int>& copies) {
  const int n = list.size();
  Population base;
  base.profile = profile;
  double total = 0.0;
  for (int i = 0; i < n; ++i) {
    const int count = static_cast<size_t>(i) < copies.size() ? copies[static_cast<size_t>(i)] : 0;
    base.haplotypes.Add(new PHaploDef(list[i], count));
    total += count;
  }
  base.sample_size = total;
  return std::unique_ptr<Population>(make_population_for_type(ProfileSettings::DataType, base));
}

bool reports_usable_loci(const settings& s, const DistMat& distmat) {
  const bool amova = (s.TaskNumber & kTaskAmova) && (s.HaplAMOVA || s.LocByLocAMOVA);
  return !distmat.tri.is_constant() && (amova || (s.TaskNumber & kTaskPairwiseFst));
}

// Everything the project's matrix depends on, as one text.
std::string matrix_inputs(const Haplo_DB& list, const ProfileSettings& profile,
                          const std::vector<int>& copies, const settings& s, int method,
                          double alpha) {
  std::string key;
  auto add_number = [&key](double v) { key.append(reinterpret_cast<const char*>(&v), sizeof v); };
  add_number(method);
  add_number(alpha);
  add_number(s.TransitionWeight);
  add_number(s.TranversionWeight);
  add_number(s.DeletionWeight);
  add_number(s.AllowedLevelOfMissingData);
  add_number(s.ComputeConventionalFST);
  add_number(ProfileSettings::DataType);
  key += ProfileSettings::LocusSeparator;
  key += profile.MissingData;
  // Each haplotype by its object, its name, its length and a hash of its
  // content rather than the content itself, which can be megabytes per
  // haplotype (the matrix is dropped with the project, so objects of another
  // project never meet it).
  for (int i = 0; i < list.size(); ++i) {
    const HaploDef* h = list[i];
    add_number(static_cast<size_t>(i) < copies.size() ? copies[static_cast<size_t>(i)] : 0);
    key.append(reinterpret_cast<const char*>(&h), sizeof h);
    add_number(static_cast<double>(h->content.size()));
    const std::uint64_t content_hash = qnd_text::hash_text(h->content);
    key.append(reinterpret_cast<const char*>(&content_hash), sizeof content_hash);
    add_number(static_cast<double>(h->name.length()));
    key += h->name.c_str();
  }
  return key;
}

}  // namespace

int calc_haplotype_dist_matrix(const Haplo_DB& list, const ProfileSettings& profile,
                               const std::vector<int>& copies, settings& s,
                               const my_string& result_directory, DistMat& distmat, int method,
                               double alpha) {
  const int n = list.size();
  std::unique_ptr<Population> pop = working_population(list, profile, copies);

  const int saved_method = s.DistanceMethodAMOVA;
  const double saved_alpha = s.GammaAValueAMOVA;
  const int saved_task = s.TaskNumber;
  const int saved_infer = s.InferHaplotypeDefinitionFromDistanceMatrix;
  s.DistanceMethodAMOVA = method;
  s.GammaAValueAMOVA = alpha;
  s.TaskNumber = kTaskPairwiseDistances;
  s.InferHaplotypeDefinitionFromDistanceMatrix = 0;
  TriMat computed;
  pop->lower_target = &computed;
  const int ok = pop->compute_amova_distance_matrix(s);
  pop->lower_target = nullptr;
  s.DistanceMethodAMOVA = saved_method;
  s.GammaAValueAMOVA = saved_alpha;
  s.TaskNumber = saved_task;
  s.InferHaplotypeDefinitionFromDistanceMatrix = saved_infer;

  if (!ok || n == 0) {
    E.error(Error, "Project::calc_dist_matrix()", 136);
    return 0;
  }
  if (pop->conventional_computed) {
    distmat.tri = pop->conventional_matrix;
  } else {
    distmat.tri = std::move(computed);
  }
  distmat.size = n;
  distmat.computed_from.clear();
  distmat.labels.assign(static_cast<size_t>(n), my_string());
  for (int i = 0; i < n; ++i) distmat.labels[static_cast<size_t>(i)] = list[i]->name;

  distmat.usable_loci_log.clear();
  distmat.usable_loci_file.clear();
  if (reports_usable_loci(s, distmat))
    report_usable_loci(s, result_directory, *pop, distmat.usable_loci_log, distmat.usable_loci_file);
  return 1;
}

ListCountSums count_sums_over_list(const Haplo_DB& list, const ProfileSettings& profile,
                                   const std::vector<int>& copies, const settings& s, int method) {
  ListCountSums run;
  run.pop = working_population(list, profile, copies);
  run.pop->allowed_missing = s.AllowedLevelOfMissingData;
  run.pop->evaluate_usable_mask();
  run.sums = count_sums_for(*run.pop, s, method);
  return run;
}

void report_count_sums(const ListCountSums& run, const settings& s,
                       const my_string& result_directory) {
  *_AOS_ << "\t\t\tDistances summed from allele counts per site or locus: no distance matrix\n";
  const bool amova = (s.TaskNumber & kTaskAmova) && (s.HaplAMOVA || s.LocByLocAMOVA);
  if ((amova || (s.TaskNumber & kTaskPairwiseFst)) &&
      !repeat_usable_loci(result_directory, run.usable_loci_log, run.usable_loci_file))
    report_usable_loci(s, result_directory, *run.pop, run.usable_loci_log, run.usable_loci_file);
}

std::vector<int> pooled_copies(const Project& project) {
  // Copies of each haplotype pooled over the samples of the structure (over
  // all samples when the structure has no group): they weigh the missing data.
  std::unordered_map<const HaploDef*, int> pooled;
  auto add = [&pooled](const Population* pop) {
    for (const PHaploDef* e : pop->haplotypes) pooled[e->hap] += e->count;
  };
  if (project.current_structure->groups.empty()) {
    for (int i = 0; i < project.current_samples->size(); ++i) add((*project.current_samples)[i]);
  } else {
    for (const auto& group : project.current_structure->groups) {
      if (!group) continue;
      for (const Population* pop : *group) add(pop);
    }
  }
  std::vector<int> copies(static_cast<size_t>(project.haplotypes.size()), 0);
  for (int i = 0; i < project.haplotypes.size(); ++i) {
    const auto found = pooled.find(project.haplotypes[i]);
    if (found != pooled.end()) copies[static_cast<size_t>(i)] = found->second;
  }
  return copies;
}

std::shared_ptr<const ListCountSums> project_count_sums(Project& project, int method,
                                                        double alpha) {
  const std::vector<int> copies = pooled_copies(project);
  // The group pass and the population pass pool the same gene copies: the
  // second finds the sums of the first, as it finds the matrix.
  std::string inputs =
      matrix_inputs(project.haplotypes, project.profile, copies, project.s, method, alpha);
  DistMat& cache = project.distmat;
  if (cache.count_sums && cache.count_sums_from == inputs)
    return std::static_pointer_cast<const ListCountSums>(cache.count_sums);
  auto run = std::make_shared<ListCountSums>(
      count_sums_over_list(project.haplotypes, project.profile, copies, project.s, method));
  cache.count_sums = run;
  cache.count_sums_from = std::move(inputs);
  return run;
}

int Project::calc_dist_matrix(int method, double alpha) {
  const std::vector<int> copies = pooled_copies(*this);
  // The group pass and the population pass pool the same gene copies, so the
  // second request usually finds the matrix made by the first; only the
  // report on usable loci is made again.
  std::string inputs = matrix_inputs(haplotypes, profile, copies, s, method, alpha);
  if (!distmat.computed_from.empty() && distmat.computed_from == inputs) {
    // The log keeps the lines of a computation, so that it reads the same
    // whichever pass made the matrix.
    if (!distmat.tri.is_constant())
      *_AOS_ << "\t\t\tBeginning distance computations ...\n\t\t\tdone ! (0 ms)\n";
    if (reports_usable_loci(s, distmat) &&
        !repeat_usable_loci(result_directory, distmat.usable_loci_log, distmat.usable_loci_file)) {
      std::unique_ptr<Population> pop = working_population(haplotypes, profile, copies);
      pop->allowed_missing = s.AllowedLevelOfMissingData;
      pop->evaluate_usable_mask();
      report_usable_loci(s, result_directory, *pop, distmat.usable_loci_log,
                         distmat.usable_loci_file);
    }
    return 1;
  }
  if (!calc_haplotype_dist_matrix(haplotypes, profile, copies, s, result_directory, distmat, method,
                                  alpha))
    return 0;
  distmat.computed_from = std::move(inputs);
  return 1;
}
