// The within-population computations of one pass: every sample's analyses, in
// sample order. The statistics that feed the summary record are not wired in
// yet: each sample runs its test_methods and nothing is stored, so the summary
// record keeps the values it was cleared to.
#include "model/project.h"
#include "model/samples.h"
#include "settings/settings.h"

int Samples::compute_stuff(Project*, settings& s) {
  for (Population* p : pops) p->test_methods(s);
  return 1;
}
