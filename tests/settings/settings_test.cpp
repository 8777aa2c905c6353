// Settings file reading: defaults, the key lookup rule (substring match, first
// line with '=' and a value, 2000 lines, buffer sizes), the integer and decimal
// reading rules, the special keys, and the example settings file.
#include "settings/settings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Every key's default as the settings table gives it (TaskNumber aside).
void expect_table_defaults(const settings& s) {
  EXPECT_EQ(s.XMLOutput, 1);
  EXPECT_EQ(s.qndecore64, 1);
  EXPECT_DOUBLE_EQ(s.DeletionWeight, 1.0);
  EXPECT_DOUBLE_EQ(s.TransitionWeight, 1.0);
  EXPECT_DOUBLE_EQ(s.TranversionWeight, 1.0);
  EXPECT_EQ(s.ComputeSumStatsWithinGroups, 0);
  EXPECT_EQ(s.InferHaplotypeDefinitionFromDistanceMatrix, 0);
  EXPECT_EQ(s.EliminateRedondHaplodefs, 0);
  EXPECT_DOUBLE_EQ(s.AllowedLevelOfMissingData, 0.05);
  EXPECT_EQ(s.GameticPhaseIsKnown, 0);
  EXPECT_EQ(s.HardyWeinbergTestType, 0);
  EXPECT_EQ(s.MakeHWExactTest, 0);
  EXPECT_EQ(s.MarkovChainStepsHW, 1000000);
  EXPECT_EQ(s.MarkovChainDememorisationStepsHW, 100000);
  EXPECT_DOUBLE_EQ(s.PrecisionOnPValueHW, 0.0);
  EXPECT_EQ(s.SignificanceLevelHW, 2);
  EXPECT_EQ(s.TypeOfTestHW, 0);
  EXPECT_EQ(s.LinkageDisequilibriumTestType, 0);
  EXPECT_EQ(s.MakeExactTestLD, 0);
  EXPECT_EQ(s.MarkovChainStepsLD, 100000);
  EXPECT_EQ(s.MarkovChainDememorisationStepsLD, 1000);
  EXPECT_DOUBLE_EQ(s.PrecisionOnPValueLD, 0.0);
  EXPECT_DOUBLE_EQ(s.SignificanceLevelLD, 0.05);
  EXPECT_EQ(s.PrintFlagHistogramLD, 0);
  EXPECT_EQ(s.InitialCondEMLD, 2);
  EXPECT_EQ(s.ComputeDvalues, 0);
  EXPECT_EQ(s.ComputeStandardDiversityIndices, 0);
  EXPECT_EQ(s.ComputeAllAlleleFreqs, false);
  EXPECT_EQ(s.ComputeMissDataFreq, false);
  EXPECT_EQ(s.DistanceMethod, 0);
  EXPECT_DOUBLE_EQ(s.GammaAValue, 0.0);
  EXPECT_EQ(s.PrintHaplDistMat, 0);
  EXPECT_EQ(s.ComputeTheta, 0);
  EXPECT_EQ(s.PrintPopDistMat, 0);
  EXPECT_EQ(s.ComputePopSFS, 0);
  EXPECT_EQ(s.ComputeJointSFS, 0);
  EXPECT_EQ(s.ComputeMultiSFS, 0);
  EXPECT_EQ(s.NumBootSFS, 0);
  EXPECT_EQ(s.MismatchDistanceMethod, 0);
  EXPECT_EQ(s.MismatchDemogExp, false);
  EXPECT_EQ(s.MismatchSpatialExp, false);
  EXPECT_EQ(s.MismatchSpatialExpNumParams, 0);
  EXPECT_DOUBLE_EQ(s.MismatchGammaAValue, 0.0);
  EXPECT_EQ(s.NumBootExpDem, 100);
  EXPECT_EQ(s.InitialConditionsEM, 50);
  EXPECT_EQ(s.MaximumNumOfIterationsEM, 1000);
  EXPECT_EQ(s.RecessiveAllelesEM, 0);
  EXPECT_EQ(s.CompactHaplotypeDataBaseEM, 0);
  EXPECT_EQ(s.NumBootstrapReplicatesEM, 0);
  EXPECT_EQ(s.NumInitCondBootstrapEM, 10);
  EXPECT_EQ(s.ComputeAllSubHaplotypesEM, 0);
  EXPECT_EQ(s.ComputeAllAllelesEM, 0);
  EXPECT_DOUBLE_EQ(s.EpsilonValue, 1e-07);
  EXPECT_DOUBLE_EQ(s.FrequencyThreshold, 1e-05);
  EXPECT_EQ(s.ComputeConventionalFST, 0);
  EXPECT_EQ(s.IncludeIndividualLevel, 0);
  EXPECT_EQ(s.HaplAMOVA, 0);
  EXPECT_EQ(s.LocByLocAMOVA, 0);
  EXPECT_EQ(s.PopSpecificFST, 0);
  EXPECT_EQ(s.PopSpecificFIS, 0);
  EXPECT_EQ(s.ComputeDistanceMatrixAMOVA, 1);
  EXPECT_EQ(s.DistanceMethodAMOVA, 0);
  EXPECT_DOUBLE_EQ(s.GammaAValueAMOVA, 0.0);
  EXPECT_EQ(s.PrintDistanceMatrix, 0);
  EXPECT_EQ(s.TestSignificancePairewiseFST, 0);
  EXPECT_EQ(s.NumPermutationsFST, 100);
  EXPECT_EQ(s.ComputePairwiseFST, 0);
  EXPECT_EQ(s.ComputeDeltaMuSqr, 0);
  EXPECT_DOUBLE_EQ(s.FSTSignifLevel, 0.05);
  EXPECT_EQ(s.TestSignificanceAMOVA, 0);
  EXPECT_EQ(s.NumPermutationsAMOVA, 1000);
  EXPECT_EQ(s.NumPermutPopDiff, 100000);
  EXPECT_EQ(s.NumDememoPopDiff, 10000);
  EXPECT_DOUBLE_EQ(s.PrecProbPopDiff, 0.0);
  EXPECT_EQ(s.PrintHistoPopDiff, 1);
  EXPECT_DOUBLE_EQ(s.SignLevelPopDiff, 0.05);
  EXPECT_EQ(s.DetectSelectedLoci, 0);
  EXPECT_EQ(s.UseHierarchicalIslandModel, 0);
  EXPECT_EQ(s.NumberOfGroupsForFDist2, 10);
  EXPECT_EQ(s.NumberOfDemesForFDist2, 100);
  EXPECT_EQ(s.NumberOfSimsForFDist2, 20000);
  EXPECT_EQ(s.UseSimFileForFDist2, 0);
  EXPECT_EQ(s.SimFileNameForFDist2, "");
  EXPECT_DOUBLE_EQ(s.TargetHetLowBound, 0.0);
  EXPECT_DOUBLE_EQ(s.TargetHetHighBound, 1.0);
  EXPECT_DOUBLE_EQ(s.MinDafFreq, 0.0);
  EXPECT_EQ(s.IterativeProcForFDist2, 0);
  EXPECT_EQ(s.EwensWattersonHomozygosityTest, 0);
  EXPECT_EQ(s.NumIterationsNeutralityTests, 1000);
  EXPECT_EQ(s.NumSimulFuTest, 1000);
  EXPECT_EQ(s.NumPermMantel, 1000);
  EXPECT_EQ(s.IsFontKnown, 0);
  EXPECT_EQ(s.NbFrontSegments, 0);
  EXPECT_DOUBLE_EQ(s.SegmentLength, 0.0);
  EXPECT_EQ(s.NumOfGroups, 1);
  EXPECT_EQ(s.DiffusionMode, 2);
  EXPECT_EQ(s.NbFrontPerm, 0);
  EXPECT_EQ(s.PrintFstVals, 0);
  EXPECT_EQ(s.PrintConcestryCoeff, 0);
  EXPECT_EQ(s.PrintSlatkinsDist, 0);
  EXPECT_EQ(s.PrintMissIntermatchs, 0);
  EXPECT_EQ(s.UnequalPopSizeDiv, 0);
  EXPECT_EQ(s.PrintMinSpannNetworkPop, 0);
  EXPECT_EQ(s.PrintMinSpannNetworkGlob, 0);
  EXPECT_EQ(s.KeepNullDistrib, 0);
  EXPECT_EQ(s.EMEstimHaplFreqs, 0);
  EXPECT_EQ(s.EMEstimateInbreedingCoeff, 0);
  EXPECT_DOUBLE_EQ(s.EMInbreedingFixedVal, 0.0);
  EXPECT_EQ(s.EMUseZipper, 0);
  EXPECT_EQ(s.EMWinSize, 1);
  EXPECT_EQ(s.EMLociRandOrder, 0);
  EXPECT_EQ(s.EMInbreedingEachLocus, 0);
  EXPECT_EQ(s.EMCheckPhenRedundancy, 0);
  EXPECT_EQ(s.EMCompGamPhaseForAllInitConds, 0);
  EXPECT_EQ(s.EMNumZipRandOrders, 0);
  EXPECT_EQ(s.GibbsInferGamPhase, 0);
  EXPECT_EQ(s.GibbsBurnIn, 100000);
  EXPECT_EQ(s.GibbsSamplingInterval, 500);
  EXPECT_EQ(s.GibbsNumSamples, 2000);
  EXPECT_DOUBLE_EQ(s.GibbsAlphaInitValue, 0.01);
  EXPECT_DOUBLE_EQ(s.GibbsEpsilonValue, 0.01);
  EXPECT_DOUBLE_EQ(s.GibbsGamma, 0.0);
  EXPECT_EQ(s.GibbsHetSiteInfluenceZone, 5);
  EXPECT_DOUBLE_EQ(s.GibbsPercentageOfRecSteps, 0.0);
  EXPECT_EQ(s.GibbsOutputGamPhase, 0);
}

// Every key that a file does not give reads as 0 (GibbsOutputGamPhase aside).
void expect_all_keys_zero(const settings& s) {
  EXPECT_EQ(s.XMLOutput, 0);
  EXPECT_EQ(s.qndecore64, 0);
  EXPECT_EQ(s.DeletionWeight, 0.0);
  EXPECT_EQ(s.TransitionWeight, 0.0);
  EXPECT_EQ(s.TranversionWeight, 0.0);
  EXPECT_EQ(s.ComputeSumStatsWithinGroups, 0);
  EXPECT_EQ(s.InferHaplotypeDefinitionFromDistanceMatrix, 0);
  EXPECT_EQ(s.EliminateRedondHaplodefs, 0);
  EXPECT_EQ(s.AllowedLevelOfMissingData, 0.0);
  EXPECT_EQ(s.GameticPhaseIsKnown, 0);
  EXPECT_EQ(s.HardyWeinbergTestType, 0);
  EXPECT_EQ(s.MakeHWExactTest, 0);
  EXPECT_EQ(s.MarkovChainStepsHW, 0);
  EXPECT_EQ(s.MarkovChainDememorisationStepsHW, 0);
  EXPECT_EQ(s.PrecisionOnPValueHW, 0.0);
  EXPECT_EQ(s.SignificanceLevelHW, 0);
  EXPECT_EQ(s.TypeOfTestHW, 0);
  EXPECT_EQ(s.LinkageDisequilibriumTestType, 0);
  EXPECT_EQ(s.MakeExactTestLD, 0);
  EXPECT_EQ(s.MarkovChainStepsLD, 0);
  EXPECT_EQ(s.MarkovChainDememorisationStepsLD, 0);
  EXPECT_EQ(s.PrecisionOnPValueLD, 0.0);
  EXPECT_EQ(s.SignificanceLevelLD, 0.0);
  EXPECT_EQ(s.PrintFlagHistogramLD, 0);
  EXPECT_EQ(s.InitialCondEMLD, 0);
  EXPECT_EQ(s.ComputeDvalues, 0);
  EXPECT_EQ(s.ComputeStandardDiversityIndices, 0);
  EXPECT_FALSE(s.ComputeAllAlleleFreqs);
  EXPECT_FALSE(s.ComputeMissDataFreq);
  EXPECT_EQ(s.DistanceMethod, 0);
  EXPECT_EQ(s.GammaAValue, 0.0);
  EXPECT_EQ(s.PrintHaplDistMat, 0);
  EXPECT_EQ(s.ComputeTheta, 0);
  EXPECT_EQ(s.PrintPopDistMat, 0);
  EXPECT_EQ(s.ComputePopSFS, 0);
  EXPECT_EQ(s.ComputeJointSFS, 0);
  EXPECT_EQ(s.ComputeMultiSFS, 0);
  EXPECT_EQ(s.NumBootSFS, 0);
  EXPECT_EQ(s.MismatchDistanceMethod, 0);
  EXPECT_FALSE(s.MismatchDemogExp);
  EXPECT_FALSE(s.MismatchSpatialExp);
  EXPECT_EQ(s.MismatchSpatialExpNumParams, 0);
  EXPECT_EQ(s.MismatchGammaAValue, 0.0);
  EXPECT_EQ(s.NumBootExpDem, 0);
  EXPECT_EQ(s.InitialConditionsEM, 0);
  EXPECT_EQ(s.MaximumNumOfIterationsEM, 0);
  EXPECT_EQ(s.RecessiveAllelesEM, 0);
  EXPECT_EQ(s.CompactHaplotypeDataBaseEM, 0);
  EXPECT_EQ(s.NumBootstrapReplicatesEM, 0);
  EXPECT_EQ(s.NumInitCondBootstrapEM, 0);
  EXPECT_EQ(s.ComputeAllSubHaplotypesEM, 0);
  EXPECT_EQ(s.ComputeAllAllelesEM, 0);
  EXPECT_EQ(s.EpsilonValue, 0.0);
  EXPECT_EQ(s.FrequencyThreshold, 0.0);
  EXPECT_EQ(s.ComputeConventionalFST, 0);
  EXPECT_EQ(s.IncludeIndividualLevel, 0);
  EXPECT_EQ(s.HaplAMOVA, 0);
  EXPECT_EQ(s.LocByLocAMOVA, 0);
  EXPECT_EQ(s.PopSpecificFST, 0);
  EXPECT_EQ(s.PopSpecificFIS, 0);
  EXPECT_EQ(s.ComputeDistanceMatrixAMOVA, 0);
  EXPECT_EQ(s.DistanceMethodAMOVA, 0);
  EXPECT_EQ(s.GammaAValueAMOVA, 0.0);
  EXPECT_EQ(s.PrintDistanceMatrix, 0);
  EXPECT_EQ(s.TestSignificancePairewiseFST, 0);
  EXPECT_EQ(s.NumPermutationsFST, 0);
  EXPECT_EQ(s.ComputePairwiseFST, 0);
  EXPECT_EQ(s.ComputeDeltaMuSqr, 0);
  EXPECT_EQ(s.FSTSignifLevel, 0.0);
  EXPECT_EQ(s.TestSignificanceAMOVA, 0);
  EXPECT_EQ(s.NumPermutationsAMOVA, 0);
  EXPECT_EQ(s.NumPermutPopDiff, 0);
  EXPECT_EQ(s.NumDememoPopDiff, 0);
  EXPECT_EQ(s.PrecProbPopDiff, 0.0);
  EXPECT_EQ(s.PrintHistoPopDiff, 0);
  EXPECT_EQ(s.SignLevelPopDiff, 0.0);
  EXPECT_EQ(s.DetectSelectedLoci, 0);
  EXPECT_EQ(s.UseHierarchicalIslandModel, 0);
  EXPECT_EQ(s.NumberOfGroupsForFDist2, 0);
  EXPECT_EQ(s.NumberOfDemesForFDist2, 0);
  EXPECT_EQ(s.NumberOfSimsForFDist2, 0);
  EXPECT_EQ(s.UseSimFileForFDist2, 0);
  EXPECT_EQ(s.SimFileNameForFDist2, "");
  EXPECT_EQ(s.TargetHetLowBound, 0.0);
  EXPECT_EQ(s.TargetHetHighBound, 0.0);
  EXPECT_EQ(s.MinDafFreq, 0.0);
  EXPECT_EQ(s.IterativeProcForFDist2, 0);
  EXPECT_EQ(s.EwensWattersonHomozygosityTest, 0);
  EXPECT_EQ(s.NumIterationsNeutralityTests, 0);
  EXPECT_EQ(s.NumSimulFuTest, 0);
  EXPECT_EQ(s.NumPermMantel, 0);
  EXPECT_EQ(s.IsFontKnown, 0);
  EXPECT_EQ(s.NbFrontSegments, 0);
  EXPECT_EQ(s.SegmentLength, 0.0);
  EXPECT_EQ(s.NumOfGroups, 0);
  EXPECT_EQ(s.DiffusionMode, 0);
  EXPECT_EQ(s.NbFrontPerm, 0);
  EXPECT_EQ(s.PrintFstVals, 0);
  EXPECT_EQ(s.PrintConcestryCoeff, 0);
  EXPECT_EQ(s.PrintSlatkinsDist, 0);
  EXPECT_EQ(s.PrintMissIntermatchs, 0);
  EXPECT_EQ(s.UnequalPopSizeDiv, 0);
  EXPECT_EQ(s.PrintMinSpannNetworkPop, 0);
  EXPECT_EQ(s.PrintMinSpannNetworkGlob, 0);
  EXPECT_EQ(s.KeepNullDistrib, 0);
  EXPECT_EQ(s.EMEstimHaplFreqs, 0);
  EXPECT_EQ(s.EMEstimateInbreedingCoeff, 0);
  EXPECT_EQ(s.EMInbreedingFixedVal, 0.0);
  EXPECT_EQ(s.EMUseZipper, 0);
  EXPECT_EQ(s.EMWinSize, 0);
  EXPECT_EQ(s.EMLociRandOrder, 0);
  EXPECT_EQ(s.EMInbreedingEachLocus, 0);
  EXPECT_EQ(s.EMCheckPhenRedundancy, 0);
  EXPECT_EQ(s.EMCompGamPhaseForAllInitConds, 0);
  EXPECT_EQ(s.EMNumZipRandOrders, 0);
  EXPECT_EQ(s.GibbsInferGamPhase, 0);
  EXPECT_EQ(s.GibbsBurnIn, 0);
  EXPECT_EQ(s.GibbsSamplingInterval, 0);
  EXPECT_EQ(s.GibbsNumSamples, 0);
  EXPECT_EQ(s.GibbsAlphaInitValue, 0.0);
  EXPECT_EQ(s.GibbsEpsilonValue, 0.0);
  EXPECT_EQ(s.GibbsGamma, 0.0);
  EXPECT_EQ(s.GibbsHetSiteInfluenceZone, 0);
  EXPECT_EQ(s.GibbsPercentageOfRecSteps, 0.0);
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

TEST(SettingsDefaults, ConstructorGivesTableDefaults) {
  const settings s;
  EXPECT_EQ(s.TaskNumber, 0);
  expect_table_defaults(s);
  EXPECT_EQ(s.appendResults, 1);
  EXPECT_EQ(s.estimateHaplotypes, 1);
  EXPECT_EQ(s.genotypicData, 0);
  EXPECT_EQ(s.gameticPhaseKnown, 0);
}

TEST(SettingsDefaults, ResetRestoresDefaultsAfterChanges) {
  settings s;
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

TEST(SettingsDefaults, MarkovChainStepsLDIs1000ForGenotypesOfUnknownPhase) {
  settings s;
  s.genotypicData = 1;
  s.gameticPhaseKnown = 0;
  s.reset_initial_values();
  EXPECT_EQ(s.MarkovChainStepsLD, 1000);
  // The profile's flags are kept by the reset.
  EXPECT_EQ(s.genotypicData, 1);
  EXPECT_EQ(s.gameticPhaseKnown, 0);
}

TEST(SettingsDefaults, MarkovChainStepsLDIs100000OtherwiseIncludingKnownPhase) {
  settings s;
  s.genotypicData = 1;
  s.gameticPhaseKnown = 1;
  s.reset_initial_values();
  EXPECT_EQ(s.MarkovChainStepsLD, 100000);
  s.genotypicData = 0;
  s.gameticPhaseKnown = 0;
  s.reset_initial_values();
  EXPECT_EQ(s.MarkovChainStepsLD, 100000);
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
  EXPECT_EQ(s.GibbsOutputGamPhase, 7);
  EXPECT_EQ(s.estimateHaplotypes, 0);
}

TEST_F(SettingsFile, MissingFileReadsAsAllZero) {
  settings s;
  s.read_settings(my_string((dir_ / "absent.qns").string().c_str()));
  EXPECT_EQ(s.TaskNumber, 0);
  expect_all_keys_zero(s);
  EXPECT_EQ(s.GibbsOutputGamPhase, 0);  // constructor default, kept
}

TEST_F(SettingsFile, GibbsOutputGamPhaseIsReadWhenGiven) {
  EXPECT_EQ(read("GibbsOutputGamPhase=1\n").GibbsOutputGamPhase, 1);
}

TEST_F(SettingsFile, SectionHeadersAndCommentsWithoutEqualSignAreIgnored) {
  const settings s =
      read("[Setting for Calculations]\n# TaskNumber is the bit set of analyses\nTaskNumber=3\n");
  EXPECT_EQ(s.TaskNumber, 3);
}

TEST_F(SettingsFile, CommentLineWithEqualSignIsAMatch) {
  // Lines are not parsed: any line with the key text and an '=' counts.
  EXPECT_EQ(read("# TaskNumber=8\nTaskNumber=3\n").TaskNumber, 8);
}

TEST_F(SettingsFile, EmptyValueDoesNotCountAndSearchGoesOn) {
  EXPECT_EQ(read("TaskNumber=\nTaskNumber=6\n").TaskNumber, 6);
}

TEST_F(SettingsFile, FirstMatchingLineWins) {
  EXPECT_EQ(read("TaskNumber=2\nTaskNumber=6\n").TaskNumber, 2);
}

TEST_F(SettingsFile, KeyMatchIsCaseSensitive) { EXPECT_EQ(read("tasknumber=2\n").TaskNumber, 0); }

TEST_F(SettingsFile, LongerKeyAboveShorterKeyCapturesIt) {
  const settings s = read("MismatchDistanceMethod=1\nDistanceMethod=2\n");
  EXPECT_EQ(s.DistanceMethod, 1);
  EXPECT_EQ(s.MismatchDistanceMethod, 1);
  const settings t = read("DistanceMethod=2\nMismatchDistanceMethod=1\n");
  EXPECT_EQ(t.DistanceMethod, 2);
  EXPECT_EQ(t.MismatchDistanceMethod, 1);
}

TEST_F(SettingsFile, IntegerKeysUseTheDigitRule) {
  const settings s = read("NumPermutationsFST=1,000\nSignificanceLevelHW=0.05\nTaskNumber= -2\n");
  EXPECT_EQ(s.NumPermutationsFST, 1000);
  EXPECT_EQ(s.SignificanceLevelHW, 5);
  EXPECT_EQ(s.TaskNumber, -2);
}

TEST_F(SettingsFile, DoubleAndBoolKeys) {
  const settings s =
      read("EpsilonValue=1e-05\nGammaAValue=0.5\nMismatchDemogExp=2\nMismatchSpatialExp=0\n");
  EXPECT_EQ(s.EpsilonValue, 1e-05);
  EXPECT_EQ(s.GammaAValue, 0.5);
  EXPECT_TRUE(s.MismatchDemogExp);
  EXPECT_FALSE(s.MismatchSpatialExp);
}

TEST_F(SettingsFile, PrecProbPopDiffIsReadAsWholeNumber) {
  EXPECT_EQ(read("PrecProbPopDiff=0.5\n").PrecProbPopDiff, 5.0);
}

TEST_F(SettingsFile, PrintPopDistMatAlsoSetsPrintHaplDistMat) {
  const settings s = read("PrintHaplDistMat=0\nPrintPopDistMat=1\n");
  EXPECT_EQ(s.PrintHaplDistMat, 1);
  EXPECT_EQ(s.PrintPopDistMat, 1);
  const settings t = read("PrintHaplDistMat=1\nPrintPopDistMat=0\n");
  EXPECT_EQ(t.PrintHaplDistMat, 0);
  const settings u = read("PrintHaplDistMat=1\n");
  EXPECT_EQ(u.PrintHaplDistMat, 1);
  EXPECT_EQ(u.PrintPopDistMat, 0);
}

TEST_F(SettingsFile, EMEstimHaplFreqsDecidesOverComputeAllHaplotypesEM) {
  EXPECT_EQ(read("ComputeAllHaplotypesEM=1\nEMEstimHaplFreqs=0\n").EMEstimHaplFreqs, 0);
  EXPECT_EQ(read("ComputeAllHaplotypesEM=1\n").EMEstimHaplFreqs, 0);
  EXPECT_EQ(read("ComputeAllHaplotypesEM=0\nEMEstimHaplFreqs=1\n").EMEstimHaplFreqs, 1);
}

TEST_F(SettingsFile, EstimateHaplotypesDerivedFromThreeKeys) {
  EXPECT_EQ(read("ComputeAllAllelesEM=1\n").estimateHaplotypes, 1);
  EXPECT_EQ(read("EMEstimHaplFreqs=1\n").estimateHaplotypes, 1);
  EXPECT_EQ(read("GibbsInferGamPhase=1\n").estimateHaplotypes, 1);
  EXPECT_EQ(read("ComputeAllHaplotypesEM=1\nGibbsBurnIn=5\n").estimateHaplotypes, 0);
}

TEST_F(SettingsFile, OnlyTheFirst2000LinesAreScanned) {
  std::string filler;
  for (int i = 0; i < 1999; ++i) filler += "# filler line\n";
  EXPECT_EQ(read(filler + "TaskNumber=9\n").TaskNumber, 9);              // line 2000
  EXPECT_EQ(read(filler + "# one more\nTaskNumber=9\n").TaskNumber, 0);  // line 2001
}

TEST_F(SettingsFile, ValueCopyStopsAtLinePosition100) {
  // '=' at position 10: positions 11..99 are copied (89 bytes).
  const std::string zeros(85, '0');
  EXPECT_EQ(read("TaskNumber=" + zeros + "12345\n").TaskNumber, 1234);
  // '=' at position 99 or later: nothing can be copied, the line does not count.
  const std::string pad(89, ' ');
  EXPECT_EQ(read(pad + "TaskNumber=5\nTaskNumber=4\n").TaskNumber, 4);
}

TEST_F(SettingsFile, SimFileNameIsTextOfUpTo400LinePositions) {
  EXPECT_EQ(read("SimFileNameForFDist2=sims/FDist2 run.txt\n").SimFileNameForFDist2,
            "sims/FDist2 run.txt");
  // '=' at position 20: positions 21..399 are copied (379 bytes).
  const std::string name(500, 'n');
  EXPECT_EQ(read("SimFileNameForFDist2=" + name + "\n").SimFileNameForFDist2.str(),
            std::string(379, 'n'));
}

TEST_F(SettingsFile, CarriageReturnLineEndsGiveSameValues) {
  const settings s = read("TaskNumber=513\r\nSimFileNameForFDist2=a.txt\r\nEpsilonValue=0.5\r\n");
  EXPECT_EQ(s.TaskNumber, 513);
  EXPECT_EQ(s.SimFileNameForFDist2, "a.txt");
  EXPECT_EQ(s.EpsilonValue, 0.5);
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

TEST_F(SettingsFile, GetPrivateProfileStringFindsValue) {
  const my_string path = write("[Setting for Calculations]\nGammaAValue = 0.25\n");
  char buffer[100];
  EXPECT_EQ(GetPrivateProfileString("Setting for Calculations", "GammaAValue", "9", buffer, 100,
                                    path.c_str()),
            1);
  EXPECT_STREQ(buffer, " 0.25");
}

TEST_F(SettingsFile, GetPrivateProfileStringEmptyWhenAbsent) {
  const my_string path = write("TaskNumber=1\n");
  char buffer[100] = "stale";
  EXPECT_EQ(GetPrivateProfileString("", "XMLOutput", "1", buffer, 100, path.c_str()), 0);
  EXPECT_STREQ(buffer, "");  // the default text is not used
  std::strcpy(buffer, "stale");
  const std::string absent = (dir_ / "absent.qns").string();
  EXPECT_EQ(GetPrivateProfileString("", "TaskNumber", "", buffer, 100, absent.c_str()), 0);
  EXPECT_STREQ(buffer, "");
}

TEST_F(SettingsFile, GetPrivateProfileStringRespectsBufferSize) {
  const my_string path = write("K=abcdefgh\n");
  char buffer[6];
  // '=' at position 1: positions 2..5 fit a buffer of 6 bytes.
  EXPECT_EQ(GetPrivateProfileString("", "K", "", buffer, 6, path.c_str()), 1);
  EXPECT_STREQ(buffer, "abcd");
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
  // Every other key keeps the default of the table.
  s.TaskNumber = 0;
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

TEST(IntegerReading, DigitRuleExamples) {
  EXPECT_EQ(my_atol("42"), 42);
  EXPECT_EQ(my_atol("-42"), -42);
  EXPECT_EQ(my_atol(" 4 2x"), 42);
  EXPECT_EQ(my_atol("0.05"), 5);
  EXPECT_EQ(my_atol("1,000"), 1000);
  EXPECT_EQ(my_atol(""), 0);
  EXPECT_EQ(my_atol("abc"), 0);
  EXPECT_EQ(my_atoi("17"), 17);
}

TEST(IntegerReading, EveryMinusNegatesWhatIsAccumulated) {
  EXPECT_EQ(my_atol("--5"), 5);
  // Scanned from the right: 2, negated to -2, then 4 x 10 added: 38.
  EXPECT_EQ(my_atol("4-2"), 38);
  EXPECT_EQ(my_atol("5-"), 5);  // a '-' on the right meets nothing yet
}

TEST(IntegerReading, ArithmeticWrapsAt32Bits) {
  EXPECT_EQ(my_atol("2147483647"), 2147483647L);
  EXPECT_EQ(my_atol("2147483648"), -2147483648L);
  EXPECT_EQ(my_atol("4294967295"), -1);
  EXPECT_EQ(my_atol("4294967296"), 0);
  EXPECT_EQ(my_atol("-2147483648"), -2147483648L);
  // Eleven digits: 10^10 wraps to 1410065408 (10^10 - 2 x 2^32).
  EXPECT_EQ(my_atol("10000000000"), 1410065408L);
  EXPECT_EQ(my_atoi("4294967297"), 1);
}

TEST(DecimalReading, PartsExamples) {
  EXPECT_EQ(my_atof("0.05"), 0.05);
  EXPECT_EQ(my_atof("1e-05"), 1e-05);
  EXPECT_EQ(my_atof("1d3"), 1000.0);
  EXPECT_EQ(my_atof("1e-07"), 1e-07);
  EXPECT_EQ(my_atof("-2.5"), -2.5);
  EXPECT_EQ(my_atof("1.5e2"), 150.0);
  EXPECT_EQ(my_atof("3"), 3.0);
  EXPECT_EQ(my_atof(".5"), 0.5);
  EXPECT_EQ(my_atof(""), 0.0);
  EXPECT_EQ(my_atof("1e+2"), 100.0);  // '+' is skipped like any other byte
}

TEST(DecimalReading, OtherBytesAreSkipped) {
  EXPECT_EQ(my_atof("1,5"), 15.0);
  // Fraction digits 0 and 5 (the blank skipped): 5 / 10^2.
  EXPECT_EQ(my_atof("0.0 5"), 0.05);
}

TEST(DecimalReading, LeadingBlanksKeepTheSign) {
  EXPECT_EQ(my_atof(" -0.5"), -0.5);
  EXPECT_EQ(my_atof("\t2.25"), 2.25);
}

TEST(DecimalReading, UpperCaseExponentMark) {
  EXPECT_EQ(my_atof("1E-05"), 1e-05);
  EXPECT_EQ(my_atof("2D2"), 200.0);
}

TEST(DecimalReading, LongDigitRunsDoNotWrap) {
  EXPECT_DOUBLE_EQ(my_atof("0.333333333333333333333333"), 1.0 / 3.0);
  EXPECT_DOUBLE_EQ(my_atof("12345678901.5"), 12345678901.5);
  EXPECT_DOUBLE_EQ(my_atof("0.12345678901"), 0.12345678901);
}

}  // namespace
