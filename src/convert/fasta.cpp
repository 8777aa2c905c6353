// Reading aligned FASTA sequences.
#include "convert/fasta.h"

#include <cstdio>
#include <string_view>
#include <unordered_map>

namespace convert {

using ms2qnp::FormatError;

namespace {

// Nucleotides, IUPAC ambiguity codes, gap and missing data.
constexpr std::string_view kSequenceCharacters = "ACGTRYKMSWBDHVN-?";

[[noreturn]] void fail_at(int line, const std::string& what) {
  throw FormatError("line " + std::to_string(line) + ": " + what);
}

std::string shown(char c) {
  if (c > ' ' && c < 127) return std::string("'") + c + "'";
  char hex[8];
  std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned char>(c));
  return std::string("byte ") + hex;
}

struct Sequence {
  std::string name;
  int line = 0;  // of its '>' header
  std::string sites;
};

}  // namespace

void read_fasta(std::istream& in, SampleAssigner& assign, ms2qnp::SampleSet& set) {
  set.kind = ms2qnp::DataKind::Dna;
  set.genotypic = false;
  std::unordered_map<std::string, int> header_line;
  std::string first_name;
  std::size_t site_count = 0;
  Sequence current;
  bool any = false;
  const auto store = [&]() {
    if (first_name.empty()) {
      first_name = current.name;
      site_count = current.sites.size();
    } else if (current.sites.size() != site_count) {
      fail_at(current.line, "sequence \"" + current.name + "\" has " +
                                std::to_string(current.sites.size()) + " sites, \"" + first_name +
                                "\" has " + std::to_string(site_count));
    }
    const std::string prefix = current.name.substr(0, current.name.find('_'));
    const std::size_t sample = assign.sample_of(current.name, prefix, prefix);
    if (sample != SampleAssigner::kSkipped) set.add_copy(sample, std::move(current.sites));
    current.sites.clear();
  };

  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line[0] == '>') {
      if (any) store();
      const std::size_t begin = line.find_first_not_of(" \t\r", 1);
      if (begin == std::string::npos) fail_at(number, "'>' without a sequence name");
      current.name = line.substr(begin, line.find_first_of(" \t\r", begin) - begin);
      current.line = number;
      const auto [earlier, first_time] = header_line.emplace(current.name, number);
      if (!first_time)
        fail_at(number, "sequence name \"" + current.name + "\" already used on line " +
                            std::to_string(earlier->second));
      any = true;
      continue;
    }
    for (std::size_t column = 0; column < line.size(); ++column) {
      const char c = line[column];
      if (c == ' ' || c == '\t' || c == '\r') continue;
      if (!any) fail_at(number, "sequence data before the first '>' line");
      const char base = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
      if (kSequenceCharacters.find(base) == std::string_view::npos)
        fail_at(number, "invalid character " + shown(c) + " in column " +
                            std::to_string(column + 1) + " of sequence \"" + current.name +
                            "\" (expected A, C, G, T, an IUPAC code, '-' or '?')");
      current.sites.push_back(base);
    }
  }
  if (!any) throw FormatError("no sequence: no line starts with '>'");
  store();
  if (site_count == 0) throw FormatError("the sequences hold no site");
}

}  // namespace convert
