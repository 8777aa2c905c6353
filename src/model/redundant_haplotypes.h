// Merging haplotype definitions with identical allelic content. Coalescent
// simulators write every gene copy under its own identifier; merging them gives one
// haplotype per distinct content, which is what counts of distinct haplotypes and
// haplotype-based statistics need. Project::eliminate_redond_haplodef applies it to
// the project's haplotype list and samples.
#ifndef QND_MODEL_REDUNDANT_HAPLOTYPES_H
#define QND_MODEL_REDUNDANT_HAPLOTYPES_H

#include "model/haplotypes.h"
#include "model/samples.h"

namespace redundant_haplotypes {

// Haplotypes of `list` with the same non-empty content become the first of them in
// list order (it keeps its identifier and number, and its total becomes the sum of
// theirs); the others are removed from the list. In every sample, the entries that
// referred to any of them become one entry with the summed count, at the place of
// the first such entry; per-gene-copy entries are redirected to the kept haplotype.
// Haplotypes without content (frequency data) carry no allelic information and are
// never merged. Runs in time linear in the haplotypes and entries. Returns the
// number of haplotypes removed.
int merge_identical_haplotypes(Haplo_DB& list, Samples& samples);

}  // namespace redundant_haplotypes

#endif  // QND_MODEL_REDUNDANT_HAPLOTYPES_H
