// All samples of a project, in file order. Sample names are unique within it.
#ifndef QND_MODEL_SAMPLES_H
#define QND_MODEL_SAMPLES_H

#include <istream>

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
  int NewReadSamples(std::istream& in, ProfileSettings& prof, Haplo_DB& haplotypes, int& lineNo,
                     my_string& line, bool& sawName, bool& sawSize, bool& sawData);
  // Turns the individuals of every sample into gene copies.
  void phen_to_gam(Haplo_DB* list, ProfileSettings* prof, settings* s);
  // Runs every sample's analyses and stores the summary values.
  int compute_stuff(Project* project, settings& s);
  int WriteSummaryStatistics(Project* project, settings& s);
  // Substitution sites found in exactly one sample of the pass (DNA data).
  void computeNumPrivateSubstSitesPerPop(settings& s);

  // Preparation of the samples before a run (defined in sample_checks.cpp).
  // DNA data: upper-cases the contents of the haplotype list and of the
  // individuals' gene copies; other data types are left alone.
  void convert_dna_upper(Haplo_DB& list);
  // DNA and RFLP data: deletes the separator character from the same contents
  // (there every character is a locus, the separator only decorates). Returns the
  // number of contents changed. Other data types keep their separators, which
  // delimit their loci.
  int rm_separators(Haplo_DB& list, char separator);
  // Links every sample's alleles (genotypic data). Returns 1.
  int build_all_vectors(char separator);
  // Checks that every sample holds data and that all haplotypes of the list (and
  // all gene copies of the individuals) have the same number of loci; reports the
  // numbered error and returns 0 otherwise.
  int verify_data(const Haplo_DB& list) const;
  // Amount of work of a run: gene copies times the analyses selected.
  double evaluate_work(const settings& s) const;

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

  // Distinct haplotypes over all samples of the last pass.
  int num_distinct_haplotypes = 0;
  // Prepares a pass: empties the allele counts and frequencies of the allele
  // database (the alleles met stay), gives every sample its position, counts the
  // distinct haplotypes and, for sequences in haplotype mode, finds the sites
  // that vary among the samples.
  // run_serial (Project::run_serial, 0 for none) lets a pass on the same
  // haplotypes as the previous pass of the run take over its variable sites.
  void begin_allele_pass(const settings& s, unsigned long long run_serial = 0);
};

#endif  // QND_MODEL_SAMPLES_H
