// The [[Samples]] section: sample names, sizes and blocks of haplotypic and
// genotypic data, read through the whole reading pass of small project files.
// Every expected value is worked out by hand from the file text of the test.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "base/errors.h"
#include "globals.h"
#include "model/project.h"
#include "project/project_test_util.h"

namespace {

using qnd_reader_test::profile_header;

class HaplotypicBlock : public qnd_reader_test::ProjectFileTest {};
class SampleList : public qnd_reader_test::ProjectFileTest {};
class RelativeFrequencies : public qnd_reader_test::ProjectFileTest {};
class GenotypicBlock : public qnd_reader_test::ProjectFileTest {};
class LongInput : public qnd_reader_test::ProjectFileTest {};
class ExternalSampleFile : public qnd_reader_test::ProjectFileTest {};

// The haplotype entry of a sample at position i.
const PHaploDef& entry(Project& p, int sample, int i) { return *p.samples[sample]->haplotypes[i]; }

TEST_F(HaplotypicBlock, ZeroCountLineIsListedButNotInSample) {
  const std::string text = profile_header("DNA", 1) +
                           "SampleName=\"pop1\"\nSampleSize=3\nSampleData={\n"
                           "h1 3 ACGT\n"
                           "h2 0 ACGA\n"
                           "}\n";
  ASSERT_EQ(open_text(text), 1);
  Project& p = *project_;
  ASSERT_EQ(p.samples.size(), 1);
  const Population& pop = *p.samples[0];
  EXPECT_EQ(pop.name, "pop1");
  EXPECT_EQ(pop.index, 0);
  ASSERT_EQ(pop.num_haplotypes(), 1);
  EXPECT_EQ(entry(p, 0, 0).count, 3);
  EXPECT_EQ(entry(p, 0, 0).hap->name, "h1");
  EXPECT_EQ(pop.line_count, 1);
  EXPECT_DOUBLE_EQ(pop.sample_size, 3.0);
  EXPECT_DOUBLE_EQ(pop.inverse_size, 1.0 / 3.0);
  // The zero-count haplotype is still known to the project, with its content.
  ASSERT_EQ(p.haplotypes.size(), 2);
  const HaploDef* h2 = p.haplotypes.find_by_name("h2");
  ASSERT_NE(h2, nullptr);
  EXPECT_EQ(h2->content, "ACGA");
  EXPECT_EQ(h2->total, 0);
  EXPECT_FALSE(logged(141));  // 3 copies were declared and 3 listed
}

TEST_F(HaplotypicBlock, SequenceSplitByBlanksIsJoined) {
  const std::string text = profile_header("DNA", 1) +
                           "SampleName=\"pop1\"\nSampleSize=2\nSampleData={\n"
                           "h1\t2   ACG TTA\tGG-?\n"
                           "}\n";
  ASSERT_EQ(open_text(text), 1);
  EXPECT_EQ(entry(*project_, 0, 0).hap->content, "ACGTTAGG-?");
}

TEST_F(HaplotypicBlock, KnownIdentifierReusedByLaterSample) {
  const std::string text = profile_header("DNA", 2) +
                           "SampleName=\"pop1\"\nSampleSize=2\nSampleData={\n"
                           "h1 2 ACGT\n}\n"
                           "SampleName=\"pop2\"\nSampleSize=5\nSampleData={\n"
                           "h1 4\nh3 1 TTTT\n}\n";
  ASSERT_EQ(open_text(text), 1);
  Project& p = *project_;
  ASSERT_EQ(p.samples.size(), 2);
  // Both samples point at the one listed haplotype; its total is 2 + 4.
  EXPECT_EQ(entry(p, 0, 0).hap, entry(p, 1, 0).hap);
  EXPECT_EQ(entry(p, 1, 0).hap->content, "ACGT");
  EXPECT_EQ(entry(p, 1, 0).count, 4);
  EXPECT_EQ(entry(p, 1, 0).hap->total, 6);
  EXPECT_EQ(p.haplotypes.size(), 2);
  EXPECT_EQ(p.samples[1]->index, 1);
  EXPECT_DOUBLE_EQ(p.samples[1]->sample_size, 5.0);
  // Listing a known haplotype without content is no redefinition.
  EXPECT_FALSE(logged(146));
}

TEST_F(HaplotypicBlock, SameRedefinitionWarnsAndGoesOn) {
  const std::string text = profile_header("DNA", 2) +
                           "SampleName=\"pop1\"\nSampleSize=1\nSampleData={\nh1 1 ACGT\n}\n"
                           "SampleName=\"pop2\"\nSampleSize=1\nSampleData={\nh1 1 AC GT\n}\n";
  ASSERT_EQ(open_text(text), 1);
  EXPECT_EQ(count_logged(146), 1);
  // Line 18 is the second definition (header 9 lines, first sample 5 lines, then 3 keys).
  EXPECT_NE(log_text().find("\tHaplotype h1 defined on line 18 has already been defined "
                            "previously..."),
            std::string::npos);
  EXPECT_EQ(project_->haplotypes.size(), 1);
}

TEST_F(HaplotypicBlock, MicrosatContentKeepsLocusSeparators) {
  const std::string text = profile_header("MICROSAT", 1) +
                           "SampleName=\"pop1\"\nSampleSize=3\nSampleData={\n"
                           "h1 1 120 134 ?\n"
                           "h2 2 122 134 98\n"
                           "}\n";
  ASSERT_EQ(open_text(text), 1);
  EXPECT_EQ(entry(*project_, 0, 0).hap->content, " 120 134 ?");
  EXPECT_EQ(entry(*project_, 0, 1).hap->content, " 122 134 98");
  EXPECT_EQ(ProfileSettings::LocusSeparator, ' ');
}

TEST_F(HaplotypicBlock, ClosingBraceAfterDataOnSameLine) {
  const std::string text = profile_header("STANDARD", 1) +
                           "SampleName=\"pop1\"\nSampleSize=3\nSampleData={\n"
                           "h1 1 a b # a comment\n"
                           "h2 2 a c }\n";
  ASSERT_EQ(open_text(text), 1);
  ASSERT_EQ(project_->samples[0]->num_haplotypes(), 2);
  EXPECT_EQ(entry(*project_, 0, 0).hap->content, " a b");
  EXPECT_EQ(entry(*project_, 0, 1).hap->content, " a c");
}

TEST_F(HaplotypicBlock, FrequencyDataWithoutLocusSeparatorHasNoContent) {
  const std::string text =
      "[Profile]\nNbSamples=1\nDataType=FREQUENCY\nGenotypicData=0\n[Data]\n[[Samples]]\n"
      "SampleName=\"pop1\"\nSampleSize=7\nSampleData={\n"
      "a1 3\na2 4\n}\n";
  ASSERT_EQ(open_text(text), 1);
  Project& p = *project_;
  ASSERT_EQ(p.samples[0]->num_haplotypes(), 2);
  EXPECT_EQ(entry(p, 0, 0).hap->content, "");
  EXPECT_EQ(entry(p, 0, 1).count, 4);
  EXPECT_DOUBLE_EQ(p.samples[0]->sample_size, 7.0);
  // Frequency data need neither a separator nor a missing-data character.
  EXPECT_EQ(log_text().find("Keyword \"LocusSeparator\" not found"), std::string::npos);
  EXPECT_EQ(log_text().find("Keyword \"MissingData\" not found"), std::string::npos);
}

TEST_F(SampleList, DuplicateNamesGetNumberedSuffixes) {
  std::string text = profile_header("DNA", 3);
  for (int i = 0; i < 3; ++i)
    text += "SampleName=\"pop\"\nSampleSize=1\nSampleData={\nh1 1 ACGT\n}\n";
  ASSERT_EQ(open_text(text), 1);
  ASSERT_EQ(project_->samples.size(), 3);
  EXPECT_EQ(project_->samples[0]->name, "pop");
  EXPECT_EQ(project_->samples[1]->name, "pop0");
  // The third clashes with "pop" and then with "pop0".
  EXPECT_EQ(project_->samples[2]->name, "pop1");
  EXPECT_EQ(count_logged(65), 3);
}

TEST_F(SampleList, MissingSampleSizeCarriesOverFromPreviousSample) {
  const std::string text = profile_header("DNA", 2) +
                           "SampleName=\"pop1\"\nSampleSize=4\nSampleData={\nh1 4 ACGT\n}\n"
                           "SampleName=\"pop2\"\nSampleData={\nh1 2\nh2 4 ACGA\n}\n";
  ASSERT_EQ(open_text(text), 1);
  // pop2 inherits the declared size 4, lists 6 copies, and ends with size 6.
  EXPECT_EQ(count_logged(141), 1);
  EXPECT_NE(log_text().find("Population::New_read_gametic_data() (SampleSize=4; Sum. Freq.=6)"),
            std::string::npos);
  EXPECT_DOUBLE_EQ(project_->samples[1]->sample_size, 6.0);
  EXPECT_DOUBLE_EQ(project_->samples[1]->inverse_size, 1.0 / 6.0);
}

TEST_F(SampleList, NoSampleSizeAtAllWarnsAndUsesSum) {
  const std::string text =
      profile_header("DNA", 1) + "SampleName=\"pop1\"\nSampleData={\nh1 2 ACGT\nh2 3 ACGA\n}\n";
  ASSERT_EQ(open_text(text), 1);
  EXPECT_DOUBLE_EQ(project_->samples[0]->sample_size, 5.0);
  EXPECT_NE(log_text().find("(SampleSize=0; Sum. Freq.=5)"), std::string::npos);
  EXPECT_NE(log_text().find("\tKeyword \"SampleSize\" not found in Samples section. Sample size "
                            "is undefined.\n\t\tUsing sum of haplotype frequencies. Check your "
                            "project file.\n"),
            std::string::npos);
}

TEST_F(SampleList, FewerSamplesThanDeclaredAdjustsTheCount) {
  const std::string text =
      profile_header("DNA", 3) + "SampleName=\"pop1\"\nSampleSize=1\nSampleData={\nh1 1 ACGT\n}\n";
  ASSERT_EQ(open_text(text), 1);
  EXPECT_TRUE(logged(95));
  EXPECT_NE(log_text().find("Warning: 1 samples are actually listed in project file, while \n3 "
                            "are defined in the [[Profile]] section. Adjusting no. of "
                            "samples...\n"),
            std::string::npos);
  EXPECT_EQ(project_->profile.NbSamples, 1);
  // DNA data end the section with no separator between sites.
  EXPECT_EQ(ProfileSettings::LocusSeparator, '\0');
}

TEST_F(SampleList, CommentedOutKeyDoesNotAct) {
  const std::string text = profile_header("DNA", 1) +
                           "SampleName=\"pop1\"\nSampleSize=2\n# SampleSize=9\nSampleData={\n"
                           "h1 2 ACGT\n}\n";
  ASSERT_EQ(open_text(text), 1);
  EXPECT_FALSE(logged(141));
  EXPECT_DOUBLE_EQ(project_->samples[0]->sample_size, 2.0);
}

TEST_F(SampleList, SampleObjectMatchesDataType) {
  const std::string text =
      profile_header("RFLP", 1) + "SampleName=\"pop1\"\nSampleSize=1\nSampleData={\nh1 1 0110\n}\n";
  ASSERT_EQ(open_text(text), 1);
  EXPECT_NE(dynamic_cast<PopulRFLP*>(project_->samples[0]), nullptr);
  EXPECT_EQ(entry(*project_, 0, 0).hap->content, " 0110");
}

// Each faulty sample that fails the project: its text after the profile, the
// diagnostics written and the numbered messages logged. Line numbers count the
// profile (9 lines for haplotypic data, 10 for genotypic data, 11 with a
// frequency key).
TEST_F(SampleList, FaultsThatFailTheProject) {
  const std::string one = "SampleName=\"pop1\"\nSampleSize=1\nSampleData={\nh1 1 ACGT\n}\n";
  struct Case {
    std::string text;
    std::vector<std::string> logs;
    std::vector<int> numbers;
    int samples_kept;  // -1: not checked
  };
  const std::string dna = profile_header("DNA", 1);
  const std::string standard = profile_header("STANDARD", 1, "", 1);
  const Case cases[] = {
      {dna + "SampleName=\"pop1\"\nSampleSize=3\nSampleData={\nh1 -3 ACGT\n}\n",
       {"\tProblem reading haplotype frequency (\"-3\") on line 13 . Aborting reading file"},
       {144},
       0},
      {profile_header("DNA", 2) + one + "SampleName=pop2\nSampleSize=1\nSampleData={\nh1 1\n}\n",
       {"\tProject file, Line #15 : No open quote after keyword 'SampleName'\n",
        "\tProject file, Line #15 : Unable to read the name of sample #2. Aborting reading "
        "project.\n"},
       {62, 203},
       -1},
      {dna + "SampleName=\"pop1\"\nSampleSize=ten\nSampleData={\nh1 1 ACGT\n}\n",
       {"\tProject file, Line #11 : Unable to read the size of sample #1. Aborting reading "
        "project.\n"},
       {66, 203},
       -1},
      {profile_header("DNA", 1, "Frequency=REL\n") +
           "SampleName=\"pop1\"\nSampleSize=-4\nSampleData={\nh1 1 ACGT\n}\n",
       {"\tProject file, Line #12 : Unable to read the size of sample #1. Aborting reading "
        "project.\n"},
       {66},
       0},
      {dna + "SampleSize=2\nSampleData={\nh1 2 ACGT\n}\n",
       {"Warning: Keyword \"SampleName\" not found while data is defined for population #1"},
       {207},
       -1},
      // The second copy is line 15.
      {standard + "SampleName=\"pop1\"\nSampleSize=1\nSampleData={\nind1 1 a b c\n a b\n}\n",
       {"\tNumber of loci for genotype \"ind1\" is different (2) from that previously defined (3) "
        "on line 15"},
       {69, 63, 203},
       -1},
      {standard + "SampleName=\"pop1\"\nSampleSize=1\nSampleData={\nind1 1\n a b\n}\n",
       {"\tUnable to read genotype \"ind1\" definition on line 14. Aborting reading project"},
       {149},
       -1},
      {standard + "SampleName=\"pop1\"\nSampleSize=1\nSampleData={\nind1 one a b\n a b\n}\n",
       {"\tProblem reading genotype frequency (\"one\") on line 14. Aborting reading project"},
       {149},
       -1},
      {dna + "SampleName=\"pop1\"\nSampleSize=3\nSampleData=EXTERN \"nowhere.txt\"\n",
       {"\tWarning: External file \"nowhere.txt\" listed on line 12 cannot be open. Check that it "
        "exists...\n"},
       {63},
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    project_ = std::make_unique<Project>();
    const size_t log_start = log_text().size();
    EXPECT_EQ(open_text(c.text), 0);
    const std::string log = log_text().substr(log_start);
    for (const std::string& piece : c.logs) EXPECT_NE(log.find(piece), std::string::npos) << log;
    for (const int number : c.numbers)
      EXPECT_NE(log.find("\" : " + E.message(number) + "\n"), std::string::npos) << number;
    if (c.samples_kept >= 0) {
      EXPECT_EQ(project_->samples.size(), c.samples_kept);
    }
  }
}

TEST_F(RelativeFrequencies, HalfAndHalfOfNineGiveFiveAndFive) {
  const std::string text = profile_header("DNA", 1, "Frequency=REL\n") +
                           "SampleName=\"pop1\"\nSampleSize=9\nSampleData={\n"
                           "h1 0.5 ACGT\nh2 0.5 ACGA\n}\n";
  ASSERT_EQ(open_text(text), 1);
  Project& p = *project_;
  EXPECT_EQ(p.profile.Frequency, 1);
  // 0.5 x 9 + 0.5 = 5 for each line.
  EXPECT_EQ(entry(p, 0, 0).count, 5);
  EXPECT_EQ(entry(p, 0, 1).count, 5);
  EXPECT_DOUBLE_EQ(p.samples[0]->sample_size, 10.0);
  EXPECT_FALSE(logged(141));
  EXPECT_FALSE(logged(174));
}

TEST_F(RelativeFrequencies, SumAwayFromOneWarns) {
  const std::string text = profile_header("DNA", 1, "Frequency=REL\n") +
                           "SampleName=\"pop1\"\nSampleSize=10\nSampleData={\n"
                           "h1 0.5 ACGT\nh2 0.3 ACGA\n}\n";
  ASSERT_EQ(open_text(text), 1);
  EXPECT_EQ(count_logged(174), 1);
  EXPECT_NE(log_text().find("Population::New_read_gametic_data() sum of Relative "
                            "frequencies=0.800000"),
            std::string::npos);
  EXPECT_DOUBLE_EQ(project_->samples[0]->sample_size, 8.0);
}

TEST_F(GenotypicBlock, TwoLinesPerIndividual) {
  const std::string text = profile_header("STANDARD", 1, "", 1) +
                           "SampleName=\"pop1\"\nSampleSize=3\nSampleData={\n"
                           "ind1 1 a b\n"
                           "      a c\n"
                           "ind2 2 b b  # two alike\n"
                           "      c b\n"
                           "}\n";
  ASSERT_EQ(open_text(text), 1);
  const Population& pop = *project_->samples[0];
  ASSERT_EQ(pop.num_individuals(), 2);
  EXPECT_EQ(pop.individuals[0]->id, "ind1");
  EXPECT_EQ(pop.individuals[0]->copy1, " a b");
  EXPECT_EQ(pop.individuals[0]->copy2, " a c");
  EXPECT_DOUBLE_EQ(pop.individuals[1]->count, 2.0);
  EXPECT_EQ(pop.individuals[1]->copy2, " c b");
  EXPECT_EQ(pop.line_count, 4);
  EXPECT_DOUBLE_EQ(pop.sample_size, 3.0);
  EXPECT_EQ(pop.num_haplotypes(), 0);
}

TEST_F(GenotypicBlock, ClosingBraceAsSecondLineDropsIndividual) {
  const std::string text = profile_header("STANDARD", 1, "", 1) +
                           "SampleName=\"pop1\"\nSampleSize=1\nSampleData={\n"
                           "ind1 1 a b\n      a c\n"
                           "ind2 1 b b\n"
                           "}\n";
  ASSERT_EQ(open_text(text), 1);
  const Population& pop = *project_->samples[0];
  ASSERT_EQ(pop.num_individuals(), 1);
  EXPECT_EQ(pop.individuals[0]->id, "ind1");
  EXPECT_EQ(pop.line_count, 2);
  // The dropped individual does not count: one individual, as declared.
  EXPECT_DOUBLE_EQ(pop.sample_size, 1.0);
  EXPECT_FALSE(logged(141));
}

TEST_F(GenotypicBlock, RelativeQuarterAndThreeQuartersOfFour) {
  const std::string text = profile_header("STANDARD", 1, "Frequency=REL\n", 1) +
                           "SampleName=\"pop1\"\nSampleSize=4\nSampleData={\n"
                           "ind1 0.25 a b\n a c\n"
                           "ind2 0.75 b b\n c b\n"
                           "}\n";
  ASSERT_EQ(open_text(text), 1);
  const Population& pop = *project_->samples[0];
  ASSERT_EQ(pop.num_individuals(), 2);
  // 0.25 x 4 + 0.5 = 1.5 -> 1; 0.75 x 4 + 0.5 = 3.5 -> 3.
  EXPECT_DOUBLE_EQ(pop.individuals[0]->count, 1.0);
  EXPECT_DOUBLE_EQ(pop.individuals[1]->count, 3.0);
  EXPECT_DOUBLE_EQ(pop.sample_size, 4.0);
}

TEST_F(GenotypicBlock, DnaCopiesSplitByBlanksAreJoined) {
  const std::string text = profile_header("DNA", 1, "", 1) +
                           "SampleName=\"pop1\"\nSampleSize=1\nSampleData={\n"
                           "ind1 1 ACG TTA\n   ACG\tTTC\n}\n";
  ASSERT_EQ(open_text(text), 1);
  const Population& pop = *project_->samples[0];
  ASSERT_EQ(pop.num_individuals(), 1);
  EXPECT_EQ(pop.individuals[0]->copy1, "ACGTTA");
  EXPECT_EQ(pop.individuals[0]->copy2, "ACGTTC");
}

TEST_F(LongInput, MillionBaseSequenceReadWhole) {
  std::string sequence;
  sequence.reserve(1000000);
  const char bases[] = "ACGT";
  unsigned state = 12345;
  for (int i = 0; i < 1000000; ++i) {
    state = state * 1103515245u + 12345u;
    sequence += bases[(state >> 16) & 3u];
  }
  const std::string text = profile_header("DNA", 1) +
                           "SampleName=\"pop1\"\nSampleSize=2\nSampleData={\n"
                           "h1 2 " +
                           sequence + "\n}\n";
  ASSERT_EQ(open_text(text), 1);
  const std::string& content = entry(*project_, 0, 0).hap->content;
  EXPECT_EQ(content.size(), 1000000u);
  EXPECT_TRUE(content == sequence);
}

TEST_F(LongInput, SixHundredThousandLineFileReadWhole) {
  // 300,000 comment lines read by the pass itself, then a block of 300,000
  // haplotype lines read by the samples reader: 600,012 lines in all.
  std::string text;
  text.reserve(12000000);
  text +=
      "[Profile]\nNbSamples=1\nDataType=STANDARD\nGenotypicData=0\n"
      "LocusSeparator=WHITESPACE\nMissingData='?'\n";
  for (int i = 0; i < 300000; ++i) text += "# filler\n";
  text += "[Data]\n[[Samples]]\nSampleName=\"big\"\nSampleSize=300000\nSampleData={\n";
  for (int i = 0; i < 300000; ++i)
    text += "h" + std::to_string(i) + " 1 " + std::to_string(i) + "\n";
  text += "}\n";
  ASSERT_EQ(open_text(text), 1);
  const Population& pop = *project_->samples[0];
  EXPECT_EQ(pop.num_haplotypes(), 300000);
  EXPECT_EQ(pop.line_count, 300000);
  EXPECT_DOUBLE_EQ(pop.sample_size, 300000.0);
  EXPECT_EQ(pop.haplotypes[299999]->hap->name, "h299999");
  EXPECT_EQ(pop.haplotypes[299999]->hap->content, " 299999");
  EXPECT_FALSE(logged(141));
}

TEST_F(ExternalSampleFile, BlockReadFromFileNextToProject) {
  write_file("pop1.txt", "h1 2 ACGT\nh2 1 ACGA\n");
  const std::string text = profile_header("DNA", 1) +
                           "SampleName=\"pop1\"\nSampleSize=3\nSampleData=EXTERN \"pop1.txt\"\n";
  ASSERT_EQ(open_text(text), 1);
  const Population& pop = *project_->samples[0];
  ASSERT_EQ(pop.num_haplotypes(), 2);
  EXPECT_EQ(pop.haplotypes[1]->hap->content, "ACGA");
  EXPECT_DOUBLE_EQ(pop.sample_size, 3.0);
  EXPECT_TRUE(logged(191));
  EXPECT_NE(log_text().find("\tReading sample data for population \"pop1\" in external "
                            "file\"pop1.txt\""),
            std::string::npos);
}

}  // namespace
