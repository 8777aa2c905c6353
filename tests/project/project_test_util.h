// Test support for the project readers: a temporary directory that holds the
// project files of a test, the log captured in memory for the life of the test,
// and helpers to find a numbered message in it.
#ifndef QND_TESTS_PROJECT_TEST_UTIL_H
#define QND_TESTS_PROJECT_TEST_UTIL_H

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <sstream>
#include <string>

#include "model/project.h"

namespace qnd_reader_test {

class ProjectFileTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes text into a file of the temporary directory; returns its path.
  std::string write_file(const std::string& name, const std::string& text);
  // Runs the reading pass on text written as "project.qnp"; the project stays
  // available in project_.
  int open_text(const std::string& text);
  // Runs the reading pass on the file at path.
  int open_path(const std::string& path);
  // Everything written to the log so far.
  std::string log_text() const { return log_.str(); }
  // Whether the log holds the numbered message (any kind) of that number.
  bool logged(int number) const;
  // How many times the numbered message appears in the log.
  int count_logged(int number) const;

  std::string dir_;
  std::unique_ptr<Project> project_;

 private:
  std::ostringstream log_;
  std::ostream* saved_log_ = nullptr;
  int saved_log_open_ = 0;
  TDataType saved_type_ = DataTypeDefault;
  char saved_separator_ = '\0';
};

// A profile for haplotypic data of the given type (DNA, RFLP, MICROSAT,
// STANDARD, FREQUENCY), followed by "[Data]" and "[[Samples]]".
std::string profile_header(const std::string& data_type, int nb_samples,
                           const std::string& extra = "", int genotypic = 0);

}  // namespace qnd_reader_test

#endif  // QND_TESTS_PROJECT_TEST_UTIL_H
