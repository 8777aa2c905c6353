// Distances between two haplotypes: the pair classes of nucleotides, the site
// categories that every DNA distance counts, and the formulas that turn those
// counts into a distance. The per-pair routines of PopulDNA (distances.cpp) and
// the matrix over a whole sample (distance_matrix.cpp) share them, so both give
// the same doubles for the same data: a routine first tallies how many sites of
// each category the pair has, then evaluates its formula on the tallies.
#ifndef QND_BETWEENPOP_DISTANCES_H
#define QND_BETWEENPOP_DISTANCES_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/data_type.h"

class AlleleCountSums;
class DistMat;
class Haplo_DB;
class PopGenetics;
class Population;
class PopulDNA;
class Project;
class ProfileSettings;
class my_string;
class settings;

namespace qnd_dist {

// DNA distance method codes.
enum DnaMethod : int {
  kPairwiseDifference = 0,
  kJukesCantor = 1,
  kKimura2P = 2,
  kProportion = 3,
  kTajimaNei = 4,
  kTamura = 5,
  kTamuraNei = 6,
};

// What one site of a pair of sequences is, for every DNA distance at once.
enum SiteCategory : std::uint8_t {
  kSkip = 0,   // both characters are the missing-data character
  kSameGap,    // both "-"
  kSameAcgt,   // both the same one of A, C, G, T
  kSameOther,  // both the same other character (ambiguity code, digit ...)
  kTsAG,       // purine transition
  kTsCT,       // pyrimidine transition
  kTvAC,       // transversions between the four bases, by unordered pair
  kTvAT,
  kTvCG,
  kTvGT,
  kTvCode,   // transversion involving an ambiguity code (A-Y, R-Y ...)
  kUnknown,  // substitution of unknown type (class 4)
  // Class 0 (not comparable) and class 3 (indel) sites, each with three bits
  // saying which routines leave the site out: +1 Jukes-Cantor, +2 Kimura,
  // +4 Tamura and Tamura-Nei.
  kNotComparable = 12,
  kIndel = 20,
  kNumCategories = 28,
};
constexpr int kSkipJC = 1;
constexpr int kSkipKimura = 2;
constexpr int kSkipTamura = 4;

using SiteCounts = std::array<int, kNumCategories>;

// Category of every pair of characters for one missing-data character.
class CategoryTable {
 public:
  explicit CategoryTable(char missing);
  std::uint8_t operator()(char a, char b) const {
    return cells_[static_cast<unsigned char>(a) * 256u + static_cast<unsigned char>(b)];
  }
  const std::uint8_t* data() const { return cells_.get(); }

 private:
  std::unique_ptr<std::uint8_t[]> cells_;  // 256 x 256, every cell written by the constructor
};

// The table for a missing-data character, built once per process.
const CategoryTable& category_table_for(char missing);

// Category of the pair (a, b), a first, for the missing-data character m.
std::uint8_t site_category(char a, char b, char m);

// Evaluates the distance of the population's method on the tallies of one pair
// and leaves the results in the population. 1 on success, 0 on failure (with
// the routine's diagnostic).
int finish_dna_distance(PopulDNA& pop, int method, const SiteCounts& c);

// The label of a data type's distance method, as printed by the AMOVA report.
const char* distance_label(TDataType type, int method);

// The allele texts of a haplotype, one per locus: tokens between locus
// separators, or one character per locus when the separator is NUL.
void allele_tokens(std::string_view content, std::vector<std::string_view>& tokens);
std::vector<std::string_view> allele_tokens(std::string_view content);

// An allele text as a number: whole numbers of up to nine digits directly (the
// usual case, and exactly the value strtod gives), anything else through
// strtod. False when the text is not wholly a finite number.
bool allele_value(std::string_view text, double& value);

// The length of the longest haplotype of pop (shorter ones are padded with the
// missing-data character).
size_t longest_content(const PopGenetics& pop);

// The usable sites where at least two haplotypes differ, packed per haplotype
// into one flat array (row h holds haplotype h's characters at those sites).
struct VariableSites {
  std::vector<size_t> sites;
  std::vector<char> packed;
  std::string reference;  // haplotype 0, padded to the common length
  size_t width() const { return sites.size(); }
  const char* row(int h) const { return packed.data() + static_cast<size_t>(h) * sites.size(); }
};
// `candidates`, when given, lists in increasing order every site that may vary
// (the variable sites of the pass the sample belongs to): the others hold the
// reference character in every haplotype and are not compared.
VariableSites find_variable_sites(const PopGenetics& pop, size_t len, char missing,
                                  const std::vector<int>* candidates = nullptr);

}  // namespace qnd_dist

// The AMOVA distance matrix over a list of distinct haplotypes (copies[i] gene
// copies of list[i], which weigh the missing data per site or locus): a working
// sample of the data type's class computes the matrix of `method` with gamma
// shape `alpha` (DistanceMethodAMOVA, GammaAValueAMOVA, TaskNumber and
// InferHaplotypeDefinitionFromDistanceMatrix are overridden for the call and
// restored), and its lower triangle goes into distmat.tri. With an AMOVA or
// pairwise task, reports the usable loci and writes "MissDataPerLocus.txt" into
// result_directory. Project::calc_dist_matrix(method, alpha) calls it with the
// project's list; the locus-by-locus AMOVA calls it with its own. 1 on success.
int calc_haplotype_dist_matrix(const Haplo_DB& list, const ProfileSettings& profile,
                               const std::vector<int>& copies, settings& s,
                               const my_string& result_directory, DistMat& distmat, int method,
                               double alpha);

// The count path over the same list (see allele_count_sums.h): the working
// population that the matrix would be computed on, with its usable-site mask,
// and the sums of `method`, nullptr when that distance needs the matrix.
struct ListCountSums {
  std::unique_ptr<Population> pop;
  std::unique_ptr<AlleleCountSums> sums;
  // The usable-loci report of the first pass that used these sums (log text and
  // the file of missing data written), repeated by the later ones.
  mutable std::string usable_loci_log;
  mutable std::string usable_loci_file;
};
ListCountSums count_sums_over_list(const Haplo_DB& list, const ProfileSettings& profile,
                                   const std::vector<int>& copies, const settings& s, int method);
// What the count path writes in place of the matrix computation: one log line
// and, with an AMOVA or pairwise task, the usable-loci report and
// "MissDataPerLocus.txt" as the matrix computation writes them.
void report_count_sums(const ListCountSums& run, const settings& s,
                       const my_string& result_directory);

// Copies of each haplotype of the project's list pooled over the samples of
// the current structure (over all current samples when it has no group).
std::vector<int> pooled_copies(const Project& project);
// count_sums_over_list for the project's list and pooled copies, kept in the
// project's DistMat for a later request with the same inputs.
std::shared_ptr<const ListCountSums> project_count_sums(Project& project, int method, double alpha);

// Fills the global DistanceNames table with the nine method labels.
void fill_distance_names();

#endif  // QND_BETWEENPOP_DISTANCES_H
