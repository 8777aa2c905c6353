// Analysis of molecular variance (AMOVA) over the samples of a genetic
// structure, its fixation indices and their permutation tests (amova.cpp), and
// the pairwise comparisons of the samples (pairwise.cpp).
//
// The distance matrix holds squared distances d2 between haplotypes. Every sum
// of squares is computed from per-population haplotype counts, either through
// the matrix or, when the distance is a sum over sites or loci, from allele
// counts per site (allele_count_sums.h) with no matrix at all; both give the
// same doubles. The permutation tests move haplotype indices (or whole
// populations) and recount, so no distance is ever recomputed. Only the tests
// need one entry per gene copy; without them everything follows the distinct
// haplotypes and their counts.
#ifndef QND_BETWEENPOP_AMOVA_H
#define QND_BETWEENPOP_AMOVA_H

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "betweenpop/allele_count_sums.h"
#include "model/matrices.h"
#include "text/my_string.h"

class settings;
class Structure;
class Samples;
class Population;
class PopGenetics;
class Haplo_DB;
class TAlleleDB;
class HaploDef;

// One permutation test of a variance component and its fixation index.
struct AmovaTest {
  std::string component;    // "Va", "Vb", "Vc" or "Vd"
  std::string index;        // "FST", "FIS", ...
  bool lower_tail = false;  // P(rand < obs) for the within-level component
  double observed = 0.0;
  int permutations = 0;
  int successes = 0;  // strictly beyond the observed value in the tested direction
  int equal = 0;      // within the tolerance of the observed value
  double p_value = 0.0;
  double p_value_sd = 0.0;
  std::vector<double> null_distribution;  // sorted
};

// What one AMOVA leaves for the reports and the callers.
class amova_results {
 public:
  int design = 0;         // design code 0 .. 10
  int design_number = 0;  // the number the result files know the design by
  int success = 0;        // 1 when the design ran to its indices
  // Levels from the top (among groups) down to the within level.
  std::vector<double> SSD, MSD, sigma2;
  std::vector<int> df;
  double SSD_total = 0.0;
  double sigma2_T = 0.0;
  double n = 0.0, n_prime = 0.0, n_second = 0.0;
  double FIS = 0.0, FIT = 0.0, FCT = 0.0, FSC = 0.0, FST = 0.0;
  std::vector<double> pop_FST, pop_FIS;
  std::vector<AmovaTest> tests;

  // Pairwise comparisons (P x P, populations in structure order).
  int num_pops = 0;
  bool pairwise_done = false;
  TriMat pair_FST, pair_sigma2a, pair_FST_p, pair_dmusq;
  RectMat pair_pi;  // PiXY above, PiX on, corrected difference below the diagonal
  RectMat pair_pi_p;
  RectMat pair_corr_p;

  // Where null distributions go with KeepNullDistrib (the project's result directory).
  my_string result_directory;
};

class Amova {
 public:
  Amova(settings& s, Structure& structure, Samples& samples, DistMat& distmat, Haplo_DB& haplo_db,
        TAlleleDB& allele_db, void* mantel, int print_flag, int flag2, amova_results* results);
  // The same with the sums taken from allele counts instead of distmat (which
  // is then not read); sums covers every haplotype of haplo_db and is exact
  // for the gene copies of the structure (AlleleCountSums::exact_for).
  Amova(settings& s, Structure& structure, Samples& samples, DistMat& distmat, Haplo_DB& haplo_db,
        TAlleleDB& allele_db, void* mantel, int print_flag, int flag2, amova_results* results,
        const AlleleCountSums* sums);
  ~Amova();
  Amova(const Amova&) = delete;
  Amova& operator=(const Amova&) = delete;

  // Design codes.
  enum Design {
    kNone = 0,
    k1G1PI = 2,
    k1GPH = 3,
    k1GPI = 4,
    kGPH = 5,
    kGPI = 6,
    k1GPIH = 7,
    kGPIH = 8,
    k1GPRIH = 9,
    kGPRIH = 10
  };

  // Sets up the index vector, populations and group lists; 1 on success.
  [[nodiscard]] int initialize();
  // The design code for the data, the settings and the structure.
  int choose_design() const;
  // Runs the chosen design; 1 on success.
  int run_design();

  [[nodiscard]] int AMOVA_1G_1P_I();
  [[nodiscard]] int AMOVA_1G_P_H();
  [[nodiscard]] int AMOVA_1G_P_I();
  [[nodiscard]] int AMOVA_G_P_H();
  [[nodiscard]] int AMOVA_G_P_I();
  [[nodiscard]] int AMOVA_1G_P_IH();
  [[nodiscard]] int AMOVA_G_P_IH();
  [[nodiscard]] int AMOVA_1G_P_RIH() { return 1; }  // recessive data: nothing is computed
  [[nodiscard]] int AMOVA_G_P_RIH() { return 1; }

  // Sum routines.
  void compute_SSDP();         // P x P matrix: SSD_p on the diagonal, SSD_pq off it
  double compute_total_SSD();  // sum of the whole P x P matrix (p <= q)
  double compute_SSDWI();      // sum over individuals of d2 between their copies, halved
  double compute_SSDWP();      // sum_p SSD_p / n_p
  double compute_SSDAG();      // sum_g S_g / n_g from the current group lists
  void compute_SSDG_SSDAG();   // S_g / n_g per group

  // Permutations of the index vector (gene copies or individuals) and of the
  // population array.
  void PHAPAG();
  void PHAPWG();
  void PHAIWP();
  void PIAPWG();
  void PIAPAG();
  void PPAG();
  void load_HaplotypeIndexVector();
  void distribute_HaplotypeIndexVector();
  void distribute_populations();

  // Pairwise comparisons of every pair of populations.
  void CalcPairDist();
  // Writes the gene copies of pop_i then pop_j (matrix indices) into v.
  void fill_bipop_vector(int pop_i, int pop_j, std::vector<int>& v) const;

  // The label of the AMOVA distance method for the data type.
  static const char* distance_method_label(int method);

  // Batch count and raised number of permutations: k = floor(sqrt(m)),
  // m' = (floor(m / k) + 1) k; m < 1 gives k = 0 and m' = 0.
  static void permutation_batches(int m, int& k, int& m_raised);

  // The permutation tests shuffle one entry per gene copy (two int vectors of
  // N entries, 8 bytes a copy, and the joint vector of a pair), and the designs
  // with an individual level read the copies of each individual from such a
  // vector. Beyond this many copies (128 MB of vectors) they are out of reach:
  // the run fails with "not enough memory" before anything is allocated.
  static constexpr int kMaxPermutedGeneCopies = 1 << 24;

  // State (public for the reports and the tests).
  settings& s;
  Structure& structure;
  Samples& samples;
  DistMat& distmat;
  Haplo_DB& haplo_db;
  TAlleleDB& allele_db;
  void* mantel;
  int print_flag;
  int flag2;
  amova_results* results;

  double SSD[4] = {0, 0, 0, 0};
  double SSD_total = 0.0;
  int df[4] = {0, 0, 0, 0};
  double MSD[4] = {0, 0, 0, 0};
  double n = 0.0, n_prime = 0.0, n_second = 0.0;
  double sigma2a = 0.0, sigma2b = 0.0, sigma2c = 0.0, sigma2d = 0.0, sigma2T = 0.0;
  double FIS = 0.0, FIT = 0.0, FCT = 0.0, FSC = 0.0, FST = 0.0;
  bool has_FIS = false, has_FIT = false, has_FCT = false, has_FSC = false, has_FST = false;
  const double small = 1e-10;

  int design = kNone;
  int individual_level = 0;
  int num_permutations = 0;
  std::string time_text;

  int N = 0;                              // gene copies
  int I = 0;                              // individuals (N / 2 with the individual level)
  int G = 0;                              // groups
  int P = 0;                              // populations
  std::vector<double> n_g;                // gene copies per group
  std::vector<double> SSD_group;          // S_g / n_g per group
  TriMat SSDP;                            // P x P sums
  TriMat SSDG;                            // G x G sums
  const AlleleCountSums* sums = nullptr;  // the count path, or nullptr for the matrix
  // Observed composition of each population: its distinct haplotypes (matrix
  // indices, in order of first appearance among its gene copies) and copies.
  std::vector<std::vector<int>> observed_haps, observed_counts;
  // One entry per gene copy, built only when a permutation test runs or an
  // individual-level design needs each individual's two copies.
  std::vector<int> index_vector;             // haplotype index of every gene copy (tests)
  std::vector<int> observed_vector;          // the observed arrangement
  std::vector<int> pop_offset;               // first entry of each population in the vector
  std::vector<int> pop_n;                    // gene copies per population
  std::vector<Population*> observed_pops;    // populations in structure order
  std::vector<int> pop_array;                // population positions (permuted by PPAG)
  std::vector<std::vector<int>> group_pops;  // per-group population positions
  std::vector<int> pops_per_group;
  std::vector<int> group_offset;   // first entry of each group in the vector
  std::vector<int> group_size;     // gene copies per group (observed layout)
  std::vector<double> SSD_WI_pop;  // SSD within individuals per population
  std::vector<double> pop_FST, pop_FIS;
  bool genotypic = false;
  bool phase_known = false;

 private:
  // Puts the observed arrangement back: index vector, counts, sums, groups.
  void restore_observed();
  // Which of the gene-copy vectors the run needs, then builds them.
  bool amova_tests_run(int d) const;
  bool pairwise_tests_run() const;
  void build_gene_copy_vectors(bool for_tests);
  // Current composition of population p: recounted from its gene copies, or the observed one.
  void recount(int p, const int* copies, int num_copies);
  void set_observed_composition(int p);
  // Sums of squared distances over the current compositions: within p, between p and q.
  double within_sum(int p);
  double between_sum(int p, int q);
  // Squared distance between two haplotypes (matrix indices).
  double pair_d2(int h1, int h2);
  // Allele counts of population p's current composition (count path).
  const AlleleCountSums::Profile& profile(int p);
  // SSD_p of every population from its current counts into the diagonal of SSDP.
  void update_SSDP_diagonal();
  // Runs the tests of the design in order; 'what' computes the permuted value.
  void run_test(const char* component, const char* index, bool lower_tail, double observed,
                void (Amova::*shuffle)(), double (Amova::*permuted_value)());
  // Permuted values per design and level.
  double perm_within_pop_H();  // SSD_WP / df_WP
  double perm_AP_1G_H();       // design 3 and 7: sigma2a
  double perm_AP_G_H();        // design 5 and 8: sigma2b
  double perm_AG_G_H();        // design 5 and 8: sigma2a
  double perm_1G1PI();         // design 2: sigma2a (among individuals)
  double perm_AI_1G_I();       // design 4: sigma2b
  double perm_AP_1G_I();       // design 4: sigma2a
  double perm_WI();            // designs 4 and 6: SSD_WI / I
  double perm_AI_G_I();        // design 6: sigma2c
  double perm_AP_G_I();        // design 6: sigma2b
  double perm_AG_G_I();        // design 6: sigma2a
  // Design 5 (and 8) core: steps 3 to 7 from the current matrix and groups.
  void gene_copy_groups_core();
  // Design 6 core.
  void individual_groups_core();
  // Stores the indices into the summary record and the results.
  void store_indices();
  void report_design(const char* title) const;
  void report_tests() const;
  void write_null_distribution(const AmovaTest& t) const;
  // Population-specific indices (report).
  void pop_specific_FST_H();
  void pop_specific_FIS();

  std::unordered_map<const HaploDef*, int> index_of_;  // matrix index of every listed haplotype
  // Count path: per population the version of its composition (0: observed),
  // the allele counts of the observed and of the current composition, and the
  // distances of haplotype pairs met so far within individuals.
  std::vector<int> version_;
  int next_version_ = 0;
  std::vector<AlleleCountSums::Profile> observed_profiles_, current_profiles_;
  std::vector<std::uint8_t> observed_profile_built_;
  std::vector<int> current_profile_version_;
  std::unordered_map<std::uint64_t, double> pair_d2_cache_;

  double SSD_WP_obs = 0.0;   // observed SSD_WP
  double SSD_WI_obs = 0.0;   // observed SSD_WI
  double total_obs = 0.0;    // observed total sum
  double S_g_sum_obs = 0.0;  // observed sum_g S_g / n_g
  TriMat SSDP_obs;           // observed P x P sums
};

// (delta mu)^2 between two lists of mean allele sizes: the mean of the squared
// differences over the loci where both means are non-zero, 0 when there is none.
// Writes the fixation indices flagged as computed into the summary record,
// each with its presence flag, when the record asks for GLOBAL_FSTAT.
void store_fixation_indices(bool has_FIS, double FIS, bool has_FST, double FST, bool has_FCT,
                            double FCT, bool has_FSC, double FSC, bool has_FIT, double FIT);

double delta_mu_squared(const std::vector<double>& mu_x, const std::vector<double>& mu_y);

// Mean allele size per locus over the gene copies of a population (sizes as
// for microsatellites: the text read as a number, plus 0.5, truncated; missing
// alleles are skipped); a locus without data has mean 0, and the loci after
// the last non-zero mean are left out.
std::vector<double> mean_allele_sizes_of(const Population& pop);

#endif  // QND_BETWEENPOP_AMOVA_H
