// The batch loop: run list reading, settings file choice, the log of each
// project, the batch summary flags and files, and the result directory.
#include "driver/batch_loop.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
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
void run_batch(const std::string& core, const std::string& command,
               const std::vector<std::string>& rest) {
  std::string text = core + "\n" + command + "\n";
  for (const std::string& line : rest) text += line + "\n";
  write_file("qnd_run_" + std::to_string(::getpid()) + ".txt", text);
  char no_core[1] = "";
  qndestart(no_core);
  E.CloseLog_file();
}

std::string here(std::string text, const TempDir& dir) {
  for (size_t at; (at = text.find("\\n")) != std::string::npos;) text.replace(at, 2, "\n");
  for (size_t at; (at = text.find("$DIR")) != std::string::npos;) text.replace(at, 4, dir.path());
  return text;
}

// The cases of run_lists.txt (its header describes them).
TEST(BatchLoop, RunListsGiveTheirLogsAndFiles) {
  std::ifstream in(std::string(QND_TEST_DATA) + "/driver/run_lists.txt");
  std::vector<std::vector<std::pair<std::string, std::string>>> cases;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    const size_t blank = std::min(line.find(' '), line.size());
    if (line.compare(0, blank, "case") == 0) cases.emplace_back();
    if (!cases.empty())
      cases.back().emplace_back(line.substr(0, blank),
                                line.substr(std::min(blank + 1, line.size())));
  }
  ASSERT_GE(cases.size(), 10u);
  for (const auto& c : cases) {
    SCOPED_TRACE(c[0].second);
    TempDir dir;
    std::string core, command, list, log;
    for (const auto& [key, value] : c) {
      std::istringstream words(value);
      if (key == "files") {
        for (std::string f; words >> f;)
          write_file(f, f.find(".qns") != std::string::npos ? "TaskNumber=0\n" : kAnyProject);
      } else if (key == "core") {
        core = here(value, dir);
      } else if (key == "command") {
        command = value;
      } else if (key == "list") {
        std::vector<std::string> lines;
        for (std::string w; words >> w;) lines.push_back(w);
        settings::num_proj_done = 0;
        run_batch(core, command, lines);
        EXPECT_EQ(QuendrisExeDirectory, core.empty() ? "" : dir.path() + "/");
      } else if (key == "log") {
        log = read_file(value);
      } else if (key == "has" || key == "lacks") {
        EXPECT_EQ(log.find(here(value, dir)) != std::string::npos, key == "has") << value << "\n"
                                                                                 << log;
      } else if (key == "made" || key == "absent") {
        EXPECT_EQ(exists(value), key == "made") << value;
      } else if (key == "done") {
        EXPECT_EQ(settings::num_proj_done, std::stoi(value));
      }
    }
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
    const std::string inner(length - 200 - 7, 'e'),
        path = std::string(200, 'd') + "/" + inner + "/p.qnp";
    std::filesystem::create_directories(path.substr(0, path.size() - 6));
    write_file(path, kAnyProject);
    settings::num_proj_done = 0;
    run_batch(dir.path(), "use_interf_settings", {path, "0", "0", "end"});
    EXPECT_EQ(exists(path.substr(0, path.size() - 4) + ".res/Quendris_log.txt"), length == 398)
        << length;
    EXPECT_EQ(settings::num_proj_done, length == 398 ? 1 : 0) << length;
  }
}

TEST(BatchSummary, FlagWordsAreFoundInTwoHundredLinesAfterTheTitleInAnyCase) {
  TempDir dir;
  const auto flags_set = [](const BatchSummaryFiles& summary) {
    std::vector<std::string> set;
    for (int f = 0; f < BatchSummaryFiles::kFlagCount; ++f)
      if (summary.flags[static_cast<size_t>(f)])
        set.push_back(BatchSummaryFiles::table()[static_cast<size_t>(f)].flag_word);
    return set;
  };
  BatchSummaryFiles summary;
  read_global_flags((dir.path() + "/").c_str(), summary);  // no file
  EXPECT_TRUE(flags_set(summary).empty());
  std::string text = "_THETA_ on the title line is not searched\nsome _amova_res_ and _TAJIMA_\n";
  for (int i = 0; i < 198; ++i) text += "nothing\n";
  write_file("glbstreams.txt",
             text + "_Gene_Diversity_\n_MISMATCH_\n");  // lines 200 and 201 after the title
  read_global_flags((dir.path() + "/").c_str(), summary);
  EXPECT_EQ(flags_set(summary),
            (std::vector<std::string>{"_GENE_DIVERSITY_", "_TAJIMA_", "_AMOVA_RES_"}));
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
