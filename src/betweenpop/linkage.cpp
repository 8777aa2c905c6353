// Linkage disequilibrium between every pair of polymorphic loci of a sample whose
// gametes are known: the disequilibrium D, the standardised D' and r^2 of each
// pair, reported to the log and summarised into the eight linkage-disequilibrium
// lists of SumStat (means over all pairs, adjacent pairs, the flanking pair).
//
// The haplotypes are numbered once per sample into a flat table of allele codes
// (one row per polymorphic locus, one column per distinct haplotype); a pair
// builds its contingency table from two rows, weighting each distinct haplotype
// by its count, so no per-pair work touches the sequences again. Two-allele loci
// are also bit sets over the distinct haplotypes (weighted by the binary digits
// of their counts) or over their copies when those are few: a pair is then
// counted by AND and bit counts. Loci without missing data that share the same
// pattern of alleles share their pair values, which a table keeps; the sums over
// pairs still add every pair in order, so they are those of the plain loop.
#include "betweenpop/linkage.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <locale>
#include <ostream>
#include <string>
#include <string_view>

#include "base/errors.h"
#include "base/number_text.h"
#include "globals.h"
#include "model/profile.h"
#include "settings/settings.h"
#include "sumstat/sumstat.h"
#include "withinpop/special_functions.h"

namespace linkage {

CellMeasures cell_measures(long long n_ij, long long row_total, long long col_total, long long n) {
  CellMeasures m;
  if (n <= 0) return m;
  const double total = n;
  m.p = row_total / total;
  m.q = col_total / total;
  const double p = m.p;
  const double q = m.q;
  m.d = n_ij / total - p * q;
  if (m.d <= 0.0)
    m.dmax = std::min(p * q, (1.0 - p) * (1.0 - q));
  else
    m.dmax = std::min(p * (1.0 - q), (1.0 - p) * q);
  if (m.dmax > 0.0)
    m.dprime = m.d / m.dmax;
  else
    m.dmax_positive = false;
  const double variance_product = p * (1.0 - p) * q * (1.0 - q);
  if (variance_product > 0.0) {
    m.r2 = m.d * m.d / variance_product;
    m.chi2 = m.d * m.d * total / variance_product;
  }
  return m;
}

namespace {

using Views = std::vector<std::string_view>;

// Allele codes of one locus over all haplotypes for character data. A site
// holds few alleles, so each is looked up among those met before.
void code_char_locus(const Views& rows, size_t site, char missing, int* codes, int& num_alleles) {
  char met[256];
  int next = 0;
  for (size_t h = 0; h < rows.size(); ++h) {
    if (site >= rows[h].size()) {
      codes[h] = kAbsent;
      continue;
    }
    const char c = rows[h][site];
    if (c == missing) {
      codes[h] = kMissing;
      continue;
    }
    int m = 0;
    while (m < next && met[m] != c) ++m;
    if (m == next) met[next++] = c;
    codes[h] = m;
  }
  num_alleles = next;
}

// Only the candidate sites can be polymorphic: each is coded and kept when it
// has two alleles or more.
void code_candidate_chars(const Views& rows, char missing, const std::vector<int>& candidates,
                          size_t num_sites, PopGenetics::LdWorkspace& ld) {
  const size_t h_count = rows.size();
  std::vector<int> site_codes(h_count);
  for (const int site : candidates) {
    if (site < 0 || static_cast<size_t>(site) >= num_sites) continue;
    int alleles = 0;
    code_char_locus(rows, static_cast<size_t>(site), missing, site_codes.data(), alleles);
    if (alleles < 2) continue;
    ld.position[static_cast<size_t>(site)] = static_cast<int>(ld.poly_loci.size());
    ld.poly_loci.push_back(site);
    ld.num_alleles.push_back(alleles);
    ld.codes.insert(ld.codes.end(), site_codes.begin(), site_codes.end());
  }
}

// One site per character. The polymorphic sites are found in one row-major pass
// over the haplotypes (or among the candidate sites when given); only those
// sites get allele codes.
void code_chars(const Views& rows, char missing, PopGenetics::LdWorkspace& ld,
                const std::vector<int>* candidates) {
  size_t num_sites = 0;
  for (const std::string_view row : rows) num_sites = std::max(num_sites, row.size());
  if (candidates != nullptr) {
    ld.position.assign(num_sites, -1);
    code_candidate_chars(rows, missing, *candidates, num_sites, ld);
    return;
  }
  std::vector<char> first(num_sites, '\0');
  std::vector<std::uint8_t> seen(num_sites, 0);
  std::vector<std::uint8_t> poly(num_sites, 0);
  for (const std::string_view row : rows) {
    for (size_t site = 0; site < row.size(); ++site) {
      const char c = row[site];
      if (c == missing) continue;
      if (!seen[site]) {
        seen[site] = 1;
        first[site] = c;
      } else if (c != first[site]) {
        poly[site] = 1;
      }
    }
  }
  ld.position.assign(num_sites, -1);
  for (size_t site = 0; site < num_sites; ++site) {
    if (!poly[site]) continue;
    ld.position[site] = static_cast<int>(ld.poly_loci.size());
    ld.poly_loci.push_back(static_cast<int>(site));
  }
  const size_t h_count = rows.size();
  ld.codes.assign(ld.poly_loci.size() * h_count, kMissing);
  ld.num_alleles.assign(ld.poly_loci.size(), 0);
  for (size_t k = 0; k < ld.poly_loci.size(); ++k)
    code_char_locus(rows, static_cast<size_t>(ld.poly_loci[k]), missing, &ld.codes[k * h_count],
                    ld.num_alleles[k]);
}

// Allele tokens separated by runs of the separator.
Views split_tokens(std::string_view text, char separator) {
  Views tokens;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && text[i] == separator) ++i;
    const size_t start = i;
    while (i < text.size() && text[i] != separator) ++i;
    if (i > start) tokens.push_back(text.substr(start, i - start));
  }
  return tokens;
}

void code_tokens(const std::vector<const std::string*>& contents, char separator, char missing,
                 PopGenetics::LdWorkspace& ld) {
  std::vector<Views> rows;
  rows.reserve(contents.size());
  size_t num_loci = 0;
  for (const std::string* c : contents) {
    rows.push_back(split_tokens(*c, separator));
    num_loci = std::max(num_loci, rows.back().size());
  }
  const std::string_view missing_token(&missing, 1);
  const size_t h_count = rows.size();
  ld.position.assign(num_loci, -1);
  std::vector<int> locus_codes(h_count);
  Views alleles;
  for (size_t locus = 0; locus < num_loci; ++locus) {
    alleles.clear();
    for (size_t h = 0; h < h_count; ++h) {
      if (locus >= rows[h].size()) {
        locus_codes[h] = kAbsent;
        continue;
      }
      const std::string_view token = rows[h][locus];
      if (token == missing_token) {
        locus_codes[h] = kMissing;
        continue;
      }
      const auto found = std::find(alleles.begin(), alleles.end(), token);
      locus_codes[h] = static_cast<int>(found - alleles.begin());
      if (found == alleles.end()) alleles.push_back(token);
    }
    if (alleles.size() < 2) continue;
    ld.position[locus] = static_cast<int>(ld.poly_loci.size());
    ld.poly_loci.push_back(static_cast<int>(locus));
    ld.num_alleles.push_back(static_cast<int>(alleles.size()));
    ld.codes.insert(ld.codes.end(), locus_codes.begin(), locus_codes.end());
  }
}

}  // namespace

void code_alleles(const std::vector<const std::string*>& contents, TDataType type, char separator,
                  char missing, PopGenetics::LdWorkspace& ld,
                  const std::vector<int>* candidate_sites) {
  ld.poly_loci.clear();
  ld.position.clear();
  ld.num_alleles.clear();
  ld.codes.clear();
  ld.bit_words = 0;
  ld.packed.clear();
  ld.num_haplotypes = static_cast<int>(contents.size());
  const bool per_character = type == DNA || type == RFLP || separator == '\0';
  if (!per_character) {
    code_tokens(contents, separator, missing, ld);
    return;
  }
  Views rows;
  rows.reserve(contents.size());
  std::vector<std::string> stripped;  // RFLP sites without their separators
  if (type == RFLP && separator != '\0') {
    stripped.reserve(contents.size());
    for (const std::string* c : contents) {
      stripped.emplace_back();
      std::remove_copy(c->begin(), c->end(), std::back_inserter(stripped.back()), separator);
    }
    for (const std::string& c : stripped) rows.emplace_back(c);
  } else {
    for (const std::string* c : contents) rows.emplace_back(*c);
  }
  code_chars(rows, missing, ld, type == DNA ? candidate_sites : nullptr);
}

namespace {

// Hash of a pattern's words (a 64-bit multiplicative mix).
std::uint64_t hash_words(const std::uint64_t* words, size_t count) {
  std::uint64_t h = 0x9E3779B97F4A7C15ULL;
  for (size_t w = 0; w < count; ++w) {
    h ^= words[w];
    h *= 0xBF58476D1CE4E5B9ULL;
    h ^= h >> 31;
  }
  return h;
}

// Gives every packed locus without missing data the number of its pattern,
// patterns numbered in order of first appearance.
void number_patterns(PopGenetics::LdWorkspace& ld) {
  const size_t words = static_cast<size_t>(ld.bit_words);
  const size_t num_poly = ld.poly_loci.size();
  ld.pattern.assign(num_poly, -1);
  ld.pattern_bits.clear();
  ld.pattern_weight.clear();
  size_t capacity = 16;
  while (capacity < 2 * num_poly) capacity *= 2;
  std::vector<int> slots(capacity, -1);  // open addressing over the pattern numbers
  std::vector<std::uint64_t> bits(words);
  for (size_t k = 0; k < num_poly; ++k) {
    if (!ld.packed[k] || !ld.fully_typed[k]) continue;
    const std::uint64_t* typed = &ld.typed_bits[k * words];
    const std::uint64_t* ones = &ld.one_bits[k * words];
    // Slot 0 is the first haplotype's; it carries allele 1 or allele 0.
    const bool first_is_one = (ones[0] & 1U) != 0;
    for (size_t w = 0; w < words; ++w) bits[w] = first_is_one ? typed[w] & ~ones[w] : ones[w];
    size_t at = static_cast<size_t>(hash_words(bits.data(), words)) & (capacity - 1);
    while (slots[at] >= 0) {
      const auto stored = ld.pattern_bits.begin() +
                          static_cast<std::ptrdiff_t>(static_cast<size_t>(slots[at]) * words);
      if (std::equal(bits.begin(), bits.end(), stored)) break;
      at = (at + 1) & (capacity - 1);
    }
    if (slots[at] < 0) {
      slots[at] = static_cast<int>(ld.pattern_weight.size());
      ld.pattern_bits.insert(ld.pattern_bits.end(), bits.begin(), bits.end());
      ld.pattern_weight.push_back(first_is_one ? ld.total_weight - ld.one_weight[k]
                                               : ld.one_weight[k]);
    }
    ld.pattern[k] = slots[at];
  }
}

}  // namespace

void pack_biallelic_loci(PopGenetics::LdWorkspace& ld) {
  const size_t h_count = static_cast<size_t>(ld.num_haplotypes);
  const size_t num_poly = ld.poly_loci.size();
  ld.bit_words = 0;
  ld.packed.assign(num_poly, 0);
  ld.pattern.assign(num_poly, -1);
  ld.pattern_bits.clear();
  ld.pattern_weight.clear();
  if (h_count == 0 || ld.weights.size() != h_count) return;
  int max_weight = 0;
  long long total = 0;
  for (const int w : ld.weights) {
    if (w <= 0) return;  // every counted haplotype carries copies
    max_weight = std::max(max_weight, w);
    total += w;
  }
  int planes = 0;
  while (planes < 31 && (max_weight >> planes) != 0) ++planes;
  // Each haplotype takes one bit per gene copy (one weight plane) when that
  // makes fewer words to count than one bit per haplotype over all planes, so
  // at most planes times the words of the haplotypes whatever the counts.
  const size_t copy_words = static_cast<size_t>((total + 63) / 64);
  const size_t hap_words = (h_count + 63) / 64;
  const bool per_copy = copy_words <= hap_words * static_cast<size_t>(planes);
  const size_t words = per_copy ? copy_words : hap_words;
  std::vector<size_t> first_slot(h_count + 1,
                                 0);  // haplotype h: slots [first_slot[h], first_slot[h+1])
  for (size_t h = 0; h < h_count; ++h)
    first_slot[h + 1] = first_slot[h] + (per_copy ? static_cast<size_t>(ld.weights[h]) : 1);
  // Sets the slots of haplotype h, a run of bits, a word at a time.
  const auto set_slots = [&first_slot](std::uint64_t* bits, size_t h) {
    size_t slot = first_slot[h];
    const size_t end = first_slot[h + 1];
    while (slot < end) {
      const size_t in_word = std::min<size_t>(64 - slot % 64, end - slot);
      const std::uint64_t run =
          in_word == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << in_word) - 1;
      bits[slot / 64] |= run << (slot % 64);
      slot += in_word;
    }
  };
  ld.total_weight = total;
  ld.weight_planes = per_copy ? 1 : planes;
  ld.weight_bits.assign(static_cast<size_t>(ld.weight_planes) * words, 0);
  for (size_t h = 0; h < h_count; ++h)
    for (int p = 0; p < ld.weight_planes; ++p)
      if (per_copy || ((ld.weights[h] >> p) & 1))
        set_slots(&ld.weight_bits[static_cast<size_t>(p) * words], h);

  // Every slot of the sample: a locus without missing data is typed in all.
  std::vector<std::uint64_t> all_slots(words, 0);
  for (int p = 0; p < ld.weight_planes; ++p)
    for (size_t w = 0; w < words; ++w)
      all_slots[w] |= ld.weight_bits[static_cast<size_t>(p) * words + w];
  ld.fully_typed.assign(num_poly, 0);
  ld.typed_bits.assign(num_poly * words, 0);
  ld.one_bits.assign(num_poly * words, 0);
  ld.one_weight.assign(num_poly, 0);
  for (size_t k = 0; k < num_poly; ++k) {
    if (ld.num_alleles[k] != 2) continue;
    const int* codes = &ld.codes[k * h_count];
    if (std::find(codes, codes + h_count, kAbsent) != codes + h_count) continue;
    std::uint64_t* typed = &ld.typed_bits[k * words];
    std::uint64_t* ones = &ld.one_bits[k * words];
    const bool all_typed = std::find(codes, codes + h_count, kMissing) == codes + h_count;
    if (all_typed) std::copy(all_slots.begin(), all_slots.end(), typed);
    for (size_t h = 0; h < h_count; ++h) {
      if (codes[h] < 0) continue;
      if (!all_typed) set_slots(typed, h);
      if (codes[h] == 1) {
        set_slots(ones, h);
        ld.one_weight[k] += ld.weights[h];
      }
    }
    ld.fully_typed[k] = all_typed ? 1 : 0;
    ld.packed[k] = 1;
  }
  ld.bit_words = static_cast<int>(words);
  number_patterns(ld);
}

}  // namespace linkage

namespace {

constexpr const char* kAllPairsContext = "PopGenetics::calc_all_gam_des()";
constexpr const char* kTableContext = "PopGenetics::make_all_table()";
constexpr const char* kPairContext = "PopGenetics::calc_d_sd_values()";
// Pairs listed one per line in the log. A sequence sample can have hundreds of
// thousands of pairs, whose values all reach the summary lists anyway; a long
// listing would make the log of every call of a simulation study larger than
// its project file and cost more than the statistics themselves.
constexpr int kListedPairs = 10;

// A unit without any pair still takes one entry in each per-unit list, so that
// every unit of a pass has its column.
void append_unit_zeros() {
  if (SumStat.MEAN_ALL_DPRIME) SumStat.meanDprime.Add(0.0);
  if (SumStat.MEAN_ALL_R2) SumStat.meanR2.Add(0.0);
  if (SumStat.MEAN_ADJ_DPRIME) SumStat.meanAdjDprime.Add(0.0);
  if (SumStat.MEAN_ADJ_R2) SumStat.meanAdjR2.Add(0.0);
  if (SumStat.FLANK_DPRIME) SumStat.flankDprime.Add(0.0);
  if (SumStat.FLANK_R2) SumStat.flankR2.Add(0.0);
}

// Number of set bits (portable; the build targets no particular processor).
inline int bit_count(std::uint64_t x) {
  x = x - ((x >> 1) & 0x5555555555555555ULL);
  x = (x & 0x3333333333333333ULL) + ((x >> 2) & 0x3333333333333333ULL);
  x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
  return static_cast<int>((x * 0x0101010101010101ULL) >> 56);
}

// Copies of the haplotypes in word w of a mask: bit counts over the weight planes.
inline long long weighted_count(std::uint64_t mask, const std::uint64_t* planes, size_t w,
                                size_t words, int num_planes) {
  long long sum = 0;
  for (int p = 0; p < num_planes; ++p)
    sum += static_cast<long long>(bit_count(mask & planes[static_cast<size_t>(p) * words + w]))
           << p;
  return sum;
}

// Copies of a pair of packed loci (positions pa and pb): n typed at both, a1
// and b1 carrying allele 1 at A and at B, n11 carrying both; and the alleles of
// the first haplotype typed at both, which fix the order of rows and columns.
struct BiallelicCounts {
  long long n = 0, a1 = 0, b1 = 0, n11 = 0;
  int first_a = 0, first_b = 0;
  int rows() const { return n == 0 ? 0 : (a1 > 0 && a1 < n ? 2 : 1); }
  int cols() const { return n == 0 ? 0 : (b1 > 0 && b1 < n ? 2 : 1); }
  // Copies with allele x at A and y at B, and with allele x at A, y at B.
  long long cell(int x, int y) const {
    const long long ones = (x ? a1 : 0) + (y ? b1 : 0);
    return x && y ? n11 : (x || y ? ones - n11 : n - a1 - b1 + n11);
  }
  long long total_a(int x) const { return x ? a1 : n - a1; }
  long long total_b(int y) const { return y ? b1 : n - b1; }
};

BiallelicCounts count_biallelic(const PopGenetics::LdWorkspace& ld, size_t pa, size_t pb) {
  const size_t words = static_cast<size_t>(ld.bit_words);
  const std::uint64_t* typed_a = &ld.typed_bits[pa * words];
  const std::uint64_t* typed_b = &ld.typed_bits[pb * words];
  const std::uint64_t* ones_a = &ld.one_bits[pa * words];
  const std::uint64_t* ones_b = &ld.one_bits[pb * words];
  const std::uint64_t* planes = ld.weight_bits.data();
  const int num_planes = ld.weight_planes;
  BiallelicCounts k;
  if (ld.fully_typed[pa] && ld.fully_typed[pb]) {
    k.n = ld.total_weight;
    k.a1 = ld.one_weight[pa];
    k.b1 = ld.one_weight[pb];
    for (size_t w = 0; w < words; ++w)
      k.n11 += weighted_count(ones_a[w] & ones_b[w], planes, w, words, num_planes);
    k.first_a = static_cast<int>(ones_a[0] & 1U);
    k.first_b = static_cast<int>(ones_b[0] & 1U);
    return k;
  }
  bool found = false;
  for (size_t w = 0; w < words; ++w) {
    const std::uint64_t both = typed_a[w] & typed_b[w];
    if (both == 0) continue;
    if (!found) {
      const std::uint64_t lowest = both & (~both + 1);
      k.first_a = (ones_a[w] & lowest) != 0 ? 1 : 0;
      k.first_b = (ones_b[w] & lowest) != 0 ? 1 : 0;
      found = true;
    }
    const std::uint64_t a = ones_a[w] & both;
    const std::uint64_t b = ones_b[w] & both;
    k.n += weighted_count(both, planes, w, words, num_planes);
    k.a1 += weighted_count(a, planes, w, words, num_planes);
    k.b1 += weighted_count(b, planes, w, words, num_planes);
    k.n11 += weighted_count(a & b, planes, w, words, num_planes);
  }
  return k;
}

// The table of two packed loci, exactly as the general count builds it: rows
// and columns numbered by first appearance among the haplotypes typed at both.
void make_biallelic_table(PopGenetics::LdWorkspace& ld, size_t pa, size_t pb) {
  const BiallelicCounts k = count_biallelic(ld, pa, pb);
  const int rows = k.rows();
  const int cols = k.cols();
  const int allele_a[2] = {k.first_a, 1 - k.first_a};  // allele of each row
  const int allele_b[2] = {k.first_b, 1 - k.first_b};
  ld.rows = rows;
  ld.cols = cols;
  ld.n = k.n;
  ld.table.resize(static_cast<size_t>(rows * cols));
  ld.row_totals.resize(static_cast<size_t>(rows));
  ld.col_totals.resize(static_cast<size_t>(cols));
  for (int r = 0; r < rows; ++r) {
    ld.row_totals[static_cast<size_t>(r)] = k.total_a(allele_a[r]);
    for (int c = 0; c < cols; ++c)
      ld.table[static_cast<size_t>(r * cols + c)] = k.cell(allele_a[r], allele_b[c]);
  }
  for (int c = 0; c < cols; ++c) ld.col_totals[static_cast<size_t>(c)] = k.total_b(allele_b[c]);
}

// Place of a locus among the polymorphic loci when it is packed, else -1.
int packed_position(const PopGenetics::LdWorkspace& ld, int locus) {
  if (ld.bit_words <= 0 || locus < 0 || static_cast<size_t>(locus) >= ld.position.size()) return -1;
  const int p = ld.position[static_cast<size_t>(locus)];
  return p >= 0 && ld.packed[static_cast<size_t>(p)] ? p : -1;
}

// Mean of the list entries from position first on; 0 when there is none.
double mean_from(const MY_TArrayAsVector<double>& list, int first) {
  const int count = list.size() - first;
  if (count <= 0) return 0.0;
  double sum = 0.0;
  for (int i = first; i < list.size(); ++i) sum += list[i];
  return sum / count;
}

// Adds a pair's |D'| and r^2 to the unit's sums and to the adjacent and
// flanking lists, as the keywords ask.
void record_pair(const PopGenetics::LocusPair& pair, double dprime, double r2, double& dprime_sum,
                 double& r2_sum, int first_flank, int last_flank) {
  const bool adjacent = pair.locus_b - pair.locus_a == 1;
  const bool flanking = pair.locus_a == first_flank && pair.locus_b == last_flank;
  if (adjacent && (SumStat.ALL_ADJ_DPRIME || SumStat.MEAN_ADJ_DPRIME))
    SumStat.adjDprime.Add(dprime);
  if (SumStat.MEAN_ALL_DPRIME) dprime_sum += dprime;
  if (flanking && SumStat.FLANK_DPRIME) SumStat.flankDprime.Add(dprime);
  if (adjacent && (SumStat.ALL_ADJ_R2 || SumStat.MEAN_ADJ_R2)) SumStat.adjR2.Add(r2);
  if (SumStat.MEAN_ALL_R2) r2_sum += r2;
  if (flanking && SumStat.FLANK_R2) SumStat.flankR2.Add(r2);
}

// |D'| and r^2 of the cell (allele i of A, allele j of B), the same arithmetic
// as cell_measures without the chi-square; n > 0.
inline void cell_values(long long n_ij, long long row_total, long long col_total, long long n,
                        double& abs_dprime, double& r2) {
  const double total = static_cast<double>(n);
  const double p = row_total / total;
  const double q = col_total / total;
  const double d = n_ij / total - p * q;
  const double dmax =
      d <= 0.0 ? std::min(p * q, (1.0 - p) * (1.0 - q)) : std::min(p * (1.0 - q), (1.0 - p) * q);
  abs_dprime = dmax > 0.0 ? std::fabs(d / dmax) : 0.0;
  const double variance_product = p * (1.0 - p) * q * (1.0 - q);
  r2 = variance_product > 0.0 ? d * d / variance_product : 0.0;
}

// Values of a pair of loci whose patterns are a (locus A) and b (locus B): the
// last cell of their table holds the copies in both patterns.
void pattern_pair_values(const PopGenetics::LdWorkspace& ld, int a, int b, double& abs_dprime,
                         double& r2) {
  const size_t words = static_cast<size_t>(ld.bit_words);
  const std::uint64_t* bits_a = &ld.pattern_bits[static_cast<size_t>(a) * words];
  const std::uint64_t* bits_b = &ld.pattern_bits[static_cast<size_t>(b) * words];
  long long n11 = 0;
  for (size_t w = 0; w < words; ++w)
    n11 += weighted_count(bits_a[w] & bits_b[w], ld.weight_bits.data(), w, words, ld.weight_planes);
  cell_values(n11, ld.pattern_weight[static_cast<size_t>(a)],
              ld.pattern_weight[static_cast<size_t>(b)], ld.total_weight, abs_dprime, r2);
}

// Values of pairs of patterns (row: pattern of B, column: pattern of A), a
// row computed the first time a locus of its pattern needs it, for the measures
// whose mean over all pairs is reported. Kept when the patterns are few against
// the pairs of loci that use them.
struct PatternTable {
  static constexpr int kMaxPatterns = 724;  // 724^2 cells: 4 MB per measure at most
  int size = 0;                             // 0: no table
  std::vector<double> dprime;
  std::vector<double> r2;
  std::vector<std::uint8_t> row_done;

  PatternTable(const PopGenetics::LdWorkspace& ld, bool want_dprime, bool want_r2) {
    const int patterns = static_cast<int>(ld.pattern_weight.size());
    if (patterns == 0 || patterns > kMaxPatterns || (!want_dprime && !want_r2)) return;
    long long loci = 0;
    for (const int p : ld.pattern) loci += p >= 0;
    if (2LL * patterns * patterns > loci * loci) return;
    size = patterns;
    const size_t cells = static_cast<size_t>(patterns) * static_cast<size_t>(patterns);
    if (want_dprime) dprime.resize(cells);
    if (want_r2) r2.resize(cells);
    row_done.assign(static_cast<size_t>(patterns), 0);
  }
  // The row of pattern b: its values against every pattern a at locus A.
  void fill_row(const PopGenetics::LdWorkspace& ld, int b) {
    if (row_done[static_cast<size_t>(b)]) return;
    row_done[static_cast<size_t>(b)] = 1;
    for (int a = 0; a < size; ++a) {
      double d = 0.0;
      double r = 0.0;
      pattern_pair_values(ld, a, b, d, r);
      const size_t cell =
          static_cast<size_t>(b) * static_cast<size_t>(size) + static_cast<size_t>(a);
      if (!dprime.empty()) dprime[cell] = d;
      if (!r2.empty()) r2[cell] = r;
    }
  }
};

// Writes numbers as a stream does in its default float format (%g at the
// stream's precision, classic locale), without the stream's per-number locale
// work; a stream set up otherwise formats them itself.
class LineWriter {
 public:
  explicit LineWriter(std::ostream& out)
      : out_(out),
        precision_(out.precision() < 0 ? 6 : static_cast<int>(out.precision())),
        plain_((out.flags() & (std::ios_base::floatfield | std::ios_base::showpoint |
                               std::ios_base::showpos | std::ios_base::uppercase)) == 0 &&
               out.width() == 0 &&
               (out.getloc() == std::locale::classic() ||
                out.getloc() == qnd_number::fast_number_locale())) {
    line_.reserve(256);
  }
  ~LineWriter() { out_ << line_; }
  LineWriter& operator<<(const char* text) {
    line_ += text;
    return *this;
  }
  LineWriter& operator<<(long long x) {
    char buf[24];
    line_.append(buf, std::to_chars(buf, buf + sizeof buf, x).ptr);
    return *this;
  }
  LineWriter& operator<<(int x) { return *this << static_cast<long long>(x); }
  LineWriter& operator<<(double x) {
    if (!plain_) {
      out_ << line_ << x;
      line_.clear();
      return *this;
    }
    qnd_number::append_general(line_, x, precision_);
    return *this;
  }

 private:
  std::ostream& out_;
  int precision_;
  bool plain_;
  std::string line_;
};

}  // namespace

int PopGenetics::make_all_table(const LocusPair& pair) {
  const int num_positions = static_cast<int>(ld.position.size());
  const auto position_of = [&](int locus) {
    return locus >= 0 && locus < num_positions ? ld.position[static_cast<size_t>(locus)] : -1;
  };
  const int pa = position_of(pair.locus_a);
  const int pb = position_of(pair.locus_b);
  ld.rows = ld.cols = 0;
  ld.n = 0;
  if (pa < 0 || pb < 0) {
    E.error(Error, kTableContext, 60);
    return 0;
  }
  if (ld.bit_words > 0 && ld.packed[static_cast<size_t>(pa)] &&
      ld.packed[static_cast<size_t>(pb)]) {
    make_biallelic_table(ld, static_cast<size_t>(pa), static_cast<size_t>(pb));
    return 1;
  }
  const size_t h_count = static_cast<size_t>(ld.num_haplotypes);
  const int* codes_a = &ld.codes[static_cast<size_t>(pa) * h_count];
  const int* codes_b = &ld.codes[static_cast<size_t>(pb) * h_count];
  const int alleles_a = ld.num_alleles[static_cast<size_t>(pa)];
  const int alleles_b = ld.num_alleles[static_cast<size_t>(pb)];
  ld.local_a.assign(static_cast<size_t>(alleles_a), -1);
  ld.local_b.assign(static_cast<size_t>(alleles_b), -1);
  // Cells are indexed by the loci's own allele numbers while counting; the
  // table's rows and columns follow first appearance among counted haplotypes.
  ld.table.assign(static_cast<size_t>(alleles_a) * static_cast<size_t>(alleles_b), 0);
  // Plain locals and pointers keep the counting loop in registers.
  long long* const table = ld.table.data();
  int* const local_a = ld.local_a.data();
  int* const local_b = ld.local_b.data();
  const int* const weights = ld.weights.data();
  int rows = 0;
  int cols = 0;
  long long n = 0;
  for (size_t h = 0; h < h_count; ++h) {
    const int a = codes_a[h];
    const int b = codes_b[h];
    if (a < 0 || b < 0) {
      if (a == linkage::kAbsent || b == linkage::kAbsent) {
        E.error(Error, kTableContext, 60);
        ld.rows = ld.cols = 0;
        ld.n = 0;
        return 0;
      }
      continue;  // missing data at A or B
    }
    int& row = local_a[a];
    if (row < 0) row = rows++;
    int& col = local_b[b];
    if (col < 0) col = cols++;
    table[row * alleles_b + col] += weights[h];
    n += weights[h];
  }
  ld.rows = rows;
  ld.cols = cols;
  ld.n = n;
  // Compact to rows x cols, row by row.
  for (int r = 0; r < ld.rows; ++r)
    for (int c = 0; c < ld.cols; ++c)
      ld.table[static_cast<size_t>(r * ld.cols + c)] =
          ld.table[static_cast<size_t>(r) * static_cast<size_t>(alleles_b) +
                   static_cast<size_t>(c)];
  ld.table.resize(static_cast<size_t>(ld.rows * ld.cols));
  ld.row_totals.assign(static_cast<size_t>(ld.rows), 0);
  ld.col_totals.assign(static_cast<size_t>(ld.cols), 0);
  for (int r = 0; r < ld.rows; ++r)
    for (int c = 0; c < ld.cols; ++c) {
      const long long v = ld.table[static_cast<size_t>(r * ld.cols + c)];
      ld.row_totals[static_cast<size_t>(r)] += v;
      ld.col_totals[static_cast<size_t>(c)] += v;
    }
  return 1;
}

int PopGenetics::calc_d_sd_values(const LocusPair& pair, const settings&, double& dprime_sum,
                                  double& r2_sum, int first_flank, int last_flank,
                                  std::ostream& out) {
  double dprime = 0.0;  // the pair's |D'| and r^2: those of the last cell
  double r2 = 0.0;
  const int built = out ? listed_pair_values(pair, out, dprime, r2) : pair_values(pair, dprime, r2);
  record_pair(pair, dprime, r2, dprime_sum, r2_sum, first_flank, last_flank);
  return built;
}

// An unlisted pair needs only its last cell. Two loci with patterns take it
// from the patterns, other packed loci from their bit counts, the rest from
// the table.
int PopGenetics::pair_values(const LocusPair& pair, double& dprime, double& r2) {
  const int pa = packed_position(ld, pair.locus_a);
  const int pb = packed_position(ld, pair.locus_b);
  if (pa >= 0 && pb >= 0) {
    const int a = ld.pattern[static_cast<size_t>(pa)];
    const int b = ld.pattern[static_cast<size_t>(pb)];
    if (a >= 0 && b >= 0) {
      pattern_pair_values(ld, a, b, dprime, r2);
      return 1;
    }
    const BiallelicCounts k = count_biallelic(ld, static_cast<size_t>(pa), static_cast<size_t>(pb));
    if (k.rows() >= 2 && k.cols() >= 2) {
      const int last_a = 1 - k.first_a, last_b = 1 - k.first_b;  // alleles of the last cell
      cell_values(k.cell(last_a, last_b), k.total_a(last_a), k.total_b(last_b), k.n, dprime, r2);
    }
    return 1;
  }
  if (!make_all_table(pair)) return 0;
  // Every row and column total lies strictly between 0 and n here, so no cell
  // can lack a positive Dmax.
  if (ld.rows >= 2 && ld.cols >= 2) {
    const size_t last = static_cast<size_t>(ld.rows * ld.cols - 1);
    cell_values(ld.table[last], ld.row_totals[static_cast<size_t>(ld.rows - 1)],
                ld.col_totals[static_cast<size_t>(ld.cols - 1)], ld.n, dprime, r2);
  }
  return 1;
}

// A listed pair: its whole table, with the weighted sums over its cells.
int PopGenetics::listed_pair_values(const LocusPair& pair, std::ostream& out, double& dprime,
                                    double& r2) {
  if (!make_all_table(pair)) return 0;
  if (ld.rows < 2 || ld.cols < 2) {
    out << "Pair (" << pair.locus_a << ", " << pair.locus_b << "): n = " << ld.n
        << ", a locus has fewer than 2 alleles among the counted haplotypes\n";
    return 1;
  }
  double weighted_dprime = 0.0;  // sum over cells of p_i q_j |D'_ij|
  double weighted_r2 = 0.0;      // sum over cells of p_i q_j r^2_ij
  linkage::CellMeasures m;
  for (int i = 0; i < ld.rows; ++i)
    for (int j = 0; j < ld.cols; ++j) {
      m = linkage::cell_measures(ld.table[static_cast<size_t>(i * ld.cols + j)],
                                 ld.row_totals[static_cast<size_t>(i)],
                                 ld.col_totals[static_cast<size_t>(j)], ld.n);
      if (m.dmax_positive)
        weighted_dprime += m.p * m.q * std::fabs(m.dprime);
      else
        E.error(Error, kPairContext, 164);
      weighted_r2 += m.p * m.q * m.r2;
    }
  dprime = std::fabs(m.dprime);
  r2 = m.r2;
  LineWriter line(out);
  line << "Pair (" << pair.locus_a << ", " << pair.locus_b << "): n = " << ld.n << ", " << ld.rows
       << " x " << ld.cols << " alleles, D = " << m.d << ", D' = " << m.dprime << ", r2 = " << r2
       << ", chi2 = " << m.chi2
       << ", P = " << (m.chi2 > 0.0 ? Prob_of_chi_sq(1.0f, static_cast<float>(m.chi2)) : 1.0)
       << ", sum pq|D'| = " << weighted_dprime << ", sum pq r2 = " << weighted_r2 << "\n";
  return 1;
}

namespace {

// Adds the pairs (j, i) for j in [j_begin, j_end) to the sums, those between
// two loci with patterns from the table row of locus i's pattern; other pairs
// take their own values. None of these pairs is adjacent or flanking.
// next_plain[j] is the first locus from j on without a pattern, so that runs of
// loci with patterns add up in registers.
template <bool kDprime, bool kR2>
void add_row(PopGenetics& pop, PatternTable& table, const std::vector<int>& next_plain, int i,
             int j_begin, int j_end, double& dprime_sum, double& r2_sum) {
  const PopGenetics::LdWorkspace& ld = pop.ld;
  const int b = ld.pattern[static_cast<size_t>(i)];
  const size_t row = static_cast<size_t>(b) * static_cast<size_t>(table.size);
  table.fill_row(ld, b);
  const double* const dprime = kDprime ? table.dprime.data() + row : nullptr;
  const double* const r2 = kR2 ? table.r2.data() + row : nullptr;
  const int* const pattern = ld.pattern.data();
  int j = j_begin;
  while (j < j_end) {
    const int run_end = std::min(j_end, next_plain[static_cast<size_t>(j)]);
    double d = dprime_sum;
    double r = r2_sum;
    for (; j < run_end; ++j) {
      if (kDprime) d += dprime[pattern[j]];
      if (kR2) r += r2[pattern[j]];
    }
    dprime_sum = d;
    r2_sum = r;
    if (j == j_end) break;
    const PopGenetics::LocusPair pair{2, ld.poly_loci[static_cast<size_t>(j)],
                                      ld.poly_loci[static_cast<size_t>(i)]};
    double pair_dprime = 0.0;
    double pair_r2 = 0.0;
    pop.pair_values(pair, pair_dprime, pair_r2);
    record_pair(pair, pair_dprime, pair_r2, dprime_sum, r2_sum, -1, -1);
    ++j;
  }
}

}  // namespace

int PopGenetics::calc_all_gam_des(std::ostream& out, int chain_length, const settings& s) {
  // Haplotypes without copies carry no allele of the sample.
  std::vector<const std::string*> contents;
  ld.weights.clear();
  for (const PHaploDef* e : haplotypes) {
    if (e->count <= 0) continue;
    contents.push_back(&e->hap->content);
    ld.weights.push_back(e->count);
  }
  if (contents.empty()) {
    E.error(Error, kAllPairsContext, 108);
    append_unit_zeros();
    return 0;
  }
  // Within a pass over sequences only the sites that vary in the pass can vary here.
  const bool restricted = ProfileSettings::DataType == DNA && pass_sites_restricted;
  linkage::code_alleles(contents, ProfileSettings::DataType, ProfileSettings::LocusSeparator,
                        profile.MissingData, ld, restricted ? &pass_variable_sites : nullptr);
  linkage::pack_biallelic_loci(ld);
  const int num_poly = static_cast<int>(ld.poly_loci.size());
  if (num_poly < 2) {
    E.error(Warning, kAllPairsContext, 167);
    append_unit_zeros();
    ld = LdWorkspace();
    return 1;
  }

  out << "Linkage disequilibrium between pairs of polymorphic loci (" << num_poly
      << " polymorphic loci, " << static_cast<long long>(num_poly) * (num_poly - 1) / 2
      << " pairs)\n";
  if (s.MakeExactTestLD && chain_length != 0)
    out << "exact test of linkage disequilibrium is not available in this program\n";

  // The flanking pair is the first and the last polymorphic locus.
  const int first_flank = ld.poly_loci.front();
  const int last_flank = ld.poly_loci.back();
  const int adj_dprime_start = SumStat.adjDprime.size();
  const int adj_r2_start = SumStat.adjR2.size();
  const bool want_dprime = SumStat.MEAN_ALL_DPRIME;
  const bool want_r2 = SumStat.MEAN_ALL_R2;
  PatternTable table(ld, want_dprime, want_r2);
  std::vector<int> next_plain(static_cast<size_t>(num_poly) + 1, num_poly);
  for (int k = num_poly - 1; k >= 0; --k)
    next_plain[static_cast<size_t>(k)] =
        ld.pattern[static_cast<size_t>(k)] < 0 ? k : next_plain[static_cast<size_t>(k) + 1];
  double dprime_sum = 0.0;
  double r2_sum = 0.0;
  // A listed pair goes to the log with its whole table; the others need only
  // their last cell.
  const auto one_pair = [&](int j, int i, bool listed) {
    const LocusPair pair{2, ld.poly_loci[static_cast<size_t>(j)],
                         ld.poly_loci[static_cast<size_t>(i)]};
    if (listed) {
      calc_d_sd_values(pair, s, dprime_sum, r2_sum, first_flank, last_flank, out);
      return;
    }
    double dprime = 0.0;
    double r2 = 0.0;
    pair_values(pair, dprime, r2);
    record_pair(pair, dprime, r2, dprime_sum, r2_sum, first_flank, last_flank);
  };
  // Pairs in the order (0,1), (0,2), (1,2), (0,3), ...: the sums keep that
  // order. In row i only the pair (i-1, i) can be adjacent and only the pair
  // (0, i) of the last row flanking; the pairs between them add to the sums only.
  long long num_pairs = 0;
  for (int i = 1; i < num_poly; ++i) {
    int j = 0;
    for (; j < i && num_pairs < kListedPairs; ++j, ++num_pairs) one_pair(j, i, true);
    if (j == i) continue;
    num_pairs += i - j;
    if (j == 0 && i == num_poly - 1) one_pair(j++, i, false);
    const int middle_end = i - 1;
    if (j < middle_end) {
      if (table.size > 0 && ld.pattern[static_cast<size_t>(i)] >= 0) {
        if (want_dprime && want_r2)
          add_row<true, true>(*this, table, next_plain, i, j, middle_end, dprime_sum, r2_sum);
        else if (want_dprime)
          add_row<true, false>(*this, table, next_plain, i, j, middle_end, dprime_sum, r2_sum);
        else
          add_row<false, true>(*this, table, next_plain, i, j, middle_end, dprime_sum, r2_sum);
      } else {
        // Without a mean over all pairs, two loci with patterns add nothing.
        const bool skip_patterns =
            !want_dprime && !want_r2 && ld.pattern[static_cast<size_t>(i)] >= 0;
        for (int k = j; k < middle_end; ++k)
          if (!skip_patterns || ld.pattern[static_cast<size_t>(k)] < 0) one_pair(k, i, false);
      }
      j = middle_end;
    }
    if (j < i) one_pair(j, i, false);
  }
  if (num_pairs > kListedPairs)
    out << "(" << num_pairs - kListedPairs << " further pairs not listed)\n";

  if (SumStat.MEAN_ADJ_DPRIME)
    SumStat.meanAdjDprime.Add(mean_from(SumStat.adjDprime, adj_dprime_start));
  if (SumStat.MEAN_ADJ_R2) SumStat.meanAdjR2.Add(mean_from(SumStat.adjR2, adj_r2_start));
  if (SumStat.MEAN_ALL_DPRIME) SumStat.meanDprime.Add(dprime_sum / num_pairs);
  if (SumStat.MEAN_ALL_R2) SumStat.meanR2.Add(r2_sum / num_pairs);
  ld = LdWorkspace();  // the codes and bit sets of a long sequence are large
  return 1;
}
