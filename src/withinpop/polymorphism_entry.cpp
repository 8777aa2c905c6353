// Polymorphism evaluation entry of the sequence data types: the site pass of
// the data type (molecular_diversity.cpp), which sets every per-site flag the
// allele-string evaluation would. Genotypes of unknown phase take the same
// pass over their gene copies: whether a site segregates, and whether it is
// private, depends on the bases the copies carry there, never on which copy
// carries which.
#include "model/population.h"
#include "settings/settings.h"

void PopulDNA::evaluate_polymorphism(const settings& s) {
  allowed_missing = s.AllowedLevelOfMissingData;
  compare_DNA_sequences(s);
}

void PopulRFLP::evaluate_polymorphism(const settings& s) {
  allowed_missing = s.AllowedLevelOfMissingData;
  compare_RFLP_haplotypes(s);
}
