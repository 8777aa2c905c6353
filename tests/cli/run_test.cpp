// End-to-end runs of the qndsumstat executable on the bundled example and on
// broken inputs, each in a fresh temporary directory: the log of the batch loop,
// the result directory left behind, and the header and value lines.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "cli/cli_run.h"
#include "driver/driver_test_util.h"

namespace {

using cli_test::kBrokenProject;
using cli_test::run_in;
using driver_test::exists;
using driver_test::in_order;
using driver_test::list_dir;
using driver_test::read_file;
using driver_test::TempDir;
using driver_test::write_file;

// A working directory holding the example project and its settings.
void copy_example(const TempDir& dir, const std::string& ssdefs = "") {
  const std::string examples = QND_EXAMPLES;
  std::filesystem::copy_file(examples + "/demo.qnp", dir.file("demo.qnp"));
  std::filesystem::copy_file(examples + "/qnd_run.qns", dir.file("qnd_run.qns"));
  if (ssdefs.empty()) {
    std::filesystem::copy_file(examples + "/ssdefs.txt", dir.file("ssdefs.txt"));
  } else {
    write_file(dir.file("ssdefs.txt"), ssdefs);
  }
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  while (from < text.size()) {
    const std::size_t end = text.find('\n', from);
    if (end == std::string::npos) {
      lines.push_back(text.substr(from));
      break;
    }
    lines.push_back(text.substr(from, end - from));
    from = end + 1;
  }
  return lines;
}

// The tab-ended fields of a line.
std::vector<std::string> fields_of(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t from = 0;
  for (std::size_t tab = line.find('\t'); tab != std::string::npos; tab = line.find('\t', from)) {
    fields.push_back(line.substr(from, tab - from));
    from = tab + 1;
  }
  return fields;
}

bool no_run_list_left(const TempDir& dir) {
  for (const std::string& name : list_dir(dir.path()))
    if (name.rfind("qnd_run_", 0) == 0 && name.size() > 12 &&
        name.substr(name.size() - 4) == ".txt")
      return false;
  return true;
}

}  // namespace

TEST(DemoRun, LogShowsTheBatchLoopStepsInOrder) {
  TempDir dir(false);
  copy_example(dir);
  ASSERT_EQ(run_in(dir, "demo.qnp out.txt 0 1 run_silent").status, 0);
  const std::string log = read_file(dir.file("demo.res/Quendris_log.txt"));
  std::string missing;
  EXPECT_TRUE(in_order(
      log,
      {"Log file path: demo.res/Quendris_log.txt\n",
       "Core Program Directory: " + dir.path() + "/\n", "Reading project profile section...\n",
       "done !\n", "Opening next project...\n", "demo.qnp\n",
       "////////////////////////////////////////////////////////////////////\n"
       "RUN NUMBER 1 (",
       "\nReading Project: demo.qnp\n", "  Checking all selected options...\n",
       "END OF RUN NUMBER 1 (",
       "\nTotal computing time for this run : ", "Successful run of demo.qnp\n"},
      &missing))
      << "missing or out of order: " << missing << "\n--- log ---\n"
      << log;
  EXPECT_EQ(log.find("Error during run of"), std::string::npos);
}

TEST(DemoRun, LeavesOnlyTheLogAndTheOutput) {
  TempDir dir(false);
  copy_example(dir);
  ASSERT_EQ(run_in(dir, "demo.qnp out.txt 0 1 run_silent").status, 0);
  // The cleaned copy of the project is gone; the log and the missing-data table
  // of the distance computation stay.
  EXPECT_EQ(list_dir(dir.file("demo.res")),
            (std::vector<std::string>{"MissDataPerLocus.txt", "Quendris_log.txt"}));
  EXPECT_TRUE(no_run_list_left(dir));
  EXPECT_TRUE(exists(dir.file("out.txt")));
}

TEST(DemoRun, HeaderAndValueLinesMatchColumnForColumn) {
  TempDir dir(false);
  copy_example(dir);
  ASSERT_EQ(run_in(dir, "demo.qnp out.txt 0 1 run_silent").status, 0);
  const std::vector<std::string> lines = lines_of(read_file(dir.file("out.txt")));
  ASSERT_EQ(lines.size(), 2u);
  const std::vector<std::string> names = fields_of(lines[0]);
  const std::vector<std::string> values = fields_of(lines[1]);
  EXPECT_EQ(names.size(), values.size());
  // Every group column comes before the first sample column.
  bool population_seen = false;
  for (const std::string& name : names) {
    const bool group_column = name.rfind("gr_", 0) == 0;
    EXPECT_FALSE(group_column && population_seen) << name << " after a sample column";
    population_seen = population_seen || !group_column;
  }
  // Each field is a number as a stream prints it.
  const std::regex number(R"(-?(nan|inf|[0-9.]+(e[-+][0-9]+)?))");
  for (const std::string& value : values) EXPECT_TRUE(std::regex_match(value, number)) << value;
}

TEST(DemoRun, LevelsChooseTheColumnsGroupColumnsFirst) {
  struct Case {
    const char* ssdefs;
    const char* header;  // empty: no line at all
  };
  for (const Case& c :
       {Case{"POP_LEVEL MEAN_K\n", "mean_K\t"}, Case{"GROUP_LEVEL MEAN_K\n", "gr_mean_K\t"},
        Case{"POP_LEVEL GROUP_LEVEL\nMEAN_K SD_K\n", "gr_mean_K\tgr_sd_K\tmean_K\tsd_K\t"},
        Case{"MEAN_K ALL_K\n", ""}}) {
    SCOPED_TRACE(c.ssdefs);
    TempDir dir(false);
    copy_example(dir, c.ssdefs);
    ASSERT_EQ(run_in(dir, "demo.qnp out.txt 0 1 run_silent").status, 0);
    const std::vector<std::string> lines = lines_of(read_file(dir.file("out.txt")));
    if (*c.header == '\0') {
      EXPECT_TRUE(lines.empty());
    } else {
      ASSERT_EQ(lines.size(), 2u);
      EXPECT_EQ(lines[0], c.header);
      EXPECT_EQ(fields_of(lines[1]).size(), fields_of(lines[0]).size());
    }
    EXPECT_NE(read_file(dir.file("demo.res/Quendris_log.txt")).find("Successful run of demo.qnp"),
              std::string::npos);
  }
}

TEST(BrokenRun, UnreadableProjectFailsAndLeavesOnlyTheLog) {
  // A project that cannot be run, and one cut off inside its last group.
  const std::string truncated =
      driver_test::read_file(std::string(QND_TEST_DATA) + "/project/corpus/truncated_structure.qnp");
  for (const auto& [project, diagnostic] :
       {std::pair<std::string, std::string>{kBrokenProject, "Error opening project...\n"},
        {truncated, "\" : missing closing brace for group definition\n"}}) {
    TempDir dir(false);
    copy_example(dir, "POP_LEVEL GROUP_LEVEL MEAN_K\n");
    write_file(dir.file("broken.qnp"), project);
    ASSERT_EQ(run_in(dir, "broken.qnp out.txt 0 1 run_silent").status, 0);
    const std::string log = read_file(dir.file("broken.res/Quendris_log.txt"));
    EXPECT_TRUE(in_order(log, {"Opening next project...\n", diagnostic,
                               "Error during run of broken.qnp\n"}))
        << log;
    EXPECT_EQ(log.find("Successful run of"), std::string::npos);
    EXPECT_EQ(read_file(dir.file("out.txt")), "") << "a failed project adds no statistics line";
    EXPECT_EQ(list_dir(dir.file("broken.res")), std::vector<std::string>{"Quendris_log.txt"});
    EXPECT_TRUE(no_run_list_left(dir));
  }
}
