// Haplotype list block of a [[HaplotypeDefinition]] sub-section.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "model/haplotypes.h"
#include "project/log_capture.h"

namespace {

using qnd_project_test::DataTypeScope;
using qnd_project_test::LogCapture;

constexpr const char* kContext = "Haplo_DB::NewReadHaplotypeList()";

struct ListRead {
  int result = 0;
  int lineNo = 0;
  std::string rest;  // the first line left in the stream after reading
};

ListRead read_list(Haplo_DB& db, const std::string& text, bool external = false,
                   int firstLine = 0) {
  std::istringstream in(text);
  ProfileSettings prof;
  ListRead r;
  r.lineNo = firstLine;
  r.result = db.NewReadHaplotypeList(in, prof, external, r.lineNo);
  std::getline(in, r.rest);
  return r;
}

TEST(HaplotypeListReader, ReadsDnaListUpToClosingBrace) {
  DataTypeScope dna(DNA, '\0');
  LogCapture log;
  Haplo_DB db;
  const ListRead r = read_list(db,
                               "h1 ACGT\n"
                               "h2\tAC  GA\n"  // blanks and tabs between pieces of a sequence
                               "h3 ACTT }\n"
                               "[[Samples]]\n");
  ASSERT_EQ(r.result, 1);
  ASSERT_EQ(db.size(), 3);
  EXPECT_EQ(db[0]->name, "h1");
  EXPECT_EQ(db[0]->content, "ACGT");
  EXPECT_EQ(db[1]->content, "ACGA");
  EXPECT_EQ(db[2]->name, "h3");
  EXPECT_EQ(db[2]->content, "ACTT");
  EXPECT_EQ(db.find_by_name("h2"), db[1]);
  EXPECT_EQ(r.lineNo, 3);
  EXPECT_EQ(r.rest, "[[Samples]]");  // the line after '}' is left for the caller
  EXPECT_FALSE(log.has_kind("ERROR"));
}

TEST(HaplotypeListReader, SkipsCommentsAndBlankLinesAndCountsEveryLine) {
  DataTypeScope dna(DNA, '\0');
  LogCapture log;
  Haplo_DB db;
  const ListRead r = read_list(db,
                               "# list of the haplotypes\n"
                               "\n"
                               "   \t\n"
                               "h1 ACGT # first one\n"
                               "h2 ACGA\r\n"  // a CR LF line end
                               "}\n",
                               false, 40);
  ASSERT_EQ(r.result, 1);
  ASSERT_EQ(db.size(), 2);
  EXPECT_EQ(db[0]->content, "ACGT");
  EXPECT_EQ(db[1]->content, "ACGA");
  EXPECT_EQ(r.lineNo, 46);
}

TEST(HaplotypeListReader, FrequencyDataNeedNoContent) {
  DataTypeScope freq(FREQUENCY, ' ');
  LogCapture log;
  Haplo_DB db;
  const ListRead r = read_list(db, "a1\na2\n}\n");
  ASSERT_EQ(r.result, 1);
  ASSERT_EQ(db.size(), 2);
  EXPECT_EQ(db[1]->name, "a2");
  EXPECT_TRUE(db[1]->content.empty());
}

TEST(HaplotypeListReader, ReadsAMillionBasePairSequenceOnOneLine) {
  DataTypeScope dna(DNA, '\0');
  LogCapture log;
  std::string sequence;
  sequence.reserve(1000000);
  const char bases[] = {'A', 'C', 'G', 'T'};
  for (int i = 0; i < 1000000; ++i) sequence += bases[(i * 7 + i / 3) % 4];
  Haplo_DB db;
  const ListRead r = read_list(db, "long " + sequence + "\nshort_no " + sequence + "\n}\n");
  ASSERT_EQ(r.result, 1);
  ASSERT_EQ(db.size(), 2);
  EXPECT_EQ(db[0]->content.size(), 1000000u);
  EXPECT_EQ(db[0]->content, sequence);
  EXPECT_EQ(db[1]->content, sequence);
}

// Each faulty list: the data type, the text, the log text, the error number
// and how many haplotypes were kept before the reading stopped.
TEST(HaplotypeListErrors, TextNumberAndKeptHaplotypesOfEachCase) {
  struct Case {
    TDataType type;
    const char* text;
    int first_line;
    const char* log;
    int number;
    int kept;
  };
  const Case cases[] = {
      {DNA, "h1 ACGT\nh2 ACGA\nh1 ACGT\n}\n", 10,
       "\tHaplotype \"h1\" listed on line 13 is already defined previously, aborting reading "
       "procedure...",
       31, 2},
      {DNA, "h1 ACGT\nh2 ACG\n}\n", 0,
       "\tNumber of loci for haplotype \"h2\" is different (3) from that previously defined (4) "
       "on line 2",
       69, 1},
      // Loci are counted as tokens: 3 on the first line, 2 on the third.
      {MICROSAT, "m1 120 122 130\nm2 118 122 131\nm3 120 124\n}\n", 0,
       "\tNumber of loci for haplotype \"m3\" is different (2) from that previously defined (3) "
       "on line 3",
       69, 2},
      {DNA, "h1 ACGT\nh2\n}\n", 0,
       "\tHaplotype \"h2\" listed on line 2 is undefined. Aborting reading project.", 63, 1},
      {RFLP, "r1 0110\nr2 0x10\n}\n", 0,
       "\tUnable to read haplotype definition on line 2, aborting reading procedure", 33, 1},
      {DNA, "h1 ACGT\nh2 ACGA\n", 0,
       "\tMissing closing brace in Haplotype definition list, aborting reading procedure", 194, 2},
      // Nothing after the section header is taken.
      {DNA, "h1 ACGT\n[[Samples]]\nh2 ACGA\n}\n", 0,
       "\tMissing closing brace in Haplotype definition list, aborting reading procedure", 194, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    DataTypeScope scope(c.type, c.type == MICROSAT ? ' ' : '\0');
    LogCapture log;
    Haplo_DB db;
    const ListRead r = read_list(db, c.text, false, c.first_line);
    EXPECT_EQ(r.result, 0);
    EXPECT_TRUE(log.contains(c.log)) << log.text();
    EXPECT_TRUE(log.has_numbered("ERROR", kContext, c.number));
    EXPECT_EQ(db.size(), c.kept);
  }
}

TEST(HaplotypeListErrors, FailedStreamIsRefused) {
  LogCapture log;
  Haplo_DB db;
  std::istringstream in("h1 ACGT\n}\n");
  in.setstate(std::ios::failbit);
  ProfileSettings prof;
  int lineNo = 0;
  EXPECT_EQ(db.NewReadHaplotypeList(in, prof, false, lineNo), 0);
  EXPECT_EQ(log.text(), "\tUnable to read haplotype list, aborting reading procedure");
  EXPECT_EQ(db.size(), 0);
}

TEST(HaplotypeListClosingBrace, ExternalListMayEndWithItsFile) {
  DataTypeScope dna(DNA, '\0');
  LogCapture log;
  Haplo_DB db;
  const ListRead r = read_list(db, "h1 ACGT\nh2 ACGA", true);  // no line end after the last line
  EXPECT_EQ(r.result, 1);
  ASSERT_EQ(db.size(), 2);
  EXPECT_EQ(db[1]->content, "ACGA");
  EXPECT_EQ(r.lineNo, 2);
  EXPECT_FALSE(log.has_kind("ERROR"));
}

TEST(HaplotypeListClosingBrace, BraceAloneEndsAtOnce) {
  DataTypeScope dna(DNA, '\0');
  LogCapture log;
  Haplo_DB db;
  const ListRead r = read_list(db, "}\nh1 ACGT\n");
  EXPECT_EQ(r.result, 1);
  EXPECT_EQ(db.size(), 0);
  EXPECT_EQ(r.rest, "h1 ACGT");
}

}  // namespace
