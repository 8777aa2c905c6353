// Allelic content rules per data type: which bytes a haplotype's content may
// hold, which are dropped, and which reject it with the data type's error.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "model/haplotypes.h"
#include "project/project_test_util.h"

namespace {

class HaploContent : public qnd_reader_test::ProjectFileTest {
 protected:
  // Checks text for data type t with separator sep and missing character '?'.
  int check(TDataType t, char sep, const std::string& text) {
    ProfileSettings::DataType = t;
    ProfileSettings::LocusSeparator = sep;
    ProfileSettings prof;
    my_string input;
    input.assign_unbounded(std::string(text));
    return h_.read_data(input, prof);
  }
  HaploDef h_{"h"};
};

TEST_F(HaploContent, DnaKeepsLettersGapsLowDigitsAndMissing) {
  ASSERT_EQ(check(DNA, '\0', "ACgt-?N0123"), 1);
  EXPECT_EQ(h_.content, "ACgt-?N0123");
  ASSERT_EQ(check(DNA, '\0', "AC GT\n  "), 1);
  EXPECT_EQ(h_.content, "ACGT");
  ASSERT_EQ(check(DNA, '\0', "ACG#TTT*"), 1);  // the comment mark ends the content
  EXPECT_EQ(h_.content, "ACG");
  EXPECT_FALSE(logged(26));
}

TEST_F(HaploContent, DnaRejectsOtherBytesAndEmptyContent) {
  ASSERT_EQ(check(DNA, '\0', "ACGT"), 1);
  EXPECT_EQ(check(DNA, '\0', "AC4T"), 0);  // digits above 3 are no DNA code
  EXPECT_EQ(h_.content, "ACGT");           // a rejected content leaves the old one
  EXPECT_EQ(check(DNA, '\0', "AC*T"), 0);
  EXPECT_EQ(check(DNA, '\0', "AC\tT"), 0);
  EXPECT_EQ(check(DNA, '\0', "   "), 0);
  EXPECT_EQ(check(DNA, '\0', ""), 0);
  EXPECT_EQ(count_logged(26), 5);
}

TEST_F(HaploContent, RflpAcceptsOnlyBinaryStates) {
  ASSERT_EQ(check(RFLP, '\0', "0101-?"), 1);
  EXPECT_EQ(h_.content, "0101-?");
  EXPECT_EQ(check(RFLP, '\0', "0121"), 0);
  EXPECT_EQ(check(RFLP, '\0', "01a"), 0);
  EXPECT_EQ(count_logged(25), 2);
}

TEST_F(HaploContent, MicrosatKeepsDigitsAndSeparator) {
  ASSERT_EQ(check(MICROSAT, ':', ":120:134:?"), 1);
  EXPECT_EQ(h_.content, ":120:134:?");
  // A blank separator marks locus boundaries and is kept; trailing ones go.
  ASSERT_EQ(check(MICROSAT, ' ', " 120 134  "), 1);
  EXPECT_EQ(h_.content, " 120 134");
  // Without a blank separator, blanks are dropped.
  ASSERT_EQ(check(MICROSAT, ':', ":12 :14"), 1);
  EXPECT_EQ(h_.content, ":12:14");
  EXPECT_EQ(check(MICROSAT, ':', ":12:1a"), 0);
  EXPECT_EQ(check(MICROSAT, ':', ":12:-4"), 0);
  EXPECT_EQ(count_logged(27), 2);
}

TEST_F(HaploContent, StandardKeepsEverythingButTrailingBlanks) {
  ASSERT_EQ(check(STANDARD, ' ', " a* b#c\t "), 1);
  EXPECT_EQ(h_.content, " a* b#c");
}

TEST_F(HaploContent, FrequencyDataHaveNoContent) {
  h_.content = "old";
  ASSERT_EQ(check(FREQUENCY, '\0', "anything at all *"), 1);
  EXPECT_EQ(h_.content, "");
}

// The content rule written out the long way, one byte at a time: the
// separator and the missing-data character are kept first, then the data
// type's alphabet; blanks and line feeds are dropped, '#' ends the content and
// anything else rejects it.
enum class Expected { kKeep, kSkip, kStop, kReject };

Expected naive_rule(TDataType t, unsigned char c, char sep, char missing) {
  if ((sep != '\0' && c == static_cast<unsigned char>(sep)) ||
      c == static_cast<unsigned char>(missing))
    return Expected::kKeep;
  const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  const bool digit = c >= '0' && c <= '9';
  if (t == DNA && (letter || c == '-' || (c >= '0' && c <= '3'))) return Expected::kKeep;
  if (t == RFLP && (c == '0' || c == '1' || c == '-')) return Expected::kKeep;
  if (t == MICROSAT && digit) return Expected::kKeep;
  if (c == ' ' || c == '\n') return Expected::kSkip;
  if (c == '#') return Expected::kStop;
  return Expected::kReject;
}

int error_number(TDataType t) { return t == DNA ? 26 : t == RFLP ? 25 : 27; }

class HaploContentEveryByte : public HaploContent {
 protected:
  // Puts byte c between two kept bytes (and once at the end, where a kept blank
  // is trimmed) and compares read_data with the naive rule.
  void check_every_byte(TDataType t, char sep, char missing) {
    const std::string base = t == DNA ? "A" : t == RFLP ? "0" : "1";
    for (int value = 0; value < 256; ++value) {
      const auto c = static_cast<unsigned char>(value);
      const std::string byte(1, static_cast<char>(c));
      ProfileSettings::DataType = t;
      ProfileSettings::LocusSeparator = sep;
      ProfileSettings prof;
      prof.MissingData = missing;
      const int before = count_logged(error_number(t));
      h_.content = "old";
      const int inside = h_.read_data(std::string_view(base + byte + base), prof);
      const std::string inside_content = h_.content;
      h_.content = "old";
      const int at_end = h_.read_data(std::string_view(base + byte), prof);
      const std::string end_content = h_.content;
      const std::string where = "type " + std::to_string(t) + " byte " + std::to_string(value);
      switch (naive_rule(t, c, sep, missing)) {
        case Expected::kKeep: {
          const bool trimmed = c == ' ' || c == '\t';
          EXPECT_EQ(inside, 1) << where;
          EXPECT_EQ(inside_content, base + byte + base) << where;
          EXPECT_EQ(at_end, 1) << where;
          EXPECT_EQ(end_content, trimmed ? base : base + byte) << where;
          break;
        }
        case Expected::kSkip:
          EXPECT_EQ(inside, 1) << where;
          EXPECT_EQ(inside_content, base + base) << where;
          EXPECT_EQ(end_content, base) << where;
          break;
        case Expected::kStop:
          EXPECT_EQ(inside, 1) << where;
          EXPECT_EQ(inside_content, base) << where;
          EXPECT_EQ(end_content, base) << where;
          break;
        case Expected::kReject:
          EXPECT_EQ(inside, 0) << where;
          EXPECT_EQ(at_end, 0) << where;
          EXPECT_EQ(end_content, "old") << where;  // a rejected content leaves the old one
          EXPECT_EQ(count_logged(error_number(t)), before + 2) << where;
          break;
      }
    }
  }
};

TEST_F(HaploContentEveryByte, DnaWithoutSeparator) { check_every_byte(DNA, '\0', '?'); }
TEST_F(HaploContentEveryByte, DnaWithBlankMissingCharacter) { check_every_byte(DNA, '\0', ' '); }
TEST_F(HaploContentEveryByte, RflpWithColonSeparator) { check_every_byte(RFLP, ':', '?'); }
TEST_F(HaploContentEveryByte, RflpWithByteAbove127AsMissing) {
  check_every_byte(RFLP, '\0', static_cast<char>(0xE9));
}
TEST_F(HaploContentEveryByte, MicrosatWithBlankSeparator) { check_every_byte(MICROSAT, ' ', '?'); }
TEST_F(HaploContentEveryByte, MicrosatWithTabSeparatorAndNulMissing) {
  check_every_byte(MICROSAT, '\t', '\0');
}

TEST_F(HaploContent, LongDnaContentIsCheckedToItsEnd) {
  // Bytes to drop or reject far into a long sequence, past any block boundary.
  std::string sequence(100003, 'a');
  sequence[99999] = ' ';
  ASSERT_EQ(check(DNA, '\0', sequence), 1);
  EXPECT_EQ(h_.content, std::string(100002, 'a'));
  sequence[100002] = '*';
  EXPECT_EQ(check(DNA, '\0', sequence), 0);
  EXPECT_EQ(count_logged(26), 1);
}

}  // namespace
