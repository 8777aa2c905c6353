// Conversion of coalescent simulator output in ms format (as written by ms and
// scrm) into project files: one project per replicate, each population of the
// "-I" option a sample, 0/1 states written as DNA or as RFLP data, optionally
// with a structure grouping consecutive samples.
#ifndef QND_MS2QNP_MS_FORMAT_H
#define QND_MS2QNP_MS_FORMAT_H

#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "ms2qnp/project_writer.h"

namespace ms2qnp {

// One replicate ("//" block): the gene copies as rows of '0'/'1', one
// character per segregating site.
struct MsReplicate {
  std::vector<std::string> rows;
  int segregating_sites = 0;
};

struct MsData {
  int sample_count = 0;               // nsam of the command line
  std::vector<int> population_sizes;  // from "-I npop n1 n2 ...", else {nsam}
  std::vector<MsReplicate> replicates;
};

// Reads the whole ms-format text: the command line first, then every "//"
// block with its "segsites:" line, its "positions:" line (when there are
// sites) and nsam rows. Other lines of a block before "segsites:" (trees,
// "time:", "prob:") are skipped. Throws FormatError on malformed input.
MsData parse_ms(std::istream& in);

// "2,3" -> {2, 3}: positive integers separated by commas.
std::vector<int> parse_group_sizes(std::string_view text);

enum class Encoding { Dna, Rflp };

struct ProjectOptions {
  Encoding encoding = Encoding::Dna;
  // Number of consecutive samples in each group; empty: no structure.
  std::vector<int> group_sizes;
};

// The project text of one replicate (number counts from 1). Identical gene
// copies share one haplotype. A replicate without segregating sites gets one
// invariant site, as a project needs data to be read. Throws FormatError when
// the group sizes do not add up to the number of samples.
std::string to_project(const MsData& data, int replicate_number, const ProjectOptions& options);

// The DNA letter of state ('0' or '1') at site (from 0): the sites cycle
// through the transitions A/G, C/T, G/A, T/C so that every nucleotide occurs.
char dna_letter(char state, std::size_t site);

}  // namespace ms2qnp

#endif  // QND_MS2QNP_MS_FORMAT_H
