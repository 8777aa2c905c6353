// Settings file reader: defaults, the engine's key lookup and its number
// reading rules. The file is read once into memory (its first 2000 lines) and
// every key is looked up there, which gives the same values as scanning the file
// anew for each key.
#include "settings/settings.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>

#include "text/byte_table.h"

my_string settings::input_file;
int settings::num_proj_done = 0;

namespace {

constexpr int kTextBufferSize = 400;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The two's-complement value of a 32-bit pattern, without relying on the
// implementation-defined unsigned-to-signed conversion.
std::int32_t to_signed32(std::uint32_t bits) {
  if (bits <= 0x7FFFFFFFu) return static_cast<std::int32_t>(bits);
  return static_cast<std::int32_t>(bits - 0x80000000u) - 0x7FFFFFFF - 1;
}

int to_int(const std::string& text) { return static_cast<int>(my_atol(text.c_str())); }
double to_double(const std::string& text) { return my_atof(text.c_str()); }
bool to_bool(const std::string& text) { return my_atol(text.c_str()) != 0; }

// A part of a decimal number by the my_atol digit rule, accumulated in double
// so that long digit runs do not wrap. Only the first max_digits digits (from
// the left) count, which suits a fraction, where later digits cannot change a
// double; digits is set to the number of digits that counted.
double part_value(std::string_view part, int max_digits, int& digits) {
  int total = 0;
  for (char c : part) total += is_digit(c) ? 1 : 0;
  int skip = total > max_digits ? total - max_digits : 0;
  double value = 0.0;
  double place = 1.0;
  for (size_t i = part.size(); i-- > 0;) {
    const char c = part[i];
    if (is_digit(c)) {
      if (skip > 0) {
        --skip;
        continue;
      }
      if (c != '0') value += (c - '0') * place;  // 0 x infinite place is not NaN
      place *= 10.0;
    } else if (c == '-') {
      value = -value;
    }
  }
  digits = total < max_digits ? total : max_digits;
  return value;
}

}  // namespace

// ------------------------------------------------------------ file lookups

namespace qnd_settings {

bool SettingsFileLines::load(const char* fileName) {
  lines_.clear();
  std::ifstream in(fileName == nullptr ? "" : fileName);
  if (!in) return false;
  std::string line;
  while (static_cast<int>(lines_.size()) < kMaxLines && std::getline(in, line)) {
    // Text-mode reading: a CR LF line end arrives as a line feed.
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t eq = line.find('=');
    const std::uint64_t pairs = qnd_text::byte_pairs(line);
    lines_.push_back(Line{std::move(line), eq, pairs});
  }
  return true;
}

bool SettingsFileLines::find(std::string_view key, std::string& value, int size) const {
  value.clear();
  if (key.empty() || size <= 0) return false;
  const size_t limit = static_cast<size_t>(size);
  const std::uint64_t key_pairs = qnd_text::byte_pairs(key);
  for (const Line& entry : lines_) {
    const size_t eq = entry.equal_sign;
    if (eq == std::string::npos || (entry.pairs & key_pairs) != key_pairs) continue;
    const std::string& line = entry.text;
    if (line.find(key) == std::string::npos) continue;
    // The copy stops at the end of the line or at line position size.
    const size_t end = line.size() < limit ? line.size() : limit;
    if (eq + 1 >= end) continue;  // nothing after '=': the search goes on
    value.assign(line, eq + 1, end - (eq + 1));
    // A NUL byte ends the text, as in a character buffer.
    value.resize(std::strlen(value.c_str()));
    if (!value.empty()) return true;
  }
  return false;
}

std::string SettingsFileLines::text(std::string_view key, int size) const {
  std::string value;
  return find(key, value, size) ? value : std::string();
}

}  // namespace qnd_settings

int GetPrivateProfileString(const char* /*section*/, const char* key, const char* /*def*/,
                            char* buffer, int size, const char* fileName) {
  if (buffer == nullptr || size <= 0) return 0;
  buffer[0] = '\0';
  if (key == nullptr) return 0;
  qnd_settings::SettingsFileLines file;
  std::string value;
  if (!file.load(fileName) || !file.find(key, value, size)) return 0;
  std::memcpy(buffer, value.c_str(), value.size() + 1);  // value.size() < size
  return 1;
}

// ---------------------------------------------------------- number reading

long my_atol(const char* text) {
  if (text == nullptr) return 0;
  std::uint32_t value = 0;
  std::uint32_t place = 1;
  for (size_t i = std::strlen(text); i-- > 0;) {
    const char c = text[i];
    if (is_digit(c)) {
      value += static_cast<std::uint32_t>(c - '0') * place;
      place *= 10u;
    } else if (c == '-') {
      value = 0u - value;
    }
  }
  return to_signed32(value);
}

int my_atoi(const char* text) { return static_cast<int>(my_atol(text)); }

double my_atof(const char* text) {
  if (text == nullptr) return 0.0;
  std::string_view s(text);
  const size_t first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return 0.0;
  s.remove_prefix(first);
  double sign = 1.0;
  if (s.front() == '-') {
    sign = -1.0;
    s.remove_prefix(1);
  }
  const size_t exp_mark = s.find_first_of("deDE");
  const std::string_view mantissa = s.substr(0, exp_mark);
  const std::string_view exponent =
      exp_mark == std::string_view::npos ? std::string_view() : s.substr(exp_mark + 1);
  const size_t dot = mantissa.find('.');
  const std::string_view integer_part = mantissa.substr(0, dot);
  const std::string_view fraction_part =
      dot == std::string_view::npos ? std::string_view() : mantissa.substr(dot + 1);

  constexpr int kAllDigits = 0x7FFFFFFF;
  constexpr int kMaxFractionDigits = 20;
  int integer_digits = 0;
  int fraction_digits = 0;
  const double integer_value = part_value(integer_part, kAllDigits, integer_digits);
  const double fraction_value = part_value(fraction_part, kMaxFractionDigits, fraction_digits);
  double value = integer_value;
  if (fraction_digits > 0) value += fraction_value / std::pow(10.0, fraction_digits);
  value *= sign;

  const double exp10 = static_cast<double>(my_atol(std::string(exponent).c_str()));
  // Dividing by an exact power of ten rounds 1e-05 to the nearest double.
  if (exp10 > 0) value *= std::pow(10.0, exp10);
  if (exp10 < 0) value /= std::pow(10.0, -exp10);
  return value;
}

// ---------------------------------------------------------------- settings

void settings::reset_initial_values() {
  const int genotypic = genotypicData;
  const int phase_known = gameticPhaseKnown;
  const bool all_allele_freqs = ComputeAllAlleleFreqs;
  const bool miss_data_freq = ComputeMissDataFreq;
  const int spatial_params = MismatchSpatialExpNumParams;
  const int zip_orders = EMNumZipRandOrders;

  *this = settings();

  genotypicData = genotypic;
  gameticPhaseKnown = phase_known;
  ComputeAllAlleleFreqs = all_allele_freqs;
  ComputeMissDataFreq = miss_data_freq;
  MismatchSpatialExpNumParams = spatial_params;
  EMNumZipRandOrders = zip_orders;
  if (genotypicData && !gameticPhaseKnown) MarkovChainStepsLD = 1000;
}

void settings::read_settings(const my_string& fileName) {
  qnd_settings::SettingsFileLines file;
  (void)file.load(fileName.c_str());  // a missing file reads as all 0
  std::string value;

  TaskNumber = to_int(file.text("TaskNumber"));
  XMLOutput = to_int(file.text("XMLOutput"));
  qndecore64 = to_int(file.text("qndecore64"));
  DeletionWeight = to_double(file.text("DeletionWeight"));
  TransitionWeight = to_double(file.text("TransitionWeight"));
  TranversionWeight = to_double(file.text("TranversionWeight"));
  ComputeSumStatsWithinGroups = to_int(file.text("ComputeSumStatsWithinGroups"));
  InferHaplotypeDefinitionFromDistanceMatrix =
      to_int(file.text("InferHaplotypeDefinitionFromDistanceMatrix"));
  EliminateRedondHaplodefs = to_int(file.text("EliminateRedondHaplodefs"));
  AllowedLevelOfMissingData = to_double(file.text("AllowedLevelOfMissingData"));
  GameticPhaseIsKnown = to_int(file.text("GameticPhaseIsKnown"));
  HardyWeinbergTestType = to_int(file.text("HardyWeinbergTestType"));
  MakeHWExactTest = to_int(file.text("MakeHWExactTest"));
  MarkovChainStepsHW = to_int(file.text("MarkovChainStepsHW"));
  MarkovChainDememorisationStepsHW = to_int(file.text("MarkovChainDememorisationStepsHW"));
  PrecisionOnPValueHW = to_double(file.text("PrecisionOnPValueHW"));
  SignificanceLevelHW = to_int(file.text("SignificanceLevelHW"));
  TypeOfTestHW = to_int(file.text("TypeOfTestHW"));
  LinkageDisequilibriumTestType = to_int(file.text("LinkageDisequilibriumTestType"));
  MakeExactTestLD = to_int(file.text("MakeExactTestLD"));
  MarkovChainStepsLD = to_int(file.text("MarkovChainStepsLD"));
  MarkovChainDememorisationStepsLD = to_int(file.text("MarkovChainDememorisationStepsLD"));
  PrecisionOnPValueLD = to_double(file.text("PrecisionOnPValueLD"));
  SignificanceLevelLD = to_double(file.text("SignificanceLevelLD"));
  PrintFlagHistogramLD = to_int(file.text("PrintFlagHistogramLD"));
  InitialCondEMLD = to_int(file.text("InitialCondEMLD"));
  ComputeDvalues = to_int(file.text("ComputeDvalues"));
  ComputeStandardDiversityIndices = to_int(file.text("ComputeStandardDiversityIndices"));
  ComputeAllAlleleFreqs = to_bool(file.text("ComputeAllAlleleFreqs"));
  ComputeMissDataFreq = to_bool(file.text("ComputeMissDataFreq"));
  DistanceMethod = to_int(file.text("DistanceMethod"));
  GammaAValue = to_double(file.text("GammaAValue"));
  PrintHaplDistMat = my_atoi(file.text("PrintHaplDistMat").c_str());
  ComputeTheta = to_int(file.text("ComputeTheta"));
  // A value given for PrintPopDistMat also replaces PrintHaplDistMat.
  if (file.find("PrintPopDistMat", value)) {
    PrintPopDistMat = my_atoi(value.c_str());
    PrintHaplDistMat = PrintPopDistMat;
  } else {
    PrintPopDistMat = 0;
  }
  ComputePopSFS = to_int(file.text("ComputePopSFS"));
  ComputeJointSFS = to_int(file.text("ComputeJointSFS"));
  ComputeMultiSFS = to_int(file.text("ComputeMultiSFS"));
  NumBootSFS = to_int(file.text("NumBootSFS"));
  MismatchDistanceMethod = to_int(file.text("MismatchDistanceMethod"));
  MismatchDemogExp = to_bool(file.text("MismatchDemogExp"));
  MismatchSpatialExp = to_bool(file.text("MismatchSpatialExp"));
  MismatchSpatialExpNumParams = to_int(file.text("MismatchSpatialExpNumParams"));
  MismatchGammaAValue = to_double(file.text("MismatchGammaAValue"));
  NumBootExpDem = to_int(file.text("NumBootExpDem"));
  InitialConditionsEM = to_int(file.text("InitialConditionsEM"));
  MaximumNumOfIterationsEM = to_int(file.text("MaximumNumOfIterationsEM"));
  RecessiveAllelesEM = my_atoi(file.text("RecessiveAllelesEM").c_str());
  CompactHaplotypeDataBaseEM = to_int(file.text("CompactHaplotypeDataBaseEM"));
  NumBootstrapReplicatesEM = to_int(file.text("NumBootstrapReplicatesEM"));
  NumInitCondBootstrapEM = to_int(file.text("NumInitCondBootstrapEM"));
  ComputeAllSubHaplotypesEM = to_int(file.text("ComputeAllSubHaplotypesEM"));
  // Same field as EMEstimHaplFreqs, which is read later and decides.
  EMEstimHaplFreqs = to_int(file.text("ComputeAllHaplotypesEM"));
  ComputeAllAllelesEM = to_int(file.text("ComputeAllAllelesEM"));
  EpsilonValue = to_double(file.text("EpsilonValue"));
  FrequencyThreshold = to_double(file.text("FrequencyThreshold"));
  ComputeConventionalFST = to_int(file.text("ComputeConventionalFST"));
  IncludeIndividualLevel = to_int(file.text("IncludeIndividualLevel"));
  HaplAMOVA = to_int(file.text("HaplAMOVA"));
  LocByLocAMOVA = to_int(file.text("LocByLocAMOVA"));
  PopSpecificFST = to_int(file.text("PopSpecificFST"));
  PopSpecificFIS = to_int(file.text("PopSpecificFIS"));
  ComputeDistanceMatrixAMOVA = to_int(file.text("ComputeDistanceMatrixAMOVA"));
  DistanceMethodAMOVA = to_int(file.text("DistanceMethodAMOVA"));
  GammaAValueAMOVA = to_double(file.text("GammaAValueAMOVA"));
  PrintDistanceMatrix = to_int(file.text("PrintDistanceMatrix"));
  TestSignificancePairewiseFST = to_int(file.text("TestSignificancePairewiseFST"));
  NumPermutationsFST = to_int(file.text("NumPermutationsFST"));
  ComputePairwiseFST = to_int(file.text("ComputePairwiseFST"));
  ComputeDeltaMuSqr = to_int(file.text("ComputeDeltaMuSqr"));
  FSTSignifLevel = to_double(file.text("FSTSignifLevel"));
  TestSignificanceAMOVA = to_int(file.text("TestSignificanceAMOVA"));
  NumPermutationsAMOVA = to_int(file.text("NumPermutationsAMOVA"));
  NumPermutPopDiff = to_int(file.text("NumPermutPopDiff"));
  NumDememoPopDiff = to_int(file.text("NumDememoPopDiff"));
  // Read as a whole number.
  PrecProbPopDiff = static_cast<double>(my_atol(file.text("PrecProbPopDiff").c_str()));
  PrintHistoPopDiff = to_int(file.text("PrintHistoPopDiff"));
  SignLevelPopDiff = to_double(file.text("SignLevelPopDiff"));
  DetectSelectedLoci = to_int(file.text("DetectSelectedLoci"));
  UseHierarchicalIslandModel = to_int(file.text("UseHierarchicalIslandModel"));
  NumberOfGroupsForFDist2 = to_int(file.text("NumberOfGroupsForFDist2"));
  NumberOfDemesForFDist2 = to_int(file.text("NumberOfDemesForFDist2"));
  NumberOfSimsForFDist2 = to_int(file.text("NumberOfSimsForFDist2"));
  UseSimFileForFDist2 = to_int(file.text("UseSimFileForFDist2"));
  SimFileNameForFDist2 = my_string(file.text("SimFileNameForFDist2", kTextBufferSize));
  TargetHetLowBound = to_double(file.text("TargetHetLowBound"));
  TargetHetHighBound = to_double(file.text("TargetHetHighBound"));
  MinDafFreq = to_double(file.text("MinDafFreq"));
  IterativeProcForFDist2 = to_int(file.text("IterativeProcForFDist2"));
  EwensWattersonHomozygosityTest = to_int(file.text("EwensWattersonHomozygosityTest"));
  NumIterationsNeutralityTests = to_int(file.text("NumIterationsNeutralityTests"));
  NumSimulFuTest = to_int(file.text("NumSimulFuTest"));
  NumPermMantel = to_int(file.text("NumPermMantel"));
  IsFontKnown = to_int(file.text("IsFontKnown"));
  NbFrontSegments = to_int(file.text("NbFrontSegments"));
  SegmentLength = to_double(file.text("SegmentLength"));
  NumOfGroups = to_int(file.text("NumOfGroups"));
  DiffusionMode = to_int(file.text("DiffusionMode"));
  NbFrontPerm = to_int(file.text("NbFrontPerm"));
  PrintFstVals = to_int(file.text("PrintFstVals"));
  PrintConcestryCoeff = to_int(file.text("PrintConcestryCoeff"));
  PrintSlatkinsDist = to_int(file.text("PrintSlatkinsDist"));
  PrintMissIntermatchs = to_int(file.text("PrintMissIntermatchs"));
  UnequalPopSizeDiv = to_int(file.text("UnequalPopSizeDiv"));
  PrintMinSpannNetworkPop = to_int(file.text("PrintMinSpannNetworkPop"));
  PrintMinSpannNetworkGlob = to_int(file.text("PrintMinSpannNetworkGlob"));
  KeepNullDistrib = to_int(file.text("KeepNullDistrib"));
  EMEstimHaplFreqs = to_int(file.text("EMEstimHaplFreqs"));
  EMEstimateInbreedingCoeff = to_int(file.text("EMEstimateInbreedingCoeff"));
  EMInbreedingFixedVal = to_double(file.text("EMInbreedingFixedVal"));
  EMUseZipper = to_int(file.text("EMUseZipper"));
  EMWinSize = to_int(file.text("EMWinSize"));
  EMLociRandOrder = to_int(file.text("EMLociRandOrder"));
  EMInbreedingEachLocus = to_int(file.text("EMInbreedingEachLocus"));
  EMCheckPhenRedundancy = to_int(file.text("EMCheckPhenRedundancy"));
  EMCompGamPhaseForAllInitConds = to_int(file.text("EMCompGamPhaseForAllInitConds"));
  EMNumZipRandOrders = to_int(file.text("EMNumZipRandOrders"));
  GibbsInferGamPhase = to_int(file.text("GibbsInferGamPhase"));
  GibbsBurnIn = to_int(file.text("GibbsBurnIn"));
  GibbsSamplingInterval = to_int(file.text("GibbsSamplingInterval"));
  GibbsNumSamples = to_int(file.text("GibbsNumSamples"));
  GibbsAlphaInitValue = to_double(file.text("GibbsAlphaInitValue"));
  GibbsEpsilonValue = to_double(file.text("GibbsEpsilonValue"));
  GibbsGamma = to_double(file.text("GibbsGamma"));
  GibbsHetSiteInfluenceZone = to_int(file.text("GibbsHetSiteInfluenceZone"));
  GibbsPercentageOfRecSteps = to_double(file.text("GibbsPercentageOfRecSteps"));
  // The only key that keeps its value when the file does not give it.
  if (file.find("GibbsOutputGamPhase", value)) GibbsOutputGamPhase = to_int(value);

  estimateHaplotypes =
      (ComputeAllAllelesEM != 0 || EMEstimHaplFreqs != 0 || GibbsInferGamPhase != 0) ? 1 : 0;
}
