// The ms-format converter: parsing, the project text written by hand for a
// small replicate (replicate_1.qnp, from sim.txt), and malformed input
// (bad_input.txt).
#include "ms2qnp/ms_format.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "cli/temp_dir.h"

namespace {

using ms2qnp::FormatError;
using ms2qnp::MsData;

const std::string kHere = std::string(QND_TEST_DATA) + "/ms2qnp/";

MsData parse(const std::string& text) {
  std::istringstream in(text);
  return ms2qnp::parse_ms(in);
}

// sim.txt: two populations of 3 and 2 gene copies, two replicates, the second
// without segregating sites (ms then prints no positions and no rows).
TEST(MsParse, ReadsSampleCountPopulationsAndReplicates) {
  const MsData data = parse(qnd_test::read_file(kHere + "sim.txt"));
  EXPECT_EQ(data.sample_count, 5);
  EXPECT_EQ(data.population_sizes, (std::vector<int>{3, 2}));
  ASSERT_EQ(data.replicates.size(), 2u);
  EXPECT_EQ(data.replicates[0].segregating_sites, 3);
  EXPECT_EQ(data.replicates[0].rows, (std::vector<std::string>{"010", "010", "111", "000", "001"}));
  EXPECT_EQ(data.replicates[1].segregating_sites, 0);
  EXPECT_TRUE(data.replicates[1].rows.empty());
  // Without -I all copies form one population; trees, times and carriage returns are skipped.
  const MsData scrm = parse(
      "scrm 2 1 -t 1 -T -L\r\n1 2 3\r\n\r\n//\r\n[2](1:0.5,2:0.5);\r\ntime:\t0.5\t1.0\r\n"
      "segsites: 2\r\npositions: 0.25 0.75\r\n01\r\n10 \r\n");
  EXPECT_EQ(scrm.population_sizes, std::vector<int>{2});
  ASSERT_EQ(scrm.replicates.size(), 1u);
  EXPECT_EQ(scrm.replicates[0].rows, (std::vector<std::string>{"01", "10"}));
}

TEST(MsParse, MalformedInputNamesTheLine) {
  std::ifstream in(kHere + "bad_input.txt");
  int cases = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    ++cases;
    const size_t bar = line.find(" | ");
    std::string text = line.substr(0, bar), message = "no error";
    if (text.rfind("HEAD", 0) == 0) text.replace(0, 4, "ms 2 1 -t 1\\n1 2 3\\n\\n//\\n");
    for (size_t at; (at = text.find("\\n")) != std::string::npos;) text.replace(at, 2, "\n");
    try {
      parse(text);
    } catch (const FormatError& e) {
      message = e.what();
    }
    EXPECT_EQ(message, line.substr(bar + 3)) << line;
  }
  EXPECT_EQ(cases, 11);
  EXPECT_EQ(ms2qnp::parse_group_sizes("2,3"), (std::vector<int>{2, 3}));
  EXPECT_EQ(ms2qnp::parse_group_sizes("7"), std::vector<int>{7});
  for (const char* bad : {"", "2,", ",2", "2,,3", "0,2", "-1", "2;3", "x"})
    EXPECT_THROW(ms2qnp::parse_group_sizes(bad), FormatError) << bad;
}

TEST(ToProject, ReplicatesAsDnaRflpGroupsAndEmptySamples) {
  const MsData data = parse(qnd_test::read_file(kHere + "sim.txt"));
  EXPECT_EQ(ms2qnp::to_project(data, 1, {}), qnd_test::read_file(kHere + "replicate_1.qnp"));
  ms2qnp::ProjectOptions rflp;
  rflp.encoding = ms2qnp::Encoding::Rflp;
  const std::string states = ms2qnp::to_project(data, 1, rflp);
  EXPECT_NE(states.find("  DataType=RFLP\n"), std::string::npos);
  EXPECT_NE(states.find("      h1  010\n      h2  111\n      h3  000\n      h4  001\n    }\n"),
            std::string::npos);
  // No segregating site: one invariant site.
  const std::string none = ms2qnp::to_project(data, 2, {});
  EXPECT_NE(none.find("0 segregating sites (one invariant site written)"), std::string::npos);
  EXPECT_NE(none.find("    HaplList={\n      h1  A\n    }\n"), std::string::npos) << none;
  EXPECT_NE(none.find("SampleSize=3\n    SampleData={\n      h1  3\n    }\n"), std::string::npos);
  EXPECT_NE(none.find("SampleSize=2\n    SampleData={\n      h1  2\n    }\n"), std::string::npos);
  // Groups list consecutive samples.
  const MsData three =
      parse("ms 6 1 -I 3 2 1 3\n1\n\n//\nsegsites: 1\npositions: 0.5\n0\n1\n0\n0\n1\n1\n");
  ms2qnp::ProjectOptions groups;
  groups.group_sizes = {1, 2};
  const std::string structure =
      "\n  [[Structure]]\n    StructureName=\"groups\"\n    NbGroups=2\n    Group={\n      "
      "\"pop1\"\n    }\n"
      "    Group={\n      \"pop2\"\n      \"pop3\"\n    }\n";
  const std::string grouped = ms2qnp::to_project(three, 1, groups);
  ASSERT_GE(grouped.size(), structure.size());
  EXPECT_EQ(grouped.substr(grouped.size() - structure.size()), structure);
  groups.group_sizes = {2, 2};
  EXPECT_THROW(ms2qnp::to_project(three, 1, groups), FormatError);
  // An empty population makes no sample.
  const std::string empty = ms2qnp::to_project(
      parse("ms 2 1 -I 3 1 0 1\n1\n\n//\nsegsites: 1\npositions: 0.5\n0\n1\n"), 1, {});
  EXPECT_NE(empty.find("NbSamples=2\n"), std::string::npos);
  EXPECT_NE(empty.find("SampleName=\"pop1\""), std::string::npos);
  EXPECT_EQ(empty.find("SampleName=\"pop2\""), std::string::npos);
  EXPECT_NE(empty.find("SampleName=\"pop3\""), std::string::npos);
  // Every site has two different nucleotides.
  for (std::size_t site = 0; site < 8; ++site)
    EXPECT_NE(ms2qnp::dna_letter('0', site), ms2qnp::dna_letter('1', site));
}

}  // namespace
