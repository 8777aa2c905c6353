// Mean allele size per locus of a population, the input of (delta mu)^2
// (Goldstein et al. 1995). A haplotype's content holding a blank is split into
// blank-separated alleles; any other content has one allele per character.
// Sizes follow the microsatellite rule: a whole number as written, any other
// text read as a decimal number, plus 0.5, truncated (so 20.5 counts 21, and a
// letter or a gap 0).
// Every allele counts except missing ones (the missing-data character, and for
// DNA the ambiguity codes); the mean of a locus is the sum of count x size over
// the sum of counts of those alleles, 0 without any.
//
// No text is parsed per gene copy: whole numbers are read while their allele is
// scanned, any other distinct text once. Contents of one character per locus
// (sequences, RFLP) go through a table of the 256 characters and are summed in
// exact integers: every haplotype is compared word by word with the first one,
// so only the sites where it differs cost more than a word compare, and
// sequences without any digit (whose means are all 0) cost one scan.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "betweenpop/amova.h"
#include "model/population.h"
#include "withinpop/gene_diversity.h"

namespace {

struct Row {
  std::string_view content;
  int count;
};

// Reads allele texts as sizes, each distinct text once.
class SizeReader {
 public:
  int read(std::string_view text) {
    auto found = read_.find(text);
    if (found == read_.end()) found = read_.emplace(text, qnd_diversity::allele_size(text)).first;
    return found->second;
  }

 private:
  std::unordered_map<std::string_view, int> read_;
};

// Any layout: sums in double, haplotype after haplotype. A content holding a
// blank is cut at blanks, any other one into characters. Whole numbers of up to
// 9 digits are read while the allele is scanned; other texts go through the
// reader.
std::vector<double> mean_sizes_by_allele(const std::vector<Row>& rows, char missing,
                                         TDataType type) {
  SizeReader reader;
  std::vector<double> sum;
  std::vector<double> copies;
  for (const Row& row : rows) {
    const std::string_view c = row.content;
    const bool by_character = c.find(' ') == std::string_view::npos;
    qnd_diversity::for_each_allele(
        c, by_character, ' ', [&](size_t l, std::string_view allele, bool digits, int whole) {
          if (l >= sum.size()) {
            sum.resize(l + 1, 0.0);
            copies.resize(l + 1, 0.0);
          }
          if (qnd_diversity::is_missing_allele(allele, missing, type)) return;
          const int size = digits && allele.size() <= 9 ? whole : reader.read(allele);
          sum[l] += row.count * static_cast<double>(size);
          copies[l] += row.count;
        });
  }
  for (size_t l = 0; l < sum.size(); ++l) sum[l] = copies[l] > 0 ? sum[l] / copies[l] : 0.0;
  return sum;
}

// The high bit of every byte of a word that is a digit (the bytes strictly
// between '/' and ':'), without a branch per byte.
inline std::uint64_t digit_bytes(std::uint64_t x) {
  constexpr std::uint64_t kOnes = ~std::uint64_t{0} / 255;
  constexpr std::uint64_t kLow7 = kOnes * 127;
  const std::uint64_t low = x & kLow7;
  return (kOnes * (127 + ':') - low) & ~x & (low + kOnes * (127 - '/')) & (kOnes * 128);
}

inline std::uint64_t word_at(std::string_view s, size_t i) {
  std::uint64_t w = 0;
  std::memcpy(&w, s.data() + i, 8);
  return w;
}

// A plain loop over the bytes, which the compiler turns into wide compares.
bool holds_digit(std::string_view s) {
  unsigned char found = 0;
  for (const char c : s)
    found |= static_cast<unsigned char>(static_cast<unsigned char>(c - '0') < 10);
  return found != 0;
}

// One character per locus: per locus the integer sums of count x digit and of
// counts over the characters that read as numbers. Each site starts as if every
// haplotype held the first one's character; each other haplotype then corrects
// the sites where it differs (or that it lacks or adds). Sequences without
// digits never reach the per-site sums.
std::vector<double> mean_sizes_by_character(const std::vector<Row>& rows, char missing,
                                            TDataType type, std::int64_t total) {
  // A digit is its own size, any other character 0; missing characters, and
  // the end of a shorter content ('\0'), do not count.
  std::int64_t value[256] = {};
  std::int64_t counted[256] = {};
  for (int ch = 1; ch < 256; ++ch) {
    const char c = static_cast<char>(ch);
    counted[ch] = qnd_diversity::is_missing_allele(std::string_view(&c, 1), missing, type) ? 0 : 1;
    if (c >= '0' && c <= '9') value[ch] = counted[ch] * (c - '0');
  }
  const auto at = [](std::string_view s, size_t i) { return static_cast<unsigned char>(s[i]); };

  size_t length = 0;
  for (const Row& row : rows) length = std::max(length, row.content.size());
  // Only digits have a size: sequences without any have means 0.
  if (std::none_of(rows.begin(), rows.end(), [](const Row& r) { return holds_digit(r.content); }))
    return {};
  std::vector<double> mean(length, 0.0);
  std::vector<std::int64_t> sum(length, 0);
  std::vector<std::int64_t> copies(length, 0);
  bool any = false;  // some site holds a number
  const std::string_view first = rows.front().content;
  const auto start = [&](size_t l) {
    sum[l] = total * value[at(first, l)];
    copies[l] = total * counted[at(first, l)];
    any = any || copies[l] != 0;
  };
  size_t l = 0;
  for (; l + 8 <= first.size(); l += 8)
    if (digit_bytes(word_at(first, l)) != 0)
      for (size_t k = l; k < l + 8; ++k) start(k);
  for (; l < first.size(); ++l) start(l);
  const auto correct = [&](size_t site, unsigned char own, unsigned char assumed, std::int64_t c) {
    if ((counted[own] | counted[assumed]) == 0) return;
    sum[site] += c * (value[own] - value[assumed]);
    copies[site] += c * (counted[own] - counted[assumed]);
    any = true;
  };
  for (size_t r = 1; r < rows.size(); ++r) {
    const std::string_view s = rows[r].content;
    const std::int64_t c = rows[r].count;
    const size_t common = std::min(s.size(), first.size());
    for (l = 0; l + 8 <= common; l += 8) {
      if (word_at(s, l) == word_at(first, l)) continue;
      for (size_t k = l; k < l + 8; ++k)
        if (s[k] != first[k]) correct(k, at(s, k), at(first, k), c);
    }
    for (; l < common; ++l)
      if (s[l] != first[l]) correct(l, at(s, l), at(first, l), c);
    for (l = common; l < first.size(); ++l) correct(l, 0, at(first, l), c);  // '\0' counts 0
    for (l = common; l < s.size(); ++l) correct(l, at(s, l), 0, c);
  }
  if (!any) return mean;
  for (l = 0; l < length; ++l)
    if (copies[l] > 0) mean[l] = static_cast<double>(sum[l]) / static_cast<double>(copies[l]);
  return mean;
}

}  // namespace

std::vector<double> mean_allele_sizes_of(const Population& pop) {
  std::vector<Row> rows;
  std::int64_t total = 0;
  bool blank = false;
  for (const PHaploDef* e : pop.haplotypes) {
    if (e == nullptr || e->hap == nullptr || e->count <= 0) continue;
    rows.push_back({e->hap->content, e->count});
    total += e->count;
    blank = blank || e->hap->content.find(' ') != std::string::npos;
  }
  if (rows.empty()) return {};
  // The integer sums equal sums in double taken in any order while every
  // partial sum, at most 9 x the copies, stays below 2^53.
  constexpr std::int64_t kExactCopies = (std::int64_t{1} << 53) / 9;
  const TDataType type = ProfileSettings::DataType;
  const char missing = pop.profile.MissingData;
  std::vector<double> mean = blank || total >= kExactCopies
                                 ? mean_sizes_by_allele(rows, missing, type)
                                 : mean_sizes_by_character(rows, missing, type, total);
  // Loci past the last non-zero mean enter no (delta mu)^2: sequences without
  // digits leave nothing to compare.
  while (!mean.empty() && mean.back() == 0.0) mean.pop_back();
  return mean;
}
