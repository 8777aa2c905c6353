// Allelic content rules per data type: which bytes a haplotype's content may
// hold, which are dropped, and which reject it with the data type's error.
#include <gtest/gtest.h>

#include <string>

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

}  // namespace
