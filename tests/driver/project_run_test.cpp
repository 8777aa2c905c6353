// The project run sequence on projects built in memory: the check of the
// selected analyses against the data, the preparation of the samples, and the
// bookkeeping of a run (names, clean-up, refusal to run).
#include <gtest/gtest.h>

#include <algorithm>
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
void add_individual(Project& project, const char* name, const char* copy1, const char* copy2) {
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

bool has(const LogCapture& log, const std::string& piece) {
  return log.text().find(piece) != std::string::npos;
}

// The checks of the analyses against the data read from files are cases of
// tests/project/corpus/manifest.txt.
TEST(MakeRunPossible, ProjectWithoutSamplesCannotRun) {
  LogCapture log;
  Project empty;
  EXPECT_EQ(empty.make_run_possible(), 0);
  EXPECT_TRUE(
      has(log, "from function \"Project::make_run_possible()\" : no samples have been defined"));
}

TEST(VerifyData, EmptySamplesAndUnequalHaplotypesOrGeneCopies) {
  struct Case {
    TDataType type;
    char separator;
    const char* first;
    const char* second;  // nullptr: the second sample is empty
    int genotypic;
    const char* message;  // nullptr: the data are fine
  };
  const Case cases[] = {
      {DNA, '\0', "ACGT", nullptr, 0, "\tSample \"B\" holds no data.\n"},
      {DNA, '\0', "ACGT", "ACG", 0, "DNA sequences have different lengths"},
      {RFLP, '\0', "0101", "01011", 0, "RFLP haplotypes have different length"},
      // The separator delimits loci, not characters: three loci against two.
      {MICROSAT, ' ', " 120 14 16", " 12 140", 0, "haplotypes have different number of loci"},
      {MICROSAT, ' ', " 120 14 16", " 12 140 9", 0, nullptr},
      {FREQUENCY, '\0', "", "", 0, nullptr},  // frequency data need no content
      {DNA, '\0', "ACGT", "ACG", 1, "phenotypes have different number of loci"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.first) + " / " + (c.second ? c.second : "empty"));
    ProfileGuard guard(c.type, c.separator);
    LogCapture log;
    Project project;
    project.profile.GenotypicData = c.genotypic;
    if (c.genotypic) {
      add_individual(project, "A", c.first, c.second);
    } else {
      add_sample(project, "A", {{add_haplotype(project, "h1", c.first), 4}});
      if (c.second == nullptr) {
        add_sample(project, "B", {});
      } else {
        add_sample(project, "B", {{add_haplotype(project, "h2", c.second), 1}});
      }
    }
    EXPECT_EQ(project.samples.verify_data(project.haplotypes), c.message == nullptr ? 1 : 0);
    if (c.message != nullptr) {
      EXPECT_TRUE(has(log, c.message)) << log.text();
    }
    if (c.second == nullptr) {
      EXPECT_EQ(project.make_run_possible(), 0);
      EXPECT_TRUE(has(log, "a population has no defined data"));
    }
  }
}

TEST(SamplePreparation, UpperCaseSeparatorsAndWork) {
  ProfileGuard guard(DNA, ':');
  Project project;
  HaploDef* h = add_haplotype(project, "h1", "acgTn?-");
  HaploDef* s = add_haplotype(project, "h2", "AC:GT::A");
  add_sample(project, "A", {{h, 3}, {s, 1}});
  add_individual(project, "B", "a:c", "gT");
  project.samples.convert_dna_upper(project.haplotypes);
  EXPECT_EQ(h->content, "ACGTN?-");
  EXPECT_EQ(project.haplotypes.find(std::string("ACGTN?-")), h);  // the content index follows
  EXPECT_EQ(project.samples[1]->individuals[0]->copy2, "GT");
  EXPECT_EQ(project.samples.rm_separators(project.haplotypes, ':'), 2);
  EXPECT_EQ(s->content, "ACGTA");
  EXPECT_EQ(project.samples[1]->individuals[0]->copy1, "AC");
  // Work: gene copies times selected analyses, (3 + 4) x 3.
  Project work;
  HaploDef* w = add_haplotype(work, "h1", "ACGT");
  add_sample(work, "A", {{w, 3}});
  add_sample(work, "B", {{w, 4}});
  work.s.TaskNumber = 1 + 2 + 64;
  EXPECT_DOUBLE_EQ(work.samples.evaluate_work(work.s), 21.0);
  work.s.TaskNumber = 0;
  EXPECT_DOUBLE_EQ(work.samples.evaluate_work(work.s), 0.0);
  // Other data types keep their case and their separators.
  ProfileGuard microsat(MICROSAT, ':');
  Project alleles;
  HaploDef* a = add_haplotype(alleles, "h1", ":12:a");
  add_sample(alleles, "A", {{a, 1}});
  alleles.samples.convert_dna_upper(alleles.haplotypes);
  EXPECT_EQ(alleles.samples.rm_separators(alleles.haplotypes, ':'), 0);
  EXPECT_EQ(a->content, ":12:a");
}

TEST(ProjectRun, RefusalNamesAndCleanUp) {
  LogCapture log;
  Project project;
  project.runnable = 0;
  EXPECT_EQ(project.run(), 0);
  EXPECT_EQ(log.text(), "\n No valid project is opened....\n");
  EXPECT_EQ(project.run_counter, 0);
  project.build_result_names(my_string("data/set.v2.qnp"));
  EXPECT_EQ(project.project_path, "data/set.v2.qnp");
  EXPECT_EQ(project.project_name, "set.v2.qnp");
  EXPECT_EQ(project.result_directory, "data/set.v2.res/");
  project.build_result_names(my_string("plain"));
  EXPECT_EQ(project.project_name, "plain");
  EXPECT_EQ(project.result_directory, "plain.res/");
  ProfileGuard guard(DNA, '\0');
  add_sample(project, "A", {{add_haplotype(project, "h1", "ACGT"), 3}});
  project.structure.add_group();
  project.structure.NbGroups = 1;
  project.allele_vectors_built = project.pseudo_haplotypes_built = true;
  project.profile.GenotypicData = 1;
  project.clean();
  EXPECT_EQ(project.samples.size(), 0);
  EXPECT_EQ(project.haplotypes.size(), 0);
  EXPECT_EQ(project.structure.num_groups(), 0);
  EXPECT_FALSE(project.allele_vectors_built || project.pseudo_haplotypes_built);
  EXPECT_EQ(project.profile.GenotypicData, 0);
  EXPECT_EQ(project.current_samples, &project.samples);
}

const char* const kTwoGroupProject =
    "[Profile]\n  NbSamples=2\n  DataType=DNA\n  GenotypicData=0\n  LocusSeparator=NONE\n"
    "[Data]\n  [[Samples]]\n    SampleName=\"A\"\n    SampleSize=3\n    SampleData={\n"
    "      h1 2 acgt\n      h2 1 ACGA\n    }\n    SampleName=\"B\"\n    SampleSize=2\n"
    "    SampleData={\n      h1 2\n    }\n  [[Structure]]\n    StructureName=\"two\"\n"
    "    NbGroups=2\n    Group={ \"A\" }\n    Group={ \"B\" }\n";

// Runs a project file and settings file of the temporary directory as the
// batch loop leaves them, at the levels given, with mean_K selected.
int run_project(Project& project, const char* text, const char* settings_text, bool group,
                bool population, bool select = true) {
  driver_test::write_file("p.qnp", text);
  driver_test::write_file("qnd_run.qns", settings_text);
  std::filesystem::create_directory("p.res");
  settings::input_file = "p.qnp";
  project.build_result_names(my_string("p.qnp"));
  project.settings_file = "qnd_run.qns";
  project.s.read_settings(project.settings_file);
  project.runnable = 1;
  if (!select) return project.run();
  SumStat.resetComputationFlags();
  SumStat.sumStatMode = true;
  SumStat.GROUP_LEVEL = group;
  SumStat.POP_LEVEL = population;
  SumStat.MEAN_K = true;
  return project.run();
}

TEST(ProjectRunPasses, PassesStartFromClearedValuesAndKeepTheCheckedSettings) {
  driver_test::TempDir dir;
  ProfileGuard guard(DNA, '\0');
  {
    LogCapture log;
    Project project;
    SumStat.meanK = 4242.5;  // left over from an earlier pass
    settings::num_proj_done = 0;
    ASSERT_EQ(run_project(project, kTwoGroupProject, "TaskNumber=0\n", true, true), 1);
    EXPECT_EQ(SumStat.headerLine, "gr_mean_K\tmean_K\t\n");
    EXPECT_EQ(SumStat.statsLine.find("4242.5"), std::string::npos) << SumStat.statsLine;
    // The copy is read from memory under its name in the result directory; no
    // file is made for it, and the run's data are forgotten afterwards.
    EXPECT_EQ(settings::input_file, "p.res/p.qnp");
    EXPECT_TRUE(driver_test::list_dir("p.res").empty());
    EXPECT_EQ(cleaner::serving(), nullptr);
    EXPECT_EQ(project.run_counter, 1);
    EXPECT_TRUE(has(log, "\nReading Project: p.qnp\n"));
    EXPECT_EQ(project.samples.size(), 0);
  }
  // Raised from 100 to 1000 by the check of the data whichever passes run; the
  // Hardy-Weinberg test (32) switched off on haplotypic data stays off.
  for (const auto& [group, population] :
       {std::pair{true, false}, std::pair{true, true}, std::pair{false, true}}) {
    Project project;
    ASSERT_EQ(
        run_project(project, kTwoGroupProject,
                    "MarkovChainDememorisationStepsLD=100\nTaskNumber=33\n", group, population),
        1);
    EXPECT_EQ(project.s.MarkovChainDememorisationStepsLD, 1000) << group << population;
    EXPECT_EQ(project.s.TaskNumber, 1) << group << population;
  }
  // A failed first project (num_proj_done 1) has not completed the header;
  // once a project has run, no header is built.
  settings::num_proj_done = 1;
  Project project;
  ASSERT_EQ(run_project(project, kTwoGroupProject, "TaskNumber=0\n", false, true), 1);
  EXPECT_EQ(SumStat.headerLine, "mean_K\t\n");
  SumStat.header_complete = true;
  SumStat.headerLine.clear();
  SumStat.statsLine.clear();
  ASSERT_EQ(run_project(project, kTwoGroupProject, "TaskNumber=0\n", false, true, false), 1);
  EXPECT_EQ(SumStat.headerLine, "");
  EXPECT_EQ(std::count(SumStat.statsLine.begin(), SumStat.statsLine.end(), '\t'), 1);
  // An unreadable project fails and leaves no copy.
  LogCapture log;
  EXPECT_EQ(run_project(project, "[Profile]\n  NbSamples=1\n", "TaskNumber=0\n", false, true), 0);
  EXPECT_TRUE(has(log, "Error opening project...\n"));
  EXPECT_FALSE(driver_test::exists("p.res/p.qnp"));
  EXPECT_EQ(SumStat.statsLine, "");
  settings::num_proj_done = 0;
  SumStat.resetComputationFlags();
}

}  // namespace
