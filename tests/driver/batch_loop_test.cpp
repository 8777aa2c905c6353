// The batch loop: run list reading, settings file choice, the log of each
// project, the batch summary flags and files, and the result directory.
#include "driver/batch_loop.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "driver/driver_test_util.h"
#include "base/errors.h"
#include "globals.h"
#include "model/project.h"
#include "settings/settings.h"

namespace {

using driver_test::exists;
using driver_test::read_file;
using driver_test::TempDir;
using driver_test::write_file;

std::string run_list_name() { return "qnd_run_" + std::to_string(::getpid()) + ".txt"; }

// Writes the run list of this process: core directory, command, then the lines
// given (settings path, projects with their two numbers, end word).
void write_run_list(const std::string& core, const std::string& command,
                    const std::vector<std::string>& rest) {
  std::string text = core + "\n" + command + "\n";
  for (const std::string& line : rest) text += line + "\n";
  write_file(run_list_name(), text);
}

int run_batch() {
  char core[1] = "";
  const int type = qndestart(core);
  E.CloseLog_file();
  return type;
}

const char* const kAnyProject = "[Profile]\n  NbSamples=1\n";

}  // namespace

TEST(BatchLoopSettings, MissingSettingsFileIsReportedInTheLogAndEndsTheBatch) {
  TempDir dir;
  write_file("a.qnp", kAnyProject);
  write_file("b.qnp", kAnyProject);
  write_run_list(dir.path(), "use_interf_settings", {"a.qnp", "0", "0", "b.qnp", "0", "0", "end"});
  run_batch();
  const std::string log = read_file("a.res/Quendris_log.txt");
  EXPECT_NE(
      log.find("Core Routine did not find its settings in:\n    " + dir.path() + "/qnd_run.qns\n"),
      std::string::npos)
      << log;
  EXPECT_EQ(log.find("Opening next project..."), std::string::npos);
  EXPECT_FALSE(exists("b.res")) << "the second project must not be started";
}

TEST(BatchLoopSettings, AssociatedSettingsNeedTheDefaultFileFirst) {
  TempDir dir;
  write_file("a.qnp", kAnyProject);
  write_file("a.qns", "TaskNumber=1\n");
  write_run_list(dir.path(), "use_ass_settings", {"a.qnp", "0", "0", "end"});
  run_batch();
  EXPECT_NE(read_file("a.res/Quendris_log.txt").find("Core Routine did not find its settings in:"),
            std::string::npos);
}

TEST(BatchLoopSettings, MissingAssociatedSettingsAreReported) {
  TempDir dir;
  write_file("a.qnp", kAnyProject);
  write_file("qnd_run.qns", "TaskNumber=1\n");
  write_run_list(dir.path(), "use_ass_settings", {"a.qnp", "0", "0", "end"});
  run_batch();
  const std::string log = read_file("a.res/Quendris_log.txt");
  EXPECT_NE(log.find("The Core Routine did not find the associated settings:\n    a.qns\n"),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("Opening next project..."), std::string::npos);
}

TEST(BatchLoopSettings, SpecificSettingsFileIsReadAndKeptForThePopulationPass) {
  TempDir dir;
  write_file("a.qnp", kAnyProject);
  write_file("mine.qns", "TaskNumber=513\n");
  write_run_list(dir.path(), "use_spe_settings", {"mine.qns", "a.qnp", "7", "-3", "end"});
  run_batch();
  Project* project = current_project();
  ASSERT_NE(project, nullptr);
  EXPECT_EQ(project->settings_file, "mine.qns");
  EXPECT_EQ(project->s.TaskNumber, 513);
  // The run list's numbers override the file.
  EXPECT_EQ(project->s.appendResults, 7);
  EXPECT_EQ(project->s.KeepNullDistrib, -3);
  EXPECT_NE(read_file("a.res/Quendris_log.txt").find("Opening next project...\na.qnp\n"),
            std::string::npos);
}

TEST(BatchLoopRunList, CoreDirectoryGetsATrailingSlash) {
  TempDir dir;
  write_file("a.qnp", kAnyProject);
  write_run_list(dir.path(), "use_interf_settings", {"a.qnp", "0", "0", "end"});
  run_batch();
  EXPECT_EQ(QuendrisExeDirectory, dir.path() + "/");
  EXPECT_NE(read_file("a.res/Quendris_log.txt")
                .find("Log file path: a.res/Quendris_log.txt\nCore Program Directory: " +
                      dir.path() + "/\n"),
            std::string::npos);
}

TEST(BatchLoopRunList, EmptyCoreDirectoryStaysEmpty) {
  TempDir dir;
  write_file("a.qnp", kAnyProject);
  write_file("qnd_run.qns", "TaskNumber=0\n");
  write_run_list("", "use_interf_settings", {"a.qnp", "0", "0", "end"});
  run_batch();
  EXPECT_EQ(QuendrisExeDirectory, "");
  const std::string log = read_file("a.res/Quendris_log.txt");
  EXPECT_NE(log.find("Core Program Directory: \n"), std::string::npos);
  // The settings in the working directory were found.
  EXPECT_NE(log.find("Opening next project..."), std::string::npos);
}

TEST(BatchLoopRunList, MissingRunListRunsNothing) {
  TempDir dir;
  write_file("a.qnp", kAnyProject);
  settings::num_proj_done = 5;
  run_batch();
  EXPECT_EQ(settings::num_proj_done, 5);
  EXPECT_FALSE(exists("a.res"));
}

TEST(BatchLoopRunList, OnlyAnUpperOrLowerCaseEndStopsTheList) {
  const std::pair<std::vector<std::string>, int> cases[] = {
      {{"a.qnp", "0", "0", "b.qnp", "0", "0", "END", "c.qnp", "0", "0"}, 2},
      {{"a.qnp", "0", "0", "End", "0", "0", "end"}, 2},  // "End" is a project name
  };
  for (const auto& [list, projects] : cases) {
    SCOPED_TRACE(list[3]);
    TempDir dir;
    write_file("qnd_run.qns", "TaskNumber=0\n");
    write_run_list(dir.path(), "use_interf_settings", list);
    run_batch();
    EXPECT_EQ(settings::num_proj_done, projects);
  }
}

// A project path of the given length, in nested directories (a single file
// name may not be that long), with its project file created.
std::string make_long_project_path(std::size_t length) {
  const std::string outer(200, 'd');
  const std::string inner(length - outer.size() - std::string("//p.qnp").size(), 'e');
  std::filesystem::create_directories(outer + "/" + inner);
  const std::string path = outer + "/" + inner + "/p.qnp";
  write_file(path, kAnyProject);
  return path;
}

TEST(BatchLoopRunList, ProjectLinesUpTo398CharactersRun) {
  for (const std::size_t length : {398u, 399u}) {
    SCOPED_TRACE(length);
    TempDir dir;
    const std::string path = make_long_project_path(length);
    ASSERT_EQ(path.size(), length);
    write_file("qnd_run.qns", "TaskNumber=0\n");
    write_run_list(dir.path(), "use_interf_settings", {path, "0", "0", "end"});
    run_batch();
    std::string res = path;
    res.replace(res.size() - 4, 4, ".res");
    const bool runs = length == 398;  // a longer line ends the batch
    EXPECT_EQ(exists(res + "/Quendris_log.txt"), runs);
    EXPECT_EQ(settings::num_proj_done, runs ? 1 : 0);
  }
}

TEST(BatchLoopRunList, MissingProjectLeavesTheErrorMarkerAndFailsItsRun) {
  TempDir dir;
  write_file("qnd_run.qns", "TaskNumber=0\n");
  write_run_list(dir.path(), "use_interf_settings", {"none.qnp", "0", "0", "end"});
  run_batch();
  EXPECT_EQ(read_file("qnd_pro.txt"), "error\n");
  EXPECT_FALSE(exists("none.res"));
  EXPECT_EQ(settings::num_proj_done, 1);
}

TEST(BatchLoopCommands, TranslateIsRejectedInALog) {
  TempDir dir;
  write_run_list(dir.path(), "translate", {"in.arp", "out.qnp", "end"});
  run_batch();
  const std::string log = read_file("Quendris_log.txt");
  EXPECT_NE(log.find("\"translate\" command is not available"), std::string::npos) << log;
  EXPECT_FALSE(exists("in.res"));
}

TEST(BatchLoopCommands, ExploreIsRejectedAndNoProjectRuns) {
  TempDir dir;
  write_file("a.qnp", kAnyProject);
  write_file("qnd_run.qns", "TaskNumber=0\n");
  write_run_list(dir.path(), "explore", {"a.qnp", "0", "0", "end"});
  run_batch();
  const std::string log = read_file("a.res/Quendris_log.txt");
  EXPECT_NE(log.find("Exploring  a.qnp ...\n"), std::string::npos) << log;
  EXPECT_NE(log.find("\"explore\" command is not available"), std::string::npos);
  EXPECT_EQ(log.find("Opening next project..."), std::string::npos);
  EXPECT_EQ(log.find("RUN NUMBER"), std::string::npos);
}

TEST(BatchSummaryFlags, FlagWordsAreFoundAnywhereInAnyCase) {
  TempDir dir;
  write_file("glbstreams.txt", "flags\nsome _theta_ and _TAJIMA_\n_amova_res_\n");
  BatchSummaryFiles summary;
  read_global_flags((dir.path() + "/").c_str(), summary);
  std::vector<std::string> set;
  for (int f = 0; f < BatchSummaryFiles::kFlagCount; ++f)
    if (summary.flags[static_cast<size_t>(f)])
      set.push_back(BatchSummaryFiles::table()[static_cast<size_t>(f)].flag_word);
  EXPECT_EQ(set, (std::vector<std::string>{"_THETA_", "_TAJIMA_", "_AMOVA_RES_"}));
}

TEST(BatchSummaryFlags, OnlyTwoHundredLinesAfterTheTitleAreSearched) {
  TempDir dir;
  std::string text = "title\n";
  for (int i = 0; i < 199; ++i) text += "nothing\n";
  text += "_THETA_\n_TAJIMA_\n";  // lines 200 and 201 after the title
  write_file("glbstreams.txt", text);
  BatchSummaryFiles summary;
  read_global_flags("", summary);
  EXPECT_TRUE(summary.flags[4]);   // _THETA_
  EXPECT_FALSE(summary.flags[7]);  // _TAJIMA_
}

TEST(BatchSummaryFlags, TitleLineLongDirectoryOrMissingFileSetNothing) {
  TempDir dir;
  BatchSummaryFiles summary;
  auto none_set = [&summary] {
    return std::none_of(summary.flags.begin(), summary.flags.end(), [](bool f) { return f; });
  };
  read_global_flags("", summary);
  EXPECT_TRUE(none_set()) << "no file";
  const std::string long_dir(351, 'd');
  read_global_flags(long_dir.c_str(), summary);
  EXPECT_TRUE(none_set()) << "long directory";
  write_file("glbstreams.txt", "_THETA_\n");
  read_global_flags("", summary);
  EXPECT_TRUE(none_set()) << "the title line is not searched";
}

TEST(BatchSummaryFiles, SelectedFilesAreAppendedWithTheTitle) {
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
}

TEST(BatchSummaryFiles, BatchOpensFlaggedFilesInTheWorkingDirectory) {
  TempDir dir;
  write_file("glbstreams.txt", "title\n_GENE_DIVERSITY_\n");
  run_batch();  // no run list: only the set-up and the close
  EXPECT_TRUE(exists("gen_div.sum"));
  EXPECT_FALSE(exists("theta.sum"));
}

TEST(CreateLogDir, ResultDirectoryIsNamedAfterTheProject) {
  TempDir dir;
  std::filesystem::create_directory("sub");
  write_file("sub/p.v1.qnp", kAnyProject);
  my_string log_dir;
  ASSERT_TRUE(create_log_dir("", "sub/p.v1.qnp", log_dir));
  EXPECT_EQ(log_dir, "sub/p.v1.res/");
  EXPECT_TRUE(std::filesystem::is_directory("sub/p.v1.res"));
  // An existing directory is fine.
  EXPECT_TRUE(create_log_dir("", "sub/p.v1.qnp", log_dir));
  EXPECT_FALSE(exists("qnd_pro.txt"));
}

TEST(CreateLogDir, MissingProjectWritesErrorMarkerInTheCoreDirectory) {
  TempDir dir;
  std::filesystem::create_directory("core");
  write_file("core/qnd_pro.txt", "old content that must go\n");
  my_string log_dir("unchanged");
  EXPECT_FALSE(create_log_dir("core/", "absent.qnp", log_dir));
  EXPECT_EQ(read_file("core/qnd_pro.txt"), "error\n");
  EXPECT_EQ(log_dir, "unchanged");
}

TEST(ProjectOwnership, BatchCreatesAndDeleteProjectReleasesTheProject) {
  TempDir dir;
  run_batch();
  EXPECT_NE(current_project(), nullptr);
  EXPECT_EQ(PPP, current_project());
  delete_project();
  EXPECT_EQ(current_project(), nullptr);
  EXPECT_EQ(PPP, nullptr);
}
