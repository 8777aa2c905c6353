// The batch loop: run list reading, settings file choice, the log of each
// project, the batch summary flags and files, and the result directory.
#include "driver/batch_loop.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "driver/driver_test_util.h"
#include "globals.h"
#include "model/project.h"
#include "settings/settings.h"

namespace {

using driver_test::exists;
using driver_test::read_file;
using driver_test::TempDir;
using driver_test::write_file;

const char* const kAnyProject = "[Profile]\n  NbSamples=1\n";

// Writes the run list of this process (core directory, command, then the
// lines given) and runs the batch.
void run_batch(const std::string& core, const std::string& command, const std::vector<std::string>& rest) {
  std::string text = core + "\n" + command + "\n";
  for (const std::string& line : rest) text += line + "\n";
  write_file("qnd_run_" + std::to_string(::getpid()) + ".txt", text);
  char no_core[1] = "";
  qndestart(no_core);
  E.CloseLog_file();
}

// Each run list with the files around it: the log it leaves ("$DIR" is the
// directory of the test), what the log holds and lacks, files made or not,
// and the number of projects done (-1: not checked).
TEST(BatchLoop, RunListsGiveTheirLogsAndFiles) {
  struct Case {
    std::vector<std::string> files;  // names; "qnd_run.qns", "*.qns" get settings, others a project
    std::string core, command;
    std::vector<std::string> list;
    std::string log;
    std::vector<std::string> has, lacks, made, not_made;
    int done;
  };
  const Case cases[] = {
      {{"a.qnp", "b.qnp"}, "$DIR", "use_interf_settings", {"a.qnp", "0", "0", "b.qnp", "0", "0", "end"},
       "a.res/Quendris_log.txt", {"Core Routine did not find its settings in:\n    $DIR/qnd_run.qns\n"},
       {"Opening next project..."}, {}, {"b.res"}, -1},
      {{"a.qnp", "a.qns"}, "$DIR", "use_ass_settings", {"a.qnp", "0", "0", "end"}, "a.res/Quendris_log.txt",
       {"Core Routine did not find its settings in:"}, {}, {}, {}, -1},
      {{"a.qnp", "qnd_run.qns"}, "$DIR", "use_ass_settings", {"a.qnp", "0", "0", "end"}, "a.res/Quendris_log.txt",
       {"The Core Routine did not find the associated settings:\n    a.qns\n"}, {"Opening next project..."}, {}, {}, -1},
      {{"a.qnp", "qnd_run.qns"}, "$DIR", "use_interf_settings", {"a.qnp", "0", "0", "end"}, "a.res/Quendris_log.txt",
       {"Log file path: a.res/Quendris_log.txt\nCore Program Directory: $DIR/\n", "Opening next project...\na.qnp\n"},
       {}, {}, {}, 1},
      // An empty core directory stays empty; the settings of the working directory are found.
      {{"a.qnp", "qnd_run.qns"}, "", "use_interf_settings", {"a.qnp", "0", "0", "end"}, "a.res/Quendris_log.txt",
       {"Core Program Directory: \n", "Opening next project..."}, {}, {}, {}, 1},
      // Only an upper or lower case end stops the list: "End" is a project name.
      {{"a.qnp", "b.qnp", "c.qnp", "qnd_run.qns"}, "$DIR", "use_interf_settings",
       {"a.qnp", "0", "0", "b.qnp", "0", "0", "END", "c.qnp", "0", "0"}, "b.res/Quendris_log.txt", {}, {}, {}, {"c.res"}, 2},
      {{"a.qnp", "qnd_run.qns"}, "$DIR", "use_interf_settings", {"a.qnp", "0", "0", "End", "0", "0", "end"},
       "a.res/Quendris_log.txt", {}, {}, {}, {}, 2},
      // A missing project leaves the error marker and counts as done.
      {{"qnd_run.qns"}, "$DIR", "use_interf_settings", {"none.qnp", "0", "0", "end"}, "qnd_pro.txt", {"error\n"},
       {}, {}, {"none.res"}, 1},
      {{}, "$DIR", "translate", {"in.arp", "out.qnp", "end"}, "Quendris_log.txt",
       {"\"translate\" command is not available"}, {}, {}, {"in.res"}, -1},
      {{"a.qnp", "qnd_run.qns"}, "$DIR", "explore", {"a.qnp", "0", "0", "end"}, "a.res/Quendris_log.txt",
       {"Exploring  a.qnp ...\n", "\"explore\" command is not available"}, {"Opening next project...", "RUN NUMBER"},
       {}, {}, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command + " " + c.list[0] + " " + c.log);
    TempDir dir;
    const auto here = [&](std::string text) {
      for (size_t at; (at = text.find("$DIR")) != std::string::npos;) text.replace(at, 4, dir.path());
      return text;
    };
    for (const std::string& f : c.files) write_file(f, f.find(".qns") != std::string::npos ? "TaskNumber=0\n" : kAnyProject);
    settings::num_proj_done = 0;
    run_batch(here(c.core), c.command, c.list);
    const std::string log = read_file(c.log);
    for (const std::string& piece : c.has) EXPECT_NE(log.find(here(piece)), std::string::npos) << piece << "\n" << log;
    for (const std::string& piece : c.lacks) EXPECT_EQ(log.find(piece), std::string::npos) << piece;
    for (const std::string& f : c.made) EXPECT_TRUE(exists(f)) << f;
    for (const std::string& f : c.not_made) EXPECT_FALSE(exists(f)) << f;
    if (c.done >= 0) {
      EXPECT_EQ(settings::num_proj_done, c.done);
    }
    EXPECT_EQ(QuendrisExeDirectory, c.core.empty() ? "" : dir.path() + "/");
  }
}

TEST(BatchLoop, SpecificSettingsAreReadAndTheListsNumbersOverrideThem) {
  TempDir dir;
  write_file("a.qnp", kAnyProject);
  write_file("mine.qns", "TaskNumber=513\n");
  run_batch(dir.path(), "use_spe_settings", {"mine.qns", "a.qnp", "7", "-3", "end"});
  Project* project = current_project();
  ASSERT_NE(project, nullptr);
  EXPECT_EQ(PPP, project);
  EXPECT_EQ(project->settings_file, "mine.qns");
  EXPECT_EQ(project->s.TaskNumber, 513);
  EXPECT_EQ(project->s.appendResults, 7);
  EXPECT_EQ(project->s.KeepNullDistrib, -3);
  delete_project();
  EXPECT_EQ(current_project(), nullptr);
  EXPECT_EQ(PPP, nullptr);
}

TEST(BatchLoop, MissingRunListRunsNothingAndLongProjectLinesEndTheBatch) {
  TempDir dir;
  write_file("a.qnp", kAnyProject);
  write_file("qnd_run.qns", "TaskNumber=0\n");
  settings::num_proj_done = 5;
  char no_core[1] = "";
  qndestart(no_core);
  EXPECT_EQ(settings::num_proj_done, 5);
  EXPECT_FALSE(exists("a.res"));
  // A project line of up to 398 characters runs (in nested directories: a
  // single file name may not be that long); a longer one ends the batch.
  for (const std::size_t length : {398u, 399u}) {
    const std::string inner(length - 200 - 7, 'e'), path = std::string(200, 'd') + "/" + inner + "/p.qnp";
    std::filesystem::create_directories(path.substr(0, path.size() - 6));
    write_file(path, kAnyProject);
    settings::num_proj_done = 0;
    run_batch(dir.path(), "use_interf_settings", {path, "0", "0", "end"});
    EXPECT_EQ(exists(path.substr(0, path.size() - 4) + ".res/Quendris_log.txt"), length == 398) << length;
    EXPECT_EQ(settings::num_proj_done, length == 398 ? 1 : 0) << length;
  }
}

TEST(BatchSummary, FlagWordsAreFoundInTwoHundredLinesAfterTheTitleInAnyCase) {
  TempDir dir;
  const auto flags_set = [](const BatchSummaryFiles& summary) {
    std::vector<std::string> set;
    for (int f = 0; f < BatchSummaryFiles::kFlagCount; ++f)
      if (summary.flags[static_cast<size_t>(f)]) set.push_back(BatchSummaryFiles::table()[static_cast<size_t>(f)].flag_word);
    return set;
  };
  BatchSummaryFiles summary;
  read_global_flags((dir.path() + "/").c_str(), summary);  // no file
  EXPECT_TRUE(flags_set(summary).empty());
  std::string text = "_THETA_ on the title line is not searched\nsome _amova_res_ and _TAJIMA_\n";
  for (int i = 0; i < 198; ++i) text += "nothing\n";
  write_file("glbstreams.txt", text + "_Gene_Diversity_\n_MISMATCH_\n");  // lines 200 and 201 after the title
  read_global_flags((dir.path() + "/").c_str(), summary);
  EXPECT_EQ(flags_set(summary), (std::vector<std::string>{"_GENE_DIVERSITY_", "_TAJIMA_", "_AMOVA_RES_"}));
  BatchSummaryFiles from_long;
  read_global_flags(std::string(351, 'd').c_str(), from_long);
  EXPECT_TRUE(flags_set(from_long).empty());
}

TEST(BatchSummary, SelectedFilesAreAppendedWithTheTitleAndTheBatchOpensThem) {
  TempDir dir;
  write_file("theta.sum", "earlier batch\n");
  BatchSummaryFiles summary;
  summary.flags[4] = true;  // _THETA_
  summary.flags[3] = true;  // _MISMATCH_
  initialize_quendris_global_objects(summary, my_string(""));
  EXPECT_EQ(summary.open_count(), 5);
  EXPECT_TRUE(summary.is_open("only_mismatch_sp.txt"));
  EXPECT_FALSE(summary.is_open("tajima.sum"));
  close_all_global_streams(summary);
  EXPECT_EQ(summary.open_count(), 0);
  const std::string title = "\n\n" + std::string(67, '-') + "\nQuendris batch run summary file\n";
  EXPECT_EQ(read_file("theta.sum"), "earlier batch\n" + title);
  EXPECT_EQ(read_file("mismatch_sp4.sum"), title);
  EXPECT_FALSE(exists("tajima.sum"));
  write_file("glbstreams.txt", "title\n_GENE_DIVERSITY_\n");
  char no_core[1] = "";
  qndestart(no_core);  // no run list: only the set-up and the close
  EXPECT_TRUE(exists("gen_div.sum"));
}

TEST(CreateLogDir, ResultDirectoryIsNamedAfterTheProjectOrTheErrorMarkerIsLeft) {
  TempDir dir;
  std::filesystem::create_directories("sub");
  std::filesystem::create_directories("core");
  write_file("sub/p.v1.qnp", kAnyProject);
  my_string log_dir;
  for (int i = 0; i < 2; ++i) {  // an existing directory is fine
    ASSERT_TRUE(create_log_dir("", "sub/p.v1.qnp", log_dir));
    EXPECT_EQ(log_dir, "sub/p.v1.res/");
    EXPECT_TRUE(std::filesystem::is_directory("sub/p.v1.res"));
  }
  EXPECT_FALSE(exists("qnd_pro.txt"));
  write_file("core/qnd_pro.txt", "old content that must go\n");
  EXPECT_FALSE(create_log_dir("core/", "absent.qnp", log_dir));
  EXPECT_EQ(read_file("core/qnd_pro.txt"), "error\n");
  EXPECT_EQ(log_dir, "sub/p.v1.res/");
}

}  // namespace
