// Microsatellite statistics. Allele texts are repeat sizes; each locus of a
// sample gets its size range and Garza-Williamson index (Garza & Williamson
// 2001: M = k / (r + 1), the number of alleles over the range plus one) in the
// allele pass, and the modified index NGW = k / (R + 1) against the range R
// pooled over the samples of the pass.
#include "withinpop/microsat.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "model/population.h"

namespace qnd_microsat {

void append_locus_sizes(PopGenetics& pop, const std::vector<qnd_diversity::AlleleCount>& alleles,
                        double n) {
  int smallest = kNoSmallest;
  int largest = kNoLargest;
  double mean = 0.0;
  int k = 0;
  for (const qnd_diversity::AlleleCount& a : alleles) {
    if (a.missing) continue;
    ++k;
    const int size = qnd_diversity::allele_size(a.text);
    smallest = std::min(smallest, size);
    largest = std::max(largest, size);
    if (n > 0.0) mean += size * (a.count / n);
  }
  // Without a typed allele the range is meaningless; 0 keeps it finite.
  const int range = k > 0 ? largest - smallest : 0;
  pop.locus_min_size.push_back(smallest);
  pop.locus_max_size.push_back(largest);
  pop.locus_mean_size.push_back(mean);
  pop.locus_range.push_back(range);
  pop.locus_gw.push_back(k > 0 ? static_cast<double>(k) / (range + 1) : 0.0);
}

std::vector<int> pooled_ranges(const std::vector<const PopGenetics*>& samples, int num_loci) {
  std::vector<int> ranges(static_cast<size_t>(std::max(num_loci, 0)), 0);
  for (int locus = 0; locus < num_loci; ++locus) {
    int smallest = kNoSmallest;
    int largest = kNoLargest;
    bool typed = false;
    for (const PopGenetics* p : samples) {
      const size_t l = static_cast<size_t>(locus);
      if (l >= p->locus_num_alleles.size() || p->locus_num_alleles[l] == 0) continue;
      if (l >= p->locus_min_size.size()) continue;
      typed = true;
      smallest = std::min(smallest, p->locus_min_size[l]);
      largest = std::max(largest, p->locus_max_size[l]);
    }
    if (typed) ranges[static_cast<size_t>(locus)] = largest - smallest;
  }
  return ranges;
}

}  // namespace qnd_microsat

// NGW(l) = GW(l) (r(l) + 1) / (R(l) + 1) over all L loci, monomorphic ones
// included; a locus the sample did not type contributes 0.
void PopGenetics::compute_modified_gw(const std::vector<int>& pooled_range) {
  const int loci = static_cast<int>(locus_gw.size());
  locus_ngw.assign(static_cast<size_t>(loci), 0.0);
  double sum = 0.0;
  double sumsq = 0.0;
  for (int locus = 0; locus < loci; ++locus) {
    const size_t l = static_cast<size_t>(locus);
    if (locus_num_alleles[l] == 0) continue;
    const double big_r = l < pooled_range.size() ? pooled_range[l] : locus_range[l];
    locus_ngw[l] = locus_gw[l] * (locus_range[l] + 1) / (big_r + 1);
    sum += locus_ngw[l];
    sumsq += locus_ngw[l] * locus_ngw[l];
  }
  mean_ngw = loci > 0 ? sum / loci : 0.0;
  sd_ngw = qnd_diversity::sd_over(loci, sum, sumsq);
}

// Mean allele size of each locus over the typed gene copies of the sample
// (individuals for genotypic data, haplotypes otherwise); 0 without data. Each
// content is split in place, locus by locus, into running sums; a whole number
// of up to 9 digits is read while its allele is scanned.
void PopGenetics::computeMeanAlleleSizes() {
  const TDataType type = ProfileSettings::DataType;
  const char missing = profile.MissingData;
  const char separator = ProfileSettings::LocusSeparator;
  const bool by_character = type == DNA || type == RFLP || separator == '\0';
  std::vector<double> sum;
  std::vector<double> copies;
  const auto add = [&](std::string_view c, double weight) {
    qnd_diversity::for_each_allele(
        c, by_character, separator, [&](size_t l, std::string_view a, bool digits, int whole) {
          if (l >= sum.size()) {
            sum.resize(l + 1, 0.0);
            copies.resize(l + 1, 0.0);
          }
          if (a[0] == missing || (!digits && qnd_diversity::is_missing_allele(a, missing, type)))
            return;
          sum[l] += weight * (digits && a.size() <= 9 ? whole : qnd_diversity::allele_size(a));
          copies[l] += weight;
        });
  };
  if (profile.GenotypicData != 0 && individuals.GetItemsInContainer() > 0) {
    for (const TPhenotype* t : individuals) {
      add(t->copy1, t->count);
      add(t->copy2, t->count);
    }
  } else {
    for (const PHaploDef* h : haplotypes) {
      if (h == nullptr || h->hap == nullptr) continue;
      add(h->hap->content, h->count);
    }
  }
  mean_allele_sizes.assign(sum.size(), 0.0);
  for (size_t l = 0; l < sum.size(); ++l)
    mean_allele_sizes[l] = copies[l] > 0.0 ? sum[l] / copies[l] : 0.0;
}
