// Profile defaults.
#include "model/profile.h"

TDataType ProfileSettings::DataType = DataTypeDefault;
char ProfileSettings::LocusSeparator = '\0';

void ProfileSettings::initialize() {
  Title.clear();
  NbSamples = 0;
  NbGroups = 0;
  GenotypicData = GenotypicDataDefault;
  GameticPhase = GameticPhaseDefault;
  LocusListing = LocusListingDefault;
  NbLoci = NbLociDefault;
  LociLabels.clear();
  MissingData = MissingDataDefault;
  SecondText.clear();
  UsedHaplList = UsedHaplListDefault;
  Interleave = InterleaveDefault;
  IndividualLevel = IndividualLevelDefault;
  Frequency = FrequencyDefault;
  RecessiveData = 0;
  RecessiveAllele = RecessiveAlleleDefault;
  Flag = 1;
  EpsilonValue = 1e-7;
  FrequencyThreshold = 1e-5;
}
