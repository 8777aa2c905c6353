// End-to-end tests of batch mode ("@list" as the first argument) and of the
// failure notice on standard error. Each runs the built executable in a fresh
// temporary directory on tiny one-sample projects whose number of haplotypes K
// is known by construction: the value line of a project with k distinct
// sequences reads "k\tk\t" under the columns "K_1\tmean_K\t".
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_run.h"
#include "driver/command_line.h"
#include "driver/driver_test_util.h"

namespace {

using cli_test::kBrokenProject;
using cli_test::run_in;
using cli_test::RunResult;
using driver_test::read_file;
using driver_test::TempDir;
using driver_test::write_file;

const char* const kHeader = "K_1\tmean_K\t\n";

// A DNA project of one sample holding k distinct sequences (k <= 4).
std::string project_with_k(int k) {
  const char* const sequences[] = {"ACGT", "ACGA", "ACCT", "TCGT"};
  std::string text =
      "[Profile]\n  NbSamples=1\n  DataType=DNA\n  GenotypicData=0\n  LocusSeparator=NONE\n"
      "[Data]\n  [[Samples]]\n    SampleName=\"A\"\n    SampleSize=" +
      std::to_string(k) + "\n    SampleData={\n";
  for (int i = 0; i < k; ++i)
    text += "      h" + std::to_string(i + 1) + " 1 " + sequences[i] + "\n";
  return text + "    }\n";
}

// A directory with settings, "ssdefs.txt" selecting K_i and
// mean_K, and the projects k1.qnp, k2.qnp, k3.qnp and broken.qnp.
void set_up(const TempDir& dir) {
  // Standard indices only: K is all these tests need.
  write_file(dir.file("qnd_run.qns"), "[Setting for Calculations]\nTaskNumber=1\n");
  write_file(dir.file("ssdefs.txt"), "POP_LEVEL ALL_K MEAN_K\n");
  for (int k = 1; k <= 3; ++k)
    write_file(dir.file("k" + std::to_string(k) + ".qnp"), project_with_k(k));
  write_file(dir.file("broken.qnp"), kBrokenProject);
}

std::string values(int k) { return std::to_string(k) + "\t" + std::to_string(k) + "\t\n"; }

const std::string kNaLine = "NA\tNA\t\n";

}  // namespace

TEST(BatchMode, HeaderOnceThenOneLinePerProjectInListOrder) {
  TempDir dir(false);
  set_up(dir);
  write_file(dir.file("list.txt"), "k3.qnp\nk1.qnp\nk2.qnp\n");
  const RunResult r = run_in(dir, "@list.txt out.txt 0 1 run_silent");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(read_file(dir.file("out.txt")), kHeader + values(3) + values(1) + values(2));
  EXPECT_EQ(r.err, "");
}

TEST(BatchMode, ListLinesGiveTheOutputLines) {
  struct Case {
    const char* what;
    std::string list;
    const char* arguments;
    std::string expected;
  };
  const Case cases[] = {
      {"same project twice", "k2.qnp\nk2.qnp\n", "0 0", values(2) + values(2)},
      {"comments, blank lines and blanks around names",
       "# first the big one\n\n   \nk3.qnp\r\n  # indented comment\n\t k1.qnp  \n\n", "0 1",
       kHeader + values(3) + values(1)},
      {"a project named end is run", "k1.qnp\nend\nk3.qnp\n", "0 1",
       kHeader + values(1) + values(2) + values(3)},
      {"failing middle projects keep their place", "k1.qnp\nbroken.qnp\nabsent.qnp\nk3.qnp\n",
       "0 1", kHeader + values(1) + kNaLine + kNaLine + values(3)},
      {"failing first projects take the header of the first that runs",
       "broken.qnp\nabsent.qnp\nk2.qnp\nbroken.qnp\nk1.qnp\n", "0 1",
       kHeader + kNaLine + kNaLine + values(2) + kNaLine + values(1)},
      {"no project runs: one NA column per project, no header", "broken.qnp\nabsent.qnp\n", "0 1",
       "NA\t\nNA\t\n"},
      {"empty list", "# nothing yet\n\n", "0 1", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir(false);
    set_up(dir);
    write_file(dir.file("end"), project_with_k(2));
    write_file(dir.file("list.txt"), c.list);
    run_in(dir, std::string("@list.txt out.txt ") + c.arguments + " run_silent");
    EXPECT_EQ(read_file(dir.file("out.txt")), c.expected);
  }
}

TEST(BatchMode, HeaderModesAndAppendingWorkAsForOneProject) {
  TempDir dir(false);
  set_up(dir);
  write_file(dir.file("list.txt"), "k1.qnp\nk2.qnp\n");
  write_file(dir.file("out.txt"), "old\n");
  run_in(dir, "@list.txt out.txt 1 0 run_silent");
  EXPECT_EQ(read_file(dir.file("out.txt")), "old\n" + values(1) + values(2));
  run_in(dir, "@list.txt out.txt 0 2 run_silent");
  EXPECT_EQ(read_file(dir.file("out.txt")), kHeader);
}

TEST(BatchMode, UnreadableListIsReportedAndTouchesNoOutput) {
  TempDir dir(false);
  set_up(dir);
  const RunResult r = run_in(dir, "@absent.txt out.txt 0 1 run_silent");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "qndsumstat: error: cannot read the project list absent.txt\n");
  EXPECT_FALSE(driver_test::exists(dir.file("out.txt")));
}

TEST(BatchModeFailures, NAColumnsFollowTheHeaderWidth) {
  TempDir dir(false);
  set_up(dir);
  write_file(dir.file("ssdefs.txt"), "POP_LEVEL ALL_K MEAN_K ALL_H MEAN_H\n");
  write_file(dir.file("list.txt"), "broken.qnp\nk2.qnp\n");
  run_in(dir, "@list.txt out.txt 0 1 run_silent");
  const std::string out = read_file(dir.file("out.txt"));
  // K_1 mean_K H_1 mean_H: four columns, so four NA fields.
  EXPECT_EQ(out.substr(0, out.find('\n') + 1), "K_1\tmean_K\tH_1\tmean_H\t\n");
  EXPECT_NE(out.find("\nNA\tNA\tNA\tNA\t\n2\t2\t"), std::string::npos) << out;
}

TEST(BatchModeFailures, MissingSettingsFailEveryListedProject) {
  TempDir dir(false);
  set_up(dir);
  std::filesystem::remove(dir.file("qnd_run.qns"));
  write_file(dir.file("list.txt"), "k1.qnp\nk2.qnp\nk3.qnp\n");
  const RunResult r = run_in(dir, "@list.txt out.txt 0 1 run_silent");
  EXPECT_EQ(read_file(dir.file("out.txt")), "NA\t\nNA\t\nNA\t\n");
  EXPECT_FALSE(driver_test::exists(dir.file("k2.res"))) << "the batch stops at the first project";
  EXPECT_EQ(r.err, "qndsumstat: error: k1.qnp could not be run, see k1.res/Quendris_log.txt\n");
}

TEST(FailureNotice, FailedProjectNamesItsLogOnStandardErrorOnly) {
  TempDir dir(false);
  set_up(dir);
  const RunResult r = run_in(dir, "broken.qnp out.txt 0 1 run_silent");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err,
            "qndsumstat: error: broken.qnp could not be run, see broken.res/Quendris_log.txt\n");
  EXPECT_EQ(r.out, "Running qndsumstat in silent mode ...\n");
  EXPECT_TRUE(driver_test::exists(dir.file("broken.res/Quendris_log.txt")));
}

TEST(FailureNotice, SuccessfulRunPrintsNothingOnStandardError) {
  TempDir dir(false);
  set_up(dir);
  const RunResult r = run_in(dir, "k2.qnp out.txt 0 1 run_silent");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "Running qndsumstat in silent mode ...\n");
}

TEST(FailureNotice, MissingProjectFileAndNestedPathsAreNamedAsListed) {
  TempDir dir(false);
  set_up(dir);
  std::filesystem::create_directory(dir.file("sub"));
  write_file(dir.file("sub/bad.v2.qnp"), kBrokenProject);
  write_file(dir.file("list.txt"), "absent.qnp\nk1.qnp\nsub/./bad.v2.qnp\n");
  const RunResult r = run_in(dir, "@list.txt out.txt 0 1 run_silent");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err,
            "qndsumstat: error: absent.qnp could not be run, see absent.res/Quendris_log.txt\n"
            "qndsumstat: error: sub/bad.v2.qnp could not be run, see "
            "sub/bad.v2.res/Quendris_log.txt\n");
}

TEST(ProjectList, KeepsOrderAndSkipsBlanksAndComments) {
  std::istringstream in("a.qnp\n\n# x.qnp\n  b c.qnp \r\n\t#y\nd/./e.qnp");
  EXPECT_EQ(cli::read_project_list(in), (std::vector<std::string>{"a.qnp", "b c.qnp", "d/e.qnp"}));
}

TEST(ProjectList, EndWordsBecomePathsToTheSameFile) {
  std::istringstream in("end\nEND\nEnd\n");
  EXPECT_EQ(cli::read_project_list(in), (std::vector<std::string>{"./end", "./END", "End"}));
}
