// Reading the statistic definition file: which keywords a line selects.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "cli/temp_dir.h"
#include "sumstat/sumstat.h"

using qnd_test::read_file;
using qnd_test::TempDir;
using qnd_test::write_file;

namespace {

// Every selection flag with its keyword, written out independently of the code
// under test.
const std::vector<std::pair<std::string, bool TSumStat::*>>& all_flags() {
  static const std::vector<std::pair<std::string, bool TSumStat::*>> flags = {
      {"ALL_K", &TSumStat::ALL_K},
      {"ALLSD_K", &TSumStat::ALLSD_K},
      {"MEAN_K", &TSumStat::MEAN_K},
      {"SD_K", &TSumStat::SD_K},
      {"TOT_K", &TSumStat::TOT_K},
      {"ALL_H", &TSumStat::ALL_H},
      {"ALLSD_H", &TSumStat::ALLSD_H},
      {"MEAN_H", &TSumStat::MEAN_H},
      {"SD_H", &TSumStat::SD_H},
      {"TOT_H", &TSumStat::TOT_H},
      {"ALL_S", &TSumStat::ALL_S},
      {"ALLSD_S", &TSumStat::ALLSD_S},
      {"PRIVATE_S", &TSumStat::PRIVATE_S},
      {"MEAN_S", &TSumStat::MEAN_S},
      {"SD_S", &TSumStat::SD_S},
      {"TOT_S", &TSumStat::TOT_S},
      {"ALL_TAJIMAD", &TSumStat::ALL_TAJIMAD},
      {"ALLSD_TAJIMAD", &TSumStat::ALLSD_TAJIMAD},
      {"MEAN_TAJIMAD", &TSumStat::MEAN_TAJIMAD},
      {"SD_TAJIMAD", &TSumStat::SD_TAJIMAD},
      {"TOT_TAJIMAD", &TSumStat::TOT_TAJIMAD},
      {"ALL_FUFS", &TSumStat::ALL_FUFS},
      {"ALLSD_FUFS", &TSumStat::ALLSD_FUFS},
      {"MEAN_FUFS", &TSumStat::MEAN_FUFS},
      {"SD_FUFS", &TSumStat::SD_FUFS},
      {"TOT_FUFS", &TSumStat::TOT_FUFS},
      {"ALL_PI", &TSumStat::ALL_PI},
      {"MEAN_PI", &TSumStat::MEAN_PI},
      {"SD_PI", &TSumStat::SD_PI},
      {"TOT_PI", &TSumStat::TOT_PI},
      {"ALL_GW", &TSumStat::ALL_GW},
      {"ALLSD_GW", &TSumStat::ALLSD_GW},
      {"MEAN_GW", &TSumStat::MEAN_GW},
      {"SD_GW", &TSumStat::SD_GW},
      {"TOT_GW", &TSumStat::TOT_GW},
      {"ALL_NGW", &TSumStat::ALL_NGW},
      {"ALLSD_NGW", &TSumStat::ALLSD_NGW},
      {"MEAN_NGW", &TSumStat::MEAN_NGW},
      {"SD_NGW", &TSumStat::SD_NGW},
      {"ALL_RANGE", &TSumStat::ALL_RANGE},
      {"ALLSD_RANGE", &TSumStat::ALLSD_RANGE},
      {"MEAN_RANGE", &TSumStat::MEAN_RANGE},
      {"SD_RANGE", &TSumStat::SD_RANGE},
      {"TOT_RANGE", &TSumStat::TOT_RANGE},
      {"GLOBAL_FSTAT", &TSumStat::GLOBAL_FSTAT},
      {"GLOBALSD_FSTAT", &TSumStat::GLOBALSD_FSTAT},
      {"PAIRWISE_FST", &TSumStat::PAIRWISE_FST},
      {"PAIRWISE_PI", &TSumStat::PAIRWISE_PI},
      {"PAIRWISE_DMUSQR", &TSumStat::PAIRWISE_DMUSQR},
      {"MEAN_ALL_DPRIME", &TSumStat::MEAN_ALL_DPRIME},
      {"MEAN_ALL_R2", &TSumStat::MEAN_ALL_R2},
      {"ALL_ADJ_DPRIME", &TSumStat::ALL_ADJ_DPRIME},
      {"ALL_ADJ_R2", &TSumStat::ALL_ADJ_R2},
      {"MEAN_ADJ_DPRIME", &TSumStat::MEAN_ADJ_DPRIME},
      {"MEAN_ADJ_R2", &TSumStat::MEAN_ADJ_R2},
      {"FLANK_DPRIME", &TSumStat::FLANK_DPRIME},
      {"FLANK_R2", &TSumStat::FLANK_R2},
      {"POP_LEVEL", &TSumStat::POP_LEVEL},
      {"GROUP_LEVEL", &TSumStat::GROUP_LEVEL},
  };
  return flags;
}

std::set<std::string> selected(const TSumStat& s) {
  std::set<std::string> out;
  for (const auto& [name, flag] : all_flags())
    if (s.*flag) out.insert(name);
  return out;
}

std::set<std::string> selected_by(const std::vector<std::string>& lines) {
  TSumStat s;
  for (const std::string& line : lines) s.checkForStat(my_string(std::string_view(line)));
  return selected(s);
}

using Names = std::set<std::string>;

}  // namespace

TEST(KeywordLine, EveryKeywordAloneSelectsItsOwnFlagOnly) {
  // No keyword holds another one except the guarded ALLSD_ keywords.
  for (const auto& [name, flag] : all_flags()) {
    const Names got = selected_by({name});
    EXPECT_TRUE(got.count(name)) << name;
    EXPECT_EQ(got.size(), 1u) << name << " also selects other flags";
  }
}

TEST(KeywordLine, AllsdKAloneSelectsOnlyKsd) {
  EXPECT_EQ(selected_by({"ALLSD_K"}), Names({"ALLSD_K"}));
  EXPECT_EQ(selected_by({"ALLSD_RANGE"}), Names({"ALLSD_RANGE"}));
  EXPECT_EQ(selected_by({"allsd_tajimad"}), Names({"ALLSD_TAJIMAD"}));
}

TEST(KeywordLine, AllsdKWithSdKSelectsBoth) {
  EXPECT_EQ(selected_by({"ALLSD_K SD_K"}), Names({"ALLSD_K", "SD_K"}));
  EXPECT_EQ(selected_by({"SD_K,ALLSD_K"}), Names({"ALLSD_K", "SD_K"}));
}

TEST(KeywordLine, AllsdKTwiceAlsoSelectsSdK) {
  // Only the first occurrence is removed, the second still holds "SD_K".
  EXPECT_EQ(selected_by({"ALLSD_K ALLSD_K"}), Names({"ALLSD_K", "SD_K"}));
}

TEST(KeywordLine, TextAfterPoundIsIgnored) {
  EXPECT_EQ(selected_by({"all_k # MEAN_K"}), Names({"ALL_K"}));
  EXPECT_EQ(selected_by({"#POP_LEVEL"}), Names());
}

TEST(KeywordLine, KeywordsMatchAsSubstringsInAnyCase) {
  EXPECT_EQ(selected_by({"XALL_HX"}), Names({"ALL_H"}));
  EXPECT_EQ(selected_by({"Mean_KTot_kpop_level"}), Names({"MEAN_K", "TOT_K", "POP_LEVEL"}));
}

TEST(KeywordLine, LongerKeywordsDoNotSelectUnrelatedShortOnes) {
  EXPECT_EQ(selected_by({"MEAN_ALL_R2"}), Names({"MEAN_ALL_R2"}));
  EXPECT_EQ(selected_by({"GLOBALSD_FSTAT"}), Names({"GLOBALSD_FSTAT"}));
}

TEST(KeywordLine, FlagsAccumulateOverLinesAndUnknownWordsAreIgnored) {
  EXPECT_EQ(selected_by({"ALL_S", "hello world", "", "MEAN_S\r"}), Names({"ALL_S", "MEAN_S"}));
}

TEST(KeywordLine, NeverSetsPresenceFlags) {
  TSumStat s;
  s.checkForStat("GLOBAL_FSTAT FIS FST FCT FSC FIT hasFIS");
  EXPECT_TRUE(s.GLOBAL_FSTAT);
  EXPECT_FALSE(s.hasFIS || s.hasFST || s.hasFCT || s.hasFSC || s.hasFIT);
}

TEST(DefinitionFile, ReadsEveryLineIncludingAFinalLineWithoutLineFeed) {
  TempDir dir;
  const std::string path = dir.file("ssdefs.txt");
  write_file(path, "# a comment line with ALL_K\r\nPOP_LEVEL\r\nmean_h  SD_H\nTOT_S");
  TSumStat s;
  s.readDefSSFile(my_string(path.c_str()));
  EXPECT_EQ(selected(s), Names({"POP_LEVEL", "MEAN_H", "SD_H", "TOT_S"}));
  EXPECT_EQ(s.defFileName, path);
}

TEST(DefinitionFile, LongLinesAreReadWhole) {
  TempDir dir;
  const std::string path = dir.file("ssdefs.txt");
  write_file(path, std::string(2'000'000, ' ') + "PAIRWISE_FST\n");
  TSumStat s;
  s.readDefSSFile(my_string(path.c_str()));
  EXPECT_EQ(selected(s), Names({"PAIRWISE_FST"}));
}

TEST(DefinitionFile, MissingFileSelectsNothingAndResetsEarlierSelections) {
  TempDir dir;
  TSumStat s;
  s.checkForStat("POP_LEVEL ALL_K");
  s.hasFST = true;
  s.groupPass = true;
  s.headerLine = "x\t\n";
  s.statsLine = "1\t\n";
  s.appendOutput = true;
  s.sumStatMode = true;
  s.readDefSSFile(my_string(dir.file("no_such_file.txt").c_str()));
  EXPECT_EQ(selected(s), Names());
  EXPECT_FALSE(s.hasFST);
  EXPECT_FALSE(s.groupPass);
  EXPECT_EQ(s.headerLine, "");
  EXPECT_EQ(s.statsLine, "");
  // The output settings that main chose are not statistic selections.
  EXPECT_TRUE(s.appendOutput);
  EXPECT_TRUE(s.sumStatMode);
}

TEST(ClearValues, EmptiesValuesButKeepsSelections) {
  TSumStat s;
  s.checkForStat("ALL_K PAIRWISE_FST");
  s.K.Add(3);
  s.pairFST.Add(0.1);
  s.flankR2.Add(0.2);
  s.meanNGW = 2.5;
  s.FIT = 0.4;
  s.hasFIT = true;
  s.clearValues();
  EXPECT_EQ(s.K.size(), 0);
  EXPECT_EQ(s.pairFST.size(), 0);
  EXPECT_EQ(s.flankR2.size(), 0);
  EXPECT_EQ(s.meanNGW, 0.0);
  EXPECT_EQ(s.FIT, 0.0);
  EXPECT_FALSE(s.hasFIT);
  EXPECT_TRUE(s.ALL_K);
  EXPECT_TRUE(s.PAIRWISE_FST);
}
