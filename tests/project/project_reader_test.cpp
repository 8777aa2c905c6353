// The reading pass of a project file: profile keys, the order of keyword tests,
// section order, final checks, and a corpus of broken project files, each of
// which must fail with its own diagnostic text and error numbers.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/errors.h"
#include "globals.h"
#include "model/project.h"
#include "project/project_test_util.h"

namespace {

using qnd_reader_test::profile_header;

const char* const kOneDnaSample = "SampleName=\"pop1\"\nSampleSize=1\nSampleData={\nh1 1 ACGT\n}\n";

class ProfileKeys : public qnd_reader_test::ProjectFileTest {
 protected:
  // A complete project whose profile is exactly the given lines.
  int open_profile(const std::string& profile_lines, const std::string& samples = kOneDnaSample) {
    return open_text("[Profile]\n" + profile_lines + "[Data]\n[[Samples]]\n" + samples);
  }
};
class KeywordOrder : public qnd_reader_test::ProjectFileTest {};
class SectionOrder : public qnd_reader_test::ProjectFileTest {};
class FinalChecks : public qnd_reader_test::ProjectFileTest {};
class BrokenProjectCorpus : public qnd_reader_test::ProjectFileTest {};

const std::string kMinimalDna =
    "NbSamples=1\nDataType=DNA\nGenotypicData=0\nLocusSeparator=NONE\nMissingData='?'\n";

TEST_F(ProfileKeys, CompleteProfileIsStored) {
  ASSERT_EQ(open_profile("Title=\"My data\"\nNbSamples=1\nDataType=MICROSAT\nGenotypicData=1\n"
                         "GameticPhase=0\nLocusSeparator=':'\nMissingData='-'\n"
                         "RecessiveData=1\nRecessiveAllele=\"xx\"\nFrequency=ABS\n"
                         "FrequencyThreshold=0.01\nEpsilonValue=1e-9\n",
                         "SampleName=\"p\"\nSampleSize=1\nSampleData={\ni 1 12:14\n 12:16\n}\n"),
            1);
  const ProfileSettings& prof = project_->profile;
  EXPECT_EQ(prof.Title, "My data");
  EXPECT_EQ(prof.NbSamples, 1);
  EXPECT_EQ(ProfileSettings::DataType, MICROSAT);
  EXPECT_EQ(prof.GenotypicData, 1);
  EXPECT_EQ(prof.GameticPhase, 0);
  EXPECT_EQ(ProfileSettings::LocusSeparator, ':');
  EXPECT_EQ(prof.MissingData, '-');
  EXPECT_EQ(prof.RecessiveData, 1);
  EXPECT_EQ(prof.RecessiveAllele, "xx");
  EXPECT_EQ(prof.Frequency, 0);
  EXPECT_DOUBLE_EQ(prof.FrequencyThreshold, 0.01);
  EXPECT_DOUBLE_EQ(prof.EpsilonValue, 1e-9);
  EXPECT_EQ(project_->samples[0]->individuals[0]->copy1, ":12:14");
  EXPECT_NE(log_text().find("Reading input file ...\n"), std::string::npos);
}

TEST_F(ProfileKeys, LowerCaseDataTypeIsAccepted) {
  ASSERT_EQ(open_profile("nbsamples=1\ndatatype=rflp\ngenotypicdata=0\nlocusseparator=none\n",
                         "samplename=\"p\"\nsamplesize=1\nsampledata={\nh 1 0110\n}\n"),
            1);
  EXPECT_EQ(ProfileSettings::DataType, RFLP);
  EXPECT_FALSE(logged(75));
  EXPECT_EQ(project_->samples[0]->haplotypes[0]->hap->content, "0110");
}

TEST_F(ProfileKeys, UnknownDataTypeFallsBackToStandard) {
  ProfileSettings::DataType = DNA;
  ASSERT_EQ(open_profile("NbSamples=1\nDataType=PROTEIN\nGenotypicData=0\nLocusSeparator=NONE\n",
                         "SampleName=\"p\"\nSampleSize=1\nSampleData={\nh 1 MKV\n}\n"),
            1);
  EXPECT_EQ(ProfileSettings::DataType, STANDARD);
  EXPECT_TRUE(logged(75));
}

TEST_F(ProfileKeys, LowerCaseFrequencyValueIsRejected) {
  ASSERT_EQ(open_profile(kMinimalDna + "Frequency=rel\n"), 1);
  EXPECT_EQ(project_->profile.Frequency, 0);
  EXPECT_TRUE(logged(87));
  EXPECT_NE(log_text().find("\tProject file, Line #7 : Invalid value (\"rel\") assigned to keyword "
                            "\"Frequency\"\n"),
            std::string::npos);
}

TEST_F(ProfileKeys, RelativeFrequencyRecognised) {
  ASSERT_EQ(open_profile(kMinimalDna + "Frequency= REL\n"), 1);
  EXPECT_EQ(project_->profile.Frequency, 1);
  EXPECT_FALSE(logged(87));
}

TEST_F(ProfileKeys, NbSamplesFollowedByBlankAndCommentFails) {
  EXPECT_EQ(open_profile("NbSamples=1 # one\nDataType=DNA\nGenotypicData=0\n"
                         "LocusSeparator=NONE\n"),
            0);
  EXPECT_NE(log_text().find("\tProject file, Line #2 : Bad value after keyword 'NbSamples'\n"),
            std::string::npos);
  EXPECT_TRUE(logged(95));
  // The pass stops at once: no final checks, no samples.
  EXPECT_FALSE(logged(203));
  EXPECT_EQ(project_->samples.size(), 0);
  EXPECT_EQ(log_text().find("done !"), std::string::npos);
}

TEST_F(ProfileKeys, LocusSeparatorForms) {
  struct Case {
    const char* value;
    char expected;
    bool error;
  };
  const std::vector<Case> cases = {{"TAB", '\t', false},    {"whitespace", ' ', false},
                                   {"NONE", '\0', false},   {"\\0", '\0', false},
                                   {"\" ; \"", ';', false}, {"'::'", ' ', true},
                                   {"\"\"", ' ', true}};
  int errors = 0;
  for (const Case& c : cases) {
    project_ = std::make_unique<Project>();
    ProfileSettings::LocusSeparator = 'x';
    // STANDARD data keep the separator after the samples section.
    ASSERT_EQ(open_profile(std::string("NbSamples=1\nDataType=STANDARD\nGenotypicData=0\n"
                                       "LocusSeparator=") +
                           c.value + "\n"),
              1)
        << c.value;
    EXPECT_EQ(ProfileSettings::LocusSeparator, c.expected) << c.value;
    if (c.error) ++errors;
    EXPECT_EQ(count_logged(82), errors) << c.value;
  }
  EXPECT_NE(log_text().find("\tProject file, Line #5 : Invalid value ('::\") assigned to keyword "
                            "\"LocusSeparator\""),
            std::string::npos);
}

TEST_F(ProfileKeys, MissingDataMustBeOneCharacter) {
  ASSERT_EQ(open_profile(kMinimalDna.substr(0, kMinimalDna.find("MissingData")) +
                         "MissingData=\" N \"\n"),
            1);
  EXPECT_EQ(project_->profile.MissingData, 'N');

  project_ = std::make_unique<Project>();
  ASSERT_EQ(
      open_profile(kMinimalDna.substr(0, kMinimalDna.find("MissingData")) + "MissingData=\"NN\"\n"),
      1);
  EXPECT_EQ(project_->profile.MissingData, '?');
  EXPECT_TRUE(logged(78));
  EXPECT_NE(log_text().find("\tProject file, Line #6 : Invalid value (\"NN\") assigned to keyword "
                            "\"MissingData\""),
            std::string::npos);
}

TEST_F(ProfileKeys, OutOfRangeFlagsAreKeptAndReported) {
  ASSERT_EQ(open_profile("NbSamples=1\nDataType=DNA\nGenotypicData=3\nGameticPhase=2\n"
                         "LocusSeparator=NONE\n"),
            1);
  EXPECT_EQ(project_->profile.GenotypicData, 3);
  EXPECT_EQ(project_->profile.GameticPhase, 2);
  EXPECT_TRUE(logged(74));
  EXPECT_TRUE(logged(89));
}

TEST_F(ProfileKeys, RecessiveAlleleWithBlankSwitchesRecessiveDataOff) {
  ASSERT_EQ(open_profile(kMinimalDna + "RecessiveData=1\nRecessiveAllele=\"a b\"\n"), 1);
  EXPECT_EQ(project_->profile.RecessiveData, 0);
  EXPECT_EQ(project_->profile.RecessiveAllele, "null");
  EXPECT_TRUE(logged(90));
  EXPECT_NE(log_text().find("\tProject file, Line #8 : Invalid value (\"a b\") assigned to keyword "
                            "\"RecessiveAllele\""),
            std::string::npos);
}

TEST_F(ProfileKeys, TitleAndNumbersThatCannotBeRead) {
  ASSERT_EQ(open_profile(kMinimalDna + "Title=untitled\nEpsilonValue=1e-3x\n"), 1);
  EXPECT_EQ(project_->profile.Title, "");
  EXPECT_NE(log_text().find("\tProject file, Line #7 : No open quote after keyword 'Title'\n"),
            std::string::npos);
  EXPECT_NE(log_text().find("\tProject file, Line #8 : Bad value after keyword 'EpsilonValue'\n"),
            std::string::npos);
  EXPECT_EQ(count_logged(190), 2);
}

TEST_F(ProfileKeys, KeyWithoutEqualSignCountsAsMissing) {
  EXPECT_EQ(open_profile("NbSamples=1\nDataType DNA\nGenotypicData=0\nLocusSeparator=NONE\n"), 0);
  EXPECT_NE(log_text().find("\tProject file, Line #3 : Missing equal sign after keyword "
                            "'DataType'\n"),
            std::string::npos);
  EXPECT_NE(log_text().find("\tKeyword \"DataType\" not found. Undefined data type. Check your "
                            "project file.\n"),
            std::string::npos);
  EXPECT_TRUE(logged(188));
  EXPECT_TRUE(logged(203));
}

TEST_F(ProfileKeys, ObsoleteCompDistMatrixOnlyNoticed) {
  ASSERT_EQ(open_profile(kMinimalDna + "CompDistMatrix=1\n"), 1);
  EXPECT_NE(log_text().find("\tProject file, Line #7 : Keyword \"CompDistMatrix\" is now obsolete. "
                            "Please set this parameter directly throug the interface\n"),
            std::string::npos);
}

TEST_F(ProfileKeys, CarriageReturnLineEndsRead) {
  std::string text = profile_header("DNA", 1) + kOneDnaSample;
  std::string crlf;
  for (char c : text) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  ASSERT_EQ(open_text(crlf), 1);
  EXPECT_EQ(project_->samples[0]->name, "pop1");
  EXPECT_EQ(project_->samples[0]->haplotypes[0]->hap->content, "ACGT");
}

TEST_F(KeywordOrder, LineNamingTwoKeysTakesTheFirstInOrder) {
  // "Title" is tested before "NbSamples": the count on this line is not read.
  EXPECT_EQ(open_text("[Profile]\nTitle=\"t\" NbSamples=1\nDataType=DNA\nGenotypicData=0\n"
                      "LocusSeparator=NONE\n[Data]\n[[Samples]]\n" +
                      std::string(kOneDnaSample)),
            0);
  EXPECT_EQ(project_->profile.Title, "t");
  EXPECT_NE(log_text().find("\tKeyword \"NbSamples\" not found."), std::string::npos);
}

TEST_F(KeywordOrder, FrequencyThresholdIsNotTakenForFrequency) {
  ASSERT_EQ(open_text(profile_header("DNA", 1, "FrequencyThreshold=0.2\nFrequency=REL\n") +
                      "SampleName=\"pop1\"\nSampleSize=2\nSampleData={\nh1 1 ACGT\n}\n"),
            1);
  EXPECT_DOUBLE_EQ(project_->profile.FrequencyThreshold, 0.2);
  EXPECT_EQ(project_->profile.Frequency, 1);
  EXPECT_FALSE(logged(87));
}

TEST_F(KeywordOrder, CommentsAreCutBeforeTesting) {
  ASSERT_EQ(open_text(profile_header("DNA", 1, "# DataType=RFLP\nTitle=\"a\" # DataType=RFLP\n") +
                      kOneDnaSample),
            1);
  EXPECT_EQ(ProfileSettings::DataType, DNA);
}

TEST_F(SectionOrder, StructureBeforeSamplesFails) {
  EXPECT_EQ(open_text("[Profile]\n" + kMinimalDna + "[Data]\n[[Structure]]\n"), 0);
  EXPECT_NE(log_text().find("[STRUCTURE] section defined before the [SAMPLES] section. Aborting "
                            "reading project"),
            std::string::npos);
  EXPECT_TRUE(logged(172));
  EXPECT_TRUE(logged(203));
}

TEST_F(SectionOrder, StructureWithoutAnySampleFails) {
  EXPECT_EQ(open_text(profile_header("DNA", 0) + "[[Structure]]\n"), 0);
  EXPECT_NE(log_text().find("No samples were defined before the [STRUCTURE] section. Aborting "
                            "reading project"),
            std::string::npos);
  EXPECT_TRUE(logged(172));
}

TEST_F(SectionOrder, MantelBeforeSamplesFails) {
  EXPECT_EQ(open_text("[Profile]\n" + kMinimalDna + "[Data]\n[[Mantel]]\n"), 0);
  EXPECT_NE(log_text().find("[MANTEL] section defined before the [SAMPLES] section. Aborting "
                            "reading project"),
            std::string::npos);
  EXPECT_TRUE(logged(196));
}

TEST_F(SectionOrder, HaplListBeforeHaplotypeDefinitionStopsReading) {
  EXPECT_EQ(open_text("[Profile]\n" + kMinimalDna + "[Data]\nHaplList={\nh1 ACGT\n}\n"), 0);
  EXPECT_NE(log_text().find("\tProject file, Line #8 : HaplList keyword declared before the "
                            "beginning of the 'HaplotypeDefinition' section...\n\t Stopping "
                            "reading input file!"),
            std::string::npos);
  EXPECT_TRUE(logged(203));
}

TEST_F(SectionOrder, DistanceMatrixBeforeDataFails) {
  EXPECT_EQ(open_text("[Profile]\n" + kMinimalDna + "[[DistanceMatrix]]\n[Data]\n"), 0);
  EXPECT_NE(log_text().find("\tProject file, Line #7 : DistanceMatrix keyword declared before the "
                            "beginning of the 'Data' section..., aborting project reading!"),
            std::string::npos);
}

TEST_F(SectionOrder, BadMatrixSizeAndLabelPosition) {
  const std::string head = "[Profile]\n" + kMinimalDna +
                           "[Data]\n[[DistanceMatrix]]\n"
                           "MatrixName=\"m\"\n";
  EXPECT_EQ(open_text(head + "MatrixSize=0\n"), 0);
  EXPECT_NE(log_text().find("\tBad size (0) for distance matrix \"m\". Check size (0) reported on "
                            "line 10"),
            std::string::npos);
  EXPECT_EQ(count_logged(15), 1);

  project_ = std::make_unique<Project>();
  EXPECT_EQ(open_text(head + "MatrixSize=three\n"), 0);
  EXPECT_NE(log_text().find("\tWarning: Unable to read MatrixSize on line 10. Aborting project "
                            "reading."),
            std::string::npos);
  EXPECT_EQ(count_logged(15), 2);

  project_ = std::make_unique<Project>();
  EXPECT_EQ(open_text(head + "LabelPosition=DIAGONAL\n"), 0);
  EXPECT_NE(log_text().find("\tInvalid keyword for LabelPosition on line 10. Aborting reading "
                            "project."),
            std::string::npos);
  EXPECT_TRUE(logged(16));
}

TEST_F(SectionOrder, HaplotypeDefinitionBeforeDataOnlyWarns) {
  EXPECT_EQ(open_text("[Profile]\n" + kMinimalDna +
                      "[[HaplotypeDefinition]]\n[Data]\n[[Samples]]\n" + kOneDnaSample),
            0);
  const std::string log = log_text();
  EXPECT_NE(log.find("\tProject file, Line #7 : HaplotypeDefinition keyword declared before the "
                     "beginning of the 'Data' section..."),
            std::string::npos);
  // The samples were still read; the missing list fails the final checks.
  EXPECT_EQ(project_->samples.size(), 1);
  EXPECT_NE(log.find("\tKeyword \"HaplList\" not found in Haplotype section. Haplotype list not "
                     "found. Check your project file.\n"),
            std::string::npos);
}

TEST_F(FinalChecks, MissingDataAndRecessiveAlleleOnlyWarn) {
  ASSERT_EQ(open_text("[Profile]\nNbSamples=1\nDataType=DNA\nGenotypicData=0\n"
                      "LocusSeparator=NONE\nRecessiveData=1\n[Data]\n[[Samples]]\n" +
                      std::string(kOneDnaSample)),
            1);
  const std::string log = log_text();
  EXPECT_NE(log.find("\tKeyword \"RecessiveAllele\" not found. Undefined recessive allele for "
                     "recessive data. \t\tUsing default value (null). Check your project file.\n"),
            std::string::npos);
  EXPECT_NE(log.find("\tKeyword \"MissingData\" not found. Using default value (\"?\"). Check your "
                     "project file.\n"),
            std::string::npos);
  EXPECT_FALSE(logged(203));
}

TEST_F(FinalChecks, EveryMissingItemIsReportedInOneRun) {
  EXPECT_EQ(open_text("Title=\"nothing else\"\n"), 0);
  const std::string log = log_text();
  const std::vector<std::string> texts = {
      "\t[PROFILE] section not defined. Check your project file.\n",
      "\tKeyword \"NbSamples\" not found. Undefined number of samples to read. Check your "
      "project file.\n",
      "\tKeyword \"DataType\" not found. Undefined data type. Check your project file.\n",
      "\tKeyword \"GenotypicData\" not found. Undefined data type. Check your project file.\n",
      "\t[DATA] section not defined. Check your project file.\n",
      "\tSection \"Samples\" not found in project. At least one sample needs to be defined. Check "
      "your project file.\n",
      "\tKeyword \"SampleData\" not found in Samples section. Sample data is undefined. Check "
      "your project file.\n"};
  size_t previous = 0;
  for (const std::string& t : texts) {
    const size_t at = log.find(t);
    ASSERT_NE(at, std::string::npos) << t;
    EXPECT_GT(at, previous) << "out of order: " << t;
    previous = at;
  }
  EXPECT_EQ(count_logged(203), 1);
}

// ---------------------------------------------------------------------------
// Broken project files: each fails with its diagnostic and its error numbers.
// ---------------------------------------------------------------------------

struct BrokenFile {
  const char* file;
  std::vector<const char*> texts;
  std::vector<int> errors;
  bool final_failure;  // whether the pass ran its final checks (error 203)
};

const std::vector<BrokenFile>& broken_files() {
  static const std::vector<BrokenFile> table = {
      {"missing_profile.qnp",
       {"\t[PROFILE] section not defined. Check your project file.\n"},
       {},
       true},
      {"missing_nbsamples.qnp",
       {"\tKeyword \"NbSamples\" not found. Undefined number of samples to read. Check your "
        "project file.\n"},
       {},
       true},
      {"missing_datatype.qnp",
       {"\tKeyword \"DataType\" not found. Undefined data type. Check your project file.\n"},
       {},
       true},
      {"missing_genotypicdata.qnp",
       {"\tKeyword \"GenotypicData\" not found. Undefined data type. Check your project file.\n"},
       {},
       true},
      {"missing_locusseparator.qnp",
       {"\tKeyword \"LocusSeparator\" not found. Check your project file.\n"},
       {},
       true},
      {"missing_gameticphase.qnp",
       {"\tKeyword \"GameticPhase\" not found. Undefined gametic phase for genotypic data. Check "
        "your project file.\n"},
       {},
       true},
      {"bad_nbsamples.qnp",
       {"\tProject file, Line #3 : Bad value after keyword 'NbSamples'\n"},
       {190, 95},
       false},
      {"nbsamples_blank_comment.qnp",
       {"\tProject file, Line #3 : Bad value after keyword 'NbSamples'\n"},
       {190, 95},
       false},
      {"unreadable_samplename.qnp",
       {"\tProject file, Line #10 : No open quote after keyword 'SampleName'\n",
        "\tProject file, Line #10 : Unable to read the name of sample #1. Aborting reading "
        "project.\n"},
       {190, 62},
       true},
      {"unclosed_sample_brace.qnp",
       {"\tMissing closing brace for sample \"pop1\". New section found on line 14 before finding "
        "closing brace.  Aborting reading procedure"},
       {194, 63},
       true},
      {"unclosed_brace_at_end.qnp",
       {"\tMissing closing brace for sample \"pop1\", aborting reading procedure"},
       {194, 63},
       true},
      {"undefined_haplotype.qnp",
       {"\tHaplotype \"h2\" listed on line 14 is undefined. Aborting reading project."},
       {63},
       true},
      {"mismatched_loci.qnp",
       {"\tNumber of loci for haplotype \"h2\" is different (3) from that previously defined (4) "
        "on line 14"},
       {69, 63},
       true},
      {"bad_dna_characters.qnp",
       {"\tUnable to read haplotype definition on line 13, aborting reading procedure"},
       {26, 63},
       true},
      {"bad_rflp_characters.qnp",
       {"\tUnable to read haplotype definition on line 13, aborting reading procedure"},
       {25, 63},
       true},
      {"bad_microsat_characters.qnp",
       {"\tUnable to read haplotype definition on line 13, aborting reading procedure"},
       {27, 63},
       true},
      {"bad_frequency.qnp",
       {"\tProblem reading haplotype frequency (\"3x\") on line 13 . Aborting reading file"},
       {144, 63},
       true},
      {"conflicting_redefinition.qnp",
       {"\tHaplotype h1 defined on line 18 has already been defined previously...",
        "\tDefinition of haplotype h1 defined on line 18 does not match its previous definition, "
        "aborting reading project."},
       {146, 63},
       true},
      {"missing_sampledata.qnp",
       {"\tKeyword \"SampleData\" not found in Samples section. Sample data is undefined. Check "
        "your project file.\n"},
       {},
       true},
      {"truncated_structure.qnp",
       {"\tError: Missing closing brace in Group #2 opened on line 28. Aborting reading project."},
       {52},
       true},
      {"empty.qnp", {"\t[PROFILE] section not defined. Check your project file.\n"}, {}, true},
      {"binary_garbage.qnp",
       {"\t[PROFILE] section not defined. Check your project file.\n"},
       {},
       true},
  };
  return table;
}

TEST_F(BrokenProjectCorpus, EachFileFailsWithItsDiagnostic) {
  const std::string corpus = std::string(QND_TEST_DATA) + "/project/corpus/";
  for (const BrokenFile& b : broken_files()) {
    SCOPED_TRACE(b.file);
    project_ = std::make_unique<Project>();
    ProfileSettings::DataType = DataTypeDefault;
    ProfileSettings::LocusSeparator = '\0';
    const size_t log_start = log_text().size();
    const std::string path = corpus + b.file;
    ASSERT_TRUE(std::filesystem::is_regular_file(path));
    EXPECT_EQ(open_path(path), 0);
    const std::string log = log_text().substr(log_start);
    for (const char* text : b.texts) EXPECT_NE(log.find(text), std::string::npos) << text;
    for (int number : b.errors) {
      const std::string needle = "\" : " + E.message(number) + "\n";
      EXPECT_NE(log.find(needle), std::string::npos) << "error " << number;
    }
    const std::string final_error = "\" : " + E.message(203) + "\n";
    EXPECT_EQ(log.find(final_error) != std::string::npos, b.final_failure);
  }
}

TEST_F(BrokenProjectCorpus, DirectoryOrMissingFileCannotBeOpened) {
  std::filesystem::create_directory(dir_ + "folder.qnp");
  EXPECT_EQ(open_path(dir_ + "folder.qnp"), 0);
  EXPECT_EQ(count_logged(126), 1);
  EXPECT_EQ(open_path(dir_ + "absent.qnp"), 0);
  EXPECT_EQ(count_logged(126), 2);
  EXPECT_EQ(log_text().find("Reading input file"), std::string::npos);
}

}  // namespace
