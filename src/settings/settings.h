// The analysis settings of a project: which analyses a run performs (the bit set
// TaskNumber) and their parameters, read from a settings file of Key=value lines
// ("qnd_run.qns" for the summary-statistics program). Every key of the file is a
// public field of the same name; the defaults below are what construction and
// reset_initial_values give. Reading a file replaces every key's value: a key
// that the file does not give reads as 0 (0.0, false, empty).
#ifndef QND_SETTINGS_SETTINGS_H
#define QND_SETTINGS_SETTINGS_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "text/my_string.h"

// TaskNumber bits: the value is the sum of the selected analyses.
enum TaskBit : int {
  kTaskStandardIndices = 1,
  kTaskMolecularDiversity = 2,
  kTaskMismatchDistribution = 4,
  kTaskHaplotypeFrequencies = 8,
  kTaskLinkageDisequilibrium = 16,
  kTaskHardyWeinberg = 32,
  kTaskTajimaTest = 64,
  kTaskEwensWattersonTest = 128,
  kTaskChakrabortyTest = 256,
  kTaskAmova = 512,
  kTaskPairwiseFst = 1024,
  kTaskPairwiseDistances = 2048,
  kTaskAmovaPermutations = 4096,
  kTaskExactPopDifferentiation = 8192,
  kTaskFuFsTest = 16384,
  kTaskGenotypeAssignment = 32768,
  kTaskMantelTest = 65536,
};

class settings {
 public:
  settings() = default;

  // Every field back to its default. genotypicData and gameticPhaseKnown mirror
  // the profile and are kept; with genotypic data of unknown phase the default
  // of MarkovChainStepsLD is 1000 (it then counts likelihood-ratio permutations).
  // Keys that have no default (set only by reading) are kept as they are.
  void reset_initial_values();

  // Reads every key from the file, in the order of the fields below, then
  // derives estimateHaplotypes. A file that cannot be opened reads as all 0.
  void read_settings(const my_string& fileName);

  // Path of the project being processed and projects finished in this batch.
  static my_string input_file;
  static int num_proj_done;

  // Not keys of the file.
  int appendResults = 1;       // 0: rewrite the project's result files
  int estimateHaplotypes = 1;  // derived by read_settings
  int genotypicData = 0;       // copy of the profile's flag
  int gameticPhaseKnown = 0;   // copy of the profile's flag

  // Keys, in the order in which they are read.
  int TaskNumber = 0;
  int XMLOutput = 1;
  int qndecore64 = 1;
  double DeletionWeight = 1.0;
  double TransitionWeight = 1.0;
  double TranversionWeight = 1.0;
  int ComputeSumStatsWithinGroups = 0;
  int InferHaplotypeDefinitionFromDistanceMatrix = 0;
  int EliminateRedondHaplodefs = 0;
  double AllowedLevelOfMissingData = 0.05;
  int GameticPhaseIsKnown = 0;
  int HardyWeinbergTestType = 0;
  int MakeHWExactTest = 0;
  int MarkovChainStepsHW = 1000000;
  int MarkovChainDememorisationStepsHW = 100000;
  double PrecisionOnPValueHW = 0.0;
  int SignificanceLevelHW = 2;
  int TypeOfTestHW = 0;
  int LinkageDisequilibriumTestType = 0;
  int MakeExactTestLD = 0;
  int MarkovChainStepsLD = 100000;
  int MarkovChainDememorisationStepsLD = 1000;
  double PrecisionOnPValueLD = 0.0;
  double SignificanceLevelLD = 0.05;
  int PrintFlagHistogramLD = 0;
  int InitialCondEMLD = 2;
  int ComputeDvalues = 0;
  int ComputeStandardDiversityIndices = 0;
  bool ComputeAllAlleleFreqs = false;
  bool ComputeMissDataFreq = false;
  int DistanceMethod = 0;
  double GammaAValue = 0.0;
  int PrintHaplDistMat = 0;
  int ComputeTheta = 0;
  int PrintPopDistMat = 0;
  int ComputePopSFS = 0;
  int ComputeJointSFS = 0;
  int ComputeMultiSFS = 0;
  int NumBootSFS = 0;
  int MismatchDistanceMethod = 0;
  bool MismatchDemogExp = false;
  bool MismatchSpatialExp = false;
  int MismatchSpatialExpNumParams = 0;
  double MismatchGammaAValue = 0.0;
  int NumBootExpDem = 100;
  int InitialConditionsEM = 50;
  int MaximumNumOfIterationsEM = 1000;
  int RecessiveAllelesEM = 0;
  int CompactHaplotypeDataBaseEM = 0;
  int NumBootstrapReplicatesEM = 0;
  int NumInitCondBootstrapEM = 10;
  int ComputeAllSubHaplotypesEM = 0;
  // ComputeAllHaplotypesEM and EMEstimHaplFreqs are one setting: see EMEstimHaplFreqs.
  int ComputeAllAllelesEM = 0;
  double EpsilonValue = 1e-07;
  double FrequencyThreshold = 1e-05;
  int ComputeConventionalFST = 0;
  int IncludeIndividualLevel = 0;
  int HaplAMOVA = 0;
  int LocByLocAMOVA = 0;
  int PopSpecificFST = 0;
  int PopSpecificFIS = 0;
  int ComputeDistanceMatrixAMOVA = 1;
  int DistanceMethodAMOVA = 0;
  double GammaAValueAMOVA = 0.0;
  int PrintDistanceMatrix = 0;
  int TestSignificancePairewiseFST = 0;
  int NumPermutationsFST = 100;
  int ComputePairwiseFST = 0;
  int ComputeDeltaMuSqr = 0;
  double FSTSignifLevel = 0.05;
  int TestSignificanceAMOVA = 0;
  int NumPermutationsAMOVA = 1000;
  int NumPermutPopDiff = 100000;
  int NumDememoPopDiff = 10000;
  double PrecProbPopDiff = 0.0;
  int PrintHistoPopDiff = 1;
  double SignLevelPopDiff = 0.05;
  int DetectSelectedLoci = 0;
  int UseHierarchicalIslandModel = 0;
  int NumberOfGroupsForFDist2 = 10;
  int NumberOfDemesForFDist2 = 100;
  int NumberOfSimsForFDist2 = 20000;
  int UseSimFileForFDist2 = 0;
  my_string SimFileNameForFDist2;
  double TargetHetLowBound = 0.0;
  double TargetHetHighBound = 1.0;
  double MinDafFreq = 0.0;
  int IterativeProcForFDist2 = 0;
  int EwensWattersonHomozygosityTest = 0;
  int NumIterationsNeutralityTests = 1000;
  int NumSimulFuTest = 1000;
  int NumPermMantel = 1000;
  int IsFontKnown = 0;
  int NbFrontSegments = 0;
  double SegmentLength = 0.0;
  int NumOfGroups = 1;
  int DiffusionMode = 2;
  int NbFrontPerm = 0;
  int PrintFstVals = 0;
  int PrintConcestryCoeff = 0;
  int PrintSlatkinsDist = 0;
  int PrintMissIntermatchs = 0;
  int UnequalPopSizeDiv = 0;
  int PrintMinSpannNetworkPop = 0;
  int PrintMinSpannNetworkGlob = 0;
  int KeepNullDistrib = 0;
  int EMEstimHaplFreqs = 0;  // also read from the earlier key ComputeAllHaplotypesEM
  int EMEstimateInbreedingCoeff = 0;
  double EMInbreedingFixedVal = 0.0;
  int EMUseZipper = 0;
  int EMWinSize = 1;
  int EMLociRandOrder = 0;
  int EMInbreedingEachLocus = 0;
  int EMCheckPhenRedundancy = 0;
  int EMCompGamPhaseForAllInitConds = 0;
  int EMNumZipRandOrders = 0;
  int GibbsInferGamPhase = 0;
  int GibbsBurnIn = 100000;
  int GibbsSamplingInterval = 500;
  int GibbsNumSamples = 2000;
  double GibbsAlphaInitValue = 0.01;
  double GibbsEpsilonValue = 0.01;
  double GibbsGamma = 0.0;
  int GibbsHetSiteInfluenceZone = 5;
  double GibbsPercentageOfRecSteps = 0.0;
  int GibbsOutputGamPhase = 0;
};

// The engine's key lookup in a settings file: the first of the file's first
// 2000 lines that contains key (case-sensitive substring) and an '=', and holds
// something after the '=', gives the value. At most size - 1 - (position of the
// '=') characters are copied (the copy stops at line position size). Returns 1
// and the value in buffer, or 0 and an empty buffer. section and def are unused.
int GetPrivateProfileString(const char* section, const char* key, const char* def, char* buffer,
                            int size, const char* fileName);

// Integer reading: the text is scanned from its last byte to its first; each
// digit adds digit x place value (1, 10, 100, ...), each '-' negates what has
// been accumulated, every other byte is skipped. 32-bit arithmetic (wraps).
long my_atol(const char* text);
int my_atoi(const char* text);

// Decimal reading: [-] integer part [. fraction] [d|e [-] exponent], each part's
// digits collected by the my_atol rule. Leading blanks are skipped; 'D' and 'E'
// mark the exponent as well.
double my_atof(const char* text);

namespace qnd_settings {

// The lines of a settings file as the lookups see them: the first 2000 lines,
// each read whole, a carriage return before the line feed removed. read_settings
// loads the file once and looks every key up in memory.
class SettingsFileLines {
 public:
  static constexpr int kMaxLines = 2000;
  static constexpr int kValueBufferSize = 100;

  // Returns false when the file cannot be opened (no lines then).
  bool load(const char* fileName);

  // The lookup rule of GetPrivateProfileString with a buffer of size bytes.
  [[nodiscard]] bool find(std::string_view key, std::string& value,
                          int size = kValueBufferSize) const;
  // The value, or an empty text when the key is not found.
  std::string text(std::string_view key, int size = kValueBufferSize) const;

 private:
  struct Line {
    std::string text;
    size_t equal_sign;    // position of the first '=', or npos
    std::uint64_t pairs;  // one bit per pair of adjacent bytes (hashed)
  };
  // About 150 keys are looked up in each file: a line is searched for a key
  // only when it holds every pair of adjacent bytes of the key
  // (qnd_text::byte_pairs).

  std::vector<Line> lines_;
};

}  // namespace qnd_settings

#endif  // QND_SETTINGS_SETTINGS_H
