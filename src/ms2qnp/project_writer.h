// The one writer of project files for the converters (simulator output,
// sequences, genotypes): every reader fills a SampleSet (distinct gene copies,
// samples holding them with counts or as diploid individuals, an optional
// grouping) and write_project turns it into a project that qndsumstat reads.
#ifndef QND_MS2QNP_PROJECT_WRITER_H
#define QND_MS2QNP_PROJECT_WRITER_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace ms2qnp {

// Malformed input or options; the message names the line or record where it applies.
class FormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class DataKind { Dna, Rflp, Microsat };

// A diploid individual: its identifier and its two gene copies (indices of contents).
struct Individual {
  std::string id;
  std::size_t first = 0;
  std::size_t second = 0;
};

struct Sample {
  std::string name;
  // Haploid data: distinct gene copies (indices of contents) with their counts,
  // in order of first appearance.
  std::vector<std::pair<std::size_t, int>> copies;
  // Diploid data: the individuals in input order.
  std::vector<Individual> individuals;
  bool empty() const { return copies.empty() && individuals.empty(); }
};

// Gene copies are stored once per distinct content: a microsatellite content
// holds its alleles separated by single blanks, a DNA or RFLP content one
// character per site.
class SampleSet {
 public:
  std::string title;
  DataKind kind = DataKind::Dna;
  bool genotypic = false;    // diploid individuals (two lines each)
  bool phase_known = false;  // genotypic data only
  std::vector<Sample> samples;
  // Sample indices of each group; empty: no structure.
  std::vector<std::vector<std::size_t>> groups;

  // Index of the sample added with this name.
  std::size_t add_sample(std::string name);
  // Index of the gene copy with this content, entered when new.
  std::size_t add_content(std::string content);
  // One more haploid gene copy (count of them) in a sample.
  void add_copy(std::size_t sample, std::string content, int count = 1);
  void add_individual(std::size_t sample, std::string id, std::string first, std::string second);

  std::size_t content_count() const { return contents_.size(); }
  const std::string& content(std::size_t index) const { return contents_[index]; }
  // Removes the samples without data and returns the former indices of those
  // kept (group lists must be built afterwards).
  std::vector<std::size_t> drop_empty_samples();

 private:
  std::deque<std::string> contents_;  // a deque never moves its elements, so views stay valid
  std::unordered_map<std::string_view, std::size_t> content_index_;
  // Position in its sample's copy list of each (sample, content) pair.
  std::unordered_map<std::uint64_t, std::size_t> copy_position_;
};

// Text written around the data: comment lines (each starting with '#') before
// the profile, and the name of the haplotype list.
struct Heading {
  std::string comment;
  std::string list_name = "haplotypes";
};

void write_project(std::ostream& out, const SampleSet& set, const Heading& heading);

// Groups of consecutive samples: {2, 3} puts samples 0-1 in the first group and
// 2-4 in the second. Throws FormatError when the sizes do not add up to samples.
std::vector<std::vector<std::size_t>> consecutive_groups(const std::vector<int>& sizes,
                                                         std::size_t samples);

// Writes a file under a temporary name in its directory and renames it when
// complete, so that a failure never leaves a partial file. Throws
// std::runtime_error naming the path when it cannot be written.
void write_file_atomically(const std::string& path,
                           const std::function<void(std::ostream&)>& write);

}  // namespace ms2qnp

#endif  // QND_MS2QNP_PROJECT_WRITER_H
