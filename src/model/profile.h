// The profile of a data set: what kind of data a project holds and how its file
// writes them. The data type and the locus separator are class-wide: every reader
// and computation consults them, and they keep their value from one project to
// the next within a process.
#ifndef QND_MODEL_PROFILE_H
#define QND_MODEL_PROFILE_H

#include <vector>

#include "model/data_type.h"
#include "text/my_string.h"

class settings;

// Defaults of the profile keys.
constexpr TDataType DataTypeDefault = STANDARD;
constexpr int GenotypicDataDefault = 0;
constexpr int GameticPhaseDefault = 1;
constexpr char LocusSeparatorDefault = ' ';
constexpr char MissingDataDefault = '?';
constexpr const char* RecessiveAlleleDefault = "null";
constexpr int FrequencyDefault = 0;
constexpr int NbLociDefault = 0;
constexpr int LocusListingDefault = 0;
constexpr int InterleaveDefault = 0;
constexpr int IndividualLevelDefault = 0;
constexpr const char* UsedHaplListDefault = "NONE";

class ProfileSettings {
 public:
  ProfileSettings() { initialize(); }

  // Sets every field to its default (the class-wide data type and locus
  // separator are left as they are).
  void initialize();

  my_string Title;
  int NbSamples = 0;
  int NbGroups = 0;
  int GenotypicData = GenotypicDataDefault;
  int GameticPhase = GameticPhaseDefault;
  int LocusListing = LocusListingDefault;
  int NbLoci = NbLociDefault;
  std::vector<my_string> LociLabels;
  char MissingData = MissingDataDefault;
  my_string SecondText;
  my_string UsedHaplList{UsedHaplListDefault};
  int Interleave = InterleaveDefault;
  int IndividualLevel = IndividualLevelDefault;
  int Frequency = FrequencyDefault;  // 0 absolute counts, 1 relative frequencies
  int RecessiveData = 0;
  my_string RecessiveAllele{RecessiveAlleleDefault};
  int Flag = 1;
  double EpsilonValue = 1e-7;
  double FrequencyThreshold = 1e-5;
  settings* RunSettings = nullptr;

  static TDataType DataType;
  static char LocusSeparator;
};

#endif  // QND_MODEL_PROFILE_H
