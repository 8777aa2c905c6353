// The genetic-structure computations of a pass (distances between haplotypes,
// AMOVA, pairwise differentiation). They are not wired in yet: nothing is
// computed and nothing is stored into the summary record.
#include <ostream>

#include "model/project.h"

int Project::GenStructCalculations(std::ostream&) { return 1; }
