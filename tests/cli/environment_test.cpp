// The program in faulty environments: an output file that cannot be opened or
// written, a result directory that cannot be made, missing or unreadable
// "ssdefs.txt" and "qnd_run.qns", unusual project paths, and a project that is
// a directory. Every run must end with status 0, leave no partial line in the
// output file and remove its run list file; where the log can be written it
// says what went wrong.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/temp_dir.h"
#include "sumstat/sumstat.h"

namespace {

using qnd_test::read_file;
using qnd_test::TempDir;
using qnd_test::write_file;

// Two DNA samples, analysed at the population level.
const char* const kProject =
    "[Profile]\n"
    "  Title=\"environment\"\n"
    "  NbSamples=2\n"
    "  DataType=DNA\n"
    "  GenotypicData=0\n"
    "  LocusSeparator=NONE\n"
    "  MissingData='?'\n"
    "[Data]\n"
    "[[Samples]]\n"
    "  SampleName=\"pop1\"\n"
    "  SampleSize=3\n"
    "  SampleData={\n"
    "    h1 2 ACGTACGT\n"
    "    h2 1 ACGTTCGA\n"
    "  }\n"
    "  SampleName=\"pop2\"\n"
    "  SampleSize=2\n"
    "  SampleData={\n"
    "    h1 1\n"
    "    h3 1 TCGTACGT\n"
    "  }\n";

const char* const kDefinitions = "POP_LEVEL\nALL_K MEAN_K\nALL_S\n";

// A working directory with the project, the statistic definitions and the
// settings of the example.
void prepare(const TempDir& dir, const std::string& project_name = "p.qnp") {
  write_file(dir.file(project_name), kProject);
  write_file(dir.file("ssdefs.txt"), kDefinitions);
  std::filesystem::copy_file(std::string(QND_EXAMPLES) + "/qnd_run.qns", dir.file("qnd_run.qns"));
}

std::string quoted(const std::string& text) {
  std::string out = "'";
  for (const char c : text) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

// Runs the program in dir with the arguments (each quoted for the shell);
// returns the exit status, -1 when it did not exit normally.
int run_in(const TempDir& dir, const std::vector<std::string>& arguments) {
  std::string command = "cd " + quoted(dir.path().string()) + " && " + quoted(QND_EXE);
  for (const std::string& a : arguments) command += " " + quoted(a);
  command += " > /dev/null 2>&1";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool run_list_left(const TempDir& dir) {
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("qnd_run_", 0) == 0 && name != "qnd_run.qns") return true;
  }
  return false;
}

// Text made of whole lines only: empty, or ending with a line feed.
bool whole_lines(const std::string& text) { return text.empty() || text.back() == '\n'; }

int count_lines(const std::string& text) {
  int n = 0;
  for (const char c : text) n += c == '\n' ? 1 : 0;
  return n;
}

TEST(FaultyOutput, OutputThatCannotBeWrittenIsSkippedCleanly) {
  // Runs as root pass permission checks, but no one can open a path that
  // continues below a regular file or below /proc/version.
  for (const char* output :
       {"no_such_dir/out.txt", "file.txt/out.txt", "/proc/version/out.txt", "/dev/full"}) {
    SCOPED_TRACE(output);
    if (std::string(output) == "/dev/full" && !std::filesystem::exists(output)) continue;
    TempDir dir;
    prepare(dir);
    write_file(dir.file("file.txt"), "keep\n");
    EXPECT_EQ(run_in(dir, {"p.qnp", output, "1", "1"}), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.file("no_such_dir")));
    EXPECT_EQ(read_file(dir.file("file.txt")), "keep\n");
    EXPECT_FALSE(run_list_left(dir));
  }
}

TEST(FaultyOutput, FileSizeLimitLeavesNoPartialLine) {
  // A file size limit just above the existing content makes the write of the
  // new lines stop part way (as a disk that fills up would): the file must then
  // hold its old lines and nothing more.
  TempDir dir;
  prepare(dir);
  const std::string old_lines = std::string(1014, 'x') + "\n" + std::string(1014, 'y') + "\n";
  write_file(dir.file("out.txt"), old_lines);
  // ulimit -f of the shell that system() starts counts blocks of 512 bytes:
  // 2048 lies just above the 2030 bytes, and the header line alone (five
  // names, 27 bytes) crosses it. SIGXFSZ is ignored so the write fails instead.
  const std::string command = "cd " + quoted(dir.path().string()) +
                              " && ( trap '' XFSZ; ulimit -f 4; " + quoted(QND_EXE) +
                              " p.qnp out.txt 1 1 ) > /dev/null 2>&1";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  const std::string text = read_file(dir.file("out.txt"));
  EXPECT_TRUE(whole_lines(text)) << text.substr(old_lines.size());
  EXPECT_EQ(text.substr(0, old_lines.size()), old_lines);
  EXPECT_FALSE(run_list_left(dir));
}

// writeToFile itself, in a child process whose file size limit stops the
// write part way. Returns the file's text afterwards.
std::string write_with_size_limit(const std::string& path, const std::string& old_text,
                                  const std::string& header, const std::string& values, bool append,
                                  rlim_t limit) {
  write_file(path, old_text);
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit cap{limit, limit};
    ::setrlimit(RLIMIT_FSIZE, &cap);
    TSumStat record;
    record.outFileName = path;
    record.appendOutput = append;
    record.headerLine = header;
    record.statsLine = values;
    record.writeToFile(1);
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  return read_file(path);
}

TEST(WholeLineWrites, AWriteStoppedPartWayIsTakenBack) {
  struct Case {
    const char* what;
    std::string old_text, header, values;
    bool append;
    rlim_t limit;
    std::string expected;
  };
  const std::string old_lines = "1\t2\t\n3\t4\t\n";  // 12 bytes
  const Case cases[] = {
      {"append stopped part way", old_lines, "a\tb\t\n", "0.5\t0.25\t\n", true, 20, old_lines},
      {"append that fits", "x\n", "a\t\n", "1\t\n", true, 1000, "x\na\t\n1\t\n"},
      {"overwrite stopped part way", "old line\n", std::string(50, 'h') + "\n",
       std::string(50, 'v') + "\n", false, 60, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    EXPECT_EQ(
        write_with_size_limit(dir.file("o.txt"), c.old_text, c.header, c.values, c.append, c.limit),
        c.expected);
  }
}

TEST(FaultyResultDirectory, ResultDirectoryBlockedByAFileEndsCleanly) {
  TempDir dir;
  prepare(dir);
  write_file(dir.file("p.res"), "in the way\n");
  write_file(dir.file("out.txt"), "old\n");
  EXPECT_EQ(run_in(dir, {"p.qnp", "out.txt", "1", "0"}), 0);
  const std::string text = read_file(dir.file("out.txt"));
  EXPECT_TRUE(whole_lines(text));
  EXPECT_EQ(text.substr(0, 4), "old\n");
  EXPECT_EQ(read_file(dir.file("p.res")), "in the way\n");
  EXPECT_FALSE(run_list_left(dir));
}

class FaultyInputFile : public ::testing::TestWithParam<const char*> {
 protected:
  // Replaces name in a prepared directory according to how: "missing",
  // "empty", "binary" or "directory"; runs with header and values appended to
  // two old lines; checks the common outcome and returns the new text.
  std::string run_with(const std::string& name, const std::string& how) {
    prepare(dir_);
    std::filesystem::remove(dir_.file(name));
    if (how == "empty") {
      write_file(dir_.file(name), "");
    } else if (how == "binary") {
      std::string bytes;
      for (int i = 0; i < 4096; ++i) bytes += static_cast<char>((i * 131 + 7) % 256);
      write_file(dir_.file(name), bytes);
    } else if (how == "directory") {
      std::filesystem::create_directory(dir_.file(name));
    }
    write_file(dir_.file("out.txt"), "a\nb\n");
    EXPECT_EQ(run_in(dir_, {"p.qnp", "out.txt", "1", "1"}), 0);
    const std::string text = read_file(dir_.file("out.txt"));
    EXPECT_EQ(text.substr(0, 4), "a\nb\n");
    EXPECT_TRUE(whole_lines(text));
    EXPECT_FALSE(run_list_left(dir_));
    return text.substr(4);
  }
  TempDir dir_;
};

TEST_P(FaultyInputFile, DefinitionsFileSelectsNothingUsable) {
  const std::string added = run_with("ssdefs.txt", GetParam());
  // No level keyword can come from such a file: no column, so at most two
  // empty lines (header and values).
  EXPECT_LE(count_lines(added), 2);
  for (const char c : added) EXPECT_EQ(c, '\n');
}

TEST_P(FaultyInputFile, SettingsFileThatCannotBeReadStopsTheRunAndOthersKeepLinesAligned) {
  const std::string how = GetParam();
  const std::string added = run_with("qnd_run.qns", how);
  if (!std::filesystem::exists(dir_.file("p.res")))
    GTEST_SKIP() << "the batch loop of this build runs no project";
  if (how == "missing" || how == "directory") {
    // Nothing to read settings from: the batch stops before the project, says
    // why in the log, and no value is printed.
    const std::string log = read_file(dir_.file("p.res/Quendris_log.txt"));
    EXPECT_NE(log.find("Core Routine did not find its settings in:"), std::string::npos) << log;
    for (const char c : added) EXPECT_EQ(c, '\n');
  } else {
    // An empty or unreadable file is a file of zeros: the run goes on with
    // nothing selected, and the value line has one value per named column.
    const size_t header_end = added.find('\n');
    ASSERT_NE(header_end, std::string::npos);
    const std::string header = added.substr(0, header_end + 1);
    const std::string values = added.substr(header_end + 1);
    EXPECT_EQ(count_lines(values), 1);
    EXPECT_EQ(std::count(header.begin(), header.end(), '\t'),
              std::count(values.begin(), values.end(), '\t'))
        << added;
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, FaultyInputFile,
                         ::testing::Values("missing", "empty", "binary", "directory"));

TEST(FaultyProject, ProjectThatIsADirectoryEndsCleanly) {
  TempDir dir;
  prepare(dir);
  std::filesystem::create_directory(dir.file("d.qnp"));
  write_file(dir.file("out.txt"), "old\n");
  EXPECT_EQ(run_in(dir, {"d.qnp", "out.txt", "1", "1"}), 0);
  const std::string text = read_file(dir.file("out.txt"));
  EXPECT_TRUE(whole_lines(text));
  EXPECT_EQ(text.substr(0, 4), "old\n");
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("d.qnp")));
  EXPECT_FALSE(run_list_left(dir));
}

TEST(FaultyProject, MissingProjectEndsCleanly) {
  TempDir dir;
  prepare(dir);
  EXPECT_EQ(run_in(dir, {"absent.qnp", "out.txt", "0", "0"}), 0);
  EXPECT_TRUE(whole_lines(read_file(dir.file("out.txt"))));
  EXPECT_FALSE(run_list_left(dir));
}

// A run that runs out of memory fails, and its log, written out in one piece
// at the end, still holds every line before the failure, the memory message
// and the failure line. The address space is capped (not under
// AddressSanitizer, which needs far more of it), so that two billion gene
// copies with AMOVA permutations could never be had.
TEST(FaultyMemory, RunOutOfMemoryFailsWithItsWholeLog) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "address space cannot be capped under AddressSanitizer";
#endif
  TempDir dir;
  prepare(dir);
  std::string project = kProject;
  project.replace(project.find("SampleSize=3"), 12, "SampleSize=1000000001");
  project.replace(project.find("h1 2 ACGT"), 9, "h1 1000000000 ACGT");
  project += "[[Structure]]\n  StructureName=\"s\"\n  NbGroups=1\n  Group={ \"pop1\" \"pop2\" }\n";
  write_file(dir.file("p.qnp"), project);
  write_file(dir.file("ssdefs.txt"), "POP_LEVEL\nGLOBAL_FSTAT\n");
  std::string settings = read_file(dir.file("qnd_run.qns"));
  settings.replace(settings.find("NumSimulFuTest=100"), 18, "NumSimulFuTest=0");
  write_file(dir.file("qnd_run.qns"), settings);
  const std::string command = "cd " + quoted(dir.path().string()) +
                              " && ulimit -v 1048576 && " + quoted(QND_EXE) +
                              " p.qnp out.txt 0 0 > /dev/null 2>&1";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(whole_lines(read_file(dir.file("out.txt"))));
  const std::string log = read_file(dir.file("p.res/Quendris_log.txt"));
  // The permutation test refuses two billion gene copies with error 0, which
  // ends the run by the memory exception.
  const std::vector<std::string> in_order = {
      "Log file path: ", "Reading input file", "Checking all selected options",
      "Computing F statistics", " #[MEMORY # 1] from function \"", "not enough memory\n",
      "Error during run of p.qnp\n"};
  size_t at = 0;
  for (const std::string& piece : in_order) {
    at = log.find(piece, at);
    ASSERT_NE(at, std::string::npos) << piece << " in\n" << log;
  }
  EXPECT_EQ(at + in_order.back().size(), log.size());
  EXPECT_EQ(log.find("Successful run of"), std::string::npos);
  EXPECT_FALSE(run_list_left(dir));
}

class UnusualProjectPath : public ::testing::TestWithParam<const char*> {};

TEST_P(UnusualProjectPath, RunsLikeAPlainName) {
  // The same project under a plain name and under the unusual one must give
  // the same lines.
  TempDir plain;
  prepare(plain);
  ASSERT_EQ(run_in(plain, {"p.qnp", "out.txt", "0", "1"}), 0);
  const std::string expected = read_file(plain.file("out.txt"));
  if (!std::filesystem::exists(plain.file("p.res")))
    GTEST_SKIP() << "the batch loop of this build runs no project";

  TempDir odd;
  const std::string name = GetParam();
  prepare(odd, name);
  EXPECT_EQ(run_in(odd, {name, "out.txt", "0", "1"}), 0);
  EXPECT_EQ(read_file(odd.file("out.txt")), expected);
  EXPECT_TRUE(whole_lines(expected));
  EXPECT_FALSE(run_list_left(odd));
  // The result directory is named after the project.
  std::string stem = name.substr(0, name.rfind('.'));
  EXPECT_TRUE(std::filesystem::is_directory(odd.file(stem + ".res"))) << stem;
}

INSTANTIATE_TEST_SUITE_P(Names, UnusualProjectPath,
                         ::testing::Values("with blanks  in it.qnp", "quote\"d'name.qnp",
                                           "caf\xc3\xa9 \xe6\x97\xa5.qnp", "raw\xff\xfe.qnp"));

}  // namespace
