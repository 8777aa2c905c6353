// Fuzz target: the input is a project file that goes through a whole project
// run (clean-up, reading, preparation, the group and population passes with
// every analysis that yields a summary statistic) with every statistic
// selected, as main would run it. Permutation and simulation counts are kept
// small so that one input takes well under a second. The header and the value
// line that the run builds must have the same number of columns.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "fuzz_support.h"
#include "model/population.h"
#include "model/profile.h"
#include "model/project.h"
#include "settings/settings.h"
#include "sumstat/sumstat.h"

namespace {

const qnd_fuzz::Scratch* g_scratch = nullptr;

// Standard indices, molecular diversity, linkage disequilibrium, Tajima, Fu,
// AMOVA and pairwise FST, with few permutations.
const char* const kSettings =
    "TaskNumber=18003\nNumPermutationsFST=5\nNumPermutationsAMOVA=5\nNumSimulFuTest=5\n"
    "NumPermMantel=5\nNumPermutPopDiff=5\nMarkovChainStepsLD=100\n"
    "MarkovChainDememorisationStepsLD=10\nMarkovChainStepsHW=100\n"
    "MarkovChainDememorisationStepsHW=10\nComputeDistanceMatrixAMOVA=1\nDistanceMethodAMOVA=0\n"
    "ComputeConventionalFST=0\nComputeDeltaMuSqr=1\nComputeSumStatsWithinGroups=1\n";

const char* const kDefinitions =
    "POP_LEVEL GROUP_LEVEL\n"
    "ALL_K ALLSD_K MEAN_K SD_K TOT_K ALL_H ALLSD_H MEAN_H SD_H TOT_H\n"
    "ALL_S ALLSD_S PRIVATE_S MEAN_S SD_S TOT_S ALL_TAJIMAD ALLSD_TAJIMAD MEAN_TAJIMAD\n"
    "SD_TAJIMAD ALL_FUFS ALLSD_FUFS MEAN_FUFS SD_FUFS ALL_PI MEAN_PI SD_PI\n"
    "ALL_GW ALLSD_GW MEAN_GW SD_GW TOT_GW ALL_NGW ALLSD_NGW MEAN_NGW SD_NGW\n"
    "ALL_RANGE ALLSD_RANGE MEAN_RANGE SD_RANGE TOT_RANGE\n"
    "MEAN_ALL_DPRIME MEAN_ALL_R2 ALL_ADJ_DPRIME ALL_ADJ_R2 MEAN_ADJ_DPRIME MEAN_ADJ_R2\n"
    "FLANK_DPRIME FLANK_R2 GLOBAL_FSTAT PAIRWISE_FST PAIRWISE_PI PAIRWISE_DMUSQR\n";

size_t count_tabs(const std::string& text) {
  size_t n = 0;
  for (const char c : text) n += c == '\t' ? 1 : 0;
  return n;
}

void write_text(const std::string& path, const char* text) {
  const std::string s(text);
  qnd_fuzz::write_bytes(path, reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_scratch = qnd_fuzz::start_process();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (g_scratch == nullptr || g_scratch->path().empty()) return 0;
  const std::string path = g_scratch->file("p.qnp");
  const std::string settings_path = g_scratch->file("run.qns");
  const std::string defs = g_scratch->file("defs.txt");
  qnd_fuzz::write_bytes(path, data, size);
  write_text(settings_path, kSettings);
  write_text(defs, kDefinitions);

  ProfileSettings::DataType = DataTypeDefault;
  ProfileSettings::LocusSeparator = '\0';
  PopGenetics::globalAllelicDB.destroy();
  PopGenetics::globalSubstPolymSites.clear();
  settings::num_proj_done = 0;
  SumStat.readDefSSFile(my_string(std::string_view(defs)));
  SumStat.sumStatMode = true;
  {
    auto project = std::make_unique<Project>();
    project->s.read_settings(my_string(std::string_view(settings_path)));
    project->settings_file = my_string(std::string_view(settings_path));
    project->s.appendResults = 0;
    const my_string project_path{std::string_view(path)};
    settings::input_file = project_path;
    project->build_result_names(project_path);
    project->runnable = 1;
    project->run_from_batch = true;
    (void)project->run();
  }
  // Every column has a name: the header and the value line agree.
  if (count_tabs(SumStat.headerLine) != count_tabs(SumStat.statsLine)) std::abort();
  PopGenetics::globalAllelicDB.destroy();
  g_scratch->empty();
  return 0;
}
