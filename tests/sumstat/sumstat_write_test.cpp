// Writing the collected text to the output file: header modes, append or
// overwrite, and several processes appending to one file at once.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/temp_dir.h"
#include "sumstat/sumstat.h"

using qnd_test::read_file;
using qnd_test::TempDir;
using qnd_test::write_file;

namespace {

// Writes "h\t\n" / "v\t\n" with the given mode over a file that holds "old\n".
std::string write_over_old(int mode, bool append) {
  TempDir dir;
  const std::string path = dir.file("out.txt");
  write_file(path, "old\n");
  TSumStat s;
  s.outFileName = path;
  s.appendOutput = append;
  s.headerLine = "h\t\n";
  s.statsLine = "v\t\n";
  s.writeToFile(mode);
  return read_file(path);
}

}  // namespace

TEST(HeaderMode, OverwritingWritesWhatTheModeSelects) {
  EXPECT_EQ(write_over_old(0, false), "v\t\n");
  EXPECT_EQ(write_over_old(1, false), "h\t\nv\t\n");
  EXPECT_EQ(write_over_old(2, false), "h\t\n");
  EXPECT_EQ(write_over_old(5, false), "");
  EXPECT_EQ(write_over_old(-1, false), "");
}

TEST(HeaderMode, AppendingAddsWhatTheModeSelects) {
  EXPECT_EQ(write_over_old(0, true), "old\nv\t\n");
  EXPECT_EQ(write_over_old(1, true), "old\nh\t\nv\t\n");
  EXPECT_EQ(write_over_old(2, true), "old\nh\t\n");
  EXPECT_EQ(write_over_old(5, true), "old\n");
}

TEST(OutputFile, IsCreatedWhenMissing) {
  TempDir dir;
  TSumStat s;
  s.outFileName = dir.file("new.txt");
  s.appendOutput = true;
  s.statsLine = "1\t2\t\n";
  s.writeToFile(0);
  EXPECT_EQ(read_file(s.outFileName), "1\t2\t\n");
}

TEST(OutputFile, RepeatedAppendingCallsAddOneLineEach) {
  TempDir dir;
  const std::string path = dir.file("out.txt");
  for (int i = 0; i < 3; ++i) {
    TSumStat s;
    s.outFileName = path;
    s.appendOutput = i > 0;
    s.headerLine = "a\t\n";
    s.statsLine = std::to_string(i) + "\t\n";
    s.writeToFile(i == 0 ? 1 : 0);
  }
  EXPECT_EQ(read_file(path), "a\t\n0\t\n1\t\n2\t\n");
}

TEST(OutputFile, UnopenableNameWritesNothingAndDoesNotFail) {
  TempDir dir;
  TSumStat s;
  s.statsLine = "1\t\n";
  s.outFileName = "";
  s.writeToFile(0);
  s.outFileName = dir.file("no_such_dir/out.txt");
  s.writeToFile(0);
  EXPECT_FALSE(std::filesystem::exists(s.outFileName));
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(OutputFile, LinesLongerThanAMegabyteAreWrittenWhole) {
  TempDir dir;
  TSumStat s;
  s.outFileName = dir.file("out.txt");
  s.headerLine = std::string(1'500'000, 'h') + "\n";
  s.statsLine = std::string(2'500'000, 'v') + "\n";
  s.writeToFile(1);
  EXPECT_TRUE(read_file(s.outFileName) == s.headerLine + s.statsLine);
}

TEST(ConcurrentAppend, LinesOfSeveralProcessesNeverInterleave) {
  TempDir dir;
  const std::string path = dir.file("shared.txt");
  constexpr int kProcesses = 6;
  constexpr int kLinesEach = 4;
  constexpr size_t kLineLength = 400'000;  // far beyond any pipe or stdio buffer
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      for (int l = 0; l < kLinesEach; ++l) {
        TSumStat s;
        s.outFileName = path;
        s.appendOutput = true;
        s.statsLine = std::string(kLineLength, static_cast<char>('a' + p)) + "\n";
        s.writeToFile(0);
      }
      ::_exit(0);
    }
    children.push_back(pid);
  }
  for (const pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  std::istringstream text(read_file(path));
  std::string line;
  std::vector<int> lines_of(kProcesses, 0);
  int lines = 0;
  while (std::getline(text, line)) {
    ++lines;
    ASSERT_EQ(line.size(), kLineLength) << "line " << lines << " is cut or mixed";
    const int p = line[0] - 'a';
    ASSERT_TRUE(p >= 0 && p < kProcesses);
    ASSERT_EQ(line.find_first_not_of(line[0]), std::string::npos)
        << "line " << lines << " mixes two writers";
    ++lines_of[static_cast<size_t>(p)];
  }
  EXPECT_EQ(lines, kProcesses * kLinesEach);
  for (const int n : lines_of) EXPECT_EQ(n, kLinesEach);
}
