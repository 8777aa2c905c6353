// Placeholder for the allelic content check of one haplotype, until the full
// version lands: keeps the characters of the data type, rejects anything else.
#include <cctype>

#include "model/haplotypes.h"

int HaploDef::read_data(my_string& text, ProfileSettings& prof) {
  const TDataType type = ProfileSettings::DataType;
  if (type == FREQUENCY) {
    content.clear();
    return 1;
  }
  if (type == STANDARD) {
    content = text.str();
    return 1;
  }
  std::string kept;
  for (char c : text.str()) {
    if (c == ' ' || c == '\n') continue;
    const unsigned char u = static_cast<unsigned char>(c);
    bool ok = c == '-' || c == ProfileSettings::LocusSeparator || c == prof.MissingData;
    if (type == DNA) ok = ok || std::isalpha(u) || (c >= '0' && c <= '3');
    if (type == RFLP) ok = ok || c == '0' || c == '1';
    if (type == MICROSAT) ok = ok || std::isdigit(u);
    if (!ok) return 0;
    kept += c;
  }
  if (kept.empty()) return 0;
  content = kept;
  return 1;
}
