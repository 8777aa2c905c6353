// The pair-category table built from character classes against the category
// rule itself for all 65,536 ordered pairs, and the usable-loci report and
// per-locus missing-data file against the stream formatting they replace.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iomanip>
#include <sstream>
#include <string>

#include "betweenpop/distance_fixture.h"
#include "betweenpop/distances.h"
#include "betweenpop/haplotype_list_fixture.h"
#include "model/matrices.h"
#include "settings/settings.h"
#include "withinpop/log_capture.h"

TEST(CategoryTableCells, EveryPairMatchesTheRuleForSeveralMissingCharacters) {
  // '?' and 'x' lie outside the alphabet, '-', 'N' and '0' inside it, and NUL
  // is the first character of the other class.
  for (const char missing : {'?', '-', 'N', '0', '\0', 'x', static_cast<char>(0xFF)}) {
    const qnd_dist::CategoryTable table(missing);
    int mismatches = 0;
    for (int a = 0; a < 256; ++a)
      for (int b = 0; b < 256; ++b) {
        const char ca = static_cast<char>(a), cb = static_cast<char>(b);
        if (table(ca, cb) != qnd_dist::site_category(ca, cb, missing) && ++mismatches < 5)
          ADD_FAILURE() << "missing " << static_cast<int>(missing) << " pair " << a << "," << b;
      }
    EXPECT_EQ(mismatches, 0) << "missing " << static_cast<int>(missing);
  }
}

TEST(CategoryTableCells, NamedCellsOfTheQuestionMarkTable) {
  const qnd_dist::CategoryTable& t = qnd_dist::category_table_for('?');
  EXPECT_EQ(t('A', 'G'), qnd_dist::kTsAG);
  EXPECT_EQ(t('T', 'C'), qnd_dist::kTsCT);
  EXPECT_EQ(t('G', 'T'), qnd_dist::kTvGT);
  EXPECT_EQ(t('?', '?'), qnd_dist::kSkip);
  EXPECT_EQ(t('-', '-'), qnd_dist::kSameGap);
  EXPECT_EQ(t('C', 'C'), qnd_dist::kSameAcgt);
  EXPECT_EQ(t('x', 'x'), qnd_dist::kSameOther);  // same character outside the alphabet
  EXPECT_EQ(t('x', 'y'), qnd_dist::kNotComparable);
  // A base against missing data: left out by Tamura only.
  EXPECT_EQ(t('A', '?'), qnd_dist::kNotComparable + qnd_dist::kSkipTamura);
  // When the gap is the missing-data character, a gap against a base is an
  // indel that every corrected distance leaves out.
  EXPECT_EQ(qnd_dist::category_table_for('-')('-', 'A'),
            qnd_dist::kIndel + qnd_dist::kSkipJC + qnd_dist::kSkipKimura + qnd_dist::kSkipTamura);
}

namespace {

class UsableLociReport : public HaplotypeListFixture {
 protected:
  std::string file_text() const {
    std::ifstream in(dir_ / "MissDataPerLocus.txt");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
};

// The list as a stream with default flags writes it.
std::string stream_list(const std::vector<int>& loci) {
  std::ostringstream out;
  for (size_t i = 0; i < loci.size(); ++i) {
    out << std::setw(4) << loci[i] << ", ";
    if ((i + 1) % 15 == 0) out << '\n';
  }
  return out.str();
}

}  // namespace

TEST_F(UsableLociReport, LongListsAndFractionsAreWrittenAsTheStreamWouldWriteThem) {
  DataTypeGuard guard(DNA);
  LogCapture log;
  // 10,012 sites: locus numbers of five digits, and three missing-data levels
  // (0, 1/7 and 3/7 of the seven copies) at chosen sites.
  const size_t L = 10012;
  std::string a(L, 'A'), b(L, 'A');
  b[3] = 'G';
  for (size_t k = 9990; k < L; k += 3) a[k] = '?';  // 3 of 7 copies missing
  b[10] = '?';                                      // 4 of 7 copies missing
  b[10011] = '?';
  add("a", a);
  add("b", b);
  s_.TaskNumber = 1024;
  s_.AllowedLevelOfMissingData = 0.5;
  ASSERT_EQ(calc_haplotype_dist_matrix(list_, profile_, {3, 4}, s_, result_dir_, distmat_, 0, 0.0),
            1);
  std::ostringstream expected_file;
  expected_file << "Locus#\tFreq. missing data\n";
  std::vector<int> usable, unusable;
  for (size_t k = 0; k < L; ++k) {
    double missing = (a[k] == '?' ? 3.0 : 0.0) + (b[k] == '?' ? 4.0 : 0.0);
    expected_file << k + 1 << '\t' << missing / 7.0 << '\n';
    (missing / 7.0 <= 0.5 ? usable : unusable).push_back(static_cast<int>(k) + 1);
  }
  EXPECT_EQ(file_text(), expected_file.str());
  ASSERT_EQ(unusable.size(), 2u);  // sites 11 and 10,012
  const std::string text = log.text();
  EXPECT_NE(text.find("List of usable loci :\n" + stream_list(usable) + "\n\n"), std::string::npos);
  EXPECT_NE(text.find("too much missing data :" + stream_list(unusable) + "\n"), std::string::npos)
      << text.substr(text.size() > 400 ? text.size() - 400 : 0);
}

TEST_F(UsableLociReport, LeftAlignedLogKeepsItsOwnFormatting) {
  DataTypeGuard guard(DNA);
  LogCapture log;
  *_AOS_ << std::left;
  add("a", "ACGTA");
  add("b", "A?GTT");
  s_.TaskNumber = 1024;
  s_.AllowedLevelOfMissingData = 0.0;
  ASSERT_EQ(calc_haplotype_dist_matrix(list_, profile_, {1, 1}, s_, result_dir_, distmat_, 0, 0.0),
            1);
  *_AOS_ << std::right;
  EXPECT_NE(log.text().find("List of usable loci :\n1   , 3   , 4   , 5   , "), std::string::npos)
      << log.text();
  EXPECT_EQ(file_text(), "Locus#\tFreq. missing data\n1\t0\n2\t0.5\n3\t0\n4\t0\n5\t0\n");
}
