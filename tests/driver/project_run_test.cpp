// The project run sequence on projects built in memory: the check of the
// selected analyses against the data, the preparation of the samples, and the
// bookkeeping of a run (names, clean-up, refusal to run).
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <utility>

#include "driver/driver_test_util.h"
#include "globals.h"
#include "model/population.h"
#include "model/project.h"
#include "settings/settings.h"
#include "sumstat/sumstat.h"

namespace {

using driver_test::LogCapture;

// Restores the class-wide profile values that a test changes.
class ProfileGuard {
 public:
  ProfileGuard(TDataType type, char separator)
      : type_(ProfileSettings::DataType), separator_(ProfileSettings::LocusSeparator) {
    ProfileSettings::DataType = type;
    ProfileSettings::LocusSeparator = separator;
  }
  ~ProfileGuard() {
    ProfileSettings::DataType = type_;
    ProfileSettings::LocusSeparator = separator_;
  }

 private:
  TDataType type_;
  char separator_;
};

HaploDef* add_haplotype(Project& project, const char* id, const char* content) {
  auto* h = new HaploDef(my_string(id));
  h->content = content;
  project.haplotypes.add(h);
  return h;
}

// A haplotypic sample holding the given haplotypes with their counts.
void add_sample(Project& project, const char* name,
                std::initializer_list<std::pair<HaploDef*, int>> entries) {
  Population p;
  p.name = name;
  for (const auto& [h, count] : entries) {
    p.haplotypes.Add(new PHaploDef(h, count));
    p.sample_size += count;
  }
  project.samples.pops.Add(make_population_for_type(ProfileSettings::DataType, p));
}

// A genotypic sample of one individual.
void add_individual_sample(Project& project, const char* name, const char* copy1,
                           const char* copy2) {
  Population p;
  p.name = name;
  auto* t = new TPhenotype;
  t->id = "ind1";
  t->count = 1;
  t->copy1 = copy1;
  t->copy2 = copy2;
  p.individuals.Add(t);
  p.sample_size = 1;
  project.samples.pops.Add(make_population_for_type(ProfileSettings::DataType, p));
}

bool has(const std::string& log, const std::string& piece) {
  return log.find(piece) != std::string::npos;
}

}  // namespace

TEST(MakeRunPossible, NoSamplesIsError123) {
  ProfileGuard guard(DNA, '\0');
  LogCapture log;
  Project project;
  EXPECT_EQ(project.make_run_possible(), 0);
  EXPECT_TRUE(has(log.text(), "  Checking all selected options...\n"));
  EXPECT_TRUE(has(log.text(),
                  "from function \"Project::make_run_possible()\" : "
                  "no samples have been defined"));
}

TEST(MakeRunPossible, HardyWeinbergAndAssignmentAreDroppedForHaplotypicData) {
  ProfileGuard guard(DNA, '\0');
  LogCapture log;
  Project project;
  add_sample(project, "A", {{add_haplotype(project, "h1", "ACGT"), 3}});
  project.s.TaskNumber = 1 + 32 + 32768;
  ASSERT_EQ(project.make_run_possible(), 1);
  EXPECT_EQ(project.s.TaskNumber, 1);
  EXPECT_TRUE(has(log.text(),
                  "     !!!Hardy-Weinberg disequilibrium test is not possible on Haplotypic data,\n"
                  "        this task will be skipped.\n"));
  EXPECT_TRUE(has(log.text(), "      population is only possible for Genotypic data \n"));
}

TEST(MakeRunPossible, AmovaIsDroppedWithoutStructure) {
  ProfileGuard guard(DNA, '\0');
  LogCapture log;
  Project project;
  add_sample(project, "A", {{add_haplotype(project, "h1", "ACGT"), 3}});
  project.s.TaskNumber = 512 + 1024;
  ASSERT_EQ(project.make_run_possible(), 1);
  EXPECT_EQ(project.s.TaskNumber, 1024);
  EXPECT_TRUE(has(log.text(),
                  "  An AMOVA analysis was selected and no Genetic structure\n"
                  "  is defined, AMOVA task is skipped.\n"));
  // No matrix in the project: it will be computed from the sequences.
  EXPECT_TRUE(has(log.text(), "    !!!No matrix was specified in input file"));
  EXPECT_FALSE(has(log.text(), "No molecular information"));
}

TEST(MakeRunPossible, AmovaIsKeptWithAStructure) {
  ProfileGuard guard(DNA, '\0');
  LogCapture log;
  Project project;
  add_sample(project, "A", {{add_haplotype(project, "h1", "ACGT"), 3}});
  project.structure.add_group();
  project.structure.NbGroups = 1;
  project.s.TaskNumber = 512;
  ASSERT_EQ(project.make_run_possible(), 1);
  EXPECT_EQ(project.s.TaskNumber, 512);
}

TEST(MakeRunPossible, ShortBurnInsAreRaisedTo1000) {
  ProfileGuard guard(DNA, '\0');
  LogCapture log;
  Project project;
  add_sample(project, "A", {{add_haplotype(project, "h1", "ACGT"), 3}});
  project.s.MarkovChainDememorisationStepsLD = 100;
  project.s.MarkovChainDememorisationStepsHW = 499;
  ASSERT_EQ(project.make_run_possible(), 1);
  EXPECT_EQ(project.s.MarkovChainDememorisationStepsLD, 1000);
  EXPECT_EQ(project.s.MarkovChainDememorisationStepsHW, 1000);
  EXPECT_TRUE(has(log.text(),
                  " Too few steps for dememorization (100 ) in linkage "
                  "disequilibrium test, setting it to 1000...\n"));
  EXPECT_TRUE(has(log.text(),
                  " Too few steps for dememorization (499 ) in Hardy-Weinberg "
                  "disequilibrium test, setting it to 1000...\n"));
}

TEST(MakeRunPossible, BurnInOf500IsKept) {
  ProfileGuard guard(DNA, '\0');
  LogCapture log;
  Project project;
  add_sample(project, "A", {{add_haplotype(project, "h1", "ACGT"), 3}});
  project.s.MarkovChainDememorisationStepsLD = 500;
  project.s.MarkovChainDememorisationStepsHW = 500;
  ASSERT_EQ(project.make_run_possible(), 1);
  EXPECT_EQ(project.s.MarkovChainDememorisationStepsLD, 500);
  EXPECT_FALSE(has(log.text(), "Too few steps"));
}

TEST(MakeRunPossible, MicrosatelliteDataDropInfiniteAlleleTestsSilently) {
  ProfileGuard guard(MICROSAT, ' ');
  LogCapture log;
  Project project;
  add_sample(project, "A", {{add_haplotype(project, "h1", " 12 14"), 2}});
  project.s.TaskNumber = 1 + 128 + 256;
  ASSERT_EQ(project.make_run_possible(), 1);
  EXPECT_EQ(project.s.TaskNumber, 1);
}

TEST(MakeRunPossible, StandardDataUseConventionalFst) {
  ProfileGuard guard(STANDARD, ' ');
  LogCapture log;
  Project project;
  add_sample(project, "A", {{add_haplotype(project, "h1", " a b"), 2}});
  project.s.TaskNumber = 1024;
  project.s.ComputeDistanceMatrixAMOVA = 0;
  ASSERT_EQ(project.make_run_possible(), 1);
  EXPECT_TRUE(has(log.text(), "   !!!No molecular information is available for testing"));
  EXPECT_EQ(project.s.ComputeDistanceMatrixAMOVA, 1);
  EXPECT_EQ(project.s.ComputeConventionalFST, 1);
}

TEST(MakeRunPossible, UnknownPhaseSwitchesOffPrintingAndKnownPhaseBuildsGeneCopies) {
  ProfileGuard guard(DNA, '\0');
  {
    LogCapture log;
    Project project;
    project.profile.GenotypicData = 1;
    project.profile.GameticPhase = 0;
    add_individual_sample(project, "A", "ACGT", "ACGA");
    project.s.PrintHaplDistMat = 1;
    project.s.PrintMinSpannNetworkPop = 1;
    project.s.RecessiveAllelesEM = 1;
    ASSERT_EQ(project.make_run_possible(), 1);
    EXPECT_EQ(project.s.PrintHaplDistMat, 0);
    EXPECT_EQ(project.s.PrintMinSpannNetworkPop, 0);
    EXPECT_FALSE(project.pseudo_haplotypes_built);
    EXPECT_EQ(project.samples[0]->num_haplotypes(), 0);
  }
  {
    LogCapture log;
    Project project;
    project.profile.GenotypicData = 1;
    project.profile.GameticPhase = 1;
    add_individual_sample(project, "A", "ACGT", "ACGA");
    ASSERT_EQ(project.make_run_possible(), 1);
    EXPECT_TRUE(has(log.text(), "\t\tProcessing phenotypes into pseudo-haplotypes..."));
    EXPECT_TRUE(project.pseudo_haplotypes_built);
    // Two different gene copies: two haplotypes with one copy each.
    EXPECT_EQ(project.haplotypes.size(), 2);
    EXPECT_EQ(project.samples[0]->num_haplotypes(), 2);
  }
}

TEST(MakeRunPossible, RecessiveDataWithKnownPhaseIsError138) {
  ProfileGuard guard(STANDARD, ' ');
  LogCapture log;
  Project project;
  project.profile.GenotypicData = 1;
  project.profile.GameticPhase = 1;
  project.profile.RecessiveData = 1;
  add_individual_sample(project, "A", " a b", " a c");
  EXPECT_EQ(project.make_run_possible(), 0);
  EXPECT_TRUE(has(log.text(), "incompatibility between known gametic phase and recessive data"));
}

TEST(VerifyData, SampleWithoutDataIsError68) {
  ProfileGuard guard(DNA, '\0');
  LogCapture log;
  Project project;
  add_sample(project, "full", {{add_haplotype(project, "h1", "ACGT"), 3}});
  add_sample(project, "empty", {});
  EXPECT_EQ(project.make_run_possible(), 0);
  EXPECT_TRUE(has(log.text(), "\tSample \"empty\" holds no data.\n"));
  EXPECT_TRUE(has(log.text(), "a population has no defined data"));
}

TEST(VerifyData, SequencesOfDifferentLengthsAreError161) {
  ProfileGuard guard(DNA, '\0');
  LogCapture log;
  Project project;
  add_sample(project, "A", {{add_haplotype(project, "h1", "ACGT"), 3}});
  add_sample(project, "B", {{add_haplotype(project, "h2", "ACG"), 1}});
  EXPECT_EQ(project.make_run_possible(), 0);
  EXPECT_TRUE(has(log.text(), "DNA sequences have different lengths"));
}

TEST(VerifyData, RflpAndOtherTypesUseTheirOwnMessages) {
  {
    ProfileGuard guard(RFLP, '\0');
    LogCapture log;
    Project project;
    add_sample(
        project, "A",
        {{add_haplotype(project, "h1", "0101"), 1}, {add_haplotype(project, "h2", "01011"), 1}});
    EXPECT_EQ(project.samples.verify_data(project.haplotypes), 0);
    EXPECT_TRUE(has(log.text(), "RFLP haplotypes have different length"));
  }
  {
    ProfileGuard guard(MICROSAT, ' ');
    LogCapture log;
    Project project;
    // Three loci against two: the separator delimits loci, not characters.
    add_sample(project, "A",
               {{add_haplotype(project, "h1", " 120 14 16"), 1},
                {add_haplotype(project, "h2", " 12 140"), 1}});
    EXPECT_EQ(project.samples.verify_data(project.haplotypes), 0);
    EXPECT_TRUE(has(log.text(), "haplotypes have different number of loci"));
  }
}

TEST(VerifyData, LociAreCountedPerTokenWithASeparator) {
  ProfileGuard guard(MICROSAT, ' ');
  LogCapture log;
  Project project;
  add_sample(project, "A",
             {{add_haplotype(project, "h1", " 120 14 16"), 1},
              {add_haplotype(project, "h2", " 12 140 9"), 1}});
  EXPECT_EQ(project.samples.verify_data(project.haplotypes), 1);
}

TEST(VerifyData, GeneCopiesOfDifferentLengthsAreError69) {
  ProfileGuard guard(DNA, '\0');
  LogCapture log;
  Project project;
  project.profile.GenotypicData = 1;
  add_individual_sample(project, "A", "ACGT", "ACG");
  EXPECT_EQ(project.samples.verify_data(project.haplotypes), 0);
  EXPECT_TRUE(has(log.text(), "phenotypes have different number of loci"));
}

TEST(VerifyData, FrequencyDataNeedNoContent) {
  ProfileGuard guard(FREQUENCY, '\0');
  LogCapture log;
  Project project;
  add_sample(project, "A",
             {{add_haplotype(project, "h1", ""), 4}, {add_haplotype(project, "h2", ""), 1}});
  EXPECT_EQ(project.samples.verify_data(project.haplotypes), 1);
}

TEST(SamplePreparation, DnaLettersAreUpperCased) {
  ProfileGuard guard(DNA, '\0');
  Project project;
  HaploDef* h = add_haplotype(project, "h1", "acgTn?-");
  add_sample(project, "A", {{h, 1}});
  add_individual_sample(project, "B", "ac", "gT");
  project.samples.convert_dna_upper(project.haplotypes);
  EXPECT_EQ(h->content, "ACGTN?-");
  EXPECT_EQ(project.samples[1]->individuals[0]->copy1, "AC");
  EXPECT_EQ(project.samples[1]->individuals[0]->copy2, "GT");
  // The content index follows the change.
  EXPECT_EQ(project.haplotypes.find(std::string("ACGTN?-")), h);
}

TEST(SamplePreparation, OnlyDnaIsUpperCased) {
  ProfileGuard guard(STANDARD, ' ');
  Project project;
  HaploDef* h = add_haplotype(project, "h1", " a b");
  add_sample(project, "A", {{h, 1}});
  project.samples.convert_dna_upper(project.haplotypes);
  EXPECT_EQ(h->content, " a b");
}

TEST(SamplePreparation, SeparatorsLeaveSequencesButNotAlleleLists) {
  {
    ProfileGuard guard(DNA, ':');
    Project project;
    HaploDef* h = add_haplotype(project, "h1", "AC:GT::A");
    add_sample(project, "A", {{h, 1}});
    add_individual_sample(project, "B", "A:C", "GT");
    EXPECT_EQ(project.samples.rm_separators(project.haplotypes, ':'), 2);
    EXPECT_EQ(h->content, "ACGTA");
    EXPECT_EQ(project.samples[1]->individuals[0]->copy1, "AC");
  }
  {
    ProfileGuard guard(MICROSAT, ':');
    Project project;
    HaploDef* h = add_haplotype(project, "h1", ":12:14");
    add_sample(project, "A", {{h, 1}});
    EXPECT_EQ(project.samples.rm_separators(project.haplotypes, ':'), 0);
    EXPECT_EQ(h->content, ":12:14");
  }
}

TEST(SamplePreparation, WorkIsGeneCopiesTimesSelectedAnalyses) {
  ProfileGuard guard(DNA, '\0');
  Project project;
  HaploDef* h = add_haplotype(project, "h1", "ACGT");
  add_sample(project, "A", {{h, 3}});
  add_sample(project, "B", {{h, 4}});
  project.s.TaskNumber = 1 + 2 + 64;
  EXPECT_DOUBLE_EQ(project.samples.evaluate_work(project.s), 21.0);
  project.s.TaskNumber = 0;
  EXPECT_DOUBLE_EQ(project.samples.evaluate_work(project.s), 0.0);
}

TEST(ProjectRun, UnrunnableProjectRefusesToRun) {
  LogCapture log;
  Project project;
  project.runnable = 0;
  EXPECT_EQ(project.run(), 0);
  EXPECT_EQ(log.text(), "\n No valid project is opened....\n");
  EXPECT_EQ(project.run_counter, 0);
}

TEST(ProjectRun, ResultNamesFollowTheProjectPath) {
  Project project;
  project.build_result_names(my_string("data/set.v2.qnp"));
  EXPECT_EQ(project.project_path, "data/set.v2.qnp");
  EXPECT_EQ(project.project_name, "set.v2.qnp");
  EXPECT_EQ(project.result_directory, "data/set.v2.res/");
  project.build_result_names(my_string("plain"));
  EXPECT_EQ(project.project_name, "plain");
  EXPECT_EQ(project.result_directory, "plain.res/");
}

TEST(ProjectRun, CleanForgetsTheData) {
  ProfileGuard guard(DNA, '\0');
  Project project;
  add_sample(project, "A", {{add_haplotype(project, "h1", "ACGT"), 3}});
  project.structure.add_group();
  project.structure.NbGroups = 1;
  project.allele_vectors_built = true;
  project.pseudo_haplotypes_built = true;
  project.profile.GenotypicData = 1;
  project.clean();
  EXPECT_EQ(project.samples.size(), 0);
  EXPECT_EQ(project.haplotypes.size(), 0);
  EXPECT_EQ(project.structure.num_groups(), 0);
  EXPECT_FALSE(project.allele_vectors_built);
  EXPECT_FALSE(project.pseudo_haplotypes_built);
  EXPECT_EQ(project.profile.GenotypicData, 0);
  EXPECT_EQ(project.current_samples, &project.samples);
}

namespace {

const char* const kTwoGroupProject =
    "[Profile]\n"
    "  NbSamples=2\n"
    "  DataType=DNA\n"
    "  GenotypicData=0\n"
    "  LocusSeparator=NONE\n"
    "[Data]\n"
    "  [[Samples]]\n"
    "    SampleName=\"A\"\n"
    "    SampleSize=3\n"
    "    SampleData={\n"
    "      h1 2 acgt\n"
    "      h2 1 ACGA\n"
    "    }\n"
    "    SampleName=\"B\"\n"
    "    SampleSize=2\n"
    "    SampleData={\n"
    "      h1 2\n"
    "    }\n"
    "  [[Structure]]\n"
    "    StructureName=\"two\"\n"
    "    NbGroups=2\n"
    "    Group={ \"A\" }\n"
    "    Group={ \"B\" }\n";

// A project file and settings file in the temporary directory, with the
// project ready to run as the batch loop leaves it.
void prepare_run(Project& project, const char* project_text, const char* settings_text) {
  driver_test::write_file("p.qnp", project_text);
  driver_test::write_file("qnd_run.qns", settings_text);
  std::filesystem::create_directory("p.res");
  settings::input_file = "p.qnp";
  project.build_result_names(my_string("p.qnp"));
  project.settings_file = "qnd_run.qns";
  project.s.read_settings(project.settings_file);
  project.runnable = 1;
}

void select_levels(bool group, bool population) {
  SumStat.resetComputationFlags();
  SumStat.sumStatMode = true;
  SumStat.GROUP_LEVEL = group;
  SumStat.POP_LEVEL = population;
  SumStat.MEAN_K = true;
}

}  // namespace

TEST(ProjectRunPasses, EveryPassStartsFromClearedValues) {
  driver_test::TempDir dir;
  ProfileGuard guard(DNA, '\0');
  Project project;
  prepare_run(project, kTwoGroupProject, "TaskNumber=0\n");
  select_levels(true, true);
  SumStat.meanK = 4242.5;  // left over from an earlier pass
  settings::num_proj_done = 0;
  ASSERT_EQ(project.run(), 1);
  EXPECT_EQ(SumStat.headerLine, "gr_mean_K\tmean_K\t\n");
  EXPECT_EQ(SumStat.statsLine.find("4242.5"), std::string::npos) << SumStat.statsLine;
  SumStat.resetComputationFlags();
}

TEST(ProjectRunPasses, HeaderIsBuiltUntilAProjectOfTheBatchHasRun) {
  driver_test::TempDir dir;
  ProfileGuard guard(DNA, '\0');
  Project project;
  prepare_run(project, kTwoGroupProject, "TaskNumber=0\n");
  select_levels(false, true);
  // A failed first project (num_proj_done 1) has not completed the header.
  settings::num_proj_done = 1;
  ASSERT_EQ(project.run(), 1);
  EXPECT_EQ(SumStat.headerLine, "mean_K\t\n");
  SumStat.header_complete = true;
  SumStat.headerLine.clear();
  SumStat.statsLine.clear();
  prepare_run(project, kTwoGroupProject, "TaskNumber=0\n");
  ASSERT_EQ(project.run(), 1);
  EXPECT_EQ(SumStat.headerLine, "");
  EXPECT_EQ(driver_test::fields_count(SumStat.statsLine), 1);
  settings::num_proj_done = 0;
  SumStat.resetComputationFlags();
}

TEST(ProjectRunPasses, PopulationPassKeepsTheCheckedSettingsOfTheGroupPass) {
  driver_test::TempDir dir;
  ProfileGuard guard(DNA, '\0');
  // Raised from 100 to 1000 by the check of the data, whichever passes run.
  for (const auto& [group, population] :
       {std::pair{true, false}, std::pair{true, true}, std::pair{false, true}}) {
    Project project;
    prepare_run(project, kTwoGroupProject, "MarkovChainDememorisationStepsLD=100\n");
    select_levels(group, population);
    ASSERT_EQ(project.run(), 1);
    EXPECT_EQ(project.s.MarkovChainDememorisationStepsLD, 1000) << group << population;
  }
  {
    // A task that the check switched off (the Hardy-Weinberg test, 32, on
    // haplotypic data) stays off after the group pass.
    Project project;
    prepare_run(project, kTwoGroupProject, "TaskNumber=33\n");
    select_levels(true, true);
    ASSERT_EQ(project.run(), 1);
    EXPECT_EQ(project.s.TaskNumber, 1);
  }
  SumStat.resetComputationFlags();
}

TEST(ProjectRunPasses, RunReadsTheCleanedCopyAndRemovesIt) {
  driver_test::TempDir dir;
  ProfileGuard guard(DNA, '\0');
  LogCapture log;
  Project project;
  prepare_run(project, kTwoGroupProject, "TaskNumber=0\n");
  select_levels(false, true);
  ASSERT_EQ(project.run(), 1);
  // The copy lives in a directory of this process inside the result directory.
  const std::string work = "p.res/run" + std::to_string(::getpid()) + "/";
  EXPECT_EQ(settings::input_file, (work + "p.qnp").c_str());
  EXPECT_FALSE(driver_test::exists(work + "p.qnp"));
  EXPECT_FALSE(driver_test::exists(work));
  EXPECT_EQ(project.run_counter, 1);
  EXPECT_TRUE(has(log.text(), "\nReading Project: p.qnp\n"));
  // The run is over: its data are forgotten.
  EXPECT_EQ(project.samples.size(), 0);
  SumStat.resetComputationFlags();
}

TEST(ProjectRunPasses, UnreadableProjectFailsAndRemovesTheCleanedCopy) {
  driver_test::TempDir dir;
  ProfileGuard guard(DNA, '\0');
  LogCapture log;
  Project project;
  prepare_run(project, "[Profile]\n  NbSamples=1\n", "TaskNumber=0\n");
  select_levels(false, true);
  EXPECT_EQ(project.run(), 0);
  EXPECT_TRUE(has(log.text(), "Error opening project...\n"));
  EXPECT_FALSE(driver_test::exists("p.res/p.qnp"));
  EXPECT_EQ(SumStat.statsLine, "");
  SumStat.resetComputationFlags();
}
