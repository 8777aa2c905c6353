// Helpers of the allele pass shared by the gene-diversity, microsatellite and
// summary code: the missing-allele rule, the allele of a gene copy at a locus,
// the standard deviation over loci or samples, and the pooled values read from
// the allele database.
#ifndef QND_WITHINPOP_GENE_DIVERSITY_H
#define QND_WITHINPOP_GENE_DIVERSITY_H

#include <string>
#include <string_view>
#include <vector>

#include "model/data_type.h"

class TLocus;

namespace qnd_diversity {

// An allele is missing when it is empty or starts with the missing-data
// character; in DNA data also when it starts with an ambiguity code (N, R, Y,
// M, K, S, W, H, B, V, D). A gap "-" is an allele.
bool is_missing_allele(std::string_view allele, char missing, TDataType type);

// True for the characters that never make a segregating site: the gap, the
// missing-data character and the ambiguity codes.
bool is_uninformative_allele(std::string_view allele, char missing);

// One allele met at a locus of a sample: its text, its typed copies (0 when it
// is missing) and whether it is missing.
struct AlleleCount {
  std::string_view text;
  double count;
  bool missing;
};

// Standard deviation over m values from their sum and sum of squares:
// sqrt(m/(m-1) * (sumsq/m - mean^2)); 0 when m < 2 or the bracket is not above 0.
double sd_over(int m, double sum, double sumsq);

// Gene diversity n/(n-1) * (1 - sum (c/n)^2) of allele counts; 0 when n <= 1.
double gene_diversity_of_counts(const std::vector<double>& counts);

// Allele size of a microsatellite allele text: the decimal number plus 0.5,
// truncated (21 -> 21, 20.5 -> 21). Text that is not a number gives 0.
int allele_size(std::string_view allele);

// Calls f(locus, allele, digits, whole) for each allele of a content, in
// order: one allele per character when by_character, else the runs between
// separators (repeated separators are skipped). digits is true when the allele
// is all digits, and then whole holds the number its first 9 digits write, read
// while the allele is scanned, so whole numbers need no parsing afterwards.
template <class F>
void for_each_allele(std::string_view c, bool by_character, char separator, F&& f) {
  size_t locus = 0;
  size_t i = 0;
  while (i < c.size()) {
    if (!by_character && c[i] == separator) {
      ++i;
      continue;
    }
    size_t e = i;
    int whole = 0;
    bool digits = true;
    do {
      const unsigned digit = static_cast<unsigned char>(c[e]) - unsigned{'0'};
      digits = digits && digit < 10;
      if (digits && e - i < 9) whole = whole * 10 + static_cast<int>(digit);
      ++e;
    } while (!by_character && e < c.size() && c[e] != separator);
    f(locus++, c.substr(i, e - i), digits, whole);
    i = e;
  }
}

// The alleles of a list of gene copies (allelic contents), locus by locus. Data
// written one character per locus (DNA, RFLP, or a NUL locus separator) are read
// in place; other data are split once at the locus separator.
class AlleleRows {
 public:
  AlleleRows(TDataType type, char separator);
  // Adds the content of one gene copy; returns its row.
  int add(const std::string& content);
  int num_rows() const { return static_cast<int>(contents_.size()); }
  // Largest number of loci over the rows.
  int num_loci() const { return num_loci_; }
  // The allele of a row at a locus; empty (missing) beyond the row's end.
  std::string_view at(int row, int locus) const;
  // True when every allele is one character, the one at the locus's position.
  bool char_mode() const { return char_mode_; }
  const std::string& content(int row) const { return *contents_[static_cast<size_t>(row)]; }

 private:
  bool char_mode_;
  char separator_;
  int num_loci_ = 0;
  std::vector<const std::string*> contents_;
  // Split data: the tokens of all rows, one after the other.
  std::vector<std::string_view> tokens_;
  std::vector<size_t> row_start_;
  std::vector<int> row_loci_;
};

// Pooled values of one locus of the allele database, from the counts of the
// current pass: number of non-missing alleles carried by at least one copy, the
// gene diversity of the summed counts, and the number of alleles that are not a
// gap, missing or an ambiguity code.
int pooled_num_alleles(const TLocus& locus, char missing, TDataType type);
double pooled_gene_diversity(const TLocus& locus, char missing, TDataType type);
int pooled_informative_alleles(const TLocus& locus, char missing);

}  // namespace qnd_diversity

#endif  // QND_WITHINPOP_GENE_DIVERSITY_H
