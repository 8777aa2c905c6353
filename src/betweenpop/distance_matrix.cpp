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
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iomanip>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <unordered_map>

#include "betweenpop/distances.h"
#include "driver/errors.h"
#include "globals.h"
#include "model/population.h"
#include "model/project.h"
#include "settings/settings.h"

namespace qnd_dist {
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

// The allele texts of a haplotype, one per locus: tokens between locus
// separators, or one character per locus when the separator is NUL.
std::vector<std::string_view> allele_tokens(std::string_view content) {
  std::vector<std::string_view> tokens;
  const char sep = ProfileSettings::LocusSeparator;
  if (sep == '\0') {
    for (size_t i = 0; i < content.size(); ++i) tokens.push_back(content.substr(i, 1));
    return tokens;
  }
  size_t i = 0;
  while (i < content.size()) {
    const size_t end = std::min(content.find(sep, i), content.size());
    if (end > i) tokens.push_back(content.substr(i, end - i));
    i = end + 1;
  }
  return tokens;
}

// Sites of a set of sequences, as one padded byte string per haplotype view.
size_t longest_content(const PopGenetics& pop) {
  size_t len = 0;
  for (const PHaploDef* h : pop.haplotypes) len = std::max(len, h->hap->content.size());
  return len;
}

char site_char(const std::string& seq, size_t k, char missing) {
  return k < seq.size() ? seq[k] : missing;
}

// The usable sites where at least two haplotypes differ, packed per haplotype
// into one flat array (row h holds haplotype h's characters at those sites).
struct VariableSites {
  std::vector<size_t> sites;
  std::vector<char> packed;
  std::string reference;  // haplotype 0, padded to the common length
  size_t width() const { return sites.size(); }
  const char* row(int h) const { return packed.data() + static_cast<size_t>(h) * sites.size(); }
};

VariableSites find_variable_sites(const PopGenetics& pop, size_t len, char missing) {
  VariableSites vs;
  const int n = pop.num_haplotypes();
  vs.reference.assign(len, missing);
  if (n == 0) return vs;
  const std::string& first = pop.haplotypes[0]->hap->content;
  std::copy(first.begin(), first.begin() + static_cast<std::ptrdiff_t>(std::min(len, first.size())),
            vs.reference.begin());
  std::vector<std::uint8_t> varies(len, 0);
  const char* ref = vs.reference.data();
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
  vs.packed.resize(static_cast<size_t>(n) * vs.sites.size());
  for (int h = 0; h < n; ++h) {
    const std::string& seq = pop.haplotypes[h]->hap->content;
    char* out = vs.packed.data() + static_cast<size_t>(h) * vs.sites.size();
    for (size_t t = 0; t < vs.sites.size(); ++t) out[t] = site_char(seq, vs.sites[t], missing);
  }
  return vs;
}

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

// Opens a matrix computation: the square matrix of zeros and the message.
void begin_matrix(PopGenetics& pop) {
  const int n = pop.num_haplotypes();
  pop.dist_matrix.resize(n, n);
  pop.largest_distance = 0;
  *_AOS_ << "\t\t\tBeginning distance computations ...\n";
}

// Stores one pair: distance below the diagonal, standard deviation above.
void store_pair(PopGenetics& pop, int i, int j, double scale) {
  const double d = pop.dist_d * scale;
  pop.dist_matrix(i, j) = d;
  pop.dist_matrix(j, i) = pop.dist_v > 0 ? std::sqrt(pop.dist_v) * scale : 0.0;
  pop.largest_distance = std::max(pop.largest_distance, static_cast<int>(d));
}

void end_matrix(PopGenetics& pop, std::ostream* out, std::clock_t start) {
  const double ms = 1000.0 * static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
  *_AOS_ << "\t\t\tdone ! (" << static_cast<long>(ms) << " ms)\n";
  if (out) {
    *_AOS_ << "\t\t\tWriting matrix to file ...\n";
    write_matrix(*out, pop.dist_matrix);
  }
}

// Allele sizes of every haplotype at the usable loci (row-major, n x loci);
// missing alleles take the marker value. False when an allele is not a finite
// number.
bool read_allele_sizes(const PopGenetics& pop, std::vector<double>& sizes, int& loci) {
  const std::string missing(1, pop.profile.MissingData);
  const int n = pop.num_haplotypes();
  std::vector<size_t> usable;
  size_t num_loci = 0;
  for (int h = 0; h < n; ++h)
    num_loci = std::max(num_loci, allele_tokens(pop.haplotypes[h]->hap->content).size());
  for (size_t k = 0; k < num_loci; ++k) {
    if (pop.site_usable(k)) usable.push_back(k);
  }
  loci = static_cast<int>(usable.size());
  sizes.assign(static_cast<size_t>(n) * usable.size(), kMissingMicrosat);
  for (int h = 0; h < n; ++h) {
    const std::vector<std::string_view> tokens = allele_tokens(pop.haplotypes[h]->hap->content);
    for (size_t t = 0; t < usable.size(); ++t) {
      if (usable[t] >= tokens.size() || tokens[usable[t]] == missing) continue;
      const std::string text(tokens[usable[t]]);
      char* end = nullptr;
      errno = 0;
      const double value = std::strtod(text.c_str(), &end);
      if (end == text.c_str() || *end != '\0' || errno == ERANGE || !std::isfinite(value)) {
        return false;
      }
      sizes[static_cast<size_t>(h) * usable.size() + t] = value;
    }
  }
  return true;
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
  const bool per_site = ProfileSettings::DataType == DNA || ProfileSettings::DataType == RFLP;
  const char m = profile.MissingData;
  const std::string missing_text(1, m);
  std::vector<double> missing;
  double copies = 0.0;
  for (const PHaploDef* h : haplotypes) {
    const std::string& content = h->hap->content;
    copies += h->count;
    if (per_site) {
      if (missing.size() < content.size()) missing.resize(content.size(), 0.0);
      for (size_t k = 0; k < content.size(); ++k) {
        if (content[k] == m) missing[k] += h->count;
      }
    } else {
      const std::vector<std::string_view> tokens = allele_tokens(content);
      if (missing.size() < tokens.size()) missing.resize(tokens.size(), 0.0);
      for (size_t k = 0; k < tokens.size(); ++k) {
        if (tokens[k] == missing_text) missing[k] += h->count;
      }
    }
  }
  // A haplotype shorter than the others lacks the sites beyond its end.
  for (const PHaploDef* h : haplotypes) {
    const size_t have = per_site ? h->hap->content.size() : allele_tokens(h->hap->content).size();
    for (size_t k = have; k < missing.size(); ++k) missing[k] += h->count;
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
  const VariableSites vs = find_variable_sites(*this, len, m);
  // Invariant usable sites: the same character in every haplotype.
  SiteCounts invariant{};
  std::vector<std::uint8_t> variable(len, 0);
  for (size_t k : vs.sites) variable[k] = 1;
  for (size_t k = 0; k < len; ++k) {
    if (!variable[k] && site_usable(k)) ++invariant[table(vs.reference[k], vs.reference[k])];
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
  const int n = num_haplotypes();
  size_t loci_count = 0;
  for (const PHaploDef* h : haplotypes) {
    loci_count = std::max(loci_count, allele_tokens(h->hap->content).size());
  }
  if (locus_usable.size() != loci_count) evaluate_usable_mask();
  std::vector<double> sizes;
  int loci = 0;
  if (!read_allele_sizes(*this, sizes, loci)) {
    E.error(Error, "PopulMicrosat::compute_distance_matrix(ofstream)", 136);
    return 0;
  }
  const bool squared = dist_method == 1;
  begin_matrix(*this);
  for (int i = 1; i < n; ++i) {
    const double* a = sizes.data() + static_cast<size_t>(i) * loci;
    for (int j = 0; j < i; ++j) {
      const double* b = sizes.data() + static_cast<size_t>(j) * loci;
      double d = 0.0;
      for (int k = 0; k < loci; ++k) {
        if (a[k] == kMissingMicrosat || b[k] == kMissingMicrosat) continue;
        const double diff = a[k] - b[k];
        d += squared ? diff * diff : (diff != 0.0 ? 1.0 : 0.0);
      }
      dist_d = d;
      dist_v = 0.0;
      store_pair(*this, i, j, 1.0);
    }
  }
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

// Appends value right-aligned in a field of width characters (wider values
// take their own width), as setw does for a stream with default flags.
void append_padded(std::string& text, long long value, int width) {
  char digits[24];
  const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
  const int length = static_cast<int>(end - digits);
  if (ec == std::errc() && length < width) text.append(static_cast<size_t>(width - length), ' ');
  text.append(digits, end);
}

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
  std::string text;
  text.reserve(loci.size() * 6 + loci.size() / 15 + 1);
  for (size_t i = 0; i < loci.size(); ++i) {
    append_padded(text, loci[i], 4);
    text += ", ";
    if ((i + 1) % 15 == 0) text += '\n';
  }
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

// One line per locus: its number and its fraction of missing gene copies. Most
// fractions are 0, written directly; the others go through the stream's own
// formatting.
void write_missing_per_locus(std::ostream& file, const std::vector<double>& fractions) {
  file << "Locus#\tFreq. missing data\n";
  std::string text;
  for (size_t k = 0; k < fractions.size(); ++k) {
    append_padded(text, static_cast<long long>(k + 1), 0);
    text += '\t';
    if (fractions[k] == 0.0 && !std::signbit(fractions[k])) {
      text += "0\n";
      continue;
    }
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    text.clear();
    file << fractions[k] << '\n';
  }
  file.write(text.data(), static_cast<std::streamsize>(text.size()));
}

// Usable loci and missing data per locus, in the log and in
// "MissDataPerLocus.txt" of the result directory (never the working
// directory, so that concurrent runs of other projects cannot collide).
void report_usable_loci(const settings& s, const my_string& result_directory,
                        const Population& pop) {
  std::ostream& out = *_AOS_;
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
  if (result_directory.length() == 0) return;
  std::ofstream file(std::string(result_directory.c_str()) + "MissDataPerLocus.txt");
  if (!file) return;
  write_missing_per_locus(file, pop.missing_fraction);
}

}  // namespace

int calc_haplotype_dist_matrix(const Haplo_DB& list, const ProfileSettings& profile,
                               const std::vector<int>& copies, settings& s,
                               const my_string& result_directory, DistMat& distmat, int method,
                               double alpha) {
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
  std::unique_ptr<Population> pop(make_population_for_type(ProfileSettings::DataType, base));

  const int saved_method = s.DistanceMethodAMOVA;
  const double saved_alpha = s.GammaAValueAMOVA;
  const int saved_task = s.TaskNumber;
  const int saved_infer = s.InferHaplotypeDefinitionFromDistanceMatrix;
  s.DistanceMethodAMOVA = method;
  s.GammaAValueAMOVA = alpha;
  s.TaskNumber = kTaskPairwiseDistances;
  s.InferHaplotypeDefinitionFromDistanceMatrix = 0;
  const int ok = pop->compute_amova_distance_matrix(s);
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
    distmat.tri.resize(n);
    for (int i = 1; i < n; ++i) {
      for (int j = 0; j < i; ++j) distmat.tri.at(i, j) = pop->dist_matrix(i, j);
    }
  }
  distmat.size = n;
  distmat.labels.assign(static_cast<size_t>(n), my_string());
  for (int i = 0; i < n; ++i) distmat.labels[static_cast<size_t>(i)] = list[i]->name;

  const bool amova = (s.TaskNumber & kTaskAmova) && (s.HaplAMOVA || s.LocByLocAMOVA);
  if (!distmat.tri.is_constant() && (amova || (s.TaskNumber & kTaskPairwiseFst))) {
    report_usable_loci(s, result_directory, *pop);
  }
  return 1;
}

int Project::calc_dist_matrix(int method, double alpha) {
  // Copies of each haplotype pooled over the samples of the structure (over
  // all samples when the structure has no group): they weigh the missing data.
  std::unordered_map<const HaploDef*, int> pooled;
  auto add = [&pooled](const Population* pop) {
    for (const PHaploDef* e : pop->haplotypes) pooled[e->hap] += e->count;
  };
  if (current_structure->groups.empty()) {
    for (int i = 0; i < current_samples->size(); ++i) add((*current_samples)[i]);
  } else {
    for (const auto& group : current_structure->groups) {
      if (!group) continue;
      for (const Population* pop : *group) add(pop);
    }
  }
  std::vector<int> copies(static_cast<size_t>(haplotypes.size()), 0);
  for (int i = 0; i < haplotypes.size(); ++i) {
    const auto found = pooled.find(haplotypes[i]);
    if (found != pooled.end()) copies[static_cast<size_t>(i)] = found->second;
  }
  return calc_haplotype_dist_matrix(haplotypes, profile, copies, s, result_directory, distmat,
                                    method, alpha);
}
