// Polymorphism evaluation entry of the sequence data types: genotypes of
// unknown phase go through the genotype evaluation, everything else through
// the site pass of the data type (molecular_diversity.cpp), which sets every
// per-site flag the allele-string evaluation would.
#include "model/population.h"
#include "settings/settings.h"

void PopulDNA::evaluate_polymorphism(const settings& s) {
  allowed_missing = s.AllowedLevelOfMissingData;
  if (profile.GenotypicData && !profile.GameticPhase) {
    compare_phenotypes(s);
    return;
  }
  // The site pass sets every per-site flag that the allele-string evaluation
  // would, so it is the whole evaluation for sequences.
  compare_DNA_sequences(s);
}

void PopulRFLP::evaluate_polymorphism(const settings& s) {
  allowed_missing = s.AllowedLevelOfMissingData;
  if (profile.GenotypicData && !profile.GameticPhase) {
    compare_phenotypes(s);
    return;
  }
  compare_RFLP_haplotypes(s);
}
