// Allelic content rules per data type, against the rule written out the long
// way one byte at a time: the separator and the missing-data character are
// kept first, then the data type's alphabet; blanks and line feeds are
// dropped, '#' ends the content and anything else rejects it with the data
// type's error.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "model/haplotypes.h"
#include "project/log_capture.h"

namespace {

using qnd_project_test::DataTypeScope;
using qnd_project_test::LogCapture;

enum class Expected { kKeep, kSkip, kStop, kReject };

Expected naive_rule(TDataType t, unsigned char c, char sep, char missing) {
  if ((sep != '\0' && c == static_cast<unsigned char>(sep)) ||
      c == static_cast<unsigned char>(missing))
    return Expected::kKeep;
  const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  if (t == DNA && (letter || c == '-' || (c >= '0' && c <= '3'))) return Expected::kKeep;
  if (t == RFLP && (c == '0' || c == '1' || c == '-')) return Expected::kKeep;
  if (t == MICROSAT && c >= '0' && c <= '9') return Expected::kKeep;
  if (c == ' ' || c == '\n') return Expected::kSkip;
  if (c == '#') return Expected::kStop;
  return Expected::kReject;
}

int count(const std::string& text, const std::string& piece) {
  int n = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
  return n;
}

// Each byte between two kept bytes, and once at the end (where a kept blank is
// trimmed), for data types, separators and missing-data characters that
// overlap the alphabets in different ways.
TEST(HaploContent, EveryByteFollowsTheRuleOfItsDataType) {
  struct Config {
    TDataType type;
    char sep, missing;
  };
  const Config configs[] = {{DNA, '\0', '?'},     {DNA, '\0', ' '},
                            {RFLP, ':', '?'},     {RFLP, '\0', static_cast<char>(0xE9)},
                            {MICROSAT, ' ', '?'}, {MICROSAT, '\t', '\0'}};
  for (const Config& k : configs) {
    DataTypeScope scope(k.type, k.sep);
    LogCapture log;
    const std::string error = "\" : " + E.message(k.type == DNA ? 26 : k.type == RFLP ? 25 : 27);
    const std::string base = k.type == DNA ? "A" : k.type == RFLP ? "0" : "1";
    ProfileSettings prof;
    prof.MissingData = k.missing;
    HaploDef h("h");
    for (int value = 0; value < 256; ++value) {
      const auto c = static_cast<unsigned char>(value);
      const std::string byte(1, static_cast<char>(c));
      SCOPED_TRACE("type " + std::to_string(k.type) + " byte " + std::to_string(value));
      const int before = count(log.text(), error);
      h.content = "old";
      const int inside = h.read_data(std::string_view(base + byte + base), prof);
      const std::string inside_content = h.content;
      h.content = "old";
      const int at_end = h.read_data(std::string_view(base + byte), prof);
      switch (naive_rule(k.type, c, k.sep, k.missing)) {
        case Expected::kKeep:
          EXPECT_EQ(inside + at_end, 2);
          EXPECT_EQ(inside_content, base + byte + base);
          EXPECT_EQ(h.content, c == ' ' || c == '\t' ? base : base + byte);
          break;
        case Expected::kSkip:
        case Expected::kStop:
          EXPECT_EQ(inside + at_end, 2);
          EXPECT_EQ(inside_content, c == '#' ? base : base + base);
          EXPECT_EQ(h.content, base);
          break;
        case Expected::kReject:
          EXPECT_EQ(inside + at_end, 0);
          EXPECT_EQ(h.content, "old");  // a rejected content leaves the old one
          EXPECT_EQ(count(log.text(), error), before + 2);
          break;
      }
    }
  }
}

TEST(HaploContent, LongContentIsCheckedToItsEndAndFrequenciesHaveNone) {
  DataTypeScope dna(DNA, '\0');
  LogCapture log;
  ProfileSettings prof;
  HaploDef h("h");
  // Bytes to drop or reject far into a long sequence, past any block boundary.
  std::string sequence(100003, 'a');
  sequence[99999] = ' ';
  ASSERT_EQ(h.read_data(std::string_view(sequence), prof), 1);
  EXPECT_EQ(h.content, std::string(100002, 'a'));
  sequence[100002] = '*';
  EXPECT_EQ(h.read_data(std::string_view(sequence), prof), 0);
  EXPECT_EQ(h.read_data(std::string_view(""), prof), 0);
  EXPECT_EQ(count(log.text(), "\" : " + E.message(26)), 2);
  DataTypeScope frequency(FREQUENCY, '\0');
  ASSERT_EQ(h.read_data(std::string_view("anything at all *"), prof), 1);
  EXPECT_EQ(h.content, "");
}

}  // namespace
