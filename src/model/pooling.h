// Pooling samples into groups: each group of a genetic structure becomes one large
// sample, so that group-level statistics can be computed like sample statistics.
// Project::poolSamplesInGroups is the entry the run uses; the free function below
// does the work and needs only the pieces of the project that pooling touches.
#ifndef QND_MODEL_POOLING_H
#define QND_MODEL_POOLING_H

#include "model/haplotypes.h"
#include "model/profile.h"
#include "model/samples.h"
#include "model/structure.h"

class settings;

namespace pooling {

// Fills the empty `pooled` with one sample per group of `structure` ("Group1",
// "Group2", ... with indices 0, 1, ...) holding the union of its members' data, and
// makes `flat` a structure of one group that lists the pooled samples (not owning).
// For genotypic data (the genotypic flag of `project_profile`) the individuals of
// the pooled samples are then turned into gene copies entered into `list`.
// Returns true when that conversion was done.
bool pool_samples_in_groups(const Samples& source, const Structure& structure, Samples& pooled,
                            Structure& flat, ProfileSettings& project_profile, Haplo_DB& list,
                            settings* s);

}  // namespace pooling

#endif  // QND_MODEL_POOLING_H
