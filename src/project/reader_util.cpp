// Helpers shared by the project-file readers.
#include "project/reader_util.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "model/profile.h"
#include "text/byte_table.h"

namespace qnd_reader {

namespace {

constexpr qnd_text::ByteTable blank_table() {
  qnd_text::ByteTable blanks{};
  blanks[static_cast<unsigned char>(' ')] = 1;
  blanks[static_cast<unsigned char>('\t')] = 1;
  return blanks;
}

constexpr qnd_text::ByteTable kBlanks = blank_table();

}  // namespace

std::vector<std::string_view> split_blanks(std::string_view text) {
  std::vector<std::string_view> tokens;
  tokens.reserve(4);  // identifier, frequency and content in one allocation
  qnd_text::ByteSetFinder blanks(text, " \t");
  size_t i = qnd_text::find_unmarked(text, kBlanks);
  while (i < text.size()) {
    const size_t end = blanks.next(i);
    tokens.push_back(text.substr(i, end - i));
    i = qnd_text::find_unmarked(text, kBlanks, end);
  }
  return tokens;
}

std::string rebuild_content(const std::vector<std::string_view>& tokens, size_t first,
                            int& num_loci) {
  std::string content;
  const bool dna = ProfileSettings::DataType == DNA;
  const char sep = ProfileSettings::LocusSeparator;
  size_t total = 0;
  for (size_t i = first; i < tokens.size(); ++i) total += tokens[i].size() + 1;
  content.reserve(total);
  int non_empty = 0;
  for (size_t i = first; i < tokens.size(); ++i) {
    if (!dna && sep != '\0') content += sep;
    content.append(tokens[i].data(), tokens[i].size());
    if (!tokens[i].empty()) ++non_empty;
  }
  num_loci = (dna || sep == '\0') ? static_cast<int>(content.size()) : non_empty;
  return content;
}

bool parse_finite_number(std::string_view token, double& value) {
  if (token.empty()) return false;
  const std::string text(token);
  char* end = nullptr;
  errno = 0;
  value = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size()) return false;
  return std::isfinite(value);
}

}  // namespace qnd_reader
