// Which sample (and group) each individual of observed data belongs to: the
// population map a user writes (individual, sample, optional group), or a
// sample key that the reader derives from the data itself (a name prefix, a
// "Pop" section). Also the names written into a project, made safe and unique.
#ifndef QND_CONVERT_SAMPLE_MAP_H
#define QND_CONVERT_SAMPLE_MAP_H

#include <cstddef>
#include <istream>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "ms2qnp/project_writer.h"

namespace convert {

struct PopMap {
  std::vector<std::string> samples;  // in order of first appearance
  std::vector<std::string> groups;   // group of each sample; empty without a group column
  std::unordered_map<std::string, std::size_t> sample_of;  // individual -> sample
};

// Reads "individual sample [group]" lines (blank-separated; empty lines and
// lines starting with '#' skipped). Throws ms2qnp::FormatError naming the line.
PopMap read_popmap(std::istream& in);

// A name as a project can hold it: one word of printable characters without
// quotes, '#', braces or brackets (each such character becomes '_').
std::string project_name(const std::string& name);

// Fills the samples of a set as individuals arrive, then completes them.
class SampleAssigner {
 public:
  static constexpr std::size_t kSkipped = static_cast<std::size_t>(-1);

  // With a map, its samples are created at once, in map order.
  SampleAssigner(ms2qnp::SampleSet& set, const PopMap* map);

  // The sample of an individual: from the map (kSkipped when the map does not
  // list it), else the sample of key, created with the given name when new.
  std::size_t sample_of(const std::string& individual, const std::string& key,
                        const std::string& name);

  // Drops samples without data, makes sample names project names and unique,
  // and groups the samples: by the map's group column, or consecutively by
  // group_sizes (none when empty). Throws FormatError when both are given or
  // when no sample holds data.
  void finish(const std::vector<int>& group_sizes);

  std::size_t skipped() const { return skipped_; }
  // Individuals of the map that the data never named.
  std::size_t unused_map_entries() const;

 private:
  ms2qnp::SampleSet& set_;
  const PopMap* map_;
  std::unordered_map<std::string, std::size_t> by_key_;
  std::unordered_set<std::string> seen_;  // individuals of the map met in the data
  std::size_t skipped_ = 0;
};

}  // namespace convert

#endif  // QND_CONVERT_SAMPLE_MAP_H
