// Runs the built program in a test's temporary directory and keeps what it
// printed; a project that is read but cannot be run.
#ifndef QND_TESTS_CLI_CLI_RUN_H
#define QND_TESTS_CLI_CLI_RUN_H

#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "driver/driver_test_util.h"

namespace cli_test {

struct RunResult {
  int status = -1;  // exit status, -1 when the program did not exit normally
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs the program in dir with arguments given as shell words; its standard
// streams go to files beside the directory's other contents.
inline RunResult run_in(const driver_test::TempDir& dir, const std::string& arguments) {
  const std::string command =
      "cd '" + dir.path() + "' && '" + QND_EXE + "' " + arguments + " > .stdout 2> .stderr";
  const int status = std::system(command.c_str());
  RunResult result;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = driver_test::read_file(dir.file(".stdout"));
  result.err = driver_test::read_file(dir.file(".stderr"));
  return result;
}

// '*' is no DNA character: the project is read but cannot be run.
inline const char* const kBrokenProject =
    "[Profile]\n  NbSamples=1\n  DataType=DNA\n  GenotypicData=0\n  LocusSeparator=NONE\n"
    "[Data]\n  [[Samples]]\n    SampleName=\"A\"\n    SampleSize=3\n    SampleData={\n"
    "      h1 2 ACGT\n      h2 1 AC*T\n    }\n";

}  // namespace cli_test

#endif  // QND_TESTS_CLI_CLI_RUN_H
