// Analysis entry of each data type. The within-population statistics are wired
// in here; until then a sample's analysis computes nothing.
#include "model/population.h"

int PopulDNA::test_methods(settings&) { return 1; }
int PopulRFLP::test_methods(settings&) { return 1; }
int PopulMicrosat::test_methods(settings&) { return 1; }
int PopulStandard::test_methods(settings&) { return 1; }
