// Fuzz target: the input is a project file. It goes through the clean-up, the
// reading pass and, when the reading succeeds, the preparation of the run, as
// one project run would take it; every file it leaves behind is removed before
// the next input. Inputs that name external files ("EXTERN") reach only files
// under the scratch directory or files that exist anyway: the clean-up keeps
// every copy it writes inside the result directory.
#include <cstdint>
#include <memory>
#include <string>

#include "fuzz_support.h"
#include "model/population.h"
#include "model/profile.h"
#include "model/project.h"
#include "project/cleaner.h"
#include "settings/settings.h"

namespace {
const qnd_fuzz::Scratch* g_scratch = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_scratch = qnd_fuzz::start_process();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (g_scratch == nullptr || g_scratch->path().empty()) return 0;
  const std::string path = g_scratch->file("p.qnp");
  qnd_fuzz::write_bytes(path, data, size);

  // Class-wide state as a fresh process has it.
  ProfileSettings::DataType = DataTypeDefault;
  ProfileSettings::LocusSeparator = '\0';
  PopGenetics::globalAllelicDB.destroy();
  PopGenetics::globalSubstPolymSites.clear();
  settings::num_proj_done = 0;
  settings::input_file = my_string(std::string_view(path));

  {
    auto project = std::make_unique<Project>();
    project->runnable = 1;
    cleaner clean;
    clean.execute(ProfileSettings::LocusSeparator, path.c_str());
    const my_string cleaned = clean.get_clean_proj();
    project->project_path = cleaned.is_null() ? my_string(std::string_view(path)) : cleaned;
    project->profile.initialize();
    if (project->newOpen()) {
#ifdef QND_FUZZ_RUN_PREPARATION
      project->s.genotypicData = project->profile.GenotypicData;
      project->s.gameticPhaseKnown = project->profile.GameticPhase;
      (void)project->make_run_possible();
      project->clean();
#endif
    }
    clean.rm_clean_files();
  }
  PopGenetics::globalAllelicDB.destroy();
  g_scratch->empty();
  return 0;
}
