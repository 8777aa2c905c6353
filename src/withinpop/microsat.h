// Microsatellite statistics: allele sizes, allelic range and Garza-Williamson
// index of each locus of a sample, the ranges pooled over the samples of a pass,
// and the modified index that compares a sample with the pooled range.
#ifndef QND_WITHINPOP_MICROSAT_H
#define QND_WITHINPOP_MICROSAT_H

#include <vector>

#include "withinpop/gene_diversity.h"

class PopGenetics;

namespace qnd_microsat {

// Sentinels of the smallest and largest size before any allele is seen.
constexpr int kNoSmallest = 2147483647;
constexpr int kNoLargest = -2147483647;

// Appends the sizes of one locus to the sample's lists: smallest and largest
// allele size, mean size (sizes weighted by frequency over n typed copies),
// range r = largest - smallest and GW = k / (r + 1). A locus without a typed
// allele keeps the sentinels, with range 0, GW 0 and mean 0.
void append_locus_sizes(PopGenetics& pop, const std::vector<qnd_diversity::AlleleCount>& alleles,
                        double n);

// Pooled range of each of num_loci loci over the samples: the largest of their
// largest sizes minus the smallest of their smallest sizes, over the samples
// that typed the locus (0 when none did).
std::vector<int> pooled_ranges(const std::vector<const PopGenetics*>& samples, int num_loci);

}  // namespace qnd_microsat

#endif  // QND_WITHINPOP_MICROSAT_H
