// The project writer: diploid individuals on two lines each, haploid gene
// copies counted per sample, and files that appear only when complete.
#include "ms2qnp/project_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "driver/driver_test_util.h"

using ms2qnp::SampleSet;

TEST(ProjectWriter, DiploidIndividualsTakeTwoLinesAndGroupsNameTheirSamples) {
  SampleSet set;
  set.title = "t";
  set.kind = ms2qnp::DataKind::Microsat;
  set.genotypic = true;
  set.add_individual(set.add_sample("A"), "a1", "12 ?", "14 20");
  set.add_individual(set.add_sample("B"), "b1", "12 ?", "12 ?");
  set.groups = ms2qnp::consecutive_groups({2}, set.samples.size());
  std::ostringstream out;
  ms2qnp::write_project(out, set, ms2qnp::Heading{"# c\n"});
  EXPECT_EQ(out.str(),
            "# c\n[Profile]\n  Title=\"t\"\n  NbSamples=2\n  DataType=MICROSAT\n"
            "  GenotypicData=1\n  GameticPhase=0\n  LocusSeparator=WHITESPACE\n"
            "  MissingData='?'\n\n[Data]\n  [[Samples]]\n"
            "    SampleName=\"A\"\n    SampleSize=1\n    SampleData={\n"
            "      a1  1  12 ?\n             14 20\n    }\n"
            "    SampleName=\"B\"\n    SampleSize=1\n    SampleData={\n"
            "      b1  1  12 ?\n             12 ?\n    }\n"
            "\n  [[Structure]]\n    StructureName=\"groups\"\n    NbGroups=1\n"
            "    Group={\n      \"A\"\n      \"B\"\n    }\n");
}

TEST(ProjectWriter, HaploidCopiesAreCountedPerSampleAndEmptySamplesDropped) {
  SampleSet set;
  const std::size_t a = set.add_sample("A");
  set.add_sample("empty");
  const std::size_t c = set.add_sample("C");
  for (const char* copy : {"AC", "GT", "AC"}) set.add_copy(a, copy);
  set.add_copy(c, "GT", 3);
  EXPECT_EQ(set.drop_empty_samples(), (std::vector<std::size_t>{0, 2}));
  ASSERT_EQ(set.samples.size(), 2u);
  EXPECT_EQ(set.samples[0].copies, (std::vector<std::pair<std::size_t, int>>{{0, 2}, {1, 1}}));
  EXPECT_EQ(set.samples[1].copies, (std::vector<std::pair<std::size_t, int>>{{1, 3}}));
  EXPECT_THROW(ms2qnp::consecutive_groups({1, 2}, 2), ms2qnp::FormatError);
}

TEST(ProjectWriter, FileAppearsOnlyWhenComplete) {
  driver_test::TempDir dir(false);
  const std::string path = dir.file("out.qnp");
  ms2qnp::write_file_atomically(path, [](std::ostream& out) { out << "old"; });
  EXPECT_THROW(ms2qnp::write_file_atomically(path,
                                             [](std::ostream& out) {
                                               out << "partial";
                                               throw ms2qnp::FormatError("stop");
                                             }),
               ms2qnp::FormatError);
  EXPECT_EQ(driver_test::read_file(path), "old");
  EXPECT_EQ(driver_test::list_dir(dir.path()), std::vector<std::string>{"out.qnp"});
  EXPECT_THROW(ms2qnp::write_file_atomically(dir.file("no/such/dir.qnp"), [](std::ostream&) {}),
               std::runtime_error);
}
