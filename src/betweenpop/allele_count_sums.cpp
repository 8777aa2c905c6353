// Sums of squared distances from allele counts (see allele_count_sums.h): the
// column arithmetic, and the columns of each data type's AMOVA distance.
#include "betweenpop/allele_count_sums.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <string>
#include <string_view>
#include <utility>

#include "betweenpop/distances.h"
#include "model/population.h"
#include "settings/settings.h"

using Units = AlleleCountSums::Units;

AlleleCountSums::AlleleCountSums(int num_haplotypes, int shift)
    : num_haplotypes_(num_haplotypes), shift_(shift) {}

void AlleleCountSums::add_column(Column c, std::vector<std::uint16_t> codes) {
  c.first_slot = num_slots_;
  num_slots_ += c.alleles + 1;  // the last slot takes the copies without data
  columns_.push_back(c);
  pending_.push_back(std::move(codes));
}

void AlleleCountSums::add_uniform(int alleles, Units weight, std::vector<std::uint16_t> codes) {
  add_column({kUniform, alleles, 0, weight, 0, alleles > 1 ? weight : 0}, std::move(codes));
}

void AlleleCountSums::add_table(int alleles, std::vector<Units> weights,
                                std::vector<std::uint16_t> codes) {
  const Units largest = weights.empty() ? 0 : *std::max_element(weights.begin(), weights.end());
  add_column({kTable, alleles, 0, 0, values_.size(), largest}, std::move(codes));
  values_.insert(values_.end(), weights.begin(), weights.end());
}

void AlleleCountSums::add_squared(std::vector<Units> sizes, std::vector<std::uint16_t> codes) {
  Units span = 0;
  if (!sizes.empty()) {
    const auto [low, high] = std::minmax_element(sizes.begin(), sizes.end());
    span = *high - *low;
    // Sizes from the smallest: the sums of sizes and of their squares stay small.
    const Units base = *low;
    for (Units& x : sizes) x -= base;
  }
  const int alleles = static_cast<int>(sizes.size());
  add_column({kSquared, alleles, 0, 0, values_.size(), span * span}, std::move(codes));
  values_.insert(values_.end(), sizes.begin(), sizes.end());
}

void AlleleCountSums::set_codes(std::vector<std::uint8_t> codes) {
  narrow_codes_ = std::move(codes);
}

void AlleleCountSums::finish() {
  const size_t width = columns_.size();
  const size_t cells = static_cast<size_t>(num_haplotypes_) * width;
  if (narrow_codes_.size() != cells) {
    bool narrow = true;
    for (const Column& c : columns_) narrow = narrow && c.alleles < 255;
    if (narrow)
      narrow_codes_.assign(cells, 0);
    else
      wide_codes_.assign(cells, 0);
    for (size_t c = 0; c < width; ++c) {
      const std::vector<std::uint16_t>& column = pending_[c];
      for (size_t h = 0; h < column.size(); ++h) {
        if (narrow)
          narrow_codes_[h * width + c] = static_cast<std::uint8_t>(column[h]);
        else
          wide_codes_[h * width + c] = column[h];
      }
    }
  }
  std::vector<std::vector<std::uint16_t>>().swap(pending_);
  first_slots_.clear();
  for (const Column& c : columns_) first_slots_.push_back(c.first_slot);
}

bool AlleleCountSums::exact_for(double gene_copies) const {
  double largest = 0.0;
  for (const Column& c : columns_) largest += static_cast<double>(c.largest);
  const double pairs = gene_copies * (gene_copies - 1.0) / 2.0;
  // Below 2^52 with room for the rounding of this estimate itself.
  return pairs * largest < 4503599627370496.0;
}

template <typename Code>
void AlleleCountSums::fill(const Code* codes, const std::vector<int>& haps,
                           const std::vector<int>& counts, Profile& out) const {
  out.assign(static_cast<size_t>(num_slots_), 0);
  const size_t width = columns_.size();
  std::int32_t* slots = out.data();
  const std::int32_t* first = first_slots_.data();
  for (size_t i = 0; i < haps.size(); ++i) {
    const Code* row = codes + static_cast<size_t>(haps[i]) * width;
    const std::int32_t c = counts[i];
    for (size_t k = 0; k < width; ++k) slots[first[k] + row[k]] += c;
  }
}

void AlleleCountSums::fill_profile(const std::vector<int>& haps, const std::vector<int>& counts,
                                   Profile& out) const {
  if (wide_codes_.empty())
    fill(narrow_codes_.data(), haps, counts, out);
  else
    fill(wide_codes_.data(), haps, counts, out);
}

Units AlleleCountSums::within(const Profile& p) const {
  Units total = 0;
  for (const Column& c : columns_) {
    const std::int32_t* n = p.data() + c.first_slot;
    const int A = c.alleles;
    switch (c.kind) {
      case kUniform: {
        Units copies = 0, squares = 0;
        for (int a = 0; a < A; ++a) {
          copies += n[a];
          squares += static_cast<Units>(n[a]) * n[a];
        }
        total += c.weight * ((copies * copies - squares) / 2);
        break;
      }
      case kTable: {
        const Units* w = values_.data() + c.values_at;
        for (int a = 1; a < A; ++a) {
          if (n[a] == 0) continue;
          Units row = 0;
          for (int b = 0; b < a; ++b) row += n[b] * w[a * A + b];
          total += n[a] * row;
        }
        break;
      }
      case kSquared: {
        const Units* x = values_.data() + c.values_at;
        Units copies = 0, s1 = 0, s2 = 0;
        for (int a = 0; a < A; ++a) {
          copies += n[a];
          s1 += n[a] * x[a];
          s2 += n[a] * x[a] * x[a];
        }
        total += copies * s2 - s1 * s1;
        break;
      }
    }
  }
  return total;
}

Units AlleleCountSums::between(const Profile& p, const Profile& q) const {
  Units total = 0;
  for (const Column& c : columns_) {
    const std::int32_t* np = p.data() + c.first_slot;
    const std::int32_t* nq = q.data() + c.first_slot;
    const int A = c.alleles;
    switch (c.kind) {
      case kUniform: {
        Units cp = 0, cq = 0, same = 0;
        for (int a = 0; a < A; ++a) {
          cp += np[a];
          cq += nq[a];
          same += static_cast<Units>(np[a]) * nq[a];
        }
        total += c.weight * (cp * cq - same);
        break;
      }
      case kTable: {
        const Units* w = values_.data() + c.values_at;
        for (int a = 0; a < A; ++a) {
          if (np[a] == 0) continue;
          Units row = 0;
          for (int b = 0; b < A; ++b) row += nq[b] * w[a * A + b];
          total += np[a] * row;
        }
        break;
      }
      case kSquared: {
        const Units* x = values_.data() + c.values_at;
        Units cp = 0, cq = 0, s1p = 0, s1q = 0, s2p = 0, s2q = 0;
        for (int a = 0; a < A; ++a) {
          cp += np[a];
          cq += nq[a];
          s1p += np[a] * x[a];
          s1q += nq[a] * x[a];
          s2p += np[a] * x[a] * x[a];
          s2q += nq[a] * x[a] * x[a];
        }
        total += cq * s2p + cp * s2q - 2 * s1p * s1q;
        break;
      }
    }
  }
  return total;
}

template <typename Code>
Units AlleleCountSums::distance(const Code* codes, int h1, int h2) const {
  const size_t width = columns_.size();
  const Code* r1 = codes + static_cast<size_t>(h1) * width;
  const Code* r2 = codes + static_cast<size_t>(h2) * width;
  Units d = 0;
  for (size_t k = 0; k < width; ++k) {
    const Column& c = columns_[k];
    const int a = r1[k], b = r2[k];
    if (a == b || a == c.alleles || b == c.alleles) continue;
    if (c.kind == kUniform) {
      d += c.weight;
    } else if (c.kind == kTable) {
      d += values_[c.values_at + static_cast<size_t>(a * c.alleles + b)];
    } else {
      const Units diff = values_[c.values_at + static_cast<size_t>(a)] -
                         values_[c.values_at + static_cast<size_t>(b)];
      d += diff * diff;
    }
  }
  return d;
}

Units AlleleCountSums::distance(int h1, int h2) const {
  return wide_codes_.empty() ? distance(narrow_codes_.data(), h1, h2)
                             : distance(wide_codes_.data(), h1, h2);
}

double AlleleCountSums::value(Units u) const { return std::ldexp(static_cast<double>(u), -shift_); }

// ---------------------------------------------------------------------------
// The columns of each data type.
// ---------------------------------------------------------------------------

namespace {

using qnd_dist::allele_tokens;
using qnd_dist::allele_value;

constexpr int kMaxShift = 16;                // weights down to 2^-16
constexpr double kMaxWeight = 1073741824.0;  // 2^30 units per site
constexpr size_t kMaxAlleles = 65535;        // a code must fit 16 bits with the no-data code

// The smallest shift that makes every weight a whole number of units below
// 2^30, or -1. Weights must be finite and not negative.
int common_shift(const std::vector<double>& weights) {
  for (int shift = 0; shift <= kMaxShift; ++shift) {
    bool whole = true;
    for (const double w : weights) {
      const double units = std::ldexp(w, shift);
      if (!(w >= 0.0) || !(units < kMaxWeight) || units != std::floor(units)) whole = false;
    }
    if (whole) return shift;
  }
  return -1;
}

// Numbers the distinct keys of one column in order of first appearance (a
// column has few alleles: a short list is searched, a map kept beyond it);
// a haplotype without data gets the code alleles() once all keys are known.
// Equality of keys; short texts (alleles are a few characters) are compared
// in place rather than through a library call.
template <typename Key>
bool same_key(const Key& a, const Key& b) {
  return a == b;
}
template <>
bool same_key(const std::string_view& a, const std::string_view& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i]) return false;
  return true;
}

template <typename Key>
class ColumnCoder {
 public:
  explicit ColumnCoder(size_t num_haplotypes)
      : codes_(num_haplotypes, 0), none_(num_haplotypes, 0) {}
  bool add(size_t h, const Key& key) {
    size_t k = 0;
    if (index_.empty()) {
      while (k < keys_.size() && !same_key(keys_[k], key)) ++k;
    } else {
      const auto it = index_.find(key);
      k = it == index_.end() ? keys_.size() : it->second;
    }
    if (k == keys_.size()) {
      if (keys_.size() >= kMaxAlleles) return false;
      keys_.push_back(key);
      if (!index_.empty() || keys_.size() > kShortList) {
        for (size_t i = index_.size(); i < keys_.size(); ++i) index_.emplace(keys_[i], i);
      }
    }
    codes_[h] = static_cast<std::uint16_t>(k);
    return true;
  }
  void add_none(size_t h) { none_[h] = 1; }
  int alleles() const { return static_cast<int>(keys_.size()); }
  const std::vector<Key>& keys() const { return keys_; }
  std::vector<std::uint16_t> take_codes() {
    for (size_t h = 0; h < codes_.size(); ++h) {
      if (none_[h]) codes_[h] = static_cast<std::uint16_t>(keys_.size());
    }
    return std::move(codes_);
  }

 private:
  static constexpr size_t kShortList = 32;
  std::map<Key, size_t> index_;
  std::vector<Key> keys_;
  std::vector<std::uint16_t> codes_;
  std::vector<std::uint8_t> none_;
};

// The characters of the packed variable sites, numbered column by column in
// order of first appearance (chars[t] lists column t's), haplotype by
// haplotype into codes; the character *none (when given) stands for no data
// and gets the code chars[t].size(). False when a column holds more than 254
// characters (the codes are bytes).
bool code_characters(const qnd_dist::VariableSites& vs, int n, const char* none,
                     std::vector<std::string>& chars, std::vector<std::uint8_t>& codes) {
  constexpr std::uint8_t kNone = 0xFF;
  const size_t width = vs.width();
  chars.assign(width, std::string());
  codes.assign(static_cast<size_t>(n) * width, 0);
  bool any_none = false, too_many = false;
  auto code_of = [&](size_t t, char c) -> std::uint8_t {
    if (none != nullptr && c == *none) {
      any_none = true;
      return kNone;
    }
    std::string& seen = chars[t];  // a few characters: no allocation
    size_t k = 0;
    while (k < seen.size() && seen[k] != c) ++k;
    if (k == seen.size()) {
      if (k >= 254) too_many = true;
      seen.push_back(c);
    }
    return static_cast<std::uint8_t>(k);
  };
  if (n == 0) return true;
  const char* first = vs.row(0);
  for (size_t t = 0; t < width; ++t) codes[t] = code_of(t, first[t]);
  // Most characters are haplotype 0's: they take its code.
  for (int h = 1; h < n; ++h) {
    const char* row = vs.row(h);
    std::uint8_t* out = codes.data() + static_cast<size_t>(h) * width;
    for (size_t t = 0; t < width; ++t) out[t] = row[t] == first[t] ? codes[t] : code_of(t, row[t]);
  }
  if (any_none) {
    for (size_t i = 0; i < codes.size(); ++i) {
      if (codes[i] == kNone) codes[i] = static_cast<std::uint8_t>(chars[i % width].size());
    }
  }
  return !too_many;
}

// DNA, number of pairwise differences. The weight of a site is that of its
// category (transition, transversion, unknown type, indel: each with its
// weight, nothing for the others), taken from the distance's own formula on a
// single site of the category, so that both paths weigh alike.
std::unique_ptr<AlleleCountSums> dna_sums(const Population& pop, const settings& s) {
  PopulDNA scratch;
  scratch.w_ts = s.TransitionWeight;
  scratch.w_tv = s.TranversionWeight;
  scratch.w_del = s.DeletionWeight;
  std::vector<double> weight(qnd_dist::kNumCategories, 0.0);
  for (int k = 0; k < qnd_dist::kNumCategories; ++k) {
    qnd_dist::SiteCounts one{};
    one[static_cast<size_t>(k)] = 1;
    if (!qnd_dist::finish_dna_distance(scratch, qnd_dist::kPairwiseDifference, one)) return nullptr;
    weight[static_cast<size_t>(k)] = scratch.dist_d;
  }
  const int shift = common_shift(weight);
  if (shift < 0) return nullptr;
  std::vector<Units> units(weight.size());
  for (size_t k = 0; k < weight.size(); ++k)
    units[k] = static_cast<Units>(std::ldexp(weight[k], shift));

  const char m = pop.profile.MissingData;
  const qnd_dist::CategoryTable& table = qnd_dist::category_table_for(m);
  const qnd_dist::VariableSites vs =
      qnd_dist::find_variable_sites(pop, qnd_dist::longest_content(pop), m);
  const int n = pop.num_haplotypes();
  auto sums = std::make_unique<AlleleCountSums>(n, shift);
  std::vector<std::string> chars;
  std::vector<std::uint8_t> codes;
  if (!code_characters(vs, n, nullptr, chars, codes)) return nullptr;
  for (const std::string& ch : chars) {
    const int A = static_cast<int>(ch.size());
    // The matrix weighs the pair with the later haplotype's character first:
    // a pair that weighs differently in the two orders needs the matrix.
    std::vector<Units> w(static_cast<size_t>(A) * static_cast<size_t>(A), 0);
    bool uniform = true;
    const Units first = A > 1 ? units[table(ch[1], ch[0])] : 0;
    for (int a = 0; a < A; ++a) {
      for (int b = 0; b < A; ++b) {
        const Units wab = units[table(ch[static_cast<size_t>(a)], ch[static_cast<size_t>(b)])];
        const Units wba = units[table(ch[static_cast<size_t>(b)], ch[static_cast<size_t>(a)])];
        if (wab != wba || (a == b && wab != 0)) return nullptr;
        w[static_cast<size_t>(a * A + b)] = wab;
        if (a != b && wab != first) uniform = false;
      }
    }
    if (uniform)
      sums->add_uniform(A, first, {});
    else
      sums->add_table(A, std::move(w), {});
  }
  sums->set_codes(std::move(codes));
  return sums;
}

// RFLP, number of differences: 1 for two different characters at a usable
// site, neither the missing-data character.
std::unique_ptr<AlleleCountSums> rflp_sums(const Population& pop) {
  const char m = pop.profile.MissingData;
  const qnd_dist::VariableSites vs =
      qnd_dist::find_variable_sites(pop, qnd_dist::longest_content(pop), m);
  const int n = pop.num_haplotypes();
  auto sums = std::make_unique<AlleleCountSums>(n, 0);
  std::vector<std::string> chars;
  std::vector<std::uint8_t> codes;
  if (!code_characters(vs, n, &m, chars, codes)) return nullptr;
  for (const std::string& ch : chars) sums->add_uniform(static_cast<int>(ch.size()), 1, {});
  sums->set_codes(std::move(codes));
  return sums;
}

// The allele texts of every haplotype (one flat list: haplotype h's are
// tokens[at[h] .. at[h + 1])), and the largest number of loci.
struct HaplotypeTokens {
  std::vector<std::string_view> tokens;
  std::vector<size_t> at;
  size_t num_loci = 0;
  size_t size() const { return at.size() - 1; }
  // Allele k of haplotype h, or nullptr beyond its end.
  const std::string_view* get(size_t h, size_t k) const {
    return at[h] + k < at[h + 1] ? &tokens[at[h] + k] : nullptr;
  }
};

HaplotypeTokens tokens_of(const Population& pop) {
  HaplotypeTokens t;
  std::vector<std::string_view> one;
  t.at.push_back(0);
  for (const PHaploDef* h : pop.haplotypes) {
    allele_tokens(h->hap->content, one);
    t.tokens.insert(t.tokens.end(), one.begin(), one.end());
    t.at.push_back(t.tokens.size());
    t.num_loci = std::max(t.num_loci, one.size());
  }
  return t;
}

// Microsatellites: the number of loci whose sizes differ (squared = false) or
// the sum of squared size differences (squared = true, whole sizes only), over
// the usable loci where both copies have data. A size equal to the matrix's
// missing-data marker counts as missing there, and so here.
std::unique_ptr<AlleleCountSums> microsat_sums(const Population& pop, bool squared) {
  constexpr double kMarker = -99999.0;
  const HaplotypeTokens tokens = tokens_of(pop);
  const std::string_view missing(&pop.profile.MissingData, 1);
  const size_t n = tokens.size();
  auto sums = std::make_unique<AlleleCountSums>(static_cast<int>(n), 0);
  for (size_t k = 0; k < tokens.num_loci; ++k) {
    if (!pop.site_usable(k)) continue;
    // Alleles by their texts first, so that each text is read as a number once.
    ColumnCoder<std::string_view> texts(n);
    for (size_t h = 0; h < n; ++h) {
      const std::string_view* text = tokens.get(h, k);
      if (text == nullptr || *text == missing)
        texts.add_none(h);
      else if (!texts.add(h, *text))
        return nullptr;
    }
    // Then by size: texts of one size ("10", "010") are one allele, and a size
    // equal to the marker is no data.
    constexpr std::uint16_t kNone = 0xFFFF;
    std::vector<double> values;
    std::vector<std::uint16_t> allele_of;
    for (const std::string_view text : texts.keys()) {
      double v = 0.0;
      if (!allele_value(text, v)) return nullptr;  // the matrix path reports the failure
      v += 0.0;                                    // -0 and 0 are one size
      size_t a = 0;
      while (a < values.size() && values[a] != v) ++a;
      if (a == values.size() && v != kMarker) values.push_back(v);
      allele_of.push_back(v == kMarker ? kNone : static_cast<std::uint16_t>(a));
    }
    const int A = static_cast<int>(values.size());
    if (A < 2) continue;
    allele_of.push_back(kNone);  // the texts' no-data code
    std::vector<std::uint16_t> codes = texts.take_codes();
    for (std::uint16_t& c : codes) {
      c = allele_of[c];
      if (c == kNone) c = static_cast<std::uint16_t>(A);
    }
    if (!squared) {
      sums->add_uniform(A, 1, std::move(codes));
      continue;
    }
    std::vector<Units> sizes;
    for (const double v : values) {
      if (v != std::floor(v) || std::fabs(v) > kMaxWeight) return nullptr;
      sizes.push_back(static_cast<Units>(v));
    }
    sums->add_squared(std::move(sizes), std::move(codes));
  }
  return sums;
}

// Standard data: the number of usable loci where both alleles are present and
// their texts differ.
std::unique_ptr<AlleleCountSums> standard_sums(const Population& pop) {
  const HaplotypeTokens tokens = tokens_of(pop);
  const std::string_view missing(&pop.profile.MissingData, 1);
  const size_t n = tokens.size();
  auto sums = std::make_unique<AlleleCountSums>(static_cast<int>(n), 0);
  for (size_t k = 0; k < tokens.num_loci; ++k) {
    if (!pop.site_usable(k)) continue;
    ColumnCoder<std::string_view> coder(n);
    for (size_t h = 0; h < n; ++h) {
      const std::string_view* text = tokens.get(h, k);
      if (text == nullptr || *text == missing)
        coder.add_none(h);
      else if (!coder.add(h, *text))
        return nullptr;
    }
    if (coder.alleles() > 1) sums->add_uniform(coder.alleles(), 1, coder.take_codes());
  }
  return sums;
}

// Conventional F-statistics: two haplotypes are at distance 1 when they
// differ, 0 otherwise. DNA and RFLP: every two listed haplotypes differ.
// Microsatellite and standard data: they differ when some usable locus holds
// two different texts; without missing data at the usable loci that sorts the
// haplotypes into classes of equal texts, one allele per class. With missing
// data "differ" is not transitive: the matrix is needed.
std::unique_ptr<AlleleCountSums> conventional_sums(const Population& pop) {
  const size_t n = static_cast<size_t>(pop.num_haplotypes());
  auto sums = std::make_unique<AlleleCountSums>(static_cast<int>(n), 0);
  std::vector<std::uint16_t> codes(n, 0);
  const TDataType type = ProfileSettings::DataType;
  if (type == DNA || type == RFLP) {
    if (n > kMaxAlleles) return nullptr;
    for (size_t h = 0; h < n; ++h) codes[h] = static_cast<std::uint16_t>(h);
    sums->add_uniform(static_cast<int>(n), 1, std::move(codes));
    return sums;
  }
  const HaplotypeTokens tokens = tokens_of(pop);
  const std::string_view missing(&pop.profile.MissingData, 1);
  ColumnCoder<std::vector<std::string_view>> coder(n);
  for (size_t h = 0; h < n; ++h) {
    std::vector<std::string_view> key;
    for (size_t k = 0; k < tokens.num_loci; ++k) {
      if (!pop.site_usable(k)) continue;
      const std::string_view* text = tokens.get(h, k);
      if (text == nullptr || *text == missing) return nullptr;
      key.push_back(*text);
    }
    if (!coder.add(h, key)) return nullptr;
  }
  if (coder.alleles() > 1) sums->add_uniform(coder.alleles(), 1, coder.take_codes());
  return sums;
}

}  // namespace

std::unique_ptr<AlleleCountSums> count_sums_for(const Population& pop, const settings& s,
                                                int method) {
  const TDataType type = ProfileSettings::DataType;
  if (pop.num_haplotypes() == 0) return nullptr;
  std::unique_ptr<AlleleCountSums> sums;
  if (s.ComputeConventionalFST) {
    if (type != FREQUENCY) sums = conventional_sums(pop);  // frequencies: a constant matrix
  } else if (type == DNA) {
    const bool differences = method < qnd_dist::kJukesCantor || method > qnd_dist::kTamuraNei;
    if (differences) sums = dna_sums(pop, s);
  } else if (type == RFLP) {
    if (method != 1) sums = rflp_sums(pop);
  } else if (type == MICROSAT) {
    sums = microsat_sums(pop, method == 1);
  } else {
    sums = standard_sums(pop);
  }
  if (sums) sums->finish();
  return sums;
}
