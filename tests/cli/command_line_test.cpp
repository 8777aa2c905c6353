// End-to-end tests of the command line: each runs the built executable inside a
// fresh temporary directory. Also in-process tests of the run list file and of
// the argument helpers.
#include "driver/command_line.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "cli/temp_dir.h"

using qnd_test::read_file;
using qnd_test::TempDir;
using qnd_test::write_file;

namespace {

namespace fs = std::filesystem;

// The usage text, written out by hand.
const char* const kHelpText = R"(
                        QNDSUMSTAT v 3.5.2.2 (02.08.15)
                        =================================

  QNDSUMSTAT is a modified version of Quendris for computing summary statistics
  listed in the file named "ssdefs.txt", and reporting them in an output file.

  Usage:
     qndsumstat <project file name> <sum. stat. output file>
                <[int] append output file> <[int] write header>
                | run_silent


  The parameter <project file name> needs to be put within quotes if 
  it contains whitepaces

  The parameter <[int] append output file> controls if the output file needs
  to be overwritten (0) or appended (1).
  A value of 0 will reset the output file.
  Default value is 1.

  The parameter <[int] write header> controls if a header with 
  the names of the sum. stats. needs to be written
    Possible values:
      0: no, only computed summary statistics will be output
      1: yes, header and statistics will be output
      2, yes, only header will be output
    Default value is 0.

  run_silent: if present on the command line, qndsumstat will not output
              computation progress in the console

  Examples (replace qndsumstat by your executable version):
    ./qndsumstat_32bit test.qnp outSS.txt 0 1
       This will analyse the file 'test.qnp' and and write the summary
       statistics in the file outSS.txt, which will be reset, and which will
        beginwith a header line with the names of the summary statistics

    qndsumstat test1.qnp outSS.txt 1 0
       This will append summary statistics computed on the file test1.qnp
       to the same output file outSS.txt, without writing a header line

    qndsumstat test2.qnp outSS.txt 1 1
       This will append summary statistics computed on the file test2.qnp
       to the same output file outSS.txt, but this time including a
        header line, with the names of the summary stats

)";

const char* const kSilentNotice = "Running qndsumstat in silent mode ...\n";

struct RunResult {
  int exit_code = -1;
  std::string out;
};

// Runs the executable with args in dir and collects its standard output.
RunResult run_exe(const TempDir& dir, const std::vector<std::string>& args) {
  int pipe_fds[2];
  if (::pipe(pipe_fds) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(pipe_fds[1], STDOUT_FILENO);
    ::close(pipe_fds[0]);
    ::close(pipe_fds[1]);
    if (::chdir(dir.path().c_str()) != 0) ::_exit(127);
    std::vector<char*> argv;
    std::string exe = QND_EXE;
    argv.push_back(exe.data());
    std::vector<std::string> copies = args;
    for (std::string& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(exe.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(pipe_fds[1]);
  RunResult result;
  char buf[4096];
  ssize_t n;
  while ((n = ::read(pipe_fds[0], buf, sizeof buf)) > 0) result.out.append(buf, n);
  ::close(pipe_fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  return result;
}

std::vector<std::string> run_lists_in(const TempDir& dir) {
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("qnd_run_", 0) == 0) found.push_back(name);
  }
  return found;
}

// Runs from inside a temporary directory for in-process tests.
class InDirectory {
 public:
  explicit InDirectory(const fs::path& dir) : previous_(fs::current_path()) {
    fs::current_path(dir);
  }
  ~InDirectory() { fs::current_path(previous_); }

 private:
  fs::path previous_;
};

}  // namespace

TEST(HelpText, NoArgumentPrintsTheExactHelpText) {
  TempDir dir;
  const RunResult r = run_exe(dir, {});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, std::string(kHelpText));
  EXPECT_TRUE(run_lists_in(dir).empty());
}

TEST(HelpText, HelpWordAnywhereStopsBeforeAnythingIsWritten) {
  const std::vector<std::vector<std::string>> calls = {
      {"proj.qnp", "out.txt", "-help"},
      {"proj.qnp", "out.txt", "0", "1", "--Help"},
      {"my-help.qnp", "out.txt", "0"},
      {"proj.qnp", "out.txt", "0", "1", "extra", "-HELP"},
  };
  for (const auto& args : calls) {
    TempDir dir;
    write_file(dir.file("out.txt"), "keep me\n");
    write_file(dir.file("ssdefs.txt"), "POP_LEVEL ALL_K\n");
    const RunResult r = run_exe(dir, args);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, std::string(kHelpText)) << args[2];
    EXPECT_EQ(read_file(dir.file("out.txt")), "keep me\n");
    EXPECT_TRUE(run_lists_in(dir).empty());
  }
}

TEST(HelpText, SilentWordBeforeHelpIsAnnouncedFirst) {
  TempDir dir;
  const RunResult r = run_exe(dir, {"proj.qnp", "out.txt", "run_silent", "-help"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, std::string(kSilentNotice) + kHelpText);
  EXPECT_FALSE(fs::exists(dir.file("out.txt")));
}

TEST(RunList, HasSixLinesNamingTheProject) {
  TempDir dir;
  InDirectory here(dir.path());
  make_qnd_run_txt("sub dir/proj.qnp");
  const std::string name = "qnd_run_" + std::to_string(::getpid()) + ".txt";
  EXPECT_EQ(getQndRunString(), name.c_str());
  const std::string cwd = fs::current_path().string();
  EXPECT_EQ(read_file(name), cwd + "\nuse_interf_settings\nsub dir/proj.qnp\n0\n0\nend\n");
}

// Whether an existing output file is kept ("old\n") or emptied; "ssdefs.txt"
// selects no level in every case, so no line is ever added.
TEST(AppendFlag, TruncatedValueDecidesBetweenOverwriteAndAppend) {
  struct Case {
    std::vector<std::string> args;
    bool appends;
    const char* ssdefs;  // nullptr: no definition file
  };
  const Case cases[] = {
      {{"proj.qnp", "out.txt", "0.9"}, false, "ALL_K\n"},
      {{"proj.qnp", "out.txt", "0"}, false, "ALL_K\n"},
      {{"proj.qnp", "out.txt", "-0.5"}, false, "ALL_K\n"},
      {{"proj.qnp", "out.txt", "abc"}, false, "ALL_K\n"},
      {{"proj.qnp", "out.txt", "2"}, true, "ALL_K\n"},
      {{"proj.qnp", "out.txt", "-1"}, true, "ALL_K\n"},
      {{"proj.qnp", "out.txt", "1"}, true, "ALL_K\n"},
      {{"proj.qnp", "out.txt", " 1"}, true, "ALL_K\n"},
      {{"proj.qnp", "out.txt"}, true, nullptr},  // default: append
      {{"proj.qnp", "out.txt", "RUN_silent"}, false, nullptr},
      {{"proj.qnp", "out.txt", "0", "3"}, false, "POP_LEVEL ALL_K\n"},  // no such header mode
      {{"proj.qnp", "out.txt", "0", "1"}, false, "ALL_K MEAN_K ALL_S\n"},
      {{"proj.qnp", "out.txt", "0", "1"}, false, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.back() + (c.ssdefs ? std::string(" with ") + c.ssdefs : " without ssdefs"));
    TempDir dir;
    if (c.ssdefs != nullptr) write_file(dir.file("ssdefs.txt"), c.ssdefs);
    write_file(dir.file("out.txt"), "old\n");
    const RunResult r = run_exe(dir, c.args);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(read_file(dir.file("out.txt")), c.appends ? "old\n" : "");
    if (c.args.back() == "RUN_silent") {
      EXPECT_EQ(r.out, kSilentNotice);
    }
  }
}

TEST(ArgumentValue, ReadsLikeAtofAndTruncatesTowardZero) {
  EXPECT_EQ(cli::truncated_value("1.7"), 1);
  EXPECT_EQ(cli::truncated_value("0.9"), 0);
  EXPECT_EQ(cli::truncated_value("-1.9"), -1);
  EXPECT_EQ(cli::truncated_value("  2xyz"), 2);
  EXPECT_EQ(cli::truncated_value("run_silent"), 0);
  EXPECT_EQ(cli::truncated_value(""), 0);
  EXPECT_EQ(cli::truncated_value("3e2"), 300);
  // Out of range and not-a-number: no header mode, and not 0 for the append flag.
  EXPECT_EQ(cli::truncated_value("1e300"), INT_MIN);
  EXPECT_EQ(cli::truncated_value("-1e300"), INT_MIN);
  EXPECT_EQ(cli::truncated_value("nan"), INT_MIN);
}

TEST(SilentWord, AsSecondArgumentItNamesTheOutputFile) {
  TempDir dir;
  write_file(dir.file("ssdefs.txt"), "POP_LEVEL ALL_K\n");
  const RunResult r = run_exe(dir, {"proj.qnp", "run_silent"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, kSilentNotice);
  EXPECT_TRUE(fs::exists(dir.file("run_silent")));
}

TEST(OutputFile, SingleArgumentWritesNoOutputFile) {
  TempDir dir;
  write_file(dir.file("ssdefs.txt"), "POP_LEVEL ALL_K\n");
  const RunResult r = run_exe(dir, {"proj.qnp"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "");
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir.path()))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  // No output file and no run list; "qnd_pro.txt" is the batch loop's marker of
  // a project file that could not be opened (proj.qnp does not exist here).
  EXPECT_EQ(names, std::vector<std::string>({"qnd_pro.txt", "ssdefs.txt"}));
}

TEST(ProjectName, DotSlashComponentsAreDroppedExceptALeadingOne) {
  const std::pair<const char*, const char*> cases[] = {
      {"./proj.qnp", "./proj.qnp"},
      {"./a/./b/./proj.qnp", "./a/b/proj.qnp"},
      {"a/././proj.qnp", "a/proj.qnp"},
      {"/./data/proj.qnp", "/data/proj.qnp"},
      // ".." and names ending in a dot are no "." component.
      {"../proj.qnp", "../proj.qnp"},
      {"a/../b/./proj.qnp", "a/../b/proj.qnp"},
      {"x./proj.qnp", "x./proj.qnp"},
      {"v1../p.qnp", "v1../p.qnp"},
      {"proj.qnp", "proj.qnp"},
  };
  for (const auto& [name, expected] : cases)
    EXPECT_EQ(cli::normalise_project_name(name), expected) << name;
}

TEST(ProjectName, NormalisedNameStillNamesTheSameFile) {
  TempDir dir;
  InDirectory here(dir.path());
  fs::create_directories("work/run");
  fs::create_directories("x.");
  fs::create_directories("data");
  write_file("data/p.qnp", "[Profile]\n");
  write_file("x./q.qnp", "[Profile]\n");
  const std::vector<std::string> names = {
      "./data/p.qnp", "data/./p.qnp", "./work/../data/./p.qnp", "work/run/../.././data/p.qnp",
      "x./q.qnp",     "./x././q.qnp",
  };
  for (const std::string& name : names) {
    const std::string normalised = cli::normalise_project_name(name);
    ASSERT_TRUE(fs::exists(normalised)) << name << " -> " << normalised;
    EXPECT_TRUE(fs::equivalent(name, normalised)) << name << " -> " << normalised;
  }
}
