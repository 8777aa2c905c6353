// The samples of a project.
#include "model/samples.h"

Population* Samples::find_by_name(const my_string& sample_name) const {
  for (Population* p : pops)
    if (p->name == sample_name) return p;
  return nullptr;
}
