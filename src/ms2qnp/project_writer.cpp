// Writing a sample set as a project file, and writing files atomically.
#include "ms2qnp/project_writer.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numeric>

namespace ms2qnp {

std::size_t SampleSet::add_sample(std::string name) {
  samples.push_back(Sample{std::move(name), {}, {}});
  return samples.size() - 1;
}

std::size_t SampleSet::add_content(std::string content) {
  const auto found = content_index_.find(content);
  if (found != content_index_.end()) return found->second;
  contents_.push_back(std::move(content));
  content_index_.emplace(contents_.back(), contents_.size() - 1);
  return contents_.size() - 1;
}

void SampleSet::add_copy(std::size_t sample, std::string content, int count) {
  const std::size_t index = add_content(std::move(content));
  const std::uint64_t key = (static_cast<std::uint64_t>(sample) << 32) | index;
  auto& copies = samples[sample].copies;
  const auto [position, inserted] = copy_position_.emplace(key, copies.size());
  if (inserted) {
    copies.emplace_back(index, count);
  } else {
    copies[position->second].second += count;
  }
}

void SampleSet::add_individual(std::size_t sample, std::string id, std::string first,
                               std::string second) {
  const std::size_t a = add_content(std::move(first));
  const std::size_t b = add_content(std::move(second));
  samples[sample].individuals.push_back(Individual{std::move(id), a, b});
}

std::vector<std::size_t> SampleSet::drop_empty_samples() {
  std::vector<Sample> kept;
  std::vector<std::size_t> former;
  for (std::size_t s = 0; s < samples.size(); ++s) {
    if (samples[s].empty()) continue;
    kept.push_back(std::move(samples[s]));
    former.push_back(s);
  }
  samples = std::move(kept);
  copy_position_.clear();
  return former;
}

namespace {

int sample_size(const Sample& sample) {
  if (!sample.individuals.empty()) return static_cast<int>(sample.individuals.size());
  int size = 0;
  for (const auto& copy : sample.copies) size += copy.second;
  return size;
}

void write_profile(std::ostream& out, const SampleSet& set) {
  static constexpr const char* kTypes[] = {"DNA", "RFLP", "MICROSAT"};
  out << "[Profile]\n  Title=\"" << set.title << "\"\n  NbSamples=" << set.samples.size()
      << "\n  DataType=" << kTypes[static_cast<int>(set.kind)]
      << "\n  GenotypicData=" << (set.genotypic ? 1 : 0) << "\n";
  if (set.genotypic) out << "  GameticPhase=" << (set.phase_known ? 1 : 0) << "\n";
  out << "  LocusSeparator=" << (set.kind == DataKind::Microsat ? "WHITESPACE" : "NONE")
      << "\n  MissingData='?'\n\n[Data]\n";
}

// Haploid data: the distinct gene copies once in a haplotype list, the samples
// naming them with their counts.
void write_haploid_samples(std::ostream& out, const SampleSet& set, const Heading& heading) {
  out << "  [[HaplotypeDefinition]]\n    HaplListName=\"" << heading.list_name
      << "\"\n    HaplList={\n";
  for (std::size_t h = 0; h < set.content_count(); ++h)
    out << "      h" << h + 1 << "  " << set.content(h) << "\n";
  out << "    }\n\n  [[Samples]]\n";
  for (const Sample& sample : set.samples) {
    out << "    SampleName=\"" << sample.name << "\"\n    SampleSize=" << sample_size(sample)
        << "\n    SampleData={\n";
    for (const auto& [h, count] : sample.copies) out << "      h" << h + 1 << "  " << count << "\n";
    out << "    }\n";
  }
}

// Diploid data: two lines per individual, the second holding only the other gene copy.
void write_diploid_samples(std::ostream& out, const SampleSet& set) {
  out << "  [[Samples]]\n";
  for (const Sample& sample : set.samples) {
    out << "    SampleName=\"" << sample.name << "\"\n    SampleSize=" << sample_size(sample)
        << "\n    SampleData={\n";
    for (const Individual& ind : sample.individuals) {
      out << "      " << ind.id << "  1  " << set.content(ind.first) << "\n"
          << std::string(ind.id.size() + 11, ' ') << set.content(ind.second) << "\n";
    }
    out << "    }\n";
  }
}

}  // namespace

void write_project(std::ostream& out, const SampleSet& set, const Heading& heading) {
  out << heading.comment;
  write_profile(out, set);
  if (set.genotypic) {
    write_diploid_samples(out, set);
  } else {
    write_haploid_samples(out, set, heading);
  }
  if (set.groups.empty()) return;
  out << "\n  [[Structure]]\n    StructureName=\"groups\"\n    NbGroups=" << set.groups.size()
      << "\n";
  for (const auto& group : set.groups) {
    out << "    Group={\n";
    for (const std::size_t s : group) out << "      \"" << set.samples[s].name << "\"\n";
    out << "    }\n";
  }
}

std::vector<std::vector<std::size_t>> consecutive_groups(const std::vector<int>& sizes,
                                                         std::size_t samples) {
  const long total = std::accumulate(sizes.begin(), sizes.end(), 0L);
  if (total != static_cast<long>(samples))
    throw FormatError("the groups hold " + std::to_string(total) + " samples, the data " +
                      std::to_string(samples));
  std::vector<std::vector<std::size_t>> groups;
  std::size_t next = 0;
  for (const int size : sizes) {
    groups.emplace_back();
    for (int i = 0; i < size; ++i) groups.back().push_back(next++);
  }
  return groups;
}

void write_file_atomically(const std::string& path,
                           const std::function<void(std::ostream&)>& write) {
  // The same directory keeps the rename atomic; the process id keeps two
  // writers of one file apart.
  const std::string temporary = path + ".tmp" + std::to_string(::getpid());
  bool written = false;
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    try {
      if (out) {
        write(out);
        written = static_cast<bool>(out.flush());
      }
    } catch (...) {
      out.close();
      std::remove(temporary.c_str());
      throw;
    }
  }
  std::error_code ec;
  if (written) std::filesystem::rename(temporary, path, ec);
  if (!written || ec) {
    std::remove(temporary.c_str());
    throw std::runtime_error("cannot write " + path);
  }
}

}  // namespace ms2qnp
