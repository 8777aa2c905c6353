// Settings: the defaults (settings_defaults.txt), the reset, the key lookup and
// the number reading rules on the cases of settings_cases.txt, the limits of a
// settings file (2000 lines, lines of any length), and the example file.
#include "settings/settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <tuple>

#include "base/case_table.h"
#include "cli/temp_dir.h"

namespace {

// clang-format off
#define QND_SETTINGS_KEYS(X) \
X(XMLOutput) X(qndecore64) X(DeletionWeight) X(TransitionWeight) X(TranversionWeight) \
X(ComputeSumStatsWithinGroups) X(InferHaplotypeDefinitionFromDistanceMatrix) \
X(EliminateRedondHaplodefs) X(AllowedLevelOfMissingData) X(GameticPhaseIsKnown) \
X(HardyWeinbergTestType) X(MakeHWExactTest) X(MarkovChainStepsHW) \
X(MarkovChainDememorisationStepsHW) X(PrecisionOnPValueHW) X(SignificanceLevelHW) \
X(TypeOfTestHW) X(LinkageDisequilibriumTestType) X(MakeExactTestLD) X(MarkovChainStepsLD) \
X(MarkovChainDememorisationStepsLD) X(PrecisionOnPValueLD) X(SignificanceLevelLD) \
X(PrintFlagHistogramLD) X(InitialCondEMLD) X(ComputeDvalues) X(ComputeStandardDiversityIndices) \
X(ComputeAllAlleleFreqs) X(ComputeMissDataFreq) X(DistanceMethod) X(GammaAValue) \
X(PrintHaplDistMat) X(ComputeTheta) X(PrintPopDistMat) X(ComputePopSFS) X(ComputeJointSFS) \
X(ComputeMultiSFS) X(NumBootSFS) X(MismatchDistanceMethod) X(MismatchDemogExp) \
X(MismatchSpatialExp) X(MismatchSpatialExpNumParams) X(MismatchGammaAValue) X(NumBootExpDem) \
X(InitialConditionsEM) X(MaximumNumOfIterationsEM) X(RecessiveAllelesEM) \
X(CompactHaplotypeDataBaseEM) X(NumBootstrapReplicatesEM) X(NumInitCondBootstrapEM) \
X(ComputeAllSubHaplotypesEM) X(ComputeAllAllelesEM) X(EpsilonValue) X(FrequencyThreshold) \
X(ComputeConventionalFST) X(IncludeIndividualLevel) X(HaplAMOVA) X(LocByLocAMOVA) \
X(PopSpecificFST) X(PopSpecificFIS) X(ComputeDistanceMatrixAMOVA) X(DistanceMethodAMOVA) \
X(GammaAValueAMOVA) X(PrintDistanceMatrix) X(TestSignificancePairewiseFST) \
X(NumPermutationsFST) X(ComputePairwiseFST) X(ComputeDeltaMuSqr) X(FSTSignifLevel) \
X(TestSignificanceAMOVA) X(NumPermutationsAMOVA) X(NumPermutPopDiff) X(NumDememoPopDiff) \
X(PrecProbPopDiff) X(PrintHistoPopDiff) X(SignLevelPopDiff) X(DetectSelectedLoci) \
X(UseHierarchicalIslandModel) X(NumberOfGroupsForFDist2) X(NumberOfDemesForFDist2) \
X(NumberOfSimsForFDist2) X(UseSimFileForFDist2) X(TargetHetLowBound) X(TargetHetHighBound) \
X(MinDafFreq) X(IterativeProcForFDist2) X(EwensWattersonHomozygosityTest) \
X(NumIterationsNeutralityTests) X(NumSimulFuTest) X(NumPermMantel) X(IsFontKnown) \
X(NbFrontSegments) X(SegmentLength) X(NumOfGroups) X(DiffusionMode) X(NbFrontPerm) \
X(PrintFstVals) X(PrintConcestryCoeff) X(PrintSlatkinsDist) X(PrintMissIntermatchs) \
X(UnequalPopSizeDiv) X(PrintMinSpannNetworkPop) X(PrintMinSpannNetworkGlob) X(KeepNullDistrib) \
X(EMEstimHaplFreqs) X(EMEstimateInbreedingCoeff) X(EMInbreedingFixedVal) X(EMUseZipper) \
X(EMWinSize) X(EMLociRandOrder) X(EMInbreedingEachLocus) X(EMCheckPhenRedundancy) \
X(EMCompGamPhaseForAllInitConds) X(EMNumZipRandOrders) X(GibbsInferGamPhase) X(GibbsBurnIn) \
X(GibbsSamplingInterval) X(GibbsNumSamples) X(GibbsAlphaInitValue) X(GibbsEpsilonValue) \
X(GibbsGamma) X(GibbsHetSiteInfluenceZone) X(GibbsPercentageOfRecSteps) X(TaskNumber) \
X(GibbsOutputGamPhase) X(estimateHaplotypes)
// clang-format on

using Field = std::function<double(const settings&)>;
#define QND_FIELD(f) {#f, [](const settings& s) { return static_cast<double>(s.f); }},
const std::map<std::string, Field> kFields = {QND_SETTINGS_KEYS(QND_FIELD)};
#undef QND_FIELD

// Checks every key of the defaults table: at its default, or at 0.
void expect_defaults(const settings& s, bool zero) {
  for (const qnd_test::CaseRow& row : qnd_test::read_cases("settings/settings_defaults.txt"))
    EXPECT_EQ(kFields.at(row[0])(s), zero ? 0.0 : std::strtod(row[1].c_str(), nullptr)) << row[0];
  EXPECT_EQ(s.SimFileNameForFDist2, "");
}

settings read(const qnd_test::TempDir& dir, const std::string& text) {
  qnd_test::write_file(dir.file("run.qns"), text);
  settings s;
  s.read_settings(my_string(dir.file("run.qns").c_str()));
  return s;
}

}  // namespace

TEST(Settings, DefaultsAndResetKeepingTheProfileAndUnreadKeys) {
  settings s;
  EXPECT_EQ(s.TaskNumber, 0);
  expect_defaults(s, false);
  for (const int genotypic : {0, 1}) {
    for (const int phase_known : {0, 1}) {
      s.TaskNumber = 513;
      s.EpsilonValue = 3.0;
      s.SimFileNameForFDist2 = "sims.txt";
      s.appendResults = s.estimateHaplotypes = 0;
      s.genotypicData = genotypic;
      s.gameticPhaseKnown = phase_known;
      s.ComputeAllAlleleFreqs = s.ComputeMissDataFreq = true;
      s.MismatchSpatialExpNumParams = 3;
      s.EMNumZipRandOrders = 4;
      s.reset_initial_values();
      // Back to the defaults, but the profile's flags and the keys that only
      // reading sets are kept.
      EXPECT_EQ(
          std::make_tuple(s.TaskNumber, s.EpsilonValue, s.SimFileNameForFDist2.str(),
                          s.appendResults, s.estimateHaplotypes, s.genotypicData,
                          s.gameticPhaseKnown, s.ComputeAllAlleleFreqs, s.ComputeMissDataFreq,
                          s.MismatchSpatialExpNumParams, s.EMNumZipRandOrders),
          std::make_tuple(0, 1e-07, std::string(), 1, 1, genotypic, phase_known, true, true, 3, 4));
      // Fewer steps only for genotypes of unknown phase.
      EXPECT_EQ(s.MarkovChainStepsLD, genotypic && !phase_known ? 1000 : 100000);
    }
  }
}

TEST(Settings, ReadingRulesOnTheCaseTable) {
  const qnd_test::TempDir dir;
  for (const qnd_test::CaseRow& row : qnd_test::read_cases("settings/settings_cases.txt")) {
    SCOPED_TRACE(testing::Message() << "settings_cases.txt line " << row.line);
    const std::string& kind = row[0];
    double got = 0;
    if (kind == "file") got = kFields.at(row[2])(read(dir, row[1]));
    EXPECT_TRUE(kind != "text" || read(dir, row[1]).SimFileNameForFDist2.str() == row[3]);
    if (kind == "atol") got = static_cast<double>(my_atol(row[1].c_str()));
    if (kind == "atoi") got = my_atoi(row[1].c_str());
    if (kind == "atof") got = my_atof(row[1].c_str());
    EXPECT_EQ(kind == "profile" || kind == "text" ? 0 : got,
              kind == "profile" || kind == "text" ? 0 : std::strtod(row[3].c_str(), nullptr));
    if (kind != "profile") continue;
    qnd_test::write_file(dir.file("p.qns"), row[1]);
    char buffer[100] = "stale";
    const std::string key = row[2].substr(0, row[2].find(' '));
    const int size = std::atoi(row[2].c_str() + key.size());
    const int found =
        GetPrivateProfileString("S", key.c_str(), "9", buffer, size, dir.file("p.qns").c_str());
    EXPECT_EQ(std::to_string(found) + " " + buffer, row[3]);
  }
  char buffer[100] = "stale";  // an absent file: nothing found
  EXPECT_EQ(GetPrivateProfileString("", "K", "1", buffer, 100, dir.file("no.qns").c_str()), 0);
  EXPECT_STREQ(buffer, "");
}

TEST(Settings, AbsentKeysReadAsZeroAndOnlyGibbsOutputGamPhaseIsKept) {
  const qnd_test::TempDir dir;
  qnd_test::write_file(dir.file("run.qns"), "TaskNumber=513\n");
  for (const std::string name : {"run.qns", "absent.qns"}) {
    settings s;
    s.GibbsOutputGamPhase = 7;
    s.read_settings(my_string(dir.file(name).c_str()));
    EXPECT_EQ(s.TaskNumber, name == "run.qns" ? 513 : 0);
    EXPECT_EQ(s.GibbsOutputGamPhase, 7);
    expect_defaults(s, true);
    EXPECT_EQ(s.estimateHaplotypes, 0);
  }
}

TEST(Settings, ExampleFileReadsAsDefaultsExceptTheSelectedAnalyses) {
  settings s;
  s.GibbsOutputGamPhase = 5;
  s.read_settings(my_string(QND_EXAMPLES "/qnd_run.qns"));
  // Standard indices, molecular diversity, LD, Tajima, AMOVA, pairwise FST and Fu.
  EXPECT_EQ(s.TaskNumber, 1 + 2 + 16 + 64 + 512 + 1024 + 16384);
  EXPECT_EQ(s.HaplAMOVA + s.ComputePairwiseFST, 2);
  EXPECT_EQ(s.NumPermutationsAMOVA + s.NumSimulFuTest, 200);
  EXPECT_EQ(s.GibbsOutputGamPhase, 0);
  EXPECT_EQ(s.estimateHaplotypes, 0);
  s.HaplAMOVA = s.ComputePairwiseFST = 0;
  s.NumPermutationsAMOVA = s.NumSimulFuTest = 1000;
  expect_defaults(s, false);
}
