// A project: one data set read from a project file, with its settings, profile,
// haplotype list, samples, genetic structure and distance matrix, and the run
// that analyses it. Member functions live with the subsystem that owns them:
// reading in project/, the run sequence in driver/, pooling and gene copies in
// model/, the genetic-structure computations in betweenpop/.
#ifndef QND_MODEL_PROJECT_H
#define QND_MODEL_PROJECT_H

#include <ctime>
#include <iosfwd>

#include "model/haplotypes.h"
#include "model/matrices.h"
#include "model/profile.h"
#include "model/samples.h"
#include "model/structure.h"
#include "settings/settings.h"
#include "text/my_string.h"

class amova_results;

class Project {
 public:
  Project();
  Project(const Project&) = delete;
  Project& operator=(const Project&) = delete;

  // Runs the project from reading to the summary lines; 1 on success.
  int run();
  // Checks the selected analyses against the data and adjusts the settings.
  int make_run_possible();
  // In summary-statistics mode, takes out of TaskNumber (and the settings) the
  // analyses whose values no selected keyword prints, with one log line each.
  void skip_unreported_analyses();
  // Reads the project file (cleaned copy); 1 when the project is complete.
  int newOpen();
  // Builds one pooled sample per group and a flat structure holding them.
  void poolSamplesInGroups(const Samples& source, const Structure& structure, Samples& pooled,
                           Structure& flat);
  // Merges haplotype definitions with identical allelic content.
  void eliminate_redond_haplodef();
  // Links the alleles of every haplotype of the list (haplotypic data). Returns 1.
  int build_all_vectors();
  // Forgets the data of the last run.
  void clean();
  // Sets the result directory and names from the project path.
  void build_result_names(const my_string& projectPath);

  // Genetic-structure computations (distances, AMOVA, pairwise comparisons).
  int calc_dist_matrix(int method, double alpha);
  int AMOVA(DistMat& distmat, Haplo_DB& haplo_db, Samples& samples, Structure& structure,
            TAlleleDB& allele_db, amova_results* results = nullptr);
  int GenStructCalculations(std::ostream& out);
  int LocusByLocusAMOVA(std::ostream& out);

  int runnable = 0;
  int run_counter = 0;
  // Distinct for every run of every project object of the process (0: none
  // yet), so that what one run derives from its data is never taken for
  // another's.
  unsigned long long run_serial = 0;
  static unsigned long long next_run_serial();
  std::clock_t start_clock = 0;
  bool run_from_batch = false;

  settings s;
  ProfileSettings profile;
  Haplo_DB haplotypes;
  Samples samples;
  Structure structure;
  DistMat distmat;
  Samples* current_samples = &samples;
  Structure* current_structure = &structure;
  bool samples_pooled = false;

  bool allele_vectors_built = false;
  bool pseudo_haplotypes_built = false;
  bool phenotypes_processed = false;

  my_string project_path;     // the file being read (the cleaned copy during a run)
  my_string project_name;     // file name without directory
  my_string result_directory; // project path without extension + ".res/"
  my_string settings_file;    // the settings file the batch loop chose
};

#endif  // QND_MODEL_PROJECT_H
