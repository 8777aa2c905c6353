// Checking and storing a haplotype's allelic content for the project's data
// type. Each molecular data type accepts its own alphabet plus the locus
// separator and the missing-data character; blanks and line feeds are dropped,
// a '#' ends the content, and any other byte rejects it. Standard data are kept
// as written; frequency data carry no content at all.
#include <cstdint>
#include <string>
#include <string_view>

#include "base/errors.h"
#include "globals.h"
#include "model/haplotypes.h"
#include "text/byte_table.h"

namespace {

// What the alphabet of a molecular data type does with one byte. kKeep is 0 so
// that a run of kept bytes is skipped by one table scan.
enum CharRule : std::uint8_t { kKeep = 0, kSkip = 1, kStop = 2, kReject = 3 };

constexpr bool is_letter(int c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
constexpr bool is_digit(int c) { return c >= '0' && c <= '9'; }

// The rule of a data type's own alphabet, before the separator and the
// missing-data character are added: DNA keeps letters, '-' and the digits 0 to
// 3; RFLP keeps '0', '1' and '-'; microsatellites keep digits. Blanks and line
// feeds are dropped, '#' ends the content, anything else rejects it.
constexpr qnd_text::ByteTable alphabet_rules(TDataType type) {
  qnd_text::ByteTable rules{};
  for (int c = 0; c < 256; ++c) {
    bool keep = false;
    switch (type) {
      case DNA:
        keep = is_letter(c) || c == '-' || (c >= '0' && c <= '3');
        break;
      case RFLP:
        keep = c == '0' || c == '1' || c == '-';
        break;
      default:  // MICROSAT
        keep = is_digit(c);
        break;
    }
    CharRule rule = kReject;
    if (keep) {
      rule = kKeep;
    } else if (c == ' ' || c == '\n') {
      rule = kSkip;
    } else if (c == '#') {
      rule = kStop;
    }
    rules[static_cast<size_t>(c)] = rule;
  }
  return rules;
}

constexpr qnd_text::ByteTable kDnaRules = alphabet_rules(DNA);
constexpr qnd_text::ByteTable kRflpRules = alphabet_rules(RFLP);
constexpr qnd_text::ByteTable kMicrosatRules = alphabet_rules(MICROSAT);

// The full table of a content check. The separator and the missing-data
// character are kept whatever the alphabet says, so a blank separator is kept
// (it marks locus boundaries) rather than dropped as a blank.
qnd_text::ByteTable content_rules(TDataType type, char separator, char missing) {
  qnd_text::ByteTable rules = type == DNA ? kDnaRules : type == RFLP ? kRflpRules : kMicrosatRules;
  if (separator != '\0') rules[static_cast<unsigned char>(separator)] = kKeep;
  rules[static_cast<unsigned char>(missing)] = kKeep;
  return rules;
}

// The end of the run of kept bytes that starts at from. Sequences are long runs
// of letters, which DNA keeps: those are skipped eight bytes at a time, and
// only the other bytes are looked up in the table.
size_t kept_run_end(std::string_view text, const qnd_text::ByteTable& rules, bool dna,
                    size_t from) {
  if (!dna) return qnd_text::find_marked(text, rules, from);
  size_t at = qnd_text::find_non_letter(text, from);
  while (at < text.size() && qnd_text::class_of(rules, text[at]) == kKeep)
    at = qnd_text::find_non_letter(text, at + 1);
  return at;
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

  const qnd_text::ByteTable rules =
      content_rules(type, ProfileSettings::LocusSeparator, prof.MissingData);
  std::string kept;
  kept.reserve(text.size());
  // Runs of kept bytes are copied whole; only the bytes between them are
  // looked at one by one.
  size_t i = 0;
  while (i < text.size()) {
    const size_t run_end = kept_run_end(text, rules, type == DNA, i);
    kept.append(text.data() + i, run_end - i);
    if (run_end == text.size()) break;
    const std::uint8_t rule = qnd_text::class_of(rules, text[run_end]);
    if (rule == kStop) break;
    if (rule == kReject) {
      report_rejection(type);
      return 0;
    }
    i = run_end + 1;  // kSkip
  }
  trim_trailing_blanks(kept);
  if (kept.empty()) {
    report_rejection(type);
    return 0;
  }
  content = std::move(kept);
  return 1;
}
