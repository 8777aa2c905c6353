// The [[Structure]] section: groups of samples.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "cli/temp_dir.h"
#include "model/samples.h"
#include "model/structure.h"
#include "project/log_capture.h"

namespace {

using qnd_project_test::LogCapture;

constexpr const char* kContext = "Structure::NewReadStructure";

void add_samples(Samples& samples, const std::vector<std::string>& names) {
  for (const std::string& n : names) {
    auto* p = new Population();
    p->name = n.c_str();
    p->index = samples.size();
    samples.pops.Add(p);
  }
}

struct StructureRead {
  int result = 0;
  int lineNo = 0;
  std::string line;  // the line the reader returned
  std::string rest;  // the first line left in the file
  bool stopped = false;  // the reader ended the reading of the stream
  bool sawName = false, sawNbGroups = false, sawIndividualLevel = false, sawGroup = false;
};

StructureRead read_structure(Structure& st, Samples& samples, const std::string& text,
                             int firstLine = 0) {
  qnd_test::TempDir dir;
  const std::string file = dir.file("structure.txt");
  qnd_test::write_file(file, text);
  std::ifstream in(file);
  ProfileSettings prof;
  StructureRead r;
  r.lineNo = firstLine;
  my_string line;
  r.result = st.NewReadStructure(in, prof, samples, r.lineNo, line, r.sawName, r.sawNbGroups,
                                 r.sawIndividualLevel, r.sawGroup);
  r.line = line.str();
  r.stopped = in.bad();
  if (!r.stopped) std::getline(in, r.rest);
  return r;
}

std::vector<std::string> group_names(const Structure& st, int g) {
  std::vector<std::string> names;
  for (const Population* p : *st.groups[static_cast<size_t>(g)]) names.push_back(p->name.str());
  return names;
}

TEST(StructureReader, ReadsGroupsOfQuotedSampleNames) {
  LogCapture log;
  Samples samples;
  add_samples(samples, {"A", "B", "C", "Pop 4", "unused"});
  Structure st;
  const StructureRead r = read_structure(st, samples,
                                         "StructureName = \"two groups\"\n"
                                         "NbGroups = 2\n"
                                         "# the groups\n"
                                         "\n"
                                         "Group = { \"A\" \"B\"\n"
                                         "   'C' }\n"
                                         "Group={\n"
                                         "\"Pop 4\"  # a name with a blank\n"
                                         "}\n",
                                         100);
  ASSERT_EQ(r.result, 1);
  EXPECT_EQ(st.name, "two groups");
  EXPECT_EQ(st.NbGroups, 2);
  EXPECT_EQ(st.NbSamples, 4);
  ASSERT_EQ(st.groups.size(), 2u);
  EXPECT_EQ(group_names(st, 0), (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(group_names(st, 1), (std::vector<std::string>{"Pop 4"}));
  EXPECT_EQ(st.group_sizes, (std::vector<int>{3, 1}));
  EXPECT_EQ(st.groups[0]->operator[](0), samples[0]);  // groups point to the samples
  EXPECT_TRUE(st.has_population(samples[3]));
  EXPECT_FALSE(st.has_population(samples[4]));
  EXPECT_EQ(r.lineNo, 109);
  EXPECT_TRUE(r.sawName);
  EXPECT_TRUE(r.sawNbGroups);
  EXPECT_TRUE(r.sawGroup);
  EXPECT_FALSE(r.sawIndividualLevel);
  EXPECT_FALSE(log.has_kind("ERROR"));
  EXPECT_FALSE(log.has_kind("WARNING"));
}

TEST(StructureReader, NumberOfGroupsIsTruncated) {
  LogCapture log;
  Samples samples;
  add_samples(samples, {"A", "B"});
  Structure st;
  const StructureRead r =
      read_structure(st, samples, "NbGroups = 2.9\nGroup = {\"A\"}\nGroup = {\"B\"}\n");
  ASSERT_EQ(r.result, 1);
  EXPECT_EQ(st.NbGroups, 2);
}

TEST(StructureReader, NoGroupsIsValidWhenNoneAreDeclared) {
  LogCapture log;
  Samples samples;
  add_samples(samples, {"A"});
  Structure st;
  const StructureRead r = read_structure(st, samples, "StructureName = \"none\"\nNbGroups = 0\n");
  ASSERT_EQ(r.result, 1);
  EXPECT_EQ(st.NbGroups, 0);
  EXPECT_FALSE(r.sawGroup);
}

TEST(StructureReader, MantelLineStopsTheStructure) {
  LogCapture log;
  Samples samples;
  add_samples(samples, {"A", "B"});
  Structure st;
  const StructureRead r = read_structure(st, samples,
                                         "NbGroups = 1\n"
                                         "Group = { \"A\" }\n"
                                         "[[Mantel]]\n"
                                         "Group = { \"B\" }\n");
  ASSERT_EQ(r.result, 1);
  EXPECT_EQ(r.line, "[[Mantel]]");
  EXPECT_EQ(r.lineNo, 3);
  EXPECT_EQ(r.rest, "Group = { \"B\" }");  // left for the caller
  EXPECT_EQ(st.NbSamples, 1);
}

TEST(StructureReader, ReadsSectionsLongerThanTenThousandLines) {
  LogCapture log;
  Samples samples;
  add_samples(samples, {"A", "B"});
  std::string text = "NbGroups = 2\nGroup = { \"A\" }\n";
  for (int i = 0; i < 12000; ++i) text += i % 2 ? "# filler\n" : "\n";
  text += "Group = { \"B\" }\n";
  Structure st;
  const StructureRead r = read_structure(st, samples, text);
  ASSERT_EQ(r.result, 1);
  EXPECT_EQ(st.NbSamples, 2);
  EXPECT_EQ(r.lineNo, 12003);
}

TEST(StructureReader, LineNumbersOfLateErrorsCountEveryLine) {
  LogCapture log;
  Samples samples;
  add_samples(samples, {"A"});
  std::string text = "NbGroups = 1\n";
  for (int i = 0; i < 10500; ++i) text += "\n";
  text += "Group = { \"Z\" }\n";
  Structure st;
  const StructureRead r = read_structure(st, samples, text);
  EXPECT_EQ(r.result, 0);
  EXPECT_TRUE(log.contains("defined in Group #1 on line 10502 has not been defined"));
}

TEST(StructureReader, ObsoleteKeywordsWarnAndReadingGoesOn) {
  LogCapture log;
  Samples samples;
  add_samples(samples, {"A"});
  Structure st;
  const StructureRead r = read_structure(st, samples,
                                         "DistMatLabel = 1\n"
                                         "IndividualLevel = 1\n"
                                         "NbGroups = 1\n"
                                         "Group = { \"A\" }\n");
  ASSERT_EQ(r.result, 1);
  EXPECT_TRUE(log.contains("\tWarning: Keyword \"DistMatLabel\" is obsolete. Skipping keyword."));
  EXPECT_TRUE(
      log.contains("\tWarning: Keyword \"IndividualLevel\" defined on line 2 is obsolete. "
                   "Activation of this option is now made through the interface."));
  EXPECT_TRUE(r.sawIndividualLevel);
  EXPECT_EQ(st.NbSamples, 1);
}

TEST(StructureReader, ExternalStructureIsRefusedWithError195) {
  LogCapture log;
  Samples samples;
  add_samples(samples, {"A"});
  Structure st;
  const StructureRead r = read_structure(st, samples,
                                         "StructureName = EXTERN \"groups.txt\"\n"
                                         "NbGroups = 1\n"
                                         "Group = { \"A\" }\n");
  EXPECT_TRUE(log.has_numbered("ERROR", kContext, 195));
  EXPECT_TRUE(log.contains(
      "\tWarning: External definition of the GENETIC STRUCTURE is not possible anymore.\n"
      "\tPlease incorporate it into the project. Skipping reading of the Genetic structure."));
  EXPECT_TRUE(st.name.is_null());  // the file name is not taken as the structure's name
  EXPECT_EQ(r.result, 1);          // the groups given in the project are still read
}

TEST(StructureReader, UnquotedStructureNameWarns) {
  LogCapture log;
  Samples samples;
  add_samples(samples, {"A"});
  Structure st;
  const StructureRead r =
      read_structure(st, samples, "StructureName = plain\nNbGroups = 1\nGroup = { \"A\" }\n");
  EXPECT_EQ(r.result, 1);
  EXPECT_TRUE(log.contains("\tWarning: Bad value assigned to StructureName on line 1"));
}

// Each faulty structure: the samples A, B, C exist; the text, the log text and
// the error number (0: the message has no number).
TEST(StructureGroupErrors, TextAndNumberOfEachCase) {
  constexpr const char* kEmptyGroup =
      "\t\tError while exploring structure of Group #1. It does not contain any population "
      "sample\n\t\t\tCheck your [[Structure]] section, for unquoted sample names\n"
      "\t\tAborting reading project.";
  struct Case {
    const char* text;
    const char* log;
    int number;
  };
  const Case cases[] = {
      {"NbGroups = 2\nGroup = { \"A\" \"B\" }\nGroup = { \"C\"\n  \"B\" }\n",
       "\tError: Sample \"B\" defined in Group #2 on line 4 has been alredy included in group "
       "#1\tAborting reading project.",
       206},
      {"NbGroups = 1\nGroup = { \"A\" \"B\" \"A\" }\n",
       "\tError: Sample \"A\" defined in Group #1 on line 2 has been alredy included in group "
       "#1\tAborting reading project.",
       206},
      // Names are case-sensitive.
      {"NbGroups = 1\nGroup = { \"A\" \"a\" }\n",
       "\tError: Sample \"a\" defined in Group #1 on line 2 has not been defined in the [Samples] "
       "section.\n\tAborting reading project.",
       51},
      {"NbGroups = 1\nGroup = \"A\" }\n",
       "\tError: Missing opening brace in Group #1. Aborting reading project", 0},
      {"NbGroups = 1\nGroup = { }\n", kEmptyGroup, 0},
      {"NbGroups = 1\nGroup = { A B }\n", kEmptyGroup, 0},
      {"NbGroups = 1\nGroup = {\n}\n", kEmptyGroup, 0},
      {"Group = { \"A\" }\nNbGroups = 1\n",
       "\tError: Unexpected \"Group\" section found on line 1. Expected number of group is zero. "
       "Check that \"NbGroups\" has been previously defined. Aborting reading project.",
       49},
      {"NbGroups = 2\nGroup = { \"A\" \"B\" }\n",
       "\tInvalid number of groups defined. 2were expected, while 1 have been found!\n"
       "\tCheck your [[Structure]] section, for missing group or unquoted sample names\n"
       "\tAborting reading project.",
       47},
      {"NbGroups = 1\nGroup = { \"A\" }\nGroup = { \"B\" }\n",
       "\tInvalid number of groups defined. 1were expected, while 2 have been found!\n", 47},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    LogCapture log;
    Samples samples;
    add_samples(samples, {"A", "B", "C"});
    Structure st;
    const StructureRead r = read_structure(st, samples, c.text);
    EXPECT_EQ(r.result, 0);
    EXPECT_TRUE(r.sawGroup);
    EXPECT_TRUE(log.contains(c.log)) << log.text();
    if (c.number != 0) {
      EXPECT_TRUE(log.has_numbered("ERROR", kContext, c.number));
    }
  }
}

TEST(StructureGroupErrors, ExtraGroupIsNotKept) {
  LogCapture log;
  Samples samples;
  add_samples(samples, {"A", "B"});
  Structure st;
  const StructureRead r =
      read_structure(st, samples, "NbGroups = 1\nGroup = { \"A\" }\nGroup = { \"B\" }\n");
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(st.groups.size(), 1u);
  EXPECT_FALSE(st.has_population(samples[1]));
}

TEST(StructureGroupCount, UnreadableNbGroupsIsWarning47AndEndsReading) {
  for (const char* value : {"two", "2 groups", "-1", ""}) {
    LogCapture log;
    Samples samples;
    add_samples(samples, {"A"});
    Structure st;
    const StructureRead r =
        read_structure(st, samples, std::string("NbGroups = ") + value + "\nGroup = { \"A\" }\n");
    EXPECT_EQ(r.result, 0) << value;
    EXPECT_TRUE(r.stopped) << value;
    EXPECT_TRUE(r.sawNbGroups);
    EXPECT_TRUE(log.has_numbered("WARNING", kContext, 47)) << value;
  }
}

}  // namespace
