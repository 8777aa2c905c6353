// Linkage disequilibrium between pairs of loci of one sample with known gametes.
// The PopGenetics members (calc_all_gam_des, calc_d_sd_values, make_all_table)
// live in linkage.cpp; this header offers the pieces they are built from so that
// each can be checked on its own: the allele numbering of a sample's haplotypes
// and the measures of one cell of a two-locus contingency table.
#ifndef QND_BETWEENPOP_LINKAGE_H
#define QND_BETWEENPOP_LINKAGE_H

#include <string>
#include <vector>

#include "model/data_type.h"
#include "model/population.h"

namespace linkage {

constexpr int kMissing = -1;  // allele code of the missing-data character
constexpr int kAbsent = -2;   // the haplotype's content ends before the locus

// Disequilibrium measures of the cell (allele i of A, allele j of B):
//   D = n_ij/n - p_i q_j (Lewontin and Kimura 1965),
//   Dmax = min(p_i q_j, (1-p_i)(1-q_j)) when D <= 0, else min(p_i(1-q_j), (1-p_i) q_j),
//   D' = D/Dmax (Lewontin 1964), r^2 = D^2/(p_i(1-p_i) q_j(1-q_j)) (Hill and
//   Robertson 1968), chi-square = r^2 n with one degree of freedom.
// A Dmax that is not above 0 leaves D' at 0 and clears dmax_positive. r^2 and the
// chi-square are 0 when a locus is monomorphic in the table.
struct CellMeasures {
  double p = 0.0;
  double q = 0.0;
  double d = 0.0;
  double dmax = 0.0;
  double dprime = 0.0;
  double r2 = 0.0;
  double chi2 = 0.0;
  bool dmax_positive = true;
};
CellMeasures cell_measures(long long n_ij, long long row_total, long long col_total, long long n);

// Numbers the alleles of every locus of the sample's haplotypes (in order of
// first appearance among the haplotypes) and lists the polymorphic loci, those
// with at least two different non-missing alleles. contents holds the haplotypes'
// allelic contents in the sample's order. DNA: one site per character. RFLP: one
// site per character other than the locus separator. MICROSAT, STANDARD and
// FREQUENCY: allele tokens split at the separator (runs of separators count as
// one), or one character per locus when the separator is NUL.
// For DNA data, candidate_sites (sorted) may list the only sites that can be
// polymorphic: every other site must hold one character in all the contents.
void code_alleles(const std::vector<const std::string*>& contents, TDataType type, char separator,
                  char missing, PopGenetics::LdWorkspace& ld,
                  const std::vector<int>* candidate_sites = nullptr);

// Packs the loci of ld with exactly two alleles and no absent haplotype into
// bit sets weighted by ld.weights (one entry per haplotype), which lets
// make_all_table count a pair of such loci without building a table. Must follow
// code_alleles; code_alleles drops the packing of earlier loci.
void pack_biallelic_loci(PopGenetics::LdWorkspace& ld);

}  // namespace linkage

#endif  // QND_BETWEENPOP_LINKAGE_H
