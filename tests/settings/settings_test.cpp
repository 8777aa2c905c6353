// Settings file reading: defaults, the key lookup rule (substring match, first
// line with '=' and a value, 2000 lines, buffer sizes), the integer and decimal
// reading rules, the special keys, and the example settings file.
#include "settings/settings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

using Field = std::function<double(const settings&)>;

struct KeyDefault {
  const char* name;
  Field get;
  double table_default;
};

#define KEY(field, value)                                                         \
  {                                                                               \
#field, [](const settings& s) { return static_cast<double>(s.field); }, value \
  }

// Every numeric key with its default as the settings table gives it (TaskNumber
// and GibbsOutputGamPhase aside: they have their own checks).
const std::vector<KeyDefault>& all_keys() {
  static const std::vector<KeyDefault> keys = {
      KEY(XMLOutput, 1),
      KEY(qndecore64, 1),
      KEY(DeletionWeight, 1.0),
      KEY(TransitionWeight, 1.0),
      KEY(TranversionWeight, 1.0),
      KEY(ComputeSumStatsWithinGroups, 0),
      KEY(InferHaplotypeDefinitionFromDistanceMatrix, 0),
      KEY(EliminateRedondHaplodefs, 0),
      KEY(AllowedLevelOfMissingData, 0.05),
      KEY(GameticPhaseIsKnown, 0),
      KEY(HardyWeinbergTestType, 0),
      KEY(MakeHWExactTest, 0),
      KEY(MarkovChainStepsHW, 1000000),
      KEY(MarkovChainDememorisationStepsHW, 100000),
      KEY(PrecisionOnPValueHW, 0.0),
      KEY(SignificanceLevelHW, 2),
      KEY(TypeOfTestHW, 0),
      KEY(LinkageDisequilibriumTestType, 0),
      KEY(MakeExactTestLD, 0),
      KEY(MarkovChainStepsLD, 100000),
      KEY(MarkovChainDememorisationStepsLD, 1000),
      KEY(PrecisionOnPValueLD, 0.0),
      KEY(SignificanceLevelLD, 0.05),
      KEY(PrintFlagHistogramLD, 0),
      KEY(InitialCondEMLD, 2),
      KEY(ComputeDvalues, 0),
      KEY(ComputeStandardDiversityIndices, 0),
      KEY(ComputeAllAlleleFreqs, 0),
      KEY(ComputeMissDataFreq, 0),
      KEY(DistanceMethod, 0),
      KEY(GammaAValue, 0.0),
      KEY(PrintHaplDistMat, 0),
      KEY(ComputeTheta, 0),
      KEY(PrintPopDistMat, 0),
      KEY(ComputePopSFS, 0),
      KEY(ComputeJointSFS, 0),
      KEY(ComputeMultiSFS, 0),
      KEY(NumBootSFS, 0),
      KEY(MismatchDistanceMethod, 0),
      KEY(MismatchDemogExp, 0),
      KEY(MismatchSpatialExp, 0),
      KEY(MismatchSpatialExpNumParams, 0),
      KEY(MismatchGammaAValue, 0.0),
      KEY(NumBootExpDem, 100),
      KEY(InitialConditionsEM, 50),
      KEY(MaximumNumOfIterationsEM, 1000),
      KEY(RecessiveAllelesEM, 0),
      KEY(CompactHaplotypeDataBaseEM, 0),
      KEY(NumBootstrapReplicatesEM, 0),
      KEY(NumInitCondBootstrapEM, 10),
      KEY(ComputeAllSubHaplotypesEM, 0),
      KEY(ComputeAllAllelesEM, 0),
      KEY(EpsilonValue, 1e-07),
      KEY(FrequencyThreshold, 1e-05),
      KEY(ComputeConventionalFST, 0),
      KEY(IncludeIndividualLevel, 0),
      KEY(HaplAMOVA, 0),
      KEY(LocByLocAMOVA, 0),
      KEY(PopSpecificFST, 0),
      KEY(PopSpecificFIS, 0),
      KEY(ComputeDistanceMatrixAMOVA, 1),
      KEY(DistanceMethodAMOVA, 0),
      KEY(GammaAValueAMOVA, 0.0),
      KEY(PrintDistanceMatrix, 0),
      KEY(TestSignificancePairewiseFST, 0),
      KEY(NumPermutationsFST, 100),
      KEY(ComputePairwiseFST, 0),
      KEY(ComputeDeltaMuSqr, 0),
      KEY(FSTSignifLevel, 0.05),
      KEY(TestSignificanceAMOVA, 0),
      KEY(NumPermutationsAMOVA, 1000),
      KEY(NumPermutPopDiff, 100000),
      KEY(NumDememoPopDiff, 10000),
      KEY(PrecProbPopDiff, 0.0),
      KEY(PrintHistoPopDiff, 1),
      KEY(SignLevelPopDiff, 0.05),
      KEY(DetectSelectedLoci, 0),
      KEY(UseHierarchicalIslandModel, 0),
      KEY(NumberOfGroupsForFDist2, 10),
      KEY(NumberOfDemesForFDist2, 100),
      KEY(NumberOfSimsForFDist2, 20000),
      KEY(UseSimFileForFDist2, 0),
      KEY(TargetHetLowBound, 0.0),
      KEY(TargetHetHighBound, 1.0),
      KEY(MinDafFreq, 0.0),
      KEY(IterativeProcForFDist2, 0),
      KEY(EwensWattersonHomozygosityTest, 0),
      KEY(NumIterationsNeutralityTests, 1000),
      KEY(NumSimulFuTest, 1000),
      KEY(NumPermMantel, 1000),
      KEY(IsFontKnown, 0),
      KEY(NbFrontSegments, 0),
      KEY(SegmentLength, 0.0),
      KEY(NumOfGroups, 1),
      KEY(DiffusionMode, 2),
      KEY(NbFrontPerm, 0),
      KEY(PrintFstVals, 0),
      KEY(PrintConcestryCoeff, 0),
      KEY(PrintSlatkinsDist, 0),
      KEY(PrintMissIntermatchs, 0),
      KEY(UnequalPopSizeDiv, 0),
      KEY(PrintMinSpannNetworkPop, 0),
      KEY(PrintMinSpannNetworkGlob, 0),
      KEY(KeepNullDistrib, 0),
      KEY(EMEstimHaplFreqs, 0),
      KEY(EMEstimateInbreedingCoeff, 0),
      KEY(EMInbreedingFixedVal, 0.0),
      KEY(EMUseZipper, 0),
      KEY(EMWinSize, 1),
      KEY(EMLociRandOrder, 0),
      KEY(EMInbreedingEachLocus, 0),
      KEY(EMCheckPhenRedundancy, 0),
      KEY(EMCompGamPhaseForAllInitConds, 0),
      KEY(EMNumZipRandOrders, 0),
      KEY(GibbsInferGamPhase, 0),
      KEY(GibbsBurnIn, 100000),
      KEY(GibbsSamplingInterval, 500),
      KEY(GibbsNumSamples, 2000),
      KEY(GibbsAlphaInitValue, 0.01),
      KEY(GibbsEpsilonValue, 0.01),
      KEY(GibbsGamma, 0.0),
      KEY(GibbsHetSiteInfluenceZone, 5),
      KEY(GibbsPercentageOfRecSteps, 0.0),

  };
  return keys;
}

#undef KEY

void expect_table_defaults(const settings& s) {
  for (const KeyDefault& k : all_keys()) EXPECT_DOUBLE_EQ(k.get(s), k.table_default) << k.name;
  EXPECT_EQ(s.SimFileNameForFDist2, "");
}

// Every key that a file does not give reads as 0.
void expect_all_keys_zero(const settings& s) {
  for (const KeyDefault& k : all_keys()) EXPECT_EQ(k.get(s), 0.0) << k.name;
  EXPECT_EQ(s.SimFileNameForFDist2, "");
}

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("qnd_settings_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  my_string write(const std::string& content, const char* name = "run.qns") const {
    const fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary) << content;
    return my_string(path.string().c_str());
  }
  settings read(const std::string& content) const {
    settings s;
    s.read_settings(write(content));
    return s;
  }

  fs::path dir_;
};

// ------------------------------------------------------------- defaults

TEST(SettingsDefaults, ConstructorAndResetGiveTableDefaults) {
  settings s;
  EXPECT_EQ(s.TaskNumber, 0);
  EXPECT_EQ(s.GibbsOutputGamPhase, 0);
  expect_table_defaults(s);
  EXPECT_EQ(s.genotypicData, 0);
  EXPECT_EQ(s.gameticPhaseKnown, 0);
  s.TaskNumber = 513;
  s.XMLOutput = 0;
  s.EpsilonValue = 3.0;
  s.SimFileNameForFDist2 = "sims.txt";
  s.appendResults = 0;
  s.estimateHaplotypes = 0;
  s.MismatchDemogExp = true;
  s.reset_initial_values();
  EXPECT_EQ(s.TaskNumber, 0);
  expect_table_defaults(s);
  EXPECT_EQ(s.appendResults, 1);
  EXPECT_EQ(s.estimateHaplotypes, 1);
}

TEST(SettingsDefaults, MarkovChainStepsLDIs1000OnlyForGenotypesOfUnknownPhase) {
  struct Case {
    int genotypic, phase_known, steps;
  };
  for (const Case c : {Case{1, 0, 1000}, Case{1, 1, 100000}, Case{0, 0, 100000}}) {
    SCOPED_TRACE(testing::Message() << "genotypic " << c.genotypic << " phase " << c.phase_known);
    settings s;
    s.genotypicData = c.genotypic;
    s.gameticPhaseKnown = c.phase_known;
    s.reset_initial_values();
    EXPECT_EQ(s.MarkovChainStepsLD, c.steps);
    // The profile's flags are kept by the reset.
    EXPECT_EQ(s.genotypicData, c.genotypic);
    EXPECT_EQ(s.gameticPhaseKnown, c.phase_known);
  }
}

TEST(SettingsDefaults, ResetKeepsKeysThatOnlyReadingSets) {
  settings s;
  s.ComputeAllAlleleFreqs = true;
  s.ComputeMissDataFreq = true;
  s.MismatchSpatialExpNumParams = 3;
  s.EMNumZipRandOrders = 4;
  s.reset_initial_values();
  EXPECT_TRUE(s.ComputeAllAlleleFreqs);
  EXPECT_TRUE(s.ComputeMissDataFreq);
  EXPECT_EQ(s.MismatchSpatialExpNumParams, 3);
  EXPECT_EQ(s.EMNumZipRandOrders, 4);
}

// --------------------------------------------------------- reading files

TEST_F(SettingsFile, TaskNumberOnlySetsEveryOtherKeyToZero) {
  settings s;
  s.GibbsOutputGamPhase = 7;
  s.read_settings(write("TaskNumber=513\n"));
  EXPECT_EQ(s.TaskNumber, 513);
  expect_all_keys_zero(s);
  EXPECT_EQ(s.GibbsOutputGamPhase, 7);  // kept when the file does not give it
  EXPECT_EQ(s.estimateHaplotypes, 0);
}

TEST_F(SettingsFile, MissingFileReadsAsAllZero) {
  settings s;
  s.read_settings(my_string((dir_ / "absent.qns").string().c_str()));
  EXPECT_EQ(s.TaskNumber, 0);
  expect_all_keys_zero(s);
  EXPECT_EQ(s.GibbsOutputGamPhase, 0);
}

// One file text, one key, the value the lookup and reading rules give it.
TEST_F(SettingsFile, LookupAndReadingRules) {
  std::string filler;  // 1999 lines: the next line is line 2000
  for (int i = 0; i < 1999; ++i) filler += "# filler line\n";
#define FIELD(f) #f, [](const settings& s) { return static_cast<double>(s.f); }
  struct Case {
    const char* why;
    std::string text;
    const char* key;
    Field get;
    double expected;
  };
  const Case cases[] = {
      {"given", "GibbsOutputGamPhase=1\n", FIELD(GibbsOutputGamPhase), 1},
      {"lines without '=' are ignored",
       "[Setting for Calculations]\n# TaskNumber is the bit set of analyses\nTaskNumber=3\n",
       FIELD(TaskNumber), 3},
      {"a comment with '=' is a match", "# TaskNumber=8\nTaskNumber=3\n", FIELD(TaskNumber), 8},
      {"an empty value does not count", "TaskNumber=\nTaskNumber=6\n", FIELD(TaskNumber), 6},
      {"the first matching line wins", "TaskNumber=2\nTaskNumber=6\n", FIELD(TaskNumber), 2},
      {"case-sensitive", "tasknumber=2\n", FIELD(TaskNumber), 0},
      {"longer key above captures shorter", "MismatchDistanceMethod=1\nDistanceMethod=2\n",
       FIELD(DistanceMethod), 1},
      {"longer key above", "MismatchDistanceMethod=1\nDistanceMethod=2\n",
       FIELD(MismatchDistanceMethod), 1},
      {"shorter key above", "DistanceMethod=2\nMismatchDistanceMethod=1\n", FIELD(DistanceMethod),
       2},
      {"digit rule: comma skipped", "NumPermutationsFST=1,000\n", FIELD(NumPermutationsFST), 1000},
      {"digit rule: point skipped", "SignificanceLevelHW=0.05\n", FIELD(SignificanceLevelHW), 5},
      {"digit rule: sign", "TaskNumber= -2\n", FIELD(TaskNumber), -2},
      {"decimal", "EpsilonValue=1e-05\n", FIELD(EpsilonValue), 1e-05},
      {"decimal", "GammaAValue=0.5\n", FIELD(GammaAValue), 0.5},
      {"bool from 2", "MismatchDemogExp=2\n", FIELD(MismatchDemogExp), 1},
      {"bool from 0", "MismatchSpatialExp=0\n", FIELD(MismatchSpatialExp), 0},
      {"whole number", "PrecProbPopDiff=0.5\n", FIELD(PrecProbPopDiff), 5},
      {"PrintPopDistMat sets it", "PrintHaplDistMat=0\nPrintPopDistMat=1\n",
       FIELD(PrintHaplDistMat), 1},
      {"PrintPopDistMat read", "PrintHaplDistMat=0\nPrintPopDistMat=1\n", FIELD(PrintPopDistMat),
       1},
      {"PrintPopDistMat clears it", "PrintHaplDistMat=1\nPrintPopDistMat=0\n",
       FIELD(PrintHaplDistMat), 0},
      {"PrintHaplDistMat alone", "PrintHaplDistMat=1\n", FIELD(PrintHaplDistMat), 1},
      {"PrintHaplDistMat alone", "PrintHaplDistMat=1\n", FIELD(PrintPopDistMat), 0},
      {"EMEstimHaplFreqs decides", "ComputeAllHaplotypesEM=1\nEMEstimHaplFreqs=0\n",
       FIELD(EMEstimHaplFreqs), 0},
      {"ComputeAllHaplotypesEM alone", "ComputeAllHaplotypesEM=1\n", FIELD(EMEstimHaplFreqs), 0},
      {"EMEstimHaplFreqs given", "ComputeAllHaplotypesEM=0\nEMEstimHaplFreqs=1\n",
       FIELD(EMEstimHaplFreqs), 1},
      {"estimate from alleles EM", "ComputeAllAllelesEM=1\n", FIELD(estimateHaplotypes), 1},
      {"estimate from EM", "EMEstimHaplFreqs=1\n", FIELD(estimateHaplotypes), 1},
      {"estimate from Gibbs", "GibbsInferGamPhase=1\n", FIELD(estimateHaplotypes), 1},
      {"no estimate", "ComputeAllHaplotypesEM=1\nGibbsBurnIn=5\n", FIELD(estimateHaplotypes), 0},
      {"line 2000 is scanned", filler + "TaskNumber=9\n", FIELD(TaskNumber), 9},
      {"line 2001 is not", filler + "# one more\nTaskNumber=9\n", FIELD(TaskNumber), 0},
      // '=' at position 10: positions 11..99 are copied (89 bytes).
      {"copy stops at position 100", "TaskNumber=" + std::string(85, '0') + "12345\n",
       FIELD(TaskNumber), 1234},
      // '=' at position 99 or later: nothing can be copied, the line does not count.
      {"'=' at position 99", std::string(89, ' ') + "TaskNumber=5\nTaskNumber=4\n",
       FIELD(TaskNumber), 4},
      {"CR LF", "TaskNumber=513\r\nEpsilonValue=0.5\r\n", FIELD(TaskNumber), 513},
      {"CR LF", "TaskNumber=513\r\nEpsilonValue=0.5\r\n", FIELD(EpsilonValue), 0.5},
  };
#undef FIELD
  for (const Case& c : cases) {
    EXPECT_EQ(c.get(read(c.text)), c.expected) << c.key << ": " << c.why;
  }
}

TEST_F(SettingsFile, SimFileNameIsTextOfUpTo400LinePositions) {
  EXPECT_EQ(read("SimFileNameForFDist2=sims/FDist2 run.txt\n").SimFileNameForFDist2,
            "sims/FDist2 run.txt");
  EXPECT_EQ(read("TaskNumber=1\r\nSimFileNameForFDist2=a.txt\r\n").SimFileNameForFDist2, "a.txt");
  // '=' at position 20: positions 21..399 are copied (379 bytes).
  const std::string name(500, 'n');
  EXPECT_EQ(read("SimFileNameForFDist2=" + name + "\n").SimFileNameForFDist2.str(),
            std::string(379, 'n'));
}

TEST_F(SettingsFile, VeryLongLineIsOneLine) {
  // A reader with a fixed line buffer of 1,001,099 bytes would cut this line in
  // two: its tail would read as the key line TaskNumber=7, and the extra line
  // would push the real key line past the 2000-line limit.
  const std::string long_line = std::string(1001099, 'x') + "TaskNumber=7\n";
  std::string filler;
  for (int i = 0; i < 1998; ++i) filler += "#\n";
  EXPECT_EQ(read(long_line + filler + "TaskNumber=3\n").TaskNumber, 3);  // line 2000
  EXPECT_EQ(read(long_line + "TaskNumber=3").TaskNumber, 3);             // no final line feed
}

// ------------------------------------------------------- lookup function

TEST_F(SettingsFile, GetPrivateProfileString) {
  char buffer[100];
  const my_string path = write("[Setting for Calculations]\nGammaAValue = 0.25\nK=abcdefgh\n");
  EXPECT_EQ(GetPrivateProfileString("Setting for Calculations", "GammaAValue", "9", buffer, 100,
                                    path.c_str()),
            1);
  EXPECT_STREQ(buffer, " 0.25");
  // '=' at position 1: positions 2..5 fit a buffer of 6 bytes.
  EXPECT_EQ(GetPrivateProfileString("", "K", "", buffer, 6, path.c_str()), 1);
  EXPECT_STREQ(buffer, "abcd");
  // Absent key or file: empty, and the default text is not used.
  std::strcpy(buffer, "stale");
  EXPECT_EQ(GetPrivateProfileString("", "XMLOutput", "1", buffer, 100, path.c_str()), 0);
  EXPECT_STREQ(buffer, "");
  std::strcpy(buffer, "stale");
  const std::string absent = (dir_ / "absent.qns").string();
  EXPECT_EQ(GetPrivateProfileString("", "TaskNumber", "", buffer, 100, absent.c_str()), 0);
  EXPECT_STREQ(buffer, "");
}

// -------------------------------------------------------- example file

TEST(ExampleSettingsFile, ReadsAsDefaultsExceptTheSelectedAnalyses) {
  settings s;
  s.GibbsOutputGamPhase = 5;
  s.read_settings(my_string(QND_EXAMPLES "/qnd_run.qns"));
  // Standard indices, molecular diversity, LD, Tajima, AMOVA, pairwise FST and Fu.
  EXPECT_EQ(s.TaskNumber, 1 + 2 + 16 + 64 + 512 + 1024 + 16384);
  EXPECT_EQ(s.HaplAMOVA, 1);
  EXPECT_EQ(s.ComputePairwiseFST, 1);
  EXPECT_EQ(s.NumPermutationsAMOVA, 100);
  EXPECT_EQ(s.NumSimulFuTest, 100);
  EXPECT_EQ(s.GibbsOutputGamPhase, 0);
  // Every other key keeps the default of the table.
  s.HaplAMOVA = 0;
  s.ComputePairwiseFST = 0;
  s.NumPermutationsAMOVA = 1000;
  s.NumSimulFuTest = 1000;
  expect_table_defaults(s);
  EXPECT_EQ(s.estimateHaplotypes, 0);  // no haplotype estimation selected
}

TEST(ExampleSettingsFile, EveryKeyIsFoundOnItsOwnLine) {
  std::ifstream in(QND_EXAMPLES "/qnd_run.qns");
  ASSERT_TRUE(in);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), "[Setting for Calculations]");
  std::set<std::string> keys;
  for (const std::string& line : lines) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq);
    EXPECT_TRUE(keys.insert(key).second) << key << " listed twice";
    // The first line holding the key text and an '=' must be the key's own.
    for (const std::string& other : lines) {
      if (other.find(key) != std::string::npos && other.find('=') != std::string::npos) {
        EXPECT_EQ(other.substr(0, eq + 1), key + "=") << key << " captured by " << other;
        break;
      }
    }
  }
  EXPECT_EQ(keys.size(), 127u);
}

// ------------------------------------------------------ number reading

TEST(IntegerReading, DigitRuleWithSignsAnd32BitWrap) {
  const std::pair<const char*, long> cases[] = {
      {"42", 42},
      {"-42", -42},
      {" 4 2x", 42},
      {"0.05", 5},
      {"1,000", 1000},
      {"", 0},
      {"abc", 0},
      // Every '-' negates what is accumulated, scanning from the right:
      // "4-2" is 2, negated to -2, then 4 x 10 added: 38.
      {"--5", 5},
      {"4-2", 38},
      {"5-", 5},
      // 32-bit wrap; eleven digits: 10^10 - 2 x 2^32 = 1410065408.
      {"2147483647", 2147483647L},
      {"2147483648", -2147483648L},
      {"4294967295", -1},
      {"4294967296", 0},
      {"-2147483648", -2147483648L},
      {"10000000000", 1410065408L}};
  for (const auto& [text, expected] : cases) EXPECT_EQ(my_atol(text), expected) << '"' << text;
  EXPECT_EQ(my_atoi("17"), 17);
  EXPECT_EQ(my_atoi("4294967297"), 1);
}

TEST(DecimalReading, PartsRuleSkipsOtherBytes) {
  const std::pair<const char*, double> cases[] = {
      {"0.05", 0.05},  {"1e-05", 1e-05}, {"1d3", 1000.0},  {"1e-07", 1e-07},
      {"-2.5", -2.5},  {"1.5e2", 150.0}, {"3", 3.0},       {".5", 0.5},
      {"", 0.0},       {"1e+2", 100.0},  // '+' is skipped like any other byte
      {"1,5", 15.0},   {"0.0 5", 0.05},  // fraction digits 0 and 5 (the blank skipped): 5 / 10^2
      {" -0.5", -0.5}, {"\t2.25", 2.25}, {"1E-05", 1e-05}, {"2D2", 200.0}};
  for (const auto& [text, expected] : cases) EXPECT_EQ(my_atof(text), expected) << '"' << text;
}

TEST(DecimalReading, LongDigitRunsDoNotWrap) {
  EXPECT_DOUBLE_EQ(my_atof("0.333333333333333333333333"), 1.0 / 3.0);
  EXPECT_DOUBLE_EQ(my_atof("12345678901.5"), 12345678901.5);
  EXPECT_DOUBLE_EQ(my_atof("0.12345678901"), 0.12345678901);
}

}  // namespace
