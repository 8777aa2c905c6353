// One project run inside a host process: state reset, run list, batch loop,
// and the lines and log the run produced.
#include "driver/in_process.h"

#include <locale.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "base/errors.h"
#include "driver/batch_loop.h"
#include "driver/command_line.h"
#include "globals.h"
#include "model/haplotypes.h"
#include "model/population.h"
#include "model/profile.h"
#include "settings/settings.h"
#include "sumstat/sumstat.h"

namespace in_process {
namespace {

// The classic locale for the calling thread while it lives: the readers parse
// and the writers print numbers through the C library, which follows the
// thread's locale, and a host may have set one with a decimal comma.
class ClassicLocaleScope {
 public:
  ClassicLocaleScope() {
    static const locale_t classic = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    if (classic != static_cast<locale_t>(nullptr)) previous_ = ::uselocale(classic);
  }
  ~ClassicLocaleScope() {
    if (previous_ != static_cast<locale_t>(nullptr)) ::uselocale(previous_);
  }
  ClassicLocaleScope(const ClassicLocaleScope&) = delete;
  ClassicLocaleScope& operator=(const ClassicLocaleScope&) = delete;

 private:
  locale_t previous_ = static_cast<locale_t>(nullptr);
};

std::string read_whole_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The run list of one project: "use_spe_settings" names the settings file, so
// it need not be in the core directory.
void write_run_list(const std::string& path, const Request& request) {
  std::ofstream out(path, std::ios::trunc);
  out << request.work_directory << "\nuse_spe_settings\n"
      << request.settings << '\n'
      << request.project << "\n0\n0\nend\n";
}

// What main releases after the batch loop, and the run list.
class RunListScope {
 public:
  explicit RunListScope(std::string path) : path_(std::move(path)) {}
  ~RunListScope() {
    std::remove(path_.c_str());
    proj_file.clear();
    set_file.clear();
    run_file.clear();
    QuendrisExeDirectory.clear();
    delete_project();
    E.CloseLog_file();
  }
  RunListScope(const RunListScope&) = delete;
  RunListScope& operator=(const RunListScope&) = delete;

 private:
  std::string path_;
};

}  // namespace

void reset_process_state() {
  delete_project();
  SumStat = TSumStat();
  // A program starts with its message numbers at 1 and no log.
  E.CloseLog_file();
  E.logOpen = 0;
  E.logPath.clear();
  E.total_count = E.warning_count = E.error_count = E.info_count = E.memory_count = 1;
  ProfileSettings::DataType = DataTypeDefault;
  ProfileSettings::LocusSeparator = '\0';
  TAllele::numPop = 0;
  PopGenetics::globalAllelicDB.destroy();
  PopGenetics::globalSubstPolymSites.clear();
  PopGenetics::pass_variable_sites.clear();
  PopGenetics::pass_typed_invariant_sites = 0;
  PopGenetics::pass_sites_restricted = false;
  settings::input_file = my_string();
  settings::num_proj_done = 0;
  proj_file.clear();
  set_file.clear();
  run_file.clear();
  QuendrisExeDirectory.clear();
  silentQuendris = false;
}

Outcome run_project(const Request& request) {
  const ClassicLocaleScope classic_locale;
  reset_process_state();
  // The host's console gets nothing: the engine's notices are in the log.
  silentQuendris = true;
  Request run = request;
  if (!run.work_directory.empty() && run.work_directory.back() != '/') run.work_directory += '/';

  Outcome outcome;
  {
    const RunListScope scope(run.work_directory + getQndRunString().str());
    write_run_list(run.work_directory + getQndRunString().str(), run);
    SumStat.readDefSSFile(my_string(std::string_view(run.definitions)));
    SumStat.sumStatMode = true;
    std::string core_directory = run.work_directory;
    qndestart(core_directory.data(), nullptr);
  }
  // A project runs when its header is complete, also one without columns.
  outcome.ran = SumStat.header_complete;
  if (outcome.ran) {
    outcome.header = SumStat.headerLine;
    outcome.values = SumStat.statsLine;
  }
  if (!outcome.ran && !E.logPath.empty()) outcome.log = read_whole_file(E.logPath);
  return outcome;
}

}  // namespace in_process
