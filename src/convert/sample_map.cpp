// Population map, sample assignment and project-safe names.
#include "convert/sample_map.h"

#include <sstream>
#include <string_view>
#include <unordered_set>

namespace convert {

using ms2qnp::FormatError;

namespace {

[[noreturn]] void fail_at(int line, const std::string& what) {
  throw FormatError("line " + std::to_string(line) + ": " + what);
}

}  // namespace

PopMap read_popmap(std::istream& in) {
  PopMap map;
  std::unordered_map<std::string, int> line_of;  // individual -> line that maps it
  std::unordered_map<std::string, std::size_t> index_of;
  std::vector<int> sample_line;  // line that first names each sample
  std::size_t columns = 0;
  int columns_line = 0;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    std::istringstream words_in(line);
    std::vector<std::string> words;
    for (std::string word; words_in >> word;) words.push_back(word);
    if (words.empty() || words[0][0] == '#') continue;
    if (words.size() < 2 || words.size() > 3)
      fail_at(number, "expected an individual, its sample and optionally its group, found " +
                          std::to_string(words.size()) + " words");
    if (columns == 0) {
      columns = words.size();
      columns_line = number;
    } else if (words.size() != columns) {
      fail_at(number, std::to_string(words.size()) + " words, line " +
                          std::to_string(columns_line) + " has " + std::to_string(columns));
    }
    const auto [mapped, first_time] = line_of.emplace(words[0], number);
    if (!first_time)
      fail_at(number,
              "\"" + words[0] + "\" is already mapped on line " + std::to_string(mapped->second));
    const auto [sample, new_sample] = index_of.emplace(words[1], map.samples.size());
    if (new_sample) {
      map.samples.push_back(words[1]);
      sample_line.push_back(number);
      if (columns == 3) map.groups.push_back(words[2]);
    } else if (columns == 3 && map.groups[sample->second] != words[2]) {
      fail_at(number, "sample \"" + words[1] + "\" is in group \"" + map.groups[sample->second] +
                          "\" on line " + std::to_string(sample_line[sample->second]));
    }
    map.sample_of.emplace(words[0], sample->second);
  }
  if (map.samples.empty()) throw FormatError("no individual listed");
  return map;
}

std::string project_name(const std::string& name) {
  static constexpr std::string_view kUnsafe = "\"'#{}[]";
  std::string safe = name.empty() ? "_" : name;
  for (char& c : safe)
    if (c <= ' ' || c >= 127 || kUnsafe.find(c) != std::string_view::npos) c = '_';
  return safe;
}

SampleAssigner::SampleAssigner(ms2qnp::SampleSet& set, const PopMap* map) : set_(set), map_(map) {
  if (map_ != nullptr)
    for (const std::string& name : map_->samples) set_.add_sample(name);
}

std::size_t SampleAssigner::sample_of(const std::string& individual, const std::string& key,
                                      const std::string& name) {
  if (map_ != nullptr) {
    const auto found = map_->sample_of.find(individual);
    if (found == map_->sample_of.end()) {
      ++skipped_;
      return kSkipped;
    }
    seen_.insert(individual);
    return found->second;
  }
  const auto [entry, inserted] = by_key_.emplace(key, set_.samples.size());
  if (inserted) set_.add_sample(name);
  return entry->second;
}

std::size_t SampleAssigner::unused_map_entries() const {
  return map_ == nullptr ? 0 : map_->sample_of.size() - seen_.size();
}

void SampleAssigner::finish(const std::vector<int>& group_sizes) {
  const bool map_groups = map_ != nullptr && !map_->groups.empty();
  if (map_groups && !group_sizes.empty())
    throw FormatError("--groups and a group column in the population map: give only one");
  const std::vector<std::size_t> former = set_.drop_empty_samples();
  if (set_.samples.empty())
    throw FormatError(map_ != nullptr ? "no individual of the input is in the population map"
                                      : "no individual to write");
  std::unordered_set<std::string> used;
  for (ms2qnp::Sample& sample : set_.samples) {
    const std::string base = project_name(sample.name);
    sample.name = base;
    for (int suffix = 2; !used.insert(sample.name).second; ++suffix)
      sample.name = base + "_" + std::to_string(suffix);
  }
  if (map_groups) {
    std::unordered_map<std::string, std::size_t> group_index;
    for (std::size_t s = 0; s < set_.samples.size(); ++s) {
      const auto [group, inserted] =
          group_index.emplace(map_->groups[former[s]], set_.groups.size());
      if (inserted) set_.groups.emplace_back();
      set_.groups[group->second].push_back(s);
    }
  } else if (!group_sizes.empty()) {
    set_.groups = ms2qnp::consecutive_groups(group_sizes, set_.samples.size());
  }
}

}  // namespace convert
