// The project run sequence on projects built in memory: the check of the
// selected analyses against the data, the preparation of the samples, and the
// bookkeeping of a run (names, clean-up, refusal to run).
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "driver/driver_test_util.h"
#include "globals.h"
#include "model/population.h"
#include "model/project.h"
#include "project/cleaner.h"
#include "settings/settings.h"
#include "sumstat/sumstat.h"

namespace {

using driver_test::LogCapture;

// Sets the class-wide data type and separator, and restores them at the end.
using ProfileGuard = qnd_project_test::DataTypeScope;

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

namespace {

// A project in memory with DNA data as the default profile, its log captured.
class ProjectCheck : public ::testing::Test {
 protected:
  void use(TDataType type, char separator) {
    ProfileSettings::DataType = type;
    ProfileSettings::LocusSeparator = separator;
  }
  // One sample "A" of three copies of one haplotype.
  void add_one_sample(const char* content = "ACGT", int count = 3) {
    add_sample(project_, "A", {{add_haplotype(project_, "h1", content), count}});
  }
  bool logged(const std::string& piece) const { return has(log_.text(), piece); }

  ProfileGuard guard_{DNA, '\0'};
  LogCapture log_;
  Project project_;
};

using MakeRunPossible = ProjectCheck;
using VerifyData = ProjectCheck;
using SamplePreparation = ProjectCheck;

}  // namespace

TEST_F(MakeRunPossible, NoSamplesIsError123) {
  EXPECT_EQ(project_.make_run_possible(), 0);
  EXPECT_TRUE(logged("  Checking all selected options...\n"));
  EXPECT_TRUE(
      logged("from function \"Project::make_run_possible()\" : "
             "no samples have been defined"));
}

TEST_F(MakeRunPossible, TasksImpossibleOnTheDataAreDropped) {
  struct Case {
    const char* what;
    TDataType type;
    char separator;
    const char* content;
    int tasks, kept;
    std::vector<std::string> messages;
  };
  const Case cases[] = {
      {"Hardy-Weinberg and assignment on haplotypic data",
       DNA,
       '\0',
       "ACGT",
       1 + 32 + 32768,
       1,
       {"     !!!Hardy-Weinberg disequilibrium test is not possible on Haplotypic data,\n"
        "        this task will be skipped.\n",
        "      population is only possible for Genotypic data \n"}},
      // No matrix in the project: distances are computed from the sequences.
      {"AMOVA without structure",
       DNA,
       '\0',
       "ACGT",
       512 + 1024,
       1024,
       {"  An AMOVA analysis was selected and no Genetic structure\n"
        "  is defined, AMOVA task is skipped.\n",
        "    !!!No matrix was specified in input file"}},
      {"infinite-allele tests on microsatellites, silently",
       MICROSAT,
       ' ',
       " 12 14",
       1 + 128 + 256,
       1,
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    use(c.type, c.separator);
    LogCapture log;
    Project project;
    add_sample(project, "A", {{add_haplotype(project, "h1", c.content), 3}});
    project.s.TaskNumber = c.tasks;
    ASSERT_EQ(project.make_run_possible(), 1);
    EXPECT_EQ(project.s.TaskNumber, c.kept);
    for (const std::string& m : c.messages) EXPECT_TRUE(has(log.text(), m)) << m;
    if (c.tasks & 1024) {
      EXPECT_FALSE(has(log.text(), "No molecular information"));
    }
  }
}

TEST_F(MakeRunPossible, AmovaIsKeptWithAStructure) {
  add_one_sample();
  project_.structure.add_group();
  project_.structure.NbGroups = 1;
  project_.s.TaskNumber = 512;
  ASSERT_EQ(project_.make_run_possible(), 1);
  EXPECT_EQ(project_.s.TaskNumber, 512);
}

TEST_F(MakeRunPossible, BurnInsBelow500AreRaisedTo1000) {
  add_one_sample();
  project_.s.MarkovChainDememorisationStepsLD = 100;
  project_.s.MarkovChainDememorisationStepsHW = 499;
  ASSERT_EQ(project_.make_run_possible(), 1);
  EXPECT_EQ(project_.s.MarkovChainDememorisationStepsLD, 1000);
  EXPECT_EQ(project_.s.MarkovChainDememorisationStepsHW, 1000);
  EXPECT_TRUE(
      logged(" Too few steps for dememorization (100 ) in linkage "
             "disequilibrium test, setting it to 1000...\n"));
  EXPECT_TRUE(
      logged(" Too few steps for dememorization (499 ) in Hardy-Weinberg "
             "disequilibrium test, setting it to 1000...\n"));

  LogCapture log;
  Project project;
  add_sample(project, "A", {{add_haplotype(project, "h1", "ACGT"), 3}});
  project.s.MarkovChainDememorisationStepsLD = 500;
  project.s.MarkovChainDememorisationStepsHW = 500;
  ASSERT_EQ(project.make_run_possible(), 1);
  EXPECT_EQ(project.s.MarkovChainDememorisationStepsLD, 500);
  EXPECT_FALSE(has(log.text(), "Too few steps"));
}

TEST_F(MakeRunPossible, StandardDataUseConventionalFst) {
  use(STANDARD, ' ');
  add_one_sample(" a b", 2);
  project_.s.TaskNumber = 1024;
  project_.s.ComputeDistanceMatrixAMOVA = 0;
  ASSERT_EQ(project_.make_run_possible(), 1);
  EXPECT_TRUE(logged("   !!!No molecular information is available for testing"));
  EXPECT_EQ(project_.s.ComputeDistanceMatrixAMOVA, 1);
  EXPECT_EQ(project_.s.ComputeConventionalFST, 1);
}

TEST_F(MakeRunPossible, UnknownPhaseSwitchesOffPrintingAndKnownPhaseBuildsGeneCopies) {
  project_.profile.GenotypicData = 1;
  project_.profile.GameticPhase = 0;
  add_individual_sample(project_, "A", "ACGT", "ACGA");
  project_.s.PrintHaplDistMat = 1;
  project_.s.PrintMinSpannNetworkPop = 1;
  project_.s.RecessiveAllelesEM = 1;
  ASSERT_EQ(project_.make_run_possible(), 1);
  EXPECT_EQ(project_.s.PrintHaplDistMat, 0);
  EXPECT_EQ(project_.s.PrintMinSpannNetworkPop, 0);
  EXPECT_FALSE(project_.pseudo_haplotypes_built);
  EXPECT_EQ(project_.samples[0]->num_haplotypes(), 0);

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

TEST_F(MakeRunPossible, RecessiveDataWithKnownPhaseIsError138) {
  use(STANDARD, ' ');
  project_.profile.GenotypicData = 1;
  project_.profile.GameticPhase = 1;
  project_.profile.RecessiveData = 1;
  add_individual_sample(project_, "A", " a b", " a c");
  EXPECT_EQ(project_.make_run_possible(), 0);
  EXPECT_TRUE(logged("incompatibility between known gametic phase and recessive data"));
}

TEST_F(VerifyData, SampleWithoutDataIsError68) {
  add_one_sample();
  add_sample(project_, "empty", {});
  EXPECT_EQ(project_.make_run_possible(), 0);
  EXPECT_TRUE(logged("\tSample \"empty\" holds no data.\n"));
  EXPECT_TRUE(logged("a population has no defined data"));
}

TEST_F(VerifyData, SequencesOfDifferentLengthsAreError161) {
  add_one_sample();
  add_sample(project_, "B", {{add_haplotype(project_, "h2", "ACG"), 1}});
  EXPECT_EQ(project_.make_run_possible(), 0);
  EXPECT_TRUE(logged("DNA sequences have different lengths"));
}

TEST_F(VerifyData, HaplotypesAreComparedByLengthOrNumberOfLoci) {
  struct Case {
    TDataType type;
    char separator;
    const char* first;
    const char* second;
    int expected;
    const char* message;
  };
  const Case cases[] = {
      {RFLP, '\0', "0101", "01011", 0, "RFLP haplotypes have different length"},
      // The separator delimits loci, not characters: three loci against two.
      {MICROSAT, ' ', " 120 14 16", " 12 140", 0, "haplotypes have different number of loci"},
      {MICROSAT, ' ', " 120 14 16", " 12 140 9", 1, nullptr},
      // Frequency data need no content.
      {FREQUENCY, '\0', "", "", 1, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.first) + " / " + c.second);
    use(c.type, c.separator);
    LogCapture log;
    Project project;
    add_sample(
        project, "A",
        {{add_haplotype(project, "h1", c.first), 4}, {add_haplotype(project, "h2", c.second), 1}});
    EXPECT_EQ(project.samples.verify_data(project.haplotypes), c.expected);
    if (c.message != nullptr) {
      EXPECT_TRUE(has(log.text(), c.message));
    }
  }
}

TEST_F(VerifyData, GeneCopiesOfDifferentLengthsAreError69) {
  project_.profile.GenotypicData = 1;
  add_individual_sample(project_, "A", "ACGT", "ACG");
  EXPECT_EQ(project_.samples.verify_data(project_.haplotypes), 0);
  EXPECT_TRUE(logged("phenotypes have different number of loci"));
}

TEST_F(SamplePreparation, OnlyDnaLettersAreUpperCased) {
  HaploDef* h = add_haplotype(project_, "h1", "acgTn?-");
  add_sample(project_, "A", {{h, 1}});
  add_individual_sample(project_, "B", "ac", "gT");
  project_.samples.convert_dna_upper(project_.haplotypes);
  EXPECT_EQ(h->content, "ACGTN?-");
  EXPECT_EQ(project_.samples[1]->individuals[0]->copy1, "AC");
  EXPECT_EQ(project_.samples[1]->individuals[0]->copy2, "GT");
  // The content index follows the change.
  EXPECT_EQ(project_.haplotypes.find(std::string("ACGTN?-")), h);

  use(STANDARD, ' ');
  Project project;
  HaploDef* standard = add_haplotype(project, "h1", " a b");
  add_sample(project, "A", {{standard, 1}});
  project.samples.convert_dna_upper(project.haplotypes);
  EXPECT_EQ(standard->content, " a b");
}

TEST_F(SamplePreparation, SeparatorsLeaveSequencesButNotAlleleLists) {
  use(DNA, ':');
  HaploDef* h = add_haplotype(project_, "h1", "AC:GT::A");
  add_sample(project_, "A", {{h, 1}});
  add_individual_sample(project_, "B", "A:C", "GT");
  EXPECT_EQ(project_.samples.rm_separators(project_.haplotypes, ':'), 2);
  EXPECT_EQ(h->content, "ACGTA");
  EXPECT_EQ(project_.samples[1]->individuals[0]->copy1, "AC");

  use(MICROSAT, ':');
  Project project;
  HaploDef* alleles = add_haplotype(project, "h1", ":12:14");
  add_sample(project, "A", {{alleles, 1}});
  EXPECT_EQ(project.samples.rm_separators(project.haplotypes, ':'), 0);
  EXPECT_EQ(alleles->content, ":12:14");
}

TEST_F(SamplePreparation, WorkIsGeneCopiesTimesSelectedAnalyses) {
  HaploDef* h = add_haplotype(project_, "h1", "ACGT");
  add_sample(project_, "A", {{h, 3}});
  add_sample(project_, "B", {{h, 4}});
  project_.s.TaskNumber = 1 + 2 + 64;
  EXPECT_DOUBLE_EQ(project_.samples.evaluate_work(project_.s), 21.0);
  project_.s.TaskNumber = 0;
  EXPECT_DOUBLE_EQ(project_.samples.evaluate_work(project_.s), 0.0);
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

TEST(ProjectRunPasses, RunReadsTheCleanedCopyFromMemory) {
  driver_test::TempDir dir;
  ProfileGuard guard(DNA, '\0');
  LogCapture log;
  Project project;
  prepare_run(project, kTwoGroupProject, "TaskNumber=0\n");
  select_levels(false, true);
  ASSERT_EQ(project.run(), 1);
  // The copy is read from memory under its name in the result directory; no
  // file is made for it.
  EXPECT_EQ(settings::input_file, "p.res/p.qnp");
  EXPECT_TRUE(driver_test::list_dir("p.res").empty());
  EXPECT_EQ(cleaner::serving(), nullptr);
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
