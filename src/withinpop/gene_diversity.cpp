// Allele frequencies, numbers of alleles and gene diversity of one sample.
//
// The allele pass visits the sample locus by locus: it counts the typed gene
// copies n, the distinct alleles k and the expected heterozygosity H (and, for
// diploid genotypes, the observed heterozygosity), records every allele with the
// sample's frequency in the process-wide allele database, and summarises the
// loci. Microsatellite sizes of each locus are filled by the same pass
// (microsat.cpp). The sample-level haplotype diversity and the polymorphism
// evaluation of allele-string data live here too.
#include "withinpop/gene_diversity.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <iomanip>
#include <ostream>
#include <unordered_set>

#include "model/haplotypes.h"
#include "model/population.h"
#include "settings/settings.h"
#include "withinpop/microsat.h"

std::vector<int> PopGenetics::pass_variable_sites;
int PopGenetics::pass_typed_invariant_sites = 0;
bool PopGenetics::pass_sites_restricted = false;
PopGenetics::PassInvariantSites PopGenetics::pass_invariant;

namespace qnd_diversity {

namespace {
constexpr std::string_view kAmbiguityCodes = "NRYMKSWHBVD";
}  // namespace

bool is_missing_allele(std::string_view allele, char missing, TDataType type) {
  if (allele.empty() || allele[0] == missing) return true;
  if (type == DNA) {
    const char c = allele[0];
    const bool nucleotide = c == 'A' || c == 'C' || c == 'G' || c == 'T';
    return !nucleotide && kAmbiguityCodes.find(c) != std::string_view::npos;
  }
  return false;
}

bool is_uninformative_allele(std::string_view allele, char missing) {
  if (allele.empty() || allele == "-" || allele[0] == missing) return true;
  return allele.size() == 1 && kAmbiguityCodes.find(allele[0]) != std::string_view::npos;
}

double sd_over(int m, double sum, double sumsq) {
  if (m < 2) return 0.0;
  const double mean = sum / m;
  const double bracket = static_cast<double>(m) / (m - 1) * (sumsq / m - mean * mean);
  return bracket > 0.0 ? std::sqrt(bracket) : 0.0;
}

double gene_diversity_of_counts(const std::vector<double>& counts) {
  double n = 0.0;
  for (double c : counts) n += c;
  if (n <= 1.0) return 0.0;
  double sum_p2 = 0.0;
  for (double c : counts) sum_p2 += (c / n) * (c / n);
  return n / (n - 1.0) * (1.0 - sum_p2);
}

int allele_size(std::string_view allele) {
  // Sizes are kept within +-(2^30 - 1), so that a range (largest - smallest)
  // and the range + 1 of the Garza-Williamson index stay within int whatever
  // a file holds; real repeat numbers are far below.
  constexpr int kLimit = (1 << 30) - 1;
  // Whole numbers, the usual case, are read without a copy.
  int whole = 0;
  const auto [end, ec] = std::from_chars(allele.data(), allele.data() + allele.size(), whole);
  if (ec == std::errc() && end == allele.data() + allele.size())
    return std::clamp(whole, -kLimit, kLimit);
  const std::string text(allele);
  const double value = std::strtod(text.c_str(), nullptr) + 0.5;
  if (std::isnan(value)) return 0;
  if (value >= kLimit) return kLimit;
  if (value <= -kLimit) return -kLimit;
  return static_cast<int>(value);
}

AlleleRows::AlleleRows(TDataType type, char separator)
    : char_mode_(type == DNA || type == RFLP || separator == '\0'), separator_(separator) {}

int AlleleRows::add(const std::string& content) {
  contents_.push_back(&content);
  int loci = 0;
  if (char_mode_) {
    loci = static_cast<int>(content.size());
  } else {
    row_start_.push_back(tokens_.size());
    // Tokens are short (allele sizes, names): the separators are found byte by
    // byte rather than by a library search per token.
    const char* const text = content.data();
    const size_t n = content.size();
    size_t start = 0;
    for (size_t i = 0; i <= n; ++i) {
      if (i < n && text[i] != separator_) continue;
      if (i > start) {
        tokens_.emplace_back(text + start, i - start);
        ++loci;
      }
      start = i + 1;
    }
    row_loci_.push_back(loci);
  }
  num_loci_ = std::max(num_loci_, loci);
  return num_rows() - 1;
}

std::string_view AlleleRows::at(int row, int locus) const {
  const size_t r = static_cast<size_t>(row);
  if (char_mode_) {
    const std::string& c = *contents_[r];
    if (locus >= static_cast<int>(c.size())) return {};
    return std::string_view(c).substr(static_cast<size_t>(locus), 1);
  }
  if (locus >= row_loci_[r]) return {};
  return tokens_[row_start_[r] + static_cast<size_t>(locus)];
}

int pooled_num_alleles(const TLocus& locus, char missing, TDataType type) {
  int k = 0;
  for (const TAllele* a : locus.alleles)
    if (a->count > 0 && !is_missing_allele(a->name.view(), missing, type)) ++k;
  return k;
}

double pooled_gene_diversity(const TLocus& locus, char missing, TDataType type) {
  // gene_diversity_of_counts over the counted alleles, in their order, without
  // gathering them first.
  const auto counted = [&](const TAllele* a) {
    return a->count > 0 && !is_missing_allele(a->name.view(), missing, type);
  };
  double n = 0.0;
  for (const TAllele* a : locus.alleles)
    if (counted(a)) n += a->count;
  if (n <= 1.0) return 0.0;
  double sum_p2 = 0.0;
  for (const TAllele* a : locus.alleles)
    if (counted(a)) sum_p2 += (a->count / n) * (a->count / n);
  return n / (n - 1.0) * (1.0 - sum_p2);
}

int pooled_informative_alleles(const TLocus& locus, char missing) {
  int k = 0;
  for (const TAllele* a : locus.alleles)
    if (a->count > 0 && !is_uninformative_allele(a->name.view(), missing)) ++k;
  return k;
}

}  // namespace qnd_diversity

using qnd_diversity::AlleleRows;
using qnd_diversity::is_missing_allele;
using qnd_diversity::sd_over;

namespace {

// Allele texts compared last character first: alleles of one locus usually
// share their length and leading digits.
bool same_text(std::string_view a, std::string_view b) {
  return a.size() == b.size() && (a.empty() || (a.back() == b.back() && a == b));
}

// The alleles met at one locus of one sample, in the order they were met
// (missing ones included, with no count), and the number of typed copies.
struct LocusTally {
  using Seen = qnd_diversity::AlleleCount;
  std::vector<Seen> seen;
  double n = 0.0;

  void clear() {
    seen.clear();
    n = 0.0;
  }
  void add(std::string_view text, double copies, bool missing) {
    if (!missing) n += copies;
    for (Seen& s : seen) {
      if (same_text(s.text, text)) {
        if (!missing) s.count += copies;
        return;
      }
    }
    seen.push_back({text, missing ? 0.0 : copies, missing});
  }
};

// The same tally where every allele is one character (or nothing, beyond the
// end of a content): alleles are found by their byte instead of by a search.
class CharTally {
 public:
  CharTally(char missing, TDataType type) {
    slot_.fill(-1);
    for (int c = 0; c < 256; ++c) {
      const char ch = static_cast<char>(c);
      missing_[static_cast<size_t>(c)] = is_missing_allele(std::string_view(&ch, 1), missing, type);
    }
    missing_[kNothing] = true;
  }
  // Tallies the alleles of the rows at one locus into tally (which it clears).
  void count(const AlleleRows& rows, const std::vector<double>& copies, size_t locus,
             LocusTally& tally) {
    tally.clear();
    codes_.clear();
    for (int r = 0; r < rows.num_rows(); ++r) {
      const std::string& content = rows.content(r);
      const bool inside = locus < content.size();
      const size_t code = inside ? static_cast<unsigned char>(content[locus]) : kNothing;
      const bool missing = missing_[code];
      const double w = copies[static_cast<size_t>(r)];
      if (!missing) tally.n += w;
      int& s = slot_[code];
      if (s < 0) {
        s = static_cast<int>(tally.seen.size());
        codes_.push_back(code);
        const std::string_view text =
            inside ? std::string_view(content.data() + locus, 1) : std::string_view();
        tally.seen.push_back({text, missing ? 0.0 : w, missing});
      } else if (!missing) {
        tally.seen[static_cast<size_t>(s)].count += w;
      }
    }
    for (const size_t code : codes_) slot_[code] = -1;
  }

 private:
  static constexpr size_t kNothing = 256;
  std::array<int, 257> slot_;
  std::array<bool, 257> missing_{};
  std::vector<size_t> codes_;
};

// The alleles of a sample's distinct haplotypes that carry copies, with their
// copies.
AlleleRows haplotype_rows(const PopGenetics& pop, std::vector<double>& copies) {
  AlleleRows rows(ProfileSettings::DataType, ProfileSettings::LocusSeparator);
  for (const PHaploDef* h : pop.haplotypes) {
    if (h == nullptr || h->hap == nullptr || h->count <= 0) continue;
    rows.add(h->hap->content);
    copies.push_back(h->count);
  }
  return rows;
}

// Locus count of the sample: the longest content, at least the loci already
// evaluated for it.
int sample_num_loci(const PopGenetics& pop, const AlleleRows& rows) {
  return std::max(rows.num_loci(), pop.num_loci);
}

// Clears the per-locus lists and reserves room for the loci to come.
void reset_locus_lists(PopGenetics& pop, size_t listed, bool diploid, bool microsat) {
  pop.locus_ids.clear();
  pop.locus_gene_copies.clear();
  pop.locus_num_alleles.clear();
  pop.locus_obs_het.clear();
  pop.locus_exp_het.clear();
  pop.locus_min_size.clear();
  pop.locus_max_size.clear();
  pop.locus_mean_size.clear();
  pop.locus_range.clear();
  pop.locus_gw.clear();
  pop.locus_gene_copies.reserve(listed);
  pop.locus_num_alleles.reserve(listed);
  pop.locus_exp_het.reserve(listed);
  if (diploid) pop.locus_obs_het.reserve(listed);
  if (microsat) {
    pop.locus_min_size.reserve(listed);
    pop.locus_max_size.reserve(listed);
    pop.locus_mean_size.reserve(listed);
    pop.locus_range.reserve(listed);
    pop.locus_gw.reserve(listed);
  }
}

// Stores the alleles of one locus in the allele database, with the sample's
// frequencies, and appends n, k, H (and the sizes) to the per-locus lists.
void finish_locus(PopGenetics& pop, int locus, const LocusTally& tally) {
  TAlleleDB& db = PopGenetics::globalAllelicDB;
  const size_t slot = pop.index >= 0 ? static_cast<size_t>(pop.index) : 0;
  int k = 0;
  double sum_p2 = 0.0;
  for (const LocusTally::Seen& s : tally.seen) {
    TAllele* a = db.InsertAllPos(locus, s.text, s.count);
    if (s.missing) continue;
    ++k;
    const double p = tally.n > 0.0 ? s.count / tally.n : 0.0;
    sum_p2 += p * p;
    if (tally.n > 0.0 && a != nullptr) {
      if (a->pop_freq.size() <= slot) a->pop_freq.resize(slot + 1, 0.0);
      a->pop_freq[slot] = p;
    }
  }
  const double n = tally.n;
  const double h = n > 1.0 ? n / (n - 1.0) * (1.0 - sum_p2) : 0.0;
  pop.locus_gene_copies.push_back(static_cast<int>(n));
  pop.locus_num_alleles.push_back(k);
  pop.locus_exp_het.push_back(h);
  if (ProfileSettings::DataType == MICROSAT) qnd_microsat::append_locus_sizes(pop, tally.seen, n);
}

// True when the listed entry i is flagged polymorphic for the sample.
bool entry_polymorphic(const PopGenetics& pop, size_t i) {
  const int locus = pop.locus_ids.empty() ? static_cast<int>(i) : pop.locus_ids[i];
  if (locus < static_cast<int>(pop.locus_polymorphic.size()))
    return pop.locus_polymorphic[static_cast<size_t>(locus)] != 0;
  return pop.locus_num_alleles[i] >= 2;
}

// Summaries over loci. Loci left out of the lists (sequence sites constant in
// the pass) add `typed_out` loci with k = 1, n = copies and H = 0 to the sums.
void summarise_loci(PopGenetics& pop, int num_loci, int typed_out, double copies,
                    int first_locus_k) {
  const bool microsat = ProfileSettings::DataType == MICROSAT;
  const size_t listed = pop.locus_exp_het.size();
  double sum_h = 0, sum_h2 = 0, sum_k = 0, sum_k2 = 0, sum_n = 0, sum_n2 = 0;
  double flag_h = 0, flag_n = 0, flag_r = 0, flag_r2 = 0, flag_gw = 0, flag_gw2 = 0;
  int poly = 0;
  for (size_t i = 0; i < listed; ++i) {
    const double h = pop.locus_exp_het[i];
    const double k = pop.locus_num_alleles[i];
    const double n = pop.locus_gene_copies[i];
    sum_h += h;
    sum_h2 += h * h;
    sum_k += k;
    sum_k2 += k * k;
    sum_n += n;
    sum_n2 += n * n;
    if (!entry_polymorphic(pop, i)) continue;
    ++poly;
    flag_h += h;
    flag_n += n;
    if (microsat) {
      const double r = pop.locus_range[i];
      const double gw = pop.locus_gw[i];
      flag_r += r;
      flag_r2 += r * r;
      flag_gw += gw;
      flag_gw2 += gw * gw;
    }
  }
  if (typed_out > 0) {
    const double k_out = copies > 0.0 ? 1.0 : 0.0;
    const double n_out = copies > 0.0 ? copies : 0.0;
    sum_k += typed_out * k_out;
    sum_k2 += typed_out * k_out * k_out;
    sum_n += typed_out * n_out;
    sum_n2 += typed_out * n_out * n_out;
  }
  const int loci = num_loci;
  pop.sd_exp_het = pop.sd_num_alleles = pop.sd_gene_copies = 0.0;
  pop.sd_range = pop.sd_gw = 0.0;
  if (poly == 0 || loci < 2) {
    pop.mean_exp_het = flag_h;
    pop.mean_num_alleles = first_locus_k;
    pop.mean_gene_copies = flag_n;
    pop.mean_range = microsat ? flag_r : 0.0;
    pop.mean_gw = microsat ? flag_gw : 0.0;
    return;
  }
  pop.mean_exp_het = sum_h / loci;
  pop.sd_exp_het = sd_over(loci, sum_h, sum_h2);
  pop.mean_num_alleles = sum_k / loci;
  pop.sd_num_alleles = sd_over(loci, sum_k, sum_k2);
  pop.mean_gene_copies = sum_n / loci;
  pop.sd_gene_copies = sd_over(loci, sum_n, sum_n2);
  if (microsat) {
    pop.mean_range = flag_r / poly;
    pop.sd_range = sd_over(poly, flag_r, flag_r2);
    pop.mean_gw = flag_gw / poly;
    pop.sd_gw = sd_over(poly, flag_gw, flag_gw2);
  } else {
    pop.mean_range = pop.mean_gw = 0.0;
  }
}

// The per-locus table of the result report: flagged loci only.
void print_locus_table(const PopGenetics& pop, std::ostream& out, bool all_loci, bool diploid) {
  const bool microsat = ProfileSettings::DataType == MICROSAT;
  out << "\n  Sample '" << pop.name.c_str() << "': numbers of alleles and gene diversity\n";
  if (!all_loci) out << "  Results are only shown for polymorphic loci\n";
  out << "  Locus\tCopies\tAlleles\tExp.Het";
  if (diploid) out << "\tObs.Het";
  if (microsat) out << "\tRange\tGW";
  out << '\n';
  double sum_h = 0, sum_h2 = 0;
  int shown = 0;
  for (size_t i = 0; i < pop.locus_exp_het.size(); ++i) {
    const bool flagged = entry_polymorphic(pop, i);
    if (!flagged && !all_loci) continue;
    const int locus = pop.locus_ids.empty() ? static_cast<int>(i) : pop.locus_ids[i];
    out << "  " << locus + 1 << '\t' << pop.locus_gene_copies[i] << '\t' << pop.locus_num_alleles[i]
        << '\t' << std::fixed << std::setprecision(5) << pop.locus_exp_het[i];
    if (diploid) out << '\t' << pop.locus_obs_het[i];
    if (microsat) out << '\t' << pop.locus_range[i] << '\t' << pop.locus_gw[i];
    out << '\n' << std::defaultfloat;
    if (flagged) {
      ++shown;
      sum_h += pop.locus_exp_het[i];
      sum_h2 += pop.locus_exp_het[i] * pop.locus_exp_het[i];
    }
  }
  const double mean = shown > 0 ? sum_h / shown : 0.0;
  out << "  Mean\t\t\t" << mean << "\n  s.d.\t\t\t" << sd_over(shown, sum_h, sum_h2) << '\n';
}

// The sites of the pass for the haploid pass: every site, or the pass's
// variable sites for sequences.
bool restrict_to_variable_sites() {
  return ProfileSettings::DataType == DNA && PopGenetics::pass_sites_restricted;
}

void size_database(int num_loci) {
  TAlleleDB& db = PopGenetics::globalAllelicDB;
  if (db.num_loci() == 0) {
    db.destroy();
    db.resize(num_loci);
  }
}

}  // namespace

void PopGenetics::OutputAllelelNumberAndHetPerLocusHapl(std::ostream& out, const settings&,
                                                        bool print_table, bool all_loci,
                                                        bool print_frequencies) {
  if (ProfileSettings::DataType == FREQUENCY) return;
  std::vector<double> copies;
  const AlleleRows rows = haplotype_rows(*this, copies);
  const int loci = sample_num_loci(*this, rows);
  const char missing = profile.MissingData;
  const TDataType type = ProfileSettings::DataType;
  size_database(loci);
  pass_num_loci = loci;

  const bool restricted = restrict_to_variable_sites();
  const size_t listed = restricted ? pass_variable_sites.size() : static_cast<size_t>(loci);
  reset_locus_lists(*this, listed, false, type == MICROSAT);
  double total_copies = 0.0;
  for (double c : copies) total_copies += c;

  LocusTally tally;
  CharTally by_char(missing, type);
  int first_locus_k = 0;
  for (size_t i = 0; i < listed; ++i) {
    const int locus = restricted ? pass_variable_sites[i] : static_cast<int>(i);
    if (locus >= loci) break;
    if (rows.char_mode()) {
      by_char.count(rows, copies, static_cast<size_t>(locus), tally);
    } else {
      tally.clear();
      for (int r = 0; r < rows.num_rows(); ++r) {
        const std::string_view a = rows.at(r, locus);
        tally.add(a, copies[static_cast<size_t>(r)], is_missing_allele(a, missing, type));
      }
    }
    if (restricted) locus_ids.push_back(locus);
    finish_locus(*this, locus, tally);
    if (locus == 0) first_locus_k = locus_num_alleles.back();
  }
  int typed_out = 0;
  if (restricted) {
    typed_out = pass_typed_invariant_sites;
    const bool first_listed = !pass_variable_sites.empty() && pass_variable_sites[0] == 0;
    if (!first_listed && loci > 0 && rows.num_rows() > 0) {
      const bool typed = !is_missing_allele(rows.at(0, 0), missing, type);
      first_locus_k = typed && total_copies > 0.0 ? 1 : 0;
    }
  }
  summarise_loci(*this, loci, typed_out, total_copies, first_locus_k);
  if (print_table) print_locus_table(*this, out, all_loci, false);
  if (print_frequencies) {
    for (size_t i = 0; i < locus_num_alleles.size(); ++i)
      out << "  locus " << (locus_ids.empty() ? static_cast<int>(i) : locus_ids[i]) + 1 << ": "
          << locus_num_alleles[i] << " allele(s)\n";
  }
}

void PopGenetics::OutputAllelelNumberAndHetPerLocusDipl(std::ostream& out, const settings&,
                                                        bool print_table, bool all_loci,
                                                        bool print_frequencies) {
  if (ProfileSettings::DataType == FREQUENCY) return;
  const TDataType type = ProfileSettings::DataType;
  const char missing = profile.MissingData;
  AlleleRows rows(type, ProfileSettings::LocusSeparator);
  std::vector<double> weights;
  for (const TPhenotype* t : individuals) {
    if (t->count <= 0.0) continue;
    rows.add(t->copy1);
    rows.add(t->copy2);
    weights.push_back(t->count);
  }
  const int loci = std::max(rows.num_loci(), num_loci);
  size_database(loci);
  pass_num_loci = loci;
  reset_locus_lists(*this, static_cast<size_t>(loci), true, type == MICROSAT);

  LocusTally tally;
  for (int locus = 0; locus < loci; ++locus) {
    tally.clear();
    double typed = 0.0;
    double heterozygotes = 0.0;
    for (size_t ind = 0; ind < weights.size(); ++ind) {
      const double w = weights[ind];
      const std::string_view a1 = rows.at(static_cast<int>(2 * ind), locus);
      const std::string_view a2 = rows.at(static_cast<int>(2 * ind + 1), locus);
      const bool m1 = is_missing_allele(a1, missing, type);
      const bool m2 = is_missing_allele(a2, missing, type);
      tally.add(a1, w, m1);
      tally.add(a2, w, m2);
      if (m1 || m2) continue;
      typed += w;
      if (!same_text(a1, a2)) heterozygotes += w;
    }
    finish_locus(*this, locus, tally);
    locus_obs_het.push_back(typed > 0.0 ? heterozygotes / typed : 0.0);
  }
  const int first_locus_k = locus_num_alleles.empty() ? 0 : locus_num_alleles.front();
  summarise_loci(*this, loci, 0, 0.0, first_locus_k);
  if (print_table) print_locus_table(*this, out, all_loci, true);
  if (print_frequencies) {
    for (size_t i = 0; i < locus_num_alleles.size(); ++i)
      out << "  locus " << i + 1 << ": " << locus_num_alleles[i] << " allele(s)\n";
  }
}

int PopGenetics::num_distinct_haplotypes() const {
  int k = 0;
  for (const PHaploDef* h : haplotypes)
    if (h != nullptr && h->count > 0) ++k;
  return k;
}

namespace {

// Copies of the sample's haplotypes: their counts, or the sample size when the
// counts sum to nothing.
double haplotype_copies(const PopGenetics& pop) {
  double n = 0.0;
  for (const PHaploDef* h : pop.haplotypes)
    if (h != nullptr && h->count > 0) n += h->count;
  return n > 0.0 ? n : pop.sample_size;
}

// Frequency of a haplotype: its count over n, or the stored value when it is
// already a relative frequency.
double haplotype_frequency(double count, double n) {
  if (count < 1.0) return count;
  return n > 0.0 ? count / n : 0.0;
}

}  // namespace

// Haplotype gene diversity of the sample (Nei 1987, eq. 8.4):
// H = n/(n-1) (1 - sum p^2), H = 1 when every copy is a distinct haplotype,
// H = 0 when the sample has at most one copy.
void PopGenetics::calc_sample_homozygosity() {
  const double n = haplotype_copies(*this);
  const int distinct = num_distinct_haplotypes();
  std::vector<double> freqs;
  for (const PHaploDef* h : haplotypes)
    if (h != nullptr && h->count > 0) freqs.push_back(haplotype_frequency(h->count, n));
  sum_sq_freq = 0.0;
  for (double p : freqs) sum_sq_freq += p * p;
  if (n <= 1.0) {
    homozygosity = 1.0;
    gene_diversity = 0.0;
    return;
  }
  if (distinct == static_cast<int>(n)) {
    homozygosity = 0.0;
    gene_diversity = 1.0;
    return;
  }
  gene_diversity = n / (n - 1.0) * (1.0 - sum_sq_freq);
  if (gene_diversity > 1.0) {
    gene_diversity = 1.0;
    homozygosity = 0.0;
  } else {
    homozygosity = 1.0 - gene_diversity;
  }
}

double PopGenetics::calc_sample_homozygosity(const std::vector<double>& freqs) const {
  const double n = haplotype_copies(*this);
  if (n <= 1.0) return 1.0;
  if (static_cast<int>(freqs.size()) == static_cast<int>(n)) return 0.0;
  double s2 = 0.0;
  for (double p : freqs) s2 += p * p;
  const double h = n / (n - 1.0) * (1.0 - s2);
  return h > 1.0 ? 0.0 : 1.0 - h;
}

// Standard deviation of the haplotype diversity (Nei 1987, eq. 8.12):
// V = 2/(n(n-1)) [2(n-2)(s3 - s2^2) + s2 - s2^2]; 0 when n <= 1 or V < 0.
void PopGenetics::calc_sample_sd_heterozygosity() {
  const double n = haplotype_copies(*this);
  sd_gene_diversity = 0.0;
  if (n <= 1.0) return;
  double s2 = 0.0;
  double s3 = 0.0;
  for (const PHaploDef* h : haplotypes) {
    if (h == nullptr || h->count <= 0) continue;
    const double p = haplotype_frequency(h->count, n);
    s2 += p * p;
    s3 += p * p * p;
  }
  const double v = 2.0 / (n * (n - 1.0)) * (2.0 * (n - 2.0) * (s3 - s2 * s2) + s2 - s2 * s2);
  if (v >= 0.0) sd_gene_diversity = std::sqrt(v);
}

namespace {

// Per-locus missing fraction, usable and polymorphic flags from gene copies
// given as rows with weights (one weight per row).
void evaluate_loci(PopGenetics& pop, const AlleleRows& rows, const std::vector<double>& weights,
                   double allowed) {
  const TDataType type = ProfileSettings::DataType;
  const char missing = pop.profile.MissingData;
  const int loci = rows.num_loci();
  double n = 0.0;
  for (double w : weights) n += w;
  pop.allowed_missing = allowed;
  pop.num_loci = loci;
  pop.num_usable_loci = 0;
  pop.num_usable_poly_loci = 0;
  pop.missing_fraction.assign(static_cast<size_t>(loci), 0.0);
  pop.locus_usable.assign(static_cast<size_t>(loci), 0);
  pop.usable_from_pass = false;
  pop.locus_polymorphic.assign(static_cast<size_t>(loci), 0);
  for (int locus = 0; locus < loci; ++locus) {
    double missing_copies = 0.0;
    std::string_view first;
    bool have_first = false;
    bool poly = false;
    for (int r = 0; r < rows.num_rows(); ++r) {
      const std::string_view a = rows.at(r, locus);
      if (is_missing_allele(a, missing, type)) {
        missing_copies += weights[static_cast<size_t>(r)];
        continue;
      }
      if (weights[static_cast<size_t>(r)] <= 0.0) continue;
      if (!have_first) {
        first = a;
        have_first = true;
      } else if (!same_text(a, first)) {
        poly = true;
      }
    }
    const size_t l = static_cast<size_t>(locus);
    pop.missing_fraction[l] = n > 0.0 ? missing_copies / n : 0.0;
    pop.locus_usable[l] = pop.missing_fraction[l] <= allowed ? 1 : 0;
    pop.locus_polymorphic[l] = poly ? 1 : 0;
    if (pop.locus_usable[l] != 0) {
      ++pop.num_usable_loci;
      if (poly) ++pop.num_usable_poly_loci;
    }
  }
}

}  // namespace

void PopGenetics::compare_haplotypes(const settings& s) {
  std::vector<double> copies;
  const AlleleRows rows = haplotype_rows(*this, copies);
  evaluate_loci(*this, rows, copies, s.AllowedLevelOfMissingData);
}

void PopGenetics::compare_phenotypes(const settings& s) {
  AlleleRows rows(ProfileSettings::DataType, ProfileSettings::LocusSeparator);
  std::vector<double> weights;
  for (const TPhenotype* t : individuals) {
    rows.add(t->copy1);
    rows.add(t->copy2);
    weights.push_back(t->count);
    weights.push_back(t->count);
  }
  evaluate_loci(*this, rows, weights, s.AllowedLevelOfMissingData);
}
