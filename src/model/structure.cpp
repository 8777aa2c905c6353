// The genetic structure.
#include "model/structure.h"

bool Structure::has_population(const Population* p) const { return group_of(p) >= 0; }

int Structure::group_of(const Population* p) const {
  for (size_t g = 0; g < groups.size(); ++g)
    for (const Population* q : *groups[g])
      if (q == p) return static_cast<int>(g);
  return -1;
}

void Structure::reset() {
  name.clear();
  NbSamples = 0;
  NbGroups = 0;
  group_sizes.clear();
  groups.clear();
}

void Structure::add_group() {
  groups.push_back(std::make_unique<MY_TIArrayAsVector<Population>>(10, 10, false));
  group_sizes.push_back(0);
}
