// One sample (population) of a project and its per-data-type kinds.
//  - TPhenotype: one diploid individual of genotypic data (two gene copies).
//  - PopGenetics: a sample's data (haplotypes with counts, individuals) and its
//    statistical state, filled by the within- and between-population work.
//  - Population: the sample as read, with the reading and model operations.
//  - PopulDNA, PopulRFLP, PopulMicrosat, PopulStandard: the sample with the
//    analyses of its data type; each is copy-constructed from a read Population.
// Member functions are defined in the subsystem that owns them: reading in
// project/, model operations in model/, statistics in withinpop/, distances and
// between-sample work in betweenpop/. Each concern keeps its members in its own
// marked block below.
#ifndef QND_MODEL_POPULATION_H
#define QND_MODEL_POPULATION_H

#include <array>
#include <cstdint>
#include <istream>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "model/containers.h"
#include "model/haplotypes.h"
#include "model/matrices.h"
#include "model/profile.h"
#include "text/my_string.h"

class settings;
class Haplo_DB;

class TPhenotype {
 public:
  my_string id;
  double count = 0.0;  // number of such individuals
  std::string copy1;   // content of the first gene copy
  std::string copy2;   // content of the second gene copy
};

class PopGenetics {
 public:
  PopGenetics();
  PopGenetics(const PopGenetics& other);
  PopGenetics& operator=(const PopGenetics& other);
  virtual ~PopGenetics() = default;

  // ---------------------------------------------------------------------------
  // Sample data (filled by reading, pooling and gene-copy building).
  // ---------------------------------------------------------------------------
  ProfileSettings profile;
  my_string name{"NoName"};
  int index = -1;
  MY_TIArrayAsVector<PHaploDef> haplotypes;  // distinct haplotypes with counts, file order
  // The two gene copies of each individual as two adjacent entries, each with
  // the individual's count: c identical individuals take one pair, not c.
  MY_TIArrayAsVector<PHaploDef> gametes;
  MY_TIArrayAsVector<TPhenotype> individuals;
  int line_count = 0;
  double sample_size = 0.0;
  double inverse_size = 1.0;
  int gametes_built = 0;
  TAlleleDB* allele_db = nullptr;        // the project's allele database
  void* estimated_haplotypes = nullptr;  // list filled by the phasing computations
  int recessive_data = 0;                // copy of the recessive-data setting

  // Per-locus flags (per site for DNA and RFLP data), set by the polymorphism
  // evaluation of the data type and read by the per-locus pass, the diversity
  // indices and the distances.
  std::vector<double> missing_fraction;         // missing gene copies / sample size
  std::vector<std::uint8_t> locus_usable;       // 1 when missing_fraction <= allowed
  // True when the sites outside the pass's variable sites took their flags
  // from pass_invariant (compare_DNA_sequences within a pass).
  bool usable_from_pass = false;
  std::vector<std::uint8_t> locus_polymorphic;  // >= 2 different non-missing alleles
  int num_loci = 0;
  int num_usable_loci = 0;
  int num_usable_poly_loci = 0;
  double allowed_missing = 0.05;  // AllowedLevelOfMissingData copied from the settings

  int num_haplotypes() const { return haplotypes.GetItemsInContainer(); }
  int num_individuals() const { return individuals.GetItemsInContainer(); }

  // The process-wide allele database shared by all samples of a run.
  static TAlleleDB globalAllelicDB;
  // Sites that are substitution sites in at least one sample of the pass.
  static std::vector<int> globalSubstPolymSites;

  // ---------------------------------------------------------------------------
  // Allele frequencies, numbers of alleles, gene diversity, microsatellite sizes
  // (withinpop/gene_diversity.cpp, withinpop/microsat.cpp).
  // ---------------------------------------------------------------------------
  void OutputAllelelNumberAndHetPerLocusHapl(std::ostream& out, const settings& s, bool a, bool b,
                                             bool c);
  void OutputAllelelNumberAndHetPerLocusDipl(std::ostream& out, const settings& s, bool a, bool b,
                                             bool c);
  void calc_sample_homozygosity();
  double calc_sample_homozygosity(const std::vector<double>& freqs) const;
  void calc_sample_sd_heterozygosity();
  // Polymorphism evaluation of allele-string data.
  void compare_haplotypes(const settings& s);
  void compare_phenotypes(const settings& s);
  void computeMeanAlleleSizes();
  // Modified Garza-Williamson index of every locus against the pooled ranges of
  // the pass (one entry per locus, 0 where no sample of the pass has data).
  void compute_modified_gw(const std::vector<int>& pooled_range);
  // Number of distinct haplotypes carried by the sample (entries with copies).
  int num_distinct_haplotypes() const;

  // Per-locus lists of the last allele pass, one entry per analysed locus.
  // locus_ids[i] is the locus of entry i; it is empty when entry i is locus i.
  // For sequences in haplotype mode only the sites that vary in the pass are
  // listed: every other site is typed by all copies or by none, with k = 1 (or
  // 0) and H = 0, and enters the summaries over loci as a count.
  std::vector<int> locus_ids;
  std::vector<int> locus_gene_copies;
  std::vector<int> locus_num_alleles;
  std::vector<double> locus_obs_het;  // diploid pass only
  std::vector<double> locus_exp_het;
  // Microsatellite sizes of each listed locus.
  std::vector<int> locus_min_size;
  std::vector<int> locus_max_size;
  std::vector<double> locus_mean_size;
  std::vector<int> locus_range;
  std::vector<double> locus_gw;
  std::vector<double> locus_ngw;
  std::vector<double> mean_allele_sizes;  // computeMeanAlleleSizes, one per locus
  int pass_num_loci = 0;                  // L of the last pass

  // Summaries over loci of the last pass.
  double mean_exp_het = 0.0, sd_exp_het = 0.0;
  double mean_num_alleles = 0.0, sd_num_alleles = 0.0;
  double mean_gene_copies = 0.0, sd_gene_copies = 0.0;
  double mean_range = 0.0, sd_range = 0.0;
  double mean_gw = 0.0, sd_gw = 0.0;
  double mean_ngw = 0.0, sd_ngw = 0.0;

  // Sample-level haplotype diversity.
  double sum_sq_freq = 0.0;
  double homozygosity = 0.0;
  double gene_diversity = 0.0;
  double sd_gene_diversity = 0.0;

  // Sequences in haplotype mode: the sites that vary among all units of the
  // current pass (sorted) and how many of the other sites carry a typed
  // character. Set by Samples::compute_stuff for the length of a pass; when not
  // set, the pass visits every site.
  static std::vector<int> pass_variable_sites;
  static int pass_typed_invariant_sites;
  static bool pass_sites_restricted;
  // The other sites of the pass, for samples whose contents span the whole
  // pass length: 1 where the site's one character is neither the missing-data
  // character nor a gap (a usable site of every sample when no missing data
  // are disallowed), the number of such sites and of each character at them,
  // and the sites whose character is the missing-data one.
  struct PassInvariantSites {
    size_t length = 0;
    char missing = '\0';
    std::vector<std::uint8_t> usable;
    int num_usable = 0;
    std::array<int, 256> usable_chars{};
    std::vector<int> missing_sites;
  };
  static PassInvariantSites pass_invariant;
  // Sets the variable sites of a pass and pass_invariant from the contents of
  // its haplotypes.
  static void begin_pass_sites(const std::vector<const std::string*>& contents, char missing);

  // ---------------------------------------------------------------------------
  // Sequence polymorphism and diversity indices (withinpop/molecular_diversity.cpp).
  // ---------------------------------------------------------------------------
  // Number of gene copies n of the sequence statistics: the sample size of
  // haplotypic data; for genotypic data, whose sample size counts individuals,
  // the copies of their gametes (twice the individuals).
  double gene_copies() const;
  void theta_S(double n, const int& S);
  void theta_pi(const double& pi);
  void theta_k(const int& n, const int& k, const double& precision);
  static double k_est(const double& theta, const int& n);

  // Site arrays of the last evaluation (one entry per site). site_diff holds the
  // kinds of difference met against the reference character (kSite* bits) and,
  // in its high nibble, which of A, C, G, T differed from it by a transversion;
  // site_counted holds what the site was counted as (kCounted* bits).
  std::vector<std::uint8_t> site_diff;
  std::vector<std::uint8_t> site_counted;
  static constexpr std::uint8_t kSiteTransition = 1;
  static constexpr std::uint8_t kSiteTransversion = 2;
  static constexpr std::uint8_t kSiteIndel = 4;
  static constexpr std::uint8_t kSiteAmbiguity = 8;
  static constexpr std::uint8_t kCountedTransition = 1;
  static constexpr std::uint8_t kCountedTransversion = 2;
  static constexpr std::uint8_t kCountedAmbiguity = 4;
  static constexpr std::uint8_t kCountedIndel = 8;
  // Site counters. num_subst_sites is S; for RFLP data num_rflp_poly_sites is.
  int num_transitions = 0;
  int num_transversions = 0;
  int num_substitutions = 0;
  int num_indels = 0;
  int num_transition_sites = 0;
  int num_transversion_sites = 0;
  int num_subst_sites = 0;
  int num_indel_sites = 0;
  int num_rflp_poly_sites = 0;
  int num_private_subst_sites = 0;
  // Diversity indices.
  double mean_pair_diff = 0.0;  // pi
  double mean_pair_diff_sd = 0.0;
  double nucl_diversity = 0.0;  // pi per usable site
  double nucl_diversity_sd = 0.0;
  double theta_s_value = 0.0;
  double theta_s_sd = 0.0;
  double theta_pi_value = 0.0;
  double theta_pi_sd = 0.0;
  double theta_k_value = 0.0;
  // Counts of the site evaluation back to 0 (arrays sized for num_sites).
  void reset_site_counters(int num_sites);
  // pi, pi per site and their standard deviations from the sum over pairs of
  // distinct haplotypes of c_i * c_j * d_ij (pair_sum), the sample size n and the
  // number of usable sites L.
  void set_pairwise_diversity(double pair_sum, double n, int L);

  // ---------------------------------------------------------------------------
  // Neutrality tests (withinpop/neutrality.cpp).
  // ---------------------------------------------------------------------------
  void tajimaD(const int& n, const double& pi, const double& S);
  void fast_tajimaD(const int& n, const double& pi, const double& S);
  int Fu_Fs(const double& theta, const int& k, double& Fs, bool report);
  long double proba_less_than_k(const int& k, const int& n, const double& theta);
  double proba_exactly_k(const int& k, const int& n, const double& theta);
  static void get_B_num_mat();

  double tajima_d = 0.0;
  double tajima_d_pvalue = 0.0;  // -1 when D cannot be computed
  double fu_fs = 0.0;
  double fu_fs_pvalue = 0.0;
  // Tajima's test: D of the sample from n, pi and S (the RFLP polymorphic sites
  // for RFLP data), and, with NumSimulFuTest rounds of coalescent samples
  // simulated at theta(S), its p-value. Results go to the log.
  void run_tajima_test(const settings& s);
  // Fu's test: Fs from theta(pi) and the number of distinct haplotypes k, and
  // its p-value from coalescent samples simulated at theta(pi). Results go to
  // the log.
  void run_fu_test(const settings& s);
  // The gene copies of the sample, rounded down.
  double whole_gene_copies() const;
  // Fails the run with error 0 when n gene copies are too many to simulate.
  static void check_simulated_sample(double n, const char* source);

  // ---------------------------------------------------------------------------
  // Distances between haplotypes (betweenpop/distances.cpp,
  // betweenpop/distance_matrix.cpp).
  // ---------------------------------------------------------------------------
  // Matrix of 1 (0 on the diagonal) for F-statistics from haplotype frequencies
  // alone, into conventional_matrix; 1 on success.
  int compute_dist_mat_for_conventional_FST();
  // Copies the method code, the gamma shape and the three weights from the
  // settings: the AMOVA pair (DistanceMethodAMOVA, GammaAValueAMOVA) or the
  // within-sample pair (DistanceMethod, GammaAValue).
  void copy_distance_settings(const settings& s, bool amova);
  // Sets locus_usable, missing_fraction, num_loci and num_usable_loci from the
  // missing gene copies per site (DNA, RFLP) or locus: a site is usable when its
  // missing fraction is at most AllowedLevelOfMissingData (allowed_missing).
  void evaluate_usable_mask();
  // Whether site i takes part in distances (sites beyond the mask do).
  bool site_usable(size_t i) const { return i >= locus_usable.size() || locus_usable[i] != 0; }
  // The distance-matrix task of an AMOVA run: the usable-site mask over the
  // population's haplotypes, then the conventional matrix (ComputeConventionalFST)
  // or the matrix of DistanceMethodAMOVA scaled to whole sequences. 1 on success.
  int compute_amova_distance_matrix(settings& s);

  // Results of the last pair: distance d, variance v, transition and
  // transversion proportions P and Q, transition/transversion ratio and its
  // variance (-1 when undefined), compared sites L and counted differences.
  // Prefixed so that locals named d, v, L in member functions shadow nothing.
  double dist_d = 0.0;
  double dist_v = 0.0;
  double dist_P = 0.0;
  double dist_Q = 0.0;
  double dist_ratio = -1.0;
  double dist_ratio_var = -1.0;
  double dist_ts_part = 0.0;  // Tamura-Nei: transition part of d
  double dist_tv_part = 0.0;  // Tamura-Nei: transversion part of d
  int dist_L = 0;
  int dist_num_diff = 0;
  // Parameters copied from the settings before a matrix is computed.
  int dist_method = 0;
  double gamma_a = 0.0;
  double w_ts = 1.0;
  double w_tv = 1.0;
  double w_del = 1.0;
  // Base frequencies A, C, G, T (comp_nucl_freq) and the G+C content.
  double nucl_freq[4] = {0.0, 0.0, 0.0, 0.0};
  double gc_content = 0.0;
  // Distance (x scale) below the diagonal, sqrt(variance) (x scale) above.
  RectMat dist_matrix;
  // When set, a matrix computation writes its distances into this triangle
  // instead (no standard deviations): the project's matrix for AMOVA needs
  // only those, and a full square of thousands of haplotypes would cost twice
  // the memory and a copy.
  TriMat* lower_target = nullptr;
  int largest_distance = 0;
  // The conventional matrix (constant mode for frequency data).
  TriMat conventional_matrix;
  bool conventional_computed = false;

  // ---------------------------------------------------------------------------
  // Linkage disequilibrium (betweenpop/linkage.cpp).
  // ---------------------------------------------------------------------------
  // Two loci of the sample (indices in its own locus numbering, from 0).
  struct LocusPair {
    int num_loci = 2;
    int locus_a = 0;
    int locus_b = 0;
  };
  // Working data of the pair computations, rebuilt by every calc_all_gam_des.
  struct LdWorkspace {
    std::vector<int> poly_loci;    // polymorphic loci, increasing index
    std::vector<int> position;     // per locus: its place in poly_loci, -1 when monomorphic
    std::vector<int> num_alleles;  // per polymorphic locus
    // Allele number per (polymorphic locus, haplotype), one row per locus;
    // -1 missing data, -2 locus beyond the haplotype's content.
    std::vector<int> codes;
    int num_haplotypes = 0;
    std::vector<int> weights;  // per haplotype: its count
    // Contingency table of the last pair: rows = alleles of A, columns = alleles
    // of B, numbered in order of first appearance among the counted haplotypes.
    // Counts are 64-bit: a sample's copies may add up beyond 32 bits.
    std::vector<long long> table;
    std::vector<long long> row_totals;
    std::vector<long long> col_totals;
    int rows = 0;
    int cols = 0;
    long long n = 0;
    std::vector<int> local_a;  // renumbering scratch
    std::vector<int> local_b;
    // Loci with two alleles and no absent haplotype as bit sets, so that a
    // pair of them is counted with a few word operations instead of a table.
    // A bit is a slot: one per gene copy (the haplotypes' copies in order) or,
    // when that takes fewer words over all weight planes, one per haplotype;
    // either way the words follow the distinct haplotypes, never a count.
    // Filled by linkage::pack_biallelic_loci; bit_words is 0 while not filled.
    int bit_words = 0;                      // 64-bit words per locus
    std::vector<std::uint8_t> packed;       // per polymorphic locus: 1 when packed
    std::vector<std::uint8_t> fully_typed;  // per polymorphic locus: no missing data
    std::vector<std::uint64_t> typed_bits;  // slots with an allele at the locus
    std::vector<std::uint64_t> one_bits;    // slots carrying allele 1
    std::vector<long long> one_weight;      // copies carrying allele 1
    long long total_weight = 0;             // copies of all haplotypes
    // Plane p: the slots whose weight has bit p set, so that a weighted count
    // is the sum over planes of 2^p times a bit count (one plane of weight 1
    // when a slot is a gene copy).
    std::vector<std::uint64_t> weight_bits;
    int weight_planes = 0;
    // Packed loci without missing data, by pattern: the slots that carry the
    // allele other than the first haplotype's, which is the last row (or
    // column) of every table of the locus. The last cell of a pair, and so its
    // |D'| and r^2, depends on the two patterns only; sequence data without
    // recombination hold far fewer patterns than sites.
    std::vector<int> pattern;                 // per polymorphic locus, -1 when it has none
    std::vector<std::uint64_t> pattern_bits;  // pattern p: bit_words words from p * bit_words
    std::vector<long long> pattern_weight;    // copies in each pattern
  };
  LdWorkspace ld;

  // All pairs of polymorphic loci of the sample; appends to the eight
  // linkage-disequilibrium lists of SumStat. Returns 1, 0 for a sample without
  // haplotypes.
  int calc_all_gam_des(std::ostream& out, int chain_length, const settings& s);
  // One pair: adds its |D'| and r^2 to the sums (under MEAN_ALL_DPRIME and
  // MEAN_ALL_R2) and appends to the adjacent and flanking lists; the flanking
  // pair is (first_flank, last_flank). Returns 1, 0 when the table fails.
  int calc_d_sd_values(const LocusPair& pair, const settings& s, double& dprime_sum, double& r2_sum,
                       int first_flank, int last_flank, std::ostream& out);
  // Builds ld.table for the pair; both loci must be polymorphic loci of the
  // workspace. Returns 1, 0 (error 60) for any other locus or a haplotype too short.
  int make_all_table(const LocusPair& pair);
  // |D'| and r^2 of the pair's last cell; the listed form also writes the
  // whole table's measures to out. Return 1, 0 when the table fails.
  int pair_values(const LocusPair& pair, double& dprime, double& r2);
  int listed_pair_values(const LocusPair& pair, std::ostream& out, double& dprime, double& r2);

  // ---------------------------------------------------------------------------
  // AMOVA and pairwise differentiation (betweenpop/amova.cpp, betweenpop/pairwise.cpp).
  // ---------------------------------------------------------------------------
  // Permutation work vectors: the distinct haplotypes (distance-matrix indices)
  // present in the current arrangement of the gene copies and their counts;
  // perm_slot maps a matrix index to its position in perm_haps (-1 when absent).
  std::vector<int> perm_haps;
  std::vector<int> perm_counts;
  std::vector<int> perm_slot;
  int perm_size = 0;  // gene copies of the current arrangement (n_p)
  // Sizes the work vectors for a distance matrix over num_haplotypes; 1 on success.
  int CreatePermutationVectors(int num_haplotypes);
  void ReleasePermutationVectors();
  // Rebuilds the haplotype counts from n gene copies (matrix indices).
  void SetUpVectorsAfterPermutation(const int* slice, int n);
  // Sets the counts directly: haps (distinct matrix indices) with counts, n copies in all.
  void SetUpVectorsFromCounts(const std::vector<int>& haps, const std::vector<int>& counts, int n);
  // Sum of squared distances between the gene copies of the population:
  // SSD_p = sum_h c_h(c_h - 1)/2 d2(h, h) [constant mode] + sum_{h<h'} c_h c_h' d2(h, h').
  double ComputeSSDWP(const TriMat& d2) const;
  // SSD_p / n_p (0 for an empty population).
  double SSDWP_div_freq(const TriMat& d2) const;
  // Sum of squared distances between the gene copies of this and other.
  double ComputeSSDAP(const PopGenetics& other, const TriMat& d2) const;
};

class Population : public PopGenetics {
 public:
  Population() = default;
  Population(const Population& other) = default;
  Population& operator=(const Population& other) = default;
  ~Population() override = default;

  // Analyses selected by the settings (defined per data type).
  virtual int test_methods(settings& s);
  virtual int check_data() { return 1; }
  virtual void clean_bnum() {}

  // Reading (one block of the [[Samples]] section).
  int New_read_gametic_data(std::istream& in, Haplo_DB& haplotypes, int external, int& lineNo,
                            my_string& line);
  int New_read_genotypic_data(std::istream& in, int external, int& lineNo, my_string& line);

  // Merges another sample into this one (pooling samples into groups).
  Population& operator+=(const Population& other);
  // Rebuilds the haplotype entries from the individuals' gene copies.
  void phen_to_gam(Haplo_DB* list, ProfileSettings* prof, settings* s);

  // Removes every haplotype entry.
  void clear_haplotypes() { haplotypes.Flush(); }

  // Fills dist_matrix over the haplotypes with the copied distance settings;
  // writes it to out when given. Data types without distances return 0.
  virtual int compute_distance_matrix(std::ostream* out, settings& s, bool scale);
};

class PopulDNA : public Population {
 public:
  PopulDNA() = default;
  explicit PopulDNA(const Population& p) : Population(p) {}
  int test_methods(settings& s) override;

  // Sequence analyses (withinpop/molecular_diversity.cpp).
  void evaluate_polymorphism(const settings& s);
  void compare_DNA_sequences(const settings& s);
  void compute_molecular_diversity(settings& s);
  // Distances (betweenpop/distances.cpp). Each routine compares two sequences
  // site by site over the usable sites, leaves d, v (P, Q, ratios, L) in the
  // population and returns 1 on success, 0 on failure.
  static int compare_nucleotides(char a, char b);
  int diff_dist(std::string_view s1, std::string_view s2);
  int p_dist(std::string_view s1, std::string_view s2);
  int jk_dist(std::string_view s1, std::string_view s2);
  int kim2p_dist(std::string_view s1, std::string_view s2);
  int tajnei_dist(std::string_view s1, std::string_view s2);
  int tamura_dist(std::string_view s1, std::string_view s2);
  int tamnei_dist(std::string_view s1, std::string_view s2);
  // The routine of the copied method code (a code outside 0..6 is method 0).
  int distance(std::string_view s1, std::string_view s2);
  // Base frequencies pooled over the haplotypes' copies at usable sites.
  void comp_nucl_freq();
  int compute_distance_matrix(std::ostream* out, settings& s, bool scale) override;
};

class PopulRFLP : public Population {
 public:
  PopulRFLP() = default;
  explicit PopulRFLP(const Population& p) : Population(p) {}
  int test_methods(settings& s) override;

  // RFLP site analyses (withinpop/molecular_diversity.cpp).
  void evaluate_polymorphism(const settings& s);
  void compare_RFLP_haplotypes(const settings& s);
  void compute_molecular_diversity(settings& s);

  // Distances (betweenpop/distances.cpp): differences at usable sites where
  // neither state is missing, as a count or as a proportion of compared sites.
  int diff_no_weight(std::string_view s1, std::string_view s2);
  int p_diff(std::string_view s1, std::string_view s2);
  int compute_distance_matrix(std::ostream* out, settings& s, bool scale) override;
};

class PopulMicrosat : public Population {
 public:
  PopulMicrosat() = default;
  explicit PopulMicrosat(const Population& p) : Population(p) {}
  int test_methods(settings& s) override;
  // FST-like (different sizes) or RST-like (squared size differences).
  int compute_distance_matrix(std::ostream* out, settings& s, bool scale) override;
};

// STANDARD and FREQUENCY data.
class PopulStandard : public Population {
 public:
  PopulStandard() = default;
  explicit PopulStandard(const Population& p) : Population(p) {}
  int test_methods(settings& s) override;
  // Number of usable loci with different alleles.
  int compute_distance_matrix(std::ostream* out, settings& s, bool scale) override;
};

// A new sample object of the class for the data type, copied from p.
Population* make_population_for_type(TDataType type, const Population& p);

#endif  // QND_MODEL_POPULATION_H
