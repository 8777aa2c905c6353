// Checking and storing a haplotype's allelic content for the project's data
// type. Each molecular data type accepts its own alphabet plus the locus
// separator and the missing-data character; blanks and line feeds are dropped,
// a '#' ends the content, and any other byte rejects it. Standard data are kept
// as written; frequency data carry no content at all.
#include <string>
#include <string_view>

#include "driver/errors.h"
#include "globals.h"
#include "model/haplotypes.h"

namespace {

enum class CharRule { kKeep, kSkip, kStop, kReject };

bool is_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// What the alphabet of a molecular data type does with one byte. The separator
// and the missing-data character are tested first, so a blank separator is
// kept (it marks locus boundaries) rather than dropped as a blank.
CharRule classify(TDataType type, char c, char separator, char missing) {
  if ((separator != '\0' && c == separator) || c == missing) return CharRule::kKeep;
  switch (type) {
    case DNA:
      if (is_letter(c) || c == '-' || (c >= '0' && c <= '3')) return CharRule::kKeep;
      break;
    case RFLP:
      if (c == '0' || c == '1' || c == '-') return CharRule::kKeep;
      break;
    default:  // MICROSAT
      if (is_digit(c)) return CharRule::kKeep;
      break;
  }
  if (c == ' ' || c == '\n') return CharRule::kSkip;
  if (c == '#') return CharRule::kStop;
  return CharRule::kReject;
}

void trim_trailing_blanks(std::string& text) {
  size_t end = text.size();
  while (end > 0 && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
  text.resize(end);
}

// Rejection of a molecular content: the error number and the context that
// names the reader.
void report_rejection(TDataType type) {
  switch (type) {
    case DNA:
      E.error(Error, "HaploDef::read_data(", 26);
      break;
    case RFLP:
      E.error(Error, "HaploDef::read_data()", 25);
      break;
    default:
      E.error(Error, "HaploDef::read_data(", 27);
      break;
  }
}

}  // namespace

int HaploDef::read_data(my_string& text, ProfileSettings& prof) {
  return read_data(text.view(), prof);
}

int HaploDef::read_data(std::string_view text, const ProfileSettings& prof) {
  const TDataType type = ProfileSettings::DataType;
  if (type == FREQUENCY) {
    content.clear();
    return 1;
  }
  if (type != DNA && type != RFLP && type != MICROSAT) {  // STANDARD and any other value
    std::string kept(text);
    trim_trailing_blanks(kept);
    content = std::move(kept);
    return 1;
  }

  std::string kept;
  kept.reserve(text.size());
  const char separator = ProfileSettings::LocusSeparator;
  for (const char c : text) {
    const CharRule rule = classify(type, c, separator, prof.MissingData);
    if (rule == CharRule::kKeep) {
      kept.push_back(c);
    } else if (rule == CharRule::kStop) {
      break;
    } else if (rule == CharRule::kReject) {
      report_rejection(type);
      return 0;
    }
  }
  trim_trailing_blanks(kept);
  if (kept.empty()) {
    report_rejection(type);
    return 0;
  }
  content = std::move(kept);
  return 1;
}
