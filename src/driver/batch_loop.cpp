// The batch loop: reads the run list, sets up the batch summary files, and runs
// each listed project with its log, random seed and settings. All messages go
// to the current project's log (_AOS_); the console gets one line on standard
// error for each project that could not be run.
#include "driver/batch_loop.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <iostream>
#include <istream>
#include <new>
#include <ostream>
#include <string>
#include <string_view>

#include "betweenpop/distances.h"
#include "driver/command_line.h"
#include "base/errors.h"
#include "globals.h"
#include "model/population.h"
#include "model/profile.h"
#include "model/project.h"
#include "settings/settings.h"
#include "sumstat/sumstat.h"
#include "withinpop/random.h"

namespace {

// Owner of the one Project of the process (PPP designates it): created by
// qndestart, reused for every project of a batch, deleted by main through
// delete_project.
std::unique_ptr<Project> g_project;

// Longest accepted lines of the run list.
constexpr std::size_t kPathBound = 398;
constexpr std::size_t kCommandBound = 58;
constexpr std::size_t kIntegerBound = 18;
// Longest core directory for which "glbstreams.txt" is looked at.
constexpr int kFlagsDirectoryLimit = 350;
// Lines of "glbstreams.txt" searched after its title line.
constexpr int kFlagsLineLimit = 200;

void log_line(std::string_view text) { *_AOS_ << text << std::endl; }

// Reads one line (the line feed is consumed, not stored). A line longer than
// bound characters puts the stream into a failed state, which ends the batch.
bool read_bounded_line(std::istream& in, my_string& line, std::size_t bound) {
  std::string text;
  if (!std::getline(in, text)) {
    line.clear();
    return false;
  }
  if (text.size() > bound) {
    in.setstate(std::ios::failbit);
    line.clear();
    return false;
  }
  line = my_string(std::string_view(text));
  return true;
}

// Only a regular file counts: a directory opens, but reads as nothing (a
// settings "file" that is a directory would run the project on all-zero
// settings).
bool can_open_for_reading(const my_string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  std::ifstream probe(path.c_str());
  return probe.is_open();
}

// Creates one directory level; an existing directory is fine.
void make_directory(const my_string& path) {
  if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) {
    // The log file then cannot be created either; E stays closed and the run
    // goes on without a log.
  }
}

// The project path with its extension replaced by ".qns".
my_string associated_settings_path(const my_string& project_path) {
  my_string path = project_path;
  path.remove_extension();
  path += ".qns";
  return path;
}

void end_core_directory_with_slash(my_string& directory) {
  if (directory.is_null()) return;
  const char last = directory[directory.length() - 1];
  if (last != '/' && last != '\\') directory += "/";
}

bool is_end_word(const my_string& line) { return line == "end" || line == "END"; }

// The notice for a project that could not be run (on standard error in the
// program, none for a run inside another process); the details are in its log.
void report_failure(std::ostream* notices, const my_string& project_path,
                    const my_string& log_path) {
  if (notices == nullptr) return;
  *notices << "qndsumstat: error: " << project_path << " could not be run, see " << log_path
           << std::endl;
}

// The run of one project by Project::run. A memory exhaustion (reported through
// E, which throws) or a failed allocation abandons the run, which then counts as
// failed; the batch goes on.
bool run_project(Project& project) {
  try {
    return project.run() != 0;
  } catch (const ExceptionType&) {
    return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace

const std::array<BatchSummaryFiles::Entry, BatchSummaryFiles::kFlagCount>&
BatchSummaryFiles::table() {
  static const std::array<Entry, kFlagCount> entries = {{
      {"_GENE_DIVERSITY_", {"gen_div.sum"}},
      {"_NUCLEOTIDE_COMPOSITION_", {"nucl_comp.sum"}},
      {"_MOLECULAR_DIVERSITY_", {"mold_div.sum"}},
      {"_MISMATCH_",
       {"mismatch.sum", "mismatch_sp3.sum", "mismatch_sp4.sum", "only_mismatch_sp.txt"}},
      {"_THETA_", {"theta.sum"}},
      {"_LINKAGE_DISEQUILIBRIUM_",
       {"link_dis.sum", "l_d_pro.sum", "l_d_proIBD.sum", "l_d_val.sum"}},
      {"_HARDY_WEINBERG_", {"hw.sum"}},
      {"_TAJIMA_", {"tajima.sum"}},
      {"_FU_FS_", {"fu_fs.sum"}},
      {"_EWENS_WATTERSON_", {"ewens.sum"}},
      {"_CHAKRABORTY_", {"chakra.sum"}},
      {"_PAIRWISE_DIST_",
       {"pairdist.sum", "FSTdist.sum", "VCompdist.sum", "pairdiff.sum", "tau_uneq.sum",
        "coanst_c.sum", "slatkin.sum", "NM_value.sum"}},
      {"_AMOVA_RES_", {"amovares.sum"}},
      {"_DETECT_SELECTION_", {"selectionDetection.sum"}},
      {"_ALLELE_FREQS_", {"allele_freqs.sum"}},
  }};
  return entries;
}

bool BatchSummaryFiles::is_open(const char* file_name) const {
  for (const my_string& name : names)
    if (name == file_name) return true;
  return false;
}

void read_global_flags(const char* directory, BatchSummaryFiles& summary) {
  summary.flags.fill(false);
  const my_string dir(directory == nullptr ? "" : directory);
  if (dir.length() > kFlagsDirectoryLimit) return;
  std::ifstream in((dir + "glbstreams.txt").c_str());
  if (!in.is_open()) return;
  my_string line;
  line.read_line(in);  // title line
  for (int i = 0; i < kFlagsLineLimit && in.good(); ++i) {
    line.read_line(in);
    line.Upper();
    for (int f = 0; f < BatchSummaryFiles::kFlagCount; ++f)
      if (line.contains(BatchSummaryFiles::table()[static_cast<size_t>(f)].flag_word))
        summary.flags[static_cast<size_t>(f)] = true;
  }
}

void initialize_quendris_global_objects(BatchSummaryFiles& summary,
                                        const my_string& summaryDirectory) {
  if (E.log_stream() != nullptr) _AOS_ = E.log_stream();
  fill_distance_names();
  const std::string title = "\n\n" + std::string(67, '-') + "\nQuendris batch run summary file\n";
  for (int f = 0; f < BatchSummaryFiles::kFlagCount; ++f) {
    if (!summary.flags[static_cast<size_t>(f)]) continue;
    for (const char* file_name : BatchSummaryFiles::table()[static_cast<size_t>(f)].files) {
      if (summary.is_open(file_name)) continue;
      auto stream = std::make_unique<std::ofstream>((summaryDirectory + file_name).c_str(),
                                                    std::ios::out | std::ios::app);
      if (!stream->is_open()) continue;
      // The column headers and rows come from the analyses that fill these files.
      *stream << title << std::flush;
      summary.names.push_back(my_string(file_name));
      summary.streams.push_back(std::move(stream));
    }
  }
}

void close_all_global_streams(BatchSummaryFiles& summary) {
  for (auto& stream : summary.streams) stream->close();
  summary.streams.clear();
  summary.names.clear();
}

bool create_log_dir(const char* coreDirectory, const char* projectPath, my_string& logDirectory) {
  const my_string project(projectPath == nullptr ? "" : projectPath);
  if (!can_open_for_reading(project)) {
    const my_string core(coreDirectory == nullptr ? "" : coreDirectory);
    std::ofstream marker((core + "qnd_pro.txt").c_str(), std::ios::out | std::ios::trunc);
    marker << "error\n";
    return false;
  }
  logDirectory = project;
  logDirectory.remove_extension();
  logDirectory += ".res/";
  make_directory(logDirectory);
  return true;
}

Project* current_project() { return g_project.get(); }

void delete_project() {
  PPP = nullptr;
  g_project.reset();
}

namespace {

// What the run list says about the batch as a whole. The paths are mirrored in
// the process-wide QuendrisExeDirectory, set_file and proj_file.
struct RunList {
  my_string core_directory;
  my_string command;
  my_string settings_file;
  std::ostream* notices = nullptr;  // where a project that fails is noted
};

void set_settings_file(RunList& batch, Project& project, const my_string& path) {
  batch.settings_file = path;
  set_file = path.str();
  // The settings file is re-read after a group pass; whatever the command word,
  // the project knows the file it was read from.
  project.settings_file = path;
}

void set_project_path(my_string& project_path, const my_string& line) {
  project_path = line;
  project_path.remove_eol_and_lf();
  proj_file = project_path.str();
}

// Ends the batch early when the settings are missing: the current project and
// every project still listed count as failed, so each keeps its line.
void abandon_batch(std::ifstream& run_list, const RunList& batch, const my_string& project_path,
                   const my_string& log_path) {
  SumStat.end_project(false);
  report_failure(batch.notices, project_path, log_path);
  my_string line;
  // The two number lines of the current project, then three lines per project.
  read_bounded_line(run_list, line, kIntegerBound);
  read_bounded_line(run_list, line, kIntegerBound);
  while (read_bounded_line(run_list, line, kPathBound)) {
    line.remove_eol_and_lf();
    if (is_end_word(line)) break;
    SumStat.begin_project();
    SumStat.end_project(false);
    read_bounded_line(run_list, line, kIntegerBound);
    read_bounded_line(run_list, line, kIntegerBound);
  }
  SumStat.finish_batch();
}

// Runs every project of the open run list; stops early (returning) when the
// settings file is missing.
void run_projects(std::ifstream& run_list, RunList& batch) {
  Project& project = *PPP;
  const bool associated = batch.command == "use_ass_settings";
  const bool exploring = batch.command == "explore";

  my_string line;
  if (batch.command == "use_spe_settings") {
    read_bounded_line(run_list, line, kPathBound);
    line.remove_eol_and_lf();
  } else {
    line = batch.core_directory + "qnd_run.qns";
  }
  set_settings_file(batch, project, line);

  my_string project_path;
  read_bounded_line(run_list, line, kPathBound);
  set_project_path(project_path, line);

  while (!is_end_word(project_path) && run_list.good()) {
    settings::input_file = project_path;
    project.build_result_names(project_path);
    const my_string log_path = project.result_directory + "Quendris_log.txt";
    SumStat.begin_project();

    my_string log_directory;
    if (create_log_dir(batch.core_directory.c_str(), project_path.c_str(), log_directory)) {
      E.init_log_file(log_path.str(), false);
      log_line(("Log file path: " + log_path).view());
      log_line(("Core Program Directory: " + batch.core_directory).view());
    }

    if (!can_open_for_reading(batch.settings_file) && !exploring) {
      log_line(("Core Routine did not find its settings in:\n    " + batch.settings_file).view());
      E.CloseLog_file();
      abandon_batch(run_list, batch, project_path, log_path);
      return;
    }

    // The seed record goes to the core directory: the working directory of the
    // program, the caller's directory for a run inside another process.
    initialize_ran3(1, batch.core_directory.str());

    // The project is opened by its run; these two lines only mark the step.
    log_line("Reading project profile section...");
    log_line("done !");

    if (associated) {
      set_settings_file(batch, project, associated_settings_path(project_path));
      if (!can_open_for_reading(batch.settings_file) && !exploring) {
        log_line(
            ("The Core Routine did not find the associated settings:\n    " + batch.settings_file)
                .view());
        E.CloseLog_file();
        abandon_batch(run_list, batch, project_path, log_path);
        return;
      }
    }

    project.s.read_settings(batch.settings_file);

    my_string number;
    read_bounded_line(run_list, number, kIntegerBound);
    project.s.appendResults = my_atoi(number.c_str());
    read_bounded_line(run_list, number, kIntegerBound);
    project.s.KeepNullDistrib = my_atoi(number.c_str());

    settings::input_file = project_path;
    project.build_result_names(project_path);

    if (exploring) {
      log_line(("Exploring  " + project_path + " ...").view());
      log_line("The \"explore\" command is not available in qndsumstat: project not explored.");
      log_line("done!");
    } else {
      project.runnable = 1;
      project.run_from_batch = true;
      log_line("Opening next project...");
      log_line(project_path.view());
      const bool ok = run_project(project);
      log_line(((ok ? "Successful run of " : "Error during run of ") + project_path).view());
      SumStat.end_project(ok);
      if (!ok) report_failure(batch.notices, project_path, log_path);
    }

    read_bounded_line(run_list, line, kPathBound);
    set_project_path(project_path, line);
    E.CloseLog_file();
    ++settings::num_proj_done;
  }
  SumStat.finish_batch();
}

// The file-format conversion is not part of qndsumstat: the run list is
// rejected, with a trace in a log next to the run list.
void reject_translation(const RunList& batch) {
  const my_string log_path = batch.core_directory + "Quendris_log.txt";
  E.init_log_file(log_path.str(), false);
  log_line(("Log file path: " + log_path).view());
  log_line(("Core Program Directory: " + batch.core_directory).view());
  log_line("The \"translate\" command is not available in qndsumstat: run list ignored.");
  E.CloseLog_file();
}

}  // namespace

int qndestart(char* coreDirectory) { return qndestart(coreDirectory, &std::cerr); }

int qndestart(char* coreDirectory, std::ostream* notices) {
  g_project = std::make_unique<Project>();
  PPP = g_project.get();
  PopGenetics::globalAllelicDB.destroy();

  RunList batch;
  batch.notices = notices;
  if (coreDirectory != nullptr) batch.core_directory = coreDirectory;
  QuendrisExeDirectory = batch.core_directory.str();

  BatchSummaryFiles summary;
  read_global_flags(batch.core_directory.c_str(), summary);
  initialize_quendris_global_objects(summary, batch.core_directory);

  run_file = (batch.core_directory + getQndRunString()).str();
  std::ifstream run_list(run_file);
  if (run_list.is_open()) {
    read_bounded_line(run_list, batch.core_directory, kPathBound);
    batch.core_directory.remove_eol_and_lf();
    end_core_directory_with_slash(batch.core_directory);
    QuendrisExeDirectory = batch.core_directory.str();
    settings::num_proj_done = 0;
    read_bounded_line(run_list, batch.command, kCommandBound);
    if (run_list.good()) {
      if (batch.command == "translate") {
        reject_translation(batch);
      } else {
        run_projects(run_list, batch);
      }
    }
  }

  close_all_global_streams(summary);
  my_string::release_line_buffer();
  return static_cast<int>(ProfileSettings::DataType);
}
