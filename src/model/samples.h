// All samples of a project, in file order. Sample names are unique within it.
#ifndef QND_MODEL_SAMPLES_H
#define QND_MODEL_SAMPLES_H

#include <fstream>

#include "model/containers.h"
#include "model/population.h"
#include "model/profile.h"
#include "text/my_string.h"

class Haplo_DB;
class Project;
class settings;

class Samples {
 public:
  Samples() : pops(10, 10, true) {}
  Samples(const Samples&) = delete;
  Samples& operator=(const Samples&) = delete;

  // Reads the [[Samples]] section; returns 1 when it was read.
  int NewReadSamples(std::ifstream& in, ProfileSettings& prof, Haplo_DB& haplotypes, int& lineNo,
                     my_string& line, bool& sawName, bool& sawSize, bool& sawData);
  // Turns the individuals of every sample into gene copies.
  void phen_to_gam(Haplo_DB* list, ProfileSettings* prof, settings* s);
  // Runs every sample's analyses and stores the summary values.
  int compute_stuff(Project* project, settings& s);
  int WriteSummaryStatistics(Project* project, settings& s);
  // Substitution sites found in exactly one sample of the pass (DNA data).
  void computeNumPrivateSubstSitesPerPop(settings& s);

  int size() const { return pops.GetItemsInContainer(); }
  Population* operator[](int i) const { return pops[i]; }
  // The sample of that name, or nullptr.
  Population* find_by_name(const my_string& name) const;

  ProfileSettings profile;
  MY_TIArrayAsVector<Population> pops;
  // Directory (with its final '/', or empty for the working directory) against
  // which the relative names of external sample files are resolved: the
  // directory of the project file being read.
  my_string data_directory;
};

#endif  // QND_MODEL_SAMPLES_H
