// Sums of squared distances between gene copies from allele counts, for the
// AMOVA distances that are sums over sites (or loci) of a weight that depends
// only on the two alleles met there: the weighted number of DNA differences,
// the number of RFLP differences, the number of different microsatellite
// alleles, the sum of squared size differences, the number of different
// standard alleles and the conventional 0/1 distance.
//
// For such a distance the sum over all pairs of gene copies of one population,
// or of two, splits by site. With n_pa the copies of population p that carry
// allele a at the site:
//   within p:      sum_{a<b} n_pa n_pb w(a, b)
//   between p, q:  sum_{a,b} n_pa n_qb w(a, b)
// and for squared size differences, with n, S1 and S2 the copies with data and
// the sums of their sizes and squared sizes:
//   within p:      n S2 - S1^2
//   between p, q:  n_q S2_p + n_p S2_q - 2 S1_p S1_q.
// A population thus costs O(distinct haplotypes x sites) instead of the
// O(haplotypes^2 x sites) of a distance matrix.
//
// Exactness. Every weight is a whole multiple of the unit 2^-shift, and every
// sum is kept as a whole number of units in 64-bit integers. exact_for(N)
// holds when N gene copies, all pairs of them at the largest possible
// distance, stay below 2^52 units. Then every product c_h c_h' d(h, h') and
// every partial sum that the matrix path forms in double precision is a whole
// number of units below 2^53, hence exact, so the matrix path and this one give
// the same double whatever the order of their additions.
#ifndef QND_BETWEENPOP_ALLELE_COUNT_SUMS_H
#define QND_BETWEENPOP_ALLELE_COUNT_SUMS_H

#include <cstdint>
#include <memory>
#include <vector>

class Population;
class settings;

class AlleleCountSums {
 public:
  using Units = std::int64_t;
  // Copies of a population per allele slot (the slots of all columns in turn).
  using Profile = std::vector<std::int32_t>;

  AlleleCountSums(int num_haplotypes, int shift);

  // Columns. codes[h] is haplotype h's allele at the column, 0 .. alleles - 1,
  // or `alleles` when it has no data there (such a copy counts for nothing).
  // Uniform: every pair of different alleles weighs `weight` units.
  void add_uniform(int alleles, Units weight, std::vector<std::uint16_t> codes);
  // Table: the pair (a, b) weighs weights[a * alleles + b] units (symmetric,
  // 0 on the diagonal).
  void add_table(int alleles, std::vector<Units> weights, std::vector<std::uint16_t> codes);
  // Squared size differences: allele a has size sizes[a] (whole units).
  void add_squared(std::vector<Units> sizes, std::vector<std::uint16_t> codes);
  // For many columns of fewer than 255 alleles at once: add them with empty
  // code vectors, then give all codes haplotype by haplotype
  // (codes[h * num_columns() + column]).
  void set_codes(std::vector<std::uint8_t> codes);
  // Packs the codes haplotype by haplotype; call once, after the last column.
  void finish();

  int num_haplotypes() const { return num_haplotypes_; }
  int num_columns() const { return static_cast<int>(columns_.size()); }
  int num_slots() const { return num_slots_; }

  // Whether the sums over n gene copies are exact (see above).
  bool exact_for(double gene_copies) const;

  // The allele counts of a population: haps[i] (matrix indices) with counts[i] copies.
  void fill_profile(const std::vector<int>& haps, const std::vector<int>& counts,
                    Profile& out) const;
  // Sum over all pairs of copies of one population, and across two.
  Units within(const Profile& p) const;
  Units between(const Profile& p, const Profile& q) const;
  // Distance between two haplotypes.
  Units distance(int h1, int h2) const;
  // A number of units as a double (exact: a power-of-two scaling).
  double value(Units u) const;

 private:
  enum Kind : std::uint8_t { kUniform, kTable, kSquared };
  struct Column {
    Kind kind;
    int alleles;
    int first_slot;
    Units weight;      // uniform
    size_t values_at;  // table: weights; squared: sizes
    Units largest;     // largest distance of a pair of copies at this column
  };
  void add_column(Column c, std::vector<std::uint16_t> codes);
  template <typename Code>
  void fill(const Code* codes, const std::vector<int>& haps, const std::vector<int>& counts,
            Profile& out) const;
  template <typename Code>
  Units distance(const Code* codes, int h1, int h2) const;

  int num_haplotypes_;
  int shift_;
  int num_slots_ = 0;
  std::vector<Column> columns_;
  std::vector<Units> values_;
  std::vector<std::vector<std::uint16_t>> pending_;  // codes by column until finish()
  // The codes haplotype by haplotype: one byte each when every column has
  // fewer than 255 alleles (DNA, RFLP, most loci), else two.
  std::vector<std::uint8_t> narrow_codes_;
  std::vector<std::uint16_t> wide_codes_;
  std::vector<std::int32_t> first_slots_;  // first slot of each column
};

// The sums for the AMOVA distance of `method` over the haplotypes of pop, the
// working population of the project's matrix (its usable-site mask already
// evaluated), with the substitution weights of s; nullptr when that distance
// is not a sum over sites or loci of weights that are whole multiples of a
// power of two (corrected DNA distances, proportions, sizes that are not whole
// numbers, pairs of DNA characters that weigh differently in the two orders),
// or when the matrix path must report a failure.
std::unique_ptr<AlleleCountSums> count_sums_for(const Population& pop, const settings& s,
                                                int method);

#endif  // QND_BETWEENPOP_ALLELE_COUNT_SUMS_H
