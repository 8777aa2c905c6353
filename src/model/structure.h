// The genetic structure: samples gathered into groups. The groups refer to the
// samples held by Samples and do not own them.
#ifndef QND_MODEL_STRUCTURE_H
#define QND_MODEL_STRUCTURE_H

#include <istream>
#include <memory>
#include <vector>

#include "model/containers.h"
#include "model/population.h"
#include "model/profile.h"
#include "text/my_string.h"

class Samples;

class Structure {
 public:
  Structure() = default;
  Structure(const Structure&) = delete;
  Structure& operator=(const Structure&) = delete;

  // Reads the [[Structure]] section; returns 1 when it was read.
  int NewReadStructure(std::istream& in, ProfileSettings& prof, Samples& samples, int& lineNo,
                       my_string& line, bool& sawName, bool& sawNbGroups,
                       bool& sawIndividualLevel, bool& sawGroup);
  // Whether a sample belongs to any group.
  bool has_population(const Population* p) const;
  // The group (0-based) that holds p, or -1.
  int group_of(const Population* p) const;
  // No groups, no samples.
  void reset();
  // Appends an empty group (not owning its samples).
  void add_group();

  int num_groups() const { return NbGroups; }

  ProfileSettings profile;
  my_string name;
  int NbSamples = 0;  // samples placed in groups
  int NbGroups = 0;
  std::vector<int> group_sizes;
  std::vector<std::unique_ptr<MY_TIArrayAsVector<Population>>> groups;
};

#endif  // QND_MODEL_STRUCTURE_H
