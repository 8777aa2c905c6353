// TEMPORARY stand-in for the nucleotide classes and the distance matrix of the
// distances branch; removed when that branch is merged.
#include <cstring>

#include "model/population.h"

namespace {
int bases_of(char c) {
  switch (c) {
    case 'A':
      return 1;
    case 'C':
      return 2;
    case 'G':
      return 4;
    case 'T':
      return 8;
    case 'R':
      return 1 | 4;
    case 'Y':
      return 2 | 8;
    case 'M':
      return 1 | 2;
    case 'K':
      return 4 | 8;
    case 'S':
      return 2 | 4;
    case 'W':
      return 1 | 8;
    case 'H':
      return 1 | 2 | 8;
    case 'B':
      return 2 | 4 | 8;
    case 'V':
      return 1 | 2 | 4;
    case 'D':
      return 1 | 4 | 8;
    case 'N':
      return 15;
    default:
      return 0;
  }
}
bool purine(int m) { return (m & ~5) == 0; }
}  // namespace

int PopulDNA::compare_nucleotides(const char a, const char b) {
  if (a == b) return 0;
  const int ma = bases_of(a), mb = bases_of(b);
  if (a == '-' || b == '-') return (ma || mb) ? 3 : 0;
  if (!ma || !mb) return 0;
  if (ma & mb) {
    if ((ma == 1 || ma == 2 || ma == 4 || ma == 8) && (mb == 1 || mb == 2 || mb == 4 || mb == 8))
      return 0;
    return (ma & mb) == ma || (ma & mb) == mb ? 0 : 4;
  }
  const bool single_a = ma == 1 || ma == 2 || ma == 4 || ma == 8;
  const bool single_b = mb == 1 || mb == 2 || mb == 4 || mb == 8;
  if (single_a && single_b) return purine(ma) == purine(mb) ? 1 : 2;
  if (purine(ma) && (mb & 5) == 0) return 2;
  if ((ma & 5) == 0 && purine(mb)) return 2;
  return 4;
}

int PopulDNA::compute_distance_matrix(std::ostream*, settings&, bool) {
  const int n = num_haplotypes();
  dist_matrix.resize(n, n);
  for (int i = 1; i < n; ++i)
    for (int j = 0; j < i; ++j) {
      const std::string& a = haplotypes[i]->hap->content;
      const std::string& b = haplotypes[j]->hap->content;
      int d = 0;
      for (size_t k = 0; k < a.size() && k < b.size(); ++k)
        if (k < locus_usable.size() && locus_usable[k] && compare_nucleotides(a[k], b[k]) > 0) ++d;
      dist_matrix(i, j) = d;
    }
  return 1;
}
