// Reading Genepop genotypes.
#include "convert/genepop.h"

#include <sstream>
#include <vector>

namespace convert {

using ms2qnp::FormatError;

namespace {

[[noreturn]] void fail_at(int line, const std::string& what) {
  throw FormatError("line " + std::to_string(line) + ": " + what);
}

std::string trimmed(const std::string& text) {
  const std::size_t begin = text.find_first_not_of(" \t\r");
  if (begin == std::string::npos) return "";
  return text.substr(begin, text.find_last_not_of(" \t\r") - begin + 1);
}

std::vector<std::string> words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> result;
  for (std::string word; in >> word;) result.push_back(word);
  return result;
}

// "Pop" (any case) as the first word of a line without a comma.
bool is_pop_line(const std::string& line) {
  if (line.find(',') != std::string::npos) return false;
  const std::vector<std::string> w = words(line);
  if (w.empty() || w[0].size() != 3) return false;
  return (w[0][0] | 0x20) == 'p' && (w[0][1] | 0x20) == 'o' && (w[0][2] | 0x20) == 'p';
}

bool all_zeros(const std::string& text) { return text.find_first_not_of('0') == std::string::npos; }

struct Entry {
  int line = 0;
  std::string name;
  std::size_t section = 0;
  std::vector<std::string> genotypes;
};

struct Layout {
  bool diploid = true;
  std::size_t width = 2;  // digits per allele
};

// The digits per genotype, fixed by the first genotype that is not missing.
Layout find_layout(const std::vector<Entry>& entries) {
  Layout layout;
  const std::string* first = nullptr;
  int first_line = 0;
  for (const Entry& entry : entries) {
    for (const std::string& g : entry.genotypes) {
      if (g.find_first_not_of("0123456789") != std::string::npos)
        fail_at(entry.line, "genotype \"" + g + "\" of \"" + entry.name + "\" is not a number");
      if (all_zeros(g)) continue;
      if (first == nullptr) {
        if (g.size() != 2 && g.size() != 3 && g.size() != 4 && g.size() != 6)
          fail_at(entry.line, "genotype \"" + g + "\" has " + std::to_string(g.size()) +
                                  " digits: expected 2 or 3 (haploid), 4 or 6 (diploid)");
        first = &g;
        first_line = entry.line;
        layout.diploid = g.size() >= 4;
        layout.width = layout.diploid ? g.size() / 2 : g.size();
      } else if (g.size() != first->size()) {
        fail_at(entry.line, "genotype \"" + g + "\" has " + std::to_string(g.size()) +
                                " digits, \"" + *first + "\" on line " +
                                std::to_string(first_line) + " has " +
                                std::to_string(first->size()));
      }
    }
  }
  return layout;
}

// Allele `copy` (0 or 1) of every locus, separated by blanks; '?' when missing.
std::string gene_copy(const std::vector<std::string>& genotypes, const Layout& layout,
                      std::size_t copy) {
  std::string content;
  for (const std::string& g : genotypes) {
    if (!content.empty()) content += ' ';
    const std::string allele = all_zeros(g) ? "0" : g.substr(copy * layout.width, layout.width);
    if (all_zeros(allele)) {
      content += '?';
    } else {
      content += allele.substr(allele.find_first_not_of('0'));
    }
  }
  return content;
}

}  // namespace

void read_genepop(std::istream& in, SampleAssigner& assign, ms2qnp::SampleSet& set) {
  std::string line;
  if (!std::getline(in, line)) throw FormatError("empty input: no title line");
  set.title = trimmed(line);
  std::vector<std::string> loci;
  std::vector<Entry> entries;
  std::vector<int> pop_lines;  // line of each "Pop"
  std::vector<std::string> section_names;
  for (int number = 2; std::getline(in, line); ++number) {
    if (trimmed(line).empty()) continue;
    if (is_pop_line(line)) {
      if (loci.empty()) fail_at(number, "no locus name before the first \"Pop\" line");
      if (!pop_lines.empty() && section_names.size() < pop_lines.size())
        fail_at(pop_lines.back(), "\"Pop\" section without individuals");
      pop_lines.push_back(number);
      continue;
    }
    if (pop_lines.empty()) {
      std::istringstream names(line);
      for (std::string name; std::getline(names, name, ',');)
        if (!trimmed(name).empty()) loci.push_back(trimmed(name));
      continue;
    }
    const std::size_t comma = line.find(',');
    if (comma == std::string::npos)
      fail_at(number, "expected \"individual, genotypes\" or \"Pop\"");
    Entry entry{number, trimmed(line.substr(0, comma)), pop_lines.size() - 1,
                words(line.substr(comma + 1))};
    if (entry.genotypes.size() != loci.size())
      fail_at(number, std::to_string(entry.genotypes.size()) + " genotypes for " +
                          std::to_string(loci.size()) + " loci");
    if (section_names.size() < pop_lines.size())
      section_names.push_back(entry.name.empty() ? "pop" + std::to_string(pop_lines.size())
                                                 : entry.name);
    entries.push_back(std::move(entry));
  }
  if (pop_lines.empty()) throw FormatError("no \"Pop\" line");
  if (section_names.size() < pop_lines.size())
    fail_at(pop_lines.back(), "\"Pop\" section without individuals");

  const Layout layout = find_layout(entries);
  set.kind = ms2qnp::DataKind::Microsat;
  set.genotypic = layout.diploid;
  set.phase_known = false;
  for (Entry& entry : entries) {
    const std::size_t sample = assign.sample_of(entry.name, "pop" + std::to_string(entry.section),
                                                section_names[entry.section]);
    if (sample == SampleAssigner::kSkipped) continue;
    if (layout.diploid) {
      set.add_individual(sample, project_name(entry.name), gene_copy(entry.genotypes, layout, 0),
                         gene_copy(entry.genotypes, layout, 1));
    } else {
      set.add_copy(sample, gene_copy(entry.genotypes, layout, 0));
    }
  }
}

}  // namespace convert
