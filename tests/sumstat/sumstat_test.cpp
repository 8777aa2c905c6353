// The summary record: which keywords a definition line selects
// (keyword_lines.txt), the header and value lines of a pass (pass_cases.txt),
// the bookkeeping of failed runs in a batch, and writing the output file.
#include "sumstat/sumstat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "base/case_table.h"
#include "cli/temp_dir.h"

using qnd_test::read_file;
using qnd_test::write_file;

namespace {

// clang-format off
#define QND_FLAGS(X) \
X(ALL_K) X(ALLSD_K) X(MEAN_K) X(SD_K) X(TOT_K) X(ALL_H) X(ALLSD_H) X(MEAN_H) X(SD_H) X(TOT_H) \
X(ALL_S) X(ALLSD_S) X(PRIVATE_S) X(MEAN_S) X(SD_S) X(TOT_S) X(ALL_TAJIMAD) X(ALLSD_TAJIMAD) \
X(MEAN_TAJIMAD) X(SD_TAJIMAD) X(TOT_TAJIMAD) X(ALL_FUFS) X(ALLSD_FUFS) X(MEAN_FUFS) X(SD_FUFS) \
X(TOT_FUFS) X(ALL_PI) X(MEAN_PI) X(SD_PI) X(TOT_PI) X(ALL_GW) X(ALLSD_GW) X(MEAN_GW) X(SD_GW) \
X(TOT_GW) X(ALL_NGW) X(ALLSD_NGW) X(MEAN_NGW) X(SD_NGW) X(ALL_RANGE) X(ALLSD_RANGE) \
X(MEAN_RANGE) X(SD_RANGE) X(TOT_RANGE) X(GLOBAL_FSTAT) X(GLOBALSD_FSTAT) X(PAIRWISE_FST) \
X(PAIRWISE_PI) X(PAIRWISE_DMUSQR) X(MEAN_ALL_DPRIME) X(MEAN_ALL_R2) X(ALL_ADJ_DPRIME) \
X(ALL_ADJ_R2) X(MEAN_ADJ_DPRIME) X(MEAN_ADJ_R2) X(FLANK_DPRIME) X(FLANK_R2) X(POP_LEVEL) \
X(GROUP_LEVEL)
#define QND_MARKS(X) \
X(hasFIS) X(hasFST) X(hasFCT) X(hasFSC) X(hasFIT) X(groupPass)
#define QND_LISTS(X) \
X(K) X(Ksd) X(H) X(Hsd) X(S) X(Ssd) X(privS) X(D) X(Dsd) X(FS) X(FSsd) X(Pi) X(GW) X(GWsd) \
X(NGW) X(NGWsd) X(R) X(Rsd) X(pairFST) X(pairPI) X(pairDMUSQ) X(meanDprime) X(meanR2) \
X(adjDprime) X(adjR2) X(meanAdjDprime) X(meanAdjR2) X(flankDprime) X(flankR2)
#define QND_VALUES(X) \
X(meanK) X(sdK) X(totK) X(meanH) X(sdH) X(totH) X(meanS) X(sdS) X(totS) X(meanD) X(sdD) \
X(meanFS) X(sdFS) X(meanPi) X(sdPi) X(meanGW) X(sdGW) X(totGW) X(meanNGW) X(sdNGW) X(meanR) \
X(sdR) X(totR) X(FIS) X(FST) X(FCT) X(FSC) X(FIT)
// clang-format on
#define QND_MEMBER(m) {#m, &TSumStat::m},
const std::map<std::string, bool TSumStat::*> kFlags = {QND_FLAGS(QND_MEMBER)};
const std::map<std::string, bool TSumStat::*> kMarks = {QND_MARKS(QND_MEMBER)};
const std::map<std::string, MY_TArrayAsVector<double> TSumStat::*> kLists = {QND_LISTS(QND_MEMBER)};
const std::map<std::string, double TSumStat::*> kValues = {QND_VALUES(QND_MEMBER)};
#undef QND_MEMBER

std::string selected(const TSumStat& s) {
  std::string out;
  for (const auto& [name, flag] : kFlags)
    if (s.*flag) out += (out.empty() ? "" : " ") + name;
  return out;
}

// Applies "list=v1,v2 field=v mark=1" to s.
void set_values(TSumStat& s, const std::string& text) {
  std::istringstream in(text);
  for (std::string item; in >> item;) {
    const std::string name = item.substr(0, item.find('='));
    std::istringstream values(item.substr(name.size() + 1));
    for (std::string v; std::getline(values, v, ',');) {
      const double x = std::strtod(v.c_str(), nullptr);
      if (kLists.count(name)) (s.*kLists.at(name)).Add(x);
      if (kValues.count(name)) s.*kValues.at(name) = x;
      if (kMarks.count(name)) s.*kMarks.at(name) = x != 0;
    }
  }
}

TDataType type_named(const std::string& name) {
  const std::vector<std::string> names = {"DNA", "RFLP", "MICROSAT", "STANDARD", "FREQUENCY"};
  return static_cast<TDataType>(std::find(names.begin(), names.end(), name) - names.begin());
}

// Simulates one project of a batch: its header (only while the header is not
// complete, as the run sequence adds it) and value text, then the outcome.
void project(TSumStat& sum, bool ran, const std::string& header, const std::string& values) {
  sum.begin_project();
  if (!sum.header_complete) sum.headerLine += header;
  sum.statsLine += values;
  sum.end_project(ran);
}

}  // namespace

TEST(SumStatKeywords, EachKeywordAloneSelectsOnlyItsOwnFlag) {
  for (const auto& [name, flag] : kFlags) {
    TSumStat s;
    s.checkForStat(my_string(name.c_str()));
    EXPECT_EQ(selected(s), name);
  }
}

TEST(SumStatKeywords, DefinitionLinesAndFilesOnTheCaseTable) {
  qnd_test::TempDir dir;
  const std::string path = dir.file("ssdefs.txt");
  for (const qnd_test::CaseRow& row : qnd_test::read_cases("sumstat/keyword_lines.txt")) {
    TSumStat s, from_file;
    std::istringstream lines(row[0]);
    for (std::string line; std::getline(lines, line);) s.checkForStat(my_string(line.c_str()));
    EXPECT_EQ(selected(s), row[1]) << "keyword_lines.txt line " << row.line;
    EXPECT_FALSE(s.hasFIS || s.hasFST || s.hasFCT || s.hasFSC || s.hasFIT);
    write_file(path, row[0]);
    from_file.readDefSSFile(my_string(path.c_str()));
    EXPECT_EQ(selected(from_file), row[1]) << "keyword_lines.txt line " << row.line;
    EXPECT_EQ(from_file.defFileName, path);
  }
}

TEST(SumStatKeywords, MissingDefinitionFileResetsTheRecordAndClearingKeepsSelections) {
  TSumStat s;
  s.checkForStat("ALL_K PAIRWISE_FST");
  s.hasFST = s.groupPass = s.appendOutput = s.sumStatMode = true;
  s.headerLine = "x\t\n";
  s.statsLine = "1\t\n";
  s.readDefSSFile(my_string("/nonexistent/ssdefs.txt"));
  EXPECT_EQ(selected(s), "");
  EXPECT_FALSE(s.hasFST || s.groupPass);
  EXPECT_EQ(s.headerLine + s.statsLine, "");
  EXPECT_TRUE(s.appendOutput && s.sumStatMode);  // chosen by main, not by the file
  s.checkForStat("ALL_K PAIRWISE_FST");
  s.pairFST.Add(0.1);
  s.meanNGW = s.FIT = 2.5;
  s.hasFIT = true;
  s.clearValues();  // values go, selections stay
  EXPECT_EQ(s.pairFST.size() + s.meanNGW + s.FIT, 0.0);
  EXPECT_FALSE(s.hasFIT);
  EXPECT_EQ(selected(s), "ALL_K PAIRWISE_FST");
}

TEST(SumStatPass, HeaderAndValuesOnTheCaseTable) {
  for (const qnd_test::CaseRow& row : qnd_test::read_cases("sumstat/pass_cases.txt")) {
    SCOPED_TRACE(testing::Message() << "pass_cases.txt line " << row.line);
    TSumStat s;
    s.checkForStat(my_string(row[0].c_str()));
    const TDataType type = type_named(row[1]);
    std::istringstream passes(row[2]);
    for (std::string pass; std::getline(passes, pass, '|');) {
      s.clearValues();
      set_values(s, pass);
      s.outputHeader(type);
      s.outputStats(type);
    }
    EXPECT_EQ(s.headerLine, row[3]);
    EXPECT_EQ(s.statsLine, row[4]);
    std::istringstream after(row.fields.size() > 5 ? row[5] : "");
    for (std::string item; after >> item;) {
      const std::string name = item.substr(0, item.find('='));
      EXPECT_NEAR(s.*kValues.at(name), std::strtod(item.c_str() + name.size() + 1, nullptr), 1e-12)
          << name;
    }
  }
}

TEST(SumStatRecord, ScriptsOfTheCaseTable) {
  qnd_test::TempDir dir;
  const std::string out = dir.file("out.txt");
  std::unique_ptr<TSumStat> s;
  for (const qnd_test::CaseRow& row : qnd_test::read_cases("sumstat/record_scripts.txt")) {
    SCOPED_TRACE(testing::Message() << "record_scripts.txt line " << row.line);
    const std::string& command = row[0];
    if (command == "new") s = std::make_unique<TSumStat>();
    if (command == "new") s->batch_mode = row[1] == "1";
    if (command == "run" || command == "fail") project(*s, command == "run", row[1], row[2]);
    if (command == "finish") s->finish_batch();
    if (command == "reset") s->resetComputationFlags();
    if (command == "set") s->headerLine = row[1], s->statsLine = row[2];
    if (command == "write") {
      write_file(out, "old\n");
      s->outFileName = out;
      s->appendOutput = row[2] == "1";
      s->writeToFile(std::atoi(row[1].c_str()));
    }
    EXPECT_TRUE(command != "complete" || s->header_complete == (row[1] == "1"));
    EXPECT_TRUE(command != "write" || read_file(out) == row[3]) << read_file(out);
    EXPECT_TRUE(command != "expect" || row[1] == "*" || s->headerLine == row[1]) << s->headerLine;
    EXPECT_TRUE(command != "expect" || s->statsLine == row[2]) << s->statsLine;
  }
}

TEST(SumStatRecord, LongLinesAreWrittenWholeAndUnopenableNamesAreSkipped) {
  qnd_test::TempDir dir;
  TSumStat s;
  s.appendOutput = true;
  s.outFileName = dir.file("new.txt");  // created when missing
  s.headerLine = std::string(1'500'000, 'h') + "\n";
  s.statsLine = std::string(2'500'000, 'v') + "\n";
  s.writeToFile(1);
  s.writeToFile(0);
  EXPECT_TRUE(read_file(s.outFileName) == s.headerLine + s.statsLine + s.statsLine);
  for (const std::string name : {"", "no_such_dir/out.txt"}) {
    s.outFileName = name.empty() ? name : dir.file(name);
    s.writeToFile(0);  // nothing written, no failure
  }
  EXPECT_FALSE(std::filesystem::exists(dir.file("no_such_dir")));
}
