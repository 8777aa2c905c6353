// One sample (population) of a project and its per-data-type kinds.
//  - TPhenotype: one diploid individual of genotypic data (two gene copies).
//  - PopGenetics: the statistical state of a sample, filled by the
//    within-population computations.
//  - Population: the sample as read (name, haplotypes with counts, individuals).
//  - PopulDNA, PopulRFLP, PopulMicrosat, PopulStandard: the sample with the
//    statistics of its data type; each is copy-constructed from a read Population.
// Member functions are defined in the subsystem that owns them: reading in
// project/, statistics in withinpop/, distances and between-sample work in
// betweenpop/.
#ifndef QND_MODEL_POPULATION_H
#define QND_MODEL_POPULATION_H

#include <fstream>
#include <iosfwd>
#include <string>
#include <vector>

#include "model/containers.h"
#include "model/haplotypes.h"
#include "model/profile.h"
#include "text/my_string.h"

class settings;
class Haplo_DB;

class TPhenotype {
 public:
  TPhenotype() = default;
  TPhenotype(const TPhenotype&) = default;
  TPhenotype& operator=(const TPhenotype&) = default;

  my_string id;
  double count = 0.0;  // number of such individuals
  std::string copy1;   // content of the first gene copy
  std::string copy2;   // content of the second gene copy
};

class PopGenetics {
 public:
  PopGenetics() = default;
  PopGenetics(const PopGenetics&) = default;
  PopGenetics& operator=(const PopGenetics&) = default;
  virtual ~PopGenetics() = default;

  // The process-wide allele database shared by all samples of a run.
  static TAlleleDB globalAllelicDB;

  // Statistical state (filled by the within-population computations).
};

class Population : public PopGenetics {
 public:
  Population();
  Population(const Population& other);
  Population& operator=(const Population& other);
  ~Population() override = default;

  // Analyses selected by the settings (defined per data type).
  virtual int test_methods(settings& s);
  virtual void clean_bnum() {}

  // Reading (one block of the [[Samples]] section).
  int New_read_gametic_data(std::ifstream& in, Haplo_DB& haplotypes, int external, int& lineNo,
                            my_string& line);
  int New_read_genotypic_data(std::ifstream& in, int external, int& lineNo, my_string& line);

  // Merges another sample into this one (pooling samples into groups).
  Population& operator+=(const Population& other);
  // Rebuilds the haplotype entries from the individuals' gene copies.
  void phen_to_gam(Haplo_DB* list, ProfileSettings* profile, settings* s);

  // Removes every haplotype entry.
  void clear_haplotypes() { haplotypes.Flush(); }
  int num_haplotypes() const { return haplotypes.GetItemsInContainer(); }
  int num_individuals() const { return individuals.GetItemsInContainer(); }

  ProfileSettings profile;
  my_string name{"NoName"};
  int index = -1;
  MY_TIArrayAsVector<PHaploDef> haplotypes;  // distinct haplotypes with counts, file order
  MY_TIArrayAsVector<PHaploDef> gametes;     // per-individual gene copies (count 1 each)
  MY_TIArrayAsVector<TPhenotype> individuals;
  int line_count = 0;
  double sample_size = 0.0;
  double inverse_size = 1.0;
  int gametes_built = 0;

  TAlleleDB* allele_db = nullptr;       // the project's allele database
  void* estimated_haplotypes = nullptr;  // list filled by the phasing computations
  int recessive_data = 0;                // copy of the recessive-data setting
};

class PopulDNA : public Population {
 public:
  PopulDNA() = default;
  explicit PopulDNA(const Population& p) : Population(p) {}
  int test_methods(settings& s) override;
};

class PopulRFLP : public Population {
 public:
  PopulRFLP() = default;
  explicit PopulRFLP(const Population& p) : Population(p) {}
  int test_methods(settings& s) override;
};

class PopulMicrosat : public Population {
 public:
  PopulMicrosat() = default;
  explicit PopulMicrosat(const Population& p) : Population(p) {}
  int test_methods(settings& s) override;
};

// STANDARD and FREQUENCY data.
class PopulStandard : public Population {
 public:
  PopulStandard() = default;
  explicit PopulStandard(const Population& p) : Population(p) {}
  int test_methods(settings& s) override;
};

// A new sample object of the class for the data type, copied from p.
Population* make_population_for_type(TDataType type, const Population& p);

#endif  // QND_MODEL_POPULATION_H
