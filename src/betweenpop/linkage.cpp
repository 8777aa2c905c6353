// Linkage disequilibrium between every pair of polymorphic loci of a sample whose
// gametes are known: the disequilibrium D, the standardised D' and r^2 of each
// pair, reported to the log and summarised into the eight linkage-disequilibrium
// lists of SumStat (means over all pairs, adjacent pairs, the flanking pair).
//
// The haplotypes are numbered once per sample into a flat table of allele codes
// (one row per polymorphic locus, one column per distinct haplotype); every pair
// then builds its contingency table from two rows, weighting each distinct
// haplotype by its count, so no per-pair work touches the sequences again.
#include "betweenpop/linkage.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <ostream>
#include <string_view>

#include "base/errors.h"
#include "globals.h"
#include "model/profile.h"
#include "settings/settings.h"
#include "sumstat/sumstat.h"
#include "withinpop/special_functions.h"

namespace linkage {

CellMeasures cell_measures(int n_ij, int row_total, int col_total, int n) {
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

// Allele codes of one locus over all haplotypes for character data; map is
// indexed by the character and holds the allele's number.
void code_char_locus(const Views& rows, size_t site, char missing, int* codes, int& num_alleles) {
  std::array<int, 256> number;
  number.fill(-1);
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
    int& m = number[static_cast<unsigned char>(c)];
    if (m < 0) m = next++;
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

void pack_biallelic_loci(PopGenetics::LdWorkspace& ld) {
  const size_t h_count = static_cast<size_t>(ld.num_haplotypes);
  const size_t num_poly = ld.poly_loci.size();
  ld.bit_words = 0;
  ld.packed.assign(num_poly, 0);
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
  // makes fewer words to count than one bit per haplotype over all planes.
  const size_t copy_words = static_cast<size_t>((total + 63) / 64);
  const size_t hap_words = (h_count + 63) / 64;
  const bool per_copy = copy_words <= hap_words * static_cast<size_t>(planes);
  const size_t words = per_copy ? copy_words : hap_words;
  std::vector<size_t> first_slot(h_count + 1,
                                 0);  // haplotype h: slots [first_slot[h], first_slot[h+1])
  for (size_t h = 0; h < h_count; ++h)
    first_slot[h + 1] = first_slot[h] + (per_copy ? static_cast<size_t>(ld.weights[h]) : 1);
  const auto set_slots = [&first_slot](std::uint64_t* bits, size_t h) {
    for (size_t slot = first_slot[h]; slot < first_slot[h + 1]; ++slot)
      bits[slot / 64] |= std::uint64_t{1} << (slot % 64);
  };
  ld.total_weight = static_cast<int>(total);
  ld.weight_planes = per_copy ? 1 : planes;
  ld.weight_bits.assign(static_cast<size_t>(ld.weight_planes) * words, 0);
  for (size_t h = 0; h < h_count; ++h)
    for (int p = 0; p < ld.weight_planes; ++p)
      if (per_copy || ((ld.weights[h] >> p) & 1))
        set_slots(&ld.weight_bits[static_cast<size_t>(p) * words], h);

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
    bool all_typed = true;
    for (size_t h = 0; h < h_count; ++h) {
      if (codes[h] < 0) {
        all_typed = false;
        continue;
      }
      set_slots(typed, h);
      if (codes[h] == 1) {
        set_slots(ones, h);
        ld.one_weight[k] += ld.weights[h];
      }
    }
    ld.fully_typed[k] = all_typed ? 1 : 0;
    ld.packed[k] = 1;
  }
  ld.bit_words = static_cast<int>(words);
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
  ld.n = static_cast<int>(k.n);
  ld.table.resize(static_cast<size_t>(rows * cols));
  ld.row_totals.resize(static_cast<size_t>(rows));
  ld.col_totals.resize(static_cast<size_t>(cols));
  for (int r = 0; r < rows; ++r) {
    ld.row_totals[static_cast<size_t>(r)] = static_cast<int>(k.total_a(allele_a[r]));
    for (int c = 0; c < cols; ++c)
      ld.table[static_cast<size_t>(r * cols + c)] =
          static_cast<int>(k.cell(allele_a[r], allele_b[c]));
  }
  for (int c = 0; c < cols; ++c)
    ld.col_totals[static_cast<size_t>(c)] = static_cast<int>(k.total_b(allele_b[c]));
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

}  // namespace

int PopGenetics::make_all_table(const LocusPair& pair) {
  const int num_positions = static_cast<int>(ld.position.size());
  const auto position_of = [&](int locus) {
    return locus >= 0 && locus < num_positions ? ld.position[static_cast<size_t>(locus)] : -1;
  };
  const int pa = position_of(pair.locus_a);
  const int pb = position_of(pair.locus_b);
  ld.rows = ld.cols = ld.n = 0;
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
  int* const table = ld.table.data();
  int* const local_a = ld.local_a.data();
  int* const local_b = ld.local_b.data();
  const int* const weights = ld.weights.data();
  int rows = 0;
  int cols = 0;
  int n = 0;
  for (size_t h = 0; h < h_count; ++h) {
    const int a = codes_a[h];
    const int b = codes_b[h];
    if (a < 0 || b < 0) {
      if (a == linkage::kAbsent || b == linkage::kAbsent) {
        E.error(Error, kTableContext, 60);
        ld.rows = ld.cols = ld.n = 0;
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
      const int v = ld.table[static_cast<size_t>(r * ld.cols + c)];
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
  const int pa = packed_position(ld, pair.locus_a);
  const int pb = packed_position(ld, pair.locus_b);
  // An unlisted pair needs only its last cell; for two packed loci that cell
  // comes straight from the bit counts, without a table (ld.table is then left
  // as it was).
  const bool from_counts = !out && pa >= 0 && pb >= 0;
  const int built = from_counts ? 1 : make_all_table(pair);
  if (from_counts) {
    const BiallelicCounts k = count_biallelic(ld, static_cast<size_t>(pa), static_cast<size_t>(pb));
    ld.rows = k.rows();
    ld.cols = k.cols();
    ld.n = static_cast<int>(k.n);
    if (ld.rows >= 2 && ld.cols >= 2) {
      const int last_a = 1 - k.first_a, last_b = 1 - k.first_b;  // alleles of the last cell
      const linkage::CellMeasures m = linkage::cell_measures(
          static_cast<int>(k.cell(last_a, last_b)), static_cast<int>(k.total_a(last_a)),
          static_cast<int>(k.total_b(last_b)), ld.n);
      dprime = std::fabs(m.dprime);
      r2 = m.r2;
    }
  } else if (built && ld.rows >= 2 && ld.cols >= 2 && !out) {
    // Unlisted pair: only its last cell is needed. Every row and column total
    // lies strictly between 0 and n here, so no cell can lack a positive Dmax.
    const size_t last = static_cast<size_t>(ld.rows * ld.cols - 1);
    const linkage::CellMeasures m =
        linkage::cell_measures(ld.table[last], ld.row_totals[static_cast<size_t>(ld.rows - 1)],
                               ld.col_totals[static_cast<size_t>(ld.cols - 1)], ld.n);
    dprime = std::fabs(m.dprime);
    r2 = m.r2;
  } else if (built && ld.rows >= 2 && ld.cols >= 2) {
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
    if (out) {
      out << "Pair (" << pair.locus_a << ", " << pair.locus_b << "): n = " << ld.n << ", "
          << ld.rows << " x " << ld.cols << " alleles, D = " << m.d << ", D' = " << m.dprime
          << ", r2 = " << r2 << ", chi2 = " << m.chi2
          << ", P = " << (m.chi2 > 0.0 ? Prob_of_chi_sq(1.0f, static_cast<float>(m.chi2)) : 1.0)
          << ", sum pq|D'| = " << weighted_dprime << ", sum pq r2 = " << weighted_r2 << '\n';
    }
  } else if (built && out) {
    out << "Pair (" << pair.locus_a << ", " << pair.locus_b << "): n = " << ld.n
        << ", a locus has fewer than 2 alleles among the counted haplotypes\n";
  }

  const bool adjacent = pair.locus_b - pair.locus_a == 1;
  const bool flanking = pair.locus_a == first_flank && pair.locus_b == last_flank;
  if (adjacent && (SumStat.ALL_ADJ_DPRIME || SumStat.MEAN_ADJ_DPRIME))
    SumStat.adjDprime.Add(dprime);
  if (SumStat.MEAN_ALL_DPRIME) dprime_sum += dprime;
  if (flanking && SumStat.FLANK_DPRIME) SumStat.flankDprime.Add(dprime);
  if (adjacent && (SumStat.ALL_ADJ_R2 || SumStat.MEAN_ADJ_R2)) SumStat.adjR2.Add(r2);
  if (SumStat.MEAN_ALL_R2) r2_sum += r2;
  if (flanking && SumStat.FLANK_R2) SumStat.flankR2.Add(r2);
  return built;
}

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
  std::ostream unlisted(nullptr);  // takes the pairs beyond the listed ones
  double dprime_sum = 0.0;
  double r2_sum = 0.0;
  long long num_pairs = 0;
  for (int i = 1; i < num_poly; ++i)
    for (int j = 0; j < i; ++j) {
      const LocusPair pair{2, ld.poly_loci[static_cast<size_t>(j)],
                           ld.poly_loci[static_cast<size_t>(i)]};
      std::ostream& pair_out = num_pairs < kListedPairs ? out : unlisted;
      calc_d_sd_values(pair, s, dprime_sum, r2_sum, first_flank, last_flank, pair_out);
      ++num_pairs;
    }
  if (num_pairs > kListedPairs)
    out << "(" << num_pairs - kListedPairs << " further pairs not listed)\n";

  if (SumStat.MEAN_ADJ_DPRIME)
    SumStat.meanAdjDprime.Add(mean_from(SumStat.adjDprime, adj_dprime_start));
  if (SumStat.MEAN_ADJ_R2) SumStat.meanAdjR2.Add(mean_from(SumStat.adjR2, adj_r2_start));
  if (SumStat.MEAN_ALL_DPRIME) SumStat.meanDprime.Add(dprime_sum / num_pairs);
  if (SumStat.MEAN_ALL_R2) SumStat.meanR2.Add(r2_sum / num_pairs);
  return 1;
}
