// Tests of the ms-format converter: parsing, the project text written by hand
// for a small replicate, malformed input, and an end-to-end run of qndsumstat
// on converted replicates whose K and S are counted by hand.
#include "ms2qnp/ms_format.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <regex>
#include <sstream>
#include <string>

#include "driver/driver_test_util.h"

namespace {

using ms2qnp::Encoding;
using ms2qnp::FormatError;
using ms2qnp::MsData;

// Two populations of 3 and 2 gene copies, two replicates, the second without
// segregating sites (ms then prints no positions and no rows).
const char* const kMsText =
    "ms 5 2 -t 2.0 -I 2 3 2 1.0\n"
    "12345 678 910\n"
    "\n"
    "//\n"
    "segsites: 3\n"
    "positions: 0.1000 0.5000 0.9000\n"
    "010\n"
    "010\n"
    "111\n"
    "000\n"
    "001\n"
    "\n"
    "//\n"
    "segsites: 0\n";

MsData parse(const std::string& text) {
  std::istringstream in(text);
  return ms2qnp::parse_ms(in);
}

// The project of replicate 1 as DNA, up to and including the samples.
// Letters per site: site 1 0->A 1->G, site 2 0->C 1->T, site 3 0->G 1->A.
const std::string kDnaProjectHead =
    "# Replicate 1 of ms-format simulator output, 3 segregating sites.\n"
    "[Profile]\n"
    "  Title=\"ms replicate 1\"\n"
    "  NbSamples=2\n"
    "  DataType=DNA\n"
    "  GenotypicData=0\n"
    "  LocusSeparator=NONE\n"
    "  MissingData='?'\n"
    "\n"
    "[Data]\n"
    "  [[HaplotypeDefinition]]\n"
    "    HaplListName=\"replicate_1\"\n"
    "    HaplList={\n"
    "      h1  ATG\n"
    "      h2  GTA\n"
    "      h3  ACG\n"
    "      h4  ACA\n"
    "    }\n"
    "\n"
    "  [[Samples]]\n"
    "    SampleName=\"pop1\"\n"
    "    SampleSize=3\n"
    "    SampleData={\n"
    "      h1  2\n"
    "      h2  1\n"
    "    }\n"
    "    SampleName=\"pop2\"\n"
    "    SampleSize=2\n"
    "    SampleData={\n"
    "      h3  1\n"
    "      h4  1\n"
    "    }\n";

}  // namespace

TEST(MsParse, ReadsSampleCountPopulationsAndReplicates) {
  const MsData data = parse(kMsText);
  EXPECT_EQ(data.sample_count, 5);
  EXPECT_EQ(data.population_sizes, (std::vector<int>{3, 2}));
  ASSERT_EQ(data.replicates.size(), 2u);
  EXPECT_EQ(data.replicates[0].segregating_sites, 3);
  EXPECT_EQ(data.replicates[0].rows, (std::vector<std::string>{"010", "010", "111", "000", "001"}));
  EXPECT_EQ(data.replicates[1].segregating_sites, 0);
  EXPECT_TRUE(data.replicates[1].rows.empty());
}

TEST(MsParse, WithoutIOptionAllCopiesFormOnePopulation) {
  const MsData data = parse("ms 2 1 -t 1\n1 2 3\n\n//\nsegsites: 1\npositions: 0.5\n0\n1\n");
  EXPECT_EQ(data.population_sizes, std::vector<int>{2});
}

TEST(MsParse, SkipsTreesAndTimeLinesAndCarriageReturns) {
  const MsData data = parse(
      "scrm 2 1 -t 1 -T -L\r\n1 2 3\r\n\r\n//\r\n[2](1:0.5,2:0.5);\r\ntime:\t0.5\t1.0\r\n"
      "segsites: 2\r\npositions: 0.25 0.75\r\n01\r\n10 \r\n");
  ASSERT_EQ(data.replicates.size(), 1u);
  EXPECT_EQ(data.replicates[0].rows, (std::vector<std::string>{"01", "10"}));
}

TEST(MsParseErrors, MalformedInputNamesTheLine) {
  const std::string head = "ms 2 1 -t 1\n1 2 3\n\n//\n";
  const auto message = [](const std::string& text) {
    try {
      parse(text);
    } catch (const FormatError& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(message(""), "line 0: empty input: no simulator command line");
  EXPECT_EQ(message("ms x 1\n"),
            "line 1: the command line does not start with a program name and a sample count");
  EXPECT_EQ(message("ms 5 1 -I 2 3 3\n"),
            "line 1: \"-I\": the population sizes add up to 6, not 5");
  EXPECT_EQ(message("ms 5 1 -I 2 3\n"),
            "line 1: \"-I\" needs a number of populations and one size for each");
  EXPECT_EQ(message(head + "segsites: 2\npositions: 0.1 0.2\n01\n1\n"),
            "line 8: row of 1 states, 2 expected");
  EXPECT_EQ(message(head + "segsites: 2\npositions: 0.1 0.2\n01\n1a\n"),
            "line 8: row holds a state other than 0 or 1");
  EXPECT_EQ(message(head + "segsites: 2\n01\n10\n"),
            "line 6: \"positions:\" line expected after \"segsites:\"");
  EXPECT_EQ(message(head + "segsites: 2\npositions: 0.1\n01\n10\n"),
            "line 6: the number of positions differs from \"segsites:\"");
  EXPECT_EQ(message(head + "segsites: 1\npositions: 0.1\n1\n"),
            "line 7: replicate ends after 1 rows");
  EXPECT_EQ(message(head + "segsites: -1\n"), "line 5: invalid \"segsites:\" line");
  EXPECT_EQ(message(head + "//\n"), "line 5: replicate without a \"segsites:\" line");
}

TEST(GroupSizes, ParsesCommaSeparatedPositiveCounts) {
  EXPECT_EQ(ms2qnp::parse_group_sizes("2,3"), (std::vector<int>{2, 3}));
  EXPECT_EQ(ms2qnp::parse_group_sizes("7"), std::vector<int>{7});
  for (const char* bad : {"", "2,", ",2", "2,,3", "0,2", "-1", "2;3", "x"})
    EXPECT_THROW(ms2qnp::parse_group_sizes(bad), FormatError) << bad;
}

TEST(ToProject, DnaReplicateMatchesTheHandWrittenProject) {
  const MsData data = parse(kMsText);
  EXPECT_EQ(ms2qnp::to_project(data, 1, {}), kDnaProjectHead);
}

TEST(ToProject, RflpKeepsTheStates) {
  const MsData data = parse(kMsText);
  ms2qnp::ProjectOptions options;
  options.encoding = Encoding::Rflp;
  const std::string text = ms2qnp::to_project(data, 1, options);
  EXPECT_NE(text.find("  DataType=RFLP\n"), std::string::npos);
  EXPECT_NE(text.find("      h1  010\n      h2  111\n      h3  000\n      h4  001\n    }\n"),
            std::string::npos)
      << text;
}

TEST(ToProject, GroupsListConsecutiveSamples) {
  const MsData data =
      parse("ms 6 1 -I 3 2 1 3\n1\n\n//\nsegsites: 1\npositions: 0.5\n0\n1\n0\n0\n1\n1\n");
  ms2qnp::ProjectOptions options;
  options.group_sizes = {1, 2};
  const std::string text = ms2qnp::to_project(data, 1, options);
  const std::string structure =
      "\n  [[Structure]]\n    StructureName=\"groups\"\n    NbGroups=2\n"
      "    Group={\n      \"pop1\"\n    }\n"
      "    Group={\n      \"pop2\"\n      \"pop3\"\n    }\n";
  ASSERT_GE(text.size(), structure.size());
  EXPECT_EQ(text.substr(text.size() - structure.size()), structure);
  options.group_sizes = {2, 2};
  EXPECT_THROW(ms2qnp::to_project(data, 1, options), FormatError);
}

TEST(ToProject, NoSegregatingSiteGivesOneInvariantSite) {
  const MsData data = parse(kMsText);
  const std::string text = ms2qnp::to_project(data, 2, {});
  EXPECT_NE(text.find("0 segregating sites (one invariant site written)"), std::string::npos);
  EXPECT_NE(text.find("    HaplList={\n      h1  A\n    }\n"), std::string::npos) << text;
  EXPECT_NE(text.find("SampleSize=3\n    SampleData={\n      h1  3\n    }\n"), std::string::npos);
  EXPECT_NE(text.find("SampleSize=2\n    SampleData={\n      h1  2\n    }\n"), std::string::npos);
}

TEST(ToProject, EmptyPopulationMakesNoSample) {
  const MsData data = parse("ms 2 1 -I 3 1 0 1\n1\n\n//\nsegsites: 1\npositions: 0.5\n0\n1\n");
  const std::string text = ms2qnp::to_project(data, 1, {});
  EXPECT_NE(text.find("NbSamples=2\n"), std::string::npos);
  EXPECT_NE(text.find("SampleName=\"pop1\""), std::string::npos);
  EXPECT_EQ(text.find("SampleName=\"pop2\""), std::string::npos);
  EXPECT_NE(text.find("SampleName=\"pop3\""), std::string::npos);
}

TEST(DnaLetters, EverySiteHasTwoDifferentNucleotides) {
  for (std::size_t site = 0; site < 8; ++site)
    EXPECT_NE(ms2qnp::dna_letter('0', site), ms2qnp::dna_letter('1', site));
  EXPECT_EQ(std::string({ms2qnp::dna_letter('0', 0), ms2qnp::dna_letter('0', 1),
                         ms2qnp::dna_letter('0', 2), ms2qnp::dna_letter('0', 3)}),
            "ACGT");
}

// The converter's output analysed by qndsumstat: K and S per sample counted by
// hand from the rows (pop1: 010 010 111, pop2: 000 001).
TEST(Ms2QnpEndToEnd, ConvertedReplicatesRunInOneBatch) {
  driver_test::TempDir dir(false);
  driver_test::write_file(dir.file("sim.txt"), kMsText);
  // The example settings with standard indices and molecular diversity only.
  const std::string settings = driver_test::read_file(std::string(QND_EXAMPLES) + "/qnd_run.qns");
  driver_test::write_file(
      dir.file("qnd_run.qns"),
      std::regex_replace(settings, std::regex("TaskNumber=[0-9]+"), "TaskNumber=3"));
  driver_test::write_file(dir.file("ssdefs.txt"), "POP_LEVEL ALL_K ALL_S\n");
  for (const char* mode : {"", "--rflp"}) {
    const std::string command = "cd '" + dir.path() + "' && '" + QND_MS2QNP_EXE + "' " + mode +
                                " --prefix rep sim.txt > /dev/null && '" + QND_EXE +
                                "' @rep_list.txt out.txt 0 1 run_silent > /dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << mode;
    EXPECT_EQ(driver_test::read_file(dir.file("rep_list.txt")), "rep_1.qnp\nrep_2.qnp\n");
    EXPECT_EQ(driver_test::read_file(dir.file("out.txt")),
              "K_1\tK_2\tS_1\tS_2\t\n2\t2\t2\t1\t\n1\t1\t0\t0\t\n")
        << mode;
  }
}

TEST(Ms2QnpEndToEnd, BadInputIsReportedWithStatusOne) {
  driver_test::TempDir dir(false);
  driver_test::write_file(dir.file("sim.txt"), "ms 5 1 -I 2 3 3\n");
  const std::string command =
      "cd '" + dir.path() + "' && '" + QND_MS2QNP_EXE + "' sim.txt > /dev/null 2> err.txt";
  const int status = std::system(command.c_str());
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 1);
  EXPECT_EQ(driver_test::read_file(dir.file("err.txt")),
            "qndms2qnp: error: sim.txt: line 1: \"-I\": the population sizes add up to 6, not 5\n");
}
